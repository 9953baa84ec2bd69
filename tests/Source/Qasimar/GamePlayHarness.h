// The game-play harness: the real start-up on a packed data folder, headless
// and in a small window, with a temporary working directory and per-user
// folder, the frame timer on a test clock (every frame lasts the same time),
// the engine's generator seeded after start-up, and input as window messages
// posted between frames. Tests read the game through the program-wide
// pointers (the processor, the current control set, the current location and
// its entities) and record script events with the event recorder.
//
// One harness at a time: it owns the program-wide state while it lives.
#pragma once

#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeRandom.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Gui/GuiControl.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiManager.h"
#include "Platform/D3d9/D3d9Testing.h"
#include "Platform/Win32/WinMessages.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmScriptProcessor.h"
#include "Source/Qasimar/QmStartup.h"
#include "tests/Support/TestTempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

// A captured pixel (0xAARRGGBB) whose colour channels lie within tolerance of
// 0xRRGGBB.
inline ::testing::AssertionResult PixelNear(uint32_t pixel, uint32_t rgb, int tolerance = 14)
{
    for (int shift = 0; shift < 24; shift += 8) {
        const int got = int(pixel >> shift & 0xFF), want = int(rgb >> shift & 0xFF);
        if (std::abs(got - want) > tolerance)
            return ::testing::AssertionFailure() << std::hex << (pixel & 0xFFFFFF) << " is not near " << rgb;
    }
    return ::testing::AssertionSuccess();
}

class CGamePlayHarness {
public:
    struct Options {
        std::string pack;     // copied into the working directory as resource.fpk
        // Further packs, copied beside it as resource_<name>.fpk; a later
        // pack wins for a name that several hold.
        std::vector<std::string> extraPacks;
        uint32_t width = 320; // back-buffer size
        uint32_t height = 256;
        uint32_t seed = 1; // GeSrand after start-up
        int64_t frameMilliseconds = 40;
        // Start a new game as the player does: the menu opens on its main
        // page, as at the end of the logos, and "but_new" is clicked. Off,
        // the game waits with no location after "global_init".
        bool newGame = true;
        // Script text run at the end of "on_start_new_game", before the start
        // location loads: what a test needs of the game before it begins.
        std::string onNewGame;
    };

    // A clock that moves one frame's time at every reading pair: the timer
    // reads it once a frame.
    class FrameClock : public CGeClock {
    public:
        int64_t Counter() override { return ticks; }
        int64_t Frequency() override { return 1000; }
        int64_t ticks = 0;
    };

    ~CGamePlayHarness() { Stop(); }

    // Start-up, the game processor's initialisation ("global_init" runs) and,
    // unless the options say otherwise, a new game started from the menu; the
    // logo sequence is not played. False when there is no device, or when the
    // new game did not reach a location.
    bool Start(const Options& options)
    {
        m_options = options;
        std::filesystem::copy_file(options.pack, m_work / "resource.fpk");
        for (size_t i = 0; i < options.extraPacks.size(); ++i)
            std::filesystem::copy_file(options.extraPacks[i], m_work / ("resource_" + std::to_string(i) + ".fpk"));
        m_previous = std::filesystem::current_path();
        std::filesystem::current_path(m_work.Path());
        setenv("XDG_DATA_HOME", m_home.Path().c_str(), 1);
        s_width = options.width;
        s_height = options.height;
        SetStartupSettingsHook(SizeWindow);
        m_started = true;
        if (!InitApplication())
            return false;
        m_systemTimer = g_geTimer;
        m_timer = new CGeTimer(25.0f, &m_clock);
        g_geTimer = m_timer;
        GeSrand(options.seed);
        g_gameProcessor->Init();
        return !options.newGame || StartNewGameFromMenu(options.onNewGame);
    }

    // The control of a set that the GUI manager holds; null when either is missing.
    static CGuiControl* MenuControl(const char* set, const char* name)
    {
        CGuiControlSet* controls = g_guiManager ? g_guiManager->FindControlSet(CGeString(set)) : nullptr;
        return controls ? controls->FindControl(CGeString(name)) : nullptr;
    }

    // The pointer moves onto the middle of a control, and in the next frame
    // clicks there.
    void ClickControl(const CGuiControl& control)
    {
        const Vec2 origin = control.ScreenOrigin();
        const float x = origin.x + control.width * 0.5f, y = origin.y + control.height * 0.5f;
        MoveMouse(x, y);
        Step();
        Click(x, y);
    }

    // The menu opens on its main page, as at the end of the logos, and its
    // "but_new" is clicked; true when the start location is current after.
    bool StartNewGameFromMenu(const std::string& onNewGame = "")
    {
        if (!onNewGame.empty()) {
            const std::string wrapper = "local demo = on_start_new_game\n"
                                        "function on_start_new_game()\n"
                                        "    if demo then demo() end\n" +
                                        onNewGame + "\nend\n";
            CGeString error;
            if (!ScriptRunString(wrapper.c_str(), error)) {
                ADD_FAILURE() << error.c_str();
                return false;
            }
        }
        g_gameProcessor->OpenMenu(0);
        Step();
        CGuiControl* button = MenuControl("main_menu", "but_new");
        if (!button)
            return false;
        ClickControl(*button);
        for (int frame = 0; frame < 4 && !Location(); ++frame)
            Step();
        return Location() != nullptr;
    }

    // Frames of the game processor, each one frame's time long.
    void Step(uint32_t frames = 1)
    {
        for (uint32_t i = 0; i < frames; ++i) {
            m_clock.ticks += m_options.frameMilliseconds;
            g_gameProcessor->Step();
        }
    }
    void StepSeconds(double seconds)
    {
        Step(uint32_t(std::ceil(seconds * 1000.0 / double(m_options.frameMilliseconds))));
    }

    // The next frame's presented pixels (0xAARRGGBB, top row first).
    std::vector<uint32_t> CaptureFrame()
    {
        std::vector<uint32_t> pixels(size_t(m_options.width) * m_options.height, 0);
        D3d9CaptureNextPresent(g_pGmDevice->GetDevice(), pixels.data(), m_options.width, m_options.height);
        Step();
        return pixels;
    }

    // Input, posted to the window for the next frame. Positions are in
    // reference pixels (1280 x 1024) whatever the back-buffer size.
    void MoveMouse(float x, float y) { Post(WM_MOUSEMOVE, 0, x, y); }
    void Click(float x, float y)
    {
        Post(WM_LBUTTONDOWN, 1, x, y);
        Post(WM_LBUTTONUP, 0, x, y);
    }
    void RightClick(float x, float y)
    {
        Post(WM_RBUTTONDOWN, 2, x, y);
        Post(WM_RBUTTONUP, 0, x, y);
    }
    void Key(uint32_t virtualKey)
    {
        PostMessageA(g_pGmDevice->GetWindow(), WM_KEYDOWN, virtualKey, 0);
        PostMessageA(g_pGmDevice->GetWindow(), WM_KEYUP, virtualKey, 0);
    }

    CQmLocation* Location() const { return g_locationManager ? g_locationManager->current : nullptr; }
    CQmEntity* Entity(const char* name) const { return Location() ? Location()->FindEntity(name) : nullptr; }
    CGuiControlSet* ControlSet() const { return g_guiManager ? g_guiManager->currentSet : nullptr; }

    void Stop()
    {
        if (!m_started)
            return;
        m_started = false;
        if (m_timer) {
            g_geTimer = m_systemTimer;
            delete m_timer;
            m_timer = nullptr;
        }
        ShutdownGame();
        SetStartupSettingsHook(nullptr);
        unsetenv("XDG_DATA_HOME");
        std::filesystem::current_path(m_previous);
        g_packPath = "";
    }

private:
    static void SizeWindow(GeDeviceConfig& settings)
    {
        settings.windowed = 1;
        settings.width = int32_t(s_width);
        settings.height = int32_t(s_height);
        settings.refreshRate = 1; // no display mode has it: the size is kept
    }

    void Post(UINT message, WPARAM buttons, float x, float y)
    {
        const int px = int(x * float(m_options.width) / 1280.0f);
        const int py = int(y * float(m_options.height) / 1024.0f);
        PostMessageA(g_pGmDevice->GetWindow(), message, buttons, LPARAM((py << 16) | (px & 0xFFFF)));
    }

    static inline uint32_t s_width = 320;
    static inline uint32_t s_height = 256;
    Options m_options;
    CTestTempDir m_work;
    CTestTempDir m_home;
    std::filesystem::path m_previous;
    FrameClock m_clock;
    CGeTimer* m_timer = nullptr;
    CGeTimer* m_systemTimer = nullptr;
    bool m_started = false;
};
