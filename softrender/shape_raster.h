// The software shape rasteriser's calls used by the graph layer.
#pragma once

#include <windows.h>
#include <stdint.h>

struct MEMIMG;

// Fills the rectangle (null: the whole image; right and bottom exclusive,
// clipped to the draw area) with the colour value, modulated by the draw
// brightness, in the global blend mode.
int PaintMemImageBox(MEMIMG* destination, const RECT* rectangle, uint32_t color);
