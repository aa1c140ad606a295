// One-to-one software blit of a memory image onto another, in the blend
// mode, parameter and brightness of the draw state, clipped to its draw area.
#pragma once

#include <stdint.h>

#include "softrender/blit_kernels.h"

struct MEMIMG;

// Draws source with its top-left pixel at (x, y) of destination. transFlag
// non-zero skips transparent pixels (exactly 1 allows the run-table path);
// blendImage, when given, is one byte per pixel read in source coordinates.
// Refusals (unequal pixel kinds, a destination with a palette or alpha, a
// blend image smaller than the region read, an empty clip) draw nothing.
void BlitMemImage(MEMIMG* destination, const MEMIMG* source, int x, int y, int transFlag,
                  const MEMIMG* blendImage);

// The images and the draw state of a blit call as the platform-free blits
// take them; false when an image has no body or format.
bool DescribeBlitCall(const MEMIMG* destination, const MEMIMG* source, const MEMIMG* blendImage,
                      BlitImageDesc* dst, BlitImageDesc* src, BlitImageDesc* blend, BlitDrawValues* draw);
