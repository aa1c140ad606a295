// The software shape rasteriser's calls used by the graph layer.
#pragma once

#include <windows.h>
#include <stdint.h>

struct MEMIMG;

// Fills the rectangle (null: the whole image; right and bottom exclusive,
// clipped to the draw area) with the colour value, modulated by the draw
// brightness, in the global blend mode.
int PaintMemImageBox(MEMIMG* destination, const RECT* rectangle, uint32_t color);
// A circle of radius r around (x, y), filled when fill is not 0.
int PaintMemImageCircle(MEMIMG* destination, int x, int y, int r, uint32_t color, int fill);
// A one-pixel line clipped to the draw area; the end point is not drawn.
int PaintMemImageLine(MEMIMG* destination, int x1, int y1, int x2, int y2, uint32_t color);
