// Stretched blit: ordering, hand-off to the one-to-one blit, scale, clipping,
// start position and the stepping kernels. The set-up runs in 64 bits and
// the source and blend indices are bounded, so no zoom or position forms a
// pointer outside the images or a loop without end.
#include "softrender/stretch_blit.h"

#include <stdint.h>
#include <string.h>

#include "softrender/blit_setup.h"
#include "softrender/blit_source_loops.h"

using namespace blitsetup;
using namespace srcloops;

namespace {

// One axis of the stepping: the accumulator, its step, and the source
// position as an index bounded by the last index the axis may reach. The
// accumulator stays within (-65536, step], so a step below 2^31 - 65536
// steps in 32 bits (the columns of any zoom up to 32767 to 1); the set-up
// and larger steps stay in 64.
template <class Acc>
struct Axis {
    Acc acc;
    Acc step;
    Acc left;          // advances still allowed before the source edge
};

const int64_t Step32Limit = INT32_MAX - 65536;

// Moves past one destination pixel (row); the number of source pixels
// (rows) to advance by.
template <bool EarlyStop, class Acc>
inline Acc StepAxis(Axis<Acc>& a)
{
    a.acc -= 65536;
    if (a.acc > 0)
        return 0;
    Acc n = 0;
    if (EarlyStop) {
        a.acc += a.step;
        n++;
        while (a.acc < 0) {
            a.acc += a.step;
            n++;
        }
    } else {
        do {
            a.acc += a.step;
            n++;
        } while (a.acc <= 0);
    }
    if (n > a.left)
        n = a.left;
    a.left -= n;
    return n;
}

// The byte offsets of the source columns of a row of a pure copy, from the
// row's first source pixel (not reentrant, as the blit).
const int32_t ColumnTableSize = 4096;
int32_t ColumnTable[ColumnTableSize];

// The per-call values of a stretched draw.
struct StretchJob {
    uint8_t* dst;             // first destination pixel drawn
    ptrdiff_t dstPitch;
    int32_t cw, ch;
    const uint8_t* srcRow;    // first source row drawn, at column c0
    ptrdiff_t srcColStep, srcRowStep;
    const uint8_t* blendRow;  // null without a blend image
    ptrdiff_t blendColStep, blendRowStep;
    int64_t sx, sy;
    int64_t accX0, accY0;     // accumulator starts
    int64_t colAdvances, rowAdvances; // how far the stepping may move
    uint32_t transKey;
    const uint8_t* palette;
    const uint8_t* ramp;
};

template <int Kind, int Src, int Mode, bool Blend, bool Bright, bool Trans, bool EarlyStop, class ColAcc>
void StretchLoop(const StretchJob& j, const RuleContext& c)
{
    const int dBpp = Kind == 0 ? 2 : 4;
    // A row that only copies source pixels whole depends on its source row
    // alone: a row drawn from the same source row as the one before it is
    // that row again. (Brightness keeps the destination's byte 3.)
    constexpr bool pureRows = Mode == 0 && !Blend && !Bright && !Trans && Src != SRC_ALPHA;
    uint8_t* dRow = j.dst;
    const uint8_t* sRow = j.srcRow;
    const uint8_t* mRow = j.blendRow;
    Axis<int64_t> rows{j.accY0, j.sy, j.rowAdvances};
    // Pure rows of up to ColumnTableSize pixels read their source columns
    // from a table stepped once per call.
    const bool table = pureRows && j.cw <= ColumnTableSize;
    if (table) {
        Axis<ColAcc> cols{(ColAcc)j.accX0, (ColAcc)j.sx, (ColAcc)j.colAdvances};
        ptrdiff_t at = 0;
        for (int32_t x = 0; x < j.cw; x++) {
            ColumnTable[x] = (int32_t)at;
            at += StepAxis<EarlyStop>(cols) * j.srcColStep;
        }
    }
    bool repeat = false;
    for (int32_t y = 0; y < j.ch; y++) {
        if (pureRows && (repeat || table)) {
            if (repeat) {
                CopyPixelBytes(dRow, dRow - j.dstPitch, (size_t)j.cw * dBpp);
            } else {
                for (int32_t x = 0; x < j.cw; x++)
                    StorePixel<Kind>(dRow + (ptrdiff_t)x * dBpp,
                                     ReadSource<Kind, Src>(sRow + ColumnTable[x], j.palette).colour);
            }
            dRow += j.dstPitch;
            const int64_t n = StepAxis<EarlyStop>(rows);
            sRow += n * j.srcRowStep;
            repeat = n == 0;
            continue;
        }
        Axis<ColAcc> cols{(ColAcc)j.accX0, (ColAcc)j.sx, (ColAcc)j.colAdvances};
        const uint8_t* s = sRow;
        const uint8_t* m = mRow;
        uint8_t* d = dRow;
        int32_t x = 0;
        while (x < j.cw) {
            // The class of this source pixel serves its whole run.
            bool skip = false, translucent = false;
            SourcePixel px{0, 255};
            if constexpr (Trans && Src != SRC_ALPHA)
                skip = TransparencyKey<Kind, Src>(s) == j.transKey;
            if (!skip) {
                px = ReadSource<Kind, Src>(s, j.palette);
                if constexpr (Src == SRC_ALPHA) {
                    if (Trans) {
                        skip = px.alpha == 0;
                        translucent = px.alpha != 255;
                    } else {
                        translucent = true;
                    }
                }
            }
            const uint32_t f = Blend ? j.ramp[*m] : 0;
            ColAcc n;
            do {
                if (!skip) {
                    const uint32_t dv = LoadPixel<Kind>(d);
                    uint32_t out;
                    if (translucent)
                        out = Rule<Kind, Mode, Blend, Bright, true, VAR_GENERAL>(dv, px.colour, px.alpha, f, c);
                    else
                        out = Rule<Kind, Mode, Blend, Bright, false, VAR_GENERAL>(dv, px.colour, px.alpha, f, c);
                    StorePixel<Kind>(d, out);
                }
                d += dBpp;
                x++;
                n = StepAxis<EarlyStop>(cols);
            } while (n == 0 && x < j.cw);
            s += n * j.srcColStep;
            if (Blend)
                m += n * j.blendColStep;
        }
        dRow += j.dstPitch;
        const int64_t n = StepAxis<EarlyStop>(rows);
        sRow += n * j.srcRowStep;
        if (Blend)
            mRow += n * j.blendRowStep;
        repeat = n == 0;
    }
}

template <int Kind, int Src, int Mode, bool Blend, bool Bright, bool Trans, bool EarlyStop>
void StretchRows(const StretchJob& j, const RuleContext& c)
{
    if (j.sx <= Step32Limit)
        StretchLoop<Kind, Src, Mode, Blend, Bright, Trans, EarlyStop, int32_t>(j, c);
    else
        StretchLoop<Kind, Src, Mode, Blend, Bright, Trans, EarlyStop, int64_t>(j, c);
}

template <int Kind, int Src>
void RunStretchFamily(const StretchJob& j, int32_t mode, int32_t p, bool blendOn, uint32_t brightness,
                      bool brightOn, bool transOn)
{
    const RuleContext c = MakeRuleContext(p, brightness);
    WithMode(mode, [&](auto modeC) {
        WithBool(blendOn, [&](auto blendC) {
            WithBool(brightOn, [&](auto brightC) {
                WithBool(transOn, [&](auto transC) {
                    constexpr int M = decltype(modeC)::value;
                    constexpr bool B = decltype(blendC)::value, R = decltype(brightC)::value,
                                   T = decltype(transC)::value;
                    // The plain copies and the p = 255 subtraction stop
                    // early; an alpha source never does.
                    constexpr bool earlyCandidate = (M == 0 || M == 3) && !B && !R && Src != SRC_ALPHA;
                    if constexpr (earlyCandidate) {
                        if (M == 0 || p == 255) {
                            StretchRows<Kind, Src, M, B, R, T, true>(j, c);
                            return;
                        }
                    }
                    StretchRows<Kind, Src, M, B, R, T, false>(j, c);
                });
            });
        });
    });
}

} // namespace

void PlanAndRunStretch(const BlitImageDesc* dst, const BlitImageDesc* src, const int32_t* rect, int32_t transFlag,
                       const BlitImageDesc* blend, const BlitDrawValues* draw)
{
    if (!dst || !src || !rect || !draw)
        return;
    const int64_t x1 = rect[0], y1 = rect[1], x2 = rect[2], y2 = rect[3];
    const bool mirrorX = x1 > x2, mirrorY = y1 > y2;
    const int64_t L = mirrorX ? x2 : x1, R = mirrorX ? x1 : x2;
    const int64_t T = mirrorY ? y2 : y1, B = mirrorY ? y1 : y2;
    const int64_t w = R - L, h = B - T;
    if (w == 0 || h == 0)
        return;
    if (w == src->width && h == src->height && !mirrorX && !mirrorY) {
        PlanAndRunBlit(dst, src, (int32_t)L, (int32_t)T, transFlag, blend, draw);
        return;
    }
    BlitGates g;
    if (!PassGates(dst, src, draw, &g))
        return;
    const int32_t kind = g.kind, mode = g.mode, p = g.param, srcBpp = g.srcBpp;

    // Scale steps: one source pixel in 1/65536 destination pixels. A step of
    // 0 (a shrink beyond 65536 to 1) could never advance the source.
    const int64_t srcW = src->width, srcH = src->height;
    const int64_t sx = w * 65536 / srcW, sy = h * 65536 / srcH;
    if (sx <= 0 || sy <= 0)
        return;

    ClipBox box;
    if (!ClipToArea(dst, draw, L, T, R, B, &box))
        return;
    const int64_t cl = box.left, ct = box.top;
    const int64_t cw = box.right - cl, ch = box.bottom - ct;

    // Start indices from the cut-away offsets; both stay below the source
    // size, and the last index an axis reaches bounds the region read.
    const int64_t ux = cl - L, uy = ct - T;
    const int64_t qx = Clamp64(ux * 65536 / sx, 0, srcW - 1), rx = ux * 65536 - (ux * 65536 / sx) * sx;
    const int64_t qy = Clamp64(uy * 65536 / sy, 0, srcH - 1), ry = uy * 65536 - (uy * 65536 / sy) * sy;
    const int64_t lastX = Clamp64((ux + cw - 1) * 65536 / sx, qx, srcW - 1);
    const int64_t lastY = Clamp64((uy + ch - 1) * 65536 / sy, qy, srcH - 1);
    const int64_t c0 = mirrorX ? srcW - 1 - qx : qx;
    const int64_t r0 = mirrorY ? srcH - 1 - qy : qy;

    StretchJob j = {};
    j.dst = dst->pixels + ct * dst->pitch + cl * g.dstBpp;
    j.dstPitch = dst->pitch;
    j.cw = (int32_t)cw;
    j.ch = (int32_t)ch;
    j.srcRow = src->pixels + r0 * src->pitch + c0 * srcBpp;
    j.srcColStep = mirrorX ? -srcBpp : srcBpp;
    j.srcRowStep = mirrorY ? -(ptrdiff_t)src->pitch : (ptrdiff_t)src->pitch;
    j.sx = sx;
    j.sy = sy;
    j.accX0 = sx - rx;
    j.accY0 = sy - ry;
    j.colAdvances = lastX - qx;
    j.rowAdvances = lastY - qy;
    if (blend) {
        // Read in source coordinates: it must cover every source pixel read.
        const int64_t maxCol = mirrorX ? srcW - 1 - qx : lastX;
        const int64_t maxRow = mirrorY ? srcH - 1 - qy : lastY;
        if (!IsUsable(blend, 1) || maxCol >= blend->width || maxRow >= blend->height)
            return;
        j.blendRow = blend->pixels + r0 * blend->pitch + c0;
        j.blendColStep = mirrorX ? -1 : 1;
        j.blendRowStep = mirrorY ? -(ptrdiff_t)blend->pitch : (ptrdiff_t)blend->pitch;
    }
    j.transKey = src->transColor;
    j.ramp = BlendGraphRamp;

    const bool blendOn = blend != nullptr;
    const bool brightOn = (draw->brightness & 0xFFFFFF) != 0xFFFFFF;
    const bool transOn = transFlag != 0;
    if (src->paletteFlag == 1) {
        // The body's whole palette, so no index reads a stale entry.
        j.palette = (const uint8_t*)src->palette;
        if (!j.palette)
            return;
        if (kind == 0)
            RunStretchFamily<0, SRC_PALETTE>(j, mode, p, blendOn, draw->brightness, brightOn, transOn);
        else
            RunStretchFamily<1, SRC_PALETTE>(j, mode, p, blendOn, draw->brightness, brightOn, transOn);
    } else if (src->alphaFlag == 1) {
        if (kind == 0)
            RunStretchFamily<0, SRC_ALPHA>(j, mode, p, blendOn, draw->brightness, brightOn, transOn);
        else
            RunStretchFamily<1, SRC_ALPHA>(j, mode, p, blendOn, draw->brightness, brightOn, transOn);
    } else {
        if (kind == 0)
            RunStretchFamily<0, SRC_PLAIN>(j, mode, p, blendOn, draw->brightness, brightOn, transOn);
        else
            RunStretchFamily<1, SRC_PLAIN>(j, mode, p, blendOn, draw->brightness, brightOn, transOn);
    }
}
