// The edit field: keyboard editing as tables of strokes with the expected
// text, caret, anchor and end; typing through the filters and the
// Windows-1251 code page; the clipboard through the platform layer; the
// mouse, the selection pictures, caret placement and the blink.
#include "GuiEditFixture.h"

#include "Engine/Core/Common/GeTextConvert.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Core/Gm/GmText.h"
#include "Engine/Gui/GuiCharClass.h"
#include "Engine/Gui/GuiProgressBar.h"
#include "Engine/Gui/GuiSwitch.h"
#include "Platform/Win32/WinClipboard.h"
#include "Platform/Win32/WinCodePage.h"

#include <tinyxml.h>

#include <algorithm>

namespace {

using GuiEdit = GuiEditTest;

enum : WPARAM {
    VK_BACK = 8,
    VK_RETURN = 13,
    VK_END = 35,
    VK_HOME = 36,
    VK_LEFT = 37,
    VK_UP = 38,
    VK_RIGHT = 39,
    VK_DOWN = 40,
    VK_DELETE = 46,
};

struct EditCase {
    const char* what;
    const char16_t* text;
    bool multiline;
    int32_t selectFrom, selectTo; // the state before the strokes
    std::vector<Stroke> strokes;
    const char16_t* expected;
    uint32_t caret;
    int32_t anchor, end;
};

// Puts text on the clipboard as the desktop would.
void PutOnClipboard(const std::u16string& text)
{
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 2 * text.size() + 2);
    auto* units = static_cast<char16_t*>(GlobalLock(block));
    for (size_t i = 0; i < text.size(); ++i)
        units[i] = text[i];
    GlobalUnlock(block);
    SetClipboardData(CF_UNICODETEXT, block);
    CloseClipboard();
}

std::u16string ReadClipboard()
{
    std::u16string out;
    EXPECT_TRUE(OpenClipboard(nullptr)); // also shows that the edit closed it
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        const auto* units = static_cast<const char16_t*>(GlobalLock(data));
        for (size_t i = 0; units && units[i]; ++i)
            out.push_back(units[i]);
        GlobalUnlock(data);
    }
    CloseClipboard();
    return out;
}

} // namespace

TEST_F(GuiEdit, KeyboardEditing)
{
    const std::vector<EditCase> cases = {
        {"backspace at the start", u"abc", false, 0, 0, {Key(VK_BACK)}, u"abc", 0, 0, 0},
        {"backspace at the end", u"abc", false, 3, 3, {Key(VK_BACK)}, u"ab", 2, 2, 2},
        {"delete at the start", u"abc", false, 0, 0, {Key(VK_DELETE)}, u"bc", 0, 0, 0},
        {"delete at the end", u"abc", false, 3, 3, {Key(VK_DELETE)}, u"abc", 3, 3, 3},
        {"backspace over a selection", u"abcd", false, 1, 3, {Key(VK_BACK)}, u"ad", 1, 1, 1},
        {"delete over a backward selection", u"abcd", false, 3, 1, {Key(VK_DELETE)}, u"ad", 1, 1, 1},
        {"left drops a selection at its start", u"abcd", false, 1, 3, {Key(VK_LEFT)}, u"abcd", 1, 1, 1},
        {"right drops a selection at its end", u"abcd", false, 3, 1, {Key(VK_RIGHT)}, u"abcd", 3, 3, 3},
        {"shift right three times",
         u"abcdefg",
         false,
         2,
         2,
         {Key(VK_RIGHT, MOD_SHIFT), Key(VK_RIGHT, MOD_SHIFT), Key(VK_RIGHT, MOD_SHIFT)},
         u"abcdefg",
         5,
         2,
         5},
        {"shift left extends backward", u"abcd", false, 2, 2, {Key(VK_LEFT, MOD_SHIFT)}, u"abcd", 1, 2, 1},
        {"left at 0 drops the selection", u"abcd", false, 2, 0, {Key(VK_LEFT)}, u"abcd", 0, 2, 2},
        {"right at the end drops the selection", u"abcd", false, 1, 4, {Key(VK_RIGHT)}, u"abcd", 4, 4, 4},
        {"home and end on the second line", u"ab\ncde", true, 4, 4, {Key(VK_HOME)}, u"ab\ncde", 3, 3, 3},
        {"end on the second line", u"ab\ncde", true, 4, 4, {Key(VK_END)}, u"ab\ncde", 6, 6, 6},
        {"end on the first line stops before the feed", u"ab\ncde", true, 0, 0, {Key(VK_END)}, u"ab\ncde", 2, 2, 2},
        {"shift end selects to the line's end", u"ab\ncde", true, 4, 4, {Key(VK_END, MOD_SHIFT)}, u"ab\ncde", 6, 4, 6},
        {"up keeps the column", u"abc\nde", true, 5, 5, {Key(VK_UP)}, u"abc\nde", 1, 1, 1},
        {"down keeps the column", u"abc\nde", true, 1, 1, {Key(VK_DOWN)}, u"abc\nde", 5, 5, 5},
        {"down past a short line ends it", u"abc\nde", true, 3, 3, {Key(VK_DOWN)}, u"abc\nde", 6, 6, 6},
        {"up on the first line stays", u"abc\nde", true, 2, 2, {Key(VK_UP)}, u"abc\nde", 2, 2, 2},
        {"down on the last line stays", u"abc\nde", true, 5, 5, {Key(VK_DOWN)}, u"abc\nde", 5, 5, 5},
        {"ctrl home and ctrl end", u"ab\ncd", true, 2, 2, {Key(VK_HOME, MOD_CTRL)}, u"ab\ncd", 0, 0, 0},
        {"ctrl end", u"ab\ncd", true, 1, 1, {Key(VK_END, MOD_CTRL)}, u"ab\ncd", 5, 5, 5},
        {"ctrl left word by word",
         u"one two  three",
         false,
         14,
         14,
         {Key(VK_LEFT, MOD_CTRL), Key(VK_LEFT, MOD_CTRL)},
         u"one two  three",
         4,
         4,
         4},
        {"ctrl left passes a line feed", u"one\ntwo", true, 4, 4, {Key(VK_LEFT, MOD_CTRL)}, u"one\ntwo", 0, 0, 0},
        {"ctrl right to the next word", u"one  two", false, 1, 1, {Key(VK_RIGHT, MOD_CTRL)}, u"one  two", 5, 5, 5},
        {"ctrl backspace takes the spaces too", u"one two  ", false, 9, 9, {Key(VK_BACK, MOD_CTRL)}, u"one ", 4, 4, 4},
        {"ctrl delete to the next space", u"one two", false, 0, 0, {Key(VK_DELETE, MOD_CTRL)}, u" two", 0, 0, 0},
        {"ctrl delete at a space takes the next word",
         u"one two x",
         false,
         3,
         3,
         {Key(VK_DELETE, MOD_CTRL)},
         u"one x",
         3,
         3,
         3},
        {"typing replaces the selection", u"abcd", false, 1, 3, {Chr('x')}, u"axd", 2, 2, 2},
        {"carriage return ignored on one line", u"ab", false, 1, 1, {Chr(13)}, u"ab", 1, 1, 1},
        {"carriage return is a line feed in a multi-line edit", u"ab", true, 1, 1, {Chr(13)}, u"a\nb", 2, 2, 2},
        {"tab, escape and backspace characters are not typed",
         u"ab",
         false,
         2,
         2,
         {Chr(27), Chr(8), Chr(127)},
         u"ab",
         2,
         2,
         2},
        {"ctrl held: no character", u"ab", false, 2, 2, {Chr('q', MOD_CTRL)}, u"ab", 2, 2, 2},
    };
    CGuiEdit* e = MakeEdit("e", 100, 100, 300, 60);
    for (const EditCase& k : cases) {
        e->SetProperty(EP_Multiline, GuiMakeBool(k.multiline ? 1 : 0), false);
        e->SetText(k.text);
        e->Select(k.selectFrom, k.selectTo);
        Apply(k.strokes);
        EXPECT_EQ(std::u16string(k.expected), Str(e->text)) << k.what;
        EXPECT_EQ(k.caret, e->caret) << k.what;
        EXPECT_EQ(k.anchor, e->anchor) << k.what;
        EXPECT_EQ(k.end, e->end) << k.what;
    }
}

TEST_F(GuiEdit, KeysThatChangeNothingReportNoTextChange)
{
    CGuiEdit* e = MakeEdit("e", 100, 100, 300, 20);
    e->SetText(u"ab");
    struct Case {
        int32_t caret;
        Stroke stroke;
    } cases[] = {{0, Key(VK_BACK, MOD_CTRL)}, {0, Key(VK_BACK)}, {2, Key(VK_DELETE)}, {2, Key(VK_DELETE, MOD_CTRL)}};
    for (const Case& k : cases) {
        e->Select(k.caret, k.caret);
        Frame();
        Forget();
        Apply(k.stroke);
        const Codes codes = Events("e");
        EXPECT_EQ(codes.end(), std::find(codes.begin(), codes.end(), 44u)) << k.caret;
        EXPECT_EQ(u"ab", Str(e->text));
    }
    // A real change reports once.
    Apply(Chr('c'));
    const Codes codes = Events("e");
    EXPECT_EQ(1, std::count(codes.begin(), codes.end(), 44u));
}

TEST_F(GuiEdit, ReadOnlyTakesNoKeysButTheMouseStillPlacesTheCaret)
{
    CGuiEdit* e = MakeEdit("e", 100, 100, 300, 20);
    e->SetText(u"abc");
    e->SetProperty(EP_ReadOnly, GuiMakeBool(1), false);
    e->Select(1, 1);
    Apply({Chr('x'), Key(VK_BACK), Key(VK_DELETE), Key(VK_LEFT), Key(VK_END), Key('X', MOD_CTRL)});
    EXPECT_EQ(u"abc", Str(e->text));
    EXPECT_EQ(1u, e->caret);
    Click(100 + 21, 105); // the left half of the third glyph: before index 2
    EXPECT_EQ(2u, e->caret);
}

TEST_F(GuiEdit, TypingThroughTheFilters)
{
    CGuiEdit* e = MakeEdit("e", 100, 100, 300, 20);
    e->SetProperty(EP_NumericOnly, GuiMakeBool(1), false);
    Apply({Chr('g'), Chr('F'), Chr('1')});
    EXPECT_EQ(u"F1", Str(e->text));
    e->SetProperty(EP_Text, CGeValue(CGeWString(u"12g4")), false);
    EXPECT_EQ(u"124", Str(e->text));
    e->SetProperty(EP_NumericOnly, GuiMakeBool(0), false);

    e->SetProperty(EP_MaxLength, GuiMakeUInt(3), false);
    EXPECT_EQ(u"124", Str(e->text));
    e->Select(3, 3);
    Apply(Chr('5'));
    EXPECT_EQ(u"124", Str(e->text));
    e->Select(0, -1); // a full field typed over
    Apply(Chr('7'));
    EXPECT_EQ(u"7", Str(e->text));
    e->SetText(u"abcdef");
    EXPECT_EQ(u"abc", Str(e->text));
    e->SetProperty(EP_MaxLength, GuiMakeUInt(0), false);

    e->SetProperty(EP_CharCase, GuiMakeUInt(CC_Upper), false);
    EXPECT_EQ(u"ABC", Str(e->text)); // the existing text is raised
    e->Select(3, 3);
    Apply(Chr('a'));
    EXPECT_EQ(u"ABCA", Str(e->text));
    e->SetProperty(EP_CharCase, GuiMakeUInt(CC_Lower), false);
    EXPECT_EQ(u"abca", Str(e->text));
    e->SetProperty(EP_CharCase, GuiMakeUInt(CC_Normal), false);

    // The password mask shows while the text reads back as it is.
    e->SetText(u"abcd");
    e->SetProperty(EP_PasswordChar, CGeValue(CGeWString(u"*")), false);
    EXPECT_EQ(u"****", Str(e->textVisual->text));
    CGeWString read;
    ASSERT_TRUE(e->GetProperty(EP_Text, read));
    EXPECT_EQ(u"abcd", Str(read));
    ASSERT_TRUE(e->GetProperty(EP_PasswordChar, read));
    EXPECT_EQ(u"*", Str(read));
    Apply(Chr('e'));
    EXPECT_EQ(u"*****", Str(e->textVisual->text));
    e->SetProperty(EP_PasswordChar, CGeValue(CGeWString()), false);
    EXPECT_EQ(u"abcde", Str(e->textVisual->text));
}

TEST_F(GuiEdit, FilterPropertiesRefuseEachOther)
{
    CGuiEdit* e = MakeEdit("e", 100, 100, 300, 20);
    e->SetProperty(EP_NumericOnly, GuiMakeBool(1), false);
    e->SetProperty(EP_Multiline, GuiMakeBool(1), false);
    EXPECT_EQ(0, e->multiline);
    e->SetProperty(EP_NumericOnly, GuiMakeBool(0), false);
    e->SetProperty(EP_PasswordChar, CGeValue(CGeWString(u"#")), false);
    e->SetProperty(EP_Multiline, GuiMakeBool(1), false);
    EXPECT_EQ(0, e->multiline);
    e->SetProperty(EP_PasswordChar, CGeValue(CGeWString()), false);
    e->SetProperty(EP_Multiline, GuiMakeBool(1), false);
    ASSERT_EQ(1, e->multiline);
    e->SetProperty(EP_NumericOnly, GuiMakeBool(1), false);
    e->SetProperty(EP_PasswordChar, CGeValue(CGeWString(u"#")), false);
    EXPECT_EQ(0, e->numericOnly);
    EXPECT_EQ(0, e->passwordChar);
    // EP_TagsVisible is not the edit's: the text's tags stay hidden.
    e->SetProperty(EP_TagsVisible, GuiMakeBool(1), false);
    EXPECT_EQ(0u, e->textVisual->showTags);
}

TEST_F(GuiEdit, CaseConversionKeepsALongText)
{
    CGuiEdit* e = MakeEdit("e", 100, 100, 300, 20);
    const std::u16string longText(3000, u'a');
    e->SetText(CGeWString(longText.c_str()));
    e->SetProperty(EP_CharCase, GuiMakeUInt(CC_Upper), false);
    EXPECT_EQ(std::u16string(3000, u'A'), Str(e->text));
}

TEST_F(GuiEdit, Windows1251Typing)
{
    CGuiEdit* e = MakeEdit("e", 100, 100, 300, 20);
    for (WPARAM byte : {0xC6, 0xB8, 0xEB, 0xF2, 0xFB, 0xE9}) // "Жёлтый"
        Apply(Chr(byte));
    EXPECT_EQ(u"Жёлтый", Str(e->text));
    Apply(Chr(0x98)); // undefined in the code page
    EXPECT_EQ(u"Жёлтый", Str(e->text));
    e->SetText(u"");
    e->SetProperty(EP_CharCase, GuiMakeUInt(CC_Upper), false);
    Apply({Chr(0xE6), Chr(0xB8), Chr('q')}); // ж, ё, q
    EXPECT_EQ(u"ЖЁQ", Str(e->text));
}

TEST(GuiCharClass, GraphicBytesAndLetterCase)
{
    struct Byte {
        uint8_t value;
        bool graphic;
    } bytes[] = {{0x20, false}, {0x21, true},  {0x7E, true}, {0x7F, false}, {0x1F, false}, {0x80, true},
                 {0x98, false}, {0xA0, false}, {0xA8, true}, {0xAD, false}, {0xC0, true},  {0xFF, true}};
    for (const Byte& b : bytes)
        EXPECT_EQ(b.graphic, GuiIsGraphicAnsi(b.value)) << std::hex << (int)b.value;
    // Every letter pair of the code page, through both directions.
    const char16_t pairs[][2] = {{u'A', u'a'},     {u'Z', u'z'},     {0x0410, 0x0430}, {0x042F, 0x044F},
                                 {0x0401, 0x0451}, {0x0402, 0x0452}, {0x040F, 0x045F}, {0x0490, 0x0491}};
    for (const auto& p : pairs) {
        EXPECT_EQ(p[1], GuiToLower(p[0]));
        EXPECT_EQ(p[0], GuiToUpper(p[1]));
        EXPECT_EQ(p[1], GuiToLower(p[1]));
        EXPECT_EQ(p[0], GuiToUpper(p[0]));
    }
    for (char16_t other : {u'1', u'-', (char16_t)0x040D, (char16_t)0x00E9, (char16_t)0x0000})
        EXPECT_EQ(other, GuiToUpper(other));
    // Every byte that converts to a letter has both cases in the code page.
    for (int b = 0x80; b <= 0xFF; ++b) {
        const char16_t c = AnsiCharToWide((unsigned char)b);
        if (GuiToLower(c) != c) {
            EXPECT_NE(-1, CodePointToCp1251(GuiToLower(c))) << std::hex << b;
        }
        if (GuiToUpper(c) != c) {
            EXPECT_NE(-1, CodePointToCp1251(GuiToUpper(c))) << std::hex << b;
        }
    }
}

TEST_F(GuiEdit, ClipboardCopyCutAndPaste)
{
    CGuiEdit* e = MakeEdit("e", 100, 100, 300, 60, true);
    e->SetText(u"Жёлтый дом");
    e->Select(0, 6);
    Apply(Key('C', MOD_CTRL));
    EXPECT_EQ(u"Жёлтый", ReadClipboard());
    e->Select(7, 10);
    Apply(Key('X', MOD_CTRL));
    EXPECT_EQ(u"дом", ReadClipboard());
    EXPECT_EQ(u"Жёлтый ", Str(e->text));
    EXPECT_EQ(7u, e->caret);

    // Copy once, paste twice: the edit closed the clipboard each time.
    e->SetText(u"ab");
    e->Select(0, -1);
    Apply({Key('C', MOD_CTRL), Key(VK_RIGHT), Key('V', MOD_CTRL), Key('V', MOD_CTRL)});
    EXPECT_EQ(u"ababab", Str(e->text));
    EXPECT_EQ(6u, e->caret);

    struct Paste {
        std::u16string clipboard, expected;
        uint32_t caret;
    } pastes[] = {
        {u"a\tb\r\nc", u"xa b\ncy", 6},
        {u"\U0001F600", u"x\U0001F600y", 3}, // a surrogate pair stays whole
        {u"", u"xy", 1},                     // nothing to paste
    };
    for (const Paste& p : pastes) {
        e->SetText(u"xy");
        e->Select(1, 1);
        PutOnClipboard(p.clipboard);
        Apply(Key('V', MOD_CTRL));
        EXPECT_EQ(p.expected, Str(e->text));
        EXPECT_EQ(p.caret, e->caret);
    }

    // Pasting over a selection replaces it.
    PutOnClipboard(u"Q");
    e->SetText(u"abcd");
    e->Select(1, 3);
    Apply(Key('V', MOD_CTRL));
    EXPECT_EQ(u"aQd", Str(e->text));

    // Read only copies nothing.
    PutOnClipboard(u"kept");
    e->SetText(u"abc");
    e->Select(0, -1);
    e->SetProperty(EP_ReadOnly, GuiMakeBool(1), false);
    Apply(Key('C', MOD_CTRL));
    EXPECT_EQ(u"kept", ReadClipboard());
}

TEST_F(GuiEdit, MouseSetsAnchorAndEnd)
{
    CGuiEdit* e = MakeEdit("e", 100, 100, 300, 20);
    e->SetText(u"hello world");
    set->SetFocus(nullptr);
    Frame();
    MoveTo(122, 105);
    Press(122, 105); // focus selects everything, then the press places the caret
    EXPECT_EQ(e, set->focused);
    EXPECT_EQ(2u, e->caret);
    EXPECT_EQ(2, e->anchor);
    EXPECT_EQ(2, e->end);
    MoveTo(161, 105);
    EXPECT_EQ(6, e->end);
    MoveTo(183, 105);
    Release(183, 105);
    EXPECT_EQ(2, e->anchor);
    EXPECT_EQ(8, e->end);
    EXPECT_EQ(8u, e->caret);
    EXPECT_FLOAT_EQ(20.0f, e->selectionSprites[0]->frame.position.x);
    EXPECT_FLOAT_EQ(60.0f, e->selectionSprites[0]->size[0]);
    // Moving without the button changes nothing.
    MoveTo(110, 105);
    EXPECT_EQ(8, e->end);
}

TEST_F(GuiEdit, SelectionPicturesOverOneTwoAndThreeLines)
{
    CGuiEdit* e = MakeEdit("e", 0, 0, 200, 100, true);
    e->SetText(u"abc\ndef\nghi");
    struct Rect {
        float x, y, w, h;
    };
    struct Case {
        int32_t from, to;
        Rect first, middle, last;
    } cases[] = {
        {0, 2, {0, 0, 20, 12}, {0, 0, 0, 0}, {0, 0, 0, 0}},
        {1, 5, {10, 0, 190, 12}, {0, 12, 200, 0}, {0, 12, 10, 12}},
        {10, 1, {10, 0, 190, 12}, {0, 12, 200, 12}, {0, 24, 20, 12}},
    };
    for (const Case& k : cases) {
        e->Select(k.from, k.to);
        const Rect expected[3] = {k.first, k.middle, k.last};
        for (int i = 0; i < 3; ++i) {
            const CGmSprite* s = e->selectionSprites[i];
            EXPECT_FLOAT_EQ(expected[i].w, s->size[0]) << k.from << " picture " << i;
            EXPECT_FLOAT_EQ(expected[i].h, s->size[1]) << k.from << " picture " << i;
            if (expected[i].w > 0 && expected[i].h > 0) {
                EXPECT_FLOAT_EQ(expected[i].x, s->frame.position.x) << k.from << " picture " << i;
                EXPECT_FLOAT_EQ(expected[i].y, s->frame.position.y) << k.from << " picture " << i;
            }
        }
    }
}

TEST_F(GuiEdit, CaretPlacementCroppingAndAutosize)
{
    CGuiEdit* e = MakeEdit("e", 0, 0, 50, 20);
    e->SetText(u"abcdefgh");
    ASSERT_NE(nullptr, e->caretSprite);
    EXPECT_FLOAT_EQ(2.0f, e->caretSprite->size[0]); // the picture's aspect at the line height
    EXPECT_FLOAT_EQ(12.0f, e->caretSprite->size[1]);
    struct Case {
        uint32_t caret;
        float offsetX, x, visibleWidth;
    } cases[] = {{3, 0.0f, 30.0f, 1.0f}, {4, 9.0f, 49.0f, 0.5f}, {6, 0.0f, 60.0f, 0.0f}};
    for (const Case& k : cases) {
        e->SetProperty(EP_CaretPicOffsetX, GuiMakeFloat(k.offsetX), false);
        e->Select((int32_t)k.caret, (int32_t)k.caret);
        EXPECT_EQ(1, e->caretPlaceable);
        EXPECT_FLOAT_EQ(k.x, e->caretSprite->frame.position.x) << k.caret;
        EXPECT_FLOAT_EQ(k.visibleWidth, e->caretSprite->subRect.width) << k.caret;
        EXPECT_FLOAT_EQ(k.x, e->CaretPosition().x);
    }

    // Without a font nothing is laid out: the caret has no place.
    auto* bare = static_cast<CGuiEdit*>(Make("bare", 0, 40, 100, 20, nullptr, EGCT_EDIT));
    bare->SetProperty(EP_CaretPic, CGeValue("caret"), false);
    bare->SetText(u"abc");
    bare->Select(1, 1);
    EXPECT_EQ(0, bare->caretPlaceable);
    EXPECT_FLOAT_EQ(0.0f, bare->caretSprite->subRect.width);
    EXPECT_EQ(CGmText::kNoBox, bare->CaretPosition().x);

    // Autosize: the caret's width is added after the text.
    e->SetProperty(EP_Autosize, GuiMakeUInt(TAS_Both), true);
    e->SetText(u"abc");
    EXPECT_FLOAT_EQ(32.0f, e->width);
    e->SetText(u"abcd");
    EXPECT_FLOAT_EQ(42.0f, e->width);
}

TEST_F(GuiEdit, CaretBlinksOnlyWithFocus)
{
    CGuiEdit* e = MakeEdit("e", 0, 0, 100, 20);
    e->SetText(u"ab");
    struct Step {
        float delta;
        uint8_t visible;
    } steps[] = {{0.2f, 1}, {0.2f, 0}, {0.2f, 0}, {0.15f, 1}, {0.31f, 0}};
    for (const Step& s : steps) {
        timer.delta = s.delta;
        e->Render();
        EXPECT_EQ(s.visible, e->caretSprite->visible);
    }
    // Without focus the blink stops where it was.
    set->SetFocus(nullptr);
    timer.delta = 0.5f;
    e->Render();
    e->Render();
    EXPECT_EQ(0, e->caretSprite->visible);
    EXPECT_FALSE(e->HasFocus());

    // An inner part counts as focused while its compound ancestor is.
    CGuiControl* owner = Make("owner", 0, 50, 200, 40);
    owner->compound = 1;
    owner->focusEnabled = 1;
    CGuiEdit* inner = MakeEdit("inner", 0, 0, 100, 20);
    inner->SetParent(owner);
    inner->internalPart = 1;
    set->SetFocus(owner);
    EXPECT_TRUE(inner->HasFocus());
    set->SetFocus(e);
    EXPECT_FALSE(inner->HasFocus());
}

TEST_F(GuiEdit, LoadsWithTheOtherInputControlsFromALayoutFile)
{
    TiXmlDocument document;
    const char xml[] = "<GUI><CONTROLSET>"
                       "<C Name='e' Type='EGCT_EDIT'><P Name='EP_Multiline'>False</P>"
                       "<P Name='EP_NumericOnly'>True</P><P Name='EP_Text'>12g4</P></C>"
                       "<C Name='s' Type='EGCT_SWITCH'><P Name='EP_CurState'>2</P></C>"
                       "<C Name='p' Type='EGCT_PROGRESSBAR'><P Name='EP_MaxPos'>10</P><P Name='EP_CurPos'>7</P></C>"
                       "</CONTROLSET></GUI>";
    document.Parse(xml);
    set->Load(document.FirstChildElement("GUI"));
    auto* e = dynamic_cast<CGuiEdit*>(set->FindControl("e"));
    ASSERT_NE(nullptr, e);
    EXPECT_EQ(u"124", Str(e->text));
    ASSERT_NE(nullptr, dynamic_cast<CGuiSwitch*>(set->FindControl("s")));
    EXPECT_EQ(2u, static_cast<CGuiSwitch*>(set->FindControl("s"))->currentState);
    auto* p = dynamic_cast<CGuiProgressBar*>(set->FindControl("p"));
    ASSERT_NE(nullptr, p);
    EXPECT_FLOAT_EQ(7.0f, p->value);
}
