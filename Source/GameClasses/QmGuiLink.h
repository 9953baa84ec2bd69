// What the game processor reads of the GUI: the input devices that send it
// key and mouse messages, the main screen control that sends clicks on the
// location, and the GUI manager's frame. Start-up fills the link once the GUI
// exists; until then every entry is null and the processor skips it.
#pragma once

#include <cstdint>

class CCiMessageClient;

struct QmGuiLink {
    // The senders of the input messages.
    const CCiMessageClient* keyboard = nullptr;
    const CCiMessageClient* mouse = nullptr;
    const CCiMessageClient* mainScreenControl = nullptr;
    // The virtual-key code of the keyboard's last key event.
    uint32_t (*lastKey)() = nullptr;
    // Whether a key (virtual-key code) is held.
    bool (*isKeyDown)(uint32_t virtualKey) = nullptr;
    // The GUI manager: polls the devices, passes their messages on.
    void (*update)() = nullptr;
    // Draws every top-level control of the current control set.
    void (*renderControls)() = nullptr;
    // Draws the cursor set's current cursor.
    void (*renderCursor)() = nullptr;
};

extern QmGuiLink g_guiLink;

// Virtual-key codes the game runtime reads.
enum : uint32_t {
    QM_VK_SHIFT = 0x10,
    QM_VK_ESCAPE = 0x1B,
    QM_VK_SPACE = 0x20,
    QM_VK_PRIOR = 0x21,
    QM_VK_END = 0x23,
    QM_VK_HOME = 0x24,
    QM_VK_LEFT = 0x25,
    QM_VK_UP = 0x26,
    QM_VK_RIGHT = 0x27,
    QM_VK_DOWN = 0x28,
    QM_VK_INSERT = 0x2D,
    QM_VK_A = 0x41,
    QM_VK_I = 0x49,
    QM_VK_Z = 0x5A,
};

// Input message codes of the GUI.
enum : uint32_t {
    QM_MSG_LEFT_CLICK = 3,
    QM_MSG_LEFT_DOUBLE_CLICK = 4,
    QM_MSG_RIGHT_PRESS = 5,
    QM_MSG_MOUSE_MOVE = 23,
    QM_MSG_KEY_DOWN = 34,
    QM_MSG_KEY_UP = 35,
};
