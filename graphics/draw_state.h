// The global draw state: draw area, blend mode, brightness.
#pragma once

#include <windows.h>

// Sets the draw area of the current target (any corner order; clamped).
int SetClipArea(int x1, int y1, int x2, int y2);
// The four values last passed to SetClipArea, as given.
int GetRequestedClipArea(RECT* area);
