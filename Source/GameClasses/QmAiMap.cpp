#include "Source/GameClasses/QmAiMap.h"

#include "Engine/Core/Common/GeLittleEndian.h"
#include "Engine/Core/Common/GeLog.h"

#include <cmath>
#include <cstring>

namespace {

const char kVersionTag[6] = {'v', 'e', 'r', '0', '0', '1'};
const size_t kLegacyHeaderSize = 60;

Vec3 ReadVec3(const uint8_t* at)
{
    return {ReadLeF32(at), ReadLeF32(at + 4), ReadLeF32(at + 8)};
}

bool AllFinite(std::initializer_list<float> values)
{
    for (float value : values)
        if (!std::isfinite(value))
            return false;
    return true;
}

// Inside or on the triangle (a, b, c) in x-z, after the triangle was enlarged
// by 1.001 about its centroid so that points on a shared edge never fall
// between the two triangles of a cell.
bool InsideEnlargedTriangle(const Vec3& a, const Vec3& b, const Vec3& c, float x, float z)
{
    const float gx = (a.x + b.x + c.x) / 3.0f;
    const float gz = (a.z + b.z + c.z) / 3.0f;
    const float k = 1.001f;
    const float ax = gx + (a.x - gx) * k, az = gz + (a.z - gz) * k;
    const float bx = gx + (b.x - gx) * k, bz = gz + (b.z - gz) * k;
    const float cx = gx + (c.x - gx) * k, cz = gz + (c.z - gz) * k;
    const float e0 = (bx - ax) * (z - az) - (bz - az) * (x - ax);
    const float e1 = (cx - bx) * (z - bz) - (cz - bz) * (x - bx);
    const float e2 = (ax - cx) * (z - cz) - (az - cz) * (x - cx);
    return (e0 >= 0 && e1 >= 0 && e2 >= 0) || (e0 <= 0 && e1 <= 0 && e2 <= 0);
}

// Height of the plane through the triangle at (x, z); NaN when the plane is vertical.
float PlaneHeight(const Vec3& c0, const Vec3& a, const Vec3& b, float x, float z)
{
    const Vec3 n = Vec3::Cross({a.x - c0.x, a.y - c0.y, a.z - c0.z}, {b.x - c0.x, b.y - c0.y, b.z - c0.z});
    if (n.y == 0.0f)
        return NAN;
    return c0.y + ((c0.x - x) * n.x + (c0.z - z) * n.z) / n.y;
}

} // namespace

CQmAiMap::CQmAiMap()
{
    previousFront.reserve(3);
    currentFront.reserve(3);
    previousPlaces.reserve(3);
    currentPlaces.reserve(3);
}

CQmAiMap::~CQmAiMap()
{
    delete[] cells;
}

bool CQmAiMap::ReadFromFile(const uint8_t* data, size_t size)
{
    if (!data || size == 0)
        return false;
    const bool tagged = size >= sizeof kVersionTag && std::memcmp(data, kVersionTag, sizeof kVersionTag) == 0;
    const size_t headerStart = tagged ? sizeof kVersionTag : 0;
    const size_t recordSize = tagged ? 6 : 5;
    if (size < headerStart + kLegacyHeaderSize) {
        GeLog(2, "CQmAiMap::ReadFromFile: the file ends inside its header (%zu bytes)\n", size);
        return false;
    }
    const uint8_t* header = data + headerStart;
    const int32_t newWidth = ReadLeI32(header);
    const int32_t newHeight = ReadLeI32(header + 4);
    const int32_t newCount = ReadLeI32(header + 8);
    const Vec3 newMin = ReadVec3(header + 12);
    const Vec3 newMax = ReadVec3(header + 28);
    const float newCellSize = ReadLeF32(header + 44);
    const float newCellsPerUnit = ReadLeF32(header + 48);
    const float newRangeLow = ReadLeF32(header + 52);
    const float newRangeHigh = ReadLeF32(header + 56);

    if (!AllFinite({newMin.x, newMin.y, newMin.z, newMax.x, newMax.y, newMax.z, newCellSize, newCellsPerUnit,
                    newRangeLow, newRangeHigh})) {
        GeLog(2, "CQmAiMap::ReadFromFile: a header number is not finite\n");
        return false;
    }
    if (newWidth < 1 || newHeight < 1 || newCount < 1 || newMax.x <= newMin.x || newMax.z <= newMin.z ||
        newCellSize <= 0.0f || newCellsPerUnit <= 0.0f) {
        GeLog(2, "CQmAiMap::ReadFromFile: refused header (%d x %d cells, count %d)\n", newWidth, newHeight, newCount);
        return false;
    }
    if (int64_t(newWidth) * newHeight != newCount) {
        GeLog(2, "CQmAiMap::ReadFromFile: count %d is not %d x %d\n", newCount, newWidth, newHeight);
        return false;
    }
    const size_t cellStart = headerStart + kLegacyHeaderSize;
    if ((size - cellStart) / recordSize < size_t(newCount)) {
        GeLog(2, "CQmAiMap::ReadFromFile: %d cells do not fit in %zu bytes\n", newCount, size);
        return false;
    }

    AiCell* newCells = new AiCell[size_t(newCount)];
    const uint8_t* record = data + cellStart;
    for (int32_t i = 0; i < newCount; ++i, record += recordSize) {
        newCells[i].flags = record[0];
        const float cellHeight = ReadLeF32(record + 1);
        newCells[i].height = std::isfinite(cellHeight) ? cellHeight : kAiNoHeight;
        if (tagged)
            newCells[i].surface = record[5];
    }
    delete[] cells;
    cells = newCells;
    width = newWidth;
    height = newHeight;
    count = newCount;
    boundsMin = newMin;
    boundsMax = newMax;
    cellSize = newCellSize;
    cellsPerUnit = newCellsPerUnit;
    rangeLow = newRangeLow;
    rangeHigh = newRangeHigh;
    openList.Reset(count);
    return true;
}

int32_t CQmAiMap::CellAlong(float value, float low, float high, int32_t cellCount) const
{
    if (!(low < value && value < high))
        return -1;
    // cellsPerUnit comes from the file, so the product may pass the last
    // cell; it is compared before it becomes an integer.
    const float cell = (value - low) * cellsPerUnit;
    if (!(cell < float(cellCount)))
        return -1;
    return int32_t(cell);
}

int32_t CQmAiMap::GetColumn(float x) const
{
    return CellAlong(x, boundsMin.x, boundsMax.x, width);
}

int32_t CQmAiMap::GetRow(float z) const
{
    return CellAlong(z, boundsMin.z, boundsMax.z, height);
}

int32_t CQmAiMap::GetCellIndex(float x, float z) const
{
    const int32_t column = GetColumn(x);
    const int32_t row = GetRow(z);
    if (column < 0 || row < 0)
        return -1;
    return row * width + column;
}

bool CQmAiMap::GetCellCenter(int32_t index, Vec3& centre) const
{
    if (index < 0 || index >= count)
        return false;
    const int32_t column = index % width;
    const int32_t row = index / width;
    centre = {(float(column) + 0.5f) * cellSize + boundsMin.x, 0.0f, (float(row) + 0.5f) * cellSize + boundsMin.z};
    return true;
}

bool CQmAiMap::GetCellBounds(int32_t index, Vec3& low, Vec3& high) const
{
    if (index < 0 || index >= count)
        return false;
    const int32_t column = index % width;
    const int32_t row = index / width;
    low = {float(column) * cellSize + boundsMin.x, 0.0f, float(row) * cellSize + boundsMin.z};
    high = {low.x + cellSize, 0.0f, low.z + cellSize};
    return true;
}

bool CQmAiMap::GetCellCorners(int32_t index, Vec3& c0, Vec3& c1, Vec3& c2, Vec3& c3) const
{
    if (index < 0 || index >= count || (cells[index].flags & kAiCellBlocked))
        return false;
    const int32_t column = index % width;
    const int32_t row = index / width;
    if (column == width - 1 || row == height - 1)
        return false;
    float h0 = cells[index].height;
    float h1 = cells[index + width].height;
    float h2 = cells[index + width + 1].height;
    float h3 = cells[index + 1].height;
    if (h0 >= kAiNoHeight) {
        float sum = 0.0f;
        int present = 0;
        for (float h : {h1, h2, h3}) {
            if (h < kAiNoHeight) {
                sum += h;
                ++present;
            }
        }
        if (present == 0)
            return false;
        h0 = sum / float(present);
    }
    if (h1 >= kAiNoHeight)
        h1 = h0;
    if (h2 >= kAiNoHeight)
        h2 = h0;
    if (h3 >= kAiNoHeight)
        h3 = h0;
    const float x0 = float(column) * cellSize + boundsMin.x;
    const float z0 = float(row) * cellSize + boundsMin.z;
    const float x1 = x0 + cellSize;
    const float z1 = z0 + cellSize;
    c0 = {x0, h0, z0};
    c1 = {x0, h1, z1};
    c2 = {x1, h2, z1};
    c3 = {x1, h3, z0};
    return true;
}

float CQmAiMap::GetHeight(float x, float z) const
{
    Vec3 c0, c1, c2, c3;
    if (!GetCellCorners(GetCellIndex(x, z), c0, c1, c2, c3))
        return kAiNoHeight;
    float floor = NAN;
    if (InsideEnlargedTriangle(c0, c1, c2, x, z))
        floor = PlaneHeight(c0, c1, c2, x, z);
    if (std::isnan(floor) && InsideEnlargedTriangle(c0, c2, c3, x, z))
        floor = PlaneHeight(c0, c2, c3, x, z);
    const float result = heightBias + floor;
    // Heights near the float range overflow in the plane; a walker must never
    // be put at a height that is not a number.
    return std::isfinite(result) ? result : kAiNoHeight;
}

int32_t CQmAiMap::GetSurfaceKind(float x, float z) const
{
    const int32_t index = GetCellIndex(x, z);
    return index < 0 ? -1 : cells[index].surface;
}

void CQmAiMap::ResetMarks()
{
    for (int32_t row = 1; row < height - 1; ++row) {
        AiCell* cell = cells + int64_t(row) * width;
        for (int32_t column = 1; column < width - 1; ++column)
            if (!(cell[column].flags & kAiCellBlocked))
                cell[column].flags &= uint8_t(~kAiCellLocked);
    }
}
