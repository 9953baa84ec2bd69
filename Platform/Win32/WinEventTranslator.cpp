// SDL events to window messages, with Win32's numbers and packing.
//
// Decisions where Win32 and SDL differ:
// - Right Alt and AltGr (SDL's MODE key) make ordinary key messages, as AltGr
//   does on Windows, but without the fake Ctrl press Windows adds: the edit
//   field would otherwise drop every AltGr character.
// - Text typed while Ctrl is held (and AltGr is not) is dropped: the control
//   character comes from TranslateMessage, and Windows types nothing for
//   Ctrl+digit and the like.
// - The window class is ANSI, so each typed character is one WM_CHAR holding
//   its Windows-1251 byte; characters outside the code page arrive as '?'.
// - Mouse positions are clamped into the client area (SDL reports positions
//   outside it while a button drags); moves in a row are merged into one.
//   In full screen they are back-buffer positions (WinFullScreen.cpp).
// - Leaving the window always gives WM_MOUSELEAVE, so no button stays down.
// - Keys released while the window loses focus give WM_KEYUP.
// - SDL_QUIT (a signal) is WM_CLOSE for the device window.
#include "Platform/Win32/WinCodePage.h"
#include "Platform/Win32/WinInternal.h"
#include "Platform/Win32/WinKeyboard.h"

namespace {

struct TranslatorState {
    Uint16 mod = 0; // SDL modifiers of the last key event
    WPARAM buttons = 0; // MK_ flags of the held buttons
    // Per drain:
    bool lastWasMotion = false;
    bool haveKeyDown = false;
    LPARAM keyDownLParam = 0;
};

TranslatorState g_state;

WinWindowRecord* TargetWindow(Uint32 sdlWindowId)
{
    WinWindowRecord* window = WinFindWindowBySdlId(sdlWindowId);
    return window ? window : WinMainWindow();
}

void Append(WinWindowRecord* window, UINT message, WPARAM wParam, LPARAM lParam, BYTE sideVk = 0,
            Uint16 mod = 0)
{
    WinQueueAppend(window->handle, message, wParam, lParam, sideVk, mod);
    g_state.lastWasMotion = false;
}

int Clamp(int value, int low, int high)
{
    if (value > high)
        value = high;
    return value < low ? low : value;
}

LPARAM ClientPosition(const WinWindowRecord* window, int x, int y, int* clampedX, int* clampedY)
{
    WinMapClientPosition(window, x, y, clampedX, clampedY);
    WinCursorSetClientPosition(*clampedX, *clampedY);
    return MAKELPARAM(*clampedX, *clampedY);
}

WPARAM MouseKeyFlags()
{
    WPARAM flags = g_state.buttons;
    if (g_state.mod & KMOD_SHIFT)
        flags |= MK_SHIFT;
    if (g_state.mod & KMOD_CTRL)
        flags |= MK_CONTROL;
    return flags;
}

void TranslateKey(const SDL_KeyboardEvent& event)
{
    bool down = event.type == SDL_KEYDOWN;
    SDL_Scancode scancode = event.keysym.scancode;
    g_state.mod = event.keysym.mod;
    WinKeyCode key;
    WinWindowRecord* window = TargetWindow(event.windowID);
    if (!WinMapSdlKey(scancode, event.keysym.sym, event.keysym.mod, &key) || !window)
        return;
    WinAsyncKeyState(key.vk, key.sideVk, down);

    bool alt = (event.keysym.mod & KMOD_LALT) != 0;
    bool ctrl = (event.keysym.mod & KMOD_CTRL) != 0;
    bool system = !ctrl && (alt || key.vk == VK_F10 || (!down && scancode == SDL_SCANCODE_LALT));

    LPARAM lParam = 1 | ((LPARAM)key.scan << 16);
    if (key.extended)
        lParam |= KEY_LPARAM_EXTENDED;
    if (system && alt)
        lParam |= KEY_LPARAM_ALT_DOWN;
    if (!down || event.repeat)
        lParam |= KEY_LPARAM_WAS_DOWN;
    if (!down)
        lParam |= KEY_LPARAM_RELEASED;

    UINT message = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    Append(window, message, key.vk, lParam, key.sideVk, event.keysym.mod);
    g_state.haveKeyDown = down;
    g_state.keyDownLParam = lParam;
}

void TranslateText(const SDL_TextInputEvent& event)
{
    bool ctrl = (g_state.mod & KMOD_CTRL) != 0;
    bool altGr = (g_state.mod & (KMOD_RALT | KMOD_MODE)) != 0;
    WinWindowRecord* window = TargetWindow(event.windowID);
    if ((ctrl && !altGr) || !window)
        return;
    UINT message = ((g_state.mod & KMOD_LALT) && !ctrl) ? WM_SYSCHAR : WM_CHAR;
    // Text without a key-down (an input method's commit) has no key to describe.
    LPARAM lParam = g_state.haveKeyDown ? g_state.keyDownLParam : 1;
    std::string text(event.text);
    size_t pos = 0;
    while (pos < text.size()) {
        int byte = CodePointToCp1251(DecodeUtf8(text, &pos));
        Append(window, message, (WPARAM)(byte < 0 ? '?' : byte), lParam);
    }
}

void TranslateMotion(const SDL_MouseMotionEvent& event)
{
    WinWindowRecord* window = TargetWindow(event.windowID);
    if (!window)
        return;
    int x, y;
    LPARAM lParam = ClientPosition(window, event.x, event.y, &x, &y);
    WinQueuedMessage* last = WinQueueLast();
    if (g_state.lastWasMotion && last && last->msg.message == WM_MOUSEMOVE && last->msg.hwnd == window->handle) {
        last->msg.wParam = MouseKeyFlags();
        last->msg.lParam = lParam;
        return;
    }
    Append(window, WM_MOUSEMOVE, MouseKeyFlags(), lParam);
    g_state.lastWasMotion = true;
}

void TranslateButton(const SDL_MouseButtonEvent& event)
{
    struct ButtonInfo {
        WPARAM flag;
        UINT downMessage;
        WORD xButton;
        BYTE vk;
    };
    // SDL counts left, middle, right; Win32 names left, right, middle.
    static const ButtonInfo kButtons[] = {
        {MK_LBUTTON, WM_LBUTTONDOWN, 0, VK_LBUTTON},
        {MK_MBUTTON, WM_MBUTTONDOWN, 0, VK_MBUTTON},
        {MK_RBUTTON, WM_RBUTTONDOWN, 0, VK_RBUTTON},
        {MK_XBUTTON1, WM_XBUTTONDOWN, XBUTTON1, VK_XBUTTON1},
        {MK_XBUTTON2, WM_XBUTTONDOWN, XBUTTON2, VK_XBUTTON2},
    };
    WinWindowRecord* window = TargetWindow(event.windowID);
    if (event.button < 1 || event.button > 5 || !window)
        return;
    const ButtonInfo& info = kButtons[event.button - 1];
    bool down = event.type == SDL_MOUSEBUTTONDOWN;
    if (down)
        g_state.buttons |= info.flag;
    else
        g_state.buttons &= ~info.flag;
    WinAsyncKeyState(info.vk, 0, down);

    int x, y;
    LPARAM lParam = ClientPosition(window, event.x, event.y, &x, &y);
    WPARAM wParam = MouseKeyFlags();
    if (info.xButton)
        wParam = MAKEWPARAM(wParam, info.xButton);
    // Every button's up message follows its down message.
    Append(window, down ? info.downMessage : info.downMessage + 1, wParam, lParam);
}

void TranslateWheel(const SDL_MouseWheelEvent& event)
{
    WinWindowRecord* window = TargetWindow(event.windowID);
    int notches = event.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.y : event.y;
    if (notches == 0 || !window)
        return;
    int delta = Clamp(notches * WHEEL_DELTA, -32768, 32767);
    int x, y, originX, originY;
    ClientPosition(window, event.mouseX, event.mouseY, &x, &y);
    WinClientOrigin(window, &originX, &originY);
    // The wheel reports the pointer in desktop coordinates.
    Append(window, WM_MOUSEWHEEL, MAKEWPARAM(MouseKeyFlags(), (WORD)delta), MAKELPARAM(x + originX, y + originY));
}

LPARAM ClientSize(const WinWindowRecord* window)
{
    int width, height;
    WinClientSize(window, &width, &height);
    return MAKELPARAM(width, height);
}

void TranslateWindowEvent(const SDL_WindowEvent& event)
{
    WinWindowRecord* window = WinFindWindowBySdlId(event.windowID);
    if (!window)
        return;
    WPARAM minimizedWord = window->minimized ? 1 : 0;
    switch (event.event) {
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        Append(window, WM_ACTIVATEAPP, TRUE, 0);
        Append(window, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, minimizedWord), 0);
        Append(window, WM_SETFOCUS, 0, 0);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        // WM_KILLFOCUS last: the device wrapper ends up inactive whatever it
        // reads from WM_ACTIVATE's minimised word.
        Append(window, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, minimizedWord), 0);
        Append(window, WM_ACTIVATEAPP, FALSE, 0);
        Append(window, WM_KILLFOCUS, 0, 0);
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
        window->minimized = true;
        Append(window, WM_SIZE, SIZE_MINIMIZED, 0);
        break;
    case SDL_WINDOWEVENT_MAXIMIZED:
        window->minimized = false;
        window->maximized = true;
        Append(window, WM_SIZE, SIZE_MAXIMIZED, ClientSize(window));
        break;
    case SDL_WINDOWEVENT_RESTORED:
        window->minimized = false;
        window->maximized = false;
        Append(window, WM_SIZE, SIZE_RESTORED, ClientSize(window));
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        window->clientWidth = event.data1;
        window->clientHeight = event.data2;
        if (!window->minimized)
            Append(window, WM_SIZE, window->maximized ? SIZE_MAXIMIZED : SIZE_RESTORED, ClientSize(window));
        break;
    case SDL_WINDOWEVENT_CLOSE:
        Append(window, WM_CLOSE, 0, 0);
        break;
    case SDL_WINDOWEVENT_LEAVE:
        Append(window, WM_MOUSELEAVE, 0, 0);
        break;
    default:
        break;
    }
}

} // namespace

void WinTranslateSdlEvents(const SDL_Event* events, int count)
{
    g_state.lastWasMotion = false;
    g_state.haveKeyDown = false;
    for (int i = 0; i < count; i++) {
        const SDL_Event& event = events[i];
        switch (event.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            TranslateKey(event.key);
            break;
        case SDL_TEXTINPUT:
            TranslateText(event.text);
            break;
        case SDL_MOUSEMOTION:
            TranslateMotion(event.motion);
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            TranslateButton(event.button);
            break;
        case SDL_MOUSEWHEEL:
            TranslateWheel(event.wheel);
            break;
        case SDL_WINDOWEVENT:
            TranslateWindowEvent(event.window);
            break;
        case SDL_QUIT:
            if (WinWindowRecord* window = WinMainWindow())
                Append(window, WM_CLOSE, 0, 0);
            break;
        default:
            break;
        }
    }
}

void WinResetInputState()
{
    g_state = TranslatorState();
}
