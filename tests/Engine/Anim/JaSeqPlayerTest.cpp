// The sequence player on a driven clock: hand-computed lerp and slerp, frame
// pairs, fractions, root deltas across wraps and the notifications each
// update queues, and the refusals of SetKeySequence.
#include "Engine/Anim/JaPlayer.h"
#include "Engine/Core/Common/GeLog.h"
#include "tools/animwrite/AnimWriter.h"
#include "tests/Engine/Core/Gm/MeshFixtures.h"
#include "tests/Engine/Anim/AnimTestTimer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace animwrite;
using meshfixture::FileOver;

namespace {

CGeJointsKeySequence* Track(const TrackSpec& spec)
{
    CGeJointsKeySequence* track = new CGeJointsKeySequence();
    const Bytes bytes = WriteGeat(spec);
    EXPECT_TRUE(LoadJointsAnimTrack(*track, FileOver("t.geat", bytes)));
    return track;
}

std::vector<int32_t> Pending(const CJaPlayer& player)
{
    return std::vector<int32_t>(player.notifications, player.notifications + player.notificationCount);
}

} // namespace

TEST(JaLerp, ClampsAndInterpolates)
{
    const Vec3 a = {1, 2, 3}, b = {3, -2, 7};
    const struct {
        float t;
        Vec3 expected;
    } table[] = {
        {-0.5f, {1, 2, 3}}, {0.0f, {1, 2, 3}}, {0.25f, {1.5f, 1, 4}}, {1.0f, {3, -2, 7}}, {1.5f, {3, -2, 7}},
    };
    for (const auto& row : table) {
        const Vec3 r = JaLerp(a, b, row.t);
        EXPECT_EQ(r.x, row.expected.x) << row.t;
        EXPECT_EQ(r.y, row.expected.y) << row.t;
        EXPECT_EQ(r.z, row.expected.z) << row.t;
    }
}

TEST(JaSlerp, HandComputedRotations)
{
    const Quat identity = {0, 0, 0, 1};
    const Quat quarterZ = {0, 0, 0.70710678f, 0.70710678f};
    const Quat half = JaSlerp(identity, quarterZ, 0.5f);
    EXPECT_NEAR(half.x, 0.0f, 1e-7f);
    EXPECT_NEAR(half.z, 0.3826834f, 1e-6f);
    EXPECT_NEAR(half.w, 0.9238795f, 1e-6f);
    // The opposite sign of the same rotation takes the short way: the same.
    const Quat negated = {-0.0f, -0.0f, -0.70710678f, -0.70710678f};
    const Quat viaNegated = JaSlerp(identity, negated, 0.5f);
    EXPECT_NEAR(viaNegated.z, 0.3826834f, 1e-6f);
    EXPECT_NEAR(viaNegated.w, 0.9238795f, 1e-6f);
    // Nearly equal keys fall back to a plain lerp (not renormalised).
    const Quat a = {0, 0, 0, 1}, b = {0.0001f, 0, 0, 1};
    const Quat near = JaSlerp(a, b, 0.25f);
    EXPECT_FLOAT_EQ(near.x, 0.75f * 0.0f + 0.25f * 0.0001f);
    EXPECT_FLOAT_EQ(near.w, 1.0f);
    // Equal keys give the second exactly; the ends give the keys themselves.
    const Quat odd = {0.1f, 0.2f, 0.3f, 0.9f};
    const Quat same = JaSlerp(odd, odd, 0.3f);
    EXPECT_EQ(same.x, odd.x);
    EXPECT_EQ(same.w, odd.w);
    EXPECT_EQ(JaSlerp(odd, identity, -1.0f).x, odd.x);
    EXPECT_EQ(JaSlerp(odd, identity, 2.0f).w, 1.0f);
}

TEST(CJaSeqPlayer, DrivenClockTable)
{
    // Ten frames at 10 per second (duration 0.9), root x = frame.
    struct Row {
        const char* what;
        uint8_t looped;
        uint32_t loopFrame;
        std::vector<int> eventFrames;
        float start;
        std::vector<float> deltas;
        uint32_t current, next;
        float fraction, rootDelta, time;
        std::vector<int32_t> notifications;
    };
    const Row rows[] = {
        {"loop wraps to 0.05: frame 0 follows 9, its event reported",
         1,
         0,
         {0},
         0.85f,
         {0.1f},
         0,
         1,
         0.5f,
         1.0f,
         0.05f,
         {0}},
        {"event on frame 0 not reported at the first update", 1, 0, {0, 1}, 0.0f, {0.1f}, 1, 2, 0.0f, 1.0f, 0.1f, {1}},
        {"halfway between frames 8 and 9", 1, 0, {}, 0.0f, {0.85f}, 8, 9, 0.5f, 8.5f, 0.85f, {}},
        {"not looped: the end holds the last frame, -1 once",
         0,
         0,
         {},
         0.8f,
         {0.3f, 0.3f},
         9,
         9,
         0.0f,
         0.0f,
         0.9f,
         {-1}},
        {"loop frame 5: resumes at 0.5, root delta across the wrap",
         1,
         5,
         {},
         0.8f,
         {0.2f},
         6,
         7,
         0.0f,
         7.0f,
         0.6f,
         {}},
        {"two events in one update, in frame order", 0, 0, {3, 5}, 0.0f, {0.55f}, 5, 6, 0.5f, 5.5f, 0.55f, {3, 5}},
        {"loop frame at the end resumes at the end", 1, 9, {}, 0.8f, {0.3f}, 9, 0, 0.0f, 1.0f, 0.9f, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TrackSpec spec = MakeTrack(10, 1);
        spec.looped = row.looped;
        spec.loopFrame = row.loopFrame;
        spec.events.assign(10, nullptr);
        for (int f : row.eventFrames)
            spec.events[f] = "e";
        CGeJointsKeySequence* track = Track(spec);
        AnimTestTimer timer;
        CJaSeqPlayer player(1);
        player.SetKeySequence(track);
        player.Play();
        player.SetTime(row.start);
        timer.SetDelta(0.0f);
        player.Update();
        player.ClearNotifications();
        std::vector<int32_t> seen;
        for (float delta : row.deltas) {
            timer.SetDelta(delta);
            player.Update();
            const std::vector<int32_t> pending = Pending(player);
            seen.insert(seen.end(), pending.begin(), pending.end());
            player.ClearNotifications();
        }
        EXPECT_NEAR(player.time, row.time, 1e-5f);
        EXPECT_EQ(player.currentFrame, row.current);
        EXPECT_EQ(player.nextFrame, row.next);
        EXPECT_NEAR(player.fraction, row.fraction, 1e-4f);
        EXPECT_NEAR(player.rootDelta.x, row.rootDelta, 1e-4f);
        EXPECT_EQ(seen, row.notifications);
        track->Release();
    }
}

TEST(CJaSeqPlayer, KeysFollowTheFramePairAndUndrivenJointsAreIdentity)
{
    AnimTestTimer timer;
    TrackSpec spec = MakeTrack(3, 2);
    spec.jointsInfo = {3, 1};
    CGeJointsKeySequence* track = new CGeJointsKeySequence();
    ASSERT_TRUE(LoadJointsAnimTrack(*track, FileOver("t.xml", FromText(WriteTrackXml(spec)))));
    CJaSeqPlayer player(4);
    player.SetKeySequence(track);
    EXPECT_EQ(player.jointMap[3], 0);
    EXPECT_EQ(player.jointMap[1], 1);
    EXPECT_EQ(player.jointMap[0], -1);
    player.Play();
    timer.SetDelta(0.15f);
    player.Update();
    CGeJointKey key;
    player.GetJointKey(key, 1); // track joint 1: position (f, 1, 0) at f = 1.5
    EXPECT_NEAR(key.position.x, 1.5f, 1e-5f);
    EXPECT_NEAR(key.position.y, 1.0f, 1e-6f);
    player.GetJointKey(key, 0);
    EXPECT_EQ(key.position.x, 0.0f);
    EXPECT_EQ(key.rotation.w, 1.0f);
    player.GetJointKey(key, 99);
    EXPECT_EQ(key.rotation.w, 1.0f);

    // SetFrame clamps; beyond the end the next frame is 0.
    player.SetFrame(-3);
    EXPECT_EQ(player.currentFrame, 0u);
    EXPECT_EQ(player.time, 0.0f);
    player.SetFrame(7);
    EXPECT_EQ(player.currentFrame, 2u);
    EXPECT_EQ(player.nextFrame, 0u);
    EXPECT_FLOAT_EQ(player.time, 0.2f);
    EXPECT_EQ(player.fraction, 0.0f);

    // Binding the same track again keeps time and maps.
    player.SetKeySequence(track);
    EXPECT_FLOAT_EQ(player.time, 0.2f);
    track->Release();
}

TEST(CJaSeqPlayer, RefusedBindingsKeepTheTrack)
{
    CGeJointsKeySequence* good = Track(MakeTrack(3, 2));
    CJaSeqPlayer player(2);
    player.SetKeySequence(good);

    CGeJointsKeySequence* tooMany = Track(MakeTrack(3, 3));
    GeLogClearLast();
    player.SetKeySequence(tooMany);
    EXPECT_EQ(player.sequence, good);
    EXPECT_NE(std::string(GeLogLastMessage().c_str()).find("Joints count in skelet"), std::string::npos);

    CGeJointsKeySequence empty;
    GeLogClearLast();
    player.SetKeySequence(&empty);
    EXPECT_EQ(player.sequence, good);
    EXPECT_EQ(GeLogLastLevel(), 2);

    // A map entry beyond the skeleton is skipped with a log line.
    TrackSpec far = MakeTrack(2, 2);
    far.jointsInfo = {0, 40};
    CGeJointsKeySequence farTrack;
    ASSERT_TRUE(LoadJointsAnimTrack(farTrack, FileOver("f.xml", FromText(WriteTrackXml(far)))));
    GeLogClearLast();
    player.SetKeySequence(&farTrack);
    EXPECT_EQ(player.sequence, &farTrack);
    EXPECT_EQ(player.jointMap[0], 0);
    EXPECT_EQ(player.jointMap[1], -1);
    EXPECT_NE(std::string(GeLogLastMessage().c_str()).find("beyond the skeleton"), std::string::npos);
    player.SetKeySequence(nullptr);
    EXPECT_EQ(player.sequence, nullptr);
    good->Release();
    tooMany->Release();
}

TEST(CJaSeqPlayer, DurationZeroHoldsTimeAndOverflowingNotificationsAreDropped)
{
    AnimTestTimer timer;
    TrackSpec single = MakeTrack(1, 1);
    single.looped = 1;
    CGeJointsKeySequence* track = Track(single);
    CJaSeqPlayer player(1);
    player.SetKeySequence(track);
    player.Play();
    timer.SetDelta(0.3f);
    player.Update();
    EXPECT_EQ(player.time, 0.0f);
    EXPECT_EQ(player.currentFrame, 0u);
    track->Release();

    // 40 events crossed at once: 32 kept, the rest dropped with a log line.
    TrackSpec busy = MakeTrack(50, 1, 100.0f);
    busy.events.assign(50, "e");
    CGeJointsKeySequence* busyTrack = Track(busy);
    CJaSeqPlayer many(1);
    many.SetKeySequence(busyTrack);
    many.Play();
    GeLogClearLast();
    timer.SetDelta(0.405f);
    many.Update();
    EXPECT_EQ(many.notificationCount, 32u);
    EXPECT_EQ(many.notifications[31], 32);
    EXPECT_NE(std::string(GeLogLastMessage().c_str()).find("dropped"), std::string::npos);
    busyTrack->Release();
}
