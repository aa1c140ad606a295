#include "softrender/shape_raster.h"

#include "graphics/draw_state.h"
#include "image/mem_image.h"

// Stand-in until the rasteriser exists: a plain fill clipped to the draw
// area, without blending or brightness.
int PaintMemImageBox(MEMIMG* destination, const RECT* rectangle, uint32_t color)
{
    if (!IsMemImageValid(destination))
        return -1;
    RECT r = {0, 0, destination->width, destination->height};
    if (rectangle && !IntersectRect(&r, &r, rectangle))
        return 0;
    if (!IntersectRect(&r, &r, &Draw.area))
        return 0;
    return FillMemImageRect(destination, &r, color);
}

// Stand-ins until the rasteriser draws circles and lines.
int PaintMemImageCircle(MEMIMG*, int, int, int, uint32_t, int) { return 0; }
int PaintMemImageLine(MEMIMG*, int, int, int, int, uint32_t) { return 0; }
