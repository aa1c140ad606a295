// Speed of software triangles on a 640 x 480 32-bit target: flat triangles
// (small and full screen) in copy and blend, and textured quads (a 32 x 32
// picture drawn one to one, and stretched over the whole screen) as the graph
// layer draws them, two triangles a quad. Shapes per second and megapixels
// (visited) per second, per second of this thread's CPU time.
//   triangle_bench.exe [seconds per case]
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <vector>

#include "image/soft_blend_tables.h"
#include "softrender/triangle_raster.h"
#include "tools/bench/bench_clock.h"

static const int Width = 640, Height = 480;

static BlitImageDesc Desc(uint8_t* pixels, int w, int h)
{
    BlitImageDesc d = {};
    d.width = w;
    d.height = h;
    d.pixels = pixels;
    d.pitch = w * 4;
    d.bytesPerPixel = 4;
    d.pixelKind = 1;
    d.bodyPixels = pixels;
    d.bodyWidth = w;
    d.bodyHeight = h;
    return d;
}

// Runs one case until the CPU clock has moved by seconds; count shapes of
// pixels pixels each.
template <class Draw>
static void Run(const char* name, double seconds, double pixelsPerShape, int trianglesPerShape, Draw draw)
{
    const double start = CpuTime();
    long shapes = 0;
    while (CpuTime() - start < seconds) {
        for (int i = 0; i < 50; i++)
            draw(i);
        shapes += 50;
    }
    const double used = CpuTime() - start;
    printf("%-34s %12.0f shapes/s %9.1f Mpixels/s  (%d triangle%s a shape, %.2f s CPU)\n", name, shapes / used,
           shapes * pixelsPerShape / used / 1e6, trianglesPerShape, trianglesPerShape > 1 ? "s" : "", used);
}

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? atof(argv[1]) : 1.0;
    BuildSoftBlendTables();
    std::vector<uint8_t> target((size_t)Width * Height * 4), picture(32 * 32 * 4);
    for (size_t i = 0; i < target.size(); i++)
        target[i] = (uint8_t)(i * 31);
    for (size_t i = 0; i < picture.size(); i++)
        picture[i] = (uint8_t)(i * 2654435761u >> 13);
    BlitImageDesc dst = Desc(target.data(), Width, Height), src = Desc(picture.data(), 32, 32);
    BlitDrawValues draw = {};
    draw.brightness = 0xFFFFFF;
    draw.area = BlitRect{0, 0, Width, Height};

    printf("software triangles, %d x %d 32-bit target\n", Width, Height);
    const int modes[][2] = {{0, 255}, {1, 128}};
    for (const auto& m : modes) {
        draw.mode = m[0];
        draw.param = m[1];
        char name[64];
        // A right triangle of 32 x 32: 32 rows of 33 down to 2 pixels.
        snprintf(name, sizeof name, "flat 32x32 triangle, mode %d", m[0]);
        Run(name, seconds, 32.0 * 35 / 2, 1, [&](int i) {
            const int x = (i * 37) % (Width - 40), y = (i * 53) % (Height - 40);
            const SoftTriangleVertex v[3] = {{x, y, 0, 0}, {x + 32, y, 0, 0}, {x, y + 32, 0, 0}};
            PlanAndRunTriangle(&dst, nullptr, v, 0, nullptr, 0x00406080, &draw);
        });
        snprintf(name, sizeof name, "flat full-screen quad, mode %d", m[0]);
        Run(name, seconds, (double)Width * Height, 2, [&](int) {
            const SoftTriangleVertex v[4] = {
                {0, 0, 0, 0}, {Width, 0, 0, 0}, {0, Height, 0, 0}, {Width, Height, 0, 0}};
            PlanAndRunTriangle(&dst, nullptr, &v[0], 0, nullptr, 0x00406080, &draw);
            PlanAndRunTriangle(&dst, nullptr, &v[1], 0, nullptr, 0x00406080, &draw);
        });
        snprintf(name, sizeof name, "textured 32x32 quad, mode %d", m[0]);
        Run(name, seconds, 32.0 * 32, 2, [&](int i) {
            const int x = (i * 37) % (Width - 40), y = (i * 53) % (Height - 40);
            const SoftTriangleVertex v[4] = {
                {x, y, 0, 0}, {x + 32, y, 32, 0}, {x, y + 32, 0, 32}, {x + 32, y + 32, 32, 32}};
            PlanAndRunTriangle(&dst, &src, &v[0], 0, nullptr, 0, &draw);
            PlanAndRunTriangle(&dst, &src, &v[1], 0, nullptr, 0, &draw);
        });
        snprintf(name, sizeof name, "textured full-screen quad, mode %d", m[0]);
        Run(name, seconds, (double)Width * Height, 2, [&](int) {
            const SoftTriangleVertex v[4] = {
                {0, 0, 0, 0}, {Width, 0, 32, 0}, {0, Height, 0, 32}, {Width, Height, 32, 32}};
            PlanAndRunTriangle(&dst, &src, &v[0], 0, nullptr, 0, &draw);
            PlanAndRunTriangle(&dst, &src, &v[1], 0, nullptr, 0, &draw);
        });
    }
    return target[12345] == 7 ? 1 : 0;
}
