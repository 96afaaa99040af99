# Sourced: clone_head DIR WHO clones the commit checked out in $root into
# DIR. Uncommitted changes stay out, and WHO is named in the warning.
clone_head() {
  commit=$(git -C "$root" rev-parse HEAD) || return
  [ -z "$(git -C "$root" status --porcelain)" ] ||
    echo "Uncommitted changes are left out: $2 gets commit ${commit:0:12} as committed."
  git clone -q "$root" "$1" && git -C "$1" checkout -q --detach "$commit"
}
