// Decompression of DXT1 to DXT5 block images into A8R8G8B8.
#pragma once

#include <stdint.h>

#include "image/raster_image.h"

// Replaces a compressed image in place by its A8R8G8B8 form (the further mip
// levels are dropped). 0, also for an uncompressed image; -1 when memory runs
// out (the image is left as it was).
int DecompressDxtRasterImage(RasterImage* image);

// One pixel of a compressed image as 0xAARRGGBB, without changing the image;
// -1 outside the image's whole blocks.
int DecodeDxtPixel(const RasterImage* image, int x, int y, uint32_t* argb);
