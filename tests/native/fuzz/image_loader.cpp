// The image loader's own entry: the decoder chain tried in turn over a memory
// block, the mirror and the "_a" alpha image from a second block. The input is
// a flags byte (bit 0 mirror, bit 1 an alpha block), the colour block's length
// (32 bits, clipped to what follows), the colour block and then the alpha block.
//
// Whatever the blocks hold, a picture that loads has readable pixels of its
// size, a refusal leaves nothing behind, and all memory comes back.
#include <string.h>

#include "image/dxt.h"
#include "image/image_loader.h"
#include "tests/native/fuzz/fuzz_support.h"

namespace {

void ReadAll(RasterImage* image)
{
    FUZZ_CHECK(image->pixels && image->width >= 0 && image->height >= 0);
    if (image->format.compression != 0)
        FUZZ_CHECK(DecompressDxtRasterImage(image) == 0);
    int bytesPerPixel = image->format.bytesPerPixel;
    FUZZ_CHECK(bytesPerPixel >= 1 && bytesPerPixel <= 4);
    FUZZ_CHECK((int64_t)image->pitch >= (int64_t)image->width * bytesPerPixel);
    const uint8_t* pixels = (const uint8_t*)image->pixels;
    volatile unsigned sum = 0;
    for (int y = 0; y < image->height; y++)
        for (int x = 0; x < image->width * bytesPerPixel; x++)
            sum = sum + pixels[(size_t)y * image->pitch + x];
    FreeRasterImage(image);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TrackedMemoryScope scope;
    if (size > 1 << 22)
        return 0;
    FuzzReader in(data, size);
    uint8_t flags = in.Byte();
    uint32_t colourSize = in.Word32();
    if (colourSize > in.RestSize())
        colourSize = (uint32_t)in.RestSize();
    const uint8_t* colour = in.Rest();
    const uint8_t* alpha = colour + colourSize;
    uint32_t alphaSize = (uint32_t)(in.RestSize() - colourSize);
    int mirror = flags & 1;
    int alphaMode = flags & 2 ? 1 : 2;
    // The loader refuses a null block: an empty one still points somewhere.
    static const uint8_t empty[1] = {0};
    RasterImage image, alphaImage;
    memset(&image, 0, sizeof image);
    memset(&alphaImage, 0, sizeof alphaImage);
    int result = LoadImageWithAlpha(nullptr, colourSize ? colour : empty, (int)colourSize, 1,
                                    alphaSize ? alpha : empty, (int)alphaSize, alphaMode, &image, &alphaImage,
                                    mirror);
    FUZZ_CHECK(result >= -1 && result <= 1);
    if (result == -1)
        return 0;
    ReadAll(&image);
    if (result == 0)
        ReadAll(&alphaImage);
    else
        FUZZ_CHECK(alphaImage.pixels == nullptr);
    return 0;
}
