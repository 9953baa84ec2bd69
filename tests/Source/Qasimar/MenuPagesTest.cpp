// The in-game menu on the packed demo through the game-play harness: opening
// over the game and closing (the music, the script event, the paused sound
// group, the control set), the main page's buttons as a table of clicks with
// and without a game, pointer inside or outside, masked or not; the props and
// spoken titles, the credits, Escape and the quit questions; the slot strip;
// saving and loading through the slot pages; the settings page on display
// modes the test lists; the mini-games page on a game list of the test's own;
// and the two script functions that reach the menu.
#include "Engine/Core/Common/GeDeviceConfig.h"
#include "Engine/Core/Common/GeFormat.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Core/Sound/SmSoundManager.h"
#include "Engine/Gui/GeKeyboard.h"
#include "Engine/Gui/GeMouse.h"
#include "Engine/Gui/GuiComboBox.h"
#include "Engine/Gui/GuiCustom.h"
#include "Engine/Gui/GuiListBox.h"
#include "Engine/Gui/GuiScrollBar.h"
#include "Engine/Gui/GuiSwitch.h"
#include "Engine/Gui/GuiTextControl.h"
#include "Source/GameClasses/QmBgSoundManager.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmGameConfig.h"
#include "Source/GameClasses/QmGameVars.h"
#include "Source/GameClasses/QmInputCodes.h"
#include "Source/GameClasses/QmPropMotionController.h"
#include "Source/GameClasses/QmUserFolder.h"
#include "Source/Qasimar/QasimarMenu.h"
#include "tests/Source/Qasimar/GamePlayHarness.h"
#include "tests/Support/SolidTga.h"
#include "tests/Support/TestTempDir.h"
#include "tools/fpk/FpkWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

class MenuPages : public ::testing::Test {
protected:
    void TearDown() override
    {
        game.Stop();
        D3d9SetTestDisplayModes(nullptr, 0);
    }

    // The demo without a game (as the logos leave it), or with a new game
    // started from the menu; the tile puzzle counts as solved.
    void Start(bool newGame, std::vector<std::string> extraPacks = {})
    {
        CGamePlayHarness::Options options;
        options.pack = QM_DEMO_PACK;
        options.extraPacks = std::move(extraPacks);
        options.newGame = newGame;
        options.onNewGame = "QuestPass('three_tiles', 'voyage')";
        ASSERT_TRUE(game.Start(options));
        menu = dynamic_cast<CQasimarMenu*>(g_menu);
        ASSERT_NE(nullptr, menu);
        // The arrival locks the input (and so the menu) for a second.
        if (newGame)
            game.StepSeconds(1.2);
    }

    CGuiControl* Find(const char* set, const char* name)
    {
        CGuiControl* control = CGamePlayHarness::MenuControl(set, name);
        EXPECT_NE(nullptr, control) << set << "/" << name;
        return control;
    }

    // A control's event as the dispatcher hands it to the menu, the pointer
    // resting on the control's middle or far from it.
    void Send(const char* set, const char* name, uint32_t code, bool inside = true)
    {
        CGuiControl* control = Find(set, name);
        if (!control)
            return;
        const Vec2 origin = control->ScreenOrigin();
        g_mouse->x = inside ? origin.x + control->width * 0.5f : origin.x + control->width + 50.0f;
        g_mouse->y = inside ? origin.y + control->height * 0.5f : origin.y - 50.0f;
        menu->HandleMessage(control, code);
    }
    void Escape()
    {
        g_keyboard->lastPressedKey = QM_VK_ESCAPE;
        menu->HandleMessage(g_keyboard, QM_MSG_KEY_DOWN);
    }
    // A click by the pointer, through the window and the GUI.
    void ClickThroughTheWindow(const char* set, const char* name)
    {
        if (CGuiControl* control = Find(set, name)) {
            game.ClickControl(*control);
            game.Step(3);
        }
    }

    bool Visible(const char* set, const char* name)
    {
        CGuiControl* control = Find(set, name);
        return control && control->visible;
    }
    std::string Current() const { return game.ControlSet() ? game.ControlSet()->name.c_str() : ""; }
    std::u16string Text(const char* set, const char* name)
    {
        auto* control = dynamic_cast<CGuiTextControl*>(Find(set, name));
        return control ? std::u16string(control->text.c_str()) : u"<none>";
    }
    // Instances of a sound that play or wait paused.
    static uint32_t Playing(const char* path)
    {
        CSmSoundEntry* entry = CSmSoundManager::FindSound(g_soundManager, CGeString(path));
        uint32_t count = 0;
        if (entry)
            for (CSmSound* sound : entry->played)
                count += sound ? 1 : 0;
        return count;
    }
    static bool AnyGameSoundPaused()
    {
        for (uint32_t e = 0; e < g_soundManager->count; ++e)
            for (CSmSound* sound : g_soundManager->entries[e]->played)
                if (sound && sound->paused)
                    return true;
        return false;
    }
    static std::string MainMusic(uint32_t* position = nullptr, float* volume = nullptr)
    {
        CGeString name;
        uint32_t at = 0;
        float factor = 0.0f;
        if (!g_bgSoundManager->GetMainState(name, at, factor))
            return "";
        if (position)
            *position = at;
        if (volume)
            *volume = factor;
        return name.c_str();
    }

    CGamePlayHarness game;
    CQasimarMenu* menu = nullptr;
};

} // namespace

TEST_F(MenuPages, OpeningOverTheGameAndClosingAgain)
{
    Start(true);
    uint32_t gamePosition = 0;
    float gameVolume = 0.0f;
    const std::string theme = MainMusic(&gamePosition, &gameVolume);
    ASSERT_FALSE(theme.empty());
    ASSERT_FALSE(AnyGameSoundPaused());
    CGuiControlSet* gameSet = game.ControlSet();

    g_gameProcessor->OpenMenu(0);
    EXPECT_EQ("main_menu", Current());
    EXPECT_EQ(gameSet, menu->previousSet);
    EXPECT_EQ(1, CQmGameVars::GetValue("menu_opened"));
    float volume = 0.0f;
    EXPECT_EQ("sounds/music/bagdad.wav", MainMusic(nullptr, &volume));
    EXPECT_FLOAT_EQ(0.425f, volume);
    EXPECT_EQ(theme, menu->savedMusicName.c_str());
    EXPECT_GE(menu->savedMusicPosition, gamePosition);
    EXPECT_FLOAT_EQ(gameVolume, menu->savedMusicVolume);
    EXPECT_TRUE(AnyGameSoundPaused()) << "the crate's chime waits";
    // Pages switch while the menu stays open; the event fired once.
    menu->Open(QM_MENU_LOAD);
    EXPECT_EQ("load_menu", Current());
    menu->Open(QM_MENU_MAIN);
    EXPECT_EQ(1, CQmGameVars::GetValue("menu_opened"));

    Send("main_menu", "but_continue", GUI_EV_CLICK);
    EXPECT_FALSE(menu->IsPageOpen());
    EXPECT_EQ(0, g_gameProcessor->menuOpen);
    EXPECT_EQ(gameSet, game.ControlSet());
    EXPECT_EQ(nullptr, menu->previousSet);
    uint32_t position = 0;
    EXPECT_EQ(theme, MainMusic(&position, &volume)) << "the game's music again, where it was";
    // The mixer plays on in real time: a little further, never from the start.
    EXPECT_GE(position + 2, menu->savedMusicPosition);
    EXPECT_LT(position, menu->savedMusicPosition + 500);
    EXPECT_FLOAT_EQ(gameVolume, volume);
    EXPECT_FALSE(AnyGameSoundPaused());
}

TEST_F(MenuPages, ClosingWithoutGameMusicStartsNone)
{
    Start(false);
    ASSERT_EQ("", MainMusic());
    menu->Open(QM_MENU_MAIN);
    EXPECT_TRUE(menu->savedMusicName.IsEmpty());
    const uint32_t starts = g_bgSoundManager->mainStarts;
    menu->Close();
    EXPECT_EQ(starts, g_bgSoundManager->mainStarts);
}

TEST_F(MenuPages, TheQuitQuestionAtOnceAndAPageThatDoesNotExist)
{
    Start(false);
    // Asked by the close request: the question shows at once, the mask is
    // clear afterwards and the refilled page has every button it may have.
    menu->SetDisabledItems(QM_MENU_ASK_QUIT);
    menu->Open(QM_MENU_MAIN);
    EXPECT_TRUE(Visible("main_menu", "warning")) << "no game: the plain question";
    EXPECT_FALSE(Visible("main_menu", "warning2"));
    EXPECT_EQ(0u, menu->disabledItems);
    EXPECT_EQ(0, Find("main_menu", "but_new")->enabledState);
    Send("main_menu", "but_no", GUI_EV_CLICK);
    EXPECT_FALSE(Visible("main_menu", "warning"));
    for (const char* name : {"but_new", "but_load", "but_settings", "but_exit"})
        EXPECT_EQ(1, Find("main_menu", name)->enabledState) << name;
    for (const char* name : {"but_save", "but_continue"})
        EXPECT_EQ(0, Find("main_menu", name)->enabledState) << name << " needs a game";
    menu->Close();

    // Page 7 shows nothing but the menu counts as open; the window's close
    // request then brings the main page with its question.
    CGuiControlSet* before = game.ControlSet();
    menu->Open(7);
    EXPECT_TRUE(menu->IsPageOpen());
    EXPECT_EQ(before, game.ControlSet());
    PostMessageA(g_pGmDevice->GetWindow(), WM_CLOSE, 0, 0);
    game.Step(2);
    EXPECT_EQ("main_menu", Current());
    EXPECT_TRUE(Visible("main_menu", "warning"));
    EXPECT_EQ(1, g_pGmDevice->m_running);
}

// Each main button's click: with and without a game, the pointer inside or
// outside the button when the event arrives. What follows is the page (or
// "closed"), and which quit question shows.
TEST_F(MenuPages, TheMainButtonsAsATable)
{
    struct Row {
        bool game;
        const char* button;
        bool inside;
        bool saved; // the game-saved flag before the click
        const char* page; // after the click; "closed" when the menu closed
        const char* question; // the quit question showing, or ""
    };
    const Row rows[] = {
        {false, "but_continue", true, false, "main_menu", ""},
        {false, "but_save", true, false, "main_menu", ""},
        {false, "but_load", true, false, "load_menu", ""},
        {false, "but_load", false, false, "main_menu", ""},
        {false, "but_settings", true, false, "settings_menu", ""},
        {false, "but_minigames", true, false, "minigames_menu", ""},
        {false, "but_exit", true, false, "main_menu", "warning"},
        {false, "but_exit", false, false, "main_menu", ""},
        {false, "but_new", false, false, "main_menu", ""},
        {true, "but_continue", true, true, "closed", ""},
        {true, "but_continue", false, false, "main_menu", ""},
        {true, "but_save", true, false, "save_menu", ""},
        {true, "but_save", false, false, "main_menu", ""},
        {true, "but_exit", true, false, "main_menu", "warning2"},
        {true, "but_exit", true, true, "main_menu", "warning"},
        {true, "but_new", true, true, "closed", ""},
    };
    Start(false);
    bool started = false;
    for (const Row& row : rows) {
        if (row.game && !started) {
            // The new game from the menu, as the player starts it.
            ASSERT_TRUE(game.StartNewGameFromMenu());
            started = true;
        }
        SCOPED_TRACE(std::string(row.button) + (row.game ? " with a game" : " without") +
                     (row.inside ? ", inside" : ", outside"));
        g_gameProcessor->OpenMenu(0);
        menu->Open(QM_MENU_MAIN);
        menu->gameSaved = row.saved ? 1 : 0;
        CQmGameVars::Set("before_the_click", 1);
        Send("main_menu", row.button, GUI_EV_CLICK, row.inside);
        EXPECT_EQ(row.page, menu->IsPageOpen() ? Current() : std::string("closed"));
        EXPECT_EQ(std::string(row.question) == "warning", Visible("main_menu", "warning"));
        EXPECT_EQ(std::string(row.question) == "warning2", Visible("main_menu", "warning2"));
        if (std::string(row.button) == "but_continue" && !menu->IsPageOpen()) {
            EXPECT_EQ(0, menu->gameSaved) << "continuing clears the saved flag";
        }
        if (std::string(row.button) == "but_new" && row.inside) {
            EXPECT_EQ(0, CQmGameVars::GetValue("before_the_click")) << "a new game";
            EXPECT_EQ(1, CQmGameVars::GetValue("demo_started"));
            EXPECT_EQ(0, menu->gameSaved);
        }
        if (*row.question) {
            EXPECT_EQ(0, Find("main_menu", "but_new")->enabledState) << "the buttons are off under a question";
            Escape();
        }
        if (menu->IsPageOpen() && Current() != "main_menu")
            menu->Open(QM_MENU_MAIN);
    }
}

// The mask disables buttons: a real click on one posts nothing, but pointing
// at it still starts its prop and its spoken title, once while it plays.
TEST_F(MenuPages, MaskedButtonsTakeNoClickButShowTheirProp)
{
    Start(true);
    game.Step();
    const CQmLocation* location = game.Location();
    CGeString error;
    ASSERT_TRUE(ScriptRunString("DisableMenuItems(1 + 8)", error)) << error.c_str();
    g_gameProcessor->OpenMenu(0);
    game.Step();
    EXPECT_EQ(0, Find("main_menu", "but_new")->enabledState);
    EXPECT_EQ(0, Find("main_menu", "but_load")->enabledState);
    EXPECT_EQ(1, Find("main_menu", "but_save")->enabledState);

    ClickThroughTheWindow("main_menu", "but_load");
    EXPECT_EQ("main_menu", Current());
    ClickThroughTheWindow("main_menu", "but_new");
    EXPECT_EQ("main_menu", Current());
    EXPECT_EQ(location, game.Location());
    CGeFrameAnim& pitcher = menu->props[1]->ownPlayer;
    EXPECT_EQ(1, pitcher.playing) << "pointing at the masked button started its prop";
    EXPECT_EQ(1u, Playing("sounds/menu/new_game.wav"));

    // Pointing again while it plays: no restart and no second title.
    const uint32_t frame = pitcher.GetFrame();
    game.MoveMouse(10.0f, 10.0f);
    game.Step();
    Send("main_menu", "but_new", GUI_EV_ENTER);
    EXPECT_LE(frame, pitcher.GetFrame());
    EXPECT_NE(0u, pitcher.GetFrame());
    EXPECT_EQ(1u, Playing("sounds/menu/new_game.wav"));
    // Pointing from outside the button's area starts nothing.
    CGeFrameAnim& compass = menu->props[3]->ownPlayer;
    Send("main_menu", "but_settings", GUI_EV_ENTER, false);
    EXPECT_EQ(0, compass.playing);
    Send("main_menu", "but_settings", GUI_EV_ENTER);
    EXPECT_EQ(1, compass.playing);

    // An enabled button takes the real click.
    ClickThroughTheWindow("main_menu", "but_save");
    EXPECT_EQ("save_menu", Current());
}

TEST_F(MenuPages, CreditsEscapeAndTheUnsavedGamesQuestion)
{
    Start(true);
    g_gameProcessor->OpenMenu(0);
    game.Step();
    CGuiControl* credits = Find("main_menu", "credits");
    ASSERT_NE(nullptr, credits);
    Send("main_menu", "but_credits", GUI_EV_CLICK);
    EXPECT_TRUE(Visible("main_menu", "credits_bg"));
    const float start = credits->height + 960.0f;
    EXPECT_FLOAT_EQ(start, menu->creditsOffset);
    // 100 units a second once the smoothed frame time has settled.
    game.StepSeconds(2.0);
    EXPECT_NEAR(start - 200.0f, menu->creditsOffset, 4.0f);
    EXPECT_NEAR(menu->creditsOffset - credits->height, credits->Y(), 0.01f);
    game.StepSeconds((start - 200.0f) / 100.0f + 0.5);
    EXPECT_EQ(0.0f, menu->creditsOffset);
    EXPECT_FALSE(Visible("main_menu", "credits_bg")) << "the credits ran out";

    // Escape: first the credits, then a question, then the menu itself.
    Send("main_menu", "but_credits", GUI_EV_CLICK);
    Send("main_menu", "but_exit", GUI_EV_CLICK);
    ASSERT_TRUE(Visible("main_menu", "warning2"));
    Escape();
    EXPECT_FALSE(Visible("main_menu", "credits_bg"));
    EXPECT_TRUE(Visible("main_menu", "warning2"));
    Escape();
    EXPECT_FALSE(Visible("main_menu", "warning2")) << "the unsaved game's question goes like the plain one";
    EXPECT_EQ(1, Find("main_menu", "but_new")->enabledState);
    EXPECT_TRUE(menu->IsPageOpen());
    Escape();
    EXPECT_FALSE(menu->IsPageOpen());

    // "btn_yes" saves first: the question goes, the save page comes.
    g_gameProcessor->OpenMenu(0);
    Send("main_menu", "but_exit", GUI_EV_CLICK);
    Send("main_menu", "btn_yes", GUI_EV_CLICK);
    EXPECT_EQ("save_menu", Current());
    EXPECT_FALSE(Visible("main_menu", "warning2"));
    EXPECT_EQ(0, g_quitRequested);
    menu->Open(QM_MENU_MAIN);
    EXPECT_EQ(1, Find("main_menu", "button01")->enabledState);
    // "btn_no" quits without saving.
    Send("main_menu", "but_exit", GUI_EV_CLICK);
    Send("main_menu", "btn_no", GUI_EV_CLICK);
    EXPECT_FALSE(Visible("main_menu", "warning2"));
    EXPECT_EQ(1, menu->gameSaved);
    EXPECT_EQ(1, g_quitRequested);
    g_quitRequested = 0;
}

// The held scroll button runs the strip to its last position and stops on a
// slot position; clicks while it moves are ignored.
TEST_F(MenuPages, TheStripRunsToItsEndWhileTheButtonIsHeld)
{
    Start(true);
    g_gameProcessor->OpenMenu(0);
    const struct {
        uint32_t page;
        const char* set;
        int32_t last;
        uint32_t count;
    } pages[] = {{QM_MENU_LOAD, "load_menu", 13, 20}, {QM_MENU_SAVE, "save_menu", 13, 20},
                 {QM_MENU_MINIGAMES, "minigames_menu", 2, 9}};
    for (const auto& page : pages) {
        SCOPED_TRACE(page.set);
        menu->stripIndex = -1;
        menu->Open(page.page);
        Send(page.set, "scroll_right", GUI_EV_PRESS);
        EXPECT_EQ(0, menu->stripIndex);
        game.Step(2);
        ASSERT_NE(0.0f, menu->scrollRemaining);
        const int32_t selectedBefore = menu->selected;
        Send(page.set, "custom03", GUI_EV_CLICK);
        EXPECT_EQ(selectedBefore, menu->selected) << "a click mid-step is ignored";
        game.StepSeconds(12.0);
        EXPECT_EQ(page.last, menu->stripIndex);
        EXPECT_EQ(0.0f, menu->scrollRemaining);
        for (uint32_t i = 0; i < page.count; ++i) {
            CGuiControl* slot = Find(page.set, FormatString("custom%02d", (int)(i + 1)).c_str());
            ASSERT_NE(nullptr, slot);
            EXPECT_FLOAT_EQ((float(i) - float(page.last) - 1.0f) * 164.0f + 154.0f, slot->X()) << i;
            EXPECT_FLOAT_EQ(821.0f, slot->Y());
        }
        // At the end the right arrow does nothing; released, the left one
        // takes a single step back.
        Send(page.set, "scroll_right", GUI_EV_PRESS);
        EXPECT_EQ(0.0f, menu->scrollRemaining);
        Send(page.set, "scroll_right", GUI_EV_RELEASE);
        Send(page.set, "scroll_left", GUI_EV_PRESS);
        Send(page.set, "scroll_left", GUI_EV_RELEASE);
        game.StepSeconds(2.0);
        EXPECT_EQ(page.last - 1, menu->stripIndex);
        EXPECT_EQ(0.0f, menu->scrollRemaining);
        menu->stripIndex = -1;
        menu->Open(QM_MENU_MAIN);
    }
}

namespace {

std::u16string Widen(const std::string& text)
{
    return std::u16string(text.begin(), text.end());
}

} // namespace

TEST_F(MenuPages, SavingAndLoadingThroughTheSlotPages)
{
    Start(true);
    game.StepSeconds(1.0);
    CQmEntity* hero = game.Entity("hero");
    ASSERT_NE(nullptr, hero);
    const Vec3 savedAt = hero->frame.position;
    const std::string slot = std::string(GetUserDataFolder()) + "/save/slot_1.s";

    g_gameProcessor->OpenMenu(0);
    Send("main_menu", "but_save", GUI_EV_CLICK);
    ASSERT_EQ("save_menu", Current());
    // A free slot: selected by a single click, no date; saved at once.
    menu->clickTimer = 1.0f;
    Send("save_menu", "custom02", GUI_EV_CLICK);
    EXPECT_EQ(1, menu->selected);
    EXPECT_TRUE(Visible("save_menu", "slot_selection"));
    EXPECT_EQ(u"", Text("save_menu", "date_field"));
    Send("save_menu", "but_save", GUI_EV_CLICK);
    EXPECT_TRUE(std::filesystem::exists(slot));
    EXPECT_TRUE(std::filesystem::exists(slot + ".tga"));
    EXPECT_TRUE(Visible("save_menu", "game_saved_dlg"));
    for (const char* name : {"but_save", "but_cancel", "scroll_left", "custom02", "custom20"})
        EXPECT_EQ(0, Find("save_menu", name)->enabledState) << name;
    EXPECT_EQ(1, menu->gameSaved);
    EXPECT_EQ(1, menu->lastSavedSlot);
    EXPECT_EQ(-1, menu->selected);
    EXPECT_NE(nullptr, menu->slotPictures[1]);
    Send("save_menu", "but_ok", GUI_EV_CLICK);
    EXPECT_FALSE(Visible("save_menu", "game_saved_dlg"));
    EXPECT_EQ(1, Find("save_menu", "custom02")->enabledState);

    // The used slot shows the date and time of its header, and its preview.
    menu->clickTimer = 1.0f;
    Send("save_menu", "custom02", GUI_EV_CLICK);
    QmSaveHeader header;
    g_gameProcessor->GetSavedData(header, 1);
    ASSERT_NE(0u, header.date[2]);
    EXPECT_EQ(Widen(FormatString("%02u.%02u.%04u", header.date[0], header.date[1], header.date[2]).c_str()),
              Text("save_menu", "date_field"));
    EXPECT_EQ(Widen(FormatString("%02u:%02u:%02u", header.date[3], header.date[4], header.date[5]).c_str()),
              Text("save_menu", "time_field"));
    EXPECT_NE(nullptr, menu->preview);
    // Clicked again 0.3 s later: deselected, the texts empty.
    menu->clickTimer = 0.3f;
    Send("save_menu", "custom02", GUI_EV_CLICK);
    EXPECT_EQ(-1, menu->selected);
    EXPECT_EQ(nullptr, menu->preview);
    EXPECT_FALSE(Visible("save_menu", "slot_selection"));
    EXPECT_EQ(u"", Text("save_menu", "date_field"));
    EXPECT_EQ(u"", Text("save_menu", "time_field"));

    // Over the used slot the question comes; "but_no" leaves the file.
    const std::string written = CTestTempDir::Read(slot);
    menu->clickTimer = 1.0f;
    Send("save_menu", "custom02", GUI_EV_CLICK);
    Send("save_menu", "but_save", GUI_EV_CLICK);
    EXPECT_TRUE(Visible("save_menu", "rusure_dlg"));
    EXPECT_EQ(0, Find("save_menu", "but_save")->enabledState);
    Send("save_menu", "but_no", GUI_EV_CLICK);
    EXPECT_FALSE(Visible("save_menu", "rusure_dlg"));
    EXPECT_EQ(1, Find("save_menu", "but_save")->enabledState);
    EXPECT_EQ(written, CTestTempDir::Read(slot));

    // The thumbnail is read from the disk at each showing: a red picture put
    // in its place shows, and after the overwrite the game's own again.
    const auto slotPixel = [&] {
        const std::vector<uint32_t> frame = game.CaptureFrame();
        CGuiControl* control = Find("save_menu", "custom02");
        const Vec2 origin = control->ScreenOrigin();
        const float x = origin.x + 71.0f, y = origin.y + 57.0f;
        return frame[size_t(y * 256.0f / 1024.0f) * 320 + size_t(x * 320.0f / 1280.0f)];
    };
    std::ofstream(slot + ".tga", std::ios::binary) << SolidTga(64, 64, 0xFFFF0000);
    menu->Open(QM_MENU_SAVE);
    EXPECT_TRUE(PixelNear(slotPixel(), 0xFF0000));
    menu->clickTimer = 1.0f;
    Send("save_menu", "custom02", GUI_EV_CLICK);
    menu->clickTimer = 0.1f;
    Send("save_menu", "custom02", GUI_EV_CLICK); // a double click saves too
    EXPECT_TRUE(Visible("save_menu", "rusure_dlg"));
    Send("save_menu", "but_yes", GUI_EV_CLICK);
    EXPECT_TRUE(Visible("save_menu", "game_saved_dlg"));
    Send("save_menu", "but_ok", GUI_EV_CLICK);
    EXPECT_FALSE(PixelNear(slotPixel(), 0xFF0000, 60)) << "the new picture, not the one read before";

    // Back in the game the hero walks away; the load page's double click
    // (0.29 s) brings him back where he was saved.
    Send("save_menu", "but_cancel", GUI_EV_CLICK);
    EXPECT_EQ("main_menu", Current());
    Escape();
    ASSERT_FALSE(menu->IsPageOpen());
    auto* motion = hero->Prop<CQmPropMotionController>(QM_PROP_MOTION_CONTROLLER);
    ASSERT_NE(nullptr, motion);
    ASSERT_TRUE(motion->MoveTo(Vec3{100.0f, 0.0f, 100.0f}));
    game.StepSeconds(5.0);
    ASSERT_GT(std::fabs(hero->frame.position.x - savedAt.x), 50.0f);
    g_gameProcessor->OpenMenu(0);
    Send("main_menu", "but_load", GUI_EV_CLICK);
    ASSERT_EQ("load_menu", Current());
    menu->clickTimer = 1.0f;
    Send("load_menu", "custom05", GUI_EV_CLICK);
    menu->clickTimer = 0.1f;
    Send("load_menu", "custom05", GUI_EV_CLICK);
    Send("load_menu", "but_load", GUI_EV_CLICK);
    EXPECT_EQ("load_menu", Current()) << "a free slot loads nothing";
    menu->clickTimer = 1.0f;
    Send("load_menu", "custom02", GUI_EV_CLICK);
    EXPECT_EQ(1, menu->selected);
    menu->clickTimer = 0.29f;
    Send("load_menu", "custom02", GUI_EV_CLICK);
    EXPECT_FALSE(menu->IsPageOpen());
    EXPECT_EQ(0, menu->gameSaved);
    game.Step(2);
    hero = game.Entity("hero");
    ASSERT_NE(nullptr, hero);
    EXPECT_NEAR(savedAt.x, hero->frame.position.x, 1.0f);
    EXPECT_NEAR(savedAt.z, hero->frame.position.z, 1.0f);

    // A damaged slot is listed, and loading it leaves the game as it was.
    std::ofstream(std::string(GetUserDataFolder()) + "/save/slot_6.s") << "not a saved game";
    g_gameProcessor->OpenMenu(0);
    menu->Open(QM_MENU_LOAD);
    EXPECT_EQ(1, menu->slotUsed[6]);
    menu->clickTimer = 1.0f;
    Send("load_menu", "custom07", GUI_EV_CLICK);
    Send("load_menu", "but_load", GUI_EV_CLICK);
    game.Step(2);
    ASSERT_NE(nullptr, game.Location());
    EXPECT_STREQ("loc01", game.Location()->name.c_str());
    EXPECT_EQ(hero, game.Entity("hero"));
}

// The settings page on display modes the test gives the device.
TEST_F(MenuPages, SettingsListModesPreviewUndoAndKeep)
{
    const D3DDISPLAYMODE modes[] = {
        {1280, 1024, 120, D3DFMT_X8R8G8B8}, {1024, 768, 121, D3DFMT_X8R8G8B8}, {1600, 1200, 60, D3DFMT_X8R8G8B8},
        {800, 600, 60, D3DFMT_X8R8G8B8},    {1024, 768, 60, D3DFMT_X8R8G8B8},  {640, 480, 60, D3DFMT_X8R8G8B8},
    };
    D3d9SetTestDisplayModes(modes, 6);
    Start(false);
    const int32_t runningWidth = g_videoSettings->width;
    g_videoSettings->depthStencilFormat = 21;
    CQmGameConfig::s_shadowVolumesOn = true;
    const float soundVolume = g_soundManager->volume, musicVolume = g_bgSoundManager->master;
    const float gamma = g_videoSettings->gamma;
    g_gameProcessor->OpenMenu(0);
    Send("main_menu", "but_settings", GUI_EV_CLICK);
    ASSERT_EQ("settings_menu", Current());

    std::vector<std::string> listed;
    for (const MenuResolution& mode : menu->resolutions)
        listed.push_back(FormatString("%u:%u:%u", mode.width, mode.height, mode.refreshRate).c_str());
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ((std::vector<std::string>{"1024:768:60", "1280:1024:120", "800:600:60"}), listed);
    auto* combo = dynamic_cast<CGuiComboBox*>(Find("settings_menu", "combo_resolution"));
    ASSERT_TRUE(combo && combo->listBox);
    ASSERT_EQ(3u, combo->listBox->GetItemCount());
    for (uint32_t i = 0; i < 3; ++i) {
        const MenuResolution& mode = menu->resolutions[i];
        CGeWString item;
        combo->listBox->GetItem(int32_t(i), item);
        EXPECT_EQ(Widen(FormatString("%u:%u:%u", mode.width, mode.height, mode.refreshRate).c_str()),
                  std::u16string(item.c_str()));
    }
    EXPECT_EQ(-1, menu->currentResolution) << "the harness's window is no listed mode";
    auto* shadows = dynamic_cast<CGuiSwitch*>(Find("settings_menu", "switch_shadows"));
    ASSERT_NE(nullptr, shadows);
    EXPECT_EQ(1u, shadows->currentState);
    EXPECT_EQ(1, shadows->enabledState);

    // Moving bars: heard and seen at once; Escape takes it back.
    const auto move = [&](const char* name, float value) {
        auto* bar = dynamic_cast<CGuiScrollBar*>(Find("settings_menu", name));
        ASSERT_NE(nullptr, bar);
        bar->position = value;
        Send("settings_menu", name, GUI_EV_SCROLL_CHANGED);
    };
    move("volume", 0.3f);
    move("music_volume", 0.4f);
    move("gamma", 1.3f);
    EXPECT_FLOAT_EQ(0.3f, g_soundManager->volume);
    EXPECT_FLOAT_EQ(0.4f, g_bgSoundManager->master);
    EXPECT_FLOAT_EQ(1.3f, g_pGmDevice->m_gamma);
    Escape();
    EXPECT_EQ("main_menu", Current());
    EXPECT_FLOAT_EQ(soundVolume, g_soundManager->volume);
    EXPECT_FLOAT_EQ(musicVolume, g_bgSoundManager->master);
    EXPECT_FLOAT_EQ(gamma, g_pGmDevice->m_gamma);

    // "but_ok" keeps them and writes the file; leaving the page re-applies them.
    Send("main_menu", "but_settings", GUI_EV_CLICK);
    move("volume", 0.3f);
    move("music_volume", 0.4f);
    move("gamma", 1.3f);
    Send("settings_menu", "but_ok", GUI_EV_CLICK);
    EXPECT_EQ("main_menu", Current()) << "no warning: the resolution was not changed";
    EXPECT_FLOAT_EQ(0.3f, g_soundManager->volume);
    EXPECT_FLOAT_EQ(0.4f, g_bgSoundManager->master);
    EXPECT_FLOAT_EQ(1.3f, g_pGmDevice->m_gamma);
    const std::string config = std::string(GetUserDataFolder()) + "/config.cfg";
    EXPECT_NE(std::string::npos, CTestTempDir::Read(config).find("music_volume=\"0.40\""));

    // Without the stencil format of shadows the switch is off and stays so.
    g_videoSettings->depthStencilFormat = 0;
    Send("main_menu", "but_settings", GUI_EV_CLICK);
    EXPECT_EQ(0u, shadows->currentState);
    EXPECT_EQ(0, shadows->enabledState);
    Send("settings_menu", "but_ok", GUI_EV_CLICK);
    EXPECT_FALSE(CQmGameConfig::s_shadowVolumesOn);

    // Another resolution goes to the file only, with the warning.
    Send("main_menu", "but_settings", GUI_EV_CLICK);
    int32_t large = -1;
    for (uint32_t i = 0; i < menu->resolutions.Count(); ++i)
        if (menu->resolutions[i].width == 1280)
            large = int32_t(i);
    ASSERT_GE(large, 0);
    combo->listBox->SetCurItem(large);
    Send("settings_menu", "but_ok", GUI_EV_CLICK);
    EXPECT_EQ("settings_menu", Current());
    EXPECT_TRUE(Visible("settings_menu", "warning"));
    for (const char* name : {"combo_resolution", "switch_shadows", "volume", "music_volume", "but_ok", "but_cancel"})
        EXPECT_EQ(0, Find("settings_menu", name)->enabledState) << name;
    EXPECT_EQ(runningWidth, g_videoSettings->width) << "the running mode stays in memory";
    Send("settings_menu", "but_warning_ok", GUI_EV_CLICK);
    EXPECT_EQ("main_menu", Current());
    EXPECT_EQ(1, Find("settings_menu", "volume")->enabledState);

    // The file read back.
    ASSERT_TRUE(CQmGameConfig::Load(config.c_str()));
    EXPECT_EQ(1280, g_videoSettings->width);
    EXPECT_EQ(1024, g_videoSettings->height);
    EXPECT_EQ(120, g_videoSettings->refreshRate);
    EXPECT_NEAR(1.3f, g_videoSettings->gamma, 1e-3f);
    EXPECT_NEAR(0.4f, CQmGameConfig::s_musicVolume, 1e-3f);
    EXPECT_FALSE(CQmGameConfig::s_shadowVolumesOn);
}

namespace {

// Ten games: the tenth is never read; the sixth has no picture.
std::string TenGames()
{
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<gamelist>\n";
    for (int k = 0; k < 10; ++k) {
        text += "  <game><name>game " + std::to_string(k) + "</name>";
        if (k != 5)
            text += "<image>menu/pic/games/game" + std::to_string(k % 3 + 1) + ".tga</image>";
        text += "<text>about " + std::to_string(k) + "</text><controls>keys</controls>";
        text += std::string("<location>") + (k % 2 ? "loc01" : "loc02") + "</location></game>\n";
    }
    return text + "</gamelist>\n";
}

} // namespace

TEST_F(MenuPages, TheMiniGamesPageShowsTheUnlockedGamesAndStartsOne)
{
    CTestTempDir packs;
    const std::string pack = packs / "games.fpk";
    {
        CFpkWriter writer;
        std::string error;
        ASSERT_TRUE(writer.Open(pack.c_str(), &error)) << error;
        const std::string list = TenGames();
        ASSERT_TRUE(writer.AddFile("menu/gamelist.xml", reinterpret_cast<const uint8_t*>(list.data()), list.size(),
                                   &error))
            << error;
        ASSERT_TRUE(writer.Finish(&error)) << error;
    }
    Start(true, {pack});
    const struct {
        int32_t mask;
        std::vector<std::u16string> names;
    } masks[] = {
        {0x24, {u"game 2", u"game 5"}},
        {0x200 | 0x01, {u"game 0"}},
        {0x1FF, {u"game 0", u"game 1", u"game 2", u"game 3", u"game 4", u"game 5", u"game 6", u"game 7", u"game 8"}},
    };
    g_gameProcessor->OpenMenu(0);
    for (const auto& row : masks) {
        SCOPED_TRACE(row.mask);
        CQmGameConfig::s_minigames = row.mask;
        Send("main_menu", "but_minigames", GUI_EV_CLICK);
        ASSERT_EQ("minigames_menu", Current());
        for (uint32_t i = 0; i < CQasimarMenu::kMiniGames; ++i) {
            const std::u16string name = menu->miniGames[i].name.c_str();
            EXPECT_EQ(i < row.names.size() ? row.names[i] : u"", name) << i;
            auto* control = dynamic_cast<CGuiCustom*>(Find("minigames_menu", FormatString("custom%02d", int(i + 1)).c_str()));
            ASSERT_NE(nullptr, control);
            EXPECT_EQ(static_cast<CGmVisualObject*>(menu->miniGames[i].picture), control->attached) << i;
        }
        menu->Open(QM_MENU_MAIN);
    }

    // The entry without a picture (game 5) and an empty one take the frame
    // but start nothing.
    CQmGameConfig::s_minigames = 0x24;
    Send("main_menu", "but_minigames", GUI_EV_CLICK);
    EXPECT_EQ(nullptr, menu->miniGames[1].picture);
    for (const char* entry : {"custom02", "custom03"}) {
        menu->clickTimer = 1.0f;
        Send("minigames_menu", entry, GUI_EV_CLICK);
        EXPECT_TRUE(Visible("minigames_menu", "slot_selection"));
        EXPECT_FLOAT_EQ(Find("minigames_menu", entry)->X(), Find("minigames_menu", "slot_selection")->X());
        menu->clickTimer = 0.1f;
        Send("minigames_menu", entry, GUI_EV_CLICK);
        Send("minigames_menu", "but_start", GUI_EV_CLICK);
        EXPECT_EQ("minigames_menu", Current()) << entry;
    }
    // Game 2 starts in its location in mini-game mode.
    menu->clickTimer = 1.0f;
    Send("minigames_menu", "custom01", GUI_EV_CLICK);
    EXPECT_EQ(0, menu->selected);
    EXPECT_NE(nullptr, menu->preview);
    Send("minigames_menu", "but_start", GUI_EV_CLICK);
    EXPECT_FALSE(menu->IsPageOpen());
    ASSERT_NE(nullptr, game.Location());
    EXPECT_STREQ("loc02", game.Location()->name.c_str());
    EXPECT_EQ(1, CQmGameVars::GetValue("MiniGameMode"));
    EXPECT_EQ(uint32_t(QM_MENU_NO_SAVE), menu->disabledItems);

    // The script unlocks by number: 33 is bit 1, kept in the settings file.
    CGeString error;
    ASSERT_TRUE(ScriptRunString("ActivateMinigame(33)", error)) << error.c_str();
    EXPECT_EQ(0x26, CQmGameConfig::s_minigames);
    EXPECT_NE(std::string::npos,
              CTestTempDir::Read(std::string(GetUserDataFolder()) + "/config.cfg").find("minigames=\"38\""));
    g_gameProcessor->OpenMenu(0);
    menu->Open(QM_MENU_MINIGAMES);
    EXPECT_EQ(u"game 1", std::u16string(menu->miniGames[0].name.c_str()));
}

// A main page file that lacks a control the menu names: the dice's picture
// host. The menu reports it once, skips the prop's picture, and the page
// still works: pointing at the button still speaks its title, and the new
// game starts.
TEST_F(MenuPages, AControlThePageFileLacksIsReportedOnceAndSkipped)
{
    std::string page = CTestTempDir::Read(std::string(QM_QASIMAR_TEST_DATA) + "/../../../../demo/Menu/main_menu.xml");
    const size_t dice = page.find("<Control Name=\"dice\"");
    ASSERT_NE(std::string::npos, dice);
    const size_t end = page.find("</Control>", dice);
    ASSERT_NE(std::string::npos, end);
    page.erase(dice, end + std::strlen("</Control>") - dice);

    CTestTempDir packs;
    const std::string pack = packs / "page.fpk";
    {
        CFpkWriter writer;
        std::string error;
        ASSERT_TRUE(writer.Open(pack.c_str(), &error)) << error;
        ASSERT_TRUE(writer.AddFile("menu/main_menu.xml", reinterpret_cast<const uint8_t*>(page.data()), page.size(),
                                   &error))
            << error;
        ASSERT_TRUE(writer.Finish(&error)) << error;
    }
    Start(false, {pack});
    ASSERT_EQ(nullptr, g_guiManager->FindControlSet(CGeString("main_menu"))->FindControl(CGeString("dice")));

    // Already reported while the menu was made: asking again logs nothing.
    // A name asked for the first time is reported, and only that once.
    GeLogClearLast();
    EXPECT_EQ(nullptr, menu->Control("main_menu", "dice"));
    EXPECT_EQ(0, GeLogLastLevel());
    EXPECT_EQ(nullptr, menu->Control("main_menu", "no_such_control"));
    EXPECT_EQ(2, GeLogLastLevel());
    EXPECT_NE(std::string::npos, std::string(GeLogLastMessage().c_str()).find("no_such_control"));
    GeLogClearLast();
    EXPECT_EQ(nullptr, menu->Control("main_menu", "no_such_control"));
    EXPECT_EQ(0, GeLogLastLevel());

    // The page works around the gap.
    g_gameProcessor->OpenMenu(0);
    game.Step();
    ASSERT_EQ("main_menu", Current());
    GeLogClearLast();
    Send("main_menu", "but_minigames", GUI_EV_ENTER);
    game.Step(3);
    EXPECT_EQ(1u, Playing("sounds/menu/mini_games.wav"));
    EXPECT_EQ(0, GeLogLastLevel()) << GeLogLastMessage().c_str();
    ClickThroughTheWindow("main_menu", "but_new");
    game.Step(3);
    ASSERT_NE(nullptr, game.Location());
    EXPECT_STREQ("loc01", game.Location()->name.c_str());
}
