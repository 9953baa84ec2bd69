// Entities and the property base: the slot walk with disabled slots and
// listeners, events to every property, deletion, the stop-all routine, and
// the visual object property's visuals.
#include "Engine/Core/Gm/GmLayers.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmPropActor.h"
#include "Source/GameClasses/QmPropAllocatorList.h"
#include "tests/Source/GameClasses/LocationFixtures.h"

#include <gtest/gtest.h>

namespace {

class OrderListener : public IQmPropListener {
public:
    explicit OrderListener(const char* tag) : m_tag(tag) {}
    void OnPropUpdated(CQmProp* prop) override
    {
        g_propJournal.push_back(m_tag + " after " + std::to_string(static_cast<ProbeProp*>(prop)->slot));
    }

private:
    std::string m_tag;
};

class CountingVisual : public CGmVisualObject {
public:
    void Update() override { ++updates; }
    void Render() override {}
    int updates = 0;
};

class DetachingAllocators : public CQmPropAllocatorList {
public:
    using CQmPropAllocatorList::CQmPropAllocatorList;
    void DetachAll() override { ++detached; }
    int detached = 0;
};

std::vector<std::string> Take()
{
    std::vector<std::string> lines = g_propJournal;
    g_propJournal.clear();
    return lines;
}

} // namespace

TEST(CQmEntity, UpdateWalksEnabledSlotsInOrderWithTheirListeners)
{
    g_propJournal.clear();
    CQmEntity* entity = ProbeEntity("e", {12, 1, 7, 3});
    entity->props[7]->enabled = 0;
    OrderListener first("first"), second("second");
    entity->props[3]->AddListener(&first);
    entity->props[3]->AddListener(&second);
    entity->props[7]->AddListener(&first); // disabled: no call
    entity->frame.SetPosition({1.0f, 2.0f, 3.0f});
    Take();
    entity->Update();
    EXPECT_EQ((std::vector<std::string>{"e.1 update", "e.3 update", "first after 3", "second after 3",
                                        "e.12 update"}),
              Take());
    EXPECT_FLOAT_EQ(2.0f, entity->frame.world.m[7]);

    // Events reach every property, disabled ones too, in slot order.
    entity->NotifyProps(QM_EVENT_PATH_STOPPED);
    EXPECT_EQ((std::vector<std::string>{"e.1 event 1001", "e.3 event 1001", "e.7 event 1001", "e.12 event 1001"}),
              Take());

    // Deletion deletes each property once, in slot order.
    delete entity;
    EXPECT_EQ((std::vector<std::string>{"e.1 delete", "e.3 delete", "e.7 delete", "e.12 delete"}), Take());
}

TEST(CQmEntity, EmptyEntitiesAndReplacedProperties)
{
    g_propJournal.clear();
    CQmEntity empty;
    EXPECT_EQ(kQmPropSlots, empty.props.count);
    EXPECT_EQ(-1, empty.updateStamp);
    EXPECT_EQ(nullptr, empty.dispatcher);
    empty.frame.SetPosition({5.0f, 0.0f, 0.0f});
    empty.Update();
    empty.NotifyProps(QM_EVENT_PATH_STARTED);
    EXPECT_FLOAT_EQ(5.0f, empty.frame.world.m[3]);
    EXPECT_TRUE(g_propJournal.empty());

    // A second property of one kind replaces the first, which is deleted.
    empty.name = "e";
    empty.SetProp(4, new ProbeProp(&empty, 4));
    empty.SetProp(4, new ProbeProp(&empty, 4));
    EXPECT_EQ((std::vector<std::string>{"e.4 delete"}), Take());
    empty.SetProp(4, nullptr);
    EXPECT_EQ((std::vector<std::string>{"e.4 delete"}), Take());
    EXPECT_EQ(nullptr, empty.GetProp(4));
    EXPECT_EQ(nullptr, empty.GetProp(kQmPropSlots));

    QmSetEntitySettings();
    EXPECT_EQ(18u, g_entitySettings.slotCount);
    EXPECT_EQ(10u, g_entitySettings.visualObjectSlot);
    EXPECT_EQ(1u, g_entitySettings.animControllerSlot);
    EXPECT_EQ(3u, g_entitySettings.motionControllerSlot);
}

TEST(CQmEntity, StopAllLeavesTheMotionControllerAndDetachesAttachments)
{
    g_propJournal.clear();
    CQmEntity* entity = ProbeEntity("e", {0, 3, 10});
    auto* actor = new CQmPropActor(entity);
    actor->target = entity;
    actor->action = 4;
    entity->SetProp(QM_PROP_ACTOR, actor);
    auto* allocators = new DetachingAllocators(entity);
    entity->SetProp(QM_PROP_ALLOCATOR_LIST, allocators);
    allocators->enabled = actor->enabled = 1;
    Take();
    entity->StopAllProps();
    EXPECT_EQ((std::vector<std::string>{"e.0 off", "e.10 off"}), Take());
    EXPECT_EQ(1, entity->props[3]->enabled);
    EXPECT_EQ(0, actor->enabled);
    EXPECT_EQ(nullptr, actor->target);
    EXPECT_EQ(1, allocators->detached);
    delete entity;
}

TEST(CQmPropVisualObject, VisualsHangBelowTheEntityAndHideOnChangeOnly)
{
    CQmEntity entity;
    auto* prop = new CQmPropVisualObject(&entity);
    entity.SetProp(QM_PROP_VISUAL_OBJECT, prop);
    auto* a = new CountingVisual;
    auto* b = new CountingVisual;
    EXPECT_EQ(0u, prop->AddVisual(a, 2));
    EXPECT_EQ(1u, prop->AddVisual(b, 3));
    EXPECT_EQ(&entity.frame, a->frame.parent);

    // Hiding twice touches the visuals once: a visual shown again by someone
    // else stays shown by the second hide.
    prop->SetEnabled(true);
    prop->SetEnabled(false);
    EXPECT_EQ(0, a->visible);
    a->visible = 1;
    prop->SetEnabled(false);
    EXPECT_EQ(1, a->visible);
    EXPECT_EQ(0, b->visible);
    prop->SetEnabled(true);
    EXPECT_EQ(1, b->visible);

    // The update runs each visual's own update and places it below the entity.
    b->frame.SetPosition({0.0f, 1.0f, 0.0f});
    entity.frame.SetPosition({10.0f, 0.0f, 0.0f});
    entity.Update();
    EXPECT_EQ(1, a->updates);
    EXPECT_EQ(1, b->updates);
    EXPECT_FLOAT_EQ(10.0f, b->frame.world.m[3]);
    EXPECT_FLOAT_EQ(1.0f, b->frame.world.m[7]);
    EXPECT_EQ(0, b->frame.worldDirty);
}

TEST(CQmPropVisualObject, VisualsEnterAndLeaveTheRenderLayers)
{
    CGmLayers layers;
    g_pGmLayers = &layers;
    {
        CQmEntity entity;
        auto* prop = new CQmPropVisualObject(&entity);
        entity.SetProp(QM_PROP_VISUAL_OBJECT, prop);
        auto* visual = new CountingVisual;
        prop->AddVisual(visual, 3);
        EXPECT_TRUE(layers.Contains(3, visual));
        EXPECT_EQ(1u, layers.layers[3].count);
    }
    EXPECT_EQ(0u, layers.layers[3].count);

    // A location keeps one pair of lighting hooks in the layers while it lives.
    {
        CQmLocation first("a");
        CQmLocation second("b");
        EXPECT_EQ(1u, layers.beforeHooks.count);
        EXPECT_EQ(1u, layers.afterHooks.count);
    }
    EXPECT_EQ(0u, layers.beforeHooks.count);
    EXPECT_EQ(0u, layers.afterHooks.count);
    g_pGmLayers = nullptr;
}
