// Library start-up and shut-down: the logged order of the steps and the
// allocation dump, repeated starts, the screen saver, the defaults of title
// and class, a second instance, the full-screen fallbacks and the
// fatal-error exit.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "game/main_loop.h"
#include "graphics/device.h"
#include "graphics/device_reset.h"
#include "runtime/library.h"
#include "runtime/library_lock.h"
#include "runtime/log.h"
#include "runtime/memory.h"
#include "runtime/system_state.h"
#include "runtime/window_state.h"
#include "tests/runtime/log_capture.h"
#include "tests/support/test_support.h"

namespace {

std::string ReadFileText(const std::string& path)
{
    std::string text;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return text;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
        text.append(buffer, n);
    fclose(f);
    return text;
}

// Whole-line match of a Shift-JIS text against a pattern in which "*" stands
// for any bytes and "#" for one or more digits (neither byte occurs inside a
// double-byte character, so the patterns can hold Japanese text as it is).
bool MatchLine(const char* text, const char* pattern)
{
    if (*pattern == 0)
        return *text == 0;
    if (*pattern == '*') {
        for (const char* t = text;; t++) {
            if (MatchLine(t, pattern + 1))
                return true;
            if (*t == 0)
                return false;
        }
    }
    if (*pattern == '#') {
        if (*text < '0' || *text > '9')
            return false;
        for (const char* t = text; *t >= '0' && *t <= '9'; t++)
            if (MatchLine(t + 1, pattern + 1))
                return true;
        return false;
    }
    return *text == *pattern && MatchLine(text + 1, pattern + 1);
}

// One expected log line: a pattern for the whole line, and whether lines of
// other subsystems (input, sound, graphics, ...) may come before it.
struct Expected {
    const char* pattern;
    bool othersBefore;
};

// Matches the lines against the expected ones in order; a line that is not
// expected is allowed only where othersBefore says so. Returns a description
// of the first difference, or "".
std::string MatchInOrder(const std::vector<std::string>& lines, const std::vector<Expected>& expected)
{
    size_t i = 0;
    for (const Expected& e : expected) {
        while (i < lines.size() && !MatchLine(lines[i].c_str(), e.pattern)) {
            if (!e.othersBefore)
                return "line " + std::to_string(i) + " \"" + lines[i] + "\" where \"" + e.pattern + "\" was expected";
            i++;
        }
        if (i == lines.size())
            return std::string("missing \"") + e.pattern + "\"";
        i++;
    }
    if (i != lines.size())
        return "unexpected line after the end: \"" + lines[i] + "\"";
    return "";
}

// A new temporary directory made current for the test, and removed after it.
struct TempCurrentDirectory {
    std::string path, saved;
    explicit TempCurrentDirectory(const char* tag)
    {
        char current[MAX_PATH];
        GetCurrentDirectoryA(sizeof current, current);
        saved = current;
        path = MakeTempDir(tag);
        SetCurrentDirectoryA(path.c_str());
    }
    ~TempCurrentDirectory()
    {
        SetCurrentDirectoryA(saved.c_str());
        RemoveTree(path);
    }
};

BOOL ScreenSaverActive()
{
    BOOL active = FALSE;
    SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &active, 0);
    return active;
}

void SetScreenSaverActive(BOOL active)
{
    // Wine's display driver takes the X server's screen saver state when it
    // first starts in a process; start it before setting ours.
    ReleaseDC(nullptr, GetDC(nullptr));
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, active, nullptr, SPIF_SENDCHANGE);
}

} // namespace

TEST(StartupLog, StepsInOrderAndNoBlockHeldAtTheEnd)
{
    TempCurrentDirectory temp("startup");
    const std::string& dir = temp.path;
    // What the setters log before start-up reaches no file: the start
    // directory is not known yet.
    ChangeWindowMode(1);
    SetLogFileOutput(1);
    SetWindowTitleText("StartupLog");
    ASSERT_EQ(0, InitLibraryLocked());
    ASSERT_EQ(0, EndLibraryLocked());
    std::vector<std::string> lines = StripLogLines(ReadFileText(dir + "\\Log.txt"));

    const std::vector<Expected> expected = {
        {"システムの情報を出力します", false},
        {"Ｖｅｘｉｌライブラリ Ver3.04", false},
        {"ＯＳ  Windows7 ( Build # *)", false},
        {"ＣＰＵ動作速度：大体#.#GHz", false},
        {"ＭＭＸ命令を使用します", false},
        {"ＳＳＥ命令が使用可能です", false},
        {"ＳＳＥ２命令が使用可能です", false},
        {"ＣＰＵベンダ：*", false},
        {"ＣＰＵ名：*", false},
        {"ＣＯＭの初期化... 成功しました", false},
        {"メモリ総量:#.#MB  空きメモリ領域:#.#MB ", false},
        {"タイマーの精度を検査します", false},
        {"精度結果 更新回数 マルチメディアタイマー：#  パフォーマンスカウンター：#", false},
        {" パフォーマンスカウンターを使用します タイマー分解能 : #.# KHz ", false},
        {" ソフトの二重起動検査... 二重起動はされていませんでした", false},
        {"ウインドウクラスを登録します... 登録に成功しました", false},
        {"ウインドウモード起動用のウインドウを作成します", false},
        {"ウインドウの作成に成功しました", false},
        {"ＩＭＥを無効にしました", false},
        {"ウインドウスタイルをウインドウモード用に変更します... 完了", false},
        // input, sound, graphics, text input and debug text start and end here
        {"ウインドウを閉じようとしています", true},
        {"ウインドウが破棄されようとしています", false},
        {"ソフトを終了する準備が整いました", false},
        {"ＣＯＭを終了... 完了", true},
        {"", true},
        {"Alloc memory dump", false},
        {"Total size:0(0.000kb)  Alloc num:0", false},
        {"", false},
    };
    std::string difference = MatchInOrder(lines, expected);
    EXPECT_EQ("", difference);
    EXPECT_EQ(0, GetAllocCount());

    // Every line ends with CR LF and starts with the stamp.
    std::string raw = ReadFileText(dir + "\\Log.txt");
    ASSERT_GE(raw.size(), 2u);
    EXPECT_EQ("\r\n", raw.substr(raw.size() - 2));
    EXPECT_TRUE(MatchLine(raw.substr(0, raw.find("\r\n")).c_str(), "#:システムの情報を出力します"));
    EXPECT_EQ(std::string::npos, raw.find("ChangeWindowMode"));
}

TEST(StartupRepeat, DefaultsScreenSaverAndASecondStart)
{
    // Ending before any start does nothing and keeps the lock.
    EnterLibraryLock();
    LeaveLibraryLock();
    EXPECT_EQ(0, EndLibraryLocked());
    EXPECT_EQ(1, GetLibraryLockCreated());

    {
        // A start directory longer than the 256 bytes kept for it refuses
        // the start: shut-down could not go back to it.
        TempCurrentDirectory temp("long");
        std::string deep = MakeNestedDir(temp.path, 256);
        ASSERT_FALSE(deep.empty());
        ASSERT_TRUE(SetCurrentDirectoryA(deep.c_str()));
        ChangeWindowMode(1);
        EXPECT_EQ(-1, InitLibraryLocked());
        EXPECT_EQ(nullptr, GetMainWindowHwnd());
        EXPECT_EQ(0, SystemState.kept.starting);
        EXPECT_EQ(0, SystemState.kept.initialised);
    }

    TempCurrentDirectory temp("repeat");
    BOOL before = ScreenSaverActive();
    ChangeWindowMode(1);
    SetLogFileOutput(0);
    for (BOOL saver : {FALSE, TRUE}) {
        SetScreenSaverActive(saver);
        {
            // With the log off, only the free-memory text reaches the debugger.
            DebugOutputCapture debug;
            ASSERT_EQ(0, InitLibraryLocked());
            EXPECT_TRUE(MatchLine(debug.Text().c_str(), "#.#MB\n")) << debug.Text();
        }
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("Log.txt"));
        HWND window = GetMainWindowHwnd();
        ASSERT_NE(nullptr, window);
        EXPECT_FALSE(ScreenSaverActive()) << "the screen saver is off while the library runs";

        // No title set: the class is "D123987X" and the title "Vexil".
        char text[64] = {};
        GetClassNameA(window, text, sizeof text);
        EXPECT_STREQ("D123987X", text);
        GetWindowTextA(window, text, sizeof text);
        EXPECT_STREQ("Vexil", text);

        // A second start changes nothing.
        EXPECT_EQ(0, InitLibraryLocked());
        EXPECT_EQ(window, GetMainWindowHwnd());

        EXPECT_EQ(0, EndLibraryLocked());
        EXPECT_EQ(nullptr, GetMainWindowHwnd());
        EXPECT_FALSE(IsWindow(window));
        EXPECT_EQ(saver, ScreenSaverActive()) << "the setting found at start-up comes back";
        EXPECT_EQ(0, GetAllocCount());
        EXPECT_EQ(0, GetLibraryLockCreated());
    }
    SetScreenSaverActive(before);
}

TEST(StartupDouble, ASecondInstanceIsRefused)
{
    // Another window of the class the library would use stands for the
    // first instance.
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "FirstInstance";
    ASSERT_NE(0, RegisterClassA(&wc));
    HWND first = CreateWindowExA(0, "FirstInstance", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 wc.hInstance, nullptr);
    ASSERT_NE(nullptr, first);

    BOOL before = ScreenSaverActive();
    SetScreenSaverActive(TRUE);
    TempCurrentDirectory temp("double");
    const std::string& dir = temp.path;
    SetLogFileOutput(1);
    ChangeWindowMode(1);
    SetWindowTitleText("FirstInstance");
    EXPECT_EQ(-1, InitLibraryLocked());
    EXPECT_EQ(1, GetQuitRequested());
    EXPECT_EQ(0, SystemState.kept.starting);
    EXPECT_EQ(0, SystemState.kept.initialised);
    std::vector<std::string> lines = StripLogLines(ReadFileText(dir + "\\Log.txt"));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(" ソフトの二重起動検査... 二重起動されています、ソフトを終了します", lines.back());
    // The refused start leaves the screen saver as it found it.
    EXPECT_TRUE(ScreenSaverActive());

    // Once the other window is gone, a start succeeds.
    DestroyWindow(first);
    UnregisterClassA("FirstInstance", wc.hInstance);
    EXPECT_EQ(0, InitLibraryLocked());
    EXPECT_EQ(0, GetQuitRequested());
    EXPECT_EQ(0, EndLibraryLocked());
    SetScreenSaverActive(before);
}

namespace {

// The virtual display offers no mode but its own: the 640 x 480 mode of a
// doubled screen is taken as set.
extern "C" void* importedChangeDisplaySettings asm(IMPORT_SYMBOL(ChangeDisplaySettingsA, 8));
LONG WINAPI AcceptDisplaySettings(DEVMODEA*, DWORD) { return DISP_CHANGE_SUCCESSFUL; }

} // namespace

TEST(StartupFullScreen, UnlistedSizesFallBackAndSmallOnesAreDoubled)
{
    ReplaceImport(&importedChangeDisplaySettings, (void*)AcceptDisplaySettings);
    // The display (Xvfb) offers only its own size.
    ASSERT_EQ(0, SetScreenMode(800, 600, 32, 60));
    ASSERT_EQ(0, GetWindowedFlag());
    ASSERT_EQ(0, InitLibraryLocked());
    EXPECT_EQ(1, GetWindowedFlag());
    EXPECT_EQ(0, Screen.doubled);
    RECT client;
    GetClientRect(GetMainWindowHwnd(), &client);
    EXPECT_EQ(800, client.right);
    EXPECT_EQ(600, client.bottom);
    EXPECT_EQ(0, EndLibraryLocked());

    ChangeWindowMode(0);
    ASSERT_EQ(0, SetScreenMode(320, 240, 32, 60));
    ASSERT_EQ(0, InitLibraryLocked());
    EXPECT_EQ(0, GetWindowedFlag());
    EXPECT_EQ(1, Screen.doubled);
    EXPECT_EQ(640, Screen.width);
    EXPECT_EQ(480, Screen.height);
    EXPECT_EQ(0, EndLibraryLocked());
}

namespace {

DWORD WINAPI FatalOnThread(void*)
{
    FatalErrorExit("スレッドで致命的なエラー");
}

void StartLoggedLibrary()
{
    SetLogFileOutput(1);
    ChangeWindowMode(1);
    if (InitLibraryLocked() != 0)
        ExitProcess(3);
}

// Reports on stderr every screen saver switch of this process, where a death
// test can see it after the process is gone.
extern "C" void* importedSystemParametersInfo asm(IMPORT_SYMBOL(SystemParametersInfoA, 16));
BOOL(WINAPI* realSystemParametersInfo)(UINT, UINT, PVOID, UINT);

BOOL WINAPI ReportingSystemParametersInfo(UINT action, UINT value, PVOID data, UINT flags)
{
    // Flushed at once: redirected, stderr is fully buffered, and a process
    // ended from another thread may never flush it.
    if (action == SPI_SETSCREENSAVEACTIVE) {
        fprintf(stderr, "[screen saver %u]", value);
        fflush(stderr);
    }
    return realSystemParametersInfo(action, value, data, flags);
}

// Switches the screen saver on, then reports every later switch.
void ReportScreenSaverSwitches()
{
    realSystemParametersInfo = (BOOL(WINAPI*)(UINT, UINT, PVOID, UINT))ReplaceImport(
        &importedSystemParametersInfo, (void*)ReportingSystemParametersInfo);
    realSystemParametersInfo(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, 0);
}

// Off at the window start, then back on; nothing else.
const char* const ScreenSaverOffAndBack = "^\\[screen saver 0\\]\\[screen saver 1\\]$";

// Ends a process that a fatal exit failed to end, saying so on stderr where
// the death test shows it; the cap is far beyond a shut-down's time.
const DWORD FatalExitCapMs = 2 * PlatformWaitMs;

DWORD WINAPI Watchdog(void*)
{
    Sleep(FatalExitCapMs);
    fprintf(stderr, "[the fatal exit did not end the process within %lu s]", FatalExitCapMs / 1000);
    fflush(stderr);
    ExitProcess(5);
}

} // namespace

TEST(StartupFatal, EndsTheProcessFromAnyThread)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    BOOL before = ScreenSaverActive();
    SetScreenSaverActive(TRUE);

    // On the main thread: logged, the library taken down, exit code -1.
    DeleteFileA("Log.txt");
    EXPECT_EXIT(
        {
            ReportScreenSaverSwitches();
            StartLoggedLibrary();
            FatalErrorExitFormat("致命的なエラー %d", 7);
        },
        testing::ExitedWithCode(-1), ScreenSaverOffAndBack);
    std::vector<std::string> lines = StripLogLines(ReadFileText("Log.txt"));
    std::vector<Expected> expected = {
        {"致命的なエラー 7", true},
        {"ウインドウを閉じようとしています", true},
        {"ウインドウが破棄されようとしています", false},
        {"ソフトを終了する準備が整いました", false},
        {"ＣＯＭを終了... 完了", true},
        {"", true},
        {"Alloc memory dump", false},
        {"Total size:0(0.000kb)  Alloc num:0", false},
        {"", false},
    };
    EXPECT_EQ("", MatchInOrder(lines, expected));
    EXPECT_TRUE(ScreenSaverActive());

    // On another thread: logged, and the process ends without waiting for a
    // shut-down that only the main thread could run.
    DeleteFileA("Log.txt");
    EXPECT_EXIT(
        {
            ReportScreenSaverSwitches();
            StartLoggedLibrary();
            HANDLE thread = CreateThread(nullptr, 0, FatalOnThread, nullptr, 0, nullptr);
            WaitForSingleObject(thread, FatalExitCapMs);
            fprintf(stderr, "[the fatal exit on another thread did not end the process within %lu s]",
                    FatalExitCapMs / 1000);
            fflush(stderr);
            ExitProcess(4);
        },
        testing::ExitedWithCode(-1), ScreenSaverOffAndBack);
    lines = StripLogLines(ReadFileText("Log.txt"));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("スレッドで致命的なエラー", lines.back());
    EXPECT_TRUE(ScreenSaverActive()) << "the screen saver setting comes back";
    SetScreenSaverActive(before);
    DeleteFileA("Log.txt");
}

TEST(StartupFatal, DuringStartUpTheScreenSaverComesBack)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // After the window start (a failed input device, say): the shut-down has
    // nothing to end, yet the setting found at the window start comes back.
    EXPECT_EXIT(
        {
            ReportScreenSaverSwitches();
            ChangeWindowMode(1);
            if (CreateMainWindow() != 0)
                ExitProcess(3);
            FatalErrorExit("起動中の致命的なエラー");
        },
        testing::ExitedWithCode(-1), ScreenSaverOffAndBack);
}

TEST(StartupFatal, InsideTheTextInputStepDoesNotHang)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Inside the pump's text-input step (whose re-entry guard is set): the
    // shut-down still pumps the window away instead of hanging.
    DeleteFileA("Log.txt");
    EXPECT_EXIT(
        {
            StartLoggedLibrary();
            CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr);
            SystemState.live.pumpReentry = 1;
            FatalErrorExit("入力処理中の致命的なエラー");
        },
        testing::ExitedWithCode(-1), "");
    std::vector<std::string> lines = StripLogLines(ReadFileText("Log.txt"));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("", lines.back()) << "the allocation dump closes the log";
    DeleteFileA("Log.txt");
}

TEST(StartupGame, AGameRunEndsWithNoBlockHeld)
{
    ASSERT_EQ(0, StartGame());
    for (int frame = 0; frame < 20; frame++) {
        ASSERT_EQ(0, RunGameFrame());
        ASSERT_EQ(0, ProcessMessagesLocked());
    }
    PostMessageA(GetMainWindowHwnd(), WM_CLOSE, 0, 0);
    int result = 0;
    for (int i = 0; i < 100 && result == 0; i++)
        result = ProcessMessagesLocked();
    EXPECT_EQ(-1, result);
    EXPECT_EQ(0, EndLibraryLocked());
    EXPECT_EQ(0, GetAllocCount());
    EXPECT_EQ(0, GetAllocTotalSize());
}
