#!/usr/bin/env bash
# make check-reproducible: make dist in two clones of the current commit (not
# its uncommitted changes) at different depths, one after the other, and the
# programs, the zip and SHA256SUMS compared byte for byte.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/cmake/clone-head.sh"
tmp=$(mktemp -d) start=$(date +%s)
trap 'rm -rf "$tmp"' EXIT
dirs=("$tmp/one" "$tmp/two/in/a/deeper/folder")
for dir in "${dirs[@]}"; do
  clone_head "$dir" "the check" || exit
  echo "Building ${commit:0:12} in $dir"
  # A fresh make, as from a new shell: nothing of this one's variables.
  env -u MAKEFLAGS -u MAKELEVEL make -C "$dir" --no-print-directory dist >"$dir.log" 2>&1 ||
    { cat "$dir.log"; echo "make dist failed in $dir"; exit 1; }
done
seconds=$(($(date +%s) - start))

cd "${dirs[0]}" || exit
rc=0
for file in build/i686/zunkabell.exe build/x86_64/zunkabell.exe dist/*.zip dist/SHA256SUMS; do
  if cmp -s "$file" "${dirs[1]}/$file"; then
    echo "same:   $file  $(stat -c %s "$file") bytes  sha256 $(sha256sum <"$file" | cut -d' ' -f1)"
  else
    echo "differ: $file ($(cmp "$file" "${dirs[1]}/$file" 2>&1 | head -1))"
    rc=1
  fi
done
[ $rc -eq 0 ] && echo "Reproducible: commit ${commit:0:12} built twice in ${seconds} s gives the same bytes."
[ $rc -eq 0 ] || { trap - EXIT; echo "Not reproducible: both builds are kept in $tmp."; }
exit $rc
