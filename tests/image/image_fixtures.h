// The BMP fixtures of tests/image/fixtures (written by
// tools/make_bmp_fixtures.py) and the picture they all hold.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "image/image_decoders.h"
#include "image/raster_image.h"

const int PictureWidth = 7, PictureHeight = 5;
// Palette indices, top row first; index 1 is pure green.
const uint8_t Picture[PictureHeight][PictureWidth] = {
    {0, 0, 0, 1, 2, 3, 3},
    {4, 4, 4, 4, 4, 4, 4},
    {5, 6, 7, 8, 9, 10, 11},
    {12, 13, 13, 13, 14, 15, 15},
    {15, 15, 0, 1, 0, 1, 0},
};
// 0x00RRGGBB
const uint32_t PictureColours[16] = {
    0x000000, 0x00FF00, 0xFF0000, 0x0000FF, 0xFFFFFF, 0x808080, 0xFFFF00, 0x00FFFF,
    0xFF00FF, 0x402010, 0x104080, 0xC86432, 0x080808, 0xF8F8F8, 0x60A0E0, 0x285078,
};
// The 1-bit fixture holds index % 2 in these colours.
const uint32_t TwoColours[2] = {0x00FF00, 0xC82860};

// The 32-bit TGA, PNG and BGRA fixtures (tools/make_image_fixtures.py) add
// this alpha to the picture.
inline uint32_t PictureAlpha(int x, int y) { return (uint32_t)(255 - 30 * x - 7 * y); }

// The directory of the fixtures, given to the test program as its argument.
std::string FixturePath(const char* name);
std::vector<uint8_t> ReadFixture(const char* name);

// Decodes a block through a memory stream with one decoder (or with the
// whole loader list, LoadImageFromStream).
int DecodeBlock(const std::vector<uint8_t>& data, RasterImage* image, ImageDecoder decoder);

// The colour of pixel (x, y) as 0x00RRGGBB (GetRasterImagePixel), or -1.
int64_t PixelColour(RasterImage* image, int x, int y);

// Expects the picture's colours in every pixel: the bits of `mask` of each
// channel, each within `tolerance` (lossy files).
void ExpectPictureColours(RasterImage* image, uint32_t mask = 0xFFFFFF, int tolerance = 0);
