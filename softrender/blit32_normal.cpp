// 32-bit direct-source kernels of the normal path.
#include "softrender/blit_kernels.h"

void BlitNormal32Direct(const BlitJob*) {}
