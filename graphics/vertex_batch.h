// The shared batch of pre-transformed vertices: draws append to it and it
// reaches the device in one DrawPrimitiveUP when something forces it out.
#pragma once

#include <windows.h>
#include <d3d9.h>
#include <stdint.h>

// Vertex kinds, each with its own buffer of just under 64 KiB.
enum {
    VERTEX_KIND_PLAIN = 0,      // untextured shapes
    VERTEX_KIND_TEXTURED = 1,   // one texture
    VERTEX_KIND_BLEND = 2,      // a blend texture (u0, v0) and the graph's (u1, v1)
    VERTEX_KIND_COUNT = 3
};

enum {
    VERTEX_FVF_PLAIN = 0x44,      // XYZRHW | DIFFUSE
    VERTEX_FVF_TEXTURED = 0x144,  // XYZRHW | DIFFUSE | TEX1
    VERTEX_FVF_BLEND = 0x2C4      // XYZRHW | DIFFUSE | SPECULAR | TEX2
};

enum {
    VERTEX_CAPACITY_PLAIN = 3225,
    VERTEX_CAPACITY_TEXTURED = 2340,
    VERTEX_CAPACITY_BLEND = 1638
};

struct VertexPlain {
    float x, y, z, rhw;
    uint32_t diffuse;
};

struct VertexTextured {
    float x, y, z, rhw;
    uint32_t diffuse;
    float u, v;
};

struct VertexBlend {
    float x, y, z, rhw;
    uint32_t diffuse, specular;
    float u0, v0, u1, v1;
};

static_assert(sizeof(VertexPlain) == 20, "kind 0 vertices are 20 bytes");
static_assert(sizeof(VertexTextured) == 28, "kind 1 vertices are 28 bytes");
static_assert(sizeof(VertexBlend) == 40, "kind 2 vertices are 40 bytes");

struct VertexBatchSet {
    VertexPlain plain[VERTEX_CAPACITY_PLAIN];
    VertexTextured textured[VERTEX_CAPACITY_TEXTURED];
    VertexBlend blend[VERTEX_CAPACITY_BLEND];
    int kind;               // changes only while the batch is empty
    int primitiveType;      // D3DPRIMITIVETYPE of the queued vertices
    int count;              // vertices queued
    unsigned char* write;   // where the next vertex goes (null = start of the kind's buffer)
    DWORD fvf;              // the FVF last set on the device; 0 = unknown
    int skipDrawing;        // the transition hides everything: flushes only empty the batch
};

extern VertexBatchSet VertexBatch;

// Stride and capacity of a vertex kind (0 for a kind out of range).
int VertexStride(int kind);
int VertexCapacity(int kind);
// The start of a kind's buffer (null for a kind out of range).
unsigned char* VertexBufferStart(int kind);

// Primitives drawn from n vertices of a D3DPRIMITIVETYPE: point list n, line
// list n / 2, line strip n - 1, triangle list n / 3, strip and fan n - 2;
// 0 for any other type.
UINT PrimitiveCountFor(int type, int n);

// Draws what is queued and empties the batch: 0, or -1 without a device
// (the queued vertices are kept).
int FlushVertexBuffer();

// The append rule: flushes first when the batch holds another primitive type
// or lacks room for n more vertices (room means count + n < capacity, or
// count + n <= capacity when allowFull is set), then queues n vertices of the
// type and returns where the caller writes them. Null when n cannot fit even
// in an empty batch, or when a needed flush fails.
void* AppendVertices(int primitiveType, int n, int allowFull);

// Empties the batch without drawing (device reset).
void DiscardVertexBatch();
// Switches the current kind; refused (-1) unless the batch is empty.
int SetVertexKind(int kind);
// Every vertex gets z 0.0 and rhw 1.0, every kind-2 vertex a white specular
// colour; the draws never write these.
void PrepareVertexBuffers();
// Sets the device FVF when it differs from the cached one.
int SetFVFCached(DWORD fvf);
