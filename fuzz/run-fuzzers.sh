#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every fuzz target for the given number of seconds and prints one line per target:
#   fuzz/run-fuzzers.sh SECONDS [build dir]
# Targets run FUZZ_JOBS at a time (default 2). Corpora grow in <build>/fuzz/corpus/<target>,
# inputs that crash land in <build>/fuzz/artifacts/<target>/. Exit status 1 if any crashed.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:?usage: fuzz/run-fuzzers.sh SECONDS [build dir]}
build=${2:-build-asan}
jobs=${FUZZ_JOBS:-2}
targets=${FUZZ_TARGETS:-$(find "$build/fuzz" -maxdepth 1 -type f -executable -name "fuzz_*" ! -name fuzz_make_corpus -printf "%f\n" | sed "s/^fuzz_//" | sort)}

fuzz/make-corpus.sh "$build" "$build/fuzz/seeds" >/dev/null
logs="$build/fuzz/logs"
mkdir -p "$logs"

run_one() {
    local t=$1 corpus="$build/fuzz/corpus/$1" artifacts="$build/fuzz/artifacts/$1/"
    mkdir -p "$corpus" "$artifacts" "$build/fuzz/seeds/$t"
    # Leak checks stay on; a single input never needs more than a few seconds or 2 GB.
    "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -print_final_stats=1 -timeout=25 \
        -rss_limit_mb=2048 -max_len=1048576 -artifact_prefix="$artifacts" \
        "$corpus" "$build/fuzz/seeds/$t" >"$logs/$t.log" 2>&1 || true
}

running=0
for t in $targets; do
    run_one "$t" &
    running=$((running + 1))
    if [ "$running" -ge "$jobs" ]; then
        wait -n || true
        running=$((running - 1))
    fi
done
wait

failed=0
for t in $targets; do
    execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$logs/$t.log" | grep -o '[0-9]*$' || true)
    crashes=$(find "$build/fuzz/artifacts/$t" -type f \( -name 'crash-*' -o -name 'leak-*' \
        -o -name 'timeout-*' -o -name 'oom-*' \) | wc -l)
    if [ -z "$execs" ] || grep -q 'ERROR: \(AddressSanitizer\|LeakSanitizer\|libFuzzer\)\|runtime error' "$logs/$t.log"; then
        [ "$crashes" -eq 0 ] && crashes=1
    fi
    [ "$crashes" -gt 0 ] && failed=1
    printf '%-12s executions: %-10s crashes: %s\n' "$t" "${execs:-0}" "$crashes"
done
exit "$failed"
