// The software path of string drawing: glyph cells of a memory cache written
// into memory images, straight or through a text work image that is then
// blended onto the draw target.
#include <string.h>

#include "graphics/draw_state.h"
#include "graphics/font/font_handles.h"
#include "graphics/font/string_draw.h"
#include "graphics/graph_handles.h"
#include "graphics/soft_screen.h"
#include "image/mem_image.h"
#include "softrender/mem_blit.h"

namespace {

// The value of a glyph pixel (x, y) of its cell.
int CellValue(const FontRecord* font, int cx, int cy, int x, int y)
{
    const uint8_t* row = font->memPixels + (ptrdiff_t)(cy + y) * font->memPitch;
    if (font->memBitsPerPixel == 1) {
        int bit = cx + x;
        return (row[bit >> 3] >> (7 - (bit & 7))) & 1;
    }
    return row[cx + x];
}

// Mixes edge and body colours of an anti-aliased edged glyph pixel.
uint32_t MixEdgeAndBody(uint32_t body, uint32_t edge, int t, bool wide)
{
    static const int shifts16[3] = {11, 5, 0}, masks16[3] = {31, 63, 31};
    static const int shifts32[3] = {16, 8, 0}, masks32[3] = {255, 255, 255};
    const int* shifts = wide ? shifts32 : shifts16;
    const int* masks = wide ? masks32 : masks16;
    uint32_t out = 0;
    for (int k = 0; k < 3; k++) {
        int b = (int)(body >> shifts[k]) & masks[k], e = (int)(edge >> shifts[k]) & masks[k];
        int c = e + (b - e) * t / 256;
        out |= (uint32_t)(c & masks[k]) << shifts[k];
    }
    return out;
}

// The pixel for a cell value, or false to leave the target pixel alone.
// alphaShift is where the alpha byte goes (-1: the target keeps no alpha).
bool GlyphPixel(int type, int v, uint32_t body, uint32_t edge, int trans, bool wide, int alphaShift, uint32_t* out)
{
    if (v == 0) {
        *out = 0;
        return !trans;
    }
    auto withAlpha = [alphaShift](uint32_t color, uint32_t alpha) {
        return alphaShift < 0 ? color : color | alpha << alphaShift;
    };
    switch (type) {
    case 0:
        *out = body;
        return true;
    case FONT_TYPE_EDGE:
        *out = v == 1 ? body : edge;
        return true;
    case FONT_TYPE_ANTIALIAS:
        *out = withAlpha(body, (uint32_t)v * 16);
        return true;
    default: {
        int b = v & 15, e = v >> 4;
        if (b == 0) {
            *out = withAlpha(edge, (uint32_t)e * 16);
        } else if (b == 15) {
            *out = withAlpha(body, 255);
        } else {
            int alpha = e * (15 - b) + 16 * b;
            int t = (b << 12) / alpha;
            *out = withAlpha(MixEdgeAndBody(body, edge, t, wide), (uint32_t)alpha);
        }
        return true;
    }
    }
}

void PutPixel(uint8_t* p, int bytes, uint32_t v)
{
    switch (bytes) {
    case 1: *p = (uint8_t)v; break;
    case 2: { uint16_t w = (uint16_t)v; memcpy(p, &w, 2); break; }
    default: memcpy(p, &v, 4); break;
    }
}

bool Intersect(RECT* out, const RECT& a, const RECT& b)
{
    out->left = a.left > b.left ? a.left : b.left;
    out->top = a.top > b.top ? a.top : b.top;
    out->right = a.right < b.right ? a.right : b.right;
    out->bottom = a.bottom < b.bottom ? a.bottom : b.bottom;
    return out->left < out->right && out->top < out->bottom;
}

void PutDrawArea(const RECT& r)
{
    Draw.area = r;
    Draw.areaLeftF = (float)r.left;
    Draw.areaTopF = (float)r.top;
    Draw.areaRightF = (float)r.right;
    Draw.areaBottomF = (float)r.bottom;
}

} // namespace

void WriteGlyphToMemImage(const FontRecord* font, const GlyphSlot* slot, MEMIMG* target, const RECT* clip, int x,
                          int y, int vertical, uint32_t color, uint32_t edgeColor, int trans)
{
    if (!IsMemImageValid(target) || !font->memPixels)
        return;
    const int bytes = target->body->format->bytesPerPixel;
    const int type = font->fontType & (FONT_TYPE_EDGE | FONT_TYPE_ANTIALIAS);
    if (bytes == 1 && type >= FONT_TYPE_ANTIALIAS)
        return;
    const bool wide = target->body->pixelKind == MEMIMG_KIND_X8R8G8B8;
    const int alphaShift = bytes < 4 ? -1 : wide ? 24 : 16;
    const int w = slot->width, h = slot->height;

    // The glyph's screen rectangle, cut to the clip and to the image.
    RECT glyph;
    if (!vertical)
        glyph = {x, y, x + w, y + h};
    else
        glyph = {x - h + 1, y, x + 1, y + w};
    RECT r = {0, 0, target->width, target->height};
    if (clip && !Intersect(&r, r, *clip))
        return;
    if (!Intersect(&r, r, glyph))
        return;

    int cx, cy;
    GetGlyphCellPosition(font, slot, &cx, &cy);
    const int pitch = target->body->pitch;
    for (int sy = r.top; sy < r.bottom; sy++) {
        uint8_t* row = (uint8_t*)target->pixels + (ptrdiff_t)sy * pitch;
        for (int sx = r.left; sx < r.right; sx++) {
            // Glyph pixel (gx, gy) of the cell for this screen pixel.
            int gx = vertical ? sy - y : sx - x;
            int gy = vertical ? x - sx : sy - y;
            uint32_t v;
            if (GlyphPixel(type, CellValue(font, cx, cy, gx, gy), color, edgeColor, trans, wide, alphaShift, &v))
                PutPixel(row + (ptrdiff_t)sx * bytes, bytes, v);
        }
    }
}

int DrawStringByFontSoft(int x, int y, const char* text, uint32_t color, uint32_t edgeColor, int vertical, int font)
{
    FontRecord* f = GetFontRecord(font);
    if (!f || !SoftDrawTarget)
        return 0;
    SIZE size = {};
    if (DrawStringByFontCore(STRING_MEASURE, 0, 0, 0, 1.0, 1.0, text, 0, nullptr, nullptr, 0, font, 0, -1, vertical,
                             &size) <= 0)
        return 0;
    const bool antialias = (f->fontType & FONT_TYPE_ANTIALIAS) != 0;

    if (!antialias && (Draw.blendMode == 0 || (Draw.blendMode == 1 && Draw.blendParam == 255))) {
        RECT area = Draw.area;
        DrawStringByFontCore(STRING_DRAW, x, y, 0, 1.0, 1.0, text, color, SoftDrawTarget, &area, 1, font, edgeColor,
                             -1, vertical, nullptr);
        return 0;
    }

    MEMIMG* work = &SoftWorkImages[antialias ? 1 : 0];
    if (!IsMemImageValid(work))
        return 0;
    const RECT keptArea = Draw.area;
    const uint32_t keptBright = Draw.brightness;
    RECT box;
    if (!Intersect(&box, {0, 0, size.cx, size.cy}, {0, 0, work->width, work->height}))
        return 0;
    PutDrawArea(box);
    if (antialias) {
        FillMemImageRect(work, &box, 0);
        SetMemImageTransColor(work, 0);
    } else {
        // A transparent colour that neither text colour takes, within the
        // colour bits (an unused top byte would not tell them apart).
        const uint32_t limit = work->body->format->bytesPerPixel >= 4 ? 0xFFFFFFu : 0xFFFFu;
        const uint32_t body = BrightenedTextColor(color), edge = BrightenedTextColor(edgeColor);
        uint32_t key = work->body->transColor & limit;
        while (key == body || key == edge)
            key = (key + 1) & limit;
        SetMemImageTransColor(work, key);
        FillMemImageRect(work, &box, key);
    }
    DrawStringByFontCore(STRING_DRAW, 0, 0, 0, 1.0, 1.0, text, color, work, &box, 1, font, edgeColor, -1, vertical,
                         nullptr);

    RECT onTarget;
    if (Intersect(&onTarget, {x, y, x + size.cx, y + size.cy}, keptArea)) {
        PutDrawArea(onTarget);
        SetDrawBrightPacked(0xFFFFFF);
        const GraphRecord* blend = Draw.blendGraph != -1 ? GetGraphRecord(Draw.blendGraph) : nullptr;
        const MEMIMG* blendImage = blend && blend->image ? &blend->image->memImage : nullptr;
        BlitMemImage(SoftDrawTarget, work, x, y, 1, blendImage);
    }
    PutDrawArea(keptArea);
    SetDrawBrightPacked(keptBright);
    return 0;
}
