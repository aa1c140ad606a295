#include <gtest/gtest.h>

#include <vector>

#include "graphics/blend_modes.h"
#include "graphics/device.h"
#include "graphics/draw_state.h"
#include "graphics/graph_record.h"
#include "graphics/pipeline_inputs.h"
#include "graphics/state_cache.h"
#include "graphics/vertex_batch.h"
#include "tests/graphics/recording_device.h"

namespace {

// Texture-stage arguments and operations, written out as numbers.
const int K = -1, DIF = 0, CUR = 1, TEX = 2, TFA = 3, SPE = 4, ITEX = 0x12, IDIF = 0x10;
const int DIS = 1, S1 = 2, S2 = 3, MOD = 4, MOD2 = 5, MOD4 = 6, ADD = 7, SUB = 10, BDA = 12, BCA = 16;

struct ExpectedStage {
    int index, aop, a1, a2, cop, c1, c2;
};

struct ExpectedProgram {
    int row;
    int count;
    ExpectedStage stages[4];
};

void CheckProgram(const StageProgram* p, int count, const ExpectedStage* stages, const char* what)
{
    ASSERT_NE(p, nullptr) << what;
    EXPECT_EQ((int)p->stages[0].slot, count) << what;
    for (int k = 0; k < count; k++) {
        const StageEntry& e = p->stages[k];
        const ExpectedStage& x = stages[k];
        EXPECT_EQ(e.texCoordIndex, x.index) << what << " stage " << k;
        EXPECT_EQ(e.resultToTemp, 0) << what << " stage " << k;
        EXPECT_EQ(e.alphaOp, x.aop) << what << " stage " << k;
        EXPECT_EQ(e.alphaArg1, x.a1) << what << " stage " << k;
        EXPECT_EQ(e.alphaArg2, x.a2) << what << " stage " << k;
        EXPECT_EQ(e.colorOp, x.cop) << what << " stage " << k;
        EXPECT_EQ(e.colorArg1, x.c1) << what << " stage " << k;
        EXPECT_EQ(e.colorArg2, x.c2) << what << " stage " << k;
    }
}

TEST(StagePrograms, RowsHoldTheirStageOperations)
{
    const ExpectedStage blend0 = {0, ADD, TEX, TFA, S2, K, DIF};
    const ExpectedProgram rows[] = {
        {0, 1, {{0, S2, K, DIF, S1, TEX, K}}},
        {1, 1, {{0, S1, TEX, K, S1, TEX, K}}},
        {2, 1, {{0, S1, TEX, K, S1, TEX, K}}},
        {3, 1, {{0, S2, K, DIF, S1, TEX, K}}},
        {4, 1, {{0, MOD, TEX, DIF, S1, TEX, K}}},
        {5, 1, {{0, MOD, TEX, DIF, S1, TEX, K}}},
        {6, 1, {{0, S2, K, DIF, MOD, TEX, DIF}}},
        {7, 1, {{0, S1, TEX, K, MOD, TEX, DIF}}},
        {8, 1, {{0, S1, TEX, K, MOD, TEX, DIF}}},
        {9, 1, {{0, S2, K, DIF, MOD, TEX, DIF}}},
        {10, 1, {{0, MOD, TEX, DIF, MOD, TEX, DIF}}},
        {11, 1, {{0, MOD, TEX, DIF, MOD, TEX, DIF}}},
        {12, 2, {blend0, {1, MOD, CUR, DIF, S1, TEX, K}}},
        {13, 3, {blend0, {1, MOD, SPE, CUR, S1, CUR, K}, {1, MOD, TEX, CUR, S1, TEX, K}}},
        {14, 2, {blend0, {1, MOD, TEX, CUR, S1, TEX, K}}},
        {15, 2, {blend0, {1, MOD, DIF, CUR, S1, TEX, K}}},
        {16, 4, {blend0, {1, MOD, SPE, CUR, S1, CUR, K}, {1, MOD, TEX, CUR, S1, TEX, K}, {0, MOD, DIF, CUR, S1, CUR, K}}},
        {17, 3, {blend0, {1, MOD, TEX, CUR, S1, TEX, K}, {1, MOD, DIF, CUR, S1, CUR, K}}},
        {18, 2, {blend0, {1, MOD, CUR, DIF, MOD, TEX, DIF}}},
        {19, 3, {blend0, {1, MOD, SPE, CUR, S1, CUR, K}, {1, MOD, TEX, CUR, MOD, TEX, DIF}}},
        {20, 2, {blend0, {1, MOD, TEX, CUR, MOD, TEX, DIF}}},
        {21, 2, {blend0, {1, MOD, DIF, CUR, MOD, TEX, DIF}}},
        {22, 4, {blend0, {1, MOD, SPE, CUR, S1, CUR, K}, {1, MOD, TEX, CUR, MOD, TEX, DIF}, {0, MOD, DIF, CUR, S1, CUR, K}}},
        {23, 3, {blend0, {1, MOD, TEX, CUR, MOD, TEX, DIF}, {1, MOD, DIF, CUR, S1, CUR, K}}},
        {24, 2, {{0, S2, K, DIF, S1, TEX, K}, {1, S1, CUR, K, BCA, CUR, TFA}}},
        {28, 2, {{0, MOD, TEX, DIF, S1, TEX, K}, {1, S1, CUR, K, BCA, CUR, TFA}}},
        {35, 2, {{0, MOD, TEX, DIF, MOD, TEX, DIF}, {1, S1, CUR, K, BCA, CUR, TFA}}},
        {48, 1, {{0, S2, K, DIF, S1, ITEX, K}}},
        {52, 1, {{0, MOD, TEX, DIF, S1, ITEX, K}}},
        {56, 1, {{0, S1, TEX, K, MOD, ITEX, DIF}}},
        {59, 1, {{0, MOD, TEX, DIF, MOD, ITEX, DIF}}},
    };
    for (const ExpectedProgram& r : rows) {
        std::string what = "row " + std::to_string(r.row);
        const StageProgram* p = StageProgramRow(r.row);
        CheckProgram(p, r.count, r.stages, what.c_str());
        if (!p)
            continue;
        // The stage after the last active one switches the rest off.
        if (r.count < STAGE_PROGRAM_STAGES) {
            EXPECT_EQ(p->stages[r.count].alphaOp, DIS) << what;
            EXPECT_EQ(p->stages[r.count].colorOp, DIS) << what;
            EXPECT_EQ(p->stages[r.count].alphaArg1, K) << what;
            EXPECT_EQ(p->stages[r.count].texCoordIndex, K) << what;
        }
    }
    for (int row : {-1, 36, 47, 60})
        EXPECT_EQ(StageProgramRow(row), nullptr) << row;
}

TEST(StagePrograms, UntexturedProgramsByFamily)
{
    const ExpectedStage off = {0, DIS, DIF, DIF, DIS, DIF, DIF};
    const ExpectedStage plain[3][2] = {
        {{0, S2, DIF, DIF, S2, DIF, DIF}, off},
        {{0, S2, DIF, DIF, BDA, DIF, TFA}, off},
        {{0, S2, DIF, DIF, S1, IDIF, DIF}, off},
    };
    for (int selector = 0; selector < 3; selector++) {
        const StageProgram* p = UntexturedStageProgram(selector);
        CheckProgram(p, 1, plain[selector], "untextured");
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->stages[1].alphaOp, DIS);
        EXPECT_EQ(p->stages[1].colorOp, DIS);
        EXPECT_EQ(p->stages[1].colorArg1, DIF);
        EXPECT_EQ(p->stages[1].texCoordIndex, 0);
    }
    EXPECT_EQ(UntexturedStageProgram(3), nullptr);
    const ExpectedStage subtract[] = {{0, S2, K, DIF, S1, DIF, K}};
    const StageProgram* p = SubtractUntexturedProgram();
    CheckProgram(p, 1, subtract, "mode 3");
    EXPECT_EQ(p->stages[1].alphaOp, DIS);
    EXPECT_EQ(p->stages[1].colorOp, DIS);
    EXPECT_EQ(p->stages[1].texCoordIndex, 0);
}

// ---------------------------------------------------------------------------

IDirect3DBaseTexture9* FakeTexture(int n)
{
    static char textures[4];
    return reinterpret_cast<IDirect3DBaseTexture9*>(&textures[n]);
}

// A texture graph's format descriptor with its transparency bytes.
struct Descriptor {
    GraphFormatDesc desc = {};
    Descriptor(int alpha, int alphaTest)
    {
        desc.texture = 1;
        desc.alpha = (uint8_t)alpha;
        desc.alphaTest = (uint8_t)alphaTest;
        desc.colorDepth = 32;
    }
    const GraphFormatDesc* get() const { return &desc; }
};

class BlendStatesTest : public testing::Test {
protected:
    RecordingDevice device;
    size_t mark = 0;

    void Start(int blendOp = 1)
    {
        InstallRecordingDevice(&device, blendOp);
        Screen.width = 640;
        Screen.height = 480;
        SetDefaultRenderStates();
        FlushVertexBuffer();
        mark = device.calls.size();
    }
    void SetUp() override { Start(); }
    void TearDown() override { RemoveRecordingDevice(); }

    // The device's value of a state, from every call since the defaults.
    DWORD Effective(D3DRENDERSTATETYPE state)
    {
        DWORD v = 0xDEADBEEF;
        EXPECT_TRUE(device.LastRenderState(state, &v)) << "render state " << state;
        return v;
    }
    DWORD Stage(DWORD stage, D3DTEXTURESTAGESTATETYPE type)
    {
        DWORD v = 0xDEADBEEF;
        EXPECT_TRUE(device.LastStageState(stage, type, &v)) << "stage " << stage << " state " << type;
        return v;
    }
    bool SentSinceMark(D3DRENDERSTATETYPE state)
    {
        for (size_t i = mark; i < device.calls.size(); i++)
            if (device.calls[i].kind == CALL_RENDER_STATE && device.calls[i].a == (DWORD)state)
                return true;
        return false;
    }
    IDirect3DBaseTexture9* BoundTexture(DWORD stage)
    {
        IDirect3DBaseTexture9* bound = nullptr;
        for (const DeviceCall& c : device.Of(CALL_TEXTURE))
            if (c.a == stage)
                bound = (IDirect3DBaseTexture9*)c.pointer;
        return bound;
    }
};

TEST_F(BlendStatesTest, EachModeSetsItsBlendFactorsAndOperation)
{
    // destination, source, operation, blending; -1: left as it was.
    struct Row { int dest, src, op, enable; } table[BLEND_MODE_COUNT] = {
        {-1, -1, 1, 0}, {6, 5, 1, 1}, {2, 5, 1, 1}, {1, 10, 1, 1}, {3, 1, 1, 1},
        {2, 5, 1, 1}, {-1, -1, 1, 0}, {-1, -1, 1, 1}, {2, 1, 1, 1}, {1, 10, 1, 1},
        {6, 5, 1, 1}, {3, 1, 1, 1}, {2, 5, 3, 1},
    };
    for (int blendOp = 0; blendOp < 2; blendOp++) {
        for (int mode = 0; mode < BLEND_MODE_COUNT; mode++) {
            Start(blendOp);
            Row x = table[mode];
            if (mode == 3 && blendOp)
                x = {2, 5, 3, 1};   // a true subtraction
            Draw.blendMode = mode;
            for (int textured = 0; textured < 2; textured++) {
                Descriptor plain(0, 0);
                SetDrawBlendStates(textured ? plain.get() : nullptr, textured ? FakeTexture(0) : nullptr, 1);
                std::string what = "mode " + std::to_string(mode) + " blend-op " + std::to_string(blendOp) +
                                   (textured ? " textured" : " untextured");
                if (x.dest == -1) {
                    EXPECT_FALSE(SentSinceMark(D3DRS_DESTBLEND)) << what;
                } else {
                    EXPECT_EQ(Effective(D3DRS_DESTBLEND), (DWORD)x.dest) << what;
                }
                if (x.src == -1) {
                    EXPECT_FALSE(SentSinceMark(D3DRS_SRCBLEND)) << what;
                } else {
                    EXPECT_EQ(Effective(D3DRS_SRCBLEND), (DWORD)x.src) << what;
                }
                EXPECT_EQ(Effective(D3DRS_BLENDOP), (DWORD)x.op) << what;
                EXPECT_EQ(Effective(D3DRS_ALPHABLENDENABLE), (DWORD)x.enable) << what;
            }
        }
    }
}

TEST_F(BlendStatesTest, DrawsSelectTheirStageProgram)
{
    // mode, brightness, flags, descriptor (alpha, one-bit alpha); stage 0
    // alpha op and arg 1, colour op and arg 1, stage 1 colour op.
    struct Case {
        int mode;
        unsigned int brightness;
        int flags, alpha, alphaTest;
        int aop, a1, cop, c1, cop1;
    } cases[] = {
        {0, 0xFFFFFF, 1, 0, 0, S2, K, S1, TEX, DIS},         // row 0
        {0, 0xFFFFFF, 1, 1, 0, S1, TEX, S1, TEX, DIS},       // row 1
        {0, 0xFFFFFF, 1, 0, 1, S1, TEX, S1, TEX, DIS},       // row 2
        {0, 0xFFFFFF, 0x41, 1, 0, MOD, TEX, S1, TEX, DIS},   // row 4
        {0, 0xFFFFFE, 1, 0, 0, S2, K, MOD, TEX, DIS},        // row 6
        {0, 0xFFFFFF, 0x21, 1, 0, S1, TEX, MOD, TEX, DIS},   // row 7
        {1, 0xFFFFFF, 1, 1, 0, MOD, TEX, S1, TEX, DIS},      // row 4
        {11, 0xFFFFFF, 1, 0, 0, S2, K, S1, TEX, BCA},        // row 27
        {10, 0x808080, 1, 1, 0, MOD, TEX, MOD, ITEX, DIS},   // row 58
    };
    for (const Case& c : cases) {
        Start();
        Draw.blendMode = c.mode;
        Draw.brightness = c.brightness;
        Descriptor d(c.alpha, c.alphaTest);
        SetDrawBlendStates(d.get(), FakeTexture(1), c.flags);
        std::string what = "mode " + std::to_string(c.mode) + " flags " + std::to_string(c.flags);
        EXPECT_EQ(Stage(0, D3DTSS_ALPHAOP), (DWORD)c.aop) << what;
        if (c.a1 != K) {
            EXPECT_EQ(Stage(0, D3DTSS_ALPHAARG1), (DWORD)c.a1) << what;
        }
        EXPECT_EQ(Stage(0, D3DTSS_COLOROP), (DWORD)c.cop) << what;
        EXPECT_EQ(Stage(0, D3DTSS_COLORARG1), (DWORD)c.c1) << what;
        EXPECT_EQ(Stage(1, D3DTSS_COLOROP), (DWORD)c.cop1) << what;
        EXPECT_EQ(BoundTexture(0), FakeTexture(1)) << what;
        EXPECT_EQ(VertexBatch.kind, VERTEX_KIND_TEXTURED) << what;
    }
}

TEST_F(BlendStatesTest, AlphaChannelGraphBlendsEvenInModeZero)
{
    Descriptor alpha(1, 0);
    for (int filter : {0, 1}) {
        Start();
        Draw.filterMode = filter;
        SetDrawBlendStates(alpha.get(), FakeTexture(0), 1);
        EXPECT_EQ(DeviceStateCache.alphaKind, 1) << filter;
        EXPECT_EQ(Stage(0, D3DTSS_ALPHAOP), (DWORD)S1) << filter;
        EXPECT_EQ(Stage(0, D3DTSS_ALPHAARG1), (DWORD)TEX) << filter;
        EXPECT_EQ(Effective(D3DRS_ALPHABLENDENABLE), 1u) << filter;
        EXPECT_EQ(Effective(D3DRS_SRCBLEND), (DWORD)D3DBLEND_SRCALPHA) << filter;
        EXPECT_EQ(Effective(D3DRS_DESTBLEND), (DWORD)D3DBLEND_INVSRCALPHA) << filter;
        EXPECT_EQ(Effective(D3DRS_ALPHATESTENABLE), 0u) << filter;
    }
}

TEST_F(BlendStatesTest, TransparentColourTestsAlphaUnlessFilteredLinearly)
{
    Descriptor keyed(0, 1);
    SetDrawBlendStates(keyed.get(), FakeTexture(0), 1);
    EXPECT_EQ(Stage(0, D3DTSS_ALPHAOP), (DWORD)S1);
    EXPECT_EQ(Effective(D3DRS_ALPHATESTENABLE), 1u);
    EXPECT_EQ(Effective(D3DRS_ALPHAFUNC), (DWORD)D3DCMP_GREATER);
    EXPECT_EQ(Effective(D3DRS_ALPHAREF), 16u);
    EXPECT_EQ(Effective(D3DRS_ALPHABLENDENABLE), 0u);

    Draw.filterMode = 1;
    SetDrawBlendStates(keyed.get(), FakeTexture(0), 1);
    EXPECT_EQ(DeviceStateCache.alphaKind, 1);
    EXPECT_EQ(DeviceStateCache.transKind, 0);
    EXPECT_EQ(Effective(D3DRS_ALPHATESTENABLE), 0u);
    EXPECT_EQ(Effective(D3DRS_ALPHABLENDENABLE), 1u);
    EXPECT_EQ(Effective(D3DRS_SRCBLEND), (DWORD)D3DBLEND_SRCALPHA);

    // 0x2 keeps the image's own kinds under linear filtering.
    SetDrawBlendStates(keyed.get(), FakeTexture(0), 3);
    EXPECT_EQ(DeviceStateCache.alphaKind, 0);
    EXPECT_EQ(DeviceStateCache.transKind, 1);
    EXPECT_EQ(Effective(D3DRS_ALPHATESTENABLE), 1u);
    EXPECT_EQ(Effective(D3DRS_ALPHABLENDENABLE), 0u);
}

TEST_F(BlendStatesTest, BrightnessDecidesTheModulateFlag)
{
    struct Case { unsigned int brightness; int flags; int modulate; } cases[] = {
        {0xFFFFFE, 0, 1}, {0xFFFFFF, 0, 0}, {0xFFFFFF, 0x20, 1}, {0x000000, 0, 1},
    };
    for (const Case& c : cases) {
        Draw.brightness = c.brightness;
        SetDrawBlendStates(nullptr, FakeTexture(0), c.flags);
        EXPECT_EQ(DeviceStateCache.modulate, c.modulate) << c.brightness;
        EXPECT_EQ(Stage(0, D3DTSS_COLOROP), (DWORD)(c.modulate ? MOD : S1)) << c.brightness;
    }
}

TEST_F(BlendStatesTest, AnUnchangedDrawSendsNothing)
{
    Descriptor alpha(1, 0);
    SetDrawBlendStates(alpha.get(), FakeTexture(0), 1);
    ASSERT_NE(AppendVertices(D3DPT_TRIANGLELIST, 6, 0), nullptr);
    FlushVertexBuffer();
    device.Forget();
    SetDrawBlendStates(alpha.get(), FakeTexture(0), 1);
    EXPECT_TRUE(device.calls.empty());
    EXPECT_EQ(SetDrawTextureState(nullptr, 1, 0), -1);

    // Only the texture changes: it is bound, nothing else.
    ASSERT_NE(AppendVertices(D3DPT_TRIANGLELIST, 6, 0), nullptr);
    SetDrawBlendStates(alpha.get(), FakeTexture(1), 1);
    ASSERT_EQ(device.calls.size(), 2u);
    EXPECT_EQ(device.calls[0].kind, CALL_DRAW_UP);
    EXPECT_EQ(device.calls[1].kind, CALL_TEXTURE);
    EXPECT_EQ(device.calls[1].a, 0u);
    EXPECT_EQ(device.calls[1].pointer, FakeTexture(1));
}

TEST_F(BlendStatesTest, AModeOutsideTheTableIsRefused)
{
    EXPECT_EQ(CacheDrawBlendState(13, 0, 0), -1);
    EXPECT_EQ(CacheDrawBlendState(-1, 0, 0), -1);
    Draw.blendMode = 1;
    SetDrawBlendStates(nullptr, nullptr, 0);
    Draw.blendMode = 1000;
    SetDrawBlendStates(nullptr, FakeTexture(0), 0);
    EXPECT_EQ(DeviceStateCache.blendMode, 1);
    EXPECT_EQ(Effective(D3DRS_DESTBLEND), (DWORD)D3DBLEND_INVSRCALPHA);
}

TEST_F(BlendStatesTest, BlendGraphBordersSetTheAlphaThreshold)
{
    Descriptor keyed(0, 1);
    // Hard edge at parameter 0 on a transparent graph: reference 1.
    EXPECT_EQ(CacheBlendTexture(FakeTexture(2), 0, 1), 0);
    SetDrawBlendStates(keyed.get(), FakeTexture(0), 1);
    EXPECT_EQ(VertexBatch.kind, VERTEX_KIND_BLEND);
    EXPECT_EQ(Effective(D3DRS_ALPHATESTENABLE), 1u);
    EXPECT_EQ(Effective(D3DRS_ALPHAREF), 1u);
    EXPECT_EQ(Effective(D3DRS_ALPHAFUNC), (DWORD)D3DCMP_GREATEREQUAL);
    EXPECT_EQ(Effective(D3DRS_ALPHABLENDENABLE), 0u);
    EXPECT_EQ(Effective(D3DRS_TEXTUREFACTOR), 0x00FFFFFFu);
    EXPECT_EQ(BoundTexture(0), FakeTexture(2));
    EXPECT_EQ(BoundTexture(1), FakeTexture(0));

    // Soft edge of 64: parameter 0 gives factor alpha 64 added, 255 gives
    // 255 subtracted.
    struct Case { int param; DWORD factor; int stage0; } cases[] = {
        {0, 0x40FFFFFF, ADD}, {255, 0xFFFFFFFF, SUB},
    };
    Descriptor plain(0, 0);
    for (const Case& c : cases) {
        EXPECT_EQ(CacheBlendTexture(FakeTexture(2), c.param, 64), 0);
        SetDrawBlendStates(plain.get(), FakeTexture(0), 0);
        EXPECT_EQ(Effective(D3DRS_TEXTUREFACTOR), c.factor) << c.param;
        EXPECT_EQ(Stage(0, D3DTSS_ALPHAOP), (DWORD)c.stage0) << c.param;
        EXPECT_EQ(Stage(1, D3DTSS_ALPHAOP), (DWORD)MOD4) << c.param;
        EXPECT_EQ(Effective(D3DRS_ALPHABLENDENABLE), 1u) << c.param;
        EXPECT_EQ(Effective(D3DRS_SRCBLEND), (DWORD)D3DBLEND_SRCALPHA) << c.param;
    }
    EXPECT_EQ(CacheBlendTexture(FakeTexture(2), 0, 100), 0);
    SetDrawBlendStates(plain.get(), FakeTexture(0), 0);
    EXPECT_EQ(Stage(1, D3DTSS_ALPHAOP), (DWORD)MOD2);
}

TEST_F(BlendStatesTest, ABlendGraphAtFullBorderSkipsEveryDraw)
{
    EXPECT_EQ(CacheBlendTexture(FakeTexture(2), 255, 0), 0);
    SetDrawBlendStates(nullptr, FakeTexture(0), 0);
    EXPECT_EQ(VertexBatch.skipDrawing, 1);
    ASSERT_NE(AppendVertices(D3DPT_TRIANGLELIST, 6, 0), nullptr);
    device.Forget();
    EXPECT_EQ(FlushVertexBuffer(), 0);
    EXPECT_TRUE(device.calls.empty());
    EXPECT_EQ(VertexBatch.count, 0);

    // Switching the blend graph off draws again.
    EXPECT_EQ(CacheBlendTexture(nullptr, -1, -1), 0);
    SetDrawBlendStates(nullptr, FakeTexture(0), 0);
    EXPECT_EQ(VertexBatch.skipDrawing, 0);
    EXPECT_EQ(VertexBatch.kind, VERTEX_KIND_TEXTURED);
}

TEST_F(BlendStatesTest, PerDrawStatesFollowTheFlags)
{
    SetDrawBlendStates(nullptr, nullptr, 0x8 | 0x400);
    EXPECT_EQ(Effective(D3DRS_SHADEMODE), (DWORD)D3DSHADE_GOURAUD);
    EXPECT_EQ(Effective(D3DRS_SPECULARENABLE), 1u);
    SetDrawBlendStates(nullptr, nullptr, 0);
    EXPECT_EQ(Effective(D3DRS_SHADEMODE), (DWORD)D3DSHADE_FLAT);
    EXPECT_EQ(Effective(D3DRS_SPECULARENABLE), 0u);

    Draw.depth3D.zEnable = 1;
    Draw.depth3D.zFunc = D3DCMP_LESS;
    SetDrawBlendStates(nullptr, nullptr, 0x800);
    EXPECT_EQ(Effective(D3DRS_ZENABLE), (DWORD)TRUE);
    EXPECT_EQ(Effective(D3DRS_ZFUNC), (DWORD)D3DCMP_LESS);
    SetDrawBlendStates(nullptr, nullptr, 0);
    EXPECT_EQ(Effective(D3DRS_ZENABLE), (DWORD)FALSE);

    Draw.filterMode = 1;
    Draw.cullMode = 2;
    SetDrawBlendStates(nullptr, nullptr, 0);
    EXPECT_EQ(Effective(D3DRS_CULLMODE), (DWORD)D3DCULL_CW);
    DWORD mag;
    ASSERT_TRUE(device.LastSamplerState(0, D3DSAMP_MAGFILTER, &mag));
    EXPECT_EQ(mag, (DWORD)D3DTEXF_LINEAR);

    // Stage address modes from the draw state with 0x1000, else clamped.
    Draw.addressU[1] = D3DTADDRESS_WRAP;
    SetDrawBlendStates(nullptr, nullptr, 0x1000);
    EXPECT_EQ(DeviceStateCache.stages[1].addressU, D3DTADDRESS_WRAP);
    SetDrawBlendStates(nullptr, nullptr, 0);
    EXPECT_EQ(DeviceStateCache.stages[1].addressU, D3DTADDRESS_CLAMP);
}

}  // namespace
