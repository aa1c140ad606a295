// Memory images: the image record of the software renderer (screens, graphs
// without textures, software glyph caches). A MEMIMG is a small record that
// names a rectangle of a reference-counted MemImgBody; views share the body.
// The body also carries the two accelerations the software blitter reads:
// the run table and the premultiplied copy.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "image/color_format.h"
#include "image/raster_image.h"

enum {
    MEMIMG_MAGIC = 0x12345678,
};

// Pixel kinds.
enum {
    MEMIMG_KIND_R5G6B5 = 0,   // 16-bit; with alpha 32-bit: colour in bits 0-15, alpha in 16-23
    MEMIMG_KIND_X8R8G8B8 = 1, // 32-bit; with alpha A8R8G8B8
    MEMIMG_KIND_SINGLE8 = 2,  // one 8-bit channel
    MEMIMG_KIND_SINGLE16 = 3, // one 16-bit channel
};

// Run table bytes: (length - 1) in the low 6 bits, the class in the top 2.
enum {
    MEMIMG_RUN_TRANSPARENT = 0x00,
    MEMIMG_RUN_OPAQUE = 0x40,
    MEMIMG_RUN_TRANSLUCENT = 0x80,
    MEMIMG_RUN_END = 0xC0,     // end of a row
    MEMIMG_RUN_MAX = 64,
};

struct MemImgBody {
    int32_t refCount;         // MEMIMG records using the body
    int32_t width, height;    // of the whole image
    int32_t pitch;            // bytes from one row to the next
    int32_t pitchShift;       // k when the pitch is 2^k, else -1
    const ColorFormat* format; // shared preset (GetPresetColorFormat)
    uint32_t transColor;      // pixel value (palette index for palette images)
    int32_t pixelKind;        // MEMIMG_KIND_*
    int32_t paletteFlag;      // pixels are 8-bit indices into the palette
    int32_t paletteCount;     // palette entries in use, set by a transfer
    int32_t alphaFlag;        // pixels carry alpha
    int32_t premulValid;      // the premultiplied copy matches the pixels
    int32_t runTableValid;    // the run table matches the pixels
    int32_t userMemory;       // pixel memory belongs to the creator
    void* paletteBlock;       // 2048 bytes: the palette, then its copy; null without a palette
    void* paletteCopy;        // paletteBlock + 1024
    void* pixels;
    void* premulPixels;       // pitch x height bytes, or null
    uint8_t* runTable;        // (width + 5) x height bytes, or null
};

struct MEMIMG {
    uint32_t magic;           // MEMIMG_MAGIC while the record holds an image
    int32_t width, height;    // of this image or view
    void* pixels;             // top-left pixel within the body's pixels
    void* premulPixels;       // the same position in the premultiplied copy, or null
    MemImgBody* body;
};

// 0, or -1 when the record already holds an image, the arguments are out of
// range or memory runs out. pitch -1 picks bytes per pixel x width rounded up
// to 16; extras adds the premultiplied copy (alpha images) and the run table
// (kinds other than 2). userPixels, when given, is used and never freed.
// A failure leaves the body pointer in the record (emptied) for a retry.
int CreateMemImage(MEMIMG* image, int width, int height, int pitch, uint32_t transColor, int pixelKind,
                   int paletteFlag, int alphaFlag, int extras, void* userPixels);
// Clears the record, then creates it with the automatic pitch, transparent
// colour 0, no palette, alpha or extras; kind -1 follows the screen depth.
int CreateMemImageDefault(MEMIMG* image, int width, int height, int pixelKind);
// 1 when the record holds an image with a body, else 0.
int IsMemImageValid(const MEMIMG* image);
// Makes view a view of (x, y, width, height) of image (which may itself be a
// view); -1 and nothing done when the rectangle leaves the image.
int DeriveMemImage(MEMIMG* view, const MEMIMG* image, int x, int y, int width, int height);
// Drops the record's reference; the last one frees the body. An empty record
// is left alone.
int ReleaseMemImage(MEMIMG* image);
// The shared format of a pixel kind, built on first use; null above kind 3.
const ColorFormat* GetPresetColorFormat(int pixelKind, int alphaFlag, int paletteFlag);

// Fills the rectangle (clipped to the image; null = all of it) with a pixel
// value of the image's size.
int FillMemImageRect(MEMIMG* image, const RECT* rect, uint32_t value);
// Copies a rectangle of source (null = all of it) to (x, y) of destination
// through the pixel converter; the converter's result, or -1 when the
// rectangle leaves either image.
int CopyMemImageRect(MEMIMG* destination, const MEMIMG* source, const RECT* rect, int x, int y);
// Sets the transparent colour (a pixel value, or a palette index); a run
// table that was valid is rebuilt for the new colour.
int SetMemImageTransColor(MEMIMG* image, uint32_t transColor);

// Converts (srcX, srcY, width, height) of a raster image (with an optional
// alpha image of at least that extent) to (dstX, dstY) of the memory image and
// refreshes its palette; a whole-image transfer also rebuilds the run table
// and the premultiplied copy. keyToAlpha makes pixels of the transparent
// colour alpha 0 in alpha images. Rectangles that leave either image are
// refused.
void TransferImageToMemImage(const RasterImage* image, const RasterImage* alpha, MEMIMG* memImage, int srcX,
                             int srcY, int width, int height, int dstX, int dstY, int keyToAlpha);
