#!/usr/bin/env python3
"""Draws resources/CHECK_LIGHT.bmp, the strip of check-box and radio-button pictures the tree
control shows as state images.

Nine 16 x 16 pictures side by side in a 4-bit bitmap with the standard 16-colour palette. Only
palette entries 7 (grey), 8 (silver) and 15 (white) are used, because the program replaces
entries 7 and 8 by the button shadow and button face colours of the desktop. White is the
background, made transparent when the pictures are cut.

Run: python3 tools/make_check_light.py   (writes resources/CHECK_LIGHT.bmp)
"""
import os
import struct

SIZE = 16
COUNT = 9
GREY, SILVER, WHITE = 7, 8, 15
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (128, 128, 128), (192, 192, 192), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
    (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def blank():
    return [[WHITE] * SIZE for _ in range(SIZE)]


def box(filled):
    p = blank()
    for i in range(2, 14):
        p[2][i] = p[13][i] = p[i][2] = p[i][13] = SILVER  # outer edge
    for i in range(3, 13):
        p[3][i] = p[i][3] = GREY  # inner top-left edge
    if filled:
        for y in range(4, 13):
            for x in range(4, 13):
                p[y][x] = SILVER
    return p


def cross(p):
    for i in range(5, 11):
        p[i][i] = p[i][i + 1] = GREY
        p[i][15 - i] = p[i][14 - i] = GREY
    return p


def inside(x, y, r):
    dx, dy = x - 7.5, y - 7.5
    return dx * dx + dy * dy <= r * r


def circle(filled):
    p = blank()
    for y in range(SIZE):
        for x in range(SIZE):
            if inside(x, y, 6.5) and not inside(x, y, 5.5):
                p[y][x] = SILVER  # outer edge
            elif inside(x, y, 5.5) and not inside(x, y, 4.5) and x + y < 15:
                p[y][x] = GREY  # inner top-left edge
            elif filled and inside(x, y, 4.5):
                p[y][x] = SILVER
    return p


def dot(p):
    for y in range(SIZE):
        for x in range(SIZE):
            if inside(x, y, 2.0):
                p[y][x] = GREY
    return p


PICTURES = [
    blank(), box(False), cross(box(False)), box(True), cross(box(True)),
    circle(False), dot(circle(False)), circle(True), dot(circle(True)),
]


def write(path):
    width, height = SIZE * COUNT, SIZE
    row_bytes = (width * 4 + 31) // 32 * 4
    pixels = bytearray()
    for y in range(height - 1, -1, -1):  # bottom-up rows
        row = [PICTURES[x // SIZE][y][x % SIZE] for x in range(width)]
        packed = bytearray((row[i] << 4) | row[i + 1] for i in range(0, width, 2))
        pixels += packed + bytes(row_bytes - len(packed))
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    offset = 14 + 40 + len(palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, len(pixels), 2835, 2835, 16, 16)
    head = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(head + info + palette + pixels)


if __name__ == "__main__":
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    write(os.path.join(root, "resources", "CHECK_LIGHT.bmp"))
