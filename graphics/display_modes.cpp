#include "graphics/draw_target.h"

#include "runtime/memory.h"

// The display's mode list, built on first use from the platform's enumeration.
static DisplayMode* modes;
static int modeCount;
static int modesBuilt;

static void BuildDisplayModes()
{
    if (modesBuilt)
        return;
    modesBuilt = 1;
    int capacity = 0;
    DEVMODEA mode;
    mode.dmSize = sizeof mode;
    mode.dmDriverExtra = 0;
    for (DWORD i = 0; EnumDisplaySettingsA(nullptr, i, &mode); i++) {
        if (modeCount == capacity) {
            int grown = capacity ? capacity * 2 : 32;
            DisplayMode* list = (DisplayMode*)ReallocTracked(modes, grown * sizeof *modes, "DisplayModes", 0);
            if (!list)
                break;
            modes = list;
            capacity = grown;
        }
        modes[modeCount].width = (int)mode.dmPelsWidth;
        modes[modeCount].height = (int)mode.dmPelsHeight;
        modes[modeCount].bits = (int)mode.dmBitsPerPel;
        modes[modeCount].refresh = (int)mode.dmDisplayFrequency;
        modeCount++;
        mode.dmSize = sizeof mode;
        mode.dmDriverExtra = 0;
    }
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
