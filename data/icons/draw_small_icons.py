#!/usr/bin/env python3
"""Writes the small icon sizes (16, 22 and 24 pixels), drawn by hand on the pixel grid.

At these sizes a downscaled drawing turns into a smudge, so each icon is drawn here pixel by
pixel, as desktop icon themes do: one character per pixel, a palette per icon. The 24 pixel
size is the 22 pixel drawing with a one-pixel margin. The larger sizes come from the SVGs
(render.sh). Also writes docs/icons-16px.png, the 16 pixel icons on a light and a dark panel,
at their size and enlarged four times.

Needs only Python 3: PNG files are written with zlib. Run it after changing a drawing.
"""

import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
DOCS = os.path.join(HERE, "..", "..", "docs")

# ---- The program: a report page under a magnifying glass on a dark blue plate. The plate has a
# light edge so that it reads on dark panels as well as on light ones.
PROGRAM_COLOURS = {
    ".": None,
    "E": (0xB4, 0xCC, 0xE6, 255),  # light edge
    "e": (0xB4, 0xCC, 0xE6, 110),  # the edge's rounded corners
    "N": (0x00, 0x33, 0x66, 255),  # plate, title bar
    "W": (0xFF, 0xFF, 0xFF, 255),  # page
    "F": (0xC7, 0xD6, 0xE8, 255),  # folded corner
    "L": (0x7E, 0x9E, 0xC4, 255),  # lines of text
    "A": (0xE0, 0x96, 0x00, 255),  # lens rim
    "H": (0xF2, 0xA9, 0x00, 255),  # handle
    "Y": (0xFF, 0xF0, 0xC4, 255),  # lens
}

PROGRAM_16 = [
    ".eEEEEEEEEEEEEe.",
    "eENNNNNNNNNNNNEe",
    "ENNWWWWWWWFNNNNE",
    "ENNWWWWWWWFFNNNE",
    "ENNWNNNNWWWWNNNE",
    "ENNWWWWWWWWWNNNE",
    "ENNWLLLLLLLWNNNE",
    "ENNWWWWWAAAWNNNE",
    "ENNWLLLAYYYANNNE",
    "ENNWWWWAYYYANNNE",
    "ENNWLLLAYYYANNNE",
    "ENNWWWWWAAAAHNNE",
    "ENNWLLLLWWWWHHNE",
    "ENNWWWWWWWWWNHHE",
    "eENNNNNNNNNNNNEe",
    ".eEEEEEEEEEEEEe.",
]

PROGRAM_22 = [
    ".eEEEEEEEEEEEEEEEEEEe.",
    "eENNNNNNNNNNNNNNNNNNEe",
    "ENNNNNNNNNNNNNNNNNNNNE",
    "ENNNWWWWWWWWFNNNNNNNNE",
    "ENNNWWWWWWWWFFNNNNNNNE",
    "ENNNWWWWWWWWFFFNNNNNNE",
    "ENNNWWNNNNNWWWWNNNNNNE",
    "ENNNWWNNNNNWWWWNNNNNNE",
    "ENNNWWWWWWWWWWWNNNNNNE",
    "ENNNWWWWWWWWWWWNNNNNNE",
    "ENNNWWLLLLLWWAAANNNNNE",
    "ENNNWWWWWWWWAYYYANNNNE",
    "ENNNWWLLLLWAYYYYYANNNE",
    "ENNNWWWWWWWAYYYYYANNNE",
    "ENNNWWLLLLWAYYYYYANNNE",
    "ENNNWWWWWWWWAYYYANNNNE",
    "ENNNWWLLLLLLWAAAHHNNNE",
    "ENNNWWWWWWWWWWWNNHHNNE",
    "ENNNWWLLLLLLWWWNNNHHNE",
    "ENNNNNNNNNNNNNNNNNNHHE",
    "eENNNNNNNNNNNNNNNNNNEe",
    ".eEEEEEEEEEEEEEEEEEEe.",
]

# ---- A saved text report: continuous form paper, tractor holes down both margins, green bars.
TEXT_COLOURS = {
    ".": None,
    "O": (0x4F, 0x5B, 0x67, 255),  # paper edge
    "h": (0x8B, 0x96, 0xA1, 255),  # tractor hole
    "W": (0xFF, 0xFF, 0xFF, 255),  # paper
    "G": (0xB2, 0xDC, 0xB2, 255),  # green bar
    "D": (0x2D, 0x36, 0x40, 255),  # printed text
}

TEXT_16 = [
    ".OOOOOOOOOOOOOO.",
    ".OWWWWWWWWWWWWO.",
    ".OhGGGGGGGGGGhO.",
    ".OWGDDDGDDDDGWO.",
    ".OhGGGGGGGGGGhO.",
    ".OWWWWWWWWWWWWO.",
    ".OhWDDDDDWDDWhO.",
    ".OWWWWWWWWWWWWO.",
    ".OhGGGGGGGGGGhO.",
    ".OWGDDGDDDDDGWO.",
    ".OhGGGGGGGGGGhO.",
    ".OWWWWWWWWWWWWO.",
    ".OhWDDDDWDDDWhO.",
    ".OWWWWWWWWWWWWO.",
    ".OhWWWWWWWWWWhO.",
    ".OOOOOOOOOOOOOO.",
]

TEXT_22 = [
    "..OOOOOOOOOOOOOOOOOO..",
    "..OWWWWWWWWWWWWWWWWO..",
    "..OWhGGGGGGGGGGGGhWO..",
    "..OWWGDDDDGDDDDDGWWO..",
    "..OWWGGGGGGGGGGGGWWO..",
    "..OWhWWWWWWWWWWWWhWO..",
    "..OWWWDDDDDDWDDDWWWO..",
    "..OWWWWWWWWWWWWWWWWO..",
    "..OWhGGGGGGGGGGGGhWO..",
    "..OWWGDDGDDDDDDDGWWO..",
    "..OWWGGGGGGGGGGGGWWO..",
    "..OWhWWWWWWWWWWWWhWO..",
    "..OWWWDDDDWDDDDDWWWO..",
    "..OWWWWWWWWWWWWWWWWO..",
    "..OWhGGGGGGGGGGGGhWO..",
    "..OWWGDDDDDDGDDDGWWO..",
    "..OWWGGGGGGGGGGGGWWO..",
    "..OWhWWWWWWWWWWWWhWO..",
    "..OWWWDDDWDDDDDDWWWO..",
    "..OWWWWWWWWWWWWWWWWO..",
    "..OWhWWWWWWWWWWWWhWO..",
    "..OOOOOOOOOOOOOOOOOO..",
]

# ---- A prepared report: a laid-out page with a title band, a bar chart and a table.
PREPARED_COLOURS = {
    ".": None,
    "B": (0x1F, 0x4E, 0x79, 255),  # page edge, title band, chart base line
    "b": (0x6A, 0x8F, 0xB5, 255),  # table rules
    "W": (0xFF, 0xFF, 0xFF, 255),  # page
    "F": (0xD6, 0xE4, 0xF0, 255),  # folded corner
    "G": (0x2E, 0x8B, 0x57, 255),  # bars of the chart
    "A": (0xF2, 0xA9, 0x00, 255),
    "R": (0xC0, 0x39, 0x2B, 255),
    "U": (0x2E, 0x75, 0xB6, 255),
}

PREPARED_16 = [
    "..BBBBBBBBB.....",
    "..BWWWWWWWBB....",
    "..BWWWWWWWBFB...",
    "..BWWWWWWWBBBB..",
    "..BWBBBBWWWWWB..",
    "..BWWWWWRRWWWB..",
    "..BWWWAARRWWWB..",
    "..BWWWAARRUUWB..",
    "..BWGGAARRUUWB..",
    "..BWGGAARRUUWB..",
    "..BWBBBBBBBBWB..",
    "..BWWWWWWWWWWB..",
    "..BWbbbbbbbbWB..",
    "..BWbWWbWWWbWB..",
    "..BWbbbbbbbbWB..",
    "..BBBBBBBBBBBB..",
]

PREPARED_22 = [
    "...BBBBBBBBBBBB.......",
    "...BWWWWWWWWWWBB......",
    "...BWWWWWWWWWWBFB.....",
    "...BWWWWWWWWWWBFFB....",
    "...BWWWWWWWWWWBBBBB...",
    "...BWWWWWWWWWWWWWWB...",
    "...BWBBBBBBBWWWWWWB...",
    "...BWBBBBBBBWWWWWWB...",
    "...BWWWWWWWWWWWWWWB...",
    "...BWWWWWWWWRRWWWWB...",
    "...BWWWWWAAWRRWWWWB...",
    "...BWWWWWAAWRRWUUWB...",
    "...BWWGGWAAWRRWUUWB...",
    "...BWWGGWAAWRRWUUWB...",
    "...BWBBBBBBBBBBBBWB...",
    "...BWWWWWWWWWWWWWWB...",
    "...BWbbbbbbbbbbbbWB...",
    "...BWbWWWWbWWWWWbWB...",
    "...BWbbbbbbbbbbbbWB...",
    "...BWbWWWWbWWWWWbWB...",
    "...BWbbbbbbbbbbbbWB...",
    "...BBBBBBBBBBBBBBBB...",
]

ICONS = {
    "zeralvisualizador": (PROGRAM_COLOURS, PROGRAM_16, PROGRAM_22),
    "application-x-zeral-text-report": (TEXT_COLOURS, TEXT_16, TEXT_22),
    "application-x-zeral-prepared-report": (PREPARED_COLOURS, PREPARED_16, PREPARED_22),
}


def pixels(colours, rows, size):
    """The drawing as rows of RGBA tuples, checked to be size x size."""
    if len(rows) != size or any(len(r) != size for r in rows):
        raise SystemExit(f"a {size} pixel drawing must have {size} rows of {size} pixels")
    transparent = (0, 0, 0, 0)
    return [[colours[c] or transparent for c in row] for row in rows]


def with_margin(image, margin):
    transparent = (0, 0, 0, 0)
    width = len(image[0]) + 2 * margin
    blank = [transparent] * width
    middle = [[transparent] * margin + row + [transparent] * margin for row in image]
    return [blank[:] for _ in range(margin)] + middle + [blank[:] for _ in range(margin)]


def write_png(path, image):
    """Writes rows of RGBA tuples as an 8-bit RGBA PNG (no time stamp: same drawing, same bytes)."""
    height, width = len(image), len(image[0])
    raw = b"".join(b"\0" + bytes(v for px in row for v in px) for row in image)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
    png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as out:
        out.write(png)


def over(background, px):
    r, g, b, a = px
    return tuple((c * a + bg * (255 - a)) // 255 for c, bg in zip((r, g, b), background)) + (255,)


def contact_sheet(drawings):
    """The 16 pixel icons on a light and on a dark panel: at their size, then four times."""
    panels = [(0xF4, 0xF4, 0xF4), (0x23, 0x26, 0x29)]
    scale, gap = 4, 8
    left = gap + len(drawings) * (16 + gap) + gap
    width = left + len(drawings) * (16 * scale + gap)
    strip = 16 * scale + 2 * gap
    sheet = []
    for panel in panels:
        rows = [[panel + (255,)] * width for _ in range(strip)]
        for i, image in enumerate(drawings):
            x1, y1 = gap + i * (16 + gap), (strip - 16) // 2
            x4 = left + i * (16 * scale + gap)
            for y in range(16):
                for x in range(16):
                    px = over(panel, image[y][x])
                    rows[y1 + y][x1 + x] = px
                    for dy in range(scale):
                        for dx in range(scale):
                            rows[gap + y * scale + dy][x4 + x * scale + dx] = px
        sheet += rows
    return sheet


def main():
    sixteen = []
    for name, (colours, rows16, rows22) in ICONS.items():
        small = pixels(colours, rows16, 16)
        medium = pixels(colours, rows22, 22)
        write_png(os.path.join(HERE, f"{name}-16.png"), small)
        write_png(os.path.join(HERE, f"{name}-22.png"), medium)
        write_png(os.path.join(HERE, f"{name}-24.png"), with_margin(medium, 1))
        sixteen.append(small)
    write_png(os.path.join(DOCS, "icons-16px.png"), contact_sheet(sixteen))


if __name__ == "__main__":
    main()
