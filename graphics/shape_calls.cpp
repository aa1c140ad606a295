#include "graphics/shape_calls.h"

#include <math.h>
#include <stdint.h>

#include "graphics/device.h"
#include "graphics/draw_calls.h"
#include "graphics/draw_state.h"
#include "graphics/graph_handles.h"
#include "graphics/mask_screen.h"
#include "graphics/shape_draw_d3d.h"
#include "graphics/soft_screen.h"
#include "graphics/soft_shapes.h"
#include "graphics/vertex_batch.h"
#include "image/soft_blend_tables.h"
#include "movie/movie_services.h"
#include "runtime/memory.h"
#include "runtime/message_pump.h"
#include "softrender/shape_raster.h"

namespace {

// The ways a shape can be drawn; the preamble runs one of them between the
// mask hooks and, where needed, inside the subtractive emulation.
enum ShapeKind { SHAPE_FILL_BOX, SHAPE_FRAME_BOX, SHAPE_CIRCLE, SHAPE_TRIANGLE, SHAPE_LINE };

struct ShapeArgs {
    ShapeKind kind;
    int x1, y1, x2, y2, x3, y3, r;
    unsigned int colour;
    int fill;
};

// A coordinate sum kept inside the int range, so that the hook rectangles of
// shapes near the int limits do not overflow.
LONG ClampLong(int64_t v)
{
    return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : (LONG)v;
}

// Truncation toward zero, clamped to the int range (NaN gives 0).
int TruncFloat(float v)
{
    if (!(v == v))
        return 0;
    if (v >= 2147483647.0f)
        return INT32_MAX;
    if (v <= -2147483648.0f)
        return INT32_MIN;
    return (int)v;
}

int ShapeDrawD3D(const ShapeArgs& a)
{
    switch (a.kind) {
    case SHAPE_FILL_BOX: return DrawBoxFillD3D(a.x1, a.y1, a.x2, a.y2, a.colour);
    case SHAPE_FRAME_BOX: return DrawBoxFrameD3D(a.x1, a.y1, a.x2, a.y2, a.colour);
    case SHAPE_CIRCLE: return G_D3D_DrawCircle(a.x1, a.y1, a.r, a.colour, a.fill);
    case SHAPE_TRIANGLE: return DrawTriangleD3D(a.x1, a.y1, a.x2, a.y2, a.x3, a.y3, a.colour, a.fill);
    case SHAPE_LINE: return DrawLineD3D(a.x1, a.y1, a.x2, a.y2, a.colour);
    }
    return 0;
}

int ShapeDrawSoft(const ShapeArgs& a)
{
    switch (a.kind) {
    case SHAPE_FILL_BOX: SoftFillBox(a.x1, a.y1, a.x2, a.y2, a.colour); break;
    case SHAPE_FRAME_BOX: SoftFrameBox(a.x1, a.y1, a.x2, a.y2, a.colour); break;
    case SHAPE_CIRCLE: PaintMemImageCircle(SoftDrawTarget, a.x1, a.y1, a.r, a.colour, a.fill); break;
    case SHAPE_TRIANGLE: SoftTriangle(a.x1, a.y1, a.x2, a.y2, a.x3, a.y3, a.colour, a.fill); break;
    case SHAPE_LINE: PaintMemImageLine(SoftDrawTarget, a.x1, a.y1, a.x2, a.y2, a.colour); break;
    }
    return 0;
}

// The destination rectangle of a shape, for the emulation and the mask.
RECT ShapeRect(const ShapeArgs& a)
{
    RECT r;
    switch (a.kind) {
    case SHAPE_FILL_BOX:
    case SHAPE_FRAME_BOX:
        r = {a.x1, a.y1, a.x2, a.y2};
        break;
    case SHAPE_CIRCLE:
        r = {ClampLong((int64_t)a.x1 - a.r - 1), ClampLong((int64_t)a.y1 - a.r - 1),
             ClampLong((int64_t)a.x1 + a.r + 1), ClampLong((int64_t)a.y1 + a.r + 1)};
        break;
    case SHAPE_TRIANGLE: {
        int l = a.x1, t = a.y1, rr = a.x1, b = a.y1;
        const int xs[2] = {a.x2, a.x3}, ys[2] = {a.y2, a.y3};
        for (int k = 0; k < 2; k++) {
            l = xs[k] < l ? xs[k] : l;
            rr = xs[k] > rr ? xs[k] : rr;
            t = ys[k] < t ? ys[k] : t;
            b = ys[k] > b ? ys[k] : b;
        }
        r = {l, t, rr < 0 ? 0 : rr, b < 0 ? 0 : b};
        break;
    }
    case SHAPE_LINE:
    default: {
        int l = a.x1 < a.x2 ? a.x1 : a.x2, rr = a.x1 < a.x2 ? a.x2 : a.x1;
        int t = a.y1 < a.y2 ? a.y1 : a.y2, b = a.y1 < a.y2 ? a.y2 : a.y1;
        r = {l, t, ClampLong((int64_t)rr + 1), ClampLong((int64_t)b + 1)};
        break;
    }
    }
    return r;
}

int RunShape(const ShapeArgs& a)
{
    if (Draw.emptyArea)
        return 0;
    WaitWhileInactive();
    RECT rect = ShapeRect(a);
    int mask = IsMaskDrawingActive();
    if (mask)
        ApplyMaskToRect(&rect);
    int result;
    if (!Screen.hardware) {
        result = ShapeDrawSoft(a);
    } else if (SubtractEmulationNeeded()) {
        BeginSubtractEmulation(&rect);
        result = ShapeDrawD3D(a);
        EndSubtractEmulation(&rect);
    } else {
        result = ShapeDrawD3D(a);
    }
    if (mask)
        ApplyMaskSoftware(&rect);
    return result;
}

ShapeArgs Box(ShapeKind kind, int x1, int y1, int x2, int y2, unsigned int colour)
{
    ShapeArgs a = {};
    a.kind = kind;
    a.x1 = x1;
    a.y1 = y1;
    a.x2 = x2;
    a.y2 = y2;
    a.colour = colour;
    return a;
}

// A colour byte scaled by a factor through the multiply table.
uint8_t Scale(uint8_t v, uint32_t factor)
{
    return (uint8_t)MulDiv255Table[v][factor & 0xFF];
}

} // namespace

int FillBoxShape(int x1, int y1, int x2, int y2, unsigned int colour)
{
    return RunShape(Box(SHAPE_FILL_BOX, x1, y1, x2, y2, colour));
}

int FrameBoxShape(int x1, int y1, int x2, int y2, unsigned int colour)
{
    return RunShape(Box(SHAPE_FRAME_BOX, x1, y1, x2, y2, colour));
}

int DrawBoxShape(int x1, int y1, int x2, int y2, unsigned int colour, int fill)
{
    return fill ? FillBoxShape(x1, y1, x2, y2, colour) : FrameBoxShape(x1, y1, x2, y2, colour);
}

int DrawCircleShape(int x, int y, int r, unsigned int colour, int fill)
{
    // The radius bound of the drawing paths, applied before the hook
    // rectangle is made from it.
    if (r < 0 || r > CIRCLE_RADIUS_LIMIT)
        return 0;
    ShapeArgs a = Box(SHAPE_CIRCLE, x, y, 0, 0, colour);
    a.r = r;
    a.fill = fill;
    return RunShape(a);
}

int DrawTriangleShape(int x1, int y1, int x2, int y2, int x3, int y3, unsigned int colour, int fill)
{
    ShapeArgs a = Box(SHAPE_TRIANGLE, x1, y1, x2, y2, colour);
    a.x3 = x3;
    a.y3 = y3;
    a.fill = fill;
    return RunShape(a);
}

int DrawLineShape(int x1, int y1, int x2, int y2, unsigned int colour, int thickness)
{
    if (thickness <= 1)
        return RunShape(Box(SHAPE_LINE, x1, y1, x2, y2, colour));

    // Thick lines: axis-aligned ones are boxes centred on the line.
    int h = thickness / 2;
    if (x1 == x2) {
        int left = ClampLong((int64_t)x1 - h);
        return FillBoxShape(left, y1, ClampLong((int64_t)left + thickness), y2, colour);
    }
    if (y1 == y2) {
        int top = ClampLong((int64_t)y1 - h);
        return FillBoxShape(x1, top, x2, ClampLong((int64_t)top + thickness), colour);
    }

    // Others a quad around the segment, half the thickness to each side.
    float ex = (float)x2 - (float)x1, ey = (float)y2 - (float)y1;
    float k = (float)thickness * 0.5f / sqrtf(ex * ex + ey * ey);
    float nx = k * ey, ny = -k * ex;
    float cx[4] = {(float)x1 + nx, (float)x2 + nx, (float)x1 - nx, (float)x2 - nx};
    float cy[4] = {(float)y1 + ny, (float)y2 + ny, (float)y1 - ny, (float)y2 - ny};
    if (Screen.hardware) {
        int r = 0, g = 0, b = 0;
        RGBFromColor(colour, &r, &g, &b);
        PolygonVertex v[4];
        for (int i = 0; i < 4; i++)
            v[i] = {cx[i], cy[i], 0.0f, 0.0f, (uint8_t)b, (uint8_t)g, (uint8_t)r, 255};
        DrawGraphPolygon(v, 4, D3DPT_TRIANGLESTRIP, POLYGON_NO_GRAPH, 0, 0);
        return 0;
    }
    SoftQuad(TruncFloat(cx[0]), TruncFloat(cy[0]), TruncFloat(cx[1]), TruncFloat(cy[1]), TruncFloat(cx[2]),
             TruncFloat(cy[2]), TruncFloat(cx[3]), TruncFloat(cy[3]), colour, 1);
    return 0;
}

int DrawGraphPolygon(const PolygonVertex* vertices, int count, int primitive, int graph, int trans, int scaleUV)
{
    if (!vertices || count <= 0)
        return -1;
    // As with every drawing call, nothing reaches an empty draw area.
    if (Draw.emptyArea)
        return 0;
    const GraphRecord* record = nullptr;
    bool texturePath;
    if (graph == POLYGON_NO_GRAPH) {
        texturePath = Screen.hardware != 0;
        scaleUV = 0;
    } else {
        record = GetGraphRecord(graph);
        if (!record || !record->image)
            return -1;
        texturePath = record->image->desc.texture != 0;
    }

    WaitWhileInactive();
    if (record && record->movie != -1) {
        UpdateMovieFrame(record->movie, 0);
        // The frame callback refills the graph: take its record afresh.
        record = GetGraphRecord(graph);
        if (!record || !record->image)
            return -1;
        texturePath = record->image->desc.texture != 0;
    }
    if (record) {
        // Only the tile entries of a texture graph say where its piece lies.
        const TextureTile* tile = texturePath && record->tileCount >= 1 ? record->tiles[0].tile : nullptr;
        if (!tile || tile->textureWidth <= 0 || tile->textureHeight <= 0)
            scaleUV = 0;
        else if (record->tileCount == 1 && tile->textureWidth == record->tiles[0].pieceWidth &&
                 tile->textureHeight == record->tiles[0].pieceHeight)
            scaleUV = 0;
    }

    // The hook rectangle: one pixel around every vertex.
    float minX = vertices[0].x, maxX = vertices[0].x, minY = vertices[0].y, maxY = vertices[0].y;
    for (int i = 1; i < count; i++) {
        minX = fminf(minX, vertices[i].x);
        maxX = fmaxf(maxX, vertices[i].x);
        minY = fminf(minY, vertices[i].y);
        maxY = fmaxf(maxY, vertices[i].y);
    }
    RECT rect = {TruncFloat(minX - 1.0f), TruncFloat(minY - 1.0f), TruncFloat(maxX + 1.0f), TruncFloat(maxY + 1.0f)};

    float su = 1.0f, sv = 1.0f, ou = 0.0f, ov = 0.0f;
    if (scaleUV) {
        const GraphTileEntry& e = record->tiles[0];
        float tw = (float)e.tile->textureWidth, th = (float)e.tile->textureHeight;
        su = (float)e.pieceWidth / tw;
        sv = (float)e.pieceHeight / th;
        ou = (float)e.tileX / tw;
        ov = (float)e.tileY / th;
    }

    uint64_t bytes = (uint64_t)(uint32_t)count * sizeof(VertexTextured);
    if (bytes > SIZE_MAX || bytes > INT32_MAX)
        return -1;
    VertexTextured* list = static_cast<VertexTextured*>(AllocTracked((size_t)bytes, "DrawGraphPolygon", __LINE__));
    if (!list)
        return -1;
    uint32_t bright = Draw.brightness & 0xFFFFFF;
    bool unchanged = bright == 0xFFFFFF && (Draw.blendMode == 0 || Draw.blendParam == 255);
    uint32_t br = bright >> 16 & 0xFF, bg = bright >> 8 & 0xFF, bb = bright & 0xFF;
    uint32_t param = (uint32_t)Draw.blendParam & 0xFF;
    for (int i = 0; i < count; i++) {
        const PolygonVertex& in = vertices[i];
        uint8_t r = in.r, g = in.g, b = in.b, a = in.a;
        if (!unchanged) {
            r = Scale(r, br);
            g = Scale(g, bg);
            b = Scale(b, bb);
            if (Draw.blendMode != 0)
                a = Scale(a, param);
        }
        VertexTextured& v = list[i];
        v.x = in.x;
        v.y = in.y;
        v.z = Draw.vertexDepth2D;
        v.rhw = 1.0f;
        v.diffuse = (uint32_t)a << 24 | (uint32_t)r << 16 | (uint32_t)g << 8 | b;
        v.u = in.u * su + ou;
        v.v = in.v * sv + ov;
    }

    int mask = IsMaskDrawingActive();
    if (mask)
        ApplyMaskToRect(&rect);
    int result = 0;
    if (texturePath) {
        if (SubtractEmulationNeeded()) {
            BeginSubtractEmulation(&rect);
            result = DrawPolygonD3D(record, list, count, primitive, trans);
            EndSubtractEmulation(&rect);
        } else {
            result = DrawPolygonD3D(record, list, count, primitive, trans);
        }
    }
    if (mask)
        ApplyMaskSoftware(&rect);
    FreeTracked(list);
    return result;
}
