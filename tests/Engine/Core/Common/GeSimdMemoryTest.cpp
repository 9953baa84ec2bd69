// Memory copy and fill: every implementation must have the C library's effect for
// every size and relative alignment, whatever block strategy it picks for the size,
// and must not touch a byte outside the destination.
#include "Engine/Core/Common/GeSimdKernels.h"

#include "GeSimdTestSupport.h"

#include <gtest/gtest.h>

using namespace simdtest;

namespace {

// Sizes around every threshold of the block copies: 8- and 16-byte alignment heads,
// 64- and 128-byte blocks, the 3DNow block counts 1024 and 3152, and the size above
// which copies and fills bypass the cache.
std::vector<size_t> Sizes()
{
    std::vector<size_t> sizes;
    for (size_t i = 0; i <= 140; i++)
        sizes.push_back(i);
    for (size_t s : {255, 256, 257, 4095, 65536 - 1, 65536 + 64 + 7, 1024 * 64 * 3 + 9, 3152 * 64 + 4096 + 33,
                     1024 * 1024 + 77})
        sizes.push_back(s);
    return sizes;
}

const size_t kGuard = 32;
const uint8_t kGuardByte = 0xA5;

// A destination region with guard bytes on both sides, inside one allocation.
struct GuardedRegion {
    Buffer<uint8_t> buffer;
    size_t offset, size;

    GuardedRegion(size_t size, size_t offset) : buffer(kGuard + offset + size + kGuard), offset(offset), size(size)
    {
        memset(buffer.data(), kGuardByte, buffer.size());
    }

    uint8_t* Region() { return buffer.data() + kGuard + offset; }

    ::testing::AssertionResult GuardsIntact() const
    {
        const size_t end = kGuard + offset + size;
        for (size_t i = 0; i < buffer.size(); i = (i + 1 == kGuard + offset ? end : i + 1)) {
            if (i < buffer.size() && buffer[i] != kGuardByte)
                return ::testing::AssertionFailure() << "byte " << i << " outside the region changed";
        }
        return ::testing::AssertionSuccess();
    }
};

// Every pair of small offsets for small sizes; a few pairs for the large ones.
std::vector<std::pair<size_t, size_t>> OffsetPairs(size_t size)
{
    std::vector<std::pair<size_t, size_t>> pairs;
    const std::vector<size_t> offsets =
        size <= 300 ? std::vector<size_t>{0, 1, 3, 7, 8, 9, 15} : std::vector<size_t>{0, 5, 8};
    for (size_t d : offsets)
        for (size_t s : offsets)
            pairs.push_back({d, s});
    return pairs;
}

TEST(GeSimdMemory, CopyHasTheEffectOfMemcpy)
{
    Random rnd(10);
    Buffer<uint8_t> source(1024 * 1024 + 200);
    rnd.FillBytes(source);
    for (const auto& k : AllKernels()) {
        SCOPED_TRACE(k->GetName());
        for (size_t size : Sizes()) {
            for (const auto& offsets : OffsetPairs(size)) {
                GuardedRegion dst(size, offsets.first);
                const uint8_t* src = source.data() + offsets.second;
                k->Memcpy(dst.Region(), src, size);
                ASSERT_EQ(memcmp(dst.Region(), src, size), 0) << "size " << size << " offsets "
                                                               << offsets.first << ", " << offsets.second;
                ASSERT_TRUE(dst.GuardsIntact()) << "size " << size;
            }
        }
    }
}

TEST(GeSimdMemory, FillUsesTheLowEightBitsOfTheValue)
{
    const int32_t values[] = {0, 0x1FF, -2, 0x7A};
    const uint8_t bytes[] = {0x00, 0xFF, 0xFE, 0x7A};
    std::vector<uint8_t> expected;
    for (const auto& k : AllKernels()) {
        SCOPED_TRACE(k->GetName());
        for (size_t size : Sizes()) {
            for (size_t offset : {0, 1, 7, 8, 13}) {
                const int v = static_cast<int>((size + offset) % 4);
                GuardedRegion dst(size, offset);
                k->Memset(dst.Region(), values[v], size);
                expected.assign(size, bytes[v]);
                ASSERT_TRUE(size == 0 || memcmp(dst.Region(), expected.data(), size) == 0)
                    << "size " << size << " offset " << offset;
                ASSERT_TRUE(dst.GuardsIntact()) << "size " << size;
            }
        }
    }
}

}  // namespace
