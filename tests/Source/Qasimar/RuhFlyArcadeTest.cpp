// The bird flight under the game processor, in a location whose camera looks
// along +x from (0, 50, 0), with the rider and the bird as skinned figures,
// four cube mountains and the layout's controls. A test player steers by
// moving the mouse onto the screen point of where it wants the rider to be,
// judging by the mountains it sees; it flies to the end through the arch and,
// idle, crashes to the fall. The rules of protection, of the finish and of
// every way out are checked beside, with the tables of the route, the desert
// and the arch.
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeRandom.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Common/GeDeviceConfig.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmResourceManager.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"
#include "Engine/Core/Gm/GmLayers.h"
#include "Engine/Core/Gm/GmMesh.h"
#include "Engine/Gui/GuiProgressBar.h"
#include "Source/GameClasses/QmGameVars.h"
#include "Source/GameClasses/QmInputCodes.h"
#include "Source/GameClasses/QmSkySphere.h"
#include "Platform/D3d9/D3d9Testing.h"
#include "Source/Qasimar/QasimarArcadeRuhFly.h"
#include "tests/Engine/Core/Gm/MeshFixtures.h"
#include "tests/Source/Qasimar/ArcadeInLocationFixture.h"

#include <cmath>
#include <functional>
#include <memory>

namespace {

using Fly = CQasimarArcade_RuhFly;

const char* const kEvents[] = {"loc07_arcade_fly", "loc07_arcade_crash", "loc07_arcade_fall", "loc07_arcade_finish",
                               "loc07_arcade_end"};

class RuhFlyTest : public ArcadeInLocationTest {
protected:
    void SetUp() override
    {
        ArcadeInLocationTest::SetUp();
        g_pGmLayers = &m_layers;
        std::string layout = "<GUI><CONTROLSET><C Name='progressbar' Type='EGCT_PROGRESSBAR'>"
                             "<P Name='EP_MaxPos'>200</P></C>";
        for (const char* name : {"indicator", "live0", "live1", "live2", "live3", "live4", "banner_start",
                                 "banner_crash", "banner_finish"})
            layout += std::string("<C Name='") + name + "' Type='EGCT_CONTROL'/>";
        m_data.Write("gui/arcades/ruhfly.xml", layout + "</CONTROLSET></GUI>");
        for (int d = 1; d <= 4; ++d) {
            locwriter::WriteFile(m_data.Path(), "meshes/enviroment/mountain_" + std::to_string(d) + ".gemesh",
                                 meshfixture::WriteGemesh(meshfixture::MakeCube()));
            m_data.Write("materials/enviroment/mountain_" + std::to_string(d) + ".xml",
                         "<MATERIAL><COLORS DIFFUSE='0.5 0.4 0.3 1'/></MATERIAL>");
        }
        m_data.Write("materials/enviroment/moving_sand.xml", "<MATERIAL><COLORS DIFFUSE='1 0.9 0.6 1'/></MATERIAL>");

        location = EnterLocation("loc07");
        auto* camera = new CGmPerspectiveCamera;
        camera->screenWidth = 1280;
        camera->screenHeight = 1024;
        camera->eye = {0.0f, 50.0f, 0.0f};
        camera->target = {1000.0f, 50.0f, 0.0f};
        camera->Apply({0, 0, 1280, 1024, 0.0f, 1.0f});
        QmCameraGroup group;
        group.camera = camera;
        location->cameraGroups.Add(group);
        this->camera = camera;

        hero = AnimatedFigure(location, "qasimar");
        bird = AnimatedFigure(location, "ptenec_arc");
        m_animated = {hero, bird};
        const struct {
            const char* hero;
            const char* bird;
            uint32_t frames;
            bool looped;
        } pairs[] = {{"qasimar_flight", "ptenec_flight", 10, true},
                     {"qasimar_stolknulsa", "ptenec_stolknulsa", 10, false},
                     {"qasimar_flight_fall", "ptenec_flight_fall", 15, false}};
        for (const auto& pair : pairs) {
            animwrite::TrackSpec spec = animwrite::MakeTrack(pair.frames, 4, 10.0f);
            spec.looped = pair.looped ? 1 : 0;
            GiveTrack(hero, pair.hero, spec);
            GiveTrack(bird, pair.bird, spec);
        }
        game = new Fly();
        m_processor->AddArcade(game);
        std::string notes;
        for (const char* e : kEvents)
            notes += std::string("function ") + e + "() Note('" + e + "') end ";
        Run(notes);
        g_journal.clear();
    }
    void TearDown() override
    {
        ArcadeInLocationTest::TearDown();
        g_pGmLayers = nullptr;
    }

    void Start() { m_processor->StartArcadeByName("arcade: ruh fly", nullptr); }
    void Click() { Press(QM_MSG_LEFT_PRESS); }

    // Puts the mouse on the screen point of a world point.
    void MouseOnto(const Vec3& point)
    {
        const Vec4 screen = camera->ProjectPoint(point);
        m_mouse.x = screen.x;
        m_mouse.y = screen.y;
    }
    Vec3 Rider() const
    {
        hero->frame.UpdateWorldMatrix();
        const Matrix4& w = hero->frame.world;
        return {w.At(0, 3), w.At(1, 3), w.At(2, 3)};
    }
    bool Shown(const char* control) const
    {
        return m_gui.currentSet->FindControl(CGeString(control))->visible != 0;
    }
    int LivesShown() const
    {
        int shown = 0;
        for (const char* name : {"live0", "live1", "live2", "live3", "live4"})
            shown += Shown(name) ? 1 : 0;
        return shown;
    }

    // The player's steering. It sees the mountains come at it, guesses their
    // speed from their last move and plans where to be as each of the next
    // obstacles passes: clear of a mountain by 135 across, inside the arch's
    // opening, moving no faster than the rider can (1000 a second). It flies
    // low, under the arch's top, and aims at the first stop of its plan.
    void Steer()
    {
        const Vec3 rider = Rider();
        float speed = 400.0f;
        for (uint32_t slot = 0; slot < Fly::kMountains; ++slot) {
            const float x = game->mountains[slot]->frame.position.x;
            if (m_lastX[slot] > x)
                speed = std::max(speed, (m_lastX[slot] - x) / float(kFrameTime));
            m_lastX[slot] = x;
        }
        std::vector<Passing> passing;
        for (uint32_t slot = 0; slot < Fly::kObstacles; ++slot) {
            CGmScenicMesh* mountain = game->mountains[slot];
            const float ahead = mountain->frame.position.x - rider.x;
            if (mountain->visible && ahead > -130.0f)
                passing.push_back({std::max(ahead, 0.0f) / speed, mountain->frame.position.z, slot == Fly::kArch});
        }
        std::sort(passing.begin(), passing.end(), [](const Passing& a, const Passing& b) { return a.time < b.time; });
        if (passing.size() > 4)
            passing.resize(4);
        // The nearest few obstacles first; when no plan clears them all, fewer.
        float z = rider.z;
        for (size_t horizon = passing.size(); horizon > 0; --horizon)
            if (Plan(std::vector<Passing>(passing.begin(), passing.begin() + long(horizon)), rider.z, z))
                break;
        MouseOnto(Vec3{300.0f, -60.0f, z});
    }

    struct Passing {
        float time, z;
        bool arch;
    };
    // A path across z = -300 .. 300 (by 10) that is clear at each passing,
    // moves no faster than the rider and least overall, staying near the
    // middle where it cannot be cornered; its first stop.
    static bool Plan(const std::vector<Passing>& passing, float riderZ, float& stop)
    {
        auto clear = [](const Passing& p, float z) {
            return p.arch ? z > p.z - 280.0f && z < p.z + 260.0f : std::fabs(z - p.z) >= 140.0f;
        };
        constexpr int kSteps = 61;
        auto zOf = [](int i) { return -300.0f + 10.0f * float(i); };
        std::vector<float> cost(kSteps), next(kSteps);
        std::vector<std::vector<int>> from(passing.size(), std::vector<int>(kSteps, -1));
        float time = 0.0f;
        for (size_t k = 0; k < passing.size(); ++k) {
            // The rider is in reach of a mountain for a frame or two around
            // its passing: it plans to be in place a little early.
            const float reach = 1000.0f * (passing[k].time - time) - (k == 0 ? 0.0f : 50.0f);
            for (int i = 0; i < kSteps; ++i) {
                next[i] = 1e30f;
                if (!clear(passing[k], zOf(i)))
                    continue;
                const float stay = std::fabs(zOf(i)) * 0.2f;
                if (k == 0) {
                    if (std::fabs(zOf(i) - riderZ) <= reach)
                        next[i] = std::fabs(zOf(i) - riderZ) + stay;
                    continue;
                }
                for (int j = 0; j < kSteps; ++j) {
                    const float move = std::fabs(zOf(i) - zOf(j));
                    if (cost[j] < 1e29f && move <= reach && cost[j] + move + stay < next[i]) {
                        next[i] = cost[j] + move + stay;
                        from[k][i] = j;
                    }
                }
            }
            cost.swap(next);
            time = passing[k].time;
        }
        int best = -1;
        for (int i = 0; i < kSteps; ++i)
            if (cost[i] < 1e29f && (best < 0 || cost[i] < cost[best]))
                best = i;
        if (best < 0)
            return false;
        for (size_t k = passing.size(); k-- > 1;)
            best = from[k][best];
        stop = zOf(best);
        return true;
    }

    float m_lastX[Fly::kMountains] = {};
    CGmLayers m_layers;
    FakeLocation* location = nullptr;
    CGmCamera* camera = nullptr;
    CQmEntity* hero = nullptr;
    CQmEntity* bird = nullptr;
    Fly* game = nullptr;
};

} // namespace

TEST_F(RuhFlyTest, TheTestPlayerFliesClearThroughTheArchToTheEnd)
{
    GeSrand(7);
    const uint32_t listeners = Listeners(hero);
    Start();
    ASSERT_EQ(1, game->active);
    EXPECT_EQ(std::vector<std::string>{"loc07_arcade_fly"}, g_journal);
    EXPECT_EQ("qasimar_flight", Playing(hero));
    EXPECT_EQ("ptenec_flight", Playing(bird));
    EXPECT_TRUE(m_layers.Contains(2, game->desert));
    Frames(5);
    // Waiting: the banner shows, the world stands still.
    EXPECT_TRUE(Shown("banner_start"));
    const float waiting = game->mountains[3]->frame.position.x;
    EXPECT_EQ(5, LivesShown());
    Click();
    EXPECT_EQ(Fly::kFlying, game->state);
    bool archPassed = false;
    int frames = 0;
    for (; frames < 4000 && game->active; ++frames) {
        Steer();
        const Vec3 arch = game->mountains[Fly::kArch]->frame.position;
        if (game->mountains[Fly::kArch]->visible && std::fabs(Rider().x - arch.x) < 60.0f)
            archPassed = true;
        Frame();
        if (frames == 10) {
            EXPECT_LT(game->mountains[3]->frame.position.x, waiting);
        }
    }
    EXPECT_EQ(0, game->active) << frames;
    EXPECT_TRUE(archPassed);
    EXPECT_EQ(0, Count("loc07_arcade_crash"));
    EXPECT_EQ(1, Count("loc07_arcade_finish"));
    EXPECT_EQ("loc07_arcade_end", g_journal.back());
    // 97.5 s of frames of 40 ms, from the click.
    EXPECT_NEAR(97.5 / kFrameTime, double(frames), 2.0);
    // Finish undid the start.
    EXPECT_FALSE(m_layers.Contains(2, game->desert));
    EXPECT_EQ(0, game->desert->visible);
    for (CGmScenicMesh* mountain : game->mountains)
        EXPECT_EQ(nullptr, mountain);
    EXPECT_EQ(uint32_t(CGeFrame3D::COMPOSE_EULER), hero->frame.composeMode);
    EXPECT_EQ(uint32_t(CGeFrame3D::COMPOSE_EULER), bird->frame.composeMode);
    EXPECT_EQ(listeners, Listeners(hero));
    EXPECT_EQ(g_mainControlSet, m_gui.currentSet);
}

TEST_F(RuhFlyTest, AnIdleRiderCrashesFiveTimesFallsAndAClickStartsAgain)
{
    GeSrand(4);
    Start();
    Click();
    // The rider holds the aiming start; the mountains come at him.
    int frames = 0;
    while (frames < 20000 && game->state != Fly::kFallen)
        Frame(), ++frames;
    ASSERT_EQ(Fly::kFallen, game->state);
    EXPECT_EQ(4, Count("loc07_arcade_crash"));
    EXPECT_EQ(1, Count("loc07_arcade_fall"));
    EXPECT_EQ("qasimar_flight_fall", Playing(hero));
    Frames(50);
    EXPECT_TRUE(Shown("banner_crash"));
    EXPECT_FALSE(Shown("banner_start"));
    EXPECT_EQ(0, LivesShown());
    EXPECT_EQ(1, game->active);
    EXPECT_EQ(0, Count("loc07_arcade_end"));
    // A click: five lives, the clock back at 0, flying again.
    Click();
    EXPECT_EQ(Fly::kFlying, game->state);
    EXPECT_EQ(5u, game->lives);
    EXPECT_EQ(2, Count("loc07_arcade_fly"));
    Frame();
    EXPECT_EQ(5, LivesShown());
    EXPECT_NEAR(kFrameTime, game->flightTime, 1e-5);
    EXPECT_EQ("qasimar_flight", Playing(hero));
}

TEST_F(RuhFlyTest, NoCollisionUntilThreeSecondsAfterTheCrashTrackNorAFinishDuringIt)
{
    Start();
    Click();
    Frames(2);
    // A mountain sits on the rider every frame.
    CGmScenicMesh* rock = game->mountains[0];
    auto sitOnRider = [&] {
        rock->visible = 1;
        rock->frame.SetPosition(game->riderPos);
    };
    sitOnRider();
    Frame();
    ASSERT_EQ(4u, game->lives);
    EXPECT_EQ("qasimar_stolknulsa", Playing(hero));
    // The crash track lasts 1 s; protection 3 s more.
    int frames = 0;
    while (game->lives == 4u && frames < 500) {
        sitOnRider();
        Frame(), ++frames;
    }
    EXPECT_NEAR((1.0 + 3.0) / kFrameTime, double(frames), 2.0);
    // The finish waits for the crash track as well.
    game->flightTime = 89.99f;
    sitOnRider();
    Frame();
    ASSERT_EQ(Fly::kCrash, game->animKind);
    Frames(10);
    EXPECT_EQ(Fly::kFlying, game->state);
    EXPECT_EQ(0, Count("loc07_arcade_finish"));
    game->flightTime = 97.6f;
    Frame();
    EXPECT_EQ(1, game->active);
    Frames(20);
    EXPECT_EQ(0, game->active);
    EXPECT_EQ(1, Count("loc07_arcade_finish"));
    EXPECT_EQ(1, Count("loc07_arcade_end"));
}

TEST_F(RuhFlyTest, EveryWayOutFinishesTheFlight)
{
    const uint32_t listeners = Listeners(hero);
    for (const WayOut& way : WaysOut()) {
        BackIn("loc07");
        Start();
        Click();
        Frames(30);
        ASSERT_EQ(1, game->active) << way.name;
        way.leave();
        EXPECT_EQ(0, game->active) << way.name;
        EXPECT_FALSE(m_layers.Contains(2, game->desert)) << way.name;
        for (CGmScenicMesh* mountain : game->mountains)
            EXPECT_EQ(nullptr, mountain) << way.name;
        EXPECT_EQ(uint32_t(CGeFrame3D::COMPOSE_EULER), hero->frame.composeMode) << way.name;
        EXPECT_EQ(listeners, Listeners(hero)) << way.name;
        EXPECT_EQ(0, Count("loc07_arcade_end")) << way.name;
    }
    BackIn("loc07");
    // The in-game menu pauses the flight: no click starts it.
    Start();
    Key(QM_VK_ESCAPE);
    ASSERT_EQ(1, m_processor->menuOpen);
    EXPECT_EQ(1, game->paused);
    m_dispatcher->deliveryEnabled = 1;
    Click();
    EXPECT_EQ(Fly::kWaiting, game->state);
    m_processor->CloseMenu();
    m_dispatcher->deliveryEnabled = 1;
    Click();
    EXPECT_EQ(Fly::kFlying, game->state);
}

TEST_F(RuhFlyTest, ASecondStartDoesNothingAndAStartWithoutItsPiecesIsRefused)
{
    const uint32_t listeners = Listeners(hero);
    Start();
    CGmScenicMesh* first = game->mountains[0];
    game->Start();
    EXPECT_EQ(first, game->mountains[0]);
    EXPECT_EQ(listeners + 1, Listeners(hero));
    EXPECT_EQ(1, Count("loc07_arcade_fly"));
    game->Finish();

    struct Case {
        const char* removed;
        const char* log;
    } cases[] = {
        {"ptenec_arc", "arcade: ruh fly: entity 'ptenec_arc' is missing, the game does not start\n"},
        {"live3", "arcade: ruh fly: live3 is missing, the game does not start\n"},
    };
    const std::string full = CTestTempDir::Read(m_data.Path() + "/gui/arcades/ruhfly.xml");
    for (const Case& c : cases) {
        g_journal.clear();
        CQmEntity* entity = location->FindEntity(c.removed);
        if (entity)
            location->entityNames.EraseKey(CGeString(c.removed));
        else
            m_data.Write("gui/arcades/ruhfly.xml",
                         full.substr(0, full.find("<C Name='live3'")) + full.substr(full.find("<C Name='live4'")));
        Start();
        EXPECT_EQ(0, game->active) << c.removed;
        EXPECT_EQ(nullptr, m_processor->currentArcade) << c.removed;
        EXPECT_EQ(c.log, std::string(GeLogLastMessage().c_str()));
        EXPECT_TRUE(g_journal.empty()) << c.removed;
        EXPECT_FALSE(m_layers.Contains(2, game->desert)) << c.removed;
        EXPECT_EQ(uint32_t(CGeFrame3D::COMPOSE_EULER), hero->frame.composeMode) << c.removed;
        if (entity)
            location->entityNames.InsertNode(CGeString(c.removed), entity);
        else
            m_data.Write("gui/arcades/ruhfly.xml", full);
    }
}

TEST_F(RuhFlyTest, RouteDesertAndArchTables)
{
    Fly& game = *this->game;
    // The route: keys 0 to 19 at 90 k / 19 and 365 k / 19, the last at 97.5.
    for (int k = 0; k < 20; ++k) {
        const Vec2 at = game.route.GetValue(90.0f * float(k) / 19.0f);
        EXPECT_NEAR(365.0f * float(k) / 19.0f, at.x, 1e-3f) << k;
    }
    const struct {
        float time, x, y;
    } route[] = {{0.0f, 0.0f, 4.0f},    {23.68421f, 96.05263f, 16.0f}, {73.42105f, 297.76316f, 18.0f},
                 {90.0f, 365.0f, 10.5f}, {93.75f, 381.25f, 10.5f},     {97.5f, 397.5f, 10.5f}};
    for (const auto& key : route) {
        const Vec2 at = game.route.GetValue(key.time);
        EXPECT_NEAR(key.x, at.x, 1e-3f) << key.time;
        EXPECT_NEAR(key.y, at.y, 1e-3f) << key.time;
    }

    // The desert against its formula, in doubles.
    CQasimarArcade_RuhFly_desert& desert = *game.desert;
    EXPECT_EQ(96u * 128u, desert.mesh->vertexBuffer->Count());
    EXPECT_EQ(95u * 127u * 2u, desert.mesh->drawRanges[0].primitiveCount);
    desert.offset = 1234.0f;
    auto height = [](double offset, double x, double z) {
        const double a = (offset + x) / 6000.0 * 96.0 * 0.25;
        const double h = (0.25 * std::sin(a / 2) + std::cos(z / 16000.0 * 128.0 * 0.25) * std::sin(a) +
                          std::max(0.0, 10.0 * std::sin(a / 4) - 9.0)) *
                         100.0;
        return std::max(h, -20.0);
    };
    const float points[][2] = {{-3000.0f, -8000.0f}, {0.0f, 0.0f},       {250.0f, 1000.0f}, {1437.0f, -333.0f},
                               {2999.0f, 7999.0f},   {-1200.0f, 4200.0f}, {336.796f, 0.0f}};
    for (const auto& p : points)
        EXPECT_NEAR(height(1234.0, p[0], p[1]), desert.Height(p[0], p[1]), 0.05) << p[0] << " " << p[1];
    // The ridge of every fourth wavelength stands alone at a = 2 pi: the
    // waves there are at 0, the ridge alone lifts the sand by the amplitude.
    EXPECT_NEAR(100.0f, desert.Height(2.0f * 3.14159265f * 6000.0f / 24.0f - 1234.0f, 0.0f), 0.05f);
    // Scrolling: heights of the new offset, U slides by s x 16 / 6000.
    desert.offset = 0.0f;
    desert.scrollSpeed = 400.0f;
    const float u0 = reinterpret_cast<const float*>(desert.mesh->vertexBuffer->GetData() + 24)[0];
    desert.Scroll(0.5f);
    EXPECT_FLOAT_EQ(200.0f, desert.offset);
    const float* vertex = reinterpret_cast<const float*>(desert.mesh->vertexBuffer->GetData());
    EXPECT_NEAR(height(200.0, -3000.0, -8000.0), vertex[1], 0.05);
    EXPECT_NEAR(u0 + 200.0f * 16.0f / 6000.0f, vertex[6], 1e-5f);

    // The arch: a hit across its span outside the opening, or above 230 in it.
    const Vec3 arch = {1000.0f, -200.0f, 0.0f};
    const struct {
        Vec3 d;
        bool hit;
    } cases[] = {
        {{0.0f, 0.0f, 0.0f}, false},    {{0.0f, 231.0f, 0.0f}, true},    {{0.0f, 229.0f, 0.0f}, false},
        {{0.0f, 0.0f, -301.0f}, true},  {{0.0f, 0.0f, -299.0f}, false}, {{0.0f, 0.0f, 281.0f}, true},
        {{0.0f, 0.0f, 279.0f}, false},  {{0.0f, 0.0f, 551.0f}, false},  {{0.0f, 0.0f, -781.0f}, false},
        {{91.0f, 0.0f, -400.0f}, false}, {{-90.0f, 0.0f, 400.0f}, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.hit, Fly::Hits(Fly::kArch, Vec3{arch.x + c.d.x, arch.y + c.d.y, arch.z + c.d.z}, arch))
            << c.d.x << " " << c.d.y << " " << c.d.z;
    // Other mountains: a radius of 120 on the ground, height ignored.
    EXPECT_TRUE(Fly::Hits(0, Vec3{84.0f, 900.0f, 84.0f}, Vec3{0.0f, -200.0f, 0.0f}));
    EXPECT_FALSE(Fly::Hits(0, Vec3{85.0f, 0.0f, 85.0f}, Vec3{0.0f, -200.0f, 0.0f}));
}

namespace {

constexpr uint32_t kSky = 0xFF203040;

// The flight drawn on the platform's GL device (32 by 16 pixels): the
// location's camera and the render layers, as a frame draws them.
class RuhFlyPixels : public RuhFlyTest {
protected:
    void SetUp() override
    {
        RuhFlyTest::SetUp();
        GeDeviceConfig settings;
        SetDefaultDeviceConfig(settings);
        settings.windowed = 1;
        settings.width = 32;
        settings.height = 16;
        settings.refreshRate = 1; // no display mode matches: the size stays
        m_wrapper = std::make_unique<CGmDeviceWrapper>(settings);
        ASSERT_NE(nullptr, m_wrapper->GetDevice());
        g_pGmDevice = m_wrapper.get();
        g_pGmResourceManager = &m_manager;
        camera->screenWidth = 32;
        camera->screenHeight = 16;
        camera->Apply({0, 0, 32, 16, 0.0f, 1.0f});
    }
    void TearDown() override
    {
        RuhFlyTest::TearDown();
        g_pGmResourceManager = nullptr;
        g_pGmDevice = nullptr;
        m_wrapper.reset();
    }

    std::vector<uint32_t> Draw()
    {
        std::vector<uint32_t> pixels(32 * 16, 0);
        m_wrapper->Clear(GE_CLEAR_TARGET | GE_CLEAR_ZBUFFER, kSky, 1.0f);
        m_wrapper->BeginScene();
        camera->ApplyViewProjection(m_wrapper.get());
        m_wrapper->SetLighting(0);
        m_wrapper->SetCullMode(0);
        m_layers.RenderAll();
        m_wrapper->EndScene();
        D3d9CaptureNextPresent(m_wrapper->GetDevice(), pixels.data(), 32, 16);
        m_wrapper->Present();
        return pixels;
    }

    std::unique_ptr<CGmDeviceWrapper> m_wrapper;
    CGmResourceManager m_manager;
};

} // namespace

TEST_F(RuhFlyPixels, TheDesertFadesIntoTheFogTowardsTheHorizonAndTheFogLeavesWithTheGame)
{
    Start();
    ASSERT_EQ(1, game->active);
    Frame();
    const std::vector<uint32_t> fogged = Draw();
    // Down the middle column: sky above the horizon, then the desert, which
    // no light falls on (black) seen through the fog: each pixel is the fog's
    // colour times the share of fog at its distance, a share that grows
    // towards the horizon.
    const uint32_t fog = Fly::kFogColor;
    EXPECT_EQ(kSky & 0xFFFFFF, fogged[16] & 0xFFFFFF);
    float lastShare = 2.0f;
    int desertRows = 0;
    for (uint32_t y = 0; y < 16; ++y) {
        const uint32_t pixel = fogged[y * 32 + 16];
        if ((pixel & 0xFFFFFF) == (kSky & 0xFFFFFF)) {
            EXPECT_EQ(0, desertRows) << "sky under the desert in row " << y;
            continue;
        }
        ++desertRows;
        const float share = float((pixel >> 16) & 0xFF) / 255.0f;
        EXPECT_NEAR(share * float((fog >> 8) & 0xFF), float((pixel >> 8) & 0xFF), 4.0f) << y;
        EXPECT_NEAR(share * float(fog & 0xFF), float(pixel & 0xFF), 4.0f) << y;
        EXPECT_LT(share, lastShare) << y;
        lastShare = share;
    }
    EXPECT_GE(desertRows, 5);
    EXPECT_GT(float((fogged[9 * 32 + 16] >> 16) & 0xFF) / 255.0f, 0.6f) << "the horizon is deep in the fog";
    EXPECT_LT(lastShare, 0.3f) << "the near desert is nearly clear";

    // After the game the same desert, drawn again, shows no fog: black.
    game->Finish();
    m_layers.Add(2, game->desert);
    game->desert->visible = 1;
    const std::vector<uint32_t> clear = Draw();
    m_layers.Remove(game->desert);
    game->desert->visible = 0;
    for (uint32_t y = 16 - uint32_t(desertRows); y < 16; ++y)
        EXPECT_EQ(0u, clear[y * 32 + 16] & 0xFFFFFF) << y << " " << std::hex << clear[y * 32 + 16];
}

TEST_F(RuhFlyTest, TheStartAimsTheCursorAndTheScreenFollowsTheFlight)
{
    CQmSkySphere* sky = new CQmSkySphere(Vec4{1, 1, 1, 1}, 0.0f, Vec4{1, 1, 1, 1}, "");
    location->skySphere = sky;
    Start();
    // The aiming start: the mouse at (640, 800) of the reference screen, the
    // rider where it aims; the mountains hidden until they come round.
    EXPECT_FLOAT_EQ(640.0f, m_mouse.x);
    EXPECT_FLOAT_EQ(800.0f, m_mouse.y);
    EXPECT_TRUE(Vec3::EqualsWithin(game->riderPos, game->targetPos, 1e-3f));
    EXPECT_NEAR(300.0f, game->targetPos.x, 1e-2f);
    for (CGmScenicMesh* mountain : game->mountains)
        EXPECT_EQ(0, mountain->visible);
    GeSrand(7);
    Click();
    for (int i = 0; i < 250; ++i) { // 10 s, clear of the mountains
        Steer();
        Frame();
    }
    ASSERT_EQ(5u, game->lives);
    auto* bar = static_cast<CGuiProgressBar*>(m_gui.currentSet->FindControl(CGeString("progressbar")));
    EXPECT_NEAR(200.0f * game->flightTime / 90.0f, bar->value, 1e-3f);
    const Vec2 mapped = game->route.GetValue(game->flightTime);
    CGuiControl* indicator = m_gui.currentSet->FindControl(CGeString("indicator"));
    EXPECT_NEAR(mapped.x, indicator->X(), 0.1f);
    EXPECT_NEAR(mapped.y, indicator->Y(), 0.1f);
    EXPECT_NEAR(400.0f + 100.0f * game->flightTime, game->speed, 1.0f);
    EXPECT_FLOAT_EQ(game->speed * 0.00001f, sky->speed);
    EXPECT_FLOAT_EQ(game->speed, game->desert->scrollSpeed);
    EXPECT_FALSE(Shown("banner_start"));

    // A crash: the life just lost blinks once a second while the crash plays.
    game->mountains[0]->visible = 1;
    game->mountains[0]->frame.SetPosition(game->riderPos);
    Frame();
    ASSERT_EQ(4u, game->lives);
    int shown = 0, hidden = 0;
    for (int i = 0; i < 25; ++i) {
        Frame();
        (Shown("live4") ? shown : hidden) += 1;
        EXPECT_TRUE(Shown("live3"));
    }
    EXPECT_GT(shown, 5);
    EXPECT_GT(hidden, 5);

    // Past 90 s the obstacles leave one by one; the finish banner waits for
    // the last of them.
    game->flightTime = 90.0f;
    Frame();
    EXPECT_EQ(Fly::kFinished, game->state);
    // Two obstacles are about to pass the camera, the others far behind them.
    for (uint32_t slot = 0; slot < Fly::kObstacles; ++slot) {
        game->mountains[slot]->visible = 1;
        game->mountains[slot]->frame.SetPosition(Vec3{slot < 2 ? 20.0f : 2000.0f, -200.0f, 600.0f});
    }
    bool bannerWhileVisible = false, bannerAfter = false;
    for (int i = 0; i < 300 && game->active; ++i) {
        bool anyVisible = false;
        for (uint32_t slot = 0; slot < Fly::kObstacles; ++slot)
            anyVisible = anyVisible || game->mountains[slot]->visible;
        (anyVisible ? bannerWhileVisible : bannerAfter) |= Shown("banner_finish");
        Frame();
    }
    EXPECT_FALSE(bannerWhileVisible);
    EXPECT_TRUE(bannerAfter);
    EXPECT_EQ(0, game->active);
    location->skySphere = nullptr;
    delete sky;
}
