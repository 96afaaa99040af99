# Sourced by the scripts that run Windows programs: the project's root, a
# private Wine prefix, the Japanese locale (code page 932), Wine's loaders.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/cmake/xvfb.sh"
export WINEPREFIX="${WINEPREFIX:-$root/build/wineprefix}"
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
# and handed on to everything the run starts: I686_RUNS yes or no, I686_WHY
# why not. PRETEND_NO_I686=1 makes a host that can say no.
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

# prepare_wine [MANAGED]: the prefix, made once, and its persistent server.
# MANAGED (Y, Wine's default, or N) is whether Wine leaves top-level windows
# to a window manager: a bare Xvfb has none, and Wine would wait 2 s for one
# each time a window with a caption is hidden or destroyed.
prepare_wine() {
  [ -f "$WINEPREFIX/system.reg" ] || { "$WINE64" wineboot -i </dev/null >/dev/null 2>&1; wineserver -w; }
  # Caption buttons are Marlett glyphs; Debian's Wine does not find its own copy.
  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  [ -f "$fonts/marlett.ttf" ] || cp /usr/share/wine/fonts/marlett.ttf "$fonts/" 2>/dev/null || true
  # A server already running for the prefix (one lingering for a few seconds
  # after its last program) refuses -p with exit code 2 and stays as it is,
  # so let it end first; one a program still holds serves as it is.
  if ! wineserver -p >/dev/null 2>&1; then
    timeout 10 wineserver -w
    wineserver -p >/dev/null 2>&1 || true
  fi
  # The first start brings up Wine's background services; they inherit its
  # output, so give them none, or whoever reads that output waits forever.
  "$WINE64" cmd /c exit </dev/null >/dev/null 2>&1
  # Captions are Tahoma, whose Japanese glyphs come through Wine's link to
  # MS UI Gothic; with no such font Wine 10 draws boxes for them, so that
  # name stands for the installed IPA Gothic, the font Wine 8 takes for them.
  wine_setting 'HKCU\Software\Wine\Fonts\Replacements' 'MS UI Gothic' IPAGothic
  wine_setting 'HKCU\Software\Wine\X11 Driver' Managed "${1:-Y}"
}
# wine_setting KEY NAME VALUE: a text value in the prefix's registry.
wine_setting() {
  grep -q "^\"$2\"=\"$3\"" "$WINEPREFIX/user.reg" 2>/dev/null ||
    "$WINE64" reg add "$1" /v "$2" /d "$3" /f </dev/null >/dev/null 2>&1
}
# stop_wine: every program of the prefix, and its server.
stop_wine() { wineserver -k 2>/dev/null; wineserver -w; }
