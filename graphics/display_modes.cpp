// The display's mode list and the full-screen display-mode change.
#include "graphics/draw_target.h"

#include <stdint.h>
#include <string.h>

#include "graphics/device.h"
#include "graphics/draw_state.h"
#include "runtime/log.h"
#include "runtime/main_window.h"
#include "runtime/memory.h"

// Built on first use; modes below 16 bits are left out.
static DisplayMode* modes;
static int modeCount;
static int modesBuilt;

static bool NextMode(DWORD index, DEVMODEA* mode)
{
    memset(mode, 0, sizeof *mode);
    mode->dmSize = sizeof *mode;
    return EnumDisplaySettingsA(nullptr, index, mode) != FALSE;
}

static void BuildDisplayModes()
{
    if (modesBuilt)
        return;
    FreeDisplayModes();
    modesBuilt = 1;
    DEVMODEA mode;
    int64_t count = 0;
    for (DWORD i = 0; NextMode(i, &mode); i++)
        if (mode.dmBitsPerPel >= 16)
            count++;
    if (count == 0 || count * (int64_t)sizeof(DisplayMode) > INT32_MAX)
        return;
    modes = (DisplayMode*)AllocTracked((size_t)count * sizeof(DisplayMode), "DisplayModes", __LINE__);
    if (!modes)
        return;
    // The list may change between the two passes: never store past the count.
    int stored = 0;
    for (DWORD i = 0; stored < count && NextMode(i, &mode); i++) {
        if (mode.dmBitsPerPel < 16)
            continue;
        modes[stored].width = (int)mode.dmPelsWidth;
        modes[stored].height = (int)mode.dmPelsHeight;
        modes[stored].bits = (int)mode.dmBitsPerPel;
        modes[stored].refresh = (int)mode.dmDisplayFrequency;
        stored++;
    }
    modeCount = stored;
}

int CountDisplayModes()
{
    BuildDisplayModes();
    return modeCount;
}

DisplayMode DisplayModeAt(int index)
{
    BuildDisplayModes();
    if (index < 0 || index >= modeCount)
        return DisplayMode{-1, -1, -1, -1};
    return modes[index];
}

int HasDisplayMode(int width, int height, int bits)
{
    BuildDisplayModes();
    for (int i = 0; i < modeCount; i++)
        if (modes[i].width == width && modes[i].height == height && modes[i].bits == bits)
            return 1;
    return 0;
}

void FreeDisplayModes()
{
    FreeTracked(modes);
    modes = nullptr;
    modeCount = 0;
    modesBuilt = 0;
}

static LONG ApplyMode(DWORD flags)
{
    DEVMODEA mode;
    memset(&mode, 0, sizeof mode);
    mode.dmSize = sizeof mode;
    mode.dmBitsPerPel = (DWORD)Screen.depth;
    mode.dmPelsWidth = (DWORD)Screen.width;
    mode.dmPelsHeight = (DWORD)Screen.height;
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    if (Screen.refresh) {
        mode.dmDisplayFrequency = (DWORD)Screen.refresh;
        mode.dmFields |= DM_DISPLAYFREQUENCY;
    }
    return ChangeDisplaySettingsA(&mode, flags);
}

int ChangeDisplayResolution()
{
    WriteLogFormat("画面モードの変更処理を開始します %u x %u  %u bit ", (unsigned)Screen.width, (unsigned)Screen.height,
                   (unsigned)Screen.depth);
    if (Screen.depth != 16 && Screen.depth != 32)
        return -1;
    WriteLog("画面解像度を変更します... ");
    if (ApplyMode(CDS_FULLSCREEN) != DISP_CHANGE_SUCCESSFUL) {
        Screen.refresh = 0;
        if (ApplyMode(0) != DISP_CHANGE_SUCCESSFUL) {
            if (Screen.width != 320 || Screen.height != 240) {
                WriteLog("画面モードの変更に失敗しました\n");
                return -1;
            }
            // No 320 x 240 mode: a 640 x 480 one shows the reduced screen.
            Screen.width = 640;
            Screen.height = 480;
            SetReducedScreen(1);
            ApplyWindowStyle();
            if (ApplyMode(0) != DISP_CHANGE_SUCCESSFUL) {
                WriteLog("画面モードの変更に失敗しました\n");
                return -1;
            }
        }
    }
    WriteLog("成功しました\n");
    return 0;
}
