#!/usr/bin/env bash
# make bench: the convert command's own path against cp, sox, ffmpeg and
# Python's wave module on random inputs of 1, 64 and 512 MiB, warm page cache,
# every output checked against its input; then the tool's peak memory, the
# size of its executables and the largest input each build takes. All it
# makes lives in one temporary folder, removed at the end.
set -euo pipefail
. "$(dirname "$0")/../cmake/wine-env.sh"
python=/usr/bin/python3   # Debian's, not a shim that adds its own start-up

sizes_mib=(1 64 512)
declare -A runs=([1]=20 [64]=10 [512]=5)
configs=(i686 x86_64)
check_i686
# Only a program the host runs natively is timed: an emulator's times are its own.
case "$I686_RUNS $I686_HOW" in
  "yes natively") ;;
  yes*) configs=(x86_64); echo "i686 not measured: 32-bit programs run here $I686_HOW, so the times would be the emulator's." ;;
  *) configs=(x86_64); echo "i686 not measured: $I686_WHY." ;;
esac
tmp=$(mktemp -d)
trap 'stop_wine || true; rm -rf "$tmp"' EXIT
trap 'exit 130' INT TERM
prepare_wine
# Its console lines end in CR LF.
bench() {
  local exe="$root/build/$1/convert_bench.exe"
  "$(wine_loader "$exe")" "$exe" "${@:2}" </dev/null | tr -d '\r'
}
value() { sed -n "s/^$1 //p" "$2"; }
results="$tmp/results.tsv"
: >"$results"
# check IN OUT [--exact | --same]: OUT's data chunk must hold IN's bytes
# (--exact: and nothing else; --same: OUT is IN), and OUT goes.
check() {
  if [ "${3:-}" = --same ]; then cmp -s "$1" "$2"; else "$python" "$root/bench/check_wav.py" "$@"; fi ||
    { echo "Wrong output: $2" >&2; exit 1; }
  rm -f "$2"
}
# hyper NAME SIZE CHECK COMMAND...: the median of hyperfine runs of COMMAND,
# which writes $out, then check's CHECK of it (- for none beyond the format).
hyper() {
  local name=$1 size=$2 how=$3 quoted median
  shift 3
  quoted=$(printf "'%s' " "$@")
  sync
  hyperfine -N --style none --warmup 1 --runs "${runs[$size]}" --prepare "rm -f $out" \
    --export-json "$tmp/hyper.json" "$quoted" >/dev/null
  median=$("$python" -c 'import json,sys; print(json.load(open(sys.argv[1]))["results"][0]["median"])' "$tmp/hyper.json")
  printf '%s\t%s\t%s\n' "$name" "$size" "$median" >>"$results"
  check "$in" "$out" $([ "$how" = - ] || echo "$how")
}
echo "$(date -u "+%Y-%m-%d %H:%M UTC"); $(nproc) cores, $(free -g | awk "/^Mem:/{print \$2}") GiB memory; $("$WINE64" --version); Linux $(uname -r)"
echo "Load average before (1, 5, 15 min): $(cut -d" " -f1-3 /proc/loadavg)"
in="$tmp/in.bin" out="$tmp/out.wav"
for size in "${sizes_mib[@]}"; do
  echo "== $size MiB =="
  head -c $((size << 20)) /dev/urandom >"$in"
  cat "$in" >/dev/null   # warm the page cache
  for cfg in "${configs[@]}"; do
    sync   # no other tool's dirty pages being written back meanwhile
    bench "$cfg" convert "$(winpath "$in")" "$(winpath "$out")" "${runs[$size]}" >"$tmp/zb-$cfg-$size.txt"
    check "$in" "$out" --exact
    printf 'zunkabell %s, in-process\t%s\t%s\n' "$cfg" "$size" "$(value median "$tmp/zb-$cfg-$size.txt")" >>"$results"
    # The same with every write over the output of the run before.
    if [ "$size" = 512 ]; then
      sync
      bench "$cfg" replace "$(winpath "$in")" "$(winpath "$out")" "${runs[$size]}" >"$tmp/zr-$cfg-$size.txt"
      check "$in" "$out" --exact
    fi
  done
  whole="$root/build/${configs[0]}/convert_bench.exe"
  hyper "zunkabell ${configs[0]}, whole Wine process" "$size" --exact \
    "$(wine_loader "$whole")" "$whole" convert "$(winpath "$in")" "$(winpath "$out")" 0
  hyper cp "$size" --same cp "$in" "$out"
  hyper "python3 wave" "$size" - "$python" "$root/bench/wave_convert.py" "$in" "$out"
  hyper sox "$size" - sox -t raw -e unsigned-integer -b 8 -c 1 -r 8000 "$in" "$out"
  hyper ffmpeg "$size" - ffmpeg -nostdin -loglevel error -f u8 -ar 8000 -ac 1 -i "$in" -c:a pcm_u8 "$out"
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
  awk -v cfg="$cfg" -v used=$(($(value peak "$f") - $(value idle_peak "$f"))) -v n=$((512 << 20)) 'BEGIN {
    x = used - n - 44; printf "  %-7s %d bytes = n + 44 %s %.2f MiB  (target: at most n + 4 MiB: %s)\n",
      cfg, used, (x >= 0 ? "+" : "-"), (x < 0 ? -x : x) / 1048576, (used <= n + 4194304 ? "met" : "missed") }'
done

echo
echo "Executables (target: under 128 KiB = 131072 bytes):"
for cfg in "${configs[@]}"; do
  bytes=$(stat -c %s "$root/build/$cfg/zunkabell.exe")
  echo "  $cfg zunkabell.exe: $bytes bytes ($(( (bytes + 1023) / 1024 )) KiB) $([ "$bytes" -lt 131072 ] && echo met || echo missed)"
done

# The heap's largest block for an image, found in-process; then real reads of
# sparse files on both sides of it, 16 MiB away where a 32-bit process's
# largest free range differs by a megabyte or so from one start to the next.
# Each read takes a few seconds per gigabyte, and as much in page cache.
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
