// Raster images: creation and release, pixel access, mirror, turn, halving,
// and the raster-handle table.
#include <gtest/gtest.h>
#include <string.h>

#include "image/raster_handles.h"
#include "image/raster_image.h"
#include "runtime/memory.h"

namespace {

RasterImage Cleared()
{
    RasterImage image;
    memset(&image, 0, sizeof image);
    return image;
}

// A w x h image of the given format whose pixel (x, y) holds 16 * y + x + 1
// (in every byte of the pixel's value that the size holds).
RasterImage Numbered(int w, int h, int depth, uint32_t r, uint32_t g, uint32_t b, uint32_t a)
{
    RasterImage model = Cleared();
    MakeColorFormat(&model.format, depth, r, g, b, a);
    RasterImage image = Cleared();
    EXPECT_EQ(0, CreateImageLike(w, h, &model, &image));
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint8_t* p = (uint8_t*)image.pixels + y * image.pitch + x * image.format.bytesPerPixel;
            for (int k = 0; k < image.format.bytesPerPixel; k++)
                p[k] = (uint8_t)(16 * y + x + 1 + 100 * k);
        }
    return image;
}

uint32_t Pixel(const RasterImage& image, int x, int y)
{
    const uint8_t* p = (const uint8_t*)image.pixels + y * image.pitch + x * image.format.bytesPerPixel;
    uint32_t v = 0;
    memcpy(&v, p, image.format.bytesPerPixel);
    return v;
}

} // namespace

TEST(RasterImage, CreateComputesARowPitchRoundedUpToFourBytes)
{
    int before = GetAllocCount();
    RasterImage model = Cleared();
    SetColorFormatRGB24(&model.format);
    model.format.palette[1] = 0x42;
    RasterImage image = Cleared();
    ASSERT_EQ(0, CreateImageLike(5, 3, &model, &image));
    EXPECT_EQ(16, image.pitch);   // 15 bytes rounded up
    EXPECT_EQ(5, image.width);
    EXPECT_EQ(3, image.height);
    EXPECT_EQ(0x42u, image.format.palette[1]);
    EXPECT_EQ(0, image.mipCount);
    EXPECT_NE(nullptr, image.pixels);
    EXPECT_EQ(before + 1, GetAllocCount());
    FreeRasterImage(&image);
    EXPECT_EQ(nullptr, image.pixels);
    EXPECT_EQ(0, image.width);
    EXPECT_EQ(before, GetAllocCount());

    ASSERT_EQ(0, CreateImageARGB32(3, 2, &image));
    EXPECT_EQ(12, image.pitch);
    EXPECT_EQ(0xFF000000u, image.format.alphaMask);
    FreeRasterImage(&image);
    ASSERT_EQ(0, CreateImageXRGB32(3, 2, &image));
    EXPECT_EQ(0xFF000000u, image.format.unusedMask);
    EXPECT_EQ(0u, image.format.alphaMask);
    FreeRasterImage(&image);

    // Sizes whose product does not fit are refused without pixels.
    EXPECT_EQ(-1, CreateImageARGB32(0x10000, 0x10000, &image));
    EXPECT_EQ(nullptr, image.pixels);
    EXPECT_EQ(-1, CreateImageLike(-1, 4, &model, &image));
    EXPECT_EQ(nullptr, image.pixels);
    EXPECT_EQ(before, GetAllocCount());
    EXPECT_EQ(0, FreeRasterImage(&image));
}

TEST(RasterImage, ClearRectZeroesOnlyTheRectangle)
{
    RasterImage image = Numbered(4, 3, 16, 0xF800, 0x7E0, 0x1F, 0);
    ClearImageRect(&image, 1, 1, 2, 2);
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 4; x++) {
            bool inside = x >= 1 && x < 3 && y >= 1;
            EXPECT_EQ(inside, Pixel(image, x, y) == 0) << x << "," << y;
        }
    ClearImageRect(&image, 0, 0, 4, 0);   // no rows
    EXPECT_NE(0u, Pixel(image, 0, 0));
    EXPECT_EQ(0, ClearImageRect(&image, 0, 0, -1, 2));   // no columns
    EXPECT_NE(0u, Pixel(image, 0, 0));
    FreeRasterImage(&image);
}

TEST(RasterImage, PixelAccessByFormat)
{
    RasterImage pal = Numbered(3, 2, 8, 0xFF0000, 0xFF00, 0xFF, 0);
    SetColorFormatPal8(&pal.format);
    for (int i = 0; i < 256; i++)
        pal.format.palette[i] = 0x55000000u | (uint32_t)i << 16 | 0x80u << 8 | (255u - i);
    uint32_t r, g, b, a;
    ASSERT_EQ(0, GetRasterImagePixel(&pal, 2, 1, &r, &g, &b, &a));
    EXPECT_EQ(19u, r);   // index 16 + 2 + 1
    EXPECT_EQ(0x80u, g);
    EXPECT_EQ(236u, b);
    EXPECT_EQ(0x55u, a);   // the reserved byte
    ASSERT_EQ(0, SetRasterImagePixel(&pal, 0, 0, 40, 0x80, 215, 0));
    EXPECT_EQ(40u, Pixel(pal, 0, 0));   // nearest entry
    FreeRasterImage(&pal);

    RasterImage rgb = Numbered(3, 2, 24, 0xFF0000, 0xFF00, 0xFF, 0);
    ASSERT_EQ(0, SetRasterImagePixel(&rgb, 1, 1, 0x11, 0x22, 0x33, 0));
    EXPECT_EQ(0x112233u, Pixel(rgb, 1, 1));
    ASSERT_EQ(0, GetRasterImagePixel(&rgb, 1, 1, &r, &g, &b, nullptr));
    EXPECT_EQ(0x11u, r);
    EXPECT_EQ(0x33u, b);
    EXPECT_EQ(0x02u, Pixel(rgb, 1, 0) & 0xFF);   // neighbours untouched
    EXPECT_EQ(0x13u, Pixel(rgb, 2, 1) & 0xFF);
    FreeRasterImage(&rgb);

    RasterImage r565 = Numbered(2, 2, 16, 0xF800, 0x7E0, 0x1F, 0);
    ASSERT_EQ(0, SetRasterImagePixel(&r565, 1, 0, 255, 0, 255, 0));
    EXPECT_EQ(0xF81Fu, Pixel(r565, 1, 0));
    ASSERT_EQ(0, GetRasterImagePixel(&r565, 1, 0, &r, &g, &b, &a));
    EXPECT_EQ(255u, r);
    EXPECT_EQ(0u, g);
    // GetImagePixel places each 5- or 6-bit field at the top of its byte.
    EXPECT_EQ(0x00F800F8u, GetImagePixel(&r565, 1, 0));
    FreeRasterImage(&r565);

    RasterImage argb = Cleared();
    ASSERT_EQ(0, CreateImageARGB32(2, 2, &argb));
    ASSERT_EQ(0, SetRasterImagePixel(&argb, 1, 1, 1, 2, 3, 4));
    EXPECT_EQ(0x04010203u, Pixel(argb, 1, 1));
    EXPECT_EQ(0x04010203u, GetImagePixel(&argb, 1, 1));
    ASSERT_EQ(0, GetRasterImagePixel(&argb, 1, 1, &r, &g, &b, &a));
    EXPECT_EQ(4u, a);

    // Outside the image, negative coordinates included.
    struct Point {
        int x, y;
    } outside[] = {{2, 0}, {0, 2}, {-1, 0}, {0, -1}, {0x7FFFFFFF, 0}};
    for (const Point& p : outside) {
        EXPECT_EQ(-1, GetRasterImagePixel(&argb, p.x, p.y, &r, &g, &b, &a));
        EXPECT_EQ(-1, SetRasterImagePixel(&argb, p.x, p.y, 0, 0, 0, 0));
    }
    FreeRasterImage(&argb);
    RasterImage empty = Cleared();
    EXPECT_EQ(0u, GetImagePixel(&empty, 0, 0));
}

TEST(RasterImage, FlipAndTurn)
{
    const int depths[] = {8, 16, 24, 32};
    for (int depth : depths) {
        for (int w : {1, 4, 5}) {
            RasterImage image = Numbered(w, 3, depth, 0, 0, 0, 0);
            RasterImage original = Numbered(w, 3, depth, 0, 0, 0, 0);
            ASSERT_EQ(0, FlipImageHorizontal(&image));
            for (int y = 0; y < 3; y++)
                for (int x = 0; x < w; x++)
                    EXPECT_EQ(Pixel(original, w - 1 - x, y), Pixel(image, x, y)) << depth << " " << w;
            FreeRasterImage(&image);

            image = Numbered(w, 3, depth, 0, 0, 0, 0);
            ASSERT_EQ(0, RotateImage180(&image));
            for (int y = 0; y < 3; y++)
                for (int x = 0; x < w; x++)
                    EXPECT_EQ(Pixel(original, w - 1 - x, 2 - y), Pixel(image, x, y)) << depth << " " << w;
            FreeRasterImage(&image);
            image = Numbered(w, 4, depth, 0, 0, 0, 0);
            RasterImage original4 = Numbered(w, 4, depth, 0, 0, 0, 0);
            ASSERT_EQ(0, RotateImage180(&image));
            for (int y = 0; y < 4; y++)
                for (int x = 0; x < w; x++)
                    EXPECT_EQ(Pixel(original4, w - 1 - x, 3 - y), Pixel(image, x, y));
            FreeRasterImage(&image);
            FreeRasterImage(&original4);
            FreeRasterImage(&original);
        }
    }

    RasterImage empty = Cleared();
    EXPECT_EQ(-1, FlipImageHorizontal(&empty));
    // Compressed data has no rows to mirror or turn.
    RasterImage dxt = Numbered(4, 4, 32, 0, 0, 0, 0);
    dxt.format.compression = COLOR_COMPRESSION_DXT1;
    EXPECT_EQ(-1, FlipImageHorizontal(&dxt));
    EXPECT_EQ(-1, RotateImage180(&dxt));
    FreeRasterImage(&dxt);
}

TEST(RasterImage, ShrinkHalfAveragesEachChannel)
{
    ColorFormat argb;
    memset(&argb, 0, sizeof argb);
    SetColorFormatARGB32(&argb);
    // 4 x 2 source; the 2 x 2 blocks average channel by channel, truncating.
    uint32_t src[8] = {
        0xFF000000, 0x01030507, 0x10203040, 0x10203040,
        0x00000000, 0x01030507, 0x10203040, 0x10203043,
    };
    uint32_t dst[3] = {0xDEADBEEF, 0xDEADBEEF, 0xDEADBEEF};
    ASSERT_EQ(0, ShrinkImageHalf(&argb, dst, 12, src, 16, 0, 0, 0, 0, 4, 2));
    EXPECT_EQ(0x40010203u, dst[0]);   // alpha 257 / 4, red 6 / 4, green 10 / 4, blue 14 / 4
    EXPECT_EQ(0x10203040u, dst[1]);   // (4 x 0x40 + 3) >> 2
    EXPECT_EQ(0xDEADBEEFu, dst[2]);

    // One row: horizontal pairs; one column: vertical pairs; 1 x 1 copies.
    uint32_t row[2] = {0x00000010, 0x00000021};
    uint32_t out = 0;
    ASSERT_EQ(0, ShrinkImageHalf(&argb, &out, 4, row, 8, 0, 0, 0, 0, 2, 1));
    EXPECT_EQ(0x18u, out);
    ASSERT_EQ(0, ShrinkImageHalf(&argb, &out, 4, row, 4, 0, 0, 0, 0, 1, 2));
    EXPECT_EQ(0x18u, out);
    ColorFormat xrgb;
    memset(&xrgb, 0, sizeof xrgb);
    SetColorFormatXRGB32(&xrgb);
    uint32_t one = 0xFF123456;
    ASSERT_EQ(0, ShrinkImageHalf(&xrgb, &out, 4, &one, 4, 0, 0, 0, 0, 1, 1));
    EXPECT_EQ(0xFF123456u, out);
    // The averaged result carries no unused bits.
    uint32_t quad[4] = {0xFF000004, 0xFF000004, 0xFF000004, 0xFF000004};
    ASSERT_EQ(0, ShrinkImageHalf(&xrgb, &out, 4, quad, 8, 0, 0, 0, 0, 2, 2));
    EXPECT_EQ(0x4u, out);

    // 16-bit R5G6B5 with destination and source offsets.
    ColorFormat r565;
    memset(&r565, 0, sizeof r565);
    MakeColorFormat(&r565, 16, 0xF800, 0x7E0, 0x1F, 0);
    uint16_t s16[3 * 4] = {
        0, 0, 0,
        0, 0xF800, 0x07E0,
        0, 0x001F, 0x001F,
        0, 0, 0,
    };
    uint16_t d16[2] = {0x1234, 0x1234};
    ASSERT_EQ(0, ShrinkImageHalf(&r565, d16, 4, s16, 6, 1, 0, 1, 1, 2, 2));
    EXPECT_EQ(0x1234, d16[0]);
    EXPECT_EQ((7 << 11) | (15 << 5) | 15, d16[1]);   // red 31 / 4, green 63 / 4, blue 62 / 4

    // Odd sizes other than 1 are refused; other depths write nothing.
    EXPECT_EQ(-1, ShrinkImageHalf(&argb, dst, 12, src, 16, 0, 0, 0, 0, 3, 2));
    EXPECT_EQ(-1, ShrinkImageHalf(&argb, dst, 12, src, 16, 0, 0, 0, 0, 2, 3));
    // An empty rectangle is even and has nothing to halve.
    dst[0] = 0xDEADBEEF;
    EXPECT_EQ(0, ShrinkImageHalf(&argb, dst, 12, src, 16, 0, 0, 0, 0, 0, 2));
    EXPECT_EQ(0, ShrinkImageHalf(&argb, dst, 12, src, 16, 0, 0, 0, 0, 2, 0));
    EXPECT_EQ(0xDEADBEEFu, dst[0]);
    ColorFormat rgb24;
    memset(&rgb24, 0, sizeof rgb24);
    SetColorFormatRGB24(&rgb24);
    out = 0x5A5A5A5A;
    EXPECT_EQ(0, ShrinkImageHalf(&rgb24, &out, 4, src, 16, 0, 0, 0, 0, 2, 2));
    EXPECT_EQ(0x5A5A5A5Au, out);
}

TEST(RasterHandles, DeletionValidatesAndLowersTheHighMark)
{
    int before = GetAllocCount();
    EXPECT_EQ(0, DeleteAllRasterHandles());
    EXPECT_EQ(-1, DeleteRasterHandle(-1));
    EXPECT_EQ(-1, DeleteRasterHandle(0x08000000));   // a graph handle
    EXPECT_EQ(-1, DeleteRasterHandle(0x58000000 | 5));   // empty slot
    EXPECT_EQ(-1, DeleteRasterHandle(0x58000000 | 9000));

    // Nothing in the library makes raster handles: take records through the
    // table and give each an image.
    auto place = []() {
        int handle;
        RasterHandle* record =
            (RasterHandle*)AllocHandleRecord(&RasterHandles, sizeof(RasterHandle), "test", 0, &handle);
        CreateImageXRGB32(2, 2, &record->image);
        return handle;
    };
    int h[8];
    for (int& handle : h)
        handle = place();
    for (int slot : { 1, 2, 4, 5, 6 })
        EXPECT_EQ(0, DeleteRasterHandle(h[slot]));
    int h0 = h[0], h3 = h[3], h7 = h[7];
    EXPECT_EQ(8, RasterHandles.endSlot);
    EXPECT_EQ(-1, DeleteRasterHandle(h3 ^ 0x00010000));   // wrong check value
    EXPECT_EQ(0, DeleteRasterHandle(h7));
    EXPECT_EQ(4, RasterHandles.endSlot);
    EXPECT_EQ(-1, DeleteRasterHandle(h7));
    EXPECT_EQ(0, DeleteRasterHandle(h0));
    EXPECT_EQ(4, RasterHandles.endSlot);   // not the top slot
    EXPECT_EQ(1, RasterHandles.count);
    EXPECT_EQ(0, DeleteRasterHandle(h3));
    EXPECT_EQ(0, RasterHandles.endSlot);
    EXPECT_EQ(0, RasterHandles.count);

    place();
    place();
    place();
    EXPECT_EQ(0, EndRasterHandles());
    EXPECT_EQ(0, RasterHandles.count);
    EXPECT_EQ(0, RasterHandles.endSlot);
    EXPECT_EQ(before, GetAllocCount());
}
