#include "Engine/Core/Common/GeOwnedPairArray.h"

#include <gtest/gtest.h>

namespace {

struct PairEntry {
    CGeString first;
    CGeString second;
    uint32_t extra;
};

} // namespace

TEST(GeOwnedPairArray, FreesEveryStringAndTheStorage)
{
    CGeArray<PairEntry> array;
    for (int i = 0; i < 20; ++i) {
        PairEntry entry{CGeString("topic"), CGeString("a replica long enough to own a buffer"), uint32_t(i)};
        array.Add(entry);
    }
    ASSERT_EQ(20u, array.count);
    ASSERT_EQ(32u, array.capacity);

    ClearOwnedPairArray(array);
    EXPECT_EQ(0u, array.count);
    EXPECT_EQ(0u, array.capacity);
    EXPECT_EQ(nullptr, array.data);

    // The array is usable again; the sanitizer build checks nothing leaked.
    array.Add(PairEntry{CGeString("x"), CGeString(), 0});
    EXPECT_EQ(1u, array.count);
    ClearOwnedPairArray(array);
    ClearOwnedPairArray(array); // clearing an empty array is harmless
    EXPECT_EQ(0u, array.count);
}
