#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GePool.h"
#include "Engine/Core/Common/GePoolList.h"
#include "Engine/Core/Common/GeString.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Counts live instances so that every test can check nothing leaks or is
// destroyed twice.
struct Tracked {
    static int live;
    int value = 0;
    Tracked() { ++live; }
    Tracked(int v) : value(v) { ++live; }
    Tracked(const Tracked& other) : value(other.value) { ++live; }
    ~Tracked() { --live; }
    Tracked& operator=(const Tracked&) = default;
    bool operator==(const Tracked& other) const { return value == other.value; }
};
int Tracked::live = 0;

class LiveCountTest : public ::testing::Test {
protected:
    void SetUp() override { Tracked::live = 0; }
    void TearDown() override { EXPECT_EQ(Tracked::live, 0); }
};

template <typename T>
std::vector<int> Values(const CGeArray<T>& array)
{
    std::vector<int> out;
    for (const T& element : array)
        out.push_back(element.value);
    return out;
}

// ---------------------------------------------------------------------------
// CGePool

class GePool : public LiveCountTest {};

TEST_F(GePool, NewPoolHoldsNothing)
{
    CGePool<Tracked> pool;
    EXPECT_EQ(pool.total, 0u);
    EXPECT_EQ(pool.cellsPerBlock, 1u);
    EXPECT_EQ(pool.first, nullptr);
    EXPECT_EQ(pool.usedInCurrent, 0xFFFFFFFFu);
    EXPECT_EQ(pool.freeList, nullptr);
}

TEST_F(GePool, FreedCellsComeBackMostRecentFirstAndFreshlyConstructed)
{
    CGePool<Tracked> pool;
    Tracked* a = pool.Alloc(1);
    Tracked* b = pool.Alloc(2);
    Tracked* c = pool.Alloc(3);
    EXPECT_EQ(pool.total, 3u);
    EXPECT_EQ(pool.BlockCount(), 3u);  // one cell per block

    pool.Free(a);
    pool.Free(c);
    EXPECT_EQ(Tracked::live, 1);
    Tracked* again = pool.Alloc();
    EXPECT_EQ(again, c);
    EXPECT_EQ(again->value, 0);
    EXPECT_EQ(pool.Alloc(), a);
    EXPECT_EQ(pool.total, 3u);  // no new memory while freed cells remain
    EXPECT_NE(pool.Alloc(), b);
    EXPECT_EQ(pool.total, 4u);
}

TEST_F(GePool, FirstBlockServesItsCellsInOrderThenBlocksOfCellsPerBlock)
{
    CGePool<Tracked> pool;
    pool.InitFirstBlock(4);
    pool.InitFirstBlock(9);  // a first block exists already
    EXPECT_EQ(pool.total, 4u);
    Tracked* cells[4];
    for (Tracked*& cell : cells)
        cell = pool.Alloc();
    for (int i = 1; i < 4; ++i)
        EXPECT_GT(cells[i], cells[i - 1]);
    EXPECT_EQ(pool.usedInCurrent, 4u);
    pool.Alloc();
    EXPECT_EQ(pool.total, 5u);
    EXPECT_EQ(pool.BlockCount(), 2u);
    EXPECT_EQ(pool.usedInCurrent, 1u);
}

TEST_F(GePool, FreeBlocksDestroysOnlyLivePayloadsAndKeepsCellsPerBlock)
{
    CGePool<Tracked> pool;
    pool.cellsPerBlock = 3;
    Tracked* a = pool.Alloc(1);
    pool.Alloc(2);
    pool.Free(a);  // a freed cell and an unused cell are not destroyed again
    pool.FreeBlocks();
    EXPECT_EQ(Tracked::live, 0);
    EXPECT_EQ(pool.total, 0u);
    EXPECT_EQ(pool.first, nullptr);
    EXPECT_EQ(pool.current, nullptr);
    EXPECT_EQ(pool.freeList, nullptr);
    EXPECT_EQ(pool.usedInCurrent, 0xFFFFFFFFu);
    EXPECT_EQ(pool.cellsPerBlock, 3u);
    pool.Alloc(5);  // usable again; the destructor releases it
}

TEST_F(GePool, PayloadsThatOwnMemoryAreReleasedBySweep)
{
    // Run under the leak checker: strings left in the pool must be freed.
    CGePool<CGeString> pool;
    for (int i = 0; i < 10; ++i)
        pool.Alloc(std::string(50, char('a' + i)).c_str());
}

// ---------------------------------------------------------------------------
// CGePoolList

std::vector<int> ListValues(const CGePoolList<Tracked>& list)
{
    std::vector<int> out;
    for (auto* node = list.head; node; node = node->next)
        out.push_back(node->value.value);
    std::vector<int> backwards;
    for (auto* node = list.tail; node; node = node->prev)
        backwards.insert(backwards.begin(), node->value.value);
    EXPECT_EQ(out, backwards) << "prev and next links disagree";
    EXPECT_EQ(out.size(), list.count);
    return out;
}

class GePoolList : public LiveCountTest {};

TEST_F(GePoolList, PushBackAndPopFrontKeepHeadAndTail)
{
    CGePoolList<Tracked> list;
    list.PushBack(1);
    EXPECT_EQ(list.head, list.tail);
    list.PopFront();
    EXPECT_EQ(list.head, nullptr);
    EXPECT_EQ(list.tail, nullptr);
    EXPECT_EQ(list.count, 0u);
    list.PopFront();  // empty: nothing happens
    EXPECT_EQ(list.count, 0u);

    for (int i = 1; i <= 4; ++i)
        list.PushBack(i);
    list.PopFront();
    EXPECT_EQ(ListValues(list), (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(list.head->prev, nullptr);
}

TEST_F(GePoolList, FindSearchesTheRangeInclusively)
{
    CGePoolList<Tracked> list;
    for (int i = 1; i <= 5; ++i)
        list.PushBack(i);
    auto* second = list.head->next;
    EXPECT_EQ(list.Find(second, list.tail, 5), list.tail);  // the last node is visited
    EXPECT_EQ(list.Find(second, list.tail, 1), nullptr);    // before the range
    EXPECT_EQ(list.Find(list.head, second, 3), nullptr);    // after the range
    EXPECT_EQ(list.Find(list.head, list.head, 1), list.head);
}

TEST_F(GePoolList, UnlinkRangeRelinksTheNeighboursAndReusesCells)
{
    const struct {
        int first, last;
        std::vector<int> left;
    } cases[] = {
        {2, 3, {1, 4, 5}},
        {1, 2, {3, 4, 5}},  // touches the head
        {4, 5, {1, 2, 3}},  // touches the tail
        {1, 5, {}},
        {3, 3, {1, 2, 4, 5}},
    };
    for (const auto& c : cases) {
        CGePoolList<Tracked> list;
        std::vector<CGePoolList<Tracked>::Node*> nodes;
        for (int i = 1; i <= 5; ++i)
            nodes.push_back(list.PushBack(i));
        list.UnlinkRange(nodes[c.first - 1], nodes[c.last - 1]);
        EXPECT_EQ(ListValues(list), c.left) << c.first << ".." << c.last;
        // The most recently freed cell is the range's last node.
        EXPECT_EQ(list.PushBack(9), nodes[c.last - 1]);
        EXPECT_EQ(list.pool.total, 5u);
    }
}

TEST_F(GePoolList, RemoveAndDestroy)
{
    CGePoolList<Tracked> list;
    auto* one = list.PushBack(1);
    list.PushBack(2);
    list.Remove(one);
    EXPECT_EQ(ListValues(list), (std::vector<int>{2}));
    list.Destroy();
    EXPECT_EQ(Tracked::live, 0);
    EXPECT_EQ(list.count, 0u);
    EXPECT_EQ(list.head, nullptr);
    EXPECT_EQ(list.pool.total, 0u);
}

// ---------------------------------------------------------------------------
// CGeArray

class GeArray : public LiveCountTest {};

TEST_F(GeArray, CapacityFollowsTheCountInStepsBothWays)
{
    CGeArray<Tracked> array;
    EXPECT_EQ(array.capacity, 0u);
    EXPECT_EQ(array.growStep, 16u);
    const Tracked* firstStorage = nullptr;
    for (int i = 0; i < 17; ++i) {
        array.Add(i);
        if (i == 0)
            firstStorage = array.data;
        if (i < 16) {
            EXPECT_EQ(array.data, firstStorage) << "1 to 16 elements live in one allocation";
        }
        EXPECT_EQ(array.capacity, i < 16 ? 16u : 32u);
    }
    array.RemoveAt(0);
    EXPECT_EQ(array.count, 16u);
    EXPECT_EQ(array.capacity, 16u);
    EXPECT_EQ(Values(array).front(), 1);
    EXPECT_EQ(Values(array).back(), 16);
    while (array.count > 1)
        array.RemoveAt(array.count - 1);
    EXPECT_EQ(array.capacity, 16u);
    array.RemoveAt(0);
    EXPECT_EQ(array.data, nullptr);
    EXPECT_EQ(array.capacity, 0u);
    EXPECT_EQ(array.growStep, 16u);
}

TEST_F(GeArray, AddReturnsTheIndexAndRemoveAtKeepsTheOrder)
{
    CGeArray<Tracked> array;
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(array.Add(i), uint32_t(i));
    const uint32_t removed[] = {39, 20, 0, 16, 5};  // the end, across a step, the front
    std::vector<int> expected;
    for (int i = 0; i < 40; ++i)
        expected.push_back(i);
    for (uint32_t index : removed) {
        array.RemoveAt(index);
        expected.erase(expected.begin() + index);
        EXPECT_EQ(Values(array), expected);
        EXPECT_EQ(array.capacity, (array.count + 15) / 16 * 16);
    }
    array.RemoveAt(100);  // out of range: nothing happens
    EXPECT_EQ(array.count, 35u);
}

TEST_F(GeArray, InsertGapMovesTheTailUp)
{
    const struct {
        uint32_t size, index, n;
    } cases[] = {
        {3, 0, 2}, {3, 3, 2}, {3, 1, 1}, {15, 7, 1}, {16, 8, 20}, {0, 0, 3},
    };
    for (const auto& c : cases) {
        CGeArray<Tracked> array;
        for (uint32_t i = 0; i < c.size; ++i)
            array.Add(int(i));
        array.InsertGap(c.index, c.n);
        for (uint32_t i = 0; i < c.n; ++i)
            new (array.data + c.index + i) Tracked(-1);
        std::vector<int> expected;
        for (uint32_t i = 0; i < c.size; ++i)
            expected.push_back(int(i));
        expected.insert(expected.begin() + c.index, c.n, -1);
        EXPECT_EQ(Values(array), expected) << c.size << " " << c.index << " " << c.n;
        EXPECT_EQ(array.capacity, (array.count + 15) / 16 * 16);
    }
}

TEST_F(GeArray, OpeningNoPlacesLeavesTheElementsAlone)
{
    CGeArray<CGeString> array;
    array.Add("alpha");
    array.Add("beta");
    array.Add("gamma");
    for (uint32_t index : {0u, 1u, 3u})
        array.InsertGap(index, 0);
    ASSERT_EQ(array.count, 3u);
    EXPECT_STREQ(array[0].c_str(), "alpha");
    EXPECT_STREQ(array[1].c_str(), "beta");
    EXPECT_STREQ(array[2].c_str(), "gamma");
}

TEST_F(GeArray, CopiesTakeTheDefaultGrowStep)
{
    CGeArray<Tracked> source;
    source.SetGrowStep(4);
    for (int i = 0; i < 5; ++i)
        source.Add(i);
    EXPECT_EQ(source.capacity, 8u);

    CGeArray<Tracked> copy(source);
    EXPECT_EQ(copy.growStep, 16u);
    EXPECT_EQ(copy.capacity, 16u);
    EXPECT_EQ(Values(copy), Values(source));

    CGeArray<Tracked> assigned;
    assigned.Add(99);
    assigned = source;
    EXPECT_EQ(Values(assigned), Values(source));
    assigned = assigned;
    EXPECT_EQ(Values(assigned), Values(source));

    CGeArray<Tracked> moved(std::move(copy));
    EXPECT_EQ(copy.data, nullptr);
    EXPECT_EQ(moved.count, 5u);
}

TEST_F(GeArray, AddingAnElementOfTheSameArraySurvivesTheMove)
{
    CGeArray<CGeString> strings;
    for (int i = 0; i < 16; ++i)
        strings.Add(CGeString(std::to_string(i).c_str()));
    strings.Add(strings[3]);  // the storage is replaced by this very call
    EXPECT_EQ(strings[16], "3");
    EXPECT_EQ(strings[3], "3");
}

TEST(GeArrayOfWStrings, ClearFreesEveryStringAndKeepsTheStep)
{
    CGeWStringArray table;
    table.SetGrowStep(8);
    for (int i = 0; i < 20; ++i)
        table.Add(CGeWString(u"a longer text that needs its own buffer"));
    table.Clear();
    EXPECT_EQ(table.data, nullptr);
    EXPECT_EQ(table.count, 0u);
    EXPECT_EQ(table.capacity, 0u);
    EXPECT_EQ(table.growStep, 8u);
    table.Add(CGeWString(u"left for the destructor"));
}

}  // namespace
