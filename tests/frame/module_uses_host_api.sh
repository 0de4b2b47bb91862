#!/bin/bash
# Fails when module code reaches past the host's public interface:
#   module_uses_host_api.sh SOURCE_DIR "PUBLIC_HEADER..." MODULE_FOLDER...
# 1. every host header a module source includes is one of PUBLIC_HEADERS
#    (host/dxf, host/render, dbundo.h, spatialindex.h, ... are internals), no
#    toolkit header of ui/detail is included, and no include climbs out of
#    its folder ("../host/...");
# 2. no module source names a host internal that the public headers still
#    declare (the types of the object records, the undo journal, the
#    spatial index and the file field visitor, the host's own accessors,
#    the host:: namespace). The database's internal members are private:
#    the compiler refuses those (module_cannot_call_host_internals).
set -u
sources=$1 public=$2
shift 2
failed=0

for folder in "$@"; do
    while IFS= read -r file; do
        while IFS= read -r line; do
            number=${line%%:*}
            header=$(sed -E 's/^[^"<]*["<]([^">]+)[">].*/\1/' <<<"${line#*:}")
            case $header in
            host/*/* | ../* | */../*)
                echo "$file:$number: includes $header (a host internal)"; failed=1 ;;
            host/*)
                case " $public " in
                *" ${header#host/} "*) ;;
                *) echo "$file:$number: includes $header (a host internal; public: $public)"; failed=1 ;;
                esac ;;
            ui/detail/*)
                echo "$file:$number: includes $header (a toolkit internal)"; failed=1 ;;
            esac
        done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]' "$file")
    done < <(find "$sources/$folder" -name '*.cpp' -o -name '*.h')
done

internals='\bAcDbStub\b|\bAcDbInternals\b|\bAcDbUndoJournal\b|\bAcDbDxfFields\b'
internals+='|\bSpatialIndex\b|\bhost::|[A-Za-z]ForHost\(|appendRaw\(|temporaryGraphicsSlot\('
internals+='|addRecordId\(|removeRecordId\(|renameRecord\(|repairStructure\(|fromSerial\(|swapContents\('
internals+='|addRepairNote\(|noteHandle\(|reserveHandles\(|setHeaderTags\(|\bextraTags\(|\bAcDbExtraTag\b'
for folder in "$@"; do
    # Comments may name anything.
    if grep -rnE --include='*.cpp' --include='*.h' "$internals" "$sources/$folder" | grep -vE '^[^:]+:[0-9]+:[[:space:]]*//'; then
        failed=1
    fi
done

[ "$failed" = 0 ] && echo "the module uses the host's public interface only ($*)"
exit "$failed"
