#include "graphics/graph_quad_d3d.h"

#include <math.h>
#include <stdint.h>

#include "graphics/blend_modes.h"
#include "graphics/device.h"
#include "graphics/draw_state.h"
#include "graphics/graph_draw_d3d.h"
#include "graphics/graph_record.h"
#include "graphics/state_cache.h"
#include "graphics/vertex_batch.h"
#include "runtime/helpers.h"

namespace {

enum { GRID_SIDE = 8 };

// Shared by every grid draw (main thread only).
VertexTextured GridBuffer[GRID_SIDE * GRID_SIDE];

IDirect3DBaseTexture9* TileTexture(const GraphTileEntry* entry)
{
    return entry->tile ? entry->tile->texture : nullptr;
}

IDirect3DBaseTexture9* FirstTexture(const GraphRecord* graph)
{
    return graph->tileCount > 0 ? TileTexture(&graph->tiles[0]) : nullptr;
}

void UseTexture(IDirect3DBaseTexture9* texture)
{
    if (texture != DeviceStateCache.mainTexture) {
        SetTextureCached(texture);
        SetDrawTextureState(nullptr, 1, 0);
    }
}

void DrawIndexed(int columns, int rows, const uint16_t* indices, int count, const VertexTextured* vertices)
{
    SetFVFCached(VERTEX_FVF_TEXTURED);
    DeviceObjects.device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLESTRIP, 0, (UINT)(columns * rows), (UINT)(count - 2),
                                                 indices, D3DFMT_INDEX16, vertices, sizeof(VertexTextured));
}

}  // namespace

int DrawGridStrip(int columns, const VertexTextured* vertices, int rows)
{
    if (!DeviceObjects.device)
        return 0;
    if (columns < 2 || rows < 2)
        return -1;
    // One row pair takes 2 x columns + 2 indices, and the last vertex needs a
    // 16-bit index: a larger grid would overrun the buffer or wrap its indices.
    if (columns > GRID_STRIP_COLUMN_MAX || (int64_t)columns * rows > 65536)
        return -1;
    FlushVertexBuffer();
    uint16_t indices[GRID_STRIP_INDEX_MAX];
    int n = 0;
    for (int r = 0; r + 1 < rows; r++) {
        if (n + 2 * columns + 2 > GRID_STRIP_INDEX_MAX) {
            DrawIndexed(columns, rows, indices, n, vertices);
            n = 0;
        } else if (n > 0) {
            indices[n++] = (uint16_t)((r + 1) * columns);
        }
        for (int k = 0; k < columns; k++) {
            indices[n++] = (uint16_t)((r + 1) * columns + k);
            indices[n++] = (uint16_t)(r * columns + k);
        }
        if (r + 2 < rows) {
            indices[n] = indices[n - 1];
            n++;
        }
    }
    if (n > 0)
        DrawIndexed(columns, rows, indices, n, vertices);
    return 0;
}

void DrawTileQuadGrid(const GraphTileEntry* tile, float x1, float y1, float x2, float y2, float x3, float y3,
                      float x4, float y4)
{
    UseTexture(TileTexture(tile));
    // A grid or a quad of kind-1 vertices only goes into a kind-1 batch.
    if (VertexBatch.kind != VERTEX_KIND_TEXTURED)
        return;
    const float* tl = tile->corners[0];
    const float* br = tile->corners[3];
    float uLeft = tl[2], vTop = tl[3], uRight = br[2], vBottom = br[3];
    float z = Draw.vertexDepth2D;
    uint32_t colour = DrawDerived.vertexColor;

    int alike = 0;
    if (fabsf((x2 - x1) - (x4 - x3)) < 1.0f && fabsf((y2 - y1) - (y4 - y3)) < 1.0f)
        alike++;
    if (fabsf((x3 - x1) - (x4 - x2)) < 1.0f && fabsf((y3 - y1) - (y4 - y2)) < 1.0f)
        alike++;

    if (alike == 2) {
        if (DeviceStateCache.blendDirty || DeviceStateCache.textureDirty)
            SetDrawTextureState(nullptr, 1, 0);
        VertexTextured* v = static_cast<VertexTextured*>(AppendVertices(D3DPT_TRIANGLELIST, 6, 0));
        if (!v)
            return;
        const float px[4] = {x1, x2, x3, x4}, py[4] = {y1, y2, y3, y4};
        const float pu[4] = {uLeft, uRight, uLeft, uRight}, pv[4] = {vTop, vTop, vBottom, vBottom};
        int order[6] = {0, 1, 2, 3, 2, 1};
        // Keep one winding whatever order the corners come in.
        if ((y3 - y1) * (x2 - x1) - (x3 - x1) * (y2 - y1) <= 0 && (y2 - y4) * (x3 - x4) - (x2 - x4) * (y3 - y4) <= 0) {
            order[1] = 2;
            order[2] = 1;
            order[4] = 1;
            order[5] = 2;
        }
        for (int i = 0; i < 6; i++) {
            int k = order[i];
            v[i].x = px[k];
            v[i].y = py[k];
            v[i].z = z;
            v[i].u = pu[k];
            v[i].v = pv[k];
        }
        v[0].diffuse = v[3].diffuse = colour;
        return;
    }

    // A texel's thousandth inside the tile's edges, except at the texture's
    // own edges, keeps the filter from reaching into the neighbouring piece.
    float xRange = tile->corners[1][0] - tl[0], yRange = tile->corners[2][1] - tl[1];
    float uPerPixel = xRange != 0.0f ? (uRight - uLeft) / xRange : 0.0f;
    float vPerPixel = yRange != 0.0f ? (vBottom - vTop) / yRange : 0.0f;
    float insetLeft = uLeft >= 0.000001f ? uPerPixel * 0.001f : 0.0f;
    float insetRight = uRight <= 0.99999f ? uPerPixel * -0.001f : 0.0f;
    float insetTop = vTop >= 0.000001f ? vPerPixel * 0.001f : 0.0f;
    float insetBottom = vBottom <= 0.99999f ? vPerPixel * -0.001f : 0.0f;
    float u0 = uLeft + insetLeft, u1 = uRight + insetRight;
    float v0 = vTop + insetTop, v1 = vBottom + insetBottom;

    const float steps = (float)(GRID_SIDE - 1);
    for (int i = 0; i < GRID_SIDE; i++) {
        float t = (float)i / steps;
        float lx = x1 + t * (x3 - x1), ly = y1 + t * (y3 - y1);
        float rx = x2 + t * (x4 - x2), ry = y2 + t * (y4 - y2);
        float v = v0 + t * (v1 - v0);
        for (int j = 0; j < GRID_SIDE; j++) {
            float s = (float)j / steps;
            VertexTextured& g = GridBuffer[i * GRID_SIDE + j];
            g.x = lx + s * (rx - lx);
            g.y = ly + s * (ry - ly);
            g.z = z;
            g.rhw = 1.0f;
            g.diffuse = colour;
            g.u = u0 + s * (u1 - u0);
            g.v = v;
        }
    }
    DrawGridStrip(GRID_SIDE, GridBuffer, GRID_SIDE);
}

int DrawGraphQuadSplit(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                       const GraphRecord* graph, int trans)
{
    if (!DeviceObjects.device || !graph || !graph->image)
        return -1;
    if (Draw.blendGraph != -1)
        return DrawGraphQuadD3D(graph, FloatToInt(x1), FloatToInt(y1), FloatToInt(x2), FloatToInt(y2),
                                FloatToInt(x3), FloatToInt(y3), FloatToInt(x4), FloatToInt(y4), trans);
    BeginSceneIfNeeded();
    SetDrawBlendStates(&graph->image->desc, FirstTexture(graph), trans ? DRAW_FLAG_TRANSPARENT : 0);
    if (graph->tileCount == 1) {
        DrawTileQuadGrid(&graph->tiles[0], x1, y1, x2, y2, x3, y3, x4, y4);
        return 0;
    }
    if (graph->width <= 0 || graph->height <= 0)
        return 0;
    float w = (float)graph->width, h = (float)graph->height;
    for (int t = 0; t < graph->tileCount; t++) {
        const GraphTileEntry& e = graph->tiles[t];
        float p[4][2];
        for (int k = 0; k < 4; k++) {
            float tv = e.corners[k][1] / h, s = e.corners[k][0] / w;
            float lx = x1 + tv * (x3 - x1), ly = y1 + tv * (y3 - y1);
            float rx = x2 + tv * (x4 - x2), ry = y2 + tv * (y4 - y2);
            p[k][0] = lx + s * (rx - lx);
            p[k][1] = ly + s * (ry - ly);
        }
        DrawTileQuadGrid(&e, p[0][0], p[0][1], p[1][0], p[1][1], p[2][0], p[2][1], p[3][0], p[3][1]);
    }
    return 0;
}

int DrawGraphQuadD3D(const GraphRecord* graph, int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4,
                     int trans)
{
    if (!graph || !graph->image)
        return -1;
    if (x1 == x3 && x2 == x4 && y1 == y2 && y3 == y4)
        return DrawGraphStretchedD3D(x1, y1, x4, y4, (float)x1, (float)y1, (float)x4, (float)y4, graph, trans, 1);
    if (Draw.blendGraph == -1)
        return DrawGraphQuadSplit((float)x1, (float)y1, (float)x2, (float)y2, (float)x3, (float)y3, (float)x4,
                                  (float)y4, graph, trans);
    IDirect3DDevice9* device = DeviceObjects.device;
    if (!device)
        return -1;
    FlushVertexBuffer();
    BeginSceneIfNeeded();
    SetDrawBlendStates(&graph->image->desc, FirstTexture(graph),
                       (trans ? DRAW_FLAG_TRANSPARENT : 0) | DRAW_FLAG_KEEP_KINDS);
    if (graph->width <= 0 || graph->height <= 0)
        return 0;

    float w = (float)graph->width, h = (float)graph->height;
    float sx1 = (float)x1 - 0.5f, sy1 = (float)y1 - 0.5f, sx4 = (float)x4 - 0.5f, sy4 = (float)y4 - 0.5f;
    // Upper-left triangle from the top-left corner, lower-right from the
    // bottom-right one.
    float ax = (float)(x2 - x1) / w, bx = (float)(x3 - x1) / h;
    float ay = (float)(y2 - y1) / w, by = (float)(y3 - y1) / h;
    float cx = (float)(x3 - x4) / -w, dx = (float)(x2 - x4) / -h;
    float cy = (float)(y3 - y4) / -w, dy = (float)(y2 - y4) / -h;

    int kind = VertexBatch.kind;
    DWORD fvf = kind == VERTEX_KIND_TEXTURED ? VERTEX_FVF_TEXTURED : kind == VERTEX_KIND_BLEND ? VERTEX_FVF_BLEND : 0;
    if (!fvf)
        return 0;
    SetFVFCached(fvf);
    float z = Draw.vertexDepth2D;
    uint32_t colour = DrawDerived.vertexColor;
    for (int t = 0; t < graph->tileCount; t++) {
        const GraphTileEntry& e = graph->tiles[t];
        UseTexture(TileTexture(&e));
        float X[4], Y[4];
        for (int k = 0; k < 4; k++) {
            float tx = e.corners[k][0], ty = e.corners[k][1];
            if (e.diagonalSide[k]) {
                X[k] = sx1 + tx * ax + ty * bx;
                Y[k] = sy1 + tx * ay + ty * by;
            } else {
                X[k] = sx4 + (tx - w) * cx + (ty - h) * dx;
                Y[k] = sy4 + (tx - w) * cy + (ty - h) * dy;
            }
        }
        int order[4] = {0, 1, 2, 3};
        float c1 = (Y[2] - Y[0]) * (X[1] - X[0]) - (Y[1] - Y[0]) * (X[2] - X[0]);
        float c2 = (Y[1] - Y[3]) * (X[2] - X[3]) - (Y[2] - Y[3]) * (X[1] - X[3]);
        if (c1 < 0 || (c1 == 0 && c2 <= 0)) {
            order[1] = 2;
            order[2] = 1;
        }
        if (kind == VERTEX_KIND_TEXTURED) {
            VertexTextured v[4];
            for (int i = 0; i < 4; i++) {
                int k = order[i];
                v[i] = VertexTextured{X[k], Y[k], z, 1.0f, colour, e.corners[k][2], e.corners[k][3]};
            }
            device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof v[0]);
        } else {
            VertexBlend v[4];
            for (int i = 0; i < 4; i++) {
                int k = order[i];
                v[i] = VertexBlend{X[k], Y[k], z, 1.0f, colour, 0xFFFFFFFF,
                                   e.corners[k][0] * DrawDerived.blendTexInvWidth,
                                   e.corners[k][1] * DrawDerived.blendTexInvHeight, e.corners[k][2], e.corners[k][3]};
            }
            device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof v[0]);
        }
    }
    return 0;
}
