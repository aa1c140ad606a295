// The main window: its procedure's display-change rule, activation, moves
// and styles, the window-mode switch, and the window-state accessors.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "graphics/device.h"
#include "graphics/device_reset.h"
#include "runtime/library.h"
#include "runtime/main_window.h"
#include "runtime/message_pump.h"
#include "runtime/system_state.h"
#include "runtime/window_state.h"
#include "tests/runtime/log_capture.h"

namespace {

int compositionCalls;
UINT lastComposition;

HRESULT WINAPI CountComposition(UINT flag)
{
    compositionCalls++;
    lastComposition = flag;
    return S_OK;
}

// Removes a WM_CLOSE posted to the window; true when there was one.
bool TakeClose(HWND window)
{
    MSG msg;
    bool found = false;
    while (PeekMessageA(&msg, window, WM_CLOSE, WM_CLOSE, PM_REMOVE))
        found = true;
    return found;
}

HWND MakePlainWindow()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "PlainTestWindow";
    RegisterClassA(&wc);
    return CreateWindowExA(0, "PlainTestWindow", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance,
                           nullptr);
}

const char* const ChangeRefused1 = "復元関数が登録されていないためか画面が２４ビットカラーに変更されたため終了します";
const char* const ChangeRefused2 = "またはスクリーンが小さすぎるためか色ビット数の違いが大きいためか終了します";

} // namespace

TEST(WindowAccessors, DesktopScaleAndComposition)
{
    EXPECT_EQ(0, GetDesktopInfo(nullptr, nullptr, nullptr));
    int width = 0, height = 0, bits = 0;
    EXPECT_EQ(0, GetDesktopInfo(&width, &height, &bits));
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), width);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), height);
    EXPECT_EQ(32, bits);
    EXPECT_EQ(0, GetDesktopInfo(nullptr, &height, nullptr));

    SystemSettings& s = SystemState.settings;
    double x = 0, y = 0;
    s.windowMode = 1;
    s.windowScaleX = 0;
    s.windowScaleY = -2;
    EXPECT_DOUBLE_EQ(1.0, GetWindowScale(&x, &y));
    EXPECT_DOUBLE_EQ(1.0, y);
    s.windowScaleX = 1.5;
    s.windowScaleY = 2.0;
    EXPECT_DOUBLE_EQ(1.5, GetWindowScale(&x, nullptr));
    GetWindowScale(nullptr, &y);
    EXPECT_DOUBLE_EQ(2.0, y);
    s.windowMode = 0;
    EXPECT_DOUBLE_EQ(1.0, GetWindowScale(&x, &y));
    EXPECT_DOUBLE_EQ(1.0, x);
    EXPECT_DOUBLE_EQ(1.0, y);
    s.windowScaleX = s.windowScaleY = 0;

    // The platform is called only when the state changes.
    SystemState.kept.dwmEnableComposition = CountComposition;
    compositionCalls = 0;
    EXPECT_EQ(0, SetDesktopComposition(1));
    EXPECT_EQ(0, SetDesktopComposition(1));
    EXPECT_EQ(0, compositionCalls);
    SetDesktopComposition(0);
    SetDesktopComposition(0);
    EXPECT_EQ(1, compositionCalls);
    EXPECT_EQ(0u, lastComposition);
    SetDesktopComposition(1);
    EXPECT_EQ(2, compositionCalls);
    EXPECT_EQ(1u, lastComposition);
    SystemState.kept.dwmEnableComposition = nullptr;
    SetDesktopComposition(0);
    SetDesktopComposition(1);
    EXPECT_EQ(2, compositionCalls);
}

TEST(DisplayChange, WindowModeAcceptsOnlyWhatTheScreenCanFollow)
{
    HWND window = MakePlainWindow();
    ASSERT_NE(nullptr, window);
    SystemState.live.window = window;
    SystemState.settings.windowMode = 1;
    LogCapture log;
    log.Start();

    struct Case {
        int oldDepth;
        bool handler;
        int bits, width, height;
        bool closes;
    } cases[] = {
        // no graph-restore handler: any real change closes
        {32, false, 32, 640, 480, false},
        {32, false, 32, 1280, 1024, true},
        {32, true, 32, 640, 480, false},
        {32, true, 32, 1280, 1024, false},
        {32, true, 16, 1280, 1024, false},
        {32, true, 24, 1280, 1024, true},
        {32, true, 8, 1280, 1024, true},
        {32, true, 32, 639, 480, true},
        {32, true, 32, 1280, 479, true},
        {32, true, 24, 640, 480, true},
        {16, true, 32, 800, 600, false},
        {8, true, 8, 800, 600, false},
        {8, true, 8, 320, 200, true},
        {8, true, 16, 640, 480, false},
    };
    for (const Case& c : cases) {
        if (c.handler)
            SetGraphRestoreHandler(nullptr);
        ASSERT_EQ(c.handler ? 1 : 0, HasGraphRestoreHandler());
        Screen.width = 640;
        Screen.height = 480;
        Screen.depth = c.oldDepth;
        SystemState.live.closing = 0;
        SystemState.live.displayChangeSeen = 0;
        size_t before = log.Lines().size();
        MainWindowProc(window, WM_DISPLAYCHANGE, c.bits, MAKELPARAM(c.width, c.height));
        std::string label = std::to_string(c.oldDepth) + " -> " + std::to_string(c.bits) + " bits " +
                            std::to_string(c.width) + "x" + std::to_string(c.height) +
                            (c.handler ? " with handler" : " without handler");
        EXPECT_EQ(c.closes, SystemState.live.closing == 1) << label;
        EXPECT_EQ(c.closes, TakeClose(window)) << label;
        EXPECT_EQ(!c.closes, SystemState.live.displayChangeSeen == 1) << label;
        std::vector<std::string> lines = log.Lines();
        if (c.closes) {
            ASSERT_EQ(before + 2, lines.size()) << label;
            EXPECT_EQ(ChangeRefused1, lines[before]);
            EXPECT_EQ(ChangeRefused2, lines[before + 1]);
        } else {
            EXPECT_EQ(before, lines.size()) << label;
        }
    }

    // A second refused change while closing logs again but posts no second close.
    Screen.depth = 32;
    MainWindowProc(window, WM_DISPLAYCHANGE, 24, MAKELPARAM(640, 480));
    EXPECT_TRUE(TakeClose(window));
    MainWindowProc(window, WM_DISPLAYCHANGE, 24, MAKELPARAM(640, 480));
    EXPECT_FALSE(TakeClose(window));

    // In full screen or during a mode switch a change is only noted.
    for (int fullScreen : {1, 0}) {
        SystemState.settings.windowMode = fullScreen ? 0 : 1;
        SystemState.live.modeChanging = fullScreen ? 0 : 1;
        SystemState.live.closing = 0;
        SystemState.live.displayChangeSeen = 0;
        MainWindowProc(window, WM_DISPLAYCHANGE, 24, MAKELPARAM(320, 200));
        EXPECT_EQ(1, SystemState.live.displayChangeSeen);
        EXPECT_EQ(0, SystemState.live.closing);
        EXPECT_FALSE(TakeClose(window));
    }
    SystemState.live.modeChanging = 0;
    SystemState.live.window = nullptr;
    DestroyWindow(window);
}

namespace {

DWORD StyleOf(HWND window) { return (DWORD)GetWindowLongA(window, GWL_STYLE); }
DWORD ExStyleOf(HWND window) { return (DWORD)GetWindowLongA(window, GWL_EXSTYLE); }

RECT ClientOnScreen(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    OffsetRect(&client, origin.x, origin.y);
    return client;
}

void ExpectRect(const RECT& expected, const RECT& actual, const char* what)
{
    EXPECT_EQ(expected.left, actual.left) << what;
    EXPECT_EQ(expected.top, actual.top) << what;
    EXPECT_EQ(expected.right, actual.right) << what;
    EXPECT_EQ(expected.bottom, actual.bottom) << what;
}

} // namespace

TEST(WindowMode, GeometryStylesAndTheModeSwitch)
{
    ChangeWindowMode(1);
    SetKeepRunningInBackground(1);
    SetWindowTitleText("WindowModeTest");
    ASSERT_EQ(0, SetScreenMode(640, 480, 32, 60));
    ASSERT_EQ(0, InitLibraryLocked());
    HWND window = GetMainWindowHwnd();
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(1, IsMainWindowActive());
    EXPECT_EQ(0, GetWindowClosing());

    // Window style, client size of the screen, centred on the desktop.
    DWORD style = StyleOf(window);
    EXPECT_EQ((DWORD)(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE),
              style & ~(WS_CLIPSIBLINGS | WS_CLIPCHILDREN));
    EXPECT_EQ((DWORD)(WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE), ExStyleOf(window) & (WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE));
    EXPECT_EQ(0ul, ExStyleOf(window) & (DWORD)WS_EX_TOPMOST);
    RECT client = ClientOnScreen(window);
    EXPECT_EQ(640, client.right - client.left);
    EXPECT_EQ(480, client.bottom - client.top);
    RECT outer;
    GetWindowRect(window, &outer);
    int desktopWidth = GetSystemMetrics(SM_CXSCREEN), desktopHeight = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_EQ((desktopWidth - (outer.right - outer.left)) / 2, client.left);
    EXPECT_EQ((desktopHeight - (outer.bottom - outer.top)) / 2, client.top);
    RECT recorded;
    GetWindowClientScreenRect(&recorded);
    ExpectRect(client, recorded, "recorded client rectangle");

    // The mouse position is relative to the client area.
    if (SetCursorPos(client.left + 10, client.top + 20)) {
        int mx = -1, my = -1;
        GetMousePosition(&mx, &my);
        EXPECT_EQ(10, mx);
        EXPECT_EQ(20, my);
        GetMousePosition(nullptr, nullptr);
    }

    // A move records the new client position.
    MainWindowProc(window, WM_MOVE, 0, MAKELPARAM(100, (WORD)-5));
    GetWindowClientScreenRect(&recorded);
    ExpectRect(RECT{100, -5, 740, 475}, recorded, "after WM_MOVE");

    // In window mode the window may be dragged.
    RECT proposed = {1, 2, 3, 4};
    MainWindowProc(window, WM_MOVING, 0, (LPARAM)&proposed);
    ExpectRect(RECT{1, 2, 3, 4}, proposed, "WM_MOVING in window mode");

    // Screen saver and monitor power-off are refused.
    EXPECT_EQ(1, MainWindowProc(window, WM_SYSCOMMAND, SC_SCREENSAVE, 0));
    EXPECT_EQ(1, MainWindowProc(window, WM_SYSCOMMAND, SC_MONITORPOWER, 2));

    // Activation follows WM_ACTIVATE and WM_ACTIVATEAPP(0).
    MainWindowProc(window, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(0, IsMainWindowActive());
    MainWindowProc(window, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(1, IsMainWindowActive());
    MainWindowProc(window, WM_ACTIVATEAPP, 0, 0);
    EXPECT_EQ(0, IsMainWindowActive());
    MainWindowProc(window, WM_ACTIVATE, WA_CLICKACTIVE, 0);
    EXPECT_EQ(1, IsMainWindowActive());

    // The title follows the setter while the window lives.
    SetWindowTitleText("Renamed");
    char text[64] = {};
    GetWindowTextA(window, text, sizeof text);
    EXPECT_STREQ("Renamed", text);

    // The current mode: nothing is restyled.
    SetWindowPos(window, nullptr, 7, 9, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    GetWindowRect(window, &outer);
    EXPECT_EQ(0, ChangeWindowMode(1));
    RECT unchanged;
    GetWindowRect(window, &unchanged);
    ExpectRect(outer, unchanged, "ChangeWindowMode with the current mode");

    // Full screen keeps the screen's size, which the display must offer;
    // one that offers no such mode keeps the window and reports the failure.
    bool offered = false;
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    for (DWORD i = 0; EnumDisplaySettingsA(nullptr, i, &mode); i++)
        offered = offered || (mode.dmPelsWidth == 640 && mode.dmPelsHeight == 480 && mode.dmBitsPerPel == 32);
    if (!offered) {
        EXPECT_EQ(-1, ChangeWindowMode(0));
        EXPECT_EQ(1, GetWindowedFlag());
        EXPECT_EQ(0, SystemState.live.modeChanging);
        EXPECT_NE(0ul, StyleOf(window) & (DWORD)WS_CAPTION);
        client = ClientOnScreen(window);
        EXPECT_EQ(640, client.right - client.left);
        EXPECT_EQ(1, Screen.started);
    } else {
        // To full screen: popup, topmost, at the origin with the screen size.
        EXPECT_EQ(0, ChangeWindowMode(0));
        EXPECT_EQ(0, GetWindowedFlag());
        EXPECT_EQ(0, SystemState.live.modeChanging);
        EXPECT_EQ((DWORD)WS_POPUP, StyleOf(window) & (WS_POPUP | WS_CAPTION | WS_SYSMENU));
        EXPECT_NE(0ul, ExStyleOf(window) & (DWORD)WS_EX_TOPMOST);
        GetWindowRect(window, &outer);
        ExpectRect(RECT{0, 0, 640, 480}, outer, "full-screen window");
        GetWindowClientScreenRect(&recorded);
        ExpectRect(RECT{0, 0, 640, 480}, recorded, "full-screen client");
        EXPECT_EQ(0, SystemState.live.cursorShownSetting);

        // In full screen the window cannot be dragged.
        proposed = RECT{100, 100, 740, 580};
        MainWindowProc(window, WM_MOVING, 0, (LPARAM)&proposed);
        ExpectRect(outer, proposed, "WM_MOVING in full screen");

        // And back: the framed window, centred again.
        EXPECT_EQ(0, ChangeWindowMode(1));
        EXPECT_EQ(1, GetWindowedFlag());
        EXPECT_NE(0ul, StyleOf(window) & (DWORD)WS_CAPTION);
        EXPECT_EQ(0ul, ExStyleOf(window) & (DWORD)WS_EX_TOPMOST);
        client = ClientOnScreen(window);
        EXPECT_EQ(640, client.right - client.left);
        EXPECT_EQ(480, client.bottom - client.top);
        GetWindowRect(window, &outer);
        EXPECT_EQ((desktopWidth - (outer.right - outer.left)) / 2, client.left);
        GetWindowClientScreenRect(&recorded);
        ExpectRect(client, recorded, "client after returning to window mode");
        EXPECT_EQ(1, SystemState.live.cursorShownSetting);
    }

    EXPECT_EQ(0, EndLibraryLocked());
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(1, GetQuitRequested());
    EXPECT_EQ(-1, RunMessagePump());
}

TEST(FullScreenWindow, DeactivationMinimisesOnNewerSystems)
{
    // The desktop's own size is a listed mode, so full screen stays.
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    ASSERT_EQ(0, SetScreenMode(width, height, 32, 60));
    SetKeepRunningInBackground(1);
    ASSERT_EQ(0, InitLibraryLocked());
    ASSERT_EQ(0, GetWindowedFlag());
    HWND window = GetMainWindowHwnd();
    EXPECT_EQ((DWORD)WS_POPUP, StyleOf(window) & (WS_POPUP | WS_CAPTION));
    EXPECT_NE(0ul, ExStyleOf(window) & (DWORD)WS_EX_TOPMOST);
    EXPECT_EQ(0, SystemState.live.cursorShownSetting);

    // Stored scales are reported as 1.0 in full screen.
    SystemState.settings.windowScaleX = 2.0;
    double x, y;
    EXPECT_DOUBLE_EQ(1.0, GetWindowScale(&x, &y));
    SystemState.settings.windowScaleX = 0;

    // Wine reports Windows 6.1: leaving full screen minimises the window.
    ASSERT_GE(SystemState.kept.osCode, 0x108);
    MainWindowProc(window, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(0, IsMainWindowActive());
    EXPECT_TRUE(IsIconic(window));
    MainWindowProc(window, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 0), 0);
    EXPECT_EQ(1, IsMainWindowActive());

    EXPECT_EQ(0, EndLibraryLocked());
    EXPECT_FALSE(IsWindow(window));
}
