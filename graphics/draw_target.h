// Draw targets, present, and the screen and display-mode queries.
#pragma once

#include <windows.h>

enum { DRAW_TARGET_BACK = -2, DRAW_TARGET_FRONT = -4 };

struct DisplayMode {
    int width, height, bits, refresh;
};

int SelectDrawTarget(int target);
int GetDrawTarget();
int ClearDrawTarget(const RECT* rect);
int PresentScreenRect(const RECT* rect);
int PresentScreen();

int QueryScreenSize(int* width, int* height);
int QueryColorDepth();
int QueryScreenState(int* width, int* height, int* depth);
int IsFullScreenMode();

int CountDisplayModes();
DisplayMode DisplayModeAt(int index);
int HasDisplayMode(int width, int height, int bits);
// Frees the display-mode list (graphics shut-down).
void FreeDisplayModes();

// The vertical-blank wait of presents (on by default).
int SetVSyncWait(int flag);
int GetVSyncWait();
