#!/usr/bin/env bash
# Runs every area's benchmark script (bench/*/run.sh BUILD_DIR) in turn.
set -uo pipefail
build=$(cd "${1:?usage: run-all.sh BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
status=0
ran=0
for script in "$here"/*/run.sh; do
  [ -x "$script" ] || continue
  echo "== $(basename "$(dirname "$script")")"
  "$script" "$build" || status=1
  ran=1
done
[ $ran -eq 1 ] || echo "no benchmarks yet"
exit $status
