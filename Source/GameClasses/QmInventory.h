// The inventory: the strip of five item cells that slides down from the top
// edge of the screen. It holds the items the player collected (pointers to
// the item catalogue's records, never owned), shows the first five with their
// icons and counts, lets the player pick one up on the cursor, asks the
// scripts whether two items combine, flies a new item into its cell with a
// trail of sparks, fires the location's open, close and item-added events,
// and writes and reads its block of a save slot.
//
// Two lists hold the same items in the same order: every insertion and
// removal is made on both with one rule. The cells show the display list,
// everything else uses the item list.
//
// The save block is one record per item, in inventory order, with no header:
// the name's bytes, a zero byte, the value as an unsigned 32-bit
// little-endian number. An empty inventory saves nothing (a null buffer).
//
// Choices where the plain rules would fail:
// - a control of the panel document that is missing or of the wrong kind, or
//   a missing "void_sh" schema, is logged once at level 2 and that piece is
//   left out (no tooltip, count, menu button, cursor icon or flight copy);
// - loading stops at the first record that lacks its zero byte or its four
//   value bytes (level-1 log) and keeps what it read before;
// - event names are built whole, whatever the length of the location name;
// - an item without an icon gets its cell's cursor type and count, but no
//   icon handling.
// Clear (and so Load) leaves the selected item as it is: the load page
// releases a dragged item itself.
#pragma once

#include "Engine/Core/Common/CiMessageClient.h"
#include "Engine/Core/Common/GeMath.h"
#include "Engine/Core/Common/GePoolList.h"
#include "Engine/Core/Common/GeString.h"
#include "Source/GameClasses/QmInvItemDesc.h"

#include <cstdint>

class CGmSprite;
class CGmVisual2D;
class CGuiControl;
class CGuiTextControl;

// The catalogue's item record under the inventory's name.
using CQmInventoryItem = CQmInvItemDesc;

// The position AddItem takes for "no position": the item appears in its cell
// without a flight.
constexpr float kQmInventoryNoPosition = -100.0f;

// What the rest of the game calls of the inventory, in slot order.
class IQmInventory : public CCiMessageClient {
public:
    IQmInventory() = default;
    ~IQmInventory() override = default;

    void HandleMessage(CCiMessageClient* sender, uint32_t code) override;
    virtual void Update(float dt) = 0;
    virtual void AddItem(CQmInventoryItem* item, float x, float y, const CGeString& where) = 0;
    virtual void AddItemDefault(CQmInventoryItem* item, const CGeString& where) = 0;
    virtual void Unselect() = 0;
    virtual void RemoveItem(const char* name) = 0;
    virtual void Clear() = 0;
    virtual CQmInventoryItem* FindItem(const CGeString& name) = 0;
    virtual void SetOpen(bool open) = 0;
    // No flight under way and the cursor below y 50.
    virtual bool CanHide() = 0;
    // Input on or off: the panel's look follows.
    virtual void SetActive(bool active) = 0;
    // Shows or hides the panel and its drawing.
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool IsEnabled() = 0;
    virtual void Draw() = 0;
    virtual void Blink() = 0;
    virtual void StopItemFlight();
    virtual void RefreshCells() = 0;
    // The save block in a buffer from malloc that the caller frees; its size.
    virtual uint32_t Save(uint8_t** data) = 0;
    virtual void Load(const uint8_t* data, uint32_t size) = 0;
    // While true the game processor skips the location logic and physics.
    virtual bool IsPausingGame();
    virtual bool HasSelection() const;

    bool IsOpen() const { return open != 0; }
    // The selected item's name; empty without a selection.
    const char* SelectedItemName() const { return selected ? selected->name.c_str() : ""; }

    uint8_t open = 0;
    CQmInventoryItem* selected = nullptr;
    CGePoolList<CQmInventoryItem*> items;
};

class CQmInventory : public IQmInventory {
public:
    static constexpr uint32_t kCells = 5;
    static constexpr uint32_t kSparks = 16;

    // Loads "Inventory/addon.xml" and the panel document into the main
    // control set, hides the tooltip, puts the panel above the screen, makes
    // the cursor icon, the flight sprite and the sparks.
    CQmInventory();
    ~CQmInventory() override;

    void HandleMessage(CCiMessageClient* sender, uint32_t code) override;
    void Update(float dt) override;
    void AddItem(CQmInventoryItem* item, float x, float y, const CGeString& where) override;
    void AddItemDefault(CQmInventoryItem* item, const CGeString& where) override;
    void Unselect() override;
    void RemoveItem(const char* name) override;
    void Clear() override;
    CQmInventoryItem* FindItem(const CGeString& name) override;
    void SetOpen(bool open) override;
    bool CanHide() override;
    void SetActive(bool active) override;
    void SetEnabled(bool enabled) override;
    bool IsEnabled() override { return enabled != 0; }
    void Draw() override;
    void Blink() override {}
    void StopItemFlight() override;
    void RefreshCells() override;
    uint32_t Save(uint8_t** data) override;
    void Load(const uint8_t* data, uint32_t size) override;

    // Makes target a copy of source's image set, frame animation and size.
    static void CopyItemVisual(CGmSprite* target, const CGmVisual2D* source);

    uint8_t active = 1;
    CGuiControl* hovered = nullptr;
    CGmSprite* cursorIcon = nullptr;
    CGmVisual2D* flightTarget = nullptr;
    CQmInventoryItem* flyingItem = nullptr;
    CGmSprite* flightSprite = nullptr;
    uint8_t enabled = 1;
    float awayTime = 0.0f;
    CGePoolList<CQmInventoryItem*> display;
    CGmSprite* sparks[kSparks] = {};
    float sparkTimers[kSparks] = {};
    Vec3 sparkVelocities[kSparks] = {};

    // The panel's controls in the main set, null where the document lacks
    // them.
    CGuiControl* panel = nullptr;
    CGuiControl* cells[kCells] = {};
    CGuiTextControl* counts[kCells] = {};
    CGuiTextControl* hint = nullptr;
    CGuiControl* menuButton = nullptr;
    CGuiControl* screenControl = nullptr;

private:
    // Inserts into one list by the where rule.
    static void Insert(CGePoolList<CQmInventoryItem*>& list, CQmInventoryItem* item, const CGeString& where);
    // The cell number of a control, or -1.
    int32_t CellOf(const CGuiControl* control) const;
    // The display list's item at a position, or null.
    CQmInventoryItem* DisplayedAt(uint32_t position) const;
    // "<location><suffix>" with the arguments; nothing without a location.
    static void FireLocationEvent(const char* suffix, const class CGeValue* args, uint32_t count);
    void PlaceHint(float cursorX, float cursorY);
    void StepFlight(float dt);
    void StepSparks(float dt);
    void ResetSparks();
};

// Makes the one inventory and keeps it in g_inventory.
IQmInventory* CreateInventory();

extern IQmInventory* g_inventory;
