// One joint of a skeleton as the skeleton writers take it: its place and turn
// relative to its parent (a unit quaternion x, y, z, w) and the parent's index
// in the written order, -1 for the root. Plain data with no dependency, so the
// ".gemesh" writer and the skeleton-XML writer share it.
#pragma once

#include <cstdint>

struct SkeletonJoint {
    float position[3] = {0, 0, 0};
    float rotation[4] = {0, 0, 0, 1};
    int32_t parent = -1;
};
