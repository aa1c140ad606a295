// Matrices, vectors and rectangle clipping.
#include <gtest/gtest.h>
#include <math.h>

#include "graphics/matrix_math.h"

namespace {

Matrix Make(std::initializer_list<float> values)
{
    Matrix m = {};
    int i = 0;
    for (float v : values)
        m.m[i++] = v;
    return m;
}

void ExpectNear(const Matrix& expected, const Matrix& actual, float tolerance = 1e-5f)
{
    for (int i = 0; i < 16; i++)
        EXPECT_NEAR(expected.m[i], actual.m[i], tolerance) << "element " << i;
}

Matrix Identity()
{
    Matrix m;
    MakeIdentityMatrix(&m);
    return m;
}

const Matrix sample = Make({2, 0, 1, 0, 1, 3, 0, 0, 0, 1, 4, 0, 5, -2, 7, 1});
const Matrix other = Make({1, 2, 0, 0, 0, 1, 0, 0, 3, 0, 1, 0, 0, 0, 0, 1});

} // namespace

TEST(MatrixMath, ProductAppliesTheLeftMatrixFirstAndMayOverwriteEitherArgument)
{
    Matrix expected;
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++) {
            float sum = 0;
            for (int k = 0; k < 4; k++)
                sum += sample.m[i * 4 + k] * other.m[k * 4 + j];
            expected.m[i * 4 + j] = sum;
        }
    Matrix a = sample;
    EXPECT_EQ(0, MultiplyMatrix(&a, &a, &other));
    ExpectNear(expected, a);
    Matrix b = other;
    MultiplyMatrix(&b, &sample, &b);
    ExpectNear(expected, b);
    EXPECT_EQ(0, MultiplyMatrix(nullptr, &sample, &other));

    // A translation in the second matrix moves a point after the first's scale.
    Matrix scale = Make({2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1});
    Matrix move = Make({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 10, 20, 30, 1});
    Matrix both;
    MultiplyMatrix(&both, &scale, &move);
    Vector3 p = {1, 2, 3};
    TransformPointByMatrix(&p, &p, &both);
    EXPECT_FLOAT_EQ(12, p.x);
    EXPECT_FLOAT_EQ(24, p.y);
    EXPECT_FLOAT_EQ(36, p.z);
}

TEST(MatrixMath, TransposeInPlace)
{
    Matrix t = sample;
    TransposeMatrix(&t, &t);
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++)
            EXPECT_EQ(sample.m[j * 4 + i], t.m[i * 4 + j]);
}

TEST(MatrixMath, InverseTimesMatrixIsIdentity)
{
    Matrix inverse, product;
    ASSERT_EQ(0, InvertMatrix(&inverse, &sample));
    MultiplyMatrix(&product, &sample, &inverse);
    ExpectNear(Identity(), product);
    MultiplyMatrix(&product, &inverse, &sample);
    ExpectNear(Identity(), product);
}

TEST(MatrixMath, InverseRefusesANearlySingularMatrixAtTheFloatBound)
{
    const float bound = 1.0000000116860974e-07f;
    Matrix tiny = Identity();
    tiny.m[0] = 5e-8f;
    Matrix out = sample;
    EXPECT_EQ(-1, InvertMatrix(&out, &tiny));
    ExpectNear(sample, out, 0);
    tiny.m[0] = -5e-8f;
    EXPECT_EQ(-1, InvertMatrix(&out, &tiny));

    Matrix exact = Identity();
    exact.m[0] = bound;
    ASSERT_EQ(0, InvertMatrix(&out, &exact));
    EXPECT_FLOAT_EQ(1 / bound, out.m[0]);
    Matrix zero = {};
    EXPECT_EQ(-1, InvertMatrix(&out, &zero));
}

TEST(MatrixMath, PerspectiveProjection)
{
    Matrix p, before = sample;
    p = before;
    EXPECT_EQ(-1, MakePerspectiveMatrix(&p, 1.0f, 10, 10, 1));
    ExpectNear(before, p, 0);
    EXPECT_EQ(-1, MakePerspectiveMatrix(&p, 0, 1, 100, 1));

    ASSERT_EQ(0, MakePerspectiveMatrix(&p, 3.14159265f / 2, 1, 101, 0.5f));
    EXPECT_NEAR(0.5f, p.m[0], 1e-5f);   // cot(45 degrees) x aspect
    EXPECT_NEAR(1, p.m[5], 1e-5f);
    EXPECT_FLOAT_EQ(1.01f, p.m[10]);
    EXPECT_FLOAT_EQ(1, p.m[11]);
    EXPECT_FLOAT_EQ(-1.01f, p.m[14]);
    EXPECT_FLOAT_EQ(0, p.m[15]);
    // Depth maps near to 0 and far to 1 after the divide by w.
    Vector3 nearPoint = {0, 0, 1}, farPoint = {0, 0, 101};
    EXPECT_NEAR(0, nearPoint.z * p.m[10] + p.m[14], 1e-5f);
    EXPECT_NEAR(101, farPoint.z * p.m[10] + p.m[14], 1e-3f);

    // A negative aspect takes the screen's height / width (640 x 480 before
    // graphics start).
    ASSERT_EQ(0, MakePerspectiveMatrix(&p, 3.14159265f / 2, 1, 101, -1));
    EXPECT_NEAR(0.75f, p.m[0], 1e-5f);
}

TEST(MatrixMath, OrthoAndViewport)
{
    Matrix o;
    EXPECT_EQ(-1, MakeOrthoMatrix(&o, 10, 5, 5, 1));
    ASSERT_EQ(0, MakeOrthoMatrix(&o, 480, 0, 100, 0.75f));
    EXPECT_FLOAT_EQ(2 / 640.0f, o.m[0]);
    EXPECT_FLOAT_EQ(2 / 480.0f, o.m[5]);
    EXPECT_FLOAT_EQ(0.01f, o.m[10]);
    EXPECT_FLOAT_EQ(0, o.m[14]);
    EXPECT_FLOAT_EQ(1, o.m[15]);

    Matrix v;
    MakeViewportMatrix(&v, 320, 240, 640, 480);
    Vector3 corner = {-1, 1, 0.5f};
    TransformPointByMatrix(&corner, &corner, &v);
    EXPECT_FLOAT_EQ(0, corner.x);
    EXPECT_FLOAT_EQ(0, corner.y);
    EXPECT_FLOAT_EQ(0.5f, corner.z);
}

TEST(MatrixMath, LookAtPutsTheEyeAtTheOriginLookingDownZ)
{
    Vector3 eye = {1, 2, -10}, target = {1, 2, 0}, up = {0, 1, 0};
    Matrix view;
    ASSERT_EQ(0, MakeLookAtMatrix(&view, &eye, &target, &up));
    Vector3 p;
    TransformPointByMatrix(&p, &eye, &view);
    EXPECT_NEAR(0, p.x, 1e-5f);
    EXPECT_NEAR(0, p.y, 1e-5f);
    EXPECT_NEAR(0, p.z, 1e-5f);
    TransformVectorMatrix(&p, &target, &view);
    EXPECT_NEAR(10, p.z, 1e-5f);
    Vector3 right = {2, 2, -10};
    TransformPointByMatrix(&p, &right, &view);
    EXPECT_NEAR(1, p.x, 1e-5f);   // +x stays right (left-handed)

    // Directions ignore the translation row.
    Vector3 dir = {0, 0, 1};
    TransformVectorByMatrix(&dir, &dir, &view);
    EXPECT_NEAR(1, dir.z, 1e-5f);
}

TEST(MatrixMath, Vectors)
{
    Vector3 n;
    MakeNormalizedVector(&n, 3, 0, 4);
    EXPECT_FLOAT_EQ(0.6f, n.x);
    EXPECT_FLOAT_EQ(0.8f, n.z);
    Vector3 a = {1, 2, 3}, b = {4, -5, 6};
    EXPECT_FLOAT_EQ(12, DotVector(&a, &b));
    Vector3 zero = {0, 0, 0};
    NormalizeVector(&n, &zero);
    EXPECT_FALSE(isfinite(n.x));
    Float4 f;
    EXPECT_EQ(&f, MakeFloat4(&f, 1, 2, 3, 4));
    EXPECT_EQ(4, f.w);
}

TEST(MatrixMath, ClipRect)
{
    struct Case {
        RECT in, clip, out;
    } cases[] = {
        {{50, 50, 40, 60}, {0, 0, 100, 100}, {50, 50, 50, 60}},       // right raised to left
        {{10, 20, 30, 40}, {0, 0, 100, 100}, {10, 20, 30, 40}},       // inside
        {{-10, -5, 150, 120}, {0, 0, 100, 100}, {0, 0, 100, 100}},    // over every edge
        {{200, 200, 300, 300}, {0, 0, 100, 100}, {100, 100, 100, 100}},  // wholly outside
        {{-50, 10, -20, 20}, {0, 0, 100, 100}, {0, 10, 0, 20}},
        {{10, 40, 20, 30}, {0, 0, 100, 100}, {10, 40, 20, 40}},       // bottom raised to top
    };
    for (Case& c : cases) {
        RECT r = c.in;
        EXPECT_EQ(0, ClipRect(&r, &c.clip));
        EXPECT_EQ(c.out.left, r.left);
        EXPECT_EQ(c.out.top, r.top);
        EXPECT_EQ(c.out.right, r.right);
        EXPECT_EQ(c.out.bottom, r.bottom);
    }
}
