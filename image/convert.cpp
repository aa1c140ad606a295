#include "image/convert.h"

#include <mmintrin.h>
#include <string.h>

#include "image/pixel_access.h"
#include "runtime/system_state.h"

namespace {

const uint8_t orderedDither[16] = {
    0, 8, 2, 10,
    12, 4, 14, 6,
    3, 11, 1, 9,
    15, 7, 13, 5,
};

// The call's arguments after normalisation.
struct Blt {
    uint8_t* dst;
    int dstPitch;
    const ColorFormat* df;
    const uint8_t* src;
    int srcPitch;
    const ColorFormat* sf;
    const uint8_t* alpha;
    int alphaPitch;
    const ColorFormat* af;
    int dstX, dstY;
    int left, top, width, height;
    bool mirror, keyToAlpha, colorOff, alphaFromRed, skipKey, remap;
    bool useAlphaImage;
    bool alphaArgument;
    uint32_t key;
    int dither;

    const uint8_t* SourceRow(int j) const
    {
        return PixelRow(src, srcPitch, top + j) + (ptrdiff_t)left * sf->bytesPerPixel;
    }
    const uint8_t* AlphaRow(int j) const
    {
        return PixelRow(alpha, alphaPitch, top + j) + (ptrdiff_t)left * af->bytesPerPixel;
    }
    // The first destination pixel written in row j, and the step to the next.
    uint8_t* DestinationRow(int j) const
    {
        int x = mirror ? dstX + width - 1 : dstX;
        return PixelRow(dst, dstPitch, dstY + j) + (ptrdiff_t)x * df->bytesPerPixel;
    }
    ptrdiff_t DestinationStep() const { return mirror ? -(ptrdiff_t)df->bytesPerPixel : df->bytesPerPixel; }
};

bool HasMasks(const ColorFormat* f, int depth, uint32_t r, uint32_t g, uint32_t b)
{
    return f->bitDepth == depth && f->redMask == r && f->greenMask == g && f->blueMask == b;
}
bool IsPal8(const ColorFormat* f) { return HasMasks(f, 8, 0xFF0000, 0xFF00, 0xFF); }
bool IsRgb24(const ColorFormat* f) { return HasMasks(f, 24, 0xFF0000, 0xFF00, 0xFF); }
bool IsRgb32(const ColorFormat* f) { return HasMasks(f, 32, 0xFF0000, 0xFF00, 0xFF); }
bool IsX888(const ColorFormat* f) { return IsRgb32(f) && f->alphaMask == 0; }
bool IsA888(const ColorFormat* f) { return IsRgb32(f) && f->alphaMask == 0xFF000000; }
bool Is565(const ColorFormat* f) { return HasMasks(f, 16, 0xF800, 0x7E0, 0x1F) && f->alphaMask == 0; }
bool IsX555(const ColorFormat* f) { return HasMasks(f, 16, 0x7C00, 0x3E0, 0x1F) && f->alphaMask == 0; }
bool IsA555(const ColorFormat* f) { return HasMasks(f, 16, 0x7C00, 0x3E0, 0x1F) && f->alphaMask == 0x8000; }

// An 8-bit format whose pixels are palette indices: its masks describe the
// palette entries (or nothing), not channels within the byte.
bool IsPaletteFormat(const ColorFormat* f)
{
    uint32_t masks = f->redMask | f->greenMask | f->blueMask | f->alphaMask;
    return f->bitDepth == 8 && (masks == 0 || (masks & ~0xFFu) != 0);
}

uint32_t Field(uint32_t value, uint32_t mask, int shift) { return (value & mask) >> shift; }

// A field of `from` bits widened to 8 bits (or narrowed when wider).
uint32_t To8Bits(uint32_t v, int from)
{
    if (from == 0)
        return 0;
    if (from >= 8)
        return v >> (from - 8);
    return (v << (8 - from)) + v * ((1u << (8 - from)) - 1) / ((1u << from) - 1);
}

// A channel value of `width` bits moved by d = source width - destination
// width: narrowing drops low bits, widening fills them in proportion.
uint32_t Rescale(uint32_t v, int d, int width)
{
    if (d > 0)
        return d >= 32 ? 0 : v >> d;
    if (d == 0)
        return v;
    if (width <= 0)
        return 0;
    int e = -d;
    uint64_t wide = ((uint64_t)v << e) + (uint64_t)v * ((1ull << e) - 1) / ((1ull << width) - 1);
    return (uint32_t)wide;
}

uint32_t CutToPixelSize(uint32_t key, int bytes)
{
    switch (bytes) {
    case 1: return key & 0xFF;
    case 2: return key & 0xFFFF;
    case 3: return key & 0xFFFFFF;
    }
    return key;
}

// ---------------------------------------------------------------------------
// Remap between two palettes

int RemapPalette(const Blt& b)
{
    uint8_t map[256];
    for (int i = 0; i < 256; i++) {
        uint32_t e = b.sf->palette[i];
        map[i] = (uint8_t)ColorToPixelValue(b.df, (e >> 16) & 0xFF, (e >> 8) & 0xFF, e & 0xFF, 0);
    }
    ptrdiff_t step = b.DestinationStep();
    for (int j = 0; j < b.height; j++) {
        const uint8_t* s = b.SourceRow(j);
        uint8_t* d = b.DestinationRow(j);
        for (int i = 0; i < b.width; i++, d += step)
            *d = map[s[i]];
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Palette destination

int ToPaletteFromDirect(const Blt& b)
{
    const ColorFormat* sf = b.sf;
    int bytes = sf->bytesPerPixel;
    ptrdiff_t step = b.DestinationStep();
    uint32_t lastValue = 0;
    uint8_t lastIndex = 0;
    bool haveLast = false;
    for (int j = 0; j < b.height; j++) {
        const uint8_t* s = b.SourceRow(j);
        uint8_t* d = b.DestinationRow(j);
        for (int i = 0; i < b.width; i++, s += bytes, d += step) {
            uint32_t v = ReadPixelValue(s, bytes);
            if (!haveLast || v != lastValue) {
                // Channels go to the nearest-colour search as 8-bit values,
                // so that narrow source channels compare on the palette's scale.
                uint32_t r = To8Bits(Field(v, sf->redMask, sf->redShift), sf->redWidth);
                uint32_t g = To8Bits(Field(v, sf->greenMask, sf->greenShift), sf->greenWidth);
                uint32_t bl = To8Bits(Field(v, sf->blueMask, sf->blueShift), sf->blueWidth);
                uint32_t a = To8Bits(Field(v, sf->alphaMask, sf->alphaShift), sf->alphaWidth);
                lastIndex = (uint8_t)ColorToPixelValue(b.df, (int)r, (int)g, (int)bl, (int)a);
                lastValue = v;
                haveLast = true;
            }
            *d = lastIndex;
        }
    }
    return 0;
}

int CopyIndices(const Blt& b)
{
    int highest = 0;
    ptrdiff_t step = b.DestinationStep();
    for (int j = 0; j < b.height; j++) {
        const uint8_t* s = b.SourceRow(j);
        uint8_t* d = b.DestinationRow(j);
        if (b.mirror) {
            for (int i = 0; i < b.width; i++, d += step)
                *d = s[i];
        } else {
            memcpy(d, s, (size_t)b.width);
        }
        for (int i = 0; i < b.width; i++)
            if (s[i] > highest)
                highest = s[i];
    }
    return highest;
}

// ---------------------------------------------------------------------------
// Same format

int CopySameFormat(const Blt& b)
{
    int bytes = b.df->bytesPerPixel;
    ptrdiff_t step = b.DestinationStep();
    uint32_t key = CutToPixelSize(b.key, bytes);
    for (int j = 0; j < b.height; j++) {
        const uint8_t* s = b.SourceRow(j);
        uint8_t* d = b.DestinationRow(j);
        if (b.mirror) {
            for (int i = 0; i < b.width; i++, s += bytes, d += step)
                memcpy(d, s, (size_t)bytes);
        } else if (!b.skipKey) {
            memcpy(d, s, (size_t)b.width * bytes);
        } else {
            for (int i = 0; i < b.width; i++, s += bytes, d += step)
                if (ReadPixelValue(s, bytes) != key)
                    memcpy(d, s, (size_t)bytes);
        }
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Key to alpha with the same colour layout

int KeyToAlphaSameLayout(const Blt& b)
{
    const ColorFormat* df = b.df;
    int bytes = df->bytesPerPixel;
    uint32_t key = ColorToPixelValue(df, (b.key >> 16) & 0xFF, (b.key >> 8) & 0xFF, b.key & 0xFF, 255);
    uint32_t rgb = df->redMask | df->greenMask | df->blueMask;
    ptrdiff_t step = b.DestinationStep();
    for (int j = 0; j < b.height; j++) {
        const uint8_t* s = b.SourceRow(j);
        uint8_t* d = b.DestinationRow(j);
        for (int i = 0; i < b.width; i++, s += bytes, d += step) {
            uint32_t v = ReadPixelValue(s, bytes);
            bool match = (v & rgb) == (key & rgb);
            if (bytes == 4)
                v |= ~rgb;
            v = match ? v & ~df->alphaMask : v | df->alphaMask;
            WritePixelValue(d, bytes, v);
        }
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Fixed format pairs

inline uint16_t Load16(const uint8_t* p) { uint16_t v; memcpy(&v, p, 2); return v; }
inline void Store16(uint8_t* p, uint32_t v) { uint16_t w = (uint16_t)v; memcpy(p, &w, 2); }
inline void Store32(uint8_t* p, uint32_t v) { memcpy(p, &v, 4); }
inline uint32_t Load24(const uint8_t* p) { return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16; }

inline uint32_t Entry565(uint32_t e) { return ((e >> 8) & 0xF800) | ((e >> 5) & 0x7E0) | ((e >> 3) & 0x1F); }
inline uint32_t Entry555(uint32_t e) { return ((e >> 9) & 0x7C00) | ((e >> 6) & 0x3E0) | ((e >> 3) & 0x1F) | 0x8000; }
inline uint32_t Rgb565(uint32_t r, uint32_t g, uint32_t b) { return (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3); }
inline uint32_t Rgb555(uint32_t r, uint32_t g, uint32_t b) { return (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3) | 0x8000; }
inline uint32_t From565To555(uint32_t p) { return (p & 0x1F) | ((p & 0xFFC0) >> 1); }
inline uint32_t From555To565(uint32_t p) { return (p & 0x3F) | ((p & 0x7FE0) << 1); }
inline uint32_t From565To888(uint32_t p) { return ((p >> 11) & 0x1F) << 19 | ((p >> 5) & 0x3F) << 10 | (p & 0x1F) << 3; }

// Repacks a row between R5G6B5 and X1R5G5B5: four pixels a step with MMX
// when the processor has it, else two.
void Repack16Row(uint8_t* d, const uint8_t* s, int width, bool toX555)
{
    int i = 0;
    if (GetMmxAvailable()) {
        __m64 keep = toX555 ? _mm_set1_pi16(0x001F) : _mm_set1_pi16(0x003F);
        __m64 move = toX555 ? _mm_set1_pi16((short)0xFFC0) : _mm_set1_pi16(0x7FE0);
        for (; i + 4 <= width; i += 4) {
            __m64 v;
            memcpy(&v, s + 2 * i, 8);
            __m64 moved = _mm_and_si64(v, move);
            moved = toX555 ? _mm_srli_pi16(moved, 1) : _mm_slli_pi16(moved, 1);
            __m64 r = _mm_or_si64(_mm_and_si64(v, keep), moved);
            memcpy(d + 2 * i, &r, 8);
        }
        _mm_empty();
    }
    uint32_t keep2 = toX555 ? 0x001F001F : 0x003F003F;
    uint32_t move2 = toX555 ? 0xFFC0FFC0 : 0x7FE07FE0;
    for (; i + 2 <= width; i += 2) {
        uint32_t v;
        memcpy(&v, s + 2 * i, 4);
        uint32_t moved = v & move2;
        v = (v & keep2) | (toX555 ? moved >> 1 : moved << 1);
        memcpy(d + 2 * i, &v, 4);
    }
    if (i < width) {
        uint32_t p = Load16(s + 2 * i);
        Store16(d + 2 * i, toX555 ? From565To555(p) : From555To565(p));
    }
}

// 0 when a fixed pair took the call, -1 when none applies.
int FixedPair(const Blt& b)
{
    const ColorFormat* sf = b.sf;
    const ColorFormat* df = b.df;
    const uint32_t key = b.key;
    const uint32_t key555 = ((key >> 16 & 0xF8) << 7) | ((key >> 8 & 0xF8) << 2) | ((key & 0xFF) >> 3);
    const uint32_t* pal = sf->palette;

    enum Pair {
        NONE, P8_565, P8_X555, P8_X888, RGB24_565, RGB24_X555, RGB24_32, X888_565, R565_RGB24,
        R565_X888, R565_X555, X555_565, P8_A555, P8_A888, RGB24_A555, RGB24_A888, R565_A555, R565_A888,
    } pair = NONE;
    if (!b.keyToAlpha) {
        if (IsPal8(sf) && Is565(df)) pair = P8_565;
        else if (IsPal8(sf) && IsX555(df)) pair = P8_X555;
        else if (IsPal8(sf) && IsX888(df)) pair = P8_X888;
        else if (IsRgb24(sf) && Is565(df)) pair = RGB24_565;
        else if (IsRgb24(sf) && IsX555(df)) pair = RGB24_X555;
        else if (IsRgb24(sf) && IsRgb32(df)) pair = RGB24_32;
        else if (IsX888(sf) && Is565(df)) pair = X888_565;
        else if (Is565(sf) && IsRgb24(df) && df->alphaMask == 0) pair = R565_RGB24;
        else if (Is565(sf) && IsX888(df)) pair = R565_X888;
        else if (Is565(sf) && IsX555(df)) pair = R565_X555;
        else if (IsX555(sf) && Is565(df)) pair = X555_565;
    } else {
        if (IsPal8(sf) && IsA555(df)) pair = P8_A555;
        else if (IsPal8(sf) && IsA888(df)) pair = P8_A888;
        else if (IsRgb24(sf) && IsA555(df)) pair = RGB24_A555;
        else if (IsRgb24(sf) && IsA888(df)) pair = RGB24_A888;
        else if (Is565(sf) && IsA555(df)) pair = R565_A555;
        else if (Is565(sf) && IsA888(df)) pair = R565_A888;
    }
    if (pair == NONE)
        return -1;

    for (int j = 0; j < b.height; j++) {
        const uint8_t* s = b.SourceRow(j);
        uint8_t* d = b.DestinationRow(j);
        int w = b.width;
        switch (pair) {
        case P8_565:
            for (int i = 0; i < w; i++) Store16(d + 2 * i, Entry565(pal[s[i]]));
            break;
        case P8_X555:
            for (int i = 0; i < w; i++) Store16(d + 2 * i, Entry555(pal[s[i]]));
            break;
        case P8_X888:
            for (int i = 0; i < w; i++) Store32(d + 4 * i, pal[s[i]] | 0xFF000000);
            break;
        case RGB24_565:
            for (int i = 0; i < w; i++) Store16(d + 2 * i, Rgb565(s[3 * i + 2], s[3 * i + 1], s[3 * i]));
            break;
        case RGB24_X555:
            for (int i = 0; i < w; i++) Store16(d + 2 * i, Rgb555(s[3 * i + 2], s[3 * i + 1], s[3 * i]));
            break;
        case RGB24_32:
            for (int i = 0; i < w; i++) Store32(d + 4 * i, Load24(s + 3 * i) | 0xFF000000);
            break;
        case X888_565:
            for (int i = 0; i < w; i++) Store16(d + 2 * i, Rgb565(s[4 * i + 2], s[4 * i + 1], s[4 * i]));
            break;
        case R565_RGB24:
            for (int i = 0; i < w; i++) {
                uint32_t p = Load16(s + 2 * i);
                d[3 * i] = (uint8_t)((p & 0x1F) << 3);
                d[3 * i + 1] = (uint8_t)(((p >> 5) & 0x3F) << 2);
                d[3 * i + 2] = (uint8_t)(((p >> 11) & 0x1F) << 3);
            }
            break;
        case R565_X888:
            for (int i = 0; i < w; i++) Store32(d + 4 * i, From565To888(Load16(s + 2 * i)));
            break;
        case R565_X555:
            Repack16Row(d, s, w, true);
            break;
        case X555_565:
            Repack16Row(d, s, w, false);
            break;
        case P8_A555:
            for (int i = 0; i < w; i++) {
                uint32_t e = pal[s[i]];
                Store16(d + 2 * i, e == key ? Entry555(e) & 0x7FFF : Entry555(e));
            }
            break;
        case P8_A888:
            for (int i = 0; i < w; i++) {
                uint32_t e = pal[s[i]];
                Store32(d + 4 * i, e == key ? e : e | 0xFF000000);
            }
            break;
        case RGB24_A555:
            for (int i = 0; i < w; i++) {
                uint32_t p = Load24(s + 3 * i);
                uint32_t v = Rgb555(p >> 16, (p >> 8) & 0xFF, p & 0xFF);
                Store16(d + 2 * i, p == key ? v & 0x7FFF : v);
            }
            break;
        case RGB24_A888:
            for (int i = 0; i < w; i++) {
                uint32_t p = Load24(s + 3 * i);
                Store32(d + 4 * i, p == key ? p : p | 0xFF000000);
            }
            break;
        case R565_A555:
            for (int i = 0; i < w; i++) {
                uint32_t v = From565To555(Load16(s + 2 * i));
                Store16(d + 2 * i, v == key555 ? v : v | 0x8000);
            }
            break;
        case R565_A888:
            for (int i = 0; i < w; i++) {
                uint32_t p = Load16(s + 2 * i);
                uint32_t v = From565To888(p);
                Store32(d + 4 * i, From565To555(p) == key555 ? v : v | 0xFF000000);
            }
            break;
        case NONE:
            break;
        }
    }
    return 0;
}

// ---------------------------------------------------------------------------
// General path

struct Channel {
    uint32_t mask;
    int shift;
};

int General(const Blt& b)
{
    const ColorFormat* sf = b.sf;
    const ColorFormat* df = b.df;
    const ColorFormat* af = b.af;
    int sBytes = sf->bytesPerPixel, dBytes = df->bytesPerPixel, aBytes = b.useAlphaImage ? af->bytesPerPixel : 0;
    bool dstAlpha = df->alphaMask != 0;
    bool srcAlpha = sf->alphaMask != 0;

    bool rescale = sf->redWidth != df->redWidth || sf->greenWidth != df->greenWidth ||
                   (b.useAlphaImage && af->redWidth != df->alphaWidth);
    int alphaSourceWidth = b.useAlphaImage ? af->redWidth : sf->alphaWidth;
    // Bits dropped (d > 0) or added (d < 0) per channel: red, green, blue, alpha.
    const int d[4] = {sf->redWidth - df->redWidth, sf->greenWidth - df->greenWidth,
                      sf->blueWidth - df->blueWidth, alphaSourceWidth - df->alphaWidth};
    const int sw[4] = {sf->redWidth, sf->greenWidth, sf->blueWidth, alphaSourceWidth};
    const Channel dc[4] = {{df->redMask, df->redShift}, {df->greenMask, df->greenShift},
                           {df->blueMask, df->blueShift}, {df->alphaMask, df->alphaShift}};
    const uint32_t allMasks = df->redMask | df->greenMask | df->blueMask | df->alphaMask;
    const uint32_t alphaOnes = df->alphaMask >> df->alphaShift;

    uint32_t keyR = 0, keyG = 0, keyB = 0;
    if (b.keyToAlpha) {
        uint32_t k = ColorToPixelValue(sf, (b.key >> 16) & 0xFF, (b.key >> 8) & 0xFF, b.key & 0xFF, 255);
        if (sBytes == 1)
            k = sf->palette[k & 0xFF];
        keyR = Field(k, sf->redMask, sf->redShift);
        keyG = Field(k, sf->greenMask, sf->greenShift);
        keyB = Field(k, sf->blueMask, sf->blueShift);
    }
    uint32_t skipValue = b.key;
    if (b.skipKey && !b.keyToAlpha)
        skipValue = CutToPixelSize(b.key, sBytes);

    uint32_t error[4] = {0, 0, 0, 0};
    ptrdiff_t step = b.DestinationStep();
    for (int j = 0; j < b.height; j++) {
        const uint8_t* s = b.SourceRow(j);
        const uint8_t* a = b.useAlphaImage ? b.AlphaRow(j) : nullptr;
        uint8_t* dp = b.DestinationRow(j);
        for (int i = 0; i < b.width; i++, s += sBytes, a += aBytes, dp += step) {
            uint32_t raw = ReadPixelValue(s, sBytes);
            if (b.skipKey && raw == skipValue)
                continue;
            uint32_t v = sBytes == 1 ? sf->palette[raw] : raw;
            uint32_t src[4];   // the source fields before rescaling
            src[0] = Field(v, sf->redMask, sf->redShift);
            src[1] = Field(v, sf->greenMask, sf->greenShift);
            src[2] = Field(v, sf->blueMask, sf->blueShift);
            src[3] = 0;

            uint32_t alpha;
            if (!dstAlpha || !b.keyToAlpha) {
                bool fromSource = false;
                if (b.useAlphaImage) {
                    uint32_t av = ReadPixelValue(a, aBytes);
                    if (aBytes == 1)
                        av = af->palette[av];
                    src[3] = Field(av, af->redMask, af->redShift);
                    fromSource = true;
                } else if (!srcAlpha) {
                    alpha = alphaOnes;
                } else if (!dstAlpha) {
                    alpha = 0;
                } else {
                    src[3] = Field(v, sf->alphaMask, sf->alphaShift);
                    fromSource = true;
                }
                if (fromSource)
                    alpha = rescale ? Rescale(src[3], d[3], sw[3]) : src[3];
                if (b.alphaFromRed)
                    alpha = src[0];
            } else {
                alpha = src[0] == keyR && src[1] == keyG && src[2] == keyB ? 0 : alphaOnes;
            }

            uint32_t r = src[0], g = src[1], bl = src[2];
            if (rescale) {
                r = Rescale(r, d[0], sw[0]);
                g = Rescale(g, d[1], sw[1]);
                bl = Rescale(bl, d[2], sw[2]);
            }
            if (b.colorOff)
                r = g = bl = 0;
            uint32_t packed = r << dc[0].shift | g << dc[1].shift | bl << dc[2].shift | alpha << dc[3].shift;

            if (rescale) {
                uint32_t joined = packed & ~allMasks;
                for (int c = 0; c < 4; c++) {
                    if (!dc[c].mask)
                        continue;
                    uint32_t top = dc[c].mask >> dc[c].shift;
                    uint32_t field = (packed & dc[c].mask) >> dc[c].shift;
                    if (d[c] > 0 && d[c] < 32 && b.dither != CONVERT_DITHER_NONE) {
                        uint32_t droppedMask = (1u << d[c]) - 1;
                        uint32_t dropped = src[c] & droppedMask;
                        if (b.dither == CONVERT_DITHER_ORDERED) {
                            uint32_t m = orderedDither[(i & 3) + 4 * (j & 3)];
                            uint32_t threshold = (uint32_t)(((uint64_t)m << d[c]) >> 4);
                            if (threshold < dropped)
                                field++;
                        } else if (b.dither == CONVERT_DITHER_ERROR) {
                            error[c] += dropped;
                            if (error[c] > droppedMask) {
                                field++;
                                error[c] &= droppedMask;
                            }
                        }
                    }
                    if (field > top)
                        field = top;
                    joined |= field << dc[c].shift;
                }
                packed = joined;
            }

            switch (dBytes) {
            case 1:
                *dp = (uint8_t)packed;
                break;
            case 2:
                WritePixelValue(dp, 2, packed | df->unusedMask);
                break;
            case 3:
                WritePixelValue(dp, 3, packed);
                break;
            case 4:
                WritePixelValue(dp, 4, packed | df->unusedMask);
                break;
            }
        }
    }
    return 0;
}

} // namespace

int ConvertImageBlt(void* destination, int destinationPitch, const ColorFormat* destinationFormat,
                    const void* source, int sourcePitch, const ColorFormat* sourceFormat,
                    const void* alphaImage, int alphaPitch, const ColorFormat* alphaFormat,
                    int destinationX, int destinationY, const ConvertRect* sourceRect, int mirror,
                    int keyToAlpha, uint32_t key, int dither, int colorOff, int alphaFromRed,
                    int skipKey, int remap)
{
    // Work on copies: a caller may pass one record for several roles.
    ColorFormat df = *destinationFormat;
    ColorFormat sf = *sourceFormat;
    ColorFormat af;
    if (alphaFormat)
        af = *alphaFormat;

    // Block data has no pixel rows; callers decompress first.
    if (df.compression != COLOR_COMPRESSION_NONE || sf.compression != COLOR_COMPRESSION_NONE)
        return -1;

    Blt b;
    b.dst = (uint8_t*)destination;
    b.dstPitch = destinationPitch;
    b.df = &df;
    b.src = (const uint8_t*)source;
    b.srcPitch = sourcePitch;
    b.sf = &sf;
    b.alpha = (const uint8_t*)alphaImage;
    b.alphaPitch = alphaPitch;
    b.af = alphaFormat ? &af : nullptr;
    b.dstX = destinationX;
    b.dstY = destinationY;
    b.key = key;
    b.dither = dither;
    b.mirror = mirror != 0;
    b.colorOff = colorOff != 0;
    b.alphaFromRed = alphaFromRed != 0;
    b.remap = remap != 0;
    b.alphaArgument = alphaImage != nullptr;

    bool dstAlpha = df.alphaMask != 0;
    bool srcAlpha = sf.alphaMask != 0;
    b.useAlphaImage = dstAlpha && alphaImage && alphaFormat && !srcAlpha;
    if (b.useAlphaImage && (af.compression != COLOR_COMPRESSION_NONE || af.bytesPerPixel < 1 || af.bytesPerPixel > 4))
        return -1;
    b.keyToAlpha = keyToAlpha == 1 && dstAlpha && !b.useAlphaImage && !srcAlpha && alphaFromRed != 1;
    b.skipKey = skipKey == 1 && !b.mirror;

    b.left = sourceRect->left;
    b.top = sourceRect->top;
    b.width = sourceRect->right - sourceRect->left;
    b.height = sourceRect->bottom - sourceRect->top;
    if (b.width <= 0 || b.height <= 0)
        return -1;
    if (sf.bytesPerPixel < 1 || sf.bytesPerPixel > 4 || df.bytesPerPixel < 1 || df.bytesPerPixel > 4)
        return 0;

    if (b.remap && sf.bytesPerPixel == 1 && df.bytesPerPixel == 1 &&
        memcmp(sf.palette, df.palette, sizeof sf.palette) != 0)
        return RemapPalette(b);

    // One-channel 8-bit formats (R3G3B2, single-channel images) are packed by
    // the general path rather than searched as palettes.
    if (IsPaletteFormat(&df) && !b.colorOff && !b.alphaFromRed) {
        if (sf.bitDepth == 16 || sf.bitDepth == 24 || sf.bitDepth == 32)
            return ToPaletteFromDirect(b);
        if (sf.bitDepth != 8)
            return 0;
        if (!b.skipKey)
            return CopyIndices(b);
    }

    bool sameMasks = sf.redMask == df.redMask && sf.greenMask == df.greenMask && sf.blueMask == df.blueMask;
    if (!b.keyToAlpha && !b.colorOff && !b.alphaFromRed && !b.useAlphaImage && sf.bitDepth == df.bitDepth &&
        sameMasks && sf.alphaMask == df.alphaMask)
        return CopySameFormat(b);

    if (dstAlpha && b.keyToAlpha && !b.colorOff && !b.alphaFromRed && !b.skipKey && sf.bitDepth == df.bitDepth &&
        sameMasks)
        return KeyToAlphaSameLayout(b);

    if (b.dither == CONVERT_DITHER_NONE && !b.colorOff && !b.alphaFromRed && !b.mirror && !b.alphaArgument &&
        !b.skipKey && FixedPair(b) == 0)
        return 0;

    return General(b);
}
