// Records that the graph layer hands to the software shape rasteriser.
#pragma once

#include <stdint.h>

// One triangle corner: destination pixel (x, y) and source texel (u, v).
struct SoftTriangleVertex {
    int32_t x, y;
    int32_t u, v;
};
static_assert(sizeof(SoftTriangleVertex) == 16, "a vertex is four 32-bit integers");

// One line of a line list: end points, colour value in the destination's
// pixel kind, and the blend parameter the caller drew it with.
struct SoftLineRecord {
    int32_t x1, y1, x2, y2;
    uint32_t color;
    int32_t extra;
};
static_assert(sizeof(SoftLineRecord) == 24, "a line record is six 32-bit values");
