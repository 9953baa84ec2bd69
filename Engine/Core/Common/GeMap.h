// Ordered maps: a red-black tree with parent links whose nodes come from the
// map's own pool.
//
// Nodes never move: a pointer to a node or its value stays valid until that
// very node is erased. `first` and `last` are kept on every change, so the
// extremes and the start of an iteration cost nothing:
//
//     for (auto* node = map.first; node; node = map.Next(node))
//         Use(node->key, node->value);
//
// CGeStringMap is keyed by CGeString in unsigned byte order; CGeMap takes any
// key with operator< and operator== (the engine uses unsigned numbers and
// pointer-sized handles).
#pragma once

#include "Engine/Core/Common/GePool.h"
#include "Engine/Core/Common/GeString.h"

#include <cstdint>
#include <utility>

// Three-way key order: below 0, 0 or above 0 as a sorts before, with or after
// b. One comparison per tree level lets a look-up stop at its key and spares
// string keys a second pass over their bytes.
template <typename K>
int GeKeyOrder(const K& a, const K& b)
{
    return (b < a) - (a < b);
}

inline int GeKeyOrder(const CGeString& a, const CGeString& b)
{
    return a.Compare(b);
}

template <typename K, typename V>
struct CGeMapNode {
    static constexpr uint32_t kRed = 0;
    static constexpr uint32_t kBlack = 1;

    K key;
    uint32_t colour = kRed;  // next to the key, where it fills the key's padding
    V value;
    CGeMapNode* parent = nullptr;
    CGeMapNode* left = nullptr;
    CGeMapNode* right = nullptr;

    CGeMapNode(const K& k, const V& v) : key(k), value(v) {}
};

template <typename K, typename V>
class CGeMap {
public:
    using Node = CGeMapNode<K, V>;

    uint32_t count = 0;
    Node* root = nullptr;
    Node* first = nullptr;  // smallest key
    Node* last = nullptr;   // largest key
    CGePool<Node> nodePool;

    CGeMap() = default;
    CGeMap(const CGeMap& other) { *this = other; }
    CGeMap(CGeMap&& other) noexcept { Swap(other); }
    ~CGeMap() { Destroy(); }

    // The copy's pool gets one first block as large as the source's pool,
    // so copying takes a single allocation for all nodes.
    CGeMap& operator=(const CGeMap& other)
    {
        if (this == &other)
            return *this;
        Destroy();
        nodePool.cellsPerBlock = other.nodePool.cellsPerBlock;
        if (other.nodePool.total)
            nodePool.InitFirstBlock(other.nodePool.total);
        InsertRange(other.first, other.last);
        return *this;
    }

    CGeMap& operator=(CGeMap&& other) noexcept
    {
        if (this != &other) {
            Destroy();
            Swap(other);
        }
        return *this;
    }

    uint32_t Count() const { return count; }
    bool IsEmpty() const { return count == 0; }

    // The first node whose key is not less than key, or null.
    Node* LowerBound(const K& key) const
    {
        Node* candidate = nullptr;
        for (Node* node = root; node;) {
            if (node->key < key) {
                node = node->right;
            } else {
                candidate = node;
                node = node->left;
            }
        }
        return candidate;
    }

    Node* Find(const K& key) const
    {
        for (Node* node = root; node;) {
            // Both children are fetched while the key is compared: the walk
            // is bound by memory, and which child comes next is known late.
            __builtin_prefetch(node->left);
            __builtin_prefetch(node->right);
            const int order = GeKeyOrder(key, node->key);
            if (order == 0)
                return node;
            node = order < 0 ? node->left : node->right;
        }
        return nullptr;
    }

    // The value under key, or a value-initialised V (null, zero) when absent.
    V Lookup(const K& key) const
    {
        Node* node = Find(key);
        return node ? node->value : V();
    }

    // The value under key, inserting a default value when the key is absent.
    V& operator[](const K& key)
    {
        Node* node = Find(key);
        if (!node)
            node = InsertNode(key, V());
        return node->value;
    }

    // Inserts key and value when the key is absent and returns the new node;
    // returns the existing node unchanged when it is present.
    Node* InsertNode(const K& key, const V& value)
    {
        Node* parent = nullptr;
        int order = 0;
        for (Node* node = root; node;) {
            order = GeKeyOrder(key, node->key);
            if (order == 0)
                return node;
            parent = node;
            node = order < 0 ? node->left : node->right;
        }

        Node* node = nodePool.Alloc(key, value);
        node->parent = parent;
        if (!parent)
            root = node;
        else if (order < 0)
            parent->left = node;
        else
            parent->right = node;
        RebalanceAfterInsert(node);

        if (!first) {
            first = last = root;
        } else if (node->key < first->key) {
            first = node;
        } else if (last->key < node->key) {
            last = node;
        }
        ++count;
        return node;
    }

    // Removes one node. Other nodes are relinked, never copied, so every
    // other entry stays where it is in memory.
    void Erase(Node* node)
    {
        if (node == first)
            first = node->right ? MinNode(node->right) : node->parent;
        if (node == last)
            last = node->left ? MaxNode(node->left) : node->parent;

        Node* replacement;  // takes the place of the node that leaves its position
        Node* replacementParent;
        if (!node->left || !node->right) {
            replacement = node->left ? node->left : node->right;
            replacementParent = node->parent;
            if (replacement)
                replacement->parent = node->parent;
            ReplaceChild(node, replacement);
        } else {
            // The in-order successor moves into the node's place.
            Node* successor = MinNode(node->right);
            replacement = successor->right;
            if (successor == node->right) {
                replacementParent = successor;
            } else {
                replacementParent = successor->parent;
                if (replacement)
                    replacement->parent = successor->parent;
                successor->parent->left = replacement;
                successor->right = node->right;
                node->right->parent = successor;
            }
            successor->left = node->left;
            node->left->parent = successor;
            successor->parent = node->parent;
            ReplaceChild(node, successor);
            std::swap(successor->colour, node->colour);
        }

        // node->colour is now the colour that left the tree.
        if (node->colour == Node::kBlack)
            RebalanceAfterErase(replacement, replacementParent);

        nodePool.Free(node);
        --count;
    }

    void EraseKey(const K& key)
    {
        if (Node* node = Find(key))
            Erase(node);
    }

    static Node* MinNode(Node* node)
    {
        while (node->left)
            node = node->left;
        return node;
    }

    static Node* MaxNode(Node* node)
    {
        while (node->right)
            node = node->right;
        return node;
    }

    // The in-order successor of node, or null after the last one.
    static Node* Next(const Node* node)
    {
        if (node->right)
            return MinNode(node->right);
        Node* parent = node->parent;
        while (parent && node == parent->right) {
            node = parent;
            parent = parent->parent;
        }
        return parent;
    }

    // Inserts the entries of another map from first through last.
    void InsertRange(const Node* rangeFirst, const Node* rangeLast)
    {
        for (const Node* node = rangeFirst; node; node = Next(node)) {
            InsertNode(node->key, node->value);
            if (node == rangeLast)
                break;
        }
    }

    // Releases every entry; the pool keeps its cells for refilling.
    void Clear()
    {
        FreeSubtree(root);
        count = 0;
        root = first = last = nullptr;
    }

    // Releases every entry and the pool's memory.
    void Destroy()
    {
        nodePool.FreeBlocks();
        count = 0;
        root = first = last = nullptr;
    }

    void Swap(CGeMap& other) noexcept
    {
        std::swap(count, other.count);
        std::swap(root, other.root);
        std::swap(first, other.first);
        std::swap(last, other.last);
        nodePool.Swap(other.nodePool);
    }

private:
    static bool IsRed(const Node* node) { return node && node->colour == Node::kRed; }

    // Puts child where node hangs under its parent (or at the root).
    void ReplaceChild(Node* node, Node* child)
    {
        if (!node->parent)
            root = child;
        else if (node == node->parent->left)
            node->parent->left = child;
        else
            node->parent->right = child;
    }

    void RotateLeft(Node* node)
    {
        Node* pivot = node->right;
        node->right = pivot->left;
        if (pivot->left)
            pivot->left->parent = node;
        pivot->parent = node->parent;
        ReplaceChild(node, pivot);
        pivot->left = node;
        node->parent = pivot;
    }

    void RotateRight(Node* node)
    {
        Node* pivot = node->left;
        node->left = pivot->right;
        if (pivot->right)
            pivot->right->parent = node;
        pivot->parent = node->parent;
        ReplaceChild(node, pivot);
        pivot->right = node;
        node->parent = pivot;
    }

    void RebalanceAfterInsert(Node* node)
    {
        while (node != root && IsRed(node->parent)) {
            Node* parent = node->parent;
            Node* grand = parent->parent;  // a red parent is never the root
            const bool parentIsLeft = parent == grand->left;
            Node* uncle = parentIsLeft ? grand->right : grand->left;
            if (IsRed(uncle)) {
                parent->colour = Node::kBlack;
                uncle->colour = Node::kBlack;
                grand->colour = Node::kRed;
                node = grand;
                continue;
            }
            if (parentIsLeft) {
                if (node == parent->right) {
                    node = parent;
                    RotateLeft(node);
                    parent = node->parent;
                }
                parent->colour = Node::kBlack;
                grand->colour = Node::kRed;
                RotateRight(grand);
            } else {
                if (node == parent->left) {
                    node = parent;
                    RotateRight(node);
                    parent = node->parent;
                }
                parent->colour = Node::kBlack;
                grand->colour = Node::kRed;
                RotateLeft(grand);
            }
        }
        root->colour = Node::kBlack;
    }

    // The standard deletion fix-up. The node in the hole may be null, so its
    // parent is tracked alongside it.
    void RebalanceAfterErase(Node* node, Node* parent)
    {
        while (node != root && !IsRed(node)) {
            if (node == parent->left) {
                Node* sibling = parent->right;
                if (IsRed(sibling)) {
                    sibling->colour = Node::kBlack;
                    parent->colour = Node::kRed;
                    RotateLeft(parent);
                    sibling = parent->right;
                }
                if (!IsRed(sibling->left) && !IsRed(sibling->right)) {
                    sibling->colour = Node::kRed;
                    node = parent;
                    parent = parent->parent;
                    continue;
                }
                if (!IsRed(sibling->right)) {
                    sibling->left->colour = Node::kBlack;
                    sibling->colour = Node::kRed;
                    RotateRight(sibling);
                    sibling = parent->right;
                }
                sibling->colour = parent->colour;
                parent->colour = Node::kBlack;
                sibling->right->colour = Node::kBlack;
                RotateLeft(parent);
            } else {
                Node* sibling = parent->left;
                if (IsRed(sibling)) {
                    sibling->colour = Node::kBlack;
                    parent->colour = Node::kRed;
                    RotateRight(parent);
                    sibling = parent->left;
                }
                if (!IsRed(sibling->left) && !IsRed(sibling->right)) {
                    sibling->colour = Node::kRed;
                    node = parent;
                    parent = parent->parent;
                    continue;
                }
                if (!IsRed(sibling->left)) {
                    sibling->right->colour = Node::kBlack;
                    sibling->colour = Node::kRed;
                    RotateLeft(sibling);
                    sibling = parent->left;
                }
                sibling->colour = parent->colour;
                parent->colour = Node::kBlack;
                sibling->left->colour = Node::kBlack;
                RotateRight(parent);
            }
            node = root;
        }
        if (node)
            node->colour = Node::kBlack;
    }

    // Right subtree first, then the node, then on down the left spine, so
    // the recursion never goes deeper than the tree is high.
    void FreeSubtree(Node* node)
    {
        while (node) {
            FreeSubtree(node->right);
            Node* left = node->left;
            nodePool.Free(node);
            node = left;
        }
    }
};

template <typename V>
using CGeStringMap = CGeMap<CGeString, V>;
