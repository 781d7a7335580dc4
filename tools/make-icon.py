#!/usr/bin/env python3
"""Draws the program icon, app/lumivex.ico: a page with a magnifying glass showing "+" over it.

Not part of the build; run it after changing the drawing and commit the result:
    python3 tools/make-icon.py [output.ico] [--preview DIR]
Every size is laid out on its own pixel grid (straight edges on whole pixels, one-pixel strokes
at the small sizes, text lines only where they stay readable), so 16 px is not a blurred 256 px.
Standard library only. Sizes below 256 are 32-bit BMP images with alpha; 256 is PNG.
"""
import math
import os
import struct
import sys
import zlib

SIZES = (16, 20, 24, 32, 48, 256)

BORDER = (0x55, 0x61, 0x70)
PAPER = (0xFF, 0xFF, 0xFF)
FOLD = (0xD8, 0xDE, 0xE6)
LINES = (0xA9, 0xB6, 0xC6)
GLASS = (0xCC, 0xE6, 0xFF)
RING = (0x1C, 0x4A, 0x96)
PLUS = (0x1C, 0x4A, 0x96)
HANDLE = (0x3A, 0x3D, 0x44)
SHINE = (0xFF, 0xFF, 0xFF)


def convex(points):
    """Signed distance (approximate outside corners) to a convex polygon given clockwise."""
    edges = []
    for i, (ax, ay) in enumerate(points):
        bx, by = points[(i + 1) % len(points)]
        length = math.hypot(bx - ax, by - ay)
        nx, ny = (by - ay) / length, -(bx - ax) / length  # outward for clockwise on a y-down grid
        edges.append((nx, ny, nx * ax + ny * ay))
    return lambda x, y: max(nx * x + ny * y - c for nx, ny, c in edges)


def box(x0, y0, x1, y1):
    return convex([(x0, y0), (x1, y0), (x1, y1), (x0, y1)])


def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def ring(cx, cy, r, width):
    return lambda x, y: abs(math.hypot(x - cx, y - cy) - r) - width / 2


def capsule(ax, ay, bx, by, r):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy

    def sd(x, y):
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length2))
        return math.hypot(x - ax - t * dx, y - ay - t * dy) - r

    return sd


def inset(sd, amount):
    return lambda x, y: sd(x, y) + amount


def union(*sds):
    return lambda x, y: min(sd(x, y) for sd in sds)


def snap_half(value):
    return math.floor(value) + 0.5


def layout(n):
    """Layers (distance function, colour, opacity) bottom to top for an n by n image."""
    bw = max(1, round(n / 40))  # page border
    px0, py0 = round(0.08 * n), round(0.03 * n)
    px1, py1 = round(0.66 * n), round(0.84 * n)
    fold = max(3, round(0.2 * n))
    page = convex([(px0, py0), (px1 - fold, py0), (px1, py0 + fold), (px1, py1), (px0, py1)])
    flap = convex([(px1 - fold, py0), (px1, py0 + fold), (px1 - fold, py0 + fold)])
    layers = [(page, BORDER, 1.0), (inset(page, bw), PAPER, 1.0)]

    if n >= 24:  # writing on the page; at smaller sizes it would only be grey noise
        lw = max(1, round(n / 28))
        step = max(3, round(n / 9))
        y = py0 + fold + step // 2 if n < 48 else py0 + round(0.1 * n)
        while y + lw <= py1 - 2 * bw:
            right = px1 - fold - bw - lw if y < py0 + fold + bw else px1 - 2 * bw - lw
            layers.append((box(px0 + 2 * bw + lw, y, right, y + lw), LINES, 1.0))
            y += step
    layers += [(flap, BORDER, 1.0), (inset(flap, bw), FOLD, 1.0)]

    thick = max(1, int(0.075 * n + 0.25))  # stroke of the "+"; one pixel up to 20 px
    centre = 0.56 * n
    c = snap_half(centre) if thick % 2 else float(round(centre))
    r_out = max(5.0, 0.27 * n)
    rw = max(2.0, 0.085 * n)  # ring width; two pixels at least, one and a half only blurs
    r_mid = r_out - rw / 2
    r_in = r_out - rw
    arm = round(0.68 * r_in - thick / 2)
    half = arm + thick / 2  # keeps the ends of the "+" on whole pixels

    hr = max(1.0, 0.066 * n)  # handle radius
    d = r_mid / math.sqrt(2)
    end = n - 0.5 - 0.02 * n - hr / math.sqrt(2)
    layers.append((circle(c, c, r_mid), GLASS, 0.82))
    if n >= 32:  # a glint on the glass
        sx = c - 0.42 * r_in
        layers.append((circle(sx, sx, 0.16 * r_in), SHINE, 0.9))
    layers.append((capsule(c + d, c + d, end, end, hr), HANDLE, 1.0))
    layers.append((ring(c, c, r_mid, rw), RING, 1.0))
    layers.append(
        (union(box(c - half, c - thick / 2, c + half, c + thick / 2),
               box(c - thick / 2, c - half, c + thick / 2, c + half)), PLUS, 1.0))
    return layers


def render(n):
    """Premultiplied composition of the layers; returns rows of (r, g, b, a) top to bottom."""
    layers = layout(n)
    rows = []
    for j in range(n):
        row = []
        for i in range(n):
            x, y = i + 0.5, j + 0.5
            r = g = b = a = 0.0
            for sd, colour, opacity in layers:
                cover = max(0.0, min(1.0, 0.5 - sd(x, y))) * opacity
                if cover:
                    keep = 1.0 - cover
                    r = colour[0] * cover + r * keep
                    g = colour[1] * cover + g * keep
                    b = colour[2] * cover + b * keep
                    a = cover + a * keep
            if a > 0:
                row.append((round(r / a), round(g / a), round(b / a), round(a * 255)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def png(rows):
    n = len(rows)
    raw = b"".join(b"\0" + bytes(v for px in row for v in px) for row in rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", n, n, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def bmp(rows):
    """Icon BMP: header with doubled height, BGRA rows bottom-up, then the 1-bit AND mask."""
    n = len(rows)
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for r, g, b, a in row)
    stride = (n + 31) // 32 * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(stride)
        for i, px in enumerate(row):
            if px[3] == 0:
                bits[i // 8] |= 0x80 >> (i % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, len(colour) + len(mask), 0, 0, 0,
                         0)
    return header + colour + bytes(mask)


def ico(images):
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    body = b""
    for n, data in images:
        side = 0 if n >= 256 else n
        out += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
        body += data
    return out + body


def preview(rows, scale):
    """The image over a grey checkerboard, enlarged, to look at."""
    out = []
    for j, row in enumerate(rows):
        line = []
        for i, (r, g, b, a) in enumerate(row):
            for k in range(scale):
                back = 0xC8 if ((i * scale + k) // 8 + (j * scale) // 8) % 2 else 0xF0
                f = a / 255
                px = tuple(round(v * f + back * (1 - f)) for v in (r, g, b)) + (255,)
                line.append(px)
        out.extend([line] * scale)
    return out


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    target = os.path.join(here, "..", "app", "lumivex.ico")
    preview_dir = None
    args = list(argv)
    if "--preview" in args:
        k = args.index("--preview")
        preview_dir = args[k + 1]
        del args[k:k + 2]
    if args:
        target = args[0]
    images = []
    for n in SIZES:
        rows = render(n)
        images.append((n, png(rows) if n >= 256 else bmp(rows)))
        if preview_dir:
            os.makedirs(preview_dir, exist_ok=True)
            with open(os.path.join(preview_dir, f"icon-{n}.png"), "wb") as f:
                f.write(png(preview(rows, max(1, 256 // n))))
    with open(target, "wb") as f:
        f.write(ico(images))


if __name__ == "__main__":
    main(sys.argv[1:])
