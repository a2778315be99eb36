#!/usr/bin/env python3
"""Draws the station's application icon: a Yagi antenna aimed at a satellite in a night sky.

Writes an .ico with three images, 32x32 in 2 colours, 32x32 in 16 colours and 16x16 in
16 colours, as the executable carries them.  Usage: make_icon.py OUTPUT.ico
"""

import math
import struct
import sys

# The standard 16-colour palette, as (red, green, blue).
VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
       (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
       (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
NAVY, SILVER, YELLOW, WHITE = 4, 7, 11, 15


def distance_to_segment(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def draw(size):
    """Palette index per pixel (None is transparent), top row first."""
    s = float(size)
    centre, radius = (s - 1) / 2, s / 2 - 0.5
    boom = (0.22 * s, 0.80 * s, 0.70 * s, 0.32 * s)
    bx, by = boom[2] - boom[0], boom[3] - boom[1]
    length = math.hypot(bx, by)
    ux, uy = bx / length, by / length  # along the boom
    elements = []
    for k, half in enumerate((0.20, 0.17, 0.14, 0.11)):
        cx, cy = boom[0] + ux * length * (0.2 + 0.25 * k), boom[1] + uy * length * (0.2 + 0.25 * k)
        elements.append((cx - uy * half * s, cy + ux * half * s, cx + uy * half * s,
                         cy - ux * half * s))
    satellite = (0.80 * s, 0.20 * s)
    width = 0.6 if size >= 32 else 0.5
    grid = []
    for y in range(size):
        row = []
        for x in range(size):
            px, py = x + 0.5, y + 0.5
            if math.hypot(x - centre, y - centre) > radius:
                row.append(None)
            elif math.hypot(px - satellite[0], py - satellite[1]) < 0.09 * s:
                row.append(YELLOW)
            elif distance_to_segment(px, py, *boom) < width:
                row.append(WHITE)
            elif any(distance_to_segment(px, py, *e) < width for e in elements):
                row.append(SILVER)
            else:
                row.append(NAVY)
        grid.append(row)
    return grid


def padded(bits):
    return bits + b"\0" * (-len(bits) % 4)


def image(size, bits_per_pixel):
    grid = draw(size)
    if bits_per_pixel == 1:
        palette = [(0, 0, 0), (255, 255, 255)]
        grid = [[None if c is None else (0 if c == NAVY else 1) for c in row] for row in grid]
    else:
        palette = VGA
    colour_rows, mask_rows = [], []
    for row in reversed(grid):  # bottom-up, as bitmaps are stored
        value, mask = 0, 0
        for c in row:
            value = (value << bits_per_pixel) | (c or 0)
            mask = (mask << 1) | (1 if c is None else 0)
        colour_rows.append(padded(value.to_bytes(size * bits_per_pixel // 8, "big")))
        mask_rows.append(padded(mask.to_bytes(size // 8, "big")))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits_per_pixel, 0, 0, 0, 0,
                         len(palette), 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    return header + colours + b"".join(colour_rows) + b"".join(mask_rows), len(palette)


def main(path):
    images = [(32, 1), (32, 4), (16, 4)]
    blobs = [image(size, bpp) for size, bpp in images]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (size, bpp), (data, colours) in zip(images, blobs):
        out += struct.pack("<BBBBHHII", size, size, colours % 256, 0, 1, bpp, len(data), offset)
        offset += len(data)
    out += b"".join(data for data, _ in blobs)
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1])
