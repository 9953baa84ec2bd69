// A location's walk grid: square cells in the x-z plane, free or blocked, with
// floor heights and surface kinds, and the path search across them.
//
// Cells are stored row by row (index = row * width + column); the grid covers
// boundsMin..boundsMax in x and z. A cell's height belongs to its low corner,
// so the heights form a vertex lattice and the floor inside a cell is two
// triangles. 1e30 stands for "no floor" everywhere.
//
// Files come in two packed little-endian layouts: the legacy one (60-byte
// header, 5-byte cells {flags, height}) and "ver001" (the tag, the same header,
// 6-byte cells {flags, height, surface}). The reader never trusts the file:
// a header that does not describe exactly the cells that follow is refused
// and the grid stays as it was.
//
// The path search keeps its state in the cells and in this object, so one
// grid serves one search at a time.
#pragma once

#include "Engine/Core/Common/GeMath.h"
#include "Source/GameClasses/AiOpenList.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class CQmWalkPath;

// The value that stands for "no floor height".
constexpr float kAiNoHeight = 1e30f;

enum : uint8_t {
    kAiCellBlocked = 1,  // from the file
    kAiCellLocked = 2,   // by an entity standing on it
};

struct AiCell {
    uint8_t flags = 0;   // any non-zero byte keeps the path search out
    uint8_t open = 0;
    uint8_t closed = 0;
    int32_t g = 0;
    int32_t f = 0;       // the path builder marks its chain with -1
    int32_t parent = -1;
    float height = 0.0f; // at the cell's low corner; kAiNoHeight for none
    uint8_t surface = 255;  // 255: none
};

class CQmAiMap {
public:
    CQmAiMap();
    ~CQmAiMap();
    CQmAiMap(const CQmAiMap&) = delete;
    CQmAiMap& operator=(const CQmAiMap&) = delete;

    // Reads a whole grid file. False for no data and for a refused file (with
    // a log line); a refused file leaves the grid as it was.
    bool ReadFromFile(const uint8_t* data, size_t size);

    // World to cell; -1 outside the bounds or past the last column or row.
    int32_t GetColumn(float x) const;
    int32_t GetRow(float z) const;
    int32_t GetCellIndex(float x, float z) const;
    // False for an index outside the cells.
    bool GetCellCenter(int32_t index, Vec3& centre) const;
    bool GetCellBounds(int32_t index, Vec3& low, Vec3& high) const;
    // The four corners of a free cell, low corner first, then counter to the
    // x axis: c0 (x0, z0), c1 (x0, z1), c2 (x1, z1), c3 (x1, z0). False for a
    // blocked cell, a cell of the last column or row, and when no corner has
    // a height.
    bool GetCellCorners(int32_t index, Vec3& c0, Vec3& c1, Vec3& c2, Vec3& c3) const;
    // Floor height under a point plus heightBias; kAiNoHeight for no floor.
    float GetHeight(float x, float z) const;
    // The surface byte under a point (255 for none); -1 outside.
    int32_t GetSurfaceKind(float x, float z) const;
    // Frees the cells that entities locked, except on the border.
    void ResetMarks();

    // The cells a straight segment crosses, front by front: after BeginLineWalk
    // and after every NextLineStep that answers true, CurrentFront() holds the
    // cells the segment reaches next.
    void BeginLineWalk(const Vec3& start, const Vec3& end);
    bool NextLineStep();
    const std::vector<int32_t>& CurrentFront() const { return currentFront; }
    // Whether a segment's line passes through a cell, for the segment's
    // direction quadrant; a line along an edge or through a corner counts.
    bool LineCrossesCell(int32_t quadrant, const Vec3& low, const Vec3& high) const;
    // The segment between the search's target and start crosses free cells only.
    bool IsLineFree();
    // Twice the area of the triangle (target cell, start cell, cell).
    int32_t LineDeviation(int32_t column, int32_t row) const;

    // A path between two floor points when the target cell is free; the path
    // is cleared first. False when the points are outside, the target is
    // blocked or no way leads there.
    bool SearchPath(const Vec3& from, const Vec3& to, CQmWalkPath& path);
    // As SearchPath, and for a blocked target a way to the nearest reachable
    // approach cell. False when the walker stands on a blocked cell or already
    // stands at the approach.
    bool FindPath(CQmWalkPath& path, const Vec3& from, const Vec3& to);
    // The point itself on a free cell, else the centre of the nearest free
    // inner cell; false when there is none.
    bool FindNearestFreePoint(const Vec3& point, Vec3& result);

    AiCell* cells = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t count = 0;
    Vec3 boundsMin = {0, 0, 0};
    Vec3 boundsMax = {0, 0, 0};
    float cellSize = 0.0f;
    float cellsPerUnit = 0.0f;  // stored in the file, not derived
    float rangeLow = 1e30f;     // only stored
    float rangeHigh = -1e30f;
    float heightBias = 0.0f;
    float maxLineDistance = 30.0f;
    float circleFactor = 0.5f;
    AiOpenList openList;

    // Search workspace: the current request's end points (y 0) and cells.
    Vec3 searchTo = {0, 0, 0};
    Vec3 searchFrom = {0, 0, 0};
    int32_t toColumn = 0;
    int32_t toRow = 0;
    int32_t fromColumn = 0;
    int32_t fromRow = 0;

private:
    bool IsFree(int32_t index) const { return cells[index].flags == 0; }
    // Column or row of a coordinate between two bounds; -1 outside or past the cells.
    int32_t CellAlong(float value, float low, float high, int32_t cellCount) const;
    bool InsideShrunkBounds(const Vec3& point) const;
    void SetSearchFrom(const Vec3& from);
    // Every cell a segment crosses is free.
    bool WalkIsFree(const Vec3& start, const Vec3& end);
    // The side test of the current walk for the cell at (column, row).
    bool CrossesCellAt(int32_t column, int32_t row) const;
    void BuildPath(int32_t fromCell, int32_t toCell, CQmWalkPath& path);
    // First free cell stepping from a cell by (dx, dy) up to the grid's edge; -1 none.
    int32_t FirstFreeAlong(int32_t cell, int32_t dx, int32_t dy) const;

    // Line-walk state.
    Vec3 walkStart = {0, 0, 0};
    Vec3 walkEnd = {0, 0, 0};
    float walkDirX = 0.0f;
    float walkDirZ = 0.0f;
    int32_t walkQuadrant = 0;
    int32_t walkStepX = 0;   // +1 or -1 column
    int32_t walkStepZ = 0;   // +1 or -1 row
    float walkCorner[4] = {0, 0, 0, 0};  // x, z offsets from a cell's low corner of the two side-test corners
    int32_t walkStartCell = -1;
    int32_t walkEndCell = -1;
    std::vector<int32_t> previousFront;
    std::vector<int32_t> currentFront;
    // Column and row of each front cell, beside it, so that a step needs no division.
    struct FrontPlace {
        int32_t column;
        int32_t row;
    };
    std::vector<FrontPlace> previousPlaces;
    std::vector<FrontPlace> currentPlaces;
    bool walkDone = true;
    bool walkReached = true;
};
