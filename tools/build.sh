#!/usr/bin/env bash
# Installs what is missing (Debian 12, as root), builds, and then either starts
# the console ("run") or runs every test ("test").
set -euo pipefail
mode=${1:-}
cd "$(dirname "$0")/.."

runtime_packages=(cmake make g++ qt6-base-dev qt6-serialport-dev)
test_packages=()

need=()
for p in "${runtime_packages[@]}" ${mode:+"${test_packages[@]}"}; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq "${need[@]}"
fi

jobs=$(nproc)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"

case "$mode" in
run)
    exec build/src/app/zelvor-console
    ;;
test)
    ctest --test-dir build --output-on-failure -j"$jobs"
    ;;
*)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
