// Palette-source families: one index byte per pixel, looked up in the
// body's palette and drawn as an opaque direct pixel; the transparency test
// compares indices. The alpha flag of a palette source is never read.
#include "softrender/blit_source_loops.h"

using namespace srcloops;

void BlitNormal32Palette(const BlitJob* job) { RunNormalFamily<1, SRC_PALETTE>(job); }
void BlitRun32Palette(const BlitJob* job) { RunRunTableFamily<1, SRC_PALETTE>(job); }
void BlitNormal16Palette(const BlitJob* job) { RunNormalFamily<0, SRC_PALETTE>(job); }
void BlitRun16Palette(const BlitJob* job) { RunRunTableFamily<0, SRC_PALETTE>(job); }
