// A growable array whose capacity is always derived from its count.
//
// The capacity is the count rounded up to a multiple of growStep, in both
// directions, and the storage is replaced exactly when that rounded value
// changes: an array of 1 to 16 elements is allocated once.
#pragma once

#include "Engine/Core/Common/GeString.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <utility>

template <typename T>
class CGeArray {
public:
    static constexpr uint32_t kDefaultGrowStep = 16;

    T* data = nullptr;  // C-allocated; null when the capacity is 0
    uint32_t count = 0;
    uint32_t capacity = 0;
    uint32_t growStep = kDefaultGrowStep;

    CGeArray() = default;

    // A copy always takes the default grow step, whatever the source's.
    CGeArray(const CGeArray& other) { CopyFrom(other); }

    CGeArray(CGeArray&& other) noexcept { Swap(other); }

    CGeArray& operator=(const CGeArray& other)
    {
        if (this != &other) {
            Clear();
            CopyFrom(other);
        }
        return *this;
    }

    CGeArray& operator=(CGeArray&& other) noexcept
    {
        if (this != &other) {
            Clear();
            Swap(other);
        }
        return *this;
    }

    ~CGeArray() { Clear(); }

    T& operator[](uint32_t index) { return data[index]; }
    const T& operator[](uint32_t index) const { return data[index]; }
    uint32_t Count() const { return count; }
    bool IsEmpty() const { return count == 0; }
    T* begin() { return data; }
    T* end() { return data + count; }
    const T* begin() const { return data; }
    const T* end() const { return data + count; }

    // Opens n places at index; the elements from index on move n places up.
    // The new places are left unconstructed: the caller constructs them.
    void InsertGap(uint32_t index, uint32_t n)
    {
        // Nothing to open; moving each element onto itself would destroy it.
        if (n == 0)
            return;
        if (index > count)
            index = count;
        const uint32_t oldCount = count;
        const uint32_t newCapacity = RoundedCapacity(oldCount + n);
        T* storage = data;
        if (newCapacity != capacity) {
            storage = AllocStorage(newCapacity);
            MoveElements(storage, data, index);
        }
        for (uint32_t i = oldCount; i-- > index;) {
            new (storage + i + n) T(std::move(data[i]));
            data[i].~T();
        }
        ReplaceStorage(storage, newCapacity);
        count = oldCount + n;
    }

    void InsertSlot(uint32_t index) { InsertGap(index, 1); }

    // Appends value and returns its index. The value may be an element of
    // this very array: it is taken out before the storage moves.
    uint32_t Add(const T& value)
    {
        if (Holds(&value)) {
            T copy(value);
            return Append(std::move(copy));
        }
        return Append(value);
    }

    uint32_t Add(T&& value)
    {
        if (Holds(&value)) {
            T moved(std::move(value));
            return Append(std::move(moved));
        }
        return Append(std::move(value));
    }

    // Removes one element; the elements after it move down by one.
    void RemoveAt(uint32_t index)
    {
        if (index >= count)
            return;
        if (count == 1) {
            Clear();
            return;
        }
        const uint32_t newCount = count - 1;
        const uint32_t newCapacity = RoundedCapacity(newCount);
        T* storage = data;
        if (newCapacity != capacity) {
            storage = AllocStorage(newCapacity);
            MoveElements(storage, data, index);
        }
        data[index].~T();
        MoveElements(storage + index, data + index + 1, newCount - index);
        ReplaceStorage(storage, newCapacity);
        count = newCount;
    }

    // Destroys every element in order and frees the storage; growStep stays.
    void Clear()
    {
        for (uint32_t i = 0; i < count; ++i)
            data[i].~T();
        std::free(data);
        data = nullptr;
        count = 0;
        capacity = 0;
    }

    // Changes the rounding step (0 counts as 1) and re-rounds the storage.
    void SetGrowStep(uint32_t step)
    {
        growStep = step ? step : 1;
        const uint32_t newCapacity = RoundedCapacity(count);
        if (newCapacity != capacity) {
            T* storage = AllocStorage(newCapacity);
            MoveElements(storage, data, count);
            ReplaceStorage(storage, newCapacity);
        }
    }

    void Swap(CGeArray& other) noexcept
    {
        std::swap(data, other.data);
        std::swap(count, other.count);
        std::swap(capacity, other.capacity);
        std::swap(growStep, other.growStep);
    }

private:
    static_assert(alignof(T) <= alignof(std::max_align_t), "storage comes from malloc");

    bool Holds(const T* element) const { return count > 0 && element >= data && element < data + count; }

    template <typename U>
    uint32_t Append(U&& value)
    {
        InsertGap(count, 1);
        new (data + count - 1) T(std::forward<U>(value));
        return count - 1;
    }

    uint32_t RoundedCapacity(uint32_t n) const
    {
        const uint32_t step = growStep ? growStep : 1;
        return (n + step - 1) / step * step;
    }

    static T* AllocStorage(uint32_t places)
    {
        if (places == 0)
            return nullptr;
        void* memory = std::malloc(size_t(places) * sizeof(T));
        if (!memory)
            throw std::bad_alloc();
        return static_cast<T*>(memory);
    }

    // Moves n elements forward from `from` to `to`, destroying each source.
    static void MoveElements(T* to, T* from, uint32_t n)
    {
        for (uint32_t i = 0; i < n; ++i) {
            new (to + i) T(std::move(from[i]));
            from[i].~T();
        }
    }

    void ReplaceStorage(T* storage, uint32_t newCapacity)
    {
        if (storage != data)
            std::free(data);
        data = storage;
        capacity = newCapacity;
    }

    void CopyFrom(const CGeArray& other)
    {
        growStep = kDefaultGrowStep;
        if (other.count == 0)
            return;
        T* storage = AllocStorage(RoundedCapacity(other.count));
        for (uint32_t i = 0; i < other.count; ++i)
            new (storage + i) T(other.data[i]);
        data = storage;
        count = other.count;
        capacity = RoundedCapacity(other.count);
    }
};

// The GUI's string tables; clearing frees every string's buffer first.
using CGeWStringArray = CGeArray<CGeWString>;
