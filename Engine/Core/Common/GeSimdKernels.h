// The eight implementations of the kernel object. CGeSimdGeneric implements every
// operation in portable C++; each accelerated class derives from it (directly or through
// a lower level) and replaces the operations that its feature set speeds up:
//
//   CGeSimdMMX          memory copy and fill, alpha insertion, 24-bit expansion, YUV
//   CGeSimdMMX_EMMX     + prefetching copy, its own fill, cache-bypassing YUV stores, and
//                         the prefetching 24-bit expansion (an operation only this family has)
//   CGeSimdMMX_3DNow    MMX + the 3DNow block copy
//   CGeSimdMMX_3DNow2   + the cache-bypassing 3DNow block copy
//   CGeSimdSSE          extended MMX + float arrays, the SSE copy, sample conversion, mixing
//   CGeSimdSSE2         + the 16-sample mix conversion
//   CGeSimdSSE3         the SSE2 operations under its own name
//
// Only x86-64 builds have the accelerated classes. Their bodies are written with SSE2
// (the x86-64 baseline) or plain C, so every class runs on every x86-64 processor. Where
// an accelerated class gives a different result from the generic one (studio-range YUV,
// rounded mix conversion, Div through a reciprocal, aligned forms that fill whole groups
// of four), the difference is kept on purpose: it is that class's documented behaviour.
#pragma once

#include "Engine/Core/Common/GeSimd.h"

#if defined(__x86_64__)
#define GE_SIMD_X86 1
#else
#define GE_SIMD_X86 0
#endif

// The operations on float arrays and float sound samples, from Add to MixToInt16:
// the generic class implements every one of them and the SSE class replaces every one,
// so both declare them from this one list.
#define GE_SIMD_FLOAT_OPERATIONS                                                                   \
    void Add(float* dst, const float* a, const float* b, int32_t n) const override;                \
    void AddConst(float* dst, float c, const float* src, int32_t n) const override;                \
    void Sub(float* dst, const float* a, const float* b, int32_t n) const override;                \
    void SubConst(float* dst, float c, const float* src, int32_t n) const override;                \
    void Mul(float* dst, const float* a, const float* b, int32_t n) const override;                \
    void MulConst(float* dst, float c, const float* src, int32_t n) const override;                \
    void Div(float* dst, const float* a, const float* b, int32_t n) const override;                \
    void DivConst(float* dst, float c, const float* src, int32_t n) const override;                \
    void MulAdd(float* dst, const float* a, const float* b, int32_t n) const override;             \
    void MulAddConst(float* dst, float c, const float* src, int32_t n) const override;             \
    void MulSub(float* dst, const float* a, const float* b, int32_t n) const override;             \
    void MulSubConst(float* dst, float c, const float* src, int32_t n) const override;             \
    void Dot(float* result, const float* a, const float* b, int32_t n) const override;             \
    void Dot3Array(float* dst, const float* a, const float* b, int32_t n) const override;          \
    void Dot3Const(float* dst, const float* c, const float* src, int32_t n) const override;        \
    void CmpGTBit(uint8_t* dst, uint8_t bit, const float* src, float c, int32_t n) const override; \
    void CmpGT(uint8_t* dst, const float* src, float c, int32_t n) const override;                 \
    void CmpGEBit(uint8_t* dst, uint8_t bit, const float* src, float c, int32_t n) const override; \
    void CmpGE(uint8_t* dst, const float* src, float c, int32_t n) const override;                 \
    void CmpLTBit(uint8_t* dst, uint8_t bit, const float* src, float c, int32_t n) const override; \
    void CmpLT(uint8_t* dst, const float* src, float c, int32_t n) const override;                 \
    void CmpLEBit(uint8_t* dst, uint8_t bit, const float* src, float c, int32_t n) const override; \
    void CmpLE(uint8_t* dst, const float* src, float c, int32_t n) const override;                 \
    void MinMaxVec3(float* min, float* max, const float* src, int32_t n) const override;           \
    void MinMaxVec2(float* min, float* max, const float* src, int32_t n) const override;           \
    void MinMax(float* min, float* max, const float* src, int32_t n) const override;               \
    void ClampRange(float* dst, const float* src, float lo, float hi, int32_t n) const override;   \
    void ClampMin(float* dst, const float* src, float lo, int32_t n) const override;               \
    void ClampMax(float* dst, const float* src, float hi, int32_t n) const override;               \
    void ZeroAligned(float* dst, int32_t n) const override;                                        \
    void NegateAligned(float* dst, int32_t n) const override;                                      \
    void CopyAligned(float* dst, const float* src, int32_t n) const override;                      \
    void AddAligned(float* dst, const float* a, const float* b, int32_t n) const override;         \
    void SubAligned(float* dst, const float* a, const float* b, int32_t n) const override;         \
    void MulConstAligned(float* dst, const float* src, float c, int32_t n) const override;         \
    void AddAssignAligned(float* dst, const float* src, int32_t n) const override;                 \
    void SubAssignAligned(float* dst, const float* src, int32_t n) const override;                 \
    void MulAssignAligned(float* dst, float c, int32_t n) const override;                          \
    void ConvertInt16ToFloat(float* dst, const int16_t* src, int32_t n, int32_t rate,              \
                             int32_t channels) const override;                                     \
    void ConvertFloatTo44k(float* dst, const float* const* channelTable, int32_t n, int32_t rate,  \
                           int32_t channels) const override;                                       \
    void MixMonoToStereo(float* mix, const float* src, int32_t count, const float* startVolumes,   \
                         const float* endVolumes) const override;                                  \
    void MixStereoToStereo(float* mix, const float* src, int32_t count, const float* startVolumes, \
                           const float* endVolumes) const override;                                \
    void MixMonoToSix(float* mix, const float* src, int32_t count, const float* startVolumes,      \
                      const float* endVolumes) const override;                                     \
    void MixStereoToSix(float* mix, const float* src, int32_t count, const float* startVolumes,    \
                        const float* endVolumes) const override;                                   \
    void MixToInt16(int16_t* dst, const float* src, int32_t n) const override;

class CGeSimdGeneric : public CGeSimd {
public:
    const char* GetName() const override;
    GE_SIMD_FLOAT_OPERATIONS
    void Memcpy(void* dst, const void* src, size_t bytes) const override;
    void Memset(void* dst, int32_t value, size_t bytes) const override;
    void TransformRecords(JointMatrix* dst, const JointPose* src, uint32_t count) const override;
    void Expand565To32(uint32_t* dst, const void* block) const override;
    void SetAlpha(uint32_t* dst, const uint8_t* alpha, int32_t n) const override;
    void ExpandRgb24To32(uint32_t* dst, const uint8_t* src, int32_t n) const override;
    void ConvertFloatToInt16Interleaved(int16_t* dst, const float* const* channelTable,
                                        uint32_t samples, uint32_t channels) const override;
    void ConvertYUVToRGB(const uint8_t* y, int32_t yStride, const uint8_t* u, const uint8_t* v,
                         int32_t chromaStride, uint8_t* dst, int32_t dstPitch, int32_t width,
                         int32_t height, uint8_t forceGeneric) const override;
};

#if GE_SIMD_X86

class CGeSimdMMX : public CGeSimdGeneric {
public:
    const char* GetName() const override;
    void Memcpy(void* dst, const void* src, size_t bytes) const override;
    void Memset(void* dst, int32_t value, size_t bytes) const override;
    void SetAlpha(uint32_t* dst, const uint8_t* alpha, int32_t n) const override;
    void ExpandRgb24To32(uint32_t* dst, const uint8_t* src, int32_t n) const override;
    void ConvertYUVToRGB(const uint8_t* y, int32_t yStride, const uint8_t* u, const uint8_t* v,
                         int32_t chromaStride, uint8_t* dst, int32_t dstPitch, int32_t width,
                         int32_t height, uint8_t forceGeneric) const override;
};

class CGeSimdMMX_EMMX : public CGeSimdMMX {
public:
    const char* GetName() const override;
    void Memcpy(void* dst, const void* src, size_t bytes) const override;
    void Memset(void* dst, int32_t value, size_t bytes) const override;
    void ConvertYUVToRGB(const uint8_t* y, int32_t yStride, const uint8_t* u, const uint8_t* v,
                         int32_t chromaStride, uint8_t* dst, int32_t dstPitch, int32_t width,
                         int32_t height, uint8_t forceGeneric) const override;
    // The same effect as ExpandRgb24To32, reading ahead of the pixels it converts.
    virtual void ExpandRgb24To32Prefetched(uint32_t* dst, const uint8_t* src, int32_t n) const;
};

class CGeSimdMMX_3DNow : public CGeSimdMMX {
public:
    const char* GetName() const override;
    void Memcpy(void* dst, const void* src, size_t bytes) const override;
};

class CGeSimdMMX_3DNow2 : public CGeSimdMMX_3DNow {
public:
    const char* GetName() const override;
    void Memcpy(void* dst, const void* src, size_t bytes) const override;
};

class CGeSimdSSE : public CGeSimdMMX_EMMX {
public:
    const char* GetName() const override;
    GE_SIMD_FLOAT_OPERATIONS
    void Memcpy(void* dst, const void* src, size_t bytes) const override;
};

class CGeSimdSSE2 : public CGeSimdSSE {
public:
    const char* GetName() const override;
    void MixToInt16(int16_t* dst, const float* src, int32_t n) const override;
};

class CGeSimdSSE3 : public CGeSimdSSE2 {
public:
    const char* GetName() const override;
};

#endif  // GE_SIMD_X86

#undef GE_SIMD_FLOAT_OPERATIONS
