// The display's gamma ramp, set through the desktop's device context. The
// ramp is kept by the window layer and applied by the device when it puts the
// frame on screen, so it only ever affects this program's window.
// Public header of the platform layer.
#pragma once

#include "Platform/Win32/WinTypes.h"

HWND GetDesktopWindow();
// A device context of the desktop (the only kind the program asks for).
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);

// ramp: WORD[3][256], red, green and blue; full scale 65535.
BOOL SetDeviceGammaRamp(HDC dc, const void* ramp);
BOOL GetDeviceGammaRamp(HDC dc, void* ramp);
