#!/usr/bin/env python3
"""Draws the program icon (a small grey pad with a cross key and a red button)
and writes orvex.ico with a 32x32 and a 16x16 image at 24 bits per pixel."""
import struct
import sys


def pixel(x, y, n):
    """Colour (r, g, b) of pixel (x, y) in an n-by-n icon."""
    s = n / 32.0
    def inside(x0, y0, x1, y1):
        return x0 * s <= x < x1 * s and y0 * s <= y < y1 * s
    if inside(6, 12, 14, 16) or inside(8, 10, 12, 18):
        return (16, 16, 16)          # cross key
    cx, cy, r = 23 * s, 14 * s, 4 * s
    if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
        return (192, 64, 64)         # the latched-skip red
    if inside(2, 6, 30, 26):
        return (192, 192, 192)       # pad body
    return (255, 255, 255)


def image(n):
    rows = []
    for y in range(n - 1, -1, -1):   # DIB rows run bottom-up
        row = b"".join(bytes((b, g, r)) for r, g, b in (pixel(x, y, n) for x in range(n)))
        rows.append(row + b"\0" * ((4 - len(row) % 4) % 4))
    mask_row = (n + 31) // 32 * 4
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 24, 0, 0, 0, 0, 0, 0)
    return header + b"".join(rows) + b"\0" * (mask_row * n)


def main(path):
    sizes = (32, 16)
    images = [image(n) for n in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for n, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 24, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "orvex.ico")
