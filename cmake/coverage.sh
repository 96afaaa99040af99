#!/usr/bin/env bash
# make coverage: the Windows tests in the coverage build (x86_64, Debug, gcov),
# then gcovr's report on the program's own code, app/, convert/ and runtime/:
# a page per file in build/coverage/coverage/ and one closing line. Fails when
# a test fails, when a line of convert/ did not run, or when the share of the
# program's lines run falls below the floor. Arguments go to CTest.
set -u
cd "$(dirname "$0")/.." || exit
floor=99.5  # percent of the program's lines run; raised as tests are added
build=build/coverage report=build/coverage/coverage
# This run's counts alone. The tests run one at a time (the preset): gcov
# locks each count file while it merges, but under Wine a lock waited for
# more than 10 ms fails and that process's counts are lost.
find "$build" -name '*.gcda' -delete
trap 'cmake/wine-world.sh stop "$build" >/dev/null; exit 130' INT TERM
ctest --preset coverage "$@"
tests=$?
rm -rf "$report" && mkdir -p "$report"
gcovr --root . --filter '(app|convert|runtime)/.*' --gcov-executable x86_64-w64-mingw32-gcov-posix \
      --exclude-throw-branches --exclude-unreachable-branches --html-details "$report/index.html" \
      --json "$report/lines.json" --json-summary "$report/summary.json" --txt "$report/coverage.txt" \
      "$build/CMakeFiles" "$build/tests/CMakeFiles" || exit  # not the Wine prefixes: their drive Z: is /
echo "coverage report: $report/index.html (unrun lines per file: $report/coverage.txt)"
python3 - "$report" "$floor" "$tests" <<'PY'
import collections, json, sys
report, floor, tests = sys.argv[1], float(sys.argv[2]), int(sys.argv[3])
unrun = collections.defaultdict(set)
for f in json.load(open(f"{report}/lines.json"))["files"]:
    if f["file"].startswith("convert/"):
        counts = collections.Counter()
        for line in f["lines"]:
            if not line.get("gcovr/noncode") and not line.get("gcovr/excluded"):
                counts[line["line_number"]] += line["count"]
        unrun[f["file"]] = sorted(n for n, count in counts.items() if count == 0)
failed = tests != 0
for name, lines in sorted(unrun.items()):
    if lines:
        print(f"{name}: lines no test runs: {', '.join(map(str, lines))}")
        failed = True
s = json.load(open(f"{report}/summary.json"))
if s["line_percent"] < floor:
    print(f"the program's lines run fell below the floor of {floor:g} % (cmake/coverage.sh)")
    failed = True
print(f"coverage: lines {s['line_percent']:.1f} % ({s['line_covered']}/{s['line_total']}), "
      f"branches {s['branch_percent']:.1f} % ({s['branch_covered']}/{s['branch_total']})")
sys.exit(1 if failed else 0)
PY
