#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds Qt for 64-bit Windows from Debian's own source of the Qt the Linux
# build uses, once, into a cache folder outside the build tree; prints the
# folder. A cache whose version and options match is reused as it is.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
cache=${ZELVOR_QT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/zelvor/qt-windows}

# Only what the console and its tests use: Core, Gui, Widgets, Test and the
# Windows, offscreen and minimal platforms. Every library Qt would otherwise
# look for on the build machine is taken from Qt's own copy, so nothing of
# the Linux system leaks into the Windows build.
options=(
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
    -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_xml=OFF
    -DFEATURE_concurrent=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF
    -DFEATURE_opengl=OFF -DFEATURE_vulkan=OFF -DFEATURE_icu=OFF
    -DFEATURE_zstd=OFF -DFEATURE_jpeg=OFF -DFEATURE_openssl=OFF
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF
    -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_png=OFF
    -DFEATURE_system_freetype=OFF -DFEATURE_system_doubleconversion=OFF
    -DFEATURE_system_libb2=OFF
    # Without these the Windows platform plugin does not build from this
    # source: dynamic GL wants the static GL context, DirectWrite 3 wants
    # Direct2D, and Debian's source drops the tablet library.
    -DFEATURE_dynamicgl=OFF -DFEATURE_directwrite3=OFF
    -DFEATURE_tabletevent=OFF -DFEATURE_androiddeployqt=OFF
)
stamp="qt6-base $version; $(printf "%s " "${options[@]}")"
if [ -f "$cache/stamp" ] && [ "$(cat "$cache/stamp")" = "$stamp" ]; then
    echo "$cache"
    exit 0
fi

work=${ZELVOR_QT_WORK:-${XDG_CACHE_HOME:-$HOME/.cache}/zelvor/qt-windows-build}
rm -rf "$work" "$cache"
mkdir -p "$work"
echo "building Qt $version for Windows into $cache (once; about 20 minutes on 2 cores)" >&2
(cd "$work" && apt-get source -qq --download-only qt6-base >&2 && dpkg-source -x qt6-base_*.dsc src >/dev/null)
cmake -S "$work/src" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$here/mingw64.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_INSTALL_PREFIX="$cache" "${options[@]}" >"$work/configure.log" 2>&1 \
    || { tail -40 "$work/configure.log" >&2; exit 1; }
# Ninja's own progress line ([n/989]) is the build's progress.
cmake --build "$work/build" -j"$(nproc)" >&2
cmake --install "$work/build" >/dev/null
echo "$stamp" >"$cache/stamp"
rm -rf "$work"
echo "$cache"
