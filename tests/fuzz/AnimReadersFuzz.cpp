#include "tests/fuzz/AnimReadersFuzz.h"

#include "Engine/Anim/GeJointsKeySequence.h"
#include "Engine/Anim/GmMeshResource.h"
#include "Engine/Anim/JaPlayer.h"
#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Common/GeTimer.h"

#include <cmath>
#include <cstring>

namespace {

const char* const kPaths[4] = {"fuzz.geat", "fuzz.xml", "fuzz.gemesh", "fuzz.xml"};

void CheckTrack(const CGeJointsKeySequence& track, FuzzOutcome& outcome)
{
    const uint32_t frames = track.FrameCount();
    FUZZ_EXPECT(outcome, std::isfinite(track.frameRate) && track.frameRate > 0.0f);
    FUZZ_EXPECT(outcome, frames > 0);
    FUZZ_EXPECT(outcome, uint64_t(track.keys.Count()) >= uint64_t(frames) * track.jointCount);
    FUZZ_EXPECT(outcome, track.rootCurve.GetNumValues() == frames);
    FUZZ_EXPECT(outcome, track.jointMap.Count() == track.jointCount);
    for (uint32_t f = 0; f < frames; ++f) {
        const int32_t offset = track.frameEvents[f];
        if (offset == -1)
            continue;
        FUZZ_EXPECT(outcome, offset >= 0 && uint32_t(offset) < track.eventNames.Count());
        if (offset >= 0 && uint32_t(offset) < track.eventNames.Count())
            FUZZ_EXPECT(outcome, std::memchr(track.eventNames.data + offset, 0,
                                             track.eventNames.Count() - uint32_t(offset)) != nullptr);
    }
}

void PlayTrack(CGeJointsKeySequence& track, FuzzOutcome& outcome)
{
    CGeTimer timer(25.0f);
    CGeTimer* previous = g_geTimer;
    g_geTimer = &timer;
    uint32_t joints = track.jointCount;
    for (uint16_t j : track.jointMap)
        joints = j + 1u > joints ? j + 1u : joints;
    if (joints > 1024)
        joints = 1024; // a map entry far beyond: skipped when bound
    CJaSeqPlayer player(joints);
    player.SetKeySequence(&track);
    FUZZ_EXPECT(outcome, player.sequence == &track || track.jointCount > joints);
    player.Play();
    const float deltas[] = {0.0f, 0.016f, 0.25f, 0.5f, 0.5f};
    for (float delta : deltas) {
        timer.delta = delta;
        player.Update();
        FUZZ_EXPECT(outcome, player.time >= 0.0f && !(player.time > track.duration));
        FUZZ_EXPECT(outcome, player.notificationCount <= CJaPlayer::kMaxNotifications);
        FUZZ_EXPECT(outcome, player.currentFrame < track.FrameCount() && player.nextFrame < track.FrameCount());
        CGeJointKey key;
        for (uint32_t j = 0; j < joints; ++j)
            player.GetJointKey(key, j);
        for (uint32_t n = 0; n < player.notificationCount; ++n)
            FUZZ_EXPECT(outcome,
                        player.GetEventName(player.notifications[n]) != nullptr || player.notifications[n] < 0);
        player.ClearNotifications();
    }
    g_geTimer = previous;
}

void CheckSkeleton(CGmMeshResource& skeleton, FuzzOutcome& outcome)
{
    const uint32_t n = skeleton.JointCount();
    FUZZ_EXPECT(outcome, n > 0);
    FUZZ_EXPECT(outcome, skeleton.world.Count() == n && skeleton.inverseBind.Count() == n);
    if (n)
        FUZZ_EXPECT(outcome, skeleton.joints[0].parent == 0);
    for (uint32_t i = 1; i < n; ++i)
        FUZZ_EXPECT(outcome, skeleton.joints[i].parent < i);
    CJaPosePlayer pose(n > 4096 ? 4096 : n);
    skeleton.SetPose(pose);
    FUZZ_EXPECT(outcome, skeleton.dirty == 0);
    for (uint32_t j = 0; j <= n && j < 4096; ++j)
        skeleton.SkinningMatrix(j);
}

} // namespace

FuzzOutcome RunAnimReadersFuzz(const uint8_t* data, size_t size)
{
    if (!g_pGeCpuInfo)
        GeCpuProbeCreate();
    if (!g_pGeSimd)
        GeSimdCreate();
    FuzzOutcome outcome;
    if (size == 0)
        return outcome;
    const uint32_t reader = data[0] % 4;
    CGeFileData file;
    file.path = kPaths[reader];
    file.data = const_cast<uint8_t*>(data + 1);
    file.size = uint32_t(size - 1);
    if (reader < 2) {
        CGeJointsKeySequence* track = new CGeJointsKeySequence();
        outcome.taken = LoadJointsAnimTrack(*track, file);
        if (outcome.taken) {
            CheckTrack(*track, outcome);
            if (outcome.faults == 0)
                PlayTrack(*track, outcome);
        } else {
            FUZZ_EXPECT(outcome, track->duration == 0.0f);
        }
        FUZZ_EXPECT(outcome, track->name == "fuzz");
        track->Release();
    } else {
        CGmMeshResource* skeleton = new CGmMeshResource();
        outcome.taken = LoadGeMesh(*skeleton, file);
        if (outcome.taken)
            CheckSkeleton(*skeleton, outcome);
        else
            FUZZ_EXPECT(outcome, skeleton->JointCount() == 0);
        skeleton->Release();
    }
    return outcome;
}

int FuzzAnimReaders(const uint8_t* data, size_t size)
{
    return FuzzVerdict(RunAnimReadersFuzz(data, size), "AnimReadersFuzz.cpp");
}
