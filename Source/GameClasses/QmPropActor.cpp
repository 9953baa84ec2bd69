#include "Source/GameClasses/QmPropActor.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Common/GeXml.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmInventory.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmPropAllocatorList.h"
#include "Source/GameClasses/QmPropAnimController.h"
#include "Source/GameClasses/QmPropIkProcessor.h"
#include "Source/GameClasses/QmPropMotionController.h"
#include "Source/GameClasses/QmPropWalker.h"
#include "Source/GameClasses/QmScriptProcessor.h"
#include "Source/GameClasses/QmUnifiedCollector.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include <tinyxml.h>

namespace {

const float kPi = 3.14159265f;
const float kTwoPi = 6.2831855f;

Vec3 Sub(const Vec3& a, const Vec3& b)
{
    return Vec3{a.x - b.x, a.y - b.y, a.z - b.z};
}

Vec3 WorldPosition(CQmEntity* entity)
{
    entity->frame.UpdateWorldMatrix();
    const Matrix4& w = entity->frame.world;
    return Vec3{w.At(0, 3), w.At(1, 3), w.At(2, 3)};
}

bool IsZero(const Vec3& v)
{
    return v.LengthSquared() <= CQmPropActor::kZeroVector;
}

// Into [-pi, pi] by one subtraction or addition of 2 pi.
float Wrap(float angle)
{
    if (angle > kPi)
        return angle - kTwoPi;
    if (angle < -kPi)
        return angle + kTwoPi;
    return angle;
}

CQmPropActor* ActorOf(CQmEntity* entity)
{
    return entity ? entity->Prop<CQmPropActor>(QM_PROP_ACTOR) : nullptr;
}

CQmEntity* HeroEntity()
{
    if (!g_gameProcessor || !g_gameProcessor->hero)
        return nullptr;
    return static_cast<CQmProp*>(g_gameProcessor->hero)->owner;
}

CQmLocation* Current()
{
    return g_locationManager ? g_locationManager->current : nullptr;
}

bool CallEvent(const char* suffix, const CGeValue* args, uint32_t count)
{
    char event[256];
    std::snprintf(event, sizeof(event), "%s_%s", QmCurrentLocationName(), suffix);
    return ScriptCallFunction(event, args, count, true);
}

} // namespace

void CQmPropActor::SetEnabled(bool flag)
{
    lookAtEntity = nullptr;
    lookAtMatrix = nullptr;
    CQmProp::SetEnabled(flag);
}

void CQmPropActor::OnEvent(uint32_t code)
{
    if (code == QM_EVENT_PATH_STOPPED)
        stopCount = 1;
}

void CQmPropActor::SetIaZone(const Vec3& centre, float radius, const Vec3& face, const Vec3& portal)
{
    zoneCentre = centre;
    zoneRadius = radius;
    zoneFaceDir = face;
    portalDir = portal;
}

QmIaZone CQmPropActor::GetInteractionZone() const
{
    owner->frame.UpdateWorldMatrix();
    QmIaZone zone;
    zone.centre = MatrixTransformPoint(owner->frame.world, zoneCentre);
    zone.radius = zoneRadius;
    zone.faceDir = zoneFaceDir;
    zone.portalDir = portalDir;
    return zone;
}

void CQmPropActor::ForgetEntity(const CQmEntity* entity)
{
    if (!entity)
        return;
    if (target == entity)
        ClearCurrentAction();
    if (lookAtEntity == entity) {
        lookAtEntity = nullptr;
        lookAtMatrix = nullptr;
        // With nothing left to look at the head swings back, as when a
        // script stops the looking.
        if (auto* processor = owner->Prop<CQmPropIkProcessor>(QM_PROP_IK_PROCESSOR))
            processor->Release();
    }
}

void QmActorsForgetEntity(CQmLocation& location, CQmEntity* gone)
{
    if (!gone)
        return;
    for (auto* node = location.entities.head; node; node = node->next)
        if (CQmPropActor* actor = ActorOf(node->value))
            actor->ForgetEntity(gone);
    if (CQmPropActor* own = ActorOf(gone)) {
        own->ClearCurrentAction();
        own->lookAtEntity = nullptr;
        own->lookAtMatrix = nullptr;
    }
}

bool CQmPropActor::DispatchTo(const Vec3& point, const Vec3& facing, bool onlyAim, bool run)
{
    auto* motion = owner->Prop<CQmPropMotionController>(QM_PROP_MOTION_CONTROLLER);
    if (!motion || !enabled)
        return false;
    arrived = 0;
    dispatchTarget = point;
    faceDir = facing;
    if (!IsZero(faceDir))
        faceDir.Normalize();
    if (Sub(point, owner->frame.position).Length() < kMinDispatch)
        return false;
    if (auto* walker = owner->Prop<CQmPropWalker>(QM_PROP_WALKER))
        walker->requestedGait = run ? kQmGaitRun : kQmGaitWalk;
    if (onlyAim)
        return true;
    stopCount = 0;
    return motion->MoveTo(point);
}

bool CQmPropActor::WalksUpTo(const CQmPropActor* other) const
{
    return other && other->walkForInteraction && other != this;
}

void CQmPropActor::Approach(CQmEntity* entity, CQmPropActor* other, bool run)
{
    if (WalksUpTo(other) && entity != owner) {
        const QmIaZone zone = other->GetInteractionZone();
        const Vec3 at = WorldPosition(owner);
        const float dx = at.x - zone.centre.x, dz = at.z - zone.centre.z;
        const bool inside = std::sqrt(dx * dx + dz * dz) <= zone.radius;
        // A refused walk counts as one that stopped at once: an actor left
        // outside the zone gives up instead of waiting for a stop that never
        // comes.
        if (!DispatchTo(zone.centre, Vec3{0.0f, 0.0f, 0.0f}, inside, run) && !inside)
            stopCount = 1;
    } else {
        Perform();
    }
}

void CQmPropActor::InitiateInteraction(CQmEntity* entity, int32_t newAction, bool run)
{
    if (!entity || (entity == owner && newAction == QM_ACTION_NONE))
        return;
    target = entity;
    action = newAction;
    CQmPropActor* other = ActorOf(entity);

    if (action == QM_ACTION_USE || action == QM_ACTION_TALK || action == QM_ACTION_INVITEM ||
        action == QM_ACTION_LOOK) {
        auto* allocators = entity->Prop<CQmPropAllocatorList>(QM_PROP_ALLOCATOR_LIST);
        const char* name = entity->name.c_str();
        if (allocators && allocators->Find("head"))
            SetLookAtAllocator(name, "head");
        else if (action == QM_ACTION_LOOK && !allocators)
            SetLookAtAllocator(name, "_entity_");
        else
            SetLookAtAllocator("", "");
    }

    if (g_inventory && g_inventory->HasSelection()) {
        itemName = g_inventory->SelectedItemName();
        const bool passed = TestUseItem(entity);
        // The test's scripts may have removed the target (every actor forgot
        // it then) or started another interaction: entity is not ours to use.
        if (target != entity)
            return;
        if (!passed) {
            action = QM_ACTION_NONE;
            target = nullptr;
            return;
        }
        action = QM_ACTION_INVITEM;
        Approach(entity, other, run);
        g_inventory->Unselect();
        return;
    }
    Approach(entity, other, run);
}

bool CQmPropActor::TestUseItem(CQmEntity* entity)
{
    const CGeValue args[2] = {CGeValue(entity->name), CGeValue(itemName)};
    if (entity == HeroEntity()) {
        ScriptCallFunction("global_use_invitem_on_hero", args, 2, true);
        const char* answer = ScriptTakeReturnValue();
        if (std::strcmp(answer ? answer : "", "false") != 0 || target != entity)
            return false;
    }
    CallEvent("test_use_invitem", args, 2);
    const char* answer = ScriptTakeReturnValue();
    return answer && std::strcmp(answer, "true") == 0;
}

bool CQmPropActor::Perform()
{
    if (target && WalksUpTo(ActorOf(target)) && TurnStep())
        return false;
    faceDir = Vec3{0.0f, 0.0f, 0.0f};
    if (!target)
        return true;
    // The interaction ends before its event runs: an interaction the event
    // starts on this actor is its own and stays.
    const CGeValue args[2] = {CGeValue(target->name), CGeValue(itemName)};
    target = nullptr;
    switch (action) {
    case QM_ACTION_USE:
    case QM_ACTION_PORTAL:
    case QM_ACTION_LOOK: CallEvent("use_object", args, 1); break;
    case QM_ACTION_TALK: CallEvent("dlg_initiate", args, 1); break;
    case QM_ACTION_INVITEM: CallEvent("use_invitem", args, 2); break;
    default: break;
    }
    return true;
}

float CQmPropActor::YawOf(const Vec3& direction)
{
    if (IsZero(direction))
        return 0.0f;
    return QmHeadingAngle(direction);
}

bool CQmPropActor::TurnStep()
{
    if (IsZero(faceDir))
        return false;
    CGeFrame3D& frame = owner->frame;
    Vec3 angles = frame.angles;
    const float y = Wrap(angles.y);
    const float diff = Wrap(yawTarget - y);
    const float step = (g_geTimer ? g_geTimer->delta : 0.0f) * kTurnRate;
    if (std::fabs(diff) <= kSnap * step) {
        angles.y = yawTarget;
        frame.SetAngles(angles);
        return false;
    }
    angles.y = diff >= 0.0f ? y + step : y - step;
    frame.SetAngles(angles);
    frame.UpdateWorldMatrix();
    return true;
}

void CQmPropActor::LookAtStep()
{
    if (!lookAtMatrix)
        return;
    const Vec3 point = {lookAtMatrix->At(0, 3), lookAtMatrix->At(1, 3), lookAtMatrix->At(2, 3)};
    bool visible = false;
    if (lookAtEntity) {
        for (uint32_t slot : {QM_PROP_VISUAL_OBJECT, QM_PROP_ALLOCATOR_LIST, QM_PROP_ACTOR}) {
            if (const CQmProp* prop = lookAtEntity->GetProp(slot)) {
                visible = prop->enabled != 0;
                break;
            }
        }
    }
    auto* processor = owner->Prop<CQmPropIkProcessor>(QM_PROP_IK_PROCESSOR);
    if (!processor || !processor->enabled)
        return;
    Vec3 v = Sub(point, owner->frame.position);
    const float length = v.Length();
    if (length != 0.0f)
        v = Vec3{v.x / length, v.y / length, v.z / length};
    owner->frame.UpdateWorldMatrix();
    const Vec3 forward = MatrixTransformNormal(owner->frame.world, Vec3{1.0f, 0.0f, 0.0f});
    const CQmPropActor* other = ActorOf(lookAtEntity);
    const float limit = other ? other->maxLookAtDist : maxLookAtDist;
    if (Vec3::Dot(forward, v) > 0.0f && length <= limit && visible)
        processor->LookAt(point);
    else if (!processor->released)
        processor->Release();
}

void CQmPropActor::Update()
{
    LookAtStep();
    if (!target) {
        if (!IsZero(faceDir) && !TurnStep())
            faceDir = Vec3{0.0f, 0.0f, 0.0f};
        return;
    }
    CQmPropActor* other = ActorOf(target);
    const Vec3 at = WorldPosition(owner);
    const QmIaZone zone = other ? other->GetInteractionZone() : QmIaZone();
    const float dx = at.x - zone.centre.x, dz = at.z - zone.centre.z;
    const float d = std::sqrt(dx * dx + dz * dz);
    if (other && d > zone.radius && other->walkForInteraction) {
        if (stopCount == 0)
            return;
        if (stopCount < 3) {
            ++stopCount;
            return;
        }
        target = nullptr;
        return;
    }
    if (other && !IsZero(other->zoneFaceDir))
        faceDir = other->zoneFaceDir;
    else
        faceDir = Sub(WorldPosition(target), at);
    faceDir.y = 0.0f;
    if (!IsZero(faceDir))
        faceDir.Normalize();
    if (!arrived) {
        auto* motion = owner->Prop<CQmPropMotionController>(QM_PROP_MOTION_CONTROLLER);
        if (motion && !motion->stopped)
            motion->Stop();
        yawTarget = YawOf(faceDir);
    }
    arrived = 1;
    Perform();
}

void CQmPropActor::SetLookAtAllocator(const char* entityName, const char* allocatorName)
{
    auto* processor = owner->Prop<CQmPropIkProcessor>(QM_PROP_IK_PROCESSOR);
    if (!processor)
        return;
    processor->SetEnabled(true);
    if (!entityName || !*entityName || !allocatorName || !*allocatorName) {
        lookAtMatrix = nullptr;
        processor->Release();
        return;
    }
    CQmLocation* location = Current();
    CQmEntity* entity = location ? location->FindEntity(entityName) : nullptr;
    if (!entity) {
        GeLog(2, "@actor@SetLookAtAllocator: no entity found: %s\n", entityName);
        return;
    }
    lookAtEntity = entity;
    if (std::strcmp(allocatorName, "_entity_") == 0) {
        lookAtMatrix = &entity->frame.world;
        return;
    }
    auto* allocators = entity->Prop<CQmPropAllocatorList>(QM_PROP_ALLOCATOR_LIST);
    if (!allocators || !allocators->enabled) {
        lookAtMatrix = nullptr;
        processor->Release();
        return;
    }
    const CQmAllocator* allocator = allocators->Find(allocatorName);
    lookAtMatrix = allocator ? &allocator->world : nullptr;
    if (!allocator)
        GeLog(2, "CQmPropActor::SetLookAtAllocator: no allocator named '%s' found in iaActor '%s'!\n", allocatorName,
              entityName);
}

void LoadProperty_Actor(CQmEntity& entity, const TiXmlElement* element)
{
    XmlHandle handle;
    handle.reportMissing = 0;
    handle.element = const_cast<TiXmlElement*>(element);
    auto* actor = new CQmPropActor(&entity);
    actor->SetEnabled(true);
    entity.SetProp(QM_PROP_ACTOR, actor);

    float zone[4] = {};
    if (const char* text = XmlGetText("ia_zone", handle)) {
        CGeArray<float> values;
        XmlParseFloatList(text, values);
        for (uint32_t i = 0; i < 4; ++i)
            zone[i] = i < values.Count() ? values[i] : 0.0f;
    }
    const float distance = XmlGetFloat("max_lookat_dist", handle);
    actor->maxLookAtDist = distance != 0.0f ? distance : 1500.0f;

    const Vec4 portal = XmlGetVector3("portal_dir", handle);
    Vec3 face = {0.0f, 0.0f, 0.0f};
    if (XmlHasAttribute("dir", handle)) {
        const Vec4 v = XmlGetVector3("dir", handle);
        face = Vec3{v.x, v.y, v.z};
    } else if (XmlHasAttribute("rot", handle)) {
        const Vec4 d = XmlGetVector3("rot", handle);
        const float k = 0.017453292f;
        const Matrix4 rotation = MatrixFromEulerAngles(Vec3{d.x * k, d.y * k, d.z * k}, EULER_ZYX);
        face = MatrixTransformNormal(rotation, Vec3{1.0f, 0.0f, 0.0f});
    }
    actor->SetIaZone(Vec3{zone[0], zone[1], zone[2]}, zone[3], face, Vec3{portal.x, portal.y, portal.z});
    if (const char* key = XmlGetText("name", handle))
        actor->displayName = CQmUnifiedCollector::GetString(key);
    if (XmlHasAttribute("head_size", handle))
        actor->headSize = XmlGetFloat("head_size", handle);
}
