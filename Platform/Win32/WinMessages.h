// Window messages with Win32's numbers and parameter packing, and the message
// queue calls. Input arrives from SDL and is translated into these messages
// when the queue is read (see WinEventTranslator.cpp).
// Public header of the platform layer.
#pragma once

#include "Platform/Win32/WinTypes.h"

const UINT WM_NULL = 0x0000;
const UINT WM_CREATE = 0x0001;
const UINT WM_DESTROY = 0x0002;
const UINT WM_MOVE = 0x0003;
const UINT WM_SIZE = 0x0005;
const UINT WM_ACTIVATE = 0x0006;
const UINT WM_SETFOCUS = 0x0007;
const UINT WM_KILLFOCUS = 0x0008;
const UINT WM_PAINT = 0x000F;
const UINT WM_CLOSE = 0x0010;
const UINT WM_QUIT = 0x0012;
const UINT WM_ACTIVATEAPP = 0x001C;
const UINT WM_SETCURSOR = 0x0020;
const UINT WM_NCCREATE = 0x0081;
const UINT WM_NCDESTROY = 0x0082;
const UINT WM_KEYDOWN = 0x0100;
const UINT WM_KEYUP = 0x0101;
const UINT WM_CHAR = 0x0102;
const UINT WM_SYSKEYDOWN = 0x0104;
const UINT WM_SYSKEYUP = 0x0105;
const UINT WM_SYSCHAR = 0x0106;
const UINT WM_SYSCOMMAND = 0x0112;
const UINT WM_MOUSEMOVE = 0x0200;
const UINT WM_LBUTTONDOWN = 0x0201;
const UINT WM_LBUTTONUP = 0x0202;
const UINT WM_LBUTTONDBLCLK = 0x0203;
const UINT WM_RBUTTONDOWN = 0x0204;
const UINT WM_RBUTTONUP = 0x0205;
const UINT WM_RBUTTONDBLCLK = 0x0206;
const UINT WM_MBUTTONDOWN = 0x0207;
const UINT WM_MBUTTONUP = 0x0208;
const UINT WM_MBUTTONDBLCLK = 0x0209;
const UINT WM_MOUSEWHEEL = 0x020A;
const UINT WM_XBUTTONDOWN = 0x020B;
const UINT WM_XBUTTONUP = 0x020C;
const UINT WM_XBUTTONDBLCLK = 0x020D;
const UINT WM_MOUSEHWHEEL = 0x020E;
const UINT WM_MOUSEFIRST = WM_MOUSEMOVE;
const UINT WM_MOUSELAST = WM_MOUSEHWHEEL;
const UINT WM_NCMOUSELEAVE = 0x02A2;
const UINT WM_MOUSELEAVE = 0x02A3;
const UINT WM_USER = 0x0400;

// WM_SIZE wParam.
const WPARAM SIZE_RESTORED = 0;
const WPARAM SIZE_MINIMIZED = 1;
const WPARAM SIZE_MAXIMIZED = 2;

// WM_ACTIVATE low word of wParam; the high word is non-zero while minimised.
const WORD WA_INACTIVE = 0;
const WORD WA_ACTIVE = 1;
const WORD WA_CLICKACTIVE = 2;

// Mouse-message wParam flags.
const WPARAM MK_LBUTTON = 0x0001;
const WPARAM MK_RBUTTON = 0x0002;
const WPARAM MK_SHIFT = 0x0004;
const WPARAM MK_CONTROL = 0x0008;
const WPARAM MK_MBUTTON = 0x0010;
const WPARAM MK_XBUTTON1 = 0x0020;
const WPARAM MK_XBUTTON2 = 0x0040;

// High word of WM_XBUTTON* wParam.
const WORD XBUTTON1 = 0x0001;
const WORD XBUTTON2 = 0x0002;

// One notch of the wheel in WM_MOUSEWHEEL's signed high word.
const int WHEEL_DELTA = 120;

// WM_SYSCOMMAND wParam (compare after masking with 0xFFF0).
const WPARAM SC_MINIMIZE = 0xF020;
const WPARAM SC_MAXIMIZE = 0xF030;
const WPARAM SC_CLOSE = 0xF060;
const WPARAM SC_KEYMENU = 0xF100;
const WPARAM SC_RESTORE = 0xF120;

// Key-message lParam bits above the repeat count and scan code.
const LPARAM KEY_LPARAM_EXTENDED = 0x01000000;
const LPARAM KEY_LPARAM_ALT_DOWN = 0x20000000;
const LPARAM KEY_LPARAM_WAS_DOWN = 0x40000000;
const LPARAM KEY_LPARAM_RELEASED = (LPARAM)0x80000000u;

// PeekMessageA removal flags.
const UINT PM_NOREMOVE = 0x0000;
const UINT PM_REMOVE = 0x0001;
const UINT PM_NOYIELD = 0x0002;

// Signed coordinates of a mouse message's lParam.
#define GET_X_LPARAM(lp) ((int)(SHORT)LOWORD(lp))
#define GET_Y_LPARAM(lp) ((int)(SHORT)HIWORD(lp))
#define GET_WHEEL_DELTA_WPARAM(wp) ((SHORT)HIWORD(wp))
#define GET_XBUTTON_WPARAM(wp) (HIWORD(wp))

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

// Removes (PM_REMOVE) or copies the next message for window (null: any) whose
// number lies in min..max (0, 0: all). When the queue holds nothing the
// pending SDL events are translated once; a second empty read in a row returns
// 0 without asking SDL again, so a "peek until empty" loop always ends.
BOOL PeekMessageA(MSG* msg, HWND window, UINT min, UINT max, UINT remove);

// Queues WM_CHAR / WM_SYSCHAR for a key-down that types a control character
// (Backspace, Tab, Enter, Escape, Ctrl+letter ...); it is the next message
// read. Printable characters come from the text input already.
BOOL TranslateMessage(const MSG* msg);

// Calls the window procedure of msg->hwnd; messages for unknown or destroyed
// windows, and WM_QUIT, are dropped (result 0).
LRESULT DispatchMessageA(const MSG* msg);

// Appends a message to the queue; FALSE for an unknown window.
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Calls the window procedure directly and returns its result.
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

void PostQuitMessage(int exitCode);
