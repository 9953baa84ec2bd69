// The motion controller property (slot 3): carries its entity along a path
// found on the current walk grid. MoveTo plans the path and starts the walk;
// each frame Update advances by the speed the walker feeds back from the legs
// animation (velocity.x, units per second), keeps the entity on the grid's
// floor, turns it toward the start of the path at 2.5 pi radians a second
// and then along the path. Event 1000 goes to the entity's properties on
// every start, event 1001 on every change into stopped.
//
// Yaw convention (shared with the actor): the heading angle of a horizontal
// unit direction (x, z) is -acos(x) for z >= 0 and +acos(x) for z < 0, x
// clamped to [-1, 1]; the entity's frame turns by (0, yaw, 0).
//
// Choices:
// - A request while no walk grid is current fails like an unreachable goal
//   instead of reading a missing grid.
// - A heading that has no horizontal part (an entity turned to face straight
//   up or down) counts as facing along the path.
#pragma once

#include "Engine/Core/Common/GeMath.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmWalkPath.h"

#include <cstdint>

class TiXmlElement;

// The heading angle of a horizontal direction, by the yaw convention above.
float QmHeadingAngle(const Vec3& direction);

class CQmPropMotionController : public CQmProp {
public:
    static constexpr uint32_t kTypeId = 12;
    // The turn toward the path's start, radians a second.
    static constexpr float kTurnRate = 7.8539815f;
    // The height sampling ahead of the walker and the debug drawing.
    static constexpr float kLookAhead = 100.0f;
    static constexpr float kLookStep = 10.0f;

    explicit CQmPropMotionController(CQmEntity* owner);

    // Plans a path to goal on the current walk grid and starts walking it;
    // false (stopped, event 1001 when it was moving) when no path is found
    // or the path is longer than the game processor's walk-length limit.
    bool MoveTo(const Vec3& goal);
    // Disables; a moving controller becomes stopped and sends event 1001.
    void Stop();
    void Update() override;
    // The walk-grid heights at the current distance and every step up to
    // lookAhead beyond it: lowest, highest and the current one (all 1e30 for
    // an empty path).
    void SampleHeightsAhead(float lookAhead, float step, float& lowest, float& highest, float& current) const;
    // The path, boxes along it and the sampled heights, in debug lines.
    void DrawPath() const;

    Vec3 velocity = {1.0f, 0.0f, 0.0f};
    Vec3 goal = {0.0f, 0.0f, 0.0f};
    Vec3 pathDir = {1.0f, 0.0f, 0.0f};
    Vec3 moveDir = {0.0f, 0.0f, 0.0f};
    uint8_t stopped = 1;
    CQmWalkPath path;
    float distance = 0.0f;
    uint8_t turning = 0;
    Vec3 heading = {1.0f, 0.0f, 0.0f};
    float turnSign = 1.0f;

private:
    // Ends a failed request: unless stopped, disable, stop and send 1001.
    bool Fail();
    // The grid's floor under a point, or fallback where it has none.
    static float FloorAt(const Vec3& point, float fallback);
};

// The reader of "motion_controller" (no attributes).
void LoadProperty_MotionController(CQmEntity& entity, const TiXmlElement* element);
