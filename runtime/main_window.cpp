#include "runtime/main_window.h"

#include "runtime/library.h"

#include <mmsystem.h>
#include <winnls32.h>
#include <string.h>

#include "audio/sound_services.h"
#include "graphics/device.h"
#include "graphics/device_reset.h"
#include "graphics/draw_state.h"
#include "graphics/draw_target.h"
#include "graphics/mask_screen.h"
#include "movie/movie_services.h"
#include "runtime/input.h"
#include "runtime/log.h"
#include "runtime/message_pump.h"
#include "runtime/network.h"
#include "runtime/system_state.h"
#include "runtime/text_input.h"
#include "runtime/window_state.h"

static const DWORD WindowModeStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
static const DWORD WindowModeExStyle = WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE;
static const DWORD FullScreenStyle = WS_POPUP;
static const DWORD FullScreenExStyle = WS_EX_TOPMOST;

static const UINT SocketMessage = 0x505;
// Two private messages whose flags are kept for the input layer (wParam 1 sets,
// anything else clears).
static const UINT PrivateFlagMessageA = 0x46F;
static const UINT PrivateFlagMessageB = 0x470;

// Client size of the window: the requested screen size times the window scale.
static void ScaledClientSize(int* width, int* height)
{
    int w, h;
    QueryScreenSize(&w, &h);
    double sx, sy;
    GetWindowScale(&sx, &sy);
    *width = (int)(w * sx);
    *height = (int)(h * sy);
}

int CreateMainWindowObject()
{
    SystemLiveState& w = SystemState.live;
    SystemSettings& s = SystemState.settings;

    WriteLog("ウインドウクラスを登録します... ");
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = w.instance;
    wc.hIcon = LoadIconA(s.iconResourceId ? w.instance : nullptr,
                         MAKEINTRESOURCEA(s.iconResourceId ? s.iconResourceId : 32512));
    wc.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
    wc.hbrBackground = (HBRUSH)GetStockObject(NULL_BRUSH);
    wc.lpszClassName = s.windowClassName;
    if (!RegisterClassA(&wc)) {
        WriteLog("ウインドウクラスの登録に失敗しました\n");
        return -1;
    }
    WriteLog("登録に成功しました\n");

    int width, height;
    if (s.windowMode) {
        WriteLog("ウインドウモード起動用のウインドウを作成します\n");
        ScaledClientSize(&width, &height);
        RECT rc = {0, 0, width, height};
        AdjustWindowRectEx(&rc, WindowModeStyle, FALSE, WindowModeExStyle);
        int outerW = rc.right - rc.left, outerH = rc.bottom - rc.top;
        int x = rc.left + (w.desktopWidth - outerW) / 2;
        int y = rc.top + (w.desktopHeight - outerH) / 2;
        w.window = CreateWindowExA(WindowModeExStyle, s.windowClassName, s.windowTitle, WindowModeStyle,
                                   x, y, outerW, outerH, nullptr, nullptr, w.instance, nullptr);
    } else {
        WriteLog("フルスクリーンモード用のウインドウを作成します\n");
        QueryScreenSize(&width, &height);
        w.window = CreateWindowExA(FullScreenExStyle, s.windowClassName, s.windowTitle, FullScreenStyle,
                                   0, 0, width, height, nullptr, nullptr, w.instance, nullptr);
    }
    if (!w.window) {
        WriteLog("ウインドウの作成に失敗しました\n");
        return -1;
    }
    WriteLog("ウインドウの作成に成功しました\n");
    return 0;
}

static void RequestClose()
{
    SystemLiveState& w = SystemState.live;
    if (w.closing)
        return;
    w.closing = 1;
    PostMessageA(w.window, WM_CLOSE, 0, 0);
}

static void HideCursorNow()
{
    SetCursor(nullptr);
    while (ShowCursor(FALSE) >= 0) {
    }
}

static void OnActivate(WPARAM wParam)
{
    SystemLiveState& w = SystemState.live;
    const SystemSettings& s = SystemState.settings;
    w.active = LOWORD(wParam) != 0;
    if (w.creating)
        return;

    if (w.active) {
        if (s.imeUse && GetImeOpenState())
            RequestImeReenable();
        if (!s.windowMode) {
            if (SystemState.kept.initialised) {
                if (HIWORD(wParam) == 0)
                    ResetDeviceEntry();
                ResumeAllMovies();
                UnacquireInputDevices();
            } else {
                if (!s.keepRunning)
                    ResumeAllMovies();
                UnacquireInputDevices();
            }
        } else {
            if (DeviceResetPending() || (HasDirect3DDevice() && PresentDeviceOnce() != 0))
                ResetDeviceEntry();
            if (!s.keepRunning)
                ResumeAllMovies();
            UnacquireInputDevices();
        }
    } else {
        bool handled = false;
        if (!s.windowMode) {
            if (SystemState.kept.osCode >= 0x108 || !HasDirect3DDevice()) {
                ChangeDisplaySettingsA(nullptr, 0);
                ShowWindow(w.window, SW_MINIMIZE);
            }
            if (IsFullScreenMode() && GetDirectDrawObject()) {
                if (s.compositionOff)
                    SetDesktopComposition(1);
                if (!HasGraphRestoreHandler()) {
                    WriteLog("復元関数が登録されていないため終了します\n");
                    RequestClose();
                } else {
                    PauseAllMovies();
                    handled = true;
                }
            }
        }
        if (!handled) {
            if (!s.keepRunning)
                PauseAllMovies();
            UnacquireInputDevices();
        }
    }
    ApplyPadVibration();
}

static void OnDisplayChange(WPARAM wParam, LPARAM lParam)
{
    SystemLiveState& w = SystemState.live;
    if (!SystemState.settings.windowMode || w.modeChanging) {
        w.displayChangeSeen = 1;
        return;
    }
    int newBits = (int)wParam;
    int newWidth = LOWORD(lParam), newHeight = HIWORD(lParam);
    int oldWidth, oldHeight, oldBits;
    QueryScreenState(&oldWidth, &oldHeight, &oldBits);
    if (newWidth == oldWidth && newHeight == oldHeight && newBits == oldBits) {
        w.displayChangeSeen = 1;
        return;
    }
    bool acceptable = HasGraphRestoreHandler() && newBits != 24 && (newBits != 8 || newBits == oldBits) &&
                      newWidth >= oldWidth && newHeight >= oldHeight;
    if (acceptable) {
        ResumeAllMovies();
        w.displayChangeSeen = 1;
        return;
    }
    WriteLog("復元関数が登録されていないためか画面が２４ビットカラーに変更されたため終了します\n");
    WriteLog("またはスクリーンが小さすぎるためか色ビット数の違いが大きいためか終了します\n");
    RequestClose();
}

// Editing keys pushed into the character ring as control codes.
static bool IsPushedControlChar(unsigned c)
{
    switch (c) {
    case 0x01: case 0x03: case 0x08: case 0x09: case 0x0D:
    case 0x10: case 0x16: case 0x18: case 0x1B:
        return true;
    }
    return false;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    SystemLiveState& w = SystemState.live;
    const SystemSettings& s = SystemState.settings;

    switch (message) {
    case WM_DESTROY:
        WriteLog("ウインドウが破棄されようとしています\n");
        w.destroyed = 1;
        PostQuitMessage(0);
        w.quit = 1;
        WriteLog("ソフトを終了する準備が整いました\n");
        break;
    case WM_MOVE:
        if (s.windowMode && !w.modeChanging)
            OnWindowMoved(lParam);
        break;
    case WM_SIZE:
        if (wParam != SIZE_MAXIMIZED)
            UpdateWindowSize();
        break;
    case WM_ACTIVATE:
        OnActivate(wParam);
        break;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        if (BeginPaint(window, &ps)) {
            if (s.windowMode) {
                w.inPaint = 1;
                if (!SystemState.kept.initialised) {
                    FillRect(ps.hdc, &ps.rcPaint, (HBRUSH)GetStockObject(BLACK_BRUSH));
                } else if (GetDrawTarget() == DRAW_TARGET_BACK) {
                    int wait = GetVSyncWait();
                    SetVSyncWait(0);
                    PresentScreenRect(&ps.rcPaint);
                    SetVSyncWait(wait);
                }
                w.inPaint = 0;
            }
            EndPaint(window, &ps);
        }
        break;
    }
    case WM_CLOSE:
        WriteLog("ウインドウを閉じようとしています\n");
        DestroyWindow(window);
        return 0;
    case WM_ACTIVATEAPP:
        if (wParam == 0)
            OnActivate(0);
        break;
    case WM_SETCURSOR:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN: case WM_LBUTTONUP:
    case WM_RBUTTONDOWN: case WM_RBUTTONUP:
    case WM_MBUTTONDOWN: case WM_MBUTTONUP:
        if (!w.cursorShownSetting)
            HideCursorNow();
        break;
    case WM_DISPLAYCHANGE:
        OnDisplayChange(wParam, lParam);
        break;
    case WM_NCHITTEST:
        if (HasDirect3DDevice() && !s.windowMode && (unsigned)HIWORD(lParam) < 8)
            return HTMENU;
        break;
    case WM_KEYDOWN:
        PushControlKey((int)wParam);
        break;
    case WM_CHAR: {
        unsigned c = (unsigned)wParam & 0xFF;
        if (c == 0x0A)
            PushInputChar(0x0D);
        else if (c >= 0x20 || IsPushedControlChar(c))
            PushInputChar((unsigned char)c);
        break;
    }
    case WM_IME_STARTCOMPOSITION:
    case WM_IME_ENDCOMPOSITION:
    case WM_IME_COMPOSITION:
    case WM_IME_SETCONTEXT:
    case WM_IME_NOTIFY:
        return OnImeMessage(window, message, wParam, lParam);
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_SCREENSAVE || (wParam & 0xFFF0) == SC_MONITORPOWER)
            return 1;
        break;
    case WM_MOVING:
        if (!s.windowMode)
            GetWindowRect(window, (RECT*)lParam);
        break;
    case MM_MCINOTIFY:
        HandleMciMusicNotify();
        break;
    case SocketMessage:
        return OnSocketMessage(wParam, lParam);
    case PrivateFlagMessageA:
        w.privateFlagA = wParam == 1;
        break;
    case PrivateFlagMessageB:
        w.privateFlagB = wParam == 1;
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int ApplyWindowStyle()
{
    SystemLiveState& w = SystemState.live;
    if (!w.window)
        return 0;
    int screenW, screenH;
    QueryScreenSize(&screenW, &screenH);
    if (!SystemState.settings.windowMode) {
        WriteLog("ウインドウスタイルをフルスクリーンモード用に変更します... ");
        SetWindowLongA(w.window, GWL_EXSTYLE, FullScreenExStyle);
        SetWindowLongA(w.window, GWL_STYLE, FullScreenStyle);
        SetRect(&w.clientRect, 0, 0, screenW, screenH);
        ShowWindow(w.window, SW_SHOW);
        UpdateWindow(w.window);
        SetWindowPos(w.window, HWND_TOPMOST, 0, 0, screenW, screenH, SWP_NOREDRAW | SWP_FRAMECHANGED);
        UpdateCursorVisibility(0);
    } else {
        WriteLog("ウインドウスタイルをウインドウモード用に変更します... ");
        SetWindowLongA(w.window, GWL_EXSTYLE, WindowModeExStyle);
        SetWindowLongA(w.window, GWL_STYLE, WindowModeStyle | WS_VISIBLE);
        int width, height;
        ScaledClientSize(&width, &height);
        RECT rc = {0, 0, width, height};
        AdjustWindowRectEx(&rc, WindowModeStyle | WS_VISIBLE, FALSE, WindowModeExStyle);
        int outerW = rc.right - rc.left, outerH = rc.bottom - rc.top;
        int x = (w.desktopWidth - outerW) / 2 + rc.left;
        int y = (w.desktopHeight - outerH) / 2 + rc.top;
        SetWindowPos(w.window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        SetWindowPos(w.window, nullptr, x, y, outerW, outerH, SWP_NOZORDER | SWP_FRAMECHANGED);
        RECT client;
        GetClientRect(w.window, &client);
        POINT origin = {0, 0};
        ClientToScreen(w.window, &origin);
        OffsetRect(&client, origin.x, origin.y);
        if (client.left < 0 || client.top < 0) {
            int dx = client.left < 0 ? -client.left : 0;
            int dy = client.top < 0 ? -client.top : 0;
            x += dx;
            y += dy;
            OffsetRect(&client, dx, dy);
            SetWindowPos(w.window, nullptr, x, y, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
        }
        w.clientRect = client;
        UpdateCursorVisibility(1);
    }
    WriteLog("完了\n");
    SetActiveWindow(w.window);
    PostMessageA(w.window, WM_SETCURSOR, (WPARAM)w.window, 0);
    return 0;
}

int UpdateWindowSize()
{
    SystemLiveState& w = SystemState.live;
    if (!w.window)
        return 0;
    int targetW, targetH;
    ScaledClientSize(&targetW, &targetH);
    RECT outer, client;
    GetWindowRect(w.window, &outer);
    GetClientRect(w.window, &client);
    int clientW = client.right - client.left, clientH = client.bottom - client.top;
    w.clientRect.right = w.clientRect.left + clientW;
    w.clientRect.bottom = w.clientRect.top + clientH;
    MoveWindow(w.window, outer.left, outer.top, (outer.right - outer.left) - clientW + targetW,
               (outer.bottom - outer.top) - clientH + targetH, TRUE);
    if (SystemState.settings.windowMode && !w.visibleStyle) {
        w.visibleStyle = 1;
        ApplyWindowStyle();
    }
    return 0;
}

int OnWindowMoved(LPARAM lParam)
{
    SystemLiveState& w = SystemState.live;
    int x = (short)LOWORD(lParam), y = (short)HIWORD(lParam);
    int width = w.clientRect.right - w.clientRect.left;
    int height = w.clientRect.bottom - w.clientRect.top;
    SetRect(&w.clientRect, x, y, x + width, y + height);
    // Drawing straight to the front screen follows the window: select the
    // render target again and re-apply the draw area.
    if (GetDrawTarget() == DRAW_TARGET_FRONT) {
        int mask = GetMaskDrawing();
        SetMaskDrawing(0);
        SetMaskDrawing(mask);
        RECT area;
        GetRequestedClipArea(&area);
        SetClipArea(area.left, area.top, area.right, area.bottom);
    }
    return 0;
}

int BringWindowToForeground(HWND window, int topmost)
{
    DWORD foregroundThread = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    DWORD ownThread = GetWindowThreadProcessId(window, nullptr);
    bool attached = foregroundThread && foregroundThread != ownThread &&
                    AttachThreadInput(ownThread, foregroundThread, TRUE);
    DWORD timeout = 0;
    SystemParametersInfoA(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &timeout, 0);
    SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, (void*)0, 0);
    SetForegroundWindow(window);
    SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, (void*)(uintptr_t)timeout, 0);
    if (attached)
        AttachThreadInput(ownThread, foregroundThread, FALSE);
    if (topmost == 1)
        SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOREDRAW);
    return 0;
}

int UpdateCursorVisibility(int setting)
{
    SystemLiveState& w = SystemState.live;
    if (setting != -1) {
        w.cursorShownSetting = setting;
        if ((w.cursorShown != 0) == (setting == 1))
            return 0;
    }
    if (w.cursorShownSetting == 1) {
        while (ShowCursor(TRUE) < 0) {
        }
    } else {
        while (ShowCursor(FALSE) >= 0) {
        }
    }
    PostMessageA(w.window, WM_SETCURSOR, (WPARAM)w.window, 0);
    w.cursorShown = w.cursorShownSetting == 1;
    return 0;
}

int GetMousePosition(int* x, int* y)
{
    POINT p;
    GetCursorPos(&p);
    int px = p.x, py = p.y;
    if (SystemState.settings.windowMode) {
        double sx, sy;
        GetWindowScale(&sx, &sy);
        px = (int)((px - SystemState.live.clientRect.left) / sx);
        py = (int)((py - SystemState.live.clientRect.top) / sy);
    }
    if (x)
        *x = px;
    if (y)
        *y = py;
    return 0;
}

int GetWindowClientScreenRect(RECT* rect)
{
    *rect = SystemState.live.clientRect;
    return 0;
}

// The screen saver goes back to what it was before the window started, not
// simply on.
int RestoreScreenSaver()
{
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, SystemState.live.screenSaverWasActive, nullptr,
                          SPIF_SENDCHANGE);
    // Reading it back completes the change before a process that exits
    // right after (the fatal exit) takes it down.
    BOOL active;
    SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &active, 0);
    return 0;
}

int DestroyMainWindow()
{
    SystemLiveState& w = SystemState.live;
    if (!w.window)
        return 0;

    RestoreScreenSaver();
    WINNLSEnableIME(w.window, TRUE);

    w.cursorShownSetting = 1;
    if (!w.cursorShown) {
        while (ShowCursor(TRUE) < 0) {
        }
        PostMessageA(w.window, WM_SETCURSOR, (WPARAM)w.window, 0);
        w.cursorShown = 1;
    }

    RequestClose();
    while (RunMessagePump() == 0 && !w.destroyed) {
    }
    UnregisterClassA(SystemState.settings.windowClassName, w.instance);

    DeleteAllKeyInputs();
    FreeDroppedFiles();

    if (w.timerPeriod)
        timeEndPeriod(w.timerPeriod);
    w.window = nullptr;
    return 0;
}

// Longest wait for the display-change notice of a window-mode switch.
static const DWORD DisplayChangeWaitMs = 2000;

static DEVMODEA CurrentDisplayMode()
{
    DEVMODEA mode;
    memset(&mode, 0, sizeof mode);
    mode.dmSize = sizeof mode;
    EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode);
    return mode;
}

int ChangeWindowMode(int flag)
{
    SystemLiveState& w = SystemState.live;
    WriteLog("ChangeWindowMode実行 \n");
    if (flag == SystemState.settings.windowMode)
        return 0;
    w.visibleStyle = 1;
    w.displayChangeSeen = 0;
    SystemState.settings.windowMode = flag;
    WriteLog(flag ? "ウインドウモードフラグが立てられました\n" : "ウインドウモードフラグが倒されました\n");
    if (!w.window)
        return 0;

    w.modeChanging = 1;
    DEVMODEA before = CurrentDisplayMode();
    ApplyWindowStyle();
    int result = SwitchScreenMode(-1, -1, -1, 1, -1);
    // Only a switch that changed the display mode sends WM_DISPLAYCHANGE
    // (one to a full-screen mode equal to the desktop's sends none), and the
    // wait for it is bounded so that a lost notice cannot hang the program.
    DEVMODEA after = CurrentDisplayMode();
    bool changed = before.dmPelsWidth != after.dmPelsWidth || before.dmPelsHeight != after.dmPelsHeight ||
                   before.dmBitsPerPel != after.dmBitsPerPel ||
                   before.dmDisplayFrequency != after.dmDisplayFrequency;
    const DWORD start = timeGetTime();
    while (RunMessagePump() == 0 && changed && !w.displayChangeSeen && timeGetTime() - start < DisplayChangeWaitMs)
        Sleep(1);
    w.modeChanging = 0;
    return result;
}
