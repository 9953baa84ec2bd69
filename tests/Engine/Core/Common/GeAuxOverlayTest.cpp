#include "Engine/Core/Common/GeAuxOverlay.h"

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "Engine/Core/Common/GeDeviceConfig.h"
#include "Platform/Win32/WinMessages.h"
#include "Platform/Win32/WinWindow.h"

namespace {

std::vector<std::pair<std::string, std::string>> g_printed;

void RecordOutput(const char* channel, const char* message)
{
    g_printed.emplace_back(channel, message);
}

class GeAuxOverlay : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_printed.clear();
        m_savedOutput = AuxOverlay::SetOutput(RecordOutput);
        m_savedSettings = g_videoSettings;
        g_videoSettings = nullptr;
    }

    void TearDown() override
    {
        g_videoSettings = nullptr;
        for (const char* name : {"a", "b", "flag", "odd", "text"})
            AuxOverlay::RemoveVariable(name);
        AuxOverlay::channelFilter.Clear();
        AuxOverlay::SetOutput(m_savedOutput);
        g_videoSettings = m_savedSettings;
    }

    void UseSettings(bool windowed)
    {
        SetDefaultDeviceConfig(m_settings);
        m_settings.windowed = windowed ? 1 : 0;
        g_videoSettings = &m_settings;
    }

    GeDeviceConfig m_settings;

private:
    AuxOverlay::OutputFunction m_savedOutput = nullptr;
    GeDeviceConfig* m_savedSettings = nullptr;
};

using Printed = std::vector<std::pair<std::string, std::string>>;

} // namespace

TEST_F(GeAuxOverlay, RegistrationAnnouncesTheCurrentValue)
{
    uint8_t flag = 0;
    AuxOverlay::RegisterVariable(GeValueBinding{&flag, GE_VALUE_BOOL}, "flag");
    EXPECT_TRUE(AuxOverlay::IsRegistered("flag"));
    EXPECT_EQ((Printed{{"none", "false"}}), g_printed);
}

TEST_F(GeAuxOverlay, ChangedValueIsReportedOnceByTheNextPass)
{
    uint8_t flag = 0;
    int32_t number = 5;
    AuxOverlay::RegisterVariable(GeValueBinding{&flag, GE_VALUE_BOOL}, "flag");
    AuxOverlay::RegisterVariable(GeValueBinding{&number, GE_VALUE_INT32}, "a");
    g_printed.clear();

    AuxOverlay::Update();
    EXPECT_TRUE(g_printed.empty());

    flag = 1;
    AuxOverlay::Update();
    EXPECT_EQ((Printed{{"none", "true"}}), g_printed);
    AuxOverlay::Update();
    AuxOverlay::Update();
    EXPECT_EQ(1u, g_printed.size());

    // Several changes come in name order, whatever the registration order.
    flag = 0;
    number = -7;
    g_printed.clear();
    AuxOverlay::Update();
    EXPECT_EQ((Printed{{"none", "-7"}, {"none", "false"}}), g_printed);
}

TEST_F(GeAuxOverlay, FullScreenRefusesRegistrationRemovalAndPrinting)
{
    uint8_t flag = 1;
    UseSettings(false);
    AuxOverlay::RegisterVariable(GeValueBinding{&flag, GE_VALUE_BOOL}, "flag");
    EXPECT_FALSE(AuxOverlay::IsRegistered("flag"));
    EXPECT_FALSE(AuxOverlay::Print("tag", "text"));
    EXPECT_TRUE(g_printed.empty());

    // Registered while windowed, the name survives a removal in full screen.
    m_settings.windowed = 1;
    AuxOverlay::RegisterVariable(GeValueBinding{&flag, GE_VALUE_BOOL}, "flag");
    m_settings.windowed = 0;
    EXPECT_FALSE(AuxOverlay::RemoveVariable("flag"));
    EXPECT_TRUE(AuxOverlay::IsRegistered("flag"));
    m_settings.windowed = 1;
    EXPECT_TRUE(AuxOverlay::RemoveVariable("flag"));
    EXPECT_FALSE(AuxOverlay::RemoveVariable("flag"));
}

TEST_F(GeAuxOverlay, ReRegistrationReplacesTheBinding)
{
    int32_t first = 1;
    int32_t second = 2;
    AuxOverlay::RegisterVariable(GeValueBinding{&first, GE_VALUE_INT32}, "a");
    AuxOverlay::RegisterVariable(GeValueBinding{&second, GE_VALUE_INT32}, "a");
    g_printed.clear();
    first = 10; // no longer watched
    AuxOverlay::Update();
    EXPECT_TRUE(g_printed.empty());
    second = 20;
    AuxOverlay::Update();
    EXPECT_EQ((Printed{{"none", "20"}}), g_printed);
}

TEST_F(GeAuxOverlay, ValueTextIsNeverAFormat)
{
    CGeString text("100%s %n");
    AuxOverlay::RegisterVariable(GeValueBinding{&text, GE_VALUE_STRING}, "text");
    EXPECT_EQ((Printed{{"none", "100%s %n"}}), g_printed);
}

TEST_F(GeAuxOverlay, UnknownKindIsAnnouncedOnceAndNeverAgain)
{
    int32_t variable = 3;
    AuxOverlay::RegisterVariable(GeValueBinding{&variable, 99}, "odd");
    EXPECT_EQ((Printed{{"none", ""}}), g_printed);
    variable = 4;
    AuxOverlay::Update();
    EXPECT_EQ(1u, g_printed.size());
}

TEST_F(GeAuxOverlay, ChannelsOfTags)
{
    struct Case {
        std::string tag;
        std::string channel;
    };
    const Case cases[] = {
        {"@ja@ hello", "ja"}, {"@lua@", "lua"}, {"ja", "none"}, {"@ja", "none"},
        {"x@ja@", "none"},    {"", "none"},     {"@@", ""},
        {"@" + std::string(120, 'c') + "@", std::string(99, 'c')},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.channel, AuxOverlay::ChannelOfTag(CGeString(c.tag.c_str())).c_str()) << c.tag;
}

TEST_F(GeAuxOverlay, ChannelFilter)
{
    struct Case {
        std::vector<const char*> filter;
        bool luaPasses, nonePasses;
    };
    const Case cases[] = {
        {{}, true, true},
        {{"ALL"}, true, true},
        {{"lua"}, true, false},
        {{"ja", "none"}, false, true},
    };
    for (const Case& c : cases) {
        AuxOverlay::channelFilter.Clear();
        for (const char* entry : c.filter)
            AuxOverlay::channelFilter.Add(CGeString(entry));
        g_printed.clear();
        EXPECT_FALSE(AuxOverlay::Print("@lua@", "%d", 1));
        EXPECT_FALSE(AuxOverlay::Print("plain", "%d", 2));
        Printed expected;
        if (c.luaPasses)
            expected.emplace_back("lua", "1");
        if (c.nonePasses)
            expected.emplace_back("none", "2");
        EXPECT_EQ(expected, g_printed);
    }
}

TEST_F(GeAuxOverlay, PrintCutsLongMessages)
{
    const std::string longText(5000, 'x');
    AuxOverlay::Print("tag", "%s", longText.c_str());
    ASSERT_EQ(1u, g_printed.size());
    EXPECT_EQ(std::string(4095, 'x'), g_printed[0].second);
}

namespace {

std::vector<UINT> g_windowMessages;

LRESULT RecordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    g_windowMessages.push_back(message);
    if (message == WM_CLOSE)
        return 0; // handled: the window stays until the test destroys it
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

TEST_F(GeAuxOverlay, CloseCommandSendsWmCloseToTheDeviceWindow)
{
    // Without a device window the command does nothing.
    AuxOverlay::SetDeviceWindow(nullptr);
    g_auxCloseDeviceWindow();

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = RecordingProcedure;
    windowClass.lpszClassName = "AuxOverlayTestClass";
    ASSERT_NE(0, RegisterClassA(&windowClass));
    HWND window = CreateWindowExA(0, "AuxOverlayTestClass", "overlay", 0, 0, 0, 64, 64, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(nullptr, window);

    g_windowMessages.clear();
    AuxOverlay::SetDeviceWindow(window);
    g_auxCloseDeviceWindow();
    EXPECT_EQ(std::vector<UINT>{WM_CLOSE}, g_windowMessages);

    // A window that is gone is not sent anything.
    DestroyWindow(window);
    g_windowMessages.clear();
    AuxOverlay::CloseDeviceWindow();
    EXPECT_TRUE(g_windowMessages.empty());
    AuxOverlay::SetDeviceWindow(nullptr);
}
