#include "Platform/Win32/WinTime.h"

#include <sched.h>

#include <cerrno>
#include <ctime>

void Sleep(DWORD milliseconds)
{
    if (milliseconds == 0) {
        sched_yield();
        return;
    }
    timespec wait;
    wait.tv_sec = milliseconds / 1000;
    wait.tv_nsec = (long)(milliseconds % 1000) * 1000000L;
    // A signal handler may cut the wait short; sleep out the rest.
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

DWORD GetTickCount()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (DWORD)((uint64_t)now.tv_sec * 1000u + (uint64_t)now.tv_nsec / 1000000u);
}
