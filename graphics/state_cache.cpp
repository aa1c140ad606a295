#include "graphics/state_cache.h"

#include <stdio.h>
#include <string.h>

#include "graphics/device.h"
#include "graphics/pipeline_inputs.h"
#include "graphics/vertex_batch.h"
#include "runtime/log.h"

DeviceStateSet DeviceStateCache;

static IDirect3DDevice9* Device() { return DeviceObjects.device; }

static bool Unchanged(int cached, int v) { return !DeviceStateCache.force && cached == v; }

static DWORD FloatBits(float f)
{
    DWORD bits;
    memcpy(&bits, &f, sizeof bits);
    return bits;
}

// One render state kept in an int of the cache.
static int SetCachedRenderState(D3DRENDERSTATETYPE state, int* cached, int v, DWORD sent)
{
    IDirect3DDevice9* device = Device();
    if (!device)
        return -1;
    if (Unchanged(*cached, v))
        return 0;
    FlushVertexBuffer();
    device->SetRenderState(state, sent);
    *cached = v;
    return 0;
}

int SetZEnable(int v)
{
    return SetCachedRenderState(D3DRS_ZENABLE, &DeviceStateCache.zEnable, v, v == 1 ? TRUE : FALSE);
}

int SetZWriteEnable(int v) { return SetCachedRenderState(D3DRS_ZWRITEENABLE, &DeviceStateCache.zWriteEnable, v, (DWORD)v); }
int SetZFunc(int v) { return SetCachedRenderState(D3DRS_ZFUNC, &DeviceStateCache.zFunc, v, (DWORD)v); }
int SetDepthBias(int v) { return SetCachedRenderState(D3DRS_DEPTHBIAS, &DeviceStateCache.depthBias, v, (DWORD)v); }
int SetShadeModeCached(int v) { return SetCachedRenderState(D3DRS_SHADEMODE, &DeviceStateCache.shadeMode, v, (DWORD)v); }
int SetFillModeCached(int v) { return SetCachedRenderState(D3DRS_FILLMODE, &DeviceStateCache.fillMode, v, (DWORD)v); }

int SetSpecularEnableCached(int v)
{
    return SetCachedRenderState(D3DRS_SPECULARENABLE, &DeviceStateCache.specularEnable, v, v ? TRUE : FALSE);
}

int SetCullMode(int v)
{
    if (!Device())
        return 0;
    DWORD sent = v == 0 ? D3DCULL_NONE : v == 2 ? D3DCULL_CW : D3DCULL_CCW;
    return SetCachedRenderState(D3DRS_CULLMODE, &DeviceStateCache.cullMode, v, sent);
}

// Magnification, minification and mip filter of each filter mode; the mip
// filter has no anisotropic kind.
static const int FilterStates[3][3] = {
    {D3DTEXF_POINT, D3DTEXF_POINT, D3DTEXF_NONE},
    {D3DTEXF_LINEAR, D3DTEXF_LINEAR, D3DTEXF_NONE},
    {D3DTEXF_LINEAR, D3DTEXF_ANISOTROPIC, D3DTEXF_LINEAR},
};

static void SendStageFilters(int stage, const int filters[3], bool force)
{
    IDirect3DDevice9* device = Device();
    CachedStageState& s = DeviceStateCache.stages[stage];
    if (force || s.magFilter != filters[0]) {
        device->SetSamplerState(stage, D3DSAMP_MAGFILTER, filters[0]);
        s.magFilter = filters[0];
    }
    if (force || s.minFilter != filters[1]) {
        device->SetSamplerState(stage, D3DSAMP_MINFILTER, filters[1]);
        s.minFilter = filters[1];
    }
    if (force || s.mipFilter != filters[2]) {
        device->SetSamplerState(stage, D3DSAMP_MIPFILTER, filters[2]);
        s.mipFilter = filters[2];
    }
}

static int ActiveStages()
{
    int n = DeviceStateCache.stageCount;
    return n < 0 ? 0 : n > CACHED_STAGE_COUNT ? CACHED_STAGE_COUNT : n;
}

int SetTextureFilter(int mode)
{
    if (!Device())
        return -1;
    if (Unchanged(DeviceStateCache.filterMode, mode))
        return 0;
    FlushVertexBuffer();
    if (mode < 0 || mode > 2)
        return -1;
    for (int k = 0; k < ActiveStages(); k++)
        SendStageFilters(k, FilterStates[mode], DeviceStateCache.force != 0);
    DeviceStateCache.filterMode = mode;
    return 0;
}

int SetMaxAnisotropy(int v)
{
    IDirect3DDevice9* device = Device();
    if (!device)
        return -1;
    if (Unchanged(DeviceStateCache.maxAnisotropy, v))
        return 0;
    FlushVertexBuffer();
    int sent = v < 1 ? 1 : v;
    for (int k = 0; k < ActiveStages(); k++) {
        if (DeviceStateCache.stages[k].maxAnisotropy != sent) {
            device->SetSamplerState(k, D3DSAMP_MAXANISOTROPY, (DWORD)sent);
            DeviceStateCache.stages[k].maxAnisotropy = sent;
        }
    }
    DeviceStateCache.maxAnisotropy = sent;
    return 0;
}

static int* AddressCache(int stage, int coordinate)
{
    CachedStageState& s = DeviceStateCache.stages[stage];
    return coordinate == 0 ? &s.addressU : coordinate == 1 ? &s.addressV : &s.addressW;
}

static const D3DSAMPLERSTATETYPE AddressStates[3] = {D3DSAMP_ADDRESSU, D3DSAMP_ADDRESSV, D3DSAMP_ADDRESSW};

// The address modes of one stage or all eight (-1), for the coordinates
// first to last (0 U, 1 V, 2 W).
static int SetAddressModes(int stage, int mode, int first, int last)
{
    IDirect3DDevice9* device = Device();
    if (!device)
        return 0;
    if (stage < -1 || stage >= CACHED_STAGE_COUNT)
        return -1;
    int from = stage == -1 ? CACHED_STAGE_COUNT - 1 : stage;
    int to = stage == -1 ? 0 : stage;
    bool same = true;
    for (int k = from; k >= to; k--)
        for (int c = first; c <= last; c++)
            same = same && *AddressCache(k, c) == mode;
    if (same && !DeviceStateCache.force)
        return 0;
    FlushVertexBuffer();
    HRESULT hr = D3D_OK;
    for (int k = from; k >= to; k--) {
        for (int c = first; c <= last; c++) {
            hr = device->SetSamplerState(k, AddressStates[c], (DWORD)mode);
            *AddressCache(k, c) = mode;
        }
    }
    return SUCCEEDED(hr) ? 0 : -1;
}

int SetTextureAddress(int stage, int mode) { return SetAddressModes(stage, mode, 0, 2); }
int SetTextureAddressU(int stage, int mode) { return SetAddressModes(stage, mode, 0, 0); }
int SetTextureAddressV(int stage, int mode) { return SetAddressModes(stage, mode, 1, 1); }
int SetTextureAddressW(int stage, int mode) { return SetAddressModes(stage, mode, 2, 2); }

static void SendTexCoordTransform(int stage, int enable, const float* matrix)
{
    IDirect3DDevice9* device = Device();
    CachedStageState& s = DeviceStateCache.stages[stage];
    if (enable == 1) {
        device->SetTextureStageState(stage, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT3);
        device->SetTransform((D3DTRANSFORMSTATETYPE)(D3DTS_TEXTURE0 + stage),
                             reinterpret_cast<const D3DMATRIX*>(matrix));
    } else {
        device->SetTextureStageState(stage, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    }
    s.texTransformEnable = enable;
    memcpy(s.texTransform, matrix, sizeof s.texTransform);
}

int SetTexCoordTransform(int stage, int enable, const float* matrix)
{
    IDirect3DDevice9* device = Device();
    if (!matrix || stage < -1)
        return -1;
    if (!device || stage >= CACHED_STAGE_COUNT)
        return 0;
    if (stage == -1) {
        FlushVertexBuffer();
        for (int k = 0; k < 4; k++)
            SendTexCoordTransform(k, enable, matrix);
        return 0;
    }
    CachedStageState& s = DeviceStateCache.stages[stage];
    if (s.texTransformEnable == 0 && enable == 0)
        return 0;
    FlushVertexBuffer();
    if (enable == 1) {
        // The flags are sent only on the way in; a forced re-apply after a
        // reset sends them again, the device having forgotten them.
        if (s.texTransformEnable == 0 || DeviceStateCache.force)
            device->SetTextureStageState(stage, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT3);
        device->SetTransform((D3DTRANSFORMSTATETYPE)(D3DTS_TEXTURE0 + stage),
                             reinterpret_cast<const D3DMATRIX*>(matrix));
    } else {
        device->SetTextureStageState(stage, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    }
    s.texTransformEnable = enable;
    memcpy(s.texTransform, matrix, sizeof s.texTransform);
    return 0;
}

// Viewport and scissor changes hand the back buffer to another operation:
// an open scene is closed first, and the next draw opens a new one.
static void CloseSceneForTarget()
{
    if (DeviceObjects.inScene && DeviceObjects.d3d) {
        Device()->EndScene();
        DeviceObjects.inScene = 0;
    }
}

int SetViewportRect(const D3DVIEWPORT9* viewport)
{
    IDirect3DDevice9* device = Device();
    if (!device || !viewport)
        return -1;
    const D3DVIEWPORT9& c = DeviceStateCache.viewport;
    if (!DeviceStateCache.force && c.X == viewport->X && c.Y == viewport->Y &&
        c.Width == viewport->Width && c.Height == viewport->Height)
        return 0;
    FlushVertexBuffer();
    CloseSceneForTarget();
    D3DVIEWPORT9 sent = *viewport;
    HRESULT hr = device->SetViewport(&sent);
    if (FAILED(hr)) {
        char text[128];
        snprintf(text, sizeof text, "ビューポートのセットに失敗しました ErrorCode %x\n", (unsigned)hr);
        WriteLog(text);
        return -1;
    }
    DeviceStateCache.viewport = sent;
    return 0;
}

int SetViewportFromRect(int x1, int y1, int x2, int y2)
{
    if (x1 < 0 || y1 < 0 || x2 < x1 || y2 < y1)
        return -1;
    D3DVIEWPORT9 viewport = {(DWORD)x1, (DWORD)y1, (DWORD)(x2 - x1), (DWORD)(y2 - y1), 0.0f, 1.0f};
    return SetViewportRect(&viewport);
}

int SetScissorRectCached(const RECT* rect)
{
    IDirect3DDevice9* device = Device();
    if (!device || !rect)
        return -1;
    if (!DeviceStateCache.force && EqualRect(&DeviceStateCache.scissor, rect))
        return 0;
    FlushVertexBuffer();
    CloseSceneForTarget();
    device->SetScissorRect(rect);
    DeviceStateCache.scissor = *rect;
    return 0;
}

int SetRenderTargetCached(IDirect3DSurface9* surface)
{
    IDirect3DDevice9* device = Device();
    if (!device || !surface)
        return -1;
    if (!DeviceStateCache.force && DeviceStateCache.renderTarget == surface)
        return 0;
    FlushVertexBuffer();
    device->SetRenderTarget(0, surface);
    DeviceStateCache.renderTarget = surface;
    D3DSURFACE_DESC desc;
    if (FAILED(surface->GetDesc(&desc)))
        return 0;
    D3DVIEWPORT9 viewport = {0, 0, desc.Width, desc.Height, 0.0f, 1.0f};
    SetViewportRect(&viewport);
    return 0;
}

void ResetTexCoordIndices()
{
    IDirect3DDevice9* device = Device();
    if (!device)
        return;
    for (int k = 0; k < CACHED_STAGE_COUNT; k++) {
        if (DeviceStateCache.force || DeviceStateCache.stages[k].texCoordIndex != k) {
            FlushVertexBuffer();
            device->SetTextureStageState(k, D3DTSS_TEXCOORDINDEX, (DWORD)k);
            DeviceStateCache.stages[k].texCoordIndex = k;
        }
    }
}

void RefreshDeviceLights()
{
    SetLightingEnableCached(1);
    if (!LightsNeedRefresh())
        return;
    RefreshLightAssignments();
}

void ApplyDefault2DStates()
{
    if (!Device())
        return;
    DeviceStateSet& c = DeviceStateCache;
    c.force = 1;
    D3DVIEWPORT9 viewport = c.viewport;
    SetViewportRect(&viewport);
    RECT scissor = c.scissor;
    SetScissorRectCached(&scissor);
    ApplyLightingShaderState();
    SetTextureFilter(c.filterMode);
    SetDrawTextureState(nullptr, 1, 0);
    SetZEnable(c.zEnable);
    SetZWriteEnable(c.zWriteEnable);
    SetZFunc(c.zFunc);
    SetDepthBias(c.depthBias);
    SetFillModeCached(c.fillMode);
    SetCullMode(c.cullMode);
    SetShadeModeCached(c.shadeMode);
    c.force = 0;
}

void ForgetCachedDeviceObjects()
{
    DeviceStateSet& c = DeviceStateCache;
    c.renderTarget = nullptr;
    for (CachedStageState& s : c.stages)
        s.texture = nullptr;
    c.mainTexture = nullptr;
    c.vertexShader = nullptr;
    c.pixelShader = nullptr;
    c.vertexDeclaration = nullptr;
}

static void StoreInitialCache()
{
    DeviceStateSet& c = DeviceStateCache;
    int width = Screen.width, height = Screen.height;
    c.viewport = D3DVIEWPORT9{0, 0, (DWORD)(width > 0 ? width : 0), (DWORD)(height > 0 ? height : 0), 0.0f, 1.0f};
    SetRect(&c.scissor, 0, 0, width, height);
    c.renderTarget = DeviceObjects.backBuffer;
    c.stageCount = 0;
    c.alphaTestEnable = c.alphaRef = c.alphaFunc = c.alphaBlendEnable = 0;
    c.textureFactor = 0;
    c.srcBlend = c.destBlend = c.blendOp = 0;
    for (CachedStageState& s : c.stages) {
        s.texture = nullptr;
        s.texCoordIndex = 0;
        s.resultToTemp = 0;
        s.alphaArg1 = s.colorArg1 = D3DTA_TEXTURE;
        s.alphaArg2 = s.colorArg2 = D3DTA_DIFFUSE;
        s.alphaOp = s.colorOp = D3DTOP_DISABLE;
        s.maxAnisotropy = 1;
        s.texTransformEnable = 0;
    }
    c.userProgramActive = 0;
    c.userProgramTexturesOnly = 0;
    c.filterMode = 3;
    c.maxAnisotropy = 1;
    c.zEnable = 1;
    c.zWriteEnable = 0;
    c.zFunc = D3DCMP_LESSEQUAL;
    c.depthBias = 0;
    c.shadeMode = D3DSHADE_FLAT;
    c.fillMode = D3DFILL_SOLID;
    c.cullMode = DrawCullMode();
    c.fogEnable = 0;
    c.fogVertexMode = D3DFOG_NONE;
    c.fogColor = 0;
    c.fogStart = 0.0f;
    c.fogEnd = 1.0f;
    c.lighting = 1;
    c.specularEnable = 1;
    c.modulate = c.useAlpha = 0;
    c.blendMode = c.alphaKind = c.transKind = 0;
    c.mainTexture = c.blendTexture = nullptr;
    c.blendBorderParam = -1;
    c.blendBorderSize = 0;
    c.blendDirty = 1;
    c.textureDirty = 0;
    VertexBatch.skipDrawing = 0;
    SetDrawVertexColor(0xFFFFFFFF);
    VertexBatch.kind = VERTEX_KIND_TEXTURED;
    DiscardVertexBatch();
}

void SetDefaultRenderStates()
{
    IDirect3DDevice9* device = Device();
    if (!device)
        return;
    DeviceStateSet& c = DeviceStateCache;
    PrepareVertexBuffers();

    for (int coordinate = 0; coordinate < 3; coordinate++) {
        int* modes = DrawAddressModes(coordinate);
        for (int k = 0; k < CACHED_STAGE_COUNT; k++)
            if (modes[k] == 0)
                modes[k] = D3DTADDRESS_CLAMP;
    }
    for (int k = 0; k < CACHED_STAGE_COUNT; k++) {
        CachedStageState& s = c.stages[k];
        for (int coordinate = 0; coordinate < 3; coordinate++) {
            int mode = DrawAddressModes(coordinate)[k];
            device->SetSamplerState(k, AddressStates[coordinate], (DWORD)mode);
            *AddressCache(k, coordinate) = mode;
        }
        if (c.filterMode >= 0 && c.filterMode <= 2) {
            SendStageFilters(k, FilterStates[c.filterMode], true);
        } else {
            const int filters[3] = {s.magFilter, s.minFilter, s.mipFilter};
            SendStageFilters(k, filters, true);
        }
        s.maxAnisotropy = 1;
    }

    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
    device->SetRenderState(D3DRS_DITHERENABLE, FALSE);
    device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
    device->SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL);
    device->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE);
    device->SetRenderState(D3DRS_FOGENABLE, FALSE);
    device->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_NONE);
    device->SetRenderState(D3DRS_FOGCOLOR, 0);
    device->SetRenderState(D3DRS_FOGSTART, FloatBits(0.0f));
    device->SetRenderState(D3DRS_FOGEND, FloatBits(1.0f));

    StoreInitialCache();
    ApplyDefault2DStates();

    if (!DeviceObjects.inScene) {
        device->BeginScene();
        DeviceObjects.inScene = 1;
    }
    SetDrawBlendStates(nullptr, nullptr, 0);
    if (c.blendDirty || c.textureDirty)
        SetDrawTextureState(nullptr, 1, 0);

    // One point at the origin starts the first batch.
    int kind = VertexBatch.kind;
    void* at = AppendVertices(D3DPT_POINTLIST, 1, 1);
    if (at) {
        float* v = static_cast<float*>(at);
        v[0] = v[1] = v[2] = 0.0f;
        if (kind == VERTEX_KIND_PLAIN)
            static_cast<VertexPlain*>(at)->diffuse = DrawVertexColor();
        else if (kind == VERTEX_KIND_TEXTURED)
            static_cast<VertexTextured*>(at)->diffuse = DrawVertexColor();
        else
            static_cast<VertexBlend*>(at)->diffuse = DrawVertexColor();
    }
}

int ReapplyAllStates()
{
    IDirect3DDevice9* device = Device();
    if (!device)
        return -1;
    DeviceStateSet& c = DeviceStateCache;
    device->SetRenderState(D3DRS_DITHERENABLE, FALSE);
    c.force = 1;
    c.mainTexture = nullptr;
    DiscardVertexBatch();

    CacheDrawBlendState(c.blendMode, c.alphaKind, c.transKind);
    SetCullMode(c.cullMode);
    SetTextureFilter(c.filterMode);
    CacheDrawBlendState(c.blendMode, c.alphaKind, c.transKind);
    SetShadeModeCached(c.shadeMode);
    SetMaxAnisotropy(c.maxAnisotropy);
    SetCullMode(c.cullMode);

    for (int k = 0; k < CACHED_STAGE_COUNT; k++)
        for (int coordinate = 0; coordinate < 3; coordinate++)
            device->SetSamplerState(k, AddressStates[coordinate], (DWORD)*AddressCache(k, coordinate));
    for (int k = 0; k < CACHED_STAGE_COUNT; k++) {
        float matrix[16];
        memcpy(matrix, c.stages[k].texTransform, sizeof matrix);
        SetTexCoordTransform(k, c.stages[k].texTransformEnable, matrix);
    }

    SetFogEnableCached(c.fogEnable);
    SetFogVertexModeCached(c.fogVertexMode);
    SetFogColorCached(c.fogColor);
    SetFogRangeCached(c.fogStart, c.fogEnd);
    SetFogDensityCached(c.fogDensity);
    SetZEnable(c.zEnable);
    SetZWriteEnable(c.zWriteEnable);
    SetZFunc(c.zFunc);
    SetDepthBias(c.depthBias);
    SetFillModeCached(c.fillMode);

    FlushVertexBuffer();
    ReapplyTransforms();
    D3DMATERIAL9 material = c.material;
    SetMaterialState(&material);
    SetSpecularEnableCached(c.specularEnable);
    SetDiffuseMaterialSource(c.diffuseMaterialSource == D3DMCS_COLOR1);
    SetSpecularMaterialSource(c.specularMaterialSource == D3DMCS_COLOR2);
    DWORD ambient = 0;
    for (int i = 0; i < 4; i++) {
        float channel = c.ambient[i] < 0.0f ? 0.0f : c.ambient[i] > 1.0f ? 1.0f : c.ambient[i];
        ambient = (ambient << 8) | (DWORD)(int)(channel * 255.0f);
    }
    SetGlobalAmbient(ambient);
    SetLightingEnableCached(c.lighting);
    ReapplyDeviceLights();

    RECT area = DrawAreaRect();
    SetViewportFromRect(area.left, area.top, area.right, area.bottom);
    SetScissorRectCached(&area);
    ResetTexCoordIndices();
    SetDrawTextureState(nullptr, 1, 0);
    c.force = 0;
    return 0;
}
