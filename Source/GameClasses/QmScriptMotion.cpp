// Moving and animating entities from the scripts.
//
// - Curve ways: "MoveEntityOnCurve" starts the entity's curve motion on a
//   named curve way of the location (it answers whether the entity has a curve
//   motion at all), "StopEntityOnCurve" stops it and answers the curve time,
//   "SetCurveSpeedMult" sets its speed. A missing entity or property goes to
//   the debug trace only.
// - Straight moves: "DispatchEntityToPoint" sends the entity's linear motion
//   toward a point (facing its way unless a sixth argument false says not),
//   "StopMovingEntity" halts it.
// - "StartPSysEffect" starts (optionally developed by some update steps) or
//   stops a particle effect among the entity's visuals.
//
// Choices:
// - "DispatchEntityToPoint" on an entity without a linear motion changes
//   nothing (debug trace).
// - A negative count of warm-up steps runs none.
#include "Source/GameClasses/QmScriptMotion.h"

#include "Engine/Anim/GcPsysEffect.h"
#include "Engine/Core/Common/GeLog.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmPropCurveMotion.h"
#include "Source/GameClasses/QmScriptApi.h"

namespace {

CQmPropCurveMotion* FindCurveMotion(const char* function, const char* name)
{
    CQmEntity* entity = ScriptFindEntity(name);
    auto* motion = entity ? entity->Prop<CQmPropCurveMotion>(QM_PROP_CURVE_MOTION) : nullptr;
    if (!motion)
        GeTrace("Lua_%s: entity '%s' or its curve motion not found\n", function, name);
    return motion;
}

} // namespace

int Lua_MoveEntityOnCurve(lua_State* L)
{
    if (!ScriptCheckArgs(L, "MoveEntityOnCurve", "tt|nn"))
        return ScriptPushBool(L, false);
    const int count = lua_gettop(L);
    const CGeString entityName = ScriptArgString(L, 1);
    const CGeString curveName = ScriptArgString(L, 2);
    const float startTime = count >= 3 ? ScriptArgFloat(L, 3) : 0.0f;
    const float speed = count >= 4 ? ScriptArgFloat(L, 4) : 1.0f;
    CQmPropCurveMotion* motion = FindCurveMotion("MoveEntityOnCurve", entityName.c_str());
    if (!motion)
        return ScriptPushBool(L, false);
    motion->Start(curveName.c_str());
    motion->Begin(startTime, speed);
    return ScriptPushBool(L, true);
}

int Lua_StopEntityOnCurve(lua_State* L)
{
    if (!ScriptCheckArgs(L, "StopEntityOnCurve", "t"))
        return 0;
    CQmPropCurveMotion* motion = FindCurveMotion("StopEntityOnCurve", ScriptArgText(L, 1));
    if (!motion)
        return 0;
    motion->running = 0;
    return ScriptPushNumber(L, motion->time);
}

int Lua_SetCurveSpeedMult(lua_State* L)
{
    if (!ScriptCheckArgs(L, "SetCurveSpeedMult", "ttn"))
        return 0;
    const float speed = ScriptArgFloat(L, 3);
    if (CQmPropCurveMotion* motion = FindCurveMotion("SetCurveSpeedMult", ScriptArgText(L, 1)))
        motion->speed = speed;
    return 0;
}

int Lua_DispatchEntityToPoint(lua_State* L)
{
    const int count = lua_gettop(L);
    if (!ScriptCheckArgCount(L, "DispatchEntityToPoint", 5, count > 5 ? count : 5))
        return 0;
    for (int i = 1; i <= 5; ++i) {
        if (!(i == 1 ? ScriptIsText(L, i) : ScriptIsNumber(L, i))) {
            ScriptRefuseCall("DispatchEntityToPoint", "wrong type of argument", i);
            return 0;
        }
    }
    const CGeString entityName = ScriptArgString(L, 1);
    const Vec3 point = {ScriptArgFloat(L, 2), ScriptArgFloat(L, 3), ScriptArgFloat(L, 4)};
    const float speed = ScriptArgFloat(L, 5);
    uint8_t faceTravel = 1;
    if (count == 6 && ScriptIsBoolean(L, 6))
        faceTravel = ScriptArgBool(L, 6) ? 1 : 0;
    else if (count >= 6)
        GeTrace("Lua_DispatchEntityToPoint: the sixth argument is not a lone boolean, the entity turns\n");

    CQmEntity* entity = ScriptFindEntity(entityName.c_str());
    if (!entity) {
        ScriptLogLookupFailed("Lua_DispatchEntityToPoint: Entity '%s' not found in location!\n", entityName.c_str());
        return 0;
    }
    auto* line = entity->Prop<CQmPropLinearMotionController>(QM_PROP_LINEAR_MOTION);
    if (!line) {
        GeTrace("Lua_DispatchEntityToPoint: entity '%s' has no linear motion\n", entityName.c_str());
        return 0;
    }
    entity->frame.UpdateWorldMatrix();
    line->speed = speed;
    line->DispatchToPoint(point);
    line->faceTravel = faceTravel;
    line->SetEnabled(true);
    return 0;
}

int Lua_StopMovingEntity(lua_State* L)
{
    if (lua_gettop(L) != 1 || !ScriptIsText(L, 1))
        return 0;
    const CGeString entityName = ScriptArgString(L, 1);
    CQmEntity* entity = ScriptFindEntity(entityName.c_str());
    if (!entity) {
        ScriptLogLookupFailed("Lua_DispatchEntityToPoint: Entity '%s' not found in location!\n", entityName.c_str());
        return 0;
    }
    if (auto* line = entity->Prop<CQmPropLinearMotionController>(QM_PROP_LINEAR_MOTION))
        line->Halt();
    return 0;
}

int Lua_StartPSysEffect(lua_State* L)
{
    if (!ScriptCheckArgs(L, "StartPSysEffect", "tnb|n"))
        return 0;
    const CGeString entityName = ScriptArgString(L, 1);
    const int32_t index = ScriptArgInt(L, 2);
    const bool on = ScriptArgBool(L, 3);
    const int32_t steps = lua_gettop(L) == 4 ? ScriptArgInt(L, 4) : 0;
    CQmEntity* entity = ScriptFindEntity(entityName.c_str());
    if (!entity)
        return 0;
    auto* visuals = entity->Prop<CQmPropVisualObject>(QM_PROP_VISUAL_OBJECT);
    if (!visuals) {
        ScriptLogLookupFailed("Lua_StartPSysEffect: no property visual_object in entity %s!\n", entityName.c_str());
        return 0;
    }
    CGmVisualObject* visual = uint32_t(index) < visuals->visuals.Count() ? visuals->visuals[uint32_t(index)] : nullptr;
    auto* effect = visual && visual->GetTypeId() == kGcPsysEffectType ? dynamic_cast<CGcPsysEffect*>(visual) : nullptr;
    if (!effect) {
        ScriptLogLookupFailed("Lua_StartPSysEffect: no visual object in entity %s or type mismatch!\n",
                              entityName.c_str());
        return 0;
    }
    if (!on) {
        effect->Stop();
        return 0;
    }
    effect->Start();
    for (int32_t i = 0; i < steps; ++i)
        effect->Update();
    return 0;
}
