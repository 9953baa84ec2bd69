// The fist fight through the game-play harness on the packed demo game,
// headless: the fighters, their markers, their tracks and the layout come in
// a pack of their own beside the demo's, the fighters stand in the demo's
// first location, and the player's clicks reach the game as window messages.
// A test player that sees only the tracks playing wins; the game is then
// left, once each, by every way out the processor gives, saving and loading
// among them.
#include "Engine/Gui/GuiControl.h"
#include "Source/GameClasses/QmGameVars.h"
#include "Source/GameClasses/QmPropAnimController.h"
#include "Source/GameClasses/QmUnifiedCollector.h"
#include "Source/Qasimar/QasimarArcadeFighting.h"
#include "tests/Source/GameClasses/FigureFixtures.h"
#include "tests/Source/GameClasses/ScriptEventRecorder.h"
#include "tests/Source/Qasimar/GamePlayHarness.h"
#include "tools/animwrite/AnimWriter.h"
#include "tools/fpk/FpkWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

namespace {

using Fight = CQasimarArcade_Fighting;

// The fight's tracks at 10 frames a second, with the frames of their events.
struct TrackRow {
    const char* name;
    uint32_t frames;
    const char* events[2];
    uint32_t eventFrames[2];
    bool looped;
};
const TrackRow kTracks[] = {
    {"fight_idle", 10, {nullptr, nullptr}, {0, 0}, true},
    {"kick_1", 8, {"punch", nullptr}, {4, 0}, false},
    {"kick_2", 8, {"punch", nullptr}, {4, 0}, false},
    {"uklon_1", 8, {"defence_start", "defence_end"}, {1, 6}, false},
    {"damage", 5, {nullptr, nullptr}, {0, 0}, false},
    {"death", 6, {nullptr, nullptr}, {0, 0}, false},
};

class FightingInTheDemo : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string pack = m_packs.Path() + "/fight.fpk";
        CFpkWriter writer;
        std::string error;
        ASSERT_TRUE(writer.Open(pack.c_str(), &error)) << error;
        const std::string layout = "<GUI><CONTROLSET><C Name='txt_lbl' Type='EGCT_CONTROL'/></CONTROLSET></GUI>";
        ASSERT_TRUE(writer.AddFile("gui/arcades/fight.xml", reinterpret_cast<const uint8_t*>(layout.data()),
                                   uint32_t(layout.size()), &error))
            << error;
        for (const char* prefix : {"qasimar_", "glavar_"})
            for (const TrackRow& row : kTracks) {
                animwrite::TrackSpec spec = animwrite::MakeTrack(row.frames, 4, 10.0f);
                spec.looped = row.looped ? 1 : 0;
                spec.events.assign(row.frames, nullptr);
                for (int e = 0; e < 2; ++e)
                    if (row.events[e])
                        spec.events[row.eventFrames[e]] = row.events[e];
                const animwrite::Bytes bytes = animwrite::WriteGeat(spec);
                const std::string path = std::string("anims/") + prefix + row.name + ".geat";
                ASSERT_TRUE(writer.AddFile(path.c_str(), bytes.data(), uint32_t(bytes.size()), &error)) << error;
            }
        ASSERT_TRUE(writer.Finish(&error)) << error;

        CGamePlayHarness::Options options;
        options.pack = QM_DEMO_PACK;
        options.extraPacks = {pack};
        options.seed = 7;
        // The puzzle of the three tiles counts as solved: it stays shut.
        options.onNewGame = "QuestPass('three_tiles', 'voyage')";
        ASSERT_TRUE(harness.Start(options));
        harness.StepSeconds(2.0);
        ASSERT_NE(nullptr, harness.Location());
        events = std::make_unique<CScriptEventRecorder>();
        events->Record({"fighting_start", "fighting_stop", "fighting_damage_hero", "fighting_damage_glavar"});
        hero = Fighter("qasimar", -60.0f);
        enemy = Fighter("glavar", 60.0f);
        for (const char* name : {"qasimar_hi", "glavar_hi"}) {
            auto* marker = new CQmEntity;
            marker->name = name;
            marker->SetProp(QM_PROP_VISUAL_OBJECT, new CQmPropVisualObject(marker));
            ASSERT_TRUE(AddNamedObject(harness.Location(), marker, CGeString(name), false));
        }
        auto* found = g_gameProcessor->arcades.Find(CGeString("arcade: fighting"));
        ASSERT_NE(nullptr, found) << "start-up registers the fight";
        game = static_cast<Fight*>(found->value);
    }

    CQmEntity* Fighter(const char* name, float x)
    {
        CQmEntity* entity = figure::MakeEntity(name);
        entity->frame.SetPosition(Vec3{x, 0.0f, 0.0f});
        auto* controller = new CQmPropAnimController(entity, 0);
        entity->SetProp(QM_PROP_ANIM_CONTROLLER, controller);
        controller->SetEnabled(true);
        EXPECT_TRUE(AddNamedObject(harness.Location(), entity, CGeString(name), false));
        for (const TrackRow& row : kTracks) {
            const std::string path = std::string("anims/") + name + "_" + row.name + ".geat";
            CQmUnifiedCollector::LoadJointsAnimTrack(path.c_str(), reinterpret_cast<uintptr_t>(entity));
        }
        return entity;
    }

    // Starts the fight as a script does and clicks the intro away.
    void Begin()
    {
        g_gameProcessor->StartArcadeByName("arcade: fighting", nullptr);
        ASSERT_EQ(game, g_gameProcessor->currentArcade);
        harness.Step();
        harness.Click(640.0f, 512.0f);
        harness.Step(3);
        ASSERT_EQ(0, game->introShown);
    }
    void RightClick()
    {
        const LPARAM at = LPARAM((128 << 16) | 160);
        PostMessageA(g_pGmDevice->GetWindow(), WM_RBUTTONDOWN, 2, at);
        PostMessageA(g_pGmDevice->GetWindow(), WM_RBUTTONUP, 0, at);
    }

    std::string Playing(CQmEntity* fighter) const
    {
        const CJaSeqPlayer* player =
            fighter->Prop<CQmPropAnimController>(QM_PROP_ANIM_CONTROLLER)->jointController->ChannelPlayer(0);
        return player && player->sequence ? player->sequence->name.c_str() : "";
    }
    bool Moving(CQmEntity* fighter) const
    {
        const CJaSeqPlayer* player =
            fighter->Prop<CQmPropAnimController>(QM_PROP_ANIM_CONTROLLER)->jointController->ChannelPlayer(0);
        const std::string track = Playing(fighter);
        return player->playing && track.find("fight_idle") == std::string::npos;
    }
    int Count(const std::string& line) const
    {
        const std::vector<std::string> lines = events->Lines();
        return int(std::count(lines.begin(), lines.end(), line));
    }

    CTestTempDir m_packs;
    CGamePlayHarness harness;
    std::unique_ptr<CScriptEventRecorder> events;
    CQmEntity* hero = nullptr;
    CQmEntity* enemy = nullptr;
    Fight* game = nullptr;
};

} // namespace

TEST_F(FightingInTheDemo, TheTestPlayerWinsWithClicksThroughTheWindow)
{
    Begin();
    EXPECT_EQ(1, Count("fighting_start()"));
    int frames = 0;
    for (; frames < 3000 && game->active; ++frames) {
        const std::string theirs = Playing(enemy);
        const bool kicked = Moving(enemy) && theirs.find("kick") != std::string::npos;
        if (!Moving(hero)) {
            // A click reaches the game within three frames.
            if (kicked)
                RightClick();
            else
                harness.Click(640.0f, 512.0f);
            harness.Step(3);
            frames += 2;
        } else {
            harness.Step();
        }
    }
    EXPECT_EQ(0, game->active) << frames;
    EXPECT_EQ(nullptr, g_gameProcessor->currentArcade);
    EXPECT_EQ(10, Count("fighting_damage_glavar()"));
    EXPECT_LT(Count("fighting_damage_hero()"), 10);
    EXPECT_EQ("fighting_stop()", events->Lines().back());
    EXPECT_EQ("glavar_death", Playing(enemy));
    EXPECT_EQ(0, harness.Entity("glavar_hi")->GetProp(QM_PROP_VISUAL_OBJECT)->enabled);
}

// Each way out, on a fight under way: the game ends without its stop event;
// where the fighters are still in the location, the game no longer listens
// to them (their markers are the location's again: a restarted location
// shows what it holds).
class FightingWaysOut : public FightingInTheDemo, public ::testing::WithParamInterface<const char*> {};

TEST_P(FightingWaysOut, EndTheFightWithoutItsStopEvent)
{
    const std::string way = GetParam();
    const uint32_t listeners =
        hero->Prop<CQmPropAnimController>(QM_PROP_ANIM_CONTROLLER)->jointController->clients.count;
    Begin();
    harness.StepSeconds(1.0);
    ASSERT_EQ(1, game->active);
    events->Clear();
    if (way == "load") {
        g_gameProcessor->SaveGame(3);
        g_gameProcessor->LoadGame(3);
    } else if (way == "new game") {
        g_gameProcessor->StartNewGame();
    } else {
        CQmGameVars::Set("MiniGameMode", 1);
        harness.Key(0x1B);
        harness.Step(3);
    }
    EXPECT_EQ(0, game->active);
    EXPECT_EQ(nullptr, g_gameProcessor->currentArcade);
    EXPECT_EQ(0, Count("fighting_stop()"));
    if (harness.Entity("qasimar") == hero) {
        EXPECT_EQ(listeners,
                  hero->Prop<CQmPropAnimController>(QM_PROP_ANIM_CONTROLLER)->jointController->clients.count);
    }
    harness.StepSeconds(0.5);
    EXPECT_EQ(nullptr, g_gameProcessor->currentArcade);
}

INSTANTIATE_TEST_SUITE_P(Ways, FightingWaysOut, ::testing::Values("load", "new game", "escape in mini-game mode"));
