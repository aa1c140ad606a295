// The 16-bit and palette one-to-one blits and the stretched blit of every
// source kind on random sizes, rectangles (often near the integer limits),
// draw areas, blend images and flags. Every image lives in a block of its
// own exact size, so a pointer that leaves one is caught by the sanitizer;
// the result must equal the plain model's.
//
// Input: sizes and rectangle, then flags, then pixel bytes (zeros once the
// input runs out).
#include <limits.h>
#include <string.h>

#include <memory>
#include <vector>

#include "image/soft_blend_tables.h"
#include "softrender/blit_kernels.h"
#include "softrender/stretch_blit.h"
#include "tests/native/fuzz/fuzz_support.h"
#include "tests/softrender/blit_reference16.h"

namespace {

const int MaxSide = 24;

int32_t Coordinate(FuzzReader& in)
{
    switch (in.Below(10)) {
    case 0: return INT_MAX - in.Below(MaxSide);
    case 1: return INT_MIN + in.Below(MaxSide);
    case 2: return (int32_t)in.Word32();
    default: return in.Below(4 * MaxSide) - MaxSide;
    }
}

BlitImageDesc Desc(uint8_t* pixels, int width, int height, int pitch, int bytesPerPixel, int kind)
{
    BlitImageDesc d = {};
    d.width = width;
    d.height = height;
    d.pixels = pixels;
    d.pitch = pitch;
    d.bytesPerPixel = bytesPerPixel;
    d.pixelKind = kind;
    d.bodyPixels = pixels;
    d.bodyWidth = width;
    d.bodyHeight = height;
    return d;
}

// Bytes of an image whose last row ends at the block's end.
size_t ImageBytes(int pitch, int height, int rowBytes)
{
    return (size_t)pitch * (size_t)(height - 1) + (size_t)rowBytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool tables = false;
    if (!tables) {
        BuildSoftBlendTables();
        BuildSoftFadeTable(100, 60);
        tables = true;
    }
    FuzzReader in(data, size);
    const int kind = in.Below(2);
    const int srcKind = in.Below(3); // 0 plain, 1 alpha, 2 palette
    const bool stretch = in.Below(4) != 0;
    const int sw = 1 + in.Below(MaxSide), sh = 1 + in.Below(MaxSide);
    const int dw = 1 + in.Below(MaxSide), dh = 1 + in.Below(MaxSide);
    const int pad = in.Below(3);
    int32_t rect[4];
    for (int32_t& v : rect)
        v = Coordinate(in);
    if (in.Flag()) {
        // Often a sensible rectangle around the destination.
        for (int i = 0; i < 2; i++) {
            const int64_t v = (int64_t)rect[i] + (in.Flag() ? 1 : -1) * (1 + in.Below(3 * MaxSide));
            rect[i + 2] = (int32_t)(v < INT_MIN ? INT_MIN : (v > INT_MAX ? INT_MAX : v));
        }
    }
    BlitDrawValues draw;
    draw.area.left = Coordinate(in);
    draw.area.top = Coordinate(in);
    draw.area.right = Coordinate(in);
    draw.area.bottom = Coordinate(in);
    if (in.Flag())
        draw.area = BlitRect{0, 0, dw, dh};
    static const int modes[] = {0, 1, 2, 3, 4, 10, 11, 7, -3, 40};
    draw.mode = modes[in.Below(10)];
    draw.param = in.Below(4) == 0 ? 128 + in.Below(3) * 127 - 127 : in.Byte();
    draw.brightness = in.Flag() ? 0xFFFFFF : in.Word32();
    const int32_t transFlag = in.Below(3);
    const bool withBlend = in.Flag();
    const int mw = 1 + in.Below(MaxSide), mh = 1 + in.Below(MaxSide);
    const uint32_t key = in.Word32();

    const int sbpp = srcKind == 2 ? 1 : (kind == 1 || srcKind == 1 ? 4 : 2);
    const int spitch = (sw + pad) * sbpp;
    const size_t srcBytes = ImageBytes(spitch, sh, sw * sbpp);
    std::unique_ptr<uint8_t[]> srcMem(new uint8_t[srcBytes]);
    for (size_t i = 0; i < srcBytes; i++)
        srcMem[i] = in.Flag() ? (uint8_t)(key >> (8 * (i % (size_t)sbpp))) : in.Byte();
    BlitImageDesc src = Desc(srcMem.get(), sw, sh, spitch, sbpp, kind);
    src.transColor = srcKind == 2 ? (key & 0xFF) : (kind == 0 ? key & 0xFFFF : key);
    src.paletteFlag = srcKind == 2 ? 1 : 0;
    src.alphaFlag = srcKind == 1 ? 1 : in.Below(2) * 2;
    std::unique_ptr<uint8_t[]> paletteMem(new uint8_t[1024]);
    for (int i = 0; i < 1024; i++)
        paletteMem[i] = (uint8_t)(i * 13 + (int)(key & 0xFF));
    src.palette = paletteMem.get();
    src.paletteCount = in.Below(256) + 1;
    std::vector<uint8_t> table = Ref16BuildRunTable(&src);
    std::unique_ptr<uint8_t[]> tableMem(new uint8_t[table.size()]);
    memcpy(tableMem.get(), table.data(), table.size());
    src.runTable = tableMem.get();
    src.runTableSize = table.size();
    src.runTableValid = 1;

    const int dbpp = kind == 1 ? 4 : 2;
    const size_t dstBytes = (size_t)dw * dh * dbpp;
    std::unique_ptr<uint8_t[]> dstMem(new uint8_t[dstBytes]);
    for (size_t i = 0; i < dstBytes; i++)
        dstMem[i] = (uint8_t)(i * 37);
    std::vector<uint8_t> expected(dstMem.get(), dstMem.get() + dstBytes);
    BlitImageDesc dst = Desc(dstMem.get(), dw, dh, dw * dbpp, dbpp, kind);
    BlitImageDesc ref = Desc(expected.data(), dw, dh, dw * dbpp, dbpp, kind);

    std::unique_ptr<uint8_t[]> blendMem(new uint8_t[(size_t)mw * mh]);
    for (int i = 0; i < mw * mh; i++)
        blendMem[i] = (uint8_t)(i * 11);
    BlitImageDesc blend = Desc(blendMem.get(), mw, mh, mw, 1, 2);
    const BlitImageDesc* b = withBlend ? &blend : nullptr;

    // The model of the 32-bit direct one-to-one blit lives with its own
    // target; here such draws only run.
    const bool direct32 = kind == 1 && srcKind != 2;
    if (stretch) {
        const bool handOff = rect[0] < rect[2] && rect[1] < rect[3] && (int64_t)rect[2] - rect[0] == sw &&
                             (int64_t)rect[3] - rect[1] == sh;
        PlanAndRunStretch(&dst, &src, rect, transFlag, b, &draw);
        if (handOff && direct32)
            return 0;
        Ref16Stretch(&ref, &src, rect, transFlag, b, &draw, BlendGraphRamp);
    } else {
        PlanAndRunBlit(&dst, &src, rect[0], rect[1], transFlag, b, &draw);
        if (direct32)
            return 0;
        Ref16Blit(&ref, &src, rect[0], rect[1], transFlag, b, &draw, BlendGraphRamp);
    }
    FUZZ_CHECK(memcmp(dstMem.get(), expected.data(), dstBytes) == 0);
    return 0;
}
