#include "graphics/shape_calls.h"

// Stand-in until shapes are drawn.
int DrawLineShape(int, int, int, int, unsigned int, int) { return 0; }
