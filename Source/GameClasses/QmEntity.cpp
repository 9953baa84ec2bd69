#include "Source/GameClasses/QmEntity.h"

#include "Engine/Core/Common/CiDispatcher.h"
#include "Engine/Core/Gm/GmVisual2D.h"
#include "Source/GameClasses/QmPropActor.h"
#include "Source/GameClasses/QmPropAllocatorList.h"
#include "Source/GameClasses/QmRenderLink.h"

QmEntitySettings g_entitySettings;

namespace {

// The base classes register every message client; entities and the property
// base stay out of the dispatcher.
void LeaveDispatcher(CCiMessageClient& client)
{
    if (client.dispatcher) {
        client.dispatcher->UnregisterClient(&client);
        client.dispatcher = nullptr;
    }
}

} // namespace

void QmSetEntitySettings()
{
    g_entitySettings = QmEntitySettings();
}

CQmProp::CQmProp(CQmEntity* ownerEntity) : owner(ownerEntity)
{
    LeaveDispatcher(*this);
}

CQmProp::~CQmProp()
{
    listeners.Destroy();
}

void CQmProp::CallListeners()
{
    for (auto* node = listeners.head; node; node = node->next)
        node->value->OnPropUpdated(this);
}

CQmEntity::CQmEntity()
{
    LeaveDispatcher(*this);
    for (uint32_t slot = 0; slot < g_entitySettings.slotCount; ++slot)
        props.Add(nullptr);
}

CQmEntity::~CQmEntity()
{
    for (uint32_t slot = 0; slot < props.count; ++slot) {
        delete props[slot];
        props[slot] = nullptr;
    }
}

void CQmEntity::Update()
{
    frame.UpdateWorldMatrix();
    // A property's script event may take the entity away: the properties
    // after it are then left alone.
    for (uint32_t slot = 0; slot < props.count && !removed; ++slot) {
        CQmProp* prop = props[slot];
        if (!prop || !prop->enabled)
            continue;
        prop->Update();
        if (!removed)
            prop->CallListeners();
    }
}

void CQmEntity::NotifyProps(uint32_t code)
{
    for (uint32_t slot = 0; slot < props.count; ++slot)
        if (props[slot])
            props[slot]->OnEvent(code);
}

void CQmEntity::StopAllProps()
{
    for (uint32_t slot = 0; slot < props.count; ++slot)
        if (props[slot] && slot != QM_PROP_MOTION_CONTROLLER)
            props[slot]->SetEnabled(false);
    if (auto* actor = Prop<CQmPropActor>(QM_PROP_ACTOR))
        actor->ClearInteractionTarget();
    if (auto* allocators = Prop<CQmPropAllocatorList>(QM_PROP_ALLOCATOR_LIST))
        allocators->DetachAll();
}

void CQmEntity::SetProp(uint32_t slot, CQmProp* prop)
{
    if (slot >= props.count || props[slot] == prop)
        return;
    delete props[slot];
    props[slot] = prop;
}

CQmPropVisualObject::~CQmPropVisualObject()
{
    for (CGmVisualObject* visual : visuals) {
        QmLayersRemove(visual);
        delete visual;
    }
    visuals.Clear();
}

uint32_t CQmPropVisualObject::AddVisual(CGmVisualObject* visual, uint32_t layer)
{
    owner->frame.AddChild(&visual->frame);
    visuals.Add(visual);
    QmLayersAdd(layer, visual);
    return visuals.count - 1;
}

void CQmPropVisualObject::SetEnabled(bool flag)
{
    const uint8_t value = flag ? 1 : 0;
    if (value == enabled)
        return;
    for (CGmVisualObject* visual : visuals)
        visual->visible = value;
    enabled = value;
}

void CQmPropVisualObject::Update()
{
    for (CGmVisualObject* visual : visuals) {
        visual->Update();
        if (visual->frame.worldDirty || visual->frame.localDirty)
            visual->frame.UpdateWorldMatrix();
    }
}
