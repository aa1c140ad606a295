#include "graphics/shape_draw_d3d.h"

#include <stdint.h>

#include "graphics/blend_modes.h"
#include "graphics/device.h"
#include "graphics/draw_state.h"
#include "graphics/graph_record.h"
#include "graphics/matrix_math.h"
#include "graphics/state_cache.h"
#include "runtime/library.h"
#include "runtime/memory.h"

namespace {

IDirect3DDevice9* Device() { return DeviceObjects.device; }

// Room tests of the append rule: the filled shapes keep one vertex spare.
enum { ROOM_SPARE = 0, ROOM_FULL = 1 };

enum { CIRCLE_BATCH = 40 };

// Shared start of the batched shapes: the main texture goes, the untextured
// states come, and the batch switches to plain vertices.
void ShapePreamble()
{
    BeginSceneIfNeeded();
    SetTextureCached(nullptr);
    SetDrawBlendStates(nullptr, nullptr, DRAW_FLAG_MODULATE);
    DeviceStateSet& c = DeviceStateCache;
    if (c.blendDirty || c.textureDirty)
        SetDrawTextureState(nullptr, 1, 0);
    // The texture state picks the plain kind; make sure of it before writing
    // 20-byte vertices.
    if (VertexBatch.kind != VERTEX_KIND_PLAIN) {
        FlushVertexBuffer();
        SetVertexKind(VERTEX_KIND_PLAIN);
    }
}

void Put(VertexPlain* v, float x, float y)
{
    v->x = x;
    v->y = y;
    v->z = Draw.vertexDepth2D;
}

// Six vertices of a rectangle in the box-fill order; the colour goes into
// the first vertex of each triangle (flat shading), or into all six.
void PutRect(VertexPlain* v, float l, float t, float r, float b, uint32_t diffuse, bool every)
{
    Put(&v[0], l, t);
    Put(&v[1], r, t);
    Put(&v[2], l, b);
    Put(&v[3], r, b);
    Put(&v[4], l, b);
    Put(&v[5], r, t);
    v[0].diffuse = v[3].diffuse = diffuse;
    if (every)
        v[1].diffuse = v[2].diffuse = v[4].diffuse = v[5].diffuse = diffuse;
}

VertexPlain* Append(int primitive, int n, int allowFull)
{
    return static_cast<VertexPlain*>(AppendVertices(primitive, n, allowFull));
}

// The circle's own vertex array and how many are collected.
struct CircleBuffer {
    VertexPlain v[CIRCLE_BATCH];
    int n;
    D3DPRIMITIVETYPE type;
    int batch;     // vertices per draw: 40 points or 10 lines
};

void CircleDraw(CircleBuffer& b)
{
    if (b.n == 0)
        return;
    UINT primitives = PrimitiveCountFor(b.type, b.n);
    if (primitives)
        Device()->DrawPrimitiveUP(b.type, primitives, b.v, sizeof(VertexPlain));
    b.n = 0;
}

void CircleAdd(CircleBuffer& b, int64_t x, int64_t y)
{
    b.v[b.n].x = (float)x;
    b.v[b.n].y = (float)y;
    b.n++;
    if (b.n == b.batch)
        CircleDraw(b);
}

void CirclePoint(CircleBuffer& b, int64_t x, int64_t y)
{
    const RECT& a = Draw.area;
    if (x >= a.left && x <= a.right && y >= a.top && y <= a.bottom)
        CircleAdd(b, x, y);
}

struct SpanRows {
    unsigned char* drawn;   // one flag per row 0 .. area bottom - 1
};

void CircleSpan(CircleBuffer& b, SpanRows& rows, int64_t yy, int64_t xa, int64_t xb)
{
    const RECT& a = Draw.area;
    if (yy < 0 || yy < a.top || yy >= a.bottom || xb < a.left || xa > a.right || rows.drawn[yy])
        return;
    if (xa < a.left)
        xa = a.left;
    if (xb > (int64_t)a.right - 1)
        xb = (int64_t)a.right - 1;
    CircleAdd(b, xa, yy);
    CircleAdd(b, xb + 1, yy);
    rows.drawn[yy] = 1;
}

} // namespace

unsigned int ShapeDiffuseColor(unsigned int colour)
{
    int r = 0, g = 0, b = 0;
    RGBFromColor(colour, &r, &g, &b);
    uint32_t v = GetVertexDiffuseColor();
    uint32_t A = v >> 24, R = v >> 16 & 0xFF, G = v >> 8 & 0xFF, B = v & 0xFF;
    return A << 24 | (R * (uint32_t)r / 255) << 16 | (G * (uint32_t)g / 255) << 8 | (B * (uint32_t)b / 255);
}

int DrawBoxFillD3D(int x1, int y1, int x2, int y2, unsigned int colour)
{
    if (!Device())
        return -1;
    RECT r;
    r.left = x1 < x2 ? x1 : x2;
    r.right = x1 < x2 ? x2 : x1;
    r.top = y1 < y2 ? y1 : y2;
    r.bottom = y1 < y2 ? y2 : y1;
    ClipRect(&r, &Draw.area);
    if (r.left >= r.right || r.top >= r.bottom)
        return 0;
    ShapePreamble();
    uint32_t diffuse = ShapeDiffuseColor(colour);
    VertexPlain* v = Append(D3DPT_TRIANGLELIST, 6, ROOM_SPARE);
    if (!v)
        return 0;
    PutRect(v, (float)r.left, (float)r.top, (float)r.right, (float)r.bottom, diffuse, false);
    return 0;
}

int DrawBoxFrameD3D(int x1, int y1, int x2, int y2, unsigned int colour)
{
    if (!Device())
        return -1;
    ShapePreamble();
    uint32_t diffuse = ShapeDiffuseColor(colour);
    // Floats from here: an edge one pixel in from an extreme int cannot overflow.
    float l = (float)(x1 < x2 ? x1 : x2), r = (float)(x1 < x2 ? x2 : x1);
    float t = (float)(y1 < y2 ? y1 : y2), b = (float)(y1 < y2 ? y2 : y1);
    VertexPlain* v = Append(D3DPT_TRIANGLELIST, 24, ROOM_FULL);
    if (!v)
        return 0;
    // Four one-pixel rectangles that never cover a pixel twice.
    PutRect(v, l, t, r, t + 1, diffuse, true);
    PutRect(v + 6, r - 1, t + 1, r, b, diffuse, true);
    PutRect(v + 12, l, t + 1, l + 1, b, diffuse, true);
    PutRect(v + 18, l + 1, b - 1, r - 1, b, diffuse, true);
    return 0;
}

int DrawLineD3D(int x1, int y1, int x2, int y2, unsigned int colour)
{
    if (x1 == x2 && y1 == y2)
        return 0;
    if (!Device())
        return -1;
    ShapePreamble();
    uint32_t diffuse = ShapeDiffuseColor(colour);
    VertexPlain* v = Append(D3DPT_LINELIST, 2, ROOM_FULL);
    if (!v)
        return 0;
    float ex = (float)x2, ey = (float)y2;
    // The end pixel of an axis-aligned line is left out, as in the software
    // renderer: pull the end a little towards the start.
    if (x1 == x2)
        ey = y2 > y1 ? ey - 0.1f : ey + 0.1f;
    else if (y1 == y2)
        ex = x2 > x1 ? ex - 0.1f : ex + 0.1f;
    Put(&v[0], (float)x1, (float)y1);
    Put(&v[1], ex, ey);
    v[0].diffuse = v[1].diffuse = diffuse;
    return 0;
}

int DrawTriangleD3D(int x1, int y1, int x2, int y2, int x3, int y3, unsigned int colour, int fill)
{
    if (!Device())
        return -1;
    ShapePreamble();
    uint32_t diffuse = ShapeDiffuseColor(colour);
    float px[3] = {(float)x1, (float)x2, (float)x3};
    float py[3] = {(float)y1, (float)y2, (float)y3};
    if (fill) {
        VertexPlain* v = Append(D3DPT_TRIANGLELIST, 3, ROOM_SPARE);
        if (!v)
            return 0;
        for (int k = 0; k < 3; k++)
            Put(&v[k], px[k], py[k]);
        v[0].diffuse = diffuse;
        return 0;
    }
    VertexPlain* v = Append(D3DPT_LINELIST, 6, ROOM_FULL);
    if (!v)
        return 0;
    for (int k = 0; k < 3; k++) {
        int next = (k + 1) % 3;
        Put(&v[2 * k], px[k], py[k]);
        Put(&v[2 * k + 1], px[next], py[next]);
    }
    for (int k = 0; k < 6; k++)
        v[k].diffuse = diffuse;
    return 0;
}

int G_D3D_DrawCircle(int cx, int cy, int r, unsigned int colour, int fill)
{
    FlushVertexBuffer();
    if (!Device())
        return -1;
    // The radius drives the loops and the point count: a negative or absurd
    // one is refused before anything is set up.
    if (r < 0 || r > CIRCLE_RADIUS_LIMIT)
        return 0;
    BeginSceneIfNeeded();
    SetDrawBlendStates(nullptr, nullptr, DRAW_FLAG_MODULATE);
    uint32_t diffuse = ShapeDiffuseColor(colour);
    SetFVFCached(VERTEX_FVF_PLAIN);

    CircleBuffer b;
    for (VertexPlain& v : b.v) {
        v.z = Draw.vertexDepth2D;
        v.rhw = 1.0f;
        v.diffuse = diffuse;
    }
    b.n = 0;

    // Positions in 64 bits: a centre near the int limits cannot overflow.
    const int64_t x0 = cx, y0 = cy, R = r;
    int64_t d = 3 - 2 * R, k = 0, y = R;

    if (!fill) {
        b.type = D3DPT_POINTLIST;
        b.batch = CIRCLE_BATCH;
        CirclePoint(b, x0 - R, y0);
        CirclePoint(b, x0 + R, y0);
        CirclePoint(b, x0, y0 + R);
        CirclePoint(b, x0, y0 - R);
        if (d >= 0) {
            y = R - 1;
            d -= 4 * y;
        }
        d += 6;
        k = 1;
        while (k <= y) {
            CirclePoint(b, x0 - y, y0 + k);
            CirclePoint(b, x0 + y, y0 + k);
            CirclePoint(b, x0 + k, y0 + y);
            CirclePoint(b, x0 - k, y0 + y);
            CirclePoint(b, x0 + y, y0 - k);
            CirclePoint(b, x0 - y, y0 - k);
            CirclePoint(b, x0 + k, y0 - y);
            CirclePoint(b, x0 - k, y0 - y);
            if (d >= 0) {
                y -= 1;
                d -= 4 * y;
            }
            k += 1;
            d += 4 * k + 2;
        }
        CircleDraw(b);
        return 0;
    }

    b.type = D3DPT_LINELIST;
    b.batch = 20;
    int64_t rowCount = Draw.area.bottom > 0 ? (int64_t)Draw.area.bottom : 1;
    SpanRows rows;
    rows.drawn = static_cast<unsigned char*>(AllocTrackedZero((size_t)rowCount, "CircleRows", __LINE__));
    if (!rows.drawn)
        FatalErrorExit("メモリの確保に失敗しました in G_D3D_DrawCircle");
    CircleSpan(b, rows, y0, x0 - R, x0 + R);
    if (d >= 0) {
        CircleSpan(b, rows, y0 + R, x0, x0);
        CircleSpan(b, rows, y0 - R, x0, x0);
        y = R - 1;
        d -= 4 * y;
    }
    d += 6;
    k = 1;
    while (k <= y) {
        CircleSpan(b, rows, y0 + k, x0 - y, x0 + y);
        CircleSpan(b, rows, y0 - k, x0 - y, x0 + y);
        if (d >= 0) {
            CircleSpan(b, rows, y0 + y, x0 - k, x0 + k);
            CircleSpan(b, rows, y0 - y, x0 - k, x0 + k);
            y -= 1;
            d -= 4 * y;
        }
        k += 1;
        d += 4 * k + 2;
    }
    CircleDraw(b);
    FreeTracked(rows.drawn);
    return 0;
}

int DrawPolygonD3D(const GraphRecord* graph, const VertexTextured* vertices, int count,
                   int primitiveType, int trans)
{
    IDirect3DDevice9* device = Device();
    if (!device)
        return -1;
    if (!vertices || count <= 0 || primitiveType < D3DPT_POINTLIST || primitiveType > D3DPT_TRIANGLEFAN)
        return -1;
    UINT primitives = PrimitiveCountFor(primitiveType, count);
    FlushVertexBuffer();
    BeginSceneIfNeeded();
    // Polygons never use the transition graph.
    if (DeviceStateCache.blendTexture)
        CacheBlendTexture(nullptr, -1, -1);

    IDirect3DBaseTexture9* texture = nullptr;
    const GraphFormatDesc* descriptor = nullptr;
    if (graph && graph->image && graph->image->desc.texture) {
        if (graph->tileCount >= 1 && graph->tiles[0].tile)
            texture = graph->tiles[0].tile->texture;
        descriptor = &graph->image->desc;
        SetTextureCached(texture);
    }
    int flags = trans | DRAW_FLAG_GOURAUD | DRAW_FLAG_MODULATE | DRAW_FLAG_VERTEX_ALPHA | 0x10 |
                DRAW_FLAG_STAGE_ADDRESS;
    SetDrawBlendStates(descriptor, texture, flags);
    SetFVFCached(VERTEX_FVF_TEXTURED);
    if (primitives)
        device->DrawPrimitiveUP((D3DPRIMITIVETYPE)primitiveType, primitives, vertices, sizeof(VertexTextured));
    return 0;
}
