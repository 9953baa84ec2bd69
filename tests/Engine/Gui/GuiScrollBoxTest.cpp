// The scroll area (content box, clamped offsets written straight into the
// children, events 38 and 39, listener records) and the scroll box (layout,
// bars in step with the area, wheel, keys, routing of properties), and a
// layout document with every scrolling control.
#include "GuiScrollFixture.h"

#include "Engine/Core/Common/GeXml.h"
#include "Engine/Gui/GuiListBox.h"
#include "Engine/Gui/GuiProperties.h"
#include "Engine/Gui/GuiScrollArea.h"
#include "Engine/Gui/GuiScrollBar.h"
#include "Engine/Gui/GuiScrollBox.h"
#include "Engine/Gui/GuiText.h"

#include <string>
#include <tinyxml.h>

namespace {

class GuiScrollArea : public GuiScrollTest {
protected:
    CGuiScrollArea* MakeArea(const char* name, float w, float h)
    {
        return static_cast<CGuiScrollArea*>(Make(name, 100, 100, w, h, nullptr, EGCT_SCROLLAREA));
    }
    static std::u16string Get(CGuiControl* c, uint32_t index)
    {
        CGeWString t;
        c->GetProperty(index, t);
        return t.c_str();
    }
    static uint32_t Records(CGuiControl* child, CGuiScrollArea* area)
    {
        uint32_t n = 0;
        for (auto* node = child->listeners.head; node; node = node->next)
            n += node->value.object == area ? 1 : 0;
        return n;
    }
};

class GuiScrollBox : public GuiScrollArea {
protected:
    // A box at (100, 100), 200 by 100 with 10-unit bars: its area is 190
    // by 90. The content: one control of 300 by 200.
    CGuiScrollBox* MakeBox(const char* name, float contentW = 300, float contentH = 200)
    {
        auto* box = static_cast<CGuiScrollBox*>(Make(name, 100, 100, 200, 100, nullptr, EGCT_SCROLLBOX));
        box->SetProperty(EP_HorzScrollBarWidth, GuiMakeFloat(10), false);
        box->SetProperty(EP_VertScrollBarWidth, GuiMakeFloat(10), false);
        box->SetProperty(EP_SmallChange, GuiMakeFloat(4), false);
        box->SetProperty(EP_BigChange, GuiMakeFloat(50), true);
        if (box->area) {
            CGuiControl* content = Make((std::string(name) + "Content").c_str(), 0, 0, contentW, contentH);
            content->SetParent(box->area);
            box->Refresh();
        }
        Frame();
        Forget();
        return box;
    }
};

using GuiScrollingLayout = GuiScrollBox;

} // namespace

TEST_F(GuiScrollArea, TheContentBoxAndTheClampedOffset)
{
    CGuiScrollArea* area = MakeArea("a", 100, 80);
    // Without children the corner stays at the inner top-left, silently.
    area->SetProperty(EP_ScrollOffsetX, GuiMakeFloat(500), true);
    EXPECT_FLOAT_EQ(0.0f, area->contentLeft);
    Frame();
    EXPECT_EQ(Codes(), EventsAmong("a", {38, 39}));

    CGuiControl* wide = Make("wide", 0, 0, 300, 20, area);
    area->Refresh();
    EXPECT_FLOAT_EQ(300.0f, area->contentWidth);
    EXPECT_FLOAT_EQ(80.0f, area->contentHeight);
    Frame();
    EXPECT_EQ(Codes({39}), EventsAmong("a", {38, 39}));

    struct Case {
        float offset, left, childX;
        Codes events;
    } cases[] = {
        {500, -200, -200, {38}}, // clamped: the content's right edge meets the area's
        {200, -200, -200, {}},   // the same corner: nothing
        {-50, 0, 0, {38}},       // never past the start
        {37.5f, -37.5f, -37.5f, {38}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.offset);
        area->SetProperty(EP_ScrollOffsetX, GuiMakeFloat(c.offset), false);
        EXPECT_FLOAT_EQ(c.left, area->contentLeft);
        EXPECT_FLOAT_EQ(c.childX, wide->X());
        Frame();
        EXPECT_EQ(c.events, EventsAmong("a", {38, 39}));
        EXPECT_EQ(Codes(), EventsAmong("wide", {47})); // written straight: no move events
    }
    EXPECT_EQ(u"37.500", Get(area, EP_ScrollOffsetX));
    EXPECT_FLOAT_EQ(100.0f - 37.5f, wide->GetRect().x); // the world placement follows at once

    // A child moved or resized by code updates the box; zoom counts.
    wide->SetPosition(-37.5f, 30.0f);
    EXPECT_FLOAT_EQ(80.0f, area->contentHeight);
    wide->SetSize(300, 100);
    EXPECT_FLOAT_EQ(130.0f, area->contentHeight);
    wide->SetProperty(EP_ZoomX, GuiMakeFloat(2), false);
    area->Refresh();
    EXPECT_FLOAT_EQ(600.0f, area->contentWidth);
}

TEST_F(GuiScrollArea, ListenerRecordsFollowAddAndRemove)
{
    CGuiScrollArea* area = MakeArea("a", 100, 80);
    CGuiControl* child = Make("c", 0, 0, 10, 10);
    CGuiControl* other = Make("d", 0, 0, 10, 10);
    other->AddListener(area, &CGuiScrollArea::ChildListener); // a record made by hand
    area->AddChild(other);
    EXPECT_EQ(2u, Records(other, area)); // appended without a look for duplicates
    area->RemoveChild(other);            // the first match goes
    EXPECT_EQ(1u, Records(other, area));
    other->ClearListeners();

    area->AddChild(child);
    area->AddChild(child); // already a child: no second record to outlive the area
    EXPECT_EQ(1u, Records(child, area));
    area->RemoveChild(child);
    EXPECT_EQ(0u, Records(child, area));
    EXPECT_EQ(nullptr, child->parent);
    child->SetParent(area);
    EXPECT_EQ(1u, Records(child, area));
    // A dying area leaves its children without records pointing at it.
    set->RemoveControl(CGeString("a"));
    EXPECT_EQ(0u, child->listeners.count);
}

TEST_F(GuiScrollBox, PartsLayoutAndBarsInStep)
{
    CGuiScrollBox* box = MakeBox("b");
    ASSERT_NE(nullptr, box->area);
    EXPECT_EQ(box->area, set->FindControl(CGeString("b____ScrollArea____")));
    EXPECT_EQ(box->horzBar, set->FindControl(CGeString("b____ScrollBarHorz____")));
    struct Place {
        CGuiControl* c;
        float x, y, w, h;
    } places[] = {
        {box->area, 0, 0, 190, 90},
        {box->vertBar, 190, 0, 10, 100},
        {box->horzBar, 0, 90, 190, 10},
    };
    for (const Place& p : places) {
        EXPECT_EQ(1, p.c->internalPart);
        EXPECT_FLOAT_EQ(p.x, p.c->X());
        EXPECT_FLOAT_EQ(p.y, p.c->Y());
        EXPECT_FLOAT_EQ(p.w, p.c->width);
        EXPECT_FLOAT_EQ(p.h, p.c->height);
    }
    EXPECT_FLOAT_EQ(110.0f, box->horzBar->maxPos);
    EXPECT_FLOAT_EQ(110.0f, box->vertBar->maxPos);
    EXPECT_EQ(1, box->vertBar->enabledState);
    EXPECT_EQ(0, box->vertBar->allowWheel);
    EXPECT_EQ(u"4.000", Get(box, EP_SmallChange));

    // The thumb's position goes to the area in whole pixels.
    struct Drag {
        float position, offset;
    } drags[] = {{10.4f, 10}, {10.5f, 11}, {109.9f, 110}};
    for (const Drag& d : drags) {
        box->vertBar->position = d.position;
        box->vertBar->NotifyListeners(GUI_EV_SCROLL_CHANGED);
        EXPECT_FLOAT_EQ(-d.offset, box->area->contentTop) << d.position;
    }

    // A horizontal bar thicker than the inner height fills it from the top.
    box->SetProperty(EP_HorzScrollBarWidth, GuiMakeFloat(150), true);
    EXPECT_FLOAT_EQ(0.0f, box->horzBar->Y());
    EXPECT_FLOAT_EQ(100.0f, box->horzBar->height);

    // Content that fits: both bars have no range and are disabled.
    CGuiScrollBox* small = MakeBox("s", 50, 50);
    EXPECT_FLOAT_EQ(0.0f, small->horzBar->maxPos);
    EXPECT_FLOAT_EQ(0.0f, small->vertBar->maxPos);
    EXPECT_EQ(0, small->horzBar->enabledState);
    EXPECT_EQ(0, small->vertBar->enabledState);
}

TEST_F(GuiScrollBox, TheWheelScrollsOverAnyPart)
{
    CGuiScrollBox* box = MakeBox("b");
    struct Case {
        int x, y;
        bool shift;
        int notches;
        float left, top;
    } cases[] = {
        {295, 150, false, -1, 0, -4},  // over the vertical bar, whose own wheel is off
        {150, 195, false, -2, 0, -12}, // over the horizontal bar
        {150, 195, true, -1, -4, -12}, // with Shift: across
        {295, 150, true, 3, 0, -12},   // clamped at the start
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.notches);
        MoveTo(c.x, c.y);
        if (c.shift)
            KeyDown(0x10);
        Wheel(c.notches);
        if (c.shift)
            KeyUp(0x10);
        EXPECT_FLOAT_EQ(c.left, box->area->contentLeft);
        EXPECT_FLOAT_EQ(c.top, box->area->contentTop);
        EXPECT_FLOAT_EQ(-c.top, box->vertBar->position);
    }
    // Over the area itself (a part of it the content does not cover).
    CGuiScrollBox* wide = MakeBox("w", 300, 50);
    wide->CGuiControl::SetPosition(500, 100);
    MoveTo(550, 170);
    Wheel(-1);
    EXPECT_FLOAT_EQ(0.0f, wide->area->contentTop); // no vertical range
    KeyDown(0x10);
    Wheel(-1);
    KeyUp(0x10);
    EXPECT_FLOAT_EQ(-4.0f, wide->area->contentLeft);
}

TEST_F(GuiScrollBox, ArrowKeysScrollByTheSmallOrBigChange)
{
    CGuiScrollBox* box = MakeBox("b");
    set->SetFocus(box);
    struct Step {
        WPARAM key;
        bool shift;
        float x, y;
    } steps[] = {
        {37, false, 4, 0},                       // Left raises the horizontal offset
        {37, true, 54, 0},                       // by the big change with Shift
        {39, false, 50, 0},                      // Right lowers it
        {37, true, 100, 0},  {37, true, 110, 0}, // clamped to the range
        {38, false, 110, 4},                     // Up raises the vertical offset
        {40, true, 110, 0},                      // Down lowers it, clamped at the start
        {65, false, 110, 0},
    };
    for (const Step& s : steps) {
        if (s.shift)
            KeyDown(0x10);
        KeyDown(s.key);
        KeyUp(s.key);
        if (s.shift)
            KeyUp(0x10);
        EXPECT_FLOAT_EQ(-s.x, box->area->contentLeft) << s.key;
        EXPECT_FLOAT_EQ(-s.y, box->area->contentTop) << s.key;
        EXPECT_FLOAT_EQ(s.x, box->horzBar->position) << s.key;
    }
}

TEST_F(GuiScrollBox, PropertiesAreRoutedOrIgnored)
{
    CGuiScrollBox* box = MakeBox("b");
    box->SetProperty(EP_BgPic, CGeValue("x"), true);
    box->SetProperty(EP_Text, CGeValue(CGeWString(u"t")), true);
    CGeWString text;
    EXPECT_FALSE(box->GetProperty(EP_BgPic, text));
    EXPECT_TRUE(text.IsEmpty());
    EXPECT_FALSE(box->GetProperty(EP_Text, text));
    EXPECT_EQ(u"EGCT_SCROLLBOX", Get(box, EP_Type));

    box->SetProperty(EP_ScrollOffsetY, GuiMakeFloat(30), false);
    EXPECT_EQ(u"30.000", Get(box, EP_ScrollOffsetY));
    box->SetProperty(EP_Clipping, GuiMakeBool(1), false);
    EXPECT_EQ(1, box->area->clipping);
    EXPECT_EQ(1, box->vertBar->clipping);
    box->SetProperty(EP_ArrowPic, CGeValue("nothing"), false);
    EXPECT_EQ(u"", Get(box, EP_ArrowPic));
    EXPECT_EQ(u"10.000", Get(box, EP_VertScrollBarWidth));

    // Listed controls become children of the area.
    box->SetProperty(EP_ScrollOffsetY, GuiMakeFloat(0), false);
    Make("extra", 0, 250, 20, 20);
    box->SetProperty(EP_ScrollAreaChildren, CGeValue("extra"), true);
    EXPECT_EQ(box->area, set->FindControl(CGeString("extra"))->parent);
    EXPECT_EQ(u"bContent\nextra", Get(box, EP_ScrollAreaChildren));
    EXPECT_FLOAT_EQ(180.0f, box->vertBar->maxPos); // 270 - 90

    // Autosize 1: the box takes the content's size plus the bars, and keeps
    // it from one layout to the next.
    box->SetProperty(EP_Autosize, GuiMakeInt(1), true);
    EXPECT_EQ(u"1", Get(box, EP_Autosize));
    for (int i = 0; i < 2; ++i) {
        box->Refresh();
        EXPECT_FLOAT_EQ(310.0f, box->width);
        EXPECT_FLOAT_EQ(280.0f, box->height);
        EXPECT_FLOAT_EQ(300.0f, box->area->width);
    }
    box->SetSize(50, 50); // ignored
    EXPECT_FLOAT_EQ(310.0f, box->width);
}

TEST_F(GuiScrollBox, APartWhoseNameIsTakenStaysMissing)
{
    Make("b____ScrollArea____", 0, 0, 10, 10);
    CGuiScrollBox* box = MakeBox("b");
    EXPECT_EQ(nullptr, box->area);
    ASSERT_NE(nullptr, box->vertBar);
    EXPECT_FLOAT_EQ(1.0f, box->vertBar->width); // no layout
    set->SetFocus(box);
    KeyDown(37);
    KeyUp(37);
    MoveTo(101, 101);
    Wheel(-1);
    box->SetProperty(EP_ScrollOffsetX, GuiMakeFloat(3), true);
    box->SetProperty(EP_ScrollAreaChildren, CGeValue("x"), true);
    box->vertBar->NotifyListeners(GUI_EV_SCROLL_CHANGED);
    box->Render();
    Frame();
}

TEST_F(GuiScrollingLayout, ADocumentWithEveryScrollingControl)
{
    TiXmlDocument document;
    const char xml[] = R"(<GUI><CONTROLSET>
  <C Name="inner" Type="EGCT_CONTROL"><P Name="EP_W">400</P><P Name="EP_H">300</P></C>
  <C Name="box" Type="EGCT_SCROLLBOX">
    <P Name="EP_W">200</P><P Name="EP_H">100</P>
    <P Name="EP_HorzScrollBarWidth">10</P><P Name="EP_VertScrollBarWidth">10</P>
    <P Name="EP_ScrollAreaChildren">inner</P>
  </C>
  <C Name="list____TextControl____" Type="EGCT_CONTROL"/>
  <C Name="list" Type="EGCT_LISTBOX">
    <P Name="EP_Font">F</P><P Name="EP_Items">one
two</P><P Name="EP_CurItem">1</P>
  </C>
  <C Name="text" Type="EGCT_TEXT"><P Name="EP_Font">F</P><P Name="EP_Text">hello</P></C>
  <C Name="area" Type="EGCT_SCROLLAREA"/>
  <C Name="bar" Type="EGCT_SCROLLBAR"><P Name="EP_Direction">Vertical</P><P Name="EP_MaxPos">5</P></C>
</CONTROLSET></GUI>)";
    Font();
    ASSERT_TRUE(XmlParseDocumentText((const uint8_t*)xml, sizeof(xml) - 1, document));
    set->Load(document.FirstChildElement("GUI"));

    auto* box = dynamic_cast<CGuiScrollBox*>(set->FindControl(CGeString("box")));
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(box->area, set->FindControl(CGeString("inner"))->parent);
    EXPECT_FLOAT_EQ(210.0f, box->horzBar->maxPos); // 400 - 190
    EXPECT_FLOAT_EQ(210.0f, box->vertBar->maxPos); // 300 - 90

    // The list's text control name was taken: the list has no text and no items.
    auto* list = dynamic_cast<CGuiListBox*>(set->FindControl(CGeString("list")));
    ASSERT_NE(nullptr, list);
    EXPECT_EQ(nullptr, list->textControl);
    EXPECT_NE(nullptr, list->vertBar);
    EXPECT_EQ(0u, list->GetItemCount());
    EXPECT_EQ(-1, list->curItem);

    auto* text = dynamic_cast<CGuiText*>(set->FindControl(CGeString("text")));
    ASSERT_NE(nullptr, text);
    EXPECT_EQ(u"hello", Get(text, EP_Text));
    EXPECT_NE(nullptr, dynamic_cast<CGuiScrollArea*>(set->FindControl(CGeString("area"))));
    auto* bar = dynamic_cast<CGuiScrollBar*>(set->FindControl(CGeString("bar")));
    ASSERT_NE(nullptr, bar);
    EXPECT_EQ(1, bar->direction);
    EXPECT_FLOAT_EQ(5.0f, bar->maxPos);
}
