// The 32-bit software blit against the plain model of blit_reference.cpp,
// with guard bytes around every destination and sources that end at an
// inaccessible page, plus the worked examples of the rules.
#include <windows.h>

#include <gtest/gtest.h>
#include <limits.h>
#include <string.h>

#include <random>
#include <vector>

#include "blit_reference.h"
#include "graphics/draw_state.h"
#include "image/mem_image.h"
#include "image/soft_blend_tables.h"
#include "softrender/blit_kernels.h"
#include "tests/softrender/page_end_buffer.h"
#include "softrender/mem_blit.h"

namespace {

const int kGuard = 3; // guard pixels on every side of a destination

// A destination inside a larger canvas whose border must never change.
struct Canvas {
    std::vector<uint8_t> bytes;
    BlitImageDesc desc;

    Canvas(int width, int height, std::mt19937& rng)
    {
        const int pitch = (width + 2 * kGuard) * 4;
        bytes.resize((size_t)pitch * (height + 2 * kGuard));
        for (auto& b : bytes)
            b = (uint8_t)rng();
        desc = BlitImageDesc{};
        desc.width = width;
        desc.height = height;
        desc.pitch = pitch;
        desc.pixels = bytes.data() + kGuard * pitch + kGuard * 4;
        desc.bytesPerPixel = 4;
        desc.pixelKind = 1;
        desc.bodyPixels = desc.pixels;
        desc.bodyWidth = width;
        desc.bodyHeight = height;
    }
};

uint32_t RandomPixel(std::mt19937& rng, uint32_t key)
{
    switch (rng() % 6) {
    case 0: return key;
    case 1: return rng() & 0x00FFFFFF;            // alpha 0
    case 2: return rng() | 0xFF000000;            // alpha 255
    case 3: return key ^ 0x01000000;              // differs from the key in byte 3 only
    default: return rng();
    }
}

BlitImageDesc Desc32(uint8_t* pixels, int width, int height, int pitch)
{
    BlitImageDesc d = {};
    d.width = width;
    d.height = height;
    d.pixels = pixels;
    d.pitch = pitch;
    d.bytesPerPixel = 4;
    d.pixelKind = 1;
    d.bodyPixels = pixels;
    d.bodyWidth = width;
    d.bodyHeight = height;
    return d;
}

class Blit32Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        BuildSoftBlendTables();
        std::mt19937 rng(99);
        for (int i = 0; i < 256; i++)
            BlendGraphRamp[i] = (uint8_t)(i % 5 == 0 ? (i % 2 ? 0 : 255) : rng());
    }
};

TEST_F(Blit32Test, MatchesTheModelOverRandomDraws)
{
    static const int kModes[] = {0, 1, 2, 3, 4, 10, 11, 0, 1, 2, 3, 4, 10, 11, 5, 9, 12, -1};
    static const int kParams[] = {0, 1, 127, 128, 129, 254, 255};
    std::mt19937 rng(12345);
    for (int iter = 0; iter < 4000; iter++) {
        SCOPED_TRACE(iter);
        const int sw = 1 + (int)(rng() % (iter % 4 == 0 ? 70 : 9));
        const int sh = 1 + (int)(rng() % 5);
        // The source: either a whole body or a view into a larger one that
        // shares its body's run table.
        const bool view = rng() % 6 == 0;
        const int bw = view ? sw + 1 + (int)(rng() % 3) : sw, bh = view ? sh + (int)(rng() % 2) : sh;
        const int vx = view ? 1 : 0, vy = view ? bh - sh : 0;
        const int spitch = bw * 4 + (int)(rng() % 3) * 4;
        PageEndBuffer srcMem((size_t)spitch * (bh - 1) + (size_t)bw * 4);
        const uint32_t key = rng();
        const int alphaFlag = (int)(rng() % 3);
        for (int yy = 0; yy < bh; yy++)
            for (int xx = 0; xx < bw; xx++) {
                const uint32_t v = RandomPixel(rng, key);
                memcpy(srcMem.data() + (size_t)yy * spitch + (size_t)xx * 4, &v, 4);
            }
        BlitImageDesc body = Desc32(srcMem.data(), bw, bh, spitch);
        body.alphaFlag = alphaFlag;
        body.transColor = key;
        body.paletteFlag = rng() % 8 == 0 ? 2 : 0;
        std::vector<uint8_t> table = RefBuildRunTable32(&body);
        if (rng() % 8 == 0)
            for (auto& code : table)
                if (code == 0xC0)
                    code = 0xFF;
        if (rng() % 8 == 0)
            for (auto& code : table)
                if ((code >> 6) == 1 && rng() % 2)
                    code = (uint8_t)(0x80 | (code & 63));
        body.runTable = table.data();
        body.runTableSize = table.size();
        body.runTableValid = rng() % 6 == 0 ? 0 : 1;
        BlitImageDesc src = body;
        src.pixels = body.pixels + (size_t)vy * spitch + (size_t)vx * 4;
        src.width = sw;
        src.height = sh;

        const int dw = 1 + (int)(rng() % 80), dh = 1 + (int)(rng() % 8);
        Canvas out(dw, dh, rng);
        std::vector<uint8_t> expected = out.bytes;
        BlitImageDesc expDesc = out.desc;
        expDesc.pixels = expected.data() + (out.desc.pixels - out.bytes.data());

        BlitDrawValues draw;
        draw.mode = kModes[rng() % (sizeof kModes / sizeof kModes[0])];
        draw.param = rng() % 3 == 0 ? (int)(rng() % 256) : kParams[rng() % 7];
        const int brightKind = (int)(rng() % 4);
        draw.brightness = brightKind == 0 ? 0 : brightKind == 1 ? (uint32_t)rng() : (rng() << 24) | 0xFFFFFF;
        if (rng() % 3 == 0) {
            const int l = (int)(rng() % (dw + 2)) - 1, t = (int)(rng() % (dh + 2)) - 1;
            draw.area = {l, t, l + (int)(rng() % (dw + 1)) - 1, t + (int)(rng() % (dh + 1))};
        } else {
            draw.area = {0, 0, dw, dh};
        }
        int x, y;
        if (rng() % 2 && sw <= dw && sh <= dh) {
            x = (int)(rng() % (dw - sw + 1));
            y = (int)(rng() % (dh - sh + 1));
        } else {
            x = (int)(rng() % (dw + 2 * sw)) - sw - 1;
            y = (int)(rng() % (dh + 2 * sh)) - sh - 1;
        }
        const int transFlag = (int)(rng() % 3);

        const bool withBlend = rng() % 3 == 0;
        const int mw = sw + vx + (int)(rng() % 3) - (rng() % 10 == 0 ? 1 : 0);
        const int mh = sh + vy + (int)(rng() % 2);
        PageEndBuffer blendMem(withBlend && mw > 0 ? (size_t)mw * mh : 1);
        BlitImageDesc blend = {};
        if (withBlend && mw > 0) {
            for (int i = 0; i < mw * mh; i++)
                blendMem.data()[i] = (uint8_t)rng();
            blend = Desc32(blendMem.data(), mw, mh, mw);
            blend.bytesPerPixel = 1;
            blend.pixelKind = 2;
        }
        const BlitImageDesc* blendArg = withBlend && mw > 0 ? &blend : nullptr;

        ReferenceBlit(&expDesc, &src, x, y, transFlag, blendArg, &draw, BlendGraphRamp);
        PlanAndRunBlit(&out.desc, &src, x, y, transFlag, blendArg, &draw);
        if (out.bytes != expected) {
            size_t i = 0;
            while (out.bytes[i] == expected[i])
                i++;
            FAIL() << "byte " << i << " mode " << draw.mode << " p " << draw.param << " bright " << std::hex
                   << draw.brightness << std::dec << " alpha " << alphaFlag << " trans " << transFlag << " blend "
                   << (blendArg != nullptr) << " view " << view << " src " << sw << "x" << sh << " at " << x << ","
                   << y << " got " << (int)out.bytes[i] << " want " << (int)expected[i];
        }
    }
}

// Rows of every alpha under every mode, flag and a spread of parameters, so
// that the four-pixel kernels meet each weight against a full range of
// channel values (the extremes 0 and 255 included) and mixed pixel classes.
TEST_F(Blit32Test, EveryAlphaUnderEveryModeMatchesTheModel)
{
    const int w = 259, h = 6; // not a multiple of four: the last pixels are the scalar rules'
    std::mt19937 rng(4242);
    std::vector<uint32_t> srcPixels((size_t)w * h), dstPixels((size_t)w * h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const uint32_t a = (uint32_t)(x + 37 * y) & 255;
            const uint32_t b = y == 0 ? 0 : y == 1 ? 255 : (uint32_t)rng() & 255;
            const uint32_t g = y == 0 ? 255 : (uint32_t)(x * 7) & 255, r = (uint32_t)rng() & 255;
            srcPixels[(size_t)y * w + x] = a << 24 | r << 16 | g << 8 | b;
            dstPixels[(size_t)y * w + x] = y < 2 ? (y == 0 ? 0xFFFFFFFFu : 0u) : (uint32_t)rng();
        }
    srcPixels[5] = 0x00ABCDEF; // the key, in a group of drawn pixels
    BlitImageDesc src = Desc32((uint8_t*)srcPixels.data(), w, h, w * 4);
    src.transColor = 0x00ABCDEF;
    for (int mode : {0, 1, 2, 3, 4, 10, 11})
        for (int alphaFlag : {0, 1})
            for (int transFlag : {0, 2})
                for (uint32_t brightness : {0xFFFFFFu, 0x80C0FFu, 0x00FF01u})
                    for (int p : {1, 100, 128, 200, 254, 255}) {
                        SCOPED_TRACE(::testing::Message() << "mode " << mode << " alpha " << alphaFlag << " trans "
                                                          << transFlag << " bright " << std::hex << brightness
                                                          << std::dec << " p " << p);
                        src.alphaFlag = alphaFlag;
                        std::vector<uint32_t> got = dstPixels, want = dstPixels;
                        BlitImageDesc gotDesc = Desc32((uint8_t*)got.data(), w, h, w * 4);
                        BlitImageDesc wantDesc = Desc32((uint8_t*)want.data(), w, h, w * 4);
                        const BlitDrawValues draw = {mode, p, brightness, {0, 0, w, h}};
                        PlanAndRunBlit(&gotDesc, &src, 0, 0, transFlag, nullptr, &draw);
                        ReferenceBlit(&wantDesc, &src, 0, 0, transFlag, nullptr, &draw, BlendGraphRamp);
                        size_t i = 0;
                        while (i < got.size() && got[i] == want[i])
                            i++;
                        ASSERT_EQ(got.size(), i) << "pixel " << i % w << "," << i / w << std::hex << " got "
                                                 << got[i] << " want " << want[i];
                    }
}

// One source pixel drawn onto one destination pixel, whole (run-table path
// where the flags allow it) or with a second column clipped away.
struct PixelCase {
    const char* what;
    int mode, p;
    uint32_t brightness;
    int alphaFlag, transFlag;
    bool clipped;
    int factor;               // blend-image factor, -1 without a blend image
    uint32_t key, D, S, want;
};

const PixelCase kPixelCases[] = {
    {"add black keeps the colour, byte 3 0", 2, 255, 0xFFFFFF, 0, 0, false, -1, 1, 0xAB123456, 0, 0x00123456},
    {"add white to white", 2, 255, 0xFFFFFF, 0, 0, false, -1, 1, 0x00FFFFFF, 0x00FFFFFF, 0x01FFFFFF},
    {"subtract black", 3, 255, 0xFFFFFF, 0, 0, false, -1, 1, 0xAB123456, 0, 0x00133556},
    {"subtract a colour from itself", 3, 255, 0xFFFFFF, 0, 0, false, -1, 1, 0x55402010, 0x00402010, 0x00010100},
    {"add 0x010101 to black at 255", 2, 255, 0xFFFFFF, 0, 0, false, -1, 0, 0x00000000, 0x00010101, 0x00010101},
    {"multiply white by white", 4, 0, 0xFFFFFF, 0, 0, false, -1, 1, 0x77FFFFFF, 0x00FFFFFF, 0x77FEFEFE},
    {"multiply, alpha 0, flag off", 4, 9, 0xFFFFFF, 1, 0, false, -1, 1, 0x77808080, 0x00FFFFFF, 0x77000000},
    {"multiply, alpha 0, flag on", 4, 9, 0xFFFFFF, 1, 1, false, -1, 1, 0x77808080, 0x00FFFFFF, 0x77808080},
    {"multiply, alpha 0, flag on, clipped", 4, 9, 0xFFFFFF, 1, 1, true, -1, 1, 0x77808080, 0x00FFFFFF,
     0x77808080},
    {"copy alpha source, flag off: whole pixel", 0, 0, 0xFFFFFF, 1, 0, false, -1, 1, 0x77808080, 0x00112233,
     0x00112233},
    {"copy alpha source, flag off, brightness: mixes by a", 0, 0, 0xFEFEFE, 1, 0, false, -1, 1, 0x77808080,
     0x00112233, 0x77808080},
    {"copy a = 255 under the flag: whole pixel", 0, 0, 0xFFFFFF, 1, 1, false, -1, 1, 0x77000000, 0xFF112233,
     0xFF112233},
    {"copy a = 255 under the flag, brightness", 0, 0, 0xFEFEFE, 1, 1, true, -1, 1, 0x77000000, 0xFF112233,
     0x77102132},
    {"alpha blend 128, clipped: halves", 1, 128, 0xFFFFFF, 0, 1, true, -1, 0, 0x55010101, 0x00010101, 0},
    {"alpha blend 128, run table: M8", 1, 128, 0xFFFFFF, 0, 1, false, -1, 0, 0x55010101, 0x00010101, 0x55010101},
    {"differs from the key in byte 3: drawn", 0, 0, 0xFFFFFF, 0, 2, false, -1, 0x00123456, 0, 0x01123456,
     0x01123456},
    {"inverted: key tested before inversion", 10, 255, 0xFFFFFF, 0, 2, false, -1, 0x00123456, 0x99999999,
     0x00123456, 0x99999999},
    {"inverted at 255", 10, 255, 0xFFFFFF, 0, 2, false, -1, 0, 0x99999999, 0x00FF0010, 0x9900FEEE},
    {"brightness 0, copy writes black", 0, 0, 0, 0, 0, false, -1, 1, 0x77808080, 0x00FFFFFF, 0x77000000},
    {"brightness 0, add clears byte 3", 2, 255, 0, 0, 0, false, -1, 1, 0x77808080, 0x00FFFFFF, 0x00808080},
    {"brightness top byte ignored", 0, 0, 0xAAFFFFFF, 0, 0, false, -1, 1, 0x77808080, 0x00345678, 0x00345678},
    {"inverted at 0 unchanged", 10, 0, 0xFFFFFF, 0, 0, false, -1, 1, 0x77808080, 0x00345678, 0x77808080},
    {"multiply blend at 0 unchanged", 11, 0, 0xFFFFFF, 0, 0, false, -1, 1, 0x77808080, 0x00345678, 0x77808080},
    {"multiply at p 0 still multiplies", 4, 0, 0xFFFFFF, 0, 0, false, -1, 1, 0x77808080, 0x00FFFFFF,
     0x777F7F7F},
    {"alpha blend at 255 copies whole", 1, 255, 0xFFFFFF, 0, 0, false, -1, 1, 0x77808080, 0x12345678,
     0x12345678},
    {"alpha blend at 0 draws nothing", 1, 0, 0xFFFFFF, 0, 0, false, -1, 1, 0x77808080, 0x12345678, 0x77808080},
    {"add at 0 draws nothing", 2, 0, 0xFFFFFF, 0, 0, false, -1, 1, 0x77808080, 0x12345678, 0x77808080},
    {"subtract at 0 draws nothing", 3, 0, 0xFFFFFF, 0, 0, false, -1, 1, 0x77808080, 0x12345678, 0x77808080},
    {"mode 5 draws nothing", 5, 100, 0xFFFFFF, 0, 0, false, -1, 1, 0x77808080, 0x12345678, 0x77808080},
    {"mode 9 draws nothing", 9, 100, 0xFFFFFF, 0, 0, false, -1, 1, 0x77808080, 0x12345678, 0x77808080},
    {"mode 12 draws nothing", 12, 100, 0xFFFFFF, 0, 0, false, -1, 1, 0x77808080, 0x12345678, 0x77808080},
    {"mode -1 draws nothing", -1, 100, 0xFFFFFF, 0, 0, false, -1, 1, 0x77808080, 0x12345678, 0x77808080},
    {"factor 0: copy unchanged", 0, 0, 0xFFFFFF, 0, 0, false, 0, 1, 0x77808080, 0x00345678, 0x77808080},
    {"factor 0: alpha blend unchanged", 1, 100, 0xFFFFFF, 0, 0, false, 0, 1, 0x77808080, 0x00345678,
     0x77808080},
    {"factor 0: inverted unchanged", 10, 100, 0xFFFFFF, 0, 0, false, 0, 1, 0x77808080, 0x00345678, 0x77808080},
    {"factor 0: multiply blend unchanged", 11, 100, 0xFFFFFF, 0, 0, false, 0, 1, 0x77808080, 0x00345678,
     0x77808080},
    {"factor 0: multiply writes 0", 4, 100, 0xFFFFFF, 0, 0, false, 0, 1, 0x77808080, 0x00345678, 0x77000000},
    {"factor 0: add adds 0", 2, 100, 0xFFFFFF, 0, 0, false, 0, 1, 0x77808080, 0x00345678, 0x00808080},
    {"factor 0: subtract sets the low bits", 3, 100, 0xFFFFFF, 0, 0, false, 0, 1, 0x77808080, 0x00345678,
     0x00818180},
    {"factor 255, copy: M8(d, e, 255)", 0, 0, 0xFFFFFF, 0, 0, false, 255, 1, 0x77000000, 0x00FFFFFF,
     0x77FEFEFE},
    {"palette flag 2 counts as direct", 0, 0, 0xFFFFFF, 0, 0, false, -1, 1, 0x77808080, 0x00345678,
     0x00345678},
    {"alpha flag 2 counts as unset", 4, 0, 0xFFFFFF, 2, 0, false, -1, 1, 0x77808080, 0x00FFFFFF, 0x777F7F7F},
};

TEST_F(Blit32Test, WorkedExamples)
{
    for (const PixelCase& c : kPixelCases) {
        SCOPED_TRACE(c.what);
        uint32_t srcPixels[2] = {c.S, c.S};
        uint32_t dstPixels[2] = {c.D, c.D};
        BlitImageDesc src = Desc32((uint8_t*)srcPixels, 2, 1, 8);
        src.alphaFlag = c.alphaFlag;
        src.transColor = c.key;
        src.paletteFlag = strstr(c.what, "palette flag 2") ? 2 : 0;
        BlitImageDesc tableSrc = src;
        std::vector<uint8_t> table = RefBuildRunTable32(&tableSrc);
        src.runTable = table.data();
        src.runTableSize = table.size();
        src.runTableValid = 1;
        BlitImageDesc dst = Desc32((uint8_t*)dstPixels, 2, 1, 8);
        uint8_t blendBytes[2] = {7, 7};
        BlitImageDesc blend = Desc32(blendBytes, 2, 1, 2);
        blend.bytesPerPixel = 1;
        const uint8_t saved = BlendGraphRamp[7];
        BlendGraphRamp[7] = (uint8_t)(c.factor < 0 ? 0 : c.factor);
        BlitDrawValues draw = {c.mode, c.p, c.brightness, {0, 0, c.clipped ? 1 : 2, 1}};
        const BlitImageDesc* b = c.factor < 0 ? nullptr : &blend;
        PlanAndRunBlit(&dst, &src, 0, 0, c.transFlag, b, &draw);
        uint32_t refPixels[2] = {c.D, c.D};
        BlitImageDesc ref = Desc32((uint8_t*)refPixels, 2, 1, 8);
        ReferenceBlit(&ref, &src, 0, 0, c.transFlag, b, &draw, BlendGraphRamp);
        BlendGraphRamp[7] = saved;
        EXPECT_EQ(c.want, dstPixels[0]) << std::hex << dstPixels[0];
        EXPECT_EQ(c.want, refPixels[0]) << "the model disagrees: " << std::hex << refPixels[0];
        EXPECT_EQ(c.clipped ? c.D : c.want, dstPixels[1]);
    }
}

// Refusals of the frame and clips at the integer limits: nothing drawn,
// nothing outside the images touched.
TEST_F(Blit32Test, RefusalsAndExtremeClips)
{
    struct Case {
        const char* what;
        int x, y;
        int dstKind, dstPalette, dstAlpha;
        BlitRect area;
        int blendWidth;       // 0 without a blend image
    };
    const Case cases[] = {
        {"16-bit destination", 0, 0, 0, 0, 0, {0, 0, 4, 4}, 0},
        {"destination with a palette", 0, 0, 1, 1, 0, {0, 0, 4, 4}, 0},
        {"destination with alpha", 0, 0, 1, 0, 1, {0, 0, 4, 4}, 0},
        {"wholly outside", 4, 0, 1, 0, 0, {0, 0, 4, 4}, 0},
        {"area of zero width", 0, 0, 1, 0, 0, {2, 0, 2, 4}, 0},
        {"area inverted", 0, 0, 1, 0, 0, {3, 0, 1, 4}, 0},
        {"x near the limit", INT_MAX - 1, 0, 1, 0, 0, {0, 0, 4, 4}, 0},
        {"y near the limit", 0, INT_MAX, 1, 0, 0, {0, 0, 4, 4}, 0},
        {"x at the negative limit", INT_MIN, 0, 1, 0, 0, {INT_MIN, 0, INT_MAX, 4}, 0},
        {"area beyond the destination", 4, 4, 1, 0, 0, {-100, -100, 100, 100}, 0},
        {"blend image narrower than the region read", 0, 0, 1, 0, 0, {0, 0, 4, 4}, 2},
    };
    std::mt19937 rng(5);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        uint32_t srcPixels[9];
        for (auto& v : srcPixels)
            v = rng() | 0xFF000000;
        BlitImageDesc src = Desc32((uint8_t*)srcPixels, 3, 3, 12);
        Canvas out(4, 4, rng);
        out.desc.pixelKind = c.dstKind;
        out.desc.bytesPerPixel = c.dstKind == 1 ? 4 : 2;
        out.desc.paletteFlag = c.dstPalette;
        out.desc.alphaFlag = c.dstAlpha;
        const std::vector<uint8_t> before = out.bytes;
        uint8_t blendBytes[9] = {};
        BlitImageDesc blend = Desc32(blendBytes, c.blendWidth, 3, 3);
        blend.bytesPerPixel = 1;
        BlitDrawValues draw = {0, 0, 0xFFFFFF, c.area};
        PlanAndRunBlit(&out.desc, &src, c.x, c.y, 0, c.blendWidth ? &blend : nullptr, &draw);
        EXPECT_TRUE(out.bytes == before);
    }
}

// Hand-made run tables: the run kinds decide, codes 0xC0..0xFF end a row,
// and a table that claims more pixels than a row holds is cut at the row.
TEST_F(Blit32Test, RunTableWalk)
{
    struct Case {
        const char* what;
        int width, height, alphaFlag, withBlend;
        std::vector<uint8_t> table;
    };
    const Case cases[] = {
        {"skip rows", 10, 3, 0, 0, {0x09, 0xC0, 0x44, 0x04, 0xC0, 0x02, 0x46, 0xC0}},
        {"64 + 1 run", 65, 2, 0, 0, {0x7F, 0x40, 0xC0, 0x3F, 0x40, 0xC0}},
        {"0xFF ends a row", 5, 2, 0, 1, {0x44, 0xFF, 0x01, 0x42, 0xE3}},
        {"translucent code without alpha flag", 5, 1, 0, 0, {0x84, 0xC0}},
        {"translucent code with alpha flag", 5, 1, 1, 1, {0x81, 0x42, 0xC0}},
        {"run beyond the row", 4, 2, 0, 0, {0x7F, 0x7F, 0xC0, 0x45, 0xC0}},
        {"row cut short", 6, 2, 0, 0, {0x41, 0xC0, 0x45, 0xC0}},
        {"table ends early", 6, 3, 0, 0, {0x45, 0xC0, 0x42}},
    };
    std::mt19937 rng(77);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int pitch = c.width * 4;
        PageEndBuffer srcMem((size_t)pitch * c.height);
        for (int i = 0; i < c.width * c.height; i++) {
            // Every pixel equals the key: only the table makes them drawn.
            const uint32_t v = c.alphaFlag ? (rng() & 0xFFFFFF) | 0x40000000 : 0x00ABCDEF;
            memcpy(srcMem.data() + (size_t)i * 4, &v, 4);
        }
        BlitImageDesc src = Desc32(srcMem.data(), c.width, c.height, pitch);
        src.alphaFlag = c.alphaFlag;
        src.transColor = 0x00ABCDEF;
        PageEndBuffer tableMem(c.table.size());
        memcpy(tableMem.data(), c.table.data(), c.table.size());
        src.runTable = tableMem.data();
        src.runTableSize = c.table.size();
        src.runTableValid = 1;
        // A blend image wider than the source: its rows stay aligned.
        const int mw = c.width + 3;
        std::vector<uint8_t> blendBytes((size_t)mw * c.height);
        for (auto& b : blendBytes)
            b = (uint8_t)rng();
        BlitImageDesc blend = Desc32(blendBytes.data(), mw, c.height, mw);
        blend.bytesPerPixel = 1;
        Canvas out(c.width + 2, c.height + 1, rng);
        const std::vector<uint8_t> initial = out.bytes;
        std::vector<uint8_t> expected = out.bytes;
        BlitImageDesc expDesc = out.desc;
        expDesc.pixels = expected.data() + (out.desc.pixels - out.bytes.data());
        for (int mode : {0, 1, 4}) {
            BlitDrawValues draw = {mode, 100, 0xFFFFFF, {0, 0, c.width + 2, c.height + 1}};
            const BlitImageDesc* b = c.withBlend ? &blend : nullptr;
            ReferenceBlit(&expDesc, &src, 1, 1, 1, b, &draw, BlendGraphRamp);
            PlanAndRunBlit(&out.desc, &src, 1, 1, 1, b, &draw);
            EXPECT_TRUE(out.bytes == expected) << "mode " << mode;
        }
        // The walk drew keyed pixels, so it was the path taken.
        EXPECT_FALSE(out.bytes == initial);
    }
}

// Through the MEMIMG records and the draw state: a view that shares its
// image's body and run table is drawn by the normal path, and the draw area
// and blend mode come from the draw state.
TEST_F(Blit32Test, MemImageViewsAndDrawState)
{
    MEMIMG sheet = {}, view = {}, target = {};
    ASSERT_EQ(0, CreateMemImage(&sheet, 8, 4, -1, 0x00ABCDEF, 1, 0, 0, 1, nullptr));
    ASSERT_EQ(0, CreateMemImage(&target, 8, 4, -1, 0, 1, 0, 0, 0, nullptr));
    MemImgBody* body = sheet.body;
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 8; x++) {
            // Left half keyed, right half drawn.
            const uint32_t v = x < 4 ? 0x00ABCDEF : 0x00100000u + (uint32_t)(y * 8 + x);
            memcpy((uint8_t*)body->pixels + y * body->pitch + x * 4, &v, 4);
        }
    BlitImageDesc whole = Desc32((uint8_t*)body->pixels, 8, 4, body->pitch);
    whole.transColor = 0x00ABCDEF;
    const std::vector<uint8_t> table = RefBuildRunTable32(&whole);
    memcpy(body->runTable, table.data(), table.size());
    body->runTableValid = 1;
    ASSERT_EQ(0, DeriveMemImage(&view, &sheet, 2, 1, 4, 2));
    FillMemImageRect(&target, nullptr, 0x11111111);

    const DrawState saved = Draw;
    Draw.blendMode = 0;
    Draw.blendParam = 0;
    Draw.brightness = 0xFFFFFF;
    SetRect(&Draw.area, 0, 0, 8, 4);
    BlitMemImage(&target, &view, 0, 0, 1, nullptr);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 8; x++) {
            uint32_t got;
            memcpy(&got, (uint8_t*)target.pixels + y * target.body->pitch + x * 4, 4);
            const uint32_t want =
                y < 2 && x >= 2 && x < 4 ? 0x00100000u + (uint32_t)((y + 1) * 8 + x + 2) : 0x11111111u;
            EXPECT_EQ(want, got) << x << "," << y;
        }

    // The draw area of the draw state clips.
    SetRect(&Draw.area, 0, 0, 5, 4);
    Draw.blendMode = 2;
    Draw.blendParam = 255;
    FillMemImageRect(&target, nullptr, 0);
    BlitMemImage(&target, &sheet, 0, 0, 0, nullptr);
    uint32_t got;
    memcpy(&got, (uint8_t*)target.pixels + 4 * 4, 4);
    EXPECT_EQ(0x00100004u, got);
    memcpy(&got, (uint8_t*)target.pixels + 5 * 4, 4);
    EXPECT_EQ(0u, got);
    Draw = saved;
    ReleaseMemImage(&view);
    ReleaseMemImage(&sheet);
    ReleaseMemImage(&target);
}

} // namespace
