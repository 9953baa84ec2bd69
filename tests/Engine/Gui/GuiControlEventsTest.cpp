// What a control reports for the pointer, the buttons and the keyboard, as
// a dispatcher client sees it in the dispatch pass after the frame; the
// hover fade (on a real hover frame too); manual moving with its capture; Tab order and focus events.
#include "GuiTestFixture.h"

#include "Engine/Core/Gm/GmImageSet.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Gui/GuiBoundFrame.h"
#include "Engine/Gui/GuiBoundFrames.h"
#include "Engine/Gui/GuiProperties.h"

namespace {

using GuiControlEvents = GuiTest;

} // namespace

TEST_F(GuiControlEvents, EnterMoveLeaveWithAndWithoutActiveArea)
{
    struct Case {
        const char* what;
        uint32_t activeOffset;
        Codes enter, move, leave;
    } cases[] = {
        {"no active area", 0, {28, 26, 29, 23}, {29, 23}, {24, 30}},
        {"active area", 10, {28, 26, 27, 29, 23}, {29, 23}, {24, 25, 30}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        CGuiControl* c = Make("a", 100, 100, 100, 50);
        for (uint32_t& offset : c->activeArea)
            offset = k.activeOffset;
        MoveTo(10, 10);
        Forget();
        MoveTo(150, 120);
        EXPECT_EQ(k.enter, Events("a"));
        MoveTo(151, 121);
        EXPECT_EQ(k.move, Events("a"));
        MoveTo(10, 10);
        EXPECT_EQ(k.leave, Events("a"));
        set->RemoveControl("a");
    }
}

TEST_F(GuiControlEvents, ClicksAndDoubleClicksByTheirTimer)
{
    Make("b", 0, 0, 100, 100);
    MoveTo(50, 50, 0.5f); // the click timers run past 0.3 and stop
    Frame(0.5f);
    Forget();
    Press(50, 50);
    Release(50, 50, 0.1f);
    EXPECT_EQ(Codes({1, 2, 3}), Events("b"));
    // 0.2 s between the two clicks: a double click.
    Press(50, 50, 0.1f);
    Release(50, 50, 0.2f);
    EXPECT_EQ(Codes({1, 2, 3, 4}), Events("b"));
    // 0.4 s: a single click.
    Press(50, 50, 0.2f);
    Release(50, 50);
    EXPECT_EQ(Codes({1, 2, 3}), Events("b"));
    // A release without a press on the control is no click.
    Send(WM_RBUTTONUP, 0, MAKELPARAM(50, 50));
    Frame();
    EXPECT_EQ(Codes({6}), Events("b"));
}

TEST_F(GuiControlEvents, NewControlsCountTheirFirstClickDouble)
{
    // The click timers start at 0.
    Make("b", 0, 0, 100, 100);
    MoveTo(50, 50);
    Forget();
    Click(50, 50);
    EXPECT_EQ(Codes({1, 2, 3, 4}), Events("b"));
}

TEST_F(GuiControlEvents, DisabledControlsReportPressAndReleaseOnly)
{
    CGuiControl* c = Make("d", 0, 0, 100, 100);
    c->SetVisualState(0);
    MoveTo(900, 900);
    MoveTo(50, 50);
    EXPECT_EQ(Codes({26, 23}), Events("d")); // no hover events while disabled
    Click(50, 50);
    EXPECT_EQ(Codes({58, 59}), Events("d"));
    Send(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), MAKELPARAM(50, 50));
    Frame();
    EXPECT_EQ(Codes({22}), Events("d"));
}

TEST_F(GuiControlEvents, TransparentControlsLetClicksThrough)
{
    Make("under", 0, 0, 100, 100);
    CGuiControl* glass = Make("glass", 0, 0, 100, 100);
    glass->transparentForManipulator = 1;
    MoveTo(900, 900);
    MoveTo(50, 50);
    Click(50, 50);
    EXPECT_EQ(Codes(), Events("glass"));
    EXPECT_EQ(Codes({28, 26, 29, 23, 1, 2, 3, 4}), Events("under"));
}

TEST_F(GuiControlEvents, MovingOntoAPartOfACompoundControlDoesNotLeaveIt)
{
    CGuiControl* box = Make("box", 0, 0, 200, 100);
    box->compound = 1;
    CGuiControl* part = Make("part", 150, 0, 50, 100, box);
    part->internalPart = 1;
    MoveTo(50, 50);
    Forget();
    MoveTo(170, 50);
    EXPECT_EQ(Codes({29, 24}), Events("box")); // no 30
    EXPECT_EQ(Codes({26, 23}), Events("part")); // parts take no hover events
    MoveTo(500, 50);
    EXPECT_EQ(Codes({30}), Events("box"));
}

TEST_F(GuiControlEvents, HoverFadesInAndOutOverThreeTenths)
{
    CGuiControl* c = Make("h", 0, 0, 100, 100);
    EXPECT_EQ(1, c->fadingOut);
    EXPECT_FLOAT_EQ(0.3f, c->fadeTimer);
    MoveTo(900, 900, 0.0f);
    MoveTo(50, 50, 0.0f);
    EXPECT_EQ(0, c->fadingOut);
    EXPECT_FLOAT_EQ(0.0f, c->fadeTimer);
    Frame(0.15f);
    EXPECT_FLOAT_EQ(0.15f, c->fadeTimer);
    Frame(0.15f);
    EXPECT_FLOAT_EQ(0.3f, c->fadeTimer);
    Frame(0.15f);
    EXPECT_FLOAT_EQ(0.3f, c->fadeTimer);
    MoveTo(500, 500, 0.1f);
    EXPECT_EQ(1, c->fadingOut);
    EXPECT_FLOAT_EQ(0.1f, c->fadeTimer);
}

TEST_F(GuiControlEvents, TheHoverFrameFadesWithTheTimer)
{
    // A real hover frame with a background picture: hidden until the
    // pointer enters, then its alpha (and its background sprite's) follows
    // the 0.3 s fade in and, after the pointer leaves, out again.
    CGmImageSet picture;
    auto* glow = static_cast<CGuiBoundFrameSetSimple*>(
        CGuiBoundFrames::CreateSet(manager->frameSets, EBFT_SimpleRect, CGeString("glow")));
    glow->bgPic.schema = &picture;
    CGuiControl* c = Make("h", 200, 200, 100, 100);
    c->SetProperty(EP_BoundFrameSetHover, CGeValue("glow"), false);
    ASSERT_NE(nullptr, c->hoverFrame);
    ASSERT_NE(nullptr, c->hoverFrame->background);
    MoveTo(900, 900, 0.0f);
    EXPECT_EQ(0, c->hoverFrame->visible);
    struct Step {
        int x, y;
        float delta;
        uint8_t alpha, visible;
    } steps[] = {
        {250, 250, 0.0f, 0, 0},    // entered at 0 s
        {250, 250, 0.15f, 127, 1}, // half way
        {250, 250, 0.15f, 255, 1}, // 0.3 s: fully shown
        {250, 250, 0.15f, 255, 1}, // and held
        {500, 500, 0.1f, 171, 1},  // left: 255 - 84 (0.1f x 255 / 0.3f is just below 85)
        {500, 500, 0.2f, 0, 0},    // gone after 0.3 s
    };
    for (const Step& s : steps) {
        MoveTo(s.x, s.y, s.delta);
        SCOPED_TRACE(c->fadeTimer);
        EXPECT_EQ(s.alpha, c->hoverFrame->alpha);
        EXPECT_EQ(s.alpha, c->hoverFrame->background->alpha);
        EXPECT_EQ(s.visible, c->hoverFrame->visible);
    }
    manager.reset(); // the frames go before their picture
}

TEST_F(GuiControlEvents, ManualMoveHoldsTheCaptureUntilRelease)
{
    CGuiControl* m = Make("m", 100, 100, 50, 50);
    m->manuallyMovable = 1;
    Make("other", 400, 100, 100, 100);
    MoveTo(110, 110);
    Press(110, 110);
    EXPECT_EQ(m, set->capture);
    EXPECT_EQ(1, m->moving);
    Forget();
    MoveTo(450, 150);
    EXPECT_FLOAT_EQ(440.0f, m->X());
    EXPECT_FLOAT_EQ(140.0f, m->Y());
    EXPECT_EQ(Codes(), Events("other")); // the capture takes every message
    MoveTo(250, 150);
    Release(250, 150);
    Codes codes = Events("m");
    ASSERT_GE(codes.size(), 4u);
    EXPECT_EQ(Codes({2, 55, 3, 4}), Codes(codes.end() - 4, codes.end())); // a young control: double

    EXPECT_EQ(nullptr, set->capture);
}

TEST_F(GuiControlEvents, RemovingTheDraggedControlLeavesNoCapture)
{
    CGuiControl* m = Make("m", 100, 100, 50, 50);
    m->manuallyMovable = 1;
    MoveTo(110, 110);
    Press(110, 110);
    ASSERT_EQ(m, set->capture);
    set->RemoveControl("m");
    EXPECT_EQ(nullptr, set->capture);
    MoveTo(300, 300); // reaches nothing freed
    Release(300, 300);

    // Moving into another set, or dying, ends focus and capture the same way.
    CGuiControlSet* other = manager->CreateControlSet("other");
    CGuiControl* f = Make("f", 0, 0, 10, 10);
    f->focusEnabled = 1;
    set->SetFocus(f);
    set->capture = f;
    other->AddControl(f);
    EXPECT_EQ(nullptr, set->focused);
    EXPECT_EQ(nullptr, set->capture);
    EXPECT_EQ(f, other->FindControl("f"));
    other->SetFocus(f);
    delete f;
    EXPECT_EQ(nullptr, other->focused);
    EXPECT_EQ(nullptr, other->FindControl("f"));
}

TEST_F(GuiControlEvents, KeysReachTheFocusedControl)
{
    CGuiControl* k = Make("k", 0, 0, 10, 10);
    k->focusEnabled = 1;
    Type('A', 'a');
    EXPECT_EQ(Codes(), Events("k")); // no focus yet
    set->SetFocus(k);
    Frame();
    EXPECT_EQ(Codes({40}), Events("k"));
    Type('A', 'a');
    EXPECT_EQ(Codes({34, 33, 35, 36}), Events("k"));
    set->SetFocus(nullptr);
    Frame();
    EXPECT_EQ(Codes({41}), Events("k"));
}

TEST_F(GuiControlEvents, TabFollowsTheTabOrder)
{
    CGuiControl* p = Make("p", 0, 0, 500, 500);
    const int32_t orders[] = {5, 1, 3};
    const char* names[] = {"t5", "t1", "t3"};
    CGuiControl* c[3];
    for (int i = 0; i < 3; ++i) {
        c[i] = Make(names[i], 10.0f + 20.0f * i, 10, 10, 10, p);
        c[i]->focusEnabled = 1;
        c[i]->tabStop = 1;
        c[i]->tabOrder = orders[i];
    }
    set->SetFocus(c[2]);
    Type(9, 9);
    EXPECT_EQ(c[0], set->focused);
    Type(9, 9);
    EXPECT_EQ(c[1], set->focused);
    Send(WM_KEYDOWN, 16, 0);
    Type(9, 9);
    EXPECT_EQ(c[0], set->focused); // Shift+Tab from 1 wraps to 5
    Send(WM_KEYUP, 16, 0);
    Frame();
    Forget();
    Type(9, 9);
    EXPECT_EQ(c[1], set->focused);
    // The key's release goes to the control that has the focus by then.
    EXPECT_EQ(Codes({34, 41, 33}), Events("t5"));
    EXPECT_EQ(Codes({40, 35, 36}), Events("t1"));

    // All orders equal: list order, wrapping, skipping what cannot take it.
    for (CGuiControl* x : c)
        x->tabOrder = 0;
    CGuiControl* hidden = Make("hidden", 0, 0, 1, 1, p);
    CGuiControl* noStop = Make("nostop", 0, 0, 1, 1, p);
    CGuiControl* noFocus = Make("nofocus", 0, 0, 1, 1, p);
    hidden->focusEnabled = hidden->tabStop = 1;
    hidden->visible = 0;
    noStop->focusEnabled = 1;
    noFocus->tabStop = 1;
    set->SetFocus(c[1]);
    Type(9, 9);
    EXPECT_EQ(c[2], set->focused);
    Type(9, 9);
    EXPECT_EQ(c[0], set->focused);
    Type(9, 9);
    EXPECT_EQ(c[1], set->focused);
}

TEST_F(GuiControlEvents, SetLevelTabSkipsHiddenControls)
{
    CGuiControl* a = Make("a", 0, 0, 10, 10);
    CGuiControl* b = Make("b", 20, 0, 10, 10);
    CGuiControl* c = Make("c", 40, 0, 10, 10);
    for (CGuiControl* x : {a, b, c})
        x->focusEnabled = x->tabStop = 1;
    b->visible = 0;
    set->SetFocus(a);
    Type(9, 9);
    EXPECT_EQ(c, set->focused);
    Type(9, 9);
    EXPECT_EQ(a, set->focused);
}
