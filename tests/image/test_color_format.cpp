// Colour formats: derivation from masks, presets, colour to pixel value and
// back.
#include <gtest/gtest.h>
#include <string.h>

#include "image/color_format.h"

namespace {

ColorFormat Cleared()
{
    ColorFormat f;
    memset(&f, 0, sizeof f);
    return f;
}

} // namespace

TEST(ColorFormat, LayoutMatchesTheStoredRecord)
{
    EXPECT_EQ(0u, offsetof(ColorFormat, bitDepth));
    EXPECT_EQ(4u, offsetof(ColorFormat, redWidth));
    EXPECT_EQ(8u, offsetof(ColorFormat, redShift));
    EXPECT_EQ(12u, offsetof(ColorFormat, redMask));
    EXPECT_EQ(28u, offsetof(ColorFormat, unusedMask));
    EXPECT_EQ(32u, offsetof(ColorFormat, palette));
    EXPECT_EQ(1056u, offsetof(ColorFormat, unusedShift));
    EXPECT_EQ(1060u, offsetof(ColorFormat, compression));
}

TEST(ColorFormat, FromMasks)
{
    struct Case {
        int depth;
        uint32_t r, g, b, a;
        int widths[4], shifts[4];
        uint32_t unused;
        int unusedShift, unusedWidth;
    } cases[] = {
        {16, 0xF800, 0x7E0, 0x1F, 0, {5, 6, 5, 0}, {11, 5, 0, 0}, 0, 0, 0},
        {32, 0xFF0000, 0xFF00, 0xFF, 0, {8, 8, 8, 0}, {16, 8, 0, 0}, 0xFF000000, 24, 8},
        {16, 0x7C00, 0x3E0, 0x1F, 0, {5, 5, 5, 0}, {10, 5, 0, 0}, 0x8000, 15, 1},
        {16, 0xF00, 0xF0, 0xF, 0xF000, {4, 4, 4, 4}, {8, 4, 0, 12}, 0, 0, 0},
        {32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, {8, 8, 8, 8}, {16, 8, 0, 24}, 0, 0, 0},
        {24, 0xFF, 0xFF00, 0xFF0000, 0, {8, 8, 8, 0}, {0, 8, 16, 0}, 0, 0, 0},
        // A mask with a gap: the width counts only the run at the lowest bit.
        {8, 0xE0, 0x1C, 0x03, 0, {3, 3, 2, 0}, {5, 2, 0, 0}, 0, 0, 0},
        {16, 0xB000, 0x7E0, 0x1F, 0, {2, 6, 5, 0}, {12, 5, 0, 0}, 0x4800, 11, 1},
    };
    for (const Case& c : cases) {
        ColorFormat f = Cleared();
        f.palette[5] = 0x123456;
        f.compression = 3;
        EXPECT_EQ(0, MakeColorFormat(&f, c.depth, c.r, c.g, c.b, c.a));
        SCOPED_TRACE(testing::Message() << std::hex << c.r << " " << c.g << " " << c.b << " " << c.a);
        EXPECT_EQ(c.depth, f.bitDepth);
        EXPECT_EQ(c.depth / 8, f.bytesPerPixel);
        EXPECT_EQ(c.widths[0], f.redWidth);
        EXPECT_EQ(c.widths[1], f.greenWidth);
        EXPECT_EQ(c.widths[2], f.blueWidth);
        EXPECT_EQ(c.widths[3], f.alphaWidth);
        EXPECT_EQ(c.shifts[0], f.redShift);
        EXPECT_EQ(c.shifts[1], f.greenShift);
        EXPECT_EQ(c.shifts[2], f.blueShift);
        EXPECT_EQ(c.shifts[3], f.alphaShift);
        EXPECT_EQ(c.unused, f.unusedMask);
        EXPECT_EQ(c.unusedShift, f.unusedShift);
        EXPECT_EQ(c.unusedWidth, f.unusedWidth);
        EXPECT_EQ(0u, f.compression);
        EXPECT_EQ(0x123456u, f.palette[5]);
    }
}

TEST(ColorFormat, FixMaskRecomputesOnlyTheUnusedMask)
{
    ColorFormat f = Cleared();
    MakeColorFormat(&f, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    f.unusedMask = 0;
    FixColorFormatMask(&f);
    EXPECT_EQ(0xFF000000u, f.unusedMask);
    EXPECT_EQ(24, f.unusedShift);

    MakeColorFormat(&f, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    f.unusedMask = 0x12;
    FixColorFormatMask(&f);
    EXPECT_EQ(0u, f.unusedMask);
}

TEST(ColorFormat, Presets)
{
    ColorFormat f = Cleared();
    f.palette[7] = 0xABCDEF;
    SetColorFormatPal8(&f);
    EXPECT_EQ(8, f.bitDepth);
    EXPECT_EQ(1, f.bytesPerPixel);
    EXPECT_EQ(0xFF0000u, f.redMask);
    EXPECT_EQ(0xFF000000u, f.unusedMask);
    EXPECT_EQ(0xABCDEFu, f.palette[7]);

    SetColorFormatGrey8(&f);
    EXPECT_EQ(0x070707u, f.palette[7]);
    EXPECT_EQ(0xFFFFFFu, f.palette[255]);

    f.compression = 5;
    SetColorFormatXRGB32(&f);
    EXPECT_EQ(4, f.bytesPerPixel);
    EXPECT_EQ(0u, f.alphaMask);
    EXPECT_EQ(0xFF000000u, f.unusedMask);
    EXPECT_EQ(24, f.unusedShift);
    EXPECT_EQ(8, f.unusedWidth);
    EXPECT_EQ(0u, f.compression);

    SetColorFormatARGB32(&f);
    EXPECT_EQ(0xFF000000u, f.alphaMask);
    EXPECT_EQ(24, f.alphaShift);
    EXPECT_EQ(8, f.alphaWidth);
    EXPECT_EQ(0u, f.unusedMask);

    SetColorFormatRGB24(&f);
    EXPECT_EQ(24, f.bitDepth);
    EXPECT_EQ(3, f.bytesPerPixel);
    EXPECT_EQ(0u, f.alphaMask);
    EXPECT_EQ(0u, f.unusedMask);
}

TEST(ColorFormat, ColorToPixelValue)
{
    ColorFormat xrgb = Cleared(), rgb565 = Cleared(), argb4 = Cleared(), x555 = Cleared();
    SetColorFormatXRGB32(&xrgb);
    MakeColorFormat(&rgb565, 16, 0xF800, 0x7E0, 0x1F, 0);
    MakeColorFormat(&argb4, 16, 0xF00, 0xF0, 0xF, 0xF000);
    MakeColorFormat(&x555, 16, 0x7C00, 0x3E0, 0x1F, 0);
    EXPECT_EQ(0xFF010203u, ColorToPixelValue(&xrgb, 1, 2, 3, 0));
    EXPECT_EQ(0xFFFFu, ColorToPixelValue(&rgb565, 255, 255, 255, 0));
    EXPECT_EQ(0x07E0u, ColorToPixelValue(&rgb565, 0, 255, 0, 0));
    EXPECT_EQ(0x0841u, ColorToPixelValue(&rgb565, 0x0F, 0x0B, 0x0F, 0));   // low bits dropped
    EXPECT_EQ(0x8F12u, ColorToPixelValue(&argb4, 0xF0, 0x1F, 0x2F, 0x80));
    EXPECT_EQ(0x8000u | 0x7C00u, ColorToPixelValue(&x555, 255, 0, 0, 255));   // unused bit set, alpha ignored
    EXPECT_EQ(0xFF0000FFu, ColorToPixelValue(&xrgb, 0x100, 0, 0x1FF, 0));    // only the low 8 bits

    // A channel wider than 8 bits contributes nothing.
    ColorFormat wide = Cleared();
    MakeColorFormat(&wide, 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000);
    EXPECT_EQ(0xC0000000u, ColorToPixelValue(&wide, 255, 255, 255, 255) & 0xC0000000u);
    EXPECT_EQ(0u, ColorToPixelValue(&wide, 255, 255, 255, 255) & 0x3FFFFFFFu);
}

TEST(ColorFormat, NearestPaletteEntry)
{
    ColorFormat pal = Cleared();
    SetColorFormatPal8(&pal);
    for (int i = 0; i < 256; i++)
        pal.palette[i] = 0xFFFFFF;   // far from everything below
    pal.palette[3] = 0x102030;
    pal.palette[7] = 0x102030;       // same distance: the lower index wins
    pal.palette[9] = 0x403020;
    EXPECT_EQ(3u, ColorToPixelValue(&pal, 0x11, 0x21, 0x31, 0));
    EXPECT_EQ(9u, ColorToPixelValue(&pal, 0x40, 0x30, 0x20, 0));
    EXPECT_EQ(3u, ColorToPixelValue(&pal, 0x10, 0x20, 0x2F, 0xFF));   // alpha plays no part

    // Every entry is searched, whether in use or not; nothing closer than
    // 0xFFFFFF gives index 0.
    SetColorFormatGrey8(&pal);
    EXPECT_EQ(200u, ColorToPixelValue(&pal, 200, 200, 200, 0));
    for (int i = 0; i < 256; i++)
        pal.palette[i] = 0;
    EXPECT_EQ(0u, ColorToPixelValue(&pal, 5000, 0, 0, 0));
}

TEST(ColorFormat, SplitComponents)
{
    ColorFormat xrgb = Cleared(), argb = Cleared(), rgb565 = Cleared(), argb1555 = Cleared(), rgba = Cleared();
    SetColorFormatXRGB32(&xrgb);
    SetColorFormatARGB32(&argb);
    MakeColorFormat(&rgb565, 16, 0xF800, 0x7E0, 0x1F, 0);
    MakeColorFormat(&argb1555, 16, 0x7C00, 0x3E0, 0x1F, 0x8000);
    // 8-bit colour channels with a 2-bit alpha: colours unscaled, alpha scaled.
    MakeColorFormat(&rgba, 32, 0x3FC00000, 0x3FC000, 0x3FC0, 0xC0000000);

    struct Case {
        const ColorFormat* f;
        uint32_t value, r, g, b, a;
    } cases[] = {
        {&rgb565, 0xFFFF, 255, 255, 255, 0},
        {&rgb565, 0x8410, 131, 129, 131, 0},   // 16 of 31 and 32 of 63, scaled down
        {&xrgb, 0xFF102030, 0x10, 0x20, 0x30, 0},
        {&argb, 0x80102030, 0x10, 0x20, 0x30, 0x80},
        {&argb1555, 0x8000 | 0x7C00, 255, 0, 0, 255},
        {&argb1555, 0x001F, 0, 0, 255, 0},
        {&rgba, 0x80000000, 0, 0, 0, 170},
    };
    for (const Case& c : cases) {
        uint32_t r = 1, g = 1, b = 1, a = 1;
        EXPECT_EQ(0, SplitColorComponents(c.f, c.value, &r, &g, &b, &a));
        EXPECT_EQ(c.r, r) << std::hex << c.value;
        EXPECT_EQ(c.g, g) << std::hex << c.value;
        EXPECT_EQ(c.b, b) << std::hex << c.value;
        EXPECT_EQ(c.a, a) << std::hex << c.value;
    }
    EXPECT_EQ(0, SplitColorComponents(&rgb565, 0xFFFF, nullptr, nullptr, nullptr, nullptr));
}
