#!/usr/bin/env python3
"""Draws the eight 16 x 16 images of the tree (ilBitmaps) as pixel art and writes them
as RGBA PNG files with a transparent background.

The pictures are kept here as text so that a change can be reviewed line by line; the
PNG files next to this script are its output and are committed with it. Run it again
after editing a picture:

    python3 ui/images/make_images.py            # rewrites ui/images/*.png
    python3 ui/images/make_images.py --preview out.png   # also an 8x enlarged sheet

Only the standard library is used (zlib and struct make the PNG).
"""

import os
import struct
import sys
import zlib

# One character per pixel; "." is transparent.
PALETTE = {
    ".": (0, 0, 0, 0),
    "k": (32, 32, 40, 255),      # outline
    "w": (255, 255, 255, 255),   # paper
    "g": (216, 216, 216, 255),   # light grey
    "G": (140, 140, 150, 255),   # mid grey
    "D": (80, 80, 90, 255),      # dark grey
    "y": (250, 216, 104, 255),   # folder yellow
    "Y": (208, 160, 32, 255),    # folder shade
    "b": (48, 96, 192, 255),     # blue
    "B": (128, 168, 232, 255),   # light blue
    "r": (208, 40, 40, 255),     # red
    "R": (150, 24, 24, 255),     # dark red
    "s": (244, 200, 160, 255),   # skin
    "h": (112, 64, 32, 255),     # hair
    "c": (150, 210, 150, 255),   # handset display
    "n": (64, 160, 64, 255),     # green
}

# Index order is the tree's: contact, group, event, phone, address book, calendar,
# custom ring tones (the node), custom ring tone (an entry).
IMAGES = [
    ("contact", [  # a card with a portrait and lines of text
        "................",
        "................",
        "kkkkkkkkkkkkkkkk",
        "kBBBBBBBBBBBBBBk",
        "kwwwwwwwwwwwwwwk",
        "kwwhhhwwwwwwwwwk",
        "kwhssshwGGGGGGwk",
        "kwhssshwwwwwwwwk",
        "kwwssswwGGGGGwwk",
        "kwwwswwwwwwwwwwk",
        "kwbbbbbwGGGGGGwk",
        "kbbbbbbbwwwwwwwk",
        "kbbbbbbbGGGGwwwk",
        "kkkkkkkkkkkkkkkk",
        "................",
        "................",
    ]),
    ("group", [  # a folder
        "................",
        "................",
        ".kkkkkk.........",
        "kyyyyyyk........",
        "kyyyyyyykkkkkkk.",
        "kyyyyyyyyyyyyyyk",
        "kYYYYYYYYYYYYYYk",
        "kyyyyyyyyyyyyyyk",
        "kyyyyyyyyyyyyyyk",
        "kyyyyyyyyyyyyyyk",
        "kyyyyyyyyyyyyyyk",
        "kyyyyyyyyyyyyyyk",
        "kYYYYYYYYYYYYYYk",
        "kkkkkkkkkkkkkkkk",
        "................",
        "................",
    ]),
    ("event", [  # a calendar page: one day with its number
        "................",
        "...kk......kk...",
        ".kkDDkkkkkkDDkk.",
        ".krrrrrrrrrrrrk.",
        ".krrrrrrrrrrrrk.",
        ".kkkkkkkkkkkkkk.",
        ".kwwwwwwwwwwwwk.",
        ".kwwkkkwwwwkwwk.",
        ".kwwwwkwwwkkwwk.",
        ".kwwwkkwwwwkwwk.",
        ".kwwwwkwwwwkwwk.",
        ".kwwkkkwwwkkkwk.",
        ".kwwwwwwwwwwwwk.",
        ".kgggggggggggDk.",
        ".kkkkkkkkkkkkk..",
        "................",
    ]),
    ("phone", [  # a mobile handset
        "..........kk....",
        "..........kk....",
        "....kkkkkkkkkk..",
        "...kDDDDDDDDDDk.",
        "...kDkkkkkkkkDk.",
        "...kDkcccccckDk.",
        "...kDkcccccckDk.",
        "...kDkcccccckDk.",
        "...kDkkkkkkkkDk.",
        "...kDDDDDDDDDDk.",
        "...kDwDwDDwDwDk.",
        "...kDDDDDDDDDDk.",
        "...kDwDwDDwDwDk.",
        "...kDDDDDDDDDDk.",
        "....kkkkkkkkkk..",
        "................",
    ]),
    ("addressbook", [  # an address book: cover with a person, index tabs at the edge
        "................",
        ".kkkkkkkkkkkk...",
        ".kDbbbbbbbbbbk..",
        ".kDbbbbbbbbbbkr.",
        ".kDbbbbwwwbbbkr.",
        ".kDbbbwwwwwbbk..",
        ".kDbbbwwwwwbbky.",
        ".kDbbbbwwwbbbky.",
        ".kDbbbbbbbbbbk..",
        ".kDbbbwwwwwbbkn.",
        ".kDbbwwwwwwwbkn.",
        ".kDbbwwwwwwwbk..",
        ".kDbbbbbbbbbbkB.",
        ".kDbbbbbbbbbbkB.",
        ".kkkkkkkkkkkkk..",
        "................",
    ]),
    ("calendar", [  # a calendar: the month's grid of days, one day marked
        "................",
        "..kk..kk..kk....",
        "kkDDkkDDkkDDkkkk",
        "kbbbbbbbbbbbbbbk",
        "kbbbbbbbbbbbbbbk",
        "kkkkkkkkkkkkkkkk",
        "kwwGwwGwwGwwGwwk",
        "kwwGwwGwwGwwGwwk",
        "kGGGGGGGGGGGGGGk",
        "kwwGwwGrrGwwGwwk",
        "kwwGwwGrrGwwGwwk",
        "kGGGGGGGGGGGGGGk",
        "kwwGwwGwwGwwGwwk",
        "kwwGwwGwwGwwGwwk",
        "kkkkkkkkkkkkkkkk",
        "................",
    ]),
    ("ringtones", [  # a loudspeaker sending sound
        "................",
        "................",
        "......k......b..",
        ".....kk...b...b.",
        "....kGk....b...b",
        "...kGGk..b..b..b",
        "kkkkGGk...b.b..b",
        "kGGkGGk...b.b..b",
        "kGGkGGk...b.b..b",
        "kkkkGGk...b.b..b",
        "...kGGk..b..b..b",
        "....kGk....b...b",
        ".....kk...b...b.",
        "......k......b..",
        "................",
        "................",
    ]),
    ("ringtone", [  # a loudspeaker in front of a sheet
        "......kkkkkkk...",
        "......kwwwwwkk..",
        "......kwGGGwkgk.",
        "......kwwwwwkkkk",
        "......kwGGGGGGwk",
        ".....kkwwwwwwwwk",
        "....kGkwwbwbwwwk",
        "kkkkGGkwwwbwbwwk",
        "kGGkGGkwwwbwbwwk",
        "kGGkGGkwwwbwbwwk",
        "kkkkGGkwwwbwbwwk",
        "....kGkwwbwbwwwk",
        ".....kkwwwwwwwwk",
        "......kwGGGGGGwk",
        "......kwwwwwwwwk",
        "......kkkkkkkkkk",
    ]),
]


def png_bytes(rows):
    """An 8-bit RGBA PNG of the picture."""
    height = len(rows)
    width = len(rows[0])
    raw = bytearray()
    for row in rows:
        raw.append(0)  # filter type None
        for ch in row:
            raw.extend(PALETTE[ch])

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def check(name, rows):
    if len(rows) != 16 or any(len(r) != 16 for r in rows):
        sys.exit(f"{name}: every picture is 16 rows of 16 pixels")
    unknown = {ch for r in rows for ch in r} - PALETTE.keys()
    if unknown:
        sys.exit(f"{name}: colours not in the palette: {sorted(unknown)}")


def preview(path, scale=8, gap=8):
    """All eight pictures side by side, enlarged, on a light background."""
    cell = 16 * scale
    width = len(IMAGES) * (cell + gap) + gap
    height = cell + 2 * gap
    back = ["." * width for _ in range(height)]
    sheet = [list(r) for r in back]
    for i, (_, rows) in enumerate(IMAGES):
        left = gap + i * (cell + gap)
        for y in range(cell):
            for x in range(cell):
                sheet[gap + y][left + x] = rows[y // scale][x // scale]
    rows = ["".join(r) for r in sheet]
    saved = PALETTE["."]
    PALETTE["."] = (236, 233, 216, 255)  # the button face colour behind the pictures
    try:
        with open(path, "wb") as f:
            f.write(png_bytes(rows))
    finally:
        PALETTE["."] = saved


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for name, rows in IMAGES:
        check(name, rows)
        with open(os.path.join(here, name + ".png"), "wb") as f:
            f.write(png_bytes(rows))
    if len(sys.argv) == 3 and sys.argv[1] == "--preview":
        preview(sys.argv[2])


if __name__ == "__main__":
    main()
