// The public drawing calls.
#pragma once

int DrawGraphAt(int x, int y, int graph, int trans);
// A one-pixel line, or a thick one when thickness > 1, in a colour value.
int DrawLineShape(int x1, int y1, int x2, int y2, unsigned int colour, int thickness);
