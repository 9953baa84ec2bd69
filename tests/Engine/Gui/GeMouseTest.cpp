// The mouse device fed through the device window's procedure.
#include "Engine/Gui/GeMouse.h"

#include "GuiDeviceFixture.h"
#include "Platform/Win32/WinCursor.h"

namespace {

using Codes = std::vector<uint32_t>;

class GeMouse : public GuiDeviceTest {
protected:
    void TearDown() override
    {
        ClipCursor(nullptr);
        GuiDeviceTest::TearDown();
    }
};

LPARAM At(int x, int y)
{
    return MAKELPARAM(x, y);
}

} // namespace

TEST_F(GeMouse, MessagesBecomeCodesAndState)
{
    CreateAt(1280, 1024);
    CGeMouse mouse;
    EXPECT_EQ(mouse.GetTypeId() >> 16, 7u);

    struct Step {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        Codes codes;        // posted by the next Update
        uint8_t buttons[5]; // after it
        int32_t wheel;
    } steps[] = {
        {WM_MOUSEMOVE, 0, At(10, 20), {23}, {0, 0, 0, 0, 0}, 0},
        {WM_MOUSEMOVE, 0, At(10, 20), {}, {0, 0, 0, 0, 0}, 0}, // same place: nothing
        {WM_LBUTTONDOWN, 0, At(11, 20), {1}, {1, 0, 0, 0, 0}, 0},
        {WM_RBUTTONDOWN, 0, At(11, 20), {5}, {1, 1, 0, 0, 0}, 0},
        {WM_MBUTTONDOWN, 0, At(11, 20), {9}, {1, 1, 1, 0, 0}, 0},
        {WM_XBUTTONDOWN, MAKEWPARAM(0, XBUTTON1), At(11, 20), {13}, {1, 1, 1, 1, 0}, 0},
        {WM_XBUTTONDOWN, MAKEWPARAM(0, XBUTTON2), At(11, 20), {17}, {1, 1, 1, 1, 1}, 0},
        {WM_XBUTTONUP, MAKEWPARAM(0, 0), At(11, 20), {}, {1, 1, 1, 1, 1}, 0}, // no extra button named
        {WM_XBUTTONUP, MAKEWPARAM(0, XBUTTON2), At(11, 20), {18}, {1, 1, 1, 1, 0}, 0},
        {WM_XBUTTONUP, MAKEWPARAM(0, XBUTTON1), At(11, 20), {14}, {1, 1, 1, 0, 0}, 0},
        {WM_MBUTTONUP, 0, At(11, 20), {10}, {1, 1, 0, 0, 0}, 0},
        {WM_RBUTTONUP, 0, At(11, 20), {6}, {1, 0, 0, 0, 0}, 0},
        {WM_LBUTTONUP, 0, At(11, 20), {2}, {0, 0, 0, 0, 0}, 0},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, 240), At(11, 20), {21}, {0, 0, 0, 0, 0}, 2},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, (WORD)-120), At(11, 20), {21}, {0, 0, 0, 0, 0}, 1},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, 60), At(11, 20), {21}, {0, 0, 0, 0, 0}, 1},
        {WM_LBUTTONDBLCLK, 0, At(11, 20), {}, {0, 0, 0, 0, 0}, 1}, // passed over
        // A press, then the pointer leaves: the button is up, and no 2 is posted.
        {WM_LBUTTONDOWN, 0, At(11, 20), {1}, {1, 0, 0, 0, 0}, 1},
        {WM_MOUSELEAVE, 0, 0, {}, {0, 0, 0, 0, 0}, 1},
    };
    int n = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE(n++);
        Send(s.message, s.wParam, s.lParam);
        mouse.Update();
        EXPECT_EQ(Pending(&mouse), s.codes);
        for (int b = 0; b < 5; ++b)
            EXPECT_EQ(mouse.buttons[b], s.buttons[b]) << "button " << b;
        EXPECT_EQ(mouse.wheel, s.wheel);
        EndFrame();
    }
    EXPECT_FLOAT_EQ(mouse.x, 11.0f);
    EXPECT_FLOAT_EQ(mouse.y, 20.0f);
    EXPECT_FLOAT_EQ(mouse.previousX, 11.0f);
}

TEST_F(GeMouse, FortyMovesPostThirtyTwoAndKeepTheLastPosition)
{
    CreateAt(1280, 1024);
    CGeMouse mouse;
    for (int i = 1; i <= 40; ++i)
        Send(WM_MOUSEMOVE, 0, At(i, 2 * i));
    mouse.Update();
    EXPECT_EQ(Pending(&mouse), Codes(32, 23));
    EXPECT_FLOAT_EQ(mouse.x, 40.0f);
    EXPECT_FLOAT_EQ(mouse.y, 80.0f);
}

TEST_F(GeMouse, PositionsMapIntoTheTwoDimensionalView)
{
    struct Case {
        int width, height; // display
        int px, py;        // client pixels
        float x, y;        // 2D view
    } cases[] = {
        {1280, 1024, 640, 512, 640.0f, 512.0f},
        {1024, 768, 512, 384, 640.0f, 512.0f},
        {1024, 768, 1023, 767, 1278.75f, 1022.6667f},
        // A drag left of and above the window stays negative on both axes.
        {1024, 768, -8, -6, -10.0f, -8.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        CreateAt(c.width, c.height);
        CGeMouse mouse;
        Send(WM_MOUSEMOVE, 0, At(c.px, c.py));
        mouse.Update();
        EXPECT_NEAR(mouse.x, c.x, 1e-3);
        EXPECT_NEAR(mouse.y, c.y, 1e-3);
        EndFrame();
        wrapper.reset();
    }
}

TEST_F(GeMouse, PressConfinesToTheGameAreaAndReleaseLetsGo)
{
    for (int width : {1280, 1024}) {
        const int height = (width == 1280) ? 1024 : 768;
        SCOPED_TRACE(width);
        CreateAt(width, height);
        CGeMouse mouse;
        EXPECT_EQ(mouse.GetClipRect().width, 0.0f);

        Send(WM_LBUTTONDOWN, 0, At(5, 5));
        RECT clip;
        ASSERT_TRUE(GetClipCursor(&clip));
        POINT origin = {0, 0};
        ClientToScreen(wrapper->GetWindow(), &origin);
        EXPECT_EQ(clip.left, origin.x);
        EXPECT_EQ(clip.top, origin.y);
        EXPECT_EQ(clip.right - clip.left, width);
        EXPECT_EQ(clip.bottom - clip.top, height);
        // As on Win32, a confinement to the whole desktop reads back as none.
        GeMouseRect view = mouse.GetClipRect();
        if (clip.right - clip.left != GetSystemMetrics(SM_CXSCREEN) ||
            clip.bottom - clip.top != GetSystemMetrics(SM_CYSCREEN)) {
            EXPECT_FLOAT_EQ(view.x, 0.0f);
            EXPECT_FLOAT_EQ(view.y, 0.0f);
            EXPECT_FLOAT_EQ(view.width, 1280.0f);
            EXPECT_FLOAT_EQ(view.height, 1024.0f);
        }

        // A part of the view maps to the matching client pixels.
        mouse.ClipToRect({640.0f, 512.0f, 320.0f, 256.0f});
        ASSERT_TRUE(GetClipCursor(&clip));
        EXPECT_EQ(clip.left - origin.x, width / 2);
        EXPECT_EQ(clip.bottom - origin.y, height * 3 / 4);
        view = mouse.GetClipRect();
        EXPECT_NEAR(view.x, 640.0f, 1e-3);
        EXPECT_NEAR(view.height, 256.0f, 1e-3);

        Send(WM_LBUTTONUP, 0, At(5, 5));
        EXPECT_EQ(mouse.GetClipRect().width, 0.0f);
        mouse.Update();
        EndFrame();
        wrapper.reset();
    }
}

TEST_F(GeMouse, SystemCursorHidingFollowsTheSwitches)
{
    CreateAt(320, 240);
    CGeMouse mouse;
    EXPECT_EQ(g_mouseRecord.hideSystemCursor, 1);
    mouse.ShowSystemCursor();
    EXPECT_EQ(g_mouseRecord.hideSystemCursor, 0);
    mouse.mayHideSystemCursor = 0;
    mouse.HideSystemCursor();
    EXPECT_EQ(g_mouseRecord.hideSystemCursor, 0);
    mouse.mayHideSystemCursor = 1;
    mouse.HideSystemCursor();
    EXPECT_EQ(g_mouseRecord.hideSystemCursor, 1);
}
