// "SetEntityPosition", "GetEntityPosition", "GetEntityDirection",
// "GetEntityPositionFromMatrix", "SetEntityRotation", "SetEntityScale",
// "SetCameraIndex", "SetCameraDeterminantEntity", "EnableEntityProperty",
// "AttachEntity" and "SetLookAtAllocator".
//
// Entities are found by name in the current location; without one every
// name is unknown, so the entity functions log and push their defaults. The
// readers of the world matrix answer what the last update computed: a script
// that turns an entity and reads its direction in the same call sees the old
// direction until the next frame, as the scripts were written against.
//
// Choices: "SetCameraIndex" with an index outside the camera groups changes
// nothing (the fixed-camera flag stays as it was), since the log says the
// call is ignored. "AttachEntity" naming only a target point frees that point
// on both sides: it leaves the point it hung on and lets go of what hangs on
// it, so a script may name either the carried thing or the carrier.
#include "Source/GameClasses/QmScriptEntities.h"

#include "Engine/Core/Common/GeLog.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmPropActor.h"
#include "Source/GameClasses/QmPropAllocatorList.h"
#include "Source/GameClasses/QmScriptApi.h"

namespace {

const float kScriptDegreesToRadians = 0.0174532924f;

// The named entity (argument 1), or null after the function's log line.
CQmEntity* FindOrLog(lua_State* L, const char* function)
{
    const char* name = ScriptArgText(L, 1);
    CQmEntity* entity = ScriptFindEntity(name);
    if (!entity)
        ScriptLogLookupFailed("Lua_%s: Actor '%s' not found in location!\n", function, name);
    return entity;
}

Vec3 ArgVec3(lua_State* L, int first)
{
    return Vec3{ScriptArgFloat(L, first), ScriptArgFloat(L, first + 1), ScriptArgFloat(L, first + 2)};
}

// The three readers: a column of the world matrix or the position field.
enum class Reading { Position, Direction, Translation };

int ReadEntity(lua_State* L, const char* function, Reading reading)
{
    if (!ScriptCheckArgs(L, function, "t"))
        return ScriptPushVector(L, 0.0f, 0.0f, 0.0f);
    const CQmEntity* entity = FindOrLog(L, function);
    if (!entity)
        return ScriptPushVector(L, 0.0f, 0.0f, 0.0f);
    const CGeFrame3D& frame = entity->frame;
    switch (reading) {
    case Reading::Position: return ScriptPushVector(L, frame.position.x, frame.position.y, frame.position.z);
    case Reading::Direction:
        return ScriptPushVector(L, frame.world.At(0, 2), frame.world.At(1, 2), frame.world.At(2, 2));
    case Reading::Translation: break;
    }
    return ScriptPushVector(L, frame.world.At(0, 3), frame.world.At(1, 3), frame.world.At(2, 3));
}

// The attachment point of that name on entity; null without either.
CQmAllocator* FindPoint(const CQmEntity* entity, const char* point)
{
    const auto* list = entity ? entity->Prop<CQmPropAllocatorList>(QM_PROP_ALLOCATOR_LIST) : nullptr;
    return list ? list->Find(point) : nullptr;
}

} // namespace

int Lua_SetEntityPosition(lua_State* L)
{
    if (!ScriptCheckArgs(L, "SetEntityPosition", "tnnn"))
        return 0;
    if (CQmEntity* entity = FindOrLog(L, "SetEntityPosition"))
        entity->frame.SetPosition(ArgVec3(L, 2));
    return 0;
}

int Lua_GetEntityPosition(lua_State* L)
{
    return ReadEntity(L, "GetEntityPosition", Reading::Position);
}

int Lua_GetEntityDirection(lua_State* L)
{
    return ReadEntity(L, "GetEntityDirection", Reading::Direction);
}

int Lua_GetEntityPositionFromMatrix(lua_State* L)
{
    return ReadEntity(L, "GetEntityPositionFromMatrix", Reading::Translation);
}

int Lua_SetEntityRotation(lua_State* L)
{
    if (!ScriptCheckArgs(L, "SetEntityRotation", "tnnn"))
        return 0;
    if (CQmEntity* entity = FindOrLog(L, "SetEntityRotation")) {
        const Vec3 degrees = ArgVec3(L, 2);
        entity->frame.SetAngles(Vec3{degrees.x * kScriptDegreesToRadians, degrees.y * kScriptDegreesToRadians,
                                     degrees.z * kScriptDegreesToRadians});
    }
    return 0;
}

int Lua_SetEntityScale(lua_State* L)
{
    if (!ScriptCheckArgs(L, "SetEntityScale", "tn"))
        return 0;
    if (CQmEntity* entity = FindOrLog(L, "SetEntityScale")) {
        const float scale = ScriptArgFloat(L, 2);
        entity->frame.SetScale(Vec3{scale, scale, scale});
    }
    return 0;
}

int Lua_SetCameraIndex(lua_State* L)
{
    if (!ScriptCheckArgs(L, "SetCameraIndex", "n"))
        return 0;
    if (CQmLocation* location = ScriptCurrentLocation())
        location->SetActiveCamera(ScriptArgInt(L, 1));
    return 0;
}

int Lua_SetCameraDeterminantEntity(lua_State* L)
{
    if (!ScriptCheckArgs(L, "SetCameraDeterminantEntity", "t"))
        return 0;
    CQmLocation* location = ScriptCurrentLocation();
    if (!location)
        return 0;
    location->cameraDeterminant = location->FindEntity(ScriptArgText(L, 1));
    location->cameraFixed = 0;
    return 0;
}

int Lua_EnableEntityProperty(lua_State* L)
{
    if (ScriptCheckArgs(L, "EnableEntityProperty", "tnb")) {
        const char* name = ScriptArgText(L, 1);
        const int32_t index = ScriptArgInt(L, 2);
        const bool enable = ScriptArgBool(L, 3);
        CQmEntity* entity = ScriptFindEntity(name);
        if (!entity) {
            ScriptLogLookupFailed("Lua_EnableEntityProperty: entity '%s' not found in location!\n", name);
        } else if (index == -1) {
            for (uint32_t slot = 0; slot < kQmPropSlots; ++slot)
                if (CQmProp* prop = entity->GetProp(slot); prop && slot != QM_PROP_MOTION_CONTROLLER)
                    prop->SetEnabled(enable);
        } else if (index >= 0 && index < int32_t(kQmPropSlots)) {
            if (CQmProp* prop = entity->GetProp(uint32_t(index)))
                prop->SetEnabled(enable);
        } else {
            GeLog(2, "Lua_EnableEntityProperty: illegal property index: %i", (int)index);
        }
    }
    // The cursor follows what the properties now allow, also after a refusal.
    if (g_gameProcessor)
        g_gameProcessor->cursorRefreshPending = 1;
    return 0;
}

int Lua_AttachEntity(lua_State* L)
{
    if (!ScriptCheckArgs(L, "AttachEntity", "tttt"))
        return ScriptPushBool(L, false);
    const CQmEntity* entity = ScriptFindEntity(ScriptArgText(L, 1));
    const CQmEntity* carrier = ScriptFindEntity(ScriptArgText(L, 3));
    if (!carrier)
        return ScriptPushBool(L, false);
    CQmAllocator* point = FindPoint(entity, ScriptArgText(L, 2));
    CQmAllocator* carrierPoint = FindPoint(carrier, ScriptArgText(L, 4));
    if (point && carrierPoint) {
        point->UpdateAttached();
        point->AttachEntity(carrierPoint);
        carrierPoint->UpdateAttached();
        return ScriptPushBool(L, true);
    }
    if (carrierPoint) {
        carrierPoint->AttachEntity(nullptr);
        carrierPoint->ReleaseChildren();
        return ScriptPushBool(L, true);
    }
    GeTrace("Lua_AttachEntity: no point '%s' on '%s' to attach '%s' of '%s' to\n", ScriptArgText(L, 4),
            ScriptArgText(L, 3), ScriptArgText(L, 2), ScriptArgText(L, 1));
    return ScriptPushBool(L, false);
}

int Lua_SetLookAtAllocator(lua_State* L)
{
    if (!ScriptCheckArgs(L, "SetLookAtAllocator", "ttt"))
        return 0;
    const char* name = ScriptArgText(L, 1);
    CQmEntity* entity = ScriptFindEntity(name);
    if (!entity) {
        ScriptLogLookupFailed("Lua_SetLookAtAllocator: entity '%s' not found in location!\n", name);
        return 0;
    }
    if (auto* actor = entity->Prop<CQmPropActor>(QM_PROP_ACTOR))
        actor->SetLookAtAllocator(ScriptArgText(L, 2), ScriptArgText(L, 3));
    return 0;
}
