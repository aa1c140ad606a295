// Copies between raster images: clipped one to one, and scaled.
#include <gtest/gtest.h>
#include <string.h>

#include <vector>

#include "image/raster_blit.h"
#include "runtime/memory.h"

namespace {

// An X8R8G8B8 image whose pixel (x, y) is 0xFF000000 | (y + 1) << 8 | (x + 1).
RasterImage Numbered(int w, int h)
{
    RasterImage image;
    memset(&image, 0, sizeof image);
    EXPECT_EQ(0, CreateImageXRGB32(w, h, &image));
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            ((uint32_t*)image.pixels)[y * w + x] = 0xFF000000u | (uint32_t)(y + 1) << 8 | (uint32_t)(x + 1);
    return image;
}

RasterImage Blank(int w, int h)
{
    RasterImage image;
    memset(&image, 0, sizeof image);
    EXPECT_EQ(0, CreateImageXRGB32(w, h, &image));
    memset(image.pixels, 0, (size_t)image.pitch * h);
    return image;
}

uint32_t At(const RasterImage& image, int x, int y)
{
    return ((const uint32_t*)((const uint8_t*)image.pixels + y * image.pitch))[x];
}

// The source pixel that landed at each destination pixel (0 where none did).
void ExpectCopy(const RasterImage& dst, int sx, int sy, int dx, int dy, int w, int h)
{
    for (int y = 0; y < dst.height; y++)
        for (int x = 0; x < dst.width; x++) {
            bool inside = x >= dx && x < dx + w && y >= dy && y < dy + h;
            uint32_t expected = inside ? 0xFF000000u | (uint32_t)(y - dy + sy + 1) << 8 | (uint32_t)(x - dx + sx + 1) : 0;
            ASSERT_EQ(expected, At(dst, x, y)) << x << "," << y;
        }
}

} // namespace

TEST(BltRasterImage, ClipsToBothImages)
{
    int before = GetAllocCount();
    struct Case {
        const char* what;
        int sx, sy, w, h, dx, dy;     // arguments
        int csx, csy, cw, ch, cdx, cdy;   // what is copied
    } cases[] = {
        {"inside", 1, 1, 3, 2, 2, 3, 1, 1, 3, 2, 2, 3},
        {"source over the left edge by 3", -3, 0, 5, 2, 1, 0, 0, 0, 2, 2, 4, 0},
        {"source over the top edge", 0, -2, 2, 4, 0, 1, 0, 0, 2, 2, 0, 3},
        {"destination over the left edge", 0, 0, 4, 2, -2, 0, 2, 0, 2, 2, 0, 0},
        {"destination over the bottom right", 0, 0, 6, 6, 5, 4, 0, 0, 3, 2, 5, 4},
        {"source over its right edge", 4, 0, 5, 1, 0, 0, 4, 0, 2, 1, 0, 0},
        {"nothing left", 0, 0, 3, 3, 8, 0, 0, 0, 0, 0, 0, 0},
        {"huge width", 0, 0, 0x7FFFFFFF, 1, 0, 0, 0, 0, 6, 1, 0, 0},
        {"most negative position", INT32_MIN, 0, 4, 1, 0, 0, 0, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RasterImage src = Numbered(6, 4), dst = Blank(8, 6);
        EXPECT_EQ(0, BltRasterImage(c.sx, c.sy, c.w, c.h, c.dx, c.dy, &src, &dst));
        ExpectCopy(dst, c.csx, c.csy, c.cdx, c.cdy, c.cw, c.ch);
        FreeRasterImage(&src);
        FreeRasterImage(&dst);
    }
    EXPECT_EQ(before, GetAllocCount());
}

TEST(BltRasterImage, ConvertsAndRemapsPalettes)
{
    RasterImage pal;
    memset(&pal, 0, sizeof pal);
    SetColorFormatPal8(&pal.format);
    for (int i = 0; i < 256; i++)
        pal.format.palette[i] = (uint32_t)i << 16;   // reds
    RasterImage model = pal;
    ASSERT_EQ(0, CreateImageLike(2, 1, &model, &pal));
    ((uint8_t*)pal.pixels)[0] = 10;
    ((uint8_t*)pal.pixels)[1] = 200;

    RasterImage rgb = Blank(2, 1);
    ASSERT_EQ(0, BltRasterImage(0, 0, 2, 1, 0, 0, &pal, &rgb));
    EXPECT_EQ(0xFF0A0000u, At(rgb, 0, 0));
    EXPECT_EQ(0xFFC80000u, At(rgb, 1, 0));

    // Into another palette: indices are remapped to the nearest colour.
    RasterImage other = model;
    for (int i = 0; i < 256; i++)
        other.format.palette[i] = (uint32_t)(255 - i) << 16;
    RasterImage otherModel = other;
    ASSERT_EQ(0, CreateImageLike(2, 1, &otherModel, &other));
    ASSERT_EQ(0, BltRasterImage(0, 0, 2, 1, 0, 0, &pal, &other));
    EXPECT_EQ(245, ((uint8_t*)other.pixels)[0]);
    EXPECT_EQ(55, ((uint8_t*)other.pixels)[1]);
    FreeRasterImage(&pal);
    FreeRasterImage(&rgb);
    FreeRasterImage(&other);
}

TEST(BltRasterImage, DecompressesACompressedSource)
{
    RasterImage dxt;
    memset(&dxt, 0, sizeof dxt);
    SetColorFormatARGB32(&dxt.format);
    dxt.format.compression = COLOR_COMPRESSION_DXT1;
    dxt.width = dxt.height = 4;
    const uint8_t block[8] = {0xE0, 0x07, 0xE0, 0x07, 0, 0, 0, 0};   // green
    dxt.pixels = AllocTracked(8, "test", 0);
    memcpy(dxt.pixels, block, 8);
    RasterImage dst = Blank(4, 4);
    ASSERT_EQ(0, BltRasterImage(0, 0, 4, 4, 0, 0, &dxt, &dst));
    EXPECT_EQ(0xFF00FF00u, At(dst, 3, 3));
    EXPECT_EQ(0u, dxt.format.compression);
    FreeRasterImage(&dxt);
    FreeRasterImage(&dst);
}

TEST(ScaleBltRasterImage, RefusesRectanglesOutsideTheImages)
{
    RasterImage src = Numbered(4, 4), dst = Blank(8, 8);
    struct Case {
        int s[4], d[4];
    } cases[] = {
        {{1, 0, 1, 4}, {0, 0, 8, 8}},   // x2 equal to x1
        {{0, 2, 4, 1}, {0, 0, 8, 8}},   // y2 above y1
        {{-1, 0, 4, 4}, {0, 0, 8, 8}},
        {{0, 0, 5, 4}, {0, 0, 8, 8}},
        {{4, 0, 5, 4}, {0, 0, 8, 8}},
        {{0, 0, 4, 4}, {0, 0, 9, 8}},
        {{0, 0, 4, 4}, {0, 8, 8, 9}},
        {{0, 0, 4, 4}, {3, 3, 3, 8}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(-1, ScaleBltRasterImage(c.s[0], c.s[1], c.s[2], c.s[3], &src, c.d[0], c.d[1], c.d[2], c.d[3], &dst,
                                          0));
    FreeRasterImage(&src);
    FreeRasterImage(&dst);
}

TEST(ScaleBltRasterImage, EqualSizesCopyLikeBlt)
{
    RasterImage src = Numbered(6, 4), a = Blank(8, 6), b = Blank(8, 6);
    ASSERT_EQ(0, ScaleBltRasterImage(1, 1, 4, 3, &src, 2, 3, 5, 5, &a, 1));
    ASSERT_EQ(0, BltRasterImage(1, 1, 3, 2, 2, 3, &src, &b));
    EXPECT_EQ(0, memcmp(a.pixels, b.pixels, (size_t)a.pitch * a.height));
    FreeRasterImage(&src);
    FreeRasterImage(&a);
    FreeRasterImage(&b);
}

TEST(ScaleBltRasterImage, NearestSampling)
{
    RasterImage src = Numbered(4, 2), dst = Blank(8, 4);
    ASSERT_EQ(0, ScaleBltRasterImage(0, 0, 4, 2, &src, 0, 0, 8, 4, &dst, 0));
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 8; x++)
            ASSERT_EQ(At(src, x / 2, y / 2), At(dst, x, y)) << x << "," << y;
    // Shrinking takes every other pixel.
    RasterImage small = Blank(2, 1);
    ASSERT_EQ(0, ScaleBltRasterImage(0, 0, 4, 1, &src, 0, 0, 2, 1, &small, 0));
    EXPECT_EQ(At(src, 0, 0), At(small, 0, 0));
    EXPECT_EQ(At(src, 2, 0), At(small, 1, 0));
    FreeRasterImage(&src);
    FreeRasterImage(&dst);
    FreeRasterImage(&small);
}

TEST(ScaleBltRasterImage, BilinearWeightsUse65535)
{
    // Two pixels, white and black, stretched to four.
    RasterImage src = Blank(2, 1), dst = Blank(4, 1);
    ((uint32_t*)src.pixels)[0] = 0xFFFFFFFF;
    ((uint32_t*)src.pixels)[1] = 0xFF000000;
    ASSERT_EQ(0, ScaleBltRasterImage(0, 0, 2, 1, &src, 0, 0, 4, 1, &dst, 1));
    // Steps of half a pixel: an exact hit of 255 gives 254, a half 127; the
    // last pixel's right neighbour is itself.
    EXPECT_EQ(0xFFFEFEFEu, At(dst, 0, 0));
    EXPECT_EQ(0xFF7F7F7Fu, At(dst, 1, 0));
    EXPECT_EQ(0xFF000000u, At(dst, 2, 0));
    EXPECT_EQ(0xFF000000u, At(dst, 3, 0));
    FreeRasterImage(&src);
    FreeRasterImage(&dst);
}
