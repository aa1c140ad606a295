// Pixel operators of the one-colour shapes (boxes, lines, circles and flat
// triangles) on 16-bit R5G6B5 and 32-bit destination pixels.
//
// Use: PrepareFlatColor once per call (brightness, blend mode and parameter
// rules), then either GetFlatSpan for a function that changes a run of
// pixels, or WithFlatOp to instantiate a loop of FlatPixel<Kind, Mode> per
// pixel kind and mode. Nothing is decided per pixel.
#pragma once

#include <stdint.h>
#include <string.h>

#include <type_traits>

#include "image/soft_blend_tables.h"

namespace flatops {

// How the draw brightness scales the colour: by (c x b) >> 8, skipped at
// 0xFFFFFF (boxes, lines, circles), or always through MulDiv255Table
// (flat triangles).
enum { FLAT_BRIGHT_SHIFT = 0, FLAT_BRIGHT_TABLE = 1 };

// Everything a pixel operator reads, computed once per call.
struct FlatColor {
    uint32_t color;       // prepared colour value; mode 0 stores it whole
    uint32_t addend;      // modes 2, 3: channels MulDiv255Table[p][c], fourth byte 0
    uint32_t c0, c1, c2;  // prepared channels: blue, green, red (16-bit: b, g, r fields);
                          // mode 10 holds them inverted
    int32_t p;            // blend parameter 0..255
    uint32_t mixRB, mixG; // 32-bit modes 1, 10: the channels times p, red and blue packed
    const int32_t* sRow;  // SignedMulDiv255Table[p] + 256 (16-bit blends)
};

// Scales a colour value of pixel kind 0 or 1 by the low 24 bits of the
// draw brightness (byte 0 blue, 1 green, 2 red) by the given rule; the fourth
// byte of a 32-bit colour is kept.
uint32_t BrightenFlatColor(int kind, uint32_t color, uint32_t brightness, int rule);

// Prepares fc for one call and returns the mode whose operator draws: 0, 1,
// 2, 3, 4, 10 or 11 (mode 1 at p = 255 becomes 0), or -1 when nothing is
// drawn (modes 5 to 9 and above 11 or negative; modes 1 to 3 at p = 0; a
// pixel kind other than 0 and 1). p is clamped to 0..255.
int PrepareFlatColor(FlatColor* fc, int kind, uint32_t color, uint32_t brightness, int brightRule, int mode,
                     int p);

inline uint32_t Load32(const uint8_t* px)
{
    uint32_t v;
    memcpy(&v, px, 4);
    return v;
}
inline void Store32(uint8_t* px, uint32_t v) { memcpy(px, &v, 4); }
inline uint32_t Load16(const uint8_t* px)
{
    uint16_t v;
    memcpy(&v, px, 2);
    return v;
}
inline void Store16(uint8_t* px, uint32_t v)
{
    uint16_t w = (uint16_t)v;
    memcpy(px, &w, 2);
}

// (d x 256 + (c - d) x p) >> 8; the sum is never negative.
inline uint32_t Mix8(int32_t d, int32_t c, int32_t p) { return (uint32_t)((d * 256 + (c - d) * p) >> 8); }

// Saturating whole-pixel add and subtract with the low bits of green and red
// as carry/borrow sentinels (and the fourth byte for 32-bit pixels).
inline uint32_t FlatAdd32(uint32_t d, uint32_t s)
{
    uint32_t sum = (d & 0x00FEFEFFu) + (s & 0x00FEFEFFu);
    uint32_t k = sum & 0x01010100u;
    return sum | (k - (k >> 8)) | ((d | s) & 0x00010100u);
}
inline uint32_t FlatSub32(uint32_t d, uint32_t s)
{
    uint32_t v = (d | 0x01010100u) - (s & 0xFEFEFEFFu);
    uint32_t k = v & 0x01010100u;
    return v & (k - (k >> 8));
}
inline uint32_t FlatAdd16(uint32_t d, uint32_t s)
{
    uint32_t sum = (d & 0xF7DEF7DFu) + (s & 0xF7DEF7DFu);
    uint32_t k = sum & 0x08210820u;
    return (sum | (k - (k >> 5)) | ((d | s) & 0x0820u)) & 0xFFFFu;
}
inline uint32_t FlatSub16(uint32_t d, uint32_t s)
{
    uint32_t v = (d | 0x08210820u) - (s & 0xF7DEF7DFu);
    uint32_t k = v & 0x08210820u;
    return v & (k - (k >> 5)) & 0xFFFFu;
}

// What a 32-bit pixel value d becomes.
template <int Mode>
inline uint32_t FlatRule32(uint32_t d, const FlatColor& fc)
{
    if constexpr (Mode == 0) {
        return fc.color;
    } else if constexpr (Mode == 2) {
        return FlatAdd32(d, fc.addend);
    } else if constexpr (Mode == 3) {
        return FlatSub32(d, fc.addend);
    } else {
        const int32_t db = d & 0xFF, dg = (d >> 8) & 0xFF, dr = (d >> 16) & 0xFF;
        const int32_t cb = fc.c0, cg = fc.c1, cr = fc.c2;
        uint32_t b, g, r;
        if constexpr (Mode == 1 || Mode == 10) {
            // d x 256 + (c - d) x p = d x (256 - p) + c x p, which is never
            // negative, so red and blue mix in one word (mode 10's channels
            // were inverted by PrepareFlatColor).
            const uint32_t q = 256 - fc.p;
            const uint32_t rb = (((d & 0x00FF00FFu) * q + fc.mixRB) >> 8) & 0x00FF00FFu;
            const uint32_t gg = (((d & 0x0000FF00u) * q + fc.mixG) >> 8) & 0x0000FF00u;
            return (d & 0xFF000000u) | rb | gg;
        } else if constexpr (Mode == 4) {
            b = (uint32_t)(db * cb) >> 8;
            g = (uint32_t)(dg * cg) >> 8;
            r = (uint32_t)(dr * cr) >> 8;
        } else {
            static_assert(Mode == 11, "flat modes are 0-4, 10 and 11");
            b = Mix8(db, (db * cb) >> 8, fc.p);
            g = Mix8(dg, (dg * cg) >> 8, fc.p);
            r = Mix8(dr, (dr * cr) >> 8, fc.p);
        }
        return (d & 0xFF000000u) | r << 16 | g << 8 | b;
    }
}

// What a 16-bit R5G6B5 word d becomes.
template <int Mode>
inline uint32_t FlatRule16(uint32_t d, const FlatColor& fc)
{
    if constexpr (Mode == 0) {
        return fc.color;
    } else if constexpr (Mode == 2) {
        return FlatAdd16(d, fc.addend);
    } else if constexpr (Mode == 3) {
        return FlatSub16(d, fc.addend);
    } else {
        const int32_t dr = d >> 11, dg = (d >> 5) & 63, db = d & 31;
        const int32_t cb = fc.c0, cg = fc.c1, cr = fc.c2;
        int32_t r, g, b;
        if constexpr (Mode == 1 || Mode == 10) {
            r = dr + fc.sRow[cr - dr];
            g = dg + fc.sRow[cg - dg];
            b = db + fc.sRow[cb - db];
        } else if constexpr (Mode == 4) {
            r = (dr * cr) >> 5;
            g = (dg * cg) >> 6;
            b = (db * cb) >> 5;
        } else {
            static_assert(Mode == 11, "flat modes are 0-4, 10 and 11");
            r = dr + fc.sRow[((dr * cr) >> 5) - dr];
            g = dg + fc.sRow[((dg * cg) >> 6) - dg];
            b = db + fc.sRow[((db * cb) >> 5) - db];
        }
        return (uint32_t)(r << 11 | g << 5 | b);
    }
}

// Changes the pixel at px. Kind 0: R5G6B5 word; kind 1: 32-bit pixel.
template <int Kind, int Mode>
inline void FlatPixel(uint8_t* px, const FlatColor& fc)
{
    if constexpr (Kind == 0)
        Store16(px, Mode == 0 ? fc.color : FlatRule16<Mode>(Load16(px), fc));
    else
        Store32(px, Mode == 0 ? fc.color : FlatRule32<Mode>(Load32(px), fc));
}

// Changes count pixels from px rightwards.
template <int Kind, int Mode>
void FlatSpan(uint8_t* px, int32_t count, const FlatColor& fc)
{
    if constexpr (Mode == 0 && Kind == 0) {
        // The colour word doubled: two pixels a store, then the odd one.
        const uint32_t pair = (fc.color & 0xFFFFu) * 0x10001u;
        for (int32_t i = 0; i < count / 2; i++, px += 4)
            Store32(px, pair);
        if (count & 1)
            Store16(px, fc.color);
    } else {
        for (int32_t i = 0; i < count; i++, px += Kind == 0 ? 2 : 4)
            FlatPixel<Kind, Mode>(px, fc);
    }
}

typedef void (*FlatSpanFn)(uint8_t* px, int32_t count, const FlatColor& fc);

// The span function of a pixel kind and an operator mode returned by
// PrepareFlatColor; null for anything else.
FlatSpanFn GetFlatSpan(int kind, int mode);

// Calls fn(kind, mode) with both as compile-time constants
// (std::integral_constant) for kind 0 or 1 and an operator mode; false, and
// fn not called, for anything else.
template <class Fn>
inline bool WithFlatOp(int kind, int mode, Fn&& fn)
{
    auto withMode = [&](auto k) {
        switch (mode) {
        case 0: fn(k, std::integral_constant<int, 0>{}); return true;
        case 1: fn(k, std::integral_constant<int, 1>{}); return true;
        case 2: fn(k, std::integral_constant<int, 2>{}); return true;
        case 3: fn(k, std::integral_constant<int, 3>{}); return true;
        case 4: fn(k, std::integral_constant<int, 4>{}); return true;
        case 10: fn(k, std::integral_constant<int, 10>{}); return true;
        case 11: fn(k, std::integral_constant<int, 11>{}); return true;
        default: return false;
        }
    };
    if (kind == 0)
        return withMode(std::integral_constant<int, 0>{});
    if (kind == 1)
        return withMode(std::integral_constant<int, 1>{});
    return false;
}

} // namespace flatops
