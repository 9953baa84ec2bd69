// Full screen: the device shows its back buffer scaled into the window, and
// the window layer maps the pointer back onto the back buffer, so the engine
// keeps seeing a client area the size of its back buffer.
#include <cstdint>

#include "Platform/Win32/WinInternal.h"
#include "Platform/Win32/WinSdl.h"

namespace {

int Clamp(int value, int low, int high)
{
    if (value > high)
        value = high;
    return value < low ? low : value;
}

// The back-buffer pixel whose scaled image covers the centre of window pixel
// `position`, clamped to the back buffer.
int ToSource(int position, int destStart, int destLength, int sourceLength)
{
    int64_t twice = 2 * (int64_t)(position - destStart) + 1;
    int64_t source = twice < 0 ? -1 : twice * sourceLength / (2 * (int64_t)destLength);
    return Clamp((int)source, 0, sourceLength - 1);
}

} // namespace

SDL_Rect WinLetterbox(int sourceWidth, int sourceHeight, int areaWidth, int areaHeight)
{
    SDL_Rect rect = {0, 0, 0, 0};
    if (sourceWidth <= 0 || sourceHeight <= 0 || areaWidth <= 0 || areaHeight <= 0)
        return rect;
    // Rounded to the nearest pixel, never below one.
    int64_t sw = sourceWidth, sh = sourceHeight, aw = areaWidth, ah = areaHeight;
    if (aw * sh <= ah * sw) {
        rect.w = areaWidth;
        rect.h = (int)((2 * aw * sh + sw) / (2 * sw));
    } else {
        rect.h = areaHeight;
        rect.w = (int)((2 * ah * sw + sh) / (2 * sh));
    }
    rect.w = Clamp(rect.w, 1, areaWidth);
    rect.h = Clamp(rect.h, 1, areaHeight);
    rect.x = (areaWidth - rect.w) / 2;
    rect.y = (areaHeight - rect.h) / 2;
    return rect;
}

void WinSetBackBufferScaling(SDL_Window* window, int width, int height)
{
    WinWindowRecord* record = window ? WinFindWindowBySdlId(SDL_GetWindowID(window)) : nullptr;
    if (!record)
        return;
    bool scaled = width > 0 && height > 0;
    record->scaledWidth = scaled ? width : 0;
    record->scaledHeight = scaled ? height : 0;
}

void WinMapClientPosition(const WinWindowRecord* window, int x, int y, int* clientX, int* clientY)
{
    if (window->scaledWidth > 0) {
        SDL_Rect dest = WinLetterbox(window->scaledWidth, window->scaledHeight, window->clientWidth,
                                     window->clientHeight);
        if (dest.w > 0) {
            *clientX = ToSource(x, dest.x, dest.w, window->scaledWidth);
            *clientY = ToSource(y, dest.y, dest.h, window->scaledHeight);
            return;
        }
    }
    *clientX = Clamp(x, 0, window->clientWidth - 1);
    *clientY = Clamp(y, 0, window->clientHeight - 1);
}

void WinClientSize(const WinWindowRecord* window, int* width, int* height)
{
    bool scaled = window->scaledWidth > 0;
    *width = scaled ? window->scaledWidth : window->clientWidth;
    *height = scaled ? window->scaledHeight : window->clientHeight;
}
