#include "graphics/font/font_handles.h"

#include <limits.h>
#include <string.h>

#include "graphics/device.h"
#include "graphics/graph_loading.h"
#include "graphics/graph_record.h"
#include "graphics/handle_table.h"
#include "runtime/helpers.h"
#include "runtime/log.h"
#include "runtime/memory.h"
#include "runtime/system_state.h"

DEFINE_HANDLE_TABLE(FontHandles, HANDLE_TYPE_FONT, FONT_HANDLE_MAX, SLOT_FIRST_FREE);

// Library settings without a setter in this program; kept at their defaults.
static const int NoTextureCache = 0;
static const int FontCacheCellCount = 0;

// CreateFontA's character set for each character set index.
static const BYTE GdiCharSets[5] = {DEFAULT_CHARSET, SHIFTJIS_CHARSET, HANGUL_CHARSET, CHINESEBIG5_CHARSET,
                                    GB2312_CHARSET};

static const char DefaultFaceName[] = "ＭＳ ゴシック";

FontRecord* GetFontRecord(int handle)
{
    return (FontRecord*)GetHandleRecord(&FontHandles, handle);
}

int CheckFontHandle(int handle)
{
    return GetFontRecord(handle) ? 1 : 0;
}

int FontHandleAtSlot(int slot)
{
    return HandleAtSlot(&FontHandles, slot);
}

enum { ALLOC_FULL = 1, ALLOC_TAKEN = 2, ALLOC_NO_MEMORY = 3 };

// Takes the given slot (or the first free one) with the given check (or the
// next check value). Null with the reason when the table is full, the slot is
// taken or the record cannot be allocated.
static FontRecord* AllocFontRecord(int slot, int check, int* handle, int* reason)
{
    *handle = -1;
    if (slot < 0) {
        slot = FindFreeHandleSlot(&FontHandles);
        if (slot < 0) {
            *reason = ALLOC_FULL;
            return nullptr;
        }
    } else if (FontHandles.records[slot]) {
        *reason = ALLOC_TAKEN;
        return nullptr;
    }
    FontRecord* font = (FontRecord*)AllocTrackedZero(sizeof(FontRecord), "FontRecord", __LINE__);
    if (!font) {
        *reason = ALLOC_NO_MEMORY;
        return nullptr;
    }
    if (check < 0) {
        check = FontHandles.checkCounter;
        FontHandles.checkCounter = check >= HANDLE_CHECK_MAX ? 0 : check + 1;
    }
    font->check = (uint32_t)check & HANDLE_CHECK_MAX;
    FontHandles.records[slot] = font;
    FontHandles.count++;
    if (slot >= FontHandles.endSlot)
        FontHandles.endSlot = slot + 1;
    *handle = MakeHandle(HANDLE_TYPE_FONT, font->check, slot);
    return font;
}

static HFONT MakeGdiFont(int size, int thickness, int italic, BYTE charSet, const char* face)
{
    return CreateFontA(size, 0, 0, 0, thickness * 100, (DWORD)italic, FALSE, FALSE, charSet, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, FIXED_PITCH, face);
}

static int MakeFontCaches(FontRecord* font, int handle)
{
    const int edged = font->fontType & FONT_TYPE_EDGE;
    const int antialiased = font->fontType & FONT_TYPE_ANTIALIAS;
    FontCacheGeometry geometry;

    if (font->textureCache) {
        if (ComputeTextureCacheGeometry(font->cellSize, FontCacheCellCount, &geometry) == 0) {
            font->cacheWidth = geometry.width;
            font->cacheHeight = geometry.height;
            font->capacity = geometry.capacity;
            font->cellsPerColumn = geometry.cellsPerColumn;
            font->rebuildFlag = 1;
        }
        if (!font->rebuildFlag || RebuildFontCacheScreen(handle) != 0) {
            WriteLog("テクスチャ文字キャッシュの作成に失敗しました\n");
            font->textureCache = 0;
        } else {
            const ColorFormat* format = GetGraphColorFormatFor(antialiased, !antialiased, 0, 0);
            RasterImage& staging = font->staging;
            if (format)
                staging.format = *format;
            staging.width = edged ? font->cacheWidth * 2 : font->cacheWidth;
            staging.height = font->cacheHeight;
            staging.pitch = RasterPitch(staging.width, staging.format.bytesPerPixel);
            staging.pixels = format ? AllocTrackedZero((size_t)staging.pitch * (size_t)staging.height,
                                                       "FontStaging", __LINE__)
                                    : nullptr;
            if (!staging.pixels) {
                WriteLog("文字キャッシュ基本イメージ用のメモリの確保に失敗しました\n");
                return -1;
            }
        }
    }

    if (!font->textureCache) {
        if (ComputeMemoryCacheGeometry(font->cellSize, FontCacheCellCount, &geometry) != 0) {
            WriteLog("フォントのキャッシュ用メモリの確保に失敗しました in CreateFontToHandle");
            return -1;
        }
        font->memBitsPerPixel = font->fontType == 0 ? 1 : 8;
        font->capacity = geometry.capacity;
        font->cacheWidth = geometry.width;
        font->cacheHeight = geometry.height;
        font->cellsPerColumn = geometry.cellsPerColumn;
        font->memPitch = (font->cellSize * font->memBitsPerPixel + 7) / 8;
        // The size is at most 2024 cells of a bounded cell size, but is
        // still worked out in 64 bits and refused past the allocator's reach.
        uint64_t bytes = (uint64_t)font->cacheHeight * (uint64_t)font->memPitch;
        font->memPixels = bytes < 0x7FFF0000u ? (uint8_t*)AllocTrackedZero((size_t)bytes, "FontMemCache", __LINE__)
                                              : nullptr;
        if (!font->memPixels) {
            WriteLog("フォントのキャッシュ用メモリの確保に失敗しました in CreateFontToHandle");
            return -1;
        }
    }
    return 0;
}

int CreateFontToHandle(const char* faceName, int size, int thickness, int fontType, int charSet, int edgeSize,
                       int italic, int slot, int check)
{
    if (SystemState.live.destroyed)
        return -1;
    if (size == -1)
        size = FONT_DEFAULT_SIZE;
    if (thickness == -1)
        thickness = FONT_DEFAULT_THICKNESS;
    if (fontType == -1)
        fontType = 0;
    if (charSet == -1)
        charSet = CurrentCharSet();
    if (edgeSize == -1)
        edgeSize = FONT_DEFAULT_EDGE_SIZE;
    // Values CreateFontA and the cache cannot take are refused before
    // anything is made.
    if (fontType < 0 || fontType > 3 || charSet < 0 || charSet > 4 || edgeSize < 0 || edgeSize > 0xFFFF
        || thickness < 0 || thickness > INT_MAX / 100 || slot >= FONT_HANDLE_MAX || slot < -1 || check > HANDLE_CHECK_MAX
        || check < -1 || (faceName && strlen(faceName) >= FONT_FACE_NAME_SIZE))
        return -1;
    if (edgeSize > 1)
        fontType |= FONT_TYPE_EDGE;

    int handle, reason = 0;
    FontRecord* font = AllocFontRecord(slot, check, &handle, &reason);
    if (!font) {
        if (reason == ALLOC_FULL)
            WriteLogFormat("作成できるフォントハンドル数 %d の限界を超えました", FONT_HANDLE_MAX);
        else if (reason == ALLOC_NO_MEMORY)
            WriteLog("フォント管理用メモリ領域の確保に失敗しました\n");
        return -1;
    }
    if (Screen.depth == 8)
        fontType &= ~FONT_TYPE_ANTIALIAS;
    font->edgeSize = edgeSize;
    font->fontType = fontType;
    font->size = size;
    font->thickness = thickness;
    font->italic = italic;
    font->spacing = 0;
    font->cacheGraph = -1;
    font->edgeGraph = -1;
    font->textureCache = Screen.hardware == 1 && !NoTextureCache ? 1 : 0;

    if (faceName) {
        CopyTextMax(font->faceName, faceName, FONT_FACE_NAME_SIZE - 1);
        font->gdiFont = MakeGdiFont(size, thickness, italic, GdiCharSets[charSet], faceName);
        if (!font->gdiFont)
            font->gdiFont = MakeGdiFont(size, thickness, italic, DEFAULT_CHARSET, faceName);
        if (!font->gdiFont)
            font->gdiFont = MakeGdiFont(size, thickness, italic, SHIFTJIS_CHARSET, faceName);
        if (!font->gdiFont)
            WriteLog("指定のフォントの作成に失敗しました\n");
    } else {
        font->gdiFont = MakeGdiFont(size, thickness, italic, GdiCharSets[charSet], DefaultFaceName);
        if (!font->gdiFont)
            font->gdiFont = MakeGdiFont(size, thickness, 0, DEFAULT_CHARSET, DefaultFaceName);
        if (!font->gdiFont)
            font->gdiFont = MakeGdiFont(size, thickness, 0, DEFAULT_CHARSET, nullptr);
        if (!font->gdiFont)
            WriteLog("フォントの作成に失敗しました\n");
    }
    if (!font->gdiFont) {
        DeleteFontHandle(handle);
        return -1;
    }

    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) {
        WriteLog("ＤＣの取得に失敗しました\n");
        DeleteFontHandle(handle);
        return -1;
    }
    HGDIOBJ old = SelectObject(dc, font->gdiFont);
    TEXTMETRICA metric = {};
    BOOL measured = GetTextMetricsA(dc, &metric);
    SelectObject(dc, old);
    DeleteDC(dc);
    const int edge = (fontType & FONT_TYPE_EDGE) ? edgeSize : 0;
    // Metrics beyond any texture the device can hold are refused.
    if (!measured || metric.tmMaxCharWidth < 0 || metric.tmMaxCharWidth > 4096 || metric.tmHeight < 0
        || metric.tmHeight > 4096 || edge > 1024) {
        WriteLog("フォントの作成に失敗しました\n");
        DeleteFontHandle(handle);
        return -1;
    }
    int cell = (metric.tmMaxCharWidth + 2 + 2 * edge + 7) / 8 * 8;
    int height = metric.tmHeight + 2 * edge;
    if (height & 1)
        height++;
    font->charHeight = height;
    font->cellSize = cell < height ? height : cell;

    if (MakeFontCaches(font, handle) != 0) {
        DeleteFontHandle(handle);
        return -1;
    }
    ClearFontCache(handle);
    font->charSet = charSet;
    font->lostFlag = nullptr;
    return handle;
}

int DeleteFontHandle(int handle)
{
    FontRecord* font = GetFontRecord(handle);
    if (!font)
        return -1;
    if (font->gdiFont)
        DeleteObject(font->gdiFont);
    if (font->memPixels)
        FreeTracked(font->memPixels);
    if (font->staging.pixels)
        FreeTracked(font->staging.pixels);
    // The edge graph is cut from the cache graph: it goes first.
    if (font->edgeGraph != -1)
        FreeGraph(font->edgeGraph);
    if (font->cacheGraph != -1)
        FreeGraph(font->cacheGraph);
    if (font->lostFlag)
        *font->lostFlag = 1;
    return FreeHandleRecord(&FontHandles, handle);
}

int DeleteAllFontHandles()
{
    return DeleteAllHandles(&FontHandles, DeleteFontHandle);
}

int ClearFontHandleTable()
{
    for (int slot = 0; slot < FONT_HANDLE_MAX; slot++)
        FontHandles.records[slot] = nullptr;
    FontHandles.count = 0;
    FontHandles.endSlot = 0;
    FontHandles.checkCounter = 0;
    return 0;
}

int RecreateFontHandle(int handle)
{
    FontRecord* font = GetFontRecord(handle);
    if (!font)
        return -1;
    char face[FONT_FACE_NAME_SIZE];
    CopyText(face, font->faceName);
    const int check = (int)font->check, size = font->size, thickness = font->thickness;
    const int fontType = font->fontType, charSet = font->charSet, edgeSize = font->edgeSize;
    const int italic = font->italic, spacing = font->spacing;
    int* lostFlag = font->lostFlag;
    DeleteFontHandle(handle);

    int fresh = CreateFontToHandle(face[0] ? face : nullptr, size, thickness, fontType, charSet, edgeSize, italic,
                                   handle & HANDLE_SLOT_MASK, check);
    if (fresh == -1)
        return -1;
    SetFontSpacing(spacing, fresh);
    // The owner keeps the same font: its lost flag goes back to 0.
    if (lostFlag)
        SetFontLostFlagPointer(fresh, lostFlag);
    return 0;
}

int SetFontLostFlagPointer(int handle, int* flag)
{
    FontRecord* font = GetFontRecord(handle);
    if (!font)
        return -1;
    font->lostFlag = flag;
    if (flag)
        *flag = 0;
    return 0;
}

int SetFontSpacing(int spacing, int handle)
{
    FontRecord* font = GetFontRecord(handle);
    if (!font)
        return -1;
    font->spacing = spacing;
    return 0;
}

int GetFontInfo(char* name, int* size, int* thickness, int handle)
{
    FontRecord* font = GetFontRecord(handle);
    if (!font)
        return -1;
    if (name)
        CopyText(name, font->faceName);
    if (size)
        *size = font->size;
    if (thickness)
        *thickness = font->thickness;
    return 0;
}

int GetFontSizeOfHandle(int handle)
{
    FontRecord* font = GetFontRecord(handle);
    return font ? font->size : -1;
}
