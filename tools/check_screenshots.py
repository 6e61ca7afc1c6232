#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks the tour's screenshots: every listed PNG exists, is not tiny and is not one colour, and
the pictures every build of the tour takes are among them."""
import struct
import sys
import zlib
from pathlib import Path

MIN_BYTES = 3000

# Taken in every build; the help pictures and the statistics pages depend on what the build has.
REQUIRED = (
    "01-main-first-start",
    "02-study-learning-comment",
    "02a-study-picture-enlarged",
    "02b-study-long-comment-minimum-size",
    "04-move-to-theme",
    "05-study-training",
    "07-exam-main-block",
    "08-exam-question",
    "08b-exam-question-long-answers",
    "09-exam-additional-block-minimum-size",
    "10-exam-result",
    "11b-statistics-readiness",
    "12-preparation",
    "13-about",
    "13-load-questions",
    "13b-search-results",
    "13c-search-word-forms",
    "14-main-with-results",
    "15-main-themes",
    "15a-main-chance",
    "15b-study-review",
)


def pixels(path):
    """Width, height, bytes per pixel and the unfiltered rows of an 8-bit PNG."""
    data = path.read_bytes()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG")
    pos, idat, width = 8, b"", 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            if depth != 8 or colour not in (2, 6):
                raise ValueError("unexpected pixel format")
            bpp = 3 if colour == 2 else 4
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = width * bpp
    rows, prev = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line))
        prev = line
    return width, height, bpp, rows


def colours(path):
    width, height, bpp, rows = pixels(path)
    seen = set()
    for row in rows[::4]:
        for x in range(0, width * bpp, bpp * 4):
            seen.add(row[x:x + 3])
            if len(seen) > 16:
                return len(seen)
    return len(seen)


def main():
    folder = Path(sys.argv[1])
    listing = folder / "screenshots.txt"
    if not listing.is_file():
        print(f"no {listing}: the tour did not finish", file=sys.stderr)
        return 1
    names = [n for n in listing.read_text().split() if n]
    bad = 0
    for name in REQUIRED:
        if name not in names:
            bad += 1
            print(f"{folder / name}.png: not taken", file=sys.stderr)
    for name in names:
        path = folder / f"{name}.png"
        problem = None
        if not path.is_file():
            problem = "missing"
        elif path.stat().st_size < MIN_BYTES:
            problem = f"only {path.stat().st_size} bytes"
        else:
            try:
                if colours(path) < 3:
                    problem = "blank (one or two colours)"
            except (ValueError, zlib.error) as error:
                problem = str(error)
        if problem:
            bad += 1
            print(f"{path}: {problem}", file=sys.stderr)
        else:
            print(f"ok {path.name} ({path.stat().st_size} bytes)")
    print(f"{len(names) - bad} of {len(names)} screenshots fine")
    return 1 if bad or not names else 0


if __name__ == "__main__":
    sys.exit(main())
