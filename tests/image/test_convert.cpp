// The pixel-format converter: every path against its own rule, with guard
// bytes around the destination rectangle.
#include <gtest/gtest.h>
#include <string.h>

#include <functional>
#include <vector>

#include "image/convert.h"
#include "runtime/system_state.h"

namespace {

ColorFormat Format(int depth, uint32_t r, uint32_t g, uint32_t b, uint32_t a)
{
    ColorFormat f;
    memset(&f, 0, sizeof f);
    MakeColorFormat(&f, depth, r, g, b, a);
    return f;
}

uint32_t Random(uint32_t& seed)
{
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
}

ColorFormat Pal8()
{
    ColorFormat f = Format(8, 0xFF0000, 0xFF00, 0xFF, 0);
    uint32_t seed = 7;
    for (int i = 0; i < 256; i++)
        f.palette[i] = Random(seed) & 0xFFFFFF;
    return f;
}

const ColorFormat PAL8 = Pal8();
const ColorFormat RGB24 = Format(24, 0xFF0000, 0xFF00, 0xFF, 0);
const ColorFormat X888 = Format(32, 0xFF0000, 0xFF00, 0xFF, 0);
const ColorFormat A888 = Format(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
const ColorFormat R565 = Format(16, 0xF800, 0x7E0, 0x1F, 0);
const ColorFormat X555 = Format(16, 0x7C00, 0x3E0, 0x1F, 0);
const ColorFormat A555 = Format(16, 0x7C00, 0x3E0, 0x1F, 0x8000);
const ColorFormat A444 = Format(16, 0xF00, 0xF0, 0xF, 0xF000);
const ColorFormat X444 = Format(16, 0xF00, 0xF0, 0xF, 0);
const ColorFormat R332 = Format(8, 0xE0, 0x1C, 0x3, 0);
const ColorFormat B888 = Format(32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000);   // A8B8G8R8
const ColorFormat ONE8 = Format(8, 0xFF, 0xFF, 0xFF, 0xFF);               // one channel

struct Options {
    int mirror = 0, keyToAlpha = 0, dither = 0, colorOff = 0, alphaFromRed = 0, skipKey = 0, remap = 0;
    uint32_t key = 0;
    const std::vector<uint8_t>* alpha = nullptr;   // same layout as the source
    const ColorFormat* alphaFormat = nullptr;
};

// A source of W x H pixels, converted from its rectangle (1, 1)-(1 + w, 1 + h)
// to (2, 1) in a destination whose every byte starts as the guard 0xCD.
struct Conversion {
    static const int W = 9, H = 4, w = 7, h = 3, dx = 2, dy = 1;
    const ColorFormat& sf;
    const ColorFormat& df;
    std::vector<uint8_t> src;
    std::vector<uint8_t> dst;
    int srcPitch, dstPitch;
    int result = 0;

    Conversion(const ColorFormat& source, const ColorFormat& destination, uint32_t seed = 1)
        : sf(source), df(destination)
    {
        srcPitch = W * sf.bytesPerPixel + 3;   // deliberately not a multiple of 4
        src.resize((size_t)srcPitch * H);
        for (uint8_t& b : src)
            b = (uint8_t)Random(seed);
        dstPitch = (dx + w + 2) * df.bytesPerPixel + 1;
        dst.assign((size_t)dstPitch * (dy + h + 1), 0xCD);
    }
    uint32_t Source(int i, int j) const
    {
        const uint8_t* p = &src[(size_t)(1 + j) * srcPitch + (size_t)(1 + i) * sf.bytesPerPixel];
        uint32_t v = 0;
        memcpy(&v, p, sf.bytesPerPixel);
        return v;
    }
    void SetSource(int i, int j, uint32_t v)
    {
        memcpy(&src[(size_t)(1 + j) * srcPitch + (size_t)(1 + i) * sf.bytesPerPixel], &v, sf.bytesPerPixel);
    }
    uint32_t Destination(int i, int j) const
    {
        const uint8_t* p = &dst[(size_t)(dy + j) * dstPitch + (size_t)(dx + i) * df.bytesPerPixel];
        uint32_t v = 0;
        memcpy(&v, p, df.bytesPerPixel);
        return v;
    }
    int Convert(const Options& o = Options())
    {
        ConvertRect rect = {1, 1, 1 + w, 1 + h};
        result = ConvertImageBlt(dst.data(), dstPitch, &df, src.data(), srcPitch, &sf,
                                 o.alpha ? o.alpha->data() : nullptr, srcPitch, o.alphaFormat, dx, dy, &rect,
                                 o.mirror, o.keyToAlpha, o.key, o.dither, o.colorOff, o.alphaFromRed, o.skipKey,
                                 o.remap);
        return result;
    }
    // Every byte outside the destination rectangle still holds the guard.
    void ExpectGuardsIntact() const
    {
        for (int y = 0; y < (int)(dst.size() / dstPitch); y++)
            for (int x = 0; x < dstPitch; x++) {
                bool inside = y >= dy && y < dy + h && x >= dx * df.bytesPerPixel &&
                              x < (dx + w) * df.bytesPerPixel;
                if (!inside) {
                    ASSERT_EQ(0xCD, dst[(size_t)y * dstPitch + x]) << "guard byte " << x << "," << y;
                }
            }
    }
    // Destination pixel (i, j) equals rule(source pixel (i, j)); mirrored rows run backwards.
    void Expect(const std::function<uint32_t(uint32_t)>& rule, bool mirrored = false) const
    {
        ExpectGuardsIntact();
        uint32_t mask = df.bytesPerPixel == 4 ? 0xFFFFFFFF : (1u << (8 * df.bytesPerPixel)) - 1;
        for (int j = 0; j < h; j++)
            for (int i = 0; i < w; i++) {
                int di = mirrored ? w - 1 - i : i;
                ASSERT_EQ(rule(Source(i, j)) & mask, Destination(di, j))
                    << "pixel " << i << "," << j << " source " << std::hex << Source(i, j);
            }
    }
};

uint32_t Field(uint32_t v, uint32_t mask, int shift) { return (v & mask) >> shift; }

// A channel of sw bits at its full-range value in dw bits.
uint32_t Scale(uint32_t v, int sw, int dw)
{
    if (sw == 0)
        return 0;
    if (sw >= dw)
        return v >> (sw - dw);
    return (uint32_t)((uint64_t)v * ((1ull << dw) - 1) / ((1ull << sw) - 1));
}

// The general path's rule without dither or keys: each channel scaled to the
// destination's width (when the red or green widths differ), alpha all ones
// when the source has none, the unused bits set for 16 and 32 bits.
uint32_t GeneralRule(const ColorFormat& sf, const ColorFormat& df, uint32_t raw)
{
    uint32_t v = sf.bytesPerPixel == 1 ? sf.palette[raw & 0xFF] : raw;
    bool rescale = sf.redWidth != df.redWidth || sf.greenWidth != df.greenWidth;
    auto channel = [&](uint32_t mask, int shift, int sw, int dw) {
        uint32_t f = Field(v, mask, shift);
        return rescale ? Scale(f, sw, dw) : f;
    };
    uint32_t r = channel(sf.redMask, sf.redShift, sf.redWidth, df.redWidth);
    uint32_t g = channel(sf.greenMask, sf.greenShift, sf.greenWidth, df.greenWidth);
    uint32_t b = channel(sf.blueMask, sf.blueShift, sf.blueWidth, df.blueWidth);
    uint32_t a;
    if (!sf.alphaMask)
        a = df.alphaMask >> df.alphaShift;
    else if (!df.alphaMask)
        a = 0;
    else
        a = channel(sf.alphaMask, sf.alphaShift, sf.alphaWidth, df.alphaWidth);
    uint32_t out = r << df.redShift | g << df.greenShift | b << df.blueShift | a << df.alphaShift;
    if (df.bytesPerPixel == 2 || df.bytesPerPixel == 4)
        out |= df.unusedMask;
    return out;
}

uint32_t Entry(uint32_t index) { return PAL8.palette[index & 0xFF]; }
uint32_t R8(uint32_t c) { return (c >> 16) & 0xFF; }
uint32_t G8(uint32_t c) { return (c >> 8) & 0xFF; }
uint32_t B8(uint32_t c) { return c & 0xFF; }
uint32_t To565(uint32_t c) { return (R8(c) >> 3) << 11 | (G8(c) >> 2) << 5 | B8(c) >> 3; }
uint32_t To555(uint32_t c) { return (R8(c) >> 3) << 10 | (G8(c) >> 3) << 5 | B8(c) >> 3 | 0x8000; }
// R5G6B5 widened by shifting only (the fixed pairs' rule).
uint32_t Shifted565(uint32_t p) { return ((p >> 11) & 31) << 19 | ((p >> 5) & 63) << 10 | (p & 31) << 3; }

} // namespace

TEST(ConvertImageBlt, FixedPairsFollowTheirOwnFormulas)
{
    struct Case {
        const char* name;
        const ColorFormat& src;
        const ColorFormat& dst;
        std::function<uint32_t(uint32_t)> rule;
    } cases[] = {
        {"pal8 to R5G6B5", PAL8, R565, [](uint32_t i) { return To565(Entry(i)); }},
        {"pal8 to X1R5G5B5", PAL8, X555, [](uint32_t i) { return To555(Entry(i)); }},
        {"pal8 to X8R8G8B8", PAL8, X888, [](uint32_t i) { return Entry(i) | 0xFF000000; }},
        {"24 to R5G6B5", RGB24, R565, [](uint32_t p) { return To565(p); }},
        {"24 to X1R5G5B5", RGB24, X555, [](uint32_t p) { return To555(p); }},
        {"24 to X8R8G8B8", RGB24, X888, [](uint32_t p) { return p | 0xFF000000; }},
        {"24 to A8R8G8B8", RGB24, A888, [](uint32_t p) { return p | 0xFF000000; }},
        {"X8R8G8B8 to R5G6B5", X888, R565, [](uint32_t p) { return To565(p); }},
        {"R5G6B5 to 24", R565, RGB24, [](uint32_t p) { return Shifted565(p); }},
        {"R5G6B5 to X8R8G8B8", R565, X888, [](uint32_t p) { return Shifted565(p); }},   // top byte 0
        {"R5G6B5 to X1R5G5B5", R565, X555, [](uint32_t p) { return (p >> 11) << 10 | ((p >> 6) & 31) << 5 | (p & 31); }},
        {"X1R5G5B5 to R5G6B5", X555, R565,
         [](uint32_t p) { return ((p >> 10) & 31) << 11 | ((p >> 5) & 31) << 6 | (p & 0x20) | (p & 31); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Conversion run(c.src, c.dst);
        EXPECT_EQ(0, run.Convert());
        run.Expect(c.rule);
    }
}

TEST(ConvertImageBlt, RepackingSixteenBitRowsGivesTheSameResultWithAndWithoutMmx)
{
    int saved = SystemState.kept.mmx;
    for (int mmx : {0, 1}) {
        SystemState.kept.mmx = mmx;
        for (int width : {1, 2, 3, 4, 5, 7, 8}) {
            std::vector<uint16_t> src(width), dst(width + 1, 0xCDCD);
            uint32_t seed = (uint32_t)width;
            for (uint16_t& p : src)
                p = (uint16_t)Random(seed);
            ConvertRect rect = {0, 0, width, 1};
            ASSERT_EQ(0, ConvertImageBlt(dst.data(), 0, &X555, src.data(), 0, &R565, nullptr, 0, nullptr, 0, 0, &rect,
                                         0, 0, 0, 0, 0, 0, 0, 0));
            for (int i = 0; i < width; i++)
                ASSERT_EQ((src[i] & 0x1F) | ((src[i] & 0xFFC0) >> 1), dst[i]) << mmx << " " << width << " " << i;
            EXPECT_EQ(0xCDCD, dst[width]);
            std::vector<uint16_t> back(width + 1, 0xCDCD);
            ASSERT_EQ(0, ConvertImageBlt(back.data(), 0, &R565, dst.data(), 0, &X555, nullptr, 0, nullptr, 0, 0, &rect,
                                         0, 0, 0, 0, 0, 0, 0, 0));
            for (int i = 0; i < width; i++)
                ASSERT_EQ((dst[i] & 0x3F) | ((dst[i] & 0x7FE0) << 1), back[i]);
            EXPECT_EQ(0xCDCD, back[width]);
        }
    }
    SystemState.kept.mmx = saved;
}

TEST(ConvertImageBlt, GeneralPathRescalesEachChannel)
{
    struct Case {
        const char* name;
        const ColorFormat& src;
        const ColorFormat& dst;
    } cases[] = {
        {"R5G6B5 to A8R8G8B8", R565, A888},
        {"X1R5G5B5 to A8R8G8B8", X555, A888},
        {"A1R5G5B5 to A8R8G8B8", A555, A888},
        {"A8R8G8B8 to A4R4G4B4", A888, A444},
        {"A8R8G8B8 to X4R4G4B4", A888, X444},
        {"A4R4G4B4 to A8R8G8B8", A444, A888},
        {"A8R8G8B8 to A1R5G5B5", A888, A555},
        {"24 to A4R4G4B4", RGB24, A444},
        {"pal8 to A8R8G8B8", PAL8, A888},
        {"pal8 to A4R4G4B4", PAL8, A444},
        {"A8R8G8B8 to 24", A888, RGB24},
        {"A8R8G8B8 to A8B8G8R8", A888, B888},
        {"X8R8G8B8 to X1R5G5B5", X888, X555},
        {"24 to R3G3B2", RGB24, R332},
        {"R5G6B5 to R3G3B2", R565, R332},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Conversion run(c.src, c.dst);
        EXPECT_EQ(0, run.Convert());
        run.Expect([&](uint32_t p) { return GeneralRule(c.src, c.dst, p); });
    }

    // The same pixel by the general path and by a fixed pair.
    uint16_t white = 0xFFFF;
    uint32_t out = 0;
    ConvertRect one = {0, 0, 1, 1};
    ConvertImageBlt(&out, 4, &A888, &white, 2, &R565, nullptr, 0, nullptr, 0, 0, &one, 0, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(0xFFFFFFFFu, out);
    ConvertImageBlt(&out, 4, &X888, &white, 2, &R565, nullptr, 0, nullptr, 0, 0, &one, 0, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(0x00F8FCF8u, out);
    // A mirrored copy leaves the fixed pairs: the general path widens fully.
    ConvertImageBlt(&out, 4, &X888, &white, 2, &R565, nullptr, 0, nullptr, 0, 0, &one, 1, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(0xFFFFFFFFu, out);
}

TEST(ConvertImageBlt, EmptyRectanglesAndCompressedFormatsAreRefused)
{
    Conversion run(A888, A888);
    uint8_t before = run.dst[0];
    ConvertRect rects[] = {{1, 1, 1, 6}, {1, 1, 6, 1}, {5, 1, 1, 3}};
    for (const ConvertRect& r : rects)
        EXPECT_EQ(-1, ConvertImageBlt(run.dst.data(), run.dstPitch, &A888, run.src.data(), run.srcPitch, &A888,
                                      nullptr, 0, nullptr, 0, 0, &r, 0, 0, 0, 0, 0, 0, 0, 0));
    run.ExpectGuardsIntact();
    EXPECT_EQ(before, run.dst[0]);

    ColorFormat dxt = A888;
    dxt.compression = COLOR_COMPRESSION_DXT5;
    ConvertRect r = {0, 0, 2, 2};
    EXPECT_EQ(-1, ConvertImageBlt(run.dst.data(), run.dstPitch, &A888, run.src.data(), run.srcPitch, &dxt, nullptr, 0,
                                  nullptr, 0, 0, &r, 0, 0, 0, 0, 0, 0, 0, 0));
    run.ExpectGuardsIntact();
}

TEST(ConvertImageBlt, SameFormatCopiesRowsMirrorsAndSkipsTheKey)
{
    for (const ColorFormat* f : {&X888, &RGB24, &R565, &PAL8}) {
        SCOPED_TRACE(f->bitDepth);
        Conversion plain(*f, *f);
        EXPECT_GE(plain.Convert(), 0);
        plain.Expect([](uint32_t p) { return p; });

        Options mirror;
        mirror.mirror = 1;
        Conversion mirrored(*f, *f);
        EXPECT_GE(mirrored.Convert(mirror), 0);
        mirrored.Expect([](uint32_t p) { return p; }, true);
    }

    // Skip key: pixels equal to the key (cut to the pixel size) stay as they were.
    Conversion run(R565, R565);
    run.SetSource(1, 0, 0x1234);
    run.SetSource(5, 2, 0x1234);
    Options skip;
    skip.skipKey = 1;
    skip.key = 0xABCD1234;
    EXPECT_EQ(0, run.Convert(skip));
    run.ExpectGuardsIntact();
    EXPECT_EQ(0xCDCDu, run.Destination(1, 0));
    EXPECT_EQ(0xCDCDu, run.Destination(5, 2));
    EXPECT_EQ(run.Source(0, 0), run.Destination(0, 0));
    // The mirror flag switches the skip off.
    skip.mirror = 1;
    Conversion mirrored(R565, R565);
    mirrored.SetSource(1, 0, 0x1234);
    EXPECT_EQ(0, mirrored.Convert(skip));
    EXPECT_EQ(0x1234u, mirrored.Destination(Conversion::w - 2, 0));

    // The general path skips on the raw value too (8-bit: the index).
    Conversion general(PAL8, A888);
    general.SetSource(2, 1, 77);
    Options skip8;
    skip8.skipKey = 1;
    skip8.key = 0x1234564D;   // cut to 8 bits: 77
    EXPECT_EQ(0, general.Convert(skip8));
    EXPECT_EQ(0xCDCDCDCDu, general.Destination(2, 1));
    EXPECT_EQ(GeneralRule(PAL8, A888, general.Source(0, 0)), general.Destination(0, 0));
}

TEST(ConvertImageBlt, PaletteDestinations)
{
    // 8 to 8 copies the indices and reports the highest one.
    Conversion run(PAL8, PAL8);
    for (int j = 0; j < Conversion::h; j++)
        for (int i = 0; i < Conversion::w; i++)
            run.SetSource(i, j, (uint32_t)(i + j * 10));
    EXPECT_EQ(26, run.Convert());
    run.Expect([](uint32_t p) { return p; });

    // Same palettes with the remap flag: still a plain copy.
    Options remap;
    remap.remap = 1;
    Conversion same(PAL8, PAL8);
    EXPECT_GE(same.Convert(remap), 0);
    same.Expect([](uint32_t p) { return p; });

    // Different palettes: each index becomes the nearest destination colour.
    ColorFormat reversed = PAL8;
    for (int i = 0; i < 256; i++)
        reversed.palette[i] = PAL8.palette[255 - i];
    Conversion remapped(PAL8, reversed);
    EXPECT_EQ(0, remapped.Convert(remap));
    remapped.Expect([&](uint32_t p) {
        uint32_t e = Entry(p);
        return ColorToPixelValue(&reversed, R8(e), G8(e), B8(e), 0);
    });

    // Direct sources search the palette with 8-bit channels.
    ColorFormat grey = PAL8;
    SetColorFormatGrey8(&grey);
    Conversion fromRgb(RGB24, grey);
    EXPECT_EQ(0, fromRgb.Convert());
    fromRgb.Expect([&](uint32_t p) { return ColorToPixelValue(&grey, R8(p), G8(p), B8(p), 0); });
    Conversion from565(R565, grey);
    for (int i = 0; i < Conversion::w; i++)
        from565.SetSource(i, 0, 0xFFFF);
    EXPECT_EQ(0, from565.Convert());
    EXPECT_EQ(255u, from565.Destination(3, 0));   // white, not the raw 31
}

TEST(ConvertImageBlt, OrderedAndRunningErrorDither)
{
    // Red 0x18 is 1 in four bits with 8 dropped: the matrix value decides.
    Conversion run(A888, A444);
    for (int j = 0; j < Conversion::h; j++)
        for (int i = 0; i < Conversion::w; i++)
            run.SetSource(i, j, 0xFF180000);
    Options ordered;
    ordered.dither = CONVERT_DITHER_ORDERED;
    EXPECT_EQ(0, run.Convert(ordered));
    run.ExpectGuardsIntact();
    auto red = [&](int i, int j) { return (run.Destination(i, j) >> 8) & 0xF; };
    EXPECT_EQ(2u, red(0, 0));   // threshold 0
    EXPECT_EQ(1u, red(1, 0));   // threshold 8 is not below 8
    EXPECT_EQ(2u, red(2, 0));   // threshold 2
    EXPECT_EQ(1u, red(0, 1));   // threshold 12
    EXPECT_EQ(2u, red(1, 1));   // threshold 4
    EXPECT_EQ(0xFu, run.Destination(0, 0) >> 12);   // alpha 0xFF: no dropped bits to add
    // The matrix counts from the rectangle's first pixel: (4, 0) repeats (0, 0).
    EXPECT_EQ(red(0, 0), red(4, 0));

    // Running error: 8 of 15 dropped per pixel carries on every other pixel,
    // across rows too.
    Conversion error(A888, A444);
    for (int j = 0; j < Conversion::h; j++)
        for (int i = 0; i < Conversion::w; i++)
            error.SetSource(i, j, 0xFF180000);
    Options running;
    running.dither = CONVERT_DITHER_ERROR;
    EXPECT_EQ(0, error.Convert(running));
    std::vector<uint32_t> reds;
    for (int j = 0; j < Conversion::h; j++)
        for (int i = 0; i < Conversion::w; i++)
            reds.push_back((error.Destination(i, j) >> 8) & 0xF);
    for (size_t k = 0; k < reds.size(); k++)
        EXPECT_EQ(k % 2 ? 2u : 1u, reds[k]) << k;

    // A carry out of the top stays at the maximum.
    Conversion top(A888, A444);
    for (int i = 0; i < Conversion::w; i++)
        top.SetSource(i, 0, 0xFFFFFFFF);
    EXPECT_EQ(0, top.Convert(ordered));
    EXPECT_EQ(0xFFFFu, top.Destination(0, 0));
}

TEST(ConvertImageBlt, AlphaImageSuppliesAlphaFromItsRedChannel)
{
    Conversion run(PAL8, A888);
    std::vector<uint8_t> alpha(run.src.size());
    ColorFormat alphaGrey = PAL8;
    SetColorFormatGrey8(&alphaGrey);
    uint32_t seed = 99;
    for (uint8_t& b : alpha)
        b = (uint8_t)Random(seed);
    Options o;
    o.alpha = &alpha;
    o.alphaFormat = &alphaGrey;
    EXPECT_EQ(0, run.Convert(o));
    run.ExpectGuardsIntact();
    for (int j = 0; j < Conversion::h; j++)
        for (int i = 0; i < Conversion::w; i++) {
            uint32_t expectedAlpha = alpha[(size_t)(1 + j) * run.srcPitch + 1 + i];
            EXPECT_EQ(Entry(run.Source(i, j)) | expectedAlpha << 24, run.Destination(i, j));
        }

    // A 4-bit alpha destination narrows the alpha image's 8 bits.
    Conversion narrow(RGB24, A444);
    std::vector<uint8_t> alpha24(narrow.src.size(), 0x9F);
    ColorFormat alpha24Format = RGB24;
    Options o24;
    o24.alpha = &alpha24;
    o24.alphaFormat = &alpha24Format;
    EXPECT_EQ(0, narrow.Convert(o24));
    EXPECT_EQ(0x9u, narrow.Destination(0, 0) >> 12);

    // A source with alpha of its own ignores the alpha image.
    Conversion own(A888, A888);
    EXPECT_EQ(0, own.Convert(o));
    own.Expect([](uint32_t p) { return p; });
    // So does a destination without alpha.
    Conversion none(PAL8, X888);
    EXPECT_EQ(0, none.Convert(o));
    none.Expect([](uint32_t i) { return Entry(i) | 0xFF000000; });
}

TEST(ConvertImageBlt, PureGreenKeyBecomesTransparentOnEveryPath)
{
    const uint32_t green = 0x0000FF00;
    Options key;
    key.keyToAlpha = 1;
    key.key = green;

    // 8-bit palette: entry 5 is pure green.
    ColorFormat pal = PAL8;
    pal.palette[5] = green;
    pal.palette[6] = 0x0001FF00;   // close is not equal
    struct Case {
        const char* name;
        const ColorFormat& src;
        const ColorFormat& dst;
        uint32_t greenPixel, otherPixel;
    } cases[] = {
        {"pal8 to A8R8G8B8 (fixed)", pal, A888, 5, 6},
        {"pal8 to A1R5G5B5 (fixed)", pal, A555, 5, 6},
        {"pal8 to A4R4G4B4 (general)", pal, A444, 5, 6},
        {"24 to A8R8G8B8 (fixed)", RGB24, A888, green, 0x0001FF00},
        {"24 to A1R5G5B5 (fixed)", RGB24, A555, green, 0x0000FE00},
        {"X8R8G8B8 to A8R8G8B8 (same layout)", X888, A888, 0xFF00FF00, 0xFF00FF01},
        {"R5G6B5 to A8R8G8B8 (fixed)", R565, A888, 0x07E0, 0x07E1},
        {"R5G6B5 to A1R5G5B5 (fixed)", R565, A555, 0x07E0, 0x0001},
        {"X1R5G5B5 to A1R5G5B5 (same layout)", X555, A555, 0x83E0, 0x83E1},
        {"X1R5G5B5 to A8R8G8B8 (general)", X555, A888, 0x03E0, 0x03E1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Conversion run(c.src, c.dst);
        for (int j = 0; j < Conversion::h; j++)
            for (int i = 0; i < Conversion::w; i++)
                run.SetSource(i, j, (i + j) % 3 == 0 ? c.greenPixel : c.otherPixel);
        EXPECT_EQ(0, run.Convert(key));
        run.ExpectGuardsIntact();
        for (int j = 0; j < Conversion::h; j++)
            for (int i = 0; i < Conversion::w; i++) {
                uint32_t alpha = run.Destination(i, j) & c.dst.alphaMask;
                if ((i + j) % 3 == 0)
                    EXPECT_EQ(0u, alpha) << i << "," << j;
                else
                    EXPECT_EQ(c.dst.alphaMask, alpha) << i << "," << j;
            }
    }

    // The key keeps the colour of the keyed pixel on the fixed pairs.
    Conversion keep(RGB24, A888);
    keep.SetSource(0, 0, green);
    keep.Convert(key);
    EXPECT_EQ(green, keep.Destination(0, 0));

    // A source with its own alpha ignores the key.
    Conversion own(A888, A888);
    own.SetSource(0, 0, 0x8000FF00);
    EXPECT_EQ(0, own.Convert(key));
    EXPECT_EQ(0x8000FF00u, own.Destination(0, 0));
    own.Expect([](uint32_t p) { return p; });
}

TEST(ConvertImageBlt, KeyedFixedPairsKeepTheColourBits)
{
    const uint32_t green = 0x0000FF00;
    Options key;
    key.keyToAlpha = 1;
    key.key = green;
    ColorFormat pal = PAL8;
    pal.palette[5] = green;
    auto palEntry = [&](uint32_t i) { return pal.palette[i & 0xFF]; };
    // An R5G6B5 pixel matches when its five top bits of each channel equal the
    // key's: green 62 and 63 both do.
    auto key565 = [](uint32_t p) { return (p >> 11) == 0 && ((p >> 5) & 63) >> 1 == 31 && (p & 31) == 0; };
    struct Case {
        const char* name;
        const ColorFormat& src;
        const ColorFormat& dst;
        uint32_t keyPixels[2];   // planted on every third pixel, the rest random
        std::function<uint32_t(uint32_t)> rule;
    } cases[] = {
        {"pal8 to A1R5G5B5", pal, A555, {5, 5},
         [&](uint32_t i) { return palEntry(i) == green ? To555(palEntry(i)) & 0x7FFF : To555(palEntry(i)); }},
        {"pal8 to A8R8G8B8", pal, A888, {5, 5},
         [&](uint32_t i) { return palEntry(i) == green ? palEntry(i) : palEntry(i) | 0xFF000000; }},
        {"24 to A1R5G5B5", RGB24, A555, {green, green},
         [](uint32_t p) { return p == 0xFF00 ? To555(p) & 0x7FFF : To555(p); }},
        {"24 to A8R8G8B8", RGB24, A888, {green, green},
         [](uint32_t p) { return p == 0xFF00 ? p : p | 0xFF000000; }},
        {"R5G6B5 to A1R5G5B5", R565, A555, {0x07E0, 0x07C0},
         [&](uint32_t p) {
             uint32_t v = (p >> 11) << 10 | ((p >> 6) & 31) << 5 | (p & 31);
             return key565(p) ? v : v | 0x8000;
         }},
        {"R5G6B5 to A8R8G8B8", R565, A888, {0x07E0, 0x07C0},
         [&](uint32_t p) { return key565(p) ? Shifted565(p) : Shifted565(p) | 0xFF000000; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Conversion run(c.src, c.dst);
        for (int j = 0; j < Conversion::h; j++)
            for (int i = 0; i < Conversion::w; i++)
                if ((i + j) % 3 == 0)
                    run.SetSource(i, j, c.keyPixels[i % 2]);
        EXPECT_EQ(0, run.Convert(key));
        run.Expect(c.rule);
    }
}

TEST(ConvertImageBlt, MirroredRowsOnTheGeneralAndKeyToAlphaPaths)
{
    // The mirror flag keeps conversions off the fixed pairs.
    struct Case {
        const char* name;
        const ColorFormat& src;
        const ColorFormat& dst;
    } general[] = {
        {"R5G6B5 to A8R8G8B8", R565, A888},
        {"24 to X1R5G5B5", RGB24, X555},
        {"pal8 to A4R4G4B4", PAL8, A444},
    };
    Options mirror;
    mirror.mirror = 1;
    for (const Case& c : general) {
        SCOPED_TRACE(c.name);
        Conversion run(c.src, c.dst);
        EXPECT_EQ(0, run.Convert(mirror));
        run.Expect([&](uint32_t p) { return GeneralRule(c.src, c.dst, p); }, true);
    }

    // Key to alpha with the same colour layout: pure green becomes transparent.
    Options keyed = mirror;
    keyed.keyToAlpha = 1;
    keyed.key = 0x0000FF00;
    Conversion x888(X888, A888);
    x888.SetSource(1, 0, 0x1200FF00);
    EXPECT_EQ(0, x888.Convert(keyed));
    x888.Expect([](uint32_t p) { return (p & 0xFFFFFF) == 0xFF00 ? p & 0xFFFFFF : p | 0xFF000000; }, true);
    Conversion x555(X555, A555);
    x555.SetSource(1, 0, 0x03E0);
    x555.SetSource(2, 2, 0x83E0);
    EXPECT_EQ(0, x555.Convert(keyed));
    x555.Expect([](uint32_t p) { return (p & 0x7FFF) == 0x3E0 ? p & 0x7FFF : p | 0x8000; }, true);
}

TEST(ConvertImageBlt, MagentaKeyInto1555ClearsOnlyTheMagentaPixels)
{
    Conversion run(RGB24, A555);
    for (int j = 0; j < Conversion::h; j++)
        for (int i = 0; i < Conversion::w; i++)
            if (i == j)
                run.SetSource(i, j, 0xFF00FF);
    Options key;
    key.keyToAlpha = 1;
    key.key = 0x00FF00FF;
    EXPECT_EQ(0, run.Convert(key));
    run.Expect([](uint32_t p) { return p == 0xFF00FF ? To555(p) & 0x7FFF : To555(p); });
}

TEST(ConvertImageBlt, ColourOffAndAlphaFromRed)
{
    // Into a one-channel 8-bit image: the source's red values.
    Conversion run(RGB24, ONE8);
    Options o;
    o.colorOff = 1;
    o.alphaFromRed = 1;
    EXPECT_EQ(0, run.Convert(o));
    run.Expect([](uint32_t p) { return R8(p); });

    // Into A8R8G8B8: black with the red as alpha; the key is ignored.
    Conversion argb(X888, A888);
    o.keyToAlpha = 1;
    o.key = 0xFFFFFF;
    EXPECT_EQ(0, argb.Convert(o));
    argb.Expect([](uint32_t p) { return R8(p) << 24; });

    // Colour off alone keeps the alpha rule (all ones without source alpha).
    Conversion off(R565, A888);
    Options offOnly;
    offOnly.colorOff = 1;
    EXPECT_EQ(0, off.Convert(offOnly));
    off.Expect([](uint32_t) { return 0xFF000000u; });
}
