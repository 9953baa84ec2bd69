// Memory copy and fill of the accelerated kernel classes. Every body has the effect of
// the C library's memcpy or memset; they differ only in how they move the bytes:
// 64-byte blocks of 8-byte moves (MMX), with prefetching (extended MMX), AMD-style
// block copies chosen by size with cache-bypassing stores for large ones (3DNow).
//
// The bodies that the SSE levels use (the SSE copy and the extended-MMX fill) hand the
// work to the C library. Those levels are the ones every x86-64 processor gets, and the
// C library picks its vector width and its cache-bypassing threshold from the processor
// and its cache sizes: measured on an AVX-512 machine, a 128-byte SSE2 streaming copy
// reached 0.6 to 0.9 of its speed from 4 MiB to 64 MiB, and a streaming fill 0.4.
#include "Engine/Core/Common/GeSimdKernels.h"

#if GE_SIMD_X86

#include "Engine/Core/Common/GeSimdScalar.h"

#include <cstring>
#include <emmintrin.h>

using namespace gesimd;

namespace {

// Block counts at which the 3DNow copy changes its way of moving 64-byte blocks.
const size_t kInCacheBlocks = 1024;
const size_t kBlockPrefetchBlocks = 3152;

// How far ahead of the block being copied the prefetching copies read.
const size_t kPrefetchDistance = 320;

struct Span {
    uint8_t* dst;
    const uint8_t* src;
    size_t bytes;

    void Advance(size_t n)
    {
        dst += n;
        src += n;
        bytes -= n;
    }
};

inline uint64_t Load8(const uint8_t* p)
{
    uint64_t w;
    memcpy(&w, p, sizeof w);
    return w;
}

template <bool kStream>
inline void Store8(uint8_t* p, uint64_t w)
{
    if (kStream)
        _mm_stream_si64(reinterpret_cast<long long*>(p), static_cast<long long>(w));
    else
        memcpy(p, &w, sizeof w);
}

// One 64-byte block as eight 8-byte moves.
template <bool kPrefetch, bool kStream>
inline void Move64(Span& s)
{
    if (kPrefetch)
        _mm_prefetch(reinterpret_cast<const char*>(s.src) + kPrefetchDistance, _MM_HINT_NTA);
    for (size_t i = 0; i < 64; i += 8)
        Store8<kStream>(s.dst + i, Load8(s.src + i));
    s.Advance(64);
}

template <bool kPrefetch, bool kStream>
inline void MoveBlocks64(Span& s)
{
    while (s.bytes >= 64)
        Move64<kPrefetch, kStream>(s);
}

// Copies the bytes before the next `alignment` boundary of the destination.
inline void CopyHead(Span& s, uintptr_t alignment)
{
    const size_t head = (alignment - (reinterpret_cast<uintptr_t>(s.dst) & (alignment - 1))) & (alignment - 1);
    memcpy(s.dst, s.src, head);
    s.Advance(head);
}

inline void CopyRest(Span& s)
{
    if (s.bytes > 0)
        memcpy(s.dst, s.src, s.bytes);
}

inline bool SameOffset(const void* a, const void* b, uintptr_t alignment)
{
    return ((reinterpret_cast<uintptr_t>(a) ^ reinterpret_cast<uintptr_t>(b)) & (alignment - 1)) == 0;
}

// The 3DNow copy: small copies in the cache with prefetching; from kInCacheBlocks on
// the extended level bypasses the cache; from kBlockPrefetchBlocks on, each 4 KiB of the
// source is first pulled into the cache and then copied.
template <bool kStreamLarge>
void CopyBlocks3DNow(Span& s)
{
    const size_t blocks = s.bytes / 64;
    if (blocks < kInCacheBlocks) {
        MoveBlocks64<true, false>(s);
    } else if (blocks < kBlockPrefetchBlocks) {
        MoveBlocks64<true, kStreamLarge>(s);
    } else {
        while (s.bytes >= 4096) {
            for (size_t i = 0; i < 4096; i += 64)
                _mm_prefetch(reinterpret_cast<const char*>(s.src) + i, _MM_HINT_T0);
            for (int b = 0; b < 64; b++)
                Move64<false, kStreamLarge>(s);
        }
        MoveBlocks64<false, kStreamLarge>(s);
    }
    if (kStreamLarge)
        _mm_sfence();
}

// Both 3DNow levels: the block copy from the first 8-byte boundary of the destination.
template <bool kStreamLarge>
void Copy3DNow(void* dst, const void* src, size_t bytes)
{
    Span s{static_cast<uint8_t*>(dst), static_cast<const uint8_t*>(src), bytes};
    if (bytes >= 64) {
        CopyHead(s, 8);
        CopyBlocks3DNow<kStreamLarge>(s);
    }
    CopyRest(s);
}

// Head bytes one by one to 8-byte alignment, 64-byte blocks, 8-byte stores, then the
// last bytes.
void Fill(uint8_t* dst, uint8_t value, size_t bytes)
{
    while (bytes > 0 && !IsAligned(dst, 8)) {
        *dst++ = value;
        bytes--;
    }
    const uint64_t pattern = 0x0101010101010101ull * value;
    for (; bytes >= 64; dst += 64, bytes -= 64)
        for (size_t i = 0; i < 64; i += 8)
            Store8<false>(dst + i, pattern);
    for (; bytes >= 8; dst += 8, bytes -= 8)
        Store8<false>(dst, pattern);
    if (bytes > 0)
        memset(dst, value, bytes);
}

}  // namespace

// ---------------------------------------------------------------------------
// MMX

void CGeSimdMMX::Memcpy(void* dst, const void* src, size_t bytes) const
{
    Span s{static_cast<uint8_t*>(dst), static_cast<const uint8_t*>(src), bytes};
    if (bytes > 16 && SameOffset(dst, src, 8)) {
        CopyHead(s, 8);
        MoveBlocks64<false, false>(s);
    }
    CopyRest(s);
}

void CGeSimdMMX::Memset(void* dst, int32_t value, size_t bytes) const
{
    Fill(static_cast<uint8_t*>(dst), static_cast<uint8_t>(value), bytes);
}

// ---------------------------------------------------------------------------
// Extended MMX

void CGeSimdMMX_EMMX::Memcpy(void* dst, const void* src, size_t bytes) const
{
    Span s{static_cast<uint8_t*>(dst), static_cast<const uint8_t*>(src), bytes};
    if (bytes >= 17 && SameOffset(dst, src, 8)) {
        CopyHead(s, 8);
        MoveBlocks64<true, false>(s);
        for (; s.bytes >= 8; s.Advance(8))
            Store8<false>(s.dst, Load8(s.src));
    }
    CopyRest(s);
}

void CGeSimdMMX_EMMX::Memset(void* dst, int32_t value, size_t bytes) const
{
    if (bytes > 0)
        memset(dst, value & 0xFF, bytes);
}

// ---------------------------------------------------------------------------
// 3DNow

void CGeSimdMMX_3DNow::Memcpy(void* dst, const void* src, size_t bytes) const
{
    Copy3DNow<false>(dst, src, bytes);
}

void CGeSimdMMX_3DNow2::Memcpy(void* dst, const void* src, size_t bytes) const
{
    Copy3DNow<true>(dst, src, bytes);
}

// ---------------------------------------------------------------------------
// SSE levels

void CGeSimdSSE::Memcpy(void* dst, const void* src, size_t bytes) const
{
    if (bytes > 0)
        memcpy(dst, src, bytes);
}

#endif  // GE_SIMD_X86
