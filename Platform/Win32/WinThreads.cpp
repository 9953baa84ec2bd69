#include "Platform/Win32/WinThreads.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

class CWinCriticalSectionImpl {
public:
    std::recursive_mutex mutex;
};

void InitializeCriticalSection(CRITICAL_SECTION* section)
{
    section->impl = new CWinCriticalSectionImpl;
}

void EnterCriticalSection(CRITICAL_SECTION* section)
{
    section->impl->mutex.lock();
}

void LeaveCriticalSection(CRITICAL_SECTION* section)
{
    section->impl->mutex.unlock();
}

void DeleteCriticalSection(CRITICAL_SECTION* section)
{
    delete section->impl;
    section->impl = nullptr;
}

namespace {

// Every blocking wait sleeps on one condition variable. Setting a state takes
// the mutex only while someone blocks, so the sound mixer, which sets events
// from the audio thread, and the zero time-out polls of the streaming thread
// cost one atomic operation each.
std::mutex g_waitMutex;
std::condition_variable g_waitCondition;
std::atomic<int> g_blockedWaiters{0};

// An event or a thread: something with a signalled state that handles name.
class CWinWaitable {
public:
    explicit CWinWaitable(bool signalled) : m_signalled(signalled) {}
    virtual ~CWinWaitable() = default;

    bool IsSignalled() const { return m_signalled.load(); }

    void SetSignalled(bool signalled)
    {
        m_signalled.store(signalled);
        if (signalled && g_blockedWaiters.load() > 0) {
            // The lock orders this wake-up after a waiter's last look at the
            // state: no waiter can miss it.
            std::lock_guard<std::mutex> lock(g_waitMutex);
            g_waitCondition.notify_all();
        }
    }

    void AddRef() { m_refs.fetch_add(1); }
    void Release()
    {
        if (m_refs.fetch_sub(1) == 1)
            delete this;
    }

    // Called by CloseHandle before it drops the handle's reference.
    virtual void OnClose() {}
    // Called after a successful wait on this object alone.
    virtual void OnWaited() {}

private:
    std::atomic<bool> m_signalled;
    std::atomic<int> m_refs{1};
};

class CWinEvent : public CWinWaitable {
public:
    explicit CWinEvent(bool initial) : CWinWaitable(initial) {}
};

// Signalled once the thread's function has returned.
class CWinThread : public CWinWaitable {
public:
    CWinThread() : CWinWaitable(false) {}

    void Start(void (*start)(void*), void* argument)
    {
        AddRef(); // the running thread's own reference
        m_thread = std::thread([this, start, argument]() {
            start(argument);
            SetSignalled(true);
            Release();
        });
    }

    void OnWaited() override { Join(); }

    void OnClose() override
    {
        std::lock_guard<std::mutex> lock(m_joinMutex);
        if (!m_thread.joinable())
            return;
        if (IsSignalled())
            m_thread.join();
        else
            m_thread.detach();
    }

private:
    void Join()
    {
        std::lock_guard<std::mutex> lock(m_joinMutex);
        if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
            m_thread.join();
    }

    std::mutex m_joinMutex;
    std::thread m_thread;
};

CWinWaitable* AsWaitable(HANDLE handle)
{
    return static_cast<CWinWaitable*>(handle);
}

// The lowest signalled index, or -1.
int FirstSignalled(DWORD count, const HANDLE* handles)
{
    for (DWORD i = 0; i < count; i++) {
        if (AsWaitable(handles[i])->IsSignalled())
            return (int)i;
    }
    return -1;
}

DWORD WaitForAny(DWORD count, const HANDLE* handles, DWORD milliseconds)
{
    int found = FirstSignalled(count, handles);
    if (found >= 0 || milliseconds == 0)
        return found >= 0 ? WAIT_OBJECT_0 + (DWORD)found : WAIT_TIMEOUT;

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    std::unique_lock<std::mutex> lock(g_waitMutex);
    g_blockedWaiters.fetch_add(1);
    for (;;) {
        found = FirstSignalled(count, handles);
        if (found >= 0)
            break;
        if (milliseconds == INFINITE) {
            g_waitCondition.wait(lock);
        } else if (g_waitCondition.wait_until(lock, deadline) == std::cv_status::timeout) {
            found = FirstSignalled(count, handles);
            break;
        }
    }
    g_blockedWaiters.fetch_sub(1);
    return found >= 0 ? WAIT_OBJECT_0 + (DWORD)found : WAIT_TIMEOUT;
}

} // namespace

HANDLE CreateEventA(void* securityAttributes, BOOL manualReset, BOOL initialState, LPCSTR name)
{
    if (securityAttributes || name || !manualReset)
        return nullptr;
    return static_cast<CWinWaitable*>(new (std::nothrow) CWinEvent(initialState != FALSE));
}

BOOL SetEvent(HANDLE event)
{
    if (!event)
        return FALSE;
    AsWaitable(event)->SetSignalled(true);
    return TRUE;
}

BOOL ResetEvent(HANDLE event)
{
    if (!event)
        return FALSE;
    AsWaitable(event)->SetSignalled(false);
    return TRUE;
}

BOOL CloseHandle(HANDLE handle)
{
    if (!handle)
        return FALSE;
    CWinWaitable* object = AsWaitable(handle);
    object->OnClose();
    object->Release();
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    if (!handle)
        return WAIT_FAILED;
    DWORD result = WaitForAny(1, &handle, milliseconds);
    if (result == WAIT_OBJECT_0)
        AsWaitable(handle)->OnWaited();
    return result;
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds)
{
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles || waitAll)
        return WAIT_FAILED;
    for (DWORD i = 0; i < count; i++) {
        if (!handles[i])
            return WAIT_FAILED;
    }
    return WaitForAny(count, handles, milliseconds);
}

uintptr_t _beginthread(void (*start)(void*), unsigned stackSize, void* argument)
{
    // The C++ thread library chooses the stack size; engine threads ask for 0.
    (void)stackSize;
    if (!start)
        return (uintptr_t)-1;
    CWinThread* thread = new (std::nothrow) CWinThread;
    if (!thread)
        return (uintptr_t)-1;
    try {
        thread->Start(start, argument);
    } catch (const std::system_error&) {
        thread->Release(); // the reference Start took for the thread
        thread->Release();
        return (uintptr_t)-1;
    }
    return (uintptr_t) static_cast<CWinWaitable*>(thread);
}

LONG InterlockedExchange(volatile LONG* target, LONG value)
{
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
