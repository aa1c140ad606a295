// Graph draws on the real Direct3D device, read back from the back buffer:
// a small multicoloured graph is exact at 1:1 with nearest filtering (plain,
// mirrored, a part, from an archive), the blend modes follow their formulas
// over a known background, and brightness scales the colour.
#include <gtest/gtest.h>
#include <windows.h>

#include <math.h>
#include <string.h>

#include <string>
#include <vector>

#include "graphics/device.h"
#include "tests/graphics/library_start.h"
#include "tests/graphics/screen_readback.h"
#include "graphics/device_reset.h"
#include "graphics/draw_calls.h"
#include "graphics/draw_state.h"
#include "graphics/draw_target.h"
#include "graphics/graph_handles.h"
#include "graphics/graph_loading.h"
#include "graphics/graph_reload.h"
#include "graphics/state_cache.h"
#include "image/raster_image.h"
#include "runtime/file/archive_files.h"
#include "runtime/library.h"
#include "runtime/memory.h"
#include "runtime/system_state.h"
#include "tests/support/test_support.h"
#include "tools/packer/archive_writer.h"

namespace {

const unsigned int Background = 0x204060;
// Under the blend tests: bright enough that subtraction is seen, with one
// channel that clamps.
const unsigned int BlendBackground = 0xB4783C;

// The picture of the multicoloured graph: 4 x 3, every pixel its own colour
// and none of them black (black is the transparent colour).
unsigned int PatternRgb(int x, int y)
{
    return (unsigned)(0x30 + 0x40 * x) << 16 | (unsigned)(0x20 + 0x60 * y) << 8 | (unsigned)(0xF0 - 0x30 * (x + y));
}

// An XRGB image of a colour function.
template <typename F> void FillImage(RasterImage* image, int width, int height, F rgb)
{
    ASSERT_EQ(0, CreateImageXRGB32(width, height, image));
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            uint32_t v = 0xFF000000 | rgb(x, y);
            memcpy((char*)image->pixels + (ptrdiff_t)y * image->pitch + 4 * x, &v, 4);
        }
}

template <typename F> int MakeGraph(int width, int height, F rgb)
{
    RasterImage image = {};
    FillImage(&image, width, height, rgb);
    int graph = TransferRasterImageToGraph(&image, nullptr, 0, 0);
    FreeRasterImage(&image);
    return graph;
}

int SolidGraph(unsigned int rgb)
{
    return MakeGraph(8, 8, [rgb](int, int) { return rgb; });
}

// A 24-bit bottom-up BMP file of the pattern.
std::vector<uint8_t> PatternBmp()
{
    const int w = 4, h = 3, row = 12;
    std::vector<uint8_t> f(54 + row * h);
    auto put32 = [&](size_t at, uint32_t v) { memcpy(&f[at], &v, 4); };
    f[0] = 'B';
    f[1] = 'M';
    put32(2, (uint32_t)f.size());
    put32(10, 54);
    put32(14, 40);
    put32(18, w);
    put32(22, h);
    f[26] = 1;
    f[28] = 24;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            unsigned int c = PatternRgb(x, y);
            uint8_t* p = &f[54 + (h - 1 - y) * row + 3 * x];
            p[0] = c & 0xFF;
            p[1] = (c >> 8) & 0xFF;
            p[2] = c >> 16;
        }
    return f;
}

class GraphDrawDevice : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(StartLibraryOnDirect3D(640, 480));
    }
    static void TearDownTestSuite()
    {
        Screen.backColor = 0;
        EXPECT_EQ(0, EndLibraryLocked());
        EXPECT_EQ(0, GetAllocCount());
    }

    void SetUp() override
    {
        ASSERT_EQ(1, Screen.hardware);
        SelectDrawTarget(DRAW_TARGET_BACK);
        SetClipArea(0, 0, 640, 480);
        SelectBlendMode(0, 0);
        SetBrightness(255, 255, 255);
        SetFilterMode(0);
        Screen.backColor = Background;
        ClearDrawTarget(nullptr);
    }
    void TearDown() override
    {
        for (int g : graphs)
            FreeGraph(g);
    }

    int Keep(int graph)
    {
        EXPECT_NE(-1, graph);
        graphs.push_back(graph);
        return graph;
    }

    // The back buffer's pixels of a rectangle as 0x00RRGGBB, row by row.
    std::vector<unsigned int> Read(int x, int y, int w, int h) { return ReadScreenRgb(x, y, w, h); }
    unsigned int Pixel(int x, int y) { return Read(x, y, 1, 1).at(0); }

    // Expects the pattern (picture pixel (px(i), py(j)) at screen (x + i,
    // y + j)) and background in a one-pixel frame around it.
    template <typename F> void ExpectPicture(int x, int y, int w, int h, F picture)
    {
        std::vector<unsigned int> got = Read(x - 1, y - 1, w + 2, h + 2);
        ASSERT_EQ((size_t)(w + 2) * (h + 2), got.size());
        for (int j = -1; j <= h; j++)
            for (int i = -1; i <= w; i++) {
                bool inside = i >= 0 && j >= 0 && i < w && j < h;
                unsigned int want = inside ? picture(i, j) : Background;
                EXPECT_EQ(want, got[(size_t)(j + 1) * (w + 2) + (i + 1)])
                    << std::hex << "at " << std::dec << x + i << ", " << y + j;
            }
    }

    std::vector<int> graphs;
};

TEST_F(GraphDrawDevice, ASmallGraphIsExactPlainMirroredAndInParts)
{
    int g = Keep(MakeGraph(4, 3, PatternRgb));
    EXPECT_EQ(0, DrawGraphAt(10, 20, g, 0));
    EXPECT_EQ(0, DrawGraphMirrored(30, 20, g, 0));
    // Source (1, 1), 2 x 2, plain and mirrored.
    EXPECT_EQ(0, DrawGraphPart(50, 20, 1, 1, 2, 2, g, 0, 0));
    EXPECT_EQ(0, DrawGraphPart(60, 20, 1, 1, 2, 2, g, 0, 1));
    // Cut by the draw area at the left and top edges.
    EXPECT_EQ(0, DrawGraphAt(-2, -1, g, 0));
    ExpectPicture(10, 20, 4, 3, PatternRgb);
    ExpectPicture(30, 20, 4, 3, [](int x, int y) { return PatternRgb(3 - x, y); });
    ExpectPicture(50, 20, 2, 2, [](int x, int y) { return PatternRgb(1 + x, 1 + y); });
    ExpectPicture(60, 20, 2, 2, [](int x, int y) { return PatternRgb(2 - x, 1 + y); });
    std::vector<unsigned int> corner = Read(0, 0, 3, 3);
    EXPECT_EQ(PatternRgb(2, 1), corner[0]);
    EXPECT_EQ(PatternRgb(3, 2), corner[4]);
    EXPECT_EQ(Background, corner[2]);
    EXPECT_EQ(Background, corner[6]);
    // The part's narrowed area is gone again.
    EXPECT_EQ(0, Draw.area.left);
    EXPECT_EQ(640, Draw.area.right);
}

TEST_F(GraphDrawDevice, AStretchedGraphDoublesEveryPixel)
{
    int g = Keep(MakeGraph(4, 3, PatternRgb));
    EXPECT_EQ(0, DrawGraphStretched(100, 100, 108, 106, g, 0));
    ExpectPicture(100, 100, 8, 6, [](int x, int y) { return PatternRgb(x / 2, y / 2); });
}

TEST_F(GraphDrawDevice, BlendModesFollowTheirFormulasOverAKnownBackground)
{
    const unsigned int src = 0x6496C8;     // 100, 150, 200
    const int param = 128;
    int g = Keep(SolidGraph(src));
    auto ch = [](unsigned int c, int shift) { return (double)((c >> shift) & 0xFF) / 255.0; };
    // Each mode's result per channel from source s, destination d and the
    // parameter as a fraction a.
    auto expected = [&](int mode, double s, double d, double a) {
        auto sat = [](double v) { return v < 0 ? 0.0 : v > 1 ? 1.0 : v; };
        switch (mode) {
        case 0: case 6: return s;                       // no blending
        case 1: return s * a + d * (1 - a);             // alpha
        case 2: case 5: case 7: return sat(s * a + d); // additive (7 keeps mode 6's factors, which are 5's)
        case 3: case 12: return sat(d - s * a);         // subtractive
        case 4: return d * s;                           // multiply
        case 8: return d;                               // destination kept
        case 9: return s * (1 - d);                     // source times inverse destination
        case 10: return (1 - s) * a + d * (1 - a);      // inverted source, alpha
        case 11: return d * (s * a + (1 - a));          // multiply by the source faded to white
        }
        return -1.0;
    };
    Screen.backColor = BlendBackground;
    for (int mode = 0; mode < 13; mode++) {
        ClearDrawTarget(nullptr);
        SelectBlendMode(mode, param);
        EXPECT_EQ(0, DrawGraphAt(200, 200, g, 0)) << mode;
        unsigned int got = Pixel(203, 203);
        for (int shift = 0; shift <= 16; shift += 8) {
            double want = expected(mode, ch(src, shift), ch(BlendBackground, shift), param / 255.0) * 255.0;
            int value = (int)((got >> shift) & 0xFF);
            EXPECT_NEAR(want, value, 1.0) << "mode " << mode << ", channel at bit " << shift;
        }
    }
}

TEST_F(GraphDrawDevice, BrightnessScalesTheColour)
{
    int g = Keep(SolidGraph(0xC86432));
    SetBrightness(128, 128, 128);
    EXPECT_EQ(0, DrawGraphAt(300, 300, g, 0));
    unsigned int got = Pixel(302, 302);
    EXPECT_NEAR(200 * 128 / 255.0, (double)(got >> 16), 1.0);
    EXPECT_NEAR(100 * 128 / 255.0, (double)((got >> 8) & 0xFF), 1.0);
    EXPECT_NEAR(50 * 128 / 255.0, (double)(got & 0xFF), 1.0);
}

TEST_F(GraphDrawDevice, FourCornersSplitTheGraphIntoItsPieces)
{
    // An axis-aligned quad of twice the size is one quad per tile: every
    // pixel of the picture covers a 2 x 2 block.
    int g = Keep(MakeGraph(4, 3, PatternRgb));
    EXPECT_EQ(0, DrawGraphQuad(400, 100, 408, 100, 408, 106, 400, 106, g, 0));
    // Its edges lie on pixel centres (no half-pixel shift), so pixels at
    // texel edges may take either neighbour; those at texel centres are exact.
    std::vector<unsigned int> got = Read(400, 100, 8, 6);
    for (int y = 1; y < 6; y += 2)
        for (int x = 1; x < 8; x += 2)
            EXPECT_EQ(PatternRgb(x / 2, y / 2), got[(size_t)y * 8 + x]) << x << ", " << y;
    EXPECT_EQ(Background, Pixel(399, 103));
    EXPECT_EQ(Background, Pixel(403, 99));
    // A trapezoid covers its middle in the picture's colours.
    int solid = Keep(SolidGraph(0x80C040));
    EXPECT_EQ(0, DrawGraphQuad(400, 200, 500, 200, 475, 270, 425, 270, solid, 0));
    EXPECT_EQ(0x80C040u, Pixel(450, 235));
    EXPECT_EQ(Background, Pixel(405, 265));
}

TEST_F(GraphDrawDevice, AReloadRefusesAnotherSizeAndKeepsTheTopLeftColourForThatReloadOnly)
{
    int g = Keep(SolidGraph(0x336699));
    RasterImage wide = {};
    FillImage(&wide, 9, 8, [](int, int) { return 0xFF0000u; });
    EXPECT_EQ(-1, ReloadGraphFromRasterImage(&wide, g));
    FreeRasterImage(&wide);
    EXPECT_EQ(0, DrawGraphAt(100, 300, g, 0));
    EXPECT_EQ(0x336699u, Pixel(103, 303));

    // Green in the corner becomes transparent for this reload.
    RasterImage picture = {};
    FillImage(&picture, 8, 8, [](int x, int y) { return x < 4 ? 0x00FF00u : 0xC0C0C0u; });
    ReloadTopLeftTransColor = 1;
    EXPECT_EQ(0, ReloadGraphFromRasterImage(&picture, g));
    ReloadTopLeftTransColor = 0;
    EXPECT_EQ(0, DrawGraphAt(120, 300, g, 1));
    EXPECT_EQ(Background, Pixel(121, 303));
    EXPECT_EQ(0xC0C0C0u, Pixel(126, 303));
    // The next reload keys on the picture's own colour (black) again.
    EXPECT_EQ(0, ReloadGraphFromRasterImage(&picture, g));
    EXPECT_EQ(0, DrawGraphAt(140, 300, g, 1));
    EXPECT_EQ(0x00FF00u, Pixel(141, 303));
    FreeRasterImage(&picture);
}

TEST_F(GraphDrawDevice, APartStretchedGoesThroughADerivedGraphThatIsGoneAfterwards)
{
    int g = Keep(MakeGraph(4, 3, PatternRgb));
    int before = GraphHandles.count;
    // Source (1, 1), 2 x 1, four times as large.
    EXPECT_EQ(0, DrawGraphPartStretched(300, 100, 308, 104, 1, 1, 2, 1, g, 0));
    EXPECT_EQ(before, GraphHandles.count);
    ExpectPicture(300, 100, 8, 4, [](int x, int) { return PatternRgb(1 + x / 4, 1); });
    // A rectangle that starts at the graph's right edge cannot be derived.
    EXPECT_EQ(-1, DrawGraphPartStretched(320, 100, 328, 104, 4, 0, 2, 1, g, 0));
    EXPECT_EQ(before, GraphHandles.count);
    EXPECT_EQ(Background, Pixel(321, 101));
}

TEST_F(GraphDrawDevice, AGraphIsRefilledFromAFileInMemoryPlainOrMirrored)
{
    int g = Keep(MakeGraph(4, 3, [](int, int) { return 0x808080u; }));
    std::vector<uint8_t> bmp = PatternBmp();
    EXPECT_EQ(0, ReloadGraphFromFile(bmp.data(), (int)bmp.size(), g, nullptr, 0, 0, 0));
    EXPECT_EQ(0, DrawGraphAt(10, 100, g, 0));
    ExpectPicture(10, 100, 4, 3, PatternRgb);
    EXPECT_EQ(0, ReloadGraphFromFile(bmp.data(), (int)bmp.size(), g, nullptr, 0, 0, 1));
    EXPECT_EQ(0, DrawGraphAt(20, 100, g, 0));
    ExpectPicture(20, 100, 4, 3, [](int x, int y) { return PatternRgb(3 - x, y); });
    // Another size, or no picture at all, leaves the graph as it was.
    int small = Keep(MakeGraph(3, 3, [](int, int) { return 0x808080u; }));
    EXPECT_EQ(-1, ReloadGraphFromFile(bmp.data(), (int)bmp.size(), small, nullptr, 0, 0, 0));
    const char junk[] = "not a picture";
    EXPECT_EQ(-1, ReloadGraphFromFile(junk, (int)sizeof junk, g, nullptr, 0, 0, 0));
    EXPECT_EQ(0, DrawGraphAt(30, 100, small, 0));
    EXPECT_EQ(0x808080u, Pixel(31, 101));
}

TEST_F(GraphDrawDevice, AGraphFromAnArchiveIsExactAndLeavesNoGraphBehind)
{
    char saved[MAX_PATH];
    GetCurrentDirectoryA(sizeof saved, saved);
    std::string dir = MakeTempDir("graphdraw");
    ASSERT_FALSE(dir.empty());
    ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));
    SetArchiveExtension("ukx");
    SetArchiveKeyString("KOWR");
    PackFile file;
    file.path = "pattern.bmp";
    file.data = PatternBmp();
    PackOptions options;
    options.keyString = "KOWR";
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(BuildArchive({file}, options, bytes));
    ASSERT_TRUE(WriteWholeFile(dir + "\\img.ukx", bytes.data(), bytes.size()));

    int before = GraphHandles.count;
    EXPECT_EQ(0, DrawGraphFromFile(500, 400, "img/pattern.bmp", 0));
    EXPECT_EQ(-1, DrawGraphFromFile(500, 420, "img/missing.bmp", 0));
    EXPECT_EQ(before, GraphHandles.count);
    ExpectPicture(500, 400, 4, 3, PatternRgb);

    TerminateArchives();
    SetCurrentDirectoryA(saved);
    RemoveTree(dir);
}

TEST_F(GraphDrawDevice, WithoutBlendOperationsSubtractionIsEmulatedWithTheSameResult)
{
    const unsigned int src = 0x6496C8;
    int g = Keep(SolidGraph(src));
    Screen.backColor = BlendBackground;
    ClearDrawTarget(nullptr);
    int kept = DeviceObjects.blendOpSupported;
    DeviceObjects.blendOpSupported = 0;
    DeviceStateCache.blendDirty = 1;
    SelectBlendMode(3, 128);
    EXPECT_EQ(0, DrawGraphAt(200, 200, g, 0));
    unsigned int got = Pixel(203, 203);
    // Around the drawn rectangle nothing changes.
    EXPECT_EQ(BlendBackground, Pixel(199, 203));
    EXPECT_EQ(BlendBackground, Pixel(208, 203));
    EXPECT_EQ(BlendBackground, Pixel(203, 208));
    DeviceObjects.blendOpSupported = kept;
    DeviceStateCache.blendDirty = 1;
    EXPECT_EQ(3, Draw.blendMode);
    EXPECT_EQ(128, Draw.blendParam);
    for (int shift = 0; shift <= 16; shift += 8) {
        double d = (BlendBackground >> shift) & 0xFF, s = (src >> shift) & 0xFF;
        double want = d - s * 128 / 255.0;
        EXPECT_NEAR(want < 0 ? 0 : want, (double)((got >> shift) & 0xFF), 2.0) << "channel at bit " << shift;
    }
}

}  // namespace
