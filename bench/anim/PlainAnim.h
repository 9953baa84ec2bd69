// The animation benchmark's references: the same maths as the engine's
// skeleton posing and the controller's cross-fade, written as plain loops
// over float arrays, built at -O2 as ordinary code would be.
#pragma once

#include <cstdint>
#include <vector>

// One skeleton: per joint position (3), rotation (4), parent; the inverse
// binds; the world and skinning matrices it computes (16 floats each).
struct PlainSkeleton {
    uint32_t joints = 0;
    std::vector<float> position, rotation;
    std::vector<uint32_t> parent;
    std::vector<float> inverseBind, world, skin;

    // Takes the pose (3 + 4 floats a joint), builds the world matrices in
    // parent order and the skinning matrices world x inverse bind.
    void Pose(const float* posePositions, const float* poseRotations);
};

// One cross-fade: the track's keys (frames x joints; 3 + 4 floats each), the
// pose it fades from, and the output.
struct PlainCrossFade {
    uint32_t joints = 0, frames = 0;
    float rate = 0.0f;
    std::vector<float> trackPosition, trackRotation;
    std::vector<float> fromPosition, fromRotation;
    std::vector<float> outPosition, outRotation;

    // Samples the track at time (looped), blends from the pose with weight w,
    // and writes the output as the mixer does (identity x key).
    void Frame(float time, float weight);
};
