// Draw targets, clearing, present, the paint timer, vertical-blank pacing,
// screen read-back, and the screen and display-mode queries.
#pragma once

#include <windows.h>
#include <stdint.h>

struct RasterImage;

enum { DRAW_TARGET_BACK = -2, DRAW_TARGET_FRONT = -4 };
// The front screen's paint timer on the main window.
enum { PAINT_TIMER_ID = 32767, PAINT_TIMER_PERIOD = 32 };

struct DisplayMode {
    int width, height, bits, refresh;
};

int SelectDrawTarget(int target);
int GetDrawTarget();
// Size of the current target as recorded by its selection.
void GetCurrentTargetSize(int* width, int* height);
int ClearDrawTarget(const RECT* rect);
int PresentScreenRect(const RECT* rect);
int PresentScreen();
int ShowBackBuffer();
int UseSubBackBuffer();
int CreateSubBackBuffer();
void CALLBACK ScreenPaintTimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);

// Vertical-blank pacing of presents through DirectDraw.
int MeasureRefreshInterval();
void WaitForVSyncTimed();
// Microseconds between vertical blanks; -1 while unknown.
int64_t GetRefreshInterval();

int LockScreenImage(const RECT* rect, RasterImage* out);
// Locks the whole back screen whatever target is current (the current target
// stays as it was); UnlockScreenImage ends the lock.
int LockBackScreenImage(RasterImage* out);
int UnlockScreenImage();
int CaptureScreenToGraph(int x1, int y1, int x2, int y2, int graph);

int GetGraphSizeOf(int handle, int* width, int* height);
int QueryScreenSize(int* width, int* height);
int QueryColorDepth();
int QueryScreenState(int* width, int* height, int* depth);
int IsFullScreenMode();

int CountDisplayModes();
DisplayMode DisplayModeAt(int index);
int HasDisplayMode(int width, int height, int bits);
// Frees the display-mode list (graphics shut-down).
void FreeDisplayModes();

void* ClearDisplayCaps(void* caps);
int ReturnZeroStub();

// The vertical-blank wait of presents (on by default).
int SetVSyncWait(int flag);
int GetVSyncWait();
