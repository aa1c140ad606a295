// The Theora picture's platform-free steps: a libtheora picture copied into
// a stock entry, and a stock entry converted into the 32-bit RGB frame image
// (with lookup tables for 4:2:0, by the plane ratios otherwise).
#include "movie/theora_player.h"

#include <string.h>

#include "runtime/memory.h"

namespace {

// libtheora pictures larger than this are refused when stored.
const int kMaxSide = 8192;

// 14 fraction bits: 16384 stands for 1.0.
int LumaTable[256];
int RedFromV[256];
int GreenFromU[256];
int GreenFromV[256];
int BlueFromU[256];
// One byte for every value from -512 to 767.
unsigned char ClampTable[1280];

inline unsigned char Clamp(int v) { return ClampTable[v + 512]; }

}  // namespace

int IsTheoraPicture420(const TheoraStockEntry* e)
{
    return e->yWidth == 2 * e->uvWidth && e->yHeight == 2 * e->uvHeight;
}

int InitYuvTables()
{
    for (int i = 0; i < 1280; i++) {
        const int v = i - 512;
        ClampTable[i] = (unsigned char)(v < 0 ? 0 : v > 255 ? 255 : v);
    }
    for (int i = 0; i < 256; i++) {
        LumaTable[i] = 19070 * (i - 16);
        RedFromV[i] = 26148 * (i - 128);
        GreenFromU[i] = -6406 * (i - 128);
        GreenFromV[i] = -13320 * (i - 128);
        BlueFromU[i] = 33062 * (i - 128);
    }
    return 0;
}

int CopyTheoraPicture(TheoraStockEntry* e, const yuv_buffer* picture, int frame)
{
    const yuv_buffer& yuv = *picture;
    if (yuv.y_width <= 0 || yuv.y_height <= 0 || yuv.uv_width <= 0 || yuv.uv_height <= 0 ||
        yuv.y_width > kMaxSide || yuv.y_height > kMaxSide ||
        yuv.uv_width > yuv.y_width || yuv.uv_height > yuv.y_height || !yuv.y || !yuv.u || !yuv.v)
        return -1;
    // libtheora may hand its planes bottom-up with negative strides; the
    // copies are always top-down at their width.
    const int yStride = yuv.y_width, uvStride = yuv.uv_width;
    if (e->yWidth != yuv.y_width || e->yHeight != yuv.y_height || e->yStride != yStride) {
        FreeTracked(e->y);
        e->y = nullptr;
    }
    if (e->uvWidth != yuv.uv_width || e->uvHeight != yuv.uv_height || e->uvStride != uvStride) {
        FreeTracked(e->u);
        FreeTracked(e->v);
        e->u = e->v = nullptr;
    }
    e->yWidth = yuv.y_width;
    e->yHeight = yuv.y_height;
    e->yStride = yStride;
    e->uvWidth = yuv.uv_width;
    e->uvHeight = yuv.uv_height;
    e->uvStride = uvStride;
    if (!e->y)
        e->y = (unsigned char*)AllocTracked((size_t)yStride * yuv.y_height, "", 0);
    if (!e->u)
        e->u = (unsigned char*)AllocTracked((size_t)uvStride * yuv.uv_height, "", 0);
    if (!e->v)
        e->v = (unsigned char*)AllocTracked((size_t)uvStride * yuv.uv_height, "", 0);
    if (!e->y || !e->u || !e->v)
        return -1;
    for (int row = 0; row < yuv.y_height; row++)
        memcpy(e->y + (size_t)row * yStride, yuv.y + (ptrdiff_t)row * yuv.y_stride, (size_t)yuv.y_width);
    for (int row = 0; row < yuv.uv_height; row++) {
        memcpy(e->u + (size_t)row * uvStride, yuv.u + (ptrdiff_t)row * yuv.uv_stride, (size_t)yuv.uv_width);
        memcpy(e->v + (size_t)row * uvStride, yuv.v + (ptrdiff_t)row * yuv.uv_stride, (size_t)yuv.uv_width);
    }
    e->frame = frame;
    e->filled.store(1);
    return 0;
}

void ConvertTheoraPicture(const TheoraStockEntry* e, RasterImage* image)
{
    const int w = e->yWidth < image->width ? e->yWidth : image->width;
    const int h = e->yHeight < image->height ? e->yHeight : image->height;
    unsigned char* out = (unsigned char*)image->pixels;
    if (IsTheoraPicture420(e)) {
        for (int y = 0; y < h; y += 2) {
            const unsigned char* u = e->u + (size_t)(y / 2) * e->uvStride;
            const unsigned char* v = e->v + (size_t)(y / 2) * e->uvStride;
            for (int x = 0; x < w; x += 2) {
                const int r = RedFromV[v[x / 2]];
                const int g = GreenFromU[u[x / 2]] + GreenFromV[v[x / 2]];
                const int b = BlueFromU[u[x / 2]];
                for (int dy = 0; dy < 2 && y + dy < h; dy++) {
                    const unsigned char* yrow = e->y + (size_t)(y + dy) * e->yStride;
                    unsigned char* p = out + (size_t)(y + dy) * image->pitch + (size_t)x * 4;
                    for (int dx = 0; dx < 2 && x + dx < w; dx++, p += 4) {
                        const int luma = LumaTable[yrow[x + dx]];
                        p[0] = Clamp((luma + b) / 16384);
                        p[1] = Clamp((luma + g) / 16384);
                        p[2] = Clamp((luma + r) / 16384);
                        p[3] = 255;
                    }
                }
            }
        }
        return;
    }
    // Other layouts: the chroma sample that covers each pixel, found by the
    // ratio of the plane sizes.
    for (int y = 0; y < h; y++) {
        const unsigned char* yrow = e->y + (size_t)y * e->yStride;
        const int cy = (int)((int64_t)y * e->uvHeight / e->yHeight);
        const unsigned char* u = e->u + (size_t)cy * e->uvStride;
        const unsigned char* v = e->v + (size_t)cy * e->uvStride;
        unsigned char* p = out + (size_t)y * image->pitch;
        for (int x = 0; x < w; x++, p += 4) {
            const int cx = (int)((int64_t)x * e->uvWidth / e->yWidth);
            const float luma = 1.164f * (float)(yrow[x] - 16);
            const float cu = (float)(u[cx] - 128), cv = (float)(v[cx] - 128);
            const int red = (int)(luma + 1.596f * cv);
            const int green = (int)(luma - 0.391f * cu - 0.813f * cv);
            const int blue = (int)(luma + 2.018f * cu);
            p[0] = (unsigned char)(blue < 0 ? 0 : blue > 255 ? 255 : blue);
            p[1] = (unsigned char)(green < 0 ? 0 : green > 255 ? 255 : green);
            p[2] = (unsigned char)(red < 0 ? 0 : red > 255 ? 255 : red);
            p[3] = 255;
        }
    }
}
