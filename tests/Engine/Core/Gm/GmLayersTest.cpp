// The render layers against recorded draws: layer and list order, the two
// passes around the shadow step, hooks, repeats of double-sided materials,
// and the lights (gathering, restoring, choosing). No device is needed: the
// visuals and materials record what they are asked to do.
#include "Engine/Core/Gm/GmLayers.h"
#include "Engine/Core/Gm/GmMaterial.h"
#include "Engine/Core/Gm/GmScenicMesh.h"
#include "Engine/Core/Gm/GmShadow.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::string> s_log;

class LoggedVisual : public CGmVisualObject {
public:
    explicit LoggedVisual(std::string name) : name(std::move(name)) {}
    void Render() override { s_log.push_back(name); }
    std::string name;
};

class LoggedMaterial : public CGmMaterial {
public:
    explicit LoggedMaterial(std::string name) : tag(std::move(name)) {}
    void Apply(const float* position, uint32_t pass) override
    {
        s_log.push_back(tag + ".apply" + std::to_string(pass) + "@" + std::to_string(int(position[0])));
    }
    void BuildDeviceMaterial() override {}
    std::string tag;
};

// A mesh visual with as many draw ranges as materials, drawing into the log.
class LoggedMesh : public CGmScenicMesh {
public:
    LoggedMesh(std::string name, std::vector<CGmMaterial*> list) : name(std::move(name))
    {
        CGmMesh* shape = new CGmMesh();
        for (size_t i = 0; i < list.size(); ++i)
            shape->drawRanges.Add(CGmDrawRange());
        SetMesh(shape, nullptr);
        shape->Release();
        for (size_t i = 0; i < list.size(); ++i)
            SetMaterial(uint32_t(i), list[i]);
    }
    void Update() override
    {
        CGmScenicMesh::Update();
        ++updates;
    }
    void Render() override { s_log.push_back(name + ".range" + std::to_string(rangeIndex)); }
    std::string name;
    int updates = 0;
};

void BeforeHook()
{
    s_log.push_back("before");
}

void AfterHook()
{
    s_log.push_back("after");
}

// Logs the x of the visual the layers say they draw, or "lit?".
const CGmLayers* s_layers = nullptr;
void LitHook()
{
    float position[3];
    s_log.push_back(s_layers && s_layers->LitPosition(position) ? "lit@" + std::to_string(int(position[0])) : "lit?");
}

class GmLayers : public ::testing::Test {
protected:
    void SetUp() override { s_log.clear(); }
    void TearDown() override
    {
        g_shadowMode = 0;
        CGmShadowQueue::s_count = 0;
        g_shadowQuadCount = 0;
    }

    std::vector<std::string> Render()
    {
        s_log.clear();
        layers.RenderAll();
        return s_log;
    }

    CGmLayers layers;
};

using Log = std::vector<std::string>;

} // namespace

TEST_F(GmLayers, VisualsDrawInLayerOrderOncePerLayerThatHoldsThem)
{
    LoggedVisual a("a"), b("b"), c("c");
    layers.Add(3, &a);
    layers.Add(1, &b);
    layers.Add(1, &c);
    layers.Add(2, &a);
    layers.Add(2, &a); // already there
    layers.Add(5, &b); // no such layer
    EXPECT_EQ((Log{"b", "c", "a", "a"}), Render());

    c.visible = 0;
    EXPECT_EQ((Log{"b", "a", "a"}), Render());

    LoggedVisual stranger("x");
    layers.Remove(&stranger);
    layers.Remove(nullptr);
    layers.Remove(&a);
    EXPECT_EQ((Log{"b"}), Render());
    EXPECT_FALSE(layers.Contains(2, &a));
    EXPECT_FALSE(layers.Contains(3, &a));
    EXPECT_TRUE(layers.Contains(1, &b));
    EXPECT_FALSE(layers.Contains(2, &b));
    EXPECT_FALSE(layers.Contains(7, &b));

    // Added again after its removal, a visual goes to the end of its layer,
    // once; removing one of two neighbours keeps the other.
    c.visible = 1;
    layers.Add(1, &a);
    layers.Add(1, &a);
    EXPECT_EQ((Log{"b", "c", "a"}), Render());
    layers.Remove(&c);
    EXPECT_EQ((Log{"b", "a"}), Render());
    EXPECT_EQ(2u, layers.layers[1].count);
}

TEST_F(GmLayers, HooksRunAroundEveryDrawnVisualAndAreRemovedOnce)
{
    LoggedVisual a("a"), hidden("hidden");
    hidden.visible = 0;
    layers.Add(0, &a);
    layers.Add(0, &hidden);
    layers.AddBeforeHook(BeforeHook);
    layers.AddAfterHook(AfterHook);
    layers.AddAfterHook(AfterHook);
    EXPECT_EQ((Log{"before", "a", "after", "after"}), Render());

    EXPECT_TRUE(layers.RemoveAfterHook(AfterHook));
    EXPECT_FALSE(layers.RemoveBeforeHook(AfterHook));
    EXPECT_EQ((Log{"before", "a", "after"}), Render());
    EXPECT_TRUE(layers.RemoveAfterHook(AfterHook));
    EXPECT_FALSE(layers.RemoveAfterHook(AfterHook));
    EXPECT_TRUE(layers.RemoveBeforeHook(BeforeHook));
    EXPECT_EQ((Log{"a"}), Render());
}

TEST_F(GmLayers, HooksAreToldWhichVisualIsDrawnAndWhere)
{
    LoggedMaterial plain("plain");
    LoggedMesh mesh("mesh", {&plain});
    mesh.frame.SetPosition({7.0f, 0.0f, 0.0f});
    LoggedVisual sprite("sprite");
    sprite.frame.SetPosition({-3.0f, 0.0f, 0.0f});
    sprite.frame.UpdateWorldMatrix();
    layers.Add(1, &mesh);
    layers.Add(2, &sprite);
    s_layers = &layers;
    layers.AddBeforeHook(LitHook);
    layers.AddAfterHook(LitHook);
    // The mesh is named in both passes (the second draws nothing of it here).
    EXPECT_EQ((Log{"lit@7", "plain.apply0@7", "mesh.range0", "lit@7", "lit@7", "lit@7", "lit@-3", "sprite", "lit@-3"}),
              Render());
    float position[3];
    EXPECT_FALSE(layers.LitPosition(position)); // only while a visual is drawn
    EXPECT_EQ(nullptr, layers.lit);
    s_layers = nullptr;
}

TEST_F(GmLayers, MeshesDrawInTheFirstPassAndRepeatDoubleSidedMaterials)
{
    LoggedMaterial plain("plain"), twoSided("twoSided");
    twoSided.passCount = 2;
    LoggedMesh mesh("mesh", {&plain, &twoSided});
    mesh.frame.SetPosition({7.0f, 0.0f, 0.0f});
    LoggedVisual sprite("sprite");
    layers.Add(4, &mesh);
    layers.Add(0, &sprite);
    layers.AddBeforeHook(BeforeHook);
    // The sprite (layer 0) still comes after the mesh (layer 4): meshes draw in
    // the first pass. In the second pass the mesh has nothing left but hooks.
    EXPECT_EQ((Log{"before", "plain.apply0@7", "mesh.range0", "twoSided.apply0@7", "mesh.range1",
                   "twoSided.apply1@7", "mesh.range1", "before", "sprite", "before"}),
              Render());
    EXPECT_EQ(1, mesh.updates);

    mesh.visible = 0;
    EXPECT_EQ((Log{"before", "sprite"}), Render());
    EXPECT_EQ(1, mesh.updates);
}

TEST_F(GmLayers, WithStencilShadowsReceiversDrawBeforeTheShadowStepAndTheRestAfter)
{
    LoggedMaterial floor("floor"), body("body");
    floor.receivesShadows = 1;
    LoggedMesh mesh("mesh", {&body, &floor});
    LoggedVisual sprite("sprite");
    layers.Add(1, &mesh);
    layers.Add(0, &sprite);
    g_shadowMode = kShadowModeStencil;
    CGmShadowQueue::s_count = 3; // left from the frame: emptied by the step
    g_shadowQuadCount = 5;
    EXPECT_EQ((Log{"floor.apply0@0", "mesh.range1", "sprite", "body.apply0@0", "mesh.range0"}), Render());
    EXPECT_EQ(0u, g_shadowQuadCount);
    EXPECT_EQ(0u, CGmShadowQueue::s_count);
}

TEST_F(GmLayers, GatheredLightsAreScaledAndRestoredByFlush)
{
    auto make = [](uint8_t kind, float value) {
        LightDesc light;
        light.Init();
        memcpy(&light.f[15], &kind, 1);
        for (int i = 0; i < 12; ++i)
            light.f[i] = value;
        return light;
    };
    LightDesc directional = make(GM_LIGHT_DIRECTIONAL, 0.8f);
    LightDesc point = make(GM_LIGHT_POINT, 0.6f);
    LightDesc spot = make(GM_LIGHT_SPOT, 0.4f);
    layers.AddLight(&directional);
    layers.AddLight(&point);
    layers.AddLight(&spot);
    layers.AddLight(&point);
    EXPECT_EQ(3u, layers.lights.Count());

    layers.GatherLights(0.5f, 1.0f, 1.0f, false);
    EXPECT_FLOAT_EQ(0.4f, directional.f[4]);
    EXPECT_FLOAT_EQ(0.4f, directional.f[7]);
    EXPECT_FLOAT_EQ(0.8f, directional.f[0]);
    EXPECT_FLOAT_EQ(0.8f, directional.f[11]);
    EXPECT_FLOAT_EQ(0.6f, point.f[4]);
    EXPECT_EQ(1u, layers.gathered.Count());
    layers.FlushLights();
    EXPECT_FLOAT_EQ(0.8f, directional.f[4]);
    EXPECT_EQ(0u, layers.gathered.Count());

    layers.GatherLights(1.0f, 0.5f, 0.25f, true);
    EXPECT_FLOAT_EQ(0.3f, point.f[0]);
    EXPECT_FLOAT_EQ(0.15f, point.f[8]);
    EXPECT_FLOAT_EQ(0.4f, spot.f[0]);
    layers.FlushLights();
    EXPECT_FLOAT_EQ(0.6f, point.f[0]);
    EXPECT_FLOAT_EQ(0.6f, point.f[8]);

    layers.RemoveLight(&point);
    layers.RemoveLight(nullptr);
    EXPECT_EQ(2u, layers.lights.Count());
}

TEST_F(GmLayers, ChosenLightsAreDirectionalFirstThenTheNearestInRange)
{
    std::vector<LightDesc> lights(8);
    const float xs[8] = {0, 50, 10, 0, 30, 20, 0, 12};
    const uint8_t kinds[8] = {GM_LIGHT_POINT, GM_LIGHT_POINT, GM_LIGHT_SPOT, GM_LIGHT_DIRECTIONAL,
                              GM_LIGHT_POINT, 7, GM_LIGHT_DIRECTIONAL, GM_LIGHT_POINT};
    for (int i = 0; i < 8; ++i) {
        lights[i].Init();
        lights[i].SetType(kinds[i]);
        lights[i].SetEnabled(i < 6); // the last two are registered but off
        lights[i].f[20] = xs[i];
        lights[i].f[0] = float(i);
        layers.AddLight(&lights[i]);
    }
    lights[0].f[16] = 5.0f; // reaches no further than 5
    const float at[3] = {12.0f, 0.0f, 0.0f};
    LightDesc chosen[4];
    ASSERT_EQ(4u, layers.ChooseLights(at, chosen, 4));
    const float expected[4] = {3, 2, 4, 1}; // directional, then at 2, 18, 38
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(expected[k], chosen[k].f[0]) << k;
    EXPECT_EQ(1u, layers.ChooseLights(at, chosen, 1));

    const float ambient[4] = {0.1f, 0.2f, 0.3f, 0.4f};
    layers.SetAmbientSum(ambient);
    EXPECT_EQ(0.3f, layers.ambientSum[2]);
}
