// The settings file: defaults written when there is none, a round trip of
// every field, the text forms, and damaged files that must never half-load.
#include "Source/GameClasses/QmGameConfig.h"

#include "tests/Support/TestTempDir.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class GameConfigTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_videoSettings = &m_settings;
        CQmGameConfig::ResetToProgramStart();
    }
    void TearDown() override
    {
        g_videoSettings = nullptr;
        CQmGameConfig::ResetToProgramStart();
    }

    std::string Path() const { return m_dir / "config.cfg"; }
    std::string Saved() const { return CTestTempDir::Read(Path()); }

    // A whole, valid file whose screen element carries the given attributes.
    std::string FileWithScreen(const std::string& screen, const std::string& local = "music_volume=\"0.25\"")
    {
        return "<?xml version=\"1.0\"?><config><audio_config><sound_card number=\"1\"/>"
               "<properties volume=\"0.75\"/></audio_config><video_config><adapter number=\"0\"/>"
               "<device type=\"HARDWARE\" vertex_processing=\"HARDWARE\"/><screen " +
               screen + "/></video_config><local_config " + local + "/></config>";
    }

    GeDeviceConfig m_settings;
    CTestTempDir m_dir;
};

} // namespace

TEST_F(GameConfigTest, NoFileGivesTheDefaultsAndWritesThem)
{
    m_settings.width = 1;
    EXPECT_FALSE(CQmGameConfig::Load(Path().c_str()));
    EXPECT_EQ(1280, m_settings.width);
    EXPECT_EQ(0x1001, m_settings.vertexProcessing);
    const std::string text = Saved();
    for (const char* expected :
         {"<?xml version=\"1.0\" encoding=\"utf-8\" ?>", "vertex_processing=\"HARDWARE\"", "bb_count=\"1\"",
          "windowed=\"FALSE\"", "pixel_bias=\"-0.50\"", "gamma=\"1.000\"", "volume=\"1.00\"",
          "music_volume=\"0.50\"", "shadow_volumes_on=\"TRUE\"", "minigames=\"0\"", "depth_stencil=\"D24S8\"",
          "format=\"R8G8B8\"", "min_texture_filter=\"LINEAR\"", "anisotrop_stage=\"0\"", "hz=\"60\""})
        EXPECT_NE(std::string::npos, text.find(expected)) << expected;
    // The sections stand in the writer's order.
    EXPECT_LT(text.find("audio_config"), text.find("video_config"));
    EXPECT_LT(text.find("video_config"), text.find("local_config"));
    EXPECT_FALSE(std::filesystem::exists(Path() + ".tmp"));
}

TEST_F(GameConfigTest, RoundTripKeepsEveryFieldButWindowed)
{
    CQmGameConfig::Load(Path().c_str());
    m_settings.soundCard = 2;
    m_settings.soundVolume = 0.25f;
    m_settings.deviceType = 1;
    m_settings.width = 800;
    m_settings.height = 600;
    m_settings.backBufferCount = 2;
    m_settings.refreshRate = 75;
    m_settings.backBufferFormat = 4;
    m_settings.depthStencilFormat = 19;
    m_settings.vsync = 1;
    m_settings.windowed = 1;
    m_settings.halfPixelOffset = 0.25f;
    m_settings.multisampleType = 4;
    m_settings.minFilter = 3;
    m_settings.magFilter = 1;
    m_settings.mipFilter = 2;
    m_settings.maxTextureSize = 2048;
    m_settings.anisotropy = 8;
    m_settings.gamma = 1.25f;
    CQmGameConfig::s_musicVolume = 0.75f;
    CQmGameConfig::s_shadowVolumesOn = false;
    CQmGameConfig::s_minigames = 0x41;
    ASSERT_TRUE(CQmGameConfig::Save(Path().c_str()));

    CQmGameConfig::ResetToProgramStart();
    ASSERT_TRUE(CQmGameConfig::Load(Path().c_str()));
    EXPECT_EQ(2, m_settings.soundCard);
    EXPECT_FLOAT_EQ(0.25f, m_settings.soundVolume);
    EXPECT_EQ(1, m_settings.deviceType);
    EXPECT_EQ(800, m_settings.width);
    EXPECT_EQ(600, m_settings.height);
    EXPECT_EQ(2, m_settings.backBufferCount);
    EXPECT_EQ(75, m_settings.refreshRate);
    EXPECT_EQ(4, m_settings.backBufferFormat);
    EXPECT_EQ(19, m_settings.depthStencilFormat);
    EXPECT_EQ(1, m_settings.vsync);
    EXPECT_EQ(0, m_settings.windowed); // saved as "TRUE", loaded as false
    EXPECT_FLOAT_EQ(0.25f, m_settings.halfPixelOffset);
    EXPECT_EQ(4, m_settings.multisampleType);
    EXPECT_EQ(3u, m_settings.minFilter);
    EXPECT_EQ(1u, m_settings.magFilter);
    EXPECT_EQ(2048u, m_settings.maxTextureSize);
    EXPECT_EQ(8, m_settings.anisotropy);
    EXPECT_FLOAT_EQ(1.25f, m_settings.gamma);
    EXPECT_FLOAT_EQ(0.75f, CQmGameConfig::s_musicVolume);
    EXPECT_FALSE(CQmGameConfig::s_shadowVolumesOn);
    EXPECT_EQ(0x41, CQmGameConfig::s_minigames);
}

TEST_F(GameConfigTest, TextFormsAndMissingAttributes)
{
    // No bb_count: the width is read and the count takes its default; an
    // unknown filter word reads as linear, lower-case "true" as false, a
    // negative mask as 0, a missing vertex processing as software.
    m_dir.Write("config.cfg", FileWithScreen("width=\"640\" min_texture_filter=\"TRILINEAR\" vsync=\"true\" "
                                             "windowed=\"TRUE\" depth_stencil=\"D16_LOCK\"",
                                             "minigames=\"-5\""));
    m_settings.backBufferCount = 7;
    EXPECT_TRUE(CQmGameConfig::Load(Path().c_str()));
    EXPECT_EQ(640, m_settings.width);
    EXPECT_EQ(1, m_settings.backBufferCount);
    EXPECT_EQ(2u, m_settings.minFilter);
    EXPECT_EQ(0, m_settings.vsync);
    EXPECT_EQ(0, m_settings.windowed);
    EXPECT_EQ(18, m_settings.depthStencilFormat);
    EXPECT_EQ(0, CQmGameConfig::s_minigames);
    EXPECT_FLOAT_EQ(1.0f, CQmGameConfig::s_musicVolume); // missing: 1.0, not the start value
    EXPECT_EQ(0x1001, m_settings.vertexProcessing);
    EXPECT_EQ(1, m_settings.soundCard);

    m_dir.Write("config.cfg", "<config><video_config><adapter/><device type=\"SOFTWARE\"/><screen/>"
                              "</video_config></config>");
    CQmGameConfig::Load(Path().c_str());
    EXPECT_EQ(0x1002, m_settings.vertexProcessing);
    EXPECT_EQ(1, m_settings.deviceType);
    CQmGameConfig::Save(Path().c_str());
    EXPECT_NE(std::string::npos, Saved().find("min_texture_filter=\"LINEAR\""));
}

TEST_F(GameConfigTest, MissingSectionsKeepTheirFields)
{
    // "video_config" without "screen": the whole video section keeps the
    // defaults, the other sections are read, and the file is not rewritten.
    const std::string text =
        "<config><audio_config><sound_card number=\"3\"/><properties volume=\"0.5\"/></audio_config>"
        "<video_config><adapter number=\"2\"/><device type=\"SOFTWARE\"/></video_config>"
        "<local_config music_volume=\"0.1\"/></config>";
    m_dir.Write("config.cfg", text);
    EXPECT_FALSE(CQmGameConfig::Load(Path().c_str()));
    EXPECT_EQ(3, m_settings.soundCard);
    EXPECT_EQ(0, m_settings.adapter);
    EXPECT_EQ(0, m_settings.deviceType);
    EXPECT_FLOAT_EQ(0.1f, CQmGameConfig::s_musicVolume);
    EXPECT_EQ(text, Saved());
}

TEST_F(GameConfigTest, DamagedFilesAreReplacedByTheDefaults)
{
    const std::string whole = FileWithScreen("width=\"640\"");
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"not XML", "width=640\nheight=480\n"},
        {"binary", std::string("\x00\xff\x13\x37", 4)},
        {"cut short", whole.substr(0, whole.size() / 2)},
        {"cut in a tag", whole.substr(0, whole.find("<screen") + 4)},
        {"other root", "<settings><audio_config/></settings>"},
    };
    for (const auto& c : cases) {
        m_dir.Write("config.cfg", c.bytes);
        m_settings.width = 77;
        CQmGameConfig::s_musicVolume = 0.9f;
        EXPECT_FALSE(CQmGameConfig::Load(Path().c_str())) << c.what;
        EXPECT_EQ(1280, m_settings.width) << c.what;
        EXPECT_FLOAT_EQ(0.9f, CQmGameConfig::s_musicVolume) << c.what;
        EXPECT_NE(std::string::npos, Saved().find("<config>")) << c.what;
    }
}

TEST_F(GameConfigTest, AFailedSaveKeepsTheOldFile)
{
    m_dir.Write("config.cfg", "<config/>");
    EXPECT_FALSE(CQmGameConfig::Save((m_dir / "missing/config.cfg").c_str()));
    // A folder in the way of the temporary file: nothing replaced.
    std::filesystem::create_directories(Path() + ".tmp");
    EXPECT_FALSE(CQmGameConfig::Save(Path().c_str()));
    EXPECT_EQ("<config/>", Saved());
}
