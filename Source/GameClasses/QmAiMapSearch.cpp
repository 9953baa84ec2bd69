// The path search of the walk grid: the cell line walk, the best-first search
// from the target back to the walker, the line-of-sight shortening of its
// chain, and the approach to a blocked target.
#include "Source/GameClasses/QmAiMap.h"
#include "Source/GameClasses/QmWalkPath.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>

namespace {

// The eight neighbours {column step, row step}; odd entries are the diagonals.
const int32_t kDirections[8][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};

const int32_t kStraightStep = 10;
const int32_t kDiagonalStep = 14;

struct CornerPick {
    bool lowX;
    bool lowZ;
};

// For each direction quadrant (2 * (d.x < 0) + (d.z < 0)), the two cell corners
// that lie farthest to either side of a line of that direction: the line
// passes through the cell when the first is not right of it and the second
// not left of it.
const CornerPick kSideCorners[4][2] = {
    {{true, false}, {false, true}},
    {{false, false}, {true, true}},
    {{true, true}, {false, false}},
    {{false, true}, {true, false}},
};

float SquaredDistance(const Vec3& a, const Vec3& b)
{
    const float dx = a.x - b.x;
    const float dz = a.z - b.z;
    return dx * dx + dz * dz;
}

} // namespace

void CQmAiMap::BeginLineWalk(const Vec3& start, const Vec3& end)
{
    walkDone = true;
    walkReached = true;
    previousFront.clear();
    currentFront.clear();
    previousPlaces.clear();
    currentPlaces.clear();
    walkStart = start;
    walkEnd = end;
    walkStartCell = GetCellIndex(start.x, start.z);
    walkEndCell = GetCellIndex(end.x, end.z);
    // A segment that leaves the grid crosses no cell we know of.
    if (walkStartCell < 0 || walkEndCell < 0)
        return;
    currentFront.push_back(walkStartCell);
    currentPlaces.push_back({walkStartCell % width, walkStartCell / width});
    if (walkStartCell == walkEndCell)
        return;
    const float dx = end.x - start.x;
    const float dz = end.z - start.z;
    const float length = std::sqrt(dx * dx + dz * dz);
    walkDirX = dx / length;
    walkDirZ = dz / length;
    walkQuadrant = 2 * (walkDirX < 0.0f) + (walkDirZ < 0.0f);
    walkStepX = walkDirX < 0.0f ? -1 : 1;
    walkStepZ = walkDirZ < 0.0f ? -1 : 1;
    const CornerPick* pick = kSideCorners[walkQuadrant];
    for (int k = 0; k < 2; ++k) {
        walkCorner[2 * k] = pick[k].lowX ? 0.0f : cellSize;
        walkCorner[2 * k + 1] = pick[k].lowZ ? 0.0f : cellSize;
    }
    walkDone = false;
    walkReached = false;
}

bool CQmAiMap::LineCrossesCell(int32_t quadrant, const Vec3& low, const Vec3& high) const
{
    const CornerPick* pick = kSideCorners[quadrant & 3];
    auto side = [&](const CornerPick& corner) {
        const float x = corner.lowX ? low.x : high.x;
        const float z = corner.lowZ ? low.z : high.z;
        return walkDirZ * (x - walkStart.x) - walkDirX * (z - walkStart.z);
    };
    return side(pick[0]) <= 0.0f && side(pick[1]) >= 0.0f;
}

inline bool CQmAiMap::CrossesCellAt(int32_t column, int32_t row) const
{
    // The cell's bounds exactly as GetCellBounds gives them (adding 0 keeps
    // the low corner as it is), with the corners of the side test chosen
    // once per walk: this runs for every step of every line the path
    // builder walks.
    const float lowX = float(column) * cellSize + boundsMin.x;
    const float lowZ = float(row) * cellSize + boundsMin.z;
    const float s0 = walkDirZ * (lowX + walkCorner[0] - walkStart.x) - walkDirX * (lowZ + walkCorner[1] - walkStart.z);
    const float s1 = walkDirZ * (lowX + walkCorner[2] - walkStart.x) - walkDirX * (lowZ + walkCorner[3] - walkStart.z);
    return (s0 <= 0.0f) & (s1 >= 0.0f);
}

bool CQmAiMap::NextLineStep()
{
    if (walkDone)
        return false;
    previousFront.swap(currentFront);
    previousPlaces.swap(currentPlaces);
    currentFront.clear();
    currentPlaces.clear();
    const int32_t steps[3][2] = {{walkStepX, 0}, {walkStepX, walkStepZ}, {0, walkStepZ}};
    auto listed = [](const std::vector<int32_t>& front, int32_t cell) {
        for (int32_t listedCell : front)
            if (listedCell == cell)
                return true;
        return false;
    };
    // The neighbours of a single cell can be in neither front: the usual
    // case needs no look-up.
    const bool single = previousFront.size() == 1;
    for (size_t k = 0; k < previousFront.size(); ++k) {
        const FrontPlace place = previousPlaces[k];
        for (const auto& step : steps) {
            // A neighbour past the grid's edge is simply not there: the line
            // may still run on along the border.
            const int32_t column = place.column + step[0];
            const int32_t row = place.row + step[1];
            if (column < 0 || column >= width || row < 0 || row >= height)
                continue;
            const int32_t next = row * width + column;
            if (CrossesCellAt(column, row) && (single || (!listed(previousFront, next) && !listed(currentFront, next)))) {
                currentFront.push_back(next);
                currentPlaces.push_back({column, row});
            }
            if (next == walkEndCell)
                walkReached = walkDone = true;
        }
    }
    if (currentFront.empty())
        walkDone = true;
    if (walkReached) {
        // Cells beyond the end cell, reached by the last front, are not on the segment.
        const int32_t e = walkEndCell;
        const int32_t w = width;
        size_t kept = 0;
        for (size_t k = 0; k < currentFront.size(); ++k) {
            const int32_t cell = currentFront[k];
            bool beyond;
            switch (walkQuadrant) {
            case 0: beyond = cell > e; break;
            case 1: beyond = cell - e == 1 || cell - e == -w; break;
            case 2: beyond = cell - e == -1 || cell - e == w; break;
            default: beyond = cell < e; break;
            }
            if (!beyond) {
                currentFront[kept] = cell;
                currentPlaces[kept] = currentPlaces[k];
                ++kept;
            }
        }
        currentFront.resize(kept);
        currentPlaces.resize(kept);
    }
    return true;
}

bool CQmAiMap::WalkIsFree(const Vec3& start, const Vec3& end)
{
    BeginLineWalk(start, end);
    if (currentFront.empty())
        return false;
    do {
        for (int32_t cell : currentFront)
            if (!IsFree(cell))
                return false;
    } while (NextLineStep());
    return true;
}

bool CQmAiMap::IsLineFree()
{
    return WalkIsFree(searchTo, searchFrom);
}

int32_t CQmAiMap::LineDeviation(int32_t column, int32_t row) const
{
    const int64_t area = int64_t(toColumn - fromColumn) * (row - toRow) + int64_t(fromRow - toRow) * (column - toColumn);
    return int32_t(std::min<int64_t>(std::llabs(2 * area), INT32_MAX / 2));
}

bool CQmAiMap::InsideShrunkBounds(const Vec3& point) const
{
    // In double: near a large bound the float step is wider than the margin,
    // which would let a point on the bound itself through.
    const double margin = FLT_EPSILON;
    return double(boundsMin.x) + margin <= point.x && point.x <= double(boundsMax.x) - margin &&
           double(boundsMin.z) + margin <= point.z && point.z <= double(boundsMax.z) - margin;
}

void CQmAiMap::SetSearchFrom(const Vec3& from)
{
    searchFrom = {from.x, 0.0f, from.z};
    fromColumn = GetColumn(from.x);
    fromRow = GetRow(from.z);
}

bool CQmAiMap::SearchPath(const Vec3& from, const Vec3& to, CQmWalkPath& path)
{
    if (count == 0 || !InsideShrunkBounds(from) || !InsideShrunkBounds(to))
        return false;
    searchTo = {to.x, 0.0f, to.z};
    toColumn = GetColumn(to.x);
    toRow = GetRow(to.z);
    SetSearchFrom(from);
    path.Clear();
    const int32_t toCell = GetCellIndex(to.x, to.z);
    int32_t fromCell = GetCellIndex(from.x, from.z);
    // Inside the bounds yet past the cells: a file whose cell size and scale disagree.
    if (toCell < 0 || fromCell < 0 || !IsFree(toCell))
        return false;
    if (!IsFree(fromCell)) {
        Vec3 free;
        if (!FindNearestFreePoint(from, free))
            return false;
        path.AddPoint(from);
        SetSearchFrom(free);
        fromCell = GetCellIndex(free.x, free.z);
        if (fromCell < 0)
            return false;
    }
    if (IsLineFree()) {
        path.AddPoint(searchFrom);
        path.AddPoint(searchTo);
        return true;
    }

    for (int32_t i = 0; i < count; ++i) {
        AiCell& cell = cells[i];
        cell.open = 0;
        cell.closed = 0;
        cell.g = 0;
        cell.f = 0;
        cell.parent = -1;
    }
    openList.Clear();
    cells[toCell].open = 1;
    cells[toCell].f = LineDeviation(toColumn, toRow);
    openList.Push({toCell, cells[toCell].f});

    while (!openList.IsEmpty()) {
        const int32_t m = openList.Root().cell;
        openList.PopMin();
        if (m == fromCell) {
            BuildPath(fromCell, toCell, path);
            return true;
        }
        const int32_t column = m % width;
        const int32_t row = m / width;
        for (int32_t k = 0; k < 8; ++k) {
            const int32_t dx = kDirections[k][0];
            const int32_t dy = kDirections[k][1];
            const int32_t nextColumn = column + dx;
            const int32_t nextRow = row + dy;
            if (nextColumn < 0 || nextColumn >= width || nextRow < 0 || nextRow >= height)
                continue;
            const int32_t n = m + dy * width + dx;
            AiCell& next = cells[n];
            if (next.flags != 0 || next.closed)
                continue;
            // No corner cutting: a diagonal step needs both cells beside it free.
            if ((k & 1) && (!IsFree(m + dx) || !IsFree(m + dy * width)))
                continue;
            const int32_t g = cells[m].g + ((k & 1) ? kDiagonalStep : kStraightStep);
            if (next.open && next.g <= g)
                continue;
            next.parent = m;
            next.g = g;
            next.f = g + LineDeviation(nextColumn, nextRow);
            next.closed = 0;
            if (next.open) {
                openList.Update(openList.PositionOf(n), {n, next.f});
            } else {
                openList.Push({n, next.f});
                next.open = 1;
            }
        }
        cells[m].open = 0;
        cells[m].closed = 1;
    }
    return false;
}

void CQmAiMap::BuildPath(int32_t fromCell, int32_t toCell, CQmWalkPath& path)
{
    Vec3 anchor = searchFrom;
    path.AddPoint(anchor);
    cells[fromCell].f = -1;
    // The cell whose centre the anchor was last moved to. The line from a
    // cell's centre to its chain neighbour only crosses free cells, unless
    // the file's cell size and scale disagree; then the step is taken as it
    // is rather than retried for ever.
    int32_t anchorCell = -1;
    int32_t cur = fromCell;
    for (;;) {
        const int32_t prev = cur;
        cur = cells[prev].parent;
        if (cur < 0)
            break;
        cells[cur].f = -1;
        Vec3 target = searchTo;
        if (cur != toCell)
            GetCellCenter(cur, target);
        if (!WalkIsFree(anchor, target) && anchorCell != prev) {
            GetCellCenter(prev, anchor);
            anchorCell = prev;
            path.AddPoint(anchor);
            cur = prev;
        }
        if (cur == toCell)
            break;
    }
    path.AddPoint(searchTo);
}

bool CQmAiMap::FindNearestFreePoint(const Vec3& point, Vec3& result)
{
    const int32_t start = GetCellIndex(point.x, point.z);
    if (start < 0)
        return false;
    if (IsFree(start)) {
        result = point;
        return true;
    }
    // Only inner cells are searched; a grid of fewer than three columns or rows has none.
    if (width < 3 || height < 3)
        return false;
    int32_t left = start % width;
    int32_t right = left;
    int32_t top = start / width;
    int32_t bottom = top;
    float best = 1e30f;
    auto visit = [&](int32_t column, int32_t row) {
        const int32_t cell = row * width + column;
        if (!IsFree(cell))
            return;
        Vec3 centre;
        GetCellCenter(cell, centre);
        const float distance = SquaredDistance(centre, point);
        if (distance < best) {
            best = distance;
            result = centre;
        }
    };
    for (;;) {
        int stopped = 0;
        auto grow = [&stopped](int32_t& side, int32_t step, int32_t limit) {
            side += step;
            if ((step < 0 && side < limit) || (step > 0 && side > limit)) {
                side = limit;
                ++stopped;
            }
        };
        grow(left, -1, 1);
        grow(top, -1, 1);
        grow(right, 1, width - 2);
        grow(bottom, 1, height - 2);
        if (stopped == 4)
            return false;
        // The ring's border, once around: down the left column, along the
        // bottom row, up the right column, back along the top row.
        if (left == right && top == bottom)
            visit(left, top);
        for (int32_t row = top; row < bottom; ++row)
            visit(left, row);
        for (int32_t column = left; column < right; ++column)
            visit(column, bottom);
        for (int32_t row = bottom; row > top; --row)
            visit(right, row);
        for (int32_t column = right; column > left; --column)
            visit(column, top);
        if (best < 1e30f)
            return true;
    }
}

int32_t CQmAiMap::FirstFreeAlong(int32_t cell, int32_t dx, int32_t dy) const
{
    int32_t column = cell % width + dx;
    int32_t row = cell / width + dy;
    for (; column >= 0 && column < width && row >= 0 && row < height; column += dx, row += dy)
        if (IsFree(row * width + column))
            return row * width + column;
    return -1;
}

bool CQmAiMap::FindPath(CQmWalkPath& path, const Vec3& from, const Vec3& to)
{
    const int32_t fromCell = GetCellIndex(from.x, from.z);
    const int32_t toCell = GetCellIndex(to.x, to.z);
    if (fromCell < 0 || toCell < 0)
        return false;
    if (IsFree(fromCell) && IsFree(toCell))
        return SearchPath(from, to, path);
    if (!IsFree(fromCell))
        return false;

    // Approach cells: the first free cell on the way back to the walker, then
    // the first free cell on each of eight rays from the target.
    int32_t candidates[9];
    candidates[0] = -1;
    BeginLineWalk(to, from);
    do {
        for (int32_t cell : currentFront) {
            if (IsFree(cell)) {
                candidates[0] = cell;
                break;
            }
        }
    } while (candidates[0] < 0 && NextLineStep());
    const int32_t rays[8][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}, {1, 1}, {-1, 1}, {-1, -1}, {1, -1}};
    for (int32_t k = 0; k < 8; ++k) {
        const int32_t cell = FirstFreeAlong(toCell, rays[k][0], rays[k][1]);
        candidates[k + 1] = cell == candidates[0] ? -1 : cell;
    }

    struct Approach {
        int32_t cell;
        float distance;
        Vec3 centre;
    };
    Approach approaches[9];
    int found = 0;
    for (int32_t cell : candidates) {
        if (cell < 0)
            continue;
        Approach& approach = approaches[found++];
        approach.cell = cell;
        GetCellCenter(cell, approach.centre);
        approach.distance = SquaredDistance(approach.centre, to);
    }
    std::stable_sort(approaches, approaches + found,
                     [](const Approach& a, const Approach& b) { return a.distance < b.distance; });
    for (int i = 0; i < found; ++i) {
        if (SearchPath(from, approaches[i].centre, path))
            return SquaredDistance(approaches[i].centre, from) > FLT_EPSILON;
    }
    return false;
}
