#!/usr/bin/env bash
# cmake/setup.sh [PACKAGE...]: installs what building and testing need on a
# Debian-like machine (or the packages named), and nothing when all is there.
set -eu
packages=(cmake ninja-build g++ make googletest mingw-w64 wine wine32:i386 wine64
          fonts-wine xvfb xauth x11-utils imagemagick fonts-ipafont-gothic locales python3
          sndfile-programs sox libsox-fmt-all ffmpeg hyperfine libmpfr-dev)
[ $# -eq 0 ] || packages=("$@")
sudo=$([ "$(id -u)" -eq 0 ] || echo sudo)
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

missing=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  [[ " ${missing[*]} " != *" wine32:i386 "* ]] || dpkg --print-foreign-architectures | grep -qx i386 ||
    $sudo dpkg --add-architecture i386
  # A mirror caught mid-sync fails one list and apt-get update with it;
  # the lists at hand may still hold every package, so the install decides.
  $sudo apt-get update -qq || echo "Some package lists could not be updated (above): installing from those at hand."
  install() { $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@" >/dev/null; }
  # Without wine32 all but the i686 tests still run, and make test says so: a
  # 32-bit side apt cannot install (an i386 list it could not fetch) leaves only those out.
  if ! install "${missing[@]}"; then
    rest=()
    for p in "${missing[@]}"; do [ "$p" = wine32:i386 ] || rest+=("$p"); done
    [ ${#rest[@]} -lt ${#missing[@]} ] || exit 100
    echo "wine32:i386 could not be installed (above): installing the rest, without Wine's 32-bit loader."
    install "${rest[@]}"
  fi
fi

# Wine writes Japanese file names in the host locale's charset.
if [ $# -eq 0 ] && ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  echo "Generating the ja_JP.UTF-8 locale"
  $sudo sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen >/dev/null
fi

# The i686 tests on a kernel that runs 64-bit code only.
[ $# -gt 0 ] || "$(dirname "$0")/emulate-i686.sh"
