// The default font and the text calls that use it, and the font system's
// start, restart and re-creation around graphics start, end and device resets.
#pragma once

#include <stdint.h>

enum { DEFAULT_FONT_FACE_SIZE = 128, FORMAT_STRING_BUFFER_SIZE = 2048 };

// -1 takes the default (size 16, thickness 6). 0.
int SetDefaultFontSize(int size);
int SetDefaultFontThickness(int thickness);
int SetDefaultFontSizeAndThickness(int unused, int size, int thickness);
// The default font's size, -1 when it cannot be made.
int GetDefaultFontSize();
int GetStringWidthDefault(const char* text, int length, int vertical);
int DrawStringDefault(int x, int y, const char* text, uint32_t color, uint32_t edgeColor);
// Formats into a 2048-byte buffer; longer text is cut to fit.
int DrawFormatStringDefault(int x, int y, uint32_t color, const char* format, ...);
// The default font handle (-1 when there is none).
int FetchDefaultFontHandle();
// Re-creates the default font when it no longer matches the settings. 0.
int RefreshDefaultFont();
// Graphics start-up: every font global cleared, the defaults set, the font
// system started.
int ResetFontSettings();
// Deletes every font and makes the default one again.
int InitFontSystem();
// Graphics end: the font system restarted, then the default font deleted.
int RestartFontSystem();
// After a device reset: every font re-created in place (same handle value).
int RecreateAllFonts();
