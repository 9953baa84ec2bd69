#include "Engine/Core/Gm/GeFrameAnim.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct ModeCase {
    const char* name;
    uint32_t mode;
    uint32_t repeats;
    float speed;
    std::vector<float> steps;     // deltas fed to Advance one by one
    std::vector<float> positions; // position after each step
    bool playingAtEnd;
    uint32_t events; // end events queued
};

} // namespace

// Ten frames (range 0..9), driven by explicit timer deltas.
TEST(GeFrameAnim, PlayModesAgainstADrivenTimer)
{
    const ModeCase cases[] = {
        {"forward once stops on the last frame", 1, 1, 1.0f, {4, 4, 4}, {4, 8, 9}, false, 1},
        {"forward twice wraps once", 1, 2, 1.0f, {9.5f, 5, 10}, {0.5f, 5.5f, 9}, false, 1},
        {"backward from the last frame", 2, 1, 1.0f, {3, 3, 10}, {6, 3, 0}, false, 1},
        {"backward twice wraps at the first", 2, 2, 1.0f, {10, 2}, {8, 6}, true, 0},
        {"wigwag turns at the last and ends at the first", 3, 1, 1.0f, {6, 6, 4, 4}, {6, 6, 2, 0}, false, 1},
        {"wigwag twice turns at the first too", 3, 2, 1.0f, {12, 8}, {6, 2}, true, 0},
        {"wagwig starts at the last and ends there", 4, 1, 1.0f, {6, 6, 4, 4}, {3, 3, 7, 9}, false, 1},
        {"looping forward never ends", 17, 0, 2.0f, {4, 4, 4, 4}, {8, 7, 6, 5}, true, 0},
        {"looping backward", 18, 0, 1.0f, {4, 4, 4}, {5, 1, 6}, true, 0},
        {"looping wigwag reflects at both ends", 19, 0, 1.0f, {12, 10}, {6, 4}, true, 0},
        {"a negative speed counts as its size", 1, 1, -1.0f, {3}, {3}, true, 0},
    };
    for (const ModeCase& c : cases) {
        SCOPED_TRACE(c.name);
        CGeFrameAnim player(10);
        player.speed = c.speed;
        player.Start(c.mode, c.repeats);
        EXPECT_TRUE(player.playing);
        for (size_t i = 0; i < c.steps.size(); ++i) {
            player.Advance(c.steps[i]);
            EXPECT_FLOAT_EQ(c.positions[i], player.position) << "after step " << i;
        }
        EXPECT_EQ(c.playingAtEnd, player.playing != 0);
        EXPECT_EQ(c.events, player.eventCount);
        if (c.events) {
            EXPECT_EQ(CGeFrameAnim::kEventEnded, player.events[0]);
            EXPECT_EQ((uint32_t)player.position, player.GetFrame());
        }
    }
}

TEST(GeFrameAnim, StartWithoutPassesOrFramesStopsAndUnknownModesChangeNothing)
{
    CGeFrameAnim player(10);
    player.Start(1, 0);
    EXPECT_FALSE(player.playing);
    EXPECT_EQ(1u, player.eventCount);
    player.Start(17, 0);
    EXPECT_TRUE(player.playing);

    CGeFrameAnim idle(10);
    idle.position = 4.0f;
    idle.Start(7, 1);
    EXPECT_FALSE(idle.playing);
    EXPECT_FLOAT_EQ(4.0f, idle.position);
    EXPECT_EQ(0u, idle.eventCount);

    CGeFrameAnim empty(0);
    empty.Start(17, 1);
    EXPECT_FALSE(empty.playing);
    EXPECT_EQ(1u, empty.eventCount);
}

TEST(GeFrameAnim, StopRestsAtTheStartOfTheModesDirection)
{
    CGeFrameAnim player(10);
    player.SetRange(2, 7);
    player.Start(2, 1);
    player.Advance(1.5f);
    player.Stop();
    EXPECT_FLOAT_EQ(7.0f, player.position);
    player.Start(19, 1);
    player.Advance(3);
    player.Stop();
    EXPECT_FLOAT_EQ(2.0f, player.position);
    EXPECT_EQ(2u, player.eventCount);
}

TEST(GeFrameAnim, ASingleFrameRangeDoesNotLoopForEver)
{
    CGeFrameAnim player(10);
    player.SetRange(4, 4);
    player.Start(17, 0);
    player.Advance(100.0f);
    EXPECT_FLOAT_EQ(4.0f, player.position);
    player.Start(1, 1000000000u);
    player.Advance(100.0f);
    EXPECT_FLOAT_EQ(4.0f, player.position);
    player.Start(18, 0);
    player.Advance(100.0f);
    EXPECT_FLOAT_EQ(4.0f, player.position);
}

TEST(GeFrameAnim, RangeAndFrameWithAndWithoutDurations)
{
    CGeFrameAnim player(8);
    player.SetRange(5, 3); // last raised to first
    EXPECT_EQ(5u, player.lastIndex);
    player.SetRange(2, 50); // last lowered to the frames
    EXPECT_EQ(7u, player.lastIndex);
    player.SetFrame(1);
    EXPECT_FLOAT_EQ(2.0f, player.position); // into the range
    player.SetFrame(100);
    EXPECT_EQ(7u, player.GetFrame());

    // Frames lasting 2, 1, 3, 4 position units.
    CGeFrameAnim timed(4);
    for (float d : {2.0f, 1.0f, 3.0f, 4.0f})
        timed.durations.Add(d);
    timed.SetRange(1, 3);
    EXPECT_FLOAT_EQ(2.0f, timed.firstPosition);
    EXPECT_FLOAT_EQ(9.0f, timed.lastPosition);
    const struct {
        float position;
        uint32_t frame;
    } frames[] = {{2.0f, 1}, {2.9f, 1}, {3.0f, 2}, {5.5f, 2}, {6.0f, 3}, {9.0f, 3}};
    for (const auto& f : frames) {
        timed.position = f.position;
        EXPECT_EQ(f.frame, timed.GetFrame()) << f.position;
    }
    timed.SetFrame(2);
    EXPECT_FLOAT_EQ(3.0f, timed.position);
}

TEST(GeFrameAnim, AFullEventQueueDropsFurtherEvents)
{
    CGeFrameAnim player(4);
    for (int i = 0; i < 40; ++i)
        player.Stop();
    EXPECT_EQ(CGeFrameAnim::kMaxEvents, player.eventCount);
    EXPECT_FALSE(player.PushEvent(7));
    EXPECT_EQ(CGeFrameAnim::kMaxEvents, player.eventCount);

    // A copy takes the events and durations along.
    player.durations.Add(2.0f);
    CGeFrameAnim copy;
    copy = player;
    EXPECT_EQ(CGeFrameAnim::kMaxEvents, copy.eventCount);
    ASSERT_EQ(1u, copy.durations.Count());
    EXPECT_FLOAT_EQ(2.0f, copy.durations[0]);
}
