// The shape calls on the real Direct3D device, read back through the screen
// lock: which pixels each shape covers.
#include <gtest/gtest.h>
#include <windows.h>

#include <math.h>
#include <string.h>

#include <functional>
#include <set>
#include <utility>

#include "graphics/device.h"
#include "graphics/device_reset.h"
#include "graphics/draw_state.h"
#include "graphics/draw_target.h"
#include "graphics/shape_calls.h"
#include "image/raster_image.h"
#include "runtime/library.h"
#include "runtime/memory.h"

namespace {

typedef std::set<std::pair<int, int>> PixelSet;

class ShapeScreen : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        Screen.width = Screen.height = Screen.depth = Screen.refresh = 0;
        ASSERT_EQ(0, AllowDirect3D(1));
        ChangeWindowMode(1);
        SetLogFileOutput(0);
        ASSERT_EQ(0, SetScreenMode(640, 480, 32, 0));
        ASSERT_EQ(0, InitLibraryLocked());
    }
    static void TearDownTestSuite()
    {
        EXPECT_EQ(0, EndLibraryLocked());
        EXPECT_EQ(0, GetAllocCount());
    }
    void SetUp() override
    {
        ASSERT_EQ(1, Screen.hardware);
        ASSERT_EQ(0, SelectDrawTarget(DRAW_TARGET_BACK));
        ASSERT_EQ(0, SetClipArea(0, 0, 640, 480));
        ASSERT_EQ(0, SelectBlendMode(0, 255));
        Screen.backColor = 0;
        ASSERT_EQ(0, ClearDrawTarget(nullptr));
    }

    // The lit pixels of a rectangle of the back screen, after a clear to
    // black and the draw.
    PixelSet Lit(const std::function<void()>& draw, RECT area = {0, 0, 640, 480})
    {
        EXPECT_EQ(0, ClearDrawTarget(nullptr));
        draw();
        PixelSet lit;
        RasterImage image;
        EXPECT_EQ(0, LockScreenImage(&area, &image));
        if (!image.pixels)
            return lit;
        for (int y = 0; y < image.height; y++) {
            const BYTE* row = (const BYTE*)image.pixels + (ptrdiff_t)y * image.pitch;
            for (int x = 0; x < image.width; x++) {
                uint32_t v = 0;
                memcpy(&v, row + x * image.format.bytesPerPixel, image.format.bytesPerPixel);
                if (v & 0xFFFFFF)
                    lit.insert({x + area.left, y + area.top});
            }
        }
        UnlockScreenImage();
        return lit;
    }
};

PixelSet Box(int l, int t, int r, int b)
{
    PixelSet s;
    for (int y = t; y < b; y++)
        for (int x = l; x < r; x++)
            s.insert({x, y});
    return s;
}

unsigned int White() { return ColorFromRGB(255, 255, 255); }

TEST_F(ShapeScreen, BoxesFramesAndAxisLinesCoverExactlyTheirPixels)
{
    EXPECT_EQ(Box(10, 20, 30, 25), Lit([] { FillBoxShape(30, 20, 10, 25, White()); }));

    PixelSet frame = Box(50, 20, 60, 30);
    for (const auto& p : Box(51, 21, 59, 29))
        frame.erase(p);
    EXPECT_EQ(frame, Lit([] { FrameBoxShape(50, 20, 60, 30, White()); }));

    // Thickness 4 around x = 100: columns 98 to 101.
    EXPECT_EQ(Box(98, 20, 102, 40), Lit([] { DrawLineShape(100, 20, 100, 40, White(), 4); }));
    // A one-pixel vertical line leaves out its end pixel.
    EXPECT_EQ(Box(120, 20, 121, 30), Lit([] { DrawLineShape(120, 20, 120, 30, White(), 1); }));
    EXPECT_EQ(Box(130, 20, 140, 21), Lit([] { DrawLineShape(130, 20, 140, 20, White(), 0); }));
}

TEST_F(ShapeScreen, ThicknessZeroAndOneDrawTheSameSlantedLine)
{
    PixelSet zero = Lit([] { DrawLineShape(10, 10, 90, 47, White(), 0); });
    PixelSet one = Lit([] { DrawLineShape(10, 10, 90, 47, White(), 1); });
    EXPECT_EQ(zero, one);
    // One pixel per column along the slope.
    EXPECT_GE(zero.size(), 79u);
    EXPECT_LE(zero.size(), 81u);
    for (const auto& p : zero) {
        float onLine = 10 + (p.first - 10) * 37.0f / 80.0f;
        EXPECT_NEAR(p.second, onLine, 1.0f) << p.first;
    }
}

TEST_F(ShapeScreen, ThickSlantedLineCoversABandAroundTheSegment)
{
    // From (100, 100) to (160, 180): length 100, thickness 10.
    PixelSet lit = Lit([] { DrawLineShape(100, 100, 160, 180, White(), 10); });
    ASSERT_FALSE(lit.empty());
    for (const auto& p : lit) {
        // Distance from the line through the segment, and position along it.
        float dx = p.first - 100.0f, dy = p.second - 100.0f;
        float across = fabsf(dx * 0.8f - dy * 0.6f), along = dx * 0.6f + dy * 0.8f;
        EXPECT_LE(across, 5.5f) << p.first << "," << p.second;
        EXPECT_GE(along, -0.5f);
        EXPECT_LE(along, 100.5f);
    }
    // Roughly the band's area: 100 x 10.
    EXPECT_NEAR((double)lit.size(), 1000.0, 60.0);
    EXPECT_TRUE(lit.count({130, 140}));
}

TEST_F(ShapeScreen, TrianglesAndCircles)
{
    // Filled triangle: every pixel centre strictly inside is lit, nothing
    // outside the bounding box is.
    PixelSet tri = Lit([] { DrawTriangleShape(200, 20, 260, 20, 200, 80, White(), 1); });
    for (int y = 21; y < 79; y++)
        for (int x = 201; x < 260; x++)
            if ((x - 200) + (y - 20) < 59) {
                EXPECT_TRUE(tri.count({x, y})) << x << "," << y;
            }
    for (const auto& p : tri) {
        EXPECT_GE(p.first, 200);
        EXPECT_GE(p.second, 20);
        EXPECT_LE((p.first - 200) + (p.second - 20), 61);
    }

    // A negative radius draws nothing.
    EXPECT_TRUE(Lit([] { DrawCircleShape(300, 100, -1, White(), 1); }).empty());
    EXPECT_TRUE(Lit([] { DrawCircleShape(300, 100, -1, White(), 0); }).empty());

    // Filled circle: inside lit, outside dark.
    PixelSet disc = Lit([] { DrawCircleShape(300, 100, 20, White(), 1); });
    for (int y = 70; y < 130; y++)
        for (int x = 270; x < 330; x++) {
            float d = hypotf(x - 300.0f, y - 100.0f);
            if (d < 19.0f) {
                EXPECT_TRUE(disc.count({x, y})) << x << "," << y;
            }
            if (d > 21.0f) {
                EXPECT_FALSE(disc.count({x, y})) << x << "," << y;
            }
        }
    // Outline: only pixels near the circle, the four extremes among them.
    PixelSet ring = Lit([] { DrawCircleShape(300, 100, 20, White(), 0); });
    for (const auto& p : ring)
        EXPECT_NEAR(hypotf(p.first - 300.0f, p.second - 100.0f), 20.0f, 0.75f);
    for (auto p : {std::make_pair(280, 100), std::make_pair(320, 100), std::make_pair(300, 80),
                   std::make_pair(300, 120)})
        EXPECT_TRUE(ring.count(p));
    // The radius 0 circle is the centre pixel.
    PixelSet dot = {{400, 100}};
    EXPECT_EQ(dot, Lit([] { DrawCircleShape(400, 100, 0, White(), 0); }));
    EXPECT_EQ(dot, Lit([] { DrawCircleShape(400, 100, 0, White(), 1); }));
}

TEST_F(ShapeScreen, ShapesStayInsideTheDrawArea)
{
    ASSERT_EQ(0, SetClipArea(100, 100, 140, 130));
    PixelSet lit = Lit([] {
        FillBoxShape(0, 0, 640, 480, White());
    });
    EXPECT_EQ(Box(100, 100, 140, 130), lit);
    lit = Lit([] { DrawCircleShape(100, 100, 25, White(), 1); });
    for (const auto& p : lit) {
        EXPECT_GE(p.first, 100);
        EXPECT_GE(p.second, 100);
        EXPECT_LE(hypotf(p.first - 100.0f, p.second - 100.0f), 25.5f);
    }
    EXPECT_TRUE(lit.count({100, 100}));
    EXPECT_TRUE(lit.count({110, 115}));
}

} // namespace
