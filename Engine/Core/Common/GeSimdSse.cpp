// The SSE levels' float-array kernels. Every element gets its own result rounded to a
// 32-bit float, as in the generic code, so these give the generic bits, with two
// exceptions that belong to the SSE levels: Div and DivConst multiply by a refined
// reciprocal estimate (last-bit differences; a zero divisor gives NaN), and the aligned
// forms work on whole groups of four, so they also write the up to three floats after
// the last element.
#include "Engine/Core/Common/GeSimdKernels.h"

#if GE_SIMD_X86

#include "Engine/Core/Common/GeSimdScalar.h"

#include <emmintrin.h>

using namespace gesimd;

const char* CGeSimdSSE::GetName() const
{
    return "MMX+EMMX+SSE";
}

const char* CGeSimdSSE2::GetName() const
{
    return "MMX+EMMX+SSE+SSE2";
}

const char* CGeSimdSSE3::GetName() const
{
    return "MMX+EMMX+SSE+SSE2+SSE3";
}

namespace {

// Operand sources: an array read element by element, or one constant for every element.
struct ArrayIn {
    const float* p;
    __m128 Load(int32_t i) const { return _mm_loadu_ps(p + i); }
    float At(int32_t i) const { return p[i]; }
};

struct ConstIn {
    float c;
    __m128 Load(int32_t) const { return _mm_set1_ps(c); }
    float At(int32_t) const { return c; }
};

// The operations, each as a function of the destination's old value d and operands a, b.
struct AddOp {
    __m128 operator()(__m128, __m128 a, __m128 b) const { return _mm_add_ps(a, b); }
};
struct SubOp {
    __m128 operator()(__m128, __m128 a, __m128 b) const { return _mm_sub_ps(a, b); }
};
struct MulOp {
    __m128 operator()(__m128, __m128 a, __m128 b) const { return _mm_mul_ps(a, b); }
};
// a / b as a times the reciprocal estimate of b refined by one Newton-Raphson step.
struct DivOp {
    __m128 operator()(__m128, __m128 a, __m128 b) const
    {
        const __m128 r = _mm_rcp_ps(b);
        const __m128 refined = _mm_sub_ps(_mm_add_ps(r, r), _mm_mul_ps(_mm_mul_ps(b, r), r));
        return _mm_mul_ps(a, refined);
    }
};
struct MulAddOp {
    __m128 operator()(__m128 d, __m128 a, __m128 b) const { return _mm_add_ps(d, _mm_mul_ps(a, b)); }
};
struct MulSubOp {
    __m128 operator()(__m128 d, __m128 a, __m128 b) const { return _mm_sub_ps(d, _mm_mul_ps(a, b)); }
};

// Picks `replacement` in the lanes where `mask` is set.
inline __m128 Select(__m128 mask, __m128 replacement, __m128 value)
{
    return _mm_or_ps(_mm_and_ps(mask, replacement), _mm_andnot_ps(mask, value));
}

struct ClampRangeOp {
    float lo, hi;
    __m128 operator()(__m128, __m128 x, __m128) const
    {
        const __m128 low = _mm_set1_ps(lo), high = _mm_set1_ps(hi);
        const __m128 aboveHigh = Select(_mm_cmpgt_ps(x, high), high, x);
        return Select(_mm_cmplt_ps(x, low), low, aboveHigh);
    }
};
struct ClampMinOp {
    float lo;
    __m128 operator()(__m128, __m128 x, __m128) const
    {
        const __m128 low = _mm_set1_ps(lo);
        return Select(_mm_cmplt_ps(x, low), low, x);
    }
};
struct ClampMaxOp {
    float hi;
    __m128 operator()(__m128, __m128 x, __m128) const
    {
        const __m128 high = _mm_set1_ps(hi);
        return Select(_mm_cmpgt_ps(x, high), high, x);
    }
};

// dst[i] = op(dst[i], a[i], b[i]) for i < n: eight elements per step, then four, then
// single elements, which go through the same vector operation in one lane.
template <class Op, class A, class B>
void ElementWise(float* dst, A a, B b, int32_t n, Op op)
{
    int32_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m128 r0 = op(_mm_loadu_ps(dst + i), a.Load(i), b.Load(i));
        const __m128 r1 = op(_mm_loadu_ps(dst + i + 4), a.Load(i + 4), b.Load(i + 4));
        _mm_storeu_ps(dst + i, r0);
        _mm_storeu_ps(dst + i + 4, r1);
    }
    if (i + 4 <= n) {
        _mm_storeu_ps(dst + i, op(_mm_loadu_ps(dst + i), a.Load(i), b.Load(i)));
        i += 4;
    }
    for (; i < n; i++)
        dst[i] = _mm_cvtss_f32(op(_mm_set_ss(dst[i]), _mm_set_ss(a.At(i)), _mm_set_ss(b.At(i))));
}

// The aligned forms: whole groups of four, the last one possibly past n.
template <class Op, class A, class B>
void WholeGroups(float* dst, A a, B b, int32_t n, Op op)
{
    for (int32_t i = 0; i < n; i += 4)
        _mm_storeu_ps(dst + i, op(_mm_loadu_ps(dst + i), a.Load(i), b.Load(i)));
}

const ConstIn kUnused{0.0f};

}  // namespace

// ---------------------------------------------------------------------------
// Element-wise arithmetic

void CGeSimdSSE::Add(float* dst, const float* a, const float* b, int32_t n) const
{
    ElementWise(dst, ArrayIn{a}, ArrayIn{b}, n, AddOp());
}

void CGeSimdSSE::AddConst(float* dst, float c, const float* src, int32_t n) const
{
    ElementWise(dst, ArrayIn{src}, ConstIn{c}, n, AddOp());
}

void CGeSimdSSE::Sub(float* dst, const float* a, const float* b, int32_t n) const
{
    ElementWise(dst, ArrayIn{a}, ArrayIn{b}, n, SubOp());
}

void CGeSimdSSE::SubConst(float* dst, float c, const float* src, int32_t n) const
{
    ElementWise(dst, ConstIn{c}, ArrayIn{src}, n, SubOp());
}

void CGeSimdSSE::Mul(float* dst, const float* a, const float* b, int32_t n) const
{
    ElementWise(dst, ArrayIn{a}, ArrayIn{b}, n, MulOp());
}

void CGeSimdSSE::MulConst(float* dst, float c, const float* src, int32_t n) const
{
    ElementWise(dst, ArrayIn{src}, ConstIn{c}, n, MulOp());
}

void CGeSimdSSE::Div(float* dst, const float* a, const float* b, int32_t n) const
{
    ElementWise(dst, ArrayIn{a}, ArrayIn{b}, n, DivOp());
}

void CGeSimdSSE::DivConst(float* dst, float c, const float* src, int32_t n) const
{
    ElementWise(dst, ConstIn{c}, ArrayIn{src}, n, DivOp());
}

void CGeSimdSSE::MulAdd(float* dst, const float* a, const float* b, int32_t n) const
{
    ElementWise(dst, ArrayIn{a}, ArrayIn{b}, n, MulAddOp());
}

void CGeSimdSSE::MulAddConst(float* dst, float c, const float* src, int32_t n) const
{
    ElementWise(dst, ArrayIn{src}, ConstIn{c}, n, MulAddOp());
}

void CGeSimdSSE::MulSub(float* dst, const float* a, const float* b, int32_t n) const
{
    ElementWise(dst, ArrayIn{a}, ArrayIn{b}, n, MulSubOp());
}

void CGeSimdSSE::MulSubConst(float* dst, float c, const float* src, int32_t n) const
{
    ElementWise(dst, ArrayIn{src}, ConstIn{c}, n, MulSubOp());
}

// ---------------------------------------------------------------------------
// Dot products: the same four partial sums as the generic code, so the same bits.

void CGeSimdSSE::Dot(float* result, const float* a, const float* b, int32_t n) const
{
    if (n < 4) {
        *result = DotShort(a, b, n);
        return;
    }
    __m128 lanes = _mm_setzero_ps();
    int32_t i = 0;
    for (; i + 4 <= n; i += 4)
        lanes = _mm_add_ps(lanes, _mm_mul_ps(_mm_loadu_ps(a + i), _mm_loadu_ps(b + i)));
    float sums[4];
    _mm_storeu_ps(sums, lanes);
    for (; i < n; i++)
        sums[i & 3] += a[i] * b[i];
    *result = DotPartialSums(sums);
}

namespace {

// x*x' + y*y' + z*z' of four-float vectors, summed in that order; four per step.
template <class B>
void Dot3(float* dst, const float* a, B b, int32_t n)
{
    int32_t i = 0;
    for (; i + 4 <= n; i += 4) {
        __m128 p0 = _mm_mul_ps(_mm_loadu_ps(a + 4 * i), b.Load(4 * i));
        __m128 p1 = _mm_mul_ps(_mm_loadu_ps(a + 4 * i + 4), b.Load(4 * i + 4));
        __m128 p2 = _mm_mul_ps(_mm_loadu_ps(a + 4 * i + 8), b.Load(4 * i + 8));
        __m128 p3 = _mm_mul_ps(_mm_loadu_ps(a + 4 * i + 12), b.Load(4 * i + 12));
        _MM_TRANSPOSE4_PS(p0, p1, p2, p3);
        _mm_storeu_ps(dst + i, _mm_add_ps(_mm_add_ps(p0, p1), p2));
    }
    for (; i < n; i++) {
        const float* v = a + 4 * i;
        dst[i] = v[0] * b.At(4 * i) + v[1] * b.At(4 * i + 1) + v[2] * b.At(4 * i + 2);
    }
}

// The constant vector of Dot3Const, repeated for every element.
struct Vec3In {
    float c[4];
    __m128 Load(int32_t) const { return _mm_loadu_ps(c); }
    float At(int32_t i) const { return c[i & 3]; }
};

}  // namespace

void CGeSimdSSE::Dot3Array(float* dst, const float* a, const float* b, int32_t n) const
{
    Dot3(dst, a, ArrayIn{b}, n);
}

void CGeSimdSSE::Dot3Const(float* dst, const float* c, const float* src, int32_t n) const
{
    Dot3(dst, src, Vec3In{{c[0], c[1], c[2], 0.0f}}, n);
}

// ---------------------------------------------------------------------------
// Comparisons: sixteen answers per step, packed to sixteen bytes of 0 or mask.

namespace {

struct GreaterThan {
    __m128 operator()(__m128 x, __m128 c) const { return _mm_cmpgt_ps(x, c); }
    bool operator()(float x, float c) const { return x > c; }
};
struct GreaterEqual {
    __m128 operator()(__m128 x, __m128 c) const { return _mm_cmpge_ps(x, c); }
    bool operator()(float x, float c) const { return x >= c; }
};
struct LessThan {
    __m128 operator()(__m128 x, __m128 c) const { return _mm_cmplt_ps(x, c); }
    bool operator()(float x, float c) const { return x < c; }
};
struct LessEqual {
    __m128 operator()(__m128 x, __m128 c) const { return _mm_cmple_ps(x, c); }
    bool operator()(float x, float c) const { return x <= c; }
};

// Plain form (orInto false): dst[i] = mask or 0. Bit form: dst[i] |= mask where true.
template <class Cmp>
void CompareBytes(uint8_t* dst, const float* src, float c, int32_t n, uint8_t mask, bool orInto)
{
    const Cmp cmp;
    const __m128 cv = _mm_set1_ps(c);
    const __m128i maskBytes = _mm_set1_epi8(static_cast<char>(mask));
    int32_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i c0 = _mm_castps_si128(cmp(_mm_loadu_ps(src + i), cv));
        const __m128i c1 = _mm_castps_si128(cmp(_mm_loadu_ps(src + i + 4), cv));
        const __m128i c2 = _mm_castps_si128(cmp(_mm_loadu_ps(src + i + 8), cv));
        const __m128i c3 = _mm_castps_si128(cmp(_mm_loadu_ps(src + i + 12), cv));
        const __m128i answers = _mm_packs_epi16(_mm_packs_epi32(c0, c1), _mm_packs_epi32(c2, c3));
        __m128i bytes = _mm_and_si128(answers, maskBytes);
        __m128i* out = reinterpret_cast<__m128i*>(dst + i);
        if (orInto)
            bytes = _mm_or_si128(bytes, _mm_loadu_si128(out));
        _mm_storeu_si128(out, bytes);
    }
    for (; i < n; i++) {
        if (orInto) {
            if (cmp(src[i], c))
                dst[i] |= mask;
        } else {
            dst[i] = cmp(src[i], c) ? mask : 0;
        }
    }
}

template <class Cmp>
void CompareBit(uint8_t* dst, uint8_t bit, const float* src, float c, int32_t n)
{
    if (bit < 8)   // higher bit numbers change nothing, as in the generic code
        CompareBytes<Cmp>(dst, src, c, n, static_cast<uint8_t>(1u << bit), true);
}

}  // namespace

void CGeSimdSSE::CmpGTBit(uint8_t* dst, uint8_t bit, const float* src, float c, int32_t n) const
{
    CompareBit<GreaterThan>(dst, bit, src, c, n);
}

void CGeSimdSSE::CmpGT(uint8_t* dst, const float* src, float c, int32_t n) const
{
    CompareBytes<GreaterThan>(dst, src, c, n, 1, false);
}

void CGeSimdSSE::CmpGEBit(uint8_t* dst, uint8_t bit, const float* src, float c, int32_t n) const
{
    CompareBit<GreaterEqual>(dst, bit, src, c, n);
}

void CGeSimdSSE::CmpGE(uint8_t* dst, const float* src, float c, int32_t n) const
{
    CompareBytes<GreaterEqual>(dst, src, c, n, 1, false);
}

void CGeSimdSSE::CmpLTBit(uint8_t* dst, uint8_t bit, const float* src, float c, int32_t n) const
{
    CompareBit<LessThan>(dst, bit, src, c, n);
}

void CGeSimdSSE::CmpLT(uint8_t* dst, const float* src, float c, int32_t n) const
{
    CompareBytes<LessThan>(dst, src, c, n, 1, false);
}

void CGeSimdSSE::CmpLEBit(uint8_t* dst, uint8_t bit, const float* src, float c, int32_t n) const
{
    CompareBit<LessEqual>(dst, bit, src, c, n);
}

void CGeSimdSSE::CmpLE(uint8_t* dst, const float* src, float c, int32_t n) const
{
    CompareBytes<LessEqual>(dst, src, c, n, 1, false);
}

// ---------------------------------------------------------------------------
// Minima and maxima. minps(x, m) keeps m when x is NaN, so NaN is skipped as in the
// generic code. MinMax and MinMaxVec2 fold several lanes per component at the end; a
// tie between -0 and +0 may then resolve to the other zero.

namespace {

// Folds `lanes` running values into min/max with the generic rule.
void FoldLanes(float* min, float* max, const float* laneMin, const float* laneMax, int lanes, int components)
{
    for (int c = 0; c < components; c++) {
        min[c] = 1e30f;
        max[c] = -1e30f;
    }
    for (int l = 0; l < lanes; l++) {
        const int c = l % components;
        if (min[c] > laneMin[l])
            min[c] = laneMin[l];
        if (max[c] < laneMax[l])
            max[c] = laneMax[l];
    }
}

void UpdateMinMax(float* min, float* max, const float* src, int count, int components)
{
    for (int i = 0; i < count; i++) {
        const int c = i % components;
        if (min[c] > src[i])
            min[c] = src[i];
        if (max[c] < src[i])
            max[c] = src[i];
    }
}

// Flat arrays of `components`-float elements (1 or 2): four floats per step.
void MinMaxFlat(float* min, float* max, const float* src, int32_t n, int components)
{
    const int32_t floats = n > 0 ? n * components : 0;
    __m128 lo = _mm_set1_ps(1e30f), hi = _mm_set1_ps(-1e30f);
    int32_t i = 0;
    for (; i + 4 <= floats; i += 4) {
        const __m128 x = _mm_loadu_ps(src + i);
        lo = _mm_min_ps(x, lo);
        hi = _mm_max_ps(x, hi);
    }
    float laneMin[4], laneMax[4];
    _mm_storeu_ps(laneMin, lo);
    _mm_storeu_ps(laneMax, hi);
    FoldLanes(min, max, laneMin, laneMax, 4, components);
    UpdateMinMax(min, max, src + i, floats - i, components);
}

}  // namespace

void CGeSimdSSE::MinMaxVec3(float* min, float* max, const float* src, int32_t n) const
{
    __m128 lo = _mm_set1_ps(1e30f), hi = _mm_set1_ps(-1e30f);
    for (int32_t i = 0; i < n; i++) {
        const __m128 x = _mm_loadu_ps(src + 4 * i);
        lo = _mm_min_ps(x, lo);
        hi = _mm_max_ps(x, hi);
    }
    float laneMin[4], laneMax[4];
    _mm_storeu_ps(laneMin, lo);
    _mm_storeu_ps(laneMax, hi);
    for (int c = 0; c < 3; c++) {
        min[c] = laneMin[c];
        max[c] = laneMax[c];
    }
}

void CGeSimdSSE::MinMaxVec2(float* min, float* max, const float* src, int32_t n) const
{
    MinMaxFlat(min, max, src, n, 2);
}

void CGeSimdSSE::MinMax(float* min, float* max, const float* src, int32_t n) const
{
    MinMaxFlat(min, max, src, n, 1);
}

// ---------------------------------------------------------------------------
// Clamps: the same selections as the generic code, NaN included.

void CGeSimdSSE::ClampRange(float* dst, const float* src, float lo, float hi, int32_t n) const
{
    ElementWise(dst, ArrayIn{src}, kUnused, n, ClampRangeOp{lo, hi});
}

void CGeSimdSSE::ClampMin(float* dst, const float* src, float lo, int32_t n) const
{
    ElementWise(dst, ArrayIn{src}, kUnused, n, ClampMinOp{lo});
}

void CGeSimdSSE::ClampMax(float* dst, const float* src, float hi, int32_t n) const
{
    ElementWise(dst, ArrayIn{src}, kUnused, n, ClampMaxOp{hi});
}

// ---------------------------------------------------------------------------
// Aligned arrays, whole groups of four

namespace {

struct ZeroOp {
    __m128 operator()(__m128, __m128, __m128) const { return _mm_setzero_ps(); }
};
struct NegateOp {
    __m128 operator()(__m128 d, __m128, __m128) const { return _mm_xor_ps(d, _mm_set1_ps(-0.0f)); }
};
struct CopyOp {
    __m128 operator()(__m128, __m128 a, __m128) const { return a; }
};
struct AddAssignOp {
    __m128 operator()(__m128 d, __m128 a, __m128) const { return _mm_add_ps(d, a); }
};
struct SubAssignOp {
    __m128 operator()(__m128 d, __m128 a, __m128) const { return _mm_sub_ps(d, a); }
};
struct MulAssignOp {
    __m128 operator()(__m128 d, __m128 c, __m128) const { return _mm_mul_ps(d, c); }
};

}  // namespace

void CGeSimdSSE::ZeroAligned(float* dst, int32_t n) const
{
    WholeGroups(dst, kUnused, kUnused, n, ZeroOp());
}

void CGeSimdSSE::NegateAligned(float* dst, int32_t n) const
{
    WholeGroups(dst, kUnused, kUnused, n, NegateOp());
}

void CGeSimdSSE::CopyAligned(float* dst, const float* src, int32_t n) const
{
    WholeGroups(dst, ArrayIn{src}, kUnused, n, CopyOp());
}

void CGeSimdSSE::AddAligned(float* dst, const float* a, const float* b, int32_t n) const
{
    WholeGroups(dst, ArrayIn{a}, ArrayIn{b}, n, AddOp());
}

void CGeSimdSSE::SubAligned(float* dst, const float* a, const float* b, int32_t n) const
{
    WholeGroups(dst, ArrayIn{a}, ArrayIn{b}, n, SubOp());
}

void CGeSimdSSE::MulConstAligned(float* dst, const float* src, float c, int32_t n) const
{
    WholeGroups(dst, ArrayIn{src}, ConstIn{c}, n, MulOp());
}

void CGeSimdSSE::AddAssignAligned(float* dst, const float* src, int32_t n) const
{
    WholeGroups(dst, ArrayIn{src}, kUnused, n, AddAssignOp());
}

void CGeSimdSSE::SubAssignAligned(float* dst, const float* src, int32_t n) const
{
    WholeGroups(dst, ArrayIn{src}, kUnused, n, SubAssignOp());
}

void CGeSimdSSE::MulAssignAligned(float* dst, float c, int32_t n) const
{
    WholeGroups(dst, ConstIn{c}, kUnused, n, MulAssignOp());
}

#endif  // GE_SIMD_X86
