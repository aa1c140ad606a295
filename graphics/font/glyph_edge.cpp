#include "graphics/font/glyph_edge.h"

// Round masks of edge sizes 2 to 4, row by row.
static const char* const EdgeMask2[5] = {".###.", "#####", "#####", "#####", ".###."};
static const char* const EdgeMask3[7] = {"...#...", ".#####.", ".#####.", "#######",
                                         ".#####.", ".#####.", "...#..."};
static const char* const EdgeMask4[9] = {"..#####..", ".#######.", "#########", "#########", "#########",
                                         "#########", "#########", ".#######.", "..#####.."};

int IsGlyphEdgeCell(int edgeSize, int dx, int dy)
{
    int e = edgeSize;
    if (e < 1 || dx < -e || dx > e || dy < -e || dy > e)
        return 0;
    if (e == 1)
        return (dx == 0) != (dy == 0) ? 1 : 0;
    if (e > 4)
        return 1;
    const char* const* mask = e == 2 ? EdgeMask2 : e == 3 ? EdgeMask3 : EdgeMask4;
    return mask[dy + e][dx + e] == '#' ? 1 : 0;
}

void BuildGlyphEdge(const uint8_t* body, uint8_t* edge, int width, int height, int pitch, int edgeSize,
                    GlyphEdgeMode mode)
{
    const int e = edgeSize;
    if (e < 1)
        return;
    // The neighbourhood as offsets (up to 9 x 9 for the masks; larger sizes
    // walk the whole square).
    int offsets[81][2];
    int offsetCount = 0;
    if (e <= 4)
        for (int dy = -e; dy <= e; dy++)
            for (int dx = -e; dx <= e; dx++)
                if (IsGlyphEdgeCell(e, dx, dy)) {
                    offsets[offsetCount][0] = dx;
                    offsets[offsetCount][1] = dy;
                    offsetCount++;
                }

    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            const int g = body[y * pitch + x];
            if (g == 0)
                continue;
            auto apply = [&](int px, int py) {
                if (px < 0 || py < 0 || px >= width || py >= height)
                    return;
                uint8_t& old = edge[py * pitch + px];
                switch (mode) {
                case GLYPH_EDGE_MARK:
                    old = 1;
                    break;
                case GLYPH_EDGE_COVERAGE:
                    old = (uint8_t)((256 - (16 - old) * (16 - g)) >> 4);
                    break;
                case GLYPH_EDGE_MAX_LEVEL:
                    if (g - 1 > old)
                        old = (uint8_t)(g - 1);
                    break;
                }
            };
            if (e <= 4) {
                for (int k = 0; k < offsetCount; k++)
                    apply(x + offsets[k][0], y + offsets[k][1]);
            } else {
                for (int py = y - e; py <= y + e; py++)
                    for (int px = x - e; px <= x + e; px++)
                        apply(px, py);
            }
        }
}
