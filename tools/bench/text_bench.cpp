// Speed of string drawing on the Direct3D device: characters per second for
// cached ASCII and cached Japanese text, and the first draw of 500 distinct
// Japanese characters (every glyph rendered into the cache on the way).
//   text_bench.exe [rounds]
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "graphics/device.h"
#include "graphics/draw_state.h"
#include "graphics/draw_target.h"
#include "graphics/font/font_handles.h"
#include "graphics/font/string_draw.h"
#include "graphics/vertex_batch.h"
#include "image/raster_image.h"
#include "runtime/library.h"
#include "tools/bench/bench_clock.h"

// Waits until the device has drawn everything queued.
static void Finish()
{
    FlushVertexBuffer();
    RECT r = {0, 0, 1, 1};
    RasterImage image = {};
    if (LockScreenImage(&r, &image) == 0)
        UnlockScreenImage();
}

// count distinct double-byte characters of the common kanji rows (0x88 0x9F
// onwards), skipping the unused trail byte 0x7F.
static std::string Kanji(int count, int first)
{
    std::string s;
    int lead = 0x88, trail = 0x9F;
    for (int skip = 0; skip < first; skip++) {
        if (++trail == 0x7F)
            trail++;
        if (trail > 0xFC) {
            lead++;
            trail = 0x40;
        }
    }
    for (int i = 0; i < count; i++) {
        s += (char)lead;
        s += (char)trail;
        if (++trail == 0x7F)
            trail++;
        if (trail > 0xFC) {
            lead++;
            trail = 0x40;
        }
    }
    return s;
}

// Draws the text in lines of `perLine` characters, `rounds` times; chars/s.
static double Rate(int font, const std::string& text, int bytesPerChar, int perLine, int rounds)
{
    const uint32_t white = ColorFromRGB(255, 255, 255);
    const size_t lineBytes = (size_t)perLine * bytesPerChar;
    int chars = 0;
    double start = Now();
    for (int r = 0; r < rounds; r++) {
        ClearDrawTarget(nullptr);
        for (size_t at = 0, row = 0; at < text.size(); at += lineBytes, row++) {
            std::string line = text.substr(at, lineBytes);
            DrawStringWithHandle(0, (int)(row * 20) % 700, line.c_str(), white, font, 0, 0);
            chars += (int)(line.size() / bytesPerChar);
        }
    }
    Finish();
    return chars / (Now() - start);
}

int main(int argc, char** argv)
{
    int rounds = argc > 1 ? atoi(argv[1]) : 20;
    if (rounds < 1)
        rounds = 1;
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
    int font = CreateFontToHandle(nullptr, 16, 6, 0, -1, -1, 0, -1, -1);
    int edged = CreateFontToHandle(nullptr, 16, 6, FONT_TYPE_EDGE, -1, -1, 0, -1, -1);
    if (font == -1 || edged == -1) {
        printf("font creation failed\n");
        return 1;
    }
    printf("font cache: %d cells\n", GetFontRecord(font)->capacity);

    std::string ascii;
    for (int i = 0; i < 2000; i++)
        ascii += (char)('!' + i % 94);
    std::string japanese = Kanji(200, 0);
    for (int f = 0; f < 2; f++) {
        int h = f ? edged : font;
        const char* kind = f ? "edged" : "plain";
        Rate(h, ascii, 1, 80, 1);   // warm the cache
        Rate(h, japanese, 2, 40, 1);
        printf("%s cached ASCII: %.0f chars/s\n", kind, Rate(h, ascii, 1, 80, rounds));
        printf("%s cached Japanese: %.0f chars/s\n", kind, Rate(h, japanese, 2, 40, rounds * 10));
    }

    // 500 characters not yet in the cache of a fresh font: each is rendered
    // by GDI and uploaded once.
    for (int f = 0; f < 2; f++) {
        int h = CreateFontToHandle(nullptr, 16, 6, f ? FONT_TYPE_EDGE : 0, -1, -1, 0, -1, -1);
        std::string fresh = Kanji(500, 300);
        ClearDrawTarget(nullptr);
        double start = Now();
        for (size_t at = 0, row = 0; at < fresh.size(); at += 80, row++)
            DrawStringWithHandle(0, (int)(row * 20), fresh.substr(at, 80).c_str(), ColorFromRGB(255, 255, 255), h, 0,
                                 0);
        Finish();
        double t = Now() - start;
        printf("%s first draw of 500 distinct Japanese characters: %.1f ms (%.0f chars/s)\n", f ? "edged" : "plain",
               t * 1e3, 500 / t);
        DeleteFontHandle(h);
    }
    DeleteFontHandle(font);
    DeleteFontHandle(edged);
    EndLibraryLocked();
    return 0;
}
