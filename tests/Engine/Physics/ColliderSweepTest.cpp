// Sweep pair tests against hand-computed contacts.
#include <cmath>

#include "ColliderTestSupport.h"

namespace {

const Vec3 kUp = {0.0f, 1.0f, 0.0f};

TEST(GeColliderSweep, RayPlane)
{
    CGeColliderPlane ground(kUp, 0.0f);
    struct Case {
        Vec3 origin, direction;
        bool hit, inside;
        float t;
    };
    const Case cases[] = {
        {{0, 5, 0}, {0, -1, 0}, true, false, 5.0f},   // falls onto the plane
        {{0, 5, 0}, {1, 0, 0}, false, false, 0.0f},   // parallel
        {{0, 5, 0}, {0, 1, 0}, false, false, 0.0f},   // moving away
        {{0, -5, 0}, {1, 0, 0}, false, false, 0.0f},  // parallel below
        // Below, on the solid side: against the normal it starts inside (no t),
        // along it there is nothing to meet.
        {{0, -5, 0}, {0, -1, 0}, true, true, 0.0f},
        {{0, -5, 0}, {0, 1, 0}, false, false, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.origin.y << " " << c.direction.x << c.direction.y);
        CGeRayProbe ray(c.origin, c.direction);
        CGeCollisionQuery q = SentinelQuery();
        CollideGeoms(&ground, &ray, q);
        EXPECT_EQ(q.hit, c.hit);
        EXPECT_EQ(q.startsInside, c.inside);
        if (c.hit && !c.inside) {
            EXPECT_FLOAT_EQ(q.t, c.t);
            EXPECT_VEC_NEAR(q.point, 0, 0, 0, 1e-6f);
            EXPECT_VEC_NEAR(q.normal, 0, 1, 0, 0.0f);
        } else {
            ExpectUntouched(q);
        }
    }
}

TEST(GeColliderSweep, RaySphere)
{
    CGeColliderSphere ball({0, 0, 10}, 2.0f);
    CGeCollisionQuery q = SentinelQuery();

    CGeRayProbe throughCentre({0, 0, 0}, {0, 0, 1});
    CollideGeoms(&ball, &throughCentre, q);
    EXPECT_TRUE(q.hit);
    EXPECT_FLOAT_EQ(q.t, 8.0f);
    EXPECT_VEC_NEAR(q.normal, 0, 0, -1, 1e-6f);

    CGeRayProbe offCentre({1, 0, 0}, {0, 0, 1});
    CollideGeoms(&ball, &offCentre, q);
    EXPECT_TRUE(q.hit);
    EXPECT_NEAR(q.t, 10.0f - std::sqrt(3.0f), 1e-5f);
    EXPECT_VEC_NEAR(q.normal, 0.5f, 0, -std::sqrt(3.0f) / 2, 1e-5f);

    // On the surface pointing in: not inside, contact at once.
    CGeRayProbe onSurface({0, 0, 8}, {0, 0, 1});
    q = SentinelQuery();
    CollideGeoms(&ball, &onSurface, q);
    EXPECT_TRUE(q.hit);
    EXPECT_FALSE(q.startsInside);
    EXPECT_FLOAT_EQ(q.t, 0.0f);

    CGeRayProbe inside({0, 0, 9}, {0, 0, 1});
    q = SentinelQuery();
    CollideGeoms(&ball, &inside, q);
    EXPECT_TRUE(q.hit && q.startsInside);
    ExpectUntouched(q);

    CGeRayProbe away({0, 0, 0}, {0, 0, -1});
    q = SentinelQuery();
    CollideGeoms(&ball, &away, q);
    EXPECT_FALSE(q.hit);
}

TEST(GeColliderSweep, RayAabb)
{
    CGeColliderAabb cube({0, 0, 0}, {1, 1, 1});
    struct Case {
        Vec3 origin, direction;
        uint8_t boundsOnly;
        bool hit, inside;
        float t;
        Vec3 normal;
    };
    const Case cases[] = {
        {{-5, 0.5f, 0.5f}, {1, 0, 0}, 0, true, false, 5.0f, {-1, 0, 0}},
        {{6, 0.5f, 0.5f}, {-1, 0, 0}, 0, true, false, 5.0f, {1, 0, 0}},
        {{0.5f, 0.5f, -3}, {0, 0, 1}, 0, true, false, 3.0f, {0, 0, -1}}, // zero x and y components
        {{0, 0.5f, 0.5f}, {1, 0, 0}, 0, true, false, 0.0f, {-1, 0, 0}},  // on the near face
        {{-5, 1, 1}, {1, 0, 0}, 0, true, false, 5.0f, {-1, 0, 0}},       // grazes an edge
        {{-5, 0.5f, 0.5f}, {1, 0, 0}, 1, true, false, kSentinelT, kSentinelVec}, // bounds only
        {{0.5f, 0.5f, 0.5f}, {1, 0, 0}, 0, true, true, kSentinelT, kSentinelVec}, // inside
        {{-5, 1.5f, 0.5f}, {1, 0, 0}, 0, false, false, kSentinelT, kSentinelVec}, // passes above
        {{-5, 0.5f, 0.5f}, {-1, 0, 0}, 0, false, false, kSentinelT, kSentinelVec}, // moves away
        // On a face plane, running along it out of the box: no contact behind the origin.
        {{0, 5, 0.5f}, {0, 1, 0}, 0, false, false, kSentinelT, kSentinelVec},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.origin.x << "," << c.origin.y << "," << c.origin.z);
        CGeRayProbe ray(c.origin, c.direction);
        CGeCollisionQuery q = SentinelQuery();
        q.octant = DirectionOctant(c.direction); // a ray's octant is that of its own direction
        q.boundsOnly = c.boundsOnly;
        CollideGeoms(&cube, &ray, q);
        EXPECT_EQ(q.hit, c.hit);
        EXPECT_EQ(q.startsInside, c.inside);
        EXPECT_FLOAT_EQ(q.t, c.t);
        EXPECT_VEC_NEAR(q.normal, c.normal.x, c.normal.y, c.normal.z, 0.0f);
        if (c.hit && c.t != kSentinelT) {
            EXPECT_VEC_NEAR(q.point, c.origin.x + c.direction.x * c.t, c.origin.y + c.direction.y * c.t,
                            c.origin.z + c.direction.z * c.t, 1e-6f);
        }
    }
}

// The octant families have eight members; any other octant finds none.
TEST(GeColliderSweep, OctantOutsideTheTablesGivesNoHit)
{
    CGeColliderAabb cube({0, 0, 0}, {1, 1, 1});
    CGeColliderAabb mover({-3, 0, 0}, {-2, 1, 1});
    CGeColliderSphere ball({-3, 0.5f, 0.5f}, 0.5f);
    CGeRayProbe ray({-5, 0.5f, 0.5f}, {1, 0, 0});
    for (uint32_t octant : {8u, 9u, 0xFFFFFFFFu}) {
        CGeCollisionQuery q = SentinelQuery({1, 0, 0});
        q.octant = octant;
        SweepRayAabb(&ray, &cube, q);
        SweepAabbAabb(&mover, &cube, q);
        SweepSphereAabb(&ball, &cube, q);
        EXPECT_FALSE(q.hit);
        ExpectUntouched(q);
    }
}

TEST(GeColliderSweep, RayAgainstBoxTurned45Degrees)
{
    CGeColliderBox box;
    box.SetSizeAndRotation({2, 2, 2}, TurnY(0.78539816f, {10, 0, 0}));
    CGeRayProbe ray({0, 0, 0.3f}, {1, 0, 0});
    CGeCollisionQuery q = SentinelQuery();
    CollideGeoms(&box, &ray, q);
    ASSERT_TRUE(q.hit);
    EXPECT_FALSE(q.startsInside);
    EXPECT_NEAR(q.t, 10.3f - std::sqrt(2.0f), 1e-5f);
    EXPECT_VEC_NEAR(q.point, 10.3f - std::sqrt(2.0f), 0, 0.3f, 1e-5f);
    EXPECT_VEC_NEAR(q.normal, -std::sqrt(0.5f), 0, std::sqrt(0.5f), 1e-5f);

    CGeRayProbe from_inside({10, 0, 0}, {1, 0, 0});
    q = SentinelQuery();
    CollideGeoms(&box, &from_inside, q);
    EXPECT_TRUE(q.hit && q.startsInside);
}

TEST(GeColliderSweep, SpherePlaneBothWaysRound)
{
    CGeColliderPlane ground(kUp, 0.0f);
    CGeColliderSphere ball({0, 5, 0}, 1.0f);

    CGeCollisionQuery q = SentinelQuery({0, -1, 0});
    CollideGeoms(&ground, &ball, q); // the ball falls
    ASSERT_TRUE(q.hit);
    EXPECT_FLOAT_EQ(q.t, 4.0f);
    EXPECT_VEC_NEAR(q.point, 0, 1, 0, 1e-6f);
    EXPECT_VEC_NEAR(q.normal, 0, 1, 0, 0.0f);

    // The plane rises to the ball: the same test, swapped.
    CGeCollisionQuery s = SentinelQuery({0, 1, 0});
    CollideGeoms(&ball, &ground, s);
    ASSERT_TRUE(s.hit);
    EXPECT_FLOAT_EQ(s.t, 4.0f);
    EXPECT_VEC_NEAR(s.point, 0, 4, 0, 1e-6f); // the plane's point at contact
    EXPECT_VEC_NEAR(s.normal, 0, -1, 0, 0.0f);
    EXPECT_VEC_NEAR(s.direction, 0, 1, 0, 0.0f);
    EXPECT_EQ(s.octant, 0u);
    EXPECT_EQ(s.swapped, 0u);

    // A sphere is stopped only from the side the normal points to.
    CGeColliderSphere below({0, -5, 0}, 1.0f);
    q = SentinelQuery({0, 1, 0});
    CollideGeoms(&ground, &below, q);
    EXPECT_FALSE(q.hit);
}

TEST(GeColliderSweep, CollideGeomsRestoresTheCallersFields)
{
    CGeColliderPlane ground(kUp, 0.0f);
    CGeRayProbe ray({0, 5, 0}, {0, -1, 0});
    CGeCollisionQuery a = SentinelQuery({0.25f, -1, 0.5f});
    a.octant = 6;
    a.swapped = 0;
    CollideGeoms(&ground, &ray, a);
    CGeCollisionQuery b = SentinelQuery({0.25f, -1, 0.5f});
    b.octant = 6;
    CollideGeoms(&ray, &ground, b); // swapped cell: the same ray-plane test
    EXPECT_TRUE(a.hit && b.hit);
    EXPECT_EQ(a.t, b.t);
    EXPECT_VEC_NEAR(b.direction, 0.25f, -1, 0.5f, 0.0f);
    EXPECT_EQ(b.octant, 6u);
    EXPECT_EQ(b.swapped, 0u);
}

TEST(GeColliderSweep, EmptyCellsLeaveTheQueryUntouched)
{
    CGeColliderPlane p1(kUp, 0.0f), p2({1, 0, 0}, 0.0f);
    CGeColliderTransformedAabb transformed({-1, -1, -1}, {1, 1, 1});
    CGeColliderFrustum frustum;
    const Vec3 corners[4] = {{-1, -1, 5}, {1, -1, 5}, {1, 1, 5}, {-1, 1, 5}};
    frustum.Build({0, 0, 0}, corners);
    CGeRayProbe ray({0, 0, -5}, {0, 0, 1});
    CGeCollider* pairs[][2] = {{&p1, &p2}, {&transformed, &ray}, {&frustum, &ray}, {&ray, &frustum}};
    for (auto& pair : pairs) {
        CGeCollisionQuery q = SentinelQuery({0, 0, 1});
        q.hit = 1;
        CollideGeoms(pair[0], pair[1], q);
        EXPECT_FALSE(q.hit);
        ExpectUntouched(q);
    }
}

TEST(GeColliderSweep, SphereAabbFaceEdgeCornerAndInside)
{
    CGeColliderAabb cube({0, 0, 0}, {1, 1, 1});
    struct Case {
        Vec3 centre;
        float radius;
        bool inside;
        float t;
        Vec3 normal;
    };
    const float cornerRun = std::sqrt(0.07f);
    const Case cases[] = {
        {{-5, 0.5f, 0.5f}, 0.5f, false, 4.5f, {-1, 0, 0}},                       // face
        {{-5, 1.3f, 0.5f}, 0.5f, false, 4.6f, {-0.8f, 0.6f, 0}},                 // edge
        {{-5, 1.3f, 1.3f}, 0.5f, false, 5.0f - cornerRun, {-2 * cornerRun, 0.6f, 0.6f}}, // corner
        {{0.5f, 0.5f, 0.5f}, 0.1f, true, kSentinelT, kSentinelVec},              // inside
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.centre.y << "," << c.centre.z);
        CGeColliderSphere ball(c.centre, c.radius);
        CGeCollisionQuery q = SentinelQuery({1, 0, 0});
        CollideGeoms(&cube, &ball, q);
        ASSERT_TRUE(q.hit);
        EXPECT_EQ(q.startsInside, c.inside);
        EXPECT_NEAR(q.t, c.t, 1e-5f);
        EXPECT_VEC_NEAR(q.normal, c.normal.x, c.normal.y, c.normal.z, 1e-5f);
        if (!c.inside) {
            EXPECT_VEC_NEAR(q.point, c.centre.x + c.t, c.centre.y, c.centre.z, 1e-5f);
        }
    }

    // The box moves against the sphere: the box's centre at contact, the normal
    // from the sphere towards the box.
    CGeColliderSphere ball({-5, 0.5f, 0.5f}, 0.5f);
    CGeCollisionQuery q = SentinelQuery({-1, 0, 0});
    CollideGeoms(&ball, &cube, q);
    ASSERT_TRUE(q.hit);
    EXPECT_FLOAT_EQ(q.t, 4.5f);
    EXPECT_VEC_NEAR(q.point, -4.0f, 0.5f, 0.5f, 1e-6f);
    EXPECT_VEC_NEAR(q.normal, 1, 0, 0, 0.0f);
}

TEST(GeColliderSweep, AabbAabb)
{
    CGeColliderAabb obstacle({0, 0, 0}, {1, 1, 1});
    struct Case {
        Vec3 min, max, direction;
        bool hit, inside;
        float t;
    };
    const Case cases[] = {
        {{-3, 0, 0}, {-2, 1, 1}, {1, 0, 0}, true, false, 2.0f},
        {{1, 0, 0}, {2, 1, 1}, {1, 0, 0}, false, false, kSentinelT},   // touches behind the mover
        {{1, 0, 0}, {2, 1, 1}, {-1, 0, 0}, true, false, 0.0f},         // touches ahead
        {{0.5f, 0.5f, 0.5f}, {2, 2, 2}, {1, 0, 0}, true, true, kSentinelT}, // overlapping
        {{0.5f, 0.5f, 0.5f}, {2, 2, 2}, {0, 0, 0}, true, true, kSentinelT}, // overlapping, not moving
        {{-3, 0, 0}, {-2, 1, 1}, {0, 0, 0}, false, false, kSentinelT}, // apart, not moving
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.min.x << " dir " << c.direction.x);
        CGeColliderAabb mover(c.min, c.max);
        CGeCollisionQuery q = SentinelQuery(c.direction);
        CollideGeoms(&obstacle, &mover, q);
        EXPECT_EQ(q.hit, c.hit);
        EXPECT_EQ(q.startsInside, c.inside);
        EXPECT_FLOAT_EQ(q.t, c.t);
    }
    CGeColliderAabb mover({-3, 0, 0}, {-2, 1, 1});
    CGeCollisionQuery q = SentinelQuery({1, 0, 0});
    CollideGeoms(&obstacle, &mover, q);
    EXPECT_VEC_NEAR(q.point, -0.5f, 0.5f, 0.5f, 0.0f);
    EXPECT_VEC_NEAR(q.normal, -1, 0, 0, 0.0f);
}

TEST(GeColliderSweep, BoxPlaneFromEitherSide)
{
    CGeColliderPlane ground(kUp, 0.0f);
    for (float side : {1.0f, -1.0f}) {
        CGeColliderBox box;
        box.SetSizeAndRotation({2, 2, 2}, TurnY(0.3f, {0, 5 * side, 0}));
        CGeCollisionQuery q = SentinelQuery({0, -side, 0});
        CollideGeoms(&ground, &box, q);
        ASSERT_TRUE(q.hit);
        EXPECT_FALSE(q.startsInside);
        EXPECT_NEAR(q.t, 4.0f, 1e-5f);
        EXPECT_VEC_NEAR(q.normal, 0, side, 0, 0.0f);
        // Moving away from the plane is no contact.
        q = SentinelQuery({0, side, 0});
        CollideGeoms(&ground, &box, q);
        EXPECT_FALSE(q.hit);
    }
}

TEST(GeColliderSweep, SweepAxisIntervalAlone)
{
    struct Case {
        float a0, a1, b0, b1, speed, tFirst, tLast;
        int result;
        float tFirstAfter, tLastAfter, sign;
        int counted;
    };
    const float H = kColliderHuge;
    const Case cases[] = {
        {0, 1, 3, 4, 1, -H, H, 2, 2, 4, -1, 0},       // other ahead, closing
        {0, 1, 3, 4, -1, -H, H, 0, -H, H, 0, 0},      // other ahead, leaving
        {0, 1, 3, 4, 0, -H, H, 0, -H, H, 0, 0},       // other ahead, not moving
        {0, 1, -4, -3, -2, -H, H, 2, 1.5f, 2.5f, 1, 0}, // other behind, closing
        {0, 1, 3, 4, 1, 3, H, 1, 3, 4, 0, 0},         // a later axis already set the contact
        {0, 1, 3, 4, 1, 10, H, 0, 10, 4, 0, 0},       // contact after the last overlap
        {0, 2, 1, 3, 1, -H, H, 1, -H, 3, 0, 1},       // overlapping now
        {0, 2, 1, 3, 1, 5, H, 0, 5, 3, 0, 0},         // overlapping now, left before contact
        {0, 2, 1, 3, 0, -H, H, 1, -H, H, 0, 1},       // overlapping, not moving
        {0, 2, 1, 3, -1, -H, H, 1, -H, 1, 0, 1},      // overlapping, moving back
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.a0 << c.a1 << " " << c.b0 << c.b1 << " v " << c.speed);
        float tFirst = c.tFirst, tLast = c.tLast, sign = 0.0f;
        int count = 0;
        EXPECT_EQ(SweepAxisInterval(c.a0, c.a1, c.b0, c.b1, c.speed, tFirst, tLast, count, sign), c.result);
        if (c.result != 0) {
            EXPECT_FLOAT_EQ(tFirst, c.tFirstAfter);
            EXPECT_FLOAT_EQ(tLast, c.tLastAfter);
        }
        if (c.result == 2) {
            EXPECT_EQ(sign, c.sign);
        }
        EXPECT_EQ(count, c.counted);
    }
}

TEST(GeColliderSweep, TwoCubesOneTurned45Degrees)
{
    CGeColliderBox turned;
    turned.SetSizeAndRotation({2, 2, 2}, TurnY(0.78539816f, {10, 0, 0}));
    CGeColliderBox cube;
    cube.SetSizeAndRotation({2, 2, 2}, TurnY(0.0f, {0, 0, 0}));
    CGeColliderAabb aabb({-1, -1, -1}, {1, 1, 1});
    for (CGeCollider* mover : {(CGeCollider*)&cube, (CGeCollider*)&aabb}) {
        CGeCollisionQuery q = SentinelQuery({1, 0, 0});
        CollideGeoms(&turned, mover, q);
        ASSERT_TRUE(q.hit);
        EXPECT_FALSE(q.startsInside);
        EXPECT_NEAR(q.t, 9.0f - std::sqrt(2.0f), 1e-4f);
        EXPECT_VEC_NEAR(q.point, 9.0f - std::sqrt(2.0f), 0, 0, 1e-4f);
        EXPECT_VEC_NEAR(q.normal, -1, 0, 0, 1e-5f);
    }
}

TEST(GeColliderSweep, BoxesWhoseRotationsDifferByAMicroradianStillOverlap)
{
    const Vec3 axes[] = {{0, 1, 0}, {1, 1, 0}, {0.3f, -0.2f, 0.9f}};
    for (const Vec3& axis : axes) {
        CGeColliderBox a, b;
        a.SetSizeAndRotation({2, 2, 2}, PoseAt(MatrixFromAxisAngle(axis, 0.4f), {0, 0, 0}));
        b.SetSizeAndRotation({2, 2, 2}, PoseAt(MatrixFromAxisAngle(axis, 0.4f + 1e-6f), {1.9f, 0.3f, -0.2f}));
        CGeCollisionQuery q = SentinelQuery({1, 0, 0});
        CollideGeoms(&b, &a, q);
        EXPECT_TRUE(q.hit && q.startsInside);
        EXPECT_EQ(OverlapBoxBox(&a, &b), 1);
    }
}

TEST(GeColliderSweep, SphereAgainstTurnedBox)
{
    CGeColliderBox box;
    box.SetSizeAndRotation({2, 2, 2}, TurnY(0.78539816f, {10, 0, 0}));
    CGeColliderSphere ball({0, 0, 1.0f}, 0.5f);
    CGeCollisionQuery q = SentinelQuery({1, 0, 0});
    CollideGeoms(&box, &ball, q);
    ASSERT_TRUE(q.hit);
    EXPECT_FALSE(q.startsInside);
    // The face with normal (-1, 0, 1)/sqrt 2, reached half a unit early along it.
    EXPECT_NEAR(q.t, 11.0f - 1.5f * std::sqrt(2.0f), 1e-4f);
    EXPECT_VEC_NEAR(q.normal, -std::sqrt(0.5f), 0, std::sqrt(0.5f), 1e-5f);
    EXPECT_VEC_NEAR(q.point, q.t, 0, 1.0f, 1e-4f);

    // Lower, the touching point would fall off that face: the vertical edge
    // between the two front faces is met instead, 0.4 before it.
    CGeColliderSphere low({0, 0, 0.3f}, 0.5f);
    q = SentinelQuery({1, 0, 0});
    CollideGeoms(&box, &low, q);
    ASSERT_TRUE(q.hit);
    EXPECT_NEAR(q.t, 10.0f - std::sqrt(2.0f) - 0.4f, 1e-4f);
    EXPECT_VEC_NEAR(q.normal, -0.8f, 0, 0.6f, 1e-4f);
}

} // namespace
