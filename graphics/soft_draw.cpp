#include "graphics/soft_draw.h"

// Stand-ins until the software renderer draws graphs: nothing is drawn.
int SoftDrawGraph(int, int, const GraphRecord*, int) { return -1; }
int SoftDrawGraphStretched(int, int, int, int, const GraphRecord*, int) { return -1; }
int SoftDrawGraphQuadF(float, float, float, float, float, float, float, float, const GraphRecord*, int)
{
    return -1;
}
