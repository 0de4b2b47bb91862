#!/usr/bin/env bash
# (esbbtj 1) over a generated project against loading the same drawings and
# against ezdxf reading the same values.
#
# usage: bench/run_esbbtj_bench.sh [ESBBTJ_BENCH_BINARY [CTRLSCH_PROGRAM]]
#   ESBBTJ_BENCH_DIR  the project's folder (default: a new temporary folder,
#                     removed at the end unless KEEP=1)
#   DRAWINGS, ITEMS   project size (default 200 drawings of 2,000 items)
#   EZDXF_DRAWINGS    how many drawings ezdxf reads (default 20; its time is
#                     scaled to the project; 0 reads them all)
# Each benchmark runs in a process of its own, so that peak memory is
# that of the benchmark alone.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
bin=${1:-$root/build/bench/esbbtj_bench}
ctrlsch=${2:-$(dirname "$(dirname "$bin")")/src/app/ctrlsch}
if [ ! -x "$bin" ]; then
    echo "run_esbbtj_bench: no benchmark binary at $bin (build the esbbtj_bench target first)" >&2
    exit 2
fi
if [ -n "${ESBBTJ_BENCH_DIR:-}" ]; then
    work=$ESBBTJ_BENCH_DIR
    mkdir -p "$work"
else
    work=$(mktemp -d "${TMPDIR:-/tmp}/esbbtj_bench.XXXXXX")
    if [ "${KEEP:-0}" != 1 ]; then
        trap 'rm -rf "$work"' EXIT
    fi
fi
project=$work/project
echo "== making the project ($project)"
"$bin" --project_dir="$project" --generate_only --drawings="${DRAWINGS:-200}" --items="${ITEMS:-2000}"

results=()
for b in LoadOnly Esbbtj/threads:1 Esbbtj/threads:2 Tables/threads:1 Tables/threads:2 \
    TableCommand/threads:1 TableCommand/threads:2 LoadLargest; do
    echo "== $b"
    name=${b//[\/:]/_}
    "$bin" --project_dir="$project" --reuse --ctrlsch="$ctrlsch" --benchmark_filter="^BM_$b/" \
        --benchmark_out="$work/$name.json" --benchmark_out_format=json
    case $b in LoadOnly | Esbbtj/threads:1 | LoadLargest) results+=("$work/$name.json") ;; esac
done

echo "== ezdxf"
/usr/bin/python3 "$here/esbbtj_ezdxf.py" "$project" --limit "${EZDXF_DRAWINGS:-20}" --ours "${results[@]}"
