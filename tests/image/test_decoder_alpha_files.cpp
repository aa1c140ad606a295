// The TGA, PNG, JPEG, BGRA and DDS decoders behind the loading front: each
// format found by the loader list, and PNG and TGA pictures with their "_a"
// alpha files on disk.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/image_loader.h"
#include "runtime/file/stream.h"
#include "runtime/memory.h"
#include "tests/image/image_fixtures.h"
#include "tests/support/test_support.h"

TEST(DecodersBehindTheLoader, EveryFormatIsFound)
{
    struct Case {
        const char* file;
        int bitDepth;
        uint32_t compression;
    } cases[] = {
        {"tga_t10_32_footer.tga", 32, 0}, {"png_p4.png", 8, 0}, {"jpeg_progressive.jpg", 24, 0},
        {"bgra16.bgra", 32, 0},           {"dds_dxt5.dds", 8, 5}, {"dds_d3d23.dds", 16, 0},
    };
    int before = GetAllocCount();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::vector<uint8_t> data = ReadFixture(c.file);
        RasterImage image;
        ASSERT_EQ(0, LoadImageToRasterImage(nullptr, data.data(), (int)data.size(), 1, &image, 0));
        EXPECT_EQ(c.bitDepth, image.format.bitDepth);
        EXPECT_EQ(c.compression, image.format.compression);
        // The green key survives every lossless kind; JPEG comes close.
        if (c.file[0] != 'd') {
            uint32_t r, g, b;
            ASSERT_EQ(0, GetRasterImagePixel(&image, 3, 0, &r, &g, &b, nullptr));
            EXPECT_NEAR(0, (int)r, c.file[0] == 'j' ? 8 : 0);
            EXPECT_NEAR(255, (int)g, c.file[0] == 'j' ? 8 : 0);
            EXPECT_NEAR(0, (int)b, c.file[0] == 'j' ? 8 : 0);
        }
        FreeRasterImage(&image);
    }
    EXPECT_EQ(before, GetAllocCount());
}

class AlphaFiles : public testing::Test {
protected:
    void SetUp() override
    {
        SetStreamFunctions(GetDiskStreamFunctionSet());
        dir = MakeTempDir("decoders");
        allocations = GetAllocCount();
    }
    void TearDown() override
    {
        EXPECT_EQ(allocations, GetAllocCount());
        SetStreamFunctions(nullptr);
        RemoveTree(dir);
    }
    std::string Put(const char* name, const char* fixture)
    {
        std::vector<uint8_t> data = ReadFixture(fixture);
        std::string path = dir + "\\" + name;
        EXPECT_TRUE(WriteWholeFile(path, data.data(), data.size()));
        return path;
    }
    std::string dir;
    int allocations = 0;
};

TEST_F(AlphaFiles, PngAndTgaPicturesTakeTheirAlphaFiles)
{
    struct Case {
        const char *colour, *colourFixture, *alpha, *alphaFixture;
        int alphaDepth;
    } cases[] = {
        {"a.png", "png_rgb8.png", "a_a.png", "png_g4.png", 8},
        {"b.tga", "tga_t10_bl.tga", "b_a.tga", "tga_t1_16.tga", 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.colour);
        std::string path = Put(c.colour, c.colourFixture);
        Put(c.alpha, c.alphaFixture);
        RasterImage image, alpha;
        ASSERT_EQ(0, LoadImageWithAlpha(path.c_str(), nullptr, 0, 0, nullptr, 0, 0, &image, &alpha, 0));
        ExpectPictureColours(&image);
        EXPECT_EQ(c.alphaDepth, alpha.format.bitDepth);
        EXPECT_EQ(PictureWidth, alpha.width);
        EXPECT_EQ(PictureHeight, alpha.height);
        FreeRasterImage(&image);
        FreeRasterImage(&alpha);

        // Mirrored, both come back mirrored.
        ASSERT_EQ(0, LoadImageWithAlpha(path.c_str(), nullptr, 0, 0, nullptr, 0, 0, &image, &alpha, 1));
        EXPECT_EQ(PictureColours[Picture[0][3]], PixelColour(&image, PictureWidth - 1 - 3, 0));
        FreeRasterImage(&image);
        FreeRasterImage(&alpha);
    }
}
