#!/usr/bin/env bash
# make bench: the convert command's own path against cp, sox, ffmpeg and
# Python's wave module on random inputs of 1, 64 and 512 MiB, warm page cache;
# every output checked against its input. Then the tool's peak memory, the
# size of its executables and the largest input each build takes. Everything
# it makes lives in one temporary folder, removed at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
BUILD_ROOT="${BUILD_ROOT:-$root/build}"
# A prefix of its own, so that a test run on the same build folder keeps its
# server when this one is stopped.
export WINEPREFIX="$BUILD_ROOT/wineprefix-bench"
. "$root/cmake/wine-env.sh"
. "$root/cmake/xvfb.sh"
python=/usr/bin/python3   # Debian's, not a shim that adds its own start-up

sizes_mib=(1 64 512)
declare -A runs=([1]=20 [64]=10 [512]=5)
configs=(i686 x86_64)
check_i686
if [ "$I686_RUNS" = no ]; then
  configs=(x86_64)
  echo "i686 not measured: $I686_WHY."
fi

for cfg in "${configs[@]}"; do
  if [ ! -f "$BUILD_ROOT/$cfg/convert_bench.exe" ]; then
    echo "Not built: $BUILD_ROOT/$cfg/convert_bench.exe (the conversion code is missing?)" >&2
    exit 1
  fi
done

tmp=$(mktemp -d)
cleanup() { wineserver -k 2>/dev/null || true; rm -rf "$tmp"; }
trap cleanup EXIT
trap 'exit 130' INT TERM

prepare_wine
winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }
# Its console lines end in CR LF.
bench() {
  local exe="$BUILD_ROOT/$1/convert_bench.exe"
  "$(wine_loader "$exe")" "$exe" "${@:2}" </dev/null | tr -d '\r'
}
value() { sed -n "s/^$1 //p" "$2"; }
results="$tmp/results.tsv"
: >"$results"

# check IN OUT [--exact]: OUT's data chunk must hold IN's bytes exactly.
check() {
  if ! "$python" "$root/bench/check_wav.py" "$@"; then
    echo "Wrong output: $2" >&2
    exit 1
  fi
}

# hyper NAME SIZE OUT COMMAND...: median of hyperfine runs, then the check.
hyper() {
  local name=$1 size=$2 out=$3 json="$tmp/$1-$2.json"
  shift 3
  local quoted
  quoted=$(printf "'%s' " "$@")
  sync
  hyperfine -N --style none --warmup 1 --runs "${runs[$size]}" --prepare "rm -f $out" \
    --export-json "$json" "$quoted" >/dev/null
  printf '%s\t%s\t%s\n' "$name" "$size" \
    "$("$python" -c 'import json,sys; print(json.load(open(sys.argv[1]))["results"][0]["median"])' "$json")" \
    >>"$results"
}

echo "$(date -u "+%Y-%m-%d %H:%M UTC"); $(nproc) cores, $(free -g | awk "/^Mem:/{print \$2}") GiB memory; $("$WINE64" --version); Linux $(uname -r)"
echo "Load average before (1, 5, 15 min): $(cut -d" " -f1-3 /proc/loadavg)"
for size in "${sizes_mib[@]}"; do
  echo "== $size MiB =="
  in="$tmp/in.bin"
  head -c $((size << 20)) /dev/urandom >"$in"
  cat "$in" >/dev/null   # warm the page cache

  for cfg in "${configs[@]}"; do
    out="$tmp/out-$cfg.wav"
    sync   # no other tool's dirty pages being written back meanwhile
    bench "$cfg" convert "$(winpath "$in")" "$(winpath "$out")" "${runs[$size]}" >"$tmp/zb-$cfg-$size.txt"
    check "$in" "$out" --exact
    printf 'zunkabell %s, in-process\t%s\t%s\n' "$cfg" "$size" "$(value median "$tmp/zb-$cfg-$size.txt")" >>"$results"
    rm -f "$out"
    # The same with every write over the output of the run before.
    if [ "$size" = 512 ]; then
      sync
      bench "$cfg" replace "$(winpath "$in")" "$(winpath "$out")" "${runs[$size]}" >"$tmp/zr-$cfg-$size.txt"
      check "$in" "$out" --exact
      rm -f "$out"
    fi
  done

  out="$tmp/out-wine.wav"
  whole="$BUILD_ROOT/${configs[0]}/convert_bench.exe"
  hyper "zunkabell ${configs[0]}, whole Wine process" "$size" "$out" \
    "$(wine_loader "$whole")" "$whole" convert "$(winpath "$in")" "$(winpath "$out")" 0
  check "$in" "$out" --exact; rm -f "$out"

  out="$tmp/out-cp.bin"
  hyper cp "$size" "$out" cp "$in" "$out"
  cmp -s "$in" "$out" || { echo "Wrong output: $out" >&2; exit 1; }
  rm -f "$out"

  out="$tmp/out-python.wav"
  hyper "python3 wave" "$size" "$out" "$python" "$root/bench/wave_convert.py" "$in" "$out"
  check "$in" "$out"; rm -f "$out"

  out="$tmp/out-sox.wav"
  hyper sox "$size" "$out" sox -t raw -e unsigned-integer -b 8 -c 1 -r 8000 "$in" "$out"
  check "$in" "$out"; rm -f "$out"

  out="$tmp/out-ffmpeg.wav"
  hyper ffmpeg "$size" "$out" ffmpeg -nostdin -loglevel error -f u8 -ar 8000 -ac 1 -i "$in" -c:a pcm_u8 "$out"
  check "$in" "$out"; rm -f "$out"
done
rm -f "$tmp/in.bin"
echo "Load average after: $(cut -d" " -f1-3 /proc/loadavg)"
echo
"$python" "$root/bench/table.py" "$results"

echo
echo "Phases of the conversion path at 512 MiB, median seconds:"
for cfg in "${configs[@]}"; do
  f="$tmp/zb-$cfg-512.txt"
  echo "  $cfg: read $(value median_read "$f"), write $(value median_write "$f"), free $(value median_free "$f");" \
    "write over an existing file $(value median_write "$tmp/zr-$cfg-512.txt")"
done

echo
echo "Peak memory of one 512 MiB conversion (n = $((512 << 20))), above the idle process:"
for cfg in "${configs[@]}"; do
  f="$tmp/zb-$cfg-512.txt"
  "$python" - "$cfg" "$(value idle_peak "$f")" "$(value peak "$f")" <<'EOF'
import sys
cfg, idle, peak = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
n = 512 << 20
extra = peak - idle - (n + 44)
print("  %-7s %d bytes = n + 44 %s %.2f MiB  (target: at most n + 4 MiB: %s)"
      % (cfg, peak - idle, "+" if extra >= 0 else "-", abs(extra) / 2**20,
         "met" if peak - idle <= n + (4 << 20) else "missed"))
EOF
done

echo
echo "Executables (target: under 128 KiB = 131072 bytes):"
for cfg in "${configs[@]}"; do
  exe="$BUILD_ROOT/$cfg/zunkabell.exe"
  if [ -f "$exe" ]; then
    bytes=$(stat -c %s "$exe")
    echo "  $cfg zunkabell.exe: $bytes bytes ($(( (bytes + 1023) / 1024 )) KiB) $([ "$bytes" -lt 131072 ] && echo met || echo missed)"
  else
    echo "  $cfg zunkabell.exe: not built"
  fi
done

# The heap's largest block for an image, found in-process; then real reads of
# sparse files on both sides of it. A 32-bit process's largest free range
# differs by a megabyte or so from one start to the next, so there the reads
# keep 16 MiB away from it. Reading reads the zeros of the whole size: a few
# seconds per gigabyte, and as much again in page cache while it lasts.
echo
echo "Largest input read (sparse files, ReadWavImage alone):"
sparse="$tmp/sparse.bin"
for cfg in "${configs[@]}"; do
  bench "$cfg" largest >"$tmp/largest.txt" || true
  largest=$(value largest "$tmp/largest.txt")
  margin=$((16 << 20))
  [ "$largest" = "$(value format_limit "$tmp/largest.txt")" ] && margin=0
  echo "  $cfg: largest block for an image: n = $largest bytes"
  for size in $((largest - margin)) $((largest + margin + 1)); do
    truncate -s "$size" "$sparse"
    bench "$cfg" read "$(winpath "$sparse")" >"$tmp/read.txt" || true
    echo "  $cfg: read of $size bytes -> $(value outcome "$tmp/read.txt") ($(value seconds "$tmp/read.txt") s)"
    rm -f "$sparse"
  done
done
