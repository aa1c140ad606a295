#!/usr/bin/env python3
"""Writes the archive fixtures of the file-layer tests: the same few files
packed once for every version (0 to 4), packing (stored; LZ from version 2)
and key (the key string KOWR, no key string, the fallback key), each as
v<version>_<stored|lz>_<kowr|pattern|second>.ukx.

    tools/make_archive_fixtures.py [output-dir]   (default tests/runtime/file/fixtures)

The reader and the packer share the format's constants, so a change to one
of them still passes every round trip while existing archives stop opening.
This writer keeps its own copy of the layout, the key scheme and the LZ
tokens on purpose, and its output is committed: rerunning it gives the same
bytes. The files, names and times here are repeated in
tests/runtime/file/test_archive_fixtures.cpp; change both together.
"""
import os
import struct
import sys

# Key scheme: the pattern byte without a key string, the fallback key's byte,
# and each position's operation (invert, swap nibbles, rotate left, XOR).
KEY_PATTERN = 0xB3
SECOND_KEY = 0x6E
KEY_OPERATIONS = [
    (1, 0, 3, 0x5A), (0, 1, 1, 0xC3), (1, 1, 5, 0x19), (0, 0, 7, 0xE4),
    (1, 0, 2, 0x7B), (0, 1, 6, 0x2D), (1, 1, 4, 0x96), (0, 0, 1, 0x3F),
    (1, 0, 6, 0xD2), (0, 1, 3, 0x48), (1, 1, 2, 0xA1), (0, 0, 5, 0x0C),
]
KEYS = {"kowr": b"KOWR", "pattern": None, "second": "second"}

STORED = 0xFFFFFFFF
NO_PARENT = 0xFFFFFFFF
DIRECTORY = 0x10
FILE_ATTRIBUTES = 0x20

SJIS_DIR = "ソフト".encode("cp932")          # 83 5C 83 74 83 67
SJIS_FILE = "表.txt".encode("cp932")         # 95 5C: a trail byte equal to "\"

TABLE_CSV = b"id,name,value\r\n" + b"".join(
    b"%d,alpha,%d\r\n" % (i, 100 + i % 3) for i in range(1, 21))

# (path components, data or None for a directory, creation, last access,
# last write); the times are FILETIME values, each one different.
FILES = [
    ([b"Readme.txt"], b"Fixture archive: one layout, many packings.\r\n",
     0x01D5A1B2C3D4E5F6, 0x01D5A1B2C3D4E5F7, 0x01D6000011112222),
    ([b"data"], None, 0x01D4000000000001, 0x01D4000000000002, 0x01D4000000000003),
    ([b"data", b"Table.csv"], TABLE_CSV,
     0x01D7123456789ABC, 0x01D7123456789ABD, 0x01D8FEDCBA987654),
    ([b"data", b"zero.bin"], b"", 0x01D3000000000010, 0x01D3000000000020, 0x01D3000000000030),
    ([SJIS_DIR], None, 0x01D2000000000100, 0x01D2000000000200, 0x01D2000000000300),
    ([SJIS_DIR, SJIS_FILE], b"shift-jis name\r\n",
     0x01D9000000001000, 0x01D9000000002000, 0x01D9000000003000),
    ([b"Empty"], None, 0x01D1000000010000, 0x01D1000000020000, 0x01D1000000030000),
]


def is_lead(byte):
    return 0x81 <= byte <= 0x9F or 0xE0 <= byte <= 0xFC


def search_form(name):
    out = bytearray()
    i = 0
    while i < len(name):
        if is_lead(name[i]) and i + 1 < len(name):
            out += name[i:i + 2]
            i += 2
            continue
        c = name[i]
        out.append(c - 32 if ord("a") <= c <= ord("z") else c)
        i += 1
    return bytes(out)


def make_key(kind):
    if kind == "second":
        return bytes([SECOND_KEY] * 12)
    text = KEYS[kind]
    raw = [text[i % len(text)] if text else KEY_PATTERN for i in range(12)]
    key = []
    for value, (invert, swap, rotate, xor) in zip(raw, KEY_OPERATIONS):
        if invert:
            value ^= 0xFF
        if swap:
            value = ((value << 4) | (value >> 4)) & 0xFF
        if rotate:
            value = ((value << rotate) | (value >> (8 - rotate))) & 0xFF
        key.append(value ^ xor)
    return bytes(key)


def lz_block(data):
    """Greedy LZ: the escape byte is the rarest byte value; matches of 4 to
    8195 bytes at distances of 1 to 65536 (one or two distance bytes)."""
    counts = [0] * 256
    for b in data:
        counts[b] += 1
    escape = min(range(256), key=lambda b: (counts[b], b))
    tokens = bytearray()
    i = 0
    while i < len(data):
        best_length, best_distance = 0, 0
        for j in range(max(0, i - 65536), i):
            length = 0
            while i + length < len(data) and length < 8195 and data[j + length] == data[i + length]:
                length += 1
            if length > best_length:
                best_length, best_distance = length, i - j
        if best_length >= 4:
            length_field = best_length - 4
            distance_field = best_distance - 1
            kind = 0 if distance_field < 0x100 else 1
            m = (length_field & 31) << 3 | (4 if length_field >= 32 else 0) | kind
            tokens += bytes([escape, m if m < escape else m + 1])
            if length_field >= 32:
                tokens.append(length_field >> 5)
            tokens += distance_field.to_bytes(kind + 1, "little")
            i += best_length
        else:
            tokens += bytes([escape, escape]) if data[i] == escape else data[i:i + 1]
            i += 1
    return struct.pack("<II", len(data), 9 + len(tokens)) + bytes([escape]) + bytes(tokens)


def build(version, lz, key_kind):
    entry_size = 44 if version >= 2 else 40
    header_size = 28 if version >= 4 else 24

    # Directories and their entries, the root first, each directory's
    # entries in the order listed.
    children = {(): []}
    for item in FILES:
        path, data = item[0], item[1]
        children.setdefault(tuple(path[:-1]), []).append(item)
        if data is None:
            children.setdefault(tuple(path), [])
    directories = [()]
    for d in directories:
        directories += [tuple(c[0]) for c in children[d] if c[1] is None]
    dir_offset = {d: 16 * n for n, d in enumerate(directories)}

    entry_offset, first_entry = {}, {}
    n = 0
    for d in directories:
        first_entry[d] = n * entry_size
        for c in children[d]:
            entry_offset[tuple(c[0])] = n * entry_size
            n += 1

    names = bytearray()
    file_table = bytearray()
    data_area = bytearray()
    for d in directories:
        for path, data, creation, access, write in children[d]:
            name = path[-1]
            form = search_form(name)
            units = (len(form) + 4) // 4
            name_offset = len(names)
            names += struct.pack("<HH", units, sum(form) & 0xFFFF) + form.ljust(4 * units, b"\0") + name + b"\0"
            names += b"\0" * (-len(names) % 4)
            if data is None:
                attributes, offset, size, packed = DIRECTORY, dir_offset[tuple(path)], 0, STORED
            else:
                attributes, offset, size, packed = FILE_ATTRIBUTES, len(data_area), len(data), STORED
                block = lz_block(data) if lz and data else None
                if block is not None and len(block) < len(data):
                    packed = len(block)
                    data_area += block
                else:
                    data_area += data
            entry = struct.pack("<IIQQQII", name_offset, attributes, creation, access, write, offset, size)
            if version >= 2:
                entry += struct.pack("<I", packed)
            assert len(entry) == entry_size
            file_table += entry

    dir_table = bytearray()
    for d in directories:
        own = NO_PARENT if d == () else entry_offset[d]
        parent = NO_PARENT if d == () else dir_offset[d[:-1]]
        dir_table += struct.pack("<IIII", own, parent, len(children[d]), first_entry[d])

    file_table_offset = len(names)
    dir_table_offset = file_table_offset + len(file_table)
    block_size = dir_table_offset + len(dir_table)
    header = b"VE" + struct.pack("<HIIIII", version, block_size, header_size + block_size, header_size,
                                 file_table_offset, dir_table_offset)
    if version >= 4:
        header += struct.pack("<I", 932)
    plain = header + names + file_table + dir_table + data_area
    key = make_key(key_kind)
    return bytes(b ^ key[i % 12] for i, b in enumerate(plain))


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "tests", "runtime", "file", "fixtures")
    os.makedirs(out_dir, exist_ok=True)
    for version in range(5):
        for lz in ([False, True] if version >= 2 else [False]):
            for key_kind in KEYS:
                name = "v%d_%s_%s.ukx" % (version, "lz" if lz else "stored", key_kind)
                with open(os.path.join(out_dir, name), "wb") as f:
                    f.write(build(version, lz, key_kind))


if __name__ == "__main__":
    main()
