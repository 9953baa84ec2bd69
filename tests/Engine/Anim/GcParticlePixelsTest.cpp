// Particles drawn on the headless device through the render layers and a
// fixed perspective camera, and read back by pixels: quads where their births put them, in their
// colours, ADD summing, ALPHA_BLEND mixing, the appear time hiding young
// particles, a fixed facing, and a stopped effect that draws nothing once its
// particles have died.
//
// The camera looks along +z from (0, 0, -32) with a 90-degree field of view
// onto a 64 by 64 target, so one unit in the plane z = 0 is one pixel and the
// world origin is the target's centre (y up).
#include "Engine/Anim/GcParticleSystem.h"
#include "Engine/Anim/GcPsysEffect.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmLayers.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "tests/Engine/Anim/ParticleTestSupport.h"
#include "tests/Engine/Core/Gm/TextureTestFixture.h"

#include <filesystem>
#include <functional>

namespace {

constexpr uint32_t kBackground = 0xFF101010;

struct Quad {
    float x, y;      // centre in pixels from the target's centre, y up
    float size;      // width and height
    uint32_t colour; // ARGB
    float age = 1.0f;
};

class GcParticlePixels : public TextureTest {
protected:
    void SetUp() override
    {
        EnsureEngineKernels();
        TextureTest::SetUp();
        g_pGmRenderStateCache = states.get();
        previousDir = std::filesystem::current_path();
        std::filesystem::current_path(dir.Path());
        dir.Write("white.tga", SolidTga(4, 4, 0xFFFFFFFF));
        g_pGmResCollector = new CGmResCollector();
        timer.reset(new CGeTimer(1.0f, &clock));
        g_geTimer = timer.get();
        camera.screenWidth = 64;
        camera.screenHeight = 64;
        camera.eye = {0.0f, 0.0f, -32.0f};
        camera.target = {0.0f, 0.0f, 0.0f};
        camera.nearPlane = 1.0f;
        camera.farPlane = 1000.0f;
        CGeHub::s_currentSlot = 0;
        CGeHub::s_cameras3d[0] = &camera;
    }

    void TearDown() override
    {
        CGeHub::s_cameras3d[0] = nullptr;
        g_geTimer = nullptr;
        delete g_pGmResCollector;
        g_pGmResCollector = nullptr;
        g_pGmRenderStateCache = nullptr;
        std::filesystem::current_path(previousDir);
        TextureTest::TearDown();
    }

    // A system of the quads (alive, one life of 10 s, at the given ages),
    // filled through the camera.
    std::unique_ptr<CGcParticleSystem> Make(uint32_t blendMode, std::initializer_list<Quad> quads,
                                            float appearTime = 0.0f)
    {
        GcParticleSettings s;
        s.options = 0;
        s.blendMode = blendMode;
        s.appearTime = appearTime;
        s.minLife = s.maxLife = 10.0f;
        std::unique_ptr<CGcParticleSystem> system(new CGcParticleSystem(s, uint32_t(quads.size())));
        CGmTexture* white = rescollect::LoadTexture("white.tga");
        system->SetImage(white, 1, 1);
        white->Release();
        system->StartEmission();
        uint32_t i = 0;
        for (const Quad& q : quads) {
            system->current.position[i] = {q.x, q.y, 0.0f, 0.0f};
            system->current.size[i] = {q.size, q.size, q.size, 0.0f};
            system->current.colour[i] = q.colour;
            system->current.age[i] = q.age;
            ++i;
        }
        layers.Add(2, system.get());
        return system;
    }

    // Runs fill (the vertex fills), then draws the layers into a cleared 64
    // by 64 target and keeps its pixels.
    void Frame(const std::function<void()>& fill)
    {
        CGmTexture target;
        target.Create(64, 64, GM_FMT_A8R8G8B8, true);
        manager.Use(&target, GE_RES_TEXTURE);
        wrapper->SetRenderTarget(&target);
        camera.Apply({0, 0, 64, 64, 0.0f, 1.0f});
        camera.ApplyViewProjection(wrapper.get());
        wrapper->Clear(GE_CLEAR_TARGET, kBackground, 1.0f);
        wrapper->BeginScene();
        fill();
        layers.RenderAll();
        wrapper->EndScene();
        wrapper->RestoreRenderTarget();
        wrapper->GetDevice()->SetTexture(0, nullptr);
        target.Upload();
        const CGmImage* image = target.Image();
        pixels.assign(64 * 64, 0);
        for (uint32_t y = 0; y < 64; ++y)
            memcpy(&pixels[y * 64], image->data + size_t(y) * image->pitch, 64 * 4);
    }

    // The pixel at x, y of the target (y down from the top row).
    uint32_t At(uint32_t x, uint32_t y) const { return pixels[y * 64 + x]; }

    void Expect(std::initializer_list<std::tuple<uint32_t, uint32_t, uint32_t>> probes)
    {
        // Colour channels only: the target's alpha depends on the blend.
        for (const auto& [x, y, colour] : probes)
            EXPECT_LE(ColourDistance(colour | 0xFF000000, At(x, y) | 0xFF000000), 3)
                << "at " << x << ", " << y << ": " << std::hex << At(x, y) << " for " << colour;
    }

    CTestTempDir dir;
    std::filesystem::path previousDir;
    ParticleTestClock clock;
    std::unique_ptr<CGeTimer> timer;
    CGmPerspectiveCamera camera;
    CGmLayers layers;
    std::vector<uint32_t> pixels;
};

TEST_F(GcParticlePixels, QuadsAtTheirPixelsInTheirColours)
{
    auto system = Make(GC_BLEND_COPY, {{-16.0f, 16.0f, 8.0f, 0xFFFF0000}, {16.0f, -16.0f, 8.0f, 0xFF00FF00}});
    Frame([&] { system->FillVertices(); });
    // Red over pixels 12..19 of the upper left, green 44..51 of the lower right.
    Expect({{16, 16, 0xFFFF0000},
            {13, 13, 0xFFFF0000},
            {18, 18, 0xFFFF0000},
            {10, 16, kBackground},
            {21, 16, kBackground},
            {48, 48, 0xFF00FF00},
            {45, 50, 0xFF00FF00},
            {42, 48, kBackground},
            {32, 32, kBackground}});
}

TEST_F(GcParticlePixels, AddSumsAndAlphaBlendMixes)
{
    auto add = Make(GC_BLEND_ADD, {{0.0f, 0.0f, 16.0f, 0xFF800000}, {4.0f, 0.0f, 16.0f, 0xFF008000}});
    Frame([&] { add->FillVertices(); });
    Expect({{26, 32, 0xFF901010}, {32, 32, 0xFF909010}, {42, 32, 0xFF109010}});

    layers.Remove(add.get());
    auto mix = Make(GC_BLEND_ALPHA_BLEND, {{0.0f, 0.0f, 16.0f, 0x80FF0000}});
    Frame([&] { mix->FillVertices(); });
    Expect({{32, 32, 0xFF880808}, {20, 32, kBackground}});
}

TEST_F(GcParticlePixels, AppearTimeHidesYoungParticles)
{
    auto system =
        Make(GC_BLEND_COPY, {{-16.0f, 0.0f, 8.0f, 0xFFFF0000, 0.1f}, {16.0f, 0.0f, 8.0f, 0xFF0000FF, 0.5f}}, 0.3f);
    Frame([&] { system->FillVertices(); });
    EXPECT_EQ(1u, system->quadsWritten);
    Expect({{16, 32, kBackground}, {48, 32, 0xFF0000FF}});
}

TEST_F(GcParticlePixels, FixedFacingKeepsThePlaceAndTurnsTheQuad)
{
    // Turned away from the camera the quad stays a square at its place; facing
    // along x on the camera's axis it is seen edge-on and covers nothing.
    auto away = Make(GC_BLEND_COPY, {{-16.0f, 0.0f, 16.0f, 0xFFFF0000}});
    away->settings.facingNormal = {0.0f, 0.0f, 2.0f};
    auto edge = Make(GC_BLEND_COPY, {{0.0f, 0.0f, 16.0f, 0xFF00FF00}});
    edge->settings.facingNormal = {1.0f, 0.0f, 0.0f};
    Frame([&] {
        away->FillVertices();
        edge->FillVertices();
    });
    Expect({{9, 32, 0xFFFF0000},
            {22, 25, 0xFFFF0000},
            {6, 32, kBackground},
            {26, 32, kBackground},
            {32, 32, kBackground},
            {30, 28, kBackground}});
}

TEST_F(GcParticlePixels, StoppedEffectDrawsNothingOnceItsParticlesDied)
{
    dir.Write("puff.xml", "<PS_COLLECTION><PARTICLE_SYSTEM Name=\"puff\">" + Property("EP_PS_ParticleCount", "1") +
                              Property("EP_PS_Image", "white.tga") + Property("EP_PS_SO_Increasable", "false") +
                              Property("EP_PS_maxInitialSpeed", "0") + Property("EP_PS_minInitialSizeX", "16") +
                              Property("EP_PS_maxInitialSizeX", "16") + Property("EP_PS_minInitialSizeY", "16") +
                              Property("EP_PS_maxInitialSizeY", "16") + Property("EP_PS_initialColor1", "0xFFFFFF00") +
                              Property("EP_PS_initialColor2", "0xFFFFFF00") +
                              "</PARTICLE_SYSTEM><psys_effect><particle_system name=\"puff\">"
                              "<key time=\"0\" command=\"start\"/></particle_system></psys_effect></PS_COLLECTION>");
    CGcPsysEffect* loaded = nullptr;
    LoadPsysEffect("puff.xml", &loaded);
    std::unique_ptr<CGcPsysEffect> effect(loaded);
    ASSERT_TRUE(effect);
    layers.Add(2, effect.get());
    effect->Start();
    camera.Apply({0, 0, 64, 64, 0.0f, 1.0f});
    for (int frame = 0; frame < 2; ++frame) {
        clock.ticks += 100000;
        timer->Update();
        effect->Update();
    }
    Frame([] {});
    Expect({{32, 32, 0xFFFFFF00}, {20, 32, kBackground}});

    effect->Stop();
    for (int frame = 0; frame < 12; ++frame) {
        clock.ticks += 100000;
        timer->Update();
        effect->Update();
    }
    EXPECT_EQ(1, effect->entries[0].system->finished);
    Frame([] {});
    Expect({{32, 32, kBackground}});
}

} // namespace
