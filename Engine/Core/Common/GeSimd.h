// The SIMD kernel object: one bundle of numeric operations on float arrays, memory
// blocks, sound samples and pixels, with one implementation per processor feature set.
// Start-up probes the processor and installs the best implementation; from then on every
// caller goes through the one program-wide object (g_pGeSimd), from any thread: the
// object has no mutable state.
//
// The operations are declared in slot order. Kernel operations take the destination
// first, then the sources, then the count; forms with a constant take it before the
// source array. Counts are signed element counts unless said otherwise; a count of 0 or
// less does nothing.
#pragma once

#include <cstddef>
#include <cstdint>

// One joint's pose as the animation code hands it to TransformRecords.
struct JointPose {
    float position[4];   // x, y, z; the fourth float is not read
    float rotation[4];   // quaternion x, y, z, w
    uint32_t parent;
};

// One joint's local matrix (row-major, translation in floats 3, 7 and 11).
struct JointMatrix {
    float m[16];
    uint32_t parent;
};

class CGeSimd {
public:
    // Probe flags copied in when the object is chosen; no operation reads them.
    uint32_t cpuFlags = 0;

    virtual const char* GetName() const = 0;

    // dst[i] = a[i] op b[i], or src[i] op c; SubConst and DivConst compute c - src[i]
    // and c / src[i]. The MulAdd/MulSub forms update dst in place.
    virtual void Add(float* dst, const float* a, const float* b, int32_t n) const = 0;
    virtual void AddConst(float* dst, float c, const float* src, int32_t n) const = 0;
    virtual void Sub(float* dst, const float* a, const float* b, int32_t n) const = 0;
    virtual void SubConst(float* dst, float c, const float* src, int32_t n) const = 0;
    virtual void Mul(float* dst, const float* a, const float* b, int32_t n) const = 0;
    virtual void MulConst(float* dst, float c, const float* src, int32_t n) const = 0;
    virtual void Div(float* dst, const float* a, const float* b, int32_t n) const = 0;
    virtual void DivConst(float* dst, float c, const float* src, int32_t n) const = 0;
    virtual void MulAdd(float* dst, const float* a, const float* b, int32_t n) const = 0;
    virtual void MulAddConst(float* dst, float c, const float* src, int32_t n) const = 0;
    virtual void MulSub(float* dst, const float* a, const float* b, int32_t n) const = 0;
    virtual void MulSubConst(float* dst, float c, const float* src, int32_t n) const = 0;

    // Dot stores one sum; the Dot3 forms read x, y, z of arrays of four-float vectors.
    virtual void Dot(float* result, const float* a, const float* b, int32_t n) const = 0;
    virtual void Dot3Array(float* dst, const float* a, const float* b, int32_t n) const = 0;
    virtual void Dot3Const(float* dst, const float* c, const float* src, int32_t n) const = 0;

    // Plain forms write 1 or 0 per element; bit forms OR (1 << bit) into dst[i] where the
    // condition holds and leave every other bit alone (bits above 7 change nothing).
    virtual void CmpGTBit(uint8_t* dst, uint8_t bit, const float* src, float c, int32_t n) const = 0;
    virtual void CmpGT(uint8_t* dst, const float* src, float c, int32_t n) const = 0;
    virtual void CmpGEBit(uint8_t* dst, uint8_t bit, const float* src, float c, int32_t n) const = 0;
    virtual void CmpGE(uint8_t* dst, const float* src, float c, int32_t n) const = 0;
    virtual void CmpLTBit(uint8_t* dst, uint8_t bit, const float* src, float c, int32_t n) const = 0;
    virtual void CmpLT(uint8_t* dst, const float* src, float c, int32_t n) const = 0;
    virtual void CmpLEBit(uint8_t* dst, uint8_t bit, const float* src, float c, int32_t n) const = 0;
    virtual void CmpLE(uint8_t* dst, const float* src, float c, int32_t n) const = 0;

    // Minimum and maximum start at 1e30 and -1e30; NaN elements are skipped.
    virtual void MinMaxVec3(float* min, float* max, const float* src, int32_t n) const = 0;
    virtual void MinMaxVec2(float* min, float* max, const float* src, int32_t n) const = 0;
    virtual void MinMax(float* min, float* max, const float* src, int32_t n) const = 0;

    // The low bound is tested first.
    virtual void ClampRange(float* dst, const float* src, float lo, float hi, int32_t n) const = 0;
    virtual void ClampMin(float* dst, const float* src, float lo, int32_t n) const = 0;
    virtual void ClampMax(float* dst, const float* src, float hi, int32_t n) const = 0;

    // The effect of the C library's memcpy (no overlap) and memset (low 8 bits of value).
    virtual void Memcpy(void* dst, const void* src, size_t bytes) const = 0;
    virtual void Memset(void* dst, int32_t value, size_t bytes) const = 0;

    // Arrays that start on a 16-byte boundary and have room for n rounded up to a
    // multiple of four: the SSE implementations also apply the operation to the up to
    // three floats after the last one. MulConstAligned takes the source before the constant.
    virtual void ZeroAligned(float* dst, int32_t n) const = 0;
    virtual void NegateAligned(float* dst, int32_t n) const = 0;
    virtual void CopyAligned(float* dst, const float* src, int32_t n) const = 0;
    virtual void AddAligned(float* dst, const float* a, const float* b, int32_t n) const = 0;
    virtual void SubAligned(float* dst, const float* a, const float* b, int32_t n) const = 0;
    virtual void MulConstAligned(float* dst, const float* src, float c, int32_t n) const = 0;
    virtual void AddAssignAligned(float* dst, const float* src, int32_t n) const = 0;
    virtual void SubAssignAligned(float* dst, const float* src, int32_t n) const = 0;
    virtual void MulAssignAligned(float* dst, float c, int32_t n) const = 0;

    // Joint poses to local matrices: rotation matrix plus translation, parent copied.
    virtual void TransformRecords(JointMatrix* dst, const JointPose* src, uint32_t count) const = 0;

    // 16-bit samples (n values) to floats at 44100 Hz by repeating samples; rates other
    // than 11025, 22050 and 44100 write nothing.
    virtual void ConvertInt16ToFloat(float* dst, const int16_t* src, int32_t n, int32_t rate,
                                     int32_t channels) const = 0;
    // Per-channel floats (-1..1) to interleaved floats on the 16-bit scale at 44100 Hz.
    virtual void ConvertFloatTo44k(float* dst, const float* const* channelTable, int32_t n,
                                   int32_t rate, int32_t channels) const = 0;

    // Mix one block of kMixFrames frames into the mix buffer with a linear volume ramp
    // from startVolumes to endVolumes; count is not used.
    virtual void MixMonoToStereo(float* mix, const float* src, int32_t count, const float* startVolumes,
                                 const float* endVolumes) const = 0;
    virtual void MixStereoToStereo(float* mix, const float* src, int32_t count, const float* startVolumes,
                                   const float* endVolumes) const = 0;
    virtual void MixMonoToSix(float* mix, const float* src, int32_t count, const float* startVolumes,
                              const float* endVolumes) const = 0;
    virtual void MixStereoToSix(float* mix, const float* src, int32_t count, const float* startVolumes,
                                const float* endVolumes) const = 0;
    // Float mix to 16-bit samples: truncated (generic) or rounded to even (SSE levels),
    // saturated either way.
    virtual void MixToInt16(int16_t* dst, const float* src, int32_t n) const = 0;

    // Pixels are little-endian 32-bit words: byte 0 blue, 1 green, 2 red, 3 alpha.
    virtual void Expand565To32(uint32_t* dst, const void* block) const = 0;
    virtual void SetAlpha(uint32_t* dst, const uint8_t* alpha, int32_t n) const = 0;
    virtual void ExpandRgb24To32(uint32_t* dst, const uint8_t* src, int32_t n) const = 0;

    // Per-channel floats (-1..1) to interleaved 16-bit samples; one body for every class.
    virtual void ConvertFloatToInt16Interleaved(int16_t* dst, const float* const* channelTable,
                                                uint32_t samples, uint32_t channels) const = 0;

    // Planar 4:2:0 YUV to 32-bit pixels. The generic code uses the full-range formula;
    // the MMX-derived levels use the studio-range formula when forceGeneric is 0, the
    // four pointers are 8-byte aligned and width is a multiple of 8.
    virtual void ConvertYUVToRGB(const uint8_t* y, int32_t yStride, const uint8_t* u, const uint8_t* v,
                                 int32_t chromaStride, uint8_t* dst, int32_t dstPitch, int32_t width,
                                 int32_t height, uint8_t forceGeneric) const = 0;

    // Declared last so that the operations keep their slot numbers in the table.
    virtual ~CGeSimd() = default;
};

// Frames mixed by every call of the Mix operations.
constexpr int32_t kMixFrames = 4096;

// The program-wide objects. g_pGeSimd is the kernel pointer that the system calls
// through, copied from the current object once the choice is made.
extern CGeSimd* g_pGeSimd;
extern CGeSimd* g_pGeSimdCurrent;
extern CGeSimd* g_pGeSimdChosen;
extern CGeSimd* g_pGeSimdGeneric;

// Creates the implementation that the published probe flags call for (once; a second
// call keeps the first choice) and makes it the current object. The tag only names
// the caller in the debug trace.
void SelectCpuKernels(const char* callerTag);

// Start-up and shutdown of the kernel objects: GeSimdCreate makes the generic object
// (cpuFlags 2), chooses the implementation and copies it into g_pGeSimd; GeSimdDestroy
// deletes the chosen and the generic objects and clears every pointer. GeSimdCreate
// keeps objects already made (a sound loader makes them on first use, before start-up).
void GeSimdCreate();
void GeSimdDestroy();
