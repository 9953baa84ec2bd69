// Small helpers shared by the collision primitive tests.
#pragma once

#include <gtest/gtest.h>

#include "Engine/Physics/GeColliderDispatch.h"
#include "Engine/Physics/GeColliderPairTests.h"

// Fields a test must leave untouched start as these values.
constexpr float kSentinelT = -777.0f;
const Vec3 kSentinelVec = {-7.0f, -7.0f, -7.0f};

inline CGeCollisionQuery SentinelQuery(const Vec3& direction = Vec3{0.0f, 0.0f, 0.0f})
{
    CGeCollisionQuery q;
    q.direction = direction;
    q.octant = DirectionOctant(direction);
    q.t = kSentinelT;
    q.point = kSentinelVec;
    q.normal = kSentinelVec;
    return q;
}

inline void ExpectUntouched(const CGeCollisionQuery& q)
{
    EXPECT_EQ(q.t, kSentinelT);
    EXPECT_EQ(q.point.x, kSentinelVec.x);
    EXPECT_EQ(q.normal.x, kSentinelVec.x);
}

#define EXPECT_VEC_NEAR(actual, ex, ey, ez, tolerance)        \
    do {                                                      \
        const Vec3 v_ = (actual);                             \
        EXPECT_NEAR(v_.x, (ex), (tolerance));                 \
        EXPECT_NEAR(v_.y, (ey), (tolerance));                 \
        EXPECT_NEAR(v_.z, (ez), (tolerance));                 \
    } while (0)

inline Matrix4 PoseAt(const Matrix4& rotation, const Vec3& translation)
{
    Matrix4 m = rotation;
    m.m[3] = translation.x;
    m.m[7] = translation.y;
    m.m[11] = translation.z;
    return m;
}

inline Matrix4 TurnY(float radians, const Vec3& translation)
{
    return PoseAt(MatrixFromAxisAngle(Vec3{0.0f, 1.0f, 0.0f}, radians), translation);
}
