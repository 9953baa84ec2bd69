// Key state: one table follows the messages as the program reads them
// (GetKeyState), one follows input as it arrives (GetAsyncKeyState).
#include <cstring>

#include "Platform/Win32/WinInternal.h"
#include "Platform/Win32/WinKeyboard.h"

namespace {

const BYTE kDown = 0x80;
const BYTE kToggled = 0x01;

BYTE g_readState[256];
BYTE g_asyncState[256];

BYTE SideOf(BYTE generic, bool left)
{
    switch (generic) {
    case VK_SHIFT: return left ? VK_LSHIFT : VK_RSHIFT;
    case VK_CONTROL: return left ? VK_LCONTROL : VK_RCONTROL;
    case VK_MENU: return left ? VK_LMENU : VK_RMENU;
    default: return 0;
    }
}

void SetDown(BYTE* state, BYTE vk, BYTE sideVk, bool down)
{
    BYTE& target = state[sideVk ? sideVk : vk];
    target = down ? (BYTE)(target | kDown) : (BYTE)(target & ~kDown);
    if (sideVk) {
        // The generic key is down while either side is.
        bool either = ((state[SideOf(vk, true)] | state[SideOf(vk, false)]) & kDown) != 0;
        state[vk] = either ? (BYTE)(state[vk] | kDown) : (BYTE)(state[vk] & ~kDown);
    }
}

void SetToggled(BYTE vk, bool on)
{
    g_readState[vk] = on ? (BYTE)(g_readState[vk] | kToggled) : (BYTE)(g_readState[vk] & ~kToggled);
}

} // namespace

void WinKeyStateOnRead(const WinQueuedMessage& entry)
{
    const MSG& msg = entry.msg;
    switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP:
        SetDown(g_readState, (BYTE)msg.wParam, entry.sideVk,
                msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN);
        SetToggled(VK_CAPITAL, (entry.sdlMod & KMOD_CAPS) != 0);
        SetToggled(VK_NUMLOCK, (entry.sdlMod & KMOD_NUM) != 0);
        SetToggled(VK_SCROLL, (entry.sdlMod & KMOD_SCROLL) != 0);
        return;
    case WM_LBUTTONDOWN: SetDown(g_readState, VK_LBUTTON, 0, true); return;
    case WM_LBUTTONUP: SetDown(g_readState, VK_LBUTTON, 0, false); return;
    case WM_RBUTTONDOWN: SetDown(g_readState, VK_RBUTTON, 0, true); return;
    case WM_RBUTTONUP: SetDown(g_readState, VK_RBUTTON, 0, false); return;
    case WM_MBUTTONDOWN: SetDown(g_readState, VK_MBUTTON, 0, true); return;
    case WM_MBUTTONUP: SetDown(g_readState, VK_MBUTTON, 0, false); return;
    case WM_XBUTTONDOWN:
    case WM_XBUTTONUP: {
        BYTE vk = HIWORD(msg.wParam) == XBUTTON1 ? VK_XBUTTON1 : VK_XBUTTON2;
        SetDown(g_readState, vk, 0, msg.message == WM_XBUTTONDOWN);
        return;
    }
    default:
        return;
    }
}

void WinAsyncKeyState(BYTE vk, BYTE sideVk, bool down)
{
    SetDown(g_asyncState, vk, sideVk, down);
}

void WinResetKeyState()
{
    memset(g_readState, 0, sizeof(g_readState));
    memset(g_asyncState, 0, sizeof(g_asyncState));
}

SHORT GetKeyState(int virtualKey)
{
    if (virtualKey < 0 || virtualKey > 255)
        return 0;
    BYTE state = g_readState[virtualKey];
    return (SHORT)(((state & kDown) ? 0x8000 : 0) | (state & kToggled));
}

SHORT GetAsyncKeyState(int virtualKey)
{
    if (virtualKey < 0 || virtualKey > 255)
        return 0;
    return (SHORT)((g_asyncState[virtualKey] & kDown) ? 0x8000 : 0);
}
