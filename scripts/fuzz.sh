#!/usr/bin/env bash
# Runs the libFuzzer harnesses of a fuzzing build, one after the other, each for SECONDS.
#   scripts/fuzz.sh BUILD_DIR [SECONDS] [NAME...]      (default: 60 s, every harness)
#   scripts/fuzz.sh --totals BUILD_DIR                  inputs run so far, per harness
# A harness starts from its seed corpus (tests/fuzz/corpus/NAME) and from what earlier runs
# added (BUILD_DIR/fuzz-corpus/NAME, where new inputs are kept). A crash, a sanitizer report or
# a failed check stops that harness and the script ends with status 1; the input is kept as
# BUILD_DIR/fuzz-findings/NAME-crash-* (or -leak-, -timeout-, -oom-) and belongs in the
# ordinary tests with its fix. The inputs each run executed are added up in
# BUILD_DIR/fuzz-executions.txt.
#
# FUZZ_SEED and FUZZ_RUNS, when set, fix libFuzzer's seed and the number of inputs, so a run can
# be repeated input for input (the smoke in the test run uses them; SECONDS is then only a cap).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source=$(cd "$here/.." && pwd)

totals() {
  awk '{n[$1] += $2; s[$1] += $3}
       END {for (h in n) printf "%-22s %12d inputs in %7d s\n", h, n[h], s[h]}' "$1" | sort
}

if [ "${1:-}" = "--totals" ]; then
  build=$(cd "${2:?usage: fuzz.sh --totals BUILD_DIR}" && pwd)
  [ -f "$build/fuzz-executions.txt" ] && totals "$build/fuzz-executions.txt"
  exit 0
fi

build=$(cd "${1:?usage: fuzz.sh BUILD_DIR [SECONDS] [NAME...]}" && pwd)
seconds=${2:-60}
shift $(( $# >= 2 ? 2 : 1 ))
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for f in "$source"/tests/fuzz/*_fuzz.cpp; do
    n=$(basename "$f" _fuzz.cpp)
    names+=("$n")
  done
fi

status=0
for name in "${names[@]}"; do
  harness=$build/tests/fuzz/fuzz_$name
  if [ ! -x "$harness" ]; then
    echo "fuzz.sh: no harness $harness (build it with make fuzz)" >&2
    status=1
    continue
  fi
  corpus=$build/fuzz-corpus/$name
  findings=$build/fuzz-findings
  mkdir -p "$corpus" "$findings"
  seeds=()
  [ -d "$source/tests/fuzz/corpus/$name" ] && seeds=("$source/tests/fuzz/corpus/$name")
  repeatable=()
  [ -n "${FUZZ_SEED:-}" ] && repeatable+=("-seed=$FUZZ_SEED")
  [ -n "${FUZZ_RUNS:-}" ] && repeatable+=("-runs=$FUZZ_RUNS")
  log=$(mktemp)
  started=$SECONDS
  # Leaks are reported like crashes; a slow input (30 s) or 2 GiB of memory is a finding too.
  ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} \
  UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
    "$harness" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$findings/$name-" "${repeatable[@]}" \
      "$corpus" "${seeds[@]}" > "$log" 2>&1
  result=$?
  took=$((SECONDS - started))
  runs=$(awk '/stat::number_of_executed_units/ {print $NF}' "$log")
  echo "$name ${runs:-0} $took $(date -u +%Y-%m-%dT%H:%M:%SZ)" >> "$build/fuzz-executions.txt"
  if [ $result -ne 0 ]; then
    echo "== fuzz_$name: FINDING (status $result)"
    grep -v '^#' "$log" | tail -60
    status=1
  else
    echo "== fuzz_$name: ${runs:-0} inputs in $took s, nothing found"
  fi
  rm -f "$log"
done
exit $status
