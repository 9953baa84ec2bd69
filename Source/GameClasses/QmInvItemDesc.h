// The description of one inventory item as the item catalogue builds it: its
// name, its text in the player's language, its picture and the flags the
// inventory reads. What the inventory itself does with an item (cells,
// dragging, combining) comes with the inventory.
//
// The description does not own its sprite: the catalogue that made both
// deletes the sprite first and then the description.
#pragma once

#include "Engine/Core/Common/GeString.h"

#include <cstdint>

class CGmVisual2D;

class CQmInvItemDesc {
public:
    CQmInvItemDesc(const CGeString& itemName, const CGeWString& itemText, CGmVisual2D* itemSprite)
        : name(itemName), text(itemText), sprite(itemSprite)
    {}
    virtual ~CQmInvItemDesc() = default;

    CGeString name;
    CGeWString text;
    CGmVisual2D* sprite = nullptr;
    int32_t initValue = 0;
    bool hasInitValue = false;
    int32_t cursorType = 1;
    bool managedByScript = false;
    // The counter that scripts set and read while the item is carried.
    int32_t value = 0;
};
