#!/usr/bin/env bash
# cmake/wine-world.sh start|stop BUILD_DIR: the world a Windows build's tests
# run in, brought up and taken down by CTest's fixtures: a virtual display, a
# persistent Wine server on the folder's own prefix (BUILD_DIR/wineprefix),
# a program holding Wine's desktop, and Wine's temporary folder found empty
# and left so. Two builds' tests thus run side by side and cannot see each
# other's windows, named objects or temporary files. wine-run finds the
# display in BUILD_DIR/wine-world.
set -u
build=$(cd "$2" && pwd) || exit
world=$build/wine-world
export WINEPREFIX=$build/wineprefix
. "$(dirname "$0")/wine-env.sh"

take_down() {
  XVFB_PID=$(cat "$world/xvfb.pid" 2>/dev/null)
  stop_wine
  stop_xvfb
  rm -rf "$world"
}
# empty_temp WHAT: Wine's temporary folder emptied; true if it was, else it
# says what it held ("WHAT: ...").
empty_temp() {
  local left
  left=$(ls -A "$temp" 2>/dev/null | tr '\n' ' ')
  [ -z "$left" ] && return 0
  echo "$1: $left"
  rm -rf "${temp:?}"/* "${temp:?}"/.[!.]*
  return 1
}

case $1 in
start)
  take_down  # what an interrupted run left
  mkdir -p "$world"
  start_xvfb || exit
  echo "$XVFB_PID" >"$world/xvfb.pid"
  echo "$DISPLAY" >"$world/display"
  prepare_wine N
  temp=$("$WINE64" winepath -u "$("$WINE64" cmd /c echo %TEMP% </dev/null | tr -d '\r')" </dev/null)
  [ -d "$temp" ] || { echo "Wine's temporary folder not found: '$temp'"; exit 1; }
  echo "$temp" >"$world/temp"
  # Test folders have names no earlier run can have made, so what a killed
  # run left changes no verdict; it goes all the same.
  empty_temp "Removed what an earlier run left in Wine's temporary folder"
  # Without a program holding it, Wine closes the desktop a second after each
  # test program and the next one starts it again: a program started
  # meanwhile meets a desktop going away, and each test waits a second longer
  # for the desktop process it started, which holds its output open.
  helper=$build/tests/support_helper.exe
  "$(wine_loader "$helper")" "$helper" desktop </dev/null >"$world/desktop" 2>&1 &
  for _ in $(seq 600); do grep -q ready "$world/desktop" && exit 0; sleep 0.1; done
  echo "The program holding Wine's desktop did not start ($helper):"
  cat "$world/desktop"
  exit 1
  ;;
stop)
  rc=0
  temp=$(cat "$world/temp" 2>/dev/null)
  [ -z "$temp" ] || empty_temp "The tests left this in Wine's temporary folder (now removed), a failure" || rc=1
  xvfb=$(cat "$world/xvfb.pid" 2>/dev/null)
  take_down
  # Nothing of the world may outlive it: its display, and whatever runs with
  # its prefix (the server, Wine's services, test programs). The environments
  # are read with builtins, so no process of the check is taken for one.
  alive "${xvfb:-0}" && { echo "Still running after the world was taken down: Xvfb ($xvfb)"; rc=1; }
  for p in /proc/[0-9]*; do
    mapfile -d '' vars 2>/dev/null <"$p/environ" || continue
    [[ " ${vars[*]} " == *" WINEPREFIX=$WINEPREFIX "* ]] || continue
    echo "Still running after the world was taken down: $(tr '\0' ' ' <"$p/cmdline") (${p#/proc/})"
    rc=1
  done
  exit $rc
  ;;
esac
echo "usage: $0 start|stop BUILD_DIR" >&2
exit 2
