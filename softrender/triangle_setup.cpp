// Triangle set-up: refusals, the 14.18 fixed-point vertices, texture
// gradients, the left and right edges, and the choice of span loop. The
// walk itself is WalkTriangle in the header, run by each span loop. No
// platform here (RasterizeMemImageTriangle reads the images in
// triangle_image.cpp), so the native benchmark builds it as it is.
#include "softrender/triangle_raster.h"

#include "image/soft_blend_tables.h"

namespace {

// Two's-complement wrapping arithmetic on 32 bits, as the fixed-point
// set-up is defined, without signed overflow.
int32_t Wrap(uint32_t v)
{
    return (int32_t)v;
}
int32_t Sub(int32_t a, int32_t b)
{
    return Wrap((uint32_t)a - (uint32_t)b);
}
int32_t MulSub(int32_t a, int32_t b, int32_t c, int32_t d) // a*b - c*d
{
    return Wrap((uint32_t)a * (uint32_t)b - (uint32_t)c * (uint32_t)d);
}

// The exchange sort of the set-up: equal keys never swap, yet it is not
// stable ((3, 3, 1) gives (2, 1, 0)).
void SortIndices(const int32_t* key, int* order)
{
    order[0] = 0;
    order[1] = 1;
    order[2] = 2;
    for (int i = 0; i < 2; i++)
        for (int j = i + 1; j < 3; j++)
            if (key[order[i]] > key[order[j]]) {
                const int t = order[i];
                order[i] = order[j];
                order[j] = t;
            }
}

// Gradient numerator (a 32-bit value) x 2^18 / det, truncated toward zero.
int32_t Gradient(int32_t numerator, int32_t det)
{
    const double q = (double)numerator * 262144.0 / (double)det;
    // Beyond the int range the conversion gives INT32_MIN; keep it defined.
    if (!(q > -2147483649.0 && q < 2147483648.0))
        return INT32_MIN;
    return (int32_t)q;
}

// The segment from P to Q (Q on a later row).
TriangleSegment Segment(int32_t xp, int32_t yp, int32_t xq, int32_t yq)
{
    TriangleSegment s;
    s.startX = xp;
    s.rows = TriangleDiv(Sub(yq, yp));
    s.step = Sub(xq, xp) / s.rows;
    return s;
}

bool InRange(int32_t v)
{
    return v >= TRIANGLE_COORD_MIN && v <= TRIANGLE_COORD_MAX;
}

bool CloseEnough(int32_t a, int32_t b)
{
    const int32_t d = a > b ? a - b : b - a; // both in range: no overflow
    return d < 8192;
}

// Outside this range, or 8192 or more apart, the 14.18 differences wrap and
// a segment's row count can come out 0 or negative: a division fault or a
// walk of billions of rows.
bool VerticesFit(const SoftTriangleVertex* v)
{
    for (int i = 0; i < 3; i++)
        if (!InRange(v[i].x) || !InRange(v[i].y))
            return false;
    for (int i = 0; i < 3; i++)
        for (int j = i + 1; j < 3; j++)
            if (!CloseEnough(v[i].x, v[j].x) || !CloseEnough(v[i].y, v[j].y))
                return false;
    return true;
}

// Non-null pixels, a positive size and rows that do not overlap.
bool IsUsable(const BlitImageDesc* image, int32_t bytesPerPixel)
{
    return image->pixels && image->width > 0 && image->height > 0 && image->pitch > 0 &&
           (int64_t)image->width * bytesPerPixel <= image->pitch;
}

int32_t TexelBytes(const BlitImageDesc* src)
{
    if (src->paletteFlag == 1)
        return 1;
    if (src->pixelKind == 1)
        return 4;
    return src->alphaFlag == 1 ? 4 : 2;
}

} // namespace

int SetUpTriangleWalk(const SoftTriangleVertex* vertex, TriangleWalk* w)
{
    if (!vertex || !w || !VerticesFit(vertex))
        return -1;
    int32_t X[3], Y[3], U[3], V[3];
    for (int i = 0; i < 3; i++) {
        X[i] = Wrap((uint32_t)vertex[i].x * TRIANGLE_ONE + TRIANGLE_ONE / 2);
        Y[i] = Wrap((uint32_t)vertex[i].y * TRIANGLE_ONE + TRIANGLE_ONE / 2);
        U[i] = Wrap((uint32_t)vertex[i].u * TRIANGLE_ONE);
        V[i] = Wrap((uint32_t)vertex[i].v * TRIANGLE_ONE);
    }
    int xo[3], yo[3];
    SortIndices(X, xo);
    SortIndices(Y, yo);

    const int r = xo[0], a = xo[1], b = xo[2];
    const int32_t ax = TriangleDiv(Sub(X[a], X[r])), bx = TriangleDiv(Sub(X[b], X[r]));
    const int32_t ay = TriangleDiv(Sub(Y[a], Y[r])), by = TriangleDiv(Sub(Y[b], Y[r]));
    const int32_t au = TriangleDiv(Sub(U[a], U[r])), bu = TriangleDiv(Sub(U[b], U[r]));
    const int32_t av = TriangleDiv(Sub(V[a], V[r])), bv = TriangleDiv(Sub(V[b], V[r]));
    const int32_t det = MulSub(ay, bx, by, ax);
    if (det == 0)
        return -1;
    w->ux = Gradient(MulSub(ay, bu, by, au), det);
    w->uy = Gradient(MulSub(au, bx, ax, bu), det);
    w->vx = Gradient(MulSub(ay, bv, by, av), det);
    w->vy = Gradient(MulSub(av, bx, ax, bv), det);
    w->xr = TriangleDiv(X[r]);
    w->yr = TriangleDiv(Y[r]);
    w->ur = (uint32_t)U[r];
    w->vr = (uint32_t)V[r];

    const int t = yo[0], m = yo[1], bt = yo[2];
    w->startY = TriangleDiv(Y[t]);
    w->middleY = TriangleDiv(Y[m]);
    w->leftSegments = w->rightSegments = 1;
    if (Y[t] == Y[m]) {
        const int L = X[m] < X[t] ? m : t, R = L == t ? m : t;
        w->left[0] = Segment(X[L], Y[L], X[bt], Y[bt]);
        w->right[0] = Segment(X[R], Y[R], X[bt], Y[bt]);
    } else if (Y[m] == Y[bt]) {
        const int L = X[bt] < X[m] ? bt : m, R = L == m ? bt : m;
        w->left[0] = Segment(X[t], Y[t], X[L], Y[L]);
        w->right[0] = Segment(X[t], Y[t], X[R], Y[R]);
    } else {
        const double s1 = (double)Sub(X[m], X[t]) / ((double)Sub(Y[m], Y[t]) / 262144.0);
        const double s2 = (double)Sub(X[bt], X[t]) / ((double)Sub(Y[bt], Y[t]) / 262144.0);
        if (s1 < s2) {
            w->leftSegments = 2;
            w->left[0] = Segment(X[t], Y[t], X[m], Y[m]);
            w->left[1] = Segment(X[m], Y[m], X[bt], Y[bt]);
            w->right[0] = Segment(X[t], Y[t], X[bt], Y[bt]);
        } else {
            w->rightSegments = 2;
            w->left[0] = Segment(X[t], Y[t], X[bt], Y[bt]);
            w->right[0] = Segment(X[t], Y[t], X[m], Y[m]);
            // The second right segment starts one unit right of the middle
            // vertex.
            w->right[1] = Segment(X[m] + 1, Y[m], X[bt], Y[bt]);
        }
    }
    return 0;
}

int PlanAndRunTriangle(const BlitImageDesc* dst, const BlitImageDesc* src, const SoftTriangleVertex* vertices,
                       int32_t trans, const BlitImageDesc* blend, uint32_t color, const BlitDrawValues* draw)
{
    if (!dst || !vertices || !draw)
        return -1;
    if (src && src->pixelKind != dst->pixelKind)
        return -1;
    if (dst->paletteFlag == 1 || dst->alphaFlag == 1)
        return -1;
    if (!VerticesFit(vertices))
        return -1;

    TriangleWalk walk;
    if (SetUpTriangleWalk(vertices, &walk) != 0)
        return 0; // collinear or coincident vertices

    const int32_t kind = dst->pixelKind;
    if (kind != 0 && kind != 1)
        return -1;
    const int32_t bpp = kind == 1 ? 4 : 2;
    if (!IsUsable(dst, bpp))
        return -1;

    // Mode entry rules.
    int32_t mode = draw->mode;
    const int32_t p = draw->param < 0 ? 0 : (draw->param > 255 ? 255 : draw->param);
    if ((uint32_t)mode > 11 || (mode >= 5 && mode <= 9))
        return 0;
    if (mode == 1 && p == 255)
        mode = 0;
    if ((mode == 1 || mode == 2 || mode == 3) && p == 0)
        return 0;

    // The draw area, kept inside the destination as well.
    BlitRect area = draw->area;
    if (area.left < 0)
        area.left = 0;
    if (area.top < 0)
        area.top = 0;
    if (area.right > dst->width)
        area.right = dst->width;
    if (area.bottom > dst->height)
        area.bottom = dst->height;
    if (area.left >= area.right || area.top >= area.bottom)
        return 0;
    walk.area = area;
    walk.dstPixels = dst->pixels;
    walk.dstPitch = dst->pitch;
    walk.dstBpp = bpp;

    if (!src)
        return RunFlatSpans(walk, kind, mode, p, color, draw->brightness);

    TriangleTexture tex = TriangleTexture{};
    tex.texelBytes = TexelBytes(src);
    if (!IsUsable(src, tex.texelBytes))
        return -1;
    tex.paletteSource = src->paletteFlag == 1;
    if (tex.paletteSource && !src->palette)
        return -1;
    if (blend && (!IsUsable(blend, 1) || blend->width < src->width || blend->height < src->height))
        return -1;
    tex.mode = mode;
    tex.param = p;
    tex.brightness = draw->brightness & 0xFFFFFF;
    tex.brightActive = tex.brightness != 0xFFFFFF;
    tex.mulB = MulDiv255Table[tex.brightness & 0xFF];
    tex.mulG = MulDiv255Table[(tex.brightness >> 8) & 0xFF];
    tex.mulR = MulDiv255Table[(tex.brightness >> 16) & 0xFF];
    tex.mulP = MulDiv255Table[p];
    tex.signedP = SignedMulDiv255Table[p] + 256;
    tex.ramp = BlendGraphRamp;
    tex.src = src->pixels;
    tex.srcPitch = src->pitch;
    tex.uLimit = (uint64_t)src->width << TRIANGLE_FRACTION_BITS;
    tex.vLimit = (uint64_t)src->height << TRIANGLE_FRACTION_BITS;
    tex.alphaSource = !tex.paletteSource && src->alphaFlag == 1;
    tex.transFlag = trans;
    tex.transColor = src->transColor;
    tex.palette = tex.paletteSource ? src->palette : nullptr;
    if (blend) {
        tex.blend = blend->pixels;
        tex.blendPitch = blend->pitch;
    }
    return kind == 1 ? RunTexturedSpans32(walk, tex) : RunTexturedSpans16(walk, tex);
}
