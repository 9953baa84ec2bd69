// The monotonic high-resolution counter that stands in for Win32's performance
// counter: a tick count and the number of ticks per second.
// Public header of the platform layer.
#pragma once

#include <cstdint>

int64_t Sys_QueryPerformanceCounter();
int64_t Sys_QueryPerformanceFrequency();
