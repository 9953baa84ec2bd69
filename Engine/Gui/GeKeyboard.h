// The keyboard device: the device window's key messages become polled key
// state and keyboard messages.
//
// The window hook only records: the last WM_KEYDOWN, WM_KEYUP and WM_CHAR of
// the frame and a queue of at most 32 events {code, key} (33 character, 34 key
// down, 35 key up); a 33rd event of a frame is dropped. Once per frame the GUI
// manager calls Update, which keeps the previous key bits, applies the queued
// events to the key bits in order and posts each code through the dispatcher
// with the keyboard as sender (category 6 in the high 16 bits of the type).
// The hook and its record are program-wide: only one keyboard may exist.
#pragma once

#include "Engine/Core/Common/CiMessageClient.h"
#include "Platform/Win32/WinTypes.h"

#include <cstdint>

enum : uint32_t {
    GE_KEYBOARD_CATEGORY = 6,
    GE_KEY_CHAR = 33,
    GE_KEY_DOWN = 34,
    GE_KEY_UP = 35,
};

struct GeKeyEvent {
    uint32_t code;
    uint16_t key;
};

// What the hook records between two updates.
struct GeKeyboardRecord {
    uint8_t alive = 0; // the hook does nothing while this is 0
    GeKeyEvent queue[32] = {};
    uint32_t queueCount = 0;
    uint32_t pendingKeyDown = 0;
    uint32_t pendingKeyUp = 0;
    uint16_t pendingChar = 0;
};
extern GeKeyboardRecord g_keyboardRecord;

class CGeKeyboardState : public CCiMessageClient {
public:
    uint16_t character = 0; // the pending character as the last Update took it
    uint32_t lastReleasedKey = 0;
    uint32_t lastPressedKey = 0;
    uint8_t keys[32] = {};         // bit (code & 7) of byte (code >> 3): the key is down
    uint8_t previousKeys[32] = {}; // the key bits before the last Update

    CGeKeyboardState();
    // Copies the key bits into the previous ones.
    virtual void Update();

    bool IsKeyDown(uint32_t virtualKey) const
    {
        return virtualKey < 256 && (keys[virtualKey >> 3] >> (virtualKey & 7)) & 1;
    }
    bool WasKeyDown(uint32_t virtualKey) const
    {
        return virtualKey < 256 && (previousKeys[virtualKey >> 3] >> (virtualKey & 7)) & 1;
    }
    // Either Shift key (both map to virtual key 16).
    bool IsShiftDown() const { return IsKeyDown(0x10); }
};

class CGeKeyboard : public CGeKeyboardState {
public:
    // Hooks the current device wrapper's window (when there is one) and
    // starts recording.
    CGeKeyboard();
    ~CGeKeyboard() override;

    void Update() override;

    // The window hook; always returns 0.
    static LRESULT Hook(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};
