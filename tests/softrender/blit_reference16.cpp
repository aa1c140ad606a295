#include "blit_reference16.h"

#include <string.h>

namespace {

int64_t Clamp(int64_t v, int64_t lo, int64_t hi) { return v < lo ? lo : (v > hi ? hi : v); }

int64_t Mix(int64_t x, int64_t y, int64_t w, int n) { return (x * ((int64_t)1 << n) + (y - x) * w) >> n; }
// floor(k * v / 255)
int64_t MulDiv(int64_t k, int64_t v) { return k * v / 255; }
// x + p (y - x) / 255 truncated toward zero
int64_t Signed(int64_t x, int64_t y, int64_t p) { return x + p * (y - x) / 255; }

uint32_t Get16(const uint8_t* p) { return (uint32_t)p[0] | (uint32_t)p[1] << 8; }
uint32_t Get32(const uint8_t* p) { return Get16(p) | Get16(p + 2) << 16; }
void Put16(uint8_t* p, uint32_t v) { p[0] = (uint8_t)v; p[1] = (uint8_t)(v >> 8); }
void Put32(uint8_t* p, uint32_t v) { Put16(p, v & 0xFFFF); Put16(p + 2, v >> 16); }

// Brightness byte of a field: r, g, b.
uint32_t BrightByte(uint32_t brightness, int field) { return (brightness >> (16 - 8 * field)) & 0xFF; }

// 32-bit pixels.
uint32_t Rule32(const Ref16Pixel& px, uint32_t D, uint32_t S, uint32_t a)
{
    const bool bright = (px.brightness & 0xFFFFFF) != 0xFFFFFF;
    const bool opaque = px.cls == R16_OPAQUE;
    const int64_t p = px.p, f = px.f;
    if (px.mode == 0 && opaque && !bright && !px.blend)
        return S;
    if (px.mode == 1 && opaque && !bright && !px.blend && !px.alphaSource && px.path == R16_NORMAL && p == 128) {
        uint32_t out = 0;
        for (int c = 0; c < 3; c++)
            out |= ((((S >> (8 * c)) & 255) >> 1) + (((D >> (8 * c)) & 255) >> 1)) << (8 * c);
        return out;
    }
    int64_t ch[3], x[3];
    int64_t dd[3];
    for (int c = 0; c < 3; c++) { // c: 0 blue, 1 green, 2 red
        const int64_t s = (S >> (8 * c)) & 255, d = (D >> (8 * c)) & 255;
        dd[c] = d;
        int64_t e = px.mode == 10 ? 255 - s : s;
        if (bright)
            e = MulDiv(BrightByte(px.brightness, 2 - c), e);
        int64_t v = 0;
        switch (px.mode) {
        case 0: v = opaque ? (px.blend ? Mix(d, e, f, 8) : e) : (px.blend ? Mix(d, e, a * f, 16) : Mix(d, e, a, 8)); break;
        case 1:
        case 10:
            v = opaque ? (px.blend ? Mix(d, e, f * p, 16) : Mix(d, e, p, 8))
                       : (px.blend ? Mix(d, e, a * f * p, 24) : Mix(d, e, a * p, 16));
            break;
        case 2:
        case 3:
            x[c] = opaque ? (px.blend ? (e * f * p) >> 16 : MulDiv(p, e))
                          : (px.blend ? (e * f * p * a) >> 24 : (e * p * a) >> 16);
            break;
        case 4:
            v = opaque ? (px.blend ? (d * e * f) >> 16 : (d * e) >> 8)
                       : (px.blend ? (d * e * f * a) >> 24 : (d * e * a) >> 16);
            break;
        case 11: {
            const int64_t n = (d * e) >> 8;
            v = opaque ? (px.blend ? Mix(d, n, f * p, 16) : Mix(d, n, p, 8))
                       : (px.blend ? Mix(d, n, a * f * p, 24) : Mix(d, n, a * p, 16));
            break;
        }
        }
        ch[c] = v;
    }
    if (px.mode == 2) {
        const int64_t sb = dd[0] + x[0];
        const int64_t b = sb > 255 ? 255 : sb;
        const int64_t cb = sb > 255;
        const int64_t hg = (dd[1] >> 1) + (x[1] >> 1);
        const int64_t g = hg > 127 ? 255 : 2 * hg + ((dd[1] | x[1] | cb) & 1);
        const int64_t cg = hg > 127;
        const int64_t hr = (dd[2] >> 1) + (x[2] >> 1);
        const int64_t r = hr > 127 ? 255 : 2 * hr + ((dd[2] | x[2] | cg) & 1);
        return (uint32_t)(b | g << 8 | r << 16 | (int64_t)(hr > 127) << 24);
    }
    if (px.mode == 3) {
        const bool okb = dd[0] >= x[0], okg = (dd[1] >> 1) >= (x[1] >> 1), okr = (dd[2] >> 1) >= (x[2] >> 1);
        const int64_t b = okb ? dd[0] - x[0] : 0;
        const int64_t g = okg ? 2 * ((dd[1] >> 1) - (x[1] >> 1)) + okb : 0;
        const int64_t r = okr ? 2 * ((dd[2] >> 1) - (x[2] >> 1)) + okg : 0;
        return (uint32_t)(b | g << 8 | r << 16);
    }
    return (D & 0xFF000000u) | (uint32_t)(ch[0] | ch[1] << 8 | ch[2] << 16);
}

// 16-bit words. Fields: 0 red (5 bits), 1 green (6), 2 blue (5).
const int kShift[3] = {11, 5, 0};
const int kWidth[3] = {5, 6, 5};

uint32_t Rule16(const Ref16Pixel& px, uint32_t D, uint32_t S, uint32_t a)
{
    const bool bright = (px.brightness & 0xFFFFFF) != 0xFFFFFF;
    const bool opaque = px.cls == R16_OPAQUE;
    const int64_t p = px.p, f = px.f;
    if (px.mode == 0 && opaque && !bright && !px.blend)
        return S & 0xFFFF;
    const bool plainAlpha =
        px.mode == 1 && opaque && !bright && !px.blend && !px.alphaSource && px.path == R16_NORMAL;
    int64_t out[3], cs[3], cd[3], x[3];
    for (int c = 0; c < 3; c++) {
        const int W = kWidth[c];
        const int64_t M = (1 << W) - 1;
        cs[c] = (S >> kShift[c]) & M;
        cd[c] = (D >> kShift[c]) & M;
        const int64_t s = cs[c], d = cd[c];
        int64_t e = px.mode == 10 ? M - s : s;
        const int64_t br = BrightByte(px.brightness, c);
        if (bright)
            e = MulDiv(br, e);
        int64_t v = 0;
        switch (px.mode) {
        case 0: v = opaque ? (px.blend ? Mix(d, e, f, 8) : e) : (px.blend ? Mix(d, e, a * f, 16) : Mix(d, e, a, 8)); break;
        case 1:
            if (plainAlpha) {
                const int64_t q = p >> 2;
                v = p == 128 ? (s >> 1) + (d >> 1) : (s * q + d * (63 - q)) / 63;
                break;
            }
            [[fallthrough]];
        case 10:
            v = opaque ? (px.blend ? Mix(d, e, f * p, 16) : Signed(d, e, p))
                       : (px.blend ? Mix(d, e, a * f * p, 24) : Mix(d, e, a * p, 16));
            break;
        case 2:
        case 3:
            if (opaque)
                x[c] = px.blend ? (e * f) >> 8 : e;
            else if (px.blend)
                x[c] = (e * a * f) >> 16;
            else
                x[c] = bright ? MulDiv(br, (s * a) >> 8) : (s * a) >> 8;
            x[c] = MulDiv(p, x[c]);
            break;
        case 4:
            v = opaque ? (px.blend ? (e * d * f) >> (W + 8) : (e * d) >> W)
                       : (px.blend ? (e * d * a * f) >> (W + 16) : (e * d * a) >> (W + 8));
            break;
        case 11: {
            if (!opaque && !px.blend && !bright && c == 1) {
                v = (32 * d * 65536 + (((s * d) >> 1) - 32 * d) * a * p) >> 21;
                break;
            }
            const int64_t n = (e * d) >> W;
            v = opaque ? (px.blend ? Mix(d, n, f * p, 16) : Signed(d, n, p))
                       : (px.blend ? Mix(d, n, a * f * p, 24) : Mix(d, n, a * p, 16));
            break;
        }
        }
        out[c] = v;
    }
    if (px.mode == 2) {
        const int64_t sb = cd[2] + x[2];
        const int64_t b = sb > 31 ? 31 : sb;
        const int64_t cb = sb > 31;
        const int64_t hg = (cd[1] >> 1) + (x[1] >> 1);
        const int64_t g = 2 * (hg > 31 ? 31 : hg) + ((cd[1] | x[1] | cb) & 1);
        const int64_t cg = hg > 31;
        const int64_t hr = (cd[0] >> 1) + (x[0] >> 1);
        const int64_t r = hr > 15 ? 31 : 2 * hr + ((cd[0] | x[0] | cg) & 1);
        return (uint32_t)(r << 11 | g << 5 | b);
    }
    if (px.mode == 3) {
        const int64_t b = cd[2] >= x[2] ? cd[2] - x[2] : 0;
        const bool og = (cd[1] >> 1) >= (x[1] >> 1);
        const int64_t g = og ? 2 * ((cd[1] >> 1) - (x[1] >> 1)) : 0;
        const int64_t r = (cd[0] >> 1) >= (x[0] >> 1) ? 2 * ((cd[0] >> 1) - (x[0] >> 1)) + og : 0;
        return (uint32_t)(r << 11 | g << 5 | b);
    }
    return (uint32_t)(out[0] << 11 | out[1] << 5 | out[2]);
}

struct Source {
    uint32_t colour, alpha, key;
};

Source ReadSource(const BlitImageDesc* src, int64_t sx, int64_t sy)
{
    const uint8_t* row = src->pixels + sy * src->pitch;
    Source out{};
    if (src->paletteFlag == 1) {
        const uint32_t index = row[sx];
        const uint8_t* pal = (const uint8_t*)src->palette;
        out.colour = src->pixelKind == 0 ? Get16(pal + 2 * index) : Get32(pal + 4 * index);
        out.alpha = 255;
        out.key = index;
    } else if (src->alphaFlag == 1) {
        const uint32_t v = Get32(row + 4 * sx);
        out.colour = src->pixelKind == 0 ? v & 0xFFFF : v;
        out.alpha = src->pixelKind == 0 ? (v >> 16) & 255 : v >> 24;
        out.key = out.colour;
    } else {
        out.colour = src->pixelKind == 0 ? Get16(row + 2 * sx) : Get32(row + 4 * sx);
        out.alpha = 255;
        out.key = out.colour;
    }
    return out;
}

// Mode after the gates, or -1 when nothing is drawn.
int GatedMode(const BlitDrawValues* draw)
{
    int mode = draw->mode;
    const int p = draw->param;
    if (p < 0 || p > 255)
        return -1;
    if (mode == 1 && p == 255)
        mode = 0;
    if ((mode == 1 || mode == 2 || mode == 3) && p == 0)
        return -1;
    if (!(mode >= 0 && mode <= 4) && mode != 10 && mode != 11)
        return -1;
    return mode;
}

struct Clip {
    int64_t left, top, right, bottom;
};

Clip ClipToArea(const BlitImageDesc* dst, const BlitDrawValues* draw, int64_t l, int64_t t, int64_t r, int64_t b)
{
    const int64_t al = Clamp(draw->area.left, 0, dst->width), at = Clamp(draw->area.top, 0, dst->height);
    const int64_t ar = Clamp(draw->area.right, al, dst->width), ab = Clamp(draw->area.bottom, at, dst->height);
    Clip c;
    c.left = Clamp(l, al, ar);
    c.top = Clamp(t, at, ab);
    c.right = Clamp(r, c.left, ar);
    c.bottom = Clamp(b, c.top, ab);
    return c;
}

uint32_t GetDst(const BlitImageDesc* dst, int64_t x, int64_t y)
{
    const uint8_t* p = dst->pixels + y * dst->pitch + x * (dst->pixelKind == 0 ? 2 : 4);
    return dst->pixelKind == 0 ? Get16(p) : Get32(p);
}

void PutDst(const BlitImageDesc* dst, int64_t x, int64_t y, uint32_t v)
{
    uint8_t* p = dst->pixels + y * dst->pitch + x * (dst->pixelKind == 0 ? 2 : 4);
    if (dst->pixelKind == 0)
        Put16(p, v);
    else
        Put32(p, v);
}

int Classify(const BlitImageDesc* src, const Source& s, bool transOn, int mode, bool bright, bool blend,
             bool stretch)
{
    const bool alpha = src->paletteFlag != 1 && src->alphaFlag == 1;
    if (!alpha)
        return transOn && s.key == src->transColor ? R16_SKIP : R16_OPAQUE;
    if (transOn)
        return s.alpha == 0 ? R16_SKIP : (s.alpha == 255 ? R16_OPAQUE : R16_TRANSLUCENT);
    if (!stretch && mode == 0 && !bright && !blend)
        return R16_OPAQUE;
    return R16_TRANSLUCENT;
}

} // namespace

uint32_t Ref16PixelRule(const Ref16Pixel& px, uint32_t d, uint32_t s, uint32_t a)
{
    return px.kind == 0 ? Rule16(px, d, s, a) : Rule32(px, d, s, a);
}

std::vector<uint8_t> Ref16BuildRunTable(const BlitImageDesc* src)
{
    std::vector<uint8_t> table;
    const bool alpha = src->paletteFlag != 1 && src->alphaFlag == 1;
    for (int y = 0; y < src->height; y++) {
        int kind = -1, len = 0;
        for (int x = 0; x < src->width; x++) {
            const Source s = ReadSource(src, x, y);
            const int k = alpha ? (s.alpha == 0 ? 0 : (s.alpha == 255 ? 1 : 2)) : (s.key == src->transColor ? 0 : 1);
            if (k != kind || len == 64) {
                if (len)
                    table.push_back((uint8_t)(kind << 6 | (len - 1)));
                kind = k;
                len = 0;
            }
            len++;
        }
        if (len)
            table.push_back((uint8_t)(kind << 6 | (len - 1)));
        table.push_back(0xC0);
    }
    return table;
}

void Ref16Blit(const BlitImageDesc* dst, const BlitImageDesc* src, int32_t x, int32_t y, int32_t transFlag,
               const BlitImageDesc* blend, const BlitDrawValues* draw, const uint8_t* ramp)
{
    if (src->pixelKind != dst->pixelKind || dst->paletteFlag == 1 || dst->alphaFlag == 1)
        return;
    if (src->pixelKind != 0 && src->pixelKind != 1)
        return;
    const int mode = GatedMode(draw);
    if (mode < 0)
        return;
    const Clip c = ClipToArea(dst, draw, x, y, (int64_t)x + src->width, (int64_t)y + src->height);
    const int64_t w = c.right - c.left, h = c.bottom - c.top;
    if (w <= 0 || h <= 0)
        return;
    const int64_t ox = c.left - x, oy = c.top - y;
    if (blend && (ox + w > blend->width || oy + h > blend->height))
        return;
    const bool bright = (draw->brightness & 0xFFFFFF) != 0xFFFFFF;
    const bool alphaSource = src->paletteFlag != 1 && src->alphaFlag == 1;
    const bool runPath = transFlag == 1 && src->runTableValid == 1 && src->runTable && w == src->width &&
                         h == src->height && src->pixels == src->bodyPixels && src->width == src->bodyWidth &&
                         src->height == src->bodyHeight;
    // Run kinds of every source pixel, read as the table says.
    std::vector<int> kinds;
    if (runPath) {
        kinds.assign((size_t)src->width * src->height, 0);
        size_t at = 0;
        for (int64_t row = 0; row < src->height; row++) {
            int64_t col = 0;
            while (at < src->runTableSize && src->runTable[at] < 0xC0) {
                const int code = src->runTable[at++];
                for (int n = 0; n <= (code & 63) && col < src->width; n++, col++)
                    kinds[(size_t)(row * src->width + col)] = code >> 6;
            }
            at++;
        }
    }
    for (int64_t j = 0; j < h; j++) {
        for (int64_t i = 0; i < w; i++) {
            const int64_t sx = ox + i, sy = oy + j;
            const Source s = ReadSource(src, sx, sy);
            int cls;
            if (runPath) {
                const int k = kinds[(size_t)(sy * src->width + sx)];
                cls = k == 0 ? R16_SKIP : (k == 2 && alphaSource ? R16_TRANSLUCENT : R16_OPAQUE);
            } else {
                cls = Classify(src, s, transFlag != 0, mode, bright, blend != nullptr, false);
            }
            if (cls == R16_SKIP)
                continue;
            Ref16Pixel px{};
            px.kind = src->pixelKind;
            px.mode = mode;
            px.p = draw->param;
            px.brightness = draw->brightness;
            px.alphaSource = alphaSource;
            px.palette = src->paletteFlag == 1;
            px.path = runPath ? R16_RUN : R16_NORMAL;
            px.blend = blend != nullptr;
            px.f = blend ? ramp[blend->pixels[sy * blend->pitch + sx]] : 0;
            px.cls = cls;
            const int64_t dx = c.left + i, dy = c.top + j;
            PutDst(dst, dx, dy, Ref16PixelRule(px, GetDst(dst, dx, dy), s.colour, s.alpha));
        }
    }
}

int64_t Ref16StretchIndex(int64_t u, int64_t firstU, int64_t s, bool earlyStop)
{
    if (!earlyStop)
        return u * 65536 / s;
    int64_t m = firstU * 65536 / s;
    for (int64_t v = firstU + 1; v <= u; v++) {
        int64_t n = v * 65536 / s;
        if (v * 65536 == n * s && n >= m + 2)
            n--;
        m = n;
    }
    return m;
}

void Ref16Stretch(const BlitImageDesc* dst, const BlitImageDesc* src, const int32_t* rect, int32_t transFlag,
                  const BlitImageDesc* blend, const BlitDrawValues* draw, const uint8_t* ramp)
{
    const bool mx = rect[0] > rect[2], my = rect[1] > rect[3];
    const int64_t L = mx ? rect[2] : rect[0], R = mx ? rect[0] : rect[2];
    const int64_t T = my ? rect[3] : rect[1], B = my ? rect[1] : rect[3];
    const int64_t w = R - L, h = B - T;
    if (w == 0 || h == 0)
        return;
    if (src->pixelKind != dst->pixelKind || dst->paletteFlag == 1 || dst->alphaFlag == 1)
        return;
    if (w == src->width && h == src->height && !mx && !my) {
        Ref16Blit(dst, src, (int32_t)L, (int32_t)T, transFlag, blend, draw, ramp);
        return;
    }
    if ((src->pixelKind != 0 && src->pixelKind != 1) || src->width <= 0 || src->height <= 0)
        return;
    const int mode = GatedMode(draw);
    if (mode < 0)
        return;
    const int64_t sx = w * 65536 / src->width, sy = h * 65536 / src->height;
    if (sx == 0 || sy == 0)
        return;
    const Clip c = ClipToArea(dst, draw, L, T, R, B);
    const int64_t cw = c.right - c.left, ch = c.bottom - c.top;
    if (cw <= 0 || ch <= 0)
        return;
    const bool bright = (draw->brightness & 0xFFFFFF) != 0xFFFFFF;
    const bool alphaSource = src->paletteFlag != 1 && src->alphaFlag == 1;
    const bool early = (mode == 0 || (mode == 3 && draw->param == 255)) && !bright && !blend && !alphaSource;
    const int64_t ux = c.left - L, uy = c.top - T;
    std::vector<int64_t> cols((size_t)cw), rows((size_t)ch);
    // Early stepping depends on the previous drawn index: walk it forward.
    for (int64_t i = 0, prev = 0; i < cw; i++) {
        int64_t n = (ux + i) * 65536 / sx;
        if (early && i > 0 && (ux + i) * 65536 == n * sx && n >= prev + 2)
            n--;
        prev = n;
        cols[(size_t)i] = mx ? src->width - 1 - n : n;
    }
    for (int64_t j = 0, prev = 0; j < ch; j++) {
        int64_t n = (uy + j) * 65536 / sy;
        if (early && j > 0 && (uy + j) * 65536 == n * sy && n >= prev + 2)
            n--;
        prev = n;
        rows[(size_t)j] = my ? src->height - 1 - n : n;
    }
    if (blend) {
        int64_t maxCol = 0, maxRow = 0;
        for (int64_t v : cols)
            maxCol = v > maxCol ? v : maxCol;
        for (int64_t v : rows)
            maxRow = v > maxRow ? v : maxRow;
        if (maxCol >= blend->width || maxRow >= blend->height)
            return;
    }
    for (int64_t j = 0; j < ch; j++) {
        for (int64_t i = 0; i < cw; i++) {
            const int64_t scol = cols[(size_t)i], srow = rows[(size_t)j];
            const Source s = ReadSource(src, scol, srow);
            const int cls = Classify(src, s, transFlag != 0, mode, bright, blend != nullptr, true);
            if (cls == R16_SKIP)
                continue;
            Ref16Pixel px{};
            px.kind = src->pixelKind;
            px.mode = mode;
            px.p = draw->param;
            px.brightness = draw->brightness;
            px.alphaSource = alphaSource;
            px.palette = src->paletteFlag == 1;
            px.path = R16_STRETCH;
            px.blend = blend != nullptr;
            px.f = blend ? ramp[blend->pixels[srow * blend->pitch + scol]] : 0;
            px.cls = cls;
            const int64_t dx = c.left + i, dy = c.top + j;
            PutDst(dst, dx, dy, Ref16PixelRule(px, GetDst(dst, dx, dy), s.colour, s.alpha));
        }
    }
}
