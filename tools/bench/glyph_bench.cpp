// Speed of the glyph cache: the first rendering of 500 distinct Japanese
// characters (every one a cache miss), with a texture cache on the Direct3D
// device and with a memory cache, and cached look-ups per second.
//   glyph_bench.exe [lookup rounds]
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "graphics/device.h"
#include "graphics/font/font_handles.h"
#include "graphics/graph_loading.h"
#include "runtime/library.h"
#include "tools/bench/bench_clock.h"

// 500 distinct kanji in Shift-JIS: lead bytes 0x89 to 0x8B, every trail byte.
static std::string DistinctKanji(int count)
{
    std::string text;
    for (int lead = 0x89; lead <= 0x8B && count > 0; lead++)
        for (int trail = 0x40; trail <= 0xFC && count > 0; trail++) {
            if (trail == 0x7F)
                continue;
            text += (char)lead;
            text += (char)trail;
            count--;
        }
    return text;
}

// Renders the characters in pieces of 50 (each piece fits every cache) and
// returns the seconds per character.
static double FirstRendering(int font, const std::string& text, double* cpu)
{
    const int piece = 50 * 2;
    double start = Now(), cpuStart = CpuTime();
    for (size_t at = 0; at < text.size(); at += piece)
        CacheStringGlyphs(piece, text.c_str() + at, font, nullptr, nullptr);
    *cpu = (CpuTime() - cpuStart) / (double)(text.size() / 2);
    return (Now() - start) / (double)(text.size() / 2);
}

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? atoi(argv[1]) : 20000;
    AllowDirect3D(1);
    ChangeWindowMode(1);
    SetLogFileOutput(0);
    SetKeepRunningInBackground(1);
    if (InitLibraryLocked() != 0 || Screen.hardware != 1) {
        printf("the library did not start on Direct3D\n");
        return 1;
    }
    const std::string kanji = DistinctKanji(500);

    for (int type = 0; type < 4; type++) {
        int texture = CreateFontToHandle(nullptr, 20, 2, type, -1, -1, 0, -1, -1);
        // The same font with a memory cache, as without a device.
        Screen.hardware = 0;
        int memory = CreateFontToHandle(nullptr, 20, 2, type, -1, -1, 0, -1, -1);
        Screen.hardware = 1;
        if (texture == -1 || memory == -1) {
            printf("font creation failed\n");
            return 1;
        }
        double cpuTexture, cpuMemory;
        double wallTexture = FirstRendering(texture, kanji, &cpuTexture);
        double wallMemory = FirstRendering(memory, kanji, &cpuMemory);
        printf("type %d first rendering of 500 kanji: texture cache %.1f us/char (cpu %.1f), memory cache %.1f "
               "us/char (cpu %.1f)\n",
               type, wallTexture * 1e6, cpuTexture * 1e6, wallMemory * 1e6, cpuMemory * 1e6);
        DeleteFontHandle(texture);
        DeleteFontHandle(memory);
    }

    // What one cell's upload to the cache texture costs by itself (every
    // first rendering in a texture cache makes one, two with an edge).
    {
        int texture = CreateFontToHandle(nullptr, 20, 2, 0, -1, -1, 0, -1, -1);
        FontRecord* record = GetFontRecord(texture);
        RECT cell = {1, 1, 1 + record->cellSize, 1 + record->cellSize};
        const int uploads = 200;
        double start = Now(), cpuStart = CpuTime();
        for (int i = 0; i < uploads; i++)
            ReloadGraphFromImagePart(nullptr, nullptr, nullptr, nullptr, 0, &record->staging, nullptr, &cell, 1, 1,
                                     record->cacheGraph, 0);
        printf("one cell upload into the %d x %d cache texture: %.1f us (cpu %.1f)\n", record->cacheWidth,
               record->cacheHeight, (Now() - start) / uploads * 1e6, (CpuTime() - cpuStart) / uploads * 1e6);
        DeleteFontHandle(texture);
    }

    // Cached look-ups: 100 characters that stay in the cache, many times over.
    int font = CreateFontToHandle(nullptr, 20, 2, 0, -1, -1, 0, -1, -1);
    const std::string cached = kanji.substr(0, 200);
    CacheStringGlyphs(-1, cached.c_str(), font, nullptr, nullptr);
    double start = Now();
    for (int i = 0; i < rounds; i++)
        CacheStringGlyphs(-1, cached.c_str(), font, nullptr, nullptr);
    double seconds = Now() - start;
    printf("cached look-ups: %.1f million characters/s (%d strings of 100)\n",
           (double)rounds * 100 / seconds / 1e6, rounds);
    DeleteFontHandle(font);
    EndLibraryLocked();
    return 0;
}
