"""table.py RESULTS: the medians of run.sh (tool, MiB, seconds; tab-separated)
as one table, each with its ratio to cp at the same size."""
import sys

ORDER = ["cp", "zunkabell i686, in-process", "zunkabell x86_64, in-process",
         "zunkabell i686, whole Wine process", "zunkabell x86_64, whole Wine process",
         "python3 wave", "sox", "ffmpeg"]

medians = {}
for line in open(sys.argv[1]):
    tool, size, seconds = line.rstrip("\n").split("\t")
    medians[tool, int(size)] = float(seconds)
sizes = sorted({size for _, size in medians})
tools = [t for t in ORDER if any((t, s) in medians for s in sizes)]

width = max(len(t) for t in tools)
print("Median seconds (ratio to cp), warm page cache")
print(" " * width + "".join("%20s" % ("%d MiB" % s) for s in sizes))
for tool in tools:
    cells = []
    for size in sizes:
        seconds = medians.get((tool, size))
        base = medians.get(("cp", size))
        if seconds is None:
            cells.append("%20s" % "-")
        else:
            ratio = " (%.2f)" % (seconds / base) if base else ""
            cells.append("%20s" % ("%.4f%s" % (seconds, ratio)))
    print(tool.ljust(width) + "".join(cells))
