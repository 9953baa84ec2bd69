// Full screen: the back buffer's place in the window (letterbox or
// pillarbox) and mouse positions mapped back onto the back buffer.
#include "WinTestWindow.h"

#include "Platform/Win32/WinCursor.h"

namespace {

struct LetterboxCase {
    int sourceWidth, sourceHeight, areaWidth, areaHeight;
    SDL_Rect expected;
};

TEST(WinFullScreenLetterbox, KeepsTheAspectRatioCentredAndRounded)
{
    const LetterboxCase cases[] = {
        {1280, 1024, 1280, 1024, {0, 0, 1280, 1024}},  // same size
        {640, 480, 1024, 768, {0, 0, 1024, 768}},      // same shape, scaled up
        {1280, 1024, 1920, 1080, {285, 0, 1350, 1080}}, // pillarbox on a wide desktop
        {1280, 1024, 1024, 768, {32, 0, 960, 768}},     // scaled down, pillarbox
        {800, 600, 1280, 1024, {0, 32, 1280, 960}},     // letterbox on a 5:4 desktop
        {3, 1, 10, 10, {0, 3, 10, 3}},                  // 3.33 rows round to 3
        {4, 3, 11, 3, {3, 0, 4, 3}},                    // odd bar width: the extra pixel goes right
        {1000, 1, 10, 10, {0, 4, 10, 1}},               // never thinner than a pixel
        {0, 1024, 1920, 1080, {0, 0, 0, 0}},            // nothing to show
        {1280, 1024, 0, 1080, {0, 0, 0, 0}},            // no area
    };
    for (const LetterboxCase& c : cases) {
        SDL_Rect r = WinLetterbox(c.sourceWidth, c.sourceHeight, c.areaWidth, c.areaHeight);
        EXPECT_TRUE(r.x == c.expected.x && r.y == c.expected.y && r.w == c.expected.w && r.h == c.expected.h)
            << c.sourceWidth << "x" << c.sourceHeight << " in " << c.areaWidth << "x" << c.areaHeight << ": got {"
            << r.x << ", " << r.y << ", " << r.w << ", " << r.h << "}";
    }
}

class WinFullScreenMouse : public TestWindow {
protected:
    void TearDown() override
    {
        WinSetBackBufferScaling(WinGetSdlWindow(window_), 0, 0);
        TestWindow::TearDown();
    }

    // The client position a single move at (x, y) arrives with.
    POINT MoveTo(int x, int y)
    {
        s_recorded.clear();
        Feed({Motion(x, y)});
        std::vector<RecordedMessage> input = Input();
        if (input.size() != 1 || input[0].message != WM_MOUSEMOVE)
            return {-1, -1};
        return {GET_X_LPARAM(input[0].lParam), GET_Y_LPARAM(input[0].lParam)};
    }
};

// A 1280 x 1024 back buffer on a 1920 x 1080 desktop: it is shown 1350 x 1080
// from x = 285, with black bars left and right.
TEST_F(WinFullScreenMouse, WindowPositionsBecomeBackBufferPositions)
{
    WinSetBackBufferScaling(WinGetSdlWindow(window_), 1280, 1024);
    Feed({Window(SDL_WINDOWEVENT_SIZE_CHANGED, 1920, 1080)});
    EXPECT_EQ((std::vector<RecordedMessage>{{WM_SIZE, SIZE_RESTORED, MAKELPARAM(1280, 1024)}}), Input())
        << "the client keeps the back buffer's size";
    RECT client = {};
    ASSERT_TRUE(GetClientRect(window_, &client));
    EXPECT_EQ(1280, client.right);
    EXPECT_EQ(1024, client.bottom);

    struct MoveCase {
        int x, y, clientX, clientY;
    };
    const MoveCase cases[] = {
        {285, 0, 0, 0},          // top left of the image
        {1634, 1079, 1279, 1023}, // bottom right of the image
        {960, 540, 640, 512},     // centre
        {300, 100, 14, 95},       // 15.5 / 1.0547 = 14.7, 100.5 / 1.0547 = 95.3
        {10, 300, 0, 284},        // left bar: the image's left edge
        {1900, -20, 1279, 0},     // right bar, above the window while dragging
        {2500, 5000, 1279, 1023}, // far outside
    };
    for (const MoveCase& c : cases) {
        POINT p = MoveTo(c.x, c.y);
        EXPECT_TRUE(p.x == c.clientX && p.y == c.clientY)
            << "window (" << c.x << ", " << c.y << ") gave (" << p.x << ", " << p.y << ")";
    }

    // Buttons and the wheel use the same mapping; the wheel adds the client
    // origin (desktop 640, 0).
    s_recorded.clear();
    Feed({Button(true, 1, 960, 540), Button(false, 1, 960, 540), Wheel(1, 0, false, 960, 540)});
    EXPECT_EQ((std::vector<RecordedMessage>{{WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(640, 512)},
                                            {WM_LBUTTONUP, 0, MAKELPARAM(640, 512)},
                                            {WM_MOUSEWHEEL, 0x00780000, MAKELPARAM(1280, 512)}}),
              Input());
}

TEST_F(WinFullScreenMouse, WindowedAgainMeansClientPositionsAsTheyAre)
{
    SDL_Window* sdl = WinGetSdlWindow(window_);
    WinSetBackBufferScaling(sdl, 640, 480);
    Feed({Window(SDL_WINDOWEVENT_SIZE_CHANGED, 1280, 1024)});
    POINT scaled = MoveTo(1279, 1023);
    EXPECT_TRUE(scaled.x == 639 && scaled.y == 479) << scaled.x << ", " << scaled.y;

    WinSetBackBufferScaling(sdl, 0, 0);
    POINT plain = MoveTo(1279, 1023);
    EXPECT_TRUE(plain.x == 1279 && plain.y == 1023) << plain.x << ", " << plain.y;
    RECT client = {};
    ASSERT_TRUE(GetClientRect(window_, &client));
    EXPECT_EQ(1280, client.right);
}

} // namespace

namespace {

// SetCursorPos and ClipCursor speak desktop positions over the client area
// (desktop 640, 0); while the device scales, those are back-buffer pixels and
// must reach SDL as the window pixels showing them. The window really is
// 1920 x 1080 here, so SDL's own motion after a warp lands inside it.
class WinFullScreenCursor : public WinFullScreenMouse {
protected:
    void Show(int backWidth, int backHeight)
    {
        SDL_SetWindowSize(WinGetSdlWindow(window_), 1920, 1080);
        WinSetBackBufferScaling(WinGetSdlWindow(window_), backWidth, backHeight);
        Feed({Window(SDL_WINDOWEVENT_SIZE_CHANGED, 1920, 1080)});
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        s_recorded.clear();
    }

    void TearDown() override
    {
        ClipCursor(nullptr);
        WinFullScreenMouse::TearDown();
    }
};

struct WarpCase {
    int backWidth, backHeight; // 0 x 0: 1:1
    int desktopX, desktopY;
    int windowX, windowY;      // where SDL warps the pointer
    int cursorX, cursorY;      // GetCursorPos afterwards
};

TEST_F(WinFullScreenCursor, SetCursorPosWarpsToTheWindowPixelShowingThePosition)
{
    // 1280 x 1024 is shown 1350 x 1080 from x = 285.
    const WarpCase cases[] = {
        {1280, 1024, 640, 0, 285, 0, 640, 0},            // top left
        {1280, 1024, 1919, 1023, 1634, 1079, 1919, 1023}, // bottom right
        {1280, 1024, 1280, 512, 960, 540, 1280, 512},     // centre
        {1280, 1024, 654, 95, 300, 100, 654, 95},         // (14.5 * 1.0547, 95.5 * 1.0547)
        {1280, 1024, 0, -50, 285, 0, 640, 0},             // left of the back buffer: its edge
        {1280, 1024, 5000, 5000, 1634, 1079, 1919, 1023}, // far outside
        {0, 0, 740, 200, 100, 200, 740, 200},             // 1:1: desktop minus origin
        {0, 0, 2540, 1000, 1900, 1000, 2540, 1000},
    };
    for (const WarpCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << "back buffer " << c.backWidth << " x " << c.backHeight
                                          << ", desktop (" << c.desktopX << ", " << c.desktopY << ")");
        Show(c.backWidth, c.backHeight);
        ASSERT_TRUE(SetCursorPos(c.desktopX, c.desktopY));
        POINT cursor;
        GetCursorPos(&cursor);
        EXPECT_EQ(c.cursorX, cursor.x);
        EXPECT_EQ(c.cursorY, cursor.y);

        // The move SDL makes for the warp comes back as the same position.
        SDL_Event motion;
        SDL_PumpEvents();
        ASSERT_EQ(1, SDL_PeepEvents(&motion, 1, SDL_GETEVENT, SDL_MOUSEMOTION, SDL_MOUSEMOTION));
        EXPECT_EQ(c.windowX, motion.motion.x);
        EXPECT_EQ(c.windowY, motion.motion.y);
        Feed({motion});
        EXPECT_EQ((std::vector<RecordedMessage>{{WM_MOUSEMOVE, 0, MAKELPARAM(c.cursorX - 640, c.cursorY)}}),
                  Input());
    }
}

struct ConfineCase {
    int backWidth, backHeight; // 0 x 0: 1:1
    RECT desktop;
    SDL_Rect expected; // in SDL window pixels
};

TEST_F(WinFullScreenCursor, ClipCursorConfinesToTheWindowPixelsShowingTheRectangle)
{
    const ConfineCase cases[] = {
        {1280, 1024, {640, 0, 1920, 1024}, {285, 0, 1350, 1080}},    // the whole back buffer
        {1280, 1024, {740, 200, 940, 400}, {390, 211, 211, 211}},    // inside
        {1280, 1024, {0, -100, 740, 100}, {285, 0, 105, 105}},       // cut to the image
        {640, 480, {640, 0, 960, 240}, {240, 0, 720, 540}},          // 2.25 times: a quarter
        {0, 0, {740, 200, 940, 400}, {100, 200, 200, 200}},          // 1:1
        {0, 0, {0, 100, 3000, 200}, {0, 100, 1920, 100}},
    };
    for (const ConfineCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << "back buffer " << c.backWidth << " x " << c.backHeight << ", rect {"
                                          << c.desktop.left << ", " << c.desktop.top << ", " << c.desktop.right
                                          << ", " << c.desktop.bottom << "}");
        Show(c.backWidth, c.backHeight);
        ASSERT_TRUE(ClipCursor(&c.desktop));
        const SDL_Rect* confined = SDL_GetWindowMouseRect(WinGetSdlWindow(window_));
        ASSERT_NE(nullptr, confined);
        EXPECT_TRUE(SDL_RectEquals(&c.expected, confined))
            << "{" << confined->x << ", " << confined->y << ", " << confined->w << ", " << confined->h << "}";

        // Every pixel of the confinement maps inside the rectangle, and the
        // next pixel past its right and bottom edges (inside the image) outside.
        const WinWindowRecord* record = WinFindWindow(window_);
        RECT client = {c.desktop.left - 640, c.desktop.top, c.desktop.right - 640, c.desktop.bottom};
        int x, y;
        WinMapClientPosition(record, confined->x, confined->y, &x, &y);
        EXPECT_TRUE(x >= client.left && y >= client.top) << x << ", " << y;
        WinMapClientPosition(record, confined->x + confined->w - 1, confined->y + confined->h - 1, &x, &y);
        EXPECT_TRUE(x < client.right && y < client.bottom) << x << ", " << y;
        if (c.backWidth > 0 && c.desktop.right - 640 < c.backWidth) {
            WinMapClientPosition(record, confined->x + confined->w, confined->y + confined->h, &x, &y);
            EXPECT_TRUE(x >= client.right && y >= client.bottom) << x << ", " << y;
        }
        ClipCursor(nullptr);
    }
}

} // namespace
