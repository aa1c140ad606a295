// The one-to-one kernel loops of the 16-bit direct and the palette families
// (normal and run-table), generated from the per-pixel rules for every
// combination of mode and flags. The family entry picks one instantiation per
// call; inside a loop only the pixel's class is tested.
#pragma once

#include <string.h>

#include "softrender/blit_copy.h"
#include "softrender/blit16_vector.h"
#include "softrender/blit_kernels.h"
#include "softrender/blit_pixel_rules.h"

namespace srcloops {

using namespace pixrules;

// Source kinds.
enum { SRC_PLAIN = 0, SRC_ALPHA = 1, SRC_PALETTE = 2 };

inline uint32_t Load16(const uint8_t* p)
{
    uint16_t v;
    memcpy(&v, p, 2);
    return v;
}

inline uint32_t Load32(const uint8_t* p)
{
    uint32_t v;
    memcpy(&v, p, 4);
    return v;
}

template <int Kind>
inline uint32_t LoadPixel(const uint8_t* p)
{
    return Kind == 0 ? Load16(p) : Load32(p);
}

template <int Kind>
inline void StorePixel(uint8_t* p, uint32_t v)
{
    if constexpr (Kind == 0) {
        uint16_t w = (uint16_t)v;
        memcpy(p, &w, 2);
    } else {
        memcpy(p, &v, 4);
    }
}

// The palette entry of an index: 32-bit entries for kind 1, R5G6B5 words for
// kind 0. The palette always holds 256 entries, so any index is in range.
template <int Kind>
inline uint32_t PaletteEntry(const uint8_t* palette, uint32_t index)
{
    return Kind == 0 ? Load16(palette + 2 * index) : Load32(palette + 4 * index);
}

// The palette the kernels read: the body's own 256 entries, so an index at or
// above the stored count shows what the body holds rather than a stale copy.
inline const uint8_t* JobPalette(const BlitJob* j)
{
    return (const uint8_t*)(j->bodyPalette ? j->bodyPalette : j->palette);
}

// A source pixel as the rules see it.
struct SourcePixel {
    uint32_t colour;   // the whole pixel, colour word or palette entry
    uint32_t alpha;    // alpha sources only
};

template <int Kind, int Src>
inline SourcePixel ReadSource(const uint8_t* s, const uint8_t* palette)
{
    SourcePixel px;
    if constexpr (Src == SRC_PALETTE) {
        px.colour = PaletteEntry<Kind>(palette, s[0]);
        px.alpha = 255;
    } else if constexpr (Src == SRC_ALPHA) {
        uint32_t v = Load32(s);
        px.colour = Kind == 0 ? (v & 0xFFFF) : v;
        px.alpha = Kind == 0 ? (v >> 16) & 0xFF : v >> 24;
    } else {
        px.colour = LoadPixel<Kind>(s);
        px.alpha = 255;
    }
    return px;
}

// The key a transparent pixel is recognised by: the index of a palette
// source, the colour word (16-bit) or the whole pixel (32-bit) otherwise.
template <int Kind, int Src>
inline uint32_t TransparencyKey(const uint8_t* s)
{
    if constexpr (Src == SRC_PALETTE)
        return s[0];
    else
        return LoadPixel<Kind>(s);
}

// Normal kernels: every source pixel is classified here.
template <int Kind, int Src, int Mode, bool Blend, bool Bright, bool Trans, int Var>
void NormalLoop(const BlitJob* j, const RuleContext& c)
{
    const uint8_t* palette = JobPalette(j);
    uint8_t* d = j->dst;
    const uint8_t* s = j->src;
    const uint8_t* m = j->blend;
    const int dBpp = Kind == 0 ? 2 : 4;
    const int sBpp = j->srcBpp;
    const uint32_t transKey = j->transColor;
    // An alpha source with the flag off is translucent everywhere, except that
    // the plain copy moves every pixel whole.
    constexpr bool copyWhole = Src == SRC_ALPHA && !Trans && Mode == 0 && !Blend && !Bright;
    if constexpr (Src == SRC_PLAIN && Mode == 0 && !Blend && !Bright && !Trans) {
        // The plain copy: one block per row.
        const size_t rowBytes = (size_t)j->w * dBpp;
        for (int32_t y = 0; y < j->h; y++, d += (ptrdiff_t)rowBytes + j->dstSkip, s += (ptrdiff_t)rowBytes + j->srcSkip)
            CopyPixelBytes(d, s, rowBytes);
        return;
    }
    // The R5G6B5 cases of blit16_vector.h draw most of each row.
    constexpr bool vector = Kind == 0 && blit16v::Handles<Src, Mode, Blend, Bright, Var>();
    const bool vectorKey = !Trans || Src == SRC_ALPHA || transKey <= 0xFFFF;
    for (int32_t y = 0; y < j->h; y++) {
        int32_t x0 = 0;
        if constexpr (vector) {
            if (vectorKey) {
                x0 = blit16v::Span<Src, Mode, Trans, Var>(c, d, s, j->w, transKey);
                d += (ptrdiff_t)x0 * dBpp;
                s += (ptrdiff_t)x0 * sBpp;
            }
        }
        for (int32_t x = x0; x < j->w; x++, d += dBpp, s += sBpp) {
            const uint32_t f = Blend ? j->ramp[m[x]] : 0;
            if constexpr (Trans && Src != SRC_ALPHA) {
                if (TransparencyKey<Kind, Src>(s) == transKey)
                    continue;
            }
            const SourcePixel px = ReadSource<Kind, Src>(s, palette);
            const uint32_t dv = LoadPixel<Kind>(d);
            uint32_t out;
            if constexpr (Src == SRC_ALPHA && !copyWhole) {
                if (Trans && px.alpha == 0)
                    continue;
                if (Trans && px.alpha == 255)
                    out = Rule<Kind, Mode, Blend, Bright, false, VAR_GENERAL>(dv, px.colour, 255, f, c);
                else
                    out = Rule<Kind, Mode, Blend, Bright, true, VAR_GENERAL>(dv, px.colour, px.alpha, f, c);
            } else {
                out = Rule<Kind, Mode, Blend, Bright, false, Var>(dv, px.colour, px.alpha, f, c);
            }
            StorePixel<Kind>(d, out);
        }
        d += j->dstSkip;
        s += j->srcSkip;
        if (Blend)
            m += (ptrdiff_t)j->w + j->blendSkip;
    }
}

// Run-table kernels: the run kind is the class.
template <int Kind, int Src, int Mode, bool Blend, bool Bright>
struct RunKernel {
    const BlitJob* j;
    RuleContext c;
    const uint8_t* palette;

    void Opaque(uint8_t* d, const uint8_t* s, const uint8_t* m, int n)
    {
        const int dBpp = Kind == 0 ? 2 : 4;
        for (int i = 0; i < n; i++, d += dBpp, s += j->srcBpp) {
            const uint32_t f = Blend ? j->ramp[m[i]] : 0;
            const SourcePixel px = ReadSource<Kind, Src>(s, palette);
            StorePixel<Kind>(d, Rule<Kind, Mode, Blend, Bright, false, VAR_GENERAL>(LoadPixel<Kind>(d), px.colour,
                                                                                    255, f, c));
        }
    }

    void Translucent(uint8_t* d, const uint8_t* s, const uint8_t* m, int n)
    {
        if constexpr (Src != SRC_ALPHA) {
            Opaque(d, s, m, n);
        } else {
            const int dBpp = Kind == 0 ? 2 : 4;
            for (int i = 0; i < n; i++, d += dBpp, s += j->srcBpp) {
                const uint32_t f = Blend ? j->ramp[m[i]] : 0;
                const SourcePixel px = ReadSource<Kind, Src>(s, palette);
                StorePixel<Kind>(d, Rule<Kind, Mode, Blend, Bright, true, VAR_GENERAL>(LoadPixel<Kind>(d), px.colour,
                                                                                       px.alpha, f, c));
            }
        }
    }
};

// The opaque variant of a normal kernel: mode 1 of a plain or palette source
// without brightness and blend image halves at p = 128 and, for 16-bit
// pixels, lerps through the 6-bit table at other p.
template <int Kind>
inline int NormalVariant(const BlitJob* j, int src)
{
    if (j->mode != 1 || j->blend || j->brightActive || src == SRC_ALPHA)
        return VAR_GENERAL;
    if (j->param == 128)
        return VAR_HALVE;
    return Kind == 0 ? VAR_LERP : VAR_GENERAL;
}

template <int Kind, int Src>
void RunNormalFamily(const BlitJob* j)
{
    const RuleContext c = MakeRuleContext(j->param, j->brightness);
    const int var = NormalVariant<Kind>(j, Src);
    WithMode(j->mode, [&](auto mode) {
        WithBool(j->blend != nullptr, [&](auto blend) {
            WithBool(j->brightActive != 0, [&](auto bright) {
                WithBool(j->transFlag != 0, [&](auto trans) {
                    constexpr int M = decltype(mode)::value;
                    constexpr bool B = decltype(blend)::value, R = decltype(bright)::value,
                                   T = decltype(trans)::value;
                    if constexpr (M == 1 && !B && !R && Src != SRC_ALPHA) {
                        if (var == VAR_HALVE)
                            NormalLoop<Kind, Src, M, B, R, T, VAR_HALVE>(j, c);
                        else if (var == VAR_LERP)
                            NormalLoop<Kind, Src, M, B, R, T, (Kind == 0 ? VAR_LERP : VAR_GENERAL)>(j, c);
                        else
                            NormalLoop<Kind, Src, M, B, R, T, VAR_GENERAL>(j, c);
                    } else {
                        NormalLoop<Kind, Src, M, B, R, T, VAR_GENERAL>(j, c);
                    }
                });
            });
        });
    });
}

template <int Kind, int Src>
void RunRunTableFamily(const BlitJob* j)
{
    const RuleContext c = MakeRuleContext(j->param, j->brightness);
    WithMode(j->mode, [&](auto mode) {
        WithBool(j->blend != nullptr, [&](auto blend) {
            WithBool(j->brightActive != 0, [&](auto bright) {
                RunKernel<Kind, Src, decltype(mode)::value, decltype(blend)::value, decltype(bright)::value> k{
                    j, c, JobPalette(j)};
                WalkRunTable(j, k);
            });
        });
    });
}

} // namespace srcloops
