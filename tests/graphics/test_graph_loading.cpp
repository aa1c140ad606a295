// Graphs from image files (on disk and in archives), empty, derived and
// filled graphs, deletion, and the restore of file graphs after a device
// loss, read back from the textures.
#include <gtest/gtest.h>
#include <windows.h>
#include <d3d9.h>

#include <string.h>

#include <string>
#include <vector>

#include "graphics/device.h"
#include "tests/graphics/library_start.h"
#include "graphics/device_reset.h"
#include "graphics/draw_state.h"
#include "graphics/graph_handles.h"
#include "graphics/graph_loading.h"
#include "graphics/graph_record.h"
#include "image/raster_image.h"
#include "runtime/file/archive_files.h"
#include "runtime/file/stream.h"
#include "runtime/library.h"
#include "runtime/memory.h"
#include "tests/support/test_support.h"
#include "tools/packer/archive_writer.h"

// Counts the decodes of image files.
static int imageLoads;
#define LOAD_WITH_ALPHA "_Z18LoadImageWithAlphaPKcPKviiS2_iiP11RasterImageS4_i"
extern "C" int RealLoadImageWithAlpha(const char*, const void*, int, int, const void*, int, int, RasterImage*,
                                      RasterImage*, int) asm(REAL_SYMBOL(LOAD_WITH_ALPHA));
extern "C" int WrappedLoadImageWithAlpha(const char* path, const void* block, int size, int memoryFlag,
                                         const void* alphaBlock, int alphaSize, int alphaMode, RasterImage* image,
                                         RasterImage* alpha, int mirror) asm(WRAPPED_SYMBOL(LOAD_WITH_ALPHA));
extern "C" int WrappedLoadImageWithAlpha(const char* path, const void* block, int size, int memoryFlag,
                                         const void* alphaBlock, int alphaSize, int alphaMode, RasterImage* image,
                                         RasterImage* alpha, int mirror)
{
    imageLoads++;
    return RealLoadImageWithAlpha(path, block, size, memoryFlag, alphaBlock, alphaSize, alphaMode, image, alpha,
                                  mirror);
}

namespace {

// The picture of the files: pixel (0, 0) black (the transparent colour),
// every other pixel a colour of its place.
uint32_t Pattern(int x, int y)
{
    if (x == 0 && y == 0)
        return 0;
    return (uint32_t)(x * 6 + 10) << 16 | (uint32_t)(y * 8 + 10) << 8 | 0x80;
}

// A 24-bit bottom-up BMP file of the pattern.
std::vector<uint8_t> MakeBmp(int width, int height)
{
    int pitch = (width * 3 + 3) & ~3;
    std::vector<uint8_t> file(54 + (size_t)pitch * height);
    auto put32 = [&](size_t at, uint32_t v) { memcpy(&file[at], &v, 4); };
    auto put16 = [&](size_t at, uint16_t v) { memcpy(&file[at], &v, 2); };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, (uint32_t)file.size());
    put32(10, 54);
    put32(14, 40);
    put32(18, (uint32_t)width);
    put32(22, (uint32_t)height);
    put16(26, 1);
    put16(28, 24);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            uint32_t c = Pattern(x, y);
            uint8_t* p = &file[54 + (size_t)(height - 1 - y) * pitch + 3 * x];
            p[0] = (uint8_t)c;
            p[1] = (uint8_t)(c >> 8);
            p[2] = (uint8_t)(c >> 16);
        }
    return file;
}

// The ARGB texels of a graph's pixels, row by row (graphs of one tile): from
// the system twin, or from the render target of a drawable graph, whose
// unused top byte is cleared.
std::vector<uint32_t> GraphTexels(int graph)
{
    std::vector<uint32_t> texels;
    const GraphRecord* record = GetGraphRecord(graph);
    if (!record || record->tileCount != 1)
        return texels;
    const GraphTileEntry& e = record->tiles[0];
    const bool drawable = record->image->desc.drawable != 0;
    IDirect3DSurface9* surface = nullptr;
    if (drawable) {
        D3DSURFACE_DESC desc;
        e.tile->surface->GetDesc(&desc);
        DeviceObjects.device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM,
                                                          &surface, nullptr);
        DeviceObjects.device->GetRenderTargetData(e.tile->surface, surface);
    } else {
        e.tile->systemTexture->GetSurfaceLevel(0, &surface);
    }
    D3DLOCKED_RECT locked;
    if (surface && SUCCEEDED(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
        for (int y = 0; y < record->height; y++)
            for (int x = 0; x < record->width; x++) {
                uint32_t value;
                memcpy(&value, (uint8_t*)locked.pBits + (size_t)(e.tileY + y) * locked.Pitch + 4 * (e.tileX + x), 4);
                texels.push_back(drawable ? value & 0xFFFFFF : value);
            }
        surface->UnlockRect();
    }
    if (surface)
        surface->Release();
    return texels;
}

uint32_t GraphTexel(int graph, int x, int y)
{
    std::vector<uint32_t> texels = GraphTexels(graph);
    int w = GetGraphRecord(graph)->width;
    return texels.empty() ? 0xDEADBEEF : texels[(size_t)y * w + x];
}

const int kWidth = 40, kHeight = 30;

class GraphLoadingDevice : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = MakeTempDir("graphload");
        GetCurrentDirectoryA(sizeof previous, previous);
        SetCurrentDirectoryA(dir.c_str());
        CreateDirectoryA("pics", nullptr);
        std::vector<uint8_t> bmp = MakeBmp(kWidth, kHeight);
        WriteWholeFile("pics/a.bmp", bmp.data(), bmp.size());
        WriteWholeFile("pics/b.bmp", bmp.data(), bmp.size());
        WriteWholeFile("pics/junk.bin", "not a picture", 13);
        std::vector<PackFile> files(1);
        files[0].path = "c.bmp";
        files[0].data = MakeBmp(24, 12);
        PackOptions options;
        options.keyString = "KOWR";
        std::vector<uint8_t> archive;
        BuildArchive(files, options, archive);
        WriteWholeFile("packed.ukx", archive.data(), archive.size());

        SetArchiveExtension("ukx");
        SetArchiveKeyString("KOWR");
        started = StartLibraryOnDirect3D(640, 480);
    }
    static void TearDownTestSuite()
    {
        EXPECT_EQ(0, EndLibraryLocked());
        EXPECT_EQ(0, GetAllocCount());
        SetCurrentDirectoryA(previous);
        RemoveTree(dir);
    }
    void SetUp() override
    {
        ASSERT_TRUE(started);
        saved = Draw.create;
        allocations = GetAllocCount();
        handles = GraphHandles.count;
    }
    void TearDown() override
    {
        for (int g : graphs)
            FreeGraph(g);
        Draw.create = saved;
        ReleaseUnusedArchives();
        EXPECT_EQ(handles, GraphHandles.count);
        EXPECT_EQ(allocations, GetAllocCount());
    }
    int Keep(int graph)
    {
        if (graph != -1)
            graphs.push_back(graph);
        return graph;
    }
    void ExpectPicture(int graph, int x0, int y0, bool mirrored = false)
    {
        int w, h;
        ASSERT_EQ(0, QueryGraphSize(graph, &w, &h));
        std::vector<uint32_t> texels = GraphTexels(graph);
        ASSERT_EQ((size_t)w * h, texels.size());
        int wrong = 0;
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                int px = mirrored ? kWidth - 1 - (x0 + x) : x0 + x, py = y0 + y;
                uint32_t c = Pattern(px, py);
                uint32_t expected = c ? 0xFF000000 | c : 0;
                wrong += texels[(size_t)y * w + x] != expected;
            }
        EXPECT_EQ(0, wrong) << "graph at " << x0 << "," << y0 << " of " << w << "x" << h;
    }
    static std::string dir;
    static char previous[MAX_PATH];
    static bool started;
    GraphCreateSettings saved;
    int allocations = 0, handles = 0;
    std::vector<int> graphs;
};
std::string GraphLoadingDevice::dir;
char GraphLoadingDevice::previous[MAX_PATH];
bool GraphLoadingDevice::started = false;

TEST_F(GraphLoadingDevice, FilesFromDiskAndArchiveBecomeGraphs)
{
    int a = Keep(LoadImageToGraph("pics/a.bmp", 0));
    ASSERT_NE(-1, a);
    int w, h;
    EXPECT_EQ(0, QueryGraphSize(a, &w, &h));
    EXPECT_EQ(kWidth, w);
    EXPECT_EQ(kHeight, h);
    // One-bit alpha by default: the transparent colour (black) gets alpha 0.
    EXPECT_EQ(FORMAT_ALPHA_TEST_32, GetGraphFormatKind(a));
    ExpectPicture(a, 0, 0);

    int c = Keep(LoadImageToGraph("packed/c.bmp", 0));
    ASSERT_NE(-1, c);
    EXPECT_EQ(0, QueryGraphSize(c, &w, &h));
    EXPECT_EQ(24, w);
    EXPECT_EQ(12, h);
    ExpectPicture(c, 0, 0);

    // The same path twice: two pictures of their own.
    int again = LoadImageToGraph("pics/a.bmp", 0);
    ASSERT_NE(-1, again);
    EXPECT_NE(GetGraphRecord(a)->image, GetGraphRecord(again)->image);
    EXPECT_EQ(0, FreeGraph(again));
    ExpectPicture(a, 0, 0);

    EXPECT_EQ(-1, LoadImageToGraph("pics/none.bmp", 0));
    // A file no decoder takes is opened as a movie; without one it fails.
    EXPECT_EQ(-1, LoadImageToGraph("pics/junk.bin", 0));
}

TEST_F(GraphLoadingDevice, EmptyDerivedFillAndDelete)
{
    int e = Keep(CreateEmptyGraph(20, 10));
    ASSERT_NE(-1, e);
    EXPECT_EQ(0u, GraphTexel(e, 19, 9));
    // Filling a graph that is no draw target changes nothing.
    EXPECT_EQ(0, FillGraphColor(e, 255, 0, 0, 255));
    EXPECT_EQ(0u, GraphTexel(e, 0, 0));

    SetDrawableGraphMode(1);
    int target = Keep(CreateEmptyGraph(20, 10));
    SetDrawableGraphMode(0);
    ASSERT_NE(-1, target);
    EXPECT_EQ(0, FillGraphColor(target, 300, 128, -4, 255));
    EXPECT_EQ(0xFF8000u, GraphTexel(target, 19, 9));

    struct Case {
        int x, y, width, height;
        int expectWidth, expectHeight;   // 0: refused
    };
    const Case cases[] = {
        {5, 2, 10, 4, 10, 4},   {15, 5, 100, 100, 5, 5}, {20, 0, 1, 1, 0, 0},  {0, 10, 1, 1, 0, 0},
        {-1, 0, 1, 1, 0, 0},    {0, 0, 0, 5, 0, 0},      {0, 0, 5, -3, 0, 0},
    };
    for (const Case& c : cases) {
        int d = CreateDerivedGraph(c.x, c.y, c.width, c.height, target);
        if (!c.expectWidth) {
            EXPECT_EQ(-1, d) << c.x << "," << c.y << " " << c.width << "x" << c.height;
            continue;
        }
        ASSERT_NE(-1, d);
        int w, h;
        EXPECT_EQ(0, QueryGraphSize(d, &w, &h));
        EXPECT_EQ(c.expectWidth, w);
        EXPECT_EQ(c.expectHeight, h);
        EXPECT_EQ(0, FreeGraph(d));
    }
    EXPECT_EQ(-1, CreateDerivedGraph(0, 0, 1, 1, -1));

    // A derived graph keeps the picture alive; the delete flag learns of the end.
    int d = CreateDerivedGraph(2, 2, 4, 4, target);
    ASSERT_NE(-1, d);
    int flag = -1;
    EXPECT_EQ(0, SetGraphDeleteFlag(target, &flag));
    GraphImageRecord* image = GetGraphRecord(target)->image;
    EXPECT_EQ(0, FreeGraph(target));
    EXPECT_EQ(1, flag);
    EXPECT_EQ(-1, FreeGraph(target));
    EXPECT_EQ(1, image->refCount);
    EXPECT_EQ(0xFF8000u, GraphTexel(d, 0, 0));
    EXPECT_EQ(0, FillGraphColor(d, 0, 0, 255, 255));
    EXPECT_EQ(0x0000FFu, GraphTexel(d, 3, 3));
    EXPECT_EQ(0, FreeGraph(d));
    graphs = {e};
}

TEST_F(GraphLoadingDevice, FileGraphsComeBackAfterADeviceLoss)
{
    imageLoads = 0;
    int a = Keep(LoadImageToGraph("pics/a.bmp", 0));
    int part = Keep(CreateDerivedGraph(10, 5, 20, 20, a));
    int b = Keep(LoadImageToGraph("pics/b.bmp", 0));
    int mirrored = Keep(LoadGraphFile("pics/b.bmp", 1, 0));
    int c = Keep(LoadImageToGraph("packed/c.bmp", 0));
    SetDrawableGraphMode(1);
    int target = Keep(CreateEmptyGraph(8, 8));
    SetDrawableGraphMode(0);
    RasterImage memory = {};
    ASSERT_EQ(0, CreateImageXRGB32(4, 4, &memory));
    memset(memory.pixels, 0x7F, (size_t)memory.pitch * 4);
    int fromMemory = Keep(TransferRasterImageToGraph(&memory, nullptr, 0, 0));
    FreeRasterImage(&memory);
    for (int g : {a, part, b, mirrored, c, target, fromMemory})
        ASSERT_NE(-1, g);
    ASSERT_EQ(0, FillGraphColor(target, 255, 0, 0, 255));
    ASSERT_EQ(0xFF7F7F7Fu, GraphTexel(fromMemory, 3, 3));
    ExpectPicture(mirrored, 0, 0, true);
    EXPECT_EQ(4, imageLoads);

    // The loss: textures go, come back cleared, and the restore handler runs.
    ASSERT_EQ(0, ReleaseAllGraphTextures());
    EXPECT_EQ(nullptr, GetGraphRecord(a)->image->tiles[0].texture);
    ASSERT_EQ(0, RecreateAllGraphTextures());
    EXPECT_EQ(0u, GraphTexel(a, 5, 5));
    imageLoads = 0;
    ASSERT_EQ(0, RunGraphRestoreHandler());

    for (int g : {a, part, b, mirrored, c, target, fromMemory})
        EXPECT_EQ(1, IsGraphHandleValid(g));
    ExpectPicture(a, 0, 0);
    ExpectPicture(part, 10, 5);
    ExpectPicture(b, 0, 0);
    ExpectPicture(mirrored, 0, 0, true);
    ExpectPicture(c, 0, 0);
    EXPECT_EQ(0u, GraphTexel(target, 7, 7));
    EXPECT_EQ(0u, GraphTexel(fromMemory, 3, 3));
    // a and its part share one decode; b and its mirrored twin need two; the
    // restore also decodes the model module's two built-in pictures.
    EXPECT_EQ(6, imageLoads);
}

TEST_F(GraphLoadingDevice, FileNamesAreShared)
{
    int a = Keep(LoadImageToGraph("pics/a.bmp", 0));
    ASSERT_NE(-1, a);
    int* block = GetGraphRecord(a)->fileName;
    ASSERT_NE(nullptr, block);
    char full[MAX_PATH];
    GetFullPathNameA("pics\\a.bmp", MAX_PATH, full, nullptr);
    EXPECT_EQ(0, lstrcmpiA(full, (const char*)(block + 1)));
    int d = CreateDerivedGraph(1, 1, 2, 2, a);
    ASSERT_NE(-1, d);
    EXPECT_EQ(block, GetGraphRecord(d)->fileName);
    EXPECT_EQ(2, block[0]);
    EXPECT_EQ(0, FreeGraph(a));
    EXPECT_EQ(1, block[0]);
    graphs = {d};
    EXPECT_EQ(-1, SetGraphFileName(d, nullptr, 0x08000000 | 0x7FFF));
    EXPECT_EQ(0, SetGraphFileName(d, nullptr, -1));
    EXPECT_EQ(nullptr, GetGraphRecord(d)->fileName);
}

}  // namespace
