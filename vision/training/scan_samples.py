#!/usr/bin/python3
"""Flat pictures of puzzles for measuring the reader, as a screen or a printed page shows
them: puzzles of a collection drawn in the fonts of Debian's font packages, in turn, with
cells of 20-60 pixels. Writes each picture as a PNG and, in expected.txt, one line per
picture: the puzzle it shows (81 characters) and the file's name. Seeded: a run makes the
same files. Needs python3-pil and the font packages (scripts/make-scan-samples installs
them)."""

import argparse
import os
import random
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import render_pages  # noqa: E402

PACKAGES = [
    ("dejavu", "/usr/share/fonts/truetype/dejavu/*.ttf"),
    ("liberation2", "/usr/share/fonts/truetype/liberation2/*.ttf"),
    ("urw-base35", "/usr/share/fonts/opentype/urw-base35/*.otf"),
    ("noto-core", "/usr/share/fonts/truetype/noto/*.ttf"),
]


def read_puzzles(path):
    puzzles = []
    with open(path, encoding="ascii") as file:
        for line in file:
            line = line.strip()
            if len(line) >= 81 and not line.startswith("#"):
                puzzles.append(line[:81].replace("0", "."))
    return puzzles


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--puzzles", required=True, help="a file of puzzles, one a line")
    parser.add_argument("--out", required=True, help="the folder to write into")
    parser.add_argument("--count", type=int, default=200)
    parser.add_argument("--seed", type=int, default=2029)
    args = parser.parse_args()

    rng = random.Random(args.seed)
    fonts = {name: render_pages.digit_fonts(globs=[pattern]) for name, pattern in PACKAGES}
    for name, found in fonts.items():
        if not found:
            sys.exit("scan_samples: no fonts of fonts-%s" % name)
    puzzles = read_puzzles(args.puzzles)
    rng.shuffle(puzzles)
    os.makedirs(args.out, exist_ok=True)
    lines = []
    for k in range(args.count):
        package = PACKAGES[k % len(PACKAGES)][0]
        font = rng.choice(fonts[package])
        cell = rng.randint(20, 60)
        puzzle = puzzles[k % len(puzzles)]
        values = [0 if ch == "." else int(ch) for ch in puzzle]
        # The font's own strokes: a screen or a printer never thins them, and thinning by a
        # pixel wipes out the hairlines of a serif font in small cells.
        style = {"font": font, "specks": False, "thinned": False}
        img, _ = render_pages.render_grid(rng, fonts[package], cell, values, style=style)
        stem = os.path.splitext(os.path.basename(font))[0]
        name = "flat-%03d-%s-%s-%dpx.png" % (k, package, stem, cell)
        img.save(os.path.join(args.out, name))
        lines.append("%s %s\n" % (puzzle, name))
    with open(os.path.join(args.out, "expected.txt"), "w", encoding="ascii") as file:
        file.writelines(lines)


if __name__ == "__main__":
    main()
