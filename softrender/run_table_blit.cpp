// 32-bit direct-source kernels of the run-table path: the run kinds of the
// source's table stand in for the class test, so skip runs are never read.
#include <string.h>

#include "softrender/blit_copy.h"
#include "softrender/blit32_rules.h"
#include "softrender/blit32_vector.h"
#include "softrender/blit_kernels.h"

using namespace blit32;

namespace {

template <int Mode, bool Blend, bool Bright, bool Alpha>
struct RunKernel {
    Ctx c;
    blit32v::VCtx v;

    explicit RunKernel(const BlitJob* job) : c(job), v(blit32v::MakeVCtx(job)) {}

    template <bool Trl>
    void Draw(uint8_t* d, const uint8_t* s, const uint8_t* m, int n)
    {
        if (Mode == BLIT_MODE_COPY && !Bright && !Blend && !Trl) {
            CopyPixelBytes(d, s, (size_t)n * 4);
            return;
        }
        if (!Blend)
            return blit32v::Span<Mode, Bright, Trl, false>(c, v, d, s, n);
        for (int i = 0; i < n; i++, d += 4, s += 4)
            Store(d, Rule<Mode, Bright, Trl, Blend>(c, Load(d), Load(s), Blend ? c.ramp[m[i]] : 0));
    }

    void Opaque(uint8_t* d, const uint8_t* s, const uint8_t* m, int n) { Draw<false>(d, s, m, n); }
    // Without the alpha flag a translucent code is drawn as opaque.
    void Translucent(uint8_t* d, const uint8_t* s, const uint8_t* m, int n) { Draw<Alpha>(d, s, m, n); }
};

template <int Mode, bool Blend, bool Bright, bool Alpha>
struct RunLeaf {
    static void Run(const BlitJob* job)
    {
        RunKernel<Mode, Blend, Bright, Alpha> kernel(job);
        WalkRunTable(job, kernel);
    }
};

} // namespace

void BlitRun32Direct(const BlitJob* job)
{
    DispatchModes<RunLeaf>(job);
}
