// Stretched and mirrored software blit of a whole memory image into a
// destination rectangle, by nearest-pixel stepping in 16.16 fixed point.
#pragma once

#include <stdint.h>

#include "softrender/blit_kernels.h"

struct MEMIMG;

// rect is {x1, y1, x2, y2}; x1 > x2 mirrors left to right, y1 > y2 top to
// bottom. A rectangle of the source's size in natural order is drawn by
// BlitMemImage. Refusals (unequal pixel kinds, a destination with a palette
// or alpha, an empty rectangle, a source of size 0, a scale step of 0, a
// blend image smaller than the source region read) draw nothing.
void StretchBlitMemImage(MEMIMG* destination, const MEMIMG* source, const int32_t* rect, int transFlag,
                         const MEMIMG* blendImage);

// The same without the platform, on image descriptions and draw values.
void PlanAndRunStretch(const BlitImageDesc* dst, const BlitImageDesc* src, const int32_t* rect, int32_t transFlag,
                       const BlitImageDesc* blend, const BlitDrawValues* draw);
