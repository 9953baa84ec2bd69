// The curve family sampled the way a moving entity samples it, at steadily
// rising times: a 1,000-knot polyline and Catmull-Rom curve swept by 100,000
// times, against a plain reference that finds each time's knot with
// std::lower_bound and interpolates with the same formulas. Prints the time
// ratios (ours / reference) at the end.
#include "Engine/Core/Common/GeCurve.h"
#include "bench/Support/BenchRatio.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace {

const int kKnots = 1000;
const int kSamples = 100000;

struct Knots {
    std::vector<float> times;
    std::vector<Vec3> values;

    Knots()
    {
        for (int k = 0; k < kKnots; ++k) {
            times.push_back(float(k) * 0.5f);
            values.push_back(Vec3{float(k % 17), float(k % 5) * 3.0f, float(k) * 0.25f});
        }
    }
};

const Knots& TheKnots()
{
    static const Knots knots;
    return knots;
}

template <typename Curve>
void Fill(Curve& curve)
{
    const Knots& knots = TheKnots();
    for (int k = 0; k < kKnots; ++k)
        curve.AddKnot(knots.times[size_t(k)], knots.values[size_t(k)]);
}

float SampleTime(int i)
{
    return float(i) * (float(kKnots - 1) * 0.5f / float(kSamples));
}

// The reference: a binary search per time.
size_t PlainIndex(const std::vector<float>& times, float t)
{
    return size_t(std::lower_bound(times.begin(), times.end(), t) - times.begin());
}

Vec3 PlainPolyline(const Knots& k, float t)
{
    const size_t i = PlainIndex(k.times, t);
    if (i >= k.times.size())
        return k.values.back();
    if (i == 0)
        return k.values[0];
    const float d = k.times[i] - k.times[i - 1];
    return CurveDiv(CurveMad(CurveMad(Vec3{}, k.values[i], t - k.times[i - 1]), k.values[i - 1], k.times[i] - t), d);
}

Vec3 PlainCatmullRom(const Knots& k, float t)
{
    const int n = int(k.times.size());
    const int i = int(PlainIndex(k.times, t));
    auto value = [&](int j) { return k.values[size_t(std::clamp(j, 0, n - 1))]; };
    auto time = [&](int j) { return k.times[size_t(std::clamp(j, 0, n - 1))]; };
    const float span = time(i) - time(i - 1);
    const float s = span != 0.0f ? (t - time(i - 1)) / span : 0.0f;
    const float w[4] = {((2.0f - s) * s - 1.0f) * s * 0.5f, (2.0f + (3.0f * s - 5.0f) * s * s) * 0.5f,
                        ((4.0f - 3.0f * s) * s + 1.0f) * s * 0.5f, (s - 1.0f) * s * s * 0.5f};
    Vec3 sum{};
    for (int j = 0; j < 4; ++j)
        sum = CurveMad(sum, value(i - 2 + j), w[j]);
    return sum;
}

template <typename Curve>
void Ours(benchmark::State& state)
{
    Curve curve;
    Fill(curve);
    for (auto _ : state) {
        float sum = 0.0f;
        for (int i = 0; i < kSamples; ++i)
            sum += curve.GetValue(SampleTime(i)).z;
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
}

template <Vec3 (*Sample)(const Knots&, float)>
void Reference(benchmark::State& state)
{
    const Knots& knots = TheKnots();
    for (auto _ : state) {
        float sum = 0.0f;
        for (int i = 0; i < kSamples; ++i)
            sum += Sample(knots, SampleTime(i)).z;
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
}

void OursPolyline(benchmark::State& state)
{
    Ours<idCurve_PolyLine<Vec3>>(state);
}
void PlainPolylineSweep(benchmark::State& state)
{
    Reference<PlainPolyline>(state);
}
void OursCatmullRom(benchmark::State& state)
{
    Ours<idCurve_CatmullRom<Vec3>>(state);
}
void PlainCatmullRomSweep(benchmark::State& state)
{
    Reference<PlainCatmullRom>(state);
}

BENCHMARK(OursPolyline)->Unit(benchmark::kMicrosecond);
BENCHMARK(PlainPolylineSweep)->Unit(benchmark::kMicrosecond);
BENCHMARK(OursCatmullRom)->Unit(benchmark::kMicrosecond);
BENCHMARK(PlainCatmullRomSweep)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    CBenchRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    CBenchRatioReporter::PrintRatios("Curves sampled at 100,000 rising times over 1,000 knots");
    reporter.PrintRatio("polyline", "OursPolyline", "PlainPolylineSweep");
    reporter.PrintRatio("Catmull-Rom", "OursCatmullRom", "PlainCatmullRomSweep");
    benchmark::Shutdown();
    return 0;
}
