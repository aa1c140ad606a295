// The software shape rasteriser's calls used by the graph layer. Each reads
// the global draw state (blend mode and parameter, brightness, draw area) at
// the call, changes destination pixels in place and returns 0, or -1 for a
// destination that holds no image. Shapes clip to the draw area, and never
// write outside the destination either.
#pragma once

#include <windows.h>
#include <stdint.h>

struct MEMIMG;

// One segment of PaintMemImageLines; extra is not read (callers keep the
// blend parameter there).
struct SoftLineRecord {
    int32_t x1, y1, x2, y2;
    int32_t colour;
    int32_t extra;
};
static_assert(sizeof(SoftLineRecord) == 24, "a line record is six 32-bit values");

// Fills the rectangle (null: the whole image; corners in either order, right
// and bottom exclusive) with the colour value, scaled by the draw brightness,
// in the global blend mode. Palette and alpha destinations are left alone.
int PaintMemImageBox(MEMIMG* destination, const RECT* rectangle, uint32_t color);
// A circle of radius r around (x, y), filled when fill is not 0, else the
// outline as single points. A negative radius draws nothing.
int PaintMemImageCircle(MEMIMG* destination, int x, int y, int r, uint32_t color, int fill);
// A one-pixel line; the end point is not drawn.
int PaintMemImageLine(MEMIMG* destination, int x1, int y1, int x2, int y2, uint32_t color);
// PaintMemImageLine for each of the n records in order; n <= 0 draws nothing.
int PaintMemImageLines(MEMIMG* destination, const SoftLineRecord* records, int n);
