#include "tests/fuzz/WalkGridFuzz.h"

#include "Source/GameClasses/QmAiMap.h"
#include "Source/GameClasses/QmWalkPath.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

uint32_t Word(const uint8_t* at)
{
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

float Float(const uint8_t* at)
{
    const uint32_t word = Word(at);
    float value;
    std::memcpy(&value, &word, sizeof value);
    return value;
}

// The rules for taking a file, written out on their own.
bool ShouldLoad(const uint8_t* data, size_t size)
{
    const bool tagged = size >= 6 && std::memcmp(data, "ver001", 6) == 0;
    const size_t start = tagged ? 6 : 0;
    if (size < start + 60)
        return false;
    const uint8_t* h = data + start;
    const int64_t width = int32_t(Word(h)), height = int32_t(Word(h + 4)), count = int32_t(Word(h + 8));
    for (size_t offset : {12, 16, 20, 28, 32, 36, 44, 48, 52, 56})
        if (!std::isfinite(Float(h + offset)))
            return false;
    if (width < 1 || height < 1 || count < 1 || width * height != count)
        return false;
    if (!(Float(h + 28) > Float(h + 12)) || !(Float(h + 36) > Float(h + 20)))
        return false;
    if (!(Float(h + 44) > 0) || !(Float(h + 48) > 0))
        return false;
    return uint64_t(size - start - 60) >= uint64_t(count) * (tagged ? 6 : 5);
}

struct Checker {
    const CQmAiMap& map;
    FuzzOutcome& outcome;

#define Expect(rule) FUZZ_EXPECT(outcome, rule)

    void Point(const Vec3& p)
    {
        const int32_t cell = map.GetCellIndex(p.x, p.z);
        Expect(cell >= -1 && cell < map.count);
        const int32_t surface = map.GetSurfaceKind(p.x, p.z);
        Expect(cell < 0 ? surface == -1 : surface == map.cells[cell].surface);
        const float height = map.GetHeight(p.x, p.z);
        Expect(height == kAiNoHeight || std::isfinite(height));
    }

    // Pieces join up and their distances add up; only where the length stays
    // far from the float range, so that rounding cannot be taken for a fault.
    void Path(const CQmWalkPath& path, const Vec3* end)
    {
        Expect(path.nodes.count >= 2);
        if (path.nodes.count == 0)
            return;
        const WalkPathNode& last = path.nodes[path.nodes.count - 1];
        Expect(last.kind == kWalkNodeEnd);
        if (end)
            Expect(last.start.x == end->x && last.start.z == end->z);
        if (!(path.total < 1e30f))
            return;
        const float tolerance = 1e-3f * (1.0f + path.total);
        float distance = 0.0f;
        for (const WalkPathNode& node : path.nodes) {
            Expect(std::fabs(node.startDistance - distance) <= tolerance);
            Expect(node.length >= -tolerance);
            distance = node.startDistance + node.length;
        }
        Expect(std::fabs(last.startDistance - path.total) <= tolerance);
        Vec3 point = {0, 0, 0};
        path.GetPointAt(path.total, point);
        Expect(point.x == last.start.x && point.z == last.start.z);
    }
};

Vec3 QueryPoint(const CQmAiMap& map, const uint8_t* at)
{
    auto along = [](float low, float high, uint32_t word) {
        const double span = double(high) - double(low);
        return float(double(low) - 0.1 * span + 1.2 * span * (word / 4294967296.0));
    };
    return {along(map.boundsMin.x, map.boundsMax.x, Word(at)), 0.0f, along(map.boundsMin.z, map.boundsMax.z, Word(at + 4))};
}

} // namespace

FuzzOutcome RunWalkGridFuzz(const uint8_t* data, size_t size)
{
    FuzzOutcome outcome;
    CQmAiMap map;
    outcome.taken = map.ReadFromFile(data, size);
    FUZZ_EXPECT(outcome, outcome.taken == ShouldLoad(data, size));
    if (!outcome.taken || size < 16)
        return outcome;

    Checker check{map, outcome};
    const Vec3 from = QueryPoint(map, data + size - 16);
    const Vec3 to = QueryPoint(map, data + size - 8);
    check.Point(from);
    check.Point(to);
    Vec3 free;
    if (map.FindNearestFreePoint(from, free))
        FUZZ_EXPECT(outcome, std::isfinite(free.x) && std::isfinite(free.z));
    // Searches are kept to grids a fuzzer can run through quickly.
    if (map.count <= (1 << 16)) {
        CQmWalkPath path;
        path.maxLine = map.maxLineDistance;
        path.cornerFactor = map.circleFactor;
        if (map.SearchPath(from, to, path))
            check.Path(path, &to);
        path.Clear();
        if (map.FindPath(path, from, to))
            check.Path(path, nullptr);
    }
    return outcome;
}

int FuzzWalkGrid(const uint8_t* data, size_t size)
{
    return FuzzVerdict(RunWalkGridFuzz(data, size), "WalkGridFuzz.cpp");
}
