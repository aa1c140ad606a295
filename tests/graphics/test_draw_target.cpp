// Draw targets on the real device and in the software renderer: selection
// and its refusals, clearing read back through the screen lock, the lock's
// rectangle checks, and present in window mode seen in the window.
#include <gtest/gtest.h>
#include <windows.h>

#include <string.h>

#include "graphics/device.h"
#include "graphics/device_reset.h"
#include "graphics/draw_state.h"
#include "graphics/draw_target.h"
#include "graphics/graph_loading.h"
#include "graphics/soft_screen.h"
#include "image/raster_image.h"
#include "runtime/library.h"
#include "runtime/memory.h"
#include "runtime/message_pump.h"
#include "runtime/system_state.h"
#include "runtime/window_state.h"
#include "tests/support/test_support.h"

namespace {

void Start(int software, int width, int height, int depth)
{
    Screen.width = Screen.height = Screen.depth = Screen.refresh = 0;
    Screen.doubled = 0;
    ASSERT_EQ(0, AllowDirect3D(!software));
    ChangeWindowMode(1);
    SetLogFileOutput(0);
    ASSERT_EQ(0, SetScreenMode(width, height, depth, 0));
    ASSERT_EQ(0, InitLibraryLocked());
    ASSERT_EQ(software ? 0 : 1, Screen.hardware);
}

void End()
{
    Screen.backColor = 0;
    EXPECT_EQ(0, EndLibraryLocked());
    EXPECT_EQ(0, GetAllocCount());
    AllowDirect3D(1);
}

// The colour of one pixel of a locked image as 0x00RRGGBB, from the
// image's channel masks.
unsigned int PixelRgb(const RasterImage& image, int x, int y)
{
    const BYTE* row = (const BYTE*)image.pixels + (ptrdiff_t)y * image.pitch;
    uint32_t v = 0;
    memcpy(&v, row + x * image.format.bytesPerPixel, image.format.bytesPerPixel);
    auto channel = [&](uint32_t mask) {
        if (!mask)
            return 0u;
        int shift = 0;
        while (!((mask >> shift) & 1))
            shift++;
        uint32_t max = mask >> shift;
        return (((v & mask) >> shift) * 255 + max / 2) / max;
    };
    return channel(image.format.redMask) << 16 | channel(image.format.greenMask) << 8 | channel(image.format.blueMask);
}

// Counts the pixels of a locked rectangle that are not the colour.
int CountOther(const RasterImage& image, unsigned int rgb)
{
    int other = 0;
    for (int y = 0; y < image.height; y++)
        for (int x = 0; x < image.width; x++)
            other += PixelRgb(image, x, y) != rgb;
    return other;
}

// The colour of a window pixel as GDI reads it.
unsigned int WindowRgb(int x, int y)
{
    POINT at = {x, y};
    ClientToScreen(GetMainWindowHwnd(), &at);
    HDC dc = GetDC(nullptr);
    COLORREF c = GetPixel(dc, at.x, at.y);
    ReleaseDC(nullptr, dc);
    return (unsigned)GetRValue(c) << 16 | (unsigned)GetGValue(c) << 8 | GetBValue(c);
}

// The colour of the screen at a point of a window's client area.
unsigned int ScreenRgbAt(HWND window, int x, int y)
{
    POINT p = {x, y};
    ClientToScreen(window, &p);
    HDC dc = GetDC(nullptr);
    COLORREF c = GetPixel(dc, p.x, p.y);
    ReleaseDC(nullptr, dc);
    return (unsigned)GetRValue(c) << 16 | (unsigned)GetGValue(c) << 8 | GetBValue(c);
}

// Window pixels go through the display's own depth conversion: allow each
// channel a step of rounding.
bool NearRgb(unsigned int a, unsigned int b)
{
    for (int shift = 0; shift < 24; shift += 8) {
        int d = (int)(a >> shift & 0xFF) - (int)(b >> shift & 0xFF);
        if (d < -2 || d > 2)
            return false;
    }
    return true;
}

// What a colour becomes in R5G6B5, widened back to 8 bits the way PixelRgb does.
unsigned int Through565(unsigned int rgb)
{
    unsigned r = (rgb >> 16 & 0xFF) >> 3, g = (rgb >> 8 & 0xFF) >> 2, b = (rgb & 0xFF) >> 3;
    return ((r * 255 + 15) / 31) << 16 | ((g * 255 + 31) / 63) << 8 | ((b * 255 + 15) / 31);
}

// Clears the back screen to one colour, a rectangle of it to another, and
// reads both back through the lock; then presents and reads the window.
void ClearLockAndPresent(bool software)
{
    ASSERT_EQ(0, SelectDrawTarget(DRAW_TARGET_BACK));
    const unsigned int first = 0x2080C0, second = 0xF04010;
    const unsigned int expectFirst = software ? Through565(first) : first;
    const unsigned int expectSecond = software ? Through565(second) : second;
    Screen.backColor = first;
    EXPECT_EQ(0, ClearDrawTarget(nullptr));
    Screen.backColor = second;
    RECT part = {100, 50, 300, 150};
    EXPECT_EQ(0, ClearDrawTarget(&part));

    RasterImage image;
    RECT whole = {0, 0, 640, 480};
    ASSERT_EQ(0, LockScreenImage(&whole, &image));
    EXPECT_EQ(640, image.width);
    EXPECT_EQ(480, image.height);
    EXPECT_EQ(expectFirst, PixelRgb(image, 0, 0));
    EXPECT_EQ(expectFirst, PixelRgb(image, 639, 479));
    EXPECT_EQ(expectFirst, PixelRgb(image, 99, 50));
    EXPECT_EQ(expectFirst, PixelRgb(image, 300, 149));
    EXPECT_EQ(expectSecond, PixelRgb(image, 100, 50));
    EXPECT_EQ(expectSecond, PixelRgb(image, 299, 149));
    // A second lock is refused while one is held.
    RasterImage again;
    EXPECT_EQ(-1, LockScreenImage(&whole, &again));
    EXPECT_EQ(0, UnlockScreenImage());

    // A rectangle lock starts at its own corner.
    ASSERT_EQ(0, LockScreenImage(&part, &image));
    EXPECT_EQ(200, image.width);
    EXPECT_EQ(100, image.height);
    EXPECT_EQ(0, CountOther(image, expectSecond));
    UnlockScreenImage();

    // A negative corner clears everything.
    Screen.backColor = first;
    RECT negative = {-1, 0, 10, 10};
    EXPECT_EQ(0, ClearDrawTarget(&negative));
    ASSERT_EQ(0, LockScreenImage(&part, &image));
    EXPECT_EQ(0, CountOther(image, expectFirst));
    UnlockScreenImage();

    // Present shows the back screen in the window. Under Wine a present
    // right after the back buffer was locked may not reach the display;
    // the frames that follow do: present as the game does until it shows.
    auto frame = [&] {
        Screen.backColor = first;
        ClearDrawTarget(nullptr);
        Screen.backColor = second;
        ClearDrawTarget(&part);
        return PresentScreen();
    };
    ASSERT_EQ(0, frame());
    RunMessagePump();
    for (DWORD start = GetTickCount(); !NearRgb(expectSecond, WindowRgb(150, 100)) && GetTickCount() - start < PlatformWaitMs;) {
        Sleep(10);
        RunMessagePump();
        ASSERT_EQ(0, frame());
    }
    EXPECT_PRED2(NearRgb, expectSecond, WindowRgb(150, 100));
    EXPECT_PRED2(NearRgb, expectFirst, WindowRgb(20, 20));
}

// With the main window made layered (the program itself never does so) a
// present shows the back screen through the layered-window update, whatever
// target is current, and leaves the current target as it was.
void LayeredWindowPresent(bool software)
{
    HWND window = GetMainWindowHwnd();
    ASSERT_EQ(0, IsLayeredWindowInUse());
    SetWindowLongPtrA(window, GWL_EXSTYLE, GetWindowLongPtrA(window, GWL_EXSTYLE) | WS_EX_LAYERED);
    ASSERT_EQ(1, IsLayeredWindowInUse());

    const unsigned int colour = 0x30A050;
    const unsigned int expect = software ? Through565(colour) : colour;
    ASSERT_EQ(0, SelectDrawTarget(DRAW_TARGET_BACK));
    Screen.backColor = colour;
    EXPECT_EQ(0, ClearDrawTarget(nullptr));
    SetDrawableGraphMode(1);
    const int graph = CreateEmptyGraph(16, 16);
    SetDrawableGraphMode(0);
    ASSERT_NE(-1, graph);
    ASSERT_EQ(0, SelectDrawTarget(graph));
    Screen.backColor = 0xFF0000;
    EXPECT_EQ(0, ClearDrawTarget(nullptr));

    EXPECT_EQ(0, PresentScreen());
    RunMessagePump();
    // A layered window's picture is read from the screen. (Where the back
    // screen holds the transparent colour the window gets alpha 0, which the
    // X11 driver's screen does not show.)
    EXPECT_PRED2(NearRgb, expect, ScreenRgbAt(window, 150, 100));
    EXPECT_PRED2(NearRgb, expect, ScreenRgbAt(window, 5, 5));
    EXPECT_EQ(graph, GetDrawTarget());
    int w = 0, h = 0;
    GetCurrentTargetSize(&w, &h);
    EXPECT_EQ(16, w);
    EXPECT_EQ(16, h);

    ASSERT_EQ(0, SelectDrawTarget(DRAW_TARGET_BACK));
    EXPECT_EQ(0, FreeGraph(graph));
    // The window stays layered until the library's end destroys it (taking
    // the style away again upsets the X11 driver under a device).
    Screen.backColor = 0;
}

void LockRectangleChecks()
{
    RasterImage image;
    const RECT refused[] = {
        {0, 0, 0, 10},      // empty
        {10, 0, 5, 10},     // reversed
        {-1, 0, 10, 10},    // left of the target
        {0, -1, 10, 10},
        {0, 0, 641, 10},    // past the right edge
        {0, 0, 10, 481},
        {640, 0, 641, 10},
    };
    for (const RECT& r : refused) {
        EXPECT_EQ(-1, LockScreenImage(&r, &image)) << r.left << "," << r.top << "," << r.right << "," << r.bottom;
        EXPECT_EQ(0, UnlockScreenImage());
    }
    RECT corner = {639, 479, 640, 480};
    EXPECT_EQ(0, LockScreenImage(&corner, &image));
    EXPECT_EQ(0, UnlockScreenImage());
    EXPECT_EQ(0, UnlockScreenImage());
}

// A stale handle (a deleted drawable graph whose slot a new drawable graph
// took) and a live graph not made for drawing into are no targets.
void StaleAndPlainGraphsAreRefused(bool software)
{
    ASSERT_EQ(0, SelectDrawTarget(DRAW_TARGET_BACK));
    SetDrawableGraphMode(1);
    const int stale = CreateEmptyGraph(32, 32);
    ASSERT_NE(-1, stale);
    ASSERT_EQ(0, SelectDrawTarget(stale));
    ASSERT_EQ(0, SelectDrawTarget(DRAW_TARGET_BACK));
    ASSERT_EQ(0, FreeGraph(stale));
    const int reused = CreateEmptyGraph(32, 32);
    SetDrawableGraphMode(0);
    ASSERT_NE(-1, reused);
    ASSERT_EQ(stale & 0xFFFF, reused & 0xFFFF) << "the new graph takes the freed slot";
    ASSERT_NE(stale, reused);
    EXPECT_EQ(-1, SelectDrawTarget(stale));
    EXPECT_EQ(DRAW_TARGET_BACK, GetDrawTarget());

    // Without the drawable setting a Direct3D graph is a plain texture; on
    // the software renderer a blend-image graph is the one not drawn into.
    Draw.create.blendImage = software ? 1 : 0;
    const int plain = CreateEmptyGraph(32, 32);
    Draw.create.blendImage = 0;
    ASSERT_NE(-1, plain);
    EXPECT_EQ(-1, SelectDrawTarget(plain));
    EXPECT_EQ(DRAW_TARGET_BACK, GetDrawTarget());
    EXPECT_EQ(0, SelectDrawTarget(reused));
    EXPECT_EQ(0, SelectDrawTarget(DRAW_TARGET_BACK));
    EXPECT_EQ(0, FreeGraph(reused));
    EXPECT_EQ(0, FreeGraph(plain));
}

void SelectionRules()
{
    // Only the screen codes and live drawable graphs are targets.
    ASSERT_EQ(0, SelectDrawTarget(DRAW_TARGET_BACK));
    const int refused[] = {-1, 0, 5, -6, 0x08000000, 0x08000001, 0x0800FFFF, 0x10000000, 0x7FFFFFFF};
    for (int target : refused) {
        EXPECT_EQ(-1, SelectDrawTarget(target)) << std::hex << target;
        EXPECT_EQ(DRAW_TARGET_BACK, GetDrawTarget());
    }
    // -3 and -5 are the screen too, with the screen's size.
    for (int target : {-3, -5}) {
        ASSERT_EQ(0, SelectDrawTarget(target));
        EXPECT_EQ(target, GetDrawTarget());
        int w = 0, h = 0;
        GetCurrentTargetSize(&w, &h);
        EXPECT_EQ(640, w);
        EXPECT_EQ(480, h);
        RasterImage image;
        RECT whole = {0, 0, 640, 480};
        EXPECT_EQ(0, LockScreenImage(&whole, &image));
        UnlockScreenImage();
    }
    // -3 and -5 have no size of their own to report.
    int w = 1, h = 1;
    EXPECT_EQ(-1, GetGraphSizeOf(-3, &w, &h));
    EXPECT_EQ(1, w);
    EXPECT_EQ(0, GetGraphSizeOf(-4, &w, nullptr));
    EXPECT_EQ(640, w);
    ASSERT_EQ(0, SelectDrawTarget(DRAW_TARGET_BACK));
}

} // namespace

TEST(TargetHardware, ClearLockPresentAndSelection)
{
    Start(0, 640, 480, 32);
    ClearLockAndPresent(false);
    LockRectangleChecks();
    SelectionRules();
    StaleAndPlainGraphsAreRefused(false);
    LayeredWindowPresent(false);
    End();
    EXPECT_EQ(-1, SelectDrawTarget(DRAW_TARGET_BACK));
}

TEST(TargetSoftware, ClearLockPresentAndSelection)
{
    Start(1, 640, 480, 16);
    ClearLockAndPresent(true);
    LockRectangleChecks();
    SelectionRules();
    StaleAndPlainGraphsAreRefused(true);
    LayeredWindowPresent(true);
    End();
}

TEST(TargetFrontScreen, ThePaintTimerRunsOnlyWhileTheFrontScreenIsTheTarget)
{
    Start(1, 640, 480, 32);
    ASSERT_EQ(0, SelectDrawTarget(DRAW_TARGET_FRONT));
    // Drawn into the front screen, the picture reaches the window without a
    // present of its own.
    Screen.backColor = 0x3070B0;
    ClearDrawTarget(nullptr);
    EXPECT_TRUE(PollUntil([] {
        RunMessagePump();
        return WindowRgb(10, 10) == 0x3070B0;
    })) << "the paint timer never showed the front screen";
    // With the back screen selected, the next tick presents nothing.
    ASSERT_EQ(0, SelectDrawTarget(DRAW_TARGET_BACK));
    Screen.backColor = 0x102030;
    ClearDrawTarget(nullptr);
    for (int i = 0; i < 6; i++) {
        Sleep(20);
        RunMessagePump();
    }
    EXPECT_EQ(0x3070B0u, WindowRgb(10, 10));
    End();
}

namespace {

// The swap chain's Present, counted: its slot in the interface's table is
// replaced for the life of a PresentCounter.
typedef HRESULT(STDMETHODCALLTYPE* SwapChainPresent)(IDirect3DSwapChain9*, const RECT*, const RECT*, HWND,
                                                      const RGNDATA*, DWORD);
SwapChainPresent originalPresent;
int presents;

HRESULT STDMETHODCALLTYPE CountedPresent(IDirect3DSwapChain9* chain, const RECT* source, const RECT* dest,
                                         HWND window, const RGNDATA* dirty, DWORD flags)
{
    presents++;
    return originalPresent(chain, source, dest, window, dirty, flags);
}

struct PresentCounter {
    void** slot;
    explicit PresentCounter(IDirect3DSwapChain9* chain)
    {
        // IUnknown's three methods come first, then Present.
        slot = &(*(void***)chain)[3];
        DWORD old;
        VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
        originalPresent = (SwapChainPresent)*slot;
        *slot = (void*)CountedPresent;
        presents = 0;
    }
    ~PresentCounter()
    {
        *slot = (void*)originalPresent;
    }
};

// One frame as the game runs it: clear, present, the rest of 16 ms slept,
// the message step.
void RunFrame()
{
    DWORD start = GetTickCount();
    ClearDrawTarget(nullptr);
    PresentScreen();
    DWORD spent = GetTickCount() - start;
    if (spent < 16)
        Sleep(16 - spent);
    ProcessMessagesLocked();
}

} // namespace

// A present must not expose the window to a second, paint-driven present of
// the same picture (it did under Wine while the DirectDraw object's
// cooperative level was bound to the main window), while a real invalidation
// is still shown again through the paint handler.
TEST(TargetPresentCount, OnePresentAFrameAndOneForEachPaint)
{
    Start(0, 640, 480, 32);
    ASSERT_NE(nullptr, DeviceObjects.swapChain);
    ASSERT_EQ(0, SelectDrawTarget(DRAW_TARGET_BACK));
    // The window's first exposure after start-up is not a frame's.
    for (int i = 0; i < 10; i++)
        RunFrame();
    {
        PresentCounter counter(DeviceObjects.swapChain);
        const int frames = 60;
        for (int i = 0; i < frames; i++)
            RunFrame();
        // Exposures caused by the presents would double the count.
        EXPECT_GE(presents, frames);
        EXPECT_LE(presents, frames + 2);

        // A paint message while the back screen is the target presents once.
        presents = 0;
        HWND window = GetMainWindowHwnd();
        RECT part = {10, 10, 200, 100};
        InvalidateRect(window, &part, FALSE);
        for (DWORD start = GetTickCount(); presents == 0 && GetTickCount() - start < 30000;) {
            ProcessMessagesLocked();
            if (presents == 0)
                Sleep(1);
        }
        EXPECT_EQ(1, presents) << "the paint handler did not present the invalidated area";
    }
    End();
}
