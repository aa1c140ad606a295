#!/usr/bin/env python3
"""Writes the small TGA, PNG, JPEG, BGRA and DDS fixtures of the image tests.

    tools/make_image_fixtures.py [output-dir]   (default tests/image/fixtures)

TGA, PNG and BGRA files hold the 7 x 5 picture of the BMP fixtures (see
tools/make_bmp_fixtures.py) in every encoding; the 32-bit kinds add the
alpha ALPHA(x, y). DDS files hold an 8 x 8 picture of pure colours, two to a
4 x 4 block, which every DDS encoding (DXT blocks included) stores exactly.
JPEG files (grey, colour, progressive colour, and a CMYK one the decoder
refuses) are written by tools/jpeg_fixture_writer.c, built here against
the system's libjpeg (quality 100, no chroma subsampling).

The pictures here are repeated in tests/image/image_fixtures.h and
tests/image/test_image_decoders.cpp; change them together.
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

WIDTH, HEIGHT = 7, 5
PICTURE = [
    [0, 0, 0, 1, 2, 3, 3],
    [4, 4, 4, 4, 4, 4, 4],
    [5, 6, 7, 8, 9, 10, 11],
    [12, 13, 13, 13, 14, 15, 15],
    [15, 15, 0, 1, 0, 1, 0],
]
PALETTE = [
    (0, 0, 0), (0, 255, 0), (255, 0, 0), (0, 0, 255),
    (255, 255, 255), (128, 128, 128), (255, 255, 0), (0, 255, 255),
    (255, 0, 255), (64, 32, 16), (16, 64, 128), (200, 100, 50),
    (8, 8, 8), (248, 248, 248), (96, 160, 224), (40, 80, 120),
]


def ALPHA(x, y):
    return 255 - 30 * x - 7 * y


def rgb(x, y):
    return PALETTE[PICTURE[y][x]]


# --- TGA -------------------------------------------------------------------
TGA_FOOTER = struct.pack("<II", 0, 0) + b"TRUEVISION-XFILE.\0"


def tga_colour(r, g, b, a, bits):
    if bits == 16:
        return struct.pack("<H", 0x8000 | (r >> 3) << 10 | (g >> 3) << 5 | b >> 3)
    if bits == 24:
        return bytes((b, g, r))
    return bytes((b, g, r, a))


def rle_packets(values):
    """Run packets for repeats of two or more, raw packets for the rest."""
    out = b""
    i = 0
    while i < len(values):
        run = 1
        while i + run < len(values) and values[i + run] == values[i] and run < 128:
            run += 1
        if run >= 2:
            out += bytes((0x80 | (run - 1),)) + values[i]
            i += run
            continue
        j = i
        while j < len(values) and j - i < 128 and not (j + 1 < len(values) and values[j + 1] == values[j]):
            j += 1
        j = max(j, i + 1)
        out += bytes((j - i - 1,)) + b"".join(values[i:j])
        i = j
    return out


def tga(image_type, bits, descriptor, footer=False, image_id=b""):
    mapped = image_type in (1, 9)
    order_rows = range(HEIGHT) if descriptor & 0x20 else reversed(range(HEIGHT))
    values = []
    for y in order_rows:
        xs = range(WIDTH - 1, -1, -1) if descriptor & 0x10 else range(WIDTH)
        for x in xs:
            if mapped:
                values.append(bytes((PICTURE[y][x],)))
            else:
                values.append(tga_colour(*rgb(x, y), ALPHA(x, y), bits))
    colour_map = b""
    if mapped:
        colour_map = b"".join(tga_colour(*c, 255, bits) for c in PALETTE)
    header = struct.pack("<BBBHHBHHHHBB", len(image_id), 1 if mapped else 0, image_type, 0,
                         len(PALETTE) if mapped else 0, bits if mapped else 0, 0, 0, WIDTH, HEIGHT,
                         8 if mapped else bits, descriptor | (8 if bits == 32 else 0))
    data = rle_packets(values) if image_type in (9, 10) else b"".join(values)
    return header + image_id + colour_map + data + (TGA_FOOTER if footer else b"")


# --- PNG -------------------------------------------------------------------
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]


def pack_row(samples, depth):
    if depth >= 8:
        return b"".join(s.to_bytes(depth // 8, "big") for s in samples)
    out, acc, n = bytearray(), 0, 0
    for s in samples:
        acc = acc << depth | s
        n += depth
        if n == 8:
            out.append(acc)
            acc, n = 0, 0
    if n:
        out.append(acc << (8 - n))
    return bytes(out)


def png(colour_type, depth, sample, interlace=False, extra=b"", palette=None):
    """sample(x, y) gives the pixel's list of samples at the file's depth."""
    raw = b""
    passes = ADAM7 if interlace else [(0, 0, 1, 1)]
    for x0, y0, dx, dy in passes:
        xs = list(range(x0, WIDTH, dx))
        if not xs:
            continue
        for y in range(y0, HEIGHT, dy):
            raw += b"\0" + pack_row([s for x in xs for s in sample(x, y)], depth)
    ihdr = struct.pack(">IIBBBBB", WIDTH, HEIGHT, depth, colour_type, 0, 0, 1 if interlace else 0)
    body = chunk(b"IHDR", ihdr)
    if palette is not None:
        body += chunk(b"PLTE", b"".join(bytes(c) for c in palette))
    body += extra + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    return b"\x89PNG\r\n\x1a\n" + body


def scale(v8, depth):
    """An 8-bit value at a file depth (16 bits: the byte, then 0xC0)."""
    return v8 << 8 | 0xC0 if depth == 16 else v8


def grey_value(x, y, depth):
    """Grey pictures hold the index, at bit depths below 4 cut to the depth."""
    index = PICTURE[y][x] % (1 << min(depth, 4))
    return index if depth < 8 else scale(index * 17, depth)


def png_files():
    files = {}
    for depth in (1, 2, 4, 8, 16):
        files["png_g%d.png" % depth] = png(0, depth, lambda x, y, d=depth: [grey_value(x, y, d)])
    for depth in (8, 16):
        files["png_rgb%d.png" % depth] = png(2, depth, lambda x, y, d=depth: [scale(c, d) for c in rgb(x, y)])
        files["png_rgba%d.png" % depth] = png(
            6, depth, lambda x, y, d=depth: [scale(c, d) for c in rgb(x, y)] + [scale(ALPHA(x, y), d)])
        files["png_ga%d.png" % depth] = png(
            4, depth, lambda x, y, d=depth: [scale(PICTURE[y][x] * 17, d), scale(ALPHA(x, y), d)])
    for depth in (1, 2, 4, 8):
        count = min(16, 1 << depth)
        files["png_p%d.png" % depth] = png(3, depth, lambda x, y, c=count: [PICTURE[y][x] % c],
                                           palette=PALETTE[:count])
    # Interlaced: whole bytes, packed samples, a palette.
    files["png_rgb8_interlaced.png"] = png(2, 8, lambda x, y: list(rgb(x, y)), interlace=True)
    files["png_g2_interlaced.png"] = png(0, 2, lambda x, y: [grey_value(x, y, 2)], interlace=True)
    files["png_p4_interlaced.png"] = png(3, 4, lambda x, y: [PICTURE[y][x]], interlace=True, palette=PALETTE)
    # tRNS: palette alphas (entry i: 255 - 16 i, the last ones left opaque), a
    # transparent RGB colour (the green key) and a transparent grey.
    trns_pal = chunk(b"tRNS", bytes(255 - 16 * i for i in range(12)))
    files["png_p8_trns.png"] = png(3, 8, lambda x, y: [PICTURE[y][x]], extra=trns_pal, palette=PALETTE)
    files["png_rgb8_trns.png"] = png(2, 8, lambda x, y: list(rgb(x, y)), extra=chunk(b"tRNS", struct.pack(">HHH", 0, 255, 0)))
    files["png_g8_trns.png"] = png(0, 8, lambda x, y: [grey_value(x, y, 8)], extra=chunk(b"tRNS", struct.pack(">H", 4 * 17)))
    return files


# --- BGRA ------------------------------------------------------------------
def bgra(code):
    out = b"BGRA" + struct.pack("<III", code, WIDTH, HEIGHT)
    for y in range(HEIGHT):
        for x in range(WIDTH):
            r, g, b = rgb(x, y)
            px = (b, g, r, ALPHA(x, y))
            # 16-bit values: the byte high, a low byte that must be dropped.
            out += bytes(px) if code == 0x08080808 else b"".join(struct.pack("<H", v << 8 | 0x5A) for v in px)
    return out


# --- DDS -------------------------------------------------------------------
DDS_SIDE = 8
# Pure colours (each channel 0 or 255), index into PALETTE; two to a block.
DDS_PICTURE = [
    [1, 1, 2, 2, 4, 4, 4, 3],
    [1, 2, 2, 1, 4, 3, 3, 3],
    [2, 2, 1, 1, 3, 3, 4, 4],
    [1, 1, 1, 2, 3, 4, 4, 4],
    [0, 0, 6, 6, 7, 7, 8, 8],
    [6, 0, 0, 6, 8, 7, 7, 8],
    [6, 6, 0, 0, 7, 8, 8, 7],
    [0, 6, 6, 0, 8, 8, 7, 7],
]


def DDS_ALPHA(x, y):
    return 17 * ((x + 2 * y) % 16)


def dds_rgb(x, y):
    return PALETTE[DDS_PICTURE[y][x]]


def rgb565(c):
    r, g, b = c
    return (r >> 3) << 11 | (g >> 2) << 5 | b >> 3


def dxt_colour_block(bx, by, dxt1):
    colours = sorted({rgb565(dds_rgb(4 * bx + i, 4 * by + j)) for j in range(4) for i in range(4)})
    c0 = colours[-1]
    c1 = colours[0] if len(colours) > 1 else c0
    if not dxt1 and c0 == c1:
        c1 = c0  # four-colour mode is not needed: indices 0 only
    # DXT1 four-colour mode needs colour 0 above colour 1; equal colours use
    # index 0 only, which both modes read the same.
    index = 0
    for j in range(4):
        for i in range(4):
            v = rgb565(dds_rgb(4 * bx + i, 4 * by + j))
            index |= (0 if v == c0 else 1) << (2 * (4 * j + i))
    return struct.pack("<HHI", c0, c1, index)


def dxt_alpha_block(bx, by, kind):
    alphas = [DDS_ALPHA(4 * bx + i, 4 * by + j) for j in range(4) for i in range(4)]
    if kind == 3:
        value = 0
        for k, a in enumerate(alphas):
            value |= (a // 17) << (4 * k)
        return struct.pack("<Q", value)
    # DXT5 with alpha 0 = 0 and alpha 1 = 255 (six-step mode): indices 6 and 7
    # give 0 and 255 exactly, so use a block of those two values only.
    bits = 0
    for k, a in enumerate(alphas):
        bits |= (7 if a >= 128 else 6) << (3 * k)
    return bytes((0, 255)) + bits.to_bytes(6, "little")


def dxt5_alpha(x, y):
    return 255 if DDS_ALPHA(x, y) >= 128 else 0


def dxt_data(kind, side):
    out = b""
    for by in range(max(1, side // 4)):
        for bx in range(max(1, side // 4)):
            if kind == 3:
                out += dxt_alpha_block(bx, by, 3)
            elif kind == 5:
                out += dxt_alpha_block(bx, by, 5)
            out += dxt_colour_block(bx, by, kind == 1)
    return out


def dds(pf_flags, four_cc, bits, masks, data, width=DDS_SIDE, height=DDS_SIDE, mips=0, pitch=None):
    flags = 0x1007 | (0x8 if pitch is not None else 0) | (0x20000 if mips else 0)
    caps = 0x1000 | (0x400008 if mips else 0)
    header = struct.pack("<IIIIIII", 124, flags, height, width, pitch or 0, 0, mips) + b"\0" * 44
    header += struct.pack("<II", 32, pf_flags) + four_cc + struct.pack("<IIIII", bits, *masks)
    header += struct.pack("<IIIII", caps, 0, 0, 0, 0)
    assert len(header) == 124
    return b"DDS " + header + data


def pack_masked(bits, masks, r, g, b, a):
    value = 0
    for channel, mask in zip((r, g, b, a), masks):
        if mask:
            shift = (mask & -mask).bit_length() - 1
            top = mask >> shift
            value |= (channel * top // 255) << shift
    return value.to_bytes(bits // 8, "little")


# Numbered Direct3D formats: number, bits, red, green, blue, alpha masks.
D3D_FORMATS = [
    (20, 24, 0xFF0000, 0xFF00, 0xFF, 0), (21, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000),
    (22, 32, 0xFF0000, 0xFF00, 0xFF, 0), (23, 16, 0xF800, 0x7E0, 0x1F, 0),
    (24, 16, 0x7C00, 0x3E0, 0x1F, 0), (25, 16, 0x7C00, 0x3E0, 0x1F, 0x8000),
    (26, 16, 0xF00, 0xF0, 0xF, 0xF000), (27, 8, 0xE0, 0x1C, 0x3, 0),
    (29, 16, 0xE0, 0x1C, 0x3, 0xFF00), (30, 16, 0xF00, 0xF0, 0xF, 0),
    (31, 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000), (32, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000),
    (33, 32, 0xFF, 0xFF00, 0xFF0000, 0), (35, 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000),
]


def masked_pixels(bits, masks, side=DDS_SIDE):
    return b"".join(pack_masked(bits, masks, *dds_rgb(x, y), 255) for y in range(side) for x in range(side))


def dds_files():
    files = {}
    for kind in (1, 2, 3, 4, 5):
        files["dds_dxt%d.dds" % kind] = dds(0x4, b"DXT%d" % kind, 0, (0, 0, 0, 0),
                                            dxt_data(1 if kind == 1 else 3 if kind in (2, 3) else 5, DDS_SIDE))
    # DXT1 with its whole chain: 8 x 8, 4 x 4, 2 x 2, 1 x 1 (one block each
    # below the top level).
    files["dds_dxt1_mips.dds"] = dds(0x4, b"DXT1", 0, (0, 0, 0, 0), dxt_data(1, 8) + dxt_data(1, 4) * 3, mips=4)
    for number, bits, *masks in D3D_FORMATS:
        files["dds_d3d%d.dds" % number] = dds(0x4, struct.pack("<I", number), 0, (0, 0, 0, 0),
                                              masked_pixels(bits, masks), pitch=DDS_SIDE * bits // 8)
    argb = (0xFF0000, 0xFF00, 0xFF, 0xFF000000)
    files["dds_argb32.dds"] = dds(0x41, b"\0\0\0\0", 32, argb, masked_pixels(32, argb))
    rgb565m = (0xF800, 0x7E0, 0x1F, 0)
    # No DDPF_RGB (a luminance-style flag): the masks are taken as they are.
    files["dds_mask565.dds"] = dds(0x20000, b"\0\0\0\0", 16, rgb565m, masked_pixels(16, rgb565m))
    # Uncompressed mips: 8 x 8, 4 x 4, 2 x 2, 1 x 1 of A8R8G8B8 (a quarter each).
    levels = masked_pixels(32, argb) + masked_pixels(32, argb, 4) + masked_pixels(32, argb, 2)[:16] + b"\0" * 4
    files["dds_argb32_mips.dds"] = dds(0x41, b"\0\0\0\0", 32, argb, levels, mips=4)
    return files


# --- JPEG ------------------------------------------------------------------
def jpeg_files(out_dir):
    here = os.path.dirname(os.path.abspath(__file__))
    work = tempfile.mkdtemp()
    try:
        writer = os.path.join(work, "jpeg_fixture_writer")
        subprocess.check_call(["cc", "-O1", "-o", writer, os.path.join(here, "jpeg_fixture_writer.c"), "-ljpeg"])
        rgb_bytes = bytes(c for y in range(HEIGHT) for x in range(WIDTH) for c in rgb(x, y))
        grey_bytes = bytes(PICTURE[y][x] * 17 for y in range(HEIGHT) for x in range(WIDTH))
        for name, data, components, progressive in (
                ("jpeg_rgb.jpg", rgb_bytes, 3, 0), ("jpeg_progressive.jpg", rgb_bytes, 3, 1),
                ("jpeg_grey.jpg", grey_bytes, 1, 0), ("jpeg_cmyk.jpg", grey_bytes * 4, 4, 0)):
            subprocess.run([writer, os.path.join(out_dir, name), str(WIDTH), str(HEIGHT), str(components),
                            str(progressive)], input=data, check=True)
    finally:
        shutil.rmtree(work)


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "tests", "image", "fixtures")
    os.makedirs(out_dir, exist_ok=True)
    files = {}
    # Every type with every origin (24 bits), the other depths bottom-up.
    origins = {0x00: "bl", 0x20: "tl", 0x10: "br", 0x30: "tr"}
    for image_type in (1, 2, 9, 10):
        for descriptor, origin in origins.items():
            files["tga_t%d_%s.tga" % (image_type, origin)] = tga(image_type, 24, descriptor)
        for bits in (16, 32):
            files["tga_t%d_%d.tga" % (image_type, bits)] = tga(image_type, bits, 0x00)
    files["tga_t10_32_footer.tga"] = tga(10, 32, 0x20, footer=True, image_id=b"fixture")
    files.update(png_files())
    files["bgra8.bgra"] = bgra(0x08080808)
    files["bgra16.bgra"] = bgra(0x10101010)
    files.update(dds_files())
    for name, data in files.items():
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(data)
    jpeg_files(out_dir)


if __name__ == "__main__":
    main()
