#include "graphics/draw_calls.h"

// Stand-ins until graphs are drawn.
int DrawGraphAt(int, int, int, int) { return -1; }
int DrawGraphStretched(int, int, int, int, int, int) { return -1; }
int DrawGraphStretchedF(float, float, float, float, int, int) { return -1; }
int DrawGraphMirrored(int, int, int, int) { return -1; }
int DrawGraphPart(int, int, int, int, int, int, int, int, int) { return -1; }
int DrawGraphQuad(float, float, float, float, float, float, float, float, int, int) { return -1; }
int DrawGraphFromFile(int, int, const char*, int) { return -1; }
int SubtractEmulationNeeded() { return 0; }
int BeginSubtractEmulation(const RECT*) { return 0; }
int EndSubtractEmulation(const RECT*) { return 0; }
