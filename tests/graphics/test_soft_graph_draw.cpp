// Graph draws on the software renderer, end to end: a graph loaded from a
// BMP file drawn one to one, with transparency, stretched and mirrored,
// into four corners, read back from the screen pixel by pixel; the same
// scene drawn on Direct3D, read back the same way; and filled triangles and
// thick lines on the software screen.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "graphics/device.h"
#include "graphics/device_reset.h"
#include "graphics/draw_calls.h"
#include "graphics/draw_state.h"
#include "graphics/draw_target.h"
#include "graphics/graph_loading.h"
#include "graphics/shape_calls.h"
#include "image/raster_image.h"
#include "runtime/library.h"
#include "runtime/memory.h"
#include "tests/support/test_files.h"
#include "tests/support/test_support.h"

namespace {

const int kScreenW = 64, kScreenH = 48, kGraphW = 8, kGraphH = 6;

// Pixel (0, 0) black, the transparent colour; the others a colour of their place.
uint32_t Pattern(int x, int y)
{
    if (x == 0 && y == 0)
        return 0;
    return (uint32_t)(x * 20 + 40) << 16 | (uint32_t)(y * 30 + 20) << 8 | (uint32_t)(x * 7 + y * 11 + 5);
}

std::vector<uint8_t> MakeBmp()
{
    const int pitch = (kGraphW * 3 + 3) & ~3;
    std::vector<uint8_t> file(54 + (size_t)pitch * kGraphH);
    auto put32 = [&](size_t at, uint32_t v) { memcpy(&file[at], &v, 4); };
    auto put16 = [&](size_t at, uint16_t v) { memcpy(&file[at], &v, 2); };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, (uint32_t)file.size());
    put32(10, 54);
    put32(14, 40);
    put32(18, (uint32_t)kGraphW);
    put32(22, (uint32_t)kGraphH);
    put16(26, 1);
    put16(28, 24);
    for (int y = 0; y < kGraphH; y++)
        for (int x = 0; x < kGraphW; x++) {
            const uint32_t c = Pattern(x, y);
            uint8_t* p = &file[54 + (size_t)(kGraphH - 1 - y) * pitch + 3 * x];
            p[0] = (uint8_t)c;
            p[1] = (uint8_t)(c >> 8);
            p[2] = (uint8_t)(c >> 16);
        }
    return file;
}

// Where each draw of the scene lands.
const int kAtX = 2, kAtY = 2;            // one to one, opaque
const int kTransX = 12, kTransY = 2;     // one to one, transparency on
const int kBigX = 0, kBigY = 12;         // stretched to twice the size
const int kMirX = 24, kMirY = 12;        // mirrored left to right, same size
const int kClipX = 58, kClipY = 40;      // cut by the screen's right and bottom
const int kQuadX = 24, kQuadY = 2;       // into four corners, one to one
const int kQuad2X = 36, kQuad2Y = 12;    // into four corners at twice the size

// The graph draws of the scene.
void GraphScene(int graph)
{
    EXPECT_EQ(0, DrawGraphAt(kAtX, kAtY, graph, 0));
    EXPECT_EQ(0, DrawGraphAt(kTransX, kTransY, graph, 1));
    EXPECT_EQ(0, DrawGraphStretched(kBigX, kBigY, kBigX + 2 * kGraphW, kBigY + 2 * kGraphH, graph, 0));
    EXPECT_EQ(0, DrawGraphStretched(kMirX + kGraphW, kMirY, kMirX, kMirY + kGraphH, graph, 0));
    EXPECT_EQ(0, DrawGraphAt(kClipX, kClipY, graph, 0));
    // Corners top-left, top-right, bottom-right, bottom-left.
    EXPECT_EQ(0, DrawGraphQuad(kQuadX, kQuadY, kQuadX + kGraphW, kQuadY, kQuadX + kGraphW, kQuadY + kGraphH, kQuadX,
                               kQuadY + kGraphH, graph, 0));
    EXPECT_EQ(0, DrawGraphQuad(kQuad2X, kQuad2Y, kQuad2X + 2 * kGraphW, kQuad2Y, kQuad2X + 2 * kGraphW,
                               kQuad2Y + 2 * kGraphH, kQuad2X, kQuad2Y + 2 * kGraphH, graph, 0));
}

// Draws a scene on a renderer and returns the screen's pixels (0xRRGGBB).
std::vector<uint32_t> DrawScene(int direct3d, const std::string& bmpPath, void (*scene)(int graph) = GraphScene)
{
    std::vector<uint32_t> pixels;
    Screen.width = Screen.height = Screen.depth = Screen.refresh = 0;
    EXPECT_EQ(0, AllowDirect3D(direct3d));
    ChangeWindowMode(1);
    SetLogFileOutput(0);
    SetKeepRunningInBackground(1);
    EXPECT_EQ(0, SetScreenMode(kScreenW, kScreenH, 32, 0));
    if (InitLibraryLocked() != 0) {
        ADD_FAILURE() << "the library did not start";
        return pixels;
    }
    EXPECT_EQ(direct3d, Screen.hardware);
    const int graph = LoadImageToGraph(bmpPath.c_str(), 0);
    EXPECT_NE(-1, graph);
    EXPECT_EQ(0, SelectDrawTarget(DRAW_TARGET_BACK));
    EXPECT_EQ(0, SelectBlendMode(0, 255));
    Screen.backColor = 0x000000;
    EXPECT_EQ(0, ClearDrawTarget(nullptr));
    scene(graph);
    RECT all = {0, 0, kScreenW, kScreenH};
    RasterImage image;
    if (LockScreenImage(&all, &image) == 0 && image.pixels) {
        for (int y = 0; y < image.height; y++)
            for (int x = 0; x < image.width; x++) {
                uint32_t v = 0;
                memcpy(&v, (const uint8_t*)image.pixels + (ptrdiff_t)y * image.pitch + x * image.format.bytesPerPixel,
                       image.format.bytesPerPixel);
                pixels.push_back(v & 0xFFFFFF);
            }
        UnlockScreenImage();
    }
    EXPECT_EQ(0, EndLibraryLocked());
    AllowDirect3D(1);
    return pixels;
}

// The pixel the scene should show at (x, y), and whether it comes from a
// scaled draw (where renderers may pick a neighbouring texel at a boundary).
uint32_t Expected(int x, int y, bool* scaled)
{
    *scaled = false;
    auto inside = [](int x0, int y0, int w, int h, int px, int py) {
        return px >= x0 && py >= y0 && px < x0 + w && py < y0 + h;
    };
    uint32_t v = 0;
    if (inside(kAtX, kAtY, kGraphW, kGraphH, x, y))
        v = Pattern(x - kAtX, y - kAtY);
    if (inside(kTransX, kTransY, kGraphW, kGraphH, x, y) && (x != kTransX || y != kTransY))
        v = Pattern(x - kTransX, y - kTransY);
    if (inside(kBigX, kBigY, 2 * kGraphW, 2 * kGraphH, x, y)) {
        v = Pattern((x - kBigX) / 2, (y - kBigY) / 2);
        *scaled = true;
    }
    if (inside(kMirX, kMirY, kGraphW, kGraphH, x, y))
        v = Pattern(kGraphW - 1 - (x - kMirX), y - kMirY);
    if (inside(kClipX, kClipY, kGraphW, kGraphH, x, y))
        v = Pattern(x - kClipX, y - kClipY);
    if (inside(kQuadX, kQuadY, kGraphW, kGraphH, x, y))
        v = Pattern(x - kQuadX, y - kQuadY);
    if (inside(kQuad2X, kQuad2Y, 2 * kGraphW, 2 * kGraphH, x, y)) {
        v = Pattern((x - kQuad2X) / 2, (y - kQuad2Y) / 2);
        *scaled = true;
    }
    return v;
}

class SoftGraphDraw : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = MakeTempDir("softgraph");
        const std::vector<uint8_t> bmp = MakeBmp();
        bmpPath = dir + "\\pic.bmp";
        WriteWholeFile(bmpPath, bmp.data(), bmp.size());
    }
    static std::string dir, bmpPath;
};

std::string SoftGraphDraw::dir, SoftGraphDraw::bmpPath;

TEST_F(SoftGraphDraw, SoftwareScreenShowsTheGraphPixelExact)
{
    const std::vector<uint32_t> soft = DrawScene(0, bmpPath);
    ASSERT_EQ((size_t)kScreenW * kScreenH, soft.size());
    for (int y = 0; y < kScreenH; y++)
        for (int x = 0; x < kScreenW; x++) {
            bool scaled;
            ASSERT_EQ(Expected(x, y, &scaled), soft[(size_t)y * kScreenW + x]) << "at " << x << "," << y;
        }
    EXPECT_EQ(0, GetAllocCount());
}

TEST_F(SoftGraphDraw, SoftwareAndDirect3DDrawTheSameScene)
{
    const std::vector<uint32_t> soft = DrawScene(0, bmpPath);
    const std::vector<uint32_t> hard = DrawScene(1, bmpPath);
    ASSERT_EQ(soft.size(), hard.size());
    ASSERT_EQ((size_t)kScreenW * kScreenH, soft.size());
    for (int y = 0; y < kScreenH; y++)
        for (int x = 0; x < kScreenW; x++) {
            bool scaled;
            const uint32_t want = Expected(x, y, &scaled);
            const uint32_t s = soft[(size_t)y * kScreenW + x], h = hard[(size_t)y * kScreenW + x];
            if (!scaled) {
                ASSERT_EQ(s, h) << "at " << x << "," << y;
                continue;
            }
            // A scaled copy shows a source texel next to the nearest one
            // at most.
            EXPECT_EQ(want, s);
            bool neighbour = false;
            const bool big = x < kBigX + 2 * kGraphW && y < kBigY + 2 * kGraphH;
            const int gx = (x - (big ? kBigX : kQuad2X)) / 2, gy = (y - (big ? kBigY : kQuad2Y)) / 2;
            for (int dy = -1; dy <= 1; dy++)
                for (int dx = -1; dx <= 1; dx++) {
                    const int px = gx + dx, py = gy + dy;
                    if (px >= 0 && py >= 0 && px < kGraphW && py < kGraphH && Pattern(px, py) == h)
                        neighbour = true;
                }
            EXPECT_TRUE(neighbour) << "at " << x << "," << y;
        }
}

// A filled triangle covers its rows from the top vertex's down to the one
// above the bottom vertex, each from the left edge's pixel to the right
// edge's; a thick slanted line is filled with no hole along its quad's
// diagonal.
void ShapeScene(int)
{
    EXPECT_EQ(0, DrawTriangleShape(4, 4, 8, 4, 4, 8, ColorFromRGB(255, 0, 0), 1));
    EXPECT_EQ(0, DrawTriangleShape(20, 4, 24, 4, 20, 8, ColorFromRGB(0, 255, 0), 0));
    EXPECT_EQ(0, DrawLineShape(10, 20, 50, 40, ColorFromRGB(0, 0, 255), 9));
}

TEST_F(SoftGraphDraw, SoftwareFilledTriangleAndThickLine)
{
    const std::vector<uint32_t> soft = DrawScene(0, bmpPath, ShapeScene);
    ASSERT_EQ((size_t)kScreenW * kScreenH, soft.size());
    int red = 0;
    for (int y = 0; y < 12; y++)
        for (int x = 0; x < 16; x++) {
            const bool in = y >= 4 && y < 8 && x >= 4 && x - 4 + y - 4 <= 4;
            EXPECT_EQ(in ? 0xFF0000u : 0u, soft[(size_t)y * kScreenW + x]) << "at " << x << "," << y;
            red += soft[(size_t)y * kScreenW + x] == 0xFF0000u;
        }
    EXPECT_EQ(14, red);
    // The outline is no filled triangle.
    EXPECT_NE(0x00FF00u, soft[(size_t)5 * kScreenW + 21]);
    // Along the line's axis, at least three pixels to either side.
    for (int t = 1; t < 20; t++) {
        const int x = 10 + 2 * t, y = 20 + t;
        for (int d = -3; d <= 3; d++) {
            // Across the line: direction (1, -2) / sqrt(5), about (0.45, -0.9).
            const int px = x + (d * 45) / 100, py = y - (d * 90) / 100;
            EXPECT_EQ(0x0000FFu, soft[(size_t)py * kScreenW + px]) << "hole at " << px << "," << py;
        }
    }
}

// Derived graphs on the software renderer, where the size checks of
// CreateDerivedGraph are the only guard: an empty or negative size and a
// corner outside the source are refused, a size past the source is cut.
void DerivedScene(int graph)
{
    const int refused[][4] = {{0, 0, 0, 3}, {0, 0, 3, 0},  {0, 0, -1, 3}, {0, 0, 3, -5},
                              {-1, 0, 2, 2}, {0, -1, 2, 2}, {kGraphW, 0, 1, 1}, {0, kGraphH, 1, 1}};
    for (const auto& r : refused)
        EXPECT_EQ(-1, CreateDerivedGraph(r[0], r[1], r[2], r[3], graph)) << r[0] << "," << r[1] << " " << r[2] << "x" << r[3];
    const int part = CreateDerivedGraph(2, 1, 4, 3, graph);
    ASSERT_NE(-1, part);
    const int cut = CreateDerivedGraph(6, 4, 100, 100, graph);
    ASSERT_NE(-1, cut);
    int w = 0, h = 0;
    EXPECT_EQ(0, GetGraphSizeOf(cut, &w, &h));
    EXPECT_EQ(2, w);
    EXPECT_EQ(2, h);
    EXPECT_EQ(0, DrawGraphAt(40, 30, part, 0));
    EXPECT_EQ(0, DrawGraphAt(50, 30, cut, 0));
    EXPECT_EQ(0, FreeGraph(part));
    EXPECT_EQ(0, FreeGraph(cut));
}

TEST_F(SoftGraphDraw, SoftwareDerivedGraphsRefuseEmptySizesAndCutLargeOnes)
{
    const std::vector<uint32_t> soft = DrawScene(0, bmpPath, DerivedScene);
    ASSERT_EQ((size_t)kScreenW * kScreenH, soft.size());
    for (int y = 26; y < 38; y++)
        for (int x = 36; x < 60; x++) {
            uint32_t want = 0;
            if (x >= 40 && x < 44 && y >= 30 && y < 33)
                want = Pattern(x - 40 + 2, y - 30 + 1);
            if (x >= 50 && x < 52 && y >= 30 && y < 32)
                want = Pattern(x - 50 + 6, y - 30 + 4);
            EXPECT_EQ(want, soft[(size_t)y * kScreenW + x]) << "at " << x << "," << y;
        }
    EXPECT_EQ(0, GetAllocCount());
}

} // namespace
