// PNG pictures over libpng, read through the stream descriptor. Library
// errors (a short stream included) come back through the read structure's
// jump buffer; the adapter's own buffers are held in one record so that the
// jump frees them too.
#include "image/image_decoders.h"

#include <png.h>
#include <string.h>

#include "image/decoder_input.h"
#include "runtime/memory.h"

// The record behind libpng's I/O pointer.
struct PngReadSource {
    StreamDescriptor* stream;
    int64_t end;   // the stream's end position
};

static void ReadPngData(png_structp png, png_bytep destination, png_size_t length)
{
    PngReadSource* source = (PngReadSource*)png_get_io_ptr(png);
    StreamDescriptor* stream = source->stream;
    if (StreamBytesLeft(stream, source->end) < (int64_t)length ||
        stream->ops.read(destination, length, 1, stream->handle) != 1)
        png_error(png, "Read Error");
}

void SetPngReadFunction(png_structp png, PngReadSource* source, StreamDescriptor* stream)
{
    source->stream = stream;
    source->end = StreamEndPosition(stream);
    png_set_read_fn(png, source, ReadPngData);
}

namespace {

// Everything one decode holds, freed once whichever way it ends.
struct PngDecode {
    png_structp png;
    png_infop info;
    png_bytep block;
    png_bytepp rows;
    uint8_t* pixels;
    PngReadSource source;
};

void ReleasePngDecode(PngDecode* d)
{
    if (d->pixels)
        FreeTracked(d->pixels);
    d->pixels = nullptr;
    if (d->png) {
        if (d->block)
            png_free(d->png, d->block);
        if (d->rows)
            png_free(d->png, d->rows);
        png_destroy_read_struct(&d->png, d->info ? &d->info : nullptr, nullptr);
    }
    d->png = nullptr;
    d->info = nullptr;
    d->block = nullptr;
    d->rows = nullptr;
}

// The decode proper; a library error leaves it through the jump buffer.
// Kept out of line so that the caller's record is read from memory after a jump.
__attribute__((noinline)) int DecodePng(PngDecode* d, StreamDescriptor* stream, RasterImage* image)
{
    png_structp png = d->png;
    png_infop info = d->info;
    SetPngReadFunction(png, &d->source, stream);
    if (d->source.end < 0)
        return -1;
    png_set_sig_bytes(png, 0);
    png_read_info(png, info);
    png_uint_32 width, height;
    int bitDepth, colourType, interlace;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colourType, &interlace, nullptr, nullptr);

    // The picture's bytes against the limit, and its filtered rows against
    // what the rest of the stream can inflate to (deflate packs at most
    // 1032 bytes into one).
    int channels = png_get_channels(png, info);
    int64_t rawRow = ((int64_t)width * bitDepth * channels + 7) / 8 + 1;
    int64_t left = StreamBytesLeft(stream, d->source.end);
    if ((int64_t)width * height * 4 > MaxDecodedBytes || rawRow * height > (left + 1) * 1032)
        return -1;

    png_set_strip_16(png);
    png_set_packing(png);
    png_set_packswap(png);
    bool trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if ((colourType == PNG_COLOR_TYPE_GRAY && bitDepth <= 8) || trns)
        png_set_expand(png);
    png_set_bgr(png);
    // Asked for before the update so that png_read_image walks every pass.
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    png_size_t rowBytes = png_get_rowbytes(png, info);
    int64_t total = (int64_t)rowBytes * height;
    if (rowBytes == 0 || rowBytes > 0x7FFFFFFF || total > MaxDecodedBytes)
        return -1;

    d->rows = (png_bytepp)png_malloc(png, sizeof(png_bytep) * height);
    d->block = (png_bytep)png_malloc(png, (png_alloc_size_t)total);
    for (png_uint_32 y = 0; y < height; y++)
        d->rows[y] = d->block + (size_t)y * rowBytes;
    png_read_image(png, d->rows);
    d->pixels = (uint8_t*)AllocTracked((size_t)total, "LoadPngImage", __LINE__);
    if (!d->pixels)
        return -1;
    memcpy(d->pixels, d->block, (size_t)total);
    png_free(png, d->block);
    d->block = nullptr;
    png_free(png, d->rows);
    d->rows = nullptr;
    png_read_end(png, nullptr);

    ColorFormat* format = &image->format;
    memset(format, 0, sizeof *format);
    int finalChannels = png_get_channels(png, info);
    if (colourType == PNG_COLOR_TYPE_PALETTE && !trns) {
        SetColorFormatPal8(format);
        png_colorp palette = nullptr;
        int count = 0;
        if (png_get_PLTE(png, info, &palette, &count) == PNG_INFO_PLTE && palette)
            for (int i = 0; i < count && i < 256; i++)
                format->palette[i] = (uint32_t)palette[i].red << 16 | (uint32_t)palette[i].green << 8 |
                                     palette[i].blue;
    } else if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) {
        if (rowBytes >= (png_size_t)width * 2) {
            // Grey and alpha: every colour channel reads the grey byte; the
            // alpha byte is carried but not used.
            format->bitDepth = 16;
            format->bytesPerPixel = 2;
            format->redWidth = format->greenWidth = format->blueWidth = 8;
            format->redMask = format->greenMask = format->blueMask = 0xFF;
            format->unusedMask = 0xFF00;
        } else {
            SetColorFormatGrey8(format);
        }
    } else {
        SetColorFormatRGB24(format);
        if (finalChannels == 4) {
            format->bitDepth = 32;
            format->bytesPerPixel = 4;
            format->alphaWidth = 8;
            format->alphaShift = 24;
            format->alphaMask = 0xFF000000;
        }
    }
    image->width = (int32_t)width;
    image->height = (int32_t)height;
    image->pitch = (int32_t)rowBytes;
    image->pixels = d->pixels;
    image->mipCount = 0;
    d->pixels = nullptr;
    return 0;
}

} // namespace

int LoadPngImage(StreamDescriptor* stream, RasterImage* image)
{
    PngDecode d;
    memset(&d, 0, sizeof d);
    // The installed library's own version: it refuses any other.
    d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!d.png)
        return -1;
    d.info = png_create_info_struct(d.png);
    if (!d.info) {
        ReleasePngDecode(&d);
        return -1;
    }
    volatile int result = -1;
    if (setjmp(png_jmpbuf(d.png)) == 0)
        result = DecodePng(&d, stream, image);
    if (result != 0)
        memset(image, 0, sizeof *image);
    ReleasePngDecode(&d);
    return result;
}
