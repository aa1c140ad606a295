// Box fill: every pixel of the clipped rectangle once, row by row, by the
// flat-colour operator of the blend mode.
#include "graphics/matrix_math.h"
#include "softrender/flat_pixel_ops.h"
#include "softrender/shape_area.h"
#include "softrender/shape_raster.h"

using namespace flatops;

int PaintMemImageBox(MEMIMG* destination, const RECT* rectangle, uint32_t color)
{
    ShapeTarget t;
    if (!GetShapeTarget(destination, &t))
        return -1;
    const MemImgBody* body = destination->body;
    if (body->paletteFlag == 1 || body->alphaFlag == 1)
        return 0;
    const int bytes = t.kind == 0 ? 2 : 4;
    if ((t.kind != 0 && t.kind != 1) || t.bytesPerPixel != bytes)
        return 0;

    RECT box = {0, 0, destination->width, destination->height};
    if (rectangle) {
        box.left = rectangle->left < rectangle->right ? rectangle->left : rectangle->right;
        box.right = rectangle->left < rectangle->right ? rectangle->right : rectangle->left;
        box.top = rectangle->top < rectangle->bottom ? rectangle->top : rectangle->bottom;
        box.bottom = rectangle->top < rectangle->bottom ? rectangle->bottom : rectangle->top;
    }
    ClipRect(&box, &t.area);
    const int32_t width = box.right - box.left, height = box.bottom - box.top;
    if (width <= 0 || height <= 0)
        return 0;

    FlatColor fc;
    const int mode = PrepareFlatColor(&fc, t.kind, color, Draw.brightness, FLAT_BRIGHT_SHIFT, Draw.blendMode,
                                      Draw.blendParam);
    const FlatSpanFn span = GetFlatSpan(t.kind, mode);
    if (!span)
        return 0;
    uint8_t* row = ShapePixel(t, box.left, box.top);
    for (int32_t y = 0; y < height; y++, row += t.pitch)
        span(row, width, fc);
    return 0;
}
