#!/bin/bash
# Passes when the build compiled SOURCE as module code (the object library
# ctrlsch_module_api_probe, build/include only) and its object defines
# SYMBOL (as nm -C shows it):
#   module_api_objects.sh "OBJECT;OBJECT..." SOURCE SYMBOL
set -u
objects=$1 source=$2 symbol=$3
object=
IFS=';' read -ra all <<<"$objects"
for o in "${all[@]}"; do
    case $o in */"$source".o | */"$source".obj) object=$o ;; esac
done
if [ -z "$object" ] || [ ! -s "$object" ]; then
    echo "no object of $source among: $objects (build the tests first)"
    exit 1
fi
if ! nm -C --defined-only "$object" | grep -qF " $symbol"; then
    echo "$object does not define $symbol:"
    nm -C --defined-only "$object" | head -20
    exit 1
fi
echo "$source compiles as module code: $object defines $symbol"
