// The demo's conversation with the keeper through the game-play harness,
// headless: started as his click will start it, the keeper's line timing
// out, a reply clicked and its sentence clicked away, the topics menu with
// the kettle dimmed, a topic chosen, the menu left through "Leave" and the
// keeper's goodbye ending the dialog; the demo's variables show the events.
// By pixels at 640 x 512: the keeper's line in his colour, the hero's white
// replies stacked, and a thought whose frames differ as it wavers.
#include "Engine/Gui/GuiControl.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiListBox.h"
#include "Engine/Gui/GuiPropertyIds.h"
#include "Engine/Gui/GuiTextControl.h"
#include "Source/GameClasses/QmDialogSystem.h"
#include "Source/GameClasses/QmGameVars.h"
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

constexpr uint32_t kPixelWidth = 640, kPixelHeight = 512;

// Pixels of the frame within a reference rectangle whose colour lies near rgb.
uint32_t CountNear(const std::vector<uint32_t>& frame, float x0, float y0, float x1, float y1, uint32_t rgb,
                   int tolerance = 24)
{
    uint32_t n = 0;
    for (uint32_t y = uint32_t(y0 * kPixelHeight / 1024.0f); y < uint32_t(y1 * kPixelHeight / 1024.0f); ++y)
        for (uint32_t x = uint32_t(x0 * kPixelWidth / 1280.0f); x < uint32_t(x1 * kPixelWidth / 1280.0f); ++x)
            if (PixelNear(frame[size_t(y) * kPixelWidth + x], rgb, tolerance))
                ++n;
    return n;
}

class DemoDialogPixels : public DemoDialog {
protected:
    void SetUp() override
    {
        CGamePlayHarness::Options options;
        options.pack = QM_DEMO_PACK;
        options.width = kPixelWidth;
        options.height = kPixelHeight;
        options.frameMilliseconds = 80;
        options.onNewGame = "QuestPass('three_tiles', 'voyage')";
        ASSERT_TRUE(game.Start(options));
        game.StepSeconds(1.0);
        ASSERT_NE(nullptr, g_dialogSystem);
    }
};

} // namespace

TEST_F(DemoDialogPixels, LinesInTheirColoursAndAThoughtThatWavers)
{
    CQmDialogSystem& dialog = *g_dialogSystem;
    const std::vector<uint32_t> before = game.CaptureFrame();
    Run("KeeperGreets()");
    game.Step();
    std::vector<uint32_t> frame = game.CaptureFrame();
    // The keeper's line in his warm colour in the panel: changed pixels with
    // far more red than blue.
    uint32_t warm = 0;
    for (uint32_t y = 814 * kPixelHeight / 1024; y < 1014 * kPixelHeight / 1024; ++y)
        for (uint32_t x = 170 * kPixelWidth / 1280; x < 1170 * kPixelWidth / 1280; ++x) {
            const uint32_t p = frame[size_t(y) * kPixelWidth + x];
            const int r = int(p >> 16 & 0xFF), b = int(p & 0xFF);
            warm += p != before[size_t(y) * kPixelWidth + x] && r > 150 && r - b > 80 ? 1 : 0;
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
    for (uint32_t y = uint32_t((ty - 4) * kPixelHeight / 1024.0f); y < uint32_t((ty + 30) * kPixelHeight / 1024.0f); ++y)
        for (uint32_t x = 170 * kPixelWidth / 1280; x < 1170 * kPixelWidth / 1280; ++x)
            differing += first[size_t(y) * kPixelWidth + x] != second[size_t(y) * kPixelWidth + x] ? 1 : 0;
    EXPECT_GT(differing, 10u);
    EXPECT_GT(CountNear(first, 170, ty - 4, 1170, ty + 30, 0xB0B0B0, 16), 10u);
}
