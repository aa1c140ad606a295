#include "runtime/window_state.h"

#include "runtime/main_window.h"
#include "runtime/system_state.h"

int GetQuitRequested() { return SystemState.live.quit; }
HWND GetMainWindowHwnd() { return SystemState.live.window; }
int GetWindowedFlag() { return SystemState.settings.windowMode; }
int IsMainWindowActive() { return SystemState.live.active; }
int GetWindowClosing() { return SystemState.live.closing; }

int GetDesktopInfo(int* width, int* height, int* colorBits)
{
    if (!width && !height && !colorBits)
        return 0;
    if (SystemState.kept.initialised) {
        if (width)
            *width = SystemState.live.desktopWidth;
        if (height)
            *height = SystemState.live.desktopHeight;
        if (colorBits)
            *colorBits = SystemState.live.desktopColorBits;
        return 0;
    }
    if (width)
        *width = GetSystemMetrics(SM_CXSCREEN);
    if (height)
        *height = GetSystemMetrics(SM_CYSCREEN);
    if (colorBits) {
        HDC dc = GetDC(nullptr);
        *colorBits = GetDeviceCaps(dc, PLANES) * GetDeviceCaps(dc, BITSPIXEL);
        ReleaseDC(nullptr, dc);
    }
    return 0;
}

double GetWindowScale(double* x, double* y)
{
    SystemSettings& s = SystemState.settings;
    if (s.windowScaleX <= 0.0)
        s.windowScaleX = 1.0;
    if (s.windowScaleY <= 0.0)
        s.windowScaleY = 1.0;
    double sx = s.windowScaleX, sy = s.windowScaleY;
    if (!s.windowMode)
        sx = sy = 1.0;
    if (x)
        *x = sx;
    if (y)
        *y = sy;
    return sx;
}

int SetDesktopComposition(int flag)
{
    int off = !flag;
    if (off == SystemState.settings.compositionOff)
        return 0;
    SystemState.settings.compositionOff = off;
    if (SystemState.kept.dwmEnableComposition)
        SystemState.kept.dwmEnableComposition(flag ? 1u : 0u);
    return 0;
}

// The menu bar is never made here; the automatic menu only re-applies the
// cursor setting, which changes nothing.
int AutoShowMenu()
{
    if (SystemState.live.window)
        UpdateCursorVisibility(-1);
    return 0;
}

// No menu bar, tool bar, layered window or inactive-window image is ever
// made, and the mouse-click log and dropped files stay off.
int CollectMenuItems() { return 0; }
const MenuItemRecord* GetMenuItemRecord(int) { return nullptr; }
int GetMenuItemText(int, char* text)
{
    if (text)
        text[0] = 0;
    return -1;
}
int IsMenuShown() { return 0; }
int SetMenuVisible(int) { return 0; }
int FindToolBarButton(int) { return -1; }
int GetToolBarHeight() { return 0; }
int ClearToolBarButtons() { return 0; }
int UpdateLayeredWindowFromScreen(const RasterImage*, int, int) { return 0; }
int DrawInactiveWindowImage() { return -1; }
int RecordMouseClick(int, int, int) { return 0; }

// The window accepts no dropped files, so the list is always empty.
int FreeDroppedFiles() { return 0; }
