// A deliberately plain model of which pixels a software triangle visits and
// which texel each visit reads, for the flat and textured triangle tests.
// Edge positions are taken row by row from each segment's start (no running
// sums), in 64-bit arithmetic; only coordinates the rasteriser accepts are
// modelled.
#pragma once

#include <stdint.h>

#include <vector>

#include "softrender/blit_kernels.h"
#include "softrender/shape_types.h"

// One visited pixel, in visit order, with its 14.18 texel coordinates.
struct RefVisit {
    int x, y;
    uint32_t u, v;
};

// One visited row: pixels x0..x1 inclusive, after clipping to the area.
struct RefSpan {
    int y, x0, x1;
};

struct RefGradients {
    int64_t ux, uy, vx, vy;
};

// The texture steps of a triangle (exact integer division); false when its
// vertices are collinear or coincide.
bool RefTriangleGradients(const SoftTriangleVertex* v, RefGradients* out);

// The rows a triangle visits, in order, clipped to area (right and bottom
// exclusive). Empty for a degenerate triangle.
std::vector<RefSpan> RefTriangleSpans(const SoftTriangleVertex* v, const BlitRect& area);

// Every pixel visit of a triangle in order, with U and V.
std::vector<RefVisit> RefTriangleVisits(const SoftTriangleVertex* v, const BlitRect& area);

// How often each pixel of a width x height image is visited by the
// triangles (count triangles of three vertices each).
std::vector<int> RefVisitCounts(const SoftTriangleVertex* triangles, int count, int width, int height,
                                const BlitRect& area);

// The four corners that map a w x h source one to one onto the screen at
// (x, y): top-left, top-right, bottom-left, bottom-right, with u = x - x0 and
// v = y - y0. Drawn as the triangles (0, 1, 2) and (1, 2, 3), pixel
// (x0 + i, y0 + j) reads texel (i, j) for 0 <= i < w, 0 <= j < h; column
// x0 + w is visited but fails the texel bounds test.
void RefIdentityQuad(int x0, int y0, int w, int h, SoftTriangleVertex out[4]);

// The texel a visit reads, or false when it is outside a w x h source.
bool RefTexel(const RefVisit& visit, int w, int h, int* column, int* row);
