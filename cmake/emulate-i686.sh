#!/usr/bin/env bash
# cmake/emulate-i686.sh, the last step of setup: where the kernel cannot
# execute 32-bit programs, QEMU's user-mode emulator runs Wine's 32-bit loader,
# so that the i686 program, the one users run, is tested too. One binfmt_misc
# entry for i386 programs, with flag F (the emulator is opened once, so a
# chroot needs no copy of it), lasting until the host restarts. Nothing is
# registered where the kernel runs them itself, or where someone else's
# entry is there; NO_I686_EMULATION=1 registers none and takes back ours.
# Where it cannot register, make test's i686 line says why.
set -u
. "$(dirname "$0")/wine-env.sh"
sudo=$([ "$(id -u)" -eq 0 ] || echo sudo)
misc=/proc/sys/fs/binfmt_misc
ours=$misc/zunkabell-i386
qemu=/usr/bin/qemu-i386
# Mounted where missing, so that each run can see how the loader runs.
[ -e "$misc/status" ] || $sudo mount -t binfmt_misc binfmt_misc "$misc" 2>/dev/null

if [ "${NO_I686_EMULATION:-0}" = 1 ]; then
  [ ! -e "$ours" ] || { echo -1 | $sudo tee "$ours" >/dev/null &&
    echo "NO_I686_EMULATION=1: the binfmt_misc entry an earlier run made for QEMU's emulator is removed."; }
  exit 0
fi
[ -x "$WINE32" ] && ! "$WINE32" --version >/dev/null 2>&1 && [ -z "$(i386_entry)" ] &&
  [ -e "$misc/register" ] || exit 0

# Debian 12's own QEMU (7.2) is too slow; its backports suite has Debian 13's.
version=$(qemu_version "$qemu")
if ! fast_enough "$version"; then
  package=qemu-user
  if [ "$(. /etc/os-release && echo "${VERSION_CODENAME:-}")" = bookworm ]; then
    . "$root/cmake/debian-mirror.sh"
    # Backports are never taken unasked, so nothing else changes version.
    list=/etc/apt/sources.list.d/bookworm-backports.sources
    [ -n "$(suite_uri bookworm-backports)" ] || printf 'Types: deb\nURIs: %s\nSuites: bookworm-backports\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
      "$(suite_uri bookworm)" | $sudo tee "$list" >/dev/null
    package=qemu-user/bookworm-backports
  fi
  "$root/cmake/setup.sh" "$package" || exit 0
  version=$(qemu_version "$qemu")
fi

magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
echo ":zunkabell-i386:M::$magic:$mask:$qemu:F" | $sudo tee "$misc/register" >/dev/null &&
  echo "This kernel runs 64-bit code only: 32-bit programs now run through QEMU $version's user-mode emulator" \
    "(binfmt_misc entry zunkabell-i386, until the host restarts; NO_I686_EMULATION=1 leaves it out)."
