// Public header of the platform layer: the Win32 threads, critical sections and
// events that the sound code streams with, on the C++ thread library.
//
// Choices:
// - Events are manual-reset only (the only kind the engine creates); a wait
//   never changes an event's state.
// - A _beginthread handle stays valid until CloseHandle, whether or not the
//   thread has ended, so waiting on it after the thread finished is safe (on
//   Windows the handle closes itself when the thread ends). Waiting on it
//   joins the thread.
// - Critical sections are re-entrant for their owner, as on Windows.
#pragma once

#include "Platform/Win32/WinTypes.h"

#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED_0 0x00000080u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu
#define MAXIMUM_WAIT_OBJECTS 64

class CWinCriticalSectionImpl;

// Declared by value by its owner; InitializeCriticalSection makes it usable and
// DeleteCriticalSection frees what it holds.
struct CRITICAL_SECTION {
    CWinCriticalSectionImpl* impl;
};
typedef CRITICAL_SECTION* LPCRITICAL_SECTION;

void InitializeCriticalSection(CRITICAL_SECTION* section);
void EnterCriticalSection(CRITICAL_SECTION* section);
void LeaveCriticalSection(CRITICAL_SECTION* section);
void DeleteCriticalSection(CRITICAL_SECTION* section);

// Security attributes and the name are not supported: pass nulls. Automatic
// reset is not supported (manualReset must be TRUE): null is returned otherwise.
HANDLE CreateEventA(void* securityAttributes, BOOL manualReset, BOOL initialState, LPCSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// Closes an event or thread handle. Closing a thread handle does not end the
// thread; a thread nobody waited for is detached.
BOOL CloseHandle(HANDLE handle);

// WAIT_OBJECT_0 once the event is set or the thread has ended, WAIT_TIMEOUT
// after the time-out (0 only tests), WAIT_FAILED for a null handle.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
// Waits for any of count handles (waitAll must be FALSE): WAIT_OBJECT_0 plus the
// lowest index that is signalled, WAIT_TIMEOUT, or WAIT_FAILED for bad arguments.
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds);

// Starts a thread running start(argument); stackSize 0 is the default.
// Returns the thread's handle, or (uintptr_t)-1 when no thread could start.
uintptr_t _beginthread(void (*start)(void*), unsigned stackSize, void* argument);

// Atomically stores value and returns the previous value, with a full barrier.
LONG InterlockedExchange(volatile LONG* target, LONG value);
