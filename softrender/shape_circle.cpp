// Circles from one integer midpoint stepping (start value 3 - 2r): filled as
// row spans, each row drawn by the first of its attempts that reaches the
// draw area, or as an outline of single points that may repeat.
//
// The stepping runs in 64 bits, so no radius or centre overflows, and stops
// as soon as no later point or span can reach the draw area; a call therefore
// ends after at most r steps, and at once for a circle that misses the area.
#include "runtime/memory.h"
#include "softrender/flat_pixel_ops.h"
#include "softrender/shape_area.h"
#include "softrender/shape_raster.h"

using namespace flatops;

namespace {

// The midpoint stepping state.
struct Midpoint {
    int64_t x, y, d;
    explicit Midpoint(int64_t r) : x(0), y(r), d(3 - 2 * r) {}
};

// Distances from a centre coordinate c to the nearest and the farthest of
// the values lo .. hi - 1 (hi > lo).
void Distances(int64_t c, int64_t lo, int64_t hi, int64_t* nearest, int64_t* farthest)
{
    const int64_t a = c - lo, b = c - (hi - 1);
    *nearest = c < lo ? lo - c : c > hi - 1 ? c - (hi - 1) : 0;
    const int64_t fa = a < 0 ? -a : a, fb = b < 0 ? -b : b;
    *farthest = fa > fb ? fa : fb;
}

struct FillJob {
    const ShapeTarget* t;
    int64_t cx;
    uint8_t* rowDone;         // one flag a row of the area, from its top
    int32_t rowsLeft;         // rows of the area not drawn yet
    int32_t bytesPerPixel;
    FlatSpanFn span;
    const FlatColor* fc;
};

// Draws the span cx - h .. cx + h on row k unless the row is outside the
// area, already drawn, or the span misses the area (the row stays free).
void Attempt(FillJob& j, int64_t k, int64_t h)
{
    const RECT& a = j.t->area;
    if (k < a.top || k > a.bottom - 1)
        return;
    const int64_t xl = j.cx - h, xr = j.cx + h;
    if (xr < a.left || xl > a.right - 1)
        return;
    uint8_t& done = j.rowDone[k - a.top];
    if (done)
        return;
    done = 1;
    j.rowsLeft--;
    const int32_t from = (int32_t)(xl > a.left ? xl : a.left);
    const int32_t to = (int32_t)(xr < a.right - 1 ? xr : a.right - 1);
    j.span(j.t->pixels + (intptr_t)k * j.t->pitch + (intptr_t)from * j.bytesPerPixel, to - from + 1, *j.fc);
}

void FillCircle(FillJob& j, int64_t cy, int64_t r)
{
    const RECT& a = j.t->area;
    int64_t rowNear, rowFar;
    Distances(cy, a.top, a.bottom, &rowNear, &rowFar);
    Attempt(j, cy, r);
    Attempt(j, cy + r, 0);
    Attempt(j, cy - r, 0);
    // Every attempt of a pass lies at a row distance between x and y.
    for (Midpoint m(r); m.y >= m.x && m.x <= rowFar && m.y >= rowNear && j.rowsLeft > 0;) {
        Attempt(j, cy + m.x, m.y);
        Attempt(j, cy - m.x, m.y);
        if (m.d >= 0) {
            Attempt(j, cy + m.y, m.x);
            Attempt(j, cy - m.y, m.x);
            m.y--;
            m.d -= 4 * m.y;
        }
        m.x++;
        m.d += 4 * m.x + 2;
    }
}

template <int Kind, int Mode>
void OutlineCircle(const ShapeTarget& t, int64_t cx, int64_t cy, int64_t r, const FlatColor& fc)
{
    const RECT& a = t.area;
    const int bytes = Kind == 0 ? 2 : 4;
    auto plot = [&](int64_t px, int64_t py) {
        if (px >= a.left && px <= a.right - 1 && py >= a.top && py <= a.bottom - 1)
            FlatPixel<Kind, Mode>(t.pixels + (intptr_t)py * t.pitch + (intptr_t)px * bytes, fc);
    };
    plot(cx - r, cy);
    plot(cx + r, cy);
    plot(cx, cy + r);
    plot(cx, cy - r);

    Midpoint m(r);
    if (m.d >= 0) {
        m.y--;
        m.d -= 4 * m.y;
    }
    m.x = 1;
    m.d += 6;
    int64_t rowNear, rowFar, colNear, colFar;
    Distances(cy, a.top, a.bottom, &rowNear, &rowFar);
    Distances(cx, a.left, a.right, &colNear, &colFar);
    // Each point lies at distance x on one axis and y on the other.
    const int64_t farLimit = rowFar < colFar ? rowFar : colFar;
    const int64_t nearLimit = rowNear > colNear ? rowNear : colNear;
    while (m.y >= m.x && m.x <= farLimit && m.y >= nearLimit) {
        plot(cx - m.y, cy + m.x);
        plot(cx + m.y, cy + m.x);
        plot(cx - m.y, cy - m.x);
        plot(cx + m.y, cy - m.x);
        plot(cx - m.x, cy + m.y);
        plot(cx + m.x, cy + m.y);
        plot(cx - m.x, cy - m.y);
        plot(cx + m.x, cy - m.y);
        if (m.d >= 0) {
            m.y--;
            m.d -= 4 * m.y;
        }
        m.x++;
        m.d += 4 * m.x + 2;
    }
}

} // namespace

int PaintMemImageCircle(MEMIMG* destination, int x, int y, int r, uint32_t color, int fill)
{
    ShapeTarget t;
    if (!GetShapeTarget(destination, &t))
        return -1;
    // Pixels are addressed as 2 bytes (kind 0) or 4 (kind 1): a palette
    // image (one byte a pixel) would be written past its rows, and a 16-bit
    // image with alpha (4 bytes a pixel) would get its bytes mixed up.
    const MemImgBody* body = destination->body;
    if (r < 0 || body->paletteFlag == 1 || (t.kind != 0 && t.kind != 1) ||
        t.bytesPerPixel != (t.kind == 0 ? 2 : 4) || (t.kind == 0 && body->alphaFlag == 1))
        return 0;
    const RECT a = t.area;
    const int64_t cx = x, cy = y, radius = r;
    // Every point and span lies within cx +- r, cy +- r.
    if (IsShapeAreaEmpty(a) || cx + radius < a.left || cx - radius > a.right - 1 || cy + radius < a.top ||
        cy - radius > a.bottom - 1)
        return 0;

    FlatColor fc;
    const int mode = PrepareFlatColor(&fc, t.kind, color, Draw.brightness, FLAT_BRIGHT_SHIFT, Draw.blendMode,
                                      Draw.blendParam);
    if (mode < 0)
        return 0;
    if (!fill) {
        WithFlatOp(t.kind, mode, [&](auto k, auto m) {
            OutlineCircle<decltype(k)::value, decltype(m)::value>(t, cx, cy, radius, fc);
        });
        return 0;
    }

    // Row flags for the rows of the area only, given back before returning.
    const int32_t rows = a.bottom - a.top;
    uint8_t* rowDone = (uint8_t*)AllocTrackedZero((size_t)rows, "", 0);
    if (!rowDone)
        return 0;
    FillJob j = {&t, cx, rowDone, rows, t.kind == 0 ? 2 : 4, GetFlatSpan(t.kind, mode), &fc};
    FillCircle(j, cy, radius);
    FreeTracked(rowDone);
    return 0;
}
