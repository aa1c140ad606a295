#include "graphics/mask_screen.h"

// Stand-in until the mask screen is built: no mask buffer ever exists, so a
// request is only remembered.
static int requested;

int SetMaskDrawing(int flag)
{
    requested = flag;
    return -1;
}

int GetMaskDrawing() { return requested; }
MEMIMG* GetMaskScreenImage() { return nullptr; }
IDirect3DSurface9* GetMaskScreenSurface() { return nullptr; }
// Nothing switches the mask on, so it is never active.
int IsMaskDrawingActive() { return 0; }
int ApplyMaskToRect(const RECT*) { return 0; }
int ApplyMaskSoftware(const RECT*) { return 0; }
int TerminateMaskScreen() { return 0; }
int DeleteAllMaskData() { return 0; }
