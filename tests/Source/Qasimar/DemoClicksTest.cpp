// The player's clicks on the demo's first location through the game-play
// harness, headless, as window messages: a floor click behind the crate walks
// the hero around it to the picked point, never across a blocked or locked
// cell, and "loc01_stop_moving" notes his arrival; a click on the fenced
// patch is refused ("loc01_cant_walk"); the cursor over the door grabs and a
// click on it walks him to its zone, turns him to the wall and uses it; a
// click on the keeper walks the hero up to him and starts their talk.
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Gui/GeCursorSet.h"
#include "Source/GameClasses/QmAiMap.h"
#include "Source/GameClasses/QmBackGround.h"
#include "Source/GameClasses/QmDialogSystem.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmGameVars.h"
#include "Source/GameClasses/QmPropActor.h"
#include "Source/GameClasses/QmPropMotionController.h"
#include "Source/GameClasses/QmQuests.h"
#include "tests/Source/Qasimar/GamePlayHarness.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class DemoClicks : public ::testing::Test {
protected:
    void SetUp() override
    {
        CGamePlayHarness::Options options;
        options.pack = QM_DEMO_PACK;
        ASSERT_TRUE(game.Start(options));
        // The puzzle of the three tiles counts as solved: it stays shut.
        CQmQuests::Pass("three_tiles", "voyage", 1);
        game.StepSeconds(2.0);
        ASSERT_NE(nullptr, game.Location());
        hero = game.Entity("hero");
        ASSERT_NE(nullptr, hero);
        ASSERT_NE(nullptr, g_gameProcessor->hero) << "loc01_init names the hero";
        EXPECT_EQ(hero, g_gameProcessor->hero->owner);
        camera = game.Location()->ActiveCamera();
        ASSERT_NE(nullptr, camera);
    }

    // The reference-screen point over a world point.
    Vec2 Screen(const Vec3& point) const
    {
        const Vec4 at = camera->ProjectPoint(point);
        return Vec2{at.x * 1280.0f / 320.0f, at.y * 1024.0f / 256.0f};
    }

    // A click as the player makes it: the mouse comes, then presses and
    // releases; the control's click is delivered a few frames later.
    void ClickAt(const Vec3& point)
    {
        const Vec2 at = Screen(point);
        game.MoveMouse(at.x, at.y);
        game.Step();
        game.Click(at.x, at.y);
        game.Step(3);
    }

    CQmPropMotionController* Motion() const
    {
        return hero->Prop<CQmPropMotionController>(QM_PROP_MOTION_CONTROLLER);
    }

    // Steps until the hero stops (at most seconds), checking at every frame
    // that he stands on a free cell of the walk grid.
    void WalkUntilStopped(double seconds)
    {
        CQmAiMap* grid = game.Location()->CurrentWalkGrid();
        ASSERT_NE(nullptr, grid);
        const int frames = int(seconds / 0.04);
        int frame = 0;
        for (; frame < frames && !Motion()->stopped; ++frame) {
            game.Step();
            const Vec3& at = hero->frame.position;
            const int32_t cell = grid->GetCellIndex(at.x, at.z);
            ASSERT_GE(cell, 0) << at.x << ", " << at.z;
            EXPECT_EQ(0, grid->cells[cell].flags & (kAiCellBlocked | kAiCellLocked))
                << "on a closed cell at " << at.x << ", " << at.z;
        }
        EXPECT_LT(frame, frames) << "still walking";
    }

    static int Var(const char* name) { return CQmGameVars::GetValue(name); }

    CGamePlayHarness game;
    CQmEntity* hero = nullptr;
    CGmCamera* camera = nullptr;
};

} // namespace

TEST_F(DemoClicks, AFloorClickBehindTheCrateWalksTheHeroAroundIt)
{
    // The picked point: where the picking picture puts the floor under the
    // click, a little behind the crate that locks its cells.
    const Vec3 behind = {250.0f, 0.0f, 400.0f};
    const Vec2 at = Screen(behind);
    Vec3 picked = {0.0f, 0.0f, 0.0f};
    const float* scale = g_gm2dScale[0];
    ASSERT_TRUE(game.Location()->ActiveBackground()->PickPoint(at.x / scale[0], at.y / scale[1], picked));
    EXPECT_NEAR(250.0f, picked.x, 15.0f);
    EXPECT_NEAR(400.0f, picked.z, 15.0f);

    ClickAt(behind);
    EXPECT_EQ(0, Motion()->stopped) << "the click sent him walking";
    // The straight line from his place crosses the crate's cells: the path
    // goes round them.
    WalkUntilStopped(20.0);
    EXPECT_NEAR(picked.x, hero->frame.position.x, 4.0f);
    EXPECT_NEAR(picked.z, hero->frame.position.z, 4.0f);
    EXPECT_EQ(1, Var("hero_arrivals"));
    EXPECT_EQ(0, Var("cant_walk"));
}

TEST_F(DemoClicks, AClickOnTheFencedPatchIsRefused)
{
    // Inside the fence of the walk grid the floor is painted, but no path
    // leads there.
    const Vec3 before = hero->frame.position;
    ClickAt(Vec3{112.0f, 0.0f, -87.0f});
    EXPECT_EQ(1, Var("cant_walk"));
    EXPECT_EQ(1, Motion()->stopped);
    game.StepSeconds(1.0);
    EXPECT_FLOAT_EQ(before.x, hero->frame.position.x);
    EXPECT_FLOAT_EQ(before.z, hero->frame.position.z);
    EXPECT_EQ(0, Var("hero_arrivals"));
}

TEST_F(DemoClicks, AClickOnTheDoorWalksToItsZoneTurnsAndUsesIt)
{
    CQmEntity* door = game.Entity("door");
    ASSERT_NE(nullptr, door);
    auto* doorActor = door->Prop<CQmPropActor>(QM_PROP_ACTOR);
    ASSERT_NE(nullptr, doorActor);
    EXPECT_EQ(QM_ACTION_USE, doorActor->permittedAction);
    const QmIaZone zone = doorActor->GetInteractionZone();

    // Over the door the cursor grabs.
    const Vec2 at = Screen(Vec3{640.0f, 100.0f, 487.0f});
    game.MoveMouse(at.x, at.y);
    // The move is pumped, seen by the GUI, then delivered to the game.
    game.Step(4);
    EXPECT_EQ(14u, g_cursors->shownCursor);

    ClickAt(Vec3{640.0f, 100.0f, 487.0f});
    EXPECT_EQ(door, g_gameProcessor->hero->target);
    WalkUntilStopped(20.0);
    game.StepSeconds(1.0); // the turn to the wall
    const float dx = hero->frame.position.x - zone.centre.x, dz = hero->frame.position.z - zone.centre.z;
    EXPECT_LE(std::sqrt(dx * dx + dz * dz), zone.radius);
    // Facing +z (the zone's direction): the heading -pi/2.
    EXPECT_NEAR(-1.5707963f, hero->frame.angles.y, 1e-3f);
    EXPECT_EQ(1, Var("door_uses"));
    EXPECT_EQ(nullptr, g_gameProcessor->hero->target);
}

TEST_F(DemoClicks, AClickOnTheKeeperStartsTheirTalk)
{
    CQmEntity* keeper = game.Entity("keeper");
    ASSERT_NE(nullptr, keeper);
    const Vec2 at = Screen(Vec3{250.0f, 120.0f, 100.0f});
    game.MoveMouse(at.x, at.y);
    // The move is pumped, seen by the GUI, then delivered to the game.
    game.Step(4);
    EXPECT_EQ(17u, g_cursors->shownCursor);
    ClickAt(Vec3{250.0f, 120.0f, 100.0f});
    EXPECT_FALSE(g_dialogSystem->IsActive()) << "he walks up first";
    WalkUntilStopped(20.0);
    game.StepSeconds(1.0);
    EXPECT_TRUE(g_dialogSystem->IsActive());
    EXPECT_EQ(1, Var("said_keeper_greeting_hello")) << "the keeper's first line";
}
