#!/bin/bash
# Fails when the ctrlsch program links or includes module code:
#   host_only.sh PROGRAM LINK_LIBRARIES_FILE APP_SOURCE_DIR MODULE_LIBRARY...
# 1. every library the program's target names is the host, the toolkit,
#    readline, the web server (cpp-httplib, nlohmann-json) or the workbook
#    writer (libxlsxwriter);
# 2. no global symbol a MODULE_LIBRARY (a static library) defines is defined
#    in the program as well (weak ones, inline functions and templates,
#    are shared code and not counted);
# 3. no source of APP_SOURCE_DIR includes a header of a module folder.
set -u
program=$1 links=$2 sources=$3
shift 3
allowed="ctrlsch_host ctrlsch_ui readline PkgConfig::HTTPLIB nlohmann_json::nlohmann_json PkgConfig::XLSXWRITER"
failed=0
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

while read -r lib; do
    [ -z "$lib" ] && continue
    case " $allowed " in
    *" $lib "*) ;;
    *) echo "ctrlsch links $lib (it may link only: $allowed)"; failed=1 ;;
    esac
done <"$links"

strong() { awk 'NF == 3 && $2 ~ /^[TDBR]$/ { print $3 }' | sort -u; }
nm --defined-only "$program" 2>/dev/null | strong >"$tmp/program"
if [ ! -s "$tmp/program" ]; then
    echo "no symbols in $program: it cannot be checked (stripped?)"
    exit 1
fi
# All the libraries in one run of nm (starting it is most of its time):
# lines "LIBRARY:MEMBER:ADDRESS TYPE NAME", split by library.
nm -A --defined-only "$@" 2>/dev/null >"$tmp/all"
index=0
for lib in "$@"; do
    index=$((index + 1))
    awk -v lib="$lib" 'index($1, lib ":") == 1' "$tmp/all" | strong >"$tmp/lib$index"
    if [ ! -s "$tmp/lib$index" ]; then
        echo "no symbols in $lib: it cannot be checked"
        failed=1
        continue
    fi
    comm -12 "$tmp/program" "$tmp/lib$index" >"$tmp/common"
    if [ -s "$tmp/common" ]; then
        echo "ctrlsch holds code of $(basename "$lib") ($(wc -l <"$tmp/common") symbols), e.g.:"
        head -3 "$tmp/common" | c++filt | sed 's/^/  /'
        failed=1
    fi
done

folders="library|panel|components|install|schematic|grid|statistics|tools|frame"
if grep -nHE "^[[:space:]]*#[[:space:]]*include[[:space:]]*[\"<]($folders)/" "$sources"/*.cpp "$sources"/*.h; then
    failed=1
fi

[ "$failed" = 0 ] && echo "ctrlsch links the host, the toolkit, readline and the web server only"
exit "$failed"
