// Textured triangle spans onto 32-bit destinations: direct sources (with or
// without alpha) and palette sources. The per-pixel rules are the blitter's
// (blit32_rules.h); the texel tests differ from the blit in two places, kept
// at the loop below:
//  - an alpha source without the transparency flag takes the alpha rule for
//    every texel, also in the plain copy (the blit copies such pixels whole);
//  - with the flag, alpha 0 skips the pixel in every mode. In modes 10 and
//    11 the alpha rule at alpha 0 gives the destination back anyway; in mode
//    4 it would blacken it, so a rotated sprite would draw a black box around
//    its shape, which the blit never does.
// Every combination of mode and flags is its own instantiation of the walk,
// so a loop tests nothing per pixel but the texel bounds and its own texel
// test.
#include "softrender/blit32_rules.h"
#include "softrender/triangle_raster.h"

using namespace blit32;

namespace {

// The call's values in the form the blit rules read them.
Ctx MakeCtx(const TriangleTexture& t)
{
    BlitJob job = {};
    job.param = t.param;
    job.mulP = t.mulP;
    job.mulB = t.mulB;
    job.mulG = t.mulG;
    job.mulR = t.mulR;
    job.ramp = t.ramp;
    job.transColor = t.transColor;
    return Ctx(&job);
}

// The texel bounds as inclusive 32-bit maxima, so the per-pixel test is two
// 32-bit compares on every target. A side of 16384 texels or more admits
// every coordinate.
struct Bounds {
    uint32_t uMax, vMax;
};

inline Bounds MakeBounds(const TriangleTexture& t)
{
    Bounds b;
    b.uMax = t.uLimit > 0xFFFFFFFFull ? 0xFFFFFFFFu : (uint32_t)(t.uLimit - 1);
    b.vMax = t.vLimit > 0xFFFFFFFFull ? 0xFFFFFFFFu : (uint32_t)(t.vLimit - 1);
    return b;
}

template <int Mode, bool Blend, bool Bright, bool Alpha, bool Trans>
void DirectSpans(const TriangleWalk& w, const TriangleTexture& t)
{
    const Ctx c = MakeCtx(t);
    const Bounds b = MakeBounds(t);
    const uint32_t ux = (uint32_t)w.ux, vx = (uint32_t)w.vx;
    WalkTriangle(w, [&](const TriangleSpan& s) {
        uint8_t* d = s.dst;
        uint32_t u = s.u, v = s.v;
        for (int32_t n = s.count; n > 0; n--, d += 4, u += ux, v += vx) {
            if (u > b.uMax || v > b.vMax)
                continue;
            const uint32_t S = Load(TexelAt(t, u, v));
            if (!Alpha) {
                // The key is the texel as stored, all four bytes.
                if (Trans && S == c.transColor)
                    continue;
                const uint32_t f = Blend ? c.ramp[*BlendByteAt(t, u, v)] : 0;
                Store(d, Rule<Mode, Bright, false, Blend>(c, Load(d), S, f));
            } else if (Trans) {
                const uint32_t a = S >> 24;
                if (a == 0)
                    continue;
                const uint32_t f = Blend ? c.ramp[*BlendByteAt(t, u, v)] : 0;
                if (a == 255)
                    Store(d, Rule<Mode, Bright, false, Blend>(c, Load(d), S, f));
                else
                    Store(d, Rule<Mode, Bright, true, Blend>(c, Load(d), S, f));
            } else {
                const uint32_t f = Blend ? c.ramp[*BlendByteAt(t, u, v)] : 0;
                Store(d, Rule<Mode, Bright, true, Blend>(c, Load(d), S, f));
            }
        }
    });
}

// Palette entries are opaque colours: the rule of an opaque direct texel,
// with the index compared against the transparent colour.
template <int Mode, bool Blend, bool Bright, bool Trans>
void PaletteSpans(const TriangleWalk& w, const TriangleTexture& t)
{
    const Ctx c = MakeCtx(t);
    const Bounds b = MakeBounds(t);
    const uint8_t* palette = (const uint8_t*)t.palette;
    const uint32_t ux = (uint32_t)w.ux, vx = (uint32_t)w.vx;
    WalkTriangle(w, [&](const TriangleSpan& s) {
        uint8_t* d = s.dst;
        uint32_t u = s.u, v = s.v;
        for (int32_t n = s.count; n > 0; n--, d += 4, u += ux, v += vx) {
            if (u > b.uMax || v > b.vMax)
                continue;
            const uint32_t i = *TexelAt(t, u, v);
            if (Trans && i == c.transColor)
                continue;
            const uint32_t f = Blend ? c.ramp[*BlendByteAt(t, u, v)] : 0;
            Store(d, Rule<Mode, Bright, false, Blend>(c, Load(d), Load(palette + 4 * i), f));
        }
    });
}

template <int Mode, bool Blend, bool Bright>
void PickSource(const TriangleWalk& w, const TriangleTexture& t)
{
    const bool trans = t.transFlag != 0;
    if (t.paletteSource)
        return trans ? PaletteSpans<Mode, Blend, Bright, true>(w, t) : PaletteSpans<Mode, Blend, Bright, false>(w, t);
    if (t.alphaSource)
        return trans ? DirectSpans<Mode, Blend, Bright, true, true>(w, t)
                     : DirectSpans<Mode, Blend, Bright, true, false>(w, t);
    trans ? DirectSpans<Mode, Blend, Bright, false, true>(w, t) : DirectSpans<Mode, Blend, Bright, false, false>(w, t);
}

template <int Mode>
void PickFlags(const TriangleWalk& w, const TriangleTexture& t)
{
    if (t.blend)
        return t.brightActive ? PickSource<Mode, true, true>(w, t) : PickSource<Mode, true, false>(w, t);
    t.brightActive ? PickSource<Mode, false, true>(w, t) : PickSource<Mode, false, false>(w, t);
}

} // namespace

int RunTexturedSpans32(const TriangleWalk& walk, const TriangleTexture& tex)
{
    if (tex.uLimit == 0 || tex.vLimit == 0 || walk.dstBpp != 4 || (tex.paletteSource && !tex.palette))
        return 0;
    // The set-up has applied the parameter gates already; kept here so that
    // no caller can reach a rule at a parameter it is not defined for.
    int mode = tex.mode;
    if ((mode == BLIT_MODE_ALPHA || mode == BLIT_MODE_ADD || mode == BLIT_MODE_SUB) && tex.param == 0)
        return 0;
    if (mode == BLIT_MODE_ALPHA && tex.param == 255)
        mode = BLIT_MODE_COPY;
    switch (mode) {
    case BLIT_MODE_COPY: PickFlags<BLIT_MODE_COPY>(walk, tex); break;
    case BLIT_MODE_ALPHA: PickFlags<BLIT_MODE_ALPHA>(walk, tex); break;
    case BLIT_MODE_ADD: PickFlags<BLIT_MODE_ADD>(walk, tex); break;
    case BLIT_MODE_SUB: PickFlags<BLIT_MODE_SUB>(walk, tex); break;
    case BLIT_MODE_MUL: PickFlags<BLIT_MODE_MUL>(walk, tex); break;
    case BLIT_MODE_INVERT: PickFlags<BLIT_MODE_INVERT>(walk, tex); break;
    case BLIT_MODE_MUL_BLEND: PickFlags<BLIT_MODE_MUL_BLEND>(walk, tex); break;
    default: break;
    }
    return 0;
}
