#!/usr/bin/env bash
# Fetching a newsgroup list of a million groups (about 40 MB) with kavrin32 --get-newsgroups
# from a loopback server, against the shell pipeline that does the same work on the reply
# file: cut -d' ' -f1 reply | sort -f > list. Prints the median times, their ratio and our
# peak memory against the reply's size.
set -euo pipefail
build=$(cd "${1:?usage: run.sh BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
kavrin32=$build/src/app/kavrin32
lines=${NEWSGROUPS_BENCH_LINES:-1000000}
runs=${NEWSGROUPS_BENCH_RUNS:-3}
[ -x "$kavrin32" ] || { echo "no $kavrin32" >&2; exit 1; }

work=$(mktemp -d)
server=""
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

python3 "$here/measure.py" make "$work/reply" "$lines"
python3 "$here/measure.py" serve "$work/reply" "$work/port" &
server=$!
for _ in $(seq 1 100); do [ -f "$work/port" ] && break; sleep 0.05; done
port=$(cat "$work/port")

# A settings store that knows the server, and an empty data folder.
mkdir -p "$work/config" "$work/data"
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Pellido Software\\Kavrin/32\\Servers\\127.0.0.1]\r\n"Port Number"=dword:%08x\r\n"Number of Newsgroups"=dword:00000000\r\n' \
  "$port" > "$work/config/settings.reg"
export KAVRIN32_CONFIG_DIR=$work/config KAVRIN32_DATA_DIR=$work/data

ours=()
peer=()
peaks=()
for _ in $(seq 1 "$runs"); do
  out=$(python3 "$here/measure.py" time "$work/log" "$kavrin32" --get-newsgroups 127.0.0.1) ||
    { cat "$work/log" >&2; exit 1; }
  read -r t kib <<< "$out"
  ours+=("$t"); peaks+=("$kib")
  out=$(python3 "$here/measure.py" time "$work/log" sh -c \
        "cut -d' ' -f1 '$work/reply' | sort -f > '$work/peer.txt'")
  read -r t _ <<< "$out"
  peer+=("$t")
done

got=$(wc -l < "$work/data/127.0.0.1.txt")
[ "$got" -eq "$lines" ] || { echo "kavrin32 wrote $got groups, not $lines" >&2; exit 1; }
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
reply_mib=$(awk -v b="$(stat -c %s "$work/reply")" 'BEGIN {printf "%.1f", b/1048576}')
t_ours=$(median "${ours[@]}")
t_peer=$(median "${peer[@]}")
peak_kib=$(median "${peaks[@]}")
awk -v o="$t_ours" -v p="$t_peer" -v k="$peak_kib" -v r="$reply_mib" -v n="$lines" 'BEGIN {
  printf "newsgroup list of %d groups, reply %.1f MiB\n", n, r
  printf "  kavrin32 --get-newsgroups (receive, parse, sort, write)  %6.3f s\n", o
  printf "  cut -d\x27 \x27 -f1 reply | sort -f > list                    %6.3f s\n", p
  printf "  time ratio kavrin32 / pipeline: %.2f (goal <= 1)\n", o / p
  printf "  peak memory %.1f MiB = %.2f x reply size (goal < 3)\n", k / 1024, (k / 1024) / r
}'
