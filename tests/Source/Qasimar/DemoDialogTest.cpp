// The demo's conversation with the keeper through the game-play harness,
// headless: started as his click will start it, the keeper's line timing
// out, a reply clicked and its sentence clicked away, the topics menu with
// the kettle dimmed, a topic chosen, the menu left through "Leave" and the
// keeper's goodbye ending the dialog; the demo's variables show the events.
// By pixels at 640 x 512 and at the reference size 1280 x 1024: the keeper's
// line in his colour, the hero's white replies stacked, a thought whose
// frames differ as it wavers, the kettle dimmed in the topics menu, and the
// speaking hero's portrait aimed at his skeleton's head joint.
#include "Engine/Gui/GuiControl.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiListBox.h"
#include "Engine/Gui/GuiPropertyIds.h"
#include "Engine/Gui/GuiTextControl.h"
#include "Source/GameClasses/QmDialogSystem.h"
#include "Source/GameClasses/QmGameVars.h"
#include "Source/GameClasses/QmPropActor.h"
#include "Source/GameClasses/QmQuests.h"
#include "Source/GameClasses/QmScriptProcessor.h"
#include "tests/Source/Qasimar/GamePlayHarness.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class DemoDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        CGamePlayHarness::Options options;
        options.pack = QM_DEMO_PACK;
        // The puzzle of the three tiles counts as solved: it stays shut.
        options.onNewGame = "QuestPass('three_tiles', 'voyage')";
        ASSERT_TRUE(game.Start(options));
        game.StepSeconds(1.0);
        ASSERT_NE(nullptr, game.Location());
        ASSERT_NE(nullptr, g_dialogSystem);
    }

    void Run(const char* text)
    {
        CGeString error;
        EXPECT_TRUE(ScriptRunString(text, error)) << error.c_str();
    }

    // A click in the middle of the control's left part, as the player makes it.
    void ClickOn(CGuiControl* control, float dx = 20.0f, float dy = 10.0f)
    {
        ASSERT_NE(nullptr, control);
        const Vec2 origin = control->ScreenOrigin();
        game.MoveMouse(origin.x + dx, origin.y + dy);
        game.Step();
        game.Click(origin.x + dx, origin.y + dy);
        // Press, release (the control's click), then its delivery.
        game.Step(4);
    }

    std::u16string Replica(uint32_t i) { return g_dialogSystem->Replica(i)->text.c_str(); }
    bool Var(const char* name) { return CQmGameVars::Get(name) != nullptr; }

    CGamePlayHarness game;
};

} // namespace

TEST_F(DemoDialog, TheKeeperGreetsAnswersATopicAndSaysGoodbye)
{
    CQmDialogSystem& dialog = *g_dialogSystem;
    // global_init made the harbour available and kept the kettle back.
    EXPECT_EQ(2, dialog.GetTopicState("harbour"));
    EXPECT_EQ(1, dialog.GetTopicState("kettle"));
    // The panel's parts load hidden: only a dialog shows them.
    for (const char* name : {"dlg", "self_monitor", "topics", "replica00", "replica09"}) {
        ASSERT_NE(nullptr, dialog.Control(name)) << name;
        EXPECT_FALSE(dialog.Control(name)->visible) << name;
    }

    Run("KeeperGreets()");
    ASSERT_TRUE(dialog.IsActive());
    EXPECT_STREQ("dialog_system", game.ControlSet()->name.c_str());
    EXPECT_EQ(u"&0xFFFAD070Ahoy, traveller! Mind the crates.", Replica(0));
    EXPECT_EQ(170.0f, dialog.Replica(0)->X());

    // His line times out (32 characters: 3.2 s); the hero's two replies.
    game.StepSeconds(3.5);
    ASSERT_EQ(2u, dialog.replicaCues.Count());
    EXPECT_EQ(u"Who are you?", Replica(0));
    EXPECT_EQ(u"Just passing through.", Replica(1));
    ClickOn(dialog.Replica(0));
    EXPECT_EQ(u"&0xFFD1DCFDWho are you?", Replica(0));
    // The sentence clicked away: the keeper answers.
    ClickOn(dialog.Replica(0));
    EXPECT_EQ(u"&0xFFFAD070I keep this yard - and the copper kettle.", Replica(0));
    game.StepSeconds(4.5);

    // The topics menu, the kettle dimmed.
    ASSERT_TRUE(dialog.topicsMode);
    CGuiListBox* list = dialog.TopicsList();
    ASSERT_NE(nullptr, list);
    EXPECT_TRUE(list->visible);
    CGeWString items;
    list->GetProperty(EP_Items, items);
    EXPECT_EQ(u"The harbour\n&0x70ffffffThe copper kettle&c", std::u16string(items.c_str()));
    ClickOn(list, 20.0f, 0.5f * list->LineHeight());
    EXPECT_STREQ("keeper_harbour", dialog.currentConversation->name.c_str());
    game.StepSeconds(4.5);
    list->GetProperty(EP_Items, items);
    EXPECT_EQ(u"&0x70ffffffThe copper kettle&c", std::u16string(items.c_str()));

    // Leaving the menu: the keeper's goodbye, then the dialog ends.
    ClickOn(dialog.Control("exit"));
    EXPECT_STREQ("keeper_bye", dialog.currentConversation->name.c_str());
    game.StepSeconds(2.0);
    EXPECT_FALSE(dialog.IsActive());
    EXPECT_STREQ("mainCtrlSet", game.ControlSet()->name.c_str());
    ASSERT_NE(nullptr, CQmQuests::Find("met_keeper", "loc01"));

    for (const char* name : {"said_keeper_greeting_hello", "heard_keeper_greeting_hello", "said_keeper_greeting_choice",
                             "heard_keeper_greeting_who", "said_keeper_harbour_answer", "heard_keeper_bye_bye",
                             "dialog_end_keeper_bye"})
        EXPECT_TRUE(Var(name)) << name;
}

// The dialog on screen ----------------------------------------------------------------

namespace {

struct Screen {
    uint32_t width;
    uint32_t height;
};

class DemoDialogPixels : public DemoDialog, public ::testing::WithParamInterface<Screen> {
protected:
    void SetUp() override
    {
        width = GetParam().width;
        height = GetParam().height;
        CGamePlayHarness::Options options;
        options.pack = QM_DEMO_PACK;
        options.width = width;
        options.height = height;
        options.frameMilliseconds = 80;
        options.onNewGame = "QuestPass('three_tiles', 'voyage')";
        ASSERT_TRUE(game.Start(options));
        // Past the start's two-second fade-in: every frame compared is at
        // full brightness.
        game.StepSeconds(3.0);
        ASSERT_NE(nullptr, g_dialogSystem);
    }

    uint32_t X(float reference) const { return uint32_t(reference * float(width) / 1280.0f); }
    uint32_t Y(float reference) const { return uint32_t(reference * float(height) / 1024.0f); }
    uint32_t At(const std::vector<uint32_t>& frame, uint32_t x, uint32_t y) const
    {
        return frame[size_t(y) * width + x];
    }

    // Pixels of the frame within a reference rectangle whose colour lies near rgb.
    uint32_t CountNear(const std::vector<uint32_t>& frame, float x0, float y0, float x1, float y1, uint32_t rgb,
                       int tolerance = 24) const
    {
        uint32_t n = 0;
        for (uint32_t y = Y(y0); y < Y(y1); ++y)
            for (uint32_t x = X(x0); x < X(x1); ++x)
                n += PixelNear(At(frame, x, y), rgb, tolerance) ? 1 : 0;
        return n;
    }

    // Pixels within a reference rectangle that differ from the same pixel of
    // before by more than 40 in some channel.
    uint32_t CountChanged(const std::vector<uint32_t>& frame, const std::vector<uint32_t>& before, float x0, float y0,
                          float x1, float y1) const
    {
        uint32_t n = 0;
        for (uint32_t y = Y(y0); y < Y(y1); ++y)
            for (uint32_t x = X(x0); x < X(x1); ++x)
                n += PixelNear(At(frame, x, y), At(before, x, y) & 0xFFFFFF, 40) ? 0 : 1;
        return n;
    }

    uint32_t width = 0;
    uint32_t height = 0;
};

} // namespace

TEST_P(DemoDialogPixels, LinesInTheirColoursAndAThoughtThatWavers)
{
    CQmDialogSystem& dialog = *g_dialogSystem;
    const std::vector<uint32_t> before = game.CaptureFrame();
    Run("KeeperGreets()");
    game.Step();
    std::vector<uint32_t> frame = game.CaptureFrame();
    // The keeper's line in his warm colour in the panel: changed pixels with
    // far more red than blue.
    uint32_t warm = 0;
    for (uint32_t y = Y(814); y < Y(1014); ++y)
        for (uint32_t x = X(170); x < X(1170); ++x) {
            const uint32_t p = At(frame, x, y);
            const int r = int(p >> 16 & 0xFF), b = int(p & 0xFF);
            warm += p != At(before, x, y) && r > 150 && r - b > 80 ? 1 : 0;
        }
    EXPECT_GT(warm, 20u);
    EXPECT_EQ(0u, CountNear(frame, 170, 814, 1170, 1014, 0xD1DCFD, 8));

    // The hero's replies are white, stacked: the second lies below the first.
    game.StepSeconds(3.5);
    frame = game.CaptureFrame();
    const float y0 = dialog.Replica(0)->ScreenOrigin().y, y1 = dialog.Replica(1)->ScreenOrigin().y;
    EXPECT_LT(y0, y1);
    EXPECT_GT(CountNear(frame, 170, y0, 1170, y0 + 26, 0xFFFFFF), 10u);
    EXPECT_GT(CountNear(frame, 170, y1, 1170, y1 + 26, 0xFFFFFF), 10u);
    EXPECT_EQ(0u, CountNear(frame, 170, 814, 1170, 1014, 0xFAD070, 8));

    // "Just passing through." spoken and clicked away: the thought wavers, so
    // two of its frames differ where its text stands.
    ClickOn(dialog.Replica(1));
    ClickOn(dialog.Replica(1));
    ASSERT_STREQ("thought", dialog.currentNode->name.c_str());
    const std::vector<uint32_t> first = game.CaptureFrame();
    game.Step(5);
    const std::vector<uint32_t> second = game.CaptureFrame();
    const float ty = dialog.Replica(0)->ScreenOrigin().y;
    uint32_t differing = 0;
    for (uint32_t y = Y(ty - 4); y < Y(ty + 30); ++y)
        for (uint32_t x = X(170); x < X(1170); ++x)
            differing += At(first, x, y) != At(second, x, y) ? 1 : 0;
    EXPECT_GT(differing, 10u);
    EXPECT_GT(CountNear(first, 170, ty - 4, 1170, ty + 30, 0xB0B0B0, 16), 10u);
}

// The topics menu: the harbour in full white, the kettle dimmed (white at
// alpha 0x70 over the yard: lighter than the yard, never white).
TEST_P(DemoDialogPixels, TheKettleIsDimmedInTheTopicsMenu)
{
    CQmDialogSystem& dialog = *g_dialogSystem;
    const std::vector<uint32_t> before = game.CaptureFrame();
    Run("InitiateDialog('keeper_greeting', '$topics$', 'keeper')");
    game.Step(2);
    ASSERT_TRUE(dialog.topicsMode);
    CGuiListBox* list = dialog.TopicsList();
    ASSERT_NE(nullptr, list);
    const std::vector<uint32_t> frame = game.CaptureFrame();
    const Vec2 origin = list->ScreenOrigin();
    const float line = list->LineHeight();
    auto row = [&](uint32_t i, uint32_t& white, uint32_t& lighter) {
        white = lighter = 0;
        for (uint32_t y = Y(origin.y + line * float(i)); y < Y(origin.y + line * float(i + 1)); ++y)
            for (uint32_t x = X(origin.x); x < X(origin.x + list->width); ++x) {
                const uint32_t p = At(frame, x, y), q = At(before, x, y);
                bool brighter = true;
                for (int shift = 0; shift < 24; shift += 8)
                    brighter = brighter && int(p >> shift & 0xFF) >= int(q >> shift & 0xFF) + 40;
                white += PixelNear(p, 0xFFFFFF, 12) ? 1 : 0;
                lighter += brighter && !PixelNear(p, 0xFFFFFF, 12) ? 1 : 0;
            }
    };
    uint32_t harbourWhite = 0, harbourLighter = 0, kettleWhite = 0, kettleLighter = 0;
    row(0, harbourWhite, harbourLighter);
    row(1, kettleWhite, kettleLighter);
    EXPECT_GT(harbourWhite, 20u);
    EXPECT_EQ(0u, kettleWhite);
    EXPECT_GT(kettleLighter, 20u);
}

// The hero speaking: his portrait in the panel's monitor, seen from before
// his head joint (the figure's joint 2, where the default joint 7 is his left
// arm): the head, narrower than the view, in the middle of the upper part;
// the broad chest reaching both sides below it. The portrait clears only the
// depth, so the figure is what differs from the yard drawn there before.
TEST_P(DemoDialogPixels, TheSpeakersPortraitLooksAtHisHeadJoint)
{
    CQmDialogSystem& dialog = *g_dialogSystem;
    CQmEntity* heroEntity = game.Entity("hero");
    ASSERT_NE(nullptr, heroEntity);
    if (g_gameProcessor->heroName.IsEmpty() && !g_gameProcessor->hero)
        g_gameProcessor->heroName = "hero";
    auto* actor = heroEntity->Prop<CQmPropActor>(QM_PROP_ACTOR);
    ASSERT_NE(nullptr, actor);
    actor->headJoint = 2;
    const std::vector<uint32_t> before = game.CaptureFrame();

    Run("KeeperGreets()");
    game.StepSeconds(3.5);
    ClickOn(dialog.Replica(0)); // "Who are you?", the hero's line
    ASSERT_STREQ("choice", dialog.currentNode->name.c_str());
    ASSERT_TRUE(dialog.Control("self_monitor")->visible);
    const std::vector<uint32_t> frame = game.CaptureFrame();

    // The portrait's rectangle: the monitor's place plus (16, 18), 126 x 124.
    const Vec2 monitor = dialog.Control("self_monitor")->ScreenOrigin();
    const float left = monitor.x + 16.0f, top = monitor.y + 18.0f;
    auto band = [&](float y0, float y1, float x0, float x1) {
        return CountChanged(frame, before, left + x0 * 126.0f, top + y0 * 124.0f, left + x1 * 126.0f,
                            top + y1 * 124.0f);
    };
    const uint32_t headMiddle = band(0.15f, 0.35f, 0.4f, 0.6f);
    const uint32_t headSides = band(0.15f, 0.35f, 0.0f, 0.12f) + band(0.15f, 0.35f, 0.88f, 1.0f);
    const uint32_t chestSides = band(0.7f, 0.85f, 0.0f, 0.12f) + band(0.7f, 0.85f, 0.88f, 1.0f);
    const uint32_t outside = band(-0.1f, -0.02f, 0.0f, 1.0f) + band(1.02f, 1.1f, 0.0f, 1.0f);
    EXPECT_GT(headMiddle, 10u) << "the head at the middle";
    // In his own blue, lit by the portrait's light: the hero, not the keeper
    // in green.
    uint32_t blue = 0;
    for (uint32_t y = Y(top + 0.15f * 124.0f); y < Y(top + 0.35f * 124.0f); ++y)
        for (uint32_t x = X(left + 0.4f * 126.0f); x < X(left + 0.6f * 126.0f); ++x) {
            const uint32_t p = At(frame, x, y);
            blue += int(p & 0xFF) > int(p >> 8 & 0xFF) + 20 && int(p & 0xFF) > int(p >> 16 & 0xFF) + 60 ? 1 : 0;
        }
    EXPECT_GT(blue, headMiddle / 2) << "the head in the hero's blue";
    EXPECT_EQ(0u, headSides) << "nothing of him beside the head";
    EXPECT_GT(chestSides, 4u) << "the chest fills the view below";
    EXPECT_EQ(0u, outside) << "nothing drawn above or below the portrait's viewport";
}

INSTANTIATE_TEST_SUITE_P(Sizes, DemoDialogPixels, ::testing::Values(Screen{640, 512}, Screen{1280, 1024}),
                         [](const ::testing::TestParamInfo<Screen>& info) {
                             return std::to_string(info.param.width) + "x" + std::to_string(info.param.height);
                         });
