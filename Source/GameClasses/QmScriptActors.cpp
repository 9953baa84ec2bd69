// The actor script functions.
//
// "LoadActor" and "UnloadActor" are thin calls of the actor catalogue, which
// logs what goes wrong (a name already taken, a file without "entity", a
// location actor with no current location, an unknown or main-hero name).
// "LoadActor" (file [, actor name or keep]): the file is "Actors/" + file +
// ".xml"; a text second argument names the actor, a boolean keeps it in the
// catalogue (true) or places it in the current location (false, also when
// absent). Any other second argument refuses the call.
//
// "AddActorToLocation" and "RemoveActorFromLocation" move a catalogue actor
// into and out of the current location (shown, hidden). The others work on
// the actor property of a location entity: the action a click starts, whether
// the hero walks up first, the zone, its facing, the shown name, a walk, a
// turn, an interaction, a stop; "IsWalkerActive" asks the walker.
//
// Choices:
// - An entity without an actor property gets nothing written; the call goes
//   to the debug trace ("PermitActorAction" still refreshes the cursor).
// - "SetEntityActorIaZone", "SetEntityActorRot" and "SetEntityActorName" send
//   a missing entity to the debug trace, having no log text of their own.
// - "AddActorToLocation" shows the actor only once the location took it, and
//   "RemoveActorFromLocation" takes out only the catalogue's own entity.
// - Without a current location every entity is unknown; "AddActorToLocation"
//   then places nothing (debug trace).
#include "Source/GameClasses/QmScriptActors.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeString.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmPropActor.h"
#include "Source/GameClasses/QmPropMotionController.h"
#include "Source/GameClasses/QmPropWalker.h"
#include "Source/GameClasses/QmScriptApi.h"
#include "Source/GameClasses/QmUnifiedCollector.h"

#include <cstring>

int Lua_LoadActor(lua_State* L)
{
    if (!ScriptCheckArgCount(L, "LoadActor", 1, 2))
        return 0;
    const bool keepForm = lua_gettop(L) == 2 && ScriptIsBoolean(L, 2);
    if (!ScriptIsText(L, 1) || (lua_gettop(L) == 2 && !keepForm && !ScriptIsText(L, 2))) {
        ScriptRefuseCall("LoadActor", "wrong type of argument", ScriptIsText(L, 1) ? 2 : 1);
        return 0;
    }
    const CGeString file = CGeString("Actors/") + ScriptArgText(L, 1) + ".xml";
    const CGeString actorName = lua_gettop(L) == 2 && !keepForm ? ScriptArgString(L, 2) : CGeString("");
    const bool keep = keepForm && ScriptArgBool(L, 2);
    CQmUnifiedCollector::LoadActor(file.c_str(), actorName.c_str(), keep);
    return 0;
}

int Lua_UnloadActor(lua_State* L)
{
    if (!ScriptCheckArgs(L, "UnloadActor", "t"))
        return 0;
    CQmUnifiedCollector::RemoveActor(ScriptArgText(L, 1));
    return 0;
}

namespace {

const float kScriptDegreesToRadians = 0.0174532924f;

CQmPropActor* ActorOf(CQmEntity* entity)
{
    return entity ? entity->Prop<CQmPropActor>(QM_PROP_ACTOR) : nullptr;
}

// The actor of the entity named by argument 1. A missing entity is logged
// with missingFormat (a level-2 text naming the entity) or, when that is
// null, goes to the debug trace; an entity without an actor goes to the
// debug trace. Null in both cases: nothing may be written.
CQmPropActor* FindActor(const char* function, const CGeString& name, const char* missingFormat)
{
    CQmEntity* entity = ScriptFindEntity(name.c_str());
    if (!entity) {
        if (missingFormat)
            ScriptLogLookupFailed(missingFormat, name.c_str());
        else
            GeTrace("Lua_%s: entity '%s' not found in location\n", function, name.c_str());
        return nullptr;
    }
    CQmPropActor* actor = ActorOf(entity);
    if (!actor)
        GeTrace("Lua_%s: entity '%s' is not an actor\n", function, name.c_str());
    return actor;
}

// The checks of the functions that take an entity and `numbers` numbers and
// ignore any further arguments.
bool CheckEntityAndNumbers(lua_State* L, const char* function, int numbers)
{
    const int count = lua_gettop(L);
    if (!ScriptCheckArgCount(L, function, numbers + 1, count > numbers + 1 ? count : numbers + 1))
        return false;
    for (int i = 1; i <= numbers + 1; ++i)
        if (!(i == 1 ? ScriptIsText(L, i) : ScriptIsNumber(L, i)))
            return ScriptRefuseCall(function, "wrong type of argument", i);
    return true;
}

void RequestCursorRefresh()
{
    if (g_gameProcessor)
        g_gameProcessor->cursorRefreshPending = 1;
}

} // namespace

int32_t ParseActionName(const char* name)
{
    static const struct {
        const char* name;
        int32_t code;
    } kActions[] = {
        {"DONOTHING", QM_ACTION_NONE},       {"USE", QM_ACTION_USE},   {"TALK", QM_ACTION_TALK},
        {"USE_AS_PORTAL", QM_ACTION_PORTAL}, {"LOOK", QM_ACTION_LOOK},
    };
    const char* text = name ? name : "";
    for (const auto& action : kActions)
        if (std::strcmp(text, action.name) == 0)
            return action.code;
    GeLog(2, "Lua processor: Unknown action '%s'! Ignored!\n", text);
    return QM_ACTION_NONE;
}

int Lua_AddActorToLocation(lua_State* L)
{
    if (!ScriptCheckArgs(L, "AddActorToLocation", "t"))
        return 0;
    const CGeString name = ScriptArgString(L, 1);
    CQmEntity* actor = CQmUnifiedCollector::FindActor(name.c_str());
    if (!actor) {
        ScriptLogLookupFailed("Lua_AddActorToLocation: no actor '%s' is found\n", name.c_str());
        return 0;
    }
    CQmLocation* location = ScriptCurrentLocation();
    if (!location) {
        GeTrace("Lua_AddActorToLocation: no current location for '%s'\n", name.c_str());
        return 0;
    }
    // Shown only once placed: an actor refused by the location (its name is
    // taken there) stays hidden in the catalogue.
    if (!location->AddNamedObject(name, actor, true))
        return 0;
    if (CQmProp* visual = actor->GetProp(QM_PROP_VISUAL_OBJECT))
        visual->SetEnabled(true);
    return 0;
}

int Lua_RemoveActorFromLocation(lua_State* L)
{
    if (!ScriptCheckArgs(L, "RemoveActorFromLocation", "t"))
        return 0;
    const CGeString name = ScriptArgString(L, 1);
    CQmEntity* actor = CQmUnifiedCollector::FindActor(name.c_str());
    if (!actor)
        return 0;
    if (CQmProp* visual = actor->GetProp(QM_PROP_VISUAL_OBJECT))
        visual->SetEnabled(false);
    // Only the catalogue's entity leaves: a location's own entity of that
    // name is not the actor and stays (removing it would delete it).
    CQmLocation* location = ScriptCurrentLocation();
    if (location && location->FindEntity(name.c_str()) == actor)
        location->RemoveEntity(name.c_str());
    return 0;
}

int Lua_PermitActorAction(lua_State* L)
{
    if (ScriptCheckArgs(L, "PermitActorAction", "tt")) {
        const CGeString name = ScriptArgString(L, 1);
        if (CQmPropActor* actor =
                FindActor("PermitActorAction", name, "Lua_PermitActorAction: Actor '%s' not found in location!\n"))
            actor->permittedAction = ParseActionName(ScriptArgText(L, 2));
    }
    // The cursor follows the new permission, also after a refusal.
    RequestCursorRefresh();
    return 0;
}

int Lua_EnableWalkForInteraction(lua_State* L)
{
    if (!ScriptCheckArgs(L, "EnableWalkForInteraction", "tb"))
        return 0;
    const CGeString name = ScriptArgString(L, 1);
    if (CQmPropActor* actor = FindActor("EnableWalkForInteraction", name,
                                        "Lua_EnableWalkForInteraction: Actor '%s' not found in location!\n"))
        actor->walkForInteraction = ScriptArgBool(L, 2) ? 1 : 0;
    return 0;
}

int Lua_DispatchActorToPos(lua_State* L)
{
    if (!ScriptCheckArgs(L, "DispatchActorToPos", "tnnn|b"))
        return 0;
    const CGeString name = ScriptArgString(L, 1);
    const Vec3 point = {ScriptArgFloat(L, 2), ScriptArgFloat(L, 3), ScriptArgFloat(L, 4)};
    const bool run = lua_gettop(L) == 5 && ScriptArgBool(L, 5);
    CQmPropActor* actor =
        FindActor("DispatchActorToPos", name, "Lua_DispatchActorToPos: Actor '%s' not found in location!\n");
    if (!actor)
        return 0;
    actor->owner->frame.UpdateWorldMatrix();
    actor->DispatchTo(point, Vec3{0.0f, 0.0f, 0.0f}, false, run);
    return 0;
}

int Lua_ActorSmoothRotateY(lua_State* L)
{
    if (!ScriptCheckArgs(L, "ActorSmoothRotateY", "tn"))
        return 0;
    const CGeString name = ScriptArgString(L, 1);
    CQmPropActor* actor =
        FindActor("ActorSmoothRotateY", name, "Lua_ActorSmoothRotateY: Actor '%s' not found in location!\n");
    if (!actor)
        return 0;
    actor->owner->frame.UpdateWorldMatrix();
    actor->yawTarget = ScriptArgFloat(L, 2);
    // Any facing direction starts the turn; only its being non-zero counts.
    actor->faceDir.x = 1.0f;
    actor->faceDir.y = 0.0f;
    return 0;
}

int Lua_InitiateInteraction(lua_State* L)
{
    if (!ScriptCheckArgs(L, "InitiateInteraction", "ttt"))
        return 0;
    const CGeString first = ScriptArgString(L, 1);
    const CGeString second = ScriptArgString(L, 2);
    const CGeString actionName = ScriptArgString(L, 3);
    CQmEntity* a = ScriptFindEntity(first.c_str());
    CQmEntity* b = ScriptFindEntity(second.c_str());
    if (!a || !b) {
        ScriptLogLookupFailed("Lua_InitiateInteraction: one of the actors not found in location: %s  %s!\n",
                              first.c_str(), second.c_str());
        return 0;
    }
    if (!ActorOf(a) || !ActorOf(b)) {
        ScriptLogLookupFailed("Lua_InitiateInteraction: one of the objects is not an actor: %s  %s!\n", first.c_str(),
                              second.c_str());
        return 0;
    }
    ActorOf(a)->InitiateInteraction(b, ParseActionName(actionName.c_str()), false);
    return 0;
}

int Lua_SetEntityActorIaZone(lua_State* L)
{
    if (!CheckEntityAndNumbers(L, "SetEntityActorIaZone", 4))
        return 0;
    const CGeString name = ScriptArgString(L, 1);
    const Vec3 centre = {ScriptArgFloat(L, 2), ScriptArgFloat(L, 3), ScriptArgFloat(L, 4)};
    const float size = ScriptArgFloat(L, 5);
    CQmPropActor* actor = FindActor("SetEntityActorIaZone", name, nullptr);
    if (!actor)
        return 0;
    // The centre is given in the entity's own space, as the zone keeps it.
    actor->SetIaZone(centre, size, actor->zoneFaceDir, actor->portalDir);
    return 0;
}

int Lua_SetEntityActorRot(lua_State* L)
{
    if (!ScriptCheckArgs(L, "SetEntityActorRot", "tnnn"))
        return 0;
    const CGeString name = ScriptArgString(L, 1);
    const Vec3 angles = {ScriptArgFloat(L, 2) * kScriptDegreesToRadians, ScriptArgFloat(L, 3) * kScriptDegreesToRadians,
                         ScriptArgFloat(L, 4) * kScriptDegreesToRadians};
    CQmPropActor* actor = FindActor("SetEntityActorRot", name, nullptr);
    if (!actor)
        return 0;
    // The zone's centre stays where it is in the entity's space (taking it to
    // the world and back through the inverse would only add rounding, or fail
    // on a scale of zero).
    const Vec3 face = MatrixTransformNormal(MatrixFromEulerAngles(angles, EULER_ZYX), Vec3{1.0f, 0.0f, 0.0f});
    actor->SetIaZone(actor->zoneCentre, actor->zoneRadius, face, actor->portalDir);
    return 0;
}

int Lua_SetEntityActorName(lua_State* L)
{
    if (!ScriptCheckArgs(L, "SetEntityActorName", "tt"))
        return 0;
    const CGeString name = ScriptArgString(L, 1);
    if (CQmPropActor* actor = FindActor("SetEntityActorName", name, nullptr))
        actor->displayName = CQmUnifiedCollector::GetString(ScriptArgText(L, 2));
    return 0;
}

int Lua_StopMovingActor(lua_State* L)
{
    if (!ScriptCheckArgs(L, "StopMovingActor", "t"))
        return 0;
    const CGeString name = ScriptArgString(L, 1);
    CQmEntity* entity = ScriptFindEntity(name.c_str());
    if (!entity) {
        // The straight move's text: both stopping functions share it.
        ScriptLogLookupFailed("Lua_DispatchEntityToPoint: Entity '%s' not found in location!\n", name.c_str());
        return 0;
    }
    if (auto* motion = entity->Prop<CQmPropMotionController>(QM_PROP_MOTION_CONTROLLER))
        motion->Stop();
    return 0;
}

int Lua_IsWalkerActive(lua_State* L)
{
    if (!ScriptCheckArgs(L, "IsWalkerActive", "t"))
        return 0;
    const CGeString name = ScriptArgString(L, 1);
    CQmEntity* entity = ScriptFindEntity(name.c_str());
    if (!entity) {
        ScriptLogLookupFailed("Lua_IsWalkerActive: Entity '%s' not found in location!\n", name.c_str());
        return 0;
    }
    const auto* walker = entity->Prop<CQmPropWalker>(QM_PROP_WALKER);
    if (!walker) {
        ScriptLogLookupFailed("Lua_IsWalkerActive: Entity '%s' has no walker property!\n", name.c_str());
        return 0;
    }
    return ScriptPushBool(L, walker->gait != kQmGaitStanding);
}
