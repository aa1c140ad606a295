#include "graphics/matrix_math.h"

#include <math.h>
#include <string.h>

#include "graphics/draw_target.h"
#include "runtime/helpers.h"

static const Matrix identityMatrix = {{
    1, 0, 0, 0,
    0, 1, 0, 0,
    0, 0, 1, 0,
    0, 0, 0, 1,
}};

int MakeIdentityMatrix(Matrix* out)
{
    *out = identityMatrix;
    return 0;
}

int MultiplyMatrix(Matrix* out, const Matrix* a, const Matrix* b)
{
    Matrix t;
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++)
            t.m[i * 4 + j] = a->m[i * 4 + 0] * b->m[0 * 4 + j] + a->m[i * 4 + 1] * b->m[1 * 4 + j] +
                             a->m[i * 4 + 2] * b->m[2 * 4 + j] + a->m[i * 4 + 3] * b->m[3 * 4 + j];
    if (out)
        *out = t;
    return 0;
}

int TransposeMatrix(Matrix* out, const Matrix* in)
{
    Matrix t;
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++)
            t.m[i * 4 + j] = in->m[j * 4 + i];
    *out = t;
    return 0;
}

int InvertMatrix(Matrix* out, const Matrix* in)
{
    const float* m = in->m;
    float c[16];   // cofactors, already transposed (the adjugate)

    // 2 x 2 minors of the lower two rows and of the upper two rows.
    float s0 = m[8] * m[13] - m[9] * m[12];
    float s1 = m[8] * m[14] - m[10] * m[12];
    float s2 = m[8] * m[15] - m[11] * m[12];
    float s3 = m[9] * m[14] - m[10] * m[13];
    float s4 = m[9] * m[15] - m[11] * m[13];
    float s5 = m[10] * m[15] - m[11] * m[14];
    float u0 = m[0] * m[5] - m[1] * m[4];
    float u1 = m[0] * m[6] - m[2] * m[4];
    float u2 = m[0] * m[7] - m[3] * m[4];
    float u3 = m[1] * m[6] - m[2] * m[5];
    float u4 = m[1] * m[7] - m[3] * m[5];
    float u5 = m[2] * m[7] - m[3] * m[6];

    c[0] = m[5] * s5 - m[6] * s4 + m[7] * s3;
    c[4] = -(m[4] * s5 - m[6] * s2 + m[7] * s1);
    c[8] = m[4] * s4 - m[5] * s2 + m[7] * s0;
    c[12] = -(m[4] * s3 - m[5] * s1 + m[6] * s0);

    float det = m[0] * c[0] + m[1] * c[4] + m[2] * c[8] + m[3] * c[12];
    const float limit = 1.0000000116860974e-07f;
    if (det > -limit && det < limit)
        return -1;

    c[1] = -(m[1] * s5 - m[2] * s4 + m[3] * s3);
    c[5] = m[0] * s5 - m[2] * s2 + m[3] * s1;
    c[9] = -(m[0] * s4 - m[1] * s2 + m[3] * s0);
    c[13] = m[0] * s3 - m[1] * s1 + m[2] * s0;

    c[2] = m[13] * u5 - m[14] * u4 + m[15] * u3;
    c[6] = -(m[12] * u5 - m[14] * u2 + m[15] * u1);
    c[10] = m[12] * u4 - m[13] * u2 + m[15] * u0;
    c[14] = -(m[12] * u3 - m[13] * u1 + m[14] * u0);

    c[3] = -(m[9] * u5 - m[10] * u4 + m[11] * u3);
    c[7] = m[8] * u5 - m[10] * u2 + m[11] * u1;
    c[11] = -(m[8] * u4 - m[9] * u2 + m[11] * u0);
    c[15] = m[8] * u3 - m[9] * u1 + m[10] * u0;

    for (int i = 0; i < 16; i++)
        out->m[i] = c[i] / det;
    return 0;
}

static float ScreenAspect()
{
    int w = 0, h = 0;
    QueryScreenSize(&w, &h);
    return (float)h / (float)w;
}

int MakePerspectiveMatrix(Matrix* out, float fov, float nearZ, float farZ, float aspect)
{
    if (aspect < 0)
        aspect = ScreenAspect();
    float s, co;
    SinCosF(fov / 2, &s, &co);
    float q = farZ - nearZ;
    const float limit = 9.999999747378752e-05f;
    if (fabsf(q) < limit || fabsf(s) < limit)
        return -1;
    float yscale = co / s;
    memset(out, 0, sizeof *out);
    out->m[0] = aspect * yscale;
    out->m[5] = yscale;
    out->m[10] = farZ / q;
    out->m[11] = 1;
    out->m[14] = -(farZ / q) * nearZ;
    out->m[15] = 0;
    return 0;
}

int MakeOrthoMatrix(Matrix* out, float size, float nearZ, float farZ, float aspect)
{
    if (aspect < 0)
        aspect = ScreenAspect();
    if (fabsf(nearZ - farZ) < 9.999999747378752e-05f)
        return -1;
    memset(out, 0, sizeof *out);
    out->m[0] = 2 / (size / aspect);
    out->m[5] = 2 / size;
    out->m[10] = 1 / (farZ - nearZ);
    out->m[14] = nearZ / (nearZ - farZ);
    out->m[15] = 1;
    return 0;
}

int MakeViewportMatrix(Matrix* out, float cx, float cy, float w, float h)
{
    memset(out, 0, sizeof *out);
    out->m[0] = w * 0.5f;
    out->m[5] = -h * 0.5f;
    out->m[10] = 1;
    out->m[12] = cx;
    out->m[13] = cy;
    out->m[14] = 0;
    out->m[15] = 1;
    return 0;
}

static Vector3 Cross(const Vector3& a, const Vector3& b)
{
    return Vector3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

int MakeLookAtMatrix(Matrix* out, const Vector3* eye, const Vector3* target, const Vector3* up)
{
    Vector3 z = {target->x - eye->x, target->y - eye->y, target->z - eye->z};
    Vector3 x = Cross(*up, z);
    Vector3 y = Cross(z, x);
    NormalizeVector(&x, &x);
    NormalizeVector(&y, &y);
    NormalizeVector(&z, &z);
    float* m = out->m;
    m[0] = x.x; m[1] = y.x; m[2] = z.x; m[3] = 0;
    m[4] = x.y; m[5] = y.y; m[6] = z.y; m[7] = 0;
    m[8] = x.z; m[9] = y.z; m[10] = z.z; m[11] = 0;
    m[12] = -DotVector(&x, eye);
    m[13] = -DotVector(&y, eye);
    m[14] = -DotVector(&z, eye);
    m[15] = 1;
    return 0;
}

Vector3* TransformPointByMatrix(Vector3* out, const Vector3* p, const Matrix* m)
{
    const float* a = m->m;
    Vector3 r = {
        p->x * a[0] + p->y * a[4] + p->z * a[8] + a[12],
        p->x * a[1] + p->y * a[5] + p->z * a[9] + a[13],
        p->x * a[2] + p->y * a[6] + p->z * a[10] + a[14],
    };
    *out = r;
    return out;
}

Vector3* TransformVectorMatrix(Vector3* out, const Vector3* p, const Matrix* m)
{
    return TransformPointByMatrix(out, p, m);
}

Vector3* TransformVectorByMatrix(Vector3* out, const Vector3* v, const Matrix* m)
{
    const float* a = m->m;
    Vector3 r = {
        v->x * a[0] + v->y * a[4] + v->z * a[8],
        v->x * a[1] + v->y * a[5] + v->z * a[9],
        v->x * a[2] + v->y * a[6] + v->z * a[10],
    };
    *out = r;
    return out;
}

int NormalizeVector(Vector3* out, const Vector3* v)
{
    float length = sqrtf(v->x * v->x + v->y * v->y + v->z * v->z);
    Vector3 r = {v->x / length, v->y / length, v->z / length};
    *out = r;
    return 0;
}

Vector3* MakeNormalizedVector(Vector3* out, float x, float y, float z)
{
    Vector3 v = {x, y, z};
    NormalizeVector(out, &v);
    return out;
}

float DotVector(const Vector3* a, const Vector3* b)
{
    return a->x * b->x + a->y * b->y + a->z * b->z;
}

Float4* MakeFloat4(Float4* out, float x, float y, float z, float w)
{
    out->x = x;
    out->y = y;
    out->z = z;
    out->w = w;
    return out;
}

static LONG Clamp(LONG v, LONG low, LONG high)
{
    if (v > high)
        return high;
    if (v < low)
        return low;
    return v;
}

int ClipRect(RECT* r, const RECT* clip)
{
    if (r->right < r->left)
        r->right = r->left;
    if (r->bottom < r->top)
        r->bottom = r->top;
    r->bottom = Clamp(r->bottom, clip->top, clip->bottom);
    r->top = Clamp(r->top, clip->top, clip->bottom);
    r->right = Clamp(r->right, clip->left, clip->right);
    r->left = Clamp(r->left, clip->left, clip->right);
    return 0;
}
