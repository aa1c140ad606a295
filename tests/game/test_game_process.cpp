// The game executable started as a process of its own: its window, a second
// instance, and closing it.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/game/game_process.h"
#include "tests/support/test_support.h"

namespace {

const char* const WindowTitle = "星霊譚 -ENDLESS VANGUARD-";

using Process = GameProcess;

// The game's visible window, once it shows, for at most the platform wait.
HWND WaitForWindow()
{
    HWND window = nullptr;
    PollUntil([&] {
        window = FindWindowA(WindowTitle, nullptr);
        return window && IsWindowVisible(window);
    });
    return window && IsWindowVisible(window) ? window : nullptr;
}

} // namespace

TEST(GameProcess, OpensItsWindowRefusesASecondInstanceAndClosesCleanly)
{
    ASSERT_GE(TestArgCount(), 2) << "usage: test_game_process <game.exe>";
    std::string exe = TestArg(1);
    std::string dir = MakeTempDir("game");
    ASSERT_FALSE(dir.empty());

    Process game;
    ASSERT_TRUE(game.Start(exe, dir)) << "cannot start " << exe;
    HWND window = WaitForWindow();
    ASSERT_NE(nullptr, window) << "no game window";

    char title[256] = {};
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ(WindowTitle, title);
    char className[256] = {};
    GetClassNameA(window, className, sizeof className);
    EXPECT_STREQ(WindowTitle, className);
    RECT client;
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(1280, client.right - client.left);
    EXPECT_EQ(720, client.bottom - client.top);

    // Graphics start-up (the device, the images) holds the thread for a
    // while; once the frame loop runs, it keeps answering its messages.
    int inRow = 0;
    EXPECT_TRUE(PollUntil([&] {
        DWORD_PTR answer;
        inRow = SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer) ? inRow + 1 : 0;
        return inRow == 5;
    })) << "the game's window never answered five messages in a row";
    for (int i = 0; i < 5; i++) {
        DWORD_PTR result;
        EXPECT_NE(0, SendMessageTimeoutA(window, WM_NULL, 0, 0, 0, PlatformWaitMs, &result));
        Sleep(100);
    }

    Process second;
    ASSERT_TRUE(second.Start(exe, dir));
    DWORD code = 0;
    ASSERT_TRUE(second.WaitExit(PlatformWaitMs, &code)) << "the second instance did not exit";
    EXPECT_EQ((DWORD)-1, code);
    EXPECT_EQ(window, FindWindowA(WindowTitle, nullptr));

    PostMessageA(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(game.WaitExit(PlatformWaitMs, &code)) << "the game did not end after WM_CLOSE";
    EXPECT_EQ(0u, code);
    EXPECT_EQ(nullptr, FindWindowA(WindowTitle, nullptr));

    RemoveTree(dir);
}
