#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Remakes the picture of the main window during a configuration run, with the
# simulated instrument's readings shown. Runs both programs on a virtual X
# server, the simulator on "Com 1" in a /dev of their own, so nothing of the
# machine's ports is touched. Needs root (or user namespaces), Xvfb, xdotool
# and ImageMagick, and a build (BUILD_DIR, default build); IceWM, if present,
# draws the window's frame.
#
#   tools/screenshot.sh [output.png]     (default docs/main-window.png)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
console=$PWD/$build/src/app/zelvor-console
sim=$PWD/$build/tools/instrument-sim/zelvor-instrument-sim
out=${1:-docs/main-window.png}
for f in "$console" "$sim"; do
    [ -x "$f" ] || { echo "no $f: build first" >&2; exit 1; }
done

work=$(mktemp -d)
xvfb_pid=
pair_pid=
cleanup() {
    [ -n "$pair_pid" ] && kill -KILL "$pair_pid" 2>/dev/null
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# Waits up to $1 tenths of a second for the command after it to succeed.
wait_for() {
    local tries=$1
    shift
    until "$@"; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || return 1
        sleep 0.1
    done
}

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" &
xvfb_pid=$!
wait_for 100 test -s "$work/display" || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(head -n1 "$work/display")
# A window manager, where one is installed, gives the window its frame.
wm_pid=
if command -v icewm > /dev/null; then
    icewm > /dev/null 2>&1 &
    wm_pid=$!
fi

unshare_opts=(--mount --propagation private --fork --pid --mount-proc --kill-child)
[ "$(id -u)" = 0 ] || unshare_opts+=(--map-root-user)
unshare "${unshare_opts[@]}" bash tests/e2e/with_private_dev.sh bash -c '
    "$1" --link /dev/com1 > "$3/sim.out" 2>&1 &
    sim=$!
    QT_QPA_PLATFORM=xcb "$2"
    kill -TERM $sim
    wait $sim' pair "$sim" "$console" "$work" &
pair_pid=$!

wait_for 100 grep -qs "linked: /dev/com1" "$work/sim.out" || { echo "simulator did not start" >&2; exit 1; }
window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Zelvor Electronics Pvt\. Ltd\.$' | head -n1)
xdotool windowfocus --sync "$window"
xdotool key alt+o s
wait_for 100 grep -qs -- "-> #" "$work/sim.out" || { echo "no answer from the simulator" >&2; exit 1; }
# Give the window a moment to paint the readings.
sleep 1
mkdir -p "$(dirname "$out")"
import -frame -window "$window" "$out"
xdotool key alt+o t alt+f x
wait "$pair_pid" || true
pair_pid=
echo "wrote $out"
