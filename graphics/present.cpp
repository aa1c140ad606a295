// Presenting the screen: the swap chain in Direct3D mode, a DIB copy to the
// window in software mode, and the sub back buffer of full-screen Direct3D.
#include "graphics/draw_target.h"

#include "graphics/device.h"
#include "graphics/draw_state.h"
#include "graphics/soft_screen.h"
#include "graphics/state_cache.h"
#include "graphics/vertex_batch.h"
#include "image/raster_image.h"
#include "runtime/log.h"
#include "runtime/screen_print.h"
#include "runtime/system_state.h"
#include "runtime/window_state.h"

// Source rectangle of the last full present, used to map a partial repaint.
static RECT lastPresented;
// The window area a paint present showed again since the last full present.
// A present can itself expose the window (Wine's X11 driver does so), and a
// paint present would then feed an endless stream of paints: a paint of an
// area already shown again, with no new frame since, has nothing to show.
static RECT repainted;

// Draws the debug text over the whole screen with plain blending.
static void DrawDebugTextOverScreen()
{
    if (!GetScreenPrintInUse())
        return;
    RECT area = Draw.area;
    int mode = Draw.blendMode, param = Draw.blendParam;
    uint32_t brightness = Draw.brightness;
    int w, h;
    QueryScreenSize(&w, &h);
    SetClipArea(0, 0, w, h);
    SelectBlendMode(0, 0);
    SetBrightness(255, 255, 255);
    DrawScreenPrint();
    SetClipArea(area.left, area.top, area.right, area.bottom);
    SelectBlendMode(mode, param);
    SetDrawBrightPacked(brightness);
}

int CreateSubBackBuffer()
{
    DeviceObjectSet& d = DeviceObjects;
    if (!d.device ||
        FAILED(d.device->CreateRenderTarget((UINT)Screen.width, (UINT)Screen.height, DeviceFormatTable.backBuffer,
                                            (D3DMULTISAMPLE_TYPE)DeviceOptions.multisampleType,
                                            (DWORD)DeviceOptions.multisampleQuality, FALSE, &d.subBackBuffer, nullptr))) {
        d.subBackBuffer = nullptr;
        WriteLog("サブバックバッファの作成に失敗しました\n");
        return -1;
    }
    return 0;
}

int UseSubBackBuffer()
{
    DeviceObjectSet& d = DeviceObjects;
    if (d.subBackBuffer)
        return 0;
    FlushVertexBuffer();
    EndSceneIfNeeded();
    if (CreateSubBackBuffer() != 0)
        return -1;
    d.device->StretchRect(d.backBuffer, nullptr, d.subBackBuffer, nullptr, D3DTEXF_NONE);
    int force = DeviceStateCache.force;
    DeviceStateCache.force = 1;
    SetRenderTargetCached(d.subBackBuffer);
    DeviceStateCache.force = force;
    return 0;
}

int ShowBackBuffer()
{
    if (IsFullScreenMode() && Screen.hardware)
        UseSubBackBuffer();
    return PresentScreenRect(nullptr);
}

// Present through a layered main window (nothing in this program makes one):
// the back screen goes to the window with UpdateLayeredWindow, never through
// the swap chain or a DIB copy. 0 on every path, as the other presents.
static int PresentLayered()
{
    if (IsVSyncWaitEnabled())
        WaitForVSyncTimed();
    RasterImage screen;
    if (LockBackScreenImage(&screen) == 0) {
        UpdateLayeredWindowFromScreen(&screen, 0, 0);
        UnlockScreenImage();
    }
    return 0;
}

// Software present: the primary screen image copied to the window.
static int PresentSoftware(const RECT* rect, const RECT& mapped, bool doubledView, int destW, int destH)
{
    MEMIMG& screen = SoftPrimaryScreen;
    if (!IsMemImageValid(&screen))
        return 0;
    if (IsVSyncWaitEnabled())
        WaitForVSyncTimed();
    if (IsLayeredWindowInUse())
        return PresentLayered();
    const ColorFormat* format = screen.body->format;
    struct {
        BITMAPINFOHEADER header;
        DWORD masks[3];
    } info = {};
    info.header.biSize = sizeof info.header;
    info.header.biWidth = screen.body->pitch / format->bytesPerPixel;
    info.header.biHeight = -screen.height;
    info.header.biPlanes = 1;
    info.header.biBitCount = format->bitDepth;
    info.header.biCompression = BI_BITFIELDS;
    info.masks[0] = format->redMask;
    info.masks[1] = format->greenMask;
    info.masks[2] = format->blueMask;
    HWND window = SystemState.live.window;
    HDC dc = GetDC(window);
    if (!dc)
        return 0;
    const BITMAPINFO* bi = (const BITMAPINFO*)&info;
    int w = Screen.width, h = Screen.height;
    if (doubledView) {
        SetRect(&lastPresented, 0, 0, 640, 480);
        StretchDIBits(dc, 0, 0, 640, 480, 0, h - 240, 320, 240, screen.pixels, bi, DIB_RGB_COLORS, SRCCOPY);
    } else if (rect) {
        StretchDIBits(dc, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, mapped.left,
                      h - mapped.bottom, mapped.right - mapped.left, mapped.bottom - mapped.top, screen.pixels, bi,
                      DIB_RGB_COLORS, SRCCOPY);
    } else {
        SetRect(&lastPresented, 0, 0, destW, destH);
        if (destW == w && destH == h)
            SetDIBitsToDevice(dc, 0, 0, (DWORD)w, (DWORD)h, 0, 0, 0, (UINT)h, screen.pixels, bi, DIB_RGB_COLORS);
        else
            StretchDIBits(dc, 0, 0, destW, destH, 0, 0, w, h, screen.pixels, bi, DIB_RGB_COLORS, SRCCOPY);
    }
    ReleaseDC(window, dc);
    return 0;
}

int PresentScreenRect(const RECT* rect)
{
    if (!SystemState.kept.initialised || SystemState.live.destroyed)
        return -1;
    int w, h;
    QueryScreenSize(&w, &h);

    RECT mapped = {};
    if (rect) {
        const RECT& L = lastPresented;
        mapped.left = (LONG)((int64_t)rect->left * (L.right - L.left) / w + L.left);
        mapped.right = (LONG)((int64_t)rect->right * (L.right - L.left) / w + L.left);
        mapped.top = (LONG)((int64_t)rect->top * (L.bottom - L.top) / h + L.top);
        mapped.bottom = (LONG)((int64_t)rect->bottom * (L.bottom - L.top) / h + L.top);
        if (mapped.right - mapped.left <= 0 || mapped.bottom - mapped.top <= 0)
            return -1;
    }

    DrawDebugTextOverScreen();

    RECT source = {0, 0, w, h};
    bool doubledView = (Draw.reducedScreen || Screen.doubled) && w == 640 && h == 480;
    if (doubledView)
        SetRect(&source, 0, 0, 320, 240);

    bool fullScreen = IsFullScreenMode() != 0;
    RECT dest = {0, 0, w, h};
    if (!fullScreen && !doubledView) {
        double sx, sy;
        GetWindowScale(&sx, &sy);
        int dw = (int)(w * sx), dh = (int)(h * sy);
        int toolBar = GetToolBarHeight();
        if (toolBar > 0) {
            RECT client;
            GetClientRect(SystemState.live.window, &client);
            SetRect(&dest, 0, client.bottom - h, dw, client.bottom);
        } else {
            SetRect(&dest, 0, 0, dw, dh);
        }
    }

    if (!Screen.hardware)
        return PresentSoftware(rect, mapped, doubledView, dest.right - dest.left, dest.bottom - dest.top);

    DeviceObjectSet& d = DeviceObjects;
    if (!d.device)
        return 0;
    FlushVertexBuffer();
    EndSceneIfNeeded();
    if (IsLayeredWindowInUse())
        return PresentLayered();
    if (doubledView)
        SetRect(&dest, 0, 0, 640, 480);
    if (d.subBackBuffer &&
        FAILED(d.device->StretchRect(d.subBackBuffer, nullptr, d.backBuffer, nullptr, D3DTEXF_NONE)))
        return -1;
    if (!d.swapChain)
        return 0;
    HWND window = SystemState.live.window;
    HRESULT hr;
    if (fullScreen) {
        hr = doubledView ? d.swapChain->Present(&source, &dest, window, nullptr, 0)
                         : d.swapChain->Present(nullptr, nullptr, window, nullptr, 0);
    } else if (rect) {
        RECT covered;
        if (UnionRect(&covered, &repainted, rect) && EqualRect(&covered, &repainted))
            return 0;
        hr = d.swapChain->Present(&mapped, rect, window, nullptr, 0);
        if (hr == D3D_OK)
            UnionRect(&repainted, &repainted, rect);
    } else {
        SetRectEmpty(&repainted);
        lastPresented = source;
        hr = d.swapChain->Present(&source, &dest, window, nullptr, 0);
    }
    return hr == D3D_OK ? 0 : -1;
}

int PresentScreen() { return PresentScreenRect(nullptr); }
