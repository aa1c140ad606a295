#include "triangle_reference.h"

#include <stdint.h>

#include <algorithm>

namespace {

const int64_t kOne = 262144;

// z / 2^18 toward zero.
int64_t Div(int64_t z)
{
    return z / kOne;
}

struct Edge {
    // Rows of one side, in order: each row's 14.18 x.
    std::vector<int64_t> xs;
    int64_t firstRows = 0; // rows of the first segment
    bool twoSegments = false;
};

void AddSegment(Edge& e, int64_t xp, int64_t yp, int64_t xq, int64_t yq)
{
    const int64_t rows = Div(yq - yp);
    const int64_t step = (xq - xp) / rows;
    if (e.xs.empty())
        e.firstRows = rows;
    else
        e.twoSegments = true;
    for (int64_t k = 0; k < rows; k++)
        e.xs.push_back(xp + k * step);
}

// Index order of three keys by the exchange rule (equal keys never swap).
void Order(const int64_t* key, int* o)
{
    o[0] = 0, o[1] = 1, o[2] = 2;
    for (int i = 0; i < 2; i++)
        for (int j = i + 1; j < 3; j++)
            if (key[o[i]] > key[o[j]])
                std::swap(o[i], o[j]);
}

struct Setup {
    Edge left, right;
    int64_t topY, middleY;
    int64_t xr, yr, ur, vr;
    RefGradients g;
};

bool Build(const SoftTriangleVertex* v, Setup* s)
{
    int64_t X[3], Y[3];
    for (int i = 0; i < 3; i++) {
        X[i] = (int64_t)v[i].x * kOne + kOne / 2;
        Y[i] = (int64_t)v[i].y * kOne + kOne / 2;
    }
    if (!RefTriangleGradients(v, &s->g))
        return false;
    int xo[3], yo[3];
    Order(X, xo);
    Order(Y, yo);
    // Pixel centres divided back toward zero: a negative coordinate comes
    // out one greater.
    s->xr = Div(X[xo[0]]);
    s->yr = Div(Y[xo[0]]);
    s->ur = (int64_t)v[xo[0]].u * kOne;
    s->vr = (int64_t)v[xo[0]].v * kOne;
    const int t = yo[0], m = yo[1], b = yo[2];
    s->topY = Div(Y[t]);
    s->middleY = Div(Y[m]);
    if (Y[t] == Y[m]) {
        int L = t, R = m;
        if (X[m] < X[t])
            std::swap(L, R);
        AddSegment(s->left, X[L], Y[L], X[b], Y[b]);
        AddSegment(s->right, X[R], Y[R], X[b], Y[b]);
    } else if (Y[m] == Y[b]) {
        int L = m, R = b;
        if (X[b] < X[m])
            std::swap(L, R);
        AddSegment(s->left, X[t], Y[t], X[L], Y[L]);
        AddSegment(s->right, X[t], Y[t], X[R], Y[R]);
    } else {
        // Which side the middle vertex is on: compare the slopes exactly.
        // (xm - xt) / (ym - yt) < (xb - xt) / (yb - yt), denominators > 0.
        const int64_t lhs = (X[m] - X[t]) * Div(Y[b] - Y[t]);
        const int64_t rhs = (X[b] - X[t]) * Div(Y[m] - Y[t]);
        if (lhs < rhs) {
            AddSegment(s->left, X[t], Y[t], X[m], Y[m]);
            AddSegment(s->left, X[m], Y[m], X[b], Y[b]);
            AddSegment(s->right, X[t], Y[t], X[b], Y[b]);
        } else {
            AddSegment(s->left, X[t], Y[t], X[b], Y[b]);
            AddSegment(s->right, X[t], Y[t], X[m], Y[m]);
            AddSegment(s->right, X[m] + 1, Y[m], X[b], Y[b]);
        }
    }
    return true;
}

} // namespace

bool RefTriangleGradients(const SoftTriangleVertex* v, RefGradients* out)
{
    int64_t X[3];
    for (int i = 0; i < 3; i++)
        X[i] = (int64_t)v[i].x * kOne + kOne / 2;
    int o[3];
    Order(X, o);
    const SoftTriangleVertex &r = v[o[0]], &a = v[o[1]], &b = v[o[2]];
    const int64_t ax = a.x - r.x, bx = b.x - r.x, ay = a.y - r.y, by = b.y - r.y;
    const int64_t au = (int64_t)a.u - r.u, bu = (int64_t)b.u - r.u, av = (int64_t)a.v - r.v,
                  bv = (int64_t)b.v - r.v;
    const int64_t det = ay * bx - by * ax;
    if (det == 0)
        return false;
    // A step beyond the 32-bit range comes out as -2^31, as the conversion
    // from double gives it.
    auto step = [det](int64_t numerator) {
        const int64_t q = numerator * kOne / det;
        return q < INT32_MIN || q > INT32_MAX ? (int64_t)INT32_MIN : q;
    };
    out->ux = step(ay * bu - by * au);
    out->uy = step(au * bx - ax * bu);
    out->vx = step(ay * bv - by * av);
    out->vy = step(av * bx - ax * bv);
    return true;
}

std::vector<RefSpan> RefTriangleSpans(const SoftTriangleVertex* v, const BlitRect& area)
{
    std::vector<RefSpan> spans;
    Setup s;
    if (!Build(v, &s))
        return spans;
    // Both sides have the same number of rows; the row number restarts at the
    // middle vertex's row when the left side turns there.
    const size_t rows = std::min(s.left.xs.size(), s.right.xs.size());
    for (size_t i = 0; i < rows; i++) {
        int64_t y = s.topY + (int64_t)i;
        if (s.left.twoSegments && (int64_t)i >= s.left.firstRows)
            y = s.middleY + ((int64_t)i - s.left.firstRows);
        int64_t xl = Div(s.left.xs[i]), xr = Div(s.right.xs[i]);
        xl = std::max<int64_t>(xl, area.left);
        xr = std::min<int64_t>(xr, (int64_t)area.right - 1);
        if (y < area.top || y >= area.bottom || xl > xr)
            continue;
        spans.push_back(RefSpan{(int)y, (int)xl, (int)xr});
    }
    return spans;
}

std::vector<RefVisit> RefTriangleVisits(const SoftTriangleVertex* v, const BlitRect& area)
{
    std::vector<RefVisit> visits;
    Setup s;
    if (!Build(v, &s))
        return visits;
    for (const RefSpan& sp : RefTriangleSpans(v, area)) {
        // U and V afresh from the reference point at the span's first pixel,
        // then one x step per pixel, all modulo 2^32.
        int64_t u = s.ur + (sp.y - s.yr) * s.g.uy + (sp.x0 - s.xr) * s.g.ux;
        int64_t w = s.vr + (sp.y - s.yr) * s.g.vy + (sp.x0 - s.xr) * s.g.vx;
        for (int x = sp.x0; x <= sp.x1; x++, u += s.g.ux, w += s.g.vx)
            visits.push_back(RefVisit{x, sp.y, (uint32_t)(uint64_t)u, (uint32_t)(uint64_t)w});
    }
    return visits;
}

std::vector<int> RefVisitCounts(const SoftTriangleVertex* triangles, int count, int width, int height,
                                const BlitRect& area)
{
    std::vector<int> counts((size_t)width * height, 0);
    for (int t = 0; t < count; t++)
        for (const RefVisit& visit : RefTriangleVisits(triangles + 3 * t, area))
            if (visit.x >= 0 && visit.y >= 0 && visit.x < width && visit.y < height)
                counts[(size_t)visit.y * width + visit.x]++;
    return counts;
}

void RefIdentityQuad(int x0, int y0, int w, int h, SoftTriangleVertex out[4])
{
    out[0] = {x0, y0, 0, 0};
    out[1] = {x0 + w, y0, w, 0};
    out[2] = {x0, y0 + h, 0, h};
    out[3] = {x0 + w, y0 + h, w, h};
}

bool RefTexel(const RefVisit& visit, int w, int h, int* column, int* row)
{
    if ((uint64_t)visit.u >= (uint64_t)w * kOne || (uint64_t)visit.v >= (uint64_t)h * kOne)
        return false;
    *column = (int)(visit.u >> 18);
    *row = (int)(visit.v >> 18);
    return true;
}
