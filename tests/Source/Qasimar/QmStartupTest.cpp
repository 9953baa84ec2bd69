// The program's start-up, main loop and shutdown on the packed demo game,
// headless: "global_init" runs, the logo sequence presents its frames and
// gives way to the menu, whose "but_new" starts the game; the window's close
// request asks the menu's quit question, whose answer ends the loop, and
// shutdown leaves every pointer null. The working directory and the per-user folder are temporary.
#include "Source/Qasimar/QmStartup.h"

#include "Engine/Core/Common/CiDispatcher.h"
#include "Engine/Core/Common/GeAuxOverlay.h"
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Core/Gm/GmText.h"
#include "Engine/Core/Sound/SmSoundData.h"
#include "Engine/Core/Sound/SmSoundManager.h"
#include "Engine/Gui/GeCursorSet.h"
#include "Engine/Gui/GeMouse.h"
#include "Engine/Gui/GuiControl.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiResources.h"
#include "Platform/D3d9/D3d9Testing.h"
#include "Platform/Win32/WinMessages.h"
#include "Source/GameClasses/QmDialogSystem.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmGameVars.h"
#include "Source/GameClasses/QmInventory.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmMenu.h"
#include "Source/GameClasses/QmPuzzleManager.h"
#include "Source/GameClasses/QmQuests.h"
#include "Source/GameClasses/QmScriptProcessor.h"
#include "tests/Support/ErrorBoxRecorder.h"
#include "tests/Support/TestTempDir.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

const uint32_t kWidth = 160;
const uint32_t kHeight = 128;

void SmallWindow(GeDeviceConfig& settings)
{
    settings.windowed = 1;
    settings.width = kWidth;
    settings.height = kHeight;
    settings.refreshRate = 1; // no display mode has it: the size is kept
}

// The centre of a menu control in window pixels; false when it is missing.
bool ControlCentre(const char* set, const char* name, LPARAM& at)
{
    CGuiControlSet* controls = g_guiManager ? g_guiManager->FindControlSet(CGeString(set)) : nullptr;
    CGuiControl* control = controls ? controls->FindControl(CGeString(name)) : nullptr;
    if (!control || !g_pGmDevice)
        return false;
    const Vec2 origin = control->ScreenOrigin();
    const int x = int((origin.x + control->width * 0.5f) * kWidth / 1280.0f);
    const int y = int((origin.y + control->height * 0.5f) * kHeight / 1024.0f);
    at = LPARAM((y << 16) | x);
    return true;
}

// The click event of a menu control, as its own press and release post it.
void PostClickEvent(const char* set, const char* name)
{
    CGuiControlSet* controls = g_guiManager ? g_guiManager->FindControlSet(CGeString(set)) : nullptr;
    CGuiControl* control = controls ? controls->FindControl(CGeString(name)) : nullptr;
    if (!control)
        return;
    // The pointer rests on the control, as after a real click.
    if (g_mouse) {
        const Vec2 origin = control->ScreenOrigin();
        g_mouse->x = origin.x + control->width * 0.5f;
        g_mouse->y = origin.y + control->height * 0.5f;
    }
    control->PostEvent(GUI_EV_CLICK);
}

// A clock that moves 0.1 s at every reading, so that every frame lasts 0.1 s;
// past each capture's time it captures the next presented frame, past each
// click's time it moves the pointer onto a menu control and clicks there in
// the next frame (as a player's hand does), past closeAfter seconds it asks
// the window to close.
class FrameClock : public CGeClock {
public:
    int64_t Counter() override
    {
        ticks += 100;
        for (Capture& capture : captures) {
            if (capture.pixels && ticks >= capture.at && g_pGmDevice) {
                D3d9CaptureNextPresent(g_pGmDevice->GetDevice(), capture.pixels, kWidth, kHeight);
                capture.pixels = nullptr;
                break; // one capture per presented frame
            }
        }
        for (Click& click : clicks) {
            if (!click.name || ticks < click.at)
                continue;
            LPARAM at = 0;
            if (click.byEvent) {
                PostClickEvent(click.set, click.name);
                click.name = nullptr;
            } else if (!ControlCentre(click.set, click.name, at)) {
                click.name = nullptr;
            } else if (!click.pointed) {
                PostMessageA(g_pGmDevice->GetWindow(), WM_MOUSEMOVE, 0, at);
                click.pointed = true;
            } else {
                PostMessageA(g_pGmDevice->GetWindow(), WM_LBUTTONDOWN, 1, at);
                PostMessageA(g_pGmDevice->GetWindow(), WM_LBUTTONUP, 0, at);
                click.name = nullptr;
            }
        }
        if (closeAfter > 0 && ticks >= closeAfter * 1000 && !closeSent && g_pGmDevice) {
            PostMessageA(g_pGmDevice->GetWindow(), WM_CLOSE, 0, 0);
            closeSent = true;
        }
        return ticks;
    }
    int64_t Frequency() override { return 1000; }

    int64_t ticks = 0;
    int64_t closeAfter = 0;
    struct Capture {
        int64_t at; // milliseconds
        uint32_t* pixels;
    };
    std::vector<Capture> captures;
    struct Click {
        int64_t at; // milliseconds
        const char* set;
        const char* name;
        bool byEvent = false; // the control's click event alone, wherever the pointer is
        bool pointed = false;
    };
    std::vector<Click> clicks;
    bool closeSent = false;
};

// A working directory holding the packed demo, and an empty per-user folder.
class StartupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::copy_file(QM_DEMO_PACK, m_work / "resource.fpk");
        m_previous = std::filesystem::current_path();
        std::filesystem::current_path(m_work.Path());
        setenv("XDG_DATA_HOME", m_home.Path().c_str(), 1);
        SetStartupSettingsHook(SmallWindow);
    }
    void TearDown() override
    {
        SetStartupSettingsHook(nullptr);
        unsetenv("XDG_DATA_HOME");
        std::filesystem::current_path(m_previous);
        g_packPath = "";
    }

    // Runs the frames with the clock above in place of the system clock.
    uint32_t RunWithClock(int64_t closeAfterSeconds)
    {
        m_clock.closeAfter = closeAfterSeconds;
        CGeTimer* system = g_geTimer;
        CGeTimer driven(25.0f, &m_clock);
        g_geTimer = &driven;
        const uint32_t frames = RunMainLoop();
        g_geTimer = system;
        return frames;
    }

    CTestTempDir m_work;
    CTestTempDir m_home;
    std::filesystem::path m_previous;
    FrameClock m_clock;
    CErrorBoxRecorder m_errorBoxes;
};

void ExpectEverythingGone()
{
    EXPECT_EQ(nullptr, g_gameProcessor);
    EXPECT_EQ(nullptr, g_dispatcher);
    EXPECT_EQ(nullptr, g_locationManager);
    EXPECT_EQ(nullptr, g_luaState);
    EXPECT_EQ(nullptr, g_inventory);
    EXPECT_EQ(nullptr, g_menu);
    EXPECT_EQ(nullptr, g_dialogSystem);
    EXPECT_EQ(nullptr, g_puzzleManager);
    EXPECT_EQ(nullptr, g_pGmDevice);
    EXPECT_EQ(nullptr, g_videoSettings);
    EXPECT_EQ(nullptr, g_staticCamera);
    for (uint32_t slot = 0; slot < CGeHub::kMaxDevices; ++slot)
        EXPECT_EQ(nullptr, CGeHub::s_cameras2d[slot]) << "slot " << slot;
    EXPECT_EQ(nullptr, g_geTimer);
    EXPECT_EQ(0u, CQmGameVars::Count());
}

} // namespace

TEST_F(StartupTest, DemoStartsPlaysItsLogoAndEndsWhenTheWindowCloses)
{
    ASSERT_TRUE(InitApplication());
    // The pack path names the working directory's pack.
    EXPECT_EQ((std::filesystem::current_path() / "resource.fpk").string(), g_packPath.c_str());
    ASSERT_NE(nullptr, g_dispatcher);
    ASSERT_NE(nullptr, g_gameProcessor);
    ASSERT_NE(nullptr, g_luaState);
    EXPECT_STREQ("loc01", g_gameProcessor->startLocation.c_str());
    // The settings file was missing: it now holds the defaults (full screen).
    const std::string config = CTestTempDir::Read(m_home / "qasimar/config.cfg");
    EXPECT_NE(std::string::npos, config.find("windowed=\"FALSE\""));
    EXPECT_NE(std::string::npos, config.find("width=\"1280\""));
    // The 2D camera maps the reference screen onto the whole back buffer.
    EXPECT_EQ(g_staticCamera, CGeHub::s_cameras2d[0]);
    EXPECT_EQ(kWidth, g_staticCamera->currentViewport.Width);
    EXPECT_FLOAT_EQ(1280.0f / kWidth, UpdateScreenScale()[0]);
    EXPECT_EQ(1, g_pGmDevice->m_zEnabled);
    EXPECT_EQ((uint32_t)D3DTEXF_LINEAR, g_pGmDevice->m_filters[1][1]);
    for (const char* name : {"show_aux_geom", "show_aux_info", "show_aux_profiler", "camera_movement"})
        EXPECT_TRUE(AuxOverlay::IsRegistered(name)) << name;

    // The logo (3 s) plays at 0.1 s a frame and gives way to the menu; the
    // pointer comes onto "but_new" at 3.3 s and clicks it in the next frame,
    // which starts the game at loc01; the close request at 5 s asks the
    // menu's quit question of an unsaved game, and its "btn_no" at 5.5 s ends
    // the loop.
    // A frame at 1.5 s shows the logo at full opacity, centred on black; one
    // at 4.5 s is part of the 2 s fade in from black that the new game asked
    // for, over the game's grey (the loading screen's fades are over by then,
    // and without the fade these pixels are the full grey).
    std::vector<uint32_t> pixels(kWidth * kHeight, 0x12345678);
    std::vector<uint32_t> fading(kWidth * kHeight, 0x12345678);
    m_clock.captures = {{1500, pixels.data()}, {4500, fading.data()}};
    m_clock.clicks = {{3300, "main_menu", "but_new"}, {5500, "main_menu", "btn_no", true}};
    const uint32_t frames = RunWithClock(5);
    EXPECT_EQ(0u, pixels[0] & 0x00FFFFFF) << "the logo frames are cleared to black";
    // The demo's logo, 640 by 320 and centred on the 1280 by 1024 reference
    // screen, covers x 40 to 120 and y 44 to 84 of the 160 by 128 window: the
    // kettle's copper body at its centre (80, 69), the night-blue sky at
    // (47, 69), black outside it at (35, 69).
    auto pixel = [&](uint32_t x, uint32_t y) { return pixels[y * kWidth + x] & 0x00FFFFFF; };
    const uint32_t body = pixel(80, 69);
    const int red = (int)(body >> 16), green = (int)(body >> 8 & 0xFF), blue = (int)(body & 0xFF);
    EXPECT_TRUE(red > 150 && red > green + 40 && green > blue) << std::hex << body << " is not copper";
    const uint32_t sky = pixel(47, 69);
    EXPECT_TRUE((sky & 0xFF) > (sky >> 16) && (sky & 0xFF) > 0x20) << std::hex << sky << " is not night blue";
    EXPECT_EQ(0u, pixel(35, 69)) << "black left of the logo";
    EXPECT_GT(frames, 5u);
    EXPECT_GE(g_gameProcessor->framesRendered, 30u + frames);
    EXPECT_EQ(0, g_gameProcessor->logosPlaying);
    // The menu opened after the logo and again on the close request; the new
    // game between them emptied the variables.
    EXPECT_EQ(1, g_gameProcessor->menuOpen);
    EXPECT_EQ(1, CQmGameVars::GetValue("menu_opened"));
    EXPECT_EQ(1, g_quitRequested);
    EXPECT_EQ(1, CQmGameVars::GetValue("loading_loc01"));
    EXPECT_EQ(0, g_gameProcessor->changePending);
    EXPECT_EQ(0, g_pGmDevice->m_running);
    // The top row lies above loc01's painted wall, where its picture is clear
    // and the sky that loc01_init switches on shows; the cursor stays at the
    // left. Halfway through the fade every channel is between black and the
    // sky's pale blue.
    for (uint32_t at : {kWidth - 1, kWidth / 2}) {
        const uint32_t shade = fading[at];
        for (int shift : {0, 8, 16}) {
            const uint32_t channel = shade >> shift & 0xFF;
            EXPECT_TRUE(channel > 0x04 && channel < 0xA0)
                << std::hex << shade << " is not on the way from black to the sky";
        }
    }

    // "on_start_new_game" of the demo's "Scripts/global.lua" ran.
    EXPECT_EQ(1, CQmGameVars::GetValue("demo_started"));
    EXPECT_TRUE(CQmQuests::GetValue("prologue", "voyage"));

    ShutdownGame();
    ExpectEverythingGone();
    EXPECT_TRUE(m_errorBoxes.Messages().empty());
}

// The sound manager finds its sources through the resource collector: a
// sound is cached under its name while something holds it, shared with every
// other user of the name, and forgotten with its last reference.
TEST_F(StartupTest, SoundsAreFoundAndSharedThroughTheResourceCollector)
{
    ASSERT_TRUE(InitApplication());
    ASSERT_NE(nullptr, g_soundManager);
    CSmSoundEntry* entry = CSmSoundManager::CreateSound(g_soundManager, "Sounds/Absent.wav");
    ASSERT_NE(nullptr, entry);
    ASSERT_NE(nullptr, entry->data);
    EXPECT_TRUE(rescollect::FindSound("sounds/absent.wav"));
    CGeResource* shared = rescollect::LoadSound("sounds/absent.wav");
    EXPECT_EQ(static_cast<CGeResource*>(entry->data), shared) << "one source for the name";
    EXPECT_NE(nullptr, dynamic_cast<CSmGeneratedSound*>(shared)) << "a missing file gives the generated silence";
    EXPECT_EQ(entry->data->GetMemoryBytes(), rescollect::SumSoundValues());
    shared->Release();
    CSmSoundManager::RemoveSound(g_soundManager, "Sounds/Absent.wav");
    EXPECT_FALSE(rescollect::FindSound("sounds/absent.wav"));

    ShutdownGame();
    ExpectEverythingGone();
    EXPECT_TRUE(m_errorBoxes.Messages().empty());
}

// The start-up's GUI on the demo: its resources, the twenty cursors with the
// hot spots start-up gives them, "mainCtrlSet" current with the default
// cursor, and the processor's full-screen control taking a click that reaches
// the window as the window procedure gets it.
TEST_F(StartupTest, TheGuiIsUpAndTheScreenControlTakesClicks)
{
    ASSERT_TRUE(InitApplication());
    ASSERT_NE(nullptr, g_cursors);
    ASSERT_NE(nullptr, g_guiManager);
    EXPECT_NE(nullptr, CGuiResources::FindSpriteSchema(CGeString("Default game")));
    // The hot spots in force after start-up, by cursor index 1 to 20.
    const float hotSpots[20][2] = {{4, 5},  {5, 9},  {12, 12}, {6, 11},  {11, 6},  {9, 9},  {9, 9},
                                   {7, 2},  {8, 12}, {2, 2},   {11, 11}, {2, 2},   {4, 5},  {9, 13},
                                   {9, 13}, {9, 13}, {21, 15}, {4, 5},   {25, 39}, {31, 31}};
    for (uint32_t index = 1; index <= 20; ++index) {
        const CGmSprite* cursor = g_cursors->GetCursorSprite(index);
        ASSERT_NE(nullptr, cursor) << index;
        ASSERT_EQ(1u, cursor->hotPoints.Count()) << "cursor " << index << " has its one frame";
        EXPECT_EQ(hotSpots[index - 1][0], cursor->hotPoints[0].x) << index;
        EXPECT_EQ(hotSpots[index - 1][1], cursor->hotPoints[0].y) << index;
    }
    EXPECT_EQ(nullptr, g_cursors->GetCursorSprite(21));
    EXPECT_EQ(1u, g_cursors->shownCursor);
    EXPECT_EQ(g_mainControlSet, g_guiManager->currentSet);
    EXPECT_EQ(g_mainControlSet, g_guiManager->FindControlSet(CGeString("mainCtrlSet")));
    ASSERT_NE(nullptr, g_gameProcessor->mainScreenControl);
    EXPECT_EQ(g_gameProcessor->mainScreenControl, g_mainControlSet->FindControl(CGeString("_main_screen_ctrl")));

    // A click in the window's middle: the screen control reports it, and the
    // processor takes it as a click on the location in the frame after.
    const HWND window = g_pGmDevice->GetWindow();
    const LPARAM middle = MAKELPARAM(kWidth / 2, kHeight / 2);
    SendMessageA(window, WM_MOUSEMOVE, 0, middle);
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, middle);
    SendMessageA(window, WM_LBUTTONUP, 0, middle);
    for (int frame = 0; frame < 4 && !g_gameProcessor->clickPending; ++frame)
        g_gameProcessor->Update();
    EXPECT_EQ(1, g_gameProcessor->clickPending);

    ShutdownGame();
    ExpectEverythingGone();
    EXPECT_TRUE(m_errorBoxes.Messages().empty());
}

TEST_F(StartupTest, ClosingTheWindowDuringTheLogosEndsTheLoop)
{
    m_home.Write("qasimar/config.cfg", "<config><local_config music_volume=\"0.2\"/></config>");
    ASSERT_TRUE(InitApplication());
    // The close request asks the menu's quit question over the logo; its
    // "but_yes" ends the loop before the game's frames begin.
    m_clock.clicks = {{1500, "main_menu", "but_yes", true}};
    EXPECT_EQ(0u, RunWithClock(1));
    EXPECT_EQ(1, g_gameProcessor->menuOpen);
    EXPECT_EQ(1, g_quitRequested);
    EXPECT_EQ(1, g_gameProcessor->logosPlaying);
    ShutdownGame();
    ExpectEverythingGone();
    // A settings file that was read is not rewritten.
    EXPECT_EQ("<config><local_config music_volume=\"0.2\"/></config>",
              CTestTempDir::Read(m_home / "qasimar/config.cfg"));
}

// Tests and tools start the game several times in one process: each start
// draws on its own screen camera, and a text drawn between two games finds
// no screen rather than the last game's freed one.
TEST_F(StartupTest, AGameStartedAgainInTheSameProcessDrawsTextOnItsOwnScreen)
{
    for (int cycle = 0; cycle < 2; ++cycle) {
        ASSERT_TRUE(InitApplication()) << "start " << cycle;
        ASSERT_NE(nullptr, g_staticCamera);
        EXPECT_EQ(g_staticCamera, CGeHub::s_cameras2d[CGeHub::s_currentSlot]) << "start " << cycle;
        {
            CGmText caption(CGuiResources::FindFont(CGeString("SRT_FONT")));
            ASSERT_NE(nullptr, caption.font);
            caption.Layout(CGeWString(u"Qasimar"));
            g_pGmDevice->BeginScene();
            caption.Render();
            g_pGmDevice->EndScene();
            EXPECT_EQ(7u, caption.glyphCount) << "start " << cycle;
        }
        ShutdownGame();
        ExpectEverythingGone();

        CGmText between(nullptr);
        between.Layout(CGeWString(u"between two games"));
        between.Update();
    }
    EXPECT_TRUE(m_errorBoxes.Messages().empty());
}

TEST(StartupShutdown, ShutdownWithoutStartIsHarmless)
{
    ShutdownGame();
    ShutdownGame();
    ExpectEverythingGone();
}
