// The Direct3D shape draws and the public shape calls against the recording
// device: vertex positions (integer, no half-pixel shift), primitive types,
// colours, batching of the circle's own draws, and the refusals.
#include <gtest/gtest.h>

#include <limits.h>
#include <math.h>

#include <set>
#include <utility>
#include <vector>

#include "graphics/blend_modes.h"
#include "graphics/device.h"
#include "graphics/draw_calls.h"
#include "graphics/draw_state.h"
#include "graphics/graph_handles.h"
#include "graphics/shape_calls.h"
#include "graphics/shape_draw_d3d.h"
#include "graphics/state_cache.h"
#include "graphics/vertex_batch.h"
#include "image/soft_blend_tables.h"
#include "runtime/memory.h"
#include "tests/graphics/recording_device.h"
#include "tests/graphics/test_graphs.h"

namespace {

const unsigned int kWhite = 0xFFFFFFFF;   // colour value of (255, 255, 255) on a 32-bit screen

class ShapeDrawTest : public testing::Test {
protected:
    RecordingDevice device;
    void SetUp() override
    {
        InstallRecordingDevice(&device);
        Screen.depth = 32;
        Screen.hardware = 1;
        RefreshVertexColor();
    }
    void TearDown() override
    {
        RemoveRecordingDevice();
        Screen.hardware = 0;
        Screen.depth = 0;
    }

    std::vector<VertexPlain> Plain()
    {
        FlushVertexBuffer();
        return device.DrawnVertices<VertexPlain>();
    }
    std::vector<DeviceCall> Draws()
    {
        FlushVertexBuffer();
        return device.Of(CALL_DRAW_UP);
    }
};

struct Pos {
    float x, y;
};

void ExpectPositions(const std::vector<VertexPlain>& v, const std::vector<Pos>& expected, const char* what)
{
    ASSERT_EQ(v.size(), expected.size()) << what;
    for (size_t i = 0; i < v.size(); i++) {
        EXPECT_FLOAT_EQ(v[i].x, expected[i].x) << what << " vertex " << i;
        EXPECT_FLOAT_EQ(v[i].y, expected[i].y) << what << " vertex " << i;
        EXPECT_FLOAT_EQ(v[i].z, 0.2f) << what << " vertex " << i;
    }
}

TEST_F(ShapeDrawTest, BoxFillOrdersItsCornersAndColoursTheFirstVertexOfEachTriangle)
{
    ASSERT_EQ(0, DrawBoxFillD3D(10, 10, 5, 20, kWhite));
    std::vector<DeviceCall> draws = Draws();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].a, (DWORD)D3DPT_TRIANGLELIST);
    EXPECT_EQ(draws[0].b, 2u);
    EXPECT_EQ(draws[0].c, 20u);
    ASSERT_EQ(device.Of(CALL_FVF).back().a, (DWORD)VERTEX_FVF_PLAIN);
    std::vector<VertexPlain> v = device.DrawnVertices<VertexPlain>();
    ExpectPositions(v, {{5, 10}, {10, 10}, {5, 20}, {10, 20}, {5, 20}, {10, 10}}, "fill");
    EXPECT_EQ(v[0].diffuse, 0xFFFFFFFFu);
    EXPECT_EQ(v[3].diffuse, 0xFFFFFFFFu);
    // The untextured states: no texture on stage 0 and a flat colour.
    EXPECT_EQ(DeviceStateCache.mainTexture, nullptr);
    EXPECT_EQ(VertexBatch.kind, VERTEX_KIND_PLAIN);
}

TEST_F(ShapeDrawTest, BoxFillIsClippedToTheDrawAreaAndOutsideItTouchesNothing)
{
    SetRect(&Draw.area, 100, 100, 200, 150);
    ASSERT_EQ(0, DrawBoxFillD3D(50, 120, 150, 400, kWhite));
    ExpectPositions(Plain(), {{100, 120}, {150, 120}, {100, 150}, {150, 150}, {100, 150}, {150, 120}}, "clip");

    device.Forget();
    DeviceStateSet before = DeviceStateCache;
    const RECT outside[] = {{0, 0, 100, 100}, {200, 100, 300, 150}, {120, 150, 130, 160}, {120, 120, 120, 130}};
    for (const RECT& r : outside) {
        EXPECT_EQ(0, DrawBoxFillD3D(r.left, r.top, r.right, r.bottom, kWhite));
        EXPECT_EQ(VertexBatch.count, 0);
    }
    EXPECT_TRUE(device.calls.empty());
    EXPECT_EQ(0, memcmp(&before, &DeviceStateCache, sizeof before));
}

TEST_F(ShapeDrawTest, FrameIsFourOnePixelRectanglesThatCoverTheBorderOnce)
{
    ASSERT_EQ(0, DrawBoxFrameD3D(10, 10, 5, 20, 0xFF0000FF));
    std::vector<VertexPlain> a = Plain();
    device.Forget();
    ASSERT_EQ(0, DrawBoxFrameD3D(5, 10, 10, 20, 0xFF0000FF));
    std::vector<VertexPlain> b = Plain();
    ASSERT_EQ(a.size(), 24u);
    ASSERT_EQ(b.size(), 24u);
    for (size_t i = 0; i < 24; i++) {
        EXPECT_EQ(a[i].x, b[i].x);
        EXPECT_EQ(a[i].y, b[i].y);
        EXPECT_EQ(a[i].diffuse, 0xFF0000FFu) << i;
    }
    // Pixel centres inside each rectangle (top-left rule): every border pixel
    // of [5, 10) x [10, 20) once, nothing inside or outside.
    std::vector<std::pair<int, int>> covered;
    for (int k = 0; k < 4; k++) {
        const VertexPlain* q = &a[6 * k];
        float l = q[0].x, t = q[0].y, r = q[3].x, bt = q[3].y;
        for (int y = 0; y < 30; y++)
            for (int x = 0; x < 20; x++)
                if (x >= l && x < r && y >= t && y < bt)
                    covered.push_back({x, y});
    }
    std::set<std::pair<int, int>> unique(covered.begin(), covered.end());
    EXPECT_EQ(unique.size(), covered.size());
    std::set<std::pair<int, int>> border;
    for (int y = 10; y < 20; y++)
        for (int x = 5; x < 10; x++)
            if (x == 5 || x == 9 || y == 10 || y == 19)
                border.insert({x, y});
    EXPECT_EQ(unique, border);

    // A frame one pixel wide still queues 24 vertices.
    device.Forget();
    ASSERT_EQ(0, DrawBoxFrameD3D(3, 3, 4, 8, kWhite));
    EXPECT_EQ(Plain().size(), 24u);
}

TEST_F(ShapeDrawTest, LinesPullTheEndOfAxisAlignedLinesATenthTowardsTheStart)
{
    struct Case {
        int x1, y1, x2, y2;
        float ex, ey;
    } cases[] = {
        {0, 0, 0, 10, 0, 9.9f},
        {0, 10, 0, 0, 0, 0.1f},
        {10, 5, 2, 5, 2.1f, 5},
        {2, 5, 10, 5, 9.9f, 5},
        {1, 2, 30, 40, 30, 40},
    };
    for (const Case& c : cases) {
        device.Forget();
        ASSERT_EQ(0, DrawLineD3D(c.x1, c.y1, c.x2, c.y2, kWhite));
        std::vector<DeviceCall> draws = Draws();
        ASSERT_EQ(draws.size(), 1u);
        EXPECT_EQ(draws[0].a, (DWORD)D3DPT_LINELIST);
        std::vector<VertexPlain> v = device.DrawnVertices<VertexPlain>();
        ExpectPositions(v, {{(float)c.x1, (float)c.y1}, {c.ex, c.ey}}, "line");
        EXPECT_EQ(v[1].diffuse, 0xFFFFFFFFu);
    }
    // A zero-length line is nothing, even without a device.
    device.Forget();
    EXPECT_EQ(0, DrawLineD3D(7, 7, 7, 7, kWhite));
    EXPECT_TRUE(Draws().empty());
    DeviceObjects.device = nullptr;
    EXPECT_EQ(0, DrawLineD3D(7, 7, 7, 7, kWhite));
    EXPECT_EQ(-1, DrawLineD3D(7, 7, 8, 7, kWhite));
    EXPECT_EQ(-1, DrawBoxFillD3D(0, 0, 8, 8, kWhite));
    EXPECT_EQ(-1, DrawBoxFrameD3D(0, 0, 8, 8, kWhite));
    EXPECT_EQ(-1, DrawTriangleD3D(0, 0, 8, 8, 0, 8, kWhite, 1));
    EXPECT_EQ(-1, G_D3D_DrawCircle(5, 5, 3, kWhite, 0));
    VertexTextured one[3] = {};
    EXPECT_EQ(-1, DrawPolygonD3D(nullptr, one, 3, D3DPT_TRIANGLELIST, 0));
    DeviceObjects.device = &device;
}

TEST_F(ShapeDrawTest, TrianglesFilledAsOneTriangleAndOutlinedAsThreeLines)
{
    ASSERT_EQ(0, DrawTriangleD3D(1, 2, 30, 4, 5, 60, 0xFF00FF00, 1));
    std::vector<DeviceCall> draws = Draws();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].a, (DWORD)D3DPT_TRIANGLELIST);
    std::vector<VertexPlain> v = device.DrawnVertices<VertexPlain>();
    ExpectPositions(v, {{1, 2}, {30, 4}, {5, 60}}, "filled");
    EXPECT_EQ(v[0].diffuse, 0xFF00FF00u);

    device.Forget();
    ASSERT_EQ(0, DrawTriangleD3D(1, 2, 30, 4, 5, 60, 0xFF00FF00, 0));
    draws = Draws();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].a, (DWORD)D3DPT_LINELIST);
    EXPECT_EQ(draws[0].b, 3u);
    v = device.DrawnVertices<VertexPlain>();
    ExpectPositions(v, {{1, 2}, {30, 4}, {30, 4}, {5, 60}, {5, 60}, {1, 2}}, "outline");
    for (const VertexPlain& p : v)
        EXPECT_EQ(p.diffuse, 0xFF00FF00u);
}

TEST_F(ShapeDrawTest, ShapeColourTakesBlendAlphaAndBrightness)
{
    struct Case {
        int mode, param, r, g, b;
        unsigned int expected;
    } cases[] = {
        {0, 128, 255, 255, 255, 0xFFC86432},
        {1, 128, 255, 255, 255, 0x80C86432},
        {1, 128, 255, 128, 0, 0x80C83200},   // 100 x 128 / 255 = 50
        {2, 0, 51, 255, 255, 0x00286432},    // 200 x 51 / 255 = 40
    };
    unsigned int colour = ColorFromRGB(200, 100, 50);
    for (const Case& c : cases) {
        device.Forget();
        Draw.blendMode = c.mode;
        Draw.blendParam = c.param;
        Draw.brightness = (unsigned)c.r << 16 | (unsigned)c.g << 8 | (unsigned)c.b;
        ASSERT_EQ(0, DrawBoxFillD3D(0, 0, 4, 4, colour));
        std::vector<VertexPlain> v = Plain();
        ASSERT_EQ(v.size(), 6u);
        EXPECT_EQ(v[0].diffuse, c.expected) << c.mode << " " << c.param;
        EXPECT_EQ(ShapeDiffuseColor(colour), c.expected);
    }
}

// The points of every outline draw of a circle.
std::vector<VertexPlain> CirclePoints(RecordingDevice& device, int cx, int cy, int r)
{
    device.Forget();
    EXPECT_EQ(0, G_D3D_DrawCircle(cx, cy, r, kWhite, 0));
    return device.DrawnVertices<VertexPlain>();
}

TEST_F(ShapeDrawTest, CircleOutlineIsPointsOnTheCircleInBatchesOfForty)
{
    // Radius 0: the centre four times.
    std::vector<VertexPlain> v = CirclePoints(device, 50, 60, 0);
    ExpectPositions(v, {{50, 60}, {50, 60}, {50, 60}, {50, 60}}, "r0");
    EXPECT_EQ(device.Of(CALL_DRAW_UP)[0].a, (DWORD)D3DPT_POINTLIST);
    EXPECT_EQ(device.Of(CALL_FVF).back().a, (DWORD)VERTEX_FVF_PLAIN);

    // Radius 20: every point within half a pixel of the circle, the eight
    // octants symmetric, and full draws of 40 points before the rest.
    v = CirclePoints(device, 100, 100, 20);
    std::vector<DeviceCall> draws = device.Of(CALL_DRAW_UP);
    ASSERT_GT(v.size(), 40u);
    for (size_t i = 0; i + 1 < draws.size(); i++)
        EXPECT_EQ(draws[i].b, 40u);
    EXPECT_EQ(draws.size(), (v.size() + 39) / 40);
    std::set<std::pair<int, int>> points;
    for (const VertexPlain& p : v) {
        float d = hypotf(p.x - 100, p.y - 100);
        EXPECT_NEAR(d, 20.0f, 0.75f) << p.x << "," << p.y;
        EXPECT_EQ(p.diffuse, 0xFFFFFFFFu);
        points.insert({(int)p.x - 100, (int)p.y - 100});
    }
    for (const auto& p : points) {
        EXPECT_TRUE(points.count({-p.first, p.second}));
        EXPECT_TRUE(points.count({p.second, p.first}));
    }
    // Every column from the left to the right edge has a point.
    for (int dx = -20; dx <= 20; dx++) {
        bool any = false;
        for (const auto& p : points)
            any |= p.first == dx;
        EXPECT_TRUE(any) << dx;
    }

    // Points outside the draw area are left out: 45 kept points are drawn
    // as 40 and 5.
    SetRect(&Draw.area, 0, 0, 640, 480);
    v = CirclePoints(device, 0, 100, 30);
    for (const VertexPlain& p : v)
        EXPECT_GE(p.x, 0.0f);
    draws = device.Of(CALL_DRAW_UP);
    ASSERT_FALSE(draws.empty());
    EXPECT_EQ(draws.back().b, v.size() % 40 ? v.size() % 40 : 40u);
}

TEST_F(ShapeDrawTest, FilledCircleDrawsEachRowOnceWithinTheArea)
{
    // Radius 0: one one-pixel span.
    device.Forget();
    ASSERT_EQ(0, G_D3D_DrawCircle(50, 60, 0, kWhite, 1));
    std::vector<VertexPlain> v = device.DrawnVertices<VertexPlain>();
    ExpectPositions(v, {{50, 60}, {51, 60}}, "r0 filled");
    EXPECT_EQ(device.Of(CALL_DRAW_UP)[0].a, (DWORD)D3DPT_LINELIST);

    // Partly above the area: only rows from the area's top, each once, the
    // spans clipped to the area's sides and ten lines to a draw.
    SetRect(&Draw.area, 10, 20, 200, 300);
    device.Forget();
    ASSERT_EQ(0, G_D3D_DrawCircle(15, 25, 12, kWhite, 1));
    v = device.DrawnVertices<VertexPlain>();
    for (const DeviceCall& d : device.Of(CALL_DRAW_UP))
        EXPECT_LE(d.b, 10u);
    ASSERT_EQ(v.size() % 2, 0u);
    std::set<int> rows;
    for (size_t i = 0; i < v.size(); i += 2) {
        int y = (int)v[i].y;
        EXPECT_EQ(v[i].y, v[i + 1].y);
        EXPECT_TRUE(rows.insert(y).second) << "row " << y << " twice";
        EXPECT_GE(y, 20);
        // The span reaches the circle's edge on the right and is cut at the
        // area's left side.
        float w = v[i + 1].x - 1 - 15;
        EXPECT_NEAR(hypotf(w, (float)(y - 25)), 12.0f, 0.75f) << y;
        EXPECT_EQ(v[i].x, w >= 5 ? 10.0f : 15 - w) << y;
    }
    std::set<int> expected;
    for (int y = 20; y <= 37; y++)
        expected.insert(y);
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(GetAllocCount(), 0);
}

TEST_F(ShapeDrawTest, CircleRadiusIsBoundedBeforeItDrivesTheLoops)
{
    // Negative and absurd radii draw nothing and return at once; a centre at
    // the int limits does not overflow.
    const int radii[] = {-1, INT_MIN, CIRCLE_RADIUS_LIMIT + 1, INT_MAX};
    for (int r : radii)
        for (int fill : {0, 1}) {
            device.Forget();
            EXPECT_EQ(0, G_D3D_DrawCircle(100, 100, r, kWhite, fill)) << r;
            EXPECT_EQ(device.Count(CALL_DRAW_UP), 0u) << r;
            EXPECT_EQ(0, DrawCircleShape(100, 100, r, kWhite, fill)) << r;
            EXPECT_EQ(Draws().size(), 0u) << r;
        }
    for (int fill : {0, 1}) {
        device.Forget();
        EXPECT_EQ(0, G_D3D_DrawCircle(INT_MAX, INT_MIN, 1000, kWhite, fill));
        EXPECT_EQ(0, DrawCircleShape(INT_MAX, INT_MAX, 1000, kWhite, fill));
        EXPECT_EQ(device.Count(CALL_DRAW_UP), 0u);
    }
    // The largest radius allowed still draws: the filled circle covers the
    // whole area, one span a row.
    device.Forget();
    ASSERT_EQ(0, G_D3D_DrawCircle(320, 240, CIRCLE_RADIUS_LIMIT, kWhite, 1));
    std::vector<VertexPlain> v = device.DrawnVertices<VertexPlain>();
    ASSERT_EQ(v.size(), 2u * 480);
    EXPECT_EQ(v[0].x, 0.0f);
    EXPECT_EQ(v[1].x, 640.0f);
}

TEST_F(ShapeDrawTest, PolygonDrawsTheCallersVerticesAtOnceWithoutTheBlendTexture)
{
    VertexTextured v[4] = {};
    for (int i = 0; i < 4; i++) {
        v[i].x = (float)(i * 10);
        v[i].y = (float)(i % 2 * 10);
        v[i].rhw = 1.0f;
        v[i].diffuse = 0x80FF0000u + (unsigned)i;
    }
    DeviceStateCache.blendTexture = reinterpret_cast<IDirect3DBaseTexture9*>(&v[0]);
    ASSERT_EQ(0, DrawPolygonD3D(nullptr, v, 4, D3DPT_TRIANGLESTRIP, 0));
    EXPECT_EQ(DeviceStateCache.blendTexture, nullptr);
    std::vector<DeviceCall> draws = device.Of(CALL_DRAW_UP);
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].a, (DWORD)D3DPT_TRIANGLESTRIP);
    EXPECT_EQ(draws[0].b, 2u);
    EXPECT_EQ(draws[0].c, 28u);
    EXPECT_EQ(device.Of(CALL_FVF).back().a, (DWORD)VERTEX_FVF_TEXTURED);
    DWORD shade = 0;
    ASSERT_TRUE(device.LastRenderState(D3DRS_SHADEMODE, &shade));
    EXPECT_EQ(shade, (DWORD)D3DSHADE_GOURAUD);
    std::vector<VertexTextured> drawn = device.DrawnVertices<VertexTextured>();
    ASSERT_EQ(drawn.size(), 4u);
    EXPECT_EQ(0, memcmp(drawn.data(), v, sizeof v));

    // Refused: no vertices, a type outside 1 to 6.
    EXPECT_EQ(-1, DrawPolygonD3D(nullptr, nullptr, 4, D3DPT_TRIANGLESTRIP, 0));
    EXPECT_EQ(-1, DrawPolygonD3D(nullptr, v, 0, D3DPT_TRIANGLESTRIP, 0));
    EXPECT_EQ(-1, DrawPolygonD3D(nullptr, v, 4, 7, 0));
    EXPECT_EQ(-1, DrawPolygonD3D(nullptr, v, 4, 0, 0));
}

// ---- The public calls ----

TEST_F(ShapeDrawTest, EveryShapeCallDrawsNothingWithAnEmptyDrawArea)
{
    Draw.emptyArea = 1;
    EXPECT_EQ(0, FillBoxShape(0, 0, 10, 10, kWhite));
    EXPECT_EQ(0, FrameBoxShape(0, 0, 10, 10, kWhite));
    EXPECT_EQ(0, DrawBoxShape(0, 0, 10, 10, kWhite, 1));
    EXPECT_EQ(0, DrawCircleShape(5, 5, 3, kWhite, 1));
    EXPECT_EQ(0, DrawTriangleShape(0, 0, 10, 0, 0, 10, kWhite, 1));
    EXPECT_EQ(0, DrawLineShape(0, 0, 10, 10, kWhite, 1));
    EXPECT_EQ(0, DrawLineShape(0, 0, 10, 10, kWhite, 3));
    EXPECT_TRUE(Draws().empty());
}

TEST_F(ShapeDrawTest, PublicCallsChooseTheirDirect3DDraw)
{
    struct Case {
        const char* name;
        int (*call)();
        int type;
        size_t vertices;
    } cases[] = {
        {"fill", [] { return DrawBoxShape(1, 2, 3, 4, kWhite, 1); }, D3DPT_TRIANGLELIST, 6},
        {"frame", [] { return DrawBoxShape(1, 2, 3, 4, kWhite, 0); }, D3DPT_TRIANGLELIST, 24},
        {"circle", [] { return DrawCircleShape(50, 50, 0, kWhite, 0); }, D3DPT_POINTLIST, 4},
        {"triangle", [] { return DrawTriangleShape(0, 0, 9, 0, 0, 9, kWhite, 0); }, D3DPT_LINELIST, 6},
        {"line", [] { return DrawLineShape(0, 0, 9, 3, kWhite, 1); }, D3DPT_LINELIST, 2},
    };
    for (const Case& c : cases) {
        device.Forget();
        EXPECT_EQ(0, c.call()) << c.name;
        std::vector<DeviceCall> draws = Draws();
        ASSERT_EQ(draws.size(), 1u) << c.name;
        EXPECT_EQ(draws[0].a, (DWORD)c.type) << c.name;
        EXPECT_EQ(device.DrawnVertices<VertexPlain>().size(), c.vertices) << c.name;
    }
}

TEST_F(ShapeDrawTest, ThicknessZeroAndOneDrawTheSameLineAndThickAxisLinesAreBoxes)
{
    ASSERT_EQ(0, DrawLineShape(5, 6, 40, 30, kWhite, 0));
    std::vector<VertexPlain> zero = Plain();
    device.Forget();
    ASSERT_EQ(0, DrawLineShape(5, 6, 40, 30, kWhite, 1));
    std::vector<VertexPlain> one = Plain();
    ASSERT_EQ(zero.size(), 2u);
    ASSERT_EQ(0, memcmp(zero.data(), one.data(), 2 * sizeof(VertexPlain)));

    // Thickness 4 around x = 20: a box from x 18 to 22; thickness 5 around
    // y = 7: from y 5 to 10.
    device.Forget();
    ASSERT_EQ(0, DrawLineShape(20, 10, 20, 50, kWhite, 4));
    ExpectPositions(Plain(), {{18, 10}, {22, 10}, {18, 50}, {22, 50}, {18, 50}, {22, 10}}, "vertical");
    device.Forget();
    ASSERT_EQ(0, DrawLineShape(30, 7, 10, 7, kWhite, 5));
    ExpectPositions(Plain(), {{10, 5}, {30, 5}, {10, 10}, {30, 10}, {10, 10}, {30, 5}}, "horizontal");
}

TEST_F(ShapeDrawTest, ThickSlantedLineIsAStripHalfTheThicknessToEachSide)
{
    unsigned int colour = ColorFromRGB(10, 20, 30);
    ASSERT_EQ(0, DrawLineShape(10, 10, 40, 50, colour, 10));   // length 50
    std::vector<DeviceCall> draws = device.Of(CALL_DRAW_UP);
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].a, (DWORD)D3DPT_TRIANGLESTRIP);
    std::vector<VertexTextured> v = device.DrawnVertices<VertexTextured>();
    ASSERT_EQ(v.size(), 4u);
    // n = 5 / 50 x (40, -30) = (4, -3).
    const float expected[4][2] = {{14, 7}, {44, 47}, {6, 13}, {36, 53}};
    for (int i = 0; i < 4; i++) {
        EXPECT_FLOAT_EQ(v[i].x, expected[i][0]) << i;
        EXPECT_FLOAT_EQ(v[i].y, expected[i][1]) << i;
        EXPECT_EQ(v[i].diffuse, 0xFF0A141Eu) << i;
        EXPECT_EQ(v[i].u, 0.0f);
        EXPECT_EQ(v[i].v, 0.0f);
    }
}

TEST_F(ShapeDrawTest, PolygonColoursFollowBrightnessAndBlendParameter)
{
    ASSERT_EQ(0, BuildSoftBlendTables());
    PolygonVertex in[3] = {
        {0, 0, 0, 0, 200, 100, 50, 255},
        {10, 0, 1, 0, 255, 255, 255, 128},
        {0, 10, 0, 1, 0, 0, 0, 0},
    };
    struct Case {
        int mode, param;
        unsigned int bright;
        unsigned int first, second;
    } cases[] = {
        {0, 100, 0xFFFFFF, 0xFF3264C8, 0x80FFFFFF},   // unchanged
        {1, 255, 0xFFFFFF, 0xFF3264C8, 0x80FFFFFF},   // unchanged
        {1, 128, 0xFFFFFF, 0x803264C8, 0x40FFFFFF},   // alpha x 128 / 255
        {0, 128, 0x80FF00, 0xFF196400, 0x8080FF00},
    };
    for (const Case& c : cases) {
        device.Forget();
        Draw.blendMode = c.mode;
        Draw.blendParam = c.param;
        Draw.brightness = c.bright;
        ASSERT_EQ(0, DrawGraphPolygon(in, 3, D3DPT_TRIANGLELIST, POLYGON_NO_GRAPH, 0, 1));
        std::vector<VertexTextured> v = device.DrawnVertices<VertexTextured>();
        ASSERT_EQ(v.size(), 3u);
        EXPECT_EQ(v[0].diffuse, c.first) << c.mode << " " << c.param << " " << std::hex << c.bright;
        EXPECT_EQ(v[1].diffuse, c.second) << c.mode << " " << c.param << " " << std::hex << c.bright;
        // No graph: the texture coordinates are kept.
        EXPECT_EQ(v[1].u, 1.0f);
        EXPECT_EQ(v[2].v, 1.0f);
        EXPECT_EQ(v[0].z, 0.2f);
        EXPECT_EQ(v[0].rhw, 1.0f);
    }
    EXPECT_EQ(GetAllocCount(), 0);
    EXPECT_EQ(-1, DrawGraphPolygon(in, 3, D3DPT_TRIANGLELIST, 0x08000123, 0, 0));
    EXPECT_EQ(-1, DrawGraphPolygon(nullptr, 3, D3DPT_TRIANGLELIST, POLYGON_NO_GRAPH, 0, 0));
    EXPECT_EQ(-1, DrawGraphPolygon(in, -1, D3DPT_TRIANGLELIST, POLYGON_NO_GRAPH, 0, 0));
    // Without Direct3D nothing is drawn.
    Screen.hardware = 0;
    device.Forget();
    EXPECT_EQ(0, DrawGraphPolygon(in, 3, D3DPT_TRIANGLELIST, POLYGON_NO_GRAPH, 0, 0));
    EXPECT_TRUE(device.calls.empty());
}

TEST_F(ShapeDrawTest, PolygonWithAGraphBindsItsTextureAndScalesTexCoordsToItsPiece)
{
    ASSERT_EQ(0, BuildSoftBlendTables());
    struct Case {
        int width, height, textureWidth, textureHeight, tileX;
        float u1, v1;
    } cases[] = {
        {100, 60, 128, 64, 16, (100 + 16) / 128.0f, 60 / 64.0f},
        {64, 64, 64, 64, 0, 1.0f, 1.0f},   // the piece is the texture: kept
    };
    for (const Case& c : cases) {
        int h = AllocGraphHandle();
        GraphRecord* record = GetGraphRecord(h);
        GraphImageRecord* image = MakeTestImage(c.width, c.height, {{0, 0, c.width, c.height, c.textureWidth,
                                                                     c.textureHeight, FakeTexture(3)}});
        record->image = image;
        record->width = c.width;
        record->height = c.height;
        FillTestTileEntries(record, image);
        record->tiles[0].tileX = c.tileX;
        PolygonVertex in[3] = {{0, 0, 0, 0, 9, 9, 9, 255}, {10, 0, 1, 0, 9, 9, 9, 255}, {0, 10, 1, 1, 9, 9, 9, 255}};
        device.Forget();
        EXPECT_EQ(0, DrawGraphPolygon(in, 3, D3DPT_TRIANGLELIST, h, 1, 1));
        EXPECT_EQ(DeviceStateCache.mainTexture, reinterpret_cast<IDirect3DBaseTexture9*>(FakeTexture(3)));
        std::vector<VertexTextured> v = device.DrawnVertices<VertexTextured>();
        ASSERT_EQ(v.size(), 3u);
        EXPECT_FLOAT_EQ(v[0].u, c.tileX / (float)c.textureWidth);
        EXPECT_FLOAT_EQ(v[2].u, c.u1);
        EXPECT_FLOAT_EQ(v[2].v, c.v1);
        ReleaseGraphHandle(h);
        free(image);
    }
}

TEST_F(ShapeDrawTest, WithoutBlendOperationsASubtractedShapeIsDrawnAdditivelyBetweenInversions)
{
    RemoveRecordingDevice();
    InstallRecordingDevice(&device, 0);
    PrepareVertexBuffers();
    Screen.depth = 32;
    Screen.hardware = 1;
    ASSERT_EQ(0, SelectBlendMode(3, 100));
    ASSERT_EQ(1, SubtractEmulationNeeded());
    ASSERT_EQ(0, FillBoxShape(10, 10, 20, 20, ColorFromRGB(255, 0, 0)));
    FlushVertexBuffer();
    EXPECT_EQ(3, Draw.blendMode);
    EXPECT_EQ(100, Draw.blendParam);
    // The shape (red at alpha 100) went in with source alpha added to the
    // destination; the white boxes around it invert the rectangle.
    DWORD src = 0, dest = 0;
    int shapes = 0, inversions = 0;
    for (const DeviceCall& call : device.calls) {
        if (call.kind == CALL_RENDER_STATE && call.a == D3DRS_SRCBLEND)
            src = call.b;
        if (call.kind == CALL_RENDER_STATE && call.a == D3DRS_DESTBLEND)
            dest = call.b;
        if (call.kind != CALL_DRAW_UP)
            continue;
        for (size_t i = 0; i < call.data.size() / sizeof(VertexPlain); i += 6) {
            const VertexPlain& v = call.Vertex<VertexPlain>(i);
            EXPECT_EQ(v.x, 10.0f);
            if (v.diffuse == 0x64FF0000u) {
                shapes++;
                EXPECT_EQ((DWORD)D3DBLEND_SRCALPHA, src);
                EXPECT_EQ((DWORD)D3DBLEND_ONE, dest);
            } else {
                inversions++;
            }
        }
    }
    EXPECT_EQ(shapes, 1);
    EXPECT_EQ(inversions, 2);
}

} // namespace
