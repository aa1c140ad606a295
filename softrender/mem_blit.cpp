// BlitMemImage: reads the images and the draw state and hands them to the
// platform-free frame.
#include "softrender/mem_blit.h"

#include "graphics/draw_state.h"
#include "image/mem_image.h"

namespace {

// False for a record without an image or body.
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
    out->runTableValid = body->runTableValid;
    out->runTable = body->runTable;
    // The table holds (width + 5) bytes a row, as the image layer allocates it.
    out->runTableSize = body->runTable && body->width > 0 && body->height > 0
                            ? ((size_t)body->width + 5) * (size_t)body->height
                            : 0;
    out->palette = body->paletteBlock;
    out->paletteCount = body->paletteCount;
    out->bodyPixels = (const uint8_t*)body->pixels;
    out->bodyWidth = body->width;
    out->bodyHeight = body->height;
    return true;
}

} // namespace

bool DescribeBlitCall(const MEMIMG* destination, const MEMIMG* source, const MEMIMG* blendImage,
                      BlitImageDesc* dst, BlitImageDesc* src, BlitImageDesc* blend, BlitDrawValues* draw)
{
    if (!Describe(destination, dst) || !Describe(source, src))
        return false;
    if (blendImage) {
        if (!Describe(blendImage, blend))
            return false;
        // The blend image is read one byte a pixel whatever its format.
        blend->bytesPerPixel = 1;
    }
    draw->mode = Draw.blendMode;
    draw->param = Draw.blendParam;
    draw->brightness = Draw.brightness;
    draw->area = BlitRect{(int32_t)Draw.area.left, (int32_t)Draw.area.top, (int32_t)Draw.area.right,
                          (int32_t)Draw.area.bottom};
    return true;
}

void BlitMemImage(MEMIMG* destination, const MEMIMG* source, int x, int y, int transFlag,
                  const MEMIMG* blendImage)
{
    BlitImageDesc dst, src, blend;
    BlitDrawValues draw;
    if (DescribeBlitCall(destination, source, blendImage, &dst, &src, &blend, &draw))
        PlanAndRunBlit(&dst, &src, x, y, transFlag, blendImage ? &blend : nullptr, &draw);
}
