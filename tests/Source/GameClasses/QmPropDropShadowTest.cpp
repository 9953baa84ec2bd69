// Drop shadows: the "drop_shadow" reader, the quads' vertices against a plain
// model of "on the ground, pulled along the line of sight to the quad's
// nearest depth" for a fixed camera and a turned owner (no floor, a flat and
// a sloped walk grid, a bone, a bone the skeleton lacks), the indices and
// colours, the shadow visual following the shadow mode and the enabled
// state, and the blob it draws on the headless device.
#include "Engine/Anim/GmMeshResource.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmIndexBuffer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmMesh.h"
#include "Engine/Core/Gm/GmScenicMesh.h"
#include "Engine/Core/Gm/GmShadow.h"
#include "Source/GameClasses/QmAiMap.h"
#include "Source/GameClasses/QmEntityLoader.h"
#include "Source/GameClasses/QmPropDropShadow.h"
#include "tests/Source/GameClasses/FigureFixtures.h"
#include "tests/Source/GameClasses/PackedDeviceFixture.h"
#include "tests/Source/GameClasses/ScriptLocationFixture.h"
#include "tests/Source/GameClasses/WalkGridFixtures.h"

#include <tinyxml.h>

#include <cmath>
#include <cstring>
#include <memory>

namespace {

struct QuadCase {
    const char* xml;
    bool made;
    std::vector<QmDropShadowQuad> quads;
};

class QmPropDropShadowTest : public ScriptLocationTest {
protected:
    void SetUp() override
    {
        ScriptLocationTest::SetUp();
        previousCamera = CGeHub::s_cameras3d[CGeHub::s_currentSlot];
        // Above and behind the scene, looking down at the origin.
        camera.eye = {2.0f, 30.0f, -40.0f};
        camera.target = {0.0f, 0.0f, 0.0f};
        camera.UpdateView();
        camera.frame.UpdateWorldMatrix();
        MatrixInverse(camera.frame.world, camera.view);
        CGeHub::s_cameras3d[CGeHub::s_currentSlot] = &camera;
        g_shadowMode = kQmShadowModeDrop;
    }

    void TearDown() override
    {
        g_shadowMode = 0;
        CGeHub::s_cameras3d[CGeHub::s_currentSlot] = previousCamera;
        delete figure;
        ScriptLocationTest::TearDown();
    }

    CQmPropDropShadow* Read(CQmEntity& entity, const char* xml)
    {
        TiXmlDocument document;
        document.Parse(xml);
        FindPropertyTag("drop_shadow")->reader(entity, document.RootElement());
        return entity.Prop<CQmPropDropShadow>(QM_PROP_DROP_SHADOW);
    }

    // A figure at (3, 1, 4) turned a quarter about y, with a chain skeleton
    // whose joint 2 stands at (1.5, 2, -0.5) in the figure's space.
    CQmEntity& Figure()
    {
        figure = figure::MakeEntity("figure", 4);
        figure->frame.SetPosition({3.0f, 1.0f, 4.0f});
        figure->frame.SetAngles({0.0f, 1.5707963f, 0.0f});
        figure->frame.UpdateWorldMatrix();
        CGmVisualObject* visual = figure->Prop<CQmPropVisualObject>(QM_PROP_VISUAL_OBJECT)->visuals[0];
        visual->frame.UpdateWorldMatrix();
        auto* bones = dynamic_cast<CGmMeshResource*>(dynamic_cast<CGmScenicMesh*>(visual)->skeleton);
        bones->world[2].m[3] = 1.5f;
        bones->world[2].m[7] = 2.0f;
        bones->world[2].m[11] = -0.5f;
        return *figure;
    }

    void UseGrid(const WalkGridOptions& options)
    {
        auto* grid = new CQmAiMap();
        ASSERT_TRUE(LoadPicture(*grid, std::vector<std::string>(30, std::string(30, '.')), options));
        location->walkGrids[location->walkGridCount++] = grid;
        location->activeWalkGrid = 0;
    }

    // Depth along the camera's line of sight.
    float DepthOf(const Vec3& p) const
    {
        Vec3 forward = {camera.target.x - camera.eye.x, camera.target.y - camera.eye.y,
                        camera.target.z - camera.eye.z};
        forward.Normalize();
        return (p.x - camera.eye.x) * forward.x + (p.y - camera.eye.y) * forward.y + (p.z - camera.eye.z) * forward.z;
    }

    // Where a corner's ground point is drawn: on the ray from the eye through
    // it, at the depth given.
    Vec3 Pulled(const Vec3& ground, float depth) const
    {
        const float t = depth / DepthOf(ground);
        return {camera.eye.x + (ground.x - camera.eye.x) * t, camera.eye.y + (ground.y - camera.eye.y) * t,
                camera.eye.z + (ground.z - camera.eye.z) * t};
    }

    const QmDropShadowVertex* Vertices(const CQmPropDropShadow& shadow) const
    {
        return reinterpret_cast<const QmDropShadowVertex*>(shadow.geometry->vertexBuffer->GetData());
    }

    // Every corner of every quad against the model; ground(x, z) is the floor
    // height at a corner, NAN for none.
    template <typename Ground>
    void ExpectOnModel(const CQmPropDropShadow& shadow, Ground ground, const char* what)
    {
        const Matrix4& owner = shadow.ownerVisual ? shadow.ownerVisual->frame.world : shadow.owner->frame.world;
        const struct {
            float sx, sz, u, v;
        } corners[4] = {{1, 1, 0, 0}, {1, -1, 1, 0}, {-1, 1, 0, 1}, {-1, -1, 1, 1}};
        for (uint32_t i = 0; i < shadow.quads.Count(); ++i) {
            const QmDropShadowQuad& quad = shadow.quads[i];
            Vec3 centre = {0.0f, 0.0f, 0.0f};
            if (quad.bone == 2)
                centre = {1.5f, 0.0f, -0.5f};
            const float depth = DepthOf(MatrixTransformPoint(owner, centre)) -
                                0.5f * std::sqrt(quad.width * quad.width + quad.depth * quad.depth);
            for (uint32_t k = 0; k < 4; ++k) {
                SCOPED_TRACE(std::string(what) + " quad " + std::to_string(i) + " corner " + std::to_string(k));
                const Vec3 local = {centre.x + corners[k].sx * quad.width * 0.5f, 0.0f,
                                    centre.z + corners[k].sz * quad.depth * 0.5f};
                Vec3 world = MatrixTransformPoint(owner, local);
                const float floor = ground(world.x, world.z);
                if (!std::isnan(floor))
                    world.y = floor;
                const Vec3 expected = Pulled(world, depth);
                const QmDropShadowVertex& v = Vertices(shadow)[4 * i + k];
                const Vec3 drawn = MatrixTransformPoint(shadow.visual->frame.world, {v.x, v.y, v.z});
                EXPECT_NEAR(expected.x, drawn.x, 2e-3f);
                EXPECT_NEAR(expected.y, drawn.y, 2e-3f);
                EXPECT_NEAR(expected.z, drawn.z, 2e-3f);
                EXPECT_EQ(corners[k].u, v.u);
                EXPECT_EQ(corners[k].v, v.v);
            }
        }
    }

    CGmPerspectiveCamera camera;
    CGmCamera* previousCamera = nullptr;
    CQmEntity* figure = nullptr;
};

} // namespace

TEST_F(QmPropDropShadowTest, ReaderMakesQuadsWithTheirDefaults)
{
    const QuadCase cases[] = {
        {"<drop_shadow><quad/></drop_shadow>", false, {}},
        {"<drop_shadow material=\"\"><quad/></drop_shadow>", false, {}},
        {"<drop_shadow material=\"materials/blob.xml\"/>", true, {}},
        {"<drop_shadow material=\"materials/blob.xml\"><quad/></drop_shadow>", true, {{0.0f, 0.0f, 1.0f, -1}}},
        {"<drop_shadow material=\"materials/blob.xml\"><quad bone=\"3\" alpha=\"0.25\" size=\"2 4\"/>"
         "<ball size=\"9 9\"/><quad alpha=\"dark\" size=\"7\"/></drop_shadow>",
         true,
         {{2.0f, 4.0f, 0.25f, 3}, {7.0f, 0.0f, 0.0f, -1}}},
    };
    for (const QuadCase& c : cases) {
        SCOPED_TRACE(c.xml);
        CQmEntity entity;
        CQmPropDropShadow* shadow = Read(entity, c.xml);
        ASSERT_EQ(c.made, shadow != nullptr);
        if (!shadow)
            continue;
        ASSERT_EQ(c.quads.size(), shadow->quads.Count());
        for (uint32_t i = 0; i < shadow->quads.Count(); ++i) {
            EXPECT_EQ(c.quads[i].width, shadow->quads[i].width);
            EXPECT_EQ(c.quads[i].depth, shadow->quads[i].depth);
            EXPECT_EQ(c.quads[i].alpha, shadow->quads[i].alpha);
            EXPECT_EQ(c.quads[i].bone, shadow->quads[i].bone);
        }
        // Built and switched on: 4 vertices and 6 indices a quad, one range.
        EXPECT_TRUE(shadow->enabled);
        ASSERT_NE(nullptr, shadow->visual);
        EXPECT_EQ(kQmDropShadowVertexFlags, shadow->geometry->vertexBuffer->Flags());
        EXPECT_EQ(4 * c.quads.size(), shadow->geometry->vertexBuffer->Count());
        if (!c.quads.empty()) {
            EXPECT_EQ(6 * c.quads.size(), shadow->geometry->indexBuffer->Count());
            ASSERT_EQ(1u, shadow->geometry->drawRanges.Count());
            EXPECT_EQ(2 * c.quads.size(), shadow->geometry->drawRanges[0].primitiveCount);
            EXPECT_TRUE(layers.Contains(1, shadow->visual));
        }
    }

    // Alphas beyond 0 to 1 (and one that is not a number) are clamped in the
    // colour, white below it.
    CQmEntity entity;
    CQmPropDropShadow* shadow = Read(entity, "<drop_shadow material=\"m.xml\"><quad alpha=\"7\"/>"
                                             "<quad alpha=\"-1\"/><quad alpha=\"nan\"/></drop_shadow>");
    ASSERT_NE(nullptr, shadow);
    const uint32_t colours[3] = {0xFFFFFFFF, 0x00FFFFFF, 0x00FFFFFF};
    for (uint32_t i = 0; i < 3; ++i)
        EXPECT_EQ(colours[i], Vertices(*shadow)[4 * i + 3].color) << i;
}

TEST_F(QmPropDropShadowTest, CornersLieOnTheGroundPulledTowardsTheEye)
{
    CQmEntity& owner = Figure();
    CQmPropDropShadow* shadow =
        Read(owner, "<drop_shadow material=\"materials/blob.xml\"><quad size=\"4 2\" alpha=\"0.5\"/>"
                    "<quad bone=\"2\" size=\"1 3\"/><quad bone=\"4\" size=\"2 2\"/><quad bone=\"-7\" size=\"2 1\"/>"
                    "</drop_shadow>");
    ASSERT_NE(nullptr, shadow);
    ASSERT_EQ(4u, shadow->quads.Count());
    EXPECT_EQ(owner.Prop<CQmPropVisualObject>(QM_PROP_VISUAL_OBJECT)->visuals[0], shadow->ownerVisual);

    // No walk grid: the corners stay at the owner's height 0 (world y 1).
    shadow->Update();
    ExpectOnModel(*shadow, [](float, float) { return NAN; }, "no grid");

    // A flat floor at 3.
    WalkGridOptions flat;
    flat.originX = -15.0f;
    flat.originZ = -15.0f;
    flat.heightBase = 3.0f;
    UseGrid(flat);
    shadow->Update();
    ExpectOnModel(*shadow, [](float, float) { return 3.0f; }, "flat");

    // A sloped floor: the four corners of a quad get different heights.
    delete location->walkGrids[0];
    location->walkGridCount = 0;
    WalkGridOptions sloped = flat;
    sloped.slopeX = 0.5f;
    sloped.slopeZ = -0.25f;
    UseGrid(sloped);
    const CQmAiMap* grid = location->CurrentWalkGrid();
    EXPECT_NE(grid->GetHeight(1.0f, 3.0f), grid->GetHeight(5.0f, 3.0f));
    shadow->Update();
    ExpectOnModel(*shadow, [grid](float x, float z) { return grid->GetHeight(x, z); }, "sloped");

    // Beyond the grid there is no floor: back at the owner's height.
    owner.frame.SetPosition({40.0f, 1.0f, 40.0f});
    owner.frame.UpdateWorldMatrix();
    shadow->ownerVisual->frame.UpdateWorldMatrix();
    EXPECT_EQ(kAiNoHeight, grid->GetHeight(40.0f, 40.0f));
    shadow->Update();
    ExpectOnModel(*shadow, [](float, float) { return NAN; }, "off the grid");

    // Indices (4i, 4i+1, 4i+2), (4i+1, 4i+3, 4i+2); white with the alpha.
    const auto* indices = reinterpret_cast<const uint16_t*>(shadow->geometry->indexBuffer->GetData());
    const uint16_t second[6] = {4, 5, 6, 5, 7, 6};
    for (uint32_t n = 0; n < 6; ++n)
        EXPECT_EQ(second[n], indices[6 + n]) << n;
    EXPECT_EQ(0x80FFFFFFu, Vertices(*shadow)[0].color);
    EXPECT_EQ(0xFFFFFFFFu, Vertices(*shadow)[7].color);
}

TEST_F(QmPropDropShadowTest, TheVisualFollowsTheShadowModeAndTheEnabledState)
{
    CQmEntity entity;
    entity.frame.UpdateWorldMatrix();
    CQmPropDropShadow* shadow =
        Read(entity, "<drop_shadow material=\"materials/blob.xml\"><quad size=\"2 2\"/></drop_shadow>");
    ASSERT_NE(nullptr, shadow);
    CGmVisualObject* visual = shadow->visual;
    struct Step {
        int32_t mode;
        bool shown;
    };
    for (const Step& step : {Step{1, true}, Step{2, false}, Step{0, false}, Step{1, true}}) {
        g_shadowMode = step.mode;
        shadow->Update();
        EXPECT_EQ(step.shown, layers.Contains(1, visual)) << step.mode;
        EXPECT_EQ(step.shown, shadow->shown != 0) << step.mode;
    }

    // Off takes it out at once; on rebuilds and puts it back at once.
    shadow->SetEnabled(false);
    EXPECT_FALSE(layers.Contains(1, visual));
    EXPECT_EQ(0, visual->visible);
    entity.frame.SetPosition({0.0f, 0.0f, 5.0f});
    entity.frame.UpdateWorldMatrix();
    shadow->SetEnabled(true);
    EXPECT_TRUE(layers.Contains(1, visual));
    EXPECT_EQ(1, visual->visible);
    EXPECT_EQ(5.0f, visual->frame.world.m[11]);

    // Without a current location nothing is rebuilt.
    const float before = Vertices(*shadow)[0].x;
    entity.frame.SetPosition({9.0f, 0.0f, 0.0f});
    entity.frame.UpdateWorldMatrix();
    NoLocation();
    shadow->Update();
    EXPECT_EQ(before, Vertices(*shadow)[0].x);
    EXPECT_EQ(5.0f, visual->frame.world.m[11]);

    // The property's end takes the visual out of the layers.
    entity.SetProp(QM_PROP_DROP_SHADOW, nullptr);
    EXPECT_FALSE(layers.Contains(1, visual));
}

// On the headless device: a shadow whose material darkens what lies under it
// by the quad's alpha, seen from above, leaves a black blob under the entity
// and the picture untouched elsewhere.
namespace {

class QmPropDropShadowDraw : public PackedDeviceTest {
protected:
    void SetUp() override
    {
        PackedDeviceTest::SetUp();
        previousLayers = g_pGmLayers;
        g_pGmLayers = &layers;
        g_locationManager = &locations;
        locations.Adopt(new CQmLocation("yard"));
        locations.current = locations.locations.first->value;
        previousCamera = CGeHub::s_cameras3d[CGeHub::s_currentSlot];
        camera.eye = {0.0f, 60.0f, -30.0f};
        camera.target = {0.0f, 0.0f, 0.0f};
        camera.Apply(GeViewport{0, 0, 64, 64, 0.0f, 1.0f});
        CGeHub::s_cameras3d[CGeHub::s_currentSlot] = &camera;
        g_shadowMode = kQmShadowModeDrop;
    }
    void TearDown() override
    {
        g_shadowMode = 0;
        entity.SetProp(QM_PROP_DROP_SHADOW, nullptr);
        CGeHub::s_cameras3d[CGeHub::s_currentSlot] = previousCamera;
        locations.Clear();
        g_locationManager = nullptr;
        g_pGmLayers = previousLayers;
        PackedDeviceTest::TearDown();
    }

    CGmLayers layers;
    CGmLayers* previousLayers = nullptr;
    CQmLocationManager locations;
    CGmPerspectiveCamera camera;
    CGmCamera* previousCamera = nullptr;
    CQmEntity entity;
};

} // namespace

TEST_F(QmPropDropShadowDraw, ADarkBlobLiesUnderTheEntityAndNowhereElse)
{
    CTestTempDir dir;
    dir.Write("tree/materials/darken.xml",
              "<MATERIAL><COLORS DIFFUSE=\"1 1 1 1\" EMISSIVE=\"1 1 1 1\"/>"
              "<RENDERSTATE CULLMODE=\"NONE\" ALPHABLEND=\"1\" SRCBLEND=\"ZERO\" DESTBLEND=\"INVSRCALPHA\" "
              "ZTEST=\"0\" ZWRITE=\"0\" DIFFUSE_MATERIAL_SRC=\"VERTEX_COLOR1\"/>"
              "<FFP_GROUP><SAMPLERSTATE COLOROP=\"SELECTARG1\" CARG1=\"DIFFUSE\" ALPHAOP=\"SELECTARG1\" "
              "AARG1=\"DIFFUSE\"/></FFP_GROUP></MATERIAL>");
    ASSERT_TRUE(MountTree(dir));

    // The entity stands right of the point the camera looks at.
    entity.frame.SetPosition({12.0f, 0.0f, 0.0f});
    entity.frame.UpdateWorldMatrix();
    TiXmlDocument document;
    document.Parse("<drop_shadow material=\"materials/darken.xml\"><quad size=\"16 16\"/></drop_shadow>");
    LoadProperty_DropShadow(entity, document.RootElement());
    auto* shadow = entity.Prop<CQmPropDropShadow>(QM_PROP_DROP_SHADOW);
    ASSERT_NE(nullptr, shadow);
    ASSERT_NE(nullptr, shadow->material);
    shadow->Update();

    CGmTexture target;
    target.Create(64, 64, GM_FMT_A8R8G8B8, true);
    manager.Use(&target, GE_RES_TEXTURE);
    wrapper->SetRenderTarget(&target);
    wrapper->SetViewPort(camera.currentViewport);
    wrapper->Clear(GE_CLEAR_TARGET, 0xFF808080, 1.0f);
    wrapper->BeginScene();
    camera.ApplyViewProjection(wrapper.get());
    layers.RenderAll();
    wrapper->EndScene();
    wrapper->RestoreRenderTarget();
    target.Upload();
    const CGmImage* shown = target.Image();
    auto pixelAt = [&](const Vec3& world) {
        const Vec4 p = camera.ProjectPoint(world);
        uint32_t pixel = 0;
        std::memcpy(&pixel, shown->data + uint32_t(p.y) * shown->pitch + uint32_t(p.x) * 4, 4);
        return pixel & 0xFFFFFF;
    };
    EXPECT_EQ(0x000000u, pixelAt({12.0f, 0.0f, 0.0f})) << "under the entity";
    EXPECT_EQ(0x000000u, pixelAt({17.0f, 0.0f, 5.0f})) << "near the blob's corner";
    for (const Vec3& away : {Vec3{0.0f, 0.0f, 0.0f}, Vec3{-12.0f, 0.0f, 0.0f}, Vec3{12.0f, 0.0f, 14.0f},
                             Vec3{12.0f, 0.0f, -14.0f}, Vec3{24.0f, 0.0f, 0.0f}})
        EXPECT_EQ(0x808080u, pixelAt(away)) << away.x << " " << away.z;
}
