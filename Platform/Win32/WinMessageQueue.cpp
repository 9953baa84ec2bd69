// The thread's message queue. SDL's events are translated into it lazily:
// when a read finds nothing, SDL is asked once; a second empty read in a row
// answers "empty", so the program's "peek until empty" loop ends every frame.
#include <deque>
#include <vector>

#include "Platform/Win32/WinCursor.h"
#include "Platform/Win32/WinErrorText.h"
#include "Platform/Win32/WinInternal.h"
#include "Platform/Win32/WinKeyboard.h"

namespace {

std::deque<WinQueuedMessage> g_queue;
bool g_drainedSinceEmpty = false;

bool Matches(const MSG& msg, HWND window, UINT min, UINT max)
{
    if (window && msg.hwnd != window)
        return false;
    if (min == 0 && max == 0)
        return true;
    return msg.message >= min && msg.message <= max;
}

void FillTimeAndPoint(MSG* msg)
{
    msg->time = SDL_GetTicks();
    msg->pt = {0, 0};
    GetCursorPos(&msg->pt);
}

void DrainSdl()
{
    if (!SDL_WasInit(SDL_INIT_VIDEO))
        return;
    SDL_PumpEvents();
    std::vector<SDL_Event> events;
    SDL_Event batch[64];
    for (;;) {
        int count = SDL_PeepEvents(batch, 64, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT);
        if (count <= 0)
            break;
        events.insert(events.end(), batch, batch + count);
    }
    if (!events.empty())
        WinTranslateSdlEvents(events.data(), (int)events.size());
}

bool IsKeyMessage(UINT message)
{
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN ||
           message == WM_SYSKEYUP;
}

} // namespace

void WinQueueAppend(HWND window, UINT message, WPARAM wParam, LPARAM lParam, BYTE sideVk, Uint16 sdlMod)
{
    WinQueuedMessage entry;
    entry.msg = {window, message, wParam, lParam, 0, {0, 0}};
    FillTimeAndPoint(&entry.msg);
    entry.sideVk = sideVk;
    entry.sdlMod = sdlMod;
    g_queue.push_back(entry);
}

WinQueuedMessage* WinQueueLast()
{
    return g_queue.empty() ? nullptr : &g_queue.back();
}

void WinQueueDropWindow(HWND window)
{
    for (auto it = g_queue.begin(); it != g_queue.end();) {
        if (it->msg.hwnd == window)
            it = g_queue.erase(it);
        else
            ++it;
    }
}

void WinQueueReset()
{
    g_queue.clear();
    g_drainedSinceEmpty = false;
}

BOOL PeekMessageA(MSG* msg, HWND window, UINT min, UINT max, UINT remove)
{
    if (!msg)
        return FALSE;
    for (int attempt = 0; attempt < 2; attempt++) {
        for (auto it = g_queue.begin(); it != g_queue.end(); ++it) {
            if (!Matches(it->msg, window, min, max))
                continue;
            *msg = it->msg;
            if (remove & PM_REMOVE) {
                WinKeyStateOnRead(*it);
                g_queue.erase(it);
            }
            return TRUE;
        }
        if (g_drainedSinceEmpty)
            break;
        DrainSdl();
        g_drainedSinceEmpty = true;
    }
    g_drainedSinceEmpty = false;
    WinCursorApply();
    return FALSE;
}

BOOL TranslateMessage(const MSG* msg)
{
    if (!msg || !IsKeyMessage(msg->message))
        return FALSE;
    if (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) {
        bool shift = GetKeyState(VK_SHIFT) < 0;
        bool ctrl = GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) >= 0;
        int character = WinControlCharacter((int)msg->wParam, shift, ctrl);
        if (character >= 0) {
            // Read next, before any later input, as Windows posts it.
            WinQueuedMessage entry;
            entry.msg = *msg;
            entry.msg.message = msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
            entry.msg.wParam = (WPARAM)character;
            entry.sideVk = 0;
            entry.sdlMod = 0;
            g_queue.push_front(entry);
        }
    }
    return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg)
{
    if (!msg)
        return 0;
    WinWindowRecord* window = WinFindWindow(msg->hwnd);
    if (!window)
        return 0;
    if (msg->message >= WM_MOUSEFIRST && msg->message <= WM_MOUSELAST)
        WinCursorBeforeMouseDispatch(window);
    return window->windowClass->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (window && !WinFindWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    WinQueueAppend(window, message, wParam, lParam);
    return TRUE;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    WinWindowRecord* record = WinFindWindow(window);
    if (!record) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return record->windowClass->proc(window, message, wParam, lParam);
}

void PostQuitMessage(int exitCode)
{
    WinQueueAppend(nullptr, WM_QUIT, (WPARAM)exitCode, 0);
}
