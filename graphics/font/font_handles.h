// Font handles: a GDI font of a face, size, thickness and style together with
// its glyph cache, a fixed grid of square cells that glyphs are rendered into
// once and drawn from. With Direct3D the cache is one texture graph (a staging
// image plus the graph it is uploaded to), otherwise one column of memory.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "image/raster_image.h"

enum {
    FONT_TYPE_EDGE = 1,        // an outline of edgeSize around each glyph
    FONT_TYPE_ANTIALIAS = 2,   // 17-level glyphs

    FONT_DEFAULT_SIZE = 16,
    FONT_DEFAULT_THICKNESS = 6,
    FONT_DEFAULT_EDGE_SIZE = 1,

    FONT_CACHE_MAX_CELLS = 2024,
    FONT_GLYPH_SLOTS = FONT_CACHE_MAX_CELLS + 1,
    FONT_CODE_COUNT = 65536,
    FONT_FACE_NAME_SIZE = 256,
    // Strings up to this many bytes use static entry buffers.
    FONT_STATIC_STRING_BYTES = 256,
    // Bytes of one character entry: 16-bit code (first byte low), then 0.
    FONT_ENTRY_BYTES = 3,
};

// Character set indices.
enum {
    FONT_CHARSET_DEFAULT = 0,
    FONT_CHARSET_SHIFTJIS = 1,
    FONT_CHARSET_HANGUL = 2,
    FONT_CHARSET_BIG5 = 3,
    FONT_CHARSET_GB2312 = 4,
};

struct CodeMapEntry;

struct GlyphSlot {
    uint8_t inUse;
    int16_t xOffset;     // glyph origin x
    int16_t yOffset;     // font ascent minus origin y: glyph top below the line top
    int16_t advance;     // these three and the size include twice the edge size
    int32_t cellIndex;   // -1 for the slot past the capacity
    uint16_t width, height;
    CodeMapEntry* entry; // the code-map entry that points here
};

struct CodeMapEntry {
    int32_t present;
    GlyphSlot* slot;
};

struct FontRecord {
    uint32_t check;
    int* lostFlag;                       // set to 1 when the font is deleted

    GlyphSlot slots[FONT_GLYPH_SLOTS];
    CodeMapEntry codeMap[FONT_CODE_COUNT]; // by code: first byte low, trail byte high

    int ringPosition;                    // next slot to fill
    int capacity;                        // usable slots, at most 2024

    // Memory cache (no texture cache).
    uint8_t* memPixels;
    int memPitch;
    int memBitsPerPixel;                 // 1 for type 0, else 8

    char faceName[FONT_FACE_NAME_SIZE];  // empty = the default face
    int thickness;
    int size;
    int charHeight;                      // line height, even
    int italic;
    int spacing;                         // added to every advance
    int cellSize;
    HFONT gdiFont;
    int fontType;
    int charSet;                         // character set index
    int edgeSize;

    int cacheWidth, cacheHeight;         // of the body half
    int cellsPerColumn;

    int cacheGraph;                      // whole texture: body, then edge half
    int edgeGraph;                       // right half; -1 without edge
    int rebuildFlag;                     // set by the cache graph's deletion

    RasterImage staging;                 // texture cache pixels (width doubled with edge)

    int textureCache;                    // 1: the cache is a texture graph
};

// -1 in any of size, thickness, type, charSet and edgeSize takes its default;
// slot and check are -1 except when a font is re-created in place.
int CreateFontToHandle(const char* faceName, int size, int thickness, int fontType, int charSet,
                       int edgeSize, int italic, int slot, int check);
int DeleteFontHandle(int handle);
// Deletes every font (the table stays usable).
int DeleteAllFontHandles();
// Forgets every record without freeing it and restarts the check counter
// (font system reset at graphics start-up).
int ClearFontHandleTable();
// Re-creates a font in its own slot with its own check (device reset): the
// handle value, spacing and owner's lost-flag link survive; the cache starts
// empty. 0 or -1 (the font is gone then, its lost flag set).
int RecreateFontHandle(int handle);
int SetFontLostFlagPointer(int handle, int* flag);
int SetFontSpacing(int spacing, int handle);
// name receives up to FONT_FACE_NAME_SIZE bytes.
int GetFontInfo(char* name, int* size, int* thickness, int handle);
int GetFontSizeOfHandle(int handle);
int CheckFontHandle(int handle);
FontRecord* GetFontRecord(int handle);
// The handle in a slot of the table, or -1 when it is free.
int FontHandleAtSlot(int slot);

int ClearFontCache(int handle);
int RebuildFontCacheScreen(int handle);
// Turns length bytes of text (-1: up to the terminator) into entries of
// FONT_ENTRY_BYTES and renders every character not yet cached. entries (when
// given) must hold FONT_ENTRY_BYTES per byte of the string; count receives the
// number of characters.
int CacheStringGlyphs(int length, const char* text, int handle, uint8_t* entries, int* count);

// Cell position of a slot's glyph in the cache (the texture's one-pixel
// margin included).
void GetGlyphCellPosition(const FontRecord* font, const GlyphSlot* slot, int* x, int* y);
// The 16-bit code of an entry.
inline int FontEntryCode(const uint8_t* entry) { return entry[0] | (entry[1] << 8); }

// Renders count entries into the ring's next cells; the slot of the last
// entry, or null for an invalid handle.
GlyphSlot* RasterizeGlyphToCache(int handle, int count, const uint8_t* entries);

// Cache geometry, shared by creation and its tests.
struct FontCacheGeometry {
    int width, height;      // of the body half
    int capacity;
    int cellsPerColumn;
};
// Texture cache for a cell size (wanted = 0: the default 512 x 512 growing
// until at least 10 cells fit).
int ComputeTextureCacheGeometry(int cellSize, int wanted, FontCacheGeometry* out);
// Memory cache: one column of cells.
int ComputeMemoryCacheGeometry(int cellSize, int wanted, FontCacheGeometry* out);
