#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Endings the Windows console does not choose, on Wine. For each row the test
# program feeds the zero output on COM1, which leads to a pseudo-terminal where
# the Linux instrument simulator plays the instrument, then ends as the row
# says once the instrument has read the feed's frame. The line must get the stop frame after the feed's, the record must end
# with "sent,#3$" and "end,<why>" stamped as its other lines are, and the
# process must end within seconds (not in Wine's debugger) with the row's
# exit code, which cmd tells in full where Wine gives Linux only its low byte.
# Usage: last_stop_on_wine.sh PREFIX DLLDIRS LINUX_SIMULATOR PROGRAM
set -euo pipefail
prefix=$1
dlldirs=$2
simulator=$3
program=$4
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine_com.sh"
[ -x "$simulator" ] || { echo "SKIP: no Linux instrument simulator at '$simulator'"; exit 77; }

work=$(mktemp -d)
simulator_pid=
cleanup() {
    [ -z "$simulator_pid" ] || kill "$simulator_pid" 2>/dev/null || true
    WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }
epoch_ms() { date -d "$1" +%s%3N; }

# The link is made anew for each row.
lead_com_to "$prefix" COM1 "$work/com" 2>>"$work/wine.log"
# Started here, so that what it says at its end goes to a log, not to a row's output.
wineserver -p 2>>"$work/wine.log"

# how | the record's reason | the exit code
rows=(
    "access-violation|access violation|$((0xC0000005))"
    "thread-access-violation|access violation|$((0xC0000005))"
    "abort|abort|3"
    "exception|uncaught exception: line noise|3"
    "fatal|fatal error: checksum mismatch|$((0x40000015))"
)
passed=0
failed=0
for row in "${rows[@]}"; do
    IFS='|' read -r how reason code <<<"$row"
    run="$work/$how"
    mkdir -p "$run/records"
    problems=()

    "$simulator" --link "$work/com" --log-rx "$run/rx" >"$run/simulator.log" 2>&1 &
    simulator_pid=$!
    wait_for 100 test -L "$work/com" || problems+=("the simulator made no line")

    # cmd's own status is its echo's; the program's comes in its words.
    launched=$(date +%s%N)
    {
        sh "$here/../../tools/windows/wine-run.sh" "$prefix" "$dlldirs" cmd /v:on /c \
            "$(windows_path "$program") $how $(windows_path "$run/records") $(windows_path "$run/go") & echo exit=!errorlevel!" \
            >"$run/out" 2>"$run/err" || true
        touch "$run/ended"
    } &
    if ! wait_for 300 grep -qs '^feeding' "$run/out"; then
        problems+=("it never fed: $(cat "$run/out" "$run/err")")
        wait_for 300 test -e "$run/ended" || true
    elif wait_for 100 grep -qsF '#1$#2$' "$run/rx"; then
        touch "$run/go"
    else
        problems+=("the instrument never read the feed's frame: '$(cat "$run/rx" 2>/dev/null)'")
        touch "$run/go"
    fi
    # About a second for the stop frame to leave; Wine's debugger would hold it 20 s.
    wait_for 50 test -e "$run/ended" || problems+=("still running 5 s after it crashed")
    took=$((($(date +%s%N) - launched) / 1000000))
    wait_for 300 test -e "$run/ended" || true
    exited=$(sed -n 's/^exit=\(-\{0,1\}[0-9]*\).*/\1/p' "$run/out")
    [ -n "$exited" ] && [ $((exited & 0xFFFFFFFF)) -eq "$code" ] ||
        problems+=("exit code '$exited', not $(printf '0x%X' "$code")")

    wait_for 30 grep -q '#3\$' "$run/rx" 2>/dev/null || true
    rx=$(cat "$run/rx" 2>/dev/null || true)
    [ "$rx" = '#1$#2$#3$' ] || problems+=("the line got '$rx'")
    record=$(ls "$run/records"/*.csv 2>/dev/null | head -n 1)
    ending=$(tail -n 2 "$record" 2>/dev/null | cut -d, -f2,3 | tr -d '\r' | paste -sd '|')
    [ "$ending" = "sent,#3\$|end,$reason" ] || problems+=("the record ends '$ending'")
    # Stamped by the ending's own code, against the last line Qt stamped.
    fed_at=$(grep -a ',sent,#2\$,' "$record" 2>/dev/null | cut -d, -f1)
    ended_at=$(tail -n 1 "$record" 2>/dev/null | cut -d, -f1)
    if [[ "$ended_at" =~ ^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3}[+-][0-9]{2}:[0-9]{2}$ ]] &&
        [ -n "$fed_at" ]; then
        late=$(($(epoch_ms "$ended_at") - $(epoch_ms "$fed_at")))
        [ "$late" -ge 0 ] && [ "$late" -le 5000 ] ||
            problems+=("ended at $ended_at, fed at $fed_at")
    else
        problems+=("the end's time '$ended_at' is not as the record's other lines")
    fi

    kill "$simulator_pid" 2>/dev/null || true
    wait "$simulator_pid" 2>/dev/null || true
    simulator_pid=
    echo "--- $how: exit $(printf '0x%X' $((${exited:-0} & 0xFFFFFFFF))) ${took} ms after it" \
        "started, line '$rx'"
    [ "$how" != access-violation ] || cat "$record"
    if [ ${#problems[@]} -eq 0 ]; then
        echo "PASS: $how"
        passed=$((passed + 1))
    else
        echo "FAIL: $how"
        printf '    %s\n' "${problems[@]}"
        echo "--- output:"; cat "$run/out" "$run/err"
        echo "--- record:"; cat "$record" 2>/dev/null || true
        failed=$((failed + 1))
    fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
