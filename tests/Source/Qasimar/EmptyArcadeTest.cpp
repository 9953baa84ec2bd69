// The empty mini-game played through the game-play harness, headless, on the
// demo's first location (a hero on a walkable floor), with its layout
// "gui/arcades/empty.xml" from a pack of the test's own: started by the
// script function, its overlay is the current control set while the
// location plays on beneath it; a left press walks the hero (or fires
// "loc01_cant_walk" where no path leads), nothing reaches it while the menu
// is open, a right press ends it even during an input lock, and a second
// start loads the layout only once.
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Source/GameClasses/QmBaseArcade.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmGameVars.h"
#include "Source/GameClasses/QmPropActor.h"
#include "Source/GameClasses/QmPropMotionController.h"
#include "Source/GameClasses/QmQuests.h"
#include "Source/GameClasses/QmScriptProcessor.h"
#include "Source/Qasimar/QmArcadeEmpty.h"
#include "tests/Source/Qasimar/GamePlayHarness.h"
#include "tools/fpk/FpkWriter.h"

#include <gtest/gtest.h>

namespace {

const char kEmptyLayout[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<!-- The empty game's overlay: a frame over the whole screen that shows the
     player the location is his again until the right button. -->
<GUI>
  <CONTROLSET>
    <Control Name="empty_frame" Type="EGCT_CONTROL">
      <Property Name="EP_X">0</Property>
      <Property Name="EP_Y">0</Property>
      <Property Name="EP_W">1280</Property>
      <Property Name="EP_H">64</Property>
    </Control>
  </CONTROLSET>
</GUI>
)";

class EmptyArcade : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string pack = m_packs / "arcade.fpk";
        CFpkWriter writer;
        std::string error;
        ASSERT_TRUE(writer.Open(pack.c_str(), &error)) << error;
        ASSERT_TRUE(writer.AddFile("gui/arcades/empty.xml", reinterpret_cast<const uint8_t*>(kEmptyLayout),
                                   sizeof(kEmptyLayout) - 1, &error))
            << error;
        ASSERT_TRUE(writer.Finish(&error)) << error;

        CGamePlayHarness::Options options;
        options.pack = QM_DEMO_PACK;
        options.extraPacks = {pack};
        // The puzzle of the three tiles counts as solved: it stays shut.
        options.onNewGame = "QuestPass('three_tiles', 'voyage')";
        ASSERT_TRUE(game.Start(options));
        game.StepSeconds(2.0);
        ASSERT_NE(nullptr, game.Location());
        hero = game.Entity("hero");
        ASSERT_NE(nullptr, hero);
        ASSERT_NE(nullptr, g_gameProcessor->hero);
        Run("function empty_arcade_end() VarSet('empty_ended', VarGet('empty_ended') + 1) end");
        auto* entry = g_gameProcessor->arcades.Find(CGeString("arcade: empty"));
        ASSERT_NE(nullptr, entry) << "start-up registers the empty game";
        arcade = static_cast<CQmArcade_Empty*>(entry->value);
    }

    void Run(const char* text)
    {
        CGeString error;
        EXPECT_TRUE(ScriptRunString(text, error)) << error.c_str();
    }

    // The reference-screen point over a world point.
    Vec2 Screen(const Vec3& point) const
    {
        const Vec4 at = game.Location()->ActiveCamera()->ProjectPoint(point);
        return Vec2{at.x * 1280.0f / 320.0f, at.y * 1024.0f / 256.0f};
    }

    void ClickAt(const Vec3& point)
    {
        const Vec2 at = Screen(point);
        game.MoveMouse(at.x, at.y);
        game.Step();
        game.Click(at.x, at.y);
        game.Step(3);
    }

    void RightClick()
    {
        PostMessageA(g_pGmDevice->GetWindow(), WM_RBUTTONDOWN, 2, LPARAM((100 << 16) | 100));
        PostMessageA(g_pGmDevice->GetWindow(), WM_RBUTTONUP, 0, LPARAM((100 << 16) | 100));
        game.Step(3);
    }

    bool Walking() const { return !hero->Prop<CQmPropMotionController>(QM_PROP_MOTION_CONTROLLER)->stopped; }

    static int Var(const char* name) { return CQmGameVars::GetValue(name); }

    CTestTempDir m_packs;
    CGamePlayHarness game;
    CQmEntity* hero = nullptr;
    CQmArcade_Empty* arcade = nullptr;
};

} // namespace

TEST_F(EmptyArcade, OverlaysThePlayableLocationUntilTheRightButton)
{
    CGuiControlSet* mainSet = game.ControlSet();
    Run("StartArcadeGame('arcade: empty')");
    ASSERT_EQ(arcade, g_gameProcessor->currentArcade);
    EXPECT_EQ(0, arcade->active);
    CGuiControlSet* overlay = game.ControlSet();
    ASSERT_NE(nullptr, overlay);
    EXPECT_STREQ("_ctrlset_arcade: empty", overlay->name.c_str());
    EXPECT_NE(nullptr, overlay->FindControl(CGeString("empty_frame")));
    // Started again without a finish: the layout is not loaded twice.
    Run("StartArcadeGame('arcade: empty')");
    EXPECT_EQ(1u, overlay->controls.count);

    // A left press walks the hero; where no path leads the location hears it.
    ClickAt(Vec3{250.0f, 0.0f, 400.0f});
    EXPECT_TRUE(Walking());
    for (int frame = 0; frame < 500 && Walking(); ++frame)
        game.Step();
    EXPECT_EQ(1, Var("hero_arrivals"));
    ClickAt(Vec3{112.0f, 0.0f, -87.0f});
    EXPECT_EQ(1, Var("cant_walk"));

    // The menu over it: it opens unpaused, and the game hears nothing.
    game.Key(0x1B);
    game.Step(3);
    ASSERT_EQ(1, g_gameProcessor->menuOpen);
    EXPECT_EQ(0, arcade->paused);
    ClickAt(Vec3{-300.0f, 0.0f, 300.0f});
    EXPECT_FALSE(Walking());
    RightClick();
    EXPECT_EQ(arcade, g_gameProcessor->currentArcade);
    g_gameProcessor->CloseMenu();
    game.Step();

    // A right press ends it while the input is locked.
    g_gameProcessor->inputLockTime = 10.0f;
    RightClick();
    EXPECT_EQ(nullptr, g_gameProcessor->currentArcade);
    EXPECT_EQ(1, Var("empty_ended"));
    EXPECT_EQ(mainSet, game.ControlSet());
    EXPECT_EQ(nullptr, g_guiManager->FindControlSet(CGeString("_ctrlset_arcade: empty")));
    EXPECT_EQ(0, arcade->started | arcade->layoutLoaded);
}
