# Sourced by the scripts that run Windows programs: the project's root, a
# private Wine prefix, the Japanese locale (code page 932), Wine's loaders.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/cmake/xvfb.sh"
export WINEPREFIX="${WINEPREFIX:-$root/build/wineprefix}"
# Fixme lines are noise, but err: lines are Wine's only word on why a
# program could not start. No Mono or Gecko prompts, and a crash ends the
# process instead of waiting in the debugger.
export WINEDEBUG=fixme-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d" LC_ALL=ja_JP.UTF-8

# Wine's two loaders. Debian's wine wrapper takes the 32-bit one whenever
# wine32 is installed, for 64-bit programs too, and some kernels cannot run it:
# each program gets its own architecture's, Wine's own tools the 64-bit one.
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

# i386_entry: the binfmt_misc entry that hands i386 programs to an
# interpreter (an emulator) instead of the kernel, if one is enabled.
i386_entry() {
  local e
  for e in /proc/sys/fs/binfmt_misc/*; do
    grep -qx enabled "$e" 2>/dev/null && grep -q '^magic 7f454c4601.\{26\}0300' "$e" && echo "$e" && return
  done
}
# qemu_version PROGRAM: QEMU's version, if PROGRAM is QEMU.
qemu_version() { "$1" --version 2>/dev/null | sed -n 's/^qemu-[a-z0-9_]* version \([0-9.]*\).*/\1/p'; }
# fast_enough VERSION: whether QEMU of VERSION runs Wine fast enough for the
# tests. Under 7.2 every start of a Windows program takes about 46 s, spent on
# Wine reserving its address space; under 10.0 it takes 0.3 s. Between the
# two nothing was tried.
fast_enough() { [ "${1%%.*}" -ge 10 ] 2>/dev/null; }

# check_i686: whether this host executes 32-bit programs, asked once per run
# and handed on to everything the run starts: I686_RUNS yes or no, I686_HOW
# how (natively, or through which emulator), I686_WHY why not.
# PRETEND_NO_I686=1 makes a host that can say no.
check_i686() {
  [ -n "${I686_RUNS:-}" ] && return 0
  local out entry interp version
  entry=$(i386_entry)
  interp=$([ -z "$entry" ] || sed -n 's/^interpreter //p' "$entry")
  version=$([ -z "$interp" ] || qemu_version "$interp")
  I686_RUNS=no I686_HOW="" I686_WHY=""
  if [ "${PRETEND_NO_I686:-0}" = 1 ]; then
    I686_WHY="PRETEND_NO_I686=1 makes this host act as one that cannot execute 32-bit programs"
  elif [ ! -e "$WINE32" ]; then
    I686_WHY="Wine's 32-bit loader is not installed ($WINE32, package wine32:i386)"
  elif ! out=$(LC_ALL=C; "$WINE32" --version 2>&1); then
    I686_WHY="this host cannot execute Wine's 32-bit loader ($WINE32: ${out##*: })"
    if [ -n "$entry" ]; then I686_WHY+=", nor can $interp (binfmt_misc entry ${entry##*/})"
    elif [ "${NO_I686_EMULATION:-0}" = 1 ]; then I686_WHY+=", and NO_I686_EMULATION=1 leaves QEMU's emulator out"
    elif [ ! -e /proc/sys/fs/binfmt_misc/register ]; then I686_WHY+=", and it has no binfmt_misc to run it through QEMU's emulator"
    else I686_WHY+=", and setup could not register QEMU's emulator for it"
    fi
  elif [ -z "$entry" ]; then
    I686_RUNS=yes I686_HOW=natively
    [ -e /proc/sys/fs/binfmt_misc/status ] || I686_HOW="natively, or through an emulator this host's binfmt_misc hides"
  elif fast_enough "$version"; then
    I686_RUNS=yes I686_HOW="through QEMU $version's user-mode emulator ($interp, binfmt_misc entry ${entry##*/})"
  elif [ -n "$version" ]; then
    I686_WHY="32-bit programs run here only through QEMU $version ($interp, binfmt_misc entry ${entry##*/}),"
    I686_WHY+=" too slow for Wine: QEMU 10.0 or later is needed (7.2 takes 46 s a program start, 10.0 0.3 s)"
  else
    I686_RUNS=yes I686_HOW="through $interp (binfmt_misc entry ${entry##*/})"
    # A chroot's programs run through the host's emulator, which it cannot ask.
    [ -x "$interp" ] || I686_HOW="through $interp outside this root (binfmt_misc entry ${entry##*/})"
  fi
  export I686_RUNS I686_HOW I686_WHY
}

# program_config WHAT: the build whose program WHAT runs, i686, or x86_64 on
# a host that cannot execute it, which it says in one line.
program_config() {
  check_i686
  [ "$I686_RUNS" = yes ] && echo i686 && return
  echo "$1 the x86_64 program: $I686_WHY." >&2
  echo x86_64
}

# prepare_wine [MANAGED]: the prefix, made once, and its persistent server.
# MANAGED (Y, Wine's default, or N) is whether Wine leaves top-level windows
# to a window manager: a bare Xvfb has none, and Wine would wait 2 s for one
# each time a window with a caption is hidden or destroyed.
prepare_wine() {
  [ -f "$WINEPREFIX/system.reg" ] || { "$WINE64" wineboot -i </dev/null >/dev/null 2>&1; wineserver -w; }
  # Caption buttons are Marlett glyphs; Debian's Wine does not find its own copy.
  cp -n /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  # A server already running for the prefix (one lingering for a few seconds
  # after its last program) refuses -p with exit code 2 and stays as it is,
  # so let it end first; one a program still holds serves as it is.
  wineserver -p >/dev/null 2>&1 || { timeout 10 wineserver -w; wineserver -p >/dev/null 2>&1 || true; }
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
# enter_world BUILD N: world N of a Windows build's tests (cmake/wine-world.sh):
# its folder in $world, its prefix in WINEPREFIX.
enter_world() {
  world=$1/wine-world$2
  export WINEPREFIX=$1/wineprefix$2
}
# winpath PATH: a Linux path as Windows programs under Wine see it.
winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }
stop_wine() { wineserver -k 2>/dev/null; wineserver -w; }

# on_desktop SIZE PROGRAM [ARG...]: PROGRAM on a virtual display, in Wine's own
# desktop of SIZE (which draws the frame and caption a bare X server lacks),
# whose process is $desktop; both end with the script.
on_desktop() {
  trap 'stop_wine; stop_xvfb' EXIT
  trap 'exit 130' INT TERM
  start_xvfb && prepare_wine Y || exit
  "$WINE64" explorer "/desktop=zunkabell,$1" "${@:2}" &
  desktop=$!
}
