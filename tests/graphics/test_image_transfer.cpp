// Pictures transferred into graphs, read back from the textures' system
// twins (or the render target) and from memory images: conversion, the
// filtering border, transparent colour, mip levels, DXT data, drawable graphs
// and the clipping of the source to the picture.
#include <gtest/gtest.h>
#include <windows.h>
#include <d3d9.h>

#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "graphics/device.h"
#include "tests/graphics/library_start.h"
#include "graphics/device_reset.h"
#include "graphics/draw_state.h"
#include "graphics/graph_handles.h"
#include "graphics/graph_loading.h"
#include "graphics/graph_record.h"
#include "graphics/image_transfer.h"
#include "image/dxt.h"
#include "image/mem_image.h"
#include "image/raster_image.h"
#include "runtime/library.h"
#include "runtime/memory.h"
#include "tests/support/test_support.h"

// Every logged text, kept for the refusal checks.
static std::vector<std::string> loggedTexts;
extern "C" int RealWriteLog(const char* text) asm(REAL_SYMBOL("_Z8WriteLogPKc"));
extern "C" int WrappedWriteLog(const char* text) asm(WRAPPED_SYMBOL("_Z8WriteLogPKc"));
extern "C" int WrappedWriteLog(const char* text)
{
    loggedTexts.push_back(text);
    return RealWriteLog(text);
}

namespace {

const char* const kDxtRefused = "DXTフォーマットのテクスチャに標準形式のイメージを転送することはできません\n";

int CountLogged(const char* text)
{
    int n = 0;
    for (const std::string& t : loggedTexts)
        n += t == text;
    return n;
}

// A distinct opaque colour per pixel.
uint32_t Pattern(int x, int y) { return 0xFF000000u | (uint32_t)(x & 0xFF) << 16 | (uint32_t)(y & 0xFF) << 8 | (uint32_t)((x >> 8) * 16 + (y >> 8) + 1); }

RasterImage MakeImage(int width, int height, uint32_t (*color)(int, int) = Pattern)
{
    RasterImage image = {};
    EXPECT_EQ(0, CreateImageXRGB32(width, height, &image));
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            uint32_t c = color(x, y);
            memcpy((uint8_t*)image.pixels + (ptrdiff_t)y * image.pitch + 4 * x, &c, 4);
        }
    return image;
}

// A DXT image of the given size and levels (quarter sizes, one block at
// least), bytes counting up from seed.
RasterImage MakeDxtImage(int width, int height, int kind, int levels, int seed)
{
    RasterImage image = {};
    SetColorFormatARGB32(&image.format);
    image.format.compression = (uint32_t)kind;
    image.format.bitDepth = kind == 1 ? 4 : 8;
    int block = kind == 1 ? 8 : 16;
    int64_t total = 0;
    for (int64_t i = 0, size = (int64_t)width * height * image.format.bitDepth / 8; i < std::max(levels, 1); i++) {
        total += size;
        size = std::max<int64_t>(size / 4, block);
    }
    image.width = width;
    image.height = height;
    image.mipCount = levels;
    image.pixels = AllocTracked((size_t)total, "test", __LINE__);
    for (int64_t i = 0; i < total; i++)
        ((uint8_t*)image.pixels)[i] = (uint8_t)(seed + i * 7);
    return image;
}

// Every texel of a level (the twin, or the render target) as 16 or 32 bits.
std::vector<uint32_t> ReadTexels(TextureTile& t, bool drawable, int level)
{
    std::vector<uint32_t> out;
    IDirect3DSurface9* surface = nullptr;
    IDirect3DSurface9* copy = nullptr;
    D3DSURFACE_DESC desc;
    if (drawable) {
        t.surface->GetDesc(&desc);
        EXPECT_EQ(D3D_OK, DeviceObjects.device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format,
                                                                           D3DPOOL_SYSTEMMEM, &copy, nullptr));
        EXPECT_EQ(D3D_OK, DeviceObjects.device->GetRenderTargetData(t.surface, copy));
        surface = copy;
    } else {
        (t.systemTexture ? t.systemTexture : t.texture)->GetSurfaceLevel((UINT)level, &surface);
        surface->GetDesc(&desc);
    }
    int bytes = desc.Format == D3DFMT_R5G6B5 || desc.Format == D3DFMT_A1R5G5B5 || desc.Format == D3DFMT_X1R5G5B5 ||
                        desc.Format == D3DFMT_A4R4G4B4
                    ? 2
                    : 4;
    D3DLOCKED_RECT locked;
    EXPECT_EQ(D3D_OK, surface->LockRect(&locked, nullptr, D3DLOCK_READONLY));
    for (UINT y = 0; y < desc.Height; y++)
        for (UINT x = 0; x < desc.Width; x++) {
            uint32_t v = 0;
            memcpy(&v, (uint8_t*)locked.pBits + (ptrdiff_t)y * locked.Pitch + x * bytes, (size_t)bytes);
            out.push_back(v);
        }
    surface->UnlockRect();
    surface->Release();
    return out;
}

struct TileSpec {
    int x, y, usedWidth, usedHeight, textureWidth, textureHeight;
};

// A graph over an image record of textures as the graph records make them,
// each with a system twin (the device is a 9Ex one), all cleared.
struct TextureGraph {
    int handle = -1;
    GraphImageRecord* image = nullptr;

    void Make(int width, int height, int formatKind, const std::vector<TileSpec>& tiles, int mipLevels = 1,
              bool drawable = false)
    {
        size_t size = sizeof(GraphImageRecord) + tiles.size() * sizeof(TextureTile);
        image = (GraphImageRecord*)AllocTrackedZero(size, "test", __LINE__);
        image->refCount = 1;
        image->formatKind = formatKind;
        image->desc.texture = 1;
        image->desc.drawable = drawable;
        image->desc.keepSystemCopy = !drawable;
        image->desc.mipLevels = (uint8_t)mipLevels;
        image->width = width;
        image->height = height;
        image->mipLevels = mipLevels;
        image->tileCount = (int)tiles.size();
        D3DFORMAT format = DeviceFormatTable.formats[formatKind];
        IDirect3DDevice9* device = DeviceObjects.device;
        for (size_t i = 0; i < tiles.size(); i++) {
            TextureTile& t = image->tiles[i];
            const TileSpec& s = tiles[i];
            t.x = s.x;
            t.y = s.y;
            t.usedWidth = s.usedWidth;
            t.usedHeight = s.usedHeight;
            t.textureWidth = s.textureWidth;
            t.textureHeight = s.textureHeight;
            ASSERT_EQ(D3D_OK, device->CreateTexture(s.textureWidth, s.textureHeight, drawable ? 1 : mipLevels,
                                                    drawable ? D3DUSAGE_RENDERTARGET : 0, format, D3DPOOL_DEFAULT,
                                                    &t.texture, nullptr));
            t.texture->GetSurfaceLevel(0, &t.surface);
            if (drawable) {
                device->ColorFill(t.surface, nullptr, 0);
                continue;
            }
            ASSERT_EQ(D3D_OK, device->CreateTexture(s.textureWidth, s.textureHeight, mipLevels, D3DUSAGE_DYNAMIC,
                                                    format, D3DPOOL_SYSTEMMEM, &t.systemTexture, nullptr));
            for (DWORD level = 0; level < t.systemTexture->GetLevelCount(); level++) {
                D3DSURFACE_DESC desc;
                t.systemTexture->GetLevelDesc(level, &desc);
                D3DLOCKED_RECT locked;
                ASSERT_EQ(D3D_OK, t.systemTexture->LockRect(level, &locked, nullptr, 0));
                // Block formats: a pitch covers a row of blocks.
                int rows = format >= D3DFMT_DXT1 && format <= D3DFMT_DXT5 ? (int)(desc.Height + 3) / 4 : (int)desc.Height;
                memset(locked.pBits, 0, (size_t)locked.Pitch * rows);
                t.systemTexture->UnlockRect(level);
            }
            device->UpdateTexture(t.systemTexture, t.texture);
        }
        handle = AllocGraphHandle();
        GraphRecord* record = GetGraphRecord(handle);
        record->image = image;
        SetRectangle(0, 0, width, height);
    }

    // The graph's rectangle within the picture, with its tile entries.
    void SetRectangle(int srcX, int srcY, int width, int height)
    {
        GraphRecord* record = GetGraphRecord(handle);
        record->srcX = srcX;
        record->srcY = srcY;
        record->width = width;
        record->height = height;
        record->tileCount = 0;
        for (int i = 0; i < image->tileCount; i++) {
            TextureTile& t = image->tiles[i];
            int left = std::max(t.x, srcX), right = std::min(t.x + t.usedWidth, srcX + width);
            int top = std::max(t.y, srcY), bottom = std::min(t.y + t.usedHeight, srcY + height);
            if (left >= right || top >= bottom)
                continue;
            ASSERT_LT(record->tileCount, (int)GRAPH_BASE_TILE_ENTRIES);
            GraphTileEntry& e = record->tiles[record->tileCount++];
            e.dstX = left - srcX;
            e.dstY = top - srcY;
            e.tileX = left - t.x;
            e.tileY = top - t.y;
            e.pieceWidth = right - left;
            e.pieceHeight = bottom - top;
            e.tile = &t;
        }
    }

    std::vector<uint32_t> Texels(int tile, int level = 0)
    {
        return ReadTexels(image->tiles[tile], image->desc.drawable != 0, level);
    }

    // The raw bytes of a DXT level, rows of blocks joined.
    std::vector<uint8_t> Blocks(int tile, int level, int blockBytes)
    {
        TextureTile& t = image->tiles[tile];
        D3DSURFACE_DESC desc;
        t.systemTexture->GetLevelDesc((UINT)level, &desc);
        int rowBytes = std::max(1, (int)(desc.Width + 3) / 4) * blockBytes;
        int rows = std::max(1, (int)(desc.Height + 3) / 4);
        D3DLOCKED_RECT locked;
        std::vector<uint8_t> out;
        EXPECT_EQ(D3D_OK, t.systemTexture->LockRect((UINT)level, &locked, nullptr, D3DLOCK_READONLY));
        for (int r = 0; r < rows; r++) {
            const uint8_t* row = (const uint8_t*)locked.pBits + (ptrdiff_t)r * locked.Pitch;
            out.insert(out.end(), row, row + rowBytes);
        }
        t.systemTexture->UnlockRect((UINT)level);
        return out;
    }

    void Free()
    {
        if (handle != -1)
            ReleaseGraphHandle(handle);
        for (int i = 0; image && i < image->tileCount; i++) {
            TextureTile& t = image->tiles[i];
            ReleaseObject(t.surface);
            ReleaseObject(t.texture);
            ReleaseObject(t.systemTexture);
        }
        if (image)
            FreeTracked(image);
        handle = -1;
        image = nullptr;
    }
};

int Transfer(const TextureGraph& g, RasterImage* image, RECT source, int x, int y, int imageCoordinates = 0,
             RasterImage* alpha = nullptr, int useKey = 0)
{
    return TransferImageToGraph(g.handle, nullptr, nullptr, nullptr, &source, x, y, 0, image, alpha, 0, useKey,
                                imageCoordinates);
}

// The library runs with Direct3D for the whole suite: it starts once per process.
class TransferDevice : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        started = StartLibraryOnDirect3D(640, 480);
    }
    static void TearDownTestSuite()
    {
        EXPECT_EQ(0, EndLibraryLocked());
        EXPECT_EQ(0, GetAllocCount());
    }
    void SetUp() override
    {
        ASSERT_TRUE(started);
        loggedTexts.clear();
        allocations = GetAllocCount();
    }
    void TearDown() override
    {
        graph.Free();
        EXPECT_EQ(allocations, GetAllocCount());
    }
    static bool started;
    int allocations = 0;
    TextureGraph graph;
};
bool TransferDevice::started = false;

TEST_F(TransferDevice, PictureSmallerThanItsTextureRepeatsItsLastColumnAndRow)
{
    graph.Make(300, 200, FORMAT_ALPHA_32, {{0, 0, 300, 200, 512, 256}});
    ASSERT_EQ(D3DFMT_A8R8G8B8, DeviceFormatTable.formats[FORMAT_ALPHA_32]);
    RasterImage image = MakeImage(300, 200);
    ASSERT_EQ(0, Transfer(graph, &image, {0, 0, 300, 200}, 0, 0));
    std::vector<uint32_t> t = graph.Texels(0);
    auto at = [&](int x, int y) { return t[(size_t)y * 512 + x]; };
    int wrong = 0;
    for (int y = 0; y < 200; y++)
        for (int x = 0; x < 300; x++)
            wrong += at(x, y) != Pattern(x, y);
    EXPECT_EQ(0, wrong);
    for (int y = 0; y < 200; y++)
        ASSERT_EQ(Pattern(299, y), at(300, y)) << y;
    for (int x = 0; x < 300; x++)
        ASSERT_EQ(Pattern(x, 199), at(x, 200)) << x;
    EXPECT_EQ(Pattern(299, 199), at(300, 200));
    EXPECT_EQ(0u, at(301, 0));
    EXPECT_EQ(0u, at(0, 201));
    FreeRasterImage(&image);
}

// The same through the graph records: a picture made into a graph arrives
// in its texture with the border, black (the default transparent colour)
// becoming alpha 0.
uint32_t BlackCorner(int x, int y) { return x < 2 && y < 2 ? 0xFF000000u : Pattern(x, y); }

TEST_F(TransferDevice, GraphMadeFromAPicture)
{
    RasterImage image = MakeImage(300, 200, BlackCorner);
    int handle = TransferRasterImageToGraph(&image, nullptr, 0, 0);
    ASSERT_NE(-1, handle);
    GraphImageRecord* record = GetGraphRecord(handle)->image;
    ASSERT_EQ(1, record->tileCount);
    ASSERT_EQ(512, record->tiles[0].textureWidth);
    ASSERT_EQ(256, record->tiles[0].textureHeight);
    ASSERT_EQ(D3DFMT_A8R8G8B8, DeviceFormatTable.formats[record->formatKind]);
    std::vector<uint32_t> t = ReadTexels(record->tiles[0], false, 0);
    EXPECT_EQ(0x00000000u, t[1 * 512 + 1]);
    EXPECT_EQ(Pattern(2, 0), t[2]);
    EXPECT_EQ(Pattern(299, 5), t[5 * 512 + 300]);
    EXPECT_EQ(Pattern(299, 199), t[200 * 512 + 300]);
    EXPECT_EQ(0, FreeGraph(handle));
    FreeRasterImage(&image);
}

// Each tile gets its own piece; only the tile whose used area ends inside its
// texture is bordered at the right.
TEST_F(TransferDevice, PictureOverTwoTiles)
{
    struct Case {
        int imageCoordinates, graphX, graphWidth;
        RECT source;
        int x;
        uint32_t firstTileAt0;   // texel (0, 0) of the first tile
    } cases[] = {
        {1, 0, 300, {0, 0, 300, 20}, 0, Pattern(0, 0)},
        // A graph over columns 200 to 299: the first tile only from column 200.
        {0, 200, 100, {200, 0, 300, 20}, 0, 0},
    };
    for (const Case& c : cases) {
        graph.Make(300, 20, FORMAT_ALPHA_32, {{0, 0, 256, 20, 256, 32}, {256, 0, 44, 20, 64, 32}});
        graph.SetRectangle(c.graphX, 0, c.graphWidth, 20);
        RasterImage image = MakeImage(300, 20);
        ASSERT_EQ(0, Transfer(graph, &image, c.source, c.x, 0, c.imageCoordinates));
        std::vector<uint32_t> a = graph.Texels(0), b = graph.Texels(1);
        EXPECT_EQ(c.firstTileAt0, a[0]);
        EXPECT_EQ(Pattern(200, 7), a[7 * 256 + 200]);
        EXPECT_EQ(Pattern(255, 19), a[20 * 256 + 255]);   // row border
        EXPECT_EQ(Pattern(256, 0), b[0]);
        EXPECT_EQ(Pattern(299, 19), b[19 * 64 + 43]);
        EXPECT_EQ(Pattern(299, 5), b[5 * 64 + 44]);       // column border
        EXPECT_EQ(Pattern(299, 19), b[20 * 64 + 44]);     // corner
        EXPECT_EQ(0u, b[5 * 64 + 45]);
        FreeRasterImage(&image);
        graph.Free();
    }
}

// A piece that starts inside its tile and ends at the used edge is bordered
// right after its own last column and row (texture x 40 and y 30), inside
// the lock rectangle; nothing is written at the used size counted from the
// piece's corner (x 60, y 50), which lies outside it.
TEST_F(TransferDevice, BorderOfAPieceThatStartsInsideItsTile)
{
    graph.Make(40, 30, FORMAT_ALPHA_32, {{0, 0, 40, 30, 64, 64}});
    RasterImage image = MakeImage(20, 10);
    ASSERT_EQ(0, Transfer(graph, &image, {0, 0, 20, 10}, 20, 20));
    std::vector<uint32_t> t = graph.Texels(0);
    auto at = [&](int x, int y) { return t[(size_t)y * 64 + x]; };
    for (int y = 20; y < 30; y++)
        EXPECT_EQ(Pattern(19, y - 20), at(40, y)) << "column border, row " << y;
    for (int x = 20; x < 40; x++)
        EXPECT_EQ(Pattern(x - 20, 9), at(x, 30)) << "row border, column " << x;
    EXPECT_EQ(Pattern(19, 9), at(40, 30));
    int stray = 0;
    for (int y = 0; y < 64; y++)
        for (int x = 0; x < 64; x++)
            stray += at(x, y) != 0 && !(x >= 20 && x <= 40 && y >= 20 && y <= 30);
    EXPECT_EQ(0, stray);
    FreeRasterImage(&image);
}

uint32_t KeyRow(int x, int) { return x % 2 == 0 ? 0xFFFF00FF : x == 1 ? 0xFF102030 : 0xFFFFFFFF; }
uint32_t HalfRed(int, int) { return 0xFF800000; }

// The transparent colour becomes alpha 0 where the texture keeps alpha and no
// alpha image is given; 16-bit textures get their channels' top bits.
TEST_F(TransferDevice, ConversionTransparentColourAndAlphaImage)
{
    struct Case {
        int kind, useKey, alphaImage;
        uint32_t expected[4];
    } cases[] = {
        {FORMAT_ALPHA_TEST_32, 1, 0, {0x00FF00FF, 0xFF102030, 0x00FF00FF, 0xFFFFFFFF}},
        {FORMAT_ALPHA_TEST_32, 0, 0, {0xFFFF00FF, 0xFF102030, 0xFFFF00FF, 0xFFFFFFFF}},
        {FORMAT_ALPHA_TEST_32, 1, 1, {0x80FF00FF, 0x80102030, 0x80FF00FF, 0x80FFFFFF}},
        // A1R5G5B5: (r >> 3) << 10 | (g >> 3) << 5 | b >> 3, alpha in the top bit.
        {FORMAT_ALPHA_TEST_16, 1, 0, {0x7C1F, 0x8000 | 2 << 10 | 4 << 5 | 6, 0x7C1F, 0xFFFF}},
        // R5G6B5: (r >> 3) << 11 | (g >> 2) << 5 | b >> 3.
        {FORMAT_16, 1, 0, {0xF81F, 2 << 11 | 8 << 5 | 6, 0xF81F, 0xFFFF}},
    };
    ASSERT_EQ(D3DFMT_A8R8G8B8, DeviceFormatTable.formats[FORMAT_ALPHA_TEST_32]);
    ASSERT_EQ(D3DFMT_A1R5G5B5, DeviceFormatTable.formats[FORMAT_ALPHA_TEST_16]);
    ASSERT_EQ(D3DFMT_R5G6B5, DeviceFormatTable.formats[FORMAT_16]);
    for (const Case& c : cases) {
        graph.Make(4, 1, c.kind, {{0, 0, 4, 1, 8, 8}});
        graph.image->transColor = 0xFF00FF;
        RasterImage image = MakeImage(4, 1, KeyRow);
        RasterImage alpha = MakeImage(4, 1, HalfRed);
        ASSERT_EQ(0, Transfer(graph, &image, {0, 0, 4, 1}, 0, 0, 0, c.alphaImage ? &alpha : nullptr, c.useKey));
        std::vector<uint32_t> t = graph.Texels(0);
        for (int x = 0; x < 4; x++)
            EXPECT_EQ(c.expected[x], t[x]) << "kind " << c.kind << " key " << c.useKey << " pixel " << x;
        FreeRasterImage(&image);
        FreeRasterImage(&alpha);
        graph.Free();
    }
}

// Red rises with x (0.8 a column), green is y.
uint32_t Ramp(int x, int y) { return 0xFF000000u | (uint32_t)(x * 4 / 5) << 16 | (uint32_t)y << 8; }

// Generated levels average the picture; levels of odd size still come from
// the level above, not from what the work memory held before.
TEST_F(TransferDevice, GeneratedMipLevels)
{
    graph.Make(300, 200, FORMAT_ALPHA_32, {{0, 0, 300, 200, 512, 256}}, 4);
    RasterImage image = MakeImage(300, 200, Ramp);
    ASSERT_EQ(0, Transfer(graph, &image, {0, 0, 300, 200}, 0, 0));
    EXPECT_EQ(Ramp(123, 45), graph.Texels(0, 0)[45 * 512 + 123]);
    for (int level = 1; level < 4; level++) {
        std::vector<uint32_t> t = graph.Texels(0, level);
        int step = 1 << level, pitch = 512 >> level;
        int width = 300 >> level, height = 200 >> level;
        for (int x = 0; x < width; x++) {
            // The mean over the level's span of columns, from the ramp itself.
            double red = (x * step + (step - 1) / 2.0) * 0.8;
            int got = (int)(t[(size_t)(height / 2) * pitch + x] >> 16 & 0xFF);
            ASSERT_NEAR(red, got, 2.5) << "level " << level << " column " << x;
        }
        EXPECT_EQ(0xFFu, t[0] >> 24);
    }
    FreeRasterImage(&image);
}

// A picture that brings its own levels gives every tile its share of each
// level, however much larger the picture is than the tile.
TEST_F(TransferDevice, SourceMipLevelsSplitOverTiles)
{
    graph.Make(64, 32, FORMAT_ALPHA_32, {{0, 0, 32, 32, 32, 32}, {32, 0, 32, 32, 32, 32}}, 2);
    RasterImage image = {};
    SetColorFormatXRGB32(&image.format);
    image.width = 64;
    image.height = 32;
    image.pitch = 256;
    image.mipCount = 2;
    image.pixels = AllocTracked(256 * 32 + 128 * 16, "test", __LINE__);
    uint32_t* level0 = (uint32_t*)image.pixels;
    uint32_t* level1 = level0 + 64 * 32;
    for (int y = 0; y < 32; y++)
        for (int x = 0; x < 64; x++)
            level0[y * 64 + x] = Pattern(x, y);
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 32; x++)
            level1[y * 32 + x] = 0xFF000000u | 0xAB0000u | (uint32_t)x << 8 | (uint32_t)y;
    ASSERT_EQ(0, Transfer(graph, &image, {0, 0, 64, 32}, 0, 0, 1));
    std::vector<uint32_t> a1 = graph.Texels(0, 1), b0 = graph.Texels(1, 0), b1 = graph.Texels(1, 1);
    EXPECT_EQ(Pattern(32, 0), b0[0]);
    EXPECT_EQ(Pattern(63, 31), b0[31 * 32 + 31]);
    EXPECT_EQ(level1[3 * 32 + 5], a1[3 * 16 + 5]);
    EXPECT_EQ(level1[0 * 32 + 16], b1[0]);
    EXPECT_EQ(level1[15 * 32 + 31], b1[15 * 16 + 15]);
    FreeRasterImage(&image);
}

bool HasDxt1() { return DeviceFormatTable.formats[FORMAT_DXT1] == D3DFMT_DXT1; }

// DXT data reaches a DXT texture unchanged, level by level, when it is
// exactly that texture.
TEST_F(TransferDevice, DxtBlocksCopiedWhenTheyAreTheTexture)
{
    if (!HasDxt1())
        GTEST_SKIP() << "no DXT1 textures";
    for (int levels : {1, 3}) {
        graph.Make(16, 16, FORMAT_DXT1, {{0, 0, 16, 16, 16, 16}}, levels);
        RasterImage image = MakeDxtImage(16, 16, 1, levels, 3);
        const uint8_t* data = (const uint8_t*)image.pixels;
        ASSERT_EQ(0, Transfer(graph, &image, {0, 0, 16, 16}, 0, 0));
        EXPECT_EQ(std::vector<uint8_t>(data, data + 128), graph.Blocks(0, 0, 8));
        if (levels == 3) {
            EXPECT_EQ(std::vector<uint8_t>(data + 128, data + 160), graph.Blocks(0, 1, 8));
            EXPECT_EQ(std::vector<uint8_t>(data + 160, data + 168), graph.Blocks(0, 2, 8));
        }
        FreeRasterImage(&image);
        graph.Free();
    }
}

// A DXT texture takes nothing that is not exactly its own blocks: a larger
// DXT picture, a rectangle elsewhere in it, or plain pixels are refused with
// the message, the call succeeds and the texture stays clear.
TEST_F(TransferDevice, DxtTextureRefusesWhatDoesNotFit)
{
    if (!HasDxt1())
        GTEST_SKIP() << "no DXT1 textures";
    struct Case {
        int dxt, width, height, levels;
        RECT source;
    } cases[] = {
        {1, 32, 32, 1, {0, 0, 16, 16}},
        {1, 32, 32, 1, {16, 16, 32, 32}},
        {1, 32, 32, 3, {0, 0, 16, 16}},
        {0, 16, 16, 1, {0, 0, 16, 16}},
        {0, 16, 16, 3, {0, 0, 16, 16}},
    };
    for (const Case& c : cases) {
        loggedTexts.clear();
        int levels = c.levels;
        graph.Make(16, 16, FORMAT_DXT1, {{0, 0, 16, 16, 16, 16}}, levels);
        RasterImage image = c.dxt ? MakeDxtImage(c.width, c.height, 1, levels, 9) : MakeImage(c.width, c.height);
        ASSERT_EQ(0, Transfer(graph, &image, c.source, 0, 0));
        EXPECT_EQ(1, CountLogged(kDxtRefused));
        for (int level = 0; level < levels; level++) {
            std::vector<uint8_t> blocks = graph.Blocks(0, level, 8);
            EXPECT_EQ(std::vector<uint8_t>(blocks.size(), 0), blocks) << "level " << level;
        }
        FreeRasterImage(&image);
        graph.Free();
    }
}

// DXT pictures go into plain textures decompressed.
TEST_F(TransferDevice, DxtPictureIntoPlainTexture)
{
    graph.Make(8, 8, FORMAT_ALPHA_32, {{0, 0, 8, 8, 8, 8}});
    RasterImage image = MakeDxtImage(8, 8, 1, 0, 5);
    uint32_t expected[64];
    for (int i = 0; i < 64; i++)
        ASSERT_EQ(0, DecodeDxtPixel(&image, i % 8, i / 8, &expected[i]));
    ASSERT_EQ(0, Transfer(graph, &image, {0, 0, 8, 8}, 0, 0));
    std::vector<uint32_t> t = graph.Texels(0);
    for (int i = 0; i < 64; i++)
        EXPECT_EQ(expected[i], t[i]) << i;
    FreeRasterImage(&image);
}

// A DXT picture that does not fill its texture exactly (a 12 x 12 picture in
// a 16 x 16 texture) makes an uncompressed graph: its blocks could reach no
// tile, and the graph would draw black.
TEST_F(TransferDevice, DxtPictureSmallerThanItsTextureMakesAPlainGraph)
{
    for (int side : {12, 20}) {
        SCOPED_TRACE(side);
        RasterImage image = MakeDxtImage(side, side, 1, 0, 11);
        std::vector<uint32_t> expected((size_t)side * side);
        for (int i = 0; i < side * side; i++)
            ASSERT_EQ(0, DecodeDxtPixel(&image, i % side, i / side, &expected[i]));
        loggedTexts.clear();
        int handle = TransferRasterImageToGraph(&image, nullptr, 0, 0);
        ASSERT_NE(-1, handle);
        GraphImageRecord* record = GetGraphRecord(handle)->image;
        ASSERT_EQ(1, record->tileCount);
        ASSERT_GT(record->tiles[0].textureWidth, side);
        EXPECT_EQ(D3DFMT_A8R8G8B8, DeviceFormatTable.formats[record->formatKind]);
        EXPECT_EQ(0, CountLogged(kDxtRefused));
        std::vector<uint32_t> t = ReadTexels(record->tiles[0], false, 0);
        const int pitch = record->tiles[0].textureWidth;
        int wrong = 0;
        for (int i = 0; i < side * side; i++)
            wrong += t[(size_t)(i / side) * pitch + i % side] != expected[i];
        EXPECT_EQ(0, wrong);
        EXPECT_EQ(0, FreeGraph(handle));
        FreeRasterImage(&image);
    }
}

// Render-target textures get their pieces through the staging surface.
TEST_F(TransferDevice, DrawableGraph)
{
    graph.Make(40, 30, FORMAT_TARGET_32, {{0, 0, 40, 30, 64, 32}}, 0, true);
    RasterImage image = MakeImage(40, 30);
    ASSERT_EQ(0, Transfer(graph, &image, {0, 0, 20, 10}, 10, 5));
    std::vector<uint32_t> t = graph.Texels(0);
    EXPECT_EQ(Pattern(0, 0) & 0xFFFFFF, t[5 * 64 + 10] & 0xFFFFFF);
    EXPECT_EQ(Pattern(19, 9) & 0xFFFFFF, t[14 * 64 + 29] & 0xFFFFFF);
    EXPECT_EQ(0u, t[15 * 64 + 29] & 0xFFFFFF);
    EXPECT_EQ(0u, t[5 * 64 + 30] & 0xFFFFFF);
    EXPECT_EQ(0u, t[4 * 64 + 10] & 0xFFFFFF);
    FreeRasterImage(&image);
}

// The source rectangle is cut to the picture: a smaller picture (a file
// replaced before a restore) fills only what it has.
TEST_F(TransferDevice, SourceClippedToThePicture)
{
    struct Case {
        RECT source;
        int x, y;
        int firstX, firstY;   // where picture pixel (0, 0) lands
        int endX, endY;       // one past the last texel written
    } cases[] = {
        {{0, 0, 64, 64}, 0, 0, 0, 0, 32, 32},
        {{-8, -4, 24, 24}, 0, 0, 8, 4, 32, 28},
    };
    for (const Case& c : cases) {
        graph.Make(64, 64, FORMAT_ALPHA_32, {{0, 0, 64, 64, 64, 64}});
        RasterImage image = MakeImage(32, 32);
        ASSERT_EQ(0, Transfer(graph, &image, c.source, c.x, c.y));
        std::vector<uint32_t> t = graph.Texels(0);
        int wrong = 0;
        for (int y = 0; y < 64; y++)
            for (int x = 0; x < 64; x++) {
                bool inside = x >= c.firstX && x < c.endX && y >= c.firstY && y < c.endY;
                wrong += t[(size_t)y * 64 + x] != (inside ? Pattern(x - c.firstX, y - c.firstY) : 0u);
            }
        EXPECT_EQ(0, wrong);
        FreeRasterImage(&image);
        graph.Free();
    }
}

TEST(TransferRefusals, BadHandleStoppedGraphicsAndEmptySource)
{
    RasterImage image = MakeImage(4, 4);
    RECT source = {0, 0, 4, 4};
    int saved = Screen.started;
    Screen.started = 0;
    EXPECT_EQ(-1, TransferImageToGraph(0x08000001, nullptr, nullptr, nullptr, &source, 0, 0, 0, &image, nullptr, 0, 0, 0));
    Screen.started = 1;
    EXPECT_EQ(-1, TransferImageToGraph(0x08000001, nullptr, nullptr, nullptr, &source, 0, 0, 0, &image, nullptr, 0, 0, 0));
    Screen.started = saved;
    FreeRasterImage(&image);
}

// A software graph over a memory image of 16 x 16, the record laid out as the
// graph records lay it out.
struct SoftGraph {
    int handle = -1;
    GraphImageRecord* image = nullptr;

    void Make(int srcX, int srcY, int width, int height, bool palette = false)
    {
        image = (GraphImageRecord*)AllocTrackedZero(sizeof(GraphImageRecord) + sizeof(MEMIMG) + sizeof(void*), "test",
                                                    __LINE__);
        image->refCount = 1;
        image->desc.software = 1;
        image->desc.palette = palette;
        image->width = image->height = 16;
        MEMIMG* mem = GetImageRecordMemImage(image);
        ASSERT_NE(nullptr, mem);
        ASSERT_EQ(0, CreateMemImage(mem, 16, 16, -1, palette ? 0xFFFF : 0, MEMIMG_KIND_X8R8G8B8, palette, 0, 0,
                                    nullptr));
        FillMemImageRect(mem, nullptr, 0);
        handle = AllocGraphHandle();
        GraphRecord* record = GetGraphRecord(handle);
        record->image = image;
        record->srcX = srcX;
        record->srcY = srcY;
        record->width = width;
        record->height = height;
    }
    MEMIMG* Mem() { return GetImageRecordMemImage(image); }
    uint32_t Pixel(int x, int y)
    {
        MEMIMG* m = Mem();
        const uint8_t* p = (const uint8_t*)m->pixels + (ptrdiff_t)y * m->body->pitch;
        if (m->body->paletteFlag)
            return p[x];
        uint32_t v;
        memcpy(&v, p + 4 * x, 4);
        return v & 0xFFFFFF;
    }
    void Free()
    {
        ReleaseGraphHandle(handle);
        ReleaseMemImage(Mem());
        FreeTracked(image);
    }
};

class TransferSoftware : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedStarted = Screen.started;
        savedHardware = Screen.hardware;
        savedTransColor = Draw.create.transColor;
        Screen.started = 1;
        Screen.hardware = 0;
    }
    void TearDown() override
    {
        Screen.started = savedStarted;
        Screen.hardware = savedHardware;
        Draw.create.transColor = savedTransColor;
    }
    int savedStarted = 0, savedHardware = 0;
    uint32_t savedTransColor = 0;
};

// The transfer is cut to the graph's rectangle (or the picture record) and
// lands at the graph's place in the shared memory image.
TEST_F(TransferSoftware, CutToTheGraphAndPlacedInTheImage)
{
    struct Case {
        int imageCoordinates, x, y;
        int firstX, firstY;   // where picture pixel (sx, sy) lands in the whole image
        int sx, sy;
        int endX, endY;
    } cases[] = {
        {0, 2, 3, 6, 5, 0, 0, 12, 10},     // graph at (4, 2), 8 x 8
        {0, -2, -1, 4, 2, 2, 1, 12, 10},   // before the graph's corner: moved in
        {1, 12, 12, 12, 12, 0, 0, 16, 16}, // picture record coordinates
    };
    int allocations = GetAllocCount();
    for (const Case& c : cases) {
        SoftGraph g;
        g.Make(4, 2, 8, 8);
        RasterImage image = MakeImage(20, 20);
        RECT source = {0, 0, 20, 20};
        ASSERT_EQ(0, TransferImageToGraph(g.handle, nullptr, nullptr, nullptr, &source, c.x, c.y, 0, &image, nullptr,
                                          0, 0, c.imageCoordinates));
        int wrong = 0;
        for (int y = 0; y < 16; y++)
            for (int x = 0; x < 16; x++) {
                bool inside = x >= c.firstX && x < c.endX && y >= c.firstY && y < c.endY;
                uint32_t expected = inside ? Pattern(x - c.firstX + c.sx, y - c.firstY + c.sy) & 0xFFFFFF : 0;
                wrong += g.Pixel(x, y) != expected;
            }
        EXPECT_EQ(0, wrong) << c.x << "," << c.y;
        // Nothing of the graph left at the position: refused.
        EXPECT_EQ(-1, TransferImageToGraph(g.handle, nullptr, nullptr, nullptr, &source, 8, 0, 0, &image, nullptr, 0,
                                           0, 0));
        FreeRasterImage(&image);
        g.Free();
    }
    EXPECT_EQ(allocations, GetAllocCount());
}

// A palette picture's memory image takes the index of the transparent colour.
TEST_F(TransferSoftware, PalettePictureTakesTheTransparentIndex)
{
    struct Case {
        uint32_t transColor, expected;
    } cases[] = {{0x00FF00, 5}, {0x123456, 0}};
    for (const Case& c : cases) {
        Draw.create.transColor = c.transColor;
        SoftGraph g;
        g.Make(0, 0, 16, 16, true);
        RasterImage image = {};
        SetColorFormatPal8(&image.format);
        image.width = image.height = 4;
        image.pitch = 4;
        image.pixels = AllocTrackedZero(16, "test", __LINE__);
        for (int i = 0; i < 256; i++)
            image.format.palette[i] = 0x010101u * (uint32_t)i;
        image.format.palette[5] = 0x00FF00;
        image.format.palette[9] = 0x00FF00;
        ((uint8_t*)image.pixels)[0] = 5;
        RECT source = {0, 0, 4, 4};
        ASSERT_EQ(0, TransferImageToGraph(g.handle, nullptr, nullptr, nullptr, &source, 0, 0, 0, &image, nullptr, 0,
                                          1, 0));
        EXPECT_EQ(5u, g.Pixel(0, 0));
        EXPECT_EQ(c.expected, g.Mem()->body->transColor);
        FreeRasterImage(&image);
        g.Free();
    }
}

// Bitmap mode reads a DIB section through the given format.
TEST_F(TransferSoftware, BitmapMode)
{
    SoftGraph g;
    g.Make(0, 0, 16, 16);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 6;
    info.bmiHeader.biHeight = -3;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(nullptr, bitmap);
    for (int i = 0; i < 18; i++)
        ((uint32_t*)bits)[i] = Pattern(i % 6, i / 6);
    ColorFormat format = {};
    SetColorFormatXRGB32(&format);
    RECT source = {0, 0, 16, 16};
    ASSERT_EQ(0, TransferImageToGraph(g.handle, &format, bitmap, nullptr, &source, 1, 1, 1, nullptr, nullptr, 0, 0, 0));
    EXPECT_EQ(Pattern(0, 0) & 0xFFFFFF, g.Pixel(1, 1));
    EXPECT_EQ(Pattern(5, 2) & 0xFFFFFF, g.Pixel(6, 3));
    EXPECT_EQ(0u, g.Pixel(7, 3));
    EXPECT_EQ(0u, g.Pixel(1, 4));
    // A bitmap without pixel memory of its own is refused.
    HBITMAP plain = CreateBitmap(4, 4, 1, 32, nullptr);
    EXPECT_EQ(-1, TransferImageToGraph(g.handle, &format, plain, nullptr, &source, 0, 0, 1, nullptr, nullptr, 0, 0, 0));
    DeleteObject(plain);
    DeleteObject(bitmap);
    g.Free();
}

} // namespace
