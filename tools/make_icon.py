#!/usr/bin/env python3
"""Draws Tarvik's icon (a blue tile holding a white archive box and a green check) at every
size the desktop asks for, into resources/icons/tarvik-<size>.png, and once more as the
notification-area icon the program carries inside itself: resources/icons/tarvik-tray.bmp,
24-bit, with magenta (FF00FF) where the icon is transparent.

Made with:  python3 tools/make_icon.py
Pure Python (zlib only), so that it runs on any machine; each pixel is supersampled 4x4.
"""
import math
import os
import struct
import zlib

SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
SS = 4


def rounded_rect(x, y, x0, y0, x1, y1, r):
    if x < x0 or x > x1 or y < y0 or y > y1:
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def near_segment(x, y, ax, ay, bx, by, w):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    px, py = ax + t * dx, ay + t * dy
    return (x - px) ** 2 + (y - py) ** 2 <= w * w


def sample(x, y):
    """Colour (r, g, b, a) of the icon at (x, y) in the unit square, painter's order."""
    colour = (0, 0, 0, 0)
    if rounded_rect(x, y, 0.04, 0.04, 0.96, 0.96, 0.2):
        t = (y - 0.04) / 0.92
        colour = (int(0x3d + (0x1c - 0x3d) * t), int(0x8f + (0x5a - 0x8f) * t), int(0xd1 + (0x96 - 0xd1) * t), 255)
    if rounded_rect(x, y, 0.22, 0.40, 0.78, 0.80, 0.05):
        colour = (255, 255, 255, 255)
    if rounded_rect(x, y, 0.17, 0.28, 0.83, 0.42, 0.04):
        colour = (0xe3, 0xee, 0xf8, 255)
    if rounded_rect(x, y, 0.39, 0.50, 0.61, 0.57, 0.03):
        colour = (0x1c, 0x5a, 0x96, 255)
    if (x - 0.74) ** 2 + (y - 0.74) ** 2 <= 0.17 ** 2:
        colour = (0x2e, 0xa0, 0x43, 255)
        if near_segment(x, y, 0.665, 0.745, 0.72, 0.80, 0.025) or near_segment(x, y, 0.72, 0.80, 0.82, 0.685, 0.025):
            colour = (255, 255, 255, 255)
    return colour


def render(size):
    rows = []
    for py in range(size):
        row = bytearray([0])  # filter type: none
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(SS):
                for sx in range(SS):
                    r, g, b, a = sample((px + (sx + 0.5) / SS) / size, (py + (sy + 0.5) / SS) / size)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = SS * SS
            alpha = acc[3] / n
            if acc[3]:
                row += bytes((round(acc[0] / acc[3]), round(acc[1] / acc[3]), round(acc[2] / acc[3]), round(alpha)))
            else:
                row += bytes(4)
        rows.append(bytes(row))
    return b"".join(rows)


def png(size, pixels):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(pixels, 9)) + chunk(b"IEND", b"")


def bmp(size, pixels):
    """A bottom-up 24-bit BMP; pixels under half opaque become the transparent magenta."""
    stride = (size * 3 + 3) & ~3
    rows = []
    for y in reversed(range(size)):
        row = bytearray()
        for x in range(size):
            r, g, b, a = pixels[1 + y * (size * 4 + 1) + x * 4: 1 + y * (size * 4 + 1) + x * 4 + 4]
            row += bytes((b, g, r)) if a >= 128 else bytes((0xFF, 0x00, 0xFF))
        rows.append(bytes(row) + bytes(stride - len(row)))
    data = b"".join(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + 40 + len(data), 0, 0, 54) + header + data


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "icons")
    os.makedirs(out, exist_ok=True)
    for size in SIZES:
        with open(os.path.join(out, f"tarvik-{size}.png"), "wb") as f:
            f.write(png(size, render(size)))
    with open(os.path.join(out, "tarvik-tray.bmp"), "wb") as f:
        f.write(bmp(32, render(32)))


if __name__ == "__main__":
    main()
