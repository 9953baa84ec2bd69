#include "Source/GameClasses/QmPropWalker.h"

#include "Engine/Core/Common/CiDispatcher.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeRandom.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Common/GeValue.h"
#include "Engine/Core/Common/GeXml.h"
#include "Source/GameClasses/QmAiMap.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmPropAimapLockController.h"
#include "Source/GameClasses/QmPropAnimController.h"
#include "Source/GameClasses/QmPropMotionController.h"
#include "Source/GameClasses/QmPropSoundSource.h"
#include "Source/GameClasses/QmScriptProcessor.h"
#include "Source/GameClasses/QmUnifiedCollector.h"

#include <cstdio>
#include <cstring>
#include <tinyxml.h>

const char* const g_qmSurfaceNames[kQmSurfaceCount] = {
    "concrete", "stone",  "gravel",   "carpet",  "sand",       "wood_hard",   "wood_loud", "plant",
    "metal",    "plitka", "linoleum", "asphalt", "wood_floor", "asphalt_bad", "cement",
};

namespace {

const char* const kGaitElements[kQmGaitCount] = {"walk", "walk_up", "walk_down", "run", "turn_180"};
const char* const kLegsSlot = "legs";

XmlHandle Handle(const TiXmlElement* element)
{
    XmlHandle handle;
    handle.element = const_cast<TiXmlElement*>(element);
    return handle;
}

int32_t SurfaceIndex(const char* name)
{
    for (uint32_t i = 0; name && i < kQmSurfaceCount; ++i)
        if (std::strcmp(name, g_qmSurfaceNames[i]) == 0)
            return int32_t(i);
    return -1;
}

} // namespace

CQmPropWalker::CQmPropWalker(CQmEntity* ownerEntity) : CQmProp(ownerEntity)
{
    Bind();
}

CQmPropWalker::~CQmPropWalker()
{
    // The entity deletes its properties in slot order: a controller that is
    // no longer in its slot is gone already.
    if (m_registered && owner->GetProp(QM_PROP_ANIM_CONTROLLER) == animController && Joints())
        Joints()->RemoveChainCallback(this);
}

void CQmPropWalker::Bind()
{
    // A controller replaced in its slot took its joint controller, and the
    // registration with it, along.
    auto* anim = owner->Prop<CQmPropAnimController>(QM_PROP_ANIM_CONTROLLER);
    if (anim != animController) {
        animController = anim;
        m_registered = anim && anim->jointController;
        if (m_registered)
            anim->jointController->AddChainCallback(this);
    }
    auto* motion = owner->Prop<CQmPropMotionController>(QM_PROP_MOTION_CONTROLLER);
    if (motion != motionController) {
        motionController = motion;
        // Messages from the motion controller are taken and ignored.
        if (dispatcher)
            dispatcher->UnregisterClient(this);
        dispatcher = motion ? g_dispatcher : nullptr;
        if (dispatcher)
            dispatcher->RegisterClient(this, motion, CCiClientRow::kAnyType);
    }
}

CJaAnimController* CQmPropWalker::Joints() const
{
    return animController ? animController->jointController : nullptr;
}

void CQmPropWalker::LoadFromXML(const TiXmlElement* element)
{
    const uintptr_t key = reinterpret_cast<uintptr_t>(owner);
    for (uint32_t g = 0; g < kQmGaitCount; ++g) {
        const TiXmlElement* child = element->FirstChildElement(kGaitElements[g]);
        const char* name = child ? XmlGetText("seq_name", Handle(child)) : nullptr;
        gaitSequences[g] = name ? CQmUnifiedCollector::GetJointsAnimTrack(key, name) : nullptr;
    }
    for (const TiXmlElement* command = element->FirstChildElement("anim_command"); command;
         command = command->NextSiblingElement("anim_command")) {
        const char* name = XmlGetText("name", Handle(command));
        if (!name) {
            GeLog(2, "CQmPropWalker::LoadFromXML: no command name! Ignored! ");
            continue;
        }
        auto& lists = stepSounds[name];
        for (const TiXmlElement* sample = command->FirstChildElement("sample"); sample;
             sample = sample->NextSiblingElement("sample")) {
            const XmlHandle handle = Handle(sample);
            const int32_t surface = SurfaceIndex(XmlGetText("type", handle));
            const char* file = XmlGetText("name", handle);
            if (surface < 0 || !file) {
                GeTrace("CQmPropWalker::LoadFromXML: sample of '%s' without a known type or a name", name);
                continue;
            }
            lists[surface].push_back(file);
        }
    }
}

void CQmPropWalker::SetGait(int32_t g)
{
    if (g == gait)
        return;
    gait = g;
    CGeJointsKeySequence* track = g >= 0 && g < int32_t(kQmGaitCount) ? gaitSequences[g] : nullptr;
    if (track && Joints())
        Joints()->StartAseq(0, blendTime, track, 1);
}

void CQmPropWalker::OnEvent(uint32_t code)
{
    Bind();
    if (code == QM_EVENT_PATH_STARTED) {
        if (gait != requestedGait) {
            SetGait(requestedGait);
            SetEnabled(true);
        }
    } else if (code == QM_EVENT_PATH_STOPPED) {
        if (CJaAnimController* joints = Joints())
            if (CJaSeqPlayer* player = joints->ChannelPlayer(0))
                player->Stop();
        if (animController)
            animController->QueueSequence(-1, nullptr, 0.0f);
        gait = kQmGaitStanding;
        SetEnabled(false);
        char event[256];
        std::snprintf(event, sizeof(event), "%s_stop_moving", QmCurrentLocationName());
        CGeValue name(owner->name);
        ScriptCallFunction(event, &name, 1, true);
    }
}

void CQmPropWalker::Update()
{
    Bind();
    if (!motionController || motionController->stopped || !animController)
        return;
    const float p = motionController->moveDir.y;
    if (p > kSlopeDirection || p < -kSlopeDirection) {
        float lowest = 0, highest = 0, current = 0;
        motionController->SampleHeightsAhead(CQmPropMotionController::kLookAhead, CQmPropMotionController::kLookStep,
                                             lowest, highest, current);
        const bool up = p > kSlopeDirection;
        const float diff = up ? highest - current : current - lowest;
        if (diff > kSteepRise)
            SetGait(up ? kQmGaitWalkUp : kQmGaitWalkDown);
        else if (diff >= 0.0f && diff < kGentleRise)
            SetGait(requestedGait);
    } else {
        SetGait(requestedGait);
    }
    const float frameTime = g_geTimer ? g_geTimer->delta : 0.0f;
    CJaAnimController* joints = Joints();
    const CJaSeqPlayer* player = joints ? joints->ChannelPlayer(0) : nullptr;
    if (player && frameTime > 0.0f) {
        const Vec3& d = player->rootDelta;
        motionController->velocity = Vec3{d.x / frameTime, d.y / frameTime, d.z / frameTime};
    }
}

void CQmPropWalker::Callback(CJaSeqPlayer* player, uint32_t, int32_t notification)
{
    auto* sounds = owner->Prop<CQmPropSoundSource>(QM_PROP_SOUND_SOURCE);
    if (!sounds || !sounds->FindSlot(kLegsSlot))
        return;
    if (notification == kJaNotifyEndOfPlay) {
        sounds->StopByName(kLegsSlot);
        return;
    }
    if (notification < 0 || !player)
        return;
    const char* command = player->GetEventName(notification);
    const auto found = command ? stepSounds.find(command) : stepSounds.end();
    const CQmAiMap* grid = QmCurrentWalkGrid();
    if (found == stepSounds.end() || !grid || !grid->count)
        return;
    const Vec3& at = owner->frame.position;
    const uint32_t surface = uint32_t(grid->GetSurfaceKind(at.x, at.z));
    if (surface >= kQmSurfaceCount || found->second[surface].empty())
        return;
    const auto& samples = found->second[surface];
    const std::string& sample = samples[uint32_t(RandomInt(uint32_t(samples.size() - 1)))];
    void* location = g_locationManager ? g_locationManager->current : nullptr;
    sounds->PlayByName(kLegsSlot, sample.c_str(), false, 1.0f, location, false);
}

void LoadProperty_Walker(CQmEntity& entity, const TiXmlElement* element)
{
    auto* walker = new CQmPropWalker(&entity);
    walker->LoadFromXML(element);
    entity.SetProp(QM_PROP_WALKER, walker);
}
