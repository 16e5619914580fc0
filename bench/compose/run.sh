#!/usr/bin/env bash
# Encoder speed and export memory, as ratios against peers run here and now on the same file.
#   bench/compose/run.sh BUILD_DIR
# Speed is CPU time (user + system) of each whole process, the best of a few runs: the
# commands are single-threaded, so this is their speed on one core whatever else the machine
# is doing. Every command writes its output to /dev/null.
set -euo pipefail
build=$(cd "${1:?usage: run.sh BUILD_DIR}" && pwd)
encoder=$build/bench/compose/compose_encode_bench
kavrin=$build/src/app/kavrin32
runs=${RUNS:-5}
mib=${SIZE_MIB:-256}
for tool in "$encoder" "$kavrin" /usr/bin/time base64 uuencode; do
  command -v "$tool" >/dev/null || { echo "missing $tool (make deps-bench, a Release build)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
head -c "${mib}M" /dev/urandom >"$work/data.bin"
# The file as a first reading leaves it in the page cache, as the posting benchmark does: just
# written, the system holds it page by page, and reading it then costs every command about twice
# as much, so the ratios would follow the cache's state rather than the encoders.
python3 - "$work/data.bin" <<'PY'
import os, sys
with open(sys.argv[1], "rb") as f:
    os.fsync(f.fileno())
    os.posix_fadvise(f.fileno(), 0, 0, os.POSIX_FADV_DONTNEED)
    while f.read(1 << 20):
        pass
PY

# Best CPU seconds of $runs runs of a command (bash's own timing: milliseconds).
cpu() {
  local best="" TIMEFORMAT='%3U %3S'
  for _ in $(seq "$runs"); do
    { time "$@" >/dev/null; } 2>"$work/t"
    best=$(awk -v b="$best" '{ s = $1 + $2; if (b == "" || s < b) b = s; print b }' "$work/t")
  done
  echo "$best"
}

t_cat=$(cpu cat "$work/data.bin")
t_b64=$(cpu base64 -w 72 "$work/data.bin")
t_uu=$(cpu uuencode "$work/data.bin" data.bin)
t_our_b64=$(cpu "$encoder" base64 "$work/data.bin" 1000)
t_our_uu=$(cpu "$encoder" uu "$work/data.bin" 1000)
t_our_yenc=$(cpu "$encoder" yenc "$work/data.bin" 1000)

status=0
report() {  # name, our seconds, peer seconds, goal ratio
  awk -v n="$1" -v o="$2" -v p="$3" -v g="$4" -v m="$mib" 'BEGIN {
    if (o < 0.001) o = 0.001
    r = p / o
    printf "%-46s %7.0f MB/s  peer %7.0f MB/s  ratio %5.2f  goal >= %.2f  %s\n",
           n, m * 1.048576 / o, m * 1.048576 / (p < 0.001 ? 0.001 : p), r, g, (r >= g ? "ok" : "MISSED")
    exit (r >= g ? 0 : 1) }' || status=1
}
echo "Sent form of a ${mib} MiB random file (CR LF lines, parts of 999 lines; yEnc parts of 999 x 128 bytes), CPU time, best of $runs:"
report "Base64 vs coreutils base64 -w 72" "$t_our_b64" "$t_b64" 3
report "UUEncode vs sharutils uuencode" "$t_our_uu" "$t_uu" 3
report "Base64 vs cat (the ceiling)" "$t_our_b64" "$t_cat" 0.25
report "UUEncode vs cat (the ceiling)" "$t_our_uu" "$t_cat" 0.25
report "yEnc vs cat (the ceiling)" "$t_our_yenc" "$t_cat" 0.25
report "yEnc vs our Base64" "$t_our_yenc" "$t_our_b64" 0.8

# Peak memory of the export, on a sparse file: the size is what matters, not the bytes.
export_rss() {  # size, method
  local dir=$work/export-$1
  mkdir -p "$dir/config" "$dir/out"
  truncate -s "$1" "$dir/file.bin"
  printf '[Kavrin/32]\r\nSubject=bench\r\nFrom Name=Bench\r\nCrosspost=1\r\nEncoding Method=%s\r\nSplit Large Messages=1\r\nSplit Lines=5000\r\n[Newsgroups]\r\n0=alt.binaries.test\r\n[Attachments]\r\n0=%s\r\n' \
    "$2" "$dir/file.bin" >"$dir/p.kv32"
  KAVRIN32_CONFIG_DIR=$dir/config /usr/bin/time -f "%M" -o "$dir/rss" \
    "$kavrin" --export "$dir/out" "$dir/p.kv32" >/dev/null
  cat "$dir/rss"
  rm -rf "$dir"
}
for method in 1 2; do
  name=$([ "$method" = 1 ] && echo Base64 || echo yEnc)
  rss_small=$(export_rss 64M "$method")
  rss_big=$(export_rss 1G "$method")
  echo "Peak resident memory of kavrin32 --export ($name): 64 MiB file ${rss_small} KB, 1 GiB file ${rss_big} KB"
  awk -v s="$rss_small" -v b="$rss_big" 'BEGIN {
    ok = b < 64 * 1024 && b < s + 8 * 1024
    printf "  goal: under 65536 KB and not growing with the file  %s\n", ok ? "ok" : "MISSED"
    exit ok ? 0 : 1 }' || status=1
done
exit $status
