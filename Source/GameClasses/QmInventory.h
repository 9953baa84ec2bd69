// What the game runtime calls of the inventory panel, by the inventory's
// operation numbers. The inventory itself comes with the game features; until
// it exists g_inventory stays null and every caller skips it.
#pragma once

#include <cstdint>

class IQmInventory {
public:
    virtual ~IQmInventory() = default;
    virtual void Update(float frameTime) = 0;               // 2
    virtual void Unselect() = 0;                            // 5: drop the selection
    virtual void Clear() = 0;                               // 7
    virtual void SetOpen(bool open) = 0;                    // 9
    virtual bool MayToggle() = 0;                           // 10
    virtual void SetInputEnabled(bool enabled) = 0;         // 11
    virtual void SetActive(bool active) = 0;                // 12
    virtual void Render() = 0;                              // 14
    virtual void Blink() = 0;                               // 15
    virtual void ReleaseDragged() = 0;                      // 16
    // 18: the save block, allocated with malloc; the caller frees it.
    virtual uint32_t SaveBlock(uint8_t** out) = 0;
    virtual void LoadBlock(const uint8_t* data, uint32_t size) = 0; // 19
    virtual bool IsExclusive() = 0;                         // 22
    virtual bool IsItemHeld() = 0;                          // 24
    virtual bool IsOpen() const = 0;                        // the open flag
    virtual bool HasSelection() const = 0;                  // a selected item
    // The selected item's name; empty without a selection.
    virtual const char* SelectedItemName() const { return ""; }
};

extern IQmInventory* g_inventory;
