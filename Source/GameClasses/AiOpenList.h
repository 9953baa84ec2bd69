// The open list of the walk-grid search: a binary min-heap of {cell, priority}
// entries, stored 1-based (the root is entry 1, the children of k are 2k and
// 2k + 1).
//
// The order of equal priorities is part of the contract, because it decides
// which of two equally good detours a walker takes: an entry moves past
// another only when its priority is strictly smaller, and sifting down picks
// the right child only when it is strictly smaller than the left one. A cell
// is never listed twice; its position is kept in a per-cell index, so that
// an update needs no scan.
#pragma once

#include <cstdint>
#include <memory>

struct AiOpenEntry {
    int32_t cell;
    int32_t priority;
};

class AiOpenList {
public:
    // Empties the list and sizes it for cells 0..capacity-1.
    void Reset(int32_t capacity);
    // Empties the list; the capacity stays.
    void Clear();

    int32_t Count() const { return m_count; }
    int32_t Capacity() const { return m_capacity; }
    bool IsEmpty() const { return m_count == 0; }
    // Entry at a 1-based position, 1..Count().
    const AiOpenEntry& At(int32_t position) const { return m_entries[position]; }
    const AiOpenEntry& Root() const { return m_entries[1]; }
    // 1-based position of a listed cell; 0 when the cell is not listed.
    int32_t PositionOf(int32_t cell) const;

    // False (and nothing changes) when the list is full or the cell is
    // outside the capacity.
    bool Push(AiOpenEntry entry);
    void PopMin();
    // Replaces the entry at a 1-based position and restores the heap order.
    void Update(int32_t position, AiOpenEntry entry);

private:
    // Both return the entry's final position.
    int32_t SiftUp(int32_t position);
    int32_t SiftDown(int32_t position);
    void Place(int32_t position, AiOpenEntry entry);

    std::unique_ptr<AiOpenEntry[]> m_entries;  // capacity + 1; entry 0 unused
    std::unique_ptr<int32_t[]> m_positions;    // per cell; 0 when not listed
    int32_t m_capacity = 0;
    int32_t m_count = 0;
};
