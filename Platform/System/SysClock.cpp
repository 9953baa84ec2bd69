#include "Platform/System/SysClock.h"

#include <time.h>

// CLOCK_MONOTONIC never jumps with wall-clock changes, which is what a frame
// timer needs; its ticks are nanoseconds.
static const int64_t kNanosecondsPerSecond = 1000000000;

int64_t Sys_QueryPerformanceCounter()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * kNanosecondsPerSecond + ts.tv_nsec;
}

int64_t Sys_QueryPerformanceFrequency()
{
    return kNanosecondsPerSecond;
}
