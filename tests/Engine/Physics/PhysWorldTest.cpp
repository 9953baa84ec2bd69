// Spaces, bodies and groups: the intrusive lists and the poses a body hands
// to its geoms.
#include "tests/Engine/Physics/PhysicsWorldFixture.h"

#include <cmath>
#include <vector>

namespace {

std::vector<CGeCollisionGeom*> GeomsOf(const CGeCollisionSpace& space)
{
    std::vector<CGeCollisionGeom*> list;
    for (CGeCollisionGeom* g = space.firstGeom; g; g = g->next) {
        EXPECT_EQ(g->space, &space);
        if (g->next) {
            EXPECT_EQ(g->next->prev, g);
        }
        list.push_back(g);
    }
    EXPECT_EQ(list.size(), space.geomCount);
    return list;
}

std::vector<CGeRigidBody*> BodiesOf(const CGePhysGroup& group)
{
    std::vector<CGeRigidBody*> list;
    const CGeRigidBody* last = nullptr;
    for (CGeRigidBody* b = group.firstBody; b; b = b->nextBody) {
        EXPECT_EQ(b->group, &group);
        EXPECT_EQ(b->prevBody, last);
        last = b;
        list.push_back(b);
    }
    EXPECT_EQ(group.lastBody, last);
    EXPECT_EQ(list.size(), group.bodyCount);
    return list;
}

const float kPi = 3.14159265f;

} // namespace

TEST(GeCollisionSpace, AddsAtTheHeadOnlyGeomsInNoSpace)
{
    CGeCollisionSpace space, other;
    CGeCollisionGeomSphere a, b, c;
    space.Add(&a);
    space.Add(&b);
    space.Add(&b);     // already here
    other.Add(&a);     // already in another space
    space.Add(nullptr);
    EXPECT_EQ(GeomsOf(space), (std::vector<CGeCollisionGeom*>{&b, &a}));
    EXPECT_EQ(other.geomCount, 0u);

    space.Add(&c);
    space.Remove(&b); // the middle
    EXPECT_EQ(GeomsOf(space), (std::vector<CGeCollisionGeom*>{&c, &a}));
    EXPECT_EQ(b.space, nullptr);
    EXPECT_EQ(b.next, nullptr);
    space.Remove(&c); // the head
    EXPECT_EQ(GeomsOf(space), (std::vector<CGeCollisionGeom*>{&a}));

    space.Add(&b);
    space.Clear();
    EXPECT_EQ(space.firstGeom, nullptr);
    EXPECT_EQ(space.geomCount, 0u);
    EXPECT_EQ(a.space, nullptr);
    EXPECT_EQ(b.next, nullptr);
}

TEST(GeCollisionSpace, GeomAndBodyDestructorsUnlink)
{
    CGeCollisionSpace space;
    CGeCollisionGeomSphere kept;
    space.Add(&kept);
    {
        CGeCollisionGeomBox gone;
        space.Add(&gone);
    }
    EXPECT_EQ(GeomsOf(space), (std::vector<CGeCollisionGeom*>{&kept}));
    space.Remove(&kept);

    CGePhysGroup group;
    CGeRigidBody staying;
    group.AddBody(&staying);
    {
        CGeRigidBody body;
        body.Add(&kept);
        group.AddBody(&body);
    }
    EXPECT_EQ(kept.space, nullptr);
    EXPECT_EQ(BodiesOf(group), (std::vector<CGeRigidBody*>{&staying}));
    group.RemoveBody(&staying);
}

TEST(GePhysGroup, MovingBodiesComeFirst)
{
    CGePhysGroup group;
    CGeRigidBody disabled, massless, moving, other;
    disabled.enabled = 0;
    disabled.mass = 1.0f;
    moving.mass = 1.0f;
    other.mass = 2.0f;
    group.AddBody(&disabled);
    group.AddBody(&massless);
    group.AddBody(&moving);
    group.AddBody(&other);
    EXPECT_EQ(BodiesOf(group), (std::vector<CGeRigidBody*>{&other, &moving, &disabled, &massless}));

    // A body in a group stays where it is.
    CGePhysGroup second;
    second.AddBody(&moving);
    EXPECT_EQ(second.bodyCount, 0u);
    EXPECT_EQ(moving.group, &group);

    group.RemoveBody(&massless); // the tail
    group.RemoveBody(&other);    // the head
    second.RemoveBody(&moving);  // not its group: nothing
    EXPECT_EQ(BodiesOf(group), (std::vector<CGeRigidBody*>{&moving, &disabled}));
    group.RemoveBody(&moving);
    group.RemoveBody(&disabled);
    EXPECT_EQ(group.firstBody, nullptr);
    EXPECT_EQ(group.lastBody, nullptr);
    EXPECT_EQ(group.bodyCount, 0u);
    EXPECT_EQ(disabled.group, nullptr);
    EXPECT_EQ(disabled.prevBody, nullptr);
}

class GePhysWorld : public PhysicsWorldTest {};

TEST_F(GePhysWorld, GroupsAttachOnceAndDetachEverythingOnDestruction)
{
    CGePhysGroup first, second;
    second.AttachToWorld();
    first.AttachToWorld();
    first.AttachToWorld(); // already a child: stays
    EXPECT_EQ(g_collisionWorld.firstChild, &first);
    EXPECT_EQ(first.nextSibling, &second);
    EXPECT_EQ(second.prevSibling, &first);
    EXPECT_EQ(g_collisionWorld.childCount, 2u);

    // A group that is the child of another group stays there.
    CGePhysGroup nested;
    nested.parent = &second;
    second.firstChild = &nested;
    second.childCount = 1;
    nested.AttachToWorld();
    EXPECT_EQ(nested.parent, &second);
    EXPECT_EQ(g_collisionWorld.childCount, 2u);

    // Destroying the middle group unlinks it from its parent and detaches its
    // child group and bodies, none of which is destroyed.
    CGePhysGroup last;
    last.AttachToWorld();
    CGeRigidBody a, b;
    {
        CGePhysGroup doomed;
        doomed.AttachToWorld();
        doomed.AddBody(&a);
        doomed.AddBody(&b);
        second.DetachChildren();
        doomed.firstChild = &nested;
        doomed.childCount = 1;
        nested.parent = &doomed;
        EXPECT_EQ(g_collisionWorld.firstChild, &doomed);
    }
    EXPECT_EQ(g_collisionWorld.firstChild, &last);
    EXPECT_EQ(last.prevSibling, nullptr);
    EXPECT_EQ(g_collisionWorld.childCount, 3u);
    EXPECT_EQ(nested.parent, nullptr);
    EXPECT_EQ(a.group, nullptr);
    EXPECT_EQ(b.nextBody, nullptr);
    EXPECT_EQ(b.prevBody, nullptr);
}

TEST(GeRigidBody, SetTransformTurnsAndMovesGeomsButNotTheirBounds)
{
    // A box turned 45 degrees about y, at (1, 0, 0) in a body turned 90 degrees
    // about y and moved to (0, 5, 0): its axes end at 135 degrees.
    CGeCollisionGeomBox box;
    box.size = Vec3{2.0f, 2.0f, 2.0f};
    Matrix4 local = MatrixRotationY(0.25f * kPi);
    local.At(0, 3) = 1.0f;
    box.SetRotation(local);
    const Vec3 boundsMin = box.aabbMin, boundsMax = box.aabbMax;

    CGeRigidBody body;
    body.Add(&box);
    Matrix4 pose = MatrixRotationY(0.5f * kPi);
    pose.At(1, 3) = 5.0f;
    body.SetTransform(pose);

    const Matrix4 expected = MatrixRotationY(0.75f * kPi);
    for (int i = 0; i < 3; ++i)
        ExpectVec3Near(box.worldRotation[i], Vec3{expected.At(0, i), expected.At(1, i), expected.At(2, i)}, 1e-6f);
    ExpectVec3Near(body.rotation[0], Vec3{0.0f, 0.0f, -1.0f}, 1e-6f);
    ExpectVec3Near(body.position, Vec3{0.0f, 5.0f, 0.0f}, 0.0f);
    // (1, 0, 0) turned 90 degrees about y is (0, 0, -1).
    ExpectVec3Near(box.worldPosition, Vec3{0.0f, 5.0f, -1.0f}, 1e-6f);
    ExpectVec3Near(box.aabbMin, boundsMin, 0.0f);
    ExpectVec3Near(box.aabbMax, boundsMax, 0.0f);
    body.Remove(&box);
}

TEST(GeCollisionGeom, KindsAndTheirBounds)
{
    const Vec3 at{1.0f, 2.0f, 3.0f};
    Matrix4 pose = Matrix4::Identity();
    pose.At(0, 3) = at.x;
    pose.At(1, 3) = at.y;
    pose.At(2, 3) = at.z;

    CGeCollisionGeom base;
    EXPECT_EQ(base.type, uint32_t(GEOM_NONE));

    CGeCollisionGeomPlane plane;
    plane.SetRotation(pose);
    EXPECT_EQ(plane.type, uint32_t(GEOM_PLANE));
    EXPECT_EQ(plane.axisAligned, 1);
    ExpectVec3Near(plane.aabbMin, Vec3{-1e30f, -1e30f, -1e30f}, 0.0f);
    ExpectVec3Near(plane.aabbMax, Vec3{1e30f, 1e30f, 1e30f}, 0.0f);

    CGeCollisionGeomAabb aabb;
    aabb.size = Vec3{2.0f, 4.0f, 6.0f};
    aabb.SetRotation(pose);
    EXPECT_EQ(aabb.axisAligned, 1);
    ExpectVec3Near(aabb.aabbMin, Vec3{0.0f, 0.0f, 0.0f}, 0.0f);
    ExpectVec3Near(aabb.aabbMax, Vec3{2.0f, 4.0f, 6.0f}, 0.0f);

    CGeCollisionGeomSphere sphere;
    sphere.radius = 0.5f;
    sphere.SetRotation(pose);
    EXPECT_EQ(sphere.axisAligned, 0);
    ExpectVec3Near(sphere.aabbMin, Vec3{0.5f, 1.5f, 2.5f}, 0.0f);

    // A box 2 x 4 x 6 turned 90 degrees about y spans 6 along x and 2 along z.
    CGeCollisionGeomBox box;
    box.size = Vec3{2.0f, 4.0f, 6.0f};
    Matrix4 turned = MatrixRotationY(0.5f * kPi);
    turned.At(0, 3) = at.x;
    turned.At(1, 3) = at.y;
    turned.At(2, 3) = at.z;
    box.SetRotation(turned);
    EXPECT_EQ(box.type, uint32_t(GEOM_BOX));
    ExpectVec3Near(box.aabbMin, Vec3{-2.0f, 0.0f, 2.0f}, 1e-6f);
    ExpectVec3Near(box.aabbMax, Vec3{4.0f, 4.0f, 4.0f}, 1e-6f);
    // The local rotation's rows are the matrix's columns.
    ExpectVec3Near(box.localRotation[0], Vec3{turned.At(0, 0), turned.At(1, 0), turned.At(2, 0)}, 0.0f);
    ExpectVec3Near(box.localPosition, at, 0.0f);

    CGeCollisionGeomCylinder cylinder;
    CGeCollisionGeomCapsule capsule;
    for (CGeCollisionGeom* g : {static_cast<CGeCollisionGeom*>(&cylinder), static_cast<CGeCollisionGeom*>(&capsule)}) {
        g->aabbMin = Vec3{7.0f, 7.0f, 7.0f};
        g->SetRotation(pose);
        ExpectVec3Near(g->aabbMin, Vec3{7.0f, 7.0f, 7.0f}, 0.0f);
        ExpectVec3Near(g->localPosition, at, 0.0f);
    }
    EXPECT_EQ(cylinder.type, uint32_t(GEOM_CYLINDER));
    EXPECT_EQ(capsule.type, uint32_t(GEOM_CAPSULE));
}

TEST_F(GePhysWorld, ClearStaticEnvironmentFreesItsGeomsAndLeavesTheWorld)
{
    g_staticBody.Add(new CGeCollisionGeomSphere);
    g_staticBody.Add(new CGeCollisionGeomPlane);
    g_collisionWorld.AddBody(&g_staticBody);
    ClearStaticEnvironment();
    EXPECT_EQ(g_staticBody.firstGeom, nullptr);
    EXPECT_EQ(g_staticBody.geomCount, 0u);
    EXPECT_EQ(g_staticBody.group, nullptr);
    EXPECT_EQ(g_collisionWorld.bodyCount, 0u);
    ClearStaticEnvironment();
    EXPECT_EQ(g_staticBody.geomCount, 0u);
}
