// The physics step: once per frame, cuts the frame time into fixed sub-steps
// and in each advances every cloth of the cloth world against the obstacles
// of the collision world. Nothing else is integrated. A step allocates nothing.
#pragma once

#include <cstdint>

// The sub-step length the game passes.
constexpr float kPhysicsSubStep = 0.005f;

// More sub-steps than this in one frame are never taken: a smaller h makes
// the steps longer instead.
constexpr uint32_t kMaxPhysicsSubSteps = 1000;

// dt is clamped to 0.5 s. An h not below dt gives one sub-step of dt; else
// floor(dt / h) sub-steps of h and one of the single-precision rest when it is
// positive. A dt that is negative or not a number steps nothing; an h that is
// not positive or not a number gives one sub-step of dt. The frame's winds and
// external forces are cleared in every case.
void PhysicsStep(float dt, float h);

// One sub-step of length h for every cloth of the cloth world.
void ClothSubStep(float h);

// Drops every cloth's winds and external forces.
void ClearClothAccumulators();
