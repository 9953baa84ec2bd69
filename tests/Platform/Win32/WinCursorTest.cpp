// Cursor confinement, position and shape over the test window (client area
// at desktop (640, 0), 1280 x 1024).
#include "WinTestWindow.h"

#include "Platform/Win32/WinCursor.h"
#include "Platform/Win32/WinMessageBox.h"

namespace {

class WinCursor : public TestWindow {};

TEST_F(WinCursor, ClipCursorConfinesToTheClientPartOfTheRectangle)
{
    SDL_Window* sdl = WinGetSdlWindow(window_);
    RECT whole = {640, 0, 1920, 1024};
    ASSERT_TRUE(ClipCursor(&whole));
    const SDL_Rect* confined = SDL_GetWindowMouseRect(sdl);
    ASSERT_NE(nullptr, confined);
    EXPECT_EQ(0, confined->x);
    EXPECT_EQ(0, confined->y);
    EXPECT_EQ(1280, confined->w);
    EXPECT_EQ(1024, confined->h);
    RECT back;
    GetClipCursor(&back);
    EXPECT_EQ(640, back.left);
    EXPECT_EQ(1920, back.right);

    // A rectangle partly outside the window is cut to the client area.
    RECT partial = {0, 100, 700, 200};
    ClipCursor(&partial);
    confined = SDL_GetWindowMouseRect(sdl);
    ASSERT_NE(nullptr, confined);
    EXPECT_EQ(0, confined->x);
    EXPECT_EQ(100, confined->y);
    EXPECT_EQ(60, confined->w);
    EXPECT_EQ(100, confined->h);

    ClipCursor(nullptr);
    EXPECT_EQ(nullptr, SDL_GetWindowMouseRect(sdl));
    GetClipCursor(&back);
    EXPECT_EQ(0, back.left);
    EXPECT_EQ(0, back.top);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), back.right);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), back.bottom);
}

TEST_F(WinCursor, ConfinementIsReleasedAroundAModalBox)
{
    SDL_Window* sdl = WinGetSdlWindow(window_);
    RECT whole = {640, 0, 1920, 1024};
    ClipCursor(&whole);
    WinSuspendCursorClip();
    EXPECT_EQ(nullptr, SDL_GetWindowMouseRect(sdl));
    WinResumeCursorClip();
    EXPECT_NE(nullptr, SDL_GetWindowMouseRect(sdl));
    ClipCursor(nullptr);
}

TEST_F(WinCursor, SetCursorPosIsDesktopPositionKeptInsideTheConfinement)
{
    ASSERT_TRUE(SetCursorPos(1280, 800));
    POINT point;
    GetCursorPos(&point);
    EXPECT_EQ(1280, point.x);
    EXPECT_EQ(800, point.y);
    // The move that follows (made up here, whatever the video driver sends)
    // arrives in client coordinates.
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    Feed({Motion(640, 800)});
    EXPECT_EQ((std::vector<RecordedMessage>{{WM_MOUSEMOVE, 0, 0x03200280}}), Input());

    RECT clip = {700, 100, 800, 200};
    ClipCursor(&clip); // the pointer is outside: it moves in
    GetCursorPos(&point);
    EXPECT_EQ(799, point.x);
    EXPECT_EQ(199, point.y);
    SetCursorPos(0, 0);
    GetCursorPos(&point);
    EXPECT_EQ(700, point.x);
    EXPECT_EQ(100, point.y);
    ClipCursor(nullptr);
}

TEST_F(WinCursor, HiddenCursorComesBackWithTheNextMouseMessage)
{
    EXPECT_NE(nullptr, LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(nullptr, LoadCursorA(nullptr, MAKEINTRESOURCEA(32513)));

    SetCursor(nullptr);
    Pump();
    EXPECT_EQ(SDL_DISABLE, SDL_ShowCursor(SDL_QUERY));
    // A mouse message restores the class cursor unless the program hides it again.
    Feed({Motion(1, 1)});
    EXPECT_EQ(SDL_ENABLE, SDL_ShowCursor(SDL_QUERY));

    EXPECT_EQ(-1, ShowCursor(FALSE));
    Pump();
    EXPECT_EQ(SDL_DISABLE, SDL_ShowCursor(SDL_QUERY));
    EXPECT_EQ(0, ShowCursor(TRUE));
    Pump();
    EXPECT_EQ(SDL_ENABLE, SDL_ShowCursor(SDL_QUERY));
}

} // namespace

namespace {

bool g_confinedDuringBox = true;

int RecordConfinement(const SDL_MessageBoxData*, int* buttonId)
{
    WinWindowRecord* window = WinMainWindow();
    g_confinedDuringBox = window && SDL_GetWindowMouseRect(window->sdl) != nullptr;
    *buttonId = 4;
    return 0;
}

class WinCursorInMessageBox : public TestWindow {};

TEST_F(WinCursorInMessageBox, PointerIsFreeWhileTheBoxIsUp)
{
    RECT whole = {640, 0, 1920, 1024};
    ClipCursor(&whole);
    WinMessageBoxBackend previous = WinSetMessageBoxBackend(RecordConfinement);
    EXPECT_EQ(4, MessageBoxA(nullptr, "text", "caption", 0x12));
    WinSetMessageBoxBackend(previous);
    EXPECT_FALSE(g_confinedDuringBox);
    EXPECT_NE(nullptr, SDL_GetWindowMouseRect(WinGetSdlWindow(window_)));
    ClipCursor(nullptr);
}

} // namespace
