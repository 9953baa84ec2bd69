// CGeStringMap against std::map<std::string, int>: inserting and looking up
// 100,000 resource-like names. Prints the time ratios (ours / std) at the end.

#include "Engine/Core/Common/GeMap.h"
#include "Engine/Core/Common/GeString.h"
#include "bench/Support/BenchRatio.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

const int kKeyCount = 100000;

// Names shaped like the engine's data names (longer than a short-string
// buffer), in a fixed shuffled order.
struct Keys {
    std::vector<std::string> std;
    std::vector<CGeString> ge;
    std::vector<int> lookupOrder;

    Keys()
    {
        char name[96];
        for (int i = 0; i < kKeyCount; ++i) {
            std::snprintf(name, sizeof name, "locations/loc%02d/objects/item_%05d.gemesh", i % 37, i);
            std.push_back(name);
        }
        std::mt19937 random(2024);
        std::shuffle(std.begin(), std.end(), random);
        for (const std::string& key : std)
            ge.emplace_back(key.c_str());
        for (int i = 0; i < kKeyCount; ++i)
            lookupOrder.push_back(i);
        std::shuffle(lookupOrder.begin(), lookupOrder.end(), random);
    }
};

const Keys& TheKeys()
{
    static const Keys keys;
    return keys;
}

void GeInsert(benchmark::State& state)
{
    const Keys& keys = TheKeys();
    for (auto _ : state) {
        auto* map = new CGeStringMap<int>;
        for (int i = 0; i < kKeyCount; ++i)
            map->InsertNode(keys.ge[i], i);
        benchmark::DoNotOptimize(map->count);
        state.PauseTiming();
        delete map;
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kKeyCount);
}

void StdInsert(benchmark::State& state)
{
    const Keys& keys = TheKeys();
    for (auto _ : state) {
        auto* map = new std::map<std::string, int>;
        for (int i = 0; i < kKeyCount; ++i)
            map->emplace(keys.std[i], i);
        benchmark::DoNotOptimize(map->size());
        state.PauseTiming();
        delete map;
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kKeyCount);
}

void GeLookup(benchmark::State& state)
{
    const Keys& keys = TheKeys();
    CGeStringMap<int> map;
    for (int i = 0; i < kKeyCount; ++i)
        map.InsertNode(keys.ge[i], i);
    for (auto _ : state) {
        long sum = 0;
        for (int index : keys.lookupOrder)
            sum += map.Find(keys.ge[index])->value;
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kKeyCount);
}

void StdLookup(benchmark::State& state)
{
    const Keys& keys = TheKeys();
    std::map<std::string, int> map;
    for (int i = 0; i < kKeyCount; ++i)
        map.emplace(keys.std[i], i);
    for (auto _ : state) {
        long sum = 0;
        for (int index : keys.lookupOrder)
            sum += map.find(keys.std[index])->second;
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kKeyCount);
}

BENCHMARK(GeInsert)->Unit(benchmark::kMillisecond);
BENCHMARK(StdInsert)->Unit(benchmark::kMillisecond);
BENCHMARK(GeLookup)->Unit(benchmark::kMillisecond);
BENCHMARK(StdLookup)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    CBenchRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    CBenchRatioReporter::PrintRatios("CGeStringMap against std::map, 100,000 keys");
    reporter.PrintRatio("insert", "GeInsert", "StdInsert");
    reporter.PrintRatio("look-up (target: 1.0 or below)", "GeLookup", "StdLookup");
    benchmark::Shutdown();
    return 0;
}
