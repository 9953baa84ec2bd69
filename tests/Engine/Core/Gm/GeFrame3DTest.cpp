#include "Engine/Core/Gm/GeFrame3D.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

namespace {

constexpr float kHalfPi = 1.57079632679f;

void ExpectMatrixNear(const Matrix4& expected, const Matrix4& actual)
{
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(expected.m[i], actual.m[i], 1e-5f) << "element " << i;
}

void ExpectPointNear(const Vec3& expected, const Vec3& actual)
{
    EXPECT_NEAR(expected.x, actual.x, 1e-5f);
    EXPECT_NEAR(expected.y, actual.y, 1e-5f);
    EXPECT_NEAR(expected.z, actual.z, 1e-5f);
}

// A root, a child and a grandchild, each moved one unit along its own axis.
struct Chain {
    CGeFrame3D root, child, grandchild;

    Chain()
    {
        root.AddChild(&child);
        child.AddChild(&grandchild);
        root.SetPosition({1.0f, 0.0f, 0.0f});
        child.SetPosition({0.0f, 1.0f, 0.0f});
        grandchild.SetPosition({0.0f, 0.0f, 1.0f});
    }
};

}  // namespace

TEST(GeFrame3D, NewFrameIsDirtyEulerAndBecomesIdentity)
{
    CGeFrame3D frame;
    EXPECT_EQ(frame.composeMode, 0u);
    EXPECT_EQ(frame.worldDirty, 1);
    EXPECT_EQ(frame.localDirty, 1);
    frame.UpdateWorldMatrix();
    ExpectMatrixNear(Matrix4::Identity(), frame.world);
    EXPECT_EQ(frame.worldDirty, 0);
    EXPECT_EQ(frame.localDirty, 1); // owners clear it themselves
}

TEST(GeFrame3D, ComposeModes)
{
    CGeFrame3D q;
    q.SetComposeMode(CGeFrame3D::COMPOSE_QUATERNION);
    q.SetPosition({1.0f, 2.0f, 3.0f});
    q.SetScale({2.0f, 2.0f, 2.0f});
    q.UpdateWorldMatrix();
    const Matrix4 expected = {{2, 0, 0, 1, 0, 2, 0, 2, 0, 0, 2, 3, 0, 0, 0, 1}};
    ExpectMatrixNear(expected, q.local);

    // Euler order 0 turning a quarter about z: x goes to y, then the
    // translation; the result equals T * R * S.
    CGeFrame3D e;
    e.SetAngles({0.0f, 0.0f, kHalfPi});
    e.SetPosition({5.0f, 0.0f, 0.0f});
    e.SetScale({1.0f, 3.0f, 1.0f});
    e.UpdateWorldMatrix();
    ExpectPointNear({5.0f, 1.0f, 0.0f}, MatrixTransformPoint(e.world, {1.0f, 0.0f, 0.0f}));
    ExpectPointNear({2.0f, 0.0f, 0.0f}, MatrixTransformPoint(e.world, {0.0f, 1.0f, 0.0f}));

    // Both composing modes also agree with each other for the same rotation.
    CGeFrame3D viaQuat;
    viaQuat.SetComposeMode(CGeFrame3D::COMPOSE_QUATERNION);
    viaQuat.rotation = {0.0f, 0.0f, std::sin(kHalfPi / 2), std::cos(kHalfPi / 2)};
    viaQuat.SetPosition({5.0f, 0.0f, 0.0f});
    viaQuat.SetScale({1.0f, 3.0f, 1.0f});
    viaQuat.UpdateWorldMatrix();
    ExpectMatrixNear(e.local, viaQuat.local);
}

TEST(GeFrame3D, SetMatrixSurvivesOnlyInFixedMode)
{
    Matrix4 m = Matrix4::Identity();
    m.m[3] = 7.0f;
    for (uint32_t mode : {0u, 1u, 2u}) {
        CGeFrame3D frame;
        frame.SetComposeMode(mode);
        frame.SetMatrix(m);
        frame.UpdateWorldMatrix();
        EXPECT_EQ(frame.world.m[3], mode == 2 ? 7.0f : 0.0f) << "mode " << mode;
    }
    // An unknown mode keeps the routine that was chosen before.
    CGeFrame3D frame;
    frame.SetComposeMode(2);
    frame.SetComposeMode(9);
    frame.SetMatrix(m);
    frame.UpdateWorldMatrix();
    EXPECT_EQ(frame.world.m[3], 7.0f);
}

// Each row changes the chain after a first full update, then reads the
// grandchild's world translation. Setters are lazy: only a rebuild of the
// changed frame (or a call that marks the subtree) reaches the grandchild.
TEST(GeFrame3D, PropagationToGrandchild)
{
    struct Case {
        const char* name;
        std::function<void(Chain&)> change;
        Vec3 expected;
    };
    const Case cases[] = {
        {"no change", [](Chain&) {}, {1, 1, 1}},
        {"root moved, not rebuilt", [](Chain& c) { c.root.SetPosition({4, 0, 0}); }, {1, 1, 1}},
        {"root moved and rebuilt",
         [](Chain& c) {
             c.root.SetPosition({4, 0, 0});
             c.root.UpdateWorldMatrix();
         },
         {4, 1, 1}},
        {"child scaled and rebuilt",
         [](Chain& c) {
             c.child.SetScale({1, 1, 3});
             c.child.UpdateWorldMatrix();
         },
         {1, 1, 3}},
        {"root matrix set in fixed mode",
         [](Chain& c) {
             c.root.SetComposeMode(2);
             Matrix4 m = Matrix4::Identity();
             m.m[11] = 10.0f;
             c.root.SetMatrix(m);
         },
         {0, 1, 11}},
        {"root turned a quarter about z and rebuilt",
         [](Chain& c) {
             c.root.SetAngles({0, 0, kHalfPi});
             c.root.UpdateWorldMatrix();
         },
         {0, 0, 1}},
        {"grandchild moved to another root",
         [](Chain& c) {
             static CGeFrame3D other;
             other.SetPosition({0, 0, 20});
             other.AddChild(&c.grandchild);
         },
         {0, 0, 21}},
        {"child detached and invalidated",
         [](Chain& c) {
             EXPECT_TRUE(CGeFrame3D::DetachChild(&c.child, &c.root));
             c.child.Invalidate();
         },
         {0, 1, 1}},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.name);
        auto chain = std::make_unique<Chain>();
        chain->grandchild.UpdateWorldMatrix();
        tc.change(*chain);
        chain->grandchild.UpdateWorldMatrix();
        const Matrix4& w = chain->grandchild.world;
        ExpectPointNear(tc.expected, {w.m[3], w.m[7], w.m[11]});
        if (chain->grandchild.parent)
            CGeFrame3D::DetachChild(&chain->grandchild, chain->grandchild.parent);
    }
}

TEST(GeFrame3D, ChildListKeepsItsInvariant)
{
    CGeFrame3D a, b, child, stranger;
    a.AddChild(&child);
    a.AddChild(&child);
    EXPECT_EQ(a.children.count, 1u);
    b.AddChild(&child);
    EXPECT_EQ(a.children.count, 0u);
    EXPECT_EQ(b.children.count, 1u);
    EXPECT_EQ(child.parent, &b);
    a.AddChild(nullptr);
    EXPECT_EQ(a.children.count, 0u);

    // Not listed: false, but the link is cleared all the same.
    stranger.parent = &a;
    EXPECT_FALSE(CGeFrame3D::DetachChild(&stranger, &a));
    EXPECT_EQ(stranger.parent, nullptr);
    EXPECT_FALSE(CGeFrame3D::DetachChild(nullptr, &a));
    EXPECT_TRUE(CGeFrame3D::DetachChild(&child, &b));
    EXPECT_EQ(b.children.count, 0u);
    EXPECT_EQ(child.parent, nullptr);
}

// A frame destroyed while still linked leaves neither its parent nor its
// children pointing at freed memory (ASan catches the old fault).
TEST(GeFrame3D, DestructorUnlinksBothWays)
{
    CGeFrame3D root, grandchild;
    root.SetPosition({3.0f, 0.0f, 0.0f});
    grandchild.SetPosition({0.0f, 2.0f, 0.0f});
    {
        CGeFrame3D middle;
        root.AddChild(&middle);
        middle.AddChild(&grandchild);
        grandchild.UpdateWorldMatrix();
        EXPECT_EQ(grandchild.world.m[3], 3.0f);
    }
    EXPECT_EQ(root.children.count, 0u);
    EXPECT_EQ(grandchild.parent, nullptr);
    root.Invalidate();
    grandchild.UpdateWorldMatrix();
    ExpectPointNear({0.0f, 2.0f, 0.0f}, {grandchild.world.m[3], grandchild.world.m[7], grandchild.world.m[11]});
}
