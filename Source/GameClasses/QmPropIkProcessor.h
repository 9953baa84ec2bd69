// The look-at processor (slot 5): turns a character's head toward a point.
//
// It works on one bone, the head bone of the skeleton the animation
// controller (slot 1) poses, after the frame's animation pose is in place
// (slot 5 updates after slot 1). Two rotations are added to the bone's
// animated rotation: a vertical one about the bone's local y axis and a
// horizontal one about its local x axis, each limited to its range and moved
// toward its goal at a speed taken from a table by the distance left, so that
// both axes arrive together. The head looks along its local z axis: the goals
// are computed from the target expressed in the head bone's frame.
//
// The actor decides what to look at (LookAt every frame while the target is in
// view) and releases the head otherwise; a released head swings back to 0 and
// then the animation alone moves it.
//
// Choices:
// - When nothing has posed the skeleton since the last frame (no animation
//   controller running), the animated rotation is the one seen before the
//   look-at was first added, so the rotations are never stacked twice.
// - The bone's world matrix is taken in the entity's frame: the skinned
//   visual is assumed to sit at the entity's origin, as the figures do.
#pragma once

#include "Engine/Core/Common/GeMath.h"
#include "Source/GameClasses/QmEntity.h"

#include <cstdint>

class CGmMeshResource;
class CGmScenicMesh;
class TiXmlElement;

// One axis of the head's turn: limits, goal, angle and speed in radians.
struct QmIkAxis {
    float minAngle;
    float maxAngle;
    float goal = 0.0f;
    float angle = 0.0f;
    float sign = 0.0f;
    float defaultSpeed;
    float speed = 0.0f;
};

// A row of a speed table: below threshold radians left, speed radians a second.
struct QmIkSpeedStep {
    float threshold;
    float speed;
};

class CQmPropIkProcessor : public CQmProp {
public:
    static constexpr float kEpsilon = 1.1920929e-07f;
    static const QmIkSpeedStep kVerticalSpeeds[3];
    static const QmIkSpeedStep kHorizontalSpeeds[3];

    explicit CQmPropIkProcessor(CQmEntity* owner) : CQmProp(owner) {}

    // Takes the skeleton of the visual the animation controller drives and
    // the head bone; unbound (headBone -1) when any of them is missing.
    void BindSkeleton(int32_t boneIndex);
    // A new point to look at: the goals are computed at the next update.
    void LookAt(const Vec3& point);
    // Both goals 0: the head swings back to the animated pose.
    void Release();
    void Update() override;
    // The two speeds from the distances left, so both axes arrive together.
    void ChooseSpeeds();

    Vec3 target = {0.0f, 0.0f, 0.0f};
    int32_t headBone = -1;
    CGmScenicMesh* headVisual = nullptr;
    CGmMeshResource* skeleton = nullptr;
    uint8_t lookActive = 0;
    QmIkAxis vertical = {-0.2792527f, 0.6981317f, 0.0f, 0.0f, 0.0f, 3.1415927f, 0.0f};
    QmIkAxis horizontal = {-0.7853982f, 0.7853982f, 0.0f, 0.0f, 0.0f, 6.2831855f, 0.0f};
    uint8_t released = 0;

private:
    void ComputeGoals();

    // The head bone's rotation as the animation left it, and the one this
    // processor wrote last (to tell whether anything posed the bone since).
    Quat m_animated = {0.0f, 0.0f, 0.0f, 1.0f};
    Quat m_written = {0.0f, 0.0f, 0.0f, 1.0f};
    bool m_wrote = false;
};

// The reader of "ik_processor": "head_bone_index" (0 when missing).
void LoadProperty_IkProcessor(CQmEntity& entity, const TiXmlElement* element);
