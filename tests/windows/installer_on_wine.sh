#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The installer, built by cpack from this tree, run silently in a new Wine
# prefix in each of its modes: the program, its DLLs, the Start menu entry and
# the uninstall entry land in that mode's places and nowhere else, the
# installed program starts, and the uninstaller takes all of it away again.
# Wine runs every program as an administrator, so both modes run here.
# Usage: installer_on_wine.sh CPACK BUILDDIR VERSION
set -euo pipefail
cpack=$1
build=$2
version=$3
command -v makensis >/dev/null || { echo "SKIP: makensis is not installed (Debian's nsis)"; exit 77; }
# The installer is a 32-bit program.
dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "ok installed" ||
    { echo "SKIP: wine32:i386 is not installed (bash tools/build.sh windows installs it)"; exit 77; }

work=$(mktemp -d)
export WINEPREFIX="$work/wine" WINEDEBUG=-all
# No Linux menu entries from the Start menu entry: the host's menus stay as they are.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset WINEPATH
cleanup() {
    wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    exit 1
}

(cd "$build" && "$cpack" -G External -C Release -B "$work/pack" >"$work/cpack.log" 2>&1) ||
    { cat "$work/cpack.log"; fail "cpack could not build the installer"; }
installer="$work/pack/zelvor-console-$version-win64.exe"
[ -f "$installer" ] || fail "no $(basename "$installer") in: $(ls "$work/pack")"

wineboot -i
wineserver -w
# A Windows path with its variables expanded by Windows' own shell (Wine
# quotes an argument with spaces, and echo repeats the quotes).
expand() { wine cmd /c echo "$1" | tr -d '\r' | sed 's/^"\(.*\)"$/\1/'; }
key='Software\Microsoft\Windows\CurrentVersion\Uninstall\zelvor-console'
has_key() { wine reg query "$1\\$key" /reg:"$2" >/dev/null 2>&1; }

# option | program folder | Start menu folder | registry root of the entry
rows=(
    '/CurrentUser|%LOCALAPPDATA%\Programs\Zelvor Calibration Console|%APPDATA%\Microsoft\Windows\Start Menu\Programs|HKCU'
    '/AllUsers|%ProgramW6432%\Zelvor Calibration Console|%ProgramData%\Microsoft\Windows\Start Menu\Programs|HKLM'
)
declare -A folder menu root
modes=()
for row in "${rows[@]}"; do
    IFS='|' read -r option dir start registry <<<"$row"
    modes+=("$option")
    folder[$option]=$(expand "$dir")
    menu[$option]=$(expand "$start")
    root[$option]=$registry
done
lnk='Zelvor Calibration Console.lnk'

# Nothing of mode $2 in its places, in either registry view.
check_gone() {
    local when=$1 option=$2 view
    [ ! -e "$(winepath -u "${folder[$option]}")" ] || fail "$when: ${folder[$option]} is there"
    [ ! -e "$(winepath -u "${menu[$option]}")/$lnk" ] || fail "$when: $lnk in ${menu[$option]}"
    for view in 32 64; do
        ! has_key "${root[$option]}" "$view" || fail "$when: ${root[$option]}\\$key is there ($view-bit view)"
    done
}

nothing_installed() {
    local option
    for option in "${modes[@]}"; do check_gone "$1" "$option"; done
}

# The program, its DLLs, its Start menu entry and its uninstall entry in the
# places of mode $1.
check_installed() {
    local option=$1 dir unix_dir file location
    dir=${folder[$option]}
    unix_dir=$(winepath -u "$dir")
    for file in bin/zelvor-console.exe bin/Qt6Core.dll bin/platforms/qwindows.dll Uninstall.exe LICENSE; do
        [ -f "$unix_dir/$file" ] || fail "$option: no $file in $dir"
    done
    [ -f "$(winepath -u "${menu[$option]}")/$lnk" ] || fail "$option: no $lnk in ${menu[$option]}"
    location=$(wine reg query "${root[$option]}\\$key" /v InstallLocation /reg:64 | tr -d '\r' |
        sed -n 's/^ *InstallLocation *REG_SZ *//p')
    [ "$location" = "$dir" ] || fail "$option: ${root[$option]}\\$key names '$location', not '$dir'"
    # HKCU's software keys are one for both views; HKLM's are not.
    if [ "${root[$option]}" = HKLM ]; then
        ! has_key HKLM 32 || fail "$option: an entry in the 32-bit view of HKLM too"
    fi
}

run_installer() {
    wine "$installer" /S "$1" || fail "$1: the installer failed"
    wineserver -w
}

# The uninstaller hands over to a copy of itself and ends at once: wait for
# every program of the prefix instead.
run_uninstaller() {
    wine "$(winepath -u "${folder[$1]}")/Uninstall.exe" /S || fail "$1: the uninstaller failed"
    wineserver -w
}

for option in "${modes[@]}"; do
    nothing_installed "before $option"
    run_installer "$option"
    check_installed "$option"
    for other in "${modes[@]}"; do
        [ "$other" = "$option" ] || check_gone "after $option was installed" "$other"
    done

    said=$(wine "$(winepath -u "${folder[$option]}")/bin/zelvor-console.exe" --version | tr -d '\r') ||
        fail "$option: the installed program did not start"
    [ "$said" = "zelvor-console $version" ] || fail "$option: --version said '$said'"

    run_uninstaller "$option"
    nothing_installed "after $option was uninstalled"
    echo "$option: installed in ${folder[$option]}, $lnk in ${menu[$option]}, ${root[$option]}\\$key; started; uninstalled"
done

# An administrator may install both ways: each uninstaller takes away its own
# install and leaves the other whole.
run_installer /AllUsers
run_installer /CurrentUser
check_installed /AllUsers
check_installed /CurrentUser
run_uninstaller /CurrentUser
check_gone "after the uninstall for one user" /CurrentUser
check_installed /AllUsers
run_installer /CurrentUser
run_uninstaller /AllUsers
check_gone "after the uninstall for all users" /AllUsers
check_installed /CurrentUser
run_uninstaller /CurrentUser
nothing_installed "after both were uninstalled"
echo "both at once: each uninstaller left the other install whole"
echo "PASS"
