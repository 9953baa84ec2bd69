// What the game runtime calls of the in-game menu, in the menu's operation
// order. The menu itself comes with the game (CreateMenu at start-up); while
// g_menu is null nothing opens and a close request closes the window.
#pragma once

#include "Engine/Core/Common/CiMessageClient.h"

#include <cstdint>

class IQmMenu : public CCiMessageClient {
public:
    ~IQmMenu() override = default;
    // HandleMessage: the events of the menu's controls and the keyboard.
    virtual void Update() = 0;                          // once a frame
    virtual void Render() = 0;
    virtual void Open(uint32_t page) = 0;               // 0 opens the main page
    virtual void ShowLoadPage() = 0;
    virtual void ShowSavePage() = 0;
    virtual void ShowSettingsPage() = 0;
    // Replaces the mask of disabled main-page items.
    virtual void SetDisabledItems(uint32_t mask) = 0;
    virtual bool IsPageOpen() const = 0;                // a menu page is open
};

extern IQmMenu* g_menu;

// Set by the menu's quit command before it posts the window's close message:
// the close request then really closes the window.
extern uint8_t g_quitRequested;
