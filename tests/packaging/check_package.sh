#!/bin/sh
# SPDX-License-Identifier: MIT
# Builds the Debian package from a built tree, the way the README does (cpack
# first builds whatever is out of date, nothing when the tree is built), and
# checks it as a distribution would: lintian prints no error and no warning,
# the AppStream data and the desktop entry validate, and what they name is in
# the package.
# usage: check_package.sh <cpack> <build dir> <source dir> <build type>
set -eu
cpack=$1
build=$2
source=$3
config=$4

for tool in lintian appstreamcli desktop-file-validate dpkg-deb dpkg-shlibdeps file; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool not found (bash tools/build.sh test installs it)"
        exit 77
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*"
    exit 1
}

if ! "$cpack" -G DEB -C "$config" --config "$build/CPackConfig.cmake" -B "$work/out" \
    >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    fail "cpack could not build the package"
fi
set -- "$work"/out/*.deb
[ $# -eq 1 ] && [ -f "$1" ] || fail "cpack made no single .deb: $*"
deb=$1
echo "package: $(basename "$deb")"

# Errors and warnings fail; info lines are shown, and the ones that the
# stripping and the hardening of an optimised build remove fail too.
status=0
lintian --display-info "$deb" >"$work/lintian.txt" 2>"$work/lintian.err" || status=$?
echo "lintian (exit status $status):"
cat "$work/lintian.txt"
grep -v 'running with root privileges' "$work/lintian.err" >&2 || true
if grep -q '^[EW]: ' "$work/lintian.txt"; then
    fail "lintian reports errors or warnings"
fi
[ "$status" -eq 0 ] || fail "lintian ended with status $status"
unwanted='binary-has-unneeded-section'
case $config in
Release | RelWithDebInfo | MinSizeRel)
    unwanted="$unwanted|hardening-no-bindnow|hardening-no-relro|hardening-no-pie"
    # Lintian sees fortification only where the compiler had to keep a check
    # (a _chk call); a program whose every call it proved safe shows none.
    # The flag itself is what is checked here.
    grep -B2 '"file": ".*/src/app/main.cpp"' "$build/compile_commands.json" |
        grep -q -- '-D_FORTIFY_SOURCE=2' || fail "the programs are not built with _FORTIFY_SOURCE=2"
    ;;
esac
if grep -E "^I: [^ ]+: ($unwanted)( |\$)" "$work/lintian.txt"; then
    fail "the installed programs are not stripped or not hardened ($config build)"
fi

root=$work/root
dpkg-deb -x "$deb" "$root"
metainfo=$(find "$root/usr/share/metainfo" -name '*.metainfo.xml')
[ -n "$metainfo" ] || fail "no AppStream metadata in the package"
# --no-net: the screenshot and the home page are addresses of the project's
# site, not fetched here. The tree check also finds the desktop entry that the
# metadata launches.
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate: $metainfo"
appstreamcli validate-tree --no-net "$root" || fail "appstreamcli validate-tree"

# The software centre shows the icon of the desktop entry, which starts a
# program of the package.
id=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")
desktop=$root/usr/share/applications/$id
[ "$(basename "$metainfo" .metainfo.xml).desktop" = "$id" ] ||
    fail "$(basename "$metainfo") and $id differ in their id"
desktop-file-validate "$desktop" || fail "desktop-file-validate: $id"
icon=$(sed -n 's/^Icon=//p' "$desktop")
set -- "$root"/usr/share/icons/hicolor/*/apps/"$icon".*
[ -f "$1" ] || fail "no icon $icon for $id"
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ -x "$root/usr/bin/$exec_name" ] || fail "$id starts $exec_name, which the package does not hold"

# Every program has its manual page.
for program in "$root"/usr/bin/*; do
    name=$(basename "$program")
    [ -f "$root/usr/share/man/man1/$name.1.gz" ] || fail "no manual page for $name"
done

# The licence in copyright is LICENSE, word for word.
awk '/^License: MIT$/ { text = ""; next } { text = text $0 "\n" } END { printf "%s", text }' \
    "$root/usr/share/doc/zelvor-console/copyright" |
    sed -e 's/^ //' -e 's/^\.$//' >"$work/copyright-licence"
sed -n '/^Permission is hereby granted/,$p' "$source/LICENSE" >"$work/licence"
diff -u "$work/licence" "$work/copyright-licence" ||
    fail "the licence text in copyright differs from LICENSE"
grep -q "^Copyright: .*$(sed -n 's/^Copyright (c) //p' "$source/LICENSE" | head -n 1)\$" \
    "$root/usr/share/doc/zelvor-console/copyright" ||
    fail "the copyright line in copyright differs from LICENSE"

echo "package checked"
