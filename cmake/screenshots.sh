#!/usr/bin/env bash
# make screenshots: cmake/screenshots.sh CFG makes the README's pictures,
# docs/window.png and docs/converted.png: the program of build/CFG on Wine's
# virtual desktop (which draws the caption) on a virtual display, posed by
# tests/win/screenshot_driver.cpp.
set -eu
. "$(dirname "$0")/wine-env.sh"
cfg="$root/build/$1"

marks="$root/build/screenshot-marks"
rm -rf "$marks" && mkdir -p "$marks" "$root/docs"
on_desktop 540x260 "$cfg/tests/screenshot_driver.exe" "$(winpath "$cfg/zunkabell.exe")" "$(winpath "$marks")"

# Takes the area the driver names in <pose>.pose, then tells it so.
take() {
  for _ in $(seq 600); do
    [ -s "$marks/$1.pose" ] && break
    kill -0 "$desktop" 2>/dev/null || { echo "The driver ended before the $1 picture."; exit 1; }
    sleep 0.1
  done
  [ -s "$marks/$1.pose" ] || { echo "No $1 picture within a minute."; exit 1; }
  import -window root -crop "$(cat "$marks/$1.pose")" +repage "$root/docs/$1.png"
  touch "$marks/$1.taken"
  echo "docs/$1.png"
}
take window
take converted
wait "$desktop"
rm -rf "$marks"
