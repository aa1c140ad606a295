#include "graphics/transform3d.h"

#include <math.h>
#include <string.h>

#include "graphics/device.h"
#include "graphics/draw_state.h"
#include "graphics/draw_target.h"
#include "graphics/mask_screen.h"
#include "graphics/shaders.h"
#include "graphics/state_cache.h"
#include "graphics/vertex_batch.h"
#include "runtime/library.h"

DEFINE_HANDLE_TABLE(LightHandles, HANDLE_TYPE_LIGHT, LIGHT_HANDLE_MAX, SLOT_AT_END);
Device3DCache Device3D = { {}, {}, -1, -1 };

static void FlushBatch()
{
    FlushVertexBuffer();
}

static int ForceReapply()
{
    return DeviceStateCache.force;
}

static IDirect3DDevice9* Device()
{
    return DeviceObjects.device;
}

static const float Euler = 2.7182817f;

// Constant registers (vertex c*, pixel p*; light k of 0..3).
enum {
    VC_AMBIENT = 1,
    VC_PROJECTION = 2,
    VC_VIEW = 6,
    VC_FOG = 10,
    VC_MATERIAL = 11,
    VC_LIGHT = 14,
    VC_LIGHT_STRIDE = 7,
    PC_AMBIENT = 1,
    PC_MATERIAL = 2,
    PC_LIGHT = 9,
    PC_LIGHT_STRIDE = 3,
    SHADER_LIGHT_COUNT = 4,
};

static void SetVertexBool(int reg, int value)
{
    if (ProgrammableShaders && Device()) {
        BOOL b = value ? TRUE : FALSE;
        Device()->SetVertexShaderConstantB((UINT)reg, &b, 1);
    }
}

static void UploadTransposed(int first, const Matrix* m)
{
    Matrix t;
    TransposeMatrix(&t, m);
    SetVertexShaderConstants(first, 4, t.m);
}

static int SetTransform(D3DTRANSFORMSTATETYPE type, const Matrix* m)
{
    if (!Device())
        return 0;
    return Device()->SetTransform(type, (const D3DMATRIX*)m->m) == D3D_OK ? 0 : -1;
}

// ---- Matrices and camera -------------------------------------------------

int RecomputeCombinedMatrices()
{
    if (Draw.combinedUpToDate)
        return 0;
    MultiplyMatrix(&Draw.combined, &Draw.view, &Draw.projection);
    MultiplyMatrix(&Draw.combined, &Draw.combined, &Draw.viewport);
    MultiplyMatrix(&Draw.worldCombined, &Draw.world, &Draw.combined);
    const float* v = Draw.view.m;
    MakeFloat4(&Draw.cameraRight, v[0], v[4], v[8], 0.0f);
    MakeFloat4(&Draw.cameraUp, v[1], v[5], v[9], 0.0f);
    MakeFloat4(&Draw.cameraForward, v[2], v[6], v[10], 0.0f);
    Draw.combinedUpToDate = 1;
    return 0;
}

int SetDeviceWorldTransform(const Matrix* m)
{
    return SetTransform(D3DTS_WORLD, m);
}

// The view-space position and direction of device light k (0..3).
static void UploadLightPlacement(int k, const Matrix* view)
{
    const D3DLIGHT9* light = &Device3D.lights[k];
    Vector3 p = { light->Position.x, light->Position.y, light->Position.z };
    Vector3 d = { light->Direction.x, light->Direction.y, light->Direction.z };
    TransformPointByMatrix(&p, &p, view);
    TransformVectorByMatrix(&d, &d, view);
    Float4 c[2];
    MakeFloat4(&c[0], p.x, p.y, p.z, 1.0f);
    MakeFloat4(&c[1], d.x, d.y, d.z, 0.0f);
    SetVertexShaderConstants(VC_LIGHT + VC_LIGHT_STRIDE * k, 2, &c[0].x);
}

int SetDeviceViewTransform(const Matrix* m)
{
    int result = SetTransform(D3DTS_VIEW, m);
    UploadTransposed(VC_VIEW, m);
    for (int k = 0; k < SHADER_LIGHT_COUNT; k++)
        UploadLightPlacement(k, m);
    return result;
}

int SetDeviceProjectionTransform(const Matrix* m)
{
    int result = SetTransform(D3DTS_PROJECTION, m);
    UploadTransposed(VC_PROJECTION, m);
    return result;
}

int SetWorldMatrix(const Matrix* m)
{
    FlushBatch();
    Draw.world = *m;
    Draw.combinedUpToDate = 0;
    RecomputeCombinedMatrices();
    if (Screen.hardware)
        SetDeviceWorldTransform(m);
    Draw.worldSet = 1;
    return 0;
}

int SetViewMatrix(const Matrix* m)
{
    FlushBatch();
    Draw.view = *m;
    Draw.combinedUpToDate = 0;
    RecomputeCombinedMatrices();
    if (Screen.hardware)
        SetDeviceViewTransform(m);
    Draw.viewSet = 1;
    return 0;
}

// The device gets projection x user viewport x inverse draw-area viewport, so
// that positions keep their place on the target while the device viewport is
// only the draw area.
static void SendProjection()
{
    if (Screen.hardware) {
        Matrix product;
        MultiplyMatrix(&product, &Draw.projection, &Draw.viewport);
        MultiplyMatrix(&product, &product, &Draw.areaViewportInverse);
        SetDeviceProjectionTransform(&product);
    }
    Draw.projectionSet = 1;
}

int SetProjectionMatrix(const Matrix* m)
{
    FlushBatch();
    Draw.projection = *m;
    Draw.combinedUpToDate = 0;
    RecomputeCombinedMatrices();
    SendProjection();
    return 0;
}

int SetViewportMatrix(const Matrix* m)
{
    FlushBatch();
    Draw.viewport = *m;
    Draw.combinedUpToDate = 0;
    RecomputeCombinedMatrices();
    SendProjection();
    return 0;
}

int RecomputeProjection()
{
    CameraState* c = &Draw.camera;
    if (c->mode != CAMERA_USER_MATRIX) {
        int w = 0, h = 0;
        GetDrawTargetSize(&w, &h);
        float aspect = w > 0 ? (float)h / (float)w * c->aspectScale : 0.0f;
        if (c->mode == CAMERA_PERSPECTIVE)
            MakePerspectiveMatrix(&c->userProjection, c->fov, c->nearZ, c->farZ, aspect);
        else
            MakeOrthoMatrix(&c->userProjection, c->orthoSize, c->nearZ, c->farZ, aspect);
    }
    Matrix m = c->userProjection;
    return SetProjectionMatrix(&m);
}

int SetProjectionMatrixDirect(const Matrix* m)
{
    Draw.camera.userProjection = *m;
    Draw.camera.mode = CAMERA_USER_MATRIX;
    return RecomputeProjection();
}

int SetCameraClipPlanes(float nearZ, float farZ)
{
    Draw.camera.nearZ = nearZ;
    Draw.camera.farZ = farZ;
    return RecomputeProjection();
}

int SetCameraFieldOfView(float fov)
{
    Draw.camera.fov = fov;
    Draw.camera.mode = CAMERA_PERSPECTIVE;
    return RecomputeProjection();
}

int CenterCameraOnScreen(float x, float y)
{
    int w = 0, h = 0;
    GetDrawTargetSize(&w, &h);
    Draw.camera.centerX = x;
    Draw.camera.centerY = y;
    Matrix m;
    MakeViewportMatrix(&m, x, y, Draw.camera.viewportScale * (float)w, Draw.camera.viewportScale * (float)h);
    return SetViewportMatrix(&m);
}

// ---- Lights -------------------------------------------------------------

LightRecord* GetLightRecord(int handle)
{
    return (LightRecord*)GetHandleRecord(&LightHandles, handle);
}

int CreateLightRecord()
{
    if (FindFreeHandleSlot(&LightHandles) < 0)
        return -1;
    int handle;
    LightRecord* record = (LightRecord*)AllocHandleRecord(&LightHandles, sizeof(LightRecord), "Light", __LINE__, &handle);
    if (!record)
        FatalErrorExit("ライト用のメモリの確保に失敗しました");
    D3DLIGHT9* l = &record->light;
    l->Diffuse = { 1.0f, 1.0f, 1.0f, 1.0f };
    l->Specular = { 1.0f, 1.0f, 1.0f, 1.0f };
    l->Ambient = { 0.33f, 0.33f, 0.33f, 0.33f };
    l->Range = 2000.0f;
    l->Falloff = 1.0f;
    l->Attenuation0 = 0.1f;
    l->Theta = 2.0f;
    l->Phi = 2.0f;
    record->deviceIndex = -1;
    record->handle = handle;
    record->enabled = 1;
    record->changed = 1;
    Draw.lightsChanged = 1;
    return handle;
}

int CreateDirectionalLight(float x, float y, float z)
{
    int handle = CreateLightRecord();
    if (handle == -1)
        return -1;
    LightRecord* record = GetLightRecord(handle);
    record->light.Type = D3DLIGHT_DIRECTIONAL;
    Vector3 d;
    MakeNormalizedVector(&d, x, y, z);
    record->light.Direction = { d.x, d.y, d.z };
    return handle;
}

int FreeLightHandle(int handle)
{
    LightRecord* record = GetLightRecord(handle);
    if (!record)
        return -1;
    if (record->deviceIndex >= 0)
        Draw.lightsChanged = 1;
    FreeHandleRecord(&LightHandles, handle);
    Draw.lightsChanged = 1;
    return 0;
}

int DeleteAllLightsButDefault()
{
    for (int slot = 0; slot < LightHandles.endSlot; slot++) {
        int handle = HandleAtSlot(&LightHandles, slot);
        if (handle != -1 && handle != Draw.defaultLight)
            FreeLightHandle(handle);
    }
    return 0;
}

static D3DCOLORVALUE Product(const D3DCOLORVALUE& a, const D3DCOLORVALUE& b)
{
    return { a.r * b.r, a.g * b.g, a.b * b.b, a.a * b.a };
}

int UploadLightAmbientConstants()
{
    const D3DMATERIAL9* m = &DeviceStateCache.material;
    // Only lights 0..3 have registers.
    int last = Device3D.highestEnabledLight < SHADER_LIGHT_COUNT ? Device3D.highestEnabledLight : SHADER_LIGHT_COUNT - 1;
    for (int k = 0; k <= last; k++) {
        if (!Device3D.lightEnabled[k])
            continue;
        D3DCOLORVALUE c = Product(Device3D.lights[k].Ambient, m->Ambient);
        SetVertexShaderConstants(VC_LIGHT + VC_LIGHT_STRIDE * k + 4, 1, &c.r);
        SetPixelShaderConstants(PC_LIGHT + PC_LIGHT_STRIDE * k + 2, 1, &c.r);
    }
    const float* ambient = DeviceStateCache.ambient;   // a, r, g, b
    D3DCOLORVALUE global = { ambient[1], ambient[2], ambient[3], ambient[0] };
    D3DCOLORVALUE c = Product(global, m->Ambient);
    c = { c.r + m->Emissive.r, c.g + m->Emissive.g, c.b + m->Emissive.b, c.a + m->Emissive.a };
    SetVertexShaderConstants(VC_AMBIENT, 1, &c.r);
    SetPixelShaderConstants(PC_AMBIENT, 1, &c.r);
    return 0;
}

// Light k's colour and shape terms: vertex c14+7k position, c15 direction,
// c16 diffuse, c17 specular, c18 ambient product, c19 (range, attenuation
// 0-2), c20 (falloff, cos theta/2, cos phi/2, 0); pixel c9+3k diffuse,
// c10 specular, c11 ambient product.
static void UploadLightConstants(int k, const D3DLIGHT9* light)
{
    UploadLightPlacement(k, &Draw.view);
    int base = VC_LIGHT + VC_LIGHT_STRIDE * k;
    SetVertexShaderConstants(base + 2, 1, &light->Diffuse.r);
    SetVertexShaderConstants(base + 3, 1, &light->Specular.r);
    Float4 shape[2];
    MakeFloat4(&shape[0], light->Range, light->Attenuation0, light->Attenuation1, light->Attenuation2);
    MakeFloat4(&shape[1], light->Falloff, cosf(light->Theta * 0.5f), cosf(light->Phi * 0.5f), 0.0f);
    SetVertexShaderConstants(base + 5, 2, &shape[0].x);
    int pixel = PC_LIGHT + PC_LIGHT_STRIDE * k;
    SetPixelShaderConstants(pixel, 1, &light->Diffuse.r);
    SetPixelShaderConstants(pixel + 1, 1, &light->Specular.r);
    SetVertexBool(5 + 3 * k, light->Type == D3DLIGHT_POINT || light->Type == D3DLIGHT_SPOT);
    SetVertexBool(6 + 3 * k, light->Type == D3DLIGHT_SPOT);
}

int SetLightState(int index, const D3DLIGHT9* light)
{
    if (!Device())
        return 0;
    if (index < 0 || !light)
        return -1;
    FlushBatch();
    if (index < DEVICE_LIGHT_COUNT)
        Device3D.lights[index] = *light;
    if (index < SHADER_LIGHT_COUNT) {
        UploadLightConstants(index, light);
        UploadLightAmbientConstants();
    }
    return Device()->SetLight((DWORD)index, light) == D3D_OK ? 0 : -1;
}

int SetLightEnableState(int index, int enable)
{
    if (!Device())
        return 0;
    if (index < 0)
        return -1;
    FlushBatch();
    if (index < DEVICE_LIGHT_COUNT) {
        Device3D.lightEnabled[index] = enable ? 1 : 0;
        if (enable) {
            if (index > Device3D.highestEnabledLight)
                Device3D.highestEnabledLight = index;
        } else if (index == Device3D.highestEnabledLight) {
            int next = 0;
            for (int i = index - 1; i >= 0; i--)
                if (Device3D.lightEnabled[i]) {
                    next = i;
                    break;
                }
            Device3D.highestEnabledLight = next;
        }
    }
    UploadLightAmbientConstants();
    if (index < SHADER_LIGHT_COUNT)
        SetVertexBool(4 + 3 * index, enable);
    return Device()->LightEnable((DWORD)index, enable ? TRUE : FALSE) == D3D_OK ? 0 : -1;
}

int SetLightForward(int index, int enable, const D3DLIGHT9* light)
{
    int result = 0;
    if (enable == 1 && SetLightState(index, light) < 0)
        result = -1;
    if (SetLightEnableState(index, enable) < 0)
        result = -1;
    return result;
}

int SetMaterialState(const D3DMATERIAL9* material)
{
    if (!Device())
        return 0;
    if (!ForceReapply() && memcmp(material, &DeviceStateCache.material, sizeof *material) == 0)
        return 0;
    FlushBatch();
    DeviceStateCache.material = *material;
    Float4 power;
    MakeFloat4(&power, material->Power, 0.0f, 0.0f, 0.0f);
    SetVertexShaderConstants(VC_MATERIAL, 1, &material->Diffuse.r);
    SetVertexShaderConstants(VC_MATERIAL + 1, 1, &material->Specular.r);
    SetVertexShaderConstants(VC_MATERIAL + 2, 1, &power.x);
    SetPixelShaderConstants(PC_MATERIAL, 1, &material->Diffuse.r);
    SetPixelShaderConstants(PC_MATERIAL + 1, 1, &material->Specular.r);
    SetPixelShaderConstants(PC_MATERIAL + 2, 1, &power.x);
    UploadLightAmbientConstants();
    return Device()->SetMaterial(material) == D3D_OK ? 0 : -1;
}

// A render state through the 3D cache: nothing when unchanged (unless
// forced), else flush, record and send.
static int SetCachedState(int* cache, int value, D3DRENDERSTATETYPE state, DWORD sent)
{
    if (!Device())
        return 0;
    if (*cache == value && !ForceReapply())
        return 0;
    FlushBatch();
    *cache = value;
    return Device()->SetRenderState(state, sent) == D3D_OK ? 0 : -1;
}

static DWORD FloatBits(float f)
{
    DWORD bits;
    memcpy(&bits, &f, sizeof bits);
    return bits;
}

int SetGlobalAmbient(DWORD color)
{
    if (!Device())
        return 0;
    float channels[4] = {   // a, r, g, b
        (float)(color >> 24) / 255.0f,
        (float)((color >> 16) & 0xFF) / 255.0f,
        (float)((color >> 8) & 0xFF) / 255.0f,
        (float)(color & 0xFF) / 255.0f,
    };
    if (memcmp(channels, DeviceStateCache.ambient, sizeof channels) == 0 && !ForceReapply())
        return 0;
    FlushBatch();
    memcpy(DeviceStateCache.ambient, channels, sizeof channels);
    UploadLightAmbientConstants();
    return Device()->SetRenderState(D3DRS_AMBIENT, color) == D3D_OK ? 0 : -1;
}

int SetLightingEnableCached(int on)
{
    return SetCachedState(&DeviceStateCache.lighting, on, D3DRS_LIGHTING, on ? TRUE : FALSE);
}

int SetLightingEnable(int on)
{
    return SetLightingEnableCached(on);
}

int SetDiffuseMaterialSource(int on)
{
    int source = on ? D3DMCS_COLOR1 : D3DMCS_MATERIAL;
    return SetCachedState(&DeviceStateCache.diffuseMaterialSource, source, D3DRS_DIFFUSEMATERIALSOURCE, (DWORD)source);
}

int SetSpecularMaterialSource(int on)
{
    int source = on ? D3DMCS_COLOR2 : D3DMCS_MATERIAL;
    return SetCachedState(&DeviceStateCache.specularMaterialSource, source, D3DRS_SPECULARMATERIALSOURCE, (DWORD)source);
}

int ApplyLightingShaderState()
{
    IDirect3DDevice9* device = Device();
    if (!device)
        return -1;
    FlushBatch();
    DeviceStateSet& c = DeviceStateCache;
    static const int texCoordIndices[4] = { 0, 1, 1, 0 };
    for (int k = 0; k < 4; k++) {
        device->SetSamplerState((DWORD)k, D3DSAMP_ADDRESSU, (DWORD)c.stages[k].addressU);
        device->SetSamplerState((DWORD)k, D3DSAMP_ADDRESSV, (DWORD)c.stages[k].addressV);
        device->SetTextureStageState((DWORD)k, D3DTSS_TEXCOORDINDEX, (DWORD)texCoordIndices[k]);
        c.stages[k].texCoordIndex = texCoordIndices[k];
        if (DeviceObjects.tempArgSupported) {
            device->SetTextureStageState((DWORD)k, D3DTSS_RESULTARG, D3DTA_CURRENT);
            c.stages[k].resultToTemp = 0;
        }
    }
    device->SetRenderState(D3DRS_SHADEMODE, (DWORD)c.shadeMode);
    device->SetRenderState(D3DRS_LIGHTING, c.lighting ? TRUE : FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_DITHERENABLE, FALSE);
    static const float vertexBase[4] = { 0.0f, 1.0f, 0.0f, 0.0f };
    static const float pixelBase[4] = { 0.0f, 0.5f, 1.0f, 2.0f };
    SetVertexShaderConstants(0, 1, vertexBase);
    SetPixelShaderConstants(0, 1, pixelBase);
    device->SetVertexShader(nullptr);
    device->SetPixelShader(nullptr);
    c.vertexShader = nullptr;
    c.pixelShader = nullptr;
    c.vertexDeclaration = nullptr;
    VertexBatch.fvf = 0;
    return 0;
}

int MaterialChanged()
{
    return memcmp(&Draw.material.material, &DeviceStateCache.material, sizeof(D3DMATERIAL9)) != 0 ? 1 : 0;
}

const D3DMATERIAL9* DrawMaterial()
{
    return &Draw.material.material;
}

int DrawUsesVertexColor()
{
    return Draw.material.useVertexColor;
}

void ReapplyTransforms()
{
    Matrix world = Draw.world, view = Draw.view, projection = Draw.projection, viewport = Draw.viewport;
    SetWorldMatrix(&world);
    SetViewMatrix(&view);
    SetProjectionMatrix(&projection);
    SetViewportMatrix(&viewport);
}

void ReapplyDeviceLights()
{
    for (int k = 0; k <= Device3D.highestEnabledLight && k < DEVICE_LIGHT_COUNT; k++)
        if (Device3D.lightEnabled[k]) {
            D3DLIGHT9 light = Device3D.lights[k];
            SetLightForward(k, 1, &light);
        }
}

int LightsNeedRefresh()
{
    return Draw.lightsChanged || Draw.lightsFullRefresh ? 1 : 0;
}

void RefreshLightAssignments()
{
    int previous = Device3D.highestAssignedLight;
    int next = 0;
    static const D3DLIGHTTYPE order[3] = { D3DLIGHT_DIRECTIONAL, D3DLIGHT_SPOT, D3DLIGHT_POINT };
    for (D3DLIGHTTYPE type : order)
        for (int slot = 0; slot < LightHandles.endSlot; slot++) {
            LightRecord* record = (LightRecord*)LightHandles.records[slot];
            if (!record || !record->enabled || record->light.Type != type)
                continue;
            int index = next++;
            if (index != record->deviceIndex || record->changed || Draw.lightsFullRefresh) {
                record->deviceIndex = index;
                record->changed = 0;
                SetLightForward(index, 1, &record->light);
            }
        }
    // Lights left without an index (disabled ones) no longer hold one.
    for (int slot = 0; slot < LightHandles.endSlot; slot++) {
        LightRecord* record = (LightRecord*)LightHandles.records[slot];
        if (record && (!record->enabled || record->light.Type < D3DLIGHT_POINT || record->light.Type > D3DLIGHT_DIRECTIONAL))
            record->deviceIndex = -1;
    }
    for (int index = next; index <= previous; index++)
        SetLightEnableState(index, 0);
    Device3D.highestAssignedLight = next - 1;
    Draw.lightsChanged = 0;
    Draw.lightsFullRefresh = 0;
}

// ---- Fog ---------------------------------------------------------------

static void UploadFogConstant()
{
    float range = DeviceStateCache.fogEnd - DeviceStateCache.fogStart;
    Float4 c;
    MakeFloat4(&c, DeviceStateCache.fogEnd / range, -1.0f / range, DeviceStateCache.fogDensity, Euler);
    SetVertexShaderConstants(VC_FOG, 1, &c.x);
}

int SetFogEnableCached(int on)
{
    return SetCachedState(&DeviceStateCache.fogEnable, on, D3DRS_FOGENABLE, on ? TRUE : FALSE);
}

int SetFogVertexModeCached(int mode)
{
    if (!Device())
        return 0;
    if (DeviceStateCache.fogVertexMode == mode && !ForceReapply())
        return 0;
    FlushBatch();
    DeviceStateCache.fogVertexMode = mode;
    SetVertexBool(0, mode == D3DFOG_LINEAR);
    SetVertexBool(1, mode == D3DFOG_EXP);
    SetVertexBool(2, mode == D3DFOG_EXP2);
    SetVertexBool(3, mode != D3DFOG_NONE);
    return Device()->SetRenderState(D3DRS_FOGVERTEXMODE, (DWORD)mode) == D3D_OK ? 0 : -1;
}

int SetFogColorCached(DWORD color)
{
    if (!Device())
        return 0;
    if (DeviceStateCache.fogColor == color && !ForceReapply())
        return 0;
    FlushBatch();
    DeviceStateCache.fogColor = color;
    return Device()->SetRenderState(D3DRS_FOGCOLOR, color) == D3D_OK ? 0 : -1;
}

int SetFogRangeCached(float start, float end)
{
    if (!Device())
        return 0;
    int force = ForceReapply();
    int result = 0;
    if (DeviceStateCache.fogStart != start || force) {
        FlushBatch();
        DeviceStateCache.fogStart = start;
        if (Device()->SetRenderState(D3DRS_FOGSTART, FloatBits(start)) != D3D_OK)
            result = -1;
        UploadFogConstant();
    }
    if (DeviceStateCache.fogEnd != end || force) {
        FlushBatch();
        DeviceStateCache.fogEnd = end;
        if (Device()->SetRenderState(D3DRS_FOGEND, FloatBits(end)) != D3D_OK)
            result = -1;
        UploadFogConstant();
    }
    return result;
}

int SetFogDensityCached(float density)
{
    if (!Device())
        return 0;
    if (DeviceStateCache.fogDensity == density && !ForceReapply())
        return 0;
    FlushBatch();
    DeviceStateCache.fogDensity = density;
    UploadFogConstant();
    return Device()->SetRenderState(D3DRS_FOGDENSITY, FloatBits(density)) == D3D_OK ? 0 : -1;
}

int SetFogKind(int mode)
{
    if (Draw.fog.mode == mode && (!Screen.hardware || DeviceStateCache.fogVertexMode == mode))
        return 0;
    Draw.fog.mode = mode;
    FlushBatch();
    if (Screen.hardware)
        SetFogVertexModeCached(mode);
    return 0;
}

int SetFogColorRGB(int r, int g, int b)
{
    uint32_t color = 0xFF000000u | ((uint32_t)r << 16) | ((uint32_t)g << 8) | (uint32_t)b;
    if (Draw.fog.color == color && (!Screen.hardware || DeviceStateCache.fogColor == color))
        return 0;
    Draw.fog.color = color;
    FlushBatch();
    if (Screen.hardware)
        SetFogColorCached(color);
    return 0;
}

int SetFogRange(float start, float end)
{
    if (Draw.fog.start == start && Draw.fog.end == end
        && (!Screen.hardware || (DeviceStateCache.fogStart == start && DeviceStateCache.fogEnd == end)))
        return 0;
    Draw.fog.start = start;
    Draw.fog.end = end;
    FlushBatch();
    if (Screen.hardware)
        SetFogRangeCached(start, end);
    return 0;
}

// ---- Reset -------------------------------------------------------------

int ResetGraphicsState()
{
    // Kept: the restore handler, the vertical-sync settings, the reduced
    // screen, the lights and material, and the single-texture setting that
    // only movie-graph creation touches.
    DrawState kept = Draw;
    memset(&Draw, 0, sizeof Draw);
    Draw.restoreHandler = kept.restoreHandler;
    Draw.noVSync = kept.noVSync;
    Draw.noVSyncRequest = kept.noVSyncRequest;
    Draw.reducedScreen = kept.reducedScreen;
    Draw.material = kept.material;
    Draw.lightsChanged = kept.lightsChanged;
    Draw.lightsFullRefresh = kept.lightsFullRefresh;
    Draw.defaultLight = kept.defaultLight;
    Draw.create.singleTexture = kept.create.singleTexture;

    Draw.blendGraph = -1;
    for (int i = 0; i < TEXTURE_STAGE_COUNT; i++) {
        Draw.addressU[i] = D3DTADDRESS_CLAMP;
        Draw.addressV[i] = D3DTADDRESS_CLAMP;
        Draw.addressW[i] = D3DTADDRESS_CLAMP;
    }
    Draw.vertexDepth2D = 0.2f;
    Draw.depth2D = { 0, 0, D3DCMP_LESSEQUAL, 0 };
    Draw.depth3D = Draw.depth2D;
    Draw.fillMode = D3DFILL_SOLID;
    Draw.lightsChanged = 1;
    Draw.create.useTransColor = 1;
    Draw.create.alphaTest = 1;
    Draw.filterMode = 0;
    Draw.maxAnisotropy = 1;
    Draw.blendMode = 0;
    SetBrightness(255, 255, 255);

    SetFogKind(D3DFOG_LINEAR);
    SetFogColorRGB(255, 255, 255);
    SetFogRange(0.0f, 1500.0f);
    Draw.create.colorDepth = 0;
    Draw.maskRequest = 1;
    SetMaskDrawing(0);

    Draw.target = DRAW_TARGET_BACK;
    SelectDrawTarget(DRAW_TARGET_FRONT);
    int w = 0, h = 0;
    GetDrawTargetSize(&w, &h);
    SetClipArea(0, 0, w, h);

    Draw.softDrawSuppress = 0;
    Draw.defaultLight = CreateDirectionalLight(1.0f, -1.0f, 1.0f);

    CameraState* c = &Draw.camera;
    c->nearZ = 10.0f;
    c->farZ = 10000.0f;
    c->mode = CAMERA_PERSPECTIVE;
    c->aspectScale = 1.0f;
    c->fov = 1.0471976f;
    c->orthoSize = 1.0f;
    MakeIdentityMatrix(&c->userProjection);

    MaterialState* m = &Draw.material;
    m->useVertexColor = 1;
    m->material.Diffuse = { 0.8f, 0.8f, 0.8f, 1.0f };
    m->material.Ambient = { 0.0f, 0.0f, 0.0f, 0.0f };
    m->material.Specular = { 0.8f, 0.8f, 0.8f, 0.0f };
    m->material.Emissive = { 0.0f, 0.0f, 0.0f, 0.0f };
    m->material.Power = 20.0f;
    c->viewportScale = 1.0f;
    return 0;
}
