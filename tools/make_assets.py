#!/usr/bin/python3
"""Builds the Thornvale launcher artwork in ../assets.

    /usr/bin/python3 tools/make_assets.py

Everything is drawn procedurally with Pillow, so running the script again
gives byte-identical files.  Needs the Debian packages python3-pil,
fonts-wqy-microhei and fonts-noto-cjk.

Outputs:
    LauncherBackground.gif      window face and window outline (white = cut away)
    *ButtonImage.jpg            pictures of the six buttons
    ProgramIcon.ico             64x64 32-bit program icon
"""

import math
import os
import re
import struct
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
ASSETS = os.path.normpath(os.path.join(HERE, os.pardir, "assets"))

SERIF_BOLD = "/usr/share/fonts/opentype/noto/NotoSerifCJK-Bold.ttc"
SERIF_BOLD_SC = 2  # face index of "Noto Serif CJK SC Bold" in the collection
MICROHEI = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"

# ---------------------------------------------------------------------------
# Window geometry.  The launcher cuts its window out of the background picture:
# every pixel that is exactly white is outside the window.
# ---------------------------------------------------------------------------
W, H = 1100, 756
WHITE = (255, 255, 255)
TARGET_RUNS = 1400           # the window region is built from this many row runs

FRAME_TOP = 38               # top edge of the frame body (the ornaments rise above)
FRAME_LEFT = 14              # frame body columns FRAME_LEFT..FRAME_RIGHT
FRAME_RIGHT = 1088
FRAME_BOTTOM = 741           # last row of the artwork
MIRROR = 1102                # column c on the left matches column MIRROR - c

PANEL = (48, 136, 1051, 717)  # black area under the browser control (inclusive)

LINK_BUTTONS = [             # caption, left, top (each face is 156 x 35)
    ("官方网站", 110, 100),
    ("充值中心", 272, 100),
    ("游戏论坛", 672, 100),
    ("客服中心", 834, 96),
]
LINK_FACE = (156, 35)
MINIMISE_BOX = (989, 47, 24, 23)   # left, top, width, height
CLOSE_BOX = (1023, 48, 23, 23)

SS = 4                       # supersampling factor for the outline


# ---------------------------------------------------------------------------
# Small drawing helpers
# ---------------------------------------------------------------------------
def quad(p0, c, p1, n=12):
    """Points of a quadratic Bezier curve (p0 excluded, p1 included)."""
    pts = []
    for i in range(1, n + 1):
        t = i / n
        a, b, d = (1 - t) ** 2, 2 * (1 - t) * t, t * t
        pts.append((a * p0[0] + b * c[0] + d * p1[0],
                    a * p0[1] + b * c[1] + d * p1[1]))
    return pts


def path(start, *segments):
    """Polyline from a start point and a list of segments.

    A segment is either a point (straight line) or a pair (control, end) for a
    quadratic curve."""
    pts = [start]
    for seg in segments:
        if isinstance(seg[0], tuple):
            pts += quad(pts[-1], seg[0], seg[1])
        else:
            pts.append(seg)
    return pts


def ss(pts):
    return [(x * SS, y * SS) for x, y in pts]


def mirror_pts(pts):
    return [(MIRROR + 1 - x, y) for x, y in pts]


def downsample(mask_ss):
    """Supersampled drawing -> hard 1x mask (0 or 255)."""
    small = mask_ss.resize((mask_ss.width // SS, mask_ss.height // SS), Image.BOX)
    return small.point(lambda v: 255 if v >= 128 else 0)


def mirrored(mask):
    """Mirror a left-hand layer onto the right-hand side (column c -> MIRROR - c)."""
    flipped = mask.transpose(Image.FLIP_LEFT_RIGHT)        # c -> W - 1 - c
    out = Image.new(mask.mode, mask.size, 0)
    shift = MIRROR - (W - 1)
    out.paste(flipped.crop((0, 0, W - shift, H)), (shift, 0))
    return out


def kernel(weights):
    """3x3 Kernel filter from {(dx, dy): weight} meaning out += w * in(x+dx, y+dy)."""
    w = [0.0] * 9
    for (dx, dy), v in weights.items():
        w[(1 - dy) * 3 + (dx + 1)] = v
    return w


def blur(img, r):
    return img.filter(ImageFilter.GaussianBlur(r)) if r > 0 else img


def shade(height, strength=1.0):
    """Light a height field from the upper left; 128 = flat."""
    w = kernel({(-1, -1): -2, (0, -1): -1, (-1, 0): -1,
                (1, 1): 2, (0, 1): 1, (1, 0): 1})
    w = [v * strength for v in w]
    return height.filter(ImageFilter.Kernel((3, 3), w, scale=1, offset=128))


def shade_from_top(height, strength=1.0):
    """Light a height field from straight above the picture plane's top edge."""
    w = kernel({(-1, -1): -1, (0, -1): -2, (1, -1): -1,
                (-1, 1): 1, (0, 1): 2, (1, 1): 1})
    w = [v * strength for v in w]
    return height.filter(ImageFilter.Kernel((3, 3), w, scale=1, offset=128))


def gradient_map(gray, stops):
    """Colourise an L image with a list of (level, (r, g, b)) stops."""
    luts = ([], [], [])
    for v in range(256):
        for i in range(len(stops) - 1):
            (a, ca), (b, cb) = stops[i], stops[i + 1]
            if a <= v <= b:
                t = (v - a) / float(b - a) if b > a else 0.0
                col = [ca[k] + (cb[k] - ca[k]) * t for k in range(3)]
                break
        else:
            col = stops[0][1] if v < stops[0][0] else stops[-1][1]
        for k in range(3):
            luts[k].append(int(round(col[k])))
    return Image.merge("RGB", [gray.point(luts[k]) for k in range(3)])


def add_gray(a, b, offset=-128, scale=1.0):
    return ImageChops.add(a, b, scale, offset)


def mul_const(img, f, offset=0):
    return img.point(lambda v: max(0, min(255, int(round(v * f + offset)))))


def vertical_gradient(size, top, bottom):
    w, h = size
    col = Image.new("L", (1, h))
    col.putdata([int(round(top + (bottom - top) * y / max(1, h - 1))) for y in range(h)])
    return col.resize((w, h))


def horizontal_gradient(size, left, right):
    w, h = size
    row = Image.new("L", (w, 1))
    row.putdata([int(round(left + (right - left) * x / max(1, w - 1))) for x in range(w)])
    return row.resize((w, h))


def erode(mask, px):
    out = mask
    while px > 0:
        step = min(px, 3)
        out = out.filter(ImageFilter.MinFilter(2 * step + 1))
        px -= step
    return out


def dilate(mask, px):
    out = mask
    while px > 0:
        step = min(px, 3)
        out = out.filter(ImageFilter.MaxFilter(2 * step + 1))
        px -= step
    return out


def rect_mask(box, size=(W, H)):
    m = Image.new("L", size, 0)
    ImageDraw.Draw(m).rectangle(box, fill=255)
    return m


def paint(canvas, colour_img, mask):
    canvas.paste(colour_img, (0, 0), mask)


# Colour ramps -------------------------------------------------------------
RED = [(0, (22, 2, 4)), (70, (62, 7, 10)), (128, (104, 15, 18)),
       (190, (150, 34, 30)), (255, (205, 86, 64))]
BRONZE = [(0, (20, 9, 4)), (50, (58, 28, 12)), (100, (112, 64, 28)), (140, (160, 106, 50)),
          (185, (206, 152, 76)), (225, (234, 192, 104)), (255, (250, 228, 164))]
GOLD = [(0, (60, 32, 4)), (70, (128, 80, 14)), (128, (196, 146, 40)),
        (180, (234, 196, 86)), (225, (252, 230, 150)), (255, (254, 248, 214))]
DARK_GOLD = [(0, (40, 20, 4)), (128, (150, 104, 30)), (255, (240, 208, 120))]
MEMBRANE = [(0, (26, 5, 4)), (90, (74, 22, 14)), (140, (122, 50, 28)), (200, (176, 98, 52)),
            (255, (226, 160, 96))]
EMBER = [(0, (60, 0, 0)), (120, (190, 30, 8)), (200, (255, 150, 40)), (255, (255, 236, 160))]


# ---------------------------------------------------------------------------
# Text
# ---------------------------------------------------------------------------
def font(size, path=SERIF_BOLD, index=SERIF_BOLD_SC):
    return ImageFont.truetype(path, size, index=index)


def text_mask(size, text, fnt, centre, spacing=0):
    """Anti-aliased L mask of text whose ink box is centred on `centre`."""
    m = Image.new("L", size, 0)
    d = ImageDraw.Draw(m)
    if spacing:
        widths = [d.textlength(ch, font=fnt) for ch in text]
        total = sum(widths) + spacing * (len(text) - 1)
        x = 0.0
        tmp = Image.new("L", (int(total) + 40, size[1] * 2 + 40), 0)
        td = ImageDraw.Draw(tmp)
        for ch, wd in zip(text, widths):
            td.text((20 + x, 20), ch, font=fnt, fill=255)
            x += wd + spacing
        box = tmp.getbbox()
        ink = tmp.crop(box)
    else:
        box = d.textbbox((0, 0), text, font=fnt)
        ink = Image.new("L", (box[2] - box[0], box[3] - box[1]), 0)
        ImageDraw.Draw(ink).text((-box[0], -box[1]), text, font=fnt, fill=255)
        ink = ink.crop(ink.getbbox())
    x = int(round(centre[0] - ink.width / 2.0))
    y = int(round(centre[1] - ink.height / 2.0))
    m.paste(ink, (x, y))
    return m


def gold_lettering(canvas, mask, bevel=1.0, shadow=True, outline=1, ramp=GOLD):
    """Paint embossed gold letters given an anti-aliased mask."""
    size = canvas.size
    if shadow:
        sh = blur(mask, 1.6)
        sh = ImageChops.offset(sh, 1, 2)
        paint(canvas, Image.new("RGB", size, (14, 2, 2)), mul_const(sh, 0.9))
    if outline:
        ol = mask.filter(ImageFilter.MaxFilter(2 * outline + 1))
        paint(canvas, Image.new("RGB", size, (40, 14, 4)), mul_const(ol, 0.85))
    height = blur(mask, bevel)
    light = shade(height, 1.3)
    tone = vertical_gradient(size, 150, 120)
    # vertical sheen inside the letters so they read as polished metal
    lit = add_gray(light, tone, offset=-118)
    paint(canvas, gradient_map(lit, ramp), mask)


# ---------------------------------------------------------------------------
# Button faces (shared by the JPEG pictures and the background)
# ---------------------------------------------------------------------------
def bar_face(size, visible=None):
    """Dark red bar with a thin gold border; returns the RGB picture."""
    w, h = size
    vw, vh = visible or size
    face = Image.new("RGB", size)
    body = rect_mask((0, 0, w - 1, h - 1), size)
    height = blur(rect_mask((2, 2, vw - 3, vh - 3), size), 3)
    light = shade(height, 0.6)
    tone = vertical_gradient(size, 175, 92)
    paint(face, gradient_map(add_gray(light, tone), RED), body)
    # soft dark vignette at the ends so the caption pops
    d = ImageDraw.Draw(face)
    # border: bronze outer line, gold inner line
    d.rectangle((0, 0, vw - 1, vh - 1), outline=(92, 52, 18))
    d.rectangle((1, 1, vw - 2, vh - 2), outline=(222, 178, 84))
    d.line((2, 2, vw - 3, 2), fill=(150, 52, 40))
    d.line((2, vh - 3, vw - 3, vh - 3), fill=(46, 6, 8))
    return face


def link_face(caption, size=LINK_FACE, visible=None):
    vw, vh = visible or size
    face = bar_face(size, (vw, vh))
    fnt = font(19)
    m = text_mask(size, caption, fnt, (vw / 2.0, vh / 2.0), spacing=3)
    gold_lettering(face, m, bevel=0.8, shadow=True, outline=0)
    return face


def minimise_face(size):
    w, h = size
    face = bar_face(size)
    m = Image.new("L", (w * 4, h * 4), 0)
    cx, cy = w / 2.0, h / 2.0
    half = min(w, 24) * 0.30
    ImageDraw.Draw(m).rectangle(((cx - half) * 4, (cy - 1.3) * 4, (cx + half) * 4, (cy + 1.3) * 4),
                                fill=255)
    m = m.resize(size, Image.LANCZOS)
    gold_lettering(face, m, bevel=0.6, shadow=True, outline=0)
    return face


def close_face(size):
    w, h = size
    face = bar_face(size)
    m = Image.new("L", (w * 4, h * 4), 0)
    d = ImageDraw.Draw(m)
    cx, cy = w / 2.0, h / 2.0
    r = min(w, h) * 0.27
    for sx in (-1, 1):
        d.line(((cx - r) * 4, (cy - sx * r) * 4, (cx + r) * 4, (cy + sx * r) * 4),
               fill=255, width=int(2.4 * 4))
    m = m.resize(size, Image.LANCZOS)
    gold_lettering(face, m, bevel=0.6, shadow=True, outline=0)
    return face


# ---------------------------------------------------------------------------
# Outline of the window
# ---------------------------------------------------------------------------
def side_thorn(yb, h, width=9):
    """A hooked thorn on the left edge of the frame, base at row yb, tip h rows up."""
    base_x = FRAME_LEFT + 2.0
    tip = (5.3, yb - h)
    return path((base_x, yb),
                (FRAME_LEFT - 1.5, yb - 0.5),
                ((FRAME_LEFT - 4.0, yb - h * 0.35), tip),
                ((8.0, yb + width * 0.35), (FRAME_LEFT - 0.5, yb + width)),
                (base_x, yb + width))


def top_thorn(x, h, lean=3.0, width=11):
    """A thorn rising from the top edge of the frame, tip h rows above it."""
    y0 = FRAME_TOP + 2.0
    tip = (x + lean, FRAME_TOP - h)
    return path((x - width / 2.0, y0),
                (x - width / 2.0, FRAME_TOP - 1),
                ((x - 1.0, FRAME_TOP - h * 0.45), tip),
                ((x + 2.5, FRAME_TOP - h * 0.35), (x + width / 2.0, FRAME_TOP - 1)),
                (x + width / 2.0, y0))


def dragon_shapes():
    """Polygons of the left-hand dragon (wing, neck, head, horn, jaw)."""
    wing = path((14.5, 92.0),
                ((5.0, 70.0), (5.0, 50.0)),
                (5.2, 5.0),
                ((22.0, 44.0), (27.0, 3.4)),
                ((42.0, 44.0), (50.0, 4.0)),
                ((62.0, 42.0), (73.0, 7.0)),
                (80.0, 3.4),                 # claw at the wrist
                ((92.0, 14.0), (104.0, 40.0)),
                (64.0, 56.0),
                ((24.0, 60.0), (14.5, 92.0)))
    neck = path((88.0, 44.0),
                ((100.0, 22.0), (134.0, 16.0)),
                (150.0, 30.0),
                ((124.0, 34.0), (122.0, 46.0)),
                (88.0, 46.0))
    horn = path((140.0, 14.0),
                ((124.0, 3.0), (103.0, 4.0)),
                ((124.0, 8.5), (146.0, 18.0)))
    head = path((132.0, 16.0),
                (146.0, 7.0),
                (160.0, 8.0),
                (166.0, 3.5),      # brow spike
                (171.0, 10.0),
                ((200.0, 11.0), (222.0, 15.0)),
                (228.0, 13.5),     # nostril
                (240.0, 19.0),
                (238.0, 24.0),
                (233.0, 24.0),
                (230.0, 29.0),     # fang
                (226.0, 24.5),
                (219.0, 24.5),
                (216.5, 28.0),     # tooth
                (213.5, 24.8),
                (192.0, 26.0),     # corner of the mouth
                (214.0, 31.0),
                (218.0, 28.0),     # lower tooth
                (221.0, 31.5),
                (231.0, 33.0),
                (229.0, 37.0),
                ((212.0, 41.0), (190.0, 39.0)),
                (180.0, 44.0),     # beard barbs
                (174.0, 38.0),
                (166.0, 43.0),
                (160.0, 36.0),
                (150.0, 34.0),
                (134.0, 30.0))
    return {"wing": wing, "neck": neck, "horn": horn, "head": head}


# Top thorns between the dragon and the crest: (x, height).  The heights of
# the small ones are the knobs that settle the exact run count.
TOP_THORNS = [(262.0, 17), (292.0, 24), (322.0, 30), (352.0, 24), (382.0, 17)]
SIDE_THORN_ROWS = list(range(168, 700, 46))
SIDE_THORN_H = 10


CREST_C = MIRROR / 2.0 + 0.5      # 551.5, centre of column 551


def crest_shapes():
    """Symmetric outline of the crest at the top centre."""
    c = CREST_C
    half = [
        (c - 118.0, 134.0),
        (c - 118.0, 98.0),          # narrower between the buttons
        (c - 138.0, 96.0),
        (c - 138.0, 44.0),
        ((c - 152.0, 44.0), (c - 152.0, 33.0)),   # scroll under the arch
        ((c - 152.0, 22.0), (c - 140.0, 22.0)),
        ((c - 130.0, 22.0), (c - 130.0, 31.0)),
        ((c - 100.0, 28.0), (c - 70.0, 18.0)),
        ((c - 36.0, 12.0), (c - 14.0, 10.0)),
        (c - 8.0, 11.0),
        ((c - 12.0, 5.0), (c - 18.0, 6.0)),      # curl of the lily
        (c - 7.0, 4.0),
        (c - 3.0, 6.5),
        (c, 3.2),
    ]
    left = path(half[0], *half[1:])
    right = [(2 * c - x, y) for x, y in reversed(left)]
    body = left + right[1:]
    finials = []
    for dx, h in ((-92.0, 13.0), (92.0, 13.0)):
        x = c + dx
        finials.append([(x - 5.0, 28.0), (x - 4.0, 22.0), (x, 28.0 - h), (x + 4.0, 22.0),
                        (x + 5.0, 28.0)])
    return body, finials


def outline_masks(top_heights, side_heights):
    """Returns (silhouette, frame, dragons, thorns, crest) masks at 1x.

    top_heights / side_heights list the thorns of the left side followed by
    those of the right side; each thorn has its own height so the outline can
    be tuned one run at a time."""
    # dragons: drawn on the left and mirrored
    left = Image.new("L", (W * SS, H * SS), 0)
    d = ImageDraw.Draw(left)
    shapes = dragon_shapes()
    for key in ("wing", "neck", "horn", "head"):
        d.polygon(ss(shapes[key]), fill=255)
    dragon_left = downsample(left)
    dragons = ImageChops.lighter(dragon_left, mirrored(dragon_left))

    thorns = Image.new("L", (W * SS, H * SS), 0)
    d = ImageDraw.Draw(thorns)
    n_top, n_side = len(TOP_THORNS), len(SIDE_THORN_ROWS)
    for i, h in enumerate(top_heights):
        x = TOP_THORNS[i % n_top][0]
        pts = top_thorn(x, h)
        d.polygon(ss(pts if i < n_top else mirror_pts(pts)), fill=255)
    for i, h in enumerate(side_heights):
        pts = side_thorn(SIDE_THORN_ROWS[i % n_side], h)
        d.polygon(ss(pts if i < n_side else mirror_pts(pts)), fill=255)
    thorns = downsample(thorns)

    crest = Image.new("L", (W * SS, H * SS), 0)
    d = ImageDraw.Draw(crest)
    body, finials = crest_shapes()
    d.polygon(ss(body), fill=255)
    for f in finials:
        d.polygon(ss(f), fill=255)
    crest = downsample(crest)

    frame = Image.new("L", (W, H), 0)
    ch = 7  # chamfer of the lower corners
    ImageDraw.Draw(frame).polygon(
        [(FRAME_LEFT, FRAME_TOP), (FRAME_RIGHT, FRAME_TOP), (FRAME_RIGHT, FRAME_BOTTOM - ch),
         (FRAME_RIGHT - ch, FRAME_BOTTOM), (FRAME_LEFT + ch, FRAME_BOTTOM),
         (FRAME_LEFT, FRAME_BOTTOM - ch)], fill=255)

    ornaments = ImageChops.lighter(ImageChops.lighter(dragons, thorns), crest)
    silhouette = ImageChops.lighter(frame, ornaments)
    return silhouette, frame, dragons, thorns, crest


def count_runs(mask):
    """Number of maximal horizontal runs of set pixels, row by row."""
    data = mask.point(lambda v: 1 if v else 0).tobytes()
    total = 0
    for y in range(mask.height):
        total += len(re.findall(b"\x01+", data[y * mask.width:(y + 1) * mask.width]))
    return total


def settle_outline():
    """Adjust the thorn heights deterministically until the run count is exact.

    Every row of a thorn tip that stands free of the frame adds one run, so
    growing or shrinking a thorn by a row moves the count by about one."""
    top = [h for _, h in TOP_THORNS] * 2
    side = [SIDE_THORN_H] * (2 * len(SIDE_THORN_ROWS))
    # knobs: alternate sides so the picture stays nearly symmetric
    knobs = []
    for i in range(len(SIDE_THORN_ROWS)):
        knobs += [("side", i), ("side", i + len(SIDE_THORN_ROWS))]
    for i in (0, 4, 1, 3, 2):
        knobs += [("top", i), ("top", i + len(TOP_THORNS))]
    step = 0
    runs = None
    for _ in range(60):
        masks = outline_masks(top, side)
        runs = count_runs(masks[0])
        if runs == TARGET_RUNS:
            return masks, runs, top, side
        delta = 1 if runs < TARGET_RUNS else -1
        # move several knobs at once while far away, a single one when close
        for _ in range(max(1, abs(TARGET_RUNS - runs) // 2)):
            kind, i = knobs[step % len(knobs)]
            step += 1
            if kind == "side":
                side[i] = max(4, min(24, side[i] + delta))
            else:
                top[i] = max(6, min(34, top[i] + delta))
    raise SystemExit("could not settle the outline on %d runs (last %d)" % (TARGET_RUNS, runs))


# ---------------------------------------------------------------------------
# Background painting
# ---------------------------------------------------------------------------
def damask_texture():
    """Faint brocade of thorned vines for the red frame (128 = neutral)."""
    T = 40
    tile = Image.new("L", (T * SS, T * SS), 0)
    d = ImageDraw.Draw(tile)
    # a diamond lattice of thin vines ...
    for k in (-T, 0, T):
        d.line(ss([(k, 0), (k + T, T)]), fill=255, width=SS)
        d.line(ss([(k + T, 0), (k, T)]), fill=255, width=SS)
    # ... a thorn on each vine ...
    for cx, cy, sx in ((10, 10, 1), (30, 30, 1), (30, 10, -1), (10, 30, -1)):
        d.polygon(ss([(cx - 1.5 * sx, cy - 1.5), (cx + 1.5 * sx, cy + 1.5),
                      (cx - 3.5 * sx, cy + 4.5)]), fill=255)
    # ... and a small four-petalled flower in every diamond
    c = T / 2.0
    for dx, dy in ((0, -1), (1, 0), (0, 1), (-1, 0)):
        d.ellipse(ss([(c + dx * 3.5 - 2.6, c + dy * 3.5 - 2.6), (c + dx * 3.5 + 2.6, c + dy * 3.5 + 2.6)]),
                  fill=255)
    d.ellipse(ss([(c - 1.5, c - 1.5), (c + 1.5, c + 1.5)]), fill=120)
    tile = tile.resize((T, T), Image.LANCZOS)
    big = Image.new("L", (W, H), 0)
    for y in range(0, H, T):
        for x in range(0, W, T):
            big.paste(tile, (x, y))
    relief = shade_from_top(blur(big, 0.8), 0.35)
    # lines are also a touch darker than the ground, like woven brocade
    return ImageChops.subtract(relief, mul_const(big, 0.10))


def metal(height, ramp, strength=1.0, tone=None, tone_weight=0.0):
    light = shade(height, strength)
    if tone is not None:
        light = ImageChops.add(light, mul_const(tone, tone_weight), 1.0, -int(128 * tone_weight))
    return gradient_map(light, ramp)


def band(box_outer, box_inner):
    m = rect_mask(box_outer)
    ImageDraw.Draw(m).rectangle(box_inner, fill=0)
    return m


def paint_background(sil, frame, dragons, thorns, crest):
    size = (W, H)
    canvas = Image.new("RGB", size, (0, 0, 0))

    # --- red frame body: cushioned, lit from the upper left, faint damask
    cushion = blur(erode(frame, 3), 9)
    tone = vertical_gradient(size, 150, 110)
    light = add_gray(shade(cushion, 2.2), tone, offset=-128)
    light = add_gray(light, damask_texture(), offset=-128)
    paint(canvas, gradient_map(light, RED), frame)

    # darker shading towards the panel gives the frame depth
    around_panel = blur(rect_mask((PANEL[0] - 6, PANEL[1] - 6, PANEL[2] + 6, PANEL[3] + 6)), 10)
    paint(canvas, Image.new("RGB", size, (18, 0, 2)), mul_const(around_panel, 0.55))

    # --- bronze rim along the outer edge of the frame
    rim = ImageChops.subtract(frame, erode(frame, 5))
    rim_h = blur(ImageChops.subtract(erode(frame, 1), erode(frame, 5)), 1.5)
    paint(canvas, metal(rim_h, BRONZE, 0.55, vertical_gradient(size, 160, 125), 0.8), rim)
    # fine gold fillet inside the rim
    fillet = ImageChops.subtract(erode(frame, 8), erode(frame, 9))
    paint(canvas, Image.new("RGB", size, (214, 166, 72)), fillet)
    fillet2 = ImageChops.subtract(erode(frame, 9), erode(frame, 10))
    paint(canvas, Image.new("RGB", size, (46, 8, 8)), fillet2)

    # --- moulding around the panel
    px0, py0, px1, py1 = PANEL
    mould = band((px0 - 8, py0 - 8, px1 + 8, py1 + 8), (px0, py0, px1, py1))
    mould_h = blur(rect_mask((px0 - 6, py0 - 6, px1 + 6, py1 + 6)), 2.2)
    mould_h = ImageChops.subtract(mould_h, blur(rect_mask((px0 - 1, py0 - 1, px1 + 1, py1 + 1)), 1.2))
    paint(canvas, metal(mould_h, BRONZE, 2.5), mould)
    inner = band((px0 - 1, py0 - 1, px1 + 1, py1 + 1), (px0, py0, px1, py1))
    paint(canvas, Image.new("RGB", size, (226, 184, 92)), inner)

    # --- a bronze rail across the top band, carrying the buttons
    rail = rect_mask((FRAME_LEFT + 8, 84, FRAME_RIGHT - 8, 91))
    rail_h = blur(rect_mask((FRAME_LEFT + 8, 85, FRAME_RIGHT - 8, 90)), 1.6)
    paint(canvas, metal(rail_h, BRONZE, 2.5), rail)
    paint(canvas, Image.new("RGB", size, (230, 190, 100)), rect_mask((FRAME_LEFT + 8, 87, FRAME_RIGHT - 8, 87)))

    # corner bosses (gems set in bronze) in the lower corners
    for cx, cy in ((29.5, 727.5), (MIRROR + 1 - 29.5, 727.5)):
        m = Image.new("L", (W * SS, H * SS), 0)
        ImageDraw.Draw(m).ellipse(ss([(cx - 11, cy - 11), (cx + 11, cy + 11)]), fill=255)
        m = m.resize(size, Image.LANCZOS)
        paint(canvas, Image.new("RGB", size, (20, 4, 2)), mul_const(blur(m, 2), 0.8))
        paint(canvas, metal(blur(m, 5.0), BRONZE, 0.7), m)
        g = Image.new("L", (W * SS, H * SS), 0)
        ImageDraw.Draw(g).ellipse(ss([(cx - 6, cy - 6), (cx + 6, cy + 6)]), fill=255)
        g = g.resize(size, Image.LANCZOS)
        paint(canvas, metal(blur(g, 2.0), EMBER, 1.8), g)

    # --- ornaments: dragons, crest and thorns in bronze and gold
    orn = ImageChops.lighter(ImageChops.lighter(dragons, thorns), crest)
    # ridges: wing bones and horns
    ridges = Image.new("L", size, 0)
    rd = ImageDraw.Draw(ridges)
    root = (64.0, 48.0)
    for tip in ((7.0, 8.0), (27.0, 6.0), (50.0, 7.0), (73.0, 9.0), (80.0, 6.0)):
        for pts in ((root, tip), (mirror_pts([root])[0], mirror_pts([tip])[0])):
            rd.line(pts, fill=255, width=3)
    for pts in ([(146.0, 12.0), (112.0, 5.0)], [(150.0, 11.0), (168.0, 10.0), (200.0, 14.0)]):
        rd.line(pts, fill=200, width=2)
        rd.line(mirror_pts(pts), fill=200, width=2)
    ridges = ImageChops.multiply(blur(ridges, 0.8), orn)
    # scales on the dragons' necks and heads
    scales = Image.new("L", size, 0)
    sd = ImageDraw.Draw(scales)
    for row, y in enumerate(range(0, 80, 4)):
        for x in range(-6 + (row % 2) * 3, W, 6):
            sd.arc((x, y, x + 6, y + 6), 0, 180, fill=255, width=1)
    wing = Image.new("L", (W * SS, H * SS), 0)
    wd = ImageDraw.Draw(wing)
    wd.polygon(ss(dragon_shapes()["wing"]), fill=255)
    wd.polygon(ss(mirror_pts(dragon_shapes()["wing"])), fill=255)
    wing = downsample(wing)
    scales = ImageChops.multiply(scales, ImageChops.subtract(erode(dragons, 2), dilate(wing, 2)))
    sharp = ImageChops.add(mul_const(blur(orn, 1.2), 0.8), mul_const(ridges, 0.45))
    sharp = ImageChops.subtract(sharp, mul_const(blur(scales, 0.5), 0.16))
    rounded = blur(orn, 5.0)
    light = add_gray(shade(sharp, 1.3), shade(rounded, 4.5))
    light = add_gray(light, vertical_gradient(size, 132, 100), offset=-120)
    light = light.point(lambda v: int(round(128 + 0.8 * (v - 128))))
    paint(canvas, gradient_map(light, BRONZE), orn)

    # the wings' membranes are dark, burnt copper between the bright bones
    bones = Image.new("L", size, 0)
    bd = ImageDraw.Draw(bones)
    for tip in ((7.0, 8.0), (27.0, 6.0), (50.0, 7.0), (73.0, 9.0), (80.0, 6.0)):
        for pts in ((root, tip), (mirror_pts([root])[0], mirror_pts([tip])[0])):
            bd.line(pts, fill=255, width=4)
    membrane = ImageChops.subtract(erode(wing, 2), dilate(bones, 1))
    mem_h = ImageChops.subtract(mul_const(blur(wing, 2.0), 0.7), mul_const(blur(bones, 2.0), 0.5))
    mem_tone = vertical_gradient(size, 120, 150)
    paint(canvas, metal(ImageChops.invert(mem_h), MEMBRANE, 2.2, mem_tone, 1.0),
          blur(membrane, 0.7))

    # gold edge highlight on the ornaments' upper left borders
    edge = ImageChops.subtract(orn, erode(orn, 1))
    upper = shade(blur(orn, 1.0), 3.0).point(lambda v: 255 if v > 150 else 0)
    paint(canvas, Image.new("RGB", size, (246, 214, 128)), ImageChops.multiply(edge, upper))

    # eyes
    for cx, cy in ((176.0, 16.5), (MIRROR + 1 - 176.0, 16.5)):
        g = Image.new("L", (W * SS, H * SS), 0)
        ImageDraw.Draw(g).polygon(ss([(cx - 5, cy + 1), (cx, cy - 2.5), (cx + 5, cy), (cx, cy + 2.5)]),
                                  fill=255)
        g = g.resize(size, Image.LANCZOS)
        paint(canvas, Image.new("RGB", size, (40, 4, 2)), dilate(g, 1))
        paint(canvas, Image.new("RGB", size, (255, 150, 40)), g)

    # --- crest plaque: recessed red field with a gold border
    c = CREST_C
    field = erode(crest, 9)
    field = ImageChops.multiply(field, rect_mask((0, 0, W - 1, 127)))
    field_h = ImageChops.invert(blur(field, 3))
    ftone = vertical_gradient(size, 120, 160)
    paint(canvas, metal(field_h, RED, 1.6, ftone, 1.0), field)
    fborder = ImageChops.subtract(field, erode(field, 2))
    paint(canvas, metal(blur(fborder, 0.6), GOLD, 2.0), fborder)

    # title
    title_font = font(33)
    tm = text_mask(size, "THORNVALE", title_font, (c, 66.0), spacing=2)
    gold_lettering(canvas, tm, bevel=1.1, shadow=True, outline=1)
    # a small ornament under the title
    orn2 = Image.new("L", (W * SS, H * SS), 0)
    od = ImageDraw.Draw(orn2)
    od.polygon(ss([(c - 70, 100), (c - 8, 97.5), (c, 93), (c + 8, 97.5), (c + 70, 100),
                   (c + 8, 102.5), (c, 107), (c - 8, 102.5)]), fill=255)
    orn2 = orn2.resize(size, Image.LANCZOS)
    paint(canvas, metal(blur(orn2, 1.0), GOLD, 2.0), orn2)
    gem = Image.new("L", (W * SS, H * SS), 0)
    ImageDraw.Draw(gem).ellipse(ss([(c - 4.5, 95.5), (c + 4.5, 104.5)]), fill=255)
    gem = gem.resize(size, Image.LANCZOS)
    paint(canvas, metal(blur(gem, 1.5), EMBER, 3.0), gem)

    # --- buttons painted into the frame at their places
    for caption, x, y in LINK_BUTTONS:
        # a soft shadow under each tab
        sh = blur(rect_mask((x + 1, y + 2, x + LINK_FACE[0] + 1, y + LINK_FACE[1] + 1)), 2.5)
        paint(canvas, Image.new("RGB", size, (12, 0, 0)), mul_const(sh, 0.7))
        canvas.paste(link_face(caption), (x, y))
    mx, my, mw, mh = MINIMISE_BOX
    canvas.paste(minimise_face((mw, mh)), (mx, my))
    cx_, cy_, cw, chh = CLOSE_BOX
    canvas.paste(close_face((cw, chh)), (cx_, cy_))

    # --- the panel itself is pure black
    canvas.paste((0, 0, 0), (PANEL[0], PANEL[1], PANEL[2] + 1, PANEL[3] + 1))
    return canvas


# ---------------------------------------------------------------------------
# GIF writer
# ---------------------------------------------------------------------------
def lzw_compress(pixels, min_code_size=8):
    """GIF flavoured LZW: variable width codes (up to 12 bits), LSB first."""
    clear = 1 << min_code_size
    end = clear + 1
    out = bytearray()
    acc = 0
    nbits = 0

    def emit(code, width):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += width
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8

    width = min_code_size + 1
    table = {}
    next_code = end + 1
    emit(clear, width)
    prefix = pixels[0]
    for byte in pixels[1:]:
        key = (prefix << 8) | byte
        code = table.get(key)
        if code is not None:
            prefix = code
            continue
        emit(prefix, width)
        if next_code < 4096:
            table[key] = next_code
            next_code += 1
            if next_code > (1 << width) and width < 12:
                width += 1
        else:
            emit(clear, width)
            table = {}
            next_code = end + 1
            width = min_code_size + 1
        prefix = byte
    emit(prefix, width)
    emit(end, width)
    if nbits:
        out.append(acc & 0xFF)
    return bytes(out)


def write_gif(path_, size, palette, indices, transparent):
    """Single frame GIF89a with a local colour table and no global one."""
    w, h = size
    assert len(palette) == 256 and len(indices) == w * h
    g = bytearray(b"GIF89a")
    # logical screen: no global colour table, 8 bits colour resolution
    g += struct.pack("<HHBBB", w, h, 0x70, 0, 0)
    # graphic control: no disposal, transparent colour flag set
    g += struct.pack("<BBBBHBB", 0x21, 0xF9, 4, 0x01, 0, transparent, 0)
    # image descriptor: local colour table of 2^(7+1) entries, not interlaced
    g += struct.pack("<BHHHHB", 0x2C, 0, 0, w, h, 0x80 | 7)
    for r, gg, b in palette:
        g += bytes((r, gg, b))
    g.append(8)
    data = lzw_compress(indices, 8)
    for i in range(0, len(data), 255):
        chunk = data[i:i + 255]
        g.append(len(chunk))
        g += chunk
    g.append(0)
    g.append(0x3B)
    with open(path_, "wb") as f:
        f.write(g)
    return bytes(g)


def quantise(canvas, cut_mask):
    """253 colours for the artwork + black + white (cut away) + an unused entry."""
    BLACK_I, WHITE_I, UNUSED_I = 253, 254, 255
    art = canvas.copy()
    # the cut-away area must not steal palette entries
    art.paste((0, 0, 0), (0, 0), cut_mask)
    base = art.quantize(colors=253, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    pal = base.getpalette()[:253 * 3]
    pal += [0, 0, 0] * (253 - len(pal) // 3)
    colours = [tuple(pal[i * 3:i * 3 + 3]) for i in range(253)]
    # nothing inside the window may be pure white
    colours = [(254, 254, 254) if c == WHITE else c for c in colours]
    ref = Image.new("P", (1, 1))
    flat = []
    for c in colours:
        flat += list(c)
    ref.putpalette(flat + [0, 0, 0] * 3)
    # restrict the dither to the first 253 entries by mapping against them only
    dithered = art.quantize(palette=ref, dither=Image.Dither.FLOYDSTEINBERG)
    idx = Image.frombytes("L", canvas.size, dithered.tobytes())
    # the reference palette is padded with black; send those to the black entry
    idx = idx.point(lambda v: v if v < 253 else BLACK_I)
    idx.paste(BLACK_I, (PANEL[0], PANEL[1], PANEL[2] + 1, PANEL[3] + 1))
    idx.paste(WHITE_I, (0, 0), cut_mask)
    palette = colours + [(0, 0, 0), WHITE, (255, 0, 255)]
    return idx, palette, UNUSED_I, WHITE_I


def check_gif(path_, blob, idx, palette, transparent, white_index):
    im = Image.open(path_)
    assert im.format == "GIF" and im.size == (W, H), (im.format, im.size)
    assert getattr(im, "n_frames", 1) == 1
    assert im.info.get("transparency") == transparent
    assert im.tobytes() == idx.tobytes(), "pixels do not survive the round trip"
    assert blob[:6] == b"GIF89a"
    w, h, packed, _, _ = struct.unpack("<HHBBB", blob[6:13])
    assert (w, h) == (W, H) and packed & 0x80 == 0, "no global colour table expected"
    assert blob[13:16] == b"\x21\xF9\x04" and blob[16] & 1 and blob[19] == transparent
    assert blob[21] == 0x2C
    left, top, iw, ih, flags = struct.unpack("<HHHHB", blob[22:31])
    assert (left, top, iw, ih) == (0, 0, W, H)
    assert flags & 0x80 and flags & 0x07 == 7 and not flags & 0x40, "local table, not interlaced"
    lct = blob[31:31 + 768]
    assert [tuple(lct[i:i + 3]) for i in range(0, 768, 3)] == palette
    assert blob[31 + 768] == 8
    assert blob[-1] == 0x3B
    used = set(idx.getdata())
    assert transparent not in used, "transparent index must not be used"
    whites = [i for i, c in enumerate(palette) if c == WHITE]
    assert whites == [white_index], whites
    for i in used:
        if i != white_index:
            assert min(palette[i]) < 245, ("colour too close to white", i, palette[i])
    return im.convert("RGB")


def exact_white(rgb):
    """255 where a pixel is exactly (255, 255, 255), else 0."""
    r, g, b = [band.point(lambda v: 255 if v == 255 else 0) for band in rgb.split()]
    return ImageChops.multiply(ImageChops.multiply(r, g), b)


# ---------------------------------------------------------------------------
# JPEG buttons and icon
# ---------------------------------------------------------------------------
def save_jpeg(img, name):
    p = os.path.join(ASSETS, name)
    img.save(p, format="JPEG", quality=90, dpi=(96, 96), optimize=False,
             progressive=False, subsampling=0)
    blob = open(p, "rb").read()
    assert blob[:4] == b"\xFF\xD8\xFF\xE0" and blob[6:11] == b"JFIF\x00", name
    units, xd, yd = blob[13], struct.unpack(">H", blob[14:16])[0], struct.unpack(">H", blob[16:18])[0]
    assert (units, xd, yd) == (1, 96, 96), (name, units, xd, yd)
    assert b"\xFF\xC0" in blob and b"\xFF\xC2" not in blob, name
    assert Image.open(p).size == img.size
    return len(blob)


def icon_image():
    S = 256
    img = Image.new("RGBA", (S, S), (0, 0, 0, 0))
    ground = Image.new("L", (S, S), 0)
    ImageDraw.Draw(ground).rounded_rectangle((6, 6, S - 7, S - 7), radius=52, fill=255)
    size = (S, S)
    body = Image.new("RGB", size)
    h = blur(ground, 14)
    light = add_gray(shade(h, 1.2), vertical_gradient(size, 170, 100))
    body.paste(gradient_map(light, RED))
    # bronze rim
    rim = ImageChops.subtract(ground, erode(ground, 12))
    body.paste(metal(blur(erode(ground, 3), 5), BRONZE, 2.5,
                     vertical_gradient(size, 170, 90), 0.7), (0, 0), rim)
    line = ImageChops.subtract(erode(ground, 17), erode(ground, 20))
    body.paste((220, 176, 84), (0, 0), line)
    # gold T
    tm = text_mask(size, "T", font(196), (S / 2.0, S / 2.0 + 4))
    gold_lettering(body, tm, bevel=3.0, shadow=True, outline=4)
    img.paste(body, (0, 0), ground)
    img.putalpha(ground)
    small = img.convert("RGBa").resize((64, 64), Image.LANCZOS).convert("RGBA")
    return small


def write_ico(path_, img):
    w, h = img.size
    assert (w, h) == (64, 64) and img.mode == "RGBA"
    px = img.load()
    xor = bytearray()
    and_mask = bytearray()
    for y in range(h - 1, -1, -1):          # bottom-up rows
        bits = 0
        row_mask = bytearray()
        for x in range(w):
            r, g, b, a = px[x, y]
            if a == 0:
                r = g = b = 0
            xor += bytes((b, g, r, a))
            bits = (bits << 1) | (1 if a == 0 else 0)
            if x % 8 == 7:
                row_mask.append(bits)
                bits = 0
        and_mask += row_mask                 # 8 bytes, already a multiple of 4
    header = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 32, 0, len(xor) + len(and_mask),
                         0, 0, 0, 0)
    dib = header + bytes(xor) + bytes(and_mask)
    ico = struct.pack("<HHH", 0, 1, 1)
    ico += struct.pack("<BBBBHHII", w, h, 0, 0, 1, 32, len(dib), 6 + 16)
    ico += dib
    with open(path_, "wb") as f:
        f.write(ico)
    assert len(ico) == 22 + 40 + 64 * 64 * 4 + 64 * 8
    back = Image.open(path_)
    assert back.size == (64, 64)
    return len(ico)


# ---------------------------------------------------------------------------
def main():
    os.makedirs(ASSETS, exist_ok=True)

    (sil, frame, dragons, thorns, crest), runs, top_h, side_h = settle_outline()
    assert runs == TARGET_RUNS

    canvas = paint_background(sil, frame, dragons, thorns, crest)
    cut = ImageChops.invert(sil)                    # 255 where the window is cut away
    idx, palette, transparent, white_index = quantise(canvas, cut)

    gif_path = os.path.join(ASSETS, "LauncherBackground.gif")
    blob = write_gif(gif_path, (W, H), palette, idx.tobytes(), transparent)
    rgb = check_gif(gif_path, blob, idx, palette, transparent, white_index)

    # the window region as the launcher will see it, from the decoded colours
    is_white = exact_white(rgb)
    assert is_white.tobytes() == cut.tobytes()
    final_runs = count_runs(ImageChops.invert(is_white))
    assert final_runs == TARGET_RUNS, final_runs
    box = ImageChops.invert(is_white).getbbox()
    assert box[0] >= 5 and box[1] >= 3 and box[2] <= 1098 and box[3] <= 742, box
    black_box = rgb.crop((PANEL[0], PANEL[1], PANEL[2] + 1, PANEL[3] + 1))
    assert black_box.getextrema() == ((0, 0), (0, 0), (0, 0))

    sizes = {"LauncherBackground.gif": len(blob)}
    wide = (156, 35)
    sizes["OfficialSiteButtonImage.jpg"] = save_jpeg(
        link_face("官方网站", (156, 38), wide), "OfficialSiteButtonImage.jpg")
    sizes["TopUpButtonImage.jpg"] = save_jpeg(
        link_face("充值中心", (159, 36), wide), "TopUpButtonImage.jpg")
    sizes["ForumButtonImage.jpg"] = save_jpeg(
        link_face("游戏论坛", (157, 35), wide), "ForumButtonImage.jpg")
    sizes["CustomerServiceButtonImage.jpg"] = save_jpeg(
        link_face("客服中心", (156, 35), wide), "CustomerServiceButtonImage.jpg")
    sizes["MinimiseButtonImage.jpg"] = save_jpeg(minimise_face((24, 21)), "MinimiseButtonImage.jpg")
    sizes["CloseButtonImage.jpg"] = save_jpeg(close_face((20, 22)), "CloseButtonImage.jpg")
    sizes["ProgramIcon.ico"] = write_ico(os.path.join(ASSETS, "ProgramIcon.ico"), icon_image())

    used = len(set(idx.getdata()))
    print("outline runs: %d (top thorns %s, side thorns %s)" % (final_runs, top_h, side_h))
    print("palette: %d entries used, white = %d, transparent = %d (unused)"
          % (used, white_index, transparent))
    for name in sorted(sizes):
        print("%-32s %7d bytes" % (name, sizes[name]))


if __name__ == "__main__":
    main()
