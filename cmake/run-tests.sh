#!/usr/bin/env bash
# Runs every test of the native, x86_64 and i686 builds: Windows tests under
# Wine on a private virtual display, with one persistent wineserver. Both are
# stopped at the end whatever happened. CONFIGS="i686" picks configurations;
# other arguments go to CTest. On a host that cannot execute 32-bit programs
# the i686 tests are left out and said so, unless REQUIRE_I686=1.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
BUILD_ROOT="${BUILD_ROOT:-$root/build}"
. "$root/cmake/wine-env.sh"
. "$root/cmake/xvfb.sh"

configs=() skipped_i686="" windows=""
check_i686
for cfg in ${CONFIGS:-native x86_64 i686}; do
  if [ "$cfg" = i686 ] && [ "$I686_RUNS" = no ]; then
    skipped_i686=yes
  else
    configs+=("$cfg")
    [ "$cfg" = native ] || windows=yes
  fi
done

cleanup() { wineserver -k 2>/dev/null; wineserver -w; stop_xvfb; }
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ -n "$windows" ]; then
  start_xvfb
  prepare_wine
  wine_managed_windows N
fi

rc=0 passed=0 failed=0 skipped=0
log=$(mktemp)
for cfg in "${configs[@]}"; do
  echo "== $cfg =="
  jobs=1
  [ "$cfg" = native ] && jobs=2
  (cd "$BUILD_ROOT/$cfg" && ctest --output-on-failure -j "$jobs" "$@") | tee "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || rc=1
  # CTest's own verdict of each test, one line each.
  results=$(grep -E '^ *[0-9]+/[0-9]+ Test +#[0-9]+: ' "$log")
  total=$(sed -n 's/.* tests failed out of \([0-9]*\)$/\1/p' "$log")
  p=$(grep -c ' Passed ' <<<"$results")
  s=$(grep -c '\*\*\*Skipped ' <<<"$results")
  passed=$((passed + p)) skipped=$((skipped + s)) failed=$((failed + ${total:-0} - p - s))
done
rm -f "$log"

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
