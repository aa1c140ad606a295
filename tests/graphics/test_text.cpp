// String drawing and measuring, the default font's text calls and the debug
// text console: widths from glyph advances, glyph cells written into memory
// images (plain, edged, anti-aliased, turned), and text read back from the
// real device's back buffer and the software screen.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "graphics/device.h"
#include "graphics/draw_state.h"
#include "graphics/draw_target.h"
#include "graphics/font/default_font.h"
#include "graphics/font/font_handles.h"
#include "graphics/font/string_draw.h"
#include "graphics/handle_table.h"
#include "graphics/soft_screen.h"
#include "image/mem_image.h"
#include "image/raster_image.h"
#include "runtime/library.h"
#include "runtime/memory.h"
#include "runtime/screen_print.h"
#include "tests/graphics/library_start.h"
#include "tests/graphics/screen_readback.h"
#include "tests/support/test_support.h"

// Every string handed to the drawing entry, as a seam for the formatted calls.
static std::vector<std::string> drawnTexts;
int RealDrawStringWithHandle(int x, int y, const char* text, uint32_t color, int font, uint32_t edge, int vertical)
    __asm__(REAL_SYMBOL("_Z20DrawStringWithHandleiiPKcjiji"));
int WrapDrawStringWithHandle(int x, int y, const char* text, uint32_t color, int font, uint32_t edge, int vertical)
    __asm__(WRAPPED_SYMBOL("_Z20DrawStringWithHandleiiPKcjiji"));
int WrapDrawStringWithHandle(int x, int y, const char* text, uint32_t color, int font, uint32_t edge, int vertical)
{
    drawnTexts.push_back(text ? text : "");
    return RealDrawStringWithHandle(x, y, text, color, font, edge, vertical);
}

namespace {

// ---------------------------------------------------------------------------
// Glyph cells into memory images, on a hand-made memory-cache font.

struct CellFont {
    FontRecord* font;
    std::vector<uint8_t> cells;
    GlyphSlot* slot;

    CellFont(int type, int w, int h, const std::vector<uint8_t>& values)
    {
        font = (FontRecord*)calloc(1, sizeof(FontRecord));
        font->fontType = type;
        font->cellSize = 8;
        font->cacheWidth = 8;
        font->cacheHeight = 64;
        font->cellsPerColumn = 8;
        font->capacity = 8;
        font->memBitsPerPixel = type == 0 ? 1 : 8;
        font->memPitch = type == 0 ? 1 : 8;
        cells.assign((size_t)font->memPitch * 64, 0);
        font->memPixels = cells.data();
        // Cell 1 (one cell down) so that the cell offset counts.
        slot = &font->slots[0];
        slot->cellIndex = 1;
        slot->width = (uint16_t)w;
        slot->height = (uint16_t)h;
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                int v = values[(size_t)y * w + x];
                if (type == 0) {
                    if (v)
                        cells[(size_t)(8 + y) * font->memPitch] |= (uint8_t)(0x80 >> x);
                } else {
                    cells[(size_t)(8 + y) * 8 + x] = (uint8_t)v;
                }
            }
    }
    ~CellFont() { free(font); }
};

struct Target {
    MEMIMG image = {};
    Target(int w, int h, int kind, int alpha)
    {
        EXPECT_EQ(0, CreateMemImage(&image, w, h, -1, 0, kind, 0, alpha, 0, nullptr));
    }
    ~Target() { ReleaseMemImage(&image); }
    void Fill(uint32_t v) { FillMemImageRect(&image, nullptr, v); }
    uint32_t At(int x, int y) const
    {
        const uint8_t* p = (const uint8_t*)image.pixels + (ptrdiff_t)y * image.body->pitch;
        int bytes = image.body->format->bytesPerPixel;
        uint32_t v = 0;
        memcpy(&v, p + (ptrdiff_t)x * bytes, (size_t)bytes);
        return v;
    }
};

TEST(GlyphCells, PlainAndEdgedCellsWriteBodyAndEdgeColoursOrKeepTransparentPixels)
{
    // 3 x 2 glyph: top row set, bottom row only the middle pixel.
    CellFont plain(0, 3, 2, {1, 1, 1, 0, 1, 0});
    CellFont edged(FONT_TYPE_EDGE, 3, 2, {2, 1, 2, 0, 1, 0});
    Target t(8, 8, MEMIMG_KIND_X8R8G8B8, 0);
    const uint32_t body = 0x112233, edge = 0x445566, back = 0x777777;

    t.Fill(back);
    WriteGlyphToMemImage(plain.font, plain.slot, &t.image, nullptr, 2, 3, 0, body, edge, 1);
    EXPECT_EQ(body, t.At(2, 3));
    EXPECT_EQ(body, t.At(4, 3));
    EXPECT_EQ(back, t.At(2, 4));   // transparent: left alone
    EXPECT_EQ(body, t.At(3, 4));
    EXPECT_EQ(back, t.At(5, 3));

    t.Fill(back);
    WriteGlyphToMemImage(edged.font, edged.slot, &t.image, nullptr, 2, 3, 0, body, edge, 0);
    EXPECT_EQ(edge, t.At(2, 3));
    EXPECT_EQ(body, t.At(3, 3));
    EXPECT_EQ(0u, t.At(2, 4));     // not transparent: an empty pixel writes 0
    EXPECT_EQ(back, t.At(1, 3));
}

TEST(GlyphCells, AntiAliasedLevelsCarryAlphaAndEdgedOnesMixTheColours)
{
    Target t32(4, 4, MEMIMG_KIND_X8R8G8B8, 1);
    Target t16(4, 4, MEMIMG_KIND_R5G6B5, 1);
    CellFont aa(FONT_TYPE_ANTIALIAS, 2, 1, {15, 7});
    WriteGlyphToMemImage(aa.font, aa.slot, &t32.image, nullptr, 0, 0, 0, 0x00AABBCC, 0, 1);
    EXPECT_EQ(0xF0AABBCCu, t32.At(0, 0));
    EXPECT_EQ(0x70AABBCCu, t32.At(1, 0));
    WriteGlyphToMemImage(aa.font, aa.slot, &t16.image, nullptr, 0, 0, 0, 0xF81F, 0, 1);
    EXPECT_EQ(0x00F0F81Fu, t16.At(0, 0));
    EXPECT_EQ(0x0070F81Fu, t16.At(1, 0));

    // Body b, edge e in the nibbles: (b, e) = (0, 4), (15, 3), (8, 4), (0, 0).
    CellFont both(FONT_TYPE_ANTIALIAS | FONT_TYPE_EDGE, 4, 1, {0x40, 0x3F, 0x48, 0x00});
    const uint32_t body = 0x00C86400, edge = 0x00000080;
    t32.Fill(0x01010101);
    WriteGlyphToMemImage(both.font, both.slot, &t32.image, nullptr, 0, 0, 0, body, edge, 1);
    EXPECT_EQ(0x40000080u, t32.At(0, 0));
    EXPECT_EQ(0xFFC86400u, t32.At(1, 0));
    // alpha = 4 x 7 + 16 x 8 = 156, t = 32768 / 156 = 210:
    // red 0 + 200 x 210 / 256 = 164, green 100 x 210 / 256 = 82,
    // blue 128 + (0 - 128) x 210 / 256 = 128 - 105 = 23.
    EXPECT_EQ(0x9CA45217u, t32.At(2, 0));
    EXPECT_EQ(0x01010101u, t32.At(3, 0));
}

TEST(GlyphCells, VerticalGlyphsTurnClockwiseAndStayInsideTheClip)
{
    // 3 wide, 2 high: row 0 = a b c, row 1 = d e f (values 1..6 as edge/body
    // cannot tell them apart, so the plain 1-bit font marks one pixel a time).
    const int w = 3, h = 2;
    Target t(8, 8, MEMIMG_KIND_X8R8G8B8, 0);
    for (int r = 0; r < h; r++)
        for (int c = 0; c < w; c++) {
            std::vector<uint8_t> v(w * h, 0);
            v[(size_t)r * w + c] = 1;
            CellFont f(0, w, h, v);
            t.Fill(0);
            // Top row in column 5, left column in row 2.
            WriteGlyphToMemImage(f.font, f.slot, &t.image, nullptr, 5, 2, 1, 0xFFFFFF, 0, 1);
            for (int y = 0; y < 8; y++)
                for (int x = 0; x < 8; x++)
                    EXPECT_EQ(x == 5 - r && y == 2 + c ? 0xFFFFFFu : 0u, t.At(x, y))
                        << "glyph (" << c << "," << r << ") screen (" << x << "," << y << ")";
        }

    // Clipped: only columns 5.. and rows ..3 survive; glyph pixels beyond the
    // image's edge are cut as well.
    CellFont full(0, w, h, std::vector<uint8_t>(w * h, 1));
    t.Fill(0);
    RECT clip = {5, 0, 100, 4};
    WriteGlyphToMemImage(full.font, full.slot, &t.image, &clip, 5, 2, 1, 0xFFFFFF, 0, 1);
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++)
            EXPECT_EQ(x == 5 && (y == 2 || y == 3) ? 0xFFFFFFu : 0u, t.At(x, y)) << x << "," << y;
    t.Fill(0);
    WriteGlyphToMemImage(full.font, full.slot, &t.image, nullptr, 7, 6, 0, 0xFFFFFF, 0, 1);
    EXPECT_EQ(0xFFFFFFu, t.At(7, 6));
    EXPECT_EQ(0xFFFFFFu, t.At(7, 7));
}

// ---------------------------------------------------------------------------
// On the real device.

const unsigned int Background = 0x204060;

std::vector<unsigned int> ReadBack(int x, int y, int w, int h) { return ReadScreenRgb(x, y, w, h); }

// The bounding box of the pixels that differ from the background within
// (0, 0, w, h); empty when none does.
RECT Touched(const std::vector<unsigned int>& pixels, int w, int h, unsigned int background)
{
    RECT box = {w, h, 0, 0};
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            if (pixels[(size_t)y * w + x] != background) {
                box.left = x < box.left ? x : box.left;
                box.top = y < box.top ? y : box.top;
                box.right = x + 1 > box.right ? x + 1 : box.right;
                box.bottom = y + 1 > box.bottom ? y + 1 : box.bottom;
            }
    return box;
}

int CountOf(const std::vector<unsigned int>& pixels, unsigned int value)
{
    int n = 0;
    for (unsigned int p : pixels)
        n += p == value;
    return n;
}

class TextDevice : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(StartLibraryOnDirect3D(1280, 720)); }
    static void TearDownTestSuite()
    {
        Screen.backColor = 0;
        EXPECT_EQ(0, EndLibraryLocked());
        EXPECT_EQ(0, GetAllocCount());
    }
    void SetUp() override
    {
        ASSERT_EQ(1, Screen.hardware);
        SelectDrawTarget(DRAW_TARGET_BACK);
        SetClipArea(0, 0, 1280, 720);
        SelectBlendMode(0, 0);
        SetBrightness(255, 255, 255);
        Screen.backColor = Background;
        ClearDrawTarget(nullptr);
    }
    void TearDown() override
    {
        for (int f : fonts)
            DeleteFontHandle(f);
    }
    int Font(int size, int type)
    {
        int f = CreateFontToHandle(nullptr, size, 6, type, -1, -1, 0, -1, -1);
        EXPECT_NE(-1, f);
        fonts.push_back(f);
        return f;
    }
    std::vector<int> fonts;
};

TEST_F(TextDevice, WidthsAddUpFromGlyphAdvancesAndSpacing)
{
    int f = Font(16, 0);
    const FontRecord* r = GetFontRecord(f);
    int a = GetStringWidthByHandle("A", -1, f, 0), b = GetStringWidthByHandle("B", -1, f, 0);
    ASSERT_GT(a, 0);
    EXPECT_EQ(a + b, GetStringWidthByHandle("AB", -1, f, 0));
    EXPECT_EQ(a, GetStringWidthByHandle("AB", 1, f, 0));
    EXPECT_EQ(a + b, GetStringWidthByHandle("AB", 99, f, 1));

    // "あ": one character whatever the length says.
    const char* kana = "\x82\xA0";
    int k = GetStringWidthByHandle(kana, -1, f, 0);
    EXPECT_GT(k, 0);
    EXPECT_EQ(k, GetStringWidthByHandle(kana, 1, f, 0));

    ASSERT_EQ(0, SetFontSpacing(2, f));
    EXPECT_EQ(a + 2 + b + 2, GetStringWidthByHandle("AB", -1, f, 0));
    EXPECT_EQ(a + 2 + k + 2, GetStringWidthByHandle("A\x82\xA0", -1, f, 0));
    SIZE size = {};
    EXPECT_EQ(a + b + 4, DrawStringByFontCore(STRING_MEASURE, 0, 0, 0, 1.0, 1.0, "AB", 0, nullptr, nullptr, 0, f, 0,
                                              -1, 1, &size));
    EXPECT_EQ(r->charHeight, size.cx);
    EXPECT_EQ(a + b + 4, size.cy);

    // Over 256 bytes: the allocated entry buffer gives the same sum.
    std::string longText(300, 'A');
    EXPECT_EQ(300 * (a + 2), GetStringWidthByHandle(longText.c_str(), -1, f, 0));
    // Spaces advance; nothing at all is 0; a bad handle -1.
    EXPECT_GT(GetStringWidthByHandle("  ", -1, f, 0), 0);
    EXPECT_EQ(0, GetStringWidthByHandle("", -1, f, 0));
    EXPECT_EQ(0, GetStringWidthByHandle(nullptr, -1, f, 0));
    EXPECT_EQ(-1, GetStringWidthByHandle("A", -1, 0x20001234, 0));
}

TEST_F(TextDevice, HorizontalAndVerticalTextStayInTheirBoxAndClip)
{
    int f = Font(24, 0);
    const FontRecord* r = GetFontRecord(f);
    const int H = r->charHeight;
    const uint32_t white = ColorFromRGB(255, 255, 255);
    int w = GetStringWidthByHandle("WgW", -1, f, 0);

    EXPECT_EQ(0, DrawStringWithHandle(100, 100, "WgW", white, f, 0, 0));
    std::vector<unsigned int> px = ReadBack(0, 0, 400, 300);
    RECT box = Touched(px, 400, 300, Background);
    EXPECT_GE(box.left, 100);
    EXPECT_GE(box.top, 100);
    EXPECT_LE(box.right, 100 + w);
    EXPECT_LE(box.bottom, 100 + H);
    EXPECT_GT(CountOf(px, 0xFFFFFF), 20);

    // Vertical: the column x .. x + H, down from y for the string's width.
    ClearDrawTarget(nullptr);
    EXPECT_EQ(0, DrawStringWithHandle(100, 50, "WgW", white, f, 0, 1));
    px = ReadBack(0, 0, 400, 300);
    box = Touched(px, 400, 300, Background);
    EXPECT_GE(box.left, 100);
    EXPECT_GE(box.top, 50);
    EXPECT_LE(box.right, 100 + H);
    EXPECT_LE(box.bottom, 50 + w);
    EXPECT_GT(CountOf(px, 0xFFFFFF), 20);
    // Turned clockwise: the "g" descender lies left of the "W"s' left edge.
    int wW = GetStringWidthByHandle("W", -1, f, 0);
    RECT first = Touched(ReadBack(0, 50, 400, wW), 400, wW, Background);
    RECT middle = Touched(ReadBack(0, 50 + wW, 400, wW), 400, wW, Background);
    EXPECT_LT(middle.left, first.left);

    // A draw area that cuts the column, or misses it: nothing outside it.
    for (RECT area : {RECT{100, 60, 110, 90}, RECT{0, 0, 90, 300}, RECT{100, 300, 400, 400}}) {
        ClearDrawTarget(nullptr);
        SetClipArea(area.left, area.top, area.right, area.bottom);
        DrawStringWithHandle(100, 50, "WgW", white, f, 0, 1);
        SetClipArea(0, 0, 1280, 720);
        px = ReadBack(0, 0, 400, 300);
        for (int y = 0; y < 300; y++)
            for (int x = 0; x < 400; x++)
                if (x < area.left || x >= area.right || y < area.top || y >= area.bottom) {
                    ASSERT_EQ(Background, px[(size_t)y * 400 + x]) << x << "," << y;
                }
    }
}

TEST_F(TextDevice, VerticalTextIsTheHorizontalTextTurnedClockwiseInsideItsColumn)
{
    int f = Font(24, FONT_TYPE_EDGE);
    const int H = GetFontRecord(f)->charHeight;
    const char* text = "Fg\x82\xA0";
    const int w = GetStringWidthByHandle(text, -1, f, 0);
    const uint32_t white = ColorFromRGB(255, 255, 255), red = ColorFromRGB(255, 0, 0);
    DrawStringWithHandle(100, 100, text, white, f, red, 0);
    DrawStringWithHandle(300, 100, text, white, f, red, 1);
    std::vector<unsigned int> across = ReadBack(100, 100, w, H), down = ReadBack(300, 100, H, w);
    // Horizontal (dx, dy) lands at (H - 1 - dy, dx) of the column.
    int differ = 0, lit = 0;
    for (int dy = 0; dy < H; dy++)
        for (int dx = 0; dx < w; dx++) {
            unsigned int a = across[(size_t)dy * w + dx], d = down[(size_t)dx * H + (H - 1 - dy)];
            differ += a != d;
            lit += a != Background;
        }
    EXPECT_GT(lit, 50);
    EXPECT_EQ(0, differ);
    // Nothing outside the column.
    RECT box = Touched(ReadBack(200, 0, 300, 300), 300, 300, Background);
    EXPECT_GE(box.left, 100);
    EXPECT_LE(box.right, 100 + H);
    EXPECT_GE(box.top, 100);
    EXPECT_LE(box.bottom, 100 + w);
}

TEST_F(TextDevice, EdgedTextShowsExactlyItsBodyAndEdgeColours)
{
    // Body and edge alternate glyph by glyph; a full-white body drawn
    // through the modulating stages must still come out exactly white.
    int f = Font(24, FONT_TYPE_EDGE);
    const char* text = "HIHI";
    const int w = GetStringWidthByHandle(text, -1, f, 0), h = GetFontRecord(f)->charHeight;
    DrawStringWithHandle(100, 100, text, ColorFromRGB(255, 255, 255), f, ColorFromRGB(255, 0, 0), 0);
    std::vector<unsigned int> px = ReadBack(100, 100, w, h);
    int white = 0, red = 0, other = 0;
    for (unsigned int p : px) {
        p &= 0xFFFFFF;
        white += p == 0xFFFFFF;
        red += p == 0xFF0000;
        other += p != 0xFFFFFF && p != 0xFF0000 && p != Background;
    }
    EXPECT_GT(white, 40);
    EXPECT_GT(red, 40);
    EXPECT_EQ(0, other);
    // A plain draw afterwards is unmodulated again: white stays white.
    int plain = Font(24, 0);
    DrawStringWithHandle(100, 200, "I", ColorFromRGB(255, 255, 255), plain, 0, 0);
    std::vector<unsigned int> after = ReadBack(100, 200, 24, 24);
    int lit = 0;
    for (unsigned int p : after)
        lit += (p & 0xFFFFFF) == 0xFFFFFF;
    EXPECT_GT(lit, 10);
}

TEST_F(TextDevice, BrightnessScalesTheColoursAndBlendModesApply)
{
    int f = Font(32, 0);
    const uint32_t white = ColorFromRGB(255, 255, 255);
    DrawStringWithHandle(100, 100, "I", white, f, 0, 0);
    std::vector<unsigned int> px = ReadBack(100, 100, 64, 64);
    // A pixel of the glyph's body.
    int at = -1;
    for (size_t i = 0; i < px.size() && at < 0; i++)
        if (px[i] == 0xFFFFFF)
            at = (int)i;
    ASSERT_GE(at, 0);
    const int gx = 100 + at % 64, gy = 100 + at / 64;
    auto Drawn = [&](uint32_t color) {
        ClearDrawTarget(nullptr);
        DrawStringWithHandle(100, 100, "I", color, f, 0, 0);
        return ReadBack(gx, gy, 1, 1).at(0);
    };

    SetBrightness(128, 128, 128);
    EXPECT_EQ(0x808080u, Drawn(white));
    // 200 x 128 / 255 = 100, 100 x 128 / 255 = 50, 50 x 128 / 255 = 25.
    EXPECT_EQ(0x643219u, Drawn(ColorFromRGB(200, 100, 50)));
    EXPECT_EQ(0x808080u, Draw.brightness);
    SetBrightness(255, 255, 255);

    auto Near = [](unsigned int got, unsigned int want) {
        for (int s = 0; s < 24; s += 8) {
            int d = (int)((got >> s) & 0xFF) - (int)((want >> s) & 0xFF);
            if (d < -2 || d > 2)
                return false;
        }
        return true;
    };
    // Background 0x20 0x40 0x60, text 0xC0 0x80 0x40.
    const uint32_t text = ColorFromRGB(0xC0, 0x80, 0x40);
    SelectBlendMode(1, 128);   // alpha: b + (t - b) x 128 / 255
    unsigned int got = Drawn(text);
    EXPECT_TRUE(Near(got, 0x706050)) << std::hex << got;
    SelectBlendMode(2, 255);   // add
    got = Drawn(text);
    EXPECT_TRUE(Near(got, 0xE0C0A0)) << std::hex << got;
    SelectBlendMode(3, 255);   // subtract: b - t, clamped at 0
    got = Drawn(ColorFromRGB(0x10, 0x20, 0x70));
    EXPECT_TRUE(Near(got, 0x102000)) << std::hex << got;
    SelectBlendMode(0, 0);
}

TEST_F(TextDevice, EdgedTextShowsTheEdgeColourAroundTheBody)
{
    int f = Font(24, FONT_TYPE_EDGE);
    DrawStringWithHandle(100, 100, "H", ColorFromRGB(255, 255, 255), f, ColorFromRGB(255, 0, 0), 0);
    std::vector<unsigned int> px = ReadBack(90, 90, 60, 60);
    EXPECT_GT(CountOf(px, 0xFFFFFF), 10);
    EXPECT_GT(CountOf(px, 0xFF0000), 10);
}

TEST_F(TextDevice, DefaultFontSettingsAndRestart)
{
    EXPECT_EQ(0, SetDefaultFontSize(-1));
    EXPECT_EQ(16, GetDefaultFontSize());
    EXPECT_EQ(0, SetDefaultFontThickness(-1));
    EXPECT_EQ(6, GetFontRecord(FetchDefaultFontHandle())->thickness);
    SetDefaultFontSizeAndThickness(123, 20, 2);
    EXPECT_EQ(20, GetDefaultFontSize());
    // The same value again keeps the font.
    int before = FetchDefaultFontHandle();
    SetDefaultFontSize(20);
    GetStringWidthDefault("A", -1, 0);
    EXPECT_EQ(before, FetchDefaultFontHandle());

    RestartFontSystem();
    EXPECT_EQ(-1, FetchDefaultFontHandle());
    for (int s = 0; s < FONT_HANDLE_MAX; s++)
        EXPECT_EQ(-1, FontHandleAtSlot(s));
    EXPECT_EQ(0, DrawStringDefault(100, 100, "A", ColorFromRGB(255, 255, 255), 0));
    EXPECT_NE(-1, FetchDefaultFontHandle());
    EXPECT_EQ(20, GetDefaultFontSize());
    EXPECT_GT(CountOf(ReadBack(100, 100, 40, 40), 0xFFFFFF), 5);
}

TEST_F(TextDevice, FormattedCallsCutTheirTextAtTheBuffer)
{
    std::string big(5000, 'x');
    drawnTexts.clear();
    EXPECT_EQ(0, DrawFormatStringDefault(0, 0, ColorFromRGB(255, 255, 255), "%s%d", big.c_str(), 7));
    ASSERT_EQ(1u, drawnTexts.size());
    EXPECT_EQ(std::string(FORMAT_STRING_BUFFER_SIZE - 1, 'x'), drawnTexts[0]);

    ClearScreenPrint();
    ScreenPrintf("%s", big.c_str());
    size_t kept = 0;
    for (int i = 0; i < SCREEN_PRINT_LINES; i++)
        kept += strlen(GetScreenPrintLine(i));
    EXPECT_EQ((size_t)SCREEN_PRINT_FORMAT_BYTES - 1, kept);
    ClearScreenPrint();
}

TEST_F(TextDevice, RecreatedFontsKeepTheirHandlesAndTheDebugTextFont)
{
    ScreenPrintf("x");
    int debugFont = GetScreenPrintFont();
    ASSERT_NE(-1, debugFont);
    int f = Font(20, 0);
    SetFontSpacing(3, f);
    int width = GetStringWidthByHandle("AB", -1, f, 0);
    int used = 0;
    for (int s = 0; s < FONT_HANDLE_MAX; s++)
        used += FontHandleAtSlot(s) != -1;

    EXPECT_EQ(0, RecreateAllFonts());
    ScreenPrintf("y");
    EXPECT_EQ(debugFont, GetScreenPrintFont());
    int after = 0;
    for (int s = 0; s < FONT_HANDLE_MAX; s++)
        after += FontHandleAtSlot(s) != -1;
    EXPECT_EQ(used, after);
    EXPECT_EQ(width, GetStringWidthByHandle("AB", -1, f, 0));
    EXPECT_EQ(0, DrawStringWithHandle(100, 100, "AB", ColorFromRGB(255, 255, 255), f, 0, 0));
    EXPECT_GT(CountOf(ReadBack(100, 100, 60, 30), 0xFFFFFF), 5);
    ClearScreenPrint();
}

TEST_F(TextDevice, DebugConsoleWrapsScrollsAndDrawsItsLines)
{
    ClearScreenPrint();
    EXPECT_EQ(0, GetScreenPrintInUse());
    ASSERT_EQ(45, GetScreenPrintShownLines());

    ScreenPrintf("a\tb?c\r\x07\n");
    EXPECT_STREQ("a    bc", GetScreenPrintLine(0));
    EXPECT_EQ(1, GetScreenPrintInUse());
    // A lead byte before the terminator stands alone.
    ScreenPrintf("A\x82");
    EXPECT_STREQ("A\x82", GetScreenPrintLine(1));

    ClearScreenPrint();
    for (int i = 1; i <= 46; i++)
        ScreenPrintf("line %d\n", i);
    // The 46th line scrolled the first away; the cursor sits on the new, empty
    // last line.
    EXPECT_STREQ("line 3", GetScreenPrintLine(0));
    EXPECT_STREQ("line 46", GetScreenPrintLine(43));
    EXPECT_STREQ("", GetScreenPrintLine(44));
    ClearScreenPrint();
    for (int i = 1; i <= 45; i++)
        ScreenPrintf(i < 45 ? "line %d\n" : "line %d", i);
    EXPECT_STREQ("line 1", GetScreenPrintLine(0));
    EXPECT_STREQ("line 45", GetScreenPrintLine(44));
    ScreenPrintf("\nline 46");
    EXPECT_STREQ("line 2", GetScreenPrintLine(0));
    EXPECT_STREQ("line 46", GetScreenPrintLine(44));

    // 300 narrow characters: the first line ends at the screen width or at 254
    // bytes, and nothing is lost.
    ClearScreenPrint();
    ScreenPrintf("%s", std::string(300, 'i').c_str());
    size_t first = strlen(GetScreenPrintLine(0)), all = 0;
    for (int i = 0; i < SCREEN_PRINT_LINES; i++)
        all += strlen(GetScreenPrintLine(i));
    EXPECT_LE(first, 254u);
    EXPECT_EQ(300u, all);
    int w = GetStringWidthByHandle(GetScreenPrintLine(0), -1, GetScreenPrintFont(), 0);
    EXPECT_LT(w, 1280);

    // Drawn in white at the top left; nothing after a clear.
    ClearScreenPrint();
    ScreenPrintf("HHHH");
    ClearDrawTarget(nullptr);
    DrawScreenPrint();
    EXPECT_GT(CountOf(ReadBack(0, 0, 80, 16), 0xFFFFFF), 10);
    ClearScreenPrint();
    EXPECT_EQ(0, GetScreenPrintInUse());
    ClearDrawTarget(nullptr);
    DrawScreenPrint();
    EXPECT_EQ(80 * 16, CountOf(ReadBack(0, 0, 80, 16), Background));
}

// ---------------------------------------------------------------------------
// The software renderer: plain text goes straight into the screen image.

class TextSoftware : public testing::Test {};

TEST_F(TextSoftware, PlainTextIsWrittenIntoTheScreenImageInsideTheDrawArea)
{
    ASSERT_TRUE(StartLibraryInWindow(640, 480, 0));
    ASSERT_EQ(0, Screen.hardware);
    int f = CreateFontToHandle(nullptr, 24, 6, 0, -1, -1, 0, -1, -1);
    ASSERT_NE(-1, f);
    ASSERT_EQ(0, GetFontRecord(f)->textureCache);
    const int H = GetFontRecord(f)->charHeight;
    SelectDrawTarget(DRAW_TARGET_BACK);
    SelectBlendMode(0, 0);
    SetBrightness(255, 255, 255);
    FillMemImageRect(SoftDrawTarget, nullptr, 0);

    auto Box = [&](uint32_t* color) {
        RECT box = {640, 480, 0, 0};
        for (int y = 0; y < 480; y++)
            for (int x = 0; x < 640; x++) {
                uint32_t v;
                memcpy(&v, (uint8_t*)SoftDrawTarget->pixels + (ptrdiff_t)y * SoftDrawTarget->body->pitch + 4 * x, 4);
                if (v & 0xFFFFFF) {
                    *color = v & 0xFFFFFF;
                    box = {x < box.left ? x : box.left, y < box.top ? y : box.top,
                           x + 1 > box.right ? x + 1 : box.right, y + 1 > box.bottom ? y + 1 : box.bottom};
                }
            }
        return box;
    };

    SetBrightness(128, 128, 128);
    int w = GetStringWidthByHandle("WgW", -1, f, 0);
    EXPECT_EQ(0, DrawStringWithHandle(50, 60, "WgW", ColorFromRGB(200, 100, 50), f, 0, 0));
    uint32_t color = 0;
    RECT box = Box(&color);
    EXPECT_EQ(0x643219u, color);
    EXPECT_GE(box.left, 50);
    EXPECT_GE(box.top, 60);
    EXPECT_LE(box.right, 50 + w);
    EXPECT_LE(box.bottom, 60 + H);
    EXPECT_GT(box.right - box.left, w / 2);
    SetBrightness(255, 255, 255);

    FillMemImageRect(SoftDrawTarget, nullptr, 0);
    SetClipArea(55, 0, 60, 480);
    DrawStringWithHandle(50, 60, "WgW", ColorFromRGB(255, 255, 255), f, 0, 1);
    SetClipArea(0, 0, 640, 480);
    box = Box(&color);
    EXPECT_GE(box.left, 55);
    EXPECT_LE(box.right, 60);
    EXPECT_GE(box.top, 60);
    EXPECT_LE(box.bottom, 60 + w);

    // Turned clockwise into the column, as on the device.
    FillMemImageRect(SoftDrawTarget, nullptr, 0);
    const char* text = "Fg\x82\xA0";
    const int tw = GetStringWidthByHandle(text, -1, f, 0);
    DrawStringWithHandle(50, 200, text, ColorFromRGB(255, 255, 255), f, 0, 0);
    DrawStringWithHandle(300, 200, text, ColorFromRGB(255, 255, 255), f, 0, 1);
    auto At = [](int x, int y) {
        uint32_t v;
        memcpy(&v, (uint8_t*)SoftDrawTarget->pixels + (ptrdiff_t)y * SoftDrawTarget->body->pitch + 4 * x, 4);
        return v & 0xFFFFFF;
    };
    int differ = 0, lit = 0;
    for (int dy = 0; dy < H; dy++)
        for (int dx = 0; dx < tw; dx++) {
            differ += At(50 + dx, 200 + dy) != At(300 + H - 1 - dy, 200 + dx);
            lit += At(50 + dx, 200 + dy) != 0;
        }
    EXPECT_GT(lit, 50);
    EXPECT_EQ(0, differ);

    // A blending mode goes through the first work image: the text at its top
    // left over a transparent colour that neither text colour takes.
    MEMIMG* work = &SoftWorkImages[0];
    FillMemImageRect(work, nullptr, 0);
    SetMemImageTransColor(work, 0xFFFFFF);
    SelectBlendMode(2, 255);
    DrawStringWithHandle(50, 200, text, ColorFromRGB(255, 255, 255), f, ColorFromRGB(0, 0, 0), 0);
    SelectBlendMode(0, 0);
    const uint32_t key = work->body->transColor;
    EXPECT_NE(0xFFFFFFu, key & 0xFFFFFF);
    EXPECT_NE(0u, key & 0xFFFFFF);
    auto WorkAt = [work](int x, int y) {
        uint32_t v;
        memcpy(&v, (uint8_t*)work->pixels + (ptrdiff_t)y * work->body->pitch + 4 * x, 4);
        return v;
    };
    int same = 0;
    for (int dy = 0; dy < H; dy++)
        for (int dx = 0; dx < tw; dx++) {
            uint32_t v = WorkAt(dx, dy);
            same += (v == key) == (At(50 + dx, 200 + dy) == 0);
        }
    EXPECT_EQ(tw * H, same);
    EXPECT_EQ(0u, WorkAt(tw, 0));   // outside the text's rectangle: untouched
    EXPECT_EQ(Draw.area.right, 640);

    DeleteFontHandle(f);
    EXPECT_EQ(0, EndLibraryLocked());
    AllowDirect3D(1);
    EXPECT_EQ(0, GetAllocCount());
}

} // namespace
