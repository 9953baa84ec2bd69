// A doubly linked list whose nodes come from the list's own pool.
#pragma once

#include "Engine/Core/Common/GePool.h"

#include <cstdint>

template <typename T>
class CGePoolList {
public:
    struct Node {
        T value;
        Node* prev = nullptr;
        Node* next = nullptr;

        explicit Node(const T& v) : value(v) {}
    };

    uint32_t count = 0;
    Node* head = nullptr;
    Node* tail = nullptr;
    CGePool<Node> pool;

    CGePoolList() = default;
    CGePoolList(const CGePoolList&) = delete;
    CGePoolList& operator=(const CGePoolList&) = delete;
    CGePoolList(CGePoolList&& other) noexcept { Swap(other); }
    CGePoolList& operator=(CGePoolList&& other) noexcept
    {
        if (this != &other) {
            Destroy();
            Swap(other);
        }
        return *this;
    }
    ~CGePoolList() { Destroy(); }

    // Appends a copy of value; returns its node.
    Node* PushBack(const T& value)
    {
        Node* node = pool.Alloc(value);
        node->prev = tail;
        if (tail)
            tail->next = node;
        else
            head = node;
        tail = node;
        ++count;
        return node;
    }

    // Inserts a copy of value after the node, or at the front for null;
    // returns its node.
    Node* InsertAfter(Node* after, const T& value)
    {
        if (after == tail)
            return PushBack(value);
        Node* node = pool.Alloc(value);
        Node* before = after;
        Node* next = after ? after->next : head;
        node->prev = before;
        node->next = next;
        next->prev = node;
        if (before)
            before->next = node;
        else
            head = node;
        ++count;
        return node;
    }

    void PopFront()
    {
        if (head)
            UnlinkRange(head, head);
    }

    // The first node from first to last (inclusive) holding value, or null.
    Node* Find(Node* first, Node* last, const T& value) const
    {
        for (Node* node = first; node; node = node->next) {
            if (node->value == value)
                return node;
            if (node == last)
                break;
        }
        return nullptr;
    }

    // Detaches the chain first..last, then returns each node to the pool.
    void UnlinkRange(Node* first, Node* last)
    {
        Node* before = first->prev;
        Node* after = last->next;
        if (before)
            before->next = after;
        else
            head = after;
        if (after)
            after->prev = before;
        else
            tail = before;
        last->next = nullptr;

        Node* node = first;
        while (node) {
            Node* next = node->next;
            pool.Free(node);
            --count;
            node = next;
        }
    }

    void Remove(Node* node) { UnlinkRange(node, node); }

    // Destroys every value and returns the pool's memory.
    void Destroy()
    {
        pool.FreeBlocks();
        count = 0;
        head = tail = nullptr;
    }

    void Swap(CGePoolList& other) noexcept
    {
        std::swap(count, other.count);
        std::swap(head, other.head);
        std::swap(tail, other.tail);
        pool.Swap(other.pool);
    }
};
