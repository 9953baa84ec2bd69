#include "Engine/Anim/JaPlayer.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeTimer.h"

#include <cmath>

namespace {

void FillMap(CGeArray<int32_t>& map, uint32_t n, int32_t value)
{
    map.Clear();
    if (n)
        map.InsertGap(0, n);
    for (uint32_t i = 0; i < n; ++i)
        map[i] = value;
}

const CGeJointKey kIdentityKey = {};

} // namespace

Vec3 JaLerp(const Vec3& a, const Vec3& b, float t)
{
    if (t <= 0.0f)
        return a;
    if (t >= 1.0f)
        return b;
    return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t};
}

Quat JaSlerp(const Quat& a, const Quat& b, float t)
{
    if (t <= 0.0f)
        return a;
    if (t >= 1.0f)
        return b;
    if (a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w)
        return b;
    Quat to = b;
    float c = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
    if (c < 0.0f) {
        to = {-b.x, -b.y, -b.z, -b.w};
        c = -c;
    }
    float wa, wb;
    if (double(1.0f - c) > double(1e-6f)) {
        const float s = std::sqrt(1.0f - c * c);
        const float theta = std::atan2(s, c);
        wa = std::sin((1.0f - t) * theta) / s;
        wb = std::sin(t * theta) / s;
    } else {
        wa = 1.0f - t;
        wb = t;
    }
    return {wa * a.x + wb * to.x, wa * a.y + wb * to.y, wa * a.z + wb * to.z, wa * a.w + wb * to.w};
}

// CJaPlayer -------------------------------------------------------------------

CJaPlayer::CJaPlayer(uint32_t joints) : jointCount(joints)
{
    FillMap(jointMap, joints, 0);
}

CJaPlayer::~CJaPlayer() = default;

const char* CJaPlayer::GetEventName(int32_t) const
{
    return nullptr;
}

void CJaPlayer::Notify(int32_t value)
{
    if (notificationCount >= kMaxNotifications) {
        GeLog(2, "@ja@CJaPlayer: more than %u notifications in one update, %i dropped\n", unsigned(kMaxNotifications),
              int(value));
        return;
    }
    notifications[notificationCount++] = value;
}

bool CJaPlayer::TakeLastNotification(int32_t& value)
{
    if (!notificationCount)
        return false;
    value = notifications[--notificationCount];
    return true;
}

// CJaPosePlayer -----------------------------------------------------------------

CJaPosePlayer::CJaPosePlayer(uint32_t joints) : CJaPlayer(joints)
{
    if (joints)
        pose.InsertGap(0, joints);
    for (uint32_t j = 0; j < joints; ++j)
        new (&pose[j]) CGeJointKey();
}

void CJaPosePlayer::GetJointKey(CGeJointKey& key, uint32_t joint) const
{
    key = joint < pose.Count() ? pose[joint] : kIdentityKey;
}

void CJaPosePlayer::Reset()
{
    for (CGeJointKey& key : pose)
        key = kIdentityKey;
}

void CJaPosePlayer::Snapshot(const CJaPlayer& other)
{
    for (uint32_t j = 0; j < pose.Count(); ++j)
        other.GetJointKey(pose[j], j);
}

// CJaTimedPlayer ---------------------------------------------------------------

CJaTimedPlayer::CJaTimedPlayer(uint32_t joints) : CJaPlayer(joints) {}

void CJaTimedPlayer::Play()
{
    time = 0.0f;
    playing = 1;
    paused = 0;
    notificationCount = 0;
}

void CJaTimedPlayer::Stop()
{
    playing = 0;
    Notify(kJaNotifyEndOfPlay);
}

void CJaTimedPlayer::SetTime(float seconds)
{
    time = seconds < 0.0f ? 0.0f : (seconds > duration ? duration : seconds);
}

void CJaTimedPlayer::Advance()
{
    if (!playing || paused)
        return;
    time += (g_geTimer ? g_geTimer->delta : 0.0f) * speed;
    if (!looped) {
        if (time > duration) {
            time = duration;
            Stop();
        }
        return;
    }
    if (!(time > duration))
        return;
    if (!(duration > 0.0f)) {
        time = 0.0f;
        return;
    }
    const float resume = frameRate > 0.0f ? float(loopFrame) / frameRate : 0.0f;
    if (!(resume < duration)) {
        // A loop frame at or past the end: the wrap resumes at the end.
        time = duration;
        return;
    }
    time = time - duration + resume;
    if (time > duration) {
        // More than one loop in one step (a long frame or a short loop).
        time = resume + std::fmod(time - resume, duration - resume);
        if (!(time <= duration))
            time = duration;
    }
}

// CJaSeqPlayer -----------------------------------------------------------------

CJaSeqPlayer::CJaSeqPlayer(uint32_t joints) : CJaTimedPlayer(joints)
{
    FillMap(jointMap, joints, -1);
    FillMap(savedJointMap, joints, -1);
}

void CJaSeqPlayer::Update()
{
    const float previous = time;
    Advance();
    const CGeJointsKeySequence* track = sequence;
    if (!track)
        return;
    const uint32_t frames = track->FrameCount();
    const float f = frameRate * time;
    const uint32_t frame = f > 0.0f ? uint32_t(f) : 0;
    uint32_t next = frame + 1;
    fraction = f - float(frame);
    if (next > frames - 1) {
        if (!looped) {
            fraction = 0.0f;
            next = frame;
        } else {
            next = 0;
        }
    }
    currentFrame = frame < frames - 1 ? frame : frames - 1;
    nextFrame = next < frames - 1 ? next : frames - 1;
    if (currentFrame == nextFrame)
        fraction = 0.0f;

    const idCurve_PolyLine<Vec3>& curve = track->rootCurve;
    if (time > previous) {
        const Vec3 now = curve.GetValue(time), before = curve.GetValue(previous);
        rootDelta = {now.x - before.x, now.y - before.y, now.z - before.z};
    } else if (time == previous) {
        rootDelta = {0, 0, 0};
    } else {
        const Vec3 end = curve.GetValue(duration), before = curve.GetValue(previous),
                   now = curve.GetValue(time);
        rootDelta = {(end.x - before.x) + now.x, (end.y - before.y) + now.y, (end.z - before.z) + now.z};
    }

    const int64_t p = int64_t(previous * frameRate), c = int64_t(time * frameRate);
    if (p != c) {
        const int64_t n = frames;
        const int64_t stop = ((c + 1) % n + n) % n;
        int64_t i = ((p + 1) % n + n) % n;
        for (int64_t visited = 0; i != stop && visited < n; ++visited, i = (i + 1) % n) {
            if (track->frameEvents[uint32_t(i)] != -1)
                Notify(int32_t(i));
        }
    }
}

void CJaSeqPlayer::GetJointKey(CGeJointKey& key, uint32_t joint) const
{
    if (!sequence || joint >= jointCount || jointMap[joint] < 0 || uint32_t(jointMap[joint]) >= sequence->jointCount) {
        key = kIdentityKey;
        return;
    }
    const uint32_t s = uint32_t(jointMap[joint]);
    const CGeJointKey& a = sequence->Key(currentFrame, s);
    const CGeJointKey& b = sequence->Key(nextFrame, s);
    key.position = JaLerp(a.position, b.position, fraction);
    key.reserved = 0;
    key.rotation = JaSlerp(a.rotation, b.rotation, fraction);
}

const char* CJaSeqPlayer::GetEventName(int32_t frame) const
{
    return sequence ? sequence->EventName(frame) : nullptr;
}

void CJaSeqPlayer::SetKeySequence(CGeJointsKeySequence* track)
{
    if (!track) {
        sequence = nullptr;
        return;
    }
    if (track->jointCount > jointCount) {
        GeLog(2, "@ja@CJaSeqPlayer::SetKeySequence: Joints count in skelet < joints count in sequence! Ignored!\n");
        return;
    }
    if (track->FrameCount() == 0 || track->keys.Count() < track->FrameCount() * track->jointCount) {
        GeLog(2, "@ja@CJaSeqPlayer::SetKeySequence: track %s has no frames! Ignored!\n", track->name.c_str());
        return;
    }
    if (track != sequence) {
        for (int32_t& entry : jointMap)
            entry = -1;
        const uint32_t mapped =
            track->jointMap.Count() < track->jointCount ? track->jointMap.Count() : track->jointCount;
        for (uint32_t i = 0; i < mapped; ++i) {
            const uint32_t joint = track->jointMap[i];
            if (joint >= jointCount) {
                GeLog(2, "@ja@CJaSeqPlayer::SetKeySequence: track %s drives joint %u beyond the skeleton, skipped\n",
                      track->name.c_str(), unsigned(joint));
                continue;
            }
            jointMap[joint] = int32_t(i);
        }
        savedJointMap = jointMap;
        sequence = track;
        SetTime(0.0f);
    } else {
        sequence = track;
    }
    frameRate = track->frameRate;
    duration = track->duration;
    looped = track->looped;
    loopFrame = track->loopFrame;
    Update();
}

void CJaSeqPlayer::SetFrame(int32_t frame)
{
    if (!sequence)
        return;
    const int32_t last = int32_t(sequence->FrameCount()) - 1;
    if (frame < 0)
        frame = 0;
    if (frame > last)
        frame = last;
    currentFrame = uint32_t(frame);
    nextFrame = frame + 1 > last ? 0 : uint32_t(frame + 1);
    time = frameRate > 0.0f ? float(frame) / frameRate : 0.0f;
    fraction = 0.0f;
}
