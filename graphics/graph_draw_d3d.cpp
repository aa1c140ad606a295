#include "graphics/graph_draw_d3d.h"

#include <stdint.h>

#include "graphics/blend_modes.h"
#include "graphics/device.h"
#include "graphics/draw_state.h"
#include "graphics/graph_record.h"
#include "graphics/state_cache.h"
#include "graphics/vertex_batch.h"

namespace {

// Where a rectangle lies against the draw area.
enum { AREA_INSIDE, AREA_OUTSIDE, AREA_CUT };

int Classify(int64_t left, int64_t top, int64_t right, int64_t bottom)
{
    const RECT& a = Draw.area;
    if (left >= a.left && top >= a.top && right <= a.right && bottom <= a.bottom)
        return AREA_INSIDE;
    if (right <= a.left || bottom <= a.top || left >= a.right || top >= a.bottom)
        return AREA_OUTSIDE;
    return AREA_CUT;
}

// Corner of a quad before it is written: position, the graph's texture
// coordinates and the blend texture's.
struct Corner {
    float x, y, u, v, bu, bv;
};

// Clipping of corners to the draw area: edges, and the texture-coordinate
// change per unit of position on each axis (graph texture and blend texture).
struct CutRule {
    float left, top, right, bottom;
    float du, dv, dbu, dbv;
};

// One axis of the cut: a position outside [lo, hi] moves to the edge, its
// texture coordinates by as much as the position moved.
void CutAxis(float& pos, float& t, float& bt, float lo, float hi, float dt, float dbt)
{
    if (pos < lo) {
        float d = lo - pos;
        pos = lo;
        t += d * dt;
        bt += d * dbt;
    } else if (pos > hi) {
        float d = pos - hi;
        pos = hi;
        t -= d * dt;
        bt -= d * dbt;
    }
}

void CutCorner(Corner& c, const CutRule& r)
{
    CutAxis(c.x, c.u, c.bu, r.left, r.right, r.du, r.dbu);
    CutAxis(c.y, c.v, c.bv, r.top, r.bottom, r.dv, r.dbv);
}

// Brings the tile's texture into place before its quad is queued.
void UseTileTexture(const GraphTileEntry& entry)
{
    IDirect3DBaseTexture9* texture = entry.tile ? entry.tile->texture : nullptr;
    if (texture != DeviceStateCache.mainTexture)
        SetTextureCached(texture);
    if (DeviceStateCache.blendDirty || DeviceStateCache.textureDirty)
        SetDrawTextureState(nullptr, 1, 0);
}

// Six vertices, top-left, top-right, bottom-left, bottom-right, bottom-left,
// top-right; the colour goes only into the first vertex of each triangle,
// which is all flat shading reads.
bool QueueQuad(const Corner c[4], int kind)
{
    void* at = AppendVertices(D3DPT_TRIANGLELIST, 6, 0);
    if (!at)
        return false;
    static const int order[6] = {0, 1, 2, 3, 2, 1};
    float z = Draw.vertexDepth2D;
    uint32_t colour = DrawDerived.vertexColor;
    if (kind == VERTEX_KIND_TEXTURED) {
        VertexTextured* v = static_cast<VertexTextured*>(at);
        for (int i = 0; i < 6; i++) {
            const Corner& k = c[order[i]];
            v[i].x = k.x;
            v[i].y = k.y;
            v[i].z = z;
            v[i].u = k.u;
            v[i].v = k.v;
        }
        v[0].diffuse = v[3].diffuse = colour;
    } else {
        VertexBlend* v = static_cast<VertexBlend*>(at);
        for (int i = 0; i < 6; i++) {
            const Corner& k = c[order[i]];
            v[i].x = k.x;
            v[i].y = k.y;
            v[i].z = z;
            v[i].u0 = k.bu;
            v[i].v0 = k.bv;
            v[i].u1 = k.u;
            v[i].v1 = k.v;
        }
        v[0].diffuse = v[3].diffuse = colour;
    }
    return true;
}

IDirect3DBaseTexture9* FirstTexture(const GraphRecord* graph)
{
    return graph->tileCount > 0 && graph->tiles[0].tile ? graph->tiles[0].tile->texture : nullptr;
}

// The common walk over the tiles: corner (cx, cy) of the graph lies at
// (X + cx * sx, Y + cy * sy). cut null: the graph lies inside the area.
int DrawTiles(const GraphRecord* graph, float X, float Y, float sx, float sy, const CutRule* cut, float cutScaleX,
              float cutScaleY)
{
    int kind = VertexBatch.kind;
    if (kind != VERTEX_KIND_TEXTURED && kind != VERTEX_KIND_BLEND)
        return 0;
    float blendU = DrawDerived.blendTexInvWidth, blendV = DrawDerived.blendTexInvHeight;
    for (int t = 0; t < graph->tileCount; t++) {
        const GraphTileEntry& e = graph->tiles[t];
        if (!e.tile)
            continue;
        UseTileTexture(e);
        Corner c[4];
        for (int k = 0; k < 4; k++) {
            const float* src = e.corners[k];
            c[k].x = X + src[0] * sx;
            c[k].y = Y + src[1] * sy;
            c[k].u = src[2];
            c[k].v = src[3];
            c[k].bu = src[0] * blendU;
            c[k].bv = src[1] * blendV;
        }
        if (cut) {
            CutRule r = *cut;
            r.du = 1.0f / ((float)e.tile->textureWidth * cutScaleX);
            r.dv = 1.0f / ((float)e.tile->textureHeight * cutScaleY);
            r.dbu = blendU / cutScaleX;
            r.dbv = blendV / cutScaleY;
            for (Corner& k : c)
                CutCorner(k, r);
        }
        if (!QueueQuad(c, kind))
            return -1;
    }
    return 0;
}

CutRule AreaEdges(float shift)
{
    CutRule r = {};
    r.left = Draw.areaLeftF - shift;
    r.top = Draw.areaTopF - shift;
    r.right = Draw.areaRightF - shift;
    r.bottom = Draw.areaBottomF - shift;
    return r;
}

// The tail both draws share: the blend states, then the graph's quads,
// with (X, Y) its top-left corner and (sx, sy) its scale, cut where the
// rectangle that decides the clipping crosses the draw area. shift: how far
// the vertices, and so the edges they are cut at, lie from the pixel grid.
int DrawPlaced(const GraphRecord* graph, int flags, int64_t left, int64_t top, int64_t right, int64_t bottom, float X,
               float Y, float sx, float sy, float shift)
{
    BeginSceneIfNeeded();
    SetDrawBlendStates(&graph->image->desc, FirstTexture(graph), flags);
    int where = Classify(left, top, right, bottom);
    if (where == AREA_OUTSIDE)
        return 0;
    CutRule cut = AreaEdges(shift);
    return DrawTiles(graph, X, Y, sx, sy, where == AREA_CUT ? &cut : nullptr, sx, sy);
}

}  // namespace

int DrawGraphD3D(const GraphRecord* graph, int x, int y, float xf, float yf, int trans, int intPos)
{
    if (!DeviceObjects.device || !graph || !graph->image)
        return -1;
    int flags = (trans ? DRAW_FLAG_TRANSPARENT : 0) | (intPos ? DRAW_FLAG_KEEP_KINDS : 0);
    return DrawPlaced(graph, flags, x, y, (int64_t)x + graph->width, (int64_t)y + graph->height, xf - 0.5f,
                      yf - 0.5f, 1.0f, 1.0f, 0.0f);
}

int DrawGraphStretchedD3D(int x1, int y1, int x2, int y2, float xf1, float yf1, float xf2, float yf2,
                          const GraphRecord* graph, int trans, int intPos)
{
    if (!DeviceObjects.device || !graph || !graph->image)
        return -1;
    if (x1 == x2 || y1 == y2 || graph->width <= 0 || graph->height <= 0)
        return -1;
    float sx = (xf2 - xf1) / (float)graph->width, sy = (yf2 - yf1) / (float)graph->height;
    int flags = trans ? DRAW_FLAG_TRANSPARENT : 0;
    if (intPos && Draw.filterMode != 1)
        flags |= DRAW_FLAG_KEEP_KINDS;
    int left = x1 < x2 ? x1 : x2, right = x1 < x2 ? x2 : x1;
    int top = y1 < y2 ? y1 : y2, bottom = y1 < y2 ? y2 : y1;
    // The vertices are shifted by half a pixel, so are the edges they are cut at.
    return DrawPlaced(graph, flags, left, top, right, bottom, xf1 - 0.5f, yf1 - 0.5f, sx, sy, 0.5f);
}
