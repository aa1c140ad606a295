#include "graphics/vertex_batch.h"

#include "graphics/device.h"
#include "runtime/window_state.h"

VertexBatchSet VertexBatch = {{}, {}, {}, VERTEX_KIND_TEXTURED, 0, 0, nullptr, 0, 0};

int VertexStride(int kind)
{
    switch (kind) {
    case VERTEX_KIND_PLAIN: return (int)sizeof(VertexPlain);
    case VERTEX_KIND_TEXTURED: return (int)sizeof(VertexTextured);
    case VERTEX_KIND_BLEND: return (int)sizeof(VertexBlend);
    }
    return 0;
}

int VertexCapacity(int kind)
{
    switch (kind) {
    case VERTEX_KIND_PLAIN: return VERTEX_CAPACITY_PLAIN;
    case VERTEX_KIND_TEXTURED: return VERTEX_CAPACITY_TEXTURED;
    case VERTEX_KIND_BLEND: return VERTEX_CAPACITY_BLEND;
    }
    return 0;
}

static DWORD VertexFvf(int kind)
{
    switch (kind) {
    case VERTEX_KIND_PLAIN: return VERTEX_FVF_PLAIN;
    case VERTEX_KIND_TEXTURED: return VERTEX_FVF_TEXTURED;
    case VERTEX_KIND_BLEND: return VERTEX_FVF_BLEND;
    }
    return 0;
}

unsigned char* VertexBufferStart(int kind)
{
    switch (kind) {
    case VERTEX_KIND_PLAIN: return reinterpret_cast<unsigned char*>(VertexBatch.plain);
    case VERTEX_KIND_TEXTURED: return reinterpret_cast<unsigned char*>(VertexBatch.textured);
    case VERTEX_KIND_BLEND: return reinterpret_cast<unsigned char*>(VertexBatch.blend);
    }
    return nullptr;
}

static void EmptyBatch()
{
    VertexBatch.count = 0;
    VertexBatch.write = VertexBufferStart(VertexBatch.kind);
}

UINT PrimitiveCountFor(int type, int n)
{
    switch (type) {
    case D3DPT_POINTLIST: return (UINT)n;
    case D3DPT_LINELIST: return (UINT)(n / 2);
    case D3DPT_LINESTRIP: return n > 0 ? (UINT)(n - 1) : 0;
    case D3DPT_TRIANGLELIST: return (UINT)(n / 3);
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN: return n > 1 ? (UINT)(n - 2) : 0;
    }
    return 0;
}

int SetFVFCached(DWORD fvf)
{
    IDirect3DDevice9* device = DeviceObjects.device;
    if (!device)
        return -1;
    if (VertexBatch.fvf != fvf) {
        device->SetFVF(fvf);
        VertexBatch.fvf = fvf;
    }
    return 0;
}

int FlushVertexBuffer()
{
    IDirect3DDevice9* device = DeviceObjects.device;
    if (!device)
        return -1;
    if (VertexBatch.count == 0) {
        EmptyBatch();
        return 0;
    }
    // After the window is gone, or while the transition hides everything,
    // the queued vertices are thrown away.
    if (!GetQuitRequested() && !VertexBatch.skipDrawing) {
        if (!DeviceObjects.inScene)
            BeginSceneIfNeeded();
        int kind = VertexBatch.kind;
        UINT primitives = PrimitiveCountFor(VertexBatch.primitiveType, VertexBatch.count);
        SetFVFCached(VertexFvf(kind));
        device->DrawPrimitiveUP((D3DPRIMITIVETYPE)VertexBatch.primitiveType, primitives,
                                VertexBufferStart(kind), (UINT)VertexStride(kind));
    }
    EmptyBatch();
    return 0;
}

void* AppendVertices(int primitiveType, int n, int allowFull)
{
    int capacity = VertexCapacity(VertexBatch.kind);
    int stride = VertexStride(VertexBatch.kind);
    if (n <= 0 || capacity == 0 || (allowFull ? n > capacity : n >= capacity))
        return nullptr;
    if (VertexBatch.count != 0) {
        int64_t after = (int64_t)VertexBatch.count + n;
        bool room = allowFull ? after <= capacity : after < capacity;
        if (VertexBatch.primitiveType != primitiveType || !room) {
            if (FlushVertexBuffer() != 0)
                return nullptr;
        }
    }
    if (VertexBatch.count == 0 || !VertexBatch.write)
        VertexBatch.write = VertexBufferStart(VertexBatch.kind) + (size_t)VertexBatch.count * stride;
    unsigned char* at = VertexBatch.write;
    VertexBatch.primitiveType = primitiveType;
    VertexBatch.count += n;
    VertexBatch.write += (size_t)n * stride;
    return at;
}

void DiscardVertexBatch()
{
    EmptyBatch();
}

int SetVertexKind(int kind)
{
    if (kind < 0 || kind >= VERTEX_KIND_COUNT || VertexBatch.count != 0)
        return -1;
    VertexBatch.kind = kind;
    EmptyBatch();
    return 0;
}

void PrepareVertexBuffers()
{
    for (VertexPlain& v : VertexBatch.plain) {
        v.z = 0.0f;
        v.rhw = 1.0f;
    }
    for (VertexTextured& v : VertexBatch.textured) {
        v.z = 0.0f;
        v.rhw = 1.0f;
    }
    for (VertexBlend& v : VertexBatch.blend) {
        v.z = 0.0f;
        v.rhw = 1.0f;
        v.specular = 0xFFFFFFFF;
    }
}
