#include "Source/GameClasses/QmPropAnimController.h"

#include "Engine/Anim/GeJointsKeySequence.h"
#include "Engine/Anim/GmMeshResource.h"
#include "Engine/Core/Common/CiDispatcher.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeValue.h"
#include "Engine/Core/Common/GeXml.h"
#include "Engine/Core/Gm/GmScenicMesh.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmPropWalker.h"
#include "Source/GameClasses/QmScriptProcessor.h"
#include "Source/GameClasses/QmUnifiedCollector.h"

#include <cstdio>
#include <cstring>
#include <tinyxml.h>

const char* QmCurrentLocationName()
{
    const CQmLocation* location = g_locationManager ? g_locationManager->current : nullptr;
    return location ? location->name.c_str() : "";
}

CQmPropAnimController::CQmPropAnimController(CQmEntity* ownerEntity, uint32_t index)
    : CQmProp(ownerEntity), visualIndex(index)
{
    // Posts go through the program-wide dispatcher; with the pointer set the
    // base's destructor purges what is still pending.
    dispatcher = g_dispatcher;
    if (g_entitySettings.visualObjectSlot >= g_entitySettings.slotCount) {
        GeLog(1, "CQmPropAnimController: Call SetPropIndex_VisualObject to initialize property index!\n");
        return;
    }
    visualObject = owner->Prop<CQmPropVisualObject>(g_entitySettings.visualObjectSlot);
    if (visualObject && visualIndex < visualObject->visuals.Count())
        visual = dynamic_cast<CGmScenicMesh*>(visualObject->visuals[visualIndex]);
    skeleton = visual ? dynamic_cast<CGmMeshResource*>(visual->skeleton) : nullptr;
    if (!skeleton || !skeleton->JointCount()) {
        skeleton = nullptr;
        return;
    }
    const uint32_t joints = skeleton->JointCount();
    jointController = new CJaAnimController(joints);
    // Joints no channel drives keep the skeleton's loaded pose.
    for (uint32_t j = 0; j < joints; ++j) {
        const GmJointRecord& record = skeleton->joints[j];
        CGeJointKey& key = jointController->output.pose[j];
        key.position = Vec3{record.position[0], record.position[1], record.position[2]};
        key.rotation = Quat{record.rotation[0], record.rotation[1], record.rotation[2], record.rotation[3]};
    }
    ApplyPose();
    visual->Update();
    jointController->AddChainCallback(this);
}

CQmPropAnimController::~CQmPropAnimController()
{
    if (jointController) {
        jointController->RemoveChainCallback(this);
        delete jointController;
        jointController = nullptr;
    }
    ClearQueues();
}

void CQmPropAnimController::ApplyPose()
{
    // SetPose brings the world matrices up to date as well.
    skeleton->SetPose(jointController->output);
}

void CQmPropAnimController::QueueSequence(int32_t channel, CGeJointsKeySequence* sequence, float time)
{
    if (channel < 0)
        channel = kChannels - 1;
    if (uint32_t(channel) >= kChannels)
        return;
    queues[channel].PushBack(QmAnimQueueEntry{sequence, time});
}

void CQmPropAnimController::ClearQueues()
{
    for (auto& queue : queues)
        queue.Destroy();
}

void CQmPropAnimController::PlaySequence(float time)
{
    if (!jointController)
        return;
    if (time < 0.0f)
        time = 0.0f;
    if (CGeJointsKeySequence* stand = defaultSequences[kChannels - 1]) {
        queues[kChannels - 1].Destroy();
        jointController->ClearChannels();
        jointController->StartAseq(0, time, stand, 1);
        return;
    }
    for (uint32_t i = 0; i < jointController->ChannelCount() && i < kChannels; ++i) {
        queues[i].Destroy();
        jointController->SetChannelSequence(i, defaultSequences[i], 1);
        if (defaultSequences[i]) {
            CJaSeqPlayer* player = jointController->ChannelPlayer(i);
            player->Play();
            jointController->mixer->AddPlayer(player);
        }
    }
}

void CQmPropAnimController::Update()
{
    if (!jointController)
        return;
    for (uint32_t k = 0; k < kChannels; ++k) {
        const uint32_t joint = JointChannelOf(k);
        CJaSeqPlayer* player = jointController->ChannelPlayer(joint);
        if (!player || player->playing || !queues[k].count)
            continue;
        if (k + 1 == kChannels)
            jointController->ClearChannels();
        const QmAnimQueueEntry entry = queues[k].head->value;
        queues[k].PopFront();
        if (!entry.sequence)
            jointController->StartAseq(joint, kDefaultBlend, defaultSequences[k], 1);
        else
            jointController->StartAseq(joint, entry.time, entry.sequence, 1);
    }
    ApplyPose();
    jointController->Update();
    if (rootMotion) {
        CJaSeqPlayer* player =
            rootMotionChannel >= 0 ? jointController->ChannelPlayer(uint32_t(rootMotionChannel)) : nullptr;
        if (player) {
            CGeFrame3D& frame = owner->frame;
            frame.UpdateWorldMatrix();
            const Vec3 d = MatrixTransformNormal(frame.world, player->rootDelta);
            frame.SetPosition(Vec3{frame.world.At(0, 3) + d.x, frame.world.At(1, 3) + d.y, frame.world.At(2, 3) + d.z});
            frame.Invalidate();
            frame.UpdateWorldMatrix();
        }
    }
}

void CQmPropAnimController::Callback(CJaSeqPlayer* player, uint32_t channel, int32_t notification)
{
    if (notification != kJaNotifyEndOfPlay)
        return;
    if (player && player->sequence) {
        CGeValue args[2] = {CGeValue(owner->name), CGeValue(player->sequence->name)};
        char event[256];
        std::snprintf(event, sizeof(event), "%s_animation_end", QmCurrentLocationName());
        ScriptCallFunction(event, args, 2, true);
        ScriptCallFunction("on_animation_end", args, 2, true);
    }
    if (rootMotion && rootMotionChannel == int32_t(channel)) {
        rootMotion = 0;
        rootMotionChannel = -1;
    }
    if (dispatcher)
        dispatcher->PostMessage(dispatcher->PendingQueue(), this, kQmMsgAnimationEnded);
}

namespace {

XmlHandle Handle(const TiXmlElement* element)
{
    XmlHandle handle;
    handle.element = const_cast<TiXmlElement*>(element);
    return handle;
}

CGeJointsKeySequence* FindTrack(CQmEntity& entity, const char* name)
{
    return CQmUnifiedCollector::GetJointsAnimTrack(reinterpret_cast<uintptr_t>(&entity), name);
}

} // namespace

void LoadProperty_AnimController(CQmEntity& entity, const TiXmlElement* element)
{
    const XmlHandle handle = Handle(element);
    const char* stand = XmlGetText("stand", handle);
    const char* move = XmlGetText("move", handle);
    auto* controller = new CQmPropAnimController(&entity, 0);
    controller->SetEnabled(true);
    entity.SetProp(QM_PROP_ANIM_CONTROLLER, controller);
    if (!controller->jointController) {
        GeTrace("LoadProperty_AnimController: %s has no skinned visual 0", entity.name.c_str());
        return;
    }
    if (stand)
        controller->defaultSequences[CQmPropAnimController::kChannels - 1] = FindTrack(entity, stand);
    controller->PlaySequence(CQmPropAnimController::kDefaultBlend);
    if (move) {
        auto* walker = new CQmPropWalker(&entity);
        entity.SetProp(QM_PROP_WALKER, walker);
        walker->gaitSequences[kQmGaitWalk] = FindTrack(entity, move);
        walker->SetEnabled(false);
    }
}

void LoadProperty_JaController(CQmEntity& entity, const TiXmlElement* element)
{
    const XmlHandle handle = Handle(element);
    const int32_t index = XmlGetInt("vo_index", handle);
    auto* controller = new CQmPropAnimController(&entity, uint32_t(index));
    controller->SetEnabled(true);
    const auto* visuals = entity.Prop<CQmPropVisualObject>(QM_PROP_VISUAL_OBJECT);
    const uint32_t count = visuals ? visuals->visuals.Count() : 0;
    if (index < 0 || uint32_t(index) >= count) {
        GeLog(1, "&locloader& anim_controller: vo_index out of bounds: %i >= !\n", index);
        delete controller;
        entity.SetProp(QM_PROP_ANIM_CONTROLLER, nullptr);
        return;
    }
    entity.SetProp(QM_PROP_ANIM_CONTROLLER, controller);
    if (!controller->jointController) {
        GeTrace("LoadProperty_JaController: visual %i of %s has no skeleton", index, entity.name.c_str());
        return;
    }
    for (const TiXmlElement* child = element->FirstChildElement("default_seq"); child;
         child = child->NextSiblingElement("default_seq")) {
        const XmlHandle seq = Handle(child);
        const char* name = XmlGetText("seq_name", seq);
        if (!name)
            continue;
        int32_t slot = XmlGetInt("slot_index", seq);
        if (slot < 0)
            slot = CQmPropAnimController::kChannels - 1;
        if (uint32_t(slot) >= CQmPropAnimController::kChannels)
            continue;
        controller->defaultSequences[slot] = FindTrack(entity, name);
        controller->PlaySequence(CQmPropAnimController::kDefaultBlend);
    }
}

bool PlayHeroTrack(CQmEntity* entity, const char* track, float blendTime)
{
    auto* controller = entity ? entity->Prop<CQmPropAnimController>(QM_PROP_ANIM_CONTROLLER) : nullptr;
    if (!controller || !controller->jointController) {
        GeLog(2, "PlayHeroTrack: %s has no animation controller\n", entity ? entity->name.c_str() : "(no entity)");
        return false;
    }
    CGeJointsKeySequence* sequence = FindTrack(*entity, track ? track : "");
    if (!sequence) {
        GeLog(2, "PlayHeroTrack: %s has no track '%s'\n", entity->name.c_str(), track ? track : "");
        return false;
    }
    controller->ClearQueues();
    controller->jointController->StartAseq(0, blendTime > 0.0f ? blendTime : 0.0f, sequence, 0);
    controller->playing = 1;
    controller->playCounter = 0;
    return true;
}
