# Sourced by the scripts that run Windows programs: one private Wine
# prefix inside the build folder, and the Japanese locale (code page 932).
: "${BUILD_ROOT:=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build}"
export WINEPREFIX="${WINEPREFIX:-$BUILD_ROOT/wineprefix}"
# Fixme lines are noise; err: lines are Wine's only word on why a program
# could not start.
export WINEDEBUG=fixme-all
# No Mono or Gecko prompts, and a crash ends the process instead of
# waiting in the debugger.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
export LC_ALL=ja_JP.UTF-8

# Wine's two loaders. Debian's wine wrapper takes the 32-bit one whenever
# wine32 is installed, 64-bit programs too, and some kernels cannot execute
# it at all; so each program gets the loader of its own architecture, and
# Wine's own tools (wineboot, cmd, reg, explorer) the 64-bit one.
WINE32=/usr/lib/wine/wine
WINE64=/usr/lib/wine/wine64
[ -x "$WINE64" ] || WINE64=$(command -v wine64 || command -v wine)

# wine_loader EXE: the loader for EXE, by the machine field of its PE header.
wine_loader() {
  local pe machine
  pe=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
  machine=$(od -An -tx2 -j$((${pe:-0} + 4)) -N2 "$1" 2>/dev/null | tr -d ' ')
  if [ "$machine" = 014c ]; then echo "$WINE32"; else echo "$WINE64"; fi
}

# check_i686: whether this host executes 32-bit programs, asked once per run
# and handed on to everything the run starts. I686_RUNS is yes or no,
# I686_WHY says why not. PRETEND_NO_I686=1 makes a host that can say no.
check_i686() {
  [ -n "${I686_RUNS:-}" ] && return 0
  local out
  if [ "${PRETEND_NO_I686:-0}" = 1 ]; then
    I686_RUNS=no I686_WHY="PRETEND_NO_I686=1 makes this host act as one that cannot execute 32-bit programs"
  elif [ ! -e "$WINE32" ]; then
    I686_RUNS=no I686_WHY="Wine's 32-bit loader is not installed ($WINE32, package wine32:i386)"
  elif out=$(LC_ALL=C; "$WINE32" --version 2>&1); then
    I686_RUNS=yes I686_WHY=""
  else
    I686_RUNS=no I686_WHY="this host cannot execute Wine's 32-bit loader ($WINE32: ${out##*: })"
  fi
  export I686_RUNS I686_WHY
}

# program_config WHAT: the build whose program WHAT runs, i686, or x86_64 on
# a host that cannot execute it, which it says in one line.
program_config() {
  check_i686
  if [ "$I686_RUNS" = no ]; then
    echo "$1 the x86_64 program: $I686_WHY." >&2
    echo x86_64
  else
    echo i686
  fi
}
