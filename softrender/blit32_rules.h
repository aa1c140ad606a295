// Per-pixel rules of the 32-bit direct-source kernels, shared by the normal
// and the run-table loops. Every flag is a template argument, so a loop
// instantiated for one combination tests nothing per pixel but the class.
#pragma once

#include <stdint.h>
#include <string.h>

#include "softrender/blit_kernels.h"

namespace blit32 {

struct Ctx {
    uint32_t p;
    const uint32_t* mulP;
    const uint32_t* mulB;
    const uint32_t* mulG;
    const uint32_t* mulR;
    const uint8_t* ramp;
    uint32_t transColor;

    explicit Ctx(const BlitJob* job)
        : p((uint32_t)job->param), mulP(job->mulP), mulB(job->mulB), mulG(job->mulG), mulR(job->mulR),
          ramp(job->ramp), transColor(job->transColor)
    {
    }
};

inline uint32_t Load(const uint8_t* p)
{
    uint32_t v;
    memcpy(&v, p, 4);
    return v;
}

inline void Store(uint8_t* p, uint32_t v)
{
    memcpy(p, &v, 4);
}

// x + (y - x) * w / 2^n with the shifted quantity kept non-negative.
inline uint32_t M8(uint32_t x, uint32_t y, uint32_t w)
{
    return (x * (256 - w) + y * w) >> 8;
}
inline uint32_t M16(uint32_t x, uint32_t y, uint32_t w)
{
    return (x * (65536 - w) + y * w) >> 16;
}
inline uint32_t M24(uint32_t x, uint32_t y, uint32_t w)
{
    return (x * (16777216 - w) + y * w) >> 24;
}

// Saturating add of the three addends in t to d; byte 3 takes the carry out
// of red. Green and red saturate on their top seven bits.
inline uint32_t AddPixel(uint32_t d, uint32_t t)
{
    const uint32_t u = (d & 0xFEFEFF) + (t & 0xFEFEFF);
    const uint32_t k = u & 0x1010100;
    return u | (k - (k >> 8)) | ((d | t) & 0x10100);
}

// Flooring subtract of the addends in t from d; byte 3 becomes 0.
inline uint32_t SubPixel(uint32_t d, uint32_t t)
{
    const uint32_t v = (d | 0x1010100) - (t & 0xFEFEFF);
    const uint32_t k = v & 0x1010100;
    return v & (k - (k >> 8));
}

// The effective source channel (ch 0 blue, 1 green, 2 red).
template <int Mode, bool Bright>
inline uint32_t Effective(const Ctx& c, uint32_t s, int ch)
{
    if (Mode == BLIT_MODE_INVERT)
        s = 255 - s;
    if (Bright)
        s = (ch == 0 ? c.mulB : ch == 1 ? c.mulG : c.mulR)[s];
    return s;
}

// The new destination pixel for source S over destination D; Trl selects
// the translucent column (weight a = S >> 24), Blend the blend-image
// columns (factor f).
template <int Mode, bool Bright, bool Trl, bool Blend>
inline uint32_t Rule(const Ctx& c, uint32_t D, uint32_t S, uint32_t f)
{
    if (Mode == BLIT_MODE_COPY && !Bright && !Trl && !Blend)
        return S;
    const uint32_t a = S >> 24;
    // Mix weights of the alpha-blend family (modes 1, 10, 11).
    const uint32_t wBlend = !Trl && !Blend ? c.p : Trl && !Blend ? a * c.p : !Trl ? f * c.p : a * f * c.p;
    uint32_t out = 0;
    for (int ch = 0; ch < 3; ch++) {
        const int shift = ch * 8;
        const uint32_t d = (D >> shift) & 255;
        const uint32_t e = Effective<Mode, Bright>(c, (S >> shift) & 255, ch);
        uint32_t v;
        switch (Mode) {
        case BLIT_MODE_COPY:
            v = !Trl && !Blend ? e : Trl && !Blend ? M8(d, e, a) : !Trl ? M8(d, e, f) : M16(d, e, a * f);
            break;
        case BLIT_MODE_ALPHA:
        case BLIT_MODE_INVERT:
        case BLIT_MODE_MUL_BLEND: {
            const uint32_t y = Mode == BLIT_MODE_MUL_BLEND ? (d * e) >> 8 : e;
            v = !Trl && !Blend ? M8(d, y, wBlend) : (Trl != Blend) ? M16(d, y, wBlend) : M24(d, y, wBlend);
            break;
        }
        case BLIT_MODE_MUL:
            v = !Trl && !Blend ? (d * e) >> 8
                : Trl && !Blend ? (d * e * a) >> 16
                : !Trl          ? (d * e * f) >> 16
                                : (d * e * f * a) >> 24;
            break;
        default: // add and subtract: the addend
            v = !Trl && !Blend ? c.mulP[e]
                : Trl && !Blend ? (e * c.p * a) >> 16
                : !Trl          ? (e * f * c.p) >> 16
                                : (e * f * c.p * a) >> 24;
            break;
        }
        out |= v << shift;
    }
    if (Mode == BLIT_MODE_ADD)
        return AddPixel(D, out);
    if (Mode == BLIT_MODE_SUB)
        return SubPixel(D, out);
    return (D & 0xFF000000) | out;
}

} // namespace blit32
