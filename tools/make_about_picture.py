#!/usr/bin/env python3
"""Draws the about box's station picture: a Yagi antenna on its rotor aimed at a satellite.

Writes a 47x50 24-bit BMP, the size the about box's picture box is laid out for.
Usage: make_about_picture.py OUTPUT.bmp

ui/frm_about_picture.bmp is this script's output, kept in the tree so that the resource
script can name it; the about box tests check that the two still agree.
"""

import math
import struct
import sys

WIDTH, HEIGHT = 47, 50

SKY_TOP, SKY_LOW = (8, 16, 64), (70, 120, 190)
GROUND_TOP, GROUND_LOW = (60, 130, 50), (30, 80, 30)
STAR = (255, 255, 230)
SILVER, STEEL, DARK = (200, 200, 210), (120, 120, 130), (50, 50, 60)
GOLD, PANEL, PANEL_GRID = (230, 180, 50), (40, 70, 200), (150, 170, 230)
WAVE = (255, 230, 120)

HORIZON = 44
STARS = [(3, 3), (9, 7), (17, 2), (21, 5), (5, 15), (28, 3), (41, 22), (36, 26), (21, 14)]
SATELLITE = (35, 9)
# At 45 degrees through pixel centres, so that boom and elements are clean steps of pixels.
BOOM = ((6.5, 33.5), (25.5, 14.5))
MAST = ((16.5, 23.5), (16.5, 37.0))
ROTOR = (12, 37, 21, 43)  # left, top, right, bottom (inclusive)


def mix(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def distance_to_segment(px, py, a, b):
    (ax, ay), (bx, by) = a, b
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def yagi_elements():
    """Reflector, driven element and directors, shortening towards the front of the boom."""
    (ax, ay), (bx, by) = BOOM
    length = math.hypot(bx - ax, by - ay)
    ux, uy = (bx - ax) / length, (by - ay) / length
    elements = []
    for k, half in enumerate((5, 4, 3, 3)):
        t = (1 + 4 * k) / 19  # on whole pixels of the boom
        cx, cy = ax + ux * length * t, ay + uy * length * t
        half *= math.sqrt(2)
        elements.append(((cx - uy * half, cy + ux * half), (cx + uy * half, cy - ux * half)))
    return elements


def background(x, y):
    if y >= HORIZON:
        return mix(GROUND_TOP, GROUND_LOW, (y - HORIZON) / (HEIGHT - 1 - HORIZON))
    if (x, y) in STARS:
        return STAR
    return mix(SKY_TOP, SKY_LOW, y / (HORIZON - 1))


def satellite(x, y):
    sx, sy = SATELLITE
    if abs(x - sx) <= 2 and abs(y - sy) <= 2:
        return DARK if abs(x - sx) == 2 or abs(y - sy) == 2 else GOLD
    if abs(y - sy) <= 2 and 3 <= abs(x - sx) <= 10:
        if abs(x - sx) == 3:
            return SILVER if y == sy else None  # the struts between body and panels
        return PANEL_GRID if abs(x - sx) in (6, 9) or y == sy else PANEL
    return None


def waves(x, y):
    """Two arcs from the satellite towards the antenna."""
    sx, sy = SATELLITE
    r = math.hypot(x - sx, y - sy)
    angle = math.degrees(math.atan2(y - sy, sx - x))  # 0 to the left, positive downwards
    if 30 <= angle <= 75 and any(abs(r - radius) < 0.5 for radius in (4.5, 7.0)):
        return WAVE
    return None


def pixel(x, y):
    px, py = x + 0.5, y + 0.5
    for shape in (satellite, waves):
        colour = shape(x, y)
        if colour:
            return colour
    left, top, right, bottom = ROTOR
    if left <= x <= right and top <= y <= bottom:
        edge = x in (left, right) or y in (top, bottom)
        return DARK if edge else (STEEL if y > top + 1 else SILVER)
    if distance_to_segment(px, py, *BOOM) < 0.6:
        return SILVER
    if any(distance_to_segment(px, py, *e) < 0.6 for e in yagi_elements()):
        return SILVER
    if distance_to_segment(px, py, *MAST) < 1.0:
        return STEEL
    return background(x, y)


def bmp():
    rows = []
    stride = (WIDTH * 3 + 3) // 4 * 4
    for y in reversed(range(HEIGHT)):  # bottom-up, as bitmaps are stored
        row = b"".join(struct.pack("<BBB", b, g, r) for r, g, b in
                       (pixel(x, y) for x in range(WIDTH)))
        rows.append(row + b"\0" * (stride - len(row)))
    bits = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(bits), 3780, 3780, 0, 0)
    offset = 14 + len(info)
    header = struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset)
    return header + info + bits


def main(path):
    with open(path, "wb") as f:
        f.write(bmp())


if __name__ == "__main__":
    main(sys.argv[1])
