// 32-bit direct-source kernels of the run-table path: the run kinds of the
// source's table stand in for the class test, so skip runs are never read.
#include <string.h>

#include "softrender/blit32_rules.h"
#include "softrender/blit_kernels.h"

using namespace blit32;

namespace {

template <int Mode, bool Blend, bool Bright, bool Alpha>
struct RunKernel {
    Ctx c;

    explicit RunKernel(const BlitJob* job) : c(job) {}

    template <bool Trl>
    void Draw(uint8_t* d, const uint8_t* s, const uint8_t* m, int n)
    {
        if (Mode == BLIT_MODE_COPY && !Bright && !Blend && !Trl) {
            memcpy(d, s, (size_t)n * 4);
            return;
        }
        for (int i = 0; i < n; i++, d += 4, s += 4)
            Store(d, Rule<Mode, Bright, Trl, Blend>(c, Load(d), Load(s), Blend ? c.ramp[m[i]] : 0));
    }

    void Opaque(uint8_t* d, const uint8_t* s, const uint8_t* m, int n) { Draw<false>(d, s, m, n); }
    // Without the alpha flag a translucent code is drawn as opaque.
    void Translucent(uint8_t* d, const uint8_t* s, const uint8_t* m, int n) { Draw<Alpha>(d, s, m, n); }
};

template <int Mode, bool Blend, bool Bright, bool Alpha>
void RunLeaf(const BlitJob* job)
{
    RunKernel<Mode, Blend, Bright, Alpha> kernel(job);
    WalkRunTable(job, kernel);
}

template <int Mode, bool Blend, bool Bright>
void PickAlpha(const BlitJob* job)
{
    job->alphaSource ? RunLeaf<Mode, Blend, Bright, true>(job) : RunLeaf<Mode, Blend, Bright, false>(job);
}

template <int Mode, bool Blend>
void PickBright(const BlitJob* job)
{
    job->brightActive ? PickAlpha<Mode, Blend, true>(job) : PickAlpha<Mode, Blend, false>(job);
}

template <int Mode>
void PickBlend(const BlitJob* job)
{
    job->blend ? PickBright<Mode, true>(job) : PickBright<Mode, false>(job);
}

} // namespace

void BlitRun32Direct(const BlitJob* job)
{
    switch (job->mode) {
    case BLIT_MODE_COPY: return PickBlend<BLIT_MODE_COPY>(job);
    case BLIT_MODE_ALPHA: return PickBlend<BLIT_MODE_ALPHA>(job);
    case BLIT_MODE_ADD: return PickBlend<BLIT_MODE_ADD>(job);
    case BLIT_MODE_SUB: return PickBlend<BLIT_MODE_SUB>(job);
    case BLIT_MODE_MUL: return PickBlend<BLIT_MODE_MUL>(job);
    case BLIT_MODE_INVERT: return PickBlend<BLIT_MODE_INVERT>(job);
    case BLIT_MODE_MUL_BLEND: return PickBlend<BLIT_MODE_MUL_BLEND>(job);
    default: return;
    }
}
