// The software draw bridges: graph draws handed to the memory-image renderer
// when Direct3D is not in use or a graph has no textures.
#pragma once

struct GraphRecord;
struct MEMIMG;

// The blend graph's memory image, or null when none is set.
const MEMIMG* SoftBlendImage();

int SoftDrawGraph(int x, int y, const GraphRecord* graph, int trans);
// x1 > x2 or y1 > y2 mirrors.
int SoftDrawGraphStretched(int x1, int y1, int x2, int y2, const GraphRecord* graph, int trans);
// The graph onto the quad of corners top-left, top-right, bottom-left,
// bottom-right, drawn as the triangles (1, 2, 3) and (2, 3, 4).
int SoftDrawGraphQuad(const GraphRecord* graph, int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4,
                      int trans);
// Corners top-left, top-right, bottom-left, bottom-right, each truncated
// toward zero.
int SoftDrawGraphQuadF(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                       const GraphRecord* graph, int trans);
