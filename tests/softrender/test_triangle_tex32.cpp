// Textured triangles onto 32-bit targets. A square quad drawn as the graph
// layer draws it (vertices 0, 1, 2, then 1, 2, 3) with one texel per pixel
// makes every pixel's texel known, so each call is compared byte for byte
// with a plain per-pixel model written from the rules below: no tables, no
// packed words. Turned and stretched triangles take their visits from the
// walk model of triangle_reference. Destinations carry guard pixels, sources
// and blend images end where an inaccessible page starts.
#include <windows.h>

#include <gtest/gtest.h>
#include <string.h>

#include <random>
#include <vector>

#include "image/soft_blend_tables.h"
#include "softrender/blit_kernels.h"
#include "tests/softrender/page_end_buffer.h"
#include "softrender/triangle_raster.h"
#include "triangle_reference.h"

namespace {

BlitImageDesc Desc(uint8_t* pixels, int width, int height, int pitch, int bpp, int kind)
{
    BlitImageDesc d = {};
    d.width = width;
    d.height = height;
    d.pixels = pixels;
    d.pitch = pitch;
    d.bytesPerPixel = bpp;
    d.pixelKind = kind;
    d.bodyPixels = pixels;
    d.bodyWidth = width;
    d.bodyHeight = height;
    return d;
}

uint32_t Get32(const uint8_t* p)
{
    uint32_t v;
    memcpy(&v, p, 4);
    return v;
}

void Put32(uint8_t* p, uint32_t v) { memcpy(p, &v, 4); }

// ---- The model ----

// Source kinds: alpha flag 0, alpha flag 1, alpha flag 2 (no alpha), palette.
enum { SRC_PLAIN = 0, SRC_ALPHA = 1, SRC_ALPHA2 = 2, SRC_PALETTE = 3 };

struct Model {
    int mode;                 // as set, before the entry rules
    int p;
    uint32_t brightness;
    int source;
    int trans;
    bool blend;
};

uint32_t Chan(uint32_t v, int c) { return (v >> (8 * c)) & 255; }
int64_t Div255(int64_t k, int64_t v) { return k * v / 255; }
// (d * 2^n + (y - d) * w) >> n, as a floor.
uint32_t Mix(int64_t d, int64_t y, int64_t w, int n)
{
    const int64_t sum = (d << n) + (y - d) * w;
    EXPECT_GE(sum, 0);
    return (uint32_t)(sum >> n);
}

// The saturating add and subtract, channel by channel as the rules word them.
uint32_t AddModel(uint32_t D, const uint32_t t[3])
{
    const uint32_t b = Chan(D, 0) + t[0];
    const uint32_t g = (Chan(D, 1) >> 1) + (t[1] >> 1), r = (Chan(D, 2) >> 1) + (t[2] >> 1);
    const uint32_t nb = b > 255 ? 255 : b;
    const uint32_t ng = g > 127 ? 255 : 2 * g + ((Chan(D, 1) | t[1] | (b > 255 ? 1 : 0)) & 1);
    const uint32_t nr = r > 127 ? 255 : 2 * r + ((Chan(D, 2) | t[2] | (g > 127 ? 1 : 0)) & 1);
    return nb | ng << 8 | nr << 16 | (uint32_t)(r > 127) << 24;
}

uint32_t SubModel(uint32_t D, const uint32_t t[3])
{
    const bool blueOk = Chan(D, 0) >= t[0];
    const bool greenOk = (Chan(D, 1) >> 1) >= (t[1] >> 1);
    const bool redOk = (Chan(D, 2) >> 1) >= (t[2] >> 1);
    const uint32_t nb = blueOk ? Chan(D, 0) - t[0] : 0;
    const uint32_t ng = greenOk ? 2 * ((Chan(D, 1) >> 1) - (t[1] >> 1)) + blueOk : 0;
    const uint32_t nr = redOk ? 2 * ((Chan(D, 2) >> 1) - (t[2] >> 1)) + greenOk : 0;
    return nb | ng << 8 | nr << 16;
}

// The mode that draws after the entry rules, or -1.
int EntryMode(int mode, int p)
{
    if (mode < 0 || (mode > 4 && mode != 10 && mode != 11))
        return -1;
    if (mode >= 1 && mode <= 3 && p == 0)
        return -1;
    return mode == 1 && p == 255 ? 0 : mode;
}

// What destination pixel D becomes under texel S (the stored texel of a
// direct source; for a palette source the entry, with index i), with
// blend-image weight f. Returns D when the pixel is skipped.
uint32_t ModelPixel(const Model& m, uint32_t D, uint32_t S, uint32_t i, uint32_t key, uint32_t f)
{
    const int mode = EntryMode(m.mode, m.p);
    if (mode < 0)
        return D;
    const bool bright = (m.brightness & 0xFFFFFF) != 0xFFFFFF;
    const bool alphaSource = m.source == SRC_ALPHA;
    const uint32_t a = S >> 24;
    bool alphaRule = false;
    if (m.source == SRC_PALETTE) {
        if (m.trans && i == key)
            return D;
    } else if (alphaSource && m.trans) {
        // Alpha 0 is skipped in every mode (in modes 10 and 11 the alpha
        // rule is applied instead, which must come to the same).
        if (a == 0 && mode != 10 && mode != 11)
            return D;
        alphaRule = a != 255;
    } else if (alphaSource) {
        alphaRule = true;
    } else if (m.trans && S == key) {
        return D;
    }
    if (mode == 0 && !bright && !m.blend && !alphaRule)
        return S;                               // the whole texel or entry
    uint32_t out[3];
    const int64_t p = m.p;
    for (int c = 0; c < 3; c++) {
        const int64_t t = Chan(S, c), d = Chan(D, c), b = Chan(m.brightness, c);
        int64_t s = mode == 10 ? 255 - t : t;
        if (bright)
            s = Div255(b, s);
        switch (mode) {
        case 0:
            out[c] = !m.blend ? (alphaRule ? Mix(d, s, a, 8) : (uint32_t)s)
                              : (alphaRule ? Mix(d, s, f * a, 16) : Mix(d, s, f, 8));
            break;
        case 1:
        case 10:
        case 11: {
            const int64_t y = mode == 11 ? (s * d) >> 8 : s;
            out[c] = !m.blend ? (alphaRule ? Mix(d, y, a * p, 16) : Mix(d, y, p, 8))
                              : (alphaRule ? Mix(d, y, f * a * p, 24) : Mix(d, y, f * p, 16));
            break;
        }
        case 2:
        case 3:
            out[c] = (uint32_t)(!m.blend ? (alphaRule ? (s * a * p) >> 16 : Div255(p, s))
                                         : (alphaRule ? (s * f * a * p) >> 24 : (s * f * p) >> 16));
            break;
        default: // 4
            out[c] = (uint32_t)(!m.blend ? (alphaRule ? (a * s * d) >> 16 : (s * d) >> 8)
                                         : (alphaRule ? (f * a * s * d) >> 24 : (f * s * d) >> 16));
            break;
        }
    }
    if (mode == 2)
        return AddModel(D, out);
    if (mode == 3)
        return SubModel(D, out);
    return (D & 0xFF000000) | out[0] | out[1] << 8 | out[2] << 16;
}

// ---- Drawing a quad ----

// The N x N quad at (qx, qy) whose pixel (qx + i, qy + j) maps to texel
// (i - k, j - k), drawn as the two triangles of a four-corner draw. Both
// draw the pixels with i + j = N, and the column i = N is visited too (where
// it shows a texel only when the source is larger than the quad).
void DrawQuad(const BlitImageDesc* dst, const BlitImageDesc* src, int qx, int qy, int n, int k, int trans,
              const BlitImageDesc* blend, const BlitDrawValues* draw)
{
    const SoftTriangleVertex v[4] = {
        {qx, qy, -k, -k}, {qx + n, qy, n - k, -k}, {qx, qy + n, -k, n - k}, {qx + n, qy + n, n - k, n - k}};
    PlanAndRunTriangle(dst, src, v, trans, blend, 0x12345678, draw);
    PlanAndRunTriangle(dst, src, v + 1, trans, blend, 0x12345678, draw);
}

// A source of w x h texels, 4 bytes (direct) or 1 byte (palette) each, with
// pad bytes at the end of each row, its last texel at the end of a page.
struct Source {
    PageEndBuffer mem;
    std::vector<uint8_t> palette;
    BlitImageDesc desc;

    Source(int kind, int w, int h, int pad, uint32_t key)
        : mem((size_t)(w * (kind == SRC_PALETTE ? 1 : 4) + pad) * (h - 1) + (size_t)w * (kind == SRC_PALETTE ? 1 : 4)),
          palette(1024)
    {
        const int bpp = kind == SRC_PALETTE ? 1 : 4;
        desc = Desc(mem.data(), w, h, w * bpp + pad, bpp, 1);
        desc.transColor = key;
        if (kind == SRC_PALETTE) {
            desc.paletteFlag = 1;
            desc.alphaFlag = 1;                   // never read for a palette source
            desc.palette = palette.data();
            desc.paletteCount = 3;                // never read either
        } else {
            desc.alphaFlag = kind == SRC_ALPHA ? 1 : kind == SRC_ALPHA2 ? 2 : 0;
        }
    }
    uint8_t* At(int x, int y) const { return desc.pixels + (ptrdiff_t)y * desc.pitch + x * desc.bytesPerPixel; }
    // The stored texel (direct) or the palette entry, and the index.
    uint32_t Texel(int x, int y, uint32_t* index) const
    {
        if (desc.paletteFlag == 1) {
            *index = *At(x, y);
            return Get32(&palette[*index * 4]);
        }
        *index = 0;
        return Get32(At(x, y));
    }
};

const int kGuard = 2;

class TriangleTex32Test : public ::testing::Test {
protected:
    void SetUp() override { BuildSoftBlendTables(); }
};

TEST_F(TriangleTex32Test, EveryVariantMatchesTheModel)
{
    std::mt19937 rng(2026);
    for (int i = 0; i < 256; i++)
        BlendGraphRamp[i] = (uint8_t)(i < 2 ? i * 255 : rng());      // weights 0 and 255 included
    static const int kModes[] = {0, 1, 2, 3, 4, 10, 11, 7, 12, -1};
    static const int kParams[] = {0, 1, 128, 254, 255, -1};       // -1: a random one
    static const uint32_t kBright[] = {0xFFFFFF, 0x01FFFFFF, 0x808080, 0xFF80C0FF, 0};
    static const int kTrans[] = {0, 1, -3};
    for (int source = 0; source < 4; source++)
        for (int mode : kModes)
            for (int pIndex = 0; pIndex < 6; pIndex++)
                for (uint32_t brightness : kBright)
                    for (int trans : kTrans)
                        for (int withBlend = 0; withBlend < 2; withBlend++) {
                            Model m = {mode, kParams[pIndex] < 0 ? (int)(rng() % 256) : kParams[pIndex], brightness,
                                       source, trans, withBlend != 0};
                            if (m.brightness == 0)
                                m.brightness = rng() & 0xFFFFFF;
                            // The quad, the source it shows (smaller, equal or larger, so
                            // texels outside are visited too) and the destination around it.
                            const int n = 2 + (int)(rng() % 7);
                            const int sw = 1 + (int)(rng() % (n + 2)), sh = 1 + (int)(rng() % (n + 2));
                            const int k = (int)(rng() % 3) - 1;      // texel offset: u = i - k
                            const int qx = (int)(rng() % 3), qy = (int)(rng() % 3);
                            const int dw = qx + n + 1 + (int)(rng() % 2), dh = qy + n + (int)(rng() % 2);
                            uint32_t key = rng();
                            if (source == SRC_PALETTE)
                                key = rng() % 4 == 0 ? 261 : rng() % 256;
                            Source src(source, sw, sh, (int)(rng() % 3) * (source == SRC_PALETTE ? 1 : 4), key);
                            for (int y = 0; y < sh; y++)
                                for (int x = 0; x < sw; x++) {
                                    if (source == SRC_PALETTE) {
                                        *src.At(x, y) = (uint8_t)(rng() % 3 == 0 ? key : rng());
                                        continue;
                                    }
                                    uint32_t v = rng();
                                    switch (rng() % 6) {
                                    case 0: v = key; break;
                                    case 1: v &= 0x00FFFFFF; break;                  // alpha 0
                                    case 2: v |= 0xFF000000; break;                  // alpha 255
                                    case 3: v = key ^ 0x01000000; break;             // key but byte 3
                                    }
                                    Put32(src.At(x, y), v);
                                }
                            for (auto& b : src.palette)
                                b = (uint8_t)rng();
                            PageEndBuffer blendMem((size_t)sw * sh);
                            BlitImageDesc blend = Desc(blendMem.data(), sw, sh, sw, 1, 2);
                            for (int j = 0; j < sw * sh; j++)
                                blendMem.data()[j] = (uint8_t)rng();

                            const int pitch = (dw + 2 * kGuard) * 4;
                            std::vector<uint8_t> canvas((size_t)pitch * (dh + 2 * kGuard));
                            for (auto& b : canvas)
                                b = (uint8_t)rng();
                            BlitImageDesc dst = Desc(canvas.data() + kGuard * pitch + kGuard * 4, dw, dh, pitch, 4, 1);
                            BlitDrawValues draw = {m.mode, m.p, m.brightness, {0, 0, dw, dh}};
                            if (rng() % 3 == 0) {
                                const int l = (int)(rng() % dw), t = (int)(rng() % dh);
                                draw.area = {l, t, l + (int)(rng() % (dw - l + 1)), t + (int)(rng() % (dh - t + 1))};
                            }

                            std::vector<uint8_t> expected = canvas;
                            for (int y = 0; y < dh; y++)
                                for (int x = 0; x < dw; x++) {
                                    const int qi = x - qx, qj = y - qy;
                                    const int tu = qi - k, tv = qj - k;
                                    if (qi < 0 || qj < 0 || qi > n || qj >= n || tu < 0 || tv < 0 || tu >= sw ||
                                        tv >= sh || x < draw.area.left || x >= draw.area.right ||
                                        y < draw.area.top || y >= draw.area.bottom)
                                        continue;
                                    uint32_t index;
                                    const uint32_t S = src.Texel(tu, tv, &index);
                                    const uint32_t f = m.blend ? BlendGraphRamp[blendMem.data()[tv * sw + tu]] : 0;
                                    uint8_t* px = expected.data() + (kGuard + y) * pitch + (kGuard + x) * 4;
                                    // The shared diagonal is drawn by both triangles.
                                    for (int times = qi + qj == n ? 2 : 1; times > 0; times--)
                                        Put32(px, ModelPixel(m, Get32(px), S, index, key, f));
                                }
                            DrawQuad(&dst, &src.desc, qx, qy, n, k, trans, m.blend ? &blend : nullptr, &draw);
                            if (canvas != expected) {
                                size_t at = 0;
                                while (canvas[at] == expected[at])
                                    at++;
                                const int row = (int)(at / pitch) - kGuard, col = (int)(at % pitch / 4) - kGuard;
                                FAIL() << "pixel " << col << "," << row << " byte " << at % 4 << ": got "
                                       << (int)canvas[at] << " want " << (int)expected[at] << "; source " << source
                                       << " mode " << mode << " p " << m.p << " brightness " << std::hex
                                       << m.brightness << std::dec << " trans " << trans << " blend " << m.blend
                                       << " quad " << n << " at " << qx << "," << qy << " texel offset " << k
                                       << " source " << sw << "x" << sh;
                            }
                        }
}

// Turned, stretched, mirrored and sheared mappings, some with texture steps
// so large that the coordinates wrap within a row: every visit of the walk
// model whose texel lies inside the source changes its pixel by the model's
// rule, in visit order, and nothing else changes.
TEST_F(TriangleTex32Test, AnyMappingReadsOnlyTexelsInside)
{
    std::mt19937 rng(77);
    for (int i = 0; i < 256; i++)
        BlendGraphRamp[i] = (uint8_t)rng();
    static const int kModes[] = {0, 1, 2, 3, 4, 10, 11};
    for (int iter = 0; iter < 3000; iter++) {
        SCOPED_TRACE(iter);
        const int source = (int)(rng() % 4);
        Model m = {kModes[rng() % 7], (int)(rng() % 256), rng() % 2 ? 0xFFFFFFu : (uint32_t)rng(), source,
                   (int)(rng() % 2), rng() % 3 == 0};
        const int sw = 1 + (int)(rng() % 9), sh = 1 + (int)(rng() % 9);
        uint32_t key = source == SRC_PALETTE ? rng() % 256 : rng();
        Source src(source, sw, sh, 0, key);
        for (int y = 0; y < sh; y++)
            for (int x = 0; x < sw; x++) {
                if (source == SRC_PALETTE)
                    *src.At(x, y) = (uint8_t)(rng() % 4 == 0 ? key : rng());
                else
                    Put32(src.At(x, y), rng() % 4 == 0 ? key : rng() % 4 == 0 ? rng() & 0xFFFFFF : rng());
            }
        for (auto& b : src.palette)
            b = (uint8_t)rng();
        PageEndBuffer blendMem((size_t)sw * sh);
        for (int j = 0; j < sw * sh; j++)
            blendMem.data()[j] = (uint8_t)rng();
        BlitImageDesc blend = Desc(blendMem.data(), sw, sh, sw, 1, 2);

        const int dw = 4 + (int)(rng() % 40), dh = 4 + (int)(rng() % 30);
        const int pitch = (dw + 2 * kGuard) * 4;
        std::vector<uint8_t> canvas((size_t)pitch * (dh + 2 * kGuard));
        for (auto& b : canvas)
            b = (uint8_t)rng();
        BlitImageDesc dst = Desc(canvas.data() + kGuard * pitch + kGuard * 4, dw, dh, pitch, 4, 1);
        BlitDrawValues draw = {m.mode, m.p, m.brightness, {0, 0, dw, dh}};
        if (rng() % 3 == 0)
            draw.area = {(int)(rng() % 4), (int)(rng() % 4), dw - (int)(rng() % 4), dh - (int)(rng() % 4)};
        // Texel coordinates around the source, or far beyond it so that the
        // steps are large.
        const int spread = rng() % 4 == 0 ? 600 : 3;
        SoftTriangleVertex v[3];
        for (auto& vertex : v) {
            vertex.x = (int)(rng() % (dw + 10)) - 5;
            vertex.y = (int)(rng() % (dh + 10)) - 5;
            vertex.u = (int)(rng() % (sw + 2 * spread + 1)) - spread;
            vertex.v = (int)(rng() % (sh + 2 * spread + 1)) - spread;
        }

        std::vector<uint8_t> expected = canvas;
        for (const RefVisit& visit : RefTriangleVisits(v, draw.area)) {
            int col, row;
            if (!RefTexel(visit, sw, sh, &col, &row))
                continue;
            uint32_t index;
            const uint32_t S = src.Texel(col, row, &index);
            const uint32_t f = m.blend ? BlendGraphRamp[blendMem.data()[row * sw + col]] : 0;
            uint8_t* px = expected.data() + (kGuard + visit.y) * pitch + (kGuard + visit.x) * 4;
            Put32(px, ModelPixel(m, Get32(px), S, index, key, f));
        }
        PlanAndRunTriangle(&dst, &src.desc, v, m.trans, m.blend ? &blend : nullptr, 0, &draw);
        if (canvas != expected) {
            size_t at = 0;
            while (canvas[at] == expected[at])
                at++;
            FAIL() << "pixel " << (int)(at % pitch / 4) - kGuard << "," << (int)(at / pitch) - kGuard
                   << ": source " << source << " mode " << m.mode << " vertices " << v[0].x << "," << v[0].y << "|"
                   << v[0].u << "," << v[0].v << " " << v[1].x << "," << v[1].y << "|" << v[1].u << "," << v[1].v
                   << " " << v[2].x << "," << v[2].y << "|" << v[2].u << "," << v[2].v << " source " << sw << "x"
                   << sh;
        }
    }
}

// One texel onto one pixel, with the values the rules give.
struct PixelCase {
    const char* what;
    int source, mode, p;
    uint32_t brightness;
    int trans;
    int weight;               // blend-image weight, -1 without a blend image
    uint32_t key;             // palette: an index; the texel is index 5
    uint32_t S, D, want;      // S: the texel, or palette entry 5
};

const PixelCase kPixelCases[] = {
    {"key: texel equal to it is skipped", SRC_PLAIN, 0, 0, 0xFFFFFF, 1, -1, 0x00FF00FF, 0x00FF00FF, 0x11223344,
     0x11223344},
    {"key: differs in byte 3, drawn whole", SRC_PLAIN, 0, 0, 0xFFFFFF, 1, -1, 0x00FF00FF, 0xFFFF00FF, 0x11223344,
     0xFFFF00FF},
    {"key compared before brightness", SRC_PLAIN, 0, 0, 0x808080, 5, -1, 0x00FF00FF, 0x00FF00FF, 0x11223344,
     0x11223344},
    {"alpha, flag on, a 255: whole copy", SRC_ALPHA, 0, 0, 0xFFFFFF, 1, -1, 0, 0xFFFFFFFF, 0, 0xFFFFFFFF},
    {"alpha, flag off, a 255: alpha rule", SRC_ALPHA, 0, 0, 0xFFFFFF, 0, -1, 0, 0xFFFFFFFF, 0, 0x00FEFEFE},
    {"alpha, flag off, a 0: unchanged", SRC_ALPHA, 0, 0, 0xFFFFFF, 0, -1, 0, 0x00FFFFFF, 0x11223344, 0x11223344},
    {"alpha, flag off, a 128", SRC_ALPHA, 0, 0, 0xFFFFFF, 0, -1, 0, 0x80FFFFFF, 0xAA000000, 0xAA7F7F7F},
    {"alpha flag 2 is no alpha: key used", SRC_ALPHA2, 0, 0, 0xFFFFFF, 1, -1, 0x00FFFFFF, 0x00FFFFFF, 0x11223344,
     0x11223344},
    {"brightness 0xFF808080 is active", SRC_PLAIN, 0, 0, 0xFF808080, 0, -1, 0, 0xFFFFFFFF, 0x11223344, 0x11808080},
    {"brightness 0x01FFFFFF is off", SRC_PLAIN, 0, 0, 0x01FFFFFF, 0, -1, 0, 0xFF123456, 0x11223344, 0xFF123456},
    {"copy, weight 255", SRC_PLAIN, 0, 0, 0xFFFFFF, 0, 255, 0, 0x00FFFFFF, 0, 0x00FEFEFE},
    {"copy, weight 0", SRC_PLAIN, 0, 0, 0xFFFFFF, 0, 0, 0, 0x00FFFFFF, 0x11223344, 0x11223344},
    {"blend 255 is the copy", SRC_ALPHA, 1, 255, 0xFFFFFF, 1, -1, 0, 0xFFFFFFFF, 0, 0xFFFFFFFF},
    {"blend 254", SRC_PLAIN, 1, 254, 0xFFFFFF, 0, -1, 0, 0x00FFFFFF, 0xAA000000, 0xAAFDFDFD},
    {"blend 254, weight 255", SRC_PLAIN, 1, 254, 0xFFFFFF, 0, 255, 0, 0x00FFFFFF, 0xAA000000, 0xAAFCFCFC},
    {"blend 254, alpha, flag on", SRC_ALPHA, 1, 254, 0xFFFFFF, 1, -1, 0, 0xFFFFFFFF, 0xAA000000, 0xAAFDFDFD},
    {"blend 254, alpha, flag off", SRC_ALPHA, 1, 254, 0xFFFFFF, 0, -1, 0, 0xFFFFFFFF, 0xAA000000, 0xAAFCFCFC},
    {"blend 128 is no halving", SRC_PLAIN, 1, 128, 0xFFFFFF, 0, -1, 0, 0x00010101, 0x55010101, 0x55010101},
    {"blend at p 0 draws nothing", SRC_PLAIN, 1, 0, 0xFFFFFF, 0, -1, 0, 0x00FFFFFF, 0x11223344, 0x11223344},
    {"add at p 0 draws nothing", SRC_PLAIN, 2, 0, 0xFFFFFF, 0, -1, 0, 0x00FFFFFF, 0x11223344, 0x11223344},
    {"subtract at p 0 draws nothing", SRC_PALETTE, 3, 0, 0xFFFFFF, 0, -1, 0, 0x00FFFFFF, 0x11223344, 0x11223344},
    {"mode 7 draws nothing", SRC_PLAIN, 7, 100, 0xFFFFFF, 0, -1, 0, 0x00FFFFFF, 0x11223344, 0x11223344},
    {"add saturates, byte 3 1", SRC_PLAIN, 2, 255, 0xFFFFFF, 0, -1, 0, 0x00808080, 0x00808080, 0x01FFFFFF},
    {"add: blue carry", SRC_PLAIN, 2, 255, 0xFFFFFF, 0, -1, 0, 0x00000001, 0xFF0000FF, 0x000001FF},
    {"add: byte 3 lost", SRC_PLAIN, 2, 255, 0xFFFFFF, 0, -1, 0, 0x00FFFFFF, 0xAA000000, 0x00FFFFFF},
    {"add at p 1", SRC_PLAIN, 2, 1, 0xFFFFFF, 0, -1, 0, 0x00FFFFFF, 0, 0x00010101},
    {"add, weight 255", SRC_PLAIN, 2, 255, 0xFFFFFF, 0, 255, 0, 0x00FFFFFF, 0, 0x00FDFDFD},
    {"add, alpha, flag on", SRC_ALPHA, 2, 255, 0xFFFFFF, 1, -1, 0, 0xFFFFFFFF, 0, 0x00FFFFFF},
    {"add, alpha, flag off", SRC_ALPHA, 2, 255, 0xFFFFFF, 0, -1, 0, 0xFFFFFFFF, 0, 0x00FDFDFD},
    {"subtract", SRC_PLAIN, 3, 255, 0xFFFFFF, 0, -1, 0, 0x00102030, 0xFF405060, 0x00313130},
    {"subtract: texel byte 3 plays no part", SRC_PLAIN, 3, 255, 0xFFFFFF, 0, -1, 0, 0xFF102030, 0xFF405060,
     0x00313130},
    {"subtract to black", SRC_PLAIN, 3, 255, 0xFFFFFF, 0, -1, 0, 0x00203040, 0x00102030, 0},
    {"multiply 255 by 255", SRC_PLAIN, 4, 0, 0xFFFFFF, 0, -1, 0, 0x00FFFFFF, 0x77FFFFFF, 0x77FEFEFE},
    {"multiply, weight 255", SRC_PLAIN, 4, 9, 0xFFFFFF, 0, 255, 0, 0x00FFFFFF, 0x77FFFFFF, 0x77FDFDFD},
    {"multiply, alpha 255, flag off", SRC_ALPHA, 4, 9, 0xFFFFFF, 0, -1, 0, 0xFFFFFFFF, 0x77FFFFFF, 0x77FDFDFD},
    {"multiply, alpha 255, flag on", SRC_ALPHA, 4, 9, 0xFFFFFF, 1, -1, 0, 0xFFFFFFFF, 0x77FFFFFF, 0x77FEFEFE},
    {"multiply, alpha 0, flag off: black", SRC_ALPHA, 4, 9, 0xFFFFFF, 0, -1, 0, 0x00FFFFFF, 0xAA123456,
     0xAA000000},
    {"multiply, alpha 0, flag on: skipped", SRC_ALPHA, 4, 9, 0xFFFFFF, 1, -1, 0, 0x00FFFFFF, 0xAA123456,
     0xAA123456},
    {"multiply, alpha 0, flag on, weight: skipped", SRC_ALPHA, 4, 9, 0x808080, 1, 200, 0, 0x00FFFFFF, 0xAA123456,
     0xAA123456},
    {"multiply, weight 0: black", SRC_PLAIN, 4, 9, 0xFFFFFF, 0, 0, 0, 0x00FFFFFF, 0xAA123456, 0xAA000000},
    {"multiply at p 0", SRC_PLAIN, 4, 0, 0xFFFFFF, 0, -1, 0, 0x00FFFFFF, 0x77808080, 0x777F7F7F},
    {"inverted at p 0 unchanged", SRC_PLAIN, 10, 0, 0xFFFFFF, 0, -1, 0, 0x00345678, 0x77808080, 0x77808080},
    {"multiplied blend at p 0 unchanged", SRC_PLAIN, 11, 0, 0xFFFFFF, 0, -1, 0, 0x00345678, 0x77808080, 0x77808080},
    {"inverted 0 over 0", SRC_PLAIN, 10, 255, 0xFFFFFF, 0, -1, 0, 0x00000000, 0x00000000, 0x00FEFEFE},
    {"inverted 255 over 255", SRC_PLAIN, 10, 255, 0xFFFFFF, 0, -1, 0, 0x00FFFFFF, 0x00FFFFFF, 0},
    {"inverted, brightness after inversion", SRC_PLAIN, 10, 255, 0x808080, 0, -1, 0, 0, 0, 0x007F7F7F},
    {"inverted, alpha 255, flag off", SRC_ALPHA, 10, 255, 0xFFFFFF, 0, -1, 0, 0xFF000000, 0, 0x00FDFDFD},
    {"inverted, alpha 255, flag on", SRC_ALPHA, 10, 255, 0xFFFFFF, 1, -1, 0, 0xFF000000, 0, 0x00FEFEFE},
    {"inverted, alpha 0, flag on: unchanged", SRC_ALPHA, 10, 255, 0xFFFFFF, 1, -1, 0, 0x00000000, 0x55123456,
     0x55123456},
    {"inverted, key on the stored texel", SRC_PLAIN, 10, 255, 0xFFFFFF, 1, -1, 0x00123456, 0x00123456, 0x99999999,
     0x99999999},
    {"multiplied blend 255", SRC_PLAIN, 11, 255, 0xFFFFFF, 0, -1, 0, 0x00FFFFFF, 0x00C8C8C8, 0x00C7C7C7},
    {"multiplied blend 128", SRC_PLAIN, 11, 128, 0xFFFFFF, 0, -1, 0, 0x00000000, 0x00C8C8C8, 0x00646464},
    {"palette copy stores the entry", SRC_PALETTE, 0, 0, 0xFFFFFF, 0, -1, 0, 0x11223344, 0xAABBCCDD, 0x11223344},
    {"palette copy, brightness", SRC_PALETTE, 0, 0, 0xFFFFFE, 0, -1, 0, 0x11223344, 0xAABBCCDD, 0xAA223343},
    {"palette key is the index", SRC_PALETTE, 0, 0, 0xFFFFFF, 1, -1, 5, 0x11223344, 0xAABBCCDD, 0xAABBCCDD},
    {"palette key 261 skips nothing", SRC_PALETTE, 0, 0, 0xFFFFFF, 1, -1, 261, 0x11223344, 0xAABBCCDD, 0x11223344},
    {"palette add white to white", SRC_PALETTE, 2, 255, 0xFFFFFF, 0, -1, 0, 0x00FFFFFF, 0x00FFFFFF, 0x01FFFFFF},
    {"palette add green 1 to green 1", SRC_PALETTE, 2, 255, 0xFFFFFF, 0, -1, 0, 0x00000100, 0x00000100, 0x00000100},
    {"palette add blue 100 to 200", SRC_PALETTE, 2, 255, 0xFFFFFF, 0, -1, 0, 0x00000064, 0x000000C8, 0x000001FF},
    {"palette subtract white from white", SRC_PALETTE, 3, 255, 0xFFFFFF, 0, -1, 0, 0x00FFFFFF, 0x00FFFFFF,
     0x00010100},
    {"palette subtract from black", SRC_PALETTE, 3, 255, 0xFFFFFF, 0, -1, 0, 0x00010101, 0, 0x00010000},
    {"palette multiply, weight 0", SRC_PALETTE, 4, 0, 0xFFFFFF, 0, 0, 0, 0x00FFFFFF, 0xAA010203, 0xAA000000},
    {"palette multiply by 255", SRC_PALETTE, 4, 0, 0xFFFFFF, 0, -1, 0, 0x00FFFFFF, 0xAA010203, 0xAA000102},
    {"palette inverted, brightness", SRC_PALETTE, 10, 255, 0x808080, 0, -1, 0, 0, 0xAA000000, 0xAA7F7F7F},
    {"palette blend 255 is the copy", SRC_PALETTE, 1, 255, 0xFFFFFF, 0, -1, 0, 0x11223344, 0xAABBCCDD, 0x11223344},
};

TEST_F(TriangleTex32Test, WorkedExamples)
{
    for (int i = 0; i < 256; i++)
        BlendGraphRamp[i] = (uint8_t)i;
    for (const PixelCase& c : kPixelCases) {
        SCOPED_TRACE(c.what);
        Source src(c.source, 1, 1, 0, c.key);
        if (c.source == SRC_PALETTE) {
            *src.At(0, 0) = 5;
            Put32(&src.palette[20], c.S);
        } else {
            Put32(src.At(0, 0), c.S);
        }
        uint8_t weight = (uint8_t)(c.weight < 0 ? 0 : c.weight);
        BlitImageDesc blend = Desc(&weight, 1, 1, 1, 1, 2);
        uint32_t pixels[3] = {0xDEADBEEF, c.D, 0xDEADBEEF};
        BlitImageDesc dst = Desc((uint8_t*)&pixels[1], 1, 1, 4, 4, 1);
        const BlitDrawValues draw = {c.mode, c.p, c.brightness, {0, 0, 1, 1}};
        DrawQuad(&dst, &src.desc, 0, 0, 1, 0, c.trans, c.weight < 0 ? nullptr : &blend, &draw);
        EXPECT_EQ(c.want, pixels[1]) << std::hex << pixels[1];
        EXPECT_EQ(0xDEADBEEF, pixels[0]);
        EXPECT_EQ(0xDEADBEEF, pixels[2]);
        // The model was written from the same rules: it must agree.
        const Model m = {c.mode, c.p, c.brightness, c.source, c.trans, c.weight >= 0};
        EXPECT_EQ(c.want, ModelPixel(m, c.D, c.S, 5, c.key, weight)) << "model";
    }
}

// A sprite with a clear border turned by 45 degrees in multiply mode under
// the transparency flag: the clear texels leave the target alone, so no
// black box shows around the shape.
TEST_F(TriangleTex32Test, TurnedMultiplySpriteHasNoBox)
{
    const int sw = 16;
    Source src(SRC_ALPHA, sw, sw, 0, 0);
    for (int y = 0; y < sw; y++)
        for (int x = 0; x < sw; x++)
            Put32(src.At(x, y), x >= 4 && x < 12 && y >= 4 && y < 12 ? 0xFF808080 : 0x00000000);
    const int dw = 32;
    std::vector<uint32_t> target(dw * dw, 0x00FFFFFF);
    BlitImageDesc dst = Desc((uint8_t*)target.data(), dw, dw, dw * 4, 4, 1);
    const BlitDrawValues draw = {4, 0, 0xFFFFFF, {0, 0, dw, dw}};
    // Corners of the turned square: top, right, left, bottom.
    const SoftTriangleVertex v[4] = {{16, 4, 0, 0}, {28, 16, sw, 0}, {4, 16, 0, sw}, {16, 28, sw, sw}};
    for (int trans : {1, 0}) {
        SCOPED_TRACE(trans);
        std::fill(target.begin(), target.end(), 0x00FFFFFF);
        PlanAndRunTriangle(&dst, &src.desc, v, trans, nullptr, 0, &draw);
        PlanAndRunTriangle(&dst, &src.desc, v + 1, trans, nullptr, 0, &draw);
        int white = 0, grey = 0, black = 0;
        for (uint32_t px : target) {
            white += px == 0x00FFFFFF;
            grey += px == 0x007F7F7F;                  // (128 * 255) >> 8
            black += px == 0x00000000;
        }
        EXPECT_EQ(dw * dw, white + grey + black);
        EXPECT_GT(grey, 40);
        if (trans)
            EXPECT_EQ(0, black);
        else
            EXPECT_GT(black, 40);                      // without the flag alpha 0 multiplies to black
    }
}

} // namespace
