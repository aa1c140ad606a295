#include "tests/image/image_fixtures.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "runtime/file/stream.h"
#include "tests/support/test_files.h"

std::string FixturePath(const char* name)
{
    return std::string(TestArg(1)) + "/" + name;
}

std::vector<uint8_t> ReadFixture(const char* name)
{
    std::vector<uint8_t> data;
    EXPECT_TRUE(ReadWholeFile(FixturePath(name), &data)) << FixturePath(name);
    return data;
}

int DecodeBlock(const std::vector<uint8_t>& data, RasterImage* image, ImageDecoder decoder)
{
    StreamDescriptor stream;
    stream.ops = *GetMemoryStreamFunctions();
    stream.handle = OpenMemoryStream(data.empty() ? "" : (const void*)data.data(), (int)data.size());
    memset(image, 0, sizeof *image);
    int result = decoder(&stream, image);
    stream.ops.close(stream.handle);
    return result;
}

int64_t PixelColour(RasterImage* image, int x, int y)
{
    uint32_t r, g, b;
    if (GetRasterImagePixel(image, x, y, &r, &g, &b, nullptr) != 0)
        return -1;
    return r << 16 | g << 8 | b;
}

void ExpectPictureColours(RasterImage* image, uint32_t mask, int tolerance)
{
    ASSERT_EQ(PictureWidth, image->width);
    ASSERT_EQ(PictureHeight, image->height);
    for (int y = 0; y < PictureHeight; y++)
        for (int x = 0; x < PictureWidth; x++) {
            int64_t got = PixelColour(image, x, y);
            ASSERT_NE(-1, got) << x << "," << y;
            uint32_t want = PictureColours[Picture[y][x]] & mask;
            for (int shift = 0; shift < 24; shift += 8) {
                int a = (int)((uint32_t)got & mask) >> shift & 0xFF, b = (int)(want >> shift & 0xFF);
                EXPECT_LE(abs(a - b), tolerance) << "pixel " << x << "," << y << " channel shift " << shift;
            }
        }
}
