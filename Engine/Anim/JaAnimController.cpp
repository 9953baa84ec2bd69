#include "Engine/Anim/JaAnimController.h"

#include "Engine/Core/Common/GeLog.h"

#include <cstring>
#include <vector>

CJaAnimController::CJaAnimController(uint32_t joints) : CJaPlayer(joints), output(joints)
{
    output.Reset();
    mixer = new CJaMixerPlayer(&output);
    AddChannel();
    if (joints) {
        m_mask.InsertGap(0, joints);
        std::memset(m_mask.data, 0, joints);
    }
}

CJaAnimController::~CJaAnimController()
{
    for (CJaChannel& channel : channels) {
        delete channel.blend;
        delete channel.snapshot;
        delete channel.player;
    }
    for (CJaBlendPlayer* blend : m_retiredBlends)
        delete blend;
    delete mixer;
}

uint32_t CJaAnimController::AddChannel()
{
    CJaChannel channel;
    channel.player = new CJaSeqPlayer(jointCount);
    return channels.Add(channel);
}

bool CJaAnimController::CheckChannel(uint32_t channel, const char* operation) const
{
    if (channel < channels.Count())
        return true;
    GeLog(2, "@ja@CJaAnimController::%s: no channel %u (of %u), ignored\n", operation, unsigned(channel),
          unsigned(channels.Count()));
    return false;
}

void CJaAnimController::GetJointKey(CGeJointKey& key, uint32_t joint) const
{
    output.GetJointKey(key, joint);
}

void CJaAnimController::DropBlend(CJaChannel& channel)
{
    if (!channel.blend)
        return;
    mixer->RemovePlayer(channel.blend);
    // A callback may restart the channel whose notifications are being
    // delivered; the blend is deleted once the delivery is over.
    if (m_delivering)
        m_retiredBlends.Add(channel.blend);
    else
        delete channel.blend;
    channel.blend = nullptr;
}

void CJaAnimController::SetChannelSequence(uint32_t index, CGeJointsKeySequence* track, uint8_t override)
{
    if (!CheckChannel(index, "SetChannelSequence"))
        return;
    CJaChannel& channel = channels[index];
    DropBlend(channel);
    channel.player->SetKeySequence(track);
    channel.override = override;
    if (!track)
        mixer->RemovePlayer(channel.player);
    RebuildMasks();
}

void CJaAnimController::RebuildMasks()
{
    const uint32_t count = channels.Count();
    for (CJaChannel& channel : channels)
        channel.player->jointMap = channel.player->savedJointMap;
    bool anyOverride = false;
    for (uint32_t c = 1; c < count; ++c)
        anyOverride = anyOverride || channels[c].override;
    if (!anyOverride)
        return;
    if (m_mask.Count())
        std::memset(m_mask.data, 0, m_mask.Count());
    for (uint32_t c = count - 1; c >= 1; --c) {
        const CJaChannel& upper = channels[c];
        if (upper.override && upper.player->sequence) {
            for (uint32_t j = 0; j < m_mask.Count(); ++j) {
                if (upper.player->Drives(j))
                    m_mask[j] = 1;
            }
        }
        CJaChannel& lower = channels[c - 1];
        for (uint32_t j = 0; j < m_mask.Count(); ++j) {
            if (!m_mask[j])
                continue;
            if (j < lower.player->jointMap.Count())
                lower.player->jointMap[j] = -1;
            if (lower.blend && j < lower.blend->jointMap.Count())
                lower.blend->jointMap[j] = -1;
        }
    }
}

void CJaAnimController::StartAseq(uint32_t index, float blendTime, CGeJointsKeySequence* track, uint8_t override)
{
    if (!CheckChannel(index, "StartAseq"))
        return;
    SetChannelSequence(index, track, override);
    if (!track)
        return;
    CJaChannel& channel = channels[index];
    channel.player->Play();
    if (blendTime == 0.0f) {
        mixer->AddPlayer(channel.player);
        return;
    }
    if (!channel.snapshot)
        channel.snapshot = new CJaPosePlayer(jointCount);
    channel.snapshot->Snapshot(output);
    channel.blend = new CJaBlendPlayer(channel.snapshot, channel.player, blendTime);
    channel.blend->Play();
    mixer->RemovePlayer(channel.player);
    mixer->AddPlayer(channel.blend);
}

void CJaAnimController::ClearChannels()
{
    for (uint32_t c = 1; c < channels.Count(); ++c)
        SetChannelSequence(c, nullptr, 0);
}

bool CJaAnimController::IsAseqPlaying(const CGeString& name) const
{
    for (const CJaChannel& channel : channels) {
        const CGeJointsKeySequence* track = channel.player->sequence;
        if (track && track->name.Length() == name.Length() &&
            std::memcmp(track->name.c_str(), name.c_str(), name.Length()) == 0)
            return true;
    }
    return false;
}

void CJaAnimController::AddChainCallback(CJaChainCallbackClient* client)
{
    clients.PushBack(client);
}

void CJaAnimController::RemoveChainCallback(CJaChainCallbackClient* client)
{
    if (auto* node = clients.Find(clients.head, clients.tail, client))
        clients.Remove(node);
}

void CJaAnimController::Deliver(uint32_t channel, int32_t notification)
{
    // The list as it was when the notification arrived: clients added by a
    // callback hear the next one; clients removed meanwhile are skipped.
    std::vector<CJaChainCallbackClient*> snapshot;
    snapshot.reserve(clients.count);
    for (auto* node = clients.head; node; node = node->next)
        snapshot.push_back(node->value);
    for (size_t i = 0; i < snapshot.size(); ++i) {
        CJaChainCallbackClient* client = snapshot[i];
        if (!clients.Find(clients.head, clients.tail, client))
            continue;
        client->Callback(channels[channel].player, channel, notification);
    }
}

void CJaAnimController::Update()
{
    ++m_delivering;
    for (uint32_t c = 0; c < channels.Count(); ++c) {
        if (channels[c].blend && channels[c].blend->playing)
            channels[c].blend->Update();
        if (!channels[c].player->sequence && !channels[c].blend)
            continue;
        channels[c].player->Update();
        for (;;) {
            CJaChannel& channel = channels[c];
            int32_t value;
            CJaBlendPlayer* blend = channel.blend;
            if (!channel.player->TakeLastNotification(value) && !(blend && blend->TakeLastNotification(value)))
                break;
            if (value == kJaNotifyEndOfBlend) {
                if (channel.blend)
                    mixer->RemovePlayer(channel.blend);
                if (channel.player->sequence)
                    mixer->AddPlayer(channel.player);
            }
            Deliver(c, value);
        }
    }
    --m_delivering;
    if (!m_delivering) {
        for (CJaBlendPlayer* blend : m_retiredBlends)
            delete blend;
        m_retiredBlends.Clear();
    }
    mixer->Update();
}
