// The software blit's frame and 32-bit kernels on random sizes, positions,
// views, draw areas, blend images, run tables and flags. Every image lives
// in a block of its own exact size, so a pointer that leaves one is caught
// by the sanitizer; the result must equal the plain model's.
//
// Input: sizes and positions, then flags, then pixel bytes (zeros once the
// input runs out).
#include <limits.h>
#include <string.h>

#include <memory>
#include <vector>

#include "image/soft_blend_tables.h"
#include "softrender/blit_kernels.h"
#include "tests/native/fuzz/fuzz_support.h"
#include "tests/softrender/blit_reference.h"

namespace {

const int MaxSide = 40;

// Positions are often near the integer limits.
int32_t Position(FuzzReader& in)
{
    switch (in.Below(8)) {
    case 0: return INT_MAX - in.Below(MaxSide);
    case 1: return INT_MIN + in.Below(MaxSide);
    default: return in.Below(3 * MaxSide) - MaxSide;
    }
}

BlitImageDesc Desc(uint8_t* pixels, int width, int height, int pitch, int bytesPerPixel)
{
    BlitImageDesc d = {};
    d.width = width;
    d.height = height;
    d.pixels = pixels;
    d.pitch = pitch;
    d.bytesPerPixel = bytesPerPixel;
    d.pixelKind = 1;
    d.bodyPixels = pixels;
    d.bodyWidth = width;
    d.bodyHeight = height;
    return d;
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
    const int bw = 1 + in.Below(MaxSide), bh = 1 + in.Below(MaxSide);
    const int pad = in.Below(3);
    // A view: its offset and size within the body.
    const int vx = in.Below(bw), vy = in.Below(bh);
    const int vw = 1 + in.Below(bw - vx), vh = 1 + in.Below(bh - vy);
    const int dw = 1 + in.Below(MaxSide), dh = 1 + in.Below(MaxSide);
    const int32_t x = Position(in), y = Position(in);
    BlitDrawValues draw;
    draw.area.left = Position(in);
    draw.area.top = Position(in);
    draw.area.right = Position(in);
    draw.area.bottom = Position(in);
    static const int modes[] = {0, 1, 2, 3, 4, 10, 11, 7, -3, 40};
    draw.mode = modes[in.Below(10)];
    draw.param = in.Below(4) == 0 ? 128 + in.Below(3) * 127 - 127 : in.Byte();
    draw.brightness = in.Flag() ? 0xFFFFFF : in.Word32();
    const int32_t transFlag = in.Below(3);
    const int alphaFlag = in.Below(3);
    const bool withBlend = in.Flag();
    const int mw = 1 + in.Below(MaxSide), mh = 1 + in.Below(MaxSide);
    const int tableKind = in.Below(4); // 0 none, 1 built, 2 built then damaged, 3 raw bytes
    const uint32_t key = in.Word32();

    const int spitch = (bw + pad) * 4;
    const size_t srcBytes = (size_t)spitch * (bh - 1) + (size_t)bw * 4;
    std::unique_ptr<uint8_t[]> srcMem(new uint8_t[srcBytes]);
    for (size_t i = 0; i < srcBytes; i++)
        srcMem[i] = in.Flag() ? (uint8_t)(key >> (8 * (i % 4))) : in.Byte();
    BlitImageDesc body = Desc(srcMem.get(), bw, bh, spitch, 4);
    body.transColor = key;
    body.alphaFlag = alphaFlag;
    std::vector<uint8_t> table;
    if (tableKind == 1 || tableKind == 2)
        table = RefBuildRunTable32(&body);
    if (tableKind == 2 && !table.empty())
        table[in.Below((int)table.size())] = in.Byte();
    if (tableKind == 3)
        for (int i = in.Below(64); i > 0; i--)
            table.push_back(in.Byte());
    std::unique_ptr<uint8_t[]> tableMem(new uint8_t[table.size() + 1]);
    memcpy(tableMem.get(), table.data(), table.size());
    body.runTable = table.empty() ? nullptr : tableMem.get();
    body.runTableSize = table.size();
    body.runTableValid = tableKind ? 1 : 0;
    BlitImageDesc src = body;
    src.pixels = body.pixels + (size_t)vy * spitch + (size_t)vx * 4;
    src.width = vw;
    src.height = vh;

    const size_t dstBytes = (size_t)dw * dh * 4;
    std::unique_ptr<uint8_t[]> dstMem(new uint8_t[dstBytes]);
    for (size_t i = 0; i < dstBytes; i++)
        dstMem[i] = (uint8_t)(i * 37);
    std::vector<uint8_t> expected(dstMem.get(), dstMem.get() + dstBytes);
    BlitImageDesc dst = Desc(dstMem.get(), dw, dh, dw * 4, 4);
    BlitImageDesc ref = Desc(expected.data(), dw, dh, dw * 4, 4);

    std::unique_ptr<uint8_t[]> blendMem(new uint8_t[(size_t)mw * mh]);
    for (int i = 0; i < mw * mh; i++)
        blendMem[i] = (uint8_t)(i * 11);
    BlitImageDesc blend = Desc(blendMem.get(), mw, mh, mw, 1);
    blend.pixelKind = 2;

    PlanAndRunBlit(&dst, &src, x, y, transFlag, withBlend ? &blend : nullptr, &draw);
    ReferenceBlit(&ref, &src, x, y, transFlag, withBlend ? &blend : nullptr, &draw, BlendGraphRamp);
    FUZZ_CHECK(memcmp(dstMem.get(), expected.data(), dstBytes) == 0);
    return 0;
}
