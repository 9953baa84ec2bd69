// The static collision file: which geoms it gives, how they are placed, and
// the static body's life in the collision world.
#include "Engine/Physics/GeStaticEnvironment.h"
#include "tests/Engine/Physics/PhysicsWorldFixture.h"
#include "tests/Engine/Physics/StaticEnvironmentWriter.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

const float kDegree = 0.017453292f;

class GeStaticEnvironment : public PhysicsWorldTest {
protected:
    void SetUp() override
    {
        PhysicsWorldTest::SetUp();
        m_dir = std::filesystem::temp_directory_path() /
                ("qm_static_env_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
    }

    void TearDown() override
    {
        std::filesystem::remove_all(m_dir);
        PhysicsWorldTest::TearDown();
    }

    std::string Write(const char* name, const CStaticEnvironmentWriter& writer)
    {
        const std::string path = (m_dir / name).string();
        EXPECT_TRUE(writer.WriteFile(path));
        return path;
    }

    // The static body's geoms in file order (the body lists them newest first).
    static std::vector<CGeCollisionGeom*> Geoms()
    {
        std::vector<CGeCollisionGeom*> list;
        for (CGeCollisionGeom* g = g_staticBody.firstGeom; g; g = g->next)
            list.insert(list.begin(), g);
        EXPECT_EQ(list.size(), g_staticBody.geomCount);
        return list;
    }

    std::filesystem::path m_dir;
};

} // namespace

TEST_F(GeStaticEnvironment, WhichGeomsAFileGives)
{
    using A = CStaticEnvironmentWriter::Attributes;
    struct Case {
        const char* what;
        A attributes;
        int type; // -1: skipped
    } cases[] = {
        {"plane", {{"type", "plane"}}, GEOM_PLANE},
        {"aabb", {{"type", "aabb"}, {"size", "1 2 3"}}, GEOM_AABB},
        {"aabb without size", {{"type", "aabb"}}, -1},
        {"aabb with a zero side", {{"type", "aabb"}, {"size", "1 0 3"}}, -1},
        {"box", {{"type", "box"}, {"size", "1,2,3"}}, GEOM_BOX},
        {"box of two numbers: z is 0", {{"type", "box"}, {"size", "1 2"}}, -1},
        {"box with a negative side", {{"type", "box"}, {"size", "1 2 -3"}}, -1},
        {"sphere", {{"type", "sphere"}, {"radius", "0.5"}}, GEOM_SPHERE},
        {"sphere of radius 0", {{"type", "sphere"}, {"radius", "0"}}, -1},
        {"sphere without radius", {{"type", "sphere"}}, -1},
        {"cylinder", {{"type", "cylinder"}, {"height", "4"}, {"radius", "1"}}, GEOM_CYLINDER},
        {"cylinder without height", {{"type", "cylinder"}, {"radius", "1"}}, -1},
        {"capsule", {{"type", "capsule"}, {"height", "4"}, {"radius", "1"}}, GEOM_CAPSULE},
        {"capsule with a negative radius", {{"type", "capsule"}, {"height", "4"}, {"radius", "-1"}}, -1},
        {"unknown type", {{"type", "cone"}, {"radius", "1"}}, -1},
        {"type in capitals", {{"type", "Sphere"}, {"radius", "1"}}, -1},
        {"no type", {{"radius", "1"}}, -1},
    };
    // All in one file: the refused ones are skipped and the rest read.
    CStaticEnvironmentWriter writer;
    std::vector<int> expected;
    for (const Case& c : cases) {
        writer.Geom(c.attributes);
        if (c.type >= 0)
            expected.push_back(c.type);
    }
    LoadStaticEnvironment(Write("kinds.xml", writer).c_str());
    std::vector<int> types;
    for (CGeCollisionGeom* g : Geoms())
        types.push_back(int(g->type));
    EXPECT_EQ(types, expected);

    const std::vector<CGeCollisionGeom*> geoms = Geoms();
    ASSERT_EQ(geoms.size(), 6u);
    ExpectVec3Near(static_cast<CGeCollisionGeomAabb*>(geoms[1])->size, Vec3{1.0f, 2.0f, 3.0f}, 0.0f);
    ExpectVec3Near(static_cast<CGeCollisionGeomBox*>(geoms[2])->size, Vec3{1.0f, 2.0f, 3.0f}, 0.0f);
    EXPECT_EQ(static_cast<CGeCollisionGeomSphere*>(geoms[3])->radius, 0.5f);
    EXPECT_EQ(static_cast<CGeCollisionGeomCylinder*>(geoms[4])->length, 4.0f);
    EXPECT_EQ(static_cast<CGeCollisionGeomCylinder*>(geoms[5])->radius, 1.0f);
    EXPECT_EQ(geoms[0]->axisAligned, 1);
    EXPECT_EQ(geoms[1]->axisAligned, 1);
    EXPECT_EQ(geoms[2]->axisAligned, 0);
}

TEST_F(GeStaticEnvironment, PlacementAndAngleOrders)
{
    struct Case {
        const char* what;
        const char* eulerType; // null: no attribute
        int order;
    } cases[] = {
        {"default", nullptr, 1}, {"ZXY", "ZXY", 1}, {"XYZ", "XYZ", 0}, {"lower case", "xyz", 1}, {"other", "YZX", 1},
    };
    CStaticEnvironmentWriter writer;
    for (const Case& c : cases) {
        if (c.eulerType)
            writer.Geom({{"type", "box"}, {"size", "2 4 6"}, {"pos", "1 2 3"}, {"rot_euler", "30 40 50"},
                         {"euler_type", c.eulerType}});
        else
            writer.Geom({{"type", "box"}, {"size", "2 4 6"}, {"pos", "1 2 3"}, {"rot_euler", "30 40 50"}});
    }
    LoadStaticEnvironment(Write("orders.xml", writer).c_str());
    const std::vector<CGeCollisionGeom*> geoms = Geoms();
    ASSERT_EQ(geoms.size(), std::size(cases));
    for (size_t i = 0; i < geoms.size(); ++i) {
        SCOPED_TRACE(cases[i].what);
        const Matrix4 m = MatrixFromEulerAngles(Vec3{30 * kDegree, 40 * kDegree, 50 * kDegree}, cases[i].order);
        for (int row = 0; row < 3; ++row) {
            const Vec3 column{m.At(0, row), m.At(1, row), m.At(2, row)};
            ExpectVec3Near(geoms[i]->localRotation[row], column, 0.0f);
            // The body is at the identity: the world pose is the local one.
            ExpectVec3Near(geoms[i]->worldRotation[row], column, 1e-6f);
        }
        ExpectVec3Near(geoms[i]->localPosition, Vec3{1.0f, 2.0f, 3.0f}, 0.0f);
        ExpectVec3Near(geoms[i]->worldPosition, Vec3{1.0f, 2.0f, 3.0f}, 0.0f);
        // SetRotation computed the bounds of the turned box.
        EXPECT_GT(geoms[i]->aabbMax.x - geoms[i]->aabbMin.x, 2.0f);
    }
    EXPECT_NE(std::memcmp(geoms[0]->localRotation, geoms[2]->localRotation, sizeof(Vec3) * 3), 0);
}

TEST_F(GeStaticEnvironment, TurnedPlaneFacesItsFirstAxis)
{
    // 90 degrees about z turns the plane's normal, its x axis, to +y.
    LoadStaticEnvironment(Write("plane.xml", CStaticEnvironmentWriter().Geom(
                                                 {{"type", "plane"}, {"pos", "0 -2"}, {"rot_euler", "0 0 90"}}))
                              .c_str());
    ASSERT_EQ(g_staticBody.geomCount, 1u);
    const CGeCollisionGeom& plane = *g_staticBody.firstGeom;
    ExpectVec3Near(plane.worldRotation[0], Vec3{0.0f, 1.0f, 0.0f}, 1e-6f);
    ExpectVec3Near(plane.worldPosition, Vec3{0.0f, -2.0f, 0.0f}, 0.0f);
    EXPECT_EQ(plane.aabbMax.y, 1e30f);
}

TEST_F(GeStaticEnvironment, TheStaticBodyJoinsTheWorldAndOwnsItsGeoms)
{
    const std::string first =
        Write("first.xml", CStaticEnvironmentWriter()
                               .Geom({{"type", "sphere"}, {"radius", "1"}})
                               .Geom({{"type", "aabb"}, {"size", "1 1 1"}, {"pos", "5 0 0"}}));
    const std::string second = Write("second.xml", CStaticEnvironmentWriter().Geom({{"type", "plane"}}));

    LoadStaticEnvironment(first.c_str());
    EXPECT_EQ(g_staticBody.geomCount, 2u);
    EXPECT_EQ(g_staticBody.group, &g_collisionWorld);
    EXPECT_EQ(g_collisionWorld.bodyCount, 1u);
    for (CGeCollisionGeom* g = g_staticBody.firstGeom; g; g = g->next)
        EXPECT_EQ(g->space, &g_staticBody);
    ExpectVec3Near(Geoms()[1]->aabbMin, Vec3{4.5f, -0.5f, -0.5f}, 0.0f);

    // A second file replaces the first (the sanitizers see the old geoms freed).
    LoadStaticEnvironment(second.c_str());
    ASSERT_EQ(g_staticBody.geomCount, 1u);
    EXPECT_EQ(g_staticBody.firstGeom->type, uint32_t(GEOM_PLANE));
    EXPECT_EQ(g_collisionWorld.bodyCount, 1u);

    // A null name does nothing at all.
    LoadStaticEnvironment(nullptr);
    EXPECT_EQ(g_staticBody.geomCount, 1u);
    EXPECT_EQ(g_staticBody.group, &g_collisionWorld);

    // A missing file, or one with another root, leaves the environment empty.
    LoadStaticEnvironment((m_dir / "missing.xml").string().c_str());
    EXPECT_EQ(g_staticBody.geomCount, 0u);
    EXPECT_EQ(g_staticBody.group, nullptr);
    LoadStaticEnvironment(first.c_str());
    LoadStaticEnvironment(
        Write("other.xml", CStaticEnvironmentWriter().Geom({{"type", "plane"}})).c_str());
    EXPECT_EQ(g_staticBody.geomCount, 1u);
    const std::string wrongRoot = (m_dir / "root.xml").string();
    ASSERT_TRUE(CStaticEnvironmentWriter().Geom({{"type", "plane"}}).WriteFile(wrongRoot, "location"));
    LoadStaticEnvironment(wrongRoot.c_str());
    EXPECT_EQ(g_staticBody.geomCount, 0u);
    EXPECT_EQ(g_staticBody.group, nullptr);

    LoadStaticEnvironment(first.c_str());
    ClearStaticEnvironment();
    EXPECT_EQ(g_staticBody.geomCount, 0u);
    EXPECT_EQ(g_collisionWorld.bodyCount, 0u);
}
