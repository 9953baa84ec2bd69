// The mouse hook, its per-frame update and the cursor confinement.
#include "Engine/Gui/GeMouse.h"

#include "Engine/Core/Common/GeDeviceConfig.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Platform/Win32/WinCursor.h"
#include "Platform/Win32/WinMessages.h"
#include "Platform/Win32/WinWindow.h"

#include <cmath>

GeMouseRecord g_mouseRecord;
CGeMouse* g_pGeMouse = nullptr;

namespace {

struct ViewMapping {
    float viewWidth, viewHeight;       // the 2D view
    float displayWidth, displayHeight; // client pixels
};

// The current 2D camera's view size against the display size of the settings;
// without either, one view unit is one pixel.
ViewMapping CurrentMapping()
{
    ViewMapping m = {0, 0, 0, 0};
    if (g_videoSettings) {
        m.displayWidth = (float)g_videoSettings->width;
        m.displayHeight = (float)g_videoSettings->height;
    }
    CGmCamera* camera = CGeHub::s_cameras2d[CGeHub::s_currentSlot];
    if (camera) {
        m.viewWidth = camera->boundWidth;
        m.viewHeight = camera->boundHeight;
    }
    if (m.displayWidth <= 0.0f || m.displayHeight <= 0.0f) {
        m.displayWidth = m.viewWidth;
        m.displayHeight = m.viewHeight;
    }
    if (m.viewWidth <= 0.0f || m.viewHeight <= 0.0f) {
        m.viewWidth = m.displayWidth;
        m.viewHeight = m.displayHeight;
    }
    if (m.viewWidth <= 0.0f || m.viewHeight <= 0.0f)
        m = {1, 1, 1, 1};
    return m;
}

HWND DeviceWindow()
{
    return g_pGmDevice ? g_pGmDevice->GetWindow() : nullptr;
}

void QueueCode(uint32_t code)
{
    GeMouseRecord& r = g_mouseRecord;
    if (r.queueCount < 32)
        r.queue[r.queueCount++] = code;
}

void RecordButton(uint32_t button, bool down, float x, float y)
{
    GeMouseRecord& r = g_mouseRecord;
    r.buttons[button] = down ? 1 : 0;
    r.x = x;
    r.y = y;
    QueueCode(GeMousePressCode(button) + (down ? 0 : 1));
    if (!g_pGeMouse)
        return;
    if (down) {
        ViewMapping m = CurrentMapping();
        g_pGeMouse->ClipToRect({0.0f, 0.0f, m.viewWidth, m.viewHeight});
    } else {
        g_pGeMouse->ReleaseClip();
    }
}

} // namespace

CGeMouseState::CGeMouseState()
{
    typeId = (GE_MOUSE_CATEGORY << 16) | CGeTypedObject::kUntyped;
}

CGeMouse::CGeMouse()
{
    mayHideSystemCursor = 1;
    if (g_pGmDevice)
        g_pGmDevice->AddMessageHook(Hook);
    g_mouseRecord = GeMouseRecord();
    g_mouseRecord.alive = 1;
    g_mouseRecord.hideSystemCursor = 1;
    g_pGeMouse = this;
}

CGeMouse::~CGeMouse()
{
    if (g_pGmDevice)
        g_pGmDevice->RemoveMessageHook(Hook);
    g_mouseRecord.alive = 0;
    if (g_pGeMouse == this)
        g_pGeMouse = nullptr;
}

LRESULT CGeMouse::Hook(HWND, UINT message, WPARAM wParam, LPARAM lParam)
{
    GeMouseRecord& r = g_mouseRecord;
    if (!r.alive || message < WM_MOUSEMOVE || message > WM_MOUSELEAVE)
        return 0;
    const float x = (float)(int16_t)(uint16_t)(lParam & 0xFFFF);
    const float y = (float)(int16_t)(uint16_t)((lParam >> 16) & 0xFFFF);
    switch (message) {
    case WM_MOUSEMOVE:
        if (x != r.x || y != r.y) {
            r.x = x;
            r.y = y;
            QueueCode(GE_MOUSE_MOVE);
        }
        break;
    case WM_LBUTTONDOWN: RecordButton(0, true, x, y); break;
    case WM_LBUTTONUP: RecordButton(0, false, x, y); break;
    case WM_RBUTTONDOWN: RecordButton(1, true, x, y); break;
    case WM_RBUTTONUP: RecordButton(1, false, x, y); break;
    case WM_MBUTTONDOWN: RecordButton(2, true, x, y); break;
    case WM_MBUTTONUP: RecordButton(2, false, x, y); break;
    case WM_XBUTTONDOWN:
    case WM_XBUTTONUP: {
        const uint32_t which = (uint32_t)((wParam >> 16) & 0xFFFF);
        const bool down = (message == WM_XBUTTONDOWN);
        if (which & XBUTTON1)
            RecordButton(3, down, x, y);
        else if (which & XBUTTON2)
            RecordButton(4, down, x, y);
        break;
    }
    case WM_MOUSEWHEEL:
        r.wheel += (int16_t)(uint16_t)((wParam >> 16) & 0xFFFF) / 120;
        QueueCode(GE_MOUSE_WHEEL);
        break;
    case WM_MOUSELEAVE:
    case WM_NCMOUSELEAVE:
        for (uint8_t& b : r.buttons)
            b = 0;
        break;
    default: break;
    }
    if (r.hideSystemCursor)
        SetCursor(nullptr);
    return 0;
}

void CGeMouse::Update()
{
    for (int i = 0; i < 5; ++i)
        previousButtons[i] = buttons[i];
    previousX = x;
    previousY = y;
    previousWheel = wheel;

    GeMouseRecord& r = g_mouseRecord;
    ViewMapping m = CurrentMapping();
    x = r.x * m.viewWidth / m.displayWidth;
    y = r.y * m.viewHeight / m.displayHeight;
    wheel = r.wheel;
    for (int i = 0; i < 5; ++i)
        buttons[i] = r.buttons[i];
    for (uint32_t i = 0; i < r.queueCount; ++i)
        PostMessage(r.queue[i]);
    r.queueCount = 0;
}

void CGeMouse::ClipToRect(const GeMouseRect& rect)
{
    ViewMapping m = CurrentMapping();
    const float sx = m.displayWidth / m.viewWidth;
    const float sy = m.displayHeight / m.viewHeight;
    POINT topLeft = {(LONG)lroundf(rect.x * sx), (LONG)lroundf(rect.y * sy)};
    POINT bottomRight = {(LONG)lroundf((rect.x + rect.width) * sx), (LONG)lroundf((rect.y + rect.height) * sy)};
    HWND window = DeviceWindow();
    if (window) {
        ClientToScreen(window, &topLeft);
        ClientToScreen(window, &bottomRight);
    }
    RECT clip = {topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
    ClipCursor(&clip);
}

void CGeMouse::ReleaseClip()
{
    ClipCursor(nullptr);
}

GeMouseRect CGeMouse::GetClipRect()
{
    RECT clip;
    if (!GetClipCursor(&clip))
        return {0, 0, 0, 0};
    if (clip.left == 0 && clip.top == 0 && clip.right == GetSystemMetrics(SM_CXSCREEN) &&
        clip.bottom == GetSystemMetrics(SM_CYSCREEN))
        return {0, 0, 0, 0};
    POINT topLeft = {clip.left, clip.top};
    POINT bottomRight = {clip.right, clip.bottom};
    HWND window = DeviceWindow();
    if (window) {
        ScreenToClient(window, &topLeft);
        ScreenToClient(window, &bottomRight);
    }
    ViewMapping m = CurrentMapping();
    const float sx = m.viewWidth / m.displayWidth;
    const float sy = m.viewHeight / m.displayHeight;
    return {(float)topLeft.x * sx, (float)topLeft.y * sy, (float)(bottomRight.x - topLeft.x) * sx,
            (float)(bottomRight.y - topLeft.y) * sy};
}

void CGeMouse::HideSystemCursor()
{
    if (mayHideSystemCursor)
        g_mouseRecord.hideSystemCursor = 1;
}

void CGeMouse::ShowSystemCursor()
{
    g_mouseRecord.hideSystemCursor = 0;
}
