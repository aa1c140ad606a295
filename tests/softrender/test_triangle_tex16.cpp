// Textured triangles on 16-bit targets. An identity-mapped quad (texel (x, y)
// lands on pixel (x, y)) makes every pixel's texel known, so each source kind,
// mode, parameter and flag set is compared bit for bit with a per-pixel model
// written from the rules: plain arithmetic, the add and subtract worked out
// field by field rather than with the masked words. The model itself is held
// to the worked examples of the rules, and images fenced by inaccessible pages
// catch any read outside the source or the blend image.
#include <gtest/gtest.h>
#include <windows.h>

#include <limits.h>
#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "image/soft_blend_tables.h"
#include "softrender/triangle_raster.h"
#include "tests/softrender/page_end_buffer.h"
#include "tests/softrender/triangle_reference.h"

namespace {

enum { PLAIN, ALPHA, PALETTE };
const char* const kSourceName[] = {"plain", "alpha", "palette"};

// ---------------------------------------------------------------------------
// The model.

int T(int k, int v) { return k * v / 255; }
int TS(int k, int d) { return k * d / 255; } // C division truncates toward zero

struct Call {
    int src;          // PLAIN, ALPHA or PALETTE
    int mode;
    int p;
    uint32_t bright;  // as stored in the draw state
    int trans;        // the call's flag
    bool blend;       // a blend image is given
    uint32_t key;     // the source's transparent colour
};

// The mode that runs, or -1 when the call draws nothing.
int RunningMode(int mode, int p)
{
    if (mode < 0 || mode > 11 || (mode >= 5 && mode <= 9))
        return -1;
    if (mode == 1 && p == 255)
        return 0;
    if (mode >= 1 && mode <= 3 && p == 0)
        return -1;
    return mode;
}

// Whole-word add and subtract, field by field.
uint32_t AddWords(uint32_t D, uint32_t Y)
{
    const int dr = D >> 11, dg = (D >> 5) & 63, db = D & 31;
    const int yr = Y >> 11, yg = (Y >> 5) & 63, yb = Y & 31;
    const int b = std::min(db + yb, 31);
    const int ug = (dg >> 1) + (yg >> 1);
    const int g = 2 * std::min(ug, 31) + ((dg & 1) | (yg & 1) | (db + yb >= 32 ? 1 : 0));
    const int ur = (dr >> 1) + (yr >> 1);
    const int r = ur >= 16 ? 31 : 2 * ur + ((dr & 1) | (yr & 1) | (ug >= 32 ? 1 : 0));
    return (uint32_t)(r << 11 | g << 5 | b);
}

uint32_t SubWords(uint32_t D, uint32_t Y)
{
    const int dr = D >> 11, dg = (D >> 5) & 63, db = D & 31;
    const int yr = Y >> 11, yg = (Y >> 5) & 63, yb = Y & 31;
    const int b = std::max(db - yb, 0);
    const int gd = (dg >> 1) - (yg >> 1);
    const int g = gd < 0 ? 0 : 2 * gd;
    const int rd = (dr >> 1) - (yr >> 1);
    const int r = rd < 0 ? 0 : 2 * rd + (gd < 0 ? 0 : 1);
    return (uint32_t)(r << 11 | g << 5 | b);
}

// What destination word dw becomes under one visit. texel is the colour word
// (plain, alpha) or the index (palette); a the alpha byte; f the blend weight.
uint32_t ModelPixel(const Call& c, uint32_t dw, uint32_t texel, int a, int f, const uint16_t* palette)
{
    const int mode = RunningMode(c.mode, c.p);
    if (mode < 0)
        return dw;
    const int p = c.p;
    const bool bright = (c.bright & 0xFFFFFF) != 0xFFFFFF;
    bool alphaForm = false;
    uint32_t word = texel;
    if (c.src == PALETTE) {
        if (c.trans && texel == c.key)
            return dw;
        word = palette[texel];
    } else if (c.src == PLAIN) {
        if (c.trans && texel == c.key)
            return dw;
    } else if (c.trans) {
        // Alpha 0 is skipped in every mode under the flag (in mode 11 its
        // alpha form would rewrite the pixel with its own value anyway).
        if (a == 0 && mode != 11)
            return dw;
        alphaForm = a != 255;
    } else {
        alphaForm = true;
    }
    if (mode == 0 && !c.blend && !bright && !alphaForm)
        return word;

    const uint32_t shown = mode == 10 ? (~word & 0xFFFF) : word;
    const int width[3] = {5, 6, 5};
    const int shift[3] = {11, 5, 0};
    const int bb[3] = {(int)(c.bright >> 16) & 255, (int)(c.bright >> 8) & 255, (int)c.bright & 255};
    int out[3];
    int y[3];
    for (int i = 0; i < 3; i++) {
        const int64_t W = width[i];
        const int64_t mask = (1 << W) - 1;
        const int64_t d = (dw >> shift[i]) & mask;
        const int64_t t = (shown >> shift[i]) & mask;
        const int64_t s = bright ? T(bb[i], (int)t) : t;
        const int64_t q = (s * d) >> W;
        int64_t r = d;
        switch (mode) {
        case 0:
            if (!c.blend)
                r = alphaForm ? (d * 256 + (s - d) * a) >> 8 : s;
            else
                r = alphaForm ? (d * 65536 + (s - d) * f * a) >> 16 : (d * 256 + (s - d) * f) >> 8;
            break;
        case 1:
        case 10:
            if (!c.blend)
                r = alphaForm ? (d * 65536 + (s - d) * a * p) >> 16 : d + TS(p, (int)(s - d));
            else
                r = alphaForm ? (d * (1 << 24) + (s - d) * f * a * p) >> 24 : (d * 65536 + (s - d) * f * p) >> 16;
            break;
        case 2:
        case 3: {
            int64_t x;
            if (!c.blend && alphaForm)
                x = bright ? T(bb[i], (int)((t * a) >> 8)) : (t * a) >> 8;
            else if (!c.blend)
                x = s;
            else
                x = alphaForm ? (s * f * a) >> 16 : (s * f) >> 8;
            y[i] = T(p, (int)x);
            break;
        }
        case 4:
            if (!c.blend)
                r = alphaForm ? (s * d * a) >> (W + 8) : (s * d) >> W;
            else
                r = alphaForm ? (s * d * f * a) >> (W + 16) : (s * d * f) >> (W + 8);
            break;
        case 11:
            if (!c.blend && alphaForm && !bright && i == 1) {
                const int64_t e = (s * d) >> 1;
                r = (d * (1 << 21) + (e - 32 * d) * a * p) >> 21;
            } else if (!c.blend) {
                r = alphaForm ? (d * 65536 + (q - d) * a * p) >> 16 : d + TS(p, (int)(q - d));
            } else {
                r = alphaForm ? (d * (1 << 24) + (q - d) * f * a * p) >> 24 : (d * 65536 + (q - d) * f * p) >> 16;
            }
            break;
        }
        out[i] = (int)r;
    }
    if (mode == 2 || mode == 3) {
        const uint32_t Y = (uint32_t)(y[0] << 11 | y[1] << 5 | y[2]);
        return mode == 2 ? AddWords(dw, Y) : SubWords(dw, Y);
    }
    return (uint32_t)(out[0] << 11 | out[1] << 5 | out[2]);
}

// ---------------------------------------------------------------------------
// Images.

const int kGuard = 64;
const uint8_t kGuardByte = 0xA5;

// Pixels that end right before an inaccessible page.
struct FencedImage {
    PageEndBuffer memory;
    BlitImageDesc d{};
    // The last row ends at the fence, without its pitch padding.
    FencedImage(int w, int h, int bpp, int kind, int palette, int alpha, int pitchExtra = 0)
        : memory(((size_t)w * bpp + pitchExtra) * (h - 1) + (size_t)w * bpp)
    {
        d.width = w;
        d.height = h;
        d.pitch = (int32_t)((size_t)w * bpp + pitchExtra);
        d.pixels = memory.data();
        d.bytesPerPixel = bpp;
        d.pixelKind = kind;
        d.paletteFlag = palette;
        d.alphaFlag = alpha;
        d.bodyPixels = d.pixels;
        d.bodyWidth = w;
        d.bodyHeight = h;
    }
};

// A 16-bit destination with guard bytes on both sides.
struct Target {
    std::vector<uint8_t> mem;
    BlitImageDesc d{};
    Target(int w, int h)
    {
        mem.assign((size_t)kGuard * 2 + (size_t)w * h * 2, kGuardByte);
        d.width = w;
        d.height = h;
        d.pitch = w * 2;
        d.pixels = mem.data() + kGuard;
        d.bytesPerPixel = 2;
        d.pixelKind = 0;
        d.bodyPixels = d.pixels;
        d.bodyWidth = w;
        d.bodyHeight = h;
    }
    uint32_t At(int x, int y) const
    {
        uint16_t v;
        memcpy(&v, d.pixels + y * d.pitch + x * 2, 2);
        return v;
    }
    void Put(int x, int y, uint32_t v)
    {
        const uint16_t w = (uint16_t)v;
        memcpy(d.pixels + y * d.pitch + x * 2, &w, 2);
    }
    bool GuardsIntact() const
    {
        for (int i = 0; i < kGuard; i++)
            if (mem[(size_t)i] != kGuardByte || mem[mem.size() - 1 - (size_t)i] != kGuardByte)
                return false;
        return true;
    }
};

struct Rng {
    std::mt19937 gen;
    explicit Rng(uint32_t seed) : gen(seed) {}
    int In(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(gen); }
    template <class T, size_t N>
    T Pick(const T (&v)[N]) { return v[(size_t)In(0, (int)N - 1)]; }
};

int TexelBytes(int src) { return src == PALETTE ? 1 : (src == ALPHA ? 4 : 2); }

// Texel (x, y) of a source as the model reads it.
uint32_t TexelOf(const BlitImageDesc& s, int src, int x, int y, int* alpha)
{
    const uint8_t* p = s.pixels + y * s.pitch + x * TexelBytes(src);
    *alpha = src == ALPHA ? p[2] : 255;
    return src == PALETTE ? p[0] : (uint32_t)(p[0] | p[1] << 8);
}

const int kSide = 13;

// The two triangles of an n x n quad at (ox, oy), texel (x, y) on pixel
// (ox + x, oy + y).
void QuadTriangles(int ox, int oy, int n, SoftTriangleVertex tri[2][3])
{
    const SoftTriangleVertex a[3] = {{ox, oy, 0, 0}, {ox + n, oy, n, 0}, {ox, oy + n, 0, n}};
    const SoftTriangleVertex b[3] = {{ox + n, oy, n, 0}, {ox, oy + n, 0, n}, {ox + n, oy + n, n, n}};
    std::copy(a, a + 3, tri[0]);
    std::copy(b, b + 3, tri[1]);
}

// The quad as the model draws it: the first triangle covers the pixels with
// x + y <= n, the second those with x + y >= n (the diagonal twice), each row
// up to n - 1; column n is visited but lies outside the source.
void ModelQuad(Target& t, const Call& c, const BlitImageDesc& src, const BlitImageDesc* blend, int ox, int oy,
               int n, const uint16_t* palette)
{
    for (int tri = 0; tri < 2; tri++)
        for (int y = 0; y < n; y++)
            for (int x = 0; x < n; x++) {
                if (tri == 0 ? x + y > n : x + y < n)
                    continue;
                int a;
                const uint32_t texel = TexelOf(src, c.src, x, y, &a);
                const int f = blend ? BlendGraphRamp[blend->pixels[y * blend->pitch + x]] : 0;
                t.Put(ox + x, oy + y, ModelPixel(c, t.At(ox + x, oy + y), texel, a, f, palette));
            }
}

std::string Describe(const Call& c)
{
    char text[160];
    snprintf(text, sizeof text, "%s mode %d p %d brightness 0x%08X trans %d blend %d key 0x%X", kSourceName[c.src],
             c.mode, c.p, (unsigned)c.bright, c.trans, (int)c.blend, (unsigned)c.key);
    return text;
}

class TriangleTex16Test : public ::testing::Test {
protected:
    static void SetUpTestSuite() { BuildSoftBlendTables(); }
};

// Every source kind, mode, parameter class and flag set on random images
// (keyed texels, alpha 0 and 255, black and white common), drawn as the two
// triangles of a quad and compared word for word, guards included.
TEST_F(TriangleTex16Test, EveryVariantMatchesThePerPixelModel)
{
    Rng r(1601);
    for (int i = 0; i < 256; i++)
        BlendGraphRamp[i] = (uint8_t)(r.In(0, 3) == 0 ? r.Pick({0, 255}) : r.In(0, 255));
    std::vector<uint16_t> palette(256);
    const struct {
        int mode;
        std::vector<int> params;
    } modes[] = {
        {0, {0, 200}}, {1, {0, 1, 128, 254, 255}}, {2, {0, 1, 128, 255}}, {3, {0, 1, 128, 255}},
        {4, {0, 99}},  {10, {0, 128, 255}},        {11, {0, 77, 255}},    {7, {128}},
        {12, {128}},   {-1, {128}},
    };
    const uint32_t brights[] = {0xFFFFFFFFu, 0x00FEFEFEu, 0x00603090u};
    const int ox = 2, oy = 1, n = kSide;
    SoftTriangleVertex tri[2][3];
    QuadTriangles(ox, oy, n, tri);
    for (int src = PLAIN; src <= PALETTE; src++)
        for (const auto& m : modes)
            for (int p : m.params)
                for (int blend = 0; blend < 2; blend++)
                    for (uint32_t bright : brights)
                        for (int trans : {0, 1, -7}) {
                            Call c{src, m.mode, p, bright, trans, blend != 0, 0};
                            FencedImage s(n, n, TexelBytes(src), 0, src == PALETTE, src == ALPHA);
                            FencedImage b(n, n, 1, 0, 0, 0);
                            for (auto& e : palette)
                                e = (uint16_t)(r.In(0, 3) == 0 ? r.Pick({0x0000, 0xFFFF}) : r.In(0, 0xFFFF));
                            s.d.palette = palette.data();
                            s.d.paletteCount = 256;
                            if (src == PALETTE)
                                c.key = r.Pick({7u, 7u, 261u});
                            else if (src == PLAIN)
                                c.key = r.Pick({0xF81Fu, 0xF81Fu, 0x0001F81Fu});
                            else
                                c.key = 0x0000; // never compared for an alpha source
                            s.d.transColor = c.key;
                            for (int y = 0; y < n; y++)
                                for (int x = 0; x < n; x++) {
                                    uint8_t* t = s.d.pixels + y * s.d.pitch + x * TexelBytes(src);
                                    if (src == PALETTE) {
                                        t[0] = (uint8_t)(r.In(0, 4) == 0 ? 7 : r.In(0, 255));
                                    } else {
                                        uint32_t w = r.In(0, 4) == 0 ? r.Pick({0x0000, 0xFFFF, 0xF81F})
                                                                     : (uint32_t)r.In(0, 0xFFFF);
                                        t[0] = (uint8_t)w;
                                        t[1] = (uint8_t)(w >> 8);
                                        if (src == ALPHA) {
                                            t[2] = (uint8_t)(r.In(0, 2) == 0 ? r.Pick({0, 255}) : r.In(0, 255));
                                            t[3] = (uint8_t)r.In(0, 255);
                                        }
                                    }
                                    b.d.pixels[y * b.d.pitch + x] = (uint8_t)r.In(0, 255);
                                }
                            Target got(n + 4, n + 3);
                            for (int y = 0; y < got.d.height; y++)
                                for (int x = 0; x < got.d.width; x++)
                                    got.Put(x, y, r.In(0, 3) == 0 ? r.Pick({0x0000, 0xFFFF}) : r.In(0, 0xFFFF));
                            Target want = got;
                            want.d.pixels = want.mem.data() + kGuard;
                            ModelQuad(want, c, s.d, blend ? &b.d : nullptr, ox, oy, n, palette.data());

                            const BlitDrawValues draw{c.mode, c.p, c.bright, BlitRect{0, 0, n + 4, n + 3}};
                            for (auto& t : tri)
                                ASSERT_EQ(0, PlanAndRunTriangle(&got.d, &s.d, t, c.trans, blend ? &b.d : nullptr, 0,
                                                                &draw));
                            ASSERT_TRUE(got.GuardsIntact()) << Describe(c);
                            for (int y = 0; y < got.d.height; y++)
                                for (int x = 0; x < got.d.width; x++)
                                    ASSERT_EQ(want.At(x, y), got.At(x, y))
                                        << Describe(c) << " at (" << x << ", " << y << ")";
                        }
}

// ---------------------------------------------------------------------------
// Worked examples: one pixel drawn from a 1 x 1 source (only the first
// triangle of the quad, which visits the pixel once). Each is checked against
// the model as well, so the model above is held to the same numbers.

struct Example {
    int src;
    int mode;
    int p;
    uint32_t bright;
    int trans;
    uint32_t key;
    int f;            // blend weight, -1 without a blend image
    uint32_t texel;   // colour word, or the palette word of index 7
    int alpha;
    uint32_t dst;
    uint32_t want;
};

const Example kExamples[] = {
    // Copy: the alpha source's exact copy under the flag, its alpha rule off it.
    {ALPHA, 0, 0, 0xFFFFFF, 1, 0, -1, 0xFFFF, 255, 0x0000, 0xFFFF},
    {ALPHA, 0, 0, 0xFFFFFF, 0, 0, -1, 0xFFFF, 255, 0x0000, 0xF7DE},
    // Alpha 0: skipped under the flag; off it, the pixel's own word, except
    // that subtracting nothing still clears bit 5 and sets bit 11.
    {ALPHA, 0, 0, 0xFFFFFF, 1, 0, -1, 0xFFFF, 0, 0x1234, 0x1234},
    {ALPHA, 0, 0, 0xFFFFFF, 0, 0, -1, 0xFFFF, 0, 0x1234, 0x1234},
    {ALPHA, 1, 128, 0xFFFFFF, 0, 0, -1, 0xFFFF, 0, 0x1234, 0x1234},
    {ALPHA, 2, 255, 0xFFFFFF, 0, 0, -1, 0xFFFF, 0, 0x1234, 0x1234},
    {ALPHA, 3, 255, 0xFFFFFF, 0, 0, -1, 0xFFFF, 0, 0xFFFF, 0xFFDF},
    // Colour key on the whole 32-bit transparent colour.
    {PLAIN, 0, 0, 0xFFFFFF, 1, 0xF81F, -1, 0xF81F, 255, 0x1234, 0x1234},
    {PLAIN, 0, 0, 0xFFFFFF, 1, 0x0001F81F, -1, 0xF81F, 255, 0x1234, 0xF81F},
    {PLAIN, 0, 0, 0xFFFFFF, 0, 0xF81F, -1, 0xF81F, 255, 0x1234, 0xF81F},
    // Brightness: keyed texels stay skipped; only the low 24 bits count.
    {PLAIN, 0, 0, 0x000000, 0, 0, -1, 0xFFFF, 255, 0x1234, 0x0000},
    {PLAIN, 0, 0, 0x000000, 1, 0xFFFF, -1, 0xFFFF, 255, 0x1234, 0x1234},
    {PLAIN, 0, 0, 0xFEFEFE, 0, 0, -1, 0xFFFF, 255, 0x1234, 0xF7DE},
    {PLAIN, 0, 0, 0xFFFFFFFF, 0, 0, -1, 0xFFFF, 255, 0x1234, 0xFFFF},
    // Blend: through SignedMulDiv255Table without a blend image.
    {PLAIN, 1, 128, 0xFFFFFF, 0, 0, -1, 0xFFFF, 255, 0x0000, 0x7BEF},
    {PLAIN, 1, 128, 0xFFFFFF, 0, 0, -1, 0x0000, 255, 0xFFFF, 0x8410},
    {PLAIN, 1, 254, 0xFFFFFF, 0, 0, -1, 0x0000, 255, 0xFFFF, 0x0821},
    {ALPHA, 1, 254, 0xFFFFFF, 1, 0, -1, 0x0000, 255, 0xFFFF, 0x0821},
    {ALPHA, 1, 254, 0xFFFFFF, 0, 0, -1, 0x0000, 255, 0xFFFF, 0x0000},
    {ALPHA, 1, 255, 0xFFFFFF, 1, 0, -1, 0x1234, 255, 0xFFFF, 0x1234},
    {PLAIN, 1, 0, 0xFFFFFF, 0, 0, -1, 0x1234, 255, 0xFFFF, 0xFFFF},
    // Add and subtract.
    {PLAIN, 2, 255, 0xFFFFFF, 0, 0, -1, 0x8410, 255, 0x8410, 0xFFFF},
    {PLAIN, 2, 255, 0xFFFFFF, 0, 0, -1, 0x001F, 255, 0x001F, 0x003F},
    {PLAIN, 2, 255, 0xFFFFFF, 0, 0, -1, 0xFFFF, 255, 0x0000, 0xFFFF},
    {PLAIN, 3, 255, 0xFFFFFF, 0, 0, -1, 0x0821, 255, 0xFFFF, 0xFFDE},
    {PLAIN, 3, 255, 0xFFFFFF, 0, 0, -1, 0x0000, 255, 0xFFFF, 0xFFDF},
    {PLAIN, 3, 255, 0xFFFFFF, 0, 0, -1, 0xFFFF, 255, 0x1234, 0x0000},
    {PLAIN, 2, 0, 0xFFFFFF, 0, 0, -1, 0xFFFF, 255, 0x1234, 0x1234},
    // Alpha before brightness in this one variant of add.
    {ALPHA, 2, 255, 0x808080, 0, 0, -1, 0x001F, 200, 0x0000, 0x000C},
    // Multiply.
    {PLAIN, 4, 128, 0xFFFFFF, 0, 0, -1, 0xFFFF, 255, 0xFFFF, 0xF7DE},
    {PLAIN, 4, 0, 0xFFFFFF, 0, 0, -1, 0xFFFF, 255, 0xFFFF, 0xF7DE},
    {PLAIN, 4, 128, 0xFFFFFF, 0, 0, -1, 0xFFFF, 255, 0x1234, 0x0A13},
    {ALPHA, 4, 128, 0xFFFFFF, 1, 0, -1, 0xFFFF, 255, 0xFFFF, 0xF7DE},
    {ALPHA, 4, 128, 0xFFFFFF, 0, 0, -1, 0xFFFF, 255, 0xFFFF, 0xEFBD},
    {ALPHA, 4, 128, 0xFFFFFF, 0, 0, -1, 0xFFFF, 128, 0xFFFF, 0x7BEF},
    {ALPHA, 4, 128, 0xFFFFFF, 0, 0, -1, 0xFFFF, 0, 0xFFFF, 0x0000},
    // Alpha 0 under the flag leaves the pixel: no black corners on a turned sprite.
    {ALPHA, 4, 128, 0xFFFFFF, 1, 0, -1, 0xFFFF, 0, 0xFFFF, 0xFFFF},
    {ALPHA, 4, 128, 0xFFFFFF, 1, 0, 77, 0xFFFF, 0, 0xFFFF, 0xFFFF},
    {PLAIN, 4, 128, 0xFFFFFF, 0, 0, 0, 0xFFFF, 255, 0xFFFF, 0x0000},
    {PLAIN, 4, 128, 0xFFFFFF, 0, 0, 128, 0xFFFF, 255, 0xFFFF, 0x7BEF},
    {PLAIN, 4, 128, 0x808080, 0, 0, -1, 0xFFFF, 255, 0xFFFF, 0x73CE},
    {PLAIN, 4, 128, 0xFFFFFE, 0, 0, -1, 0xFFFF, 255, 0xFFFF, 0xF7DD},
    {PLAIN, 4, 128, 0xFFFFFF, 1, 0x1234, -1, 0x1234, 255, 0xFFFF, 0xFFFF},
    {PLAIN, 4, 128, 0xFFFFFF, 1, 0x00011234, -1, 0x1234, 255, 0xFFFF, 0x0A13},
    // Multiplied blend, and the finer green of its alpha form.
    {PLAIN, 11, 0, 0xFFFFFF, 0, 0, -1, 0x8410, 255, 0xFFFF, 0xFFFF},
    {PLAIN, 11, 128, 0xFFFFFF, 0, 0, -1, 0x8410, 255, 0xFFFF, 0xBDF7},
    {PLAIN, 11, 255, 0xFFFFFF, 0, 0, -1, 0x8410, 255, 0xFFFF, 0x7BEF},
    {ALPHA, 11, 255, 0xFFFFFF, 1, 0, -1, 0x0000, 0, 0x1234, 0x1234},
    {ALPHA, 11, 255, 0xFFFFFF, 0, 0, -1, 0x0000, 0, 0x1234, 0x1234},
    {ALPHA, 11, 255, 0xFFFFFF, 0, 0, -1, 0x0020, 255, 0x07E0, 0x0020},
    {ALPHA, 11, 255, 0xFFFFFF, 1, 0, -1, 0x0020, 255, 0x07E0, 0x0000},
    {ALPHA, 11, 255, 0xFFFFFF, 0, 0, 255, 0x0020, 255, 0x07E0, 0x0000},
    {ALPHA, 11, 255, 0xFFFFFE, 0, 0, -1, 0x0020, 255, 0x07E0, 0x0000},
    // Inverted blend: inverted before the brightness, keyed before inverting.
    {PLAIN, 10, 255, 0xFFFFFF, 0, 0, -1, 0x0000, 255, 0x1234, 0xFFFF},
    {PLAIN, 10, 255, 0xFFFFFF, 0, 0, -1, 0xFFFF, 255, 0x1234, 0x0000},
    {PLAIN, 10, 0, 0xFFFFFF, 0, 0, -1, 0x0000, 255, 0x1234, 0x1234},
    {PLAIN, 10, 128, 0xFFFFFF, 0, 0, -1, 0x0000, 255, 0x0000, 0x7BEF},
    {PLAIN, 10, 255, 0xFFFFFF, 0, 0, 255, 0x0000, 255, 0x0000, 0xF7DE},
    {PLAIN, 10, 255, 0x808080, 0, 0, -1, 0x0000, 255, 0x0000, 0x7BEF},
    {PLAIN, 10, 255, 0xFFFFFF, 1, 0x0000, -1, 0x0000, 255, 0x1234, 0x1234},
    {PLAIN, 10, 255, 0xFFFFFF, 1, 0xFFFF, -1, 0x0000, 255, 0x1234, 0xFFFF},
    {ALPHA, 10, 255, 0xFFFFFF, 1, 0, -1, 0x0000, 0, 0x1234, 0x1234},
    {ALPHA, 10, 255, 0xFFFFFF, 0, 0, -1, 0x0000, 0, 0x1234, 0x1234},
    // Palette source: index 7 holds the texel word.
    {PALETTE, 0, 0, 0xFFFFFF, 0, 0, -1, 0x1234, 255, 0xABCD, 0x1234},
    {PALETTE, 0, 0, 0xFFFFFF, 1, 7, -1, 0x1234, 255, 0xABCD, 0xABCD},
    {PALETTE, 0, 0, 0xFFFFFF, 1, 0x107, -1, 0x1234, 255, 0xABCD, 0x1234},
    {PALETTE, 0, 0, 0x000000, 0, 7, -1, 0xFFFF, 255, 0xABCD, 0x0000},
    {PALETTE, 0, 0, 0x000000, 1, 7, -1, 0xFFFF, 255, 0xABCD, 0xABCD},
    {PALETTE, 0, 0, 0xFEFEFE, 0, 0, -1, 0xFFFF, 255, 0xABCD, 0xF7DE},
    {PALETTE, 0, 0, 0xFFFFFFFF, 0, 0, -1, 0xFFFF, 255, 0xABCD, 0xFFFF},
    {PALETTE, 0, 0, 0xFFFFFF, 0, 0, 255, 0xFFFF, 255, 0x0000, 0xF7DE},
    {PALETTE, 0, 0, 0xFFFFFF, 0, 0, 128, 0xFFFF, 255, 0x0000, 0x7BEF},
    {PALETTE, 0, 0, 0xFFFFFF, 0, 0, 0, 0xFFFF, 255, 0x1234, 0x1234},
    {PALETTE, 1, 128, 0xFFFFFF, 0, 0, -1, 0xFFFF, 255, 0x0000, 0x7BEF},
    {PALETTE, 1, 128, 0xFFFFFF, 0, 0, -1, 0x0000, 255, 0xFFFF, 0x8410},
    {PALETTE, 1, 254, 0xFFFFFF, 0, 0, -1, 0x0000, 255, 0xFFFF, 0x0821},
    {PALETTE, 1, 254, 0xFFFFFF, 0, 0, 255, 0x0000, 255, 0xFFFF, 0x0000},
    {PALETTE, 1, 0, 0xFFFFFF, 0, 0, -1, 0x0000, 255, 0xFFFF, 0xFFFF},
    {PALETTE, 2, 255, 0xFFFFFF, 0, 0, -1, 0x8410, 255, 0x8410, 0xFFFF},
    {PALETTE, 2, 255, 0xFFFFFF, 0, 0, -1, 0x001F, 255, 0x001F, 0x003F},
    {PALETTE, 2, 128, 0xFFFFFF, 0, 0, -1, 0xFFFF, 255, 0x0000, 0x7BEF},
    {PALETTE, 2, 255, 0xFFFFFF, 0, 0, 128, 0xFFFF, 255, 0x0000, 0x7BEF},
    {PALETTE, 3, 255, 0xFFFFFF, 0, 0, -1, 0x0821, 255, 0xFFFF, 0xFFDE},
    {PALETTE, 3, 255, 0xFFFFFF, 0, 0, -1, 0x0000, 255, 0xFFFF, 0xFFDF},
    {PALETTE, 3, 255, 0xFFFFFF, 0, 0, -1, 0xFFFF, 255, 0x1234, 0x0000},
    {PALETTE, 4, 0, 0xFFFFFF, 0, 0, -1, 0xFFFF, 255, 0xFFFF, 0xF7DE},
    {PALETTE, 4, 128, 0xFFFFFF, 0, 0, -1, 0x8410, 255, 0xFFFF, 0x7BEF},
    {PALETTE, 4, 128, 0xFFFFFF, 0, 0, 0, 0xFFFF, 255, 0xFFFF, 0x0000},
    {PALETTE, 4, 128, 0xFFFFFF, 0, 0, 255, 0xFFFF, 255, 0xFFFF, 0xEFBD},
    {PALETTE, 10, 255, 0xFFFFFF, 0, 0, -1, 0x0000, 255, 0x0000, 0xFFFF},
    {PALETTE, 10, 255, 0xFFFFFF, 0, 0, -1, 0xFFFF, 255, 0xFFFF, 0x0000},
    {PALETTE, 10, 128, 0xFFFFFF, 0, 0, -1, 0x0000, 255, 0x0000, 0x7BEF},
    {PALETTE, 10, 0, 0xFFFFFF, 0, 0, -1, 0x0000, 255, 0x1234, 0x1234},
    {PALETTE, 10, 255, 0x000000, 0, 0, -1, 0x0000, 255, 0x1234, 0x0000},
    {PALETTE, 10, 255, 0x808080, 0, 0, -1, 0x0000, 255, 0x0000, 0x7BEF},
    {PALETTE, 11, 255, 0xFFFFFF, 0, 0, -1, 0xFFFF, 255, 0xFFFF, 0xF7DE},
    {PALETTE, 11, 255, 0xFFFFFF, 0, 0, -1, 0x0000, 255, 0xFFFF, 0x0000},
    {PALETTE, 11, 0, 0xFFFFFF, 0, 0, -1, 0x0000, 255, 0xFFFF, 0xFFFF},
    {PALETTE, 11, 128, 0xFFFFFF, 0, 0, 255, 0x0000, 255, 0xFFFF, 0x7BEF},
};

TEST_F(TriangleTex16Test, WorkedExamples)
{
    std::vector<uint16_t> palette(256, 0x5555);
    const uint8_t kBlendByte = 0x3C;
    for (const Example& e : kExamples) {
        const Call c{e.src, e.mode, e.p, e.bright, e.trans, e.f >= 0, e.key};
        FencedImage s(1, 1, TexelBytes(e.src), 0, e.src == PALETTE, e.src == ALPHA);
        FencedImage b(1, 1, 1, 0, 0, 0);
        uint8_t* t = s.d.pixels;
        uint32_t texel = e.texel;
        if (e.src == PALETTE) {
            palette[7] = (uint16_t)e.texel;
            t[0] = 7;
            texel = 7;
            s.d.palette = palette.data();
            s.d.paletteCount = 256;
        } else {
            t[0] = (uint8_t)e.texel;
            t[1] = (uint8_t)(e.texel >> 8);
            if (e.src == ALPHA) {
                t[2] = (uint8_t)e.alpha;
                t[3] = 0x5A;
            }
        }
        s.d.transColor = e.key;
        b.d.pixels[0] = kBlendByte;
        if (e.f >= 0)
            BlendGraphRamp[kBlendByte] = (uint8_t)e.f;
        const int f = e.f >= 0 ? e.f : 0;

        EXPECT_EQ(e.want, ModelPixel(c, e.dst, texel, e.alpha, f, palette.data())) << "model: " << Describe(c);

        Target got(3, 2);
        for (int y = 0; y < 2; y++)
            for (int x = 0; x < 3; x++)
                got.Put(x, y, 0x9999);
        got.Put(0, 0, e.dst);
        const SoftTriangleVertex tri[3] = {{0, 0, 0, 0}, {1, 0, 1, 0}, {0, 1, 0, 1}};
        const BlitDrawValues draw{e.mode, e.p, e.bright, BlitRect{0, 0, 3, 2}};
        EXPECT_EQ(0, PlanAndRunTriangle(&got.d, &s.d, tri, e.trans, e.f >= 0 ? &b.d : nullptr, 0, &draw));
        EXPECT_EQ(e.want, got.At(0, 0)) << Describe(c);
        for (int y = 0; y < 2; y++)
            for (int x = 0; x < 3; x++)
                if (x || y) {
                    EXPECT_EQ(0x9999u, got.At(x, y)) << Describe(c) << " at (" << x << ", " << y << ")";
                }
        EXPECT_TRUE(got.GuardsIntact());
    }
}

// Turned and stretched triangles over padded rows: each visit of the walk
// model reads the texel and blend byte its U and V name, through the pitch.
TEST_F(TriangleTex16Test, TurnedTrianglesReadTheTexelOfEachVisit)
{
    Rng r(7110);
    for (int i = 0; i < 256; i++)
        BlendGraphRamp[i] = (uint8_t)r.In(0, 255);
    std::vector<uint16_t> palette(256);
    for (auto& e : palette)
        e = (uint16_t)r.In(0, 0xFFFF);
    for (int iter = 0; iter < 300; iter++) {
        const int src = r.In(PLAIN, PALETTE);
        const int sw = r.In(1, 20), sh = r.In(1, 20);
        FencedImage s(sw, sh, TexelBytes(src), 0, src == PALETTE, src == ALPHA, r.In(0, 6));
        FencedImage b(sw + r.In(0, 3), sh, 1, 0, 0, 0, r.In(0, 5));
        for (int y = 0; y < sh; y++) {
            for (int x = 0; x < sw * TexelBytes(src); x++)
                s.d.pixels[y * s.d.pitch + x] = (uint8_t)r.In(0, 255);
            for (int x = 0; x < b.d.width; x++)
                b.d.pixels[y * b.d.pitch + x] = (uint8_t)r.In(0, 255);
        }
        s.d.palette = palette.data();
        s.d.paletteCount = 256;
        s.d.transColor = src == PALETTE ? (uint32_t)s.d.pixels[0] : (uint32_t)(s.d.pixels[0] | s.d.pixels[1] << 8);
        const Call c{src,
                     r.Pick({0, 1, 2, 3, 4, 10, 11}),
                     r.In(1, 255),
                     r.Pick({0xFFFFFFu, 0x70A0E0u}),
                     r.In(0, 1),
                     r.In(0, 1) == 1,
                     s.d.transColor};
        SoftTriangleVertex v[3];
        for (auto& e : v)
            e = SoftTriangleVertex{r.In(-5, 35), r.In(-5, 30), r.In(-sw / 2, sw + sw / 2), r.In(-sh / 2, sh + sh / 2)};
        const BlitRect area{r.In(0, 4), r.In(0, 4), r.In(20, 32), r.In(18, 26)};
        Target got(32, 26);
        for (int y = 0; y < 26; y++)
            for (int x = 0; x < 32; x++)
                got.Put(x, y, (uint32_t)r.In(0, 0xFFFF));
        Target want = got;
        want.d.pixels = want.mem.data() + kGuard;
        for (const RefVisit& visit : RefTriangleVisits(v, area)) {
            int col, row;
            if (!RefTexel(visit, sw, sh, &col, &row))
                continue;
            int a;
            const uint32_t texel = TexelOf(s.d, src, col, row, &a);
            const int f = c.blend ? BlendGraphRamp[b.d.pixels[row * b.d.pitch + col]] : 0;
            want.Put(visit.x, visit.y, ModelPixel(c, want.At(visit.x, visit.y), texel, a, f, palette.data()));
        }
        const BlitDrawValues draw{c.mode, c.p, c.bright, area};
        ASSERT_EQ(0, PlanAndRunTriangle(&got.d, &s.d, v, c.trans, c.blend ? &b.d : nullptr, 0, &draw));
        for (int y = 0; y < 26; y++)
            for (int x = 0; x < 32; x++)
                ASSERT_EQ(want.At(x, y), got.At(x, y)) << Describe(c) << " at (" << x << ", " << y << ")";
        ASSERT_TRUE(got.GuardsIntact());
    }
}

// Turned, stretched and far-off triangles whose texel coordinates run past
// every side of sources and blend images that end right before an
// inaccessible page: a read outside them faults, a write outside the draw
// area or the destination shows in the guards or the frame of the target.
TEST_F(TriangleTex16Test, ReadsStayInsideSourceAndBlendImage)
{
    Rng r(16016);
    std::vector<uint16_t> palette(256);
    for (auto& e : palette)
        e = (uint16_t)r.In(0, 0xFFFF);
    for (int iter = 0; iter < 1500; iter++) {
        const int src = r.In(PLAIN, PALETTE);
        const int sw = r.In(1, 24), sh = r.In(1, 12);
        FencedImage s(sw, sh, TexelBytes(src), 0, src == PALETTE, src == ALPHA);
        for (int i = 0; i < sw * sh * TexelBytes(src); i++)
            s.d.pixels[i] = (uint8_t)r.In(1, 255);
        s.d.palette = palette.data();
        s.d.paletteCount = 256;
        FencedImage b(sw, sh, 1, 0, 0, 0);
        Target t(40, 30);
        const BlitRect area{r.In(0, 10), r.In(0, 10), r.In(20, 40), r.In(15, 30)};
        const BlitDrawValues draw{r.Pick({0, 1, 2, 3, 4, 10, 11}), r.In(1, 255), r.Pick({0xFFFFFFu, 0x808080u}),
                                  area};
        SoftTriangleVertex v[3];
        for (auto& e : v)
            e = SoftTriangleVertex{r.In(-20, 60), r.In(-20, 50), r.In(-2 * sw, 3 * sw), r.In(-2 * sh, 3 * sh)};
        ASSERT_EQ(0, PlanAndRunTriangle(&t.d, &s.d, v, r.In(0, 1), r.In(0, 1) ? &b.d : nullptr, 0, &draw));
        ASSERT_TRUE(t.GuardsIntact());
        for (int y = 0; y < t.d.height; y++)
            for (int x = 0; x < t.d.width; x++)
                if (x < area.left || x >= area.right || y < area.top || y >= area.bottom) {
                    ASSERT_EQ(0xA5A5u, t.At(x, y)) << "(" << x << ", " << y << ") outside the draw area";
                }
    }
}

// A blend image that does not cover the source is refused before any pixel.
TEST_F(TriangleTex16Test, BlendImageSmallerThanSourceDrawsNothing)
{
    FencedImage s(8, 8, 2, 0, 0, 0);
    memset(s.d.pixels, 0x11, 8 * 8 * 2);
    Target t(10, 10);
    const std::vector<uint8_t> before = t.mem;
    SoftTriangleVertex tri[2][3];
    QuadTriangles(0, 0, 8, tri);
    const BlitDrawValues draw{0, 0, 0xFFFFFF, BlitRect{0, 0, 10, 10}};
    for (const auto& size : {std::make_pair(7, 8), std::make_pair(8, 7)}) {
        FencedImage b(size.first, size.second, 1, 0, 0, 0);
        for (auto& tr : tri)
            EXPECT_EQ(-1, PlanAndRunTriangle(&t.d, &s.d, tr, 0, &b.d, 0, &draw));
        EXPECT_TRUE(t.mem == before);
    }
}

} // namespace
