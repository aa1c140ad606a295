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

// M8 on the three colour bytes at once: blue and red share one multiply
// (their 16-bit lanes cannot carry into each other), green takes another.
// Byte 3 of the result is 0.
inline uint32_t Mix8(uint32_t x, uint32_t y, uint32_t w)
{
    const uint32_t rb = (((x & 0xFF00FF) * (256 - w) + (y & 0xFF00FF) * w) >> 8) & 0xFF00FF;
    const uint32_t g = (((x & 0xFF00) * (256 - w) + (y & 0xFF00) * w) >> 8) & 0xFF00;
    return rb | g;
}

// The effective source channels as one word (byte 3 0): inverted in mode
// 10, then scaled by the brightness.
template <int Mode, bool Bright>
inline uint32_t Effective(const Ctx& c, uint32_t S)
{
    if (Mode == BLIT_MODE_INVERT)
        S = ~S;
    if (!Bright)
        return S & 0xFFFFFF;
    return c.mulB[S & 255] | c.mulG[(S >> 8) & 255] << 8 | c.mulR[(S >> 16) & 255] << 16;
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
    const uint32_t E = Effective<Mode, Bright>(c, S);
    const uint32_t top = D & 0xFF000000;
    // The mixes with an 8-bit weight work on the whole word.
    if (Mode == BLIT_MODE_COPY && !Blend)
        return top | (Trl ? Mix8(D, E, a) : E);
    if (Mode == BLIT_MODE_COPY && !Trl)
        return top | Mix8(D, E, f);
    if ((Mode == BLIT_MODE_ALPHA || Mode == BLIT_MODE_INVERT) && !Trl && !Blend)
        return top | Mix8(D, E, c.p);
    // Mix weights of the alpha-blend family (modes 1, 10, 11).
    const uint32_t wBlend = !Trl && !Blend ? c.p : Trl && !Blend ? a * c.p : !Trl ? f * c.p : a * f * c.p;
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t d = (D >> shift) & 255;
        const uint32_t e = (E >> shift) & 255;
        uint32_t v;
        switch (Mode) {
        case BLIT_MODE_COPY: // translucent with a blend image
            v = M16(d, e, a * f);
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
    return top | out;
}

// The choice of a 32-bit direct-source loop, made once per call: Leaf<Mode,
// Blend, Bright, Alpha>::Run(job) for the job's mode and flags, so that each
// combination is a loop of its own. Modes that draw nothing run nothing.
template <template <int, bool, bool, bool> class Leaf, int Mode, bool Blend, bool Bright>
inline void PickAlpha(const BlitJob* job)
{
    job->alphaSource ? Leaf<Mode, Blend, Bright, true>::Run(job) : Leaf<Mode, Blend, Bright, false>::Run(job);
}

template <template <int, bool, bool, bool> class Leaf, int Mode, bool Blend>
inline void PickBright(const BlitJob* job)
{
    job->brightActive ? PickAlpha<Leaf, Mode, Blend, true>(job) : PickAlpha<Leaf, Mode, Blend, false>(job);
}

template <template <int, bool, bool, bool> class Leaf, int Mode>
inline void PickBlend(const BlitJob* job)
{
    job->blend ? PickBright<Leaf, Mode, true>(job) : PickBright<Leaf, Mode, false>(job);
}

template <template <int, bool, bool, bool> class Leaf>
inline void DispatchModes(const BlitJob* job)
{
    switch (job->mode) {
    case BLIT_MODE_COPY: return PickBlend<Leaf, BLIT_MODE_COPY>(job);
    case BLIT_MODE_ALPHA: return PickBlend<Leaf, BLIT_MODE_ALPHA>(job);
    case BLIT_MODE_ADD: return PickBlend<Leaf, BLIT_MODE_ADD>(job);
    case BLIT_MODE_SUB: return PickBlend<Leaf, BLIT_MODE_SUB>(job);
    case BLIT_MODE_MUL: return PickBlend<Leaf, BLIT_MODE_MUL>(job);
    case BLIT_MODE_INVERT: return PickBlend<Leaf, BLIT_MODE_INVERT>(job);
    case BLIT_MODE_MUL_BLEND: return PickBlend<Leaf, BLIT_MODE_MUL_BLEND>(job);
    default: return;
    }
}

} // namespace blit32
