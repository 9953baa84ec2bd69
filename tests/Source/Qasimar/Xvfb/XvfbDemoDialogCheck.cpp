// The demo's conversation with the keeper played in a real window on Xvfb
// (1024 x 768, run by xvfb-run with SDL's x11 driver): the game runs
// in-process through the game-play harness, and the pointer is moved and
// clicked through the X server's XTEST calls, so every click goes through
// SDL, the window layer, the mouse, the GUI and the dispatcher, and what the
// checks read is what the X server shows in the window.
//
// A click on the keeper walks the hero up to him and starts the greeting; his
// line shows in his warm colour in the panel and times out; the hero's first
// reply is clicked and its sentence clicked away; the topics menu shows the
// harbour in white and the kettle dimmed; the harbour is chosen; "Leave"
// brings the keeper's goodbye and the end. The demo's variables hold every
// event, and the main control set is current again.
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Gui/GuiControl.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiListBox.h"
#include "Engine/Gui/GuiPropertyIds.h"
#include "Engine/Gui/GuiTextControl.h"
#include "Source/GameClasses/QmDialogSystem.h"
#include "Source/GameClasses/QmGameVars.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmQuests.h"
#include "tests/Source/Qasimar/GamePlayHarness.h"
#include "tests/Source/Qasimar/Xvfb/XvfbDemoWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

constexpr uint32_t kWidth = 1024, kHeight = 768;

class XvfbDemoDialog : public XvfbDemoWindow {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(StartInWindow(kWidth, kHeight));
        // Past the start's fade-in, the pointer away from the top edge.
        game.StepSeconds(3.0);
        ASSERT_NO_FATAL_FAILURE(FindWindowOrigin());
        PointAtPixel(kWidth / 2, kHeight * 3 / 5);
        ASSERT_NE(nullptr, game.Location());
        ASSERT_NE(nullptr, g_dialogSystem);
    }

    void ClickOn(const CGuiControl* control, float dx, float dy)
    {
        ASSERT_NE(nullptr, control);
        const Vec2 origin = control->ScreenOrigin();
        ClickAtPixel(PixelX(origin.x + dx), PixelY(origin.y + dy));
    }

    // Steps (at most seconds of game time) until done says so.
    template <class Done>
    bool StepUntil(double seconds, Done done)
    {
        for (int frame = 0; frame < int(seconds / 0.04); ++frame) {
            if (done())
                return true;
            game.Step();
        }
        return done();
    }

    std::u16string Replica(uint32_t i) { return g_dialogSystem->Replica(i)->text.c_str(); }
};

// A pixel in the keeper's warm colour (0xFAD070): the sand under the panel
// is warm too, but darker.
bool Warm(uint32_t p)
{
    return PixelNear(p, 0xFAD070, 24);
}

} // namespace

TEST_F(XvfbDemoDialog, AClickOnTheKeeperPlaysTheirConversationToItsEnd)
{
    CQmDialogSystem& dialog = *g_dialogSystem;
    ASSERT_EQ(2, dialog.GetTopicState("harbour"));
    ASSERT_EQ(1, dialog.GetTopicState("kettle"));
    const std::vector<uint32_t> panelBefore = Shown(170, 814, 1170, 1014);
    const uint32_t warmBefore = uint32_t(std::count_if(panelBefore.begin(), panelBefore.end(), Warm));

    // A click on the keeper's chest: the hero walks up to him, then they talk.
    CGmCamera* camera = game.Location()->ActiveCamera();
    ASSERT_NE(nullptr, camera);
    const Vec4 keeper = camera->ProjectPoint(Vec3{250.0f, 120.0f, 100.0f});
    ClickAtPixel(int(keeper.x), int(keeper.y));
    EXPECT_FALSE(dialog.IsActive()) << "he walks up first";
    ASSERT_TRUE(StepUntil(25.0, [&] { return dialog.IsActive(); })) << "the click on the keeper started no talk";
    EXPECT_STREQ("dialog_system", game.ControlSet()->name.c_str());
    EXPECT_EQ(u"&0xFFFAD070Ahoy, traveller! Mind the crates.", Replica(0));
    game.Step(2);
    const std::vector<uint32_t> panel = Shown(170, 814, 1170, 1014);
    EXPECT_GT(uint32_t(std::count_if(panel.begin(), panel.end(), Warm)), warmBefore + 20u)
        << "the keeper's line in his colour in the panel";

    // His line times out: the hero's two replies. The first is clicked, and
    // its sentence clicked away: the keeper answers.
    ASSERT_TRUE(StepUntil(5.0, [&] { return dialog.replicaCues.Count() == 2; })) << "the keeper's line never ended";
    EXPECT_EQ(u"Who are you?", Replica(0));
    EXPECT_EQ(u"Just passing through.", Replica(1));
    ClickOn(dialog.Replica(0), 20.0f, 10.0f);
    EXPECT_STREQ("choice", dialog.currentNode->name.c_str());
    EXPECT_EQ(u"&0xFFD1DCFDWho are you?", Replica(0));
    ClickOn(dialog.Replica(0), 20.0f, 10.0f);
    EXPECT_STREQ("who", dialog.currentNode->name.c_str());
    EXPECT_EQ(u"&0xFFFAD070I keep this yard - and the copper kettle.", Replica(0));

    // The yard where the menu's rows will stand, while he speaks; then the
    // menu: the harbour in white, the kettle dimmed (white at alpha 0x70 over
    // the yard: lighter than the yard there, never white).
    CGuiListBox* list = dialog.TopicsList();
    ASSERT_NE(nullptr, list);
    ASSERT_FALSE(list->visible);
    const Vec2 at = list->ScreenOrigin();
    const float line = list->LineHeight();
    const std::vector<uint32_t> kettleBefore = Shown(at.x, at.y + line, at.x + list->width, at.y + 2 * line);
    ASSERT_TRUE(StepUntil(6.0, [&] { return dialog.topicsMode && list->visible; }))
        << "no topics menu after the keeper's answer";
    game.Step(2);
    const std::vector<uint32_t> harbour = Shown(at.x, at.y, at.x + list->width, at.y + line);
    EXPECT_GT(std::count_if(harbour.begin(), harbour.end(), [](uint32_t p) { return bool(PixelNear(p, 0xFFFFFF, 12)); }),
              20)
        << "the harbour in white";
    const std::vector<uint32_t> kettle = Shown(at.x, at.y + line, at.x + list->width, at.y + 2 * line);
    ASSERT_EQ(kettleBefore.size(), kettle.size());
    uint32_t white = 0, lighter = 0;
    for (size_t i = 0; i < kettle.size(); ++i) {
        bool brighter = true;
        for (int shift = 0; shift < 24; shift += 8)
            brighter = brighter && int(kettle[i] >> shift & 0xFF) >= int(kettleBefore[i] >> shift & 0xFF) + 40;
        white += PixelNear(kettle[i], 0xFFFFFF, 12) ? 1 : 0;
        lighter += brighter ? 1 : 0;
    }
    EXPECT_EQ(0u, white) << "the kettle is never white";
    EXPECT_GT(lighter, 20u) << "the kettle's dimmed letters";

    // The harbour chosen: its conversation, then back to the menu without it.
    ClickOn(list, 20.0f, 0.5f * line);
    EXPECT_STREQ("keeper_harbour", dialog.currentConversation->name.c_str());
    EXPECT_FALSE(list->visible) << "the menu gives way to the harbour's talk";
    ASSERT_TRUE(StepUntil(6.0, [&] { return list->visible; })) << "the harbour's talk did not return to the menu";
    CGeWString items;
    list->GetProperty(EP_Items, items);
    EXPECT_EQ(u"&0x70ffffffThe copper kettle&c", std::u16string(items.c_str()));

    // "Leave": the keeper's goodbye, then the end.
    ClickOn(dialog.Control("exit"), 20.0f, 10.0f);
    EXPECT_STREQ("keeper_bye", dialog.currentConversation->name.c_str());
    ASSERT_TRUE(StepUntil(4.0, [&] { return !dialog.IsActive(); })) << "the goodbye did not end the dialog";
    EXPECT_STREQ("mainCtrlSet", game.ControlSet()->name.c_str());
    EXPECT_NE(nullptr, CQmQuests::Find("met_keeper", "loc01"));
    for (const char* name : {"said_keeper_greeting_hello", "heard_keeper_greeting_hello", "said_keeper_greeting_choice",
                             "heard_keeper_greeting_who", "said_keeper_harbour_answer", "heard_keeper_bye_bye",
                             "dialog_end_keeper_bye"})
        EXPECT_NE(nullptr, CQmGameVars::Get(name)) << name;
    game.Step(2);
    const std::vector<uint32_t> after = Shown(170, 814, 1170, 1014);
    EXPECT_LE(uint32_t(std::count_if(after.begin(), after.end(), Warm)), warmBefore + 5u) << "the panel is gone";
}
