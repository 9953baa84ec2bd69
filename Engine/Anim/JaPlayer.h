// Joint players: everything that can be updated once a frame and asked for
// the local key of any skeleton joint.
//
// CJaPlayer is the base: a list of up to 32 pending notifications (a frame
// index whose event was crossed, -1 end of play, -2 end of a blend; further
// ones in the same update are dropped with a log line), the root translation
// travelled in the last update, and a joint map (one entry per skeleton
// joint: >= 0 when the player drives the joint, -1 when not).
// CJaPosePlayer holds a fixed pose; CJaTimedPlayer adds the clock;
// CJaSeqPlayer plays a track. A joint a player does not drive answers the
// identity key.
//
// The clock advances by the frame timer's delta times the speed. A looped
// clock that passes the duration resumes at the loop frame; a loop frame at
// or past the end resumes at the end, and a track of duration 0 holds time 0,
// so the wrap always ends.
#pragma once

#include "Engine/Anim/GeJointsKeySequence.h"
#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeMath.h"
#include "Engine/Core/Gm/GmSkeleton.h"

#include <cstdint>

constexpr int32_t kJaNotifyEndOfPlay = -1;
constexpr int32_t kJaNotifyEndOfBlend = -2;

// The interpolations every player uses. Lerp gives a exactly for t <= 0 and b
// exactly for t >= 1. Slerp takes the shorter arc, falls back to a lerp when
// the keys are within 1e-6 of each other, and does not renormalise.
Vec3 JaLerp(const Vec3& a, const Vec3& b, float t);
Quat JaSlerp(const Quat& a, const Quat& b, float t);

class CJaPlayer : public IGmJointPoseSource {
public:
    static constexpr uint32_t kMaxNotifications = 32;

    explicit CJaPlayer(uint32_t jointCount);
    virtual ~CJaPlayer();
    CJaPlayer(const CJaPlayer&) = delete;
    CJaPlayer& operator=(const CJaPlayer&) = delete;

    virtual void Update() = 0;
    void GetJointKey(CGeJointKey& key, uint32_t joint) const override = 0;
    // The event name of a frame, or null (always, in the base).
    virtual const char* GetEventName(int32_t frame) const;

    // Appends a notification; the 33rd and later of one batch are dropped.
    void Notify(int32_t value);
    // Takes the most recent notification; false when there is none.
    bool TakeLastNotification(int32_t& value);
    void ClearNotifications() { notificationCount = 0; }
    bool Drives(uint32_t joint) const { return joint < jointCount && jointMap[joint] >= 0; }

    int32_t notifications[kMaxNotifications] = {};
    uint32_t notificationCount = 0;
    Vec3 rootDelta = {0, 0, 0};
    float rootDeltaW = 0.0f;
    CGeArray<int32_t> jointMap;
    uint32_t jointCount = 0;
};

class CJaPosePlayer : public CJaPlayer {
public:
    // The pose starts as identity keys.
    explicit CJaPosePlayer(uint32_t jointCount);

    void Update() override {}
    void GetJointKey(CGeJointKey& key, uint32_t joint) const override;
    // Every key back to the identity.
    void Reset();
    // pose[j] := the other player's key of j, for every joint.
    void Snapshot(const CJaPlayer& other);

    CGeArray<CGeJointKey> pose;
};

class CJaTimedPlayer : public CJaPlayer {
public:
    explicit CJaTimedPlayer(uint32_t jointCount);

    // Time 0, playing, not paused, pending notifications emptied.
    virtual void Play();
    // Not playing; queues the end of play (-1).
    virtual void Stop();
    // The time clamped to [0, duration].
    virtual void SetTime(float seconds);
    // The clock step: only while playing and not paused.
    void Advance();

    float frameRate = 0.0f;
    float duration = 0.0f;
    uint8_t looped = 0;
    uint32_t loopFrame = 0;
    uint8_t playing = 0;
    float time = 0.0f;
    uint8_t paused = 0;
    float speed = 1.0f;
};

class CJaSeqPlayer : public CJaTimedPlayer {
public:
    // Every joint undriven, no track.
    explicit CJaSeqPlayer(uint32_t jointCount);

    // Advances the clock, then finds the frame pair and fraction, the root
    // delta (across a wrap: v(duration) - v(previous) + v(time)) and the
    // events crossed, in frame order.
    void Update() override;
    void GetJointKey(CGeJointKey& key, uint32_t joint) const override;
    const char* GetEventName(int32_t frame) const override;

    // Binds a track (null unbinds). Refused with a log line, keeping the
    // bound track: more joints than the skeleton, or no frames. Joint-map
    // entries beyond the skeleton are skipped with a log line. Binding
    // another track rewinds to time 0 without playing; binding the same one
    // keeps time and maps.
    void SetKeySequence(CGeJointsKeySequence* track);
    // Jumps to a frame (clamped into the track): time, frames and fraction
    // follow; nothing without a track.
    void SetFrame(int32_t frame);

    CGeJointsKeySequence* sequence = nullptr;
    CGeArray<int32_t> savedJointMap;
    uint32_t currentFrame = 0;
    uint32_t nextFrame = 0;
    float fraction = 0.0f;
};
