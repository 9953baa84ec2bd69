// The ventilator property against a plain model of its wind on hand-made
// cloth points: behind and on its plane, steady wind, growth along the
// direction, gusts over time, several ventilators, the cloth world walk, and
// its reader with good and broken attributes.
#include "Source/GameClasses/QmPropVentilator.h"
#include "Engine/Physics/GeClothGeom.h"
#include "Engine/Physics/GePhysWorld.h"
#include "Source/GameClasses/QmEntityLoader.h"
#include "tests/Source/GameClasses/LocationFixtures.h"

#include <tinyxml.h>

#include <cmath>
#include <memory>

namespace {

// The wind as written down independently: force along the unit offset,
// scaled by |n . unit| x s x force x gust; nothing behind the plane.
Vec3 ModelWind(const Vec3& origin, const Vec3& direction, float force, float gust, const Vec3& p, const Vec3& n)
{
    const double dx = p.x - origin.x, dy = p.y - origin.y, dz = p.z - origin.z;
    const double s = dx * direction.x + dy * direction.y + dz * direction.z;
    if (s <= 0.0)
        return {0.0f, 0.0f, 0.0f};
    const double length = std::sqrt(dx * dx + dy * dy + dz * dz);
    const double ux = dx / length, uy = dy / length, uz = dz / length;
    const double k = std::fabs(n.x * ux + n.y * uy + n.z * uz) * s * force * gust;
    return {float(ux * k), float(uy * k), float(uz * k)};
}

ClothPoint MakePoint(const Vec3& position, const Vec3& normal)
{
    ClothPoint point = {};
    point.position = position;
    point.normal = normal;
    point.externalForce = {7.0f, 7.0f, 7.0f}; // a stale force the wind must replace
    return point;
}

class VentilatorTest : public LocationTest {
protected:
    void TearDown() override
    {
        g_clothWorld.RemoveBody(&body);
        LocationTest::TearDown();
    }

    // A cloth of the given points in the cloth world.
    CGeClothGeom& Cloth(std::initializer_list<ClothPoint> points)
    {
        for (const ClothPoint& point : points)
            cloth.points.Add(point);
        body.Add(&cloth);
        g_clothWorld.AddBody(&body);
        return cloth;
    }

    void Advance(double seconds)
    {
        m_clock.ticks += static_cast<int64_t>(seconds * 1000.0 + 0.5);
        m_timer.Update();
    }

    CQmEntity entity;
    CGeClothGeom cloth;
    CGeRigidBody body;
};

void ExpectNear(const Vec3& want, const Vec3& got, const char* what)
{
    const float tolerance = 1e-4f * (1.0f + std::fabs(want.x) + std::fabs(want.y) + std::fabs(want.z));
    EXPECT_NEAR(want.x, got.x, tolerance) << what;
    EXPECT_NEAR(want.y, got.y, tolerance) << what;
    EXPECT_NEAR(want.z, got.z, tolerance) << what;
}

} // namespace

TEST_F(VentilatorTest, SteadyWindMatchesThePlainModelPointByPoint)
{
    CQmPropVentilator ventilator(&entity);
    ventilator.position = {10.0f, 0.0f, 0.0f};
    ventilator.direction = {0.0f, 0.0f, 1.0f};
    ventilator.force = 2.5f;
    const struct {
        Vec3 position;
        Vec3 normal;
        const char* what;
    } cases[] = {
        {{10.0f, 5.0f, 0.0f}, {0.0f, 0.0f, 1.0f}, "on the plane through the origin (s = 0)"},
        {{10.0f, 0.0f, -4.0f}, {0.0f, 0.0f, 1.0f}, "behind the ventilator"},
        {{10.0f, 0.0f, 4.0f}, {0.0f, 0.0f, 1.0f}, "straight ahead, facing it"},
        {{10.0f, 0.0f, 4.0f}, {0.0f, 0.0f, -1.0f}, "straight ahead, facing away (|n . d| counts)"},
        {{13.0f, 2.0f, 4.0f}, {0.0f, 1.0f, 0.0f}, "off the axis, normal across"},
        {{10.0f, 0.0f, 4.0f}, {1.0f, 0.0f, 0.0f}, "edge on: no force"},
        {{-30.0f, 8.0f, 50.0f}, {0.6f, 0.0f, 0.8f}, "far off the axis"},
    };
    for (const auto& c : cases)
        cloth.points.Add(MakePoint(c.position, c.normal));
    ventilator.ApplyWind(cloth);
    for (uint32_t i = 0; i < cloth.points.count; ++i)
        ExpectNear(ModelWind(ventilator.position, ventilator.direction, 2.5f, 1.0f, cases[i].position, cases[i].normal),
                   cloth.points[i].externalForce, cases[i].what);
    EXPECT_EQ(0.0f, cloth.points[0].externalForce.z) << "s = 0 gives no force";
    EXPECT_EQ(0.0f, cloth.points[1].externalForce.x) << "the stale force behind is cleared";
    // Straight ahead at distance 4 facing it: force x s along the direction.
    EXPECT_FLOAT_EQ(2.5f * 4.0f, cloth.points[2].externalForce.z);
}

TEST_F(VentilatorTest, TheWindGrowsWithTheDistanceAlongTheDirection)
{
    CQmPropVentilator ventilator(&entity);
    float previous = 0.0f;
    for (float x : {1.0f, 2.0f, 8.0f, 100.0f}) {
        cloth.points.Clear();
        cloth.points.Add(MakePoint({x, 1.0f, 0.0f}, {1.0f, 0.0f, 0.0f}));
        ventilator.ApplyWind(cloth);
        const Vec3& f = cloth.points[0].externalForce;
        const float magnitude = std::sqrt(f.x * f.x + f.y * f.y + f.z * f.z);
        EXPECT_GT(magnitude, previous) << x;
        previous = magnitude;
    }
}

TEST_F(VentilatorTest, GustsFollowTheTimeOnlyWithAnAmplitude)
{
    Cloth({MakePoint({5.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f})});
    CQmPropVentilator ventilator(&entity);
    ventilator.amplitude = 0.5f;
    ventilator.frequency = 2.0f;
    // Frames of 0.25 s: the force at each update uses the time before it.
    double time = 0.0;
    for (int frame = 0; frame < 8; ++frame) {
        Advance(0.25);
        ventilator.Update();
        const double phi = time * 2.0;
        const double gust = 0.5 * std::cos(phi * 0.5) * std::cos(phi * 0.33) + 1.0;
        EXPECT_NEAR(5.0 * gust, cloth.points[0].externalForce.x, 1e-4) << "frame " << frame;
        time += 0.25;
    }
    EXPECT_NEAR(2.0f, ventilator.time, 1e-5f);

    // Without an amplitude the wind stays the same whatever the time.
    ventilator.amplitude = 0.0f;
    ventilator.Update();
    EXPECT_FLOAT_EQ(5.0f, cloth.points[0].externalForce.x);
}

TEST_F(VentilatorTest, TheLastVentilatorUpdatedWinsAndOnlyClothIsBlown)
{
    CGeClothGeom& blown = Cloth({MakePoint({0.0f, 0.0f, 3.0f}, {0.0f, 0.0f, 1.0f})});
    // A body whose first geom is no cloth is passed over.
    CGeRigidBody other;
    CGeCollisionGeomSphere sphere;
    other.Add(&sphere);
    g_clothWorld.AddBody(&other);

    CQmPropVentilator first(&entity), second(&entity);
    first.direction = {0.0f, 0.0f, 1.0f};
    first.force = 1.0f;
    second.position = {0.0f, 0.0f, 10.0f};
    second.direction = {0.0f, 0.0f, -1.0f};
    second.force = 3.0f;
    first.Update();
    EXPECT_FLOAT_EQ(3.0f, blown.points[0].externalForce.z);
    second.Update();
    EXPECT_FLOAT_EQ(-21.0f, blown.points[0].externalForce.z) << "replaced, not added";
    first.Update();
    EXPECT_FLOAT_EQ(3.0f, blown.points[0].externalForce.z);
    g_clothWorld.RemoveBody(&other);
}

TEST_F(VentilatorTest, TheReaderTakesItsAttributesOverTheDefaultsAndLeavesItOff)
{
    const struct {
        const char* attributes;
        Vec3 position, direction;
        float force, amplitude, frequency;
    } cases[] = {
        {"force=\"3\"", {0, 0, 0}, {1, 0, 0}, 3.0f, 0.0f, 1.0f},
        {"pos=\"1 2 3\" dir=\"0 0 4\" force=\"2\" amp=\"0.5\" freq=\"3\"", {1, 2, 3}, {0, 0, 1}, 2.0f, 0.5f, 3.0f},
        {"dir=\"0 3 4\"", {0, 0, 0}, {0, 0.6f, 0.8f}, 1.0f, 0.0f, 1.0f},
        // Broken values: numbers read as the C library reads them, a zero
        // direction still gives a unit one, a short vector fills with zeros.
        {"force=\"strong\" amp=\"1e\" dir=\"0 0 0\" pos=\"5\"", {0, 0, 0}, {1, 0, 0}, 0.0f, 1.0f, 1.0f},
        {"dir=\"0 2\"", {0, 0, 0}, {0, 1, 0}, 1.0f, 0.0f, 1.0f},
    };
    for (const auto& c : cases) {
        TiXmlDocument document;
        document.Parse((std::string("<entity name=\"fan\"><ventilator ") + c.attributes + "/></entity>").c_str());
        std::unique_ptr<CQmEntity> fan(LoadEntity(document.RootElement(), false, nullptr));
        ASSERT_NE(nullptr, fan);
        auto* ventilator = fan->Prop<CQmPropVentilator>(QM_PROP_VENTILATOR);
        ASSERT_NE(nullptr, ventilator) << c.attributes;
        ExpectNear(c.position, ventilator->position, c.attributes);
        ExpectNear(c.direction, ventilator->direction, c.attributes);
        EXPECT_FLOAT_EQ(c.force, ventilator->force) << c.attributes;
        EXPECT_FLOAT_EQ(c.amplitude, ventilator->amplitude) << c.attributes;
        EXPECT_FLOAT_EQ(c.frequency, ventilator->frequency) << c.attributes;
        EXPECT_EQ(0, ventilator->enabled) << c.attributes;
        EXPECT_EQ(0.0f, ventilator->time);
    }
}
