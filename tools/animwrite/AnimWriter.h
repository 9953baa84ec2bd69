// Writers of animation files, shared by the sceneview tool (its skinned bar's
// skeleton and looping track), the animation tests, their fuzz seeds and the
// animation benchmark: ".geat" tracks of both versions, the same tracks as
// "ge_mesh_anim_track" XML, and GE_MESH skeleton XML. Skeletons in ".gemesh"
// files come from the mesh test writer, whose joint record is SkeletonJoint.
#pragma once

#include "Engine/Anim/GeJointsKeySequence.h"
#include "tools/animwrite/SkeletonJoint.h"

#include <cstdint>
#include <string>
#include <vector>

namespace animwrite {

using Bytes = std::vector<uint8_t>;

struct TrackSpec {
    float rate = 10.0f;
    uint8_t looped = 0;
    uint32_t loopFrame = 0;
    uint32_t joints = 1;
    std::vector<CGeJointKey> keys;   // frames x joints, frame-major
    std::vector<Vec3> root;          // one per frame: the frame count
    std::vector<const char*> events; // one per frame or empty; null = no event
    std::vector<int> jointsInfo;     // XML only: written as joints_info when not empty

    uint32_t Frames() const { return uint32_t(root.size()); }
};

// A track of frames x joints whose joint j in frame f sits at (f, j, 0),
// turned f x 10 degrees about z, with root translation (f, 0, 0).
TrackSpec MakeTrack(uint32_t frames, uint32_t joints, float rate = 10.0f);

// Header (37 bytes), keys from 0x25, frame records, event-name block.
// Version 2 names are the events back to back; version 1 writes a flag.
Bytes WriteGeat(const TrackSpec& spec, uint32_t version = 2);
std::string WriteTrackXml(const TrackSpec& spec);
// GE_MESH Type="SKELETAL" with one GE_JOINTS_HIERARCHY.
std::string WriteSkeletonXml(const std::vector<SkeletonJoint>& joints);

// A ".gemesh" skeleton of a chain: joint i at (0, 1, 0) from its parent, in
// the stored order given (parents as indices into that order).
std::vector<SkeletonJoint> MakeChain(uint32_t count);

Bytes FromText(const std::string& text);

} // namespace animwrite
