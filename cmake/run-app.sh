#!/usr/bin/env bash
# make run: cmake/run-app.sh CFG starts the program of build/CFG under Wine.
# With no display it runs on a virtual one and leaves a screenshot of its
# window in build/screenshot.png.
set -u
. "$(dirname "$0")/wine-env.sh"
exe="$root/build/$1/zunkabell.exe"
if [ -n "${DISPLAY:-}" ]; then
  prepare_wine Y  # a window manager is there to place the window
  "$(wine_loader "$exe")" "$exe"
  rc=$?
  stop_wine
  [ $rc -eq 0 ] || echo "The program ended with exit code $rc."
  exit $rc
fi

on_desktop 640x200 "$exe"
# The main window is the program's 476 x 82 X window inside that desktop;
# the desktop itself appears whether or not the program starts.
shown() { xwininfo -root -tree 2>/dev/null | grep -q '("zunkabell.exe" "zunkabell.exe")  476x82+'; }
for _ in $(seq 200); do shown && break; kill -0 "$desktop" 2>/dev/null || break; sleep 0.1; done
shown || { echo "The program did not start: no window of it appeared within 20 seconds."; exit 1; }
sleep 0.5   # let it paint
shot="$root/build/screenshot.png"
import -window root -crop 640x200+0+0 +repage "$shot" 2>/dev/null
echo "No display: the program runs on virtual display $DISPLAY; screenshot of its window saved to $shot (Ctrl-C ends it)."
wait "$desktop"
