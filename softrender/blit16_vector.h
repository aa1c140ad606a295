// The busiest R5G6B5 normal-kernel cases eight pixels at a time in SSE2,
// equal to the per-pixel rules bit for bit: the keyed copy, the copy of an
// alpha source (whole, or by its alpha under the flag) and the opaque blend
// of a plain source at p = 128 (halving) and other p (the 6-bit lerp).
#pragma once

#include <emmintrin.h>
#include <stdint.h>

#include "softrender/blit_pixel_rules.h"

namespace blit16v {

// Whether the loop of a kernel case runs here; the key of a keyed plain
// source must fit a colour word (a wider one never matches).
template <int Src, int Mode, bool Blend, bool Bright, int Var>
constexpr bool Handles()
{
    return !Blend && !Bright && Src != 2 &&
           ((Mode == 0 && Src == 1) || (Mode == 0 && Src == 0) || (Mode == 1 && Src == 0 && Var != 0));
}

inline __m128i Select(__m128i mask, __m128i a, __m128i b)
{
    return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}

// floor(x / 63) for x <= 63 * 63, as the lerp table is built.
inline __m128i Div63(__m128i x)
{
    return _mm_srli_epi16(_mm_mulhi_epu16(x, _mm_set1_epi16((short)0x8209)), 5);
}

// The three fields of eight colour words, mixed field by field by f
// (each field's mix a function of the two fields' values).
template <class Mix>
inline __m128i Fields(__m128i d, __m128i s, Mix mix)
{
    const __m128i m5 = _mm_set1_epi16(31), m6 = _mm_set1_epi16(63);
    const __m128i r = mix(_mm_srli_epi16(d, 11), _mm_srli_epi16(s, 11));
    const __m128i g = mix(_mm_and_si128(_mm_srli_epi16(d, 5), m6), _mm_and_si128(_mm_srli_epi16(s, 5), m6));
    const __m128i b = mix(_mm_and_si128(d, m5), _mm_and_si128(s, m5));
    return _mm_or_si128(_mm_or_si128(_mm_slli_epi16(r, 11), _mm_slli_epi16(g, 5)), b);
}

// Draws the first pixels of a row of n, eight at a time; returns how many
// it drew (the rest, fewer than eight, are the caller's). s steps by 2
// bytes (plain) or 4 (alpha: colour word, alpha byte, spare byte).
template <int Src, int Mode, bool Trans, int Var>
inline int32_t Span(const pixrules::RuleContext& c, uint8_t* d, const uint8_t* s, int32_t n, uint32_t key)
{
    const __m128i keyV = _mm_set1_epi16((short)key);
    const int q = c.p >> 2;
    const __m128i qV = _mm_set1_epi16((short)q), rV = _mm_set1_epi16((short)(63 - q));
    int32_t i = 0;
    for (; i + 8 <= n; i += 8, d += 16, s += Src == 1 ? 32 : 16) {
        const __m128i D = _mm_loadu_si128((const __m128i*)d);
        __m128i out;
        if (Src == 1) {
            const __m128i lo = _mm_loadu_si128((const __m128i*)s), hi = _mm_loadu_si128((const __m128i*)(s + 16));
            // Sign-extended words pack back unchanged.
            const __m128i C = _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(lo, 16), 16),
                                              _mm_srai_epi32(_mm_slli_epi32(hi, 16), 16));
            if (!Trans) {
                out = C;
            } else {
                const __m128i byte = _mm_set1_epi32(0xFF);
                const __m128i A = _mm_packs_epi32(_mm_and_si128(_mm_srli_epi32(lo, 16), byte),
                                                  _mm_and_si128(_mm_srli_epi32(hi, 16), byte));
                const __m128i clear = _mm_cmpeq_epi16(A, _mm_setzero_si128());
                if (_mm_movemask_epi8(clear) == 0xFFFF)
                    continue;
                const __m128i full = _mm_cmpeq_epi16(A, _mm_set1_epi16(255));
                const __m128i inv = _mm_sub_epi16(_mm_set1_epi16(256), A);
                out = Fields(D, C, [&](__m128i x, __m128i y) {
                    return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(x, inv), _mm_mullo_epi16(y, A)), 8);
                });
                out = Select(clear, D, Select(full, C, out));
            }
        } else {
            const __m128i S = _mm_loadu_si128((const __m128i*)s);
            if (Mode == 0) {
                out = S;
            } else if (Var == pixrules::VAR_HALVE) {
                const __m128i half = _mm_set1_epi16(0x7BEF);
                out = _mm_add_epi16(_mm_and_si128(_mm_srli_epi16(S, 1), half), _mm_and_si128(_mm_srli_epi16(D, 1), half));
            } else {
                out = Fields(D, S, [&](__m128i x, __m128i y) {
                    return Div63(_mm_add_epi16(_mm_mullo_epi16(y, qV), _mm_mullo_epi16(x, rV)));
                });
            }
            if (Trans) {
                const __m128i keyed = _mm_cmpeq_epi16(S, keyV);
                const int bits = _mm_movemask_epi8(keyed);
                if (bits == 0xFFFF)
                    continue;
                out = Select(keyed, D, out);
            }
        }
        _mm_storeu_si128((__m128i*)d, out);
    }
    return i;
}

} // namespace blit16v
