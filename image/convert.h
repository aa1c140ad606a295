// The one routine through which pixels move between colour formats: a
// source rectangle copied to a position in a destination, with colour keys,
// an optional alpha image, dithering, mirroring and palette remapping.
#pragma once

#include <stdint.h>

#include "image/color_format.h"

// A rectangle of pixels: left and top inside it, right and bottom one past it
// (the layout of a Win32 RECT).
struct ConvertRect {
    int32_t left, top, right, bottom;
};

enum ConvertDither {
    CONVERT_DITHER_NONE = 0,
    CONVERT_DITHER_ORDERED = 1,   // 4 x 4 ordered matrix
    CONVERT_DITHER_ERROR = 2,     // running error per channel
};

// destination/source/alpha point at pixel (0, 0) of their images; the alpha
// image (its red channel) is read at the source's coordinates. No clipping:
// the rectangle and the position must lie within both images.
//   mirror        non-zero writes each row right to left
//   keyToAlpha    1: pixels of the X8R8G8B8 colour `key` get alpha 0, others full alpha
//   key           the colour for keyToAlpha; a raw source pixel value for skipKey
//   colorOff      non-zero writes red, green and blue as 0
//   alphaFromRed  non-zero takes the alpha from the source's red channel
//   skipKey       1 leaves destination pixels alone where the source equals `key`
//   remap         non-zero maps 8-bit indices between two different palettes
// -1 for an empty rectangle or a compressed format; the highest index copied
// for a plain 8-bit copy; else 0.
int ConvertImageBlt(void* destination, int destinationPitch, const ColorFormat* destinationFormat,
                    const void* source, int sourcePitch, const ColorFormat* sourceFormat,
                    const void* alphaImage, int alphaPitch, const ColorFormat* alphaFormat,
                    int destinationX, int destinationY, const ConvertRect* sourceRect, int mirror,
                    int keyToAlpha, uint32_t key, int dither, int colorOff, int alphaFromRed,
                    int skipKey, int remap);
