// The texel side of a textured span, shared by the span loops of both
// target depths: which pixels of a span show a texel inside the source (the
// bounds test), and the texel and blend-image addresses of each.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "softrender/triangle_raster.h"

// The pixels of a span, [*lo, *hi), whose coordinate (first + i * step,
// taken modulo 2^32) lies below limit. False when the coordinate wraps within
// the span: the pixels inside need not be one run then.
inline bool TexelRunInside(uint32_t first, int32_t step, int32_t n, uint64_t limit, int32_t* lo, int32_t* hi)
{
    const int64_t last = (int64_t)first + (int64_t)step * (n - 1);
    if (last < 0 || last > (int64_t)0xFFFFFFFF)
        return false;
    const int64_t lim = (int64_t)limit;
    *lo = 0;
    *hi = n;
    if (step >= 0) {
        if ((int64_t)first >= lim)
            *hi = 0;
        else if (last >= lim) // first + i * step < lim for i < ceil((lim - first) / step)
            *hi = (int32_t)((lim - (int64_t)first + step - 1) / step);
    } else if ((int64_t)first >= lim) {
        if (last >= lim)
            *hi = 0;
        else // first - i * |step| < lim for i > (first - lim) / |step|
            *lo = (int32_t)(((int64_t)first - lim) / -(int64_t)step + 1);
    }
    return true;
}

// Calls pixel(d, texel, m) for every pixel of the span whose texel passes
// the bounds test, in order, with the texel's address and its blend-image
// byte's (null without a blend image); DstBytes and Bytes are the pixel and
// texel sizes (Bytes as the set-up's texelBytes). Where both coordinates move
// without wrapping, the pixels inside form one run found up front and the
// loop tests nothing; a run along one texel row (no V step) addresses its
// row once.
template <int DstBytes, int Bytes, bool Blend, class Pixel>
inline void VisitTexelSpan(const TriangleTexture& t, const TriangleWalk& w, const TriangleSpan& s, Pixel&& pixel)
{
    const int Shift = TRIANGLE_FRACTION_BITS;
    const uint32_t ux = (uint32_t)w.ux, vx = (uint32_t)w.vx;
    int32_t uLo, uHi, vLo, vHi;
    auto texel = [&](uint32_t u, uint32_t v) {
        return t.src + (ptrdiff_t)(v >> Shift) * t.srcPitch + (ptrdiff_t)(u >> Shift) * Bytes;
    };
    if (TexelRunInside(s.u, w.ux, s.count, t.uLimit, &uLo, &uHi) &&
        TexelRunInside(s.v, w.vx, s.count, t.vLimit, &vLo, &vHi)) {
        const int32_t lo = uLo > vLo ? uLo : vLo, hi = uHi < vHi ? uHi : vHi;
        if (lo >= hi)
            return;
        uint8_t* d = s.dst + (ptrdiff_t)lo * DstBytes;
        uint32_t u = s.u + (uint32_t)lo * ux, v = s.v + (uint32_t)lo * vx;
        if (vx == 0) {
            const uint8_t* row = t.src + (ptrdiff_t)(v >> Shift) * t.srcPitch;
            const uint8_t* mrow = Blend ? t.blend + (ptrdiff_t)(v >> Shift) * t.blendPitch : nullptr;
            for (int32_t n = hi - lo; n > 0; n--, d += DstBytes, u += ux)
                pixel(d, row + (ptrdiff_t)(u >> Shift) * Bytes, Blend ? mrow + (u >> Shift) : nullptr);
            return;
        }
        for (int32_t n = hi - lo; n > 0; n--, d += DstBytes, u += ux, v += vx)
            pixel(d, texel(u, v), Blend ? BlendByteAt(t, u, v) : nullptr);
        return;
    }
    uint8_t* d = s.dst;
    uint32_t u = s.u, v = s.v;
    for (int32_t n = s.count; n > 0; n--, d += DstBytes, u += ux, v += vx)
        if (TexelInside(t, u, v))
            pixel(d, texel(u, v), Blend ? BlendByteAt(t, u, v) : nullptr);
}
