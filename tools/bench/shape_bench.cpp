// Speed of the software shape rasteriser on a 1280 x 720 32-bit target:
// filled boxes (32 x 32 and the whole target) in megapixels per second, and
// lines and circles in shapes per second, in the hot blend modes.
// Rates are per second of this thread's CPU time.
//   shape_bench.exe [seconds per case, default 0.5]
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <functional>

#include "graphics/draw_state.h"
#include "image/mem_image.h"
#include "image/soft_blend_tables.h"
#include "softrender/shape_raster.h"
#include "tools/bench/bench_clock.h"

static const int Width = 1280, Height = 720;

// Runs draw(i) for at least the given CPU time; calls per second.
static double Rate(double minSeconds, const std::function<void(int)>& draw)
{
    draw(0);
    const double start = CpuTime();
    int done = 0;
    double seconds = 0;
    for (; seconds < minSeconds; seconds = CpuTime() - start)
        for (int k = 0; k < 64; k++)
            draw(done++);
    return done / seconds;
}

int main(int argc, char** argv)
{
    const double minSeconds = argc > 1 ? atof(argv[1]) : 0.5;
    BuildSoftBlendTables();
    MEMIMG target = {};
    if (CreateMemImage(&target, Width, Height, -1, 0, 1, 0, 0, 0, nullptr) != 0)
        return 1;
    Draw.area = {0, 0, Width, Height};
    Draw.brightness = 0xFFFFFF;

    struct Mode {
        const char* name;
        int mode, param;
        uint32_t brightness;
    };
    const Mode modes[] = {
        {"copy", 0, 0, 0xFFFFFF},          {"blend (p 128)", 1, 128, 0xFFFFFF}, {"add (p 255)", 2, 255, 0xFFFFFF},
        {"subtract (p 128)", 3, 128, 0xFFFFFF}, {"multiply", 4, 0, 0xFFFFFF}, {"blend, brightness", 1, 100, 0x80C0FF},
    };
    printf("%-20s %12s %12s %12s %12s %12s %12s\n", "mode", "box32 Mpx/s", "full Mpx/s", "lines/s", "circles/s",
           "discs/s", "frames/s");
    for (const Mode& m : modes) {
        Draw.blendMode = m.mode;
        Draw.blendParam = m.param;
        Draw.brightness = m.brightness;
        const uint32_t colour = 0x00336699;
        const double box = Rate(minSeconds, [&](int i) {
            const RECT r = {(i * 37) % (Width - 32), (i * 11) % (Height - 32), 0, 0};
            const RECT box = {r.left, r.top, r.left + 32, r.top + 32};
            PaintMemImageBox(&target, &box, colour);
        }) * 32 * 32 / 1e6;
        const double full = Rate(minSeconds, [&](int) { PaintMemImageBox(&target, nullptr, colour); }) * Width *
                            Height / 1e6;
        // Lines of 100 to 500 pixels in every direction, some crossing the edge.
        const double lines = Rate(minSeconds, [&](int i) {
            const int x = (i * 97) % Width, y = (i * 53) % Height;
            const int dx = ((i * 31) % 1000) - 500, dy = ((i * 17) % 600) - 300;
            PaintMemImageLine(&target, x, y, x + dx, y + dy, colour);
        });
        // Radius 4 to 67.
        const double circles = Rate(minSeconds, [&](int i) {
            PaintMemImageCircle(&target, (i * 97) % Width, (i * 53) % Height, 4 + i % 64, colour, 0);
        });
        const double discs = Rate(minSeconds, [&](int i) {
            PaintMemImageCircle(&target, (i * 97) % Width, (i * 53) % Height, 4 + i % 64, colour, 1);
        });
        const SoftLineRecord frame[4] = {{100, 100, 899, 100, (int32_t)colour, 0},
                                         {899, 100, 899, 599, (int32_t)colour, 0},
                                         {899, 599, 100, 599, (int32_t)colour, 0},
                                         {100, 599, 100, 100, (int32_t)colour, 0}};
        const double frames = Rate(minSeconds, [&](int) { PaintMemImageLines(&target, frame, 4); });
        printf("%-20s %12.1f %12.1f %12.0f %12.0f %12.0f %12.0f\n", m.name, box, full, lines, circles, discs, frames);
    }
    ReleaseMemImage(&target);
    return 0;
}
