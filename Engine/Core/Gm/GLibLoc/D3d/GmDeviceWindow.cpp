// The device window: its class and creation, the window procedure that keeps
// the wrapper's activity flags and feeds the input devices and the game's
// hook, and the message pump.
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"

#include "Engine/Core/Common/GeAuxOverlay.h"
#include "Engine/Core/Common/GeError.h"
#include "Engine/Core/Common/GeErrorNames.h"
#include "Engine/Core/Common/GeFormat.h"
#include "Engine/Core/Common/GeMap.h"
#include "Platform/Win32/WinCursor.h"
#include "Platform/Win32/WinErrorText.h"
#include "Platform/Win32/WinMessages.h"

namespace {

// Every device window and its wrapper, from creation to WM_DESTROY.
CGeMap<HWND, CGmDeviceWrapper*>& WindowMap()
{
    static CGeMap<HWND, CGmDeviceWrapper*> map;
    return map;
}

const DWORD kWindowedStyle = WS_POPUP | WS_OVERLAPPEDWINDOW; // 0x80CF0000
const DWORD kFullScreenStyle = WS_POPUP;

// The window the debug overlay's close command reaches: the newest device
// window, until it is destroyed.
HWND g_overlayWindow = nullptr;

} // namespace

ATOM CGmDeviceWrapper::RegisterWindowClass()
{
    WNDCLASSA windowClass = {};
    windowClass.style = 0;
    windowClass.lpfnWndProc = DeviceWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = m_className.c_str();
    return RegisterClassA(&windowClass);
}

HWND CGmDeviceWrapper::CreateDeviceWindow(int x, int y, int width, int height)
{
    m_className = FormatString("GE_D3dDevWnd_#%i", (int)WindowMap().Count() + 1);
    // A class of that name left by an earlier wrapper has the same procedure
    // and can be used again (the platform has no way to unregister it).
    if (!RegisterWindowClass() && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        GmTrace("RegisterClass failed: %s\n", m_className.c_str());
        return nullptr;
    }
    HWND window = CreateWindowExA(0, m_className.c_str(), "Ge device window",
                                  m_windowed ? kWindowedStyle : kFullScreenStyle, x, y, width, height, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!window) {
        GmTrace("%s", GetWin32ErrorText(GetLastError()));
        GE_ERROR_REPORT("Device window creation failed!");
        return nullptr;
    }
    m_window = window;
    WindowMap()[window] = this;
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    m_running = 1;
    g_overlayWindow = window;
    AuxOverlay::SetDeviceWindow(window);
    return window;
}

LRESULT DeviceWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CGmDeviceWrapper* wrapper = WindowMap().Lookup(window);
    if (wrapper) {
        switch (message) {
        case WM_DESTROY:
            wrapper->m_running = 0;
            WindowMap().EraseKey(window);
            if (window == g_overlayWindow) {
                g_overlayWindow = nullptr;
                AuxOverlay::SetDeviceWindow(nullptr);
            }
            wrapper = nullptr; // no callback sees WM_DESTROY
            break;
        case WM_SIZE:
            wrapper->m_minimised = wParam == SIZE_MINIMIZED;
            break;
        case WM_ACTIVATE:
        case WM_ACTIVATEAPP:
            wrapper->m_active = wParam != 0;
            break;
        case WM_KILLFOCUS:
            wrapper->m_active = 0;
            break;
        case WM_LBUTTONDOWN:
            SetFocus(window);
            break;
        default:
            break;
        }
    }

    bool handled = false;
    LRESULT result = 0;
    if (wrapper) {
        // The count is read on every step, so a callback may remove itself
        // while it runs (the one after it then waits for the next message).
        for (uint32_t i = 0; i < wrapper->m_callbacks.Count(); ++i) {
            GmMessageHook callback = wrapper->m_callbacks[i];
            if (callback) {
                result = callback(window, message, wParam, lParam);
                handled = true;
            }
        }
        if (wrapper->m_messageHook) {
            result = wrapper->m_messageHook(window, message, wParam, lParam);
            handled = true;
        }
    }
    // Closing is the game's decision once anyone listens.
    if (message == WM_CLOSE && handled)
        return result;
    return DefWindowProcA(window, message, wParam, lParam);
}

int PumpWindowMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}

void CGmDeviceWrapper::AddMessageHook(GmMessageHook fn)
{
    if (fn)
        m_callbacks.Add(fn);
}

void CGmDeviceWrapper::RemoveMessageHook(GmMessageHook fn)
{
    for (uint32_t i = 0; i < m_callbacks.Count(); ++i) {
        if (m_callbacks[i] == fn) {
            m_callbacks.RemoveAt(i);
            return;
        }
    }
}
