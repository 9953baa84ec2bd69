// Combo boxes and drop-down lists as event tables: the button opens (53) and
// an item clicked is taken (54); Up and Down wrap, Down without a current
// item goes by prefix and one on; Ctrl+Down released opens; a press outside
// and the loss of the focus close; the open list's height and direction;
// EP_CurItem; the wheel at the ends and over one item; typing into an open
// drop-down list; a combo whose edit name is taken.
#include "GuiEditFixture.h"

#include "Engine/Core/Gm/GmText.h"
#include "Engine/Gui/GuiButton.h"
#include "Engine/Gui/GuiComboBox.h"
#include "Engine/Gui/GuiDropDownList.h"
#include "Engine/Gui/GuiListBox.h"

#include <algorithm>
#include <string>

#include <tinyxml.h>

namespace {

const char16_t kFive[] = u"alpha\nbeta\ngamma\ndelta\nepsilon";

class GuiComboBox : public GuiEditTest {
protected:
    // A 200 by 20 control with a 20-wide button, three rows to drop, items.
    template <typename T>
    T* MakeCombo(uint32_t type, const char* name, float x, float y, const char16_t* items = kFive)
    {
        auto* c = static_cast<T*>(Make(name, x, y, 200, 20, nullptr, type));
        c->SetProperty(EP_Font, CGeValue("mono"), false);
        c->SetProperty(EP_ButtonWidth, GuiMakeFloat(20), false);
        c->SetProperty(EP_MaxDropItemCount, GuiMakeUInt(3), false);
        c->SetProperty(EP_Items, CGeValue(CGeWString(items)), true);
        set->SetFocus(c);
        Frame();
        Forget();
        return c;
    }
    CGuiComboBox* Combo(float x = 100, float y = 100, const char16_t* items = kFive)
    {
        return MakeCombo<CGuiComboBox>(EGCT_COMBOBOX, "c", x, y, items);
    }
    // The codes 53 and 54 the control sent, in order.
    Codes Announced(const char* name)
    {
        Codes out;
        for (uint32_t code : Events(name))
            if (code == 53 || code == 54)
                out.push_back(code);
        return out;
    }
    static std::u16string Shown(CGuiComboBase* c) { return Str(c->valuePart->text); }
};

} // namespace

TEST_F(GuiComboBox, ButtonOpensAndClosesAndAClickedItemIsTaken)
{
    CGuiComboBox* c = Combo();
    ASSERT_NE(nullptr, c->listBox);
    ASSERT_NE(nullptr, c->Edit());
    ASSERT_NE(nullptr, c->button);
    EXPECT_FALSE(c->IsOpen());
    EXPECT_TRUE(c->Edit()->HasFocus()); // the combo holds the focus for its edit
    Click(290, 110); // the button
    EXPECT_TRUE(c->IsOpen());
    EXPECT_EQ(Codes({53}), Announced("c"));
    // Three rows of twelve under the control: the second row is "beta".
    EXPECT_FLOAT_EQ(20.0f, c->listBox->Y());
    EXPECT_FLOAT_EQ(36.0f, c->listBox->height);
    MoveTo(150, 120 + 18);
    EXPECT_EQ(1, c->listBox->curItem); // the highlight follows the pointer
    Click(150, 120 + 18);
    EXPECT_FALSE(c->IsOpen());
    EXPECT_EQ(u"beta", Shown(c));
    EXPECT_EQ(0, c->Edit()->anchor); // the whole text selected
    EXPECT_EQ(4u, c->Edit()->caret);
    EXPECT_EQ(Codes({54}), Announced("c"));

    Click(290, 110);
    Click(290, 110);
    EXPECT_FALSE(c->IsOpen());
    EXPECT_EQ(Codes({53}), Announced("c"));
}

TEST_F(GuiComboBox, UpAndDownWrapAndStartFromThePrefix)
{
    CGuiComboBox* c = Combo();
    struct Case {
        const char16_t* shown;
        int32_t current;
        WPARAM key;
        const char16_t* expected;
        bool announced;
    } cases[] = {
        {u"", -1, 40, u"beta", true},       // no current item: the empty prefix finds item 0, then one on
        {u"GA", -1, 40, u"delta", true},    // by prefix, whatever the case, then one on
        {u"zz", -1, 40, u"beta", true},     // no prefix: from item 0
        {u"", 4, 40, u"alpha", true},       // Down on the last wraps to the first
        {u"", 0, 38, u"epsilon", true},     // Up on the first wraps to the last
        {u"gamma", 1, 40, u"gamma", false}, // the same text again: nothing announced
    };
    for (const Case& k : cases) {
        c->Edit()->SetText(k.shown);
        c->listBox->SetCurItem(k.current);
        Frame();
        Forget();
        Apply(Key(k.key));
        EXPECT_EQ(std::u16string(k.expected), Shown(c)) << (int)k.key;
        EXPECT_EQ(k.announced ? Codes({54}) : Codes(), Announced("c")) << (int)k.key;
    }
}

TEST_F(GuiComboBox, CtrlDownReleasedOpensAndPressOutsideOrFocusLossCloses)
{
    CGuiComboBox* c = Combo();
    Make("other", 600, 600, 50, 50)->focusEnabled = 1;
    Send(WM_KEYDOWN, 17, 0);
    Frame();
    Send(WM_KEYDOWN, 40, 0);
    Frame();
    EXPECT_FALSE(c->IsOpen()); // Down with Ctrl held does not step
    Send(WM_KEYUP, 40, 0);
    Frame();
    Send(WM_KEYUP, 17, 0);
    Frame();
    EXPECT_TRUE(c->IsOpen());
    EXPECT_EQ(Codes({53}), Announced("c"));

    Click(620, 620); // outside
    EXPECT_FALSE(c->IsOpen());

    Click(290, 110);
    ASSERT_TRUE(c->IsOpen());
    set->SetFocus(set->FindControl("other"));
    EXPECT_FALSE(c->IsOpen());
}

TEST_F(GuiComboBox, TheOpenListShowsAtMostTheDropCountAndDropsUpOnlyWithRoomAbove)
{
    struct Case {
        const char16_t* items;
        float y;
        float listY, listHeight;
    } cases[] = {
        {kFive, 100, 20, 36},   // three of five rows, below
        {u"a\nb", 100, 20, 24}, // two rows
        {kFive, 1000, -36, 36}, // no room below: above
        {kFive, 968, -36, 36},  // the list would end right at the bottom: above
        {kFive, 967, 20, 36},   // it ends one unit above it: below
    };
    for (const Case& k : cases) {
        CGuiComboBox* c = Combo(100, k.y, k.items);
        c->Open();
        EXPECT_FLOAT_EQ(k.listY, c->listBox->Y()) << k.y;
        EXPECT_FLOAT_EQ(k.listHeight, c->listBox->height) << k.y;
        // The hit rectangle covers the open list.
        const CGeRect r = c->GetRect();
        EXPECT_FLOAT_EQ(20.0f + k.listHeight, r.height);
        set->RemoveControl("c");
        set->RemoveControl("c____ListBox____");
        set->RemoveControl("c____Edit____");
        set->RemoveControl("c____Button____");
    }
    // A parent that ends above the screen's bottom limits the room below;
    // with no room above either, the list drops below anyway.
    CGuiControl* panel = Make("panel", 0, 0, 400, 140);
    CGuiComboBox* c = Combo(100, 110);
    c->SetParent(panel);
    c->Open();
    EXPECT_FLOAT_EQ(-36.0f, c->listBox->Y());
    c->SetPosition(100, 20);
    c->Open();
    EXPECT_FLOAT_EQ(20.0f, c->listBox->Y());
}

TEST_F(GuiComboBox, CurItemShowsTheItemsText)
{
    CGuiComboBox* c = Combo();
    c->SetProperty(EP_CurItem, GuiMakeInt(2), false);
    EXPECT_EQ(u"gamma", Shown(c));
    EXPECT_EQ(2, c->listBox->curItem);
    CGeWString text;
    ASSERT_TRUE(c->GetProperty(EP_CurItem, text));
    EXPECT_EQ(u"2", Str(text));
    c->SetProperty(EP_CurItem, GuiMakeInt(-1), false);
    EXPECT_EQ(u"", Shown(c));
    EXPECT_EQ(-1, c->listBox->curItem);
    // Properties reach their parts.
    c->SetProperty(EP_ReadOnly, GuiMakeBool(1), false);
    EXPECT_EQ(1, c->Edit()->readOnly);
    c->SetProperty(EP_EditCursorType, GuiMakeInt(5), false);
    EXPECT_EQ(5, c->Edit()->cursorType);
    c->SetProperty(EP_ButtonCursorType, GuiMakeInt(6), false);
    EXPECT_EQ(6, c->button->cursorType);
    EXPECT_FALSE(c->GetProperty(EP_TextControlCursorType, text));
}

TEST_F(GuiComboBox, TheWheelStopsAtTheEnds)
{
    struct Case {
        const char16_t* items;
        int32_t current;
        int notches;
        int32_t expected;
    } cases[] = {
        {kFive, 2, 1, 1},                      // away from the user: towards the first item
        {kFive, 2, -1, 3},   {kFive, 0, 1, 0}, // stops at the first
        {kFive, 4, -2, 4},                     // and at the last
        {u"only", 0, -1, 0}, {u"only", 0, 1, 0},
    };
    for (const Case& k : cases) {
        CGuiComboBox* c = Combo(100, 100, k.items);
        c->listBox->SetCurItem(k.current);
        MoveTo(150, 110);
        Send(WM_MOUSEWHEEL, (WPARAM)(uint16_t)(int16_t)(k.notches * 120) << 16, MAKELPARAM(150, 110));
        Frame();
        EXPECT_EQ(k.expected, c->listBox->curItem) << k.current << " " << k.notches;
        CGeWString item;
        c->listBox->GetItem(k.expected, item);
        EXPECT_EQ(Str(item), Shown(c));
        for (const char* part : {"c", "c____ListBox____", "c____Edit____", "c____Button____"})
            set->RemoveControl(part);
    }
}

TEST_F(GuiComboBox, ACompoundWhosePartNamesAreTakenLivesWithoutThem)
{
    Make("c____Edit____", 0, 0, 10, 10);
    Make("c____ListBox____", 0, 0, 10, 10);
    CGuiComboBox* c = Combo();
    EXPECT_EQ(nullptr, c->Edit());
    EXPECT_EQ(nullptr, c->listBox);
    ASSERT_NE(nullptr, c->button);
    Click(290, 110);
    Apply({Key(40), Key(38), Key(13), Chr('a')});
    MoveTo(150, 110);
    Send(WM_MOUSEWHEEL, (WPARAM)(uint16_t)(int16_t)(120) << 16, MAKELPARAM(150, 110));
    Frame();
    c->SetProperty(EP_CurItem, GuiMakeInt(1), true);
    c->SetProperty(EP_Text, CGeValue(CGeWString(u"x")), true);
    c->Render();
    EXPECT_FALSE(c->IsOpen());
}

using GuiDropDownList = GuiComboBox;

TEST_F(GuiDropDownList, TypingSearchesOnlyAnOpenList)
{
    auto* d = MakeCombo<CGuiDropDownList>(EGCT_DROP_DOWN_LIST, "d", 100, 100);
    ASSERT_NE(nullptr, d->valuePart);
    EXPECT_EQ(EGCT_TEXTCONTROL, d->valuePart->ControlType());
    d->SetProperty(EP_CurItem, GuiMakeInt(1), false);
    Apply(Chr('g'));
    EXPECT_EQ(1, d->listBox->curItem); // closed: nothing
    EXPECT_EQ(u"beta", Shown(d));
    Apply(Key(13));
    EXPECT_EQ(Codes(), Announced("d")); // Enter with a closed list does nothing

    d->Open();
    Frame(); // 53 reaches the recorder in this frame's dispatch pass
    EXPECT_EQ(Codes({53}), Announced("d"));
    Apply(Chr('g'));
    EXPECT_EQ(2, d->listBox->curItem);
    Apply(Chr('q')); // starts no item: the highlight goes
    EXPECT_EQ(-1, d->listBox->curItem);
    Apply(Chr('d'));
    Apply(Key(13));
    EXPECT_FALSE(d->IsOpen());
    EXPECT_EQ(u"delta", Shown(d));
    EXPECT_EQ(Codes({54}), Announced("d"));

    // EP_Text changes the shown text, not the current item; the edit's
    // properties are not the drop-down's.
    d->SetProperty(EP_Text, CGeValue(CGeWString(u"free")), false);
    EXPECT_EQ(u"free", Shown(d));
    EXPECT_EQ(3, d->listBox->curItem);
    CGeWString text;
    EXPECT_FALSE(d->GetProperty(EP_ReadOnly, text));
    EXPECT_FALSE(d->GetProperty(EP_EditCursorType, text));
    d->SetProperty(EP_TextControlCursorType, GuiMakeInt(4), false);
    EXPECT_EQ(4, d->valuePart->cursorType);

    // Up and Down step and wrap as in the combo box.
    Apply(Key(40));
    EXPECT_EQ(u"epsilon", Shown(d));
    Apply(Key(40));
    EXPECT_EQ(u"alpha", Shown(d));
}

TEST_F(GuiComboBox, EveryControlTypeLoadsFromALayoutFile)
{
    std::string xml = "<GUI><CONTROLSET>";
    for (uint32_t type = EGCT_CONTROL; type <= EGCT_DROP_DOWN_LIST; ++type)
        if (type != EGCT_MENU)
            xml += "<C Name='t" + std::to_string(type) + "' Type='" + EgctToName(type).c_str() + "'/>";
    xml += "</CONTROLSET></GUI>";
    TiXmlDocument document;
    document.Parse(xml.c_str());
    set->Load(document.FirstChildElement("GUI"));
    for (uint32_t type = EGCT_CONTROL; type <= EGCT_DROP_DOWN_LIST; ++type) {
        if (type == EGCT_MENU)
            continue;
        CGuiControl* c = set->FindControl(CGeString(("t" + std::to_string(type)).c_str()));
        ASSERT_NE(nullptr, c) << type;
        EXPECT_EQ(type, c->ControlType());
    }
    // The compounds came with their parts.
    EXPECT_NE(nullptr, set->FindControl("t9____ListBox____"));
    EXPECT_NE(nullptr, set->FindControl("t16____TextControl____"));
    EXPECT_NE(nullptr, set->FindControl("t5____Edit____"));
}
