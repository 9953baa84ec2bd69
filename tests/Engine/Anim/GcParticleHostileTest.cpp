// Hostile particle files loaded, started, stepped and filled (under the
// sanitizers in the debug build): counts of 0 and 4e9, lives that are huge,
// zero or not numbers, frame counts of 0, infinite speeds, and a camera that
// sits on the system.
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "tests/Engine/Anim/ParticleTestSupport.h"

#include <cmath>

namespace {

class GcParticleHostile : public ParticleTest {};

TEST_F(GcParticleHostile, BrokenValuesLoadStepAndFill)
{
    CGmPerspectiveCamera camera; // at the systems' own position: distance 0
    CGeHub::s_currentSlot = 0;
    CGeHub::s_cameras3d[0] = &camera;

    const std::string animated = Property("EP_PS_animationSpeed", "inf") + Property("EP_PS_lod_auto", "True") +
                                 Property("EP_PS_lod_minDistance", "0");
    struct Row {
        const char* name;
        std::string properties;
        std::string procs;
    };
    const Row rows[] = {
        {"zero", Property("EP_PS_ParticleCount", "0"), ""},
        {"huge", Property("EP_PS_ParticleCount", "4000000000") + Property("EP_PS_SO_Precalculated", "True"), ""},
        {"nanlife", Property("EP_PS_minLiveTime", "nan") + Property("EP_PS_maxLiveTime", "nan") + animated,
         "<PROC Type=\"Color_3AlphaPoints\" Val0=\"1\" Val1=\"1e999\" Val3=\"0\" Val4=\"1\"/>"
         "<PROC Type=\"Color_AlphaPulse\" Val0=\"3\" Val1=\"-1e999\" Val2=\"1e999\"/>"},
        {"hugelife",
         Property("EP_PS_minLiveTime", "1e30") + Property("EP_PS_maxLiveTime", "1e38") +
             Property("EP_PS_SO_Precalculated", "True") + Property("EP_PS_appearTime", "nan"),
         "<PROC Type=\"Size_Scale\" Val0=\"1e38\" Val1=\"1e38\"/><PROC Type=\"Color_RgbGradient\" Val0=\"1e30\"/>"},
        {"zerolife", Property("EP_PS_minLiveTime", "0") + Property("EP_PS_maxLiveTime", "-1") + animated,
         "<PROC Type=\"Speed_UniformAccel\" Val0=\"2\"/><PROC Type=\"Color_3AlphaPoints\" Val3=\"0.5\"/>"},
        {"frames", Property("EP_PS_ImageFramesTotal", "0") + Property("EP_PS_ImageFramesPerLine", "0") + animated, ""},
        {"frames16", Property("EP_PS_ImageFramesTotal", "65536") + Property("EP_PS_animationSpeed", "1e30"), ""},
        {"colinear",
         Property("EP_PS_xAxisIsSpeedColinear", "True") + Property("EP_PS_maxInitialSpeed", "0") +
             Property("EP_PS_initialDirectionX", "nan") + Property("EP_PS_selfSpeed", "inf"),
         "<PROC Type=\"Pos_Rotate\" Val0=\"1\" Val1=\"nan\"/>"},
    };
    std::string body, script = "<psys_effect>";
    for (const Row& row : rows) {
        body += SystemXml(row.name, row.properties, row.procs);
        script += std::string("<particle_system name=\"") + row.name +
                  "\" looped=\"1\"><key time=\"0\" command=\"start\"/><key time=\"0.3\" command=\"resume\"/>"
                  "<key time=\"0.6\" command=\"stop\"/></particle_system>";
    }
    std::unique_ptr<CGcPsysEffect> effect(Load(body + script + "</psys_effect>"));
    ASSERT_TRUE(effect);
    ASSERT_EQ(8u, effect->entries.Count());
    effect->Start();
    for (int frame = 0; frame < 40; ++frame) {
        Tick(0.1);
        effect->Update();
        effect->Render(); // no device: nothing is drawn, nothing breaks
    }
    EXPECT_EQ(0u, SystemOf(effect.get(), "zero")->capacity);
    EXPECT_EQ(nullptr, SystemOf(effect.get(), "zero")->vertexBuffer);
    EXPECT_EQ(kGcMaxParticles, SystemOf(effect.get(), "huge")->capacity);
    for (const char* name : {"frames", "frames16"}) {
        CGcParticleSystem* system = SystemOf(effect.get(), name);
        EXPECT_EQ(1u, system->framesTotal) << name;
        EXPECT_EQ(1u, system->framesPerLine) << name;
        for (uint32_t i = 0; i < system->capacity; ++i)
            EXPECT_EQ(0u, system->current.frame[i]) << name;
    }
    CGcParticleSystem* nan = SystemOf(effect.get(), "nanlife");
    EXPECT_EQ(4u, nan->activeCount) << "level of detail at distance 0 shows every particle";
    for (uint32_t i = 0; i < nan->capacity; ++i)
        EXPECT_LE(nan->current.colour[i] >> 24, 255u);
}

TEST_F(GcParticleHostile, ShareOfLifeNeverDividesByZero)
{
    EXPECT_EQ(1.0f, ParticleLifeShare(0.5f, 0.0f));
    EXPECT_EQ(1.0f, ParticleLifeShare(0.5f, -2.0f));
    EXPECT_EQ(1.0f, ParticleLifeShare(0.5f, std::nanf("")));
    EXPECT_EQ(0.25f, ParticleLifeShare(0.5f, 2.0f));
}

TEST_F(GcParticleHostile, ColinearQuadWithoutScreenDirectionIsDrawnPlain)
{
    GcParticleSettings s;
    s.options = 0;
    s.speedColinear = 1;
    s.minSize = s.maxSize = {2.0f, 2.0f, 2.0f};
    CGcParticleSystem system(s, 1);
    system.StartEmission();
    system.current.velocity[0] = {0.0f, 0.0f, 5.0f, 0.0f}; // straight into the screen
    system.FillVertices();
    ASSERT_EQ(1u, system.quadsWritten);
    const GcParticleVertex* v = reinterpret_cast<const GcParticleVertex*>(system.vertexBuffer->GetData());
    for (int c = 0; c < 4; ++c) {
        EXPECT_TRUE(std::isfinite(v[c].x) && std::isfinite(v[c].y) && std::isfinite(v[c].z)) << c;
        EXPECT_EQ(1.0f, std::fabs(v[c].x)) << c;
    }
    // Along the screen the quad's width follows the flight.
    system.current.velocity[0] = {0.0f, 3.0f, 0.0f, 0.0f};
    system.FillVertices();
    EXPECT_NEAR(0.0f, v[1].x - v[0].x, 1e-5f);
    EXPECT_NEAR(2.0f, v[1].y - v[0].y, 1e-5f);
}

} // namespace
