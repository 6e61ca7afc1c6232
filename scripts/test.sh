#!/usr/bin/env bash
# Set-up, build and the whole test suite: the release build, then the same tests under ASan+UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
jobs=$(nproc)

cmake --preset release >/dev/null
cmake --build build -j"$jobs"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j"$jobs"
appstreamcli validate --no-net packaging/org.biletoria.biletoria.metainfo.xml
# Every window on screen under Xvfb, each screenshot checked.
tools/walkthrough build/walkthrough build

if [ "${BILETORIA_SKIP_ASAN:-0}" != 1 ]; then
    cmake --preset asan >/dev/null
    cmake --build build-asan -j"$jobs"
    QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
        ctest --test-dir build-asan --output-on-failure -j"$jobs"
fi
