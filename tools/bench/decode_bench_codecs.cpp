#include "tools/bench/decode_bench_codecs.h"

#include <setjmp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <jpeglib.h>
#include <png.h>

namespace {

struct MemoryReader {
    const std::vector<uint8_t>* file;
    size_t at;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length)
{
    MemoryReader* r = (MemoryReader*)png_get_io_ptr(png);
    if (r->file->size() - r->at < length)
        png_error(png, "short");
    memcpy(out, r->file->data() + r->at, length);
    r->at += length;
}

void WriteToVector(png_structp png, png_bytep data, png_size_t length)
{
    std::vector<uint8_t>* out = (std::vector<uint8_t>*)png_get_io_ptr(png);
    out->insert(out->end(), data, data + length);
}

struct JpegError {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

void JpegFail(j_common_ptr object) { longjmp(((JpegError*)object->err)->jump, 1); }

} // namespace

std::vector<uint8_t> EncodePngRgb(const uint8_t* rgb, int width, int height)
{
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return std::vector<uint8_t>();
    }
    png_set_write_fn(png, &out, WriteToVector, nullptr);
    png_set_IHDR(png, info, (png_uint_32)width, (png_uint_32)height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; y++)
        png_write_row(png, (png_const_bytep)(rgb + (size_t)y * width * 3));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::vector<uint8_t> EncodeJpegRgb(const uint8_t* rgb, int width, int height, int quality)
{
    jpeg_compress_struct c;
    jpeg_error_mgr error;
    c.err = jpeg_std_error(&error);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = (JDIMENSION)width;
    c.image_height = (JDIMENSION)height;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = (JSAMPROW)(rgb + (size_t)c.next_scanline * width * 3);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&c);
    free(buffer);
    return out;
}

bool DecodePngDirect(const std::vector<uint8_t>& file, std::vector<uint8_t>* pixels)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    MemoryReader reader = {&file, 0};
    png_set_read_fn(png, &reader, ReadFromMemory);
    png_read_info(png, info);
    png_set_strip_16(png);
    png_set_packing(png);
    png_set_bgr(png);
    png_read_update_info(png, info);
    size_t rowBytes = png_get_rowbytes(png, info);
    png_uint_32 height = png_get_image_height(png, info);
    pixels->resize(rowBytes * height);
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; y++)
        rows[y] = pixels->data() + y * rowBytes;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

bool DecodeJpegDirect(const std::vector<uint8_t>& file, std::vector<uint8_t>* pixels)
{
    jpeg_decompress_struct d;
    JpegError error;
    d.err = jpeg_std_error(&error.pub);
    error.pub.error_exit = JpegFail;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&d);
        return false;
    }
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, file.data(), (unsigned long)file.size());
    jpeg_read_header(&d, TRUE);
    jpeg_start_decompress(&d);
    size_t rowBytes = (size_t)d.output_width * d.output_components;
    pixels->resize(rowBytes * d.output_height);
    while (d.output_scanline < d.output_height) {
        uint8_t* row = pixels->data() + rowBytes * d.output_scanline;
        jpeg_read_scanlines(&d, &row, 1);
        for (size_t i = 0; i + 2 < rowBytes; i += 3) {   // to blue, green, red
            uint8_t t = row[i];
            row[i] = row[i + 2];
            row[i + 2] = t;
        }
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return true;
}
