#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# End to end on Wine: the Windows console, on a virtual X server, opens COM1,
# which leads to a pseudo-terminal where the Linux instrument simulator plays
# the instrument. Operation > Start Config. must put "#1$" on the line and
# the simulator's readings in the console (its run record has them as the
# window showed them); ending the Windows session while the zero output is
# fed must send "#3$" before the console ends.
# Usage: console_on_wine.sh PREFIX DLLDIRS LINUX_SIMULATOR CONSOLE.EXE [SCREENSHOT.png]
set -euo pipefail
prefix=$1
dlldirs=$2
simulator=$3
console=$4
screenshot=${5:-}
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine_com.sh"
for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
[ -x "$simulator" ] || { echo "SKIP: no Linux instrument simulator at '$simulator'"; exit 77; }

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    echo "--- simulator:"; cat "$work/simulator.log" || true
    echo "--- console:"; cat "$work/console.log" || true
    exit 1
}

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=("$!")
wait_for 100 test -s "$work/display" || fail "no virtual X server"
export DISPLAY=":$(cat "$work/display")"

"$simulator" --link "$work/com" --log-rx "$work/rx" --feed-period 200 2>"$work/simulator.log" &
pids+=("$!")
wait_for 100 test -L "$work/com" || fail "the simulator made no line"

lead_com_to "$prefix" COM1 "$work/com"
runs="$prefix/drive_c/users/$(id -un)/AppData/Local/Zelvor/zelvor-console/runs"
rm -rf "$runs"

sh "$here/../../tools/windows/wine-run.sh" "$prefix" "$dlldirs" "$console" >"$work/console.log" 2>&1 &
pids+=("$!")
window=$(xdotool search --sync --name '^Zelvor Electronics Pvt\. Ltd\.$' | head -n 1) ||
    fail "the console's window did not appear"
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"

# Operation > Start Config., by its access keys.
xdotool key --window "$window" alt+o
sleep 0.3
xdotool key --window "$window" s
wait_for 100 grep -q '#1\$' "$work/rx" 2>/dev/null || fail "no #1\$ on the line"
record() { ls "$runs"/*.csv 2>/dev/null | head -n 1; }
wait_for 100 sh -c "grep -q '4.00.*20.0.*0.00.*10.0' \"\$(ls '$runs'/*.csv | head -n 1)\"" ||
    fail "the console took no readings: $(cat "$(record)" 2>/dev/null)"

# Feed Zero For Calibration is the first button in the tab order.
xdotool key --window "$window" Tab
xdotool key --window "$window" space
wait_for 100 grep -q '#2\$' "$work/rx" || fail "Feed Zero sent no #2\$: $(cat "$work/rx")"
if [ -n "$screenshot" ]; then
    import -window root "$screenshot" 2>/dev/null || true
fi

# Log off: Wine tells every program that the session ends, then ends them.
wineboot --end-session --force 2>/dev/null || true
wait_for 100 grep -q '#2\$#3\$' "$work/rx" || fail "no #3\$ when the session ended: $(cat "$work/rx")"
wait_for 100 grep -q ',end,session ended' "$(record)" || fail "the record has no end: $(cat "$(record)")"
echo "rx: $(cat "$work/rx")"
echo "record: $(tail -n 1 "$(record)")"
echo "PASS"
