// StretchBlitMemImage: reads the images and the draw state and hands them
// to the platform-free stretched blit, or a rectangle of the source's size in
// natural order to BlitMemImage.
#include "softrender/stretch_blit.h"

#include "image/mem_image.h"
#include "softrender/mem_blit.h"

void StretchBlitMemImage(MEMIMG* destination, const MEMIMG* source, const int32_t* rect, int transFlag,
                         const MEMIMG* blendImage)
{
    if (!rect)
        return;
    const bool mirrored = rect[0] > rect[2] || rect[1] > rect[3];
    // The source's size in natural order: the one-to-one blit, with its
    // run-table path.
    if (source && !mirrored && (int64_t)rect[2] - rect[0] == source->width &&
        (int64_t)rect[3] - rect[1] == source->height) {
        BlitMemImage(destination, source, rect[0], rect[1], transFlag, blendImage);
        return;
    }
    BlitImageDesc dst, src, blend;
    BlitDrawValues draw;
    if (DescribeBlitCall(destination, source, blendImage, &dst, &src, &blend, &draw))
        PlanAndRunStretch(&dst, &src, rect, transFlag, blendImage ? &blend : nullptr, &draw);
}
