// The cell line walk and the path search on drawn grids. Pictures are rows of
// unit cells from the origin, row 0 first; lines keep off cell corners except
// where a corner is the point of the case.
#include "tests/Source/GameClasses/WalkGridFixtures.h"

#include <cfloat>
#include <cmath>

namespace {

using Fronts = std::vector<std::vector<int32_t>>;

Fronts WalkFronts(CQmAiMap& map, Vec3 start, Vec3 end)
{
    Fronts fronts;
    map.BeginLineWalk(start, end);
    fronts.push_back(map.CurrentFront());
    while (map.NextLineStep())
        fronts.push_back(map.CurrentFront());
    return fronts;
}

const std::vector<std::string> kOpen8x8(8, "........");

TEST(QmAiMapLineWalk, FrontsOfOneLinePerQuadrant)
{
    CQmAiMap map;
    ASSERT_TRUE(LoadPicture(map, kOpen8x8));
    // Slope 0.5 from (0.4, 0.3): cells (0,0) (1,0) (1,1) (2,1) (3,1). The line
    // runs on into (3,2), which the last front drops as past the end cell.
    // The other quadrants are its mirror images.
    const struct {
        const char* what;
        Vec3 start, end;
        Fronts fronts;
    } cases[] = {
        {"+x +z", {0.4f, 0, 0.3f}, {3.6f, 0, 1.9f}, {{0}, {1, 9}, {10}, {11}}},
        {"+x -z", {0.4f, 0, 7.7f}, {3.6f, 0, 6.1f}, {{56}, {57, 49}, {50}, {51}}},
        {"-x +z", {7.6f, 0, 0.3f}, {4.4f, 0, 1.9f}, {{7}, {6, 14}, {13}, {12}}},
        {"-x -z", {7.6f, 0, 7.7f}, {4.4f, 0, 6.1f}, {{63}, {62, 54}, {53}, {52}}},
        {"along x", {0.5f, 0, 2.5f}, {4.5f, 0, 2.5f}, {{16}, {17}, {18}, {19}, {20}}},
        {"along a row edge", {0.5f, 0, 2.0f}, {3.5f, 0, 2.0f}, {{16}, {17}, {18}, {19}}},
        {"along -z", {2.5f, 0, 3.5f}, {2.5f, 0, 0.5f}, {{26}, {18}, {10}, {2}}},
        {"one cell", {0.2f, 0, 0.2f}, {0.8f, 0, 0.7f}, {{0}}},
        // Through the corners: the side test counts 0 as crossing, so the
        // cells touching each corner join the fronts.
        {"45 degrees", {0.5f, 0, 0.5f}, {3.5f, 0, 3.5f}, {{0}, {1, 9, 8}, {10, 18, 17}, {19, 27, 26}}},
        {"outside", {-1.0f, 0, 0.5f}, {3.5f, 0, 0.5f}, {{}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(WalkFronts(map, c.start, c.end), c.fronts);
    }
}

// Along the first row a front's neighbours in the row before do not exist;
// the walk goes on along the border and finds the blocked cell there.
TEST(QmAiMapLineWalk, BorderRowDoesNotEndTheWalk)
{
    CQmAiMap map;
    ASSERT_TRUE(LoadPicture(map, {"....#.", "......", "......"}));
    EXPECT_EQ(WalkFronts(map, {0.5f, 0, 0.6f}, {5.5f, 0, 0.4f}), (Fronts{{0}, {1}, {2}, {3}, {4}, {5}}));
    // Nor does a neighbour past the last column wrap into the next row.
    EXPECT_EQ(WalkFronts(map, {5.5f, 0, 0.5f}, {5.6f, 0, 2.5f}), (Fronts{{5}, {11}, {17}}));
    CQmWalkPath path;
    path.maxLine = 1000.0f;
    path.cornerFactor = 0.0f;
    ASSERT_TRUE(map.SearchPath({0.5f, 0, 0.6f}, {5.5f, 0, 0.4f}, path));
    EXPECT_GT(PathPoints(path).size(), 2u);
    ExpectConsistentPath(path);
}

struct SearchCase {
    const char* what;
    std::vector<std::string> picture;
    Vec2 from, to;
    bool found;
    std::vector<Vec2> points;  // handed to AddPoint, in order
};

void ExpectSearch(const SearchCase& c, bool findPath)
{
    SCOPED_TRACE(c.what);
    CQmAiMap map;
    ASSERT_TRUE(LoadPicture(map, c.picture));
    CQmWalkPath path;
    path.maxLine = 1000.0f;
    path.cornerFactor = 0.0f;
    const Vec3 from = {c.from.x, 1.0f, c.from.y};
    const Vec3 to = {c.to.x, 2.0f, c.to.y};
    const bool found = findPath ? map.FindPath(path, from, to) : map.SearchPath(from, to, path);
    EXPECT_EQ(found, c.found);
    const std::vector<Vec2> points = PathPoints(path);
    ASSERT_EQ(points.size(), c.points.size());
    for (size_t i = 0; i < points.size(); ++i) {
        EXPECT_NEAR(points[i].x, c.points[i].x, 1e-5f) << "point " << i;
        EXPECT_NEAR(points[i].y, c.points[i].y, 1e-5f) << "point " << i;
    }
    if (!points.empty())
        ExpectConsistentPath(path);
}

TEST(QmAiMapSearch, DrawnGrids)
{
    const std::vector<std::string> blockedCorner = {"#..", ".#.", "..."};
    const std::vector<std::string> lockedCorner = {"#..", ".+.", "..."};
    const SearchCase cases[] = {
        {"same cell", {".....", ".....", "....."}, {2.2f, 1.3f}, {2.7f, 1.6f}, true, {{2.2f, 1.3f}, {2.7f, 1.6f}}},
        {"clear line", {"......", "..#...", "......", "......"}, {0.5f, 2.5f}, {5.5f, 3.2f}, true,
         {{0.5f, 2.5f}, {5.5f, 3.2f}}},
        // (0,1) to (1,0) past blocked (0,0) and (1,1): the diagonal step is
        // never taken, so the way leads round (1,1) through (2,2) and (2,0).
        {"no corner cutting", blockedCorner, {0.5f, 1.5f}, {1.5f, 0.5f}, true,
         {{0.5f, 1.5f}, {0.5f, 2.5f}, {2.5f, 2.5f}, {2.5f, 0.5f}, {1.5f, 0.5f}}},
        {"a locked cell blocks", lockedCorner, {0.5f, 1.5f}, {1.5f, 0.5f}, true,
         {{0.5f, 1.5f}, {0.5f, 2.5f}, {2.5f, 2.5f}, {2.5f, 0.5f}, {1.5f, 0.5f}}},
        // The nearest free inner cell of the ring round (1,1) is (3,1); the
        // path starts at the walker's own position.
        {"walker on a blocked cell", {".....", ".##..", ".##..", ".....", "....."}, {1.4f, 1.3f}, {4.5f, 4.5f},
         true, {{1.4f, 1.3f}, {3.5f, 1.5f}, {4.5f, 4.5f}}},
        {"unreachable free target", {"..#..", "..#..", "..#.."}, {0.5f, 1.5f}, {4.5f, 1.5f}, false, {}},
        {"blocked target", {".....", "..#..", "....."}, {0.5f, 1.5f}, {2.5f, 1.5f}, false, {}},
        {"outside", {"....."}, {0.5f, 0.5f}, {5.5f, 0.5f}, false, {}},
    };
    for (const SearchCase& c : cases)
        ExpectSearch(c, false);
}

// The detour round a wall: a line of blocked cells across the straight way,
// with a gap at either end. Both detours cost the same; the search runs from
// the target, and the order of equal priorities in the open list picks the
// side. The chain found runs (0,2) (1,3) (2,4) (3,4) (4,4) (5,3) (6,2); the
// shortening keeps the corner (3,4), since the line from the start to (4,4)
// crosses the wall's end (3,3).
TEST(QmAiMapSearch, WallDetourSideChosenByTheTieRules)
{
    const std::vector<std::string> wall = {".......", "...#...", "...#...", "...#...", "......."};
    ExpectSearch({"wall", wall, {0.5f, 2.5f}, {6.5f, 2.5f}, true, {{0.5f, 2.5f}, {3.5f, 4.5f}, {6.5f, 2.5f}}}, false);
    ExpectSearch({"wall, the other way", wall, {6.5f, 2.5f}, {0.5f, 2.5f}, true, {{6.5f, 2.5f}, {3.5f, 0.5f}, {0.5f, 2.5f}}},
                 false);
}

TEST(QmAiMapSearch, ShrunkBounds)
{
    WalkGridOptions options;
    options.cellSize = 0.25f;
    CQmAiMap map;
    ASSERT_TRUE(LoadPicture(map, {"....", "....", "....", "...."}, options));
    const float inside = FLT_EPSILON;
    const float closer = FLT_EPSILON / 2.0f;
    const float highInside = 1.0f - FLT_EPSILON;
    const float highCloser = std::nextafter(1.0f, 0.0f);
    const struct {
        float x, z;
        bool accepted;
    } cases[] = {
        {inside, 0.5f, true},      {closer, 0.5f, false},     {0.5f, inside, true},  {0.5f, closer, false},
        {highInside, 0.5f, true},  {highCloser, 0.5f, false}, {0.5f, highInside, true},
        {0.5f, highCloser, false}, {0.0f, 0.5f, false},       {1.0f, 0.5f, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + ", " + std::to_string(c.z));
        CQmWalkPath path;
        EXPECT_EQ(map.SearchPath({c.x, 0, c.z}, {0.6f, 0, 0.6f}, path), c.accepted);
        EXPECT_EQ(map.SearchPath({0.6f, 0, 0.6f}, {c.x, 0, c.z}, path), c.accepted);
    }
}

// A blocked target: the approach cells are the first free cell on the way
// back to the walker and the first free cell on eight rays; the nearest to
// the target is tried first, ties by ray number.
TEST(QmAiMapSearch, FindPathToABlockedTarget)
{
    const std::vector<std::string> bar = {".......", ".......", "..###..", ".......", "......."};
    const SearchCase cases[] = {
        // Rays 3 (up) and 4 (down) are both 1 away; 3 comes first.
        {"nearest ray first", bar, {0.5f, 3.3f}, {3.5f, 2.5f}, true, {}},
        // The way back gives (3,1), where the walker already stands.
        {"walker at the approach", bar, {3.5f, 1.5f}, {3.5f, 2.5f}, false, {{3.5f, 1.5f}, {3.5f, 1.5f}}},
        {"walker blocked", bar, {2.5f, 2.5f}, {0.5f, 0.5f}, false, {}},
        {"both free", bar, {0.5f, 0.5f}, {6.5f, 0.5f}, true, {{0.5f, 0.5f}, {6.5f, 0.5f}}},
    };
    ExpectSearch(cases[1], true);
    ExpectSearch(cases[2], true);
    ExpectSearch(cases[3], true);

    CQmAiMap map;
    ASSERT_TRUE(LoadPicture(map, bar));
    CQmWalkPath path;
    path.maxLine = 1000.0f;
    path.cornerFactor = 0.0f;
    ASSERT_TRUE(map.FindPath(path, {0.5f, 0, 3.3f}, {3.5f, 0, 2.5f}));
    ExpectConsistentPath(path);
    const std::vector<Vec2> points = PathPoints(path);
    EXPECT_EQ(points.front().x, 0.5f);
    EXPECT_EQ(points.front().y, 3.3f);
    EXPECT_EQ(points.back().x, 3.5f);
    EXPECT_EQ(points.back().y, 1.5f);
    // Below the bar instead, the walker is sent to ray 4's cell.
    ASSERT_TRUE(map.FindPath(path, {6.5f, 0, 4.5f}, {3.5f, 0, 2.5f}));
    EXPECT_EQ(PathPoints(path).back().y, 1.5f);
}

TEST(QmAiMapSearch, NearestFreePointSearchesRingsOfInnerCells)
{
    CQmAiMap map;
    ASSERT_TRUE(LoadPicture(map, {".....", ".##..", ".##..", ".....", "....."}));
    Vec3 found;
    ASSERT_TRUE(map.FindNearestFreePoint({1.4f, 7.0f, 1.3f}, found));
    EXPECT_EQ(found.x, 3.5f);
    EXPECT_EQ(found.y, 0.0f);
    EXPECT_EQ(found.z, 1.5f);
    // A free cell answers with the point itself.
    ASSERT_TRUE(map.FindNearestFreePoint({0.2f, 7.0f, 0.3f}, found));
    EXPECT_EQ(found.y, 7.0f);
    EXPECT_FALSE(map.FindNearestFreePoint({-1.0f, 0, 0.3f}, found));
    // A 3 x 3 grid has one inner cell, found from a border cell.
    ASSERT_TRUE(LoadPicture(map, {"###", "#.#", "###"}));
    ASSERT_TRUE(map.FindNearestFreePoint({0.5f, 0, 0.5f}, found));
    EXPECT_EQ(found.x, 1.5f);
    ASSERT_TRUE(LoadPicture(map, {"###", "###", "..."}));
    EXPECT_FALSE(map.FindNearestFreePoint({1.5f, 0, 1.5f}, found));
    ASSERT_TRUE(LoadPicture(map, {"#.", "##"}));
    EXPECT_FALSE(map.FindNearestFreePoint({0.5f, 0, 0.5f}, found));
}

TEST(QmAiMapSearch, PathMarksItsChain)
{
    CQmAiMap map;
    ASSERT_TRUE(LoadPicture(map, {"#..", ".#.", "..."}));
    CQmWalkPath path;
    ASSERT_TRUE(map.SearchPath({0.5f, 0, 1.5f}, {1.5f, 0, 0.5f}, path));
    // Chain (0,1) (0,2) (1,2) (2,2) (2,1) (2,0) (1,0).
    for (int32_t cell : {3, 6, 7, 8, 5, 2, 1})
        EXPECT_EQ(map.cells[cell].f, -1) << "cell " << cell;
    EXPECT_NE(map.cells[4].f, -1);
}

} // namespace
