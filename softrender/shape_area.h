// What every shape of the rasteriser reads first: its destination's pixel
// layout and the rectangle it may write.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "graphics/draw_state.h"
#include "image/mem_image.h"

// Destination pixel layout as the shapes address it.
struct ShapeTarget {
    uint8_t* pixels;          // top-left pixel
    intptr_t pitch;
    int kind;                 // body pixel kind
    int bytesPerPixel;        // from the body's colour format
    RECT area;                // draw area within the image; may be empty
};

// False for a destination without an image. The draw area is cut to the
// image as well, so that no shape writes outside its pixels even when the
// area was set for a larger target.
inline bool GetShapeTarget(const MEMIMG* destination, ShapeTarget* t)
{
    if (!destination || !IsMemImageValid(destination) || !destination->pixels)
        return false;
    const MemImgBody* body = destination->body;
    t->pixels = (uint8_t*)destination->pixels;
    t->pitch = body->pitch;
    t->kind = body->pixelKind;
    t->bytesPerPixel = body->format ? body->format->bytesPerPixel : 0;
    RECT a = Draw.area;
    a.left = a.left > 0 ? a.left : 0;
    a.top = a.top > 0 ? a.top : 0;
    a.right = a.right < destination->width ? a.right : destination->width;
    a.bottom = a.bottom < destination->height ? a.bottom : destination->height;
    if (a.right < a.left)
        a.right = a.left;
    if (a.bottom < a.top)
        a.bottom = a.top;
    t->area = a;
    return true;
}

inline bool IsShapeAreaEmpty(const RECT& a) { return a.right <= a.left || a.bottom <= a.top; }

inline uint8_t* ShapePixel(const ShapeTarget& t, int32_t x, int32_t y)
{
    return t.pixels + (intptr_t)y * t.pitch + (intptr_t)x * t.bytesPerPixel;
}
