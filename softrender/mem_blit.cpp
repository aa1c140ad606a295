#include "softrender/mem_blit.h"

void BlitMemImage(MEMIMG*, const MEMIMG*, int, int, int, const MEMIMG*) {}
