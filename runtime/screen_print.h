// On-screen debug text: a scrolling console of printf-style lines drawn over
// the back screen by its present.
#pragma once

enum {
    SCREEN_PRINT_LINES = 80,
    SCREEN_PRINT_LINE_BYTES = 255,        // a line holds at most 254 bytes
    SCREEN_PRINT_FORMAT_BYTES = 1024,     // longer formatted text is cut
};

int InitScreenPrint();
// Shut-down: deletes the debug-text font and marks the text as not started.
int TermScreenPrint();
int ScreenPrintf(const char* format, ...);
// Empties the text; the present shows none until the next ScreenPrintf.
int ClearScreenPrint();
int GetScreenPrintInUse();
// Draws the shown lines (called by the present).
int DrawScreenPrint();

// The text of a buffer line (0 to 79), for inspection.
const char* GetScreenPrintLine(int line);
// Lines the screen shows: screen height / font size, at most 80.
int GetScreenPrintShownLines();
// The debug-text font handle, -1 while none exists.
int GetScreenPrintFont();
