// Mesh benchmarks. BuildNeighbours on grids of about 1,000, 10,000 and
// 100,000 triangles, each with its time per triangle (it should stay about
// the same: the search grows linearly). And a 100,000-triangle ".gemesh" with
// its neighbour block loaded from a pack through the collector, against only
// reading and unpacking the same file's bytes.
#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GmMesh.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Pack/Harvester.h"
#include "bench/Support/BenchRatio.h"
#include "tests/Engine/Core/Gm/MeshFixtures.h"
#include "tools/fpk/FpkWriter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

std::string g_root;
const char* const kMeshName = "meshes/big.gemesh";

// A grid of n x n quads: 2 n^2 triangles.
uint32_t GridSideFor(uint32_t triangles)
{
    return uint32_t(std::lround(std::sqrt(triangles / 2.0)));
}

void BuildNeighbours(benchmark::State& state)
{
    const uint32_t n = GridSideFor(uint32_t(state.range(0)));
    const meshfixture::Bytes file = meshfixture::WriteGemesh(meshfixture::MakeGrid(n));
    CGmMesh mesh;
    if (!mesh.Load(meshfixture::FileOver("grid.gemesh", file))) {
        state.SkipWithError("the grid did not load");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(mesh.BuildNeighbours());
    // Shown as time per triangle.
    state.counters["per_triangle"] =
        benchmark::Counter(2.0 * n * n, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void LoadMeshFromPack(benchmark::State& state)
{
    for (auto _ : state) {
        CGmMesh* mesh = rescollect::LoadMesh(kMeshName);
        if (!mesh || !mesh->hasNeighbours) {
            state.SkipWithError("the mesh did not load");
            return;
        }
        mesh->Release();
    }
}

void ReadFromPack(benchmark::State& state)
{
    for (auto _ : state) {
        CGeFileData file = LoadFileData(kMeshName);
        benchmark::DoNotOptimize(file.data);
        FreeFileData(file);
    }
}

bool WritePack()
{
    g_root = (std::filesystem::temp_directory_path() / "qm-bench-meshes").string();
    std::filesystem::remove_all(g_root);
    std::filesystem::create_directories(g_root + "/tree/meshes");
    meshfixture::GemeshSpec spec = meshfixture::MakeGrid(GridSideFor(100000));
    const meshfixture::Bytes plain = meshfixture::WriteGemesh(spec);
    CGmMesh mesh;
    if (!mesh.Load(meshfixture::FileOver("grid.gemesh", plain)) || !mesh.BuildNeighbours())
        return false;
    const CGeArray<CGmTriangleNeighbours>& list = mesh.neighbours[0];
    spec.neighbours.emplace_back(list.begin(), list.end());
    const meshfixture::Bytes file = meshfixture::WriteGemesh(spec);
    std::ofstream(g_root + "/tree/" + kMeshName, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    std::string error;
    if (!WritePackFromDirectory((g_root + "/resource.fpk").c_str(), (g_root + "/tree").c_str(), &error)) {
        fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    g_packPath = (g_root + "/resource.fpk").c_str();
    return CHarvester::MountSinglePack(g_packPath);
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    GeCpuProbeCreate();
    GeSimdCreate();
    if (!WritePack()) {
        fprintf(stderr, "the pack could not be written\n");
        return 1;
    }
    g_pGmResCollector = new CGmResCollector();

    for (int triangles : {1000, 10000, 100000})
        benchmark::RegisterBenchmark("BuildNeighbours", BuildNeighbours)
            ->Arg(triangles)
            ->Unit(benchmark::kMillisecond)
            ->Repetitions(3);
    benchmark::RegisterBenchmark("LoadMeshFromPack", LoadMeshFromPack)->Unit(benchmark::kMillisecond)->Repetitions(5);
    benchmark::RegisterBenchmark("ReadFromPack", ReadFromPack)->Unit(benchmark::kMillisecond)->Repetitions(5);
    CBenchRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    CBenchRatioReporter::PrintRatios("BuildNeighbours: growth of the time per triangle with the mesh (1 means linear)");
    // Time over time, with 10x and 100x the triangles: divided by the size
    // factor, a ratio near 1 means the cost per triangle stays.
    const double tenfold = reporter.CpuRatio("BuildNeighbours/10000", "BuildNeighbours/1000") * 968.0 / 10082.0;
    const double hundredfold = reporter.CpuRatio("BuildNeighbours/100000", "BuildNeighbours/1000") * 968.0 / 100352.0;
    std::printf("  %-40s %6.2fx CPU per triangle\n", "10,000 over 1,000 triangles", tenfold);
    std::printf("  %-40s %6.2fx CPU per triangle\n", "100,000 over 1,000 triangles", hundredfold);
    CBenchRatioReporter::PrintRatios("A 100,000-triangle .gemesh with neighbours from a pack, against its bytes alone");
    reporter.PrintRatio("LoadMesh", "LoadMeshFromPack", "ReadFromPack");

    delete g_pGmResCollector;
    g_pGmResCollector = nullptr;
    CHarvester::Unmount();
    std::error_code ignored;
    std::filesystem::remove_all(g_root, ignored);
    benchmark::Shutdown();
    return 0;
}
