#include "Engine/Core/Common/GeMath.h"

#include <cmath>

#include "Engine/Core/Common/GeRandom.h"

// Vectors --------------------------------------------------------------------

bool Vec2::operator!=(const Vec2& other) const
{
    return !(x == other.x) || !(y == other.y);
}

float Vec3::Length() const
{
    return SqrtF(LengthSquared());
}

float Vec3::LengthSquared() const
{
    return x * x + y * y + z * z;
}

float Vec3::Normalize()
{
    const float length = Length();
    if (length == 0.0f) {
        x = 1.0f;
        y = 0.0f;
        z = 0.0f;
        return length;
    }
    const float inv = 1.0f / length;
    x *= inv;
    y *= inv;
    z *= inv;
    return length;
}

Vec4 Vec3::operator/(float s) const
{
    if (s == 0.0f)
        return Vec4{0.0f, 0.0f, 0.0f, 0.0f};
    const float inv = 1.0f / s;
    return Vec4{x * inv, y * inv, z * inv, 0.0f};
}

Vec3 Vec3::Cross(const Vec3& a, const Vec3& b)
{
    return Vec3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float Vec3::Dot(const Vec3& a, const Vec3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

bool Vec3::EqualsWithin(const Vec3& a, const Vec3& b, float tolerance)
{
    return std::fabs(a.x - b.x) <= tolerance && std::fabs(a.y - b.y) <= tolerance &&
           std::fabs(a.z - b.z) <= tolerance;
}

bool CGeRect::Contains(float px, float py) const
{
    return x <= px && px < x + width && y <= py && py < y + height;
}

CGeRect CGeRect::Intersect(const CGeRect& a, const CGeRect& b)
{
    const float left = a.x > b.x ? a.x : b.x;
    const float top = a.y > b.y ? a.y : b.y;
    const float right = FloatMin(a.x + a.width, b.x + b.width);
    const float bottom = FloatMin(a.y + a.height, b.y + b.height);
    if (!(right > left && bottom > top))
        return {0.0f, 0.0f, 0.0f, 0.0f};
    return {left, top, right - left, bottom - top};
}

bool CGeRect::IsInside(const CGeRect& a, const CGeRect& b)
{
    return b.x <= a.x && b.y <= a.y && a.x + a.width <= b.x + b.width && a.y + a.height <= b.y + b.height;
}

// Scalars --------------------------------------------------------------------

float SqrtF(float x)
{
    return std::sqrt(x);
}

float Clamp(float lo, float hi, float x)
{
    if (x < lo)
        return lo;
    if (x > hi)
        return hi;
    return x;
}

float MaxF(float a, float b)
{
    return a > b ? a : b;
}

float FloatMin(float a, float b)
{
    return a < b ? a : b;
}

float SignOf(float x)
{
    return x >= 0.0f ? 1.0f : -1.0f;
}

float FloorF(float x)
{
    return std::floor(x);
}

float RoundF(float x)
{
    return std::floor(x + 0.5f);
}

float AcosF(float x)
{
    return std::acos(x);
}

bool RandomChance(float p)
{
    if (p <= 0.0f)
        return false;
    if (p >= 1.0f)
        return true;
    const int k = GeRand() % 4096;
    return p >= static_cast<float>(k) / 4096.0f;
}

uint32_t NextPowerOfTwo(uint32_t n)
{
    // 0 wraps to all ones and back to 0, as callers expect.
    n -= 1;
    n |= n >> 1;
    n |= n >> 2;
    n |= n >> 4;
    n |= n >> 8;
    n |= n >> 16;
    return n + 1;
}

int32_t ClampByte(int32_t v)
{
    if (v < 0)
        return 0;
    if (v > 255)
        return 255;
    return v;
}

static uint32_t ChannelToByte(float v)
{
    // A NaN channel would slip through the clamp into an undefined
    // conversion; it counts as 0.
    if (std::isnan(v))
        return 0;
    // nearbyint in the default rounding mode rounds half to even.
    return static_cast<uint32_t>(std::nearbyint(Clamp(0.0f, 1.0f, v) * 255.0f));
}

uint32_t ColorToArgb(float r, float g, float b, float a)
{
    return (ChannelToByte(a) << 24) | (ChannelToByte(r) << 16) | (ChannelToByte(g) << 8) |
           ChannelToByte(b);
}

// Matrices -------------------------------------------------------------------

Matrix4 Matrix4::Identity()
{
    return Matrix4{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
}

Matrix4 MatrixMultiply4x4(const Matrix4& a, const Matrix4& b)
{
    Matrix4 r;
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 4; ++col) {
            r.At(row, col) = a.At(row, 0) * b.At(0, col) + a.At(row, 1) * b.At(1, col) +
                             a.At(row, 2) * b.At(2, col) + a.At(row, 3) * b.At(3, col);
        }
    }
    return r;
}

Matrix4 MatrixMultiply3x4(const Matrix4& a, const Matrix4& b)
{
    Matrix4 r = Matrix4::Identity();
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            r.At(row, col) = a.At(row, 0) * b.At(0, col) + a.At(row, 1) * b.At(1, col) +
                             a.At(row, 2) * b.At(2, col);
        }
        r.At(row, 3) = a.At(row, 0) * b.At(0, 3) + a.At(row, 1) * b.At(1, 3) +
                       a.At(row, 2) * b.At(2, 3) + a.At(row, 3);
    }
    return r;
}

Vec3 MatrixTransformNormal(const Matrix4& m, const Vec3& v)
{
    return Vec3{m.m[0] * v.x + m.m[1] * v.y + m.m[2] * v.z,
                m.m[4] * v.x + m.m[5] * v.y + m.m[6] * v.z,
                m.m[8] * v.x + m.m[9] * v.y + m.m[10] * v.z};
}

Vec3 MatrixTransformPoint(const Matrix4& m, const Vec3& p)
{
    return Vec3{m.m[0] * p.x + m.m[1] * p.y + m.m[2] * p.z + m.m[3],
                m.m[4] * p.x + m.m[5] * p.y + m.m[6] * p.z + m.m[7],
                m.m[8] * p.x + m.m[9] * p.y + m.m[10] * p.z + m.m[11]};
}

Vec4 MatrixTransformVector4(const Matrix4& m, const Vec4& v)
{
    float r[4];
    for (int row = 0; row < 4; ++row)
        r[row] = m.At(row, 0) * v.x + m.At(row, 1) * v.y + m.At(row, 2) * v.z + m.At(row, 3) * v.w;
    return Vec4{r[0], r[1], r[2], r[3]};
}

Matrix4 MatrixFromAxes(const Vec3& xAxis, const Vec3& yAxis, const Vec3& zAxis)
{
    return Matrix4{{xAxis.x, yAxis.x, zAxis.x, 0,
                    xAxis.y, yAxis.y, zAxis.y, 0,
                    xAxis.z, yAxis.z, zAxis.z, 0,
                    0, 0, 0, 1}};
}

static Matrix4 MatrixRotationX(float angle)
{
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    return Matrix4{{1, 0, 0, 0, 0, c, -s, 0, 0, s, c, 0, 0, 0, 0, 1}};
}

Matrix4 MatrixRotationY(float angle)
{
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    return Matrix4{{c, 0, s, 0, 0, 1, 0, 0, -s, 0, c, 0, 0, 0, 0, 1}};
}

Matrix4 MatrixRotationZ(float angle)
{
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    return Matrix4{{c, -s, 0, 0, s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
}

static bool IsUsableDeterminant(double det)
{
    // The NaN test is written so that a NaN fails it too.
    return std::fabs(det) >= 1e-14;
}

bool MatrixInverse(const Matrix4& in, Matrix4& out)
{
    // Cofactors from the 2x2 minors of the upper and lower row pairs; the
    // work is done in double so that nearly singular matrices keep precision.
    double a[16];
    for (int i = 0; i < 16; ++i)
        a[i] = in.m[i];

    const double s0 = a[0] * a[5] - a[4] * a[1];
    const double s1 = a[0] * a[6] - a[4] * a[2];
    const double s2 = a[0] * a[7] - a[4] * a[3];
    const double s3 = a[1] * a[6] - a[5] * a[2];
    const double s4 = a[1] * a[7] - a[5] * a[3];
    const double s5 = a[2] * a[7] - a[6] * a[3];

    const double c5 = a[10] * a[15] - a[14] * a[11];
    const double c4 = a[9] * a[15] - a[13] * a[11];
    const double c3 = a[9] * a[14] - a[13] * a[10];
    const double c2 = a[8] * a[15] - a[12] * a[11];
    const double c1 = a[8] * a[14] - a[12] * a[10];
    const double c0 = a[8] * a[13] - a[12] * a[9];

    const double det = s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;
    if (!IsUsableDeterminant(det))
        return false;
    const double inv = 1.0 / det;

    const double r[16] = {
        (a[5] * c5 - a[6] * c4 + a[7] * c3) * inv,
        (-a[1] * c5 + a[2] * c4 - a[3] * c3) * inv,
        (a[13] * s5 - a[14] * s4 + a[15] * s3) * inv,
        (-a[9] * s5 + a[10] * s4 - a[11] * s3) * inv,

        (-a[4] * c5 + a[6] * c2 - a[7] * c1) * inv,
        (a[0] * c5 - a[2] * c2 + a[3] * c1) * inv,
        (-a[12] * s5 + a[14] * s2 - a[15] * s1) * inv,
        (a[8] * s5 - a[10] * s2 + a[11] * s1) * inv,

        (a[4] * c4 - a[5] * c2 + a[7] * c0) * inv,
        (-a[0] * c4 + a[1] * c2 - a[3] * c0) * inv,
        (a[12] * s4 - a[13] * s2 + a[15] * s0) * inv,
        (-a[8] * s4 + a[9] * s2 - a[11] * s0) * inv,

        (-a[4] * c3 + a[5] * c1 - a[6] * c0) * inv,
        (a[0] * c3 - a[1] * c1 + a[2] * c0) * inv,
        (-a[12] * s3 + a[13] * s1 - a[14] * s0) * inv,
        (a[8] * s3 - a[9] * s1 + a[10] * s0) * inv,
    };
    for (int i = 0; i < 16; ++i)
        out.m[i] = static_cast<float>(r[i]);
    return true;
}

bool Matrix3x3Inverse(const Matrix4& in, Matrix4& out)
{
    const double a = in.m[0], b = in.m[1], c = in.m[2];
    const double d = in.m[4], e = in.m[5], f = in.m[6];
    const double g = in.m[8], h = in.m[9], i = in.m[10];

    const double A = e * i - f * h;
    const double B = f * g - d * i;
    const double C = d * h - e * g;
    const double det = a * A + b * B + c * C;
    if (!IsUsableDeterminant(det))
        return false;
    const double inv = 1.0 / det;

    Matrix4 r = Matrix4::Identity();
    r.m[0] = static_cast<float>(A * inv);
    r.m[1] = static_cast<float>((c * h - b * i) * inv);
    r.m[2] = static_cast<float>((b * f - c * e) * inv);
    r.m[4] = static_cast<float>(B * inv);
    r.m[5] = static_cast<float>((a * i - c * g) * inv);
    r.m[6] = static_cast<float>((c * d - a * f) * inv);
    r.m[8] = static_cast<float>(C * inv);
    r.m[9] = static_cast<float>((b * g - a * h) * inv);
    r.m[10] = static_cast<float>((a * e - b * d) * inv);
    out = r;
    return true;
}

Matrix4 MatrixFromAxisAngle(const Vec3& axisIn, float angle)
{
    Vec3 axis = axisIn;
    axis.Normalize();
    const float x = axis.x, y = axis.y, z = axis.z;
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    const float t = 1.0f - c;
    return Matrix4{{x * x * t + c, x * y * t - z * s, x * z * t + y * s, 0,
                    x * y * t + z * s, y * y * t + c, y * z * t - x * s, 0,
                    x * z * t - y * s, y * z * t + x * s, z * z * t + c, 0,
                    0, 0, 0, 1}};
}

Matrix4 MatrixFromEulerAngles(const Vec3& angles, int order)
{
    const Matrix4 rx = MatrixRotationX(angles.x);
    const Matrix4 ry = MatrixRotationY(angles.y);
    const Matrix4 rz = MatrixRotationZ(angles.z);
    if (order == EULER_YXZ)
        return MatrixMultiply4x4(MatrixMultiply4x4(ry, rx), rz);
    return MatrixMultiply4x4(MatrixMultiply4x4(rz, ry), rx);
}

// Quaternions ----------------------------------------------------------------

Matrix4 QuatToMatrix(const Quat& q)
{
    const float x = q.x, y = q.y, z = q.z, w = q.w;
    return Matrix4{{1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w), 0,
                    2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w), 0,
                    2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y), 0,
                    0, 0, 0, 1}};
}

Quat QuatMultiply(const Quat& a, const Quat& b)
{
    return Quat{a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
                a.w * b.y + a.y * b.w + a.z * b.x - a.x * b.z,
                a.w * b.z + a.z * b.w + a.x * b.y - a.y * b.x,
                a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}

Vec3 QuatRotateVector(const Quat& q, const Vec3& v)
{
    const Quat conjugate{-q.x, -q.y, -q.z, q.w};
    const Quat r = QuatMultiply(QuatMultiply(q, Quat{v.x, v.y, v.z, 0.0f}), conjugate);
    return Vec3{r.x, r.y, r.z};
}

Matrix4 RotationBetweenVectors(const Vec3& from, const Vec3& to)
{
    Vec3 axis = Vec3::Cross(from, to);
    const float d = Vec3::Dot(from, to);
    if (axis.LengthSquared() >= 1e-12f) {
        axis.Normalize();
        const float c2 = (d + 1.0f) * 0.5f;
        // Rounding can push c2 a hair past 1 for nearly equal vectors.
        const float s = SqrtF(MaxF(0.0f, 1.0f - c2));
        return QuatToMatrix(Quat{axis.x * s, axis.y * s, axis.z * s, SqrtF(MaxF(0.0f, c2))});
    }
    if (d > 0.0f)
        return Matrix4::Identity();
    Matrix4 flip = Matrix4::Identity();
    flip.m[0] = -1.0f;
    flip.m[5] = -1.0f;
    flip.m[10] = -1.0f;
    return flip;
}
