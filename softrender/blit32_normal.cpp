// 32-bit direct-source kernels of the normal path: every source pixel is
// classed by the transparency flag and its alpha, then drawn by the rules
// of blit32_rules.h. One loop per mode and flag combination.
#include <string.h>

#include "softrender/blit_copy.h"
#include "softrender/blit32_rules.h"
#include "softrender/blit32_vector.h"
#include "softrender/blit_kernels.h"

using namespace blit32;

namespace {

template <int Mode, bool Blend, bool Bright, bool Alpha, bool Trans>
void NormalLoop(const BlitJob* job)
{
    const Ctx c(job);
    if (!Blend) {
        // Without a blend image: four pixels a step.
        const blit32v::VCtx v = blit32v::MakeVCtx(job);
        uint8_t* d = job->dst;
        const uint8_t* s = job->src;
        const ptrdiff_t dRow = (ptrdiff_t)job->w * 4 + job->dstSkip, sRow = (ptrdiff_t)job->w * 4 + job->srcSkip;
        for (int32_t row = 0; row < job->h; row++, d += dRow, s += sRow)
            blit32v::Span<Mode, Bright, Alpha, Trans>(c, v, d, s, job->w);
        return;
    }
    uint8_t* d = job->dst;
    const uint8_t* s = job->src;
    const uint8_t* m = job->blend;
    const int32_t w = job->w;
    for (int32_t row = 0; row < job->h; row++) {
        for (int32_t i = 0; i < w; i++, d += 4, s += 4) {
            const uint32_t S = Load(s);
            const uint32_t f = Blend ? c.ramp[*m++] : 0;
            if (!Alpha) {
                if (Trans && S == c.transColor)
                    continue;
                Store(d, Rule<Mode, Bright, false, Blend>(c, Load(d), S, f));
            } else if (Trans) {
                const uint32_t a = S >> 24;
                if (a == 0)
                    continue;
                if (a == 255)
                    Store(d, Rule<Mode, Bright, false, Blend>(c, Load(d), S, f));
                else
                    Store(d, Rule<Mode, Bright, true, Blend>(c, Load(d), S, f));
            } else if (Mode == BLIT_MODE_COPY && !Bright && !Blend) {
                Store(d, S);
            } else {
                Store(d, Rule<Mode, Bright, true, Blend>(c, Load(d), S, f));
            }
        }
        d += job->dstSkip;
        s += job->srcSkip;
        if (Blend)
            m += job->blendSkip;
    }
}

// Mode 0 without brightness or blend image, every pixel copied whole: an
// opaque source without the flag, or an alpha source without the flag.
void CopyRows(const BlitJob* job)
{
    uint8_t* d = job->dst;
    const uint8_t* s = job->src;
    const size_t bytes = (size_t)job->w * 4;
    for (int32_t row = 0; row < job->h; row++) {
        CopyPixelBytes(d, s, bytes);
        d += bytes + job->dstSkip;
        s += bytes + job->srcSkip;
    }
}

// Mode 1 at p 128 without flags: both pixels halved and added, byte 3 0.
template <bool Trans>
void HalfLoop(const BlitJob* job)
{
    const __m128i half = _mm_set1_epi32(0x7F7F7F), key = _mm_set1_epi32((int)job->transColor);
    uint8_t* d = job->dst;
    const uint8_t* s = job->src;
    for (int32_t row = 0; row < job->h; row++) {
        int32_t i = 0;
        for (; i + 4 <= job->w; i += 4, d += 16, s += 16) {
            const __m128i S = _mm_loadu_si128((const __m128i*)s), D = _mm_loadu_si128((const __m128i*)d);
            __m128i out = _mm_add_epi32(_mm_and_si128(_mm_srli_epi32(S, 1), half),
                                        _mm_and_si128(_mm_srli_epi32(D, 1), half));
            if (Trans)
                out = blit32v::Select(_mm_cmpeq_epi32(S, key), D, out);
            _mm_storeu_si128((__m128i*)d, out);
        }
        for (; i < job->w; i++, d += 4, s += 4) {
            const uint32_t S = Load(s);
            if (Trans && S == job->transColor)
                continue;
            Store(d, ((S >> 1) & 0x7F7F7F) + ((Load(d) >> 1) & 0x7F7F7F));
        }
        d += job->dstSkip;
        s += job->srcSkip;
    }
}

// The leaf without blend image, brightness or alpha source: the whole copy
// and the halving blend have loops of their own.
template <int Mode, bool Trans>
void PlainLeaf(const BlitJob* job)
{
    if (Mode == BLIT_MODE_COPY && !Trans)
        return CopyRows(job);
    if (Mode == BLIT_MODE_ALPHA && job->param == 128)
        return HalfLoop<Trans>(job);
    NormalLoop<Mode, false, false, false, Trans>(job);
}

// A leaf of the dispatch: the flag's loops, and the copy an alpha source
// without the flag comes down to.
template <int Mode, bool Blend, bool Bright, bool Alpha>
struct NormalLeaf {
    static void Run(const BlitJob* job)
    {
        if (!Blend && !Bright && !Alpha)
            return job->transFlag ? PlainLeaf<Mode, true>(job) : PlainLeaf<Mode, false>(job);
        if (Mode == BLIT_MODE_COPY && Alpha && !Blend && !Bright && !job->transFlag)
            return CopyRows(job);
        job->transFlag ? NormalLoop<Mode, Blend, Bright, Alpha, true>(job)
                       : NormalLoop<Mode, Blend, Bright, Alpha, false>(job);
    }
};

} // namespace

void BlitNormal32Direct(const BlitJob* job)
{
    DispatchModes<NormalLeaf>(job);
}
