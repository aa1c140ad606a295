#!/usr/bin/env python3
"""Writes the small BMP fixtures of the image tests: one 7 x 5 picture of 16
colours in every encoding the decoder handles, and a two-colour version of it
for the 1-bit encoding; some also with the older 12-byte core header.

    tools/make_bmp_fixtures.py [output-dir]   (default tests/image/fixtures)

The picture and palette here are repeated in tests/image/image_fixtures.h;
change both together.
"""
import os
import struct
import sys

WIDTH, HEIGHT = 7, 5
# Palette indices, top row first. Runs of three or more become RLE runs, the
# mixed stretches literals; index 0 stretches at a row start are skipped with
# deltas in the RLE files.
PICTURE = [
    [0, 0, 0, 1, 2, 3, 3],
    [4, 4, 4, 4, 4, 4, 4],
    [5, 6, 7, 8, 9, 10, 11],
    [12, 13, 13, 13, 14, 15, 15],
    [15, 15, 0, 1, 0, 1, 0],
]
# (red, green, blue); index 1 is the game's pure-green colour key.
PALETTE = [
    (0, 0, 0), (0, 255, 0), (255, 0, 0), (0, 0, 255),
    (255, 255, 255), (128, 128, 128), (255, 255, 0), (0, 255, 255),
    (255, 0, 255), (64, 32, 16), (16, 64, 128), (200, 100, 50),
    (8, 8, 8), (248, 248, 248), (96, 160, 224), (40, 80, 120),
]
TWO_COLOURS = [(0, 255, 0), (200, 40, 96)]


def rows_in_file_order(rows, top_down):
    return list(rows) if top_down else list(reversed(rows))


def pad4(data):
    return data + b"\0" * (-len(data) % 4)


def info_header(width, height, bits, compression, size_image, colours_used, header_size=40):
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression, size_image,
                         2835, 2835, colours_used, 0)
    if header_size > 40:
        # A V5 header: masks, colour space "sRGB", end points, gammas, intent,
        # profile data and size, reserved.
        extra = struct.pack("<IIII", 0, 0, 0, 0) + b"BGRs" + b"\0" * 36 + struct.pack("<IIIIIII", 0, 0, 0, 4, 0, 0, 0)
        header = struct.pack("<I", header_size) + header[4:] + extra
        assert len(header) == header_size
    return header


def bmp(width, height, bits, compression, pixels, table=b"", colours_used=0, header_size=40):
    info = info_header(width, height, bits, compression, len(pixels), colours_used, header_size)
    offset = 14 + len(info) + len(table)
    file_header = b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset)
    return file_header + info + table + pixels


def core_bmp(width, height, bits, pixels, table=b""):
    """The older form: a 12-byte core header with 16-bit fields, always
    bottom-up, and a colour table of three bytes an entry."""
    info = struct.pack("<IHHHH", 12, width, height, 1, bits)
    offset = 14 + len(info) + len(table)
    file_header = b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset)
    return file_header + info + table + pixels


def core_colour_table(palette, count):
    entries = [struct.pack("<BBB", b, g, r) for (r, g, b) in palette]
    entries += [b"\0\0\0"] * (count - len(entries))
    return b"".join(entries[:count])


def colour_table(palette, count):
    entries = [struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette]
    entries += [b"\0\0\0\0"] * (count - len(entries))
    return b"".join(entries[:count])


def packed_rows(rows, bits, top_down):
    out = b""
    for row in rows_in_file_order(rows, top_down):
        value, count, data = 0, 0, bytearray()
        for index in row:
            value = (value << bits) | index
            count += bits
            if count == 8:
                data.append(value)
                value, count = 0, 0
        if count:
            data.append(value << (8 - count))
        out += pad4(bytes(data))
    return out


def direct_rows(rows, top_down, pack):
    out = b""
    for row in rows_in_file_order(rows, top_down):
        out += pad4(b"".join(pack(PALETTE[i], x) for x, i in enumerate(row)))
    return out


def rle_rows(rows, top_down, four):
    """Runs for stretches of three or more equal indices, literals otherwise,
    a delta over leading zeros, end-of-line codes and the end-of-bitmap code."""
    out = bytearray()
    for row in rows_in_file_order(rows, top_down):
        x = 0
        zeros = 0
        while zeros < len(row) and row[zeros] == 0:
            zeros += 1
        if zeros >= 3:
            out += bytes([0, 2, zeros, 0])
            x = zeros
        while x < len(row):
            run = 1
            while x + run < len(row) and row[x + run] == row[x]:
                run += 1
            if run >= 3:
                value = row[x] << 4 | row[x] if four else row[x]
                out += bytes([run, value])
                x += run
                continue
            end = x
            while end < len(row):
                same = 1
                while end + same < len(row) and row[end + same] == row[end]:
                    same += 1
                if same >= 3:
                    break
                end += same
            literal = row[x:end]
            if len(literal) < 3:
                for index in literal:     # too short for a literal: runs of one
                    out += bytes([1, index << 4 | index if four else index])
            else:
                if four:
                    data = bytearray()
                    for k in range(0, len(literal), 2):
                        low = literal[k + 1] if k + 1 < len(literal) else 0
                        data.append(literal[k] << 4 | low)
                else:
                    data = bytearray(literal)
                if len(data) % 2:
                    data.append(0)
                out += bytes([0, len(literal)]) + data
            x = end
        out += bytes([0, 0])
    out[-2:] = bytes([0, 1])
    return bytes(out)


def main():
    outdir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "tests", "image", "fixtures")
    os.makedirs(outdir, exist_ok=True)
    files = {}
    W, H = WIDTH, HEIGHT
    table16 = colour_table(PALETTE, 16)

    files["p4.bmp"] = bmp(W, H, 4, 0, packed_rows(PICTURE, 4, False), table16, 16)
    files["p4_topdown.bmp"] = bmp(W, -H, 4, 0, packed_rows(PICTURE, 4, True), table16, 16)
    files["p8.bmp"] = bmp(W, H, 8, 0, packed_rows(PICTURE, 8, False), colour_table(PALETTE, 256))
    files["p8_short_table.bmp"] = bmp(W, H, 8, 0, packed_rows(PICTURE, 8, False), table16, 16)
    files["p8_topdown.bmp"] = bmp(W, -H, 8, 0, packed_rows(PICTURE, 8, True), colour_table(PALETTE, 256))
    files["p8_v5.bmp"] = bmp(W, H, 8, 0, packed_rows(PICTURE, 8, False), table16, 16, header_size=124)
    files["rle8.bmp"] = bmp(W, H, 8, 1, rle_rows(PICTURE, False, False), table16, 16)
    files["rle8_topdown.bmp"] = bmp(W, -H, 8, 1, rle_rows(PICTURE, True, False), table16, 16)
    files["rle4.bmp"] = bmp(W, H, 4, 2, rle_rows(PICTURE, False, True), table16, 16)

    files["p24.bmp"] = bmp(W, H, 24, 0, direct_rows(PICTURE, False, lambda c, x: bytes([c[2], c[1], c[0]])))
    files["p24_topdown.bmp"] = bmp(W, -H, 24, 0, direct_rows(PICTURE, True, lambda c, x: bytes([c[2], c[1], c[0]])))
    # The fourth byte is alpha: 0xFF except in the second column.
    files["p32.bmp"] = bmp(W, H, 32, 0, direct_rows(
        PICTURE, False, lambda c, x: bytes([c[2], c[1], c[0], 0x80 if x == 1 else 0xFF])))
    masks32 = struct.pack("<III", 0xFF0000, 0xFF00, 0xFF)
    files["p32_bitfields.bmp"] = bmp(W, H, 32, 3, direct_rows(
        PICTURE, False, lambda c, x: bytes([c[2], c[1], c[0], 0x80])), masks32)
    files["p16_555.bmp"] = bmp(W, H, 16, 0, direct_rows(
        PICTURE, False, lambda c, x: struct.pack("<H", (c[0] >> 3) << 10 | (c[1] >> 3) << 5 | c[2] >> 3)))
    masks565 = struct.pack("<III", 0xF800, 0x7E0, 0x1F)
    files["p16_565.bmp"] = bmp(W, H, 16, 3, direct_rows(
        PICTURE, False, lambda c, x: struct.pack("<H", (c[0] >> 3) << 11 | (c[1] >> 2) << 5 | c[2] >> 3)), masks565)

    two = [[i % 2 for i in row] for row in PICTURE]
    files["p1.bmp"] = bmp(W, H, 1, 0, packed_rows(two, 1, False), colour_table(TWO_COLOURS, 2), 2)
    # GDI finds the colour table behind whatever header size it is told.
    files["p1_v5.bmp"] = bmp(W, H, 1, 0, packed_rows(two, 1, False), colour_table(TWO_COLOURS, 2), 2,
                             header_size=124)

    files["p1_core.bmp"] = core_bmp(W, H, 1, packed_rows(two, 1, False), core_colour_table(TWO_COLOURS, 2))
    files["p4_core.bmp"] = core_bmp(W, H, 4, packed_rows(PICTURE, 4, False), core_colour_table(PALETTE, 16))
    files["p8_core.bmp"] = core_bmp(W, H, 8, packed_rows(PICTURE, 8, False), core_colour_table(PALETTE, 256))
    files["p24_core.bmp"] = core_bmp(W, H, 24, direct_rows(PICTURE, False, lambda c, x: bytes([c[2], c[1], c[0]])))
    # One pixel (0x11, 0x22, 0x33, alpha 0x44): no room for masks after the header.
    files["p32_1x1.bmp"] = bmp(1, 1, 32, 0, bytes([0x33, 0x22, 0x11, 0x44]))

    for name, data in files.items():
        with open(os.path.join(outdir, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
