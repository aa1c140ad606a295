// Every TGA, PNG, JPEG, BGRA and DDS fixture, cut at every length and with
// single header bytes changed, through every decoder: no crash, and nothing
// left allocated by a refusal or after the picture is freed.
#include <gtest/gtest.h>
#include <string.h>

#include <vector>

#include "image/image_decoders.h"
#include "runtime/memory.h"
#include "tests/image/image_fixtures.h"

namespace {

const char* const Fixtures[] = {
    "tga_t1_bl.tga", "tga_t1_tr.tga", "tga_t1_16.tga", "tga_t1_32.tga", "tga_t2_bl.tga", "tga_t2_br.tga",
    "tga_t2_16.tga", "tga_t2_32.tga", "tga_t9_tl.tga", "tga_t9_16.tga", "tga_t9_32.tga", "tga_t10_tr.tga",
    "tga_t10_16.tga", "tga_t10_32.tga", "tga_t10_32_footer.tga",
    "png_g1.png", "png_g2.png", "png_g4.png", "png_g8.png", "png_g16.png", "png_ga8.png", "png_ga16.png",
    "png_rgb8.png", "png_rgb16.png", "png_rgba8.png", "png_rgba16.png", "png_p1.png", "png_p2.png", "png_p4.png",
    "png_p8.png", "png_rgb8_interlaced.png", "png_g2_interlaced.png", "png_p4_interlaced.png", "png_p8_trns.png",
    "png_rgb8_trns.png", "png_g8_trns.png",
    "jpeg_rgb.jpg", "jpeg_progressive.jpg", "jpeg_grey.jpg", "jpeg_cmyk.jpg",
    "bgra8.bgra", "bgra16.bgra",
    "dds_dxt1.dds", "dds_dxt3.dds", "dds_dxt5.dds", "dds_dxt1_mips.dds", "dds_d3d20.dds", "dds_d3d23.dds",
    "dds_d3d27.dds", "dds_argb32.dds", "dds_mask565.dds", "dds_argb32_mips.dds",
};

// The decoders of the loader's list.
const ImageDecoder Decoders[] = {LoadBmpImage, LoadJpegImage, LoadPngImage, LoadBgraImage, LoadTgaImage, LoadDdsImage};

// Every decoder on the data: a picture that decodes has pixels and a size;
// a refusal leaves no pixels.
void DecodeWithEach(const std::vector<uint8_t>& data)
{
    for (ImageDecoder decoder : Decoders) {
        RasterImage image;
        if (DecodeBlock(data, &image, decoder) == 0) {
            EXPECT_NE(nullptr, image.pixels);
            EXPECT_GE(image.width, 0);
            EXPECT_GE(image.height, 0);
            FreeRasterImage(&image);
        } else {
            EXPECT_EQ(nullptr, image.pixels);
        }
    }
}

} // namespace

TEST(DecoderDamage, EveryTruncation)
{
    int before = GetAllocCount();
    for (const char* name : Fixtures) {
        SCOPED_TRACE(name);
        std::vector<uint8_t> file = ReadFixture(name);
        for (size_t length = 0; length < file.size(); length++)
            DecodeWithEach(std::vector<uint8_t>(file.begin(), file.begin() + length));
    }
    EXPECT_EQ(before, GetAllocCount());
    EXPECT_EQ(0, CheckAllocRecords());
}

TEST(DecoderDamage, CorruptedHeaderBytes)
{
    int before = GetAllocCount();
    const uint8_t values[] = {0x00, 0x01, 0x7F, 0x80, 0xFF};
    for (const char* name : Fixtures) {
        SCOPED_TRACE(name);
        std::vector<uint8_t> file = ReadFixture(name);
        size_t end = file.size() < 132 ? file.size() : 132;   // the DDS header is 128 bytes
        for (size_t at = 0; at < end; at++)
            for (uint8_t v : values) {
                std::vector<uint8_t> bad = file;
                bad[at] = v;
                DecodeWithEach(bad);
            }
    }
    EXPECT_EQ(before, GetAllocCount());
    EXPECT_EQ(0, CheckAllocRecords());
}
