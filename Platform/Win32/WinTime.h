// The two kernel timing calls the device and game code use directly.
// Public header of the platform layer.
#pragma once

#include "Platform/Win32/WinTypes.h"

// Suspends the calling thread for at least the given milliseconds; 0 yields.
void Sleep(DWORD milliseconds);

// Milliseconds of a monotonic clock; wraps around after about 49.7 days.
DWORD GetTickCount();
