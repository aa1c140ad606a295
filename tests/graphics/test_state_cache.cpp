#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "graphics/device.h"
#include "graphics/draw_state.h"
#include "graphics/pipeline_inputs.h"
#include "graphics/state_cache.h"
#include "graphics/vertex_batch.h"
#include "tests/graphics/recording_device.h"

namespace {

DWORD Bits(float f)
{
    DWORD d;
    memcpy(&d, &f, sizeof d);
    return d;
}

class StateCacheTest : public testing::Test {
protected:
    RecordingDevice device;
    void SetUp() override
    {
        InstallRecordingDevice(&device);
        Screen.width = 640;
        Screen.height = 480;
    }
    void TearDown() override { RemoveRecordingDevice(); }

    // The defaults set, the starting point queued and drawn, nothing recorded.
    void StartClean()
    {
        SetDefaultRenderStates();
        FlushVertexBuffer();
        device.Forget();
    }

    void QueueTriangle() { ASSERT_NE(AppendVertices(D3DPT_TRIANGLELIST, 3, 0), nullptr); }

    DWORD Effective(D3DRENDERSTATETYPE state)
    {
        DWORD v = 0xDEADBEEF;
        EXPECT_TRUE(device.LastRenderState(state, &v)) << "render state " << state << " never sent";
        return v;
    }
    DWORD EffectiveSampler(DWORD stage, D3DSAMPLERSTATETYPE type)
    {
        DWORD v = 0xDEADBEEF;
        EXPECT_TRUE(device.LastSamplerState(stage, type, &v)) << "sampler " << stage << " state " << type;
        return v;
    }
};

TEST_F(StateCacheTest, ASetterSendsAChangeOnceAfterFlushingAndAnUnchangedValueNotAtAll)
{
    StartClean();
    struct Case {
        const char* name;
        int (*set)(int);
        int value;
        D3DRENDERSTATETYPE state;
        DWORD sent;
    } cases[] = {
        {"Z enable 1", SetZEnable, 1, D3DRS_ZENABLE, TRUE},
        {"Z enable 2", SetZEnable, 2, D3DRS_ZENABLE, FALSE},
        {"Z write", SetZWriteEnable, 1, D3DRS_ZWRITEENABLE, 1},
        {"Z function", SetZFunc, 7, D3DRS_ZFUNC, 7},
        {"depth bias", SetDepthBias, 5, D3DRS_DEPTHBIAS, 5},
        {"cull 2", SetCullMode, 2, D3DRS_CULLMODE, D3DCULL_CW},
        {"cull 7", SetCullMode, 7, D3DRS_CULLMODE, D3DCULL_CCW},
        {"cull 0", SetCullMode, 0, D3DRS_CULLMODE, D3DCULL_NONE},
        {"shade", SetShadeModeCached, 2, D3DRS_SHADEMODE, 2},
        {"fill", SetFillModeCached, 2, D3DRS_FILLMODE, 2},
    };
    for (const Case& c : cases) {
        device.Forget();
        QueueTriangle();
        EXPECT_EQ(c.set(c.value), 0) << c.name;
        ASSERT_EQ(device.calls.size(), 2u) << c.name;   // the queued draw, then the state
        EXPECT_EQ(device.calls[0].kind, CALL_DRAW_UP) << c.name;
        EXPECT_EQ(device.calls[1].kind, CALL_RENDER_STATE) << c.name;
        EXPECT_EQ(device.calls[1].a, (DWORD)c.state) << c.name;
        EXPECT_EQ(device.calls[1].b, c.sent) << c.name;

        device.Forget();
        QueueTriangle();
        EXPECT_EQ(c.set(c.value), 0) << c.name;
        EXPECT_TRUE(device.calls.empty()) << c.name;
        EXPECT_EQ(VertexBatch.count, 3) << c.name;
        FlushVertexBuffer();
    }
    EXPECT_EQ(DeviceStateCache.cullMode, 0);
    SetCullMode(7);
    EXPECT_EQ(DeviceStateCache.cullMode, 7);
}

TEST_F(StateCacheTest, WithoutDeviceSettersChangeNothing)
{
    DeviceObjects.device = nullptr;
    EXPECT_EQ(SetZEnable(1), -1);
    EXPECT_EQ(SetTextureFilter(1), -1);
    EXPECT_EQ(SetMaxAnisotropy(4), -1);
    EXPECT_EQ(SetCullMode(2), 0);
    EXPECT_EQ(SetTextureAddress(0, 1), 0);
    EXPECT_EQ(SetViewportFromRect(0, 0, 10, 10), -1);
    EXPECT_EQ(ReapplyAllStates(), -1);
    EXPECT_EQ(DeviceStateCache.zEnable, 0);
    EXPECT_EQ(DeviceStateCache.cullMode, 0);
    EXPECT_TRUE(device.calls.empty());
}

TEST_F(StateCacheTest, TextureFilterSetsEachActiveStage)
{
    struct Case { int mode; DWORD mag, min, mip; } cases[] = {
        {1, D3DTEXF_LINEAR, D3DTEXF_LINEAR, D3DTEXF_NONE},
        {2, D3DTEXF_LINEAR, D3DTEXF_ANISOTROPIC, D3DTEXF_LINEAR},
        {0, D3DTEXF_POINT, D3DTEXF_POINT, D3DTEXF_NONE},
    };
    SetDefaultRenderStates();   // every stage's filters on the record
    FlushVertexBuffer();
    DeviceStateCache.stageCount = 2;
    size_t mark = device.calls.size();
    for (const Case& c : cases) {
        EXPECT_EQ(SetTextureFilter(c.mode), 0);
        for (DWORD stage = 0; stage < 2; stage++) {
            EXPECT_EQ(EffectiveSampler(stage, D3DSAMP_MAGFILTER), c.mag) << c.mode;
            EXPECT_EQ(EffectiveSampler(stage, D3DSAMP_MINFILTER), c.min) << c.mode;
            EXPECT_EQ(EffectiveSampler(stage, D3DSAMP_MIPFILTER), c.mip) << c.mode;
        }
    }
    for (size_t i = mark; i < device.calls.size(); i++) {
        EXPECT_EQ(device.calls[i].kind, CALL_SAMPLER_STATE);
        EXPECT_LT(device.calls[i].a, 2u) << "only the active stages";
    }
}

TEST_F(StateCacheTest, AnUnknownFilterFlushesAndIsRefused)
{
    StartClean();
    DeviceStateCache.stageCount = 1;
    QueueTriangle();
    EXPECT_EQ(SetTextureFilter(5), -1);
    EXPECT_EQ(device.Count(CALL_DRAW_UP), 1u);
    EXPECT_EQ(device.Count(CALL_SAMPLER_STATE), 0u);
    EXPECT_EQ(DeviceStateCache.filterMode, 0);
}

TEST_F(StateCacheTest, AnisotropyIsAtLeastOne)
{
    StartClean();
    DeviceStateCache.stageCount = 2;
    EXPECT_EQ(SetMaxAnisotropy(4), 0);
    EXPECT_EQ(EffectiveSampler(1, D3DSAMP_MAXANISOTROPY), 4u);
    device.Forget();
    EXPECT_EQ(SetMaxAnisotropy(0), 0);
    EXPECT_EQ(EffectiveSampler(0, D3DSAMP_MAXANISOTROPY), 1u);
    EXPECT_EQ(EffectiveSampler(1, D3DSAMP_MAXANISOTROPY), 1u);
    // 0 differs from the cached 1: the batch is flushed, but every stage is at 1.
    device.Forget();
    QueueTriangle();
    EXPECT_EQ(SetMaxAnisotropy(0), 0);
    EXPECT_EQ(device.Count(CALL_DRAW_UP), 1u);
    EXPECT_EQ(device.Count(CALL_SAMPLER_STATE), 0u);
}

TEST_F(StateCacheTest, TextureAddressForOneStageOrAll)
{
    StartClean();
    EXPECT_EQ(SetTextureAddress(9, 3), -1);
    EXPECT_EQ(SetTextureAddress(-2, 3), -1);
    QueueTriangle();
    EXPECT_EQ(SetTextureAddress(-1, 3), 0);   // the defaults clamp every stage
    EXPECT_TRUE(device.calls.empty());

    EXPECT_EQ(SetTextureAddress(-1, D3DTADDRESS_WRAP), 0);
    auto sent = device.Of(CALL_SAMPLER_STATE);
    ASSERT_EQ(sent.size(), 24u);
    EXPECT_EQ(device.calls[0].kind, CALL_DRAW_UP);
    for (int i = 0; i < 24; i++) {
        EXPECT_EQ(sent[i].a, (DWORD)(7 - i / 3));
        EXPECT_EQ(sent[i].b, (DWORD)(D3DSAMP_ADDRESSU + i % 3));
        EXPECT_EQ(sent[i].c, (DWORD)D3DTADDRESS_WRAP);
    }

    device.Forget();
    EXPECT_EQ(SetTextureAddressV(2, D3DTADDRESS_MIRROR), 0);
    ASSERT_EQ(device.calls.size(), 1u);
    EXPECT_EQ(device.calls[0].b, (DWORD)D3DSAMP_ADDRESSV);
    EXPECT_EQ(DeviceStateCache.stages[2].addressU, D3DTADDRESS_WRAP);
    EXPECT_EQ(DeviceStateCache.stages[2].addressV, D3DTADDRESS_MIRROR);

    device.samplerResult = D3DERR_INVALIDCALL;
    EXPECT_EQ(SetTextureAddressW(4, D3DTADDRESS_BORDER), -1);
}

TEST_F(StateCacheTest, ViewportAndScissorChangesCloseAnOpenScene)
{
    StartClean();
    DeviceObjects.inScene = 1;
    QueueTriangle();
    EXPECT_EQ(SetViewportFromRect(10, 20, 110, 70), 0);
    ASSERT_EQ(device.calls.size(), 3u);
    EXPECT_EQ(device.calls[0].kind, CALL_DRAW_UP);
    EXPECT_EQ(device.calls[1].kind, CALL_END_SCENE);
    EXPECT_EQ(device.calls[2].kind, CALL_VIEWPORT);
    const D3DVIEWPORT9& v = device.calls[2].viewport;
    EXPECT_EQ(v.X, 10u);
    EXPECT_EQ(v.Y, 20u);
    EXPECT_EQ(v.Width, 100u);
    EXPECT_EQ(v.Height, 50u);
    EXPECT_EQ(v.MinZ, 0.0f);
    EXPECT_EQ(v.MaxZ, 1.0f);
    EXPECT_EQ(DeviceObjects.inScene, 0);

    // Only position and size are compared.
    device.Forget();
    D3DVIEWPORT9 same = {10, 20, 100, 50, 0.5f, 0.7f};
    EXPECT_EQ(SetViewportRect(&same), 0);
    EXPECT_TRUE(device.calls.empty());

    DeviceObjects.inScene = 1;
    RECT r = {1, 2, 3, 4};
    EXPECT_EQ(SetScissorRectCached(&r), 0);
    ASSERT_EQ(device.calls.size(), 2u);
    EXPECT_EQ(device.calls[0].kind, CALL_END_SCENE);
    EXPECT_EQ(device.calls[1].kind, CALL_SCISSOR);
    EXPECT_TRUE(EqualRect(&device.calls[1].rect, &r));
    device.Forget();
    EXPECT_EQ(SetScissorRectCached(&r), 0);
    EXPECT_TRUE(device.calls.empty());
}

TEST_F(StateCacheTest, AFailedViewportLeavesTheCache)
{
    StartClean();
    device.viewportResult = D3DERR_INVALIDCALL;
    EXPECT_EQ(SetViewportFromRect(0, 0, 32, 32), -1);
    EXPECT_EQ(DeviceStateCache.viewport.Width, 640u);
    EXPECT_EQ(SetViewportFromRect(50, 0, 10, 10), -1);   // reversed corners
    device.viewportResult = D3D_OK;
    device.Forget();
    EXPECT_EQ(SetViewportFromRect(0, 0, 32, 32), 0);
    EXPECT_EQ(device.Count(CALL_VIEWPORT), 1u);
}

TEST_F(StateCacheTest, TexCoordTransformFlagsFollowTheEnable)
{
    StartClean();
    float m[16] = {};
    m[0] = m[5] = m[10] = m[15] = 1.0f;
    EXPECT_EQ(SetTexCoordTransform(1, 0, m), 0);
    EXPECT_TRUE(device.calls.empty());
    EXPECT_EQ(SetTexCoordTransform(1, 1, m), 0);
    DWORD flags;
    ASSERT_TRUE(device.LastStageState(1, D3DTSS_TEXTURETRANSFORMFLAGS, &flags));
    EXPECT_EQ(flags, (DWORD)D3DTTFF_COUNT3);
    ASSERT_EQ(device.Count(CALL_TRANSFORM), 1u);
    EXPECT_EQ(device.Of(CALL_TRANSFORM)[0].a, (DWORD)D3DTS_TEXTURE1);
    device.Forget();
    EXPECT_EQ(SetTexCoordTransform(1, 1, m), 0);     // flags already on: only the matrix
    EXPECT_EQ(device.Count(CALL_TEXTURE_STAGE_STATE), 0u);
    EXPECT_EQ(device.Count(CALL_TRANSFORM), 1u);
    EXPECT_EQ(SetTexCoordTransform(1, 0, m), 0);
    ASSERT_TRUE(device.LastStageState(1, D3DTSS_TEXTURETRANSFORMFLAGS, &flags));
    EXPECT_EQ(flags, (DWORD)D3DTTFF_DISABLE);
    device.Forget();
    EXPECT_EQ(SetTexCoordTransform(-1, 1, m), 0);
    EXPECT_EQ(device.Count(CALL_TRANSFORM), 4u);
    EXPECT_EQ(SetTexCoordTransform(0, 1, nullptr), -1);
}

TEST_F(StateCacheTest, DefaultsSendTheListedStates)
{
    Draw.addressV[5] = 0;                  // unset: becomes clamp
    Draw.addressU[6] = D3DTADDRESS_WRAP;
    SetDefaultRenderStates();

    struct Expected { D3DRENDERSTATETYPE state; DWORD value; } direct[] = {
        {D3DRS_CULLMODE, D3DCULL_NONE}, {D3DRS_LIGHTING, TRUE}, {D3DRS_SHADEMODE, D3DSHADE_FLAT},
        {D3DRS_DITHERENABLE, FALSE}, {D3DRS_SPECULARENABLE, TRUE}, {D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL},
        {D3DRS_NORMALIZENORMALS, TRUE}, {D3DRS_FOGENABLE, FALSE}, {D3DRS_FOGVERTEXMODE, D3DFOG_NONE},
        {D3DRS_FOGCOLOR, 0}, {D3DRS_FOGSTART, Bits(0.0f)}, {D3DRS_FOGEND, Bits(1.0f)},
    };
    auto states = device.Of(CALL_RENDER_STATE);
    ASSERT_GE(states.size(), 12u);
    for (size_t i = 0; i < 12; i++) {
        EXPECT_EQ(states[i].a, (DWORD)direct[i].state) << i;
        EXPECT_EQ(states[i].b, direct[i].value) << i;
    }
    for (DWORD stage = 0; stage < 8; stage++) {
        DWORD u = stage == 6 ? D3DTADDRESS_WRAP : D3DTADDRESS_CLAMP;
        EXPECT_EQ(EffectiveSampler(stage, D3DSAMP_ADDRESSU), u) << stage;
        EXPECT_EQ(EffectiveSampler(stage, D3DSAMP_ADDRESSV), (DWORD)D3DTADDRESS_CLAMP) << stage;
        EXPECT_EQ(EffectiveSampler(stage, D3DSAMP_ADDRESSW), (DWORD)D3DTADDRESS_CLAMP) << stage;
        EXPECT_EQ(EffectiveSampler(stage, D3DSAMP_MAGFILTER), (DWORD)D3DTEXF_POINT) << stage;
        EXPECT_EQ(EffectiveSampler(stage, D3DSAMP_MINFILTER), (DWORD)D3DTEXF_POINT) << stage;
        EXPECT_EQ(EffectiveSampler(stage, D3DSAMP_MIPFILTER), (DWORD)D3DTEXF_NONE) << stage;
    }
    EXPECT_EQ(Draw.addressV[5], D3DTADDRESS_CLAMP);

    // The 2D states: no depth test, the whole screen, a scene open, and the
    // starting point queued.
    EXPECT_EQ(Effective(D3DRS_ZENABLE), (DWORD)FALSE);
    auto viewports = device.Of(CALL_VIEWPORT);
    ASSERT_FALSE(viewports.empty());
    EXPECT_EQ(viewports.back().viewport.Width, 640u);
    EXPECT_EQ(viewports.back().viewport.Height, 480u);
    RECT screen = {0, 0, 640, 480};
    ASSERT_FALSE(device.Of(CALL_SCISSOR).empty());
    EXPECT_TRUE(EqualRect(&device.Of(CALL_SCISSOR).back().rect, &screen));
    EXPECT_EQ(device.Count(CALL_BEGIN_SCENE), 1u);
    EXPECT_EQ(DeviceObjects.inScene, 1);
    // The first per-draw set-up brought the filter to the draw state's.
    EXPECT_EQ(DeviceStateCache.filterMode, 0);
    EXPECT_EQ(VertexBatch.count, 1);
    EXPECT_EQ(VertexBatch.primitiveType, D3DPT_POINTLIST);
    EXPECT_EQ(VertexBatch.plain[0].x, 0.0f);
    EXPECT_EQ(VertexBatch.plain[0].rhw, 1.0f);
    EXPECT_EQ(VertexBatch.blend[100].specular, 0xFFFFFFFFu);
    EXPECT_EQ(DrawVertexColor(), 0xFFFFFFFFu);
    EXPECT_EQ(device.Count(CALL_DRAW_UP), 0u);
}

TEST_F(StateCacheTest, DefaultsKeepAnisotropicFilteringOffTheMipFilter)
{
    // A device re-created with anisotropic filtering in the cache.
    DeviceStateCache.filterMode = 2;
    Draw.filterMode = 2;
    SetDefaultRenderStates();
    for (DWORD stage = 0; stage < 8; stage++) {
        EXPECT_EQ(EffectiveSampler(stage, D3DSAMP_MAGFILTER), (DWORD)D3DTEXF_LINEAR) << stage;
        EXPECT_EQ(EffectiveSampler(stage, D3DSAMP_MINFILTER), (DWORD)D3DTEXF_ANISOTROPIC) << stage;
        EXPECT_EQ(EffectiveSampler(stage, D3DSAMP_MIPFILTER), (DWORD)D3DTEXF_LINEAR) << stage;
    }
    for (const DeviceCall& c : device.Of(CALL_SAMPLER_STATE)) {
        if (c.b == D3DSAMP_MIPFILTER) {
            EXPECT_NE(c.c, (DWORD)D3DTEXF_ANISOTROPIC);
        }
    }
}

TEST_F(StateCacheTest, ReapplySendsEveryCachedStateAgain)
{
    StartClean();
    SetCullMode(2);
    SetZFunc(D3DCMP_ALWAYS);
    SetTextureFilter(1);
    SetTextureAddress(3, D3DTADDRESS_MIRROR);
    Draw.area = RECT{10, 20, 300, 200};
    QueueTriangle();
    device.Forget();

    EXPECT_EQ(ReapplyAllStates(), 0);
    ASSERT_FALSE(device.calls.empty());
    EXPECT_EQ(device.calls[0].kind, CALL_RENDER_STATE);
    EXPECT_EQ(device.calls[0].a, (DWORD)D3DRS_DITHERENABLE);
    EXPECT_EQ(device.calls[0].b, (DWORD)FALSE);
    EXPECT_EQ(device.Count(CALL_DRAW_UP), 0u);   // the queued triangle was discarded

    EXPECT_EQ(Effective(D3DRS_CULLMODE), (DWORD)D3DCULL_CW);
    EXPECT_EQ(Effective(D3DRS_SHADEMODE), (DWORD)D3DSHADE_FLAT);
    EXPECT_EQ(Effective(D3DRS_ZENABLE), (DWORD)FALSE);
    EXPECT_EQ(Effective(D3DRS_ZWRITEENABLE), 0u);
    EXPECT_EQ(Effective(D3DRS_ZFUNC), (DWORD)D3DCMP_ALWAYS);
    EXPECT_EQ(Effective(D3DRS_DEPTHBIAS), 0u);
    EXPECT_EQ(Effective(D3DRS_FILLMODE), (DWORD)D3DFILL_SOLID);
    EXPECT_EQ(Effective(D3DRS_ALPHABLENDENABLE), (DWORD)FALSE);
    EXPECT_EQ(Effective(D3DRS_BLENDOP), (DWORD)D3DBLENDOP_ADD);
    for (DWORD stage = 0; stage < 8; stage++) {
        DWORD mode = stage == 3 ? D3DTADDRESS_MIRROR : D3DTADDRESS_CLAMP;
        EXPECT_EQ(EffectiveSampler(stage, D3DSAMP_ADDRESSU), mode) << stage;
        EXPECT_EQ(EffectiveSampler(stage, D3DSAMP_ADDRESSV), mode) << stage;
        EXPECT_EQ(EffectiveSampler(stage, D3DSAMP_ADDRESSW), mode) << stage;
        bool indexed = false;
        for (const DeviceCall& c : device.Of(CALL_TEXTURE_STAGE_STATE))
            indexed = indexed || (c.a == stage && c.b == D3DTSS_TEXCOORDINDEX && c.c == stage);
        EXPECT_TRUE(indexed) << stage;
    }
    EXPECT_EQ(EffectiveSampler(0, D3DSAMP_MAGFILTER), (DWORD)D3DTEXF_LINEAR);
    DWORD op;
    ASSERT_TRUE(device.LastStageState(0, D3DTSS_COLOROP, &op));
    EXPECT_EQ(op, (DWORD)D3DTOP_SELECTARG2);
    ASSERT_TRUE(device.LastStageState(1, D3DTSS_COLOROP, &op));
    EXPECT_EQ(op, (DWORD)D3DTOP_DISABLE);

    auto viewports = device.Of(CALL_VIEWPORT);
    ASSERT_EQ(viewports.size(), 1u);
    EXPECT_EQ(viewports[0].viewport.X, 10u);
    EXPECT_EQ(viewports[0].viewport.Y, 20u);
    EXPECT_EQ(viewports[0].viewport.Width, 290u);
    EXPECT_EQ(viewports[0].viewport.Height, 180u);
    auto scissors = device.Of(CALL_SCISSOR);
    ASSERT_EQ(scissors.size(), 1u);
    RECT area = {10, 20, 300, 200};
    EXPECT_TRUE(EqualRect(&scissors[0].rect, &area));

    // The force flag is down again.
    device.Forget();
    EXPECT_EQ(SetCullMode(2), 0);
    EXPECT_TRUE(device.calls.empty());
}

}  // namespace
