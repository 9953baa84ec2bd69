// The demo's inventory played in a real window on Xvfb (1024 x 768, run by
// xvfb-run with SDL's x11 driver): the game starts through the game-play
// harness (the program's start-up on the packed demo, no logos), the pointer
// is moved and clicked through the X server's XTEST calls, so every step goes
// through SDL, the window layer, the mouse, the GUI and the dispatcher, and
// what the checks read is what the X server shows in the window.
//
// The pointer at the top edge brings the strip down; a click on the taper in
// the yard sends the hero for it and it flies into its cell; a click on it
// picks it up and its copy follows the pointer to two places; a click on the
// tinderbox combines the two and the lit taper stands in the tinderbox's
// cell; carried down, the strip leaves after three seconds, and a click on
// the lantern uses the lit taper there: once the clip it starts is over, the
// lantern glows.
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Gui/GuiControl.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmGameVars.h"
#include "Source/GameClasses/QmInventory.h"
#include "Source/GameClasses/QmQuests.h"
#include "Source/GameClasses/QmVideoPlayer.h"
#include "tests/Source/Qasimar/GamePlayHarness.h"
#include "tests/Source/Qasimar/Xvfb/XvfbDemoWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t kWidth = 1024, kHeight = 768;
constexpr uint32_t kWax = 0xF4F0E0;       // the taper
constexpr uint32_t kFlame = 0xFFC020;     // the lit taper's flame, the lit lantern
constexpr uint32_t kCellInset = 0x20140C; // a cell's dark inside

class XvfbDemoItems : public XvfbDemoWindow {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(StartInWindow(kWidth, kHeight));
        game.StepSeconds(1.0);
        ASSERT_NO_FATAL_FAILURE(FindWindowOrigin());
        PointAt(640.0f, 600.0f);
        game.StepSeconds(1.5);
        ASSERT_NE(nullptr, game.Location());
        inventory = dynamic_cast<CQmInventory*>(g_inventory);
        ASSERT_NE(nullptr, inventory);
    }

    // The pointer to a reference-screen point, then a few frames.
    void PointAt(float x, float y, uint32_t frames = 3) { PointAtPixel(PixelX(x), PixelY(y), frames); }
    // A click as the player makes it, the pointer resting ten frames first.
    // Clicks lie more than a double click's time apart.
    void ClickAt(float x, float y) { ClickAtPixel(PixelX(x), PixelY(y), 10); }
    void ClickCell(uint32_t i)
    {
        const Vec2 origin = inventory->cells[i]->ScreenOrigin();
        ClickAt(origin.x + 48.0f, origin.y + 48.0f);
    }
    void OpenStrip()
    {
        PointAt(640.0f, 2.0f);
        game.StepSeconds(0.5);
        ASSERT_TRUE(inventory->IsOpen());
    }
    // Where the camera shows an entity, in reference pixels.
    Vec2 Reference(const char* entity) const
    {
        const Vec4 p = game.Location()->ActiveCamera()->ProjectPoint(game.Entity(entity)->frame.position);
        return {p.x * 1280.0f / float(kWidth), p.y * 1024.0f / float(kHeight)};
    }

    // The pixels of a reference rectangle that the X server shows near rgb.
    uint32_t CountNear(float x0, float y0, float x1, float y1, uint32_t rgb, int tolerance = 24)
    {
        const std::vector<uint32_t> shown = Shown(x0, y0, x1, y1);
        return uint32_t(std::count_if(shown.begin(), shown.end(),
                                      [&](uint32_t p) { return PixelNear(p, rgb, tolerance); }));
    }
    uint32_t CountInCell(const Vec2& cell, uint32_t rgb, int tolerance = 24)
    {
        return CountNear(cell.x, cell.y, cell.x + 96.0f, cell.y + 96.0f, rgb, tolerance);
    }

    CQmInventory* inventory = nullptr;
};

} // namespace

TEST_F(XvfbDemoItems, TheStripPicksCombinesAndUsesTheItems)
{
    // Nothing at the top while the pointer rests over the yard.
    EXPECT_FALSE(inventory->IsOpen());
    EXPECT_LT(CountNear(320, 0, 960, 120, kCellInset, 6), 20u) << "no strip on the screen";

    // A click on the taper: the hero fetches it and it flies into its cell.
    const Vec2 taper = Reference("taper");
    EXPECT_GT(CountNear(taper.x - 8, taper.y - 8, taper.x + 8, taper.y + 8, kWax), 10u) << "the taper in the yard";
    ClickAt(taper.x, taper.y);
    for (int step = 0; step < 500 && !CQmQuests::Find("taper_taken", "loc01"); ++step)
        game.Step();
    ASSERT_NE(nullptr, CQmQuests::Find("taper_taken", "loc01")) << "the hero never picked the taper up";
    game.StepSeconds(2.0);
    ASSERT_NE(nullptr, inventory->FindItem(CGeString("taper")));
    // Away from the strip for three seconds: it leaves.
    PointAt(640.0f, 600.0f);
    game.StepSeconds(3.5);
    ASSERT_FALSE(inventory->IsOpen());
    EXPECT_LT(CountNear(320, 0, 960, 120, kCellInset, 6), 20u) << "the strip has gone up";

    // The pointer at the top edge brings it down.
    OpenStrip();
    const Vec2 cell0 = inventory->cells[0]->ScreenOrigin(), cell1 = inventory->cells[1]->ScreenOrigin();
    EXPECT_GT(CountInCell(cell0, kCellInset, 6), 100u) << "the cells show";
    EXPECT_GT(CountInCell(cell1, kWax), 50u) << "the taper in its cell";

    // Picked up, its copy follows the pointer.
    ClickCell(1);
    ASSERT_TRUE(inventory->HasSelection());
    for (const Vec2 at : {Vec2{700.0f, 300.0f}, Vec2{400.0f, 500.0f}}) {
        PointAt(at.x, at.y);
        EXPECT_GT(CountNear(at.x, at.y, at.x + 64, at.y + 64, kWax), 30u) << at.x << ", " << at.y;
    }

    // On the tinderbox: the lit taper in its cell, the taper's cell empty.
    OpenStrip();
    ClickCell(0);
    EXPECT_EQ(1, CQmGameVars::GetValue("mixed_lit_taper"));
    EXPECT_GT(CountInCell(cell0, kFlame), 20u) << "the lit taper's flame";
    EXPECT_EQ(0u, CountInCell(cell1, kWax)) << "the taper's cell is empty";

    // Picked up and carried down: the strip leaves after three seconds.
    ClickCell(0);
    ASSERT_TRUE(inventory->HasSelection());
    const Vec2 lantern = Reference("lantern");
    PointAt(lantern.x, lantern.y);
    game.StepSeconds(2.5);
    EXPECT_TRUE(inventory->IsOpen());
    game.StepSeconds(1.0);
    EXPECT_FALSE(inventory->IsOpen());
    game.StepSeconds(0.5);
    EXPECT_LT(CountNear(320, 0, 960, 120, kCellInset, 6), 20u) << "the strip has left";

    // A click on the lantern: the hero carries the lit taper there and
    // lights it; once the clip is over, its glass glows.
    EXPECT_EQ(0u, CountNear(lantern.x - 12, lantern.y - 12, lantern.x + 12, lantern.y + 12, kFlame))
        << "the lantern is dark";
    ClickAt(lantern.x, lantern.y);
    EXPECT_FALSE(inventory->HasSelection()) << "the click used the item";
    for (int step = 0; step < 500 && !CQmQuests::Find("lantern_lit", "loc01"); ++step)
        game.Step();
    ASSERT_NE(nullptr, CQmQuests::Find("lantern_lit", "loc01")) << "the hero never reached the lantern";
    PointAt(640.0f, 600.0f);
    for (int wait = 0; wait < 100 && game.Location()->video; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        game.Step();
    }
    EXPECT_EQ(nullptr, game.Location()->video) << "the clip ended";
    game.StepSeconds(0.5);
    EXPECT_GT(CountNear(lantern.x - 12, lantern.y - 12, lantern.x + 12, lantern.y + 12, kFlame), 20u)
        << "the lantern is lit";
}
