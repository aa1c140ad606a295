// Textured triangle spans onto 16-bit (R5G6B5) destinations: plain 2-byte
// sources, alpha sources of 4 bytes (colour word, alpha, one unused byte) and
// palette sources of R5G6B5 words. The field arithmetic is the blitter's; what
// differs here is which texels are skipped and where the texel comes from.
// Every combination of source kind, mode and flags is its own span loop, so a
// pixel tests at most its texel bounds and its own skip rule; the bounds are
// mostly settled once a span (tex_span_rules.h).
#include <string.h>

#include "softrender/blit_pixel_rules.h"
#include "softrender/tex_span_rules.h"
#include "softrender/triangle_raster.h"

namespace {

using namespace pixrules;

enum { SRC_PLAIN = 0, SRC_ALPHA = 1, SRC_PALETTE = 2 };

inline uint32_t LoadWord(const uint8_t* p)
{
    uint16_t v;
    memcpy(&v, p, 2);
    return v;
}

inline void StoreWord(uint8_t* p, uint32_t v)
{
    const uint16_t w = (uint16_t)v;
    memcpy(p, &w, 2);
}

template <int Src, int Mode, bool Blend, bool Bright, bool Trans>
void Spans(const TriangleWalk& walk, const TriangleTexture& tex)
{
    const RuleContext c = MakeRuleContext(tex.param, tex.brightness);
    const uint8_t* palette = (const uint8_t*)tex.palette;
    const uint8_t* ramp = tex.ramp;
    const uint32_t key = tex.transColor;
    constexpr int Bytes = Src == SRC_PALETTE ? 1 : (Src == SRC_ALPHA ? 4 : 2);
    WalkTriangle(walk, [&](const TriangleSpan& span) {
        VisitTexelSpan<2, Bytes, Blend>(tex, walk, span, [&](uint8_t* d, const uint8_t* texel, const uint8_t* m) {
            const uint32_t f = Blend ? ramp[*m] : 0;
            if constexpr (Src == SRC_PALETTE) {
                const uint32_t index = texel[0];
                if (Trans && index == key)
                    return;
                StoreWord(d, Rule16<Mode, Blend, Bright, false, VAR_GENERAL>(LoadWord(d), LoadWord(palette + 2 * index),
                                                                             255, f, c));
            } else if constexpr (Src == SRC_PLAIN) {
                const uint32_t word = LoadWord(texel);
                if (Trans && word == key)
                    return;
                StoreWord(d, Rule16<Mode, Blend, Bright, false, VAR_GENERAL>(LoadWord(d), word, 255, f, c));
            } else {
                // Bytes 0 and 1 hold the colour word, byte 2 the alpha; byte 3
                // is never read.
                const uint32_t word = LoadWord(texel);
                const uint32_t a = texel[2];
                if constexpr (Trans) {
                    // Alpha 0 leaves the pixel alone in every mode: multiply
                    // would otherwise paint the transparent corners of a
                    // turned sprite black, as the blitter never does.
                    if (a == 0)
                        return;
                    if (a == 255) {
                        StoreWord(d, Rule16<Mode, Blend, Bright, false, VAR_GENERAL>(LoadWord(d), word, 255, f, c));
                        return;
                    }
                }
                StoreWord(d, Rule16<Mode, Blend, Bright, true, VAR_GENERAL>(LoadWord(d), word, a, f, c));
            }
        });
    });
}

template <int Src, int Mode>
void RunMode(const TriangleWalk& walk, const TriangleTexture& tex)
{
    WithBool(tex.blend != nullptr, [&](auto blend) {
        WithBool(tex.brightActive != 0, [&](auto bright) {
            WithBool(tex.transFlag != 0, [&](auto trans) {
                Spans<Src, Mode, decltype(blend)::value, decltype(bright)::value, decltype(trans)::value>(walk, tex);
            });
        });
    });
}

template <int Src>
void RunSource(const TriangleWalk& walk, const TriangleTexture& tex)
{
    WithMode(tex.mode, [&](auto mode) { RunMode<Src, decltype(mode)::value>(walk, tex); });
}

} // namespace

int RunTexturedSpans16(const TriangleWalk& walk, const TriangleTexture& tex)
{
    if (!tex.src || tex.uLimit == 0 || tex.vLimit == 0)
        return -1;
    if (tex.paletteSource) {
        if (!tex.palette)
            return -1;
        RunSource<SRC_PALETTE>(walk, tex);
    } else if (tex.alphaSource) {
        RunSource<SRC_ALPHA>(walk, tex);
    } else {
        RunSource<SRC_PLAIN>(walk, tex);
    }
    return 0;
}
