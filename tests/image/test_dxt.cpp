// DXT1 to DXT5 blocks decoded against hand-computed pixels.
#include <gtest/gtest.h>
#include <string.h>

#include <vector>

#include "image/dxt.h"
#include "image/raster_image.h"
#include "runtime/memory.h"

namespace {

// A compressed image of w x h over a copy of the block data.
RasterImage Compressed(int w, int h, uint32_t compression, const std::vector<uint8_t>& blocks)
{
    RasterImage image;
    memset(&image, 0, sizeof image);
    MakeColorFormat(&image.format, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    image.format.compression = compression;
    image.format.bitDepth = compression == COLOR_COMPRESSION_DXT1 ? 4 : 8;
    image.width = w;
    image.height = h;
    image.pixels = AllocTracked(blocks.size(), "test", 0);
    memcpy(image.pixels, blocks.data(), blocks.size());
    return image;
}

std::vector<uint8_t> ColourBlock(uint16_t c0, uint16_t c1, uint32_t indices)
{
    return {(uint8_t)c0, (uint8_t)(c0 >> 8), (uint8_t)c1, (uint8_t)(c1 >> 8),
            (uint8_t)indices, (uint8_t)(indices >> 8), (uint8_t)(indices >> 16), (uint8_t)(indices >> 24)};
}

uint32_t At(const RasterImage& image, int x, int y)
{
    uint32_t v;
    memcpy(&v, (const uint8_t*)image.pixels + y * image.pitch + x * 4, 4);
    return v;
}

// Decodes a single 4 x 4 block and returns its 16 pixels as 0xAARRGGBB.
std::vector<uint32_t> DecodeOne(uint32_t compression, const std::vector<uint8_t>& block)
{
    RasterImage image = Compressed(4, 4, compression, block);
    EXPECT_EQ(0, DecompressDxtRasterImage(&image));
    std::vector<uint32_t> pixels;
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++)
            pixels.push_back(At(image, x, y));
    FreeRasterImage(&image);
    return pixels;
}

} // namespace

TEST(Dxt, Dxt1FourColourBlock)
{
    // Indices 0, 1, 2, 3 in every row.
    std::vector<uint32_t> p = DecodeOne(COLOR_COMPRESSION_DXT1, ColourBlock(0xFFFF, 0x0000, 0xE4E4E4E4));
    for (int y = 0; y < 4; y++) {
        EXPECT_EQ(0xFFFFFFFFu, p[y * 4 + 0]);
        EXPECT_EQ(0xFF000000u, p[y * 4 + 1]);
        EXPECT_EQ(0xFFAAAAAAu, p[y * 4 + 2]);
        EXPECT_EQ(0xFF555555u, p[y * 4 + 3]);
    }
    // Channels expand by x 255 / 31 and / 63: red 16 -> 131, green 32 -> 129.
    p = DecodeOne(COLOR_COMPRESSION_DXT1, ColourBlock((16 << 11) | (32 << 5) | 1, 0, 0));
    EXPECT_EQ(0xFF838108u, p[0]);
}

TEST(Dxt, Dxt1ThreeColourBlockHasTransparentEntryThree)
{
    std::vector<uint32_t> p = DecodeOne(COLOR_COMPRESSION_DXT1, ColourBlock(0x0000, 0xFFFF, 0xE4E4E4E4));
    EXPECT_EQ(0xFF000000u, p[0]);
    EXPECT_EQ(0xFFFFFFFFu, p[1]);
    EXPECT_EQ(0xFF7F7F7Fu, p[2]);
    EXPECT_EQ(0x007F7F7Fu, p[3]);   // the colour stays, alpha 0
    // Equal colours use the three-colour mode too.
    p = DecodeOne(COLOR_COMPRESSION_DXT1, ColourBlock(0x001F, 0x001F, 0xFFFFFFFF));
    EXPECT_EQ(0x000000FFu, p[15]);
}

TEST(Dxt, Dxt3ExplicitAlpha)
{
    // Alpha nibbles: pixel i has nibble i (0 to 15); colour index 0 everywhere.
    std::vector<uint8_t> block = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE};
    std::vector<uint8_t> colour = ColourBlock(0x0000, 0xFFFF, 0);   // no three-colour mode here
    block.insert(block.end(), colour.begin(), colour.end());
    std::vector<uint32_t> p = DecodeOne(COLOR_COMPRESSION_DXT3, block);
    for (int i = 0; i < 16; i++)
        EXPECT_EQ((uint32_t)i * 17 << 24, p[i]) << i;
    EXPECT_EQ(255u, p[15] >> 24);
    EXPECT_EQ(136u, p[8] >> 24);

    // Colour 0 below colour 1 still gives the four-colour table.
    block = std::vector<uint8_t>(8, 0xFF);
    colour = ColourBlock(0x0000, 0xFFFF, 0xE4);
    block.insert(block.end(), colour.begin(), colour.end());
    p = DecodeOne(COLOR_COMPRESSION_DXT3, block);
    EXPECT_EQ(0xFF555555u, p[2]);
    EXPECT_EQ(0xFFAAAAAAu, p[3]);
}

TEST(Dxt, Dxt5InterpolatedAlpha)
{
    // Alpha indices 0..7 for pixels 0..7, then 7 for the rest: 3 bits each.
    uint64_t bits = 0;
    for (int i = 0; i < 16; i++)
        bits |= (uint64_t)(i < 8 ? i : 7) << (3 * i);
    auto block = [&](uint8_t a0, uint8_t a1) {
        std::vector<uint8_t> b = {a0, a1};
        for (int i = 0; i < 6; i++)
            b.push_back((uint8_t)(bits >> (8 * i)));
        std::vector<uint8_t> colour = ColourBlock(0xFFFF, 0xFFFF, 0);
        b.insert(b.end(), colour.begin(), colour.end());
        return b;
    };
    std::vector<uint32_t> p = DecodeOne(COLOR_COMPRESSION_DXT5, block(255, 0));
    const uint32_t eight[8] = {255, 0, 218, 182, 145, 109, 72, 36};
    for (int i = 0; i < 8; i++)
        EXPECT_EQ(eight[i], p[i] >> 24) << i;
    EXPECT_EQ(0x00FFFFFFu, p[0] & 0x00FFFFFF);

    p = DecodeOne(COLOR_COMPRESSION_DXT5, block(0, 255));
    const uint32_t six[8] = {0, 255, 51, 102, 153, 204, 0, 255};
    for (int i = 0; i < 8; i++)
        EXPECT_EQ(six[i], p[i] >> 24) << i;
}

TEST(Dxt, PremultipliedFormatsDivideColourByAlpha)
{
    // DXT2: alpha 0x8 (136) everywhere but pixel 1 (0); colour 0x7BEF (red 15, green 31, blue 15).
    std::vector<uint8_t> block = {0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88};
    block[0] = 0x08;   // pixel 0 alpha 8, pixel 1 alpha 0
    std::vector<uint8_t> colour = ColourBlock(0x7BEF, 0x7BEF, 0);
    block.insert(block.end(), colour.begin(), colour.end());
    std::vector<uint32_t> p = DecodeOne(COLOR_COMPRESSION_DXT2, block);
    // 123 x 255 / 136 = 230, 125 x 255 / 136 = 234.
    EXPECT_EQ(0x88E6EAE6u, p[0]);
    EXPECT_EQ(0u, p[1] >> 24);   // alpha 0: no division

    // DXT4 with a colour above its alpha saturates at 255.
    std::vector<uint8_t> b4 = {10, 10, 0, 0, 0, 0, 0, 0};
    colour = ColourBlock(0xFFFF, 0xFFFF, 0);
    b4.insert(b4.end(), colour.begin(), colour.end());
    p = DecodeOne(COLOR_COMPRESSION_DXT4, b4);
    EXPECT_EQ(0x0AFFFFFFu, p[0]);
}

TEST(Dxt, PartialBlocksAndLayout)
{
    int before = GetAllocCount();
    // 8 x 4: two blocks side by side.
    std::vector<uint8_t> blocks = ColourBlock(0xF800, 0xF800, 0);
    std::vector<uint8_t> second = ColourBlock(0x001F, 0x001F, 0);
    blocks.insert(blocks.end(), second.begin(), second.end());
    RasterImage image = Compressed(8, 4, COLOR_COMPRESSION_DXT1, blocks);
    image.mipCount = 3;
    ASSERT_EQ(0, DecompressDxtRasterImage(&image));
    EXPECT_EQ(32, image.pitch);
    EXPECT_EQ(0u, image.format.compression);
    EXPECT_EQ(0xFF000000u, image.format.alphaMask);
    EXPECT_EQ(3, image.mipCount);
    EXPECT_EQ(0xFFFF0000u, At(image, 3, 3));
    EXPECT_EQ(0xFF0000FFu, At(image, 4, 0));
    // Already plain: nothing to do.
    EXPECT_EQ(0, DecompressDxtRasterImage(&image));
    FreeRasterImage(&image);

    // 6 x 6 is stored as 2 x 2 blocks, as files store it: the blocks at the
    // right and bottom edges are cut to the picture.
    std::vector<uint8_t> four;
    for (uint16_t c : {0xFFFF, 0xF800, 0x07E0, 0x001F}) {
        std::vector<uint8_t> b = ColourBlock(c, c, 0);
        four.insert(four.end(), b.begin(), b.end());
    }
    image = Compressed(6, 6, COLOR_COMPRESSION_DXT1, four);
    uint32_t corner = 0;
    ASSERT_EQ(0, DecodeDxtPixel(&image, 5, 5, &corner));
    EXPECT_EQ(-1, DecodeDxtPixel(&image, 6, 0, &corner));
    ASSERT_EQ(0, DecompressDxtRasterImage(&image));
    EXPECT_EQ(0xFFFFFFFFu, At(image, 3, 3));
    EXPECT_EQ(0xFFFF0000u, At(image, 4, 0));
    EXPECT_EQ(0xFFFF0000u, At(image, 5, 3));
    EXPECT_EQ(0xFF00FF00u, At(image, 0, 5));
    EXPECT_EQ(0xFF0000FFu, At(image, 5, 5));
    EXPECT_EQ(0xFF0000FFu, corner);
    FreeRasterImage(&image);
    EXPECT_EQ(before, GetAllocCount());
}

TEST(Dxt, PixelAccessOnCompressedImages)
{
    std::vector<uint8_t> block = ColourBlock(0xFFFF, 0x0000, 0xE4E4E4E4);
    RasterImage image = Compressed(4, 4, COLOR_COMPRESSION_DXT1, block);
    // GetImagePixel reads the block without changing the image.
    EXPECT_EQ(0xFFAAAAAAu, GetImagePixel(&image, 2, 1));
    EXPECT_EQ(COLOR_COMPRESSION_DXT1, image.format.compression);
    // The checked accessors decompress first.
    uint32_t r, g, b, a;
    ASSERT_EQ(0, GetRasterImagePixel(&image, 3, 0, &r, &g, &b, &a));
    EXPECT_EQ(0x55u, r);
    EXPECT_EQ(255u, a);
    EXPECT_EQ(0u, image.format.compression);
    EXPECT_EQ(16, image.pitch);
    FreeRasterImage(&image);

    image = Compressed(4, 4, COLOR_COMPRESSION_DXT1, block);
    ASSERT_EQ(0, SetRasterImagePixel(&image, 0, 0, 1, 2, 3, 4));
    EXPECT_EQ(0x04010203u, At(image, 0, 0));
    FreeRasterImage(&image);
}
