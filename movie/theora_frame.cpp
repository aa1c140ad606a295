// Theora frame output: the current frame from the decoder's stock into its
// 32-bit RGB frame image (theora_picture.cpp) or into a Direct3D YUV surface
// that the device converts.
#include "movie/theora_player.h"

#include <string.h>

#include <d3d9.h>

#include "graphics/device.h"

namespace {

const uint32_t kFourccs[3] = {
    MAKEFOURCC('Y', 'V', '1', '2'),
    MAKEFOURCC('Y', 'U', 'Y', '2'),
    MAKEFOURCC('U', 'Y', 'V', 'Y'),
};

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
    if (IsTheoraPicture420(e))
        WriteSurface(e, d->yuvFourcc, (unsigned char*)locked.pBits, locked.Pitch, (int)d->info.width,
                     (int)d->info.height);
    d->yuvSurface->UnlockRect();
    d->surfaceDone = 1;
    return true;
}

}  // namespace

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
        ConvertTheoraPicture(e, &d->frameImage);
        d->imageDone = 1;
    }
    d->fetchEntry.store(-1);
    return 1;
}
