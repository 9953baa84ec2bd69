// Each behaviour once: a known particle after one step against values worked
// out by hand; and the collision-space bounce off a box.
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Physics/GeCollider.h"
#include "tests/Engine/Anim/ParticleTestSupport.h"

#include <cmath>
#include <functional>

namespace {

constexpr float kPi = 3.14159265358979f;

struct Particle {
    Vec3 position = {0.0f, 0.0f, 0.0f};
    Vec3 velocity = {4.0f, 0.0f, 0.0f};
    uint32_t colour = 0xC8804020;
    Vec3 size = {2.0f, 4.0f, 6.0f};
};

// One slot, born with the particle's values and a life of 2 s at age 0.5; one
// step of 0.5 s brings it to t = 0.5 before the behaviours run.
class GcParticleBehaviours : public ParticleTest {
protected:
    void Make(const char* behaviour, std::initializer_list<float> values, const Particle& p = Particle())
    {
        GcParticleSettings s;
        s.options = 0;
        system.reset(new CGcParticleSystem(s, 1));
        GcBehaviourEntry entry;
        entry.operation = FindParticleBehaviour(behaviour);
        ASSERT_TRUE(entry.operation) << behaviour;
        int n = 0;
        for (float v : values)
            entry.values[n++] = v;
        system->AddBehaviour(entry);
        GcParticleArrays& c = system->current;
        c.position[0] = {p.position.x, p.position.y, p.position.z, 0.0f};
        c.velocity[0] = {p.velocity.x, p.velocity.y, p.velocity.z, 0.0f};
        c.colour[0] = p.colour;
        c.size[0] = {p.size.x, p.size.y, p.size.z, 0.0f};
        c.alive[0] = 1;
        c.age[0] = 2.0f;
        system->birth.CopySlot(c, 0);
        c.age[0] = 0.5f;
    }

    CGcParticleSystem& Run(float dt = 0.5f)
    {
        system->Step(dt);
        return *system;
    }

    static Vec3 Position(const CGcParticleSystem& s)
    {
        return {s.current.position[0].x, s.current.position[0].y, s.current.position[0].z};
    }
    static Vec3 Velocity(const CGcParticleSystem& s)
    {
        return {s.current.velocity[0].x, s.current.velocity[0].y, s.current.velocity[0].z};
    }

    std::unique_ptr<CGcParticleSystem> system;
};

void ExpectVec(const Vec3& expected, const Vec3& actual, const char* what)
{
    EXPECT_NEAR(expected.x, actual.x, 1e-4f) << what;
    EXPECT_NEAR(expected.y, actual.y, 1e-4f) << what;
    EXPECT_NEAR(expected.z, actual.z, 1e-4f) << what;
}

TEST_F(GcParticleBehaviours, PositionAndSpeed)
{
    GcWindSource wind;
    wind.wind = {1.0f, 0.0f, 0.0f};
    wind.force = {0.0f, 1.0f, 0.0f};
    GcForcePoint point;
    point.position = {10.0f, 0.0f, 0.0f};
    point.a = 1.0f;
    point.c = 0.01f; // at distance 10 the pull is 1 / 2
    wind.points.Add(point);

    struct Row {
        const char* name;
        std::initializer_list<float> values;
        Vec3 position;
        Vec3 velocity;
    };
    const Row rows[] = {
        {"Pos_Default", {}, {2.0f, 0.0f, 0.0f}, {4.0f, 0.0f, 0.0f}},
        {"Pos_Wind", {2.0f}, {1.0f, 0.0f, 0.0f}, {4.0f, 0.0f, 0.0f}},
        {"Pos_ConstDelta", {1.0f, 2.0f, 3.0f}, {0.5f, 1.0f, 1.5f}, {4.0f, 0.0f, 0.0f}},
        // phase 0.5, radius 1 along the x axis (the velocity's heading).
        {"Pos_Rotate", {2.0f, 1.0f}, {std::sin(0.5f), 0.0f, std::cos(0.5f)}, {4.0f, 0.0f, 0.0f}},
        {"Speed_ForcesSet", {2.0f}, {0.0f, 0.0f, 0.0f}, {4.5f, 1.0f, 0.0f}},
        // Accelerated but not moved: no position step runs.
        {"Speed_ConstForce", {0.0f, -10.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, {4.0f, -5.0f, 0.0f}},
        {"Speed_UniformAccel", {0.0f}, {0.0f, 0.0f, 0.0f}, {2.0f, 0.0f, 0.0f}},
        {"Speed_CollisionSpace", {1.0f}, {0.0f, 0.0f, 0.0f}, {4.0f, 0.0f, 0.0f}}, // no space: untouched
    };
    for (const Row& row : rows) {
        Make(row.name, row.values);
        system->SetWindSource(&wind);
        Run();
        ExpectVec(row.position, Position(*system), row.name);
        ExpectVec(row.velocity, Velocity(*system), row.name);
    }
}

TEST_F(GcParticleBehaviours, UniformAccelBringsToRestAtTheEndOfLife)
{
    const Vec3 headings[] = {{3.0f, 0.0f, 0.0f}, {0.0f, -2.0f, 1.0f}, {-1.0f, 1.0f, 1.0f}};
    for (const Vec3& heading : headings) {
        Particle p;
        p.velocity = heading;
        Make("Speed_UniformAccel", {0.0f}, p);
        Run(1.5f); // age 2 of 2
        ExpectVec({0.0f, 0.0f, 0.0f}, Velocity(*system), "at rest");
    }
}

TEST_F(GcParticleBehaviours, ColourAndSize)
{
    struct Row {
        const char* name;
        std::initializer_list<float> values;
        float age; // before the 0.5 s step, of a life of 2
        uint32_t colour;
        Vec3 size;
    };
    const Vec3 born = {2.0f, 4.0f, 6.0f};
    const Row rows[] = {
        // alpha 0xC8 = 200; fade-in to 20 %, fade-out from 80 % of the life.
        {"Color_3AlphaPoints", {0.0f, 1.0f, 0.0f, 0.2f, 0.8f}, -0.3f, 0x64804020, born}, // t 0.1: half faded in
        {"Color_3AlphaPoints", {0.0f, 1.0f, 0.0f, 0.2f, 0.8f}, 0.5f, 0xC8804020, born},  // t 0.5: middle
        {"Color_3AlphaPoints", {0.0f, 1.0f, 0.0f, 0.2f, 0.8f}, 1.3f, 0x64804020, born},  // t 0.9: half faded out
        {"Color_3AlphaPoints", {0.0f, 0.5f, 0.0f, 0.0f, 1.0f}, -0.3f, 0x64804020, born}, // no fade at all
        {"Color_AlphaPulse", {1.0f, 0.0f, 1.0f}, 0.5f, 0xC8804020, born},                // pulse top at t 0.5
        {"Color_AlphaPulse", {2.0f, 0.25f, 1.0f}, 0.5f, 0x32804020, born},               // two pulses: low
        {"Color_RgbGradient", {1.0f, 0.0f, 0.5f}, 0.5f, 0xC8C02050, born},
        {"Size_Scale", {1.0f, 3.0f}, 0.5f, 0xC8804020, {4.0f, 8.0f, 12.0f}},
    };
    for (const Row& row : rows) {
        Make(row.name, row.values);
        system->current.age[0] = row.age;
        Run();
        EXPECT_EQ(row.colour, system->current.colour[0]) << row.name << " " << row.age;
        ExpectVec(row.size, {system->current.size[0].x, system->current.size[0].y, system->current.size[0].z},
                  row.name);
    }
}

TEST_F(GcParticleBehaviours, LightAndRotor)
{
    CGmPerspectiveCamera camera;
    CGeHub::s_currentSlot = 0;
    CGeHub::s_cameras3d[0] = &camera;
    GcParticleLight light; // directional along +z, the way the camera looks at the particle
    Particle p;
    p.position = {0.0f, 0.0f, 10.0f};
    p.colour = 0x80804020;
    Make("Color_Light", {0.2f}, p);
    system->SetLight(&light);
    Run(0.0f);
    // k = 0.5 + 0.5 (view . light) = 1: every channel + 0.2, alpha kept.
    EXPECT_EQ(0x80B37353u, system->current.colour[0]);
    Make("Color_Light", {0.2f}, p);
    Run(0.0f);
    EXPECT_EQ(0x80804020u, system->current.colour[0]) << "no light, no change";

    Make("BhvDirection_Rotor", {1.0f, 0.0f, 0.0f, 90.0f, 2.0f});
    Run();
    const Vec3 d = system->settings.direction;
    ExpectVec({std::sin(1.0f), std::cos(kPi / 2.0f), std::cos(1.0f)}, d, "rotor");
    Run();
    ExpectVec({std::sin(2.0f), std::cos(kPi / 2.0f), std::cos(2.0f)}, system->settings.direction, "rotor");
}

TEST_F(GcParticleBehaviours, CollisionSpaceBouncesOffABox)
{
    // A box from x = 1 to 3; the particle at x = 0 flies at it with 4 units a
    // second, so a step of 0.5 s would carry it 2 units, into the box.
    CGeColliderAabb box({1.0f, -1.0f, -1.0f}, {3.0f, 1.0f, 1.0f});
    CollisionGroup space;
    space.Add(&box);
    Make("Speed_CollisionSpace", {0.5f, 0.0f});
    system->SetCollisionSpace(&space);
    Run();
    ExpectVec({-2.0f, 0.0f, 0.0f}, Velocity(*system), "mirrored and halved");

    // Out of reach this step: no bounce.
    Particle far;
    far.position = {-10.0f, 0.0f, 0.0f};
    Make("Speed_CollisionSpace", {0.5f, 0.0f}, far);
    system->SetCollisionSpace(&space);
    Run();
    ExpectVec({4.0f, 0.0f, 0.0f}, Velocity(*system), "out of reach");

    // Scattered: still mirrored along x, turned off the axis, same speed.
    Make("Speed_CollisionSpace", {1.0f, 0.5f});
    system->SetCollisionSpace(&space);
    Run();
    const Vec3 v = Velocity(*system);
    EXPECT_NEAR(4.0f, v.Length(), 1e-4f);
    EXPECT_LT(v.x, 0.0f);
    space.Clear();
}

} // namespace
