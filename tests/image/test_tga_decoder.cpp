// The TGA decoder: the picture in every type, origin and depth, the header's
// rules, colour maps, run-length packets and footers.
#include <gtest/gtest.h>
#include <string.h>

#include <vector>

#include "image/image_decoders.h"
#include "runtime/memory.h"
#include "tests/image/image_fixtures.h"

namespace {

// An 18-byte header, then `body` (ID field, map and data as given).
std::vector<uint8_t> MakeTga(uint8_t type, uint16_t width, uint16_t height, uint8_t depth, uint8_t descriptor,
                             const std::vector<uint8_t>& body, uint16_t mapFirst = 0, uint16_t mapLength = 0,
                             uint8_t mapBits = 0)
{
    std::vector<uint8_t> b = {0, (uint8_t)(mapLength ? 1 : 0), type,
                              (uint8_t)mapFirst, (uint8_t)(mapFirst >> 8), (uint8_t)mapLength, (uint8_t)(mapLength >> 8),
                              mapBits, 0, 0, 0, 0,
                              (uint8_t)width, (uint8_t)(width >> 8), (uint8_t)height, (uint8_t)(height >> 8),
                              depth, descriptor};
    for (uint8_t v : body)   // (GCC 12 misreads an insert at the header's end as an overrun)
        b.push_back(v);
    return b;
}

const uint8_t Footer[26] = {0, 0, 0, 0, 0, 0, 0, 0, 'T', 'R', 'U', 'E', 'V', 'I', 'S', 'I', 'O', 'N',
                            '-', 'X', 'F', 'I', 'L', 'E', '.', 0};

uint32_t Pixel24(const RasterImage& image, int x, int y)
{
    const uint8_t* p = (const uint8_t*)image.pixels + y * image.pitch + 3 * x;
    return (uint32_t)p[2] << 16 | p[1] << 8 | p[0];
}

} // namespace

TEST(TgaDecoder, EveryTypeOriginAndDepthHoldsThePicture)
{
    int before = GetAllocCount();
    for (int type : {1, 2, 9, 10}) {
        for (const char* suffix : {"bl", "tl", "br", "tr", "16", "32"}) {
            std::string name = "tga_t" + std::to_string(type) + "_" + suffix + ".tga";
            SCOPED_TRACE(name);
            int depth = strcmp(suffix, "16") == 0 ? 16 : strcmp(suffix, "32") == 0 ? 32 : 24;
            RasterImage image;
            ASSERT_EQ(0, DecodeBlock(ReadFixture(name.c_str()), &image, LoadTgaImage));
            EXPECT_EQ(depth, image.format.bitDepth);
            EXPECT_EQ(depth / 8, image.format.bytesPerPixel);
            EXPECT_EQ(PictureWidth * depth / 8, image.pitch);   // rows packed
            EXPECT_EQ(0u, image.format.compression);
            EXPECT_EQ(0u, image.format.palette[1]);
            // 16-bit colours keep five bits a channel; the attribute bit,
            // set in every fixture pixel, is unused.
            ExpectPictureColours(&image, depth == 16 ? 0xF8F8F8 : 0xFFFFFF);
            if (depth == 16) {
                EXPECT_EQ(0x8000u, image.format.unusedMask);
                EXPECT_EQ(0u, image.format.alphaMask);
            }
            uint32_t a;
            if (depth == 32) {
                // Mapped files take their alpha from the map (all opaque).
                ASSERT_EQ(0, GetRasterImagePixel(&image, 4, 3, nullptr, nullptr, nullptr, &a));
                EXPECT_EQ(type == 1 || type == 9 ? 255u : PictureAlpha(4, 3), a);
            }
            FreeRasterImage(&image);
        }
    }
    RasterImage image;
    ASSERT_EQ(0, DecodeBlock(ReadFixture("tga_t10_32_footer.tga"), &image, LoadTgaImage));
    ExpectPictureColours(&image);
    FreeRasterImage(&image);
    EXPECT_EQ(before, GetAllocCount());
}

TEST(TgaDecoder, OriginsGiveIdenticalImages)
{
    RasterImage reference;
    ASSERT_EQ(0, DecodeBlock(ReadFixture("tga_t2_tl.tga"), &reference, LoadTgaImage));
    for (const char* name : {"tga_t2_bl.tga", "tga_t2_br.tga", "tga_t2_tr.tga", "tga_t10_tr.tga", "tga_t9_br.tga"}) {
        RasterImage image;
        ASSERT_EQ(0, DecodeBlock(ReadFixture(name), &image, LoadTgaImage)) << name;
        EXPECT_EQ(0, memcmp(&reference.format, &image.format, sizeof image.format)) << name;
        EXPECT_EQ(0, memcmp(reference.pixels, image.pixels, (size_t)reference.pitch * reference.height)) << name;
        FreeRasterImage(&image);
    }
    FreeRasterImage(&reference);

    // A 2 x 2 picture with columns a b / c d stored in each order.
    const uint8_t a = 1, b = 2, c = 3, d = 4;
    struct Case {
        uint8_t descriptor;
        uint8_t stored[4];
    } cases[] = {{0x20, {a, b, c, d}}, {0x00, {c, d, a, b}}, {0x30, {b, a, d, c}}, {0x10, {d, c, b, a}}};
    for (const Case& k : cases) {
        std::vector<uint8_t> body;
        for (uint8_t v : k.stored)
            body.insert(body.end(), {v, 0, 0});
        RasterImage image;
        ASSERT_EQ(0, DecodeBlock(MakeTga(2, 2, 2, 24, k.descriptor, body), &image, LoadTgaImage));
        EXPECT_EQ(a, Pixel24(image, 0, 0)) << (int)k.descriptor;
        EXPECT_EQ(b, Pixel24(image, 1, 0)) << (int)k.descriptor;
        EXPECT_EQ(c, Pixel24(image, 0, 1)) << (int)k.descriptor;
        EXPECT_EQ(d, Pixel24(image, 1, 1)) << (int)k.descriptor;
        FreeRasterImage(&image);
    }
}

TEST(TgaDecoder, HeaderRules)
{
    std::vector<uint8_t> pixel = {1, 2, 3};
    struct Case {
        const char* what;
        std::vector<uint8_t> file;
        int result;
    } cases[] = {
        {"plain", MakeTga(2, 1, 1, 24, 0x20, pixel), 0},
        {"type 0", MakeTga(0, 1, 1, 24, 0x20, pixel), -1},
        {"type 3 (grey)", MakeTga(3, 1, 1, 24, 0x20, pixel), -1},
        {"type 11", MakeTga(11, 1, 1, 24, 0x20, pixel), -1},
        {"depth 8", MakeTga(2, 1, 1, 8, 0x20, {1, 2, 3}), -1},
        {"depth 15", MakeTga(2, 1, 1, 15, 0x20, pixel), -1},
        {"zero width", MakeTga(2, 0, 1, 24, 0x20, pixel), -1},
        {"zero height", MakeTga(2, 1, 0, 24, 0x20, pixel), -1},
        {"mapped with an 8-bit map", MakeTga(1, 1, 1, 8, 0x20, {0, 9}, 0, 1, 8), -1},
        {"pixels missing", MakeTga(2, 2, 1, 24, 0x20, pixel), -1},
        {"map missing", MakeTga(1, 1, 1, 8, 0x20, {0}, 0, 2, 24), -1},
        {"header only", MakeTga(2, 1, 1, 24, 0x20, {}), -1},
    };
    int before = GetAllocCount();
    for (const Case& c : cases) {
        RasterImage image;
        EXPECT_EQ(c.result, DecodeBlock(c.file, &image, LoadTgaImage)) << c.what;
        FreeRasterImage(&image);
    }
    // Origins: a bottom-left writer's y origin equal to the height is refused.
    std::vector<uint8_t> file = MakeTga(2, 1, 1, 24, 0x20, pixel);
    for (int at : {8, 10}) {
        std::vector<uint8_t> bad = file;
        bad[at] = 1;
        RasterImage image;
        EXPECT_EQ(-1, DecodeBlock(bad, &image, LoadTgaImage)) << at;
        EXPECT_EQ(nullptr, image.pixels);
    }
    EXPECT_EQ(before, GetAllocCount());
}

TEST(TgaDecoder, SidesUpTo8192)
{
    // One RLE row: 64 run packets of 128 pixels make 8192, one more pixel 8193.
    std::vector<uint8_t> runs;
    for (int i = 0; i < 64; i++)
        runs.insert(runs.end(), {0xFF, 5, 6, 7});
    RasterImage image;
    ASSERT_EQ(0, DecodeBlock(MakeTga(10, 8192, 1, 24, 0x20, runs), &image, LoadTgaImage));
    EXPECT_EQ(0x070605u, Pixel24(image, 8191, 0));
    FreeRasterImage(&image);
    runs.insert(runs.end(), {0x80, 5, 6, 7});
    EXPECT_EQ(-1, DecodeBlock(MakeTga(10, 8193, 1, 24, 0x20, runs), &image, LoadTgaImage));
    EXPECT_EQ(-1, DecodeBlock(MakeTga(10, 1, 8193, 24, 0x20, runs), &image, LoadTgaImage));

    // A few bytes cannot stand for 8192 x 8192 pixels: refused before any
    // picture memory is taken.
    int before = GetAllocCount();
    EXPECT_EQ(-1, DecodeBlock(MakeTga(10, 8192, 8192, 32, 0x20, {0xFF, 1, 2, 3, 4}), &image, LoadTgaImage));
    EXPECT_EQ(before, GetAllocCount());
}

TEST(TgaDecoder, ColourMaps)
{
    // Type 9 with a 2-entry map at entry 5: indices 5 and 6 take the stored
    // colours, every other index zero.
    std::vector<uint8_t> body = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};   // map entries 5, 6
    body.insert(body.end(), {0x02, 5, 6, 7, 0x80, 0});                   // raw 5 6 7, then 0
    RasterImage image;
    ASSERT_EQ(0, DecodeBlock(MakeTga(9, 4, 1, 8, 0x20, body, 5, 2, 24), &image, LoadTgaImage));
    EXPECT_EQ(0x332211u, Pixel24(image, 0, 0));
    EXPECT_EQ(0x665544u, Pixel24(image, 1, 0));
    EXPECT_EQ(0u, Pixel24(image, 2, 0));
    EXPECT_EQ(0u, Pixel24(image, 3, 0));
    FreeRasterImage(&image);

    // Types 1 and 9 read their map whatever the colour-map type says.
    std::vector<uint8_t> file = MakeTga(1, 1, 1, 8, 0x20, {9, 8, 7, 0}, 0, 1, 24);
    file[1] = 0;
    ASSERT_EQ(0, DecodeBlock(file, &image, LoadTgaImage));
    EXPECT_EQ(0x070809u, Pixel24(image, 0, 0));
    FreeRasterImage(&image);

    // A true-colour file skips its map.
    ASSERT_EQ(0, DecodeBlock(MakeTga(2, 1, 1, 24, 0x20, {9, 9, 9, 9, 1, 2, 3}, 0, 2, 16), &image, LoadTgaImage));
    EXPECT_EQ(0x030201u, Pixel24(image, 0, 0));
    FreeRasterImage(&image);

    // A map that ends at entry 256 is read; one past it is refused.
    std::vector<uint8_t> last = {1, 2, 3, 255};
    ASSERT_EQ(0, DecodeBlock(MakeTga(1, 1, 1, 8, 0x20, last, 255, 1, 24), &image, LoadTgaImage));
    EXPECT_EQ(0x030201u, Pixel24(image, 0, 0));
    FreeRasterImage(&image);
    std::vector<uint8_t> past = {1, 2, 3, 4, 5, 6, 255};
    EXPECT_EQ(-1, DecodeBlock(MakeTga(1, 1, 1, 8, 0x20, past, 255, 2, 24), &image, LoadTgaImage));
    EXPECT_EQ(-1, DecodeBlock(MakeTga(9, 1, 1, 8, 0x20, std::vector<uint8_t>(3 * 65535 + 2), 1, 65535, 24), &image,
                              LoadTgaImage));
}

TEST(TgaDecoder, RunLengthPacketsAreCutAtThePicture)
{
    int before = GetAllocCount();
    struct Case {
        const char* what;
        std::vector<uint8_t> packets;
        uint32_t row[3];
    } cases[] = {
        {"run past the last pixel", {0xFF, 1, 2, 3}, {0x030201, 0x030201, 0x030201}},
        {"raw packet past the last pixel", {0x05, 1, 0, 0, 2, 0, 0, 3, 0, 0, 4, 0, 0}, {1, 2, 3}},
        {"data ending inside a raw packet", {0x02, 1, 0, 0, 2, 0}, {1, 0, 0}},
        {"data ending after a run header", {0x80, 1, 0, 0, 0x81, 2}, {1, 0, 0}},
        {"a lone header", {0x85}, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RasterImage image;
        ASSERT_EQ(0, DecodeBlock(MakeTga(10, 3, 1, 24, 0x20, c.packets), &image, LoadTgaImage));
        for (int x = 0; x < 3; x++)
            EXPECT_EQ(c.row[x], Pixel24(image, x, 0)) << x;
        FreeRasterImage(&image);
    }
    EXPECT_EQ(before, GetAllocCount());
}

TEST(TgaDecoder, Footers)
{
    // The packets stop at the footer; with an extension area the footer's
    // bytes are read as data, which a finished picture ignores.
    std::vector<uint8_t> file = MakeTga(10, 2, 1, 24, 0x20, {0x81, 1, 2, 3});
    file.insert(file.end(), Footer, Footer + 26);
    for (uint8_t extension : {0, 1}) {
        file[file.size() - 26] = extension;
        RasterImage image;
        ASSERT_EQ(0, DecodeBlock(file, &image, LoadTgaImage));
        EXPECT_EQ(0x030201u, Pixel24(image, 1, 0));
        FreeRasterImage(&image);
    }

    RasterImage image;
    // A file shorter than a footer is read as it is.
    ASSERT_EQ(0, DecodeBlock(MakeTga(2, 1, 1, 24, 0x20, {4, 5, 6}), &image, LoadTgaImage));
    EXPECT_EQ(0x060504u, Pixel24(image, 0, 0));
    FreeRasterImage(&image);

    // RLE data that ends before the footer leaves the rest zero rather than
    // taking the footer as packets.
    std::vector<uint8_t> shortRle = MakeTga(10, 3, 1, 24, 0x20, {0x80, 1, 2, 3});
    shortRle.insert(shortRle.end(), Footer, Footer + 26);
    ASSERT_EQ(0, DecodeBlock(shortRle, &image, LoadTgaImage));
    EXPECT_EQ(0x030201u, Pixel24(image, 0, 0));
    EXPECT_EQ(0u, Pixel24(image, 1, 0));
    EXPECT_EQ(0u, Pixel24(image, 2, 0));
    FreeRasterImage(&image);
}
