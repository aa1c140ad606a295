// The Direct3D paths of the shape calls: untextured boxes, lines, triangles
// and circles in a colour value, and a caller-built list of textured vertices.
// Shape coordinates are not shifted by half a pixel: box edges and line ends
// lie on pixel centres.
#pragma once

#include "graphics/vertex_batch.h"

struct GraphRecord;

// Largest circle radius drawn; a larger (or negative) radius draws nothing
// and returns 0: the radius drives the midpoint loop, and no draw area comes
// near this size.
enum { CIRCLE_RADIUS_LIMIT = 0x100000 };

// Each returns 0, or -1 without a device. Right and bottom are exclusive.
int DrawBoxFillD3D(int x1, int y1, int x2, int y2, unsigned int colour);
int DrawBoxFrameD3D(int x1, int y1, int x2, int y2, unsigned int colour);
// A zero-length line returns 0 before anything else.
int DrawLineD3D(int x1, int y1, int x2, int y2, unsigned int colour);
int DrawTriangleD3D(int x1, int y1, int x2, int y2, int x3, int y3, unsigned int colour, int fill);
int G_D3D_DrawCircle(int cx, int cy, int r, unsigned int colour, int fill);
// graph may be null (untextured); vertices are complete kind-1 vertices.
// -1 also for no vertices or a primitive type outside 1 to 6.
int DrawPolygonD3D(const GraphRecord* graph, const VertexTextured* vertices, int count,
                   int primitiveType, int trans);

// The vertex colour of a shape: the colour value's r, g, b scaled by the
// current vertex colour's brightness, with its alpha.
unsigned int ShapeDiffuseColor(unsigned int colour);
