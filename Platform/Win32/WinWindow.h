// Window classes and windows: the device window of the engine is a Win32-shaped
// window over an SDL window. Coordinates are those of the desktop; the outer
// (frame) rectangle is the client rectangle grown by the borders SDL reports.
// Public header of the platform layer.
#pragma once

#include "Platform/Win32/WinTypes.h"

typedef LRESULT (*WNDPROC)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

struct WNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
};

// Window styles.
const DWORD WS_OVERLAPPED = 0x00000000;
const DWORD WS_POPUP = 0x80000000;
const DWORD WS_CHILD = 0x40000000;
const DWORD WS_MINIMIZE = 0x20000000;
const DWORD WS_VISIBLE = 0x10000000;
const DWORD WS_MAXIMIZE = 0x01000000;
const DWORD WS_CAPTION = 0x00C00000;
const DWORD WS_SYSMENU = 0x00080000;
const DWORD WS_THICKFRAME = 0x00040000;
const DWORD WS_MINIMIZEBOX = 0x00020000;
const DWORD WS_MAXIMIZEBOX = 0x00010000;
const DWORD WS_OVERLAPPEDWINDOW = 0x00CF0000;

const UINT CS_DBLCLKS = 0x0008;

const int CW_USEDEFAULT = (int)0x80000000;

// ShowWindow commands.
const int SW_HIDE = 0;
const int SW_SHOWNORMAL = 1;
const int SW_NORMAL = 1;
const int SW_SHOWMINIMIZED = 2;
const int SW_SHOWMAXIMIZED = 3;
const int SW_MAXIMIZE = 3;
const int SW_SHOWNOACTIVATE = 4;
const int SW_SHOW = 5;
const int SW_MINIMIZE = 6;
const int SW_SHOWMINNOACTIVE = 7;
const int SW_SHOWNA = 8;
const int SW_RESTORE = 9;
const int SW_SHOWDEFAULT = 10;

// GetSystemMetrics.
const int SM_CXSCREEN = 0;
const int SM_CYSCREEN = 1;
const int SM_CXDOUBLECLK = 36;
const int SM_CYDOUBLECLK = 37;

// SetWindowPos flags.
const UINT SWP_NOSIZE = 0x0001;
const UINT SWP_NOMOVE = 0x0002;
const UINT SWP_NOZORDER = 0x0004;
const UINT SWP_NOACTIVATE = 0x0010;
const UINT SWP_SHOWWINDOW = 0x0040;
const UINT SWP_HIDEWINDOW = 0x0080;

// SetClassLongA indices.
const int GCL_HCURSOR = -12;
const int GCL_HICON = -14;

// Registers a class; 0 with ERROR_CLASS_ALREADY_EXISTS for a name already
// registered (names compare without case, as on Win32).
ATOM RegisterClassA(const WNDCLASSA* windowClass);

// Creates a window of a registered class (ERROR_CANNOT_FIND_WND_CLASS
// otherwise). The window starts hidden unless WS_VISIBLE is given; WM_CREATE
// (lParam 0) is sent before the call returns, and -1 from it destroys the
// window and fails the call. x, y, width and height are the outer rectangle;
// CW_USEDEFAULT lets the desktop place the window.
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, void* param);

// Hides the window and sends WM_DESTROY, then WM_NCDESTROY; queued messages
// for it are dropped. The SDL window itself lives on while the device layer
// holds it.
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);

// Default handling: WM_CLOSE destroys the window; Alt+F4 becomes
// WM_SYSCOMMAND SC_CLOSE and then WM_CLOSE; SC_MINIMIZE and SC_RESTORE act on
// the window; WM_NCCREATE answers TRUE; everything else answers 0.
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

BOOL ShowWindow(HWND window, int command);
BOOL UpdateWindow(HWND window);
// Records the focus window and returns the previous one; the window is not
// raised (no focus stealing from other programs).
HWND SetFocus(HWND window);
HWND GetFocus();
// This program's window while it has the desktop's input focus, else null
// (another program is in front).
HWND GetForegroundWindow();
BOOL SetWindowTextA(HWND window, LPCSTR text);

// Grows a client rectangle to the outer rectangle, by the border sizes of an
// existing decorated window (0 before any window exists or without a frame).
BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle);
int GetSystemMetrics(int index);

BOOL GetClientRect(HWND window, RECT* rect);
BOOL GetWindowRect(HWND window, RECT* rect);
BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags);
BOOL ClientToScreen(HWND window, POINT* point);
BOOL ScreenToClient(HWND window, POINT* point);

// The program's instance (any module name gives the same handle).
HMODULE GetModuleHandleA(LPCSTR moduleName);
// There are no icon resources on this platform: always null.
HICON LoadIconA(HINSTANCE instance, LPCSTR name);
// Replaces a class value (GCL_HICON, GCL_HCURSOR) and returns the old one.
ULONG_PTR SetClassLongA(HWND window, int index, LONG_PTR value);
