#!/usr/bin/env python3
"""Draws the program icon (an eye watching over a page) and writes it as a
Windows .ico with 16, 32 and 48 pixel images. Standard library only.

    tools/make_program_icon.py src/gui/win32/program.ico
"""
import math
import struct
import sys


def pixel(x, y, size):
    """RGBA of one pixel, drawn in a 48-unit design space."""
    s = 48.0 / size
    u, v = (x + 0.5) * s, (y + 0.5) * s
    # rounded blue tile
    r = 9.0
    cx, cy = min(max(u, r + 1), 47 - r), min(max(v, r + 1), 47 - r)
    if math.hypot(u - cx, v - cy) > r:
        return (0, 0, 0, 0)
    colour = (32, 88, 168, 255)
    # eye: the intersection of two discs
    top = math.hypot(u - 24, v - 43) < 27
    bottom = math.hypot(u - 24, v + 5) < 27
    if top and bottom:
        colour = (250, 250, 245, 255)
        d = math.hypot(u - 24, v - 19)
        if d < 9:
            colour = (40, 150, 90, 255)
        if d < 4.5:
            colour = (15, 20, 30, 255)
        if math.hypot(u - 21.5, v - 16.5) < 1.8:
            colour = (255, 255, 255, 255)
    # three text lines below the eye
    for line_y, length in ((33, 30), (37.5, 24), (42, 28)):
        if abs(v - line_y) < 1.3 and 9 <= u <= 9 + length:
            colour = (230, 236, 245, 255)
    return colour


def image(size):
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up
        row = b""
        for x in range(size):
            r, g, b, a = pixel(x, y, size)
            row += bytes((b, g, r, a))
        rows.append(row)
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    mask = bytes(mask_row * size)  # alpha carries transparency
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + mask


def main():
    sizes = (16, 32, 48)
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
