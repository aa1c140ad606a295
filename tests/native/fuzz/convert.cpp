// The pixel converter. The input chooses, in this order (see Read* below):
// the source, destination and alpha-image formats; the source and
// destination sizes, pitches and row order; the rectangle and the position;
// the flags and the key; then its remaining bytes are the source and alpha
// pixels, repeated as needed.
//
// Within the converter's contract (the rectangle and position lie inside both
// images) nothing is read or written outside the images, and nothing outside
// the destination rectangle changes; a refused call writes nothing. The
// result then goes through the raster image's pixel access, mirror and turn.
#include <string.h>

#include <vector>

#include "image/color_format.h"
#include "image/convert.h"
#include "image/raster_image.h"
#include "runtime/system_state.h"
#include "tests/native/fuzz/fuzz_support.h"

namespace {

const int MaxSide = 32;

void ReadFormat(FuzzReader& in, ColorFormat* f)
{
    memset(f, 0, sizeof *f);
    switch (in.Below(13)) {
    case 0: SetColorFormatPal8(f); break;
    case 1: SetColorFormatGrey8(f); break;
    case 2: SetColorFormatXRGB32(f); break;
    case 3: SetColorFormatARGB32(f); break;
    case 4: SetColorFormatRGB24(f); break;
    case 5: MakeColorFormat(f, 16, 0xF800, 0x07E0, 0x001F, 0); break;
    case 6: MakeColorFormat(f, 16, 0x7C00, 0x03E0, 0x001F, 0); break;
    case 7: MakeColorFormat(f, 16, 0x7C00, 0x03E0, 0x001F, 0x8000); break;
    case 8: MakeColorFormat(f, 16, 0x0F00, 0x00F0, 0x000F, 0xF000); break;
    case 9: MakeColorFormat(f, 8, 0xE0, 0x1C, 0x03, 0); break;
    case 10: MakeColorFormat(f, 8, 0, 0, 0, 0xFF); break;
    case 11: {
        // Any masks, as a file's bit fields may give them, and depths that
        // no pixel size matches.
        static const int depths[] = {8, 16, 24, 32, 1, 4, 15, 48};
        int depth = depths[in.Below(8)];
        uint32_t r = in.Word32(), g = in.Word32(), b = in.Word32(), a = in.Word32();
        MakeColorFormat(f, depth, r, g, b, a);
        break;
    }
    default:
        SetColorFormatARGB32(f);
        f->compression = COLOR_COMPRESSION_DXT1 + in.Below(5);
        break;
    }
    // Palettes from a seed: equal seeds give equal palettes.
    uint32_t x = in.Byte();
    if (x && f->bytesPerPixel == 1)
        for (uint32_t& entry : f->palette)
            entry = (x = x * 1664525u + 1013904223u);
}

// An image buffer of exactly |pitch| x height bytes; `origin` is row 0, the
// last row when the pitch is negative.
struct Image {
    int width, height, pitch;
    std::vector<uint8_t> bytes;
    uint8_t* origin;

    void Make(FuzzReader& in, int bytesPerPixel, int w, int h)
    {
        width = w;
        height = h;
        int row = w * bytesPerPixel + in.Below(4);
        bytes.assign((size_t)row * h, 0);
        pitch = in.Flag() ? -row : row;
        origin = bytes.data() + (pitch < 0 ? (size_t)row * (h - 1) : 0);
    }
    void Fill(const uint8_t* data, size_t size, size_t* at)
    {
        if (!size)
            return;
        for (uint8_t& b : bytes)
            b = data[(*at)++ % size];
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TrackedMemoryScope scope;
    FuzzReader in(data, size);
    ColorFormat sf, df, af;
    ReadFormat(in, &sf);
    ReadFormat(in, &df);
    ReadFormat(in, &af);

    int sw = 1 + in.Below(MaxSide), sh = 1 + in.Below(MaxSide);
    int dw = 1 + in.Below(MaxSide), dh = 1 + in.Below(MaxSide);
    Image source, destination, alpha;
    source.Make(in, sf.bytesPerPixel, sw, sh);
    destination.Make(in, df.bytesPerPixel, dw, dh);
    alpha.Make(in, af.bytesPerPixel, sw, sh);

    int left = in.Below(sw), top = in.Below(sh);
    int dx = in.Below(dw), dy = in.Below(dh);
    int maxW = sw - left < dw - dx ? sw - left : dw - dx;
    int maxH = sh - top < dh - dy ? sh - top : dh - dy;
    int w = in.Below(maxW + 1), h = in.Below(maxH + 1);
    ConvertRect rect = {left, top, left + w, top + h};
    if (in.Flag()) {
        // Turned the wrong way round: empty.
        rect.right = left - w;
        rect.bottom = top - h;
    }

    int mirror = in.Flag();
    int keyToAlpha = in.Below(3);
    uint32_t key = in.Word32();
    int dither = in.Below(4);
    int colorOff = in.Flag();
    int alphaFromRed = in.Below(3);
    int skipKey = in.Below(3);
    int remap = in.Flag();
    bool alphaImage = in.Flag();
    bool alphaFormat = in.Flag();
    SystemState.kept.mmx = in.Flag();

    size_t at = 0;
    source.Fill(in.Rest(), in.RestSize(), &at);
    alpha.Fill(in.Rest(), in.RestSize(), &at);
    for (size_t i = 0; i < destination.bytes.size(); i++)
        destination.bytes[i] = (uint8_t)(0xA5 ^ i);
    std::vector<uint8_t> before = destination.bytes;

    int result = ConvertImageBlt(destination.origin, destination.pitch, &df, source.origin, source.pitch, &sf,
                                 alphaImage ? alpha.origin : nullptr, alpha.pitch, alphaFormat ? &af : nullptr, dx,
                                 dy, &rect, mirror, keyToAlpha, key, dither, colorOff, alphaFromRed, skipKey, remap);

    bool refused = sf.compression != COLOR_COMPRESSION_NONE || df.compression != COLOR_COMPRESSION_NONE ||
                   rect.right <= rect.left || rect.bottom <= rect.top;
    if (refused)
        FUZZ_CHECK(result == -1);
    FUZZ_CHECK(result >= -1 && result <= 255);
    if (result == -1) {
        FUZZ_CHECK(destination.bytes == before);
        return 0;
    }
    // Only the destination rectangle may change.
    int bytes = df.bytesPerPixel;
    int row = destination.pitch < 0 ? -destination.pitch : destination.pitch;
    for (int y = 0; y < dh; y++) {
        size_t start = (size_t)(destination.origin + (ptrdiff_t)destination.pitch * y - destination.bytes.data());
        for (int i = 0; i < row; i++) {
            bool inside = y >= dy && y < dy + h && i >= dx * bytes && i < (dx + w) * bytes;
            if (!inside)
                FUZZ_CHECK(destination.bytes[start + i] == before[start + i]);
        }
    }

    // The result as a raster image: pixel access in its format, and mirroring
    // and turning twice give it back.
    if (df.compression == COLOR_COMPRESSION_NONE) {
        RasterImage view;
        memset(&view, 0, sizeof view);
        view.format = df;
        view.width = dw;
        view.height = dh;
        view.pitch = destination.pitch;
        view.pixels = destination.origin;
        uint32_t r, g, b, a;
        GetImagePixel(&view, dx, dy);
        GetRasterImagePixel(&view, dx, dy, &r, &g, &b, &a);
        SetRasterImagePixel(&view, dx, dy, (int)(key >> 16), (int)(key >> 8), (int)key, (int)(key >> 24));
        std::vector<uint8_t> result = destination.bytes;
        FUZZ_CHECK(FlipImageHorizontal(&view) == 0 && FlipImageHorizontal(&view) == 0);
        FUZZ_CHECK(RotateImage180(&view) == 0 && RotateImage180(&view) == 0);
        FUZZ_CHECK(destination.bytes == result);
    }
    return 0;
}
