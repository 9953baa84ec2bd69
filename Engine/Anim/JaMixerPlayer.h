// Players that combine other players, which they do not own.
//
// CJaBlendPlayer cross-fades from one player to another over its duration:
// weight time / duration (1 for a duration of 0), positions lerped and
// rotations slerped, root delta lerped likewise; at the end it stops and
// queues -2 once. It drives a joint only where both players do.
//
// CJaMixerPlayer layers a list of players onto an output pose player: first
// every joint some input drives is reset to the identity, then each input in
// list order adds its position and multiplies its rotation on the right
// (output x input). Joints no input drives keep their previous key. The list
// nodes come from the mixer's own pool, so adding and removing players every
// frame allocates nothing once the pool has grown. The mixer neither
// advances nor updates its inputs.
#pragma once

#include "Engine/Anim/JaPlayer.h"
#include "Engine/Core/Common/GePoolList.h"

class CJaBlendPlayer : public CJaTimedPlayer {
public:
    CJaBlendPlayer(const CJaPlayer* from, const CJaPlayer* to, float duration);

    void Update() override;
    void GetJointKey(CGeJointKey& key, uint32_t joint) const override;
    // Not playing; queues the end of the blend (-2).
    void Stop() override;
    // Stores the time as given.
    void SetTime(float seconds) override { time = seconds; }
    float Weight() const;

    const CJaPlayer* from = nullptr;
    const CJaPlayer* to = nullptr;
};

class CJaMixerPlayer : public CJaPlayer {
public:
    explicit CJaMixerPlayer(CJaPosePlayer* output);

    void Update() override;
    void GetJointKey(CGeJointKey& key, uint32_t joint) const override;

    // A player already in the list is not added again.
    void AddPlayer(CJaPlayer* player);
    // A player not in the list is ignored.
    void RemovePlayer(CJaPlayer* player);
    bool Contains(const CJaPlayer* player) const;

    CJaPosePlayer* output = nullptr;
    CGePoolList<CJaPlayer*> inputs;
};
