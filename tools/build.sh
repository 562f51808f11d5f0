#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing (Debian 12; through sudo when started by an ordinary
# user, who then builds, runs and tests as themselves), builds, and then either
# starts the console with its simulated instrument ("run"), so that it shows
# readings without hardware, or runs every test ("test"): once in the normal build
# (with a bounded fuzz run of the framer when clang is present), and once more
# built with AddressSanitizer and UndefinedBehaviorSanitizer, where any report
# fails the run. "windows" builds the Windows console with MinGW-w64 (Qt for
# Windows is built from Debian's source once, into a cache), runs its tests
# under Wine and makes the installer and the zip.
set -euo pipefail
mode=${1:-}
cd "$(dirname "$0")/.."

# Liberation fonts have the metrics of the fonts the windows were designed
# with; without them the default sans-serif is too wide for the designed boxes.
runtime_packages=(cmake make g++ qt6-base-dev qt6-serialport-dev fonts-liberation2)
# clang and its runtime build the libFuzzer target; the end-to-end run drives
# the console on a virtual X server; the package check builds the .deb (dpkg-dev,
# file) and runs Debian's checker and the AppStream and desktop-entry validators;
# the run-record tests read the records back with Python's CSV reader and the
# calibration sheets with poppler's pdftotext and pdfinfo.
test_packages=(clang libclang-rt-14-dev xvfb xdotool qt6-qpa-plugins poppler-utils
    dpkg-dev file lintian appstream desktop-file-utils python3)

# The cross compiler, Wine to run the tests, NSIS and zip for the packages, and
# what building Qt from Debian's source takes (dpkg-dev for apt-get source).
# The installer is a 32-bit program: Wine runs it with its 32-bit part, from
# Debian's i386 architecture.
windows_packages=(cmake make g++ qt6-base-dev dpkg-dev ninja-build g++-mingw-w64-x86-64-posix
    binutils-mingw-w64-x86-64 wine wine64 wine32:i386 nsis zip xvfb xdotool python3)

need=()
wanted=("${runtime_packages[@]}")
[ "$mode" = test ] && wanted+=("${test_packages[@]}")
[ "$mode" = windows ] && wanted+=("${windows_packages[@]}")
for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || need+=("$p")
done
# Qt for Windows is built from Debian's source of the Qt installed here,
# which apt-get source fetches through a deb-src entry.
need_source_entry=false
if [ "$mode" = windows ] &&
    ! grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    need_source_entry=true
fi
need_i386=false
if [ "$mode" = windows ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    need_i386=true
fi
if [ ${#need[@]} -gt 0 ] || $need_source_entry || $need_i386; then
    # Only the installation needs root: a desktop program started as root
    # through sudo often cannot reach the user's display.
    as_root=()
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null; then
            echo "missing Debian packages: ${need[*]}" >&2
            first=""
            $need_i386 && first="dpkg --add-architecture i386 && apt-get update && "
            echo "sudo is not installed; as root, run: ${first}apt-get install -y ${need[*]}" >&2
            exit 1
        fi
        echo "installing the missing Debian packages with sudo: ${need[*]:-(none)}"
        as_root=(sudo)
    fi
    if $need_source_entry; then
        echo "adding a deb-src entry for bookworm main (/etc/apt/sources.list.d/zelvor-deb-src.sources), for Qt's source"
        printf '%s\n' "Types: deb-src" "URIs: http://deb.debian.org/debian" "Suites: bookworm" \
            "Components: main" "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" |
            "${as_root[@]}" tee /etc/apt/sources.list.d/zelvor-deb-src.sources >/dev/null
    fi
    # Before the update, which then fetches the i386 package lists too.
    if $need_i386; then
        echo "adding Debian's i386 architecture, for Wine's 32-bit part"
        "${as_root[@]}" dpkg --add-architecture i386
    fi
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    [ ${#need[@]} -eq 0 ] ||
        "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}"
fi

# A build folder made by root earlier cannot be written by anyone else.
for dir in build build-asan build-windows; do
    if [ -e "$dir" ] && [ ! -w "$dir" ]; then
        echo "$PWD/$dir belongs to another user (made as root?); remove it first:" >&2
        echo "    sudo rm -rf $PWD/$dir" >&2
        exit 1
    fi
done

jobs=$(nproc)
if [ "$mode" = windows ]; then
    exec bash tools/windows/build.sh
fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"

case "$mode" in
run)
    echo "starting build/src/app/zelvor-console --simulate: Com 1 leads to a simulated instrument."
    echo "Choose Operation > Start Config. and watch the readings."
    echo "For a real instrument, start build/src/app/zelvor-console without --simulate."
    exec build/src/app/zelvor-console --simulate
    ;;
test)
    ctest --test-dir build --output-on-failure -j"$jobs"

    # The fuzz run already had its sanitizers; it is left out here. Line tables
    # are enough for the reports' stack traces, and -O1 -g1 builds in half the
    # time of -O2 -g.
    cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZELVOR_SANITIZE=ON \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DZELVOR_FUZZ_SECONDS=0
    cmake --build build-asan -j"$jobs"
    # Reports go to files as well, so one from a child process (the end-to-end
    # tests start the program) cannot pass unseen.
    reports=$PWD/build-asan/sanitizer-reports
    rm -rf "$reports"
    mkdir -p "$reports"
    export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:log_path=$reports/asan"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$reports/ubsan"
    status=0
    ctest --test-dir build-asan --output-on-failure -j"$jobs" || status=$?
    if [ -n "$(ls -A "$reports")" ]; then
        echo "sanitizer reports:" >&2
        cat "$reports"/* >&2
        status=1
    fi
    exit "$status"
    ;;
*)
    echo "usage: $0 run|test|windows" >&2
    exit 2
    ;;
esac
