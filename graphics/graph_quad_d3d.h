// The Direct3D paths of drawing a graph into four free corners. Without a
// blend graph every tile gets its own corners by bilinear interpolation and
// is drawn as one quad (parallelograms) or as an 8 x 8 vertex grid; with a
// blend graph the graph is split into two affine triangles.
#pragma once

struct GraphRecord;
struct GraphTileEntry;
struct VertexTextured;

// Corners top-left (x1, y1), top-right (x2, y2), bottom-left (x3, y3),
// bottom-right (x4, y4). 0, or -1 without a device.
int DrawGraphQuadD3D(const GraphRecord* graph, int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4,
                     int trans);
int DrawGraphQuadSplit(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                       const GraphRecord* graph, int trans);
// One tile into four corners (same order).
void DrawTileQuadGrid(const GraphTileEntry* tile, float x1, float y1, float x2, float y2, float x3, float y3,
                      float x4, float y4);

// Largest grid DrawGridStrip takes: one row pair's indices must fit the
// index buffer, and every vertex must have a 16-bit index.
enum { GRID_STRIP_INDEX_MAX = 1000, GRID_STRIP_COLUMN_MAX = (GRID_STRIP_INDEX_MAX - 2) / 2 };
// A row-major grid of kind-1 vertices as indexed triangle strips: 0; -1 for
// fewer than 2 columns or rows or a grid too large for the index buffer; 0
// without a device.
int DrawGridStrip(int columns, const VertexTextured* vertices, int rows);
