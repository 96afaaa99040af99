#!/usr/bin/env bash
# Runs every test of the native, x86_64 and i686 builds. The Windows tests
# run under Wine, each configuration in a world of its own: its own prefix
# (build/wineprefix for x86_64, build/wineprefix-i686), persistent
# wineserver and virtual display, so the two run side by side and cannot see
# each other's windows, named objects or temporary files. All of it is
# stopped at the end whatever happened. CONFIGS="i686" picks configurations;
# ROUNDS=N runs each configuration's tests N times in random order and ends
# with the tests that failed at least once; other arguments go to CTest. On
# a host that cannot execute 32-bit programs the i686 tests are left out and
# said so, unless REQUIRE_I686=1.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
BUILD_ROOT="${BUILD_ROOT:-$root/build}"
. "$root/cmake/wine-env.sh"
. "$root/cmake/xvfb.sh"

rounds=${ROUNDS:-1}
case "$rounds" in
  '' | *[!0-9]* | 0) echo "ROUNDS must be a whole number of at least 1, not '$rounds'" >&2; exit 2 ;;
esac

configs=() skipped_i686="" windows=()
check_i686
for cfg in ${CONFIGS:-native x86_64 i686}; do
  if [ "$cfg" = i686 ] && [ "$I686_RUNS" = no ]; then
    skipped_i686=yes
  else
    configs+=("$cfg")
    [ "$cfg" = native ] || windows+=("$cfg")
  fi
done

prefix_of() {
  if [ "$1" = x86_64 ]; then echo "$BUILD_ROOT/wineprefix"; else echo "$BUILD_ROOT/wineprefix-$1"; fi
}

work=$(mktemp -d)
declare -A display=()
xvfb_pids=() runners=()
cleanup() {
  local pid cfg
  for pid in "${runners[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  for cfg in "${windows[@]}"; do
    WINEPREFIX=$(prefix_of "$cfg") wineserver -k 2>/dev/null
    WINEPREFIX=$(prefix_of "$cfg") wineserver -w
  done
  for pid in "${xvfb_pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Wine's temporary folder of the current prefix, as a Linux path.
wine_temp() {
  local temp
  temp=$("$WINE64" cmd /c echo %TEMP% </dev/null 2>/dev/null | tr -d '\r')
  "$WINE64" winepath -u "$temp" </dev/null 2>/dev/null
}

# hold_desktop CFG: a program of CFG's build stays on Wine's desktop until the
# run ends. Without one, Wine closes the desktop a second after each test
# program and the next one starts it again: a program started meanwhile
# meets a desktop going away, and each test waits a second longer for the
# desktop process it started, which holds its output open.
hold_desktop() {
  local helper="$BUILD_ROOT/$1/tests/support_helper.exe" ready=""
  coproc DESKTOP { exec "$(wine_loader "$helper")" "$helper" desktop 2>/dev/null; }
  read -r -t 60 ready <&"${DESKTOP[0]}"
  [ "${ready%$'\r'}" = ready ] || { echo "$1: the program holding Wine's desktop did not start ($helper)"; return 1; }
}

# run_config CFG: CFG's tests, every round; round R's CTest output in
# $work/CFG.R. A line in $work/CFG.failed for each round that CTest failed,
# in $work/CFG.broken when the run itself went wrong.
run_config() {
  local cfg=$1 jobs=1 r order=() temp="" left
  [ "$cfg" = native ] && jobs=2
  [ "$rounds" -gt 1 ] && order=(--schedule-random)
  if [ "$cfg" != native ]; then
    WINEPREFIX=$(prefix_of "$cfg") DISPLAY=${display[$cfg]}
    export WINEPREFIX DISPLAY
    prepare_wine
    wine_managed_windows N
    temp=$(wine_temp)
    # Test folders have names no earlier run can have made, so leftovers of
    # a killed run change no verdict; they go all the same.
    if [ -n "$temp" ] && [ -n "$(ls -A "$temp" 2>/dev/null)" ]; then
      echo "$cfg: removing what an earlier run left in Wine's temporary folder: $(ls -A "$temp" | tr '\n' ' ')"
      rm -rf "${temp:?}"/* "${temp:?}"/.[!.]* 2>/dev/null
    fi
    hold_desktop "$cfg" || { echo "$cfg" >>"$work/$cfg.broken"; return; }
  fi
  for r in $(seq "$rounds"); do
    [ "$rounds" -gt 1 ] && echo "== $cfg, round $r of $rounds =="
    (cd "$BUILD_ROOT/$cfg" && ctest --output-on-failure -j "$jobs" "${order[@]}" "$@") 2>&1 | tee "$work/$cfg.$r"
    [ "${PIPESTATUS[0]}" -eq 0 ] || echo "$r" >>"$work/$cfg.failed"
  done
  if [ -n "$temp" ]; then
    left=$(ls -A "$temp" 2>/dev/null | tr '\n' ' ')
    if [ -n "$left" ]; then
      echo "$cfg: the tests left this in Wine's temporary folder (now removed), a failure: $left"
      rm -rf "${temp:?}"/* "${temp:?}"/.[!.]* 2>/dev/null
      echo "$cfg" >>"$work/$cfg.broken"
    fi
  fi
  # Closing its input ends the desktop's holder.
  [ -n "${DESKTOP[1]:-}" ] && eval "exec ${DESKTOP[1]}>&-"
}

# The native tests first (two at a time); then the Windows configurations
# side by side, the first one's output as it comes, the others' when done.
if [ ${#windows[@]} -gt 0 ]; then
  for cfg in "${windows[@]}"; do
    start_xvfb
    display[$cfg]=$DISPLAY xvfb_pids+=("$XVFB_PID")
  done
fi
for cfg in "${configs[@]}"; do
  [ "$cfg" = native ] || continue
  echo "== native =="
  run_config native "$@"
done
first=""
for cfg in "${windows[@]}"; do
  if [ -z "$first" ]; then
    first=$cfg
    echo "== $cfg =="
    run_config "$cfg" "$@" &
  else
    run_config "$cfg" "$@" >"$work/$cfg.out" 2>&1 &
  fi
  runners+=($!)
done
for i in "${!runners[@]}"; do
  wait "${runners[$i]}"
  cfg=${windows[$i]}
  [ "$cfg" = "$first" ] || { echo "== $cfg =="; cat "$work/$cfg.out"; }
done
runners=()

# CTest's own verdict of each test, one line each, over every round.
rc=0 passed=0 failed=0 skipped=0
declare -A flaky=()
for cfg in "${configs[@]}"; do
  [ -s "$work/$cfg.failed" ] && rc=1
  [ -s "$work/$cfg.broken" ] && { rc=1; failed=$((failed + 1)); }
  for r in $(seq "$rounds"); do
    log="$work/$cfg.$r"
    [ -f "$log" ] || continue
    results=$(grep -E '^ *[0-9]+/[0-9]+ Test +#[0-9]+: ' "$log")
    total=$(sed -n 's/.* tests failed out of \([0-9]*\)$/\1/p' "$log")
    p=$(grep -c ' Passed ' <<<"$results")
    s=$(grep -c '\*\*\*Skipped ' <<<"$results")
    passed=$((passed + p)) skipped=$((skipped + s)) failed=$((failed + ${total:-0} - p - s))
    # CTest's list of the tests that failed, "<tab> 35 - Name (Failed)".
    while read -r name; do
      flaky["$cfg $name"]=$((${flaky["$cfg $name"]:-0} + 1))
    done < <(awk '/^The following tests FAILED:/ { f = 1; next }
                  f && /^[[:space:]]+[0-9]+ - / { sub(/^[[:space:]]+[0-9]+ - /, ""); sub(/ \([^)]*\)$/, ""); print; next }
                  { f = 0 }' "$log")
  done
done

if [ "$rounds" -gt 1 ]; then
  echo "== $rounds rounds of each configuration, in random order =="
  if [ ${#flaky[@]} -eq 0 ]; then
    echo "no test failed in any round"
  else
    echo "failed at least once:"
    for key in "${!flaky[@]}"; do
      echo "  ${key#* } (${key%% *}): in ${flaky[$key]} of $rounds rounds"
    done | sort
  fi
fi
if [ -n "$skipped_i686" ]; then
  if [ "${REQUIRE_I686:-0}" = 1 ]; then
    echo "i686: tests not run, and REQUIRE_I686=1 makes that a failure: $I686_WHY"
    rc=1
  else
    echo "i686: tests not run (the build is checked): $I686_WHY"
  fi
fi
echo "total: $passed passed, $failed failed, $skipped skipped"
exit $rc
