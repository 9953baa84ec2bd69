// The collider property and the active-collider list: linking by the enabled
// state, posing from the entity, picking through the list after moves,
// location stops and deletions, and the three script functions that reshape
// a collider.
#include "Source/GameClasses/QmPropCollider.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Physics/GeCollider.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmScriptApi.h"
#include "tests/Source/GameClasses/LocationFixtures.h"

namespace {

class ColliderTest : public LocationTest {
protected:
    void SetUp() override
    {
        LocationTest::SetUp();
        CreateActiveColliders();
    }

    void TearDown() override
    {
        manager.Clear();
        DestroyActiveColliders();
        LocationTest::TearDown();
    }

    uint32_t Active() const { return g_activeColliders->members.count; }

    // An entity at position with a collider box of half size 1 round it.
    static CQmEntity* BoxEntity(const char* name, const Vec3& position)
    {
        auto* entity = new CQmEntity;
        entity->name = name;
        entity->frame.SetPosition(position);
        auto* collider = new CQmPropCollider(entity);
        CreateColliderAabbShape(collider)->SetCorners({-1, -1, -1}, {1, 1, 1});
        entity->SetProp(QM_PROP_COLLIDER, collider);
        collider->SetEnabled(true);
        return entity;
    }

    // The entity picked by a ray down the z axis through (x, 0).
    static CQmEntity* PickAt(float x) { return PickColliderEntity({x, 0.0f, -100.0f}, {0.0f, 0.0f, 1.0f}); }

    // A current location "here" holding the entities.
    CQmLocation* Current(std::initializer_list<CQmEntity*> entities)
    {
        s_builder = [entities](CQmLocation& location) {
            for (CQmEntity* entity : entities)
                location.AddNamedObject(entity->name, entity, false);
        };
        tree.Location("here");
        CQmLocation* location = manager.ChangeLocation(tree.Path("here").c_str());
        manager.SetCurrentLocation("here");
        return location;
    }

    static CQmPropCollider* ColliderOf(const char* name)
    {
        return ScriptFindEntity(name)->Prop<CQmPropCollider>(QM_PROP_COLLIDER);
    }
};

} // namespace

TEST_F(ColliderTest, EnabledTwiceLinkedOnceAndUnlinkedBeforeDeletion)
{
    std::unique_ptr<CQmEntity> entity(BoxEntity("a", {0, 0, 0}));
    auto* collider = entity->Prop<CQmPropCollider>(QM_PROP_COLLIDER);
    collider->SetEnabled(true);
    collider->SetEnabled(true);
    EXPECT_EQ(1u, Active());
    EXPECT_EQ(collider->shape, g_activeColliders->members.first);
    collider->SetEnabled(false);
    collider->SetEnabled(false);
    EXPECT_EQ(0u, Active());
    collider->SetEnabled(true);
    // A new shape of an enabled collider takes the old one's place.
    CreateColliderSphereShape(collider)->radius = 1.0f;
    EXPECT_EQ(1u, Active());
    EXPECT_EQ(collider->shape, g_activeColliders->members.first);

    std::unique_ptr<CQmEntity> other(BoxEntity("b", {5, 0, 0}));
    EXPECT_EQ(2u, Active());
    entity.reset();
    EXPECT_EQ(1u, Active());
    EXPECT_EQ(other->Prop<CQmPropCollider>(QM_PROP_COLLIDER)->shape, g_activeColliders->members.first);
    EXPECT_EQ(nullptr, g_activeColliders->members.first->Next());

    // Without a shape nothing is linked; without a list only the flag moves.
    CQmEntity bare;
    CQmPropCollider empty(&bare);
    empty.SetEnabled(true);
    EXPECT_EQ(1u, Active());
    other.reset();
    DestroyActiveColliders();
    std::unique_ptr<CQmEntity> late(BoxEntity("c", {0, 0, 0}));
    EXPECT_EQ(1, late->Prop<CQmPropCollider>(QM_PROP_COLLIDER)->enabled);
    CreateActiveColliders();
}

TEST_F(ColliderTest, PickingFindsMovedEntitiesAndNeverStoppedOrDeletedOnes)
{
    CQmEntity* near = BoxEntity("near", {0, 0, 0});
    CQmEntity* far = BoxEntity("far", {0, 0, 10});
    CQmLocation* location = Current({near, far});
    ASSERT_NE(nullptr, location);
    Tick(*location, 0.1);
    EXPECT_EQ(near, PickAt(0.0f));
    EXPECT_EQ(nullptr, PickAt(3.0f));

    // The entity moves: its shape follows with the next update.
    near->frame.SetPosition({3, 0, 0});
    Tick(*location, 0.1);
    EXPECT_EQ(near, PickAt(3.0f));
    EXPECT_EQ(far, PickAt(0.0f));

    // A stopped location takes its shapes out of the list.
    location->Stop();
    EXPECT_EQ(0u, Active());
    EXPECT_EQ(nullptr, PickAt(0.0f));
    location->Restart();
    EXPECT_EQ(2u, Active());
    EXPECT_TRUE(location->RemoveEntity("far"));
    EXPECT_EQ(1u, Active());
    EXPECT_EQ(nullptr, PickAt(0.0f));
    manager.Clear();
    EXPECT_EQ(0u, Active());
    EXPECT_EQ(nullptr, PickAt(3.0f));
}

TEST_F(ColliderTest, ScriptsReshapeOnlyAColliderOfTheirKind)
{
    CQmEntity* box = BoxEntity("box", {10, 0, 0});
    CQmEntity* ball = BoxEntity("ball", {0, 0, 0});
    auto* ballCollider = ball->Prop<CQmPropCollider>(QM_PROP_COLLIDER);
    CreateColliderSphereShape(ballCollider)->radius = 1.0f;
    CQmEntity* turned = BoxEntity("turned", {0, 0, 0});
    auto* turnedCollider = turned->Prop<CQmPropCollider>(QM_PROP_COLLIDER);
    CreateColliderBoxShape(turnedCollider)->SetSizeAndRotation({1, 1, 1}, Matrix4::Identity());
    CQmEntity* bare = new CQmEntity;
    bare->name = "bare";
    Current({box, ball, turned, bare});
    for (CQmEntity* entity : {box, ball, turned})
        entity->Update();

    // The wrong kind, no collider, and a refused call change nothing.
    const auto* aabb = static_cast<const CGeColliderAabb*>(ColliderOf("box")->shape);
    const Vec3 before = aabb->max;
    Run("SetColliderSphere('box', 0, 0, 0, 5)");
    Run("SetColliderBox('box', 0, 0, 0, 1, 1, 1, 0, 0, 0)");
    Run("SetColliderAABB('bare', 0, 0, 0, 1, 1, 1)");
    Run("SetColliderAABB('box', 0, 0, 0, 1, 1)");
    EXPECT_FLOAT_EQ(before.x, aabb->max.x);
    EXPECT_EQ(COLLIDER_AABB, ColliderOf("box")->shape->GetClass());

    // The box takes its corners; its centre becomes the local translation and
    // the shape sits round the entity. It is switched on again.
    ColliderOf("box")->SetEnabled(false);
    Run("SetColliderAABB('box', 0, 0, 0, 2, 4, 6)");
    EXPECT_EQ(1, ColliderOf("box")->enabled);
    EXPECT_FLOAT_EQ(2.0f, ColliderOf("box")->local.At(1, 3));
    EXPECT_FLOAT_EQ(10.0f, aabb->min.x);
    EXPECT_FLOAT_EQ(12.0f, aabb->max.x);

    Run("SetColliderSphere('ball', 1, 2, 3, 4)");
    const auto* sphere = static_cast<const CGeColliderSphere*>(ballCollider->shape);
    EXPECT_FLOAT_EQ(4.0f, sphere->radius);
    EXPECT_FLOAT_EQ(3.0f, sphere->centre.z);

    // The oriented box keeps the enabled state, whichever it was.
    turnedCollider->SetEnabled(false);
    Run("SetColliderBox('turned', 5, 0, 0, 2, 4, 6, 0, 90, 0)");
    EXPECT_EQ(0, turnedCollider->enabled);
    const auto* oriented = static_cast<const CGeColliderBox*>(turnedCollider->shape);
    EXPECT_NEAR(2.0f, oriented->bounds.min.x, 1e-4f);
    EXPECT_NEAR(8.0f, oriented->bounds.max.x, 1e-4f);
    turnedCollider->SetEnabled(true);
    Run("SetColliderBox('turned', 0, 0, 0, 1, 1, 1, 0, 0, 0)");
    EXPECT_EQ(1, turnedCollider->enabled);

    GeLogClearLast();
    Run("SetColliderBox('nobody', 0, 0, 0, 1, 1, 1, 0, 0, 0)");
    EXPECT_EQ(2, GeLogLastLevel());
    EXPECT_EQ(std::string("Lua_SetColliderBox: entity 'nobody' not found in location!\n"), GeLogLastMessage().c_str());
}

TEST_F(ColliderTest, WithoutACurrentLocationEveryNameIsUnknown)
{
    std::unique_ptr<CQmEntity> entity(BoxEntity("box", {0, 0, 0}));
    EXPECT_EQ(nullptr, ScriptFindEntity("box"));
    EXPECT_EQ(nullptr, ScriptFindEntity(nullptr));
    GeLogClearLast();
    Run("SetColliderAABB('box', 0, 0, 0, 5, 5, 5)");
    EXPECT_EQ(2, GeLogLastLevel());
    EXPECT_FLOAT_EQ(1.0f,
                    static_cast<const CGeColliderAabb*>(entity->Prop<CQmPropCollider>(QM_PROP_COLLIDER)->shape)->max.x);
}
