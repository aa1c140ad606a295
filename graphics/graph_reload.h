// Refilling an existing graph from decoded images or an image file (the
// model module's textures), keeping the graph's handle and size.
#pragma once

struct RasterImage;

// 1 = a reload takes the colour image's top-left pixel as the transparent
// colour for that reload; no call of this program sets it.
extern int ReloadTopLeftTransColor;

// The images must have the graph's size (alpha may be null). With mirror and
// mirrorAgain both 1 the images are flipped for the transfer and flipped
// back afterwards. 0 or -1.
int ReloadGraphFromImages(RasterImage* colour, RasterImage* alpha, int graph, int notRead, int mirror,
                          int mirrorAgain);
int ReloadGraphFromRasterImage(RasterImage* colour, int graph);
// source is a file path (size 0) or a memory block of size bytes; likewise
// the alpha image (null: the file's "_a" image for a path, none for a block).
// mirror 1 flips the pictures left-right. 0 or -1.
int ReloadGraphFromFile(const void* source, int size, int graph, const void* alphaSource, int alphaSize,
                        int notRead, int mirror);
