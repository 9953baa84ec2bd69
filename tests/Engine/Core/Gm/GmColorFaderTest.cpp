// The colour fader's course over frames of a fixed timer delta: the end event
// is queued once, keepUpdating holds the end colour, a fader that was never
// started does nothing, and the sprite takes the curve's colour.
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GmColorFader.h"

#include <gtest/gtest.h>

namespace {

class GmColorFader : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous = g_geTimer;
        timer.delta = 0.5f;
        g_geTimer = &timer;
    }
    void TearDown() override { g_geTimer = previous; }

    CGeTimer timer{1.0f};
    CGeTimer* previous = nullptr;
};

} // namespace

TEST_F(GmColorFader, AFadeEndsAfterItsTimeAndQueuesOneEvent)
{
    CGmColorFader fader;
    fader.Start(0, 0xFF000000, 0x00000000, 2.0f);
    EXPECT_EQ(1u, fader.state);
    for (int frame = 1; frame <= 3; ++frame) {
        fader.Update();
        EXPECT_EQ(0u, fader.eventCount) << "frame " << frame;
        EXPECT_EQ(0, fader.source.done);
    }
    // Half-way through, every channel is half-way.
    fader.source.time = 1.0f;
    EXPECT_EQ(0x80000000u, fader.GetColorArgb());
    fader.source.time = 1.5f;
    fader.Update();
    ASSERT_EQ(1u, fader.eventCount);
    EXPECT_EQ(CGmColorFader::kEventFinished, fader.events[0]);
    EXPECT_EQ(0x00000000u, fader.GetColorArgb());

    // Once done without keepUpdating, the sprite is left alone.
    fader.color = 0x123456;
    for (int frame = 0; frame < 5; ++frame)
        fader.Update();
    EXPECT_EQ(1u, fader.eventCount);
    EXPECT_EQ(0x123456u, fader.color);
    uint32_t event = 0;
    EXPECT_TRUE(fader.TakeLastEvent(event));
    EXPECT_FALSE(fader.TakeLastEvent(event));
}

TEST_F(GmColorFader, KeepUpdatingHoldsTheEndColourWithoutASecondEvent)
{
    CGmColorFader fader;
    fader.Start(1, 0xFFFFFFFF, 0xFF204060, 1.0f);
    fader.Update();
    EXPECT_EQ(fader.GetColorArgb(), fader.color);
    EXPECT_NEAR(0x90, int(fader.color >> 16 & 0xFF), 1);
    fader.Update();
    ASSERT_EQ(1u, fader.eventCount);
    for (int frame = 0; frame < 4; ++frame) {
        fader.color = 0;
        fader.Update();
        EXPECT_EQ(0xFF204060u, fader.color);
    }
    EXPECT_EQ(1u, fader.eventCount);
    EXPECT_EQ(1, fader.endReported);
}

TEST_F(GmColorFader, UpdateBeforeAnyStartChangesNothing)
{
    CGmColorFader fader;
    fader.Update();
    EXPECT_EQ(0u, fader.state);
    EXPECT_EQ(0u, fader.eventCount);
    EXPECT_EQ(0.0f, fader.source.time);
    EXPECT_EQ(0u, fader.color);
    EXPECT_EQ(nullptr, fader.sprite);
    EXPECT_EQ(0.0f, fader.Progress());
}

TEST_F(GmColorFader, TheColourSourceRunsBackwardsAndStopsAtZero)
{
    CGmColorFader fader;
    fader.Start(0, 0xFF000000, 0xFFFFFFFF, 1.0f);
    fader.source.time = 0.75f;
    fader.source.speed = -1.0f;
    fader.source.Advance();
    EXPECT_FLOAT_EQ(0.25f, fader.source.time);
    EXPECT_EQ(0, fader.source.done);
    fader.source.Advance();
    EXPECT_EQ(0.0f, fader.source.time);
    EXPECT_EQ(1, fader.source.done);
    EXPECT_EQ(1u, fader.source.eventCount);

    // A paused source stands still; a negative fade time ends at once.
    CGmColorFader other;
    other.source.paused = 1;
    other.Start(0, 0, 0xFFFFFFFF, 1.0f);
    other.Update();
    EXPECT_EQ(0.0f, other.source.time);
    other.source.paused = 0;
    other.Start(0, 0, 0xFFFFFFFF, -3.0f);
    other.Update();
    EXPECT_EQ(1u, other.eventCount);
    EXPECT_EQ(0xFFFFFFFFu, other.GetColorArgb());
}

TEST_F(GmColorFader, TheEventQueueNeverGrowsPastItsEntries)
{
    CGmColorFader fader;
    for (int i = 0; i < 40; ++i) {
        fader.Start(0, 0, 0xFFFFFFFF, 0.25f);
        fader.Update();
    }
    EXPECT_EQ(CGmColorFader::kMaxEvents, fader.eventCount);
}
