#include "image/dxt.h"

#include <string.h>

#include <algorithm>

#include "image/pixel_access.h"
#include "runtime/memory.h"

namespace {

struct Rgba {
    uint32_t r, g, b, a;
};

inline uint16_t Read16(const uint8_t* p) { return (uint16_t)(p[0] | p[1] << 8); }
inline uint32_t Read32(const uint8_t* p) { return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24; }

Rgba Expand565(uint16_t c)
{
    return Rgba{((c >> 11) & 0x1F) * 255u / 31, ((c >> 5) & 0x3F) * 255u / 63, (c & 0x1F) * 255u / 31, 255};
}

// The four colours of a colour block; DXT1 alone has the three-colour mode.
void ColorTable(const uint8_t* block, bool dxt1, Rgba table[4])
{
    uint16_t c0 = Read16(block), c1 = Read16(block + 2);
    Rgba e0 = Expand565(c0), e1 = Expand565(c1);
    table[0] = e0;
    table[1] = e1;
    if (!dxt1 || c0 > c1) {
        table[2] = Rgba{(2 * e0.r + e1.r) / 3, (2 * e0.g + e1.g) / 3, (2 * e0.b + e1.b) / 3, 255};
        table[3] = Rgba{(e0.r + 2 * e1.r) / 3, (e0.g + 2 * e1.g) / 3, (e0.b + 2 * e1.b) / 3, 255};
    } else {
        table[2] = Rgba{(e0.r + e1.r) / 2, (e0.g + e1.g) / 2, (e0.b + e1.b) / 2, 255};
        table[3] = table[2];
        table[3].a = 0;
    }
}

void AlphaTable(uint32_t a0, uint32_t a1, uint32_t table[8])
{
    table[0] = a0;
    table[1] = a1;
    if (a0 > a1) {
        for (uint32_t i = 1; i <= 6; i++)
            table[i + 1] = ((7 - i) * a0 + i * a1) / 7;
    } else {
        for (uint32_t i = 1; i <= 4; i++)
            table[i + 1] = ((5 - i) * a0 + i * a1) / 5;
        table[6] = 0;
        table[7] = 255;
    }
}

int BlockBytes(uint32_t compression)
{
    return compression == COLOR_COMPRESSION_DXT1 ? 8 : 16;
}

// Decodes one block into 16 pixels (row by row) as 0xAARRGGBB.
void DecodeBlock(const uint8_t* block, uint32_t compression, uint32_t out[16])
{
    bool dxt1 = compression == COLOR_COMPRESSION_DXT1;
    const uint8_t* colour = dxt1 ? block : block + 8;
    Rgba table[4];
    ColorTable(colour, dxt1, table);
    uint32_t indices = Read32(colour + 4);

    uint32_t alphas[16];
    bool hasAlphaBlock = false;
    if (compression == COLOR_COMPRESSION_DXT2 || compression == COLOR_COMPRESSION_DXT3) {
        uint64_t bits = (uint64_t)Read32(block) | (uint64_t)Read32(block + 4) << 32;
        for (int i = 0; i < 16; i++)
            alphas[i] = (uint32_t)((bits >> (4 * i)) & 0xF) * 17;
        hasAlphaBlock = true;
    } else if (compression == COLOR_COMPRESSION_DXT4 || compression == COLOR_COMPRESSION_DXT5) {
        uint32_t table8[8];
        AlphaTable(block[0], block[1], table8);
        uint64_t bits = 0;
        for (int i = 0; i < 6; i++)
            bits |= (uint64_t)block[2 + i] << (8 * i);
        for (int i = 0; i < 16; i++)
            alphas[i] = table8[(bits >> (3 * i)) & 7];
        hasAlphaBlock = true;
    }

    bool premultiplied = compression == COLOR_COMPRESSION_DXT2 || compression == COLOR_COMPRESSION_DXT4;
    for (int i = 0; i < 16; i++) {
        Rgba c = table[(indices >> (2 * i)) & 3];
        if (hasAlphaBlock)
            c.a = alphas[i];
        if (premultiplied && c.a != 0) {
            // Undo the premultiplication; a colour above its alpha saturates.
            c.r = c.r * 255 / c.a;
            c.g = c.g * 255 / c.a;
            c.b = c.b * 255 / c.a;
            if (c.r > 255) c.r = 255;
            if (c.g > 255) c.g = 255;
            if (c.b > 255) c.b = 255;
        }
        out[i] = c.a << 24 | c.r << 16 | c.g << 8 | c.b;
    }
}

} // namespace

int DecompressDxtRasterImage(RasterImage* image)
{
    uint32_t compression = image->format.compression;
    if (compression == COLOR_COMPRESSION_NONE)
        return 0;
    if (compression > COLOR_COMPRESSION_DXT5 || image->width < 0 || image->height < 0)
        return -1;
    int64_t size = (int64_t)image->width * 4 * image->height;
    if (size > 0x7FFFFFFF)
        return -1;
    // Cleared, so the columns and rows outside whole blocks are defined.
    uint8_t* out = (uint8_t*)AllocTrackedZero((size_t)size, "DecompressDxt", __LINE__);
    if (!out)
        return -1;

    int pitch = image->width * 4;
    // Files store whole blocks: a side that is no multiple of 4 ends in a
    // block whose outer pixels are dropped.
    int blocksX = (image->width + 3) / 4, blocksY = (image->height + 3) / 4;
    const uint8_t* block = (const uint8_t*)image->pixels;
    int step = BlockBytes(compression);
    for (int by = 0; by < blocksY; by++) {
        int rows = std::min(4, image->height - by * 4);
        for (int bx = 0; bx < blocksX; bx++, block += step) {
            uint32_t pixels[16];
            DecodeBlock(block, compression, pixels);
            int columns = std::min(4, image->width - bx * 4);
            for (int y = 0; y < rows; y++)
                memcpy(out + (ptrdiff_t)(by * 4 + y) * pitch + (ptrdiff_t)bx * 16, pixels + 4 * y,
                       (size_t)columns * 4);
        }
    }

    if (image->pixels)
        FreeTracked(image->pixels);
    image->pixels = out;
    SetColorFormatARGB32(&image->format);
    image->pitch = pitch;
    return 0;
}

int DecodeDxtPixel(const RasterImage* image, int x, int y, uint32_t* argb)
{
    uint32_t compression = image->format.compression;
    if (compression < COLOR_COMPRESSION_DXT1 || compression > COLOR_COMPRESSION_DXT5 || !image->pixels)
        return -1;
    int blocksX = (image->width + 3) / 4;
    if (x < 0 || y < 0 || x >= image->width || y >= image->height)
        return -1;
    const uint8_t* block = (const uint8_t*)image->pixels +
                           ((ptrdiff_t)(y / 4) * blocksX + x / 4) * BlockBytes(compression);
    uint32_t pixels[16];
    DecodeBlock(block, compression, pixels);
    *argb = pixels[(y % 4) * 4 + x % 4];
    return 0;
}
