// The game executable on a copy of the demo data, driven by keys: from the
// logo through the title to the first area, with a window-mode switch and
// back on the options page. The keys are set in the keyboard state that the
// game's thread reads (the test attaches its input to that thread), with the
// window kept in front; every scene is recognised by pixels read back from
// the window, so a black or stale picture fails.
// Arguments: the game executable and the demo data directory.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/game/game_process.h"
#include "tests/support/test_support.h"

namespace {

const char* const WindowTitle = "星霊譚 -ENDLESS VANGUARD-";
const int W = 1280, H = 720;

using Process = GameProcess;

// The client area as 0x00RRGGBB pixels, top row first; empty on failure.
std::vector<uint32_t> Capture(HWND window)
{
    std::vector<uint32_t> pixels;
    HDC source = GetDC(window);
    if (!source)
        return pixels;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = W;
    info.bmiHeader.biHeight = -H;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(source);
    if (bitmap && memory) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        if (BitBlt(memory, 0, 0, W, H, source, 0, 0, SRCCOPY)) {
            GdiFlush();
            const uint32_t* p = (const uint32_t*)bits;
            pixels.assign(p, p + W * H);
            for (uint32_t& v : pixels)
                v &= 0xFFFFFF;
        }
        SelectObject(memory, old);
    }
    if (memory)
        DeleteDC(memory);
    if (bitmap)
        DeleteObject(bitmap);
    ReleaseDC(window, source);
    return pixels;
}

// Share of the pixels of (x1, y1)-(x2, y2) that are not (nearly) black.
double Lit(const std::vector<uint32_t>& px, int x1, int y1, int x2, int y2)
{
    int lit = 0;
    for (int y = y1; y < y2; y++)
        for (int x = x1; x < x2; x++) {
            uint32_t v = px[(size_t)y * W + x];
            if (((v >> 16) & 0xFF) + ((v >> 8) & 0xFF) + (v & 0xFF) > 30)
                lit++;
        }
    return (double)lit / ((x2 - x1) * (y2 - y1));
}

// Share of the pixels of a rectangle within 8 of one of the colours.
double Coloured(const std::vector<uint32_t>& px, int x1, int y1, int x2, int y2, std::vector<uint32_t> colours)
{
    int hits = 0;
    for (int y = y1; y < y2; y++)
        for (int x = x1; x < x2; x++) {
            uint32_t v = px[(size_t)y * W + x];
            for (uint32_t c : colours) {
                int dr = (int)((v >> 16) & 0xFF) - (int)((c >> 16) & 0xFF);
                int dg = (int)((v >> 8) & 0xFF) - (int)((c >> 8) & 0xFF);
                int db = (int)(v & 0xFF) - (int)(c & 0xFF);
                if (abs(dr) <= 8 && abs(dg) <= 8 && abs(db) <= 8) {
                    hits++;
                    break;
                }
            }
        }
    return (double)hits / ((x2 - x1) * (y2 - y1));
}

using Screen = std::vector<uint32_t>;

// A capture as a 32-bit BMP file, for a look at what the test saw.
void SaveBmp(const Screen& s, const std::string& path)
{
    if (s.size() != (size_t)W * H)
        return;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = W;
    info.biHeight = -H;
    info.biPlanes = 1;
    info.biBitCount = 32;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + (DWORD)(s.size() * 4);
    std::vector<uint8_t> bytes((const uint8_t*)&file, (const uint8_t*)&file + sizeof file);
    bytes.insert(bytes.end(), (const uint8_t*)&info, (const uint8_t*)&info + sizeof info);
    bytes.insert(bytes.end(), (const uint8_t*)s.data(), (const uint8_t*)s.data() + s.size() * 4);
    WriteWholeFile(path, bytes.data(), bytes.size());
}

// The brightest pixel of a rectangle, as the mean of its channels.
int Brightest(const std::vector<uint32_t>& px, int x1, int y1, int x2, int y2)
{
    int best = 0;
    for (int y = y1; y < y2; y++)
        for (int x = x1; x < x2; x++) {
            uint32_t v = px[(size_t)y * W + x];
            int b = (int)(((v >> 16) & 0xFF) + ((v >> 8) & 0xFF) + (v & 0xFF)) / 3;
            best = b > best ? b : best;
        }
    return best;
}

// The scenes by what they show.
bool LogoShown(const Screen& s)
{
    // Pieces on a black screen, the bar and "NOW LOADING" below them.
    return Lit(s, 310, 320, 970, 400) > 0.03 && Lit(s, 0, 0, W, 300) < 0.02;
}
bool IntroShown(const Screen& s)
{
    return Lit(s, 480, 124, 800, 340) > 0.9;   // the intro's picture
}
bool MenuShown(const Screen& s)
{
    // The title picture on the left, the title texts and menu items, and no
    // intro picture.
    return !IntroShown(s) && Lit(s, 0, 0, 640, 640) > 0.1 && Lit(s, 682, 422, 922, 454) > 0.05;
}
// The blinking cursor beside menu row `row` (it shows in most frames).
bool MenuCursorAt(const Screen& s, int row)
{
    int x = 650 + 64 * row, y = 432 + 48 * row;
    return MenuShown(s) && Lit(s, x - 16, y - 16, x + 16, y + 16) > 0.02;
}
bool MenuCursorOn2(const Screen& s) { return MenuCursorAt(s, 2); }
bool MenuCursorOn1(const Screen& s) { return MenuCursorAt(s, 1); }
bool MenuCursorOn0(const Screen& s) { return MenuCursorAt(s, 0); }
bool OptionsShown(const Screen& s)
{
    return !MenuShown(s) && Lit(s, 75, 160, 400, 360) > 0.02 && Lit(s, 0, 420, 640, 720) < 0.01;
}
// Editing dims the labels to alpha 127.
bool OptionsEditing(const Screen& s)
{
    return OptionsShown(s) && Brightest(s, 75, 200, 300, 340) < 160;
}
// The window-mode value chosen: its text at alpha 255, the other at 128.
bool PendingFullScreen(const Screen& s)
{
    return OptionsEditing(s) && Brightest(s, 545, 160, 645, 182) > 200 && Brightest(s, 425, 160, 525, 182) < 160;
}
bool PendingWindow(const Screen& s)
{
    return OptionsEditing(s) && Brightest(s, 425, 160, 525, 182) > 200 && Brightest(s, 545, 160, 645, 182) < 160;
}
bool OptionsNotEditing(const Screen& s)
{
    return OptionsShown(s) && Brightest(s, 75, 200, 300, 340) > 200;
}
bool AreaSelectShown(const Screen& s)
{
    return Lit(s, 0, 0, W, H) > 0.85;   // tiled over the whole screen
}
bool PlayShown(const Screen& s)
{
    // The HUD: a black bar, the sphere gauge and the slot bar at its left
    // (dark greys, the gauge's blue), nothing at its right end; the field
    // above it.
    return Coloured(s, 20, 694, 300, 718, {0x202020, 0x404040, 0x9FCFFF}) > 0.25 &&
           Lit(s, 1000, 690, W, 720) < 0.02 && Lit(s, 0, 0, W, 660) > 0.02;
}

class GameKeys : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_GE(TestArgCount(), 3) << "usage: game_keys <game.exe> <data directory>";
        dir_ = MakeTempDir("gamekeys");
        ASSERT_FALSE(dir_.empty());
        std::error_code error;
        std::filesystem::copy(TestArg(2), dir_, std::filesystem::copy_options::recursive, error);
        ASSERT_FALSE(error) << error.message();
        ASSERT_TRUE(game_.Start(TestArg(1), dir_));
    }
    void TearDown() override
    {
        if (attached_)
            AttachThreadInput(GetCurrentThreadId(), game_.info.dwThreadId, FALSE);
        if (window_)
            PostMessageA(window_, WM_CLOSE, 0, 0);
        DWORD code = 0;
        game_.WaitExit(10000, &code);
        RemoveTree(dir_);
    }

    // The game reads its keys from its thread's keyboard state. With the
    // two threads' input attached they share that state, so a key set here
    // is down for the game's next read whatever the window focus does.
    void SetKey(WORD key, bool down)
    {
        if (!attached_)
            attached_ = AttachThreadInput(GetCurrentThreadId(), game_.info.dwThreadId, TRUE) != 0;
        BYTE state[256];
        GetKeyboardState(state);
        state[key] = down ? 0x80 : 0;
        SetKeyboardState(state);
    }
    // The window in front and active on the game's own thread.
    void Focus()
    {
        auto active = [this] {
            GUITHREADINFO gui = {};
            gui.cbSize = sizeof gui;
            return GetForegroundWindow() == window_ && GetGUIThreadInfo(game_.info.dwThreadId, &gui) &&
                   gui.hwndActive == window_;
        };
        for (int i = 0; i < 50 && !active(); i++) {
            SetForegroundWindow(window_);
            Sleep(20);
        }
    }
    // The game reads its keys right after it pumps its messages (in the key
    // read and in the message step). A message sent to its window returns
    // when a pump has taken it, so three in a row, each sent once the pump
    // that took the one before has surely ended, span at least one complete
    // read after the first: a key set before them has been seen, however long
    // the frames take. Each press is held for just that long, about one frame
    // at 60 frames a second, and released the same way, so that the next
    // press counts as one. The menus act on the press alone. A press that
    // shows no effect within 15 s (a pump held up past the gap on a loaded
    // machine) is made again.
    //
    // Loading pumps messages too, without reading keys: a press that follows
    // one that reloads the pictures (the window-mode switch) is held until the
    // page shows its effect instead (`holdUntilShown`).
    bool Press(WORD key, bool (*effect)(const Screen&), const char* name, DWORD effectMs = 15000,
               bool holdUntilShown = false)
    {
        const DWORD ms = 4 * effectMs;
        bool seen = false;
        int presses = 0;
        DWORD start = GetTickCount();
        for (; !seen && GetTickCount() - start < ms; presses++) {
            // The game takes its activation before the key goes down.
            Focus();
            bool read = SeenByTheGame();
            SetKey(key, true);
            if (holdUntilShown)
                seen = WaitFor(effect, effectMs, nullptr);
            else
                read = SeenByTheGame() && read;
            SetKey(key, false);
            read = SeenByTheGame() && read;
            if (!read)
                printf("%s: the game's window did not take its messages within a minute\n", name);
            if (!holdUntilShown)
                seen = WaitFor(effect, effectMs, nullptr);
        }
        printf("%s: %s after %d press(es), %lu ms\n", name, seen ? "shown" : "not shown", presses,
               (unsigned long)(GetTickCount() - start));
        if (!seen) {
            SaveBmp(screen_, std::string(name) + ".bmp");
            GUITHREADINFO gui = {};
            gui.cbSize = sizeof gui;
            GetGUIThreadInfo(game_.info.dwThreadId, &gui);
            printf("%s: window %p, foreground %p, the game's active %p and focus %p\n", name, (void*)window_,
                   (void*)GetForegroundWindow(), (void*)gui.hwndActive, (void*)gui.hwndFocus);
        }
        return seen;
    }
    // True when three messages sent to the window were each taken within a
    // minute.
    bool SeenByTheGame()
    {
        for (int i = 0; i < 3; i++) {
            DWORD_PTR result = 0;
            if (!SendMessageTimeoutA(window_, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &result))
                return false;
            // A message sent at once may be taken by the same pump, which
            // looks for more before it returns.
            Sleep(5);
        }
        return true;
    }
    // Captures until `shown` holds, for at most `ms`; the last capture stays
    // in screen_.
    // A failure leaves the last capture as NAME.bmp in the working directory
    // (name null: none).
    bool WaitFor(bool (*shown)(const Screen&), DWORD ms, const char* name)
    {
        for (DWORD start = GetTickCount(); GetTickCount() - start < ms; Sleep(30)) {
            screen_ = Capture(window_);
            if (screen_.size() == (size_t)W * H && shown(screen_))
                return true;
        }
        if (name)
            SaveBmp(screen_, std::string(name) + ".bmp");
        return false;
    }

    std::string dir_;
    Process game_;
    HWND window_ = nullptr;
    Screen screen_;
    bool attached_ = false;
};

} // namespace

TEST_F(GameKeys, KeysTakeTheGameFromTheLogoToTheFirstAreaAcrossAWindowModeSwitch)
{
    for (DWORD waited = 0; waited < 60000 && !window_; waited += 50, Sleep(50)) {
        HWND window = FindWindowA(WindowTitle, nullptr);
        if (window && IsWindowVisible(window))
            window_ = window;
    }
    ASSERT_NE(nullptr, window_) << "no game window";

    // The logo lasts 78 frames, and its last frame stays while the music
    // loads; the intro waits for keys.
    EXPECT_TRUE(WaitFor(LogoShown, 180000, "logo")) << "no logo";
    ASSERT_TRUE(WaitFor(IntroShown, 180000, "intro")) << "no intro picture";
    ASSERT_TRUE(Press('Z', MenuShown, "menu")) << "Z skips the intro";

    // Options: the window mode to full screen and back.
    ASSERT_TRUE(Press(VK_DOWN, MenuCursorOn1, "menu1"));
    ASSERT_TRUE(Press(VK_DOWN, MenuCursorOn2, "menu2"));
    ASSERT_TRUE(Press('X', OptionsNotEditing, "options")) << "the options page";
    ASSERT_TRUE(Press('X', OptionsEditing, "editing"));
    ASSERT_TRUE(Press(VK_RIGHT, PendingFullScreen, "fullscreen"));
    // The page looks the same before and after a switch: the window's
    // caption tells the modes apart (full screen has none).
    auto captioned = [this] { return (GetWindowLongA(window_, GWL_STYLE) & WS_CAPTION) == WS_CAPTION; };
    ASSERT_TRUE(Press('X', PendingFullScreen, "switched"));
    ASSERT_TRUE(PollUntil([&] { return !captioned(); })) << "the switch to full screen";
    ASSERT_TRUE(Press(VK_LEFT, PendingWindow, "window", 30000, true));
    ASSERT_TRUE(Press('X', PendingWindow, "switchedback"));
    ASSERT_TRUE(PollUntil(captioned)) << "the switch back to a window";
    RECT client;
    ASSERT_TRUE(GetClientRect(window_, &client));
    EXPECT_EQ(W, client.right - client.left);
    EXPECT_EQ(H, client.bottom - client.top);
    ASSERT_TRUE(Press('C', OptionsNotEditing, "committed", 30000, true));
    ASSERT_TRUE(Press('C', MenuShown, "menuagain")) << "the menu's pictures after the switch and back";

    // Start, the first area after its 250-frame countdown.
    ASSERT_TRUE(Press(VK_UP, MenuCursorOn1, "up1"));
    ASSERT_TRUE(Press(VK_UP, MenuCursorOn0, "up0"));
    ASSERT_TRUE(Press('X', AreaSelectShown, "areaselect")) << "Start opens the area select";
    // The area's pictures and 250 frames of countdown: long on a loaded
    // machine with software GL.
    EXPECT_TRUE(Press('X', PlayShown, "play", 150000)) << "the first area";
}
