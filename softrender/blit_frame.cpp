#include "softrender/blit_kernels.h"

void PlanAndRunBlit(const BlitImageDesc*, const BlitImageDesc*, int32_t, int32_t, int32_t, const BlitImageDesc*,
                    const BlitDrawValues*)
{
}
