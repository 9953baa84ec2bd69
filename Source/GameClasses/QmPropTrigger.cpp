#include "Source/GameClasses/QmPropTrigger.h"

#include "Engine/Core/Common/CiDispatcher.h"
#include "Engine/Core/Common/GeValue.h"
#include "Engine/Physics/GeCollider.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmPropCollider.h"
#include "Source/GameClasses/QmScriptProcessor.h"

#include <cstdio>
#include <vector>

namespace {

bool InLocation(const CQmLocation& location, const CQmEntity* entity)
{
    return location.entities.Find(location.entities.head, nullptr, const_cast<CQmEntity*>(entity)) != nullptr;
}

// Fires "<location><suffix>" (trigger, entity).
void FireZoneEvent(const CQmLocation& location, const char* suffix, const CQmEntity& trigger, const CQmEntity& entity)
{
    char event[256];
    std::snprintf(event, sizeof(event), "%s%s", location.name.c_str(), suffix);
    CGeValue args[2] = {CGeValue(trigger.name), CGeValue(entity.name)};
    ScriptCallFunction(event, args, 2, true);
}

} // namespace

CQmPropTrigger::~CQmPropTrigger()
{
    enteredNow.Destroy();
    leftNow.Destroy();
    inside.Destroy();
}

void CQmPropTrigger::AttachDispatcher(CCiDispatcher* target)
{
    if (dispatcher) {
        dispatcher->PurgeClient(this);
        dispatcher->UnregisterClient(this);
    }
    dispatcher = target;
    if (dispatcher)
        dispatcher->RegisterClient(this, nullptr, CCiClientRow::kAnyType);
}

bool CQmPropTrigger::IsInside(const CQmEntity* entity) const
{
    return inside.Find(inside.head, nullptr, const_cast<CQmEntity*>(entity)) != nullptr;
}

void CQmPropTrigger::Update()
{
    enteredNow.Destroy();
    leftNow.Destroy();
    auto* collider = owner->Prop<CQmPropCollider>(QM_PROP_COLLIDER);
    CQmLocation* location = g_locationManager ? g_locationManager->current : nullptr;
    if (!collider || !collider->shape || !location)
        return;

    // Entities gone from the location are forgotten silently.
    for (auto* node = inside.head; node;) {
        auto* next = node->next;
        if (!InLocation(*location, node->value))
            inside.Remove(node);
        node = next;
    }
    if (collider->shape->GetClass() != COLLIDER_AABB)
        return;

    std::vector<CQmEntity*> entities;
    entities.reserve(location->entities.count);
    for (auto* node = location->entities.head; node; node = node->next)
        entities.push_back(node->value);

    CQmEntity* const self = owner;
    for (CQmEntity* entity : entities) {
        // A script event of this pass may have removed it (or the trigger).
        if (!InLocation(*location, entity))
            continue;
        auto* insideNode = inside.Find(inside.head, nullptr, entity);
        CGeColliderAabb bounds;
        ColliderGetAabb(collider->shape, bounds);
        const Matrix4& world = entity->frame.world;
        const float p[3] = {world.At(0, 3), world.At(1, 3), world.At(2, 3)};
        const bool now = bounds.min.x <= p[0] && p[0] <= bounds.max.x && bounds.min.y <= p[1] && p[1] <= bounds.max.y &&
                         bounds.min.z <= p[2] && p[2] <= bounds.max.z;
        if (now && !insideNode) {
            inside.PushBack(entity);
            enteredNow.PushBack(entity);
            PostMessage(QM_MESSAGE_TRIGGER_ENTER);
            FireZoneEvent(*location, "_trigger_enter", *self, *entity);
        } else if (!now && insideNode) {
            inside.Remove(insideNode);
            leftNow.PushBack(entity);
            PostMessage(QM_MESSAGE_TRIGGER_LEAVE);
            FireZoneEvent(*location, "_trigger_leave", *self, *entity);
        } else {
            continue;
        }
        if (!InLocation(*location, self))
            return; // the script took the trigger away with its entity
    }
}

void LoadProperty_Trigger(CQmEntity& entity, const TiXmlElement*)
{
    auto* trigger = new CQmPropTrigger(&entity);
    trigger->AttachDispatcher(g_dispatcher);
    entity.SetProp(QM_PROP_TRIGGER, trigger);
}
