#include "graphics/draw_state.h"

#include "graphics/device.h"
#include "graphics/draw_target.h"
#include "graphics/blend_modes.h"
#include "graphics/graph_handles.h"
#include "graphics/state_cache.h"
#include "graphics/transform3d.h"
#include "image/color_format.h"
#include "runtime/message_pump.h"
#include "runtime/window_state.h"

DrawState Draw;
DrawDerivedValues DrawDerived;

static int Clamp255(int v)
{
    return v < 0 ? 0 : v > 255 ? 255 : v;
}

void RefreshVertexColor()
{
    uint32_t alpha = Draw.blendMode == 0 ? 255u : (uint32_t)Draw.blendParam;
    DrawDerived.vertexColor = (alpha << 24) | (Draw.brightness & 0x00FFFFFF);
}

uint32_t GetVertexDiffuseColor()
{
    RefreshVertexColor();
    return DrawDerived.vertexColor;
}

static void RefreshVertexColorIfHardware()
{
    if (Screen.hardware)
        RefreshVertexColor();
}

int SelectBlendMode(int mode, int param)
{
    if (mode == Draw.blendMode && param == Draw.blendParam)
        return 0;
    if (!IsMainWindowActive())
        WaitWhileInactive();
    Draw.blendMode = mode;
    Draw.blendParam = Clamp255(param);
    RefreshVertexColorIfHardware();
    return 0;
}

int SetBrightness(int r, int g, int b)
{
    uint32_t old = Draw.brightness;
    if ((int)((old >> 16) & 0xFF) == r && (int)((old >> 8) & 0xFF) == g && (int)(old & 0xFF) == b)
        return 0;
    Draw.brightness = ((uint32_t)Clamp255(r) << 16) | ((uint32_t)Clamp255(g) << 8) | (uint32_t)Clamp255(b);
    RefreshVertexColorIfHardware();
    return 0;
}

void SetDrawBrightPacked(uint32_t rgb)
{
    rgb &= 0x00FFFFFF;
    if (rgb == Draw.brightness)
        return;
    Draw.brightness = rgb;
    RefreshVertexColorIfHardware();
}

int SetFilterMode(int mode)
{
    if (mode == Draw.filterMode)
        return 0;
    Draw.filterMode = mode;
    if (Screen.hardware)
        SetTextureFilter(mode);
    return 0;
}

int SetTransitionGraph(int graph, int border, int size)
{
    if (graph == Draw.blendGraph && border == Draw.blendBorderParam && size == Draw.blendBorderSize)
        return 0;
    GraphRecord* record = nullptr;
    if (graph != -1) {
        record = GetGraphRecord(graph);
        if (!record)
            return -1;
    }
    Draw.blendGraph = graph;
    if (!IsMainWindowActive())
        WaitWhileInactive();
    Draw.blendBorderParam = Clamp255(border);
    Draw.blendBorderSize = Clamp255(size);
    if (!Screen.hardware)
        return 0;
    if (!DeviceObjects.device)
        return -1;
    if (!record) {
        CacheBlendTexture(nullptr, Draw.blendBorderParam, Draw.blendBorderSize);
        return 0;
    }
    if (!record->image || !record->image->desc.texture || record->image->tileCount < 1)
        return -1;
    const TextureTile* tile = &record->image->tiles[0];
    CacheBlendTexture(tile->texture, Draw.blendBorderParam, Draw.blendBorderSize);
    DrawDerived.blendTexWidth = (float)tile->textureWidth;
    DrawDerived.blendTexHeight = (float)tile->textureHeight;
    DrawDerived.blendTexInvWidth = 1.0f / DrawDerived.blendTexWidth;
    DrawDerived.blendTexInvHeight = 1.0f / DrawDerived.blendTexHeight;
    return 0;
}

// The size of a draw target: the screen for -2 and -4, else a valid graph.
static int TargetSize(int target, int* width, int* height)
{
    if (target == DRAW_TARGET_BACK || target == DRAW_TARGET_FRONT)
        return QueryScreenSize(width, height);
    const GraphRecord* record = GetGraphRecord(target);
    if (!record)
        return -1;
    *width = record->width;
    *height = record->height;
    return 0;
}

int GetDrawTargetSize(int* width, int* height)
{
    return TargetSize(Draw.target, width, height);
}

int SetClipArea(int x1, int y1, int x2, int y2)
{
    SetRect(&Draw.requestedArea, x1, y1, x2, y2);
    int width, height;
    if (TargetSize(Draw.target, &width, &height) < 0)
        return -1;
    if (x1 > x2) {
        int t = x1;
        x1 = x2;
        x2 = t;
    }
    if (y1 > y2) {
        int t = y1;
        y1 = y2;
        y2 = t;
    }
    x1 = x1 < 0 ? 0 : x1 > width ? width : x1;
    x2 = x2 < 0 ? 0 : x2 > width ? width : x2;
    y1 = y1 < 0 ? 0 : y1 > height ? height : y1;
    y2 = y2 < 0 ? 0 : y2 > height ? height : y2;
    SetRect(&Draw.area, x1, y1, x2, y2);
    Draw.areaLeftF = (float)x1;
    Draw.areaTopF = (float)y1;
    Draw.areaRightF = (float)x2;
    Draw.areaBottomF = (float)y2;
    if (x1 == x2 || y1 == y2) {
        Draw.emptyArea = 1;
        return 0;
    }
    Draw.emptyArea = 0;
    if (!Screen.hardware)
        return 0;
    if (!DeviceObjects.device)
        return -1;
    SetViewportFromRect(x1, y1, x2, y2);
    SetScissorRectCached(&Draw.area);

    float w = (float)(x2 - x1), h = (float)(y2 - y1);
    MakeViewportMatrix(&Draw.areaViewport, (float)x1 + w * 0.5f, (float)y1 + h * 0.5f, w, h);
    InvertMatrix(&Draw.areaViewportInverse, &Draw.areaViewport);
    Matrix product;
    MultiplyMatrix(&product, &Draw.projection, &Draw.viewport);
    MultiplyMatrix(&product, &product, &Draw.areaViewportInverse);
    SetDeviceProjectionTransform(&product);
    Draw.projectionSet = 1;
    return 0;
}

int GetRequestedClipArea(RECT* area)
{
    *area = Draw.requestedArea;
    return 0;
}

int SetTransColorRgb(int r, int g, int b)
{
    if (QueryColorDepth() == 8)
        return 0;
    Draw.create.transColor = ((uint32_t)(r & 0xFF) << 16) | ((uint32_t)(g & 0xFF) << 8) | (uint32_t)(b & 0xFF);
    return 0;
}

int EnableVSyncWait(int flag)
{
    Draw.noVSync = !flag;
    return 0;
}

int SetGraphColorDepth(int bits) { Draw.create.colorDepth = bits; return 0; }
int GetGraphColorDepth() { return Draw.create.colorDepth; }
int SetDrawableGraphMode(int flag) { Draw.create.drawable = flag; return 0; }
int GetDrawableGraphMode() { return Draw.create.drawable; }
int SetAlphaTestMode(int flag) { Draw.create.alphaTest = flag; return 0; }
int GetAlphaTestMode() { return Draw.create.alphaTest; }
int SetTransColorKeying(int flag) { Draw.create.useTransColor = flag; return 0; }
int SetEmptyGraphAlpha(int flag) { Draw.create.emptyAlpha = flag; return 0; }
int GetEmptyGraphAlpha() { return Draw.create.emptyAlpha; }
int SetKeepSystemCopy(int flag) { Draw.create.keepSystemCopy = flag; return 0; }
int GetKeepSystemCopy() { return Draw.create.keepSystemCopy; }
int GetDrawTargetHandle() { return Draw.target; }
int IsVSyncWaitEnabled() { return !Draw.noVSync; }
int SetReducedScreen(int flag) { Draw.reducedScreen = flag; return 0; }
int GetFilterMode() { return Draw.filterMode; }

int CheckBlendGraphSize(const GraphRecord* graph)
{
    const GraphRecord* blend = GetGraphRecord(Draw.blendGraph);
    if (!blend || !graph)
        return -1;
    if (blend->width < graph->width || blend->height < graph->height)
        return -1;
    return 0;
}

// The screen's colour format: X8R8G8B8, or R5G6B5 at depth 16.
static const ColorFormat* ScreenColorFormat()
{
    static ColorFormat xrgb32, rgb565;
    static int made;
    if (!made) {
        SetColorFormatXRGB32(&xrgb32);
        MakeColorFormat(&rgb565, 16, 0xF800, 0x07E0, 0x001F, 0);
        made = 1;
    }
    return QueryColorDepth() == 16 ? &rgb565 : &xrgb32;
}

uint32_t ColorFromRGB(int r, int g, int b)
{
    const ColorFormat* f = ScreenColorFormat();
    uint32_t red = ((uint32_t)r & 0xFF) >> (8 - f->redWidth);
    uint32_t green = ((uint32_t)g & 0xFF) >> (8 - f->greenWidth);
    uint32_t blue = ((uint32_t)b & 0xFF) >> (8 - f->blueWidth);
    return (red << f->redShift) + (green << f->greenShift) + (blue << f->blueShift) + f->unusedMask;
}

int RGBFromColor(uint32_t color, int* r, int* g, int* b)
{
    const ColorFormat* f = ScreenColorFormat();
    if (r)
        *r = (int)(((color & f->redMask) >> f->redShift) * 255u / ((1u << f->redWidth) - 1));
    if (g)
        *g = (int)(((color & f->greenMask) >> f->greenShift) * 255u / ((1u << f->greenWidth) - 1));
    if (b)
        *b = (int)(((color & f->blueMask) >> f->blueShift) * 255u / ((1u << f->blueWidth) - 1));
    return 0;
}

int GraphFormatIndex(const GraphFormatDesc* desc)
{
    if (desc->compression >= 1 && desc->compression <= 5)
        return 5 + desc->compression;
    int d = desc->colorDepth != 16 ? 1 : 0;
    if (!desc->drawable) {
        if (desc->alpha)
            return 2 + d;
        if (desc->alphaTest)
            return 4 + d;
        return d;
    }
    if (desc->alpha || desc->alphaTest)
        return 13;
    return 11 + d;
}
