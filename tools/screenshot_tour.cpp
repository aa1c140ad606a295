// Screenshot tour (not a test): the game started in the data directory
// given, run frame by frame as its main loop runs it, driven by keys set in
// its thread's keyboard state, with the window's picture saved as BMP files
// at the logo, the title menu, the first area and its boss arena (reached
// through a door placed at the heroine). tools/screenshots.sh turns them
// into small PNGs. Run under Wine:
//   screenshot_tour.exe DATA_DIR OUT_DIR
#include <windows.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "game/actor_pool.h"
#include "game/game_state.h"
#include "game/main_loop.h"
#include "game/play_state.h"
#include "game/scene_state.h"
#include "runtime/library.h"
#include "runtime/window_state.h"

namespace {

const int W = 1280, H = 720;
std::string outDir;

void SetKey(WORD key, bool down)
{
    BYTE state[256];
    GetKeyboardState(state);
    state[key] = down ? 0x80 : 0;
    SetKeyboardState(state);
}

// One frame of the game's loop; false once the window is gone.
bool Frame()
{
    if (RunGameFrame() != 0)
        return false;
    PaceFrame();
    return ProcessMessagesLocked() == 0;
}

bool Frames(int n)
{
    for (int i = 0; i < n; i++)
        if (!Frame())
            return false;
    return true;
}

// A key held for a few frames, then released for a few.
bool Tap(WORD key)
{
    SetKey(key, true);
    bool ok = Frames(4);
    SetKey(key, false);
    return ok && Frames(4);
}

bool Shoot(const char* name)
{
    HWND window = GetMainWindowHwnd();
    HDC source = GetDC(window);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = W;
    info.bmiHeader.biHeight = -H;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(source);
    HGDIOBJ old = SelectObject(memory, bitmap);
    bool ok = BitBlt(memory, 0, 0, W, H, source, 0, 0, SRCCOPY) != 0;
    GdiFlush();
    if (ok) {
        BITMAPFILEHEADER file = {};
        file.bfType = 0x4D42;
        file.bfOffBits = sizeof file + sizeof info.bmiHeader;
        file.bfSize = file.bfOffBits + W * H * 4;
        std::string path = outDir + "\\" + name + ".bmp";
        FILE* f = fopen(path.c_str(), "wb");
        ok = f && fwrite(&file, sizeof file, 1, f) == 1 && fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, f) == 1 &&
             fwrite(bits, (size_t)W * H * 4, 1, f) == 1;
        if (f)
            fclose(f);
        printf("%s %s\n", ok ? "saved" : "could not write", path.c_str());
    }
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(bitmap);
    ReleaseDC(window, source);
    return ok;
}

bool Tour()
{
    if (ProcessMessagesLocked() != 0)
        return false;
    // The logo with half its pieces, then the title menu.
    if (!Frames(40) || !Shoot("logo"))
        return false;
    while (sceneNo == SCENE_LOGO)
        if (!Frame())
            return false;
    if (!Tap('Z') || !Frames(60) || !Shoot("title"))
        return false;
    // Start, the first area, and its field once the heroine has arrived.
    if (!Tap('X') || !Frames(30) || !Shoot("area_select"))
        return false;
    if (!Tap('X'))
        return false;
    while (sceneNo != SCENE_PLAY || actors[0].kind != KIND_PLAYER)
        if (!Frame())
            return false;
    SetKey(VK_RIGHT, true);
    bool walked = Frames(150);
    SetKey(VK_RIGHT, false);
    if (!walked || !Shoot("area"))
        return false;
    // The boss door placed at the heroine leads into the arena.
    const ActorRecord& p = actors[0];
    SpawnActor(RESERVED_SLOTS, KIND_EFFECT, p.boxX1[0], p.boxY1[0], 12, 0, 0, 0, 0);
    for (int i = 0; i < 200 && areaIndex < 5; i++)
        if (!Frame())
            return false;
    SetKey('A', true);
    bool fought = Frames(90);
    SetKey('A', false);
    return fought && Shoot("boss");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 || !SetCurrentDirectoryA(argv[1])) {
        fprintf(stderr, "usage: screenshot_tour DATA_DIR OUT_DIR\n");
        return 2;
    }
    outDir = argv[2];
    if (StartGame() != 0) {
        fprintf(stderr, "the library did not start\n");
        return 1;
    }
    bool ok = Tour();
    EndLibraryLocked();
    return ok ? 0 : 1;
}
