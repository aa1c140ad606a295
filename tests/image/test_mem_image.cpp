// Memory images: creation and its size checks, views and release, fill and
// copy, and transfers from raster images with the run table, the
// premultiplied copy and the palette.
#include <gtest/gtest.h>
#include <string.h>

#include <vector>

#include "graphics/device.h"
#include "image/mem_image.h"
#include "runtime/memory.h"

namespace {

MEMIMG Empty()
{
    MEMIMG m;
    memset(&m, 0, sizeof m);
    return m;
}

int Bytes(const MEMIMG& m) { return m.body->format->bytesPerPixel; }

uint32_t At(const MEMIMG& m, int x, int y)
{
    const uint8_t* p = (const uint8_t*)m.pixels + (ptrdiff_t)y * m.body->pitch + (ptrdiff_t)x * Bytes(m);
    uint32_t v = 0;
    memcpy(&v, p, (size_t)Bytes(m));
    return v;
}

uint32_t PremulAt(const MEMIMG& m, int x, int y)
{
    const uint8_t* p = (const uint8_t*)m.premulPixels + (ptrdiff_t)y * m.body->pitch + (ptrdiff_t)x * 4;
    uint32_t v;
    memcpy(&v, p, 4);
    return v;
}

void Put(const MEMIMG& m, int x, int y, uint32_t v)
{
    uint8_t* p = (uint8_t*)m.pixels + (ptrdiff_t)y * m.body->pitch + (ptrdiff_t)x * Bytes(m);
    memcpy(p, &v, (size_t)Bytes(m));
}

// The run table's rows, each up to and including its end byte.
std::vector<std::vector<uint8_t>> RunRows(const MEMIMG& m)
{
    std::vector<std::vector<uint8_t>> rows(1);
    const uint8_t* p = m.body->runTable;
    while ((int)rows.size() <= m.body->height) {
        rows.back().push_back(*p);
        if (*p++ == MEMIMG_RUN_END)
            rows.emplace_back();
    }
    rows.pop_back();
    return rows;
}

// A raster image of the given format whose pixels are the values given, row
// by row.
RasterImage Raster(int w, int h, int depth, uint32_t r, uint32_t g, uint32_t b, uint32_t a,
                   const std::vector<uint32_t>& values)
{
    RasterImage model;
    memset(&model, 0, sizeof model);
    MakeColorFormat(&model.format, depth, r, g, b, a);
    RasterImage image;
    memset(&image, 0, sizeof image);
    EXPECT_EQ(0, CreateImageLike(w, h, &model, &image));
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint32_t v = values[(size_t)(y * w + x)];
            memcpy((uint8_t*)image.pixels + y * image.pitch + x * image.format.bytesPerPixel, &v,
                   image.format.bytesPerPixel);
        }
    return image;
}

RasterImage Argb(int w, int h, const std::vector<uint32_t>& v)
{
    return Raster(w, h, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, v);
}
RasterImage Rgb24(int w, int h, const std::vector<uint32_t>& v)
{
    return Raster(w, h, 24, 0xFF0000, 0xFF00, 0xFF, 0, v);
}

} // namespace

TEST(MemImage, PresetFormatsFollowKindAlphaAndPalette)
{
    struct Case {
        int kind, alpha, palette, depth, bytes;
        uint32_t r, g, b, a;
    } cases[] = {
        {0, 0, 0, 16, 2, 0xF800, 0x7E0, 0x1F, 0},
        {0, 0, 1, 8, 1, 0xF800, 0x7E0, 0x1F, 0},
        {0, 1, 0, 32, 4, 0xF800, 0x7E0, 0x1F, 0xFF0000},
        {0, 1, 1, 8, 1, 0xF800, 0x7E0, 0x1F, 0xFF0000},
        {1, 0, 0, 32, 4, 0xFF0000, 0xFF00, 0xFF, 0},
        {1, 0, 1, 8, 1, 0xFF0000, 0xFF00, 0xFF, 0},
        {1, 1, 0, 32, 4, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
        {1, 1, 1, 8, 1, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
        {2, 1, 1, 8, 1, 0xFF, 0xFF, 0xFF, 0xFF},
        {3, 0, 0, 16, 2, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.kind << c.alpha << c.palette);
        const ColorFormat* f = GetPresetColorFormat(c.kind, c.alpha, c.palette);
        ASSERT_NE(nullptr, f);
        EXPECT_EQ(f, GetPresetColorFormat(c.kind, c.alpha, c.palette));   // shared
        EXPECT_EQ(c.depth, f->bitDepth);
        EXPECT_EQ(c.bytes, f->bytesPerPixel);
        EXPECT_EQ(c.r, f->redMask);
        EXPECT_EQ(c.g, f->greenMask);
        EXPECT_EQ(c.b, f->blueMask);
        EXPECT_EQ(c.a, f->alphaMask);
    }
    const ColorFormat* single = GetPresetColorFormat(2, 0, 0);
    EXPECT_EQ(0u, single->unusedMask);
    EXPECT_EQ(0, single->redShift);
    EXPECT_EQ(8, single->alphaWidth);
    EXPECT_EQ(16, GetPresetColorFormat(3, 0, 0)->greenWidth);
    EXPECT_EQ(nullptr, GetPresetColorFormat(4, 0, 0));
    EXPECT_EQ(nullptr, GetPresetColorFormat(-1, 0, 0));
}

TEST(MemImage, CreateSetsPitchShiftAndFlags)
{
    struct Case {
        int kind, palette, alpha, width, pitch;
        int wantPitch, wantShift, wantBytes, wantPalette, wantAlpha;
    } cases[] = {
        {1, 0, 0, 100, -1, 400, -1, 4, 0, 0},
        {1, 0, 0, 128, -1, 512, 9, 4, 0, 0},
        {1, 0, 0, 2, -1, 16, -1, 4, 0, 0},      // 8 bytes rounded up to 16
        {1, 0, 0, 4, -1, 16, 4, 4, 0, 0},
        {0, 0, 0, 9, -1, 32, 5, 2, 0, 0},     // 18 bytes: 32 is also the power above
        {0, 0, 1, 3, -1, 16, 4, 4, 0, 1},       // R5G6B5 with alpha: 4 bytes
        {0, 1, 1, 32, -1, 32, 5, 1, 1, 0},      // the palette drops the alpha
        {2, 1, 1, 5, -1, 16, -1, 1, 0, 0},      // single channel: neither
        {3, 0, 0, 8, -1, 16, 4, 2, 0, 0},
        {1, 0, 0, 100, 1024, 1024, 10, 4, 0, 0},
        {1, 0, 0, 100, 1000, 1000, -1, 4, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << " width " << c.width << " pitch " << c.pitch);
        MEMIMG m = Empty();
        ASSERT_EQ(0, CreateMemImage(&m, c.width, 3, c.pitch, 7, c.kind, c.palette, c.alpha, 0, nullptr));
        EXPECT_EQ(1, IsMemImageValid(&m));
        EXPECT_EQ((uint32_t)MEMIMG_MAGIC, m.magic);
        EXPECT_EQ(c.width, m.width);
        EXPECT_EQ(3, m.height);
        EXPECT_EQ(c.wantPitch, m.body->pitch);
        EXPECT_EQ(c.wantShift, m.body->pitchShift);
        EXPECT_EQ(c.wantBytes, Bytes(m));
        EXPECT_EQ(c.wantPalette, m.body->paletteFlag);
        EXPECT_EQ(c.wantAlpha, m.body->alphaFlag);
        EXPECT_EQ(c.wantPalette != 0, m.body->paletteBlock != nullptr);
        if (m.body->paletteBlock) {
            EXPECT_EQ((uint8_t*)m.body->paletteBlock + 1024, m.body->paletteCopy);
        }
        EXPECT_EQ(1, m.body->refCount);
        EXPECT_EQ(7u, m.body->transColor);
        EXPECT_EQ(m.body->pixels, m.pixels);
        EXPECT_EQ(nullptr, m.premulPixels);
        EXPECT_EQ(nullptr, m.body->runTable);
        ReleaseMemImage(&m);
        EXPECT_EQ(0, IsMemImageValid(&m));
    }
}

TEST(MemImage, CreateTwiceFailsAndReleaseFreesEverything)
{
    int before = GetAllocCount();
    MEMIMG m = Empty();
    ASSERT_EQ(0, CreateMemImage(&m, 10, 10, -1, 0, 1, 0, 1, 1, nullptr));
    // Body, pixels, premultiplied copy and run table.
    EXPECT_EQ(before + 4, GetAllocCount());
    EXPECT_NE(nullptr, m.premulPixels);
    EXPECT_EQ(m.body->premulPixels, m.premulPixels);
    EXPECT_NE(nullptr, m.body->runTable);
    EXPECT_EQ(-1, CreateMemImage(&m, 10, 10, -1, 0, 1, 0, 1, 1, nullptr));
    EXPECT_EQ(before + 4, GetAllocCount());
    EXPECT_EQ(0, ReleaseMemImage(&m));
    EXPECT_EQ(before, GetAllocCount());
    EXPECT_EQ(nullptr, m.body);
    EXPECT_EQ(0u, m.magic);
    EXPECT_EQ(0, ReleaseMemImage(&m));   // empty: nothing happens

    // Extras: no premultiplied copy without alpha, no run table for kind 2;
    // user pixels are used and not freed.
    std::vector<uint8_t> user(16 * 4);
    ASSERT_EQ(0, CreateMemImage(&m, 4, 4, 16, 0, 2, 0, 0, 1, user.data()));
    EXPECT_EQ(before + 1, GetAllocCount());
    EXPECT_EQ(user.data(), m.pixels);
    EXPECT_EQ(1, m.body->userMemory);
    EXPECT_EQ(nullptr, m.body->runTable);
    ReleaseMemImage(&m);
    EXPECT_EQ(before, GetAllocCount());
}

TEST(MemImage, DefaultCreationFollowsTheScreenDepth)
{
    int saved = Screen.depth;
    struct Case {
        int depth, kind, wantKind;
    } cases[] = {{16, -1, 0}, {32, -1, 1}, {0, -1, 0}, {16, 1, 1}};
    for (const Case& c : cases) {
        Screen.depth = c.depth;
        MEMIMG m;
        memset(&m, 0xA5, sizeof m);   // cleared by the call
        ASSERT_EQ(0, CreateMemImageDefault(&m, 5, 2, c.kind));
        EXPECT_EQ(c.wantKind, m.body->pixelKind);
        EXPECT_EQ(0u, m.body->transColor);
        EXPECT_EQ(0, m.body->alphaFlag);
        EXPECT_EQ(nullptr, m.body->runTable);
        ReleaseMemImage(&m);
    }
    Screen.depth = saved;
}

TEST(MemImage, OversizeAndBadArgumentsAreRefusedAndTheBodyIsReused)
{
    int before = GetAllocCount();
    struct Case {
        int width, height, pitch, kind, palette;
    } cases[] = {
        {0x40000000, 1, -1, 1},    // width x 4 past 32 bits
        {65536, 65536, -1, 1},     // pitch x height past 32 bits
        {0x7FFFFFF1, 1, -1, 2},    // row rounded up past 31 bits
        {1, 2, 0x40000000, 1},     // given pitch x height
        {0x7FFFFFBC, 1, 0x7FFFFFBC, 0, 1},   // (width + 5) for the run table
        {100, 1, 399, 1},          // pitch below the row
        {100, 1, -2, 1},
        {0, 1, -1, 1},
        {1, -1, -1, 1},
        {4, 4, -1, 4},             // no such kind
    };
    MEMIMG m = Empty();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << " pitch " << c.pitch);
        EXPECT_EQ(-1, CreateMemImage(&m, c.width, c.height, c.pitch, 0, c.kind, c.palette, 0, 1, nullptr));
        EXPECT_EQ(0, IsMemImageValid(&m));
        // The body stays for a retry and holds nothing.
        ASSERT_NE(nullptr, m.body);
        EXPECT_EQ(before + 1, GetAllocCount());
    }
    MemImgBody* body = m.body;
    ASSERT_EQ(0, CreateMemImage(&m, 8, 8, -1, 0, 1, 1, 0, 1, nullptr));
    EXPECT_EQ(body, m.body);
    ReleaseMemImage(&m);
    EXPECT_EQ(before, GetAllocCount());
}

TEST(MemImage, ViewsAddressTheirRectangleAndShareTheBody)
{
    int before = GetAllocCount();
    MEMIMG image = Empty();
    ASSERT_EQ(0, CreateMemImage(&image, 32, 32, -1, 0, 0, 0, 1, 1, nullptr));   // 4 bytes a pixel
    MEMIMG view = Empty();
    ASSERT_EQ(0, DeriveMemImage(&view, &image, 10, 10, 20, 20));
    EXPECT_EQ(2, image.body->refCount);
    EXPECT_EQ(image.body, view.body);
    EXPECT_EQ(20, view.width);
    EXPECT_EQ((uint8_t*)image.pixels + 10 * 128 + 40, view.pixels);
    EXPECT_EQ((uint8_t*)image.premulPixels + 10 * 128 + 40, view.premulPixels);
    Put(view, 0, 0, 0x00ABCDEF);
    EXPECT_EQ(0x00ABCDEFu, At(image, 10, 10));

    // A view of the view: offsets add up.
    MEMIMG inner = Empty();
    ASSERT_EQ(0, DeriveMemImage(&inner, &view, 19, 1, 1, 19));
    Put(inner, 0, 0, 0x1234);
    EXPECT_EQ(0x1234u, At(image, 29, 11));
    EXPECT_EQ(-1, DeriveMemImage(&inner, &view, 19, 1, 2, 1));
    ReleaseMemImage(&inner);

    MEMIMG outside = Empty();
    struct {
        int x, y, w, h;
    } refused[] = {{20, 20, 20, 20}, {-1, 0, 5, 5}, {0, 0, -1, 5}, {0, 0, 33, 1}, {1, 0x7FFFFFFF, 1, 1}};
    for (const auto& r : refused) {
        EXPECT_EQ(-1, DeriveMemImage(&outside, &image, r.x, r.y, r.w, r.h));
        EXPECT_EQ(0, IsMemImageValid(&outside));
    }
    EXPECT_EQ(2, image.body->refCount);

    // A view without a premultiplied copy has none.
    MEMIMG plain = Empty();
    ASSERT_EQ(0, CreateMemImage(&plain, 4, 4, -1, 0, 1, 0, 0, 0, nullptr));
    MEMIMG plainView = Empty();
    ASSERT_EQ(0, DeriveMemImage(&plainView, &plain, 1, 1, 2, 2));
    EXPECT_EQ(nullptr, plainView.premulPixels);
    ReleaseMemImage(&plainView);
    ReleaseMemImage(&plain);

    int held = GetAllocCount();
    ReleaseMemImage(&image);
    EXPECT_EQ(held, GetAllocCount());   // the view still holds the body
    EXPECT_EQ(1, view.body->refCount);
    ReleaseMemImage(&view);
    EXPECT_EQ(before, GetAllocCount());
}

TEST(MemImage, FillWritesTheClippedRectangleAtThePixelSize)
{
    struct Case {
        int kind, alpha;
        uint32_t value, written;
    } cases[] = {{2, 0, 0x123456AB, 0xAB}, {0, 0, 0x1234F81F, 0xF81F}, {1, 0, 0x80FF00FF, 0x80FF00FF},
                 {0, 1, 0x0180F81F, 0x0180F81F}, {3, 0, 0xFFFF1234, 0x1234}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        MEMIMG m = Empty();
        ASSERT_EQ(0, CreateMemImage(&m, 6, 5, -1, 0, c.kind, 0, c.alpha, 0, nullptr));
        ASSERT_EQ(0, FillMemImageRect(&m, nullptr, 0));
        RECT r = {4, -3, 9, 2};   // clipped to (4, 0, 6, 2)
        ASSERT_EQ(0, FillMemImageRect(&m, &r, c.value));
        for (int y = 0; y < 5; y++)
            for (int x = 0; x < 6; x++)
                EXPECT_EQ(x >= 4 && y < 2 ? c.written : 0u, At(m, x, y)) << x << "," << y;
        ReleaseMemImage(&m);
    }

    // Through a view, and a rectangle wholly outside writes nothing.
    MEMIMG m = Empty();
    ASSERT_EQ(0, CreateMemImage(&m, 8, 8, -1, 0, 1, 0, 0, 0, nullptr));
    FillMemImageRect(&m, nullptr, 1);
    MEMIMG view = Empty();
    ASSERT_EQ(0, DeriveMemImage(&view, &m, 2, 2, 3, 3));
    ASSERT_EQ(0, FillMemImageRect(&view, nullptr, 7));
    RECT outside[] = {{3, 0, 9, 2}, {-5, -5, 0, 3}, {0, 3, 3, 9}, {2, 2, 1, 1}};
    for (const RECT& o : outside)
        EXPECT_EQ(0, FillMemImageRect(&view, &o, 9));
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++)
            EXPECT_EQ(x >= 2 && x < 5 && y >= 2 && y < 5 ? 7u : 1u, At(m, x, y)) << x << "," << y;
    ReleaseMemImage(&view);
    ReleaseMemImage(&m);
}

TEST(MemImage, CopyConvertsBetweenKindsAndRefusesRectanglesOutside)
{
    MEMIMG source = Empty(), destination = Empty();
    ASSERT_EQ(0, CreateMemImage(&source, 4, 3, -1, 0, 1, 0, 0, 0, nullptr));
    ASSERT_EQ(0, CreateMemImage(&destination, 5, 5, -1, 0, 0, 0, 0, 0, nullptr));
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 4; x++)
            Put(source, x, y, 0xFF000000u | (uint32_t)(x * 0x40) << 16 | (uint32_t)(y * 0x50) << 8 | 0x18);
    FillMemImageRect(&destination, nullptr, 0xAAAA);

    RECT r = {1, 1, 4, 3};
    EXPECT_EQ(0, CopyMemImageRect(&destination, &source, &r, 2, 3));
    for (int y = 0; y < 5; y++)
        for (int x = 0; x < 5; x++) {
            uint32_t want = 0xAAAA;
            if (x >= 2 && y >= 3) {
                uint32_t red = (uint32_t)(x - 1) * 0x40, green = (uint32_t)(y - 2) * 0x50, blue = 0x18;
                want = (red >> 3) << 11 | (green >> 2) << 5 | blue >> 3;
            }
            EXPECT_EQ(want, At(destination, x, y)) << x << "," << y;
        }

    RECT tooWide = {0, 0, 4, 3};
    RECT leftOut = {-1, 0, 2, 2};
    EXPECT_EQ(-1, CopyMemImageRect(&destination, &source, &tooWide, 2, 0));
    EXPECT_EQ(-1, CopyMemImageRect(&destination, &source, &leftOut, 0, 0));
    EXPECT_EQ(-1, CopyMemImageRect(&destination, &source, nullptr, 0, 3));
    EXPECT_EQ(0xAAAAu, At(destination, 0, 0));
    EXPECT_EQ(0, CopyMemImageRect(&destination, &source, nullptr, 0, 0));   // whole source
    EXPECT_EQ(0x0003u, At(destination, 0, 0));
    ReleaseMemImage(&source);
    ReleaseMemImage(&destination);
}

TEST(MemImage, WholeTransferBuildsRunsByAlpha)
{
    MEMIMG m = Empty();
    ASSERT_EQ(0, CreateMemImage(&m, 3, 1, -1, 0, 1, 0, 1, 1, nullptr));
    RasterImage src = Argb(3, 1, {0x00102030, 0xFF405060, 0x80C0A0FF});
    TransferImageToMemImage(&src, nullptr, &m, 0, 0, 3, 1, 0, 0, 0);
    EXPECT_EQ(0x00102030u, At(m, 0, 0));
    EXPECT_EQ(0x80C0A0FFu, At(m, 2, 0));
    EXPECT_EQ(1, m.body->runTableValid);
    EXPECT_EQ(1, m.body->premulValid);
    std::vector<std::vector<uint8_t>> want = {{0x00, 0x40, 0x80, 0xC0}};
    EXPECT_EQ(want, RunRows(m));
    // Each colour byte times alpha, over 256.
    EXPECT_EQ(0x00000000u, PremulAt(m, 0, 0));
    EXPECT_EQ(0xFF3F4F5Fu, PremulAt(m, 1, 0));
    EXPECT_EQ(0x8060507Fu, PremulAt(m, 2, 0));
    FreeRasterImage(&src);
    ReleaseMemImage(&m);

    // Long runs split at 64 and never cross a row end.
    ASSERT_EQ(0, CreateMemImage(&m, 70, 2, -1, 0, 1, 0, 1, 1, nullptr));
    std::vector<uint32_t> px(140, 0xFF000000);
    for (int x = 0; x < 70; x++)
        px[70 + x] = x < 65 ? 0 : 0x7F000000;
    src = Argb(70, 2, px);
    TransferImageToMemImage(&src, nullptr, &m, 0, 0, 70, 2, 0, 0, 0);
    want = {{0x7F, 0x45, 0xC0}, {0x3F, 0x00, 0x84, 0xC0}};
    EXPECT_EQ(want, RunRows(m));
    FreeRasterImage(&src);
    ReleaseMemImage(&m);
}

TEST(MemImage, PremultipliedR5G6B5KeepsEachFieldInPlace)
{
    MEMIMG m = Empty();
    ASSERT_EQ(0, CreateMemImage(&m, 4, 1, -1, 0, 0, 0, 1, 1, nullptr));
    RasterImage src = Argb(4, 1, {0x80FFFFFF, 0x40F80408, 0xFFF8FCF8, 0x00FFFFFF});
    TransferImageToMemImage(&src, nullptr, &m, 0, 0, 4, 1, 0, 0, 0);
    for (int x = 0; x < 4; x++) {
        uint32_t v = At(m, x, 0);
        uint32_t a = (v >> 16) & 0xFF;
        uint32_t red = (v >> 11) & 0x1F, green = (v >> 5) & 0x3F, blue = v & 0x1F;
        uint32_t want = (red * a / 256) << 11 | (green * a / 256) << 5 | (blue * a / 256) | a << 16;
        EXPECT_EQ(want, PremulAt(m, x, 0)) << x;
    }
    EXPECT_EQ(0x80u, (At(m, 0, 0) >> 16) & 0xFF);
    EXPECT_EQ(0xFFFFu, At(m, 0, 0) & 0xFFFF);
    EXPECT_EQ(0x00807BEFu, PremulAt(m, 0, 0));
    std::vector<std::vector<uint8_t>> want = {{0x81, 0x40, 0x00, 0xC0}};
    EXPECT_EQ(want, RunRows(m));
    FreeRasterImage(&src);
    ReleaseMemImage(&m);
}

TEST(MemImage, KeyedR5G6B5RunsMarkExactlyTheTransparentValue)
{
    MEMIMG m = Empty();
    ASSERT_EQ(0, CreateMemImage(&m, 5, 2, -1, 0xF81F, 0, 0, 0, 1, nullptr));
    RasterImage src = Rgb24(5, 2, {0xFF00FF, 0xFF00FF, 0x000000, 0xF800F8, 0xFF00FF,
                                   0x000000, 0xFF00FE, 0xFF00FF, 0xFFFFFF, 0xFFFFFF});
    TransferImageToMemImage(&src, nullptr, &m, 0, 0, 5, 2, 0, 0, 0);
    // 0xF800F8 and 0xFF00FE reduce to 0xF81F too: the table goes by the
    // stored value.
    EXPECT_EQ(0xF81Fu, At(m, 3, 0));
    std::vector<std::vector<uint8_t>> want = {{0x01, 0x40, 0x01, 0xC0}, {0x40, 0x01, 0x41, 0xC0}};
    EXPECT_EQ(want, RunRows(m));
    EXPECT_EQ(1, m.body->runTableValid);
    EXPECT_EQ(0, m.body->premulValid);
    FreeRasterImage(&src);
    ReleaseMemImage(&m);
}

// The body keeps the transparent colour as a pixel value; the converter's
// key is a 0x00RRGGBB colour, so the transfer must hand over the colour.
TEST(MemImage, KeyToAlphaUsesTheTransparentColourNotItsPixelValue)
{
    struct Case {
        int kind;
    } cases[] = {{0}, {1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        const ColorFormat* f = GetPresetColorFormat(c.kind, 1, 0);
        uint32_t trans = ColorToPixelValue(f, 255, 0, 255, 255);
        MEMIMG m = Empty();
        ASSERT_EQ(0, CreateMemImage(&m, 4, 1, -1, trans, c.kind, 0, 1, 1, nullptr));
        RasterImage src = Rgb24(4, 1, {0xFF00FF, 0x00FF00, 0xFF00FF, 0xFF00FE});
        TransferImageToMemImage(&src, nullptr, &m, 0, 0, 4, 1, 0, 0, 1);
        uint32_t alphaShift = c.kind == 0 ? 16 : 24;
        EXPECT_EQ(0u, (At(m, 0, 0) >> alphaShift) & 0xFF);
        EXPECT_EQ(255u, (At(m, 1, 0) >> alphaShift) & 0xFF);
        EXPECT_EQ(0u, (At(m, 2, 0) >> alphaShift) & 0xFF);
        std::vector<std::vector<uint8_t>> want = {{0x00, 0x40, 0x00, 0x40, 0xC0}};
        EXPECT_EQ(want, RunRows(m));

        // Without the flag every pixel is opaque.
        TransferImageToMemImage(&src, nullptr, &m, 0, 0, 4, 1, 0, 0, 0);
        want = {{0x43, 0xC0}};
        EXPECT_EQ(want, RunRows(m));
        FreeRasterImage(&src);
        ReleaseMemImage(&m);
    }
}

TEST(MemImage, PaletteTransferFillsThePaletteAndCountsIndices)
{
    RasterImage src = Raster(4, 2, 8, 0xFF0000, 0xFF00, 0xFF, 0, {3, 0, 0, 5, 5, 5, 3, 0});
    for (int i = 0; i < 256; i++)
        src.format.palette[i] = 0xAB000000u | (uint32_t)i * 0x010305u;
    struct Case {
        int kind;
    } cases[] = {{0}, {1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        MEMIMG m = Empty();
        ASSERT_EQ(0, CreateMemImage(&m, 4, 2, -1, 0, c.kind, 1, 1, 1, nullptr));
        EXPECT_EQ(nullptr, m.premulPixels);
        TransferImageToMemImage(&src, nullptr, &m, 0, 0, 4, 2, 0, 0, 0);
        EXPECT_EQ(6, m.body->paletteCount);
        EXPECT_EQ(3u, At(m, 0, 0));
        EXPECT_EQ(5u, At(m, 3, 0));
        const uint8_t* block = (const uint8_t*)m.body->paletteBlock;
        size_t size = c.kind == 0 ? 512 : 1024;
        for (int i = 0; i < 256; i++) {
            uint32_t e = src.format.palette[i];
            uint32_t red = (e >> 16) & 0xFF, green = (e >> 8) & 0xFF, blue = e & 0xFF;
            uint32_t entry = 0;
            if (c.kind == 0) {
                uint16_t e;
                memcpy(&e, block + 2 * i, 2);
                entry = e;
                EXPECT_EQ((red >> 3) << 11 | (green >> 2) << 5 | blue >> 3, entry) << i;
            } else {
                memcpy(&entry, block + 4 * i, 4);
                EXPECT_EQ(red << 16 | green << 8 | blue, entry) << i;
            }
        }
        EXPECT_EQ(0, memcmp(block, m.body->paletteCopy, size));
        std::vector<std::vector<uint8_t>> want = {{0x40, 0x01, 0x40, 0xC0}, {0x42, 0x00, 0xC0}};
        EXPECT_EQ(want, RunRows(m));
        ReleaseMemImage(&m);
    }
    FreeRasterImage(&src);
}

// The run table classes palette pixels by the transparent index; a new index
// after the table was built must not leave the old classes behind.
TEST(MemImage, ChangingThePaletteTransparentIndexRebuildsTheRuns)
{
    RasterImage src = Raster(4, 1, 8, 0xFF0000, 0xFF00, 0xFF, 0, {3, 0, 0, 3});
    MEMIMG m = Empty();
    ASSERT_EQ(0, CreateMemImage(&m, 4, 1, -1, 0, 1, 1, 0, 1, nullptr));
    TransferImageToMemImage(&src, nullptr, &m, 0, 0, 4, 1, 0, 0, 0);
    std::vector<std::vector<uint8_t>> want = {{0x40, 0x01, 0x40, 0xC0}};
    EXPECT_EQ(want, RunRows(m));
    ASSERT_EQ(0, SetMemImageTransColor(&m, 3));
    EXPECT_EQ(3u, m.body->transColor);
    EXPECT_EQ(1, m.body->runTableValid);
    want = {{0x00, 0x41, 0x00, 0xC0}};
    EXPECT_EQ(want, RunRows(m));

    // A table that is not valid stays so.
    RECT r = {0, 0, 1, 1};
    FillMemImageRect(&m, &r, 0);
    EXPECT_EQ(0, m.body->runTableValid);
    ASSERT_EQ(0, SetMemImageTransColor(&m, 0));
    EXPECT_EQ(0, m.body->runTableValid);
    MEMIMG empty = Empty();
    EXPECT_EQ(-1, SetMemImageTransColor(&empty, 0));
    FreeRasterImage(&src);
    ReleaseMemImage(&m);
}

TEST(MemImage, PartialTransferLeavesTheAccelerationsInvalid)
{
    MEMIMG m = Empty();
    ASSERT_EQ(0, CreateMemImage(&m, 4, 4, -1, 0, 1, 0, 1, 1, nullptr));
    RasterImage whole = Argb(4, 4, std::vector<uint32_t>(16, 0xFF112233));
    TransferImageToMemImage(&whole, nullptr, &m, 0, 0, 4, 4, 0, 0, 0);
    EXPECT_EQ(1, m.body->runTableValid);
    EXPECT_EQ(1, m.body->premulValid);

    RasterImage part = Argb(2, 2, {0x01020304, 0x05060708, 0x090A0B0C, 0x0D0E0F10});
    TransferImageToMemImage(&part, nullptr, &m, 1, 0, 1, 2, 3, 2, 0);
    EXPECT_EQ(0, m.body->runTableValid);
    EXPECT_EQ(0, m.body->premulValid);
    EXPECT_EQ(0x05060708u, At(m, 3, 2));
    EXPECT_EQ(0x0D0E0F10u, At(m, 3, 3));
    EXPECT_EQ(0xFF112233u, At(m, 2, 2));

    // A whole-size transfer into a view smaller than the body is partial too.
    MEMIMG view = Empty();
    ASSERT_EQ(0, DeriveMemImage(&view, &m, 1, 1, 2, 2));
    TransferImageToMemImage(&part, nullptr, &view, 0, 0, 2, 2, 0, 0, 0);
    EXPECT_EQ(0x01020304u, At(m, 1, 1));
    EXPECT_EQ(0, m.body->runTableValid);

    // Rectangles that leave either image are refused and write nothing.
    FillMemImageRect(&m, nullptr, 0x11111111);
    struct {
        int sx, sy, w, h, dx, dy;
    } refused[] = {{1, 0, 2, 1, 0, 0}, {0, 0, 2, 2, 3, 0}, {0, 0, 2, 2, -1, 0}, {-1, 0, 1, 1, 0, 0},
                   {0, 0, 0, 1, 0, 0}, {0, 1, 1, 0x7FFFFFFF, 0, 0}};
    for (const auto& r : refused)
        TransferImageToMemImage(&part, nullptr, &m, r.sx, r.sy, r.w, r.h, r.dx, r.dy, 0);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++)
            EXPECT_EQ(0x11111111u, At(m, x, y)) << x << "," << y;
    ReleaseMemImage(&view);
    FreeRasterImage(&whole);
    FreeRasterImage(&part);
    ReleaseMemImage(&m);
}

TEST(MemImage, AlphaImageSuppliesAlphaThroughItsRedChannel)
{
    MEMIMG m = Empty();
    ASSERT_EQ(0, CreateMemImage(&m, 3, 1, -1, 0, 1, 0, 1, 1, nullptr));
    RasterImage colour = Rgb24(3, 1, {0x102030, 0x405060, 0x708090});
    RasterImage alpha = Rgb24(3, 1, {0x000000, 0xFF0000, 0x40FFFF});
    TransferImageToMemImage(&colour, &alpha, &m, 0, 0, 3, 1, 0, 0, 1);
    EXPECT_EQ(0x00102030u, At(m, 0, 0));
    EXPECT_EQ(0xFF405060u, At(m, 1, 0));
    EXPECT_EQ(0x40708090u, At(m, 2, 0));
    std::vector<std::vector<uint8_t>> want = {{0x00, 0x40, 0x80, 0xC0}};
    EXPECT_EQ(want, RunRows(m));

    // An alpha image smaller than the rectangle is refused.
    RasterImage small = Rgb24(2, 1, {0, 0});
    FillMemImageRect(&m, nullptr, 0);
    TransferImageToMemImage(&colour, &small, &m, 0, 0, 3, 1, 0, 0, 0);
    EXPECT_EQ(0u, At(m, 1, 0));
    FreeRasterImage(&colour);
    FreeRasterImage(&alpha);
    FreeRasterImage(&small);
    ReleaseMemImage(&m);
}

TEST(MemImage, SingleChannelKindsTakeTheSourceRed)
{
    RasterImage src = Rgb24(3, 1, {0x12FFFF, 0x800000, 0xFF0102});
    MEMIMG m = Empty();
    ASSERT_EQ(0, CreateMemImage(&m, 4, 1, -1, 0, 2, 0, 0, 1, nullptr));
    FillMemImageRect(&m, nullptr, 0x55);
    TransferImageToMemImage(&src, nullptr, &m, 0, 0, 3, 1, 1, 0, 0);
    EXPECT_EQ(0x55u, At(m, 0, 0));
    EXPECT_EQ(0x12u, At(m, 1, 0));
    EXPECT_EQ(0x80u, At(m, 2, 0));
    EXPECT_EQ(0xFFu, At(m, 3, 0));
    ReleaseMemImage(&m);
    FreeRasterImage(&src);
}
