// The rules of blit32_rules.h without a blend image, four pixels at a time
// in SSE2: the channels are widened to 16-bit lanes, where every product of
// the rules fits, and each result equals the scalar rule's bit for bit.
// A row function draws a span with the pixel classes of the normal loop and
// leaves the last pixels (fewer than four) to the scalar rules.
#pragma once

#include <emmintrin.h>
#include <stdint.h>

#include "softrender/blit32_rules.h"

namespace blit32v {

using blit32::Ctx;

struct VCtx {
    __m128i p;        // the parameter in every 16-bit lane
    __m128i bright;   // the brightness bytes, lanes B G R 0 twice
    __m128i key;      // the transparent colour in every pixel
};

inline VCtx MakeVCtx(const BlitJob* job)
{
    VCtx v;
    v.p = _mm_set1_epi16((short)job->param);
    v.bright = _mm_setr_epi16((short)job->brB, (short)job->brG, (short)job->brR, 0, (short)job->brB,
                              (short)job->brG, (short)job->brR, 0);
    v.key = _mm_set1_epi32((int)job->transColor);
    return v;
}

inline __m128i Select(__m128i mask, __m128i a, __m128i b)
{
    return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}

// x * 255 / 255... floor(x / 255) for 0 <= x <= 65025, per 16-bit lane.
inline __m128i Div255(__m128i x)
{
    return _mm_mulhi_epu16(_mm_add_epi16(x, _mm_set1_epi16(1)), _mm_set1_epi16(257));
}

// (x * (256 - w) + y * w) >> 8 for w <= 256: the true sum stays below 65536.
inline __m128i Mix8(__m128i x, __m128i y, __m128i w)
{
    const __m128i inv = _mm_sub_epi16(_mm_set1_epi16(256), w);
    return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(x, inv), _mm_mullo_epi16(y, w)), 8);
}

// (x * (65536 - w) + y * w) >> 16 for w < 65536, as x + high(y w) - high(x w)
// less the borrow of the low halves.
inline __m128i Mix16(__m128i x, __m128i y, __m128i w)
{
    const __m128i bias = _mm_set1_epi16((short)0x8000);
    const __m128i yl = _mm_mullo_epi16(y, w), xl = _mm_mullo_epi16(x, w);
    const __m128i borrow = _mm_cmpgt_epi16(_mm_xor_si128(xl, bias), _mm_xor_si128(yl, bias));
    const __m128i r = _mm_sub_epi16(_mm_add_epi16(x, _mm_mulhi_epu16(y, w)), _mm_mulhi_epu16(x, w));
    return _mm_add_epi16(r, borrow);
}

inline __m128i AddPixels(__m128i d, __m128i t)
{
    const __m128i m = _mm_set1_epi32(0xFEFEFF);
    const __m128i u = _mm_add_epi32(_mm_and_si128(d, m), _mm_and_si128(t, m));
    const __m128i k = _mm_and_si128(u, _mm_set1_epi32(0x1010100));
    return _mm_or_si128(_mm_or_si128(u, _mm_sub_epi32(k, _mm_srli_epi32(k, 8))),
                        _mm_and_si128(_mm_or_si128(d, t), _mm_set1_epi32(0x10100)));
}

inline __m128i SubPixels(__m128i d, __m128i t)
{
    const __m128i v = _mm_sub_epi32(_mm_or_si128(d, _mm_set1_epi32(0x1010100)),
                                    _mm_and_si128(t, _mm_set1_epi32(0xFEFEFF)));
    const __m128i k = _mm_and_si128(v, _mm_set1_epi32(0x1010100));
    return _mm_and_si128(v, _mm_sub_epi32(k, _mm_srli_epi32(k, 8)));
}

// The channels of two pixels (16-bit lanes) under the mode: d and s as read,
// a the pixel's alpha in each of its lanes. Lane 3 of each pixel is left
// undefined; the caller sets byte 3.
template <int Mode, bool Bright, bool Trl>
inline __m128i Channels(const VCtx& c, __m128i d, __m128i s, __m128i a)
{
    __m128i e = Mode == BLIT_MODE_INVERT ? _mm_xor_si128(s, _mm_set1_epi16(0xFF)) : s;
    if (Bright)
        e = Div255(_mm_mullo_epi16(e, c.bright));
    switch (Mode) {
    case BLIT_MODE_COPY:
        return Trl ? Mix8(d, e, a) : e;
    case BLIT_MODE_ALPHA:
    case BLIT_MODE_INVERT:
        return Trl ? Mix16(d, e, _mm_mullo_epi16(a, c.p)) : Mix8(d, e, c.p);
    case BLIT_MODE_MUL_BLEND: {
        const __m128i y = _mm_srli_epi16(_mm_mullo_epi16(d, e), 8);
        return Trl ? Mix16(d, y, _mm_mullo_epi16(a, c.p)) : Mix8(d, y, c.p);
    }
    case BLIT_MODE_MUL: {
        const __m128i de = _mm_mullo_epi16(d, e);
        return Trl ? _mm_mulhi_epu16(de, a) : _mm_srli_epi16(de, 8);
    }
    default: // add and subtract: the addend
        return Trl ? _mm_mulhi_epu16(e, _mm_mullo_epi16(a, c.p)) : Div255(_mm_mullo_epi16(e, c.p));
    }
}

// Each pixel's alpha in all four of its 16-bit lanes.
inline __m128i AlphaLanes(__m128i s16)
{
    return _mm_shufflehi_epi16(_mm_shufflelo_epi16(s16, _MM_SHUFFLE(3, 3, 3, 3)), _MM_SHUFFLE(3, 3, 3, 3));
}

// Four pixels of blit32::Rule<Mode, Bright, Trl, false>.
template <int Mode, bool Bright, bool Trl>
inline __m128i Rule4(const VCtx& c, __m128i D, __m128i S)
{
    if (Mode == BLIT_MODE_COPY && !Bright && !Trl)
        return S;
    const __m128i zero = _mm_setzero_si128();
    const __m128i dl = _mm_unpacklo_epi8(D, zero), dh = _mm_unpackhi_epi8(D, zero);
    const __m128i sl = _mm_unpacklo_epi8(S, zero), sh = _mm_unpackhi_epi8(S, zero);
    const __m128i al = Trl ? AlphaLanes(sl) : zero, ah = Trl ? AlphaLanes(sh) : zero;
    const __m128i t = _mm_packus_epi16(Channels<Mode, Bright, Trl>(c, dl, sl, al),
                                       Channels<Mode, Bright, Trl>(c, dh, sh, ah));
    if (Mode == BLIT_MODE_ADD)
        return AddPixels(D, t);
    if (Mode == BLIT_MODE_SUB)
        return SubPixels(D, t);
    const __m128i top = _mm_set1_epi32((int)0xFF000000);
    return Select(top, D, t);
}

// A span of n pixels as the normal loop draws it: Alpha && Trans skips
// alpha 0 and draws alpha 255 opaque, Alpha alone draws every pixel
// translucent, Trans alone skips the key.
template <int Mode, bool Bright, bool Alpha, bool Trans>
inline void Span(const Ctx& c, const VCtx& v, uint8_t* d, const uint8_t* s, int32_t n)
{
    int32_t i = 0;
    for (; i + 4 <= n; i += 4, d += 16, s += 16) {
        const __m128i S = _mm_loadu_si128((const __m128i*)s);
        const __m128i D = _mm_loadu_si128((const __m128i*)d);
        __m128i out;
        if (Alpha && Trans) {
            const __m128i a = _mm_srli_epi32(S, 24);
            const __m128i clear = _mm_cmpeq_epi32(a, _mm_setzero_si128());
            const __m128i full = _mm_cmpeq_epi32(a, _mm_set1_epi32(255));
            const int clearBits = _mm_movemask_epi8(clear), fullBits = _mm_movemask_epi8(full);
            if (clearBits == 0xFFFF)
                continue;
            if (fullBits == 0xFFFF) {
                out = Rule4<Mode, Bright, false>(v, D, S);
            } else {
                out = Rule4<Mode, Bright, true>(v, D, S);
                if (fullBits)
                    out = Select(full, Rule4<Mode, Bright, false>(v, D, S), out);
            }
            if (clearBits)
                out = Select(clear, D, out);
        } else if (Alpha) {
            out = Rule4<Mode, Bright, true>(v, D, S);
        } else {
            out = Rule4<Mode, Bright, false>(v, D, S);
            if (Trans) {
                const __m128i keyed = _mm_cmpeq_epi32(S, v.key);
                const int keyedBits = _mm_movemask_epi8(keyed);
                if (keyedBits == 0xFFFF)
                    continue;
                if (keyedBits)
                    out = Select(keyed, D, out);
            }
        }
        _mm_storeu_si128((__m128i*)d, out);
    }
    for (; i < n; i++, d += 4, s += 4) {
        const uint32_t S = blit32::Load(s);
        if (Alpha && Trans) {
            const uint32_t a = S >> 24;
            if (a == 0)
                continue;
            blit32::Store(d, a == 255 ? blit32::Rule<Mode, Bright, false, false>(c, blit32::Load(d), S, 0)
                                      : blit32::Rule<Mode, Bright, true, false>(c, blit32::Load(d), S, 0));
        } else if (Alpha) {
            blit32::Store(d, blit32::Rule<Mode, Bright, true, false>(c, blit32::Load(d), S, 0));
        } else {
            if (Trans && S == c.transColor)
                continue;
            blit32::Store(d, blit32::Rule<Mode, Bright, false, false>(c, blit32::Load(d), S, 0));
        }
    }
}

} // namespace blit32v
