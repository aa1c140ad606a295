// One-pixel lines: the endpoints are clipped to the draw area along the
// unclipped line (in double precision), then the pixels are stepped with an
// integer error term from the start point; the end point is never drawn.
#include <stdlib.h>

#include "runtime/helpers.h"
#include "softrender/flat_pixel_ops.h"
#include "softrender/shape_area.h"
#include "softrender/shape_raster.h"

using namespace flatops;

namespace {

// count pixels from px, stepping major each pixel and minor whenever the
// error term reaches count (x-major and y-major lines alike).
template <int Kind, int Mode>
void LineLoop(uint8_t* px, int32_t major, int32_t minor, intptr_t stepMajor, intptr_t stepMinor,
              const FlatColor& fc)
{
    int32_t e = 0;
    for (int32_t i = 0; i < major; i++) {
        FlatPixel<Kind, Mode>(px, fc);
        e += minor;
        px += stepMajor;
        if (e >= major) {
            px += stepMinor;
            e -= major;
        }
    }
}

int32_t Clamp32(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : v > hi ? hi : v; }

} // namespace

int PaintMemImageLine(MEMIMG* destination, int x1, int y1, int x2, int y2, uint32_t color)
{
    ShapeTarget t;
    if (!GetShapeTarget(destination, &t))
        return -1;
    // A palette image has one byte a pixel, which no operator addresses.
    if (destination->body->paletteFlag == 1)
        return 0;
    const bool layoutOk = (t.kind == 0 && (t.bytesPerPixel == 2 || t.bytesPerPixel == 4)) ||
                          (t.kind == 1 && t.bytesPerPixel == 4);
    const RECT a = t.area;
    if (!layoutOk || IsShapeAreaEmpty(a))
        return 0;
    if ((x1 > x2 ? x1 : x2) < a.left || (x1 < x2 ? x1 : x2) >= a.right || (y1 > y2 ? y1 : y2) < a.top ||
        (y1 < y2 ? y1 : y2) >= a.bottom)
        return 0;

    // The line through the unclipped endpoints: x = kx y + bx, y = ky x + by.
    const double dx = (double)x2 - x1, dy = (double)y2 - y1;
    const double kx = y1 == y2 ? 0.0 : dx / dy;
    const double ky = x1 == x2 ? 0.0 : dy / dx;
    const double bx = x1 - kx * y1;
    const double by = y1 - ky * x1;
    auto X = [&](int32_t y) { return DoubleToInt(kx * y + bx); };
    auto Y = [&](int32_t x) { return DoubleToInt(ky * x + by); };

    if (x1 < a.left) {
        x1 = a.left;
        y1 = Y(x1);
    } else if (x1 >= a.right) {
        x1 = a.right - 1;
        y1 = Y(x1);
    }
    if (x2 < a.left) {
        x2 = a.left - 1;
        y2 = Y(x2);
    } else if (x2 >= a.right) {
        x2 = a.right;
        y2 = Y(x2);
    }
    if (y1 < a.top) {
        y1 = a.top;
        x1 = X(y1);
    } else if (y1 >= a.bottom) {
        y1 = a.bottom - 1;
        x1 = X(y1);
    }
    if (y2 < a.top) {
        y2 = a.top - 1;
        x2 = X(y2);
    } else if (y2 >= a.bottom) {
        y2 = a.bottom;
        x2 = X(y2);
    }
    // The start point inside the area, the end point at most one pixel out.
    x1 = Clamp32(x1, a.left, a.right - 1);
    x2 = Clamp32(x2, a.left - 1, a.right);
    y1 = Clamp32(y1, a.top, a.bottom - 1);
    y2 = Clamp32(y2, a.top - 1, a.bottom);

    int32_t lx = x2 - x1, ly = y2 - y1;
    if (lx == 0 && ly == 0)
        return 0;
    const intptr_t stepX = lx >= 0 ? t.bytesPerPixel : -t.bytesPerPixel;
    const intptr_t stepY = ly >= 0 ? t.pitch : -t.pitch;
    lx = abs(lx);
    ly = abs(ly);

    FlatColor fc;
    const int mode = PrepareFlatColor(&fc, t.kind, color, Draw.brightness, FLAT_BRIGHT_SHIFT, Draw.blendMode,
                                      Draw.blendParam);
    uint8_t* px = ShapePixel(t, x1, y1);
    WithFlatOp(t.kind, mode, [&](auto k, auto m) {
        if (lx >= ly)
            LineLoop<decltype(k)::value, decltype(m)::value>(px, lx, ly, stepX, stepY, fc);
        else
            LineLoop<decltype(k)::value, decltype(m)::value>(px, ly, lx, stepY, stepX, fc);
    });
    return 0;
}

int PaintMemImageLines(MEMIMG* destination, const SoftLineRecord* records, int n)
{
    if (n <= 0 || !records)
        return 0;
    for (int i = 0; i < n; i++)
        PaintMemImageLine(destination, records[i].x1, records[i].y1, records[i].x2, records[i].y2,
                          (uint32_t)records[i].colour);
    return 0;
}
