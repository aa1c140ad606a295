// Theora frame output: the current frame from the decoder's stock into its
// 32-bit RGB frame image (converted with lookup tables) or into a Direct3D
// YUV surface that the device converts.
#include "movie/theora_player.h"

#include <string.h>

#include <d3d9.h>

#include "graphics/device.h"

namespace {

// 14 fraction bits: 16384 stands for 1.0.
int LumaTable[256];
int RedFromV[256];
int GreenFromU[256];
int GreenFromV[256];
int BlueFromU[256];
// One byte for every value from -512 to 767.
unsigned char ClampTable[1280];

inline unsigned char Clamp(int v) { return ClampTable[v + 512]; }

const uint32_t kFourccs[3] = {
    MAKEFOURCC('Y', 'V', '1', '2'),
    MAKEFOURCC('Y', 'U', 'Y', '2'),
    MAKEFOURCC('U', 'Y', 'V', 'Y'),
};

bool Is420(const TheoraStockEntry* e)
{
    return e->yWidth == 2 * e->uvWidth && e->yHeight == 2 * e->uvHeight;
}

void WriteSurface(const TheoraStockEntry* e, uint32_t fourcc, unsigned char* bits, int pitch, int width,
                  int height)
{
    // The surface has the coded size; the picture is never larger.
    const int w = e->yWidth < width ? e->yWidth & ~1 : width & ~1;
    const int h = e->yHeight < height ? e->yHeight & ~1 : height & ~1;
    if (fourcc == kFourccs[0]) {
        for (int y = 0; y < h; y++)
            memcpy(bits + (size_t)y * pitch, e->y + (size_t)y * e->yStride, (size_t)w);
        const int half = pitch / 2;
        unsigned char* v = bits + (size_t)height * pitch;
        unsigned char* u = v + (size_t)(height / 2) * half;
        for (int y = 0; y < h / 2; y++) {
            memcpy(v + (size_t)y * half, e->v + (size_t)y * e->uvStride, (size_t)w / 2);
            memcpy(u + (size_t)y * half, e->u + (size_t)y * e->uvStride, (size_t)w / 2);
        }
        return;
    }
    const bool yuy2 = fourcc == kFourccs[1];
    for (int y = 0; y < h; y += 2) {
        const unsigned char* y0 = e->y + (size_t)y * e->yStride;
        const unsigned char* y1 = y0 + e->yStride;
        const unsigned char* u = e->u + (size_t)(y / 2) * e->uvStride;
        const unsigned char* v = e->v + (size_t)(y / 2) * e->uvStride;
        unsigned char* top = bits + (size_t)y * pitch;
        unsigned char* bottom = top + pitch;
        for (int x = 0; x < w; x += 2) {
            unsigned char cu = u[x / 2], cv = v[x / 2];
            unsigned char* t = top + x * 2;
            unsigned char* b = bottom + x * 2;
            if (yuy2) {
                t[0] = y0[x]; t[1] = cu; t[2] = y0[x + 1]; t[3] = cv;
                b[0] = y1[x]; b[1] = cu; b[2] = y1[x + 1]; b[3] = cv;
            } else {
                t[0] = cu; t[1] = y0[x]; t[2] = cv; t[3] = y0[x + 1];
                b[0] = cu; b[1] = y1[x]; b[2] = cv; b[3] = y1[x + 1];
            }
        }
    }
}

// Writes the entry to the surface when it is 4:2:0; false when the surface
// could not be locked.
bool FetchToSurface(TheoraDecoder* d, const TheoraStockEntry* e)
{
    D3DLOCKED_RECT locked;
    bool lockedOk = false;
    for (int attempt = 0; attempt < 3 && d->yuvSurface; attempt++) {
        if (SUCCEEDED(d->yuvSurface->LockRect(&locked, nullptr, 0))) {
            lockedOk = true;
            break;
        }
        CreateTheoraYuvSurface(d);  // a lost surface is made again
    }
    if (!lockedOk)
        return false;
    if (Is420(e))
        WriteSurface(e, d->yuvFourcc, (unsigned char*)locked.pBits, locked.Pitch, (int)d->info.width,
                     (int)d->info.height);
    d->yuvSurface->UnlockRect();
    d->surfaceDone = 1;
    return true;
}

void ConvertToImage(const TheoraStockEntry* e, RasterImage* image)
{
    const int w = e->yWidth < image->width ? e->yWidth : image->width;
    const int h = e->yHeight < image->height ? e->yHeight : image->height;
    unsigned char* out = (unsigned char*)image->pixels;
    if (Is420(e)) {
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

}  // namespace

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

void CreateTheoraYuvSurface(TheoraDecoder* d)
{
    if (d->yuvSurface) {
        d->yuvSurface->Release();
        d->yuvSurface = nullptr;
    }
    if (!Screen.hardware || !DeviceObjects.device)
        return;
    for (uint32_t fourcc : kFourccs) {
        d->yuvFourcc = fourcc;
        if (SUCCEEDED(DeviceObjects.device->CreateOffscreenPlainSurface(
                d->info.width, d->info.height, (D3DFORMAT)fourcc, D3DPOOL_DEFAULT, &d->yuvSurface, nullptr)) &&
            d->yuvSurface)
            return;
        d->yuvSurface = nullptr;
    }
    d->yuvFourcc = 0;
}

IDirect3DSurface9* GetTheoraYuvSurface(TheoraDecoder* d) { return d ? d->yuvSurface : nullptr; }

int FetchTheoraFrame(TheoraDecoder* d, int toImage, int toSurface)
{
    if (!d)
        return 0;
    const bool surfaceWanted = toSurface && !d->surfaceDone && d->yuvSurface;
    const bool imageWanted = toImage && !d->imageDone;
    if (!surfaceWanted && !imageWanted)
        return 0;
    const int cur = d->currentFrame.load();
    int index = -1;
    for (;;) {
        // A pending seek empties the stock: wait until the thread has served it.
        while (d->state.load() == THEORA_STATE_SEEKING ||
               (d->seekRequest.load() && d->state.load() != THEORA_STATE_ENDED))
            Sleep(1);
        if (d->state.load() == THEORA_STATE_ENDED)
            return 0;
        for (int i = 0; i < d->stockSize && index < 0; i++) {
            TheoraStockEntry* e = &d->stock[i];
            if (!e->filled.load() || e->frame != cur)
                continue;
            // Claim the entry, then check it is still the one wanted.
            d->fetchEntry.store(i);
            if (e->filled.load() && e->frame == cur)
                index = i;
            else
                d->fetchEntry.store(-1);
        }
        if (index >= 0)
            break;
        if (d->endOfData.load())
            return 0;
        Sleep(0);
    }
    const TheoraStockEntry* e = &d->stock[index];
    if (surfaceWanted)
        FetchToSurface(d, e);  // a surface that cannot be locked stays unwritten
    if (imageWanted && d->frameImage.pixels) {
        ConvertToImage(e, &d->frameImage);
        d->imageDone = 1;
    }
    d->fetchEntry.store(-1);
    return 1;
}
