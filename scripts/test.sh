#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Set-up, build and the whole test suite: the release build, then the same tests under ASan+UBSan
# (clang), then every fuzz target, built in that same tree, for a short while.
#   BILETORIA_SKIP_ASAN=1      skip the sanitizer build and run
#   BILETORIA_SKIP_FUZZ=1      skip the fuzz targets
#   BILETORIA_FUZZ_SECONDS=N   seconds per fuzz target (default 15)
#   BILETORIA_KILL_ROUNDS=N    kills of the kill-during-save tests (default 200; 60 under ASan,
#                              where a round costs five times as much and torn files are the
#                              release run's to find)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
jobs=$(nproc)

cmake --preset release >/dev/null
# Layout first: a deviating file fails the run before anything is compiled.
cmake --build build --target format-check
cmake --build build -j"$jobs"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j"$jobs"
# ctest runs each test in a process of its own (desktop_tests aside); once more each binary
# whole, so that a test that leaves a timer, a window or a setting behind fails the next ones
# (the kill rounds were run above).
BILETORIA_KILL_ROUNDS=10 QT_QPA_PLATFORM=offscreen build/tests/core_tests --gtest_brief=1
QT_QPA_PLATFORM=offscreen build/tests/gui_tests --gtest_brief=1
# Each benchmark once, briefly: they build against the same code and must still run.
for bench in build/bench/bench_*; do
    [ -f "$bench" ] && [ -x "$bench" ] || continue
    QT_QPA_PLATFORM=offscreen "$bench" --benchmark_min_time=0.001 >/dev/null
done
appstreamcli validate --no-net packaging/org.biletoria.biletoria.metainfo.xml
# Every window on screen under Xvfb, each screenshot checked.
tools/walkthrough build/walkthrough build

# One clang tree serves the sanitizer run and the fuzz targets, so the code is compiled twice in
# all (release and this), warnings as errors.
if [ "${BILETORIA_SKIP_ASAN:-0}" != 1 ] || [ "${BILETORIA_SKIP_FUZZ:-0}" != 1 ]; then
    cmake --preset asan >/dev/null
    cmake --build build-asan -j"$jobs"
fi
if [ "${BILETORIA_SKIP_ASAN:-0}" != 1 ]; then
    QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        BILETORIA_KILL_ROUNDS="${BILETORIA_KILL_ROUNDS:-60}" ctest --test-dir build-asan --output-on-failure -j"$jobs"
fi
if [ "${BILETORIA_SKIP_FUZZ:-0}" != 1 ]; then
    FUZZ_JOBS="$jobs" fuzz/run-fuzzers.sh "${BILETORIA_FUZZ_SECONDS:-15}" build-asan
fi
