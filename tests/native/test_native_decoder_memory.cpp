// What the PNG and JPEG decoders ask of the C heap for a short file that
// claims a large picture: the libraries allocate outside the tracked memory,
// so only the sanitizer's allocation hook sees a refused file's peak.
#include <gtest/gtest.h>
#include <sanitizer/allocator_interface.h>
#include <string.h>

#include <atomic>
#include <vector>

#include "image/image_decoders.h"
#include "tests/image/image_fixtures.h"

namespace {

std::atomic<bool> recording{false};
std::atomic<size_t> largest{0};

void OnMalloc(const volatile void*, size_t size)
{
    if (!recording.load())
        return;
    size_t seen = largest.load();
    while (size > seen && !largest.compare_exchange_weak(seen, size)) {
    }
}

void OnFree(const volatile void*) {}

// The largest single heap block asked for while the decoder ran.
size_t LargestBlockDuring(const std::vector<uint8_t>& file, ImageDecoder decoder, int* result)
{
    static bool installed = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
    EXPECT_TRUE(installed);
    RasterImage image;
    largest = 0;
    recording = true;
    *result = DecodeBlock(file, &image, decoder);
    recording = false;
    if (*result == 0)
        FreeRasterImage(&image);
    return largest.load();
}

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

} // namespace

TEST(NativeDecoderMemory, AShortPngClaimingManyRowsAllocatesNoRows)
{
    // The RGB fixture as 1,000,000 rows of 60 pixels (libpng's own limit on
    // rows, and within the 256 MiB picture limit): 181 MB of filtered rows
    // from a few hundred bytes of data.
    std::vector<uint8_t> file = ReadFixture("png_rgb8.png");
    const uint8_t size[8] = {0, 0, 0, 60, 0x00, 0x0F, 0x42, 0x40};   // IHDR's width and height at 16, big-endian
    memcpy(&file[16], size, 8);
    uint32_t sum = Crc32(&file[12], 17);
    for (int i = 0; i < 4; i++)
        file[29 + i] = (uint8_t)(sum >> (24 - 8 * i));
    int result = 0;
    size_t peak = LargestBlockDuring(file, LoadPngImage, &result);
    EXPECT_EQ(-1, result);
    EXPECT_LT(peak, (size_t)1 << 20) << "rows allocated for data the stream cannot hold";
}
