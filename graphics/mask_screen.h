// The mask screen: draws reach the target only where a byte mask allows.
// While mask drawing is active each draw goes into the mask screen, which
// first receives a copy of the target under the draw; afterwards the draw's
// rectangle is copied back where the mask byte is 0 (reverse: not 0).
#pragma once

#include <windows.h>
#include <d3d9.h>
#include <stdint.h>

struct MEMIMG;

// on = 0 does nothing; otherwise switches the mask on and makes what is
// missing of the mask buffer and the mask screen: 0, or -1 when the mask
// buffer cannot be allocated (a missing format or a failed creation of the
// mask screen is fatal).
int CreateMaskBuffers(int on);
// Frees the mask buffer and every image and device object of the mask screen.
int ReleaseMaskScreen();
// After a device reset: the buffers again, and mask drawing when requested.
int RestoreMaskScreen();
// At graphics shut-down: mask drawing off, everything released, mask off.
int TerminateMaskScreen();

// Mask drawing on (1) or off (0): 0, or -1 (nothing changed) when no mask
// buffer exists.
int SetMaskDrawing(int flag);
// Mask drawing as last asked for.
int GetMaskDrawing();
// 1: copy back where the mask byte is not 0.
int SetMaskReverse(int reverse);
// The mask screen's draw image (software) and surface (Direct3D); null
// while no mask screen exists.
MEMIMG* GetMaskScreenImage();
IDirect3DSurface9* GetMaskScreenSurface();
// The byte mask (one byte a screen pixel, rows of *pitch bytes); null while
// no mask buffer exists.
uint8_t* GetMaskBuffer(int* pitch);
// Brings the Direct3D mask image up to date with the byte mask under rect
// (null = all of it): 0, or -1 without the mask image.
int UpdateMaskImage(const RECT* rect);
// 1 while mask drawing is requested and the mask is switched on.
int IsMaskDrawingActive();
// The drawing calls' hooks, run before and after each draw while active.
int ApplyMaskToRect(const RECT* rect);
int ApplyMaskSoftware(const RECT* rect);

// Mask data handles. AddMaskData takes a block allocated with AllocTracked
// (owned by the table from then on): its handle, or -1 when the table is full.
int AddMaskData(void* block, int width, int height);
int DeleteMaskData(int handle);
int DeleteAllMaskData();
