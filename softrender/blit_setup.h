// The set-up that the one-to-one and the stretched blit share: the image
// checks, the parameter gates and the cut to the draw area. Positions are
// taken in 64 bits so that no rectangle, however far off the images, wraps.
#pragma once

#include <stdint.h>

#include "softrender/blit_kernels.h"

namespace blitsetup {

inline int64_t Clamp64(int64_t v, int64_t lo, int64_t hi)
{
    return v < lo ? lo : (v > hi ? hi : v);
}

// The bytes per pixel that the kernels step by for a source.
inline int32_t SourceStep(const BlitImageDesc* image)
{
    if (image->paletteFlag == 1)
        return 1;
    if (image->pixelKind == 1)
        return 4;
    return image->alphaFlag == 1 ? 4 : 2;
}

// Non-null pixels, a positive size and rows that do not overlap.
inline bool IsUsable(const BlitImageDesc* image, int32_t bytesPerPixel)
{
    return image->pixels && image->width > 0 && image->height > 0 && image->pitch > 0 &&
           (int64_t)image->width * bytesPerPixel <= image->pitch;
}

// What a call that passes the gates draws with.
struct BlitGates {
    int32_t kind;     // pixel kind of both images
    int32_t mode;     // mode 1 at p 255 arrives as 0
    int32_t param;
    int32_t dstBpp, srcBpp;
};

// The refusals both blits make: pixel kinds, the parameter gates, the bytes
// per pixel and the shapes of both images. False: the call draws nothing.
inline bool PassGates(const BlitImageDesc* dst, const BlitImageDesc* src, const BlitDrawValues* draw, BlitGates* g)
{
    if (src->pixelKind != dst->pixelKind || dst->paletteFlag == 1 || dst->alphaFlag == 1)
        return false;
    const int32_t kind = src->pixelKind;
    if (kind != 0 && kind != 1)
        return false;

    int32_t mode = draw->mode;
    const int32_t p = draw->param;
    if (p < 0 || p > 255)
        return false;
    if (mode == BLIT_MODE_ALPHA && p == 255)
        mode = BLIT_MODE_COPY;
    if ((mode == BLIT_MODE_ALPHA || mode == BLIT_MODE_ADD || mode == BLIT_MODE_SUB) && p == 0)
        return false;
    if (mode < 0 || (mode > BLIT_MODE_MUL && mode < BLIT_MODE_INVERT) || mode > BLIT_MODE_MUL_BLEND)
        return false;

    const int32_t dstBpp = kind == 1 ? 4 : 2;
    const int32_t srcBpp = SourceStep(src);
    if (dst->bytesPerPixel != dstBpp || src->bytesPerPixel != srcBpp)
        return false;
    if (!IsUsable(dst, dstBpp) || !IsUsable(src, srcBpp))
        return false;
    *g = BlitGates{kind, mode, p, dstBpp, srcBpp};
    return true;
}

// Right and bottom exclusive.
struct ClipBox {
    int64_t left, top, right, bottom;
};

// The rectangle cut to the draw area, itself kept within the destination.
// False when nothing of it is left.
inline bool ClipToArea(const BlitImageDesc* dst, const BlitDrawValues* draw, int64_t left, int64_t top,
                       int64_t right, int64_t bottom, ClipBox* out)
{
    const int64_t areaLeft = Clamp64(draw->area.left, 0, dst->width);
    const int64_t areaTop = Clamp64(draw->area.top, 0, dst->height);
    const int64_t areaRight = Clamp64(draw->area.right, areaLeft, dst->width);
    const int64_t areaBottom = Clamp64(draw->area.bottom, areaTop, dst->height);
    out->left = Clamp64(left, areaLeft, areaRight);
    out->top = Clamp64(top, areaTop, areaBottom);
    out->right = Clamp64(right, out->left, areaRight);
    out->bottom = Clamp64(bottom, out->top, areaBottom);
    return out->right > out->left && out->bottom > out->top;
}

} // namespace blitsetup
