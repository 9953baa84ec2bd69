// The logo sequence on a small headless device with a clock that moves 0.1 s
// at every frame: the pictures beside the program come first, sorted, and only
// uncompressed 24- and 32-bit ones; each picture fades in over its first
// second and out over its last (one of 0.5 s never reaches full opacity); a
// captured frame shows the picture centred at its size on black; a missing or
// empty "logos" element, the space key and the window's closing end the
// sequence as they should; a video logo follows its track to its end or is
// skipped. The data lies in a temporary working directory.
#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeDeviceConfig.h"
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Platform/D3d9/D3d9Testing.h"
#include "Platform/Win32/WinMessages.h"
#include "Source/GameClasses/QmVideoPlayer.h"
#include "tests/Engine/Core/Sound/SoundFixtures.h"
#include "tests/Source/GameClasses/GameProcessorFakes.h"
#include "tests/Source/GameClasses/HintVideoFixtures.h"
#include "tests/Support/TestTempDir.h"
#include "tools/videoclip/TheoraClipWriter.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

const uint32_t kWidth = 160;
const uint32_t kHeight = 128;

// An uncompressed TGA of one colour (0xAARRGGBB), top row first; type 10
// marks it run-length encoded (the pixels are then not valid, which does not
// matter: such files are refused by their header).
std::string Tga(uint16_t width, uint16_t height, uint8_t depth, uint32_t colour, uint8_t type = 2)
{
    std::string bytes(18, '\0');
    bytes[2] = (char)type;
    bytes[12] = (char)(width & 0xFF);
    bytes[13] = (char)(width >> 8);
    bytes[14] = (char)(height & 0xFF);
    bytes[15] = (char)(height >> 8);
    bytes[16] = (char)depth;
    bytes[17] = (char)(depth == 32 ? 0x28 : 0x20);
    for (uint32_t i = 0; i < (uint32_t)width * height; ++i) {
        bytes.push_back((char)(colour & 0xFF));
        bytes.push_back((char)(colour >> 8 & 0xFF));
        bytes.push_back((char)(colour >> 16 & 0xFF));
        if (depth == 32)
            bytes.push_back((char)(colour >> 24));
    }
    return bytes;
}

// The processor of GameProcessorTest over a 160 by 128 windowed device, in a
// working directory of its own. Its frame clock moves 0.1 s once per frame,
// in the GUI update that each logo frame runs right after the timer.
class GameProcessorLogoTest : public GameProcessorTest {
protected:
    static inline GameProcessorLogoTest* s_current = nullptr;

    static void OnFrame()
    {
        GameProcessorLogoTest& test = *s_current;
        test.m_opacities.push_back(test.m_processor->logoOpacity);
        if (test.m_onFrame)
            test.m_onFrame((uint32_t)test.m_opacities.size());
        test.m_frameClock.ticks += 100;
    }

    void SetUp() override
    {
        m_previous = std::filesystem::current_path();
        std::filesystem::current_path(m_data.Path());
        // The engine core makes its own probe and kernels.
        if (g_pGeSimd)
            GeSimdDestroy();
        if (g_pGeCpuInfo)
            GeCpuProbeDestroy();
        GeCoreInit();
        SetDefaultDeviceConfig(*g_videoSettings);
        g_videoSettings->windowed = 1;
        g_videoSettings->width = kWidth;
        g_videoSettings->height = kHeight;
        g_videoSettings->refreshRate = 1;
        CGeHub::Init(*g_videoSettings);
        // The pictures are screen sprites: the 2D camera maps the reference
        // screen onto the window, as start-up's viewport does.
        m_screen2d.screenWidth = 1280;
        m_screen2d.screenHeight = 1024;
        m_screen2d.boundWidth = 1280.0f;
        m_screen2d.boundHeight = 1024.0f;
        m_screen2d.requestedViewport = {0, 0, kWidth, kHeight, 0.0f, 1.0f};
        m_screen2d.SetViewport(CGeHub::GetViewportOverride());
        CGeHub::s_cameras2d[CGeHub::s_currentSlot] = &m_screen2d;
        m_coreTimer = g_geTimer;
        GameProcessorTest::SetUp();
        g_geTimer = &m_logoTimer;
        s_current = this;
        m_keyboard.onUpdate = OnFrame;
        g_menu = nullptr; // without a menu, closing the window closes it
    }

    void TearDown() override
    {
        GameProcessorTest::TearDown();
        s_current = nullptr;
        g_geTimer = m_coreTimer;
        CGeHub::s_cameras2d[CGeHub::s_currentSlot] = nullptr;
        CGeHub::Shutdown();
        GeCoreShutdown();
        std::filesystem::current_path(m_previous);
    }

    // PlayLogos from a frame of 0.1 s, noting the logo's opacity at each frame.
    void Play()
    {
        ASSERT_NE(nullptr, g_pGmDevice);
        m_logoTimer.Update(); // what an earlier run left on the clock
        m_frameClock.ticks += 100;
        m_logoTimer.Update();
        m_frameClock.ticks += 100; // read by the first frame's timer update
        m_processor->PlayLogos();
    }

    CTestTempDir m_data;
    std::filesystem::path m_previous;
    CGmStaticCamera m_screen2d;
    CGeTimer* m_coreTimer = nullptr;
    ScriptTestClock m_frameClock;
    CGeTimer m_logoTimer{25.0f, &m_frameClock};
    std::vector<uint8_t> m_opacities;
    std::function<void(uint32_t)> m_onFrame;
};

TEST_F(GameProcessorLogoTest, LocalPicturesComeFirstSortedAndOnlyUncompressed24Or32Bits)
{
    CTestTempDir folder;
    folder.Write("b.tga", Tga(20, 10, 32, 0xFF00FF00));
    folder.Write("a.TGA", Tga(8, 4, 24, 0xFF0000FF));
    folder.Write("c.tga", Tga(8, 8, 32, 0xFFFFFFFF, 10)); // run-length encoded
    folder.Write("d.tga", Tga(8, 8, 16, 0xFFFFFFFF));     // 16 bits deep
    folder.Write("e.tga.txt", "not a picture");
    m_processor->AddLocalLogoPictures(folder.Path().c_str());

    std::vector<std::string> files;
    for (auto* node = m_processor->logos.head; node; node = node->next) {
        files.push_back(std::filesystem::path(node->value.file.c_str()).filename().string());
        EXPECT_EQ(-5.0f, node->value.time);
        EXPECT_EQ(0, node->value.video);
    }
    EXPECT_EQ((std::vector<std::string>{"a.TGA", "b.tga"}), files);
    ASSERT_NE(nullptr, m_processor->logos.head);
    EXPECT_EQ(8.0f, m_processor->logos.head->value.size[0]);
    EXPECT_EQ(4.0f, m_processor->logos.head->value.size[1]);
    EXPECT_EQ(folder.Path() + "/a.TGA", m_processor->logos.head->value.file.c_str());

    // Of more than 8 pictures only the first 8 by name are looked at.
    CTestTempDir many;
    for (char name = 'a'; name <= 'j'; ++name)
        many.Write(std::string(1, name) + ".tga", Tga(2, 2, 24, 0xFF102030));
    while (m_processor->logos.head)
        m_processor->logos.PopFront();
    m_processor->AddLocalLogoPictures(many.Path().c_str());
    uint32_t count = 0;
    for (auto* node = m_processor->logos.head; node; node = node->next)
        ++count;
    EXPECT_EQ(8u, count);
}

TEST_F(GameProcessorLogoTest, PicturesFadeInAndOutCentredOnBlack)
{
    m_data.Write("Textures/red.tga", Tga(64, 64, 32, 0xFFFF0000));
    m_data.Write("logo_config.xml", "<logos>\n"
                                    "  <logo file=\"Textures/red.tga\" size=\"640 512\" time=\"3\"/>\n"
                                    "  <logo file=\"Textures/red.tga\" size=\"640 512\" time=\"0.5\"/>\n"
                                    "</logos>\n");
    std::vector<uint32_t> pixels(kWidth * kHeight, 0x12345678);
    m_onFrame = [&](uint32_t frame) {
        if (frame == 15)
            D3d9CaptureNextPresent(g_pGmDevice->GetDevice(), pixels.data(), kWidth, kHeight);
    };
    Play();

    EXPECT_EQ(0, m_processor->logosPlaying);
    EXPECT_EQ(1, m_processor->menuOpen);
    EXPECT_EQ(nullptr, m_processor->logos.head);
    EXPECT_EQ(nullptr, m_processor->logoPicture);
    // 3 s at 0.1 s a frame: 30 frames of the first picture (one more of
    // opacity 0 where the sum of the frame times in floats falls just short),
    // then 5 of the second. The first rises over its first second to full
    // opacity, holds, and falls over its last second to 0.
    ASSERT_GE(m_opacities.size(), 35u);
    ASSERT_LE(m_opacities.size(), 37u);
    const std::vector<uint8_t> first(m_opacities.begin(), m_opacities.begin() + 30);
    EXPECT_EQ(25, first[0]);
    EXPECT_TRUE(std::is_sorted(first.begin(), first.begin() + 10));
    EXPECT_EQ(255, first[9]);
    EXPECT_EQ(255, first[15]);
    EXPECT_TRUE(std::is_sorted(first.begin() + 19, first.end(), std::greater<uint8_t>()));
    EXPECT_EQ(0, first[29]);
    // The 0.5 s picture: its fade-in and fade-out overlap, so it never gets
    // near full opacity (255 x 0.1 x 0.4, 0.2 x 0.3, ...).
    const std::vector<uint8_t> second(m_opacities.begin() + 30, m_opacities.end());
    EXPECT_EQ(0, second.back());
    EXPECT_EQ(15, *std::max_element(second.begin(), second.end()));

    // At full opacity the picture, 640 by 512 on the 1280 by 1024 reference
    // screen, covers the middle half of the window each way: x 40 to 120, y 32
    // to 96; the rest is cleared to black.
    auto pixel = [&](uint32_t x, uint32_t y) { return pixels[y * kWidth + x] & 0x00FFFFFF; };
    EXPECT_EQ(0xFF0000u, pixel(80, 64));
    EXPECT_EQ(0xFF0000u, pixel(42, 34));
    EXPECT_EQ(0xFF0000u, pixel(117, 93));
    EXPECT_EQ(0u, pixel(37, 64));
    EXPECT_EQ(0u, pixel(80, 29));
    EXPECT_EQ(0u, pixel(123, 64));
    EXPECT_EQ(0u, pixel(0, 0));
}

TEST_F(GameProcessorLogoTest, MissingOrEmptyLogoListAndAPictureThatCannotLoad)
{
    // No "logo_config.xml": nothing plays and the menu does not open.
    Play();
    EXPECT_TRUE(m_opacities.empty());
    EXPECT_EQ(0, m_processor->logosPlaying);
    EXPECT_EQ(0, m_processor->menuOpen);

    // A "logos" element without logos: the menu opens at once.
    m_data.Write("logo_config.xml", "<logos/>");
    Play();
    EXPECT_EQ(0, m_processor->logosPlaying);
    EXPECT_EQ(1, m_processor->menuOpen);
    m_processor->CloseMenu();

    // A picture that cannot be loaded draws nothing but still runs its time.
    m_data.Write("logo_config.xml", "<logos><logo file=\"Textures/none.tga\" size=\"10 10\" time=\"1\"/></logos>");
    m_opacities.clear();
    Play();
    EXPECT_EQ(nullptr, m_processor->logoPicture);
    EXPECT_GE(m_opacities.size(), 10u);
    EXPECT_LE(m_opacities.size(), 11u);
    EXPECT_EQ(1, m_processor->menuOpen);
}

TEST_F(GameProcessorLogoTest, SpaceSkipsAndClosingTheWindowEnds)
{
    m_data.Write("Textures/red.tga", Tga(8, 8, 24, 0xFFFF0000));
    m_data.Write("logo_config.xml", "<logos><logo file=\"Textures/red.tga\" size=\"8 8\" time=\"3\"/>"
                                    "<logo file=\"Textures/red.tga\" size=\"8 8\" time=\"3\"/></logos>");
    // The space key, delivered to the processor, skips every logo left.
    m_onFrame = [&](uint32_t frame) {
        if (frame == 5)
            Key(QM_VK_SPACE);
    };
    Play();
    EXPECT_EQ(5u, m_opacities.size());
    EXPECT_EQ(0, m_processor->logosPlaying);
    EXPECT_EQ(nullptr, m_processor->logos.head);
    EXPECT_EQ(1, m_processor->menuOpen);
    m_processor->CloseMenu();

    // Closing the window ends the loop before the next frame; the menu's
    // turn never comes.
    m_opacities.clear();
    m_onFrame = [&](uint32_t frame) {
        if (frame == 7)
            PostMessageA(g_pGmDevice->GetWindow(), WM_CLOSE, 0, 0);
    };
    Play();
    EXPECT_EQ(7u, m_opacities.size());
    EXPECT_EQ(0, g_pGmDevice->m_running);
    EXPECT_EQ(1, m_processor->logosPlaying);
    EXPECT_EQ(0, m_processor->menuOpen);
    EXPECT_NE(nullptr, m_processor->logos.head);
}

TEST_F(GameProcessorLogoTest, AVideoLogoFollowsItsTrackToTheEndOrIsSkipped)
{
    // The background music on the mixer's manual backend: each frame mixes
    // the frame's 0.1 s, so the clip's track runs with the frame clock.
    CManualMusic music;
    theoraclip::ClipSpec spec;
    spec.frames = 20;
    const theoraclip::Clip clip = theoraclip::MakeTheoraClip(spec);
    m_data.Write("Videos/intro.ogv", std::string(clip.bytes.begin(), clip.bytes.end()));
    m_data.Write("Sounds/intro.wav", WaveFile(2, 44100, 16, std::string(size_t(44100 * 0.6) * 4, '\x10')));
    m_data.Write("logo_config.xml", "<logos><logo file=\"Videos/intro.ogv\" video=\"true\" "
                                    "audiofilename=\"Sounds/intro.wav\"/></logos>");
    std::vector<int32_t> frames;
    m_onFrame = [&](uint32_t) {
        frames.push_back(m_processor->logoVideo ? m_processor->logoVideo->frameIndex : -2);
        CManualMusic::Pull(100);
    };
    Play();
    // 0.6 s of sound at 25 frames per second: frames 0 to 15 or so, rising,
    // then the end: the track stopped, the end flag set, the menu opened.
    ASSERT_GE(frames.size(), 6u);
    ASSERT_LE(frames.size(), 9u);
    EXPECT_TRUE(std::is_sorted(frames.begin(), frames.end() - 1));
    EXPECT_GE(*std::max_element(frames.begin(), frames.end()), 12);
    EXPECT_EQ(1, m_processor->logoVideoEnded);
    EXPECT_EQ(nullptr, m_processor->logoVideo);
    EXPECT_EQ(1, m_processor->menuOpen);
    EXPECT_EQ(nullptr, g_bgSoundManager->current);
    m_processor->CloseMenu();

    // Skipped with the space key: the player goes and its track with it.
    frames.clear();
    m_onFrame = [&](uint32_t) {
        frames.push_back(0);
        if (frames.size() == 2)
            Key(QM_VK_SPACE);
    };
    Play();
    EXPECT_EQ(2u, frames.size());
    EXPECT_EQ(nullptr, m_processor->logoVideo);
    EXPECT_EQ(nullptr, g_bgSoundManager->current);
    EXPECT_EQ(nullptr, g_bgSoundManager->incoming);
}

} // namespace
