// 32-bit direct-source kernels of the run-table path.
#include "softrender/blit_kernels.h"

void BlitRun32Direct(const BlitJob*) {}
