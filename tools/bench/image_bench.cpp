// Speed of the image core: the converter's fixed pairs against its general
// path, the 16-bit repacking with and without MMX, DXT decompression and BMP
// decoding of a 1024 x 1024 picture. Each line ends with the ceiling: memcpy
// of the same bytes (the larger of the two pictures, the file for decoding).
//   image_bench.exe
#include <windows.h>

#include <stdio.h>
#include <string.h>
#include <vector>

#include "image/convert.h"
#include "image/dxt.h"
#include "image/image_loader.h"
#include "runtime/memory.h"
#include "runtime/system_state.h"
#include "tools/bench/bench_clock.h"

static const int Side = 1024;

// M pixels per second when each 1024 x 1024 picture is a memcpy of `bytes`.
static double MemcpyRate(size_t bytes, int rounds)
{
    std::vector<uint8_t> from(bytes), to(bytes);
    for (size_t i = 0; i < bytes; i++)
        from[i] = (uint8_t)(i * 2654435761u >> 13);
    memcpy(to.data(), from.data(), bytes);   // touch the pages before timing
    double start = Now();
    for (int i = 0; i < rounds; i++) {
        memcpy(to.data(), from.data(), bytes);
        // A changed byte keeps the rounds from being merged.
        from[(size_t)i % bytes] ^= to[bytes - 1 - (size_t)i % bytes];
    }
    double seconds = Now() - start;
    if (to[0] == from[0] + 1)   // keeps the copies in use
        printf(" ");
    return (double)Side * Side * rounds / seconds / 1e6;
}

static void Report(const char* what, const char* name, double seconds, int rounds, size_t bytes)
{
    printf("%-8s %-42s %7.1f M pixels/s   memcpy %7.1f\n", what, name, (double)Side * Side * rounds / seconds / 1e6,
           MemcpyRate(bytes, rounds));
}

static ColorFormat Format(int depth, uint32_t r, uint32_t g, uint32_t b, uint32_t a)
{
    ColorFormat f;
    memset(&f, 0, sizeof f);
    MakeColorFormat(&f, depth, r, g, b, a);
    for (int i = 0; i < 256; i++)
        f.palette[i] = (uint32_t)i * 0x010305u & 0xFFFFFF;
    return f;
}

static void Convert(const char* name, const ColorFormat& src, const ColorFormat& dst, int keyToAlpha, int dither)
{
    std::vector<uint8_t> s((size_t)Side * Side * src.bytesPerPixel), d((size_t)Side * Side * dst.bytesPerPixel);
    for (size_t i = 0; i < s.size(); i++)
        s[i] = (uint8_t)(i * 2654435761u >> 13);
    ConvertRect rect = {0, 0, Side, Side};
    const int rounds = 20;
    double start = Now();
    for (int i = 0; i < rounds; i++)
        ConvertImageBlt(d.data(), Side * dst.bytesPerPixel, &dst, s.data(), Side * src.bytesPerPixel, &src, nullptr, 0,
                        nullptr, 0, 0, &rect, 0, keyToAlpha, 0x00FF00, dither, 0, 0, 0, 0);
    double seconds = Now() - start;
    Report("convert", name, seconds, rounds, s.size() > d.size() ? s.size() : d.size());
}

static void Dxt()
{
    std::vector<uint8_t> blocks((size_t)Side * Side);   // DXT5: one byte a pixel
    for (size_t i = 0; i < blocks.size(); i++)
        blocks[i] = (uint8_t)(i * 2654435761u >> 11);
    const int rounds = 10;
    double seconds = 0;
    for (int i = 0; i < rounds; i++) {
        RasterImage image;
        memset(&image, 0, sizeof image);
        SetColorFormatARGB32(&image.format);
        image.format.compression = COLOR_COMPRESSION_DXT5;
        image.width = image.height = Side;
        image.pixels = AllocTracked(blocks.size(), "bench", 0);
        memcpy(image.pixels, blocks.data(), blocks.size());
        double start = Now();
        DecompressDxtRasterImage(&image);
        seconds += Now() - start;
        FreeRasterImage(&image);
    }
    Report("DXT5", "decompression", seconds, rounds, (size_t)Side * Side * 4);
}

static void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        b[at + i] = (uint8_t)(v >> (8 * i));
}

static std::vector<uint8_t> Bmp(int bits, int compression, const std::vector<uint8_t>& pixels)
{
    std::vector<uint8_t> b(54 + (bits == 8 ? 1024 : 0), 0);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 10, (uint32_t)b.size());
    Put32(b, 14, 40);
    Put32(b, 18, Side);
    Put32(b, 22, Side);
    b[26] = 1;
    b[28] = (uint8_t)bits;
    Put32(b, 30, (uint32_t)compression);
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

static void Decode(const char* name, const std::vector<uint8_t>& file)
{
    const int rounds = 10;
    double start = Now();
    for (int i = 0; i < rounds; i++) {
        RasterImage image;
        if (LoadImageToRasterImage(nullptr, file.data(), (int)file.size(), 1, &image, 0) != 0) {
            printf("%s: not decoded\n", name);
            return;
        }
        FreeRasterImage(&image);
    }
    double seconds = Now() - start;
    Report("BMP", name, seconds, rounds, file.size());
}

int main()
{
    ColorFormat pal8 = Format(8, 0xFF0000, 0xFF00, 0xFF, 0);
    ColorFormat rgb24 = Format(24, 0xFF0000, 0xFF00, 0xFF, 0);
    ColorFormat x888 = Format(32, 0xFF0000, 0xFF00, 0xFF, 0);
    ColorFormat a888 = Format(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    ColorFormat r565 = Format(16, 0xF800, 0x7E0, 0x1F, 0);
    ColorFormat x555 = Format(16, 0x7C00, 0x3E0, 0x1F, 0);
    ColorFormat a444 = Format(16, 0xF00, 0xF0, 0xF, 0xF000);

    Convert("8-bit palette to X8R8G8B8 (fixed)", pal8, x888, 0, 0);
    Convert("24 to A8R8G8B8 keyed (fixed)", rgb24, a888, 1, 0);
    Convert("24 to R5G6B5 (fixed)", rgb24, r565, 0, 0);
    Convert("X8R8G8B8 to A8R8G8B8 keyed (layout)", x888, a888, 1, 0);
    Convert("A8R8G8B8 copy (same format)", a888, a888, 0, 0);
    int savedMmx = SystemState.kept.mmx;
    SystemState.kept.mmx = 0;
    Convert("R5G6B5 to X1R5G5B5 (two a step)", r565, x555, 0, 0);
    SystemState.kept.mmx = 1;
    Convert("R5G6B5 to X1R5G5B5 (MMX)", r565, x555, 0, 0);
    SystemState.kept.mmx = savedMmx;
    Convert("R5G6B5 to A8R8G8B8 (general)", r565, a888, 0, 0);
    Convert("8-bit palette to A4R4G4B4 keyed (general)", pal8, a444, 1, 0);
    Convert("A8R8G8B8 to A4R4G4B4 ordered (general)", a888, a444, 0, 1);
    Dxt();

    std::vector<uint8_t> rgb((size_t)Side * Side * 3);
    for (size_t i = 0; i < rgb.size(); i++)
        rgb[i] = (uint8_t)(i * 2654435761u >> 13);
    Decode("24-bit bottom-up", Bmp(24, 0, rgb));
    std::vector<uint8_t> rle;
    // Each row: runs of 100 pixels and literals of 28, then the end of line.
    for (int y = 0; y < Side; y++) {
        for (int x = 0; x < Side; x += 128) {
            rle.insert(rle.end(), {100, (uint8_t)(x / 128), 0, 28});
            for (int k = 0; k < 28; k++)
                rle.push_back((uint8_t)(y + k));
        }
        rle.insert(rle.end(), {0, 0});
    }
    rle.insert(rle.end(), {0, 1});
    Decode("RLE8", Bmp(8, 1, rle));
    std::vector<uint8_t> sixteen((size_t)Side * Side * 2);
    for (size_t i = 0; i < sixteen.size(); i++)
        sixteen[i] = (uint8_t)(i * 2654435761u >> 13);
    Decode("16-bit through GDI", Bmp(16, 0, sixteen));
    return 0;
}
