// DXT decompression and the raster-image operations after it. The input is a
// compression byte (1 to 5 are DXT1 to DXT5; others are refused or taken as
// plain), a width and a height byte, the size of a second image and the
// offsets of a copy into it, the pixel of each block to check, then the block
// data, repeated as needed to fill the blocks (sides rounded up to 4).
//
// The decompressed image holds the pixels the single-pixel decoder gives
// (a last block cut by the image's edge included); mirroring and turning twice give the image back;
// halving, copying and scaling into another format stay inside their images.
#include <string.h>

#include <vector>

#include "image/dxt.h"
#include "image/raster_blit.h"
#include "image/raster_image.h"
#include "tests/native/fuzz/fuzz_support.h"

namespace {

const int MaxSide = 64;

uint32_t Pixel32(const RasterImage& image, int x, int y)
{
    uint32_t v;
    memcpy(&v, (const uint8_t*)image.pixels + (ptrdiff_t)y * image.pitch + (ptrdiff_t)x * 4, 4);
    return v;
}

bool SamePixels(const RasterImage& a, const std::vector<uint8_t>& copy)
{
    return copy.empty() || memcmp(a.pixels, copy.data(), copy.size()) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TrackedMemoryScope scope;
    FuzzReader in(data, size);
    uint32_t compression = in.Byte() % 8;
    int width = in.Below(MaxSide + 1), height = in.Below(MaxSide + 1);
    int ow = 1 + in.Below(MaxSide), oh = 1 + in.Below(MaxSide);
    int sx = in.Below(2 * MaxSide) - MaxSide, sy = in.Below(2 * MaxSide) - MaxSide;
    int dx = in.Below(2 * MaxSide) - MaxSide, dy = in.Below(2 * MaxSide) - MaxSide;
    int bilinear = in.Flag();
    int probeX = in.Below(4), probeY = in.Below(4);

    RasterImage image;
    memset(&image, 0, sizeof image);
    MakeColorFormat(&image.format, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    image.format.compression = compression;
    image.format.bitDepth = compression == COLOR_COMPRESSION_DXT1 ? 4 : 8;
    image.width = width;
    image.height = height;
    // The blocks, exactly: the decoder reads no more.
    int blockBytes = compression == COLOR_COMPRESSION_DXT1 ? 8 : 16;
    size_t blocksSize = (size_t)((width + 3) / 4) * ((height + 3) / 4) * blockBytes;
    image.pixels = AllocTracked(blocksSize, "fuzz", __LINE__);
    FUZZ_CHECK(image.pixels);
    for (size_t i = 0; in.RestSize() && i < blocksSize; i++)
        ((uint8_t*)image.pixels)[i] = in.Rest()[i % in.RestSize()];

    // One pixel of each block through the single-pixel decoder (which
    // decodes the whole block for it), at a place in the block that the
    // input chooses; every pixel outside the image is refused.
    bool known = compression >= COLOR_COMPRESSION_DXT1 && compression <= COLOR_COMPRESSION_DXT5;
    std::vector<uint32_t> expected((size_t)width * height, 0);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            if (x % 4 != probeX || y % 4 != probeY)
                continue;
            uint32_t argb = 0;
            int result = DecodeDxtPixel(&image, x, y, &argb);
            FUZZ_CHECK(result == (known ? 0 : -1));
            if (result == 0)
                expected[(size_t)y * width + x] = argb;
        }
    uint32_t outside;
    FUZZ_CHECK(DecodeDxtPixel(&image, -1, 0, &outside) == -1);
    FUZZ_CHECK(DecodeDxtPixel(&image, 0, height, &outside) == -1);
    FUZZ_CHECK(DecodeDxtPixel(&image, width, 0, &outside) == -1);

    int result = DecompressDxtRasterImage(&image);
    if (compression == COLOR_COMPRESSION_NONE) {
        FUZZ_CHECK(result == 0);
    } else if (!known) {
        FUZZ_CHECK(result == -1);
    } else {
        FUZZ_CHECK(result == 0);
        FUZZ_CHECK(image.format.compression == COLOR_COMPRESSION_NONE && image.pitch == width * 4);
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++) {
                if (x % 4 == probeX && y % 4 == probeY)
                    FUZZ_CHECK(Pixel32(image, x, y) == expected[(size_t)y * width + x]);
            }

        std::vector<uint8_t> copy((const uint8_t*)image.pixels,
                                  (const uint8_t*)image.pixels + (size_t)image.pitch * height);
        if (width > 0 && height > 0) {
            FUZZ_CHECK(FlipImageHorizontal(&image) == 0 && FlipImageHorizontal(&image) == 0);
            FUZZ_CHECK(SamePixels(image, copy));
        }
        FUZZ_CHECK(RotateImage180(&image) == 0 && RotateImage180(&image) == 0);
        FUZZ_CHECK(SamePixels(image, copy));

        int evenW = width > 1 ? width / 2 * 2 : width, evenH = height > 1 ? height / 2 * 2 : height;
        RasterImage half;
        memset(&half, 0, sizeof half);
        if (CreateImageLike(evenW > 1 ? evenW / 2 : evenW, evenH > 1 ? evenH / 2 : evenH, &image, &half) == 0) {
            FUZZ_CHECK(ShrinkImageHalf(&image.format, half.pixels, half.pitch, image.pixels, image.pitch, 0, 0, 0, 0,
                                       evenW, evenH) == 0);
            FreeRasterImage(&half);
        }

        // Into a 16-bit image of another size, shifted by the input's bytes.
        RasterImage other;
        memset(&other, 0, sizeof other);
        MakeColorFormat(&other.format, 16, 0xF800, 0x07E0, 0x001F, 0);
        FUZZ_CHECK(CreateImageLike(ow, oh, &other, &other) == 0);
        FUZZ_CHECK(BltRasterImage(sx, sy, width, height, dx, dy, &image, &other) == 0);
        if (width > 0 && height > 0)
            FUZZ_CHECK(ScaleBltRasterImage(0, 0, width, height, &image, 0, 0, ow, oh, &other, bilinear) == 0);
        FreeRasterImage(&other);
    }
    FreeRasterImage(&image);
    return 0;
}
