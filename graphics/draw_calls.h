// The public graph drawing calls and the subtractive-blend emulation that
// every drawing call (graphs and shapes) wraps its draw in when the device
// cannot subtract.
#pragma once

#include <windows.h>

// Graph calls: trans = 1 skips transparent pixels. Results: the draw's
// result, 0 with an empty draw area, -1 for an invalid graph.
// -1 also before the library has started.
int DrawGraphAt(int x, int y, int graph, int trans);
// Into the rectangle (x1, y1)-(x2, y2); x1 > x2 or y1 > y2 mirrors.
int DrawGraphStretched(int x1, int y1, int x2, int y2, int graph, int trans);
int DrawGraphStretchedF(float x1, float y1, float x2, float y2, int graph, int trans);
// Left-right mirrored at (x, y).
int DrawGraphMirrored(int x, int y, int graph, int trans);
// The rectangle (srcX, srcY, width, height) of the graph at (x, y); the
// draw area is narrowed for the draw and always restored.
int DrawGraphPart(int x, int y, int srcX, int srcY, int width, int height, int graph, int trans, int mirror);
// Into four corners: top-left, top-right, bottom-right, bottom-left.
int DrawGraphQuad(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                  int graph, int trans);
// Loads the file into a temporary graph, draws it at (x, y) and deletes it:
// 0, or -1 when loading failed.
int DrawGraphFromFile(int x, int y, const char* path, int trans);

// The rectangle (srcX, srcY, w, h) of the graph stretched into (x1, y1)-(x2, y2)
// through a derived graph made and freed within the call: 0, or -1 when the
// rectangle cannot be derived.
int DrawGraphPartStretched(float x1, float y1, float x2, float y2, int srcX, int srcY, int w, int h, int graph,
                           int trans);

// 1 when draws in blend mode 3 must be wrapped in the emulation below:
// Direct3D is in use and the device has no blend-operation capability.
int SubtractEmulationNeeded();
// Destination minus source without BLENDOP: Begin inverts the rectangle and
// switches to additive blending, End inverts it back and returns to mode 3.
int BeginSubtractEmulation(const RECT* rect);
int EndSubtractEmulation(const RECT* rect);
