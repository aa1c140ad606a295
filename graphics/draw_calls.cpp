#include "graphics/draw_calls.h"

#include <stdint.h>

#include "graphics/device.h"
#include "graphics/draw_state.h"
#include "graphics/draw_target.h"
#include "graphics/graph_draw_d3d.h"
#include "graphics/graph_handles.h"
#include "graphics/graph_loading.h"
#include "graphics/graph_quad_d3d.h"
#include "graphics/mask_screen.h"
#include "graphics/shape_draw_d3d.h"
#include "graphics/soft_draw.h"
#include "movie/movie_services.h"
#include "runtime/helpers.h"
#include "runtime/message_pump.h"
#include "runtime/system_state.h"

namespace {

int64_t Min64(int64_t a, int64_t b) { return a < b ? a : b; }
int64_t Max64(int64_t a, int64_t b) { return a > b ? a : b; }
int ClampInt(int64_t v) { return v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : (int)v; }

RECT OrderedRect(int64_t x1, int64_t y1, int64_t x2, int64_t y2)
{
    RECT r;
    r.left = ClampInt(Min64(x1, x2));
    r.top = ClampInt(Min64(y1, y2));
    r.right = ClampInt(Max64(x1, x2));
    r.bottom = ClampInt(Max64(y1, y2));
    return r;
}

bool IsTextureGraph(const GraphRecord* record)
{
    return Screen.hardware && record->image && record->image->desc.texture;
}

// The checks every graph call makes before drawing: 1 to draw (record set),
// 0 to return 0 at once, -1 to return -1.
int CheckGraph(int graph, GraphRecord** record)
{
    if (Draw.emptyArea)
        return 0;
    GraphRecord* r = GetGraphRecord(graph);
    if (!r)
        return -1;
    if (Draw.blendGraph != -1 && CheckBlendGraphSize(r) != 0)
        return -1;
    WaitWhileInactive();
    // The wait runs the message pump, and with it a possible device reset
    // and graph restore: take the record afresh.
    r = GetGraphRecord(graph);
    if (!r)
        return -1;
    *record = r;
    return 1;
}

// The draw step of each call, for the wrapper below.
enum DrawKind { DRAW_AT, DRAW_STRETCHED, DRAW_STRETCHED_F, DRAW_QUAD };

struct GraphDraw {
    DrawKind kind;
    int graph, trans;
    int x[4], y[4];       // integer corners
    float fx[4], fy[4];   // float corners
};

int RunDraw(const GraphDraw& d, const GraphRecord* record)
{
    bool texture = IsTextureGraph(record);
    switch (d.kind) {
    case DRAW_AT:
        return texture ? DrawGraphD3D(record, d.x[0], d.y[0], (float)d.x[0], (float)d.y[0], d.trans, 1)
                       : SoftDrawGraph(d.x[0], d.y[0], record, d.trans);
    case DRAW_STRETCHED:
    case DRAW_STRETCHED_F:
        return texture ? DrawGraphStretchedD3D(d.x[0], d.y[0], d.x[1], d.y[1], d.fx[0], d.fy[0], d.fx[1], d.fy[1],
                                               record, d.trans, d.kind == DRAW_STRETCHED)
                       : SoftDrawGraphStretched(d.x[0], d.y[0], d.x[1], d.y[1], record, d.trans);
    case DRAW_QUAD:
        // Corners here: top-left, top-right, bottom-left, bottom-right.
        return texture ? DrawGraphQuadSplit(d.fx[0], d.fy[0], d.fx[1], d.fy[1], d.fx[2], d.fy[2], d.fx[3], d.fy[3],
                                            record, d.trans)
                       : SoftDrawGraphQuadF(d.fx[0], d.fy[0], d.fx[1], d.fy[1], d.fx[2], d.fy[2], d.fx[3],
                                            d.fy[3], record, d.trans);
    }
    return -1;
}

// The common preamble and the hooks around the draw.
int DrawGraphCommon(const GraphDraw& d, const RECT& rect)
{
    GraphRecord* record = nullptr;
    int go = CheckGraph(d.graph, &record);
    if (go <= 0)
        return go;
    if (record->movie != -1) {
        UpdateMovieFrame(record->movie, 0);
        // The frame callback refills the graph; take its record afresh.
        record = GetGraphRecord(d.graph);
        if (!record)
            return -1;
    }
    int mask = IsMaskDrawingActive();
    if (mask)
        ApplyMaskToRect(&rect);
    int result;
    if (Draw.blendMode == 3 && !DeviceObjects.blendOpSupported && IsTextureGraph(record)) {
        BeginSubtractEmulation(&rect);
        result = RunDraw(d, record);
        EndSubtractEmulation(&rect);
    } else {
        result = RunDraw(d, record);
    }
    if (mask)
        ApplyMaskSoftware(&rect);
    return result;
}

// Both stretched calls: the integer rectangle decides the clipping and
// places the software picture, the float one places the texture.
int DrawStretched(DrawKind kind, int x1, int y1, int x2, int y2, float fx1, float fy1, float fx2, float fy2, int graph,
                  int trans)
{
    GraphDraw d = {};
    d.kind = kind;
    d.graph = graph;
    d.trans = trans;
    d.x[0] = x1;
    d.y[0] = y1;
    d.x[1] = x2;
    d.y[1] = y2;
    d.fx[0] = fx1;
    d.fy[0] = fy1;
    d.fx[1] = fx2;
    d.fy[1] = fy2;
    return DrawGraphCommon(d, OrderedRect(x1, y1, x2, y2));
}

// The colour value of white.
unsigned int White() { return ColorFromRGB(255, 255, 255); }

// Both halves of the emulation: with the brightness white and mode 3 at
// full strength, a white box turns the rectangle into its inverse; then the
// kept brightness and parameter come back under the half's own mode.
int InvertRect(const RECT* rect, int mode)
{
    const int keptParam = Draw.blendParam;
    const uint32_t keptBrightness = Draw.brightness;
    SetDrawBrightPacked(0xFFFFFF);
    SelectBlendMode(3, 255);
    if (rect)
        DrawBoxFillD3D(rect->left, rect->top, rect->right, rect->bottom, White());
    SetDrawBrightPacked(keptBrightness);
    SelectBlendMode(mode, keptParam);
    return 0;
}

}  // namespace

int DrawGraphAt(int x, int y, int graph, int trans)
{
    if (!SystemState.kept.initialised)
        return -1;
    GraphDraw d = {};
    d.kind = DRAW_AT;
    d.graph = graph;
    d.trans = trans;
    d.x[0] = x;
    d.y[0] = y;
    const GraphRecord* record = GetGraphRecord(graph);
    int64_t w = record ? record->width : 0, h = record ? record->height : 0;
    return DrawGraphCommon(d, OrderedRect(x, y, x + w, y + h));
}

int DrawGraphStretched(int x1, int y1, int x2, int y2, int graph, int trans)
{
    return DrawStretched(DRAW_STRETCHED, x1, y1, x2, y2, (float)x1, (float)y1, (float)x2, (float)y2, graph, trans);
}

int DrawGraphStretchedF(float x1, float y1, float x2, float y2, int graph, int trans)
{
    return DrawStretched(DRAW_STRETCHED_F, FloatToInt(x1), FloatToInt(y1), FloatToInt(x2), FloatToInt(y2), x1, y1,
                         x2, y2, graph, trans);
}

int DrawGraphMirrored(int x, int y, int graph, int trans)
{
    if (Draw.emptyArea)
        return 0;
    const GraphRecord* record = GetGraphRecord(graph);
    if (!record)
        return -1;
    return DrawGraphStretched(ClampInt((int64_t)x + record->width), y, x, ClampInt((int64_t)y + record->height),
                              graph, trans);
}

int DrawGraphPart(int x, int y, int srcX, int srcY, int width, int height, int graph, int trans, int mirror)
{
    RECT kept = Draw.area;
    float keptF[4] = {Draw.areaLeftF, Draw.areaTopF, Draw.areaRightF, Draw.areaBottomF};

    // The area narrowed to the part's rectangle; an empty overlap collapses
    // to a line so that the area stays ordered.
    RECT part = OrderedRect(x, y, (int64_t)x + width, (int64_t)y + height);
    RECT& a = Draw.area;
    a.left = a.left > part.left ? a.left : part.left;
    a.top = a.top > part.top ? a.top : part.top;
    a.right = a.right < part.right ? a.right : part.right;
    a.bottom = a.bottom < part.bottom ? a.bottom : part.bottom;
    if (a.right < a.left)
        a.right = a.left;
    if (a.bottom < a.top)
        a.bottom = a.top;
    Draw.areaLeftF = (float)a.left;
    Draw.areaTopF = (float)a.top;
    Draw.areaRightF = (float)a.right;
    Draw.areaBottomF = (float)a.bottom;

    int result;
    if (!mirror) {
        result = DrawGraphAt(ClampInt((int64_t)x - srcX), ClampInt((int64_t)y - srcY), graph, trans);
    } else {
        const GraphRecord* record = GetGraphRecord(graph);
        result = record ? DrawGraphMirrored(ClampInt((int64_t)x - record->width + srcX + width),
                                            ClampInt((int64_t)y - srcY), graph, trans)
                        : -1;
    }

    Draw.area = kept;
    Draw.areaLeftF = keptF[0];
    Draw.areaTopF = keptF[1];
    Draw.areaRightF = keptF[2];
    Draw.areaBottomF = keptF[3];
    return result;
}

int DrawGraphQuad(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, int graph,
                  int trans)
{
    // Given clockwise from the top-left; drawn top-left, top-right,
    // bottom-left, bottom-right.
    GraphDraw d = {};
    d.kind = DRAW_QUAD;
    d.graph = graph;
    d.trans = trans;
    const float fx[4] = {x1, x2, x4, x3}, fy[4] = {y1, y2, y4, y3};
    int64_t left = INT32_MAX, top = INT32_MAX, right = INT32_MIN, bottom = INT32_MIN;
    for (int k = 0; k < 4; k++) {
        d.fx[k] = fx[k];
        d.fy[k] = fy[k];
        int64_t ix = FloatToInt(fx[k]), iy = FloatToInt(fy[k]);
        left = Min64(left, ix);
        top = Min64(top, iy);
        right = Max64(right, ix);
        bottom = Max64(bottom, iy);
    }
    RECT rect = OrderedRect(left, top, Max64(right, 0), Max64(bottom, 0));
    return DrawGraphCommon(d, rect);
}

int DrawGraphFromFile(int x, int y, const char* path, int trans)
{
    int graph = LoadImageToGraph(path, 0);
    if (graph == -1)
        return -1;
    DrawGraphAt(x, y, graph, trans);
    FreeGraph(graph);
    return 0;
}

int DrawGraphPartStretched(float x1, float y1, float x2, float y2, int srcX, int srcY, int w, int h, int graph,
                           int trans)
{
    int derived = CreateDerivedGraph(srcX, srcY, w, h, graph);
    if (derived == -1)
        return -1;
    DrawGraphStretchedF(x1, y1, x2, y2, derived, trans);
    FreeGraph(derived);
    return 0;
}

int SubtractEmulationNeeded()
{
    return Screen.hardware && Draw.blendMode == 3 && !DeviceObjects.blendOpSupported ? 1 : 0;
}

int BeginSubtractEmulation(const RECT* rect)
{
    return InvertRect(rect, 5);
}

int EndSubtractEmulation(const RECT* rect)
{
    return InvertRect(rect, 3);
}
