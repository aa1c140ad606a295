// The BMP decoder: one picture in every encoding, the encodings' own rules,
// and damaged or hostile files.
#include <gtest/gtest.h>
#include <string.h>

#include <vector>

#include "image/image_decoders.h"
#include "runtime/memory.h"
#include "tests/image/image_fixtures.h"

namespace {

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        b[at + i] = (uint8_t)(v >> (8 * i));
}

// A bitmap with a 40-byte info header, the table and the pixel bytes.
std::vector<uint8_t> MakeBmp(int32_t width, int32_t height, uint16_t bits, uint32_t compression,
                             const std::vector<uint8_t>& table, const std::vector<uint8_t>& pixels)
{
    std::vector<uint8_t> b(54, 0);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 2, (uint32_t)(54 + table.size() + pixels.size()));
    Put32(b, 10, (uint32_t)(54 + table.size()));
    Put32(b, 14, 40);
    Put32(b, 18, (uint32_t)width);
    Put32(b, 22, (uint32_t)height);
    b[26] = 1;
    b[28] = (uint8_t)bits;
    Put32(b, 30, compression);
    b.insert(b.end(), table.begin(), table.end());
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

// A grey table of n entries (entry i = i, i, i).
std::vector<uint8_t> GreyTable(int n)
{
    std::vector<uint8_t> t;
    for (int i = 0; i < n; i++)
        t.insert(t.end(), {(uint8_t)i, (uint8_t)i, (uint8_t)i, 0});
    return t;
}

uint8_t Index(const RasterImage& image, int x, int y)
{
    return ((const uint8_t*)image.pixels)[y * image.pitch + x];
}

// GDI draws the 1- and 16-bit and bit-field kinds; the native build has no
// GDI and refuses them.
#ifdef _WIN32
const bool HaveGdi = true;
#else
const bool HaveGdi = false;
#endif

// The 16-bit and bit-field fixtures (the 1-bit ones are tested apart).
bool DrawnByGdi(const char* name)
{
    return strncmp(name, "p16", 3) == 0 || strcmp(name, "p32_bitfields.bmp") == 0;
}

// Every fixture, for the damage tests.
const char* const allFixtures[] = {
    "p1.bmp", "p4.bmp", "p4_topdown.bmp", "p8.bmp", "p8_short_table.bmp", "p8_topdown.bmp", "p8_v5.bmp",
    "rle8.bmp", "rle8_topdown.bmp", "rle4.bmp", "p16_555.bmp", "p16_565.bmp", "p24.bmp", "p24_topdown.bmp",
    "p32.bmp", "p32_bitfields.bmp", "p32_1x1.bmp", "p1_v5.bmp", "p1_core.bmp", "p4_core.bmp", "p8_core.bmp",
    "p24_core.bmp",
};

} // namespace

TEST(BmpDecoder, EveryEncodingHoldsThePicture)
{
    struct Case {
        const char* file;
        int bytesPerPixel;
        uint32_t colourMask;   // bits compared (16-bit files keep 5 or 6 bits a channel)
    } cases[] = {
        {"p4.bmp", 1, 0xFFFFFF},         {"p4_topdown.bmp", 1, 0xFFFFFF},  {"p8.bmp", 1, 0xFFFFFF},
        {"p8_short_table.bmp", 1, 0xFFFFFF}, {"p8_topdown.bmp", 1, 0xFFFFFF}, {"p8_v5.bmp", 1, 0xFFFFFF},
        {"rle8.bmp", 1, 0xFFFFFF},       {"rle8_topdown.bmp", 1, 0xFFFFFF}, {"rle4.bmp", 1, 0xFFFFFF},
        {"p24.bmp", 3, 0xFFFFFF},        {"p24_topdown.bmp", 3, 0xFFFFFF}, {"p32.bmp", 4, 0xFFFFFF},
        {"p32_bitfields.bmp", 3, 0xFFFFFF}, {"p16_555.bmp", 3, 0xF8F8F8},  {"p16_565.bmp", 3, 0xF8FCF8},
        {"p4_core.bmp", 1, 0xFFFFFF},    {"p8_core.bmp", 1, 0xFFFFFF},     {"p24_core.bmp", 3, 0xFFFFFF},
    };
    int before = GetAllocCount();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        RasterImage image;
        if (!HaveGdi && DrawnByGdi(c.file)) {
            EXPECT_EQ(-1, DecodeBlock(ReadFixture(c.file), &image, LoadBmpImage));
            continue;
        }
        ASSERT_EQ(0, DecodeBlock(ReadFixture(c.file), &image, LoadBmpImage));
        EXPECT_EQ(PictureWidth, image.width);
        EXPECT_EQ(PictureHeight, image.height);
        EXPECT_EQ(c.bytesPerPixel, image.format.bytesPerPixel);
        EXPECT_EQ(0, image.pitch % 4);
        EXPECT_GE(image.pitch, PictureWidth * c.bytesPerPixel);
        for (int y = 0; y < PictureHeight; y++)
            for (int x = 0; x < PictureWidth; x++)
                EXPECT_EQ(PictureColours[Picture[y][x]] & c.colourMask, PixelColour(&image, x, y) & c.colourMask)
                    << x << "," << y;
        FreeRasterImage(&image);
    }

    // 1 bit through GDI: two colours, whatever the header size.
    for (const char* name : {"p1.bmp", "p1_v5.bmp", "p1_core.bmp"}) {
        SCOPED_TRACE(name);
        RasterImage image;
        if (!HaveGdi) {
            EXPECT_EQ(-1, DecodeBlock(ReadFixture(name), &image, LoadBmpImage));
            continue;
        }
        ASSERT_EQ(0, DecodeBlock(ReadFixture(name), &image, LoadBmpImage));
        EXPECT_EQ(3, image.format.bytesPerPixel);
        EXPECT_EQ(24, image.pitch);
        for (int y = 0; y < PictureHeight; y++)
            for (int x = 0; x < PictureWidth; x++)
                EXPECT_EQ(TwoColours[Picture[y][x] % 2], PixelColour(&image, x, y)) << x << "," << y;
        FreeRasterImage(&image);
    }
    EXPECT_EQ(before, GetAllocCount());
}

TEST(BmpDecoder, TopDownAndBottomUpGiveIdenticalImages)
{
    const char* pairs[][2] = {
        {"p4.bmp", "p4_topdown.bmp"}, {"p8.bmp", "p8_topdown.bmp"},
        {"rle8.bmp", "rle8_topdown.bmp"}, {"p24.bmp", "p24_topdown.bmp"},
    };
    for (auto& pair : pairs) {
        SCOPED_TRACE(pair[0]);
        RasterImage a, b;
        ASSERT_EQ(0, DecodeBlock(ReadFixture(pair[0]), &a, LoadBmpImage));
        ASSERT_EQ(0, DecodeBlock(ReadFixture(pair[1]), &b, LoadBmpImage));
        ASSERT_EQ(a.pitch, b.pitch);
        // Palette entries past the file's 16 are whatever bytes follow the
        // table, which differ between the two files.
        EXPECT_EQ(0, memcmp(a.format.palette, b.format.palette, 16 * 4));
        memcpy(b.format.palette, a.format.palette, sizeof a.format.palette);
        EXPECT_EQ(0, memcmp(&a.format, &b.format, sizeof a.format));
        EXPECT_EQ(0, memcmp(a.pixels, b.pixels, (size_t)a.pitch * a.height));
        FreeRasterImage(&a);
        FreeRasterImage(&b);
    }
}

TEST(BmpDecoder, ThirtyTwoBitAlpha)
{
    // BI_RGB keeps the fourth byte as alpha.
    RasterImage image;
    ASSERT_EQ(0, DecodeBlock(ReadFixture("p32.bmp"), &image, LoadBmpImage));
    EXPECT_EQ(0xFF000000u, image.format.alphaMask);
    uint32_t a;
    for (int x = 0; x < PictureWidth; x++) {
        ASSERT_EQ(0, GetRasterImagePixel(&image, x, 2, nullptr, nullptr, nullptr, &a));
        EXPECT_EQ(x == 1 ? 0x80u : 0xFFu, a) << x;
    }
    FreeRasterImage(&image);

    // Bit fields go through GDI and lose it.
    if (HaveGdi) {
        ASSERT_EQ(0, DecodeBlock(ReadFixture("p32_bitfields.bmp"), &image, LoadBmpImage));
        EXPECT_EQ(0u, image.format.alphaMask);
        EXPECT_EQ(24, image.format.bitDepth);
        FreeRasterImage(&image);
    }

    // A one-pixel file has no room for masks after its header and is still read.
    ASSERT_EQ(0, DecodeBlock(ReadFixture("p32_1x1.bmp"), &image, LoadBmpImage));
    EXPECT_EQ(0x44112233u, *(uint32_t*)image.pixels);
    FreeRasterImage(&image);
}

TEST(BmpDecoder, PaletteTables)
{
    // A table of 16 entries: all 256 are read from behind the header, the
    // rest being the bytes that follow (here the first pixel row).
    RasterImage image;
    ASSERT_EQ(0, DecodeBlock(ReadFixture("p8_short_table.bmp"), &image, LoadBmpImage));
    EXPECT_EQ(0x000F0Fu, image.format.palette[16]);   // bytes 0F 0F 00 01: reserved cleared
    EXPECT_EQ(0x00FF00u, image.format.palette[1]);
    FreeRasterImage(&image);

    // 4-bit images take 16 entries; the rest stay 0.
    ASSERT_EQ(0, DecodeBlock(ReadFixture("rle4.bmp"), &image, LoadBmpImage));
    EXPECT_EQ(0x285078u, image.format.palette[15]);
    EXPECT_EQ(0u, image.format.palette[16]);
    FreeRasterImage(&image);

    // A table cut short by the end of the file keeps zeros for the rest.
    std::vector<uint8_t> tiny = MakeBmp(1, 1, 8, 1, {0x10, 0x20, 0x30, 0x77}, {});
    tiny.insert(tiny.end(), {1, 0, 0, 1});   // RLE8: one pixel of 0, end of bitmap
    Put32(tiny, 10, 54 + 4);
    ASSERT_EQ(0, DecodeBlock(tiny, &image, LoadBmpImage));
    EXPECT_EQ(0x302010u, image.format.palette[0]);
    EXPECT_EQ(0x000001u, image.format.palette[1]);   // the RLE bytes 01 00 00 01, reserved cleared
    EXPECT_EQ(0u, image.format.palette[2]);
    FreeRasterImage(&image);
}

TEST(BmpDecoder, RunLengthCodes)
{
    RasterImage image;
    // 3 x 7, end of line, end of bitmap: the bottom row.
    ASSERT_EQ(0, DecodeBlock(MakeBmp(4, 2, 8, 1, GreyTable(256), {3, 7, 0, 0, 0, 1}), &image, LoadBmpImage));
    EXPECT_EQ(7, Index(image, 0, 1));
    EXPECT_EQ(7, Index(image, 2, 1));
    EXPECT_EQ(0, Index(image, 3, 1));
    EXPECT_EQ(0, Index(image, 0, 0));
    EXPECT_EQ(4, image.pitch);
    FreeRasterImage(&image);

    // A delta of 5 right and 1 up after four pixels continues at column 9.
    ASSERT_EQ(0, DecodeBlock(MakeBmp(12, 3, 8, 1, GreyTable(256), {4, 9, 0, 2, 5, 1, 1, 6, 0, 1}), &image,
                             LoadBmpImage));
    EXPECT_EQ(9, Index(image, 3, 2));
    EXPECT_EQ(6, Index(image, 9, 1));
    EXPECT_EQ(0, Index(image, 8, 1));
    EXPECT_EQ(0, Index(image, 4, 2));
    FreeRasterImage(&image);

    // RLE4 runs alternate the nibbles, high first; literals take two a byte.
    ASSERT_EQ(0, DecodeBlock(MakeBmp(8, 1, 4, 2, GreyTable(16), {5, 0x12, 0, 3, 0xAB, 0xC0, 0, 1}), &image,
                             LoadBmpImage));
    const uint8_t expected[8] = {1, 2, 1, 2, 1, 0xA, 0xB, 0xC};
    for (int x = 0; x < 8; x++)
        EXPECT_EQ(expected[x], Index(image, x, 0)) << x;
    FreeRasterImage(&image);

    // Top-down RLE: the first line is the top row.
    ASSERT_EQ(0, DecodeBlock(MakeBmp(2, -2, 8, 1, GreyTable(256), {2, 5, 0, 0, 2, 6}), &image, LoadBmpImage));
    EXPECT_EQ(5, Index(image, 0, 0));
    EXPECT_EQ(6, Index(image, 1, 1));
    FreeRasterImage(&image);
}

TEST(BmpDecoder, RunsThatLeaveTheImageAreCut)
{
    int before = GetAllocCount();
    struct Case {
        const char* what;
        std::vector<uint8_t> codes;
        uint8_t row0[4], row1[4];   // top row, bottom row
    } cases[] = {
        {"run past the row end", {20, 5, 0, 0, 2, 6, 0, 1}, {6, 6, 0, 0}, {5, 5, 5, 5}},
        {"literal past the row end", {0, 6, 1, 2, 3, 4, 5, 6, 0, 1}, {0, 0, 0, 0}, {1, 2, 3, 4}},
        {"delta out of the image", {1, 3, 0, 2, 255, 255, 4, 9, 0, 1}, {0, 0, 0, 0}, {3, 0, 0, 0}},
        {"delta past the row end", {0, 2, 200, 0, 4, 9, 0, 0, 1, 8}, {8, 0, 0, 0}, {0, 0, 0, 0}},
        {"literal longer than the data", {1, 3, 0, 200, 7, 8}, {0, 0, 0, 0}, {3, 7, 8, 0}},
        {"no end of bitmap", {2, 4}, {0, 0, 0, 0}, {4, 4, 0, 0}},
        {"lines past the bottom", {0, 0, 0, 0, 0, 0, 4, 1}, {0, 0, 0, 0}, {0, 0, 0, 0}},
        {"a lone count byte", {2, 4, 3}, {0, 0, 0, 0}, {4, 4, 0, 0}},
        {"a cut delta", {2, 4, 0, 2, 1}, {0, 0, 0, 0}, {4, 4, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RasterImage image;
        ASSERT_EQ(0, DecodeBlock(MakeBmp(4, 2, 8, 1, GreyTable(256), c.codes), &image, LoadBmpImage));
        for (int x = 0; x < 4; x++) {
            EXPECT_EQ(c.row0[x], Index(image, x, 0)) << x;
            EXPECT_EQ(c.row1[x], Index(image, x, 1)) << x;
        }
        FreeRasterImage(&image);
    }
    EXPECT_EQ(before, GetAllocCount());
}

TEST(BmpDecoder, MalformedHeadersAreRefused)
{
    std::vector<uint8_t> p24 = ReadFixture("p24.bmp");
    std::vector<uint8_t> p8 = ReadFixture("p8.bmp");
    std::vector<uint8_t> rle8 = ReadFixture("rle8.bmp");
    std::vector<uint8_t> core = ReadFixture("p24_core.bmp");
    struct Case {
        const char* what;
        const std::vector<uint8_t>* file;
        size_t at;
        uint32_t value;
        int size;   // bytes written at `at`
    } cases[] = {
        {"signature", &p24, 0, 'M' | 'B' << 8, 2},
        {"zero width", &p24, 18, 0, 4},
        {"negative width", &p24, 18, (uint32_t)-7, 4},
        {"zero height", &p24, 22, 0, 4},
        {"most negative height", &p24, 22, 0x80000000, 4},
        {"header size between core and info", &p24, 14, 39, 4},
        {"core header of 16 bits", &core, 24, 16, 2},
        {"core header of 32 bits", &core, 24, 32, 2},
        {"core header of zero width", &core, 18, 0, 2},
        {"header past the file", &p24, 14, 0x7FFFFFFF, 4},
        {"bit count 2", &p24, 28, 2, 2},
        {"bit count 0", &p24, 28, 0, 2},
        {"JPEG compression", &p24, 30, 4, 4},
        {"bit fields on 24 bits", &p24, 30, 3, 4},
        {"RLE8 on 24 bits", &p24, 30, 1, 4},
        {"RLE4 on 8 bits", &p8, 30, 2, 4},
        {"pixel data past the end", &p24, 10, 100000, 4},
        {"pixel data offset at the end", &p24, 10, 174, 4},
        {"rows longer than the data", &p24, 18, 9, 4},
        {"more rows than the data", &p8, 22, 6, 4},
        {"RLE image too large to hold", &rle8, 18, 0x7FFFFFF0, 4},
        {"RLE rows too many to hold", &rle8, 22, 0x10000000, 4},
        {"uncompressed size overflow", &p24, 18, 0x40000001, 4},
    };
    int before = GetAllocCount();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> file = *c.file;
        for (int i = 0; i < c.size; i++)
            file[c.at + i] = (uint8_t)(c.value >> (8 * i));
        RasterImage image;
        EXPECT_EQ(-1, DecodeBlock(file, &image, LoadBmpImage));
        EXPECT_EQ(nullptr, image.pixels);
    }
    EXPECT_EQ(before, GetAllocCount());
}

TEST(BmpDecoder, PicturesBeyondTheSizeLimitAreRefused)
{
    // 16384 pixels a side: an RLE file states its size without holding it.
    int before = GetAllocCount();
    const std::vector<uint8_t> endOfBitmap = {0, 1};
    struct Case {
        int32_t width, height;
        int result;
    } cases[] = {
        {16384, 1, 0}, {1, 16384, 0}, {1, -16384, 0}, {16385, 1, -1}, {1, 16385, -1}, {1, -16385, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        RasterImage image;
        EXPECT_EQ(c.result, DecodeBlock(MakeBmp(c.width, c.height, 8, 1, GreyTable(256), endOfBitmap), &image,
                                        LoadBmpImage));
        FreeRasterImage(&image);
    }

    // 256 MB of decoded pixels: a 1-bit file of 11 MB would draw into
    // 16384 x 5462 pixels of 3 bytes, just over.
    std::vector<uint8_t> pixels((size_t)16384 / 8 * 5462);
    RasterImage image;
    EXPECT_EQ(-1, DecodeBlock(MakeBmp(16384, 5462, 1, 0, GreyTable(2), pixels), &image, LoadBmpImage));
    EXPECT_EQ(nullptr, image.pixels);
    EXPECT_EQ(before, GetAllocCount());
}

#ifdef _WIN32
TEST(BmpDecoder, GdiPath)
{
    int before = GetAllocCount();
    // A conversion GDI refuses (no planes) is a refusal, not a black image.
    for (const char* name : {"p1.bmp", "p16_555.bmp", "p16_565.bmp"}) {
        std::vector<uint8_t> file = ReadFixture(name);
        file[26] = 0;
        RasterImage image;
        EXPECT_EQ(-1, DecodeBlock(file, &image, LoadBmpImage)) << name;
        EXPECT_EQ(nullptr, image.pixels);
    }
    EXPECT_EQ(before, GetAllocCount());

    // A colour count far beyond the 1-bit table is cut to the table.
    std::vector<uint8_t> file = ReadFixture("p1.bmp");
    Put32(file, 46, 0xFFFFFFFF);
    Put32(file, 50, 0xFFFFFFFF);
    Put32(file, 34, 0xFFFFFFF0);   // image size
    RasterImage image;
    ASSERT_EQ(0, DecodeBlock(file, &image, LoadBmpImage));
    EXPECT_EQ(TwoColours[1], PixelColour(&image, 3, 0));
    FreeRasterImage(&image);

    EXPECT_EQ(before, GetAllocCount());
}
#endif

TEST(BmpDecoder, EveryTruncationIsHandled)
{
    int before = GetAllocCount();
    for (const char* name : allFixtures) {
        SCOPED_TRACE(name);
        std::vector<uint8_t> file = ReadFixture(name);
        for (size_t length = 0; length < file.size(); length++) {
            std::vector<uint8_t> cut(file.begin(), file.begin() + length);
            RasterImage image;
            if (DecodeBlock(cut, &image, LoadBmpImage) == 0) {
                // Only RLE files and short colour tables decode when cut.
                EXPECT_GT(image.width, 0);
                EXPECT_NE(nullptr, image.pixels);
                FreeRasterImage(&image);
            } else {
                EXPECT_EQ(nullptr, image.pixels);
            }
        }
    }
    EXPECT_EQ(before, GetAllocCount());
    EXPECT_EQ(0, CheckAllocRecords());
}

TEST(BmpDecoder, CorruptedHeaderBytesAreHandled)
{
    int before = GetAllocCount();
    const uint8_t values[] = {0x00, 0x01, 0x7F, 0x80, 0xFF};
    for (const char* name : allFixtures) {
        SCOPED_TRACE(name);
        std::vector<uint8_t> file = ReadFixture(name);
        size_t end = file.size() < 70 ? file.size() : 70;
        for (size_t at = 0; at < end; at++)
            for (uint8_t v : values) {
                std::vector<uint8_t> bad = file;
                bad[at] = v;
                RasterImage image;
                if (DecodeBlock(bad, &image, LoadBmpImage) == 0)
                    FreeRasterImage(&image);
            }
    }
    EXPECT_EQ(before, GetAllocCount());
    EXPECT_EQ(0, CheckAllocRecords());
}
