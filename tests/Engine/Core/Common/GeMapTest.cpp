#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeMap.h"
#include "Engine/Core/Common/GeSortedArray.h"
#include "Engine/Core/Common/GeString.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using IntMap = CGeStringMap<int>;

// Checks every structural promise of the tree and returns its keys in order:
// parent links, binary-search order, red-black colouring, count, first, last.
template <typename K, typename V>
int CheckSubtree(const CGeMapNode<K, V>* node, const CGeMapNode<K, V>* parent, uint32_t& nodes)
{
    using Node = CGeMapNode<K, V>;
    if (!node)
        return 1;
    ++nodes;
    EXPECT_EQ(node->parent, parent);
    EXPECT_TRUE(node->colour == Node::kRed || node->colour == Node::kBlack);
    if (node->colour == Node::kRed) {
        EXPECT_FALSE(node->left && node->left->colour == Node::kRed) << "red node with a red child";
        EXPECT_FALSE(node->right && node->right->colour == Node::kRed) << "red node with a red child";
    }
    if (node->left) {
        EXPECT_TRUE(node->left->key < node->key);
    }
    if (node->right) {
        EXPECT_TRUE(node->key < node->right->key);
    }
    const int leftHeight = CheckSubtree(node->left, node, nodes);
    const int rightHeight = CheckSubtree(node->right, node, nodes);
    EXPECT_EQ(leftHeight, rightHeight) << "black heights differ";
    return leftHeight + (node->colour == Node::kBlack ? 1 : 0);
}

template <typename K, typename V>
void CheckTree(const CGeMap<K, V>& map)
{
    using Node = CGeMapNode<K, V>;
    uint32_t nodes = 0;
    CheckSubtree<K, V>(map.root, nullptr, nodes);
    EXPECT_EQ(nodes, map.count);
    if (!map.root) {
        EXPECT_EQ(map.first, nullptr);
        EXPECT_EQ(map.last, nullptr);
        return;
    }
    EXPECT_EQ(map.root->colour, Node::kBlack);
    EXPECT_EQ(map.first, map.MinNode(map.root));
    EXPECT_EQ(map.last, map.MaxNode(map.root));
}

std::vector<std::string> Keys(const IntMap& map)
{
    std::vector<std::string> keys;
    for (auto* node = map.first; node; node = map.Next(node))
        keys.push_back(node->key.c_str());
    return keys;
}

TEST(GeStringMap, InsertKeepsFirstLastAndABlackRoot)
{
    IntMap map;
    for (const char* key : {"b", "a", "c"}) {
        map.InsertNode(CGeString(key), 1);
        EXPECT_EQ(map.root->colour, IntMap::Node::kBlack);
        CheckTree(map);
    }
    EXPECT_EQ(map.first->key, "a");
    EXPECT_EQ(map.last->key, "c");
    EXPECT_EQ(Keys(map), (std::vector<std::string>{"a", "b", "c"}));
}

TEST(GeStringMap, KeysFollowUnsignedByteOrder)
{
    IntMap map;
    for (const char* key : {"a", "", "\xE0", "B", "ab", "A", "Z"})
        map.InsertNode(CGeString(key), 0);
    EXPECT_EQ(Keys(map), (std::vector<std::string>{"", "A", "B", "Z", "a", "ab", "\xE0"}));
    EXPECT_EQ(map.count, 7u);  // keys that differ only in case stay apart
}

TEST(GeStringMap, InsertNodeReturnsTheExistingNodeUnchanged)
{
    IntMap map;
    auto* node = map.InsertNode(CGeString("key"), 1);
    EXPECT_EQ(map.InsertNode(CGeString("key"), 2), node);
    EXPECT_EQ(node->value, 1);
    EXPECT_EQ(map.count, 1u);
}

TEST(GeStringMap, FindAndLookupNeverInsertButIndexingDoes)
{
    CGeStringMap<int*> map;
    int target = 7;
    map.InsertNode(CGeString("known"), &target);
    EXPECT_EQ(map.Lookup(CGeString("known")), &target);
    EXPECT_EQ(map.Lookup(CGeString("missing")), nullptr);
    EXPECT_EQ(map.Find(CGeString("missing")), nullptr);
    EXPECT_EQ(map.Find(CGeString("know")), nullptr);  // a prefix is another key
    EXPECT_EQ(map.count, 1u);

    EXPECT_EQ(map[CGeString("missing")], nullptr);
    EXPECT_EQ(map.count, 2u);
    EXPECT_EQ(map[CGeString("known")], &target);
    EXPECT_EQ(map.count, 2u);
}

TEST(GeStringMap, LowerBoundFindsTheFirstKeyNotLess)
{
    IntMap map;
    for (const char* key : {"b", "d", "f"})
        map.InsertNode(CGeString(key), 0);
    const struct { const char* key; const char* found; } cases[] = {
        {"", "b"}, {"b", "b"}, {"c", "d"}, {"f", "f"}, {"g", nullptr},
    };
    for (const auto& c : cases) {
        auto* node = map.LowerBound(CGeString(c.key));
        if (c.found) {
            EXPECT_EQ(node ? node->key : CGeString("<null>"), c.found) << c.key;
        } else {
            EXPECT_EQ(node, nullptr) << c.key;
        }
    }
}

TEST(GeStringMap, ValuesThatOwnMemoryAreCopiedAndReleased)
{
    CGeStringMap<CGeWString> strings;
    strings[CGeString("greeting")] = u"hello there, a text long enough to need its own buffer";
    strings.InsertNode(CGeString("empty"), CGeWString());
    CGeStringMap<CGeArray<CGeString>> lists;
    lists[CGeString("surfaces")].Add(CGeString("grass"));
    lists[CGeString("surfaces")].Add(CGeString("stone"));
    EXPECT_EQ(lists.Find(CGeString("surfaces"))->value.count, 2u);
    lists.EraseKey(CGeString("surfaces"));
    strings.Clear();
    EXPECT_EQ(strings.count, 0u);
}

TEST(GeStringMap, ErasingKeepsFirstLastAndEveryOtherNodeInPlace)
{
    IntMap map;
    std::map<std::string, IntMap::Node*> addresses;
    for (const char* key : {"d", "b", "f", "a", "c", "e", "g"})
        addresses[key] = map.InsertNode(CGeString(key), 0);

    map.Erase(addresses["d"]);  // the root, with two children
    addresses.erase("d");
    CheckTree(map);
    for (auto& [key, node] : addresses)
        EXPECT_EQ(map.Find(CGeString(key.c_str())), node) << key;

    map.Erase(map.first);
    EXPECT_EQ(map.first->key, "b");
    map.Erase(map.last);
    EXPECT_EQ(map.last->key, "f");
    CheckTree(map);

    map.EraseKey(CGeString("missing"));
    EXPECT_EQ(map.count, 4u);
    while (map.count)
        map.Erase(map.root);
    EXPECT_EQ(map.root, nullptr);
    EXPECT_EQ(map.first, nullptr);
    EXPECT_EQ(map.last, nullptr);
}

TEST(GeStringMap, RandomInsertAndEraseKeepTheTreeValid)
{
    std::mt19937 random(12345);
    for (int round = 0; round < 8; ++round) {
        IntMap map;
        std::map<std::string, int> model;
        std::map<std::string, IntMap::Node*> addresses;
        const int keyRange = 20 + round * 40;  // small ranges collide often
        for (int step = 0; step < 600; ++step) {
            const std::string key = "k" + std::to_string(random() % keyRange);
            const CGeString geKey(key.c_str());
            if (random() % 3 != 0) {
                auto* node = map.InsertNode(geKey, step);
                if (model.count(key)) {
                    EXPECT_EQ(node, addresses[key]);
                } else {
                    model[key] = step;
                    addresses[key] = node;
                }
            } else {
                map.EraseKey(geKey);
                model.erase(key);
                addresses.erase(key);
            }
            if (step % 50 == 0 || map.count < 5)
                CheckTree(map);
        }
        CheckTree(map);
        std::vector<std::string> expected;
        for (auto& [key, value] : model) {
            expected.push_back(key);
            auto* node = map.Find(CGeString(key.c_str()));
            ASSERT_EQ(node, addresses[key]) << "a node moved: " << key;
            EXPECT_EQ(node->value, value);
        }
        EXPECT_EQ(Keys(map), expected);
    }
}

TEST(GeMap, NumberKeysOrderAsUnsigned)
{
    CGeMap<uint32_t, CGeString> names;
    const uint32_t keys[] = {5, 0xFFFFFFFFu, 0, 0x80000000u, 17};
    for (uint32_t key : keys)
        names[key] = std::to_string(key).c_str();
    CheckTree(names);
    std::vector<uint32_t> order;
    for (auto* node = names.first; node; node = names.Next(node))
        order.push_back(node->key);
    EXPECT_EQ(order, (std::vector<uint32_t>{0, 5, 17, 0x80000000u, 0xFFFFFFFFu}));
    EXPECT_EQ(names.Lookup(17), "17");

    std::mt19937 random(7);
    CGeMap<uintptr_t, int> handles;
    for (int i = 0; i < 2000; ++i) {
        const uintptr_t key = random() % 500;
        if (i % 3 == 2)
            handles.EraseKey(key);
        else
            handles[key] = i;
    }
    CheckTree(handles);
}

TEST(GeStringMap, AClearedMapRefillsFromItsOwnPool)
{
    IntMap map;
    for (int i = 0; i < 50; ++i)
        map.InsertNode(CGeString(std::to_string(i).c_str()), i);
    const uint32_t cells = map.nodePool.total;
    map.Clear();
    EXPECT_EQ(map.count, 0u);
    EXPECT_EQ(map.root, nullptr);
    for (int i = 0; i < 50; ++i)
        map.InsertNode(CGeString(std::to_string(i + 100).c_str()), i);
    EXPECT_EQ(map.nodePool.total, cells);
    CheckTree(map);
}

TEST(GeStringMap, ACopyTakesOneBlockAsLargeAsTheSourcePool)
{
    IntMap source;
    for (int i = 0; i < 10; ++i)
        source.InsertNode(CGeString(("key" + std::to_string(i)).c_str()), i);
    for (int i = 0; i < 3; ++i)
        source.EraseKey(CGeString(("key" + std::to_string(i * 3)).c_str()));
    ASSERT_EQ(source.count, 7u);
    ASSERT_EQ(source.nodePool.total, 10u);

    IntMap copy(source);
    EXPECT_EQ(copy.nodePool.total, 10u);
    EXPECT_EQ(copy.nodePool.BlockCount(), 1u);
    EXPECT_EQ(copy.nodePool.usedInCurrent, 7u);
    EXPECT_EQ(Keys(copy), Keys(source));
    CheckTree(copy);

    IntMap assigned;
    assigned.InsertNode(CGeString("old"), 0);
    assigned = source;
    EXPECT_EQ(Keys(assigned), Keys(source));
    assigned = assigned;
    EXPECT_EQ(assigned.count, 7u);

    IntMap empty;
    copy = empty;
    EXPECT_EQ(copy.count, 0u);
    EXPECT_EQ(copy.nodePool.total, 0u);
}

TEST(GeStringMap, MapsOfMapsCopyDeeply)
{
    CGeStringMap<CGeStringMap<int>> quests;
    quests[CGeString("quest")][CGeString("step")] = 3;
    CGeStringMap<CGeStringMap<int>> saved(quests);
    quests[CGeString("quest")][CGeString("step")] = 4;
    EXPECT_EQ(saved[CGeString("quest")][CGeString("step")], 3);

    CGeStringMap<CGeStringMap<int>> moved(std::move(quests));
    EXPECT_EQ(quests.count, 0u);
    EXPECT_EQ(moved[CGeString("quest")][CGeString("step")], 4);
}

TEST(GeStringMap, DestroyTwiceIsHarmless)
{
    IntMap map;
    map.InsertNode(CGeString("a"), 1);
    map.Destroy();
    map.Destroy();
    EXPECT_EQ(map.count, 0u);
    EXPECT_EQ(map.nodePool.total, 0u);
}

// ---------------------------------------------------------------------------

std::vector<std::string> Names(const CGeSortedArray<int>& array)
{
    std::vector<std::string> names;
    for (const auto& entry : array)
        names.push_back(entry.name.c_str());
    return names;
}

TEST(GeSortedArray, InsertKeepsKeyOrderWithTheNewestEqualNameFirst)
{
    CGeSortedArray<int> tracks;
    EXPECT_EQ(tracks.Insert(CGeString("walk"), 1), 0u);
    EXPECT_EQ(tracks.Insert(CGeString("idle"), 2), 0u);
    EXPECT_EQ(tracks.Insert(CGeString("run"), 3), 1u);
    EXPECT_EQ(tracks.Insert(CGeString("zzz"), 4), 3u);
    EXPECT_EQ(tracks.Insert(CGeString("run"), 5), 1u);  // before the older "run"
    EXPECT_EQ(Names(tracks), (std::vector<std::string>{"idle", "run", "run", "walk", "zzz"}));
    EXPECT_EQ(tracks[1].value, 5);
    EXPECT_EQ(tracks[2].value, 3);
    EXPECT_EQ(tracks.Insert(tracks[0].name, 6), 0u);  // a name taken from the array itself
    EXPECT_EQ(tracks[0].name, "idle");
}

TEST(GeSortedArray, LowerBoundAndFindSearchByHalving)
{
    CGeSortedArray<int> table;
    for (int i = 0; i < 40; ++i)
        table.Insert(CGeString(("n" + std::to_string(100 + i * 2)).c_str()), i);
    const struct { const char* name; uint32_t index; } cases[] = {
        {"", 0}, {"n100", 0}, {"n101", 1}, {"n178", 39}, {"n179", 40}, {"z", 40},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CGeSortedArray<int>::LowerBound(table.data, table.count, CGeString(c.name)), c.index) << c.name;
        EXPECT_EQ(CGeSortedArray<int>::Find(table.begin(), table.end(), CGeString(c.name)), table.data + c.index);
    }
    EXPECT_EQ(CGeSortedArray<int>::LowerBound(nullptr, 0, CGeString("a")), 0u);

    CGeSortedArray<int> copy(table);
    EXPECT_EQ(Names(copy), Names(table));
    copy.Clear();
    EXPECT_EQ(copy.count, 0u);
}

}  // namespace
