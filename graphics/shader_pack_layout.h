// Layout of the built-in shader pack, shared by the library and the
// build-time tool that writes the pack (so it stays free of platform headers).
//
// The pack is one LZ block holding an archive image (default key) with one
// LZ-compressed entry. That entry begins with a table of six u16 byte sizes
// per shader entry (one per variant, 0 = no code), vertex entries first, and
// the byte code follows block after block in table order.
#pragma once

#include <stdint.h>

enum {
    SHADER_PACK_VERTEX_ENTRIES = 16384,
    SHADER_PACK_PIXEL_ENTRIES = 6912,
    SHADER_PACK_VARIANTS = 6,
    SHADER_PACK_TABLE_SIZE = (SHADER_PACK_VERTEX_ENTRIES + SHADER_PACK_PIXEL_ENTRIES) * SHADER_PACK_VARIANTS * 2,

    // The two base shaders made into objects at start-up.
    BASE_VERTEX_SHADER_ENTRY = 5462,
    BASE_VERTEX_SHADER_VARIANT = 2,
    BASE_PIXEL_SHADER_ENTRY = 409,
    BASE_PIXEL_SHADER_VARIANT = 0,
};
static_assert(SHADER_PACK_TABLE_SIZE == 279552, "the entry table is 279552 bytes");

#define SHADER_PACK_ENTRY_NAME "VexilShaderPack.bin"

// The packed pack as built into the program (generated at build time).
const unsigned char* GetBuiltInShaderPack(uint32_t* size);
