#include "graphics/mask_screen.h"

#include <string.h>

#include "graphics/blend_modes.h"
#include "graphics/device.h"
#include "graphics/draw_state.h"
#include "graphics/graph_record.h"
#include "graphics/handle_table.h"
#include "graphics/soft_screen.h"
#include "graphics/state_cache.h"
#include "graphics/vertex_batch.h"
#include "image/mem_image.h"
#include "runtime/library.h"
#include "runtime/memory.h"

// The request itself lives in the draw state (Draw.maskRequest), which the
// graphics-state reset sets.
struct MaskStateSet {
    int maskOn;
    int active;
    int reverse;
    uint8_t* buffer;
    int pitch;
    int bufferWidth, bufferHeight;
    int textureWidth, textureHeight;
    IDirect3DTexture9* imageTexture;
    IDirect3DTexture9* screenTexture;
    IDirect3DSurface9* screenSurface;
    MEMIMG softImage;
    int softImageCreated;
    IDirect3DSurface9* savedTarget;      // not referenced: owned by the target
    IDirect3DSurface9* savedMaskSurface;
};

static MaskStateSet Mask;

// Mask data records are held in place; a slot is taken while inUse is 1.
struct MaskDataRecord {
    uint32_t check;
    void* data;
    int width, height;
    int inUse;
};

static MaskDataRecord MaskData[MASK_HANDLE_MAX];
static uint32_t maskCheckCounter;

static int PowerOfTwoAtLeast(int n)
{
    int p = 1;
    while (p < n && p < (1 << 30))
        p <<= 1;
    return p;
}

static int FormatBytes(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_A2R10G10B10:
    case D3DFMT_A8B8G8R8:
    case D3DFMT_X8B8G8R8:
        return 4;
    default:
        return 2;
    }
}

// The alpha bits of a format, as set where the mask byte is not 0.
static uint32_t FormatAlphaBits(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_A8B8G8R8:
        return 0xFF000000u;
    case D3DFMT_A2R10G10B10:
        return 0xC0000000u;
    case D3DFMT_A1R5G5B5:
        return 0x8000u;
    case D3DFMT_A4R4G4B4:
        return 0xF000u;
    default:
        return 0;
    }
}

// The mask rectangle of a request: rect (null = all) clipped to the buffer.
static bool ClipToBuffer(const RECT* rect, RECT* out)
{
    RECT all = {0, 0, Mask.bufferWidth, Mask.bufferHeight};
    if (!rect) {
        *out = all;
        return !IsRectEmpty(out);
    }
    return IntersectRect(out, rect, &all) != 0;
}

int UpdateMaskImage(const RECT* rect)
{
    if (!Mask.imageTexture || !Mask.buffer)
        return -1;
    RECT r;
    if (!ClipToBuffer(rect, &r))
        return 0;
    FlushVertexBuffer();
    const D3DFORMAT format = DeviceFormatTable.formats[FORMAT_ALPHA_TEST_SCREEN];
    const int bytes = FormatBytes(format);
    const uint32_t alpha = FormatAlphaBits(format);
    D3DLOCKED_RECT locked;
    if (FAILED(Mask.imageTexture->LockRect(0, &locked, &r, 0)))
        return -1;
    for (int y = r.top; y < r.bottom; y++) {
        const uint8_t* src = Mask.buffer + (ptrdiff_t)y * Mask.pitch + r.left;
        uint8_t* dst = (uint8_t*)locked.pBits + (ptrdiff_t)(y - r.top) * locked.Pitch;
        for (int x = 0; x < r.right - r.left; x++) {
            const uint32_t v = src[x] ? alpha : 0;
            memcpy(dst + x * bytes, &v, bytes);
        }
    }
    Mask.imageTexture->UnlockRect(0);
    return 0;
}

static void CreateMaskTextures()
{
    IDirect3DDevice9* device = DeviceObjects.device;
    const D3DFORMAT colour = DeviceFormatTable.formats[FORMAT_TARGET_SCREEN];
    const D3DFORMAT alpha = DeviceFormatTable.formats[FORMAT_ALPHA_TEST_SCREEN];
    if (colour == D3DFMT_UNKNOWN)
        FatalErrorExit("マスク描画用カラーバッファで使用できるテクスチャフォーマットがありませんでした");
    if (alpha == D3DFMT_UNKNOWN)
        FatalErrorExit("マスク描画用アルファチャンネルバッファで使用できるテクスチャフォーマットがありませんでした");
    Mask.textureWidth = PowerOfTwoAtLeast(Screen.width);
    Mask.textureHeight = PowerOfTwoAtLeast(Screen.height);

    if (!Mask.imageTexture) {
        if (!device || FAILED(device->CreateTexture(Mask.textureWidth, Mask.textureHeight, 1, D3DUSAGE_DYNAMIC, alpha,
                                                    D3DPOOL_DEFAULT, &Mask.imageTexture, nullptr)))
            FatalErrorExit("マスク用イメージテクスチャの作成に失敗しました");
        D3DLOCKED_RECT locked;
        if (SUCCEEDED(Mask.imageTexture->LockRect(0, &locked, nullptr, 0))) {
            for (int y = 0; y < Screen.height; y++)
                memset((uint8_t*)locked.pBits + (ptrdiff_t)y * locked.Pitch, 0, (size_t)Screen.width * FormatBytes(alpha));
            Mask.imageTexture->UnlockRect(0);
        }
    }
    if (!Mask.screenTexture) {
        if (!device || FAILED(device->CreateTexture(Mask.textureWidth, Mask.textureHeight, 1, D3DUSAGE_RENDERTARGET,
                                                    colour, D3DPOOL_DEFAULT, &Mask.screenTexture, nullptr)))
            FatalErrorExit("マスク用スクリーンテクスチャの作成に失敗しました");
        Mask.screenTexture->GetSurfaceLevel(0, &Mask.screenSurface);
    }
}

int CreateMaskBuffers(int on)
{
    if (!on)
        return 0;
    if (!Mask.buffer) {
        const int pitch = (Screen.width + 3) & ~3;
        Mask.buffer = (uint8_t*)AllocTrackedZero((size_t)pitch * Screen.height, __FILE__, __LINE__);
        if (!Mask.buffer)
            return -1;
        Mask.pitch = pitch;
        Mask.bufferWidth = Screen.width;
        Mask.bufferHeight = Screen.height;
    }
    Mask.maskOn = 1;
    if (Screen.hardware) {
        CreateMaskTextures();
    } else if (!Mask.softImageCreated) {
        if (CreateMemImageDefault(&Mask.softImage, Screen.width, Screen.height, -1) != 0)
            FatalErrorExit("マスク用 MEMIMG の作成に失敗しました");
        Mask.softImageCreated = 1;
    }
    return 0;
}

int ReleaseMaskScreen()
{
    if (Mask.buffer) {
        FreeTracked(Mask.buffer);
        Mask.buffer = nullptr;
    }
    if (Mask.softImageCreated) {
        ReleaseMemImage(&Mask.softImage);
        memset(&Mask.softImage, 0, sizeof Mask.softImage);
        Mask.softImageCreated = 0;
    }
    ReleaseObject(Mask.imageTexture);
    ReleaseObject(Mask.screenSurface);
    ReleaseObject(Mask.screenTexture);
    Mask.savedTarget = Mask.savedMaskSurface = nullptr;
    return 0;
}

int RestoreMaskScreen()
{
    CreateMaskBuffers(Mask.maskOn);
    if (Draw.maskRequest)
        SetMaskDrawing(1);
    return 0;
}

int TerminateMaskScreen()
{
    if (Draw.maskRequest)
        SetMaskDrawing(0);
    ReleaseMaskScreen();
    Mask.maskOn = Mask.active = 0;
    return 0;
}

// The real target's surface and image, whatever mask drawing redirects.
static IDirect3DSurface9* TargetSurface()
{
    IDirect3DSurface9* surface = GetGraphTargetSurface(Draw.target);
    if (surface)
        return surface;
    return DeviceObjects.subBackBuffer ? DeviceObjects.subBackBuffer : DeviceObjects.backBuffer;
}

static MEMIMG* TargetImage()
{
    MEMIMG* image = GetGraphMemImage(Draw.target);
    return image ? image : &SoftPrimaryScreen;
}

// A new render target comes with the device's full viewport and scissor:
// the draw area is sent again.
static void ReapplyDrawArea()
{
    if (Draw.emptyArea)
        return;
    const int force = DeviceStateCache.force;
    DeviceStateCache.force = 1;
    SetViewportFromRect(Draw.area.left, Draw.area.top, Draw.area.right, Draw.area.bottom);
    SetScissorRectCached(&Draw.area);
    DeviceStateCache.force = force;
}

int SetMaskDrawing(int flag)
{
    if (!Mask.buffer)
        return -1;
    Draw.maskRequest = flag;
    Mask.active = flag && Mask.maskOn ? 1 : 0;
    if (Screen.hardware) {
        if (DeviceObjects.device) {
            FlushVertexBuffer();
            SetRenderTargetCached(Mask.active && Mask.screenSurface ? Mask.screenSurface : TargetSurface());
            ReapplyDrawArea();
        }
    } else {
        SoftDrawTarget = Mask.active && Mask.softImageCreated ? &Mask.softImage : TargetImage();
    }
    return 0;
}

int GetMaskDrawing() { return Draw.maskRequest; }

int SetMaskReverse(int reverse)
{
    Mask.reverse = reverse ? 1 : 0;
    return 0;
}

MEMIMG* GetMaskScreenImage() { return Mask.softImageCreated ? &Mask.softImage : nullptr; }
IDirect3DSurface9* GetMaskScreenSurface() { return Mask.screenSurface; }

uint8_t* GetMaskBuffer(int* pitch)
{
    if (pitch)
        *pitch = Mask.buffer ? Mask.pitch : 0;
    return Mask.buffer;
}

int IsMaskDrawingActive() { return Mask.active; }

// A draw's rectangle inside the draw area and the mask screen: the mask
// screen and buffer are screen-sized, a graph target may be larger.
static bool ClipDrawRect(const RECT* rect, RECT* out)
{
    if (!rect)
        return false;
    RECT area;
    if (!IntersectRect(&area, rect, &Draw.area))
        return false;
    return ClipToBuffer(&area, out);
}

int ApplyMaskToRect(const RECT* rect)
{
    RECT r;
    if (!Mask.active || !ClipDrawRect(rect, &r))
        return 0;
    if (!Screen.hardware) {
        if (Mask.softImageCreated)
            CopyMemImageRect(&Mask.softImage, TargetImage(), &r, r.left, r.top);
        return 0;
    }
    if (!Mask.screenSurface || !DeviceObjects.device)
        return 0;
    FlushVertexBuffer();
    Mask.savedMaskSurface = Mask.screenSurface;
    Mask.savedTarget = TargetSurface();
    DeviceObjects.device->StretchRect(Mask.savedTarget, &r, Mask.screenSurface, &r, D3DTEXF_NONE);
    return 0;
}

// Copies the mask image's pixels of r into the target where the mask lets them.
static void ComposeSoftware(const RECT& r)
{
    MEMIMG* target = TargetImage();
    if (!Mask.softImageCreated || !IsMemImageValid(target) || !target->body->format)
        return;
    const int bytes = target->body->format->bytesPerPixel;
    // Raw copies need both images in one pixel layout.
    if ((bytes != 2 && bytes != 4) || Mask.softImage.body->format != target->body->format)
        return;
    RECT t;
    RECT bounds = {0, 0, target->width, target->height};
    if (!IntersectRect(&t, &r, &bounds))
        return;
    const int reverse = Mask.reverse;
    for (int y = t.top; y < t.bottom; y++) {
        const uint8_t* mask = Mask.buffer + (ptrdiff_t)y * Mask.pitch;
        const uint8_t* src = (const uint8_t*)Mask.softImage.pixels + (ptrdiff_t)y * Mask.softImage.body->pitch;
        uint8_t* dst = (uint8_t*)target->pixels + (ptrdiff_t)y * target->body->pitch;
        for (int x = t.left; x < t.right; x++)
            if ((mask[x] == 0) != (reverse != 0))
                memcpy(dst + x * bytes, src + x * bytes, bytes);
    }
    target->body->premulValid = 0;
    target->body->runTableValid = 0;
}

struct MaskVertex {
    float x, y, z, rhw;
    DWORD colour;
    float u, v;
};
static_assert(sizeof(MaskVertex) == 28, "one masked quad vertex is 28 bytes");

static void ComposeDirect3D(const RECT& r)
{
    IDirect3DDevice9* device = DeviceObjects.device;
    if (!device || !Mask.savedTarget)
        return;
    FlushVertexBuffer();
    SetRenderTargetCached(Mask.savedTarget);
    BeginSceneIfNeeded();
    ReapplyDrawArea();

    // Stage 0 gives the drawn colour, stage 1 the mask as alpha; the alpha
    // test passes where the mask is 0 (EQUAL), or not 0 in reverse (NOTEQUAL).
    UserStageProgram program = {};
    program.alphaTestEnable = 1;
    program.alphaRef = 0;
    program.alphaFunc = Mask.reverse ? D3DCMP_NOTEQUAL : D3DCMP_EQUAL;
    program.alphaBlendEnable = 0;
    program.textureFactor = 0xFFFFFFFF;
    program.srcBlend = D3DBLEND_ONE;
    program.destBlend = D3DBLEND_ZERO;
    program.blendOp = D3DBLENDOP_ADD;
    program.stageCount = 2;
    StageEntry& s0 = program.stages[0];
    s0.slot = (uintptr_t)static_cast<IDirect3DBaseTexture9*>(Mask.screenTexture);
    s0.texCoordIndex = 0;
    s0.resultToTemp = 0;
    s0.colorArg1 = D3DTA_TEXTURE, s0.colorArg2 = D3DTA_DIFFUSE, s0.colorOp = D3DTOP_SELECTARG1;
    s0.alphaArg1 = D3DTA_TEXTURE, s0.alphaArg2 = D3DTA_DIFFUSE, s0.alphaOp = D3DTOP_SELECTARG1;
    StageEntry& s1 = program.stages[1];
    s1.slot = (uintptr_t)static_cast<IDirect3DBaseTexture9*>(Mask.imageTexture);
    s1.texCoordIndex = 0;
    s1.resultToTemp = 0;
    s1.colorArg1 = D3DTA_CURRENT, s1.colorArg2 = D3DTA_TEXTURE, s1.colorOp = D3DTOP_SELECTARG1;
    s1.alphaArg1 = D3DTA_TEXTURE, s1.alphaArg2 = D3DTA_CURRENT, s1.alphaOp = D3DTOP_SELECTARG1;
    ApplyStageProgram(&program, 0, 0);

    const float w = (float)Mask.textureWidth, h = (float)Mask.textureHeight;
    const float l = (float)r.left, t = (float)r.top, rr = (float)r.right, b = (float)r.bottom;
    MaskVertex quad[4] = {
        {l - 0.5f, t - 0.5f, 0.0f, 1.0f, 0xFFFFFFFF, l / w, t / h},
        {rr - 0.5f, t - 0.5f, 0.0f, 1.0f, 0xFFFFFFFF, rr / w, t / h},
        {l - 0.5f, b - 0.5f, 0.0f, 1.0f, 0xFFFFFFFF, l / w, b / h},
        {rr - 0.5f, b - 0.5f, 0.0f, 1.0f, 0xFFFFFFFF, rr / w, b / h},
    };
    SetFVFCached(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(MaskVertex));
    EndSceneIfNeeded();

    // The next draw sets its own texture state again.
    DeviceStateCache.blendDirty = DeviceStateCache.textureDirty = 1;
    SetRenderTargetCached(Mask.screenSurface);
    ReapplyDrawArea();
}

int ApplyMaskSoftware(const RECT* rect)
{
    RECT r;
    if (!Mask.active || !Mask.buffer || !ClipDrawRect(rect, &r))
        return 0;
    if (!Screen.hardware)
        ComposeSoftware(r);
    else if (Mask.screenSurface)
        ComposeDirect3D(r);
    return 0;
}

int AddMaskData(void* block, int width, int height)
{
    for (int slot = 0; slot < MASK_HANDLE_MAX; slot++) {
        MaskDataRecord& m = MaskData[slot];
        if (m.inUse)
            continue;
        m.check = maskCheckCounter;
        maskCheckCounter = maskCheckCounter >= HANDLE_CHECK_MAX ? 0 : maskCheckCounter + 1;
        m.data = block;
        m.width = width;
        m.height = height;
        m.inUse = 1;
        return MakeHandle(HANDLE_TYPE_MASK_DATA, m.check, slot);
    }
    return -1;
}

int DeleteMaskData(int handle)
{
    if (handle < 0 || (handle & HANDLE_TYPE_MASK) != HANDLE_TYPE_MASK_DATA)
        return -1;
    const int slot = handle & HANDLE_SLOT_MASK;
    if (slot >= MASK_HANDLE_MAX)
        return -1;
    MaskDataRecord& m = MaskData[slot];
    if (!m.inUse || ((uint32_t)(handle & HANDLE_CHECK_MASK) >> 16) != m.check)
        return -1;
    if (m.data)
        FreeTracked(m.data);
    memset(&m, 0, sizeof m);
    return 0;
}

int DeleteAllMaskData()
{
    for (int slot = 0; slot < MASK_HANDLE_MAX; slot++)
        if (MaskData[slot].inUse)
            DeleteMaskData(MakeHandle(HANDLE_TYPE_MASK_DATA, MaskData[slot].check, slot));
    return 0;
}
