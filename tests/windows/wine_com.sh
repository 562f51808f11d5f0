# SPDX-License-Identifier: MIT
# Sourced by the Wine tests that lead a COM port to a pseudo-terminal.

# Waits up to $1 tenths of a second for the command after it to succeed.
wait_for() {
    local tenths=$1
    shift
    for _ in $(seq "$tenths"); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

# lead_com_to PREFIX COMn PATH: COMn of that Wine prefix leads to PATH, from
# Wine's next start on (it reads its ports then).
lead_com_to() {
    export WINEPREFIX="$1" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    [ -e "$1/system.reg" ] || wineboot -i
    wine reg add 'HKLM\Software\Wine\Ports' /v "$2" /d "$3" /f >/dev/null
    wineserver -k 2>/dev/null || true
    wineserver -w
}
