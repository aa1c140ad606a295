// The device-loss reset on the real device (file graphs shown again, 3D
// matrices kept, a device that cannot be made again refused cleanly and
// retried at the next activation), a reset after a software start, and the
// screen-mode change that rebuilds the graphics layer.
#include <gtest/gtest.h>
#include <windows.h>

#include <string.h>

#include <string>
#include <vector>

#include "graphics/device.h"
#include "graphics/device_reset.h"
#include "graphics/draw_calls.h"
#include "graphics/draw_state.h"
#include "graphics/draw_target.h"
#include "graphics/font/default_font.h"
#include "graphics/graph_handles.h"
#include "graphics/graph_loading.h"
#include "graphics/shape_calls.h"
#include "graphics/state_cache.h"
#include "graphics/transform3d.h"
#include "image/raster_image.h"
#include "runtime/library.h"
#include "runtime/window_state.h"
#include "tests/graphics/library_start.h"
#include "tests/support/test_support.h"

// Failure seam: device creation fails on request. Each creation also notes
// whether the state cache still names an object of the device before.
static bool failDeviceCreation;
static int deviceCreations;
static int staleCacheEntries;
extern "C" int realCreateD3DDevice() asm(REAL_SYMBOL("_Z15CreateD3DDevicev"));
extern "C" int WrappedCreateD3DDevice() asm(WRAPPED_SYMBOL("_Z15CreateD3DDevicev"));
extern "C" int WrappedCreateD3DDevice()
{
    deviceCreations++;
    const DeviceStateSet& c = DeviceStateCache;
    staleCacheEntries = (c.renderTarget != nullptr) + (c.mainTexture != nullptr);
    for (const CachedStageState& stage : c.stages)
        staleCacheEntries += stage.texture != nullptr;
    return failDeviceCreation ? -1 : realCreateD3DDevice();
}

namespace {

const int kSize = 16;

// Four flat quarters: red, green, blue, white.
uint32_t Quarter(int x, int y)
{
    static const uint32_t colours[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    return colours[(y >= kSize / 2) * 2 + (x >= kSize / 2)];
}

std::vector<uint8_t> QuarterBmp()
{
    const int pitch = kSize * 3;
    std::vector<uint8_t> file(54 + (size_t)pitch * kSize);
    auto put32 = [&](size_t at, uint32_t v) { memcpy(&file[at], &v, 4); };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, (uint32_t)file.size());
    put32(10, 54);
    put32(14, 40);
    put32(18, kSize);
    put32(22, kSize);
    file[26] = 1;
    file[28] = 24;
    for (int y = 0; y < kSize; y++)
        for (int x = 0; x < kSize; x++) {
            uint32_t c = Quarter(x, y);
            uint8_t* p = &file[54 + (size_t)(kSize - 1 - y) * pitch + 3 * x];
            p[0] = (uint8_t)c;
            p[1] = (uint8_t)(c >> 8);
            p[2] = (uint8_t)(c >> 16);
        }
    return file;
}

// Pixels of the back screen that differ from the picture drawn at (x0, y0).
int WrongPixels(int x0, int y0)
{
    RasterImage screen;
    RECT area = {x0, y0, x0 + kSize, y0 + kSize};
    if (LockScreenImage(&area, &screen) != 0)
        return -1;
    int wrong = 0;
    for (int y = 0; y < kSize; y++)
        for (int x = 0; x < kSize; x++) {
            uint32_t v = 0;
            memcpy(&v, (const uint8_t*)screen.pixels + (ptrdiff_t)y * screen.pitch + 4 * x, 4);
            wrong += (v & 0xFFFFFF) != Quarter(x, y);
        }
    UnlockScreenImage();
    return wrong;
}

// Clears the back screen, draws the graph at (x, y) and counts the wrong pixels.
int DrawAndCheck(int graph, int x, int y)
{
    SelectDrawTarget(DRAW_TARGET_BACK);
    if (ClearDrawTarget(nullptr) != 0 || DrawGraphAt(x, y, graph, 0) != 0)
        return -1;
    return WrongPixels(x, y);
}

Matrix Numbered(float base)
{
    Matrix m;
    for (int i = 0; i < 16; i++)
        m.m[i] = base + (float)i;
    return m;
}

bool SameMatrix(const Matrix& a, const Matrix& b) { return memcmp(&a, &b, sizeof a) == 0; }

class Fixture : public testing::Test {
protected:
    static void Prepare()
    {
        dir = MakeTempDir("devreset");
        GetCurrentDirectoryA(sizeof previous, previous);
        SetCurrentDirectoryA(dir.c_str());
        std::vector<uint8_t> bmp = QuarterBmp();
        WriteWholeFile("quarters.bmp", bmp.data(), bmp.size());
        WriteWholeFile("second.bmp", bmp.data(), bmp.size());
    }
    static void Finish()
    {
        EXPECT_EQ(0, EndLibraryLocked());
        SetCurrentDirectoryA(previous);
        RemoveTree(dir);
    }
    static std::string dir;
    static char previous[MAX_PATH];
};

std::string Fixture::dir;
char Fixture::previous[MAX_PATH];

class DeviceReset : public Fixture {
protected:
    static void SetUpTestSuite()
    {
        Prepare();
        started = StartLibraryOnDirect3D(640, 480);
    }
    static void TearDownTestSuite() { Finish(); }
    void SetUp() override { ASSERT_TRUE(started); }
    static bool started;
};

bool DeviceReset::started;

TEST_F(DeviceReset, LossResetShowsFileGraphsAgainAndKeepsHandlesAndMatrices)
{
    int graph = LoadImageToGraph("quarters.bmp", 0);
    ASSERT_NE(-1, graph);
    ASSERT_EQ(0, SetDefaultFontSize(20));
    int font = FetchDefaultFontHandle();
    ASSERT_NE(-1, font);
    ASSERT_EQ(0, DrawAndCheck(graph, 40, 30));

    const Matrix view = Numbered(1.0f), projection = Numbered(100.0f);
    ASSERT_EQ(0, SetViewMatrix(&view));
    ASSERT_EQ(0, SetProjectionMatrixDirect(&projection));
    const Matrix viewport = Draw.viewport;

    ASSERT_EQ(0, ResetDevice(0, 0, 0, 0, 0));
    EXPECT_EQ(1, Screen.hardware);
    ASSERT_NE(nullptr, DeviceObjects.device);
    EXPECT_EQ(0, DeviceResetPending());
    // Same handles; the picture came back from its file.
    EXPECT_EQ(1, IsGraphHandleValid(graph));
    EXPECT_EQ(font, FetchDefaultFontHandle());
    EXPECT_EQ(20, GetDefaultFontSize());
    EXPECT_TRUE(SameMatrix(view, Draw.view));
    EXPECT_TRUE(SameMatrix(projection, Draw.projection));
    EXPECT_TRUE(SameMatrix(viewport, Draw.viewport));
    EXPECT_EQ(CAMERA_USER_MATRIX, Draw.camera.mode);
    EXPECT_EQ(0, DrawAndCheck(graph, 100, 60));
    EXPECT_EQ(0, FreeGraph(graph));
    SetDefaultFontSize(-1);
}

// The released device's render target and textures are not kept in the
// state cache: a new surface at the same address would otherwise be taken as
// already set, and drawing would go to the back buffer instead.
TEST_F(DeviceReset, ALossResetForgetsTheReleasedObjectsAndDrawsIntoTheGraphTargetAgain)
{
    int picture = LoadImageToGraph("quarters.bmp", 0);
    ASSERT_NE(-1, picture);
    SetDrawableGraphMode(1);
    int target = CreateEmptyGraph(kSize, kSize);
    SetDrawableGraphMode(0);
    ASSERT_NE(-1, target);
    ASSERT_EQ(0, SelectDrawTarget(target));
    ASSERT_EQ(0, DrawGraphAt(0, 0, picture, 0));
    ASSERT_NE(nullptr, DeviceStateCache.renderTarget);

    deviceCreations = 0;
    staleCacheEntries = -1;
    ASSERT_EQ(0, ResetDevice(0, 0, 0, 0, 0));
    EXPECT_EQ(1, deviceCreations);
    EXPECT_EQ(0, staleCacheEntries);

    // The graph is the target again: its picture drawn there comes back.
    EXPECT_EQ(target, GetDrawTarget());
    ASSERT_EQ(0, DrawGraphAt(0, 0, picture, 0));
    EXPECT_EQ(0, DrawAndCheck(target, 300, 200));
    EXPECT_EQ(0, FreeGraph(target));
    EXPECT_EQ(0, FreeGraph(picture));
}

TEST_F(DeviceReset, FailedRecreationRefusesDrawsAndActivationRetries)
{
    int graph = LoadImageToGraph("quarters.bmp", 0);
    ASSERT_NE(-1, graph);
    failDeviceCreation = true;
    ASSERT_EQ(0, ResetDeviceEntry());
    failDeviceCreation = false;
    ASSERT_EQ(nullptr, DeviceObjects.device);
    EXPECT_EQ(1, Screen.hardware);  // Direct3D stays the renderer
    EXPECT_EQ(1, DeviceResetPending());

    // Without a device every call refuses or does nothing, and none crashes.
    EXPECT_EQ(-1, DrawGraphAt(0, 0, graph, 0));
    EXPECT_LE(DrawBoxShape(0, 0, 50, 50, ColorFromRGB(255, 0, 0), 1), 0);
    EXPECT_LE(DrawStringDefault(0, 0, "text", ColorFromRGB(255, 255, 255), 0), 0);
    EXPECT_LE(ClearDrawTarget(nullptr), 0);
    EXPECT_LE(PresentScreen(), 0);
    RasterImage screen;
    RECT area = {0, 0, 8, 8};
    EXPECT_EQ(-1, LockScreenImage(&area, &screen));
    int late = LoadImageToGraph("second.bmp", 0);
    EXPECT_EQ(0, SelectBlendMode(1, 128));
    EXPECT_EQ(0, SelectBlendMode(0, 255));

    // The window's next activation makes the device again; both graphs show.
    deviceCreations = 0;
    SendMessageA(GetMainWindowHwnd(), WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(1, deviceCreations);
    ASSERT_NE(nullptr, DeviceObjects.device);
    EXPECT_EQ(0, DeviceResetPending());
    EXPECT_EQ(0, DrawAndCheck(graph, 10, 10));
    if (late != -1) {
        EXPECT_EQ(0, DrawAndCheck(late, 200, 10));
        FreeGraph(late);
    }
    // With the device back, an activation whose present works resets nothing.
    deviceCreations = 0;
    SendMessageA(GetMainWindowHwnd(), WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(0, deviceCreations);
    EXPECT_EQ(0, FreeGraph(graph));
}

TEST_F(DeviceReset, ScreenModeChangeRebuildsWithNewHandlesAndTheFontSize)
{
    int graph = LoadImageToGraph("quarters.bmp", 0);
    ASSERT_NE(-1, graph);
    ASSERT_EQ(0, SetDefaultFontSizeAndThickness(0, 28, 3));
    int font = FetchDefaultFontHandle();
    ASSERT_NE(-1, font);

    // Refused requests change nothing.
    EXPECT_EQ(-1, SetScreenMode(0, 480, 16, 0));
    EXPECT_EQ(-1, SetScreenMode(640, 480, 24, 0));
    EXPECT_EQ(1, IsGraphHandleValid(graph));
    // The same mode without force is no change either.
    EXPECT_EQ(0, SwitchScreenMode(-1, -1, -1, 0, -1));
    EXPECT_EQ(1, IsGraphHandleValid(graph));

    ASSERT_EQ(0, SetScreenMode(800, 600, 32, 0));
    EXPECT_EQ(800, Screen.width);
    EXPECT_EQ(600, Screen.height);
    EXPECT_EQ(1, Screen.hardware);
    EXPECT_EQ(0, IsGraphHandleValid(graph));
    EXPECT_EQ(-1, DrawGraphAt(0, 0, graph, 0));
    EXPECT_NE(-1, FetchDefaultFontHandle());
    EXPECT_EQ(28, GetDefaultFontSize());

    // A forced switch (the window-mode switch's) rebuilds in the same mode.
    int again = LoadImageToGraph("quarters.bmp", 0);
    ASSERT_NE(-1, again);
    EXPECT_EQ(0, DrawAndCheck(again, 700, 500));
    ASSERT_EQ(0, SwitchScreenMode(-1, -1, -1, 1, -1));
    EXPECT_EQ(800, Screen.width);
    EXPECT_EQ(0, IsGraphHandleValid(again));
    EXPECT_EQ(28, GetDefaultFontSize());
    int third = LoadImageToGraph("quarters.bmp", 0);
    EXPECT_EQ(0, DrawAndCheck(third, 700, 500));
    FreeGraph(third);

    ASSERT_EQ(0, SetScreenMode(640, 480, 32, 0));
    SetDefaultFontSizeAndThickness(0, -1, -1);
}

// Start-up fell back to the software renderer: a reset keeps it.
class DeviceResetSoftware : public Fixture {
protected:
    static void SetUpTestSuite()
    {
        Prepare();
        failDeviceCreation = true;
        Screen.width = Screen.height = Screen.depth = Screen.refresh = 0;
        AllowDirect3D(1);
        ChangeWindowMode(1);
        SetLogFileOutput(0);
        SetKeepRunningInBackground(1);
        started = SetScreenMode(640, 480, 32, 0) == 0 && InitLibraryLocked() == 0 && Screen.hardware == 0;
        failDeviceCreation = false;
    }
    static void TearDownTestSuite() { Finish(); }
    void SetUp() override { ASSERT_TRUE(started); }
    static bool started;
};

bool DeviceResetSoftware::started;

TEST_F(DeviceResetSoftware, ResetKeepsTheSoftwareRenderer)
{
    int graph = LoadImageToGraph("quarters.bmp", 0);
    ASSERT_NE(-1, graph);
    ASSERT_EQ(0, DrawAndCheck(graph, 20, 20));
    deviceCreations = 0;
    ASSERT_EQ(0, ResetDeviceEntry());
    EXPECT_EQ(0, deviceCreations);
    EXPECT_EQ(0, Screen.hardware);
    EXPECT_EQ(nullptr, DeviceObjects.device);
    EXPECT_EQ(0, DeviceResetPending());
    EXPECT_EQ(1, IsGraphHandleValid(graph));
    EXPECT_EQ(0, DrawAndCheck(graph, 60, 40));
    EXPECT_EQ(0, FreeGraph(graph));
}

} // namespace
