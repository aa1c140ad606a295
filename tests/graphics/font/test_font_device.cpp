// Texture glyph caches on the real Direct3D device: the cache texture's
// texels, read back, against GDI's own glyphs for every font type, and the
// rebuild of a lost cache graph.
#include <gtest/gtest.h>
#include <windows.h>

#include <string.h>

#include <vector>

#include "graphics/device.h"
#include "graphics/draw_state.h"
#include "graphics/font/font_handles.h"
#include "tests/graphics/font/gdi_glyph.h"
#include "graphics/graph_handles.h"
#include "graphics/graph_loading.h"
#include "runtime/library.h"
#include "runtime/memory.h"
#include "tests/graphics/library_start.h"

namespace {

// Alpha (scaled to 0..255) and colour of one texel.
struct Texel {
    int alpha = -1;
    bool white = false;
};

// Alpha and colour of a 16-bit texel in the formats the glyph caches use.
Texel DecodeTexel(D3DFORMAT format, uint16_t v)
{
    Texel t;
    if (format == D3DFMT_A4R4G4B4) {
        t.alpha = (v >> 12) * 17;
        t.white = (v & 0x0FFF) == 0x0FFF;
    } else if (format == D3DFMT_A1R5G5B5) {
        t.alpha = (v >> 15) * 255;
        t.white = (v & 0x7FFF) == 0x7FFF;
    }
    return t;
}

// A copy of a graph's texels from its textures' system copies (or the
// textures themselves without), taken once: locking per texel is slow.
struct GraphTexels {
    int width = 0, height = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    std::vector<uint16_t> texels;

    explicit GraphTexels(int graph)
    {
        const GraphRecord* record = GetGraphRecord(graph);
        if (!record)
            return;
        width = record->width;
        height = record->height;
        texels.assign((size_t)width * height, 0);
        for (int i = 0; i < record->tileCount; i++) {
            const GraphTileEntry& e = record->tiles[i];
            IDirect3DTexture9* texture = e.tile->systemTexture ? e.tile->systemTexture : e.tile->texture;
            D3DSURFACE_DESC desc;
            texture->GetLevelDesc(0, &desc);
            format = desc.Format;
            D3DLOCKED_RECT locked;
            if (FAILED(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY)))
                continue;
            for (int y = 0; y < e.pieceHeight; y++)
                memcpy(&texels[(size_t)(e.dstY + y) * width + e.dstX],
                       (uint8_t*)locked.pBits + (size_t)(e.tileY + y) * locked.Pitch + 2 * e.tileX,
                       2 * (size_t)e.pieceWidth);
            texture->UnlockRect(0);
        }
    }
    Texel At(int x, int y) const
    {
        if (x < 0 || y < 0 || x >= width || y >= height)
            return Texel();
        return DecodeTexel(format, texels[(size_t)y * width + x]);
    }
};


class FontDevice : public ::testing::Test {
protected:
    static bool started;
    int allocations = 0, graphs = 0;

    static void SetUpTestSuite() { started = StartLibraryOnDirect3D(640, 480); }
    static void TearDownTestSuite()
    {
        EXPECT_EQ(0, EndLibraryLocked());
        EXPECT_EQ(0, GetAllocCount());
    }
    void SetUp() override
    {
        ASSERT_TRUE(started);
        allocations = GetAllocCount();
        graphs = GraphHandles.count;
    }
    void TearDown() override
    {
        EXPECT_EQ(graphs, GraphHandles.count);
        EXPECT_EQ(allocations, GetAllocCount());
    }
};
bool FontDevice::started = false;

} // namespace

TEST_F(FontDevice, CacheTextureHoldsGdiGlyphsByFontType)
{
    for (int type = 0; type < 4; type++) {
        SCOPED_TRACE(type);
        const bool grey = (type & FONT_TYPE_ANTIALIAS) != 0;
        const bool edged = (type & FONT_TYPE_EDGE) != 0;
        const int e = edged ? 1 : 0;
        int font = CreateFontToHandle(nullptr, 24, -1, type, -1, 1, 0, -1, -1);
        ASSERT_NE(-1, font);
        FontRecord* record = GetFontRecord(font);
        ASSERT_EQ(1, record->textureCache);
        ASSERT_TRUE(IsGraphHandleValid(record->cacheGraph));
        EXPECT_EQ(edged ? 1 : 0, IsGraphHandleValid(record->edgeGraph));
        EXPECT_EQ(record->cacheWidth * (edged ? 2 : 1), record->staging.width);
        EXPECT_EQ(record->cacheHeight, record->staging.height);

        // Two glyphs, so that the second sits in a cell away from the corner.
        ASSERT_EQ(0, CacheStringGlyphs(-1, "g■", font, nullptr, nullptr));
        const GlyphSlot* slot = record->codeMap[0xA181].slot;
        ASSERT_NE(nullptr, slot);
        ASSERT_EQ(1, slot->cellIndex);
        int cx, cy;
        GetGlyphCellPosition(record, slot, &cx, &cy);
        EXPECT_EQ(1, cx);
        EXPECT_EQ(1 + record->cellSize, cy);

        const GdiGlyph ref = FetchGdiGlyph(record->gdiFont, 0x81A1, grey);
        ASSERT_FALSE(ref.bits.empty());
        ASSERT_EQ((int)ref.metrics.gmBlackBoxX + 2 * e, slot->width);
        const GraphTexels cache(record->cacheGraph);
        for (int y = 0; y < slot->height; y++)
            for (int x = 0; x < slot->width; x++) {
                const int body = ref.Level(x - e, y - e, grey);
                const Texel t = cache.At(cx + x, cy + y);
                ASSERT_TRUE(t.white) << x << "," << y;
                // Grey level v is stored with alpha v - 1 (of 15).
                const int alpha = grey ? (body > 1 ? body - 1 : 0) * 17 : body * 255;
                ASSERT_EQ(alpha, t.alpha) << x << "," << y;
                if (!edged)
                    continue;
                // Edge size 1: the four neighbours, combined in the order the
                // body pixels come (row by row).
                const int around[4][2] = {{0, -1}, {-1, 0}, {1, 0}, {0, 1}};
                int edge = 0;
                for (const auto& d : around) {
                    const int g = ref.Level(x - e + d[0], y - e + d[1], grey);
                    if (g > 0)
                        edge = grey ? (256 - (16 - edge) * (16 - g)) >> 4 : 1;
                }
                const Texel te = cache.At(cx + record->cacheWidth + x, cy + y);
                const int edgeAlpha = grey ? (edge > 1 ? edge - 1 : 0) * 17 : edge * 255;
                ASSERT_EQ(edgeAlpha, te.alpha) << "edge " << x << "," << y;
            }
        ASSERT_EQ(0, DeleteFontHandle(font));
    }
}

TEST_F(FontDevice, LostCacheGraphIsRebuiltEmpty)
{
    int font = CreateFontToHandle(nullptr, 20, -1, 0, -1, -1, 0, -1, -1);
    ASSERT_NE(-1, font);
    FontRecord* record = GetFontRecord(font);
    ASSERT_EQ(0, CacheStringGlyphs(-1, "W", font, nullptr, nullptr));
    ASSERT_TRUE(record->codeMap['W'].present);

    // The graph goes as in a device reset; its deletion flags the rebuild.
    const int lostGraph = record->cacheGraph;
    ASSERT_EQ(0, FreeGraph(lostGraph));
    EXPECT_EQ(1, record->rebuildFlag);
    ASSERT_EQ(0, RebuildFontCacheScreen(font));
    EXPECT_EQ(0, record->rebuildFlag);
    EXPECT_TRUE(IsGraphHandleValid(record->cacheGraph));
    EXPECT_FALSE(record->codeMap['W'].present);
    EXPECT_EQ(0, record->ringPosition);

    ASSERT_EQ(0, CacheStringGlyphs(-1, "W", font, nullptr, nullptr));
    const GlyphSlot* slot = record->codeMap['W'].slot;
    ASSERT_NE(nullptr, slot);
    int cx, cy, set = 0;
    GetGlyphCellPosition(record, slot, &cx, &cy);
    const GraphTexels cache(record->cacheGraph);
    for (int y = 0; y < slot->height; y++)
        for (int x = 0; x < slot->width; x++)
            set += cache.At(cx + x, cy + y).alpha == 255;
    EXPECT_GT(set, 10);
    // A second call without a loss changes nothing.
    const int graph = record->cacheGraph;
    ASSERT_EQ(0, RebuildFontCacheScreen(font));
    EXPECT_EQ(graph, record->cacheGraph);
    EXPECT_TRUE(record->codeMap['W'].present);
    ASSERT_EQ(0, DeleteFontHandle(font));
}
