// Test hooks into the window layer for tests above Platform/, which never see
// SDL: desktop events as SDL would deliver them, and what the layer keeps of a
// window. The program itself does not use them.
// Public header of the platform layer.
#pragma once

#include <string>

#include "Platform/Win32/WinTypes.h"
#include "Platform/Win32/WinWindow.h"

enum class WinTestDesktopEvent { FocusGained, FocusLost, Minimized, Restored, CloseRequest };

// Translates the event as if SDL had reported it for the window; the messages
// it makes wait in the queue for the next pump. False for an unknown window.
bool WinTestInjectDesktopEvent(HWND window, WinTestDesktopEvent event);

struct WinTestWindowFacts {
    std::string title; // as the desktop shows it
    DWORD style;
    std::string className;
    WNDPROC classProcedure;
    UINT classStyle;
    HICON classIcon;
    HCURSOR classCursor;
};

// False for an unknown or destroyed window.
bool WinTestDescribeWindow(HWND window, WinTestWindowFacts* facts);

// Starts the layer's video as window creation would; false when it cannot.
bool WinTestStartVideo();
// The name of the video driver in use ("x11", "offscreen" ...), "" before video starts.
const char* WinTestVideoDriver();
// From now on message boxes answer at once, as if closed: a dialog on a test
// display would wait for a click that never comes.
void WinTestRefuseMessageBoxes();
// The desktop's number for the window (SDL's window id), 0 for an unknown one:
// checks on a real X server look the window up with it.
uint32_t WinTestSdlWindowId(HWND window);
