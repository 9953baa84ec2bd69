// The scrollable text: its three parts and their layout, the scroll range and
// offset (whole units, clamped), autosize, the bars and the text kept in
// step, the wheel and the arrow keys, and a part whose name is taken.
#include "GuiScrollFixture.h"

#include "Engine/Core/Gm/GmText.h"
#include "Engine/Gui/GuiProperties.h"
#include "Engine/Gui/GuiScrollBar.h"
#include "Engine/Gui/GuiText.h"
#include "Engine/Gui/GuiTextControl.h"

#include <string>

namespace {

class GuiText : public GuiScrollTest {
protected:
    void SetUp() override
    {
        GuiScrollTest::SetUp();
        Font();
    }

    // A text at (100, 100) with 10-unit bars; the font's glyphs are 10 by 12.
    CGuiText* MakeText(const char* name, float w, float h, const char16_t* content)
    {
        auto* t = static_cast<CGuiText*>(Make(name, 100, 100, w, h, nullptr, EGCT_TEXT));
        t->SetProperty(EP_Font, CGeValue("F"), false);
        t->SetProperty(EP_HorzScrollBarWidth, GuiMakeFloat(10), false);
        t->SetProperty(EP_VertScrollBarWidth, GuiMakeFloat(10), false);
        t->SetProperty(EP_Text, CGeValue(CGeWString(content)), true);
        return t;
    }

    static std::u16string Lines(int n, const char16_t* line)
    {
        std::u16string s;
        for (int i = 0; i < n; ++i)
            s += (i ? u"\n" : u"") + std::u16string(line);
        return s;
    }

    static std::u16string Get(CGuiControl* c, uint32_t index)
    {
        CGeWString t;
        c->GetProperty(index, t);
        return t.c_str();
    }
};

} // namespace

TEST_F(GuiText, PartsAreNamedLaidOutAndListenedTo)
{
    // Eight lines of twenty glyphs: 200 by 96 in a 100 by 56 control whose
    // bars leave 90 by 46 for the text.
    const std::u16string text = Lines(8, u"abcdefghijklmnopqrst");
    CGuiText* t = MakeText("t", 100, 56, text.c_str());
    ASSERT_NE(nullptr, t->textControl);
    ASSERT_NE(nullptr, t->horzBar);
    ASSERT_NE(nullptr, t->vertBar);
    EXPECT_EQ(t->textControl, set->FindControl(CGeString("t____TextControl____")));
    EXPECT_EQ(t->horzBar, set->FindControl(CGeString("t____ScrollBarHorz____")));
    EXPECT_EQ(t->vertBar, set->FindControl(CGeString("t____ScrollBarVert____")));
    for (CGuiControl* child : {(CGuiControl*)t->textControl, (CGuiControl*)t->horzBar, (CGuiControl*)t->vertBar}) {
        EXPECT_EQ(t, child->parent);
        EXPECT_EQ(1, child->internalPart);
        EXPECT_EQ(1u, child->listeners.count);
    }
    EXPECT_EQ(0, t->horzBar->allowWheel);
    EXPECT_EQ(1, t->vertBar->direction);
    EXPECT_EQ((uint32_t)TW_NONE, t->textControl->textVisual->wrapMode);

    struct Place {
        CGuiControl* c;
        float x, y, w, h;
    } places[] = {
        {t->textControl, 0, 0, 90, 46},
        {t->vertBar, 90, 0, 10, 56}, // the whole inner height
        {t->horzBar, 0, 46, 90, 10}, // short of the vertical bar
    };
    for (const Place& p : places) {
        EXPECT_FLOAT_EQ(p.x, p.c->X());
        EXPECT_FLOAT_EQ(p.y, p.c->Y());
        EXPECT_FLOAT_EQ(p.w, p.c->width);
        EXPECT_FLOAT_EQ(p.h, p.c->height);
    }
    EXPECT_FLOAT_EQ(110.0f, t->GetScrollRange().x);
    EXPECT_FLOAT_EQ(50.0f, t->GetScrollRange().y);
    EXPECT_FLOAT_EQ(110.0f, t->horzBar->maxPos);
    EXPECT_FLOAT_EQ(50.0f, t->vertBar->maxPos);
    EXPECT_EQ(1, t->vertBar->enabledState);
    EXPECT_EQ(u"abcdefghijklmnopqrst\nabcdefghijklmnopqrst", Get(t, EP_Text).substr(0, 41));
    EXPECT_EQ(u"None", Get(t, EP_Autosize));
}

TEST_F(GuiText, OffsetsAreWholeUnitsWithinTheRange)
{
    CGuiText* t = MakeText("t", 100, 56, Lines(8, u"abcdefghijklmnopqrst").c_str());
    struct Case {
        uint32_t index;
        float value, x, y;
    } cases[] = {
        {EP_ScrollOffsetY, 1e6f, 0, 50},   {EP_ScrollOffsetY, -3, 0, 0},     {EP_ScrollOffsetY, 10.7f, 0, 10},
        {EP_ScrollOffsetX, 55.9f, 55, 10}, {EP_ScrollOffsetX, 500, 110, 10}, {EP_ScrollOffsetX, -0.5f, 0, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        t->SetProperty(c.index, GuiMakeFloat(c.value), false);
        EXPECT_FLOAT_EQ(c.x, t->GetScrollOffset().x);
        EXPECT_FLOAT_EQ(c.y, t->GetScrollOffset().y);
        EXPECT_FLOAT_EQ(c.x, t->horzBar->position);
        EXPECT_FLOAT_EQ(c.y, t->vertBar->position);
        // The text moved at once.
        EXPECT_FLOAT_EQ(c.y, t->textControl->textVisual->scrollOffset[1]);
    }
    EXPECT_EQ(u"10.000", Get(t, EP_ScrollOffsetY));

    // After the text shrinks, an offset beyond the new range comes back.
    t->SetProperty(EP_ScrollOffsetY, GuiMakeFloat(50), false);
    t->textControl->SetText(CGeWString(Lines(5, u"ab").c_str())); // 60 high: range 14
    EXPECT_FLOAT_EQ(14.0f, t->GetScrollOffset().y);
    EXPECT_FLOAT_EQ(0.0f, t->GetScrollOffset().x);
    EXPECT_FLOAT_EQ(14.0f, t->vertBar->maxPos);
    EXPECT_EQ(0, t->horzBar->enabledState); // nothing to scroll across
    // A new line height gives a new range (the measured size is not kept
    // past a change of what measures it).
    t->SetProperty(EP_FontVPitch, GuiMakeFloat(20), true);
    EXPECT_FLOAT_EQ(54.0f, t->GetScrollRange().y);
    t->SetProperty(EP_FontVPitch, GuiMakeFloat(12), true);

    // A text smaller than the view: both bars disabled, the offset held at 0.
    t->textControl->SetText(u"ab");
    t->SetScrollOffset({30.0f, 30.0f});
    EXPECT_FLOAT_EQ(0.0f, t->GetScrollOffset().x);
    EXPECT_FLOAT_EQ(0.0f, t->GetScrollOffset().y);
    EXPECT_EQ(0, t->horzBar->enabledState);
    EXPECT_EQ(0, t->vertBar->enabledState);
}

TEST_F(GuiText, AutosizeFollowsTheText)
{
    CGuiText* t = MakeText("t", 100, 56, Lines(3, u"abcd").c_str()); // 40 by 36
    t->SetProperty(EP_Autosize, GuiMakeUInt(TAS_Both), true);
    EXPECT_FLOAT_EQ(50.0f, t->width);
    EXPECT_FLOAT_EQ(46.0f, t->height);
    t->SetProperty(EP_W, GuiMakeFloat(300), true); // ignored
    t->SetProperty(EP_H, GuiMakeFloat(300), true);
    EXPECT_FLOAT_EQ(50.0f, t->width);
    EXPECT_FLOAT_EQ(46.0f, t->height);
    EXPECT_FLOAT_EQ(40.0f, t->textControl->width);

    // "Vertical" resizes both dimensions too, after a size is taken.
    t->SetProperty(EP_Autosize, GuiMakeUInt(TAS_Vertical), false);
    t->SetSize(300, 300);
    EXPECT_FLOAT_EQ(50.0f, t->width);
    EXPECT_FLOAT_EQ(46.0f, t->height);

    // Bars of width 0 still exist; the text control fills the inner area.
    t->SetProperty(EP_Autosize, GuiMakeUInt(TAS_None), false);
    t->SetProperty(EP_HorzScrollBarWidth, GuiMakeFloat(0), false);
    t->SetProperty(EP_VertScrollBarWidth, GuiMakeFloat(0), true);
    t->SetSize(120, 80);
    EXPECT_FLOAT_EQ(120.0f, t->textControl->width);
    EXPECT_FLOAT_EQ(80.0f, t->textControl->height);
    EXPECT_FLOAT_EQ(0.0f, t->vertBar->width);
}

TEST_F(GuiText, WheelKeysAndBarsScrollTheText)
{
    CGuiText* t = MakeText("t", 100, 56, Lines(8, u"abcdefghijklmnopqrst").c_str());
    MoveTo(130, 120); // over the text
    Wheel(-2);        // towards the user: down two lines
    EXPECT_FLOAT_EQ(24.0f, t->GetScrollOffset().y);
    Wheel(1);
    EXPECT_FLOAT_EQ(12.0f, t->GetScrollOffset().y);
    KeyDown(0x10); // Shift: the wheel scrolls across by a space's width
    Wheel(-3);
    EXPECT_FLOAT_EQ(30.0f, t->GetScrollOffset().x);
    EXPECT_FLOAT_EQ(12.0f, t->GetScrollOffset().y);
    KeyUp(0x10);

    set->SetFocus(t);
    struct Key {
        WPARAM key;
        float x, y;
    } keys[] = {
        {37, 20, 12}, // Left lowers the horizontal offset
        {39, 30, 12}, // Right
        {38, 30, 24}, // Up raises the vertical offset
        {40, 30, 12}, // Down
        {65, 30, 12}, // other keys nothing
    };
    for (const Key& k : keys) {
        KeyDown(k.key);
        KeyUp(k.key);
        EXPECT_FLOAT_EQ(k.x, t->GetScrollOffset().x) << k.key;
        EXPECT_FLOAT_EQ(k.y, t->GetScrollOffset().y) << k.key;
    }

    // A click on the vertical bar (no pictures: all track) pages by the big change.
    t->SetProperty(EP_BigChange, GuiMakeFloat(7.5f), false);
    EXPECT_EQ(u"7.500", Get(t, EP_BigChange));
    Click(195, 120);
    EXPECT_FLOAT_EQ(19.0f, t->GetScrollOffset().y); // 12 + 7.5, truncated
    EXPECT_FLOAT_EQ(19.0f, t->vertBar->position);
}

TEST_F(GuiText, APartWhoseNameIsTakenStaysMissing)
{
    Make("t____ScrollBarVert____", 0, 0, 10, 10);
    CGuiText* t = MakeText("t", 100, 56, Lines(8, u"abcdefghijklmnopqrst").c_str());
    EXPECT_EQ(nullptr, t->vertBar);
    ASSERT_NE(nullptr, t->horzBar);
    EXPECT_EQ(nullptr, set->FindControl(CGeString("t____ScrollBarVert____"))->parent);
    // Layout does nothing, the rest skips the missing bar.
    EXPECT_FLOAT_EQ(1.0f, t->textControl->width);
    t->SetProperty(EP_ScrollOffsetY, GuiMakeFloat(10), true);
    t->SetProperty(EP_ArrowPic, CGeValue("none"), true);
    t->SetProperty(EP_Enable, GuiMakeBool(0), true);
    set->SetFocus(t);
    KeyDown(40);
    MoveTo(101, 101);
    Wheel(-1);
    CGeWString text;
    EXPECT_TRUE(t->GetProperty(EP_SmallChange, text));
    t->Render();
    Frame();
}

TEST_F(GuiText, PropertiesTheTextDoesNotListAreIgnored)
{
    CGuiText* t = MakeText("t", 100, 56, u"ab");
    t->SetProperty(EP_BgPic, CGeValue("x"), true);
    t->SetProperty(EP_Type, CGeValue("EGCT_BUTTON"), true);
    t->SetProperty(EP_FocusEnabled, GuiMakeBool(0), true);
    EXPECT_EQ(1, t->focusEnabled);
    EXPECT_EQ(u"EGCT_TEXT", Get(t, EP_Type));
    CGeWString text;
    EXPECT_FALSE(t->GetProperty(EP_BgPic, text));
    EXPECT_FALSE(t->GetProperty(EP_FocusEnabled, text));
    // EP_Clipping reaches all three parts.
    t->SetProperty(EP_Clipping, GuiMakeBool(1), false);
    EXPECT_EQ(1, t->textControl->clipping);
    EXPECT_EQ(1, t->horzBar->clipping);
    EXPECT_EQ(1, t->vertBar->clipping);
}
