#include "image/soft_blend_tables.h"

uint32_t MulDiv255Table[256][256];
int32_t SignedMulDiv255Table[256][512];
uint8_t Lerp64Table[64][64][64];
uint8_t BlendGraphRamp[256];

namespace {

// Truncating divisions by reciprocal multiplication; exact for every
// product the tables form (up to 255 x 255 and 63 x 63).
inline uint32_t Div255(uint32_t x) { return (uint32_t)(((uint64_t)x * 0x80808081u) >> 39); }
inline uint32_t Div63(uint32_t x) { return (x * 0x8209u) >> 21; }

} // namespace

int BuildSoftBlendTables()
{
    for (uint32_t a = 0; a < 256; a++)
        for (uint32_t b = 0; b < 256; b++)
            MulDiv255Table[a][b] = Div255(a * b);

    for (int v = 0; v < 256; v++)
        for (int d = -255; d <= 255; d++) {
            int32_t magnitude = (int32_t)Div255((uint32_t)(v * (d < 0 ? -d : d)));
            SignedMulDiv255Table[v][256 + d] = d < 0 ? -magnitude : magnitude;
        }

    for (uint32_t q = 0; q < 64; q++)
        for (uint32_t s = 0; s < 64; s++)
            for (uint32_t d = 0; d < 64; d++)
                Lerp64Table[q][s][d] = (uint8_t)Div63(s * q + d * (63 - q));
    return 0;
}

void BuildSoftFadeTable(int level, int width)
{
    // The width divides; below 0 there is no ramp to build.
    if (width < 0)
        return;
    // 64-bit, so that no argument overflows; within 0..255 the results are
    // those of 32-bit arithmetic.
    int64_t n = (int64_t)width + 1;
    int64_t step = 65536 / n;
    int64_t base = 256 - ((step + 256) * level) / 256;
    for (int k = 0; k < 256; k++) {
        int64_t v = ((int64_t)k * 256) / n + base;
        BlendGraphRamp[k] = (uint8_t)(v > 255 ? 255 : v < 0 ? 0 : v);
    }
}
