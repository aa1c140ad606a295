// On-screen debug text.
#pragma once

int InitScreenPrint();
// Shut-down: deletes the debug-text font and marks the text as not started.
int TermScreenPrint();
int ScreenPrintf(const char* format, ...);
int ClearScreenPrint();
int GetScreenPrintInUse();
int DrawScreenPrint();
