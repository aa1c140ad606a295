// Creation of the Direct3D object, the device and its Z buffer.
#include "graphics/device.h"

#include <string.h>

#include "graphics/draw_state.h"
#include "graphics/draw_target.h"
#include "graphics/state_cache.h"
#include "graphics/vertex_batch.h"
#include "runtime/log.h"
#include "runtime/system_state.h"
#include "runtime/window_state.h"

static const int OsCodeVista = 0x108;

typedef IDirect3D9*(WINAPI* Direct3DCreate9Proc)(UINT);
typedef HRESULT(WINAPI* Direct3DCreate9ExProc)(UINT, IDirect3D9Ex**);

static UINT Adapter()
{
    return DeviceOptions.useAdapterIndex ? (UINT)DeviceOptions.adapterIndex : 0;
}

int CreateDirect3DObject()
{
    DeviceObjectSet& d = DeviceObjects;
    ReleaseObject(d.d3d);
    d.d3dEx = nullptr;
    if (!d.d3d9Module)
        return -1;
    WriteLog("IDirect3D9Ex オブジェクトを取得します.... ");
    Direct3DCreate9ExProc createEx =
        (Direct3DCreate9ExProc)(void*)GetProcAddress(d.d3d9Module, "Direct3DCreate9Ex");
    IDirect3D9Ex* ex = nullptr;
    if (createEx && createEx(D3D_SDK_VERSION, &ex) == S_OK && ex) {
        d.d3dEx = ex;
        d.d3d = ex;
    } else {
        WriteLog("IDirect3D9 オブジェクトを取得します.... ");
        Direct3DCreate9Proc create = (Direct3DCreate9Proc)(void*)GetProcAddress(d.d3d9Module, "Direct3DCreate9");
        if (!create) {
            WriteLog("Direct3DCreate9 APIのアドレス取得に失敗しました\n");
            return -1;
        }
        d.d3d = create(D3D_SDK_VERSION);
        if (!d.d3d) {
            WriteLog("IDirect3D9 オブジェクトの取得に失敗しました\n");
            return -1;
        }
    }
    WriteLog("成功\n");
    return 0;
}

// The full-screen back-buffer format for a depth; D3DFMT_UNKNOWN for a depth
// the device cannot show.
static D3DFORMAT FullScreenFormat(int depth)
{
    if (depth == 16)
        return DeviceObjects.d3d->GetAdapterModeCount(Adapter(), D3DFMT_R5G6B5) != 0 ? D3DFMT_R5G6B5
                                                                                      : D3DFMT_X1R5G5B5;
    if (depth == 32)
        return D3DFMT_X8R8G8B8;
    return D3DFMT_UNKNOWN;
}

static void DeriveCapabilities()
{
    DeviceObjectSet& d = DeviceObjects;
    d.device->GetDeviceCaps(&d.caps);
    d.blendOpSupported = (d.caps.PrimitiveMiscCaps & D3DPMISCCAPS_BLENDOP) ? 1 : 0;
    d.tempArgSupported = (d.caps.PrimitiveMiscCaps & D3DPMISCCAPS_TSSARGTEMP) ? 1 : 0;
    d.vertexShader20 = d.hardwareShaders && (d.caps.VertexShaderVersion & 0xFFFF) >= 0x0200;
    d.pixelShader20 = d.hardwareShaders && (d.caps.PixelShaderVersion & 0xFFFF) >= 0x0200;
    int w = d.caps.MaxTextureWidth ? (int)d.caps.MaxTextureWidth : 256;
    int h = d.caps.MaxTextureHeight ? (int)d.caps.MaxTextureHeight : 256;
    d.maxTextureSide = w < h ? w : h;
}

static void LogBackBufferFormat()
{
    D3DSURFACE_DESC desc;
    memset(&desc, 0, sizeof desc);
    DeviceObjects.backBuffer->GetDesc(&desc);
    DeviceFormatTable.backBuffer = desc.Format;
    switch (desc.Format) {
    case D3DFMT_X8R8G8B8:
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
        WriteLogFormat("画面のフォーマットは %s です", DeviceFormatName(desc.Format));
        break;
    default:
        WriteLogFormat("バックバッファが対応していないフォーマット %d です", (int)desc.Format);
        break;
    }
}

void ReleaseDeviceAndSurfaces()
{
    DeviceObjectSet& d = DeviceObjects;
    ReleaseObject(d.depthStencil);
    ReleaseObject(d.subBackBuffer);
    ReleaseObject(d.backBuffer);
    ReleaseObject(d.swapChain);
    ReleaseObject(d.brightnessVolume);
    ReleaseObject(d.device);
    d.deviceEx = nullptr;
    d.inScene = 0;
    ForgetCachedDeviceObjects();
}

int CreateD3DDevice()
{
    DeviceObjectSet& d = DeviceObjects;
    if (!d.d3d)
        return -1;
    // What hangs off an old device goes with it.
    ReleaseDeviceAndSurfaces();

    HWND window = GetMainWindowHwnd();
    D3DPRESENT_PARAMETERS p;
    memset(&p, 0, sizeof p);
    p.BackBufferWidth = (UINT)Screen.width;
    p.BackBufferHeight = (UINT)Screen.height;
    p.BackBufferCount = 1;
    p.MultiSampleType = (D3DMULTISAMPLE_TYPE)DeviceOptions.multisampleType;
    p.MultiSampleQuality = (DWORD)DeviceOptions.multisampleQuality;
    p.hDeviceWindow = window;
    p.EnableAutoDepthStencil = FALSE;
    p.PresentationInterval = GetVSyncWait() ? D3DPRESENT_INTERVAL_ONE : D3DPRESENT_INTERVAL_IMMEDIATE;
    if (DeviceOptions.multisampleType == 0) {
        p.SwapEffect = D3DSWAPEFFECT_COPY;
        p.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
    } else {
        p.SwapEffect = D3DSWAPEFFECT_DISCARD;
        p.Flags = 0;
    }

    D3DDISPLAYMODEEX modeEx;
    memset(&modeEx, 0, sizeof modeEx);
    bool fullScreenMode = false;
    if (GetWindowedFlag()) {
        p.Windowed = TRUE;
        D3DDISPLAYMODE desktop;
        memset(&desktop, 0, sizeof desktop);
        d.d3d->GetAdapterDisplayMode(0, &desktop);
        p.BackBufferFormat = desktop.Format;
        if (desktop.Format == D3DFMT_X8R8G8B8)
            Screen.depth = 32;
        else if (desktop.Format == D3DFMT_R5G6B5 || desktop.Format == D3DFMT_X1R5G5B5 ||
                 desktop.Format == D3DFMT_A1R5G5B5)
            Screen.depth = 16;
        if (!DeviceOptions.compositionOff)
            SetDesktopComposition(1);
    } else {
        p.BackBufferFormat = FullScreenFormat(Screen.depth);
        if (p.BackBufferFormat == D3DFMT_UNKNOWN) {
            WriteLog("非対応のバックバッファービット深度が指定されました\n");
            return -1;
        }
        if (SystemState.kept.osCode >= OsCodeVista && (Draw.reducedScreen || Screen.doubled)) {
            // The display mode was changed beforehand; the device shows in it
            // as in a window.
            p.Windowed = TRUE;
        } else {
            p.Windowed = FALSE;
            p.FullScreen_RefreshRateInHz = (UINT)Screen.refresh;
            fullScreenMode = true;
            modeEx.Size = sizeof modeEx;
            modeEx.Width = (UINT)Screen.width;
            modeEx.Height = (UINT)Screen.height;
            modeEx.RefreshRate = (UINT)Screen.refresh;
            modeEx.Format = p.BackBufferFormat;
            modeEx.ScanLineOrdering = D3DSCANLINEORDERING_PROGRESSIVE;
            SetDesktopComposition(0);
            if (SystemState.kept.dwmEnableComposition)
                WriteLog("Desktop Window Manager を無効にしました\n");
        }
    }

    D3DCAPS9 caps;
    memset(&caps, 0, sizeof caps);
    d.d3d->GetDeviceCaps(Adapter(), D3DDEVTYPE_HAL, &caps);
    d.hardwareShaders = !DeviceOptions.forceSoftwareVertexProcessing &&
                        (caps.VertexShaderVersion & 0xFFFF) >= 0x0200 && (caps.PixelShaderVersion & 0xFFFF) >= 0x0200;
    DWORD optionFlags = (DeviceOptions.multithreaded ? D3DCREATE_MULTITHREADED : 0) |
                        (DeviceOptions.fpuPreserve ? D3DCREATE_FPU_PRESERVE : 0);

    // The display mode goes with the call only in full screen: a windowed
    // device refuses one.
    auto create = [&](DWORD flags) -> HRESULT {
        D3DPRESENT_PARAMETERS params = p;
        if (d.d3dEx) {
            IDirect3DDevice9Ex* device = nullptr;
            HRESULT hr = d.d3dEx->CreateDeviceEx(Adapter(), D3DDEVTYPE_HAL, window, flags, &params,
                                                 fullScreenMode ? &modeEx : nullptr, &device);
            if (SUCCEEDED(hr) && device) {
                d.deviceEx = device;
                d.device = device;
            }
            return hr;
        }
        IDirect3DDevice9* device = nullptr;
        HRESULT hr = d.d3d->CreateDevice(Adapter(), D3DDEVTYPE_HAL, window, flags, &params, &device);
        if (SUCCEEDED(hr) && device)
            d.device = device;
        return hr;
    };

    WriteLog(d.d3dEx ? "IDirect3DDevice9Ex オブジェクトを取得します.... " : "IDirect3DDevice9 オブジェクトを取得します.... ");
    HRESULT hr = create((d.hardwareShaders ? D3DCREATE_MIXED_VERTEXPROCESSING : D3DCREATE_SOFTWARE_VERTEXPROCESSING) |
                        optionFlags);
    if (SUCCEEDED(hr) && d.device) {
        WriteLog("ハードウエア頂点演算を使用します\n");
    } else {
        d.hardwareShaders = 0;
        hr = create(D3DCREATE_SOFTWARE_VERTEXPROCESSING | optionFlags);
        if (FAILED(hr) || !d.device) {
            d.device = nullptr;
            d.deviceEx = nullptr;
            WriteLog(d.d3dEx ? "Direct3DDevice9Ex の作成に失敗しました\n" : "Direct3DDevice9 の作成に失敗しました\n");
            return -1;
        }
        WriteLog("ソフトウエア頂点演算を使用します\n");
    }
    if (d.deviceEx)
        d.deviceEx->SetMaximumFrameLatency(1);

    MeasureRefreshInterval();
    // The new device has none of them set: the next draw sets them again.
    VertexBatch.fvf = 0;
    DeviceStateCache.vertexDeclaration = nullptr;
    DeviceStateCache.vertexShader = nullptr;
    DeviceStateCache.pixelShader = nullptr;

    d.device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    D3DCOLOR back = Screen.backColor & 0xFFFFFF;
    for (int i = 0; i < 3; i++) {
        d.device->Clear(0, nullptr, D3DCLEAR_TARGET, back, 1.0f, 0);
        d.device->Present(nullptr, nullptr, window, nullptr);
    }
    d.device->Clear(0, nullptr, D3DCLEAR_TARGET, back, 1.0f, 0);

    if (FAILED(d.device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &d.backBuffer)) ||
        FAILED(d.device->GetSwapChain(0, &d.swapChain)))
        return -1;
    WriteLog("成功\n");
    DeriveCapabilities();
    // Unknown, so that their next setting reaches the device.
    DeviceStateCache.diffuseMaterialSource = 255;
    DeviceStateCache.specularMaterialSource = 255;

    D3DADAPTER_IDENTIFIER9 id;
    memset(&id, 0, sizeof id);
    d.d3d->GetAdapterIdentifier(0, 0, &id);
    WriteLogFormat("Driver:%s  Description:%s", id.Driver, id.Description);
    LogBackBufferFormat();
    return FillDeviceFormatTable();
}

int CreateZBuffer()
{
    DeviceObjectSet& d = DeviceObjects;
    if (!d.device)
        return -1;
    ReleaseObject(d.depthStencil);
    WriteLog("Ｚバッファを作成します.... ");
    int w = 1, h = 1;
    while (w < Screen.width)
        w <<= 1;
    while (h < Screen.height)
        h <<= 1;
    HRESULT hr = d.device->CreateDepthStencilSurface(
        (UINT)w, (UINT)h, DeviceFormatTable.formats[FORMAT_DEPTH], (D3DMULTISAMPLE_TYPE)DeviceOptions.multisampleType,
        (DWORD)DeviceOptions.multisampleQuality, TRUE, &d.depthStencil, nullptr);
    if (FAILED(hr) || !d.depthStencil) {
        d.depthStencil = nullptr;
        WriteLog("Ｚバッファの作成に失敗しました\n");
        return -1;
    }
    d.depthWidth = w;
    d.depthHeight = h;
    d.device->SetDepthStencilSurface(d.depthStencil);
    d.device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    WriteLog("成功\n");
    return 0;
}
