#include "Engine/Anim/JaMixerPlayer.h"

CJaBlendPlayer::CJaBlendPlayer(const CJaPlayer* fromPlayer, const CJaPlayer* toPlayer, float blendTime)
    : CJaTimedPlayer(fromPlayer->jointCount), from(fromPlayer), to(toPlayer)
{
    duration = blendTime;
    for (uint32_t j = 0; j < jointCount; ++j)
        jointMap[j] = from->Drives(j) && to->Drives(j) ? 1 : -1;
}

float CJaBlendPlayer::Weight() const
{
    return duration > 0.0f ? time / duration : 1.0f;
}

void CJaBlendPlayer::Update()
{
    Advance();
    rootDelta = JaLerp(from->rootDelta, to->rootDelta, Weight());
}

void CJaBlendPlayer::GetJointKey(CGeJointKey& key, uint32_t joint) const
{
    CGeJointKey a, b;
    from->GetJointKey(a, joint);
    to->GetJointKey(b, joint);
    const float t = Weight();
    key.position = JaLerp(a.position, b.position, t);
    key.reserved = 0;
    key.rotation = JaSlerp(a.rotation, b.rotation, t);
}

void CJaBlendPlayer::Stop()
{
    playing = 0;
    Notify(kJaNotifyEndOfBlend);
}

CJaMixerPlayer::CJaMixerPlayer(CJaPosePlayer* outputPlayer) : CJaPlayer(outputPlayer->jointCount), output(outputPlayer)
{}

void CJaMixerPlayer::Update()
{
    CGeArray<CGeJointKey>& pose = output->pose;
    const uint32_t n = pose.Count();
    for (auto* node = inputs.head; node; node = node->next) {
        const CJaPlayer* input = node->value;
        for (uint32_t j = 0; j < n; ++j) {
            if (input->Drives(j))
                pose[j] = CGeJointKey();
        }
    }
    for (auto* node = inputs.head; node; node = node->next) {
        const CJaPlayer* input = node->value;
        for (uint32_t j = 0; j < n; ++j) {
            if (!input->Drives(j))
                continue;
            CGeJointKey k;
            input->GetJointKey(k, j);
            CGeJointKey& o = pose[j];
            o.position = {o.position.x + k.position.x, o.position.y + k.position.y, o.position.z + k.position.z};
            const Quat q = o.rotation, r = k.rotation;
            o.rotation = {q.w * r.x + q.x * r.w + q.y * r.z - q.z * r.y, q.w * r.y - q.x * r.z + q.y * r.w + q.z * r.x,
                          q.w * r.z + q.x * r.y - q.y * r.x + q.z * r.w, q.w * r.w - q.x * r.x - q.y * r.y - q.z * r.z};
        }
    }
}

void CJaMixerPlayer::GetJointKey(CGeJointKey& key, uint32_t joint) const
{
    output->GetJointKey(key, joint);
}

bool CJaMixerPlayer::Contains(const CJaPlayer* player) const
{
    for (auto* node = inputs.head; node; node = node->next) {
        if (node->value == player)
            return true;
    }
    return false;
}

void CJaMixerPlayer::AddPlayer(CJaPlayer* player)
{
    if (!Contains(player))
        inputs.PushBack(player);
}

void CJaMixerPlayer::RemovePlayer(CJaPlayer* player)
{
    if (auto* node = inputs.Find(inputs.head, inputs.tail, player))
        inputs.Remove(node);
}
