#!/usr/bin/env python3
"""Writes the program's icon (game/game.ico): a 32 x 32 star on dark blue."""
import math
import struct
import sys

SIZE = 32


def inside_star(x, y):
    cx, cy = SIZE / 2 - 0.5, SIZE / 2 - 0.5
    dx, dy = x - cx, y - cy
    r = math.hypot(dx, dy)
    a = math.atan2(dy, dx) + math.pi / 2
    # radius of a five-pointed star at this angle
    k = (a % (2 * math.pi / 5)) / (2 * math.pi / 5)
    edge = 6 + 8 * abs(1 - 2 * k)
    return r <= edge


def main(path):
    pixels = bytearray()
    for row in range(SIZE - 1, -1, -1):          # bottom-up rows
        for col in range(SIZE):
            if inside_star(col, row):
                pixels += bytes((0x40, 0xD8, 0xFF, 0xFF))   # B G R A: gold
            else:
                pixels += bytes((0x60, 0x20, 0x10, 0xFF))   # dark blue
    mask = bytes(SIZE * SIZE // 8)                # fully opaque
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE * 2, 1, 32, 0,
                         len(pixels) + len(mask), 0, 0, 0, 0)
    image = header + pixels + mask
    icon = struct.pack('<HHH', 0, 1, 1)
    icon += struct.pack('<BBBBHHII', SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    with open(path, 'wb') as f:
        f.write(icon + image)


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'game/game.ico')
