#!/usr/bin/env bash
# cmake/wine-world.sh start|stop BUILD_DIR, CTest's fixture: a Windows build's
# worlds, each its own virtual display, persistent Wine server on its own
# prefix and program holding Wine's desktop, so that tests in two worlds, of
# one build or of two, run side by side unseen by each other. The worlds are
# those tests/worlds.json lists, from which CTest hands each test one (the
# resource "world"); wine-run finds world N in BUILD_DIR/wine-worldN. Each
# world's tests run one at a time.
set -u
build=$(cd "$2" && pwd) || exit
if [ $# -lt 3 ]; then  # every world, side by side
  rc=0 pids=()
  for n in $(grep -o '"id": "[0-9]*"' "$(dirname "$0")/../tests/worlds.json" | tr -dc '0-9\n'); do
    "$0" "$1" "$build" "$n" & pids+=($!)
  done
  for pid in "${pids[@]}"; do wait "$pid" || rc=1; done
  exit $rc
fi
. "$(dirname "$0")/wine-env.sh"
enter_world "$build" "$3"

take_down() {
  XVFB_PID=${XVFB_PID:-$(cat "$world/xvfb.pid" 2>/dev/null)} xvfb=$XVFB_PID
  stop_wine
  stop_xvfb
  rm -rf "$world"
}
# empty_temp WHAT: true if Wine's temporary folder is empty, else "WHAT: "
# what it held, which goes.
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
  # A start that fails takes down what it started, the desktop's program
  # too while it has not yet reached the Wine server that -k ends.
  trap 'kill "${holder:-}" 2>/dev/null; take_down' EXIT
  trap 'exit 1' TERM INT HUP
  mkdir -p "$world"
  start_xvfb || exit
  echo "$XVFB_PID" >"$world/xvfb.pid"
  echo "$DISPLAY" >"$world/display"
  prepare_wine N
  temp=$("$WINE64" winepath -u "$("$WINE64" cmd /c echo %TEMP% </dev/null | tr -d '\r')" </dev/null)
  [ -d "$temp" ] || { echo "Wine's temporary folder not found: '$temp'"; exit 1; }
  echo "$temp" >"$world/temp"
  # Test folders have names no earlier run made; what a killed run left goes all the same.
  empty_temp "Removed what an earlier run left in Wine's temporary folder"
  # Unheld, Wine closes the desktop a second after each test program and the
  # next starts it again: a program started meanwhile meets a desktop going
  # away, and each test waits a second for the desktop process holding its output.
  helper=$build/tests/support_helper.exe
  "$(wine_loader "$helper")" "$helper" desktop </dev/null >"$world/desktop" 2>&1 &
  holder=$!
  for _ in $(seq 600); do
    grep -qs ready "$world/desktop" && trap - EXIT && exit 0
    kill -0 "$holder" 2>/dev/null || break
    sleep 0.1
  done
  echo "The program holding Wine's desktop did not start ($helper):"
  cat "$world/desktop"
  exit 1
  ;;
stop)
  rc=0
  temp=$(cat "$world/temp" 2>/dev/null)
  [ -z "$temp" ] || empty_temp "The tests left this in Wine's temporary folder (now removed), a failure" || rc=1
  take_down
  # Nothing of the world may outlive it: its display, and whatever runs with
  # its prefix (read with builtins, so that no process of the check counts).
  alive "${xvfb:-0}" && { echo "Still running after the world was taken down: Xvfb ($xvfb)"; rc=1; }
  for p in /proc/[0-9]*; do
    mapfile -d '' vars 2>/dev/null <"$p/environ" && [[ " ${vars[*]} " == *" WINEPREFIX=$WINEPREFIX "* ]] &&
      { echo "Still running after the world was taken down: $(tr '\0' ' ' <"$p/cmdline") (${p#/proc/})"; rc=1; }
  done
  exit $rc
  ;;
*) echo "usage: $0 start|stop BUILD_DIR" >&2; exit 2 ;;
esac
