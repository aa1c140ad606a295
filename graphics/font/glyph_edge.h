// The edge (outline) around a glyph, built from its body levels.
#pragma once

#include <stdint.h>

// How a body pixel's neighbourhood updates the edge layer.
enum GlyphEdgeMode {
    GLYPH_EDGE_MARK = 0,      // bitmap fonts: 1 on every neighbourhood pixel
    GLYPH_EDGE_COVERAGE = 1,  // anti-aliased texture: (256 - (16 - old) x (16 - g)) >> 4
    GLYPH_EDGE_MAX_LEVEL = 2, // anti-aliased memory: the larger of old and g - 1
};

// 1 when (dx, dy) from a body pixel is part of the edge of the given size:
// the four neighbours for 1, fixed round masks for 2 to 4, the full square
// above 4.
int IsGlyphEdgeCell(int edgeSize, int dx, int dy);
// For every body pixel with a level above 0, updates the edge layer over its
// neighbourhood (cut to the width x height area). Both layers hold one byte
// a pixel with the given pitch.
void BuildGlyphEdge(const uint8_t* body, uint8_t* edge, int width, int height, int pitch, int edgeSize,
                    GlyphEdgeMode mode);
