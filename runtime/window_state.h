// Accessors of the host layer's window state, and the features that this
// program never switches on (kept as calls that change nothing).
#pragma once

#include <windows.h>

int GetQuitRequested();
HWND GetMainWindowHwnd();
int GetWindowedFlag();
int IsMainWindowActive();
int GetWindowClosing();
int GetMmxAvailable();
int GetDesktopInfo(int* width, int* height, int* colorBits);
double GetWindowScale(double* x, double* y);
int SetDesktopComposition(int flag);

int AutoShowMenu();
int FreeDroppedFiles();
