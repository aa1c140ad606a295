#include "image/color_format.h"

// Shift and width of the run of set bits that starts at the lowest one.
static void MaskShiftWidth(uint32_t mask, uint8_t* shift, uint8_t* width)
{
    *shift = 0;
    *width = 0;
    if (mask == 0)
        return;
    int s = 0;
    while (!(mask & (1u << s)))
        s++;
    int w = 0;
    while (s + w < 32 && (mask & (1u << (s + w))))
        w++;
    *shift = (uint8_t)s;
    *width = (uint8_t)w;
}

static uint32_t DepthBits(int depth)
{
    return depth >= 32 ? 0xFFFFFFFFu : (1u << depth) - 1;
}

int MakeColorFormat(ColorFormat* format, int bitDepth, uint32_t redMask, uint32_t greenMask,
                    uint32_t blueMask, uint32_t alphaMask)
{
    format->bitDepth = (uint16_t)bitDepth;
    format->bytesPerPixel = (uint16_t)(bitDepth / 8);
    format->redMask = redMask;
    format->greenMask = greenMask;
    format->blueMask = blueMask;
    format->alphaMask = alphaMask;
    MaskShiftWidth(redMask, &format->redShift, &format->redWidth);
    MaskShiftWidth(greenMask, &format->greenShift, &format->greenWidth);
    MaskShiftWidth(blueMask, &format->blueShift, &format->blueWidth);
    MaskShiftWidth(alphaMask, &format->alphaShift, &format->alphaWidth);
    format->unusedMask = DepthBits(bitDepth) & ~(redMask | greenMask | blueMask | alphaMask);
    MaskShiftWidth(format->unusedMask, &format->unusedShift, &format->unusedWidth);
    format->compression = COLOR_COMPRESSION_NONE;
    return 0;
}

int FixColorFormatMask(ColorFormat* format)
{
    int widths = format->redWidth + format->greenWidth + format->blueWidth + format->alphaWidth;
    if (widths == format->bitDepth)
        format->unusedMask = 0;
    else
        format->unusedMask = DepthBits(format->bitDepth) &
                             ~(format->redMask | format->greenMask | format->blueMask | format->alphaMask);
    return 0;
}

// The R8G8B8 channel layout that every preset shares.
static void SetRgb888(ColorFormat* f, int depth, int bytes)
{
    f->bitDepth = (uint16_t)depth;
    f->bytesPerPixel = (uint16_t)bytes;
    f->redWidth = f->greenWidth = f->blueWidth = 8;
    f->redShift = 16;
    f->greenShift = 8;
    f->blueShift = 0;
    f->redMask = 0xFF0000;
    f->greenMask = 0xFF00;
    f->blueMask = 0xFF;
    f->alphaWidth = 0;
    f->alphaShift = 0;
    f->alphaMask = 0;
    f->compression = COLOR_COMPRESSION_NONE;
}

int SetColorFormatPal8(ColorFormat* format)
{
    SetRgb888(format, 8, 1);
    format->unusedMask = 0xFF000000;
    return 0;
}

int SetColorFormatGrey8(ColorFormat* format)
{
    SetRgb888(format, 8, 1);
    format->unusedMask = 0xFF000000;
    for (uint32_t i = 0; i < 256; i++)
        format->palette[i] = i | i << 8 | i << 16;
    return 0;
}

int SetColorFormatXRGB32(ColorFormat* format)
{
    SetRgb888(format, 32, 4);
    format->unusedMask = 0xFF000000;
    format->unusedShift = 24;
    format->unusedWidth = 8;
    return 0;
}

int SetColorFormatARGB32(ColorFormat* format)
{
    SetRgb888(format, 32, 4);
    format->alphaWidth = 8;
    format->alphaShift = 24;
    format->alphaMask = 0xFF000000;
    format->unusedMask = 0;
    return 0;
}

int SetColorFormatRGB24(ColorFormat* format)
{
    SetRgb888(format, 24, 3);
    format->unusedMask = 0;
    return 0;
}

// An 8-bit channel value cut to a channel of the given width, placed at its
// shift; channels wider than 8 bits take nothing.
static uint32_t PackChannel(int value, int width, int shift)
{
    if (width == 0 || width > 8)
        return 0;
    return ((uint32_t)(value & 0xFF) >> (8 - width)) << shift;
}

uint32_t ColorToPixelValue(const ColorFormat* format, int red, int green, int blue, int alpha)
{
    if (format->bytesPerPixel == 1) {
        uint32_t best = 0xFFFFFF;
        uint32_t bestIndex = 0;
        for (uint32_t i = 0; i < 256; i++) {
            uint32_t entry = format->palette[i];
            // Unsigned, so that out-of-range arguments wrap instead of overflowing.
            uint32_t db = (entry & 0xFF) - (uint32_t)blue;
            uint32_t dg = ((entry >> 8) & 0xFF) - (uint32_t)green;
            uint32_t dr = ((entry >> 16) & 0xFF) - (uint32_t)red;
            uint32_t distance = db * db + dg * dg + dr * dr;
            if (distance < best) {
                best = distance;
                bestIndex = i;
            }
        }
        return bestIndex;
    }
    uint32_t value = format->unusedMask;
    value += PackChannel(red, format->redWidth, format->redShift);
    value += PackChannel(green, format->greenWidth, format->greenShift);
    value += PackChannel(blue, format->blueWidth, format->blueShift);
    if (format->alphaWidth != 0)
        value += PackChannel(alpha, format->alphaWidth, format->alphaShift);
    return value;
}

// A raw field scaled to 0..255.
static uint32_t ScaleField(uint32_t raw, int width)
{
    if (width == 0)
        return 0;
    uint64_t top = width >= 32 ? 0xFFFFFFFFull : (1ull << width) - 1;
    return (uint32_t)((uint64_t)raw * 255 / top);
}

int SplitColorComponents(const ColorFormat* format, uint32_t value, uint32_t* red, uint32_t* green,
                         uint32_t* blue, uint32_t* alpha)
{
    uint32_t r = (value & format->redMask) >> format->redShift;
    uint32_t g = (value & format->greenMask) >> format->greenShift;
    uint32_t b = (value & format->blueMask) >> format->blueShift;
    uint32_t a = (value & format->alphaMask) >> format->alphaShift;
    if (format->redWidth == 8 && format->greenWidth == 8 && format->blueWidth == 8) {
        if (format->alphaWidth == 0)
            a = 0;
        else if (format->alphaWidth != 8)
            a = ScaleField(a, format->alphaWidth);
    } else {
        r = ScaleField(r, format->redWidth);
        g = ScaleField(g, format->greenWidth);
        b = ScaleField(b, format->blueWidth);
        a = ScaleField(a, format->alphaWidth);
    }
    if (red)
        *red = r;
    if (green)
        *green = g;
    if (blue)
        *blue = b;
    if (alpha)
        *alpha = a;
    return 0;
}
