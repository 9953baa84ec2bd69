// The system mouse cursor: position, confinement and shape. Positions are
// desktop coordinates, as on Win32; the layer converts them for the device
// window.
// Public header of the platform layer.
#pragma once

#include "Platform/Win32/WinTypes.h"

#define IDC_ARROW MAKEINTRESOURCEA(32512)

// Confines the pointer to a desktop rectangle (right and bottom exclusive),
// as far as it overlaps the device window's client area; null releases it. A
// pointer outside the new rectangle is moved to its nearest inside point.
BOOL ClipCursor(const RECT* rect);
// The confinement rectangle, or the whole screen when the pointer is free.
BOOL GetClipCursor(RECT* rect);

BOOL GetCursorPos(POINT* point);
// Moves the pointer (kept inside the confinement); a WM_MOUSEMOVE follows.
BOOL SetCursorPos(int x, int y);

// Display counter: the cursor shows while the count is 0 or more. Returns the
// new count.
int ShowCursor(BOOL show);

// Only the arrow exists (instance null, IDC_ARROW); other names give null.
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);
// Null hides the cursor over the window until the next mouse message, when
// the window class's cursor comes back (the program hides it again after
// every mouse message if it draws its own). Returns the previous cursor.
HCURSOR SetCursor(HCURSOR cursor);
