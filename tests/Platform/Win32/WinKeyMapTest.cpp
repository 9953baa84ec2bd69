// The SDL-key to virtual-key table and the control characters.
#include <gtest/gtest.h>

#include "Platform/Win32/WinInternal.h"
#include "Platform/Win32/WinKeyboard.h"

namespace {

TEST(WinKeyMap, VirtualKeysScanCodesAndExtendedBits)
{
    struct Case {
        SDL_Scancode scancode;
        SDL_Keycode sym;
        Uint16 mod;
        int vk, side, scan;
        bool extended;
    };
    const Case cases[] = {
        {SDL_SCANCODE_A, 'a', 0, 'A', 0, 0x1E, false},
        {SDL_SCANCODE_Z, 'z', 0, 'Z', 0, 0x2C, false},
        {SDL_SCANCODE_Y, 'z', 0, 'Z', 0, 0x15, false}, // QWERTZ
        {SDL_SCANCODE_1, '&', 0, '1', 0, 0x02, false}, // AZERTY digits stay by position
        {SDL_SCANCODE_0, '0', 0, '0', 0, 0x0B, false},
        {SDL_SCANCODE_SEMICOLON, 0x436, 0, VK_OEM_1, 0, 0x27, false}, // Cyrillic: US position
        {SDL_SCANCODE_EQUALS, '=', 0, VK_OEM_PLUS, 0, 0x0D, false},
        {SDL_SCANCODE_SLASH, '-', 0, VK_OEM_MINUS, 0, 0x35, false}, // '-' is the same key everywhere
        {SDL_SCANCODE_F1, SDLK_F1, 0, 0x70, 0, 0x3B, false},
        {SDL_SCANCODE_F12, SDLK_F12, 0, 0x7B, 0, 0x58, false},
        {SDL_SCANCODE_F24, SDLK_F24, 0, 0x87, 0, 0x76, false},
        {SDL_SCANCODE_UP, SDLK_UP, 0, VK_UP, 0, 0x48, true},
        {SDL_SCANCODE_PAGEDOWN, SDLK_PAGEDOWN, 0, VK_NEXT, 0, 0x51, true},
        {SDL_SCANCODE_PRINTSCREEN, SDLK_PRINTSCREEN, 0, VK_SNAPSHOT, 0, 0x37, true},
        {SDL_SCANCODE_PAUSE, SDLK_PAUSE, 0, VK_PAUSE, 0, 0x45, false},
        {SDL_SCANCODE_PAUSE, SDLK_PAUSE, KMOD_LCTRL, VK_CANCEL, 0, 0x46, true},
        {SDL_SCANCODE_NUMLOCKCLEAR, SDLK_NUMLOCKCLEAR, 0, VK_NUMLOCK, 0, 0x45, true},
        {SDL_SCANCODE_KP_0, SDLK_KP_0, KMOD_NUM, VK_NUMPAD0, 0, 0x52, false},
        {SDL_SCANCODE_KP_0, SDLK_KP_0, 0, VK_INSERT, 0, 0x52, false},
        {SDL_SCANCODE_KP_PERIOD, SDLK_KP_PERIOD, KMOD_NUM, VK_DECIMAL, 0, 0x53, false},
        {SDL_SCANCODE_KP_PERIOD, SDLK_KP_PERIOD, 0, VK_DELETE, 0, 0x53, false},
        {SDL_SCANCODE_KP_9, SDLK_KP_9, 0, VK_PRIOR, 0, 0x49, false},
        {SDL_SCANCODE_KP_DIVIDE, SDLK_KP_DIVIDE, 0, VK_DIVIDE, 0, 0x35, true},
        {SDL_SCANCODE_KP_MULTIPLY, SDLK_KP_MULTIPLY, 0, VK_MULTIPLY, 0, 0x37, false},
        {SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, 0, VK_SHIFT, VK_LSHIFT, 0x2A, false},
        {SDL_SCANCODE_RSHIFT, SDLK_RSHIFT, 0, VK_SHIFT, VK_RSHIFT, 0x36, false},
        {SDL_SCANCODE_LCTRL, SDLK_LCTRL, 0, VK_CONTROL, VK_LCONTROL, 0x1D, false},
        {SDL_SCANCODE_RCTRL, SDLK_RCTRL, 0, VK_CONTROL, VK_RCONTROL, 0x1D, true},
        {SDL_SCANCODE_LALT, SDLK_LALT, 0, VK_MENU, VK_LMENU, 0x38, false},
        {SDL_SCANCODE_RALT, SDLK_RALT, 0, VK_MENU, VK_RMENU, 0x38, true},
        {SDL_SCANCODE_MODE, SDLK_MODE, 0, VK_MENU, VK_RMENU, 0x38, true},
        {SDL_SCANCODE_LGUI, SDLK_LGUI, 0, VK_LWIN, 0, 0x5B, true},
        {SDL_SCANCODE_APPLICATION, SDLK_APPLICATION, 0, VK_APPS, 0, 0x5D, true},
        {SDL_SCANCODE_NONUSBACKSLASH, '<', 0, VK_OEM_102, 0, 0x56, false},
        {SDL_SCANCODE_AUDIOPLAY, SDLK_AUDIOPLAY, 0, 0xB3, 0, 0x22, true},
        {SDL_SCANCODE_VOLUMEUP, SDLK_VOLUMEUP, 0, 0xAF, 0, 0x30, true},
    };
    for (const Case& c : cases) {
        WinKeyCode key;
        ASSERT_TRUE(WinMapSdlKey(c.scancode, c.sym, c.mod, &key)) << SDL_GetScancodeName(c.scancode);
        EXPECT_EQ(c.vk, key.vk) << SDL_GetScancodeName(c.scancode);
        EXPECT_EQ(c.side, key.sideVk) << SDL_GetScancodeName(c.scancode);
        EXPECT_EQ(c.scan, key.scan) << SDL_GetScancodeName(c.scancode);
        EXPECT_EQ(c.extended, key.extended) << SDL_GetScancodeName(c.scancode);
    }
}

TEST(WinKeyMap, KeysWithoutVirtualKey)
{
    const SDL_Scancode none[] = {SDL_SCANCODE_UNKNOWN, SDL_SCANCODE_KP_LEFTPAREN, SDL_SCANCODE_POWER,
                                 SDL_SCANCODE_LANG1, SDL_SCANCODE_BRIGHTNESSUP, (SDL_Scancode)511};
    for (SDL_Scancode scancode : none) {
        WinKeyCode key;
        EXPECT_FALSE(WinMapSdlKey(scancode, 0, 0, &key)) << scancode;
    }
}

TEST(WinKeyMap, ControlCharacters)
{
    struct Case {
        int vk;
        bool shift, ctrl;
        int character;
    };
    const Case cases[] = {
        {VK_BACK, false, false, 0x08}, {VK_BACK, true, false, 0x08}, {VK_BACK, false, true, 0x7F},
        {VK_BACK, true, true, -1},     {VK_TAB, true, false, 0x09},  {VK_TAB, false, true, -1},
        {VK_RETURN, true, false, 0x0D}, {VK_RETURN, false, true, 0x0A}, {VK_ESCAPE, true, true, 0x1B},
        {VK_SPACE, false, false, -1},  {VK_SPACE, false, true, 0x20}, {'A', false, true, 0x01},
        {'Z', true, true, 0x1A},       {'A', false, false, -1},      {VK_OEM_6, false, true, 0x1D},
        {VK_OEM_5, false, true, 0x1C}, {'6', true, true, 0x1E},      {VK_OEM_MINUS, true, true, 0x1F},
        {'6', false, true, -1},        {VK_DELETE, false, false, -1}, {VK_F1, false, true, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.character, WinControlCharacter(c.vk, c.shift, c.ctrl)) << c.vk << " " << c.shift << c.ctrl;
}

} // namespace
