#include "DeviceTestFixture.h"

#include "Engine/Core/Common/GeAuxOverlay.h"
#include "Platform/Win32/WinCursor.h"
#include "Platform/Win32/WinMessages.h"
#include "Platform/Win32/WinTesting.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;

namespace {

struct HookCall {
    char who;
    UINT message;
};
std::vector<HookCall> g_hookCalls;

LRESULT First(HWND, UINT message, WPARAM, LPARAM)
{
    g_hookCalls.push_back({'a', message});
    return 11;
}

LRESULT Second(HWND, UINT message, WPARAM, LPARAM)
{
    g_hookCalls.push_back({'b', message});
    return 22;
}

LRESULT GameHook(HWND, UINT message, WPARAM, LPARAM)
{
    g_hookCalls.push_back({'h', message});
    return 33;
}

std::string Callers(UINT message)
{
    std::string who;
    for (const HookCall& call : g_hookCalls) {
        if (call.message == message)
            who += call.who;
    }
    return who;
}

} // namespace

class GmDeviceWrapperWindow : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        g_hookCalls.clear();
        Create();
    }

    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return SendMessageA(wrapper->GetWindow(), message, wParam, lParam);
    }
};

TEST_F(GmDeviceWrapperWindow, ClassTitleAndStyleOfTheWindowedAndTheFullScreenWindow)
{
    for (uint8_t windowed : {1, 0}) {
        SCOPED_TRACE(::testing::Message() << "windowed " << int(windowed));
        settings.windowed = windowed;
        wrapper.reset(); // the only device window, so its class is number 1
        wrapper.reset(new CGmDeviceWrapper(settings));
        WinTestWindowFacts window;
        ASSERT_TRUE(WinTestDescribeWindow(wrapper->GetWindow(), &window));
        EXPECT_EQ(windowed ? 0x80CF0000u : 0x80000000u, window.style);
        EXPECT_EQ("Ge device window", window.title);
        EXPECT_EQ("GE_D3dDevWnd_#1", window.className);
        EXPECT_EQ(&DeviceWindowProc, window.classProcedure);
        EXPECT_EQ(0u, window.classStyle);
        EXPECT_EQ(nullptr, window.classIcon);
        EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), window.classCursor);
        wrapper.reset();
    }
}

TEST_F(GmDeviceWrapperWindow, ActivityMessagesSetTheFlags)
{
    const struct {
        UINT message;
        WPARAM wParam;
        uint8_t active;
        uint8_t minimised;
    } steps[] = {
        {WM_SIZE, SIZE_MINIMIZED, 1, 1},   {WM_SIZE, SIZE_RESTORED, 1, 0}, {WM_SIZE, SIZE_MINIMIZED, 1, 1},
        {WM_SIZE, SIZE_MAXIMIZED, 1, 0},   {WM_ACTIVATE, WA_INACTIVE, 0, 0}, {WM_ACTIVATE, WA_CLICKACTIVE, 1, 0},
        {WM_ACTIVATEAPP, FALSE, 0, 0},     {WM_ACTIVATEAPP, TRUE, 1, 0},   {WM_KILLFOCUS, 0, 0, 0},
        {WM_ACTIVATE, WA_ACTIVE, 1, 0},
    };
    for (const auto& step : steps) {
        Send(step.message, step.wParam);
        EXPECT_EQ(step.active, wrapper->m_active) << step.message << " " << step.wParam;
        EXPECT_EQ(step.minimised, wrapper->m_minimised) << step.message << " " << step.wParam;
    }
}

TEST_F(GmDeviceWrapperWindow, LeftButtonTakesTheFocus)
{
    SetFocus(nullptr);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(wrapper->GetWindow(), GetFocus());
}

TEST_F(GmDeviceWrapperWindow, CallbacksRunInOrderThenTheHook)
{
    wrapper->m_callbacks.Add(First);
    wrapper->m_callbacks.Add(nullptr);
    wrapper->m_callbacks.Add(Second);
    wrapper->m_messageHook = GameHook;
    // Outside WM_CLOSE the answers are dropped for the default handling's.
    EXPECT_EQ(0, Send(WM_USER + 5));
    EXPECT_EQ("abh", Callers(WM_USER + 5));
}

TEST_F(GmDeviceWrapperWindow, CloseWithTheHookAnswersTheHookAndKeepsTheWindow)
{
    wrapper->m_callbacks.Add(First);
    wrapper->m_messageHook = GameHook;
    EXPECT_EQ(33, Send(WM_CLOSE));
    EXPECT_TRUE(IsWindow(wrapper->GetWindow()));
    EXPECT_EQ(1, wrapper->m_running);

    // Only callbacks: the last one's answer.
    wrapper->m_messageHook = nullptr;
    wrapper->m_callbacks.Add(Second);
    EXPECT_EQ(22, Send(WM_CLOSE));
    EXPECT_EQ(1, wrapper->m_running);
}

TEST_F(GmDeviceWrapperWindow, CloseWithNoListenerDestroysTheWindowAndEndsTheLoop)
{
    HWND window = wrapper->GetWindow();
    EXPECT_EQ(0, Send(WM_CLOSE));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(0, wrapper->m_running);
    // The window is no longer the wrapper's: its messages change nothing.
    wrapper->m_minimised = 0;
    DeviceWindowProc(window, WM_SIZE, SIZE_MINIMIZED, 0);
    EXPECT_EQ(0, wrapper->m_minimised);
}

TEST_F(GmDeviceWrapperWindow, NoCallbackSeesTheDestroyMessage)
{
    wrapper->m_callbacks.Add(First);
    wrapper->m_messageHook = GameHook;
    DestroyWindow(wrapper->GetWindow());
    EXPECT_EQ(0, wrapper->m_running);
    EXPECT_EQ("", Callers(WM_DESTROY));
}

TEST_F(GmDeviceWrapperWindow, QueuedMessagesArePumpedThroughTheProcedure)
{
    wrapper->m_messageHook = GameHook;
    PostMessageA(wrapper->GetWindow(), WM_USER + 1, 0, 0);
    PostMessageA(wrapper->GetWindow(), WM_USER + 2, 0, 0);
    EXPECT_EQ(0, PumpWindowMessages());
    EXPECT_EQ("h", Callers(WM_USER + 1));
    EXPECT_EQ("h", Callers(WM_USER + 2));
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_USER, WM_USER + 2, PM_NOREMOVE));
}

TEST_F(GmDeviceWrapperWindow, RemoveMessageHookTakesTheFirstEqualEntryOnly)
{
    wrapper->m_callbacks.Add(First);
    wrapper->m_callbacks.Add(Second);
    wrapper->m_callbacks.Add(First);
    wrapper->RemoveMessageHook(GameHook);
    EXPECT_EQ(3u, wrapper->m_callbacks.Count());
    wrapper->RemoveMessageHook(First);
    ASSERT_EQ(2u, wrapper->m_callbacks.Count());
    EXPECT_EQ(&Second, wrapper->m_callbacks[0]);
    EXPECT_EQ(&First, wrapper->m_callbacks[1]);
}

TEST_F(GmDeviceWrapperWindow, EachLiveWindowHasAClassOfItsOwnNumber)
{
    CGmDeviceWrapper second(settings);
    EXPECT_STREQ("GE_D3dDevWnd_#2", second.m_className.c_str());
    ASSERT_NE(nullptr, second.GetWindow());
    // Messages go to their own window's wrapper.
    SendMessageA(second.GetWindow(), WM_SIZE, SIZE_MINIMIZED, 0);
    EXPECT_EQ(1, second.m_minimised);
    EXPECT_EQ(0, wrapper->m_minimised);
}

TEST_F(GmDeviceWrapperWindow, TheOverlaysCloseCommandReachesTheNewestDeviceWindowWhileItLives)
{
    CGmDeviceWrapper second(settings);
    wrapper->m_messageHook = GameHook;
    second.m_messageHook = GameHook;
    g_auxCloseDeviceWindow();
    EXPECT_EQ("h", Callers(WM_CLOSE));
    EXPECT_EQ(1, wrapper->m_running);

    // Nobody answers on the newest window: it goes, and the command with it.
    second.m_messageHook = nullptr;
    g_auxCloseDeviceWindow();
    EXPECT_EQ(0, second.m_running);
    g_hookCalls.clear();
    g_auxCloseDeviceWindow();
    EXPECT_EQ("", Callers(WM_CLOSE));
    EXPECT_EQ(1, wrapper->m_running);
}

namespace {

// The game's hook when the player confirms quitting: default handling, inside
// the window procedure's own WM_CLOSE.
LRESULT QuittingHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    g_hookCalls.push_back({'q', message});
    if (message == WM_CLOSE)
        return DefWindowProcA(window, message, wParam, lParam);
    return 0;
}

} // namespace

TEST_F(GmDeviceWrapperWindow, AHookThatClosesInsideCloseEndsTheLoopSafely)
{
    wrapper->m_callbacks.Add(First);
    wrapper->m_messageHook = QuittingHook;
    HWND window = wrapper->GetWindow();
    EXPECT_EQ(0, Send(WM_CLOSE));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(0, wrapper->m_running);
    EXPECT_EQ("aq", Callers(WM_CLOSE));
    EXPECT_EQ("", Callers(WM_DESTROY));
}

// The window layer's own translation of the desktop's window events, read by the pump.
TEST_F(GmDeviceWrapperWindow, DesktopEventsReachTheFlagsThroughThePump)
{
    const HWND window = wrapper->GetWindow();
    const struct {
        WinTestDesktopEvent event;
        uint8_t active;
        uint8_t minimised;
    } steps[] = {
        {WinTestDesktopEvent::FocusLost, 0, 0},
        {WinTestDesktopEvent::FocusGained, 1, 0},
        {WinTestDesktopEvent::Minimized, 1, 1},
        {WinTestDesktopEvent::FocusLost, 0, 1},
        {WinTestDesktopEvent::Restored, 0, 0},
        {WinTestDesktopEvent::FocusGained, 1, 0},
    };
    for (const auto& step : steps) {
        ASSERT_TRUE(WinTestInjectDesktopEvent(window, step.event));
        PumpWindowMessages();
        EXPECT_EQ(step.active, wrapper->m_active) << int(step.event);
        EXPECT_EQ(step.minimised, wrapper->m_minimised) << int(step.event);
    }

    // The close button: nobody listens, so the window goes and the loop ends.
    ASSERT_TRUE(WinTestInjectDesktopEvent(window, WinTestDesktopEvent::CloseRequest));
    PumpWindowMessages();
    EXPECT_EQ(0, wrapper->m_running);
}
