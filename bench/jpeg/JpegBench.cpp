// Decoding 1024x1024 JPEG images with the engine's decoder (integer and fast
// IDCT) against libjpeg-turbo (jpeg_read_scanlines with JDCT_ISLOW and
// JDCT_IFAST, plain upsampling like ours) on the same files in the same run.
// Prints ms and MPixel/s per case and the time ratios ours / libjpeg-turbo.
#include "Engine/Core/Gm/GeInputStream.h"
#include "Engine/Core/Gm/GmJpegDecoder.h"
#include "bench/Support/BenchRatio.h"
#include "tests/Engine/Core/Gm/JpegTestSupport.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const int kSize = 1024;

struct Sample {
    const char* name;
    int channels;
    int lumaH, lumaV;
    bool progressive;
};

const Sample kSamples[] = {
    { "baseline420", 3, 2, 2, false },
    { "baseline444", 3, 1, 1, false },
    { "grey", 1, 1, 1, false },
    { "progressive420", 3, 2, 2, true },
};

// A photograph-like picture: smooth shading, texture noise and edges.
TestImage MakePicture(int channels)
{
    TestImage image;
    image.width = kSize;
    image.height = kSize;
    image.channels = channels;
    image.pixels.resize((size_t)kSize * kSize * channels);
    uint32_t state = 1;
    for (int y = 0; y < kSize; y++) {
        for (int x = 0; x < kSize; x++) {
            state = state * 214013u + 2531011u;
            int noise = (int)((state >> 16) & 15) - 8;
            bool edge = ((x / 97) + (y / 61)) % 3 == 0;
            for (int c = 0; c < channels; c++) {
                int value = (c == 0 ? x / 4 : c == 1 ? y / 4 : (x + y) / 8) + noise + (edge ? 60 : 0);
                image.pixels[((size_t)y * kSize + x) * channels + c] = (uint8_t)(value < 0 ? 0 : value > 255 ? 255 : value);
            }
        }
    }
    return image;
}

std::vector<uint8_t> Encode(const Sample& sample)
{
    EncodeOptions options;
    options.quality = 85;
    options.lumaH = sample.lumaH;
    options.lumaV = sample.lumaV;
    options.progressive = sample.progressive;
    return EncodeJpeg(MakePicture(sample.channels), options);
}

const std::vector<uint8_t>& File(int index)
{
    static std::vector<std::vector<uint8_t>> files;
    if (files.empty()) {
        for (const Sample& sample : kSamples)
            files.push_back(Encode(sample));
    }
    return files[index];
}

void DecodeOurs(benchmark::State& state, int index, bool fast)
{
    const std::vector<uint8_t>& file = File(index);
    std::vector<uint8_t> image((size_t)kSize * kSize * 4);
    for (auto _ : state) {
        CGeMemoryStream stream(file.data(), (uint32_t)file.size());
        CGmJpegDecoder decoder(&stream, fast);
        if (decoder.Begin() != 0) {
            state.SkipWithError("decode failed");
            return;
        }
        const uint8_t* row;
        uint32_t bytes;
        uint8_t* out = image.data();
        while (decoder.DecodeRow(&row, &bytes) == 0) {
            memcpy(out, row, bytes);
            out += bytes;
        }
        benchmark::DoNotOptimize(image.data());
    }
    state.counters["MPixel/s"] = benchmark::Counter((double)kSize * kSize / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void DecodeLibjpeg(benchmark::State& state, int index, bool fast)
{
    const std::vector<uint8_t>& file = File(index);
    TestImage image;
    DecodeWithLibjpegInto(file, fast, &image); // the buffer, once
    for (auto _ : state) {
        DecodeWithLibjpegInto(file, fast, &image);
        benchmark::DoNotOptimize(image.pixels.data());
    }
    state.counters["MPixel/s"] = benchmark::Counter((double)kSize * kSize / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

std::string Name(const char* decoder, int index, const char* idct)
{
    return std::string(decoder) + "/" + kSamples[index].name + "/" + idct;
}

} // namespace

int main(int argc, char** argv)
{
    int count = (int)(sizeof(kSamples) / sizeof(kSamples[0]));
    for (int i = 0; i < count; i++) {
        benchmark::RegisterBenchmark(Name("ours", i, "integer").c_str(), DecodeOurs, i, false)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(Name("libjpeg", i, "islow").c_str(), DecodeLibjpeg, i, false)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(Name("ours", i, "fast").c_str(), DecodeOurs, i, true)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(Name("libjpeg", i, "ifast").c_str(), DecodeLibjpeg, i, true)->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    CBenchRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    CBenchRatioReporter::PrintRatios("JPEG decoding against libjpeg-turbo");
    for (int i = 0; i < count; i++) {
        const std::string name = kSamples[i].name;
        reporter.PrintRatio(name + ", integer / ISLOW", Name("ours", i, "integer"), Name("libjpeg", i, "islow"));
        reporter.PrintRatio(name + ", fast / IFAST", Name("ours", i, "fast"), Name("libjpeg", i, "ifast"));
    }
    benchmark::Shutdown();
    return 0;
}
