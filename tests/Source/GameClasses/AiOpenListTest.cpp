// The search's open list against a plain model: a 1-based array heap written
// the textbook way, with a linear scan for positions and the same strict tie
// rules, compared entry by entry after every operation.
#include "Source/GameClasses/AiOpenList.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

namespace {

struct ModelHeap {
    std::vector<AiOpenEntry> a{AiOpenEntry{-1, 0}};  // a[0] unused

    int Count() const { return int(a.size()) - 1; }

    void Up(size_t k)
    {
        while (k > 1 && a[k].priority < a[k / 2].priority) {
            std::swap(a[k], a[k / 2]);
            k /= 2;
        }
    }

    void Down(size_t k)
    {
        for (;;) {
            size_t child = 2 * k;
            if (child >= a.size())
                return;
            if (child + 1 < a.size() && a[child + 1].priority < a[child].priority)
                ++child;
            if (!(a[child].priority < a[k].priority))
                return;
            std::swap(a[k], a[child]);
            k = child;
        }
    }

    void Push(AiOpenEntry e)
    {
        a.push_back(e);
        Up(a.size() - 1);
    }

    void PopMin()
    {
        a[1] = a.back();
        a.pop_back();
        if (a.size() > 2)
            Down(1);
    }

    int Find(int32_t cell) const
    {
        for (size_t k = 1; k < a.size(); ++k)
            if (a[k].cell == cell)
                return int(k);
        return 0;
    }

    void Update(size_t k, AiOpenEntry e)
    {
        a[k] = e;
        const AiOpenEntry before = a[k];
        Up(k);
        if (a[k].cell == before.cell)
            Down(k);
    }
};

void ExpectSame(const AiOpenList& list, const ModelHeap& model)
{
    ASSERT_EQ(list.Count(), model.Count());
    for (int k = 1; k <= model.Count(); ++k) {
        EXPECT_EQ(list.At(k).cell, model.a[k].cell) << "position " << k;
        EXPECT_EQ(list.At(k).priority, model.a[k].priority) << "position " << k;
        EXPECT_EQ(list.PositionOf(model.a[k].cell), k);
    }
}

TEST(AiOpenList, EqualPrioritiesStayInPlace)
{
    AiOpenList list;
    list.Reset(8);
    for (int32_t cell : {0, 1, 2, 3})
        ASSERT_TRUE(list.Push({cell, 5}));
    // An equal priority never climbs past its parent.
    for (int32_t k = 1; k <= 4; ++k)
        EXPECT_EQ(list.At(k).cell, k - 1);
    // Popping moves cell 3 to the root; the left child wins a tie, and an
    // equal child does not swap.
    list.PopMin();
    EXPECT_EQ(list.Root().cell, 3);
    list.Update(1, {3, 6});
    EXPECT_EQ(list.Root().cell, 1);
    EXPECT_EQ(list.At(2).cell, 3);
    // The right child is taken only when strictly smaller.
    list.Update(3, {2, 4});
    EXPECT_EQ(list.Root().cell, 2);
    EXPECT_FALSE(list.Push({2, 1}));  // already listed
    EXPECT_FALSE(list.Push({8, 1}));  // past the capacity
}

TEST(AiOpenList, MatchesThePlainModelUnderRandomUse)
{
    const int32_t cells = 64;
    std::mt19937 random(7);
    AiOpenList list;
    list.Reset(cells);
    ModelHeap model;
    for (int step = 0; step < 20000; ++step) {
        const int action = random() % 3;
        // Few distinct priorities, so that ties are common.
        const int32_t priority = random() % 12;
        if (action == 0 && model.Count() < cells) {
            int32_t cell = random() % cells;
            while (model.Find(cell))
                cell = (cell + 1) % cells;
            list.Push({cell, priority});
            model.Push({cell, priority});
        } else if (action == 1 && model.Count() > 0) {
            EXPECT_EQ(list.Root().cell, model.a[1].cell);
            list.PopMin();
            model.PopMin();
        } else if (model.Count() > 0) {
            const int position = 1 + int(random() % uint32_t(model.Count()));
            const int32_t cell = model.a[position].cell;
            list.Update(list.PositionOf(cell), {cell, priority});
            model.Update(position, {cell, priority});
        }
        ExpectSame(list, model);
        if (HasFailure())
            return;
    }
    list.Clear();
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.PositionOf(model.Count() ? model.a[1].cell : 0), 0);
}

} // namespace
