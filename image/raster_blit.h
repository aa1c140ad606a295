// Copies between raster images: clipped one to one with format conversion,
// and scaled with nearest or bilinear sampling.
#pragma once

#include "image/raster_image.h"

// Copies the width x height rectangle at (sourceX, sourceY) to
// (destinationX, destinationY), clipped to both images. Compressed images
// are decompressed first; -1 when that fails, else 0.
int BltRasterImage(int sourceX, int sourceY, int width, int height, int destinationX, int destinationY,
                   RasterImage* source, RasterImage* destination);

// Scales the source rectangle [x1, x2) x [y1, y2) into the destination's;
// bilinear 1 blends the four neighbours. -1 unless both rectangles are
// non-empty and inside their images.
int ScaleBltRasterImage(int sourceX1, int sourceY1, int sourceX2, int sourceY2, RasterImage* source,
                        int destinationX1, int destinationY1, int destinationX2, int destinationY2,
                        RasterImage* destination, int bilinear);
