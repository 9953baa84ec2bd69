// The system cursor over the device window: position, confinement, shape.
//
// Win32 puts the class cursor back at every mouse move, and the program hides
// it again after each mouse message while it draws its own. Doing both
// through SDL would make a pair of X11 calls per move, so the wanted shape is
// only recorded here and applied once, when the message queue runs dry.
#include "Platform/Win32/WinCursor.h"

#include "Platform/Win32/WinInternal.h"
#include "Platform/Win32/WinSdl.h"
#include "Platform/Win32/WinWindow.h"

namespace {

HCURSOR const kArrowCursor = (HCURSOR)(uintptr_t)32512;

struct CursorState {
    bool clipActive = false;
    bool clipSuspended = false;
    RECT clipRect = {0, 0, 0, 0};
    int showCount = 0;
    HCURSOR wanted = kArrowCursor;
    bool shownBySdl = true;
    int clientX = 0;
    int clientY = 0;
};

CursorState g_cursor;

SDL_Window* DeviceSdlWindow(WinWindowRecord** record)
{
    *record = WinMainWindow();
    return *record ? (*record)->sdl : nullptr;
}

void ReleaseSdlConfinement()
{
    WinWindowRecord* record;
    if (SDL_Window* window = DeviceSdlWindow(&record)) {
        SDL_SetWindowMouseRect(window, nullptr);
        SDL_SetWindowMouseGrab(window, SDL_FALSE);
    }
}

int Clamp(int value, int low, int high)
{
    if (value > high)
        value = high;
    return value < low ? low : value;
}

// The desktop rectangle as SDL window pixels over the client area (through
// the full-screen scaling when it is on).
void ApplySdlConfinement()
{
    WinWindowRecord* record;
    SDL_Window* window = DeviceSdlWindow(&record);
    if (!window)
        return;
    int originX, originY;
    WinClientOrigin(record, &originX, &originY);
    RECT client = {g_cursor.clipRect.left - originX, g_cursor.clipRect.top - originY,
                   g_cursor.clipRect.right - originX, g_cursor.clipRect.bottom - originY};
    SDL_Rect rect = WinMapSdlRect(record, client);
    if (rect.w <= 0 || rect.h <= 0)
        return;
    if (SDL_SetWindowMouseRect(window, &rect) != 0)
        SDL_SetWindowMouseGrab(window, SDL_TRUE);
}

void ClampIntoClip(int* x, int* y)
{
    if (!g_cursor.clipActive)
        return;
    *x = Clamp(*x, g_cursor.clipRect.left, g_cursor.clipRect.right - 1);
    *y = Clamp(*y, g_cursor.clipRect.top, g_cursor.clipRect.bottom - 1);
}

} // namespace

BOOL ClipCursor(const RECT* rect)
{
    if (!rect) {
        g_cursor.clipActive = false;
        ReleaseSdlConfinement();
        return TRUE;
    }
    RECT clip = *rect;
    if (clip.right < clip.left)
        clip.right = clip.left;
    if (clip.bottom < clip.top)
        clip.bottom = clip.top;
    g_cursor.clipRect = clip;
    g_cursor.clipActive = true;
    if (!g_cursor.clipSuspended)
        ApplySdlConfinement();

    POINT position;
    GetCursorPos(&position);
    int x = position.x, y = position.y;
    ClampIntoClip(&x, &y);
    if (x != position.x || y != position.y)
        SetCursorPos(x, y);
    return TRUE;
}

BOOL GetClipCursor(RECT* rect)
{
    if (!rect)
        return FALSE;
    if (g_cursor.clipActive)
        *rect = g_cursor.clipRect;
    else
        *rect = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return TRUE;
}

void WinSuspendCursorClip()
{
    if (g_cursor.clipActive && !g_cursor.clipSuspended)
        ReleaseSdlConfinement();
    g_cursor.clipSuspended = true;
}

void WinResumeCursorClip()
{
    g_cursor.clipSuspended = false;
    if (g_cursor.clipActive)
        ApplySdlConfinement();
}

BOOL GetCursorPos(POINT* point)
{
    if (!point)
        return FALSE;
    int originX, originY;
    WinClientOrigin(WinMainWindow(), &originX, &originY);
    point->x = originX + g_cursor.clientX;
    point->y = originY + g_cursor.clientY;
    return TRUE;
}

BOOL SetCursorPos(int x, int y)
{
    ClampIntoClip(&x, &y);
    WinWindowRecord* record;
    SDL_Window* window = DeviceSdlWindow(&record);
    if (!window)
        return FALSE;
    int originX, originY;
    WinClientOrigin(record, &originX, &originY);
    g_cursor.clientX = x - originX;
    g_cursor.clientY = y - originY;
    int windowX, windowY;
    WinMapSdlPosition(record, g_cursor.clientX, g_cursor.clientY, &windowX, &windowY);
    // Full screen: the pointer cannot leave the image, so it is where the
    // move that follows the warp will report it.
    if (record->scaledWidth > 0)
        WinMapClientPosition(record, windowX, windowY, &g_cursor.clientX, &g_cursor.clientY);
    SDL_WarpMouseInWindow(window, windowX, windowY);
    return TRUE;
}

void WinCursorSetClientPosition(int x, int y)
{
    g_cursor.clientX = x;
    g_cursor.clientY = y;
}

int ShowCursor(BOOL show)
{
    g_cursor.showCount += show ? 1 : -1;
    return g_cursor.showCount;
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name)
{
    return !instance && name == IDC_ARROW ? kArrowCursor : nullptr;
}

HCURSOR SetCursor(HCURSOR cursor)
{
    HCURSOR previous = g_cursor.wanted;
    g_cursor.wanted = cursor;
    return previous;
}

void WinCursorBeforeMouseDispatch(const WinWindowRecord* window)
{
    if (window->windowClass->cursor)
        g_cursor.wanted = window->windowClass->cursor;
}

void WinCursorApply()
{
    bool visible = g_cursor.wanted && g_cursor.showCount >= 0;
    if (visible == g_cursor.shownBySdl || !SDL_WasInit(SDL_INIT_VIDEO))
        return;
    SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
    g_cursor.shownBySdl = visible;
}

void WinCursorReset()
{
    if (g_cursor.clipActive)
        ReleaseSdlConfinement();
    bool shown = g_cursor.shownBySdl;
    g_cursor = CursorState();
    g_cursor.shownBySdl = shown;
}
