#!/bin/sh
# SPDX-License-Identifier: MIT
# run_fuzz.sh FUZZER SECONDS SEED_DIR WORK_DIR
# New inputs go to WORK_DIR, so the seed corpus in the source tree stays as it is.
set -eu
fuzzer=$1 seconds=$2 seeds=$3 work=$4
mkdir -p "$work"
exec "$fuzzer" -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 "$work" "$seeds"
