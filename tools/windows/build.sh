#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Windows console, built on Debian: Qt for Windows (built once into a
# cache), the console and its tests cross-built with MinGW-w64, the tests run
# under Wine, then the installer and the zip. tools/build.sh windows installs
# what this needs first.
set -euo pipefail
cd "$(dirname "$0")/../.."
jobs=$(nproc)
started=$(date +%s)

qt=$(bash tools/windows/qt.sh)
echo "Qt for Windows: $qt"

# The end-to-end case plays the instrument with the Linux simulator on a
# pseudo-terminal that Wine's COM1 leads to.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs" --target zelvor-instrument-sim

cmake -S . -B build-windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/tools/windows/mingw64.cmake" \
    -DCMAKE_FIND_ROOT_PATH="$qt" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DZELVOR_BUILD_BENCH=OFF \
    -DZELVOR_LINUX_INSTRUMENT_SIM="$PWD/build/tools/instrument-sim/zelvor-instrument-sim"
cmake --build build-windows -j"$jobs"

# The tests' own Wine prefix, made once (Wine's first start takes a while).
if [ ! -e build-windows/wine/system.reg ]; then
    echo "making a Wine prefix for the tests in build-windows/wine"
    WINEPREFIX="$PWD/build-windows/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
        wineboot -i
    WINEPREFIX="$PWD/build-windows/wine" wineserver -w
fi
# Wine's server, services and desktop process keep the standard error of the
# program that started them, and ctest waits for a test's output to close: a
# test that started them could wait until every other test had ended, and time
# out. Started here instead, with a log, and kept up by an idle prompt that
# reads a FIFO until the tests are done.
export WINEPREFIX="$PWD/build-windows/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
keep=build-windows/wine-keep
rm -f "$keep"
mkfifo "$keep"
wineserver -p 2>>build-windows/wine.log
wine cmd <"$keep" >>build-windows/wine.log 2>&1 &
exec 9>"$keep"
status=0
ctest --test-dir build-windows --output-on-failure -j"$jobs" || status=$?
exec 9>&-
wineserver -k || true
unset WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
[ "$status" -eq 0 ] || exit "$status"

(cd build-windows && cpack -C Release)
ls -l build-windows/zelvor-console-*-win64.exe build-windows/zelvor-console-*-win64.zip
echo "Windows build, tests and packages: $(($(date +%s) - started)) s"
