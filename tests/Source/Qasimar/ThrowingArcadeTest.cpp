// The lemon throw under the game processor, on a skinned head whose mouth
// sits 40 units above it, a lemon and an arrow with a coloured material. A
// test player aims by moving the mouse, reads the aim off the arrow and the
// power off the bar, and picks its shot with a plain model of the lemon's
// flight; it throws to a win and to each kind of miss. The rules around the
// shot (arrow, bar, idle head, Escape, the menu, the start) are checked beside.
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeRandom.h"
#include "Engine/Core/Gm/GmMaterial.h"
#include "Engine/Core/Gm/GmScenicMesh.h"
#include "Engine/Gui/GuiProgressBar.h"
#include "Source/Qasimar/QasimarArcadeThrowing.h"
#include "tests/Source/Qasimar/ArcadeInLocationFixture.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

using Throw = CQasimarArcade_Throwing;

constexpr float kFrame = float(ArcadeInLocationTest::kFrameTime);
constexpr float kMouthHeight = 40.0f;
// The head stands 1000 units from the target, on the ground.
const Vec3 kHeadAt = {Throw::kTarget.x + 800.0f, 0.0f, Throw::kTarget.z + 600.0f};

class PlainMaterial : public CGmMaterial {
public:
    void Apply(const float*, uint32_t) override {}
    void BuildDeviceMaterial() override {}
};

struct TrackRow {
    const char* owner;
    const char* name;
    uint32_t frames; // at 10 a second
    bool looped;
};

const TrackRow kTracks[] = {
    {"cherep", "cherep_idle", 10, true},      {"cherep", "cherep_idle02", 8, false},
    {"cherep", "cherep_idle03", 6, false},    {"cherep", "cherep_spit", 15, false},
    {"lemon_arcade", "lemon_idle", 10, true}, {"lemon_arcade", "lemon_blast", 5, false},
};

// What the model says of a shot: where the lemon is when it passes the
// target's distance, or that it lands before.
struct Flight {
    bool passed = false;
    float height = 0.0f;
    std::vector<Vec3> positions; // frame by frame from the launch
};

// The flight as the player understands it: from the mouth at the speed the
// power gives, gravity 980 units/s^2 applied after each 0.01 s step of motion.
Flight Model(const Vec3& mouth, const Vec3& aim, float power, const Vec3& head)
{
    Flight flight;
    double p[3] = {mouth.x, mouth.y, mouth.z};
    const double speed = power / 100.0 * 800.0 + 700.0;
    double v[3] = {aim.x * speed, aim.y * speed, aim.z * speed};
    const double to[3] = {Throw::kTarget.x - head.x, Throw::kTarget.y - head.y, Throw::kTarget.z - head.z};
    const double distance = std::sqrt(to[0] * to[0] + to[1] * to[1] + to[2] * to[2]);
    flight.positions.push_back(mouth);
    for (int frame = 0; frame < 1000; ++frame) {
        for (int step = 0; step < 4; ++step) {
            for (int k = 0; k < 3; ++k)
                p[k] += v[k] * 0.01;
            v[1] -= 9.8;
        }
        flight.positions.push_back({float(p[0]), float(p[1]), float(p[2])});
        if (p[1] <= 0.0)
            return flight;
        const double along = ((p[0] - head.x) * to[0] + (p[1] - head.y) * to[1] + (p[2] - head.z) * to[2]) / distance;
        if (along >= distance) {
            flight.passed = true;
            flight.height = float(p[1]);
            return flight;
        }
    }
    return flight;
}

class ThrowingTest : public ArcadeInLocationTest {
protected:
    void SetUp() override
    {
        ArcadeInLocationTest::SetUp();
        m_data.Write("gui/arcades/throwing.xml",
                     "<GUI><CONTROLSET><C Name='progress' Type='EGCT_PROGRESSBAR'><P Name='EP_MaxPos'>100</P>"
                     "<P Name='EP_DisabledColor'>0xFF102030</P></C></CONTROLSET></GUI>");
        location = EnterLocation("loc05");
        head = AnimatedFigure(location, "cherep");
        lemon = AnimatedFigure(location, "lemon_arcade");
        head->frame.SetPosition(kHeadAt);
        lemon->frame.SetPosition(Vec3{5.0f, 6.0f, 7.0f});
        arrow = new CQmEntity;
        arrow->name = "arrow_arcade";
        auto* visuals = new CQmPropVisualObject(arrow);
        CGeArray<CGmMaterial*> materials;
        material = new PlainMaterial;
        material->diffuse = {1.0f, 0.0f, 0.0f, 0.0f};
        materials.Add(material);
        visuals->AddVisual(new CGmScenicMesh(nullptr, nullptr, materials), 2);
        material->Release();
        arrow->SetProp(QM_PROP_VISUAL_OBJECT, visuals);
        location->AddNamedObject(arrow->name, arrow, false);
        m_animated = {head, lemon, arrow};
        for (const TrackRow& row : kTracks)
            GiveTrack(location->FindEntity(row.owner), row.name, StillPose(row));
        game = new Throw();
        m_processor->AddArcade(game);
        Run("function loc05_arcade_end(won) Note('end ' .. tostring(won)) end "
            "for _, e in ipairs({'loc05_skull_split', 'loc05_lemon_blast'}) do _G[e] = function() Note(e) end end");
        g_journal.clear();
    }
    // A still pose: every joint 20 units above its parent, so the mouth
    // (joint 2) stays 40 units above the head whatever plays.
    static animwrite::TrackSpec StillPose(const TrackRow& row)
    {
        animwrite::TrackSpec spec;
        spec.joints = 4;
        spec.looped = row.looped ? 1 : 0;
        for (uint32_t f = 0; f < row.frames; ++f) {
            for (uint32_t j = 0; j < spec.joints; ++j) {
                CGeJointKey key;
                key.position = {0.0f, j ? 20.0f : 0.0f, 0.0f};
                key.rotation = {0.0f, 0.0f, 0.0f, 1.0f};
                spec.keys.push_back(key);
            }
            spec.root.push_back({0.0f, 0.0f, 0.0f});
        }
        return spec;
    }

    void Start() { m_processor->StartArcadeByName("arcade: throwing", nullptr); }

    void Click() { Press(QM_MSG_LEFT_PRESS); }
    // The processor hears the key first: with this game current it opens no
    // menu; then the game.
    void Escape()
    {
        Key(0x1B);
        m_dispatcher->PostMessage(m_dispatcher->PendingQueue(), &m_keyboard, QM_MSG_KEY_DOWN);
        m_dispatcher->RunPass();
    }

    // What the player sees.
    Vec3 Position(CQmEntity* entity) const
    {
        entity->frame.UpdateWorldMatrix();
        const Matrix4& w = entity->frame.world;
        return {w.At(0, 3), w.At(1, 3), w.At(2, 3)};
    }
    // The arrow points along its z axis and starts 50 units out of the mouth.
    Vec3 ArrowAim() const
    {
        arrow->frame.UpdateWorldMatrix();
        Vec3 aim = {arrow->frame.world.At(0, 2), arrow->frame.world.At(1, 2), arrow->frame.world.At(2, 2)};
        aim.Normalize();
        return aim;
    }
    Vec3 Mouth() const
    {
        const Vec3 tip = Position(arrow);
        const Vec3 aim = ArrowAim();
        return {tip.x - 50.0f * aim.x, tip.y - 50.0f * aim.y, tip.z - 50.0f * aim.z};
    }
    CGuiProgressBar* Bar() const
    {
        return static_cast<CGuiProgressBar*>(m_gui.currentSet->FindControl(CGeString("progress")));
    }
    // The player raises the aim a degree at a time (4 pixels of mouse) and
    // tries every power the bar can show until the model likes the shot;
    // then clicks the meter on and off at that power. The model's flight.
    Flight Aim(const std::function<bool(const Flight&)>& wanted)
    {
        for (int degree = 0; degree <= 80; ++degree) {
            if (degree) {
                // The arrow shows the new aim a frame after the mouse moved.
                m_mouse.y -= 4.0f;
                Frames(2);
            }
            for (int power = 0; power <= 100; power += 4) {
                Flight flight = Model(Mouth(), ArrowAim(), float(power), Position(head));
                if (!wanted(flight))
                    continue;
                Click();
                while (std::fabs(Bar()->value - float(power)) > 0.01f && game->state == Throw::kPower)
                    Frame();
                Click();
                return flight;
            }
        }
        ADD_FAILURE() << "no shot found";
        return {};
    }

    FakeLocation* location = nullptr;
    CQmEntity* head = nullptr;
    CQmEntity* lemon = nullptr;
    CQmEntity* arrow = nullptr;
    CGmMaterial* material = nullptr;
    Throw* game = nullptr;
};

} // namespace

TEST_F(ThrowingTest, TheTestPlayerHitsTheTargetWithTheShotItsModelChose)
{
    GeSrand(11);
    const uint32_t listeners = Listeners(head);
    Start();
    ASSERT_EQ(1, game->active);
    // Once the first track has blended in, the head faces the target, its
    // mouth 40 units up.
    Frames(15);
    const Vec3 mouth = Mouth();
    EXPECT_NEAR(kHeadAt.x, mouth.x, 1e-3f);
    EXPECT_NEAR(kMouthHeight, mouth.y, 1e-3f);
    EXPECT_NEAR(-0.8f, ArrowAim().x, 1e-5f);
    EXPECT_NEAR(-0.6f, ArrowAim().z, 1e-5f);

    const Flight flight = Aim([](const Flight& f) { return f.passed && f.height > 497.0f && f.height < 525.0f; });
    ASSERT_EQ(Throw::kThrow, game->state);
    EXPECT_EQ("cherep_spit", Playing(head));
    EXPECT_EQ(1, Count("loc05_skull_split"));
    // The spit takes 1.2333 s; the lemon waits out of sight until then.
    Frames(30);
    EXPECT_EQ(-100000.0f, Position(lemon).y);
    // Launched, the lemon follows the model frame by frame.
    while (Position(lemon).y == -100000.0f)
        Frame();
    size_t frame = 0;
    for (; game->active && frame < flight.positions.size(); ++frame) {
        const Vec3 at = Position(lemon);
        EXPECT_NEAR(flight.positions[frame].x, at.x, 0.05f) << frame;
        EXPECT_NEAR(flight.positions[frame].y, at.y, 0.05f) << frame;
        EXPECT_NEAR(flight.positions[frame].z, at.z, 0.05f) << frame;
        Frame();
    }
    EXPECT_EQ(flight.positions.size() - 1, frame);
    EXPECT_EQ(0, game->active);
    EXPECT_EQ(nullptr, m_processor->currentArcade);
    EXPECT_EQ("end true", g_journal.back());
    EXPECT_EQ(0, Count("loc05_lemon_blast"));
    // Finish gives the figures back: their compose modes, no listener.
    EXPECT_EQ(listeners, Listeners(head));
    EXPECT_EQ(listeners, Listeners(lemon));
    EXPECT_EQ(uint32_t(CGeFrame3D::COMPOSE_EULER), head->frame.composeMode);
    EXPECT_EQ(uint32_t(CGeFrame3D::COMPOSE_EULER), lemon->frame.composeMode);
    EXPECT_EQ(uint32_t(CGeFrame3D::COMPOSE_EULER), arrow->frame.composeMode);
    EXPECT_FLOAT_EQ(6.0f, Position(lemon).y);
    EXPECT_EQ(g_mainControlSet, m_gui.currentSet);
}

TEST_F(ThrowingTest, EveryMissBurstsAndThePlayerAimsAgain)
{
    struct Case {
        const char* what;
        std::function<bool(const Flight&)> wanted;
        float low, high; // the lemon's height when it bursts
    } cases[] = {
        {"on the ground", [](const Flight& f) { return !f.passed; }, 0.0f, 0.0f},
        {"a little too high", [](const Flight& f) { return f.passed && f.height > 535.0f && f.height < 605.0f; },
         530.0f, 613.0f},
        {"far too high", [](const Flight& f) { return f.passed && f.height > 620.0f; }, 613.0f, 1e9f},
        {"too low", [](const Flight& f) { return f.passed && f.height > 5.0f && f.height < 485.0f; }, 0.0f, 492.0f},
    };
    Start();
    Frames(15);
    for (const Case& c : cases) {
        // Down to 90 degrees.
        m_mouse.y += 400.0f;
        Frame();
        g_journal.clear();
        Aim(c.wanted);
        while (game->state == Throw::kThrow)
            Frame();
        ASSERT_EQ(Throw::kBurst, game->state) << c.what;
        EXPECT_EQ("lemon_blast", Playing(lemon)) << c.what;
        EXPECT_EQ(1, Count("loc05_lemon_blast")) << c.what;
        const float y = Position(lemon).y;
        EXPECT_GE(y, c.low) << c.what;
        EXPECT_LE(y, c.high) << c.what;
        // Clicks and Escape wait for the burst to end.
        Click();
        Escape();
        EXPECT_EQ(Throw::kBurst, game->state) << c.what;
        EXPECT_EQ(0, m_processor->menuOpen);
        Frames(15);
        EXPECT_EQ(Throw::kAiming, game->state) << c.what;
        EXPECT_EQ("lemon_idle", Playing(lemon)) << c.what;
        EXPECT_EQ(-100000.0f, Position(lemon).y) << c.what;
        EXPECT_EQ(1, game->active) << c.what;
        EXPECT_EQ(0, Count("end false")) << c.what;
    }
}

TEST_F(ThrowingTest, EscapeLeavesWhileAimingButNotDuringTheSpitAndTheMenuNeverOpens)
{
    for (int clicks : {0, 1, 2}) {
        g_journal.clear();
        Start();
        Frames(2);
        for (int i = 0; i < clicks; ++i)
            Click();
        Frames(5);
        Escape();
        EXPECT_EQ(0, m_processor->menuOpen) << clicks;
        if (clicks < 2) {
            EXPECT_EQ(0, game->active) << clicks;
            EXPECT_EQ(std::vector<std::string>{"end false"}, g_journal) << clicks;
        } else {
            // The head is spitting: Escape is ignored.
            EXPECT_EQ(1, game->active);
            EXPECT_EQ(Throw::kThrow, game->state);
            game->Finish();
            EXPECT_EQ("end false", g_journal.back());
        }
        EXPECT_EQ(nullptr, m_processor->currentArcade) << clicks;
    }
}

TEST_F(ThrowingTest, ArrowBarAndIdleHeadFollowTheState)
{
    GeSrand(5);
    Start();
    CGuiProgressBar* bar = Bar();
    ASSERT_NE(nullptr, bar);
    // Aiming: the arrow fades in by the frame time, the bar's tint out by
    // 192 a second, in whole steps.
    Frame();
    EXPECT_NEAR(kFrame, material->diffuse.a, 1e-6f);
    EXPECT_EQ(material->diffuse.a, material->emissive.a);
    EXPECT_EQ(0xFF - 7u, bar->disabledColor >> 24);
    EXPECT_EQ(0x102030u, bar->disabledColor & 0xFFFFFF);
    Frames(40);
    EXPECT_FLOAT_EQ(1.0f, material->specular.a);
    EXPECT_EQ(0u, bar->disabledColor >> 24);
    // The mouse turns the aim within 90..170 degrees.
    const struct {
        float mouseY;
        float angle;
    } aims[] = {{-40.0f, 100.0f}, {-400.0f, 170.0f}, {-300.0f, 145.0f}, {400.0f, 90.0f}};
    for (const auto& aim : aims) {
        m_mouse.y = aim.mouseY;
        Frame();
        EXPECT_FLOAT_EQ(aim.angle, game->aimAngle) << aim.mouseY;
    }
    // The meter: the bar is opaque, the arrow stretches with the power (the
    // power of the frame before: the arrow is placed before the meter moves).
    Click();
    Frames(10);
    EXPECT_EQ(0xFFu, bar->disabledColor >> 24);
    EXPECT_NEAR(40.0f, bar->value, 1e-3f);
    arrow->frame.UpdateWorldMatrix();
    const Matrix4& w = arrow->frame.world;
    EXPECT_NEAR(1.36f, std::sqrt(w.At(0, 2) * w.At(0, 2) + w.At(1, 2) * w.At(1, 2) + w.At(2, 2) * w.At(2, 2)), 1e-4f);
    // Thrown: the arrow fades out.
    Click();
    Frames(5);
    EXPECT_NEAR(1.0f - 5 * kFrame, material->ambient.a, 1e-5f);
    game->Finish();
    // The idle head plays a variation after ten seconds, then idles again.
    Start();
    Frames(245);
    EXPECT_EQ("cherep_idle", Playing(head));
    Frames(10);
    const std::string variation = Playing(head);
    EXPECT_TRUE(variation == "cherep_idle02" || variation == "cherep_idle03") << variation;
    Frames(30);
    EXPECT_EQ("cherep_idle", Playing(head));
}

TEST_F(ThrowingTest, AimAndPowerRules)
{
    // 90 degrees aims at the target, 170 nearly straight up.
    const struct {
        float angle;
        float up; // the aim's y
    } aims[] = {{90.0f, 0.0f}, {120.0f, 0.5f}, {170.0f, 0.98480775f}};
    for (const auto& aim : aims) {
        const Vec3 d = Throw::AimDirection(kHeadAt, aim.angle);
        EXPECT_NEAR(aim.up, d.y, 1e-5f) << aim.angle;
        EXPECT_NEAR(1.0f, std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z), 1e-5f) << aim.angle;
        const float across = std::sqrt(1.0f - aim.up * aim.up);
        EXPECT_NEAR(-0.8f * across, d.x, 1e-5f) << aim.angle;
        EXPECT_NEAR(-0.6f * across, d.z, 1e-5f) << aim.angle;
    }
    // The meter mirrors at both ends.
    const struct {
        float value, direction, delta;
        float expectValue, expectDirection;
    } swings[] = {
        {50.0f, 1.0f, 0.04f, 54.0f, 1.0f},  {98.0f, 1.0f, 0.04f, 98.0f, -1.0f}, {2.0f, -1.0f, 0.04f, 2.0f, 1.0f},
        {100.0f, 1.0f, 0.0f, 100.0f, 1.0f}, {0.0f, -1.0f, 2.5f, 50.0f, 1.0f},  {10.0f, 1.0f, 3.0f, 90.0f, -1.0f},
    };
    for (const auto& s : swings) {
        float value = s.value, direction = s.direction;
        Throw::SwingPower(value, direction, s.delta);
        EXPECT_NEAR(s.expectValue, value, 1e-4f) << s.value << " " << s.delta;
        EXPECT_EQ(s.expectDirection, direction) << s.value << " " << s.delta;
    }
    // A frame of flight: 0.01 s steps of motion, gravity after each.
    Vec3 position = {0.0f, 100.0f, 0.0f};
    Vec3 velocity = {100.0f, 0.0f, 0.0f};
    Throw::Fly(position, velocity, 0.025f);
    EXPECT_NEAR(2.5f, position.x, 1e-4f);
    EXPECT_NEAR(100.0f - 0.098f - 0.196f * 0.5f, position.y, 1e-4f);
    EXPECT_NEAR(-9.8f - 9.8f - 4.9f, velocity.y, 1e-3f);
}

TEST_F(ThrowingTest, TheStartNeedsItsPiecesListensOnceAndHearsNothingUnderTheMenu)
{
    const uint32_t listeners = Listeners(head);
    Start();
    game->Start();
    EXPECT_EQ(listeners + 1, Listeners(head));
    EXPECT_EQ(listeners + 1, Listeners(lemon));
    // Under the menu a click starts no meter.
    game->Pause();
    Click();
    EXPECT_EQ(Throw::kAiming, game->state);
    game->Resume();
    Click();
    EXPECT_EQ(Throw::kPower, game->state);
    game->Finish();
    EXPECT_EQ(listeners, Listeners(head));

    for (const char* removed : {"cherep", "lemon_arcade", "arrow_arcade"}) {
        g_journal.clear();
        CQmEntity* entity = location->FindEntity(removed);
        location->entityNames.EraseKey(CGeString(removed));
        Start();
        EXPECT_EQ(0, game->active) << removed;
        EXPECT_EQ(nullptr, m_processor->currentArcade) << removed;
        EXPECT_EQ("arcade: throwing: entity '" + std::string(removed) + "' is missing, the game does not start\n",
                  std::string(GeLogLastMessage().c_str()));
        EXPECT_EQ(std::vector<std::string>{"end false"}, g_journal) << removed;
        EXPECT_EQ(listeners, Listeners(head)) << removed;
        EXPECT_EQ(uint32_t(CGeFrame3D::COMPOSE_EULER), head->frame.composeMode) << removed;
        location->entityNames.InsertNode(CGeString(removed), entity);
    }
}

TEST_F(ThrowingTest, EveryWayOutGivesTheFiguresBackAndReportsNoWin)
{
    const uint32_t listeners = Listeners(head);
    for (const WayOut& way : WaysOut()) {
        BackIn("loc05");
        Start();
        Frames(5);
        Click();
        Frames(3);
        ASSERT_EQ(Throw::kPower, game->state) << way.name;
        way.leave();
        EXPECT_EQ(0, game->active) << way.name;
        EXPECT_EQ(1, Count("end false")) << way.name;
        EXPECT_EQ(0, Count("end true")) << way.name;
        EXPECT_EQ(listeners, Listeners(head)) << way.name;
        EXPECT_EQ(listeners, Listeners(lemon)) << way.name;
        for (CQmEntity* entity : {head, lemon, arrow})
            EXPECT_EQ(uint32_t(CGeFrame3D::COMPOSE_EULER), entity->frame.composeMode) << way.name;
        EXPECT_FLOAT_EQ(6.0f, Position(lemon).y) << way.name;
    }
}
