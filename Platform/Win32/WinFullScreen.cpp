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

// The window pixel that shows the centre of back-buffer pixel `position`
// (clamped to the back buffer); ToSource maps it back to the same pixel
// whenever the image is at least as large as the back buffer.
int ToWindow(int position, int destStart, int destLength, int sourceLength)
{
    int64_t twice = 2 * (int64_t)Clamp(position, 0, sourceLength - 1) + 1;
    return destStart + (int)(twice * destLength / (2 * (int64_t)sourceLength));
}

// The first window pixel whose centre lies at or past back-buffer edge
// `edge`: the window pixels from ToWindowEdge(a) up to, not including,
// ToWindowEdge(b) are exactly those ToSource maps into a .. b - 1.
int ToWindowEdge(int edge, int destStart, int destLength, int sourceLength)
{
    // ceil((2 edge destLength - sourceLength) / (2 sourceLength)); the
    // numerator is at least -sourceLength, so the biased division rounds up.
    int64_t source = sourceLength;
    int64_t numerator = 2 * (int64_t)Clamp(edge, 0, sourceLength) * destLength - source;
    return destStart + (int)((numerator + 2 * source - 1) / (2 * source));
}

// The image of the back buffer in the window while the device scales.
bool ScaledImage(const WinWindowRecord* window, SDL_Rect* dest)
{
    if (window->scaledWidth <= 0)
        return false;
    *dest = WinLetterbox(window->scaledWidth, window->scaledHeight, window->clientWidth, window->clientHeight);
    return dest->w > 0;
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
    SDL_Rect dest;
    if (ScaledImage(window, &dest)) {
        *clientX = ToSource(x, dest.x, dest.w, window->scaledWidth);
        *clientY = ToSource(y, dest.y, dest.h, window->scaledHeight);
        return;
    }
    *clientX = Clamp(x, 0, window->clientWidth - 1);
    *clientY = Clamp(y, 0, window->clientHeight - 1);
}

void WinMapSdlPosition(const WinWindowRecord* window, int clientX, int clientY, int* x, int* y)
{
    SDL_Rect dest;
    if (ScaledImage(window, &dest)) {
        *x = ToWindow(clientX, dest.x, dest.w, window->scaledWidth);
        *y = ToWindow(clientY, dest.y, dest.h, window->scaledHeight);
        return;
    }
    *x = clientX;
    *y = clientY;
}

SDL_Rect WinMapSdlRect(const WinWindowRecord* window, const RECT& client)
{
    SDL_Rect dest;
    int left, top, right, bottom;
    if (ScaledImage(window, &dest)) {
        left = ToWindowEdge(client.left, dest.x, dest.w, window->scaledWidth);
        top = ToWindowEdge(client.top, dest.y, dest.h, window->scaledHeight);
        right = ToWindowEdge(client.right, dest.x, dest.w, window->scaledWidth);
        bottom = ToWindowEdge(client.bottom, dest.y, dest.h, window->scaledHeight);
    } else {
        int width = 0, height = 0;
        if (window->sdl)
            SDL_GetWindowSize(window->sdl, &width, &height);
        left = Clamp(client.left, 0, width);
        top = Clamp(client.top, 0, height);
        right = Clamp(client.right, 0, width);
        bottom = Clamp(client.bottom, 0, height);
    }
    return {left, top, right - left, bottom - top};
}

void WinClientSize(const WinWindowRecord* window, int* width, int* height)
{
    bool scaled = window->scaledWidth > 0;
    *width = scaled ? window->scaledWidth : window->clientWidth;
    *height = scaled ? window->scaledHeight : window->clientHeight;
}
