// Emission and life cycle of a particle system: what one birth draws from the
// generator, batches, synchronized rebirth, born-count limits, filling up,
// the zero direction, level of detail and precalculation.
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "tests/Engine/Anim/ParticleTestSupport.h"

#include <cmath>

namespace {

constexpr float kPi = 3.14159265358979f;

// A point emitter with a fixed life and no filling up.
GcParticleSettings Plain(float life = 1.0f)
{
    GcParticleSettings s;
    s.options = 0;
    s.minLife = s.maxLife = life;
    return s;
}

uint32_t AliveCount(const CGcParticleSystem& system)
{
    uint32_t n = 0;
    for (uint32_t i = 0; i < system.capacity; ++i)
        n += system.current.alive[i];
    return n;
}

float R()
{
    return float(GeRand() % 4096) / 4096.0f;
}

class GcParticleSystem : public ParticleTest {};

TEST_F(GcParticleSystem, OneBirthAgainstAReplayOfTheGenerator)
{
    GcParticleSettings s = Plain();
    s.colour1 = 0x80FF0000;
    s.colour2 = 0xFF00FF40;
    s.minSize = {1.0f, 2.0f, 3.0f};
    s.maxSize = {5.0f, 6.0f, 7.0f};
    s.direction = {0.0f, 0.0f, 2.0f};
    s.innerAngle = 0.0f;
    s.outerAngle = 0.0f;
    s.minSpeed = 2.0f;
    s.maxSpeed = 4.0f;
    s.minLife = 1.0f;
    s.maxLife = 3.0f;
    CGcParticleSystem system(s, 1);
    system.frame.SetPosition({10.0f, 20.0f, 30.0f});
    GeSrand(77);
    system.StartEmission();

    GeSrand(77);
    uint32_t colour = 0;
    const int c1[4] = {0x80, 0xFF, 0x00, 0x00}, c2[4] = {0xFF, 0x00, 0xFF, 0x40};
    for (int n = 0; n < 4; ++n)
        colour |= uint32_t((c1[n] + int(std::floor(float(c2[n] - c1[n]) * R() + 0.5f))) & 0xFF) << (24 - 8 * n);
    const float rs = R();
    GeRand(); // the frame
    R();      // the cone's angle (no spread)
    R();      // its turn
    const float speed = 2.0f + R() * 2.0f;
    const float life = 1.0f + R() * 2.0f;

    EXPECT_EQ(colour, system.current.colour[0]);
    EXPECT_FLOAT_EQ(1.0f + rs * 4.0f, system.current.size[0].x);
    EXPECT_FLOAT_EQ(2.0f + rs * 4.0f, system.current.size[0].y);
    EXPECT_FLOAT_EQ(10.0f, system.current.position[0].x);
    EXPECT_FLOAT_EQ(30.0f, system.current.position[0].z);
    EXPECT_NEAR(0.0f, system.current.velocity[0].x, 1e-5f);
    EXPECT_NEAR(speed, system.current.velocity[0].z, 1e-5f);
    EXPECT_FLOAT_EQ(life, system.birth.age[0]);
    EXPECT_EQ(0.0f, system.current.age[0]);
    EXPECT_EQ(1, system.current.alive[0]);
    EXPECT_EQ(system.current.colour[0], system.birth.colour[0]);
}

TEST_F(GcParticleSystem, GranularityThreeBornTogetherAsOneBatch)
{
    GcParticleSettings s = Plain();
    s.bornGranularity = 3;
    s.emitterType = GC_EMITTER_CUBOID;
    s.emitterExtent = {100.0f, 100.0f, 100.0f};
    CGcParticleSystem system(s, 4);
    system.StartEmission();
    // Three slots made the batch; the fourth waits invisible.
    for (uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(1, system.current.alive[i]);
        EXPECT_EQ(system.current.position[0].x, system.current.position[i].x);
        EXPECT_EQ(system.current.velocity[0].z, system.current.velocity[i].z);
        EXPECT_EQ(system.current.size[0].y, system.current.size[i].y);
    }
    EXPECT_EQ(0, system.current.alive[3]);
    EXPECT_EQ(2000.0f, system.current.age[3]);
    EXPECT_EQ(1u, system.pending.Count());

    // When the batch dies, two of it join the waiting slot and the three are
    // born together; the third waits for the next batch.
    system.Step(0.0f);
    system.Step(0.5f);
    system.Step(0.5f);
    EXPECT_EQ(3u, AliveCount(system));
    EXPECT_EQ(system.current.position[3].x, system.current.position[0].x);
    EXPECT_EQ(system.current.position[3].x, system.current.position[1].x);
    EXPECT_EQ(0, system.current.alive[2]);
    EXPECT_EQ(1u, system.pending.Count());
}

TEST_F(GcParticleSystem, SynchronizedSlotsWaitForEveryOther)
{
    GcParticleSettings s = Plain();
    s.options = GC_PS_SYNCHRONIZED;
    CGcParticleSystem system(s, 3);
    system.StartEmission();
    system.Step(0.0f);
    system.birth.age[0] = 0.5f;
    system.birth.age[1] = 1.0f;
    system.birth.age[2] = 1.5f;
    system.Step(0.75f); // slot 0 expired: it waits
    EXPECT_EQ(0, system.current.alive[0]);
    EXPECT_EQ(2u, AliveCount(system));
    system.Step(0.5f); // slot 1 too
    EXPECT_EQ(1u, AliveCount(system));
    system.Step(0.5f); // the last one: all expired in this pass
    EXPECT_EQ(1, system.allExpired);
    system.Step(0.01f); // and all reborn in the next
    EXPECT_EQ(3u, AliveCount(system));
    for (uint32_t i = 0; i < 3; ++i)
        EXPECT_NEAR(0.0f, system.current.age[i], 1e-6f);
}

TEST_F(GcParticleSystem, BornCountOneEndsInFinished)
{
    GcParticleSettings s = Plain();
    s.bornCount = 1;
    CGcParticleSystem system(s, 5);
    system.StartEmission();
    EXPECT_EQ(0, system.finished);
    system.Step(0.0f);
    for (int n = 0; n < 4; ++n) {
        system.Step(0.3f);
        EXPECT_EQ(n < 3 ? 5u : 0u, AliveCount(system)) << n;
    }
    EXPECT_EQ(0, system.emitting);
    system.Step(0.3f);
    EXPECT_EQ(1, system.finished);
    for (uint32_t i = 0; i < 5; ++i)
        EXPECT_LE(system.current.births[i], 2u); // the refused second birth counted
}

TEST_F(GcParticleSystem, IncreasableFillsUpAcrossTheMaximumLife)
{
    GcParticleSettings s = Plain();
    s.options = GC_PS_INCREASABLE;
    CGcParticleSystem system(s, 4);
    system.StartEmission();
    EXPECT_EQ(0u, AliveCount(system));
    system.Step(0.0f);
    const uint32_t expected[4] = {1, 2, 3, 4};
    for (int n = 0; n < 4; ++n) {
        system.Step(0.25f);
        EXPECT_EQ(expected[n], AliveCount(system)) << n;
    }
}

TEST_F(GcParticleSystem, ZeroDirectionEmitsEveryWay)
{
    GcParticleSettings s = Plain();
    s.outerAngle = 20.0f;
    s.minSpeed = s.maxSpeed = 1.0f;
    CGcParticleSystem system(s, 200);
    system.StartEmission();
    EXPECT_EQ(360.0f, system.settings.outerAngle);
    bool backwards = false, forwards = false;
    for (uint32_t i = 0; i < 200; ++i) {
        const Vec4& v = system.current.velocity[i];
        EXPECT_NEAR(1.0f, std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z), 1e-4f);
        backwards = backwards || v.z < -0.5f;
        forwards = forwards || v.z > 0.5f;
    }
    EXPECT_TRUE(backwards && forwards);
}

TEST_F(GcParticleSystem, LevelOfDetailAtThreeTimesTheDistance)
{
    CGmPerspectiveCamera camera;
    Matrix4 at = Matrix4::Identity();
    at.m[11] = 300.0f;
    camera.frame.SetMatrix(at);
    camera.frame.UpdateWorldMatrix();
    CGeHub::s_currentSlot = 0;
    CGeHub::s_cameras3d[0] = &camera;

    GcParticleSettings s = Plain(10.0f);
    s.lodAuto = 1;
    s.lodDistance = 100.0f;
    s.minSize = s.maxSize = {2.0f, 2.0f, 2.0f};
    CGcParticleSystem system(s, 30);
    system.StartEmission();
    system.Update();
    EXPECT_EQ(10u, system.activeCount);
    ASSERT_EQ(10u, system.quadsWritten);
    const GcParticleVertex* v = reinterpret_cast<const GcParticleVertex*>(system.vertexBuffer->GetData());
    EXPECT_NEAR(2.0f * std::cbrt(3.0f), v[1].x - v[0].x, 1e-4f);
    EXPECT_NEAR(2.0f * std::cbrt(3.0f), v[0].y - v[2].y, 1e-4f);

    // Far away one particle stays; at the camera every particle shows.
    at.m[11] = 1e9f;
    camera.frame.SetMatrix(at);
    camera.frame.UpdateWorldMatrix();
    system.Step(0.01f);
    EXPECT_EQ(1u, system.activeCount);
    at.m[11] = 0.0f;
    camera.frame.SetMatrix(at);
    camera.frame.UpdateWorldMatrix();
    system.Step(0.01f);
    EXPECT_EQ(30u, system.activeCount);
    EXPECT_EQ(1.0f, system.lodFactor);
}

TEST_F(GcParticleSystem, PrecalculationStopsAtAThousandSteps)
{
    GcParticleSettings s = Plain(1e30f);
    s.options = GC_PS_PRECALCULATED;
    CGcParticleSystem system(s, 2);
    system.StartEmission();
    // The first precalculated step is the zero step, then 999 of 0.1 s.
    EXPECT_NEAR(99.9f, system.current.age[0], 0.01f);
}

TEST_F(GcParticleSystem, SlotCountClampedToSixteenBitIndices)
{
    CGcParticleSystem big(Plain(), 100000);
    EXPECT_EQ(kGcMaxParticles, big.capacity);
    EXPECT_EQ(1, GeLogLastLevel());
    EXPECT_EQ(kGcMaxParticles * 4, big.vertexBuffer->Count());
    CGcParticleSystem none(Plain(), 0);
    EXPECT_EQ(nullptr, none.vertexBuffer);
    none.StartEmission();
    none.Update();
    EXPECT_EQ(0u, none.quadsWritten);
}

TEST_F(GcParticleSystem, SpinTurnsTheQuadAndWrapsOnce)
{
    GcParticleSettings s = Plain(100.0f);
    s.spinRange = 90.0f;
    s.minSize = s.maxSize = {2.0f, 2.0f, 2.0f};
    s.minSpeed = s.maxSpeed = 0.0f;
    CGcParticleSystem system(s, 1);
    system.StartEmission();
    system.current.spin[0] = Vec2{kPi / 2.0f, 0.0f};
    system.Update();
    const GcParticleVertex* v = reinterpret_cast<const GcParticleVertex*>(system.vertexBuffer->GetData());
    // Turned by 90 degrees: the top-left corner (-1, 1) goes to (1, 1).
    EXPECT_NEAR(1.0f, v[0].x, 1e-5f);
    EXPECT_NEAR(1.0f, v[0].y, 1e-5f);
    system.current.spin[0] = Vec2{6.0f, 1.0f};
    system.Step(0.5f);
    EXPECT_NEAR(6.5f - 2.0f * kPi, system.current.spin[0].x, 1e-5f);
}

} // namespace
