// The blit frame without the platform: refusals, clipping, pointers and row
// skips, path and family choice and the parameter gates, all decided once
// per call. Positions and sizes are computed in 64 bits so that no clip,
// however far off the images, forms a pointer outside them.
#include "softrender/blit_kernels.h"

#include <string.h>

#include "image/soft_blend_tables.h"
#include "softrender/blit_setup.h"

using namespace blitsetup;

namespace {

// The palette scratch copy of the frame (not reentrant, as the blit).
uint32_t PaletteScratch[256];

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
    BlitGates g;
    if (!PassGates(dst, src, draw, &g))
        return;
    const int32_t kind = g.kind, mode = g.mode, p = g.param, dstBpp = g.dstBpp, srcBpp = g.srcBpp;

    ClipBox box;
    if (!ClipToArea(dst, draw, x, y, (int64_t)x + src->width, (int64_t)y + src->height, &box))
        return;
    const int64_t left = box.left, top = box.top;
    const int64_t w = box.right - left;
    const int64_t h = box.bottom - top;
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
