// The walker: the gait chosen by the slope ahead, feet and ground agreeing
// (the distance walked per frame is the root displacement of the walk
// track), a frame time of 0, the stop with its script event and the return
// to the standing track, footsteps by surface with a seeded generator on a
// real sound group, and the "walker" and "anim_controller move" readers.
#include "Source/GameClasses/QmPropWalker.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeRandom.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Sound/SmSoundManager.h"
#include "Platform/DSound/DSoundTesting.h"
#include "Source/GameClasses/QmAnimLink.h"
#include "Source/GameClasses/QmEntityLoader.h"
#include "Source/GameClasses/QmPropSoundSource.h"
#include "Source/GameClasses/QmUnifiedCollector.h"
#include "tests/Engine/Core/Sound/SoundFixtures.h"
#include "tests/Source/GameClasses/LocationWriter.h"
#include "tests/Source/GameClasses/WalkingFixtures.h"

#include <cmath>
#include <set>

#include <tinyxml.h>

namespace {

class WalkerTest : public WalkingTest {
protected:
    void SetUp() override
    {
        WalkingTest::SetUp();
        options.cellSize = 10.0f;
    }

    // Sets the motion controller on a straight path along +x from x0 at
    // height 0 with the given vertical movement, as if walking.
    static void Moving(CQmPropMotionController& motion, float p)
    {
        motion.path.Clear();
        motion.path.AddPoint(Vec3{10.0f, 0.0f, 50.0f});
        motion.path.AddPoint(Vec3{290.0f, 0.0f, 50.0f});
        motion.distance = 0.0f;
        motion.stopped = 0;
        motion.moveDir = Vec3{std::sqrt(1.0f - p * p), p, 0.0f};
    }

    WalkGridOptions options;
};

} // namespace

TEST_F(WalkerTest, TheGaitFollowsTheSlopeAhead)
{
    struct Case {
        const char* what;
        float p;     // vertical share of the movement
        float riseX; // floor rise per 10 units along x
        bool emptyPath;
        int32_t expected; // the walker plays run (3) and asks for walk (0)
    };
    const Case cases[] = {
        {"flat", 0.0f, 0.0f, false, kQmGaitWalk},
        {"p exactly 0.5 counts as flat", 0.5f, 6.0f, false, kQmGaitWalk},
        {"steep up", 0.6f, 5.1f, false, kQmGaitWalkUp},
        {"exactly 50 up keeps", 0.6f, 5.0f, false, kQmGaitRun},
        {"exactly 20 up keeps", 0.6f, 2.0f, false, kQmGaitRun},
        {"gentle up", 0.6f, 1.5f, false, kQmGaitWalk},
        {"going up, the floor ahead falls: no rise", 0.6f, -1.0f, false, kQmGaitWalk},
        {"steep down", -0.6f, -5.1f, false, kQmGaitWalkDown},
        {"exactly 50 down keeps", -0.6f, -5.0f, false, kQmGaitRun},
        {"level while going down", -0.6f, 0.0f, false, kQmGaitWalk},
        {"empty path", 0.9f, 9.0f, true, kQmGaitWalk},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        entities.clear();
        location->walkGridCount = 0;
        delete location->walkGrids[0];
        location->walkGrids[0] = nullptr;
        options.slopeX = c.riseX;
        Grid(std::vector<std::string>(10, std::string(40, '.')), options);
        CQmEntity* hero = Walker("hero", {10, 0, 50});
        CQmPropWalker* walker = Legs(hero);
        walker->SetGait(kQmGaitRun);
        CQmPropMotionController* motion = Motion(hero);
        Moving(*motion, c.p);
        if (c.emptyPath)
            motion->path.Clear();
        float lowest = 0, highest = 0, current = 0;
        motion->SampleHeightsAhead(100.0f, 10.0f, lowest, highest, current);
        if (!c.emptyPath) {
            EXPECT_FLOAT_EQ(std::fabs(c.riseX * 10.0f), highest - lowest) << "ten steps of 10 ahead";
        }
        m_timer.delta = 0.04f;
        walker->Update();
        EXPECT_EQ(c.expected, walker->gait);
        const CGeJointsKeySequence* playing = Anim(hero)->jointController->channels[0].player->sequence;
        EXPECT_EQ(c.expected == kQmGaitWalk ? walk.get() : run.get(), playing)
            << "a gait without a track plays nothing new";
    }
}

TEST_F(WalkerTest, FeetAndGroundAgreeAndTheWalkEndsStanding)
{
    Grid(std::vector<std::string>(10, std::string(40, '.')), options);
    CQmEntity* hero = Walker("hero", {15, 0, 45});
    CQmPropMotionController* motion = Motion(hero);
    CQmPropWalker* walker = Legs(hero);
    ASSERT_TRUE(motion->MoveTo({355, 0, 45}));
    EXPECT_EQ(kQmGaitWalk, walker->gait);
    EXPECT_EQ(1, walker->enabled);
    const CJaSeqPlayer* legs = Anim(hero)->jointController->channels[0].player;
    EXPECT_EQ(walk.get(), legs->sequence);

    // The walk track's root moves 150 units a second: so does the hero,
    // and each frame exactly by the root displacement.
    for (int frame = 0; frame < 25; ++frame) {
        const float before = motion->distance;
        Frame(0.04f);
        ASSERT_NEAR(legs->rootDelta.x, motion->distance - before, 1e-4f) << frame;
        EXPECT_NEAR(150.0f, motion->velocity.x, 1e-2f);
        EXPECT_NEAR(15.0f + motion->distance, hero->frame.position.x, 1e-3f);
    }
    EXPECT_NEAR(150.0f, motion->distance, 1e-2f);

    // A second start in the same gait neither restarts the track nor
    // touches the walker's state.
    const float time = legs->time;
    ASSERT_TRUE(motion->MoveTo({355, 0, 45}));
    EXPECT_EQ(time, legs->time);

    // Time scale 0: the speed stays, the position stays finite.
    const Vec3 at = hero->frame.position;
    Frame(0.0f);
    EXPECT_NEAR(150.0f, motion->velocity.x, 1e-2f);
    EXPECT_EQ(at.x, hero->frame.position.x);

    for (int frame = 0; frame < 100 && !motion->stopped; ++frame)
        Frame(0.04f);
    EXPECT_FLOAT_EQ(355.0f, hero->frame.position.x);
    EXPECT_EQ("here_stop_moving(hero)", recorder->Joined());
    EXPECT_EQ(kQmGaitStanding, walker->gait);
    EXPECT_EQ(0, walker->enabled);
    Frame(0.04f);
    EXPECT_EQ(stand.get(), legs->sequence) << "the last channel's empty entry returns to standing";
    // A stop while stopped fires nothing more.
    motion->Stop();
    EXPECT_EQ("here_stop_moving(hero)", recorder->Joined());
}

TEST_F(WalkerTest, FootstepsPlayASeededSampleOfTheSurfaceUnderTheFeet)
{
    DSoundTestSetBackend(DSoundTestBackend::Manual);
    CSmSoundManager::streamThreadWanted = false;
    CSmSoundManager::flags3d = 1;
    auto* group = new CSmSoundGroup;
    g_soundManager = group;
    DSoundTestSetBackend(DSoundTestBackend::Audio);
    const std::string pcm(4410 * 2, '\0');
    std::vector<std::string> samples;
    for (const char* name : {"a", "b", "c"})
        samples.push_back(tree.dir.Write(std::string("steps/") + name + ".wav", WaveFile(1, 44100, 16, pcm)));

    WalkGridImage image = WalkGridFromPicture({"....", ".11.", "....", "...."}, options);
    image.At(2, 1).surface = 20; // no surface of the fifteen
    Grid(image);
    CQmEntity* hero = Walker("hero", {15, 0, 15});
    auto* sounds = new CQmPropSoundSource(hero);
    sounds->soundManager = group;
    TiXmlDocument slots;
    slots.Parse("<sound_source><slot name=\"legs\"/></sound_source>");
    ASSERT_TRUE(sounds->LoadFromXML(slots.RootElement()));
    hero->SetProp(QM_PROP_SOUND_SOURCE, sounds);
    sounds->SetEnabled(true);

    const std::string xml = "<walker>"
                            "<anim_command name=\"step\">"
                            "<sample type=\"stone\" name=\"" +
                            samples[0] +
                            "\"/>"
                            "<sample type=\"lava\" name=\"" +
                            samples[2] +
                            "\"/>"
                            "</anim_command>"
                            "<anim_command><sample type=\"stone\" name=\"x\"/></anim_command>"
                            "<anim_command name=\"step\">"
                            "<sample type=\"stone\" name=\"" +
                            samples[1] +
                            "\"/>"
                            "<sample type=\"stone\" name=\"" +
                            samples[2] +
                            "\"/>"
                            "</anim_command>"
                            "</walker>";
    TiXmlDocument document;
    document.Parse(xml.c_str());
    CQmPropWalker* walker = Legs(hero);
    walker->LoadFromXML(document.RootElement());
    EXPECT_STREQ("CQmPropWalker::LoadFromXML: no command name! Ignored! ", GeLogLastMessage().c_str());
    ASSERT_EQ(1u, walker->stepSounds.size());
    EXPECT_EQ(3u, walker->stepSounds["step"][1].size()) << "a command named twice adds to its lists";

    animwrite::TrackSpec spec = animwrite::MakeTrack(3, 4);
    spec.events = {"step", "kick", nullptr};
    const animwrite::Bytes bytes = animwrite::WriteGeat(spec);
    CGeJointsKeySequence track;
    ASSERT_TRUE(LoadJointsAnimTrack(track, meshfixture::FileOver("anims/steps.geat", bytes)));
    CJaSeqPlayer player(4);
    player.SetKeySequence(&track);

    CQmSoundSlot* legs = sounds->FindSlot("legs");
    auto newest = [&]() -> int {
        if (!legs->records.Count() || !legs->records[legs->records.Count() - 1]->ref.sound)
            return -1;
        const CSmSoundEntry* entry = legs->records[legs->records.Count() - 1]->ref.sound->entry;
        for (size_t i = 0; i < samples.size(); ++i)
            if (entry == CSmSoundManager::FindSound(group, CGeString(samples[i].c_str())))
                return int(i);
        return -2;
    };
    // The plain model: RandomInt(2) is GeRand() mod 3.
    GeSrand(7);
    std::vector<int> expected;
    for (int i = 0; i < 6; ++i)
        expected.push_back(GeRand() % 3);
    GeSrand(7);
    for (int i = 0; i < 6; ++i) {
        walker->Callback(&player, 0, 0);
        EXPECT_EQ(expected[i], newest()) << i;
        EXPECT_EQ(uint32_t(i + 1), legs->records.Count());
    }
    walker->Callback(&player, 0, 1); // a command without sounds
    EXPECT_EQ(6u, legs->records.Count());
    for (const Vec3& at : {Vec3{25, 0, 15}, Vec3{35, 0, 35}}) { // surface 20, no surface
        Place(*hero, at);
        walker->Callback(&player, 0, 0);
        EXPECT_EQ(6u, legs->records.Count());
    }
    // The end of a track stops the slot.
    walker->Callback(&player, 0, -1);
    EXPECT_EQ(0u, legs->records.Count());

    hero->SetProp(QM_PROP_SOUND_SOURCE, nullptr);
    g_soundManager = nullptr;
    delete group;
    CSmSoundManager::streamThreadWanted = true;
}

TEST_F(WalkerTest, ReadersMakeSwitchedOffWalkersWithTheirTracks)
{
    QmAnimInstallMakers();
    CGmResCollector collector;
    g_pGmResCollector = &collector;
    CQmEntity* hero = Keep(figure::MakeEntity("hero"));
    const uintptr_t key = reinterpret_cast<uintptr_t>(hero);
    for (const char* name : {"walk", "run", "stand"}) {
        const std::string file = std::string("anims/") + name + ".geat";
        locwriter::WriteFile(tree.dir.Path(), file, figure::TrackBytes(5, 10.0f, 100.0f, 4, true));
        CQmUnifiedCollector::LoadJointsAnimTrack(file.c_str(), key);
    }
    TiXmlDocument document;
    document.Parse("<entity name=\"hero\"><anim_controller stand=\"stand\" move=\"walk\"/><motion_controller/>"
                   "</entity>");
    LoadEntity(document.RootElement(), false, hero);
    CQmPropWalker* fromMove = Legs(hero);
    ASSERT_NE(nullptr, fromMove);
    EXPECT_EQ(0, fromMove->enabled);
    EXPECT_EQ(CQmUnifiedCollector::GetJointsAnimTrack(key, "walk"), fromMove->gaitSequences[kQmGaitWalk]);
    EXPECT_EQ(nullptr, fromMove->gaitSequences[kQmGaitRun]);
    fromMove->OnEvent(0); // any event takes the controllers again
    EXPECT_EQ(Motion(hero), fromMove->motionController) << "the motion controller came after the walker";
    EXPECT_EQ(0, Motion(hero)->enabled);

    // A "walker" element replaces the walker of "move".
    TiXmlDocument second;
    second.Parse("<entity name=\"hero\"><walker><walk seq_name=\"walk\"/><run seq_name=\"run\"/>"
                 "<walk_up seq_name=\"none\"/></walker></entity>");
    LoadEntity(second.RootElement(), false, hero);
    CQmPropWalker* walker = Legs(hero);
    ASSERT_NE(nullptr, walker);
    EXPECT_EQ(0, walker->enabled);
    EXPECT_EQ(CQmUnifiedCollector::GetJointsAnimTrack(key, "run"), walker->gaitSequences[kQmGaitRun]);
    EXPECT_EQ(nullptr, walker->gaitSequences[kQmGaitWalkUp]);
    EXPECT_EQ(kQmGaitStanding, walker->gait);
    EXPECT_EQ(Anim(hero), walker->animController);
    // The replaced walker left the joint controller's clients.
    EXPECT_EQ(2u, Anim(hero)->jointController->clients.count);

    entities.clear();
    CQmUnifiedCollector::ClearTracks();
    g_pGmResCollector = nullptr;
}

TEST_F(WalkerTest, AHeroSentAroundALockingCrateStaysOnFreeCellsAndArrives)
{
    CQmAiMap* grid = Grid(std::vector<std::string>(20, std::string(30, '.')), options);
    CQmEntity* crate = LockingBox("crate", {150, 0, 100}, {-30, 0, -40}, {30, 40, 40});
    CQmEntity* hero = Walker("hero", {45, 0, 105});
    // The hero locks the cells under itself as well, and is never in its
    // own way.
    auto* collider = new CQmPropCollider(hero);
    CreateColliderAabbShape(collider)->SetCorners(Vec3{-8, 0, -8}, Vec3{8, 30, 8});
    collider->local.At(1, 3) = 15.0f;
    hero->SetProp(QM_PROP_COLLIDER, collider);
    collider->SetEnabled(true);
    hero->SetProp(QM_PROP_AIMAP_LOCK, new CQmPropAimapLockController(hero));
    hero->props[QM_PROP_AIMAP_LOCK]->SetEnabled(true);
    Frame(0.04f);
    const auto* crateLock = crate->Prop<CQmPropAimapLockController>(QM_PROP_AIMAP_LOCK);
    const std::set<int32_t> crateCells(crateLock->locked.data, crateLock->locked.data + crateLock->locked.Count());
    ASSERT_EQ(7u * 9u, crateCells.size());

    CQmPropMotionController* motion = Motion(hero);
    ASSERT_TRUE(motion->MoveTo({255, 0, 105}));
    EXPECT_GT(motion->path.total, 210.0f) << "around the crate, not through it";
    int frames = 0;
    for (; frames < 200 && !motion->stopped; ++frames) {
        Frame(0.04f);
        const int32_t cell = grid->GetCellIndex(hero->frame.position.x, hero->frame.position.z);
        ASSERT_GE(cell, 0);
        EXPECT_EQ(0u, crateCells.count(cell)) << "frame " << frames;
        EXPECT_EQ(0, grid->cells[cell].flags & kAiCellBlocked);
    }
    EXPECT_LT(frames, 200);
    EXPECT_NEAR(255.0f, hero->frame.position.x, 1e-3f);
    EXPECT_NEAR(105.0f, hero->frame.position.z, 1e-3f);
    EXPECT_EQ("here_stop_moving(hero)", recorder->Joined());
}
