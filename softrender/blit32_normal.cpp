// 32-bit direct-source kernels of the normal path: every source pixel is
// classed by the transparency flag and its alpha, then drawn by the rules
// of blit32_rules.h. One loop per mode and flag combination.
#include <string.h>

#include "softrender/blit32_rules.h"
#include "softrender/blit_kernels.h"

using namespace blit32;

namespace {

template <int Mode, bool Blend, bool Bright, bool Alpha, bool Trans>
void NormalLoop(const BlitJob* job)
{
    const Ctx c(job);
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
        memcpy(d, s, bytes);
        d += bytes + job->dstSkip;
        s += bytes + job->srcSkip;
    }
}

// Mode 0 keyed copy: four pixels compared and stored a step.
void KeyedCopyRows(const BlitJob* job)
{
    uint8_t* d = job->dst;
    const uint8_t* s = job->src;
    const uint32_t key = job->transColor;
    const int32_t w = job->w;
    for (int32_t row = 0; row < job->h; row++) {
        int32_t i = 0;
        for (; i + 4 <= w; i += 4, d += 16, s += 16) {
            uint32_t v[4];
            memcpy(v, s, 16);
            if (v[0] != key)
                Store(d, v[0]);
            if (v[1] != key)
                Store(d + 4, v[1]);
            if (v[2] != key)
                Store(d + 8, v[2]);
            if (v[3] != key)
                Store(d + 12, v[3]);
        }
        for (; i < w; i++, d += 4, s += 4) {
            const uint32_t v = Load(s);
            if (v != key)
                Store(d, v);
        }
        d += job->dstSkip;
        s += job->srcSkip;
    }
}

// The rows of the special-parameter loops: every source pixel S that is
// not the key (with Trans) turns destination pixel D into op(S, D).
template <bool Trans, class Op>
inline void KeyedRows(const BlitJob* job, Op op)
{
    uint8_t* d = job->dst;
    const uint8_t* s = job->src;
    const uint32_t key = job->transColor;
    for (int32_t row = 0; row < job->h; row++) {
        for (int32_t i = 0; i < job->w; i++, d += 4, s += 4) {
            const uint32_t S = Load(s);
            if (Trans && S == key)
                continue;
            Store(d, op(S, Load(d)));
        }
        d += job->dstSkip;
        s += job->srcSkip;
    }
}

// Mode 1 at p 128 without flags: both pixels halved and added, byte 3 0.
template <bool Trans>
void HalfLoop(const BlitJob* job)
{
    KeyedRows<Trans>(job, [](uint32_t S, uint32_t D) { return ((S >> 1) & 0x7F7F7F) + ((D >> 1) & 0x7F7F7F); });
}

// Modes 2 and 3 at p 255 without flags: the addends are the source bytes.
template <int Mode, bool Trans>
void FullAddSubLoop(const BlitJob* job)
{
    KeyedRows<Trans>(job, [](uint32_t S, uint32_t D) {
        const uint32_t t = S & 0xFFFFFF;
        return Mode == BLIT_MODE_ADD ? AddPixel(D, t) : SubPixel(D, t);
    });
}

// The leaf without blend image, brightness or alpha source: the mode's own
// loops for special parameters first.
template <int Mode, bool Trans>
void PlainLeaf(const BlitJob* job)
{
    if (Mode == BLIT_MODE_COPY)
        return Trans ? KeyedCopyRows(job) : CopyRows(job);
    if (Mode == BLIT_MODE_ALPHA && job->param == 128)
        return HalfLoop<Trans>(job);
    if ((Mode == BLIT_MODE_ADD || Mode == BLIT_MODE_SUB) && job->param == 255)
        return FullAddSubLoop<Mode, Trans>(job);
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
