#!/usr/bin/env bash
# Runs fuzz targets one after the other and prints, at the end, what each
# reached: "TARGET: N executions (R exec/s)", and the input of any crash.
#
# usage: fuzz/run-fuzzers.sh BUILD TARGET...
#   FUZZ_RUNS=N     run each target for N executions (libFuzzer -runs=N), else
#   FUZZ_SECONDS=S  run each target for S seconds (default 60)
#   FUZZ_FLAGS=...  more libFuzzer options for every target
#
# Target T is BUILD/fuzz/T_fuzz. Its corpus, which grows, is BUILD/corpus/T;
# its seeds come from fuzz/corpus/KIND (committed), BUILD/seeds/KIND (made
# by fuzz/make-seeds.sh) and the kept regressions of its kind
# (tests/data/...fuzz-regressions), KIND being T without "_file"; its
# dictionary is fuzz/dict/KIND.dict, where there is one. Crash,
# leak and timeout inputs land in BUILD/artifacts, the logs in BUILD/logs.
set -uo pipefail

build=$1
shift
src=$(cd "$(dirname "$0")/.." && pwd)
seconds=${FUZZ_SECONDS:-60}
runs=${FUZZ_RUNS:-}
mkdir -p "$build/artifacts" "$build/logs"
# Undefined behaviour stops the run like a crash does.
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}

regressions() {
  case $1 in
    dxf) echo fuzz-regressions ;;
    *) echo "$1-fuzz-regressions" ;;
  esac
}
max_len() {
  case $1 in
    dxf | slide) echo 65536 ;;
    settings) echo 16384 ;;
    *) echo 8192 ;;
  esac
}

summary=()
failed=0
for target in "$@"; do
  kind=${target%_file}
  program=$build/fuzz/${target}_fuzz
  log=$build/logs/$target.log
  corpus=$build/corpus/$target
  mkdir -p "$corpus"
  dirs=("$corpus")
  for d in "$src/fuzz/corpus/$kind" "$build/seeds/$kind" "$src/tests/data/$(regressions "$kind")"; do
    [ -d "$d" ] && dirs+=("$d")
  done
  if [ -n "$runs" ]; then limit=(-runs="$runs"); else limit=(-max_total_time="$seconds"); fi
  # The words of the format, where there is a dictionary for it.
  [ -f "$src/fuzz/dict/$kind.dict" ] && limit+=(-dict="$src/fuzz/dict/$kind.dict")
  marker=$build/logs/.$target.start
  touch "$marker"
  echo "fuzzing $target (${runs:+$runs runs}${runs:-$seconds s}), log $log"
  "$program" "${limit[@]}" -max_len="$(max_len "$kind")" -timeout=30 -print_final_stats=1 ${FUZZ_FLAGS:-} \
    -artifact_prefix="$build/artifacts/$target-" "${dirs[@]}" > "$log" 2>&1
  status=$?
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  # Without final statistics (fork mode): the last status line, whose
  # "time:" gives the rate.
  if [ -z "$executions" ]; then
    last=$(grep -E '^#[0-9]+:' "$log" | tail -1)
    executions=$(echo "$last" | sed -n 's/^#\([0-9]*\):.*/\1/p')
    elapsed=$(echo "$last" | sed -n 's/.* time: *\([0-9]*\)s.*/\1/p')
    [ -n "$executions" ] && [ -n "$elapsed" ] && [ "$elapsed" -gt 0 ] && rate=$((executions / elapsed))
  fi
  line="$target: ${executions:-?} executions (${rate:-?} exec/s)"
  artifacts=$(find "$build/artifacts" -name "$target-*" -newer "$marker" | sort)
  if [ $status -ne 0 ] || [ -n "$artifacts" ]; then
    failed=1
    reason=$(grep -m1 -E "^$target: |^SUMMARY|runtime error" "$log")
    line="$line FAILED (exit $status): ${reason:-see $log}"
    for a in $artifacts; do line="$line
      input: $a"; done
  fi
  summary+=("$line")
done

echo
echo "fuzzing results:"
printf '  %s\n' "${summary[@]}"
exit $failed
