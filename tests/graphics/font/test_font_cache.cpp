// Font handles and their memory glyph caches without a device: the cache
// geometry, the edge masks, glyph cells compared with GDI's own rendering,
// ring eviction, the handle table's limits and re-creation in place.
#include <gtest/gtest.h>
#include <windows.h>

#include <string.h>

#include <string>
#include <vector>

#include "graphics/device.h"
#include "graphics/font/font_handles.h"
#include "tests/graphics/font/gdi_glyph.h"
#include "graphics/font/glyph_edge.h"
#include "graphics/handle_table.h"
#include "tests/runtime/log_capture.h"

namespace {


// Cell value of a memory cache (1 or 8 bits a pixel).
int MemoryCell(const FontRecord* font, const GlyphSlot* slot, int x, int y)
{
    int cx, cy;
    GetGlyphCellPosition(font, slot, &cx, &cy);
    const uint8_t* row = font->memPixels + (size_t)(cy + y) * font->memPitch;
    if (font->memBitsPerPixel == 1)
        return (row[(cx + x) >> 3] >> (7 - ((cx + x) & 7))) & 1;
    return row[cx + x];
}

const char FullBlock[] = "■";   // Shift-JIS 0x81 0xA1
const UINT FullBlockGdi = 0x81A1;

class FontMemoryCache : public ::testing::Test {
protected:
    void SetUp() override { Screen.hardware = 0; }
    void TearDown() override { DeleteAllFontHandles(); }
};

} // namespace

TEST(FontCacheGeometry, TextureAndMemoryCachesByCellSize)
{
    struct Case {
        int cell;
        int width, height, capacity, perColumn;   // texture cache
        int memoryCapacity;                       // one column of this many cells
    };
    // Texture cells sit one pixel in: (side - 1) / cell per side; fewer than
    // 10 cells grow the texture, width first. Memory: 327680 / cell^2 cells,
    // at least 20, at most 2024.
    const Case cases[] = {
        {8, 512, 512, 2024, 63, 2024},   {16, 512, 512, 961, 31, 1280},  {24, 512, 512, 441, 21, 568},
        {32, 512, 512, 225, 15, 320},    {40, 512, 512, 144, 12, 204},   {48, 512, 512, 100, 10, 142},
        {64, 512, 512, 49, 7, 80},       {96, 512, 512, 25, 5, 35},      {128, 1024, 512, 21, 3, 20},
        {200, 1024, 512, 10, 2, 20},     {256, 2048, 1024, 21, 3, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cell);
        FontCacheGeometry g = {};
        ASSERT_EQ(0, ComputeTextureCacheGeometry(c.cell, 0, &g));
        EXPECT_EQ(c.width, g.width);
        EXPECT_EQ(c.height, g.height);
        EXPECT_EQ(c.capacity, g.capacity);
        EXPECT_EQ(c.perColumn, g.cellsPerColumn);
        // The last cell ends inside the texture, margin included.
        const int last = g.capacity - 1;
        EXPECT_LE(last / g.cellsPerColumn * c.cell + 1 + c.cell, g.width);
        EXPECT_LE(last % g.cellsPerColumn * c.cell + 1 + c.cell, g.height);

        ASSERT_EQ(0, ComputeMemoryCacheGeometry(c.cell, 0, &g));
        EXPECT_EQ(c.cell, g.width);
        EXPECT_EQ(c.memoryCapacity * c.cell, g.height);
        EXPECT_EQ(c.memoryCapacity, g.capacity);
        EXPECT_EQ(c.memoryCapacity, g.cellsPerColumn);
    }
    FontCacheGeometry g;
    EXPECT_EQ(-1, ComputeTextureCacheGeometry(0, 0, &g));
    EXPECT_EQ(-1, ComputeTextureCacheGeometry(20000, 0, &g));
    EXPECT_EQ(-1, ComputeMemoryCacheGeometry(0, 0, &g));
}

TEST(GlyphEdge, MaskOfEachEdgeSizeAroundOnePixel)
{
    const std::vector<std::string> masks[] = {
        {".#.", "#.#", ".#."},
        {".###.", "#####", "#####", "#####", ".###."},
        {"...#...", ".#####.", ".#####.", "#######", ".#####.", ".#####.", "...#..."},
        {"..#####..", ".#######.", "#########", "#########", "#########", "#########", "#########",
         ".#######.", "..#####.."},
    };
    for (int e = 1; e <= 6; e++) {
        SCOPED_TRACE(e);
        // One set pixel in the middle of an area with a spare ring around.
        const int side = 2 * e + 3, centre = e + 1;
        std::vector<uint8_t> body(side * side), edge(side * side);
        body[centre * side + centre] = 1;
        BuildGlyphEdge(body.data(), edge.data(), side, side, side, e, GLYPH_EDGE_MARK);
        for (int y = 0; y < side; y++)
            for (int x = 0; x < side; x++) {
                const int dx = x - centre, dy = y - centre;
                bool expected = false;
                if (dx >= -e && dx <= e && dy >= -e && dy <= e)
                    expected = e <= 4 ? masks[e - 1][dy + e][dx + e] == '#' : true;  // above 4: full square
                EXPECT_EQ(expected ? 1 : 0, edge[y * side + x]) << x << "," << y;
            }
    }
}

TEST(GlyphEdge, AntialiasedLevelsCombine)
{
    // Two neighbouring body pixels of level 8, edge size 2.
    const int w = 8, h = 5;
    std::vector<uint8_t> body(w * h), coverage(w * h), maxLevel(w * h);
    body[2 * w + 3] = 8;
    body[2 * w + 4] = 8;
    BuildGlyphEdge(body.data(), coverage.data(), w, h, w, 2, GLYPH_EDGE_COVERAGE);
    BuildGlyphEdge(body.data(), maxLevel.data(), w, h, w, 2, GLYPH_EDGE_MAX_LEVEL);
    // Covered by one neighbourhood: (256 - 16 x 8) >> 4; by both: (256 - 8 x 8) >> 4.
    EXPECT_EQ(8, coverage[2 * w + 1]);
    EXPECT_EQ(8, coverage[2 * w + 6]);
    EXPECT_EQ(12, coverage[2 * w + 3]);
    EXPECT_EQ(12, coverage[0 * w + 4]);
    EXPECT_EQ(0, coverage[0 * w + 1]);  // the mask's cut corner
    EXPECT_EQ(7, maxLevel[2 * w + 3]);
    EXPECT_EQ(7, maxLevel[2 * w + 1]);
}

TEST_F(FontMemoryCache, DefaultFaceIsTheFixedPitchGothic)
{
    int font = CreateFontToHandle(nullptr, -1, -1, -1, -1, -1, 0, -1, -1);
    ASSERT_NE(-1, font);
    FontRecord* record = GetFontRecord(font);
    EXPECT_STREQ("", record->faceName);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, record->gdiFont);
    char face[64] = {};
    GetTextFaceA(dc, sizeof face, face);
    TEXTMETRICA tm;
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    DeleteDC(dc);
    EXPECT_STREQ("ＭＳ ゴシック", face);
    EXPECT_EQ(0, tm.tmPitchAndFamily & TMPF_FIXED_PITCH) << "the bit is set for variable pitch";
    // Defaults: size 16, thickness 6; the cell holds the widest character
    // with a pixel either side, in steps of 8, and the line height is even.
    EXPECT_EQ(16, GetFontSizeOfHandle(font));
    EXPECT_EQ(16, tm.tmHeight);
    EXPECT_EQ(0, record->cellSize % 8);
    EXPECT_GE(record->cellSize, tm.tmMaxCharWidth + 2);
    EXPECT_LT(record->cellSize, tm.tmMaxCharWidth + 2 + 8);
    EXPECT_EQ(0, record->charHeight % 2);
    EXPECT_EQ(0, record->textureCache);
    EXPECT_EQ(1, record->memBitsPerPixel);
}

// Every font type's memory cell against GDI's picture of the same glyph.
TEST_F(FontMemoryCache, CellsHoldGdiGlyphsByFontType)
{
    for (int type = 0; type < 4; type++) {
        SCOPED_TRACE(type);
        const bool grey = (type & FONT_TYPE_ANTIALIAS) != 0;
        const int e = (type & FONT_TYPE_EDGE) ? 1 : 0;
        int font = CreateFontToHandle(nullptr, 24, -1, type, -1, 1, 0, -1, -1);
        ASSERT_NE(-1, font);
        FontRecord* record = GetFontRecord(font);
        ASSERT_EQ(type == 0 ? 1 : 8, record->memBitsPerPixel);
        for (const char* text : {FullBlock, "g"}) {
            SCOPED_TRACE(text);
            ASSERT_EQ(0, CacheStringGlyphs(-1, text, font, nullptr, nullptr));
            const int code = (uint8_t)text[0] | (text[1] ? (uint8_t)text[1] << 8 : 0);
            ASSERT_TRUE(record->codeMap[code].present);
            const GlyphSlot* slot = record->codeMap[code].slot;
            const GdiGlyph ref = FetchGdiGlyph(record->gdiFont, text[1] ? FullBlockGdi : (UINT)text[0], grey);
            ASSERT_FALSE(ref.bits.empty());
            const int bw = (int)ref.metrics.gmBlackBoxX, bh = (int)ref.metrics.gmBlackBoxY;
            EXPECT_EQ(bw + 2 * e, slot->width);
            EXPECT_EQ(bh + 2 * e, slot->height);
            EXPECT_EQ(ref.metrics.gmCellIncX + 2 * e, slot->advance);
            EXPECT_EQ(ref.metrics.gmptGlyphOrigin.x, slot->xOffset);
            EXPECT_EQ(ref.ascent - ref.metrics.gmptGlyphOrigin.y, slot->yOffset);
            for (int y = 0; y < slot->height; y++)
                for (int x = 0; x < slot->width; x++) {
                    const int body = ref.Level(x - e, y - e, grey);
                    // Edge size 1: the four direct neighbours of body pixels.
                    int edge = 0;
                    const int around[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
                    for (const auto& d : around) {
                        int g = ref.Level(x - e + d[0], y - e + d[1], grey);
                        int v = grey ? g - 1 : g;
                        if (g > 0 && v > edge)
                            edge = v;
                    }
                    int expected;
                    if (type == 0)
                        expected = body;
                    else if (type == 1)
                        expected = body ? 1 : edge ? 2 : 0;
                    else if (type == 2)
                        expected = body > 1 ? body - 1 : 0;
                    else
                        expected = (body > 1 ? body - 1 : 0) | edge << 4;
                    ASSERT_EQ(expected, MemoryCell(record, slot, x, y)) << x << "," << y;
                }
        }
        DeleteFontHandle(font);
    }
}

TEST_F(FontMemoryCache, SpacesTakeOneSlotWithTheEdgeAsTheirSize)
{
    int font = CreateFontToHandle(nullptr, 20, -1, FONT_TYPE_EDGE, -1, 2, 0, -1, -1);
    ASSERT_NE(-1, font);
    FontRecord* record = GetFontRecord(font);
    uint8_t entries[6] = {};
    int count = 0;
    ASSERT_EQ(0, CacheStringGlyphs(-1, "  ", font, entries, &count));
    EXPECT_EQ(2, count);
    EXPECT_EQ(1, record->ringPosition);
    const GlyphSlot* slot = record->codeMap[0x20].slot;
    ASSERT_NE(nullptr, slot);
    const GdiGlyph ref = FetchGdiGlyph(record->gdiFont, ' ', false);
    EXPECT_EQ(ref.metrics.gmCellIncX + 4, slot->advance);
    EXPECT_EQ(4, slot->width);
    EXPECT_EQ(4, slot->height);
}

TEST_F(FontMemoryCache, StringsBecomeEntriesOncePerCharacter)
{
    int font = CreateFontToHandle(nullptr, 16, -1, 0, FONT_CHARSET_SHIFTJIS, -1, 0, -1, -1);
    ASSERT_NE(-1, font);
    FontRecord* record = GetFontRecord(font);
    struct Case {
        const char* text;
        int length;
        int count;
        int codes[3];
        int rendered;   // new slots taken; -1: not checked (GDI may refuse a lone lead byte)
    };
    const Case cases[] = {
        {"AA", -1, 2, {'A', 'A'}, 1},              // a repeat is rendered once
        {"AB", -1, 2, {'A', 'B'}, 1},              // a cached character is not rendered again
        {"\x82\xA0x", 1, 1, {0xA082}, 1},          // a length inside a double-byte character takes all of it
        {"x\x82", -1, 2, {'x', 0x82}, -1},         // a lead byte at the end stands alone
        {"yz", 99, 2, {'y', 'z'}, 2},              // a length beyond the string takes the string
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        uint8_t entries[16 * FONT_ENTRY_BYTES];
        memset(entries, 0xCC, sizeof entries);
        int count = -1;
        const int before = record->ringPosition;
        ASSERT_EQ(0, CacheStringGlyphs(c.length, c.text, font, entries, &count));
        ASSERT_EQ(c.count, count);
        for (int i = 0; i < count; i++) {
            EXPECT_EQ(c.codes[i], FontEntryCode(entries + 3 * i));
            EXPECT_EQ(0, entries[3 * i + 2]);
            if (c.rendered != -1) {
                EXPECT_TRUE(record->codeMap[c.codes[i]].present);
            }
        }
        if (c.rendered != -1) {
            EXPECT_EQ(c.rendered, record->ringPosition - before);
        }
    }
    // Long strings (past the static buffers) give the same entries.
    std::string longText(300, 'q');
    longText[299] = 'r';
    int count = 0;
    std::vector<uint8_t> entries(300 * FONT_ENTRY_BYTES);
    ASSERT_EQ(0, CacheStringGlyphs(-1, longText.c_str(), font, entries.data(), &count));
    EXPECT_EQ(300, count);
    EXPECT_EQ('r', FontEntryCode(&entries[299 * 3]));
    EXPECT_TRUE(record->codeMap['r'].present);
}

TEST_F(FontMemoryCache, FullRingEvictsTheOldestGlyph)
{
    // A large cell leaves the memory cache its minimum of 20 cells.
    int font = CreateFontToHandle(nullptr, 200, -1, 0, -1, -1, 0, -1, -1);
    ASSERT_NE(-1, font);
    FontRecord* record = GetFontRecord(font);
    ASSERT_EQ(20, record->capacity);
    ASSERT_EQ(0, CacheStringGlyphs(-1, "ABCDEFGHIJKLMNOPQRST", font, nullptr, nullptr));
    EXPECT_EQ(0, record->ringPosition);
    const GlyphSlot* first = record->codeMap['A'].slot;
    ASSERT_EQ(&record->slots[0], first);

    ASSERT_EQ(0, CacheStringGlyphs(-1, "U", font, nullptr, nullptr));
    EXPECT_FALSE(record->codeMap['A'].present);
    EXPECT_TRUE(record->codeMap['B'].present);
    EXPECT_EQ(first, record->codeMap['U'].slot);
    EXPECT_EQ('U', record->slots[0].entry - record->codeMap);

    // 'A' comes back into the next slot, evicting 'B'.
    ASSERT_EQ(0, CacheStringGlyphs(-1, "A", font, nullptr, nullptr));
    EXPECT_EQ(&record->slots[1], record->codeMap['A'].slot);
    EXPECT_FALSE(record->codeMap['B'].present);
    // Slot k keeps cell k; the slot past the capacity has none.
    EXPECT_EQ(1, record->slots[1].cellIndex);
    EXPECT_EQ(-1, record->slots[20].cellIndex);
}

// A glyph wider and taller than its cell stays inside it.
TEST_F(FontMemoryCache, OversizedGlyphIsClippedToItsCell)
{
    int font = CreateFontToHandle(nullptr, 40, -1, FONT_TYPE_EDGE, -1, 1, 0, -1, -1);
    ASSERT_NE(-1, font);
    FontRecord* record = GetFontRecord(font);
    const int realCell = record->cellSize;
    // Fixture: the cells shrink to 8 pixels, so the full block (about 38
    // pixels) no longer fits; the cache memory itself keeps its size.
    record->cellSize = 8;
    record->memPitch = realCell;
    ASSERT_EQ(0, CacheStringGlyphs(-1, FullBlock, font, nullptr, nullptr));
    const GlyphSlot* slot = record->codeMap[0xA181].slot;
    ASSERT_NE(nullptr, slot);
    EXPECT_EQ(8, slot->width);
    EXPECT_EQ(8, slot->height);
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < realCell; x++) {
            const int v = record->memPixels[(size_t)y * realCell + x];
            // Body in 1..6, its four-neighbour edge around it (corners empty).
            const bool inside = x >= 1 && x <= 6 && y >= 1 && y <= 6;
            const bool rim = (x >= 1 && x <= 6 && (y == 0 || y == 7)) || (y >= 1 && y <= 6 && (x == 0 || x == 7));
            ASSERT_EQ(inside ? 1 : rim ? 2 : 0, v) << x << "," << y;
        }
}

TEST_F(FontMemoryCache, TableHoldsFortyFontsAndRefusesBadHandles)
{
    LogCapture log;
    log.Start();
    std::vector<int> fonts;
    for (int i = 0; i < FONT_HANDLE_MAX; i++) {
        int font = CreateFontToHandle(nullptr, 8, -1, -1, -1, -1, 0, -1, -1);
        ASSERT_NE(-1, font) << i;
        EXPECT_EQ(HANDLE_TYPE_FONT, font & HANDLE_TYPE_MASK);
        EXPECT_EQ(i, font & 0xFFFF);
        fonts.push_back(font);
    }
    EXPECT_EQ(-1, CreateFontToHandle(nullptr, 8, -1, -1, -1, -1, 0, -1, -1));
    bool limitLogged = false;
    for (const std::string& line : log.Lines())
        limitLogged |= line.find("作成できるフォントハンドル数 40 の限界を超えました") != std::string::npos;
    EXPECT_TRUE(limitLogged);
    log.Stop();

    // Deleting one frees its slot for the next; its old handle stays dead.
    const int old = fonts[7];
    int lost = 0;
    ASSERT_EQ(0, SetFontLostFlagPointer(old, &lost));
    ASSERT_EQ(0, DeleteFontHandle(old));
    EXPECT_EQ(1, lost);
    int fresh = CreateFontToHandle(nullptr, 8, -1, -1, -1, -1, 0, -1, -1);
    ASSERT_NE(-1, fresh);
    EXPECT_EQ(7, fresh & 0xFFFF);
    EXPECT_NE(old, fresh);

    // Every call refuses a dead handle, a foreign type and a slot out of range.
    char name[FONT_FACE_NAME_SIZE];
    for (int bad : {old, (fresh & ~HANDLE_TYPE_MASK) | HANDLE_TYPE_GRAPH, (fresh & ~0xFFFF) | 40, -1}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(0, CheckFontHandle(bad));
        EXPECT_EQ(nullptr, GetFontRecord(bad));
        EXPECT_EQ(-1, DeleteFontHandle(bad));
        EXPECT_EQ(-1, SetFontSpacing(1, bad));
        EXPECT_EQ(-1, SetFontLostFlagPointer(bad, &lost));
        EXPECT_EQ(-1, GetFontInfo(name, nullptr, nullptr, bad));
        EXPECT_EQ(-1, GetFontSizeOfHandle(bad));
        EXPECT_EQ(-1, ClearFontCache(bad));
        EXPECT_EQ(-1, RebuildFontCacheScreen(bad));
        EXPECT_EQ(-1, CacheStringGlyphs(-1, "a", bad, nullptr, nullptr));
        EXPECT_EQ(nullptr, RasterizeGlyphToCache(bad, 1, (const uint8_t*)"a\0\0"));
        EXPECT_EQ(-1, RecreateFontHandle(bad));
    }
    // Values the font cannot take are refused before anything is made.
    EXPECT_EQ(-1, CreateFontToHandle(nullptr, 16, -1, 4, -1, -1, 0, 0, -1));
    EXPECT_EQ(-1, CreateFontToHandle(nullptr, 16, -1, 0, 5, -1, 0, 0, -1));
    EXPECT_EQ(-1, CreateFontToHandle(nullptr, 16, -1, 0, -1, -3, 0, 0, -1));
}

TEST_F(FontMemoryCache, RecreatedFontKeepsHandleSpacingAndOwnerLink)
{
    int font = CreateFontToHandle("ＭＳ ゴシック", 18, 3, 0, -1, -1, 0, -1, -1);
    ASSERT_NE(-1, font);
    int lost = -5;
    ASSERT_EQ(0, SetFontLostFlagPointer(font, &lost));
    EXPECT_EQ(0, lost);
    ASSERT_EQ(0, SetFontSpacing(3, font));
    ASSERT_EQ(0, CacheStringGlyphs(-1, "ab", font, nullptr, nullptr));

    ASSERT_EQ(0, RecreateFontHandle(font));
    FontRecord* record = GetFontRecord(font);
    ASSERT_NE(nullptr, record);
    EXPECT_EQ(0, lost);
    EXPECT_EQ(&lost, record->lostFlag);
    EXPECT_EQ(3, record->spacing);
    char name[FONT_FACE_NAME_SIZE];
    int size = 0, thickness = 0;
    ASSERT_EQ(0, GetFontInfo(name, &size, &thickness, font));
    EXPECT_STREQ("ＭＳ ゴシック", name);
    EXPECT_EQ(18, size);
    EXPECT_EQ(3, thickness);
    EXPECT_FALSE(record->codeMap['a'].present);
    EXPECT_EQ(0, record->ringPosition);
    // Still the only font: no slot was left behind.
    EXPECT_EQ(font, FontHandleAtSlot(0));
    EXPECT_EQ(-1, FontHandleAtSlot(1));

    // A given slot that is taken is refused.
    EXPECT_EQ(-1, CreateFontToHandle(nullptr, 16, -1, -1, -1, -1, 0, 0, -1));
    ASSERT_EQ(0, DeleteFontHandle(font));
    EXPECT_EQ(1, lost);
}
