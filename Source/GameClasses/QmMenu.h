// What the game runtime calls of the in-game menu, by the menu's operation
// numbers. The menu comes with the menus and mini-games; until it exists
// g_menu stays null, nothing opens, and a close request closes the window.
#pragma once

#include <cstdint>

class IQmMenu {
public:
    virtual ~IQmMenu() = default;
    virtual void Update() = 0;                          // 2
    virtual void Render() = 0;                          // 3
    virtual void Open(uint32_t page) = 0;               // 4: 0 opens the main page
    virtual void SetDisabledItems(uint32_t mask) = 0;   // 8
    virtual bool IsPageOpen() const = 0;                // a menu page is open
};

extern IQmMenu* g_menu;

// Set by the menu's quit command before it posts the window's close message:
// the close request then really closes the window.
extern uint8_t g_quitRequested;
