// Mouse and window events to messages: packing, coalescing, clamping, the
// button order, the wheel and activation.
#include "WinTestWindow.h"

namespace {

using Messages = std::vector<RecordedMessage>;

class WinMouseMessages : public TestWindow {};

TEST_F(WinMouseMessages, MovesAreClientPositionsMergedPerDrainAndClamped)
{
    Feed({Motion(100, 200)});
    Feed({Motion(10, 10), Motion(20, 20), Motion(30, 40)});
    Feed({Button(true, 1, 5, 5), Motion(-5, 2000)});
    Messages expected = {{WM_MOUSEMOVE, 0, 0x00C80064},
                         {WM_MOUSEMOVE, 0, 0x0028001E},
                         {WM_LBUTTONDOWN, MK_LBUTTON, 0x00050005},
                         {WM_MOUSEMOVE, MK_LBUTTON, 0x03FF0000}};
    EXPECT_EQ(expected, Input());
}

TEST_F(WinMouseMessages, ButtonsWithTheirFlags)
{
    Feed({Button(true, 1, 5, 6), Button(false, 1, 5, 6)});
    Feed({Key(true, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, KMOD_LSHIFT), Button(true, 1, 5, 6),
          Button(false, 1, 5, 6), Key(false, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, 0)});
    // SDL's button 2 is the middle one, 3 the right one.
    Feed({Button(true, 2, 1, 1), Button(true, 3, 1, 1), Button(false, 3, 1, 1), Button(false, 2, 1, 1)});
    Feed({Button(true, 4, 7, 8), Button(true, 5, 7, 8), Button(false, 5, 7, 8), Button(false, 4, 7, 8), Button(true, 6, 7, 8)});
    Messages expected = {
        {WM_LBUTTONDOWN, 0x0001, 0x00060005},
        {WM_LBUTTONUP, 0x0000, 0x00060005},
        {KD, 0x10, 0x002A0001},
        {WM_LBUTTONDOWN, 0x0005, 0x00060005},
        {WM_LBUTTONUP, 0x0004, 0x00060005},
        {KU, 0x10, (LPARAM)0xC02A0001},
        {WM_MBUTTONDOWN, 0x0010, 0x00010001},
        {WM_RBUTTONDOWN, 0x0012, 0x00010001},
        {WM_RBUTTONUP, 0x0010, 0x00010001},
        {WM_MBUTTONUP, 0x0000, 0x00010001},
        {WM_XBUTTONDOWN, 0x00010020, 0x00080007},
        {WM_XBUTTONDOWN, 0x00020060, 0x00080007},
        {WM_XBUTTONUP, 0x00020020, 0x00080007},
        {WM_XBUTTONUP, 0x00010000, 0x00080007},
    };
    EXPECT_EQ(expected, Input());
}

TEST_F(WinMouseMessages, DoubleClicksAreTwoPlainClicks)
{
    Feed({Button(true, 1, 3, 3, 1), Button(false, 1, 3, 3, 1), Button(true, 1, 3, 3, 2), Button(false, 1, 3, 3, 2)});
    std::vector<UINT> kinds;
    for (const RecordedMessage& m : Input())
        kinds.push_back(m.message);
    EXPECT_EQ((std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONUP}), kinds);
}

TEST_F(WinMouseMessages, WheelDeltaAndDesktopPosition)
{
    Feed({Wheel(1, 0, false, 100, 50), Wheel(-2, 0, false, 100, 50), Wheel(1, 0, true, 100, 50), Wheel(0, 1, false, 100, 50)});
    // The window's client area starts at desktop (640, 0).
    Messages expected = {{WM_MOUSEWHEEL, 0x00780000, 0x003202E4},
                         {WM_MOUSEWHEEL, 0xFF100000, 0x003202E4},
                         {WM_MOUSEWHEEL, 0xFF880000, 0x003202E4}};
    EXPECT_EQ(expected, Input());
    EXPECT_EQ(-240, GET_WHEEL_DELTA_WPARAM(expected[1].wParam));
}

TEST_F(WinMouseMessages, LeavingTheWindowReleasesButtons)
{
    Feed({Button(true, 1, 5, 5), Window(SDL_WINDOWEVENT_LEAVE)});
    Messages expected = {{WM_LBUTTONDOWN, 1, 0x00050005}, {WM_MOUSELEAVE, 0, 0}};
    EXPECT_EQ(expected, Input());
}

TEST_F(WinMouseMessages, ActivationAndSizes)
{
    Feed({Window(SDL_WINDOWEVENT_FOCUS_LOST), Window(SDL_WINDOWEVENT_FOCUS_GAINED)});
    Feed({Window(SDL_WINDOWEVENT_MINIMIZED), Window(SDL_WINDOWEVENT_FOCUS_LOST), Window(SDL_WINDOWEVENT_RESTORED),
          Window(SDL_WINDOWEVENT_SIZE_CHANGED, 1920, 1050), Window(SDL_WINDOWEVENT_MAXIMIZED)});
    Messages expected = {
        {WM_ACTIVATE, 0, 0}, {WM_ACTIVATEAPP, 0, 0}, {WM_KILLFOCUS, 0, 0},
        {WM_ACTIVATEAPP, 1, 0}, {WM_ACTIVATE, 1, 0}, {WM_SETFOCUS, 0, 0},
        {WM_SIZE, SIZE_MINIMIZED, 0},
        {WM_ACTIVATE, 0x00010000, 0}, {WM_ACTIVATEAPP, 0, 0}, {WM_KILLFOCUS, 0, 0},
        {WM_SIZE, SIZE_RESTORED, 0x04000500},
        {WM_SIZE, SIZE_RESTORED, 0x041A0780},
        {WM_SIZE, SIZE_MAXIMIZED, 0x041A0780},
    };
    EXPECT_EQ(expected, Input());
}

TEST_F(WinMouseMessages, QuitSignalAndWindowCloseAskTheProcedure)
{
    s_closeAnswer = 1; // the procedure keeps its window
    SDL_Event quit;
    memset(&quit, 0, sizeof(quit));
    quit.type = SDL_QUIT;
    Feed({quit, Window(SDL_WINDOWEVENT_CLOSE)});
    EXPECT_EQ((Messages{{WM_CLOSE, 0, 0}, {WM_CLOSE, 0, 0}}), Input());
    EXPECT_TRUE(IsWindow(window_));
}

} // namespace

namespace {

class WinMessageRouting : public TestWindow {};

TEST_F(WinMessageRouting, InputWithoutAKnownWindowGoesToTheDeviceWindow)
{
    SDL_Event text = Text("x");
    text.text.windowID = 0;
    SDL_Event motion = Motion(3, 4);
    motion.motion.windowID = 9999;
    Feed({text, motion});
    EXPECT_EQ((std::vector<RecordedMessage>{{WM_CHAR, 'x', 1}, {WM_MOUSEMOVE, 0, 0x00040003}}), Input());

    // Window events name their window: a stranger's are ignored.
    SDL_Event close = Window(SDL_WINDOWEVENT_CLOSE);
    close.window.windowID = 9999;
    s_recorded.clear();
    Feed({close});
    EXPECT_TRUE(Input().empty());
}

} // namespace
