// "AttachEntity" and "SetLookAtAllocator" through scripts on a current
// location: answers, counts and types refused, what hangs where afterwards,
// the log lines of unknown names, entities without the property.
#include "Source/GameClasses/QmPropActor.h"
#include "Source/GameClasses/QmPropAllocatorList.h"
#include "Source/GameClasses/QmPropIkProcessor.h"
#include "tests/Source/GameClasses/FigureFixtures.h"
#include "tests/Source/GameClasses/ScriptLocationFixture.h"

namespace {

class ScriptAttachLookAtTest : public ScriptLocationTest {
protected:
    void SetUp() override
    {
        ScriptLocationTest::SetUp();
        hero = Add("hero");
        hand = Point(hero, "hand", Vec3{0, 5, 0});
        sword = Add("sword");
        grip = Point(sword, "grip", Vec3{0, -1, 0});
        lamp = Add("lamp");
        lampHead = Point(lamp, "head", Vec3{0, 3, 0});
        sword->frame.SetPosition(Vec3{7, 0, 0});
        hero->frame.SetPosition(Vec3{1, 0, 0});
    }

    CQmEntity* Add(const char* name)
    {
        CQmEntity* entity = figure::MakeEntity(name, 0);
        auto* list = new CQmPropAllocatorList(entity);
        list->SetEnabled(true);
        entity->SetProp(QM_PROP_ALLOCATOR_LIST, list);
        location->AddNamedObject(entity->name, entity, false);
        return entity;
    }

    static CQmAllocator* Point(CQmEntity* entity, const char* name, const Vec3& at)
    {
        Matrix4 offset = Matrix4::Identity();
        offset.At(0, 3) = at.x;
        offset.At(1, 3) = at.y;
        offset.At(2, 3) = at.z;
        auto* point = new CQmAllocator(entity, offset);
        entity->Prop<CQmPropAllocatorList>(QM_PROP_ALLOCATOR_LIST)->Insert(name, point);
        return point;
    }

    CQmEntity* hero = nullptr;
    CQmEntity* sword = nullptr;
    CQmEntity* lamp = nullptr;
    CQmAllocator* hand = nullptr;
    CQmAllocator* grip = nullptr;
    CQmAllocator* lampHead = nullptr;
};

} // namespace

TEST_F(ScriptAttachLookAtTest, AttachEntityAnswersAndHangsPointsOnEachOther)
{
    struct Case {
        const char* call;
        const char* answer;
        bool gripOnHand; // after the call; every case starts with it there
    };
    const Case cases[] = {
        {"AttachEntity('sword', 'grip', 'hero', 'hand')", "true", true},
        {"AttachEntity('sword', 'grip', 'lamp', 'head')", "true", false},
        // Only the target point: freed on both sides, named from either end.
        {"AttachEntity('sword', 'nothing', 'hero', 'hand')", "true", false},
        {"AttachEntity('ghost', 'grip', 'hero', 'hand')", "true", false},
        {"AttachEntity('', '', 'sword', 'grip')", "true", false},
        // No target point or entity: false, nothing changes.
        {"AttachEntity('sword', 'grip', 'hero', 'nothing')", "false", true},
        {"AttachEntity('sword', 'grip', 'ghost', 'hand')", "false", true},
        {"AttachEntity('sword', 'grip', 'crate', 'hand')", "false", true},
        // Refused: exactly four texts.
        {"AttachEntity('sword', 'grip', 'hero')", "false", true},
        {"AttachEntity('sword', 'grip', 'hero', 'hand', 'x')", "false", true},
        {"AttachEntity('sword', {}, 'hero', 'hand')", "false", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        grip->AttachEntity(hand);
        EXPECT_EQ(c.answer, Call(c.call));
        EXPECT_EQ(c.gripOnHand, grip->parent == hand);
        EXPECT_EQ(c.gripOnHand ? 1u : 0u, hand->children.Count());
        EXPECT_EQ("", TakeLog());
    }

    // Attached by a script, the sword is carried from the next update on.
    grip->AttachEntity(nullptr);
    EXPECT_EQ("true", Call("AttachEntity('sword', 'grip', 'hero', 'hand')"));
    sword->Update();
    sword->frame.UpdateWorldMatrix();
    // The grip (1 below the sword) meets the hand (5 above the hero at x 1).
    EXPECT_FLOAT_EQ(1.0f, sword->frame.world.At(0, 3));
    EXPECT_FLOAT_EQ(6.0f, sword->frame.world.At(1, 3));
}

TEST_F(ScriptAttachLookAtTest, SetLookAtAllocatorChoosesThroughTheActor)
{
    auto* actor = new CQmPropActor(hero);
    hero->SetProp(QM_PROP_ACTOR, actor);
    actor->SetEnabled(true);
    auto* ik = new CQmPropIkProcessor(hero);
    hero->SetProp(QM_PROP_IK_PROCESSOR, ik);
    lamp->frame.UpdateWorldMatrix();

    struct Case {
        const char* call;
        bool keeps;            // the choice before the call stays
        const Matrix4* matrix; // else the one chosen
        const char* log;
    };
    const Case cases[] = {
        {"SetLookAtAllocator('hero', 'lamp', '_entity_')", false, &lamp->frame.world, ""},
        {"SetLookAtAllocator('hero', 'lamp', 'head')", false, &lampHead->world, ""},
        {"SetLookAtAllocator('hero', 'lamp', 'nose')", false, nullptr,
         "CQmPropActor::SetLookAtAllocator: no allocator named 'nose' found in iaActor 'lamp'!\n"},
        {"SetLookAtAllocator('hero', 'nobody', 'head')", true, nullptr,
         "@actor@SetLookAtAllocator: no entity found: nobody\n"},
        {"SetLookAtAllocator('hero', '', '')", false, nullptr, ""},
        {"SetLookAtAllocator('ghost', 'lamp', 'head')", true, nullptr,
         "Lua_SetLookAtAllocator: entity 'ghost' not found in location!\n"},
        // An entity without an actor: nothing happens.
        {"SetLookAtAllocator('crate', 'lamp', 'head')", true, nullptr, ""},
        {"SetLookAtAllocator('hero', 'lamp')", true, nullptr, ""},
        {"SetLookAtAllocator('hero', 'lamp', 'head', 1)", true, nullptr, ""},
        {"SetLookAtAllocator('hero', 'lamp', true)", true, nullptr, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        const Matrix4* before = &hero->frame.local; // no call chooses this one
        actor->lookAtMatrix = before;
        EXPECT_EQ("", Call(c.call));
        EXPECT_EQ(c.keeps ? before : c.matrix, actor->lookAtMatrix);
        EXPECT_EQ(c.log, TakeLog());
    }
    // Stopping looking releases the head; choosing enables the processor.
    ik->SetEnabled(false);
    ik->released = 0;
    Run("SetLookAtAllocator('hero', '', 'head')");
    EXPECT_EQ(1, ik->released);
    EXPECT_EQ(1, ik->enabled);
}
