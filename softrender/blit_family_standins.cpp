// Empty stand-ins for the kernel families that are not built yet; the frame
// dispatches to them and they draw nothing. Delete this file when the
// 16-bit and palette families exist.
#include "softrender/blit_kernels.h"

void BlitNormal16Direct(const BlitJob*) {}
void BlitRun16Direct(const BlitJob*) {}
void BlitNormal32Palette(const BlitJob*) {}
void BlitRun32Palette(const BlitJob*) {}
void BlitNormal16Palette(const BlitJob*) {}
void BlitRun16Palette(const BlitJob*) {}
