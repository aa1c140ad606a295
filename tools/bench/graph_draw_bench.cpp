// Speed of graph drawing on the Direct3D device: 32 x 32 sprites per second
// through the vertex batch in blend modes 0 and 1, the CPU time of a frame
// of 2,000 sprites, and the time to load a 1280 x 720 BMP into a graph.
//   graph_draw_bench.exe [frames]
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "graphics/device.h"
#include "graphics/device_reset.h"
#include "graphics/draw_calls.h"
#include "graphics/draw_state.h"
#include "graphics/draw_target.h"
#include "graphics/graph_loading.h"
#include "graphics/vertex_batch.h"
#include "image/raster_image.h"
#include "runtime/library.h"
#include "tools/bench/bench_clock.h"

// Waits until the device has drawn everything queued: reading one pixel of
// the back buffer makes it finish.
static void Finish()
{
    RECT r = {0, 0, 1, 1};
    RasterImage image = {};
    if (LockScreenImage(&r, &image) == 0)
        UnlockScreenImage();
}

static int SpriteGraph()
{
    RasterImage image = {};
    if (CreateImageXRGB32(32, 32, &image) != 0)
        return -1;
    for (int y = 0; y < 32; y++)
        for (int x = 0; x < 32; x++) {
            uint32_t v = 0xFF000000u | (uint32_t)(x * 8) << 16 | (uint32_t)(y * 8) << 8 | 0x80;
            memcpy((char*)image.pixels + (ptrdiff_t)y * image.pitch + 4 * x, &v, 4);
        }
    int graph = TransferRasterImageToGraph(&image, nullptr, 0, 0);
    FreeRasterImage(&image);
    return graph;
}

static void DrawSprites(int graph, int count, int seed)
{
    for (int i = 0; i < count; i++) {
        int n = i * 7919 + seed * 104729;
        DrawGraphAt(n % 1248, (n / 1248) % 688, graph, 1);
    }
}

// A 24-bit BMP of the size, a gradient.
static bool WriteBmp(const char* path, int w, int h)
{
    int row = (w * 3 + 3) & ~3;
    std::vector<unsigned char> f(54 + (size_t)row * h);
    auto put32 = [&](size_t at, uint32_t v) { memcpy(&f[at], &v, 4); };
    f[0] = 'B';
    f[1] = 'M';
    put32(2, (uint32_t)f.size());
    put32(10, 54);
    put32(14, 40);
    put32(18, (uint32_t)w);
    put32(22, (uint32_t)h);
    f[26] = 1;
    f[28] = 24;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            unsigned char* p = &f[54 + (size_t)y * row + 3 * x];
            p[0] = (unsigned char)x;
            p[1] = (unsigned char)y;
            p[2] = (unsigned char)(x + y);
        }
    FILE* out = fopen(path, "wb");
    if (!out)
        return false;
    bool ok = fwrite(f.data(), 1, f.size(), out) == f.size();
    return fclose(out) == 0 && ok;
}

int main(int argc, char** argv)
{
    int frames = argc > 1 ? atoi(argv[1]) : 60;
    if (frames < 1)
        frames = 1;
    AllowDirect3D(1);
    ChangeWindowMode(1);
    SetLogFileOutput(0);
    SetScreenMode(1280, 720, 32, 0);
    if (InitLibraryLocked() != 0 || !Screen.hardware) {
        printf("Direct3D start-up failed\n");
        return 1;
    }
    SetVSyncWait(0);
    SelectDrawTarget(DRAW_TARGET_BACK);
    int graph = SpriteGraph();
    if (graph == -1) {
        printf("sprite graph failed\n");
        return 1;
    }

    const int perFrame = 2000;
    for (int mode = 0; mode <= 1; mode++) {
        SelectBlendMode(mode, 160);
        ClearDrawTarget(nullptr);
        DrawSprites(graph, perFrame, 0);
        Finish();
        double wall = Now(), cpu = CpuTime();
        for (int f = 0; f < frames; f++) {
            ClearDrawTarget(nullptr);
            DrawSprites(graph, perFrame, f);
            FlushVertexBuffer();
        }
        Finish();
        wall = Now() - wall;
        cpu = CpuTime() - cpu;
        printf("mode %d: %.0f sprites/s drawn (wall), %.0f sprites/s of CPU; %d frames of %d\n", mode,
               frames * perFrame / wall, frames * perFrame / cpu, frames, perFrame);
    }

    // One frame as the game makes it: clear, 2,000 sprites, present. The
    // thread's CPU clock ticks coarsely, so the draw part is also timed by
    // the wall clock (it does not wait for the device).
    SelectBlendMode(1, 160);
    std::vector<double> drawWall;
    double drawCpu = 0, wholeCpu = 0;
    int shown = 0;
    for (; shown < frames; shown++) {
        if (ProcessMessagesLocked() != 0)
            break;
        double start = CpuTime(), wall = Now();
        ClearDrawTarget(nullptr);
        DrawSprites(graph, perFrame, shown);
        FlushVertexBuffer();
        drawWall.push_back(Now() - wall);
        double drawn = CpuTime();
        PresentScreen();
        drawCpu += drawn - start;
        wholeCpu += CpuTime() - start;
    }
    if (shown > 0) {
        std::sort(drawWall.begin(), drawWall.end());
        printf("frame of %d sprites: clear and draw %.3f ms median wall, %.3f ms CPU; %.3f ms CPU with the present (%d frames)\n",
               perFrame, drawWall[drawWall.size() / 2] * 1e3, drawCpu * 1e3 / shown, wholeCpu * 1e3 / shown, shown);
    }
    FreeGraph(graph);

    char dir[MAX_PATH], path[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    snprintf(path, sizeof path, "%sgraph_draw_bench_%lu.bmp", dir, GetCurrentProcessId());
    if (WriteBmp(path, 1280, 720)) {
        std::vector<double> times;
        for (int i = 0; i < 20; i++) {
            double start = Now();
            int g = LoadImageToGraph(path, 0);
            double t = Now() - start;
            if (g == -1) {
                printf("loading the BMP failed\n");
                break;
            }
            times.push_back(t);
            FreeGraph(g);
        }
        if (!times.empty()) {
            std::sort(times.begin(), times.end());
            printf("1280 x 720 BMP into a graph: %.2f ms median, %.2f ms fastest (%zu loads)\n",
                   times[times.size() / 2] * 1e3, times[0] * 1e3, times.size());
        }
        DeleteFileA(path);
    }
    EndLibraryLocked();
    return 0;
}
