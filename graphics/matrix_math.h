// Small float math shared by draw-target selection, the 3D state and the
// drawing calls: 4 x 4 matrices, 3-component vectors and rectangle clipping.
// Row vectors are multiplied from the left (p' = p x M), so a product A x B
// applies A first and the translation sits in m[12..14]; the layout matches
// the device's own matrix type.
#pragma once

#include <windows.h>

struct Matrix {
    float m[16];   // row by row
};

struct Vector3 {
    float x, y, z;
};

struct Float4 {
    float x, y, z, w;
};

int MakeIdentityMatrix(Matrix* out);
// out = a x b; out may be a or b. With a null out nothing is written.
int MultiplyMatrix(Matrix* out, const Matrix* a, const Matrix* b);
int TransposeMatrix(Matrix* out, const Matrix* in);
// -1 (out untouched) when the determinant is too close to 0.
int InvertMatrix(Matrix* out, const Matrix* in);

// Left-handed projections mapping depth to 0..1. An aspect (height / width)
// below 0 takes the screen's. -1 (out untouched) for a degenerate range.
int MakePerspectiveMatrix(Matrix* out, float fov, float nearZ, float farZ, float aspect);
int MakeOrthoMatrix(Matrix* out, float size, float nearZ, float farZ, float aspect);
// Maps -1..1 to pixels centred at (cx, cy), y downward.
int MakeViewportMatrix(Matrix* out, float cx, float cy, float w, float h);
int MakeLookAtMatrix(Matrix* out, const Vector3* eye, const Vector3* target, const Vector3* up);

// out = (p, 1) x m, first three components; out may be p.
Vector3* TransformPointByMatrix(Vector3* out, const Vector3* p, const Matrix* m);
Vector3* TransformVectorMatrix(Vector3* out, const Vector3* p, const Matrix* m);
// out = v x (upper 3 x 3 of m); out may be v.
Vector3* TransformVectorByMatrix(Vector3* out, const Vector3* v, const Matrix* m);

// No guard: a zero vector gives non-finite components.
int NormalizeVector(Vector3* out, const Vector3* v);
Vector3* MakeNormalizedVector(Vector3* out, float x, float y, float z);
float DotVector(const Vector3* a, const Vector3* b);
Float4* MakeFloat4(Float4* out, float x, float y, float z, float w);

// Clips r into clip in place; a rectangle wholly outside ends empty on the
// clip's border.
int ClipRect(RECT* r, const RECT* clip);
