// Key events to WM_KEYDOWN / WM_KEYUP / WM_CHAR and their SYS forms, through
// the translator and the engine-style pump (TranslateMessage included).
#include "WinTestWindow.h"

namespace {

using Messages = std::vector<RecordedMessage>;

struct KeyCase {
    const char* name;
    std::vector<SDL_Event> events;
    Messages expected;
};

class WinKeyboardMessages : public TestWindow {
protected:
    void RunCases(const std::vector<KeyCase>& cases)
    {
        for (const KeyCase& c : cases) {
            WinResetInputState();
            WinResetKeyState();
            s_recorded.clear();
            Feed(c.events);
            EXPECT_EQ(c.expected, Input()) << c.name;
        }
    }
};

TEST_F(WinKeyboardMessages, TypingAndControlCharacters)
{
    const Uint16 LS = KMOD_LSHIFT, LC = KMOD_LCTRL;
    RunCases({
        {"letter", {Key(true, SDL_SCANCODE_A, 'a', 0), Text("a"), Key(false, SDL_SCANCODE_A, 'a', 0)},
         {{KD, 0x41, 0x001E0001}, {CH, 0x61, 0x001E0001}, {KU, 0x41, (LPARAM)0xC01E0001}}},
        {"auto-repeat", {Key(true, SDL_SCANCODE_A, 'a', 0, 1), Text("a")},
         {{KD, 0x41, 0x401E0001}, {CH, 0x61, 0x401E0001}}},
        {"shifted letter",
         {Key(true, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, LS), Key(true, SDL_SCANCODE_A, 'a', LS), Text("A")},
         {{KD, 0x10, 0x002A0001}, {KD, 0x41, 0x001E0001}, {CH, 0x41, 0x001E0001}}},
        {"right shift and right ctrl",
         {Key(true, SDL_SCANCODE_RSHIFT, SDLK_RSHIFT, KMOD_RSHIFT),
          Key(true, SDL_SCANCODE_RCTRL, SDLK_RCTRL, KMOD_RSHIFT | KMOD_RCTRL)},
         {{KD, 0x10, 0x00360001}, {KD, 0x11, 0x011D0001}}},
        {"backspace", {Key(true, SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE, 0), Key(false, SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE, 0)},
         {{KD, 0x08, 0x000E0001}, {CH, 0x08, 0x000E0001}, {KU, 0x08, (LPARAM)0xC00E0001}}},
        {"tab", {Key(true, SDL_SCANCODE_TAB, SDLK_TAB, 0)}, {{KD, 0x09, 0x000F0001}, {CH, 0x09, 0x000F0001}}},
        {"shift tab", {Key(true, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, LS), Key(true, SDL_SCANCODE_TAB, SDLK_TAB, LS)},
         {{KD, 0x10, 0x002A0001}, {KD, 0x09, 0x000F0001}, {CH, 0x09, 0x000F0001}}},
        {"ctrl tab types nothing", {Key(true, SDL_SCANCODE_LCTRL, SDLK_LCTRL, LC), Key(true, SDL_SCANCODE_TAB, SDLK_TAB, LC)},
         {{KD, 0x11, 0x001D0001}, {KD, 0x09, 0x000F0001}}},
        {"enter", {Key(true, SDL_SCANCODE_RETURN, SDLK_RETURN, 0)}, {{KD, 0x0D, 0x001C0001}, {CH, 0x0D, 0x001C0001}}},
        {"keypad enter is extended", {Key(true, SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, KMOD_NUM)},
         {{KD, 0x0D, 0x011C0001}, {CH, 0x0D, 0x011C0001}}},
        {"ctrl enter is line feed", {Key(true, SDL_SCANCODE_LCTRL, SDLK_LCTRL, LC), Key(true, SDL_SCANCODE_RETURN, SDLK_RETURN, LC)},
         {{KD, 0x11, 0x001D0001}, {KD, 0x0D, 0x001C0001}, {CH, 0x0A, 0x001C0001}}},
        {"escape", {Key(true, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, 0)}, {{KD, 0x1B, 0x00010001}, {CH, 0x1B, 0x00010001}}},
        {"ctrl c: control character, text dropped",
         {Key(true, SDL_SCANCODE_LCTRL, SDLK_LCTRL, LC), Key(true, SDL_SCANCODE_C, 'c', LC), Text("c")},
         {{KD, 0x11, 0x001D0001}, {KD, 0x43, 0x002E0001}, {CH, 0x03, 0x002E0001}}},
        {"ctrl backspace", {Key(true, SDL_SCANCODE_LCTRL, SDLK_LCTRL, LC), Key(true, SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE, LC)},
         {{KD, 0x11, 0x001D0001}, {KD, 0x08, 0x000E0001}, {CH, 0x7F, 0x000E0001}}},
        {"ctrl left bracket", {Key(true, SDL_SCANCODE_LCTRL, SDLK_LCTRL, LC), Key(true, SDL_SCANCODE_LEFTBRACKET, '[', LC)},
         {{KD, 0x11, 0x001D0001}, {KD, 0xDB, 0x001A0001}, {CH, 0x1B, 0x001A0001}}},
        {"ctrl shift 2", {Key(true, SDL_SCANCODE_LCTRL, SDLK_LCTRL, LC), Key(true, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, LC | LS),
                          Key(true, SDL_SCANCODE_2, '2', LC | LS)},
         {{KD, 0x11, 0x001D0001}, {KD, 0x10, 0x002A0001}, {KD, 0x32, 0x00030001}, {CH, 0x00, 0x00030001}}},
        {"navigation types nothing",
         {Key(true, SDL_SCANCODE_LEFT, SDLK_LEFT, 0), Key(true, SDL_SCANCODE_DELETE, SDLK_DELETE, 0),
          Key(true, SDL_SCANCODE_HOME, SDLK_HOME, 0)},
         {{KD, 0x25, 0x014B0001}, {KD, 0x2E, 0x01530001}, {KD, 0x24, 0x01470001}}},
        {"number pad by num lock",
         {Key(true, SDL_SCANCODE_KP_7, SDLK_KP_7, KMOD_NUM), Text("7"), Key(true, SDL_SCANCODE_KP_7, SDLK_KP_7, 0),
          Key(true, SDL_SCANCODE_KP_5, SDLK_KP_5, 0)},
         {{KD, 0x67, 0x00470001}, {CH, 0x37, 0x00470001}, {KD, 0x24, 0x00470001}, {KD, 0x0C, 0x004C0001}}},
    });
}

TEST_F(WinKeyboardMessages, AltAndF10MakeSystemMessages)
{
    const Uint16 LA = KMOD_LALT;
    RunCases({
        {"alt a",
         {Key(true, SDL_SCANCODE_LALT, SDLK_LALT, LA), Key(true, SDL_SCANCODE_A, 'a', LA), Text("a"),
          Key(false, SDL_SCANCODE_A, 'a', LA), Key(false, SDL_SCANCODE_LALT, SDLK_LALT, 0)},
         {{SKD, 0x12, 0x20380001}, {SKD, 0x41, 0x201E0001}, {SCH, 0x61, 0x201E0001},
          {SKU, 0x41, (LPARAM)0xE01E0001}, {SKU, 0x12, (LPARAM)0xC0380001}}},
        {"f10", {Key(true, SDL_SCANCODE_F10, SDLK_F10, 0), Key(false, SDL_SCANCODE_F10, SDLK_F10, 0)},
         {{SKD, 0x79, 0x00440001}, {SKU, 0x79, (LPARAM)0xC0440001}}},
        {"altgr is not a system key",
         {Key(true, SDL_SCANCODE_RALT, SDLK_RALT, KMOD_RALT), Key(true, SDL_SCANCODE_Q, 'q', KMOD_RALT), Text("@")},
         {{KD, 0x12, 0x01380001}, {KD, 0x51, 0x00100001}, {CH, 0x40, 0x00100001}}},
    });
}

TEST_F(WinKeyboardMessages, LayoutsAndText)
{
    RunCases({
        {"azerty",
         {Key(true, SDL_SCANCODE_Q, 'a', 0), Key(true, SDL_SCANCODE_A, 'q', 0), Key(true, SDL_SCANCODE_M, ',', 0)},
         {{KD, 0x41, 0x00100001}, {KD, 0x51, 0x001E0001}, {KD, 0xBC, 0x00320001}}},
        {"russian", {Key(true, SDL_SCANCODE_A, 0x444, 0), Text("\xD1\x84")},
         {{KD, 0x41, 0x001E0001}, {CH, 0xF4, 0x001E0001}}},
        {"text without key: code page bytes, '?' when unmappable",
         {Text("\xE2\x82\xAC"), Text("\xC3\xA9"), Text("\xF0\x9F\x98\x80"), Text("ab")},
         {{CH, 0x88, 1}, {CH, 0x3F, 1}, {CH, 0x3F, 1}, {CH, 0x61, 1}, {CH, 0x62, 1}}},
        {"keys without a virtual key",
         {Key(true, SDL_SCANCODE_KP_LEFTPAREN, SDLK_KP_LEFTPAREN, 0), Key(false, SDL_SCANCODE_KP_LEFTPAREN, SDLK_KP_LEFTPAREN, 0)},
         {}},
    });
}

TEST_F(WinKeyboardMessages, KeyStateFollowsReadMessagesWithSides)
{
    WinTranslateSdlEvents(std::vector<SDL_Event>{Key(true, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, KMOD_LSHIFT),
                                                 Key(true, SDL_SCANCODE_RCTRL, SDLK_RCTRL, KMOD_LSHIFT | KMOD_RCTRL | KMOD_CAPS)}
                              .data(),
                          2);
    // Arrived, not yet read.
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);
    EXPECT_LT(GetAsyncKeyState(VK_SHIFT), 0);
    Pump();
    EXPECT_LT(GetKeyState(VK_SHIFT), 0);
    EXPECT_LT(GetKeyState(VK_LSHIFT), 0);
    EXPECT_GE(GetKeyState(VK_RSHIFT), 0);
    EXPECT_LT(GetKeyState(VK_CONTROL), 0);
    EXPECT_LT(GetKeyState(VK_RCONTROL), 0);
    EXPECT_GE(GetKeyState(VK_LCONTROL), 0);
    EXPECT_EQ(1, GetKeyState(VK_CAPITAL)); // toggled, not held

    // Releasing one side keeps the generic key down while the other is held.
    Feed({Key(true, SDL_SCANCODE_RSHIFT, SDLK_RSHIFT, KMOD_SHIFT), Key(false, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, KMOD_RSHIFT)});
    EXPECT_LT(GetKeyState(VK_SHIFT), 0);
    Feed({Key(false, SDL_SCANCODE_RSHIFT, SDLK_RSHIFT, 0)});
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);
}

TEST_F(WinKeyboardMessages, KeysReleasedOnFocusLossArriveBeforeDeactivation)
{
    Feed({Key(true, SDL_SCANCODE_A, 'a', 0)});
    EXPECT_LT(GetKeyState('A'), 0);
    s_recorded.clear();
    Feed({Key(false, SDL_SCANCODE_A, 'a', 0), Window(SDL_WINDOWEVENT_FOCUS_LOST)});
    ASSERT_GE(Input().size(), 2u);
    EXPECT_EQ((RecordedMessage{KU, 0x41, (LPARAM)0xC01E0001}), Input()[0]);
    EXPECT_EQ((UINT)WM_ACTIVATE, Input()[1].message);
    EXPECT_GE(GetKeyState('A'), 0);
}

TEST_F(WinKeyboardMessages, AltF4ThroughDefaultHandlingClosesTheWindow)
{
    Feed({Key(true, SDL_SCANCODE_LALT, SDLK_LALT, KMOD_LALT), Key(true, SDL_SCANCODE_F4, SDLK_F4, KMOD_LALT)});
    Messages expected = {{SKD, 0x12, 0x20380001}, {SKD, 0x73, 0x203E0001}, {WM_SYSCOMMAND, 0xF060, 0}, {WM_CLOSE, 0, 0}};
    EXPECT_EQ(expected, Input());
    EXPECT_FALSE(IsWindow(window_));
}

} // namespace
