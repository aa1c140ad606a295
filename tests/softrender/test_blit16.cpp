// The 16-bit, palette and stretched blits against the plain reference model
// (random images, every mode, flag, path and source kind, mirrored and
// clipped), the worked examples of their rules, and the limits: huge zooms,
// far-off rectangles, zero steps, blend images too small, guard pages.
#include <gtest/gtest.h>
#include <windows.h>

#include <limits.h>
#include <stdint.h>
#include <string.h>

#include <random>
#include <string>
#include <vector>

#include "image/soft_blend_tables.h"
#include "softrender/blit_kernels.h"
#include "softrender/stretch_blit.h"
#include "tests/softrender/blit_reference16.h"

namespace {

enum { SRC_PLAIN, SRC_ALPHA, SRC_PALETTE };
const int kGuard = 48;
const uint8_t kGuardByte = 0xA5;

// An image in a buffer with guard bytes on both sides; the description
// points into it.
struct Image {
    std::vector<uint8_t> mem;
    std::vector<uint8_t> palette;
    std::vector<uint8_t> runs;
    BlitImageDesc d{};
};

void Describe(Image& im, int w, int h, int bpp, int pitchExtra, int kind, int palette, int alpha)
{
    const int pitch = w * bpp + pitchExtra;
    im.mem.assign((size_t)kGuard * 2 + (size_t)pitch * h, kGuardByte);
    im.d = BlitImageDesc{};
    im.d.width = w;
    im.d.height = h;
    im.d.pixels = im.mem.data() + kGuard;
    im.d.pitch = pitch;
    im.d.bytesPerPixel = bpp;
    im.d.pixelKind = kind;
    im.d.paletteFlag = palette;
    im.d.alphaFlag = alpha;
    im.d.bodyPixels = im.d.pixels;
    im.d.bodyWidth = w;
    im.d.bodyHeight = h;
}

bool GuardsIntact(const Image& im)
{
    for (int i = 0; i < kGuard; i++)
        if (im.mem[(size_t)i] != kGuardByte || im.mem[im.mem.size() - 1 - (size_t)i] != kGuardByte)
            return false;
    return true;
}

struct Rng {
    std::mt19937 gen;
    explicit Rng(uint32_t seed) : gen(seed) {}
    int In(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(gen); }
    uint32_t U32() { return gen(); }
    template <class T, size_t N>
    T Pick(const T (&v)[N]) { return v[(size_t)In(0, (int)N - 1)]; }
};

// A random source of a pixel kind and source kind, with transparent pixels,
// alpha 0 and 255 and repeated colours common enough to matter.
Image MakeSource(Rng& r, int kind, int srcKind, int w, int h)
{
    Image im;
    const int bpp = srcKind == SRC_PALETTE ? 1 : (kind == 1 || srcKind == SRC_ALPHA ? 4 : 2);
    Describe(im, w, h, bpp, r.In(0, 1) * r.In(1, 9), kind, srcKind == SRC_PALETTE ? 1 : r.Pick({0, 2}),
             srcKind == SRC_ALPHA ? 1 : r.Pick({0, 2}));
    if (srcKind == SRC_PALETTE && r.In(0, 3) == 0)
        im.d.alphaFlag = 1; // never read for a palette source
    uint32_t colours[6];
    for (uint32_t& c : colours)
        c = kind == 0 ? r.U32() & 0xFFFF : r.U32();
    im.d.transColor = srcKind == SRC_PALETTE ? (uint32_t)r.In(0, 255) : colours[0];
    for (int y = 0; y < h; y++) {
        uint8_t* row = im.d.pixels + (size_t)y * im.d.pitch;
        for (int x = 0; x < w; x++) {
            if (srcKind == SRC_PALETTE) {
                row[x] = (uint8_t)(r.In(0, 3) == 0 ? im.d.transColor : (uint32_t)r.In(0, 255));
                continue;
            }
            uint32_t v = r.In(0, 2) == 0 ? colours[r.In(0, 5)] : r.U32();
            if (kind == 0)
                v &= 0xFFFF;
            if (srcKind == SRC_ALPHA) {
                const uint32_t a = (uint32_t)r.Pick({0, 255, r.In(1, 254)});
                v = kind == 0 ? (v & 0xFFFF) | a << 16 | (r.U32() & 0xFF000000u) : (v & 0xFFFFFF) | a << 24;
            }
            memcpy(row + x * bpp, &v, (size_t)bpp);
        }
    }
    if (srcKind == SRC_PALETTE) {
        im.palette.resize(1024);
        for (uint8_t& b : im.palette)
            b = (uint8_t)r.U32();
        // Two indices with one colour, one of them transparent.
        const size_t e = kind == 0 ? 2 : 4;
        memcpy(&im.palette[e * ((im.d.transColor + 1) & 255)], &im.palette[e * im.d.transColor], e);
        im.d.palette = im.palette.data();
        im.d.paletteCount = r.In(0, 256);
    }
    im.runs = Ref16BuildRunTable(&im.d);
    im.d.runTable = im.runs.data();
    im.d.runTableSize = im.runs.size();
    im.d.runTableValid = r.In(0, 5) ? 1 : r.Pick({0, 2});
    return im;
}

Image MakeDestination(Rng& r, int kind, int w, int h)
{
    Image im;
    const int bpp = kind == 0 ? 2 : 4;
    Describe(im, w, h, bpp, r.In(0, 1) * r.In(1, 9), kind, 0, 0);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w * bpp; x++)
            im.d.pixels[(size_t)y * im.d.pitch + x] = (uint8_t)r.U32();
    return im;
}

Image MakeBlend(Rng& r, int w, int h)
{
    Image im;
    Describe(im, w, h, 1, r.In(0, 7), 1, 0, 0);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            im.d.pixels[(size_t)y * im.d.pitch + x] = (uint8_t)r.U32();
    return im;
}

void RandomRamp(Rng& r)
{
    for (int i = 0; i < 256; i++)
        BlendGraphRamp[i] = (uint8_t)(r.In(0, 3) == 0 ? r.Pick({0, 255}) : r.In(0, 255));
}

BlitDrawValues RandomDraw(Rng& r, const Image& dst)
{
    BlitDrawValues v{};
    v.mode = r.Pick({0, 0, 1, 1, 2, 3, 4, 10, 11, 5, 9, 12, -1});
    v.param = r.Pick({0, 1, 2, 3, 127, 128, 128, 129, 200, 252, 254, 255, 255, r.In(0, 255)});
    v.brightness = r.Pick({0xFFFFFFu, 0xFFFFFFFFu, 0x12FFFFFFu, 0u, 0xFEFEFEu, r.U32()});
    const int w = dst.d.width, h = dst.d.height;
    if (r.In(0, 2) == 0) {
        v.area = BlitRect{0, 0, w, h};
    } else {
        const int l = r.In(0, w), t = r.In(0, h);
        v.area = BlitRect{l, t, r.In(l, w), r.In(t, h)};
    }
    return v;
}

std::string Config(int iter, int kind, int srcKind, const BlitDrawValues& v, int trans, bool blend)
{
    char text[200];
    snprintf(text, sizeof text, "iteration %d kind %d source %d mode %d p %d brightness %08x trans %d blend %d",
             iter, kind, srcKind, v.mode, v.param, v.brightness, trans, blend ? 1 : 0);
    return text;
}

class Blit16Test : public ::testing::Test {
protected:
    static void SetUpTestSuite() { BuildSoftBlendTables(); }
};

TEST_F(Blit16Test, OneToOneMatchesReferenceForSixteenBitAndPaletteSources)
{
    Rng r(1234);
    // [pixel kind, source kind]: the 16-bit direct kinds and both palettes.
    const int kinds[][2] = {{0, SRC_PLAIN}, {0, SRC_ALPHA}, {0, SRC_PALETTE}, {1, SRC_PALETTE}};
    for (int iter = 0; iter < 6000; iter++) {
        const int* k = kinds[iter % 4];
        const int sw = r.Pick({1, 2, 3, 5, 64, 65, 130, r.In(1, 40)}), sh = r.In(1, 9);
        Image src = MakeSource(r, k[0], k[1], sw, sh);
        Image dst = MakeDestination(r, k[0], r.In(1, 150), r.In(1, 14));
        const bool withBlend = r.In(0, 2) == 0;
        Image blend = MakeBlend(r, sw + r.Pick({0, 0, 3}), sh + r.Pick({0, 0, 2}));
        RandomRamp(r);
        const BlitDrawValues draw = RandomDraw(r, dst);
        const int trans = r.Pick({0, 1, 1, 2});
        // Often the whole image unclipped, for the run-table path.
        int x = r.In(-sw, dst.d.width), y = r.In(-sh, dst.d.height);
        if (r.In(0, 1) && sw <= dst.d.width && sh <= dst.d.height) {
            x = r.In(0, dst.d.width - sw);
            y = r.In(0, dst.d.height - sh);
        }
        Image want = dst;
        want.d.pixels = want.mem.data() + kGuard;
        PlanAndRunBlit(&dst.d, &src.d, x, y, trans, withBlend ? &blend.d : nullptr, &draw);
        Ref16Blit(&want.d, &src.d, x, y, trans, withBlend ? &blend.d : nullptr, &draw, BlendGraphRamp);
        ASSERT_TRUE(dst.mem == want.mem) << Config(iter, k[0], k[1], draw, trans, withBlend) << " at " << x << ","
                                         << y;
        ASSERT_TRUE(GuardsIntact(dst));
    }
}

TEST_F(Blit16Test, StretchMatchesReferenceForEverySourceKindMirroredAndClipped)
{
    Rng r(777);
    const int kinds[][2] = {{0, SRC_PLAIN}, {0, SRC_ALPHA}, {0, SRC_PALETTE},
                            {1, SRC_PLAIN}, {1, SRC_ALPHA}, {1, SRC_PALETTE}};
    for (int iter = 0; iter < 6000; iter++) {
        const int* k = kinds[iter % 6];
        const int sw = r.Pick({1, 2, 3, 7, 8, r.In(1, 30)}), sh = r.Pick({1, 2, 3, 8, r.In(1, 12)});
        Image src = MakeSource(r, k[0], k[1], sw, sh);
        Image dst = MakeDestination(r, k[0], r.In(1, 90), r.In(1, 40));
        const bool withBlend = r.In(0, 2) == 0;
        Image blend = MakeBlend(r, sw + r.Pick({0, 0, 3}), sh + r.Pick({0, 0, 2}));
        RandomRamp(r);
        const BlitDrawValues draw = RandomDraw(r, dst);
        const int trans = r.Pick({0, 1, 2});
        // Sizes from a fraction of the source to several times it, the
        // source's own size (mirrored, or handed to the one-to-one blit).
        auto extent = [&](int s) { return r.Pick({s, s, s * 2, s * 3 + 1, s / 2 + 1, s / 3 + 1, r.In(1, 4 * s + 3)}); };
        int w = extent(sw), h = extent(sh);
        int x1 = r.In(-w, dst.d.width), y1 = r.In(-h, dst.d.height);
        int rect[4] = {x1, y1, x1 + w, y1 + h};
        if (r.In(0, 1))
            std::swap(rect[0], rect[2]);
        if (r.In(0, 2) == 0)
            std::swap(rect[1], rect[3]);
        const bool handOff = rect[2] - rect[0] == sw && rect[3] - rect[1] == sh;
        if (handOff && k[1] != SRC_PALETTE && k[0] == 1)
            continue; // the 32-bit direct one-to-one blit has its own tests
        Image want = dst;
        want.d.pixels = want.mem.data() + kGuard;
        PlanAndRunStretch(&dst.d, &src.d, rect, trans, withBlend ? &blend.d : nullptr, &draw);
        Ref16Stretch(&want.d, &src.d, rect, trans, withBlend ? &blend.d : nullptr, &draw, BlendGraphRamp);
        ASSERT_TRUE(dst.mem == want.mem) << Config(iter, k[0], k[1], draw, trans, withBlend) << " rect " << rect[0]
                                         << "," << rect[1] << "," << rect[2] << "," << rect[3];
        ASSERT_TRUE(GuardsIntact(dst));
    }
}

// One source pixel (colour, alpha) over one destination pixel.
enum Path { NORMAL, RUN, STRETCH };
struct PixelCase {
    const char* what;
    int kind, srcKind, mode, p;
    uint32_t brightness, s, a, d;
    int trans;
    Path path;
    uint32_t want;
};

uint32_t DrawOnePixel(const PixelCase& c)
{
    // Two source pixels, so a mirrored stretch of the source's size really
    // goes through the stretched kernels; both hold the same value.
    const int bpp = c.srcKind == SRC_PALETTE ? 1 : (c.kind == 1 || c.srcKind == SRC_ALPHA ? 4 : 2);
    Image src;
    Describe(src, 2, 1, bpp, 0, c.kind, c.srcKind == SRC_PALETTE, c.srcKind == SRC_ALPHA);
    uint32_t v = c.srcKind == SRC_ALPHA ? (c.kind == 0 ? c.s | c.a << 16 : (c.s & 0xFFFFFF) | c.a << 24) : c.s;
    if (c.srcKind == SRC_PALETTE) {
        src.palette.assign(1024, 0);
        memcpy(&src.palette[(size_t)(c.kind == 0 ? 2 : 4) * 7], &c.s, c.kind == 0 ? 2 : 4);
        src.d.palette = src.palette.data();
        src.d.paletteCount = 8;
        v = 7;
        src.d.transColor = 3;
    } else {
        src.d.transColor = c.s ^ 1;
    }
    memcpy(src.d.pixels, &v, (size_t)bpp);
    memcpy(src.d.pixels + bpp, &v, (size_t)bpp);
    src.runs = Ref16BuildRunTable(&src.d);
    src.d.runTable = src.runs.data();
    src.d.runTableSize = src.runs.size();
    src.d.runTableValid = 1;
    Image dst;
    Describe(dst, 2, 1, c.kind == 0 ? 2 : 4, 0, c.kind, 0, 0);
    memcpy(dst.d.pixels, &c.d, c.kind == 0 ? 2 : 4);
    memcpy(dst.d.pixels + (c.kind == 0 ? 2 : 4), &c.d, c.kind == 0 ? 2 : 4);
    BlitDrawValues draw{c.mode, c.p, c.brightness, BlitRect{0, 0, 2, 1}};
    if (c.path == STRETCH) {
        const int32_t rect[4] = {2, 0, 0, 1};
        PlanAndRunStretch(&dst.d, &src.d, rect, c.trans, nullptr, &draw);
    } else {
        PlanAndRunBlit(&dst.d, &src.d, 0, 0, c.path == RUN ? 1 : (c.trans ? 2 : 0), nullptr, &draw);
    }
    uint32_t out = 0;
    memcpy(&out, dst.d.pixels, c.kind == 0 ? 2 : 4);
    return out;
}

TEST_F(Blit16Test, WorkedExamplesOfTheRules)
{
    const uint32_t W = 0xFFFFFF;
    const PixelCase cases[] = {
        {"16 add black keeps", 0, SRC_PLAIN, 2, 255, W, 0x0000, 255, 0x1234, 0, NORMAL, 0x1234},
        {"16 add white to white", 0, SRC_PLAIN, 2, 255, W, 0xFFFF, 255, 0xFFFF, 0, NORMAL, 0xFFFF},
        {"16 subtract black", 0, SRC_PLAIN, 3, 255, W, 0x0000, 255, 0x1234, 0, NORMAL, 0x1A14},
        {"16 subtract self", 0, SRC_PLAIN, 3, 255, W, 0x5A5A, 255, 0x5A5A, 0, NORMAL, 0x0800},
        {"16 subtract self, run", 0, SRC_PLAIN, 3, 255, W, 0x5A5A, 255, 0x5A5A, 1, RUN, 0x0800},
        {"16 multiply white", 0, SRC_PLAIN, 4, 0, W, 0xFFFF, 255, 0xFFFF, 0, NORMAL, 0xF7DE},
        {"16 p200 lerp", 0, SRC_PLAIN, 1, 200, W, 0x07E0, 255, 0x0000, 0, NORMAL, 50 << 5},
        {"16 p200 run", 0, SRC_PLAIN, 1, 200, W, 0x07E0, 255, 0x0000, 1, RUN, 49 << 5},
        {"16 p200 stretched", 0, SRC_PLAIN, 1, 200, W, 0x07E0, 255, 0x0000, 0, STRETCH, 49 << 5},
        {"16 p2 lerp keeps", 0, SRC_PLAIN, 1, 2, W, 0xFFFF, 255, 0x1234, 0, NORMAL, 0x1234},
        {"16 p128 halves", 0, SRC_PLAIN, 1, 128, W, 0xFFFF, 255, 0x0000, 2, NORMAL, 0x7BEF},
        {"16 multiply alpha 0, flag off", 0, SRC_ALPHA, 4, 9, W, 0xFFFF, 0, 0xFFFF, 0, NORMAL, 0x0000},
        {"16 multiply alpha 0, flag on", 0, SRC_ALPHA, 4, 9, W, 0xFFFF, 0, 0xFFFF, 2, NORMAL, 0xFFFF},
        {"16 copy alpha 0, flag off", 0, SRC_ALPHA, 0, 9, W, 0xABCD, 0, 0x1234, 0, NORMAL, 0xABCD},
        {"16 copy alpha 0, brightness", 0, SRC_ALPHA, 0, 9, 0xFEFEFE, 0xABCD, 0, 0x1234, 0, NORMAL, 0x1234},
        {"16 copy alpha 255 stretched", 0, SRC_ALPHA, 0, 9, W, 0x001F, 255, 0x0000, 0, STRETCH, 0x001E},
        {"16 brightness 0 copies black", 0, SRC_PLAIN, 0, 9, 0, 0xFFFF, 255, 0x1234, 0, NORMAL, 0x0000},
        {"16 inverted blend p0", 0, SRC_PLAIN, 10, 0, W, 0x0F0F, 255, 0x1234, 0, NORMAL, 0x1234},
        {"16 multiply blend alpha 0", 0, SRC_ALPHA, 11, 200, W, 0x0F0F, 0, 0x1234, 0, NORMAL, 0x1234},
        {"32 palette p128 normal", 1, SRC_PALETTE, 1, 128, W, 0x01010101, 255, 0x01010101, 2, NORMAL, 0},
        {"32 palette p128 run", 1, SRC_PALETTE, 1, 128, W, 0x01010101, 255, 0x01010101, 1, RUN, 0x01010101},
        {"32 palette p128 stretched", 1, SRC_PALETTE, 1, 128, W, 0x01010101, 255, 0x01010101, 2, STRETCH,
         0x01010101},
        {"32 palette add p255", 1, SRC_PALETTE, 2, 255, W, 0x010101, 255, 0, 0, NORMAL, 0x010101},
        {"16 palette add p255", 0, SRC_PALETTE, 2, 255, W, 0x0821, 255, 0x0821, 0, NORMAL, 0x0822},
        {"16 palette add p255 run", 0, SRC_PALETTE, 2, 255, W, 0x0821, 255, 0x0821, 1, RUN, 0x0822},
        {"16 palette add p255 stretched", 0, SRC_PALETTE, 2, 255, W, 0x0821, 255, 0x0821, 0, STRETCH, 0x0822},
        {"16 palette p200 lerp", 0, SRC_PALETTE, 1, 200, W, 0x07E0, 255, 0, 2, NORMAL, 50 << 5},
        {"16 palette p200 run", 0, SRC_PALETTE, 1, 200, W, 0x07E0, 255, 0, 1, RUN, 49 << 5},
        {"32 palette copy byte 3", 1, SRC_PALETTE, 0, 9, W, 0xAB123456, 255, 0xCD000000, 0, NORMAL, 0xAB123456},
        {"32 palette copy, brightness", 1, SRC_PALETTE, 0, 9, 0xFEFEFE, 0xAB123456, 255, 0xCD000000, 0, NORMAL,
         0xCD000000 | (0x12 * 254 / 255) << 16 | (0x34 * 254 / 255) << 8 | 0x56 * 254 / 255},
        {"32 palette subtract p0 draws nothing", 1, SRC_PALETTE, 3, 0, W, 0xFFFFFF, 255, 0x123456, 0, NORMAL,
         0x123456},
        {"32 mirrored p128", 1, SRC_PLAIN, 1, 128, W, 0x01010101, 255, 0x01010101, 0, STRETCH, 0x01010101},
        {"32 stretched copy alpha 255", 1, SRC_ALPHA, 0, 9, W, 0x0000FF, 255, 0x00000000, 0, STRETCH, 0x000000FE},
        {"32 stretched copy alpha 0", 1, SRC_ALPHA, 0, 9, W, 0x0000FF, 0, 0x00000000, 0, STRETCH, 0},
        {"32 stretched multiply alpha 0, flag", 1, SRC_ALPHA, 4, 9, W, 0xFFFFFF, 0, 0x00FFFFFF, 1, STRETCH,
         0x00FFFFFF},
    };
    for (const PixelCase& c : cases)
        EXPECT_EQ(c.want, DrawOnePixel(c)) << c.what;
}

// The source columns a stretched row shows, read back from a destination
// drawn from a source whose pixels are their own column numbers.
std::vector<int> ShownColumns(int kind, int srcKind, int sw, const int32_t* rect, int mode, int p,
                              uint32_t brightness, int dstW, BlitRect area)
{
    const int bpp = srcKind == SRC_PALETTE ? 1 : (kind == 1 ? 4 : 2);
    Image src;
    Describe(src, sw, 1, bpp, 0, kind, srcKind == SRC_PALETTE, 0);
    src.palette.assign(1024, 0);
    for (int x = 0; x < sw; x++) {
        const uint32_t v = (uint32_t)(x + 1) * 2; // even, survives the add rule
        if (srcKind == SRC_PALETTE) {
            src.d.pixels[x] = (uint8_t)x;
            memcpy(&src.palette[(size_t)x * (kind == 0 ? 2 : 4)], &v, kind == 0 ? 2 : 4);
        } else {
            memcpy(src.d.pixels + x * bpp, &v, (size_t)bpp);
        }
    }
    src.d.palette = src.palette.data();
    src.d.paletteCount = sw;
    src.d.transColor = 0xFFFF;
    Image dst;
    Describe(dst, dstW, 1, kind == 0 ? 2 : 4, 0, kind, 0, 0);
    memset(dst.d.pixels, 0, (size_t)dst.d.pitch);
    BlitDrawValues draw{mode, p, brightness, area};
    PlanAndRunStretch(&dst.d, &src.d, rect, 0, nullptr, &draw);
    std::vector<int> cols;
    for (int x = area.left; x < area.right; x++) {
        uint32_t v = 0;
        memcpy(&v, dst.d.pixels + x * (kind == 0 ? 2 : 4), kind == 0 ? 2 : 4);
        cols.push_back((int)(v & 0xFF) / 2 - 1);
    }
    return cols;
}

TEST_F(Blit16Test, StretchSteppingShowsTheSourceColumnsOfTheRules)
{
    typedef std::vector<int> V;
    for (int kind = 0; kind < 2; kind++) {
        for (int srcKind : {SRC_PLAIN, SRC_PALETTE}) {
            const int32_t grow[4] = {0, 0, 7, 1}, growMirror[4] = {7, 0, 0, 1}, shrink[4] = {0, 0, 4, 1};
            EXPECT_EQ((V{0, 0, 0, 1, 1, 2, 2}),
                      ShownColumns(kind, srcKind, 3, grow, 0, 0, 0xFFFFFF, 8, BlitRect{0, 0, 7, 1}));
            EXPECT_EQ((V{2, 2, 2, 1, 1, 0, 0}),
                      ShownColumns(kind, srcKind, 3, growMirror, 2, 255, 0xFFFFFF, 8, BlitRect{0, 0, 7, 1}));
            // Early-stop stepping for the plain copy and for p 255 on
            // mode 1, standard stepping for add and for a copy with
            // brightness (which leaves these small values unchanged).
            EXPECT_EQ((V{0, 1, 3, 5}), ShownColumns(kind, srcKind, 8, shrink, 0, 0, 0xFFFFFF, 4, BlitRect{0, 0, 4, 1}));
            EXPECT_EQ((V{0, 1, 3, 5}), ShownColumns(kind, srcKind, 8, shrink, 1, 255, 0xFFFFFF, 4, BlitRect{0, 0, 4, 1}));
            EXPECT_EQ((V{0, 2, 4, 6}), ShownColumns(kind, srcKind, 8, shrink, 2, 255, 0xFFFFFF, 4, BlitRect{0, 0, 4, 1}));
            EXPECT_EQ((V{0, 2, 4, 6}), ShownColumns(kind, srcKind, 8, shrink, 0, 0, 0xFEFFFF, 4, BlitRect{0, 0, 4, 1}));
            // Clipping keeps the columns; mirrored the first visible pixel
            // shows width - 1 - floor(ux 65536 / sx).
            const int32_t offLeft[4] = {-2, 0, 5, 1}, offLeftMirror[4] = {5, 0, -2, 1};
            EXPECT_EQ((V{0, 1, 1, 2, 2}), ShownColumns(kind, srcKind, 3, offLeft, 0, 0, 0xFFFFFF, 8,
                                                       BlitRect{0, 0, 5, 1}));
            EXPECT_EQ((V{2, 1, 1, 0, 0}), ShownColumns(kind, srcKind, 3, offLeftMirror, 0, 0, 0xFFFFFF, 8,
                                                       BlitRect{0, 0, 5, 1}));
        }
    }
}

TEST_F(Blit16Test, StretchLimitsNeverReadOutsideOrDrawWhatTheyCannotStep)
{
    Rng r(99);
    // A 2x2 source into rectangles far larger than any image: each visible
    // pixel shows the source pixel of its position, as the model says.
    const int32_t rects[][4] = {
        {-2000000000, -2000000000, 2000000000, 2000000000},
        {INT_MIN, INT_MIN, INT_MAX, INT_MAX},
        {INT_MAX, INT_MAX, INT_MIN, INT_MIN},
        {INT_MIN, 0, INT_MIN + 3, 3},           // wholly left of the area
        {-65536 * 3, -5, 65536 * 3, 7},
        {3, 1, 3, 9},                            // empty
    };
    for (int kind = 0; kind < 2; kind++) {
        for (const auto& rect : rects) {
            Image src = MakeSource(r, kind, SRC_PLAIN, 2, 2);
            Image dst = MakeDestination(r, kind, 16, 16);
            Image want = dst;
            want.d.pixels = want.mem.data() + kGuard;
            BlitDrawValues draw{0, 0, 0xFFFFFF, BlitRect{0, 0, 16, 16}};
            PlanAndRunStretch(&dst.d, &src.d, rect, 0, nullptr, &draw);
            Ref16Stretch(&want.d, &src.d, rect, 0, nullptr, &draw, BlendGraphRamp);
            EXPECT_TRUE(dst.mem == want.mem) << rect[0] << "," << rect[1] << "," << rect[2] << "," << rect[3];
        }
    }
    // A source shrunk below one destination pixel per 65536 source pixels
    // has a step of 0 and is refused; a source of size 0 too.
    Image wide = MakeSource(r, 1, SRC_PLAIN, 70000, 1);
    Image dst = MakeDestination(r, 1, 4, 4);
    const std::vector<uint8_t> before = dst.mem;
    BlitDrawValues draw{0, 0, 0xFFFFFF, BlitRect{0, 0, 4, 4}};
    const int32_t one[4] = {0, 0, 1, 2};
    PlanAndRunStretch(&dst.d, &wide.d, one, 0, nullptr, &draw);
    EXPECT_TRUE(dst.mem == before);
    const int32_t two[4] = {0, 0, 2, 2};
    PlanAndRunStretch(&dst.d, &wide.d, two, 0, nullptr, &draw); // 35000 to 1: drawn
    EXPECT_FALSE(dst.mem == before);
    Image empty = MakeSource(r, 1, SRC_PLAIN, 1, 1);
    empty.d.width = 0;
    const std::vector<uint8_t> drawn = dst.mem;
    PlanAndRunStretch(&dst.d, &empty.d, two, 0, nullptr, &draw);
    EXPECT_TRUE(dst.mem == drawn);

    RandomRamp(r);
    // A blend image that does not cover the source pixels read refuses the
    // draw; one that covers them (mirrored: the high columns) is read.
    Image src = MakeSource(r, 0, SRC_PLAIN, 6, 4);
    Image d16 = MakeDestination(r, 0, 12, 8);
    const std::vector<uint8_t> keep = d16.mem;
    Image small = MakeBlend(r, 5, 4);
    BlitDrawValues blendDraw{0, 0, 0xFFFFFF, BlitRect{0, 0, 12, 8}};
    const int32_t doubled[4] = {0, 0, 12, 8};
    PlanAndRunStretch(&d16.d, &src.d, doubled, 0, &small.d, &blendDraw);
    EXPECT_TRUE(d16.mem == keep);
    blendDraw.area = BlitRect{0, 0, 10, 8}; // source columns 0-4 only
    Image want = d16;
    want.d.pixels = want.mem.data() + kGuard;
    PlanAndRunStretch(&d16.d, &src.d, doubled, 0, &small.d, &blendDraw);
    Ref16Stretch(&want.d, &src.d, doubled, 0, &small.d, &blendDraw, BlendGraphRamp);
    EXPECT_FALSE(d16.mem == keep);
    EXPECT_TRUE(d16.mem == want.mem);
}

// Source pixels that end right before an inaccessible page and start right
// after one: any read outside the image faults.
struct FencedImage {
    uint8_t* base = nullptr;
    size_t size = 0;
    BlitImageDesc d{};
    FencedImage(int w, int h, int bpp, int kind, int palette, int alpha, bool atStart)
    {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        const size_t page = info.dwPageSize;
        const size_t bytes = (size_t)w * bpp * h;
        const size_t body = (bytes + page - 1) / page * page;
        size = body + 2 * page;
        base = (uint8_t*)VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
        DWORD old;
        VirtualProtect(base, page, PAGE_NOACCESS, &old);
        VirtualProtect(base + page + body, page, PAGE_NOACCESS, &old);
        d.width = w;
        d.height = h;
        d.pitch = w * bpp;
        // The pixels start right after the front fence or end at the back one.
        d.pixels = atStart ? base + page : base + page + body - bytes;
        d.bytesPerPixel = bpp;
        d.pixelKind = kind;
        d.paletteFlag = palette;
        d.alphaFlag = alpha;
        d.bodyPixels = d.pixels;
        d.bodyWidth = w;
        d.bodyHeight = h;
        for (size_t i = 0; i < bytes; i++)
            d.pixels[i] = (uint8_t)(i * 7);
    }
    ~FencedImage() { VirtualFree(base, 0, MEM_RELEASE); }
};

TEST_F(Blit16Test, EveryClipAndMirrorStaysInsideFencedImages)
{
    Rng r(4242);
    std::vector<uint8_t> palette(1024, 0x5C);
    for (int iter = 0; iter < 1500; iter++) {
        const int kind = iter & 1, srcKind = r.In(0, 2);
        const int bpp = srcKind == SRC_PALETTE ? 1 : (kind == 1 || srcKind == SRC_ALPHA ? 4 : 2);
        const int sw = r.In(1, 33), sh = r.In(1, 9);
        const bool atStart = r.In(0, 1);
        FencedImage src(sw, sh, bpp, kind, srcKind == SRC_PALETTE, srcKind == SRC_ALPHA, atStart);
        src.d.palette = palette.data();
        src.d.paletteCount = 256;
        FencedImage dst(r.In(1, 40), r.In(1, 20), kind == 0 ? 2 : 4, kind, 0, 0, !atStart);
        FencedImage blend(sw, sh, 1, 1, 0, 0, atStart);
        BlitDrawValues draw{r.Pick({0, 1, 2, 3, 4, 10, 11}), r.In(1, 255), r.Pick({0xFFFFFFu, 0x808080u}),
                            BlitRect{INT_MIN, INT_MIN, INT_MAX, INT_MAX}};
        const int w = r.In(1, 3 * sw), h = r.In(1, 3 * sh);
        const int x = r.In(-w - 2, dst.d.width + 2), y = r.In(-h - 2, dst.d.height + 2);
        int32_t rect[4] = {x, y, x + w, y + h};
        if (r.In(0, 1))
            std::swap(rect[0], rect[2]);
        if (r.In(0, 1))
            std::swap(rect[1], rect[3]);
        const BlitImageDesc* b = r.In(0, 1) ? &blend.d : nullptr;
        PlanAndRunStretch(&dst.d, &src.d, rect, r.In(0, 2), b, &draw);
        PlanAndRunBlit(&dst.d, &src.d, x, y, r.In(0, 2), b, &draw);
    }
    SUCCEED();
}

TEST_F(Blit16Test, PaletteIndexPastTheCountShowsTheBodyEntryNotAStaleOne)
{
    for (int kind = 0; kind < 2; kind++) {
        const int e = kind == 0 ? 2 : 4;
        Image first, second;
        for (Image* im : {&first, &second}) {
            Describe(*im, 1, 1, 1, 0, kind, 1, 0);
            im->palette.assign(1024, 0);
            im->d.palette = im->palette.data();
            im->d.pixels[0] = 200;
        }
        const uint32_t old = 0x1111, body = 0x2222;
        memcpy(&first.palette[(size_t)200 * e], &old, 2);
        memcpy(&second.palette[(size_t)200 * e], &body, 2);
        first.d.paletteCount = 256;
        second.d.paletteCount = 10; // index 200 lies past the stored count
        for (int stretched = 0; stretched < 2; stretched++) {
            Image dst;
            Describe(dst, 2, 1, e, 0, kind, 0, 0);
            memset(dst.d.pixels, 0, (size_t)dst.d.pitch);
            BlitDrawValues draw{0, 0, 0xFFFFFF, BlitRect{0, 0, 2, 1}};
            const int32_t rect[4] = {0, 0, 2, 1};
            for (Image* im : {&first, &second}) {
                if (stretched)
                    PlanAndRunStretch(&dst.d, &im->d, rect, 0, nullptr, &draw);
                else
                    PlanAndRunBlit(&dst.d, &im->d, 0, 0, 0, nullptr, &draw);
            }
            uint32_t got = 0;
            memcpy(&got, dst.d.pixels, (size_t)e);
            EXPECT_EQ(body, got) << "kind " << kind << " stretched " << stretched;
        }
    }
}

} // namespace
