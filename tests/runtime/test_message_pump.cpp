// The per-frame message step: how many messages a call takes, the quit
// answer, the calls made before a window exists, and the hold while the
// window is inactive.
#include <gtest/gtest.h>
#include <windows.h>

#include "graphics/device_reset.h"
#include "runtime/library.h"
#include "runtime/main_window.h"
#include "runtime/message_pump.h"
#include "runtime/system_state.h"
#include "runtime/window_state.h"
#include "tests/support/test_support.h"

namespace {

// Starts the library and routes the main window's messages through a counter.
void StartWithCountingWindow()
{
    SetKeepRunningInBackground(1);
    ChangeWindowMode(1);
    ASSERT_EQ(0, InitLibraryLocked());
    HWND window = GetMainWindowHwnd();
    ASSERT_NE(nullptr, window);
    CountMessagesOf(window);
    // Let start-up's own messages (paint, cursor) go first.
    MSG msg;
    for (int i = 0; i < 100 && PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE); i++)
        RunMessagePump();
}

// Sleeps of one thread, counted through the program's import table.
extern "C" void* importedSleep asm(IMPORT_SYMBOL(Sleep, 4));
void(WINAPI* realSleep)(DWORD);
DWORD countedThread;
volatile LONG sleepsCounted;

void WINAPI CountingSleep(DWORD ms)
{
    if (GetCurrentThreadId() == countedThread)
        InterlockedIncrement(&sleepsCounted);
    realSleep(ms);
}

void CountSleepsOfThisThread()
{
    countedThread = GetCurrentThreadId();
    sleepsCounted = 0;
    if (!realSleep)
        realSleep = (void(WINAPI*)(DWORD))ReplaceImport(&importedSleep, (void*)CountingSleep);
}

volatile LONG activationPosted;

// Activates the window through its queue once the caller's wait for that
// has slept (or the platform wait has passed without it sleeping).
DWORD WINAPI ActivateLater(void* window)
{
    PollUntil([] { return sleepsCounted > 0; });
    InterlockedExchange(&activationPosted, 1);
    PostMessageA((HWND)window, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 0), 0);
    return 0;
}

// Runs the call while another thread activates the window; the call is to
// return only after the activation, having slept while it waited.
template <typename Call>
void ExpectHeldUntilActive(HWND window, Call call)
{
    activationPosted = 0;
    CountSleepsOfThisThread();
    HANDLE activator = CreateThread(nullptr, 0, ActivateLater, window, 0, nullptr);
    call();
    EXPECT_EQ(1, activationPosted);
    EXPECT_EQ(1, IsMainWindowActive());
    EXPECT_GT(sleepsCounted, 0) << "the hold sleeps rather than spins";
    WaitForSingleObject(activator, INFINITE);
    CloseHandle(activator);
}

} // namespace

TEST(PumpBeforeWindow, ReturnsZeroAndLeavesTheQueueAlone)
{
    PostThreadMessageA(GetCurrentThreadId(), CountedMessage, 0, 0);
    EXPECT_EQ(0, RunMessagePump());
    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, CountedMessage, CountedMessage, PM_REMOVE));
}

TEST(PumpBurst, TakesAtMostFiveMessagesACall)
{
    StartWithCountingWindow();
    HWND window = GetMainWindowHwnd();
    for (int i = 0; i < 10; i++)
        PostMessageA(window, CountedMessage, i, 0);

    countedMessages = 0;
    EXPECT_EQ(0, RunMessagePump());
    EXPECT_EQ(5, countedMessages);
    EXPECT_EQ(0, RunMessagePump());
    EXPECT_EQ(10, countedMessages);
    EXPECT_EQ(0, RunMessagePump());
    EXPECT_EQ(10, countedMessages);

    // A short burst is taken whole in one call.
    for (int i = 0; i < 3; i++)
        PostMessageA(window, CountedMessage, i, 0);
    EXPECT_EQ(0, RunMessagePump());
    EXPECT_EQ(13, countedMessages);

    EXPECT_EQ(0, EndLibraryLocked());
}

TEST(PumpQuit, QuitMessageEndsTheGame)
{
    StartWithCountingWindow();
    PostQuitMessage(0);
    EXPECT_EQ(-1, RunMessagePump());
    EXPECT_EQ(1, GetQuitRequested());
    // Every later call keeps answering -1.
    EXPECT_EQ(-1, RunMessagePump());
    EXPECT_EQ(0, EndLibraryLocked());
}

TEST(PumpClose, ClosingTheWindowEndsTheGame)
{
    StartWithCountingWindow();
    HWND window = GetMainWindowHwnd();
    PostMessageA(window, WM_CLOSE, 0, 0);
    int result = 0;
    for (int i = 0; i < 100 && result == 0; i++)
        result = RunMessagePump();
    EXPECT_EQ(-1, result);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(0, EndLibraryLocked());
}

TEST(PumpInactive, WindowModeHoldsOnlyWithoutKeepRunning)
{
    StartWithCountingWindow();
    HWND window = GetMainWindowHwnd();

    // Keep-running on: nothing waits, and the pump makes one pass.
    MainWindowProc(window, WM_ACTIVATE, WA_INACTIVE, 0);
    ASSERT_EQ(0, IsMainWindowActive());
    EXPECT_EQ(0, WaitWhileInactive());
    PostMessageA(window, CountedMessage, 0, 0);
    countedMessages = 0;
    EXPECT_EQ(0, RunMessagePump());
    EXPECT_EQ(1, countedMessages);
    EXPECT_EQ(0, IsMainWindowActive());

    // Keep-running off: the pump holds the thread until the window is active.
    SetKeepRunningInBackground(0);
    ExpectHeldUntilActive(window, [] { EXPECT_EQ(0, RunMessagePump()); });
    MainWindowProc(window, WM_ACTIVATE, WA_INACTIVE, 0);
    ExpectHeldUntilActive(window, [] { EXPECT_EQ(0, WaitWhileInactive()); });

    EXPECT_EQ(0, EndLibraryLocked());
}

TEST(PumpInactiveFullScreen, ReadingCallsHoldEvenWhenKeepRunning)
{
    // The desktop's own size is a listed mode, so full screen stays.
    ASSERT_EQ(0, SetScreenMode(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), 32, 60));
    SetKeepRunningInBackground(1);
    ASSERT_EQ(0, InitLibraryLocked());
    ASSERT_EQ(0, GetWindowedFlag());
    HWND window = GetMainWindowHwnd();

    MainWindowProc(window, WM_ACTIVATE, WA_INACTIVE, 0);
    ASSERT_EQ(0, IsMainWindowActive());
    ExpectHeldUntilActive(window, [] { EXPECT_EQ(0, WaitWhileInactive()); });

    EXPECT_EQ(0, EndLibraryLocked());
}
