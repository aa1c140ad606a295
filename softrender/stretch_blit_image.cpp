// StretchBlitMemImage: reads the images and the draw state and hands them
// to the platform-free stretched blit, or a rectangle of the source's size in
// natural order to BlitMemImage.
#include "softrender/stretch_blit.h"

#include "graphics/draw_state.h"
#include "image/mem_image.h"
#include "softrender/mem_blit.h"

namespace {

bool Describe(const MEMIMG* image, BlitImageDesc* out)
{
    if (!image || !image->body || !image->body->format)
        return false;
    const MemImgBody* body = image->body;
    *out = BlitImageDesc{};
    out->width = image->width;
    out->height = image->height;
    out->pixels = (uint8_t*)image->pixels;
    out->pitch = body->pitch;
    out->bytesPerPixel = body->format->bytesPerPixel;
    out->pixelKind = body->pixelKind;
    out->paletteFlag = body->paletteFlag;
    out->alphaFlag = body->alphaFlag;
    out->transColor = body->transColor;
    out->palette = body->paletteBlock;
    out->paletteCount = body->paletteCount;
    out->bodyPixels = (const uint8_t*)body->pixels;
    out->bodyWidth = body->width;
    out->bodyHeight = body->height;
    return true;
}

} // namespace

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
    if (!Describe(destination, &dst) || !Describe(source, &src))
        return;
    const bool withBlend = blendImage != nullptr;
    if (withBlend && !Describe(blendImage, &blend))
        return;
    if (withBlend)
        blend.bytesPerPixel = 1;
    BlitDrawValues draw;
    draw.mode = Draw.blendMode;
    draw.param = Draw.blendParam;
    draw.brightness = Draw.brightness;
    draw.area = BlitRect{(int32_t)Draw.area.left, (int32_t)Draw.area.top, (int32_t)Draw.area.right,
                         (int32_t)Draw.area.bottom};
    PlanAndRunStretch(&dst, &src, rect, transFlag, withBlend ? &blend : nullptr, &draw);
}
