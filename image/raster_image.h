// Raster images: a colour format, a size, a row pitch and pixel memory owned
// by the record. Creation, release, pixel access, and the mirror, turn and
// halving operations used for mip levels.
#pragma once

#include <stdint.h>

#include "image/color_format.h"

struct RasterImage {
    ColorFormat format;
    int32_t width, height;
    int32_t pitch;        // bytes from one row to the next, rows top-down; 0 when compressed
    void* pixels;         // AllocTracked; compressed: the 4 x 4 blocks, then further mip levels
    int32_t mipCount;     // levels stored (DDS files that declare them), else 0
};

// The pitch of computed images: the row size rounded up to 4 bytes.
int RasterPitch(int width, int bytesPerPixel);

int CreateImageLike(int width, int height, const RasterImage* model, RasterImage* out);
int CreateImageARGB32(int width, int height, RasterImage* out);
int CreateImageXRGB32(int width, int height, RasterImage* out);
int FreeRasterImage(RasterImage* image);
// Zero-fills a rectangle; coordinates are trusted.
int ClearImageRect(RasterImage* image, int x, int y, int width, int height);

// One pixel as 8-bit channels; a compressed image is decompressed first. -1
// outside the image or when decompression fails.
int GetRasterImagePixel(RasterImage* image, int x, int y, uint32_t* red, uint32_t* green,
                        uint32_t* blue, uint32_t* alpha);
int SetRasterImagePixel(RasterImage* image, int x, int y, int red, int green, int blue, int alpha);
// One pixel as an A8R8G8B8-shaped value (channels in the top bits of their
// bytes); a 1-byte image gives its palette entry. Coordinates are trusted.
uint32_t GetImagePixel(const RasterImage* image, int x, int y);

int FlipImageHorizontal(RasterImage* image);
int RotateImage180(RasterImage* image);
// Half-size copy of a rectangle of 16- or 32-bit pixels; its width and
// height must each be even or 1.
int ShrinkImageHalf(const ColorFormat* format, void* destination, int destinationPitch,
                    const void* source, int sourcePitch, int destinationX, int destinationY,
                    int sourceX, int sourceY, int sourceWidth, int sourceHeight);
