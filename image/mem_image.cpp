#include "image/mem_image.h"

#include <string.h>

#include "graphics/draw_target.h"
#include "graphics/matrix_math.h"
#include "image/convert.h"
#include "image/pixel_access.h"
#include "runtime/memory.h"

namespace {

// The largest block the tracked allocator hands out, and the ceiling of every
// size computed here (in 64 bits, before anything narrows it).
const int64_t kMaxBlockBytes = 0x7FFFFFFF - 64;

const int kPaletteBlockBytes = 2048;

// Formats by kind (0, 1) x alpha x palette, then the two single-channel kinds.
ColorFormat presets[2][2][2];
bool presetReady[2][2][2];
ColorFormat singleChannel[2];
bool singleReady[2];

// Frees what the body holds and empties it, keeping the body itself.
void EmptyBody(MemImgBody* body)
{
    if (body->pixels && !body->userMemory)
        FreeTracked(body->pixels);
    FreeTracked(body->premulPixels);
    FreeTracked(body->runTable);
    FreeTracked(body->paletteBlock);
    memset(body, 0, sizeof *body);
}

// Smallest k with 2^k >= n (0 for n below 2).
int CeilLog2(int64_t n)
{
    int k = 0;
    while (k < 62 && ((int64_t)1 << k) < n)
        k++;
    return k;
}

} // namespace

const ColorFormat* GetPresetColorFormat(int pixelKind, int alphaFlag, int paletteFlag)
{
    if (pixelKind == MEMIMG_KIND_SINGLE8 || pixelKind == MEMIMG_KIND_SINGLE16) {
        int i = pixelKind - MEMIMG_KIND_SINGLE8;
        if (!singleReady[i]) {
            uint32_t mask = i == 0 ? 0xFF : 0xFFFF;
            MakeColorFormat(&singleChannel[i], i == 0 ? 8 : 16, mask, mask, mask, mask);
            singleReady[i] = true;
        }
        return &singleChannel[i];
    }
    if (pixelKind != MEMIMG_KIND_R5G6B5 && pixelKind != MEMIMG_KIND_X8R8G8B8)
        return nullptr;
    int a = alphaFlag ? 1 : 0, p = paletteFlag ? 1 : 0;
    ColorFormat* f = &presets[pixelKind][a][p];
    if (!presetReady[pixelKind][a][p]) {
        int depth = p ? 8 : (pixelKind == MEMIMG_KIND_R5G6B5 && !a ? 16 : 32);
        if (pixelKind == MEMIMG_KIND_R5G6B5)
            MakeColorFormat(f, depth, 0xF800, 0x7E0, 0x1F, a ? 0xFF0000 : 0);
        else
            MakeColorFormat(f, depth, 0xFF0000, 0xFF00, 0xFF, a ? 0xFF000000 : 0);
        presetReady[pixelKind][a][p] = true;
    }
    return f;
}

int CreateMemImage(MEMIMG* image, int width, int height, int pitch, uint32_t transColor, int pixelKind,
                   int paletteFlag, int alphaFlag, int extras, void* userPixels)
{
    if (image->magic == MEMIMG_MAGIC)
        return -1;
    if (!image->body) {
        image->body = (MemImgBody*)AllocTrackedZero(sizeof(MemImgBody), "CreateMemImage", __LINE__);
        if (!image->body)
            return -1;
    }
    MemImgBody* body = image->body;
    // A body left by a failed creation may still hold buffers of another size.
    EmptyBody(body);

    if (paletteFlag)
        alphaFlag = 0;
    if (pixelKind == MEMIMG_KIND_SINGLE8 || pixelKind == MEMIMG_KIND_SINGLE16)
        paletteFlag = alphaFlag = 0;
    paletteFlag = paletteFlag ? 1 : 0;
    alphaFlag = alphaFlag ? 1 : 0;
    const ColorFormat* format = GetPresetColorFormat(pixelKind, alphaFlag, paletteFlag);
    if (!format || width < 1 || height < 1)
        return -1;

    // Every size that drives an allocation or an address is checked in 64 bits.
    int bytes = format->bytesPerPixel;
    int64_t rowBytes = (int64_t)bytes * width;
    int64_t bodyPitch = pitch == -1 ? (rowBytes + 15) & ~(int64_t)15 : pitch;
    if (bodyPitch < rowBytes || bodyPitch > kMaxBlockBytes)
        return -1;
    int64_t pixelBytes = bodyPitch * height;
    int64_t runBytes = ((int64_t)width + 5) * height;
    if (pixelBytes > kMaxBlockBytes || runBytes > kMaxBlockBytes)
        return -1;

    body->refCount = 1;
    body->width = width;
    body->height = height;
    body->transColor = transColor;
    body->pixelKind = pixelKind;
    body->paletteFlag = paletteFlag;
    body->alphaFlag = alphaFlag;
    body->pitch = (int32_t)bodyPitch;
    int k = CeilLog2(pitch == -1 ? rowBytes : pitch);
    body->pitchShift = bodyPitch == ((int64_t)1 << k) ? k : -1;
    body->format = format;

    bool failed = false;
    if (paletteFlag) {
        body->paletteBlock = AllocTrackedZero(kPaletteBlockBytes, "CreateMemImage", __LINE__);
        body->paletteCopy = body->paletteBlock ? (uint8_t*)body->paletteBlock + kPaletteBlockBytes / 2 : nullptr;
        failed = !body->paletteBlock;
    }
    if (!failed) {
        if (userPixels) {
            body->pixels = userPixels;
            body->userMemory = 1;
        } else {
            body->pixels = AllocTracked((size_t)pixelBytes, "CreateMemImage", __LINE__);
            failed = !body->pixels;
        }
    }
    if (!failed && extras) {
        if (alphaFlag && !body->premulPixels) {
            body->premulPixels = AllocTracked((size_t)pixelBytes, "CreateMemImage", __LINE__);
            failed = !body->premulPixels;
        }
        if (!failed && pixelKind != MEMIMG_KIND_SINGLE8 && !body->runTable) {
            body->runTable = (uint8_t*)AllocTracked((size_t)runBytes, "CreateMemImage", __LINE__);
            failed = !body->runTable;
        }
    }
    if (failed) {
        EmptyBody(body);
        return -1;
    }

    image->magic = MEMIMG_MAGIC;
    image->width = width;
    image->height = height;
    image->pixels = body->pixels;
    image->premulPixels = body->premulPixels;
    return 0;
}

int CreateMemImageDefault(MEMIMG* image, int width, int height, int pixelKind)
{
    memset(image, 0, sizeof *image);
    if (pixelKind == -1)
        pixelKind = QueryColorDepth() == 16 ? MEMIMG_KIND_R5G6B5 : MEMIMG_KIND_X8R8G8B8;
    return CreateMemImage(image, width, height, -1, 0, pixelKind, 0, 0, 0, nullptr);
}

int IsMemImageValid(const MEMIMG* image)
{
    return image && image->magic == MEMIMG_MAGIC && image->body ? 1 : 0;
}

int DeriveMemImage(MEMIMG* view, const MEMIMG* image, int x, int y, int width, int height)
{
    if (!IsMemImageValid(image) || x < 0 || y < 0 || width < 0 || height < 0 ||
        (int64_t)x + width > image->width || (int64_t)y + height > image->height)
        return -1;
    MemImgBody* body = image->body;
    ptrdiff_t offset = (ptrdiff_t)y * body->pitch + (ptrdiff_t)x * body->format->bytesPerPixel;
    view->magic = MEMIMG_MAGIC;
    view->width = width;
    view->height = height;
    view->pixels = (uint8_t*)image->pixels + offset;
    view->premulPixels = body->premulPixels && image->premulPixels ? (uint8_t*)image->premulPixels + offset : nullptr;
    view->body = body;
    body->refCount++;
    return 0;
}

int ReleaseMemImage(MEMIMG* image)
{
    if (image->magic != MEMIMG_MAGIC)
        return 0;
    MemImgBody* body = image->body;
    if (body && --body->refCount <= 0) {
        EmptyBody(body);
        FreeTracked(body);
    }
    image->body = nullptr;
    image->magic = 0;
    return 0;
}

int FillMemImageRect(MEMIMG* image, const RECT* rect, uint32_t value)
{
    if (!IsMemImageValid(image))
        return -1;
    RECT whole = {0, 0, image->width, image->height};
    RECT r = rect ? *rect : whole;
    ClipRect(&r, &whole);
    if (r.right <= r.left || r.bottom <= r.top)
        return 0;
    MemImgBody* body = image->body;
    int bytes = body->format->bytesPerPixel;
    if (bytes != 1 && bytes != 2 && bytes != 4)
        return 0;
    // Direct pixel writes leave the run table and the premultiplied copy behind.
    body->runTableValid = 0;
    body->premulValid = 0;
    for (LONG y = r.top; y < r.bottom; y++) {
        uint8_t* p = PixelRow(image->pixels, body->pitch, y) + (ptrdiff_t)r.left * bytes;
        if (bytes == 1) {
            memset(p, (int)(value & 0xFF), (size_t)(r.right - r.left));
            continue;
        }
        for (LONG x = r.left; x < r.right; x++, p += bytes)
            WritePixelValue(p, bytes, value);
    }
    return 0;
}

int CopyMemImageRect(MEMIMG* destination, const MEMIMG* source, const RECT* rect, int x, int y)
{
    if (!IsMemImageValid(destination) || !IsMemImageValid(source))
        return -1;
    RECT r = rect ? *rect : RECT{0, 0, source->width, source->height};
    // The callers clip; a rectangle that leaves either image is refused rather
    // than written past the pixels.
    if (r.left < 0 || r.top < 0 || r.right > source->width || r.bottom > source->height || x < 0 || y < 0 ||
        (int64_t)x + r.right - r.left > destination->width || (int64_t)y + r.bottom - r.top > destination->height)
        return -1;
    MemImgBody* d = destination->body;
    const MemImgBody* s = source->body;
    ConvertRect cr = {r.left, r.top, r.right, r.bottom};
    int result = ConvertImageBlt(destination->pixels, d->pitch, d->format, source->pixels, s->pitch, s->format,
                                 nullptr, 0, nullptr, x, y, &cr, 0, 0, 0, 0, 0, 0, 0, 0);
    d->runTableValid = 0;
    d->premulValid = 0;
    return result;
}
