// Windows, the pump and default handling.
#include "WinTestWindow.h"

#include "Platform/Win32/WinErrorText.h"

namespace {

using Messages = std::vector<RecordedMessage>;

class WinWindow : public TestWindow {};

TEST_F(WinWindow, CreatedHiddenWithGlAtTheRequestedPlace)
{
    SDL_Window* sdl = WinGetSdlWindow(window_);
    ASSERT_NE(nullptr, sdl);
    Uint32 flags = SDL_GetWindowFlags(sdl);
    EXPECT_TRUE(flags & SDL_WINDOW_HIDDEN);
    EXPECT_TRUE(flags & SDL_WINDOW_RESIZABLE);

    RECT client, outer;
    ASSERT_TRUE(GetClientRect(window_, &client));
    EXPECT_EQ(0, client.left);
    EXPECT_EQ(1280, client.right);
    EXPECT_EQ(1024, client.bottom);
    ASSERT_TRUE(GetWindowRect(window_, &outer));
    EXPECT_EQ(640, outer.left);
    EXPECT_EQ(0, outer.top);

    POINT point = {10, 20};
    ASSERT_TRUE(ClientToScreen(window_, &point));
    EXPECT_EQ(650, point.x);
    EXPECT_EQ(20, point.y);
    ASSERT_TRUE(ScreenToClient(window_, &point));
    EXPECT_EQ(10, point.x);
    EXPECT_EQ(20, point.y);
}

TEST_F(WinWindow, ShowTitleAndClassValues)
{
    SDL_Window* sdl = WinGetSdlWindow(window_);
    EXPECT_FALSE(ShowWindow(window_, SW_SHOWNORMAL)); // it was hidden
    EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_SHOWN);
    EXPECT_TRUE(UpdateWindow(window_));
    EXPECT_TRUE(ShowWindow(window_, SW_HIDE));
    EXPECT_FALSE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_SHOWN);

    // The caption is code-page text: "Qasimar" and a Cyrillic word.
    ASSERT_TRUE(SetWindowTextA(window_, "Qasimar \xEA\xEE\xF2"));
    EXPECT_STREQ("Qasimar \xD0\xBA\xD0\xBE\xD1\x82", SDL_GetWindowTitle(sdl));

    EXPECT_EQ(nullptr, LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(102)));
    HICON icon = (HICON)(uintptr_t)0x1234;
    EXPECT_EQ(0u, SetClassLongA(window_, GCL_HICON, (LONG_PTR)icon));
    EXPECT_EQ((ULONG_PTR)icon, SetClassLongA(window_, GCL_HICON, 0));
}

TEST_F(WinWindow, FocusBookkeeping)
{
    EXPECT_EQ(nullptr, SetFocus(window_));
    EXPECT_EQ(window_, GetFocus());
    EXPECT_EQ(window_, SetFocus(window_));
    // A hidden offscreen window never has the desktop's input focus.
    EXPECT_EQ(nullptr, GetForegroundWindow());
    DestroyWindow(window_);
    EXPECT_EQ(nullptr, GetFocus());
}

TEST_F(WinWindow, DeviceWindowPlacementAtTheTopRightCorner)
{
    // What the device wrapper does: grow the client size to the outer size,
    // then place the outer rectangle against the right edge of the screen.
    RECT rect = {0, 0, 320, 200};
    ASSERT_TRUE(AdjustWindowRectEx(&rect, 0x80CF0000, FALSE, 0));
    int outerWidth = rect.right - rect.left;
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    ASSERT_GT(screenWidth, 0);
    EXPECT_GT(GetSystemMetrics(SM_CYSCREEN), 0);
    HWND window = CreateWindowExA(0, "WinLayerTestClass", "Ge device window", 0x80CF0000, screenWidth - outerWidth, 0,
                                  outerWidth, rect.bottom - rect.top, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    RECT outer;
    GetWindowRect(window, &outer);
    EXPECT_EQ(screenWidth, outer.right);
    EXPECT_EQ(0, outer.top);
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(320, client.right);
    EXPECT_EQ(200, client.bottom);
    DestroyWindow(window);
}

TEST_F(WinWindow, RegistrationAndCreationErrors)
{
    WNDCLASSA duplicate = {};
    duplicate.lpfnWndProc = Procedure;
    duplicate.lpszClassName = "winlayertestclass"; // names ignore case
    EXPECT_EQ(0, RegisterClassA(&duplicate));
    EXPECT_EQ(ERROR_CLASS_ALREADY_EXISTS, GetLastError());

    EXPECT_EQ(nullptr, CreateWindowExA(0, "NoSuchClass", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_CANNOT_FIND_WND_CLASS, GetLastError());
    EXPECT_FALSE(IsWindow((HWND)0x1234));
    EXPECT_EQ(0, SendMessageA((HWND)0x1234, WM_CLOSE, 0, 0));
    EXPECT_FALSE(PostMessageA((HWND)0x1234, WM_USER, 0, 0));
}

TEST_F(WinWindow, CloseThroughDefaultHandlingDestroysAndDropsQueuedMessages)
{
    PostMessageA(window_, WM_CLOSE, 0, 0);
    PostMessageA(window_, WM_USER, 1, 2); // queued behind the close: never delivered
    Pump();
    Messages expected = {{WM_CLOSE, 0, 0}, {WM_DESTROY, 0, 0}, {WM_NCDESTROY, 0, 0}};
    EXPECT_EQ(expected, s_recorded);
    EXPECT_FALSE(IsWindow(window_));

    MSG late = {window_, WM_USER, 0, 0, 0, {0, 0}};
    EXPECT_EQ(0, DispatchMessageA(&late));
    EXPECT_EQ(3u, s_recorded.size());
}

TEST_F(WinWindow, ProcedureThatAnswersCloseKeepsTheWindow)
{
    s_closeAnswer = 1;
    EXPECT_EQ(1, SendMessageA(window_, WM_CLOSE, 0, 0));
    EXPECT_TRUE(IsWindow(window_));
}

TEST_F(WinWindow, PumpReturnsMessagesInOrderAndEndsWhileInputKeepsComing)
{
    PostMessageA(window_, WM_USER, 1, 0);
    PostMessageA(window_, WM_USER + 1, 2, 0);
    MSG msg;
    // Peek without removing, then a filter by number.
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(WM_USER, msg.message);
    ASSERT_TRUE(PeekMessageA(&msg, window_, WM_USER + 1, WM_USER + 1, PM_REMOVE));
    EXPECT_EQ(2u, msg.wParam);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(1u, msg.wParam);

    // New SDL input while the loop runs waits for the next loop.
    int reads = 0;
    SDL_Event close;
    memset(&close, 0, sizeof(close));
    close.type = SDL_WINDOWEVENT;
    close.window.event = SDL_WINDOWEVENT_LEAVE;
    close.window.windowID = sdlId_;
    SDL_PushEvent(&close);
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        reads++;
        SDL_PushEvent(&close);
        ASSERT_LT(reads, 10);
    }
    EXPECT_EQ(1, reads);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(WM_MOUSELEAVE, msg.message);
}

TEST_F(WinWindow, TranslateMessageAnswers)
{
    MSG keyUp = {window_, WM_KEYUP, 'A', (LPARAM)0xC01E0001, 0, {0, 0}};
    MSG letter = {window_, WM_KEYDOWN, 'A', 0x001E0001, 0, {0, 0}};
    MSG mouse = {window_, WM_MOUSEMOVE, 0, 0, 0, {0, 0}};
    EXPECT_TRUE(TranslateMessage(&keyUp));
    EXPECT_TRUE(TranslateMessage(&letter)); // no character queued, still a key message
    EXPECT_FALSE(TranslateMessage(&mouse));
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WinWindow, WindowCreateAnswerMinusOneFailsCreation)
{
    struct Refuse {
        static LRESULT Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
        {
            return message == WM_CREATE ? -1 : DefWindowProcA(window, message, wParam, lParam);
        }
    };
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = Refuse::Procedure;
    windowClass.lpszClassName = "WinLayerRefusingClass";
    static ATOM atom = RegisterClassA(&windowClass);
    ASSERT_NE(0, atom);
    EXPECT_EQ(nullptr, CreateWindowExA(0, "WinLayerRefusingClass", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
}

TEST_F(WinWindow, SdlWindowOutlivesTheHandleWhileHeld)
{
    SDL_Window* held = WinRetainSdlWindow(window_);
    ASSERT_NE(nullptr, held);
    DestroyWindow(window_);
    EXPECT_FALSE(IsWindow(window_));
    EXPECT_EQ(held, WinGetSdlWindow(window_));
    EXPECT_FALSE(SDL_GetWindowFlags(held) & SDL_WINDOW_SHOWN);
    WinReleaseSdlWindow(held);
    EXPECT_EQ(nullptr, WinGetSdlWindow(window_));
}

} // namespace
