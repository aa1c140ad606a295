// Starts the whole library in a window on Direct3D for a device test suite:
// the window mode, no log file, and drawing that does not wait for the
// window to be active (no window manager gives it focus under a virtual display).
#pragma once

#include "graphics/device.h"
#include "graphics/device_reset.h"
#include "runtime/library.h"

// True when the library started on the renderer asked for: Direct3D when
// direct3D is 1, the software renderer when it is 0.
inline bool StartLibraryInWindow(int width, int height, int direct3D)
{
    Screen.width = Screen.height = Screen.depth = Screen.refresh = 0;
    AllowDirect3D(direct3D);
    ChangeWindowMode(1);
    SetLogFileOutput(0);
    SetKeepRunningInBackground(1);
    return SetScreenMode(width, height, 32, 0) == 0 && InitLibraryLocked() == 0 && Screen.hardware == direct3D;
}

// True when the library started, on Direct3D.
inline bool StartLibraryOnDirect3D(int width, int height) { return StartLibraryInWindow(width, height, 1); }
