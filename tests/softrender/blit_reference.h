// A deliberately plain per-pixel model of the software blit, written from
// the rules rather than from the kernels: every destination pixel is taken
// on its own, with no tables, pointers or row skips.
#pragma once

#include <stdint.h>

#include <vector>

#include "softrender/blit_kernels.h"

// Pixel classes.
enum { REF_SKIP = 0, REF_OPAQUE = 1, REF_TRANSLUCENT = 2 };

// floor(k * v / 255).
uint32_t RefMulDiv255(uint32_t k, uint32_t v);
// (x * 2^n + (y - x) * w) >> n.
uint32_t RefMix(uint32_t x, uint32_t y, uint32_t w, int n);

// The run kinds of every pixel of src (row by row) as its table gives them;
// empty when the table is missing.
std::vector<uint8_t> RefRunKinds(const BlitImageDesc* src);

// Builds a run table for a direct 32-bit source the way the image layer
// does: alpha 0/255/other for an alpha source, else the transparent colour.
std::vector<uint8_t> RefBuildRunTable32(const BlitImageDesc* src);

// Everything a 32-bit direct pixel depends on.
struct Ref32Pixel {
    int mode;                 // after the parameter gates
    uint32_t p;
    bool bright;
    uint32_t brightness;
    bool alphaSource;
    bool transOn;
    bool runPath;
    bool blend;
    uint32_t f;               // ramp factor when blend
    int cls;                  // REF_OPAQUE or REF_TRANSLUCENT
};
uint32_t RefPixel32(const Ref32Pixel& px, uint32_t D, uint32_t S);

// The whole blit, drawing into dst->pixels. Covers 32-bit direct sources;
// other sources leave the destination as it is.
void ReferenceBlit(const BlitImageDesc* dst, const BlitImageDesc* src, int32_t x, int32_t y, int32_t transFlag,
                   const BlitImageDesc* blend, const BlitDrawValues* draw, const uint8_t* ramp);
