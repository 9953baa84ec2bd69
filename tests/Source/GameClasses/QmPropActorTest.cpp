// The actor: dispatches (refused without a motion controller, when off, under
// 10 units; only aiming; the gait), interactions by action code with their
// events, a real walk on a small grid up to a zone with the final turn, a walk
// stopped outside the zone given up at the third update, the use test of an
// inventory item, the turn step's snap, the heading it turns to, event 1001,
// the look-at choice's log lines, the "actor" tag's reader, an entity that
// leaves the location while actors walk to it or look at it (also from a
// script event inside the frame's update), an interaction started by the
// event of another, and the script functions that walk, stop and ask a
// walking figure.
#include "Source/GameClasses/QmPropActor.h"
#include "Engine/Core/Common/GeLog.h"
#include "Source/GameClasses/QmEntityLoader.h"
#include "Source/GameClasses/QmInventory.h"
#include "Source/GameClasses/QmPropAllocatorList.h"
#include "Source/GameClasses/QmScriptApi.h"
#include "Source/GameClasses/QmPropIkProcessor.h"
#include "tests/Source/GameClasses/WalkingFixtures.h"

#include <cmath>
#include <string>

#include <tinyxml.h>

namespace {

const float kHalfPi = 1.5707963f;

class ItemInventory : public IQmInventory {
public:
    void Update(float) override {}
    void AddItem(CQmInventoryItem*, float, float, const CGeString&) override {}
    void AddItemDefault(CQmInventoryItem*, const CGeString&) override {}
    void Unselect() override { selected = nullptr; }
    void RemoveItem(const char*) override {}
    void Clear() override {}
    CQmInventoryItem* FindItem(const CGeString&) override { return nullptr; }
    void SetOpen(bool) override {}
    bool CanHide() override { return true; }
    void SetActive(bool) override {}
    void SetEnabled(bool) override {}
    bool IsEnabled() override { return true; }
    void Draw() override {}
    void Blink() override {}
    void RefreshCells() override {}
    uint32_t Save(uint8_t** out) override
    {
        *out = nullptr;
        return 0;
    }
    void Load(const uint8_t*, uint32_t) override {}
    // Holds the item "key", or nothing.
    void Hold(bool held) { selected = held ? &key : nullptr; }

    CQmInventoryItem key{CGeString("key"), CGeWString(), nullptr};
};

// TakeOut(name): the current location lets the named entity go, as the
// actor script functions do.
int TakeOut(lua_State* L)
{
    g_locationManager->current->RemoveEntity(ScriptArgText(L, 1));
    return 0;
}

class ActorTest : public WalkingTest {
protected:
    void SetUp() override
    {
        WalkingTest::SetUp();
        options.cellSize = 10.0f;
        recorder->Record({"here_use_object", "here_dlg_initiate", "here_use_invitem"});
        lua_register(g_luaState, "TakeOut", TakeOut);
    }

    void TearDown() override
    {
        g_inventory = nullptr;
        Reset();
        WalkingTest::TearDown();
    }

    // Takes every entity out of the location and deletes it.
    void Reset()
    {
        for (auto& entity : entities)
            if (location->FindEntity(entity->name.c_str()) == entity.get())
                location->RemoveEntity(entity->name.c_str());
        entities.clear();
    }

    // A script call's results as text ("nil" for none).
    std::string Answer(const std::string& call)
    {
        Run("_answer = tostring((" + call + "))");
        return Global("_answer");
    }

    static CQmPropActor* Actor(CQmEntity* e) { return e->Prop<CQmPropActor>(QM_PROP_ACTOR); }

    WalkGridOptions options;
    const std::vector<std::string> kYard = {
        "..........", "..........", "..........", "....#.....", "....#.....",
        "....#.....", "..........", ".....###..", ".....#.#..", ".....###..",
    };
};

} // namespace

TEST_F(ActorTest, DispatchesAreRefusedOrStartTheWalk)
{
    Grid(kYard, options);
    struct Case {
        const char* what;
        Vec3 goal;
        bool motion, enabled, onlyAim, run;
        bool result, moving;
        int32_t gait;
    };
    const Case cases[] = {
        {"a walk", {55, 0, 15}, true, true, false, false, true, true, kQmGaitWalk},
        {"a run", {55, 0, 15}, true, true, false, true, true, true, kQmGaitRun},
        {"only aiming", {55, 0, 15}, true, true, true, true, true, false, kQmGaitRun},
        {"just under 10", {24.99f, 0, 15}, true, true, false, false, false, false, kQmGaitWalk},
        {"exactly 10", {25, 0, 15}, true, true, false, false, true, true, kQmGaitWalk},
        {"actor off", {55, 0, 15}, true, false, false, false, false, false, kQmGaitWalk},
        {"no motion controller", {55, 0, 15}, false, true, false, false, false, false, kQmGaitWalk},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Reset();
        CQmEntity* hero = Hero({15, 0, 15});
        if (!c.motion)
            hero->SetProp(QM_PROP_MOTION_CONTROLLER, nullptr);
        CQmPropActor* actor = Actor(hero);
        actor->SetEnabled(c.enabled);
        EXPECT_EQ(c.result, actor->DispatchTo(c.goal, Vec3{0, 0, 3}, c.onlyAim, c.run));
        if (c.motion) {
            EXPECT_EQ(c.moving, Motion(hero)->stopped == 0);
            EXPECT_EQ(c.gait, Legs(hero)->requestedGait);
        }
        if (c.motion && c.enabled) {
            EXPECT_EQ(0, actor->arrived);
            EXPECT_FLOAT_EQ(c.goal.x, actor->dispatchTarget.x);
            EXPECT_FLOAT_EQ(1.0f, actor->faceDir.z) << "the facing direction is normalised";
        } else {
            EXPECT_EQ(1, actor->arrived) << "a refused actor is left as it was";
        }
    }
}

TEST_F(ActorTest, ActionsWithoutAWalkFireTheirEventsAtOnce)
{
    struct Case {
        int32_t action;
        const char* fired;
    };
    const Case cases[] = {
        {QM_ACTION_USE, "here_use_object(door)"},
        {QM_ACTION_TALK, "here_dlg_initiate(door)"},
        {QM_ACTION_PORTAL, "here_use_object(door)"},
        {QM_ACTION_LOOK, "here_use_object(door)"},
        {QM_ACTION_INVITEM, "here_use_invitem(door,)"}, // no item was used before
        {3, ""},
        {QM_ACTION_NONE, ""},
    };
    Grid(kYard, options);
    CQmEntity* hero = Hero({15, 0, 15});
    CQmEntity* door = Thing("door", {85, 0, 85}, {0, 0, 0}, 1.0f, false);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.action);
        recorder->Clear();
        Actor(hero)->InitiateInteraction(door, c.action, false);
        EXPECT_EQ(c.fired, recorder->Joined());
        EXPECT_EQ(nullptr, Actor(hero)->target);
        EXPECT_EQ(1, Motion(hero)->stopped) << "nobody walks";
        EXPECT_FLOAT_EQ(15.0f, hero->frame.position.x);
    }
    // The hero's own entity with no action does nothing at all.
    recorder->Clear();
    Actor(hero)->InitiateInteraction(hero, QM_ACTION_NONE, false);
    EXPECT_EQ(nullptr, Actor(hero)->target);
    EXPECT_EQ("", recorder->Joined());
}

TEST_F(ActorTest, TheHeroWalksAroundTheWallIntoTheZoneTurnsAndFiresOnce)
{
    Grid(kYard, options);
    CQmEntity* hero = Hero({25, 0, 45});
    // The door stands behind the wall; its zone is 10 in front of it, facing +z.
    CQmEntity* door = Thing("door", {75, 0, 45}, {-10, 0, 0}, 6.0f);
    Actor(door)->zoneFaceDir = Vec3{0, 0, 1};
    Actor(hero)->InitiateInteraction(door, QM_ACTION_USE, false);
    EXPECT_EQ(0, Motion(hero)->stopped);
    int frames = 0;
    while (recorder->Joined().find("use_object") == std::string::npos && frames < 400) {
        Frame(0.04f);
        ++frames;
        const int32_t cell = location->walkGrids[0]->GetCellIndex(hero->frame.position.x, hero->frame.position.z);
        ASSERT_GE(cell, 0);
        ASSERT_EQ(0, location->walkGrids[0]->cells[cell].flags) << "on a free cell at frame " << frames;
    }
    EXPECT_EQ("here_stop_moving(hero) here_use_object(door)", recorder->Joined());
    const float dx = hero->frame.position.x - 65.0f, dz = hero->frame.position.z - 45.0f;
    EXPECT_LE(std::sqrt(dx * dx + dz * dz), 6.0f);
    EXPECT_NEAR(-kHalfPi, Actor(hero)->yawTarget, 1e-6f);
    EXPECT_FLOAT_EQ(-kHalfPi, hero->frame.angles.y) << "turned to the zone's facing";
    EXPECT_EQ(nullptr, Actor(hero)->target);
    for (int i = 0; i < 5; ++i)
        Frame(0.04f);
    EXPECT_EQ("here_stop_moving(hero) here_use_object(door)", recorder->Joined()) << "once";
}

TEST_F(ActorTest, AWalkStoppedOutsideTheZoneIsGivenUpAtTheThirdUpdate)
{
    Grid(kYard, options);
    struct Case {
        const char* what;
        Vec3 hero;
        bool stopByHand;
    };
    const Case cases[] = {
        {"stopped on the way", {15, 0, 15}, true},
        {"a refused dispatch (under 10) outside the zone", {58, 0, 15}, false},
        {"no path into the walled-in cell", {15, 0, 15}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Reset();
        recorder->Clear();
        CQmEntity* hero = Hero(c.hero);
        const bool walled = std::string(c.what).find("walled") != std::string::npos;
        CQmEntity* door =
            walled ? Thing("door", {65, 0, 85}, {0, 0, 0}, 1.0f) : Thing("door", {65, 0, 15}, {0, 0, 0}, 1.0f);
        CQmPropActor* actor = Actor(hero);
        actor->InitiateInteraction(door, QM_ACTION_USE, false);
        if (c.stopByHand) {
            Frame(0.04f);
            EXPECT_EQ(0, actor->stopCount);
            Motion(hero)->Stop(); // event 1001
        }
        EXPECT_EQ(1, actor->stopCount);
        Frame(0.04f);
        EXPECT_EQ(2, actor->stopCount);
        Frame(0.04f);
        EXPECT_EQ(3, actor->stopCount);
        EXPECT_EQ(door, actor->target);
        Frame(0.04f);
        EXPECT_EQ(nullptr, actor->target);
        EXPECT_EQ(std::string::npos, recorder->Joined().find("use_object")) << "given up silently";
    }
}

TEST_F(ActorTest, TheHeadingFollowsTheZonesFacingOrTheTarget)
{
    Grid(kYard, options);
    struct Case {
        Vec3 face;
        float yaw;
    };
    const Case cases[] = {
        {{1, 0, 0}, 0.0f}, {{0, 0, 1}, -kHalfPi}, {{0, 0, -1}, kHalfPi}, {{0, 0, 0}, kHalfPi}, // toward the door
    };
    for (const Case& c : cases) {
        Reset();
        CQmEntity* hero = Hero({45, 0, 45});
        // Inside the zone already: the dispatch only aims, the next update turns.
        CQmEntity* door = Thing("door", {45, 0, 25}, {0, 0, 20}, 5.0f);
        Actor(door)->zoneFaceDir = c.face;
        Actor(hero)->InitiateInteraction(door, QM_ACTION_USE, false);
        EXPECT_EQ(1, Motion(hero)->stopped);
        Frame(0.04f);
        EXPECT_NEAR(c.yaw, Actor(hero)->yawTarget, 1e-6f);
        for (int i = 0; i < 20; ++i)
            Frame(0.04f);
        EXPECT_NEAR(c.yaw, hero->frame.angles.y, 1e-6f);
        EXPECT_EQ("here_use_object(door)", recorder->Joined());
        recorder->Clear();
    }
}

TEST_F(ActorTest, TheTurnSnapsWithinOnePointZeroOneSteps)
{
    const float step = 0.04f * CQmPropActor::kTurnRate;
    struct Case {
        float from, to;
        bool turning;
        float after;
    };
    const Case cases[] = {
        {0.0f, 1.01f * step, false, 1.01f * step}, {0.0f, -1.01f * step, false, -1.01f * step},
        {0.0f, 1.02f * step, true, step},          {0.0f, -1.02f * step, true, -step},
        {3.0f, -3.0f, true, 3.0f + step},      // the short way, across pi
        {7.0f, 0.7168147f, false, 0.7168147f}, // 7 - 2 pi, snapped
    };
    CQmEntity* hero = Hero({15, 0, 15});
    CQmPropActor* actor = Actor(hero);
    m_timer.delta = 0.04f;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.to);
        hero->frame.SetAngles(Vec3{0, c.from, 0});
        actor->faceDir = Vec3{1, 0, 0};
        actor->yawTarget = c.to;
        EXPECT_EQ(c.turning, actor->TurnStep());
        EXPECT_NEAR(c.after, hero->frame.angles.y, 1e-5f);
    }
    actor->faceDir = Vec3{0, 0, 0};
    EXPECT_FALSE(actor->TurnStep()) << "no facing, no turn";
    // Idle with a facing direction: the update turns until done, then clears it.
    actor->faceDir = Vec3{0, 0, 1};
    actor->yawTarget = 0.5f;
    hero->frame.SetAngles(Vec3{0, 0, 0});
    Frame(0.04f);
    EXPECT_NEAR(step, hero->frame.angles.y, 1e-5f);
    Frame(0.04f);
    Frame(0.04f);
    EXPECT_FLOAT_EQ(0.5f, hero->frame.angles.y);
    EXPECT_EQ(0.0f, actor->faceDir.z);
}

TEST_F(ActorTest, TheUseTestDecidesWhetherTheItemIsUsed)
{
    ItemInventory inventory;
    g_inventory = &inventory;
    Grid(kYard, options);
    CQmEntity* hero = Hero({15, 0, 15});
    CQmEntity* door = Thing("door", {85, 0, 85}, {0, 0, 0}, 1.0f, false);
    m_processor.hero = Actor(hero);
    struct Case {
        const char* what;
        bool onHero;
        const char* heroAnswer;
        const char* testAnswer;
        const char* log;
        bool used;
    };
    const Case cases[] = {
        {"no answer", false, "", "", "test(door,key)", false},
        {"false", false, "", "false", "test(door,key)", false},
        {"true", false, "", "true", "test(door,key) here_use_invitem(door,key)", true},
        {"the hero taking the item", true, "", "true", "hero(hero,key)", false},
        {"the hero passing", true, "false", "true", "hero(hero,key) test(hero,key) here_use_invitem(hero,key)", true},
        {"the hero passing, the location refusing", true, "false", "no", "hero(hero,key) test(hero,key)", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        recorder->Clear();
        inventory.Hold(true);
        auto answer = [](const char* text) { return *text ? std::string("SysReturn('") + text + "')" : std::string(); };
        Run("function global_use_invitem_on_hero(t, i) RecordLine('hero(' .. t .. ',' .. i .. ')') " +
            answer(c.heroAnswer) + " end");
        Run("function here_test_use_invitem(t, i) RecordLine('test(' .. t .. ',' .. i .. ')') " + answer(c.testAnswer) +
            " end");
        Actor(hero)->InitiateInteraction(c.onHero ? hero : door, QM_ACTION_USE, false);
        EXPECT_EQ(c.log, recorder->Joined());
        EXPECT_EQ(!c.used, inventory.HasSelection()) << "unselected only when used";
        EXPECT_EQ(c.used ? QM_ACTION_INVITEM : QM_ACTION_NONE, Actor(hero)->action);
        EXPECT_EQ(nullptr, Actor(hero)->target);
    }
    m_processor.hero = nullptr;
}

TEST_F(ActorTest, EventsSwitchingAndTheLookAtChoice)
{
    CQmEntity* hero = Hero({15, 0, 15});
    CQmEntity* door = Thing("door", {55, 0, 15}, {0, 0, 0}, 1.0f);
    CQmPropActor* actor = Actor(hero);
    actor->OnEvent(QM_EVENT_PATH_STARTED);
    EXPECT_EQ(0, actor->stopCount);
    actor->OnEvent(QM_EVENT_PATH_STOPPED);
    EXPECT_EQ(1, actor->stopCount);

    // No look-at processor: nothing is chosen.
    actor->SetLookAtAllocator("door", "_entity_");
    EXPECT_EQ(nullptr, actor->lookAtMatrix);
    auto* processor = new CQmPropIkProcessor(hero);
    hero->SetProp(QM_PROP_IK_PROCESSOR, processor);
    actor->SetLookAtAllocator("door", "_entity_");
    EXPECT_EQ(1, processor->enabled);
    EXPECT_EQ(&door->frame.world, actor->lookAtMatrix);
    EXPECT_EQ(door, actor->lookAtEntity);

    GeLogClearLast();
    actor->SetLookAtAllocator("nobody", "head");
    EXPECT_STREQ("@actor@SetLookAtAllocator: no entity found: nobody\n", GeLogLastMessage().c_str());
    EXPECT_EQ(&door->frame.world, actor->lookAtMatrix) << "kept";

    auto* allocators = new CQmPropAllocatorList(door);
    door->SetProp(QM_PROP_ALLOCATOR_LIST, allocators);
    actor->SetLookAtAllocator("door", "head");
    EXPECT_EQ(nullptr, actor->lookAtMatrix) << "a list that is off";
    allocators->SetEnabled(true);
    actor->SetLookAtAllocator("door", "_entity_");
    actor->SetLookAtAllocator("door", "head");
    EXPECT_STREQ("CQmPropActor::SetLookAtAllocator: no allocator named 'head' found in iaActor 'door'!\n",
                 GeLogLastMessage().c_str());
    EXPECT_EQ(nullptr, actor->lookAtMatrix);

    actor->SetLookAtAllocator("door", "_entity_");
    actor->SetLookAtAllocator("", "head");
    EXPECT_EQ(nullptr, actor->lookAtMatrix) << "an empty name stops looking";
    actor->SetLookAtAllocator("door", "_entity_");
    actor->SetEnabled(false);
    EXPECT_EQ(nullptr, actor->lookAtMatrix);
    EXPECT_EQ(nullptr, actor->lookAtEntity);
    EXPECT_EQ(0, actor->enabled);
}

TEST_F(ActorTest, TheReaderTakesGoodAndBrokenAttributes)
{
    struct Case {
        const char* what;
        const char* attributes;
        Vec3 centre;
        float radius, lookAt;
        Vec3 face, portal;
        float headSize;
    };
    const Case cases[] = {
        {"full",
         "ia_zone=\"1 2 3 4\" max_lookat_dist=\"700\" portal_dir=\"0 0 1\" dir=\"0 0 -1\" head_size=\"55\"",
         {1, 2, 3},
         4,
         700,
         {0, 0, -1},
         {0, 0, 1},
         55},
        {"facing from rot", "rot=\"0 90 0\"", {0, 0, 0}, 0, 1500, {0, 0, -1}, {0, 0, 0}, 40},
        {"dir before rot", "dir=\"1 0 0\" rot=\"0 90 0\"", {0, 0, 0}, 0, 1500, {1, 0, 0}, {0, 0, 0}, 40},
        {"nothing", "", {0, 0, 0}, 0, 1500, {0, 0, 0}, {0, 0, 0}, 40},
        {"zero distance", "max_lookat_dist=\"0\"", {0, 0, 0}, 0, 1500, {0, 0, 0}, {0, 0, 0}, 40},
        {"short and broken lists",
         "ia_zone=\"5 6\" max_lookat_dist=\"far\" portal_dir=\"x y z\"",
         {5, 6, 0},
         0,
         1500,
         {0, 0, 0},
         {0, 0, 0},
         40},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TiXmlDocument document;
        document.Parse((std::string("<entity name=\"door\"><actor ") + c.attributes + "/></entity>").c_str());
        std::unique_ptr<CQmEntity> entity(LoadEntity(document.RootElement(), false, nullptr));
        ASSERT_TRUE(entity);
        CQmPropActor* actor = Actor(entity.get());
        ASSERT_NE(nullptr, actor);
        EXPECT_EQ(1, actor->enabled);
        EXPECT_TRUE(Vec3::EqualsWithin(c.centre, actor->zoneCentre, 1e-6f));
        EXPECT_FLOAT_EQ(c.radius, actor->zoneRadius);
        EXPECT_FLOAT_EQ(c.lookAt, actor->maxLookAtDist);
        EXPECT_TRUE(Vec3::EqualsWithin(c.face, actor->zoneFaceDir, 1e-6f))
            << actor->zoneFaceDir.x << " " << actor->zoneFaceDir.y << " " << actor->zoneFaceDir.z;
        EXPECT_TRUE(Vec3::EqualsWithin(c.portal, actor->portalDir, 1e-6f));
        EXPECT_FLOAT_EQ(c.headSize, actor->headSize);
    }
    // A truncated document: whatever TinyXML kept is read without a crash,
    // and an actor it yields keeps the defaults.
    TiXmlDocument broken;
    broken.Parse("<entity name=\"door\"><actor ia_zone=\"1 2");
    std::unique_ptr<CQmEntity> partial(LoadEntity(broken.RootElement(), false, nullptr));
    if (partial && Actor(partial.get())) {
        EXPECT_FLOAT_EQ(0.0f, Actor(partial.get())->zoneRadius);
        EXPECT_FLOAT_EQ(1500.0f, Actor(partial.get())->maxLookAtDist);
    }
}

TEST_F(ActorTest, AnEntityLeavingTheLocationIsDroppedByEveryActor)
{
    ItemInventory inventory;
    g_inventory = &inventory;
    Grid(kYard, options);
    enum class Removal { Directly, FromTheStopEvent, FromTheUseTest };
    struct Case {
        const char* what;
        Removal removal;
        const char* fired;
    };
    const Case cases[] = {
        {"taken out on the way", Removal::Directly, ""},
        {"taken out by the hero's stop on arrival", Removal::FromTheStopEvent, "stop(hero)"},
        {"taken out by the item's use test", Removal::FromTheUseTest, "test(door)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Reset();
        recorder->Clear();
        Run("here_stop_moving = nil here_test_use_invitem = nil");
        CQmEntity* hero = Hero({15, 0, 15});
        CQmEntity* door = Thing("door", {65, 0, 15}, {-10, 0, 0}, 6.0f);
        // The door walks to the hero and looks at him as well.
        Actor(door)->target = hero;
        Actor(door)->action = QM_ACTION_TALK;
        Actor(door)->lookAtEntity = hero;
        Actor(door)->lookAtMatrix = &hero->frame.world;
        if (c.removal == Removal::FromTheStopEvent)
            Run("function here_stop_moving(e) RecordLine('stop(' .. e .. ')') TakeOut('door') end");
        if (c.removal == Removal::FromTheUseTest) {
            inventory.Hold(true);
            Run("function here_test_use_invitem(t) RecordLine('test(' .. t .. ')') TakeOut('door') SysReturn('true') "
                "end");
        }
        CQmPropActor* actor = Actor(hero);
        actor->lookAtEntity = door;
        actor->lookAtMatrix = &door->frame.world;
        actor->InitiateInteraction(door, QM_ACTION_USE, false);
        if (c.removal == Removal::Directly) {
            Frame(0.04f);
            EXPECT_EQ(door, actor->target);
            location->RemoveEntity("door");
        }
        for (int i = 0; i < 200 && location->FindEntity("door"); ++i)
            Frame(0.04f);
        EXPECT_EQ(nullptr, location->FindEntity("door"));
        EXPECT_EQ(nullptr, actor->target);
        EXPECT_EQ(QM_ACTION_NONE, actor->action);
        EXPECT_EQ(nullptr, actor->lookAtEntity);
        EXPECT_EQ(nullptr, actor->lookAtMatrix);
        // The entity that left drops what it was doing too.
        EXPECT_EQ(nullptr, Actor(door)->target);
        EXPECT_EQ(nullptr, Actor(door)->lookAtMatrix);
        for (int i = 0; i < 5; ++i)
            Frame(0.04f);
        EXPECT_EQ(c.fired, recorder->Joined()) << "nothing is fired for the entity that left";
        EXPECT_EQ(c.removal == Removal::FromTheUseTest, inventory.HasSelection()) << "the item was not used";
        inventory.Hold(false);
    }
    Run("here_stop_moving = nil here_test_use_invitem = nil");
}

TEST_F(ActorTest, AnInteractionStartedByTheEventOfAnotherGoesOn)
{
    Grid(kYard, options);
    CQmEntity* hero = Hero({15, 0, 15});
    CQmEntity* door = Thing("door", {85, 0, 85}, {0, 0, 0}, 1.0f, false);
    CQmEntity* chest = Thing("chest", {65, 0, 15}, {-10, 0, 0}, 6.0f);
    Run("function here_use_object(t) RecordLine('use(' .. t .. ')') "
        "if t == 'door' then InitiateInteraction('hero', 'chest', 'LOOK') end end");
    Actor(hero)->InitiateInteraction(door, QM_ACTION_USE, false);
    EXPECT_EQ("use(door)", recorder->Joined());
    EXPECT_EQ(chest, Actor(hero)->target) << "the door's event sent the hero on";
    EXPECT_EQ(QM_ACTION_LOOK, Actor(hero)->action);
    EXPECT_EQ(0, Motion(hero)->stopped);
    for (int i = 0; i < 200 && recorder->Lines().size() < 3; ++i)
        Frame(0.04f);
    EXPECT_EQ("use(door) here_stop_moving(hero) use(chest)", recorder->Joined());
}

TEST_F(ActorTest, ScriptsSendStopAndAskAWalkingFigure)
{
    Grid(kYard, options);
    CQmEntity* hero = Hero({15, 0, 15});
    Thing("door", {85, 0, 85}, {0, 0, 0}, 1.0f);
    m_timer.delta = 0.04f;

    Run("DispatchActorToPos('hero', 55, 0, 15)");
    EXPECT_EQ(0, Motion(hero)->stopped);
    EXPECT_EQ(kQmGaitWalk, Legs(hero)->requestedGait);
    EXPECT_FLOAT_EQ(55.0f, Actor(hero)->dispatchTarget.x);
    EXPECT_EQ("true", Answer("IsWalkerActive('hero')")) << "the walk's start sets the gait";
    Frame(0.04f);
    EXPECT_GT(hero->frame.position.x, 15.0f);

    Run("StopMovingActor('hero')");
    EXPECT_EQ(1, Motion(hero)->stopped);
    EXPECT_EQ("false", Answer("IsWalkerActive('hero')"));
    const float stoppedAt = hero->frame.position.x;
    Frame(0.04f);
    EXPECT_FLOAT_EQ(stoppedAt, hero->frame.position.x);

    Run("DispatchActorToPos('hero', '55', 0, 15, true)");
    EXPECT_EQ(kQmGaitRun, Legs(hero)->requestedGait);
    EXPECT_EQ(0, Motion(hero)->stopped);
    Run("StopMovingActor('hero')");
    Run("DispatchActorToPos('hero', " + std::to_string(stoppedAt + 5.0f) + ", 0, 15)");
    EXPECT_EQ(1, Motion(hero)->stopped) << "closer than 10: nothing moves";

    struct Case {
        const char* call;
        const char* answer;
        const char* log;
    };
    const Case cases[] = {
        {"IsWalkerActive('door')", "nil", "Lua_IsWalkerActive: Entity 'door' has no walker property!\n"},
        {"IsWalkerActive('nobody')", "nil", "Lua_IsWalkerActive: Entity 'nobody' not found in location!\n"},
        {"IsWalkerActive()", "nil", ""},
        {"IsWalkerActive('hero', 1)", "nil", ""},
        {"StopMovingActor('nobody')", "nil", "Lua_DispatchEntityToPoint: Entity 'nobody' not found in location!\n"},
        {"StopMovingActor('door')", "nil", ""},
        {"StopMovingActor()", "nil", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        GeLogClearLast();
        EXPECT_EQ(c.answer, Answer(c.call));
        EXPECT_STREQ(c.log, GeLogLastMessage().c_str());
    }
}
