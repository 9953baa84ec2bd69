// The GUI manager's frame: devices polled, keyboard codes to the focused
// control, mouse codes to the current set (read again for each message),
// and its sets destroyed with it.
#include "GuiTestFixture.h"

namespace {

using GuiManager = GuiTest;

void SwitchToOther(void* manager, CGuiControl*, uint32_t code)
{
    auto* m = static_cast<CGuiManager*>(manager);
    if (code == GUI_EV_PRESS)
        m->currentSet = m->FindControlSet("other");
}

} // namespace

TEST_F(GuiManager, InactiveSetsAndMissingFocusTakeNoInput)
{
    CGuiControl* c = Make("c", 0, 0, 100, 100);
    c->focusEnabled = 1;
    set->SetFocus(c);
    MoveTo(900, 900);
    Forget();
    set->active = 0;
    MoveTo(50, 50);
    Type('A', 'a');
    EXPECT_EQ(Codes(), Events("c"));
    set->active = 1;
    set->SetFocus(nullptr);
    Frame();
    Forget();
    Type('A', 'a');
    EXPECT_EQ(Codes(), Events("c"));
    // The keyboard's messages still reach the other clients.
    Codes keyboardCodes;
    for (const GuiRecord& r : recorder->log)
        if (r.category == GE_KEYBOARD_CATEGORY)
            keyboardCodes.push_back(r.code);
    EXPECT_EQ(Codes({34, 33, 35}), keyboardCodes);

    manager->currentSet = nullptr; // no current set: the devices still update
    Send(WM_MOUSEMOVE, 0, MAKELPARAM(60, 60));
    Frame();
    EXPECT_FLOAT_EQ(60.0f, mouse->x);
    EXPECT_EQ(Codes(), Events("c"));
}

TEST_F(GuiManager, ASetMadeCurrentInTheMouseLoopGetsTheRestOfTheFrame)
{
    CGuiControl* a = Make("a", 0, 0, 100, 100);
    CGuiControlSet* other = manager->CreateControlSet("other");
    Make("b", 0, 0, 100, 100, nullptr, EGCT_CONTROL, other);
    a->AddListener(manager.get(), SwitchToOther);
    MoveTo(50, 50);
    Forget();
    Send(WM_LBUTTONDOWN, 0, MAKELPARAM(50, 50));
    Send(WM_LBUTTONUP, 0, MAKELPARAM(50, 50));
    Frame();
    EXPECT_EQ(other, manager->currentSet);
    EXPECT_EQ(Codes({1}), Events("a"));
    EXPECT_EQ(Codes({2}), Events("b")); // no click: the press was not on it
}

TEST_F(GuiManager, SetsLiveUntilTheManagerDies)
{
    EXPECT_EQ(set, manager->currentSet); // the first set became current
    EXPECT_EQ(nullptr, manager->CreateControlSet("main"));
    CGuiControlSet* removed = manager->CreateControlSet("removed");
    Make("r", 0, 0, 1, 1, nullptr, EGCT_CONTROL, removed);
    manager->RemoveControlSet(removed);
    EXPECT_EQ(nullptr, removed->owner);
    EXPECT_EQ(nullptr, manager->FindControlSet("removed"));
    manager->RemoveControlSet(set);
    EXPECT_EQ(nullptr, manager->currentSet);
    manager->currentSet = manager->CreateControlSet("main2");
    Make("m", 0, 0, 1, 1, nullptr, EGCT_CONTROL, manager->currentSet);
    EXPECT_FALSE(dispatcher.HoldsRow(manager.get()));
    manager.reset(); // destroys "main2" and its control
    EXPECT_NE(nullptr, removed->FindControl("r"));
    removed->Destroy();
    delete removed;
    delete set; // removed earlier too
    set = nullptr;
}

// A quick player (or a slow frame) moves onto a button and clicks it before
// the next frame: the move, the press and the release arrive together. The
// control is entered once and the click counts; the control it left sees the
// pointer leave once. A button pressed elsewhere and released over the
// control after a move in the same frame still makes no click.
TEST_F(GuiManager, AMoveAndAClickInOneFrameEnterOnceAndClick)
{
    Make("left", 0, 0, 100, 100);
    Make("right", 200, 0, 100, 100);
    MoveTo(50, 50, 1.0f); // long past any double click
    Forget();
    Send(WM_MOUSEMOVE, 0, MAKELPARAM(250, 50));
    Send(WM_LBUTTONDOWN, 0, MAKELPARAM(250, 50));
    Send(WM_LBUTTONUP, 0, MAKELPARAM(250, 50));
    Frame();
    EXPECT_EQ(Codes({28, 26, 29, 23, 1, 2, 3}), Events("right"));
    EXPECT_EQ(Codes({24, 30}), Events("left"));

    Press(50, 50);
    Forget();
    Send(WM_MOUSEMOVE, 0, MAKELPARAM(250, 50));
    Send(WM_LBUTTONUP, 0, MAKELPARAM(250, 50));
    Frame();
    EXPECT_EQ(Codes({28, 26, 29, 23, 2}), Events("right"));
}
