// The cloth property on a curtain written here (a grid mesh hanging in the
// x-y plane, its top row anchored): the cloth file and its reader, binding
// and its refusals, seating, hanging and swinging in a ventilator's wind
// through the physics step (against invariants), teleports, the write-back,
// switching on and off, the developer mode with its picks, keys and written
// file, and a fixture location's curtain lying on a static box.
#include "Source/GameClasses/QmPropCloth.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmLayers.h"
#include "Engine/Core/Gm/GmMesh.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmScenicMesh.h"
#include "Engine/Core/Gm/GmVisual2D.h"
#include "Engine/Gui/GeMouse.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Physics/GePhysicsStep.h"
#include "Engine/Physics/GeStaticEnvironment.h"
#include "Source/GameClasses/QmEntityLoader.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmPropVentilator.h"
#include "tests/Engine/Core/Gm/MeshFixtures.h"
#include "tests/Source/GameClasses/LocationFixtures.h"

#include <tinyxml.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

namespace {

constexpr uint32_t kColumns = 5;
constexpr uint32_t kRows = 6;
constexpr float kSpacing = 10.0f;

uint32_t VertexAt(uint32_t row, uint32_t column)
{
    return row * kColumns + column;
}

// The curtain's mesh: kRows x kColumns vertices from (0, 0, 0) to the right
// and down, facing -z, two triangles a quad; extra vertices add a loose
// vertex beyond the grid.
std::string CurtainMesh(uint32_t extra = 0)
{
    std::vector<std::string> vertices;
    for (uint32_t r = 0; r < kRows; ++r)
        for (uint32_t c = 0; c < kColumns; ++c)
            vertices.push_back("XYZ=\"" + std::to_string(float(c) * kSpacing) + " " +
                               std::to_string(-float(r) * kSpacing) + " 0\" Normal=\"0 0 1\"");
    for (uint32_t i = 0; i < extra; ++i)
        vertices.push_back("XYZ=\"500 500 500\" Normal=\"0 0 1\"");
    std::vector<uint32_t> faces;
    for (uint32_t r = 0; r + 1 < kRows; ++r)
        for (uint32_t c = 0; c + 1 < kColumns; ++c)
            faces.insert(faces.end(), {VertexAt(r, c), VertexAt(r + 1, c), VertexAt(r, c + 1), VertexAt(r, c + 1),
                                       VertexAt(r + 1, c), VertexAt(r + 1, c + 1)});
    return meshfixture::WriteGeMeshXml(vertices, {faces});
}

// Every grid vertex a point, the top row anchored; springs along rows,
// columns and both diagonals.
std::string CurtainCloth(const std::string& rootAttributes = "")
{
    std::string text = "<cloth" + rootAttributes + ">\n<points>\n";
    for (uint32_t r = 0; r < kRows; ++r)
        for (uint32_t c = 0; c < kColumns; ++c)
            text += "<point index=\"" + std::to_string(VertexAt(r, c)) + "\"" + (r == 0 ? " anchor=\"1\"" : "") +
                    "/>\n";
    text += "</points>\n<springs>\n";
    auto spring = [&](uint32_t a, uint32_t b) {
        text += "<spring index1=\"" + std::to_string(a) + "\" index2=\"" + std::to_string(b) + "\"/>\n";
    };
    for (uint32_t r = 0; r < kRows; ++r) {
        for (uint32_t c = 0; c < kColumns; ++c) {
            if (c + 1 < kColumns)
                spring(VertexAt(r, c), VertexAt(r, c + 1));
            if (r + 1 < kRows)
                spring(VertexAt(r, c), VertexAt(r + 1, c));
            if (c + 1 < kColumns && r + 1 < kRows) {
                spring(VertexAt(r, c), VertexAt(r + 1, c + 1));
                spring(VertexAt(r, c + 1), VertexAt(r + 1, c));
            }
        }
    }
    return text + "</springs>\n</cloth>\n";
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Finite(const Vec3& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

class ClothTest : public LocationTest {
protected:
    void SetUp() override
    {
        LocationTest::SetUp();
        CQmPropCloth::ResetEditorModeClaim();
        tree.dir.Write("cloth/curtain.xml", CurtainCloth(" spring_rate=\"4\""));
    }

    void TearDown() override
    {
        entity.reset();
        ClearStaticEnvironment();
        CQmPropCloth::ResetEditorModeClaim();
        LocationTest::TearDown();
    }

    // The curtain entity at position: its mesh (with extra loose vertices)
    // and, when file is given, its cloth read from it and left off.
    CQmPropCloth* Curtain(const Vec3& position, const char* file = "cloth/curtain.xml", uint32_t extra = 0)
    {
        entity = std::make_unique<CQmEntity>();
        entity->name = "curtain";
        entity->frame.SetPosition(position);
        entity->frame.Invalidate();
        auto* visuals = new CQmPropVisualObject(entity.get());
        const std::string text = CurtainMesh(extra);
        const std::vector<uint8_t> bytes(text.begin(), text.end());
        mesh = new CGmMesh;
        EXPECT_TRUE(mesh->Load(meshfixture::FileOver("curtain.xml", bytes)));
        CGeArray<CGmMaterial*> materials;
        visuals->visuals.Add(new CGmScenicMesh(mesh, nullptr, materials));
        mesh->Release(); // the scenic mesh holds it
        entity->SetProp(QM_PROP_VISUAL_OBJECT, visuals);
        visuals->enabled = 1;
        entity->Update();
        auto* cloth = new CQmPropCloth(entity.get());
        cloth->LoadFromXML(file);
        entity->SetProp(QM_PROP_CLOTH, cloth);
        cloth->SetEnabled(false);
        return cloth;
    }

    Vec3 Vertex(uint32_t v) const
    {
        const CGmVertexBuffer& buffer = *mesh->vertexBuffer;
        const float* p = reinterpret_cast<const float*>(buffer.GetData() + v * buffer.Stride());
        return {p[0], p[1], p[2]};
    }
    Vec3 Normal(uint32_t v) const
    {
        const CGmVertexBuffer& buffer = *mesh->vertexBuffer;
        const float* p =
            reinterpret_cast<const float*>(buffer.GetData() + v * buffer.Stride() + buffer.Layout().normal);
        return {p[0], p[1], p[2]};
    }

    // One game frame: the timer, the entity's properties, the physics step.
    void Frame(double seconds = 0.04)
    {
        m_clock.ticks += static_cast<int64_t>(seconds * 1000.0 + 0.5);
        m_timer.Update();
        entity->Update();
        PhysicsStep(m_timer.delta, kPhysicsSubStep);
    }

    std::unique_ptr<CQmEntity> entity;
    CGmMesh* mesh = nullptr;
};

void ExpectNear(const Vec3& want, const Vec3& got, float tolerance, const std::string& what)
{
    EXPECT_NEAR(want.x, got.x, tolerance) << what;
    EXPECT_NEAR(want.y, got.y, tolerance) << what;
    EXPECT_NEAR(want.z, got.z, tolerance) << what;
}

} // namespace

TEST_F(ClothTest, TheFileGivesPointsSpringsAnchorsAndConstants)
{
    CQmEntity owner;
    CQmPropCloth cloth(&owner);
    tree.dir.Write("cloth/small.xml", R"(<cloth point_mass="0.5" spring_rate="-3" gravity_accel="-5"
        air_friction_factor="0" box_round_corner_radius="2">
      <points><point index="4" anchor="1"/><point index="7"/><point/><point index="9" anchor="2"/><point index="7"/></points>
      <springs><spring index1="4" index2="7"/><spring index1="9" index2="11"/><spring index2="4"/></springs>
    </cloth>)");
    cloth.LoadFromXML("cloth/small.xml");
    // The point without index is skipped; "anchor" is 1 or nothing.
    ASSERT_EQ(4u, cloth.geom.points.count);
    EXPECT_EQ(4u, CQmPropCloth::VertexOf(cloth.geom.points[0]));
    EXPECT_EQ(9u, CQmPropCloth::VertexOf(cloth.geom.points[2]));
    ASSERT_EQ(1u, cloth.anchors.count);
    EXPECT_EQ(0u, cloth.anchors[0]);
    // Spring ends find their table slot (the last matching point wins); an
    // end naming no point, or none at all, stays unset.
    ASSERT_EQ(3u, cloth.geom.springs.count);
    EXPECT_EQ(0u, cloth.geom.springs[0].i);
    EXPECT_EQ(3u, cloth.geom.springs[0].j);
    EXPECT_EQ(2u, cloth.geom.springs[1].i);
    EXPECT_EQ(kClothNone, cloth.geom.springs[1].j);
    EXPECT_EQ(kClothNone, cloth.geom.springs[2].i);
    EXPECT_EQ(0u, cloth.geom.springs[2].j);
    // Values that are not positive keep the defaults; gravity takes any.
    EXPECT_EQ(0.5f, cloth.params.pointMass);
    EXPECT_EQ(2.0f, cloth.params.springRate);
    EXPECT_EQ(-5.0f, cloth.params.gravityAccel);
    EXPECT_EQ(0.01f, cloth.params.airFriction);
    EXPECT_EQ(2.0f, cloth.params.cornerRadius);
    const ClothParamsBlock block = cloth.params.ToBlock();
    EXPECT_EQ(-5.0f, block.gravity[1]);
    EXPECT_EQ(0.0f, block.gravity[0]);
    EXPECT_EQ(0.005f, block.b);
    // Outside developer mode the tables are dropped and the cloth is linked.
    EXPECT_EQ(0u, cloth.pointTable.count);
    EXPECT_EQ(&g_clothWorld, cloth.body.group);
    EXPECT_EQ(&cloth.body, cloth.geom.space);

    // Files that give an empty cloth, out of the physics world.
    const struct {
        const char* text;
        const char* what;
    } empty[] = {
        {nullptr, "a missing file"},
        {"<ragdoll><points><point index=\"1\"/></points><springs><spring/></springs></ragdoll>", "another root"},
        {"<cloth><points><point index=\"1\"/></points><springs/></cloth>", "no springs"},
        {"<cloth><points/><springs><spring index1=\"0\" index2=\"1\"/></springs></cloth>", "no points"},
        {"<cloth><points><point/></points><springs><spring/></springs></cloth>", "no point with an index"},
        {"<cloth><points><point index=", "broken XML"},
    };
    for (const auto& c : empty) {
        std::filesystem::remove(tree.dir / "cloth/empty.xml");
        if (c.text)
            tree.dir.Write("cloth/empty.xml", c.text);
        cloth.LoadFromXML("cloth/small.xml");
        cloth.LoadFromXML("cloth/empty.xml");
        EXPECT_EQ(0u, cloth.geom.points.count) << c.what;
        EXPECT_EQ(0u, cloth.geom.springs.count) << c.what;
        EXPECT_EQ(0u, cloth.anchors.count) << c.what;
        EXPECT_EQ(nullptr, cloth.body.group) << c.what;
    }
}

TEST_F(ClothTest, OnlyTheFirstEditorModeFileOfARunTakesTheMode)
{
    tree.dir.Write("cloth/edit.xml", CurtainCloth(" editor_mode=\"TRUE\""));
    CQmEntity owner;
    CQmPropCloth first(&owner), second(&owner);
    first.LoadFromXML("cloth/edit.xml");
    second.LoadFromXML("cloth/edit.xml");
    EXPECT_EQ(1, first.editorMode);
    EXPECT_EQ(0, second.editorMode);
    // Developer mode keeps the tables and stays out of the physics world.
    EXPECT_EQ(kRows * kColumns, first.pointTable.count);
    EXPECT_EQ(nullptr, first.body.group);
    EXPECT_EQ(0u, second.pointTable.count);
    EXPECT_EQ(&g_clothWorld, second.body.group);
}

TEST_F(ClothTest, AVertexIndexPastTheMeshRefusesItAndSwitchesTheClothOff)
{
    tree.dir.Write("cloth/past.xml", "<cloth><points><point index=\"0\" anchor=\"1\"/><point index=\"30\"/></points>"
                                     "<springs><spring index1=\"0\" index2=\"30\"/></springs></cloth>");
    // 30 vertices: index 30 is one past the end; with one more vertex it fits.
    CQmPropCloth* cloth = Curtain({0, 0, 0}, "cloth/past.xml");
    cloth->SetEnabled(true);
    EXPECT_EQ(0, cloth->enabled);
    EXPECT_EQ(nullptr, cloth->mesh);
    EXPECT_EQ(nullptr, cloth->body.group);
    EXPECT_EQ(2, GeLogLastLevel());
    EXPECT_NE(std::string::npos, std::string(GeLogLastMessage().c_str()).find("CQmPropCloth::BindMesh"));

    cloth = Curtain({0, 0, 0}, "cloth/past.xml", 1);
    cloth->SetEnabled(true);
    EXPECT_EQ(1, cloth->enabled);
    EXPECT_NE(nullptr, cloth->mesh);

    // No mesh at all: off as well, also from an update.
    entity->SetProp(QM_PROP_VISUAL_OBJECT, nullptr);
    cloth->mesh = nullptr;
    cloth->enabled = 1;
    entity->Update();
    EXPECT_EQ(0, cloth->enabled);
    EXPECT_EQ(nullptr, cloth->body.group);
}

TEST_F(ClothTest, SeatingPlacesThePointsOnTheMeshAtTheEntity)
{
    CQmPropCloth* cloth = Curtain({100.0f, 50.0f, 20.0f});
    EXPECT_EQ(0, cloth->enabled);
    EXPECT_EQ(&g_clothWorld, cloth->body.group) << "an unused cloth is linked by loading";
    cloth->SetEnabled(true);
    ASSERT_EQ(1, cloth->enabled);
    EXPECT_EQ(0, cloth->needsSeating);
    const CGeClothGeom& geom = cloth->geom;
    ASSERT_EQ(kRows * kColumns, geom.points.count);
    for (uint32_t i = 0; i < geom.points.count; ++i) {
        const ClothPoint& p = geom.points[i];
        ExpectNear(Vec3{100.0f + float(i % kColumns) * kSpacing, 50.0f - float(i / kColumns) * kSpacing, 20.0f},
                   p.position, 1e-4f, "point " + std::to_string(i));
        EXPECT_EQ(i < kColumns ? 0.0f : 0.001f, p.mass) << i;
        // Every grid point lies in a triangle whose other corners are cloth
        // points: its two neighbours are set.
        EXPECT_NE(kClothNone, p.a) << i;
        EXPECT_NE(kClothNone, p.b) << i;
    }
    // Springs rest at their seated length: rows and columns 10, diagonals 10 sqrt 2.
    EXPECT_NEAR(kSpacing, geom.springs[0].restLength, 1e-4f);
    EXPECT_NEAR(kSpacing * std::sqrt(2.0f), geom.springs[2].restLength, 1e-4f);
    EXPECT_EQ(4.0f, geom.springs[0].stiffness);
    // The neighbours give the face's normal: +z, as the mesh says.
    CGeClothGeom copy;
    for (const ClothPoint& p : geom.points)
        copy.points.Add(p);
    copy.ComputeNormals();
    for (const ClothPoint& p : copy.points)
        ExpectNear(Vec3{0.0f, 0.0f, 1.0f}, p.normal, 1e-5f, "normal");
}

TEST_F(ClothTest, TheCurtainHangsAndSwingsInAVentilatorsWind)
{
    CQmPropCloth* cloth = Curtain({0.0f, 100.0f, 0.0f});
    auto* ventilator = new CQmPropVentilator(entity.get());
    ventilator->position = {20.0f, 60.0f, -100.0f};
    ventilator->direction = {0.0f, 0.0f, 1.0f};
    ventilator->force = 0.002f;
    entity->SetProp(QM_PROP_VENTILATOR, ventilator);
    cloth->SetEnabled(true);
    const Matrix4 seatWorld = entity->frame.world;
    CGeArray<Vec3> anchorsAt;
    for (uint32_t slot : cloth->anchors)
        anchorsAt.Add(cloth->geom.points[slot].position);

    // Still air: the curtain hangs in its plane, stretched a little down.
    for (int frame = 0; frame < 100; ++frame)
        Frame();
    const CGeClothGeom& geom = cloth->geom;
    for (const ClothPoint& p : geom.points) {
        ASSERT_TRUE(Finite(p.position));
        EXPECT_NEAR(0.0f, p.position.z, 1e-3f) << "no wind, no swing";
    }
    const float hangingBottom = geom.points[VertexAt(kRows - 1, 2)].position.y;
    EXPECT_LT(hangingBottom, 100.0f - float(kRows - 1) * kSpacing + 0.01f);

    // The ventilator blows along +z: every free row leaves the plane, the
    // lower rows farther, and the anchors stay where the entity holds them.
    ventilator->SetEnabled(true);
    float previousRow = 0.0f;
    for (int frame = 0; frame < 150; ++frame)
        Frame();
    for (uint32_t r = 1; r < kRows; ++r) {
        const float z = geom.points[VertexAt(r, 2)].position.z;
        EXPECT_GT(z, previousRow) << "row " << r;
        previousRow = z;
    }
    EXPECT_GT(previousRow, 5.0f) << "the bottom swings out";
    for (uint32_t i = 0; i < cloth->anchors.count; ++i)
        ExpectNear(anchorsAt[i], geom.points[cloth->anchors[i]].position, 1e-4f, "anchor");
    // No spring tears: every length stays below three times its rest.
    for (const ClothSpring& s : geom.springs) {
        const Vec3 d = {geom.points[s.j].position.x - geom.points[s.i].position.x,
                        geom.points[s.j].position.y - geom.points[s.i].position.y,
                        geom.points[s.j].position.z - geom.points[s.i].position.z};
        EXPECT_LT(d.Length(), 3.0f * s.restLength);
    }
    // The mesh shows it: each free vertex is its point in entity space, with
    // the point's normal; anchored vertices are never written.
    Matrix4 inverse;
    ASSERT_TRUE(MatrixInverse(seatWorld, inverse));
    for (const ClothPoint& p : geom.points) {
        const uint32_t v = CQmPropCloth::VertexOf(p);
        if (p.mass == 0.0f) {
            ExpectNear(Vec3{float(v % kColumns) * kSpacing, 0.0f, 0.0f}, Vertex(v), 0.0f, "anchored vertex");
            continue;
        }
        // The vertex holds the point of the last write-back, made before the
        // frame's step: one frame behind the point, never far.
        ExpectNear(MatrixTransformPoint(inverse, p.position), Vertex(v), 3.0f, "vertex " + std::to_string(v));
        EXPECT_NEAR(1.0f, Normal(v).Length(), 1e-4f);
    }

    // The wind stops: the curtain swings back toward its plane.
    ventilator->SetEnabled(false);
    const float blown = geom.points[VertexAt(kRows - 1, 2)].position.z;
    for (int frame = 0; frame < 300; ++frame)
        Frame();
    EXPECT_LT(std::fabs(geom.points[VertexAt(kRows - 1, 2)].position.z), 0.5f * blown);
}

TEST_F(ClothTest, AnEntityThatJumpsReseatsItsClothAndAShortMoveDragsIt)
{
    CQmPropCloth* cloth = Curtain({0.0f, 0.0f, 0.0f});
    cloth->SetEnabled(true);
    for (int frame = 0; frame < 20; ++frame)
        Frame();
    // 40 ms allows min(150, 0.04 x 1500) = 60 units: a move of 50 drags the
    // anchors along, the free points follow through the springs.
    entity->frame.SetPosition({50.0f, 0.0f, 0.0f});
    entity->frame.Invalidate();
    Frame();
    const ClothPoint& dragged = cloth->geom.points[VertexAt(kRows - 1, 0)];
    EXPECT_LT(dragged.position.x, 40.0f) << "the bottom lags behind";
    EXPECT_EQ(50.0f, cloth->geom.points[0].position.x);

    // A jump of 1000 re-seats: every point at its vertex through the new
    // place, at rest.
    entity->frame.SetPosition({1050.0f, 0.0f, 0.0f});
    entity->frame.Invalidate();
    m_clock.ticks += 40;
    m_timer.Update();
    entity->Update();
    const ClothPoint& moved = cloth->geom.points[VertexAt(kRows - 1, 0)];
    const Vec3 vertex = Vertex(VertexAt(kRows - 1, 0));
    ExpectNear(Vec3{1050.0f + vertex.x, vertex.y, vertex.z}, moved.position, 1e-3f, "re-seated");
    ExpectNear(Vec3{0.0f, 0.0f, 0.0f}, moved.velocity, 0.0f, "at rest");
}

TEST_F(ClothTest, TheWriteBackTurnsNormalsIntoEntitySpaceAndSkipsAFlatEntity)
{
    CQmPropCloth* cloth = Curtain({0.0f, 0.0f, 0.0f});
    entity->frame.SetAngles({0.0f, 1.57079633f, 0.0f});
    entity->frame.Invalidate();
    entity->Update();
    cloth->SetEnabled(true);
    // A free point facing world +x faces, in the turned entity's space, the
    // direction that the turn takes to +x.
    ClothPoint& p = cloth->geom.points[VertexAt(3, 3)];
    p.normal = {1.0f, 0.0f, 0.0f};
    entity->Update();
    const Vec3 expected = MatrixTransformNormal(
        [&] {
            Matrix4 inverse;
            MatrixInverse(entity->frame.world, inverse);
            return inverse;
        }(),
        Vec3{1.0f, 0.0f, 0.0f});
    ExpectNear(expected, Normal(VertexAt(3, 3)), 1e-5f, "normal");
    EXPECT_GT(std::fabs(expected.z), 0.99f);

    // Scale 0: no inverse, the frame's write-back is skipped.
    const Vec3 kept = Vertex(VertexAt(3, 3));
    p.position = {999.0f, 999.0f, 999.0f};
    entity->frame.SetScale({0.0f, 0.0f, 0.0f});
    entity->frame.Invalidate();
    cloth->lastPosition = {0.0f, 0.0f, 0.0f};
    m_clock.ticks += 40;
    m_timer.Update();
    entity->Update();
    ExpectNear(kept, Vertex(VertexAt(3, 3)), 0.0f, "untouched");
}

TEST_F(ClothTest, SwitchingLinksAndUnlinksThroughTheReaderAndTheLocation)
{
    TiXmlDocument document;
    document.Parse("<entity name=\"curtain\"><cloth file=\"cloth/curtain.xml\"/></entity>");
    std::unique_ptr<CQmEntity> read(LoadEntity(document.RootElement(), false, nullptr));
    auto* cloth = read->Prop<CQmPropCloth>(QM_PROP_CLOTH);
    ASSERT_NE(nullptr, cloth);
    EXPECT_EQ(0, cloth->enabled);
    EXPECT_EQ(kRows * kColumns, cloth->geom.points.count);
    EXPECT_EQ(&g_clothWorld, cloth->body.group);
    read.reset();

    cloth = Curtain({0, 0, 0});
    const uint32_t bodies = g_clothWorld.bodyCount;
    const struct {
        bool flag;
        uint8_t enabled;
        bool linked;
    } steps[] = {{false, 0, true}, {true, 1, true}, {true, 1, true}, {false, 0, false}, {false, 0, true}, {true, 1, true}};
    for (const auto& step : steps) {
        cloth->SetEnabled(step.flag);
        EXPECT_EQ(step.enabled, cloth->enabled);
        EXPECT_EQ(step.linked, cloth->body.group == &g_clothWorld);
        EXPECT_EQ(bodies - (step.linked ? 0 : 1), g_clothWorld.bodyCount);
    }
    // The location stop switches every cloth off, out of the world.
    entity->StopAllProps();
    EXPECT_EQ(0, cloth->enabled);
    EXPECT_EQ(nullptr, cloth->body.group);
    entity.reset();
    EXPECT_EQ(bodies - 1, g_clothWorld.bodyCount);
}

TEST_F(ClothTest, TheDeveloperModeEditsAndWritesAFileThatReadsBack)
{
    tree.dir.Write("cloth/edit.xml", "<cloth editor_mode=\"true\"><points><point index=\"0\" anchor=\"1\"/>"
                                     "<point index=\"1\"/></points><springs><spring index1=\"0\" index2=\"1\"/>"
                                     "</springs></cloth>");
    CQmPropCloth* cloth = Curtain({0, 0, 0}, "cloth/edit.xml");
    ASSERT_EQ(1, cloth->editorMode);
    cloth->SetEnabled(true);
    entity->Update(); // binds the mesh
    ASSERT_NE(nullptr, cloth->mesh);
    auto hold = [&](std::initializer_list<CQmPropCloth::Key> held) {
        for (int16_t& key : cloth->keys)
            key = 0;
        for (CQmPropCloth::Key key : held)
            cloth->keys[key] = int16_t(0x8000);
    };
    // Picks by rays along +z onto vertices 6 and 12; a second pick of the
    // same vertex is not taken.
    auto pick = [&](uint32_t vertex) {
        const Vec3 at = Vertex(vertex);
        cloth->PickVertex({at.x, at.y, -100.0f}, {0.0f, 0.0f, 1.0f});
    };
    hold({});
    pick(6);
    pick(6);
    EXPECT_EQ(6, cloth->selection[0]);
    EXPECT_EQ(-1, cloth->selection[1]);
    pick(12);
    EXPECT_EQ(12, cloth->selection[1]);
    hold({CQmPropCloth::KEY_CTRL, CQmPropCloth::KEY_A});
    cloth->DeveloperStep();
    EXPECT_EQ(-1, cloth->selection[0]);
    ASSERT_EQ(4u, cloth->pointTable.count);
    ASSERT_EQ(2u, cloth->springTable.count);
    EXPECT_EQ(6, cloth->springTable[1].index1);
    EXPECT_EQ(3, cloth->springTable[1].slot2);
    // The same pair in the other order adds nothing.
    hold({});
    pick(12);
    pick(6);
    hold({CQmPropCloth::KEY_CTRL, CQmPropCloth::KEY_A});
    cloth->DeveloperStep();
    EXPECT_EQ(2u, cloth->springTable.count);
    // Ctrl + F + pick toggles an anchor; a vertex outside the table is ignored.
    hold({CQmPropCloth::KEY_CTRL, CQmPropCloth::KEY_F});
    pick(12);
    pick(0);
    pick(29);
    EXPECT_EQ(1, cloth->pointTable[3].anchor);
    EXPECT_EQ(0, cloth->pointTable[0].anchor);
    EXPECT_EQ(1u, cloth->anchors.count);

    // Ctrl + Space held over three frames writes one file, in the current
    // directory; Ctrl shows the wireframe.
    const std::filesystem::path previous = std::filesystem::current_path();
    CTestTempDir work;
    std::filesystem::current_path(work.Path());
    hold({CQmPropCloth::KEY_CTRL, CQmPropCloth::KEY_SPACE});
    for (int frame = 0; frame < 3; ++frame)
        cloth->DeveloperStep();
    EXPECT_EQ(1, cloth->wireframe);
    hold({});
    cloth->DeveloperStep();
    hold({CQmPropCloth::KEY_CTRL, CQmPropCloth::KEY_SPACE});
    cloth->DeveloperStep();
    std::filesystem::current_path(previous);
    EXPECT_EQ(2, cloth->fileCounter);
    EXPECT_FALSE(std::filesystem::exists(work / "cloth_physics_2.xml"));
    const std::string written = ReadText(work / "cloth_physics_0.xml");
    EXPECT_EQ("<cloth editor_mode=\"true\">\n"
              "\t<points>\n"
              "\t\t<point index=\"0\"/>\n"
              "\t\t<point index=\"1\"/>\n"
              "\t\t<point index=\"6\"/>\n"
              "\t\t<point index=\"12\" anchor=\"1\"/>\n"
              "\t</points>\n"
              "\t<springs>\n"
              "\t\t<spring index1=\"0\" index2=\"1\"/>\n"
              "\t\t<spring index1=\"6\" index2=\"12\"/>\n"
              "\t</springs>\n"
              "</cloth>\n",
              written);

    // Read back (the run's developer mode is taken: an ordinary cloth).
    tree.dir.Write("cloth/back.xml", written);
    CQmEntity owner;
    CQmPropCloth back(&owner);
    back.LoadFromXML("cloth/back.xml");
    EXPECT_EQ(0, back.editorMode);
    ASSERT_EQ(4u, back.geom.points.count);
    EXPECT_EQ(12u, CQmPropCloth::VertexOf(back.geom.points[3]));
    ASSERT_EQ(1u, back.anchors.count);
    EXPECT_EQ(3u, back.anchors[0]);
    ASSERT_EQ(2u, back.geom.springs.count);
    EXPECT_EQ(2u, back.geom.springs[1].i);
    EXPECT_EQ(3u, back.geom.springs[1].j);

    // Ctrl + D removes the selected spring, Ctrl + L empties everything.
    hold({});
    pick(6);
    pick(12);
    hold({CQmPropCloth::KEY_CTRL, CQmPropCloth::KEY_D});
    cloth->DeveloperStep();
    EXPECT_EQ(1u, cloth->springTable.count);
    hold({CQmPropCloth::KEY_CTRL, CQmPropCloth::KEY_L});
    cloth->DeveloperStep();
    EXPECT_EQ(0u, cloth->pointTable.count);
    EXPECT_EQ(0u, cloth->anchors.count);
}

TEST_F(ClothTest, DeveloperKeysMoveAndTurnTheEntity)
{
    tree.dir.Write("cloth/edit.xml", CurtainCloth(" editor_mode=\"true\""));
    CQmPropCloth* cloth = Curtain({0, 0, 0}, "cloth/edit.xml");
    // No camera: the view runs along +z, its side along -x; 40 ms frames.
    m_clock.ticks += 40;
    m_timer.Update();
    const struct {
        CQmPropCloth::Key key;
        Vec3 moved;
        float turned;
    } cases[] = {
        {CQmPropCloth::KEY_LEFT, {-4.0f, 0.0f, 0.0f}, 0.0f}, {CQmPropCloth::KEY_RIGHT, {4.0f, 0.0f, 0.0f}, 0.0f},
        {CQmPropCloth::KEY_UP, {0.0f, 4.0f, 0.0f}, 0.0f},    {CQmPropCloth::KEY_DOWN, {0.0f, -4.0f, 0.0f}, 0.0f},
        {CQmPropCloth::KEY_HOME, {0.0f, 0.0f, -8.0f}, 0.0f}, {CQmPropCloth::KEY_END, {0.0f, 0.0f, 8.0f}, 0.0f},
        {CQmPropCloth::KEY_DELETE, {0.0f, 0.0f, 0.0f}, 0.04f}, {CQmPropCloth::KEY_PAGE_DOWN, {0.0f, 0.0f, 0.0f}, -0.04f},
    };
    for (const auto& c : cases) {
        const Vec3 before = entity->frame.position;
        const float angle = entity->frame.angles.y;
        for (int16_t& key : cloth->keys)
            key = 0;
        cloth->keys[c.key] = int16_t(0x8000);
        cloth->DeveloperStep();
        ExpectNear(c.moved,
                   Vec3{entity->frame.position.x - before.x, entity->frame.position.y - before.y,
                        entity->frame.position.z - before.z},
                   1e-4f, "key " + std::to_string(c.key));
        EXPECT_NEAR(c.turned, entity->frame.angles.y - angle, 1e-6f) << c.key;
    }
    // Ctrl + Left is no move.
    const Vec3 before = entity->frame.position;
    cloth->keys[CQmPropCloth::KEY_PAGE_DOWN] = 0;
    cloth->keys[CQmPropCloth::KEY_LEFT] = int16_t(0x8000);
    cloth->keys[CQmPropCloth::KEY_CTRL] = int16_t(0x8000);
    cloth->DeveloperStep();
    EXPECT_EQ(before.x, entity->frame.position.x);
}

namespace {

// The real location loader on a fixture location: a curtain hanging over a
// static box with a ventilator beside it, read from files.
class ClothLocationTest : public ClothTest {
protected:
    void SetUp() override
    {
        ClothTest::SetUp();
        g_pGmResCollector = &collector;
        g_pGmLayers = &layers;
        CQmLocationManager::SetLoader(nullptr);
        tree.dir.Write("meshes/curtain.xml", CurtainMesh());
        // The curtain is turned flat at y = 100 (its rows run along -z from
        // the anchored edge at z = 0); the box under its free part has its
        // top at y = 80. The ventilator, high up on the -x side, blows down
        // on it and along +x.
        tree.dir.Write("physics/yard.xml", "<static_environment>"
                                           "<geom type=\"aabb\" size=\"60 80 55\" pos=\"20 40 -32.5\"/>"
                                           "</static_environment>");
        tree.dir.Write("Locations/yard.xml", R"(<location>
  <physical_environment file="physics/yard.xml"/>
  <entity name="curtain" pos="0 100 0" rot="90 0 0">
    <visual_object><mesh filename="meshes/curtain.xml"/></visual_object>
    <cloth file="cloth/curtain.xml"/>
  </entity>
  <entity name="fan" pos="-100 200 -25">
    <ventilator pos="-100 200 -25" dir="1 -1 0" force="0.0005"/>
  </entity>
</location>)");
    }

    void TearDown() override
    {
        manager.Clear();
        g_pGmLayers = nullptr;
        g_pGmResCollector = nullptr;
        ClothTest::TearDown();
    }

    void Run(CQmLocation& location, int frames)
    {
        for (int frame = 0; frame < frames; ++frame) {
            Tick(location, 0.04);
            PhysicsStep(m_timer.delta, kPhysicsSubStep);
        }
    }

    CGmResCollector collector;
    CGmLayers layers;
};

} // namespace

TEST_F(ClothLocationTest, ACurtainBlownByAVentilatorLiesOnAStaticBoxAndSwitchesOffAndOn)
{
    CQmLocation* location = manager.ChangeLocation(tree.Path("yard").c_str());
    ASSERT_NE(nullptr, location);
    CQmEntity* curtain = location->FindEntity("curtain");
    CQmEntity* fan = location->FindEntity("fan");
    ASSERT_NE(nullptr, curtain);
    ASSERT_NE(nullptr, fan);
    auto* cloth = curtain->Prop<CQmPropCloth>(QM_PROP_CLOTH);
    auto* ventilator = fan->Prop<CQmPropVentilator>(QM_PROP_VENTILATOR);
    ASSERT_NE(nullptr, cloth);
    ASSERT_NE(nullptr, ventilator);
    EXPECT_EQ(1u, g_staticBody.geomCount);
    // The location's activation leaves both off; the scene's script turns
    // them on.
    EXPECT_EQ(0, cloth->enabled);
    EXPECT_EQ(0, ventilator->enabled);
    cloth->SetEnabled(true);
    const CGeClothGeom& geom = cloth->geom;
    ASSERT_NEAR(-50.0f, geom.points[VertexAt(kRows - 1, 0)].position.z, 1e-3f) << "the curtain lies flat";
    auto meanX = [&] {
        float sum = 0.0f;
        for (const ClothPoint& p : geom.points)
            sum += p.position.x;
        return sum / float(geom.points.count);
    };
    // The free part falls onto the box and lies on its top; nothing goes
    // into the box.
    Run(*location, 150);
    const float still = meanX();
    auto expectOnTheBox = [&](const char* when) {
        for (const ClothPoint& p : geom.points) {
            ASSERT_TRUE(Finite(p.position)) << when;
            // The box's edges are rounded by the cloth's margin of 3: within
            // 3 of an edge a point may sit that deep below the top.
            const bool over = p.position.x > -10.0f && p.position.x < 50.0f && p.position.z > -60.0f &&
                              p.position.z < -5.0f;
            const bool inner = p.position.x > -7.0f && p.position.x < 47.0f && p.position.z > -57.0f &&
                               p.position.z < -8.0f;
            if (over) {
                EXPECT_GE(p.position.y, 77.0f) << when << ": no point inside the rounded box";
            }
            if (inner) {
                EXPECT_GE(p.position.y, 80.0f - 1e-3f) << when << ": no point inside the box";
            }
        }
        const ClothPoint& far = geom.points[VertexAt(kRows - 1, 2)];
        EXPECT_NEAR(81.5f, far.position.y, 2.0f) << when << ": the far edge rests on the box, not below it";
    };
    expectOnTheBox("still air");
    // The wind presses it on and drives it along +x.
    ventilator->SetEnabled(true);
    Run(*location, 150);
    expectOnTheBox("in the wind");
    EXPECT_GT(meanX(), still + 1.0f) << "blown along +x";
    const ClothPoint& bottom = geom.points[VertexAt(kRows - 1, 2)];

    // Switched off ("EnableEntityProperty" false): out of the physics world,
    // the points stay where they were.
    cloth->SetEnabled(false);
    EXPECT_EQ(nullptr, cloth->body.group);
    const Vec3 kept = bottom.position;
    Run(*location, 20);
    ExpectNear(kept, geom.points[VertexAt(kRows - 1, 2)].position, 0.0f, "frozen while off");
    // On again: re-seated from the mesh at the entity and simulated again.
    cloth->SetEnabled(true);
    EXPECT_EQ(&g_clothWorld, cloth->body.group);
    Run(*location, 20);
    expectOnTheBox("on again");

    // Leaving the location switches both off.
    location->Stop();
    EXPECT_EQ(0, cloth->enabled);
    EXPECT_EQ(nullptr, cloth->body.group);
    EXPECT_EQ(0, ventilator->enabled);
}

TEST_F(ClothTest, TheMousesRightButtonPicksTheVertexUnderTheCursor)
{
    tree.dir.Write("cloth/edit.xml", CurtainCloth(" editor_mode=\"true\""));
    CQmPropCloth* cloth = Curtain({0, 0, 0}, "cloth/edit.xml");
    cloth->SetEnabled(true);
    entity->Update(); // binds the mesh
    // The current camera looks at the curtain from 100 in front; the mouse
    // reports reference pixels at the 2D scale 2 of a half-size back buffer.
    CGmPerspectiveCamera camera;
    camera.screenWidth = 320;
    camera.screenHeight = 240;
    camera.eye = {20.0f, -25.0f, -100.0f};
    camera.target = {20.0f, -25.0f, 0.0f};
    camera.Apply({0, 0, 320, 240, 0.0f, 1.0f});
    CGmCamera* previousCamera = CGeHub::s_cameras3d[0];
    CGeMouseState* previousMouse = g_mouse;
    const float previousScale[2] = {g_gm2dScale[0][0], g_gm2dScale[0][1]};
    CGeHub::s_cameras3d[0] = &camera;
    g_gm2dScale[0][0] = g_gm2dScale[0][1] = 2.0f;
    CGeMouseState mouse;
    mouse.SetTypeId((GE_MOUSE_CATEGORY << 16) | CGeTypedObject::kUntyped);
    g_mouse = &mouse;
    CCiMessageClient stranger;

    auto pointAt = [&](uint32_t vertex) {
        const Vec4 p = camera.ProjectPoint(Vertex(vertex));
        mouse.x = p.x * 2.0f;
        mouse.y = p.y * 2.0f;
    };
    const struct {
        CCiMessageClient* sender;
        uint32_t code;
        uint32_t vertex;
        int32_t selected;
        const char* what;
    } cases[] = {
        {&mouse, GeMousePressCode(0), 7, -1, "the left button does not pick"},
        {&mouse, GeMousePressCode(1) + 1, 7, -1, "nor does the right button's release"},
        {&stranger, GeMousePressCode(1), 7, -1, "nor a code 5 from another sender"},
        {&mouse, GeMousePressCode(1), 7, 7, "the right button picks"},
    };
    for (const auto& c : cases) {
        pointAt(c.vertex);
        cloth->HandleMessage(c.sender, c.code);
        EXPECT_EQ(c.selected, cloth->selection[0]) << c.what;
    }
    pointAt(23);
    cloth->HandleMessage(&mouse, GeMousePressCode(1));
    EXPECT_EQ(23, cloth->selection[1]);

    g_mouse = previousMouse;
    CGeHub::s_cameras3d[0] = previousCamera;
    g_gm2dScale[0][0] = previousScale[0];
    g_gm2dScale[0][1] = previousScale[1];
}
