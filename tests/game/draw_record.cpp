#include "tests/game/draw_record.h"

#include <stdarg.h>
#include <stdio.h>

#include "tests/support/test_support.h"

namespace {

std::vector<DrawCall> calls;
int blendMode, blendParam = 255;
int brightR = 255, brightG = 255, brightB = 255;
int endLibraryCalls;

void Record(DrawCallKind kind, std::initializer_list<int> v, int graph, int trans, unsigned int colour,
            const char* text = "")
{
    DrawCall c{};
    c.kind = kind;
    int i = 0;
    for (int value : v)
        c.v[i++] = value;
    c.graph = graph;
    c.trans = trans;
    c.colour = colour;
    c.text = text;
    c.blendMode = blendMode;
    c.blendParam = blendParam;
    c.brightR = brightR;
    c.brightG = brightG;
    c.brightB = brightB;
    calls.push_back(c);
}

} // namespace

int WrapDrawGraphAt(int x, int y, int graph, int trans) __asm__(WRAPPED_SYMBOL("_Z11DrawGraphAtiiii"));
int WrapDrawGraphStretched(int x1, int y1, int x2, int y2, int graph, int trans)
    __asm__(WRAPPED_SYMBOL("_Z18DrawGraphStretchediiiiii"));
int WrapDrawBoxShape(int x1, int y1, int x2, int y2, unsigned int colour, int fill)
    __asm__(WRAPPED_SYMBOL("_Z12DrawBoxShapeiiiiji"));
int WrapDrawCircleShape(int x, int y, int r, unsigned int colour, int fill)
    __asm__(WRAPPED_SYMBOL("_Z15DrawCircleShapeiiiji"));
int WrapDrawTriangleShape(int x1, int y1, int x2, int y2, int x3, int y3, unsigned int colour, int fill)
    __asm__(WRAPPED_SYMBOL("_Z17DrawTriangleShapeiiiiiiji"));
int WrapDrawStringDefault(int x, int y, const char* text, unsigned int colour, unsigned int edge)
    __asm__(WRAPPED_SYMBOL("_Z17DrawStringDefaultiiPKcjj"));
int WrapDrawFormatStringDefault(int x, int y, unsigned int colour, const char* format, ...)
    __asm__(WRAPPED_SYMBOL("_Z23DrawFormatStringDefaultiijPKcz"));
int WrapGetStringWidthDefault(const char* text, int length, int vertical)
    __asm__(WRAPPED_SYMBOL("_Z21GetStringWidthDefaultPKcii"));
int WrapSelectBlendMode(int mode, int param) __asm__(WRAPPED_SYMBOL("_Z15SelectBlendModeii"));
int WrapSetBrightness(int r, int g, int b) __asm__(WRAPPED_SYMBOL("_Z13SetBrightnessiii"));
int WrapEndLibraryLocked() __asm__(WRAPPED_SYMBOL("_Z16EndLibraryLockedv"));

int WrapDrawGraphAt(int x, int y, int graph, int trans)
{
    Record(DRAW_GRAPH, {x, y}, graph, trans, 0);
    return 0;
}

int WrapDrawGraphStretched(int x1, int y1, int x2, int y2, int graph, int trans)
{
    Record(DRAW_STRETCHED, {x1, y1, x2, y2}, graph, trans, 0);
    return 0;
}

int WrapDrawBoxShape(int x1, int y1, int x2, int y2, unsigned int colour, int fill)
{
    Record(DRAW_BOX, {x1, y1, x2, y2}, -1, fill, colour);
    return 0;
}

int WrapDrawCircleShape(int x, int y, int r, unsigned int colour, int fill)
{
    Record(DRAW_CIRCLE, {x, y, r}, -1, fill, colour);
    return 0;
}

int WrapDrawTriangleShape(int x1, int y1, int x2, int y2, int x3, int y3, unsigned int colour, int fill)
{
    Record(DRAW_TRIANGLE, {x1, y1, x2, y2, x3, y3}, -1, fill, colour);
    return 0;
}

int WrapDrawStringDefault(int x, int y, const char* text, unsigned int colour, unsigned int)
{
    Record(DRAW_STRING, {x, y}, -1, 0, colour, text);
    return 0;
}

int WrapDrawFormatStringDefault(int x, int y, unsigned int colour, const char* format, ...)
{
    char text[2048];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    Record(DRAW_STRING, {x, y}, -1, 0, colour, text);
    return 0;
}

int WrapGetStringWidthDefault(const char*, int length, int)
{
    return length * RECORDED_CHAR_WIDTH;
}

int WrapSelectBlendMode(int mode, int param)
{
    blendMode = mode;
    blendParam = param;
    return 0;
}

int WrapSetBrightness(int r, int g, int b)
{
    brightR = r;
    brightG = g;
    brightB = b;
    return 0;
}

int WrapEndLibraryLocked()
{
    endLibraryCalls++;
    return 0;
}

void ResetDrawRecord()
{
    calls.clear();
    blendMode = 0;
    blendParam = 255;
    brightR = brightG = brightB = 255;
    endLibraryCalls = 0;
}

std::vector<DrawCall>& DrawCalls() { return calls; }

std::vector<DrawCall> DrawsOfGraph(int graph)
{
    std::vector<DrawCall> out;
    for (const DrawCall& c : calls)
        if ((c.kind == DRAW_GRAPH || c.kind == DRAW_STRETCHED) && c.graph == graph)
            out.push_back(c);
    return out;
}

std::vector<DrawCall> DrawsOfKind(DrawCallKind kind)
{
    std::vector<DrawCall> out;
    for (const DrawCall& c : calls)
        if (c.kind == kind)
            out.push_back(c);
    return out;
}

int EndLibraryCount() { return endLibraryCalls; }
