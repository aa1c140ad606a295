#include "graphics/soft_draw.h"

#include "graphics/draw_state.h"
#include "graphics/graph_record.h"
#include "graphics/soft_screen.h"
#include "softrender/mem_blit.h"
#include "softrender/stretch_blit.h"

namespace {

// The memory image a graph draws from: its view, for software graphs only.
const MEMIMG* GraphSource(const GraphRecord* graph)
{
    if (!graph || !graph->image || graph->image->desc.texture || !IsMemImageValid(&graph->view))
        return nullptr;
    return &graph->view;
}

// The blend graph's memory image, or null when none is set.
const MEMIMG* SoftBlendImage()
{
    return Draw.blendGraph == -1 ? nullptr : GetGraphMemImage(Draw.blendGraph);
}

} // namespace

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

// Stand-in until the triangle rasteriser draws graphs: nothing is drawn.
int SoftDrawGraphQuadF(float, float, float, float, float, float, float, float, const GraphRecord*, int)
{
    return -1;
}
