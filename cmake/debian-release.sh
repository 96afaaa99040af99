#!/usr/bin/env bash
# cmake/debian-release.sh 12|13 [TARGET...]: make TARGET (test unless named)
# on that Debian release, whatever this host runs, as root in a chroot: on a
# fresh clone of HEAD in a minimal tree kept in $DEBIAN_TREES/debian-VERSION,
# made once with debootstrap from this host's mirror. The tree gets git, make,
# ca-certificates and locales; the rest is cmake/setup.sh's, so a run proves
# setup too. PRETEND_NO_I686, REQUIRE_I686, NO_I686_EMULATION and ROUNDS go along.
set -u
version=${1:-}
shift || true
case "$version" in
  12) codename=bookworm ;;
  13) codename=trixie ;;
  *) echo "usage: $0 12|13 [make target...]" >&2; exit 2 ;;
esac
[ $# -gt 0 ] || set -- test
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/cmake/clone-head.sh"
trees=${DEBIAN_TREES:-/var/cache/zunkabell}
tree=$trees/debian-$version
clone=/root/zunkabell

[ "$(id -u)" -eq 0 ] ||
  exec sudo --preserve-env=DEBIAN_TREES,DEBIAN_MIRROR,PRETEND_NO_I686,REQUIRE_I686,NO_I686_EMULATION,ROUNDS "$0" "$version" "$@"
# A mount namespace of its own: whatever ends this script, even a kill, the
# tree's mounts end with it and none is ever in the host's table.
[ -n "${DEBIAN_RELEASE_NS:-}" ] || DEBIAN_RELEASE_NS=1 exec unshare --mount --propagation private "$0" "$version" "$@"

# stop_in DIR: the processes this run left running chrooted in DIR.
stop_in() {
  local p
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/root" 2>/dev/null)" = "$1" ] && kill -9 "${p#/proc/}" 2>/dev/null
  done
}
# remove_tree DIR: never through a mount into the host's /dev or /proc.
remove_tree() { stop_in "$1"; rm -rf --one-file-system "$1"; }

# The host's mirror, and its updates and security suites, as its own apt
# sources name them.
. "$root/cmake/debian-mirror.sh"
host_codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
mirror=${DEBIAN_MIRROR:-$(suite_uri "$host_codename")}
updates=$(suite_uri "$host_codename-updates") security=$(suite_uri "$host_codename-security")
[ -n "$mirror" ] ||
  { echo "No Debian mirror for $host_codename in this host's apt sources; name one in DEBIAN_MIRROR." >&2; exit 1; }

# The tree's sources: that release on the same mirror, with the updates and
# security suites where the host has them.
write_sources() {
  local keys=/usr/share/keyrings/debian-archive-keyring.gpg list=$1/etc/apt/sources.list.d/debian.sources
  rm -f "$1/etc/apt/sources.list"
  printf 'Types: deb\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: %s\n' \
    "$mirror" "$codename${updates:+ $codename-updates}" "$keys" >"$list"
  [ -z "$security" ] || printf '\nTypes: deb\nURIs: %s\nSuites: %s-security\nComponents: main\nSigned-By: %s\n' \
    "$security" "$codename" "$keys" >>"$list"
}

mkdir -p "$trees"
exec 9>"$tree.lock"
flock 9 || exit
[ "$host_codename" = "$codename" ] && echo "Debian $version is this host's own release; it runs in the tree all the same."

# The marker is written last: a tree without it was left half-made.
marker=$tree/.zunkabell-tree
if [ ! -f "$marker" ]; then
  for t in "$tree" "$tree.new"; do
    [ -e "$t" ] && { echo "Removing the unfinished tree $t"; remove_tree "$t"; }
  done
  "$root/cmake/setup.sh" debootstrap || exit
  echo "Making a Debian $version ($codename) tree in $tree from $mirror (once; a few minutes)"
  start=$(date +%s)
  debootstrap --variant=minbase --components=main --include=git,make,ca-certificates,locales \
    "$codename" "$tree.new" "$mirror" >"$tree.log" 2>&1 ||
    { tail -20 "$tree.log"; echo "debootstrap failed; its log is $tree.log" >&2; exit 1; }
  write_sources "$tree.new"
  # No service inside the tree starts on installation.
  install -m 755 <(printf '#!/bin/sh\nexit 101\n') "$tree.new/usr/sbin/policy-rc.d"
  cp --remove-destination /etc/resolv.conf "$tree.new/etc/resolv.conf"
  mount -t proc proc "$tree.new/proc" || exit
  chroot "$tree.new" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
    sh -c 'apt-get update -qq && apt-get -y -qq upgrade' >>"$tree.log" 2>&1 ||
    { tail -20 "$tree.log"; echo "updating the tree failed; its log is $tree.log" >&2; exit 1; }
  umount "$tree.new/proc"
  echo "debian $version $codename $(date -u +%FT%TZ)" >"$tree.new/.zunkabell-tree"
  mv "$tree.new" "$tree"
  echo "Tree made in $(($(date +%s) - start)) s."
fi
write_sources "$tree"
cp --remove-destination /etc/resolv.conf "$tree/etc/resolv.conf"

rm -rf --one-file-system "$tree$clone"
clone_head "$tree$clone" "Debian $version" || exit

trap 'stop_in "$tree"' EXIT
trap 'exit 130' INT TERM HUP
mount -t proc proc "$tree/proc" &&
  { mount -t sysfs sysfs "$tree/sys" 2>/dev/null || mount --rbind /sys "$tree/sys"; } &&
  mount --bind /dev "$tree/dev" &&
  mount --bind /dev/pts "$tree/dev/pts" &&
  mount -t tmpfs -o mode=1777 tmpfs "$tree/dev/shm" &&
  mount -t tmpfs -o mode=1777 tmpfs "$tree/tmp" || exit

pass=()
for v in PRETEND_NO_I686 REQUIRE_I686 NO_I686_EMULATION ROUNDS; do [ -z "${!v+x}" ] || pass+=("$v=${!v}"); done
echo "Debian $version: make $* in $tree$clone (commit ${commit:0:12})"
start=$(date +%s)
chroot "$tree" /usr/bin/env -i HOME=/root TERM="${TERM:-dumb}" LANG=C.UTF-8 \
  PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "${pass[@]}" \
  make -C "$clone" --no-print-directory "$@"
rc=$?
echo "Debian $version: make $* ended with exit code $rc after $(($(date +%s) - start)) s."
exit $rc
