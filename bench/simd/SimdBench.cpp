// The kernel object chosen for this processor against the generic kernels, the C
// library and plain -O2 loops: copies of 64 KiB and 16 MiB, one mixing block of 4096
// frames, one Vorbis-sized conversion of 4096 stereo frames to 16-bit samples, and one
// 1280x720 video frame. Prints time ratios at the end (below 1: the chosen kernels win).
#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Common/GeSimdKernels.h"
#include "bench/Support/BenchRatio.h"

#include "PlainLoops.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// 64-byte aligned scratch memory, filled with a repeating pattern.
template <class T>
T* Scratch(size_t count)
{
    void* p = nullptr;
    if (posix_memalign(&p, 64, count * sizeof(T)) != 0)
        abort();
    uint8_t* bytes = static_cast<uint8_t*>(p);
    for (size_t i = 0; i < count * sizeof(T); i++)
        bytes[i] = static_cast<uint8_t>(i * 7 + 3);
    return static_cast<T*>(p);
}

float* FloatScratch(size_t count, float scale)
{
    float* p = Scratch<float>(count);
    for (size_t i = 0; i < count; i++)
        p[i] = scale * static_cast<float>(static_cast<int>(i % 2001) - 1000) / 1000.0f;
    return p;
}

// ---------------------------------------------------------------------------
// Copies

void CopyWithKernel(benchmark::State& state, const CGeSimd* const* kernel)
{
    const size_t bytes = static_cast<size_t>(state.range(0));
    uint8_t* src = Scratch<uint8_t>(bytes);
    uint8_t* dst = Scratch<uint8_t>(bytes);
    for (auto _ : state) {
        (*kernel)->Memcpy(dst, src, bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
    free(src);
    free(dst);
}

void CopyWithLibrary(benchmark::State& state)
{
    const size_t bytes = static_cast<size_t>(state.range(0));
    uint8_t* src = Scratch<uint8_t>(bytes);
    uint8_t* dst = Scratch<uint8_t>(bytes);
    for (auto _ : state) {
        memcpy(dst, src, bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
    free(src);
    free(dst);
}

void FillWithKernel(benchmark::State& state, const CGeSimd* const* kernel)
{
    const size_t bytes = static_cast<size_t>(state.range(0));
    uint8_t* dst = Scratch<uint8_t>(bytes);
    for (auto _ : state) {
        (*kernel)->Memset(dst, 0x5A, bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
    free(dst);
}

void FillWithLibrary(benchmark::State& state)
{
    const size_t bytes = static_cast<size_t>(state.range(0));
    uint8_t* dst = Scratch<uint8_t>(bytes);
    for (auto _ : state) {
        memset(dst, 0x5A, bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
    free(dst);
}

// ---------------------------------------------------------------------------
// Samples

struct MixData {
    float* mix = Scratch<float>(2 * kMixFrames);
    float* src = FloatScratch(2 * kMixFrames, 20000.0f);
    const float start[2] = {0.25f, 1.0f};
    const float end[2] = {1.0f, 0.5f};

    MixData() { memset(mix, 0, 2 * kMixFrames * sizeof(float)); }
    ~MixData()
    {
        free(mix);
        free(src);
    }
};

void MixWithKernel(benchmark::State& state, const CGeSimd* const* kernel)
{
    MixData d;
    for (auto _ : state) {
        (*kernel)->MixStereoToStereo(d.mix, d.src, kMixFrames, d.start, d.end);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kMixFrames);
}

void MixPlain(benchmark::State& state)
{
    MixData d;
    for (auto _ : state) {
        PlainMixStereoToStereo(d.mix, d.src, d.start, d.end);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kMixFrames);
}

struct VorbisData {
    float* left = FloatScratch(kMixFrames, 1.1f);
    float* right = FloatScratch(kMixFrames, 0.7f);
    const float* table[2] = {left, right};
    int16_t* out = Scratch<int16_t>(2 * kMixFrames);

    ~VorbisData()
    {
        free(left);
        free(right);
        free(out);
    }
};

void ToInt16WithKernel(benchmark::State& state, const CGeSimd* const* kernel)
{
    VorbisData d;
    for (auto _ : state) {
        (*kernel)->ConvertFloatToInt16Interleaved(d.out, d.table, kMixFrames, 2);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kMixFrames);
}

void ToInt16Plain(benchmark::State& state)
{
    VorbisData d;
    for (auto _ : state) {
        PlainFloatToInt16Interleaved(d.out, d.table, kMixFrames, 2);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kMixFrames);
}

// ---------------------------------------------------------------------------
// Video

const int kWidth = 1280, kHeight = 720;

struct VideoFrame {
    uint8_t* y = Scratch<uint8_t>(kWidth * kHeight);
    uint8_t* u = Scratch<uint8_t>(kWidth / 2 * kHeight / 2);
    uint8_t* v = Scratch<uint8_t>(kWidth / 2 * kHeight / 2);
    uint8_t* rgb = Scratch<uint8_t>(4 * kWidth * kHeight);

    ~VideoFrame()
    {
        free(y);
        free(u);
        free(v);
        free(rgb);
    }
};

void YuvWithKernel(benchmark::State& state, const CGeSimd* const* kernel)
{
    VideoFrame f;
    for (auto _ : state) {
        (*kernel)->ConvertYUVToRGB(f.y, kWidth, f.u, f.v, kWidth / 2, f.rgb, 4 * kWidth, kWidth, kHeight, 0);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void YuvPlain(benchmark::State& state)
{
    VideoFrame f;
    for (auto _ : state) {
        PlainYuvToRgb(f.y, kWidth, f.u, f.v, kWidth / 2, f.rgb, 4 * kWidth, kWidth, kHeight);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

// ---------------------------------------------------------------------------

// From SSE on, and in the generic kernels, Memcpy is the C library's memcpy.
bool ChosenMemcpyIsTheLibrarys()
{
#if GE_SIMD_X86
    if (dynamic_cast<const CGeSimdSSE*>(g_pGeSimd))
        return true;
#endif
    return g_pGeSimd == g_pGeSimdGeneric;
}

}  // namespace

int main(int argc, char** argv)
{
    GeCpuProbeCreate();
    GeSimdCreate();
    const CGeSimd* const* chosen = &g_pGeSimd;
    const CGeSimd* const* generic = &g_pGeSimdGeneric;

    benchmark::RegisterBenchmark("Memcpy/chosen", CopyWithKernel, chosen)->Arg(64 << 10)->Arg(16 << 20);
    benchmark::RegisterBenchmark("Memcpy/memcpy", CopyWithLibrary)->Arg(64 << 10)->Arg(16 << 20);
    benchmark::RegisterBenchmark("Memset/chosen", FillWithKernel, chosen)->Arg(64 << 10)->Arg(16 << 20);
    benchmark::RegisterBenchmark("Memset/memset", FillWithLibrary)->Arg(64 << 10)->Arg(16 << 20);
    benchmark::RegisterBenchmark("Mix/chosen", MixWithKernel, chosen);
    benchmark::RegisterBenchmark("Mix/generic", MixWithKernel, generic);
    benchmark::RegisterBenchmark("Mix/plain", MixPlain);
    benchmark::RegisterBenchmark("ToInt16/chosen", ToInt16WithKernel, chosen);
    benchmark::RegisterBenchmark("ToInt16/generic", ToInt16WithKernel, generic);
    benchmark::RegisterBenchmark("ToInt16/plain", ToInt16Plain);
    benchmark::RegisterBenchmark("YUV720p/chosen", YuvWithKernel, chosen)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("YUV720p/generic", YuvWithKernel, generic)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("YUV720p/plain", YuvPlain)->Unit(benchmark::kMicrosecond);

    benchmark::Initialize(&argc, argv);
    CBenchRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\n%s\nChosen kernels: %s\n", g_pGeCpuInfo->description.c_str(), g_pGeSimd->GetName());
    CBenchRatioReporter::PrintRatios("The chosen kernels against the C library, the generic kernels and plain -O2 loops");
    // A ratio of memcpy against itself would be 1 by construction.
    if (!ChosenMemcpyIsTheLibrarys()) {
        reporter.PrintRatio("Memcpy 64 KiB vs memcpy", "Memcpy/chosen/65536", "Memcpy/memcpy/65536");
        reporter.PrintRatio("Memcpy 16 MiB vs memcpy", "Memcpy/chosen/16777216", "Memcpy/memcpy/16777216");
    } else {
        std::printf("  Memcpy: the chosen kernels call memcpy itself\n");
    }
    reporter.PrintRatio("Memset 64 KiB vs memset", "Memset/chosen/65536", "Memset/memset/65536");
    reporter.PrintRatio("Memset 16 MiB vs memset", "Memset/chosen/16777216", "Memset/memset/16777216");
    // The generic kernels are the chosen ones on a processor without SIMD.
    const bool genericIsChosen = g_pGeSimd == g_pGeSimdGeneric;
    if (!genericIsChosen)
        reporter.PrintRatio("Mix 4096 frames vs generic", "Mix/chosen", "Mix/generic");
    reporter.PrintRatio("Mix 4096 frames vs plain -O2", "Mix/chosen", "Mix/plain");
    if (!genericIsChosen)
        reporter.PrintRatio("ToInt16 4096 frames vs generic", "ToInt16/chosen", "ToInt16/generic");
    reporter.PrintRatio("ToInt16 4096 frames vs plain -O2", "ToInt16/chosen", "ToInt16/plain");
    if (!genericIsChosen)
        reporter.PrintRatio("YUV 1280x720 vs generic", "YUV720p/chosen", "YUV720p/generic");
    reporter.PrintRatio("YUV 1280x720 vs plain -O2", "YUV720p/chosen", "YUV720p/plain");

    benchmark::Shutdown();
    GeSimdDestroy();
    GeCpuProbeDestroy();
    return 0;
}
