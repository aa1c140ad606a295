#!/usr/bin/env python3
"""Turns a 32-bit top-down BMP (as screenshot_tour writes them) into an RGB
PNG, keeping every SCALE-th pixel of every SCALE-th row.
    bmp_to_png.py IN.bmp OUT.png [SCALE]"""
import struct
import sys
import zlib


def convert(source, target, scale):
    data = open(source, 'rb').read()
    offset = struct.unpack_from('<I', data, 10)[0]
    width, height = struct.unpack_from('<ii', data, 18)
    bits = struct.unpack_from('<H', data, 28)[0]
    if bits != 32:
        raise SystemExit('%s: only 32-bit BMP files' % source)
    top_down = height < 0
    height = abs(height)
    stride = width * 4
    rows = []
    for y in range(0, height, scale):
        src_y = y if top_down else height - 1 - y
        row = data[offset + src_y * stride: offset + (src_y + 1) * stride]
        line = bytearray(b'\0')
        for x in range(0, width, scale):
            line += bytes((row[4 * x + 2], row[4 * x + 1], row[4 * x]))
        rows.append(bytes(line))

    def chunk(kind, body):
        return (struct.pack('>I', len(body)) + kind + body +
                struct.pack('>I', zlib.crc32(kind + body) & 0xffffffff))

    out_width = (width + scale - 1) // scale
    png = (b'\x89PNG\r\n\x1a\n' +
           chunk(b'IHDR', struct.pack('>IIBBBBB', out_width, len(rows), 8, 2, 0, 0, 0)) +
           chunk(b'IDAT', zlib.compress(b''.join(rows), 9)) + chunk(b'IEND', b''))
    with open(target, 'wb') as f:
        f.write(png)


if __name__ == '__main__':
    if len(sys.argv) not in (3, 4):
        raise SystemExit(__doc__)
    convert(sys.argv[1], sys.argv[2], int(sys.argv[3]) if len(sys.argv) == 4 else 2)
