// Flat-colour triangle spans: every pixel the walk visits is changed by the
// one-colour operator of the blend mode, the colour scaled once per call
// through MulDiv255Table (no skip at full brightness).
#include "softrender/triangle_raster.h"

#include "softrender/flat_pixel_ops.h"

int RunFlatSpans(const TriangleWalk& walk, int32_t kind, int32_t mode, int32_t param, uint32_t color,
                 uint32_t brightness)
{
    flatops::FlatColor fc;
    const int op = flatops::PrepareFlatColor(&fc, kind, color, brightness, flatops::FLAT_BRIGHT_TABLE, mode, param);
    if (op < 0)
        return 0;
    // One walk per pixel kind and mode, each with its own span loop.
    flatops::WithFlatOp(kind, op, [&](auto k, auto m) {
        constexpr int Kind = decltype(k)::value, Mode = decltype(m)::value;
        WalkTriangle(walk, [&](const TriangleSpan& s) { flatops::FlatSpan<Kind, Mode>(s.dst, s.count, fc); });
    });
    return 0;
}
