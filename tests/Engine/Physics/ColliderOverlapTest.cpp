// Overlap tests, the frustum and the position operations.
#include <cmath>

#include "ColliderTestSupport.h"

namespace {

const Vec3 kUp = {0.0f, 1.0f, 0.0f};

TEST(GeColliderOverlap, PlanesSpheresAndBoxes)
{
    CGeColliderPlane ground(kUp, 0.0f), raised(kUp, 3.0f), coincident(kUp, 0.0f);
    CGeColliderPlane tilted({0.0f, std::sqrt(0.5f), std::sqrt(0.5f)}, 1.0f);
    EXPECT_EQ(OverlapDispatch(&ground, &raised), 0);
    EXPECT_EQ(OverlapDispatch(&ground, &coincident), 0); // parallel never overlap
    EXPECT_EQ(OverlapDispatch(&ground, &tilted), 1);

    CGeColliderAabb onGround({0, 0, 0}, {1, 1, 1});
    CGeColliderAabb acrossGround({0, -0.5f, 0}, {1, 1, 1});
    EXPECT_EQ(OverlapDispatch(&onGround, &ground), 0); // a face touching
    EXPECT_EQ(OverlapDispatch(&ground, &acrossGround), 1);

    CGeColliderSphere resting({0, 1, 0}, 1.0f), sunk({0, 0.5f, 0}, 1.0f);
    EXPECT_EQ(OverlapDispatch(&resting, &ground), 0);
    EXPECT_EQ(OverlapDispatch(&sunk, &ground), 1);

    CGeColliderSphere a({0, 0, 0}, 1.0f), touching({2, 0, 0}, 1.0f), apart({2.01f, 0, 0}, 1.0f);
    EXPECT_EQ(OverlapDispatch(&a, &touching), 1);
    EXPECT_EQ(OverlapDispatch(&a, &apart), 0);
    EXPECT_TRUE(SphereSphereOverlap(a, touching));

    CGeColliderSphere atCorner({2, 1, 1}, 1.0f), offCorner({2, 1.1f, 1.1f}, 1.0f);
    EXPECT_EQ(OverlapDispatch(&onGround, &atCorner), 1); // touches the face at one point
    EXPECT_EQ(OverlapDispatch(&atCorner, &onGround), 1); // the mirrored cell
    EXPECT_EQ(OverlapDispatch(&onGround, &offCorner), 0);

    CGeColliderBox turned;
    turned.SetSizeAndRotation({2, 2, 2}, TurnY(0.78539816f, {0, 0, 0}));
    CGeColliderSphere nearCorner({1.5f, 0, 0}, 0.1f), pastCorner({1.6f, 0, 0}, 0.1f);
    EXPECT_EQ(OverlapDispatch(&nearCorner, &turned), 1);
    EXPECT_EQ(OverlapDispatch(&pastCorner, &turned), 0);
    EXPECT_EQ(OverlapDispatch(&turned, &ground), 1);
    CGeColliderPlane high(kUp, 1.0f);
    EXPECT_EQ(OverlapDispatch(&turned, &high), 0); // touching
}

TEST(GeColliderOverlap, OrientedBoxesUseTheirStoredBounds)
{
    CGeColliderAabb aabb({0, 0, 0}, {1, 1, 1});
    CGeColliderBox box;
    box.SetSizeAndRotation({1, 1, 1}, TurnY(0.78539816f, {1.6f, 0.5f, 0.5f}));
    EXPECT_EQ(OverlapDispatch(&aabb, &box), 1); // the corner reaches in
    box.SetSizeAndRotation({1, 1, 1}, TurnY(0.78539816f, {1.8f, 0.5f, 0.5f}));
    EXPECT_EQ(OverlapDispatch(&aabb, &box), 0);

    // Moved without recomputing its bounds: the stale bounds answer.
    box.centre = Vec3{0.5f, 0.5f, 0.5f};
    EXPECT_EQ(OverlapDispatch(&aabb, &box), 0);
    box.UpdateAabb();
    EXPECT_EQ(OverlapDispatch(&aabb, &box), 1);

    CGeColliderBox other;
    other.SetSizeAndRotation({1, 1, 1}, TurnY(0.2f, {0.5f, 1.4f, 0.5f}));
    EXPECT_EQ(OverlapDispatch(&box, &other), 1);
    other.SetSizeAndRotation({1, 1, 1}, TurnY(0.2f, {0.5f, 2.1f, 0.5f}));
    EXPECT_EQ(OverlapDispatch(&box, &other), 0);
}

TEST(GeColliderOverlap, CompositeLeavesDecide)
{
    CGeColliderSphere left({0, 0, 0}, 1.0f), right({0, 0, 0}, 1.0f);
    CGeColliderNode leftNode, rightNode;
    leftNode.primitive = &left;
    leftNode.pose = PoseAt(Matrix4::Identity(), {-3, 0, 0});
    rightNode.primitive = &right;
    rightNode.pose = PoseAt(Matrix4::Identity(), {3, 0, 0});
    leftNode.next = &rightNode;
    CGeColliderComposite pair;
    pair.firstChild = &leftNode;
    ColliderSetPose(&pair, PoseAt(Matrix4::Identity(), {0, 0, 0}));
    EXPECT_VEC_NEAR(pair.bounds.min, -4, -1, -1, 0.0f);
    EXPECT_VEC_NEAR(pair.bounds.max, 4, 1, 1, 0.0f);

    CGeColliderSphere between({0, 0, 0}, 0.5f), onRight({3.5f, 0, 0}, 0.2f);
    EXPECT_EQ(OverlapDispatch(&between, &pair), 0); // inside the bounds, touching no leaf
    EXPECT_EQ(OverlapDispatch(&onRight, &pair), 1);
    EXPECT_EQ(OverlapDispatch(&pair, &onRight), 1);

    CGeColliderComposite moved;
    CGeColliderSphere single({0, 0, 0}, 0.5f);
    CGeColliderNode singleNode;
    singleNode.primitive = &single;
    moved.firstChild = &singleNode;
    ColliderSetPose(&moved, PoseAt(Matrix4::Identity(), {0, 0, 0}));
    EXPECT_EQ(OverlapDispatch(&moved, &pair), 0);
    ColliderSetPosition(&moved, {-2.8f, 0, 0});
    EXPECT_EQ(OverlapDispatch(&moved, &pair), 1);
}

// A pyramid from the origin opening along +z, corners at z = 10.
void BuildPyramid(CGeColliderFrustum& f, bool reverseWinding)
{
    Vec3 corners[4] = {{-10, -10, 10}, {10, -10, 10}, {10, 10, 10}, {-10, 10, 10}};
    if (reverseWinding)
        std::swap(corners[1], corners[3]);
    f.Build({0, 0, 0}, corners);
}

TEST(GeColliderOverlap, FrustumPlanesAreUnitAndOutward)
{
    for (bool reverse : {false, true}) {
        CGeColliderFrustum f;
        BuildPyramid(f, reverse);
        for (const CGeColliderPlane& plane : f.planes) {
            EXPECT_NEAR(plane.normal.Length(), 1.0f, 1e-6f);
            // The inside point (0, 0, 5) lies on the solid side of every plane.
            EXPECT_LT(Vec3::Dot(plane.normal, {0, 0, 5}), plane.d);
        }
        EXPECT_VEC_NEAR(f.planes[4].normal, 0, 0, 1, 1e-6f);
        EXPECT_NEAR(f.planes[4].d, 10.0f, 1e-5f);

        // Half a unit outside the side x = z: a unit sphere reaches in, a sphere
        // 1.5 out does not. Unscaled normals would put both far outside.
        const Vec3 onSide = {5, 0, 5};
        const Vec3 out = {std::sqrt(0.5f), 0, -std::sqrt(0.5f)};
        CGeColliderSphere reaching(PointAlong(out, onSide, 0.5f), 1.0f);
        CGeColliderSphere apart(PointAlong(out, onSide, 1.5f), 1.0f);
        EXPECT_EQ(OverlapDispatch(&f, &reaching), 1);
        EXPECT_EQ(OverlapDispatch(&reaching, &f), 1);
        EXPECT_EQ(OverlapDispatch(&f, &apart), 0);
        CGeColliderSphere beyondBase({0, 0, 11.5f}, 1.0f), apexSide({0, 0, -0.5f}, 1.0f);
        EXPECT_EQ(OverlapDispatch(&f, &beyondBase), 0);
        EXPECT_EQ(OverlapDispatch(&f, &apexSide), 1);
    }
}

TEST(GeColliderOverlap, FrustumAgainstBoxes)
{
    CGeColliderFrustum f;
    BuildPyramid(f, false);
    struct Case {
        Vec3 min, max;
        int32_t overlap;
    };
    const Case cases[] = {
        {{-1, -1, 4}, {1, 1, 6}, 1},        // inside
        {{-1, -1, 10}, {1, 1, 12}, 0},      // touches the base from outside
        {{-1, -1, 9.9f}, {1, 1, 12}, 1},    // crosses the base
        {{6, -1, 4}, {8, 1, 5}, 0},         // beside a side face
        {{4, -1, 4}, {6, 1, 6}, 1},         // across a side face
        {{-30, -30, -5}, {-12, 30, 20}, 0}, // within no plane's reach
        {{9, 9, -1}, {11, 11, 0.5f}, 0},    // inside the bounds near the apex, outside the pyramid
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.min.x << "," << c.min.y << "," << c.min.z);
        CGeColliderAabb box(c.min, c.max);
        EXPECT_EQ(OverlapDispatch(&f, &box), c.overlap);
        // The same box as an oriented box without rotation, and turned about z by
        // a quarter turn (which leaves it the same set of points).
        CGeColliderBox oriented;
        const Vec3 centre = box.GetCenter();
        oriented.SetSizeAndRotation({c.max.x - c.min.x, c.max.y - c.min.y, c.max.z - c.min.z},
                                    PoseAt(Matrix4::Identity(), centre));
        EXPECT_EQ(OverlapDispatch(&oriented, &f), c.overlap);
    }
    // A turned box across the edge between two sides.
    CGeColliderBox turned;
    turned.SetSizeAndRotation({1, 1, 1}, PoseAt(MatrixFromAxisAngle({0, 0, 1}, 0.78539816f), {5.2f, 5.2f, 5}));
    EXPECT_EQ(OverlapDispatch(&f, &turned), 1);
    turned.SetSizeAndRotation({1, 1, 1}, PoseAt(MatrixFromAxisAngle({0, 0, 1}, 0.78539816f), {6.5f, 6.5f, 5}));
    EXPECT_EQ(OverlapDispatch(&f, &turned), 0);
}

TEST(GeColliderPosition, ThePartsCases)
{
    CGeColliderAabb box({0, 0, 0}, {2, 4, 6});
    ColliderSetPosition(&box, {10, 10, 10});
    EXPECT_VEC_NEAR(box.min, 9, 8, 7, 0.0f);
    EXPECT_VEC_NEAR(box.max, 11, 12, 13, 0.0f);
    Vec3 at;
    ColliderGetPosition(&box, at);
    EXPECT_VEC_NEAR(at, 10, 10, 10, 0.0f);

    CGeColliderPlane plane(kUp, 0.0f);
    ColliderSetPosition(&plane, {5, 3, 7});
    EXPECT_EQ(plane.d, 3.0f);
    ColliderGetPosition(&plane, at);
    EXPECT_VEC_NEAR(at, 0, 3, 0, 0.0f);

    CGeColliderFrustum moved, rebuilt;
    BuildPyramid(moved, false);
    ColliderSetPosition(&moved, {1, 2, 3});
    Vec3 corners[4] = {{-9, -8, 13}, {11, -8, 13}, {11, 12, 13}, {-9, 12, 13}};
    rebuilt.Build({1, 2, 3}, corners);
    for (int i = 0; i < 4; i++)
        EXPECT_VEC_NEAR(moved.corners[i], corners[i].x, corners[i].y, corners[i].z, 0.0f);
    for (int i = 0; i < 5; i++) {
        EXPECT_VEC_NEAR(moved.planes[i].normal, rebuilt.planes[i].normal.x, rebuilt.planes[i].normal.y,
                        rebuilt.planes[i].normal.z, 1e-6f);
        EXPECT_NEAR(moved.planes[i].d, rebuilt.planes[i].d, 1e-4f);
    }
    EXPECT_VEC_NEAR(moved.bounds.min, -9, -8, 3, 0.0f);
    EXPECT_VEC_NEAR(moved.bounds.max, 11, 12, 13, 0.0f);
    ColliderGetPosition(&moved, at);
    EXPECT_VEC_NEAR(at, 1, 2, 3, 0.0f);

    // The other classes' reference points.
    CGeColliderBox oriented;
    oriented.SetSizeAndRotation({2, 2, 2}, TurnY(0.5f, {0, 0, 0}));
    ColliderSetPosition(&oriented, {4, 0, 0});
    EXPECT_NEAR(oriented.bounds.min.x + oriented.bounds.max.x, 8.0f, 1e-5f);
    CGeColliderTransformedAabb transformed({-1, -1, -1}, {1, 1, 1});
    ColliderSetPose(&transformed, TurnY(0.78539816f, {2, 0, 0}));
    EXPECT_NEAR(transformed.bounds.max.x, 2 + std::sqrt(2.0f), 1e-5f);
    ColliderSetPosition(&transformed, {5, 0, 0});
    EXPECT_NEAR(transformed.bounds.max.x, 5 + std::sqrt(2.0f), 1e-5f);
    ColliderGetPosition(&transformed, at);
    EXPECT_VEC_NEAR(at, 5, 0, 0, 0.0f);
}

TEST(GeColliderPosition, PoseAndTransformRoundTrip)
{
    const Matrix4 pose = PoseAt(MatrixFromAxisAngle({1, 2, 3}, 0.7f), {1, -2, 3});
    CGeColliderBox box;
    CGeColliderTransformedAabb transformed({-1, -1, -1}, {1, 1, 1});
    CGeColliderComposite composite;
    CGeCollider* posed[] = {&box, &transformed, &composite};
    for (CGeCollider* p : posed) {
        ColliderSetPose(p, pose);
        Matrix4 back;
        ColliderGetTransform(p, back);
        for (int i = 0; i < 12; i++)
            EXPECT_NEAR(back.m[i], pose.m[i], 1e-6f) << p->GetClass() << " " << i;
    }
    // A ray's transform turns X onto its direction.
    CGeRayProbe ray({1, 2, 3}, {0, 0, 2});
    Matrix4 frame;
    ColliderGetTransform(&ray, frame);
    EXPECT_VEC_NEAR(MatrixTransformNormal(frame, {1, 0, 0}), 0, 0, 1, 1e-6f);
    EXPECT_VEC_NEAR(MatrixTransformPoint(frame, {0, 0, 0}), 1, 2, 3, 0.0f);
    CGeColliderPlane plane({0, 1, 0}, 2.0f);
    ColliderGetTransform(&plane, frame);
    EXPECT_VEC_NEAR(MatrixTransformNormal(frame, {1, 0, 0}), 0, 1, 0, 1e-6f);
    EXPECT_VEC_NEAR(MatrixTransformPoint(frame, {0, 0, 0}), 0, 2, 0, 0.0f);
    ColliderSetPose(&plane, frame);
    EXPECT_FLOAT_EQ(plane.d, 2.0f);
}

} // namespace
