// Graph records: tile sizes, the tile grid and its entries, texture creation
// (pools, twins, clearing), the colour formats of the texture kinds, and
// software records.
#include <gtest/gtest.h>
#include <windows.h>
#include <d3d9.h>

#include <string.h>

#include <vector>

#include "graphics/device.h"
#include "tests/graphics/library_start.h"
#include "graphics/device_reset.h"
#include "graphics/draw_state.h"
#include "graphics/graph_handles.h"
#include "graphics/graph_loading.h"
#include "graphics/graph_record.h"
#include "image/color_format.h"
#include "image/mem_image.h"
#include "runtime/library.h"
#include "runtime/memory.h"
#include "tests/support/test_support.h"

// Failure seam: the next resize of a graph record fails when asked.
static bool failNextResize;
#if defined(__x86_64__)
#define RESIZE_SYMBOL "_Z18ResizeHandleRecordP11HandleTableiyxyPKci"
#else
#define RESIZE_SYMBOL "_Z18ResizeHandleRecordP11HandleTableijxjPKci"
#endif
extern "C" void* RealResize(HandleTable*, int, size_t, int64_t, size_t, const char*, int) asm(REAL_SYMBOL(RESIZE_SYMBOL));
extern "C" void* WrappedResize(HandleTable* table, int handle, size_t header, int64_t count, size_t entry,
                               const char* name, int line) asm(WRAPPED_SYMBOL(RESIZE_SYMBOL));
extern "C" void* WrappedResize(HandleTable* table, int handle, size_t header, int64_t count, size_t entry,
                               const char* name, int line)
{
    if (failNextResize) {
        failNextResize = false;
        return nullptr;
    }
    return RealResize(table, handle, header, count, entry, name, line);
}

namespace {

// ---------------------------------------------------------------------------
// Tile sizes: the settings and the device limit are set by each case.

struct TileSizeCase {
    int limitSetting, deviceLimit, screenWidth, singleTexture, singleFlag, length;
    std::vector<int> sizes;   // empty: refused
};

TEST(GraphTileSizes, SplitsOneSide)
{
    const TileSizeCase cases[] = {
        {0, 4096, 1280, 0, 0, 1280, {1024, 256}},
        {0, 4096, 1280, 0, 0, 720, {1024}},
        {0, 4096, 1280, 0, 0, 300, {512}},
        {0, 4096, 1280, 0, 0, 1300, {1024, 256, 16, 8}},
        {0, 4096, 1280, 0, 0, 9, {16}},
        {0, 4096, 1280, 0, 0, 5, {8}},
        {0, 4096, 1280, 0, 0, 0, {8}},
        {256, 4096, 1280, 0, 0, 300, {256, 32, 16}},
        {256, 4096, 1280, 0, 0, 1000, {256, 256, 256, 256}},
        // One texture when asked for, while twice the start size fits.
        {0, 4096, 1280, 1, 0, 1280, {2048}},
        {0, 4096, 1280, 0, 1, 1280, {2048}},
        {0, 4096, 640, 0, 0, 1280, {1024, 256}},
        {0, 1024, 1280, 0, 1, 1280, {1024, 256}},
        // A remainder above three quarters takes a doubled tile.
        {0, 4096, 640, 0, 0, 1800, {2048}},
        {0, 4096, 640, 0, 0, 1700, {1024, 512, 128, 32, 8}},
        // A side of more tiles than a record holds is refused.
        {256, 4096, 1280, 0, 0, 256 * GRAPH_SIDE_TILE_MAX + 1, {}},
        {0, 0, 1280, 0, 0, 100000, {}},
    };
    GraphCreateSettings saved = Draw.create;
    int savedLimit = DeviceObjects.maxTextureSide, savedWidth = Screen.width, savedHeight = Screen.height;
    for (const TileSizeCase& c : cases) {
        Draw.create.textureSizeLimit = c.limitSetting;
        Draw.create.singleTexture = c.singleTexture;
        DeviceObjects.maxTextureSide = c.deviceLimit;
        Screen.width = c.screenWidth;
        Screen.height = 720;
        int sizes[GRAPH_SIDE_TILE_MAX] = {};
        int count = ChooseTextureTileSize(c.length, sizes, c.singleFlag);
        if (c.sizes.empty()) {
            EXPECT_EQ(-1, count) << "length " << c.length;
            continue;
        }
        ASSERT_GT(count, 0) << "length " << c.length;
        EXPECT_EQ(c.sizes, std::vector<int>(sizes, sizes + count))
            << "length " << c.length << " limit " << c.limitSetting << "/" << c.deviceLimit;
    }
    Draw.create = saved;
    DeviceObjects.maxTextureSide = savedLimit;
    Screen.width = savedWidth;
    Screen.height = savedHeight;
}

TEST(GraphColorFormats, KindsFollowTheDescriptor)
{
    struct Case {
        int alpha, alphaTest, is32, drawable;
        uint32_t red, alphaMask;
        int depth;
    };
    const Case cases[] = {
        {0, 0, 0, 0, 0xF800, 0, 16},          {0, 0, 1, 0, 0xFF0000, 0, 32},
        {1, 0, 0, 0, 0x0F00, 0xF000, 16},     {1, 0, 1, 0, 0xFF0000, 0xFF000000, 32},
        {0, 1, 0, 0, 0x7C00, 0x8000, 16},     {0, 1, 1, 0, 0xFF0000, 0xFF000000, 32},
        {0, 0, 0, 1, 0xF800, 0, 16},          {0, 0, 1, 1, 0xFF0000, 0, 32},
        {1, 0, 0, 1, 0xFF0000, 0xFF000000, 32},
    };
    for (const Case& c : cases) {
        const ColorFormat* f = GetGraphColorFormatFor(c.alpha, c.alphaTest, c.is32, c.drawable);
        ASSERT_NE(nullptr, f);
        EXPECT_EQ(c.red, f->redMask);
        EXPECT_EQ(c.alphaMask, f->alphaMask);
        EXPECT_EQ(c.depth, f->bitDepth);
    }
    GraphFormatDesc dxt = {};
    dxt.compression = 1;
    EXPECT_EQ(4, GetGraphColorFormat(&dxt)->bitDepth);
    EXPECT_EQ(1u, GetGraphColorFormat(&dxt)->compression);
    dxt.compression = 5;
    EXPECT_EQ(8, GetGraphColorFormat(&dxt)->bitDepth);
    EXPECT_EQ(5u, GetGraphColorFormat(&dxt)->compression);
    EXPECT_EQ(nullptr, GetD3DFormatColorFormat(D3DFMT_DXT1));
    EXPECT_EQ(0x3FFu, GetD3DFormatColorFormat(D3DFMT_A2B10G10R10)->redMask);
}

// ---------------------------------------------------------------------------
// On the library's Direct3D device.

// Counts the level locks of every texture while installed (the vtable of
// the device's textures is patched for the time of a test).
int textureLocks;
typedef HRESULT(STDMETHODCALLTYPE* LockRectFn)(IDirect3DTexture9*, UINT, D3DLOCKED_RECT*, const RECT*, DWORD);
LockRectFn realLockRect;
HRESULT STDMETHODCALLTYPE CountingLockRect(IDirect3DTexture9* texture, UINT level, D3DLOCKED_RECT* locked,
                                           const RECT* rect, DWORD flags)
{
    textureLocks++;
    return realLockRect(texture, level, locked, rect, flags);
}

struct LockCounter {
    void** slot = nullptr;
    explicit LockCounter(IDirect3DTexture9* sample)
    {
        void** vtable = *(void***)sample;
        // IUnknown 3, IDirect3DResource9 8 and IDirect3DBaseTexture9 6 methods,
        // then GetLevelDesc, GetSurfaceLevel, LockRect.
        slot = &vtable[19];
        DWORD old;
        VirtualProtect(slot, sizeof(void*), PAGE_EXECUTE_READWRITE, &old);
        realLockRect = (LockRectFn)*slot;
        *slot = (void*)CountingLockRect;
        textureLocks = 0;
    }
    ~LockCounter() { *slot = (void*)realLockRect; }
};

class GraphRecordDevice : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        started = StartLibraryOnDirect3D(1280, 720);
    }
    static void TearDownTestSuite()
    {
        EXPECT_EQ(0, EndLibraryLocked());
        EXPECT_EQ(0, GetAllocCount());
    }
    void SetUp() override
    {
        ASSERT_TRUE(started);
        saved = Draw.create;
        savedCaps = DeviceObjects.caps.TextureCaps;
        savedLimit = DeviceObjects.maxTextureSide;
        allocations = GetAllocCount();
    }
    void TearDown() override
    {
        for (int g : graphs)
            FreeGraph(g);
        Draw.create = saved;
        DeviceObjects.caps.TextureCaps = savedCaps;
        DeviceObjects.maxTextureSide = savedLimit;
        EXPECT_EQ(allocations, GetAllocCount());
    }
    int Make(int width, int height, int alpha = 0, int compression = 0)
    {
        int g = AllocGraphHandle();
        if (CreateGraphRecord(-1, g, width, height, alpha, 0, compression) != 0)
            return -1;
        graphs.push_back(g);
        return g;
    }
    static bool started;
    GraphCreateSettings saved;
    DWORD savedCaps = 0;
    int savedLimit = 0;
    int allocations = 0;
    std::vector<int> graphs;
};
bool GraphRecordDevice::started = false;

struct TileExpect {
    int x, y, usedWidth, usedHeight, textureWidth, textureHeight;
};

void ExpectTiles(const GraphImageRecord* image, const std::vector<TileExpect>& tiles)
{
    ASSERT_EQ((int)tiles.size(), image->tileCount);
    for (size_t i = 0; i < tiles.size(); i++) {
        const TextureTile& t = image->tiles[i];
        const TileExpect& e = tiles[i];
        EXPECT_EQ(e.x, t.x) << i;
        EXPECT_EQ(e.y, t.y) << i;
        EXPECT_EQ(e.usedWidth, t.usedWidth) << i;
        EXPECT_EQ(e.usedHeight, t.usedHeight) << i;
        EXPECT_EQ(e.textureWidth, t.textureWidth) << i;
        EXPECT_EQ(e.textureHeight, t.textureHeight) << i;
        ASSERT_NE(nullptr, t.texture) << i;
        D3DSURFACE_DESC desc;
        t.texture->GetLevelDesc(0, &desc);
        EXPECT_EQ((UINT)e.textureWidth, desc.Width) << i;
        EXPECT_EQ((UINT)e.textureHeight, desc.Height) << i;
    }
}

TEST_F(GraphRecordDevice, ScreenSizedPictureTakesTwoTiles)
{
    DeviceObjects.maxTextureSide = 4096;
    int g = Make(1280, 720);
    ASSERT_NE(-1, g);
    const GraphRecord* r = GetGraphRecord(g);
    ExpectTiles(r->image, {{0, 0, 1024, 720, 1024, 1024}, {1024, 0, 256, 720, 256, 1024}});
    ASSERT_EQ(2, r->tileCount);
    const GraphTileEntry& right = r->tiles[1];
    EXPECT_EQ(1024, right.dstX);
    EXPECT_EQ(0, right.tileX);
    EXPECT_EQ(256, right.pieceWidth);
    EXPECT_EQ(720, right.pieceHeight);
    EXPECT_FLOAT_EQ(1024.0f, right.corners[0][0]);
    EXPECT_FLOAT_EQ(1280.0f, right.corners[3][0]);
    EXPECT_FLOAT_EQ(1.0f, right.corners[3][2]);
    EXPECT_FLOAT_EQ(720.0f / 1024.0f, right.corners[3][3]);
    EXPECT_EQ(&r->image->tiles[1], right.tile);
    // Default settings on a 32-bit screen: one-bit alpha, format kind 5.
    EXPECT_EQ(FORMAT_ALPHA_TEST_32, r->image->formatKind);
}

TEST_F(GraphRecordDevice, SmallPictureEntryAndDiagonal)
{
    int g = Make(5, 5);
    ASSERT_NE(-1, g);
    const GraphRecord* r = GetGraphRecord(g);
    ExpectTiles(r->image, {{0, 0, 5, 5, 8, 8}});
    ASSERT_EQ(1, r->tileCount);
    const GraphTileEntry& e = r->tiles[0];
    const float expected[4][4] = {{0, 0, 0, 0}, {5, 0, 0.625f, 0}, {0, 5, 0, 0.625f}, {5, 5, 0.625f, 0.625f}};
    for (int c = 0; c < 4; c++)
        for (int k = 0; k < 4; k++)
            EXPECT_FLOAT_EQ(expected[c][k], e.corners[c][k]) << c << "," << k;
    // On or above the line from (0, 5) to (5, 0): all but the bottom-right.
    const uint8_t side[4] = {1, 1, 1, 0};
    EXPECT_EQ(0, memcmp(side, e.diagonalSide, 4));

    g = Make(300, 200);
    ASSERT_NE(-1, g);
    ExpectTiles(GetGraphRecord(g)->image, {{0, 0, 300, 200, 512, 256}});
}

// A derived rectangle gets an entry for each tile it touches, and only those.
TEST_F(GraphRecordDevice, DerivedRectanglesTouchOneOrTwoTiles)
{
    DeviceObjects.maxTextureSide = 4096;
    int g = Make(1280, 720);
    ASSERT_NE(-1, g);
    struct Case {
        int x, y, width, height;
        std::vector<std::vector<int>> entries;   // dstX, tileX, pieceWidth, tile index
    };
    const Case cases[] = {
        {10, 20, 100, 50, {{0, 10, 100, 0}}},
        {1000, 0, 24, 10, {{0, 1000, 24, 0}}},
        {1024, 5, 256, 10, {{0, 0, 256, 1}}},
        {1000, 0, 100, 10, {{0, 1000, 24, 0}, {24, 0, 76, 1}}},
        {1023, 0, 2, 10, {{0, 1023, 1, 0}, {1, 0, 1, 1}}},
    };
    for (const Case& c : cases) {
        int d = CreateDerivedGraph(c.x, c.y, c.width, c.height, g);
        ASSERT_NE(-1, d);
        graphs.push_back(d);
        const GraphRecord* r = GetGraphRecord(d);
        ASSERT_EQ((int)c.entries.size(), r->tileCount) << c.x;
        for (size_t i = 0; i < c.entries.size(); i++) {
            const GraphTileEntry& e = r->tiles[i];
            EXPECT_EQ(c.entries[i][0], e.dstX) << c.x << " entry " << i;
            EXPECT_EQ(c.entries[i][1], e.tileX) << c.x << " entry " << i;
            EXPECT_EQ(c.entries[i][2], e.pieceWidth) << c.x << " entry " << i;
            EXPECT_EQ(&r->image->tiles[c.entries[i][3]], e.tile) << c.x << " entry " << i;
            EXPECT_EQ(c.y, e.tileY);
            EXPECT_EQ(c.height, e.pieceHeight);
            EXPECT_FLOAT_EQ((float)(e.tileX + e.pieceWidth) / e.tile->textureWidth, e.corners[3][2]);
        }
    }
}

TEST_F(GraphRecordDevice, RectangleOutsideEveryUsedAreaFails)
{
    int g = Make(5, 5);
    ASSERT_NE(-1, g);
    int d = AllocGraphHandle();
    // Inside the 8 x 8 texture but past the picture's used 5 x 5.
    EXPECT_EQ(-1, InitDerivedGraph(g, d, 6, 0, 2, 2));
    EXPECT_EQ(0, FreeGraph(d));
    EXPECT_EQ(1, GetGraphRecord(g)->image->refCount);
}

TEST_F(GraphRecordDevice, SquareOnlyDeviceSplitsTiles)
{
    DeviceObjects.caps.TextureCaps |= D3DPTEXTURECAPS_SQUAREONLY;
    int g = Make(256, 1000);
    ASSERT_NE(-1, g);
    ExpectTiles(GetGraphRecord(g)->image, {{0, 0, 256, 256, 256, 256},
                                           {0, 256, 256, 256, 256, 256},
                                           {0, 512, 256, 256, 256, 256},
                                           {0, 768, 256, 232, 256, 256}});
    EXPECT_EQ(4, GetGraphRecord(g)->tileCount);
}

TEST_F(GraphRecordDevice, PoolsTwinsAndClearing)
{
    ASSERT_NE(nullptr, DeviceObjects.deviceEx) << "the library makes the Ex device";
    int plain = Make(16, 16);
    ASSERT_NE(-1, plain);
    const TextureTile& t = GetGraphRecord(plain)->image->tiles[0];
    // The Ex device has no managed pool: every non-drawable texture gets a twin.
    ASSERT_NE(nullptr, t.systemTexture);
    D3DSURFACE_DESC desc;
    t.texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(D3DPOOL_DEFAULT, desc.Pool);
    t.systemTexture->GetLevelDesc(0, &desc);
    EXPECT_EQ(D3DPOOL_SYSTEMMEM, desc.Pool);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(D3D_OK, t.systemTexture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY));
    int nonZero = 0;
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 64; x++)
            nonZero += ((uint8_t*)locked.pBits)[y * locked.Pitch + x] != 0;
    t.systemTexture->UnlockRect(0);
    EXPECT_EQ(0, nonZero);

    Draw.create.drawable = 1;
    int target = Make(40, 30);
    ASSERT_NE(-1, target);
    const GraphImageRecord* image = GetGraphRecord(target)->image;
    EXPECT_EQ(1, image->desc.drawable);
    EXPECT_EQ(FORMAT_TARGET_32, image->formatKind);
    EXPECT_EQ(nullptr, image->tiles[0].systemTexture);
    image->tiles[0].texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(D3DPOOL_DEFAULT, desc.Pool);
    EXPECT_EQ((DWORD)D3DUSAGE_RENDERTARGET, desc.Usage & D3DUSAGE_RENDERTARGET);
    EXPECT_EQ(1, IsDrawableGraph(target));
    EXPECT_EQ(image->tiles[0].surface, GetGraphTargetSurface(target));
    // Its render target starts filled with zero.
    IDirect3DSurface9* copy = nullptr;
    ASSERT_EQ(D3D_OK, DeviceObjects.device->CreateOffscreenPlainSurface(64, 32, desc.Format, D3DPOOL_SYSTEMMEM,
                                                                        &copy, nullptr));
    ASSERT_EQ(D3D_OK, DeviceObjects.device->GetRenderTargetData(image->tiles[0].surface, copy));
    ASSERT_EQ(D3D_OK, copy->LockRect(&locked, nullptr, D3DLOCK_READONLY));
    nonZero = 0;
    for (int y = 0; y < 32; y++)
        for (int x = 0; x < 64; x++)
            nonZero += (((uint32_t*)((uint8_t*)locked.pBits + y * locked.Pitch))[x] & 0xFFFFFF) != 0;
    copy->UnlockRect();
    copy->Release();
    EXPECT_EQ(0, nonZero);
}

TEST_F(GraphRecordDevice, DxtTexturesAreNotCleared)
{
    if (DeviceFormatTable.formats[FORMAT_DXT1] == D3DFMT_UNKNOWN)
        GTEST_SKIP() << "no DXT1 textures";
    int plain = Make(8, 8);
    ASSERT_NE(-1, plain);
    LockCounter counter(GetGraphRecord(plain)->image->tiles[0].systemTexture);
    int dxt = Make(64, 64, 1, 1);
    ASSERT_NE(-1, dxt);
    EXPECT_EQ(FORMAT_DXT1, GetGraphRecord(dxt)->image->formatKind);
    EXPECT_EQ(0, textureLocks);
    // The counter does see the clearing of a plain texture.
    ASSERT_NE(-1, Make(8, 8));
    EXPECT_GT(textureLocks, 0);
}

TEST_F(GraphRecordDevice, ReleaseAndRecreateKeepSharedRecords)
{
    int g = Make(100, 60);
    ASSERT_NE(-1, g);
    int d = CreateDerivedGraph(10, 10, 20, 20, g);
    ASSERT_NE(-1, d);
    graphs.push_back(d);
    GraphImageRecord* image = GetGraphRecord(g)->image;
    EXPECT_EQ(image, GetGraphRecord(d)->image);
    EXPECT_EQ(2, image->refCount);
    EXPECT_EQ(0, ReleaseAllGraphTextures());
    EXPECT_EQ(nullptr, image->tiles[0].texture);
    EXPECT_EQ(nullptr, image->tiles[0].surface);
    EXPECT_EQ(nullptr, image->tiles[0].systemTexture);
    EXPECT_EQ(0, RecreateAllGraphTextures());
    EXPECT_NE(nullptr, image->tiles[0].texture);
    EXPECT_NE(nullptr, image->tiles[0].surface);
    EXPECT_NE(nullptr, image->tiles[0].systemTexture);
    // Entries still name the same tiles.
    EXPECT_EQ(&image->tiles[0], GetGraphRecord(d)->tiles[0].tile);
}

TEST_F(GraphRecordDevice, CreationFailuresDeleteTheHandle)
{
    // No texture format for the kind.
    D3DFORMAT savedFormat = DeviceFormatTable.formats[FORMAT_ALPHA_TEST_32];
    DeviceFormatTable.formats[FORMAT_ALPHA_TEST_32] = D3DFMT_UNKNOWN;
    int g = AllocGraphHandle();
    EXPECT_EQ(-1, CreateGraphRecord(-1, g, 32, 32, 0, 0, 0));
    DeviceFormatTable.formats[FORMAT_ALPHA_TEST_32] = savedFormat;
    EXPECT_EQ(0, IsGraphHandleValid(g));
    // No room for the tile entries.
    g = AllocGraphHandle();
    failNextResize = true;
    EXPECT_EQ(-1, CreateGraphRecord(-1, g, 32, 32, 0, 0, 0));
    EXPECT_EQ(0, IsGraphHandleValid(g));
    // Sizes of nothing.
    for (int size : {0, -5}) {
        g = AllocGraphHandle();
        EXPECT_EQ(-1, CreateGraphRecord(-1, g, size, 8, 0, 0, 0));
        EXPECT_EQ(0, IsGraphHandleValid(g));
    }
    // An invalid handle is only refused.
    EXPECT_EQ(-1, CreateGraphRecord(-1, -1, 8, 8, 0, 0, 0));
}

// ---------------------------------------------------------------------------
// Software records: the renderer without Direct3D.

class GraphRecordSoftware : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedStarted = Screen.started;
        savedHardware = Screen.hardware;
        savedDepth = Screen.depth;
        saved = Draw.create;
        savedArea = Draw.area;
        savedMode = Draw.blendMode;
        savedBrightness = Draw.brightness;
        // The draw state as a started library has it: fills copy their colour.
        Draw.blendMode = 0;
        Draw.brightness = 0xFFFFFF;
        Screen.started = 1;
        Screen.hardware = 0;
        Screen.depth = 32;
        SetRect(&Draw.area, 0, 0, 4096, 4096);
        allocations = GetAllocCount();
    }
    void TearDown() override
    {
        Screen.started = savedStarted;
        Screen.hardware = savedHardware;
        Screen.depth = savedDepth;
        Draw.create = saved;
        Draw.area = savedArea;
        Draw.blendMode = savedMode;
        Draw.brightness = savedBrightness;
        EXPECT_EQ(allocations, GetAllocCount());
    }
    int savedStarted = 0, savedHardware = 0, savedDepth = 0, allocations = 0, savedMode = 0;
    uint32_t savedBrightness = 0;
    GraphCreateSettings saved;
    RECT savedArea;
};

uint32_t Pixel(const MEMIMG* image, int x, int y)
{
    return ((const uint32_t*)((const uint8_t*)image->pixels + (size_t)y * image->body->pitch))[x];
}

TEST_F(GraphRecordSoftware, RecordViewAndDerivedView)
{
    int g = CreateEmptyGraph(40, 30);
    ASSERT_NE(-1, g);
    const GraphImageRecord* image = GetGraphRecord(g)->image;
    EXPECT_EQ(0, image->desc.texture);
    EXPECT_EQ(1, image->desc.software);
    EXPECT_EQ(1, image->desc.drawable);
    EXPECT_EQ(17, image->formatKind);
    MEMIMG* view = GetGraphMemImage(g);
    ASSERT_NE(nullptr, view);
    EXPECT_EQ(40, view->width);
    EXPECT_EQ(0u, Pixel(view, 39, 29));

    int d = CreateDerivedGraph(10, 5, 100, 100, g);
    ASSERT_NE(-1, d);
    MEMIMG* part = GetGraphMemImage(d);
    ASSERT_NE(nullptr, part);
    EXPECT_EQ(30, part->width);
    EXPECT_EQ(25, part->height);
    EXPECT_EQ((uint8_t*)view->pixels + 5 * view->body->pitch + 10 * 4, (uint8_t*)part->pixels);
    // Filling the derived graph paints only its rectangle of the shared picture.
    EXPECT_EQ(0, FillGraphColor(d, 255, 0, 0, 255));
    EXPECT_EQ(0u, Pixel(view, 9, 5) & 0xFFFFFF);
    EXPECT_EQ(0xFF0000u, Pixel(view, 10, 5) & 0xFFFFFF);
    EXPECT_EQ(0xFF0000u, Pixel(view, 39, 29) & 0xFFFFFF);
    EXPECT_EQ(0, FreeGraph(g));
    EXPECT_EQ(0xFF0000u, Pixel(part, 0, 0) & 0xFFFFFF);
    EXPECT_EQ(0, FreeGraph(d));
}

// A software graph whose record cannot be shrunk to its view is refused like
// a failed tile-entry allocation, and leaves nothing behind.
TEST_F(GraphRecordSoftware, FailedShrinkIsRefused)
{
    failNextResize = true;
    int before = GraphHandles.count;
    EXPECT_EQ(-1, CreateEmptyGraph(16, 16));
    EXPECT_EQ(before, GraphHandles.count);
    int g = CreateEmptyGraph(16, 16);
    ASSERT_NE(-1, g);
    failNextResize = true;
    EXPECT_EQ(-1, CreateDerivedGraph(0, 0, 8, 8, g));
    EXPECT_EQ(before + 1, GraphHandles.count);
    EXPECT_EQ(1, GetGraphRecord(g)->image->refCount);
    EXPECT_EQ(0, FreeGraph(g));
}

}  // namespace
