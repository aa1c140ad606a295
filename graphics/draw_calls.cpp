#include "graphics/draw_calls.h"

// Stand-ins until graphs and shapes are drawn.
int DrawGraphAt(int, int, int, int) { return -1; }
int DrawLineShape(int, int, int, int, unsigned int, int) { return 0; }
