// SDL keys to Win32 virtual keys and set-1 scan codes.
//
// Function, navigation, numpad and modifier keys map by position. Typing keys
// take the virtual key Windows gives them on the active layout where SDL's
// key symbol tells it: a Latin letter gives that letter's key (AZERTY's A/Q
// swap, QWERTZ's Y/Z swap), and '+', ',', '-', '.' give the OEM keys that are
// the same on every layout. Other punctuation and non-Latin letters (Cyrillic
// layouts) keep the US key of the position, which is also what Windows does
// for Cyrillic letters. Digits are by position on every layout.
#include "Platform/Win32/WinInternal.h"
#include "Platform/Win32/WinKeyboard.h"

namespace {

struct KeyEntry {
    BYTE vk;
    BYTE scan;
    bool extended;
};

struct KeyTable {
    KeyEntry entries[SDL_NUM_SCANCODES] = {};

    void Set(int scancode, BYTE vk, BYTE scan, bool extended = false)
    {
        entries[scancode] = {vk, scan, extended};
    }

    KeyTable()
    {
        static const BYTE kLetterScans[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17,
                                              0x24, 0x25, 0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13,
                                              0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
        for (int i = 0; i < 26; i++)
            Set(SDL_SCANCODE_A + i, (BYTE)('A' + i), kLetterScans[i]);
        for (int i = 0; i < 9; i++)
            Set(SDL_SCANCODE_1 + i, (BYTE)('1' + i), (BYTE)(0x02 + i));
        Set(SDL_SCANCODE_0, '0', 0x0B);

        Set(SDL_SCANCODE_RETURN, VK_RETURN, 0x1C);
        Set(SDL_SCANCODE_ESCAPE, VK_ESCAPE, 0x01);
        Set(SDL_SCANCODE_BACKSPACE, VK_BACK, 0x0E);
        Set(SDL_SCANCODE_TAB, VK_TAB, 0x0F);
        Set(SDL_SCANCODE_SPACE, VK_SPACE, 0x39);
        Set(SDL_SCANCODE_MINUS, VK_OEM_MINUS, 0x0C);
        Set(SDL_SCANCODE_EQUALS, VK_OEM_PLUS, 0x0D);
        Set(SDL_SCANCODE_LEFTBRACKET, VK_OEM_4, 0x1A);
        Set(SDL_SCANCODE_RIGHTBRACKET, VK_OEM_6, 0x1B);
        Set(SDL_SCANCODE_BACKSLASH, VK_OEM_5, 0x2B);
        Set(SDL_SCANCODE_NONUSHASH, VK_OEM_5, 0x2B);
        Set(SDL_SCANCODE_SEMICOLON, VK_OEM_1, 0x27);
        Set(SDL_SCANCODE_APOSTROPHE, VK_OEM_7, 0x28);
        Set(SDL_SCANCODE_GRAVE, VK_OEM_3, 0x29);
        Set(SDL_SCANCODE_COMMA, VK_OEM_COMMA, 0x33);
        Set(SDL_SCANCODE_PERIOD, VK_OEM_PERIOD, 0x34);
        Set(SDL_SCANCODE_SLASH, VK_OEM_2, 0x35);
        Set(SDL_SCANCODE_CAPSLOCK, VK_CAPITAL, 0x3A);

        for (int i = 0; i < 10; i++)
            Set(SDL_SCANCODE_F1 + i, (BYTE)(VK_F1 + i), (BYTE)(0x3B + i));
        Set(SDL_SCANCODE_F11, 0x7A, 0x57);
        Set(SDL_SCANCODE_F12, 0x7B, 0x58);
        static const BYTE kF13Scans[12] = {0x64, 0x65, 0x66, 0x67, 0x68, 0x69,
                                           0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x76};
        for (int i = 0; i < 12; i++)
            Set(SDL_SCANCODE_F13 + i, (BYTE)(0x7C + i), kF13Scans[i]);

        Set(SDL_SCANCODE_PRINTSCREEN, VK_SNAPSHOT, 0x37, true);
        Set(SDL_SCANCODE_SCROLLLOCK, VK_SCROLL, 0x46);
        Set(SDL_SCANCODE_PAUSE, VK_PAUSE, 0x45);
        Set(SDL_SCANCODE_INSERT, VK_INSERT, 0x52, true);
        Set(SDL_SCANCODE_HOME, VK_HOME, 0x47, true);
        Set(SDL_SCANCODE_PAGEUP, VK_PRIOR, 0x49, true);
        Set(SDL_SCANCODE_DELETE, VK_DELETE, 0x53, true);
        Set(SDL_SCANCODE_END, VK_END, 0x4F, true);
        Set(SDL_SCANCODE_PAGEDOWN, VK_NEXT, 0x51, true);
        Set(SDL_SCANCODE_RIGHT, VK_RIGHT, 0x4D, true);
        Set(SDL_SCANCODE_LEFT, VK_LEFT, 0x4B, true);
        Set(SDL_SCANCODE_DOWN, VK_DOWN, 0x50, true);
        Set(SDL_SCANCODE_UP, VK_UP, 0x48, true);

        Set(SDL_SCANCODE_NUMLOCKCLEAR, VK_NUMLOCK, 0x45, true);
        Set(SDL_SCANCODE_KP_DIVIDE, VK_DIVIDE, 0x35, true);
        Set(SDL_SCANCODE_KP_MULTIPLY, VK_MULTIPLY, 0x37);
        Set(SDL_SCANCODE_KP_MINUS, VK_SUBTRACT, 0x4A);
        Set(SDL_SCANCODE_KP_PLUS, VK_ADD, 0x4E);
        Set(SDL_SCANCODE_KP_ENTER, VK_RETURN, 0x1C, true);
        // Number-pad digits with Num Lock on; WinMapSdlKey swaps in the
        // navigation keys when it is off.
        static const BYTE kPadScans[9] = {0x4F, 0x50, 0x51, 0x4B, 0x4C, 0x4D, 0x47, 0x48, 0x49};
        for (int i = 0; i < 9; i++)
            Set(SDL_SCANCODE_KP_1 + i, (BYTE)(VK_NUMPAD0 + 1 + i), kPadScans[i]);
        Set(SDL_SCANCODE_KP_0, VK_NUMPAD0, 0x52);
        Set(SDL_SCANCODE_KP_PERIOD, VK_DECIMAL, 0x53);
        Set(SDL_SCANCODE_KP_EQUALS, 0x92, 0x00);
        Set(SDL_SCANCODE_KP_COMMA, VK_SEPARATOR, 0x00);

        Set(SDL_SCANCODE_NONUSBACKSLASH, VK_OEM_102, 0x56);
        Set(SDL_SCANCODE_APPLICATION, VK_APPS, 0x5D, true);
        Set(SDL_SCANCODE_MENU, VK_APPS, 0x5D, true);
        Set(SDL_SCANCODE_EXECUTE, VK_EXECUTE, 0x00);
        Set(SDL_SCANCODE_HELP, VK_HELP, 0x00);
        Set(SDL_SCANCODE_SELECT, VK_SELECT, 0x00);
        Set(SDL_SCANCODE_MUTE, 0xAD, 0x20, true);
        Set(SDL_SCANCODE_VOLUMEUP, 0xAF, 0x30, true);
        Set(SDL_SCANCODE_VOLUMEDOWN, 0xAE, 0x2E, true);
        Set(SDL_SCANCODE_CANCEL, VK_CANCEL, 0x00);
        Set(SDL_SCANCODE_CLEAR, VK_CLEAR, 0x00);
        Set(SDL_SCANCODE_PRIOR, VK_PRIOR, 0x00);
        Set(SDL_SCANCODE_RETURN2, VK_RETURN, 0x00);
        Set(SDL_SCANCODE_SEPARATOR, VK_SEPARATOR, 0x00);
        Set(SDL_SCANCODE_CRSEL, 0xF7, 0x00);
        Set(SDL_SCANCODE_EXSEL, 0xF8, 0x00);

        Set(SDL_SCANCODE_LCTRL, VK_CONTROL, 0x1D);
        Set(SDL_SCANCODE_LSHIFT, VK_SHIFT, 0x2A);
        Set(SDL_SCANCODE_LALT, VK_MENU, 0x38);
        Set(SDL_SCANCODE_LGUI, VK_LWIN, 0x5B, true);
        Set(SDL_SCANCODE_RCTRL, VK_CONTROL, 0x1D, true);
        Set(SDL_SCANCODE_RSHIFT, VK_SHIFT, 0x36);
        Set(SDL_SCANCODE_RALT, VK_MENU, 0x38, true);
        Set(SDL_SCANCODE_RGUI, VK_RWIN, 0x5C, true);
        Set(SDL_SCANCODE_MODE, VK_MENU, 0x38, true); // AltGr on many X11 layouts

        Set(SDL_SCANCODE_AUDIONEXT, 0xB0, 0x19, true);
        Set(SDL_SCANCODE_AUDIOPREV, 0xB1, 0x10, true);
        Set(SDL_SCANCODE_AUDIOSTOP, 0xB2, 0x24, true);
        Set(SDL_SCANCODE_AUDIOPLAY, 0xB3, 0x22, true);
        Set(SDL_SCANCODE_AUDIOMUTE, 0xAD, 0x20, true);
        Set(SDL_SCANCODE_MEDIASELECT, 0xB5, 0x6D, true);
        Set(SDL_SCANCODE_MAIL, 0xB4, 0x6C, true);
        Set(SDL_SCANCODE_CALCULATOR, 0xB7, 0x21, true);
        Set(SDL_SCANCODE_COMPUTER, 0xB6, 0x6B, true);
        Set(SDL_SCANCODE_AC_SEARCH, 0xAA, 0x65, true);
        Set(SDL_SCANCODE_AC_HOME, 0xAC, 0x32, true);
        Set(SDL_SCANCODE_AC_BACK, 0xA6, 0x6A, true);
        Set(SDL_SCANCODE_AC_FORWARD, 0xA7, 0x69, true);
        Set(SDL_SCANCODE_AC_STOP, 0xA9, 0x68, true);
        Set(SDL_SCANCODE_AC_REFRESH, 0xA8, 0x67, true);
        Set(SDL_SCANCODE_AC_BOOKMARKS, 0xAB, 0x66, true);
        Set(SDL_SCANCODE_SLEEP, VK_SLEEP, 0x5F, true);
    }
};

const KeyTable& Table()
{
    static const KeyTable table;
    return table;
}

bool IsLayoutKey(SDL_Scancode scancode)
{
    return (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) ||
           (scancode >= SDL_SCANCODE_MINUS && scancode <= SDL_SCANCODE_SLASH) ||
           scancode == SDL_SCANCODE_NONUSBACKSLASH;
}

BYTE LayoutVirtualKey(SDL_Keycode sym, BYTE positionVk)
{
    if (sym >= 'a' && sym <= 'z')
        return (BYTE)(sym - 'a' + 'A');
    switch (sym) {
    case '+': return VK_OEM_PLUS;
    case ',': return VK_OEM_COMMA;
    case '-': return VK_OEM_MINUS;
    case '.': return VK_OEM_PERIOD;
    default: return positionVk;
    }
}

// The number pad without Num Lock: the navigation key of each position.
BYTE NavigationVirtualKey(SDL_Scancode scancode)
{
    static const BYTE kNavigation[11] = {VK_END, VK_DOWN, VK_NEXT, VK_LEFT, VK_CLEAR, VK_RIGHT,
                                         VK_HOME, VK_UP, VK_PRIOR, VK_INSERT, VK_DELETE};
    return kNavigation[scancode - SDL_SCANCODE_KP_1];
}

BYTE SideVirtualKey(SDL_Scancode scancode)
{
    switch (scancode) {
    case SDL_SCANCODE_LSHIFT: return VK_LSHIFT;
    case SDL_SCANCODE_RSHIFT: return VK_RSHIFT;
    case SDL_SCANCODE_LCTRL: return VK_LCONTROL;
    case SDL_SCANCODE_RCTRL: return VK_RCONTROL;
    case SDL_SCANCODE_LALT: return VK_LMENU;
    case SDL_SCANCODE_RALT:
    case SDL_SCANCODE_MODE: return VK_RMENU;
    default: return 0;
    }
}

} // namespace

bool WinMapSdlKey(SDL_Scancode scancode, SDL_Keycode sym, Uint16 mod, WinKeyCode* key)
{
    if (scancode <= SDL_SCANCODE_UNKNOWN || scancode >= SDL_NUM_SCANCODES)
        return false;
    const KeyEntry& entry = Table().entries[scancode];
    if (entry.vk == 0)
        return false;
    key->vk = entry.vk;
    key->sideVk = SideVirtualKey(scancode);
    key->scan = entry.scan;
    key->extended = entry.extended;

    if (IsLayoutKey(scancode))
        key->vk = LayoutVirtualKey(sym, entry.vk);
    if (scancode >= SDL_SCANCODE_KP_1 && scancode <= SDL_SCANCODE_KP_PERIOD && !(mod & KMOD_NUM))
        key->vk = NavigationVirtualKey(scancode);
    if (scancode == SDL_SCANCODE_PAUSE && (mod & KMOD_CTRL)) {
        // Ctrl+Pause is Break.
        key->vk = VK_CANCEL;
        key->scan = 0x46;
        key->extended = true;
    }
    return true;
}

int WinControlCharacter(int vk, bool shift, bool ctrl)
{
    switch (vk) {
    case VK_BACK: return !ctrl ? 0x08 : (!shift ? 0x7F : -1);
    case VK_TAB: return !ctrl ? 0x09 : -1;
    case VK_RETURN: return !ctrl ? 0x0D : (!shift ? 0x0A : -1);
    case VK_ESCAPE: return 0x1B;
    case VK_CANCEL: return ctrl ? 0x03 : -1;
    default: break;
    }
    if (!ctrl)
        return -1;
    if (vk == VK_SPACE)
        return 0x20;
    if (vk >= 'A' && vk <= 'Z')
        return vk - 'A' + 1;
    if (!shift) {
        switch (vk) {
        case VK_OEM_4: return 0x1B;
        case VK_OEM_6: return 0x1D;
        case VK_OEM_5:
        case VK_OEM_102: return 0x1C;
        default: return -1;
        }
    }
    switch (vk) {
    case '2': return 0x00;
    case '6': return 0x1E;
    case VK_OEM_MINUS: return 0x1F;
    default: return -1;
    }
}
