#include "graphics/blend_modes.h"

#include <string.h>

#include "graphics/device.h"
#include "graphics/graph_record.h"
#include "graphics/pipeline_inputs.h"
#include "graphics/state_cache.h"
#include "graphics/vertex_batch.h"

const BlendModeRow BlendModeTable[BLEND_MODE_COUNT] = {
    {-1, -1, 0, D3DBLENDOP_ADD},
    {D3DBLEND_INVSRCALPHA, D3DBLEND_SRCALPHA, 0, D3DBLENDOP_ADD},
    {D3DBLEND_ONE, D3DBLEND_SRCALPHA, 0, D3DBLENDOP_ADD},
    {D3DBLEND_ZERO, D3DBLEND_INVDESTCOLOR, 0, D3DBLENDOP_ADD},
    {D3DBLEND_SRCCOLOR, D3DBLEND_ZERO, 0, D3DBLENDOP_ADD},
    {D3DBLEND_ONE, D3DBLEND_SRCALPHA, 0, D3DBLENDOP_ADD},
    {-1, -1, 0, D3DBLENDOP_ADD},
    {-1, -1, 0, D3DBLENDOP_ADD},
    {D3DBLEND_ONE, D3DBLEND_ZERO, 0, D3DBLENDOP_ADD},
    {D3DBLEND_ZERO, D3DBLEND_INVDESTCOLOR, 0, D3DBLENDOP_ADD},
    {D3DBLEND_INVSRCALPHA, D3DBLEND_SRCALPHA, 2, D3DBLENDOP_ADD},
    {D3DBLEND_SRCCOLOR, D3DBLEND_ZERO, 1, D3DBLENDOP_ADD},
    {D3DBLEND_ONE, D3DBLEND_SRCALPHA, 0, D3DBLENDOP_REVSUBTRACT},
};

// ---------------------------------------------------------------------------
// Stage programs

static const int16_t KEEP = -1;

static const int16_t TEX = D3DTA_TEXTURE, DIF = D3DTA_DIFFUSE, CUR = D3DTA_CURRENT,
                     TFA = D3DTA_TFACTOR, SPE = D3DTA_SPECULAR,
                     INV_TEX = D3DTA_TEXTURE | D3DTA_COMPLEMENT,
                     INV_DIF = D3DTA_DIFFUSE | D3DTA_COMPLEMENT;

static StageEntry Stage(int32_t index, int16_t aop, int16_t a1, int16_t a2, int16_t cop, int16_t c1, int16_t c2)
{
    StageEntry e = {};
    e.texCoordIndex = index;
    e.resultToTemp = 0;
    e.alphaOp = aop;
    e.alphaArg1 = a1;
    e.alphaArg2 = a2;
    e.colorOp = cop;
    e.colorArg1 = c1;
    e.colorArg2 = c2;
    return e;
}

// The stage after the last active one switches the later stages off.
static StageEntry Terminator()
{
    StageEntry e = {};
    e.texCoordIndex = -1;
    e.resultToTemp = -1;
    e.alphaArg1 = e.alphaArg2 = e.colorArg1 = e.colorArg2 = KEEP;
    e.alphaOp = e.colorOp = D3DTOP_DISABLE;
    return e;
}

static void Finish(StageProgram& p, int count)
{
    for (int k = count; k < STAGE_PROGRAM_STAGES; k++)
        p.stages[k] = Terminator();
    p.stages[0].slot = (uintptr_t)count;
}

static StageProgram ProgramRows[STAGE_PROGRAM_ROWS];
static StageProgram UntexturedRows[3];
static StageProgram SubtractRow;
static bool programsBuilt;

// The texture stage of the plain rows: colour by the modulate flag a, alpha
// by the transparency index tc and the alpha flag b.
static StageEntry PlainStage(int a, int b, int tc, int16_t texColour)
{
    int16_t cop = a ? D3DTOP_MODULATE : D3DTOP_SELECTARG1;
    int16_t c2 = a ? DIF : KEEP;
    if (tc == 0)
        return Stage(0, D3DTOP_SELECTARG2, KEEP, DIF, cop, texColour, c2);
    if (b == 0)
        return Stage(0, D3DTOP_SELECTARG1, TEX, KEEP, cop, texColour, c2);
    return Stage(0, D3DTOP_MODULATE, TEX, DIF, cop, texColour, c2);
}

static void BuildPrograms()
{
    for (int a = 0; a < 2; a++) {
        for (int b = 0; b < 2; b++) {
            for (int tc = 0; tc < 3; tc++) {
                int r = 6 * a + 3 * b + tc;

                StageProgram& plain = ProgramRows[r];
                plain.stages[0] = PlainStage(a, b, tc, TEX);
                Finish(plain, 1);

                StageProgram& faded = ProgramRows[24 + r];
                faded.stages[0] = PlainStage(a, b, tc, TEX);
                faded.stages[1] = Stage(1, D3DTOP_SELECTARG1, CUR, KEEP, D3DTOP_BLENDCURRENTALPHA, CUR, TFA);
                Finish(faded, 2);

                StageProgram& inverted = ProgramRows[48 + r];
                inverted.stages[0] = PlainStage(a, b, tc, INV_TEX);
                Finish(inverted, 1);

                // With a blend texture on stage 0.
                StageProgram& blend = ProgramRows[12 + r];
                int16_t cg = a ? D3DTOP_MODULATE : D3DTOP_SELECTARG1;
                int16_t cg2 = a ? DIF : KEEP;
                int n = 0;
                blend.stages[n++] = Stage(0, D3DTOP_ADD, TEX, TFA, D3DTOP_SELECTARG2, KEEP, DIF);
                if (tc == 0) {
                    if (b == 0)
                        blend.stages[n++] = Stage(1, D3DTOP_MODULATE, CUR, DIF, cg, TEX, cg2);
                    else
                        blend.stages[n++] = Stage(1, D3DTOP_MODULATE, DIF, CUR, cg, TEX, cg2);
                } else if (tc == 1) {
                    blend.stages[n++] = Stage(1, D3DTOP_MODULATE, SPE, CUR, D3DTOP_SELECTARG1, CUR, KEEP);
                    blend.stages[n++] = Stage(1, D3DTOP_MODULATE, TEX, CUR, cg, TEX, cg2);
                    if (b == 1)
                        blend.stages[n++] = Stage(0, D3DTOP_MODULATE, DIF, CUR, D3DTOP_SELECTARG1, CUR, KEEP);
                } else {
                    blend.stages[n++] = Stage(1, D3DTOP_MODULATE, TEX, CUR, cg, TEX, cg2);
                    if (b == 1)
                        blend.stages[n++] = Stage(1, D3DTOP_MODULATE, DIF, CUR, D3DTOP_SELECTARG1, CUR, KEEP);
                }
                Finish(blend, n);
            }
        }
    }

    const StageEntry off = Stage(0, D3DTOP_DISABLE, DIF, DIF, D3DTOP_DISABLE, DIF, DIF);
    UntexturedRows[0].stages[0] = Stage(0, D3DTOP_SELECTARG2, DIF, DIF, D3DTOP_SELECTARG2, DIF, DIF);
    UntexturedRows[1].stages[0] = Stage(0, D3DTOP_SELECTARG2, DIF, DIF, D3DTOP_BLENDDIFFUSEALPHA, DIF, TFA);
    UntexturedRows[2].stages[0] = Stage(0, D3DTOP_SELECTARG2, DIF, DIF, D3DTOP_SELECTARG1, INV_DIF, DIF);
    for (StageProgram& p : UntexturedRows) {
        Finish(p, 1);
        p.stages[1] = off;
    }

    SubtractRow.stages[0] = Stage(0, D3DTOP_SELECTARG2, KEEP, DIF, D3DTOP_SELECTARG1, DIF, KEEP);
    Finish(SubtractRow, 1);
    SubtractRow.stages[1].texCoordIndex = 0;
    programsBuilt = true;
}

const StageProgram* StageProgramRow(int row)
{
    if (row < 0 || row >= STAGE_PROGRAM_ROWS || (row >= 36 && row < 48))
        return nullptr;
    if (!programsBuilt)
        BuildPrograms();
    return &ProgramRows[row];
}

const StageProgram* UntexturedStageProgram(int selector)
{
    if (selector < 0 || selector > 2)
        return nullptr;
    if (!programsBuilt)
        BuildPrograms();
    return &UntexturedRows[selector];
}

const StageProgram* SubtractUntexturedProgram()
{
    if (!programsBuilt)
        BuildPrograms();
    return &SubtractRow;
}

// ---------------------------------------------------------------------------
// Applying a blend set-up

namespace {
struct BlendSetup {
    int alphaTestEnable, alphaRef, alphaFunc, alphaBlendEnable;
    DWORD textureFactor;
    int srcBlend, destBlend, blendOp;
    int stageCount;     // stages the program makes active
    int applyCount;     // stages sent (with the terminating one)
    int texturesOnly;
    StageEntry stages[STAGE_PROGRAM_STAGES];
    IDirect3DBaseTexture9* textures[STAGE_PROGRAM_STAGES];
};
}

static IDirect3DDevice9* Device() { return DeviceObjects.device; }

// A render state of the blend set-up; -1 keeps the device value, which a
// forced pass re-sends from the cache when it is a real blend value.
static void SendBlendState(D3DRENDERSTATETYPE state, int* cached, int v)
{
    bool force = DeviceStateCache.force != 0;
    if (v == -1) {
        if (!force || *cached <= 1)
            return;
        v = *cached;
    } else if (!force && *cached == v) {
        return;
    }
    FlushVertexBuffer();
    Device()->SetRenderState(state, (DWORD)v);
    *cached = v;
}

static void SendTextureFactor(DWORD factor)
{
    DeviceStateSet& c = DeviceStateCache;
    if (!c.force && c.textureFactor == factor)
        return;
    FlushVertexBuffer();
    Device()->SetRenderState(D3DRS_TEXTUREFACTOR, factor);
    c.textureFactor = factor;
    const float constant[4] = {(float)(factor & 0xFF) / 255.0f, (float)((factor >> 8) & 0xFF) / 255.0f,
                               (float)((factor >> 16) & 0xFF) / 255.0f, (float)(factor >> 24) / 255.0f};
    SetPixelShaderConstants(5, 1, constant);
}

static void SendStageState(int stage, D3DTEXTURESTAGESTATETYPE type, int16_t* cached, int16_t v)
{
    if (v == KEEP)
        return;
    if (!DeviceStateCache.force && *cached == v)
        return;
    FlushVertexBuffer();
    Device()->SetTextureStageState(stage, type, (DWORD)(int32_t)v);
    *cached = v;
}

static void BindStageTexture(int stage, IDirect3DBaseTexture9* texture)
{
    CachedStageState& s = DeviceStateCache.stages[stage];
    if (!DeviceStateCache.force && s.texture == texture)
        return;
    FlushVertexBuffer();
    Device()->SetTexture(stage, texture);
    s.texture = texture;
}

static void ApplySetup(const BlendSetup& b)
{
    DeviceStateSet& c = DeviceStateCache;
    SendBlendState(D3DRS_ALPHAFUNC, &c.alphaFunc, b.alphaFunc);
    SendBlendState(D3DRS_ALPHAREF, &c.alphaRef, b.alphaRef);
    SendBlendState(D3DRS_ALPHATESTENABLE, &c.alphaTestEnable, b.alphaTestEnable);
    SendBlendState(D3DRS_ALPHABLENDENABLE, &c.alphaBlendEnable, b.alphaBlendEnable);
    SendTextureFactor(b.textureFactor);
    SendBlendState(D3DRS_SRCBLEND, &c.srcBlend, b.srcBlend);
    SendBlendState(D3DRS_DESTBLEND, &c.destBlend, b.destBlend);
    SendBlendState(D3DRS_BLENDOP, &c.blendOp, b.blendOp);

    for (int k = 0; k < b.applyCount && k < STAGE_PROGRAM_STAGES; k++) {
        if (!b.texturesOnly && k >= 2 && b.stages[k - 1].alphaOp == D3DTOP_DISABLE)
            break;
        const StageEntry& e = b.stages[k];
        CachedStageState& s = c.stages[k];
        BindStageTexture(k, b.textures[k]);
        if (e.texCoordIndex != -1 && (c.force || s.texCoordIndex != e.texCoordIndex)) {
            FlushVertexBuffer();
            Device()->SetTextureStageState(k, D3DTSS_TEXCOORDINDEX, (DWORD)e.texCoordIndex);
            s.texCoordIndex = e.texCoordIndex;
        }
        if (b.texturesOnly)
            continue;
        if (DeviceObjects.tempArgSupported && e.resultToTemp != -1) {
            int temp = e.resultToTemp != 0;
            if (c.force || s.resultToTemp != temp) {
                FlushVertexBuffer();
                Device()->SetTextureStageState(k, D3DTSS_RESULTARG, temp ? D3DTA_TEMP : D3DTA_CURRENT);
                s.resultToTemp = temp;
            }
        }
        SendStageState(k, D3DTSS_ALPHAOP, &s.alphaOp, e.alphaOp);
        SendStageState(k, D3DTSS_ALPHAARG1, &s.alphaArg1, e.alphaArg1);
        SendStageState(k, D3DTSS_ALPHAARG2, &s.alphaArg2, e.alphaArg2);
        SendStageState(k, D3DTSS_COLOROP, &s.colorOp, e.colorOp);
        SendStageState(k, D3DTSS_COLORARG1, &s.colorArg1, e.colorArg1);
        SendStageState(k, D3DTSS_COLORARG2, &s.colorArg2, e.colorArg2);
    }
}

static void UseVertexKind(int kind)
{
    if (VertexBatch.kind == kind)
        return;
    FlushVertexBuffer();
    SetVertexKind(kind);
}

static void SetupFromUserProgram(BlendSetup& b, const UserStageProgram& p, int handles, int texturesOnly)
{
    b.alphaTestEnable = p.alphaTestEnable;
    b.alphaRef = p.alphaRef;
    b.alphaFunc = p.alphaFunc;
    b.alphaBlendEnable = p.alphaBlendEnable;
    b.textureFactor = p.textureFactor;
    b.srcBlend = p.srcBlend;
    b.destBlend = p.destBlend;
    b.blendOp = p.blendOp;
    int count = p.stageCount < 0 ? 0 : p.stageCount > STAGE_PROGRAM_STAGES ? STAGE_PROGRAM_STAGES : p.stageCount;
    b.stageCount = b.applyCount = count;
    b.texturesOnly = texturesOnly;
    for (int k = 0; k < STAGE_PROGRAM_STAGES; k++) {
        b.stages[k] = p.stages[k];
        if (handles)
            b.textures[k] = GraphFirstTexture((int)(int32_t)(uint32_t)p.stages[k].slot);
        else
            b.textures[k] = reinterpret_cast<IDirect3DBaseTexture9*>(p.stages[k].slot);
    }
}

// The stage count of a program changed: every active stage gets the filter
// and the anisotropy.
static void NoteStageCount(int count)
{
    DeviceStateSet& c = DeviceStateCache;
    if (count == c.stageCount)
        return;
    c.stageCount = count;
    int force = c.force;
    c.force = 1;
    SetTextureFilter(c.filterMode);
    SetMaxAnisotropy(c.maxAnisotropy);
    c.force = force;
}

int SetDrawTextureState(const UserStageProgram* program, int handles, int texturesOnly)
{
    if (!Device())
        return -1;
    DeviceStateSet& c = DeviceStateCache;
    BlendSetup b = {};

    if (program || c.userProgramActive) {
        if (program)
            SetupFromUserProgram(b, *program, handles, texturesOnly);
        else
            SetupFromUserProgram(b, c.userProgram, handles, c.userProgramTexturesOnly);
        ApplySetup(b);
        return 0;
    }

    if (!c.force && !c.blendDirty) {
        if (!c.textureDirty)
            return -1;
        int stage = !c.blendTexture ? 0 : c.alphaKind == 1 ? 2 : 1;
        BindStageTexture(stage, c.mainTexture);
        c.textureDirty = 0;
        return 0;
    }

    if (c.blendMode < 0 || c.blendMode >= BLEND_MODE_COUNT)
        return -1;
    c.blendDirty = c.textureDirty = 0;
    const BlendModeRow& row = BlendModeTable[c.blendMode];
    b.destBlend = row.destBlend;
    b.srcBlend = row.srcBlend;
    b.blendOp = row.blendOp;
    b.textureFactor = 0xFFFFFFFF;
    int selector = row.selector;
    if (c.blendMode == 3 && DeviceObjects.blendOpSupported) {
        b.destBlend = D3DBLEND_ONE;
        b.srcBlend = D3DBLEND_SRCALPHA;
        b.blendOp = D3DBLENDOP_REVSUBTRACT;
    }
    int blendEnable = c.blendMode != 0 && c.blendMode != 6;
    b.alphaRef = b.alphaFunc = -1;

    const StageProgram* source;
    StageProgram blendRow;
    if (!c.mainTexture) {
        UseVertexKind(VERTEX_KIND_PLAIN);
        VertexBatch.skipDrawing = 0;
        source = c.blendMode == 3 ? SubtractUntexturedProgram() : UntexturedStageProgram(selector);
        b.alphaTestEnable = 0;
        b.alphaBlendEnable = blendEnable;
        b.textureFactor = selector == 1 ? 0xFFFFFFFF : c.textureFactor;
    } else {
        int tc = c.alphaKind ? 1 : (c.transKind || (c.zEnable == 1 && !c.blendTexture)) ? 2 : 0;
        if (c.blendTexture) {
            blendRow = *StageProgramRow(12 + 6 * c.modulate + 3 * c.useAlpha + tc);
            source = &blendRow;
            UseVertexKind(VERTEX_KIND_BLEND);
            int p = c.blendBorderParam, s = c.blendBorderSize;
            VertexBatch.skipDrawing = p == 255;
            if (c.blendMode == 0 || c.blendMode == 6) {
                b.destBlend = D3DBLEND_INVSRCALPHA;
                b.srcBlend = D3DBLEND_SRCALPHA;
            }
            b.textures[0] = c.blendTexture;
            b.textures[c.alphaKind == 1 ? 2 : 1] = c.mainTexture;
            if (s <= 1) {
                b.alphaTestEnable = 1;
                b.alphaRef = (p == 0 && (c.alphaKind || c.transKind)) ? 1 : p;
                b.alphaFunc = D3DCMP_GREATEREQUAL;
                b.alphaBlendEnable = 0;
                b.textureFactor = 0x00FFFFFF;
            } else {
                b.alphaTestEnable = 0;
                b.alphaBlendEnable = 1;
                int64_t scale = s <= 64 ? 4 : s <= 128 ? 2 : 1;
                blendRow.stages[1].alphaOp = scale == 4 ? D3DTOP_MODULATE4X : scale == 2 ? D3DTOP_MODULATE2X : D3DTOP_MODULATE;
                int64_t t = 256 * (scale + 1) - (int64_t)p * 256 * (scale + 1) / 255;
                int64_t factorAlpha;
                if (t >= 256 * scale) {
                    int64_t k = scale == 4 ? 64 : scale == 2 ? 128 : 255;
                    factorAlpha = (t - 256 * scale) * k / 256;
                } else {
                    factorAlpha = 255 - t * 255 / (256 * scale);
                    blendRow.stages[0].alphaOp = D3DTOP_SUBTRACT;
                }
                factorAlpha = factorAlpha < 0 ? 0 : factorAlpha > 255 ? 255 : factorAlpha;
                b.textureFactor = ((DWORD)factorAlpha << 24) | 0xFFFFFF;
            }
        } else {
            source = StageProgramRow(24 * selector + 6 * c.modulate + 3 * c.useAlpha + tc);
            UseVertexKind(VERTEX_KIND_TEXTURED);
            VertexBatch.skipDrawing = 0;
            b.textures[0] = c.mainTexture;
            if (c.transKind == 1) {
                b.alphaTestEnable = 1;
                b.alphaRef = 16;
                b.alphaFunc = D3DCMP_GREATER;
            } else if (c.zEnable == 1) {
                b.alphaTestEnable = 1;
                b.alphaRef = 0;
                b.alphaFunc = D3DCMP_GREATER;
            } else {
                b.alphaTestEnable = 0;
            }
            if (c.transKind != 1 && c.alphaKind == 1 && !blendEnable) {
                b.destBlend = D3DBLEND_INVSRCALPHA;
                b.srcBlend = D3DBLEND_SRCALPHA;
            }
            b.alphaBlendEnable = c.alphaKind == 1 || blendEnable;
        }
    }

    memcpy(b.stages, source->stages, sizeof b.stages);
    b.stageCount = (int)source->stages[0].slot;
    b.applyCount = b.stageCount < STAGE_PROGRAM_STAGES ? b.stageCount + 1 : STAGE_PROGRAM_STAGES;
    b.texturesOnly = texturesOnly;
    NoteStageCount(b.stageCount);
    ApplySetup(b);
    return 0;
}

int CacheDrawBlendState(int mode, int alphaKind, int transKind)
{
    if (!Device())
        return -1;
    // The mode indexes the blend-mode table: anything else is refused.
    if (mode < 0 || mode >= BLEND_MODE_COUNT)
        return -1;
    DeviceStateSet& c = DeviceStateCache;
    if (!c.force && c.blendMode == mode && c.alphaKind == alphaKind && c.transKind == transKind)
        return 0;
    FlushVertexBuffer();
    c.blendMode = mode;
    c.alphaKind = alphaKind;
    c.transKind = transKind;
    c.blendDirty = 1;
    return 0;
}

int SetTextureCached(IDirect3DBaseTexture9* texture)
{
    if (!Device())
        return -1;
    DeviceStateSet& c = DeviceStateCache;
    if (!c.force && c.mainTexture == texture)
        return 0;
    FlushVertexBuffer();
    c.textureDirty = 1;
    if ((c.mainTexture == nullptr) != (texture == nullptr))
        c.blendDirty = 1;
    c.mainTexture = texture;
    return 0;
}

int CacheBlendTexture(IDirect3DBaseTexture9* texture, int border, int size)
{
    if (!Device())
        return -1;
    DeviceStateSet& c = DeviceStateCache;
    if (!c.force) {
        if (!texture && !c.blendTexture)
            return 0;
        if (texture == c.blendTexture && border == c.blendBorderParam && size == c.blendBorderSize)
            return 0;
    }
    FlushVertexBuffer();
    c.blendTexture = texture;
    if (border != -1)
        c.blendBorderParam = border;
    if (size != -1)
        c.blendBorderSize = size;
    c.blendDirty = 1;
    return 0;
}

int SetUserStageProgram(const UserStageProgram* program, int texturesOnly)
{
    FlushVertexBuffer();
    DeviceStateSet& c = DeviceStateCache;
    if (!program) {
        c.userProgramActive = 0;
        return 0;
    }
    c.userProgram = *program;
    c.userProgramTexturesOnly = texturesOnly;
    c.userProgramActive = 1;
    c.blendDirty = c.textureDirty = 1;
    SetDrawTextureState(nullptr, 1, texturesOnly);
    return 0;
}

int ApplyStageProgram(const UserStageProgram* program, int texturesOnly, int handles)
{
    if (!program)
        return -1;
    FlushVertexBuffer();
    SetDrawTextureState(program, handles, texturesOnly);
    DeviceStateCache.blendDirty = DeviceStateCache.textureDirty = 1;
    return 0;
}

// ---------------------------------------------------------------------------
// The per-draw entry

void SetDrawBlendStates(const GraphFormatDesc* descriptor, IDirect3DBaseTexture9* texture, int flags)
{
    IDirect3DDevice9* device = Device();
    if (!device)
        return;
    DeviceStateSet& c = DeviceStateCache;

    if (!(flags & DRAW_FLAG_KEEP_SHADERS)) {
        if (c.vertexShader) {
            FlushVertexBuffer();
            device->SetVertexShader(nullptr);
            c.vertexShader = nullptr;
            c.vertexDeclaration = nullptr;
            VertexBatch.fvf = 0;
        }
        if (c.pixelShader) {
            FlushVertexBuffer();
            device->SetPixelShader(nullptr);
            c.pixelShader = nullptr;
        }
    }

    if (flags & DRAW_FLAG_LIGHTING) {
        if (LightsNeedRefresh())
            RefreshDeviceLights();
        else if (!c.lighting)
            SetLightingEnableCached(1);
        if (MaterialChanged())
            SetMaterialState(DrawMaterial());
        SetDiffuseMaterialSource(DrawUsesVertexColor());
        SetSpecularMaterialSource(DrawUsesVertexColor());
    } else if (c.lighting) {
        SetLightingEnableCached(0);
    }

    SetSpecularEnableCached((flags & DRAW_FLAG_SPECULAR) != 0);

    const int* depth = DrawDepthSet((flags & DRAW_FLAG_DEPTH_3D) != 0);
    if (depth[0] == 0) {
        if (c.zEnable)
            SetZEnable(0);
    } else {
        SetZEnable(depth[0]);
        SetZWriteEnable(depth[1]);
        SetZFunc(depth[2]);
        SetDepthBias(depth[3]);
    }

    SetFillModeCached(DrawFillMode());
    if (c.fogEnable)
        SetFogEnableCached(0);

    if (!(flags & DRAW_FLAG_KEEP_BLEND)) {
        int mode = DrawBlendMode();
        int alphaKind = 0, transKind = 0;
        if (texture && descriptor && (flags & DRAW_FLAG_TRANSPARENT)) {
            int alpha = descriptor->alpha, trans = descriptor->alphaTest;
            if (alpha || trans) {
                if ((mode == 0 || mode == 8) && ((flags & DRAW_FLAG_KEEP_KINDS) || DrawFilterMode() != 1)) {
                    alphaKind = alpha;
                    transKind = trans;
                } else {
                    alphaKind = 1;
                }
            }
        }
        int modulate = (flags & DRAW_FLAG_MODULATE) || DrawBrightness() != 0xFFFFFF || DrawKeepsModulating();
        int useAlpha = (flags & DRAW_FLAG_VERTEX_ALPHA) || mode != 0;
        if (modulate != c.modulate) {
            FlushVertexBuffer();
            c.modulate = modulate;
            c.blendDirty = 1;
        }
        if (useAlpha != c.useAlpha) {
            FlushVertexBuffer();
            c.useAlpha = useAlpha;
            c.blendDirty = 1;
        }
        if (texture != c.mainTexture)
            SetTextureCached(texture);
        if (mode != c.blendMode || alphaKind != c.alphaKind || transKind != c.transKind)
            CacheDrawBlendState(mode, alphaKind, transKind);
        if (c.blendDirty || c.textureDirty)
            SetDrawTextureState(nullptr, 1, 0);
    }

    SetShadeModeCached((flags & DRAW_FLAG_GOURAUD) ? D3DSHADE_GOURAUD : D3DSHADE_FLAT);

    if (c.filterMode != DrawFilterMode())
        SetTextureFilter(DrawFilterMode());
    if (c.maxAnisotropy != DrawMaxAnisotropy())
        SetMaxAnisotropy(DrawMaxAnisotropy());
    if (c.cullMode != DrawCullMode())
        SetCullMode(DrawCullMode());

    if (flags & DRAW_FLAG_STAGE_ADDRESS) {
        for (int k = 0; k < CACHED_STAGE_COUNT; k++) {
            CachedStageState& s = c.stages[k];
            int u = DrawAddressModes(0)[k], v = DrawAddressModes(1)[k];
            if (s.addressU != u) {
                FlushVertexBuffer();
                device->SetSamplerState(k, D3DSAMP_ADDRESSU, (DWORD)u);
                s.addressU = u;
            }
            if (s.addressV != v) {
                FlushVertexBuffer();
                device->SetSamplerState(k, D3DSAMP_ADDRESSV, (DWORD)v);
                s.addressV = v;
            }
        }
    } else {
        for (int k = 0; k < 4; k++)
            if (c.stages[k].addressU != D3DTADDRESS_CLAMP || c.stages[k].addressV != D3DTADDRESS_CLAMP)
                SetTextureAddress(k, D3DTADDRESS_CLAMP);
    }
}
