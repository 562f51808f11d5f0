#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a Windows test program under Wine with COM5 leading to a pseudo-terminal
# where the Linux instrument simulator plays the instrument. The program asks
# for the port to vanish by making the file ZELVOR_TEST_VANISH names; the
# simulator is then ended. In the folder ZELVOR_TEST_LINE names, it makes
# "stall", then "move", to have the line stop taking bytes (tcflow TCOOFF, as
# the other end's XOFF would), then take them again; each is renamed to
# "*.done" once taken. "rx.log" there holds every byte the simulator received.
# Usage: on_wine_com_port.sh PREFIX DLLDIRS LINUX_SIMULATOR PROGRAM [ARGUMENTS...]
set -euo pipefail
prefix=$1
dlldirs=$2
simulator=$3
shift 3
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine_com.sh"
if [ ! -x "$simulator" ]; then
    echo "SKIP: no Linux instrument simulator at '$simulator'"
    exit 77
fi
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

"$simulator" --link "$work/com" --log-rx "$work/rx.log" 2>"$work/simulator.log" &
simulator_pid=$!
pids+=("$simulator_pid")
wait_for 50 test -L "$work/com" || { cat "$work/simulator.log"; exit 1; }
lead_com_to "$prefix" COM5 "$work/com"

(
    while [ ! -e "$work/vanish" ]; do sleep 0.05; done
    echo "ending the simulator" >&2
    kill "$simulator_pid"
) &
pids+=("$!")

(
    for step in stall move; do
        while [ ! -e "$work/$step" ]; do sleep 0.05; done
        perl -MPOSIX -e 'sysopen(my $tty, $ARGV[0], O_RDWR | O_NOCTTY | O_NONBLOCK) or die "$!";
            tcflow(fileno($tty), $ARGV[1] eq "stall" ? TCOOFF : TCOON) or die "$!"' \
            "$work/com" "$step"
        mv "$work/$step" "$work/$step.done"
    done
) &
pids+=("$!")

export ZELVOR_TEST_COM=COM5
export ZELVOR_TEST_LINE="Z:$(printf '%s' "$work" | tr / '\\')"
export ZELVOR_TEST_VANISH="Z:$(printf '%s' "$work/vanish" | tr / '\\')"
status=0
sh "$here/../../tools/windows/wine-run.sh" "$prefix" "$dlldirs" "$@" || status=$?
wineserver -k 2>/dev/null || true
exit "$status"
