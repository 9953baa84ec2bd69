// The keyboard hook and its per-frame update.
#include "Engine/Gui/GeKeyboard.h"

#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Platform/Win32/WinMessages.h"

GeKeyboardRecord g_keyboardRecord;

namespace {

void QueueKey(uint32_t code, WPARAM key)
{
    GeKeyboardRecord& r = g_keyboardRecord;
    if (r.queueCount < 32)
        r.queue[r.queueCount++] = {code, (uint16_t)key};
}

void SetKeyBit(uint8_t* keys, uint32_t key, bool down)
{
    if (key >= 256)
        return;
    if (down)
        keys[key >> 3] |= (uint8_t)(1u << (key & 7));
    else
        keys[key >> 3] &= (uint8_t) ~(1u << (key & 7));
}

} // namespace

CGeKeyboardState::CGeKeyboardState()
{
    typeId = (GE_KEYBOARD_CATEGORY << 16) | CGeTypedObject::kUntyped;
}

void CGeKeyboardState::Update()
{
    for (int i = 0; i < 32; ++i)
        previousKeys[i] = keys[i];
}

CGeKeyboard::CGeKeyboard()
{
    if (g_pGmDevice)
        g_pGmDevice->AddMessageHook(Hook);
    g_keyboardRecord = GeKeyboardRecord();
    g_keyboardRecord.alive = 1;
}

CGeKeyboard::~CGeKeyboard()
{
    if (g_pGmDevice)
        g_pGmDevice->RemoveMessageHook(Hook);
    g_keyboardRecord.alive = 0;
}

LRESULT CGeKeyboard::Hook(HWND, UINT message, WPARAM wParam, LPARAM)
{
    GeKeyboardRecord& r = g_keyboardRecord;
    if (!r.alive)
        return 0;
    switch (message) {
    case WM_KEYDOWN:
        r.pendingKeyDown = (uint32_t)wParam;
        QueueKey(GE_KEY_DOWN, wParam);
        break;
    case WM_KEYUP:
        r.pendingKeyUp = (uint32_t)wParam;
        QueueKey(GE_KEY_UP, wParam);
        break;
    case WM_CHAR:
        r.pendingChar = (uint16_t)wParam;
        QueueKey(GE_KEY_CHAR, wParam);
        break;
    default: break;
    }
    return 0;
}

void CGeKeyboard::Update()
{
    CGeKeyboardState::Update();
    GeKeyboardRecord& r = g_keyboardRecord;
    if (r.pendingKeyDown != 0 && r.pendingKeyDown != lastPressedKey) {
        lastPressedKey = r.pendingKeyDown;
        SetKeyBit(keys, lastPressedKey, true);
    }
    if (r.pendingKeyUp != 0 && r.pendingKeyUp != lastReleasedKey) {
        lastReleasedKey = r.pendingKeyUp;
        SetKeyBit(keys, lastReleasedKey, false);
    }
    character = r.pendingChar;
    for (uint32_t i = 0; i < r.queueCount; ++i) {
        const GeKeyEvent& e = r.queue[i];
        if (e.code == GE_KEY_DOWN && e.key != 0)
            SetKeyBit(keys, e.key, true);
        else if (e.code == GE_KEY_UP && e.key != 0)
            SetKeyBit(keys, e.key, false);
        PostMessage(e.code);
    }
    r.queueCount = 0;
    r.pendingKeyDown = 0;
    r.pendingKeyUp = 0;
    r.pendingChar = 0;
}
