// The walk-grid lock property (slot 14): makes its entity an obstacle for
// path searches. Every frame it releases the cells it marked and marks the
// cells under its entity's collider shape as locked (bit 1 of a cell's
// flags), so the marks follow the entity with a lag of at most one frame.
//
// An axis-aligned box marks every cell of its column and row range; an
// oriented box marks the cells of its bounds' range whose upward ray from the
// low corner meets the box; other shapes mark nothing. Cells on the grid's
// border and cells the file blocks are listed but never marked, and a cell
// already locked (by another entity) is left to its owner and not listed.
// Both operations look the current location's current grid up at each call.
//
// Choices:
// - The list remembers the grid it was marked on and is released only on
//   that grid while it is still the current one; after a change of grid the
//   list is just emptied, so another grid's cells are never cleared.
// - Deleting the property releases its marks as disabling does, so an entity
//   taken out of the location leaves no obstacle behind.
#pragma once

#include "Source/GameClasses/QmEntity.h"

#include <cstdint>

class CQmAiMap;

// Indices of the cells a lock marked; grows by 50 entries when full.
struct AiLockList {
    static constexpr uint32_t kGrowStep = 50;

    AiLockList();
    ~AiLockList();
    AiLockList(const AiLockList&) = delete;
    AiLockList& operator=(const AiLockList&) = delete;

    void Append(int32_t index);
    uint32_t Count() const { return uint32_t(last + 1); }

    int32_t* data = nullptr;
    uint32_t capacity = 0;
    int32_t last = -1; // index of the last entry, -1 when empty
};

class CQmPropAimapLockController : public CQmProp {
public:
    explicit CQmPropAimapLockController(CQmEntity* owner) : CQmProp(owner) {}
    ~CQmPropAimapLockController() override;

    // Only a change acts; switching off releases the marks.
    void SetEnabled(bool flag) override;
    // UnlockCells, then LockCells.
    void Update() override;
    // Marks the cells under the collider shape.
    void LockCells();
    // Releases the listed cells, last to first, and empties the list.
    void UnlockCells();

    AiLockList locked;

private:
    void Mark(CQmAiMap& grid, int32_t index);

    const CQmAiMap* m_grid = nullptr; // compared only, never read: it may be gone
};

// The current location's current walk grid, or null.
CQmAiMap* QmCurrentWalkGrid();

// The reader of "aimap_lock_controller" (no attributes).
class TiXmlElement;
void LoadProperty_AimapLockController(CQmEntity& entity, const TiXmlElement* element);
