// A small, mostly read table: {name, value} entries kept in key order in a
// CGeArray and searched by halving. Equal names may occur; the newest comes
// first.
#pragma once

#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeString.h"

#include <cstdint>
#include <new>
#include <utility>

template <typename V>
struct CGeSortedEntry {
    CGeString name;
    V value;
};

template <typename V>
class CGeSortedArray : public CGeArray<CGeSortedEntry<V>> {
public:
    using Entry = CGeSortedEntry<V>;

    // Index of the first of n entries whose name is not less than name.
    static uint32_t LowerBound(const Entry* entries, uint32_t n, const CGeString& name)
    {
        return uint32_t(Find(entries, entries + n, name) - entries);
    }

    // The first entry of [first, end) whose name is not less than name, or
    // end; the caller tests it for equality.
    static const Entry* Find(const Entry* first, const Entry* end, const CGeString& name)
    {
        uint32_t n = uint32_t(end - first);
        while (n > 0) {
            const uint32_t half = n / 2;
            if (first[half].name < name) {
                first += half + 1;
                n -= half + 1;
            } else {
                n = half;
            }
        }
        return first;
    }

    // Inserts before every entry of an equal name; returns the new index.
    uint32_t Insert(const CGeString& name, const V& value)
    {
        // Built first: name or value may live in this array, which may move.
        Entry entry{name, value};
        const uint32_t index = LowerBound(this->data, this->count, name);
        this->InsertSlot(index);
        new (this->data + index) Entry(std::move(entry));
        return index;
    }
};
