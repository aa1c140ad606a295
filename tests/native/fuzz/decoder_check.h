// The check the image decoders' fuzz targets share: decode one input through
// a memory stream, read every byte of a picture that decodes (decompressing
// DXT data first), and insist that a refusal leaves the image empty and that
// nothing stays allocated.
#pragma once

#include <string.h>

#include "image/dxt.h"
#include "image/image_decoders.h"
#include "tests/native/fuzz/fuzz_support.h"

inline void CheckDecoder(ImageDecoder decoder, const uint8_t* data, size_t size)
{
    TrackedMemoryScope scope;
    if (size > 0x7FFFFFFF)
        return;
    StreamDescriptor stream;
    stream.ops = *GetMemoryStreamFunctions();
    stream.handle = OpenMemoryStream(data, (int)size);
    FUZZ_CHECK(stream.handle != 0);
    RasterImage image;
    memset(&image, 0, sizeof image);
    if (decoder(&stream, &image) == 0) {
        FUZZ_CHECK(image.pixels && image.width >= 0 && image.height >= 0);
        if (image.format.compression != 0)
            FUZZ_CHECK(DecompressDxtRasterImage(&image) == 0);
        int bytesPerPixel = image.format.bytesPerPixel;
        FUZZ_CHECK(bytesPerPixel >= 1 && bytesPerPixel <= 4);
        FUZZ_CHECK((int64_t)image.pitch >= (int64_t)image.width * bytesPerPixel);
        const uint8_t* pixels = (const uint8_t*)image.pixels;
        unsigned sum = 0;
        for (int y = 0; y < image.height; y++)
            for (int x = 0; x < image.width * bytesPerPixel; x++)
                sum += pixels[(size_t)y * image.pitch + x];
        (void)sum;
        FreeRasterImage(&image);
    } else {
        FUZZ_CHECK(image.pixels == nullptr);
    }
    stream.ops.close(stream.handle);
}
