// The game's frame pacing and its main loop run in this process.
#include <gtest/gtest.h>
#include <windows.h>

#include "game/game_state.h"
#include "game/main_loop.h"
#include "runtime/library.h"
#include "runtime/system_state.h"
#include "runtime/window_state.h"
#include "tests/support/test_files.h"

TEST(FramePacing, SleepsWhatRemainsOfSixteenMilliseconds)
{
    struct Case {
        int last, now, sleep;
    } cases[] = {
        {1000, 1003, 13},                  // a quick frame
        {1000, 1020, 0},                   // a slow frame is not made up
        {1000, 1016, 0},                   // exactly one frame
        {1000, 1015, 1},
        {1000, 1000, 16},
        {0x7FFFFFFE, 3, 11},               // across the 31-bit clock's wrap
        {0x7FFFFFF0, 0x10, 0},
        {0, 0x7FFFFFFF, 0},                // the first frame: stored time 0
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.sleep, FrameSleepTime(c.now, c.last)) << c.last << " -> " << c.now;
}

TEST(FramePacing, AGameResetForgetsThePreviousFrame)
{
    // A reset game paces its first frame as the program's first: stored time 0.
    lastFrameEnd = 12345;
    ResetGameGlobals();
    EXPECT_EQ(0, lastFrameEnd);
}

namespace {

HWND FindGameWindow()
{
    return FindWindowA("星霊譚 -ENDLESS VANGUARD-", nullptr);
}

// Closes the window once 30 frames have run. Start-up and a frame presented
// through a software GL can be slow, so it waits up to 90 s; past that it
// closes the window anyway and reports the failure, so that the loop ends.
DWORD WINAPI CloseAfterFrames(void*)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 90000) {
        HWND window = FindGameWindow();
        if (window && frameCount >= 30) {
            PostMessageA(window, WM_CLOSE, 0, 0);
            return 0;
        }
        Sleep(10);
    }
    if (HWND window = FindGameWindow())
        PostMessageA(window, WM_CLOSE, 0, 0);
    return 1;
}

} // namespace

TEST(GameLoop, RunsFramesUntilTheWindowIsClosed)
{
    // The game starts in its data directory, as it is shipped.
    ASSERT_GE(TestArgCount(), 2);
    ASSERT_TRUE(SetCurrentDirectoryA(TestArg(1)));
    ASSERT_EQ(0, StartGame());
    EXPECT_EQ(1280, screenWidth);
    EXPECT_EQ(720, screenHeight);
    EXPECT_EQ(1, GetWindowedFlag());
    RECT client;
    ASSERT_TRUE(GetClientRect(GetMainWindowHwnd(), &client));
    EXPECT_EQ(1280, client.right - client.left);
    EXPECT_EQ(720, client.bottom - client.top);

    HANDLE closer = CreateThread(nullptr, 0, CloseAfterFrames, nullptr, 0, nullptr);
    DWORD start = GetTickCount();
    RunGameLoop();
    DWORD took = GetTickCount() - start;
    WaitForSingleObject(closer, INFINITE);
    DWORD closerResult = 1;
    GetExitCodeThread(closer, &closerResult);
    CloseHandle(closer);

    EXPECT_EQ(0u, closerResult);
    EXPECT_GE(frameCount, 30);
    // Paced at 16 ms a frame or slower.
    EXPECT_GE(took, 16u * 29);
    EXPECT_EQ(1, GetQuitRequested());
    EXPECT_EQ(0, EndLibraryLocked());
    EXPECT_EQ(0, SystemState.kept.initialised);
}
