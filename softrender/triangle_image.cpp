// RasterizeMemImageTriangle: reads the images and the draw state and hands
// them to the platform-free triangle.
#include "softrender/triangle_raster.h"

#include "image/mem_image.h"
#include "softrender/mem_blit.h"

int RasterizeMemImageTriangle(MEMIMG* destination, const MEMIMG* source, const SoftTriangleVertex* vertices,
                              int trans, const MEMIMG* blendImage, uint32_t color)
{
    // The blit's description reads a source too: a flat triangle passes the
    // destination there and drops it.
    BlitImageDesc dst, src, blend;
    BlitDrawValues draw;
    // Nor is a blend image read on that path.
    if (!source)
        blendImage = nullptr;
    if (!DescribeBlitCall(destination, source ? source : destination, blendImage, &dst, &src, &blend, &draw))
        return -1;
    return PlanAndRunTriangle(&dst, source ? &src : nullptr, vertices, trans, blendImage ? &blend : nullptr, color,
                              &draw);
}
