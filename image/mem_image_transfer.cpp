// Raster images into memory images, and the two accelerations that a
// whole-image transfer prepares for the blitter: the run table and the
// premultiplied copy.
#include <string.h>

#include "image/convert.h"
#include "image/mem_image.h"
#include "image/pixel_access.h"

namespace {

// 0 transparent, 1 opaque, 2 translucent: the class bits of a run byte >> 6.
inline int ClassOfAlpha(uint32_t alpha)
{
    return alpha == 0 ? 0 : alpha == 255 ? 1 : 2;
}

int PixelClass(const MemImgBody* body, const uint8_t* p)
{
    if (body->paletteFlag)
        return *p == body->transColor ? 0 : 1;
    if (body->alphaFlag) {
        uint32_t v = ReadPixelValue(p, 4);
        return ClassOfAlpha(body->pixelKind == MEMIMG_KIND_R5G6B5 ? (v >> 16) & 0xFF : v >> 24);
    }
    return ReadPixelValue(p, body->format->bytesPerPixel) == body->transColor ? 0 : 1;
}

void BuildRunTable(MemImgBody* body)
{
    int bytes = body->format->bytesPerPixel;
    uint8_t* out = body->runTable;
    for (int y = 0; y < body->height; y++) {
        const uint8_t* p = PixelRow(body->pixels, body->pitch, y);
        int x = 0;
        while (x < body->width) {
            int c = PixelClass(body, p);
            int length = 1;
            p += bytes;
            while (x + length < body->width && length < MEMIMG_RUN_MAX && PixelClass(body, p) == c) {
                length++;
                p += bytes;
            }
            *out++ = (uint8_t)(c << 6 | (length - 1));
            x += length;
        }
        *out++ = MEMIMG_RUN_END;
    }
    body->runTableValid = 1;
}

void BuildPremultiplied(MemImgBody* body)
{
    for (int y = 0; y < body->height; y++) {
        const uint8_t* s = PixelRow(body->pixels, body->pitch, y);
        uint8_t* d = PixelRow(body->premulPixels, body->pitch, y);
        for (int x = 0; x < body->width; x++, s += 4, d += 4) {
            uint32_t v = ReadPixelValue(s, 4);
            uint32_t out;
            if (body->pixelKind == MEMIMG_KIND_R5G6B5) {
                uint32_t p = v & 0xFFFF, a = (v >> 16) & 0xFF;
                out = ((((p & 0xF800) * a) & 0xF80000) | (((p & 0x7E0) * a) & 0x7E000) | (((p & 0x1F) * a) & 0x1F00)) >> 8;
                out |= a << 16;
            } else {
                uint32_t a = v >> 24;
                out = v & 0xFF000000;
                for (int shift = 0; shift < 24; shift += 8)
                    out |= ((((v >> shift) & 0xFF) * a) >> 8) << shift;
            }
            WritePixelValue(d, 4, out);
        }
    }
    body->premulValid = 1;
}

// The transparent colour as the 0x00RRGGBB colour that the converter's key
// expects: the body keeps it as a pixel value (or a palette index).
uint32_t KeyColor(const MemImgBody* body)
{
    uint32_t r, g, b;
    if (body->paletteFlag) {
        uint32_t index = body->transColor & 0xFF;
        if (body->pixelKind == MEMIMG_KIND_R5G6B5) {
            uint16_t e;
            memcpy(&e, (const uint8_t*)body->paletteBlock + 2 * index, 2);
            return ((e & 0xF800u) << 8) | ((e & 0x7E0u) << 5) | ((e & 0x1Fu) << 3);
        }
        uint32_t e;
        memcpy(&e, (const uint8_t*)body->paletteBlock + 4 * index, 4);
        return e & 0xFFFFFF;
    }
    SplitColorComponents(body->format, body->transColor, &r, &g, &b, nullptr);
    return r << 16 | g << 8 | b;
}

void ConvertPalette(MemImgBody* body, const ColorFormat* source)
{
    uint8_t* block = (uint8_t*)body->paletteBlock;
    size_t size;
    if (body->pixelKind == MEMIMG_KIND_R5G6B5) {
        for (int i = 0; i < 256; i++) {
            uint32_t e = source->palette[i];
            uint32_t red = (e >> 16) & 0xFF, green = (e >> 8) & 0xFF, blue = e & 0xFF;
            uint16_t v = (uint16_t)((red & 0xF8) << 8 | (green & 0xFC) << 3 | blue >> 3);
            memcpy(block + 2 * i, &v, 2);
        }
        size = 512;
    } else {
        for (int i = 0; i < 256; i++) {
            uint32_t v = source->palette[i] & 0xFFFFFF;
            memcpy(block + 4 * i, &v, 4);
        }
        size = 1024;
    }
    memcpy(body->paletteCopy, block, size);
}

bool Covers(const RasterImage* image, int x, int y, int width, int height)
{
    return x >= 0 && y >= 0 && (int64_t)x + width <= image->width && (int64_t)y + height <= image->height;
}

} // namespace

int SetMemImageTransColor(MEMIMG* image, uint32_t transColor)
{
    if (!IsMemImageValid(image))
        return -1;
    MemImgBody* body = image->body;
    body->transColor = transColor;
    // The table classes pixels by the colour; one built for the old colour
    // would make the blitter skip the wrong pixels.
    if (body->runTableValid && body->runTable && !body->alphaFlag)
        BuildRunTable(body);
    return 0;
}

void TransferImageToMemImage(const RasterImage* image, const RasterImage* alpha, MEMIMG* memImage, int srcX,
                             int srcY, int width, int height, int dstX, int dstY, int keyToAlpha)
{
    if (!image || !image->pixels || !IsMemImageValid(memImage) || width < 1 || height < 1)
        return;
    // The callers clip; a rectangle that leaves either image is refused.
    if (!Covers(image, srcX, srcY, width, height) || dstX < 0 || dstY < 0 ||
        (int64_t)dstX + width > memImage->width || (int64_t)dstY + height > memImage->height)
        return;
    if (alpha && (!alpha->pixels || !Covers(alpha, srcX, srcY, width, height)))
        return;
    MemImgBody* body = memImage->body;
    ConvertRect rect = {srcX, srcY, srcX + width, srcY + height};

    if (body->pixelKind == MEMIMG_KIND_SINGLE8 || body->pixelKind == MEMIMG_KIND_SINGLE16) {
        ConvertImageBlt(memImage->pixels, body->pitch, body->format, image->pixels, image->pitch, &image->format,
                        nullptr, 0, nullptr, dstX, dstY, &rect, 0, 0, 0, 0, 1, 1, 0, 0);
        body->runTableValid = 0;
        body->premulValid = 0;
        return;
    }
    if (body->pixelKind != MEMIMG_KIND_R5G6B5 && body->pixelKind != MEMIMG_KIND_X8R8G8B8)
        return;

    uint32_t key = KeyColor(body);
    int result = ConvertImageBlt(memImage->pixels, body->pitch, body->format, image->pixels, image->pitch,
                                 &image->format, alpha ? alpha->pixels : nullptr, alpha ? alpha->pitch : 0,
                                 alpha ? &alpha->format : nullptr, dstX, dstY, &rect, 0, keyToAlpha, key, 0, 0,
                                 0, 0, 0);
    if (result < 0)
        return;
    if (body->paletteFlag) {
        if (!alpha)
            body->paletteCount = result + 1;
        ConvertPalette(body, &image->format);
    }
    body->runTableValid = 0;
    body->premulValid = 0;

    if (width != memImage->width || height != memImage->height || width != body->width ||
        height != body->height || !body->runTable)
        return;
    if (body->alphaFlag && body->premulPixels)
        BuildPremultiplied(body);
    BuildRunTable(body);
}
