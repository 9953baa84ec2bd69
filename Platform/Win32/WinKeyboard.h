// Virtual-key codes (Win32's numbers) and the key-state queries. Key messages
// carry the generic VK_SHIFT / VK_CONTROL / VK_MENU; the left and right codes
// are seen only through GetKeyState and GetAsyncKeyState.
// Public header of the platform layer.
#pragma once

#include "Platform/Win32/WinTypes.h"

const int VK_LBUTTON = 0x01;
const int VK_RBUTTON = 0x02;
const int VK_CANCEL = 0x03;
const int VK_MBUTTON = 0x04;
const int VK_XBUTTON1 = 0x05;
const int VK_XBUTTON2 = 0x06;
const int VK_BACK = 0x08;
const int VK_TAB = 0x09;
const int VK_CLEAR = 0x0C;
const int VK_RETURN = 0x0D;
const int VK_SHIFT = 0x10;
const int VK_CONTROL = 0x11;
const int VK_MENU = 0x12;
const int VK_PAUSE = 0x13;
const int VK_CAPITAL = 0x14;
const int VK_ESCAPE = 0x1B;
const int VK_SPACE = 0x20;
const int VK_PRIOR = 0x21;
const int VK_NEXT = 0x22;
const int VK_END = 0x23;
const int VK_HOME = 0x24;
const int VK_LEFT = 0x25;
const int VK_UP = 0x26;
const int VK_RIGHT = 0x27;
const int VK_DOWN = 0x28;
const int VK_SELECT = 0x29;
const int VK_EXECUTE = 0x2B;
const int VK_SNAPSHOT = 0x2C;
const int VK_INSERT = 0x2D;
const int VK_DELETE = 0x2E;
const int VK_HELP = 0x2F;
// '0'..'9' and 'A'..'Z' are their ASCII codes.
const int VK_LWIN = 0x5B;
const int VK_RWIN = 0x5C;
const int VK_APPS = 0x5D;
const int VK_SLEEP = 0x5F;
const int VK_NUMPAD0 = 0x60;
const int VK_NUMPAD9 = 0x69;
const int VK_MULTIPLY = 0x6A;
const int VK_ADD = 0x6B;
const int VK_SEPARATOR = 0x6C;
const int VK_SUBTRACT = 0x6D;
const int VK_DECIMAL = 0x6E;
const int VK_DIVIDE = 0x6F;
const int VK_F1 = 0x70;
const int VK_F4 = 0x73;
const int VK_F10 = 0x79;
const int VK_F12 = 0x7B;
const int VK_F24 = 0x87;
const int VK_NUMLOCK = 0x90;
const int VK_SCROLL = 0x91;
const int VK_LSHIFT = 0xA0;
const int VK_RSHIFT = 0xA1;
const int VK_LCONTROL = 0xA2;
const int VK_RCONTROL = 0xA3;
const int VK_LMENU = 0xA4;
const int VK_RMENU = 0xA5;
const int VK_OEM_1 = 0xBA;
const int VK_OEM_PLUS = 0xBB;
const int VK_OEM_COMMA = 0xBC;
const int VK_OEM_MINUS = 0xBD;
const int VK_OEM_PERIOD = 0xBE;
const int VK_OEM_2 = 0xBF;
const int VK_OEM_3 = 0xC0;
const int VK_OEM_4 = 0xDB;
const int VK_OEM_5 = 0xDC;
const int VK_OEM_6 = 0xDD;
const int VK_OEM_7 = 0xDE;
const int VK_OEM_102 = 0xE2;

// High bit (negative result): the key is down; low bit: a lock key is on.
// Follows the key and mouse-button messages the program has read so far.
SHORT GetKeyState(int virtualKey);

// The key as last reported by the input system, whether or not its message
// has been read yet: 0x8000 (negative) when down.
SHORT GetAsyncKeyState(int virtualKey);
