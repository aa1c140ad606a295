// A recording stand-in for the library's drawing calls, linked in with the
// linker's --wrap (DRAW_RECORD_WRAPS in tests/game/CMakeLists.txt): each draw
// is kept in order with the blend mode, parameter and brightness in force, so
// that a scene's drawing can be checked headless.
#pragma once

#include <string>
#include <vector>

enum DrawCallKind { DRAW_GRAPH, DRAW_STRETCHED, DRAW_BOX, DRAW_CIRCLE, DRAW_TRIANGLE, DRAW_STRING };

struct DrawCall {
    DrawCallKind kind;
    int v[6];              // graph: x, y; stretched: x1, y1, x2, y2; box: x1, y1, x2, y2;
                           // circle: x, y, r; triangle: three points; string: x, y
    int graph;             // graph handle (graphs), -1 otherwise
    int trans;             // transparency flag (graphs), fill flag (shapes)
    unsigned int colour;   // shapes and strings
    std::string text;      // strings
    int blendMode, blendParam;
    int brightR, brightG, brightB;
};

// Empties the recording and sets the recorded state to mode 0, parameter 255,
// white brightness.
void ResetDrawRecord();
std::vector<DrawCall>& DrawCalls();
// The graph draws (plain and stretched) of one handle, in order.
std::vector<DrawCall> DrawsOfGraph(int graph);
// The shape draws of one kind, in order.
std::vector<DrawCall> DrawsOfKind(DrawCallKind kind);
// The string widths the stand-in reports: 8 pixels a byte.
enum { RECORDED_CHAR_WIDTH = 8 };
// Calls of EndLibraryLocked seen.
int EndLibraryCount();
