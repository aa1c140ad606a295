// Software triangles: which pixels the walk visits and with which texture
// coordinates (against the plain model of triangle_reference.cpp and the
// worked examples), that nothing outside the draw area and the destination
// changes, the refusals, and flat-colour triangles in every mode against a
// per-pixel computation of the one-colour operators.
#include <windows.h>

#include <gtest/gtest.h>
#include <limits.h>
#include <math.h>
#include <string.h>

#include <algorithm>
#include <random>
#include <vector>

#include "graphics/draw_state.h"
#include "image/mem_image.h"
#include "image/soft_blend_tables.h"
#include "softrender/triangle_raster.h"
#include "triangle_reference.h"

namespace {

const int kGuard = 3; // guard pixels on every side of a destination

// A destination inside a larger canvas whose border must never change.
struct Canvas {
    std::vector<uint8_t> bytes, original;
    BlitImageDesc desc;
    int bpp;

    Canvas(int width, int height, int kind, std::mt19937& rng, bool zero = false)
    {
        bpp = kind == 1 ? 4 : 2;
        const int pitch = (width + 2 * kGuard) * bpp;
        bytes.resize((size_t)pitch * (height + 2 * kGuard));
        for (auto& b : bytes)
            b = (uint8_t)rng();
        desc = BlitImageDesc{};
        desc.width = width;
        desc.height = height;
        desc.pitch = pitch;
        desc.pixels = bytes.data() + kGuard * pitch + kGuard * bpp;
        desc.bytesPerPixel = bpp;
        desc.pixelKind = kind;
        if (zero)
            for (int y = 0; y < height; y++)
                memset(desc.pixels + (ptrdiff_t)y * pitch, 0, (size_t)width * bpp);
        original = bytes;
    }
    uint32_t At(int x, int y) const
    {
        uint32_t v = 0;
        memcpy(&v, desc.pixels + (ptrdiff_t)y * desc.pitch + x * bpp, bpp);
        return v;
    }
    uint32_t OriginalAt(int x, int y) const
    {
        uint32_t v = 0;
        memcpy(&v, original.data() + (desc.pixels - bytes.data()) + (ptrdiff_t)y * desc.pitch + x * bpp, bpp);
        return v;
    }
    // True when no byte outside the destination's rows changed.
    bool GuardIntact() const
    {
        const ptrdiff_t start = desc.pixels - bytes.data();
        for (size_t i = 0; i < bytes.size(); i++) {
            const ptrdiff_t off = (ptrdiff_t)i - start;
            const ptrdiff_t row = off >= 0 ? off / desc.pitch : -1;
            const ptrdiff_t col = off >= 0 ? off % desc.pitch : -1;
            const bool inside = off >= 0 && row < desc.height && col < (ptrdiff_t)desc.width * bpp;
            if (!inside && bytes[i] != original[i])
                return false;
        }
        return true;
    }
    bool Unchanged() const { return bytes == original; }
};

BlitDrawValues Values(int mode, int p, uint32_t brightness, BlitRect area)
{
    BlitDrawValues d;
    d.mode = mode;
    d.param = p;
    d.brightness = brightness;
    d.area = area;
    return d;
}

struct Tri {
    SoftTriangleVertex v[3];
};

Tri MakeTri(int x0, int y0, int x1, int y1, int x2, int y2)
{
    return Tri{{{x0, y0, 0, 0}, {x1, y1, 0, 0}, {x2, y2, 0, 0}}};
}

// Visits per pixel as the rasteriser makes them: a zeroed 32-bit canvas,
// flat add of colour 1 at p 255, so blue counts the visits.
std::vector<int> DrawnCounts(const Tri* tris, int count, int width, int height, BlitRect area, std::mt19937& rng,
                             bool* guardOk)
{
    Canvas c(width, height, 1, rng, true);
    const BlitDrawValues draw = Values(2, 255, 0xFFFFFF, area);
    for (int t = 0; t < count; t++)
        PlanAndRunTriangle(&c.desc, nullptr, tris[t].v, 0, nullptr, 1, &draw);
    std::vector<int> counts((size_t)width * height);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            counts[(size_t)y * width + x] = (int)(c.At(x, y) & 0xFF);
    *guardOk = c.GuardIntact();
    return counts;
}

std::vector<int> ModelCounts(const Tri* tris, int count, int width, int height, BlitRect area)
{
    std::vector<SoftTriangleVertex> v;
    for (int t = 0; t < count; t++)
        v.insert(v.end(), tris[t].v, tris[t].v + 3);
    // The model clips to the area only; the rasteriser also keeps to the
    // destination.
    area.left = std::max(area.left, 0);
    area.top = std::max(area.top, 0);
    area.right = std::min(area.right, width);
    area.bottom = std::min(area.bottom, height);
    return RefVisitCounts(v.data(), count, width, height, area);
}

class TriangleTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { BuildSoftBlendTables(); }
};

// The worked examples: the model's rows, and the rasteriser's visits.
TEST_F(TriangleTest, CoverageOfTheWorkedExamples)
{
    struct Case {
        Tri tri;
        std::vector<RefSpan> spans; // in visit order
    };
    const Case cases[] = {
        {MakeTri(0, 0, 4, 0, 0, 4), {{0, 0, 4}, {1, 0, 3}, {2, 0, 2}, {3, 0, 1}}},
        // middle vertex on the right
        {MakeTri(0, 0, 6, 3, 2, 6), {{0, 0, 0}, {1, 0, 2}, {2, 1, 4}, {3, 1, 6}, {4, 1, 5}, {5, 2, 3}}},
        // middle vertex on the left
        {MakeTri(6, 0, 0, 3, 4, 6), {{0, 6, 6}, {1, 4, 6}, {2, 2, 5}, {3, 0, 5}, {4, 1, 5}, {5, 3, 4}}},
        // top above row 0, clipped to the area at column 0 and row 0
        {MakeTri(-1, -3, 5, 2, 0, 6), {{0, 0, 1}, {1, 0, 3}, {2, 0, 4}, {3, 0, 5}, {4, 0, 4}, {5, 0, 3}, {6, 0, 1}}},
        // top above row 0 and the left edge turning: row 2 comes twice
        {MakeTri(3, -3, 0, 2, 5, 6),
         {{0, 2, 3}, {1, 1, 4}, {2, 1, 4}, {2, 0, 4}, {3, 1, 4}, {4, 3, 5}, {5, 4, 5}}},
    };
    const int W = 12, H = 10;
    const BlitRect area = {0, 0, W, H};
    std::mt19937 rng(1);
    for (const Case& c : cases) {
        const std::vector<RefSpan> got = RefTriangleSpans(c.tri.v, area);
        ASSERT_EQ(c.spans.size(), got.size());
        std::vector<int> want((size_t)W * H, 0);
        for (size_t i = 0; i < got.size(); i++) {
            EXPECT_EQ(c.spans[i].y, got[i].y) << "span " << i;
            EXPECT_EQ(c.spans[i].x0, got[i].x0) << "span " << i;
            EXPECT_EQ(c.spans[i].x1, got[i].x1) << "span " << i;
            for (int x = c.spans[i].x0; x <= c.spans[i].x1; x++)
                want[(size_t)c.spans[i].y * W + x]++;
        }
        bool guardOk = false;
        EXPECT_EQ(want, DrawnCounts(&c.tri, 1, W, H, area, rng, &guardOk));
        EXPECT_TRUE(guardOk);
    }
}

// The walk's spans and texture coordinates against the model, visit by
// visit: small coordinates (many ties in the vertex sort), negative ones,
// odd texture mappings, and areas cutting the triangle.
TEST_F(TriangleTest, WalkMatchesTheModel)
{
    std::mt19937 rng(7);
    std::vector<uint8_t> buffer(64 * 64 * 4);
    int drawn = 0;
    for (int iter = 0; iter < 3000; iter++) {
        const int range = iter % 3 == 0 ? 9 : 60;
        Tri t;
        for (auto& v : t.v) {
            v.x = (int)(rng() % range) - range / 4;
            v.y = (int)(rng() % range) - range / 4;
            v.u = (int)(rng() % 700) - 200;
            v.v = (int)(rng() % 700) - 200;
        }
        BlitRect area = {(int)(rng() % 20), (int)(rng() % 20), 0, 0};
        area.right = area.left + 1 + (int)(rng() % 44);
        area.bottom = area.top + 1 + (int)(rng() % 44);
        TriangleWalk w;
        const int rc = SetUpTriangleWalk(t.v, &w);
        const std::vector<RefVisit> want = RefTriangleVisits(t.v, area);
        RefGradients g;
        if (!RefTriangleGradients(t.v, &g)) {
            EXPECT_EQ(-1, rc);
            continue;
        }
        ASSERT_EQ(0, rc);
        w.area = area;
        w.dstPixels = buffer.data();
        w.dstPitch = 64 * 4;
        w.dstBpp = 4;
        std::vector<RefVisit> got;
        WalkTriangle(w, [&](const TriangleSpan& s) {
            ASSERT_EQ(buffer.data() + s.y * 256 + s.x * 4, s.dst);
            uint32_t u = s.u, v = s.v;
            for (int i = 0; i < s.count; i++, u += (uint32_t)w.ux, v += (uint32_t)w.vx)
                got.push_back(RefVisit{s.x + i, s.y, u, v});
        });
        ASSERT_EQ(want.size(), got.size()) << "iteration " << iter;
        for (size_t i = 0; i < want.size(); i++) {
            ASSERT_EQ(want[i].x, got[i].x) << "iteration " << iter << " visit " << i;
            ASSERT_EQ(want[i].y, got[i].y) << "iteration " << iter << " visit " << i;
            ASSERT_EQ(want[i].u, got[i].u) << "iteration " << iter << " visit " << i;
            ASSERT_EQ(want[i].v, got[i].v) << "iteration " << iter << " visit " << i;
        }
        drawn += !want.empty();
    }
    EXPECT_GT(drawn, 1000);
}

// The quad the graph layer draws one to one: texel (i, j) at pixel
// (x0 + i, y0 + j), unit steps, and the column right of the quad visited
// outside the source.
TEST_F(TriangleTest, IdentityQuadReadsEachTexelAtItsPixel)
{
    const int x0 = 3, y0 = 2, w = 4, h = 4;
    SoftTriangleVertex q[4];
    RefIdentityQuad(x0, y0, w, h, q);
    TriangleWalk walk;
    ASSERT_EQ(0, SetUpTriangleWalk(&q[0], &walk));
    EXPECT_EQ(TRIANGLE_ONE, walk.ux);
    EXPECT_EQ(0, walk.uy);
    EXPECT_EQ(0, walk.vx);
    EXPECT_EQ(TRIANGLE_ONE, walk.vy);
    const BlitRect area = {0, 0, 16, 16};
    std::vector<int> seen(16 * 16, 0), outside(16 * 16, 0);
    for (int t = 0; t < 2; t++)
        for (const RefVisit& v : RefTriangleVisits(&q[t], area)) {
            int col, row;
            if (RefTexel(v, w, h, &col, &row)) {
                EXPECT_EQ(v.x - x0, col);
                EXPECT_EQ(v.y - y0, row);
                seen[v.y * 16 + v.x]++;
            } else {
                outside[v.y * 16 + v.x]++;
            }
        }
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 16; x++) {
            const bool in = x >= x0 && x < x0 + w && y >= y0 && y < y0 + h;
            const bool diagonal = (x - x0) + (y - y0) == w && in;
            EXPECT_EQ(in ? (diagonal ? 2 : 1) : 0, seen[y * 16 + x]) << x << "," << y;
            const bool rightColumn = x == x0 + w && y >= y0 && y < y0 + h;
            EXPECT_EQ(rightColumn, outside[y * 16 + x] > 0) << x << "," << y;
        }
}

// Random triangles, many partly or wholly outside, on both pixel kinds and
// with draw areas that reach past the destination: the visits are the
// model's, and nothing outside the destination changes.
TEST_F(TriangleTest, RandomTrianglesStayInsideAreaAndDestination)
{
    std::mt19937 rng(11);
    const int W = 37, H = 23;
    for (int iter = 0; iter < 400; iter++) {
        Tri t;
        for (auto& v : t.v) {
            v.x = (int)(rng() % 90) - 25;
            v.y = (int)(rng() % 70) - 25;
        }
        BlitRect area = {(int)(rng() % 30) - 10, (int)(rng() % 20) - 10, 0, 0};
        area.right = area.left + (int)(rng() % 60);
        area.bottom = area.top + (int)(rng() % 50);
        bool guardOk = false;
        const std::vector<int> got = DrawnCounts(&t, 1, W, H, area, rng, &guardOk);
        ASSERT_TRUE(guardOk) << "iteration " << iter;
        ASSERT_EQ(ModelCounts(&t, 1, W, H, area), got) << "iteration " << iter;

        // 16-bit: the same pixels, and the guard again.
        Canvas c(W, H, 0, rng);
        const BlitDrawValues draw = Values(0, 0, 0xFFFFFF, area);
        PlanAndRunTriangle(&c.desc, nullptr, t.v, 0, nullptr, 0x1234, &draw);
        ASSERT_TRUE(c.GuardIntact()) << "iteration " << iter;
        for (int y = 0; y < H; y++)
            for (int x = 0; x < W; x++)
                ASSERT_EQ(got[(size_t)y * W + x] ? 0x1234u : c.OriginalAt(x, y), c.At(x, y));
    }
}

// Two triangles sharing a diagonal leave no gap inside the quad; only pixels
// next to the diagonal are visited twice.
TEST_F(TriangleTest, QuadHalvesLeaveNoGap)
{
    std::mt19937 rng(5);
    const int W = 48, H = 48;
    const BlitRect area = {0, 0, W, H};
    for (int iter = 0; iter < 200; iter++) {
        // Thick-line quads: corners p1 + n, p2 + n, p1 - n, p2 - n.
        const int x1 = 8 + (int)(rng() % 32), y1 = 8 + (int)(rng() % 32);
        const int x2 = 8 + (int)(rng() % 32), y2 = 8 + (int)(rng() % 32);
        const int nx = (int)(rng() % 13) - 6, ny = (int)(rng() % 13) - 6;
        const SoftTriangleVertex q[4] = {
            {x1 + nx, y1 + ny, 0, 0}, {x2 + nx, y2 + ny, 0, 0}, {x1 - nx, y1 - ny, 0, 0}, {x2 - nx, y2 - ny, 0, 0}};
        Tri halves[2];
        memcpy(halves[0].v, &q[0], sizeof halves[0].v);
        memcpy(halves[1].v, &q[1], sizeof halves[1].v);
        bool guardOk = false;
        const std::vector<int> got = DrawnCounts(halves, 2, W, H, area, rng, &guardOk);
        ASSERT_TRUE(guardOk);
        // Inside: strictly inside the quad p1+n, p2+n, p2-n, p1-n, by more
        // than a pixel from its outline, tested at the pixel's centre.
        const double px[4] = {(double)q[0].x, (double)q[1].x, (double)q[3].x, (double)q[2].x};
        const double py[4] = {(double)q[0].y, (double)q[1].y, (double)q[3].y, (double)q[2].y};
        for (int y = 0; y < H; y++)
            for (int x = 0; x < W; x++) {
                const double cx = x + 0.5, cy = y + 0.5;
                int sign = 0;
                bool deep = true;
                for (int e = 0; e < 4; e++) {
                    const double ex = px[(e + 1) % 4] - px[e], ey = py[(e + 1) % 4] - py[e];
                    const double len = sqrt(ex * ex + ey * ey);
                    if (len == 0) {
                        deep = false;
                        break;
                    }
                    const double d = (ex * (cy - py[e]) - ey * (cx - px[e])) / len;
                    const int s = d > 1.5 ? 1 : (d < -1.5 ? -1 : 0);
                    if (s == 0 || (sign && s != sign))
                        deep = false;
                    sign = s;
                }
                const int n = got[(size_t)y * W + x];
                if (deep) {
                    ASSERT_GE(n, 1) << "gap at " << x << "," << y << " iteration " << iter;
                }
                if (n == 2) {
                    // Distance of the centre from the shared diagonal.
                    const double dx = q[2].x - q[1].x, dy = q[2].y - q[1].y;
                    const double len = sqrt(dx * dx + dy * dy);
                    const double d = fabs(dx * (cy - q[1].y) - dy * (cx - q[1].x)) / len;
                    ASSERT_LT(d, 2.0) << "double visit off the diagonal at " << x << "," << y;
                }
                ASSERT_LE(n, 2);
            }
    }
}

// Calls that draw nothing: the destination is left as it was.
TEST_F(TriangleTest, RefusalsAndModesThatDrawNothing)
{
    std::mt19937 rng(3);
    const BlitRect area = {0, 0, 16, 16};
    struct Case {
        const char* what;
        Tri tri;
        int mode, p;
        int result;
    };
    const Case cases[] = {
        {"x below -8192", MakeTri(-8193, 0, 4, 0, 0, 4), 0, 0, -1},
        {"x above 8191", MakeTri(0, 0, 8192, 0, 0, 4), 0, 0, -1},
        {"y below -8192", MakeTri(0, -8193, 4, 0, 0, 4), 0, 0, -1},
        {"y above 8191", MakeTri(0, 0, 4, 0, 0, 8192), 0, 0, -1},
        {"x 8192 apart", MakeTri(-4096, 0, 4096, 1, 0, 4), 0, 0, -1},
        {"y 8192 apart", MakeTri(0, -4096, 4, 0, 1, 4096), 0, 0, -1},
        {"far beyond", MakeTri(INT_MIN, INT_MIN, INT_MAX, 3, 5, INT_MAX), 0, 0, -1},
        {"collinear", MakeTri(0, 0, 3, 3, 6, 6), 0, 0, 0},
        {"two equal vertices", MakeTri(2, 2, 2, 2, 9, 4), 0, 0, 0},
        {"mode 5", MakeTri(0, 0, 9, 0, 0, 9), 5, 128, 0},
        {"mode 9", MakeTri(0, 0, 9, 0, 0, 9), 9, 128, 0},
        {"mode 12", MakeTri(0, 0, 9, 0, 0, 9), 12, 128, 0},
        {"mode -1", MakeTri(0, 0, 9, 0, 0, 9), -1, 128, 0},
        {"mode 1 at p 0", MakeTri(0, 0, 9, 0, 0, 9), 1, 0, 0},
        {"mode 2 at p 0", MakeTri(0, 0, 9, 0, 0, 9), 2, 0, 0},
        {"mode 3 at p 0", MakeTri(0, 0, 9, 0, 0, 9), 3, 0, 0},
        {"wholly left of the area", MakeTri(-9, 0, -2, 4, -5, 9), 0, 0, 0},
        {"wholly below the area", MakeTri(0, 16, 9, 20, 3, 30), 0, 0, 0},
        // Accepted extremes: the walk runs its thousands of rows and
        // nothing lands inside this small destination.
        {"largest span", MakeTri(-8192, -8192, -3, -8192, -8192, -3), 0, 0, 0},
        {"largest coordinates", MakeTri(8191, 8191, 20, 8191, 8191, 20), 0, 0, 0},
    };
    for (const Case& c : cases) {
        for (int kind = 0; kind < 2; kind++) {
            Canvas dst(16, 16, kind, rng);
            const BlitDrawValues draw = Values(c.mode, c.p, 0xFFFFFF, area);
            EXPECT_EQ(c.result, PlanAndRunTriangle(&dst.desc, nullptr, c.tri.v, 0, nullptr, 0xFFFF, &draw))
                << c.what;
            EXPECT_TRUE(dst.Unchanged()) << c.what << " kind " << kind;
        }
    }

    // Image refusals, on a triangle that would otherwise draw.
    const Tri t = MakeTri(0, 0, 9, 0, 0, 9);
    const BlitDrawValues draw = Values(0, 255, 0xFFFFFF, area);
    Canvas src16(4, 4, 0, rng), src32(4, 4, 1, rng), blendSmall(3, 4, 1, rng);
    blendSmall.desc.bytesPerPixel = 1;
    {
        Canvas dst(16, 16, 1, rng);
        EXPECT_EQ(-1, PlanAndRunTriangle(&dst.desc, &src16.desc, t.v, 0, nullptr, 0, &draw)) << "kinds differ";
        dst.desc.paletteFlag = 1;
        EXPECT_EQ(-1, PlanAndRunTriangle(&dst.desc, nullptr, t.v, 0, nullptr, 0, &draw)) << "palette destination";
        dst.desc.paletteFlag = 0;
        dst.desc.alphaFlag = 1;
        EXPECT_EQ(-1, PlanAndRunTriangle(&dst.desc, nullptr, t.v, 0, nullptr, 0, &draw)) << "alpha destination";
        dst.desc.alphaFlag = 0;
        EXPECT_EQ(-1, PlanAndRunTriangle(&dst.desc, &src32.desc, t.v, 0, &blendSmall.desc, 0, &draw))
            << "blend image narrower than the source";
        src32.desc.paletteFlag = 1;
        EXPECT_EQ(-1, PlanAndRunTriangle(&dst.desc, &src32.desc, t.v, 0, nullptr, 0, &draw))
            << "palette source without a palette";
        EXPECT_TRUE(dst.Unchanged());
    }
}

// ---- Flat colour, computed pixel by pixel from the operator rules ----

uint32_t MulDiv(uint32_t k, uint32_t v)
{
    return k * v / 255;
}
int32_t SignedMulDiv(int32_t k, int32_t d)
{
    return k * d / 255; // C division truncates toward zero
}

struct FlatCase {
    int kind, mode, p;
    uint32_t brightness, color;
};

// The prepared colour: every channel through k*v/255 with its brightness
// byte, no skip at full brightness.
uint32_t Prepared(int kind, uint32_t c, uint32_t br)
{
    const uint32_t bb = br & 0xFF, bg = (br >> 8) & 0xFF, brr = (br >> 16) & 0xFF;
    if (kind == 1)
        return (c & 0xFF000000u) | MulDiv(brr, (c >> 16) & 0xFF) << 16 | MulDiv(bg, (c >> 8) & 0xFF) << 8 |
               MulDiv(bb, c & 0xFF);
    return MulDiv(brr, (c >> 11) & 31) << 11 | MulDiv(bg, (c >> 5) & 63) << 5 | MulDiv(bb, c & 31);
}

// What one visit makes of pixel d; false when the call draws nothing.
bool FlatModel(const FlatCase& fc, uint32_t d, uint32_t* out)
{
    int mode = fc.mode;
    const int p = fc.p;
    if (mode < 0 || mode > 11 || (mode >= 5 && mode <= 9))
        return false;
    if (mode == 1 && p == 255)
        mode = 0;
    if ((mode == 1 || mode == 2 || mode == 3) && p == 0)
        return false;
    const uint32_t c = Prepared(fc.kind, fc.color, fc.brightness);
    if (mode == 0) {
        *out = c;
        return true;
    }
    if (fc.kind == 1) {
        uint32_t S = MulDiv(p, (c >> 16) & 0xFF) << 16 | MulDiv(p, (c >> 8) & 0xFF) << 8 | MulDiv(p, c & 0xFF);
        if (mode == 2) {
            const uint32_t sum = (d & 0x00FEFEFFu) + (S & 0x00FEFEFFu);
            const uint32_t k = sum & 0x01010100u;
            *out = sum | (k - (k >> 8)) | ((d | S) & 0x00010100u);
            return true;
        }
        if (mode == 3) {
            const uint32_t v = (d | 0x01010100u) - (S & 0xFEFEFEFFu);
            const uint32_t k = v & 0x01010100u;
            *out = v & (k - (k >> 8));
            return true;
        }
        uint32_t r = d & 0xFF000000u;
        for (int sh = 0; sh < 24; sh += 8) {
            const int32_t dc = (d >> sh) & 0xFF, cc = (c >> sh) & 0xFF;
            int32_t v = 0;
            if (mode == 1)
                v = (dc * 256 + (cc - dc) * p) >> 8;
            else if (mode == 4)
                v = (dc * cc) >> 8;
            else if (mode == 10)
                v = (dc * 256 + ((255 - cc) - dc) * p) >> 8;
            else
                v = (dc * 256 + (((dc * cc) >> 8) - dc) * p) >> 8;
            r |= (uint32_t)v << sh;
        }
        *out = r;
        return true;
    }
    const int shifts[3] = {11, 5, 0}, widths[3] = {5, 6, 5};
    if (mode == 2 || mode == 3) {
        uint32_t S = 0;
        for (int f = 0; f < 3; f++)
            S |= MulDiv(p, (c >> shifts[f]) & ((1u << widths[f]) - 1)) << shifts[f];
        if (mode == 2) {
            const uint32_t sum = (d & 0xF7DEF7DFu) + (S & 0xF7DEF7DFu);
            const uint32_t k = sum & 0x08210820u;
            *out = (sum | (k - (k >> 5)) | ((d | S) & 0x0820u)) & 0xFFFF;
        } else {
            const uint32_t v = (d | 0x08210820u) - (S & 0xF7DEF7DFu);
            const uint32_t k = v & 0x08210820u;
            *out = (v & (k - (k >> 5))) & 0xFFFF;
        }
        return true;
    }
    uint32_t r = 0;
    for (int f = 0; f < 3; f++) {
        const int32_t mask = (1 << widths[f]) - 1;
        const int32_t df = (d >> shifts[f]) & mask, cf = (c >> shifts[f]) & mask;
        int32_t v = 0;
        if (mode == 1)
            v = df + SignedMulDiv(p, cf - df);
        else if (mode == 10)
            v = df + SignedMulDiv(p, (mask - cf) - df);
        else if (mode == 4)
            v = (df * cf) >> widths[f];
        else
            v = df + SignedMulDiv(p, ((df * cf) >> widths[f]) - df);
        r |= (uint32_t)v << shifts[f];
    }
    *out = r;
    return true;
}

// Every mode, parameter and brightness on both pixel kinds: each visited
// pixel is the operator's result (twice over where a row is visited twice),
// every other pixel keeps its value. A transparency flag and a blend image
// make no difference on this path.
TEST_F(TriangleTest, FlatColourEveryModeAndBrightness)
{
    std::mt19937 rng(9);
    const int W = 20, H = 16;
    const BlitRect area = {1, 1, 19, 15};
    const Tri tris[] = {MakeTri(0, 0, 18, 4, 5, 15), MakeTri(3, -3, 0, 2, 17, 12)};
    const int modes[] = {0, 1, 2, 3, 4, 10, 11};
    const int params[] = {0, 1, 128, 254, 255};
    const uint32_t brights[] = {0xFFFFFF, 0x808080, 0x0000FF, 0x40C0FF, 0x000000, 0xFF00FFFF};
    Canvas blendImage(4, 4, 1, rng);
    blendImage.desc.bytesPerPixel = 1;
    for (int kind = 0; kind < 2; kind++)
        for (int mode : modes)
            for (int p : params)
                for (uint32_t br : brights)
                    for (const Tri& t : tris) {
                        const uint32_t color = kind == 1 ? (uint32_t)rng() : (uint32_t)rng() & 0xFFFF;
                        const FlatCase fc = {kind, mode, p, br, color};
                        const std::vector<int> counts = ModelCounts(&t, 1, W, H, area);
                        Canvas dst(W, H, kind, rng);
                        const BlitDrawValues draw = Values(mode, p, br, area);
                        const int trans = (int)(rng() % 2);
                        PlanAndRunTriangle(&dst.desc, nullptr, t.v, trans, rng() % 2 ? &blendImage.desc : nullptr,
                                           color, &draw);
                        ASSERT_TRUE(dst.GuardIntact());
                        for (int y = 0; y < H; y++)
                            for (int x = 0; x < W; x++) {
                                uint32_t want = dst.OriginalAt(x, y);
                                for (int n = 0; n < counts[(size_t)y * W + x]; n++)
                                    if (!FlatModel(fc, want, &want))
                                        break;
                                ASSERT_EQ(want, dst.At(x, y))
                                    << "kind " << kind << " mode " << mode << " p " << p << " brightness " << std::hex
                                    << br << " colour " << color << std::dec << " at " << x << "," << y;
                            }
                    }
}

// The worked examples of the flat colour preparation.
TEST_F(TriangleTest, FlatColourPreparation)
{
    struct Case {
        int kind;
        uint32_t color, brightness, want;
    };
    const Case cases[] = {
        {1, 0x00FFFFFF, 0x808080, 0x00808080}, // a box would give 0x007F7F7F
        {1, 0x00FFFFFF, 0x0000FF, 0x000000FF},
        {1, 0xFF102030, 0xFFFFFF, 0xFF102030},
        {0, 0xFFFF, 0x808080, 0x7BEF},
    };
    std::mt19937 rng(2);
    for (const Case& c : cases) {
        Canvas dst(8, 8, c.kind, rng);
        const Tri t = MakeTri(0, 0, 4, 0, 0, 4);
        const BlitDrawValues draw = Values(0, 0, c.brightness, BlitRect{0, 0, 8, 8});
        PlanAndRunTriangle(&dst.desc, nullptr, t.v, 0, nullptr, c.color, &draw);
        int changed = 0;
        for (int y = 0; y < 8; y++)
            for (int x = 0; x < 8; x++)
                if (x + y <= 4 && y < 4) {
                    EXPECT_EQ(c.want, dst.At(x, y)) << std::hex << c.color << " at " << std::dec << x << "," << y;
                    changed++;
                } else {
                    EXPECT_EQ(dst.OriginalAt(x, y), dst.At(x, y));
                }
        EXPECT_EQ(14, changed);
    }
}

// The memory-image entry reads the draw state: area, mode, parameter and
// brightness, and refuses what cannot be drawn.
TEST_F(TriangleTest, MemImageEntryReadsTheDrawState)
{
    MEMIMG img = {};
    ASSERT_EQ(0, CreateMemImage(&img, 16, 12, -1, 0, MEMIMG_KIND_X8R8G8B8, 0, 0, 0, nullptr));
    const RECT savedArea = Draw.area;
    const int savedMode = Draw.blendMode, savedParam = Draw.blendParam;
    const uint32_t savedBright = Draw.brightness;
    FillMemImageRect(&img, nullptr, 0x00101010);
    Draw.area = RECT{2, 1, 10, 12};
    Draw.blendMode = 1;
    Draw.blendParam = 128;
    Draw.brightness = 0xFFFFFF;
    const Tri t = MakeTri(0, 0, 15, 0, 0, 11);
    const SoftTriangleVertex* v = t.v;
    EXPECT_EQ(0, RasterizeMemImageTriangle(&img, nullptr, v, 0, nullptr, 0xFFF0F0F0));
    const std::vector<int> counts = ModelCounts(&t, 1, 16, 12, BlitRect{2, 1, 10, 12});
    const uint8_t* px = (const uint8_t*)img.pixels;
    int changed = 0;
    for (int y = 0; y < 12; y++)
        for (int x = 0; x < 16; x++) {
            uint32_t got;
            memcpy(&got, px + y * img.body->pitch + x * 4, 4);
            // Half-way: (16 x 256 + 224 x 128) >> 8 = 128; the fourth byte kept.
            EXPECT_EQ(counts[y * 16 + x] ? 0x00808080u : 0x00101010u, got) << x << "," << y;
            changed += counts[y * 16 + x] != 0;
        }
    EXPECT_GT(changed, 40);
    EXPECT_EQ(-1, RasterizeMemImageTriangle(nullptr, nullptr, v, 0, nullptr, 0));
    Draw.area = savedArea;
    Draw.blendMode = savedMode;
    Draw.blendParam = savedParam;
    Draw.brightness = savedBright;
    ReleaseMemImage(&img);
}

} // namespace
