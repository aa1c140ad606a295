// The mask screen: draws reach the target only where a byte mask allows.
#pragma once

// Mask drawing on (1) or off (0): 0, or -1 when no mask buffer exists.
int SetMaskDrawing(int flag);
// Mask drawing as last asked for.
int GetMaskDrawing();
