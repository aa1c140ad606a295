// Copies pixels of a picture in memory into a graph: its texture tiles
// (converted, bordered for filtering, with mip levels) or its memory image.
#pragma once

#include <windows.h>

struct ColorFormat;
struct RasterImage;

// bitmapMode 1 reads colourBitmap / alphaBitmap (described by bitmapFormat)
// instead of image / alpha. source is the rectangle of the picture; dstX, dstY
// the position in the image record (imageCoordinates 1) or in the graph's own
// rectangle (0). alphaFromRed makes the red channel the alpha (blend images);
// useKey turns the image record's transparent colour into alpha 0.
// 0 or -1.
int TransferImageToGraph(int graph, ColorFormat* bitmapFormat, HBITMAP colourBitmap, HBITMAP alphaBitmap,
                         const RECT* source, int dstX, int dstY, int bitmapMode, RasterImage* image,
                         RasterImage* alpha, int alphaFromRed, int useKey, int imageCoordinates);
