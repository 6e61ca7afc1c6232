#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Set-up, build, and start the program (on the demo database when no other is configured).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
cmake --preset release >/dev/null
cmake --build build -j"$(nproc)"
if [ -x build/tools/biletoria-dbv ] && [ ! -e build/dataAB.dbv ]; then
    build/tools/biletoria-dbv demo -o build/dataAB.dbv
fi
if [ -x build/biletoria ]; then
    exec build/biletoria "$@"
fi
echo "The program is not built yet."
