#include "graphics/draw_calls.h"

// Stand-in until graphs are drawn.
int DrawGraphAt(int, int, int, int) { return -1; }
