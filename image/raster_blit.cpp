#include "image/raster_blit.h"

#include "image/convert.h"
#include "image/dxt.h"

int BltRasterImage(int sourceX, int sourceY, int width, int height, int destinationX, int destinationY,
                   RasterImage* source, RasterImage* destination)
{
    if (DecompressDxtRasterImage(source) != 0 || DecompressDxtRasterImage(destination) != 0)
        return -1;
    // 64-bit so that no argument can overflow the clipping.
    int64_t sx = sourceX, sy = sourceY, w = width, h = height, dx = destinationX, dy = destinationY;
    if (sx < 0) {
        dx -= sx;
        w += sx;
        sx = 0;
    }
    if (sy < 0) {
        dy -= sy;
        h += sy;
        sy = 0;
    }
    if (dx < 0) {
        sx -= dx;
        w += dx;
        dx = 0;
    }
    if (dy < 0) {
        sy -= dy;
        h += dy;
        dy = 0;
    }
    if (dx + w > destination->width)
        w = destination->width - dx;
    if (sx + w > source->width)
        w = source->width - sx;
    if (dy + h > destination->height)
        h = destination->height - dy;
    if (sy + h > source->height)
        h = source->height - sy;
    if (w < 1 || h < 1)
        return 0;
    if (!source->pixels || !destination->pixels)
        return -1;
    ConvertRect rect = {(int32_t)sx, (int32_t)sy, (int32_t)(sx + w), (int32_t)(sy + h)};
    ConvertImageBlt(destination->pixels, destination->pitch, &destination->format, source->pixels, source->pitch,
                    &source->format, nullptr, 0, nullptr, (int)dx, (int)dy, &rect, 0, 0, 0, 0, 0, 0, 0, 1);
    return 0;
}

static bool ValidRect(const RasterImage* image, int x1, int y1, int x2, int y2)
{
    return x2 > x1 && y2 > y1 && x1 >= 0 && x1 < image->width && y1 >= 0 && y1 < image->height && x2 >= 1 &&
           x2 <= image->width && y2 >= 1 && y2 <= image->height;
}

int ScaleBltRasterImage(int sourceX1, int sourceY1, int sourceX2, int sourceY2, RasterImage* source,
                        int destinationX1, int destinationY1, int destinationX2, int destinationY2,
                        RasterImage* destination, int bilinear)
{
    if (!ValidRect(source, sourceX1, sourceY1, sourceX2, sourceY2) ||
        !ValidRect(destination, destinationX1, destinationY1, destinationX2, destinationY2))
        return -1;
    int sw = sourceX2 - sourceX1, sh = sourceY2 - sourceY1;
    int dw = destinationX2 - destinationX1, dh = destinationY2 - destinationY1;
    if (sw == dw && sh == dh)
        return BltRasterImage(sourceX1, sourceY1, sw, sh, destinationX1, destinationY1, source, destination);

    // 16.16 fixed point, in 64 bits so that wide images do not overflow.
    uint64_t stepX = ((uint64_t)sw << 16) / (uint64_t)dw;
    uint64_t stepY = ((uint64_t)sh << 16) / (uint64_t)dh;
    for (int j = 0; j < dh; j++) {
        uint64_t py = ((uint64_t)sourceY1 << 16) + (uint64_t)j * stepY;
        int y0 = (int)(py >> 16);
        uint32_t ty = (uint32_t)(py & 0xFFFF);
        for (int i = 0; i < dw; i++) {
            uint64_t px = ((uint64_t)sourceX1 << 16) + (uint64_t)i * stepX;
            int x0 = (int)(px >> 16);
            uint32_t c[4] = {0, 0, 0, 0};
            if (bilinear != 1) {
                GetRasterImagePixel(source, x0, y0, &c[0], &c[1], &c[2], &c[3]);
            } else {
                uint32_t tx = (uint32_t)(px & 0xFFFF);
                // The neighbours past the last column or row repeat it.
                int x1 = x0 + 1 < source->width ? x0 + 1 : x0;
                int y1 = y0 + 1 < source->height ? y0 + 1 : y0;
                const uint32_t weight[4] = {
                    ((65535 - tx) * (65535 - ty)) >> 16,
                    (tx * (65535 - ty)) >> 16,
                    ((65535 - tx) * ty) >> 16,
                    (tx * ty) >> 16,
                };
                const int xs[4] = {x0, x1, x0, x1}, ys[4] = {y0, y0, y1, y1};
                for (int k = 0; k < 4; k++) {
                    uint32_t s[4] = {0, 0, 0, 0};
                    GetRasterImagePixel(source, xs[k], ys[k], &s[0], &s[1], &s[2], &s[3]);
                    for (int ch = 0; ch < 4; ch++)
                        c[ch] += weight[k] * s[ch];
                }
                for (int ch = 0; ch < 4; ch++)
                    c[ch] >>= 16;
            }
            SetRasterImagePixel(destination, destinationX1 + i, destinationY1 + j, (int)c[0], (int)c[1], (int)c[2],
                                (int)c[3]);
        }
    }
    return 0;
}
