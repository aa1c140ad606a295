// Boxes, lines and circles of the software shape rasteriser: every operator
// against a per-pixel model written from the blend rules, the worked pixel
// lists, clipping with guard bytes around each destination, and the shape
// calls of the library on its software screen.
#include <windows.h>

#include <gtest/gtest.h>
#include <limits.h>
#include <string.h>

#include <map>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "graphics/device.h"
#include "graphics/device_reset.h"
#include "graphics/draw_state.h"
#include "graphics/draw_target.h"
#include "graphics/shape_calls.h"
#include "graphics/soft_screen.h"
#include "graphics/soft_shapes.h"
#include "image/mem_image.h"
#include "image/raster_image.h"
#include "image/soft_blend_tables.h"
#include "runtime/library.h"
#include "runtime/memory.h"
#include "softrender/shape_raster.h"
#include "tests/graphics/library_start.h"

namespace {

const int kGuard = 4; // guard pixels on every side of a destination

// A destination image inside a larger buffer whose border must never change.
struct Target {
    int w, h, bpp, pitch;
    std::vector<uint8_t> bytes, original;
    MEMIMG img{};

    Target(int width, int height, int kind, uint32_t seed = 1, int palette = 0, int alpha = 0)
        : w(width), h(height)
    {
        bpp = palette ? 1 : kind == 0 ? (alpha ? 4 : 2) : kind == 1 ? 4 : kind == 2 ? 1 : 2;
        pitch = (w + 2 * kGuard) * bpp;
        bytes.resize((size_t)pitch * (h + 2 * kGuard));
        std::mt19937 rng(seed);
        for (auto& b : bytes)
            b = (uint8_t)rng();
        original = bytes;
        EXPECT_EQ(0, CreateMemImage(&img, w, h, pitch, 0, kind, palette, alpha, 0, Origin()));
    }
    ~Target() { ReleaseMemImage(&img); }
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;

    uint8_t* Origin() { return bytes.data() + (size_t)kGuard * pitch + (size_t)kGuard * bpp; }
    uint8_t* At(int x, int y) { return Origin() + (ptrdiff_t)y * pitch + (ptrdiff_t)x * bpp; }
    uint32_t Get(int x, int y)
    {
        uint32_t v = 0;
        memcpy(&v, At(x, y), bpp);
        return v;
    }
    void Set(int x, int y, uint32_t v) { memcpy(At(x, y), &v, bpp); }
    void Fill(uint32_t v)
    {
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                Set(x, y, v);
        original = bytes;
    }
    // True when no byte outside the image's own pixels changed.
    bool GuardIntact() const
    {
        for (size_t i = 0; i < bytes.size(); i++) {
            const int row = (int)(i / pitch) - kGuard, col = (int)(i % pitch) / bpp - kGuard;
            if ((row < 0 || row >= h || col < 0 || col >= w) && bytes[i] != original[i])
                return false;
        }
        return true;
    }
    bool Unchanged() const { return bytes == original; }
};

void SetDraw(int mode, int p, uint32_t brightness, RECT area)
{
    Draw.blendMode = mode;
    Draw.blendParam = p;
    Draw.brightness = brightness;
    Draw.area = area;
}

// ---------------------------------------------------------------------------
// The model of one pixel, from the blend rules.

uint32_t T(uint32_t k, uint32_t v) { return k * v / 255; }
int32_t TS(int32_t k, int32_t d) { return k * d / 255; } // truncates toward zero

// The operator's effective mode, or -1 when nothing is drawn.
int RefMode(int mode, int p)
{
    if (mode < 0 || mode > 11 || (mode >= 5 && mode <= 9))
        return -1;
    if (mode == 1 && p == 255)
        return 0;
    if ((mode >= 1 && mode <= 3) && p == 0)
        return -1;
    return mode;
}

uint32_t RefPixel32(int mode, int p, uint32_t br, uint32_t c, uint32_t D)
{
    mode = RefMode(mode, p);
    if (mode < 0)
        return D;
    uint32_t cc[3] = {c & 255, (c >> 8) & 255, (c >> 16) & 255};
    if ((br & 0xFFFFFF) != 0xFFFFFF)
        for (int i = 0; i < 3; i++)
            cc[i] = cc[i] * ((br >> (8 * i)) & 255) >> 8;
    if (mode == 0)
        return (c & 0xFF000000u) | cc[2] << 16 | cc[1] << 8 | cc[0];
    const uint32_t S = T(p, cc[2]) << 16 | T(p, cc[1]) << 8 | T(p, cc[0]);
    if (mode == 2) {
        uint32_t sum = (D & 0x00FEFEFF) + (S & 0x00FEFEFF), k = sum & 0x01010100;
        return sum | (k - (k >> 8)) | ((D | S) & 0x00010100);
    }
    if (mode == 3) {
        uint32_t v = (D | 0x01010100) - (S & 0xFEFEFEFF), k = v & 0x01010100;
        return v & (k - (k >> 8));
    }
    uint32_t out = D & 0xFF000000u;
    for (int i = 0; i < 3; i++) {
        const int32_t d = (D >> (8 * i)) & 255, ch = cc[i];
        int32_t r = 0;
        if (mode == 1)
            r = (d * 256 + (ch - d) * p) >> 8;
        else if (mode == 4)
            r = (d * ch) >> 8;
        else if (mode == 10)
            r = (d * 256 + ((255 - ch) - d) * p) >> 8;
        else
            r = (d * 256 + (((d * ch) >> 8) - d) * p) >> 8;
        out |= (uint32_t)r << (8 * i);
    }
    return out;
}

uint32_t RefPixel16(int mode, int p, uint32_t br, uint32_t c, uint32_t D)
{
    mode = RefMode(mode, p);
    if (mode < 0)
        return D;
    static const int shift[3] = {0, 5, 11}, width[3] = {5, 6, 5};
    uint32_t cc[3], dd[3];
    for (int i = 0; i < 3; i++) {
        cc[i] = (c >> shift[i]) & ((1u << width[i]) - 1);
        dd[i] = (D >> shift[i]) & ((1u << width[i]) - 1);
        if ((br & 0xFFFFFF) != 0xFFFFFF)
            cc[i] = cc[i] * ((br >> (8 * i)) & 255) >> 8;
    }
    if (mode == 0)
        return cc[2] << 11 | cc[1] << 5 | cc[0];
    const uint32_t S = T(p, cc[2]) << 11 | T(p, cc[1]) << 5 | T(p, cc[0]);
    if (mode == 2) {
        uint32_t sum = (D & 0xF7DEF7DF) + (S & 0xF7DEF7DF), k = sum & 0x08210820;
        return (sum | (k - (k >> 5)) | ((D | S) & 0x0820)) & 0xFFFF;
    }
    if (mode == 3) {
        uint32_t v = (D | 0x08210820) - (S & 0xF7DEF7DF), k = v & 0x08210820;
        return (v & (k - (k >> 5))) & 0xFFFF;
    }
    uint32_t out = 0;
    for (int i = 0; i < 3; i++) {
        const int32_t d = dd[i], ch = cc[i], top = (1 << width[i]) - 1;
        int32_t r = 0;
        if (mode == 1)
            r = d + TS(p, ch - d);
        else if (mode == 4)
            r = (d * ch) >> width[i];
        else if (mode == 10)
            r = d + TS(p, (top - ch) - d);
        else
            r = d + TS(p, ((d * ch) >> width[i]) - d);
        out |= (uint32_t)r << shift[i];
    }
    return out;
}

class ShapesFlat : public ::testing::Test {
protected:
    void SetUp() override
    {
        BuildSoftBlendTables();
        saved_ = Draw;
    }
    void TearDown() override
    {
        Draw.blendMode = saved_.blendMode;
        Draw.blendParam = saved_.blendParam;
        Draw.brightness = saved_.brightness;
        Draw.area = saved_.area;
    }
    DrawState saved_;
};

// A destination byte pattern that reaches the saturating corners often.
uint32_t EdgyValue(std::mt19937& rng)
{
    uint32_t v = 0;
    for (int i = 0; i < 4; i++) {
        const uint32_t pick = rng() % 4;
        const uint32_t b = pick == 0 ? 0 : pick == 1 ? 255 : rng() & 255;
        v |= b << (8 * i);
    }
    return v;
}

// ---------------------------------------------------------------------------
// Operators

TEST_F(ShapesFlat, EveryModeParameterAndBrightnessMatchesTheModelInBoxesAndLines)
{
    const int modes[] = {0, 1, 2, 3, 4, 10, 11, 5, 7, 9, 12, -1, INT_MIN};
    const int params[] = {0, 1, 127, 128, 254, 255};
    const uint32_t brights[] = {0xFFFFFF, 0xFEFFFF, 0x80C0FF, 0x000000, 0xFF0000FF};
    const int n = 48;
    std::mt19937 rng(7);
    for (int kind = 0; kind <= 1; kind++)
        for (int mode : modes)
            for (int p : params)
                for (uint32_t br : brights)
                    for (int shape = 0; shape < 2; shape++) {
                        SCOPED_TRACE(testing::Message() << "kind " << kind << " mode " << mode << " p " << p
                                                        << " brightness " << std::hex << br << " shape " << shape);
                        Target t(n, 1, kind, rng());
                        std::vector<uint32_t> before(n);
                        for (int x = 0; x < n; x++) {
                            t.Set(x, 0, kind ? EdgyValue(rng) : EdgyValue(rng) & 0xFFFF);
                            before[x] = t.Get(x, 0);
                        }
                        const uint32_t c = kind ? EdgyValue(rng) : EdgyValue(rng) & 0xFFFF;
                        SetDraw(mode, p, br, {0, 0, n, 1});
                        if (shape == 0) {
                            RECT r = {0, 0, n, 1};
                            PaintMemImageBox(&t.img, &r, c);
                        } else {
                            // Ends one past the image: every pixel once, the end point never.
                            PaintMemImageLine(&t.img, 0, 0, n, 0, c);
                        }
                        for (int x = 0; x < n; x++) {
                            const uint32_t want =
                                kind ? RefPixel32(mode, p, br, c, before[x]) : RefPixel16(mode, p, br, c, before[x]);
                            ASSERT_EQ(want, t.Get(x, 0)) << "pixel " << x << " was " << std::hex << before[x]
                                                         << " colour " << c;
                        }
                        ASSERT_TRUE(t.GuardIntact());
                    }
}

TEST_F(ShapesFlat, WorkedPixelExamples)
{
    struct Case {
        int kind, mode, p;
        uint32_t brightness, colour, before, after;
    } cases[] = {
        {1, 2, 255, 0xFFFFFF, 0x00808080, 0x00808080, 0x01FFFFFF},
        {1, 2, 255, 0xFFFFFF, 0x00000001, 0xFF0000FF, 0x000001FF},
        {1, 3, 255, 0xFFFFFF, 0x00102030, 0xFF405060, 0x00313130},
        {1, 3, 255, 0xFFFFFF, 0x00203040, 0x00102030, 0x00000000},
        {0, 2, 255, 0xFFFFFF, 0x8410, 0x8410, 0xFFFF},
        {0, 3, 255, 0xFFFFFF, 0x0821, 0xFFFF, 0xFFDE},
        {1, 1, 255, 0xFFFFFF, 0x7F102030, 0xAA000000, 0x7F102030}, // runs as a copy, fourth byte too
        {1, 1, 254, 0xFFFFFF, 0x7F102030, 0xAA000000, 0xAA0F1F2F},
        {1, 1, 0, 0xFFFFFF, 0x7F102030, 0xAA000000, 0xAA000000},
        {1, 0, 0, 0xFFFFFF, 0xFF123456, 0x00000000, 0xFF123456},
        {1, 4, 0, 0xFFFFFF, 0x00808080, 0x00FF4020, 0x007F2010}, // multiplies at p = 0
        {1, 10, 0, 0xFFFFFF, 0x00808080, 0x12345678, 0x12345678},
        {1, 11, 0, 0xFFFFFF, 0x00808080, 0x12345678, 0x12345678},
        {1, 0, 255, 0xFFFFFF, 0x00FFFFFF, 0, 0x00FFFFFF},
        {1, 0, 255, 0xFEFFFF, 0x00FFFFFF, 0, 0x00FDFEFE}, // one dim channel darkens the others a step
        {1, 10, 255, 0xFFFFFF, 0x00FF0000, 0x00000000, 0x0000FEFE}, // no copy at p = 255
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " colour " << std::hex << c.colour);
        Target t(2, 1, c.kind);
        t.Set(0, 0, c.before);
        t.Set(1, 0, c.before);
        SetDraw(c.mode, c.p, c.brightness, {0, 0, 2, 1});
        RECT one = {0, 0, 1, 1};
        PaintMemImageBox(&t.img, &one, c.colour);
        PaintMemImageLine(&t.img, 1, 0, 2, 0, c.colour);
        EXPECT_EQ(c.after, t.Get(0, 0));
        EXPECT_EQ(c.after, t.Get(1, 0));
    }
}

// ---------------------------------------------------------------------------
// Boxes

// Fills rect with mode 0 and checks that exactly the pixels of want changed.
void ExpectBox(Target& t, const RECT* rect, RECT want, uint32_t colour)
{
    std::vector<uint32_t> before;
    for (int y = 0; y < t.h; y++)
        for (int x = 0; x < t.w; x++)
            before.push_back(t.Get(x, y));
    PaintMemImageBox(&t.img, rect, colour);
    for (int y = 0; y < t.h; y++)
        for (int x = 0; x < t.w; x++) {
            const bool inside = x >= want.left && x < want.right && y >= want.top && y < want.bottom;
            ASSERT_EQ(inside ? colour : before[(size_t)y * t.w + x], t.Get(x, y)) << x << "," << y;
        }
    EXPECT_TRUE(t.GuardIntact());
}

TEST_F(ShapesFlat, BoxCoversItsClippedRectangleOnly)
{
    struct Case {
        const char* what;
        int kind;
        bool whole;
        RECT rect, area, want;
    } cases[] = {
        {"corners reversed", 1, false, {10, 20, 5, 8}, {0, 0, 100, 50}, {5, 8, 10, 20}},
        {"corners in order", 1, false, {5, 8, 10, 20}, {0, 0, 100, 50}, {5, 8, 10, 20}},
        {"zero width", 1, false, {5, 5, 5, 9}, {0, 0, 100, 50}, {0, 0, 0, 0}},
        {"whole image, area larger than it", 1, true, {}, {0, 0, 640, 480}, {0, 0, 100, 50}},
        {"whole image, small area", 1, true, {}, {10, 10, 20, 20}, {10, 10, 20, 20}},
        {"left of the area", 1, false, {-20, 0, -5, 10}, {0, 0, 100, 50}, {0, 0, 0, 0}},
        {"beyond the image within the area", 1, false, {90, 40, 300, 300}, {-10, -10, 640, 480},
         {90, 40, 100, 50}},
        {"16-bit odd width", 0, false, {3, 1, 6, 4}, {0, 0, 100, 50}, {3, 1, 6, 4}},
        {"16-bit even width from an odd column", 0, false, {1, 0, 5, 2}, {0, 0, 100, 50}, {1, 0, 5, 2}},
        {"16-bit one pixel", 0, false, {99, 49, 100, 50}, {0, 0, 100, 50}, {99, 49, 100, 50}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Target t(100, 50, c.kind);
        SetDraw(0, 0, 0xFFFFFF, c.area);
        ExpectBox(t, c.whole ? nullptr : &c.rect, c.want, c.kind ? 0xFF123456u : 0xA5C3u);
    }
}

TEST_F(ShapesFlat, PaletteAndAlphaDestinationsAreNeverChanged)
{
    for (int mode : {0, 1, 2, 4}) {
        SetDraw(mode, 128, 0xFFFFFF, {0, 0, 8, 8});
        Target pal(8, 8, 1, 3, 1, 0), a32(8, 8, 1, 4, 0, 1), a16(8, 8, 0, 5, 0, 1);
        for (Target* t : {&pal, &a32, &a16}) {
            PaintMemImageBox(&t->img, nullptr, 0xFFFFFFFF);
            EXPECT_TRUE(t->Unchanged()) << "mode " << mode;
        }
        // Lines refuse palette images too (one byte a pixel), and circles;
        // circles also refuse 16-bit images with alpha (4 bytes a pixel).
        PaintMemImageLine(&pal.img, 0, 0, 8, 8, 0xFFFFFFFF);
        for (Target* t : {&pal, &a16}) {
            PaintMemImageCircle(&t->img, 4, 4, 3, 0xFFFFFFFF, 1);
            PaintMemImageCircle(&t->img, 4, 4, 3, 0xFFFFFFFF, 0);
            EXPECT_TRUE(t->Unchanged()) << "mode " << mode;
        }
    }
    Target single(8, 8, 2);
    SetDraw(0, 0, 0xFFFFFF, {0, 0, 8, 8});
    PaintMemImageBox(&single.img, nullptr, 0xFFFFFFFF);
    PaintMemImageLine(&single.img, 0, 0, 8, 8, 0xFFFFFFFF);
    PaintMemImageCircle(&single.img, 4, 4, 3, 0xFFFFFFFF, 1);
    PaintMemImageCircle(&single.img, 4, 4, 3, 0xFFFFFFFF, 0);
    EXPECT_TRUE(single.Unchanged());
    EXPECT_EQ(-1, PaintMemImageBox(nullptr, nullptr, 0));
    EXPECT_EQ(-1, PaintMemImageLine(nullptr, 0, 0, 1, 1, 0));
    EXPECT_EQ(-1, PaintMemImageCircle(nullptr, 0, 0, 1, 0, 1));
}

// ---------------------------------------------------------------------------
// Lines. A pixel changed once by mode 1 at p = 128 with grey 200 over black
// becomes grey 100; twice, grey 150.

const uint32_t kGrey = 0x00C8C8C8, kOnce = 0x00646464;

// Exactly the listed pixels changed once, every other pixel still black.
void ExpectVisitedOnce(Target& t, const std::set<std::pair<int, int>>& want)
{
    for (int y = 0; y < t.h; y++)
        for (int x = 0; x < t.w; x++)
            ASSERT_EQ(want.count({x, y}) ? kOnce : 0u, t.Get(x, y)) << x << "," << y;
    EXPECT_TRUE(t.GuardIntact());
}

TEST_F(ShapesFlat, LinesChangeTheListedPixelsOnce)
{
    const RECT large = {0, 0, 24, 24}, ten = {0, 0, 10, 10};
    struct Case {
        RECT area;
        int x1, y1, x2, y2;
        std::set<std::pair<int, int>> pixels;
    } cases[] = {
        {large, 0, 0, 4, 2, {{0, 0}, {1, 0}, {2, 1}, {3, 1}}},
        {large, 0, 0, 2, 4, {{0, 0}, {0, 1}, {1, 2}, {1, 3}}},
        {large, 0, 0, 3, 3, {{0, 0}, {1, 1}, {2, 2}}},
        {large, 5, 2, 0, 2, {{5, 2}, {4, 2}, {3, 2}, {2, 2}, {1, 2}}},
        {large, 3, 3, 3, 3, {}},
        {large, 6, 9, 2, 1, {{6, 9}, {6, 8}, {5, 7}, {5, 6}, {4, 5}, {4, 4}, {3, 3}, {3, 2}}},
        {ten, -5, 5, 5, 5, {{0, 5}, {1, 5}, {2, 5}, {3, 5}, {4, 5}}},
        {ten, 5, 5, 15, 5, {{5, 5}, {6, 5}, {7, 5}, {8, 5}, {9, 5}}},
        {ten, -3, -1, 12, 4, {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 1}, {5, 1}, {6, 1}, {7, 2}, {8, 2}, {9, 2}}},
        {ten, 2, -6, 7, 14, {{3, 0}, {3, 1}, {3, 2}, {3, 3}, {4, 4}, {4, 5}, {4, 6}, {5, 7}, {5, 8}, {5, 9}}},
        {ten, -5, 8, 8, 21, {{0, 9}}},
        // Ends above or left of the area stop one pixel outside it, so the
        // edge row or column is still drawn.
        {ten, 5, 5, 5, -10, {{5, 5}, {5, 4}, {5, 3}, {5, 2}, {5, 1}, {5, 0}}},
        {ten, 5, 5, -10, 5, {{5, 5}, {4, 5}, {3, 5}, {2, 5}, {1, 5}, {0, 5}}},
        {ten, 5, 5, -5, -5, {{5, 5}, {4, 4}, {3, 3}, {2, 2}, {1, 1}, {0, 0}}},
        {ten, 5, 5, -20, -10, {{5, 5}, {4, 5}, {3, 4}, {2, 3}, {1, 3}, {0, 2}}},
        {ten, 20, 5, 30, 5, {}},
        {{3, 3, 3, 10}, 0, 5, 10, 5, {}}, // empty draw area
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x1 << "," << c.y1 << " -> " << c.x2 << "," << c.y2);
        Target t(24, 24, 1);
        t.Fill(0);
        SetDraw(1, 128, 0xFFFFFF, c.area);
        PaintMemImageLine(&t.img, c.x1, c.y1, c.x2, c.y2, kGrey);
        ExpectVisitedOnce(t, c.pixels);
    }
}

TEST_F(ShapesFlat, LineListsDrawEachRecordInTurn)
{
    Target t(24, 24, 1);
    t.Fill(0);
    SetDraw(1, 128, 0xFFFFFF, {0, 0, 24, 24});
    const int32_t grey = (int32_t)kGrey;
    const SoftLineRecord square[4] = {
        {0, 0, 9, 0, grey, 128}, {9, 0, 9, 9, grey, 128}, {9, 9, 0, 9, grey, 128}, {0, 9, 0, 0, grey, 128}};
    PaintMemImageLines(&t.img, square, 0);
    PaintMemImageLines(&t.img, square, -1);
    EXPECT_TRUE(t.Unchanged());
    PaintMemImageLines(&t.img, square, 4);
    std::set<std::pair<int, int>> outline;
    for (int i = 0; i < 10; i++)
        outline.insert({{i, 0}, {i, 9}, {0, i}, {9, i}});
    ExpectVisitedOnce(t, outline);
}

TEST_F(ShapesFlat, LinesStayInsideTheImageWhenTheDrawAreaIsLarger)
{
    std::mt19937 rng(11);
    for (int kind = 0; kind <= 1; kind++) {
        Target t(16, 12, kind);
        SetDraw(0, 0, 0xFFFFFF, {-40, -40, 400, 400});
        for (int i = 0; i < 300; i++) {
            const int x1 = (int)(rng() % 200) - 100, y1 = (int)(rng() % 200) - 100;
            const int x2 = (int)(rng() % 200) - 100, y2 = (int)(rng() % 200) - 100;
            PaintMemImageLine(&t.img, x1, y1, x2, y2, 0xFFFFFFFF);
        }
        PaintMemImageLine(&t.img, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0xFFFFFFFF);
        PaintMemImageLine(&t.img, INT_MAX, 3, INT_MIN, 5, 0xFFFFFFFF);
        EXPECT_TRUE(t.GuardIntact());
        // A line across the image still lands where the image is.
        t.Fill(0);
        PaintMemImageLine(&t.img, -100, 5, 100, 5, 0x00ABCDEF);
        for (int x = 0; x < 16; x++)
            EXPECT_EQ(kind ? 0x00ABCDEFu : 0xCDEFu, t.Get(x, 5)) << x;
        EXPECT_TRUE(t.GuardIntact());
    }
}

TEST_F(ShapesFlat, LinesOnA16BitAlphaImageStepWholePixelsAndKeepTheAlpha)
{
    Target t(8, 1, 0, 9, 0, 1);
    t.Fill(0xAB000000u | 0x00770000u);
    SetDraw(0, 0, 0xFFFFFF, {0, 0, 8, 1});
    PaintMemImageLine(&t.img, 0, 0, 4, 0, 0x1234);
    for (int x = 0; x < 8; x++)
        EXPECT_EQ(x < 4 ? 0xAB771234u : 0xAB770000u, t.Get(x, 0)) << x;
}

// ---------------------------------------------------------------------------
// Circles

// How often each pixel was changed, from grey levels of repeated halving
// blends of red 255 over black (127, 191, 223, 239).
std::map<std::pair<int, int>, int> VisitCounts(Target& t)
{
    std::map<std::pair<int, int>, int> counts;
    for (int y = 0; y < t.h; y++)
        for (int x = 0; x < t.w; x++) {
            const uint32_t v = t.Get(x, y);
            int n = -1;
            switch (v) {
            case 0: n = 0; break;
            case 0x007F0000: n = 1; break;
            case 0x00BF0000: n = 2; break;
            case 0x00DF0000: n = 3; break;
            case 0x00EF0000: n = 4; break;
            }
            EXPECT_NE(-1, n) << std::hex << v << " at " << std::dec << x << "," << y;
            if (n > 0)
                counts[{x, y}] = n;
        }
    return counts;
}

TEST_F(ShapesFlat, FilledCirclesSpanTheGivenHalfWidthsOnce)
{
    struct Case {
        int r;
        std::vector<int> halfWidths; // by distance from the centre row
    } cases[] = {
        {0, {0}},
        {1, {1, 0}},
        {6, {6, 6, 6, 5, 4, 3, 0}},
        {10, {10, 10, 10, 10, 9, 9, 8, 7, 6, 5, 0}},
    };
    const int cx = 15, cy = 14;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.r);
        Target t(32, 32, 1);
        t.Fill(0);
        SetDraw(1, 128, 0xFFFFFF, {0, 0, 32, 32});
        PaintMemImageCircle(&t.img, cx, cy, c.r, 0x00FF0000, 1);
        std::map<std::pair<int, int>, int> want;
        for (int dy = -c.r; dy <= c.r; dy++) {
            const int hw = c.halfWidths[dy < 0 ? -dy : dy];
            for (int x = cx - hw; x <= cx + hw; x++)
                want[{x, cy + dy}] = 1;
        }
        EXPECT_EQ(want, VisitCounts(t));
        EXPECT_TRUE(t.GuardIntact());
    }
}

TEST_F(ShapesFlat, OutlinesPlotTheMidpointPointsAndRepeatTheDiagonals)
{
    struct Case {
        int r;
        std::vector<std::pair<int, int>> steps; // the (x, y) of each plotting pass
    } cases[] = {
        {0, {}},
        {1, {}},
        {2, {{1, 2}}},
        {3, {{1, 3}, {2, 2}}},
        {6, {{1, 6}, {2, 6}, {3, 5}, {4, 4}}},
        {10, {{1, 10}, {2, 10}, {3, 10}, {4, 9}, {5, 9}, {6, 8}, {7, 7}}},
    };
    const int cx = 15, cy = 14;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.r);
        Target t(32, 32, 1);
        t.Fill(0);
        SetDraw(1, 128, 0xFFFFFF, {0, 0, 32, 32});
        PaintMemImageCircle(&t.img, cx, cy, c.r, 0x00FF0000, 0);
        std::map<std::pair<int, int>, int> want;
        want[{cx - c.r, cy}]++;
        want[{cx + c.r, cy}]++;
        want[{cx, cy + c.r}]++;
        want[{cx, cy - c.r}]++;
        for (auto [x, y] : c.steps)
            for (int sx : {-1, 1})
                for (int sy : {-1, 1}) {
                    want[{cx + sx * y, cy + sy * x}]++;
                    want[{cx + sx * x, cy + sy * y}]++;
                }
        EXPECT_EQ(want, VisitCounts(t));
        EXPECT_TRUE(t.GuardIntact());
    }
}

TEST_F(ShapesFlat, CirclesClipToTheDrawArea)
{
    // Centre one column left of the area: the top and bottom rows take the
    // first later span that reaches in.
    {
        Target t(32, 32, 1);
        t.Fill(0);
        SetDraw(1, 128, 0xFFFFFF, {8, 0, 32, 32});
        PaintMemImageCircle(&t.img, 7, 14, 6, 0x00FF0000, 1);
        const std::vector<int> hw = {6, 6, 6, 5, 4, 3};
        std::map<std::pair<int, int>, int> want;
        for (int dy = -6; dy <= 6; dy++) {
            const int right = dy == 6 || dy == -6 ? 9 : 7 + hw[dy < 0 ? -dy : dy];
            for (int x = 8; x <= right; x++)
                want[{x, 14 + dy}] = 1;
        }
        EXPECT_EQ(want, VisitCounts(t));
    }
    // Wholly outside, an empty area, and an area larger than the image.
    struct Case {
        RECT area;
        int cx, cy, r;
    } nothing[] = {
        {{0, 0, 32, 32}, -20, 10, 5},
        {{0, 0, 32, 32}, 10, 50, 5},
        {{10, 10, 10, 20}, 12, 12, 5},
        {{10, 10, 20, 10}, 12, 12, 5},
    };
    for (const Case& c : nothing)
        for (int fill : {0, 1}) {
            Target t(32, 32, 1);
            SetDraw(0, 0, 0xFFFFFF, c.area);
            PaintMemImageCircle(&t.img, c.cx, c.cy, c.r, 0x00FF0000, fill);
            EXPECT_TRUE(t.Unchanged()) << c.cx << "," << c.cy << " fill " << fill;
        }
    for (int kind = 0; kind <= 1; kind++)
        for (int fill : {0, 1}) {
            Target t(20, 16, kind);
            SetDraw(0, 0, 0xFFFFFF, {-50, -50, 500, 500});
            for (int r : {3, 9, 15, 40})
                PaintMemImageCircle(&t.img, 10, 8, r, 0xFFFFFFFF, fill);
            EXPECT_TRUE(t.GuardIntact());
        }
}

TEST_F(ShapesFlat, HugeRadiiAndCentresStayInRangeAndEnd)
{
    SetDraw(1, 128, 0xFFFFFF, {0, 0, 32, 32});
    // A disc far larger than the image covers every pixel once.
    {
        Target t(32, 32, 1);
        t.Fill(0);
        const int live = GetAllocCount();
        PaintMemImageCircle(&t.img, 16, 16, INT_MAX, 0x00FF0000, 1);
        EXPECT_EQ(live, GetAllocCount()); // the row flags are given back
        std::map<std::pair<int, int>, int> all;
        for (int y = 0; y < 32; y++)
            for (int x = 0; x < 32; x++)
                all[{x, y}] = 1;
        EXPECT_EQ(all, VisitCounts(t));
        EXPECT_TRUE(t.GuardIntact());
    }
    // Its outline passes far outside.
    {
        Target t(32, 32, 1);
        PaintMemImageCircle(&t.img, 16, 16, INT_MAX, 0x00FF0000, 0);
        PaintMemImageCircle(&t.img, INT_MAX, INT_MIN, INT_MAX, 0x00FF0000, 0);
        PaintMemImageCircle(&t.img, INT_MIN, INT_MAX, INT_MAX, 0x00FF0000, 1);
        EXPECT_TRUE(t.Unchanged());
    }
    // A centre a billion rows up whose circle ends on row 10 of the image:
    // its lowest axis point is drawn, and the disc reaches down to it.
    for (int fill : {0, 1}) {
        Target t(32, 32, 1);
        t.Fill(0);
        PaintMemImageCircle(&t.img, 8, -1000000000, 1000000010, 0x00FF0000, fill);
        EXPECT_EQ(0x007F0000u, t.Get(8, 10)) << fill;
        EXPECT_EQ(0u, t.Get(8, 11)) << fill;
        EXPECT_EQ(fill ? 0x007F0000u : 0u, t.Get(8, 0)) << fill;
        EXPECT_TRUE(t.GuardIntact());
    }
    // Negative radii draw nothing.
    Target t(32, 32, 1);
    PaintMemImageCircle(&t.img, 16, 16, -1, 0x00FF0000, 1);
    PaintMemImageCircle(&t.img, 16, 16, INT_MIN, 0x00FF0000, 0);
    EXPECT_TRUE(t.Unchanged());
}

TEST_F(ShapesFlat, CirclesUseTheOperatorsAsBoxesDo)
{
    // Mode 1 at p = 255 copies the whole colour value, fourth byte included,
    // in outlines too; mode 7 changes nothing; 16-bit outlines address words.
    Target t(16, 16, 1), u(16, 16, 1), w(16, 16, 0);
    t.Fill(0);
    w.Fill(0);
    SetDraw(1, 255, 0xFFFFFF, {0, 0, 16, 16});
    PaintMemImageCircle(&t.img, 8, 8, 3, 0x9A123456, 0);
    PaintMemImageCircle(&t.img, 8, 8, 1, 0x9A123456, 1);
    EXPECT_EQ(0x9A123456u, t.Get(5, 8));
    EXPECT_EQ(0x9A123456u, t.Get(8, 9));
    EXPECT_EQ(0u, t.Get(8, 10));
    PaintMemImageCircle(&w.img, 8, 8, 3, 0xF81F, 0);
    EXPECT_EQ(0xF81Fu, w.Get(11, 8));
    EXPECT_EQ(0u, w.Get(10, 8));
    EXPECT_TRUE(w.GuardIntact());
    SetDraw(7, 128, 0xFFFFFF, {0, 0, 16, 16});
    PaintMemImageCircle(&u.img, 8, 8, 3, 0x9A123456, 0);
    PaintMemImageCircle(&u.img, 8, 8, 3, 0x9A123456, 1);
    EXPECT_TRUE(u.Unchanged());
}

// ---------------------------------------------------------------------------
// The software bridges

TEST_F(ShapesFlat, FrameBoxAndOutlineShapesGoRoundTheirCorners)
{
    Target t(24, 24, 1);
    t.Fill(0);
    MEMIMG* saved = SoftDrawTarget;
    SoftDrawTarget = &t.img;
    SetDraw(1, 128, 0xFFFFFF, {0, 0, 24, 24});
    SoftFrameBox(0, 0, 10, 10, kGrey);
    std::set<std::pair<int, int>> frame;
    for (int i = 0; i < 10; i++)
        frame.insert({{i, 0}, {i, 9}, {0, i}, {9, i}});
    ExpectVisitedOnce(t, frame);

    // A right triangle's three edges: each corner once.
    t.Fill(0);
    SoftTriangle(2, 2, 12, 2, 2, 12, kGrey, 0);
    std::set<std::pair<int, int>> tri;
    for (int i = 0; i < 10; i++)
        tri.insert({{2 + i, 2}, {12 - i, 2 + i}, {2, 12 - i}});
    ExpectVisitedOnce(t, tri);

    // A quad in the thick line's corner order (p1 + n, p2 + n, p1 - n, p2 - n).
    t.Fill(0);
    SoftQuad(2, 2, 8, 2, 2, 6, 8, 6, kGrey, 0);
    std::set<std::pair<int, int>> quad;
    for (int i = 0; i < 6; i++)
        quad.insert({{2 + i, 2}, {8 - i, 6}});
    for (int i = 0; i < 4; i++)
        quad.insert({{8, 2 + i}, {2, 6 - i}});
    ExpectVisitedOnce(t, quad);

    t.Fill(0);
    SoftFillBox(4, 5, 1, 2, kGrey);
    std::set<std::pair<int, int>> box;
    for (int y = 2; y < 5; y++)
        for (int x = 1; x < 4; x++)
            box.insert({x, y});
    ExpectVisitedOnce(t, box);
    SoftDrawTarget = saved;
}

// ---------------------------------------------------------------------------
// The library's shape calls on its software screen, read back through a lock.

class ShapesFlatScreen : public ::testing::Test {};

TEST_F(ShapesFlatScreen, ShapeCallsLandOnTheSoftwareScreen)
{
    ASSERT_TRUE(StartLibraryInWindow(640, 480, 0));
    ASSERT_EQ(0, Screen.hardware);
    SelectDrawTarget(DRAW_TARGET_BACK);
    SelectBlendMode(0, 0);
    SetBrightness(255, 255, 255);
    ClearDrawTarget(nullptr);

    const uint32_t red = ColorFromRGB(255, 0, 0), green = ColorFromRGB(0, 255, 0), blue = ColorFromRGB(0, 0, 255);
    EXPECT_EQ(0, DrawBoxShape(10, 10, 20, 16, red, 1));
    EXPECT_EQ(0, DrawBoxShape(30, 10, 40, 20, green, 0));
    EXPECT_EQ(0, DrawLineShape(50, 10, 60, 10, blue, 1));
    EXPECT_EQ(0, DrawCircleShape(100, 100, 6, red, 1));
    EXPECT_EQ(0, DrawCircleShape(200, 100, 6, green, 0));

    RasterImage img;
    ASSERT_EQ(0, LockScreenImage(nullptr, &img));
    auto at = [&](int x, int y) {
        uint32_t v;
        memcpy(&v, (const uint8_t*)img.pixels + (ptrdiff_t)y * img.pitch + 4 * x, 4);
        return v & 0xFFFFFF;
    };
    EXPECT_EQ(0xFF0000u, at(10, 10));
    EXPECT_EQ(0xFF0000u, at(19, 15));
    EXPECT_EQ(0u, at(20, 15));
    EXPECT_EQ(0u, at(19, 16));
    EXPECT_EQ(0x00FF00u, at(30, 10));
    EXPECT_EQ(0x00FF00u, at(39, 19));
    EXPECT_EQ(0u, at(35, 15));
    EXPECT_EQ(0u, at(40, 10));
    EXPECT_EQ(0x0000FFu, at(50, 10));
    EXPECT_EQ(0x0000FFu, at(59, 10));
    EXPECT_EQ(0u, at(60, 10));
    EXPECT_EQ(0xFF0000u, at(100, 94));
    EXPECT_EQ(0xFF0000u, at(94, 100));
    EXPECT_EQ(0xFF0000u, at(100, 100));
    EXPECT_EQ(0u, at(101, 94));
    EXPECT_EQ(0x00FF00u, at(202, 94));
    EXPECT_EQ(0x00FF00u, at(204, 96));
    EXPECT_EQ(0u, at(200, 100));
    EXPECT_EQ(0u, at(203, 94));
    UnlockScreenImage();
    EXPECT_EQ(0, EndLibraryLocked());
}

} // namespace
