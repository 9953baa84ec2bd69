// The memo: the offset follows the caret while typing and moving (right
// edge, a line above the visible area), Backspace and Delete place the caret
// again on key up, the inner edit stays multi-line, properties reach the
// edit, and a memo whose edit name is taken lives without it.
#include "GuiEditFixture.h"

#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Core/Gm/GmText.h"
#include "Engine/Gui/GuiMemo.h"
#include "Engine/Gui/GuiScrollBar.h"

#include <tinyxml.h>

namespace {

class GuiMemo : public GuiEditTest {
protected:
    // A memo of 100 by 60 with bars 10 wide: the edit sees 90 by 50.
    CGuiMemo* MakeMemo(const char* name = "m")
    {
        auto* m = static_cast<CGuiMemo*>(Make(name, 100, 100, 100, 60, nullptr, EGCT_MEMO));
        m->SetProperty(EP_HorzScrollBarWidth, GuiMakeFloat(10), false);
        m->SetProperty(EP_VertScrollBarWidth, GuiMakeFloat(10), false);
        m->SetProperty(EP_Font, CGeValue("mono"), false);
        m->SetProperty(EP_CaretPic, CGeValue("caret"), true);
        set->SetFocus(m);
        Frame();
        Forget();
        return m;
    }
};

} // namespace

TEST_F(GuiMemo, TypingPastTheRightEdgeScrollsTheCaretIntoView)
{
    CGuiMemo* m = MakeMemo();
    CGuiEdit* e = m->Edit();
    ASSERT_NE(nullptr, e);
    EXPECT_EQ(1, e->multiline);
    EXPECT_FLOAT_EQ(90.0f, e->width);
    for (int i = 0; i < 8; ++i)
        Apply(Chr('a'));
    // 80 units of text and a caret of 2 fit in 90: nothing scrolls.
    EXPECT_FLOAT_EQ(0.0f, m->GetScrollOffset().x);
    EXPECT_FLOAT_EQ(0.0f, m->GetScrollRange().x);
    Apply(Chr('a'));
    Apply(Chr('a'));
    // 100 units: the range leaves room for the caret after the text, and the
    // offset goes to its end, so the caret's right edge meets the visible
    // width less the caret.
    EXPECT_FLOAT_EQ(12.0f, m->GetScrollRange().x);
    EXPECT_FLOAT_EQ(12.0f, m->GetScrollOffset().x);
    EXPECT_FLOAT_EQ(88.0f, e->CaretPosition().x);
    EXPECT_FLOAT_EQ(12.0f, m->horzBar->position);

    // Home scrolls back to the left edge.
    Apply(Key(36));
    EXPECT_FLOAT_EQ(0.0f, m->GetScrollOffset().x);
    EXPECT_FLOAT_EQ(0.0f, e->CaretPosition().x);
}

TEST_F(GuiMemo, UpAtTheFirstVisibleLineScrollsUpByTheDistance)
{
    CGuiMemo* m = MakeMemo();
    CGuiEdit* e = m->Edit();
    m->SetProperty(EP_Text, CGeValue(CGeWString(u"a\nb\nc\nd\ne\nf\ng\nh")), true);
    EXPECT_FLOAT_EQ(96.0f - 50.0f, m->GetScrollRange().y);
    m->SetScrollOffset({0.0f, 36.0f});
    e->Select(6, 6); // the fourth line, the first one shown
    EXPECT_FLOAT_EQ(0.0f, e->CaretPosition().y);
    Apply(Key(38));
    EXPECT_EQ(4u, e->caret);
    EXPECT_FLOAT_EQ(24.0f, m->GetScrollOffset().y);
    EXPECT_FLOAT_EQ(0.0f, e->CaretPosition().y);

    // Down from the last visible line scrolls by the caret's overshoot below
    // the visible height.
    e->Select(14, 14); // "h", the last line
    Apply(Key(40));
    EXPECT_FLOAT_EQ(46.0f, m->GetScrollOffset().y);
    EXPECT_FLOAT_EQ(84.0f - 46.0f, e->CaretPosition().y);
}

TEST_F(GuiMemo, BackspaceAndDeletePlaceTheCaretAgainOnKeyUp)
{
    CGuiMemo* m = MakeMemo();
    CGuiEdit* e = m->Edit();
    m->SetProperty(EP_Text, CGeValue(CGeWString(u"abc")), true);
    e->Select(2, 2);
    struct Case {
        WPARAM key;
        bool placed;
    } cases[] = {{8, true}, {46, true}, {65, false}};
    for (const Case& k : cases) {
        e->caretSprite->frame.SetPosition({500.0f, 500.0f, 0.0f});
        Send(WM_KEYUP, k.key, 0);
        Frame();
        EXPECT_EQ(k.placed, e->caretSprite->frame.position.x == 20.0f) << k.key;
    }
    // Down and up again: the key down edits, the key up places.
    Apply(Key(8));
    EXPECT_EQ(u"ac", Str(e->text));
    EXPECT_FLOAT_EQ(10.0f, e->CaretPosition().x);
}

TEST_F(GuiMemo, TheInnerEditStaysMultiLineAndTakesTheEditProperties)
{
    CGuiMemo* m = MakeMemo();
    CGuiEdit* e = m->Edit();
    m->SetProperty(EP_Multiline, GuiMakeBool(0), true);
    EXPECT_EQ(1, e->multiline);
    CGeWString text;
    EXPECT_FALSE(m->GetProperty(EP_Multiline, text));
    m->SetProperty(EP_MaxLength, GuiMakeUInt(2), false);
    EXPECT_EQ(2u, e->maxLength);
    m->SetProperty(EP_ReadOnly, GuiMakeBool(1), false);
    ASSERT_TRUE(m->GetProperty(EP_ReadOnly, text));
    EXPECT_EQ(1, e->readOnly);
    EXPECT_STREQ("caret", e->caretPicName.c_str());
    // Enter types a line feed into the memo's edit.
    m->SetProperty(EP_ReadOnly, GuiMakeBool(0), false);
    m->SetProperty(EP_MaxLength, GuiMakeUInt(0), false);
    Apply({Chr('a'), Chr(13), Chr('b')});
    EXPECT_EQ(u"a\nb", Str(e->text));

    // Focus selects the whole text with the caret at its end.
    set->SetFocus(nullptr);
    set->SetFocus(m);
    EXPECT_EQ(0, e->anchor);
    EXPECT_EQ(3u, e->caret);
    EXPECT_TRUE(e->HasFocus());
}

TEST_F(GuiMemo, AMemoWhoseEditNameIsTakenLivesWithoutIt)
{
    Make("m____Edit____", 0, 0, 10, 10);
    CGuiMemo* m = MakeMemo();
    EXPECT_EQ(nullptr, m->Edit());
    ASSERT_NE(nullptr, m->horzBar);
    m->SetProperty(EP_Text, CGeValue(CGeWString(u"abc")), true);
    m->SetProperty(EP_CaretPic, CGeValue("caret"), true);
    Apply({Chr('a'), Key(8), Key(38)});
    m->SetSize(200, 100);
    m->SetScrollOffset({5.0f, 5.0f});
    set->SetFocus(nullptr);
    set->SetFocus(m);
    timer.delta = 0.1f;
    m->Render();
    EXPECT_FLOAT_EQ(0.0f, m->GetScrollOffset().x);
}

TEST_F(GuiMemo, LoadsFromALayoutFileWithItsParts)
{
    TiXmlDocument document;
    document.Parse("<GUI><CONTROLSET><C Name='m' Type='EGCT_MEMO'><P Name='EP_Font'>mono</P>"
                   "<P Name='EP_Text'>one two</P><P Name='EP_MaxLength'>5</P></C></CONTROLSET></GUI>");
    set->Load(document.FirstChildElement("GUI"));
    auto* m = dynamic_cast<CGuiMemo*>(set->FindControl("m"));
    ASSERT_NE(nullptr, m);
    ASSERT_NE(nullptr, m->Edit());
    EXPECT_EQ(m->Edit(), set->FindControl("m____Edit____"));
    EXPECT_NE(nullptr, set->FindControl("m____ScrollBarVert____"));
    EXPECT_EQ(u"one t", Str(m->Edit()->text)); // cut by the edit's maximum length
}
