#!/usr/bin/env bash
# The newsgroup selection and search dialogs over a server list of a million groups (the list
# the newsgroup benchmark's generator makes, sorted and stored as the program stores it), each
# against a peer run in the same command:
#   opening the dialog until its lists are painted, against sort -f over the list file (goal:
#   at most half its time; peak memory above an empty dialog's under 3 times the file);
#   searching for a text every name holds and for one about 1 % hold, against grep -c -i
#   (goal: at most its time);
#   Add All, Add Selected of 100 000 rows against 100 000 selected, Remove Selected of
#   100 000 rows (goal: each under 0.5 s).
# Peers run in the C locale, where they are fastest. Prints medians of NEWSGROUPS_BENCH_RUNS.
set -euo pipefail
build=$(cd "${1:?usage: run.sh BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
measure=$here/../newsgroups/measure.py
bench=$build/bench/newsgroup_dialogs/kavrin32_newsgroup_dialogs_bench
lines=${NEWSGROUPS_BENCH_LINES:-1000000}
runs=${NEWSGROUPS_BENCH_RUNS:-5}
[ -x "$bench" ] || { echo "not built: $bench" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LC_ALL=C
host=bench.example.com
list=$work/$host.txt
python3 "$measure" make "$work/reply" "$lines"
cut -d' ' -f1 "$work/reply" | sort -f | sed 's/$/\r/' > "$list"
rm "$work/reply"
every=.
some=games.l

median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
peer() { python3 "$measure" time "$work/log" "$@" | cut -d' ' -f1; }

declare -A t
for _ in $(seq 1 "$runs"); do
  out=$(python3 "$measure" time "$work/open.log" "$bench" open "$work" "$host")
  t[open]+=" $(awk '$1 == "open" {print $2}' "$work/open.log")"
  t[open_kib]+=" ${out#* }"
  out=$(python3 "$measure" time "$work/empty.log" "$bench" empty "$work" "$host")
  t[empty_kib]+=" ${out#* }"
  t[sort]+=" $(peer sort -f "$list" -o "$work/sorted")"
  for text in every some; do
    "$bench" search "$work" "$host" "${!text}" > "$work/search.log"
    t[search_$text]+=" $(awk '{print $2}' "$work/search.log")"
    t[count_$text]=$(awk '{print $3}' "$work/search.log")
    t[grep_$text]+=" $(peer grep -c -i "${!text}" "$list")"
    t[grepF_$text]+=" $(peer grep -c -i -F "${!text}" "$list")"
  done
  "$bench" picks "$work" "$host" > "$work/picks.log"
  for what in add-all add-selected remove-selected; do
    t[$what]+=" $(awk -v w="$what" '$1 == w {print $2}' "$work/picks.log")"
  done
done
m() { median ${t[$1]}; }
file_mib=$(awk -v b="$(stat -c %s "$list")" 'BEGIN {printf "%.1f", b/1048576}')
awk -v n="$lines" -v f="$file_mib" -v open="$(m open)" -v sort="$(m sort)" \
    -v okib="$(m open_kib)" -v ekib="$(m empty_kib)" \
    -v se="$(m search_every)" -v ss="$(m search_some)" \
    -v ce="${t[count_every]}" -v cs="${t[count_some]}" \
    -v ge="$(m grep_every)" -v gs="$(m grep_some)" -v gfe="$(m grepF_every)" -v gfs="$(m grepF_some)" \
    -v aa="$(m add-all)" -v as="$(m add-selected)" -v rs="$(m remove-selected)" \
    -v every="$every" -v some="$some" 'BEGIN {
  printf "newsgroup selection dialog over %d groups, list file %.1f MiB\n", n, f
  printf "  open until painted %7.3f s   sort -f %7.3f s   ratio %.2f (goal <= 0.5)\n", open, sort, open / sort
  printf "  peak memory %.1f MiB, an empty dialog %.1f MiB: %.2f x the file above it (goal < 3)\n", okib / 1024, ekib / 1024, (okib - ekib) / 1024 / f
  printf "  search \"%s\" (%d matches) %7.3f s   grep -c -i %7.3f s (-F %7.3f s)   ratio %.2f (goal <= 1)\n", every, ce, se, ge, gfe, se / ge
  printf "  search \"%s\" (%d matches) %7.3f s   grep -c -i %7.3f s (-F %7.3f s)   ratio %.2f (goal <= 1)\n", some, cs, ss, gs, gfs, ss / gs
  printf "  Add All of %d         %7.3f s (goal < 0.5)\n", n, aa
  printf "  Add Selected 100 000 against 100 000 selected %7.3f s (goal < 0.5)\n", as
  printf "  Remove Selected 100 000 %7.3f s (goal < 0.5)\n", rs
}'
