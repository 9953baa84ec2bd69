// The text control's text, autosize and colours, and the button: its states
// and event 42, Enter, the caption's shift, the picture layout and the focus
// property.
#include "GuiTestFixture.h"

#include "Engine/Core/Gm/GmImageSet.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Core/Gm/GmText.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Core/Gm/GuiFont.h"
#include "Engine/Gui/GuiButton.h"
#include "Engine/Gui/GuiProperties.h"
#include "Engine/Gui/GuiResources.h"

#include <algorithm>

namespace {

class GuiButton : public GuiTest {
protected:
    void TearDown() override
    {
        GuiTest::TearDown();
        CGuiResources::FreeAll();
    }

    CGuiButton* MakeButton(const char* name, float x, float y, float w, float h)
    {
        return static_cast<CGuiButton*>(Make(name, x, y, w, h, nullptr, EGCT_BUTTON));
    }
    static void Schema(const char* name) { CGuiResources::spriteSchemas[CGeString(name)] = new CGmImageSet(); }
    static void SetName(CGuiControl* c, uint32_t index, const char* name)
    {
        c->SetProperty(index, CGeValue(name), false);
    }
    static void Listen(void* log, CGuiControl*, uint32_t code) { static_cast<Codes*>(log)->push_back(code); }
};

using GuiTextControl = GuiButton;

} // namespace

TEST_F(GuiTextControl, TextPropertyAndSetTextTreatLineBreaksDifferently)
{
    auto* t = static_cast<CGuiTextControl*>(Make("t", 0, 0, 100, 20, nullptr, EGCT_TEXTCONTROL));
    t->SetProperty(EP_Multiline, GuiMakeBool(0), false);
    Frame();
    Forget();
    t->SetProperty(EP_Text, CGeValue(CGeWString(u"a\nb\\nc")), false);
    EXPECT_TRUE(t->text == CGeWString(u"abc"));
    t->SetText(u"a\nb\\nc");
    EXPECT_TRUE(t->text == CGeWString(u"ab\\nc"));
    Frame();
    EXPECT_EQ(Codes({44}), Events("t")); // only SetText reports

    // Turning multiline off removes the breaks for good.
    t->SetProperty(EP_Multiline, GuiMakeBool(1), false);
    t->SetText(u"x\ny");
    t->SetProperty(EP_Multiline, GuiMakeBool(0), false);
    t->SetProperty(EP_Multiline, GuiMakeBool(1), false);
    EXPECT_TRUE(t->text == CGeWString(u"xy"));
}

TEST_F(GuiTextControl, AutosizeAndColours)
{
    auto* t = static_cast<CGuiTextControl*>(Make("t", 0, 0, 100, 20, nullptr, EGCT_TEXTCONTROL));
    EXPECT_EQ(1, t->textVisual->visible);
    EXPECT_EQ(&t->frame, t->textVisual->frame.parent);
    t->SetSize(0.5f, 20); // below 1 wide: the text hides
    EXPECT_EQ(0, t->textVisual->visible);
    t->SetProperty(EP_TextVisible, GuiMakeBool(1), false);
    t->LayoutText();
    EXPECT_EQ(0, t->textVisual->visible);
    t->SetSize(100, 20);
    EXPECT_EQ(1, t->textVisual->visible);

    t->SetProperty(EP_Autosize, GuiMakeUInt(TAS_Vertical), true);
    t->SetSize(60, 500); // the width is taken, the height follows the text
    EXPECT_FLOAT_EQ(60.0f, t->width);
    EXPECT_FLOAT_EQ(0.0f, t->height); // no font: an empty measure
    t->SetProperty(EP_Autosize, GuiMakeUInt(TAS_Both), true);
    t->SetSize(70, 70); // ignored
    EXPECT_FLOAT_EQ(0.0f, t->width);

    t->SetProperty(EP_FontMaskColor, GuiMakeUInt(0xFF123456), false);
    t->SetVisualState(0);
    EXPECT_EQ(t->disabledColor, t->textVisual->color);
    t->SetVisualState(1);
    EXPECT_EQ(0xFFFFFFFFu, t->textVisual->color); // white, not the mask colour
    CGeWString text;
    t->SetProperty(EP_Font, CGeValue("no such font"), false);
    ASSERT_TRUE(t->GetProperty(EP_Font, text));
    EXPECT_TRUE(text.IsEmpty());
}

TEST_F(GuiTextControl, AutosizeFollowsTheTextInARealFont)
{
    // A font of 16 by 16 cells ("X" and the space) registered as the GUI
    // resources would: the sizes below are its glyphs', laid out.
    CGmTexture* picture = new CGmTexture();
    picture->Create(32, 16, GM_FMT_A8R8G8B8, false);
    auto* font = new CGuiFont();
    ASSERT_TRUE(font->Init(picture, 2, 2, u" X", nullptr, 0, 0));
    picture->Release();
    CGuiResources::fonts[CGeString("block")] = font;
    CGuiResources::fontNames[reinterpret_cast<uintptr_t>(font)] = CGeString("block");

    struct Case {
        uint32_t autosize;
        const char16_t* text;
        float setWidth, setHeight;
        float width, height;
    } cases[] = {
        {TAS_Both, u"XXX", 10, 10, 48, 16},        // both sides from the text
        {TAS_Vertical, u"XXX", 100, 5, 100, 16},   // width kept, one line high
        {TAS_Vertical, u"XX XX", 40, 5, 40, 32},   // wrapped at the width: two lines
        {TAS_None, u"XXX", 20, 5, 20, 5},          // the size as set
    };
    for (const Case& c : cases) {
        auto* t = static_cast<CGuiTextControl*>(Make("t", 0, 0, 100, 20, nullptr, EGCT_TEXTCONTROL));
        SCOPED_TRACE(std::u16string(c.text).size());
        t->SetProperty(EP_Font, CGeValue("block"), false);
        t->SetProperty(EP_Autosize, GuiMakeUInt(c.autosize), true);
        t->SetText(c.text);
        t->SetSize(c.setWidth, c.setHeight);
        EXPECT_FLOAT_EQ(c.width, t->width) << c.autosize;
        EXPECT_FLOAT_EQ(c.height, t->height) << c.autosize;
        set->RemoveControl(CGeString("t"));
    }
}

TEST_F(GuiButton, EnterPressesAndClicksTheFocusedButton)
{
    CGuiButton* b = MakeButton("b", 0, 0, 100, 30);
    Codes heard;
    b->AddListener(&heard, Listen);
    set->SetFocus(b);
    Frame();
    Forget();
    Type(13, 13);
    EXPECT_EQ(Codes({34, 42, 33, 35, 42, 3, 36}), Events("b"));
    // 42 is not for the listeners; 3 comes from the button's own handling of
    // 35, which runs before the listeners hear 35.
    EXPECT_EQ(Codes({34, 33, 3, 35, 36}), heard);

    // Focus switched off on the focused button: 41 twice, no focus left.
    b->SetProperty(EP_FocusEnabled, GuiMakeBool(0), false);
    Frame();
    EXPECT_EQ(Codes({41, 41}), Events("b"));
    EXPECT_EQ(nullptr, set->focused);
}

TEST_F(GuiButton, PressedStateShiftsTheCaptionAndReleaseFollowsTheHoverPictures)
{
    CGuiButton* b = MakeButton("b", 100, 100, 100, 30);
    MoveTo(900, 900);
    MoveTo(150, 110);
    EXPECT_EQ(GUI_BUTTON_HOVER, b->state);
    Press(150, 110);
    EXPECT_EQ(GUI_BUTTON_PRESSED, b->state);
    EXPECT_FLOAT_EQ(1.0f, b->textVisual->frame.position.x);
    EXPECT_FLOAT_EQ(1.0f, b->textVisual->frame.position.y);
    Forget();
    Release(150, 110);
    EXPECT_EQ(GUI_BUTTON_NORMAL, b->state); // no hover picture
    EXPECT_FLOAT_EQ(0.0f, b->textVisual->frame.position.x);
    Codes codes = Events("b");
    EXPECT_NE(codes.end(), std::find(codes.begin(), codes.end(), 3u));

    // With only a centre hover picture the release goes to hover; a move of
    // one pixel while pressed shows hover, and the click still follows.
    Schema("hover");
    SetName(b, EP_CenterHoverPic, "hover");
    ASSERT_NE(nullptr, b->sprites[GUI_PIECE_CENTRE][GUI_BUTTON_HOVER]);
    Press(150, 110);
    MoveTo(151, 110);
    EXPECT_EQ(GUI_BUTTON_HOVER, b->state);
    Forget();
    Release(151, 110);
    EXPECT_EQ(GUI_BUTTON_HOVER, b->state);
    codes = Events("b");
    EXPECT_NE(codes.end(), std::find(codes.begin(), codes.end(), 3u));

    // Disabled while hovered: state 3 without event 42.
    Frame();
    Forget();
    b->SetVisualState(0);
    Frame();
    EXPECT_EQ(GUI_BUTTON_DISABLED, b->state);
    EXPECT_EQ(Codes(), Events("b"));
}

TEST_F(GuiButton, PicturesLayOutLeftCentreRight)
{
    CGuiButton* b = MakeButton("b", 0, 0, 100, 30);
    Schema("left");
    Schema("right");
    Schema("centre");
    SetName(b, EP_LeftPic, "left");
    SetName(b, EP_RightPic, "right");
    SetName(b, EP_CenterPic, "centre");
    SetName(b, EP_LeftDownPic, "not a schema");
    CGeWString text;
    b->GetProperty(EP_LeftDownPic, text);
    EXPECT_TRUE(text.IsEmpty());
    CGmSprite* left = b->sprites[GUI_PIECE_LEFT][GUI_BUTTON_NORMAL];
    CGmSprite* right = b->sprites[GUI_PIECE_RIGHT][GUI_BUTTON_NORMAL];
    CGmSprite* centre = b->sprites[GUI_PIECE_CENTRE][GUI_BUTTON_NORMAL];
    ASSERT_TRUE(left && right && centre);
    EXPECT_EQ(1, left->pixelSnapping);
    EXPECT_EQ(5u, left->blendMode);
    left->SetSize(10, 30);
    struct Case {
        float rightWidth, centreWidth, rightX;
    } cases[] = {{10.0f, 80.0f, 90.0f}, {10.7f, 80.0f, 89.3f}};
    for (const Case& k : cases) {
        right->SetSize(k.rightWidth, 30);
        b->LayoutText();
        EXPECT_FLOAT_EQ(10.0f, centre->frame.position.x);
        EXPECT_FLOAT_EQ(k.centreWidth, centre->size[0]);
        EXPECT_FLOAT_EQ(k.rightX, right->frame.position.x);
        EXPECT_FLOAT_EQ(30.0f, centre->size[1]);
    }
}
