// Image decoding speed on 1024 by 1024 pictures: GEP planes (raw, 24-bit,
// run-length, 5-6-5 with run-length alpha, JPEG payload) decoded into a
// reused destination as the texture upload does, and whole TGA loads.
// Throughput counts decoded bytes. Ratios against a plain memcpy of the
// decoded size (into a new buffer for the TGA loads, which allocate theirs)
// and libjpeg-turbo for the JPEG payload are printed at the end.
#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GmImage.h"
#include "bench/Support/BenchRatio.h"
#include "tests/Engine/Core/Gm/ImageFixtures.h"
#include "tests/Engine/Core/Gm/JpegTestSupport.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

using namespace imagefixture;

namespace {

constexpr uint32_t kSide = 1024;
constexpr size_t kDecodedBytes = size_t(kSide) * kSide * 4;

// Pixels in runs of 1 to 12 equal values, as flat areas of painted
// backgrounds give; the run-length planes shrink to about a third.
Bytes RunnyPixels(uint32_t bytesPerPixel)
{
    Bytes out;
    uint32_t state = 12345;
    while (out.size() < size_t(kSide) * kSide * bytesPerPixel) {
        state = state * 214013u + 2531011u;
        const uint32_t run = 1 + (state >> 16) % 12;
        const uint32_t value = state ^ (state >> 7);
        for (uint32_t i = 0; i < run; ++i)
            for (uint32_t b = 0; b < bytesPerPixel; ++b)
                out.push_back(static_cast<uint8_t>(value >> (8 * b)));
    }
    out.resize(size_t(kSide) * kSide * bytesPerPixel);
    return out;
}

Bytes Gep(uint32_t code, Bytes payload)
{
    GepSpec spec;
    spec.width = kSide;
    spec.height = kSide;
    spec.pixelCode = code;
    spec.payload = std::move(payload);
    return MakeGep(spec);
}

Bytes Concat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::map<std::string, Bytes> g_files;

void MakeFiles()
{
    const Bytes argb = RunnyPixels(4);
    const Bytes rgb = RunnyPixels(3);
    const Bytes p565 = RunnyPixels(2);
    const Bytes alpha = RunnyPixels(1);
    g_files["GepRaw32"] = Gep(0x002, MakePlane(argb));
    g_files["GepRgb24"] = Gep(0x001, MakePlane(rgb));
    g_files["GepRle32"] = Gep(0x102, MakePlane(EncodeRunLength(argb, 4)));
    g_files["GepRle565Alpha"] =
        Gep(0x1104, Concat(MakePlane(EncodeRunLength(p565, 2)), MakePlane(EncodeRunLength(alpha, 1))));
    EncodeOptions options;
    options.lumaH = options.lumaV = 2;
    g_files["Jpeg"] = EncodeJpeg(MakeTestImage(kSide, kSide, 3), options);
    g_files["GepJpeg"] = Gep(0x201, g_files["Jpeg"]);
    TgaSpec tga;
    tga.width = tga.height = kSide;
    tga.pixels = argb;
    g_files["TgaRaw32"] = MakeTga(tga);
    tga.runLength = true;
    tga.imageType = 26;
    g_files["TgaRle32"] = MakeTga(tga);
}

void Memcpy(benchmark::State& state)
{
    Bytes source(kDecodedBytes, 1), destination(kDecodedBytes);
    for (auto _ : state) {
        memcpy(destination.data(), source.data(), kDecodedBytes);
        benchmark::DoNotOptimize(destination.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations() * kDecodedBytes));
}

// The reference of the whole-file loads, which allocate their image afresh
// each time: a memcpy into a new buffer pays for the same fresh pages.
void MemcpyIntoNew(benchmark::State& state)
{
    Bytes source(kDecodedBytes, 1);
    for (auto _ : state) {
        uint8_t* destination = static_cast<uint8_t*>(malloc(kDecodedBytes));
        memcpy(destination, source.data(), kDecodedBytes);
        benchmark::DoNotOptimize(destination);
        free(destination);
    }
    state.SetBytesProcessed(int64_t(state.iterations() * kDecodedBytes));
}

void DecodeGep(benchmark::State& state, const char* name)
{
    const Bytes& file = g_files[name];
    CGmImage packed(GM_IMAGE_PACKED);
    packed.ReadPacked(FileOver("x.gep", file));
    CGmImage image;
    CGmImage::DecodeGep(packed, image);
    for (auto _ : state) {
        if (!CGmImage::DecodeGep(packed, image))
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(image.data);
    }
    state.SetBytesProcessed(int64_t(state.iterations() * image.RawBytes()));
}

void LoadTga(benchmark::State& state, const char* name)
{
    const Bytes& file = g_files[name];
    size_t bytes = 0;
    for (auto _ : state) {
        CGmImage image;
        if (!LoadImage(FileOver("x.tga", file), image))
            state.SkipWithError("load failed");
        bytes = image.RawBytes();
        benchmark::DoNotOptimize(image.data);
    }
    state.SetBytesProcessed(int64_t(state.iterations() * bytes));
}

void Libjpeg(benchmark::State& state)
{
    for (auto _ : state) {
        TestImage image = DecodeWithLibjpeg(g_files["Jpeg"], false);
        benchmark::DoNotOptimize(image.pixels.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations() * kDecodedBytes));
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    GeCpuProbeCreate();
    GeSimdCreate();
    MakeFiles();
    benchmark::RegisterBenchmark("Memcpy", Memcpy)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("MemcpyIntoNew", MemcpyIntoNew)->Unit(benchmark::kMicrosecond);
    for (const char* name : {"GepRaw32", "GepRgb24", "GepRle32", "GepRle565Alpha", "GepJpeg"})
        benchmark::RegisterBenchmark(name, DecodeGep, name)->Unit(benchmark::kMicrosecond);
    for (const char* name : {"TgaRaw32", "TgaRle32"})
        benchmark::RegisterBenchmark(name, LoadTga, name)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("Libjpeg", Libjpeg)->Unit(benchmark::kMicrosecond);
    CBenchRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    char what[96];
    snprintf(what, sizeof(what), "Decoding %u x %u pixels (%zu MiB as 32-bit)", kSide, kSide, kDecodedBytes >> 20);
    CBenchRatioReporter::PrintRatios(what);
    for (const char* name : {"GepRaw32", "GepRgb24", "GepRle32", "GepRle565Alpha"})
        reporter.PrintRatio(name, name, "Memcpy");
    for (const char* name : {"TgaRaw32", "TgaRle32"})
        reporter.PrintRatio(name, name, "MemcpyIntoNew");
    reporter.PrintRatio("GepJpeg", "GepJpeg", "Libjpeg");
    benchmark::Shutdown();
    return 0;
}
