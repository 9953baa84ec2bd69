// The walker property (slot 2): the legs of a character that the motion
// controller carries along a path. It picks the gait track for the slope
// ahead (walk, run, walk up, walk down), feeds the root displacement of the
// playing track back to the motion controller as its speed, so that feet and
// ground agree, plays footsteps for the ground's surface on the sound
// source's "legs" slot, and fires "<location>_stop_moving" (entity name) at
// the end of every walk.
//
// It starts disabled; event 1000 (a walk starts) switches it on when the gait
// changes, event 1001 (the walk stopped) stops the gait track, queues the
// return to the standing track on the animation controller's last channel
// and switches it off.
//
// Choices:
// - A frame time of 0 or less (time scale 0) keeps the previous speed
//   instead of dividing by it.
// - The animation and motion controllers are taken at construction and
//   taken again from their slots before each use, so the element order of
//   the file does not matter and a replaced controller never dangles.
// - Footsteps are owned by the current location, so they go with it.
#pragma once

#include "Engine/Anim/JaAnimController.h"
#include "Source/GameClasses/QmEntity.h"

#include <array>
#include <map>
#include <string>
#include <vector>

class CGeJointsKeySequence;
class CQmPropAnimController;
class CQmPropMotionController;
class TiXmlElement;

enum QmGait : int32_t {
    kQmGaitWalk = 0,
    kQmGaitWalkUp = 1,
    kQmGaitWalkDown = 2,
    kQmGaitRun = 3,
    kQmGaitTurn = 4, // loaded only
    kQmGaitStanding = 5,
};
constexpr uint32_t kQmGaitCount = 5;
constexpr uint32_t kQmSurfaceCount = 15;

// Ground surfaces by the index a walk-grid cell stores.
extern const char* const g_qmSurfaceNames[kQmSurfaceCount];

class CQmPropWalker : public CQmProp, public CJaChainCallbackClient {
public:
    static constexpr float kSlopeDirection = 0.5f; // vertical share of the movement that means a slope
    static constexpr float kGentleRise = 20.0f;    // below: the requested gait
    static constexpr float kSteepRise = 50.0f;     // above: the slope gaits

    explicit CQmPropWalker(CQmEntity* owner);
    ~CQmPropWalker() override;

    // The five gait children and the footstep commands of a "walker" element.
    void LoadFromXML(const TiXmlElement* element);

    void Update() override;
    void OnEvent(uint32_t code) override;
    void Callback(CJaSeqPlayer* player, uint32_t channel, int32_t notification) override;
    // Starts gait g's track on joint channel 0 unless g already plays.
    void SetGait(int32_t g);

    CQmPropAnimController* animController = nullptr;
    CQmPropMotionController* motionController = nullptr;
    CGeJointsKeySequence* gaitSequences[kQmGaitCount] = {};
    int32_t gait = kQmGaitStanding;
    float blendTime = 0.25f;
    int32_t requestedGait = kQmGaitWalk;
    // Animation-command name -> one list of sample names per surface.
    std::map<std::string, std::array<std::vector<std::string>, kQmSurfaceCount>> stepSounds;

private:
    // Takes the controllers from their slots where none is held yet.
    void Bind();
    CJaAnimController* Joints() const;

    bool m_registered = false;
};

// The reader of "walker".
void LoadProperty_Walker(CQmEntity& entity, const TiXmlElement* element);
