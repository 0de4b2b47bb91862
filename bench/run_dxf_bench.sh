#!/usr/bin/env bash
# DXF reader and writer against ezdxf on the same drawing.
#
# usage: bench/run_dxf_bench.sh [DXF_BENCH_BINARY] [benchmark flags...]
#   DXF_BENCH_BINARY  defaults to build/bench/dxf_bench (of the checkout);
#                     this script builds nothing.
#   CTRLSCH           the program whose open and save peak memory is
#                     measured (default: src/app/ctrlsch of the same build).
#   DXF_BENCH_DIR     folder for the drawing and the JSON (default: a new
#                     temporary folder, removed at the end unless KEEP=1).
#
# Makes the drawing once, runs dxf_bench on it (JSON through
# --benchmark_out), measures the peak memory of `ctrlsch run` opening and
# saving it, then times ezdxf on the very same file and prints the table. Exits non-zero when the drawing cannot be made or a tool fails; a
# missed target is only printed.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
bin=${1:-$root/build/bench/dxf_bench}
[ $# -gt 0 ] && shift

if [ ! -x "$bin" ]; then
    echo "run_dxf_bench: no benchmark binary at $bin (build the dxf_bench target first)" >&2
    exit 2
fi

if [ -n "${DXF_BENCH_DIR:-}" ]; then
    work=$DXF_BENCH_DIR
    mkdir -p "$work"
else
    work=$(mktemp -d "${TMPDIR:-/tmp}/dxf_bench.XXXXXX")
    if [ "${KEEP:-0}" != 1 ]; then
        trap 'rm -rf "$work"' EXIT
    fi
fi
ctrlsch=${CTRLSCH:-$(dirname "$(dirname "$bin")")/src/app/ctrlsch}
if [ ! -x "$ctrlsch" ]; then
    echo "run_dxf_bench: no ctrlsch program at $ctrlsch (build the ctrlsch target first)" >&2
    exit 2
fi
dxf=$work/drawing.dxf
json=$work/dxf_bench.json

echo "== making the drawing ($dxf)"
if ! "$bin" --dxf_file="$dxf" --generate_only || [ ! -s "$dxf" ]; then
    echo "run_dxf_bench: the drawing could not be made" >&2
    exit 1
fi

echo "== dxf_bench"
if ! "$bin" --dxf_file="$dxf" --reuse --benchmark_out="$json" --benchmark_out_format=json "$@"; then
    echo "run_dxf_bench: dxf_bench failed" >&2
    exit 1
fi

echo "== ezdxf"
if ! /usr/bin/python3 "$here/compare_ezdxf.py" --dxf "$dxf" --ours "$json" --ctrlsch "$ctrlsch"; then
    echo "run_dxf_bench: the comparison failed" >&2
    exit 1
fi
if [ "${KEEP:-0}" = 1 ] || [ -n "${DXF_BENCH_DIR:-}" ]; then
    echo "drawing and results kept in $work"
fi
