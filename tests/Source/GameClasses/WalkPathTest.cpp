// The walk path: corners rounded by arcs, long runs split, and the point and
// direction at a distance, against cases worked out by hand.
#include "tests/Source/GameClasses/WalkGridFixtures.h"

#include <cmath>

namespace {

const float kPi = 3.14159265f;

CQmWalkPath PathThrough(std::initializer_list<Vec3> points, float maxLine = 1000.0f, float cornerFactor = 0.5f)
{
    CQmWalkPath path;
    path.maxLine = maxLine;
    path.cornerFactor = cornerFactor;
    for (const Vec3& point : points)
        path.AddPoint(point);
    return path;
}

// The point or the direction at a distance, read into a vector that starts
// out as garbage, against (x, 0, z).
void ExpectAt(const CQmWalkPath& path, void (CQmWalkPath::*query)(float, Vec3&) const, float distance, float x,
              float z)
{
    Vec3 got = {-99, -99, -99};
    (path.*query)(distance, got);
    EXPECT_NEAR(got.x, x, 1e-4f) << "at " << distance;
    EXPECT_EQ(got.y, 0.0f) << "at " << distance;
    EXPECT_NEAR(got.z, z, 1e-4f) << "at " << distance;
}

void ExpectPoint(const CQmWalkPath& path, float distance, float x, float z)
{
    ExpectAt(path, &CQmWalkPath::GetPointAt, distance, x, z);
}

void ExpectDirection(const CQmWalkPath& path, float distance, float x, float z)
{
    ExpectAt(path, &CQmWalkPath::GetDirectionAt, distance, x, z);
}

// (0, 0) -> (10, 0) -> (10, 10): the corner takes half of the shorter run,
// 5, so the arc runs from (5, 0) to (10, 5) about (5, 5), a quarter circle of
// radius 5, turning clockwise seen from above (+x toward +z): angle -pi/2.
TEST(QmWalkPath, RightAngleCorner)
{
    const CQmWalkPath path = PathThrough({{0, 7, 0}, {10, 0, 0}, {10, 0, 10}});
    ExpectConsistentPath(path);
    ASSERT_EQ(path.nodes.count, 4u);
    const float arc = 5.0f * kPi / 2.0f;
    const WalkPathNode& first = path.nodes[0];
    const WalkPathNode& corner = path.nodes[1];
    const WalkPathNode& last = path.nodes[2];
    EXPECT_EQ(first.kind, kWalkNodeStraight);
    EXPECT_NEAR(first.length, 5.0f, 1e-5f);
    EXPECT_EQ(corner.kind, kWalkNodeArc);
    EXPECT_NEAR(corner.start.x, 5.0f, 1e-5f);
    EXPECT_NEAR(corner.start.z, 0.0f, 1e-5f);
    EXPECT_NEAR(corner.centre.x, 5.0f, 1e-5f);
    EXPECT_NEAR(corner.centre.z, 5.0f, 1e-5f);
    EXPECT_NEAR(corner.angle, -kPi / 2.0f, 1e-5f);
    EXPECT_NEAR(corner.length, arc, 1e-4f);
    EXPECT_NEAR(corner.startDistance, 5.0f, 1e-5f);
    EXPECT_EQ(last.kind, kWalkNodeStraight);
    EXPECT_NEAR(last.start.x, 10.0f, 1e-5f);
    EXPECT_NEAR(last.start.z, 5.0f, 1e-5f);
    EXPECT_NEAR(last.length, 5.0f, 1e-5f);
    EXPECT_NEAR(path.total, 10.0f + arc, 1e-4f);

    const float h = 5.0f * std::sqrt(0.5f);
    ExpectPoint(path, -1.0f, 0, 0);
    ExpectPoint(path, 0.0f, 0, 0);
    ExpectPoint(path, 2.5f, 2.5f, 0);
    ExpectPoint(path, 5.0f + arc / 2.0f, 5.0f + h, 5.0f - h);
    ExpectPoint(path, 5.0f + arc + 2.0f, 10, 7);
    ExpectPoint(path, path.total, 10, 10);
    ExpectPoint(path, 100.0f, 10, 10);
    ExpectDirection(path, 0.0f, 1, 0);
    ExpectDirection(path, 2.5f, 1, 0);
    ExpectDirection(path, 5.0f + 0.01f, 1, 0.002f);
    ExpectDirection(path, 5.0f + arc / 2.0f, std::sqrt(0.5f), std::sqrt(0.5f));
    ExpectDirection(path, 5.0f + arc + 2.0f, 0, 1);
    // Past the end no piece holds the distance: the first piece answers.
    ExpectDirection(path, 100.0f, 1, 0);
}

// The mirrored corner turns the other way: angle +pi/2.
TEST(QmWalkPath, LeftTurnHasPositiveAngle)
{
    const CQmWalkPath path = PathThrough({{0, 0, 0}, {10, 0, 0}, {10, 0, -10}});
    ExpectConsistentPath(path);
    ASSERT_EQ(path.nodes.count, 4u);
    EXPECT_NEAR(path.nodes[1].angle, kPi / 2.0f, 1e-5f);
    EXPECT_NEAR(path.nodes[1].centre.z, -5.0f, 1e-5f);
    const float h = 5.0f * std::sqrt(0.5f);
    ExpectPoint(path, 5.0f + 5.0f * kPi / 4.0f, 5.0f + h, -5.0f + h);
    ExpectDirection(path, 5.0f + 5.0f * kPi / 4.0f, std::sqrt(0.5f), -std::sqrt(0.5f));
}

TEST(QmWalkPath, LongRunEndsInAPieceOfAtMostMaxLine)
{
    CQmWalkPath path = PathThrough({{0, 0, 0}, {190, 0, 0}}, 30.0f);
    ExpectConsistentPath(path);
    ASSERT_EQ(path.nodes.count, 3u);
    EXPECT_NEAR(path.nodes[0].length, 170.0f, 1e-3f);
    EXPECT_NEAR(path.nodes[1].start.x, 170.0f, 1e-3f);
    EXPECT_NEAR(path.nodes[1].length, 20.0f, 1e-3f);
    EXPECT_NEAR(path.total, 190.0f, 1e-3f);
    // The next corner's arc is cut from the short piece: at most 0.5 * 20 from the corner.
    path.AddPoint({190, 0, 50});
    ExpectConsistentPath(path);
    // The 50 of the new run are more than 30 as well: split at 25.
    ASSERT_EQ(path.nodes.count, 6u);
    EXPECT_EQ(path.nodes[2].kind, kWalkNodeArc);
    EXPECT_NEAR(path.nodes[4].start.z, 25.0f, 1e-3f);
    EXPECT_NEAR(path.nodes[2].start.x, 180.0f, 1e-3f);
    // Straight on, the split still applies: the last piece is short.
    CQmWalkPath straight = PathThrough({{0, 0, 0}, {10, 0, 0}, {100, 0, 0}}, 30.0f);
    ExpectConsistentPath(straight);
    EXPECT_LE(straight.nodes[straight.nodes.count - 2].length, 30.0f);
    EXPECT_NEAR(straight.total, 100.0f, 1e-3f);
    // Exactly maxLine is not split.
    EXPECT_EQ(PathThrough({{0, 0, 0}, {30, 0, 0}}, 30.0f).nodes.count, 2u);
}

TEST(QmWalkPath, SlightTurnsMakeNoArc)
{
    // (1, 0.005) / |.| against -x: cross about -0.0005, below 0.001.
    const CQmWalkPath slight = PathThrough({{0, 0, 0}, {10, 0, 0}, {20, 0, 0.005f}});
    ExpectConsistentPath(slight);
    ASSERT_EQ(slight.nodes.count, 3u);
    EXPECT_EQ(slight.nodes[1].kind, kWalkNodeStraight);
    const CQmWalkPath turned = PathThrough({{0, 0, 0}, {10, 0, 0}, {20, 0, 0.02f}});
    ExpectConsistentPath(turned);
    ASSERT_EQ(turned.nodes.count, 4u);
    EXPECT_EQ(turned.nodes[1].kind, kWalkNodeArc);
    // Turning back on itself makes no arc either.
    const CQmWalkPath back = PathThrough({{0, 0, 0}, {10, 0, 0}, {5, 0, 0}});
    ExpectConsistentPath(back);
    EXPECT_EQ(back.nodes.count, 3u);
    EXPECT_NEAR(back.total, 15.0f, 1e-5f);
}

// A square's three sides: the second corner takes half of what the first
// left of the middle side, so the two arcs never overlap.
TEST(QmWalkPath, SuccessiveCornersNeverOverlap)
{
    const CQmWalkPath path = PathThrough({{0, 0, 0}, {10, 0, 0}, {10, 0, 10}, {0, 0, 10}});
    ExpectConsistentPath(path);
    ASSERT_EQ(path.nodes.count, 6u);
    EXPECT_EQ(path.nodes[1].kind, kWalkNodeArc);
    EXPECT_EQ(path.nodes[3].kind, kWalkNodeArc);
    EXPECT_NEAR(path.nodes[2].length, 2.5f, 1e-4f);   // 5 left, of which 2.5 for the second arc
    EXPECT_NEAR(path.nodes[3].start.z, 7.5f, 1e-4f);
    EXPECT_NEAR(path.nodes[4].start.x, 7.5f, 1e-4f);
    // Equal runs: a corner takes half of each, and the next corner's share
    // is cut from what is left, so the arcs meet but never overlap.
    const CQmWalkPath zigzag = PathThrough({{0, 0, 0}, {10, 0, 0}, {10, 0, 10}, {20, 0, 10}}, 1000.0f, 0.5f);
    ExpectConsistentPath(zigzag);
    for (const WalkPathNode& node : zigzag.nodes)
        EXPECT_GE(node.length, 0.0f);
}

TEST(QmWalkPath, EmptyAndSinglePointPaths)
{
    CQmWalkPath path;
    Vec3 point = {1, 2, 3};
    path.GetPointAt(5.0f, point);
    EXPECT_EQ(point.x, 1.0f);
    EXPECT_EQ(point.z, 3.0f);
    Vec3 direction = {1, 1, 1};
    path.GetDirectionAt(0.0f, direction);
    EXPECT_EQ(direction.x, 0.0f);
    EXPECT_EQ(direction.z, 0.0f);
    path.AddPoint({4, 5, 6});
    ExpectConsistentPath(path);
    ExpectPoint(path, 3.0f, 4, 6);
    path.GetDirectionAt(0.0f, direction);
    EXPECT_EQ(direction.x, 0.0f);
    // A point added twice gives a piece of length 0, which is passed at once.
    path.AddPoint({4, 0, 6});
    path.AddPoint({8, 0, 6});
    ExpectConsistentPath(path);
    ExpectPoint(path, 2.0f, 6, 6);
    ExpectDirection(path, 2.0f, 1, 0);
    path.Clear();
    EXPECT_EQ(path.nodes.count, 0u);
    EXPECT_EQ(path.total, 0.0f);
}

} // namespace
