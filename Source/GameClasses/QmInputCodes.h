// The virtual-key codes and the GUI's input message codes that the game
// runtime reads.
#pragma once

#include <cstdint>

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
    QM_MSG_LEFT_PRESS = 1,
    QM_MSG_LEFT_RELEASE = 2,
    QM_MSG_LEFT_CLICK = 3,
    QM_MSG_LEFT_DOUBLE_CLICK = 4,
    QM_MSG_RIGHT_PRESS = 5,
    QM_MSG_RIGHT_RELEASE = 6,
    QM_MSG_MOUSE_MOVE = 23,
    QM_MSG_KEY_DOWN = 34,
    QM_MSG_KEY_UP = 35,
};
