// The walk grid's path search against a plain A* written here, over the same
// cells, on three grids: 1024 x 1024 with 20% of the cells blocked at random,
// 1024 x 1024 rooms joined by doors, and a 512 x 512 serpentine of long walls.
// Each searches from near one corner to the far one.
//
// The reference does what the grid's search does, the plain way: a
// std::priority_queue with lazy deletion, fresh arrays per search, the same
// eight neighbours without corner cutting, costs 10 and 14, the same priority
// (g plus the deviation from the straight line), from the target back to the
// start, and the parent chain walked back. It does not shorten the chain into
// straight runs; the grid's search does, walking a line per chain cell, which
// dominates on the serpentine's long chain. Both print how many cells they
// expanded, and at the end the time ratio (ours / reference).
#include "Source/GameClasses/QmAiMap.h"
#include "Source/GameClasses/QmWalkPath.h"
#include "bench/Support/BenchRatio.h"
#include "tools/walkgrid/WalkGridWriter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <queue>
#include <random>
#include <string>
#include <vector>

namespace {

struct Scene {
    std::vector<std::string> picture;
    int fromColumn, fromRow, toColumn, toRow;
    std::unique_ptr<CQmAiMap> map;
};

std::vector<std::string> RandomBlocks(int size)
{
    std::vector<std::string> rows(size, std::string(size, '.'));
    std::mt19937 random(1234);
    for (std::string& row : rows)
        for (char& cell : row)
            if (random() % 5 == 0)
                cell = '#';
    return rows;
}

// Walls every 64 cells, each wall piece with a door of 4 cells in its middle.
std::vector<std::string> Rooms(int size)
{
    const int room = 64;
    std::vector<std::string> rows(size, std::string(size, '.'));
    for (int row = 0; row < size; ++row) {
        for (int column = 0; column < size; ++column) {
            const bool wallRow = row % room == room - 1;
            const bool wallColumn = column % room == room - 1;
            const bool doorInRow = wallRow && std::abs(column % room - room / 2) < 2;
            const bool doorInColumn = wallColumn && std::abs(row % room - room / 2) < 2;
            if ((wallRow && !doorInRow) || (wallColumn && !doorInColumn))
                rows[row][column] = '#';
        }
    }
    return rows;
}

// Walls across every eighth row, open at alternate ends.
std::vector<std::string> Serpentine(int size)
{
    std::vector<std::string> rows(size, std::string(size, '.'));
    for (int row = 8, k = 0; row < size - 1; row += 8, ++k)
        for (int column = 0; column < size; ++column)
            if (k % 2 == 0 ? column < size - 3 : column > 2)
                rows[row][column] = '#';
    return rows;
}

Scene& TheScene(int which)
{
    static Scene scenes[3];
    Scene& scene = scenes[which];
    if (!scene.map) {
        const int size = which == 2 ? 512 : 1024;
        scene.picture = which == 0 ? RandomBlocks(size) : which == 1 ? Rooms(size) : Serpentine(size);
        scene.fromColumn = 2;
        scene.fromRow = 2;
        scene.toColumn = size - 3;
        scene.toRow = size - 3;
        scene.picture[scene.fromRow][scene.fromColumn] = '.';
        scene.picture[scene.toRow][scene.toColumn] = '.';
        scene.map = std::make_unique<CQmAiMap>();
        const std::vector<uint8_t> bytes = WalkGridFromPicture(scene.picture, WalkGridOptions()).Serialize();
        if (!scene.map->ReadFromFile(bytes.data(), bytes.size()))
            std::abort();
    }
    return scene;
}

// The plain A*, returning the number of cells expanded; the chain lands in path.
size_t PlainSearch(const Scene& scene, std::vector<int>& path)
{
    const int width = int(scene.picture[0].size());
    const int height = int(scene.picture.size());
    const int count = width * height;
    const int start = scene.toRow * width + scene.toColumn;
    const int goal = scene.fromRow * width + scene.fromColumn;
    auto blocked = [&](int column, int row) { return scene.picture[row][column] != '.'; };
    auto deviation = [&](int column, int row) {
        const long area = long(scene.toColumn - scene.fromColumn) * (row - scene.toRow) +
                          long(scene.fromRow - scene.toRow) * (column - scene.toColumn);
        return int(std::labs(2 * area));
    };
    std::vector<int> g(count, 0);
    std::vector<char> closed(count, 0);
    std::vector<char> seen(count, 0);
    std::vector<int> parent(count, -1);
    using Entry = std::pair<int, int>;  // priority, cell
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> open;
    const int directions[8][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
    open.push({deviation(scene.toColumn, scene.toRow), start});
    seen[start] = 1;
    size_t expanded = 0;
    path.clear();
    while (!open.empty()) {
        const int m = open.top().second;
        open.pop();
        if (closed[m])
            continue;
        ++expanded;
        if (m == goal) {
            for (int cell = goal; cell >= 0; cell = parent[cell])
                path.push_back(cell);
            return expanded;
        }
        closed[m] = 1;
        const int column = m % width, row = m / width;
        for (int k = 0; k < 8; ++k) {
            const int nc = column + directions[k][0], nr = row + directions[k][1];
            if (nc < 0 || nc >= width || nr < 0 || nr >= height || blocked(nc, nr))
                continue;
            const int n = nr * width + nc;
            if (closed[n])
                continue;
            if ((k & 1) && (blocked(nc, row) || blocked(column, nr)))
                continue;
            const int cost = g[m] + ((k & 1) ? 14 : 10);
            if (seen[n] && g[n] <= cost)
                continue;
            seen[n] = 1;
            g[n] = cost;
            parent[n] = m;
            open.push({cost + deviation(nc, nr), n});
        }
    }
    return expanded;
}

Vec3 CellPoint(int column, int row)
{
    return {float(column) + 0.5f, 0.0f, float(row) + 0.5f};
}

size_t OurExpanded(const CQmAiMap& map)
{
    size_t expanded = 0;
    for (int32_t i = 0; i < map.count; ++i)
        expanded += map.cells[i].closed;
    return expanded;
}

void Ours(benchmark::State& state)
{
    Scene& scene = TheScene(int(state.range(0)));
    CQmWalkPath path;
    const Vec3 from = CellPoint(scene.fromColumn, scene.fromRow);
    const Vec3 to = CellPoint(scene.toColumn, scene.toRow);
    for (auto _ : state) {
        if (!scene.map->SearchPath(from, to, path))
            state.SkipWithError("no path");
        benchmark::DoNotOptimize(path.total);
    }
    state.counters["expanded"] = double(OurExpanded(*scene.map) + 1);
    state.counters["points"] = double(path.nodes.count);
}

void PlainAStar(benchmark::State& state)
{
    const Scene& scene = TheScene(int(state.range(0)));
    std::vector<int> path;
    size_t expanded = 0;
    for (auto _ : state) {
        expanded = PlainSearch(scene, path);
        if (path.empty())
            state.SkipWithError("no path");
        benchmark::DoNotOptimize(path.data());
    }
    state.counters["expanded"] = double(expanded);
    state.counters["chain"] = double(path.size());
}

BENCHMARK(Ours)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(PlainAStar)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    CBenchRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    CBenchRatioReporter::PrintRatios("SearchPath against a plain A*");
    reporter.PrintRatio("1024 random 20%", "Ours/0", "PlainAStar/0");
    reporter.PrintRatio("1024 rooms and doors", "Ours/1", "PlainAStar/1");
    reporter.PrintRatio("512 serpentine", "Ours/2", "PlainAStar/2");
    benchmark::Shutdown();
    return 0;
}
