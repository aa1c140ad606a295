// Speed of the graphics layer on both renderers against the platform's own
// limit: the time from library start-up to the first presented frame, and the
// cost of one frame of an empty scene (clear and present, messages pumped) in
// a 640 x 480 window, beside a minimal program's frame with the same device
// parameters written out here: a Direct3D 9Ex device with a COPY swap chain
// and lockable back buffer, a D16 Z buffer cleared each frame, the library's
// window styles, messages pumped after each present. The software renderer's
// anchor is a plain GDI copy of a 640 x 480 picture to the window. Rounds
// alternate between the minimal frame and the library's, so that the ratio
// holds on a loaded machine.
//   graphics_bench.exe [frames [rounds]]
#include <windows.h>
#include <d3d9.h>
#include <ddraw.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <vector>

#include "graphics/device.h"
#include "graphics/device_reset.h"
#include "graphics/draw_target.h"
#include "runtime/library.h"
#include "tools/bench/bench_clock.h"

namespace {

const int Width = 640, Height = 480;

struct FrameCost {
    double cpuMs, wallMs;
    int frames;
};

void PumpMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Ten frames to settle, then the timed ones.
template <typename F>
void TimeFrames(int frames, F frame, FrameCost* out)
{
    for (int i = 0; i < 10; i++)
        frame();
    double wall = Now(), cpu = CpuTime();
    for (int i = 0; i < frames; i++)
        frame();
    out->cpuMs = (CpuTime() - cpu) * 1e3 / frames;
    out->wallMs = (Now() - wall) * 1e3 / frames;
    out->frames = frames;
}

LRESULT CALLBACK MinimalWindowProc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    if (m == WM_PAINT) {
        PAINTSTRUCT ps;
        BeginPaint(w, &ps);
        EndPaint(w, &ps);
        return 0;
    }
    return DefWindowProcA(w, m, wp, lp);
}

// A window as the library makes it in window mode.
HWND MakeMinimalWindow()
{
    static bool registered;
    if (!registered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = MinimalWindowProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.lpszClassName = "graphics_bench_minimal";
        RegisterClassA(&wc);
        registered = true;
    }
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    const DWORD exStyle = WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE;
    RECT rc = {0, 0, Width, Height};
    AdjustWindowRectEx(&rc, style, FALSE, exStyle);
    HWND w = CreateWindowExA(exStyle, "graphics_bench_minimal", "minimal", style, 0, 0, rc.right - rc.left,
                             rc.bottom - rc.top, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ShowWindow(w, SW_SHOW);
    SetForegroundWindow(w);
    PumpMessages();
    return w;
}

// A DirectDraw 7 object at the normal cooperative level, bound to a window or
// to none: what the library keeps for vertical-blank waits.
IDirectDraw7* MakeDirectDraw(HWND window)
{
    IDirectDraw7* dd = nullptr;
    if (FAILED(CoCreateInstance(CLSID_DirectDraw7, nullptr, CLSCTX_ALL, IID_IDirectDraw7, (void**)&dd)) || !dd)
        return nullptr;
    if (FAILED(dd->Initialize(nullptr))) {
        dd->Release();
        return nullptr;
    }
    dd->SetCooperativeLevel(window, DDSCL_NORMAL);
    return dd;
}

enum DirectDrawUse { NoDirectDraw, DirectDrawNullWindow, DirectDrawOnWindow };

// The minimal Direct3D 9 frame: clear target and Z, present, pump.
bool MinimalDirect3DFrames(int frames, DirectDrawUse ddUse, FrameCost* out)
{
    typedef HRESULT(WINAPI * CreateEx)(UINT, IDirect3D9Ex**);
    HMODULE module = LoadLibraryA("d3d9.dll");
    CreateEx create = module ? (CreateEx)(void*)GetProcAddress(module, "Direct3DCreate9Ex") : nullptr;
    IDirect3D9Ex* d3d = nullptr;
    if (!create || FAILED(create(D3D_SDK_VERSION, &d3d)) || !d3d)
        return false;
    HWND window = MakeMinimalWindow();
    IDirectDraw7* dd = ddUse == NoDirectDraw ? nullptr : MakeDirectDraw(ddUse == DirectDrawOnWindow ? window : nullptr);

    D3DDISPLAYMODE desktop = {};
    d3d->GetAdapterDisplayMode(0, &desktop);
    D3DPRESENT_PARAMETERS p = {};
    p.BackBufferWidth = Width;
    p.BackBufferHeight = Height;
    p.BackBufferCount = 1;
    p.BackBufferFormat = desktop.Format;
    p.hDeviceWindow = window;
    p.Windowed = TRUE;
    p.SwapEffect = D3DSWAPEFFECT_COPY;
    p.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
    p.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    IDirect3DDevice9Ex* device = nullptr;
    IDirect3DSwapChain9* chain = nullptr;
    IDirect3DSurface9* depth = nullptr;
    bool ok = SUCCEEDED(d3d->CreateDeviceEx(0, D3DDEVTYPE_HAL, window, D3DCREATE_MIXED_VERTEXPROCESSING, &p, nullptr,
                                            &device)) &&
              device && SUCCEEDED(device->GetSwapChain(0, &chain)) &&
              SUCCEEDED(device->CreateDepthStencilSurface(1024, 512, D3DFMT_D16, D3DMULTISAMPLE_NONE, 0, TRUE, &depth,
                                                          nullptr));
    if (ok) {
        device->SetMaximumFrameLatency(1);
        device->SetDepthStencilSurface(depth);
        RECT source = {0, 0, Width, Height};
        auto frame = [&] {
            device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
            device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
            chain->Present(&source, &source, window, nullptr, 0);
            PumpMessages();
        };
        TimeFrames(frames, frame, out);
    }
    if (depth)
        depth->Release();
    if (chain)
        chain->Release();
    if (device)
        device->Release();
    if (dd)
        dd->Release();
    d3d->Release();
    DestroyWindow(window);
    PumpMessages();
    return ok;
}

// The software renderer's floor: a 640 x 480 32-bit picture copied to the
// window through GDI each frame.
bool MinimalGdiFrames(int frames, FrameCost* out)
{
    HWND window = MakeMinimalWindow();
    std::vector<DWORD> pixels((size_t)Width * Height, 0);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = Width;
    info.bmiHeader.biHeight = -Height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    auto frame = [&] {
        std::fill(pixels.begin(), pixels.end(), 0);
        HDC dc = GetDC(window);
        SetDIBitsToDevice(dc, 0, 0, Width, Height, 0, 0, 0, Height, pixels.data(), &info, DIB_RGB_COLORS);
        ReleaseDC(window, dc);
        PumpMessages();
    };
    TimeFrames(frames, frame, out);
    DestroyWindow(window);
    PumpMessages();
    return true;
}

// The library's empty frame as the game runs it: message step, clear, present.
bool LibraryFrames(int software, int vsync, int frames, FrameCost* out, double* firstFrameMs)
{
    AllowDirect3D(!software);
    ChangeWindowMode(1);
    SetLogFileOutput(0);
    SetScreenMode(Width, Height, 32, 0);
    SetVSyncWait(vsync);
    double start = Now();
    if (InitLibraryLocked() != 0)
        return false;
    SelectDrawTarget(DRAW_TARGET_BACK);
    ClearDrawTarget(nullptr);
    PresentScreen();
    *firstFrameMs = (Now() - start) * 1e3;
    bool ok = (Screen.hardware != 0) == !software;
    for (int i = 0; i < 10 && ok; i++) {
        ProcessMessagesLocked();
        ClearDrawTarget(nullptr);
        PresentScreen();
    }
    double wall = Now(), cpu = CpuTime();
    int shown = 0;
    for (; ok && shown < frames; shown++) {
        if (ProcessMessagesLocked() != 0)
            break;
        ClearDrawTarget(nullptr);
        if (PresentScreen() != 0)
            break;
    }
    out->cpuMs = shown ? (CpuTime() - cpu) * 1e3 / shown : 0;
    out->wallMs = shown ? (Now() - wall) * 1e3 / shown : 0;
    out->frames = shown;
    EndLibraryLocked();
    return ok && shown == frames;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

struct Series {
    std::vector<double> cpu, wall;
    void Add(const FrameCost& c)
    {
        cpu.push_back(c.cpuMs);
        wall.push_back(c.wallMs);
    }
};

void PrintRow(const char* name, const Series& s)
{
    printf("  %-46s %8.3f ms wall %8.3f ms CPU\n", name, Median(s.wall), Median(s.cpu));
}

} // namespace

int main(int argc, char** argv)
{
    int frames = argc > 1 ? atoi(argv[1]) : 300;
    int rounds = argc > 2 ? atoi(argv[2]) : 3;
    if (frames < 1)
        frames = 1;
    if (rounds < 1)
        rounds = 1;
    CoInitialize(nullptr);

    Series minimal, minimalDdNull, minimalDdWindow, gdi, library, libraryVsync, software, softwareVsync;
    double firstD3d = 0, firstSoft = 0;
    for (int r = 0; r < rounds; r++) {
        FrameCost c;
        if (MinimalDirect3DFrames(frames, NoDirectDraw, &c))
            minimal.Add(c);
        if (LibraryFrames(0, 0, frames, &c, &firstD3d))
            library.Add(c);
        if (MinimalDirect3DFrames(frames, DirectDrawNullWindow, &c))
            minimalDdNull.Add(c);
        if (MinimalDirect3DFrames(frames, DirectDrawOnWindow, &c))
            minimalDdWindow.Add(c);
        if (LibraryFrames(0, 1, frames, &c, &firstD3d))
            libraryVsync.Add(c);
        if (MinimalGdiFrames(frames, &c))
            gdi.Add(c);
        if (LibraryFrames(1, 0, frames, &c, &firstSoft))
            software.Add(c);
        if (LibraryFrames(1, 1, frames, &c, &firstSoft))
            softwareVsync.Add(c);
    }

    printf("empty frame, %d x %d window, %d frames a run, median of %d rounds:\n", Width, Height, frames, rounds);
    printf(" Direct3D 9\n");
    PrintRow("minimal program (the platform's limit)", minimal);
    PrintRow("minimal + DirectDraw, normal level, no window", minimalDdNull);
    PrintRow("minimal + DirectDraw, normal level, on window", minimalDdWindow);
    PrintRow("library, vertical-blank wait off", library);
    PrintRow("library, vertical-blank wait on", libraryVsync);
    if (!minimal.wall.empty() && !library.wall.empty())
        printf("  ratio library / minimal (wall, wait off): %.2fx\n", Median(library.wall) / Median(minimal.wall));
    printf(" software renderer\n");
    PrintRow("minimal GDI copy (the platform's limit)", gdi);
    PrintRow("library, vertical-blank wait off", software);
    PrintRow("library, vertical-blank wait on", softwareVsync);
    if (!gdi.wall.empty() && !software.wall.empty())
        printf("  ratio library / minimal (wall, wait off): %.2fx\n", Median(software.wall) / Median(gdi.wall));
    printf("start-up to first frame: Direct3D %.1f ms, software %.1f ms (last round)\n", firstD3d, firstSoft);
    CoUninitialize();
    return 0;
}
