// The pushes of the cloth's collision pass, one point at a time against
// values worked out by hand, and the walk over the collision world.
#include "Engine/Physics/GeClothCollide.h"
#include "tests/Engine/Physics/PhysicsWorldFixture.h"

#include <cmath>

namespace {

const float kEps = 1.1920929e-7f;
const float kRoot2 = 0.70710678f;

struct PushCase {
    const char* what;
    Vec3 from;
    Vec3 to; // equal to from: the point stays
};

// Runs every case through the table function of geom's type, on a cloth of
// one point with the given margin. Positions are compared in world space.
void ExpectPushes(const CGeCollisionGeom& geom, float margin, std::initializer_list<PushCase> cases)
{
    for (const PushCase& c : cases) {
        SCOPED_TRACE(c.what);
        CGeClothGeom cloth;
        cloth.constants.margin = margin;
        ClothPoint point{};
        point.position = c.from;
        cloth.points.Add(point);
        ClothCollideTable[geom.type](cloth, geom);
        const Vec3 p = cloth.points[0].position;
        if (c.to.x == c.from.x && c.to.y == c.from.y && c.to.z == c.from.z) {
            EXPECT_EQ(p.x, c.from.x);
            EXPECT_EQ(p.y, c.from.y);
            EXPECT_EQ(p.z, c.from.z);
        } else {
            // The turned poses carry rounding of about 1e-7 per unit moved.
            const Vec3 moved{c.to.x - c.from.x, c.to.y - c.from.y, c.to.z - c.from.z};
            ExpectVec3Near(p, c.to, 2e-6f + 1e-7f * moved.Length());
            EXPECT_FALSE(p.x == c.from.x && p.y == c.from.y && p.z == c.from.z);
        }
    }
}

// Poses a geom alone in a body: rotation turning local x onto axisX.
void Pose(CGeRigidBody& body, CGeCollisionGeom& geom, const Matrix4& pose)
{
    body.Add(&geom);
    body.SetTransform(pose);
}

Matrix4 Translation(float x, float y, float z)
{
    Matrix4 m = Matrix4::Identity();
    m.At(0, 3) = x;
    m.At(1, 3) = y;
    m.At(2, 3) = z;
    return m;
}

Matrix4 TurnedAboutZ(float x, float y, float z)
{
    Matrix4 m = MatrixFromAxisAngle(Vec3{0.0f, 0.0f, 1.0f}, 1.5707963f);
    m.At(0, 3) = x;
    m.At(1, 3) = y;
    m.At(2, 3) = z;
    return m;
}

} // namespace

class GeClothCollide : public PhysicsWorldTest {};

TEST_F(GeClothCollide, Plane)
{
    // Local x turned onto world y: the plane y = 2 facing up.
    CGeCollisionGeomPlane plane;
    CGeRigidBody body;
    Pose(body, plane, TurnedAboutZ(0.0f, 2.0f, 0.0f));
    ExpectPushes(plane, 3.0f, {
        {"on it", {5.0f, 2.0f, 1.0f}, {5.0f, 2.0f, 1.0f}},
        {"above", {5.0f, 2.5f, 1.0f}, {5.0f, 2.5f, 1.0f}},
        {"just below", {5.0f, 1.999f, 1.0f}, {5.0f, 2.0f + kEps, 1.0f}},
        {"deep below", {-3.0f, -40.0f, 0.0f}, {-3.0f, 2.0f, 0.0f}},
    });
}

TEST_F(GeClothCollide, Sphere)
{
    CGeCollisionGeomSphere sphere;
    sphere.radius = 2.0f;
    CGeRigidBody body;
    Pose(body, sphere, Translation(1.0f, 1.0f, 1.0f));
    ExpectPushes(sphere, 3.0f, {
        {"inside", {1.0f, 2.0f, 1.0f}, {1.0f, 3.0f, 1.0f}},
        {"at the centre: out along x", {1.0f, 1.0f, 1.0f}, {3.0f, 1.0f, 1.0f}},
        {"on the surface", {1.0f, 1.0f, 3.0f}, {1.0f, 1.0f, 3.0f}},
        {"outside", {4.0f, 1.0f, 1.0f}, {4.0f, 1.0f, 1.0f}},
    });
}

TEST_F(GeClothCollide, AxisBoxCountsItsFacesAsInside)
{
    // A 4 x 4 x 4 box around (10, 0, 0); margin 1, so the inner box is 2 x 2 x 2.
    CGeCollisionGeomAabb box;
    box.size = Vec3{4.0f, 4.0f, 4.0f};
    box.ComputeAABB();
    CGeRigidBody body;
    Pose(body, box, Translation(10.0f, 0.0f, 0.0f));
    const float e = 1.0f + kRoot2;
    const float corner = 1.0f + 1.0f / std::sqrt(3.0f);
    ExpectPushes(box, 1.0f, {
        {"face", {10.0f, 1.5f, 0.0f}, {10.0f, 2.0f, 0.0f}},
        {"face from below", {10.0f, 0.0f, -1.8f}, {10.0f, 0.0f, -2.0f}},
        {"edge", {11.5f, 1.5f, 0.0f}, {10.0f + e, e, 0.0f}},
        {"corner", {11.5f, 1.5f, 1.5f}, {10.0f + corner, corner, corner}},
        {"corner beyond the rounding", {11.9f, 1.9f, 1.9f}, {11.9f, 1.9f, 1.9f}},
        {"tie: x before y", {10.5f, 0.5f, 0.0f}, {12.0f, 0.5f, 0.0f}},
        {"tie: y before z", {10.0f, -0.5f, -0.5f}, {10.0f, -2.0f, -0.5f}},
        {"on a face", {12.0f, 0.0f, 0.0f}, {12.0f + 2 * kEps, 0.0f, 0.0f}},
        {"outside", {12.5f, 0.0f, 0.0f}, {12.5f, 0.0f, 0.0f}},
    });
}

TEST_F(GeClothCollide, OrientedBox)
{
    // The same box turned 90 degrees about z: its x axis is world y, its y
    // axis world -x.
    CGeCollisionGeomBox box;
    box.size = Vec3{4.0f, 6.0f, 4.0f};
    CGeRigidBody body;
    Pose(body, box, TurnedAboutZ(0.0f, 10.0f, 0.0f));
    ExpectPushes(box, 1.0f, {
        {"face along local x", {0.0f, 11.5f, 0.0f}, {0.0f, 12.0f, 0.0f}},
        {"face along local y", {-2.5f, 10.0f, 0.0f}, {-3.0f, 10.0f, 0.0f}},
        {"edge", {-2.5f, 11.5f, 0.0f}, {-2.0f - kRoot2, 11.0f + kRoot2, 0.0f}},
        {"at the centre: out through the nearest face, local -x", {0.0f, 10.0f, 0.0f}, {0.0f, 8.0f, 0.0f}},
        {"on a face: not inside", {0.0f, 12.0f, 0.0f}, {0.0f, 12.0f, 0.0f}},
        {"outside", {5.0f, 10.0f, 0.0f}, {5.0f, 10.0f, 0.0f}},
    });
}

TEST_F(GeClothCollide, OrientedCubeLiftsItsCentreUpwards)
{
    // At the centre every face is as near: the lift to (0, eps, 0) makes it +y.
    CGeCollisionGeomBox box;
    box.size = Vec3{4.0f, 4.0f, 4.0f};
    CGeRigidBody body;
    Pose(body, box, Translation(0.0f, 0.0f, 0.0f));
    ExpectPushes(box, 1.0f, {{"centre", {0.0f, 0.0f, 0.0f}, {0.0f, 2.0f, 0.0f}}});
}

TEST_F(GeClothCollide, Cylinder)
{
    // Length 4 along local x (world y), radius 2, margin 0.5.
    CGeCollisionGeomCylinder cylinder;
    cylinder.length = 4.0f;
    cylinder.radius = 2.0f;
    CGeRigidBody body;
    Pose(body, cylinder, TurnedAboutZ(0.0f, 0.0f, 0.0f));
    const float rim = 1.5f + 0.5f * kRoot2;
    ExpectPushes(cylinder, 0.5f, {
        {"side", {0.0f, 0.0f, 1.8f}, {0.0f, 0.0f, 2.0f}},
        {"cap", {0.0f, 1.8f, 0.5f}, {0.0f, 2.0f, 0.5f}},
        {"lower cap", {0.0f, -1.9f, 0.0f}, {0.0f, -2.0f, 0.0f}},
        {"rim", {0.0f, 1.8f, 1.8f}, {0.0f, rim, rim}},
        {"rim beyond the rounding", {0.0f, 1.95f, 1.95f}, {0.0f, 1.95f, 1.95f}},
        {"outside", {0.0f, 0.0f, 2.5f}, {0.0f, 0.0f, 2.5f}},
    });

    // A margin beyond the radius: a point on the axis near a cap leaves
    // through the cap, not towards a rim it has no direction to.
    CGeCollisionGeomCylinder thin;
    thin.length = 4.0f;
    thin.radius = 0.4f;
    CGeRigidBody other;
    Pose(other, thin, Translation(0.0f, 0.0f, 0.0f));
    ExpectPushes(thin, 0.5f, {{"on the axis", {1.9f, 0.0f, 0.0f}, {2.0f, 0.0f, 0.0f}}});
}

TEST_F(GeClothCollide, Capsule)
{
    // Segment of length 4 along world x, radius 1.
    CGeCollisionGeomCapsule capsule;
    capsule.length = 4.0f;
    capsule.radius = 1.0f;
    CGeRigidBody body;
    Pose(body, capsule, Translation(0.0f, 0.0f, 0.0f));
    const float d = 1.0f / std::sqrt(0.29f);
    ExpectPushes(capsule, 3.0f, {
        {"end", {2.5f, 0.2f, 0.0f}, {2.0f + 0.5f * d, 0.2f * d, 0.0f}},
        {"other end on the axis", {-2.5f, 0.0f, 0.0f}, {-3.0f, 0.0f, 0.0f}},
        {"segment", {0.0f, 0.5f, 0.5f}, {0.0f, kRoot2, kRoot2}},
        {"on the axis", {1.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}},
        {"beyond the end sphere", {2.9f, 0.9f, 0.0f}, {2.9f, 0.9f, 0.0f}},
        {"outside", {0.0f, 1.5f, 0.0f}, {0.0f, 1.5f, 0.0f}},
    });
}

TEST_F(GeClothCollide, CollideWorldVisitsBodiesAndChildGroups)
{
    // Planes facing up at y = 1 (own body list) and y = 2 (a child group's body);
    // a cloth geom in the world is not an obstacle.
    CGeCollisionGeomPlane low, high;
    CGeClothGeom otherCloth;
    CGeRigidBody lowBody, highBody;
    lowBody.Add(&otherCloth);
    Pose(lowBody, low, TurnedAboutZ(0.0f, 1.0f, 0.0f));
    Pose(highBody, high, TurnedAboutZ(0.0f, 2.0f, 0.0f));
    g_collisionWorld.AddBody(&lowBody);
    CGePhysGroup group;
    group.AttachToWorld();
    group.AddBody(&highBody);

    CGeClothGeom cloth;
    ClothPoint point{};
    point.position = Vec3{0.0f, 0.0f, 0.0f};
    cloth.points.Add(point);
    ClothCollideWorld(cloth);
    EXPECT_NEAR(cloth.points[0].position.y, 2.0f, 1e-6f);
}
