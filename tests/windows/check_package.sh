#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The zip as a technician unpacks it: its programs start with nothing but
# the files it holds (no build tree on the DLL path), load the Windows
# platform, and --sheet draws a record's sheet with the system's fonts.
# Usage: check_package.sh CPACK BUILDDIR PREFIX
set -euo pipefail
cpack=$1
build=$2
prefix=$3
for tool in Xvfb unzip pdftotext; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

(cd "$build" && "$cpack" -G ZIP -C Release -B "$work/pack" >/dev/null)
unzip -q "$work"/pack/zelvor-console-*-win64.zip -d "$work/unpacked"
program=$(echo "$work"/unpacked/zelvor-console-*-win64/bin/zelvor-console.exe)

export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset WINEPATH
[ -e "$prefix/system.reg" ] || wineboot -i
version=$(wine "$program" --version | tr -d '\r')
[ "$version" = "zelvor-console 1.0.0.0" ] || { echo "FAIL: --version said '$version'"; exit 1; }

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=("$!")
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
printf '%s\r\n' "time,event,detail,zero,span,low_range,high_range" \
    "2026-12-07T14:03:27.123+01:00,start,Com 1 (COM1),,,," \
    "2026-12-07T14:03:27.200+01:00,reading,,4.00,20.0,0.00,10.0" \
    "2026-12-07T14:03:28.000+01:00,end,stop,,,," >"$work/2026-12-07_14-03-27_com1.csv"
wine "$program" --sheet "Z:$(printf '%s' "$work/2026-12-07_14-03-27_com1.csv" | tr / '\\')" ||
    { echo "FAIL: --sheet failed"; exit 1; }
text=$(pdftotext "$work/2026-12-07_14-03-27_com1.pdf" -)
for expected in "Configuration record" "4.00" "20.0" "2026-12-07_14-03-27_com1.csv"; do
    grep -qF "$expected" <<<"$text" || { echo "FAIL: the sheet lacks '$expected':"; echo "$text"; exit 1; }
done
echo "PASS: $(du -sh "$work/unpacked" | cut -f1) unpacked; --version and --sheet run from the zip alone"
