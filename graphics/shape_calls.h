// The public shape calls: boxes, circles, triangles and lines in a colour value.
#pragma once

// A one-pixel line, or a thick one when thickness > 1, in a colour value.
int DrawLineShape(int x1, int y1, int x2, int y2, unsigned int colour, int thickness);
