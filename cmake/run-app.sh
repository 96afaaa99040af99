#!/usr/bin/env bash
# Starts the program under Wine. With no display it runs on a virtual one
# and leaves a screenshot in build/screenshot.png.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
BUILD_ROOT="${BUILD_ROOT:-$root/build}"
exe="$BUILD_ROOT/i686/zunkabell.exe"
. "$root/cmake/wine-env.sh"
. "$root/cmake/xvfb.sh"

if [ ! -f "$exe" ]; then
  echo "The program is not built yet: $exe does not exist."
  exit 1
fi

if [ -n "${DISPLAY:-}" ]; then
  prepare_wine
  wine_managed_windows Y  # the tests turn it off for their bare X server
  wine "$exe"
  rc=$?
  wineserver -k
  exit $rc
fi

cleanup() { [ -n "${app:-}" ] && kill "$app" 2>/dev/null; wineserver -k 2>/dev/null; stop_xvfb; }
trap cleanup EXIT
trap 'exit 130' INT TERM
start_xvfb
prepare_wine
# Wine's own desktop draws the frame and caption that a bare X server lacks.
wine explorer /desktop=zunkabell,640x200 "$exe" &
app=$!
for _ in $(seq 100); do
  xwininfo -root -tree 2>/dev/null | grep -q 'zunkabell' && break
  sleep 0.1
done
sleep 1
import -window root -crop 640x200+0+0 "$BUILD_ROOT/screenshot.png" 2>/dev/null
echo "No display: the program runs on virtual display $DISPLAY; screenshot saved to $BUILD_ROOT/screenshot.png (Ctrl-C ends it)."
wait "$app"
