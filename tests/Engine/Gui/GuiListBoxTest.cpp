// The list box: counting and finding items, the current item under keys,
// clicks and typed letters with events 48 and 52, the selection picture
// placed under the current item and cut at the inner area, scrolling the
// current item into view, and the property table.
#include "GuiScrollFixture.h"

#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Core/Gm/GmText.h"
#include "Engine/Gui/GuiListBox.h"
#include "Engine/Gui/GuiProperties.h"
#include "Engine/Gui/GuiScrollBar.h"
#include "Engine/Gui/GuiTextControl.h"

#include <string>

namespace {

class GuiListBox : public GuiScrollTest {
protected:
    void SetUp() override
    {
        GuiScrollTest::SetUp();
        Font();
        Schema("sel", 20, 12);
    }

    // A list at (100, 100), 100 by 50 with 10-unit bars: 90 by 40 for the
    // items, 12 high each.
    CGuiListBox* MakeList(const char16_t* items, const char* name = "l")
    {
        auto* l = static_cast<CGuiListBox*>(Make(name, 100, 100, 100, 50, nullptr, EGCT_LISTBOX));
        l->SetProperty(EP_Font, CGeValue("F"), false);
        l->SetProperty(EP_HorzScrollBarWidth, GuiMakeFloat(10), false);
        l->SetProperty(EP_VertScrollBarWidth, GuiMakeFloat(10), false);
        l->SetProperty(EP_SelectionPic, CGeValue("sel"), false);
        l->SetProperty(EP_Items, CGeValue(CGeWString(items)), true);
        l->AddListener(&heard, &Hear);
        Frame(0.5f); // the click timers run out: the next click is a single one
        Forget();
        heard.clear();
        return l;
    }

    static void Hear(void* log, CGuiControl*, uint32_t code)
    {
        if (code == 48 || code == 52)
            static_cast<Codes*>(log)->push_back(code);
    }

    // Events 48 and 52 as the dispatcher delivered them; the listener must
    // have heard the same.
    Codes Announced(const char* name = "l")
    {
        Frame();
        const Codes posted = EventsAmong(name, {48, 52});
        EXPECT_EQ(posted, heard);
        heard.clear();
        return posted;
    }

    static std::u16string Get(CGuiControl* c, uint32_t index)
    {
        CGeWString t;
        c->GetProperty(index, t);
        return t.c_str();
    }

    Codes heard;
};

} // namespace

TEST_F(GuiListBox, ItemsAreThePiecesBetweenLineFeeds)
{
    struct Case {
        const char16_t* items;
        uint32_t count;
        const char16_t* second;
    } cases[] = {
        {u"a\nb\nc", 3, u"b"},
        {u"a\nb\nc\n", 3, u"b"}, // a line feed at the end adds no item
        {u"", 0, u""},
        {u"a\n\nb", 3, u""}, // two in a row make an empty item
    };
    CGuiListBox* l = MakeList(u"");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::u16string(c.items).size());
        l->SetProperty(EP_Items, CGeValue(CGeWString(c.items)), true);
        EXPECT_EQ(c.count, l->GetItemCount());
        EXPECT_EQ(std::u16string(u"") + (char16_t)(u'0' + c.count), Get(l, EP_ItemCount));
        CGeWString second;
        l->GetItem(1, second);
        EXPECT_EQ(std::u16string(c.second), second.c_str());
        EXPECT_EQ(std::u16string(c.items), Get(l, EP_Items));
    }
    CGeWString none;
    l->GetItem(-1, none);
    EXPECT_TRUE(none.IsEmpty());
    l->GetItem(7, none);
    EXPECT_TRUE(none.IsEmpty());
}

TEST_F(GuiListBox, FindingItems)
{
    CGuiListBox* l = MakeList(u"xy\nab\nb\n\u0436\u0443\u043a");
    struct Case {
        int32_t start;
        const char16_t* text;
        int32_t exact, prefix;
    } cases[] = {
        {0, u"B", -1, 2},                           // capitals found only by the prefix search
        {0, u"b", 2, 2},        {0, u"abc", -1, 1}, // the shorter length decides
        {0, u"AB", -1, 1},      {2, u"a", -1, -1},  // from the start index upward
        {0, u"\u0416", -1, -1},                     // only A to Z fold
        {0, u"\u0436", -1, 3},  {0, u"\u0436\u0443\u043a", 3, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.start);
        SCOPED_TRACE(std::string(c.text, c.text + std::u16string(c.text).size()));
        EXPECT_EQ(c.exact, l->FindItem(CGeWString(c.text)));
        EXPECT_EQ(c.prefix, l->FindItemPrefix(c.start, CGeWString(c.text)));
    }
    l->SetProperty(EP_Items, CGeValue(CGeWString(u"")), false);
    EXPECT_EQ(-1, l->FindItem(CGeWString(u"")));
    EXPECT_EQ(-1, l->FindItemPrefix(0, CGeWString(u"")));
}

TEST_F(GuiListBox, TheCurrentItemAndItsEvents)
{
    CGuiListBox* l = MakeList(u"a\nb\nc");
    l->SetCurItem(2);
    EXPECT_EQ(Codes({48}), Announced());
    l->SetCurItem(2); // unchanged: nothing
    l->SetCurItem(3); // past the last line: refused
    l->SetCurItem(-2);
    EXPECT_EQ(2, l->curItem);
    EXPECT_EQ(Codes(), Announced());
    EXPECT_EQ(u"2", Get(l, EP_CurItem));

    // New items clear the current item without an event.
    l->SetProperty(EP_Items, CGeValue(CGeWString(u"a\nb\n")), true);
    EXPECT_EQ(-1, l->curItem);
    EXPECT_EQ(Codes(), Announced());

    // The trailing line feed makes a third line that is no item: its text
    // reads empty and the current item falls back to none.
    l->SetProperty(EP_CurItem, GuiMakeInt(2), false);
    EXPECT_EQ(2, l->curItem);
    CGeWString text;
    l->GetCurItemText(text);
    EXPECT_TRUE(text.IsEmpty());
    EXPECT_EQ(-1, l->curItem);
    EXPECT_EQ(Codes({48, 48}), Announced());
    l->SetCurItem(1);
    l->GetCurItemText(text);
    EXPECT_EQ(std::u16string(u"b"), text.c_str());
}

TEST_F(GuiListBox, KeysMoveTheCurrentItemAndEnterChoosesIt)
{
    CGuiListBox* l = MakeList(u"a\nb\nc\nd\ne\nf\ng\nh");
    set->SetFocus(l);
    l->SetProperty(EP_ScrollOffsetY, GuiMakeFloat(30), false);
    KeyDown(38); // Up with none: stays none, scrolls to the top
    EXPECT_EQ(-1, l->curItem);
    EXPECT_FLOAT_EQ(0.0f, l->GetScrollOffset().y);
    KeyDown(13); // Enter with none: nothing
    EXPECT_EQ(Codes(), Announced());

    struct Step {
        WPARAM key;
        int32_t item;
        float offset;
        Codes events;
        int presses = 1;
    } steps[] = {
        {40, 0, 0, {48}},  {38, 0, 0, {}},                                  // Up on the first item keeps it
        {40, 1, 0, {48}},  {40, 2, 0, {48}},  {40, 3, 0, {48}},             // 36 to 48 still counts as in view
        {40, 4, 20, {48}},                                                  // scrolled: 48 - (50 - 12 - 10)
        {40, 5, 32, {48}}, {38, 4, 32, {48}}, {38, 1, 12, {48, 48, 48}, 3}, // three steps up; the view follows the top
        {13, 1, 12, {52}},
    };
    for (const Step& s : steps) {
        for (int i = 0; i < s.presses; ++i)
            KeyDown(s.key);
        EXPECT_EQ(s.item, l->curItem) << s.key;
        EXPECT_FLOAT_EQ(s.offset, l->GetScrollOffset().y) << s.key;
        EXPECT_EQ(s.events, Announced()) << s.key;
    }
    for (int i = 0; i < 10; ++i)
        KeyDown(40);
    EXPECT_EQ(7, l->curItem);
    Announced();
    KeyDown(40); // Down on the last item: nothing
    EXPECT_EQ(7, l->curItem);
    EXPECT_EQ(Codes(), Announced());
}

TEST_F(GuiListBox, ClicksPickTheItemUnderThePointer)
{
    CGuiListBox* l = MakeList(u"a\nb\nc");
    MoveTo(120, 130);
    Click(120, 130); // the third item: 24 to 36 below the top
    EXPECT_EQ(2, l->curItem);
    EXPECT_EQ(Codes({48}), Announced());
    Click(120, 130); // a double click chooses it
    EXPECT_EQ(Codes({52}), Announced());
    Frame(0.5f);
    MoveTo(120, 138);
    Click(120, 138); // below the last item: none
    EXPECT_EQ(-1, l->curItem);
    EXPECT_EQ(Codes({48}), Announced());
    Click(120, 138); // a double click without a current item chooses nothing
    EXPECT_EQ(Codes(), Announced());

    EXPECT_EQ(1, l->ItemFromPoint({5.0f, 12.0f}));
    EXPECT_EQ(-1, l->ItemFromPoint({5.0f, -13.0f}));
    EXPECT_EQ(3, l->ItemFromPoint({5.0f, 36.0f})); // the lower edge: refused by SetCurItem
    l->SetProperty(EP_ScrollOffsetY, GuiMakeFloat(0), false);

    // Without a line height no item lies anywhere and none can be current.
    CGuiListBox* bare = static_cast<CGuiListBox*>(Make("bare", 300, 100, 100, 50, nullptr, EGCT_LISTBOX));
    bare->SetProperty(EP_Items, CGeValue(CGeWString(u"a\nb")), true);
    EXPECT_EQ(-1, bare->ItemFromPoint({5.0f, 5.0f}));
    bare->SetCurItem(0);
    EXPECT_EQ(-1, bare->curItem);
}

TEST_F(GuiListBox, TypedLettersFindItems)
{
    CGuiListBox* l = MakeList(u"apple\nbanana\nAvocado\n\u0436\u0443\u043a\n7up");
    set->SetFocus(l);
    struct Case {
        WPARAM character;
        int32_t item;
        Codes events;
    } cases[] = {
        {'a', 0, {48}},  {'a', 2, {48}},  // from the item after the current; capitals fold
        {'a', 0, {48}},                   // none below: from the top
        {'B', 1, {48}},  {'!', 1, {}},    // not a letter or digit: nothing
        {0xE6, 3, {48}},                  // a Cyrillic letter in the code page
        {'7', 4, {48}},  {'z', -1, {48}}, // starts no item: the current item is cleared
        {'z', -1, {}},
    };
    for (const Case& c : cases) {
        Send(WM_CHAR, c.character, 0);
        Frame();
        EXPECT_EQ(c.item, l->curItem) << c.character;
        EXPECT_EQ(c.events, Announced()) << c.character;
    }
    EXPECT_TRUE(GuiIsLetterOrDigit(u'\u00E9'));
    EXPECT_TRUE(GuiIsLetterOrDigit(u'\u0416'));
    EXPECT_FALSE(GuiIsLetterOrDigit(u'\u00D7'));
    EXPECT_FALSE(GuiIsLetterOrDigit(u' '));
}

TEST_F(GuiListBox, TheSelectionLiesUnderTheItemCutAtTheInnerArea)
{
    CGuiListBox* l = MakeList(u"a\nb\nc\nd\ne\nf\ng\nh");
    ASSERT_NE(nullptr, l->selection);
    struct Case {
        int32_t item;
        float offset, y;
        uint8_t visible;
        float subY, subHeight;
    } cases[] = {
        {1, 0, 12, 1, 0, 1},        {1, 6, 6, 1, 0, 1}, {1, 18, -6, 1, 0.5f, 0.5f}, // half above the top
        {1, 24, -12, 0, 0, 1},                                                      // wholly above
        {3, 0, 36, 1, 0, 1.0f / 3}, // its lower part behind the horizontal bar
        {4, 0, 48, 0, 0, 1},        // wholly below
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        SCOPED_TRACE(c.offset);
        l->SetCurItem(c.item);
        l->SetProperty(EP_ScrollOffsetY, GuiMakeFloat(c.offset), false);
        EXPECT_FLOAT_EQ(c.y, l->selection->frame.position.y);
        EXPECT_FLOAT_EQ(0.0f, l->selection->frame.position.x);
        EXPECT_FLOAT_EQ(90.0f, l->selection->size[0]);
        EXPECT_FLOAT_EQ(12.0f, l->selection->size[1]);
        EXPECT_EQ(c.visible, l->selection->visible);
        if (c.visible) {
            EXPECT_NEAR(c.subY, l->selection->subRect.y, 1e-6);
            EXPECT_NEAR(c.subHeight, l->selection->subRect.height, 1e-6);
        }
    }
    // Tiled, the picture repeats across the width.
    l->SetProperty(EP_SelectionPicTiled, GuiMakeBool(1), true);
    EXPECT_FLOAT_EQ(90.0f / 20.0f, l->selection->quad->uvSpan[0]);
    EXPECT_EQ(u"True", Get(l, EP_SelectionPicTiled));
    EXPECT_EQ(u"sel", Get(l, EP_SelectionPic));
    EXPECT_EQ(u"ALPHA_BLEND", Get(l, EP_SelectionBlendMode));

    // A disabled list shows its selection in the disabled colour.
    l->SetProperty(EP_Enable, GuiMakeBool(0), false);
    EXPECT_EQ(l->disabledColor & 0xFFFFFF, l->selection->color & 0xFFFFFF);
    l->SetProperty(EP_Enable, GuiMakeBool(1), false);
    EXPECT_EQ(0xFFFFFFu, l->selection->color & 0xFFFFFF);

    // An unknown picture leaves no selection picture; the item stays current.
    l->SetProperty(EP_SelectionPic, CGeValue("nothing"), true);
    EXPECT_EQ(nullptr, l->selection);
    EXPECT_EQ(u"", Get(l, EP_SelectionPic));
    l->SetCurItem(2);
    EXPECT_EQ(2, l->curItem);

    // EP_Text is no list box property.
    l->SetProperty(EP_Text, CGeValue(CGeWString(u"zzz")), true);
    EXPECT_EQ(8u, l->GetItemCount());
    CGeWString text;
    EXPECT_FALSE(l->GetProperty(EP_Text, text));
}

TEST_F(GuiListBox, WideTextHelpers)
{
    CGeWString s;
    GuiAppendChar(s, u'a');
    GuiAppendChar(s, u'\u0436');
    EXPECT_EQ(std::u16string(u"a\u0436"), s.c_str());
    GuiDropLastChar(s);
    GuiDropLastChar(s);
    GuiDropLastChar(s);
    EXPECT_TRUE(s.IsEmpty());
    CGeArray<CGeWString> strings;
    strings.Add(CGeWString(u"x"));
    strings.Add(CGeWString(u"y"));
    EXPECT_EQ(1, GuiFindString(strings.begin(), strings.Count(), CGeWString(u"y")));
    EXPECT_EQ(-1, GuiFindString(strings.begin(), 1, CGeWString(u"y")));
    GuiFreeStrings(strings);
    EXPECT_EQ(0u, strings.Count());
}
