#include "runtime/library.h"

#include <windows.h>
#include <mmsystem.h>
#include <winnls32.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "audio/sound_services.h"
#include "graphics/device.h"
#include "graphics/device_reset.h"
#include "graphics/draw_target.h"
#include "graphics/model.h"
#include "image/raster_handles.h"
#include "movie/movie_services.h"
#include "runtime/file/archive_files.h"
#include "runtime/file/stream.h"
#include "runtime/helpers.h"
#include "runtime/input.h"
#include "runtime/library_lock.h"
#include "runtime/log.h"
#include "runtime/log_start.h"
#include "runtime/main_window.h"
#include "runtime/memory.h"
#include "runtime/message_pump.h"
#include "runtime/network.h"
#include "runtime/screen_print.h"
#include "runtime/system_state.h"
#include "runtime/text_input.h"
#include "runtime/timing.h"
#include "runtime/window_state.h"

// ---------------------------------------------------------------------------
// Public locked entries

int InitLibraryLocked()
{
    if (SystemState.kept.initialised)
        return 0;
    EnterLibraryLock();
    int result = StartLibrarySystem();
    LeaveLibraryLock();
    return result;
}

int EndLibraryLocked()
{
    if (!SystemState.kept.initialised)
        return 0;
    EnterLibraryLock();
    EndLibrarySystem();
    LeaveLibraryLock();
    DestroyLibraryLock();
    return 0;
}

int ProcessMessagesLocked()
{
    EnterLibraryLock();
    int result = RunMessagePump();
    LeaveLibraryLock();
    return result;
}

// ---------------------------------------------------------------------------
// Setters

int SetLogFileOutput(int flag)
{
    SystemState.settings.logOff = !flag;
    return 0;
}

static void CopyLimited(char* destination, const char* source, size_t size)
{
    size_t n = 0;
    if (source)
        while (n + 1 < size && source[n])
            n++;
    memcpy(destination, source ? source : "", n);
    destination[n] = 0;
}

int SetWindowTitleText(const char* text)
{
    SystemSettings& s = SystemState.settings;
    CopyLimited(s.windowTitle, text, sizeof s.windowTitle);
    if (SystemState.live.window)
        SetWindowTextA(SystemState.live.window, s.windowTitle);
    return 0;
}

int SetWindowIconResource(int id)
{
    SystemState.settings.iconResourceId = id;
    HWND window = SystemState.live.window;
    if (window) {
        HICON icon = LoadIconA(id ? SystemState.live.instance : nullptr, MAKEINTRESOURCEA(id ? id : 32512));
        SetClassLongPtrA(window, GCLP_HICON, (LONG_PTR)icon);
    }
    return 0;
}

int SetKeepRunningInBackground(int flag)
{
    SystemState.settings.keepRunning = flag;
    return 0;
}

// ---------------------------------------------------------------------------
// Start-up

static int DesktopColorBits()
{
    HDC dc = GetDC(nullptr);
    int bits = GetDeviceCaps(dc, PLANES) * GetDeviceCaps(dc, BITSPIXEL);
    ReleaseDC(nullptr, dc);
    return bits;
}

// A full-screen size that the display does not offer falls back to window
// mode; 320 x 240 is shown doubled on a 640 x 480 mode.
static void CheckDisplayMode()
{
    if (SystemState.settings.windowMode)
        return;
    int width, height;
    QueryScreenSize(&width, &height);
    bool listed = false;
    for (int i = 0, n = CountDisplayModes(); i < n && !listed; i++) {
        DisplayMode mode = DisplayModeAt(i);
        listed = mode.width == width && mode.height == height;
    }
    bool small = width == 320 && height == 240;
    if (!listed && !small)
        ChangeWindowMode(1);
    if (small && !SystemState.settings.windowMode) {
        Screen.doubled = 1;
        Screen.width = 640;
        Screen.height = 480;
    }
}

// The shut-down ends nothing before the start is complete, but input and
// sound run threads and devices of their own: a process that exits with the
// sound device's stream still open can crash in the platform's exit. Both
// end here (each does nothing when it never started).
static void EndStartedDevices()
{
    TermInputSystem();
    TermSoundSystem();
}

static int FailStart()
{
    EndLibrarySystem();
    EndStartedDevices();
    // The window stays until the process ends, but the screen saver setting
    // outlives the process: give it back.
    if (SystemState.live.window)
        RestoreScreenSaver();
    SystemState.kept.starting = 0;
    return -1;
}

int StartLibrarySystem()
{
    SystemLongLived& k = SystemState.kept;
    if (k.initialised)
        return 0;
    k.starting = 1;

    CheckDisplayMode();
    InitYuvTables();
    TerminateArchives();
    SetStreamFunctions(nullptr);
    // The operation may write up to 260 characters; the start directory
    // keeps 256 bytes.
    char directory[FULL_PATH_SIZE + 4] = {};
    StreamFunctions.getCurrentDir(directory);
    // Shut-down goes back to the start directory and the log is written
    // there: one that cannot be had, or only cut short, refuses the start.
    size_t length = strnlen(directory, sizeof directory);
    if (length == 0 || length >= sizeof k.startDirectory) {
        k.starting = 0;
        return -1;
    }
    CopyLimited(k.startDirectory, directory, sizeof k.startDirectory);
    StartLogFile();

    int requestedDepth = Screen.depth ? Screen.depth : 16;
    if ((DesktopColorBits() == 24 && SystemState.settings.windowMode) || requestedDepth == 24) {
        WriteLog("Ｖｅｘｉｌライブラリは２４ビットカラーモードに対応していません\n");
        k.starting = 0;
        return -1;
    }

    QueryPerformanceFrequency(&SystemState.live.counterFrequency);
    SystemState.live.counterPresent = SystemState.live.counterFrequency.QuadPart != 0;

    LogSystemInfo();
    // (the stream descriptor operation blocks are static tables)

    if (!k.dwmModule) {
        k.dwmModule = LoadLibraryA("dwmapi.dll");
        k.dwmEnableComposition = nullptr;
        if (k.dwmModule)
            k.dwmEnableComposition =
                (HRESULT(WINAPI*)(UINT))(void*)GetProcAddress(k.dwmModule, "DwmEnableComposition");
    }

    SetGraphRestoreHandler(nullptr);

    if (!k.comInitialised) {
        WriteLog("ＣＯＭの初期化... ");
        if (FAILED(CoInitialize(nullptr))) {
            WriteLog("ＣＯＭの初期化に失敗しました\n");
        } else {
            WriteLog("成功しました\n");
            k.comInitialised = 1;
        }
    }

    if (CreateMainWindow() == -1)
        return FailStart();
    if (InitInputSystem() == -1)
        return FailStart();
    InitSoundSystem();
    if (InitGraphics() < 0)
        return FailStart();
    InitTextInput();

    k.initialised = 1;
    if (!SystemState.settings.windowMode)
        BringWindowToForeground(SystemState.live.window, 1);
    InitScreenPrint();
    SelectDrawTarget(DRAW_TARGET_BACK);
    SelectDrawTarget(DRAW_TARGET_FRONT);
    InitializeModelSystem();

    k.starting = 0;
    return 0;
}

// Character set from the OEM code page.
static void ChooseCharacterSet()
{
    SystemSettings& s = SystemState.settings;
    if (s.charSetChosen)
        return;
    switch (GetOEMCP()) {
    case 932: s.charSet = 1; s.codePage = 932; break;
    case 936: s.charSet = 4; s.codePage = 936; break;
    case 949: s.charSet = 2; s.codePage = 949; break;
    case 950: s.charSet = 3; s.codePage = 950; break;
    default:  s.charSet = 1; s.codePage = 0; break;
    }
    s.charSetChosen = 1;
}

typedef BOOL(WINAPI* GlobalMemoryStatusExProc)(LPMEMORYSTATUSEX);

static void ReportMemory()
{
    SystemLiveState& w = SystemState.live;
    uint64_t total = 0, available = 0;
    if (SystemState.kept.osCode >= 0x106) {
        HMODULE kernel = GetModuleHandleA("Kernel32.dll");
        GlobalMemoryStatusExProc query =
            kernel ? (GlobalMemoryStatusExProc)(void*)GetProcAddress(kernel, "GlobalMemoryStatusEx") : nullptr;
        MEMORYSTATUSEX status;
        status.dwLength = sizeof status;
        if (query && query(&status)) {
            total = status.ullTotalPhys;
            available = status.ullAvailPhys;
        }
    }
    if (total == 0) {
        MEMORYSTATUS status;
        status.dwLength = sizeof status;
        GlobalMemoryStatus(&status);
        total = status.dwTotalPhys;
        available = status.dwAvailPhys;
    }
    WriteLogFormat("メモリ総量:%.2fMB  空きメモリ領域:%.2fMB ", (double)total / 1048576.0,
                   (double)available / 1048576.0);
    char text[64];
    snprintf(text, sizeof text, "%.2fMB\n", (double)available / 1048576.0);
    OutputDebugStringA(text);
    w.totalPhysicalMemory = total;
    w.freePhysicalMemory = available;
}

// A window start that fails after switching the screen saver off and raising
// the timer resolution gives both back (and its class, so that a later start
// can register it again): no window exists, so the window's end never runs.
static int FailWindowStart()
{
    SystemLiveState& w = SystemState.live;
    RestoreScreenSaver();
    if (w.timerPeriod) {
        timeEndPeriod(w.timerPeriod);
        w.timerPeriod = 0;
    }
    UnregisterClassA(SystemState.settings.windowClassName, w.instance);
    w.quit = 1;
    return -1;
}

int CreateMainWindow()
{
    ResetLiveSystemState();
    SystemSettings& s = SystemState.settings;
    SystemLiveState& w = SystemState.live;

    if (!s.windowClassName[0])
        CopyLimited(s.windowClassName, s.windowTitle[0] ? s.windowTitle : "D123987X", sizeof s.windowClassName);

    w.instance = GetModuleHandleA(nullptr);
    w.mainThreadId = GetCurrentThreadId();

    ReportMemory();

    w.desktopWidth = GetSystemMetrics(SM_CXSCREEN);
    w.desktopHeight = GetSystemMetrics(SM_CYSCREEN);
    w.desktopColorBits = DesktopColorBits();

    QueryPerformanceFrequency(&w.counterFrequency);
    w.counterPresent = w.counterFrequency.QuadPart != 0;
    TIMECAPS caps;
    if (timeGetDevCaps(&caps, sizeof caps) == TIMERR_NOERROR) {
        w.timerPeriod = caps.wPeriodMin;
        timeBeginPeriod(w.timerPeriod);
    }
    if (w.counterPresent)
        RunTimerTest();

    SeedRandom((uint32_t)GetMilliCount());

    SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &w.screenSaverWasActive, 0);
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, SPIF_SENDCHANGE);

    ChooseCharacterSet();

    WriteLog("ソフトの二重起動検査... ");
    if (FindWindowA(s.windowClassName, nullptr)) {
        WriteLog("二重起動されています、ソフトを終了します\n");
        return FailWindowStart();
    }
    WriteLog("二重起動はされていませんでした\n");

    w.creating = 1;
    if (CreateMainWindowObject() == -1) {
        w.creating = 0;
        return FailWindowStart();
    }

    if (!s.windowTitle[0]) {
        CopyLimited(s.windowTitle, "Vexil", sizeof s.windowTitle);
        SetWindowTextA(w.window, s.windowTitle);
    }

    ShowWindow(w.window, SW_SHOW);
    UpdateWindow(w.window);
    w.closing = 0;
    w.destroyed = 0;
    w.active = 1;

    if (!s.windowMode) {
        WriteLog("カーソルを不可視にしました\n");
        SetCursor(nullptr);
    }

    WriteLog("ＩＭＥを無効にしました\n");
    if (!s.imeUse)
        WINNLSEnableIME(w.window, FALSE);

    if (s.windowMode) {
        RECT client;
        GetClientRect(w.window, &client);
        POINT origin = {0, 0};
        ClientToScreen(w.window, &origin);
        OffsetRect(&client, origin.x, origin.y);
        w.clientRect = client;
    }

    UpdateCursorVisibility(s.windowMode ? 1 : 0);

    BringWindowToTop(w.window);
    UpdateWindowSize();
    w.creating = 0;
    return 0;
}

// ---------------------------------------------------------------------------
// Shut-down

int EndLibrarySystem()
{
    SystemLongLived& k = SystemState.kept;
    if (!k.initialised)
        return 0;

    TermScreenPrint();
    TermNetwork();
    StopCurrentMusic();
    TerminateModelSystem();
    TerminateGraphics();
    TermInputSystem();
    TermSoundSystem();
    DestroyMainWindow();

    if (k.comInitialised) {
        CoUninitialize();
        WriteLog("ＣＯＭを終了... 完了\n");
        k.comInitialised = 0;
    }

    EndRasterHandles();
    k.initialised = 0;

    while (RunMessagePump() == 0 && !SystemState.live.quit && !SystemState.live.destroyed) {
    }

    if (StreamFunctions.setCurrentDir)
        StreamFunctions.setCurrentDir(k.startDirectory);

    TerminateArchives();
    DumpAllocations();

    if (k.dwmModule) {
        FreeLibrary(k.dwmModule);
        k.dwmModule = nullptr;
    }
    k.dwmEnableComposition = nullptr;
    return 0;
}

// ---------------------------------------------------------------------------
// Fatal exit

static volatile LONG fatalExitRunning;

void FatalErrorExit(const char* text)
{
    WriteLog(text);
    WriteLog("\n");
    const SystemLiveState& w = SystemState.live;
    const bool mainThread = w.mainThreadId == 0 || GetCurrentThreadId() == w.mainThreadId;
    // The shut-down pumps the main window's messages and stops the library's
    // threads, so it can only run on the main thread, and only once: another
    // thread (or a fatal error met during the shut-down itself) ends the
    // process at once, giving back only the screen saver setting, which
    // would otherwise outlive the process.
    if (!mainThread || InterlockedExchange(&fatalExitRunning, 1) != 0) {
        if (w.window)
            RestoreScreenSaver();
        ExitProcess((UINT)-1);
    }
    // Met inside the pump's text-input step, whose re-entry guard stays set,
    // the shut-down could never pump the window away: clear it first.
    SystemState.live.pumpReentry = 0;
    EndLibrarySystem();
    // Met during start-up, the shut-down has nothing to end but the devices
    // already started; the screen saver setting still goes back.
    EndStartedDevices();
    if (w.window)
        RestoreScreenSaver();
    DestroyLibraryLock();
    ExitProcess((UINT)-1);
}

void FatalErrorExitFormat(const char* format, ...)
{
    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    FatalErrorExit(text);
}
