#include "Platform/Win32/WinThreads.h"
#include "Platform/Win32/WinTime.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace {

struct CEvents {
    explicit CEvents(int count)
    {
        for (int i = 0; i < count; i++)
            handles.push_back(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    }
    ~CEvents()
    {
        for (HANDLE h : handles)
            CloseHandle(h);
    }
    std::vector<HANDLE> handles;
};

TEST(WinThreads, WaitForMultipleObjectsGivesTheLowestSignalledIndexAndKeepsManualResetEventsSet)
{
    CEvents events(8);
    for (HANDLE h : events.handles)
        ASSERT_NE(h, nullptr);
    EXPECT_EQ(WaitForMultipleObjects(8, events.handles.data(), FALSE, 0), WAIT_TIMEOUT);

    SetEvent(events.handles[5]);
    SetEvent(events.handles[2]);
    EXPECT_EQ(WaitForMultipleObjects(8, events.handles.data(), FALSE, 0), WAIT_OBJECT_0 + 2);
    // A wait does not reset a manual-reset event.
    EXPECT_EQ(WaitForMultipleObjects(8, events.handles.data(), FALSE, 0), WAIT_OBJECT_0 + 2);
    EXPECT_EQ(WaitForSingleObject(events.handles[5], 0), WAIT_OBJECT_0);

    ResetEvent(events.handles[2]);
    EXPECT_EQ(WaitForMultipleObjects(8, events.handles.data(), FALSE, 0), WAIT_OBJECT_0 + 5);
    ResetEvent(events.handles[5]);
    EXPECT_EQ(WaitForSingleObject(events.handles[5], 0), WAIT_TIMEOUT);

    // An event created set starts signalled.
    HANDLE set = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(set, 0), WAIT_OBJECT_0);
    CloseHandle(set);
}

TEST(WinThreads, WaitsTimeOutAndRejectWhatTheyCannotServe)
{
    CEvents events(2);
    DWORD start = GetTickCount();
    EXPECT_EQ(WaitForMultipleObjects(2, events.handles.data(), FALSE, 30), WAIT_TIMEOUT);
    DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 29u);
    EXPECT_LT(elapsed, 2000u);

    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
    EXPECT_EQ(WaitForMultipleObjects(0, events.handles.data(), FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(WaitForMultipleObjects(2, events.handles.data(), TRUE, 0), WAIT_FAILED);
    // Only manual-reset events exist.
    EXPECT_EQ(CreateEventA(nullptr, FALSE, FALSE, nullptr), nullptr);
}

struct CWaker {
    HANDLE event;
    std::atomic<bool> started{false};
};

void SetAfterAPause(void* argument)
{
    CWaker* waker = static_cast<CWaker*>(argument);
    waker->started = true;
    Sleep(20);
    SetEvent(waker->event);
}

TEST(WinThreads, BlockingWaitWakesWhenAnotherThreadSetsTheEventAndTheThreadIsJoined)
{
    CWaker waker;
    waker.event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = (HANDLE)_beginthread(&SetAfterAPause, 0, &waker);
    ASSERT_NE(thread, (HANDLE)(uintptr_t)-1);
    HANDLE both[2] = {thread, waker.event};
    // The event is set before the thread ends: index 1 wakes the wait first
    // unless the thread already finished too, which gives the lower index 0.
    DWORD woke = WaitForMultipleObjects(2, both, FALSE, 5000);
    EXPECT_TRUE(woke == WAIT_OBJECT_0 || woke == WAIT_OBJECT_0 + 1) << woke;
    EXPECT_EQ(WaitForSingleObject(waker.event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(waker.started);
    // Waiting again on an ended thread is fine: the handle lives until closed.
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
    EXPECT_EQ(CloseHandle(thread), TRUE);
    CloseHandle(waker.event);
}

struct CCounter {
    CRITICAL_SECTION section;
    long value = 0;
};

void CountUnderTheSection(void* argument)
{
    CCounter* counter = static_cast<CCounter*>(argument);
    for (int i = 0; i < 10000; i++) {
        EnterCriticalSection(&counter->section);
        EnterCriticalSection(&counter->section); // the owner may enter again
        counter->value++;
        LeaveCriticalSection(&counter->section);
        LeaveCriticalSection(&counter->section);
    }
}

TEST(WinThreads, CriticalSectionIsReentrantAndExcludesOtherThreads)
{
    CCounter counter;
    InitializeCriticalSection(&counter.section);
    HANDLE threads[4];
    for (HANDLE& thread : threads)
        thread = (HANDLE)_beginthread(&CountUnderTheSection, 0, &counter);
    for (HANDLE thread : threads) {
        EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
        CloseHandle(thread);
    }
    EXPECT_EQ(counter.value, 40000);
    DeleteCriticalSection(&counter.section);
}

TEST(WinThreads, InterlockedExchangeReturnsThePreviousValue)
{
    volatile LONG value = 7;
    EXPECT_EQ(InterlockedExchange(&value, 11), 7);
    EXPECT_EQ(value, 11);
}

void Nothing(void*)
{
}

TEST(WinThreads, ClosingAThreadHandleWithoutWaitingLeavesTheThreadToFinish)
{
    HANDLE thread = (HANDLE)_beginthread(&Nothing, 0, nullptr);
    ASSERT_NE(thread, (HANDLE)(uintptr_t)-1);
    EXPECT_EQ(CloseHandle(thread), TRUE);
    EXPECT_EQ((HANDLE)_beginthread(nullptr, 0, nullptr), (HANDLE)(uintptr_t)-1);
    Sleep(10);
}

} // namespace
