#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages the build and the tests need, only those that are missing.
# Calls apt-get (as root, or through sudo when not root).
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl1-mesa-dev
    qt6-svg-dev
    libjpeg62-turbo-dev libwebp-dev libchm-dev
    libarchive-dev
    libhunspell-dev hunspell-ru
    googletest libgtest-dev libbenchmark-dev
    fonts-liberation
    qt6-translations-l10n
    libxcb1-dev
    clang libclang-rt-dev clang-format
    fp-utils xvfb xauth openbox appstream python3
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
