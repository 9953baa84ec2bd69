// Window classes and windows over SDL windows.
#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "Platform/Win32/WinCodePage.h"
#include "Platform/Win32/WinErrorText.h"
#include "Platform/Win32/WinInternal.h"
#include "Platform/Win32/WinKeyboard.h"
#include "Platform/Win32/WinSdl.h"

namespace {

// Records are never freed: a stale handle always finds its destroyed record
// instead of someone else's window, and nested calls (DestroyWindow from
// inside the window's own WM_CLOSE) never see their window vanish.
std::vector<std::unique_ptr<WinClassRecord>> g_classes;
std::vector<std::unique_ptr<WinWindowRecord>> g_windows;
ATOM g_nextAtom = 0xC000;
HWND g_focus = nullptr;

const uintptr_t kHandleBase = 0x10000;
const uintptr_t kHandleStep = 0x10;
// The desktop is handle number 0; windows count from 1.
HWND const kDesktopWindow = (HWND)kHandleBase;
HINSTANCE const kProgramInstance = (HINSTANCE)0x400000;

WinWindowRecord* FindRecord(HWND window)
{
    uintptr_t value = (uintptr_t)window;
    if (value <= kHandleBase || (value - kHandleBase) % kHandleStep != 0)
        return nullptr;
    size_t index = (value - kHandleBase) / kHandleStep - 1;
    return index < g_windows.size() ? g_windows[index].get() : nullptr;
}

WinClassRecord* FindClass(const char* name)
{
    for (auto& windowClass : g_classes) {
        if (strcasecmp(windowClass->name.c_str(), name) == 0)
            return windowClass.get();
    }
    return nullptr;
}

bool IsFramed(DWORD style)
{
    return (style & (WS_CAPTION | WS_THICKFRAME)) != 0;
}

struct Borders {
    int top = 0, left = 0, bottom = 0, right = 0;
};

// Frame sizes depend on the desktop's window manager; they are known once a
// framed window exists.
Borders FrameBorders(DWORD style)
{
    Borders borders;
    if (!IsFramed(style))
        return borders;
    for (auto& window : g_windows) {
        if (window->destroyed || !window->sdl || !IsFramed(window->style))
            continue;
        if (SDL_GetWindowBordersSize(window->sdl, &borders.top, &borders.left, &borders.bottom,
                                     &borders.right) == 0)
            return borders;
        borders = Borders();
    }
    return borders;
}

void ReleaseSdlWindowIfUnused(WinWindowRecord* window)
{
    if (window->destroyed && window->sdlHolders <= 0 && window->sdl) {
        SDL_DestroyWindow(window->sdl);
        window->sdl = nullptr;
    }
}

SDL_Window* CreateSdlWindow(const char* title, int x, int y, int width, int height, DWORD style)
{
    Uint32 flags = SDL_WINDOW_HIDDEN;
    if (!(style & WS_CAPTION))
        flags |= SDL_WINDOW_BORDERLESS;
    if (style & WS_THICKFRAME)
        flags |= SDL_WINDOW_RESIZABLE;
    std::string utf8 = Cp1251ToUtf8(title);
    SDL_Window* window = SDL_CreateWindow(utf8.c_str(), x, y, width, height, flags | SDL_WINDOW_OPENGL);
    if (!window) {
        // A display without GL still gets its window; only the device will fail.
        fprintf(stderr, "CreateWindowExA: no GL window (%s)\n", SDL_GetError());
        window = SDL_CreateWindow(utf8.c_str(), x, y, width, height, flags);
    }
    return window;
}

} // namespace

bool WinEnsureSdlVideo()
{
    if (SDL_WasInit(SDL_INIT_VIDEO))
        return true;
    // SDL_QUIT then only comes from a signal; closing the window is WM_CLOSE.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        fprintf(stderr, "SDL video: %s\n", SDL_GetError());
        return false;
    }
    // Keep the GL driver loaded for the whole run: SDL would otherwise unload
    // it with the last GL window, and a device re-created later would load it
    // again. Failing is fine here; window creation then goes without GL.
    SDL_GL_LoadLibrary(nullptr);
    // Without a display SDL falls back to drawing off screen on its own; say
    // so, or a player who started the game on such a machine sees nothing.
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!getenv("SDL_VIDEODRIVER") && driver && strcmp(driver, "offscreen") == 0)
        fprintf(stderr, "No display found: windows are drawn off screen.\n");
    return true;
}

WinWindowRecord* WinFindWindow(HWND window)
{
    WinWindowRecord* record = FindRecord(window);
    return record && !record->destroyed ? record : nullptr;
}

WinWindowRecord* WinFindWindowBySdlId(Uint32 sdlId)
{
    for (auto& window : g_windows) {
        if (!window->destroyed && window->sdlId == sdlId)
            return window.get();
    }
    return nullptr;
}

WinWindowRecord* WinMainWindow()
{
    for (auto& window : g_windows) {
        if (!window->destroyed)
            return window.get();
    }
    return nullptr;
}

void WinClientOrigin(const WinWindowRecord* window, int* x, int* y)
{
    *x = 0;
    *y = 0;
    if (window && window->sdl)
        SDL_GetWindowPosition(window->sdl, x, y);
}

SDL_Window* WinGetSdlWindow(HWND window)
{
    WinWindowRecord* record = FindRecord(window);
    return record ? record->sdl : nullptr;
}

SDL_Window* WinRetainSdlWindow(HWND window)
{
    WinWindowRecord* record = FindRecord(window);
    if (!record || !record->sdl)
        return nullptr;
    record->sdlHolders++;
    return record->sdl;
}

void WinReleaseSdlWindow(SDL_Window* sdlWindow)
{
    for (auto& window : g_windows) {
        if (sdlWindow && window->sdl == sdlWindow) {
            window->sdlHolders--;
            ReleaseSdlWindowIfUnused(window.get());
            return;
        }
    }
}

ATOM RegisterClassA(const WNDCLASSA* windowClass)
{
    if (!windowClass || !windowClass->lpszClassName || !windowClass->lpfnWndProc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (FindClass(windowClass->lpszClassName)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    std::unique_ptr<WinClassRecord> record(new WinClassRecord());
    record->name = windowClass->lpszClassName;
    record->atom = g_nextAtom++;
    record->style = windowClass->style;
    record->proc = windowClass->lpfnWndProc;
    record->cursor = windowClass->hCursor;
    record->icon = windowClass->hIcon;
    g_classes.push_back(std::move(record));
    return g_classes.back()->atom;
}

HWND CreateWindowExA(DWORD /*exStyle*/, LPCSTR className, LPCSTR title, DWORD style, int x, int y,
                     int width, int height, HWND /*parent*/, HMENU /*menu*/, HINSTANCE /*instance*/,
                     void* /*param*/)
{
    WinClassRecord* windowClass = className ? FindClass(className) : nullptr;
    if (!windowClass) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    if (!WinEnsureSdlVideo()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }

    Borders borders = FrameBorders(style);
    int clientX = x == CW_USEDEFAULT ? (int)SDL_WINDOWPOS_UNDEFINED : x + borders.left;
    int clientY = x == CW_USEDEFAULT ? (int)SDL_WINDOWPOS_UNDEFINED : y + borders.top;
    int clientWidth = width == CW_USEDEFAULT ? 640 : width - borders.left - borders.right;
    int clientHeight = width == CW_USEDEFAULT ? 480 : height - borders.top - borders.bottom;
    if (clientWidth < 1)
        clientWidth = 1;
    if (clientHeight < 1)
        clientHeight = 1;

    SDL_Window* sdl = CreateSdlWindow(title ? title : "", clientX, clientY, clientWidth, clientHeight, style);
    if (!sdl) {
        fprintf(stderr, "CreateWindowExA: %s\n", SDL_GetError());
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }

    std::unique_ptr<WinWindowRecord> record(new WinWindowRecord());
    record->handle = (HWND)(kHandleBase + kHandleStep * (g_windows.size() + 1));
    record->windowClass = windowClass;
    record->sdl = sdl;
    record->sdlId = SDL_GetWindowID(sdl);
    record->style = style;
    record->destroyed = false;
    record->sdlHolders = 0;
    record->minimized = false;
    record->maximized = false;
    record->scaledWidth = 0;
    record->scaledHeight = 0;
    SDL_GetWindowSize(sdl, &record->clientWidth, &record->clientHeight);
    HWND handle = record->handle;
    g_windows.push_back(std::move(record));

    // Typed characters arrive as text input; be explicit, whatever SDL's default.
    SDL_StartTextInput();

    if (SendMessageA(handle, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(handle);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (style & WS_VISIBLE)
        ShowWindow(handle, SW_SHOWNORMAL);
    return handle;
}

BOOL DestroyWindow(HWND window)
{
    WinWindowRecord* record = WinFindWindow(window);
    if (!record) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (record->sdl)
        SDL_HideWindow(record->sdl);
    SendMessageA(window, WM_DESTROY, 0, 0);
    SendMessageA(window, WM_NCDESTROY, 0, 0);
    record->destroyed = true;
    WinQueueDropWindow(window);
    if (g_focus == window)
        g_focus = nullptr;
    ReleaseSdlWindowIfUnused(record);
    return TRUE;
}

BOOL IsWindow(HWND window)
{
    return WinFindWindow(window) != nullptr;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    WinWindowRecord* record = WinFindWindow(window);
    switch (message) {
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_NCCREATE:
        return TRUE;
    case WM_SYSKEYDOWN:
        if (wParam == (WPARAM)VK_F4 && (lParam & KEY_LPARAM_ALT_DOWN))
            SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_CLOSE:
            SendMessageA(window, WM_CLOSE, 0, 0);
            break;
        case SC_MINIMIZE:
            if (record && record->sdl)
                SDL_MinimizeWindow(record->sdl);
            break;
        case SC_MAXIMIZE:
            if (record && record->sdl)
                SDL_MaximizeWindow(record->sdl);
            break;
        case SC_RESTORE:
            if (record && record->sdl)
                SDL_RestoreWindow(record->sdl);
            break;
        default:
            break;
        }
        return 0;
    default:
        return 0;
    }
}

BOOL ShowWindow(HWND window, int command)
{
    WinWindowRecord* record = WinFindWindow(window);
    if (!record || !record->sdl)
        return FALSE;
    BOOL wasVisible = (SDL_GetWindowFlags(record->sdl) & SDL_WINDOW_SHOWN) ? TRUE : FALSE;
    switch (command) {
    case SW_HIDE:
        SDL_HideWindow(record->sdl);
        break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
        SDL_ShowWindow(record->sdl);
        SDL_MinimizeWindow(record->sdl);
        break;
    case SW_SHOWMAXIMIZED:
        SDL_ShowWindow(record->sdl);
        SDL_MaximizeWindow(record->sdl);
        break;
    case SW_SHOWNORMAL:
    case SW_RESTORE:
    case SW_SHOWDEFAULT:
        SDL_ShowWindow(record->sdl);
        if (SDL_GetWindowFlags(record->sdl) & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_MAXIMIZED))
            SDL_RestoreWindow(record->sdl);
        break;
    default: // SW_SHOW, SW_SHOWNA, SW_SHOWNOACTIVATE
        SDL_ShowWindow(record->sdl);
        break;
    }
    return wasVisible;
}

BOOL UpdateWindow(HWND window)
{
    // Nothing is painted through messages: the device draws every frame.
    return WinFindWindow(window) ? TRUE : FALSE;
}

HWND SetFocus(HWND window)
{
    HWND previous = g_focus;
    if (!window || WinFindWindow(window))
        g_focus = window;
    return previous;
}

HWND GetFocus()
{
    return g_focus;
}

HWND GetForegroundWindow()
{
    for (auto& window : g_windows) {
        if (!window->destroyed && window->sdl && (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_INPUT_FOCUS))
            return window->handle;
    }
    return nullptr;
}

BOOL SetWindowTextA(HWND window, LPCSTR text)
{
    WinWindowRecord* record = WinFindWindow(window);
    if (!record || !record->sdl)
        return FALSE;
    SDL_SetWindowTitle(record->sdl, Cp1251ToUtf8(text ? text : "").c_str());
    return TRUE;
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL /*menu*/, DWORD /*exStyle*/)
{
    if (!rect)
        return FALSE;
    Borders borders = FrameBorders(style);
    rect->left -= borders.left;
    rect->top -= borders.top;
    rect->right += borders.right;
    rect->bottom += borders.bottom;
    return TRUE;
}

int GetSystemMetrics(int index)
{
    switch (index) {
    case SM_CXSCREEN:
    case SM_CYSCREEN: {
        SDL_Rect bounds;
        if (!WinEnsureSdlVideo() || SDL_GetDisplayBounds(0, &bounds) != 0)
            return 0;
        return index == SM_CXSCREEN ? bounds.w : bounds.h;
    }
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
        return 4;
    default:
        return 0;
    }
}

BOOL GetClientRect(HWND window, RECT* rect)
{
    WinWindowRecord* record = WinFindWindow(window);
    if (!record || !rect || !record->sdl) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    int width = 0, height = 0;
    if (record->scaledWidth > 0)
        WinClientSize(record, &width, &height);
    else
        SDL_GetWindowSize(record->sdl, &width, &height);
    *rect = {0, 0, width, height};
    return TRUE;
}

BOOL GetWindowRect(HWND window, RECT* rect)
{
    if (!GetClientRect(window, rect))
        return FALSE;
    WinWindowRecord* record = WinFindWindow(window);
    int x, y;
    WinClientOrigin(record, &x, &y);
    Borders borders = FrameBorders(record->style);
    *rect = {x - borders.left, y - borders.top, x + rect->right + borders.right,
             y + rect->bottom + borders.bottom};
    return TRUE;
}

BOOL SetWindowPos(HWND window, HWND /*insertAfter*/, int x, int y, int width, int height, UINT flags)
{
    WinWindowRecord* record = WinFindWindow(window);
    if (!record || !record->sdl)
        return FALSE;
    Borders borders = FrameBorders(record->style);
    if (!(flags & SWP_NOMOVE))
        SDL_SetWindowPosition(record->sdl, x + borders.left, y + borders.top);
    if (!(flags & SWP_NOSIZE)) {
        int clientWidth = width - borders.left - borders.right;
        int clientHeight = height - borders.top - borders.bottom;
        SDL_SetWindowSize(record->sdl, clientWidth > 1 ? clientWidth : 1, clientHeight > 1 ? clientHeight : 1);
    }
    if (flags & SWP_SHOWWINDOW)
        SDL_ShowWindow(record->sdl);
    if (flags & SWP_HIDEWINDOW)
        SDL_HideWindow(record->sdl);
    return TRUE;
}

// Moves a point by the client origin: +1 client to desktop, -1 back.
static BOOL ShiftByClientOrigin(HWND window, POINT* point, int direction)
{
    WinWindowRecord* record = WinFindWindow(window);
    if (!record || !point)
        return FALSE;
    int x, y;
    WinClientOrigin(record, &x, &y);
    point->x += direction * x;
    point->y += direction * y;
    return TRUE;
}

BOOL ClientToScreen(HWND window, POINT* point)
{
    return ShiftByClientOrigin(window, point, 1);
}

BOOL ScreenToClient(HWND window, POINT* point)
{
    return ShiftByClientOrigin(window, point, -1);
}

HMODULE GetModuleHandleA(LPCSTR /*moduleName*/)
{
    return kProgramInstance;
}

HICON LoadIconA(HINSTANCE /*instance*/, LPCSTR /*name*/)
{
    return nullptr;
}

ULONG_PTR SetClassLongA(HWND window, int index, LONG_PTR value)
{
    WinWindowRecord* record = WinFindWindow(window);
    if (!record)
        return 0;
    WinClassRecord* windowClass = record->windowClass;
    ULONG_PTR previous = 0;
    if (index == GCL_HICON) {
        previous = (ULONG_PTR)windowClass->icon;
        windowClass->icon = (HICON)value;
    } else if (index == GCL_HCURSOR) {
        previous = (ULONG_PTR)windowClass->cursor;
        windowClass->cursor = (HCURSOR)value;
    }
    return previous;
}

HWND GetDesktopWindow()
{
    return kDesktopWindow;
}
