// The PNG and JPEG decoders: every PNG colour type and bit depth, interlaced
// files and transparency chunks; grey, colour and progressive JPEG files;
// short and foreign streams.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "image/image_decoders.h"
#include "runtime/memory.h"
#include "tests/image/image_fixtures.h"

namespace {

// The grey PNG fixtures hold the picture's index, cut to the bit depth below
// 4 bits, as a grey level of that depth (8 and 16 bits: index x 17).
uint32_t GreyOf(int x, int y, int depth)
{
    int levels = 1 << (depth < 4 ? depth : 4);
    return (uint32_t)(Picture[y][x] % levels * (255 / (levels - 1)));
}

void ExpectGrey(RasterImage* image, int depth)
{
    for (int y = 0; y < PictureHeight; y++)
        for (int x = 0; x < PictureWidth; x++) {
            uint32_t g = GreyOf(x, y, depth);
            EXPECT_EQ(g << 16 | g << 8 | g, PixelColour(image, x, y)) << x << "," << y;
        }
}

// The palette fixtures of fewer than 4 bits use the first 2 or 4 colours.
void ExpectPaletteColours(RasterImage* image, int depth)
{
    int count = depth < 4 ? 1 << depth : 16;
    for (int y = 0; y < PictureHeight; y++)
        for (int x = 0; x < PictureWidth; x++)
            EXPECT_EQ(PictureColours[Picture[y][x] % count], PixelColour(image, x, y)) << x << "," << y;
}

// A chunk's CRC-32 (type and data).
uint32_t Crc32(const uint8_t* p, size_t n)
{
    uint32_t c = 0xFFFFFFFF;
    for (size_t i = 0; i < n; i++) {
        c ^= p[i];
        for (int k = 0; k < 8; k++)
            c = c & 1 ? 0xEDB88320 ^ (c >> 1) : c >> 1;
    }
    return ~c;
}

// The file with its frame header's size replaced (the first SOF marker's
// height and width, big-endian).
std::vector<uint8_t> WithJpegSize(std::vector<uint8_t> file, int width, int height)
{
    for (size_t i = 2; i + 9 < file.size(); i += 2 + (file[i + 2] << 8 | file[i + 3])) {
        if (file[i] != 0xFF)
            break;
        if (file[i + 1] == 0xC0 || file[i + 1] == 0xC2) {
            file[i + 5] = (uint8_t)(height >> 8);
            file[i + 6] = (uint8_t)height;
            file[i + 7] = (uint8_t)(width >> 8);
            file[i + 8] = (uint8_t)width;
            return file;
        }
    }
    ADD_FAILURE() << "no frame header";
    return file;
}

uint32_t AlphaAt(RasterImage* image, int x, int y)
{
    uint32_t a = 0xDEAD;
    EXPECT_EQ(0, GetRasterImagePixel(image, x, y, nullptr, nullptr, nullptr, &a));
    return a;
}

} // namespace

TEST(PngDecoder, EveryColourTypeAndDepth)
{
    int before = GetAllocCount();
    enum Kind { Grey, GreyAlpha, Colour, ColourAlpha, Palette };
    struct Case {
        const char* file;
        Kind kind;
        int depth;
        int bytesPerPixel;
    } cases[] = {
        {"png_g1.png", Grey, 1, 1},          {"png_g2.png", Grey, 2, 1},        {"png_g4.png", Grey, 4, 1},
        {"png_g8.png", Grey, 8, 1},          {"png_g16.png", Grey, 16, 1},      {"png_g2_interlaced.png", Grey, 2, 1},
        {"png_ga8.png", GreyAlpha, 8, 2},    {"png_ga16.png", GreyAlpha, 16, 2},
        {"png_rgb8.png", Colour, 8, 3},      {"png_rgb16.png", Colour, 16, 3},  {"png_rgb8_interlaced.png", Colour, 8, 3},
        {"png_rgba8.png", ColourAlpha, 8, 4}, {"png_rgba16.png", ColourAlpha, 16, 4},
        {"png_p1.png", Palette, 1, 1},       {"png_p2.png", Palette, 2, 1},     {"png_p4.png", Palette, 4, 1},
        {"png_p8.png", Palette, 8, 1},       {"png_p4_interlaced.png", Palette, 4, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        RasterImage image;
        ASSERT_EQ(0, DecodeBlock(ReadFixture(c.file), &image, LoadPngImage));
        EXPECT_EQ(c.bytesPerPixel, image.format.bytesPerPixel);
        EXPECT_EQ(c.bytesPerPixel * 8, image.format.bitDepth);
        EXPECT_EQ(PictureWidth * c.bytesPerPixel, image.pitch);   // the library's row size
        switch (c.kind) {
        case Grey:
            ExpectGrey(&image, c.depth);
            break;
        case GreyAlpha:
            // The grey byte feeds all three channels; the alpha byte is carried, unused.
            EXPECT_EQ(0xFF00u, image.format.unusedMask);
            EXPECT_EQ(0u, image.format.alphaMask);
            ExpectGrey(&image, 8);
            EXPECT_EQ(PictureAlpha(5, 2), ((const uint8_t*)image.pixels)[2 * image.pitch + 2 * 5 + 1]);
            break;
        case Colour:
            ExpectPictureColours(&image);
            break;
        case ColourAlpha:
            ExpectPictureColours(&image);
            EXPECT_EQ(PictureAlpha(6, 4), AlphaAt(&image, 6, 4));
            EXPECT_EQ(PictureAlpha(0, 0), AlphaAt(&image, 0, 0));
            break;
        case Palette:
            ExpectPaletteColours(&image, c.depth);
            EXPECT_EQ(0u, image.format.palette[c.depth < 4 ? 1 << c.depth : 16]);   // past the file's entries
            break;
        }
        FreeRasterImage(&image);
    }
    EXPECT_EQ(before, GetAllocCount());
}

TEST(PngDecoder, LayoutsOfTheOutput)
{
    // 16-bit colour: the high bytes in the order blue, green, red.
    RasterImage image;
    ASSERT_EQ(0, DecodeBlock(ReadFixture("png_rgb16.png"), &image, LoadPngImage));
    const uint8_t* p = (const uint8_t*)image.pixels + 2 * image.pitch + 3 * 6;   // (200, 100, 50)
    EXPECT_EQ(50, p[0]);
    EXPECT_EQ(100, p[1]);
    EXPECT_EQ(200, p[2]);
    EXPECT_EQ(24, image.format.bitDepth);
    FreeRasterImage(&image);

    // 2-bit grey expands to 0, 85, 170, 255.
    ASSERT_EQ(0, DecodeBlock(ReadFixture("png_g2.png"), &image, LoadPngImage));
    const uint8_t* g = (const uint8_t*)image.pixels;
    EXPECT_EQ(0, g[0]);
    EXPECT_EQ(85, g[3]);
    EXPECT_EQ(170, g[4]);
    EXPECT_EQ(255, g[5]);
    EXPECT_EQ(0xFFFFFFu, image.format.palette[255]);   // grey table
    FreeRasterImage(&image);
}

TEST(PngDecoder, TransparencyChunks)
{
    int before = GetAllocCount();
    RasterImage image;
    // A palette with alphas becomes 32-bit colour.
    ASSERT_EQ(0, DecodeBlock(ReadFixture("png_p8_trns.png"), &image, LoadPngImage));
    EXPECT_EQ(32, image.format.bitDepth);
    EXPECT_EQ(0xFF000000u, image.format.alphaMask);
    ExpectPictureColours(&image);
    EXPECT_EQ(255u - 16 * Picture[2][4], AlphaAt(&image, 4, 2));   // entry 9
    EXPECT_EQ(255u, AlphaAt(&image, 5, 3));                        // entry 14 has no alpha
    FreeRasterImage(&image);

    // A transparent colour: the green key pixels lose their alpha.
    ASSERT_EQ(0, DecodeBlock(ReadFixture("png_rgb8_trns.png"), &image, LoadPngImage));
    EXPECT_EQ(4, image.format.bytesPerPixel);
    ExpectPictureColours(&image);
    EXPECT_EQ(0u, AlphaAt(&image, 3, 0));
    EXPECT_EQ(0x00FF00, PixelColour(&image, 3, 0));
    EXPECT_EQ(255u, AlphaAt(&image, 2, 0));
    FreeRasterImage(&image);

    // A transparent grey becomes grey with an unused alpha byte.
    ASSERT_EQ(0, DecodeBlock(ReadFixture("png_g8_trns.png"), &image, LoadPngImage));
    EXPECT_EQ(2, image.format.bytesPerPixel);
    ExpectGrey(&image, 8);
    EXPECT_EQ(0, ((const uint8_t*)image.pixels)[image.pitch + 1]);   // (0, 1) is index 4
    EXPECT_EQ(255, ((const uint8_t*)image.pixels)[1]);
    FreeRasterImage(&image);
    EXPECT_EQ(before, GetAllocCount());
}

TEST(PngDecoder, DamagedAndForeignStreams)
{
    int before = GetAllocCount();
    RasterImage image;
    std::vector<uint8_t> file = ReadFixture("png_rgb8.png");
    // Cut in the middle of its data: "Read Error" is a refusal.
    std::vector<uint8_t> cut(file.begin(), file.begin() + file.size() - 30);
    EXPECT_EQ(-1, DecodeBlock(cut, &image, LoadPngImage));
    EXPECT_EQ(nullptr, image.pixels);
    // A broken chunk checksum, a broken signature, a BMP.
    std::vector<uint8_t> crc = file;
    crc[29] ^= 1;   // inside IHDR's CRC
    EXPECT_EQ(-1, DecodeBlock(crc, &image, LoadPngImage));
    std::vector<uint8_t> sig = file;
    sig[1] = 'Q';
    EXPECT_EQ(-1, DecodeBlock(sig, &image, LoadPngImage));
    EXPECT_EQ(-1, DecodeBlock(ReadFixture("p24.bmp"), &image, LoadPngImage));
    EXPECT_EQ(-1, DecodeBlock({}, &image, LoadPngImage));

    // A header claiming far more rows than a short stream can inflate to is
    // refused before the rows are allocated: 100000 rows of 7 pixels.
    std::vector<uint8_t> tall = file;
    const uint8_t height[4] = {0x00, 0x01, 0x86, 0xA0};   // IHDR's height at 20, big-endian
    memcpy(&tall[20], height, 4);
    uint32_t sum = Crc32(&tall[12], 17);
    for (int i = 0; i < 4; i++)
        tall[29 + i] = (uint8_t)(sum >> (24 - 8 * i));
    EXPECT_EQ(-1, DecodeBlock(tall, &image, LoadPngImage));
    EXPECT_EQ(before, GetAllocCount());
}

TEST(JpegDecoder, GreyColourAndProgressive)
{
    int before = GetAllocCount();
    RasterImage image;
    for (const char* name : {"jpeg_rgb.jpg", "jpeg_progressive.jpg"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(0, DecodeBlock(ReadFixture(name), &image, LoadJpegImage));
        EXPECT_EQ(24, image.format.bitDepth);
        EXPECT_EQ(3 * PictureWidth, image.pitch);
        ExpectPictureColours(&image, 0xFFFFFF, 10);
        FreeRasterImage(&image);
    }
    ASSERT_EQ(0, DecodeBlock(ReadFixture("jpeg_grey.jpg"), &image, LoadJpegImage));
    EXPECT_EQ(8, image.format.bitDepth);
    EXPECT_EQ(PictureWidth, image.pitch);
    for (int y = 0; y < PictureHeight; y++)
        for (int x = 0; x < PictureWidth; x++)
            EXPECT_NEAR(Picture[y][x] * 17, ((const uint8_t*)image.pixels)[y * image.pitch + x], 6) << x << "," << y;
    FreeRasterImage(&image);
    EXPECT_EQ(before, GetAllocCount());
}

TEST(JpegDecoder, ShortAndForeignStreams)
{
    int before = GetAllocCount();
    RasterImage image;
    EXPECT_EQ(-1, DecodeBlock({}, &image, LoadJpegImage));   // input empty
    EXPECT_EQ(-1, DecodeBlock(ReadFixture("png_rgb8.png"), &image, LoadJpegImage));
    // Four components do not fit the copy: refused.
    EXPECT_EQ(-1, DecodeBlock(ReadFixture("jpeg_cmyk.jpg"), &image, LoadJpegImage));
    EXPECT_EQ(nullptr, image.pixels);

    // Cut after its first scan: the rest is filled after the fake end marker.
    std::vector<uint8_t> file = ReadFixture("jpeg_rgb.jpg");
    std::vector<uint8_t> cut(file.begin(), file.end() - 120);
    ASSERT_EQ(0, DecodeBlock(cut, &image, LoadJpegImage));
    EXPECT_EQ(PictureWidth, image.width);
    EXPECT_EQ(PictureHeight, image.height);
    FreeRasterImage(&image);
    EXPECT_EQ(before, GetAllocCount());
}

TEST(JpegDecoder, TheDataAndTheLimitBoundTheDeclaredSize)
{
    int before = GetAllocCount();
    RasterImage image;
    // Small files claiming large pictures: every 8x8 block of every
    // component needs at least one bit of coded data, and these hold a few
    // hundred bytes for hundreds of thousands of blocks.
    struct Claim {
        const char* file;
        int width, height;
    } claims[] = {{"jpeg_rgb.jpg", 8000, 8000}, {"jpeg_progressive.jpg", 8000, 8000},
                  {"jpeg_grey.jpg", 27619, 1537}, {"jpeg_grey.jpg", 2000, 2000}};
    for (const Claim& c : claims) {
        SCOPED_TRACE(testing::Message() << c.file << " as " << c.width << "x" << c.height);
        EXPECT_EQ(-1, DecodeBlock(WithJpegSize(ReadFixture(c.file), c.width, c.height), &image, LoadJpegImage));
        EXPECT_EQ(nullptr, image.pixels);
    }
    // Enough coded data for its blocks still decodes: the grey fixture's
    // header as 256x256 (1024 blocks) over 128 bytes of coded zeros more.
    std::vector<uint8_t> grey = ReadFixture("jpeg_grey.jpg");
    std::vector<uint8_t> header(grey.begin(), grey.begin() + 328);   // up to the end of its scan header
    std::vector<uint8_t> fits = WithJpegSize(header, 256, 256);
    fits.insert(fits.end(), 128, 0x00);
    fits.push_back(0xFF);
    fits.push_back(0xD9);
    ASSERT_EQ(0, DecodeBlock(fits, &image, LoadJpegImage));
    EXPECT_EQ(256, image.width);
    EXPECT_EQ(256, image.height);
    FreeRasterImage(&image);
    // Coded data for every block of 8192 x 8200 grey, but 4 bytes a pixel
    // of that passes 256 MiB: the limit refuses it before anything is made.
    std::vector<uint8_t> huge = WithJpegSize(header, 8192, 8200);
    huge.insert(huge.end(), 1024 * 1025 / 8 + 16, 0x00);
    huge.push_back(0xFF);
    huge.push_back(0xD9);
    EXPECT_EQ(-1, DecodeBlock(huge, &image, LoadJpegImage));
    EXPECT_EQ(nullptr, image.pixels);
    EXPECT_EQ(before, GetAllocCount());
}
