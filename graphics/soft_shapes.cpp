#include "graphics/soft_shapes.h"

// Stand-ins until the software renderer draws shapes.
int SoftFillBox(int, int, int, int, unsigned int) { return 0; }
int SoftFrameBox(int, int, int, int, unsigned int) { return 0; }
int SoftTriangle(int, int, int, int, int, int, unsigned int, int) { return 0; }
int SoftQuad(int, int, int, int, int, int, int, int, unsigned int, int) { return 0; }
