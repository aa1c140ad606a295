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
#include "softrender/tex_span_rules.h"
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

template <int Mode, bool Blend, bool Bright, bool Alpha, bool Trans>
void DirectSpans(const TriangleWalk& w, const TriangleTexture& t)
{
    const Ctx c = MakeCtx(t);
    auto pixel = [&](uint8_t* d, const uint8_t* texel, const uint8_t* m) {
        const uint32_t S = Load(texel);
        if (!Alpha) {
            // The key is the texel as stored, all four bytes.
            if (Trans && S == c.transColor)
                return;
            Store(d, Rule<Mode, Bright, false, Blend>(c, Load(d), S, Blend ? c.ramp[*m] : 0));
        } else if (Trans) {
            const uint32_t a = S >> 24;
            if (a == 0)
                return;
            const uint32_t f = Blend ? c.ramp[*m] : 0;
            if (a == 255)
                Store(d, Rule<Mode, Bright, false, Blend>(c, Load(d), S, f));
            else
                Store(d, Rule<Mode, Bright, true, Blend>(c, Load(d), S, f));
        } else {
            Store(d, Rule<Mode, Bright, true, Blend>(c, Load(d), S, Blend ? c.ramp[*m] : 0));
        }
    };
    WalkTriangle(w, [&](const TriangleSpan& s) { VisitTexelSpan<4, 4, Blend>(t, w, s, pixel); });
}

// Palette entries are opaque colours: the rule of an opaque direct texel,
// with the index compared against the transparent colour.
template <int Mode, bool Blend, bool Bright, bool Trans>
void PaletteSpans(const TriangleWalk& w, const TriangleTexture& t)
{
    const Ctx c = MakeCtx(t);
    const uint8_t* palette = (const uint8_t*)t.palette;
    auto pixel = [&](uint8_t* d, const uint8_t* texel, const uint8_t* m) {
        const uint32_t i = *texel;
        if (Trans && i == c.transColor)
            return;
        Store(d, Rule<Mode, Bright, false, Blend>(c, Load(d), Load(palette + 4 * i), Blend ? c.ramp[*m] : 0));
    };
    WalkTriangle(w, [&](const TriangleSpan& s) { VisitTexelSpan<4, 1, Blend>(t, w, s, pixel); });
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
    if (tex.uLimit == 0 || tex.vLimit == 0 || walk.dstBpp != 4 || (tex.paletteSource && !tex.palette) ||
        tex.texelBytes != (tex.paletteSource ? 1 : 4))
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
