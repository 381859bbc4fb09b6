#!/usr/bin/python3
"""Trains velmo's digit classifier and writes it as ONNX (vision/model/digits.onnx).

The glyphs it learns from are made by the reader itself (velmo-scan-glyphs, built with the
project) from pictures this script renders from Debian's fonts, and, when the dataset's
folder is given, from its v2 training pictures (never its test pictures). Everything is
seeded: a run reproduces the committed model's accuracy. Needs python3-torch, python3-pil
and the font packages (scripts/train-digits installs them)."""

import argparse
import multiprocessing
import os
import random
import struct
import subprocess
import sys
import tempfile
import time

import numpy as np
import torch

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import render_pages  # noqa: E402

GLYPH = 28
RECORD = 4 + 4 + 4 * GLYPH * GLYPH


class DigitNet(torch.nn.Module):
    """Three 3x3 convolutions with pooling, then two dense layers: 0 (no digit) and 1-9."""

    def __init__(self):
        super().__init__()
        self.layers = torch.nn.Sequential(
            torch.nn.Conv2d(1, 16, 3, padding=1), torch.nn.ReLU(), torch.nn.MaxPool2d(2),
            torch.nn.Conv2d(16, 32, 3, padding=1), torch.nn.ReLU(), torch.nn.MaxPool2d(2),
            torch.nn.Conv2d(32, 64, 3, padding=1), torch.nn.ReLU(), torch.nn.MaxPool2d(2),
            torch.nn.Flatten(), torch.nn.Linear(64 * 3 * 3, 128), torch.nn.ReLU(),
            torch.nn.Dropout(0.3), torch.nn.Linear(128, 10))

    def forward(self, x):
        return self.layers(x)


def run_glyphs(tool, lines):
    """Each picture's glyphs from velmo-scan-glyphs: a list, per line, of None (no grid)
    or [(cell, weight, glyph)]."""
    out = subprocess.run([tool], input=("\n".join(lines) + "\n").encode(), capture_output=True,
                         text=False, check=True).stdout
    pictures, at = [], 0
    for _ in lines:
        (n,) = struct.unpack_from("<i", out, at)
        at += 4
        if n < 0:
            pictures.append(None)
            continue
        cells = []
        for _ in range(n):
            cell, weight = struct.unpack_from("<if", out, at)
            glyph = np.frombuffer(out, np.float32, GLYPH * GLYPH, at + 8).reshape(GLYPH, GLYPH)
            cells.append((cell, weight, glyph.copy()))
            at += RECORD
        pictures.append(cells)
    return pictures


def _render(job):
    seed, folder, fonts = job
    data, corners, values = render_pages.sample_page(seed, fonts)
    path = os.path.join(folder, "page%06d.%s" % (seed, "png" if data[:4] == b"\x89PNG" else "jpg"))
    with open(path, "wb") as f:
        f.write(data)
    line = path + " " + " ".join("%.3f %.3f" % p for p in corners)
    return line, values


def rendered_glyphs(tool, fonts, first_seed, count, workers, folder):
    jobs = [(first_seed + i, folder, fonts) for i in range(count)]
    with multiprocessing.Pool(workers) as pool:
        rendered = pool.map(_render, jobs, chunksize=16)
    xs, ys = [], []
    for (line, values), cells in zip(rendered, run_glyphs(tool, [r[0] for r in rendered])):
        for cell, _, glyph in cells or []:
            xs.append(glyph)
            ys.append(values[cell])
        os.remove(line.split(" ")[0])
    return xs, ys


def dataset_glyphs(tool, folder):
    """Glyphs of the dataset's v2 training pictures, labelled by their .dat files. The grid
    is found as the reader finds it; the turn is the one under which the cells holding a
    shape best match the cells the .dat file fills."""
    with open(os.path.join(folder, "datasets", "v2_train.desc")) as f:
        names = [line.strip() for line in f if line.strip()]
    paths = [os.path.join(folder, n) for n in names]
    xs, ys, stats = [], [], {"pictures": len(paths), "no grid": 0, "digits": 0, "missed": 0, "extra": 0}
    for path, cells in zip(paths, run_glyphs(tool, paths)):
        if cells is None:
            stats["no grid"] += 1
            continue
        with open(path[:-4] + ".dat") as f:
            rows = [line.split() for line in f.read().splitlines()[2:11]]
        values = np.array([[int(v) for v in row] for row in rows])
        best = None
        for turn in range(4):
            upright = np.rot90(values, -turn)  # the .dat grid as the straightened picture shows it
            shapes = {c for c, _, _ in cells}
            score = sum((upright.flat[i] != 0) == (i in shapes) for i in range(81))
            if best is None or score > best[0]:
                best = (score, turn, upright)
        _, turn, upright = best
        shapes = {c for c, _, _ in cells}
        stats["missed"] += sum(1 for i in range(81) if upright.flat[i] and i not in shapes)
        for cell, _, glyph in cells:
            label = int(upright.flat[cell])
            stats["digits" if label else "extra"] += 1
            xs.append(np.rot90(glyph, turn).copy())
            ys.append(label)
    return xs, ys, stats


def turned_junk(xs, ys, rng):
    """Digits on their side or upside down are not digits; upside down, 1, 6, 8 and 9 (and,
    in some fonts, 2 and 5) are, so they are left out."""
    out_x, out_y = [], []
    for x, y in zip(xs, ys):
        if y == 0 or rng.random() > 0.3:
            continue
        turn = rng.choice([1, 2, 3])
        if turn == 2 and y in (1, 2, 5, 6, 8, 9):
            continue
        out_x.append(np.rot90(x, turn).copy())
        out_y.append(0)
    return out_x, out_y


def accuracy(model, x, y):
    model.eval()
    with torch.no_grad():
        predicted = torch.cat([model(x[i:i + 2048]).argmax(1) for i in range(0, len(x), 2048)])
    return float((predicted == y).float().mean())


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tool", required=True, help="velmo-scan-glyphs, as built")
    parser.add_argument("--dataset", help="the scan dataset's folder (its v2 training pictures are used)")
    parser.add_argument("--out", required=True, help="the ONNX file to write")
    parser.add_argument("--pages", type=int, default=3000)
    parser.add_argument("--epochs", type=int, default=8)
    # One thread trains fastest here: two contend for the cores the rendering also uses.
    parser.add_argument("--threads", type=int, default=1, help="torch's threads")
    parser.add_argument("--workers", type=int, default=2, help="processes rendering pages")
    parser.add_argument("--seed", type=int, default=29)
    args = parser.parse_args()

    started = time.time()
    torch.manual_seed(args.seed)
    torch.set_num_threads(args.threads)
    rng = random.Random(args.seed)
    fonts = render_pages.digit_fonts()
    print("fonts: %d" % len(fonts), flush=True)
    with tempfile.TemporaryDirectory() as folder:
        xs, ys = rendered_glyphs(args.tool, fonts, 1_000_000, args.pages, args.workers, folder)
        val_x, val_y = rendered_glyphs(args.tool, fonts, 9_000_000, max(100, args.pages // 10),
                                       args.workers, folder)
    print("rendered glyphs: %d for training, %d for checking (%.0f s)" % (len(xs), len(val_x), time.time() - started), flush=True)
    if args.dataset:
        dx, dy, stats = dataset_glyphs(args.tool, args.dataset)
        print("dataset v2 training pictures: %s" % stats, flush=True)
        # Photos are few beside the renderings: each is seen four times an epoch.
        xs += dx * 4
        ys += dy * 4
    jx, jy = turned_junk(xs, ys, rng)
    xs += jx
    ys += jy
    vjx, vjy = turned_junk(val_x, val_y, rng)
    val_x += vjx
    val_y += vjy

    x = torch.from_numpy(np.stack(xs)[:, None])
    y = torch.tensor(ys)
    vx = torch.from_numpy(np.stack(val_x)[:, None])
    vy = torch.tensor(val_y)
    print("training on %d glyphs (%d no digit)" % (len(y), int((y == 0).sum())), flush=True)

    model = DigitNet()
    optimiser = torch.optim.Adam(model.parameters(), lr=2e-3)
    steps = args.epochs * ((len(y) + 127) // 128)
    schedule = torch.optim.lr_scheduler.OneCycleLR(optimiser, max_lr=3e-3, total_steps=steps)
    generator = torch.Generator().manual_seed(args.seed)
    for epoch in range(args.epochs):
        model.train()
        order = torch.randperm(len(y), generator=generator)
        total = 0.0
        for i in range(0, len(y), 128):
            batch = order[i:i + 128]
            # A shift of a pixel either way: the glyph's place is not exact in photos.
            bx = torch.roll(x[batch], shifts=(int(torch.randint(-1, 2, (1,), generator=generator)),
                                               int(torch.randint(-1, 2, (1,), generator=generator))), dims=(2, 3))
            loss = torch.nn.functional.cross_entropy(model(bx), y[batch])
            optimiser.zero_grad()
            loss.backward()
            optimiser.step()
            schedule.step()
            total += float(loss) * len(batch)
        print("epoch %d: loss %.4f, accuracy on unseen renderings %.4f (%.0f s)"
              % (epoch + 1, total / len(y), accuracy(model, vx, vy), time.time() - started), flush=True)

    model.eval()
    torch.onnx.export(model, torch.zeros(1, 1, GLYPH, GLYPH), args.out, input_names=["glyph"],
                      output_names=["logits"], dynamic_axes={"glyph": {0: "n"}, "logits": {0: "n"}},
                      opset_version=11)
    print("accuracy on unseen renderings: %.4f; wrote %s (%d bytes) in %.0f s"
          % (accuracy(model, vx, vy), args.out, os.path.getsize(args.out), time.time() - started))


if __name__ == "__main__":
    main()
