// The packed demo played in a real window on Xvfb (run by xvfb-run with SDL's
// x11 driver): the game starts in-process through the game-play harness, a
// new game with the tile puzzle counted as solved, so that the checks can
// find controls and entities; the pointer moves and clicks through the X
// server's XTEST calls and the pixels are read back from the X server, so
// every step goes through SDL, the window layer, the mouse, the GUI and the
// dispatcher as a player's would.
//
// Coordinates of the helpers are window pixels; PixelX and PixelY turn the
// GUI's 1280 x 1024 reference screen into them.
#pragma once

#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "tests/Source/Qasimar/GamePlayHarness.h"
#include "tests/Support/XvfbCheck.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

class XvfbDemoWindow : public ::testing::Test {
protected:
    // Callers wrap this in ASSERT_NO_FATAL_FAILURE.
    void StartInWindow(uint32_t windowWidth, uint32_t windowHeight)
    {
        width = windowWidth;
        height = windowHeight;
        CGamePlayHarness::Options options;
        options.pack = QM_DEMO_PACK;
        options.width = width;
        options.height = height;
        // The puzzle of the three tiles counts as solved: it stays shut.
        options.onNewGame = "QuestPass('three_tiles', 'voyage')";
        ASSERT_TRUE(game.Start(options));
        HWND window = g_pGmDevice->GetWindow();
        ShowWindow(window, SW_SHOWNORMAL);
        sdl = XvfbSdlWindow(window);
        ASSERT_NE(nullptr, sdl);
        SDL_SysWMinfo info;
        ASSERT_TRUE(X11Info(sdl, &info)) << "not on the x11 driver";
        display = info.info.x11.display;
        xwindow = info.info.x11.window;
        ASSERT_TRUE(pointer.Load(display)) << "no XTEST library; install libxtst6";
    }

    int PixelX(float reference) const { return int(reference * float(width) / 1280.0f); }
    int PixelY(float reference) const { return int(reference * float(height) / 1024.0f); }

    // Where the window's picture lies on the X screen, once the window has
    // been shown for some frames. Callers wrap this in ASSERT_NO_FATAL_FAILURE.
    void FindWindowOrigin() { ASSERT_TRUE(XWindowOrigin(sdl, &originX, &originY)); }

    // The pointer to a window pixel, then a few frames for SDL to pass it on.
    void PointAtPixel(int x, int y, uint32_t frames = 3)
    {
        pointer.MoveTo(originX + x, originY + y);
        game.Step(frames);
    }
    // A press and a release at a window pixel, as the player makes them: the
    // pointer comes and rests for some frames (the GUI takes a press where
    // the pointer was the frame before), the button goes down and up, then
    // the release, the control's click and its delivery take their frames.
    void ClickAtPixel(int x, int y, uint32_t restFrames = 2)
    {
        PointAtPixel(x, y, restFrames);
        pointer.Left(true);
        game.Step(2);
        pointer.Left(false);
        game.Step(4);
    }

    // The pixels the X server shows in a reference rectangle (0xRRGGBB, top
    // row first); empty when it cannot be read.
    std::vector<uint32_t> Shown(float x0, float y0, float x1, float y1)
    {
        std::vector<uint32_t> pixels;
        XSync(display, False);
        const int left = std::max(0, PixelX(x0)), top = std::max(0, PixelY(y0));
        const int w = std::min(int(width), PixelX(x1)) - left, h = std::min(int(height), PixelY(y1)) - top;
        if (w <= 0 || h <= 0)
            return pixels;
        XImage* image = XGetImage(display, xwindow, left, top, unsigned(w), unsigned(h), AllPlanes, ZPixmap);
        if (!image)
            return pixels;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                pixels.push_back(uint32_t(XGetPixel(image, x, y) & 0xFFFFFF));
        XDestroyImage(image);
        return pixels;
    }

    CGamePlayHarness game;
    uint32_t width = 0;
    uint32_t height = 0;
    SDL_Window* sdl = nullptr;
    Display* display = nullptr;
    Window xwindow = 0;
    XvfbFakeInput pointer;
    int originX = 0;
    int originY = 0;
};
