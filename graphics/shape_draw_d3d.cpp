#include "graphics/shape_draw_d3d.h"

// Stand-ins until the shape paths are drawn.
int DrawBoxFillD3D(int, int, int, int, unsigned int) { return 0; }
int DrawBoxFrameD3D(int, int, int, int, unsigned int) { return 0; }
int DrawLineD3D(int, int, int, int, unsigned int) { return 0; }
int DrawTriangleD3D(int, int, int, int, int, int, unsigned int, int) { return 0; }
int G_D3D_DrawCircle(int, int, int, unsigned int, int) { return 0; }
int DrawPolygonD3D(const GraphRecord*, const VertexTextured*, int, int, int) { return 0; }
unsigned int ShapeDiffuseColor(unsigned int colour) { return colour; }
