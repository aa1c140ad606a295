#include "tests/graphics/recording_device.h"

void RecordingDevice::Record(DeviceCallKind kind, DWORD a, DWORD b, DWORD c, const void* pointer)
{
    DeviceCall call = {};
    call.kind = kind;
    call.a = a;
    call.b = b;
    call.c = c;
    call.pointer = pointer;
    calls.push_back(call);
}

std::vector<DeviceCall> RecordingDevice::Of(DeviceCallKind kind) const
{
    std::vector<DeviceCall> found;
    for (const DeviceCall& call : calls)
        if (call.kind == kind)
            found.push_back(call);
    return found;
}

bool RecordingDevice::LastRenderState(D3DRENDERSTATETYPE state, DWORD* value) const
{
    bool found = false;
    for (const DeviceCall& call : calls) {
        if (call.kind == CALL_RENDER_STATE && call.a == (DWORD)state) {
            *value = call.b;
            found = true;
        }
    }
    return found;
}

bool RecordingDevice::LastStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) const
{
    bool found = false;
    for (const DeviceCall& call : calls) {
        if (call.kind == CALL_TEXTURE_STAGE_STATE && call.a == stage && call.b == (DWORD)type) {
            *value = call.c;
            found = true;
        }
    }
    return found;
}

bool RecordingDevice::LastSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) const
{
    bool found = false;
    for (const DeviceCall& call : calls) {
        if (call.kind == CALL_SAMPLER_STATE && call.a == sampler && call.b == (DWORD)type) {
            *value = call.c;
            found = true;
        }
    }
    return found;
}

HRESULT STDMETHODCALLTYPE RecordingDevice::QueryInterface(REFIID, void** object)
{
    if (object)
        *object = nullptr;
    return E_NOINTERFACE;
}

// The test owns the device: reference counting is not modelled.
ULONG STDMETHODCALLTYPE RecordingDevice::AddRef() { return 1; }
ULONG STDMETHODCALLTYPE RecordingDevice::Release() { return 1; }

HRESULT STDMETHODCALLTYPE RecordingDevice::SetRenderTarget(DWORD index, IDirect3DSurface9* surface)
{
    Record(CALL_RENDER_TARGET, index, 0, 0, surface);
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE RecordingDevice::BeginScene()
{
    Record(CALL_BEGIN_SCENE);
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE RecordingDevice::EndScene()
{
    Record(CALL_END_SCENE);
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE RecordingDevice::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix)
{
    Record(CALL_TRANSFORM, (DWORD)state, 0, 0, matrix);
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE RecordingDevice::SetViewport(const D3DVIEWPORT9* viewport)
{
    Record(CALL_VIEWPORT);
    if (viewport)
        calls.back().viewport = *viewport;
    return viewportResult;
}

HRESULT STDMETHODCALLTYPE RecordingDevice::SetMaterial(const D3DMATERIAL9* material)
{
    Record(CALL_MATERIAL, 0, 0, 0, material);
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE RecordingDevice::SetLight(DWORD index, const D3DLIGHT9* light)
{
    Record(CALL_LIGHT, index, 0, 0, light);
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE RecordingDevice::LightEnable(DWORD index, WINBOOL enable)
{
    Record(CALL_LIGHT_ENABLE, index, (DWORD)enable);
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE RecordingDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value)
{
    Record(CALL_RENDER_STATE, (DWORD)state, value);
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE RecordingDevice::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture)
{
    Record(CALL_TEXTURE, stage, 0, 0, texture);
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE RecordingDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value)
{
    Record(CALL_TEXTURE_STAGE_STATE, stage, (DWORD)type, value);
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE RecordingDevice::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value)
{
    Record(CALL_SAMPLER_STATE, sampler, (DWORD)type, value);
    return samplerResult;
}

HRESULT STDMETHODCALLTYPE RecordingDevice::SetScissorRect(const RECT* rect)
{
    Record(CALL_SCISSOR);
    if (rect)
        calls.back().rect = *rect;
    return D3D_OK;
}

// Vertices (or indices) that a primitive count of a type takes.
static UINT ElementsOf(D3DPRIMITIVETYPE type, UINT count)
{
    switch (type) {
    case D3DPT_POINTLIST: return count;
    case D3DPT_LINELIST: return 2 * count;
    case D3DPT_LINESTRIP: return count + 1;
    case D3DPT_TRIANGLELIST: return 3 * count;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN: return count + 2;
    default: return 0;
    }
}

HRESULT STDMETHODCALLTYPE RecordingDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT count, const void* data, UINT stride)
{
    Record(CALL_DRAW_UP, (DWORD)type, count, stride, data);
    DeviceCall& call = calls.back();
    call.vertexCount = ElementsOf(type, count);
    if (data && call.vertexCount <= RECORDED_VERTEX_MAX) {
        const unsigned char* bytes = static_cast<const unsigned char*>(data);
        call.data.assign(bytes, bytes + (size_t)call.vertexCount * stride);
    }
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE RecordingDevice::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex, UINT vertexCount,
                                                                  UINT count, const void* indexData, D3DFORMAT indexFormat,
                                                                  const void* data, UINT stride)
{
    Record(CALL_DRAW_INDEXED_UP, (DWORD)type, count, stride, data);
    DeviceCall& call = calls.back();
    call.vertexCount = vertexCount;
    if (data && vertexCount <= RECORDED_VERTEX_MAX) {
        const unsigned char* bytes = static_cast<const unsigned char*>(data);
        call.data.assign(bytes + (size_t)minIndex * stride, bytes + (size_t)(minIndex + vertexCount) * stride);
    }
    if (indexData && indexFormat == D3DFMT_INDEX16) {
        const uint16_t* indices = static_cast<const uint16_t*>(indexData);
        call.indices.assign(indices, indices + ElementsOf(type, count));
    }
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE RecordingDevice::SetFVF(DWORD fvf)
{
    Record(CALL_FVF, fvf);
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE RecordingDevice::SetVertexShader(IDirect3DVertexShader9* shader)
{
    Record(CALL_VERTEX_SHADER, 0, 0, 0, shader);
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE RecordingDevice::SetPixelShader(IDirect3DPixelShader9* shader)
{
    Record(CALL_PIXEL_SHADER, 0, 0, 0, shader);
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE RecordingDevice::SetPixelShaderConstantF(UINT first, const float* data, UINT count)
{
    Record(CALL_PIXEL_CONSTANT, first, count, 0, data);
    return D3D_OK;
}

#include "graphics/blend_modes.h"
#include "graphics/device.h"
#include "graphics/draw_state.h"
#include "graphics/pipeline_inputs.h"
#include "graphics/state_cache.h"
#include "graphics/vertex_batch.h"
#include "runtime/system_state.h"

// The Direct3D object only has to exist for the scene calls; nothing calls it.
static char direct3DStandIn;

void InstallRecordingDevice(RecordingDevice* device, int blendOp)
{
    // The draw settings that the reset of the graphics state gives.
    Draw = DrawState{};
    Draw.target = -2;
    SetRect(&Draw.area, 0, 0, 640, 480);
    Draw.depth2D = Draw.depth3D = DepthSet{0, 0, D3DCMP_LESSEQUAL, 0};
    Draw.fillMode = D3DFILL_SOLID;
    for (int k = 0; k < TEXTURE_STAGE_COUNT; k++)
        Draw.addressU[k] = Draw.addressV[k] = Draw.addressW[k] = D3DTADDRESS_CLAMP;
    Draw.vertexDepth2D = 0.2f;
    Draw.maxAnisotropy = 1;
    Draw.blendGraph = -1;
    Draw.brightness = 0xFFFFFF;
    DeviceObjects = DeviceObjectSet{};
    DeviceObjects.device = device;
    DeviceObjects.d3d = reinterpret_cast<IDirect3D9*>(&direct3DStandIn);
    DeviceObjects.blendOpSupported = blendOp;
    DeviceStateCache = DeviceStateSet{};
    VertexBatch.kind = VERTEX_KIND_TEXTURED;
    VertexBatch.primitiveType = 0;
    VertexBatch.count = 0;
    VertexBatch.write = nullptr;
    VertexBatch.fvf = 0;
    VertexBatch.skipDrawing = 0;
    SystemState.live.quit = 0;
    device->Forget();
}

void RemoveRecordingDevice()
{
    DeviceObjects = DeviceObjectSet{};
    DiscardVertexBatch();
}
