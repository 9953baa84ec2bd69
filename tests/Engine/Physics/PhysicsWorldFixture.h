// The physics world is program-wide: every test that touches it starts and
// ends with empty worlds and no static environment.
#pragma once

#include "Engine/Physics/GePhysWorld.h"

#include <gtest/gtest.h>

inline void ResetPhysicsWorld()
{
    ClearStaticEnvironment();
    g_clothWorld.DetachBodies();
    g_collisionWorld.DetachBodies();
    g_collisionWorld.DetachChildren();
}

class PhysicsWorldTest : public ::testing::Test {
protected:
    void SetUp() override { ResetPhysicsWorld(); }
    void TearDown() override { ResetPhysicsWorld(); }
};

inline void ExpectVec3Near(const Vec3& actual, const Vec3& expected, float tolerance)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}
