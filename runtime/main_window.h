// The main window: creation, procedure, style switches and destruction.
#pragma once

#include <windows.h>

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Registers the class and creates the window (window start step); 0 or -1.
int CreateMainWindowObject();
int DestroyMainWindow();
// Puts the screen saver setting back to what the window start found.
int RestoreScreenSaver();
int ApplyWindowStyle();
int UpdateWindowSize();
int OnWindowMoved(LPARAM lParam);
int BringWindowToForeground(HWND window, int topmost);
int UpdateCursorVisibility(int setting);
int GetMousePosition(int* x, int* y);
int GetWindowClientScreenRect(RECT* rect);
