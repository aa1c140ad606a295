#include "graphics/soft_draw.h"

#include "graphics/draw_state.h"
#include "graphics/graph_record.h"
#include "graphics/soft_screen.h"
#include "softrender/mem_blit.h"
#include "softrender/stretch_blit.h"
#include "softrender/triangle_raster.h"

namespace {

// The memory image a graph draws from: its view, for software graphs only.
const MEMIMG* GraphSource(const GraphRecord* graph)
{
    if (!graph || !graph->image || graph->image->desc.texture || !IsMemImageValid(&graph->view))
        return nullptr;
    return &graph->view;
}

// A corner truncated toward zero. Far corners (and NaN) are held to a value
// the rasteriser still refuses, so the conversion stays defined.
int TruncCorner(float v)
{
    if (!(v > -65536.0f))
        return v == v ? -65536 : 0;
    return v < 65536.0f ? (int)v : 65536;
}

} // namespace

const MEMIMG* SoftBlendImage()
{
    return Draw.blendGraph == -1 ? nullptr : GetGraphMemImage(Draw.blendGraph);
}

int SoftDrawGraph(int x, int y, const GraphRecord* graph, int trans)
{
    const MEMIMG* source = GraphSource(graph);
    if (!source || !SoftDrawTarget)
        return -1;
    BlitMemImage(SoftDrawTarget, source, x, y, trans, SoftBlendImage());
    return 0;
}

int SoftDrawGraphStretched(int x1, int y1, int x2, int y2, const GraphRecord* graph, int trans)
{
    const MEMIMG* source = GraphSource(graph);
    if (!source || !SoftDrawTarget)
        return -1;
    const int32_t rect[4] = {x1, y1, x2, y2};
    StretchBlitMemImage(SoftDrawTarget, source, rect, trans, SoftBlendImage());
    return 0;
}

int SoftDrawGraphQuad(const GraphRecord* graph, int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4,
                      int trans)
{
    const MEMIMG* source = GraphSource(graph);
    if (!source || !SoftDrawTarget)
        return -1;
    // Texel corners in source pixels: the graph maps onto the quad as two
    // affine halves split along the top-right to bottom-left diagonal.
    const int w = graph->width, h = graph->height;
    const SoftTriangleVertex v[4] = {{x1, y1, 0, 0}, {x2, y2, w, 0}, {x3, y3, 0, h}, {x4, y4, w, h}};
    const MEMIMG* blend = SoftBlendImage();
    RasterizeMemImageTriangle(SoftDrawTarget, source, &v[0], trans, blend, 0);
    RasterizeMemImageTriangle(SoftDrawTarget, source, &v[1], trans, blend, 0);
    return 0;
}

int SoftDrawGraphQuadF(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                       const GraphRecord* graph, int trans)
{
    return SoftDrawGraphQuad(graph, TruncCorner(x1), TruncCorner(y1), TruncCorner(x2), TruncCorner(y2), TruncCorner(x3),
                             TruncCorner(y3), TruncCorner(x4), TruncCorner(y4), trans);
}
