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
// - Joint-animation tracks, found by name in the track catalogue under the
//   entity: "StartObjectAnim" plays one at once (queued instead while the
//   entity walks), "StartObjectMovingAnim" plays one that moves the entity by
//   its root (refused while the entity walks), "PushObjectAnim" queues one,
//   "IsAseqPlaying" asks whether one is bound to a channel, "SetWalkerSlotAnim"
//   and "SetDefaultAnim" set a gait track and the standing track. The
//   defaults: blend 0.3 to start, 0.5 to queue, channel -1 (all channels
//   cleared, channel 0 played), start frame 0.
//
// Choices:
// - "DispatchEntityToPoint" on an entity without a linear motion changes
//   nothing (debug trace).
// - A negative count of warm-up steps runs none.
// - A start frame on a track without frames gives frame 0.
// - "SetWalkerSlotAnim" outside the walker's five gait slots writes nothing.
// - The blend command -1 (hold the first frame) applies the pose at time 0
//   without reporting an end of play: the track was only just started.
// - An animation controller without a skeleton counts as missing for the
//   functions that start or ask about tracks.
#include "Source/GameClasses/QmScriptMotion.h"

#include "Engine/Anim/GcPsysEffect.h"
#include "Engine/Anim/GeJointsKeySequence.h"
#include "Engine/Anim/GmMeshResource.h"
#include "Engine/Core/Common/GeLog.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmPropAnimController.h"
#include "Source/GameClasses/QmPropCurveMotion.h"
#include "Source/GameClasses/QmPropWalker.h"
#include "Source/GameClasses/QmScriptApi.h"
#include "Source/GameClasses/QmUnifiedCollector.h"

#include <cmath>

namespace {

CQmPropCurveMotion* FindCurveMotion(const char* function, const char* name)
{
    CQmEntity* entity = ScriptFindEntity(name);
    auto* motion = entity ? entity->Prop<CQmPropCurveMotion>(QM_PROP_CURVE_MOTION) : nullptr;
    if (!motion)
        GeTrace("Lua_%s: entity '%s' or its curve motion not found\n", function, name);
    return motion;
}

CGeJointsKeySequence* FindTrack(CQmEntity* entity, const char* name)
{
    return CQmUnifiedCollector::GetJointsAnimTrack(reinterpret_cast<uintptr_t>(entity), name);
}

// The entity's animation controller, or null after the function's log line
// ("No entity" or "AnimControiller" text, each with the entity's name).
CQmPropAnimController* FindAnimController(const char* name, const char* noEntity, const char* noController)
{
    CQmEntity* entity = ScriptFindEntity(name);
    if (!entity) {
        ScriptLogLookupFailed(noEntity, name);
        return nullptr;
    }
    auto* controller = entity->Prop<CQmPropAnimController>(QM_PROP_ANIM_CONTROLLER);
    if (!controller)
        ScriptLogLookupFailed(noController, name);
    return controller;
}

// The entity walks: it has an enabled walker that is not standing.
bool IsWalking(const CQmEntity* entity)
{
    const auto* walker = entity->Prop<CQmPropWalker>(QM_PROP_WALKER);
    return walker && walker->enabled && walker->gait != kQmGaitStanding;
}

struct AnimArgs {
    CGeString entity;
    CGeString track;
    float blend;
    int32_t channel;
    int32_t startFrame;
};

AnimArgs ReadAnimArgs(lua_State* L, float defaultBlend)
{
    const int count = lua_gettop(L);
    AnimArgs args;
    args.entity = ScriptArgString(L, 1);
    args.track = ScriptArgString(L, 2);
    args.blend = count >= 3 ? ScriptArgFloat(L, 3) : defaultBlend;
    args.channel = count >= 4 ? ScriptArgInt(L, 4) : -1;
    args.startFrame = count >= 5 ? ScriptArgInt(L, 5) : 0;
    return args;
}

// Starts track on the channel at once (channel -1: the other channels cleared,
// channel 0 played) from the start frame; the channel's player, or null when
// the controller has no such channel.
CJaSeqPlayer* StartTrack(CQmPropAnimController& controller, CGeJointsKeySequence* track, int32_t channel, float blend,
                         int32_t startFrame)
{
    CJaAnimController& joints = *controller.jointController;
    joints.StartAseq(uint32_t(channel), blend > 0.0f ? blend : 0.0f, track, 1);
    CJaSeqPlayer* player = joints.ChannelPlayer(uint32_t(channel));
    if (!player)
        return nullptr;
    const int32_t frames = int32_t(track->FrameCount());
    player->SetFrame(frames > 0 ? startFrame % frames : 0);
    return player;
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

int Lua_StartObjectAnim(lua_State* L)
{
    if (!ScriptCheckArgs(L, "StartObjectAnim", "tt|nnn"))
        return 0;
    AnimArgs args = ReadAnimArgs(L, 0.3f);
    const char* entityName = args.entity.c_str();
    CQmPropAnimController* controller =
        FindAnimController(entityName, "Lua_StartObjectAnim: No entity '%s' found in location!\n",
                           "Lua_StartObjectAnim: entity '%s' has not AnimControiller! Ignored\n");
    if (!controller)
        return 0;
    if (args.track.IsEmpty()) {
        controller->PlaySequence(args.blend);
        return 0;
    }
    CGeJointsKeySequence* track = FindTrack(controller->owner, args.track.c_str());
    if (!track) {
        ScriptLogLookupFailed("Lua_StartObjectAnim: animation '%s' for entity '%s' not found! Ignored\n",
                              args.track.c_str(), entityName);
        return 0;
    }
    if (!controller->jointController) {
        GeTrace("Lua_StartObjectAnim: entity '%s' has no skeleton to animate\n", entityName);
        return 0;
    }
    controller->ClearQueues();
    if (args.channel == -1) {
        controller->jointController->ClearChannels();
        args.channel = 0;
    }
    if (args.channel <= 0 && IsWalking(controller->owner)) {
        controller->QueueSequence(args.channel, track, args.blend > 0.0f ? args.blend : 0.0f);
        return 0;
    }
    CJaSeqPlayer* player = StartTrack(*controller, track, args.channel, args.blend, args.startFrame);
    if (!player)
        return 0;
    if (std::fabs(args.blend + 2.0f) <= 0.01f) {
        player->SetTime(track->duration);
    } else if (std::fabs(args.blend + 1.0f) <= 0.01f) {
        player->SetTime(0.0f);
        player->Stop();
        player->ClearNotifications();
        controller->jointController->Update();
        if (controller->skeleton)
            controller->skeleton->SetPose(controller->jointController->output);
    }
    return 0;
}

int Lua_StartObjectMovingAnim(lua_State* L)
{
    if (!ScriptCheckArgs(L, "StartObjectMovingAnim", "tt|nnn"))
        return 0;
    AnimArgs args = ReadAnimArgs(L, 0.3f);
    const char* entityName = args.entity.c_str();
    CQmPropAnimController* controller =
        FindAnimController(entityName, "Lua_StartObjectMovingAnim: No entity '%s' found in location!\n",
                           "Lua_StartObjectMovingAnim: entity '%s' has no AnimControiller! Ignored\n");
    if (!controller)
        return 0;
    if (args.track.IsEmpty()) {
        ScriptLogLookupFailed("Lua_StartObjectMovingAnim: cant play default moving anim (\"\") for entity '%s'! "
                              "Ignored\n",
                              entityName);
        return 0;
    }
    CGeJointsKeySequence* track = FindTrack(controller->owner, args.track.c_str());
    if (!track) {
        ScriptLogLookupFailed("Lua_StartObjectMovingAnim: animation '%s' for entity '%s' not found! Ignored\n",
                              args.track.c_str(), entityName);
        return 0;
    }
    const int32_t channel = args.channel == -1 ? 0 : args.channel;
    if (channel <= 0 && IsWalking(controller->owner)) {
        ScriptLogLookupFailed(
            "Lua_StartObjectMovingAnim: cant start animation '%s' for entity '%s' because it is movings ! Ignored\n",
            args.track.c_str(), entityName);
        return 0;
    }
    if (!controller->jointController) {
        GeTrace("Lua_StartObjectMovingAnim: entity '%s' has no skeleton to animate\n", entityName);
        return 0;
    }
    controller->ClearQueues();
    if (args.channel == -1)
        controller->jointController->ClearChannels();
    if (!StartTrack(*controller, track, channel, args.blend, args.startFrame))
        return 0;
    controller->rootMotion = 1;
    controller->rootMotionChannel = channel;
    return 0;
}

int Lua_PushObjectAnim(lua_State* L)
{
    if (!ScriptCheckArgs(L, "PushObjectAnim", "tt|nn"))
        return 0;
    const AnimArgs args = ReadAnimArgs(L, 0.5f);
    const char* entityName = args.entity.c_str();
    CQmPropAnimController* controller =
        FindAnimController(entityName, "Lua_PushObjectAnim: No entity '%s' found in location!\n",
                           "Lua_PushObjectAnim: entity '%s' has no AnimControiller! Ignored\n");
    if (!controller)
        return 0;
    CGeJointsKeySequence* track = nullptr;
    if (!args.track.IsEmpty()) {
        track = FindTrack(controller->owner, args.track.c_str());
        if (!track) {
            ScriptLogLookupFailed("Lua_PushObjectAnim: animation '%s' for entity '%s' not found! Ignored\n",
                                  args.track.c_str(), entityName);
            return 0;
        }
    }
    controller->QueueSequence(args.channel, track, args.blend);
    return 0;
}

int Lua_IsAseqPlaying(lua_State* L)
{
    if (!ScriptCheckArgs(L, "IsAseqPlaying", "tt"))
        return ScriptPushBool(L, false);
    const CGeString entityName = ScriptArgString(L, 1);
    const CGeString track = ScriptArgString(L, 2);
    CQmPropAnimController* controller =
        FindAnimController(entityName.c_str(), "Lua_IsAseqPlaying: No entity '%s' found in location!\n",
                           "Lua_IsAseqPlaying: entity '%s' has not AnimControiller! Ignored\n");
    return ScriptPushBool(L, controller && controller->jointController &&
                                 controller->jointController->IsAseqPlaying(track));
}

int Lua_SetWalkerSlotAnim(lua_State* L)
{
    if (!ScriptCheckArgs(L, "SetWalkerSlotAnim", "tnt"))
        return 0;
    const CGeString entityName = ScriptArgString(L, 1);
    const int32_t slot = ScriptArgInt(L, 2);
    const CGeString trackName = ScriptArgString(L, 3);
    CQmEntity* entity = ScriptFindEntity(entityName.c_str());
    if (!entity) {
        ScriptLogLookupFailed("Lua_SetWalkerSlotAnim: entity '%s' not found in location!\n", entityName.c_str());
        return 0;
    }
    auto* walker = entity->Prop<CQmPropWalker>(QM_PROP_WALKER);
    if (!walker) {
        ScriptLogLookupFailed("Lua_SetWalkerSlotAnim: entity '%s' is not a Walker!\n", entityName.c_str());
        return 0;
    }
    if (slot < 0 || uint32_t(slot) >= kQmGaitCount) {
        GeTrace("Lua_SetWalkerSlotAnim: entity '%s' has no gait slot %d\n", entityName.c_str(), slot);
        return 0;
    }
    walker->gaitSequences[slot] = FindTrack(entity, trackName.c_str());
    return 0;
}

int Lua_SetDefaultAnim(lua_State* L)
{
    if (!ScriptCheckArgs(L, "SetDefaultAnim", "tt"))
        return 0;
    const CGeString entityName = ScriptArgString(L, 1);
    const CGeString trackName = ScriptArgString(L, 2);
    CQmPropAnimController* controller =
        FindAnimController(entityName.c_str(), "Lua_SetDefaultAnim: entity '%s' not found in location!\n",
                           "Lua_SetDefaultAnim: entity '%s' has not AnimController property!\n");
    if (controller)
        controller->defaultSequences[CQmPropAnimController::kChannels - 1] =
            FindTrack(controller->owner, trackName.c_str());
    return 0;
}
