// Small vector, matrix, quaternion and scalar routines in 32-bit floats.
//
// The one matrix convention of the engine: sixteen floats in row-major storage,
// element (row r, column c) at index 4r + c, used with column vectors (p' = M p).
// The translation of an affine matrix sits in floats 3, 7 and 11 and its last row
// is 0, 0, 0, 1. A product A B applies B first, so a world matrix is
// parentWorld * local and a local matrix is T * R * S. Direct3D keeps the
// transpose of this layout; the device layer converts at its boundary.
//
// Every routine is a free function without state that allocates nothing.
#pragma once

#include <cstdint>

struct Vec4 {
    float x, y, z, w;
};

struct Vec2 {
    float x, y;

    // True when either component differs; a NaN component compares unequal.
    bool operator!=(const Vec2& other) const;
};

struct Vec3 {
    float x, y, z;

    float Length() const;
    float LengthSquared() const;
    // Scales to unit length in place and returns the old length; the zero
    // vector becomes (1, 0, 0) so callers always get a usable direction.
    float Normalize();
    // v * (1 / s) with w = 0; division by zero gives the zero vector.
    Vec4 operator/(float s) const;

    static Vec3 Cross(const Vec3& a, const Vec3& b);
    static float Dot(const Vec3& a, const Vec3& b);
    static bool EqualsWithin(const Vec3& a, const Vec3& b, float tolerance);
};

// Rotation quaternion, vector part first; the identity is (0, 0, 0, 1).
// Rotation quaternions are kept unit length by their owners; nothing here
// normalises them.
struct Quat {
    float x, y, z, w;
};

// A float rectangle. Contains is half-open, x <= px < x + width and
// y <= py < y + height, so rectangles that share an edge never both hold a point.
struct CGeRect {
    float x, y, width, height;

    bool Contains(float px, float py) const;
    // The overlap of a and b; all four values 0 when they do not overlap.
    static CGeRect Intersect(const CGeRect& a, const CGeRect& b);
    // a lies inside b, edges included.
    static bool IsInside(const CGeRect& a, const CGeRect& b);
};

struct Matrix4 {
    float m[16];

    float& At(int row, int col) { return m[4 * row + col]; }
    float At(int row, int col) const { return m[4 * row + col]; }

    static Matrix4 Identity();
};

// Scalars -------------------------------------------------------------------

float SqrtF(float x);
float Clamp(float lo, float hi, float x);
float MaxF(float a, float b);     // b when equal
float FloatMin(float a, float b); // b when equal
float SignOf(float x);            // 1 for x >= 0 (either zero), else -1
float FloorF(float x);
float RoundF(float x); // floor(x + 0.5): halves round up, -0.5 gives 0
float AcosF(float x);

// A chance of p (0..1) drawn from the engine's random generator, at a
// resolution of 1/4096; p <= 0 never and p >= 1 always happens.
bool RandomChance(float p);

// Smallest power of two >= n for 1 <= n <= 2^31; 0 gives 0.
uint32_t NextPowerOfTwo(uint32_t n);

// The low byte of the result is v saturated to 0..255.
int32_t ClampByte(int32_t v);

// Packs float channels into 0xAARRGGBB: each clamped to 0..1, times 255,
// rounded to nearest with ties to even.
uint32_t ColorToArgb(float r, float g, float b, float a);

// Matrices and quaternions ----------------------------------------------------

Matrix4 MatrixMultiply4x4(const Matrix4& a, const Matrix4& b);
// A B for affine matrices: both last rows are taken as 0, 0, 0, 1.
Matrix4 MatrixMultiply3x4(const Matrix4& a, const Matrix4& b);

Vec3 MatrixTransformNormal(const Matrix4& m, const Vec3& v); // 3x3 block only
Vec3 MatrixTransformPoint(const Matrix4& m, const Vec3& p);  // w = 1, no divide
Vec4 MatrixTransformVector4(const Matrix4& m, const Vec4& v);

Matrix4 MatrixFromAxes(const Vec3& xAxis, const Vec3& yAxis, const Vec3& zAxis);
Matrix4 MatrixRotationY(float angle);
Matrix4 MatrixRotationZ(float angle);

// General inverse by cofactors. Returns false and leaves out untouched when
// the matrix is singular (|det| < 1e-14) or its determinant is not a number.
bool MatrixInverse(const Matrix4& m, Matrix4& out);
// Inverse of the upper-left 3x3 block, embedded with zero translation and
// [3][3] = 1; fails like MatrixInverse.
bool Matrix3x3Inverse(const Matrix4& m, Matrix4& out);

// Rotation about an axis (normalised here on a copy) by an angle in radians.
Matrix4 MatrixFromAxisAngle(const Vec3& axis, float angle);

enum EulerOrder {
    EULER_ZYX = 0, // Rz(az) Ry(ay) Rx(ax)
    EULER_YXZ = 1, // Ry(ay) Rx(ax) Rz(az)
};
Matrix4 MatrixFromEulerAngles(const Vec3& angles, int order);

Matrix4 QuatToMatrix(const Quat& q);
Quat QuatMultiply(const Quat& a, const Quat& b); // Hamilton product a b
Vec3 QuatRotateVector(const Quat& q, const Vec3& v);

// A rotation that turns the unit vector from onto the unit vector to.
Matrix4 RotationBetweenVectors(const Vec3& from, const Vec3& to);
