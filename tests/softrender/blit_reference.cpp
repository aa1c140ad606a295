#include "blit_reference.h"

#include <string.h>

#include <algorithm>

uint32_t RefMulDiv255(uint32_t k, uint32_t v)
{
    return k * v / 255;
}

uint32_t RefMix(uint32_t x, uint32_t y, uint32_t w, int n)
{
    const int64_t q = ((int64_t)x << n) + ((int64_t)y - (int64_t)x) * (int64_t)w;
    return (uint32_t)(q >> n);
}

namespace {

uint32_t Read32(const uint8_t* p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

void Write32(uint8_t* p, uint32_t v)
{
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    p[2] = (uint8_t)(v >> 16);
    p[3] = (uint8_t)(v >> 24);
}

uint32_t Chan(uint32_t v, int c)
{
    return (v >> (8 * c)) & 255;
}

// Saturating add, channel by channel as the rules state it.
uint32_t RefAdd(uint32_t D, const uint32_t x[3])
{
    const uint32_t db = Chan(D, 0), dg = Chan(D, 1), dr = Chan(D, 2);
    const uint32_t b = std::min<uint32_t>(255, db + x[0]);
    const uint32_t cb = db + x[0] > 255;
    const uint32_t G = (dg >> 1) + (x[1] >> 1);
    const uint32_t g = G > 127 ? 255 : 2 * G + ((dg | x[1] | cb) & 1);
    const uint32_t cg = G > 127;
    const uint32_t R = (dr >> 1) + (x[2] >> 1);
    const uint32_t r = R > 127 ? 255 : 2 * R + ((dr | x[2] | cg) & 1);
    const uint32_t top = R > 127 ? 1 : 0;
    return top << 24 | r << 16 | g << 8 | b;
}

uint32_t RefSub(uint32_t D, const uint32_t x[3])
{
    const uint32_t db = Chan(D, 0), dg = Chan(D, 1), dr = Chan(D, 2);
    const bool okB = db >= x[0];
    const bool okG = (dg >> 1) >= (x[1] >> 1);
    const bool okR = (dr >> 1) >= (x[2] >> 1);
    const uint32_t b = okB ? db - x[0] : 0;
    const uint32_t g = okG ? 2 * ((dg >> 1) - (x[1] >> 1)) + (okB ? 1 : 0) : 0;
    const uint32_t r = okR ? 2 * ((dr >> 1) - (x[2] >> 1)) + (okG ? 1 : 0) : 0;
    return r << 16 | g << 8 | b;
}

} // namespace

uint32_t RefPixel32(const Ref32Pixel& px, uint32_t D, uint32_t S)
{
    const bool trl = px.cls == REF_TRANSLUCENT;
    const uint32_t a = S >> 24;
    const uint32_t f = px.f;
    const uint32_t p = px.p;
    // Whole-pixel copies of mode 0.
    if (px.mode == 0 && !px.bright && !px.blend) {
        if (!trl)
            return S;
        if (!px.transOn && !px.runPath)
            return S;
    }
    // Halving of mode 1 at 128 on the normal path.
    if (px.mode == 1 && p == 128 && !px.runPath && !px.alphaSource && !px.bright && !px.blend) {
        uint32_t out = 0;
        for (int c = 0; c < 3; c++)
            out |= ((Chan(S, c) >> 1) + (Chan(D, c) >> 1)) << (8 * c);
        return out;
    }
    uint32_t e[3], d[3], out[3];
    const uint32_t br[3] = {Chan(px.brightness, 0), Chan(px.brightness, 1), Chan(px.brightness, 2)};
    for (int c = 0; c < 3; c++) {
        d[c] = Chan(D, c);
        uint32_t s = Chan(S, c);
        if (px.mode == 10)
            s = 255 - s;
        e[c] = px.bright ? RefMulDiv255(br[c], s) : s;
    }
    for (int c = 0; c < 3; c++) {
        switch (px.mode) {
        case 0:
            if (!trl)
                out[c] = px.blend ? RefMix(d[c], e[c], f, 8) : e[c];
            else
                out[c] = px.blend ? RefMix(d[c], e[c], a * f, 16) : RefMix(d[c], e[c], a, 8);
            break;
        case 1:
        case 10:
        case 11: {
            const uint32_t y = px.mode == 11 ? (d[c] * e[c]) >> 8 : e[c];
            if (!trl)
                out[c] = px.blend ? RefMix(d[c], y, f * p, 16) : RefMix(d[c], y, p, 8);
            else
                out[c] = px.blend ? RefMix(d[c], y, a * f * p, 24) : RefMix(d[c], y, a * p, 16);
            break;
        }
        case 4:
            if (!trl)
                out[c] = px.blend ? (d[c] * e[c] * f) >> 16 : (d[c] * e[c]) >> 8;
            else
                out[c] = px.blend ? (d[c] * e[c] * f * a) >> 24 : (d[c] * e[c] * a) >> 16;
            break;
        default: // 2, 3: addends
            if (!trl)
                out[c] = px.blend ? (e[c] * f * p) >> 16 : RefMulDiv255(p, e[c]);
            else
                out[c] = px.blend ? (e[c] * f * p * a) >> 24 : (e[c] * p * a) >> 16;
            break;
        }
    }
    if (px.mode == 2)
        return RefAdd(D, out);
    if (px.mode == 3)
        return RefSub(D, out);
    return (D & 0xFF000000) | out[2] << 16 | out[1] << 8 | out[0];
}

std::vector<uint8_t> RefRunKinds(const BlitImageDesc* src)
{
    std::vector<uint8_t> kinds;
    if (!src->runTable)
        return kinds;
    size_t at = 0;
    for (int y = 0; y < src->height; y++) {
        int filled = 0;
        while (at < src->runTableSize) {
            const uint8_t code = src->runTable[at++];
            if ((code >> 6) == 3)
                break;
            for (int i = 0; i <= (code & 63) && filled < src->width; i++, filled++)
                kinds.push_back((uint8_t)(code >> 6));
        }
        // A short row leaves its remaining pixels alone.
        for (; filled < src->width; filled++)
            kinds.push_back(REF_SKIP);
    }
    return kinds;
}

std::vector<uint8_t> RefBuildRunTable32(const BlitImageDesc* src)
{
    std::vector<uint8_t> table;
    for (int y = 0; y < src->height; y++) {
        int x = 0;
        while (x < src->width) {
            auto classOf = [&](int px) {
                const uint32_t v = Read32(src->pixels + (size_t)y * src->pitch + (size_t)px * 4);
                if (src->alphaFlag == 1)
                    return (v >> 24) == 0 ? REF_SKIP : (v >> 24) == 255 ? REF_OPAQUE : REF_TRANSLUCENT;
                return v == src->transColor ? REF_SKIP : REF_OPAQUE;
            };
            const int c = classOf(x);
            int n = 1;
            while (x + n < src->width && n < 64 && classOf(x + n) == c)
                n++;
            table.push_back((uint8_t)(c << 6 | (n - 1)));
            x += n;
        }
        table.push_back(0xC0);
    }
    return table;
}

void ReferenceBlit(const BlitImageDesc* dst, const BlitImageDesc* src, int32_t x, int32_t y, int32_t transFlag,
                   const BlitImageDesc* blend, const BlitDrawValues* draw, const uint8_t* ramp)
{
    if (src->pixelKind != dst->pixelKind || dst->paletteFlag == 1 || dst->alphaFlag == 1)
        return;
    if (src->pixelKind != 1 || src->paletteFlag == 1)
        return;
    int mode = draw->mode;
    const int p = draw->param;
    if (p < 0 || p > 255)
        return;
    if (mode == 1 && p == 255)
        mode = 0;
    if ((mode == 1 || mode == 2 || mode == 3) && p == 0)
        return;
    if (!(mode >= 0 && mode <= 4) && mode != 10 && mode != 11)
        return;

    // The pixels drawn: inside the destination, the draw area and the source.
    struct Hit { int dx, dy, sx, sy; };
    std::vector<Hit> hits;
    int64_t minSx = INT64_MAX, minSy = INT64_MAX, maxSx = -1, maxSy = -1;
    for (int dy = 0; dy < dst->height; dy++)
        for (int dx = 0; dx < dst->width; dx++) {
            if (dx < draw->area.left || dx >= draw->area.right || dy < draw->area.top || dy >= draw->area.bottom)
                continue;
            const int64_t sx = (int64_t)dx - x, sy = (int64_t)dy - y;
            if (sx < 0 || sy < 0 || sx >= src->width || sy >= src->height)
                continue;
            hits.push_back({dx, dy, (int)sx, (int)sy});
            minSx = std::min(minSx, sx), maxSx = std::max(maxSx, sx);
            minSy = std::min(minSy, sy), maxSy = std::max(maxSy, sy);
        }
    if (hits.empty())
        return;
    if (blend && (maxSx >= blend->width || maxSy >= blend->height))
        return;

    const bool whole = (int64_t)hits.size() == (int64_t)src->width * src->height;
    const bool wholeBody = src->pixels == src->bodyPixels && src->width == src->bodyWidth &&
                           src->height == src->bodyHeight;
    const bool runPath = transFlag == 1 && src->runTableValid == 1 && src->runTable && whole && wholeBody;
    const std::vector<uint8_t> kinds = runPath ? RefRunKinds(src) : std::vector<uint8_t>();

    Ref32Pixel px = {};
    px.mode = mode;
    px.p = (uint32_t)p;
    px.bright = (draw->brightness & 0xFFFFFF) != 0xFFFFFF;
    px.brightness = draw->brightness;
    px.alphaSource = src->alphaFlag == 1;
    px.transOn = transFlag != 0;
    px.runPath = runPath;
    px.blend = blend != nullptr;
    for (const Hit& hit : hits) {
        uint8_t* dp = dst->pixels + (size_t)hit.dy * dst->pitch + (size_t)hit.dx * 4;
        const uint32_t S = Read32(src->pixels + (size_t)hit.sy * src->pitch + (size_t)hit.sx * 4);
        const uint32_t a = S >> 24;
        int cls;
        if (runPath) {
            cls = kinds[(size_t)hit.sy * src->width + hit.sx];
            if (cls == REF_TRANSLUCENT && !px.alphaSource)
                cls = REF_OPAQUE;
        } else if (px.alphaSource) {
            cls = !px.transOn ? REF_TRANSLUCENT : a == 0 ? REF_SKIP : a == 255 ? REF_OPAQUE : REF_TRANSLUCENT;
        } else {
            cls = px.transOn && S == src->transColor ? REF_SKIP : REF_OPAQUE;
        }
        if (cls == REF_SKIP)
            continue;
        px.cls = cls;
        px.f = blend ? ramp[blend->pixels[(size_t)hit.sy * blend->pitch + hit.sx]] : 0;
        Write32(dp, RefPixel32(px, Read32(dp), S));
    }
}
