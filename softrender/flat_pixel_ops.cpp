#include "softrender/flat_pixel_ops.h"

namespace flatops {

namespace {

// The three channels of a colour value: blue, green, red (16-bit: the b, g
// and r fields).
void SplitChannels(int kind, uint32_t color, uint32_t ch[3])
{
    if (kind == 0) {
        ch[0] = color & 31;
        ch[1] = (color >> 5) & 63;
        ch[2] = (color >> 11) & 31;
    } else {
        ch[0] = color & 0xFF;
        ch[1] = (color >> 8) & 0xFF;
        ch[2] = (color >> 16) & 0xFF;
    }
}

// Rebuilds a colour value; keep supplies the fourth byte of a 32-bit value.
uint32_t JoinChannels(int kind, const uint32_t ch[3], uint32_t keep)
{
    if (kind == 0)
        return ch[2] << 11 | ch[1] << 5 | ch[0];
    return (keep & 0xFF000000u) | ch[2] << 16 | ch[1] << 8 | ch[0];
}

} // namespace

uint32_t BrightenFlatColor(int kind, uint32_t color, uint32_t brightness, int rule)
{
    if (rule == FLAT_BRIGHT_SHIFT && (brightness & 0xFFFFFFu) == 0xFFFFFFu)
        return color;
    uint32_t ch[3];
    SplitChannels(kind, color, ch);
    for (int i = 0; i < 3; i++) {
        const uint32_t b = (brightness >> (8 * i)) & 0xFF;
        ch[i] = rule == FLAT_BRIGHT_SHIFT ? (ch[i] * b) >> 8 : MulDiv255Table[b][ch[i]];
    }
    return JoinChannels(kind, ch, color);
}

int PrepareFlatColor(FlatColor* fc, int kind, uint32_t color, uint32_t brightness, int brightRule, int mode,
                     int p)
{
    if (kind != 0 && kind != 1)
        return -1;
    p = p < 0 ? 0 : p > 255 ? 255 : p;
    if ((uint32_t)mode > 11 || (mode >= 5 && mode <= 9))
        return -1;
    if (mode == 1 && p == 255)
        mode = 0;
    if ((mode == 1 || mode == 2 || mode == 3) && p == 0)
        return -1;

    fc->color = BrightenFlatColor(kind, color, brightness, brightRule);
    fc->p = p;
    fc->sRow = SignedMulDiv255Table[p] + 256;
    uint32_t ch[3];
    SplitChannels(kind, fc->color, ch);
    uint32_t scaled[3];
    for (int i = 0; i < 3; i++)
        scaled[i] = MulDiv255Table[p][ch[i]];
    fc->addend = JoinChannels(kind, scaled, 0);
    if (mode == 10) {
        const uint32_t top = kind == 0 ? 31 : 255;
        ch[0] = top - ch[0];
        ch[1] = (kind == 0 ? 63 : 255) - ch[1];
        ch[2] = top - ch[2];
    }
    fc->c0 = ch[0];
    fc->c1 = ch[1];
    fc->c2 = ch[2];
    fc->mixRB = (ch[2] << 16 | ch[0]) * (uint32_t)p;
    fc->mixG = (ch[1] << 8) * (uint32_t)p;
    return mode;
}

FlatSpanFn GetFlatSpan(int kind, int mode)
{
    FlatSpanFn fn = nullptr;
    WithFlatOp(kind, mode, [&](auto k, auto m) { fn = &FlatSpan<decltype(k)::value, decltype(m)::value>; });
    return fn;
}

} // namespace flatops
