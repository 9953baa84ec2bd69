// The trigger property on a current location: entities placed by hand around
// a box zone, the location's update driving the trigger, the script-event
// recorder listening for the enter and leave events and a dispatcher of the
// test's own collecting the trigger's messages.
#include "Source/GameClasses/QmPropTrigger.h"
#include "Engine/Core/Common/CiDispatcher.h"
#include "tests/Source/GameClasses/MotionFixtures.h"

#include <memory>

namespace {

class TriggerTest : public MotionLocationTest {
protected:
    void SetUp() override
    {
        dispatcher = std::make_unique<CCiDispatcher>();
        g_dispatcher = dispatcher.get();
        MotionLocationTest::SetUp();
        recorder->Record({"harbour_trigger_enter", "harbour_trigger_leave"});
        zone = Read("<entity name=\"zone\" pos=\"10 0 0\"><collider aabb=\"-1 -1 -1 1 1 1\"/><trigger/></entity>");
        trigger = zone->Prop<CQmPropTrigger>(QM_PROP_TRIGGER);
    }

    void TearDown() override
    {
        manager.Clear();
        g_dispatcher = nullptr;
        dispatcher.reset();
        MotionLocationTest::TearDown();
    }

    // The codes the trigger posted since the last call.
    std::vector<uint32_t> Messages()
    {
        uint32_t codes[CCiDispatcher::kMaxCollected];
        const uint32_t count = dispatcher->CollectFor(trigger, codes);
        dispatcher->PurgeClient(trigger);
        return std::vector<uint32_t>(codes, codes + count);
    }

    std::unique_ptr<CCiDispatcher> dispatcher;
    CQmEntity* zone = nullptr;
    CQmPropTrigger* trigger = nullptr;
};

CQmLocation* s_removeFrom = nullptr;

int TestRemoveEntity(lua_State* L)
{
    s_removeFrom->RemoveEntity(lua_tostring(L, 1));
    return 0;
}

} // namespace

TEST_F(TriggerTest, TheReaderAttachesAnEnabledTriggerToTheDispatcher)
{
    ASSERT_NE(nullptr, trigger);
    EXPECT_EQ(1, trigger->enabled);
    EXPECT_EQ(dispatcher.get(), trigger->dispatcher);
    EXPECT_TRUE(dispatcher->HoldsRow(trigger));
}

TEST_F(TriggerTest, EntitiesEnterOnceAndLeaveOnceWithTheBoundaryInside)
{
    CQmEntity* hero = Add("hero", Vec3{11.0f, 1.0f, -1.0f}); // on the corner
    CQmEntity* crate = Add("crate", Vec3{0.0f, 0.0f, 0.0f});
    Tick(*location, 0.1);
    // The trigger's own entity stands in its box and enters first.
    EXPECT_EQ("harbour_trigger_enter(zone,zone) harbour_trigger_enter(zone,hero)", recorder->Joined());
    EXPECT_EQ((std::vector<uint32_t>{1002, 1002}), Messages());
    EXPECT_EQ(2u, trigger->enteredNow.count);
    EXPECT_TRUE(trigger->IsInside(hero));
    EXPECT_FALSE(trigger->IsInside(crate));

    recorder->Clear();
    for (int i = 0; i < 3; ++i)
        Tick(*location, 0.1);
    EXPECT_EQ("", recorder->Joined());
    EXPECT_EQ(0u, trigger->enteredNow.count);

    Place(hero, Vec3{11.001f, 0.0f, 0.0f});
    Place(crate, Vec3{9.5f, -0.5f, 0.5f});
    Tick(*location, 0.1);
    EXPECT_EQ("harbour_trigger_leave(zone,hero) harbour_trigger_enter(zone,crate)", recorder->Joined());
    EXPECT_EQ((std::vector<uint32_t>{1003, 1002}), Messages());
    EXPECT_EQ(1u, trigger->leftNow.count);
    EXPECT_EQ(hero, trigger->leftNow.head->value);
    Tick(*location, 0.1);
    EXPECT_EQ(2u, recorder->Lines().size());
}

TEST_F(TriggerTest, OnlyABoxColliderMakesAZone)
{
    for (const char* shape : {"sphere=\"0 0 0 5\"", "box=\"0 0 0 5 5 5 0 45 0\""}) {
        CQmEntity* other =
            Read(std::string("<entity name=\"other\" pos=\"10 0 0\"><collider ") + shape + "/><trigger/></entity>");
        ASSERT_NE(nullptr, other) << shape;
        Add("hero", Vec3{10.0f, 0.0f, 0.0f});
        auto* otherTrigger = other->Prop<CQmPropTrigger>(QM_PROP_TRIGGER);
        recorder->Clear();
        otherTrigger->Update();
        EXPECT_EQ("", recorder->Joined()) << shape;
        EXPECT_EQ(0u, otherTrigger->inside.count) << shape;
        location->RemoveEntity("other");
        location->RemoveEntity("hero");
    }
    // Without a collider nothing happens either.
    zone->SetProp(QM_PROP_COLLIDER, nullptr);
    Tick(*location, 0.1);
    EXPECT_EQ("", recorder->Joined());
}

TEST_F(TriggerTest, RemovedEntitiesAreForgottenWithoutALeaveEvent)
{
    Add("hero", Vec3{10.0f, 0.0f, 0.0f});
    Tick(*location, 0.1);
    recorder->Clear();
    location->RemoveEntity("hero");
    Tick(*location, 0.1);
    EXPECT_EQ("", recorder->Joined());
    EXPECT_EQ(1u, trigger->inside.count); // the zone itself

    // An enter handler removes the next entity of the pass, and another one
    // already inside: neither is touched again, neither leaves.
    s_removeFrom = location;
    lua_register(g_luaState, "TestRemoveEntity", TestRemoveEntity);
    CQmEntity* early = Add("early", Vec3{10.0f, 0.5f, 0.0f});
    Tick(*location, 0.1);
    ASSERT_TRUE(trigger->IsInside(early));
    Run("function harbour_trigger_enter(zone, entity) RecordLine('enter ' .. entity) "
        "if entity == 'hero' then TestRemoveEntity('crate') TestRemoveEntity('early') end end");
    Add("hero", Vec3{10.0f, 0.0f, 0.0f});
    Add("crate", Vec3{10.0f, 0.0f, 0.5f});
    recorder->Clear();
    Tick(*location, 0.1);
    EXPECT_EQ("enter hero", recorder->Joined());
    Tick(*location, 0.1);
    EXPECT_EQ("enter hero", recorder->Joined());
    EXPECT_EQ(2u, trigger->inside.count); // the zone and the hero

    // A handler that takes the trigger's own entity away ends the pass.
    Run("function harbour_trigger_enter(zone, entity) RecordLine('enter ' .. entity) TestRemoveEntity(zone) end");
    Add("late", Vec3{10.0f, 0.0f, 0.0f});
    Add("later", Vec3{10.0f, 0.0f, 0.0f});
    recorder->Clear();
    trigger->Update();
    EXPECT_EQ("enter late", recorder->Joined());
    EXPECT_EQ(nullptr, location->FindEntity("zone"));
    s_removeFrom = nullptr;
}

TEST_F(TriggerTest, ALeaveWhileDisabledFiresOnReenabling)
{
    CQmEntity* hero = Add("hero", Vec3{10.0f, 0.0f, 0.0f});
    Tick(*location, 0.1);
    recorder->Clear();
    trigger->SetEnabled(false);
    Place(hero, Vec3{0.0f, 0.0f, 0.0f});
    Tick(*location, 0.1);
    EXPECT_EQ("", recorder->Joined());
    trigger->SetEnabled(true);
    Tick(*location, 0.1);
    EXPECT_EQ("harbour_trigger_leave(zone,hero)", recorder->Joined());
}
