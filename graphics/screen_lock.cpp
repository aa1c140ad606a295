// Reading the draw target back as an image, and copying it into a graph.
#include "graphics/draw_target.h"

#include <string.h>

#include "graphics/device.h"
#include "graphics/graph_record.h"
#include "graphics/soft_screen.h"
#include "graphics/vertex_batch.h"
#include "image/raster_image.h"
#include "runtime/log.h"

static int locked;
static IDirect3DSurface9* lockedSurface;   // the surface locked directly, or
static IDirect3DSurface9* lockedCopy;      // the system-memory copy locked instead

static bool IsScreenTarget(int target)
{
    return target == -2 || target == -3 || target == -4 || target == -5;
}

static bool InsideTarget(const RECT& r)
{
    int w, h;
    GetCurrentTargetSize(&w, &h);
    return r.left >= 0 && r.left < r.right && r.right <= w && r.top >= 0 && r.top < r.bottom && r.bottom <= h;
}

static void CloseBatch()
{
    if (DeviceObjects.device)
        FlushVertexBuffer();
    EndSceneIfNeeded();
}

// Locks the hardware target; 0 or -1 with nothing locked.
static int LockTargetSurface(const RECT& r, RasterImage* out)
{
    int target = GetDrawTarget();
    IDirect3DSurface9* surface;
    D3DFORMAT format;
    if (IsScreenTarget(target)) {
        surface = DeviceObjects.subBackBuffer ? DeviceObjects.subBackBuffer : DeviceObjects.backBuffer;
        format = DeviceFormatTable.backBuffer;
    } else {
        surface = GetGraphTargetSurface(target);
        int kind = GetGraphFormatKind(target);
        format = kind >= 0 && kind < FORMAT_KIND_COUNT ? DeviceFormatTable.formats[kind] : D3DFMT_UNKNOWN;
    }
    const ColorFormat* colorFormat = GetD3DFormatColorFormat((int)format);
    IDirect3DDevice9* device = DeviceObjects.device;
    if (!surface || !colorFormat || !device)
        return -1;

    D3DLOCKED_RECT lockedRect;
    if (SUCCEEDED(surface->LockRect(&lockedRect, &r, D3DLOCK_READONLY))) {
        lockedSurface = surface;
    } else {
        // A surface that cannot be locked is read through a system-memory copy.
        UINT w = (UINT)(r.right - r.left), h = (UINT)(r.bottom - r.top);
        IDirect3DSurface9* target = nullptr;
        IDirect3DSurface9* copy = nullptr;
        if (FAILED(device->CreateRenderTarget(w, h, format, D3DMULTISAMPLE_NONE, 0, FALSE, &target, nullptr))) {
            WriteLog("バックバッファロック用描画可能サーフェスの作成に失敗しました\n");
            return -1;
        }
        if (FAILED(device->CreateOffscreenPlainSurface(w, h, format, D3DPOOL_SYSTEMMEM, &copy, nullptr))) {
            WriteLog("バックバッファロック用システムメモリサーフェスの作成に失敗しました\n");
            target->Release();
            return -1;
        }
        device->StretchRect(surface, &r, target, nullptr, D3DTEXF_NONE);
        device->GetRenderTargetData(target, copy);
        target->Release();
        if (FAILED(copy->LockRect(&lockedRect, nullptr, D3DLOCK_READONLY))) {
            copy->Release();
            return -1;
        }
        lockedCopy = copy;
    }
    out->format = *colorFormat;
    out->pitch = lockedRect.Pitch;
    out->pixels = lockedRect.pBits;
    return 0;
}

int LockScreenImage(const RECT* rect, RasterImage* out)
{
    if (!out || locked)
        return -1;
    CloseBatch();
    RECT r;
    if (rect) {
        r = *rect;
    } else {
        int w, h;
        GetCurrentTargetSize(&w, &h);
        SetRect(&r, 0, 0, w, h);
    }
    if (!InsideTarget(r))
        return -1;
    memset(out, 0, sizeof *out);
    if (Screen.hardware) {
        if (LockTargetSurface(r, out) != 0)
            return -1;
    } else {
        MEMIMG* image = SoftDrawTarget;
        if (!IsMemImageValid(image))
            return -1;
        const ColorFormat* format = image->body->format;
        out->format = *format;
        out->pitch = image->body->pitch;
        out->pixels = (BYTE*)image->pixels + (ptrdiff_t)r.top * image->body->pitch + (ptrdiff_t)r.left * format->bytesPerPixel;
    }
    out->width = r.right - r.left;
    out->height = r.bottom - r.top;
    out->mipCount = 0;
    locked = 1;
    return 0;
}

int UnlockScreenImage()
{
    if (!locked)
        return 0;
    if (lockedCopy) {
        lockedCopy->UnlockRect();
        lockedCopy->Release();
        lockedCopy = nullptr;
    } else if (lockedSurface) {
        lockedSurface->UnlockRect();
    }
    lockedSurface = nullptr;
    locked = 0;
    return 0;
}

int CaptureScreenToGraph(int x1, int y1, int x2, int y2, int graph)
{
    int gw, gh;
    if (QueryGraphSize(graph, &gw, &gh) != 0)
        return -1;
    CloseBatch();
    RECT r = {x1, y1, x2, y2};
    if (!InsideTarget(r) || x2 - x1 != gw || y2 - y1 != gh)
        return -1;
    MEMIMG* graphImage = GetGraphMemImage(graph);
    if (graphImage) {
        int target = GetDrawTarget();
        MEMIMG* source = IsScreenTarget(target) ? &SoftPrimaryScreen : GetGraphMemImage(target);
        if (!IsMemImageValid(source))
            return -1;
        return CopyMemImageRect(graphImage, source, &r, 0, 0) < 0 ? -1 : 0;
    }
    IDirect3DSurface9* graphSurface = GetGraphTargetSurface(graph);
    if (graphSurface) {
        int target = GetDrawTarget();
        IDirect3DSurface9* source = IsScreenTarget(target)
                                        ? (DeviceObjects.subBackBuffer ? DeviceObjects.subBackBuffer : DeviceObjects.backBuffer)
                                        : GetGraphTargetSurface(target);
        RECT whole = {0, 0, gw, gh};
        if (!source || !DeviceObjects.device ||
            FAILED(DeviceObjects.device->StretchRect(source, &r, graphSurface, &whole, D3DTEXF_NONE)))
            return -1;
        return 0;
    }
    RasterImage image;
    if (LockScreenImage(&r, &image) != 0)
        return -1;
    int result = CopyImageToGraphTiles(graph, &image);
    UnlockScreenImage();
    return result < 0 ? -1 : 0;
}
