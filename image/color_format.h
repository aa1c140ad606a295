// Colour formats: how the bits of a pixel are laid out, the preset formats,
// and the conversion of colours to pixel values and back.
#pragma once

#include <stdint.h>

enum ColorCompression {
    COLOR_COMPRESSION_NONE = 0,
    COLOR_COMPRESSION_DXT1 = 1,
    COLOR_COMPRESSION_DXT2 = 2,
    COLOR_COMPRESSION_DXT3 = 3,
    COLOR_COMPRESSION_DXT4 = 4,
    COLOR_COMPRESSION_DXT5 = 5,
};

struct ColorFormat {
    uint16_t bitDepth;        // 8, 16, 24, 32; 4 (DXT1) or 8 (DXT2-5) when compressed
    uint16_t bytesPerPixel;   // 1-4; 4 for compressed (their decompressed form)
    uint8_t redWidth, greenWidth, blueWidth, alphaWidth;
    uint8_t redShift, greenShift, blueShift, alphaShift;
    uint32_t redMask, greenMask, blueMask, alphaMask;
    uint32_t unusedMask;      // bits no channel uses; pixel values made here set them
    uint32_t palette[256];    // bytes blue, green, red, reserved (0x00RRGGBB)
    uint8_t unusedShift, unusedWidth;
    uint32_t compression;     // ColorCompression
};

int MakeColorFormat(ColorFormat* format, int bitDepth, uint32_t redMask, uint32_t greenMask,
                    uint32_t blueMask, uint32_t alphaMask);
int FixColorFormatMask(ColorFormat* format);

int SetColorFormatPal8(ColorFormat* format);
int SetColorFormatGrey8(ColorFormat* format);
int SetColorFormatXRGB32(ColorFormat* format);
int SetColorFormatARGB32(ColorFormat* format);
int SetColorFormatRGB24(ColorFormat* format);

// The pixel value of a colour (for a 1-byte format, the nearest palette
// index; ties go to the lowest index).
uint32_t ColorToPixelValue(const ColorFormat* format, int red, int green, int blue, int alpha);
// The channels of a pixel value as 8-bit values; any out may be null.
int SplitColorComponents(const ColorFormat* format, uint32_t value, uint32_t* red, uint32_t* green,
                         uint32_t* blue, uint32_t* alpha);
