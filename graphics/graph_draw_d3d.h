// The Direct3D paths of drawing a graph at a position and stretched into a
// rectangle: one quad of two triangles per texture tile into the vertex
// batch, tiles crossing the draw area cut at its edges.
#pragma once

struct GraphRecord;

// x, y decide the clipping; xf, yf place the graph. intPos 1 keeps the
// picture's transparency kinds under linear filtering. 0, or -1 without a
// device.
int DrawGraphD3D(const GraphRecord* graph, int x, int y, float xf, float yf, int trans, int intPos);
// The float rectangle places the graph (xf2 < xf1 or yf2 < yf1 mirrors); the
// integer one, ordered, decides the clipping. -1 without a device or for an
// integer rectangle of no width or height.
int DrawGraphStretchedD3D(int x1, int y1, int x2, int y2, float xf1, float yf1, float xf2, float yf2,
                          const GraphRecord* graph, int trans, int intPos);
