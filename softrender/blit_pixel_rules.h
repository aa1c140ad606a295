// Per-pixel rules of the software blitter, shared by the 16-bit, palette and
// stretched kernels. Every rule is a template on the mode and the draw's flags
// so that each kernel loop is compiled without per-pixel flag tests; only the
// pixel's class (opaque or translucent) is passed at run time by the loop.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <type_traits>

#include "image/soft_blend_tables.h"

namespace pixrules {

// What the kernels read besides the pixels, resolved once per call.
struct RuleContext {
    int p;
    const uint32_t* pRow;     // MulDiv255Table[p]
    const int32_t* sRow;      // SignedMulDiv255Table[p] + 256
    const uint8_t (*lerp)[64]; // Lerp64Table[p >> 2]
    const uint32_t* brB;      // MulDiv255Table[brightness byte]
    const uint32_t* brG;
    const uint32_t* brR;
};

inline RuleContext MakeRuleContext(int p, uint32_t brightness)
{
    RuleContext c;
    p &= 0xFF;
    c.p = p;
    c.pRow = MulDiv255Table[p];
    c.sRow = SignedMulDiv255Table[p] + 256;
    c.lerp = Lerp64Table[p >> 2];
    c.brB = MulDiv255Table[brightness & 0xFF];
    c.brG = MulDiv255Table[(brightness >> 8) & 0xFF];
    c.brR = MulDiv255Table[(brightness >> 16) & 0xFF];
    return c;
}

// Opaque-pixel variants that only some kernels use.
enum Variant {
    VAR_GENERAL = 0,
    VAR_HALVE = 1,  // mode 1, p = 128, plain source, normal kernels
    VAR_LERP = 2,   // mode 1, other p, 16-bit plain source, normal kernels
};

// Mixes x + (y - x) w / 2^n, written as x (2^n - w) + y w: for channels of
// up to 8 bits and w below 2^n every term fits 32 unsigned bits, so the
// 32-bit build needs no 64-bit arithmetic.
inline uint32_t M8(uint32_t x, uint32_t y, uint32_t w) { return (x * (256 - w) + y * w) >> 8; }
inline uint32_t M16(uint32_t x, uint32_t y, uint32_t w) { return (x * (65536 - w) + y * w) >> 16; }
inline uint32_t M24(uint32_t x, uint32_t y, uint32_t w) { return (x * (16777216 - w) + y * w) >> 24; }

inline uint32_t Add32(uint32_t d, uint32_t t)
{
    uint32_t u = (d & 0xFEFEFFu) + (t & 0xFEFEFFu);
    uint32_t k = u & 0x1010100u;
    return u | (k - (k >> 8)) | ((d | t) & 0x10100u);
}

inline uint32_t Sub32(uint32_t d, uint32_t t)
{
    uint32_t v = (d | 0x1010100u) - (t & 0xFEFEFFu);
    uint32_t k = v & 0x1010100u;
    return v & (k - (k >> 8));
}

inline uint32_t Add16(uint32_t d, uint32_t t)
{
    uint32_t u = (d & 0xF7DFu) + (t & 0xF7DFu);
    uint32_t k = u & 0x10820u;
    return (u | (k - (k >> 5)) | ((d | t) & 0x0820u)) & 0xFFFFu;
}

inline uint32_t Sub16(uint32_t d, uint32_t t)
{
    uint32_t v = (d | 0x10820u) - (t & 0xF7DFu);
    uint32_t k = v & 0x10820u;
    return v & (k - (k >> 5)) & 0xFFFFu;
}

// One channel of a 32-bit pixel. s is the source byte as read, e is derived
// here (inversion for mode 10, then brightness).
template <int Mode, bool Blend, bool Bright, bool Translucent>
inline uint32_t Channel32(uint32_t d, uint32_t s, uint32_t a, uint32_t f, const uint32_t* br, const RuleContext& c)
{
    uint32_t e = Mode == 10 ? 255 - s : s;
    if constexpr (Bright)
        e = br[e];
    const uint32_t p = (uint32_t)c.p;
    if constexpr (Mode == 0) {
        if constexpr (!Translucent)
            return Blend ? M8(d, e, f) : e;
        else
            return Blend ? M16(d, e, a * f) : M8(d, e, a);
    } else if constexpr (Mode == 1 || Mode == 10) {
        if constexpr (!Translucent)
            return Blend ? M16(d, e, f * p) : M8(d, e, c.p);
        else
            return Blend ? M24(d, e, a * f * p) : M16(d, e, a * p);
    } else if constexpr (Mode == 2 || Mode == 3) {
        // The addend; the caller finishes on the whole pixel.
        if constexpr (!Translucent)
            return Blend ? (e * f * p) >> 16 : c.pRow[e];
        else
            return Blend ? (e * f * p * a) >> 24 : (e * p * a) >> 16;
    } else if constexpr (Mode == 4) {
        if constexpr (!Translucent)
            return Blend ? (d * e * f) >> 16 : (d * e) >> 8;
        else
            return Blend ? (d * e * f * a) >> 24 : (d * e * a) >> 16;
    } else {
        static_assert(Mode == 11, "drawing modes are 0-4, 10 and 11");
        uint32_t n = (d * e) >> 8;
        if constexpr (!Translucent)
            return Blend ? M16(d, n, f * p) : M8(d, n, c.p);
        else
            return Blend ? M24(d, n, a * f * p) : M16(d, n, a * p);
    }
}

// A 32-bit destination pixel d under source pixel s (alpha a, blend factor f).
template <int Mode, bool Blend, bool Bright, bool Translucent, int Var>
inline uint32_t Rule32(uint32_t d, uint32_t s, uint32_t a, uint32_t f, const RuleContext& c)
{
    if constexpr (Mode == 0 && !Blend && !Bright && !Translucent) {
        return s;
    } else if constexpr (Mode == 1 && Var == VAR_HALVE) {
        return ((s >> 1) & 0x7F7F7Fu) + ((d >> 1) & 0x7F7F7Fu);
    } else {
        uint32_t b = Channel32<Mode, Blend, Bright, Translucent>(d & 0xFF, s & 0xFF, a, f, c.brB, c);
        uint32_t g = Channel32<Mode, Blend, Bright, Translucent>((d >> 8) & 0xFF, (s >> 8) & 0xFF, a, f, c.brG, c);
        uint32_t r = Channel32<Mode, Blend, Bright, Translucent>((d >> 16) & 0xFF, (s >> 16) & 0xFF, a, f, c.brR, c);
        uint32_t t = b | g << 8 | r << 16;
        if constexpr (Mode == 2)
            return Add32(d, t);
        else if constexpr (Mode == 3)
            return Sub32(d, t);
        else
            return (d & 0xFF000000u) | t;
    }
}

// One field of a 16-bit pixel (W bits wide). s is the field as read.
template <int Mode, bool Blend, bool Bright, bool Translucent, int W>
inline uint32_t Field16(uint32_t d, uint32_t s, uint32_t a, uint32_t f, const uint32_t* br, const RuleContext& c)
{
    const uint32_t max = (1u << W) - 1;
    uint32_t e = Mode == 10 ? max - s : s;
    if constexpr (Bright)
        e = br[e];
    const uint32_t p = (uint32_t)c.p;
    if constexpr (Mode == 0) {
        if constexpr (!Translucent)
            return Blend ? M8(d, e, f) : e;
        else
            return Blend ? M16(d, e, a * f) : M8(d, e, a);
    } else if constexpr (Mode == 1 || Mode == 10) {
        if constexpr (!Translucent)
            return Blend ? M16(d, e, f * p) : (uint32_t)((int32_t)d + c.sRow[(int32_t)e - (int32_t)d]);
        else
            return Blend ? M24(d, e, a * f * p) : M16(d, e, a * p);
    } else if constexpr (Mode == 2 || Mode == 3) {
        // The addend before the p scaling; alpha comes before brightness
        // for a translucent pixel without blend image.
        if constexpr (!Translucent) {
            return Blend ? (e * f) >> 8 : e;
        } else if constexpr (Blend) {
            return (e * a * f) >> 16;
        } else {
            uint32_t x = (s * a) >> 8;
            return Bright ? br[x] : x;
        }
    } else if constexpr (Mode == 4) {
        if constexpr (!Translucent)
            return Blend ? (e * d * f) >> (W + 8) : (e * d) >> W;
        else
            return Blend ? (e * d * a * f) >> (W + 16) : (e * d * a) >> (W + 8);
    } else {
        static_assert(Mode == 11, "drawing modes are 0-4, 10 and 11");
        if constexpr (Translucent && !Blend && !Bright && W == 6) {
            // Green keeps five more fraction bits of the product here.
            // Below 2^31 throughout: g32 < 2^11, a p < 2^16.
            const int32_t g32 = 32 * (int32_t)d;
            return (uint32_t)((g32 * 65536 + ((int32_t)((s * d) >> 1) - g32) * (int32_t)(a * p)) >> 21);
        }
        uint32_t n = (e * d) >> W;
        if constexpr (!Translucent)
            return Blend ? M16(d, n, f * p) : (uint32_t)((int32_t)d + c.sRow[(int32_t)n - (int32_t)d]);
        else
            return Blend ? M24(d, n, a * f * p) : M16(d, n, a * p);
    }
}

// A 16-bit destination word d under source colour word s.
template <int Mode, bool Blend, bool Bright, bool Translucent, int Var>
inline uint32_t Rule16(uint32_t d, uint32_t s, uint32_t a, uint32_t f, const RuleContext& c)
{
    if constexpr (Mode == 0 && !Blend && !Bright && !Translucent) {
        return s;
    } else if constexpr (Mode == 1 && Var == VAR_HALVE) {
        return ((s >> 1) & 0x7BEFu) + ((d >> 1) & 0x7BEFu);
    } else if constexpr (Mode == 1 && Var == VAR_LERP) {
        return (uint32_t)c.lerp[s >> 11][d >> 11] << 11 | (uint32_t)c.lerp[(s >> 5) & 63][(d >> 5) & 63] << 5 |
               c.lerp[s & 31][d & 31];
    } else {
        uint32_t r = Field16<Mode, Blend, Bright, Translucent, 5>(d >> 11, s >> 11, a, f, c.brR, c);
        uint32_t g = Field16<Mode, Blend, Bright, Translucent, 6>((d >> 5) & 63, (s >> 5) & 63, a, f, c.brG, c);
        uint32_t b = Field16<Mode, Blend, Bright, Translucent, 5>(d & 31, s & 31, a, f, c.brB, c);
        if constexpr (Mode == 2 || Mode == 3) {
            uint32_t t = c.pRow[r] << 11 | c.pRow[g] << 5 | c.pRow[b];
            return Mode == 2 ? Add16(d, t) : Sub16(d, t);
        } else {
            return r << 11 | g << 5 | b;
        }
    }
}

// The rule of a pixel kind: 0 = R5G6B5 words, 1 = 32-bit pixels.
template <int Kind, int Mode, bool Blend, bool Bright, bool Translucent, int Var>
inline uint32_t Rule(uint32_t d, uint32_t s, uint32_t a, uint32_t f, const RuleContext& c)
{
    if constexpr (Kind == 0)
        return Rule16<Mode, Blend, Bright, Translucent, Var>(d, s, a, f, c);
    else
        return Rule32<Mode, Blend, Bright, Translucent, Var>(d, s, a, f, c);
}

// Calls fn with the mode as a compile-time constant; false for a mode that
// draws nothing.
template <class Fn>
inline bool WithMode(int mode, Fn&& fn)
{
    switch (mode) {
    case 0: fn(std::integral_constant<int, 0>{}); return true;
    case 1: fn(std::integral_constant<int, 1>{}); return true;
    case 2: fn(std::integral_constant<int, 2>{}); return true;
    case 3: fn(std::integral_constant<int, 3>{}); return true;
    case 4: fn(std::integral_constant<int, 4>{}); return true;
    case 10: fn(std::integral_constant<int, 10>{}); return true;
    case 11: fn(std::integral_constant<int, 11>{}); return true;
    default: return false;
    }
}

template <class Fn>
inline void WithBool(bool b, Fn&& fn)
{
    if (b)
        fn(std::true_type{});
    else
        fn(std::false_type{});
}

} // namespace pixrules
