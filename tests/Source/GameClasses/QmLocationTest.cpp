// The location's logic: the activation and stop tables with shared entities,
// camera selection by zones, the update walk, the full-screen animation, the
// music check, 2D-animation ends, entity bookkeeping and its logs, walk grids
// and the shade-light rule.
#include "Engine/Core/Common/GeDeviceConfig.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmShadow.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Source/GameClasses/QmAiMap.h"
#include "Source/GameClasses/QmBgSoundManager.h"
#include "Source/GameClasses/QmGameConfig.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmPropActor.h"
#include "Source/GameClasses/QmWater.h"
#include "tests/Source/GameClasses/LocationFixtures.h"

#include <algorithm>

namespace {

class RecordingMusic : public CQmBgSoundManager {
public:
    void StopMain(float fade) override { stops.push_back(fade); }
    void StopAllAmbient() override { ++ambientStops; }
    std::vector<float> stops;
    int ambientStops = 0;
};

class CQmLocationTest : public LocationTest {
protected:
    void SetUp() override
    {
        LocationTest::SetUp();
        g_bgSoundManager = &music;
        location = new CQmLocation("harbour");
        manager.Adopt(location);
    }
    void TearDown() override
    {
        g_bgSoundManager = nullptr;
        LocationTest::TearDown();
    }

    std::vector<std::string> Take()
    {
        std::vector<std::string> lines = g_propJournal;
        g_propJournal.clear();
        return lines;
    }

    // Lines of the journal that belong to entity name.
    static std::vector<std::string> Of(const std::vector<std::string>& lines, const std::string& name)
    {
        std::vector<std::string> own;
        for (const std::string& line : lines)
            if (line.rfind(name + ".", 0) == 0)
                own.push_back(line.substr(name.size() + 1));
        return own;
    }

    RecordingMusic music;
    CQmLocation* location = nullptr;
};

} // namespace

TEST_F(CQmLocationTest, ActivateAndStopTablesLeaveSharedEntitiesAlone)
{
    location->AddNamedObject(CGeString("door"), ProbeEntity("door"), false);
    CQmEntity* hero = ProbeEntity("hero");
    location->AddNamedObject(CGeString("hero"), hero, true);
    Take();
    location->Activate();
    const std::vector<std::string> expected = {
        "0 on",   "1 on",   "2 off",  "3 off",  "4 off",  "5 off",  "6 on",   "7 on",   "8 on",
        "9 on",   "10 on",  "11 on",  "12 off", "13 off", "14 on",  "15 off", "16 off", "17 off"};
    const std::vector<std::string> lines = Take();
    EXPECT_EQ(expected, Of(lines, "door"));
    EXPECT_TRUE(Of(lines, "hero").empty());

    // Stop: every property but the motion controller off, shared ones too.
    location->Stop();
    const std::vector<std::string> stopped = Take();
    std::vector<std::string> off;
    for (uint32_t slot = 0; slot < kQmPropSlots; ++slot)
        if (slot != 3)
            off.push_back(std::to_string(slot) + " off");
    EXPECT_EQ(off, Of(stopped, "door"));
    EXPECT_EQ(off, Of(stopped, "hero"));
    EXPECT_EQ(1, music.ambientStops);

    // Restart after a refused change: the table of Activate, without the script.
    location->Restart();
    EXPECT_EQ(expected, Of(Take(), "door"));
    manager.Clear(); // the catalogue's actor is not the location's
    delete hero;
}

TEST_F(CQmLocationTest, StopClearsTheActorsCurrentAction)
{
    CQmEntity* shared = new CQmEntity;
    auto* actor = new CQmPropActor(shared);
    actor->action = 3;
    shared->SetProp(QM_PROP_ACTOR, actor);
    location->AddNamedObject(CGeString("hero"), shared, true);
    location->Stop();
    EXPECT_EQ(0, actor->action);
    // A catalogue actor outlives the location that held it.
    manager.Clear();
    EXPECT_EQ(0, actor->action);
    delete shared;
}

TEST_F(CQmLocationTest, CameraSelectionByZones)
{
    for (int i = 0; i < 3; ++i) {
        QmCameraGroup group;
        group.camera = new CGmPerspectiveCamera;
        location->cameraGroups.Add(std::move(group));
    }
    location->zones.Add({{0, 0, 0}, {10, 10, 10}, 1});
    location->zones.Add({{5, 5, 5}, {20, 20, 20}, 2});
    CQmEntity* walker = ProbeEntity("walker", {});
    location->AddNamedObject(CGeString("walker"), walker, false);

    struct Case {
        Vec3 at;
        uint32_t group;
    };
    location->SelectCamera();
    EXPECT_EQ(0u, location->activeCameraGroup); // no determinant
    location->cameraDeterminant = walker;
    for (const Case& c : {Case{{10, 10, 10}, 1}, Case{{0, 0, 0}, 1}, Case{{7, 7, 7}, 1}, Case{{15, 5, 20}, 2},
                          Case{{20.001f, 6, 6}, 0}, Case{{-1, 5, 5}, 0}}) {
        walker->frame.SetPosition(c.at);
        location->SelectCamera();
        EXPECT_EQ(c.group, location->activeCameraGroup) << c.at.x << " " << c.at.y << " " << c.at.z;
    }
    // Fixed: the group stays wherever the entity goes.
    walker->frame.SetPosition({15, 15, 15});
    location->SelectCamera();
    location->cameraFixed = 1;
    walker->frame.SetPosition({1, 1, 1});
    location->SelectCamera();
    EXPECT_EQ(2u, location->activeCameraGroup);

    // The update hands the active camera to the hub; removing the
    // determinant clears it.
    Tick(*location, 0.04);
    EXPECT_EQ(location->cameraGroups[2].camera, CGeHub::s_cameras3d[CGeHub::s_currentSlot]);
    EXPECT_TRUE(location->RemoveEntity("walker"));
    EXPECT_EQ(nullptr, location->cameraDeterminant);
    manager.Clear();
    EXPECT_EQ(nullptr, CGeHub::s_cameras3d[CGeHub::s_currentSlot]);
}

TEST_F(CQmLocationTest, AnEntityReachedTwiceIsUpdatedOnce)
{
    CQmEntity* twice = ProbeEntity("twice", {1});
    location->AddNamedObject(CGeString(""), twice, false);
    location->AddNamedObject(CGeString(""), twice, false);
    EXPECT_EQ(2u, location->entities.count);
    Take();
    Tick(*location, 0.04);
    EXPECT_EQ((std::vector<std::string>{"twice.1 update"}), Take());
    Tick(*location, 0.04);
    EXPECT_EQ((std::vector<std::string>{"twice.1 update"}), Take());
}

TEST_F(CQmLocationTest, AFullScreenAnimationStopsEverythingElseUntilItsEndFrame)
{
    recorder->Record({"harbour_video_end", "on_2d_animation_end"});
    location->AddNamedObject(CGeString("door"), ProbeEntity("door", {1}), false);
    auto* anim = new CGmSprite;
    anim->ownPlayer.Init(4);
    anim->ownPlayer.speed = 0.0f;
    anim->ownPlayer.Start(CGeFrameAnim::FORWARD, 1);
    anim->activePlayer = &anim->ownPlayer;
    location->fullScreenAnim = anim;
    EXPECT_TRUE(location->PlaysFullScreenAnimOrVideo());
    location->Start();
    Take();
    for (int frame = 0; frame < 3; ++frame)
        Tick(*location, 1.0);
    EXPECT_TRUE(Take().empty());
    EXPECT_EQ("", recorder->Joined());
    EXPECT_TRUE(music.stops.empty()); // the music check waits too

    // Skipping jumps to the end frame: the next update ends it, once.
    EXPECT_TRUE(location->SkipPlaying());
    Tick(*location, 0.04);
    EXPECT_EQ(nullptr, location->fullScreenAnim);
    EXPECT_EQ("harbour_video_end()", recorder->Joined());
    EXPECT_TRUE(Take().empty());
    Tick(*location, 0.04);
    EXPECT_EQ("harbour_video_end()", recorder->Joined());
    EXPECT_EQ((std::vector<std::string>{"door.1 update"}), Take());
    EXPECT_FALSE(location->SkipPlaying());
}

TEST_F(CQmLocationTest, TheMusicCheckStopsTheMainMusicAfterTwoSeconds)
{
    location->Start();
    // Each update checks the time before adding its own frame: 2.0 s is
    // seen by the fifth update and is not above the limit.
    for (int frame = 0; frame < 5; ++frame)
        Tick(*location, 0.5);
    EXPECT_TRUE(music.stops.empty());
    Tick(*location, 0.5);
    EXPECT_EQ(std::vector<float>{1.0f}, music.stops);
    EXPECT_FLOAT_EQ(-1.0f, location->musicCheckTimer);
    Tick(*location, 0.5);
    EXPECT_EQ(1u, music.stops.size());

    // Main music started by the script within 2 s: no stop.
    music.stops.clear();
    location->Activate();
    location->Start();
    music.mainStarted = true;
    for (int frame = 0; frame < 8; ++frame)
        Tick(*location, 0.5);
    EXPECT_TRUE(music.stops.empty());
}

TEST_F(CQmLocationTest, TwoDimensionalAnimationEndsFireOnceWithObjectAndAnimation)
{
    recorder->Record({"on_2d_animation_end"});
    auto* sprite = new CGmSprite;
    location->sprites.Add(sprite);
    sprite->ownPlayer.Init(8);
    sprite->ownPlayer.SetRange(2, 5);
    sprite->ownPlayer.mode = CGeFrameAnim::FORWARD;
    sprite->ownPlayer.speed = 12.0f / 25.0f;
    sprite->ownPlayer.playing = 0;
    sprite->ownPlayer.PushEvent(7);
    sprite->ownPlayer.PushEvent(CGeFrameAnim::kEventEnded);
    sprite->activePlayer = &sprite->ownPlayer;
    CQmLinked2dObject& object = location->linkedObjects[CGeString("gull")];
    object.name = "gull";
    QmLinkedSequence sequence;
    sequence.begin = 2;
    sequence.end = 5;
    sequence.speed = 12.0f;
    sequence.mode = CGeFrameAnim::FORWARD;
    sequence.sprite = sprite;
    object.animations[CGeString("fly")].Add(sequence);
    Tick(*location, 0.04);
    EXPECT_EQ("on_2d_animation_end(gull,fly)", recorder->Joined());
    EXPECT_EQ(1u, sprite->ownPlayer.eventCount);
    EXPECT_EQ(7u, sprite->ownPlayer.events[0]);
    Tick(*location, 0.04);
    EXPECT_EQ("on_2d_animation_end(gull,fly)", recorder->Joined());

    // Visibility of every sprite of the object.
    location->SetLinked2DVisibility("gull", false);
    EXPECT_EQ(0, sprite->visible);
    location->SetLinked2DVisibility("nobody", true);
    EXPECT_EQ(0, sprite->visible);
}

TEST_F(CQmLocationTest, EntitiesByNameSharedAndOwned)
{
    CQmEntity* crate = ProbeEntity("crate", {10});
    EXPECT_TRUE(AddNamedObject(location, crate, CGeString("crate"), false));
    EXPECT_EQ(crate, location->FindEntity("crate"));
    EXPECT_EQ(nullptr, location->FindEntity(""));
    EXPECT_EQ(nullptr, location->FindEntity("nobody"));

    // A second entity under a taken name is logged and not added.
    CQmEntity second;
    EXPECT_FALSE(location->AddNamedObject(CGeString("crate"), &second, false));
    EXPECT_STREQ("Object with name crate is already exists in location!\n", GeLogLastMessage().c_str());
    EXPECT_EQ(1u, location->entities.count);
    // Nameless entities go to the list only, and several may coexist.
    CQmEntity* a = new CQmEntity;
    CQmEntity* b = new CQmEntity;
    EXPECT_TRUE(location->AddNamedObject(CGeString(""), a, false));
    EXPECT_TRUE(location->AddNamedObject(CGeString(""), b, false));
    EXPECT_EQ(3u, location->entities.count);
    EXPECT_EQ(1u, location->entityNames.count);

    // Removing: an unknown name logs; an owned entity is deleted; a catalogue
    // actor leaves undeleted; a stone is the location's and is deleted.
    EXPECT_FALSE(location->RemoveEntity("ghost"));
    EXPECT_STREQ("Cannot remove entity <ghost> from location harbour:  not found!\n", GeLogLastMessage().c_str());
    EXPECT_EQ(2, GeLogLastLevel());
    g_propJournal.clear();
    EXPECT_TRUE(location->RemoveEntity("crate"));
    EXPECT_EQ((std::vector<std::string>{"crate.10 delete"}), g_propJournal);
    CQmEntity* actor = ProbeEntity("actor", {7});
    location->AddNamedObject(CGeString("actor"), actor, true);
    g_propJournal.clear();
    EXPECT_TRUE(location->RemoveEntity("actor"));
    EXPECT_TRUE(g_propJournal.empty());
    EXPECT_EQ(0u, location->sharedEntities.count);
    location->AddNamedObject(CGeString("actor"), actor, true);
    auto* stone = new CQmStone(1);
    stone->name = "stone";
    stone->SetProp(10, new ProbeProp(stone, 10));
    location->AddNamedObject(CGeString("stone"), stone, true);
    g_propJournal.clear();
    manager.Clear(); // the actor stays, the stone goes
    EXPECT_EQ((std::vector<std::string>{"stone.10 delete"}), g_propJournal);
    delete actor;
}

TEST_F(CQmLocationTest, WalkGridsKeepTheirSlots)
{
    tree.dir.Write("grids/broken.aimap", "not a walk grid");
    EXPECT_FALSE(location->LoadWalkGrid("grids/missing.aimap"));
    EXPECT_EQ(0u, location->walkGridCount);
    EXPECT_EQ(nullptr, location->CurrentWalkGrid());
    // A refused grid keeps its slot, so that grid indices match the file.
    EXPECT_TRUE(location->LoadWalkGrid("grids/broken.aimap"));
    EXPECT_EQ(1u, location->walkGridCount);
    EXPECT_NE(nullptr, location->CurrentWalkGrid());
    for (uint32_t i = 1; i < CQmLocation::kMaxWalkGrids; ++i)
        EXPECT_TRUE(location->LoadWalkGrid("grids/broken.aimap"));
    EXPECT_FALSE(location->LoadWalkGrid("grids/broken.aimap"));
    EXPECT_EQ(CQmLocation::kMaxWalkGrids, location->walkGridCount);
}

TEST_F(CQmLocationTest, TheShadeLightRule)
{
    GeDeviceConfig settings;
    SetDefaultDeviceConfig(settings);
    GeDeviceConfig* previous = g_videoSettings;
    g_videoSettings = &settings;
    const bool volumes = CQmGameConfig::s_shadowVolumesOn;
    location->hasShadeLight = 1;
    location->shadeLightPosition = {1.0f, 200.0f, 3.0f, 0.0f};
    location->shadeLightColor = {0.0f, 0.0f, 0.0f, 0.5f};
    struct Case {
        int32_t depthFormat;
        uint8_t hasLight;
        bool volumesOn;
        int32_t mode;
    };
    for (const Case& c : {Case{21, 1, true, 2}, Case{22, 1, true, 0}, Case{21, 0, true, 0}, Case{21, 1, false, 0}}) {
        settings.depthStencilFormat = c.depthFormat;
        location->hasShadeLight = c.hasLight;
        CQmGameConfig::s_shadowVolumesOn = c.volumesOn;
        g_shadowMode = 7;
        location->UpdateShadeLight();
        EXPECT_EQ(c.mode, g_shadowMode) << c.depthFormat << " " << int(c.hasLight) << " " << c.volumesOn;
    }
    EXPECT_FLOAT_EQ(200.0f, g_shadowLightPosition[1]);
    CQmGameConfig::s_shadowVolumesOn = volumes;
    g_videoSettings = previous;
    g_shadowMode = 0;
}
