// The demo's keys game through the game-play harness, headless, on the demo's
// own pictures: a click on the chest in the first location walks the hero up
// to it and opens the game; a player that sees the keys' colours wins it,
// which unlocks its entry on the mini-games page; that entry's room starts it
// in the mini-game mode, from which Escape goes back to the menu.
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmGameConfig.h"
#include "Source/GameClasses/QmGameVars.h"
#include "Source/Qasimar/QasimarArcadeKeys.h"
#include "tests/Source/Qasimar/GamePlayHarness.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

using Game = CQasimarArcade_Keys;

constexpr int kWidth = 1280; // the reference size: the keys do not overlap
constexpr int kHeight = 1024;
constexpr float kShaft[2] = {40.0f, 27.0f}; // a point on every key's shaft

class DemoKeys : public ::testing::Test {
protected:
    void SetUp() override
    {
        CGamePlayHarness::Options options;
        options.pack = QM_DEMO_PACK;
        options.width = kWidth;
        options.height = kHeight;
        // The tiles puzzle the yard opens after the arrival stays shut.
        options.onNewGame = "QuestPass('three_tiles', 'voyage')";
        ASSERT_TRUE(harness.Start(options));
        harness.StepSeconds(1.0);
        ASSERT_NE(nullptr, harness.Entity("key_chest"));
        auto* found = g_gameProcessor->arcades.Find(CGeString("arcade: keys"));
        ASSERT_NE(nullptr, found);
        game = static_cast<Game*>(found->value);
    }

    Vec2 Screen(const Vec3& point) const
    {
        const Vec4 at = harness.Location()->ActiveCamera()->ProjectPoint(point);
        return Vec2{at.x, at.y};
    }
    void ClickAt(float x, float y)
    {
        harness.MoveMouse(x, y);
        harness.Step();
        harness.Click(x, y);
        harness.Step(3);
    }
    static float At(int i, int axis) { return (axis ? Game::kPlaces[i].y : Game::kPlaces[i].x) + kShaft[axis]; }
    void ClickKey(int i) { ClickAt(At(i, 0), At(i, 1)); }

    // The player looks at the keys and plays them off: pairs by colour, the
    // odd key last.
    void PlayToTheWin()
    {
        ClickAt(5, 5); // the banner
        harness.MoveMouse(5, 5);
        harness.StepSeconds(0.5);
        const std::vector<uint32_t> screen = harness.CaptureFrame();
        std::map<uint32_t, std::vector<int>> byColour;
        for (int i = 0; i < Game::kKeys; ++i)
            byColour[screen[size_t(At(i, 1)) * kWidth + size_t(At(i, 0))] & 0xFFFFFF].push_back(i);
        int odd = -1;
        for (const auto& [colour, keys] : byColour) {
            if (keys.size() == 2) {
                ClickKey(keys[0]);
                ClickKey(keys[1]);
            } else {
                ASSERT_EQ(1u, keys.size()) << std::hex << colour;
                odd = keys[0];
            }
        }
        ASSERT_EQ(13u, byColour.size());
        EXPECT_EQ(1, game->RemainingKeys());
        ClickKey(odd);
        harness.Step();
    }

    CGamePlayHarness harness;
    Game* game = nullptr;
};

TEST_F(DemoKeys, TheChestOpensTheGameAndTheWinUnlocksItsRoomOnTheMenu)
{
    // The chest in the yard: the hero walks up and uses it.
    const Vec2 at = Screen(harness.Entity("key_chest")->frame.position);
    ClickAt(at.x, at.y);
    for (int f = 0; f < 300 && g_gameProcessor->currentArcade != game; ++f)
        harness.Step();
    ASSERT_EQ(game, g_gameProcessor->currentArcade) << "the hero reached the chest and used it";
    ASSERT_TRUE(game->active);
    EXPECT_EQ(0, CQmGameVars::GetValue("cant_walk"));
    CQmGameConfig::s_minigames = 0;

    PlayToTheWin();
    EXPECT_EQ(nullptr, g_gameProcessor->currentArcade);
    EXPECT_EQ(1, CQmGameVars::GetValue("keys_won"));
    EXPECT_EQ(1u << 3, CQmGameConfig::s_minigames) << "the page lists the keys now";

    // Through the menu as the player goes: Escape, the mini-games page, the
    // only entry, start. Its room starts the game in the mini-game mode.
    harness.Key(0x1B);
    harness.Step(4);
    ASSERT_EQ(1, g_gameProcessor->menuOpen);
    for (const auto& [set, name] : {std::pair{"main_menu", "but_minigames"}, std::pair{"minigames_menu", "custom01"},
                                    std::pair{"minigames_menu", "but_start"}}) {
        CGuiControl* control = CGamePlayHarness::MenuControl(set, name);
        ASSERT_NE(nullptr, control) << name;
        harness.ClickControl(*control);
        harness.StepSeconds(0.5); // apart, so that no two clicks make a double click
    }
    harness.StepSeconds(1.0);
    ASSERT_NE(nullptr, harness.Location());
    EXPECT_STREQ("loc03", harness.Location()->name.c_str());
    ASSERT_EQ(game, g_gameProcessor->currentArcade);
    EXPECT_TRUE(game->active);
    EXPECT_EQ(1, CQmGameVars::GetValue("MiniGameMode"));
    EXPECT_EQ(game->controlSet, harness.ControlSet()) << "the keys are on screen";
    const uint32_t lid = harness.CaptureFrame()[1000 * kWidth + 640];
    EXPECT_GT((lid >> 16) & 0xFF, lid & 0xFF) << std::hex << lid << ": the chest's lid, brown, behind the keys";

    // Escape leaves for the menu, the game not won.
    harness.Key(0x1B);
    harness.Step(4);
    EXPECT_EQ(nullptr, g_gameProcessor->currentArcade);
    EXPECT_FALSE(game->active);
    EXPECT_EQ(1, g_gameProcessor->menuOpen);
    EXPECT_EQ(1, CQmGameVars::GetValue("keys_won"));
}

} // namespace
