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

# One pass over the module's sources for each rule.
folders=()
for folder in "$@"; do
    folders+=("$sources/$folder")
done
include='^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]([^">]+)[">]'
while IFS= read -r hit; do
    file=${hit%%:*} rest=${hit#*:}
    number=${rest%%:*} line=${rest#*:}
    [[ $line =~ $include ]] || continue
    header=${BASH_REMATCH[1]}
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
done < <(grep -rnE --include='*.cpp' --include='*.h' "$include" "${folders[@]}")

internals='\bAcDbStub\b|\bAcDbInternals\b|\bAcDbUndoJournal\b|\bAcDbDxfFields\b'
internals+='|\bSpatialIndex\b|\bhost::|[A-Za-z]ForHost\(|appendRaw\(|temporaryGraphicsSlot\('
internals+='|addRecordId\(|removeRecordId\(|renameRecord\(|repairStructure\(|fromSerial\(|swapContents\('
internals+='|addRepairNote\(|noteHandle\(|reserveHandles\(|setHeaderTags\(|\bextraTags\(|\bAcDbExtraTag\b'
# Comments may name anything.
if grep -rnE --include='*.cpp' --include='*.h' "$internals" "${folders[@]}" | grep -vE '^[^:]+:[0-9]+:[[:space:]]*//'; then
    failed=1
fi

[ "$failed" = 0 ] && echo "the module uses the host's public interface only ($*)"
exit "$failed"
