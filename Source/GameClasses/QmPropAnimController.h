// The animation controller property (slot 1): the skeletal animation of one
// skinned visual of the entity. It owns the joint controller for that
// visual's skeleton, keeps two channel queues of tracks to play next and two
// default tracks to fall back to, can move the entity by the root
// displacement of a track, and tells the scripts when a track ends.
//
// Property channel k plays on joint channel k, except the last property
// channel, which drives joint channel 0: scripts and the walker's stop queue
// on the last channel to return the figure to its standing track. A queue
// entry starts when its joint channel's player is idle; an entry without a
// track starts the channel's default track.
//
// At every track end the property fires "<location>_animation_end" and then
// "on_animation_end" (entity name, track name), switches root motion off when
// the end is on the root-motion channel, and posts message 1004 (sender: the
// property) for the next dispatch pass.
//
// Choices:
// - Without a skeleton (no visual object, no such visual, a visual without
//   one) the property has no joint controller and every operation is a no-op.
// - The skeleton is the visual's own copy: the property poses it each frame,
//   so the visual's skinning sees the new pose in the same frame.
// - Messages go through the program-wide dispatcher; the destructor purges
//   the ones still pending, so no message names a freed sender.
#pragma once

#include "Engine/Anim/JaAnimController.h"
#include "Engine/Core/Common/GePoolList.h"
#include "Source/GameClasses/QmEntity.h"

#include <cstdint>

class CGeJointsKeySequence;
class CGmMeshResource;
class CGmScenicMesh;
class TiXmlElement;

// Posted by the animation controller when a track ended.
constexpr uint32_t kQmMsgAnimationEnded = 1004;

struct QmAnimQueueEntry {
    CGeJointsKeySequence* sequence = nullptr; // null: the channel's default track
    float time = 0.0f;                        // the transition time
};

class CQmPropAnimController : public CQmProp, public CJaChainCallbackClient {
public:
    static constexpr uint32_t kChannels = 2;
    static constexpr float kDefaultBlend = 0.25f;

    CQmPropAnimController(CQmEntity* owner, uint32_t visualIndex);
    ~CQmPropAnimController() override;

    // Appends {sequence, time} to a channel's queue; -1 is the last channel.
    // Other channels outside 0..1 are ignored.
    void QueueSequence(int32_t channel, CGeJointsKeySequence* sequence, float time);
    void ClearQueues();
    // Back to the default tracks: the last default alone on joint channel 0
    // (blend channels cleared) when it is set, else each channel's default
    // bound and restarted. A negative time counts as 0.
    void PlaySequence(float time);

    void Update() override;
    void Callback(CJaSeqPlayer* player, uint32_t channel, int32_t notification) override;

    // The joint channel a property channel plays on.
    static uint32_t JointChannelOf(uint32_t channel) { return channel + 1 == kChannels ? 0 : channel; }

    uint32_t visualIndex;
    CQmPropVisualObject* visualObject = nullptr;
    CGmScenicMesh* visual = nullptr;
    CGmMeshResource* skeleton = nullptr; // the visual's copy, not owned
    CJaAnimController* jointController = nullptr;
    CGeJointsKeySequence* defaultSequences[kChannels] = {};
    CGePoolList<QmAnimQueueEntry> queues[kChannels];
    uint8_t rootMotion = 0;
    int32_t rootMotionChannel = -1;
    // Set by the mini-games when they start a track of their own (the flag
    // to 1, the counter to 0); nothing in the property reads them.
    uint8_t playing = 0;
    uint32_t playCounter = 0;

private:
    void ApplyPose();
};

// Plays the entity's track of that name on joint channel 0 at once, blending
// over blendTime seconds, after emptying the property's queues, and marks the
// property playing. The mini-games move their figures with it. False (with a
// level-2 log line) when the entity has no joint controller or no such track;
// nothing changes then.
bool PlayHeroTrack(CQmEntity* entity, const char* track, float blendTime);

// The readers of "anim_controller" and "ja_controller".
void LoadProperty_AnimController(CQmEntity& entity, const TiXmlElement* element);
void LoadProperty_JaController(CQmEntity& entity, const TiXmlElement* element);

// The current location's name, or the empty text; events are formed with it.
const char* QmCurrentLocationName();
