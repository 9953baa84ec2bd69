#include "Platform/Win32/WinMessageBox.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Platform/Win32/WinSdl.h"

namespace {

struct RecordedButton {
    Uint32 flags;
    int id;
    std::string text;
};

struct ScriptedDialog {
    int result = 0;
    int buttonId = -1;
    int calls = 0;
    Uint32 flags = 0;
    std::string title;
    std::string message;
    std::vector<RecordedButton> buttons;
};

ScriptedDialog g_dialog;

int ScriptedShow(const SDL_MessageBoxData* data, int* buttonId)
{
    g_dialog.calls++;
    g_dialog.flags = data->flags;
    g_dialog.title = data->title;
    g_dialog.message = data->message;
    g_dialog.buttons.clear();
    for (int i = 0; i < data->numbuttons; i++)
        g_dialog.buttons.push_back({data->buttons[i].flags, data->buttons[i].buttonid, data->buttons[i].text});
    if (g_dialog.result == 0)
        *buttonId = g_dialog.buttonId;
    return g_dialog.result;
}

class WinMessageBox : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_dialog = ScriptedDialog();
        previous_ = WinSetMessageBoxBackend(ScriptedShow);
    }
    void TearDown() override { WinSetMessageBoxBackend(previous_); }

    WinMessageBoxBackend previous_ = nullptr;
};

TEST_F(WinMessageBox, AbortRetryIgnoreAnswersAndFailures)
{
    struct Case {
        int sdlResult;
        int buttonId;
        int expected;
    };
    const Case cases[] = {
        {0, 3, IDABORT}, {0, 4, IDRETRY}, {0, 5, IDIGNORE},
        {0, -1, 0}, // closed through the window manager
        {-1, -1, 0}, // no display
    };
    for (const Case& c : cases) {
        g_dialog.result = c.sdlResult;
        g_dialog.buttonId = c.buttonId;
        EXPECT_EQ(c.expected, MessageBoxA(nullptr, "body", "GE Error Handling", MB_ABORTRETRYIGNORE | MB_ICONERROR))
            << "sdl " << c.sdlResult << " button " << c.buttonId;
    }
}

TEST_F(WinMessageBox, DialogDataFollowsWin32ButtonOrderAndKeys)
{
    MessageBoxA(nullptr, "line one\r\nline two", "GE Error Handling", 0x12);
    ASSERT_EQ(1, g_dialog.calls);
    EXPECT_EQ((Uint32)(SDL_MESSAGEBOX_ERROR | SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT), g_dialog.flags);
    EXPECT_EQ("GE Error Handling", g_dialog.title);
    EXPECT_EQ("line one\nline two", g_dialog.message);
    ASSERT_EQ(3u, g_dialog.buttons.size());
    EXPECT_EQ(3, g_dialog.buttons[0].id);
    EXPECT_EQ(4, g_dialog.buttons[1].id);
    EXPECT_EQ(5, g_dialog.buttons[2].id);
    EXPECT_EQ("Abort", g_dialog.buttons[0].text);
    // Return picks Abort; Escape picks nothing, as without a Cancel button on Win32.
    EXPECT_EQ((Uint32)SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, g_dialog.buttons[0].flags);
    EXPECT_EQ(0u, g_dialog.buttons[1].flags);
    EXPECT_EQ(0u, g_dialog.buttons[2].flags);
}

TEST_F(WinMessageBox, CodePageTextBecomesUtf8)
{
    // "Ошибка" in Windows-1251.
    MessageBoxA(nullptr, "\xCE\xF8\xE8\xE1\xEA\xE0", "t", MB_OK);
    EXPECT_EQ("\xD0\x9E\xD1\x88\xD0\xB8\xD0\xB1\xD0\xBA\xD0\xB0", g_dialog.message);
    ASSERT_EQ(1u, g_dialog.buttons.size());
    EXPECT_EQ(IDOK, g_dialog.buttons[0].id);
}

TEST(WinMessageBoxHeadless, ReturnsZeroWithoutBlocking)
{
    // The test environment selects the offscreen driver: no dialog can appear.
    testing::internal::CaptureStderr();
    EXPECT_EQ(0, MessageBoxA(nullptr, "An error has occurred.", "GE Error Handling", 0x12));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, err.find("An error has occurred."));
}

} // namespace
