#include "graphics/font/default_font.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "graphics/font/font_handles.h"
#include "graphics/font/string_draw.h"
#include "graphics/handle_table.h"
#include "runtime/helpers.h"
#include "runtime/log.h"

namespace {

struct DefaultFontSettings {
    char face[DEFAULT_FONT_FACE_SIZE];   // empty = the default face
    int size;
    int thickness;
    int fontType;
    int charSet;
    int edgeSize;
    int italic;
    int spacing;
};

DefaultFontSettings settings;
int defaultFont = -1;

void SetDefaults()
{
    memset(&settings, 0, sizeof settings);
    settings.size = FONT_DEFAULT_SIZE;
    settings.thickness = FONT_DEFAULT_THICKNESS;
    settings.charSet = CurrentCharSet();
    settings.edgeSize = FONT_DEFAULT_EDGE_SIZE;
}

bool MatchesSettings(const FontRecord* f)
{
    return strcmp(f->faceName, settings.face) == 0 && f->fontType == settings.fontType && f->size == settings.size &&
           f->thickness == settings.thickness && f->charSet == settings.charSet &&
           f->edgeSize == settings.edgeSize && f->italic == settings.italic;
}

} // namespace

int RefreshDefaultFont()
{
    const FontRecord* f = GetFontRecord(defaultFont);
    if (f && MatchesSettings(f))
        return 0;
    if (f)
        DeleteFontHandle(defaultFont);
    defaultFont = CreateFontToHandle(settings.face[0] ? settings.face : nullptr, settings.size, settings.thickness,
                                     settings.fontType, settings.charSet,
                                     (settings.fontType & FONT_TYPE_EDGE) ? settings.edgeSize : -1, settings.italic,
                                     -1, -1);
    if (defaultFont != -1)
        SetFontSpacing(settings.spacing, defaultFont);
    return 0;
}

int SetDefaultFontSize(int size)
{
    settings.size = size == -1 ? FONT_DEFAULT_SIZE : size;
    return RefreshDefaultFont();
}

int SetDefaultFontThickness(int thickness)
{
    settings.thickness = thickness == -1 ? FONT_DEFAULT_THICKNESS : thickness;
    return RefreshDefaultFont();
}

int SetDefaultFontSizeAndThickness(int, int size, int thickness)
{
    settings.size = size == -1 ? FONT_DEFAULT_SIZE : size;
    settings.thickness = thickness == -1 ? FONT_DEFAULT_THICKNESS : thickness;
    return RefreshDefaultFont();
}

int GetDefaultFontSize()
{
    RefreshDefaultFont();
    return GetFontSizeOfHandle(defaultFont);
}

int GetStringWidthDefault(const char* text, int length, int vertical)
{
    RefreshDefaultFont();
    return GetStringWidthByHandle(text, length, defaultFont, vertical);
}

int DrawStringDefault(int x, int y, const char* text, uint32_t color, uint32_t edgeColor)
{
    RefreshDefaultFont();
    return DrawStringWithHandle(x, y, text, color, defaultFont, edgeColor, 0);
}

int DrawFormatStringDefault(int x, int y, uint32_t color, const char* format, ...)
{
    // Text that does not fit is cut at the buffer's end, never written past it.
    char text[FORMAT_STRING_BUFFER_SIZE];
    va_list arguments;
    va_start(arguments, format);
    int n = vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    if (n < 0)
        text[0] = 0;
    text[sizeof text - 1] = 0;
    RefreshDefaultFont();
    return DrawStringWithHandle(x, y, text, color, defaultFont, 0, 0);
}

int FetchDefaultFontHandle() { return defaultFont; }

int ResetFontSettings()
{
    ClearFontHandleTable();
    defaultFont = -1;
    SetDefaults();
    return InitFontSystem();
}

int InitFontSystem()
{
    WriteLog("フォントの初期化を行います\n");
    IncreaseLogIndent();
    DefaultFontSettings made = settings;
    char face[FONT_FACE_NAME_SIZE] = "";
    const FontRecord* f = GetFontRecord(defaultFont);
    if (f) {
        CopyTextMax(face, f->faceName, (int)sizeof face - 1);
        made.size = f->size;
        made.thickness = f->thickness;
        made.fontType = f->fontType;
        made.charSet = f->charSet;
        made.edgeSize = f->edgeSize;
        made.italic = f->italic;
    }
    DeleteAllFontHandles();
    defaultFont = CreateFontToHandle(face[0] ? face : nullptr, made.size, made.thickness, made.fontType,
                                     made.charSet, made.edgeSize, made.italic, -1, -1);
    DecreaseLogIndent();
    WriteLog("フォントの初期化は正常に終了しました\n");
    return 0;
}

int RestartFontSystem()
{
    InitFontSystem();
    if (defaultFont != -1)
        DeleteFontHandle(defaultFont);
    defaultFont = -1;
    return 0;
}

int RecreateAllFonts()
{
    for (int slot = 0; slot < FONT_HANDLE_MAX; slot++) {
        int handle = FontHandleAtSlot(slot);
        if (handle != -1)
            RecreateFontHandle(handle);
    }
    return 0;
}
