// The cloth's sub-step parts against plain models, the frame's schedule of
// sub-steps, and whole simulations: equilibrium, energy, obstacles,
// determinism and the absence of allocation.
#include "Engine/Physics/GePhysicsStep.h"
#include "tests/Engine/Physics/ClothTestScene.h"
#include "tests/Engine/Physics/PhysicsWorldFixture.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime's allocation hooks (GCC ships no header for them).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, size_t),
                                                         void (*onFree)(const volatile void*));
#endif

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();

// One free point of mass 1 without damping, as the step moves it: the model
// the schedules are told apart by.
struct FreePointModel {
    float y = 0.0f, v = 3.0f;

    void SubStep(float s, float force)
    {
        v = v + force * 1.0f * s;
        const float previous = y;
        y = y + v * s;
        if (s != 0.0f)
            v = (y - previous) * (1.0f / s);
    }
};

struct FreePoint : ClothBody {
    explicit FreePoint(float gravity)
    {
        cloth.points.Add(MakeClothPoint(Vec3{0.0f, 0.0f, 0.0f}));
        cloth.SetParams(ClothParamsBlock{1.0f, 2.0f, 0.005f, {0.0f, gravity, 0.0f}, 0.0f, 0.0f, 3.0f});
        cloth.points[0].velocity = Vec3{0.0f, 3.0f, 0.0f};
        Enable();
    }
};

void ExpectSameBits(float actual, float expected)
{
    EXPECT_EQ(std::memcmp(&actual, &expected, sizeof(float)), 0) << actual << " against " << expected;
}

float Energy(const CGeClothGeom& cloth)
{
    float energy = 0.0f;
    for (const ClothPoint& p : cloth.points)
        energy += 0.5f * p.mass * Vec3::Dot(p.velocity, p.velocity);
    for (const ClothSpring& s : cloth.springs) {
        const Vec3 d{cloth.points[s.j].position.x - cloth.points[s.i].position.x,
                     cloth.points[s.j].position.y - cloth.points[s.i].position.y,
                     cloth.points[s.j].position.z - cloth.points[s.i].position.z};
        const float x = d.Length() - s.restLength;
        energy += 0.5f * s.stiffness * x * x;
    }
    return energy;
}

} // namespace

class GePhysicsStep : public PhysicsWorldTest {};

TEST_F(GePhysicsStep, SubStepScheduleOfAFrame)
{
    const float h = kPhysicsSubStep;
    const float restOfTenth = 0.1f - 20.0f * h;
    EXPECT_NEAR(restOfTenth, 7.45e-9f, 1e-11f);
    struct Case {
        const char* what;
        float dt, h;
        uint32_t steps;
        float length, rest; // rest 0: none
    } cases[] = {
        {"half a second", 0.5f, h, 100, h, 0.0f},
        {"clamped to half a second", 0.7f, h, 100, h, 0.0f},
        {"a tenth and a rounding rest", 0.1f, h, 20, h, restOfTenth},
        {"below h: one short step", 0.003f, h, 1, 0.003f, 0.0f},
        {"a sixtieth", 1.0f / 60.0f, h, 3, h, 1.0f / 60.0f - 3.0f * h},
        {"zero: one empty step", 0.0f, h, 1, 0.0f, 0.0f},
        {"not a number: nothing", kNaN, h, 0, h, 0.0f},
        {"negative: nothing", -1.0f, h, 0, h, 0.0f},
        {"h not a number: one step of dt", 1.0f / 60.0f, kNaN, 1, 1.0f / 60.0f, 0.0f},
        {"h zero: one step of dt", 1.0f / 60.0f, 0.0f, 1, 1.0f / 60.0f, 0.0f},
        {"h negative: one step of dt", 1.0f / 60.0f, -0.005f, 1, 1.0f / 60.0f, 0.0f},
        {"tiny h: capped step count", 0.1f, 1e-30f, kMaxPhysicsSubSteps, 0.1f / float(kMaxPhysicsSubSteps),
         0.1f - float(kMaxPhysicsSubSteps) * (0.1f / float(kMaxPhysicsSubSteps))},
        {"denormal h: capped step count", 0.1f, 1e-45f, kMaxPhysicsSubSteps, 0.1f / float(kMaxPhysicsSubSteps),
         0.1f - float(kMaxPhysicsSubSteps) * (0.1f / float(kMaxPhysicsSubSteps))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FreePoint point(-1000.0f);
        PhysicsStep(c.dt, c.h);

        FreePointModel model;
        for (uint32_t i = 0; i < c.steps; ++i)
            model.SubStep(c.length, -1000.0f);
        if (c.rest > 0.0f)
            model.SubStep(c.rest, -1000.0f);
        ExpectSameBits(point.cloth.points[0].position.y, model.y);
        ExpectSameBits(point.cloth.points[0].velocity.y, model.v);
        point.body.group->RemoveBody(&point.body);
    }
}

TEST_F(GePhysicsStep, WindsAndExternalForcesLastOneFrame)
{
    FreePoint point(0.0f);
    CGeClothGeom& cloth = point.cloth;
    const ClothWind* storage = cloth.winds.data;
    EXPECT_EQ(cloth.winds.capacity, CGeClothGeom::kWindCapacity);

    // The lone point keeps its normal (0, 1, 0): a wind across it does nothing,
    // one along it pushes fully, a slanted one by |direction . normal|.
    cloth.winds.Add(ClothWind{Vec3{1.0f, 0.0f, 0.0f}, 5.0f});
    cloth.winds.Add(ClothWind{Vec3{0.0f, 1.0f, 0.0f}, 2.0f});
    cloth.winds.Add(ClothWind{Vec3{0.6f, 0.8f, 0.0f}, 1.0f});
    cloth.points[0].externalForce = Vec3{0.0f, 0.0f, 4.0f};
    PhysicsStep(1.0f / 60.0f, kPhysicsSubStep);

    EXPECT_EQ(cloth.winds.count, 0u);
    EXPECT_EQ(cloth.winds.data, storage);
    ExpectVec3Near(cloth.points[0].externalForce, Vec3{0.0f, 0.0f, 0.0f}, 0.0f);
    // Every sub-step of the frame felt (0.48, 2.64, 4): the velocity grew by
    // that force times the frame.
    const float frame = 1.0f / 60.0f;
    ExpectVec3Near(cloth.points[0].velocity, Vec3{0.48f * frame, 3.0f + 2.64f * frame, 4.0f * frame}, 2e-4f);

    // The next frame has no force left: the velocity stays.
    const Vec3 before = cloth.points[0].velocity;
    PhysicsStep(frame, kPhysicsSubStep);
    ExpectVec3Near(cloth.points[0].velocity, before, 2e-4f);

    // A step that does nothing still ends the frame.
    cloth.winds.Add(ClothWind{Vec3{0.0f, 1.0f, 0.0f}, 2.0f});
    cloth.points[0].externalForce = Vec3{1.0f, 0.0f, 0.0f};
    PhysicsStep(kNaN, kPhysicsSubStep);
    EXPECT_EQ(cloth.winds.count, 0u);
    EXPECT_EQ(cloth.points[0].externalForce.x, 0.0f);
}

TEST(GeClothGeom, DefaultsAndSetParams)
{
    CGeClothGeom cloth;
    EXPECT_EQ(cloth.type, uint32_t(GEOM_CLOTH));
    EXPECT_EQ(cloth.constants.mass, 0.001f);
    EXPECT_EQ(cloth.constants.stiffness, 2.0f);
    EXPECT_EQ(cloth.constants.b, 0.005f);
    EXPECT_EQ(cloth.constants.gravity.y, -1000.0f);
    EXPECT_EQ(cloth.constants.damping, 0.01f);
    EXPECT_EQ(cloth.constants.margin, 3.0f);
    EXPECT_EQ(cloth.winds.growStep, 5u);

    cloth.points.Add(MakeClothPoint(Vec3{0.0f, 0.0f, 0.0f}));
    cloth.points.Add(MakeClothPoint(Vec3{3.0f, 4.0f, 0.0f}));
    cloth.points[1].velocity = Vec3{1.0f, 1.0f, 1.0f};
    cloth.points[1].force = Vec3{1.0f, 1.0f, 1.0f};
    AddSpring(cloth, 0, 1);
    AddSpring(cloth, 1, 7); // an end beyond the points
    cloth.SetParams(ClothParamsBlock{0.25f, 6.0f, 0.01f, {1.0f, 2.0f, 3.0f}, 99.0f, 0.5f, 1.5f});
    EXPECT_EQ(cloth.constants.mass, 0.25f);
    EXPECT_EQ(cloth.constants.gravity.z, 3.0f);
    EXPECT_EQ(cloth.constants.damping, 0.5f);
    EXPECT_EQ(cloth.constants.margin, 1.5f);
    EXPECT_EQ(cloth.points[1].mass, 0.25f);
    EXPECT_EQ(cloth.points[1].inverseMass, 4.0f);
    ExpectVec3Near(cloth.points[1].velocity, Vec3{0.0f, 0.0f, 0.0f}, 0.0f);
    ExpectVec3Near(cloth.points[1].force, Vec3{0.0f, 0.0f, 0.0f}, 0.0f);
    EXPECT_EQ(cloth.springs[0].restLength, 5.0f);
    EXPECT_EQ(cloth.springs[0].stiffness, 6.0f);
    EXPECT_EQ(cloth.springs[0].b, 0.01f);

    cloth.Clear();
    EXPECT_EQ(cloth.points.capacity, 0u);
    EXPECT_EQ(cloth.springs.capacity, 0u);
    EXPECT_EQ(cloth.winds.capacity, 0u);
}

TEST(GeClothGeom, Normals)
{
    // A flat 3 x 3 sheet: every point with neighbours a and b faces up.
    CGeClothGeom sheet;
    BuildSheet(sheet, 3, 2.0f, 0.0f, 0.0f, 0.0f);
    // Points without a (+x) or b (-z) neighbour take the previous point's
    // normal; point 0, without b, takes the last point's normal of the
    // previous step.
    sheet.points[8].normal = Vec3{0.0f, 0.0f, 1.0f};
    sheet.points[7].normal = Vec3{1.0f, 0.0f, 0.0f};
    sheet.ComputeNormals();
    ExpectVec3Near(sheet.points[0].normal, Vec3{0.0f, 0.0f, 1.0f}, 0.0f);  // last point's old normal
    ExpectVec3Near(sheet.points[1].normal, Vec3{0.0f, 0.0f, 1.0f}, 0.0f);  // b missing: point 0's
    ExpectVec3Near(sheet.points[3].normal, Vec3{0.0f, 1.0f, 0.0f}, 1e-6f); // a and b only
    ExpectVec3Near(sheet.points[4].normal, Vec3{0.0f, 1.0f, 0.0f}, 1e-6f); // all four
    ExpectVec3Near(sheet.points[5].normal, Vec3{0.0f, 1.0f, 0.0f}, 1e-6f); // a missing: point 4's
    ExpectVec3Near(sheet.points[8].normal, Vec3{0.0f, 1.0f, 0.0f}, 1e-6f); // a missing: point 7's

    // A tilted sheet: the four triangles around a point average to the plane's
    // normal; neighbour indices beyond the points count as missing.
    CGeClothGeom small;
    small.points.Add(MakeClothPoint(Vec3{0.0f, 0.0f, 0.0f}));
    small.points.Add(MakeClothPoint(Vec3{1.0f, 1.0f, 0.0f}));   // +x, rising
    small.points.Add(MakeClothPoint(Vec3{0.0f, 0.0f, -1.0f}));  // -z
    small.points.Add(MakeClothPoint(Vec3{1e-5f, 0.0f, 0.0f}));
    small.points.Add(MakeClothPoint(Vec3{2e-5f, 0.0f, 0.0f}));
    small.points.Add(MakeClothPoint(Vec3{1e-5f, 1e-5f, 0.0f}));
    small.points[0].a = 1;
    small.points[0].b = 2;
    small.points[0].c = 1000; // none
    small.points[0].d = 0xFFFFFFF0u;
    // A triangle too small to tell a direction: its normal falls back to +y
    // although the triangle lies in the xy plane.
    small.points[3].a = 4;
    small.points[3].b = 5;
    // a = b without c and d: no triangle, the previous normal.
    small.points[4].a = 5;
    small.points[4].b = 5;
    small.ComputeNormals();
    const float r = 1.0f / std::sqrt(2.0f);
    ExpectVec3Near(small.points[0].normal, Vec3{-r, r, 0.0f}, 1e-6f);
    ExpectVec3Near(small.points[1].normal, Vec3{-r, r, 0.0f}, 1e-6f);
    ExpectVec3Near(small.points[3].normal, Vec3{0.0f, 1.0f, 0.0f}, 1e-6f);
    ExpectVec3Near(small.points[4].normal, small.points[3].normal, 0.0f);
}

TEST(GeClothGeom, SpringsPullAndSkipWhatTheyCannotUse)
{
    CGeClothGeom cloth;
    cloth.points.Add(MakeClothPoint(Vec3{0.0f, 0.0f, 0.0f}));
    cloth.points.Add(MakeClothPoint(Vec3{2.0f, 0.0f, 0.0f}));
    cloth.points.Add(MakeClothPoint(Vec3{2.0f, 0.0f, 0.0f}));
    const ClothSpring springs[] = {
        {0, 1, 1.0f, 3.0f, 0.0f},   // stretched by 1
        {1, 2, 1.0f, 3.0f, 0.0f},   // zero length: skipped
        {0, 9, 1.0f, 3.0f, 0.0f},   // an end beyond the points
        {kClothNone, 0, 1.0f, 3.0f, 0.0f},
        {0, 1, 2.0f, 100.0f, 0.0f}, // at rest
    };
    for (const ClothSpring& s : springs)
        cloth.springs.Add(s);
    cloth.ApplySprings();
    ExpectVec3Near(cloth.points[0].force, Vec3{3.0f, 0.0f, 0.0f}, 0.0f);
    ExpectVec3Near(cloth.points[1].force, Vec3{-3.0f, 0.0f, 0.0f}, 0.0f);
    ExpectVec3Near(cloth.points[2].force, Vec3{0.0f, 0.0f, 0.0f}, 0.0f);
}

TEST(GeClothGeom, IntegrationSmoothsAlongTheArrayOrder)
{
    // No forces: each moving point steps with 0.9 of its velocity and 0.1 of
    // the previous moving point's step; a point of mass 0 is passed over.
    const Vec3 velocities[] = {{1.0f, 0.0f, 0.0f}, {9.0f, 9.0f, 9.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}};
    CGeClothGeom cloth;
    for (const Vec3& v : velocities) {
        ClothPoint p = MakeClothPoint(Vec3{0.0f, 0.0f, 0.0f});
        p.mass = p.inverseMass = 1.0f;
        p.velocity = v;
        cloth.points.Add(p);
    }
    cloth.points[1].mass = 0.0f;
    cloth.Integrate(0.5f);
    ExpectVec3Near(cloth.points[0].position, Vec3{0.5f, 0.0f, 0.0f}, 1e-7f);
    ExpectVec3Near(cloth.points[1].position, Vec3{0.0f, 0.0f, 0.0f}, 0.0f);
    ExpectVec3Near(cloth.points[2].position, Vec3{0.05f, 0.45f, 0.0f}, 1e-7f);
    ExpectVec3Near(cloth.points[3].position, Vec3{0.005f, 0.045f, 0.45f}, 1e-7f);
    // The stored velocities are the points' own.
    ExpectVec3Near(cloth.points[2].velocity, velocities[2], 0.0f);

    // The velocities follow the moves; the point of mass 0 keeps its own.
    cloth.UpdateVelocities(0.5f);
    ExpectVec3Near(cloth.points[3].velocity, Vec3{0.01f, 0.09f, 0.9f}, 1e-6f);
    ExpectVec3Near(cloth.points[1].velocity, velocities[1], 0.0f);

    // Swapping the last two points changes their motion.
    std::swap(cloth.points[2], cloth.points[3]);
    for (ClothPoint& p : cloth.points)
        p.position = Vec3{0.0f, 0.0f, 0.0f};
    cloth.points[2].velocity = velocities[3];
    cloth.points[3].velocity = velocities[2];
    cloth.Integrate(0.5f);
    ExpectVec3Near(cloth.points[2].position, Vec3{0.05f, 0.0f, 0.45f}, 1e-7f);
}

TEST_F(GePhysicsStep, HangingChainSettlesAtTheHandEquilibrium)
{
    // Five points 10 apart hanging from a point of mass 0 that keeps a velocity
    // of its own but never moves. Spring k carries the weight of the points
    // below it: stretch = points below x m x |g| / stiffness = below x 0.5.
    ClothBody chain;
    const uint32_t n = 6;
    for (uint32_t i = 0; i < n; ++i) {
        ClothPoint p = MakeClothPoint(Vec3{0.0f, -10.0f * float(i), 0.0f});
        chain.cloth.points.Add(p);
        if (i > 0)
            AddSpring(chain.cloth, i - 1, i);
    }
    chain.cloth.SetParams(ClothParamsBlock{0.001f, 2.0f, 0.005f, {0.0f, -1000.0f, 0.0f}, 0.0f, 0.01f, 3.0f});
    chain.cloth.points[0].mass = 0.0f;
    chain.cloth.points[0].velocity = Vec3{5.0f, 0.0f, 0.0f};
    chain.Enable();
    for (int frame = 0; frame < 900; ++frame)
        PhysicsStep(1.0f / 60.0f, kPhysicsSubStep);

    ExpectVec3Near(chain.cloth.points[0].position, Vec3{0.0f, 0.0f, 0.0f}, 0.0f);
    ExpectVec3Near(chain.cloth.points[0].velocity, Vec3{5.0f, 0.0f, 0.0f}, 0.0f);
    for (uint32_t k = 0; k + 1 < n; ++k) {
        const float length = chain.cloth.points[k].position.y - chain.cloth.points[k + 1].position.y;
        EXPECT_NEAR(length, 10.0f + 0.5f * float(n - 1 - k), 1e-3f) << "spring " << k;
    }
}

TEST_F(GePhysicsStep, SpringEnergyStaysBoundedUndampedAndFallsDamped)
{
    for (float damping : {0.0f, 0.01f}) {
        SCOPED_TRACE(damping);
        ClothBody spring;
        spring.cloth.points.Add(MakeClothPoint(Vec3{0.0f, 0.0f, 0.0f}));
        spring.cloth.points.Add(MakeClothPoint(Vec3{10.0f, 0.0f, 0.0f}));
        AddSpring(spring.cloth, 0, 1);
        spring.cloth.SetParams(ClothParamsBlock{0.001f, 2.0f, 0.005f, {0.0f, 0.0f, 0.0f}, 0.0f, damping, 3.0f});
        spring.cloth.points[0].mass = 0.0f;
        spring.cloth.points[1].position.x = 12.0f;
        spring.Enable();

        const float initial = Energy(spring.cloth);
        float lowest = initial, highest = initial;
        for (int frame = 0; frame < 100; ++frame) { // 100 x 100 sub-steps
            PhysicsStep(0.5f, kPhysicsSubStep);
            const float e = Energy(spring.cloth);
            lowest = std::fmin(lowest, e);
            highest = std::fmax(highest, e);
        }
        if (damping == 0.0f) {
            EXPECT_GT(lowest, 0.75f * initial);
            EXPECT_LT(highest, 1.3f * initial);
        } else {
            EXPECT_LE(highest, initial * 1.0001f);
            EXPECT_LT(Energy(spring.cloth), 1e-3f * initial);
        }
        spring.body.group->RemoveBody(&spring.body);
    }
}

namespace {

// One kind of obstacle at a time in the collision world, posed by a body.
struct Obstacle {
    const char* what;
    CGeCollisionGeom* geom;
    Matrix4 pose;
    // How deep a point lies inside the shape rounded by the margin (> 0 inside).
    float (*depth)(const CGeCollisionGeom& geom, const Vec3& local, float margin);
};

Vec3 ToLocal(const CGeCollisionGeom& g, const Vec3& p)
{
    const Vec3 d{p.x - g.worldPosition.x, p.y - g.worldPosition.y, p.z - g.worldPosition.z};
    return Vec3{Vec3::Dot(g.worldRotation[0], d), Vec3::Dot(g.worldRotation[1], d), Vec3::Dot(g.worldRotation[2], d)};
}

float OutsideBy(float v, float half)
{
    return std::fmax(std::fabs(v) - half, 0.0f);
}

float PlaneDepth(const CGeCollisionGeom&, const Vec3& q, float)
{
    return -q.x;
}

float SphereDepth(const CGeCollisionGeom& g, const Vec3& q, float)
{
    return static_cast<const CGeCollisionGeomSphere&>(g).radius - q.Length();
}

float BoxDepth(const CGeCollisionGeom& g, const Vec3& q, float m)
{
    const Vec3 s = static_cast<const CGeCollisionGeomBox&>(g).size;
    const Vec3 out{OutsideBy(q.x, 0.5f * s.x - m), OutsideBy(q.y, 0.5f * s.y - m), OutsideBy(q.z, 0.5f * s.z - m)};
    if (std::fabs(q.x) >= 0.5f * s.x || std::fabs(q.y) >= 0.5f * s.y || std::fabs(q.z) >= 0.5f * s.z)
        return -1.0f;
    return m - out.Length();
}

float CapsuleDepth(const CGeCollisionGeom& g, const Vec3& q, float)
{
    const auto& c = static_cast<const CGeCollisionGeomCylinder&>(g);
    const Vec3 d{OutsideBy(q.x, 0.5f * c.length), q.y, q.z};
    return c.radius - d.Length();
}

Matrix4 Posed(const Vec3& axis, float angle, const Vec3& at)
{
    Matrix4 m = MatrixFromAxisAngle(axis, angle);
    m.At(0, 3) = at.x;
    m.At(1, 3) = at.y;
    m.At(2, 3) = at.z;
    return m;
}

} // namespace

TEST_F(GePhysicsStep, DroppedClothNeverEndsAFrameInsideAnObstacle)
{
    CGeCollisionGeomPlane plane;
    CGeCollisionGeomSphere sphere;
    sphere.radius = 15.0f;
    CGeCollisionGeomBox box;
    box.size = Vec3{30.0f, 12.0f, 24.0f};
    CGeCollisionGeomCapsule capsule;
    capsule.length = 20.0f;
    capsule.radius = 6.0f;
    const Obstacle obstacles[] = {
        {"plane tilted", &plane, Posed(Vec3{0.2f, 0.0f, 1.0f}, 1.5707963f, Vec3{0.0f, -5.0f, 0.0f}), PlaneDepth},
        {"sphere", &sphere, Posed(Vec3{0.0f, 1.0f, 0.0f}, 0.0f, Vec3{1.0f, 0.0f, 2.0f}), SphereDepth},
        {"turned box", &box, Posed(Vec3{1.0f, 1.0f, 0.0f}, 0.5f, Vec3{0.0f, 0.0f, 0.0f}), BoxDepth},
        {"capsule", &capsule, Posed(Vec3{0.0f, 1.0f, 0.0f}, 0.7f, Vec3{0.0f, 0.0f, 0.0f}), CapsuleDepth},
    };
    for (const Obstacle& o : obstacles) {
        SCOPED_TRACE(o.what);
        CGeRigidBody body;
        body.Add(o.geom);
        body.SetTransform(o.pose);
        g_collisionWorld.AddBody(&body);

        ClothBody sheet;
        BuildSheet(sheet.cloth, 12, 4.0f, 30.0f, 0.0f, 0.0f);
        sheet.Enable();
        float deepest = -1e30f;
        bool finite = true;
        for (int frame = 0; frame < 120; ++frame) {
            PhysicsStep(1.0f / 60.0f, kPhysicsSubStep);
            for (const ClothPoint& p : sheet.cloth.points) {
                finite = finite && std::isfinite(p.position.x) && std::isfinite(p.position.y) &&
                         std::isfinite(p.position.z) && std::isfinite(p.velocity.y) && std::isfinite(p.normal.y);
                deepest = std::fmax(deepest, o.depth(*o.geom, ToLocal(*o.geom, p.position), 3.0f));
            }
        }
        EXPECT_TRUE(finite);
        EXPECT_LT(deepest, 1e-4f);
        // The sheet came down onto the obstacle rather than staying put.
        EXPECT_LT(sheet.cloth.points[0].position.y, 29.0f);
        body.Remove(o.geom);
        g_collisionWorld.RemoveBody(&body);
        g_clothWorld.RemoveBody(&sheet.body);
    }
}

namespace {

// A sheet falling onto a turned box and a sphere of the static environment;
// returns every point's position and velocity after a second.
std::vector<float> RunScene()
{
    ResetPhysicsWorld();
    auto* box = new CGeCollisionGeomBox;
    box->size = Vec3{20.0f, 8.0f, 20.0f};
    box->SetRotation(Posed(Vec3{0.0f, 1.0f, 0.0f}, 0.4f, Vec3{-8.0f, 0.0f, 0.0f}));
    auto* sphere = new CGeCollisionGeomSphere;
    sphere->radius = 10.0f;
    sphere->SetRotation(Posed(Vec3{0.0f, 1.0f, 0.0f}, 0.0f, Vec3{10.0f, 0.0f, 3.0f}));
    g_staticBody.Add(box);
    g_staticBody.Add(sphere);
    g_staticBody.SetTransform(Matrix4::Identity());
    g_collisionWorld.AddBody(&g_staticBody);

    ClothBody sheet;
    BuildSheet(sheet.cloth, 10, 4.0f, 25.0f, 0.0f, 0.0f);
    sheet.Enable();
    for (int frame = 0; frame < 60; ++frame) {
        sheet.cloth.winds.Add(ClothWind{Vec3{0.0f, 0.0f, 1.0f}, 0.5f});
        PhysicsStep(1.0f / 60.0f, kPhysicsSubStep);
    }
    std::vector<float> state;
    for (const ClothPoint& p : sheet.cloth.points)
        state.insert(state.end(), {p.position.x, p.position.y, p.position.z, p.velocity.x, p.velocity.y, p.velocity.z});
    g_clothWorld.RemoveBody(&sheet.body);
    ClearStaticEnvironment();
    return state;
}

} // namespace

TEST_F(GePhysicsStep, SameSceneSameBits)
{
    const std::vector<float> first = RunScene();
    const std::vector<float> second = RunScene();
    ASSERT_EQ(first.size(), second.size());
    EXPECT_EQ(std::memcmp(first.data(), second.data(), first.size() * sizeof(float)), 0);
}

#if defined(__SANITIZE_ADDRESS__)
namespace {

volatile bool s_counting = false;
volatile int s_allocations = 0;

void CountMalloc(const volatile void*, size_t)
{
    if (s_counting)
        s_allocations = s_allocations + 1;
}

void IgnoreFree(const volatile void*) {}

} // namespace

TEST_F(GePhysicsStep, AStepAllocatesNothing)
{
    static const bool installed = __sanitizer_install_malloc_and_free_hooks(CountMalloc, IgnoreFree) != 0;
    ASSERT_TRUE(installed);
    CGeCollisionGeomSphere sphere;
    sphere.radius = 10.0f;
    CGeRigidBody body;
    body.Add(&sphere);
    body.SetTransform(Matrix4::Identity());
    g_collisionWorld.AddBody(&body);
    ClothBody sheet;
    BuildSheet(sheet.cloth, 8, 4.0f, 20.0f, 0.0f, 0.0f);
    sheet.Enable();

    s_allocations = 0;
    s_counting = true;
    for (int frame = 0; frame < 30; ++frame) {
        for (uint32_t w = 0; w < CGeClothGeom::kWindCapacity; ++w)
            sheet.cloth.winds.Add(ClothWind{Vec3{1.0f, 0.0f, 0.0f}, 0.1f});
        PhysicsStep(frame == 0 ? 0.5f : 1.0f / 60.0f, kPhysicsSubStep);
    }
    s_counting = false;
    EXPECT_EQ(s_allocations, 0);
    g_collisionWorld.RemoveBody(&body);
    body.Remove(&sphere);
}
#endif
