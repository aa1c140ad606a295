// Renders characters with GDI into free cells of a font's glyph cache.
#include <string.h>

#include "graphics/font/font_handles.h"
#include "graphics/font/glyph_edge.h"
#include "graphics/graph_loading.h"
#include "runtime/library.h"
#include "runtime/log.h"
#include "runtime/memory.h"

namespace {

struct CellTarget {
    FontRecord* font;
    int x, y;        // cell position
    int edge;        // edge size, 0 without edge
};

void ClearCell(const CellTarget& target)
{
    FontRecord* font = target.font;
    const int cell = font->cellSize;
    if (font->textureCache) {
        ClearImageRect(&font->staging, target.x, target.y, cell, cell);
        if (font->fontType & FONT_TYPE_EDGE)
            ClearImageRect(&font->staging, target.x + font->cacheWidth, target.y, cell, cell);
    } else {
        memset(font->memPixels + (size_t)target.y * (size_t)font->memPitch, 0, (size_t)cell * (size_t)font->memPitch);
    }
}

void PutStagingPixel(RasterImage* image, int x, int y, uint32_t value)
{
    uint8_t* p = (uint8_t*)image->pixels + (size_t)y * (size_t)image->pitch + (size_t)x * image->format.bytesPerPixel;
    if (image->format.bytesPerPixel == 2)
        *(uint16_t*)p = (uint16_t)value;
    else
        *(uint32_t*)p = value;
}

// Texture pixel of a body or edge level: bitmap fonts 0/1, anti-aliased 0..16.
uint32_t StagingValue(const ColorFormat& format, int level, bool antialiased)
{
    const uint32_t colours = format.redMask | format.greenMask | format.blueMask;
    if (level == 0)
        return colours;
    if (!antialiased)
        return colours | format.alphaMask;
    uint64_t alpha = ((uint64_t)level << (format.alphaShift + format.alphaWidth - 4)) - 1;
    return ((uint32_t)alpha | colours) & (colours | format.alphaMask);
}

// Writes the body and edge layers (area width x height, glyph at (e, e))
// into the cell by the cache's storage.
void StoreLayers(const CellTarget& target, const uint8_t* body, const uint8_t* edge, int width, int height)
{
    FontRecord* font = target.font;
    const bool antialiased = (font->fontType & FONT_TYPE_ANTIALIAS) != 0;
    const bool edged = (font->fontType & FONT_TYPE_EDGE) != 0;
    if (font->textureCache) {
        RasterImage* image = &font->staging;
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++) {
                PutStagingPixel(image, target.x + x, target.y + y,
                                StagingValue(image->format, body[y * width + x], antialiased));
                if (edged)
                    PutStagingPixel(image, target.x + font->cacheWidth + x, target.y + y,
                                    StagingValue(image->format, edge[y * width + x], antialiased));
            }
        return;
    }
    for (int y = 0; y < height; y++) {
        uint8_t* row = font->memPixels + (size_t)(target.y + y) * (size_t)font->memPitch;
        for (int i = 0; i < width; i++) {
            const int b = body[y * width + i], e = edge[y * width + i];
            const int x = target.x + i;
            switch (font->fontType) {
            case 0:
                if (b)
                    row[x >> 3] |= (uint8_t)(0x80 >> (x & 7));
                break;
            case 1:
                row[x] = (uint8_t)(b ? 1 : e ? 2 : 0);
                break;
            case 2:
                row[x] = (uint8_t)(b > 1 ? b - 1 : 0);
                break;
            default:
                row[x] = (uint8_t)((b > 1 ? b - 1 : 0) | (e << 4));
                break;
            }
        }
    }
}

// The staging image keeps every cell, so the cells rendered in one call go up
// together: the smallest rectangle holding them all is uploaded once. Each
// upload waits for the device to take the texture, and a string of new
// characters would otherwise wait once per glyph.
struct PendingUpload {
    bool any = false;
    RECT area = {0, 0, 0, 0};
};

void AddToUpload(PendingUpload* pending, const RECT& r)
{
    if (!pending->any) {
        pending->area = r;
        pending->any = true;
        return;
    }
    UnionRect(&pending->area, &pending->area, &r);
}

// The part of the cache that changed with a cell: the whole cell without
// edge, else the glyph's area in both halves.
void MarkCell(PendingUpload* pending, const CellTarget& target, int width, int height)
{
    FontRecord* font = target.font;
    if (!font->textureCache || font->cacheGraph == -1)
        return;
    if (!(font->fontType & FONT_TYPE_EDGE)) {
        AddToUpload(pending, RECT{target.x, target.y, target.x + font->cellSize, target.y + font->cellSize});
        return;
    }
    if (width <= 0 || height <= 0)
        return;
    AddToUpload(pending, RECT{target.x, target.y, target.x + width, target.y + height});
    const int ex = target.x + font->cacheWidth;
    AddToUpload(pending, RECT{ex, target.y, ex + width, target.y + height});
}

void Upload(FontRecord* font, const PendingUpload& pending)
{
    if (!pending.any || !font->textureCache || font->cacheGraph == -1)
        return;
    RECT area = pending.area;
    ReloadGraphFromImagePart(nullptr, nullptr, nullptr, nullptr, 0, &font->staging, nullptr, &area, area.left,
                             area.top, font->cacheGraph, 0);
}

bool IsSpaceCode(int code)
{
    return (code & 0xFF) == 0x20 || code == (0x81 | (0x40 << 8));
}

} // namespace

GlyphSlot* RasterizeGlyphToCache(int handle, int count, const uint8_t* entries)
{
    FontRecord* font = GetFontRecord(handle);
    if (!font || count < 1 || !entries)
        return nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = dc ? SelectObject(dc, font->gdiFont) : nullptr;
    if (!dc || !old || old == HGDI_ERROR)
        FatalErrorExit("テキストキャッシュサーフェスのＤＣの取得に失敗しました");
    TEXTMETRICA metric = {};
    GetTextMetricsA(dc, &metric);
    const int e = (font->fontType & FONT_TYPE_EDGE) ? font->edgeSize : 0;
    const bool antialiased = (font->fontType & FONT_TYPE_ANTIALIAS) != 0;
    const UINT format = antialiased ? GGO_GRAY4_BITMAP : GGO_BITMAP;
    const MAT2 identity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    // The largest glyph a cell holds with its edge around it.
    const int room = font->cellSize - 2 * e > 0 ? font->cellSize - 2 * e : 0;

    GlyphSlot* slot = nullptr;
    PendingUpload pending;
    for (int n = 0; n < count; n++) {
        const uint8_t* entry = entries + (size_t)n * FONT_ENTRY_BYTES;
        const int code = FontEntryCode(entry);
        slot = &font->slots[font->ringPosition];
        if (slot->inUse) {
            // Only an entry that still points here loses its glyph.
            if (slot->entry && slot->entry->slot == slot) {
                slot->entry->present = 0;
                slot->entry->slot = nullptr;
            }
            slot->entry = nullptr;
            slot->inUse = 0;
        }

        CellTarget target = {font, 0, 0, e};
        GetGlyphCellPosition(font, slot, &target.x, &target.y);
        ClearCell(target);

        const UINT gdiCode = entry[1] ? (UINT)(entry[0] << 8 | entry[1]) : entry[0];
        GLYPHMETRICS metrics;
        memset(&metrics, 0, sizeof metrics);
        DWORD size = GetGlyphOutlineA(dc, gdiCode, format, &metrics, 0, nullptr, &identity);
        if (size == GDI_ERROR) {
            WriteLog("GetGlyphOutline 関数が失敗しました\n");
            continue;
        }

        int width = 0, height = 0;
        uint8_t* layers = nullptr;
        if (!IsSpaceCode(code) && size > 0 && metrics.gmBlackBoxX > 0 && metrics.gmBlackBoxY > 0) {
            const int pitch = (int)(size / metrics.gmBlackBoxY) & ~3;
            const int rowBytes = antialiased ? (int)metrics.gmBlackBoxX : ((int)metrics.gmBlackBoxX + 7) / 8;
            if (pitch < rowBytes || (uint64_t)pitch * metrics.gmBlackBoxY > size) {
                WriteLog("GetGlyphOutline 関数が失敗しました\n");
                continue;
            }
            uint8_t* buffer = (uint8_t*)AllocTrackedZero((size_t)size + 2 * (size_t)pitch, "GlyphBuffer", __LINE__);
            if (!buffer)
                FatalErrorExit("アンチエイリアス文字取得用バッファの確保に失敗しました");
            if (GetGlyphOutlineA(dc, gdiCode, format, &metrics, size, buffer + pitch, &identity) == GDI_ERROR) {
                WriteLog("GetGlyphOutline 関数が失敗しました\n");
                FreeTracked(buffer);
                continue;
            }
            // A glyph larger than its cell keeps only what fits.
            width = (int)metrics.gmBlackBoxX < room ? (int)metrics.gmBlackBoxX : room;
            height = (int)metrics.gmBlackBoxY < room ? (int)metrics.gmBlackBoxY : room;
            const int areaWidth = width + 2 * e, areaHeight = height + 2 * e;
            layers = (uint8_t*)AllocTrackedZero((size_t)areaWidth * (size_t)areaHeight * 2, "GlyphLayers", __LINE__);
            if (!layers)
                FatalErrorExit("アンチエイリアス文字取得用バッファの確保に失敗しました");
            uint8_t* body = layers;
            uint8_t* edge = layers + (size_t)areaWidth * (size_t)areaHeight;
            for (int y = 0; y < height; y++) {
                const uint8_t* row = buffer + pitch + (size_t)y * (size_t)pitch;
                for (int x = 0; x < width; x++) {
                    int level = antialiased ? row[x] : (row[x >> 3] >> (7 - (x & 7))) & 1;
                    body[(y + e) * areaWidth + x + e] = (uint8_t)(level > 16 ? 16 : level);
                }
            }
            FreeTracked(buffer);
            if (e > 0)
                BuildGlyphEdge(body, edge, areaWidth, areaHeight, areaWidth, e,
                               !antialiased               ? GLYPH_EDGE_MARK
                               : font->textureCache ? GLYPH_EDGE_COVERAGE
                                                          : GLYPH_EDGE_MAX_LEVEL);
            StoreLayers(target, body, edge, areaWidth, areaHeight);
        }
        slot->xOffset = (int16_t)metrics.gmptGlyphOrigin.x;
        slot->yOffset = (int16_t)(metric.tmAscent - metrics.gmptGlyphOrigin.y);
        slot->advance = (int16_t)metrics.gmCellIncX;
        if (layers)
            FreeTracked(layers);
        MarkCell(&pending, target, width + 2 * e, height + 2 * e);

        slot->advance = (int16_t)(slot->advance + 2 * e);
        slot->width = (uint16_t)(width + 2 * e);
        slot->height = (uint16_t)(height + 2 * e);
        CodeMapEntry* mapped = &font->codeMap[code];
        mapped->present = 1;
        mapped->slot = slot;
        slot->entry = mapped;
        slot->inUse = 1;
        font->ringPosition = font->ringPosition + 1 >= font->capacity ? 0 : font->ringPosition + 1;
    }

    Upload(font, pending);
    SelectObject(dc, old);
    DeleteDC(dc);
    return slot;
}
