#include "graphics/draw_target.h"

#include "graphics/device.h"
#include "runtime/system_state.h"

static int currentTarget = DRAW_TARGET_BACK;

// Stand-ins until drawing exists: selection is remembered, clearing and
// presenting do nothing.
int SelectDrawTarget(int target)
{
    if (!Screen.started)
        return -1;
    if (target != -2 && target != -3 && target != -4 && target != -5)
        return -1;
    currentTarget = target;
    return 0;
}

int GetDrawTarget() { return currentTarget; }
int ClearDrawTarget(const RECT*) { return 0; }

int PresentScreenRect(const RECT*)
{
    if (!SystemState.kept.initialised || SystemState.live.destroyed)
        return -1;
    return 0;
}

int PresentScreen() { return PresentScreenRect(nullptr); }

int QueryScreenSize(int* width, int* height)
{
    int w = Screen.width, h = Screen.height;
    if (w == 0 || h == 0) {
        w = 640;
        h = 480;
    }
    if (width)
        *width = w;
    if (height)
        *height = h;
    return 0;
}

int QueryColorDepth()
{
    return Screen.depth ? Screen.depth : 16;
}

int QueryScreenState(int* width, int* height, int* depth)
{
    if (Screen.doubled) {
        if (width)
            *width = 320;
        if (height)
            *height = 240;
    } else {
        QueryScreenSize(width, height);
    }
    if (depth)
        *depth = QueryColorDepth();
    return 0;
}

int IsFullScreenMode() { return SystemState.settings.windowMode ? 0 : 1; }

static int vsyncWait = 1;
int SetVSyncWait(int flag) { vsyncWait = flag; return 0; }
int GetVSyncWait() { return vsyncWait; }
