#include "WinTestWindow.h"

#include <cstring>
#include <ostream>

#include "Platform/Win32/WinCursor.h"

namespace {

SDL_Event Blank(Uint32 type)
{
    SDL_Event event;
    memset(&event, 0, sizeof(event));
    event.type = type;
    return event;
}

} // namespace

LRESULT TestWindow::s_closeAnswer = 0;
std::vector<RecordedMessage> TestWindow::s_recorded;

void PrintTo(const RecordedMessage& m, std::ostream* os)
{
    *os << std::hex << "{0x" << m.message << ", 0x" << m.wParam << ", 0x" << m.lParam << "}" << std::dec;
}

LRESULT TestWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    s_recorded.push_back({message, wParam, lParam});
    if (message == WM_CLOSE && s_closeAnswer != 0)
        return s_closeAnswer;
    return DefWindowProcA(window, message, wParam, lParam);
}

void TestWindow::SetUp()
{
    static ATOM atom = 0;
    if (!atom) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = Procedure;
        windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        windowClass.lpszClassName = "WinLayerTestClass";
        atom = RegisterClassA(&windowClass);
        ASSERT_NE(0, atom);
    }
    s_closeAnswer = 0;
    window_ = CreateWindowExA(0, "WinLayerTestClass", "test", 0x80CF0000, 640, 0, 1280, 1024, nullptr,
                              nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window_);
    sdlId_ = SDL_GetWindowID(WinGetSdlWindow(window_));
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    WinQueueReset();
    WinResetInputState();
    WinResetKeyState();
    WinCursorReset();
    s_recorded.clear();
}

void TestWindow::TearDown()
{
    if (IsWindow(window_))
        DestroyWindow(window_);
    WinQueueReset();
    WinCursorReset();
}

void TestWindow::Feed(const std::vector<SDL_Event>& events)
{
    WinTranslateSdlEvents(events.data(), (int)events.size());
    Pump();
}

void TestWindow::Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

std::vector<RecordedMessage> TestWindow::Input() const
{
    std::vector<RecordedMessage> input;
    for (const RecordedMessage& m : s_recorded) {
        if (m.message != WM_CREATE && m.message != WM_DESTROY && m.message != WM_NCDESTROY)
            input.push_back(m);
    }
    return input;
}

SDL_Event TestWindow::Key(bool down, SDL_Scancode scancode, SDL_Keycode sym, Uint16 mod, int repeat) const
{
    SDL_Event event = Blank(down ? SDL_KEYDOWN : SDL_KEYUP);
    event.key.windowID = sdlId_;
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.repeat = (Uint8)repeat;
    event.key.keysym.scancode = scancode;
    event.key.keysym.sym = sym;
    event.key.keysym.mod = mod;
    return event;
}

SDL_Event TestWindow::Text(const char* utf8) const
{
    SDL_Event event = Blank(SDL_TEXTINPUT);
    event.text.windowID = sdlId_;
    strncpy(event.text.text, utf8, sizeof(event.text.text) - 1);
    return event;
}

SDL_Event TestWindow::Motion(int x, int y) const
{
    SDL_Event event = Blank(SDL_MOUSEMOTION);
    event.motion.windowID = sdlId_;
    event.motion.x = x;
    event.motion.y = y;
    return event;
}

SDL_Event TestWindow::Button(bool down, int button, int x, int y, int clicks) const
{
    SDL_Event event = Blank(down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP);
    event.button.windowID = sdlId_;
    event.button.button = (Uint8)button;
    event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.button.clicks = (Uint8)clicks;
    event.button.x = x;
    event.button.y = y;
    return event;
}

SDL_Event TestWindow::Wheel(int y, int x, bool flipped, int mouseX, int mouseY) const
{
    SDL_Event event = Blank(SDL_MOUSEWHEEL);
    event.wheel.windowID = sdlId_;
    event.wheel.x = x;
    event.wheel.y = y;
    event.wheel.direction = flipped ? SDL_MOUSEWHEEL_FLIPPED : SDL_MOUSEWHEEL_NORMAL;
    event.wheel.mouseX = mouseX;
    event.wheel.mouseY = mouseY;
    return event;
}

SDL_Event TestWindow::Window(SDL_WindowEventID windowEvent, int data1, int data2) const
{
    SDL_Event event = Blank(SDL_WINDOWEVENT);
    event.window.windowID = sdlId_;
    event.window.event = (Uint8)windowEvent;
    event.window.data1 = data1;
    event.window.data2 = data2;
    return event;
}
