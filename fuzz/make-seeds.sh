#!/usr/bin/env bash
# Makes the fuzzers' generated seeds: the drawings and library files this
# program writes and drawings ezdxf writes, sorted by kind of input.
#
# usage: fuzz/make-seeds.sh CTRLSCH OUTDIR
#   OUTDIR/dxf       the demo's drawings, the installation's symbol drawings,
#                    ezdxf's drawings in every version and the same saved
#                    by this program
#   OUTDIR/slide     the installation's slide libraries and slides
#   OUTDIR/listfile  catalogues, indexes and layer key files
#   OUTDIR/settings  settings, layer configuration and project data (JSON)
#   OUTDIR/lisp      the LISP lines of the demo's and the tests' scripts
set -euo pipefail

ctrlsch=$(realpath "$1")
out=$2
here=$(cd "$(dirname "$0")" && pwd)
# A sanitizer build of the program may leak at exit; that is no seed's concern.
export ASAN_OPTIONS=detect_leaks=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}

rm -rf "$out"
mkdir -p "$out"/{work,dxf,slide,listfile,settings,lisp}
work=$(realpath "$out/work")

"$ctrlsch" demo "$work/demo" > "$work/demo.log" 2>&1
/usr/bin/python3 "$here/make_ezdxf_seeds.py" "$work/ezdxf"
mkdir -p "$work/resaved"
: > "$work/empty.scr"
for f in "$work"/ezdxf/*.dxf; do
  CTRLSCH_NO_MODULE=1 "$ctrlsch" run "$work/empty.scr" "$f" -o "$work/resaved/$(basename "$f" .dxf)-resaved.dxf" \
    > /dev/null 2>&1 || echo "make-seeds: $f does not open in ctrlsch" >&2
done

# Copies files under a folder that match find's tests into a seed folder,
# named after their path (so equal names in different folders stay apart).
collect() {
  local from=$1 to=$2
  shift 2
  (cd "$from" && find . -type f \( "$@" \) -print0) |
    while IFS= read -r -d '' f; do
      cp "$from/$f" "$to/$(echo "${f#./}" | tr '/ ' '__')"
    done
}

collect "$work" "$out/dxf" -iname '*.dxf'
collect "$work/demo" "$out/slide" -iname '*.slb' -o -iname '*.sld'
collect "$work/demo" "$out/listfile" -iname '*.dat' -o -iname '*.idx'
collect "$work/demo" "$out/settings" -iname '*.json' -o -iname '*.qrz'
# Each LISP line of a script is one seed.
n=0
cat "$work"/demo/*.scr "$here"/../tests/e2e/*.scr 2>/dev/null | grep -a '^[[:space:]]*(' | sort -u |
  while IFS= read -r line; do
    n=$((n + 1))
    printf '%s' "$line" > "$out/lisp/script-$n.lsp"
  done

for kind in dxf slide listfile settings lisp; do
  echo "seeds: $kind $(find "$out/$kind" -type f | wc -l) files, $(du -sh "$out/$kind" | cut -f1)"
done
