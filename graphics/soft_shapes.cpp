// The software bridges of boxes, triangles and quads: each turns its corners
// into the rasteriser's records and draws on the current software target.
#include "graphics/soft_shapes.h"

#include "graphics/draw_state.h"
#include "graphics/soft_draw.h"
#include "graphics/soft_screen.h"
#include "softrender/shape_raster.h"
#include "softrender/triangle_raster.h"

namespace {

SoftLineRecord Segment(int x1, int y1, int x2, int y2, unsigned int colour)
{
    return {x1, y1, x2, y2, (int32_t)colour, Draw.blendParam};
}

} // namespace

int SoftFillBox(int x1, int y1, int x2, int y2, unsigned int colour)
{
    const RECT box = {x1, y1, x2, y2};
    PaintMemImageBox(SoftDrawTarget, &box, colour);
    return 0;
}

// The outline runs through the last pixel inside the box; no segment draws
// its end point, so each corner is drawn once.
int SoftFrameBox(int x1, int y1, int x2, int y2, unsigned int colour)
{
    const SoftLineRecord lines[4] = {
        Segment(x1, y1, x2 - 1, y1, colour),
        Segment(x2 - 1, y1, x2 - 1, y2 - 1, colour),
        Segment(x2 - 1, y2 - 1, x1, y2 - 1, colour),
        Segment(x1, y2 - 1, x1, y1, colour),
    };
    PaintMemImageLines(SoftDrawTarget, lines, 4);
    return 0;
}

int SoftTriangle(int x1, int y1, int x2, int y2, int x3, int y3, unsigned int colour, int fill)
{
    if (fill == 1) {
        const SoftTriangleVertex v[3] = {{x1, y1, 0, 0}, {x2, y2, 0, 0}, {x3, y3, 0, 0}};
        RasterizeMemImageTriangle(SoftDrawTarget, nullptr, v, 0, SoftBlendImage(), colour);
        return 0;
    }
    const SoftLineRecord lines[3] = {
        Segment(x1, y1, x2, y2, colour),
        Segment(x2, y2, x3, y3, colour),
        Segment(x3, y3, x1, y1, colour),
    };
    PaintMemImageLines(SoftDrawTarget, lines, 3);
    return 0;
}

// Corners p1 + n, p2 + n, p1 - n, p2 - n. Filled: the triangles (1, 2, 3)
// and (2, 3, 4) share the diagonal from 2 to 3. Outlined: round the corners
// in the order 1, 2, 4, 3.
int SoftQuad(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4, unsigned int colour, int fill)
{
    if (fill == 1) {
        const SoftTriangleVertex v[4] = {{x1, y1, 0, 0}, {x2, y2, 0, 0}, {x3, y3, 0, 0}, {x4, y4, 0, 0}};
        RasterizeMemImageTriangle(SoftDrawTarget, nullptr, &v[0], 0, nullptr, colour);
        RasterizeMemImageTriangle(SoftDrawTarget, nullptr, &v[1], 0, nullptr, colour);
        return 0;
    }
    const SoftLineRecord lines[4] = {
        Segment(x1, y1, x2, y2, colour),
        Segment(x2, y2, x4, y4, colour),
        Segment(x4, y4, x3, y3, colour),
        Segment(x3, y3, x1, y1, colour),
    };
    PaintMemImageLines(SoftDrawTarget, lines, 4);
    return 0;
}
