#!/bin/bash
# Fails when the plug-in exports more of its own than its entry points:
#   plugin_exports.sh PLUGIN
# The plug-in is built with hidden symbols; its dynamic symbol table may
# hold acrxEntryPoint and acrxGetApiVersion, the linker's own symbols and
# instances of the standard library's templates (which its
# headers export), nothing else.
set -u
plugin=$1
allowed="acrxEntryPoint acrxGetApiVersion"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

nm -D --defined-only "$plugin" | awk 'NF == 3 { print $3 }' | sort -u >"$tmp/mangled"
if [ ! -s "$tmp/mangled" ]; then
    echo "no dynamic symbols in $plugin: it cannot be checked"
    exit 1
fi
c++filt <"$tmp/mangled" >"$tmp/names"
failed=0
for name in $allowed; do
    grep -qx "$name" "$tmp/names" || { echo "$plugin does not export $name"; failed=1; }
done
standard='^((typeinfo|typeinfo name|vtable|VTT|guard variable|construction vtable) for |[a-z ]+ )?(std::|__gnu_cxx::|__cxxabiv1::)'
linker='^(_init|_fini|_edata|_end|__bss_start)$'
grep -vxF -f <(tr ' ' '\n' <<<"$allowed") "$tmp/names" | grep -vE "$standard" | grep -vE "$linker" >"$tmp/own"
total=$(wc -l <"$tmp/names")
if [ -s "$tmp/own" ]; then
    echo "$plugin exports $(wc -l <"$tmp/own") symbols of its own besides $allowed ($total exported in all), e.g.:"
    head -10 "$tmp/own" | sed 's/^/  /'
    failed=1
fi
[ "$failed" = 0 ] && echo "$plugin exports $allowed ($total dynamic symbols, the rest the standard library's and the linker's)"
exit "$failed"
