// The mixer's two passes (positions added, rotations composed output first,
// in list order) and its list, and the blend player's weight and end.
#include "Engine/Anim/JaMixerPlayer.h"
#include "tests/Engine/Anim/AnimTestTimer.h"

#include <gtest/gtest.h>

namespace {

const float kS = 0.70710678f;

} // namespace

TEST(CJaMixerPlayer, AddsPositionsAndComposesRotationsInListOrder)
{
    // a: (1, 0, 0) and 90 degrees about z; b: (0, 2, 0) and 90 degrees
    // about x. Output first: a then b gives qa qb, b then a gives qb qa.
    CJaPosePlayer a(2), b(2);
    a.pose[0] = {{1, 0, 0}, 0, {0, 0, kS, kS}};
    b.pose[0] = {{0, 2, 0}, 0, {kS, 0, 0, kS}};
    b.jointMap[1] = -1;
    const struct {
        bool aFirst;
        Quat expected;
    } orders[] = {{true, {0.5f, 0.5f, 0.5f, 0.5f}}, {false, {0.5f, -0.5f, 0.5f, 0.5f}}};
    for (const auto& order : orders) {
        SCOPED_TRACE(order.aFirst ? "a, b" : "b, a");
        CJaPosePlayer output(3);
        output.pose[2].position = {7, 7, 7}; // driven by no input: kept
        CJaMixerPlayer mixer(&output);
        mixer.AddPlayer(order.aFirst ? static_cast<CJaPlayer*>(&a) : &b);
        mixer.AddPlayer(order.aFirst ? static_cast<CJaPlayer*>(&b) : &a);
        mixer.AddPlayer(&a); // already there: one node
        EXPECT_EQ(mixer.inputs.count, 2u);
        mixer.Update();
        CGeJointKey key;
        mixer.GetJointKey(key, 0);
        EXPECT_FLOAT_EQ(key.position.x, 1.0f);
        EXPECT_FLOAT_EQ(key.position.y, 2.0f);
        EXPECT_NEAR(key.rotation.x, order.expected.x, 1e-6f);
        EXPECT_NEAR(key.rotation.y, order.expected.y, 1e-6f);
        EXPECT_NEAR(key.rotation.z, order.expected.z, 1e-6f);
        EXPECT_NEAR(key.rotation.w, order.expected.w, 1e-6f);
        mixer.GetJointKey(key, 2);
        EXPECT_EQ(key.position.x, 7.0f);
        // Joint 1 is driven by a alone: its key, not added to a stale output.
        mixer.Update();
        mixer.GetJointKey(key, 1);
        EXPECT_EQ(key.position.x, 0.0f);
        EXPECT_EQ(key.rotation.w, 1.0f);
        mixer.RemovePlayer(&b);
        mixer.RemovePlayer(&b);
        EXPECT_EQ(mixer.inputs.count, 1u);
    }
}

TEST(CJaBlendPlayer, WeightsByTimeAndQueuesTheEndOnce)
{
    AnimTestTimer timer;
    CJaPosePlayer from(2), to(2);
    from.pose[0].position = {0, 0, 0};
    to.pose[0].position = {4, 0, 0};
    to.pose[0].rotation = {0, 0, kS, kS};
    to.jointMap[1] = -1;
    from.rootDelta = {1, 0, 0};
    to.rootDelta = {3, 0, 0};
    CJaBlendPlayer blend(&from, &to, 0.5f);
    EXPECT_EQ(blend.jointMap[0], 1);
    EXPECT_EQ(blend.jointMap[1], -1);
    blend.Play();
    timer.SetDelta(0.25f);
    blend.Update();
    CGeJointKey key;
    blend.GetJointKey(key, 0);
    EXPECT_FLOAT_EQ(key.position.x, 2.0f);
    EXPECT_NEAR(key.rotation.z, 0.3826834f, 1e-6f);
    EXPECT_FLOAT_EQ(blend.rootDelta.x, 2.0f);
    EXPECT_EQ(blend.notificationCount, 0u);
    timer.SetDelta(0.5f);
    blend.Update();
    blend.Update();
    EXPECT_EQ(blend.time, 0.5f);
    ASSERT_EQ(blend.notificationCount, 1u);
    EXPECT_EQ(blend.notifications[0], kJaNotifyEndOfBlend);
    blend.GetJointKey(key, 0);
    EXPECT_EQ(key.position.x, 4.0f);
    blend.SetTime(9.0f); // stored as given
    EXPECT_EQ(blend.time, 9.0f);

    // A blend of no length is fully the second player.
    CJaBlendPlayer instant(&from, &to, 0.0f);
    instant.GetJointKey(key, 0);
    EXPECT_EQ(key.position.x, 4.0f);
}
