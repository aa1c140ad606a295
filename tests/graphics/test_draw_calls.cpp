// The public graph calls on the recording device: the preamble's results,
// the corner orders handed to the draws, the narrowed and restored draw area
// of a part, and the subtractive emulation around a draw.
#include <gtest/gtest.h>

#include "graphics/device.h"
#include "graphics/draw_calls.h"
#include "graphics/draw_state.h"
#include "graphics/graph_handles.h"
#include "graphics/state_cache.h"
#include "graphics/vertex_batch.h"
#include "runtime/system_state.h"
#include "tests/graphics/recording_device.h"
#include "tests/graphics/test_graphs.h"

namespace {

class DrawCallTest : public testing::Test {
protected:
    RecordingDevice device;
    std::vector<GraphImageRecord*> images;
    std::vector<int> handles;

    void SetUp() override
    {
        InstallRecordingDevice(&device);
        SetTestDrawArea(0, 0, 640, 480);
        PrepareVertexBuffers();
        RefreshVertexColor();
        Screen.hardware = 1;
        SystemState.kept.initialised = 1;
    }
    void TearDown() override
    {
        for (int h : handles)
            ReleaseGraphHandle(h);
        for (GraphImageRecord* i : images)
            free(i);
        SystemState.kept.initialised = 0;
        Screen.hardware = 0;
        RemoveRecordingDevice();
    }

    // A graph handle over a one-tile picture (up to four tiles fit the base
    // record that the handle comes with).
    int Graph(int width, int height, int textureWidth, int textureHeight)
    {
        int h = AllocGraphHandle();
        GraphRecord* record = GetGraphRecord(h);
        images.push_back(MakeTestImage(width, height, {{0, 0, width, height, textureWidth, textureHeight, FakeTexture(1)}}));
        record->image = images.back();
        record->width = width;
        record->height = height;
        FillTestTileEntries(record, images.back());
        handles.push_back(h);
        return h;
    }

    std::vector<DeviceCall> Flushed()
    {
        FlushVertexBuffer();
        return device.Of(CALL_DRAW_UP);
    }
};

void ExpectCorner(const VertexTextured& v, float x, float y, float u, float w)
{
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
    EXPECT_FLOAT_EQ(v.u, u);
    EXPECT_FLOAT_EQ(v.v, w);
}

TEST_F(DrawCallTest, AnEmptyDrawAreaMakesEveryCallReturn0WithoutDrawing)
{
    int g = Graph(32, 32, 32, 32);
    SetTestDrawArea(100, 100, 100, 200);
    const int bad = 0x08001234;
    for (int graph : {g, bad}) {
        EXPECT_EQ(0, DrawGraphAt(0, 0, graph, 0));
        EXPECT_EQ(0, DrawGraphStretched(0, 0, 10, 10, graph, 0));
        EXPECT_EQ(0, DrawGraphStretchedF(0, 0, 10, 10, graph, 0));
        EXPECT_EQ(0, DrawGraphMirrored(0, 0, graph, 0));
        EXPECT_EQ(0, DrawGraphQuad(0, 0, 10, 0, 10, 10, 0, 10, graph, 0));
    }
    EXPECT_EQ(0, DrawGraphPart(0, 0, 0, 0, 8, 8, g, 0, 0));
    EXPECT_EQ(0, DrawGraphPart(0, 0, 0, 0, 8, 8, g, 0, 1));
    EXPECT_EQ(0, VertexBatch.count);
    EXPECT_EQ(0u, Flushed().size());
}

TEST_F(DrawCallTest, BadHandlesAndTooSmallBlendGraphsAreRefused)
{
    int g = Graph(32, 32, 32, 32);
    const int bad[] = {-1, 0, 0x08001234, g + 0x10000, 0x10000000 | (g & 0xFFFF)};
    for (int graph : bad) {
        EXPECT_EQ(-1, DrawGraphAt(0, 0, graph, 0)) << std::hex << graph;
        EXPECT_EQ(-1, DrawGraphStretched(0, 0, 10, 10, graph, 0));
        EXPECT_EQ(-1, DrawGraphStretchedF(0, 0, 10, 10, graph, 0));
        EXPECT_EQ(-1, DrawGraphMirrored(0, 0, graph, 0));
        EXPECT_EQ(-1, DrawGraphQuad(0, 0, 10, 0, 10, 10, 0, 10, graph, 0));
        EXPECT_EQ(-1, DrawGraphPart(0, 0, 0, 0, 8, 8, graph, 0, 1));
    }
    // A blend graph narrower than the drawn one; then one of the same size.
    int narrow = Graph(31, 32, 32, 32);
    Draw.blendGraph = narrow;
    EXPECT_EQ(-1, DrawGraphAt(0, 0, g, 0));
    Draw.blendGraph = Graph(32, 32, 32, 32);
    EXPECT_EQ(0, DrawGraphAt(0, 0, g, 0));
    Draw.blendGraph = -1;
    EXPECT_EQ(1u, Flushed().size());

    // Before the library has started only the plain draw refuses.
    SystemState.kept.initialised = 0;
    device.Forget();
    EXPECT_EQ(-1, DrawGraphAt(0, 0, g, 0));
    EXPECT_EQ(0, DrawGraphStretched(0, 0, 10, 10, g, 0));
}

TEST_F(DrawCallTest, MirroredIsTheStretchedDrawWithTheCornersExchanged)
{
    int g = Graph(32, 16, 32, 16);
    EXPECT_EQ(0, DrawGraphMirrored(10, 20, g, 0));
    EXPECT_EQ(0, DrawGraphStretched(42, 40, 10, 56, g, 0));
    std::vector<DeviceCall> draws = Flushed();
    ASSERT_EQ(1u, draws.size());
    ASSERT_EQ(4u, draws[0].b);
    for (int i = 0; i < 6; i++) {
        const VertexTextured& a = draws[0].Vertex<VertexTextured>(i);
        const VertexTextured& b = draws[0].Vertex<VertexTextured>(6 + i);
        ExpectCorner(a, b.x, b.y - 20, b.u, b.v);
    }
    // Source column 0 lies right.
    ExpectCorner(draws[0].Vertex<VertexTextured>(0), 41.5f, 19.5f, 0, 0);
    ExpectCorner(draws[0].Vertex<VertexTextured>(3), 9.5f, 35.5f, 1, 1);
}

TEST_F(DrawCallTest, FloatCornersPlaceTheGraphAndQuadCornersComeClockwise)
{
    int g = Graph(32, 32, 32, 32);
    EXPECT_EQ(0, DrawGraphStretchedF(10.25f, 20.75f, 42.25f, 52.75f, g, 0));
    // Top-left, top-right, bottom-right, bottom-left.
    EXPECT_EQ(0, DrawGraphQuad(100, 0, 132, 0, 132, 32, 100, 32, g, 0));
    std::vector<DeviceCall> draws = Flushed();
    ASSERT_EQ(1u, draws.size());
    ASSERT_EQ(4u, draws[0].b);
    ExpectCorner(draws[0].Vertex<VertexTextured>(0), 9.75f, 20.25f, 0, 0);
    ExpectCorner(draws[0].Vertex<VertexTextured>(3), 41.75f, 52.25f, 1, 1);
    ExpectCorner(draws[0].Vertex<VertexTextured>(6), 100, 0, 0, 0);
    ExpectCorner(draws[0].Vertex<VertexTextured>(7), 132, 0, 1, 0);
    ExpectCorner(draws[0].Vertex<VertexTextured>(8), 100, 32, 0, 1);
    ExpectCorner(draws[0].Vertex<VertexTextured>(9), 132, 32, 1, 1);
}

TEST_F(DrawCallTest, APartIsDrawnThroughANarrowedAreaThatIsAlwaysRestored)
{
    int g = Graph(32, 32, 32, 32);
    SetTestDrawArea(0, 0, 640, 480);
    // Source (8, 4), 16 x 8, at (100, 100).
    EXPECT_EQ(0, DrawGraphPart(100, 100, 8, 4, 16, 8, g, 0, 0));
    EXPECT_EQ(0, DrawGraphPart(100, 100, 8, 4, 16, 8, g, 0, 1));
    std::vector<DeviceCall> draws = Flushed();
    ASSERT_EQ(1u, draws.size());
    ASSERT_EQ(4u, draws[0].b);
    // Plain: texel centres on pixel centres, cut at the area's own edges.
    ExpectCorner(draws[0].Vertex<VertexTextured>(0), 100, 100, 8.5f / 32, 4.5f / 32);
    ExpectCorner(draws[0].Vertex<VertexTextured>(3), 116, 108, 24.5f / 32, 12.5f / 32);
    // Mirrored: source column 8 at the right edge, 24 at the left.
    ExpectCorner(draws[0].Vertex<VertexTextured>(6), 115.5f, 99.5f, 8.0f / 32, 4.0f / 32);
    ExpectCorner(draws[0].Vertex<VertexTextured>(9), 99.5f, 107.5f, 24.0f / 32, 12.0f / 32);

    struct Case { int graph, srcX, mirror, result; } cases[] = {
        {g, 0, 0, 0}, {g, 0, 1, 0}, {g, 40, 0, 0}, {-1, 0, 0, -1}, {-1, 0, 1, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.result, DrawGraphPart(200, 300, c.srcX, 0, 10, 10, c.graph, 0, c.mirror));
        EXPECT_EQ(0, Draw.area.left);
        EXPECT_EQ(0, Draw.area.top);
        EXPECT_EQ(640, Draw.area.right);
        EXPECT_EQ(480, Draw.area.bottom);
        EXPECT_FLOAT_EQ(640.0f, Draw.areaRightF);
        EXPECT_FLOAT_EQ(480.0f, Draw.areaBottomF);
    }
    // A part wholly outside the area draws nothing.
    FlushVertexBuffer();
    device.Forget();
    SetTestDrawArea(0, 0, 50, 50);
    EXPECT_EQ(0, DrawGraphPart(100, 100, 0, 0, 10, 10, g, 0, 0));
    EXPECT_EQ(0u, Flushed().size());
}

TEST_F(DrawCallTest, WithoutBlendOperationsSubtractionDrawsInTheAdditiveModeAndComesBack)
{
    RemoveRecordingDevice();
    InstallRecordingDevice(&device, 0);
    SetTestDrawArea(0, 0, 640, 480);
    PrepareVertexBuffers();
    int g = Graph(32, 32, 32, 32);
    SelectBlendMode(3, 100);
    SetBrightness(200, 200, 200);
    EXPECT_EQ(1, SubtractEmulationNeeded());
    EXPECT_EQ(0, DrawGraphAt(10, 10, g, 0));
    EXPECT_EQ(3, Draw.blendMode);
    EXPECT_EQ(100, Draw.blendParam);
    EXPECT_EQ(0xC8C8C8u, Draw.brightness);
    FlushVertexBuffer();
    // The graph's quad (28-byte vertices; the inverting boxes are untextured)
    // went in as mode 5 with the caller's brightness.
    DWORD src = 0, dest = 0;
    const DeviceCall* quad = nullptr;
    for (const DeviceCall& call : device.calls) {
        if (call.kind == CALL_RENDER_STATE && call.a == D3DRS_SRCBLEND)
            src = call.b;
        if (call.kind == CALL_RENDER_STATE && call.a == D3DRS_DESTBLEND)
            dest = call.b;
        if (call.kind == CALL_DRAW_UP && call.c == 28) {
            EXPECT_EQ(nullptr, quad);
            quad = &call;
            EXPECT_EQ((DWORD)D3DBLEND_SRCALPHA, src);
            EXPECT_EQ((DWORD)D3DBLEND_ONE, dest);
        }
    }
    ASSERT_NE(nullptr, quad);
    EXPECT_EQ(0x64C8C8C8u, quad->Vertex<VertexTextured>(0).diffuse);

    // With the capability the draw goes straight in mode 3.
    RemoveRecordingDevice();
    InstallRecordingDevice(&device, 1);
    SetTestDrawArea(0, 0, 640, 480);
    Screen.hardware = 1;
    SelectBlendMode(3, 100);
    EXPECT_EQ(0, SubtractEmulationNeeded());
    EXPECT_EQ(0, DrawGraphAt(10, 10, g, 0));
    DWORD op = 0;
    ASSERT_TRUE(device.LastRenderState(D3DRS_BLENDOP, &op));
    EXPECT_EQ((DWORD)D3DBLENDOP_REVSUBTRACT, op);
}

}  // namespace
