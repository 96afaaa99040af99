#!/usr/bin/env bash
# make test: each configuration's tests through its CTest preset, native
# first, then x86_64 and i686 side by side (the first one's output as it
# comes, the other's when done). ROUNDS=N: N rounds, each in a new random
# order, and the tests that failed in any. Arguments go to CTest. Where
# 32-bit programs cannot run, the i686 tests are left out (REQUIRE_I686=1: a failure).
set -u
. "$(dirname "$0")/wine-env.sh"
cd "$root" || exit
rounds=${ROUNDS:-1}
case "$rounds" in
  '' | *[!0-9]* | 0) echo "ROUNDS must be a whole number of at least 1, not '$rounds'" >&2; exit 2 ;;
esac
check_i686
windows=(x86_64)
[ "$I686_RUNS" = yes ] && windows+=(i686)
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; wait; rm -rf "$work"' EXIT
# A CTest stopped half-way leaves its world up.
trap 'for cfg in "${windows[@]}"; do cmake/wine-world.sh stop "build/$cfg" >/dev/null; done; exit 130' INT TERM

# run_config CFG ARG...: CFG's rounds; round R's verdicts in $work/CFG.R.xml.
run_config() {
  local cfg=$1 r order=()
  shift
  [ "$rounds" -gt 1 ] && order=(--schedule-random)
  for r in $(seq "$rounds"); do
    [ "$rounds" -gt 1 ] && echo "== $cfg, round $r of $rounds =="
    ctest --preset "$cfg" "${order[@]}" --output-junit "$work/$cfg.$r.xml" "$@"
  done
}
echo "== native =="
run_config native "$@"
echo "== ${windows[0]} =="
for cfg in "${windows[@]:1}"; do run_config "$cfg" "$@" >"$work/$cfg.out" 2>&1 & done
run_config "${windows[0]}" "$@"
wait
for cfg in "${windows[@]:1}"; do echo "== $cfg =="; cat "$work/$cfg.out"; done

why=" (the build is checked)"
[ "${REQUIRE_I686:-0}" = 1 ] && why=", and REQUIRE_I686=1 makes that a failure"
note="i686: tests not run$why: $I686_WHY" missing=${REQUIRE_I686:-0}
[ "$I686_RUNS" = yes ] && note="i686: tests ran $I686_HOW" missing=0
# The totals from CTest's JUnit reports. A test CTest did not run for want
# of its fixture is a failure; one that skipped itself is not.
python3 - "$rounds" "$((rounds * (1 + ${#windows[@]})))" "$note" "$missing" "$work"/*.xml <<'EOF'
import collections, os, sys, xml.etree.ElementTree as ET
rounds, runs, note, missing, reports = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3], sys.argv[4] == "1", sys.argv[5:]
reports = [r for r in reports if os.path.exists(r)]
count, failed = collections.Counter(), collections.Counter()
for report in reports:
    for case in ET.parse(report).iter("testcase"):
        status, skip = case.get("status"), case.find("skipped")
        verdict = "passed" if status == "run" else "skipped" if status == "disabled" or (
            skip is not None and skip.get("message", "").startswith("SKIP_")) else "failed"
        count[verdict] += 1
        if verdict == "failed":
            failed[f"{case.get('name')} ({os.path.basename(report).split('.')[0]})"] += 1
if rounds > 1:
    print(f"== {rounds} rounds of each configuration, in random order ==")
    print("failed at least once:" if failed else "no test failed in any round")
    for name in sorted(failed):
        print(f"  {name}: in {failed[name]} of {rounds} rounds")
if len(reports) < runs:
    print(f"{runs - len(reports)} of {runs} CTest runs ended before any test (above)")
print(note)
print(f"total: {count['passed']} passed, {count['failed']} failed, {count['skipped']} skipped")
sys.exit(1 if failed or len(reports) < runs or missing else 0)
EOF
