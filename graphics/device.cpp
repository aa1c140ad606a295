// Graphics start-up and shut-down: the Direct3D device with its software
// fallback, DirectDraw for vertical-blank waits, and the scene bracket.
#include "graphics/device.h"

#include <ddraw.h>
#include <stdint.h>

#include "graphics/draw_state.h"
#include "graphics/draw_target.h"
#include "graphics/font/default_font.h"
#include "graphics/graph_loading.h"
#include "graphics/graph_handles.h"
#include "graphics/mask_screen.h"
#include "graphics/model.h"
#include "graphics/shaders.h"
#include "graphics/state_cache.h"
#include "graphics/transform3d.h"
#include "image/soft_blend_tables.h"
#include "runtime/log.h"
#include "runtime/system_state.h"
#include "runtime/window_state.h"

ScreenSettings Screen;
DeviceOptionSet DeviceOptions;
DeviceObjectSet DeviceObjects;

static const int OsCodeVista = 0x108;

// Full screen shown through a display mode that the library set itself:
// the software renderer, and on Vista or later the 320 x 240 modes.
static bool ChangesDisplayFirst()
{
    return SystemState.kept.osCode >= OsCodeVista && (Draw.reducedScreen || Screen.doubled);
}

int CreateDirectDrawObject()
{
    DeviceObjectSet& d = DeviceObjects;
    ReleaseObject(d.directDraw);
    WriteLog("DirectDraw オブジェクトの取得を行います....  ");
    IDirectDraw7* dd = nullptr;
    if (FAILED(CoCreateInstance(CLSID_DirectDraw7, nullptr, CLSCTX_ALL, IID_IDirectDraw7, (void**)&dd)) || !dd) {
        WriteLog("オブジェクトの取得に失敗しました\n");
        return -1;
    }
    WriteLog("成功\n");
    WriteLog("引き続き初期化処理... ");
    if (FAILED(dd->Initialize(nullptr))) {
        WriteLog("DirectDrawオブジェクトの初期化に失敗しました\n");
        dd->Release();
        return -1;
    }
    WriteLog("初期化に成功しました\n");
    d.directDraw = dd;
    // The object only waits for the vertical blank, which needs no window at
    // the normal level, where a null window is valid. Bound to the main window
    // under Wine, it makes every Direct3D present and message step cost some
    // ten times a whole frame.
    dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL | (DeviceOptions.fpuPreserve ? DDSCL_FPUPRESERVE : 0));
    if (DeviceOptions.compositionOff)
        SetDesktopComposition(0);
    return 0;
}

int InitDirect3DGraphics()
{
    DeviceObjectSet& d = DeviceObjects;
    if (!d.d3d9Module)
        d.d3d9Module = LoadLibraryA("d3d9.dll");
    if (!d.d3d9Module) {
        WriteLog("d3d9.dll の読み込みに失敗しました\n");
        return -1;
    }
    if (CreateDirectDrawObject() != 0) {
        FreeLibrary(d.d3d9Module);
        d.d3d9Module = nullptr;
        return -1;
    }

    if (!Screen.softwareOnly) {
        Screen.hardware = 0;
        bool tryDevice = true;
        if (!GetWindowedFlag() && ChangesDisplayFirst()) {
            Screen.displayChanged = 1;
            tryDevice = ChangeDisplayResolution() == 0;
        }
        if (tryDevice && CreateDirect3DObject() == 0 && CreateD3DDevice() == 0 && CreateZBuffer() == 0) {
            Screen.hardware = 1;
            SetupProgrammableShaders();
            if (ProgrammableShaders) {
                CreateVertexDeclarations();
                CreateBrightnessVolumeTexture();
            }
            return 0;
        }
        // Whatever part of the device was made goes; drawing falls back to
        // the software renderer.
        ReleaseObject(d.depthStencil);
        ReleaseObject(d.swapChain);
        ReleaseObject(d.backBuffer);
        ReleaseObject(d.device);
        d.deviceEx = nullptr;
        ReleaseObject(d.d3d);
        d.d3dEx = nullptr;
    }

    Screen.hardware = 0;
    if (!GetWindowedFlag()) {
        Screen.displayChanged = 1;
        if (ChangeDisplayResolution() != 0)
            return -1;
    }
    MeasureRefreshInterval();
    return 0;
}

int TerminateDirect3D()
{
    DeviceObjectSet& d = DeviceObjects;
    ReleaseModelDeviceObjects();
    ReleaseVertexDeclarations();
    ReleasePackShaders();
    if (!GetWindowedFlag() && Screen.displayChanged)
        ChangeDisplaySettingsA(nullptr, 0);
    Screen.displayChanged = 0;
    ReleaseDeviceAndSurfaces();
    ReleaseObject(d.d3d);
    d.d3dEx = nullptr;
    ReleaseObject(d.directDraw);
    if (d.d3d9Module) {
        FreeLibrary(d.d3d9Module);
        d.d3d9Module = nullptr;
    }
    FreeDisplayModes();
    return 0;
}

int InitGraphics()
{
    if (Screen.started)
        return 0;
    ClearHandleTableCounts(&GraphHandles);
    if (Screen.width == 0 || Screen.height == 0) {
        Screen.width = 640;
        Screen.height = 480;
    }
    if (Screen.depth == 0)
        Screen.depth = 16;
    if (Screen.width == 320 && Screen.height == 240 && !GetWindowedFlag()) {
        Screen.doubled = 1;
        Screen.width = 640;
        Screen.height = 480;
    }
    // The screen sizes every surface and the software screens: refuse one
    // whose pixels could not be addressed.
    if (Screen.width < 1 || Screen.height < 1 || (int64_t)Screen.width * Screen.height * 4 > INT32_MAX)
        return -1;
    if (InitDirect3DGraphics() == -1) {
        TerminateGraphics();
        return -1;
    }
    Screen.started = 1;
    if (Screen.hardware)
        SetDefaultRenderStates();
    else
        CreateSoftScreenImages();
    ResetGraphicsState();
    BuildSoftBlendTables();
    ResetFontSettings();
    return 0;
}

int TerminateGraphics()
{
    RestartFontSystem();
    if (!Screen.started) {
        // A start that failed half-way leaves DirectDraw or the module.
        TerminateDirect3D();
        return 0;
    }
    FreeAllGraphs();
    DeleteAllShaders();
    TerminateMaskScreen();
    DeleteAllMaskData();
    DeleteAllLightsButDefault();
    FreeLightHandle(Draw.defaultLight);
    Draw.defaultLight = -1;
    TerminateDirect3D();
    ReleaseSoftScreenImages();
    ReleaseShaderPack();
    Screen.started = 0;
    Screen.hardware = 0;
    return 0;
}

int AllowDirect3D(int allow)
{
    if (SystemState.kept.initialised)
        return -1;
    Screen.softwareOnly = !allow;
    return 0;
}

int QueryDirect3DAllowed() { return !Screen.softwareOnly; }
void* GetDirectDrawObject() { return DeviceObjects.directDraw; }

int HasDirect3DDevice() { return DeviceObjects.device ? 1 : 0; }

int PresentDeviceOnce()
{
    if (!DeviceObjects.device)
        return 0;
    EndSceneIfNeeded();
    return FAILED(DeviceObjects.device->Present(nullptr, nullptr, nullptr, nullptr)) ? -1 : 0;
}

void BeginSceneIfNeeded()
{
    DeviceObjectSet& d = DeviceObjects;
    if (!d.d3d || !d.device || d.inScene)
        return;
    d.device->BeginScene();
    d.inScene = 1;
    d.sceneCounters[0] = d.sceneCounters[1] = d.sceneCounters[2] = 0;
}

void EndSceneIfNeeded()
{
    DeviceObjectSet& d = DeviceObjects;
    if (!d.d3d || !d.device || !d.inScene)
        return;
    d.device->EndScene();
    d.inScene = 0;
}

int SetDialogMode(int on)
{
    if (!Screen.hardware || !DeviceObjects.device)
        return 0;
    DeviceObjects.device->SetDialogBoxMode(FALSE);
    if (on)
        DeviceObjects.device->SetDialogBoxMode(TRUE);
    return 0;
}

int SetDialogModeAfterScene(int on)
{
    EndSceneIfNeeded();
    if (DeviceObjects.device)
        DeviceObjects.device->SetDialogBoxMode(on ? TRUE : FALSE);
    return 0;
}

IDirect3DVertexBuffer9* CreateVertexBufferObject(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool)
{
    IDirect3DVertexBuffer9* buffer = nullptr;
    if (!DeviceObjects.device || FAILED(DeviceObjects.device->CreateVertexBuffer(length, usage, fvf, pool, &buffer, nullptr)))
        return nullptr;
    return buffer;
}

IDirect3DIndexBuffer9* CreateIndexBufferObject(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool)
{
    IDirect3DIndexBuffer9* buffer = nullptr;
    if (!DeviceObjects.device || FAILED(DeviceObjects.device->CreateIndexBuffer(length, usage, format, pool, &buffer, nullptr)))
        return nullptr;
    return buffer;
}
