// Reading game data from a pack against the physical floor and loose files.
//
// At start a 200 MiB data tree (text-like, random and half-compressible
// files, 4 KiB to 4 MiB) is written to a temporary directory and packed.
// Three runs read every file of it:
//   PackLoadFileData     LoadFileData through the mounted pack (open, seek,
//                        read, close, CRC, descramble, decompress per file);
//   BareDecompress       lzo1x_decompress_safe alone on the same streams,
//                        already in memory: the floor any pack reader meets;
//   LooseReadWholeFile   ReadWholeFile of the same files as loose files.
// The ratios against the first are printed at the end; the tree is removed.
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeLittleEndian.h"
#include "Engine/Core/Pack/DataPacker.h"
#include "Engine/Core/Pack/Harvester.h"
#include "Engine/Core/Pack/PackScrambler.h"
#include "bench/Support/BenchRatio.h"
#include "tools/fpk/FpkWriter.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <lzo/lzo1x.h>
#include <random>
#include <unistd.h>
#include <string>
#include <vector>

namespace {

struct StoredStream {
    std::vector<uint8_t> stream; // the descrambled LZO1X stream
    uint32_t unpacked;
};

struct BenchData {
    std::string root;
    std::vector<std::string> names;
    std::vector<uint32_t> sizes;
    std::vector<StoredStream> streams;
    uint64_t totalBytes = 0;
};

BenchData g_data;

std::string MakeFile(std::mt19937& random, size_t size, int kind)
{
    std::string bytes(size, '\0');
    if (kind == 0) { // text-like: words from a small vocabulary
        static const char* const words[] = {"<entity name=\"", "kettle", "\" pos=\"", "1.25 0.5 3", "\"/>\n", "copper", " "};
        size_t at = 0;
        while (at < size) {
            const char* word = words[random() % 7];
            for (; *word && at < size; ++word)
                bytes[at++] = *word;
        }
    } else if (kind == 1) { // random: incompressible
        for (char& c : bytes)
            c = static_cast<char>(random());
    } else { // image-like: smooth gradients with noise in the low bits
        for (size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<char>((i / 7 + (i % 1024) / 4) ^ (random() & 3));
    }
    return bytes;
}

void Generate()
{
    g_data.root = (std::filesystem::temp_directory_path() / ("qm-pack-bench-" + std::to_string(getpid()))).string();
    std::filesystem::create_directories(g_data.root + "/tree");
    std::mt19937 random(7);
    const uint64_t target = 200ull << 20;
    for (int i = 0; g_data.totalBytes < target; ++i) {
        size_t size = size_t(4096) << (random() % 11); // 4 KiB to 4 MiB
        size = std::min<size_t>(size, target - g_data.totalBytes);
        std::string name = "dir" + std::to_string(i % 16) + "/file" + std::to_string(i) + ".bin";
        std::filesystem::create_directories(g_data.root + "/tree/dir" + std::to_string(i % 16));
        std::string bytes = MakeFile(random, size, i % 4 == 3 ? 1 : i % 4 == 2 ? 2 : 0);
        std::ofstream(g_data.root + "/tree/" + name, std::ios::binary).write(bytes.data(), bytes.size());
        g_data.names.push_back(name);
        g_data.sizes.push_back(static_cast<uint32_t>(size));
        g_data.totalBytes += size;
    }

    std::string error;
    if (!WritePackFromDirectory((g_data.root + "/resource.fpk").c_str(), (g_data.root + "/tree").c_str(), &error)) {
        fprintf(stderr, "cannot write the pack: %s\n", error.c_str());
        exit(1);
    }

    // The same streams the pack holds, descrambled, for the floor.
    g_packPath = (g_data.root + "/resource.fpk").c_str();
    CHarvester::Init();
    std::ifstream pack(g_data.root + "/resource.fpk", std::ios::binary);
    for (const std::string& name : g_data.names) {
        const PackEntry& entry = CHarvester::GetIndex().Find(CHarvester::NormalizeName(name.c_str()))->value;
        std::vector<uint8_t> block(entry.size);
        pack.seekg(entry.offset);
        pack.read(reinterpret_cast<char*>(block.data()), entry.size);
        uint32_t seed = ReadLe32(block.data() + entry.size - 8);
        ScramblePackBody(block.data(), entry.size - 8, seed);
        StoredStream stored;
        stored.unpacked = ReadLe32(block.data() + entry.size - 12);
        stored.stream.assign(block.begin(), block.end() - 12);
        g_data.streams.push_back(std::move(stored));
    }
}

void PackLoadFileData(benchmark::State& state)
{
    g_packPath = (g_data.root + "/resource.fpk").c_str();
    CHarvester::Init();
    for (auto _ : state) {
        for (size_t i = 0; i < g_data.names.size(); ++i) {
            CGeFileData file = LoadFileData(g_data.names[i].c_str(), true);
            if (file.size != g_data.sizes[i])
                state.SkipWithError("a packed file did not load");
            FreeFileData(file);
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations() * g_data.totalBytes));
}

void BareDecompress(benchmark::State& state)
{
    for (auto _ : state) {
        for (const StoredStream& stored : g_data.streams) {
            uint8_t* out = static_cast<uint8_t*>(malloc(stored.unpacked));
            lzo_uint length = stored.unpacked;
            lzo1x_decompress_safe(stored.stream.data(), stored.stream.size(), out, &length, nullptr);
            benchmark::DoNotOptimize(out);
            free(out);
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations() * g_data.totalBytes));
}

void LooseReadWholeFile(benchmark::State& state)
{
    for (auto _ : state) {
        for (size_t i = 0; i < g_data.names.size(); ++i) {
            CGeFileData file = ReadWholeFile((g_data.root + "/tree/" + g_data.names[i]).c_str(), true);
            if (file.size != g_data.sizes[i])
                state.SkipWithError("a loose file did not load");
            FreeFileData(file);
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations() * g_data.totalBytes));
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    lzo_init();
    Generate();
    benchmark::RegisterBenchmark("PackLoadFileData", PackLoadFileData)->Unit(benchmark::kMillisecond)->MinTime(2.0);
    benchmark::RegisterBenchmark("BareDecompress", BareDecompress)->Unit(benchmark::kMillisecond)->MinTime(2.0);
    benchmark::RegisterBenchmark("LooseReadWholeFile", LooseReadWholeFile)->Unit(benchmark::kMillisecond)->MinTime(2.0);
    CBenchRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    char what[96];
    snprintf(what, sizeof(what), "%zu files, %.0f MiB unpacked", g_data.names.size(), g_data.totalBytes / 1048576.0);
    CBenchRatioReporter::PrintRatios(what);
    reporter.PrintRatio("pack read / bare LZO1X (target: 1.5)", "PackLoadFileData", "BareDecompress");
    reporter.PrintRatio("pack read / loose-file read", "PackLoadFileData", "LooseReadWholeFile");

    CHarvester::Unmount();
    std::error_code ignored;
    std::filesystem::remove_all(g_data.root, ignored);
    benchmark::Shutdown();
    return 0;
}
