#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The settings file where a Windows user keeps it: %APPDATA%\Zelvor\
# zelvor-console.ini in a Wine prefix of its own, read by the real program,
# its path told with Windows' separators.
# Usage: settings_on_wine.sh PREFIX DLLDIRS CONSOLE
set -euo pipefail
prefix=$1
dlldirs=$2
console=$3
here=$(cd "$(dirname "$0")" && pwd)
command -v Xvfb >/dev/null || { echo "SKIP: Xvfb is not installed"; exit 77; }
display=":$((70 + $$ % 20))"
Xvfb "$display" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
export DISPLAY=$display WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -e "$prefix/system.reg" ] || wineboot -i
appdata=$(wine cmd /c echo %APPDATA% | tr -d '\r')
folder=$(winepath -u "$appdata\\Zelvor")
mkdir -p "$folder"
printf '[ports]\nCOM1=COM3\n' >"$folder/zelvor-console.ini"
said=$(QT_QPA_PLATFORM=offscreen timeout 20 sh "$here/../../tools/windows/wine-run.sh" \
    "$prefix" "$dlldirs" "$console" 2>&1 >/dev/null | tr -d '\r' | grep '^zelvor-console:' || true)
expected="zelvor-console: the settings file has a line it does not understand: $appdata\\Zelvor\\zelvor-console.ini, line 2: expected com1 to com8 = a path, found \"COM1=COM3\"."
case "$said" in
"$expected"*) echo "read: $said" ;;
*) echo "FAIL: expected '$expected', standard error said '$said'"; exit 1 ;;
esac
