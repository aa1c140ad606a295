// Decoding speed of a 1280 x 720 picture as PNG, JPEG (quality 90), TGA
// (RLE and plain) and BMP through the loader (a memory block, so that only
// the decoding is timed), and for PNG and JPEG the loader's overhead over a
// plain libpng or libjpeg decode of the same file in this program.
//   decode_bench.exe
#include <windows.h>

#include <stdio.h>
#include <string.h>
#include <vector>

#include "image/image_loader.h"
#include "runtime/memory.h"
#include "tools/bench/bench_clock.h"
#include "tools/bench/decode_bench_codecs.h"

static const int Width = 1280, Height = 720, Rounds = 20;

// A picture with smooth areas, edges and some noise, as red, green, blue.
static std::vector<uint8_t> MakePicture()
{
    std::vector<uint8_t> rgb((size_t)Width * Height * 3);
    uint32_t seed = 12345;
    for (int y = 0; y < Height; y++)
        for (int x = 0; x < Width; x++) {
            seed = seed * 1103515245u + 12345u;
            uint8_t* p = &rgb[((size_t)y * Width + x) * 3];
            bool block = ((x / 64) + (y / 64)) % 3 == 0;
            p[0] = (uint8_t)(block ? 0 : x * 255 / Width);
            p[1] = (uint8_t)(block ? 255 : y * 255 / Height);
            p[2] = (uint8_t)((x ^ y) & 0x3F) + (uint8_t)(seed >> 29);
        }
    return rgb;
}

static void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    b[at] = (uint8_t)v;
    b[at + 1] = (uint8_t)(v >> 8);
}
static void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        b[at + i] = (uint8_t)(v >> (8 * i));
}

// 24-bit top-down TGA, plain (type 2) or run-length encoded (type 10).
static std::vector<uint8_t> MakeTga(const std::vector<uint8_t>& rgb, bool rle)
{
    std::vector<uint8_t> b(18, 0);
    b[2] = rle ? 10 : 2;
    Put16(b, 12, Width);
    Put16(b, 14, Height);
    b[16] = 24;
    b[17] = 0x20;
    size_t count = (size_t)Width * Height;
    for (size_t i = 0; i < count;) {
        size_t run = 1;
        if (rle)
            while (i + run < count && run < 128 && memcmp(&rgb[i * 3], &rgb[(i + run) * 3], 3) == 0)
                run++;
        if (rle)
            b.push_back((uint8_t)(run > 1 ? 0x80 | (run - 1) : 0));
        size_t n = rle && run > 1 ? 1 : run;
        for (size_t k = 0; k < n; k++) {
            const uint8_t* p = &rgb[(i + k) * 3];
            b.insert(b.end(), {p[2], p[1], p[0]});
        }
        i += run;
    }
    return b;
}

static std::vector<uint8_t> MakeBmp(const std::vector<uint8_t>& rgb)
{
    size_t row = ((size_t)Width * 3 + 3) & ~(size_t)3;
    std::vector<uint8_t> b(54 + row * Height, 0);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 2, (uint32_t)b.size());
    Put32(b, 10, 54);
    Put32(b, 14, 40);
    Put32(b, 18, Width);
    Put32(b, 22, Height);
    Put16(b, 26, 1);
    Put16(b, 28, 24);
    for (int y = 0; y < Height; y++)
        for (int x = 0; x < Width; x++) {
            const uint8_t* p = &rgb[((size_t)(Height - 1 - y) * Width + x) * 3];
            uint8_t* q = &b[54 + (size_t)y * row + (size_t)x * 3];
            q[0] = p[2];
            q[1] = p[1];
            q[2] = p[0];
        }
    return b;
}

// This thread's CPU seconds a decode through the loader takes, averaged over
// the rounds (CPU time, so that a busy machine does not count).
static double LoaderSeconds(const std::vector<uint8_t>& file)
{
    double start = CpuTime();
    for (int i = 0; i < Rounds; i++) {
        RasterImage image;
        if (LoadImageToRasterImage(nullptr, file.data(), (int)file.size(), 1, &image, 0) != 0) {
            printf("the loader refused the file\n");
            return 0;
        }
        FreeRasterImage(&image);
    }
    return (CpuTime() - start) / Rounds;
}

static double DirectSeconds(const std::vector<uint8_t>& file,
                            bool (*decode)(const std::vector<uint8_t>&, std::vector<uint8_t>*))
{
    double start = CpuTime();
    for (int i = 0; i < Rounds; i++) {
        std::vector<uint8_t> pixels;
        if (!decode(file, &pixels)) {
            printf("the library refused the file\n");
            return 0;
        }
    }
    return (CpuTime() - start) / Rounds;
}

static void Report(const char* name, const std::vector<uint8_t>& file, double seconds)
{
    printf("%-10s %8zu bytes  %7.2f ms  %7.1f M pixels/s\n", name, file.size(), seconds * 1e3,
           (double)Width * Height / seconds / 1e6);
}

int main()
{
    std::vector<uint8_t> rgb = MakePicture();
    std::vector<uint8_t> png = EncodePngRgb(rgb.data(), Width, Height);
    std::vector<uint8_t> jpeg = EncodeJpegRgb(rgb.data(), Width, Height, 90);
    std::vector<uint8_t> tga = MakeTga(rgb, false), tgaRle = MakeTga(rgb, true), bmp = MakeBmp(rgb);
    printf("decoding %d x %d through the loader (CPU time, mean of %d)\n", Width, Height, Rounds);
    double pngLoader = LoaderSeconds(png), jpegLoader = LoaderSeconds(jpeg);
    Report("PNG", png, pngLoader);
    Report("JPEG", jpeg, jpegLoader);
    Report("TGA", tga, LoaderSeconds(tga));
    Report("TGA RLE", tgaRle, LoaderSeconds(tgaRle));
    Report("BMP", bmp, LoaderSeconds(bmp));
    // The loader tries BMP before JPEG, and BMP and JPEG before PNG; the
    // overhead includes those refusals, the stream reads and the copy.
    double pngDirect = DirectSeconds(png, DecodePngDirect), jpegDirect = DirectSeconds(jpeg, DecodeJpegDirect);
    printf("PNG  direct libpng   %7.2f ms   loader overhead %+6.2f ms (%+.1f%%)\n", pngDirect * 1e3,
           (pngLoader - pngDirect) * 1e3, (pngLoader / pngDirect - 1) * 100);
    printf("JPEG direct libjpeg  %7.2f ms   loader overhead %+6.2f ms (%+.1f%%)\n", jpegDirect * 1e3,
           (jpegLoader - jpegDirect) * 1e3, (jpegLoader / jpegDirect - 1) * 100);
    return 0;
}
