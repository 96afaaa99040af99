#!/usr/bin/env bash
# Runs every test of the native, x86_64 and i686 builds: Windows tests under
# Wine on a private virtual display, with one persistent wineserver. Both are
# stopped at the end whatever happened. CONFIGS="i686" picks configurations;
# other arguments go to CTest.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
BUILD_ROOT="${BUILD_ROOT:-$root/build}"
. "$root/cmake/wine-env.sh"
. "$root/cmake/xvfb.sh"

cleanup() { wineserver -k 2>/dev/null; stop_xvfb; }
trap cleanup EXIT
trap 'exit 130' INT TERM

start_xvfb
prepare_wine
wine_managed_windows N

rc=0
for cfg in ${CONFIGS:-native x86_64 i686}; do
  echo "== $cfg =="
  jobs=1
  [ "$cfg" = native ] && jobs=2
  (cd "$BUILD_ROOT/$cfg" && ctest --output-on-failure -j "$jobs" "$@") || rc=1
done
exit $rc
