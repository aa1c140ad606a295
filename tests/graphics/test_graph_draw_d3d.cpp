// The Direct3D graph draws on the recording device: tile quads with their
// half-pixel shift, vertex colours, the cut at the draw area, batching over
// textures, and the four-corner draws with their grid split.
#include <gtest/gtest.h>

#include <math.h>

#include "graphics/device.h"
#include "graphics/draw_state.h"
#include "graphics/graph_draw_d3d.h"
#include "graphics/graph_quad_d3d.h"
#include "graphics/state_cache.h"
#include "graphics/vertex_batch.h"
#include "tests/graphics/recording_device.h"
#include "tests/graphics/test_graphs.h"

namespace {

class GraphDrawTest : public testing::Test {
protected:
    RecordingDevice device;
    std::vector<GraphImageRecord*> images;
    std::vector<GraphRecord*> records;

    void SetUp() override
    {
        InstallRecordingDevice(&device);
        SetTestDrawArea(0, 0, 640, 480);
        PrepareVertexBuffers();
        RefreshVertexColor();
    }
    void TearDown() override
    {
        RemoveRecordingDevice();
        for (GraphRecord* r : records)
            free(r);
        for (GraphImageRecord* i : images)
            free(i);
    }

    GraphRecord* Graph(int width, int height, const std::vector<TestTileSpec>& tiles)
    {
        images.push_back(MakeTestImage(width, height, tiles));
        records.push_back(MakeTestRecord(images.back()));
        return records.back();
    }
    // A graph of one tile on its own texture.
    GraphRecord* OneTile(int width, int height, int textureWidth, int textureHeight, int texture = 0)
    {
        return Graph(width, height, {{0, 0, width, height, textureWidth, textureHeight, FakeTexture(texture)}});
    }

    // The draws reaching the device after a flush.
    std::vector<DeviceCall> Flushed(DeviceCallKind kind = CALL_DRAW_UP)
    {
        FlushVertexBuffer();
        return device.Of(kind);
    }
};

void ExpectCorner(const VertexTextured& v, float x, float y, float u, float w)
{
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
    EXPECT_FLOAT_EQ(v.u, u);
    EXPECT_FLOAT_EQ(v.v, w);
}

TEST_F(GraphDrawTest, AGraphInsideTheAreaIsOneQuadShiftedByHalfAPixel)
{
    SelectBlendMode(1, 128);
    SetBrightness(255, 128, 64);
    RefreshVertexColor();
    GraphRecord* g = OneTile(32, 32, 32, 32);
    EXPECT_EQ(0, DrawGraphD3D(g, 10, 20, 10.0f, 20.0f, 0, 1));
    std::vector<DeviceCall> draws = Flushed();
    ASSERT_EQ(1u, draws.size());
    const DeviceCall& d = draws[0];
    EXPECT_EQ((DWORD)D3DPT_TRIANGLELIST, d.a);
    EXPECT_EQ(2u, d.b);
    EXPECT_EQ(28u, d.c);
    // Top-left, top-right, bottom-left, bottom-right, bottom-left, top-right.
    ExpectCorner(d.Vertex<VertexTextured>(0), 9.5f, 19.5f, 0, 0);
    ExpectCorner(d.Vertex<VertexTextured>(1), 41.5f, 19.5f, 1, 0);
    ExpectCorner(d.Vertex<VertexTextured>(2), 9.5f, 51.5f, 0, 1);
    ExpectCorner(d.Vertex<VertexTextured>(3), 41.5f, 51.5f, 1, 1);
    ExpectCorner(d.Vertex<VertexTextured>(4), 9.5f, 51.5f, 0, 1);
    ExpectCorner(d.Vertex<VertexTextured>(5), 41.5f, 19.5f, 1, 0);
    for (int i = 0; i < 6; i++) {
        EXPECT_FLOAT_EQ(0.2f, d.Vertex<VertexTextured>(i).z);
        EXPECT_FLOAT_EQ(1.0f, d.Vertex<VertexTextured>(i).rhw);
    }
    // Alpha = the blend parameter, colour = the brightness, in the first
    // vertex of each triangle.
    EXPECT_EQ(0x80FF8040u, d.Vertex<VertexTextured>(0).diffuse);
    EXPECT_EQ(0x80FF8040u, d.Vertex<VertexTextured>(3).diffuse);
}

TEST_F(GraphDrawTest, CornersOutsideTheAreaMoveOntoItsEdgesWithTheirTextureCoordinates)
{
    // A 32 x 32 graph on a 64 x 64 texture: u and v run 0 to 0.5; on a
    // 64 x 128 texture v runs 0 to 0.25, and a cut moves v by 1/128 a pixel.
    struct Case {
        const char* name;
        RECT area;
        int x, y;
        float left, top, right, bottom;    // expected corners
        float u0, v0, u1, v1;
        int textureHeight = 64;
    } cases[] = {
        {"left", {0, 0, 640, 480}, -8, 20, 0.0f, 19.5f, 23.5f, 51.5f, 8.5f / 64, 0, 0.5f, 0.5f},
        {"top and right", {0, 30, 30, 480}, 10, 20, 9.5f, 30.0f, 30.0f, 51.5f, 0, 10.5f / 64, 20.5f / 64, 0.5f},
        {"inside a narrow area", {12, 0, 20, 480}, 10, 20, 12.0f, 19.5f, 20.0f, 51.5f, 2.5f / 64, 0, 10.5f / 64,
         0.5f},
        {"top and left, tall texture", {0, 0, 640, 480}, -8, -4, 0.0f, 0.0f, 23.5f, 27.5f, 8.5f / 64, 4.5f / 128,
         0.5f, 0.25f, 128},
        {"bottom and right, tall texture", {0, 0, 30, 40}, 10, 20, 9.5f, 19.5f, 30.0f, 40.0f, 0, 0, 20.5f / 64,
         20.5f / 128, 128},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        device.Forget();
        SetTestDrawArea(c.area.left, c.area.top, c.area.right, c.area.bottom);
        GraphRecord* g = OneTile(32, 32, 64, c.textureHeight);
        EXPECT_EQ(0, DrawGraphD3D(g, c.x, c.y, (float)c.x, (float)c.y, 0, 1));
        std::vector<DeviceCall> draws = Flushed();
        ASSERT_EQ(1u, draws.size());
        const DeviceCall& d = draws[0];
        ExpectCorner(d.Vertex<VertexTextured>(0), c.left, c.top, c.u0, c.v0);
        ExpectCorner(d.Vertex<VertexTextured>(1), c.right, c.top, c.u1, c.v0);
        ExpectCorner(d.Vertex<VertexTextured>(2), c.left, c.bottom, c.u0, c.v1);
        ExpectCorner(d.Vertex<VertexTextured>(3), c.right, c.bottom, c.u1, c.v1);
        ExpectCorner(d.Vertex<VertexTextured>(4), c.left, c.bottom, c.u0, c.v1);
        ExpectCorner(d.Vertex<VertexTextured>(5), c.right, c.top, c.u1, c.v0);
    }
}

TEST_F(GraphDrawTest, AGraphWhollyOutsideTheAreaQueuesNothing)
{
    GraphRecord* g = OneTile(32, 32, 32, 32);
    const int positions[][2] = {{640, 0}, {-32, 0}, {0, 480}, {0, -32}};
    for (const auto& p : positions) {
        EXPECT_EQ(0, DrawGraphD3D(g, p[0], p[1], (float)p[0], (float)p[1], 0, 1));
        EXPECT_EQ(0, VertexBatch.count) << p[0] << "," << p[1];
    }
    EXPECT_EQ(0, DrawGraphStretchedD3D(700, 0, 800, 10, 700, 0, 800, 10, g, 0, 1));
    EXPECT_EQ(0, VertexBatch.count);
}

TEST_F(GraphDrawTest, WithoutADeviceNothingIsDrawn)
{
    GraphRecord* g = OneTile(32, 32, 32, 32);
    DeviceObjects.device = nullptr;
    EXPECT_EQ(-1, DrawGraphD3D(g, 0, 0, 0, 0, 0, 1));
    EXPECT_EQ(-1, DrawGraphStretchedD3D(0, 0, 10, 10, 0, 0, 10, 10, g, 0, 1));
    EXPECT_EQ(-1, DrawGraphQuadSplit(0, 0, 10, 0, 0, 10, 10, 10, g, 0));
    EXPECT_EQ(0, DrawGridStrip(8, nullptr, 8));
    DeviceObjects.device = &device;
    EXPECT_EQ(0, VertexBatch.count);
    EXPECT_TRUE(device.calls.empty());
}

TEST_F(GraphDrawTest, EveryTextureChangeFlushesAndOneTextureSharesTheBatch)
{
    // 64 x 64 of four 32 x 32 tiles, each on its own texture.
    GraphRecord* four = Graph(64, 64, {{0, 0, 32, 32, 32, 32, FakeTexture(1)}, {32, 0, 32, 32, 32, 32, FakeTexture(2)},
                                       {0, 32, 32, 32, 32, 32, FakeTexture(3)}, {32, 32, 32, 32, 32, 32, FakeTexture(4)}});
    EXPECT_EQ(0, DrawGraphD3D(four, 100, 100, 100, 100, 0, 1));
    EXPECT_EQ(3u, device.Count(CALL_DRAW_UP));
    std::vector<DeviceCall> draws = Flushed();
    ASSERT_EQ(4u, draws.size());
    std::vector<DeviceCall> textures = device.Of(CALL_TEXTURE);
    ASSERT_EQ(4u, textures.size());
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(static_cast<const void*>(FakeTexture(i + 1)), textures[i].pointer);
        EXPECT_EQ(2u, draws[i].b);
    }
    // Tile 4 lies at (32, 32) in the graph.
    ExpectCorner(draws[3].Vertex<VertexTextured>(0), 131.5f, 131.5f, 0, 0);

    device.Forget();
    GraphRecord* one = OneTile(16, 16, 16, 16, 5);
    for (int i = 0; i < 3; i++)
        DrawGraphD3D(one, 20 * i, 0, (float)(20 * i), 0, 0, 1);
    draws = Flushed();
    ASSERT_EQ(1u, draws.size());
    EXPECT_EQ(6u, draws[0].b);
}

TEST_F(GraphDrawTest, The390thQuadFlushesTheBatchBeforeItIsQueued)
{
    GraphRecord* g = OneTile(8, 8, 8, 8);
    for (int i = 0; i < 389; i++)
        DrawGraphD3D(g, 0, 0, 0, 0, 0, 1);
    EXPECT_EQ(0u, device.Count(CALL_DRAW_UP));
    DrawGraphD3D(g, 0, 0, 0, 0, 0, 1);
    ASSERT_EQ(1u, device.Count(CALL_DRAW_UP));
    EXPECT_EQ(389u * 2, device.Of(CALL_DRAW_UP)[0].b);
    EXPECT_EQ(6, VertexBatch.count);
}

TEST_F(GraphDrawTest, StretchedDrawsScaleMirrorAndCutAtTheShiftedEdges)
{
    GraphRecord* g = OneTile(32, 32, 32, 32);
    // Twice the size, cut at the left edge: the edge lies at -0.5, and 16
    // pixels of a twice-stretched 32-texel texture are a quarter of it.
    EXPECT_EQ(0, DrawGraphStretchedD3D(-16, 0, 48, 64, -16, 0, 48, 64, g, 0, 1));
    std::vector<DeviceCall> draws = Flushed();
    ASSERT_EQ(1u, draws.size());
    ExpectCorner(draws[0].Vertex<VertexTextured>(0), -0.5f, -0.5f, 0.25f, 0);
    ExpectCorner(draws[0].Vertex<VertexTextured>(3), 47.5f, 63.5f, 1, 1);

    // Mirrored four times wide from x 64 back to -64: the graph's right
    // edge lies left, and it is cut at -0.5 where the texture is half way.
    device.Forget();
    EXPECT_EQ(0, DrawGraphStretchedD3D(64, 0, -64, 32, 64.0f, 0, -64.0f, 32, g, 0, 1));
    draws = Flushed();
    ASSERT_EQ(1u, draws.size());
    ExpectCorner(draws[0].Vertex<VertexTextured>(0), 63.5f, -0.5f, 0, 0);
    ExpectCorner(draws[0].Vertex<VertexTextured>(1), -0.5f, -0.5f, 0.5f, 0);

    // No width: refused before anything is queued.
    device.Forget();
    EXPECT_EQ(-1, DrawGraphStretchedD3D(10, 0, 10, 32, 10.0f, 0, 10.4f, 32, g, 0, 1));
    EXPECT_EQ(0, VertexBatch.count);
    EXPECT_TRUE(device.calls.empty());
}

TEST_F(GraphDrawTest, TheIntegerPositionFlagKeepsTheTransparencyKindsOnlyWhereThePartSaysSo)
{
    // A one-bit-alpha graph drawn with trans under linear filtering: the
    // plain draw keeps the colour-key kind (alpha test), a stretched one
    // takes alpha blending instead.
    GraphRecord* g = OneTile(32, 32, 32, 32);
    g->image->desc.alphaTest = 1;
    Draw.filterMode = 1;
    DrawGraphD3D(g, 0, 0, 0, 0, 1, 1);
    EXPECT_EQ(0, DeviceStateCache.alphaKind);
    EXPECT_EQ(1, DeviceStateCache.transKind);
    DrawGraphStretchedD3D(0, 0, 64, 64, 0, 0, 64, 64, g, 1, 1);
    EXPECT_EQ(1, DeviceStateCache.alphaKind);
    EXPECT_EQ(0, DeviceStateCache.transKind);
    Draw.filterMode = 0;
    DrawGraphStretchedD3D(0, 0, 64, 64, 0, 0, 64, 64, g, 1, 1);
    EXPECT_EQ(0, DeviceStateCache.alphaKind);
    EXPECT_EQ(1, DeviceStateCache.transKind);
}

TEST_F(GraphDrawTest, WithABlendTextureTheBlendCoordinatesFollowTheGraphTexelForTexel)
{
    static char blendTexture;
    CacheBlendTexture(reinterpret_cast<IDirect3DBaseTexture9*>(&blendTexture), 0, 0);
    DrawDerived.blendTexWidth = DrawDerived.blendTexHeight = 64;
    DrawDerived.blendTexInvWidth = DrawDerived.blendTexInvHeight = 1.0f / 64;
    GraphRecord* g = OneTile(32, 32, 32, 32);
    EXPECT_EQ(0, DrawGraphD3D(g, -8, 20, -8, 20, 0, 1));
    EXPECT_EQ(VERTEX_KIND_BLEND, VertexBatch.kind);
    std::vector<DeviceCall> draws = Flushed();
    ASSERT_EQ(1u, draws.size());
    EXPECT_EQ(40u, draws[0].c);
    const VertexBlend& tl = draws[0].Vertex<VertexBlend>(0);
    EXPECT_FLOAT_EQ(0.0f, tl.x);
    EXPECT_FLOAT_EQ(8.5f / 64, tl.u0);
    EXPECT_FLOAT_EQ(8.5f / 32, tl.u1);
    const VertexBlend& br = draws[0].Vertex<VertexBlend>(3);
    EXPECT_FLOAT_EQ(23.5f, br.x);
    EXPECT_FLOAT_EQ(32.0f / 64, br.u0);
    EXPECT_FLOAT_EQ(32.0f / 64, br.v0);
    EXPECT_FLOAT_EQ(1.0f, br.u1);
}

// ---------------------------------------------------------------------------
// Four corners

TEST_F(GraphDrawTest, ParallelogramCornersGiveOneQuadWithoutTheHalfPixelShift)
{
    GraphRecord* g = OneTile(32, 32, 32, 32);
    // An axis-aligned rectangle, then the graph turned by 90 degrees.
    EXPECT_EQ(0, DrawGraphQuadSplit(10, 20, 42, 20, 10, 52, 42, 52, g, 0));
    EXPECT_EQ(0, DrawGraphQuadSplit(100, 0, 100, 32, 68, 0, 68, 32, g, 0));
    std::vector<DeviceCall> draws = Flushed();
    EXPECT_EQ(0u, device.Count(CALL_DRAW_INDEXED_UP));
    ASSERT_EQ(1u, draws.size());
    ASSERT_EQ(4u, draws[0].b);
    ExpectCorner(draws[0].Vertex<VertexTextured>(0), 10, 20, 0, 0);
    ExpectCorner(draws[0].Vertex<VertexTextured>(3), 42, 52, 1, 1);
    // Turned: top-left at (100, 0), top-right at (100, 32).
    ExpectCorner(draws[0].Vertex<VertexTextured>(6), 100, 0, 0, 0);
    ExpectCorner(draws[0].Vertex<VertexTextured>(9), 68, 32, 1, 1);
}

TEST_F(GraphDrawTest, MirroredCornersExchangeVerticesToKeepOneWinding)
{
    GraphRecord* g = OneTile(32, 32, 32, 32);
    // Top-right left of top-left.
    DrawGraphQuadSplit(42, 0, 10, 0, 42, 32, 10, 32, g, 0);
    std::vector<DeviceCall> draws = Flushed();
    ASSERT_EQ(1u, draws.size());
    // Vertices 1 and 2 exchanged, 4 and 5 as well.
    ExpectCorner(draws[0].Vertex<VertexTextured>(0), 42, 0, 0, 0);
    ExpectCorner(draws[0].Vertex<VertexTextured>(1), 42, 32, 0, 1);
    ExpectCorner(draws[0].Vertex<VertexTextured>(2), 10, 0, 1, 0);
    ExpectCorner(draws[0].Vertex<VertexTextured>(3), 10, 32, 1, 1);
    ExpectCorner(draws[0].Vertex<VertexTextured>(4), 10, 0, 1, 0);
    ExpectCorner(draws[0].Vertex<VertexTextured>(5), 42, 32, 0, 1);
}

TEST_F(GraphDrawTest, ATrapezoidIsAnEightByEightGridInOneIndexedStrip)
{
    // 32 x 32 on a 64 x 64 texture: u and v run 0 to 0.5, so the right and
    // bottom edges are pulled a thousandth of a texel inwards.
    GraphRecord* g = OneTile(32, 32, 64, 64);
    SelectBlendMode(1, 200);
    RefreshVertexColor();
    EXPECT_EQ(0, DrawGraphQuadSplit(0, 0, 100, 0, 25, 70, 75, 70, g, 0));
    EXPECT_EQ(0u, device.Count(CALL_DRAW_UP));
    std::vector<DeviceCall> draws = device.Of(CALL_DRAW_INDEXED_UP);
    ASSERT_EQ(1u, draws.size());
    const DeviceCall& d = draws[0];
    EXPECT_EQ((DWORD)D3DPT_TRIANGLESTRIP, d.a);
    EXPECT_EQ(122u, d.b);
    EXPECT_EQ(28u, d.c);
    EXPECT_EQ(64u, d.vertexCount);
    ASSERT_EQ(124u, d.indices.size());
    // First row pair: 8, 0, 9, 1, ... then a repeated index and the link.
    EXPECT_EQ(8, d.indices[0]);
    EXPECT_EQ(0, d.indices[1]);
    EXPECT_EQ(15, d.indices[14]);
    EXPECT_EQ(7, d.indices[15]);
    EXPECT_EQ(7, d.indices[16]);
    EXPECT_EQ(16, d.indices[17]);
    EXPECT_EQ(16, d.indices[18]);
    float inset = 0.5f / 32 * 0.001f;
    ExpectCorner(d.Vertex<VertexTextured>(0), 0, 0, 0, 0);
    ExpectCorner(d.Vertex<VertexTextured>(7), 100, 0, 0.5f - inset, 0);
    ExpectCorner(d.Vertex<VertexTextured>(56), 25, 70, 0, 0.5f - inset);
    ExpectCorner(d.Vertex<VertexTextured>(63), 75, 70, 0.5f - inset, 0.5f - inset);
    // Row 7 / 2 of the way down, column 3: bilinear in the corners.
    float t = 2.0f / 7, s = 3.0f / 7;
    float lx = 25 * t, rx = 100 + (75 - 100) * t;
    const VertexTextured& mid = d.Vertex<VertexTextured>(2 * 8 + 3);
    EXPECT_NEAR(lx + s * (rx - lx), mid.x, 1e-4);
    EXPECT_NEAR(70 * t, mid.y, 1e-4);
    EXPECT_NEAR(s * (0.5f - inset), mid.u, 1e-6);
    EXPECT_EQ(0xC8FFFFFFu, mid.diffuse);
    EXPECT_FLOAT_EQ(0.2f, mid.z);
    EXPECT_FLOAT_EQ(1.0f, mid.rhw);
}

TEST_F(GraphDrawTest, TilesOfASplitGraphTakeTheirShareOfTheCorners)
{
    // 64 x 32 of two tiles drawn into a rectangle twice as large.
    GraphRecord* g = Graph(64, 32, {{0, 0, 32, 32, 32, 32, FakeTexture(1)}, {32, 0, 32, 32, 32, 32, FakeTexture(2)}});
    EXPECT_EQ(0, DrawGraphQuadSplit(0, 0, 128, 0, 0, 64, 128, 64, g, 0));
    std::vector<DeviceCall> draws = Flushed();
    ASSERT_EQ(2u, draws.size());
    ExpectCorner(draws[0].Vertex<VertexTextured>(0), 0, 0, 0, 0);
    ExpectCorner(draws[0].Vertex<VertexTextured>(3), 64, 64, 1, 1);
    ExpectCorner(draws[1].Vertex<VertexTextured>(0), 64, 0, 0, 0);
    ExpectCorner(draws[1].Vertex<VertexTextured>(3), 128, 64, 1, 1);
    std::vector<DeviceCall> textures = device.Of(CALL_TEXTURE);
    ASSERT_EQ(2u, textures.size());
    EXPECT_EQ(static_cast<const void*>(FakeTexture(2)), textures[1].pointer);
}

TEST_F(GraphDrawTest, GridStripsSplitWhereTheIndexBufferWouldOverflow)
{
    static VertexTextured grid[100 * 10];
    EXPECT_EQ(0, DrawGridStrip(100, grid, 10));
    std::vector<DeviceCall> draws = device.Of(CALL_DRAW_INDEXED_UP);
    ASSERT_EQ(3u, draws.size());
    // Four row pairs of 200 indices, three links and three repeats; four
    // again; then the last pair alone.
    const size_t sizes[3] = {807, 807, 200};
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(sizes[i], draws[i].indices.size());
        EXPECT_EQ(sizes[i] - 2, draws[i].b);
        EXPECT_EQ(1000u, draws[i].vertexCount);
    }
    EXPECT_EQ(900, draws[2].indices[0]);
    EXPECT_EQ(899, draws[2].indices.back());
}

TEST_F(GraphDrawTest, GridsTooSmallOrTooLargeForTheIndexBufferAreRefused)
{
    static VertexTextured grid[8 * 8200];
    struct Case { int columns, rows, result; size_t draws; } cases[] = {
        {1, 8, -1, 0}, {8, 1, -1, 0}, {0, 0, -1, 0},
        {499, 2, 0, 1},          // 998 indices: the largest row pair that fits
        {500, 2, -1, 0},         // 1002 indices would overrun the buffer
        {100000, 2, -1, 0},
        {8, 8192, 0, 0},         // 65536 vertices: every index fits 16 bits
        {8, 8193, -1, 0},
    };
    for (const Case& c : cases) {
        device.Forget();
        EXPECT_EQ(c.result, DrawGridStrip(c.columns, grid, c.rows)) << c.columns << " x " << c.rows;
        if (c.result == 0 && c.draws) {
            EXPECT_EQ(c.draws, device.Count(CALL_DRAW_INDEXED_UP));
        }
        if (c.result < 0) {
            EXPECT_EQ(0u, device.Count(CALL_DRAW_INDEXED_UP));
        }
    }
    device.Forget();
    DrawGridStrip(8, grid, 8192);
    std::vector<DeviceCall> draws = device.Of(CALL_DRAW_INDEXED_UP);
    ASSERT_FALSE(draws.empty());
    EXPECT_EQ(65535, draws.back().indices[draws.back().indices.size() - 2]);
}

TEST_F(GraphDrawTest, WithABlendGraphTheQuadIsTwoAffineTrianglesDrawnAtOnce)
{
    static char blendTexture;
    Draw.blendGraph = 0x08000001;
    CacheBlendTexture(reinterpret_cast<IDirect3DBaseTexture9*>(&blendTexture), 0, 0);
    DrawDerived.blendTexInvWidth = DrawDerived.blendTexInvHeight = 1.0f / 32;
    GraphRecord* g = OneTile(32, 32, 32, 32);
    // A shear; the float call truncates 10.9 to 10.
    EXPECT_EQ(0, DrawGraphQuadSplit(10.9f, 0, 42, 0, 0, 32, 32, 32, g, 0));
    std::vector<DeviceCall> draws = device.Of(CALL_DRAW_UP);
    ASSERT_EQ(1u, draws.size());
    EXPECT_EQ((DWORD)D3DPT_TRIANGLESTRIP, draws[0].a);
    EXPECT_EQ(2u, draws[0].b);
    EXPECT_EQ(40u, draws[0].c);
    const float expected[4][2] = {{9.5f, -0.5f}, {41.5f, -0.5f}, {-0.5f, 31.5f}, {31.5f, 31.5f}};
    for (int k = 0; k < 4; k++) {
        const VertexBlend& v = draws[0].Vertex<VertexBlend>(k);
        EXPECT_FLOAT_EQ(expected[k][0], v.x) << k;
        EXPECT_FLOAT_EQ(expected[k][1], v.y) << k;
        EXPECT_EQ(0xFFFFFFFFu, v.specular);
    }
    EXPECT_FLOAT_EQ(1.0f, draws[0].Vertex<VertexBlend>(3).u0);
    EXPECT_FLOAT_EQ(1.0f, draws[0].Vertex<VertexBlend>(3).u1);

    // An axis-aligned rectangle takes the stretched draw instead.
    device.Forget();
    EXPECT_EQ(0, DrawGraphQuadSplit(10, 20, 42, 20, 10, 52, 42, 52, g, 0));
    draws = Flushed();
    ASSERT_EQ(1u, draws.size());
    EXPECT_EQ((DWORD)D3DPT_TRIANGLELIST, draws[0].a);
    EXPECT_FLOAT_EQ(9.5f, draws[0].Vertex<VertexBlend>(0).x);
    EXPECT_FLOAT_EQ(51.5f, draws[0].Vertex<VertexBlend>(3).y);
}

}  // namespace
