#!/usr/bin/env bash
# cmake/debian-release.sh VERSION [TARGET...]: runs make TARGET (test unless
# named) on Debian VERSION (12 or 13), whatever this host runs: in a minimal
# tree of that release kept in $DEBIAN_TREES/debian-VERSION (made once with
# debootstrap), on a fresh clone of this checkout's HEAD, as root in a chroot.
# Only git, make, ca-certificates and locales go in when the tree is made; the
# rest is cmake/setup.sh's to install, so a run also proves setup on that
# release. Its apt sources are this host's mirror with that release's suites.
# PRETEND_NO_I686, REQUIRE_I686 and ROUNDS are passed on when set.
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
trees=${DEBIAN_TREES:-/var/cache/zunkabell}
tree=$trees/debian-$version
clone=/root/zunkabell

if [ "$(id -u)" -ne 0 ]; then
  exec sudo --preserve-env=DEBIAN_TREES,DEBIAN_MIRROR,PRETEND_NO_I686,REQUIRE_I686,ROUNDS "$0" "$version" "$@"
fi
# A mount namespace of its own: whatever ends this script, even a kill, the
# tree's mounts end with it and none is left in the host's table.
if [ -z "${DEBIAN_RELEASE_NS:-}" ]; then
  DEBIAN_RELEASE_NS=1 exec unshare --mount --propagation private "$0" "$version" "$@"
fi

# unmount_under DIR: everything mounted at or below DIR, deepest first.
unmount_under() {
  local m
  awk -v d="$1" '$5 == d || index($5, d "/") == 1 { print $5 }' /proc/self/mountinfo | sort -r |
    while read -r m; do umount "$m" 2>/dev/null || umount -l "$m"; done
}
# stop_in DIR: the processes this run left running chrooted in DIR.
stop_in() {
  local p
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/root" 2>/dev/null)" = "$1" ] && kill -9 "${p#/proc/}" 2>/dev/null
  done
}
# remove_tree DIR: never through a mount into the host's /dev or /proc.
remove_tree() { stop_in "$1"; unmount_under "$1"; rm -rf --one-file-system "$1"; }

# The host's mirror, from its own apt sources (one-line and deb822 forms):
# prints "URI SUITE" for every deb entry.
host_sources() {
  local f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    awk '$1 == "deb" { i = 2; if ($2 ~ /^\[/) while ($i !~ /\]$/) i++; if ($2 ~ /^\[/) i++;
                       print $i, $(i + 1) }' "$f"
  done
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk 'function flush() { if (types ~ /(^| )deb( |$)/ && enabled != "no")
                              for (i = 1; i <= nu; i++) for (j = 1; j <= ns; j++) print u[i], s[j];
                            types = ""; enabled = ""; nu = 0; ns = 0 }
         /^[ \t]*#/ { next }
         /^[ \t]*$/ { flush(); next }
         { key = tolower($1); sub(/:$/, "", key); $1 = "" }
         key == "types" { types = $0 }
         key == "enabled" { enabled = tolower($2) }
         key == "uris" { nu = split($0, u, " ") }
         key == "suites" { ns = split($0, s, " ") }
         END { flush() }' "$f"
  done
}
host_codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
mirror=${DEBIAN_MIRROR:-} security="" updates=""
while read -r uri suite; do
  case "$suite" in
    "$host_codename") [ -n "$mirror" ] || mirror=$uri ;;
    "$host_codename-updates") updates=yes ;;
    "$host_codename-security" | "$host_codename/updates") security=$uri ;;
  esac
done < <(host_sources | sed 's,/*  *, ,; s,/*$,,')
if [ -z "$mirror" ]; then
  echo "No Debian mirror for $host_codename in this host's apt sources; name one in DEBIAN_MIRROR." >&2
  exit 1
fi

# The tree's sources: that release on the same mirror, with the updates and
# security suites where the host has them.
write_sources() {
  local suites=$codename
  [ -z "$updates" ] || suites="$suites $codename-updates"
  rm -f "$1/etc/apt/sources.list"
  {
    printf 'Types: deb\nURIs: %s\nSuites: %s\nComponents: main\n' "$mirror" "$suites"
    printf 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg\n'
    [ -z "$security" ] ||
      printf '\nTypes: deb\nURIs: %s\nSuites: %s-security\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
        "$security" "$codename"
  } >"$1/etc/apt/sources.list.d/debian.sources"
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
  if ! command -v debootstrap >/dev/null; then
    echo "Installing: debootstrap"
    # A list the mirror fails to serve need not be the one debootstrap is in.
    apt-get update -qq || echo "Some package lists could not be updated (above): installing from those at hand."
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null || exit
  fi
  echo "Making a Debian $version ($codename) tree in $tree from $mirror (once; a few minutes)"
  start=$(date +%s)
  debootstrap --variant=minbase --components=main --include=git,make,ca-certificates,locales \
    "$codename" "$tree.new" "$mirror" >"$tree.log" 2>&1 ||
    { tail -20 "$tree.log"; echo "debootstrap failed; its log is $tree.log" >&2; exit 1; }
  write_sources "$tree.new"
  # No service inside the tree starts on installation.
  printf '#!/bin/sh\nexit 101\n' >"$tree.new/usr/sbin/policy-rc.d"
  chmod +x "$tree.new/usr/sbin/policy-rc.d"
  cp --remove-destination /etc/resolv.conf "$tree.new/etc/resolv.conf"
  mount -t proc proc "$tree.new/proc" || exit
  chroot "$tree.new" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
    sh -c 'apt-get update -qq && apt-get -y -qq upgrade' >>"$tree.log" 2>&1 ||
    { tail -20 "$tree.log"; echo "updating the tree failed; its log is $tree.log" >&2; exit 1; }
  unmount_under "$tree.new"
  echo "debian $version $codename $(date -u +%FT%TZ)" >"$tree.new/.zunkabell-tree"
  mv "$tree.new" "$tree"
  echo "Tree made in $(($(date +%s) - start)) s."
fi
write_sources "$tree"
cp --remove-destination /etc/resolv.conf "$tree/etc/resolv.conf"

# A clean clone of the commit checked out here; uncommitted changes stay out.
commit=$(git -C "$root" rev-parse HEAD) || exit
[ -z "$(git -C "$root" status --porcelain)" ] ||
  echo "Uncommitted changes are left out: Debian $version gets commit ${commit:0:12} as committed."
rm -rf --one-file-system "$tree$clone"
git clone -q "$root" "$tree$clone" && git -C "$tree$clone" checkout -q --detach "$commit" || exit

cleanup() { stop_in "$tree"; unmount_under "$tree"; }
trap cleanup EXIT
trap 'exit 130' INT TERM HUP
mount -t proc proc "$tree/proc" &&
  { mount -t sysfs sysfs "$tree/sys" 2>/dev/null || mount --rbind /sys "$tree/sys"; } &&
  mount --bind /dev "$tree/dev" &&
  mount --bind /dev/pts "$tree/dev/pts" &&
  mount -t tmpfs -o mode=1777 tmpfs "$tree/dev/shm" &&
  mount -t tmpfs -o mode=1777 tmpfs "$tree/tmp" || exit

pass=()
for v in PRETEND_NO_I686 REQUIRE_I686 ROUNDS; do [ -z "${!v+x}" ] || pass+=("$v=${!v}"); done
echo "Debian $version: make $* in $tree$clone (commit ${commit:0:12})"
start=$(date +%s)
chroot "$tree" /usr/bin/env -i HOME=/root TERM="${TERM:-dumb}" LANG=C.UTF-8 \
  PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "${pass[@]}" \
  make -C "$clone" --no-print-directory "$@"
rc=$?
echo "Debian $version: make $* ended with exit code $rc after $(($(date +%s) - start)) s."
exit $rc
