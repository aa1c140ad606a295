// Graphics start-up and shut-down on the real device (Wine's Direct3D 9 under
// the virtual display): the device, its flags and formats, the software
// renderer, the fall back when the device cannot be made, the full-value
// colour, and the release of everything at the end.
#include <gtest/gtest.h>
#include <windows.h>
#include <d3d9.h>

#include <math.h>

#include "audio/sound_system.h"
#include "graphics/device.h"
#include "graphics/device_reset.h"
#include "graphics/draw_target.h"
#include "graphics/soft_screen.h"
#include "runtime/input_state.h"
#include "runtime/library.h"
#include "runtime/memory.h"
#include "runtime/system_state.h"
#include "runtime/window_state.h"
#include "tests/support/test_support.h"

// Failure seam: the linker hands every call of CreateD3DDevice and
// FreeAllGraphs to these wrappers (see tests/graphics/CMakeLists.txt).
static bool failDeviceCreation;
static int freeAllGraphsCalls;
static void WatchCreateDeviceEx();
extern "C" int realCreateD3DDevice() asm(REAL_SYMBOL("_Z15CreateD3DDevicev"));
extern "C" int realFreeAllGraphs() asm(REAL_SYMBOL("_Z13FreeAllGraphsv"));
extern "C" int WrappedCreateD3DDevice() asm(WRAPPED_SYMBOL("_Z15CreateD3DDevicev"));
extern "C" int WrappedFreeAllGraphs() asm(WRAPPED_SYMBOL("_Z13FreeAllGraphsv"));
extern "C" int WrappedCreateD3DDevice()
{
    WatchCreateDeviceEx();
    return failDeviceCreation ? -1 : realCreateD3DDevice();
}

// What the device's creation passed: the presentation's window flag and
// whether a display mode went with it.
typedef HRESULT(STDMETHODCALLTYPE* CreateDeviceExProc)(IDirect3D9Ex*, UINT, D3DDEVTYPE, HWND, DWORD,
                                                        D3DPRESENT_PARAMETERS*, D3DDISPLAYMODEEX*,
                                                        IDirect3DDevice9Ex**);
static CreateDeviceExProc realCreateDeviceEx;
static int createCalls;
static BOOL lastWindowed;
static bool lastHadMode;

static HRESULT STDMETHODCALLTYPE WatchingCreateDeviceEx(IDirect3D9Ex* self, UINT adapter, D3DDEVTYPE type,
                                                        HWND window, DWORD flags, D3DPRESENT_PARAMETERS* p,
                                                        D3DDISPLAYMODEEX* mode, IDirect3DDevice9Ex** device)
{
    createCalls++;
    lastWindowed = p->Windowed;
    lastHadMode = mode != nullptr;
    return realCreateDeviceEx(self, adapter, type, window, flags, p, mode, device);
}

// CreateDeviceEx is entry 20 of the object's table (3 of IUnknown, 14 of
// IDirect3D9, then GetAdapterModeCountEx, EnumAdapterModesEx,
// GetAdapterDisplayModeEx).
static void WatchCreateDeviceEx()
{
    if (realCreateDeviceEx || !DeviceObjects.d3dEx)
        return;
    void** table = *(void***)DeviceObjects.d3dEx;
    DWORD old;
    VirtualProtect(&table[20], sizeof(void*), PAGE_READWRITE, &old);
    realCreateDeviceEx = (CreateDeviceExProc)table[20];
    table[20] = (void*)WatchingCreateDeviceEx;
    VirtualProtect(&table[20], sizeof(void*), old, &old);
}
extern "C" int WrappedFreeAllGraphs()
{
    freeAllGraphsCalls++;
    return realFreeAllGraphs();
}

namespace {

// Starts the library in a window with the given screen request.
void StartWindowed(int width, int height, int depth)
{
    ChangeWindowMode(1);
    SetLogFileOutput(0);
    ASSERT_EQ(0, SetScreenMode(width, height, depth, 0));
    ASSERT_EQ(0, InitLibraryLocked());
}

// Everything the Direct3D layer holds is gone.
void ExpectNothingHeld()
{
    const DeviceObjectSet& d = DeviceObjects;
    EXPECT_EQ(nullptr, d.d3d9Module);
    EXPECT_EQ(nullptr, d.directDraw);
    EXPECT_EQ(nullptr, d.d3d);
    EXPECT_EQ(nullptr, d.d3dEx);
    EXPECT_EQ(nullptr, d.device);
    EXPECT_EQ(nullptr, d.deviceEx);
    EXPECT_EQ(nullptr, d.swapChain);
    EXPECT_EQ(nullptr, d.backBuffer);
    EXPECT_EQ(nullptr, d.subBackBuffer);
    EXPECT_EQ(nullptr, d.depthStencil);
    EXPECT_EQ(nullptr, d.brightnessVolume);
    EXPECT_EQ(0, IsMemImageValid(&SoftPrimaryScreen));
    EXPECT_EQ(0, IsMemImageValid(&SoftWorkImages[0]));
    EXPECT_EQ(0, IsMemImageValid(&SoftWorkImages[1]));
    EXPECT_EQ(0, Screen.started);
    EXPECT_EQ(0, Screen.hardware);
}

// The first candidate the device accepts, asked of the device here.
D3DFORMAT FirstAccepted(IDirect3D9* d3d, D3DFORMAT back, DWORD usage, std::initializer_list<D3DFORMAT> candidates)
{
    for (D3DFORMAT f : candidates)
        if (d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, back, usage, D3DRTYPE_TEXTURE, f) == D3D_OK)
            return f;
    return D3DFMT_UNKNOWN;
}

void ResetScreenSettings()
{
    Screen.width = Screen.height = Screen.depth = Screen.refresh = 0;
    Screen.doubled = 0;
    Screen.softwareOnly = 0;
}

} // namespace

TEST(MaxBrightness, HandWorkedColours)
{
    struct Case {
        int r, g, b, er, eg, eb;
    } cases[] = {
        {0, 0, 0, 255, 255, 255},        // black has no hue
        {100, 100, 100, 255, 255, 255},  // nor has grey
        {255, 0, 0, 255, 0, 0},
        {128, 64, 0, 255, 127, 0},       // S 255; mid 255 - 255 * (255 - 127) / 255
        {200, 100, 50, 255, 128, 64},    // S 191; mid 255 - 191 * (255 - 85) / 255
        {10, 20, 20, 128, 255, 255},     // two maxima, both full; S 127
        {40, 40, 20, 255, 255, 128},     // S 127
        {0, 50, 200, 0, 63, 255},        // S 255; mid 255 - 255 * (255 - 63) / 255
        {400, 200, 0, 255, 200, 0},      // inputs above 255 count as 255
    };
    for (const Case& c : cases) {
        int r, g, b;
        MaxBrightnessColor(c.r, c.g, c.b, &r, &g, &b);
        EXPECT_EQ(c.er, r) << c.r << "," << c.g << "," << c.b;
        EXPECT_EQ(c.eg, g) << c.r << "," << c.g << "," << c.b;
        EXPECT_EQ(c.eb, b) << c.r << "," << c.g << "," << c.b;
    }
}

TEST(MaxBrightness, AgreesWithHueSaturationValueInReals)
{
    // The same colour at value 1 in real arithmetic: each channel scaled by
    // 255 / max. The integer steps may lose at most a few units.
    for (int r = 0; r < 256; r += 15)
        for (int g = 0; g < 256; g += 17)
            for (int b = 0; b < 256; b += 13) {
                int max = r > g ? (r > b ? r : b) : (g > b ? g : b);
                int min = r < g ? (r < b ? r : b) : (g < b ? g : b);
                int er = 255, eg = 255, eb = 255;
                if (max != min) {
                    er = (int)lround(r * 255.0 / max);
                    eg = (int)lround(g * 255.0 / max);
                    eb = (int)lround(b * 255.0 / max);
                }
                int or_, og, ob;
                MaxBrightnessColor(r, g, b, &or_, &og, &ob);
                EXPECT_NEAR(er, or_, 3) << r << "," << g << "," << b;
                EXPECT_NEAR(eg, og, 3) << r << "," << g << "," << b;
                EXPECT_NEAR(eb, ob, 3) << r << "," << g << "," << b;
            }
}

TEST(DeviceHardware, FlagsFormatsAndRelease)
{
    ResetScreenSettings();
    StartWindowed(640, 480, 16);
    const DeviceObjectSet& d = DeviceObjects;
    ASSERT_EQ(1, Screen.hardware);
    EXPECT_EQ(1, Screen.started);
    ASSERT_NE(nullptr, d.device);
    ASSERT_NE(nullptr, d.d3d);
    EXPECT_NE(nullptr, d.directDraw);
    EXPECT_EQ(d.directDraw, GetDirectDrawObject());
    // Wine offers the Ex interfaces: the same object sits in both slots.
    ASSERT_NE(nullptr, d.d3dEx);
    EXPECT_EQ((void*)d.d3dEx, (void*)d.d3d);
    EXPECT_EQ((void*)d.deviceEx, (void*)d.device);

    // A 32-bit desktop turns the requested 16 bits into 32.
    EXPECT_EQ(32, Screen.depth);
    EXPECT_EQ(D3DFMT_X8R8G8B8, DeviceFormatTable.backBuffer);

    D3DPRESENT_PARAMETERS p = {};
    ASSERT_NE(nullptr, d.swapChain);
    ASSERT_EQ(D3D_OK, d.swapChain->GetPresentParameters(&p));
    EXPECT_EQ(640u, p.BackBufferWidth);
    EXPECT_EQ(480u, p.BackBufferHeight);
    EXPECT_TRUE(p.Windowed);
    EXPECT_EQ(D3DSWAPEFFECT_COPY, p.SwapEffect);
    EXPECT_EQ((DWORD)D3DPRESENTFLAG_LOCKABLE_BACKBUFFER, p.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER);
    EXPECT_EQ((UINT)D3DPRESENT_INTERVAL_ONE, p.PresentationInterval);
    EXPECT_EQ(GetMainWindowHwnd(), p.hDeviceWindow);

    // Capabilities as the device reports them.
    D3DCAPS9 caps = {};
    d.device->GetDeviceCaps(&caps);
    EXPECT_EQ((caps.PrimitiveMiscCaps & D3DPMISCCAPS_BLENDOP) ? 1 : 0, d.blendOpSupported);
    EXPECT_EQ((caps.PrimitiveMiscCaps & D3DPMISCCAPS_TSSARGTEMP) ? 1 : 0, d.tempArgSupported);
    int side = (int)(caps.MaxTextureWidth < caps.MaxTextureHeight ? caps.MaxTextureWidth : caps.MaxTextureHeight);
    EXPECT_EQ(side, d.maxTextureSide);
    // llvmpipe offers shader model 3: mixed vertex processing is used.
    EXPECT_EQ(1, d.hardwareShaders);
    EXPECT_EQ(1, d.vertexShader20);
    EXPECT_EQ(1, d.pixelShader20);
    EXPECT_NE(nullptr, d.brightnessVolume);

    // The Z buffer covers the screen with power-of-two sides.
    EXPECT_EQ(1024, d.depthWidth);
    EXPECT_EQ(512, d.depthHeight);
    ASSERT_NE(nullptr, d.depthStencil);
    D3DSURFACE_DESC z = {};
    d.depthStencil->GetDesc(&z);
    EXPECT_EQ(1024u, z.Width);
    EXPECT_EQ(512u, z.Height);

    // Each kind holds the first candidate the device accepts.
    IDirect3D9* d3d = d.d3d;
    D3DFORMAT back = DeviceFormatTable.backBuffer;
    const D3DFORMAT* f = DeviceFormatTable.formats;
    EXPECT_EQ(FirstAccepted(d3d, back, 0, {D3DFMT_R5G6B5, D3DFMT_X1R5G5B5}), f[FORMAT_16]);
    EXPECT_EQ(FirstAccepted(d3d, back, 0, {D3DFMT_X8R8G8B8}), f[FORMAT_32]);
    EXPECT_EQ(FirstAccepted(d3d, back, 0, {D3DFMT_A4R4G4B4, D3DFMT_A8R8G8B8}), f[FORMAT_ALPHA_16]);
    EXPECT_EQ(FirstAccepted(d3d, back, 0, {D3DFMT_A8R8G8B8, D3DFMT_A4R4G4B4}), f[FORMAT_ALPHA_32]);
    EXPECT_EQ(FirstAccepted(d3d, back, 0, {D3DFMT_A1R5G5B5, D3DFMT_A8R8G8B8, D3DFMT_A4R4G4B4}),
              f[FORMAT_ALPHA_TEST_16]);
    EXPECT_EQ(FirstAccepted(d3d, back, 0, {D3DFMT_A8R8G8B8, D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4}),
              f[FORMAT_ALPHA_TEST_32]);
    EXPECT_EQ(D3DFMT_DXT1, f[FORMAT_DXT1]);
    EXPECT_EQ(FirstAccepted(d3d, back, D3DUSAGE_RENDERTARGET, {D3DFMT_X1R5G5B5, D3DFMT_R5G6B5, D3DFMT_X8R8G8B8}),
              f[FORMAT_TARGET_16]);
    EXPECT_EQ(FirstAccepted(d3d, back, D3DUSAGE_RENDERTARGET, {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5}),
              f[FORMAT_TARGET_32]);
    EXPECT_EQ(FirstAccepted(d3d, back, D3DUSAGE_RENDERTARGET, {D3DFMT_A8R8G8B8, D3DFMT_A4R4G4B4}),
              f[FORMAT_TARGET_ALPHA_32]);
    EXPECT_EQ(f[FORMAT_TARGET_32], f[FORMAT_TARGET_SCREEN]);
    EXPECT_EQ(f[FORMAT_ALPHA_TEST_32], f[FORMAT_ALPHA_TEST_SCREEN]);
    EXPECT_EQ(D3DFMT_D16, f[FORMAT_DEPTH]);

    // Shut-down releases every object and every tracked block.
    EXPECT_EQ(0, EndLibraryLocked());
    ExpectNothingHeld();
    EXPECT_EQ(0, GetAllocCount());
}

TEST(DeviceSoftware, SoftwareRendererScreens)
{
    ResetScreenSettings();
    ASSERT_EQ(0, AllowDirect3D(0));
    EXPECT_EQ(0, QueryDirect3DAllowed());
    StartWindowed(640, 480, 16);
    // Refused once the library runs.
    EXPECT_EQ(-1, AllowDirect3D(1));
    EXPECT_EQ(0, Screen.hardware);
    EXPECT_EQ(nullptr, DeviceObjects.d3d);
    EXPECT_EQ(nullptr, DeviceObjects.device);
    // DirectDraw stays for the vertical-blank waits.
    EXPECT_NE(nullptr, DeviceObjects.directDraw);
    // No device: the requested depth stands.
    EXPECT_EQ(16, Screen.depth);
    ASSERT_EQ(1, IsMemImageValid(&SoftPrimaryScreen));
    EXPECT_EQ(640, SoftPrimaryScreen.width);
    EXPECT_EQ(480, SoftPrimaryScreen.height);
    EXPECT_EQ(MEMIMG_KIND_R5G6B5, SoftPrimaryScreen.body->pixelKind);
    EXPECT_EQ(1, IsMemImageValid(&SoftWorkImages[0]));
    EXPECT_EQ(1, IsMemImageValid(&SoftWorkImages[1]));
    EXPECT_EQ(&SoftPrimaryScreen, SoftDrawTarget);
    EXPECT_EQ(0, EndLibraryLocked());
    ExpectNothingHeld();
    EXPECT_EQ(0, GetAllocCount());
    AllowDirect3D(1);
}

TEST(DeviceFallback, AFailedDeviceFallsBackToSoftware)
{
    ResetScreenSettings();
    failDeviceCreation = true;
    StartWindowed(640, 480, 32);
    failDeviceCreation = false;
    EXPECT_EQ(0, Screen.hardware);
    EXPECT_EQ(1, Screen.started);
    // The half-made objects are gone; drawing goes to the software screen.
    EXPECT_EQ(nullptr, DeviceObjects.d3d);
    EXPECT_EQ(nullptr, DeviceObjects.device);
    EXPECT_EQ(nullptr, DeviceObjects.depthStencil);
    ASSERT_EQ(1, IsMemImageValid(&SoftPrimaryScreen));
    EXPECT_EQ(MEMIMG_KIND_X8R8G8B8, SoftPrimaryScreen.body->pixelKind);
    EXPECT_EQ(0, EndLibraryLocked());
    ExpectNothingHeld();
    EXPECT_EQ(0, GetAllocCount());
}

TEST(DeviceTerminate, TwiceDoesTheWorkOnce)
{
    ResetScreenSettings();
    StartWindowed(640, 480, 32);
    ASSERT_EQ(1, Screen.started);
    freeAllGraphsCalls = 0;
    EXPECT_EQ(0, TerminateGraphics());
    EXPECT_EQ(0, TerminateGraphics());
    EXPECT_EQ(1, freeAllGraphsCalls);
    ExpectNothingHeld();
    // The library's own end finds graphics ended already.
    EXPECT_EQ(0, EndLibraryLocked());
    EXPECT_EQ(1, freeAllGraphsCalls);
    EXPECT_EQ(0, GetAllocCount());
}

TEST(DeviceSmallWindow, A320x240WindowStaysThatSize)
{
    ResetScreenSettings();
    StartWindowed(320, 240, 32);
    EXPECT_EQ(0, Screen.doubled);
    EXPECT_EQ(320, Screen.width);
    EXPECT_EQ(240, Screen.height);
    int w = 0, h = 0;
    QueryScreenState(&w, &h, nullptr);
    EXPECT_EQ(320, w);
    EXPECT_EQ(240, h);
    RECT client;
    GetClientRect(GetMainWindowHwnd(), &client);
    EXPECT_EQ(320, client.right);
    EXPECT_EQ(240, client.bottom);
    ASSERT_NE(nullptr, DeviceObjects.backBuffer);
    D3DSURFACE_DESC desc = {};
    DeviceObjects.backBuffer->GetDesc(&desc);
    EXPECT_EQ(320u, desc.Width);
    EXPECT_EQ(240u, desc.Height);
    EXPECT_EQ(0, EndLibraryLocked());
}

TEST(DeviceDefaults, AnUnsetScreenIs640x480)
{
    ResetScreenSettings();
    ASSERT_EQ(0, AllowDirect3D(0));
    ChangeWindowMode(1);
    SetLogFileOutput(0);
    ASSERT_EQ(0, InitLibraryLocked());
    EXPECT_EQ(640, Screen.width);
    EXPECT_EQ(480, Screen.height);
    EXPECT_EQ(16, Screen.depth);
    // Starting again changes nothing.
    EXPECT_EQ(0, InitGraphics());
    EXPECT_EQ(0, EndLibraryLocked());
    AllowDirect3D(1);
    // Display modes: out of range gives four -1 values.
    int count = CountDisplayModes();
    ASSERT_GT(count, 0);
    DisplayMode none = DisplayModeAt(count);
    EXPECT_EQ(-1, none.width);
    EXPECT_EQ(-1, none.refresh);
    none = DisplayModeAt(-1);
    EXPECT_EQ(-1, none.height);
    DisplayMode first = DisplayModeAt(0);
    EXPECT_GE(first.bits, 16);
    EXPECT_EQ(1, HasDisplayMode(first.width, first.height, first.bits));
    EXPECT_EQ(0, HasDisplayMode(first.width + 1, first.height, first.bits));
    FreeDisplayModes();
    EXPECT_EQ(0, GetAllocCount());

    // A screen whose pixels could not be addressed is refused before any
    // surface or software screen is sized by it.
    ASSERT_EQ(0, SetScreenMode(40000, 40000, 32, 0));
    ChangeWindowMode(1);
    EXPECT_EQ(-1, InitLibraryLocked());
    ExpectNothingHeld();
    // Nor do input and sound, started before the refusal, run on into the
    // process's exit.
    EXPECT_FALSE(InputRunning());
    EXPECT_EQ(nullptr, SoundSystem.directSound);
    EXPECT_EQ(nullptr, SoundSystem.thread);
    ResetScreenSettings();
}

TEST(DeviceCreation, TheDisplayModeGoesOnlyWithAFullScreenDevice)
{
    ResetScreenSettings();
    StartWindowed(640, 480, 32);
    ASSERT_NE(nullptr, realCreateDeviceEx);
    EXPECT_EQ(1, createCalls);
    EXPECT_TRUE(lastWindowed);
    EXPECT_FALSE(lastHadMode);

    // Full screen on Vista or later with a doubled 320 x 240 screen: the
    // display mode was set beforehand and the device shows as in a window,
    // which a display mode would make the creation refuse.
    SystemState.settings.windowMode = 0;
    Screen.doubled = 1;
    ASSERT_GE(SystemState.kept.osCode, 0x108);
    EXPECT_EQ(0, CreateD3DDevice());
    EXPECT_EQ(2, createCalls);
    EXPECT_TRUE(lastWindowed);
    EXPECT_FALSE(lastHadMode);
    EXPECT_NE(nullptr, DeviceObjects.device);

    SystemState.settings.windowMode = 1;
    Screen.doubled = 0;
    EXPECT_EQ(0, CreateD3DDevice());
    EXPECT_EQ(0, CreateZBuffer());
    EXPECT_EQ(0, EndLibraryLocked());
    ExpectNothingHeld();
    EXPECT_EQ(0, GetAllocCount());
}
