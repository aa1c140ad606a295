// The mask screen: draws reach the target only where a byte mask allows.
#pragma once

#include <windows.h>
#include <d3d9.h>

struct MEMIMG;

// Mask drawing on (1) or off (0): 0, or -1 when no mask buffer exists.
int SetMaskDrawing(int flag);
// Mask drawing as last asked for.
int GetMaskDrawing();
// The mask screen's draw image (software) and surface (Direct3D); null
// while no mask screen exists.
MEMIMG* GetMaskScreenImage();
IDirect3DSurface9* GetMaskScreenSurface();
// 1 while mask drawing is requested and the mask is switched on.
int IsMaskDrawingActive();
// The drawing calls' hooks, run before and after each draw while active.
int ApplyMaskToRect(const RECT* rect);
int ApplyMaskSoftware(const RECT* rect);
int TerminateMaskScreen();
int DeleteAllMaskData();
