// Stand-ins until the textured span loops exist: textured triangles draw
// nothing. The 32-bit and 16-bit texel files replace this file.
#include "softrender/triangle_raster.h"

int RunTexturedSpans32(const TriangleWalk&, const TriangleTexture&)
{
    return 0;
}
