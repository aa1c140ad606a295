// Speed of textured software triangles: a picture drawn as a quad (two
// triangles sharing a diagonal, as the graph layer draws four free corners)
// onto a 1280 x 720 target, as 32 x 32 sprites all over the target and as one
// full-screen quad, in megapixels (quad area) per second of this thread's CPU
// time. Each case lists the target's pixel kind, so cases for both kinds sit
// in the one table.
//   tex_bench.exe [rounds]
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "image/soft_blend_tables.h"
#include "softrender/blit_kernels.h"
#include "softrender/triangle_raster.h"
#include "tools/bench/bench_clock.h"

static const int Width = 1280, Height = 720;

static BlitImageDesc Desc(uint8_t* pixels, int w, int h, int bpp, int kind, int paletteFlag, int alphaFlag)
{
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
}

// The quad (x, y, w, h) showing the whole source, as two triangles.
static void DrawQuad(const BlitImageDesc* dst, const BlitImageDesc* src, int x, int y, int w, int h, int trans,
                     const BlitDrawValues* draw)
{
    const SoftTriangleVertex v[4] = {
        {x, y, 0, 0}, {x + w, y, src->width, 0}, {x, y + h, 0, src->height}, {x + w, y + h, src->width, src->height}};
    PlanAndRunTriangle(dst, src, v, trans, nullptr, 0, draw);
    PlanAndRunTriangle(dst, src, v + 1, trans, nullptr, 0, draw);
}

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? atoi(argv[1]) : 20;
    BuildSoftBlendTables();
    std::vector<uint8_t> target((size_t)Width * Height * 4), picture((size_t)Width * Height * 4);
    std::vector<uint8_t> palette(1024);
    for (size_t i = 0; i < target.size(); i++) {
        target[i] = (uint8_t)(i * 31);
        picture[i] = (uint8_t)(i * 2654435761u >> 13);
    }
    for (size_t i = 0; i < palette.size(); i++)
        palette[i] = (uint8_t)(i * 97 + 3);
    // Every fourth texel of the alpha picture is clear, every fourth opaque.
    std::vector<uint8_t> alpha = picture;
    for (size_t i = 3; i < alpha.size(); i += 4)
        alpha[i] = (i / 4) % 4 == 0 ? 0 : (i / 4) % 4 == 1 ? 255 : alpha[i];

    struct Case {
        const char* name;
        int kind;                 // target pixel kind: 1 32-bit, 0 R5G6B5
        int mode, param;
        int bpp, paletteFlag, alphaFlag, transFlag;
    };
    const Case cases[] = {
        {"32: copy", 1, 0, 0, 4, 0, 0, 0},
        {"32: copy, transparent key", 1, 0, 0, 4, 0, 0, 1},
        {"32: copy, alpha source, key", 1, 0, 0, 4, 0, 1, 1},
        {"32: blend (p 128)", 1, 1, 128, 4, 0, 0, 0},
        {"32: blend, alpha source", 1, 1, 200, 4, 0, 1, 0},
        {"32 palette: copy", 1, 0, 0, 1, 1, 0, 0},
        {"32 palette: blend (p 128)", 1, 1, 128, 1, 1, 0, 0},
        {"16: copy", 0, 0, 0, 2, 0, 0, 0},
        {"16: copy, transparent key", 0, 0, 0, 2, 0, 0, 1},
        {"16: copy, alpha source, key", 0, 0, 0, 4, 0, 1, 1},
        {"16: blend (p 128)", 0, 1, 128, 2, 0, 0, 0},
        {"16: blend, alpha source", 0, 1, 200, 4, 0, 1, 0},
        {"16 palette: copy", 0, 0, 0, 1, 1, 0, 0},
        {"16 palette: blend (p 128)", 0, 1, 128, 1, 1, 0, 0},
    };
    static const int Sprite = 32;
    for (const Case& c : cases) {
        BlitImageDesc dst = Desc(target.data(), Width, Height, c.kind == 1 ? 4 : 2, c.kind, 0, 0);
        uint8_t* pixels = c.alphaFlag ? alpha.data() : picture.data();
        BlitImageDesc full = Desc(pixels, Width, Height, c.bpp, c.kind, c.paletteFlag, c.alphaFlag);
        BlitImageDesc small = Desc(pixels, Sprite, Sprite, c.bpp, c.kind, c.paletteFlag, c.alphaFlag);
        small.pitch = full.pitch;
        for (BlitImageDesc* s : {&full, &small}) {
            s->transColor = c.paletteFlag ? 0x7F : c.kind == 1 ? 0x00FF00FFu : 0xF81Fu;
            s->palette = palette.data();
            s->paletteCount = 256;
        }
        const BlitDrawValues draw = {c.mode, c.param, 0xFFFFFF, {0, 0, Width, Height}};

        // Sprites: one row of the target's tiles a round.
        const int across = Width / Sprite, down = Height / Sprite;
        double start = CpuTime();
        long long quads = 0;
        for (double seconds = 0; quads < (long long)rounds * across || seconds < 0.5;
             seconds = CpuTime() - start) {
            const int row = (int)(quads / across % down);
            for (int i = 0; i < across; i++, quads++)
                DrawQuad(&dst, &small, i * Sprite, row * Sprite, Sprite, Sprite, c.transFlag, &draw);
        }
        const double spriteRate = (double)Sprite * Sprite * quads / (CpuTime() - start) / 1e6;

        start = CpuTime();
        int done = 0;
        for (double seconds = 0; done < rounds || seconds < 0.5; done++, seconds = CpuTime() - start)
            DrawQuad(&dst, &full, 0, 0, Width, Height, c.transFlag, &draw);
        const double fullRate = (double)Width * Height * done / (CpuTime() - start) / 1e6;
        printf("%-32s 32x32 %8.1f Mpixel/s   full screen %8.1f Mpixel/s\n", c.name, spriteRate, fullRate);
    }
    return 0;
}
