#include "graphics/font/string_draw.h"

#include <string.h>

#include "graphics/device.h"
#include "graphics/draw_calls.h"
#include "graphics/draw_state.h"
#include "graphics/draw_target.h"
#include "graphics/font/font_handles.h"
#include "graphics/graph_loading.h"
#include "graphics/mask_screen.h"
#include "runtime/log.h"
#include "runtime/memory.h"
#include "runtime/message_pump.h"
#include "runtime/window_state.h"

namespace {

// The text colour scaled by the draw brightness, as a colour value without
// alpha bits (software writes) and as a packed brightness (texture draws).
struct TextColor {
    uint32_t value;
    uint32_t packed;
};

TextColor ScaleByBrightness(uint32_t color)
{
    int r, g, b;
    RGBFromColor(color, &r, &g, &b);
    uint32_t bright = Draw.brightness;
    r = r * (int)((bright >> 16) & 0xFF) / 255;
    g = g * (int)((bright >> 8) & 0xFF) / 255;
    b = b * (int)(bright & 0xFF) / 255;
    TextColor c;
    c.value = ColorFromRGB(r, g, b) & ~ColorFromRGB(0, 0, 0);
    c.packed = 0xFF000000u | (uint32_t)r << 16 | (uint32_t)g << 8 | (uint32_t)b;
    return c;
}

} // namespace

uint32_t BrightenedTextColor(uint32_t color) { return ScaleByBrightness(color).value; }

namespace {

bool IsBlankCharacter(const uint8_t* entry)
{
    return entry[0] == 0x20 || (entry[0] == 0x81 && entry[1] == 0x40);
}

bool Intersect(RECT* out, const RECT& a, const RECT& b)
{
    out->left = a.left > b.left ? a.left : b.left;
    out->top = a.top > b.top ? a.top : b.top;
    out->right = a.right < b.right ? a.right : b.right;
    out->bottom = a.bottom < b.bottom ? a.bottom : b.bottom;
    return out->left < out->right && out->top < out->bottom;
}

// The rectangle a turned glyph covers: glyph row r in column x0 - 1 - r,
// glyph column c in row top + c, so that a glyph at the line's top fills the
// column x .. x + H from its right edge, as a horizontal line fills y .. y + H.
RECT VerticalGlyphRect(int x0, int top, const GlyphSlot* slot)
{
    RECT r = {x0 - slot->height, top, x0, top + slot->width};
    return r;
}

// One glyph through the cache graphs (texture cache).
void DrawGlyphFromTexture(const FontRecord* font, const GlyphSlot* slot, int cx, int cy, int x, int y, double pen,
                          int scaled, double xs, double ys, int vertical, int trans, const TextColor& body,
                          const TextColor& edge)
{
    int graphs[2] = {font->edgeGraph, font->cacheGraph};
    const TextColor* colors[2] = {&edge, &body};
    int first = (font->fontType & FONT_TYPE_EDGE) && font->edgeGraph != -1 ? 0 : 1;

    if (!vertical) {
        for (int k = first; k < 2; k++) {
            SetDrawBrightPacked(colors[k]->packed);
            if (!scaled) {
                DrawGraphPart(x + (int)pen + slot->xOffset, y + slot->yOffset, cx, cy, slot->width, slot->height,
                              graphs[k], trans, 0);
            } else {
                float x1 = (float)(x + pen + slot->xOffset * xs), y1 = (float)(y + slot->yOffset * ys);
                DrawGraphPartStretched(x1, y1, x1 + (float)(slot->width * xs), y1 + (float)(slot->height * ys), cx,
                                       cy, slot->width, slot->height, graphs[k], trans);
            }
        }
        return;
    }

    // The turned draws are clipped by the scissor, so the area is narrowed
    // through the setter and put back the same way.
    const RECT kept = Draw.area, keptRequest = Draw.requestedArea;
    bool narrowed = false;
    if (!scaled) {
        int x0 = x + font->charHeight - slot->yOffset;
        int top = y + (int)pen + slot->xOffset;
        // The whole cache is drawn turned, so the area must hold just this
        // glyph: an empty overlap draws nothing rather than the cache.
        RECT area;
        if (Intersect(&area, VerticalGlyphRect(x0, top, slot), kept)) {
            SetClipArea(area.left, area.top, area.right, area.bottom);
            narrowed = true;
            for (int k = first; k < 2; k++) {
                int w, hc;
                if (GetGraphSizeOf(graphs[k], &w, &hc) != 0)
                    continue;
                float l = (float)(x0 + cy) - 0.5f, t = (float)(top - cx) - 0.5f;
                SetDrawBrightPacked(colors[k]->packed);
                DrawGraphQuad(l, t, l, t + (float)w, l - (float)hc, t + (float)w, l - (float)hc, t, graphs[k],
                              trans);
            }
        }
    } else {
        double w = slot->width * xs, h = slot->height * ys;
        double x0 = x + font->charHeight * xs - slot->yOffset * ys;
        double top = y + pen + slot->xOffset * xs;
        RECT glyph = {(int)(x0 - h), (int)top, (int)x0 + 1, (int)(top + w) + 1};
        RECT area;
        if (Intersect(&area, glyph, kept)) {
            SetClipArea(area.left, area.top, area.right, area.bottom);
            narrowed = true;
            for (int k = first; k < 2; k++) {
                int part = CreateDerivedGraph(cx, cy, slot->width, slot->height, graphs[k]);
                if (part == -1)
                    continue;
                if (k == 1)
                    SetFilterMode(1);
                SetDrawBrightPacked(colors[k]->packed);
                float l = (float)x0 - 0.5f, t = (float)top - 0.5f;
                DrawGraphQuad(l, t, l, t + (float)w, l - (float)h, t + (float)w, l - (float)h, t, part, trans);
                FreeGraph(part);
            }
        }
    }
    if (narrowed) {
        SetClipArea(kept.left, kept.top, kept.right, kept.bottom);
        Draw.requestedArea = keptRequest;
    }
}

uint8_t staticEntries[FONT_ENTRY_BYTES * (FONT_STATIC_STRING_BYTES + 1)];

} // namespace

int DrawStringByFontCore(int mode, int x, int y, int scaled, double xScale, double yScale, const char* text,
                         uint32_t color, MEMIMG* target, const RECT* clip, int trans, int font, uint32_t edgeColor,
                         int length, int vertical, SIZE* size)
{
    FontRecord* f = GetFontRecord(font);
    if (!f)
        return -1;
    double xs = 1.0, ys = 1.0;
    if (f->textureCache && (mode == STRING_MEASURE || scaled)) {
        xs = xScale;
        ys = yScale;
    }
    scaled = f->textureCache && mode == STRING_DRAW && scaled;
    const TextColor body = ScaleByBrightness(color), edge = ScaleByBrightness(edgeColor);
    if (!text || !text[0])
        return 0;

    size_t whole = strlen(text);
    int n = length == -1 || (size_t)length > whole ? (int)whole : length;
    if (n <= 0)
        return 0;
    uint8_t* entries = staticEntries;
    if (n > FONT_STATIC_STRING_BYTES) {
        entries = (uint8_t*)AllocTracked((size_t)FONT_ENTRY_BYTES * ((size_t)n + 1), "DrawStringByFontCore",
                                         __LINE__);
        if (!entries)
            return -1;
    }
    int count = 0;
    if (CacheStringGlyphs(n, text, font, entries, &count) != 0) {
        if (entries != staticEntries)
            FreeTracked(entries);
        return -1;
    }

    double pen = 0.0;
    const double step = vertical ? ys : xs;
    int result = 0;
    // The blend graph would mask every glyph; the caller's state comes back
    // after the string.
    int keptBlend = Draw.blendGraph, keptBorder = Draw.blendBorderParam, keptSize = Draw.blendBorderSize;
    uint32_t keptBright = Draw.brightness;
    bool textureDraw = mode == STRING_DRAW && f->textureCache;
    if (textureDraw)
        SetTransitionGraph(-1, 0, 0);
    // Edge and body alternate their colours glyph by glyph.
    const int keptModulating = DrawDerived.keepModulating;
    if (textureDraw && (f->fontType & FONT_TYPE_EDGE))
        DrawDerived.keepModulating = 1;

    for (int i = 0; i < count; i++) {
        const uint8_t* entry = entries + (size_t)i * FONT_ENTRY_BYTES;
        const CodeMapEntry& mapped = f->codeMap[FontEntryCode(entry)];
        const GlyphSlot* slot = mapped.present ? mapped.slot : nullptr;
        if (!slot)
            slot = RasterizeGlyphToCache(font, 1, entry);
        if (!slot) {
            WriteLog("テキストキャッシュの作成に失敗しました");
            result = -1;
            break;
        }
        if (mode == STRING_DRAW && !IsBlankCharacter(entry) && (slot->width || slot->height)) {
            int cx, cy;
            GetGlyphCellPosition(f, slot, &cx, &cy);
            if (f->textureCache) {
                DrawGlyphFromTexture(f, slot, cx, cy, x, y, pen, scaled, xs, ys, vertical, trans, body, edge);
            } else if (target) {
                int gx, gy;
                if (!vertical) {
                    gx = x + (int)pen + slot->xOffset;
                    gy = y + slot->yOffset;
                } else {
                    gx = x + f->charHeight - slot->yOffset - 1;
                    gy = y + (int)pen + slot->xOffset;
                }
                WriteGlyphToMemImage(f, slot, target, clip, gx, gy, vertical, body.value, edge.value, trans);
            }
        }
        pen += (slot->advance + f->spacing) * step;
    }

    if (textureDraw) {
        SetTransitionGraph(keptBlend, keptBorder, keptSize);
        SetDrawBrightPacked(keptBright);
        DrawDerived.keepModulating = keptModulating;
    }
    if (entries != staticEntries)
        FreeTracked(entries);
    if (result == -1)
        return -1;
    if (size) {
        size->cx = vertical ? f->charHeight : (LONG)pen;
        size->cy = vertical ? (LONG)pen : f->charHeight;
    }
    return (int)pen;
}

int GetStringWidthByHandle(const char* text, int length, int font, int vertical)
{
    return DrawStringByFontCore(STRING_MEASURE, 0, 0, 0, 1.0, 1.0, text, 0, nullptr, nullptr, 0, font, 0, length,
                                vertical, nullptr);
}

int DrawStringByFontCached(int x, int y, uint32_t color, uint32_t edgeColor, int vertical, int font,
                           const char* text)
{
    FontRecord* f = GetFontRecord(font);
    if (!f || !f->textureCache)
        return 0;
    RebuildFontCacheScreen(font);
    RECT area = Draw.area;
    DrawStringByFontCore(STRING_DRAW, x, y, 0, 1.0, 1.0, text, color, nullptr, &area, 1, font, edgeColor, -1,
                         vertical, nullptr);
    return 0;
}

int DrawStringWithHandle(int x, int y, const char* text, uint32_t color, int font, uint32_t edgeColor, int vertical)
{
    if (!text || !text[0] || Draw.emptyArea || Draw.area.left >= Draw.area.right || Draw.area.top >= Draw.area.bottom)
        return 0;
    FontRecord* f = GetFontRecord(font);
    if (!f) {
        WriteLog("フォントハンドル値が異常です\n");
        return -1;
    }
    if (!IsMainWindowActive())
        WaitWhileInactive();
    // The window may have gone away, or a reset deleted the font, meanwhile.
    f = GetFontRecord(font);
    if (!f)
        return -1;

    const int texture = f->textureCache;
    const int subtract = Draw.blendMode == 3;
    const int mask = IsMaskDrawingActive();
    RECT rect = {};
    if ((subtract && texture) || mask || Draw.target == DRAW_TARGET_FRONT) {
        if (!vertical) {
            rect.left = x;
            rect.top = y;
            rect.right = Draw.area.right;
            rect.bottom = y + f->size + 3;
        } else {
            rect.left = x;
            rect.top = y;
            rect.right = x + f->size + 3;
            rect.bottom = Draw.area.bottom;
        }
        if (rect.left >= Draw.area.right)
            return 0;
        if (mask)
            ApplyMaskToRect(&rect);
    }

    int result;
    if (subtract && SubtractEmulationNeeded() && texture) {
        BeginSubtractEmulation(&rect);
        result = DrawStringByFontCached(x, y, color, edgeColor, vertical, font, text);
        EndSubtractEmulation(&rect);
    } else if (texture) {
        result = DrawStringByFontCached(x, y, color, edgeColor, vertical, font, text);
    } else {
        result = DrawStringByFontSoft(x, y, text, color, edgeColor, vertical, font);
    }
    if (mask)
        ApplyMaskSoftware(&rect);
    return result;
}
