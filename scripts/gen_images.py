#!/usr/bin/env python3
"""Draw Kelvane's icons, cursor and bitmaps and write them into res/.

Every picture is pixel art kept in this file as ASCII tables (one character per
pixel), except the About picture, which is composed from a few shapes and a
small block font.  The script uses the standard library only, writes the
BMP/ICO/CUR bytes itself and produces identical files on every run:

    python3 scripts/gen_images.py            # writes into res/
    python3 scripts/gen_images.py OUTDIR     # writes somewhere else

Colour keys of the ASCII tables (the 16 colours of the standard VGA palette):

    .  background: RGB(192,192,192) in bitmaps, transparent in icons/cursor
    k black     m maroon    g green     o olive     n navy     p purple
    t teal      e silver    s gray      r red       l lime     y yellow
    b blue      f fuchsia   c cyan      w white

The toolbar strip and the sort arrows use silver RGB(192,192,192) as their
background: the toolbar masks that colour out, and the sort arrows are loaded
with LR_LOADMAP3DCOLORS, which maps silver/gray to the current 3D colours.
Both are therefore 4-bit bitmaps with a colour table.
"""

import math
import os
import struct
import sys

# ---------------------------------------------------------------------------
# Palette

VGA_PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]

COLOUR_KEYS = {
    'k': 0, 'm': 1, 'g': 2, 'o': 3, 'n': 4, 'p': 5, 't': 6, 'e': 7,
    's': 8, 'r': 9, 'l': 10, 'y': 11, 'b': 12, 'f': 13, 'c': 14, 'w': 15,
}
BACKGROUND = '.'
SILVER = COLOUR_KEYS['e']

# ---------------------------------------------------------------------------
# Toolbar strip (bitmap 108): 16x15 images, in image-index order.

GLYPH_W, GLYPH_H = 16, 15

TOOLBAR_GLYPHS = [
    ('refresh', [
        ".......g........",
        ".......gg.......",
        ".....ggggg......",
        "....glllllg.....",
        "...gllgggg......",
        "..gllg.gg....g..",
        "..glg..g...glg..",
        "..glg......glg..",
        "..glg......glg..",
        "..glg......glg..",
        "..gllg....gllg..",
        "...gllggggllg...",
        "....gllllllg....",
        ".....gggggg.....",
        "................",
    ]),
    ('threads', [
        "................",
        ".bb....bb....bb.",
        "bnnb..bnnb..bnnb",
        "n..nbbn..nbbn..n",
        "....nn....nn....",
        ".rr....rr....rr.",
        "rmmr..rmmr..rmmr",
        "m..mrrm..mrrm..m",
        "....mm....mm....",
        ".ll....ll....ll.",
        "lggl..lggl..lggl",
        "g..gllg..gllg..g",
        "....gg....gg....",
        "................",
        "................",
    ]),
    ('modules', [
        "................",
        "....kkkkkkk.....",
        "....kwrrrrk.....",
        "....krrrrmk.....",
        "....krrrrmk.....",
        "....kmmmmmk.....",
        "....kkkkkkk.....",
        "................",
        "kkkkkkk.kkkkkkk.",
        "kwbbbbk.kwyyyyk.",
        "kbbbbnk.kyyyyok.",
        "kbbbbnk.kyyyyok.",
        "knnnnnk.koooook.",
        "kkkkkkk.kkkkkkk.",
        "................",
    ]),
    ('memory', [
        "................",
        "................",
        "................",
        ".kkkkkkkkkkkkkkk",
        ".kgggggggggggggk",
        ".kgwwwwwgwwwwwgk",
        ".kgwkkkwgwkkkwgk",
        ".kgwkkkwgwkkkwgk",
        ".kgwwwwwgwwwwwgk",
        ".kgggggggggggggk",
        ".kykykyk.kykykyk",
        ".kkkkkkk.kkkkkkk",
        "................",
        "................",
        "................",
    ]),
    ('kill', [
        "................",
        ".kkk.......kkk..",
        ".krrk.....krrk..",
        "..krrk...krrk...",
        "...krrk.krrk....",
        "....krrkrrk.....",
        ".....krrrk......",
        "......krk.......",
        ".....krrrk......",
        "....krrkrrk.....",
        "...krrk.krrk....",
        "..krrk...krrk...",
        ".krrk.....krrk..",
        ".kkk.......kkk..",
        "................",
    ]),
    ('debug', [
        "................",
        ".....k....k.....",
        "......k..k......",
        "......kkkk......",
        ".....kkkkkk.....",
        "..k..kkkkkk..k..",
        "...kkrrkkrrkk...",
        "....kwrkkrrk....",
        ".kkkkrrkkrrkkkk.",
        "....krrkkrrk....",
        "...kkrrkkrrkk...",
        "..k.krrkkrrk.k..",
        ".....krkkrk.....",
        "......kkkk......",
        "................",
    ]),
    ('priority', [
        "................",
        "...........kkkk.",
        "...........krmk.",
        "...........krmk.",
        "...........krmk.",
        "......kkkk.krmk.",
        "......kyok.krmk.",
        "......kyok.krmk.",
        "......kyok.krmk.",
        ".kkkk.kyok.krmk.",
        ".klgk.kyok.krmk.",
        ".klgk.kyok.krmk.",
        ".klgk.kyok.krmk.",
        ".kkkk.kkkk.kkkk.",
        "................",
    ]),
    ('info', [
        "................",
        ".....nnnnnn.....",
        "...nnbbbbbbnn...",
        "..nbbbbwwbbbbn..",
        "..nbbbbwwbbbbn..",
        ".nbbbbbbbbbbbbn.",
        ".nbbbbwwwbbbbbn.",
        ".nbbbbbwwbbbbbn.",
        ".nbbbbbwwbbbbbn.",
        ".nbbbbbwwbbbbbn.",
        "..nbbbbwwbbbbn..",
        "..nbbbwwwwbbbn..",
        "...nnbbbbbbnn...",
        ".....nnnnnn.....",
        "................",
    ]),
    ('finder', [
        "kkkkkkkkkkkkkkk.",
        "kwwwwwwkwwwwwwk.",
        "kwwwwwwkwwwwwwk.",
        "kwwwkkkkkkkwwwk.",
        "kwwkkwwkwwkkwwk.",
        "kwwkwwwkwwwkwwk.",
        "kwwkwwwwwwwkwwk.",
        "kkkkkkwrwkkkkkk.",
        "kwwkwwwwwwwkwwk.",
        "kwwkwwwkwwwkwwk.",
        "kwwkkwwkwwkkwwk.",
        "kwwwkkkkkkkwwwk.",
        "kwwwwwwkwwwwwwk.",
        "kwwwwwwkwwwwwwk.",
        "kkkkkkkkkkkkkkk.",
    ]),
    ('save', [
        "................",
        ".kkkkkkkkkkkkkk.",
        ".knwwwwwwwwwwnk.",
        ".knwwwwwwwwwwnk.",
        ".knwsssssssswnk.",
        ".knwwwwwwwwwwnk.",
        ".knwsssssssswnk.",
        ".knwwwwwwwwwwnk.",
        ".knnnnnnnnnnnnk.",
        ".knnnnnnnnnnnnk.",
        ".knnnwwwwwwnnnk.",
        ".knnnwkkwwwnnnk.",
        ".knnnwkkwwwnnnk.",
        ".knnnwwwwwwnnnk.",
        ".kkkkkkkkkkkkkk.",
    ]),
    ('processtree', [
        ".kkkkkk.........",
        ".krrrrk.........",
        ".kkkkkk.........",
        "...k............",
        "...k..kkkkkkkk..",
        "...kkkkyyyyyyk..",
        "...k..kkkkkkkk..",
        "...k............",
        "...k..kkkkkkkk..",
        "...kkkkbbbbbbk..",
        "...k..kkkkkkkk..",
        "...k............",
        "...k..kkkkkkkk..",
        "...kkkkllllllk..",
        "......kkkkkkkk..",
    ]),
    ('moduleusage', [
        "kkkkkkk.........",
        "kwyyyyk.........",
        "kyyyyok.........",
        "kyyyyok.........",
        "kyyyyokkkkkk....",
        "kkkkkkkcccckk...",
        ".....kcccccck...",
        ".....kwccccck...",
        ".....kwccccck...",
        ".....kcccccck...",
        ".....kkcccckk...",
        "......kkkkkkmm..",
        ".............mm.",
        "..............mm",
        "................",
    ]),
    ('applications', [
        "kkkkkkkkkk......",
        "kssssssssk......",
        "kkkkkkkkkk......",
        "kwwwwwwwwk......",
        "kwwwwwwwwk......",
        "kwwwwkkkkkkkkkkk",
        "kwwwwknnnnnnnwnk",
        "kwwwwkkkkkkkkkkk",
        "kkkkkkwwwwwwwwwk",
        ".....kwwwwwwwwwk",
        ".....kwsssssswwk",
        ".....kwwwwwwwwwk",
        ".....kwssssswwwk",
        ".....kwwwwwwwwwk",
        ".....kkkkkkkkkkk",
    ]),
]

# ---------------------------------------------------------------------------
# List-header sort arrows (bitmaps 123 and 124), 16x16: a solid triangle in the
# shadow colour, which stays visible on both a button-face and a white header.

SORT_UP = [
    "................",
    "................",
    "................",
    "................",
    "................",
    ".......ss.......",
    "......ssss......",
    ".....ssssss.....",
    "....ssssssss....",
    "...ssssssssss...",
    "................",
    "................",
    "................",
    "................",
    "................",
    "................",
]

SORT_DOWN = [
    "................",
    "................",
    "................",
    "................",
    "................",
    "...ssssssssss...",
    "....ssssssss....",
    ".....ssssss.....",
    "......ssss......",
    ".......ss.......",
    "................",
    "................",
    "................",
    "................",
    "................",
    "................",
]

# ---------------------------------------------------------------------------
# Icons.  101: the program (a process list under a magnifying glass);
# 120: module usage (a module under a magnifying glass).

ICON_MAIN_32 = [
    "................................",
    "kkkkkkkkkkkkkkkkkkkkkkkkkk......",
    "knnnnnnnnnnnnnnnnnnnnnnnnk......",
    "knnnnnnnnnnnnnnnnnnwwnwwnk......",
    "knnnnnnnnnnnnnnnnnnnnnnnnk......",
    "kkkkkkkkkkkkkkkkkkkkkkkkkk......",
    "keeeeeeeeeeeeeeeeeeeeeeeek......",
    "kssssssssssssssssssssssssk......",
    "kwwwwwwwwwwwwwwwwwwwwwwwwk......",
    "kwwrrwwsssssssssssssssswwk......",
    "kwwrrwwwwwwwwwwwwwwwwwwwwk......",
    "kwwwwwwwwwwwwwwwwwwwwwwwwk......",
    "kwwyywwssssssssssssswwwwwk......",
    "kwwyywwwwwwwwwwwwwkkkkkkwk......",
    "kwwwwwwwwwwwwwwwkkssssssk.......",
    "kwwllwwsssssssskkswwccccskk.....",
    "kwwllwwwwwwwwwwksswccccccsk.....",
    "kwwwwwwwwwwwwwkkswccccccccsk....",
    "kwwbbwwsssssssksccccccccccsk....",
    "kwwbbwwwwwwwwwksccccccccccsk....",
    "kwwwwwwwwwwwwwksccccccccccsk....",
    "kwwffwwsssssssksccccccccccsk....",
    "kwwffwwwwwwwwwkkscccccccccsk....",
    "kwwwwwwwwwwwwwwksscccccccssk....",
    "kkkkkkkkkkkkkkkkkssccccsskkkk...",
    "................kkkssssskkmmk...",
    "..................kkkkkkkmmmmk..",
    "........................kmmmmmk.",
    ".........................kmmmmmk",
    "..........................kmmmmk",
    "...........................kmmk.",
    "............................kk..",
]

ICON_MAIN_16 = [
    "................",
    "kkkkkkkkkkkkkk..",
    "knnnnnnnnnnnnk..",
    "knnnnnnnnnwnwk..",
    "kkkkkkkkkkkkkk..",
    "kwwwwwwwwwwwwk..",
    "kwrwsssssswwwk..",
    "kwwwwwwwwwwwwk..",
    "kwywssssskkkwk..",
    "kwwwwwwwkccckk..",
    "kwlwssskcwccck..",
    "kwwwwwwkccccck..",
    "kkkkkkkkccccck..",
    "........kccckmm.",
    ".........kkk.mmm",
    ".............kmm",
]

ICON_USAGE_32 = [
    "................................",
    ".....kkkkkkkkkkkk...............",
    ".....kwwwwwwwwwwkk..............",
    ".....kwrrrrrrrrrmk..............",
    ".....kwrrrrrrrrrmk..............",
    ".....kwrrrrrrrrrmk..............",
    ".....kwrrrrrrrrrmk..............",
    ".....kkmmmmmmmmmmk..............",
    "......kkkkkkkkkkkk..............",
    "................................",
    "kkkkkkkkkkkk...kkkkkkkkkkkk.....",
    "kwwwwwwwwwwkk..kwwwwwwwwwwkk....",
    "kwbbbbbbbbbnk..kwyyyyyyyyyok....",
    "kwbbbbbbbbbnk..kwykkkkkkyyok....",
    "kwbbbbbbbbbnk..kkksssssskyok....",
    "kwbbbbbbbbbnk..kkswwccccskkk....",
    "kwbbbbbbbbbnk..ksswccccccskk....",
    "kknnnnnnnnnnk.kkswccccccccskk...",
    ".kkkkkkkkkkkk.ksccccccccccskk...",
    "..............ksccccccccccsk....",
    "..............ksccccccccccsk....",
    "..............ksccccccccccsk....",
    "..............kkscccccccccsk....",
    "...............ksscccccccssk....",
    "...............kkssccccsskkkk...",
    "................kkkssssskkmmk...",
    "..................kkkkkkkmmmmk..",
    "........................kmmmmmk.",
    ".........................kmmmmmk",
    "..........................kmmmmk",
    "...........................kmmk.",
    "............................kk..",
]

ICON_USAGE_16 = [
    "................",
    "kkkkkkk.........",
    "kwyyyyk.........",
    "kyyyyok.........",
    "kyyyyok.........",
    "kyyyyokkkkkk....",
    "kkkkkkkcccckk...",
    ".....kcccccck...",
    ".....kwccccck...",
    ".....kwccccck...",
    ".....kcccccck...",
    ".....kkcccckk...",
    "......kkkkkkmm..",
    ".............mm.",
    "..............mm",
    "................",
]

# ---------------------------------------------------------------------------
# Finder cursor (cursor 118): 32x32 monochrome, black crosshair with a white
# halo so it shows on any background; hot spot at the centre dot.

FINDER_HOTSPOT = (15, 16)

FINDER_CURSOR = [
    "................................",
    "................................",
    "...............w................",
    "..............wkw...............",
    "..............wkw...............",
    "..............wkw...............",
    "..............wkw...............",
    "..............wkw...............",
    "............wwwkwww.............",
    "..........wwkkkkkkkww...........",
    ".........wkkwwwkwwwkkw..........",
    "........wkkw..wkw..wkkw.........",
    "........wkw...wkw...wkw.........",
    ".......wkw....wkw....wkw........",
    ".......wkw.....w.....wkw........",
    "..wwwwwwkwwww..w..wwwwkwwwwww...",
    ".wkkkkkkkkkkkwwkwwkkkkkkkkkkkw..",
    "..wwwwwwkwwww..w..wwwwkwwwwww...",
    ".......wkw.....w.....wkw........",
    ".......wkw....wkw....wkw........",
    "........wkw...wkw...wkw.........",
    "........wkkw..wkw..wkkw.........",
    ".........wkkwwwkwwwkkw..........",
    "..........wwkkkkkkkww...........",
    "............wwwkwww.............",
    "..............wkw...............",
    "..............wkw...............",
    "..............wkw...............",
    "..............wkw...............",
    "..............wkw...............",
    "...............w................",
    "................................",
]

# ---------------------------------------------------------------------------
# About picture (bitmap 137): a badge with a process tree, the program's
# name in a block font, on a dark blue ground.  Sized to fill the picture
# frame of the About box at the usual dialog font.

ABOUT_W, ABOUT_H = 492, 376

FONT_5X7 = {
    'A': [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    'C': [".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."],
    'E': ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    'I': [".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."],
    'K': ["#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"],
    'L': ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    'N': ["#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"],
    'O': [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    'P': ["####.", "#...#", "#...#", "####.", "#....", "#....", "#...."],
    'R': ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    'S': [".####", "#....", "#....", ".###.", "....#", "....#", "####."],
    'V': ["#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    'W': ["#...#", "#...#", "#...#", "#.#.#", "#.#.#", "##.##", "#...#"],
    ' ': [".....", ".....", ".....", ".....", ".....", ".....", "....."],
}

# Process-tree nodes of the badge: (column, row, colour); edges by index.
ABOUT_NODES = [
    (0, 0, (230, 60, 50)),
    (1, 1, (250, 200, 40)),
    (1, 2, (60, 200, 90)),
    (2, 3, (70, 150, 250)),
    (2, 4, (200, 90, 220)),
    (1, 5, (250, 140, 40)),
]
ABOUT_EDGES = [(0, 1), (0, 2), (2, 3), (2, 4), (0, 5)]

# ---------------------------------------------------------------------------
# Pixel-art helpers


def check_art(name, rows, width, height):
    if len(rows) != height or any(len(r) != width for r in rows):
        raise ValueError('%s: art must be %dx%d' % (name, width, height))
    for r in rows:
        for ch in r:
            if ch != BACKGROUND and ch not in COLOUR_KEYS:
                raise ValueError('%s: unknown colour key %r' % (name, ch))


def art_indices(rows, background_index):
    """Palette indices of an ASCII table, rows top-down."""
    return [[background_index if ch == BACKGROUND else COLOUR_KEYS[ch] for ch in r]
            for r in rows]


def art_mask(rows):
    """AND-mask bits of an ASCII table: 1 where the background shows through."""
    return [[1 if ch == BACKGROUND else 0 for ch in r] for r in rows]


# ---------------------------------------------------------------------------
# File formats (all little-endian, rows stored bottom-up)


def pack_rows(rows, bpp):
    """Pack rows of palette indices (top-down) into bottom-up DIB scan lines."""
    out = bytearray()
    for row in reversed(rows):
        bits = 0
        nbits = 0
        line = bytearray()
        for value in row:
            bits = (bits << bpp) | value
            nbits += bpp
            if nbits == 8:
                line.append(bits)
                bits = 0
                nbits = 0
        if nbits:
            line.append(bits << (8 - nbits))
        while len(line) % 4:
            line.append(0)
        out += line
    return bytes(out)


def palette_bytes(palette, count):
    data = bytearray()
    for i in range(count):
        r, g, b = palette[i] if i < len(palette) else (0, 0, 0)
        data += struct.pack('<BBBB', b, g, r, 0)
    return bytes(data)


def info_header(width, height, bpp, image_size, colours_used):
    return struct.pack('<IiiHHIIiiII', 40, width, height, 1, bpp, 0, image_size,
                       0, 0, colours_used, 0)


def bmp_bytes(rows, palette, bpp):
    height = len(rows)
    width = len(rows[0])
    count = 1 << bpp
    bits = pack_rows(rows, bpp)
    table = palette_bytes(palette, count)
    offset = 14 + 40 + len(table)
    header = struct.pack('<2sIHHI', b'BM', offset + len(bits), 0, 0, offset)
    return header + info_header(width, height, bpp, len(bits), count) + table + bits


def icon_image(indices, mask, palette, bpp):
    """One icon/cursor image: header with doubled height, colours, XOR and AND bits."""
    height = len(indices)
    width = len(indices[0])
    xor_bits = pack_rows(indices, bpp)
    and_bits = pack_rows(mask, 1)
    count = 1 << bpp
    return (info_header(width, height * 2, bpp, len(xor_bits) + len(and_bits), 0)
            + palette_bytes(palette, count) + xor_bits + and_bits)


def icon_file(resource_type, images):
    """ICO (type 1) or CUR (type 2) file from (width, height, colours, field1, field2, data).

    For icons field1/field2 are planes and bit count; for cursors the hot spot.
    """
    header = struct.pack('<HHH', 0, resource_type, len(images))
    offset = 6 + 16 * len(images)
    directory = bytearray()
    body = bytearray()
    for width, height, colours, field1, field2, data in images:
        directory += struct.pack('<BBBBHHII', width % 256, height % 256, colours % 256, 0,
                                 field1, field2, len(data), offset + len(body))
        body += data
    return header + bytes(directory) + bytes(body)


# ---------------------------------------------------------------------------
# The pictures


def scaled_art(rows, width, height):
    """The ASCII table enlarged to width x height, each pixel repeated (nearest neighbour).

    Pixel art keeps its hard edges this way; at 200% every pixel becomes a 2x2 block, at 150%
    every other row and column is doubled.
    """
    src_h, src_w = len(rows), len(rows[0])
    return [''.join(rows[y * src_h // height][x * src_w // width] for x in range(width))
            for y in range(height)]


# Sizes of the toolbar images for 100%, 150% and 200% screens.
TOOLBAR_SIZES = [(GLYPH_W, GLYPH_H), (24, 23), (32, 30)]


def toolbar_bitmap(width=GLYPH_W, height=GLYPH_H):
    rows = [[] for _ in range(height)]
    for name, art in TOOLBAR_GLYPHS:
        check_art(name, art, GLYPH_W, GLYPH_H)
        for y, line in enumerate(art_indices(scaled_art(art, width, height), SILVER)):
            rows[y].extend(line)
    return bmp_bytes(rows, VGA_PALETTE, 4)


def sort_bitmap(name, art, size=16):
    check_art(name, art, 16, 16)
    return bmp_bytes(art_indices(scaled_art(art, size, size), SILVER), VGA_PALETTE, 4)


def icon(name, arts):
    """An icon of the 16- and 32-pixel tables, with the 24 and 48 pixels of 150% screens
    enlarged from them."""
    small, large = arts
    arts = [small, scaled_art(small, 24, 24), large, scaled_art(large, 48, 48)]
    images = []
    for art in arts:
        size = len(art)
        check_art(name, art, size, size)
        data = icon_image(art_indices(art, 0), art_mask(art), VGA_PALETTE, 4)
        images.append((size, size, 16, 1, 4, data))
    return icon_file(1, images)


def finder_cursor():
    check_art('finder', FINDER_CURSOR, 32, 32)
    for row in FINDER_CURSOR:
        if any(ch not in '.kw' for ch in row):
            raise ValueError('finder: a monochrome cursor uses only ., k and w')
    # Colour 0 is black, colour 1 white; the background is AND 1 / XOR 0.
    indices = [[1 if ch == 'w' else 0 for ch in row] for row in FINDER_CURSOR]
    data = icon_image(indices, art_mask(FINDER_CURSOR), [(0, 0, 0), (255, 255, 255)], 1)
    x, y = FINDER_HOTSPOT
    return icon_file(2, [(32, 32, 2, x, y, data)])


class Canvas:
    """A small RGB drawing surface for the About picture."""

    def __init__(self, width, height, colour):
        self.width = width
        self.height = height
        self.pixels = [[colour] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(max(0, y0), min(self.height, y1)):
            row = self.pixels[y]
            for x in range(max(0, x0), min(self.width, x1)):
                row[x] = colour

    def disc(self, cx, cy, radius, colour, inner=-1.0):
        for y in range(int(cy - radius) - 1, int(cy + radius) + 2):
            for x in range(int(cx - radius) - 1, int(cx + radius) + 2):
                d = math.hypot(x - cx, y - cy)
                if inner < d <= radius:
                    self.put(x, y, colour)

    def round_rect(self, x0, y0, x1, y1, radius, colour):
        for y in range(y0, y1):
            for x in range(x0, x1):
                dx = max(x0 + radius - x, 0, x - (x1 - 1 - radius))
                dy = max(y0 + radius - y, 0, y - (y1 - 1 - radius))
                if dx * dx + dy * dy <= radius * radius:
                    self.put(x, y, colour)

    def thick_line(self, x0, y0, x1, y1, width, colour):
        steps = int(max(abs(x1 - x0), abs(y1 - y0))) + 1
        for i in range(steps + 1):
            t = i / steps
            self.disc(x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, width / 2.0, colour)

    def text(self, x, y, string, scale, colour):
        for ch in string:
            glyph = FONT_5X7[ch]
            for gy, line in enumerate(glyph):
                for gx, bit in enumerate(line):
                    if bit == '#':
                        self.rect(x + gx * scale, y + gy * scale,
                                  x + (gx + 1) * scale, y + (gy + 1) * scale, colour)
            x += 6 * scale


def text_width(string, scale):
    return (6 * len(string) - 1) * scale


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def shade(colour, factor):
    return tuple(min(255, int(c * factor)) for c in colour)


def about_bitmap():
    top, bottom = (12, 24, 64), (36, 72, 132)
    canvas = Canvas(ABOUT_W, ABOUT_H, top)
    bands = 48
    for y in range(ABOUT_H):
        step = y * bands // ABOUT_H
        colour = mix(top, bottom, step / (bands - 1))
        canvas.rect(0, y, ABOUT_W, y + 1, colour)

    # Badge: rim, shadow, face.
    cx, cy, radius = ABOUT_W // 2, 140, 112
    canvas.disc(cx + 6, cy + 8, radius + 6, (8, 14, 36))
    canvas.disc(cx, cy, radius + 6, (150, 170, 200))
    canvas.disc(cx, cy, radius, (235, 240, 248))
    canvas.disc(cx, cy, radius - 8, (150, 170, 200), radius - 10)

    # Process tree on the badge.
    node_w, node_h, step_x, step_y = 58, 18, 36, 26
    origin_x = cx - 80
    origin_y = cy - 84
    centres = []
    for col, row, _ in ABOUT_NODES:
        x = origin_x + col * step_x
        y = origin_y + row * step_y
        centres.append((x, y))
    line_colour = (90, 100, 120)
    trunk_x = lambda i: centres[i][0] + 10
    for parent, child in ABOUT_EDGES:
        px = trunk_x(parent)
        py = centres[parent][1] + node_h // 2
        chx, chy = centres[child]
        canvas.rect(px - 1, py, px + 2, chy + 2, line_colour)
        canvas.rect(px - 1, chy - 1, chx + 1, chy + 2, line_colour)
    for (x, y), (_, _, colour) in zip(centres, ABOUT_NODES):
        left, upper = x, y - node_h // 2
        canvas.round_rect(left + 3, upper + 3, left + node_w + 3, upper + node_h + 3, 4,
                          (170, 180, 195))
        canvas.round_rect(left, upper, left + node_w, upper + node_h, 4, shade(colour, 0.55))
        canvas.round_rect(left + 2, upper + 2, left + node_w - 2, upper + node_h - 2, 3, colour)
        canvas.rect(left + 8, y - 1, left + node_w - 10, y + 2, shade(colour, 1.4))

    # Magnifying glass over the lower right of the badge.
    gx, gy = cx + 52, cy + 38
    canvas.thick_line(gx + 22, gy + 22, gx + 58, gy + 58, 14, (70, 30, 20))
    canvas.thick_line(gx + 22, gy + 22, gx + 56, gy + 56, 9, (150, 70, 40))
    canvas.disc(gx, gy, 34, (40, 44, 56))
    canvas.disc(gx, gy, 28, (170, 225, 240))
    canvas.disc(gx - 10, gy - 10, 8, (235, 250, 255))

    # Name and subtitle.
    name, sub = 'KELVANE', 'PROCESS VIEWER'
    scale = 7
    x = (ABOUT_W - text_width(name, scale)) // 2
    canvas.text(x + 4, 276 + 4, name, scale, (6, 10, 30))
    canvas.text(x, 276, name, scale, (245, 248, 255))
    scale = 3
    x = (ABOUT_W - text_width(sub, scale)) // 2
    canvas.text(x, 338, sub, scale, (150, 190, 240))

    colours = sorted({c for row in canvas.pixels for c in row})
    if len(colours) > 256:
        raise ValueError('about: %d colours do not fit a 256-colour table' % len(colours))
    index = {c: i for i, c in enumerate(colours)}
    rows = [[index[c] for c in row] for row in canvas.pixels]
    return rle8_bmp_bytes(rows, colours)


def rle8_row(row):
    """One scan line in RLE8: runs of one colour as (count, index) pairs; stretches of
    changing colours in absolute mode (0, count, indices, padded to a word)."""
    out = bytearray()
    literal = []

    def flush_literal():
        while literal:
            part = literal[:255]
            del literal[:255]
            if len(part) < 3:  # absolute mode needs at least three
                for value in part:
                    out.extend((1, value))
                continue
            out.extend((0, len(part)))
            out.extend(part)
            if len(part) % 2:
                out.append(0)

    x = 0
    while x < len(row):
        run = 1
        while x + run < len(row) and row[x + run] == row[x] and run < 255:
            run += 1
        if run >= 3:
            flush_literal()
            out.extend((run, row[x]))
        else:
            literal.extend(row[x:x + run])
        x += run
    flush_literal()
    return bytes(out)


def rle8_bmp_bytes(rows, palette):
    """An 8-bit bitmap compressed as RLE8, which LoadBitmap reads on every system from Windows
    95 on; its colour table holds only the colours used."""
    height = len(rows)
    width = len(rows[0])
    bits = bytearray()
    for row in reversed(rows):
        bits += rle8_row(row) + b'\x00\x00'  # end of line
    bits[-2:] = b'\x00\x01'  # the last end of line is the end of the bitmap
    table = palette_bytes(palette, len(palette))
    offset = 14 + 40 + len(table)
    header = struct.pack('<2sIHHI', b'BM', offset + len(bits), 0, 0, offset)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 8, 1, len(bits), 0, 0,
                       len(palette), 0)
    return header + info + table + bytes(bits)


OUTPUTS = [
    ('toolbar.bmp', toolbar_bitmap),
    ('toolbar24.bmp', lambda: toolbar_bitmap(*TOOLBAR_SIZES[1])),
    ('toolbar32.bmp', lambda: toolbar_bitmap(*TOOLBAR_SIZES[2])),
    ('sortup.bmp', lambda: sort_bitmap('sortup', SORT_UP)),
    ('sortdown.bmp', lambda: sort_bitmap('sortdown', SORT_DOWN)),
    ('sortup24.bmp', lambda: sort_bitmap('sortup', SORT_UP, 24)),
    ('sortdown24.bmp', lambda: sort_bitmap('sortdown', SORT_DOWN, 24)),
    ('sortup32.bmp', lambda: sort_bitmap('sortup', SORT_UP, 32)),
    ('sortdown32.bmp', lambda: sort_bitmap('sortdown', SORT_DOWN, 32)),
    ('kelvane.ico', lambda: icon('kelvane', [ICON_MAIN_16, ICON_MAIN_32])),
    ('usage.ico', lambda: icon('usage', [ICON_USAGE_16, ICON_USAGE_32])),
    ('finder.cur', finder_cursor),
    ('about.bmp', about_bitmap),
]


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = argv[1] if len(argv) > 1 else os.path.join(here, os.pardir, 'res')
    os.makedirs(out_dir, exist_ok=True)
    for file_name, make in OUTPUTS:
        data = make()
        path = os.path.join(out_dir, file_name)
        with open(path, 'wb') as f:
            f.write(data)
        print('%-13s %7d bytes' % (file_name, len(data)))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
