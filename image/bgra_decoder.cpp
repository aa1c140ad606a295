// The library's own raw "BGRA" pictures: a 16-byte header, then rows of
// 8-bit blue, green, red, alpha pixels, or of four 16-bit values a pixel whose
// high bytes are kept.
#include "image/image_decoders.h"

#include <string.h>

#include "image/decoder_input.h"
#include "runtime/memory.h"

namespace {

const uint32_t Code8 = 0x08080808;
const uint32_t Code16 = 0x10101010;

} // namespace

int LoadBgraImage(StreamDescriptor* stream, RasterImage* image)
{
    uint8_t header[16];
    if (!ReadStreamExact(stream, header, sizeof header) || memcmp(header, "BGRA", 4) != 0)
        return -1;
    uint32_t code = ReadLe32(header + 4);
    if (code != Code8 && code != Code16)
        return -1;
    uint32_t width = ReadLe32(header + 8), height = ReadLe32(header + 12);
    // Sides small enough for the 64-bit products below and a 32-bit pitch.
    // Rows of no pixels are only found in damaged files: refused, so that
    // nobody walks millions of empty rows.
    if (width > 0x7FFFFFFF / 8 || height > 0x7FFFFFFF || (width == 0 && height != 0))
        return -1;
    int64_t pixelBytes = (int64_t)width * height * 4;
    int64_t rowBytes = (int64_t)width * (code == Code8 ? 4 : 8);
    int64_t end = StreamEndPosition(stream);
    if (end < 0 || !SizeFits(pixelBytes, MaxDecodedBytes) || rowBytes > MaxDecodedBytes ||
        !SizeFits(rowBytes * height, StreamBytesLeft(stream, end)))
        return -1;

    uint8_t* pixels = (uint8_t*)AllocTracked(pixelBytes ? (size_t)pixelBytes : 1, "LoadBgraImage", __LINE__);
    if (!pixels)
        return -1;
    bool ok = true;
    if (code == Code8) {
        ok = ReadStreamExact(stream, pixels, (size_t)pixelBytes);
    } else if (height > 0) {
        uint8_t* row = (uint8_t*)AllocTracked(rowBytes ? (size_t)rowBytes : 1, "LoadBgraImage", __LINE__);
        ok = row != nullptr;
        for (uint32_t y = 0; ok && y < height; y++) {
            ok = ReadStreamExact(stream, row, (size_t)rowBytes);
            uint8_t* out = pixels + (size_t)y * width * 4;
            // Each 16-bit value's high byte: bytes 1, 3, 5, 7 of the pixel.
            for (uint32_t x = 0; ok && x < width; x++)
                for (int c = 0; c < 4; c++)
                    out[4 * x + c] = row[8 * x + 2 * c + 1];
        }
        if (row)
            FreeTracked(row);
    }
    if (!ok) {
        FreeTracked(pixels);
        return -1;
    }

    memset(&image->format, 0, sizeof image->format);
    SetColorFormatRGB24(&image->format);
    image->format.bitDepth = 32;
    image->format.bytesPerPixel = 4;
    image->format.alphaWidth = 8;
    image->format.alphaShift = 24;
    image->format.alphaMask = 0xFF000000;
    image->width = (int32_t)width;
    image->height = (int32_t)height;
    image->pitch = (int32_t)(width * 4);
    image->pixels = pixels;
    image->mipCount = 0;
    return 0;
}
