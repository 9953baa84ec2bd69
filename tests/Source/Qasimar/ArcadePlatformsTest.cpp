// The platform climb through the game-play harness on the demo game, headless:
// a pack beside the demo's holds the lives' layout and the hero's tracks, the
// skinned hero and thirteen platforms are placed in the demo's first location,
// and a test player that sees only the entities' positions clicks when a plain
// model of the platforms' sliding puts the next platform under the hero at the
// landing test. It climbs to the win, falls three times to a loss (the lives
// going out one by one), is left from outside while standing; a refused
// start, the landing times, the camera's lift and the clicks swallowed after
// the menu are checked on the way.
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Gui/GuiControl.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmInputCodes.h"
#include "Source/GameClasses/QmPropAnimController.h"
#include "Source/GameClasses/QmQuests.h"
#include "Source/GameClasses/QmUnifiedCollector.h"
#include "Source/Qasimar/QasimarArcadePlatforms.h"
#include "tests/Source/GameClasses/FigureFixtures.h"
#include "tests/Source/GameClasses/ScriptEventRecorder.h"
#include "tests/Source/Qasimar/GamePlayHarness.h"
#include "tools/fpk/FpkWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <set>

namespace {

using Game = CQasimarArcade_Platforms;
constexpr float kFrame = 0.04f; // the harness's frame
constexpr float kRise = 30.0f;  // height between platforms

// What the player knows of a sliding platform: its range and speed, as the
// level designer would tell them; where it is and which way it goes it sees.
struct Slide {
    float minX, maxX, speed;
};
const Slide kSlides[Game::kPlatforms] = {
    {140, 140, 0},      {80, 500, 88.8f}, {120, 460, 111.1f}, {80, 500, 77.7f}, {60, 500, 0},
    {80, 490, 111.1f},  {80, 490, 66.6f}, {110, 440, 133.3f}, {60, 500, 0},    {80, 480, 99.9f},
    {50, 500, 101.1f},  {60, 480, 144.4f}, {420, 420, 0},
};

// The plain model: a platform slides at its speed and turns once it has
// passed an end of its range.
float SlideAhead(const Slide& slide, float x, bool left, int frames)
{
    for (int f = 0; f < frames; ++f) {
        x += left ? -slide.speed * kFrame : slide.speed * kFrame;
        if (left && x < slide.minX)
            left = false;
        else if (!left && x > slide.maxX)
            left = true;
    }
    return x;
}

const char* const kTracks[] = {"qasimar_idle_01", "qasimar_jumps_up_start", "qasimar_jumps_up_middle",
                               "qasimar_jumps_up_end", "qasimar_falls"};

const char kLivesLayout[] = "<GUI><CONTROLSET><C Name='live0' Type='EGCT_CONTROL'/>"
                            "<C Name='live1' Type='EGCT_CONTROL'/><C Name='live2' Type='EGCT_CONTROL'/>"
                            "</CONTROLSET></GUI>";

class ArcadePlatforms : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string pack = m_packs / "platforms.fpk";
        CFpkWriter writer;
        std::string error;
        ASSERT_TRUE(writer.Open(pack.c_str(), &error)) << error;
        ASSERT_TRUE(writer.AddFile("gui/arcades/platforms.xml", reinterpret_cast<const uint8_t*>(kLivesLayout),
                                   sizeof(kLivesLayout) - 1, &error))
            << error;
        for (const char* track : kTracks) {
            const animwrite::Bytes bytes = figure::TrackBytes(10, 10.0f, 0.0f);
            ASSERT_TRUE(writer.AddFile(std::string("anims/") + track + ".geat", bytes.data(), bytes.size(), &error))
                << error;
        }
        ASSERT_TRUE(writer.Finish(&error)) << error;

        CGamePlayHarness::Options options;
        options.pack = QM_DEMO_PACK;
        options.extraPacks = {pack};
        // The puzzle of the three tiles counts as solved: it stays shut
        // instead of laying its controls over the game's.
        options.onNewGame = "QuestPass('three_tiles', 'voyage')";
        ASSERT_TRUE(harness.Start(options));
        harness.StepSeconds(1.0);
        ASSERT_NE(nullptr, harness.Location());
        events = std::make_unique<CScriptEventRecorder>();
        events->Record({"platforms_arcade_end", "platforms_arcade_fall", "platforms_arcade_land"});
        auto* found = g_gameProcessor->arcades.Find(CGeString("arcade: platforms"));
        ASSERT_NE(nullptr, found);
        game = static_cast<Game*>(found->value);
    }

    // The skinned hero with his tracks and the platforms, one above the
    // other, the sliding ones in the middle of their ranges; skip leaves one
    // platform out.
    void Build(int skip = -1)
    {
        CQmEntity* hero = figure::MakeEntity("qasimar");
        EXPECT_TRUE(AddNamedObject(harness.Location(), hero, CGeString("qasimar"), false));
        auto* anim = new CQmPropAnimController(hero, 0);
        hero->SetProp(QM_PROP_ANIM_CONTROLLER, anim);
        anim->SetEnabled(true);
        for (const char* track : kTracks)
            CQmUnifiedCollector::LoadJointsAnimTrack((std::string("anims/") + track + ".geat").c_str(),
                                                     reinterpret_cast<uintptr_t>(hero));
        for (int i = 0; i < Game::kPlatforms; ++i) {
            if (i == skip)
                continue;
            char name[16];
            std::snprintf(name, sizeof(name), "platform_%02i", i);
            Add(name, 0.5f * (kSlides[i].minX + kSlides[i].maxX), kRise * float(i));
        }
    }
    CQmEntity* Add(const char* name, float x, float y)
    {
        auto* entity = new CQmEntity();
        entity->name = name;
        entity->frame.SetPosition(Vec3{x, y, 0.0f});
        EXPECT_TRUE(AddNamedObject(harness.Location(), entity, CGeString(name), false));
        return entity;
    }
    void StartGame() { g_gameProcessor->StartArcadeByName("arcade: platforms", nullptr); }

    float X(const char* name) const { return harness.Entity(name)->frame.position.x; }
    float PlatformX(int i) const
    {
        char name[16];
        std::snprintf(name, sizeof(name), "platform_%02i", i);
        return X(name);
    }
    // The platform the hero stands on: the one just below his feet.
    int Standing() const
    {
        const float y = harness.Entity("qasimar")->frame.position.y;
        return int(std::floor((y + 3.0f) / kRise));
    }

    // The track the hero plays, as it shows.
    std::string Playing() const
    {
        auto* anim = harness.Entity("qasimar")->Prop<CQmPropAnimController>(QM_PROP_ANIM_CONTROLLER);
        const CJaSeqPlayer* player = anim->jointController->ChannelPlayer(0);
        return player && player->sequence ? player->sequence->name.c_str() : "";
    }
    // The lives shown on the screen.
    int LivesShown() const
    {
        int shown = 0;
        for (const char* live : {"live0", "live1", "live2"}) {
            CGuiControl* control = harness.ControlSet()->FindControl(CGeString(live));
            EXPECT_NE(nullptr, control) << live;
            shown += control && control->visible;
        }
        return shown;
    }

    // One frame, noting which way each platform moved, the tracks played
    // and the lives shown while the hero stands.
    void Step()
    {
        float before[Game::kPlatforms];
        for (int i = 0; i < Game::kPlatforms; ++i)
            before[i] = PlatformX(i);
        harness.Step();
        for (int i = 0; i < Game::kPlatforms; ++i)
            if (PlatformX(i) != before[i])
                left[i] = PlatformX(i) < before[i];
        if (!game->started)
            return;
        played.insert(Playing());
        if (game->state == Game::kStanding) {
            EXPECT_EQ(int(game->lives), LivesShown());
        }
    }

    // Whether a click now lands, by the model: the hero leaves his platform
    // after the crouch and is tested against the next one a moment later.
    // The test's frame is known to two frames either way.
    // Sure of the outcome: every frame in the window lands (land) or every
    // one misses by more than the widest platform (miss).
    bool SureMoment(int from, bool land) const
    {
        const int crouch = int(std::ceil(Game::kJumpStartTime / kFrame)) + 2;
        const int rise = int(std::ceil(Game::kRiseTime / kFrame)) + 1;
        const float offset = PlatformX(from) - X("qasimar");
        for (int slack = -2; slack <= 2; ++slack) {
            const float heroX = SlideAhead(kSlides[from], PlatformX(from), left[from], crouch + slack) - offset;
            for (int late = -2; late <= 2; ++late) {
                const float next =
                    SlideAhead(kSlides[from + 1], PlatformX(from + 1), left[from + 1], crouch + rise + slack + late);
                const float distance = std::fabs(next - heroX);
                if (land ? distance >= 30.0f - 2.0f : distance <= 70.0f + 2.0f)
                    return false;
            }
        }
        return true;
    }

    // Plays until the game ends or frames run out: one click a jump, once
    // the hero has stood still for a frame, at sure landings when wantLand,
    // at sure misses otherwise. A click reaches the game a frame or two after
    // it is posted.
    void Play(bool wantLand, int frames)
    {
        int standing = 0;
        bool clicked = false;
        for (int f = 0; f < frames && game->started; ++f) {
            standing = game->state == Game::kStanding ? standing + 1 : 0;
            if (!standing)
                clicked = false;
            if (standing > 1 && !clicked && game->current < Game::kTop && SureMoment(Standing(), wantLand)) {
                harness.Click(640, 500);
                clicked = true;
            }
            Step();
        }
    }

    CTestTempDir m_packs;
    CGamePlayHarness harness;
    std::set<std::string> played;
    std::unique_ptr<CScriptEventRecorder> events;
    Game* game = nullptr;
    bool left[Game::kPlatforms] = {};
    int from = 0, clickFrame = 0;
};

TEST_F(ArcadePlatforms, TheTestPlayerClimbsToTheTop)
{
    Build();
    StartGame();
    ASSERT_TRUE(game->started);
    EXPECT_EQ(game, g_gameProcessor->currentArcade);
    Play(true, 3000);
    EXPECT_FALSE(game->started);
    EXPECT_EQ(Game::kTop, game->current);
    EXPECT_EQ(3u, game->lives);
    const std::string lines = events->Joined();
    EXPECT_NE(std::string::npos, lines.find("platforms_arcade_end(true,false)")) << lines;
    EXPECT_EQ(std::string::npos, lines.find("platforms_arcade_fall")) << lines;
    EXPECT_EQ(nullptr, g_gameProcessor->currentArcade);
    EXPECT_EQ((std::set<std::string>{"qasimar_idle_01", "qasimar_jumps_up_start", "qasimar_jumps_up_middle",
                                     "qasimar_jumps_up_end"}),
              played);
}

TEST_F(ArcadePlatforms, ThreeFallsLoseTheGame)
{
    Build();
    StartGame();
    Play(false, 3000);
    EXPECT_FALSE(game->started);
    EXPECT_EQ(0u, game->lives);
    const std::vector<std::string> lines = events->Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("platforms_arcade_end(false,false)", lines.back());
    int falls = 0;
    for (const std::string& line : lines)
        falls += line.rfind("platforms_arcade_fall", 0) == 0;
    EXPECT_EQ(3, falls);
    // Each fall put the hero back on the platform he jumped from.
    EXPECT_EQ(0, game->current);
    EXPECT_EQ(1u, played.count("qasimar_falls"));
}

TEST_F(ArcadePlatforms, LeftThroughTheMenuWhileStanding)
{
    Build();
    StartGame();
    harness.StepSeconds(0.5);
    ASSERT_EQ(Game::kStanding, game->state);
    // Escape opens the menu over the game, which pauses.
    harness.Key(QM_VK_ESCAPE);
    harness.Step(3);
    ASSERT_TRUE(g_gameProcessor->menuOpen) << "input lock " << g_gameProcessor->inputLockTime;
    EXPECT_TRUE(game->paused);
    // The menu's new game ends the game from outside.
    g_gameProcessor->StartNewGame();
    EXPECT_EQ("platforms_arcade_end(false,true)", events->Joined());
    EXPECT_EQ(nullptr, g_gameProcessor->currentArcade);
}

TEST_F(ArcadePlatforms, ClicksAfterTheMenuAreSwallowedForThreeFrames)
{
    Build();
    StartGame();
    harness.StepSeconds(0.5);
    game->Pause();
    harness.Click(640, 500);
    Step();
    EXPECT_EQ(Game::kStanding, game->state) << "a click while paused";
    game->Resume();
    for (int f = 0; f < 3; ++f) {
        harness.Click(640, 500);
        Step();
        EXPECT_EQ(Game::kStanding, game->state) << "frame " << f;
    }
    harness.Click(640, 500);
    Step();
    EXPECT_EQ(Game::kJumpStart, game->state);
}

TEST_F(ArcadePlatforms, LandingLastsThreeTenthsAfterStartJumpAndRespawn)
{
    // Frames after the landing clock starts until the hero stands: the
    // first frame past 0.3 s.
    const int expected = int(std::ceil(0.3f / kFrame)) + (std::fmod(0.3f, kFrame) < 1e-4f ? 1 : 0);
    auto framesToStand = [&] {
        int frames = 0;
        while (game->state != Game::kStanding && frames < 100) {
            Step();
            ++frames;
        }
        return frames;
    };
    // Clicks once a sure moment comes; then steps to the frame that starts
    // the clock (the middle phase of the jump, or the respawn).
    auto jump = [&](bool land, int32_t clockState) {
        for (int f = 0; f < 1000 && !SureMoment(Standing(), land); ++f)
            Step();
        harness.Click(640, 500);
        for (int f = 0; f < 200 && game->state != clockState; ++f)
            Step();
        ASSERT_EQ(clockState, game->state);
    };

    Build();
    StartGame();
    // Start places the hero and lands him on the bottom platform.
    EXPECT_EQ(Game::kLanding, game->state);
    EXPECT_FLOAT_EQ(6.0f, PlatformX(0) - X("qasimar"));
    EXPECT_EQ(expected, framesToStand()) << "after the start";
    // Standing, the hero stands on the platform's top.
    Step();
    EXPECT_FLOAT_EQ(6.0f, harness.Entity("qasimar")->frame.position.y);

    // A jump: the clock runs from the middle phase, through the landing.
    jump(true, Game::kInAir);
    EXPECT_EQ(expected, framesToStand()) << "after a jump";
    EXPECT_EQ(1, game->current);

    // A fall: the clock runs from the respawn.
    jump(false, Game::kFalling);
    for (int f = 0; f < 100 && game->state == Game::kFalling; ++f)
        Step();
    ASSERT_EQ(Game::kLanding, game->state);
    EXPECT_EQ(2u, game->lives);
    EXPECT_EQ(expected, framesToStand()) << "after a respawn";
}

TEST_F(ArcadePlatforms, TheCameraFollowsTheHeroUpDuringTheRise)
{
    CGmCamera* camera = harness.Location()->ActiveCamera();
    ASSERT_NE(nullptr, camera);
    Build();
    StartGame();
    EXPECT_FLOAT_EQ(Game::kCameraHeight, camera->eye.y);
    harness.StepSeconds(0.5);
    harness.Click(640, 500);
    int risen = 0;
    for (int f = 0; f < 40 && game->state != Game::kLanding && game->state != Game::kFalling; ++f) {
        Step();
        // The frame that leaves the platform lifts the camera from the next on.
        if (game->state == Game::kInAir && game->stateTime > 0.0f && game->stateTime <= Game::kRiseTime) {
            const float lift = Game::kCameraHeight + harness.Entity("qasimar")->frame.position.y * 800.0f / 1200.0f;
            EXPECT_FLOAT_EQ(lift, camera->eye.y);
            EXPECT_FLOAT_EQ(lift, camera->target.y);
            ++risen;
        }
    }
    EXPECT_GT(risen, 0);
    EXPECT_GT(camera->eye.y, Game::kCameraHeight);
    game->Finish();
    EXPECT_FLOAT_EQ(Game::kCameraHeight, camera->eye.y);
}

TEST_F(ArcadePlatforms, AMissingPlatformRefusesTheStart)
{
    Build(7);
    const Vec3 heroAt = harness.Entity("qasimar")->frame.position;
    GeLogClearLast();
    StartGame();
    EXPECT_FALSE(game->started);
    EXPECT_FALSE(game->active);
    EXPECT_EQ(nullptr, g_gameProcessor->currentArcade);
    EXPECT_EQ(2, GeLogLastLevel());
    EXPECT_NE(nullptr, std::strstr(GeLogLastMessage().c_str(), "platform_07"));
    EXPECT_EQ(heroAt.x, harness.Entity("qasimar")->frame.position.x);
    EXPECT_EQ("", events->Joined());
}

} // namespace
