#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs a Windows program of the build under Wine: with the DLL folders given
# (Qt's, the compiler's) on its path, in the build's own Wine prefix, with the
# caller's QT_* settings passed on as Wine passes them (prefixed with WINE).
# Usage: wine-run.sh PREFIX DLLDIR[:DLLDIR...] PROGRAM [ARGUMENTS...]
set -eu
prefix=$1
dlldirs=$2
shift 2
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
# No prompts for the .NET and HTML runtimes, which nothing here uses.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
path=""
old_ifs=$IFS
IFS=:
for dir in $dlldirs; do
    path="$path${path:+;}Z:$(printf '%s' "$dir" | tr / '\\')"
done
IFS=$old_ifs
export WINEPATH="$path"
# Qt Test writes to the Windows debugger, not to standard error, unless told.
export QT_FORCE_STDERR_LOGGING="${QT_FORCE_STDERR_LOGGING:-1}"
for name in $(env | sed -n 's/^\(QT_[A-Za-z0-9_]*\)=.*/\1/p'); do
    eval "export WINE$name=\"\$$name\""
done
exec wine "$@"
