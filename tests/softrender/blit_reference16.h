// A plain per-pixel model of the 16-bit, palette and stretched blits, written
// from the rules: no lookup tables, no pointers, every destination pixel on
// its own, the whole-pixel add and subtract field by field, and the stretch
// source index from its closed formula rather than the accumulators.
#pragma once

#include <stdint.h>

#include <vector>

#include "softrender/blit_kernels.h"

enum { R16_SKIP = 0, R16_OPAQUE = 1, R16_TRANSLUCENT = 2 };
enum { R16_NORMAL = 0, R16_RUN = 1, R16_STRETCH = 2 };

// A run table built the way the image layer builds it (alpha 0 / 255 /
// other for a direct alpha source, else the transparent colour or index).
std::vector<uint8_t> Ref16BuildRunTable(const BlitImageDesc* src);

// One destination pixel. kind 0: d and s are R5G6B5 words; kind 1: 32-bit.
struct Ref16Pixel {
    int kind;
    int mode;                 // after the parameter gates
    int p;
    uint32_t brightness;      // low 24 bits 0xFFFFFF = off
    bool alphaSource;
    bool palette;
    int path;                 // R16_NORMAL, R16_RUN, R16_STRETCH
    bool blend;
    uint32_t f;
    int cls;                  // R16_OPAQUE or R16_TRANSLUCENT
};
uint32_t Ref16PixelRule(const Ref16Pixel& px, uint32_t d, uint32_t s, uint32_t a);

// One-to-one blit of a 16-bit direct or any palette source.
void Ref16Blit(const BlitImageDesc* dst, const BlitImageDesc* src, int32_t x, int32_t y, int32_t transFlag,
               const BlitImageDesc* blend, const BlitDrawValues* draw, const uint8_t* ramp);

// Stretched blit of any source kind; the source's size in natural order
// goes to Ref16Blit (only meaningful for the kinds it covers).
void Ref16Stretch(const BlitImageDesc* dst, const BlitImageDesc* src, const int32_t* rect, int32_t transFlag,
                  const BlitImageDesc* blend, const BlitDrawValues* draw, const uint8_t* ramp);

// The source index of destination offset u under the stepping rules.
int64_t Ref16StretchIndex(int64_t u, int64_t firstU, int64_t s, bool earlyStop);
