// The animation controller property: construction over a skinned visual
// (rest pose applied, none without a skeleton), its queues and default
// tracks, the script events and message 1004 at a track's end, root motion,
// and the readers of "anim_controller" and "ja_controller".
#include "Source/GameClasses/QmPropAnimController.h"
#include "Engine/Core/Common/CiDispatcher.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Source/GameClasses/QmAnimLink.h"
#include "Source/GameClasses/QmEntityLoader.h"
#include "Source/GameClasses/QmUnifiedCollector.h"
#include "tests/Source/GameClasses/FigureFixtures.h"
#include "tests/Source/GameClasses/LocationWriter.h"
#include "tests/Source/GameClasses/WalkingFixtures.h"

#include <cmath>
#include <memory>
#include <vector>

#include <tinyxml.h>

namespace {

// Notes every message it is handed.
class MessageLog : public CCiMessageClient {
public:
    void HandleMessage(CCiMessageClient* sender, uint32_t code) override { seen.push_back({sender, code}); }
    std::vector<std::pair<CCiMessageClient*, uint32_t>> seen;
};

class AnimControllerTest : public WalkingTest {
protected:
    void SetUp() override
    {
        WalkingTest::SetUp();
        walk = figure::MakeTrack("walk", 3, 10.0f, 10.0f); // 0.2 seconds, not looped
        entity.reset(figure::MakeEntity("hero"));
    }

    void TearDown() override
    {
        entity.reset();
        WalkingTest::TearDown();
    }

    CQmPropAnimController* MakeController()
    {
        auto* controller = new CQmPropAnimController(entity.get(), 0);
        entity->SetProp(QM_PROP_ANIM_CONTROLLER, controller);
        controller->SetEnabled(true);
        return controller;
    }

    void Step(CQmPropAnimController& controller, float seconds)
    {
        m_timer.delta = seconds;
        controller.Update();
    }

    std::unique_ptr<CQmEntity> entity;
};

} // namespace

TEST_F(AnimControllerTest, ConstructionAppliesTheRestPoseOrMakesNoJointController)
{
    CQmPropAnimController* controller = MakeController();
    ASSERT_NE(nullptr, controller->jointController);
    ASSERT_NE(nullptr, controller->skeleton);
    EXPECT_EQ(4u, controller->jointController->output.pose.Count());
    // The chain's joints sit one unit above their parents: the output starts
    // there, not at the identity, and the skeleton is posed with it.
    EXPECT_FLOAT_EQ(1.0f, controller->jointController->output.pose[2].position.y);
    EXPECT_NEAR(3.0f, controller->skeleton->WorldMatrix(3).At(1, 3), 1e-5f);
    EXPECT_EQ(1u, controller->jointController->clients.count);

    struct Case {
        const char* what;
        uint32_t joints;
        uint32_t visualIndex;
    };
    for (const Case& c : {Case{"no visual object", 0, 0}, Case{"no such visual", 4, 1}}) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<CQmEntity> bare(figure::MakeEntity("bare", c.joints));
        CQmPropAnimController none(bare.get(), c.visualIndex);
        EXPECT_EQ(nullptr, none.jointController);
        none.QueueSequence(-1, nullptr, 0.0f);
        none.PlaySequence(0.25f);
        none.Update();
    }

    const uint32_t slot = g_entitySettings.visualObjectSlot;
    g_entitySettings.visualObjectSlot = 0xFFFFFFFF;
    CQmPropAnimController unset(entity.get(), 0);
    g_entitySettings.visualObjectSlot = slot;
    EXPECT_EQ(nullptr, unset.jointController);
    EXPECT_STREQ("CQmPropAnimController: Call SetPropIndex_VisualObject to initialize property index!\n",
                 GeLogLastMessage().c_str());
}

TEST_F(AnimControllerTest, QueuesStartWhenTheirJointChannelIsIdle)
{
    CQmPropAnimController* controller = MakeController();
    CJaAnimController& joints = *controller->jointController;
    controller->defaultSequences[1] = stand.get();

    // Channel -1 is the last; other channels outside the two are ignored.
    controller->QueueSequence(-1, nullptr, 0.0f);
    controller->QueueSequence(2, walk.get(), 0.0f);
    EXPECT_EQ(1u, controller->queues[1].count);
    EXPECT_EQ(0u, controller->queues[0].count);

    // The empty entry on the last channel starts "stand" on joint channel 0
    // with the default transition of 0.25 seconds.
    joints.AddChannel();
    joints.StartAseq(1, 0.0f, walk.get(), 1);
    Step(*controller, 0.01f);
    EXPECT_EQ(stand.get(), joints.channels[0].player->sequence);
    ASSERT_NE(nullptr, joints.channels[0].blend);
    EXPECT_FLOAT_EQ(0.25f, joints.channels[0].blend->duration);
    EXPECT_EQ(nullptr, joints.channels[1].player->sequence) << "the blend channels are cleared first";
    EXPECT_EQ(0u, controller->queues[1].count);

    // A track queued while channel 0 plays waits for the end of the looped
    // "stand" (stopped here by hand), then starts with its own time.
    controller->QueueSequence(0, walk.get(), 0.0f);
    Step(*controller, 0.1f);
    EXPECT_EQ(stand.get(), joints.channels[0].player->sequence);
    joints.channels[0].player->Stop();
    Step(*controller, 0.1f);
    EXPECT_EQ(walk.get(), joints.channels[0].player->sequence);
    EXPECT_EQ(nullptr, joints.channels[0].blend) << "time 0 starts at once";

    controller->QueueSequence(0, walk.get(), 0.0f);
    controller->QueueSequence(1, walk.get(), 0.0f);
    controller->ClearQueues();
    EXPECT_EQ(0u, controller->queues[0].count + controller->queues[1].count);
}

TEST_F(AnimControllerTest, PlaySequenceReturnsToTheDefaults)
{
    CQmPropAnimController* controller = MakeController();
    CJaAnimController& joints = *controller->jointController;

    // Without a last default, each channel's default is bound and restarted.
    controller->defaultSequences[0] = walk.get();
    controller->QueueSequence(0, walk.get(), 0.0f);
    controller->PlaySequence(0.25f);
    EXPECT_EQ(0u, controller->queues[0].count);
    EXPECT_EQ(walk.get(), joints.channels[0].player->sequence);
    EXPECT_TRUE(joints.channels[0].player->playing);
    EXPECT_TRUE(joints.mixer->Contains(joints.channels[0].player));

    // With "stand" as the last default it plays alone on channel 0; a
    // negative time counts as 0 (no cross-fade), a positive one cross-fades.
    controller->defaultSequences[1] = stand.get();
    struct Case {
        float time;
        bool blends;
    };
    for (const Case& c : {Case{-1.0f, false}, Case{0.0f, false}, Case{0.5f, true}}) {
        SCOPED_TRACE(c.time);
        controller->QueueSequence(-1, walk.get(), 0.0f);
        controller->PlaySequence(c.time);
        EXPECT_EQ(0u, controller->queues[1].count);
        EXPECT_EQ(stand.get(), joints.channels[0].player->sequence);
        EXPECT_EQ(c.blends, joints.channels[0].blend != nullptr);
        if (c.blends) {
            EXPECT_FLOAT_EQ(c.time, joints.channels[0].blend->duration);
        }
    }
}

TEST_F(AnimControllerTest, ATrackEndFiresBothEventsThenPostsItsMessage)
{
    MessageLog log;
    CQmPropAnimController* controller = MakeController();
    controller->defaultSequences[1] = stand.get();
    controller->QueueSequence(0, walk.get(), 0.0f);
    controller->QueueSequence(-1, nullptr, 0.0f);
    // walk lasts 0.2 seconds: started and advanced to 0.1, then 0.2, then past.
    for (int i = 0; i < 2; ++i)
        Step(*controller, 0.1f);
    EXPECT_EQ("", recorder->Joined());
    Step(*controller, 0.1f);
    EXPECT_EQ("here_animation_end(hero,walk) on_animation_end(hero,walk)", recorder->Joined());
    EXPECT_TRUE(log.seen.empty());
    g_dispatcher->RunPass();
    ASSERT_EQ(1u, log.seen.size());
    EXPECT_EQ(static_cast<CCiMessageClient*>(controller), log.seen[0].first);
    EXPECT_EQ(kQmMsgAnimationEnded, log.seen[0].second);

    // The idle channel takes the next entry: the last channel's empty one.
    Step(*controller, 0.1f);
    EXPECT_EQ(stand.get(), controller->jointController->channels[0].player->sequence);

    // A message still pending when the property goes names no freed sender.
    controller->jointController->channels[0].player->Stop();
    Step(*controller, 0.0f);
    entity->SetProp(QM_PROP_ANIM_CONTROLLER, nullptr);
    log.seen.clear();
    g_dispatcher->RunPass();
    EXPECT_TRUE(log.seen.empty());
}

TEST_F(AnimControllerTest, RootMotionMovesByTheTurnedDeltaUntilItsOwnChannelEnds)
{
    auto longWalk = figure::MakeTrack("long", 11, 10.0f, 10.0f);
    entity->frame.SetPosition(Vec3{5.0f, 0.0f, 0.0f});
    entity->frame.SetAngles(Vec3{0.0f, 1.5707963f, 0.0f});
    entity->frame.Invalidate();
    entity->frame.UpdateWorldMatrix();
    const Vec3 forward = {entity->frame.world.At(0, 0), entity->frame.world.At(1, 0), entity->frame.world.At(2, 0)};
    ASSERT_NEAR(0.0f, forward.x, 1e-5f) << "a quarter turn takes x off the x axis";

    CQmPropAnimController* controller = MakeController();
    CJaAnimController& joints = *controller->jointController;
    joints.AddChannel();
    controller->rootMotion = 1;
    controller->rootMotionChannel = 1;
    joints.StartAseq(1, 0.0f, longWalk.get(), 1);
    controller->QueueSequence(0, walk.get(), 0.0f);

    // Each 0.1 seconds the root travels one unit along the entity's x axis.
    for (int i = 1; i <= 3; ++i) {
        Step(*controller, 0.1f);
        EXPECT_NEAR(5.0f + forward.x * float(i), entity->frame.position.x, 1e-4f);
        EXPECT_NEAR(forward.z * float(i), entity->frame.position.z, 1e-4f);
    }
    // walk ended on channel 0 meanwhile: root motion stays on.
    EXPECT_EQ("here_animation_end(hero,walk) on_animation_end(hero,walk)", recorder->Joined());
    EXPECT_EQ(1, controller->rootMotion);
    for (int i = 0; i < 8; ++i)
        Step(*controller, 0.1f);
    EXPECT_EQ(0, controller->rootMotion);
    EXPECT_EQ(-1, controller->rootMotionChannel);
    const Vec3 stopped = entity->frame.position;
    Step(*controller, 0.1f);
    EXPECT_EQ(stopped.z, entity->frame.position.z);
}

namespace {

// The readers over a figure whose tracks "stand" and "walk" are in the
// track catalogue under the entity, as the visual-object reader leaves them.
class AnimControllerReaderTest : public AnimControllerTest {
protected:
    void SetUp() override
    {
        AnimControllerTest::SetUp();
        QmAnimInstallMakers();
        g_pGmResCollector = &collector;
        locwriter::WriteFile(tree.dir.Path(), "anims/stand.geat", figure::TrackBytes(11, 10.0f, 0.0f, 4, true));
        locwriter::WriteFile(tree.dir.Path(), "anims/walk.geat", figure::TrackBytes(3, 10.0f, 10.0f));
        for (const char* file : {"anims/stand.geat", "anims/walk.geat"})
            CQmUnifiedCollector::LoadJointsAnimTrack(file, Key());
    }

    void TearDown() override
    {
        entity.reset();
        CQmUnifiedCollector::ClearTracks();
        g_pGmResCollector = nullptr;
        AnimControllerTest::TearDown();
    }

    uintptr_t Key() const { return reinterpret_cast<uintptr_t>(entity.get()); }
    CGeJointsKeySequence* Track(const char* name) const { return CQmUnifiedCollector::GetJointsAnimTrack(Key(), name); }

    // Reads the tags into the figure through the entity reader.
    CQmPropAnimController* Read(const std::string& tags)
    {
        TiXmlDocument document;
        document.Parse(("<entity name=\"hero\">" + tags + "</entity>").c_str());
        EXPECT_EQ(entity.get(), LoadEntity(document.RootElement(), false, entity.get()));
        return entity->Prop<CQmPropAnimController>(QM_PROP_ANIM_CONTROLLER);
    }

    CGmResCollector collector;
};

} // namespace

TEST_F(AnimControllerReaderTest, AnimControllerStartsItsStandingTrack)
{
    CQmPropAnimController* controller = Read("<anim_controller stand=\"stand\"/>");
    ASSERT_NE(nullptr, controller);
    EXPECT_EQ(1, controller->enabled);
    ASSERT_NE(nullptr, Track("stand"));
    EXPECT_EQ(Track("stand"), controller->defaultSequences[1]);
    EXPECT_EQ(nullptr, controller->defaultSequences[0]);
    const CJaChannel& channel = controller->jointController->channels[0];
    EXPECT_EQ(Track("stand"), channel.player->sequence);
    ASSERT_NE(nullptr, channel.blend);
    EXPECT_FLOAT_EQ(0.25f, channel.blend->duration);

    // Before the visual object: a controller, enabled, playing nothing.
    std::unique_ptr<CQmEntity> early(figure::MakeEntity("early", 0));
    TiXmlDocument document;
    document.Parse("<entity name=\"early\"><anim_controller stand=\"stand\"/></entity>");
    LoadEntity(document.RootElement(), false, early.get());
    auto* none = early->Prop<CQmPropAnimController>(QM_PROP_ANIM_CONTROLLER);
    ASSERT_NE(nullptr, none);
    EXPECT_EQ(1, none->enabled);
    EXPECT_EQ(nullptr, none->jointController);
}

TEST_F(AnimControllerReaderTest, JaControllerFillsTheNamedChannelsOrRefusesAMissingVisual)
{
    CQmPropAnimController* controller = Read("<ja_controller vo_index=\"0\">"
                                             "<default_seq slot_index=\"-1\" seq_name=\"stand\"/>"
                                             "<default_seq slot_index=\"0\" seq_name=\"walk\"/>"
                                             "<default_seq slot_index=\"5\" seq_name=\"walk\"/>"
                                             "<default_seq slot_index=\"0\"/>"
                                             "</ja_controller>");
    ASSERT_NE(nullptr, controller);
    EXPECT_EQ(1, controller->enabled);
    EXPECT_EQ(Track("stand"), controller->defaultSequences[1]);
    EXPECT_EQ(Track("walk"), controller->defaultSequences[0]);
    EXPECT_EQ(Track("stand"), controller->jointController->channels[0].player->sequence);

    // Two visuals: index 2 is past them; slot 1 is left empty.
    auto* visuals = entity->Prop<CQmPropVisualObject>(QM_PROP_VISUAL_OBJECT);
    CGmMeshResource* skeleton = figure::MakeSkeleton(2);
    visuals->AddVisual(new CGmScenicMesh(nullptr, skeleton, CGeArray<CGmMaterial*>()), 2);
    skeleton->Release();
    EXPECT_EQ(nullptr, Read("<ja_controller vo_index=\"2\"/>"));
    EXPECT_STREQ("&locloader& anim_controller: vo_index out of bounds: 2 >= !\n", GeLogLastMessage().c_str());
    // Index 1 names the second visual, with its own two-joint skeleton.
    controller = Read("<ja_controller vo_index=\"1\"/>");
    ASSERT_NE(nullptr, controller);
    EXPECT_EQ(2u, controller->skeleton->JointCount());
}
