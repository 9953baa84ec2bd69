// "SetColliderAABB", "SetColliderSphere" and "SetColliderBox": each changes
// the entity's collider only when its shape is of the function's kind (a
// script never creates or replaces a shape), then poses it. The box and the
// sphere keep their kind's rule for the enabled state: the box leaves it as
// it was, the others switch the collider on.
#include "Source/GameClasses/QmScriptColliders.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Physics/GeCollider.h"
#include "Source/GameClasses/QmPropCollider.h"
#include "Source/GameClasses/QmScriptApi.h"

namespace {

const float kScriptDegreesToRadians = 0.0174532924f;

// The collider of the named entity when its shape has the class; logs a
// missing entity and traces the rest.
CQmPropCollider* FindCollider(lua_State* L, const char* function, uint32_t shapeClass)
{
    const char* name = ScriptArgText(L, 1);
    CQmEntity* entity = ScriptFindEntity(name);
    if (!entity) {
        ScriptLogLookupFailed("Lua_%s: entity '%s' not found in location!\n", function, name);
        return nullptr;
    }
    auto* collider = entity->Prop<CQmPropCollider>(QM_PROP_COLLIDER);
    if (!collider || !collider->shape || collider->shape->GetClass() != shapeClass) {
        GeTrace("Lua_%s: entity '%s' has no collider of that shape", function, name);
        return nullptr;
    }
    return collider;
}

Vec3 ArgVec3(lua_State* L, int first)
{
    return Vec3{ScriptArgFloat(L, first), ScriptArgFloat(L, first + 1), ScriptArgFloat(L, first + 2)};
}

Matrix4 Translation(const Vec3& position)
{
    Matrix4 m = Matrix4::Identity();
    m.At(0, 3) = position.x;
    m.At(1, 3) = position.y;
    m.At(2, 3) = position.z;
    return m;
}

} // namespace

int Lua_SetColliderAABB(lua_State* L)
{
    if (!ScriptCheckArgs(L, "SetColliderAABB", "tnnnnnn"))
        return 0;
    CQmPropCollider* collider = FindCollider(L, "SetColliderAABB", COLLIDER_AABB);
    if (!collider)
        return 0;
    auto* box = static_cast<CGeColliderAabb*>(collider->shape);
    box->SetCorners(ArgVec3(L, 2), ArgVec3(L, 5));
    collider->local = Translation(box->GetCenter());
    collider->Update();
    collider->SetEnabled(true);
    return 0;
}

int Lua_SetColliderSphere(lua_State* L)
{
    if (!ScriptCheckArgs(L, "SetColliderSphere", "tnnnn"))
        return 0;
    CQmPropCollider* collider = FindCollider(L, "SetColliderSphere", COLLIDER_SPHERE);
    if (!collider)
        return 0;
    auto* sphere = static_cast<CGeColliderSphere*>(collider->shape);
    sphere->centre = ArgVec3(L, 2);
    sphere->radius = ScriptArgFloat(L, 5);
    collider->local = Translation(sphere->centre);
    collider->Update();
    collider->SetEnabled(true);
    return 0;
}

int Lua_SetColliderBox(lua_State* L)
{
    if (!ScriptCheckArgs(L, "SetColliderBox", "tnnnnnnnnn"))
        return 0;
    CQmPropCollider* collider = FindCollider(L, "SetColliderBox", COLLIDER_BOX);
    if (!collider)
        return 0;
    const Vec3 angles = ArgVec3(L, 8);
    Matrix4 pose = MatrixFromEulerAngles(Vec3{angles.x * kScriptDegreesToRadians, angles.y * kScriptDegreesToRadians,
                                              angles.z * kScriptDegreesToRadians},
                                         EULER_ZYX);
    const Vec3 position = ArgVec3(L, 2);
    pose.At(0, 3) += position.x;
    pose.At(1, 3) += position.y;
    pose.At(2, 3) += position.z;
    collider->local = pose;
    static_cast<CGeColliderBox*>(collider->shape)->SetSizeAndRotation(ArgVec3(L, 5), pose);
    collider->Update();
    return 0;
}
