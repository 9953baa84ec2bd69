// The actor script functions through Lua: "LoadActor" and "UnloadActor" (the
// file name built from the first argument, the second argument as the actor's
// name or the keep flag, the refused forms, no current location), placing a
// catalogue actor and taking it out again, the permissions, walks and turns
// with their log lines and refusals on an actor, an entity without one and an
// unknown name, interactions between two actors, the zone, its facing and the
// shown name.
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmPropActor.h"
#include "Source/GameClasses/QmScriptActors.h"
#include "tests/Source/GameClasses/ScriptLocationFixture.h"

#include <cmath>

using namespace locwriter;

namespace {

class ScriptActorsTest : public ScriptLocationTest {
protected:
    void SetUp() override
    {
        ScriptLocationTest::SetUp();
        recorder->Record({"harbour_use_object", "harbour_dlg_initiate"});
    }

    void TearDown() override
    {
        CQmUnifiedCollector::ClearStrings();
        ScriptLocationTest::TearDown();
    }

    // An entity of the location with an enabled actor and nothing else.
    CQmEntity* ActorEntity(const char* name, const Vec3& at = {0, 0, 0})
    {
        auto* entity = new CQmEntity;
        entity->name = name;
        entity->frame.SetPosition(at);
        entity->frame.UpdateWorldMatrix();
        auto* actor = new CQmPropActor(entity);
        actor->SetEnabled(true);
        entity->SetProp(QM_PROP_ACTOR, actor);
        location->AddNamedObject(entity->name, entity, false);
        return entity;
    }

    // A catalogue actor with a probe in the visual object's slot.
    CQmEntity* CatalogueActor(const char* name)
    {
        tree.dir.Write(std::string("Actors/") + name + ".xml", Entity("name=\"x\""));
        CQmEntity* entity = CQmUnifiedCollector::LoadActor((std::string("Actors/") + name + ".xml").c_str(), "", true);
        if (entity) {
            entity->SetProp(QM_PROP_VISUAL_OBJECT, new ProbeProp(entity, QM_PROP_VISUAL_OBJECT));
            entity->props[QM_PROP_VISUAL_OBJECT]->enabled = 0;
        }
        return entity;
    }

    static CQmPropActor* Actor(CQmEntity* e) { return e->Prop<CQmPropActor>(QM_PROP_ACTOR); }
};

} // namespace

TEST_F(ScriptActorsTest, LoadActorPlacesOrKeepsAndUnloadActorRemoves)
{
    tree.dir.Write("Actors/sailor.xml", Entity("name=\"x\""));
    Run("LoadActor('sailor')");
    EXPECT_NE(nullptr, location->FindEntity("sailor"));
    EXPECT_EQ(nullptr, CQmUnifiedCollector::FindActor("sailor"));
    Run("LoadActor('sailor', 'mate')");
    EXPECT_NE(nullptr, location->FindEntity("mate"));
    // Kept: in the catalogue, not in the location.
    Run("LoadActor('sailor', true)");
    EXPECT_EQ(nullptr, CQmUnifiedCollector::FindActor("sailor")) << "the name is taken in the location";
    // A number is a text: it names the actor.
    Run("LoadActor('sailor', 2)");
    EXPECT_NE(nullptr, location->FindEntity("2"));
    tree.dir.Write("Actors/captain.xml", Entity("name=\"x\""));
    Run("LoadActor('captain', true)");
    CQmEntity* captain = CQmUnifiedCollector::FindActor("captain");
    ASSERT_NE(nullptr, captain);
    EXPECT_EQ(nullptr, location->FindEntity("captain"));

    // Refused forms load nothing.
    const uint32_t entities = location->entities.count;
    for (const char* call : {"LoadActor()", "LoadActor('captain', true, 1)", "LoadActor('sailor', {})",
                             "LoadActor({}, 'x')", "UnloadActor()", "UnloadActor('captain', 1)"})
        Run(call);
    EXPECT_EQ(entities, location->entities.count);
    EXPECT_EQ(captain, CQmUnifiedCollector::FindActor("captain"));

    Run("UnloadActor('captain')");
    EXPECT_EQ(nullptr, CQmUnifiedCollector::FindActor("captain"));
}

TEST_F(ScriptActorsTest, LoadActorBeforeAnyLocationGivesTheCataloguesRefusalAlone)
{
    // As from "global_init": a location actor has nowhere to go.
    tree.dir.Write("Actors/sailor.xml", Entity("name=\"x\""));
    NoLocation();
    Run("LoadActor('sailor')");
    EXPECT_EQ(2, GeLogLastLevel());
    EXPECT_EQ("CQmUnifiedCollector::LoadActor: no current location for actor sailor! Actor is not loaded!\n",
              TakeLog());
    EXPECT_EQ(nullptr, CQmUnifiedCollector::FindActor("sailor"));
    // Kept actors need no location.
    Run("LoadActor('sailor', true)");
    EXPECT_NE(nullptr, CQmUnifiedCollector::FindActor("sailor"));
    EXPECT_EQ("", TakeLog());
}

TEST_F(ScriptActorsTest, ACatalogueActorIsPlacedShownAndTakenOutHidden)
{
    CQmEntity* captain = CatalogueActor("captain");
    ASSERT_NE(nullptr, captain);
    CQmProp* visual = captain->GetProp(QM_PROP_VISUAL_OBJECT);

    Run("AddActorToLocation('captain')");
    EXPECT_EQ(captain, location->FindEntity("captain"));
    EXPECT_TRUE(location->IsShared(captain)) << "the catalogue keeps owning it";
    EXPECT_EQ(1, visual->enabled);

    Run("RemoveActorFromLocation('captain')");
    EXPECT_EQ(nullptr, location->FindEntity("captain"));
    EXPECT_EQ(captain, CQmUnifiedCollector::FindActor("captain")) << "not deleted";
    EXPECT_EQ(0, visual->enabled);
    EXPECT_EQ("", TakeLog());

    // Unknown names: a log line to place, silence to take out.
    Run("AddActorToLocation('nobody')");
    EXPECT_EQ("Lua_AddActorToLocation: no actor 'nobody' is found\n", TakeLog());
    Run("RemoveActorFromLocation('nobody')");
    Run("RemoveActorFromLocation('crate')");
    EXPECT_EQ("", TakeLog());
    EXPECT_EQ(crate, location->FindEntity("crate")) << "a location's own entity is no catalogue actor";

    // A name the location already uses: the actor stays hidden in the
    // catalogue, and taking "it" out leaves the location's entity alone.
    CQmEntity* mate = CatalogueActor("mate");
    ASSERT_NE(nullptr, mate);
    CQmEntity* local = ActorEntity("mate");
    Run("AddActorToLocation('mate')");
    EXPECT_EQ(local, location->FindEntity("mate"));
    EXPECT_EQ(0, mate->GetProp(QM_PROP_VISUAL_OBJECT)->enabled);
    Run("RemoveActorFromLocation('mate')");
    EXPECT_EQ(local, location->FindEntity("mate"));

    // Refused forms and no location change nothing.
    for (const char* call : {"AddActorToLocation()", "AddActorToLocation('captain', 1)", "AddActorToLocation({})"})
        Run(call);
    EXPECT_EQ(nullptr, location->FindEntity("captain"));
    NoLocation();
    Run("AddActorToLocation('captain')");
    EXPECT_EQ(0, visual->enabled);
}

TEST_F(ScriptActorsTest, PermissionsWalksAndTurnsWriteOnlyIntoAnActor)
{
    CQmEntity* door = ActorEntity("door");
    CQmPropActor* actor = Actor(door);
    struct Case {
        const char* call;
        const char* log;
        int32_t permitted;
        uint8_t walk;
        float yaw;
        bool refresh;
    };
    // The door starts with the impossible permission 5, walking and yaw 9.
    const Case cases[] = {
        {"PermitActorAction('door', 'DONOTHING')", "", 0, 1, 9, true},
        {"PermitActorAction('door', 'USE')", "", 1, 1, 9, true},
        {"PermitActorAction('door', 'TALK')", "", 2, 1, 9, true},
        {"PermitActorAction('door', 'USE_AS_PORTAL')", "", 8, 1, 9, true},
        {"PermitActorAction('door', 'LOOK')", "", 16, 1, 9, true},
        {"PermitActorAction('door', 'look')", "Lua processor: Unknown action 'look'! Ignored!\n", 0, 1, 9, true},
        {"PermitActorAction('nobody', 'USE')", "Lua_PermitActorAction: Actor 'nobody' not found in location!\n", 5, 1,
         9, true},
        {"PermitActorAction('crate', 'USE')", "", 5, 1, 9, true},
        {"PermitActorAction('door')", "", 5, 1, 9, true},
        {"EnableWalkForInteraction('door', false)", "", 5, 0, 9, false},
        {"EnableWalkForInteraction('door', true)", "", 5, 1, 9, false},
        {"EnableWalkForInteraction('door', 0)", "", 5, 1, 9, false},
        {"EnableWalkForInteraction('nobody', false)",
         "Lua_EnableWalkForInteraction: Actor 'nobody' not found in location!\n", 5, 1, 9, false},
        {"EnableWalkForInteraction('crate', false)", "", 5, 1, 9, false},
        {"ActorSmoothRotateY('door', '1.5')", "", 5, 1, 1.5f, false},
        {"ActorSmoothRotateY('door')", "", 5, 1, 9, false},
        {"ActorSmoothRotateY('nobody', 1)", "Lua_ActorSmoothRotateY: Actor 'nobody' not found in location!\n", 5, 1, 9,
         false},
        {"ActorSmoothRotateY('crate', 1)", "", 5, 1, 9, false},
        {"DispatchActorToPos('nobody', 1, 2, 3)", "Lua_DispatchActorToPos: Actor 'nobody' not found in location!\n", 5,
         1, 9, false},
        {"DispatchActorToPos('crate', 1, 2, 3)", "", 5, 1, 9, false},
        {"DispatchActorToPos('door', 1, 2)", "", 5, 1, 9, false},
        {"DispatchActorToPos('door', 1, 2, 3, 1)", "", 5, 1, 9, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        actor->permittedAction = 5;
        actor->walkForInteraction = 1;
        actor->yawTarget = 9.0f;
        actor->faceDir = Vec3{0, 0, 0};
        m_processor.cursorRefreshPending = 0;
        g_propJournal.clear();
        Run(c.call);
        EXPECT_EQ(c.log, TakeLog());
        EXPECT_EQ(c.permitted, actor->permittedAction);
        EXPECT_EQ(c.walk, actor->walkForInteraction);
        EXPECT_FLOAT_EQ(c.yaw, actor->yawTarget);
        EXPECT_EQ(c.yaw != 9.0f, actor->faceDir.x == 1.0f) << "a turn is requested with the yaw only";
        EXPECT_EQ(c.refresh, m_processor.cursorRefreshPending == 1);
        EXPECT_TRUE(g_propJournal.empty()) << "the crate's probes are left alone";
    }
    EXPECT_FLOAT_EQ(0.0f, door->frame.position.x) << "no dispatch moved the door (it has no motion controller)";
}

TEST_F(ScriptActorsTest, ASmoothTurnRunsOverFramesToTheYaw)
{
    CQmEntity* door = ActorEntity("door");
    Run("ActorSmoothRotateY('door', -1)");
    const float step = 0.04f * CQmPropActor::kTurnRate;
    Frame(0.04);
    door->Update();
    EXPECT_NEAR(-step, door->frame.angles.y, 1e-5f);
    for (int i = 0; i < 5; ++i) {
        Frame(0.04);
        door->Update();
    }
    EXPECT_FLOAT_EQ(-1.0f, door->frame.angles.y);
    EXPECT_FALSE(Actor(door)->faceDir.x != 0.0f || Actor(door)->faceDir.z != 0.0f) << "the turn is over";
}

TEST_F(ScriptActorsTest, InitiateInteractionNeedsTwoActorsAndAKnownAction)
{
    CQmEntity* hero = ActorEntity("hero");
    CQmEntity* keeper = ActorEntity("keeper", {500, 0, 0});
    Actor(keeper)->walkForInteraction = 0;
    struct Case {
        const char* call;
        const char* log;
        const char* fired;
    };
    const Case cases[] = {
        {"InitiateInteraction('hero', 'keeper', 'TALK')", "", "harbour_dlg_initiate(keeper)"},
        {"InitiateInteraction('hero', 'keeper', 'LOOK')", "", "harbour_use_object(keeper)"},
        {"InitiateInteraction('hero', 'keeper', 'Talk')", "Lua processor: Unknown action 'Talk'! Ignored!\n", ""},
        {"InitiateInteraction('hero', 'nobody', 'USE')",
         "Lua_InitiateInteraction: one of the actors not found in location: hero  nobody!\n", ""},
        {"InitiateInteraction('nobody', 'keeper', 'USE')",
         "Lua_InitiateInteraction: one of the actors not found in location: nobody  keeper!\n", ""},
        {"InitiateInteraction('hero', 'crate', 'USE')",
         "Lua_InitiateInteraction: one of the objects is not an actor: hero  crate!\n", ""},
        {"InitiateInteraction('crate', 'keeper', 'USE')",
         "Lua_InitiateInteraction: one of the objects is not an actor: crate  keeper!\n", ""},
        {"InitiateInteraction('hero', 'keeper')", "", ""},
        {"InitiateInteraction('hero', 'keeper', 'USE', 1)", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        recorder->Clear();
        Run(c.call);
        EXPECT_EQ(c.log, TakeLog());
        EXPECT_EQ(c.fired, recorder->Joined());
    }
    // With a walk wanted, the hero (without a motion controller here) is
    // refused the walk and stays outside: nothing fires, the target is kept
    // until the actor gives up.
    recorder->Clear();
    Actor(keeper)->walkForInteraction = 1;
    Run("InitiateInteraction('hero', 'keeper', 'USE')");
    EXPECT_EQ(keeper, Actor(hero)->target);
    EXPECT_EQ(QM_ACTION_USE, Actor(hero)->action);
    EXPECT_EQ("", recorder->Joined());
}

TEST_F(ScriptActorsTest, TheZoneItsFacingAndTheShownName)
{
    tree.dir.Write("strings/game_strings.xml", "<strings><string id=\"door_name\" str=\"Back door\"/></strings>");
    CQmUnifiedCollector::LoadGameStrings();
    // A turned and moved door: the zone stays in the door's own space.
    CQmEntity* door = ActorEntity("door", {100, 0, 50});
    door->frame.SetAngles(Vec3{0, 1.0f, 0});
    door->frame.UpdateWorldMatrix();
    CQmPropActor* actor = Actor(door);
    actor->SetIaZone(Vec3{1, 2, 3}, 4.0f, Vec3{0, 0, 1}, Vec3{1, 0, 0});

    Run("SetEntityActorIaZone('door', -10, 0, '5', 30, 'ignored', {})");
    EXPECT_TRUE(Vec3::EqualsWithin(Vec3{-10, 0, 5}, actor->zoneCentre, 1e-6f));
    EXPECT_FLOAT_EQ(30.0f, actor->zoneRadius);
    EXPECT_TRUE(Vec3::EqualsWithin(Vec3{0, 0, 1}, actor->zoneFaceDir, 1e-6f)) << "the facing is kept";
    EXPECT_TRUE(Vec3::EqualsWithin(Vec3{1, 0, 0}, actor->portalDir, 1e-6f));

    struct Rotation {
        const char* call;
        Vec3 face;
    };
    const Rotation rotations[] = {
        {"SetEntityActorRot('door', 0, 0, 0)", {1, 0, 0}},
        {"SetEntityActorRot('door', 0, 90, 0)", {0, 0, -1}},
        {"SetEntityActorRot('door', 0, 0, 90)", {0, 1, 0}},
        {"SetEntityActorRot('door', 0, 180, 0)", {-1, 0, 0}},
    };
    for (const Rotation& r : rotations) {
        SCOPED_TRACE(r.call);
        Run(r.call);
        EXPECT_TRUE(Vec3::EqualsWithin(r.face, actor->zoneFaceDir, 1e-6f))
            << actor->zoneFaceDir.x << " " << actor->zoneFaceDir.y << " " << actor->zoneFaceDir.z;
        EXPECT_TRUE(Vec3::EqualsWithin(Vec3{-10, 0, 5}, actor->zoneCentre, 1e-4f)) << "the centre stays";
        EXPECT_FLOAT_EQ(30.0f, actor->zoneRadius);
    }

    Run("SetEntityActorName('door', 'door_name')");
    EXPECT_TRUE(actor->displayName == CGeWString(u"Back door"));
    Run("SetEntityActorName('door', 'no_such_id')");
    EXPECT_TRUE(actor->displayName.IsEmpty());

    // Refused calls, entities without an actor and unknown names change nothing
    // and write no log.
    actor->displayName = CGeWString(u"kept");
    for (const char* call : {"SetEntityActorIaZone('door', 1, 2, 3)", "SetEntityActorIaZone('door', 1, 2, 3, 'x')",
                             "SetEntityActorIaZone('crate', 1, 2, 3, 4)", "SetEntityActorIaZone('nobody', 1, 2, 3, 4)",
                             "SetEntityActorRot('door', 1, 2)", "SetEntityActorRot('door', 1, 2, 3, 4)",
                             "SetEntityActorRot('crate', 0, 90, 0)", "SetEntityActorName('door')",
                             "SetEntityActorName('crate', 'door_name')", "SetEntityActorName('nobody', 'x')"}) {
        SCOPED_TRACE(call);
        Run(call);
        EXPECT_EQ("", TakeLog());
        EXPECT_TRUE(Vec3::EqualsWithin(Vec3{-10, 0, 5}, actor->zoneCentre, 1e-4f));
        EXPECT_FLOAT_EQ(30.0f, actor->zoneRadius);
        EXPECT_TRUE(Vec3::EqualsWithin(Vec3{-1, 0, 0}, actor->zoneFaceDir, 1e-6f));
        EXPECT_TRUE(actor->displayName == CGeWString(u"kept"));
    }
    EXPECT_TRUE(g_propJournal.empty());
}
