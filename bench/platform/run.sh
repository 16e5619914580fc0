#!/usr/bin/env bash
# Importing a large registry export with kavrin32 --import-settings, against loading and saving
# the same settings (a one-key import into a store that already holds them), at two sizes.
#   bench/platform/run.sh BUILD_DIR
# Both commands parse the same text and write the same file, so their ratio shows what the import
# itself costs; the growth from the small export to the large one shows its order (8 times the
# keys should take about 8 times as long, not 64). CPU time, best of a few runs.
set -euo pipefail
build=$(cd "${1:?usage: run.sh BUILD_DIR}" && pwd)
kavrin=$build/src/app/kavrin32
runs=${RUNS:-3}
small=${SMALL_KEYS:-10000}
large=${LARGE_KEYS:-80000}
[ -x "$kavrin" ] || { echo "missing $kavrin (a Release build)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root='HKEY_CURRENT_USER\Software\Pellido Software\Kavrin/32'

# An export of N projects, each a key with a few values, as regedit writes it.
make_export() {  # keys, file
  awk -v n="$1" -v root="$root" 'BEGIN {
    printf "REGEDIT4\r\n\r\n[%s\\Projects]\r\n\r\n", root
    for (i = 0; i < n; i++) {
      printf "[%s\\Projects\\Project %06d]\r\n", root, i
      printf "\"Name\"=\"Project %06d\"\r\n\"Subject\"=\"Subject of %d\"\r\n", i, i
      printf "\"Port Number\"=dword:00000077\r\n\"Cut Here\"=hex:00\r\n\r\n"
    }
  }' >"$2"
}
printf 'REGEDIT4\r\n\r\n[%s\\Advanced]\r\n"Host Name"="bench"\r\n' "$root" >"$work/one.reg"

# Best CPU seconds of $runs runs; the command runs in a fresh config folder prepared by $1.
cpu() {  # prepare-function, command...
  local prepare=$1 best="" TIMEFORMAT='%3U %3S'
  shift
  for _ in $(seq "$runs"); do
    rm -rf "$work/config"
    mkdir -p "$work/config"
    "$prepare"
    { time KAVRIN32_CONFIG_DIR=$work/config "$@" >/dev/null 2>"$work/err"; } 2>"$work/t" ||
      { cat "$work/err" >&2; exit 1; }
    best=$(awk -v b="$best" '{ s = $1 + $2; if (b == "" || s < b) b = s; print b }' "$work/t")
  done
  echo "$best"
}
empty() { :; }
holding() { cp "$work/settings.reg" "$work/config/settings.reg"; }

declare -A t_import t_load
for keys in "$small" "$large"; do
  make_export "$keys" "$work/export.reg"
  t_import[$keys]=$(cpu empty "$kavrin" --import-settings "$work/export.reg")
  # The store the import wrote, for the peer to load and save.
  rm -rf "$work/config" && mkdir -p "$work/config"
  KAVRIN32_CONFIG_DIR=$work/config "$kavrin" --import-settings "$work/export.reg" 2>/dev/null
  cp "$work/config/settings.reg" "$work/settings.reg"
  t_load[$keys]=$(cpu holding "$kavrin" --import-settings "$work/one.reg")
done

status=0
echo "kavrin32 --import-settings of an export of N keys, CPU time, best of $runs:"
for keys in "$small" "$large"; do
  awk -v n="$keys" -v i="${t_import[$keys]}" -v l="${t_load[$keys]}" 'BEGIN {
    r = i / (l < 0.001 ? 0.001 : l)
    printf "  %6d keys: import %7.2f s, load and save of the same store %7.2f s, ratio %5.2f  goal <= 3  %s\n",
           n, i, l, r, (r <= 3 ? "ok" : "MISSED")
    exit (r <= 3 ? 0 : 1) }' || status=1
done
awk -v s="$small" -v l="$large" -v a="${t_import[$small]}" -v b="${t_import[$large]}" 'BEGIN {
  g = (b / (a < 0.001 ? 0.001 : a)) / (l / s)
  printf "  growth from %d to %d keys: %.2f times the growth in keys  goal <= 2  %s\n",
         s, l, g, (g <= 2 ? "ok" : "MISSED")
  exit (g <= 2 ? 0 : 1) }' || status=1
exit $status
