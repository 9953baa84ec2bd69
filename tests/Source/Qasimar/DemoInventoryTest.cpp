// The demo's items through the game-play harness, headless, played with
// window messages as the player plays them: the strip is whole on the packed
// demo (every control of its document, "void_sh", the spark picture) and the
// hero sets out with his tinderbox; the pointer over the taper in the yard
// names it, a click on it walks the hero up to it, and it leaves the yard and
// flies from where it lay into its cell while a hint and the arrow say what
// it is for; a click on its cell picks it up and its icon is drawn at the
// cursor; a click on the tinderbox combines the two into the lit taper in the
// tinderbox's cell; carried to the lantern, the lit taper lights it: the yard
// shakes, the arrow goes, the clip plays, and once it is over the lantern's
// pixels glow. A saved game keeps the items and the yard.
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmImageSet.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Gui/GuiControl.h"
#include "Engine/Gui/GuiPropertyIds.h"
#include "Engine/Gui/GuiTextControl.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmGameVars.h"
#include "Source/GameClasses/QmInventory.h"
#include "Source/GameClasses/QmPropActor.h"
#include "Source/GameClasses/QmQuests.h"
#include "Source/GameClasses/QmScreenTint.h"
#include "Source/GameClasses/QmScriptProcessor.h"
#include "Source/GameClasses/QmVideoPlayer.h"
#include "tests/Source/Qasimar/GamePlayHarness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t kWidth = 640, kHeight = 512;
constexpr uint32_t kWax = 0xF4F0E0;   // the taper's picture
constexpr uint32_t kFlame = 0xFFC020; // the lit taper's flame, the lit lantern's glass

class DemoInventory : public ::testing::Test {
protected:
    void SetUp() override
    {
        CGamePlayHarness::Options options;
        options.pack = QM_DEMO_PACK;
        options.width = kWidth;
        options.height = kHeight;
        // The puzzle of the three tiles counts as solved: it stays shut.
        options.onNewGame = "QuestPass('three_tiles', 'voyage')";
        ASSERT_TRUE(game.Start(options));
        // The pointer rests over the yard, away from the strip; past the
        // arrival's fade from black.
        game.MoveMouse(640.0f, 600.0f);
        game.StepSeconds(2.5);
        ASSERT_NE(nullptr, game.Location());
        inventory = dynamic_cast<CQmInventory*>(g_inventory);
        ASSERT_NE(nullptr, inventory);
    }

    void Run(const char* text)
    {
        CGeString error;
        EXPECT_TRUE(ScriptRunString(text, error)) << error.c_str();
    }

    // The item names shown in the cells, "-" for an empty one.
    std::string Cells() const
    {
        std::string names;
        auto* node = inventory->display.head;
        for (uint32_t i = 0; i < CQmInventory::kCells; ++i, node = node ? node->next : nullptr)
            names += std::string(i ? " " : "") + (node ? node->value->name.c_str() : "-");
        return names;
    }

    // The pointer at the screen's top edge brings the strip all the way down.
    void OpenStrip()
    {
        game.MoveMouse(640.0f, 2.0f);
        game.StepSeconds(0.5);
        ASSERT_TRUE(inventory->IsOpen());
        ASSERT_EQ(0.0f, inventory->panel->Y());
    }

    // A click at the middle of cell i, as the player makes it: a while after
    // the last one, so that two never make a double click.
    void ClickCell(uint32_t i)
    {
        const Vec2 origin = inventory->cells[i]->ScreenOrigin();
        game.MoveMouse(origin.x + 48.0f, origin.y + 48.0f);
        game.StepSeconds(0.4);
        game.Click(origin.x + 48.0f, origin.y + 48.0f);
        game.Step(4);
    }

    // A click on an entity where the camera shows it.
    void ClickOn(const char* entity)
    {
        const Vec2 at = Reference(OnScreen(entity));
        game.MoveMouse(at.x, at.y);
        game.StepSeconds(0.4);
        game.Click(at.x, at.y);
        game.Step(3);
    }

    // The pixels of a frame within radius of a back-buffer point that lie
    // near rgb.
    static uint32_t CountNear(const std::vector<uint32_t>& frame, int cx, int cy, int radius, uint32_t rgb)
    {
        return CountNear(frame, cx - radius, cy - radius, cx + radius + 1, cy + radius + 1, rgb);
    }
    // The same in a back-buffer rectangle.
    static uint32_t CountNear(const std::vector<uint32_t>& frame, int x0, int y0, int x1, int y1, uint32_t rgb)
    {
        uint32_t n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                if (x >= 0 && y >= 0 && x < int(kWidth) && y < int(kHeight) &&
                    PixelNear(frame[size_t(y) * kWidth + size_t(x)], rgb, 24))
                    ++n;
        return n;
    }

    // Where an entity stands in the back buffer.
    Vec2 OnScreen(const char* entity) const
    {
        const Vec4 p = game.Location()->ActiveCamera()->ProjectPoint(game.Entity(entity)->frame.position);
        return {p.x, p.y};
    }
    static Vec2 Reference(const Vec2& pixel)
    {
        return {pixel.x * 1280.0f / float(kWidth), pixel.y * 1024.0f / float(kHeight)};
    }

    CGamePlayHarness game;
    CQmInventory* inventory = nullptr;
};

} // namespace

// The demo's strip has every piece: nothing is left out at start-up, and the
// hero's tinderbox is in the first cell.
TEST_F(DemoInventory, TheStripIsWholeAndTheHeroSetsOutWithHisTinderbox)
{
    EXPECT_NE(nullptr, inventory->panel);
    for (uint32_t i = 0; i < CQmInventory::kCells; ++i) {
        EXPECT_NE(nullptr, inventory->cells[i]) << i;
        EXPECT_NE(nullptr, inventory->counts[i]) << i;
    }
    EXPECT_NE(nullptr, inventory->hint);
    EXPECT_NE(nullptr, inventory->menuButton);
    EXPECT_NE(nullptr, inventory->cursorIcon);
    EXPECT_NE(nullptr, inventory->flightSprite);
    const CGmImageSet& spark = inventory->sparks[0]->imageSet;
    ASSERT_NE(nullptr, spark.texture);
    EXPECT_EQ(16u, GetImageWidth(spark.texture)) << "the spark picture is found for its .dds name";
    EXPECT_EQ("tinderbox - - - -", Cells());
    EXPECT_EQ(nullptr, CQmQuests::Find("taper_taken", "loc01"));
    EXPECT_FALSE(inventory->IsOpen()) << "a plain gift opens nothing";
}

TEST_F(DemoInventory, TheTaperFliesInIsLitWithTheTinderboxAndLightsTheLantern)
{
    const Vec2 taper = OnScreen("taper");
    const Vec2 lantern = OnScreen("lantern");
    std::vector<uint32_t> frame = game.CaptureFrame();
    EXPECT_GT(CountNear(frame, int(taper.x), int(taper.y), 4, kWax), 4u) << "the taper lies in the yard";
    EXPECT_EQ(0u, CountNear(frame, int(lantern.x), int(lantern.y), 10, kFlame)) << "the lantern is dark";

    // The pointer over the taper names it beside the cursor, in the strip's
    // tooltip control, which the main set now holds.
    game.MoveMouse(Reference(taper).x, Reference(taper).y);
    game.Step(3);
    CGuiControl* hint = g_gameProcessor->hintControl;
    ASSERT_NE(nullptr, hint);
    EXPECT_EQ(inventory->hint, hint);
    EXPECT_EQ(1, hint->visible);
    CGeWString text;
    ASSERT_TRUE(hint->GetProperty(EP_Text, text));
    EXPECT_TRUE(text == CGeWString(u"Taper"));

    // A click on the taper walks the hero up to it; he picks it up, it leaves
    // the yard and flies from where it lay, opening the strip.
    ClickOn("taper");
    for (int step = 0; step < 500 && !inventory->flyingItem; ++step)
        game.Step();
    ASSERT_NE(nullptr, inventory->flyingItem) << "the hero never picked the taper up";
    EXPECT_STREQ("taper", inventory->flyingItem->name.c_str());
    EXPECT_TRUE(inventory->IsOpen());
    // At most one frame of its flight (500 px/s) from where it lay.
    const Vec3 start = inventory->flightSprite->frame.position;
    EXPECT_NEAR(Reference(taper).x, start.x, 24.0f) << "it starts where the taper lay";
    EXPECT_NEAR(Reference(taper).y, start.y, 24.0f);
    // A hint says what it is for; the arrow turns over the lantern.
    EXPECT_STREQ("hint_taper", g_gameProcessor->hints.CurrentHint());
    EXPECT_TRUE(g_gameProcessor->arrow.Shown());
    frame = game.CaptureFrame();
    EXPECT_EQ(0u, CountNear(frame, int(taper.x), int(taper.y), 2, kWax)) << "the taper is gone from the yard";
    game.StepSeconds(2.0);
    EXPECT_EQ(nullptr, inventory->flyingItem);
    EXPECT_EQ(1, CQmGameVars::GetValue("arrived_taper"));
    EXPECT_EQ("tinderbox taper - - -", Cells());

    // Picked up, the taper's icon is drawn from the cursor on, wherever the
    // cursor goes.
    OpenStrip();
    frame = game.CaptureFrame();
    ClickCell(1);
    ASSERT_TRUE(inventory->HasSelection());
    for (const Vec2 at : {Vec2{800.0f, 700.0f}, Vec2{300.0f, 800.0f}}) {
        const int cx = int(at.x * kWidth / 1280.0f), cy = int(at.y * kHeight / 1024.0f);
        const uint32_t before = CountNear(frame, cx, cy, cx + 64, cy + 64, kWax);
        game.MoveMouse(at.x, at.y);
        game.Step();
        const std::vector<uint32_t> held = game.CaptureFrame();
        EXPECT_GT(CountNear(held, cx, cy, cx + 64, cy + 64, kWax), before + 40u)
            << "the held taper at " << at.x << ", " << at.y;
    }

    // On the tinderbox: the two make the lit taper, in the tinderbox's cell.
    OpenStrip();
    ClickCell(0);
    EXPECT_EQ(1, CQmGameVars::GetValue("mixed_lit_taper"));
    EXPECT_FALSE(inventory->HasSelection());
    EXPECT_EQ("lit_taper - - - -", Cells());

    // Carried to the lantern, the lit taper lights it: the hero walks up to
    // it, the yard shakes, the arrow goes and the clip plays.
    ClickCell(0);
    ASSERT_TRUE(inventory->HasSelection());
    ClickOn("lantern");
    EXPECT_FALSE(inventory->HasSelection()) << "the use took the item";
    for (int step = 0; step < 500 && !CQmQuests::Find("lantern_lit", "loc01"); ++step)
        game.Step();
    ASSERT_NE(nullptr, CQmQuests::Find("lantern_lit", "loc01")) << "the hero never reached the lantern";
    EXPECT_EQ("- - - - -", Cells());
    ASSERT_NE(nullptr, g_gameProcessor->tint);
    EXPECT_TRUE(g_gameProcessor->tint->IsActive());
    EXPECT_FALSE(g_gameProcessor->arrow.Shown());
    game.Step();
    ASSERT_NE(nullptr, game.Location()->video);
    EXPECT_TRUE(game.Location()->video->IsPlaying());

    // The clip follows its music, which the sound device plays in real time;
    // once it is over the lantern glows in the yard.
    for (int wait = 0; wait < 100 && game.Location()->video; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        game.Step();
    }
    EXPECT_EQ(nullptr, game.Location()->video);
    EXPECT_FALSE(g_gameProcessor->tint->IsActive());
    frame = game.CaptureFrame();
    EXPECT_GT(CountNear(frame, int(lantern.x), int(lantern.y), 10, kFlame), 40u) << "the lantern is lit";
}

// The items and the yard's state come back from a save.
TEST_F(DemoInventory, ASavedGameKeepsTheItemsAndTheYard)
{
    Run("PickUpTaper()");
    game.StepSeconds(2.0);
    uint8_t* data = nullptr;
    const uint32_t size = g_inventory->Save(&data);
    std::vector<uint8_t> block(data, data + size);
    free(data);
    g_inventory->Clear();
    EXPECT_EQ("- - - - -", Cells());
    g_inventory->Load(block.data(), uint32_t(block.size()));
    EXPECT_EQ("tinderbox taper - - -", Cells());
    // Entering the yard again finds the taper gone and gives no second tinderbox.
    Run("loc01_init()");
    EXPECT_EQ("tinderbox taper - - -", Cells());
    auto* visuals = game.Entity("taper")->Prop<CQmPropVisualObject>(QM_PROP_VISUAL_OBJECT);
    ASSERT_NE(nullptr, visuals);
    EXPECT_FALSE(visuals->enabled);
}
