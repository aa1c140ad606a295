// The per-frame message step: how many messages a call takes, the quit
// answer, and the calls made before a window exists.
#include <gtest/gtest.h>
#include <windows.h>

#include "runtime/library.h"
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
