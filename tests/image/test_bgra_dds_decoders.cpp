// The raw "BGRA" and the DDS decoders: the pictures in every encoding, DXT
// blocks and mip chains, and the sizes a header may claim.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "image/dxt.h"
#include "image/image_decoders.h"
#include "runtime/memory.h"
#include "tests/image/image_fixtures.h"

namespace {

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        b[at + i] = (uint8_t)(v >> (8 * i));
}

std::vector<uint8_t> MakeBgra(uint32_t code, uint32_t width, uint32_t height, const std::vector<uint8_t>& pixels)
{
    std::vector<uint8_t> b = {'B', 'G', 'R', 'A'};
    b.resize(16);
    Put32(b, 4, code);
    Put32(b, 8, width);
    Put32(b, 12, height);
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

// The 8 x 8 picture of the DDS fixtures: indices into PictureColours, each
// 4 x 4 block of two pure colours.
const int DdsSide = 8;
const uint8_t DdsPicture[DdsSide][DdsSide] = {
    {1, 1, 2, 2, 4, 4, 4, 3}, {1, 2, 2, 1, 4, 3, 3, 3}, {2, 2, 1, 1, 3, 3, 4, 4}, {1, 1, 1, 2, 3, 4, 4, 4},
    {0, 0, 6, 6, 7, 7, 8, 8}, {6, 0, 0, 6, 8, 7, 7, 8}, {6, 6, 0, 0, 7, 8, 8, 7}, {0, 6, 6, 0, 8, 8, 7, 7},
};
uint32_t DdsAlpha(int x, int y) { return 17 * ((x + 2 * y) % 16); }

// A DDS header: the flags, sides, pitch, mip count, pixel format and caps.
struct DdsFields {
    uint32_t flags = 0x1007, height = 8, width = 8, pitch = 0, mips = 0;
    uint32_t pfFlags = 0x4, fourCC = 0, bits = 0, masks[4] = {0, 0, 0, 0}, caps = 0x1000;
};

uint32_t FourCC(const char* s) { return (uint32_t)s[0] | s[1] << 8 | s[2] << 16 | (uint32_t)s[3] << 24; }

std::vector<uint8_t> MakeDds(const DdsFields& f, size_t dataBytes)
{
    std::vector<uint8_t> b(128 + dataBytes, 0);
    memcpy(b.data(), "DDS ", 4);
    Put32(b, 4, 124);
    Put32(b, 8, f.flags);
    Put32(b, 12, f.height);
    Put32(b, 16, f.width);
    Put32(b, 20, f.pitch);
    Put32(b, 28, f.mips);
    Put32(b, 76, 32);
    Put32(b, 80, f.pfFlags);
    Put32(b, 84, f.fourCC);
    Put32(b, 88, f.bits);
    for (int i = 0; i < 4; i++)
        Put32(b, 92 + 4 * i, f.masks[i]);
    Put32(b, 108, f.caps);
    for (size_t i = 128; i < b.size(); i++)
        b[i] = (uint8_t)(i * 7);
    return b;
}

DdsFields Dxt(const char* fourCC, uint32_t width, uint32_t height, uint32_t mips = 0)
{
    DdsFields f;
    f.fourCC = FourCC(fourCC);
    f.width = width;
    f.height = height;
    if (mips) {
        f.flags |= 0x20000;
        f.mips = mips;
        f.caps |= 0x400008;
    }
    return f;
}

// The raw pixel (x, y) of an uncompressed image split into 8-bit channels.
void RawChannels(const RasterImage& image, int x, int y, uint32_t out[4])
{
    const uint8_t* p = (const uint8_t*)image.pixels + (size_t)y * image.pitch + (size_t)x * image.format.bytesPerPixel;
    uint32_t v = 0;
    for (int i = 0; i < image.format.bytesPerPixel; i++)
        v |= (uint32_t)p[i] << (8 * i);
    SplitColorComponents(&image.format, v, &out[0], &out[1], &out[2], &out[3]);
}

int DecodeDds(const std::vector<uint8_t>& file, RasterImage* image) { return DecodeBlock(file, image, LoadDdsImage); }

} // namespace

TEST(BgraDecoder, BothChannelSizesHoldThePicture)
{
    int before = GetAllocCount();
    for (const char* name : {"bgra8.bgra", "bgra16.bgra"}) {
        SCOPED_TRACE(name);
        RasterImage image;
        ASSERT_EQ(0, DecodeBlock(ReadFixture(name), &image, LoadBgraImage));
        EXPECT_EQ(32, image.format.bitDepth);
        EXPECT_EQ(0xFF000000u, image.format.alphaMask);
        EXPECT_EQ(4 * PictureWidth, image.pitch);
        ExpectPictureColours(&image);
        for (int y = 0; y < PictureHeight; y++)
            for (int x = 0; x < PictureWidth; x++) {
                uint32_t a;
                ASSERT_EQ(0, GetRasterImagePixel(&image, x, y, nullptr, nullptr, nullptr, &a));
                EXPECT_EQ(PictureAlpha(x, y), a);
            }
        FreeRasterImage(&image);
    }
    EXPECT_EQ(before, GetAllocCount());
}

TEST(BgraDecoder, HeaderAndSizes)
{
    RasterImage image;
    // 16-bit values keep their high bytes.
    ASSERT_EQ(0, DecodeBlock(MakeBgra(0x10101010, 1, 1, {0xFF, 0x12, 0xFF, 0x34, 0xFF, 0x56, 0xFF, 0x78}), &image,
                             LoadBgraImage));
    EXPECT_EQ(0x78563412u, *(uint32_t*)image.pixels);
    FreeRasterImage(&image);
    // A height of 0 reads nothing.
    ASSERT_EQ(0, DecodeBlock(MakeBgra(0x08080808, 5, 0, {}), &image, LoadBgraImage));
    EXPECT_EQ(20, image.pitch);
    FreeRasterImage(&image);

    int before = GetAllocCount();
    struct Case {
        const char* what;
        std::vector<uint8_t> file;
    } cases[] = {
        {"mixed channel code", MakeBgra(0x08081008, 1, 1, {1, 2, 3, 4})},
        {"signature", MakeBgra(0x08080808, 1, 1, {1, 2, 3, 4})},
        {"header cut", std::vector<uint8_t>({'B', 'G', 'R', 'A', 8, 8, 8, 8, 1, 0, 0, 0, 1})},
        {"pixels cut", MakeBgra(0x08080808, 2, 1, {1, 2, 3, 4, 5, 6, 7})},
        {"16-bit row cut", MakeBgra(0x10101010, 1, 2, std::vector<uint8_t>(15))},
        {"size overflowing 32 bits", MakeBgra(0x08080808, 0x40000000, 4, {1, 2, 3, 4})},
        {"size overflowing 64-bit products", MakeBgra(0x10101010, 0xFFFFFFFF, 0xFFFFFFFF, {1, 2, 3, 4})},
        {"more than the file holds", MakeBgra(0x08080808, 4096, 4096, {1, 2, 3, 4})},
    };
    cases[1].file[0] = 'b';
    for (const Case& c : cases) {
        EXPECT_EQ(-1, DecodeBlock(c.file, &image, LoadBgraImage)) << c.what;
        EXPECT_EQ(nullptr, image.pixels) << c.what;
    }
    EXPECT_EQ(before, GetAllocCount());
}

TEST(DdsDecoder, DxtFilesHoldThePicture)
{
    int before = GetAllocCount();
    for (int kind = 1; kind <= 5; kind++) {
        std::string name = "dds_dxt" + std::to_string(kind) + ".dds";
        SCOPED_TRACE(name);
        RasterImage image;
        ASSERT_EQ(0, DecodeDds(ReadFixture(name.c_str()), &image));
        EXPECT_EQ((uint32_t)kind, image.format.compression);
        EXPECT_EQ(kind == 1 ? 4 : 8, image.format.bitDepth);
        EXPECT_EQ(4, image.format.bytesPerPixel);
        EXPECT_EQ(0xFF000000u, image.format.alphaMask);
        EXPECT_EQ(0, image.pitch);
        EXPECT_EQ(0, image.mipCount);
        ASSERT_EQ(0, DecompressDxtRasterImage(&image));
        for (int y = 0; y < DdsSide; y++)
            for (int x = 0; x < DdsSide; x++) {
                uint32_t r, g, b, a;
                ASSERT_EQ(0, GetRasterImagePixel(&image, x, y, &r, &g, &b, &a));
                uint32_t alpha = kind == 1 ? 255 : kind <= 3 ? DdsAlpha(x, y) : DdsAlpha(x, y) >= 128 ? 255 : 0;
                EXPECT_EQ(alpha, a) << x << "," << y;
                // Premultiplied kinds give their colours back exactly only when opaque.
                if ((kind == 2 || kind == 4) && alpha != 255)
                    continue;
                EXPECT_EQ(PictureColours[DdsPicture[y][x]], r << 16 | g << 8 | b) << x << "," << y;
            }
        FreeRasterImage(&image);
    }
    EXPECT_EQ(before, GetAllocCount());
}

TEST(DdsDecoder, NumberedAndMaskFormatsHoldThePicture)
{
    struct Case {
        const char* file;
        int bitDepth;
        bool alpha;
    } cases[] = {
        {"dds_d3d20.dds", 24, false}, {"dds_d3d21.dds", 32, true},  {"dds_d3d22.dds", 32, false},
        {"dds_d3d23.dds", 16, false}, {"dds_d3d24.dds", 16, false}, {"dds_d3d25.dds", 16, true},
        {"dds_d3d26.dds", 16, true},  {"dds_d3d27.dds", 8, false},  {"dds_d3d29.dds", 16, true},
        {"dds_d3d30.dds", 16, false}, {"dds_d3d31.dds", 32, true},  {"dds_d3d32.dds", 32, true},
        {"dds_d3d33.dds", 32, false}, {"dds_d3d35.dds", 32, true},  {"dds_argb32.dds", 32, true},
        {"dds_mask565.dds", 16, false},
    };
    int before = GetAllocCount();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        RasterImage image;
        ASSERT_EQ(0, DecodeDds(ReadFixture(c.file), &image));
        EXPECT_EQ(c.bitDepth, image.format.bitDepth);
        EXPECT_EQ(c.bitDepth / 8, image.format.bytesPerPixel);
        EXPECT_EQ(c.alpha, image.format.alphaMask != 0);
        EXPECT_EQ(0u, image.format.compression);
        EXPECT_EQ(DdsSide * c.bitDepth / 8, image.pitch);
        for (int y = 0; y < DdsSide; y++)
            for (int x = 0; x < DdsSide; x++) {
                uint32_t ch[4];
                RawChannels(image, x, y, ch);
                EXPECT_EQ(PictureColours[DdsPicture[y][x]], ch[0] << 16 | ch[1] << 8 | ch[2]) << x << "," << y;
                EXPECT_EQ(c.alpha ? 255u : 0u, ch[3]);
            }
        FreeRasterImage(&image);
    }
    EXPECT_EQ(before, GetAllocCount());
}

TEST(DdsDecoder, MipChains)
{
    RasterImage image;
    // The fixtures: every level read, the count kept.
    for (const char* name : {"dds_dxt1_mips.dds", "dds_argb32_mips.dds"}) {
        std::vector<uint8_t> file = ReadFixture(name);
        ASSERT_EQ(0, DecodeDds(file, &image)) << name;
        EXPECT_EQ(4, image.mipCount);
        FreeRasterImage(&image);
        file.pop_back();
        EXPECT_EQ(-1, DecodeDds(file, &image)) << name;
    }

    struct Case {
        const char* what;
        DdsFields fields;
        size_t bytes;       // the data the decoder needs
        int mipCount;
    } cases[] = {
        {"256 DXT5, 9 levels", Dxt("DXT5", 256, 256, 9), 65536 + 16384 + 4096 + 1024 + 256 + 64 + 16 + 16 + 16, 9},
        {"256 DXT1, 9 levels", Dxt("DXT1", 256, 256, 9), 32768 + 8192 + 2048 + 512 + 128 + 32 + 8 + 8 + 8, 9},
        {"a count past the chain is cut to it", Dxt("DXT1", 256, 256, 0xFFFFFFFF), 43704, 9},
        {"a count past the chain of a 1 x 1", Dxt("DXT3", 1, 1, 1000), 16, 1},
        {"levels without the complex cap", Dxt("DXT1", 8, 8, 4), 32, 0},
        {"6 x 6 in whole blocks", Dxt("DXT1", 6, 6), 32, 0},
        {"2 x 2 takes one block", Dxt("DXT5", 2, 2), 16, 0},
        {"5 x 1 in two blocks", Dxt("DXT3", 5, 1), 32, 0},
    };
    cases[4].fields.caps &= ~0x8u;
    int before = GetAllocCount();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(0, DecodeDds(MakeDds(c.fields, c.bytes), &image));
        EXPECT_EQ(c.mipCount, image.mipCount);
        EXPECT_EQ(0, memcmp(MakeDds(c.fields, c.bytes).data() + 128, image.pixels, c.bytes));
        FreeRasterImage(&image);
        EXPECT_EQ(-1, DecodeDds(MakeDds(c.fields, c.bytes - 1), &image));
    }

    // Uncompressed levels shrink to a quarter with no minimum.
    DdsFields argb;
    argb.pfFlags = 0x41;
    argb.bits = 32;
    argb.masks[0] = 0xFF0000;
    argb.masks[1] = 0xFF00;
    argb.masks[2] = 0xFF;
    argb.masks[3] = 0xFF000000;
    argb.width = argb.height = 2;
    argb.flags |= 0x20000;
    argb.caps |= 0x400008;
    argb.mips = 3;   // cut to the two levels of a 2 x 2 chain: 16 + 4 bytes
    ASSERT_EQ(0, DecodeDds(MakeDds(argb, 20), &image));
    EXPECT_EQ(2, image.mipCount);
    FreeRasterImage(&image);
    EXPECT_EQ(-1, DecodeDds(MakeDds(argb, 19), &image));
    EXPECT_EQ(before, GetAllocCount());
}

TEST(DdsDecoder, HeaderRules)
{
    RasterImage image;
    DdsFields argb;
    argb.pfFlags = 0x41;
    argb.bits = 32;
    argb.masks[0] = 0xFF0000;
    argb.masks[1] = 0xFF00;
    argb.masks[2] = 0xFF;
    argb.masks[3] = 0xFF000000;

    // Only "DDS" of the magic counts.
    std::vector<uint8_t> file = MakeDds(argb, 256);
    file[3] = 'X';
    ASSERT_EQ(0, DecodeDds(file, &image));
    EXPECT_EQ(32, image.pitch);
    FreeRasterImage(&image);

    // DDPF_RGB without alpha pixels is refused; with them the masks are read.
    DdsFields xrgb = argb;
    xrgb.pfFlags = 0x40;
    xrgb.masks[3] = 0;
    EXPECT_EQ(-1, DecodeDds(MakeDds(xrgb, 256), &image));

    // A numbered format needs the flags to be exactly DDPF_FOURCC.
    DdsFields numbered;
    numbered.flags |= 0x8;
    numbered.pitch = 32;
    numbered.fourCC = 21;
    ASSERT_EQ(0, DecodeDds(MakeDds(numbered, 256), &image));
    EXPECT_EQ(0xFF000000u, image.format.alphaMask);
    EXPECT_EQ(32, image.format.bitDepth);
    FreeRasterImage(&image);

    // A pitch longer than a row is kept.
    numbered.pitch = 40;
    ASSERT_EQ(0, DecodeDds(MakeDds(numbered, 320), &image));
    EXPECT_EQ(40, image.pitch);
    FreeRasterImage(&image);
    numbered.pitch = 32;

    struct Case {
        const char* what;
        DdsFields fields;
    } cases[] = {
        {"format 28", numbered}, {"format number with alpha flag", numbered}, {"unknown FourCC", Dxt("DXT6", 8, 8)},
        {"bit count 0", argb},   {"bit count 12", argb},  {"bit count 40", argb},
        {"zero width", argb},    {"zero height", argb},   {"pitch shorter than a row", numbered},
        {"side too large", Dxt("DXT1", 0x80000000, 4)},   {"picture too large", Dxt("DXT5", 65536, 65536)},
    };
    cases[0].fields.fourCC = 28;
    cases[1].fields.pfFlags = 0x5;
    cases[3].fields.bits = 0;
    cases[4].fields.bits = 12;
    cases[5].fields.bits = 40;
    cases[6].fields.width = 0;
    cases[7].fields.height = 0;
    cases[8].fields.pitch = 31;
    int before = GetAllocCount();
    for (const Case& c : cases) {
        EXPECT_EQ(-1, DecodeDds(MakeDds(c.fields, 256), &image)) << c.what;
        EXPECT_EQ(nullptr, image.pixels) << c.what;
    }
    std::vector<uint8_t> cut = MakeDds(argb, 0);
    cut.resize(100);
    EXPECT_EQ(-1, DecodeDds(cut, &image));
    EXPECT_EQ(before, GetAllocCount());
}
