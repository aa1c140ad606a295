// The global draw state: setters with rules, the colour values of both screen
// formats, the draw area and what it sends to the device.
#include <gtest/gtest.h>
#include <string.h>

#include "graphics/device.h"
#include "graphics/draw_state.h"
#include "graphics/graph_handles.h"
#include "graphics/state_cache.h"
#include "graphics/transform3d.h"
#include "image/soft_blend_tables.h"
#include "test_device.h"

namespace {

struct DrawStateTest : ::testing::Test {
    void SetUp() override
    {
        memset(&Draw, 0, sizeof Draw);
        Draw.target = -2;
        Draw.blendGraph = -1;
        Screen.width = 640;
        Screen.height = 480;
        Screen.depth = 32;
        Screen.hardware = 0;
    }
    void TearDown() override
    {
        for (int slot = 0; slot < GraphHandles.endSlot; slot++)
            ReleaseGraphHandle(HandleAtSlot(&GraphHandles, slot));
        Screen = ScreenSettings{};
    }
};

RECT Rect(int l, int t, int r, int b)
{
    RECT rect = { l, t, r, b };
    return rect;
}

void ExpectArea(const RECT& expected)
{
    EXPECT_EQ(expected.left, Draw.area.left);
    EXPECT_EQ(expected.top, Draw.area.top);
    EXPECT_EQ(expected.right, Draw.area.right);
    EXPECT_EQ(expected.bottom, Draw.area.bottom);
    EXPECT_EQ((float)expected.left, Draw.areaLeftF);
    EXPECT_EQ((float)expected.top, Draw.areaTopF);
    EXPECT_EQ((float)expected.right, Draw.areaRightF);
    EXPECT_EQ((float)expected.bottom, Draw.areaBottomF);
}

} // namespace

TEST_F(DrawStateTest, BlendModeKeepsTheModeAndClampsTheParameter)
{
    EXPECT_EQ(0, SelectBlendMode(1, 300));
    EXPECT_EQ(1, Draw.blendMode);
    EXPECT_EQ(255, Draw.blendParam);
    EXPECT_EQ(0, SelectBlendMode(1, -5));
    EXPECT_EQ(0, Draw.blendParam);
    EXPECT_EQ(0, SelectBlendMode(40, 7));   // the mode is not range-checked
    EXPECT_EQ(40, Draw.blendMode);
}

TEST_F(DrawStateTest, BrightnessIsClampedPerChannelOrStoredPackedAsGiven)
{
    EXPECT_EQ(0, SetBrightness(300, -1, 128));
    EXPECT_EQ(0x00FF0080u, Draw.brightness);
    SetDrawBrightPacked(0xAB123456);
    EXPECT_EQ(0x00123456u, Draw.brightness);
}

TEST_F(DrawStateTest, VertexAlphaIsOpaqueInModeZeroAndTheParameterOtherwise)
{
    Screen.hardware = 1;
    SetBrightness(10, 20, 30);
    SelectBlendMode(0, 77);
    EXPECT_EQ(0xFF0A141Eu, DrawDerived.vertexColor);
    SelectBlendMode(1, 77);
    EXPECT_EQ(0x4D0A141Eu, DrawDerived.vertexColor);
    SetBrightness(255, 255, 255);
    EXPECT_EQ(0x4DFFFFFFu, GetVertexDiffuseColor());
}

TEST_F(DrawStateTest, ColourValuesFollowTheScreenFormat)
{
    struct Case {
        int depth, r, g, b;
        uint32_t value;
    } cases[] = {
        { 32, 255, 128, 0, 0xFFFF8000 }, { 32, 0, 0, 0, 0xFF000000 }, { 32, 1, 2, 3, 0xFF010203 },
        { 16, 255, 128, 0, 0xFC00 },     { 16, 255, 255, 255, 0xFFFF }, { 16, 7, 3, 7, 0x0000 },
        { 16, 8, 4, 8, 0x0821 },         { 0, 255, 128, 0, 0xFC00 },   // unset depth counts as 16
    };
    for (const Case& c : cases) {
        Screen.depth = c.depth;
        EXPECT_EQ(c.value, ColorFromRGB(c.r, c.g, c.b)) << c.depth << " " << c.r << "," << c.g << "," << c.b;
    }

    int r, g, b;
    Screen.depth = 16;
    EXPECT_EQ(0, RGBFromColor(0xFC00, &r, &g, &b));
    EXPECT_EQ(255, r);
    EXPECT_EQ(129, g);
    EXPECT_EQ(0, b);
    Screen.depth = 32;
    RGBFromColor(0xFFFF8001, &r, &g, &b);
    EXPECT_EQ(255, r);
    EXPECT_EQ(128, g);
    EXPECT_EQ(1, b);
}

TEST_F(DrawStateTest, DrawAreaIsOrderedClampedAndEmptyWithoutPixels)
{
    EXPECT_EQ(0, SetClipArea(100, 50, 20, 10));
    ExpectArea(Rect(20, 10, 100, 50));
    EXPECT_EQ(0, Draw.emptyArea);

    EXPECT_EQ(0, SetClipArea(-30, 700, 900, -1));
    ExpectArea(Rect(0, 0, 640, 480));
    RECT requested;
    GetRequestedClipArea(&requested);
    EXPECT_EQ(-30, requested.left);
    EXPECT_EQ(700, requested.top);
    EXPECT_EQ(900, requested.right);
    EXPECT_EQ(-1, requested.bottom);

    EXPECT_EQ(0, SetClipArea(5, 5, 5, 100));
    EXPECT_EQ(1, Draw.emptyArea);
    ExpectArea(Rect(5, 5, 5, 100));
}

TEST_F(DrawStateTest, DrawAreaOfAGraphTargetUsesTheGraphSizeAndOtherTargetsAreRefused)
{
    int graph = AllocGraphHandle();
    GetGraphRecord(graph)->width = 64;
    GetGraphRecord(graph)->height = 32;
    Draw.target = graph;
    EXPECT_EQ(0, SetClipArea(-5, -5, 100, 100));
    ExpectArea(Rect(0, 0, 64, 32));

    for (int target : { -3, -5, -1, graph ^ 0x00010000 }) {
        SetClipArea(1, 2, 3, 4);
        Draw.target = target;
        EXPECT_EQ(-1, SetClipArea(7, 8, 9, 10)) << target;
        ExpectArea(Rect(1, 2, 3, 4));
        EXPECT_EQ(7, Draw.requestedArea.left);   // only the request is recorded
        Draw.target = graph;
    }
}

TEST_F(DrawStateTest, TransitionGraphRefusesBadHandlesAndStoresClampedBorders)
{
    EXPECT_EQ(0, SetTransitionGraph(-1, 0, 0));
    EXPECT_EQ(0, SetTransitionGraph(-1, 0, 0));
    EXPECT_EQ(-1, SetTransitionGraph(0x08000005, 10, 10));   // empty slot
    EXPECT_EQ(-1, Draw.blendGraph);
    EXPECT_EQ(0, Draw.blendBorderParam);

    int graph = AllocGraphHandle();
    EXPECT_EQ(0, SetTransitionGraph(graph, 300, -4));   // software mode
    EXPECT_EQ(graph, Draw.blendGraph);
    EXPECT_EQ(255, Draw.blendBorderParam);
    EXPECT_EQ(0, Draw.blendBorderSize);
    // The software ramp follows: level 255 with a hard edge passes only 255.
    EXPECT_EQ(0, BlendGraphRamp[254]);
    EXPECT_EQ(1, BlendGraphRamp[255]);
    EXPECT_EQ(0, SetTransitionGraph(graph, 0, 0));
    EXPECT_EQ(255, BlendGraphRamp[0]);

    // Direct3D without a device: stored, then refused.
    Screen.hardware = 1;
    EXPECT_EQ(-1, SetTransitionGraph(-1, 3, 4));
    EXPECT_EQ(-1, Draw.blendGraph);
    EXPECT_EQ(3, Draw.blendBorderParam);
}

TEST_F(DrawStateTest, BlendGraphMustCoverTheDrawnGraph)
{
    int blend = AllocGraphHandle(), drawn = AllocGraphHandle();
    GraphRecord* b = GetGraphRecord(blend);
    GraphRecord* d = GetGraphRecord(drawn);
    b->width = 100;
    b->height = 50;
    d->width = 100;
    d->height = 50;
    EXPECT_EQ(-1, CheckBlendGraphSize(d));   // no blend graph
    Draw.blendGraph = blend;
    EXPECT_EQ(0, CheckBlendGraphSize(d));
    d->height = 51;
    EXPECT_EQ(-1, CheckBlendGraphSize(d));
    d->height = 10;
    d->width = 101;
    EXPECT_EQ(-1, CheckBlendGraphSize(d));
    ReleaseGraphHandle(blend);
    d->width = 10;
    EXPECT_EQ(-1, CheckBlendGraphSize(d));   // stale handle
}

TEST_F(DrawStateTest, TransparentColourIsIgnoredAtEightBits)
{
    EXPECT_EQ(0, SetTransColorRgb(0x1FF, 0x80, 0x301));
    EXPECT_EQ(0x00FF8001u, Draw.create.transColor);
    Screen.depth = 8;
    EXPECT_EQ(0, SetTransColorRgb(1, 2, 3));
    EXPECT_EQ(0x00FF8001u, Draw.create.transColor);
}

TEST_F(DrawStateTest, AccessorsStoreWhatTheyAreGiven)
{
    EXPECT_EQ(1, IsVSyncWaitEnabled());
    EnableVSyncWait(0);
    EXPECT_EQ(1, Draw.noVSync);
    EXPECT_EQ(0, IsVSyncWaitEnabled());
    SetGraphColorDepth(16);
    SetDrawableGraphMode(1);
    SetAlphaTestMode(0);
    SetTransColorKeying(0);
    SetEmptyGraphAlpha(1);
    SetKeepSystemCopy(1);
    SetFilterMode(2);
    EXPECT_EQ(16, GetGraphColorDepth());
    EXPECT_EQ(1, GetDrawableGraphMode());
    EXPECT_EQ(0, GetAlphaTestMode());
    EXPECT_EQ(0, Draw.create.useTransColor);
    EXPECT_EQ(1, GetEmptyGraphAlpha());
    EXPECT_EQ(1, GetKeepSystemCopy());
    EXPECT_EQ(2, GetFilterMode());
    EXPECT_EQ(-2, GetDrawTargetHandle());
}

TEST_F(DrawStateTest, FormatIndexFollowsDepthAlphaAndTargetFlags)
{
    struct Case {
        uint8_t alpha, drawable, compression, alphaTest, depth;
        int index;
    } cases[] = {
        { 0, 0, 0, 0, 16, 0 },  { 0, 0, 0, 0, 32, 1 },  { 1, 0, 0, 1, 16, 2 },  { 1, 0, 0, 0, 32, 3 },
        { 0, 0, 0, 1, 16, 4 },  { 0, 0, 0, 1, 32, 5 },  { 0, 0, 1, 0, 32, 6 },  { 1, 0, 5, 0, 16, 10 },
        { 0, 1, 0, 0, 16, 11 }, { 0, 1, 0, 0, 32, 12 }, { 1, 1, 0, 0, 16, 13 }, { 0, 1, 0, 1, 32, 13 },
    };
    for (const Case& c : cases) {
        GraphFormatDesc desc = {};
        desc.alpha = c.alpha;
        desc.drawable = c.drawable;
        desc.compression = c.compression;
        desc.alphaTest = c.alphaTest;
        desc.colorDepth = c.depth;
        EXPECT_EQ(c.index, GraphFormatIndex(&desc)) << &c - cases;
    }
}

// With a device, the draw area becomes the viewport and scissor rectangle, and
// the projection is corrected so that positions keep their place on the target.
TEST_F(DrawStateTest, DrawAreaReachesTheDeviceWithACorrectedProjection)
{
    TestDevice d;
    if (!d.Open())
        GTEST_SKIP() << "no Direct3D 9 device";
    MakeIdentityMatrix(&Draw.projection);
    MakeViewportMatrix(&Draw.viewport, 320, 240, 640, 480);

    EXPECT_EQ(0, SetClipArea(110, 70, 10, 20));
    D3DVIEWPORT9 viewport;
    d.device->GetViewport(&viewport);
    EXPECT_EQ(10u, viewport.X);
    EXPECT_EQ(20u, viewport.Y);
    EXPECT_EQ(100u, viewport.Width);
    EXPECT_EQ(50u, viewport.Height);
    RECT scissor;
    d.device->GetScissorRect(&scissor);
    EXPECT_EQ(10, scissor.left);
    EXPECT_EQ(20, scissor.top);
    EXPECT_EQ(110, scissor.right);
    EXPECT_EQ(70, scissor.bottom);

    // A projected point (x, y) lies at pixel (320 + 320x, 240 - 240y); in the
    // area's own -1..1 range that is ((pixel x - 60) / 50, -(pixel y - 45) / 25).
    D3DMATRIX sent;
    d.device->GetTransform(D3DTS_PROJECTION, &sent);
    const float expected[16] = { 6.4f, 0, 0, 0, 0, 9.6f, 0, 0, 0, 0, 1, 0, 5.2f, -7.8f, 0, 1 };
    for (int i = 0; i < 16; i++)
        EXPECT_NEAR(expected[i], (&sent._11)[i], 1e-4f) << i;
    EXPECT_EQ(1, Draw.projectionSet);

    // An empty area touches no device state.
    EXPECT_EQ(0, SetClipArea(30, 30, 30, 40));
    d.device->GetViewport(&viewport);
    EXPECT_EQ(10u, viewport.X);
    EXPECT_EQ(100u, viewport.Width);
    d.Close();
}

TEST_F(DrawStateTest, TransitionGraphWithoutTexturesIsRefusedUnderDirect3D)
{
    TestDevice d;
    if (!d.Open())
        GTEST_SKIP() << "no Direct3D 9 device";
    int graph = AllocGraphHandle();   // no image: a software-made graph
    EXPECT_EQ(-1, SetTransitionGraph(graph, 0, 0));
    EXPECT_EQ(graph, Draw.blendGraph);
    EXPECT_EQ(0, SetTransitionGraph(-1, 0, 0));
    d.Close();
}
