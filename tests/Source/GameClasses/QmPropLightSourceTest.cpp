// The light source property: the "light_source" reader, the intensity clamp
// and scaling, the one-update lag behind a moving entity, registration with
// the render layers (once, switched off rather than removed, gone with the
// property), and a quad lit by it on the headless device.
#include "Source/GameClasses/QmPropLightSource.h"

#include "Engine/Core/Gm/GLibLoc/D3d/GmIndexBuffer.h"
#include "Engine/Core/Gm/GmLayers.h"
#include "Engine/Core/Gm/GmMaterial.h"
#include "Engine/Core/Gm/GmMesh.h"
#include "Engine/Core/Gm/GmShaderPass.h"
#include "tests/Source/GameClasses/PackedDeviceFixture.h"

#include <tinyxml.h>

#include <gtest/gtest.h>

#include <cmath>

namespace {

CGmLightDesc Read(const char* xml)
{
    TiXmlDocument document;
    document.Parse(xml);
    CGmLightDesc desc;
    for (float& f : desc.f)
        f = NAN;
    CQmPropLightSource::ReadDescription(document.RootElement(), desc);
    return desc;
}

class QmPropLightSourceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous = g_pGmLayers;
        g_pGmLayers = &layers;
        entity.name = "lamp";
        entity.frame.UpdateWorldMatrix();
    }
    void TearDown() override
    {
        entity.SetProp(QM_PROP_LIGHT_SOURCE, nullptr);
        g_pGmLayers = previous;
    }

    CQmPropLightSource* Load(const char* xml)
    {
        TiXmlDocument document;
        document.Parse(xml);
        return CQmPropLightSource::CreateFromXML(&entity, document.RootElement());
    }

    uint32_t Registered(const CGmLightDesc* light) const
    {
        uint32_t n = 0;
        for (CGmLightDesc* registered : layers.lights)
            n += registered == light;
        return n;
    }

    CGmLayers layers;
    CGmLayers* previous = nullptr;
    CQmEntity entity;
};

} // namespace

TEST(QmPropLightSourceReader, AttributesFillTheDescriptionOverItsDefaults)
{
    const CGmLightDesc full = Read(R"(<light_source ambient="0.1 0.2 0.3 0.4" diffuse="1 0.5 0.25 0.125"
        specular="0.9 0.8 0.7 0.6" type="omni" pos="1 2 3" dir="0 3 4" range="250" att0="0.5" att1="0.25" att2="2"/>)");
    const float expected[28] = {0.5f,   0.25f,      0.125f, 1.0f, // diffuse r g b a
                                0.2f,   0.3f,       0.4f,   0.1f, // ambient
                                0.8f,   0.7f,       0.6f,   0.9f, // specular
                                0.0f,   0.6f,       0.8f,   0.0f, // direction normalised; 15 checked below
                                250.0f, 0.5f,       0.25f,  2.0f, // range, attenuations
                                1.0f,   2.0f,       3.0f,   0.0f, // position, reserved
                                0.0f,   3.1415927f, 0.0f,   0.0f};
    for (int i = 0; i < 28; ++i) {
        if (i == 15)
            continue;
        EXPECT_NEAR(expected[i], full.f[i], 1e-6f) << i;
    }
    EXPECT_EQ(1, full.Type());
    EXPECT_TRUE(full.Enabled());

    const struct {
        const char* xml;
        uint8_t type;
        float range, att0;
    } cases[] = {
        {"<light_source/>", 1, 999999986991104.0f, 0.0f},
        {R"(<light_source type="spot" range="infinity"/>)", 2, 999999986991104.0f, 0.0f},
        {R"(<light_source type="OMNI" range="12" att0="1"/>)", 2, 12.0f, 1.0f},
    };
    for (const auto& c : cases) {
        const CGmLightDesc d = Read(c.xml);
        EXPECT_EQ(c.type, d.Type()) << c.xml;
        EXPECT_EQ(c.range, d.f[16]) << c.xml;
        EXPECT_EQ(c.att0, d.f[17]) << c.xml;
        EXPECT_EQ(0.0f, d.f[18]) << c.xml;
        EXPECT_EQ(1.0f, d.f[12]) << c.xml; // a missing direction faces +X, never NaN
        EXPECT_EQ(0.0f, d.f[0]) << c.xml;  // missing colours are black
        EXPECT_TRUE(d.Enabled()) << c.xml;
    }
}

TEST_F(QmPropLightSourceTest, TheLoadedLightSitsInSlotZeroRegisteredOnceAndGoesWithTheProperty)
{
    CQmPropLightSource* light = Load(R"(<light_source diffuse="1 1 1 1"/>)");
    ASSERT_NE(nullptr, light);
    EXPECT_EQ(light, entity.GetProp(QM_PROP_LIGHT_SOURCE));
    EXPECT_EQ(1, light->enabled);
    EXPECT_EQ(1u, Registered(&light->current));

    light->SetEnabled(true);
    EXPECT_EQ(1u, Registered(&light->current));
    light->SetEnabled(false); // stays registered, switched off
    EXPECT_EQ(1u, Registered(&light->current));
    EXPECT_FALSE(light->current.Enabled());
    light->SetEnabled(true);
    EXPECT_EQ(1u, Registered(&light->current));
    EXPECT_TRUE(light->current.Enabled());

    entity.SetProp(QM_PROP_LIGHT_SOURCE, nullptr);
    EXPECT_EQ(0u, layers.lights.Count());
}

TEST_F(QmPropLightSourceTest, IntensityIsClampedScalesEveryColourAndZeroSwitchesTheLightOff)
{
    CQmPropLightSource* light = Load(R"(<light_source type="sun" diffuse="0.5 0.2 0.3 0.4"
        ambient="0.1 0.1 0.1 0.1" specular="1 0 0 0.25"/>)");
    const struct {
        float set, stored;
        bool on;
    } cases[] = {{-1.0f, 0.0f, false}, {2.0f, 2.0f, true}, {7.0f, 4.0f, true}, {NAN, 0.0f, false}};
    const float at[3] = {0, 0, 0};
    CGmLightDesc chosen[4];
    for (const auto& c : cases) {
        light->SetIntensity(c.set);
        EXPECT_EQ(c.stored, light->intensity) << c.set;
        light->Update();
        for (int i = 0; i < 12; ++i)
            EXPECT_FLOAT_EQ(light->templateDesc.f[i] * c.stored, light->current.f[i]) << c.set << " " << i;
        EXPECT_EQ(c.on, light->current.Enabled()) << c.set;
        EXPECT_EQ(1u, Registered(&light->current)) << c.set;
        EXPECT_EQ(c.on ? 1u : 0u, layers.ChooseLights(at, chosen, 4)) << c.set;
    }
    light->SetIntensity(2.0f);
    light->Update();
    EXPECT_FLOAT_EQ(1.0f, light->current.f[3]); // alpha (0.5) doubled too
}

TEST_F(QmPropLightSourceTest, TheDrawnLightTrailsAMovingEntityByOneUpdate)
{
    CQmPropLightSource* light = Load(R"(<light_source pos="1 0 0" dir="1 0 0"/>)");
    entity.frame.SetPosition({10, 0, 0});
    entity.frame.UpdateWorldMatrix();
    light->Update();
    EXPECT_EQ(1.0f, light->current.f[20]); // the file's place
    light->Update();
    EXPECT_EQ(11.0f, light->current.f[20]); // entity + offset, one update late

    entity.frame.SetPosition({20, 0, 0});
    entity.frame.SetAngles({0, 1.5707964f, 0}); // a quarter turn about Y
    entity.frame.UpdateWorldMatrix();
    light->Update();
    EXPECT_EQ(11.0f, light->current.f[20]);
    EXPECT_NEAR(1.0f, light->current.f[12], 1e-6f);
    light->Update();
    EXPECT_EQ(21.0f, light->current.f[20]); // the offset is not turned
    EXPECT_NEAR(0.0f, light->current.f[12], 1e-6f);
    EXPECT_NEAR(1.0f, std::fabs(light->current.f[14]), 1e-6f);
}

// A quad lit only by an entity's light, drawn through its material with the
// render layers choosing the lights: its pixels follow the intensity.
namespace {

class QmPropLightSourceDraw : public PackedDeviceTest {
protected:
    void SetUp() override
    {
        PackedDeviceTest::SetUp();
        previous = g_pGmLayers;
        g_pGmLayers = &layers;
        g_pGmLightSource = &layers;
    }
    void TearDown() override
    {
        entity.SetProp(QM_PROP_LIGHT_SOURCE, nullptr);
        g_pGmLightSource = nullptr;
        g_pGmLayers = previous;
        PackedDeviceTest::TearDown();
    }

    CGmLayers layers;
    CGmLayers* previous = nullptr;
    CQmEntity entity;
};

} // namespace

TEST_F(QmPropLightSourceDraw, ALitQuadIsDarkBrightAndTwiceAsBrightAtIntensitiesZeroOneAndTwo)
{
    CTestTempDir dir;
    dir.Write("tree/materials/plaster.xml",
              "<material name=\"plaster\"><colors diffuse=\"1 1 1 1\" ambient=\"1 0 0 0\" specular=\"1 0 0 0\"/>"
              "<renderstate cullmode=\"none\" alphablend=\"0\" ztest=\"0\" zwrite=\"0\"/>"
              "<ffp_group><samplerstate colorop=\"selectarg1\" carg1=\"diffuse\" "
              "alphaop=\"selectarg1\" aarg1=\"diffuse\"/></ffp_group></material>");
    dir.Write("tree/meshes/wall.xml",
              "<GE_MESH Type=\"GENERIC\" Name=\"wall\"><VERTEX_DATA>"
              "<VERTEX XYZ=\"-1 -1 0.5\" Normal=\"0 0 -1\" UV=\"0 1\"/>"
              "<VERTEX XYZ=\"1 -1 0.5\" Normal=\"0 0 -1\" UV=\"1 1\"/>"
              "<VERTEX XYZ=\"-1 1 0.5\" Normal=\"0 0 -1\" UV=\"0 0\"/>"
              "<VERTEX XYZ=\"1 1 0.5\" Normal=\"0 0 -1\" UV=\"1 0\"/>"
              "</VERTEX_DATA><INDEX_DATA><FACE VERTS=\"0 1 2\"/><FACE VERTS=\"2 1 3\"/></INDEX_DATA></GE_MESH>");
    ASSERT_TRUE(MountTree(dir));
    CGmMaterial* material = rescollect::LoadMaterial("materials/plaster.xml");
    CGmMesh* mesh = rescollect::LoadMesh("meshes/wall");
    ASSERT_NE(nullptr, material);
    ASSERT_NE(nullptr, mesh);

    // A white directional light at a quarter strength, shining along +Z onto
    // the quad's face.
    TiXmlDocument document;
    document.Parse(R"(<light_source type="sun" diffuse="1 0.25 0.25 0.25" dir="0 0 1"/>)");
    CQmPropLightSource* light = CQmPropLightSource::CreateFromXML(&entity, document.RootElement());
    ASSERT_NE(nullptr, light);

    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const struct {
        float intensity;
        uint32_t colour;
    } cases[] = {{0.0f, 0xFF000000}, {1.0f, 0xFF404040}, {2.0f, 0xFF808080}};
    for (const auto& c : cases) {
        light->SetIntensity(c.intensity);
        light->Update();
        CGmTexture target;
        target.Create(16, 16, GM_FMT_A8R8G8B8, true);
        manager.Use(&target, GE_RES_TEXTURE);
        wrapper->SetRenderTarget(&target);
        wrapper->Clear(GE_CLEAR_TARGET, 0xFF0000FF, 1.0f);
        wrapper->BeginScene();
        wrapper->SetTransform(identity, 0);
        wrapper->SetViewProjection(identity, identity);
        const float position[3] = {0, 0, 0};
        for (uint32_t p = 0; p < material->GetPassCount(); ++p) {
            material->Apply(position, p);
            mesh->vertexBuffer->Bind();
            mesh->indexBuffer->Bind();
            const CGmDrawRange& range = mesh->drawRanges[0];
            wrapper->DrawIndexedPrimitive(range.primitiveType, 0, range.minVertex, range.vertexCount, range.startIndex,
                                          range.primitiveCount);
        }
        wrapper->EndScene();
        wrapper->RestoreRenderTarget();
        target.Upload();
        const CGmImage* shown = target.Image();
        for (uint32_t y = 0; y < 16; y += 5) {
            for (uint32_t x = 0; x < 16; x += 5) {
                uint32_t pixel;
                memcpy(&pixel, shown->data + y * shown->pitch + x * 4, 4);
                EXPECT_LE(ColourDistance(c.colour, pixel), 2)
                    << c.intensity << " at " << x << ", " << y << ": " << std::hex << pixel;
            }
        }
    }
    material->Release();
    mesh->Release();
}
