// Collision groups, picking, composites and the light shape operations.
#include <cmath>
#include <memory>
#include <vector>

#include "ColliderTestSupport.h"

namespace {

CGeCollisionQuery PickQuery()
{
    CGeCollisionQuery q = SentinelQuery();
    q.maxDistance = kColliderHuge;
    return q;
}

std::vector<CGeCollider*> Members(const CollisionGroup& group)
{
    std::vector<CGeCollider*> out;
    for (CGeCollider* m = group.members.first; m; m = m->Next())
        out.push_back(m);
    return out;
}

TEST(GeColliderGroup, NearestMemberWinsAndTiesKeepListOrder)
{
    CollisionGroup group;
    CGeColliderAabb far({10, -1, -1}, {11, 1, 1});
    CGeColliderSphere nearA({5, 0, 0}, 1.0f);
    CGeColliderAabb nearB({4, -1, -1}, {5, 1, 1}); // the same t as nearA
    CGeColliderAabb behind({-5, -1, -1}, {-4, 1, 1});
    group.Add(&far);
    group.Add(&nearB);
    group.Add(&nearA); // head: nearA, nearB, far
    group.Add(&behind);
    CGeRayProbe ray({0, 0, 0}, {1, 0, 0});
    CGeCollisionQuery q = PickQuery();
    PickInCollisionSpace(group, &ray, q);
    ASSERT_TRUE(q.hit);
    EXPECT_EQ(q.hitPrimitive, &nearA);
    EXPECT_FLOAT_EQ(q.t, 4.0f);
    EXPECT_VEC_NEAR(q.point, 4, 0, 0, 0.0f);
    EXPECT_VEC_NEAR(q.normal, -1, 0, 0, 0.0f);
    EXPECT_VEC_NEAR(q.direction, 1, 0, 0, 0.0f); // copied from the ray

    // Turned round, the ray meets the box behind first.
    ray.direction = Vec3{-1, 0, 0};
    PickInCollisionSpace(group, &ray, q);
    EXPECT_EQ(q.hitPrimitive, &behind);
    EXPECT_EQ(q.octant, 4u);
}

TEST(GeColliderGroup, FilterDistanceLimitAndStartInside)
{
    CollisionGroup group;
    CGeColliderSphere first({5, 0, 0}, 1.0f), second({8, 0, 0}, 1.0f);
    CGeColliderPlane floor({0, 1, 0}, -50.0f); // unbounded, far below
    group.Add(&second);
    group.Add(&first);
    group.Add(&floor);
    first.owner = &first;

    group.filter = [](CGeCollider* m) { return m->owner == nullptr; };
    CGeRayProbe ray({0, 0, 0}, {1, 0, 0});
    CGeCollisionQuery q = PickQuery();
    PickInCollisionSpace(group, &ray, q);
    EXPECT_EQ(q.hitPrimitive, &second);
    group.filter = nullptr;

    // A sphere probe limited to 3 units: the swept bounds reach only the first.
    CGeColliderSphere probe({0, 0, 0}, 0.5f);
    q = PickQuery();
    q.direction = Vec3{1, 0, 0};
    q.maxDistance = 3.0f;
    PickInCollisionSpace(group, &probe, q);
    EXPECT_FALSE(q.hit);
    EXPECT_VEC_NEAR(group.sweptBounds.min, -0.5f, -0.5f, -0.5f, 0.0f);
    EXPECT_VEC_NEAR(group.sweptBounds.max, 3.5f, 0.5f, 0.5f, 0.0f);
    q.maxDistance = 4.0f;
    PickInCollisionSpace(group, &probe, q);
    EXPECT_EQ(q.hitPrimitive, &first);
    EXPECT_FLOAT_EQ(q.t, 3.5f);

    // Unlimited: the bounds open along the motion; the plane's bounds meet everything.
    q = PickQuery();
    q.direction = Vec3{0, -1, 0};
    PickInCollisionSpace(group, &probe, q);
    EXPECT_EQ(group.sweptBounds.min.y, -kColliderHuge);
    EXPECT_EQ(group.sweptBounds.max.x, 0.5f);
    EXPECT_EQ(q.hitPrimitive, &floor);
    EXPECT_FLOAT_EQ(q.t, 49.5f);

    // Starting inside a member ends the walk with it.
    CGeRayProbe insideRay({8, 0, 0}, {-1, 0, 0});
    q = PickQuery();
    PickInCollisionSpace(group, &insideRay, q);
    EXPECT_TRUE(q.hit && q.startsInside);
    EXPECT_EQ(q.hitPrimitive, &second);
}

TEST(GeColliderGroup, ProbeInTheGroupIsLeftOutAndRelinkedAtTheHead)
{
    CollisionGroup group;
    CGeColliderSphere probe({0, 0, 0}, 1.0f), target({5, 0, 0}, 1.0f), other({0, 9, 0}, 1.0f);
    group.Add(&target);
    group.Add(&probe);
    group.Add(&other); // other, probe, target
    CGeCollisionQuery q = PickQuery();
    q.direction = Vec3{1, 0, 0};
    PickInCollisionSpace(group, &probe, q);
    EXPECT_EQ(q.hitPrimitive, &target); // not the probe, which it starts inside
    EXPECT_FLOAT_EQ(q.t, 3.0f);
    EXPECT_EQ(Members(group), (std::vector<CGeCollider*>{&probe, &other, &target}));
    EXPECT_EQ(group.members.count, 3u);

    // Also when the walk ends early.
    CGeColliderSphere around({0, 0, 0}, 3.0f);
    group.Add(&around);
    PickInCollisionSpace(group, &probe, q);
    EXPECT_TRUE(q.startsInside);
    EXPECT_EQ(group.members.first, &probe);
    EXPECT_EQ(group.members.count, 4u);
}

TEST(GeColliderGroup, MembersLeaveTheirListWhenDestroyedOrCleared)
{
    CollisionGroup group;
    auto doomed = std::make_unique<CGeColliderSphere>(Vec3{5, 0, 0}, 1.0f);
    CGeColliderAabb kept({8, -1, -1}, {9, 1, 1});
    auto head = std::make_unique<CGeColliderBox>();
    head->SetSizeAndRotation({1, 1, 1}, TurnY(0.0f, {20, 0, 0}));
    group.Add(&kept);
    group.Add(doomed.get());
    group.Add(head.get());
    doomed.reset(); // from the middle
    EXPECT_EQ(group.members.count, 2u);
    head.reset(); // the head
    EXPECT_EQ(group.members.first, &kept);
    EXPECT_EQ(group.members.count, 1u);
    CGeRayProbe ray({0, 0, 0}, {1, 0, 0});
    CGeCollisionQuery q = PickQuery();
    PickInCollisionSpace(group, &ray, q);
    EXPECT_EQ(q.hitPrimitive, &kept);

    // Moving to another list leaves the first; Remove outside a list does nothing.
    CollisionGroup second;
    second.Add(&kept);
    EXPECT_EQ(group.members.count, 0u);
    EXPECT_EQ(kept.List(), &second.members);
    CGeOwnedList::Remove(&ray);

    second.bounds.SetCorners({0, 0, 0}, {1, 1, 1});
    second.Clear();
    EXPECT_EQ(second.members.first, nullptr);
    EXPECT_EQ(second.members.count, 0u);
    EXPECT_EQ(kept.List(), nullptr);
    EXPECT_EQ(kept.Next(), nullptr);
    EXPECT_EQ(second.bounds.min.x, -kColliderHuge);
    EXPECT_EQ(second.bounds.max.z, kColliderHuge);
    {
        CollisionGroup shortLived;
        shortLived.Add(&kept);
    }
    EXPECT_EQ(kept.List(), nullptr); // a destroyed group lets its members go
}

TEST(GeColliderGroup, PickingHandsBackTheOwner)
{
    int entity = 0;
    CollisionGroup group;
    CGeColliderBox shape;
    shape.SetSizeAndRotation({1, 2, 1}, TurnY(0.3f, {0, 0, 5}));
    shape.owner = &entity;
    group.Add(&shape);
    CGeRayProbe ray({0, 0.5f, 0}, {0, 0, 1});
    CGeCollisionQuery q = PickQuery();
    PickInCollisionSpace(group, &ray, q);
    ASSERT_TRUE(q.hit);
    EXPECT_EQ(q.hitPrimitive->owner, &entity);
}

// A two-level tree: a sphere and a nested composite holding two boxes.
struct Tree {
    CGeColliderSphere sphere{{0, 0, 0}, 1.0f};
    CGeColliderAabb boxA{{-0.5f, -0.5f, -0.5f}, {0.5f, 0.5f, 0.5f}};
    CGeColliderBox boxB;
    CGeColliderComposite inner;
    CGeColliderComposite outer;
    CGeColliderNode sphereNode, innerNode, aNode, bNode;

    Tree()
    {
        boxB.SetSizeAndRotation({1, 1, 1}, Matrix4::Identity());
        sphereNode.primitive = &sphere;
        sphereNode.pose = PoseAt(Matrix4::Identity(), {0, 0, 20});
        sphereNode.next = &innerNode;
        innerNode.primitive = &inner;
        innerNode.pose = PoseAt(Matrix4::Identity(), {0, 0, 10});
        inner.firstChild = &aNode;
        aNode.primitive = &boxA;
        aNode.parent = &innerNode;
        aNode.pose = PoseAt(Matrix4::Identity(), {0, 0, 2});
        aNode.next = &bNode;
        bNode.primitive = &boxB;
        bNode.parent = &innerNode;
        bNode.pose = TurnY(0.78539816f, {0, 0, -2});
        outer.firstChild = &sphereNode;
    }
};

TEST(GeColliderComposite, NestedLeavesAreWalkedAndTheLeafIsReported)
{
    Tree tree;
    std::vector<const CGeCollider*> leaves;
    for (const CGeColliderNode* n = CompositeFirstLeaf(tree.outer); n; n = CompositeNextLeaf(n))
        leaves.push_back(n->primitive);
    EXPECT_EQ(leaves, (std::vector<const CGeCollider*>{&tree.sphere, &tree.boxA, &tree.boxB}));

    ColliderSetPose(&tree.outer, PoseAt(Matrix4::Identity(), {0, 0, 0}));
    EXPECT_NEAR(tree.outer.bounds.min.z, 8.0f - std::sqrt(0.5f), 1e-5f);
    EXPECT_VEC_NEAR(tree.outer.bounds.max, 1, 1, 21, 1e-5f);

    // Along +z the turned box at z = 8 comes first, its corner edge towards the ray.
    CGeRayProbe ray({0, 0, 0}, {0, 0, 1});
    CGeCollisionQuery q = SentinelQuery({0, 0, 1});
    CollideGeoms(&tree.outer, &ray, q);
    ASSERT_TRUE(q.hit);
    EXPECT_EQ(q.hitPrimitive, &tree.boxB);
    EXPECT_NEAR(q.t, 8.0f - std::sqrt(0.5f), 1e-5f);

    // Moved sideways the composite takes its leaves along; a ray at x = 5 now
    // meets the sphere only (the boxes are narrower).
    ColliderSetPosition(&tree.outer, {5, 0, 0});
    CGeRayProbe side({5.9f, 0, 0}, {0, 0, 1});
    q = SentinelQuery({0, 0, 1});
    CollideGeoms(&tree.outer, &side, q);
    ASSERT_TRUE(q.hit);
    EXPECT_EQ(q.hitPrimitive, &tree.sphere);

    // A ray outside the bounds never reaches the leaves.
    CGeRayProbe miss({50, 0, 0}, {0, 0, 1});
    q = SentinelQuery({0, 0, 1});
    CollideGeoms(&tree.outer, &miss, q);
    EXPECT_FALSE(q.hit);
    ExpectUntouched(q);

    // A sphere swept against it, and the composite as the picked member.
    CGeColliderSphere ball({5, 0, 30}, 0.5f);
    q = SentinelQuery({0, 0, -1});
    CollideGeoms(&tree.outer, &ball, q);
    ASSERT_TRUE(q.hit);
    EXPECT_EQ(q.hitPrimitive, &tree.sphere);
    EXPECT_FLOAT_EQ(q.t, 8.5f);
    CollisionGroup group;
    group.Add(&tree.outer);
    q = PickQuery();
    q.direction = Vec3{0, 0, -1};
    PickInCollisionSpace(group, &ball, q);
    EXPECT_EQ(q.hitPrimitive, &tree.outer);
}

TEST(GeColliderComposite, CompositeAgainstComposite)
{
    Tree obstacle;
    ColliderSetPose(&obstacle.outer, PoseAt(Matrix4::Identity(), {0, 0, 0}));
    CGeColliderSphere s({0, 0, 0}, 0.5f);
    CGeColliderNode node;
    node.primitive = &s;
    CGeColliderComposite mover;
    mover.firstChild = &node;
    ColliderSetPose(&mover, PoseAt(Matrix4::Identity(), {0, 0, 30}));
    CGeCollisionQuery q = SentinelQuery({0, 0, -1});
    CollideGeoms(&obstacle.outer, &mover, q);
    ASSERT_TRUE(q.hit);
    EXPECT_EQ(q.hitPrimitive, &obstacle.sphere);
    EXPECT_FLOAT_EQ(q.t, 8.5f);
    EXPECT_VEC_NEAR(q.point, 0, 0, 21.5f, 1e-5f);
}

TEST(GeColliderShapes, OrientedBoxBoundsAndCorners)
{
    CGeColliderBox box;
    EXPECT_GT(box.bounds.min.x, box.bounds.max.x); // empty at creation
    box.SetSizeAndRotation({2, 4, 6}, PoseAt(Matrix4::Identity(), {1, 1, 1}));
    EXPECT_VEC_NEAR(box.bounds.min, 0, -1, -2, 0.0f);
    EXPECT_VEC_NEAR(box.bounds.max, 2, 3, 4, 0.0f);

    box.SetSizeAndRotation({2, 2, 2}, PoseAt(MatrixFromAxisAngle({0, 0, 1}, 0.78539816f), {0, 0, 0}));
    EXPECT_VEC_NEAR(box.bounds.max, std::sqrt(2.0f), std::sqrt(2.0f), 1, 1e-6f);
    EXPECT_VEC_NEAR(box.axis[0], std::sqrt(0.5f), std::sqrt(0.5f), 0, 1e-6f); // the matrix's first column

    box.SetSizeAndRotation({0, 0, 0}, TurnY(1.0f, {3, 4, 5}));
    EXPECT_VEC_NEAR(box.bounds.min, 3, 4, 5, 0.0f);
    EXPECT_VEC_NEAR(box.bounds.max, 3, 4, 5, 0.0f);
    EXPECT_VEC_NEAR(box.GetCenter(), 3, 4, 5, 0.0f);

    CGeColliderAabb aabb;
    EXPECT_VEC_NEAR(aabb.GetCenter(), 0, 0, 0, 0.0f); // the creation corners
    aabb.SetCorners({4, 4, 4}, {2, 0, -2});
    EXPECT_VEC_NEAR(aabb.min, 4, 4, 4, 0.0f);
    EXPECT_VEC_NEAR(aabb.max, 2, 0, -2, 0.0f);
    EXPECT_VEC_NEAR(aabb.GetCenter(), 3, 2, 1, 0.0f);
}

// The walk-grid lock: cells under an entity's bounds, each tested with an upward
// ray from the ground at octant 0.
TEST(GeColliderShapes, UpwardRaysMarkTheCellsUnderATurnedBox)
{
    const float cell = 0.5f;
    const float originX = -5.0f, originZ = -5.0f;
    const int columns = 20, rows = 20;
    const float angle = 0.6f;
    CGeColliderBox box;
    box.SetSizeAndRotation({4, 1, 1.5f}, TurnY(angle, {0.3f, 2, -0.2f}));

    CGeColliderAabb bounds;
    ColliderGetAabb(&box, bounds);
    int marked = 0;
    for (int row = 0; row < rows; row++) {
        for (int column = 0; column < columns; column++) {
            const float x = column * cell + originX;
            const float z = row * cell + originZ;
            bool hit = false;
            if (x >= bounds.min.x && x <= bounds.max.x && z >= bounds.min.z && z <= bounds.max.z) {
                CGeRayProbe probe({x, 0, z}, {0, 1, 0});
                CGeCollisionQuery q;
                q.maxDistance = kColliderHuge;
                q.octant = 0;
                CollideGeoms(&box, &probe, q);
                hit = q.hit != 0;
            }
            // Inside the footprint: the point in the box's frame within the half sizes.
            const float dx = x - 0.3f, dz = z + 0.2f;
            const float u = std::cos(angle) * dx - std::sin(angle) * dz;
            const float w = std::sin(angle) * dx + std::cos(angle) * dz;
            const bool inside = std::fabs(u) < 2.0f && std::fabs(w) < 0.75f;
            EXPECT_EQ(hit, inside) << "column " << column << " row " << row;
            marked += hit;
        }
    }
    EXPECT_GT(marked, 15);
}

} // namespace
