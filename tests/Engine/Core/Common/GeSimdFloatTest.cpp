// Float-array kernels: the documented cases on every implementation, then every
// accelerated implementation against the generic one on random data of many lengths
// and alignments. Results must be bit-identical except where the SSE levels differ by
// design (Div through a reciprocal, aligned forms that fill whole groups of four).
#include "Engine/Core/Common/GeSimdKernels.h"

#include "GeSimdTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>

using namespace simdtest;

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();

std::vector<int32_t> Lengths()
{
    std::vector<int32_t> n;
    for (int32_t i = 0; i <= 37; i++)
        n.push_back(i);
    for (int32_t i : {63, 64, 65, 130, 1031})
        n.push_back(i);
    return n;
}

// Divisors and other operands kept away from zero, with either sign.
void FillOperands(Random& rnd, Buffer<float>& b)
{
    for (size_t i = 0; i < b.size(); i++) {
        const float m = rnd.Float(0.25f, 1000.0f);
        b[i] = (rnd.Bits() & 1) ? m : -m;
    }
}

::testing::AssertionResult SameBits(const Buffer<float>& expected, const Buffer<float>& actual, size_t count)
{
    for (size_t i = 0; i < count; i++) {
        if (FloatBits(expected[i]) != FloatBits(actual[i]))
            return ::testing::AssertionFailure()
                   << "element " << i << ": expected " << expected[i] << ", got " << actual[i];
    }
    return ::testing::AssertionSuccess();
}

// Within a relative 2^-20 (the refined reciprocal keeps about 22 bits).
::testing::AssertionResult CloseQuotients(const Buffer<float>& expected, const Buffer<float>& actual, size_t count)
{
    for (size_t i = 0; i < count; i++) {
        if (std::fabs(expected[i] - actual[i]) > std::fabs(expected[i]) * (1.0f / (1 << 20)))
            return ::testing::AssertionFailure()
                   << "element " << i << ": expected " << expected[i] << ", got " << actual[i];
    }
    return ::testing::AssertionSuccess();
}

typedef std::function<void(const CGeSimd&, float* dst, const float* a, const float* b, float c, int32_t n)>
    ArrayOp;

struct ArrayCase {
    const char* name;
    bool reciprocal;
    ArrayOp run;
};

// An operation on (kernel k, dst d, operands a and b, constant c, count n).
#define ARRAY_OP(call) \
    [](const CGeSimd& k, float* d, const float* a, const float* b, float c, int32_t n) { \
        (void)a, (void)b, (void)c; \
        k.call; \
    }

const ArrayCase kElementWise[] = {
    {"Add", false, ARRAY_OP(Add(d, a, b, n))},
    {"AddConst", false, ARRAY_OP(AddConst(d, c, a, n))},
    {"Sub", false, ARRAY_OP(Sub(d, a, b, n))},
    {"SubConst", false, ARRAY_OP(SubConst(d, c, a, n))},
    {"Mul", false, ARRAY_OP(Mul(d, a, b, n))},
    {"MulConst", false, ARRAY_OP(MulConst(d, c, a, n))},
    {"Div", true, ARRAY_OP(Div(d, a, b, n))},
    {"DivConst", true, ARRAY_OP(DivConst(d, c, b, n))},
    {"MulAdd", false, ARRAY_OP(MulAdd(d, a, b, n))},
    {"MulAddConst", false, ARRAY_OP(MulAddConst(d, c, a, n))},
    {"MulSub", false, ARRAY_OP(MulSub(d, a, b, n))},
    {"MulSubConst", false, ARRAY_OP(MulSubConst(d, c, a, n))},
    {"ClampRange", false, ARRAY_OP(ClampRange(d, a, -c, c, n))},
    {"ClampMin", false, ARRAY_OP(ClampMin(d, a, c, n))},
    {"ClampMax", false, ARRAY_OP(ClampMax(d, a, c, n))},
};

const ArrayCase kAligned[] = {
    {"ZeroAligned", false, ARRAY_OP(ZeroAligned(d, n))},
    {"NegateAligned", false, ARRAY_OP(NegateAligned(d, n))},
    {"CopyAligned", false, ARRAY_OP(CopyAligned(d, a, n))},
    {"AddAligned", false, ARRAY_OP(AddAligned(d, a, b, n))},
    {"SubAligned", false, ARRAY_OP(SubAligned(d, a, b, n))},
    {"MulConstAligned", false, ARRAY_OP(MulConstAligned(d, a, c, n))},
    {"AddAssignAligned", false, ARRAY_OP(AddAssignAligned(d, a, n))},
    {"SubAssignAligned", false, ARRAY_OP(SubAssignAligned(d, a, n))},
    {"MulAssignAligned", false, ARRAY_OP(MulAssignAligned(d, c, n))},
};

#undef ARRAY_OP

class GeSimdFloat : public KernelTest {};

// ---------------------------------------------------------------------------
// Documented cases, every implementation

TEST_F(GeSimdFloat, ConstantFormsPutTheConstantOnTheLeft)
{
    for (const auto& k : kernels_) {
        SCOPED_TRACE(k->GetName());
        const float src[2] = {1.0f, 2.0f}, divisors[2] = {2.0f, 4.0f};
        float dst[2];
        k->SubConst(dst, 10.0f, src, 2);
        EXPECT_EQ(dst[0], 9.0f);
        EXPECT_EQ(dst[1], 8.0f);
        k->DivConst(dst, 1.0f, divisors, 2);
        EXPECT_NEAR(dst[0], 0.5f, 1e-6f);
        EXPECT_NEAR(dst[1], 0.25f, 1e-6f);
    }
}

TEST_F(GeSimdFloat, DivisionByZero)
{
    const float a[1] = {1.0f}, b[1] = {0.0f};
    for (const auto& k : kernels_) {
        SCOPED_TRACE(k->GetName());
        float dst[1];
        k->Div(dst, a, b, 1);
        if (IsSseLevel(*k))
            EXPECT_TRUE(std::isnan(dst[0]));   // reciprocal estimate: inf * 0 in the refinement
        else
            EXPECT_TRUE(std::isinf(dst[0]));
    }
}

TEST_F(GeSimdFloat, DotOfNothingIsZeroAndShortDotsAreSums)
{
    const float a[5] = {1, 2, 3, 4, 5}, b[5] = {5, 4, 3, 2, 1};
    for (const auto& k : kernels_) {
        SCOPED_TRACE(k->GetName());
        float result = 7.0f;
        k->Dot(&result, a, b, 0);
        EXPECT_EQ(result, 0.0f);
        k->Dot(&result, a, b, 5);
        EXPECT_EQ(result, 35.0f);
        k->Dot(&result, a, b, 3);
        EXPECT_EQ(result, 5.0f + 8.0f + 9.0f);
    }
}

TEST_F(GeSimdFloat, BitFormsOrTheirBitIn)
{
    for (const auto& k : kernels_) {
        SCOPED_TRACE(k->GetName());
        std::vector<float> src(20, 1.0f);
        src[3] = 0.5f;
        std::vector<uint8_t> mask(20, 0x01);
        k->CmpGEBit(mask.data(), 3, src.data(), 1.0f, 20);
        for (int i = 0; i < 20; i++)
            EXPECT_EQ(mask[i], i == 3 ? 0x01 : 0x09) << i;
        k->CmpGEBit(mask.data(), 9, src.data(), 0.0f, 20);   // past the byte: no change
        EXPECT_EQ(mask[3], 0x01);
        EXPECT_EQ(mask[4], 0x09);
    }
}

TEST_F(GeSimdFloat, NaNFailsEveryComparisonAndIsSkippedByMinMax)
{
    for (const auto& k : kernels_) {
        SCOPED_TRACE(k->GetName());
        std::vector<float> src(21, kNaN);
        src[20] = 2.0f;
        src[5] = -3.0f;
        std::vector<uint8_t> mask(21, 7);
        for (int form = 0; form < 4; form++) {
            if (form == 0) k->CmpGT(mask.data(), src.data(), 0.0f, 21);
            if (form == 1) k->CmpGE(mask.data(), src.data(), 0.0f, 21);
            if (form == 2) k->CmpLT(mask.data(), src.data(), 0.0f, 21);
            if (form == 3) k->CmpLE(mask.data(), src.data(), 0.0f, 21);
            EXPECT_EQ(mask[0], 0);
            EXPECT_EQ(mask[19], 0);
        }
        float min = 0, max = 0;
        k->MinMax(&min, &max, src.data(), 21);
        EXPECT_EQ(min, -3.0f);
        EXPECT_EQ(max, 2.0f);
    }
}

TEST_F(GeSimdFloat, MinMaxOfNothingKeepsTheStartValues)
{
    for (const auto& k : kernels_) {
        SCOPED_TRACE(k->GetName());
        float min[3], max[3];
        k->MinMax(min, max, nullptr, 0);
        EXPECT_EQ(min[0], 1e30f);
        EXPECT_EQ(max[0], -1e30f);
        k->MinMaxVec2(min, max, nullptr, 0);
        EXPECT_EQ(min[1], 1e30f);
        k->MinMaxVec3(min, max, nullptr, -1);
        EXPECT_EQ(min[2], 1e30f);
        EXPECT_EQ(max[2], -1e30f);
    }
}

TEST_F(GeSimdFloat, ClampRangeTestsTheLowBoundFirst)
{
    const float src[9] = {-5, 0, 5, 10, 15, 20, 25, -1, 11};
    for (const auto& k : kernels_) {
        SCOPED_TRACE(k->GetName());
        float dst[9];
        k->ClampRange(dst, src, 10.0f, 0.0f, 9);   // lo > hi
        const float expected[9] = {10, 10, 10, 0, 0, 0, 0, 10, 0};
        for (int i = 0; i < 9; i++)
            EXPECT_EQ(dst[i], expected[i]) << i;
    }
}

TEST_F(GeSimdFloat, NegateFlipsTheSignBitOfZeroAndNaN)
{
    for (const auto& k : kernels_) {
        SCOPED_TRACE(k->GetName());
        alignas(16) float v[4] = {0.0f, kNaN, -1.5f, 2.0f};
        k->NegateAligned(v, 4);
        EXPECT_EQ(FloatBits(v[0]), 0x80000000u);
        EXPECT_EQ(FloatBits(v[1]), FloatBits(kNaN) ^ 0x80000000u);
        EXPECT_EQ(v[2], 1.5f);
        EXPECT_EQ(v[3], -2.0f);
    }
}

TEST_F(GeSimdFloat, TransformRecordsBuildsRotationPlusTranslation)
{
    const float h = std::sqrt(0.5f);
    const JointPose poses[2] = {
        {{1, 2, 3, 99}, {0, 0, 0, 1}, 7},
        {{-4, 5, 0.5f, 0}, {0, 0, h, h}, 0},   // a quarter turn about z
    };
    for (const auto& k : kernels_) {
        SCOPED_TRACE(k->GetName());
        JointMatrix out[2];
        k->TransformRecords(out, poses, 2);
        const float identity[16] = {1, 0, 0, 1, 0, 1, 0, 2, 0, 0, 1, 3, 0, 0, 0, 1};
        for (int i = 0; i < 16; i++)
            EXPECT_EQ(out[0].m[i], identity[i]) << i;
        EXPECT_EQ(out[0].parent, 7u);
        const float turn[16] = {0, -1, 0, -4, 1, 0, 0, 5, 0, 0, 1, 0.5f, 0, 0, 0, 1};
        for (int i = 0; i < 16; i++)
            EXPECT_NEAR(out[1].m[i], turn[i], 1e-6f) << i;
        EXPECT_EQ(out[1].parent, 0u);
    }
}

// ---------------------------------------------------------------------------
// Equivalence with the generic implementation

TEST_F(GeSimdFloat, ElementWiseOperationsMatchTheGenericCode)
{
    Random rnd(1);
    for (const auto& k : kernels_) {
        SCOPED_TRACE(k->GetName());
        for (const ArrayCase& op : kElementWise) {
            SCOPED_TRACE(op.name);
            for (int32_t n : Lengths()) {
                for (size_t offset = 0; offset < 16; offset += 4) {
                    Buffer<float> a(n, offset), b(n, offset), expected(n, offset), actual(n, offset);
                    rnd.Fill(a, -1000.0f, 1000.0f);
                    FillOperands(rnd, b);
                    rnd.Fill(expected, -1000.0f, 1000.0f);
                    memcpy(actual.data(), expected.data(), n * sizeof(float));
                    const float c = rnd.Float(1.0f, 500.0f);
                    op.run(generic_, expected.data(), a.data(), b.data(), c, n);
                    op.run(*k, actual.data(), a.data(), b.data(), c, n);
                    if (op.reciprocal && IsSseLevel(*k))
                        ASSERT_TRUE(CloseQuotients(expected, actual, n)) << "n " << n << " offset " << offset;
                    else
                        ASSERT_TRUE(SameBits(expected, actual, n)) << "n " << n << " offset " << offset;
                }
            }
        }
    }
}

TEST_F(GeSimdFloat, DotProductsMatchTheGenericCode)
{
    Random rnd(2);
    for (const auto& k : kernels_) {
        SCOPED_TRACE(k->GetName());
        for (int32_t n : Lengths()) {
            for (size_t offset = 0; offset < 16; offset += 4) {
                Buffer<float> a(4 * n, offset), b(4 * n, offset);
                rnd.Fill(a, -10.0f, 10.0f);
                rnd.Fill(b, -10.0f, 10.0f);
                float expected, actual;
                generic_.Dot(&expected, a.data(), b.data(), n);
                k->Dot(&actual, a.data(), b.data(), n);
                ASSERT_EQ(FloatBits(expected), FloatBits(actual)) << "Dot n " << n;

                Buffer<float> want(n, offset), got(n, offset);
                generic_.Dot3Array(want.data(), a.data(), b.data(), n);
                k->Dot3Array(got.data(), a.data(), b.data(), n);
                ASSERT_TRUE(SameBits(want, got, n)) << "Dot3Array n " << n;
                const float c[3] = {rnd.Float(-2, 2), rnd.Float(-2, 2), rnd.Float(-2, 2)};
                generic_.Dot3Const(want.data(), c, a.data(), n);
                k->Dot3Const(got.data(), c, a.data(), n);
                ASSERT_TRUE(SameBits(want, got, n)) << "Dot3Const n " << n;
            }
        }
    }
}

TEST_F(GeSimdFloat, ComparisonsMatchTheGenericCode)
{
    // Each comparison in both forms: plain (dst, src, c, n) and bit (dst, bit, src, c, n).
#define COMPARISON(Name)                                                                        \
    {[](const CGeSimd& k, uint8_t* d, const float* s, float c, int32_t n) { k.Name(d, s, c, n); }, \
     [](const CGeSimd& k, uint8_t* d, uint8_t b, const float* s, float c, int32_t n) { k.Name##Bit(d, b, s, c, n); }}
    struct Comparison {
        std::function<void(const CGeSimd&, uint8_t*, const float*, float, int32_t)> plain;
        std::function<void(const CGeSimd&, uint8_t*, uint8_t, const float*, float, int32_t)> bit;
    };
    const Comparison comparisons[4] = {COMPARISON(CmpGT), COMPARISON(CmpGE), COMPARISON(CmpLT), COMPARISON(CmpLE)};
#undef COMPARISON
    Random rnd(3);
    for (const auto& k : kernels_) {
        SCOPED_TRACE(k->GetName());
        for (int32_t n : Lengths()) {
            for (size_t offset = 0; offset < 16; offset += 4) {
                // Small integers so that equality with the constant comes up; some NaN.
                Buffer<float> src(n, offset);
                for (int32_t i = 0; i < n; i++)
                    src[i] = rnd.Int(0, 19) == 0 ? kNaN : static_cast<float>(rnd.Int(-3, 3));
                const float c = static_cast<float>(rnd.Int(-2, 2));
                for (int form = 0; form < 4; form++) {
                    Buffer<uint8_t> want(n, offset), got(n, offset);
                    rnd.FillBytes(want);
                    memcpy(got.data(), want.data(), n);
                    comparisons[form].plain(generic_, want.data(), src.data(), c, n);
                    comparisons[form].plain(*k, got.data(), src.data(), c, n);
                    ASSERT_EQ(want.ToVector(), got.ToVector()) << "plain form " << form << " n " << n;

                    const uint8_t b = static_cast<uint8_t>(rnd.Int(0, 9));
                    comparisons[form].bit(generic_, want.data(), b, src.data(), c, n);
                    comparisons[form].bit(*k, got.data(), b, src.data(), c, n);
                    ASSERT_EQ(want.ToVector(), got.ToVector()) << "bit form " << form << " bit " << int(b);
                }
            }
        }
    }
}

TEST_F(GeSimdFloat, MinimaAndMaximaMatchTheGenericCode)
{
    Random rnd(4);
    for (const auto& k : kernels_) {
        SCOPED_TRACE(k->GetName());
        for (int32_t n : Lengths()) {
            Buffer<float> src(4 * n, 4 * (n % 4));
            rnd.Fill(src, -1e6f, 1e6f);
            for (size_t i = 0; i < src.size(); i += 7)
                src[i] = kNaN;
            float wantMin[3], wantMax[3], gotMin[3], gotMax[3];
            generic_.MinMax(wantMin, wantMax, src.data(), n);
            k->MinMax(gotMin, gotMax, src.data(), n);
            ASSERT_EQ(wantMin[0], gotMin[0]) << n;
            ASSERT_EQ(wantMax[0], gotMax[0]) << n;
            generic_.MinMaxVec2(wantMin, wantMax, src.data(), n);
            k->MinMaxVec2(gotMin, gotMax, src.data(), n);
            for (int c = 0; c < 2; c++) {
                ASSERT_EQ(wantMin[c], gotMin[c]) << n;
                ASSERT_EQ(wantMax[c], gotMax[c]) << n;
            }
            generic_.MinMaxVec3(wantMin, wantMax, src.data(), n);
            k->MinMaxVec3(gotMin, gotMax, src.data(), n);
            for (int c = 0; c < 3; c++) {
                ASSERT_EQ(wantMin[c], gotMin[c]) << n;
                ASSERT_EQ(wantMax[c], gotMax[c]) << n;
            }
        }
    }
}

// The generic code touches exactly n elements; the SSE levels work on whole groups of
// four and give the up to three following elements the same treatment.
TEST_F(GeSimdFloat, AlignedFormsMatchTheGenericCodeOverTheirGroups)
{
    Random rnd(5);
    for (const auto& k : kernels_) {
        SCOPED_TRACE(k->GetName());
        const bool wholeGroups = IsSseLevel(*k);
        for (const ArrayCase& op : kAligned) {
            SCOPED_TRACE(op.name);
            for (int32_t n : Lengths()) {
                const int32_t rounded = (n + 3) & ~3;
                const int32_t covered = wholeGroups ? rounded : n;
                for (size_t offset = 0; offset < 64; offset += 16) {
                    Buffer<float> a(rounded, offset), b(rounded, offset), want(rounded, offset), got(rounded, offset);
                    rnd.Fill(a, -1000.0f, 1000.0f);
                    rnd.Fill(b, -1000.0f, 1000.0f);
                    rnd.Fill(want, -1000.0f, 1000.0f);
                    memcpy(got.data(), want.data(), rounded * sizeof(float));
                    const float c = rnd.Float(-4.0f, 4.0f);
                    op.run(generic_, want.data(), a.data(), b.data(), c, covered);
                    op.run(*k, got.data(), a.data(), b.data(), c, n);
                    ASSERT_TRUE(SameBits(want, got, rounded)) << "n " << n;
                }
            }
        }
    }
}

}  // namespace
