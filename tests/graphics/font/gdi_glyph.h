// GDI's own picture of a character, straight from a font's GDI handle: what
// the glyph cache is compared with.
#pragma once

#include <windows.h>

#include <stdint.h>

#include <vector>

struct GdiGlyph {
    GLYPHMETRICS metrics = {};
    int pitch = 0;
    std::vector<uint8_t> bits;
    int ascent = 0;

    // Level of pixel (x, y): 0/1 for bitmaps, 0..16 for grey glyphs.
    int Level(int x, int y, bool grey) const
    {
        if (x < 0 || y < 0 || x >= (int)metrics.gmBlackBoxX || y >= (int)metrics.gmBlackBoxY || bits.empty())
            return 0;
        const uint8_t* row = &bits[(size_t)y * pitch];
        return grey ? row[x] : (row[x >> 3] >> (7 - (x & 7))) & 1;
    }
};

inline GdiGlyph FetchGdiGlyph(HFONT font, UINT code, bool grey)
{
    GdiGlyph glyph;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICA tm;
    GetTextMetricsA(dc, &tm);
    glyph.ascent = tm.tmAscent;
    const MAT2 identity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    const UINT format = grey ? GGO_GRAY4_BITMAP : GGO_BITMAP;
    DWORD size = GetGlyphOutlineA(dc, code, format, &glyph.metrics, 0, nullptr, &identity);
    if (size != GDI_ERROR && size > 0) {
        glyph.bits.resize(size);
        GetGlyphOutlineA(dc, code, format, &glyph.metrics, size, glyph.bits.data(), &identity);
        glyph.pitch = (int)(size / glyph.metrics.gmBlackBoxY);
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    return glyph;
}
