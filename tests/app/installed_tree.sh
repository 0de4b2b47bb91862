#!/bin/bash
# The installed program works on its own, away from the build tree:
#   installed_tree.sh CMAKE BUILD_DIR VERSION
# installs the build into a new temporary prefix (not the configured one:
# the tree may move), then from there
# 1. the programs, the module and the documents are where a Debian user
#    looks for them (bin/, lib/.../ctrlsch/, share/doc/ctrlsch/);
# 2. bin/ctrlsch --version says "ctrlsch VERSION", status 0;
# 3. bin/ctrlsch demo DIR loads the installed module, runs the installed
#    installer and writes the demo's drawings, status 0.
set -u
cmake=$1 build=$2 version=$3
prefix=$(mktemp -d "${TMPDIR:-/tmp}/ctrlsch-installed.XXXXXX")
trap 'rm -rf "$prefix"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

if ! "$cmake" --install "$build" --prefix "$prefix" > "$prefix.log" 2>&1; then
    cat "$prefix.log"; rm -f "$prefix.log"
    echo "FAIL: cmake --install"
    exit 1
fi
rm -f "$prefix.log"

for f in bin/ctrlsch bin/ctrlsch-install; do
    [ -x "$prefix/$f" ] || fail "no program $f"
done
module=$(find "$prefix" -path '*/ctrlsch/libNorvexCtrlSchDiagram10.so' 2>/dev/null | head -n 1)
[ -n "$module" ] || fail "no module in a ctrlsch/ library folder"
for f in README.md LICENSE; do
    [ -s "$prefix/share/doc/ctrlsch/$f" ] || fail "no share/doc/ctrlsch/$f"
done
grep -q "GNU GENERAL PUBLIC LICENSE" "$prefix/share/doc/ctrlsch/LICENSE" 2>/dev/null \
    || fail "LICENSE is not the licence's text"

# Nothing may lead the program back to the build tree or to another install.
unset CTRLSCH_MODULE CTRLSCH_INSTALLER CTRLSCH_NO_MODULE CTRLSCH_SETTINGS
export HOME=$prefix/home
mkdir -p "$HOME"

out=$("$prefix/bin/ctrlsch" --version 2>&1)
status=$?
[ $status -eq 0 ] || fail "ctrlsch --version: status $status"
[ "$out" = "ctrlsch $version" ] || fail "ctrlsch --version said '$out', not 'ctrlsch $version'"

if ! out=$(cd "$prefix" && timeout 120 "$prefix/bin/ctrlsch" demo "$prefix/demo" 2>&1); then
    echo "$out"
    fail "ctrlsch demo failed"
fi
case $out in
    *无法加载模块*) echo "$out"; fail "the installed module was not loaded" ;;
esac
for f in motor-starter.dxf motor-starter-continued.dxf motor-starter-panel.dxf install/settings.json; do
    [ -s "$prefix/demo/$f" ] || fail "the demo did not write $f"
done
[ $failed -eq 0 ] && echo "installed into $prefix and ran from there"
exit $failed
