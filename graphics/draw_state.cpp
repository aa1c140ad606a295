#include "graphics/draw_state.h"

// Stand-in until the draw state is built: the requested area is remembered.
static RECT requestedArea;

int SetClipArea(int x1, int y1, int x2, int y2)
{
    SetRect(&requestedArea, x1, y1, x2, y2);
    return 0;
}

int GetRequestedClipArea(RECT* area)
{
    *area = requestedArea;
    return 0;
}
