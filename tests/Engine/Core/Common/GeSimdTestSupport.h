// Shared by the kernel tests: one object of every implementation, buffers whose end is
// the end of their allocation (so AddressSanitizer sees any write past them) at a
// chosen byte offset from a 64-byte boundary, and random data.
#pragma once

#include "Engine/Core/Common/GeSimdKernels.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace simdtest {

// Every implementation, the generic one first.
inline std::vector<std::unique_ptr<CGeSimd>> AllKernels()
{
    std::vector<std::unique_ptr<CGeSimd>> all;
    all.emplace_back(new CGeSimdGeneric);
#if GE_SIMD_X86
    all.emplace_back(new CGeSimdMMX);
    all.emplace_back(new CGeSimdMMX_EMMX);
    all.emplace_back(new CGeSimdMMX_3DNow);
    all.emplace_back(new CGeSimdMMX_3DNow2);
    all.emplace_back(new CGeSimdSSE);
    all.emplace_back(new CGeSimdSSE2);
    all.emplace_back(new CGeSimdSSE3);
#endif
    return all;
}

// The fixture of the kernel tests: one object of every implementation.
class KernelTest : public ::testing::Test {
protected:
    std::vector<std::unique_ptr<CGeSimd>> kernels_ = AllKernels();
    const CGeSimd& generic_ = *kernels_[0];
};

#if GE_SIMD_X86
// Whether k is, or derives from, the implementation Level.
template <class Level>
bool IsA(const CGeSimd& k)
{
    return dynamic_cast<const Level*>(&k) != nullptr;
}

inline bool IsSseLevel(const CGeSimd& k) { return IsA<CGeSimdSSE>(k); }
// The studio-range YUV formula comes with the MMX conversion, which every
// accelerated class inherits.
inline bool HasStudioYuv(const CGeSimd& k) { return IsA<CGeSimdMMX>(k); }
#else
inline bool IsSseLevel(const CGeSimd&) { return false; }
inline bool HasStudioYuv(const CGeSimd&) { return false; }
#endif

// `count` elements starting `offset` bytes past a 64-byte boundary; the allocation ends
// exactly after the last element.
template <class T>
class Buffer {
public:
    explicit Buffer(size_t count, size_t offset = 0) : count_(count)
    {
        void* base = nullptr;
        const size_t bytes = offset + count * sizeof(T);
        if (posix_memalign(&base, 64, bytes > 0 ? bytes : 1) != 0)
            abort();
        base_.reset(static_cast<uint8_t*>(base));
        data_ = reinterpret_cast<T*>(base_.get() + offset);
    }

    T* data() { return data_; }
    const T* data() const { return data_; }
    size_t size() const { return count_; }
    T& operator[](size_t i) { return data_[i]; }
    const T& operator[](size_t i) const { return data_[i]; }
    std::vector<T> ToVector() const { return std::vector<T>(data_, data_ + count_); }

private:
    struct Free {
        void operator()(uint8_t* p) const { free(p); }
    };
    std::unique_ptr<uint8_t, Free> base_;
    T* data_;
    size_t count_;
};

class Random {
public:
    explicit Random(uint32_t seed = 12345) : engine_(seed) {}

    float Float(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(engine_); }
    uint32_t Bits() { return static_cast<uint32_t>(engine_()); }
    int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(engine_); }

    template <class T>
    void Fill(Buffer<T>& b, float lo, float hi)
    {
        for (size_t i = 0; i < b.size(); i++)
            b[i] = static_cast<T>(Float(lo, hi));
    }

    template <class T>
    void FillBytes(Buffer<T>& b)
    {
        uint8_t* p = reinterpret_cast<uint8_t*>(b.data());
        for (size_t i = 0; i < b.size() * sizeof(T); i++)
            p[i] = static_cast<uint8_t>(Bits());
    }

private:
    std::mt19937 engine_;
};

inline uint32_t FloatBits(float f)
{
    uint32_t u;
    memcpy(&u, &f, sizeof u);
    return u;
}

inline float BitsFloat(uint32_t u)
{
    float f;
    memcpy(&f, &u, sizeof f);
    return f;
}

}  // namespace simdtest
