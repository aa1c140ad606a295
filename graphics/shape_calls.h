// The public shape calls: boxes, circles, triangles and lines in a colour
// value (ColorFromRGB), and the vertex-list draw under the thick line. Each
// draws with Direct3D when it is in use, else through the software renderer.
#pragma once

#include <stdint.h>

// Results: the Direct3D path's, or 0 on the software path and with an empty
// draw area. Right and bottom of boxes are exclusive.
int FillBoxShape(int x1, int y1, int x2, int y2, unsigned int colour);
int FrameBoxShape(int x1, int y1, int x2, int y2, unsigned int colour);
int DrawBoxShape(int x1, int y1, int x2, int y2, unsigned int colour, int fill);
// Nothing (0) for r < 0.
int DrawCircleShape(int x, int y, int r, unsigned int colour, int fill);
int DrawTriangleShape(int x1, int y1, int x2, int y2, int x3, int y3, unsigned int colour, int fill);
// A one-pixel line, or a thick one when thickness > 1, in a colour value.
int DrawLineShape(int x1, int y1, int x2, int y2, unsigned int colour, int thickness);

// One vertex of DrawGraphPolygon.
struct PolygonVertex {
    float x, y, u, v;
    uint8_t b, g, r, a;
};
static_assert(sizeof(PolygonVertex) == 20, "a polygon vertex is four floats and four bytes");

enum { POLYGON_NO_GRAPH = -5 };

// count vertices as one primitive list of a D3DPRIMITIVETYPE, textured with
// the graph or untextured (POLYGON_NO_GRAPH); scaleUV maps 0..1 onto the
// graph's piece of its texture. 0, or -1 for an invalid graph, bad vertices
// or no memory. Nothing is drawn without a texture path.
int DrawGraphPolygon(const PolygonVertex* vertices, int count, int primitive, int graph, int trans,
                     int scaleUV);
