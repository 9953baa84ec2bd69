// The demo's moving things through the game-play harness, headless: the gull
// circling on its curve way frame by frame and starting its round again, and
// the porch before the door, where the hero steps in and the door slides open
// while he waves; and the gull's white picture in the frames where its curve
// puts it.
#include "Engine/Core/Gm/GmCamera.h"
#include "Source/GameClasses/QmCurveWay.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmGameVars.h"
#include "Source/GameClasses/QmPropAnimController.h"
#include "Source/GameClasses/QmPropCurveMotion.h"
#include "Source/GameClasses/QmPropTrigger.h"
#include "tests/Source/Qasimar/GamePlayHarness.h"

#include <gtest/gtest.h>

namespace {

class DemoMotion : public ::testing::Test {
protected:
    void SetUp() override
    {
        CGamePlayHarness::Options options;
        options.pack = QM_DEMO_PACK;
        ASSERT_TRUE(game.Start(options));
        game.StepSeconds(2.0);
        ASSERT_NE(nullptr, game.Location());
    }

    static Vec3 Translation(const Matrix4& m) { return Vec3{m.At(0, 3), m.At(1, 3), m.At(2, 3)}; }

    CGamePlayHarness game;
};

} // namespace

TEST_F(DemoMotion, TheGullCirclesOnItsCurveWayFrameByFrame)
{
    CQmLocation* location = game.Location();
    const QmCurveWay* way = location->curveWays.Lookup(CGeString("gull_way"));
    ASSERT_NE(nullptr, way);
    EXPECT_EQ(QM_CURVE_CATMULLROM, way->kind);
    EXPECT_FLOAT_EQ(8.0f, way->duration);
    CQmEntity* gull = game.Entity("gull");
    ASSERT_NE(nullptr, gull);
    auto* motion = gull->Prop<CQmPropCurveMotion>(QM_PROP_CURVE_MOTION);
    ASSERT_NE(nullptr, motion);
    ASSERT_EQ(way, motion->curveWay);
    EXPECT_EQ(1, motion->running);

    // Each frame puts the gull where the curve is at the motion's time.
    for (int frame = 0; frame < 25; ++frame) {
        const float time = motion->time;
        game.Step();
        const Vec3 expected = way->curve->GetValue(time);
        const Vec3 at = Translation(gull->frame.local);
        EXPECT_NEAR(expected.x, at.x, 1e-3f) << frame;
        EXPECT_NEAR(expected.y, at.y, 1e-3f) << frame;
        EXPECT_NEAR(expected.z, at.z, 1e-3f) << frame;
        EXPECT_NEAR(time + 0.04f, motion->time, 1e-4f) << frame;
    }
    // A round lasts eight seconds; at its end curve_finish starts another.
    const float before = motion->time;
    game.StepSeconds(8.0f - before + 0.2f);
    EXPECT_EQ(1, motion->running);
    EXPECT_LT(motion->time, 0.5f);
}

TEST_F(DemoMotion, TheHeroOnThePorchOpensTheDoorAndWaves)
{
    CQmEntity* hero = game.Entity("hero");
    CQmEntity* door = game.Entity("door");
    CQmEntity* porch = game.Entity("porch");
    ASSERT_NE(nullptr, hero);
    ASSERT_NE(nullptr, door);
    ASSERT_NE(nullptr, porch);
    auto* trigger = porch->Prop<CQmPropTrigger>(QM_PROP_TRIGGER);
    ASSERT_NE(nullptr, trigger);
    EXPECT_FALSE(trigger->IsInside(hero));
    EXPECT_EQ(0, CQmGameVars::GetValue("porch_visits"));

    // The hero steps onto the porch.
    hero->frame.SetPosition(Vec3{560.0f, 0.0f, 420.0f});
    game.Step(2);
    EXPECT_TRUE(trigger->IsInside(hero));
    EXPECT_EQ(1, CQmGameVars::GetValue("porch_visits"));
    auto* anim = hero->Prop<CQmPropAnimController>(QM_PROP_ANIM_CONTROLLER);
    ASSERT_NE(nullptr, anim);
    const CJaSeqPlayer* body = anim->jointController->ChannelPlayer(0);
    ASSERT_NE(nullptr, body->sequence);
    EXPECT_STREQ("wave", body->sequence->name.c_str());

    // The door slides 120 units along x in a second and reports its stop.
    EXPECT_EQ(0, CQmGameVars::GetValue("door_open"));
    game.StepSeconds(0.5);
    EXPECT_GT(door->frame.local.At(0, 3), 660.0f);
    EXPECT_LT(door->frame.local.At(0, 3), 780.0f);
    game.StepSeconds(1.0);
    EXPECT_EQ(1, CQmGameVars::GetValue("door_open"));
    EXPECT_FLOAT_EQ(780.0f, door->frame.position.x);
    EXPECT_EQ(1, CQmGameVars::GetValue("porch_visits")); // one enter, however long he stays
}

TEST_F(DemoMotion, TheGullIsDrawnWhereItsCurvePutsIt)
{
    CGmCamera* camera = game.Location()->ActiveCamera();
    CQmEntity* gull = game.Entity("gull");
    ASSERT_NE(nullptr, camera);
    ASSERT_NE(nullptr, gull);
    for (int sample = 0; sample < 3; ++sample) {
        game.Step(10);
        const Vec4 at = camera->ProjectPoint(Translation(gull->frame.world));
        const std::vector<uint32_t> frame = game.CaptureFrame();
        // The sprite is a few pixels wide at this size: some near-white pixel
        // lies within eight pixels of the projected place.
        int white = 0;
        for (int y = int(at.y) - 8; y <= int(at.y) + 8; ++y)
            for (int x = int(at.x) - 8; x <= int(at.x) + 8; ++x)
                if (x >= 0 && y >= 0 && x < 320 && y < 256 &&
                    (frame[size_t(y) * 320 + size_t(x)] & 0xF0F0F0) == 0xF0F0F0)
                    ++white;
        EXPECT_GT(white, 0) << "sample " << sample << " at " << at.x << ", " << at.y;
    }
}
