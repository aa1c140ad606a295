// The door through which image files and images held in memory enter the
// library: the decoder list, loading with an optional "_a" alpha image, and
// the hand-back as a DIB.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
// The native sanitizer build decodes without the DIB hand-back.
struct BITMAPINFO;
#endif

#include "image/image_decoders.h"
#include "image/raster_image.h"

// The fixed decoders in the order they are tried, null-terminated.
extern const ImageDecoder ImageLoaderList[];
// Decoders tried ahead of the fixed list; the library itself adds none.
enum { ADDED_IMAGE_DECODER_MAX = 16 };
extern ImageDecoder AddedImageDecoders[ADDED_IMAGE_DECODER_MAX];
extern int AddedImageDecoderCount;

// Tries each decoder on the stream (rewound to 0, image cleared); 0 when
// one took it, -1 when none did.
int LoadImageFromStream(StreamDescriptor* stream, RasterImage* image);

// Decodes the file at path (memoryFlag 0) or the memory block (memoryFlag
// non-zero), mirrored when mirror is 1. With dibFlag 0 the image goes to
// imageOut (the caller frees it with FreeRasterImage); otherwise it is handed
// back as a DIB: a header block (BITMAPINFOHEADER and 256 colours) in
// dibHeaderOut and the pixels in dibPixelsOut, both AllocTracked. 0 or -1.
int LoadImageData(const char* path, const void* block, int size, int memoryFlag, int dibFlag, int mirror,
                  RasterImage* imageOut, BITMAPINFO** dibHeaderOut, void** dibPixelsOut);
int LoadImageToRasterImage(const char* path, const void* block, int size, int memoryFlag, RasterImage* imageOut,
                           int mirror);
// Loads the colour image, then its alpha image: alphaMode 0 the file named by
// MakeAlphaFileName, 1 the alpha memory block, anything else none. -1 when the
// colour image fails, 0 when both loaded, 1 when only the colour image did
// (alphaOut is written only when 0 is returned).
int LoadImageWithAlpha(const char* path, const void* block, int size, int memoryFlag, const void* alphaBlock,
                       int alphaSize, int alphaMode, RasterImage* imageOut, RasterImage* alphaOut, int mirror);

// The alpha image's name: "_a" before the path's first '.' (double-byte
// characters stepped over whole), or at its end. out holds FULL_PATH_SIZE
// bytes; -1 (out emptied) when the name would not fit.
int MakeAlphaFileName(const char* path, char* out);

#ifdef _WIN32
// A top-down DIB of the image: 8 bits with the palette for an 8-bit image
// (flag24 0), else 24 bits. header holds a BITMAPINFOHEADER and 256 colours.
// 0 when the DIB shares the image's pixels, 1 when it got a new AllocTracked
// copy, -1 when memory runs out.
int MakeDibFromRasterImage(RasterImage* image, BITMAPINFO* header, void** pixelsOut, int copyFlag, int flag24);
#endif
