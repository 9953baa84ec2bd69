// The demo's first location through the game-play harness, headless:
// "global_init"'s change to "loc01" and its loading fade, its script, its entities and
// collider, and the presented frame: the painted yard, wall and pillar, the
// crate before the painted wall, the other crate beside the pillar and hidden
// behind it, the board sprite and the clear picture above the wall; the
// curtain in the fan's wind.
#include "Engine/Core/Gm/GmCamera.h"
#include "Source/GameClasses/QmAiMap.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmGameVars.h"
#include "Source/GameClasses/QmLocationLoader.h"
#include "Source/GameClasses/QmPropAnimController.h"
#include "Source/GameClasses/QmPropCloth.h"
#include "Source/GameClasses/QmPropCollider.h"
#include "Source/GameClasses/QmPropDropShadow.h"
#include "Source/GameClasses/QmPropMotionController.h"
#include "Source/GameClasses/QmPropVentilator.h"
#include "Source/GameClasses/QmPropWalker.h"
#include "Source/GameClasses/QmMenu.h"
#include "tests/Source/Qasimar/GamePlayHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

class DemoLocation : public ::testing::Test {
protected:
    void SetUp() override { Start(true); }

    void Start(bool newGame)
    {
        CGamePlayHarness::Options options;
        options.pack = QM_DEMO_PACK;
        options.width = kWidth;
        options.height = kHeight;
        options.newGame = newGame;
        ASSERT_TRUE(game.Start(options));
    }

    // The frame's pixel under a world point seen through the location's camera.
    uint32_t At(const Vec3& point) const
    {
        const Vec4 p = camera->ProjectPoint(point);
        const int x = int(p.x), y = int(p.y);
        EXPECT_TRUE(x >= 0 && y >= 0 && x < int(kWidth) && y < int(kHeight)) << x << ", " << y;
        return frame[size_t(y) * kWidth + size_t(x)];
    }
    uint32_t AtReference(float x, float y) const
    {
        return frame[size_t(y * kHeight / 1024.0f) * kWidth + size_t(x * kWidth / 1280.0f)];
    }

    static constexpr uint32_t kWidth = 320;
    static constexpr uint32_t kHeight = 256;
    CGamePlayHarness game;
    CGmCamera* camera = nullptr;
    std::vector<uint32_t> frame;
};

// The program before the player starts a game: no location yet.
class DemoLocationBeforeTheGame : public DemoLocation {
protected:
    void SetUp() override { Start(false); }
};

} // namespace

TEST_F(DemoLocation, Loc01ShowsItsPaintedYardWithMeshesAndSprites)
{
    // The new game loaded "loc01" behind the loading screen, which then fades
    // out.
    game.StepSeconds(2.0);
    CQmLocation* location = game.Location();
    ASSERT_NE(nullptr, location);
    EXPECT_STREQ("loc01", location->name.c_str());
    EXPECT_EQ(1, CQmGameVars::GetValue("loc01_entered"));
    for (const char* name : {"front_crate", "hidden_crate", "lamp", "sparks"})
        EXPECT_NE(nullptr, game.Entity(name)) << name;
    ASSERT_EQ(2u, location->cameraGroups.Count()); // the second for the tests' tour
    EXPECT_NE(nullptr, location->skySphere);
    auto* collider = game.Entity("front_crate")->Prop<CQmPropCollider>(QM_PROP_COLLIDER);
    ASSERT_NE(nullptr, collider);
    EXPECT_EQ(1, collider->enabled);
    // The crate is picked by a ray from the camera through its middle.
    camera = location->ActiveCamera();
    ASSERT_NE(nullptr, camera);
    const Vec3 eye = camera->eye;
    Vec3 towards = {150.0f - eye.x, 50.0f - eye.y, 400.0f - eye.z};
    towards.Normalize();
    EXPECT_EQ(game.Entity("front_crate"), PickColliderEntity(eye, towards));
    // Its drop shadow loads with its material, though the game never turns
    // the drop-shadow mode on.
    auto* shadow = game.Entity("front_crate")->Prop<CQmPropDropShadow>(QM_PROP_DROP_SHADOW);
    ASSERT_NE(nullptr, shadow);
    EXPECT_EQ(1u, shadow->quads.Count());
    EXPECT_NE(nullptr, shadow->material);

    frame = game.CaptureFrame();
    EXPECT_TRUE(PixelNear(At({0.0f, 0.0f, -200.0f}), 0xC8A064)) << "the sandy floor";
    EXPECT_TRUE(PixelNear(At({500.0f, 150.0f, 500.0f}), 0xA03C28)) << "the brick wall";
    // The lamp's yellowish light adds to the location's light on the crate's
    // face (unlit by the lamp it would be 0x30BF40).
    EXPECT_TRUE(PixelNear(At({150.0f, 50.0f, 350.0f}), 0x68F161)) << "the crate before the wall, lit by the lamp";
    EXPECT_TRUE(PixelNear(At({-290.0f, 60.0f, 150.0f}), 0xE0801F)) << "the crate's left side beside the pillar";
    EXPECT_TRUE(PixelNear(At({-150.0f, 200.0f, 40.0f}), 0x4A6A9A)) << "the painted pillar";
    // The background's depth hides the crate's front behind the pillar.
    EXPECT_TRUE(PixelNear(At({-205.0f, 60.0f, 150.0f}), 0x4A6A9A)) << "the crate behind the pillar";
    EXPECT_TRUE(PixelNear(AtReference(128.0f, 128.0f), 0xF0D020)) << "the board sprite";
    // Above the wall the colour picture is clear: the sky that loc01_init
    // switches on shows through, not the frame's clear colour.
    EXPECT_FALSE(PixelNear(AtReference(640.0f, 8.0f), 0x646464)) << "the sky above the wall";
}

// The hero stands playing "stand" on loc01's walk grid, beside the crate that
// locks its cells, and walks to a point when sent there.
TEST_F(DemoLocation, TheHeroStandsAnimatedAndWalksOnTheWalkGrid)
{
    game.StepSeconds(2.0);
    CQmLocation* location = game.Location();
    ASSERT_NE(nullptr, location);
    CQmAiMap* grid = location->CurrentWalkGrid();
    ASSERT_NE(nullptr, grid);
    EXPECT_EQ(60 * 32, grid->count);
    EXPECT_TRUE(grid->cells[grid->GetCellIndex(150.0f, 400.0f)].flags & kAiCellLocked) << "under the front crate";
    EXPECT_NE(nullptr, game.Entity("door"));

    CQmEntity* hero = game.Entity("hero");
    ASSERT_NE(nullptr, hero);
    auto* anim = hero->Prop<CQmPropAnimController>(QM_PROP_ANIM_CONTROLLER);
    ASSERT_NE(nullptr, anim);
    ASSERT_NE(nullptr, anim->jointController);
    const CJaSeqPlayer* legs = anim->jointController->ChannelPlayer(0);
    ASSERT_NE(nullptr, legs->sequence);
    EXPECT_STREQ("stand", legs->sequence->name.c_str());
    EXPECT_TRUE(legs->playing);
    const Quat before = anim->jointController->output.pose[1].rotation;
    game.StepSeconds(0.5);
    const Quat after = anim->jointController->output.pose[1].rotation;
    EXPECT_NE(before.z, after.z) << "the spine sways";
    auto* walker = hero->Prop<CQmPropWalker>(QM_PROP_WALKER);
    ASSERT_NE(nullptr, walker);
    EXPECT_EQ(0, walker->enabled);

    auto* motion = hero->Prop<CQmPropMotionController>(QM_PROP_MOTION_CONTROLLER);
    ASSERT_NE(nullptr, motion);
    ASSERT_TRUE(motion->MoveTo(Vec3{100.0f, 0.0f, 100.0f}));
    EXPECT_STREQ("walk", legs->sequence->name.c_str());
    game.StepSeconds(5.0);
    EXPECT_EQ(1, motion->stopped);
    EXPECT_NEAR(100.0f, hero->frame.position.x, 1e-2f);
    EXPECT_NEAR(100.0f, hero->frame.position.z, 1e-2f);
    EXPECT_STREQ("stand", legs->sequence->name.c_str());
}

// The loader pumps the window messages while it reads: a close request posted
// before the change reaches the window hook during the load, not at the next
// frame. The request comes as the menu's quit command sends it, so the hook
// closes the window instead of asking the quit question.
TEST_F(DemoLocationBeforeTheGame, ACloseRequestPostedBeforeTheLoadReachesTheWindowHookDuringIt)
{
    EXPECT_EQ(nullptr, game.Location());
    const uint32_t before = g_locationKeepAliveCount;
    g_quitRequested = 1;
    PostMessageA(g_pGmDevice->GetWindow(), WM_CLOSE, 0, 0);
    EXPECT_EQ(1, g_pGmDevice->m_running);
    g_gameProcessor->StartNewGame();
    EXPECT_EQ(0, g_pGmDevice->m_running);
    g_quitRequested = 0;
    ASSERT_NE(nullptr, game.Location());
    // Six steps between the sections, one after each of the entities'
    // forty children, and one after the buoy's child, which loc01_init
    // reads.
    EXPECT_EQ(6u + 40u + 1u, g_locationKeepAliveCount - before);
}
// The curtain beside the pillar: "loc01_init" switches its cloth and the
// fan's ventilator on, and the fan's gusts swing it away from the camera and
// back while its rod holds the top row; it is drawn in its colour, also with
// the debug view's cloth lines on.
TEST_F(DemoLocation, Loc01CurtainSwingsInTheFansGusts)
{
    game.StepSeconds(2.0);
    CQmEntity* curtain = game.Entity("curtain");
    CQmEntity* fan = game.Entity("fan");
    ASSERT_NE(nullptr, curtain);
    ASSERT_NE(nullptr, fan);
    auto* cloth = curtain->Prop<CQmPropCloth>(QM_PROP_CLOTH);
    auto* ventilator = fan->Prop<CQmPropVentilator>(QM_PROP_VENTILATOR);
    ASSERT_NE(nullptr, cloth);
    ASSERT_NE(nullptr, ventilator);
    EXPECT_EQ(1, cloth->enabled);
    EXPECT_EQ(1, ventilator->enabled);
    ASSERT_EQ(48u, cloth->geom.points.count);
    ASSERT_EQ(6u, cloth->anchors.count);

    // Over 6 seconds the bottom row's middle swings out along +z and back.
    const ClothPoint& bottom = cloth->geom.points[44];
    float lowest = 1e30f, highest = -1e30f;
    for (int frame = 0; frame < 150; ++frame) {
        game.Step();
        ASSERT_TRUE(std::isfinite(bottom.position.z));
        if (frame >= 25) {
            lowest = std::min(lowest, bottom.position.z);
            highest = std::max(highest, bottom.position.z);
        }
    }
    EXPECT_GT(highest, 40.0f + 20.0f) << "blown away from the camera";
    EXPECT_GT(highest - lowest, 5.0f) << "the gusts swing it";
    for (uint32_t slot : cloth->anchors)
        EXPECT_NEAR(250.0f, cloth->geom.points[slot].position.y, 1e-3f) << "the rod holds the top row";

    camera = game.Location()->ActiveCamera();
    ASSERT_NE(nullptr, camera);
    frame = game.CaptureFrame();
    const uint32_t top = At({-65.0f, 240.0f, 40.0f});
    const int r = int(top >> 16 & 0xFF), g = int(top >> 8 & 0xFF), b = int(top & 0xFF);
    EXPECT_TRUE(r > g + 40 && b > g + 40) << std::hex << top << " is not the curtain's purple";
    // The debug view adds the cloth's white spring and normal lines.
    auto whiteNearTheRod = [&] {
        const Vec4 left = camera->ProjectPoint({-115.0f, 250.0f, 40.0f});
        const Vec4 right = camera->ProjectPoint({-15.0f, 190.0f, 40.0f});
        uint32_t count = 0;
        for (int y = int(left.y) - 2; y <= int(right.y) + 2; ++y)
            for (int x = int(left.x) - 2; x <= int(right.x) + 2; ++x)
                count += (frame[size_t(y) * kWidth + size_t(x)] & 0xFFFFFF) == 0xFFFFFF ? 1 : 0;
        return count;
    };
    const uint32_t plain = whiteNearTheRod();
    g_showAuxGeom = 1;
    frame = game.CaptureFrame();
    g_showAuxGeom = 0;
    EXPECT_GT(whiteNearTheRod(), plain + 20);
}
