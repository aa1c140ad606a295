#include "runtime/screen_print.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "graphics/device.h"
#include "graphics/draw_state.h"
#include "graphics/draw_target.h"
#include "graphics/font/font_handles.h"
#include "graphics/font/string_draw.h"
#include "runtime/helpers.h"
#include "runtime/system_state.h"

namespace {

struct ScreenPrintState {
    int started;
    int fontSize;
    int font;
    int fontLost;       // 1: the font must be made (set when it is deleted)
    int tabWidth;
    char lines[SCREEN_PRINT_LINES][SCREEN_PRINT_LINE_BYTES];
    int line;           // current line
    int column;         // bytes used in the current line
    int lineWidth;      // pixels used in the current line
    int inUse;
};

ScreenPrintState state = {0, 16, -1, 1, 4, {}, 0, 0, 0, 0};

void PrepareScreenPrintFont()
{
    if (!state.fontLost)
        return;
    state.font = CreateFontToHandle(nullptr, 16, 4, FONT_TYPE_EDGE, -1, -1, 0, -1, -1);
    state.fontLost = 0;
    if (state.font != -1)
        SetFontLostFlagPointer(state.font, &state.fontLost);
}

void ClearScreenPrintBuffer()
{
    memset(state.lines, 0, sizeof state.lines);
    state.line = state.column = state.lineWidth = 0;
}

// Starts the text when needed and makes a lost font: false when it cannot start.
bool Ready()
{
    if (!state.started && InitScreenPrint() != 0)
        return false;
    PrepareScreenPrintFont();
    return true;
}

int ShownLines()
{
    int h;
    QueryScreenSize(nullptr, &h);
    int shown = state.fontSize > 0 ? h / state.fontSize : SCREEN_PRINT_LINES;
    if (shown > SCREEN_PRINT_LINES)
        shown = SCREEN_PRINT_LINES;
    return shown < 1 ? 1 : shown;
}

void NewScreenPrintLine()
{
    if (state.line + 1 >= ShownLines()) {
        // Scroll: the first line is lost, the current one is reused.
        memmove(state.lines[0], state.lines[1], (size_t)state.line * SCREEN_PRINT_LINE_BYTES);
    } else {
        state.line++;
    }
    memset(state.lines[state.line], 0, SCREEN_PRINT_LINE_BYTES);
    state.column = state.lineWidth = 0;
}

// Puts the character at text into the current line: the bytes it took.
int PutScreenPrintChar(const char* text)
{
    // CharBytes never pairs a lead byte with the terminator.
    const int length = CharBytes(text);
    int width = GetStringWidthByHandle(text, length, state.font, 0);
    if (width < 0)
        width = 0;
    int screenWidth;
    QueryScreenSize(&screenWidth, nullptr);
    // A line started by the byte limit carries the character's width too.
    if (state.column + length >= SCREEN_PRINT_LINE_BYTES || state.lineWidth + width >= screenWidth)
        NewScreenPrintLine();
    state.lineWidth += width;
    char* line = state.lines[state.line];
    memcpy(line + state.column, text, (size_t)length);
    state.column += length;
    line[state.column] = 0;
    return length;
}

void AddScreenPrintText(const char* text)
{
    for (const char* p = text; *p;) {
        switch ((unsigned char)*p) {
        case 0x09:
            for (int i = 0; i < state.tabWidth; i++)
                PutScreenPrintChar(" ");
            p++;
            break;
        case 0x0A:
            NewScreenPrintLine();
            p++;
            break;
        case 0x07: case 0x08: case 0x0B: case 0x0C: case 0x0D: case '?':
            p++;
            break;
        default:
            p += PutScreenPrintChar(p);
            break;
        }
    }
}

} // namespace

int InitScreenPrint()
{
    if (!GetDirectDrawObject() || !SystemState.live.window)
        return -1;
    if (state.started)
        return 0;
    state.started = 1;
    state.fontSize = 16;
    state.font = -1;
    state.fontLost = 1;
    PrepareScreenPrintFont();
    state.inUse = 0;
    state.tabWidth = 4;
    ClearScreenPrintBuffer();
    return 0;
}

int TermScreenPrint()
{
    if (state.font != -1) {
        // Deleting sets the lost flag through the link: forget the link first.
        SetFontLostFlagPointer(state.font, nullptr);
        DeleteFontHandle(state.font);
    }
    state.font = -1;
    state.fontLost = 1;
    state.started = 0;
    state.inUse = 0;
    return 0;
}

int ScreenPrintf(const char* format, ...)
{
    if (!Ready())
        return -1;
    // Text beyond the buffer is cut, never written past it.
    char text[SCREEN_PRINT_FORMAT_BYTES];
    va_list arguments;
    va_start(arguments, format);
    int n = vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    if (n < 0)
        text[0] = 0;
    text[sizeof text - 1] = 0;
    state.inUse = 1;
    AddScreenPrintText(text);
    return 0;
}

int ClearScreenPrint()
{
    if (!Ready())
        return 0;
    ClearScreenPrintBuffer();
    state.inUse = 0;
    return 0;
}

int GetScreenPrintInUse()
{
    if (!Ready())
        return 0;
    return state.inUse;
}

int DrawScreenPrint()
{
    if (!Ready())
        return 0;
    const int shown = ShownLines();
    const uint32_t white = ColorFromRGB(255, 255, 255), black = ColorFromRGB(0, 0, 0);
    for (int i = 0; i < shown; i++)
        DrawStringWithHandle(0, i * state.fontSize, state.lines[i], white, state.font, black, 0);
    return 0;
}

const char* GetScreenPrintLine(int line)
{
    return line >= 0 && line < SCREEN_PRINT_LINES ? state.lines[line] : "";
}

int GetScreenPrintShownLines() { return ShownLines(); }

int GetScreenPrintFont() { return state.font; }
