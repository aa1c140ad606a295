// The Theora frame-to-picture conversion: a libtheora picture (plane sizes,
// strides of either sign) copied into a stock entry, then converted into a
// 32-bit frame image of the movie's coded size, twice so that the entry's
// planes are reused or replaced. The input is, per picture, the luma width and
// height, the chroma layout, the two stride paddings and signs, and the frame
// image's size (one byte each), then the plane bytes (zeros once they run out).
//
// Whatever the sizes, the copy and the conversion stay inside the planes and
// the image, every pixel they cover is opaque, the pixels they do not cover
// keep their bytes, and every block comes back.
#include <string.h>

#include <vector>

#include "image/raster_image.h"
#include "movie/theora_player.h"
#include "tests/native/fuzz/fuzz_support.h"

namespace {

struct Planes {
    std::vector<unsigned char> y, u, v;
    yuv_buffer buffer;
};

// A plane of rows of width bytes at |stride|, bottom-up when the sign is negative.
void MakePlane(FuzzReader& in, int width, int height, int padding, bool upward, std::vector<unsigned char>* bytes,
               unsigned char** origin, int* stride)
{
    const int step = width + padding;
    bytes->resize((size_t)step * height);
    for (unsigned char& b : *bytes)
        b = in.Byte();
    *stride = upward ? -step : step;
    *origin = upward ? bytes->data() + (size_t)step * (height - 1) : bytes->data();
}

void OnePicture(FuzzReader& in, TheoraStockEntry* entry, int frame)
{
    Planes p;
    int yWidth = 1 + in.Below(48), yHeight = 1 + in.Below(48);
    int uvWidth, uvHeight;
    switch (in.Below(4)) {
    case 0:   // 4:2:0
        uvWidth = (yWidth + 1) / 2;
        uvHeight = (yHeight + 1) / 2;
        break;
    case 1:   // 4:2:2
        uvWidth = (yWidth + 1) / 2;
        uvHeight = yHeight;
        break;
    case 2:   // 4:4:4
        uvWidth = yWidth;
        uvHeight = yHeight;
        break;
    default:   // any size, even one the copy refuses
        uvWidth = in.Below(56);
        uvHeight = in.Below(56);
        break;
    }
    int paddings = in.Byte();
    int imageWidth = in.Below(56), imageHeight = in.Below(56);
    unsigned char* y = nullptr;
    unsigned char* u = nullptr;
    unsigned char* v = nullptr;
    int yStride = 0, uvStride = 0, vStride = 0;
    MakePlane(in, yWidth, yHeight, paddings & 7, paddings & 0x40, &p.y, &y, &yStride);
    if (uvWidth > 0 && uvHeight > 0) {
        MakePlane(in, uvWidth, uvHeight, (paddings >> 3) & 7, paddings & 0x80, &p.u, &u, &uvStride);
        MakePlane(in, uvWidth, uvHeight, (paddings >> 3) & 7, paddings & 0x80, &p.v, &v, &vStride);
    }
    p.buffer.y_width = yWidth;
    p.buffer.y_height = yHeight;
    p.buffer.y_stride = yStride;
    p.buffer.uv_width = uvWidth;
    p.buffer.uv_height = uvHeight;
    p.buffer.uv_stride = uvStride;
    p.buffer.y = y;
    p.buffer.u = u;
    p.buffer.v = v;
    if (CopyTheoraPicture(entry, &p.buffer, frame) != 0)
        return;
    FUZZ_CHECK(entry->filled.load() == 1 && entry->frame == frame);
    FUZZ_CHECK(entry->yWidth == yWidth && entry->uvWidth == uvWidth);
    // The copies are top-down whatever the source's stride.
    for (int row = 0; row < yHeight; row++)
        FUZZ_CHECK(memcmp(entry->y + (size_t)row * entry->yStride, y + (ptrdiff_t)row * yStride, yWidth) == 0);

    // The frame image, one spare byte a row and a sentinel everywhere.
    const int pitch = imageWidth * 4 + 1;
    std::vector<unsigned char> pixels((size_t)pitch * imageHeight + 1, 0xA5);
    RasterImage image;
    memset(&image, 0, sizeof image);
    image.width = imageWidth;
    image.height = imageHeight;
    image.pitch = pitch;
    image.pixels = pixels.data();
    ConvertTheoraPicture(entry, &image);
    const int w = yWidth < imageWidth ? yWidth : imageWidth;
    const int h = yHeight < imageHeight ? yHeight : imageHeight;
    for (int row = 0; row < imageHeight; row++)
        for (int x = 0; x < pitch; x++) {
            unsigned char b = pixels[(size_t)row * pitch + x];
            if (row < h && x < w * 4) {
                if (x % 4 == 3)
                    FUZZ_CHECK(b == 255);
            } else {
                FUZZ_CHECK(b == 0xA5);
            }
        }
    FUZZ_CHECK(pixels.back() == 0xA5);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int tables = InitYuvTables();
    (void)tables;
    TrackedMemoryScope scope;
    if (size > 1 << 16)
        return 0;
    FuzzReader in(data, size);
    TheoraStockEntry entry;
    entry.filled.store(0);
    entry.frame.store(-1);
    entry.y = entry.u = entry.v = nullptr;
    entry.yWidth = entry.yHeight = entry.yStride = 0;
    entry.uvWidth = entry.uvHeight = entry.uvStride = 0;
    OnePicture(in, &entry, 3);
    OnePicture(in, &entry, 4);
    FreeTracked(entry.y);
    FreeTracked(entry.u);
    FreeTracked(entry.v);
    return 0;
}
