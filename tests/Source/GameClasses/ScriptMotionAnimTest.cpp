// The joint-animation script functions through Lua on a skinned figure of the
// current location whose tracks "wave" (10 frames), "stand" and "walk" are in
// the track catalogue: counts, defaults, the blend commands, walking entities
// and the log lines.
#include "Engine/Core/Gm/GmResCollector.h"
#include "Source/GameClasses/QmAnimLink.h"
#include "Source/GameClasses/QmPropAnimController.h"
#include "Source/GameClasses/QmPropWalker.h"
#include "Source/GameClasses/QmUnifiedCollector.h"
#include "tests/Source/GameClasses/FigureFixtures.h"
#include "tests/Source/GameClasses/LocationWriter.h"
#include "tests/Source/GameClasses/MotionFixtures.h"

namespace {

class ScriptMotionAnimTest : public MotionLocationTest {
protected:
    void SetUp() override
    {
        MotionLocationTest::SetUp();
        QmAnimInstallMakers();
        g_pGmResCollector = &collector;
        locwriter::WriteFile(tree.dir.Path(), "anims/wave.geat", figure::TrackBytes(10, 10.0f, 0.0f));
        locwriter::WriteFile(tree.dir.Path(), "anims/stand.geat", figure::TrackBytes(11, 10.0f, 0.0f, 4, true));
        locwriter::WriteFile(tree.dir.Path(), "anims/walk.geat", figure::TrackBytes(3, 10.0f, 10.0f));
        hero = figure::MakeEntity("hero");
        location->AddNamedObject(hero->name, hero, false);
        for (const char* file : {"anims/wave.geat", "anims/stand.geat", "anims/walk.geat"})
            CQmUnifiedCollector::LoadJointsAnimTrack(file, reinterpret_cast<uintptr_t>(hero));
        controller = new CQmPropAnimController(hero, 0);
        hero->SetProp(QM_PROP_ANIM_CONTROLLER, controller);
        controller->SetEnabled(true);
        walker = new CQmPropWalker(hero);
        hero->SetProp(QM_PROP_WALKER, walker);
        Add("rock");
        GeLogClearLast();
    }

    void TearDown() override
    {
        manager.Clear();
        CQmUnifiedCollector::ClearTracks();
        g_pGmResCollector = nullptr;
        MotionLocationTest::TearDown();
    }

    CGeJointsKeySequence* Track(const char* name) const
    {
        return CQmUnifiedCollector::GetJointsAnimTrack(reinterpret_cast<uintptr_t>(hero), name);
    }
    CJaSeqPlayer* Player(uint32_t channel) const { return controller->jointController->ChannelPlayer(channel); }
    void Walk(int32_t gait)
    {
        walker->gait = gait;
        walker->SetEnabled(gait != kQmGaitStanding);
    }
    std::string LastLog() const { return GeLogLastMessage().c_str(); }

    CGmResCollector collector;
    CQmEntity* hero = nullptr;
    CQmPropAnimController* controller = nullptr;
    CQmPropWalker* walker = nullptr;
};

} // namespace

TEST_F(ScriptMotionAnimTest, StartObjectAnimPlaysAtOnceFromTheStartFrameWithItsBlendCommands)
{
    ASSERT_NE(nullptr, controller->jointController);
    ASSERT_NE(nullptr, Track("wave"));
    const struct {
        const char* args; // after the entity and the track
        int32_t frame;    // -1: the frame is worked out at the next update
        uint8_t playing;
        bool blending;
        float time;
    } cases[] = {
        {"", 0, 1, true, 0.0f},              // blend 0.3, channel -1, frame 0
        {", 0.3, -1, 25", 5, 1, true, 0.5f}, // 25 modulo 10 frames
        {", 0, 0, 3", 3, 1, false, 0.3f},    // no blend
        {", -1", 0, 0, false, 0.0f},         // stopped on its first frame
        {", -2", -1, 1, false, 0.9f},        // at the end
        {", -0.5, 0, 4", 4, 1, false, 0.4f}, // other negative blends act as 0
    };
    for (const auto& c : cases) {
        controller->QueueSequence(0, Track("walk"), 0.0f);
        Run(std::string("StartObjectAnim('hero', 'wave'") + c.args + ")");
        CJaSeqPlayer* player = Player(0);
        EXPECT_EQ(Track("wave"), player->sequence) << c.args;
        if (c.frame >= 0) {
            EXPECT_EQ(uint32_t(c.frame), player->currentFrame) << c.args;
        }
        EXPECT_EQ(c.playing, player->playing) << c.args;
        EXPECT_NEAR(c.time, player->time, 1e-5f) << c.args;
        EXPECT_EQ(c.blending, controller->jointController->channels[0].blend != nullptr) << c.args;
        EXPECT_EQ(0u, controller->queues[0].count) << c.args; // the queues were emptied
    }
    EXPECT_TRUE(Holds("IsAseqPlaying('hero', 'wave')"));
    EXPECT_FALSE(Holds("IsAseqPlaying('hero', 'walk')"));
    EXPECT_EQ("", LastLog());

    // An empty track name returns to the standing track.
    controller->defaultSequences[1] = Track("stand");
    Run("StartObjectAnim('hero', '')");
    EXPECT_EQ(Track("stand"), Player(0)->sequence);
}

TEST_F(ScriptMotionAnimTest, AWalkingEntityQueuesAndRefusesMovingTracks)
{
    Walk(kQmGaitWalk);
    Run("StartObjectAnim('hero', 'wave', 0.2, 0)");
    ASSERT_EQ(1u, controller->queues[0].count);
    EXPECT_EQ(Track("wave"), controller->queues[0].head->value.sequence);
    EXPECT_FLOAT_EQ(0.2f, controller->queues[0].head->value.time);
    EXPECT_NE(Track("wave"), Player(0)->sequence);

    // A higher channel plays at once; the moving track is refused untouched.
    controller->jointController->AddChannel();
    Run("StartObjectAnim('hero', 'wave', 0, 1)");
    EXPECT_EQ(Track("wave"), Player(1)->sequence);
    Run("StartObjectMovingAnim('hero', 'walk')");
    EXPECT_EQ("Lua_StartObjectMovingAnim: cant start animation 'walk' for entity 'hero' because it is movings ! "
              "Ignored\n",
              LastLog());
    EXPECT_EQ(0, controller->rootMotion);
    EXPECT_EQ(Track("wave"), Player(1)->sequence);

    Walk(kQmGaitStanding);
    Run("StartObjectMovingAnim('hero', 'walk', 0, -1, 1)");
    EXPECT_EQ(Track("walk"), Player(0)->sequence);
    EXPECT_EQ(nullptr, Player(1)->sequence); // channel -1 cleared the others
    EXPECT_EQ(1u, Player(0)->currentFrame);
    EXPECT_EQ(1, controller->rootMotion);
    EXPECT_EQ(0, controller->rootMotionChannel);
    Run("StartObjectMovingAnim('hero', 'wave', -1, 1)");
    EXPECT_EQ(Track("wave"), Player(1)->sequence);
    EXPECT_EQ(1, Player(1)->playing); // no blend command here
    EXPECT_EQ(1, controller->rootMotionChannel);
}

TEST_F(ScriptMotionAnimTest, PushObjectAnimQueuesWithItsDefaults)
{
    const struct {
        const char* call;
        uint32_t queue;
        const char* track;
        float blend;
    } cases[] = {
        {"PushObjectAnim('hero', 'wave')", 1, "wave", 0.5f},
        {"PushObjectAnim('hero', 'walk', 0.1)", 1, "walk", 0.1f},
        {"PushObjectAnim('hero', 'wave', 0.2, 0)", 0, "wave", 0.2f},
        {"PushObjectAnim('hero', '', 0.7, 0)", 0, nullptr, 0.7f}, // the channel's default track
    };
    for (const auto& c : cases) {
        controller->ClearQueues();
        Run(c.call);
        ASSERT_EQ(1u, controller->queues[c.queue].count) << c.call;
        EXPECT_EQ(c.track ? Track(c.track) : nullptr, controller->queues[c.queue].head->value.sequence) << c.call;
        EXPECT_FLOAT_EQ(c.blend, controller->queues[c.queue].head->value.time) << c.call;
    }
    controller->ClearQueues();
    for (const char* refused : {"PushObjectAnim('hero')", "PushObjectAnim('hero', 'wave', 1, 0, 0)",
                                "PushObjectAnim('hero', 'wave', 'soft')", "PushObjectAnim('hero', 'dance')"})
        Run(refused);
    EXPECT_EQ(0u, controller->queues[0].count + controller->queues[1].count);
}

TEST_F(ScriptMotionAnimTest, WalkerSlotAndDefaultTracks)
{
    Run("SetWalkerSlotAnim('hero', 1, 'walk')");
    EXPECT_EQ(Track("walk"), walker->gaitSequences[1]);
    Run("SetWalkerSlotAnim('hero', 1, 'dance')"); // none when not found
    EXPECT_EQ(nullptr, walker->gaitSequences[1]);
    CGeJointsKeySequence* before[kQmGaitCount];
    std::copy(walker->gaitSequences, walker->gaitSequences + kQmGaitCount, before);
    for (const char* outside : {"SetWalkerSlotAnim('hero', 5, 'walk')", "SetWalkerSlotAnim('hero', -1, 'walk')",
                                "SetWalkerSlotAnim('hero', 1)"}) {
        Run(outside);
        EXPECT_TRUE(std::equal(before, before + kQmGaitCount, walker->gaitSequences)) << outside;
    }

    Run("SetDefaultAnim('hero', 'wave')");
    EXPECT_EQ(Track("wave"), controller->defaultSequences[1]);
    EXPECT_EQ(nullptr, controller->defaultSequences[0]);
    Run("SetDefaultAnim('hero', 'dance')");
    EXPECT_EQ(nullptr, controller->defaultSequences[1]);
    EXPECT_EQ("", LastLog());
}

TEST_F(ScriptMotionAnimTest, FailedLookUpsLogTheirTexts)
{
    const struct {
        const char* call;
        const char* log;
    } cases[] = {
        {"StartObjectAnim('ghost', 'wave')", "Lua_StartObjectAnim: No entity 'ghost' found in location!\n"},
        {"StartObjectAnim('rock', 'wave')", "Lua_StartObjectAnim: entity 'rock' has not AnimControiller! Ignored\n"},
        {"StartObjectAnim('hero', 'dance')",
         "Lua_StartObjectAnim: animation 'dance' for entity 'hero' not found! Ignored\n"},
        {"PushObjectAnim('ghost', 'wave')", "Lua_PushObjectAnim: No entity 'ghost' found in location!\n"},
        {"PushObjectAnim('rock', 'wave')", "Lua_PushObjectAnim: entity 'rock' has no AnimControiller! Ignored\n"},
        {"PushObjectAnim('hero', 'dance')",
         "Lua_PushObjectAnim: animation 'dance' for entity 'hero' not found! Ignored\n"},
        {"StartObjectMovingAnim('ghost', 'wave')", "Lua_StartObjectMovingAnim: No entity 'ghost' found in location!\n"},
        {"StartObjectMovingAnim('rock', 'wave')",
         "Lua_StartObjectMovingAnim: entity 'rock' has no AnimControiller! Ignored\n"},
        {"StartObjectMovingAnim('hero', '')",
         "Lua_StartObjectMovingAnim: cant play default moving anim (\"\") for entity 'hero'! Ignored\n"},
        {"StartObjectMovingAnim('hero', 'dance')",
         "Lua_StartObjectMovingAnim: animation 'dance' for entity 'hero' not found! Ignored\n"},
        {"IsAseqPlaying('ghost', 'wave')", "Lua_IsAseqPlaying: No entity 'ghost' found in location!\n"},
        {"IsAseqPlaying('rock', 'wave')", "Lua_IsAseqPlaying: entity 'rock' has not AnimControiller! Ignored\n"},
        {"SetWalkerSlotAnim('ghost', 0, 'walk')", "Lua_SetWalkerSlotAnim: entity 'ghost' not found in location!\n"},
        {"SetWalkerSlotAnim('rock', 0, 'walk')", "Lua_SetWalkerSlotAnim: entity 'rock' is not a Walker!\n"},
        {"SetDefaultAnim('ghost', 'walk')", "Lua_SetDefaultAnim: entity 'ghost' not found in location!\n"},
        {"SetDefaultAnim('rock', 'walk')", "Lua_SetDefaultAnim: entity 'rock' has not AnimController property!\n"},
    };
    for (const auto& c : cases) {
        GeLogClearLast();
        Run(c.call);
        EXPECT_EQ(c.log, LastLog()) << c.call;
        EXPECT_EQ(2, GeLogLastLevel()) << c.call;
        EXPECT_EQ(nullptr, Player(0)->sequence) << c.call;
    }
    EXPECT_FALSE(Holds("IsAseqPlaying('ghost', 'wave')"));
    EXPECT_FALSE(Holds("IsAseqPlaying('hero')"));
}

TEST_F(ScriptMotionAnimTest, PlayHeroTrackEmptiesTheQueuesAndPlaysOnChannelZeroWithTheBlend)
{
    controller->QueueSequence(0, Track("walk"), 0.0f);
    controller->QueueSequence(1, Track("stand"), 0.0f);
    ASSERT_TRUE(PlayHeroTrack(hero, "wave", 0.4f));
    EXPECT_EQ(0u, controller->queues[0].count + controller->queues[1].count);
    const CJaChannel& channel = controller->jointController->channels[0];
    EXPECT_EQ(Track("wave"), channel.player->sequence);
    EXPECT_EQ(1, channel.player->playing);
    EXPECT_EQ(0, channel.override);
    ASSERT_NE(nullptr, channel.blend);
    EXPECT_FLOAT_EQ(0.4f, channel.blend->duration);
    EXPECT_EQ(1, controller->playing);
    EXPECT_EQ(0u, controller->playCounter);

    // A blend of 0 plays at once; a missing track or controller changes nothing.
    ASSERT_TRUE(PlayHeroTrack(hero, "walk", 0.0f));
    EXPECT_EQ(nullptr, controller->jointController->channels[0].blend);
    controller->QueueSequence(0, Track("stand"), 0.0f);
    struct Case {
        CQmEntity* entity;
        const char* track;
        const char* log;
    } cases[] = {
        {hero, "dance", "PlayHeroTrack: hero has no track 'dance'\n"},
        {location->FindEntity("rock"), "wave", "PlayHeroTrack: rock has no animation controller\n"},
        {nullptr, "wave", "PlayHeroTrack: (no entity) has no animation controller\n"},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(PlayHeroTrack(c.entity, c.track, 0.1f)) << c.track;
        EXPECT_EQ(c.log, LastLog());
        EXPECT_EQ(Track("walk"), Player(0)->sequence);
        EXPECT_EQ(1u, controller->queues[0].count);
    }
}
