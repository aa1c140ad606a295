// Lookup tables through which the software renderer blends without
// multiplying or dividing per pixel. Only the two builders below write them.
#pragma once

#include <stdint.h>

// [a][b] = a x b / 255, truncated.
extern uint32_t MulDiv255Table[256][256];
// [v][256 + d] = v x d / 255 truncated toward zero, d = -255..255; [v][0] is 0.
extern int32_t SignedMulDiv255Table[256][512];
// [q][s][d] = (s x q + d x (63 - q)) / 63, truncated: q blends 6-bit s and d.
extern uint8_t Lerp64Table[64][64][64];
// A byte of the blend (transition) graph -> mix factor 0..255.
extern uint8_t BlendGraphRamp[256];

// Fills the three tables above BlendGraphRamp; 0.
int BuildSoftBlendTables();
// Fills BlendGraphRamp for a border level and width; a negative width has no
// ramp and leaves it unchanged.
void BuildSoftFadeTable(int level, int width);
