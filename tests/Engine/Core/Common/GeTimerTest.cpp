#include "Engine/Core/Common/GeTimer.h"

#include <gtest/gtest.h>

namespace {

// A counter that the test moves by hand, at 1000 ticks per second.
class ManualClock : public CGeClock {
public:
    int64_t Counter() override { return ticks; }
    int64_t Frequency() override { return 1000; }

    void AdvanceSeconds(double seconds) { ticks += static_cast<int64_t>(seconds * 1000.0 + 0.5); }

    int64_t ticks = 5000;
};

} // namespace

TEST(GeTimer, StartsWithDocumentedValues)
{
    ManualClock clock;
    CGeTimer timer(25.0f, &clock);
    EXPECT_EQ(25.0f, timer.scale);
    EXPECT_EQ(25.0f, timer.fps);
    EXPECT_EQ(25.0f, timer.fpsLastSecond);
    EXPECT_EQ(1.0f, timer.smoothedDelta);
    EXPECT_EQ(0.0f, timer.delta);
    EXPECT_EQ(0.5f, timer.maxDelta);
    EXPECT_EQ(1.0f, timer.speed);
    EXPECT_EQ(0u, timer.frames);
    EXPECT_EQ(1000, timer.frequency);
    EXPECT_EQ(5000, timer.last);
}

TEST(GeTimer, FrameDeltaIsScaledClampedAndSmoothed)
{
    struct Case {
        const char* name;
        float speed;
        double seconds;
        float delta, fps, smoothedDelta;
    };
    const Case cases[] = {
        // A long stall is clamped; fps and smoothedDelta keep the real frame.
        {"two-second stall", 1.0f, 2.0, 0.5f, 0.5f, 50.0f},
        {"double speed", 2.0f, 0.02, 0.04f, 25.0f, 1.0f},
        {"normal frame", 1.0f, 0.04, 0.04f, 25.0f, 1.0f},
        {"clamp applies after speed", 4.0f, 0.25, 0.5f, 1.0f, 25.0f},
    };
    for (const Case& c : cases) {
        ManualClock clock;
        CGeTimer timer(25.0f, &clock);
        timer.speed = c.speed;
        clock.AdvanceSeconds(c.seconds);
        timer.Update();
        EXPECT_FLOAT_EQ(c.delta, timer.delta) << c.name;
        EXPECT_FLOAT_EQ(c.fps, timer.fps) << c.name;
        EXPECT_FLOAT_EQ(c.smoothedDelta, timer.smoothedDelta) << c.name;
        EXPECT_EQ(1.0f, timer.prevSmoothedDelta) << c.name;
        EXPECT_EQ(clock.ticks, timer.last) << c.name;
        EXPECT_EQ(1u, timer.frames) << c.name;
    }
}

TEST(GeTimer, MaxDeltaCanBeRaised)
{
    ManualClock clock;
    CGeTimer timer(25.0f, &clock);
    timer.maxDelta = 3.0f;
    clock.AdvanceSeconds(2.0);
    timer.Update();
    EXPECT_FLOAT_EQ(2.0f, timer.delta);
}

TEST(GeTimer, CounterGoingBackwardsGivesZeroDeltaButCounts)
{
    ManualClock clock;
    CGeTimer timer(25.0f, &clock);
    clock.AdvanceSeconds(0.1);
    timer.Update();
    const float fpsBefore = timer.fps;

    clock.ticks -= 50;
    EXPECT_EQ(0.0f, timer.GetElapsed());
    timer.Update();
    EXPECT_EQ(0.0f, timer.delta);
    EXPECT_EQ(0.0f, timer.smoothedDelta);
    EXPECT_EQ(fpsBefore, timer.fps); // no infinity from a zero-length frame
    EXPECT_EQ(2u, timer.frames);
    EXPECT_EQ(clock.ticks, timer.last);
}

TEST(GeTimer, GetElapsedDoesNotMoveLast)
{
    ManualClock clock;
    CGeTimer timer(25.0f, &clock);
    clock.AdvanceSeconds(0.25);
    EXPECT_FLOAT_EQ(0.25f, timer.GetElapsed());
    EXPECT_FLOAT_EQ(0.25f, timer.GetElapsed());
    EXPECT_EQ(5000, timer.last);
    EXPECT_EQ(5250, timer.now);
}

TEST(GeTimer, SmoothingBlendsWithPreviousValue)
{
    ManualClock clock;
    CGeTimer timer(10.0f, &clock);
    timer.smoothing = 0.5f;
    clock.AdvanceSeconds(0.3);
    timer.Update();
    // 0.5 * (0.3 * 10) + 0.5 * 1.0
    EXPECT_FLOAT_EQ(2.0f, timer.smoothedDelta);
    EXPECT_FLOAT_EQ(1.0f, timer.prevSmoothedDelta);
}

TEST(GeTimer, FpsLastSecondCountsUpdatesOfEachRealSecond)
{
    ManualClock clock;
    CGeTimer timer(25.0f, &clock);
    timer.speed = 3.0f; // game speed must not change the real-time count
    for (int i = 0; i < 3; ++i) {
        clock.AdvanceSeconds(0.3);
        timer.Update();
        EXPECT_EQ(25.0f, timer.fpsLastSecond) << "update " << i;
    }
    // The fourth update reaches 1.2 s: it counts itself and restarts the window.
    clock.AdvanceSeconds(0.3);
    timer.Update();
    EXPECT_EQ(4.0f, timer.fpsLastSecond);
    EXPECT_EQ(0.0f, timer.secondTime);
    EXPECT_EQ(0.0f, timer.secondFrames);

    // A single long frame closes a window of one update.
    clock.AdvanceSeconds(1.5);
    timer.Update();
    EXPECT_EQ(1.0f, timer.fpsLastSecond);
}

TEST(GeTimer, SystemClockRunsForward)
{
    CGeTimer timer(25.0f);
    EXPECT_GT(timer.frequency, 0);
    EXPECT_GE(timer.GetElapsed(), 0.0f);
    EXPECT_GE(timer.now, timer.last);
}
