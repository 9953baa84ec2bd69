// The octant families against their own octant-0 member on mirrored problems,
// and every sweep cell against the overlap table on random motions.
#include <cmath>
#include <cstring>
#include <random>

#include "ColliderTestSupport.h"

namespace {

struct Random {
    std::mt19937 engine{20261210u};
    float Uniform(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(engine); }
    Vec3 InBox(float lo, float hi) { return Vec3{Uniform(lo, hi), Uniform(lo, hi), Uniform(lo, hi)}; }
    Vec3 UnitVector()
    {
        for (;;) {
            Vec3 v = InBox(-1.0f, 1.0f);
            const float l2 = v.LengthSquared();
            if (l2 > 0.01f && l2 <= 1.0f) {
                v.Normalize();
                return v;
            }
        }
    }
};

Vec3 Mirror(const Vec3& v, uint32_t octant)
{
    return Vec3{(octant & 4) ? -v.x : v.x, (octant & 2) ? -v.y : v.y, (octant & 1) ? -v.z : v.z};
}

void MirrorBox(const CGeColliderAabb& box, uint32_t octant, CGeColliderAabb& out)
{
    const Vec3 a = Mirror(box.min, octant);
    const Vec3 b = Mirror(box.max, octant);
    out.min = Vec3{std::fmin(a.x, b.x), std::fmin(a.y, b.y), std::fmin(a.z, b.z)};
    out.max = Vec3{std::fmax(a.x, b.x), std::fmax(a.y, b.y), std::fmax(a.z, b.z)};
}

bool SameBits(const Vec3& a, const Vec3& b) { return std::memcmp(&a, &b, sizeof(Vec3)) == 0; }

void ExpectMirroredEqual(const CGeCollisionQuery& member, const CGeCollisionQuery& zero, uint32_t octant)
{
    EXPECT_EQ(member.hit, zero.hit);
    EXPECT_EQ(member.startsInside, zero.startsInside);
    EXPECT_EQ(std::memcmp(&member.t, &zero.t, sizeof(float)), 0);
    if (member.t == kSentinelT) {
        ExpectUntouched(zero);
        return;
    }
    EXPECT_TRUE(SameBits(member.point, Mirror(zero.point, octant)));
    EXPECT_TRUE(SameBits(member.normal, Mirror(zero.normal, octant)));
}

TEST(GeColliderOctant, MemberIEqualsMemberZeroOnTheMirroredProblem)
{
    Random random;
    int hits = 0;
    for (int trial = 0; trial < 400; trial++) {
        CGeColliderAabb obstacle;
        obstacle.min = random.InBox(-2.0f, 0.0f);
        obstacle.max = Vec3{obstacle.min.x + random.Uniform(0.2f, 3.0f), obstacle.min.y + random.Uniform(0.2f, 3.0f),
                            obstacle.min.z + random.Uniform(0.2f, 3.0f)};
        const Vec3 start = random.InBox(-6.0f, 6.0f);
        Vec3 direction = Vec3{random.Uniform(-1.0f, 1.0f) - start.x, random.Uniform(-1.0f, 1.0f) - start.y,
                              random.Uniform(-1.0f, 1.0f) - start.z};
        direction.Normalize();
        if (trial % 7 == 0)
            direction.y = 0.0f; // a zero component
        const float radius = random.Uniform(0.1f, 1.0f);
        const uint32_t swapped = trial & 1;

        for (uint32_t octant = 0; octant < 8; octant++) {
            SCOPED_TRACE(testing::Message() << "trial " << trial << " octant " << octant);
            CGeColliderAabb mirroredObstacle;
            MirrorBox(obstacle, octant, mirroredObstacle);
            const Vec3 mirroredStart = Mirror(start, octant);
            const Vec3 mirroredDirection = Mirror(direction, octant);

            // Ray against box.
            CGeRayProbe ray(start, direction), mirroredRay(mirroredStart, mirroredDirection);
            CGeCollisionQuery a = SentinelQuery(), b = SentinelQuery();
            RayAabbOctant[octant](&ray, &obstacle, a);
            RayAabbOctant[0](&mirroredRay, &mirroredObstacle, b);
            ExpectMirroredEqual(a, b, octant);
            hits += a.hit;

            // Box against box.
            CGeColliderAabb mover({start.x - radius, start.y - radius, start.z - radius},
                                  {start.x + radius, start.y + radius * 2, start.z + radius});
            CGeColliderAabb mirroredMover;
            MirrorBox(mover, octant, mirroredMover);
            a = SentinelQuery(direction);
            b = SentinelQuery(mirroredDirection);
            AabbAabbOctant[octant](&mover, &obstacle, a);
            AabbAabbOctant[0](&mirroredMover, &mirroredObstacle, b);
            ExpectMirroredEqual(a, b, octant);

            // Sphere against box, either way round.
            CGeColliderSphere sphere(start, radius), mirroredSphere(mirroredStart, radius);
            a = SentinelQuery(direction);
            b = SentinelQuery(mirroredDirection);
            a.swapped = b.swapped = swapped;
            SphereAabbOctant[octant](&sphere, &obstacle, a);
            SphereAabbOctant[0](&mirroredSphere, &mirroredObstacle, b);
            ExpectMirroredEqual(a, b, octant);
        }
    }
    EXPECT_GT(hits, 200); // the inputs reach the contact paths, not only misses
}

// Movers and obstacles of classes 2, 3 and 4 that the test can move and grow.
struct Shape {
    CGeColliderAabb aabb;
    CGeColliderSphere sphere;
    CGeColliderBox box;
    uint32_t kind = COLLIDER_AABB;
    Vec3 extent{};
    Matrix4 rotation = Matrix4::Identity();

    CGeCollider* Primitive()
    {
        if (kind == COLLIDER_AABB)
            return &aabb;
        if (kind == COLLIDER_SPHERE)
            return &sphere;
        return &box;
    }

    // Centred at a position, grown by a margin on every side.
    void Place(const Vec3& at, float grow)
    {
        if (kind == COLLIDER_AABB) {
            aabb.SetCorners({at.x - extent.x - grow, at.y - extent.y - grow, at.z - extent.z - grow},
                            {at.x + extent.x + grow, at.y + extent.y + grow, at.z + extent.z + grow});
        } else if (kind == COLLIDER_SPHERE) {
            sphere.centre = at;
            sphere.radius = extent.x + grow;
        } else {
            box.SetSizeAndRotation({2 * (extent.x + grow), 2 * (extent.y + grow), 2 * (extent.z + grow)},
                                   PoseAt(rotation, at));
        }
    }

    void Randomise(Random& random, uint32_t k)
    {
        kind = k;
        extent = random.InBox(0.3f, 1.5f);
        rotation = MatrixFromAxisAngle(random.UnitVector(), random.Uniform(0.0f, 3.1f));
    }
};

TEST(GeColliderOctant, SweepResultsAgreeWithTheOverlapTable)
{
    Random random;
    const uint32_t kinds[] = {COLLIDER_AABB, COLLIDER_SPHERE, COLLIDER_BOX};
    for (uint32_t moverKind : kinds) {
        for (uint32_t obstacleKind : kinds) {
            int checked = 0;
            for (int trial = 0; trial < 300; trial++) {
                SCOPED_TRACE(testing::Message() << "mover " << moverKind << " obstacle " << obstacleKind
                                                << " trial " << trial);
                Shape mover, obstacle;
                mover.Randomise(random, moverKind);
                obstacle.Randomise(random, obstacleKind);
                const Vec3 obstacleAt = random.InBox(-1.0f, 1.0f);
                obstacle.Place(obstacleAt, 0.0f);
                const Vec3 start = random.InBox(-8.0f, 8.0f);
                mover.Place(start, 0.0f);
                const Vec3 aim = random.InBox(-1.5f, 1.5f);
                Vec3 direction = {obstacleAt.x + aim.x - start.x, obstacleAt.y + aim.y - start.y,
                                  obstacleAt.z + aim.z - start.z};
                direction.Normalize();

                CGeCollisionQuery q = SentinelQuery(direction);
                CollideGeoms(obstacle.Primitive(), mover.Primitive(), q);
                if (!q.hit || q.startsInside)
                    continue;
                const float t = q.t;
                // A grazing contact touches and leaves; it is not checked.
                mover.Place(PointAlong(direction, start, t + 0.02f), 0.0f);
                if (!OverlapDispatch(mover.Primitive(), obstacle.Primitive()))
                    continue;
                mover.Place(PointAlong(direction, start, t - 1e-3f), 0.0f);
                EXPECT_FALSE(OverlapDispatch(mover.Primitive(), obstacle.Primitive())) << "t " << t;
                mover.Place(PointAlong(direction, start, t), 1e-3f);
                EXPECT_TRUE(OverlapDispatch(mover.Primitive(), obstacle.Primitive())) << "t " << t;
                checked++;
            }
            EXPECT_GT(checked, 50) << "mover " << moverKind << " obstacle " << obstacleKind;
        }
    }
}

} // namespace
