// Selecting and clearing the draw target, and the screen queries.
#include "graphics/draw_target.h"

#include <string.h>

#include "graphics/device.h"
#include "graphics/draw_state.h"
#include "graphics/graph_record.h"
#include "graphics/mask_screen.h"
#include "graphics/matrix_math.h"
#include "graphics/soft_screen.h"
#include "graphics/state_cache.h"
#include "graphics/transform3d.h"
#include "graphics/vertex_batch.h"
#include "runtime/message_pump.h"
#include "runtime/system_state.h"

// Size of the current target as recorded by the last selection.
static int targetWidth, targetHeight;

static bool IsScreenTarget(int target)
{
    return target == -2 || target == -3 || target == -4 || target == -5;
}

int GetGraphSizeOf(int handle, int* width, int* height)
{
    int w, h;
    if (handle == DRAW_TARGET_BACK || handle == DRAW_TARGET_FRONT)
        QueryScreenSize(&w, &h);
    else if (QueryGraphSize(handle, &w, &h) != 0)
        return -1;
    if (width)
        *width = w;
    if (height)
        *height = h;
    return 0;
}

// The screen surface of the Direct3D path.
static IDirect3DSurface9* ScreenSurface()
{
    return DeviceObjects.subBackBuffer ? DeviceObjects.subBackBuffer : DeviceObjects.backBuffer;
}

// Puts the 3D view in front of a target of w x h: a 2D position on the
// target lies at depth 0 straight ahead of the camera.
static void ResetViewForTarget(int w, int h)
{
    Matrix identity;
    MakeIdentityMatrix(&identity);
    SetWorldMatrix(&identity);
    float cx = w * 0.5f, cy = h * 0.5f;
    CenterCameraOnScreen(cx, cy);
    float d = (float)(h / 2) / 0.5773502588272095f;
    Vector3 eye = {cx, cy, -d}, at = {cx, cy, -d + 1.0f}, up = {0.0f, 1.0f, 0.0f};
    Matrix view;
    MakeLookAtMatrix(&view, &eye, &at, &up);
    SetViewMatrix(&view);
    SetCameraFieldOfView(1.0471976f);
    SetCameraClipPlanes(d * 0.1f, d + 20000.0f);
}

int SelectDrawTarget(int target)
{
    if (!Screen.started)
        return -1;
    WaitWhileInactive();
    // A graph target must be a live graph made for drawing into.
    bool screen = IsScreenTarget(target);
    if (!screen && !IsDrawableGraph(target))
        return -1;

    int mask = GetMaskDrawing();
    SetMaskDrawing(0);

    if (!Screen.hardware) {
        MEMIMG* maskImage = mask ? GetMaskScreenImage() : nullptr;
        SoftDrawTarget = maskImage ? maskImage : screen ? &SoftPrimaryScreen : GetGraphMemImage(target);
    } else if (DeviceObjects.device) {
        FlushVertexBuffer();
        EndSceneIfNeeded();
        if (DeviceStateCache.stages[0].texture || DeviceStateCache.force) {
            FlushVertexBuffer();
            DeviceStateCache.textureDirty = 1;
            DeviceStateCache.stages[0].texture = nullptr;
        }
        IDirect3DSurface9* maskSurface = mask ? GetMaskScreenSurface() : nullptr;
        SetRenderTargetCached(maskSurface ? maskSurface : screen ? ScreenSurface() : GetGraphTargetSurface(target));
    }

    Draw.target = target;
    if (target == DRAW_TARGET_FRONT)
        SetTimer(SystemState.live.window, PAINT_TIMER_ID, PAINT_TIMER_PERIOD, ScreenPaintTimerProc);

    // The screen codes without a size of their own address the back screen.
    int w = 0, h = 0;
    GetGraphSizeOf(screen ? DRAW_TARGET_BACK : target, &w, &h);
    RECT area;
    if (w == targetWidth && h == targetHeight)
        area = Draw.area;
    else
        SetRect(&area, 0, 0, w, h);
    targetWidth = w;
    targetHeight = h;
    SetClipArea(area.left, area.top, area.right, area.bottom);
    ResetViewForTarget(w, h);

    SetMaskDrawing(mask);
    return 0;
}

int GetDrawTarget() { return GetDrawTargetHandle(); }

int LockBackScreenImage(RasterImage* out)
{
    // The back screen is made the current target only for the lock, without
    // a selection's render-target, draw-area and view changes.
    const int target = Draw.target, width = targetWidth, height = targetHeight;
    MEMIMG* const softTarget = SoftDrawTarget;
    Draw.target = DRAW_TARGET_BACK;
    GetGraphSizeOf(DRAW_TARGET_BACK, &targetWidth, &targetHeight);
    SoftDrawTarget = &SoftPrimaryScreen;
    const int result = LockScreenImage(nullptr, out);
    Draw.target = target;
    targetWidth = width;
    targetHeight = height;
    SoftDrawTarget = softTarget;
    return result;
}

void GetCurrentTargetSize(int* width, int* height)
{
    *width = targetWidth;
    *height = targetHeight;
}

int ClearDrawTarget(const RECT* rect)
{
    if (rect && (rect->left < 0 || rect->top < 0))
        rect = nullptr;
    unsigned int c = Screen.backColor & 0xFFFFFF;
    if (!Screen.hardware) {
        int target = GetDrawTargetHandle();
        MEMIMG* image = IsScreenTarget(target) ? &SoftPrimaryScreen : GetGraphMemImage(target);
        if (IsMemImageValid(image))
            FillMemImageRect(image, rect,
                             ColorToPixelValue(image->body->format, (c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF, 255));
        return 0;
    }
    IDirect3DDevice9* device = DeviceObjects.device;
    if (!device)
        return 0;
    FlushVertexBuffer();
    EndSceneIfNeeded();
    D3DVIEWPORT9 whole = {0, 0, (DWORD)targetWidth, (DWORD)targetHeight, 0.0f, 1.0f};
    SetViewportRect(&whole);
    D3DRECT r;
    if (rect) {
        r.x1 = rect->left;
        r.y1 = rect->top;
        r.x2 = rect->right;
        r.y2 = rect->bottom;
    }
    device->Clear(rect ? 1 : 0, rect ? &r : nullptr, D3DCLEAR_TARGET, c, 1.0f, 0);
    if (DeviceObjects.depthStencil)
        device->Clear(rect ? 1 : 0, rect ? &r : nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    RECT area = Draw.area;
    D3DVIEWPORT9 drawArea = {(DWORD)area.left, (DWORD)area.top, (DWORD)(area.right - area.left),
                             (DWORD)(area.bottom - area.top), 0.0f, 1.0f};
    SetViewportRect(&drawArea);
    return 0;
}

int QueryScreenSize(int* width, int* height)
{
    int w = Screen.width, h = Screen.height;
    if (w == 0 || h == 0) {
        w = 640;
        h = 480;
    }
    if (width)
        *width = w;
    if (height)
        *height = h;
    return 0;
}

int QueryColorDepth()
{
    return Screen.depth ? Screen.depth : 16;
}

int QueryScreenState(int* width, int* height, int* depth)
{
    if (Draw.reducedScreen || Screen.doubled) {
        if (width)
            *width = 320;
        if (height)
            *height = 240;
    } else {
        QueryScreenSize(width, height);
    }
    if (depth)
        *depth = QueryColorDepth();
    return 0;
}

int IsFullScreenMode() { return SystemState.settings.windowMode ? 0 : 1; }

void* ClearDisplayCaps(void* caps)
{
    if (caps)
        memset(caps, 0, 380);
    return caps;
}

int ReturnZeroStub() { return 0; }

int SetVSyncWait(int flag) { return EnableVSyncWait(flag); }
int GetVSyncWait() { return IsVSyncWaitEnabled(); }
