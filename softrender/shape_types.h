// The corner record that the graph layer hands to the software triangle
// rasteriser. (Line records live with the line calls in shape_raster.h.)
#pragma once

#include <stdint.h>

// One triangle corner: destination pixel (x, y) and source texel (u, v).
struct SoftTriangleVertex {
    int32_t x, y;
    int32_t u, v;
};
static_assert(sizeof(SoftTriangleVertex) == 16, "a vertex is four 32-bit integers");
