#include "Engine/Core/Common/GeMath.h"
#include "Engine/Core/Common/GeRandom.h"

#include <cmath>
#include <cstdint>

#include <gtest/gtest.h>

namespace {

const float kPi = 3.14159265358979f;

void ExpectMatrixNear(const Matrix4& expected, const Matrix4& actual, float tolerance = 1e-5f)
{
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(expected.m[i], actual.m[i], tolerance) << "element " << i;
}

void ExpectVec3Near(const Vec3& expected, const Vec3& actual, float tolerance = 1e-5f)
{
    EXPECT_NEAR(expected.x, actual.x, tolerance);
    EXPECT_NEAR(expected.y, actual.y, tolerance);
    EXPECT_NEAR(expected.z, actual.z, tolerance);
}

Matrix4 Translation(float x, float y, float z)
{
    Matrix4 m = Matrix4::Identity();
    m.m[3] = x;
    m.m[7] = y;
    m.m[11] = z;
    return m;
}

Matrix4 Scaling(float x, float y, float z)
{
    Matrix4 m = Matrix4::Identity();
    m.m[0] = x;
    m.m[5] = y;
    m.m[10] = z;
    return m;
}

} // namespace

TEST(GeMathVec3, NormalizeGivesUnitVectorOrXAxisForZero)
{
    Vec3 zero{0, 0, 0};
    EXPECT_EQ(0.0f, zero.Normalize());
    ExpectVec3Near(Vec3{1, 0, 0}, zero, 0.0f);

    Vec3 v{0, 3, 4};
    EXPECT_FLOAT_EQ(5.0f, v.Normalize());
    ExpectVec3Near(Vec3{0, 0.6f, 0.8f}, v);
}

TEST(GeMathVec3, DivisionByZeroGivesZeroAndWIsAlwaysZero)
{
    const Vec4 half = Vec3{2, 4, 6} / 2.0f;
    EXPECT_FLOAT_EQ(1.0f, half.x);
    EXPECT_FLOAT_EQ(2.0f, half.y);
    EXPECT_FLOAT_EQ(3.0f, half.z);
    EXPECT_EQ(0.0f, half.w);

    const Vec4 zero = Vec3{2, 4, 6} / 0.0f;
    EXPECT_EQ(0.0f, zero.x);
    EXPECT_EQ(0.0f, zero.y);
    EXPECT_EQ(0.0f, zero.z);
    EXPECT_EQ(0.0f, zero.w);
}

TEST(GeMathVec3, CrossLengthAndTolerance)
{
    ExpectVec3Near(Vec3{0, 0, 1}, Vec3::Cross(Vec3{1, 0, 0}, Vec3{0, 1, 0}), 0.0f);
    ExpectVec3Near(Vec3{-3, 6, -3}, Vec3::Cross(Vec3{1, 2, 3}, Vec3{4, 5, 6}), 0.0f);
    EXPECT_FLOAT_EQ(14.0f, (Vec3{1, 2, 3}).LengthSquared());
    EXPECT_FLOAT_EQ(13.0f, (Vec3{3, 4, 12}).Length());

    EXPECT_TRUE(Vec3::EqualsWithin(Vec3{1, 2, 3}, Vec3{1.5f, 2, 2.5f}, 0.5f));
    EXPECT_FALSE(Vec3::EqualsWithin(Vec3{1, 2, 3}, Vec3{1, 2, 3.75f}, 0.5f));
}

TEST(GeMathRect, ContainsIsHalfOpen)
{
    const CGeRect rect{0, 0, 10, 10};
    EXPECT_TRUE(rect.Contains(0, 0));
    EXPECT_TRUE(rect.Contains(9.99f, 9.99f));
    EXPECT_FALSE(rect.Contains(10, 5));
    EXPECT_FALSE(rect.Contains(5, 10));
    EXPECT_FALSE(rect.Contains(-0.01f, 5));
    // Two rectangles that share an edge never both hold a point on it.
    const CGeRect right{10, 0, 10, 10};
    EXPECT_TRUE(right.Contains(10, 5));
    EXPECT_FALSE(CGeRect({0, 0, 0, 0}).Contains(0, 0));
}

TEST(GeMathVec2, InequalityTreatsNanAsDifferent)
{
    EXPECT_FALSE((Vec2{1, 2} != Vec2{1, 2}));
    EXPECT_TRUE((Vec2{1, 2} != Vec2{1, 3}));
    EXPECT_TRUE((Vec2{0, 2} != Vec2{1, 2}));
    const float nan = std::nanf("");
    EXPECT_TRUE((Vec2{nan, 2} != Vec2{nan, 2}));
}

TEST(GeMathScalar, RoundingSignAndSelection)
{
    struct Case {
        float x, round, floor, sign;
    };
    const Case cases[] = {
        {-0.5f, 0.0f, -1.0f, -1.0f},
        {2.5f, 3.0f, 2.0f, 1.0f},
        {-2.5f, -2.0f, -3.0f, -1.0f},
        {0.0f, 0.0f, 0.0f, 1.0f},
        {-0.0f, 0.0f, -0.0f, 1.0f},
        {1.49f, 1.0f, 1.0f, 1.0f},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.round, RoundF(c.x)) << c.x;
        EXPECT_EQ(c.floor, FloorF(c.x)) << c.x;
        EXPECT_EQ(c.sign, SignOf(c.x)) << c.x;
    }

    EXPECT_EQ(0.0f, Clamp(0.0f, 1.0f, -3.0f));
    EXPECT_EQ(1.0f, Clamp(0.0f, 1.0f, 3.0f));
    EXPECT_EQ(0.25f, Clamp(0.0f, 1.0f, 0.25f));
    EXPECT_EQ(3.0f, MaxF(3.0f, 2.0f));
    EXPECT_EQ(2.0f, FloatMin(3.0f, 2.0f));
    // Equal values: the second argument wins, which shows for signed zeros.
    EXPECT_TRUE(std::signbit(MaxF(0.0f, -0.0f)));
    EXPECT_TRUE(std::signbit(FloatMin(0.0f, -0.0f)));
    EXPECT_FLOAT_EQ(3.0f, SqrtF(9.0f));
    EXPECT_FLOAT_EQ(kPi / 2, AcosF(0.0f));
}

TEST(GeMathScalar, NextPowerOfTwo)
{
    const uint32_t cases[][2] = {
        {0, 0}, {1, 1}, {2, 2}, {3, 4}, {129, 256}, {256, 256}, {0x40000001u, 0x80000000u}, {0x80000000u, 0x80000000u},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c[1], NextPowerOfTwo(c[0])) << c[0];
}

TEST(GeMathScalar, ClampByteAndColourPacking)
{
    EXPECT_EQ(0, ClampByte(-5));
    EXPECT_EQ(200, ClampByte(200));
    EXPECT_EQ(255, ClampByte(256));

    // Alpha clamps to 1; 127.5 rounds to the even 128.
    EXPECT_EQ(0xFF800000u, ColorToArgb(0.5f, 0.0f, 0.0f, 2.0f));
    EXPECT_EQ(0xFFFF8000u, ColorToArgb(1.0f, 0.5f, 0.0f, 2.0f));
    EXPECT_EQ(0x00000000u, ColorToArgb(-1.0f, -0.5f, 0.0f, 0.0f));
    EXPECT_EQ(0x80FF4000u, ColorToArgb(1.0f, 0.25f, 0.0f, 0.5f)); // 63.75 -> 64
    EXPECT_EQ(0xFF010203u, ColorToArgb(1.0f / 255, 2.0f / 255, 3.0f / 255, 1.0f));
    EXPECT_EQ(0xFF00FF00u, ColorToArgb(std::nanf(""), 1.0f, std::nanf(""), 1.0f));
}

TEST(GeMathMatrix, ProductAppliesRightOperandFirst)
{
    // T * S: scale first, then translate.
    const Matrix4 ts = MatrixMultiply4x4(Translation(1, 2, 3), Scaling(2, 3, 4));
    ExpectVec3Near(Vec3{3, 5, 7}, MatrixTransformPoint(ts, Vec3{1, 1, 1}));
    // The normal transform ignores the translation.
    ExpectVec3Near(Vec3{2, 3, 4}, MatrixTransformNormal(ts, Vec3{1, 1, 1}));

    const Matrix4 a{{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}};
    const Matrix4 b{{17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32}};
    const Matrix4 ab{{250, 260, 270, 280, 618, 644, 670, 696, 986, 1028, 1070, 1112, 1354, 1412, 1470, 1528}};
    ExpectMatrixNear(ab, MatrixMultiply4x4(a, b), 0.0f);

    // The affine product treats both last rows as 0 0 0 1.
    const Matrix4 ab3{{134, 140, 146, 156, 386, 404, 422, 448, 638, 668, 698, 740, 0, 0, 0, 1}};
    ExpectMatrixNear(ab3, MatrixMultiply3x4(a, b), 0.0f);

    const Vec4 v = MatrixTransformVector4(a, Vec4{1, 0, -1, 2});
    EXPECT_FLOAT_EQ(6.0f, v.x);
    EXPECT_FLOAT_EQ(14.0f, v.y);
    EXPECT_FLOAT_EQ(22.0f, v.z);
    EXPECT_FLOAT_EQ(30.0f, v.w);
}

TEST(GeMathMatrix, ElementaryRotationsTurnCounterClockwise)
{
    const float a = kPi / 2;
    ExpectVec3Near(Vec3{0, 1, 0}, MatrixTransformPoint(MatrixRotationZ(a), Vec3{1, 0, 0}));
    ExpectVec3Near(Vec3{1, 0, 0}, MatrixTransformPoint(MatrixRotationY(a), Vec3{0, 0, 1}));
    // Rx through the Euler form: (0, 1, 0) turns to (0, 0, 1).
    ExpectVec3Near(Vec3{0, 0, 1}, MatrixTransformPoint(MatrixFromEulerAngles(Vec3{a, 0, 0}, 0), Vec3{0, 1, 0}));

    const float angle = 0.3f;
    const Matrix4 euler = MatrixFromEulerAngles(Vec3{0, 0, angle}, 0);
    ExpectMatrixNear(MatrixRotationZ(angle), euler);
    ExpectVec3Near(Vec3{std::cos(angle), std::sin(angle), 0}, MatrixTransformPoint(euler, Vec3{1, 0, 0}));
}

TEST(GeMathMatrix, EulerOrders)
{
    const Vec3 angles{0.2f, -0.7f, 1.1f};
    const Matrix4 rx = MatrixFromEulerAngles(Vec3{angles.x, 0, 0}, 0);
    const Matrix4 ry = MatrixRotationY(angles.y);
    const Matrix4 rz = MatrixRotationZ(angles.z);
    ExpectMatrixNear(MatrixMultiply4x4(MatrixMultiply4x4(rz, ry), rx), MatrixFromEulerAngles(angles, 0));
    ExpectMatrixNear(MatrixMultiply4x4(MatrixMultiply4x4(ry, rx), rz), MatrixFromEulerAngles(angles, 1));
}

TEST(GeMathMatrix, FromAxesPutsAxesInColumns)
{
    const Matrix4 m = MatrixFromAxes(Vec3{1, 2, 3}, Vec3{4, 5, 6}, Vec3{7, 8, 9});
    const Matrix4 expected{{1, 4, 7, 0, 2, 5, 8, 0, 3, 6, 9, 0, 0, 0, 0, 1}};
    ExpectMatrixNear(expected, m, 0.0f);
}

TEST(GeMathMatrix, AxisAngleNormalisesAxisAndMatchesElementaryRotations)
{
    ExpectMatrixNear(MatrixRotationZ(0.8f), MatrixFromAxisAngle(Vec3{0, 0, 5}, 0.8f));
    ExpectMatrixNear(MatrixRotationY(-1.3f), MatrixFromAxisAngle(Vec3{0, 2, 0}, -1.3f));
    // A third of a turn about (1, 1, 1) cycles the axes: x -> y -> z.
    const Matrix4 cycle = MatrixFromAxisAngle(Vec3{1, 1, 1}, 2 * kPi / 3);
    ExpectVec3Near(Vec3{0, 1, 0}, MatrixTransformPoint(cycle, Vec3{1, 0, 0}));
    ExpectVec3Near(Vec3{0, 0, 1}, MatrixTransformPoint(cycle, Vec3{0, 1, 0}));
}

TEST(GeMathMatrix, InverseOfAffineAndGeneralMatrices)
{
    // T(1,2,3) * S(2,4,8) inverts to S(1/2,1/4,1/8) * T(-1,-2,-3).
    const Matrix4 ts = MatrixMultiply4x4(Translation(1, 2, 3), Scaling(2, 4, 8));
    Matrix4 inv;
    ASSERT_TRUE(MatrixInverse(ts, inv));
    const Matrix4 expected{{0.5f, 0, 0, -0.5f, 0, 0.25f, 0, -0.5f, 0, 0, 0.125f, -0.375f, 0, 0, 0, 1}};
    ExpectMatrixNear(expected, inv);

    // A general matrix with a hand-checked inverse (determinant -1).
    const Matrix4 g{{2, 0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0}};
    const Matrix4 gInv{{0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, -2}};
    ASSERT_TRUE(MatrixInverse(g, inv));
    ExpectMatrixNear(gInv, inv);

    const Matrix4 rotated = MatrixMultiply4x4(Translation(-4, 5, 0.5f), MatrixFromEulerAngles(Vec3{0.4f, 1.0f, -2.0f}, 1));
    ASSERT_TRUE(MatrixInverse(rotated, inv));
    ExpectMatrixNear(Matrix4::Identity(), MatrixMultiply4x4(rotated, inv));
}

TEST(GeMathMatrix, SingularInverseFailsAndWritesNothing)
{
    Matrix4 sentinel;
    for (float& f : sentinel.m)
        f = 42.0f;
    const float nan = std::nanf("");
    const Matrix4 singular[] = {
        Scaling(1, 0, 1),
        Matrix4{{1, 2, 3, 4, 2, 4, 6, 8, 0, 0, 1, 0, 0, 0, 0, 1}},
        Matrix4{{nan, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}},
    };
    for (const Matrix4& m : singular) {
        Matrix4 out = sentinel;
        EXPECT_FALSE(MatrixInverse(m, out));
        EXPECT_FALSE(Matrix3x3Inverse(m, out));
        ExpectMatrixNear(sentinel, out, 0.0f);
    }
    // A tiny but regular scale is still invertible.
    Matrix4 out;
    EXPECT_TRUE(MatrixInverse(Scaling(1e-4f, 1e-4f, 1e-4f), out));
}

TEST(GeMathMatrix, Inverse3x3DropsTranslation)
{
    const Matrix4 m = MatrixMultiply4x4(Translation(7, 8, 9), MatrixMultiply4x4(MatrixRotationZ(0.5f), Scaling(2, 2, 2)));
    Matrix4 inv;
    ASSERT_TRUE(Matrix3x3Inverse(m, inv));
    Matrix4 expected = MatrixMultiply4x4(Scaling(0.5f, 0.5f, 0.5f), MatrixRotationZ(-0.5f));
    ExpectMatrixNear(expected, inv);
}

TEST(GeMathQuat, ToMatrixMultiplyAndRotate)
{
    const float half = kPi / 4; // a quarter turn about z
    const Quat qz{0, 0, std::sin(half), std::cos(half)};
    ExpectMatrixNear(MatrixRotationZ(kPi / 2), QuatToMatrix(qz));
    ExpectVec3Near(Vec3{0, 1, 0}, QuatRotateVector(qz, Vec3{1, 0, 0}));

    // Hamilton product: i * j = k, and a b applies b first.
    const Quat k = QuatMultiply(Quat{1, 0, 0, 0}, Quat{0, 1, 0, 0});
    EXPECT_FLOAT_EQ(0.0f, k.x);
    EXPECT_FLOAT_EQ(0.0f, k.y);
    EXPECT_FLOAT_EQ(1.0f, k.z);
    EXPECT_FLOAT_EQ(0.0f, k.w);

    const Quat qx{std::sin(half), 0, 0, std::cos(half)};
    const Quat both = QuatMultiply(qz, qx);
    ExpectMatrixNear(MatrixMultiply4x4(QuatToMatrix(qz), QuatToMatrix(qx)), QuatToMatrix(both));
    // x turn takes y to z; the z turn then leaves z alone.
    ExpectVec3Near(Vec3{0, 0, 1}, QuatRotateVector(both, Vec3{0, 1, 0}));
}

TEST(GeMathQuat, RotationBetweenVectors)
{
    ExpectMatrixNear(MatrixRotationZ(kPi / 2), RotationBetweenVectors(Vec3{1, 0, 0}, Vec3{0, 1, 0}));
    ExpectMatrixNear(Matrix4::Identity(), RotationBetweenVectors(Vec3{0, 0, 1}, Vec3{0, 0, 1}), 0.0f);

    const Matrix4 flip{{-1, 0, 0, 0, 0, -1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1}};
    ExpectMatrixNear(flip, RotationBetweenVectors(Vec3{1, 0, 0}, Vec3{-1, 0, 0}), 0.0f);

    Vec3 from{1, 2, 3};
    Vec3 to{-2, 0.5f, 1};
    from.Normalize();
    to.Normalize();
    ExpectVec3Near(to, MatrixTransformNormal(RotationBetweenVectors(from, to), from));
}

TEST(GeMathScalar, RandomChanceFollowsTheGenerator)
{
    GeSrand(1);
    for (int i = 0; i < 200; ++i) {
        EXPECT_FALSE(RandomChance(0.0f));
        EXPECT_FALSE(RandomChance(-1.0f));
        EXPECT_TRUE(RandomChance(1.0f));
        EXPECT_TRUE(RandomChance(1.5f));
    }

    // Each draw compares p with the next number of the sequence modulo 4096.
    GeSrand(7);
    int expected[64];
    for (int& k : expected)
        k = GeRand() % 4096;
    GeSrand(7);
    for (int k : expected) {
        const float p = (k + 0.5f) / 4096.0f;
        EXPECT_TRUE(RandomChance(p)) << k;
    }
    GeSrand(7);
    for (int k : expected) {
        if (k == 0) {
            GeRand();
            continue;
        }
        const float p = (k - 0.5f) / 4096.0f;
        EXPECT_FALSE(RandomChance(p)) << k;
    }

    // Over many draws a chance of 1/4 happens about a quarter of the time.
    GeSrand(12345);
    int hits = 0;
    for (int i = 0; i < 4096; ++i)
        hits += RandomChance(0.25f) ? 1 : 0;
    EXPECT_NEAR(1024, hits, 120);
}
