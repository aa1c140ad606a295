#include "image/image_loader.h"

#include <string.h>

#include "image/convert.h"
#include "image/dxt.h"
#include "runtime/helpers.h"
#include "runtime/memory.h"

const ImageDecoder ImageLoaderList[] = {
    LoadBmpImage, LoadJpegImage, LoadPngImage, LoadBgraImage, LoadTgaImage, LoadDdsImage, nullptr,
};

ImageDecoder AddedImageDecoders[ADDED_IMAGE_DECODER_MAX];
int AddedImageDecoderCount;

static int TryDecoder(ImageDecoder decoder, StreamDescriptor* stream, RasterImage* image)
{
    stream->ops.seek(stream->handle, 0, 0);
    memset(image, 0, sizeof *image);
    return decoder(stream, image);
}

int LoadImageFromStream(StreamDescriptor* stream, RasterImage* image)
{
    memset(image, 0, sizeof *image);
    for (int i = 0; i < AddedImageDecoderCount && i < ADDED_IMAGE_DECODER_MAX; i++)
        if (AddedImageDecoders[i] && TryDecoder(AddedImageDecoders[i], stream, image) == 0)
            return 0;
    for (const ImageDecoder* d = ImageLoaderList; *d; d++)
        if (TryDecoder(*d, stream, image) == 0)
            return 0;
    return -1;
}

// Replaces the image's pixels by their mirror image.
static int MirrorImage(RasterImage* image)
{
    // Block data cannot be mirrored in place: decompress it first.
    if (DecompressDxtRasterImage(image) != 0)
        return -1;
    int64_t size = (int64_t)image->pitch * image->height;
    if (image->pitch < 0 || size > 0x7FFFFFFF)
        return -1;
    void* mirrored = AllocTracked((size_t)size, "LoadImageData", __LINE__);
    if (!mirrored)
        return -1;
    ConvertRect rect = {0, 0, image->width, image->height};
    if (ConvertImageBlt(mirrored, image->pitch, &image->format, image->pixels, image->pitch, &image->format,
                        nullptr, 0, nullptr, 0, 0, &rect, 1, 0, 0, 0, 0, 0, 0, 0) < 0) {
        FreeTracked(mirrored);
        return -1;
    }
    FreeTracked(image->pixels);
    image->pixels = mirrored;
    return 0;
}

int LoadImageData(const char* path, const void* block, int size, int memoryFlag, int dibFlag, int mirror,
                  RasterImage* imageOut, BITMAPINFO** dibHeaderOut, void** dibPixelsOut)
{
    StreamDescriptor stream;
    if (memoryFlag == 0) {
        if (!path)
            return -1;
        stream.handle = FileStreamOpen(path, 0, 1, 0);
        stream.ops = *GetFileStreamFunctions();
    } else {
        if (!block)
            return -1;
        stream.handle = OpenMemoryStream(block, size);
        stream.ops = *GetMemoryStreamFunctions();
    }
    if (stream.handle == 0)
        return -1;
    bool open = true;
    auto close = [&]() {
        if (open)
            stream.ops.close(stream.handle);
        open = false;
    };

    RasterImage image;
    if (LoadImageFromStream(&stream, &image) == -1) {
        close();
        return -1;
    }
    if (memoryFlag != 0)
        close();

    if (mirror == 1 && MirrorImage(&image) != 0) {
        FreeRasterImage(&image);
        close();
        return -1;
    }

    if (dibFlag == 0) {
        *imageOut = image;
        close();
        return 0;
    }
#ifdef _WIN32
    if (!dibHeaderOut || !dibPixelsOut) {
        FreeRasterImage(&image);
        close();
        return -1;
    }

    BITMAPINFO* header = nullptr;
    void* pixels = nullptr;
    int shared = -1;
    if (DecompressDxtRasterImage(&image) == 0) {
        header = (BITMAPINFO*)AllocTrackedZero(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD), "LoadImageData",
                                               __LINE__);
        if (header)
            shared = MakeDibFromRasterImage(&image, header, &pixels, 0, 0);
    }
    close();
    if (shared < 0) {
        if (header)
            FreeTracked(header);
        FreeRasterImage(&image);
        return -1;
    }
    if (shared == 1)
        FreeRasterImage(&image);   // the DIB has its own copy
    *dibHeaderOut = header;
    *dibPixelsOut = pixels;
    return 0;
#else
    (void)dibHeaderOut;
    (void)dibPixelsOut;
    FreeRasterImage(&image);
    close();
    return -1;
#endif
}

int LoadImageToRasterImage(const char* path, const void* block, int size, int memoryFlag, RasterImage* imageOut,
                           int mirror)
{
    return LoadImageData(path, block, size, memoryFlag, 0, mirror, imageOut, nullptr, nullptr);
}

int LoadImageWithAlpha(const char* path, const void* block, int size, int memoryFlag, const void* alphaBlock,
                       int alphaSize, int alphaMode, RasterImage* imageOut, RasterImage* alphaOut, int mirror)
{
    if (LoadImageData(path, block, size, memoryFlag, 0, mirror, imageOut, nullptr, nullptr) == -1)
        return -1;
    if (!alphaOut)
        return 1;
    if (alphaMode == 0) {
        char name[FULL_PATH_SIZE];
        if (path && MakeAlphaFileName(path, name) == 0 &&
            LoadImageData(name, nullptr, 0, 0, 0, mirror, alphaOut, nullptr, nullptr) == 0)
            return 0;
    } else if (alphaMode == 1) {
        if (LoadImageData(nullptr, alphaBlock, alphaSize, 1, 0, mirror, alphaOut, nullptr, nullptr) == 0)
            return 0;
    }
    return 1;
}

int MakeAlphaFileName(const char* path, char* out)
{
    int o = 0;
    const char* p = path;
    while (*p && *p != '.') {
        int n = CharBytes(p);   // a lead byte just before the end stands alone
        if (o + n >= FULL_PATH_SIZE)
            break;
        memcpy(out + o, p, (size_t)n);
        o += n;
        p += n;
    }
    size_t rest = strlen(p);
    if ((*p && *p != '.') || o + 2 + rest + 1 > FULL_PATH_SIZE) {
        out[0] = 0;
        return -1;
    }
    out[o++] = '_';
    out[o++] = 'a';
    memcpy(out + o, p, rest + 1);
    return 0;
}

#ifdef _WIN32
int MakeDibFromRasterImage(RasterImage* image, BITMAPINFO* header, void** pixelsOut, int copyFlag, int flag24)
{
    if (DecompressDxtRasterImage(image) != 0)
        return -1;
    const ColorFormat* f = &image->format;
    int width = image->width, height = image->height;
    memset(&header->bmiHeader, 0, sizeof header->bmiHeader);
    header->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    header->bmiHeader.biWidth = width;
    header->bmiHeader.biHeight = -height;
    header->bmiHeader.biPlanes = 1;
    header->bmiHeader.biCompression = BI_RGB;
    if (width < 0 || height < 0)
        return -1;

    if (f->bitDepth == 8 && flag24 == 0) {
        header->bmiHeader.biBitCount = 8;
        memcpy(header->bmiColors, f->palette, sizeof f->palette);
        int rowSize = (width + 3) & ~3;
        if (copyFlag != 1 && image->pitch == rowSize) {
            *pixelsOut = image->pixels;
            return 0;
        }
        uint8_t* copy = (uint8_t*)AllocTrackedZero((size_t)rowSize * height, "MakeDibFromRasterImage", __LINE__);
        if (!copy)
            return -1;
        for (int y = 0; y < height; y++)
            memcpy(copy + (ptrdiff_t)y * rowSize, (const uint8_t*)image->pixels + (ptrdiff_t)y * image->pitch,
                   (size_t)width);
        *pixelsOut = copy;
        return 1;
    }

    header->bmiHeader.biBitCount = 24;
    int64_t row64 = ((int64_t)width * 3 + 3) & ~(int64_t)3;
    if (row64 * height > 0x7FFFFFFF)
        return -1;
    int rowSize = (int)row64;
    bool rgb24 = f->bitDepth == 24 && f->redMask == 0xFF0000 && f->greenMask == 0xFF00 && f->blueMask == 0xFF;
    if (rgb24 && copyFlag != 1 && image->pitch == rowSize) {
        *pixelsOut = image->pixels;
        return 0;
    }
    uint8_t* copy = (uint8_t*)AllocTrackedZero((size_t)rowSize * height, "MakeDibFromRasterImage", __LINE__);
    if (!copy)
        return -1;
    if (rgb24) {
        for (int y = 0; y < height; y++)
            memcpy(copy + (ptrdiff_t)y * rowSize, (const uint8_t*)image->pixels + (ptrdiff_t)y * image->pitch,
                   (size_t)width * 3);
    } else if (width > 0 && height > 0) {
        ColorFormat rgb;
        memset(&rgb, 0, sizeof rgb);
        SetColorFormatRGB24(&rgb);
        ConvertRect rect = {0, 0, width, height};
        ConvertImageBlt(copy, rowSize, &rgb, image->pixels, image->pitch, f, nullptr, 0, nullptr, 0, 0, &rect, 0, 0,
                        0, 0, 0, 0, 0, 0);
    }
    *pixelsOut = copy;
    return 1;
}
#endif
