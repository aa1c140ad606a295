// Speed of the software blit: a 1280 x 720 picture onto a 32-bit target of
// the same size in each hot mode, then 16-bit and palette pictures, then
// pictures of half the size stretched to twice their size, in megapixels
// (drawn) per second, with memcpy of the same bytes in the same run as the
// ceiling.
// Rates are per second of this thread's CPU time, so a busy machine skews
// them less.
//   blit_bench.exe [rounds]
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "image/soft_blend_tables.h"
#include "softrender/blit_kernels.h"
#include "softrender/stretch_blit.h"
#include "tools/bench/bench_clock.h"

static const int Width = 1280, Height = 720;

static BlitImageDesc Desc(uint8_t* pixels, int alphaFlag)
{
    BlitImageDesc d = {};
    d.width = Width;
    d.height = Height;
    d.pixels = pixels;
    d.pitch = Width * 4;
    d.bytesPerPixel = 4;
    d.pixelKind = 1;
    d.alphaFlag = alphaFlag;
    d.bodyPixels = pixels;
    d.bodyWidth = Width;
    d.bodyHeight = Height;
    return d;
}

// Runs of keyed and drawn pixels, as a sprite sheet has them.
static void FillSprites(std::vector<uint8_t>& pixels, uint32_t key)
{
    for (int y = 0; y < Height; y++)
        for (int x = 0; x < Width; x++) {
            const bool inside = ((x / 40 + y / 40) % 2) == 0;
            const uint32_t v = inside ? 0x00204060u + (uint32_t)(x * 7 + y * 3) % 0x100 : key;
            memcpy(&pixels[((size_t)y * Width + x) * 4], &v, 4);
        }
}

// Megapixels per second of memcpy over the picture's bytes.
static double MemcpyRate(int rounds)
{
    const size_t bytes = (size_t)Width * Height * 4;
    std::vector<uint8_t> from(bytes, 1), to(bytes);
    memcpy(to.data(), from.data(), bytes);
    // The thread clock ticks coarsely: run for at least half a second.
    const double start = CpuTime();
    int done = 0;
    for (double seconds = 0; done < rounds || seconds < 0.5; done++, seconds = CpuTime() - start) {
        memcpy(to.data(), from.data(), bytes);
        from[(size_t)done % bytes] ^= to[bytes - 1 - (size_t)done % bytes];
    }
    const double seconds = CpuTime() - start;
    if (to[0] == 200)
        printf(" ");
    return (double)Width * Height * done / seconds / 1e6;
}

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? atoi(argv[1]) : 100;
    BuildSoftBlendTables();
    const size_t bytes = (size_t)Width * Height * 4;
    std::vector<uint8_t> plain(bytes), alpha(bytes), sprites(bytes), target(bytes);
    for (size_t i = 0; i < bytes; i++) {
        plain[i] = (uint8_t)(i * 2654435761u >> 13);
        alpha[i] = (uint8_t)(i * 40503u >> 7);
        target[i] = (uint8_t)(i * 31);
    }
    const uint32_t key = 0x00FF00FF;
    FillSprites(sprites, key);
    std::vector<uint8_t> table;
    for (int y = 0; y < Height; y++) {
        for (int x = 0; x < Width;) {
            const bool keyed = memcmp(&sprites[((size_t)y * Width + x) * 4], &key, 4) == 0;
            int n = 1;
            while (x + n < Width && n < 64 &&
                   (memcmp(&sprites[((size_t)y * Width + x + n) * 4], &key, 4) == 0) == keyed)
                n++;
            table.push_back((uint8_t)((keyed ? 0x00 : 0x40) | (n - 1)));
            x += n;
        }
        table.push_back(0xC0);
    }

    const double ceiling = MemcpyRate(rounds);
    printf("memcpy of the same bytes      %9.1f Mpixel/s\n", ceiling);

    struct Case {
        const char* name;
        int mode, param;
        uint32_t brightness;
        std::vector<uint8_t>* source;
        int alphaFlag, transFlag;
        bool runTable;
    };
    const Case cases[] = {
        {"copy", 0, 0, 0xFFFFFF, &plain, 0, 0, false},
        {"alpha blend (p 100)", 1, 100, 0xFFFFFF, &plain, 0, 0, false},
        {"alpha blend, alpha source", 1, 200, 0xFFFFFF, &alpha, 1, 0, false},
        {"add (p 255)", 2, 255, 0xFFFFFF, &plain, 0, 0, false},
        {"add (p 100)", 2, 100, 0xFFFFFF, &plain, 0, 0, false},
        {"subtract (p 255)", 3, 255, 0xFFFFFF, &plain, 0, 0, false},
        {"multiply", 4, 0, 0xFFFFFF, &plain, 0, 0, false},
        {"alpha blend with brightness", 1, 100, 0x80C0FF, &plain, 0, 0, false},
        {"keyed sprites, run table", 0, 0, 0xFFFFFF, &sprites, 0, 1, true},
        {"keyed sprites, normal path", 0, 0, 0xFFFFFF, &sprites, 0, 2, false},
    };
    BlitImageDesc dst = Desc(target.data(), 0);
    for (const Case& c : cases) {
        BlitImageDesc src = Desc(c.source->data(), c.alphaFlag);
        src.transColor = key;
        if (c.runTable) {
            src.runTable = table.data();
            src.runTableSize = table.size();
            src.runTableValid = 1;
        }
        BlitDrawValues draw = {c.mode, c.param, c.brightness, {0, 0, Width, Height}};
        PlanAndRunBlit(&dst, &src, 0, 0, c.transFlag, nullptr, &draw);
        const double start = CpuTime();
        int done = 0;
        for (double seconds = 0; done < rounds || seconds < 0.5; done++, seconds = CpuTime() - start)
            PlanAndRunBlit(&dst, &src, 0, 0, c.transFlag, nullptr, &draw);
        const double rate = (double)Width * Height * done / (CpuTime() - start) / 1e6;
        printf("%-30s%9.1f Mpixel/s  %5.1f%% of memcpy\n", c.name, rate, 100.0 * rate / ceiling);
    }

    // 16-bit pictures (2-byte plain, 4-byte alpha) and palette pictures.
    std::vector<uint8_t> target16(bytes / 2), palette(1024);
    for (size_t i = 0; i < target16.size(); i++)
        target16[i] = (uint8_t)(i * 29);
    for (size_t i = 0; i < palette.size(); i++)
        palette[i] = (uint8_t)(i * 97 + 3);
    auto desc = [](uint8_t* pixels, int w, int h, int bpp, int kind, int paletteFlag, int alphaFlag) {
        BlitImageDesc d = {};
        d.width = w;
        d.height = h;
        d.pixels = pixels;
        d.pitch = w * bpp;
        d.bytesPerPixel = bpp;
        d.pixelKind = kind;
        d.paletteFlag = paletteFlag;
        d.alphaFlag = alphaFlag;
        d.bodyPixels = pixels;
        d.bodyWidth = w;
        d.bodyHeight = h;
        return d;
    };
    struct Case16 {
        const char* name;
        int kind, mode, param;
        uint32_t brightness;
        int bpp, paletteFlag, alphaFlag, transFlag;
        bool stretch;
    };
    const Case16 cases16[] = {
        {"16: copy", 0, 0, 0, 0xFFFFFF, 2, 0, 0, 0, false},
        {"16: copy, transparent key", 0, 0, 0, 0xFFFFFF, 2, 0, 0, 2, false},
        {"16: alpha blend (p 100)", 0, 1, 100, 0xFFFFFF, 2, 0, 0, 0, false},
        {"16: alpha blend (p 128)", 0, 1, 128, 0xFFFFFF, 2, 0, 0, 0, false},
        {"16: alpha blend, alpha source", 0, 1, 200, 0xFFFFFF, 4, 0, 1, 0, false},
        {"16: add (p 255)", 0, 2, 255, 0xFFFFFF, 2, 0, 0, 0, false},
        {"16: subtract (p 255)", 0, 3, 255, 0xFFFFFF, 2, 0, 0, 0, false},
        {"16: multiply", 0, 4, 0, 0xFFFFFF, 2, 0, 0, 0, false},
        {"16: alpha blend, brightness", 0, 1, 100, 0x80C0FF, 2, 0, 0, 0, false},
        {"16 palette: copy", 0, 0, 0, 0xFFFFFF, 1, 1, 0, 2, false},
        {"32 palette: copy", 1, 0, 0, 0xFFFFFF, 1, 1, 0, 2, false},
        {"32 palette: alpha blend", 1, 1, 100, 0xFFFFFF, 1, 1, 0, 0, false},
        {"2x stretch 32: copy", 1, 0, 0, 0xFFFFFF, 4, 0, 0, 0, true},
        {"2x stretch 32: alpha blend", 1, 1, 100, 0xFFFFFF, 4, 0, 0, 0, true},
        {"2x stretch 32: keyed copy", 1, 0, 0, 0xFFFFFF, 4, 0, 0, 1, true},
        {"2x stretch 16: copy", 0, 0, 0, 0xFFFFFF, 2, 0, 0, 0, true},
        {"2x stretch 16: alpha blend", 0, 1, 100, 0xFFFFFF, 2, 0, 0, 0, true},
        {"2x stretch 16 palette: copy", 0, 0, 0, 0xFFFFFF, 1, 1, 0, 1, true},
    };
    for (const Case16& c : cases16) {
        const int sw = c.stretch ? Width / 2 : Width, sh = c.stretch ? Height / 2 : Height;
        uint8_t* sourcePixels = c.alphaFlag ? alpha.data() : (c.kind == 1 ? plain.data() : sprites.data());
        BlitImageDesc src = desc(sourcePixels, sw, sh, c.bpp, c.kind, c.paletteFlag, c.alphaFlag);
        src.transColor = c.paletteFlag ? 0x7F : 0xF81F;
        src.palette = palette.data();
        src.paletteCount = 256;
        BlitImageDesc dst16 = c.kind == 0 ? desc(target16.data(), Width, Height, 2, 0, 0, 0) : dst;
        BlitDrawValues draw = {c.mode, c.param, c.brightness, {0, 0, Width, Height}};
        const int32_t rect[4] = {0, 0, Width, Height};
        auto run = [&]() {
            if (c.stretch)
                PlanAndRunStretch(&dst16, &src, rect, c.transFlag, nullptr, &draw);
            else
                PlanAndRunBlit(&dst16, &src, 0, 0, c.transFlag, nullptr, &draw);
        };
        run();
        const double start = CpuTime();
        int done = 0;
        for (double seconds = 0; done < rounds || seconds < 0.5; done++, seconds = CpuTime() - start)
            run();
        const double rate = (double)Width * Height * done / (CpuTime() - start) / 1e6;
        printf("%-30s%9.1f Mpixel/s  %5.1f%% of memcpy\n", c.name, rate, 100.0 * rate / ceiling);
    }
    return 0;
}
