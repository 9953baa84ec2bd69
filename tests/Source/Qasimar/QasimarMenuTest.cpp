// The in-game menu on the demo pack through the game-play harness.
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiCustom.h"
#include "Source/Qasimar/QasimarMenu.h"
#include "tests/Source/Qasimar/GamePlayHarness.h"

#include <gtest/gtest.h>

namespace {

class MenuTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CGamePlayHarness::Options options;
        options.pack = QM_DEMO_PACK;
        ASSERT_TRUE(game.Start(options));
        menu = dynamic_cast<CQasimarMenu*>(g_menu);
        ASSERT_NE(nullptr, menu);
    }

    CGuiControl* Find(const char* set, const char* name)
    {
        CGuiControlSet* controls = g_guiManager->FindControlSet(CGeString(set));
        return controls ? controls->FindControl(CGeString(name)) : nullptr;
    }

    CGamePlayHarness game;
    CQasimarMenu* menu = nullptr;
};

} // namespace

TEST_F(MenuTest, Smoke)
{
    game.Step(30);
    menu->Open(0);
    game.Step(2);
    EXPECT_STREQ("main_menu", game.ControlSet()->name.c_str());
    for (const char* set : {"load_menu", "save_menu", "minigames_menu"})
        for (int i = 1; i <= (set[0] == 'm' ? 9 : 20); ++i) {
            char name[24];
            snprintf(name, sizeof(name), "custom%02d", i);
            CGuiControl* slot = Find(set, name);
            ASSERT_NE(nullptr, slot) << set << name;
        }
    EXPECT_NE(nullptr, menu->props[0]);
}
