// The software bridges of the shape calls: boxes, triangles and quads handed
// to the memory-image shape rasteriser on the current software draw target.
#pragma once

// Each returns 0.
int SoftFillBox(int x1, int y1, int x2, int y2, unsigned int colour);
int SoftFrameBox(int x1, int y1, int x2, int y2, unsigned int colour);
int SoftTriangle(int x1, int y1, int x2, int y2, int x3, int y3, unsigned int colour, int fill);
// Corners in the thick line's order: p1 + n, p2 + n, p1 - n, p2 - n.
int SoftQuad(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4, unsigned int colour, int fill);
