#!/usr/bin/env bash
# make check-reproducible: clones the current commit into two temporary
# folders of different depths, runs make dist in each, one after the other,
# and compares the programs, the zip and SHA256SUMS byte for byte.
# Uncommitted changes are in neither clone: this checks the commit alone.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
commit=$(git -C "$root" rev-parse HEAD) || exit
[ -z "$(git -C "$root" status --porcelain)" ] ||
  echo "Uncommitted changes are left out: this checks commit ${commit:0:12} as committed."

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
dirs=("$tmp/one" "$tmp/two/in/a/deeper/folder")
start=$(date +%s)
for dir in "${dirs[@]}"; do
  echo "Building ${commit:0:12} in $dir"
  git clone -q "$root" "$dir" && git -C "$dir" checkout -q --detach "$commit" || exit
  # A fresh make, as from a new shell: nothing of this one's variables.
  if ! env -u MAKEFLAGS -u MAKELEVEL -u BUILD_ROOT make -C "$dir" --no-print-directory dist >"$dir.log" 2>&1; then
    cat "$dir.log"
    echo "make dist failed in $dir"
    exit 1
  fi
done
seconds=$(($(date +%s) - start))

cd "${dirs[0]}" || exit
zip=$(ls dist/*.zip)
rc=0
for file in build/i686/zunkabell.exe build/x86_64/zunkabell.exe "$zip" dist/SHA256SUMS; do
  if cmp -s "$file" "${dirs[1]}/$file"; then
    echo "same:   $file  $(stat -c %s "$file") bytes  sha256 $(sha256sum <"$file" | cut -d' ' -f1)"
  else
    echo "differ: $file ($(cmp "$file" "${dirs[1]}/$file" 2>&1 | head -1))"
    rc=1
  fi
done
if [ $rc -eq 0 ]; then
  echo "Reproducible: commit ${commit:0:12} built twice in ${seconds} s gives the same bytes."
else
  trap - EXIT
  echo "Not reproducible: both builds are kept in $tmp."
fi
exit $rc
