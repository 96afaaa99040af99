# Sourced by the scripts that run Windows programs: one private, quiet Wine
# prefix inside the build folder, and the Japanese locale (code page 932).
: "${BUILD_ROOT:=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build}"
export WINEPREFIX="${WINEPREFIX:-$BUILD_ROOT/wineprefix}"
export WINEDEBUG=-all
# No Mono or Gecko prompts, and a crash ends the process instead of
# waiting in the debugger.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
export LC_ALL=ja_JP.UTF-8
