// The glyph cache of a font: its geometry, emptying, the rebuild of its
// texture after the graph was lost, and the look-up of a string's characters.
#include <string.h>

#include "graphics/draw_state.h"
#include "graphics/font/font_handles.h"
#include "graphics/graph_handles.h"
#include "graphics/graph_loading.h"
#include "runtime/helpers.h"
#include "runtime/memory.h"

enum {
    TEXTURE_CACHE_SIDE = 512,
    TEXTURE_CACHE_MIN_CELLS = 10,
    TEXTURE_CACHE_MAX_SIDE = 16384,
    MEMORY_CACHE_BYTES = 327680,
    MEMORY_CACHE_MIN_CELLS = 20,
};

// Cells along one side: texture cells sit one pixel in from the top and left.
static int CellsAlong(int side, int cell)
{
    return (side - 1) / cell;
}

static int IntSqrt(int n)
{
    int r = 0;
    while ((int64_t)(r + 1) * (r + 1) <= n)
        r++;
    return r;
}

int ComputeTextureCacheGeometry(int cellSize, int wanted, FontCacheGeometry* out)
{
    if (cellSize < 1 || wanted < 0 || cellSize >= TEXTURE_CACHE_MAX_SIDE)
        return -1;
    int width, height, capacity;
    if (wanted == 0) {
        width = height = TEXTURE_CACHE_SIDE;
        capacity = CellsAlong(width, cellSize) * CellsAlong(height, cellSize);
        while (capacity < TEXTURE_CACHE_MIN_CELLS) {
            if (width > height)
                height *= 2;
            else
                width *= 2;
            if (width > TEXTURE_CACHE_MAX_SIDE || height > TEXTURE_CACHE_MAX_SIDE)
                return -1;
            capacity = CellsAlong(width, cellSize) * CellsAlong(height, cellSize);
        }
    } else {
        if (wanted > FONT_CACHE_MAX_CELLS)
            wanted = FONT_CACHE_MAX_CELLS;
        // The margin pixel counts toward the side.
        int64_t side = (int64_t)cellSize * (IntSqrt(wanted) + 1) + 1;
        width = 8;
        while (width < side) {
            width *= 2;
            if (width > TEXTURE_CACHE_MAX_SIDE)
                return -1;
        }
        height = width;
        capacity = CellsAlong(width, cellSize) * CellsAlong(width, cellSize);
    }
    if (capacity > FONT_CACHE_MAX_CELLS)
        capacity = FONT_CACHE_MAX_CELLS;
    out->width = width;
    out->height = height;
    out->capacity = capacity;
    out->cellsPerColumn = CellsAlong(height, cellSize);
    return 0;
}

int ComputeMemoryCacheGeometry(int cellSize, int wanted, FontCacheGeometry* out)
{
    if (cellSize < 1 || wanted < 0 || cellSize > 0xFFFF)
        return -1;
    int capacity = wanted;
    if (capacity == 0) {
        capacity = MEMORY_CACHE_BYTES / (cellSize * cellSize);
        if (capacity < MEMORY_CACHE_MIN_CELLS)
            capacity = MEMORY_CACHE_MIN_CELLS;
    }
    if (capacity > FONT_CACHE_MAX_CELLS)
        capacity = FONT_CACHE_MAX_CELLS;
    if ((int64_t)capacity * cellSize > 0x7FFFFFFF)
        return -1;
    out->width = cellSize;
    out->height = capacity * cellSize;
    out->capacity = capacity;
    out->cellsPerColumn = capacity;
    return 0;
}

void GetGlyphCellPosition(const FontRecord* font, const GlyphSlot* slot, int* x, int* y)
{
    int cell = slot->cellIndex < 0 ? 0 : slot->cellIndex;
    int margin = font->textureCache ? 1 : 0;
    *x = cell / font->cellsPerColumn * font->cellSize + margin;
    *y = cell % font->cellsPerColumn * font->cellSize + margin;
}

int ClearFontCache(int handle)
{
    FontRecord* font = GetFontRecord(handle);
    if (!font)
        return -1;
    memset(font->codeMap, 0, sizeof font->codeMap);
    memset(font->slots, 0, sizeof font->slots);
    for (int k = 0; k < font->capacity; k++)
        font->slots[k].cellIndex = k;
    font->slots[font->capacity].cellIndex = -1;
    font->ringPosition = 0;
    return 0;
}

int RebuildFontCacheScreen(int handle)
{
    FontRecord* font = GetFontRecord(handle);
    if (!font)
        return -1;
    if (!font->textureCache || !font->rebuildFlag)
        return 0;
    // Graphs left from before (a lost cache may leave its derived edge graph
    // behind); deleting the cache graph sets the flag again, so this comes first.
    if (font->edgeGraph != -1)
        FreeGraph(font->edgeGraph);
    if (font->cacheGraph != -1)
        FreeGraph(font->cacheGraph);
    font->edgeGraph = font->cacheGraph = -1;
    font->rebuildFlag = 0;

    const int edged = font->fontType & FONT_TYPE_EDGE;
    const int antialiased = font->fontType & FONT_TYPE_ANTIALIAS;
    const GraphCreateSettings saved = Draw.create;
    Draw.create.emptyAlpha = antialiased ? 1 : 0;
    Draw.create.useTransColor = antialiased ? 0 : 1;
    Draw.create.colorDepth = 16;
    int cache = CreateEmptyGraph(edged ? font->cacheWidth * 2 : font->cacheWidth, font->cacheHeight);
    int edge = -1;
    if (cache != -1 && edged)
        edge = CreateDerivedGraph(font->cacheWidth, 0, font->cacheWidth * 2, font->cacheHeight, cache);
    Draw.create.emptyAlpha = saved.emptyAlpha;
    Draw.create.useTransColor = saved.useTransColor;
    Draw.create.colorDepth = saved.colorDepth;
    if (cache == -1 || (edged && edge == -1)) {
        if (cache != -1)
            FreeGraph(cache);
        font->rebuildFlag = 1;
        return -1;
    }
    font->cacheGraph = cache;
    font->edgeGraph = edge;
    SetGraphDeleteFlag(cache, &font->rebuildFlag);
    FillGraphColor(cache, 255, 255, 255, 0);
    ClearFontCache(handle);
    return 0;
}

// Entry and render-list buffers of strings up to the static size.
static uint8_t StaticEntries[FONT_STATIC_STRING_BYTES * FONT_ENTRY_BYTES];
static uint8_t StaticList[FONT_STATIC_STRING_BYTES * FONT_ENTRY_BYTES];

int CacheStringGlyphs(int length, const char* text, int handle, uint8_t* entries, int* count)
{
    FontRecord* font = GetFontRecord(handle);
    if (!font || !text)
        return -1;
    int n = (int)strnlen(text, 0x7FFFFFFF / (2 * FONT_ENTRY_BYTES));
    if (length >= 0 && length < n)
        n = length;

    uint8_t* block = nullptr;
    uint8_t* list = StaticList;
    if (n > FONT_STATIC_STRING_BYTES) {
        size_t bytes = (size_t)n * FONT_ENTRY_BYTES * (entries ? 1 : 2);
        block = (uint8_t*)AllocTracked(bytes, "FontStringEntries", __LINE__);
        if (!block)
            return -1;
        list = block;
        if (!entries)
            entries = block + (size_t)n * FONT_ENTRY_BYTES;
    } else if (!entries) {
        entries = StaticEntries;
    }

    const uint8_t* bytes = (const uint8_t*)text;
    int characters = 0, listed = 0;
    for (int i = 0; i < n;) {
        int code = bytes[i];
        // A lead byte takes the next byte as its trail, never the terminator.
        if (IsMultiByteLead(bytes + i, font->charSet) && bytes[i + 1] != 0) {
            code |= bytes[i + 1] << 8;
            i += 2;
        } else {
            i += 1;
        }
        uint8_t* entry = entries + (size_t)characters * FONT_ENTRY_BYTES;
        entry[0] = (uint8_t)(code & 0xFF);
        entry[1] = (uint8_t)(code >> 8);
        entry[2] = 0;
        characters++;
        // Repeats within the string are listed once: the present flag stands
        // in until the list is rendered.
        CodeMapEntry& mapped = font->codeMap[code];
        if (!mapped.present && listed < font->capacity) {
            mapped.present = 1;
            memcpy(list + (size_t)listed * FONT_ENTRY_BYTES, entry, FONT_ENTRY_BYTES);
            listed++;
        }
    }
    for (int k = 0; k < listed; k++)
        font->codeMap[FontEntryCode(list + (size_t)k * FONT_ENTRY_BYTES)].present = 0;
    if (listed > 0)
        RasterizeGlyphToCache(handle, listed, list);

    if (count)
        *count = characters;
    if (block)
        FreeTracked(block);
    return 0;
}
