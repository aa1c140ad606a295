// String drawing and measuring through a font's glyph cache: horizontal text
// runs left to right, vertical text top to bottom with every glyph turned 90
// degrees clockwise.
#pragma once

#include <windows.h>
#include <stdint.h>

struct MEMIMG;

enum { STRING_MEASURE = 0, STRING_DRAW = 1 };

// Walks length bytes of text (-1 or more than the string: all of it) through
// the font's cache and measures it or draws it at (x, y): with a texture cache
// through the graph calls, else into target (clipped to clip, right and bottom
// exclusive; nothing without a target). Scales count only with a texture cache
// (when drawing, only with scaled set). The pen advance, 0 for a null or empty
// string, -1 for a bad handle or a character that cannot be cached. size
// receives (advance, line height), or (line height, advance) when vertical.
int DrawStringByFontCore(int mode, int x, int y, int scaled, double xScale, double yScale, const char* text,
                         uint32_t color, MEMIMG* target, const RECT* clip, int trans, int font, uint32_t edgeColor,
                         int length, int vertical, SIZE* size);
int GetStringWidthByHandle(const char* text, int length, int font, int vertical);
// The texture-cache path: 0 (nothing for a font without a texture cache).
int DrawStringByFontCached(int x, int y, uint32_t color, uint32_t edgeColor, int vertical, int font,
                           const char* text);
// The software path into the software draw target: 0.
int DrawStringByFontSoft(int x, int y, const char* text, uint32_t color, uint32_t edgeColor, int vertical, int font);
// Picks the path: the path's result, 0 when nothing is drawn, -1 for a bad
// font handle.
int DrawStringWithHandle(int x, int y, const char* text, uint32_t color, int font, uint32_t edgeColor, int vertical);

// A colour value multiplied by the draw brightness (each component x
// brightness / 255, truncated), without alpha bits: what text pixels get.
uint32_t BrightenedTextColor(uint32_t color);

// Writes one glyph cell of a memory cache into target with its top-left at
// (x, y) (vertical: glyph row r down column x - r, glyph column c in row y + c),
// clipped to clip. Used by the core; exposed for its tests.
struct FontRecord;
struct GlyphSlot;
void WriteGlyphToMemImage(const FontRecord* font, const GlyphSlot* slot, MEMIMG* target, const RECT* clip, int x,
                          int y, int vertical, uint32_t color, uint32_t edgeColor, int trans);
