// A joint-animation track: for every frame one key (position and rotation)
// per animated joint, the root translation as a polyline curve over time, and
// an optional named event. Tracks are read once from a binary ".geat" file
// (versions 1 and 2) or a "ge_mesh_anim_track" XML file and never change
// afterwards; sequence players read the fields directly.
//
// The readers check everything against the file before they trust it: a
// ".geat" header whose key block, frame records or event-name block reach
// past the file, a last frame index of 0xFFFFFFFF (no frame count fits), an
// XML track whose keys are not frames x joints or whose joint map has another
// length, and a frame rate that is not a finite positive number are refused
// with a log line, leaving duration 0. An event name offset outside the name
// block (or with no terminator inside it) is no event.
#pragma once

#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeCurve.h"
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeString.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmGpuResource.h"
#include "Engine/Core/Gm/GmSkeleton.h"

#include <cstdint>

// The key record of tracks and players: position, a float nothing reads,
// rotation quaternion x, y, z, w. The identity is position 0, rotation
// (0, 0, 0, 1).
using CGeJointKey = GmJointKey;

// The ".geat" file id, "GEMT".
constexpr uint32_t kGeatSignature = 0x544D4547;
// Header bytes up to and with the unaligned loop frame at 0x21.
constexpr uint32_t kGeatHeaderBytes = 0x25;
// Bytes of one stored key, and of one frame record per version.
constexpr uint32_t kGeatKeyBytes = 28;
constexpr uint32_t kGeatFrameBytesV1 = 13;
constexpr uint32_t kGeatFrameBytesV2 = 16;

class CGeJointsKeySequence : public CGeResource {
public:
    CGeJointsKeySequence();

    bool CreateFromBinary(const CGeFileData& file);
    bool CreateFromXml(const CGeFileData& file);

    uint32_t FrameCount() const { return frameEvents.Count(); }
    // The key of track joint j in frame f (both inside the track).
    const CGeJointKey& Key(uint32_t frame, uint32_t joint) const { return keys[frame * jointCount + joint]; }
    // The event name of a frame, or null when the frame is outside the track
    // or has none.
    const char* EventName(int32_t frame) const;

    float frameRate = 0.0f;
    float duration = 0.0f;
    uint8_t looped = 0;
    uint32_t loopFrame = 0;
    CGeString name;
    CGeArray<CGeJointKey> keys;
    idCurve_PolyLine<Vec3> rootCurve;
    CGeArray<int32_t> frameEvents;
    uint32_t jointCount = 0;
    CGeArray<uint16_t> jointMap;
    CGeArray<uint8_t> eventNames;

private:
    // Empties everything a reader fills and marks the track unusable.
    void Fail();
};

// Reads a whole file into the track by its extension ("geat" binary, "xml"
// XML, any case); the track takes the file's base name in every case. False
// when the file is empty, of another kind, or refused.
bool LoadJointsAnimTrack(CGeJointsKeySequence& track, const CGeFileData& file);
