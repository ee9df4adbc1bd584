#!/usr/bin/env python3
"""Draws the program icon (a disk platter with a nudge arrow) and writes it as a .ico file.

Usage: make_icon.py OUTPUT.ico

The icon is committed; run this only to change it. 16 and 32 pixel images, 32-bit BGRA.
"""
import math
import struct
import sys


def pixel(size, x, y):
    c = (size - 1) / 2.0
    r = math.hypot(x - c, y - c) / (size / 2.0)
    if r > 0.95:
        return (0, 0, 0, 0)
    if r < 0.18:
        return (40, 40, 40, 255)
    # Platter: grey rings, with a green wedge that reads as motion.
    angle = math.atan2(y - c, x - c)
    if -0.6 < angle < 0.35 and r > 0.35:
        return (60, 190, 70, 255)
    shade = 170 + int(50 * math.cos(r * 9.0))
    return (shade, shade, shade + 10, 255)


def image(size):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = []
    for y in reversed(range(size)):  # bottom-up
        row = b""
        for x in range(size):
            r, g, b, a = pixel(size, x, y)
            row += bytes((b, g, r, a))
        rows.append(row)
    mask_row = b"\0" * (((size + 31) // 32) * 4)
    return header + b"".join(rows) + mask_row * size


def main():
    sizes = (16, 32)
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
