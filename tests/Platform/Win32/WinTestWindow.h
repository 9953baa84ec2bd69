// A device-like window for the window layer's tests: 1280 x 1024 client area at
// desktop (640, 0), a procedure that records every message, and builders for
// the SDL events the layer translates.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "Platform/Win32/WinInternal.h"
#include "Platform/Win32/WinKeyboard.h"
#include "Platform/Win32/WinMessages.h"
#include "Platform/Win32/WinSdl.h"
#include "Platform/Win32/WinWindow.h"

struct RecordedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;

    bool operator==(const RecordedMessage& other) const
    {
        return message == other.message && wParam == other.wParam && lParam == other.lParam;
    }
};

void PrintTo(const RecordedMessage& m, std::ostream* os);

class TestWindow : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Translates the events as one drain, then reads the queue like the
    // engine's pump (peek, translate, dispatch) until it is empty.
    void Feed(const std::vector<SDL_Event>& events);
    void Pump();
    // The recorded messages without the window's own life (create, destroy).
    std::vector<RecordedMessage> Input() const;

    SDL_Event Key(bool down, SDL_Scancode scancode, SDL_Keycode sym, Uint16 mod, int repeat = 0) const;
    SDL_Event Text(const char* utf8) const;
    SDL_Event Motion(int x, int y) const;
    SDL_Event Button(bool down, int button, int x, int y, int clicks = 1) const;
    SDL_Event Wheel(int y, int x, bool flipped, int mouseX, int mouseY) const;
    SDL_Event Window(SDL_WindowEventID event, int data1 = 0, int data2 = 0) const;

    HWND window_ = nullptr;
    Uint32 sdlId_ = 0;

public:
    // What the procedure does with WM_CLOSE: 0 hands it to DefWindowProcA,
    // otherwise it answers this value itself.
    static LRESULT s_closeAnswer;
    static std::vector<RecordedMessage> s_recorded;
    static LRESULT Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

const UINT KD = WM_KEYDOWN;
const UINT KU = WM_KEYUP;
const UINT CH = WM_CHAR;
const UINT SKD = WM_SYSKEYDOWN;
const UINT SKU = WM_SYSKEYUP;
const UINT SCH = WM_SYSCHAR;
