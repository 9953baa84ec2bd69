// The sprite-animation and sky script functions through Lua: 2D-linked
// objects shown, played and faded by animation, an entity's sprite sequences
// started by name, the alpha of an entity's 2D visual (and only of a 2D
// visual), and the sky switched on with its optional speed and angle.
#include "Engine/Core/Gm/GmSprite.h"
#include "Source/GameClasses/QmSkySphere.h"
#include "Source/GameClasses/QmSprite.h"
#include "tests/Source/GameClasses/ScriptLocationFixture.h"

using namespace locwriter;

namespace {

class ScriptAnimationsTest : public ScriptLocationTest {
protected:
    // A 2D-linked object "gull" whose animation "fly" drives two sprites.
    void MakeGull()
    {
        for (int i = 0; i < 2; ++i) {
            CGmImageSet images;
            images.frameCount = 8;
            auto* sprite = new CGmSprite(images);
            location->sprites.Add(sprite);
            QmLinkedSequence step;
            step.begin = 2 + i;
            step.end = 5;
            step.speed = 12.5f;
            step.mode = CGeFrameAnim::FORWARD;
            step.repeats = 2;
            step.sprite = sprite;
            CQmLinked2dObject& gull = location->linkedObjects[CGeString("gull")];
            gull.name = "gull";
            gull.animations[CGeString("fly")].Add(step);
            gulls[i] = sprite;
        }
    }

    CGmSprite* gulls[2] = {};
};

} // namespace

TEST_F(ScriptAnimationsTest, TwoDimensionalLinkedObjectsPlayFadeAndHide)
{
    MakeGull();
    gulls[0]->ownPlayer.Init(8);
    gulls[0]->ownPlayer.PushEvent(CGeFrameAnim::kEventEnded);
    gulls[0]->activePlayer = &gulls[0]->ownPlayer;
    Run("Start2DLinkedAnim('gull', 'fly')");
    for (int i = 0; i < 2; ++i) {
        const CGeFrameAnim* player = gulls[i]->activePlayer;
        ASSERT_NE(nullptr, player) << i;
        EXPECT_EQ(uint32_t(2 + i), player->firstIndex) << i;
        EXPECT_EQ(5u, player->lastIndex) << i;
        EXPECT_FLOAT_EQ(0.5f, player->speed) << "frames a second over the timer's scale";
        EXPECT_EQ(1, player->playing) << i;
        EXPECT_EQ(2u, player->repeats) << i;
        EXPECT_EQ(uint32_t(2 + i), gulls[i]->imageSet.currentFrame) << i;
        EXPECT_EQ(0u, player->eventCount) << "an earlier play's end is dropped";
    }

    Run("Set2DLinkedAlpha('gull', 'fly', 300)");
    EXPECT_EQ(44, gulls[0]->alpha);
    EXPECT_EQ(44, gulls[1]->alpha);
    Run("Set2DLinkedAlpha('gull', 'fly', 127.9)");
    EXPECT_EQ(127, gulls[1]->alpha);
    Run("Set2DLinkedAlpha('gull', 'swim', 10) Start2DLinkedAnim('gull', 'swim')");
    EXPECT_EQ(127, gulls[1]->alpha);
    Run("Set2DLinkedVisibility('gull', false)");
    EXPECT_EQ(0, gulls[0]->visible);
    EXPECT_EQ(0, gulls[1]->visible);
    Run("Set2DLinkedVisibility('gull', 1)");
    EXPECT_EQ(0, gulls[1]->visible) << "a number is not a boolean";

    struct Case {
        const char* call;
        const char* log;
    };
    const Case missing[] = {
        {"Set2DLinkedVisibility('crow', true)",
         "Lua_Set2DLinkedVisibility: No linked object 'crow' found in location!\n"},
        {"Start2DLinkedAnim('crow', 'fly')", "Lua_Start2DLinkedAnim: No 2D-linked object 'crow' found in location!\n"},
        {"Set2DLinkedAlpha('crow', 'fly', 1)", "Lua_Set2DLinkedAlpha: No 2D-linked object 'crow' found in location!\n"},
    };
    for (const Case& c : missing) {
        Run(c.call);
        EXPECT_EQ(c.log, TakeLog()) << c.call;
    }
    NoLocation();
    Run("Set2DLinkedVisibility('gull', true)");
    EXPECT_EQ("Lua_Set2DLinkedVisibility: No linked object 'gull' found in location!\n", TakeLog());
    EXPECT_EQ(0, gulls[0]->visible);
}

TEST_F(ScriptAnimationsTest, SpriteSequencesAndAlphaOfAnEntitysVisuals)
{
    const std::string strip = std::string("image=\"") + kStripPicture + "\" totalframes=\"4\" framesperline=\"4\"";
    tree.dir.Write("Actors/lantern.xml",
                   Entity("name=\"x\"", {"<visual_object><sprite2d " + strip +
                                         "><sequence name=\"blink\" begin=\"1\" end=\"3\" speed=\"10\"/>"
                                         "</sprite2d><mesh filename=\"" +
                                         kOneRangeMesh +
                                         "\"/>"
                                         "<sprite3d " +
                                         strip + "/></visual_object>"}));
    Run("LoadActor('lantern')");
    CQmEntity* lantern = location->FindEntity("lantern");
    ASSERT_NE(nullptr, lantern);
    auto* visuals = lantern->Prop<CQmPropVisualObject>(QM_PROP_VISUAL_OBJECT);
    ASSERT_NE(nullptr, visuals);
    ASSERT_EQ(3u, visuals->visuals.Count());
    auto* sprite = dynamic_cast<CQmSprite*>(visuals->visuals[0]);
    ASSERT_NE(nullptr, sprite);

    Run("StartSpriteAnim('lantern', 'blink')");
    ASSERT_NE(nullptr, sprite->activePlayer);
    EXPECT_EQ(1u, sprite->activePlayer->firstIndex);
    EXPECT_EQ(3u, sprite->activePlayer->lastIndex);
    EXPECT_EQ(1, sprite->activePlayer->playing);
    EXPECT_FLOAT_EQ(10.0f / 25.0f, sprite->activePlayer->speed);
    Run("StartSpriteAnim('lantern', 'glow')"); // no such sequence: skipped
    EXPECT_EQ(3u, sprite->activePlayer->lastIndex);
    Run("StartSpriteAnim('ghost', 'blink')");
    EXPECT_EQ("Lua_StartSpriteAnim: No entity 'ghost' found in location!\n", TakeLog());
    crate->SetProp(QM_PROP_VISUAL_OBJECT, nullptr);
    Run("StartSpriteAnim('crate', 'blink')");
    EXPECT_EQ("Lua_StartSpriteAnim: entity 'crate' has not VisualObject! Ignored\n", TakeLog());

    // Alpha: rounded, low byte; only a 2D visual takes it.
    Run("SetEntitySprite3DAlpha('lantern', 0, 127.6)");
    EXPECT_EQ(128, sprite->alpha);
    Run("SetEntitySprite3DAlpha('lantern', 0, 300)");
    EXPECT_EQ(44, sprite->alpha);
    auto* scene = dynamic_cast<CGmVisual2D*>(visuals->visuals[2]);
    ASSERT_NE(nullptr, scene);
    Run("SetEntitySprite3DAlpha('lantern', 2, 10.4)");
    EXPECT_EQ(10, scene->alpha);
    for (const char* call : {"SetEntitySprite3DAlpha('lantern', 1, 10)", "SetEntitySprite3DAlpha('lantern', 3, 10)",
                             "SetEntitySprite3DAlpha('lantern', -1, 10)", "SetEntitySprite3DAlpha('crate', 0, 10)",
                             "SetEntitySprite3DAlpha('lantern', 0)", "SetEntitySprite3DAlpha('lantern', 0, 'x')"}) {
        Run(call);
        EXPECT_EQ("", TakeLog()) << call;
    }
    EXPECT_EQ(44, sprite->alpha);
    EXPECT_EQ(10, scene->alpha);
}

TEST_F(ScriptAnimationsTest, ActivateSkySphereSetsSpeedAndAngleWhenGiven)
{
    Run("ActivateSkySphere(1)"); // no sky: nothing
    location->skySphere = new CQmSkySphere(Vec4{1, 1, 1, 1}, 0.25f, Vec4{0, 0, 1, 1}, "");
    CQmSkySphere& sky = *location->skySphere;
    sky.angle = 2.0f;
    Run("ActivateSkySphere()");
    Run("ActivateSkySphere('x')");
    Run("ActivateSkySphere(1, 2, 3, 4)");
    EXPECT_EQ(0, sky.active);
    Run("ActivateSkySphere(1)");
    EXPECT_EQ(1, sky.active);
    EXPECT_EQ(0.25f, sky.speed);
    EXPECT_EQ(2.0f, sky.angle);
    Run("ActivateSkySphere(0, 0.5)");
    EXPECT_EQ(0.5f, sky.speed);
    EXPECT_EQ(2.0f, sky.angle);
    Run("ActivateSkySphere(0, 0.75, 90)");
    EXPECT_EQ(0.75f, sky.speed);
    EXPECT_EQ(90.0f * 0.0174532924f, sky.angle);
    EXPECT_EQ(1, sky.active);
    NoLocation();
    Run("ActivateSkySphere(0, 9)");
    EXPECT_EQ(0.75f, sky.speed);
}
