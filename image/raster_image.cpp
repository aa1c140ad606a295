#include "image/raster_image.h"

#include <string.h>

#include "image/dxt.h"
#include "image/pixel_access.h"
#include "runtime/memory.h"

int RasterPitch(int width, int bytesPerPixel)
{
    return (width * bytesPerPixel + 3) & ~3;
}

// pitch x height bytes for the image's pixels; -1 when the size is negative
// or does not fit in 31 bits.
static int AllocPixels(RasterImage* out, const char* name)
{
    int64_t size = (int64_t)out->width * out->format.bytesPerPixel;
    if (out->width < 0 || out->height < 0 || size > 0x7FFFFFFF)
        return -1;
    out->pitch = RasterPitch(out->width, out->format.bytesPerPixel);
    size = (int64_t)out->pitch * out->height;
    if (size > 0x7FFFFFFF)
        return -1;
    out->pixels = AllocTracked((size_t)size, name, __LINE__);
    return out->pixels ? 0 : -1;
}


// The size and a fresh pixel buffer of an image whose format is already set.
static int CreateWithFormat(int width, int height, RasterImage* out, const char* name)
{
    out->width = width;
    out->height = height;
    out->pixels = nullptr;
    out->mipCount = 0;
    return AllocPixels(out, name);
}

// The presets write only the channel fields, so the palette and the unused
// shift and width stay as the caller left them.
int CreateImageLike(int width, int height, const RasterImage* model, RasterImage* out)
{
    out->format = model->format;
    return CreateWithFormat(width, height, out, "CreateImageLike");
}

int CreateImageARGB32(int width, int height, RasterImage* out)
{
    SetColorFormatARGB32(&out->format);
    return CreateWithFormat(width, height, out, "CreateImageARGB32");
}

int CreateImageXRGB32(int width, int height, RasterImage* out)
{
    SetColorFormatXRGB32(&out->format);
    return CreateWithFormat(width, height, out, "CreateImageXRGB32");
}

int FreeRasterImage(RasterImage* image)
{
    if (image->pixels)
        FreeTracked(image->pixels);
    memset(image, 0, sizeof *image);
    return 0;
}

int ClearImageRect(RasterImage* image, int x, int y, int width, int height)
{
    // A width below 1 clears nothing, as a height below 1 does.
    if (width < 1)
        return 0;
    int bytes = image->format.bytesPerPixel;
    for (int j = 0; j < height; j++)
        memset(PixelRow(image->pixels, image->pitch, y + j) + (ptrdiff_t)x * bytes, 0,
               (size_t)width * bytes);
    return 0;
}

int GetRasterImagePixel(RasterImage* image, int x, int y, uint32_t* red, uint32_t* green,
                        uint32_t* blue, uint32_t* alpha)
{
    if (DecompressDxtRasterImage(image) != 0)
        return -1;
    if ((uint32_t)x >= (uint32_t)image->width || (uint32_t)y >= (uint32_t)image->height || !image->pixels)
        return -1;
    int bytes = image->format.bytesPerPixel;
    const uint8_t* p = PixelRow(image->pixels, image->pitch, y) + (ptrdiff_t)x * bytes;
    if (bytes == 1) {
        uint32_t entry = image->format.palette[*p];
        if (red)
            *red = (entry >> 16) & 0xFF;
        if (green)
            *green = (entry >> 8) & 0xFF;
        if (blue)
            *blue = entry & 0xFF;
        if (alpha)
            *alpha = entry >> 24;
        return 0;
    }
    return SplitColorComponents(&image->format, ReadPixelValue(p, bytes), red, green, blue, alpha);
}

int SetRasterImagePixel(RasterImage* image, int x, int y, int red, int green, int blue, int alpha)
{
    if (DecompressDxtRasterImage(image) != 0)
        return -1;
    if ((uint32_t)x >= (uint32_t)image->width || (uint32_t)y >= (uint32_t)image->height || !image->pixels)
        return -1;
    int bytes = image->format.bytesPerPixel;
    uint8_t* p = PixelRow(image->pixels, image->pitch, y) + (ptrdiff_t)x * bytes;
    WritePixelValue(p, bytes, ColorToPixelValue(&image->format, red, green, blue, alpha));
    return 0;
}

uint32_t GetImagePixel(const RasterImage* image, int x, int y)
{
    if (!image->pixels)
        return 0;
    const ColorFormat* f = &image->format;
    if (f->compression != COLOR_COMPRESSION_NONE) {
        // Block data is no pixel array: decode the one pixel instead.
        uint32_t argb = 0;
        DecodeDxtPixel(image, x, y, &argb);
        return argb;
    }
    int bytes = f->bytesPerPixel;
    const uint8_t* p = PixelRow(image->pixels, image->pitch, y) + (ptrdiff_t)x * bytes;
    if (bytes == 1)
        return f->palette[*p];
    if (bytes < 1 || bytes > 4)
        return 0;
    uint32_t v = ReadPixelValue(p, bytes);
    // Each raw field lands in the top bits of its byte.
    uint32_t r = (v & f->redMask) >> f->redShift;
    uint32_t g = (v & f->greenMask) >> f->greenShift;
    uint32_t b = (v & f->blueMask) >> f->blueShift;
    uint32_t result = 0;
    if (f->blueWidth && f->blueWidth <= 8)
        result |= b << (8 - f->blueWidth);
    if (f->greenWidth && f->greenWidth <= 8)
        result |= g << (16 - f->greenWidth);
    if (f->redWidth && f->redWidth <= 8)
        result |= r << (24 - f->redWidth);
    if (f->alphaWidth && f->alphaWidth <= 8)
        result |= ((v & f->alphaMask) >> f->alphaShift) << (32 - f->alphaWidth);
    return result;
}

static void SwapPixels(uint8_t* a, uint8_t* b, int bytes)
{
    uint8_t t[4];
    memcpy(t, a, bytes);
    memcpy(a, b, bytes);
    memcpy(b, t, bytes);
}

int FlipImageHorizontal(RasterImage* image)
{
    if (image->width <= 0 || image->height <= 0)
        return -1;
    // Block data has no pixel rows to mirror; callers decompress first.
    if (image->format.compression != COLOR_COMPRESSION_NONE)
        return -1;
    int bytes = image->format.bytesPerPixel;
    if (bytes == 0 || bytes > 4 || !image->pixels)
        return 0;
    int w = image->width;
    for (int y = 0; y < image->height; y++) {
        uint8_t* row = PixelRow(image->pixels, image->pitch, y);
        for (int i = 0; i < w / 2; i++)
            SwapPixels(row + (ptrdiff_t)i * bytes, row + (ptrdiff_t)(w - 1 - i) * bytes, bytes);
    }
    return 0;
}

int RotateImage180(RasterImage* image)
{
    if (image->format.compression != COLOR_COMPRESSION_NONE)
        return -1;
    int bytes = image->format.bytesPerPixel;
    if (bytes == 0 || bytes > 4 || !image->pixels)
        return 0;
    int w = image->width, h = image->height;
    for (int i = 0; i < h / 2; i++) {
        uint8_t* a = PixelRow(image->pixels, image->pitch, i);
        uint8_t* b = PixelRow(image->pixels, image->pitch, h - 1 - i);
        for (int j = 0; j < w; j++)
            SwapPixels(a + (ptrdiff_t)j * bytes, b + (ptrdiff_t)(w - 1 - j) * bytes, bytes);
    }
    if (h % 2 == 1) {
        uint8_t* row = PixelRow(image->pixels, image->pitch, h / 2);
        for (int j = 0; j < w / 2; j++)
            SwapPixels(row + (ptrdiff_t)j * bytes, row + (ptrdiff_t)(w - 1 - j) * bytes, bytes);
    }
    return 0;
}

// Averages n pixel values channel by channel (n is 1, 2 or 4); bits outside
// the channels come out 0.
static uint32_t AveragePixels(const ColorFormat* f, const uint32_t* v, int n, int shift)
{
    const uint32_t masks[4] = {f->redMask, f->greenMask, f->blueMask, f->alphaMask};
    const uint8_t shifts[4] = {f->redShift, f->greenShift, f->blueShift, f->alphaShift};
    uint32_t result = 0;
    for (int c = 0; c < 4; c++) {
        if (!masks[c])
            continue;
        uint32_t sum = 0;
        for (int i = 0; i < n; i++)
            sum += (v[i] & masks[c]) >> shifts[c];
        result |= ((sum >> shift) << shifts[c]) & masks[c];
    }
    return result;
}

int ShrinkImageHalf(const ColorFormat* format, void* destination, int destinationPitch,
                    const void* source, int sourcePitch, int destinationX, int destinationY,
                    int sourceX, int sourceY, int sourceWidth, int sourceHeight)
{
    if ((sourceWidth != 1 && sourceWidth % 2) || (sourceHeight != 1 && sourceHeight % 2))
        return -1;
    // An empty rectangle is even: nothing to halve.
    if (sourceWidth < 1 || sourceHeight < 1)
        return 0;
    int bytes;
    if (format->bitDepth == 16)
        bytes = 2;
    else if (format->bitDepth == 32)
        bytes = 4;
    else
        return 0;

    // Step between the pixels averaged together, and how many there are.
    int stepX = sourceWidth > 1 ? 1 : 0, stepY = sourceHeight > 1 ? 1 : 0;
    int outW = sourceWidth > 1 ? sourceWidth / 2 : 1;
    int outH = sourceHeight > 1 ? sourceHeight / 2 : 1;
    int count = (1 + stepX) * (1 + stepY);
    int shift = count == 4 ? 2 : count == 2 ? 1 : 0;
    for (int j = 0; j < outH; j++) {
        const uint8_t* s0 = PixelRow(source, sourcePitch, sourceY + j * (1 + stepY));
        const uint8_t* s1 = s0 + (ptrdiff_t)sourcePitch * stepY;
        uint8_t* d = PixelRow(destination, destinationPitch, destinationY + j) + (ptrdiff_t)destinationX * bytes;
        for (int i = 0; i < outW; i++) {
            ptrdiff_t x0 = (ptrdiff_t)(sourceX + i * (1 + stepX)) * bytes;
            ptrdiff_t x1 = x0 + (ptrdiff_t)stepX * bytes;
            uint32_t v[4];
            int n = 0;
            v[n++] = ReadPixelValue(s0 + x0, bytes);
            if (stepX)
                v[n++] = ReadPixelValue(s0 + x1, bytes);
            if (stepY) {
                v[n++] = ReadPixelValue(s1 + x0, bytes);
                if (stepX)
                    v[n++] = ReadPixelValue(s1 + x1, bytes);
            }
            uint32_t out = n == 1 ? v[0] : AveragePixels(format, v, n, shift);
            WritePixelValue(d + (ptrdiff_t)i * bytes, bytes, out);
        }
    }
    return 0;
}
