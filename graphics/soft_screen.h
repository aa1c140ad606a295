// The software renderer's screens: the primary screen image that presents
// show, and the two work images of the software string drawing.
#pragma once

#include "image/mem_image.h"

extern MEMIMG SoftPrimaryScreen;
extern MEMIMG SoftWorkImages[2];
// The image software draws go to (the primary screen, a graph's image or
// the mask screen); null while none is selected.
extern MEMIMG* SoftDrawTarget;
