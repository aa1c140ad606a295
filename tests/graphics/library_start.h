// Starts the whole library in a window on Direct3D for a device test suite:
// the window mode, no log file, and drawing that does not wait for the
// window to be active (no window manager gives it focus under a virtual display).
#pragma once

#include "graphics/device.h"
#include "graphics/device_reset.h"
#include "runtime/library.h"

// True when the library started, on Direct3D.
inline bool StartLibraryOnDirect3D(int width, int height)
{
    Screen.width = Screen.height = Screen.depth = Screen.refresh = 0;
    AllowDirect3D(1);
    ChangeWindowMode(1);
    SetLogFileOutput(0);
    SetKeepRunningInBackground(1);
    return SetScreenMode(width, height, 32, 0) == 0 && InitLibraryLocked() == 0 && Screen.hardware == 1;
}
