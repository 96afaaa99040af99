# Sourced: suite_uri SUITE, the mirror this host's apt sources name for SUITE
# (in either source format), without a trailing slash; nothing if none does.
suite_uri() {
  apt-get indextargets --format '$(TARGET_OF) $(RELEASE) $(REPO_URI)' |
    awk -v s="$1" '$1 == "deb" && $2 == s { sub("/*$", "", $3); print $3; exit }'
}
