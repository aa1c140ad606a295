// The blit frame without the platform: refusals, clipping, pointers and row
// skips, path and family choice and the parameter gates, all decided once
// per call. Positions and sizes are computed in 64 bits so that no clip,
// however far off the images, forms a pointer outside them.
#include "softrender/blit_kernels.h"

#include <string.h>

#include "image/soft_blend_tables.h"

namespace {

// The palette scratch copy of the frame (not reentrant, as the blit).
uint32_t PaletteScratch[256];

int64_t Clamp64(int64_t v, int64_t lo, int64_t hi)
{
    return v < lo ? lo : (v > hi ? hi : v);
}

// The bytes per pixel that the kernels step by for a source.
int32_t SourceStep(const BlitImageDesc* image)
{
    if (image->paletteFlag == 1)
        return 1;
    if (image->pixelKind == 1)
        return 4;
    return image->alphaFlag == 1 ? 4 : 2;
}

// Non-null pixels, a positive size and rows that do not overlap.
bool IsUsable(const BlitImageDesc* image, int32_t bytesPerPixel)
{
    return image->pixels && image->width > 0 && image->height > 0 && image->pitch > 0 &&
           (int64_t)image->width * bytesPerPixel <= image->pitch;
}

// A view's whole body: the run table describes the body, not a part of it.
bool IsWholeBody(const BlitImageDesc* image)
{
    return image->pixels == image->bodyPixels && image->width == image->bodyWidth &&
           image->height == image->bodyHeight;
}

} // namespace

void PlanAndRunBlit(const BlitImageDesc* dst, const BlitImageDesc* src, int32_t x, int32_t y, int32_t transFlag,
                    const BlitImageDesc* blend, const BlitDrawValues* draw)
{
    if (!dst || !src || !draw)
        return;
    if (src->pixelKind != dst->pixelKind || dst->paletteFlag == 1 || dst->alphaFlag == 1)
        return;
    const int32_t kind = src->pixelKind;
    if (kind != 0 && kind != 1)
        return;

    // Parameter gates.
    int32_t mode = draw->mode;
    const int32_t p = draw->param;
    if (p < 0 || p > 255)
        return;
    if (mode == BLIT_MODE_ALPHA && p == 255)
        mode = BLIT_MODE_COPY;
    if ((mode == BLIT_MODE_ALPHA || mode == BLIT_MODE_ADD || mode == BLIT_MODE_SUB) && p == 0)
        return;
    if (mode < 0 || (mode > BLIT_MODE_MUL && mode < BLIT_MODE_INVERT) || mode > BLIT_MODE_MUL_BLEND)
        return;

    const int32_t dstBpp = kind == 1 ? 4 : 2;
    const int32_t srcBpp = SourceStep(src);
    if (dst->bytesPerPixel != dstBpp || src->bytesPerPixel != srcBpp)
        return;
    if (!IsUsable(dst, dstBpp) || !IsUsable(src, srcBpp))
        return;

    // Clip against the draw area, itself kept within the destination.
    const int64_t areaLeft = Clamp64(draw->area.left, 0, dst->width);
    const int64_t areaTop = Clamp64(draw->area.top, 0, dst->height);
    const int64_t areaRight = Clamp64(draw->area.right, areaLeft, dst->width);
    const int64_t areaBottom = Clamp64(draw->area.bottom, areaTop, dst->height);
    const int64_t left = Clamp64(x, areaLeft, areaRight);
    const int64_t top = Clamp64(y, areaTop, areaBottom);
    const int64_t right = Clamp64((int64_t)x + src->width, left, areaRight);
    const int64_t bottom = Clamp64((int64_t)y + src->height, top, areaBottom);
    const int64_t w = right - left;
    const int64_t h = bottom - top;
    if (w <= 0 || h <= 0)
        return;
    const int64_t ox = left - x;
    const int64_t oy = top - y;

    BlitJob job = {};
    job.w = (int32_t)w;
    job.h = (int32_t)h;
    job.dstBpp = dstBpp;
    job.srcBpp = srcBpp;
    job.dst = dst->pixels + top * dst->pitch + left * dstBpp;
    job.dstSkip = (ptrdiff_t)dst->pitch - (ptrdiff_t)w * dstBpp;
    job.src = src->pixels + oy * src->pitch + ox * srcBpp;
    job.srcSkip = (ptrdiff_t)src->pitch - (ptrdiff_t)w * srcBpp;
    if (blend) {
        // The blend image is read in source coordinates: it must cover them.
        if (!IsUsable(blend, 1) || ox + w > blend->width || oy + h > blend->height)
            return;
        job.blend = blend->pixels + oy * blend->pitch + ox;
        job.blendSkip = (ptrdiff_t)blend->pitch - (ptrdiff_t)w;
    }

    job.mode = mode;
    job.param = p;
    job.brightness = draw->brightness;
    job.brightActive = (draw->brightness & 0xFFFFFF) != 0xFFFFFF;
    job.brR = (draw->brightness >> 16) & 255;
    job.brG = (draw->brightness >> 8) & 255;
    job.brB = draw->brightness & 255;
    job.mulP = MulDiv255Table[p];
    job.mulR = MulDiv255Table[job.brR];
    job.mulG = MulDiv255Table[job.brG];
    job.mulB = MulDiv255Table[job.brB];
    job.signedP = SignedMulDiv255Table[p];
    job.lerpP = Lerp64Table[p >> 2];
    job.ramp = BlendGraphRamp;
    job.transFlag = transFlag;
    job.transColor = src->transColor;

    const bool palette = src->paletteFlag == 1;
    job.alphaSource = !palette && src->alphaFlag == 1;
    if (palette) {
        int32_t count = src->palette ? src->paletteCount : 0;
        count = count < 0 ? 0 : (count > 256 ? 256 : count);
        if (count > 0)
            memcpy(PaletteScratch, src->palette, (size_t)count * (kind == 1 ? 4 : 2));
        job.palette = PaletteScratch;
        job.bodyPalette = src->palette ? src->palette : PaletteScratch;
        job.paletteCount = count;
    }

    // The run table describes the whole body, so only an unclipped draw of
    // the whole body may walk it.
    const bool runPath = transFlag == 1 && src->runTableValid == 1 && src->runTable && src->runTableSize > 0 &&
                         w == src->width && h == src->height && IsWholeBody(src);
    if (runPath) {
        job.runTable = src->runTable;
        job.runTableEnd = src->runTable + src->runTableSize;
    }

    static const BlitFamily families[2][2][2] = {
        // [run path][pixel kind][palette]
        {{BlitNormal16Direct, BlitNormal16Palette}, {BlitNormal32Direct, BlitNormal32Palette}},
        {{BlitRun16Direct, BlitRun16Palette}, {BlitRun32Direct, BlitRun32Palette}},
    };
    families[runPath][kind][palette](&job);
}
