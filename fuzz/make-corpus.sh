#!/usr/bin/env bash
# Seed corpora of the fuzz targets: fuzz/make-corpus.sh [build dir] [output folder]
# The build dir is one configured with -DBILETORIA_FUZZ=ON (see docs/reliability.md).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-fuzz}
out=${2:-$build/fuzz/seeds}
rm -rf "$out"
"$build/fuzz/fuzz_make_corpus" "$out"
for dir in "$out"/*/; do
    echo "$(basename "$dir"): $(ls "$dir" | wc -l) seeds"
done
