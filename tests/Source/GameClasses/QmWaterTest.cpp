// Water on a small grid, the stone's modes, and shade-box weights with the
// before-lighting rule; objects drawn through the render layers inside a
// shade box are lit with the box's scaled lights.
#include "Engine/Core/Gm/GLibLoc/D3d/GmIndexBuffer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"
#include "Engine/Core/Gm/GmLayers.h"
#include "Engine/Core/Gm/GmMesh.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmShadeBox.h"
#include "Source/GameClasses/QmWater.h"
#include "tests/Source/GameClasses/LocationFixtures.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

TEST_F(LocationTest, CQmWaterGridWaveAndDrift)
{
    CQmWater water(3, 2, 4.0f, 10.0f, "", 2.0f, 8.0f, 6.0f);
    ASSERT_NE(nullptr, water.mesh);
    // Vertex index rows x column + row; x across columns, z across rows.
    const QmWaterVertex* corner = water.Vertex(2, 1);
    ASSERT_NE(nullptr, corner);
    EXPECT_EQ(reinterpret_cast<const QmWaterVertex*>(water.mesh->vertexBuffer->GetData()) + 5, corner);
    EXPECT_FLOAT_EQ(2.0f, corner->x);
    EXPECT_FLOAT_EQ(5.0f, corner->z);
    EXPECT_FLOAT_EQ(3.0f, corner->u); // the tiling halved, on u only
    EXPECT_FLOAT_EQ(1.0f, corner->v);
    EXPECT_FLOAT_EQ(-2.0f, water.Vertex(0, 0)->x);
    EXPECT_FLOAT_EQ(1.0f, water.Vertex(0, 0)->ny);
    EXPECT_EQ(nullptr, water.Vertex(3, 0));
    const uint16_t* index = reinterpret_cast<const uint16_t*>(water.mesh->indexBuffer->GetData());
    const uint16_t expected[12] = {1, 2, 0, 1, 3, 2, 3, 4, 2, 3, 5, 4};
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(expected[i], index[i]) << i;
    EXPECT_EQ(4u, water.mesh->drawRanges[0].primitiveCount);

    Frame(0.5);
    water.Update();
    EXPECT_FLOAT_EQ(0.5f, water.time);
    EXPECT_FLOAT_EQ(2.0f * std::sin(2.0f + 0.5f) * std::sin(0.25f + 5.0f), water.Vertex(2, 1)->y);
    EXPECT_FLOAT_EQ(3.0f + 0.5f * 8.0f / 4.0f, water.Vertex(2, 1)->u);
    EXPECT_FLOAT_EQ(water.WaveHeight(-2.0f, -5.0f), water.Vertex(0, 0)->y);

    // Grids under 2 x 2 or beyond 16-bit indices build nothing.
    EXPECT_FALSE(CQmWater::IsValidGrid(1, 5));
    EXPECT_FALSE(CQmWater::IsValidGrid(300, 300));
    CQmWater flat(1, 4, 1.0f, 1.0f, "", 1.0f, 0.0f, 1.0f);
    EXPECT_EQ(nullptr, flat.mesh);
    flat.Update();
}

TEST_F(LocationTest, CQmStoneModes)
{
    recorder->Record({"stone_drow"});
    CQmWater water(2, 2, 100.0f, 100.0f, "", 3.0f, 0.0f, 1.0f);
    Frame(0.25);
    water.Update();

    // Floating: the wave height plus the offset at the stone's x and z.
    CQmStone floating(0);
    floating.water = &water;
    floating.heightOffset = 10;
    floating.frame.SetPosition({1.0f, 0.0f, 2.0f});
    floating.Update();
    EXPECT_FLOAT_EQ(water.WaveHeight(1.0f, 2.0f) + 10.0f, floating.frame.position.y);

    // Mode 3 stays put, dropped or not.
    CQmStone staying(CQmStone::STAY);
    staying.water = &water;
    staying.frame.SetPosition({1.0f, 42.0f, 2.0f});
    staying.Update();
    staying.Drop();
    Frame(1.0);
    staying.Update();
    EXPECT_FLOAT_EQ(42.0f, staying.frame.position.y);

    // Mode 2 with offset h: floats until 0.5 s after the drop, then sinks by
    // (time - 0.5) x 20 a frame, and ends once below h - 250.
    for (uint32_t mode : {CQmStone::SINK_SOON, CQmStone::SINK_LATE}) {
        recorder->Clear();
        CQmStone stone(mode);
        stone.heightOffset = 5;
        stone.Drop();
        const float threshold = mode == CQmStone::SINK_SOON ? 0.5f : 3.0f;
        int frames = 0;
        float previous = stone.frame.position.y;
        while (stone.active && frames < 1000) {
            Frame(0.25);
            stone.Update();
            ++frames;
            if (stone.dropTime < threshold) {
                EXPECT_FLOAT_EQ(previous, stone.frame.position.y);
            }
            previous = stone.frame.position.y;
        }
        EXPECT_EQ(0, stone.active);
        EXPECT_EQ(0, stone.falling);
        EXPECT_LT(stone.frame.position.y, 5.0f - 250.0f);
        EXPECT_GE(stone.frame.position.y + (stone.dropTime - threshold) * 20.0f, 5.0f - 250.0f);
        EXPECT_EQ("stone_drow()", recorder->Joined());
        stone.Update();
        EXPECT_EQ("stone_drow()", recorder->Joined());
    }
}

TEST(CQmShadeBox, WeightsFacesDepthAndDisabled)
{
    CQmShadeBox box;
    box.min = {0, 0, 0};
    box.max = {10, 10, 10};
    box.depth = 2.0f;
    EXPECT_FLOAT_EQ(0.0f, box.Weight({5, 5, 5})); // disabled
    box.enabled = 1;
    struct Case {
        Vec3 p;
        float depth, weight;
    };
    for (const Case& c : {Case{{5, 5, 5}, 2.0f, 1.0f}, Case{{1, 5, 5}, 2.0f, 0.5f}, Case{{0, 5, 5}, 2.0f, 0.0f},
                          Case{{0, 5, 5}, 0.0f, 1.0f}, Case{{10, 10, 10}, 0.0f, 1.0f},
                          Case{{10.01f, 5, 5}, 0.0f, 0.0f}, Case{{5, 9.5f, 5}, 2.0f, 0.25f}}) {
        box.depth = c.depth;
        EXPECT_FLOAT_EQ(c.weight, box.Weight(c.p)) << c.p.x << " " << c.p.y << " depth " << c.depth;
    }
}

TEST_F(LocationTest, CQmShadeBoxTheFirstOfEqualWeightsShades)
{
    auto* location = new CQmLocation("harbour");
    manager.Adopt(location);
    manager.current = location;
    auto box = [](float x0, float x1) {
        auto* b = new CQmShadeBox;
        b->min = {x0, 0, 0};
        b->max = {x1, 10, 10};
        b->enabled = 1;
        b->ambientReduction = 0.5f;
        return b;
    };
    location->shadeBoxes.Add(box(0, 10));
    location->shadeBoxes.Add(box(0, 10));
    location->shadeBoxes.Add(box(20, 30));
    float weight = 0.0f;
    EXPECT_EQ(location->shadeBoxes[0], QmFindShadeBox(*location, {5, 5, 5}, weight));
    EXPECT_FLOAT_EQ(1.0f, weight);
    EXPECT_EQ(location->shadeBoxes[2], QmFindShadeBox(*location, {25, 5, 5}, weight));
    EXPECT_EQ(nullptr, QmFindShadeBox(*location, {15, 5, 5}, weight));
    EXPECT_FLOAT_EQ(0.0f, weight);

    // The hooks: a shaded point sets the flag, the after-hook clears it.
    QmShadeLightPoint({5, 5, 5});
    EXPECT_EQ(1, g_shadeApplied);
    QmShadeAfterLighting();
    EXPECT_EQ(0, g_shadeApplied);
    QmShadeLightPoint({15, 5, 5});
    EXPECT_EQ(0, g_shadeApplied);
}

namespace {

// Remembers the registered light's ambient and diffuse red as it is drawn.
class LightProbe : public CGmVisualObject {
public:
    LightProbe(const LightDesc& light, const Vec3& at) : light(light)
    {
        frame.SetPosition(at);
        frame.UpdateWorldMatrix();
    }
    void Render() override
    {
        seenDiffuse = light.f[0];
        seenAmbient = light.f[4];
    }
    const LightDesc& light;
    float seenDiffuse = -1.0f, seenAmbient = -1.0f;
};

} // namespace

TEST_F(LocationTest, CQmShadeBoxDarkensTheObjectsTheLayersDrawInsideIt)
{
    CGmLayers layers;
    CGmLayers* previous = g_pGmLayers;
    g_pGmLayers = &layers;
    LightDesc sun;
    sun.Init();
    const uint8_t directional = 2;
    memcpy(&sun.f[15], &directional, 1);
    sun.f[0] = sun.f[4] = 1.0f;
    layers.AddLight(&sun);
    {
        // The location puts its lighting hooks into the layers itself.
        auto* location = new CQmLocation("cellar");
        manager.Adopt(location);
        manager.current = location;
        auto* box = new CQmShadeBox;
        box->min = {0, 0, 0};
        box->max = {10, 10, 10};
        box->depth = 2.0f;
        box->enabled = 1;
        box->ambientReduction = 0.5f;
        box->diffuseReduction = 0.8f;
        location->shadeBoxes.Add(box);

        struct Case {
            Vec3 at;
            float diffuse, ambient;
        } cases[] = {
            {{5, 5, 5}, 0.2f, 0.5f},     // deep inside: full weight
            {{1, 5, 5}, 0.6f, 0.75f},    // one unit in, depth 2: half weight
            {{20, 5, 5}, 1.0f, 1.0f},    // outside: the light as it is
        };
        std::vector<std::unique_ptr<LightProbe>> probes;
        for (const Case& c : cases) {
            probes.emplace_back(new LightProbe(sun, c.at));
            layers.Add(2, probes.back().get());
        }
        layers.RenderAll();
        for (size_t i = 0; i < probes.size(); ++i) {
            EXPECT_FLOAT_EQ(cases[i].diffuse, probes[i]->seenDiffuse) << i;
            EXPECT_FLOAT_EQ(cases[i].ambient, probes[i]->seenAmbient) << i;
        }
        EXPECT_FLOAT_EQ(1.0f, sun.f[0]); // restored after each object
        EXPECT_FLOAT_EQ(1.0f, sun.f[4]);
        EXPECT_EQ(0, g_shadeApplied);
        for (auto& probe : probes)
            layers.Remove(probe.get());
        manager.Clear();
    }
    EXPECT_EQ(nullptr, layers.beforeHooks.head); // the location took its hooks away
    g_pGmLayers = previous;
}
