// The walk grid's file reader and its queries: which cell is under a point,
// how high the floor is there, which surface it has.
#include "tests/Source/GameClasses/WalkGridFixtures.h"

#include "Engine/Core/Common/GeLog.h"

#include <cfloat>
#include <functional>

namespace {

// 4 columns by 3 rows of 10-unit cells from (-40, -20).
WalkGridOptions TenUnitCells()
{
    WalkGridOptions options;
    options.cellSize = 10.0f;
    options.originX = -40.0f;
    options.originZ = -20.0f;
    options.rangeLow = -5.0f;
    options.rangeHigh = 7.0f;
    return options;
}

TEST(QmAiMapReader, ReadsBothLayouts)
{
    for (bool tagged : {true, false}) {
        SCOPED_TRACE(tagged ? "ver001" : "legacy");
        WalkGridOptions options = TenUnitCells();
        options.tagged = tagged;
        WalkGridImage image = WalkGridFromPicture({"0.#3", "+...", "..9#"}, options);
        image.At(1, 1).height = 2.5f;
        image.At(2, 1).height = 1e30f;
        CQmAiMap map;
        ASSERT_TRUE(LoadImage(map, image));
        EXPECT_EQ(map.width, 4);
        EXPECT_EQ(map.height, 3);
        EXPECT_EQ(map.count, 12);
        EXPECT_EQ(map.boundsMin.x, -40.0f);
        EXPECT_EQ(map.boundsMin.z, -20.0f);
        EXPECT_EQ(map.boundsMax.x, 0.0f);
        EXPECT_EQ(map.boundsMax.z, 10.0f);
        EXPECT_EQ(map.cellSize, 10.0f);
        EXPECT_EQ(map.cellsPerUnit, 0.1f);
        EXPECT_EQ(map.rangeLow, -5.0f);
        EXPECT_EQ(map.rangeHigh, 7.0f);
        EXPECT_EQ(map.openList.Capacity(), 12);
        const uint8_t flags[12] = {0, 0, 1, 0, 2, 0, 0, 0, 0, 0, 0, 1};
        const uint8_t surfaces[12] = {0, 255, 255, 3, 255, 255, 255, 255, 255, 255, 9, 255};
        for (int i = 0; i < 12; ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(map.cells[i].flags, flags[i]);
            EXPECT_EQ(map.cells[i].surface, tagged ? surfaces[i] : 255);
            EXPECT_EQ(map.cells[i].height, i == 5 ? 2.5f : i == 6 ? 1e30f : 0.0f);
            EXPECT_EQ(map.cells[i].parent, -1);
            EXPECT_EQ(map.cells[i].g, 0);
        }
    }
}

TEST(QmAiMapReader, FreshGridDefaults)
{
    CQmAiMap map;
    EXPECT_EQ(map.count, 0);
    EXPECT_EQ(map.cells, nullptr);
    EXPECT_EQ(map.rangeLow, 1e30f);
    EXPECT_EQ(map.rangeHigh, -1e30f);
    EXPECT_EQ(map.maxLineDistance, 30.0f);
    EXPECT_EQ(map.circleFactor, 0.5f);
    EXPECT_EQ(map.heightBias, 0.0f);
    // An empty grid answers every question as for a point outside.
    CQmWalkPath path;
    Vec3 found;
    EXPECT_EQ(map.GetCellIndex(0, 0), -1);
    EXPECT_EQ(map.GetHeight(0, 0), 1e30f);
    EXPECT_EQ(map.GetSurfaceKind(0, 0), -1);
    EXPECT_FALSE(map.FindNearestFreePoint({0, 0, 0}, found));
    EXPECT_FALSE(map.SearchPath({0, 0, 0}, {0, 0, 0}, path));
    EXPECT_FALSE(map.FindPath(path, {0, 0, 0}, {0, 0, 0}));
    map.ResetMarks();
    const AiCell fresh;
    EXPECT_EQ(fresh.surface, 255);
    EXPECT_EQ(fresh.parent, -1);
    EXPECT_EQ(fresh.height, 0.0f);
}

// A refused file is answered false with a level-2 log line, and the grid
// keeps what it had.
TEST(QmAiMapReader, RefusesHeadersThatDoNotDescribeTheirCells)
{
    const struct {
        const char* what;
        std::function<void(WalkGridImage&)> spoil;
    } cases[] = {
        {"width 0", [](WalkGridImage& image) { image.width = 0; }},
        {"height -1", [](WalkGridImage& image) { image.height = -1; }},
        {"count 0", [](WalkGridImage& image) { image.count = 0; }},
        {"max x = min x", [](WalkGridImage& image) { image.boundsMax[0] = image.boundsMin[0]; }},
        {"max z < min z", [](WalkGridImage& image) { image.boundsMax[2] = image.boundsMin[2] - 1; }},
        {"cell size 0", [](WalkGridImage& image) { image.cellSize = 0.0f; }},
        {"cells per unit -1", [](WalkGridImage& image) { image.cellsPerUnit = -1.0f; }},
        {"count is not width x height", [](WalkGridImage& image) { image.count = 8; }},
        {"count too large", [](WalkGridImage& image) { image.count = 16; image.height = 4; }},
        {"huge count", [](WalkGridImage& image) { image.width = 65536; image.height = 32768; image.count = INT32_MIN; }},
        {"NaN bound", [](WalkGridImage& image) { image.boundsMin[2] = NAN; }},
        {"infinite bound", [](WalkGridImage& image) { image.boundsMax[0] = INFINITY; }},
        {"NaN unused y", [](WalkGridImage& image) { image.boundsMin[1] = NAN; }},
        {"infinite cell size", [](WalkGridImage& image) { image.cellSize = INFINITY; }},
        {"NaN scale", [](WalkGridImage& image) { image.cellsPerUnit = NAN; }},
        {"infinite range", [](WalkGridImage& image) { image.rangeHigh = -INFINITY; }},
        {"one record short", [](WalkGridImage& image) { image.cells.pop_back(); }},
    };
    for (bool tagged : {true, false}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (tagged ? " (ver001)" : " (legacy)"));
            CQmAiMap map;
            WalkGridOptions options;
            ASSERT_TRUE(LoadPicture(map, {"..#", "...", "..."}, options));
            const AiCell* cells = map.cells;
            options.tagged = tagged;
            options.cellSize = 2.0f;
            WalkGridImage image = WalkGridFromPicture({"....", "....", "...."}, options);
            c.spoil(image);
            EXPECT_FALSE(LoadImage(map, image));
            EXPECT_EQ(GeLogLastLevel(), 2);
            EXPECT_EQ(map.cells, cells);
            EXPECT_EQ(map.width, 3);
            EXPECT_EQ(map.count, 9);
            EXPECT_EQ(map.cellSize, 1.0f);
            EXPECT_EQ(map.cells[2].flags, 1);
        }
    }
    CQmAiMap map;
    const uint8_t byte = 0;
    EXPECT_FALSE(map.ReadFromFile(nullptr, 100));
    EXPECT_FALSE(map.ReadFromFile(&byte, 0));
}

TEST(QmAiMapReader, FileCutAtEveryLengthIsRefused)
{
    for (bool tagged : {true, false}) {
        WalkGridOptions options;
        options.tagged = tagged;
        const std::vector<uint8_t> bytes = WalkGridFromPicture({"..#.", "1...", "....", "...#"}, options).Serialize();
        ASSERT_EQ(bytes.size(), tagged ? 66u + 6 * 16 : 60u + 5 * 16);
        for (size_t length = 1; length < bytes.size(); ++length) {
            SCOPED_TRACE(length);
            // A copy of exactly that length, so that the sanitizer sees any read past it.
            std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + length);
            CQmAiMap map;
            EXPECT_FALSE(map.ReadFromFile(cut.data(), cut.size()));
            EXPECT_EQ(map.count, 0);
        }
        CQmAiMap map;
        EXPECT_TRUE(map.ReadFromFile(bytes.data(), bytes.size()));
    }
}

TEST(QmAiMapReader, HeightsThatAreNotFiniteMeanNoFloor)
{
    WalkGridImage image = WalkGridFromPicture({"....", "...."}, WalkGridOptions());
    image.At(0, 0).height = NAN;
    image.At(1, 0).height = INFINITY;
    image.At(2, 0).height = -INFINITY;
    image.At(3, 0).height = -3.0f;
    CQmAiMap map;
    ASSERT_TRUE(LoadImage(map, image));
    EXPECT_EQ(map.cells[0].height, 1e30f);
    EXPECT_EQ(map.cells[1].height, 1e30f);
    EXPECT_EQ(map.cells[2].height, 1e30f);
    EXPECT_EQ(map.cells[3].height, -3.0f);
}

TEST(QmAiMapQueries, WorldToCell)
{
    CQmAiMap map;
    ASSERT_TRUE(LoadPicture(map, {"....", "....", "...."}, TenUnitCells()));
    const struct {
        float x, z;
        int32_t column, row, index;
    } cases[] = {
        {-35.0f, -15.0f, 0, 0, 0},
        {-40.0f, -15.0f, -1, 0, -1},   // on the low bound: outside
        {-39.99f, -19.99f, 0, 0, 0},
        {-25.0f, -5.0f, 1, 1, 5},
        {-0.01f, 9.99f, 3, 2, 11},
        {0.0f, 5.0f, -1, 2, -1},       // on the high bound: outside
        {-5.0f, 10.0f, 3, -1, -1},
        {-50.0f, 50.0f, -1, -1, -1},
        {NAN, NAN, -1, -1, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + ", " + std::to_string(c.z));
        EXPECT_EQ(map.GetColumn(c.x), c.column);
        EXPECT_EQ(map.GetRow(c.z), c.row);
        EXPECT_EQ(map.GetCellIndex(c.x, c.z), c.index);
    }
    Vec3 centre, low, high;
    ASSERT_TRUE(map.GetCellCenter(5, centre));
    EXPECT_EQ(centre.x, -25.0f);
    EXPECT_EQ(centre.y, 0.0f);
    EXPECT_EQ(centre.z, -5.0f);
    ASSERT_TRUE(map.GetCellBounds(7, low, high));
    EXPECT_EQ(low.x, -10.0f);
    EXPECT_EQ(low.z, -10.0f);
    EXPECT_EQ(high.x, 0.0f);
    EXPECT_EQ(high.z, 0.0f);
    EXPECT_FALSE(map.GetCellCenter(-1, centre));
    EXPECT_FALSE(map.GetCellCenter(12, centre));
    EXPECT_FALSE(map.GetCellBounds(12, low, high));
}

// The scale is stored, not derived from the cell size: a file whose scale is
// too large maps points inside its bounds past the last column or row.
TEST(QmAiMapQueries, ScalePastTheCellsGivesNoCell)
{
    WalkGridImage image = WalkGridFromPicture({"....", "....", "...."}, TenUnitCells());
    image.cellsPerUnit = 0.2f;
    CQmAiMap map;
    ASSERT_TRUE(LoadImage(map, image));
    EXPECT_EQ(map.GetColumn(-25.0f), 3);   // 15 * 0.2
    EXPECT_EQ(map.GetColumn(-15.0f), -1);  // 25 * 0.2 = column 5 of 4
    EXPECT_EQ(map.GetRow(-9.0f), 2);
    EXPECT_EQ(map.GetRow(-5.0f), -1);      // 15 * 0.2 = row 3 of 3
    EXPECT_EQ(map.GetCellIndex(-15.0f, -15.0f), -1);
    EXPECT_EQ(map.GetHeight(-15.0f, -15.0f), 1e30f);
    EXPECT_EQ(map.GetSurfaceKind(-5.0f, 5.0f), -1);
    CQmWalkPath path;
    EXPECT_FALSE(map.SearchPath({-35, 0, -15}, {-5, 0, 5}, path));
    EXPECT_FALSE(map.FindPath(path, {-35, 0, -15}, {-5, 0, 5}));
    // A scale that overflows an integer column.
    image.cellsPerUnit = 1e30f;
    ASSERT_TRUE(LoadImage(map, image));
    EXPECT_EQ(map.GetColumn(-25.0f), -1);
}

// Heights h = 0.5 column + 2 row at the cell corners: the floor is that plane.
TEST(QmAiMapQueries, HeightOfThePlaneThroughTheCorners)
{
    WalkGridOptions options = TenUnitCells();
    options.slopeX = 0.5f;
    options.slopeZ = 2.0f;
    CQmAiMap map;
    ASSERT_TRUE(LoadPicture(map, {"....", ".+#.", "...."}, options));
    const struct {
        float x, z, bias, expected;
    } cases[] = {
        {-35.0f, -15.0f, 0.0f, 1.25f},   // middle of cell 0: 0.5 * 0.5 + 2 * 0.5
        {-38.0f, -12.0f, 0.0f, 1.7f},    // first triangle: 0.1 + 1.6
        {-32.0f, -18.0f, 0.0f, 0.8f},    // second triangle: 0.4 + 0.4
        {-35.0f, -15.0f, 3.0f, 4.25f},   // heightBias is added
        {-25.0f, -5.0f, 0.0f, 3.75f},    // locked cell: it still has a floor
        {-15.0f, -5.0f, 0.0f, 1e30f},    // blocked cell
        {-5.0f, -15.0f, 0.0f, 1e30f},    // last column
        {-25.0f, 5.0f, 0.0f, 1e30f},     // last row
        {-45.0f, -15.0f, 0.0f, 1e30f},   // outside
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + ", " + std::to_string(c.z));
        map.heightBias = c.bias;
        const float height = map.GetHeight(c.x, c.z);
        if (c.expected == 1e30f)
            EXPECT_EQ(height, 1e30f);
        else
            EXPECT_NEAR(height, c.expected, 1e-5f);
    }
}

TEST(QmAiMapQueries, MissingCornerHeights)
{
    // Corners of cell 0: c0 its own, c1 the cell above (row 1), c2 diagonal, c3 right.
    const struct {
        const char* what;
        float h0, h1, h2, h3;
        bool found;
        float c0, c1, c2, c3;
    } cases[] = {
        {"all present", 1, 3, 6, 9, true, 1, 3, 6, 9},
        {"c0 takes the mean of the others", 1e30f, 3, 6, 9, true, 6, 3, 6, 9},
        {"c0 from the two present", 1e30f, 1e30f, 4, 8, true, 6, 6, 4, 8},
        {"others take c0", 2, 1e30f, 6, 1e30f, true, 2, 2, 6, 2},
        {"no corner at all", 1e30f, 1e30f, 1e30f, 1e30f, false, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WalkGridImage image = WalkGridFromPicture({"...", "...", "..."}, WalkGridOptions());
        image.At(0, 0).height = c.h0;
        image.At(0, 1).height = c.h1;
        image.At(1, 1).height = c.h2;
        image.At(1, 0).height = c.h3;
        CQmAiMap map;
        ASSERT_TRUE(LoadImage(map, image));
        Vec3 c0, c1, c2, c3;
        ASSERT_EQ(map.GetCellCorners(0, c0, c1, c2, c3), c.found);
        if (!c.found) {
            EXPECT_EQ(map.GetHeight(0.5f, 0.5f), 1e30f);
            continue;
        }
        EXPECT_EQ(c0.y, c.c0);
        EXPECT_EQ(c1.y, c.c1);
        EXPECT_EQ(c2.y, c.c2);
        EXPECT_EQ(c3.y, c.c3);
        EXPECT_EQ(c0.x, 0.0f);
        EXPECT_EQ(c1.z, 1.0f);
        EXPECT_EQ(c2.x, 1.0f);
        EXPECT_EQ(c3.z, 0.0f);
    }
}

// The first triangle (c0, c1, c2) lies flat, the second rises to 100 at c3.
// Enlarged by 1.001, the first one wins on the diagonal and just past it.
TEST(QmAiMapQueries, FirstTriangleWinsOnTheDiagonal)
{
    WalkGridOptions options;
    options.cellSize = 10.0f;
    WalkGridImage image = WalkGridFromPicture({"...", "...", "..."}, options);
    image.At(1, 0).height = 100.0f;
    CQmAiMap map;
    ASSERT_TRUE(LoadImage(map, image));
    EXPECT_EQ(map.GetHeight(5.0f, 5.0f), 0.0f);
    EXPECT_EQ(map.GetHeight(5.001f, 4.999f), 0.0f);          // 0.0014 past the diagonal
    EXPECT_NEAR(map.GetHeight(5.01f, 4.99f), 0.2f, 1e-3f);   // 0.014 past it: the second
    EXPECT_NEAR(map.GetHeight(8.0f, 2.0f), 60.0f, 1e-3f);
}

TEST(QmAiMapQueries, HugeHeightsGiveNoFloorRatherThanNaN)
{
    WalkGridImage image = WalkGridFromPicture({"...", "...", "..."}, WalkGridOptions());
    image.At(0, 0).height = 3e38f;
    image.At(1, 0).height = -3e38f;
    image.At(0, 1).height = -3e38f;
    CQmAiMap map;
    ASSERT_TRUE(LoadImage(map, image));
    const float height = map.GetHeight(0.7f, 0.2f);
    EXPECT_TRUE(height == 1e30f || std::isfinite(height));
}

TEST(QmAiMapQueries, SurfaceKinds)
{
    for (bool tagged : {true, false}) {
        WalkGridOptions options;
        options.tagged = tagged;
        CQmAiMap map;
        ASSERT_TRUE(LoadPicture(map, {"07.", "#4."}, options));
        EXPECT_EQ(map.GetSurfaceKind(0.5f, 0.5f), tagged ? 0 : 255);
        EXPECT_EQ(map.GetSurfaceKind(1.5f, 0.5f), tagged ? 7 : 255);
        EXPECT_EQ(map.GetSurfaceKind(1.5f, 1.5f), tagged ? 4 : 255);
        EXPECT_EQ(map.GetSurfaceKind(2.5f, 0.5f), 255);
        EXPECT_EQ(map.GetSurfaceKind(3.5f, 0.5f), -1);
    }
}

TEST(QmAiMapQueries, ResetMarksClearsInnerLocksOnly)
{
    CQmAiMap map;
    ASSERT_TRUE(LoadPicture(map, {"++++", "+++.", "+#++", "++++"}));
    map.cells[6].flags = kAiCellBlocked | kAiCellLocked;
    map.ResetMarks();
    const uint8_t expected[16] = {2, 2, 2, 2, 2, 0, 3, 0, 2, 1, 0, 2, 2, 2, 2, 2};
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(map.cells[i].flags, expected[i]) << "cell " << i;
}

} // namespace
