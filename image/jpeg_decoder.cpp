// JPEG pictures over libjpeg (version 62 interface), read through the stream
// descriptor. Library errors come back through a jump buffer beside the error
// manager; the pixel memory is held in one record so that the jump frees it.
// windows.h stays out of this file: its `boolean` differs from libjpeg's.
#include "image/image_decoders.h"

#include <setjmp.h>
#include <stdio.h>
#include <string.h>

#include <jerror.h>
#include <jpeglib.h>

#include "image/decoder_input.h"
#include "runtime/memory.h"

namespace {

const size_t JpegBufferSize = 4096;

} // namespace

// libjpeg's source manager extended by the stream it reads.
struct JpegStreamSource {
    jpeg_source_mgr pub;
    JOCTET* buffer;
    int startOfFile;
    StreamDescriptor* stream;
    int64_t end;   // the stream's end position
};

struct JpegErrorContext {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

static void JpegErrorExit(j_common_ptr object)
{
    (*object->err->output_message)(object);
    longjmp(((JpegErrorContext*)object->err)->jump, 1);
}

static void JpegInitSource(j_decompress_ptr object)
{
    ((JpegStreamSource*)object->src)->startOfFile = 1;
}

static boolean JpegFillInputBuffer(j_decompress_ptr object)
{
    JpegStreamSource* source = (JpegStreamSource*)object->src;
    int64_t left = StreamBytesLeft(source->stream, source->end);
    size_t count = left > (int64_t)JpegBufferSize ? JpegBufferSize : (size_t)left;
    if (count > 0)
        count = source->stream->ops.read(source->buffer, 1, count, source->stream->handle);
    if (count == 0) {
        if (source->startOfFile)
            ERREXIT(object, JERR_INPUT_EMPTY);
        // An early end: a fake end-of-image marker lets the library finish
        // the picture its usual way.
        WARNMS(object, JWRN_JPEG_EOF);
        source->buffer[0] = (JOCTET)0xFF;
        source->buffer[1] = (JOCTET)JPEG_EOI;
        count = 2;
    }
    source->pub.next_input_byte = source->buffer;
    source->pub.bytes_in_buffer = count;
    source->startOfFile = 0;
    return TRUE;
}

static void JpegSkipInputData(j_decompress_ptr object, long count)
{
    if (count <= 0)
        return;
    jpeg_source_mgr* source = object->src;
    while (count > (long)source->bytes_in_buffer) {
        count -= (long)source->bytes_in_buffer;
        (*source->fill_input_buffer)(object);
    }
    source->next_input_byte += count;
    source->bytes_in_buffer -= (size_t)count;
}

static void JpegTermSource(j_decompress_ptr) {}

void SetJpegStreamSource(j_decompress_ptr object, StreamDescriptor* stream)
{
    if (!object->src) {
        JpegStreamSource* source = (JpegStreamSource*)(*object->mem->alloc_small)(
            (j_common_ptr)object, JPOOL_PERMANENT, sizeof(JpegStreamSource));
        source->buffer = (JOCTET*)(*object->mem->alloc_small)((j_common_ptr)object, JPOOL_PERMANENT,
                                                              JpegBufferSize * sizeof(JOCTET));
        object->src = &source->pub;
    }
    JpegStreamSource* source = (JpegStreamSource*)object->src;
    source->pub.init_source = JpegInitSource;
    source->pub.fill_input_buffer = JpegFillInputBuffer;
    source->pub.skip_input_data = JpegSkipInputData;
    source->pub.resync_to_restart = jpeg_resync_to_restart;
    source->pub.term_source = JpegTermSource;
    source->stream = stream;
    source->end = StreamEndPosition(stream);
    source->pub.bytes_in_buffer = 0;
    source->pub.next_input_byte = nullptr;
}

namespace {

struct JpegDecode {
    jpeg_decompress_struct object;
    JpegErrorContext error;
    uint8_t* pixels;
};

// The decode proper; a library error leaves it through the jump buffer.
// Kept out of line so that the caller's record is read from memory after a jump.
__attribute__((noinline)) int DecodeJpeg(JpegDecode* d, StreamDescriptor* stream, RasterImage* image)
{
    j_decompress_ptr object = &d->object;
    SetJpegStreamSource(object, stream);
    if (((JpegStreamSource*)object->src)->end < 0)
        return -1;
    jpeg_read_header(object, TRUE);
    // Only grey and colour pictures: the copy below knows one or three bytes.
    if (object->out_color_space != JCS_GRAYSCALE && object->out_color_space != JCS_RGB)
        return -1;
    if ((int64_t)object->image_width * object->image_height * 4 > MaxDecodedBytes)
        return -1;
    // Every 8x8 block of every component costs at least one bit of coded
    // data (its DC difference), so the rest of the stream bounds the picture:
    // a short file must not claim a large one, which the library would fill.
    int64_t blocks = 0;
    for (int i = 0; i < object->num_components; i++)
        blocks += (int64_t)object->comp_info[i].width_in_blocks * object->comp_info[i].height_in_blocks;
    int64_t coded = StreamBytesLeft(stream, ((JpegStreamSource*)object->src)->end) +
                    (int64_t)object->src->bytes_in_buffer;
    if (blocks > coded * 8)
        return -1;
    jpeg_start_decompress(object);
    int components = object->output_components;
    if (components != 1 && components != 3)
        return -1;
    size_t rowBytes = (size_t)object->output_width * components;
    JSAMPARRAY row = (*object->mem->alloc_sarray)((j_common_ptr)object, JPOOL_IMAGE, (JDIMENSION)rowBytes, 1);
    d->pixels = (uint8_t*)AllocTracked(rowBytes * object->output_height, "LoadJpegImage", __LINE__);
    if (!d->pixels)
        return -1;
    while (object->output_scanline < object->output_height) {
        uint8_t* out = d->pixels + rowBytes * object->output_scanline;
        if (jpeg_read_scanlines(object, row, 1) != 1)
            return -1;
        const JSAMPLE* in = row[0];
        if (components == 1) {
            memcpy(out, in, rowBytes);
        } else {
            for (size_t i = 0; i < rowBytes; i += 3) {
                out[i] = in[i + 2];
                out[i + 1] = in[i + 1];
                out[i + 2] = in[i];
            }
        }
    }
    jpeg_finish_decompress(object);

    memset(&image->format, 0, sizeof image->format);
    if (components == 1)
        SetColorFormatGrey8(&image->format);
    else
        SetColorFormatRGB24(&image->format);
    image->width = (int32_t)object->output_width;
    image->height = (int32_t)object->output_height;
    image->pitch = (int32_t)rowBytes;
    image->pixels = d->pixels;
    image->mipCount = 0;
    d->pixels = nullptr;
    return 0;
}

} // namespace

int LoadJpegImage(StreamDescriptor* stream, RasterImage* image)
{
    JpegDecode d;
    memset(&d, 0, sizeof d);
    d.object.err = jpeg_std_error(&d.error.pub);
    d.error.pub.error_exit = JpegErrorExit;
    volatile int result = -1;
    if (setjmp(d.error.jump) == 0) {
        // The library's own create call passes its real structure size.
        jpeg_create_decompress(&d.object);
        result = DecodeJpeg(&d, stream, image);
    }
    if (d.pixels)
        FreeTracked(d.pixels);
    jpeg_destroy_decompress(&d.object);
    if (result != 0)
        memset(image, 0, sizeof *image);
    return result;
}
