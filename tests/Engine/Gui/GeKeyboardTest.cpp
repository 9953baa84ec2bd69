// The keyboard device fed through the device window's procedure.
#include "Engine/Gui/GeKeyboard.h"

#include "GuiDeviceFixture.h"
#include "Platform/Win32/WinKeyboard.h"

namespace {

class GeKeyboard : public GuiDeviceTest {
protected:
    void SetUp() override
    {
        GuiDeviceTest::SetUp();
        CreateAt(320, 240);
    }
};

using Codes = std::vector<uint32_t>;

} // namespace

TEST_F(GeKeyboard, PressAndReleaseInOneFrame)
{
    CGeKeyboard keyboard;
    Send(WM_KEYDOWN, 'A', 0);
    Send(WM_CHAR, 'a', 0);
    Send(WM_KEYUP, 'A', 0);
    keyboard.Update();
    EXPECT_EQ(Pending(&keyboard), (Codes{34, 33, 35}));
    EXPECT_FALSE(keyboard.IsKeyDown('A'));
    EXPECT_EQ(keyboard.lastPressedKey, (uint32_t)'A');
    EXPECT_EQ(keyboard.lastReleasedKey, (uint32_t)'A');
    EXPECT_EQ(keyboard.character, (uint16_t)'a');
    EXPECT_EQ(keyboard.GetTypeId() >> 16, 6u);

    // The next frame without input: nothing posted, the character is gone.
    EndFrame();
    keyboard.Update();
    EXPECT_TRUE(Pending(&keyboard).empty());
    EXPECT_EQ(keyboard.character, 0);
}

TEST_F(GeKeyboard, HeldKeyRepeatsAndStaysDown)
{
    CGeKeyboard keyboard;
    Send(WM_KEYDOWN, VK_SHIFT, 0);
    keyboard.Update();
    EndFrame();
    Send(WM_KEYDOWN, VK_SHIFT, 0);
    Send(WM_KEYDOWN, VK_SHIFT, 0);
    keyboard.Update();
    EXPECT_EQ(Pending(&keyboard), (Codes{34, 34}));
    EXPECT_TRUE(keyboard.IsShiftDown());
    EXPECT_TRUE(keyboard.WasKeyDown(VK_SHIFT));
    EndFrame();
    Send(WM_KEYUP, VK_SHIFT, 0);
    keyboard.Update();
    EXPECT_FALSE(keyboard.IsShiftDown());
    EXPECT_TRUE(keyboard.WasKeyDown(VK_SHIFT));
}

TEST_F(GeKeyboard, KeyBitsFollowEveryQueuedEvent)
{
    // Two keys down, one up: last pressed holds only the last of them, but
    // the bits follow each event.
    CGeKeyboard keyboard;
    Send(WM_KEYDOWN, 'X', 0);
    Send(WM_KEYDOWN, 'Y', 0);
    Send(WM_KEYUP, 'X', 0);
    keyboard.Update();
    EXPECT_FALSE(keyboard.IsKeyDown('X'));
    EXPECT_TRUE(keyboard.IsKeyDown('Y'));
    EXPECT_EQ(keyboard.lastPressedKey, (uint32_t)'Y');
}

TEST_F(GeKeyboard, ThirtyThirdEventAndDeadDeviceAreDropped)
{
    {
        CGeKeyboard keyboard;
        for (int i = 0; i < 40; ++i)
            Send(WM_CHAR, 'a' + (i % 26), 0);
        keyboard.Update();
        EXPECT_EQ(Pending(&keyboard).size(), 32u);
        EXPECT_EQ(keyboard.character, (uint16_t)('a' + 39 % 26));
        EndFrame();
    }
    // Gone: its hook is off the window and records nothing.
    EXPECT_EQ(wrapper->m_callbacks.Count(), 0u);
    CGeKeyboard::Hook(nullptr, WM_KEYDOWN, 'Q', 0);
    EXPECT_EQ(g_keyboardRecord.queueCount, 0u);
    EXPECT_EQ(g_keyboardRecord.pendingKeyDown, 0u);
}
