// Software triangles: the entry point, the set-up that turns three vertices
// into edges in 14.18 fixed point, and the row walk that hands each clipped
// span to a span loop (flat colour here, textured in the 32-bit and 16-bit
// texel files). Everything per call is decided once, before the walk.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "softrender/blit_kernels.h"
#include "softrender/shape_types.h"

struct MEMIMG;

// Draws the triangle of the three vertices onto destination: textured from
// source (its pixel kind must be the destination's), or in the flat colour
// value when source is null. trans non-zero skips transparent texels;
// blendImage, one byte a texel read at the texel's own column and row,
// weights the source through BlendGraphRamp. Blend mode, parameter,
// brightness and draw area come from the draw state. 0, or -1 when the call
// is refused (no image, a destination with a palette or alpha, unequal
// kinds, a coordinate outside -8192..8191 or vertices 8192 or more apart, a
// blend image smaller than the source); a degenerate triangle or a mode that
// draws nothing returns 0 with nothing drawn.
int RasterizeMemImageTriangle(MEMIMG* destination, const MEMIMG* source, const SoftTriangleVertex* vertices,
                              int trans, const MEMIMG* blendImage, uint32_t color);

// The same without the platform: src and blend may be null. Every write
// stays inside draw->area and inside dst.
int PlanAndRunTriangle(const BlitImageDesc* dst, const BlitImageDesc* src, const SoftTriangleVertex* vertices,
                       int32_t trans, const BlitImageDesc* blend, uint32_t color, const BlitDrawValues* draw);

// Fixed point: 2^18 is one pixel or one texel.
enum { TRIANGLE_FRACTION_BITS = 18, TRIANGLE_ONE = 1 << 18 };
// Coordinates the set-up accepts (each, and each difference below 8192).
enum { TRIANGLE_COORD_MIN = -8192, TRIANGLE_COORD_MAX = 8191 };

// Fixed point to a whole pixel, truncated toward zero (not a floor).
inline int32_t TriangleDiv(int32_t z)
{
    return z / TRIANGLE_ONE;
}

// One straight piece of an edge: its 14.18 x at the first row, the number
// of rows (at least 1) and the 14.18 x step per row.
struct TriangleSegment {
    int32_t startX;
    int32_t rows;
    int32_t step;
};

// A triangle ready to walk.
struct TriangleWalk {
    TriangleSegment left[2], right[2];
    int32_t leftSegments, rightSegments; // 1 or 2
    int32_t startY;                      // row of the top vertex
    int32_t middleY;                     // row the left edge restarts at on its second segment
    // Texture coordinates: 14.18 U and V at the reference pixel (xr, yr) and
    // their steps per pixel in x (ux, vx) and per row (uy, vy).
    int32_t xr, yr;
    uint32_t ur, vr;
    int32_t ux, uy, vx, vy;
    BlitRect area;                       // draw area, within the destination
    uint8_t* dstPixels;                  // destination pixel (0, 0)
    int32_t dstPitch;
    int32_t dstBpp;                      // 2 or 4
};

// Fills the edges, the start rows and the texture steps of walk (not its
// area or destination): 0, or -1 when the vertices are collinear, coincide,
// or do not fit the fixed-point range.
int SetUpTriangleWalk(const SoftTriangleVertex* vertices, TriangleWalk* walk);

// What the walk hands a span loop for each visited row.
struct TriangleSpan {
    uint8_t* dst;     // the first pixel of the span
    int32_t x, y;     // its position
    int32_t count;    // pixels to visit, at least 1, all inside the draw area
    uint32_t u, v;    // 14.18 texel coordinates of the first pixel; each
                      // further pixel adds walk.ux and walk.vx, whether it
                      // was drawn or skipped
};

// Walks the rows from top to bottom and calls span(const TriangleSpan&) for
// each row with pixels inside the draw area. Rows outside it are stepped
// over; a row may come twice (see the left edge's restart at middleY).
template <class SpanLoop>
inline void WalkTriangle(const TriangleWalk& w, SpanLoop&& span)
{
    int32_t y = w.startY;
    const TriangleSegment* ls = &w.left[0];
    const TriangleSegment* rs = &w.right[0];
    bool leftLast = w.leftSegments < 2, rightLast = w.rightSegments < 2;
    uint32_t xL = (uint32_t)ls->startX, xR = (uint32_t)rs->startX;
    int32_t cL = ls->rows, cR = rs->rows;
    for (;;) {
        int64_t xl = TriangleDiv((int32_t)xL);
        int64_t n = (int64_t)TriangleDiv((int32_t)xR) - xl;
        if (xl < w.area.left) {
            n -= w.area.left - xl;
            xl = w.area.left;
        }
        n += 1;
        if (y >= w.area.top && y < w.area.bottom && xl < w.area.right && n > 0) {
            if (n > w.area.right - xl)
                n = w.area.right - xl;
            TriangleSpan s;
            s.x = (int32_t)xl;
            s.y = y;
            s.count = (int32_t)n;
            s.dst = w.dstPixels + (ptrdiff_t)y * w.dstPitch + (ptrdiff_t)s.x * w.dstBpp;
            s.u = w.ur + (uint32_t)(y - w.yr) * (uint32_t)w.uy + (uint32_t)(s.x - w.xr) * (uint32_t)w.ux;
            s.v = w.vr + (uint32_t)(y - w.yr) * (uint32_t)w.vy + (uint32_t)(s.x - w.xr) * (uint32_t)w.vx;
            span(s);
        }
        xL += (uint32_t)ls->step;
        xR += (uint32_t)rs->step;
        cL--;
        cR--;
        y++;
        if (cL <= 0) {
            if (leftLast)
                return;
            ls = &w.left[1];
            leftLast = true;
            xL = (uint32_t)ls->startX;
            cL = ls->rows;
            y = w.middleY;
        }
        if (cR <= 0) {
            if (rightLast)
                return;
            rs = &w.right[1];
            rightLast = true;
            xR = (uint32_t)rs->startX;
            cR = rs->rows;
        }
    }
}

// Everything a textured span loop reads besides the pixels, fixed per call.
struct TriangleTexture {
    int32_t mode;             // 0..4, 10, 11, after the parameter gates (mode 1 at p 255 arrives as 0)
    int32_t param;            // blend parameter p, 0..255
    int32_t brightActive;     // low 24 bits of brightness differ from 0xFFFFFF
    uint32_t brightness;      // 0x00RRGGBB
    const uint32_t* mulR;     // MulDiv255Table rows of the brightness bytes
    const uint32_t* mulG;
    const uint32_t* mulB;
    const uint32_t* mulP;     // MulDiv255Table[p]
    const int32_t* signedP;   // SignedMulDiv255Table[p] + 256: index by d, -255..255
    const uint8_t* ramp;      // BlendGraphRamp
    // Source: texel (0, 0), row pitch and bytes a texel (1 palette, 2 16-bit,
    // 4 32-bit or 16-bit with alpha). A texel is inside when U < uLimit and
    // V < vLimit, U and V read as unsigned (width and height x 2^18).
    const uint8_t* src;
    int32_t srcPitch;
    int32_t texelBytes;
    uint64_t uLimit, vLimit;
    int32_t paletteSource;    // palette flag exactly 1: texels index palette
    int32_t alphaSource;      // direct source whose alpha flag is exactly 1
    int32_t transFlag;        // the call's argument, non-zero = on
    uint32_t transColor;      // the source's transparent colour (a palette index for palette sources)
    const void* palette;      // 256 entries: 32-bit for kind 1, R5G6B5 words for kind 0
    // Blend image: byte (0, 0) and pitch, read at the texel's column and row;
    // null without one. It covers the source whenever given.
    const uint8_t* blend;
    int32_t blendPitch;
};

inline bool TexelInside(const TriangleTexture& t, uint32_t u, uint32_t v)
{
    return u < t.uLimit && v < t.vLimit;
}

inline const uint8_t* TexelAt(const TriangleTexture& t, uint32_t u, uint32_t v)
{
    return t.src + (ptrdiff_t)(v >> TRIANGLE_FRACTION_BITS) * t.srcPitch +
           (ptrdiff_t)(u >> TRIANGLE_FRACTION_BITS) * t.texelBytes;
}

inline const uint8_t* BlendByteAt(const TriangleTexture& t, uint32_t u, uint32_t v)
{
    return t.blend + (ptrdiff_t)(v >> TRIANGLE_FRACTION_BITS) * t.blendPitch + (ptrdiff_t)(u >> TRIANGLE_FRACTION_BITS);
}

// Span loops. The set-up has made every refusal, clip and parameter gate;
// each runs WalkTriangle with a loop specialised for the call's choices.
// Flat colour (kind 0 or 1 destination): the colour value as the caller
// gave it, scaled here by the draw brightness.
int RunFlatSpans(const TriangleWalk& walk, int32_t kind, int32_t mode, int32_t param, uint32_t color,
                 uint32_t brightness);
// Textured onto 32-bit destinations (direct and palette sources).
int RunTexturedSpans32(const TriangleWalk& walk, const TriangleTexture& tex);
// Textured onto 16-bit destinations (direct and palette sources).
int RunTexturedSpans16(const TriangleWalk& walk, const TriangleTexture& tex);
