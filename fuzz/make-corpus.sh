#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Seed corpora of the fuzz targets: fuzz/make-corpus.sh [build dir] [output folder]
# The build dir is one configured with -DBILETORIA_FUZZ=ON (see docs/reliability.md).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-asan}
out=${2:-$build/fuzz/seeds}
rm -rf "$out"
"$build/fuzz/fuzz_make_corpus" "$out"

# The help file: a small one compiled with chmcmd (Debian fp-utils), whole and cut short.
if command -v chmcmd >/dev/null; then
    src=$(mktemp -d)
    mkdir -p "$src/img"
    printf '<html><head><title>Главная</title></head><body><p>Оглавление</p><img src="img/red.png"><a href="pdd5.html#p5.1">5.1</a></body></html>' >"$src/index.html"
    { printf '<html><head><title>Раздел 5</title></head><body>'
      for i in 1 2 3 4 5 6 7 8 9; do printf '<h3><a name="p5.%s"></a>Пункт 5.%s</h3><p>Текст пункта 5.%s.</p>' "$i" "$i" "$i"; done
      printf '</body></html>'; } >"$src/pdd5.html"
    base64 -d >"$src/img/red.png" <<<'iVBORw0KGgoAAAANSUhEUgAAAAQAAAADCAIAAAA7ljmRAAAAEklEQVR4nGP4z8AARwx4OAwMAMbpBvq2h1+yAAAAAElFTkSuQmCC'
    printf '[OPTIONS]\r\nCompiled file=biltor.chm\r\nDefault topic=index.html\r\nTitle=Seed\r\n\r\n[FILES]\r\nindex.html\r\npdd5.html\r\nimg/red.png\r\n' >"$src/help.hhp"
    if (cd "$src" && chmcmd help.hhp >/dev/null 2>&1) && [ -s "$src/biltor.chm" ]; then
        mkdir -p "$out/help_file"
        cp "$src/biltor.chm" "$out/help_file/whole.chm"
        size=$(stat -c %s "$src/biltor.chm")
        head -c $((size / 2)) "$src/biltor.chm" >"$out/help_file/half.chm"
        head -c 600 "$src/biltor.chm" >"$out/help_file/header.chm"
    fi
    rm -rf "$src"
fi
for dir in "$out"/*/; do
    echo "$(basename "$dir"): $(ls "$dir" | wc -l) seeds"
done
