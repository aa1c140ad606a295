/* Writes one JPEG test fixture from raw samples on stdin, through the
 * system's libjpeg: quality 100 without chroma subsampling, so that a small
 * picture comes back within a few levels of its samples.
 *
 *     jpeg_fixture_writer OUT WIDTH HEIGHT COMPONENTS(1|3|4) PROGRESSIVE(0|1) < samples
 *
 * Built and run by tools/make_image_fixtures.py. */
#include <stdio.h>
#include <stdlib.h>

#include <jpeglib.h>

int main(int argc, char** argv)
{
    if (argc != 6)
        return 2;
    int width = atoi(argv[2]), height = atoi(argv[3]), components = atoi(argv[4]);
    size_t size = (size_t)width * height * components;
    unsigned char* samples = malloc(size);
    if (!samples || fread(samples, 1, size, stdin) != size)
        return 1;
    FILE* out = fopen(argv[1], "wb");
    if (!out)
        return 1;
    struct jpeg_compress_struct c;
    struct jpeg_error_mgr error;
    c.err = jpeg_std_error(&error);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, out);
    c.image_width = width;
    c.image_height = height;
    c.input_components = components;
    c.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 100, TRUE);
    for (int i = 0; i < c.num_components; i++)
        c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
    if (atoi(argv[5]))
        jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = samples + (size_t)c.next_scanline * width * components;
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    fclose(out);
    free(samples);
    return 0;
}
