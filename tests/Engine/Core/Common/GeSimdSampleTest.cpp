// Sample kernels: conversion to 44100 Hz floats, ramped mixing, and conversion to
// 16-bit samples. The SSE levels must give the generic values for the conversions,
// the generic mix up to float rounding, and rounded instead of truncated 16-bit mixes.
#include "Engine/Core/Common/GeSimdKernels.h"

#include "GeSimdTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

using namespace simdtest;

namespace {

const int32_t kRates[] = {11025, 22050, 44100, 8000};

// Floats written by a conversion of n values (or n/2 frames) at a rate.
size_t OutputFloats(int32_t n, int32_t rate, int32_t channels)
{
    const int repeats = rate == 11025 ? 4 : rate == 22050 ? 2 : rate == 44100 ? 1 : 0;
    if (n <= 0)
        return 0;
    if (repeats == 1 || channels == 1)
        return static_cast<size_t>(n) * repeats;
    return static_cast<size_t>(n / 2) * 2 * repeats;
}

class GeSimdSample : public KernelTest {};

TEST_F(GeSimdSample, Int16ToFloatRepeatsSamplesUpTo44k)
{
    for (const auto& k : kernels_) {
        SCOPED_TRACE(k->GetName());
        const int16_t mono[2] = {100, -5};
        std::vector<float> out(4, -1.0f);
        k->ConvertInt16ToFloat(out.data(), mono, 2, 22050, 1);
        EXPECT_EQ(out, (std::vector<float>{100, 100, -5, -5}));

        const int16_t stereo[4] = {1, 2, 3, 4};
        out.assign(8, -1.0f);
        k->ConvertInt16ToFloat(out.data(), stereo, 4, 22050, 2);
        EXPECT_EQ(out, (std::vector<float>{1, 2, 1, 2, 3, 4, 3, 4}));

        out.assign(8, -1.0f);
        k->ConvertInt16ToFloat(out.data(), stereo, 4, 48000, 2);
        EXPECT_EQ(out, std::vector<float>(8, -1.0f));

        const float half[1] = {0.5f};
        const float* table[1] = {half};
        out.assign(4, -1.0f);
        k->ConvertFloatTo44k(out.data(), table, 1, 11025, 1);
        EXPECT_EQ(out, std::vector<float>(4, 16384.0f));
    }
}

TEST_F(GeSimdSample, ConversionsToFloatMatchTheGenericCode)
{
    Random rnd(20);
    for (const auto& k : kernels_) {
        SCOPED_TRACE(k->GetName());
        for (int32_t rate : kRates) {
            for (int32_t channels : {1, 2}) {
                for (int32_t n = 0; n <= 70; n += (n < 40 ? 1 : 15)) {
                    SCOPED_TRACE(::testing::Message() << "rate " << rate << " channels " << channels << " n " << n);
                    const size_t outCount = OutputFloats(n, rate, channels);
                    // Odd offsets for the 16-bit source; exact-size buffers catch over-reads.
                    Buffer<int16_t> src(n, 2 * (n % 3));
                    rnd.FillBytes(src);
                    Buffer<float> want(outCount, 4 * (n % 4)), got(outCount, 4 * (n % 4));
                    generic_.ConvertInt16ToFloat(want.data(), src.data(), n, rate, channels);
                    k->ConvertInt16ToFloat(got.data(), src.data(), n, rate, channels);
                    ASSERT_EQ(want.ToVector(), got.ToVector());

                    const int32_t perChannel = channels == 1 ? n : n / 2;
                    Buffer<float> left(perChannel, 4 * (n % 2)), right(perChannel);
                    rnd.Fill(left, -1.2f, 1.2f);
                    rnd.Fill(right, -1.2f, 1.2f);
                    const float* table[2] = {left.data(), right.data()};
                    generic_.ConvertFloatTo44k(want.data(), table, n, rate, channels);
                    k->ConvertFloatTo44k(got.data(), table, n, rate, channels);
                    ASSERT_EQ(want.ToVector(), got.ToVector());
                }
            }
        }
    }
}

TEST_F(GeSimdSample, MonoToStereoRampReachesTheLastStepBeforeTheEnd)
{
    std::vector<float> src(kMixFrames, 1.0f);
    const float start[2] = {0.0f, 1.0f}, end[2] = {1.0f, 1.0f};
    for (const auto& k : kernels_) {
        SCOPED_TRACE(k->GetName());
        std::vector<float> mix(2 * kMixFrames, 0.0f);
        k->MixMonoToStereo(mix.data(), src.data(), 0, start, end);
        EXPECT_EQ(mix[0], 0.0f);
        EXPECT_EQ(mix[1], 1.0f);
        EXPECT_EQ(mix[2], 1.0f / 4096);
        EXPECT_EQ(mix[2 * 4095], 4095.0f / 4096);
        EXPECT_EQ(mix[2 * 4095 + 1], 1.0f);
    }
}

// Each output channel must take the right source channel and ramp. With volumes in
// sixteenths every ramp step is exact in float, so the two-frame ramp of the SSE levels
// must give the generic bits; with arbitrary volumes they differ by float rounding of
// the ramp (up to about 4096 half-ulps of the volume, times samples near 32768).
TEST_F(GeSimdSample, MixersMatchTheGenericCode)
{
    struct Mixer {
        const char* name;
        int srcChannels, outChannels;
        std::function<void(const CGeSimd&, float*, const float*, const float*, const float*)> mix;
    };
#define MIXER(Name) \
    [](const CGeSimd& k, float* m, const float* s, const float* a, const float* b) { k.Name(m, s, 0, a, b); }
    const Mixer mixers[] = {
        {"MixMonoToStereo", 1, 2, MIXER(MixMonoToStereo)},
        {"MixStereoToStereo", 2, 2, MIXER(MixStereoToStereo)},
        {"MixMonoToSix", 1, 6, MIXER(MixMonoToSix)},
        {"MixStereoToSix", 2, 6, MIXER(MixStereoToSix)},
    };
#undef MIXER
    Random rnd(21);
    for (bool exactSteps : {true, false}) {
        for (const Mixer& m : mixers) {
            SCOPED_TRACE(::testing::Message() << m.name << (exactSteps ? " exact steps" : " any volumes"));
            Buffer<float> src(kMixFrames * m.srcChannels), initial(kMixFrames * m.outChannels);
            rnd.Fill(src, -32768.0f, 32767.0f);
            rnd.Fill(initial, -1000.0f, 1000.0f);
            float start[6], end[6];
            for (int c = 0; c < 6; c++) {
                start[c] = exactSteps ? rnd.Int(0, 16) / 16.0f : rnd.Float(0.0f, 1.0f);
                end[c] = exactSteps ? rnd.Int(0, 16) / 16.0f : rnd.Float(0.0f, 1.0f);
            }
            Buffer<float> want(initial.size());
            memcpy(want.data(), initial.data(), initial.size() * sizeof(float));
            m.mix(generic_, want.data(), src.data(), start, end);
            for (const auto& k : kernels_) {
                SCOPED_TRACE(k->GetName());
                Buffer<float> got(initial.size());
                memcpy(got.data(), initial.data(), initial.size() * sizeof(float));
                m.mix(*k, got.data(), src.data(), start, end);
                float worst = 0.0f;
                for (size_t i = 0; i < got.size(); i++)
                    worst = std::max(worst, std::fabs(got[i] - want[i]));
                EXPECT_LE(worst, exactSteps ? 0.0f : 8.0f);
            }
        }
    }
}

TEST_F(GeSimdSample, MixToInt16TruncatesInTheGenericCodeAndRoundsInTheSseLevels)
{
    const float src[16] = {40000.0f, -40000.0f, 1.9f,  -1.9f, 0.5f,  1.5f,   2.5f,    -0.5f,
                           -1.5f,    -2.5f,     1e12f, -1e12f, 32767.4f, 32767.6f, -32768.6f, 0.0f};
    const int16_t truncated[16] = {32767, -32768, 1,      -1,     0,     1,      2,      0,
                                   -1,    -2,     32767, -32768, 32767, 32767, -32768, 0};
    const int16_t rounded[16] = {32767, -32768, 2,      -2,     0,     2,      2,      0,
                                 -2,    -2,     32767, -32768, 32767, 32767, -32768, 0};
    for (const auto& k : kernels_) {
        SCOPED_TRACE(k->GetName());
        const int16_t* expected = IsSseLevel(*k) ? rounded : truncated;
        // All 16 at once (the SSE2 block) and one at a time (the tail).
        int16_t dst[16];
        k->MixToInt16(dst, src, 16);
        for (int i = 0; i < 16; i++)
            EXPECT_EQ(dst[i], expected[i]) << src[i];
        for (int i = 0; i < 16; i++)
            k->MixToInt16(dst + i, src + i, 1);
        for (int i = 0; i < 16; i++)
            EXPECT_EQ(dst[i], expected[i]) << src[i];
    }
}

TEST_F(GeSimdSample, RoundedMixMatchesNearestIntegerOnRandomData)
{
    Random rnd(22);
    Buffer<float> src(1000, 4);
    rnd.Fill(src, -40000.0f, 40000.0f);
    for (size_t i = 0; i < src.size(); i += 9)
        src[i] = std::floor(src[i]) + 0.5f;   // ties
    for (const auto& k : kernels_) {
        if (!IsSseLevel(*k))
            continue;
        SCOPED_TRACE(k->GetName());
        for (int32_t n : {1, 15, 16, 17, 999, 1000}) {
            Buffer<int16_t> dst(n, 2);
            k->MixToInt16(dst.data(), src.data(), n);
            for (int32_t i = 0; i < n; i++) {
                const float limited = std::min(std::max(src[i], -32768.0f), 32767.0f);
                ASSERT_EQ(dst[i], static_cast<int16_t>(std::nearbyint(limited))) << src[i];
            }
        }
    }
}

TEST_F(GeSimdSample, FloatToInt16Interleaved)
{
    const float left[2] = {1.0f, 0.0f}, right[2] = {-1.0f, 0.5f};
    const float* table[2] = {left, right};
    for (const auto& k : kernels_) {
        SCOPED_TRACE(k->GetName());
        int16_t dst[4] = {9, 9, 9, 9};
        k->ConvertFloatToInt16Interleaved(dst, table, 2, 2);
        EXPECT_EQ(dst[0], 32767);
        EXPECT_EQ(dst[1], -32767);
        EXPECT_EQ(dst[2], 0);
        EXPECT_EQ(dst[3], 16383);
        k->ConvertFloatToInt16Interleaved(dst, table, 0, 2);
        k->ConvertFloatToInt16Interleaved(dst, table, 2, 0);
        EXPECT_EQ(dst[0], 32767);
    }
}

// The product is formed without rounding to float, so a sample just below k / 32767
// gives k - 1; out-of-range and NaN samples stay inside the 16-bit range. Enough
// samples for the vector path of the mono and stereo layouts and for its tail.
TEST_F(GeSimdSample, FloatToInt16InterleavedTruncatesTheExactProduct)
{
    float justBelow = 16384.0f / 32767.0f;
    while (static_cast<double>(justBelow) * 32767.0 >= 16384.0)
        justBelow = std::nextafter(justBelow, 0.0f);
    const float pattern[7] = {justBelow, -justBelow, 2.0f, -2.0f, std::numeric_limits<float>::quiet_NaN(), 1e30f,
                              0.25f};
    const int16_t expected[7] = {16383, -16383, 32767, -32768, 0, 32767, 8191};
    const uint32_t kSamples = 31;
    std::vector<float> samples(kSamples);
    for (uint32_t i = 0; i < kSamples; i++)
        samples[i] = pattern[(i * 3) % 7];
    for (uint32_t channels : {1u, 2u, 3u, 6u}) {
        std::vector<const float*> table(channels);
        for (uint32_t c = 0; c < channels; c++)
            table[c] = samples.data() + (c % 2);   // neighbouring channels differ
        Buffer<int16_t> dst(kSamples * channels);
        generic_.ConvertFloatToInt16Interleaved(dst.data(), table.data(), kSamples - 1, channels);
        for (uint32_t i = 0; i + 1 < kSamples; i++)
            for (uint32_t c = 0; c < channels; c++)
                ASSERT_EQ(dst[i * channels + c], expected[((i + c % 2) * 3) % 7])
                    << "channels " << channels << " sample " << i;
    }
}

}  // namespace
