// Fixed values of the archive format, shared by the reader in the library and
// the packer in tools/: layout sizes, the LZ token limits and the key scheme.
// Changing any value here makes every existing archive unreadable.
#pragma once

#include <stdint.h>

enum : uint32_t {
    ARCHIVE_MAGIC = 0x4556,              // "VE" read as a little-endian word
    ARCHIVE_MAX_VERSION = 4,
    ARCHIVE_HEADER_SIZE = 24,            // versions 0 to 3
    ARCHIVE_HEADER_SIZE_V4 = 28,         // version 4 adds the code page
    ARCHIVE_FILE_ENTRY_SIZE_V0 = 40,     // versions 0 and 1
    ARCHIVE_FILE_ENTRY_SIZE = 44,        // from version 2: with the LZ block size
    ARCHIVE_DIR_ENTRY_SIZE = 16,
    ARCHIVE_FIRST_LZ_VERSION = 2,
    ARCHIVE_STORED = 0xFFFFFFFFu,        // LZ block size of an uncompressed entry
    ARCHIVE_NO_PARENT = 0xFFFFFFFFu,     // parent of the root directory
    ARCHIVE_DIRECTORY_ATTRIBUTE = 0x10,
    ARCHIVE_KEY_SIZE = 12,
    ARCHIVE_NAME_FORM_SIZE = 1024,       // longest search form, in bytes

    LZ_HEADER_SIZE = 9,                  // output size, block size, escape byte
    LZ_MIN_MATCH = 4,
    LZ_MAX_MATCH = 8195,                 // length field 13 bits + 4
    LZ_MAX_DISTANCE = 16777216,          // 3 distance bytes + 1
};

// Header fields, as byte offsets into the unscrambled header.
enum {
    ARCHIVE_HEADER_MAGIC = 0,
    ARCHIVE_HEADER_VERSION = 2,
    ARCHIVE_HEADER_BLOCK_SIZE = 4,
    ARCHIVE_HEADER_DATA_OFFSET = 8,
    ARCHIVE_HEADER_BLOCK_OFFSET = 12,
    ARCHIVE_HEADER_FILE_TABLE = 16,
    ARCHIVE_HEADER_DIR_TABLE = 20,
    ARCHIVE_HEADER_CODE_PAGE = 24,
};

// File entry fields.
enum {
    ARCHIVE_ENTRY_NAME = 0,
    ARCHIVE_ENTRY_ATTRIBUTES = 4,
    ARCHIVE_ENTRY_CREATION = 8,
    ARCHIVE_ENTRY_ACCESS = 16,
    ARCHIVE_ENTRY_LAST_WRITE = 24,
    ARCHIVE_ENTRY_DATA = 32,
    ARCHIVE_ENTRY_SIZE = 36,
    ARCHIVE_ENTRY_PACKED = 40,
};

// Directory entry fields.
enum {
    ARCHIVE_DIR_SELF = 0,
    ARCHIVE_DIR_PARENT = 4,
    ARCHIVE_DIR_COUNT = 8,
    ARCHIVE_DIR_FIRST = 12,
};

// Key scheme. A key string fills the 12 key bytes by repetition; without one
// every byte starts as the pattern byte. Each position then goes through its
// own operation. The fallback key is 12 copies of one byte, used as it is.
enum : uint8_t {
    ARCHIVE_KEY_PATTERN = 0xB3,
    ARCHIVE_SECOND_KEY = 0x6E,
};

struct ArchiveKeyOperation {
    uint8_t invert;       // complement the byte first
    uint8_t swapNibbles;  // then exchange its two halves
    uint8_t rotateLeft;   // then rotate left by this count
    uint8_t xorValue;     // and XOR with this byte
};

static const ArchiveKeyOperation ArchiveKeyOperations[ARCHIVE_KEY_SIZE] = {
    {1, 0, 3, 0x5A}, {0, 1, 1, 0xC3}, {1, 1, 5, 0x19}, {0, 0, 7, 0xE4},
    {1, 0, 2, 0x7B}, {0, 1, 6, 0x2D}, {1, 1, 4, 0x96}, {0, 0, 1, 0x3F},
    {1, 0, 6, 0xD2}, {0, 1, 3, 0x48}, {1, 1, 2, 0xA1}, {0, 0, 5, 0x0C},
};

inline uint8_t ApplyArchiveKeyOperation(int position, uint8_t value)
{
    const ArchiveKeyOperation& op = ArchiveKeyOperations[position];
    if (op.invert)
        value = (uint8_t)~value;
    if (op.swapNibbles)
        value = (uint8_t)((value << 4) | (value >> 4));
    if (op.rotateLeft)
        value = (uint8_t)((value << op.rotateLeft) | (value >> (8 - op.rotateLeft)));
    return (uint8_t)(value ^ op.xorValue);
}

// Character set index of a version-4 archive's code page (0 for any other).
inline int ArchiveCharSetOfCodePage(uint32_t codePage)
{
    switch (codePage) {
    case 932: return 1;
    case 949: return 2;
    case 950: return 3;
    case 936: return 4;
    default: return 0;
    }
}
