#include "runtime/window_state.h"

#include <string.h>

#include "graphics/draw_state.h"
#include "image/color_format.h"
#include "image/convert.h"
#include "image/raster_image.h"
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

// No menu bar, tool bar or inactive-window image is ever made, and the
// mouse-click log and dropped files stay off.
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
int DrawInactiveWindowImage() { return -1; }
int RecordMouseClick(int, int, int) { return 0; }

// The window accepts no dropped files, so the list is always empty.
int FreeDroppedFiles() { return 0; }

// ---------------------------------------------------------------------------
// Layered window: nothing in this program makes the main window layered; a
// window given the style WS_EX_LAYERED is shown through these calls.

int IsLayeredWindowInUse()
{
    HWND window = SystemState.live.window;
    return window && (GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_LAYERED) ? 1 : 0;
}

int UpdateLayeredWindowFromScreen(const RasterImage* image, int x, int y)
{
    HWND window = SystemState.live.window;
    if (!image || !image->pixels || !IsLayeredWindowInUse() || x < 0 || y < 0 || x >= image->width ||
        y >= image->height)
        return -1;
    const int w = image->width - x, h = image->height - y;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) {
        if (bitmap)
            DeleteObject(bitmap);
        return -1;
    }
    // The picture as A8R8G8B8 with alpha 0 where the transparent colour is;
    // the window takes premultiplied colour, so those pixels become 0.
    ColorFormat argb;
    SetColorFormatARGB32(&argb);
    ConvertRect rect = {x, y, x + w, y + h};
    const uint32_t key = Draw.create.transColor & 0xFFFFFF;
    int result = ConvertImageBlt(bits, w * 4, &argb, image->pixels, image->pitch, &image->format, nullptr, 0,
                                 nullptr, 0, 0, &rect, 0, 1, key, 0, 0, 0, 0, 0) < 0
                     ? -1
                     : 0;
    uint32_t* pixels = (uint32_t*)bits;
    for (int64_t i = 0, n = (int64_t)w * h; i < n; i++)
        if ((pixels[i] >> 24) == 0)
            pixels[i] = 0;

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    if (result == 0 && memory) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        SIZE size = {w, h};
        POINT origin = {0, 0};
        BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        if (!UpdateLayeredWindow(window, screen, nullptr, &size, memory, &origin, 0, &blend, ULW_ALPHA))
            result = -1;
        SelectObject(memory, previous);
    } else {
        result = -1;
    }
    if (memory)
        DeleteDC(memory);
    if (screen)
        ReleaseDC(nullptr, screen);
    DeleteObject(bitmap);
    return result;
}
