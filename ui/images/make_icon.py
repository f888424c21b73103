#!/usr/bin/env python3
"""Draws the program's icon, the handset of the tree's images, at the sizes desktops
look for (16, 24, 32, 48, 64, 128 and 256 pixels) and as SVG, into ui/images/icon/.

The 16 px icon is the tree's pixel-art handset itself (make_images.py). The larger ones
are drawn from the same handset described as shapes, not enlarged from the 16 px
picture: each pixel is sampled 4 x 4 times, so edges are smooth, and the outline keeps
a width in pixels that suits the size. Run it again after changing a shape:

    python3 ui/images/make_icon.py        # rewrites ui/images/icon/*

Only the standard library is used.
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_images  # noqa: E402  (the palette, the 16 px handset, the PNG writer)

SIZES = [16, 24, 32, 48, 64, 128, 256]
SAMPLES = 4  # per pixel and direction

P = make_images.PALETTE
OUTLINE = P["k"]
BODY = P["D"]
SHINE = P["G"]
DISPLAY = P["c"]
KEY = P["w"]

# The handset in a 16 x 16 box (the pixel art's grid): rounded rectangles as
# (left, top, right, bottom, radius), each drawn with an outline of the size's width.
ANTENNA = (9.7, 0.4, 11.5, 3.4, 0.9)
BODY_BOX = (3.2, 2.2, 14.8, 15.4, 2.0)
SCREEN = (5.0, 3.9, 13.0, 8.9, 0.8)
KEYS = [(x, y, x + 1.8, y + 1.1, 0.45)
        for y in (10.1, 11.9, 13.5) for x in (5.0, 8.1, 11.2)]


def outline_px(size):
    """Outline width in pixels: one pixel up to 32, then growing gently."""
    return max(1.0, size / 32.0)


def inside_round_rect(x, y, box):
    left, top, right, bottom, r = box
    if x < left or x > right or y < top or y > bottom:
        return False
    cx = min(max(x, left + r), right - r)
    cy = min(max(y, top + r), bottom - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def inset(box, d):
    left, top, right, bottom, r = box
    return (left + d, top + d, right - d, bottom - d, max(r - d, 0.0))


def layers(size):
    """The shapes to paint, bottom first, as (box, colour), in 16-unit coordinates."""
    w = outline_px(size) * 16.0 / size  # the outline in units
    out = [(ANTENNA, OUTLINE), (BODY_BOX, OUTLINE), (inset(BODY_BOX, w), BODY)]
    # A lighter band down the left edge of the body, as light falling on it.
    b = inset(BODY_BOX, w)
    out.append(((b[0], b[1] + 0.8, b[0] + 0.7, b[3] - 0.8, 0.35), SHINE))
    out += [(SCREEN, OUTLINE), (inset(SCREEN, w), DISPLAY)]
    out += [(k, KEY) for k in KEYS]
    return out


def over(dst, src, cover):
    """src painted over dst with coverage cover (0..1); straight alpha RGBA."""
    sa = src[3] / 255.0 * cover
    da = dst[3] / 255.0
    a = sa + da * (1 - sa)
    if a <= 0:
        return (0, 0, 0, 0)
    rgb = [(src[i] * sa + dst[i] * da * (1 - sa)) / a for i in range(3)]
    return tuple(int(round(c)) for c in rgb) + (int(round(a * 255)),)


def render(size):
    pixels = [[(0, 0, 0, 0)] * size for _ in range(size)]
    unit = 16.0 / size
    step = unit / SAMPLES
    for box, colour in layers(size):
        left, top, right, bottom, _ = box
        x0, x1 = int(left / unit), min(size - 1, int(right / unit) + 1)
        y0, y1 = int(top / unit), min(size - 1, int(bottom / unit) + 1)
        for py in range(y0, y1 + 1):
            row = pixels[py]
            for px in range(x0, x1 + 1):
                hits = 0
                for sy in range(SAMPLES):
                    y = py * unit + (sy + 0.5) * step
                    for sx in range(SAMPLES):
                        if inside_round_rect(px * unit + (sx + 0.5) * step, y, box):
                            hits += 1
                if hits:
                    row[px] = over(row[px], colour, hits / (SAMPLES * SAMPLES))
    return pixels


def png_from_pixels(pixels):
    import struct
    import zlib
    size = len(pixels)
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        for p in row:
            raw.extend(p)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def svg():
    """The 256 px drawing as SVG, in the 16-unit box."""
    def colour(c):
        return "#%02x%02x%02x" % c[:3]

    parts = ['<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 16 16">']
    for (left, top, right, bottom, r), c in layers(256):
        parts.append('  <rect x="%.3f" y="%.3f" width="%.3f" height="%.3f" rx="%.3f" fill="%s"/>'
                     % (left, top, right - left, bottom - top, r, colour(c)))
    parts.append("</svg>")
    return "\n".join(parts) + "\n"


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder = os.path.join(here, "icon")
    os.makedirs(folder, exist_ok=True)
    handset = dict(make_images.IMAGES)["phone"]
    for size in SIZES:
        data = make_images.png_bytes(handset) if size == 16 else png_from_pixels(render(size))
        with open(os.path.join(folder, "zarvo-%d.png" % size), "wb") as f:
            f.write(data)
    with open(os.path.join(folder, "zarvo.svg"), "w") as f:
        f.write(svg())


if __name__ == "__main__":
    main()
