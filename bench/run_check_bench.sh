#!/usr/bin/env bash
# ctrlsch check over a generated project (esbbtj_bench's) against loading
# the same drawings, on 1 and 2 threads.
#
# usage: bench/run_check_bench.sh [BUILD_DIR]
#   CHECK_BENCH_DIR  the project's folder (default: a new temporary folder,
#                    removed at the end unless KEEP=1)
#   DRAWINGS, ITEMS  project size (default 200 drawings of 2,000 items)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${1:-$(dirname "$here")/build}
for b in esbbtj_bench check_bench; do
    if [ ! -x "$build/bench/$b" ]; then
        echo "run_check_bench: no $build/bench/$b (build the $b target first)" >&2
        exit 2
    fi
done
if [ -n "${CHECK_BENCH_DIR:-}" ]; then
    work=$CHECK_BENCH_DIR
    mkdir -p "$work"
else
    work=$(mktemp -d "${TMPDIR:-/tmp}/check_bench.XXXXXX")
    if [ "${KEEP:-0}" != 1 ]; then
        trap 'rm -rf "$work"' EXIT
    fi
fi
echo "== making the project ($work/project)"
"$build/bench/esbbtj_bench" --project_dir="$work/project" --generate_only --drawings="${DRAWINGS:-200}" \
    --items="${ITEMS:-2000}"
"$build/bench/check_bench" --project_dir="$work/project" --benchmark_out="$work/check.json" \
    --benchmark_out_format=json
