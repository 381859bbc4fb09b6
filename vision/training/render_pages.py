"""Puzzle pictures rendered from the fonts of Debian's packages, flat as on a screen or
turned into photos (tilt, blur, noise, shade, JPEG), each with its cells' digits and the
grid's corners. Used to train the digit classifier and to make the flat test samples."""

import glob
import hashlib
import io
import os
import random

import numpy as np
from PIL import Image, ImageDraw, ImageFilter, ImageFont

# The folders of fonts-dejavu, fonts-liberation2, fonts-urw-base35, fonts-noto-core and
# fonts-wqy-microhei (the window's own font).
FONT_GLOBS = [
    "/usr/share/fonts/truetype/dejavu/*.ttf",
    "/usr/share/fonts/truetype/liberation2/*.ttf",
    "/usr/share/fonts/opentype/urw-base35/*.otf",
    "/usr/share/fonts/truetype/noto/*.ttf",
    "/usr/share/fonts/truetype/wqy/*.ttc",
]
# Packages whose digits are pictures or symbols, not numerals.
FONT_EXCLUDE = ("D050000L", "NotoMusic", "DejaVuMathTeXGyre")


def digit_fonts(families=None, globs=None):
    """Every font file of the packages that draws the ten digits as digits, once for each
    distinct look (many Noto fonts share the same Latin digits). `families`, when given,
    keeps the files whose names start with one of its strings; `globs` looks in those
    folders instead of FONT_GLOBS."""
    fonts, seen = [], set()
    for pattern in globs or FONT_GLOBS:
        for path in sorted(glob.glob(pattern)):
            name = os.path.basename(path)
            if any(name.startswith(x) for x in FONT_EXCLUDE):
                continue
            if families and not any(name.startswith(f) for f in families):
                continue
            try:
                font = ImageFont.truetype(path, 48)
            except OSError:
                continue
            masks = []
            for ch in "0123456789\uffff":
                mask = font.getmask(ch)
                masks.append(bytes(mask) + bytes(str(mask.size), "ascii"))
            # A font without the digits draws them all as its missing-glyph box.
            if len(set(masks[:10])) < 10 or masks[1] == masks[10] or min(len(m) for m in masks[:10]) < 20:
                continue
            key = hashlib.sha1(b"".join(masks[:10])).hexdigest()
            if key in seen:
                continue
            seen.add(key)
            fonts.append(path)
    return fonts


def random_puzzle(rng, fill):
    """81 values, about `fill` of them digits 1-9 (not a valid puzzle: the classifier does
    not need one)."""
    return [rng.randint(1, 9) if rng.random() < fill else 0 for _ in range(81)]


def solve_order_puzzle(rng):
    """A valid-looking grid: a shuffled solved grid with cells removed, for samples that the
    reader's solver check sees as real puzzles."""
    base = [[(3 * (r % 3) + r // 3 + c) % 9 + 1 for c in range(9)] for r in range(9)]
    digits = list(range(1, 10))
    rng.shuffle(digits)
    bands = [0, 1, 2]
    rng.shuffle(bands)
    rows = [3 * b + i for b in bands for i in rng.sample(range(3), 3)]
    stacks = [0, 1, 2]
    rng.shuffle(stacks)
    cols = [3 * s + i for s in stacks for i in rng.sample(range(3), 3)]
    grid = [digits[base[r][c] - 1] for r in rows for c in cols]
    return grid


def _font(path, size):
    return ImageFont.truetype(path, max(4, int(size)))


def _digit_size(path, height):
    """The font size at which the digit 8 is `height` pixels tall."""
    probe = _font(path, 100)
    box = probe.getbbox("8")
    return 100 * height / max(1, box[3] - box[1])


def render_grid(rng, fonts, cell, values, candidates=None, style=None):
    """A flat picture of a grid, `cell` pixels a cell, drawn 2x then shrunk. Returns the
    picture (RGB), the grid's corners in it and the values drawn."""
    style = style or {}
    k = 2  # drawn at twice the size and shrunk, for smooth edges
    c = cell * k
    margin = int(c * rng.uniform(0.3, 1.5))
    size = 9 * c + 2 * margin
    paper = style.get("paper")
    if paper is None:
        paper = tuple(rng.randint(200, 255) for _ in range(3)) if rng.random() < 0.3 else (255, 255, 255)
    ink = style.get("ink") or rng.choice([(0, 0, 0), (0, 0, 0), (40, 40, 40), (20, 20, 110), (170, 20, 20), (60, 60, 60)])
    line_ink = style.get("line") or rng.choice([(0, 0, 0), (0, 0, 0), (60, 60, 60), (120, 120, 120)])
    img = Image.new("RGB", (size, size), paper)
    draw = ImageDraw.Draw(img)
    # Shaded cells, as some newspapers and the window's selection have.
    if rng.random() < 0.3:
        shade = tuple(max(0, p - rng.randint(15, 60)) for p in paper)
        for i in range(81):
            if rng.random() < 0.1:
                x, y = margin + (i % 9) * c, margin + (i // 9) * c
                draw.rectangle([x, y, x + c, y + c], fill=shade)
    thin = max(1, int(round(k * cell * rng.uniform(0.02, 0.06))))
    thick = thin + max(1, int(round(k * cell * rng.uniform(0.0, 0.08))))
    for i in range(10):
        w = thick if i % 3 == 0 else thin
        p = margin + i * c
        draw.rectangle([p - w // 2, margin - thick // 2, p + (w - 1) // 2, margin + 9 * c + thick // 2], fill=line_ink)
        draw.rectangle([margin - thick // 2, p - w // 2, margin + 9 * c + thick // 2, p + (w - 1) // 2], fill=line_ink)
    font_path = style.get("font") or rng.choice(fonts)
    height = c * rng.uniform(0.4, 0.75)
    font = _font(font_path, _digit_size(font_path, height))
    # Ink drawn on its own layer so that it can be made bolder or thinner.
    layer = Image.new("L", (size, size), 0)
    ldraw = ImageDraw.Draw(layer)
    for i, v in enumerate(values):
        if not v:
            continue
        x0, y0 = margin + (i % 9) * c, margin + (i // 9) * c
        box = ldraw.textbbox((0, 0), str(v), font=font)
        w, h = box[2] - box[0], box[3] - box[1]
        dx = rng.uniform(-0.08, 0.08) * c
        dy = rng.uniform(-0.08, 0.08) * c
        x = x0 + (c - w) / 2 - box[0] + dx
        y = y0 + (c - h) / 2 - box[1] + dy
        ldraw.text((x, y), str(v), fill=255, font=font)
    # Specks and strokes in some empty cells: what the classifier must call no digit.
    if not candidates and style.get("specks", True) and rng.random() < 0.5:
        for i, v in enumerate(values):
            if v or rng.random() > 0.05:
                continue
            x0, y0 = margin + (i % 9) * c, margin + (i // 9) * c
            cx, cy = x0 + c * rng.uniform(0.3, 0.7), y0 + c * rng.uniform(0.3, 0.7)
            r = c * rng.uniform(0.05, 0.25)
            if rng.random() < 0.5:
                ldraw.ellipse([cx - r, cy - r * rng.uniform(0.3, 1), cx + r, cy + r], fill=rng.randint(120, 255))
            else:
                ldraw.line([cx - r, cy - r * rng.uniform(-1, 1), cx + r, cy + r * rng.uniform(-1, 1)],
                           fill=255, width=max(1, int(c * rng.uniform(0.03, 0.1))))
    weight = rng.random()
    if weight < 0.1:
        layer = layer.filter(ImageFilter.MaxFilter(3))
    elif weight < 0.2 and style.get("thinned", True):
        layer = layer.filter(ImageFilter.MinFilter(3))
    img.paste(Image.new("RGB", (size, size), ink), (0, 0), layer)
    if candidates:
        small_path = style.get("small_font") or font_path
        small = _font(small_path, _digit_size(small_path, c * rng.uniform(0.17, 0.24)))
        grey = style.get("small_ink") or rng.choice([ink, (90, 90, 90), (120, 120, 140)])
        for i, marks in candidates.items():
            x0, y0 = margin + (i % 9) * c, margin + (i // 9) * c
            for d in marks:
                cx = x0 + c * (0.2 + 0.3 * ((d - 1) % 3))
                cy = y0 + c * (0.2 + 0.3 * ((d - 1) // 3))
                draw.text((cx, cy), str(d), fill=grey, font=small, anchor="mm")
    img = img.resize((size // k, size // k), Image.LANCZOS)
    m = margin / k
    g = 9 * cell
    corners = [(m, m), (m + g, m), (m + g, m + g), (m, m + g)]
    return img, corners


def _perspective_coefficients(src, dst):
    """PIL's perspective coefficients mapping output points `dst` back to input `src`."""
    a, b = [], []
    for (x, y), (u, v) in zip(dst, src):
        a.append([x, y, 1, 0, 0, 0, -u * x, -u * y])
        a.append([0, 0, 0, x, y, 1, -v * x, -v * y])
        b += [u, v]
    return np.linalg.solve(np.array(a, float), np.array(b, float)).tolist()


def photograph(rng, img, corners, cell_out):
    """The flat picture as a phone would see it: tilted, its cells about `cell_out` pixels,
    unevenly lit, blurred, noisy and JPEG-compressed."""
    w, h = img.size
    pad = int(0.15 * w)
    canvas = Image.new("RGB", (w + 2 * pad, h + 2 * pad), tuple(rng.randint(80, 230) for _ in range(3)))
    canvas.paste(img, (pad, pad))
    corners = [(x + pad, y + pad) for x, y in corners]
    W, H = canvas.size
    jitter = 0.08 * W
    src = [(0, 0), (W, 0), (W, H), (0, H)]
    dst = [(x + rng.uniform(-jitter, jitter), y + rng.uniform(-jitter, jitter)) for x, y in src]
    grid_side = corners[1][0] - corners[0][0]
    scale = 9 * cell_out / grid_side
    dst = [(x * scale, y * scale) for x, y in dst]
    minx, miny = min(p[0] for p in dst), min(p[1] for p in dst)
    dst = [(x - minx, y - miny) for x, y in dst]
    out_w = int(max(p[0] for p in dst)) + 1
    out_h = int(max(p[1] for p in dst)) + 1
    coeffs = _perspective_coefficients(src, dst)
    photo = canvas.transform((out_w, out_h), Image.PERSPECTIVE, coeffs, Image.BILINEAR)
    # The corners go through the same mapping, forwards.
    forward = np.linalg.inv(np.array(coeffs + [1.0]).reshape(3, 3))
    new_corners = []
    for x, y in corners:
        p = forward @ np.array([x, y, 1.0])
        new_corners.append((p[0] / p[2], p[1] / p[2]))
    a = np.asarray(photo, np.float32)
    # Light falling off across the page.
    yy, xx = np.mgrid[0:out_h, 0:out_w].astype(np.float32)
    gx, gy = rng.uniform(-1, 1), rng.uniform(-1, 1)
    t = gx * xx / out_w + gy * yy / out_h
    t = (t - t.min()) / max(1e-6, float(t.max() - t.min()))
    if rng.random() < 0.3:  # the sharp edge of a shadow
        t = (t > rng.uniform(0.2, 0.8)).astype(np.float32)
    light = 1 - rng.uniform(0, 0.4) * t
    a *= light[..., None]
    photo = Image.fromarray(np.clip(a, 0, 255).astype(np.uint8))
    blur = rng.uniform(0, 0.045) * cell_out
    if blur > 0.3:
        photo = photo.filter(ImageFilter.GaussianBlur(blur))
    a = np.asarray(photo, np.float32)
    a += np.random.default_rng(rng.randint(0, 2**31)).normal(0, rng.uniform(0, 8), a.shape)
    photo = Image.fromarray(np.clip(a, 0, 255).astype(np.uint8))
    buffer = io.BytesIO()
    photo.save(buffer, "JPEG", quality=rng.randint(40, 95))
    return buffer.getvalue(), new_corners


def sample_page(seed, fonts):
    """One training page: (encoded picture, corners, values, candidate cells)."""
    rng = random.Random(seed)
    values = random_puzzle(rng, rng.uniform(0.2, 0.6))
    candidates = None
    if rng.random() < 0.25:
        candidates = {i: [d for d in range(1, 10) if rng.random() < 0.5] for i in range(81) if not values[i]}
    flat = rng.random() < 0.4
    cell = rng.randint(20, 60) if flat else rng.randint(40, 70)
    img, corners = render_grid(rng, fonts, cell, values, candidates)
    if flat:
        buffer = io.BytesIO()
        img.save(buffer, "PNG")
        return buffer.getvalue(), corners, values
    data, corners = photograph(rng, img, corners, rng.randint(20, 60))
    return data, corners, values
