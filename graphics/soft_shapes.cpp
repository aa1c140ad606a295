#include "graphics/soft_shapes.h"

#include "graphics/soft_draw.h"
#include "graphics/soft_screen.h"
#include "softrender/triangle_raster.h"

// Stand-ins until the software renderer draws shapes.
int SoftFillBox(int, int, int, int, unsigned int) { return 0; }
int SoftFrameBox(int, int, int, int, unsigned int) { return 0; }

int SoftTriangle(int x1, int y1, int x2, int y2, int x3, int y3, unsigned int colour, int fill)
{
    if (fill == 1) {
        const SoftTriangleVertex v[3] = {{x1, y1, 0, 0}, {x2, y2, 0, 0}, {x3, y3, 0, 0}};
        RasterizeMemImageTriangle(SoftDrawTarget, nullptr, v, 0, SoftBlendImage(), colour);
    }
    return 0;
}

int SoftQuad(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4, unsigned int colour, int fill)
{
    if (fill == 1) {
        // Corners 1-4 run p1 + n, p2 + n, p1 - n, p2 - n: the triangles
        // (1, 2, 3) and (2, 3, 4) share the diagonal from 2 to 3.
        const SoftTriangleVertex v[4] = {{x1, y1, 0, 0}, {x2, y2, 0, 0}, {x3, y3, 0, 0}, {x4, y4, 0, 0}};
        RasterizeMemImageTriangle(SoftDrawTarget, nullptr, &v[0], 0, nullptr, colour);
        RasterizeMemImageTriangle(SoftDrawTarget, nullptr, &v[1], 0, nullptr, colour);
    }
    return 0;
}
