// The game processor's frame with recording stand-ins and a bare current
// location: the update's order, the faders, the messages it reacts to, the
// window's close request, mini-games, the menu, the finish request and
// location changes.
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Gui/GeCursorSet.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Platform/Win32/WinMessages.h"
#include "Source/GameClasses/QmVideoPlayer.h"
#include "tests/Source/GameClasses/CursorFixtures.h"
#include "tests/Source/GameClasses/GameProcessorFakes.h"

#include <algorithm>

TEST_F(GameProcessorTest, UpdateRunsItsStepsInOrder)
{
    EnterLocation("harbour");
    Run("function delayed() Note('delayed call') end function timer() Note('timer') end "
        "SysDelayedCall('delayed', 0) SysSetTimer('timer', 0)");
    m_dispatcher->deliveryEnabled = 1;
    m_dispatcher->PostMessage(m_dispatcher->PendingQueue(), &m_keyboard, QM_MSG_KEY_DOWN);
    m_keyboard.lastPressedKey = 'I';
    auto* arcade = new FakeArcade("arcade: keys");
    m_processor->arcades[CGeString("arcade: keys")] = arcade;
    UpdateFor(0.1);
    EXPECT_TRUE(m_inventory.open); // the pass delivered the key before the GUI update
    EXPECT_TRUE(InOrder({"gui.update", "inventory.update", "menu.update", "delayed call", "timer",
                         "puzzles.update", "location.update", "dialog.update"}));

    // With a mini-game the mini-game updates after the location.
    m_processor->StartArcadeByName("arcade: keys", nullptr);
    g_journal.clear();
    UpdateFor(0.1);
    EXPECT_TRUE(InOrder({"location.update", "arcade.update", "dialog.update"}));

    // The menu ends the update before the location; no location ends it too.
    m_processor->menuOpen = 1;
    g_journal.clear();
    UpdateFor(0.1);
    EXPECT_TRUE(Journal("menu.update"));
    EXPECT_FALSE(Journal("location.update"));
    EXPECT_FALSE(m_inventory.active);
    m_processor->menuOpen = 0;
    m_locations.SetCurrentLocation("");
    g_journal.clear();
    UpdateFor(0.1);
    EXPECT_FALSE(Journal("puzzles.update"));
    EXPECT_TRUE(m_inventory.active);
}

TEST_F(GameProcessorTest, GameEnableAndInputLock)
{
    EnterLocation("harbour");
    m_processor->gameEnabled = 0;
    m_processor->inputLockTime = 0.25f;
    UpdateFor(0.1);
    EXPECT_FALSE(Journal("location.update"));
    EXPECT_FLOAT_EQ(0.15f, m_processor->inputLockTime);
    EXPECT_FALSE(m_inventory.input);
    UpdateFor(0.2);
    EXPECT_EQ(0.0f, m_processor->inputLockTime);
    EXPECT_TRUE(m_inventory.input);
}

// The cursor step of the update, for a pending refresh and at the end of an
// input lock: hidden (and the refresh kept pending) while input is locked, a
// mini-game is active or the location plays a video; over a puzzle the
// puzzle's tasks step once more and the cursor its control showed stays;
// otherwise the default cursor, or "Grab" with an item held.
TEST_F(GameProcessorTest, CursorStepHidesKeepsAPuzzlesCursorOrShowsTheDefault)
{
    FakeLocation* location = EnterLocation("harbour");
    BlankCursors blankCursors;
    CGeCursorSet& cursors = *blankCursors.set;
    struct Restore {
        ~Restore() { g_puzzleManager->puzzleSet = nullptr; } // never the fake's to reset
    } restore;
    auto* arcade = new FakeArcade("arcade: keys");
    m_processor->arcades[CGeString("arcade: keys")] = arcade;

    enum Setting { kLocked, kArcade, kVideo, kPuzzle, kItem, kNothing };
    struct Case {
        Setting setting;
        uint32_t cursor;   // shown afterwards
        uint8_t pending;   // the refresh still pending
        int puzzleUpdates; // the puzzle manager's updates
    } cases[] = {
        {kLocked, 0, 1, 0}, {kArcade, 0, 1, 0}, {kVideo, 0, 1, 0}, {kPuzzle, 8, 0, 1}, {kItem, 15, 0, 0},
        {kNothing, 1, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setting);
        cursors.SetCursor(8); // what a control under the mouse showed
        m_processor->inputLockTime = c.setting == kLocked ? 5.0f : 0.0f;
        arcade->active = c.setting == kArcade ? 1 : 0;
        m_processor->currentArcade = c.setting == kArcade ? arcade : nullptr;
        location->video = c.setting == kVideo ? new CQmVideoPlayer("none.ogv", false) : nullptr;
        m_puzzles.puzzleSet = c.setting == kPuzzle ? m_gui.CreateControlSet(CGeString("_puzzle_")) : nullptr;
        m_inventory.Hold(c.setting == kItem);
        m_processor->cursorRefreshPending = 1;
        g_journal.clear();
        m_processor->UpdateCursor();
        EXPECT_EQ(c.cursor, cursors.shownCursor);
        EXPECT_EQ(c.pending, m_processor->cursorRefreshPending);
        EXPECT_EQ(c.puzzleUpdates, std::count(g_journal.begin(), g_journal.end(), "puzzles.update"));

        // The update runs the step for a pending refresh: over a puzzle the
        // tasks then move twice in the frame.
        if (c.setting == kPuzzle) {
            m_processor->cursorRefreshPending = 1;
            g_journal.clear();
            UpdateFor(0.1);
            EXPECT_EQ(2, std::count(g_journal.begin(), g_journal.end(), "puzzles.update"));
            EXPECT_EQ(0, m_processor->cursorRefreshPending);
        }
        delete location->video;
        location->video = nullptr;
        m_processor->currentArcade = nullptr;
        if (CGuiControlSet* set = m_puzzles.puzzleSet) {
            m_puzzles.puzzleSet = nullptr;
            m_gui.RemoveControlSet(set);
            delete set;
        }
    }
    m_inventory.Hold(false);

    // A location change hides the cursor for its input lock; the lock's end
    // shows it again, with no refresh pending.
    m_processor->cursorRefreshPending = 0;
    m_processor->RequestLocationChange("harbour", "");
    EXPECT_EQ(0u, cursors.shownCursor);
    m_processor->loadingFader->Stop();
    UpdateFor(0.6);
    EXPECT_EQ(0u, cursors.shownCursor);
    UpdateFor(0.6);
    EXPECT_EQ(0.0f, m_processor->inputLockTime);
    EXPECT_EQ(1u, cursors.shownCursor);
}

TEST_F(GameProcessorTest, TwoFadersEndingTogetherEachReactToTheirOwnEnd)
{
    EnterLocation("harbour");
    m_processor->RequestLocationChange("cellar", "door");
    m_processor->effectFader->Start(0, 0xFFFFFFFF, 0x00000000, 0.5f);
    UpdateFor(0.1);
    EXPECT_EQ(0, m_processor->changePending);
    EXPECT_EQ(102, m_processor->loadingOpacity); // 255 x clamp(2 x 0.1 / 0.5)
    UpdateFor(0.4);
    // The loading fade asks for the change; the effect fade, without a
    // picture, posts its end message for the mini-games.
    EXPECT_EQ(1, m_processor->changePending);
    EXPECT_EQ(0u, m_processor->effectFader->state);
    EXPECT_EQ(1u, m_processor->loadingFader->state);
    uint32_t codes[CCiDispatcher::kMaxCollected];
    ASSERT_EQ(1u, m_dispatcher->CollectFor(m_processor.get(), codes));
    EXPECT_EQ(kQmMsgEffectFadeEnded, codes[0]);
}

TEST_F(GameProcessorTest, ChangeToAMissingLocationKeepsTheOldOneRunning)
{
    EnterLocation("harbour");
    Run("function global_on_change_location() Note('changed') end");
    m_processor->RequestLocationChange("nowhere", "");
    EXPECT_TRUE(Journal("event location_load nowhere"));
    EXPECT_EQ(1, m_processor->loadingShown);
    EXPECT_FLOAT_EQ(1.0f, m_processor->inputLockTime);
    GeLogClearLast();
    for (int frame = 0; frame < 3 && !m_processor->changePending; ++frame)
        UpdateFor(0.25);
    ASSERT_EQ(1, m_processor->changePending);
    m_processor->ChangeLocation();
    EXPECT_STREQ("ChangeLocation: cannot load location nowhere ! Ignored\n", GeLogLastMessage().c_str());
    EXPECT_EQ(2, GeLogLastLevel());
    EXPECT_EQ(0, m_processor->changePending);
    EXPECT_TRUE(m_processor->nextLocation.IsEmpty());
    EXPECT_FALSE(Journal("location.stop"));
    EXPECT_STREQ("harbour", m_locations.current->name.c_str());

    // The loading screen fades out and the location goes on updating; the
    // change is not tried again.
    g_journal.clear();
    UpdateFor(0.3);
    UpdateFor(0.3);
    EXPECT_EQ(0, m_processor->loadingShown);
    EXPECT_EQ(0, m_processor->changePending);
    EXPECT_TRUE(Journal("location.update"));

    // A location the manager holds: the old one stops, the new one is current.
    auto* cellar = new FakeLocation("cellar");
    m_locations.Adopt(cellar);
    m_processor->RequestLocationChange("cellar", "");
    m_processor->ChangeLocation();
    EXPECT_EQ(cellar, m_locations.current);
    EXPECT_EQ(0u, m_dispatcher->deliveryEnabled);
}

TEST_F(GameProcessorTest, MessagesWithTheMenuOrAMiniGame)
{
    EnterLocation("harbour");
    m_processor->HandleMessage(&m_screen, QM_MSG_LEFT_DOUBLE_CLICK);
    EXPECT_EQ(1, m_processor->clickPending);
    EXPECT_EQ(1, m_processor->doubleClick);
    m_processor->clickPending = m_processor->doubleClick = 0;
    m_processor->HandleMessage(&m_mouse, QM_MSG_RIGHT_PRESS);
    EXPECT_TRUE(m_inventory.open);
    m_inventory.Hold(true);
    m_processor->HandleMessage(&m_mouse, QM_MSG_RIGHT_PRESS);
    EXPECT_FALSE(m_inventory.open);
    m_processor->HandleMessage(&m_mouse, QM_MSG_RIGHT_PRESS);
    EXPECT_FALSE(m_inventory.HasSelection());

    // An active mini-game takes everything but Escape, which pauses it and
    // opens the menu when it allows the menu.
    auto* arcade = new FakeArcade("arcade: door");
    m_processor->arcades[CGeString("arcade: door")] = arcade;
    m_processor->StartArcadeByName("arcade: door", "level2");
    EXPECT_TRUE(InOrder({"arcade.parameter level2", "arcade.start"}));
    EXPECT_FALSE(m_inventory.input);
    m_processor->HandleMessage(&m_screen, QM_MSG_LEFT_CLICK);
    m_processor->HandleMessage(&m_mouse, QM_MSG_RIGHT_PRESS);
    Key(QM_VK_I);
    EXPECT_EQ(0, m_processor->clickPending);
    EXPECT_FALSE(m_inventory.open);
    arcade->allowMenu = false;
    Key(QM_VK_ESCAPE);
    EXPECT_EQ(0, m_processor->menuOpen);
    arcade->allowMenu = true;
    Key(QM_VK_ESCAPE);
    EXPECT_EQ(1, m_processor->menuOpen);
    EXPECT_EQ(QM_RENDER_MENU, m_processor->renderMask);
    EXPECT_TRUE(InOrder({"menu.open 0", "arcade.pause"}));

    // With the menu open, clicks are ignored; Escape on an open page too.
    m_menu.pageOpen = true;
    g_journal.clear();
    m_processor->HandleMessage(&m_screen, QM_MSG_LEFT_CLICK);
    Key(QM_VK_ESCAPE);
    EXPECT_EQ(0, m_processor->clickPending);
    EXPECT_TRUE(g_journal.empty());
    m_processor->CloseMenu();
    EXPECT_EQ(QM_RENDER_ALL, m_processor->renderMask);
    EXPECT_TRUE(Journal("arcade.resume"));

    // The mini-game ends itself: back to the location without a message.
    GeLogClearLast();
    arcade->Finish();
    EXPECT_EQ(nullptr, m_processor->currentArcade);
    EXPECT_TRUE(m_inventory.input);
    EXPECT_EQ(0, GeLogLastLevel());
    m_processor->StartArcadeByName("arcade: nothing", nullptr);
    EXPECT_STREQ("CQmGameProcessor::StartArcadeByName: No arcade 'arcade: nothing' found! Ignored\n",
                 GeLogLastMessage().c_str());
}

TEST_F(GameProcessorTest, MenuRefusedWhileInputIsLocked)
{
    m_processor->inputLockTime = 0.5f;
    m_processor->OpenMenu(2);
    EXPECT_EQ(0, m_processor->menuOpen);
    m_processor->inputLockTime = 0.0f;
    m_dispatcher->deliveryEnabled = 1;
    m_processor->OpenMenu(2);
    EXPECT_EQ(1, m_processor->menuOpen);
    EXPECT_TRUE(Journal("menu.open 2"));
    EXPECT_EQ(0u, m_dispatcher->deliveryEnabled);
}

TEST_F(GameProcessorTest, WindowCloseRequest)
{
    EXPECT_EQ(0, CQmGameProcessor::OnWindowMessage(nullptr, WM_KEYDOWN, 0, 0));
    m_dispatcher->deliveryEnabled = 1;
    m_inventory.open = 1;
    EXPECT_EQ(1, CQmGameProcessor::OnWindowMessage(nullptr, WM_CLOSE, 0, 0));
    EXPECT_EQ(1, m_processor->menuOpen);
    EXPECT_EQ(QM_RENDER_MENU, m_processor->renderMask);
    EXPECT_EQ(0x80u, m_menu.disabled);
    EXPECT_TRUE(Journal("menu.open 0"));
    EXPECT_FALSE(m_inventory.open);
    EXPECT_EQ(0u, m_dispatcher->deliveryEnabled);

    // The quit command, the mini-game mode and a game without a menu close.
    g_quitRequested = 1;
    EXPECT_EQ(0, CQmGameProcessor::OnWindowMessage(nullptr, WM_CLOSE, 0, 0));
    g_quitRequested = 0;
    CQmGameVars::Set("MiniGameMode", 1);
    EXPECT_EQ(0, CQmGameProcessor::OnWindowMessage(nullptr, WM_CLOSE, 0, 0));
    CQmGameVars::Set("MiniGameMode", 0);
    g_menu = nullptr;
    EXPECT_EQ(0, CQmGameProcessor::OnWindowMessage(nullptr, WM_CLOSE, 0, 0));
}

TEST_F(GameProcessorTest, FinishRequestAndEscapeInMiniGameMode)
{
    FakeLocation* location = EnterLocation("harbour");
    (void)location;
    CQmGameVars::Set("MiniGameMode", 1);
    Key(QM_VK_ESCAPE); // finishes at once
    EXPECT_TRUE(Journal("location.stop"));
    EXPECT_EQ(nullptr, m_locations.current);
    EXPECT_TRUE(Journal("menu.open 0"));
    EXPECT_EQ(0, m_processor->finishRequested);

    CQmGameVars::Clear();
    m_processor->menuOpen = 0;
    EnterLocation("harbour");
    m_processor->finishRequested = 1;
    m_processor->finishMenuArgument = 3;
    m_processor->inputLockTime = 0.5f;
    g_journal.clear();
    UpdateFor(0.1);
    EXPECT_TRUE(InOrder({"location.stop", "menu.open 3"}));
    EXPECT_EQ(0.0f, m_processor->inputLockTime);
}

TEST_F(GameProcessorTest, NewGameClearsTheStateAndRequestsTheStartLocation)
{
    Run("function on_start_new_game() Note('event new_game') end");
    CQmGameVars::Set("gold", 5);
    CQmQuests::Pass("door", "", 1);
    CQmDelayedCalls::Add("later", 1.0f, 0, nullptr);
    m_processor->startLocation = "loc01";
    // A hint on show is taken down: its timers and both visuals.
    m_processor->hints.showTime = 3.0f;
    m_processor->hints.elapsed = 1.0f;
    m_processor->hints.picture->visible = 1;
    m_processor->hints.text->visible = 1;
    m_processor->StartNewGame();
    EXPECT_EQ(0.0f, m_processor->hints.showTime);
    EXPECT_EQ(0.0f, m_processor->hints.elapsed);
    EXPECT_FALSE(m_processor->hints.PictureShown() || m_processor->hints.TextShown());
    EXPECT_EQ(0u, CQmGameVars::Count());
    EXPECT_FALSE(CQmQuests::GetValue("door", ""));
    EXPECT_EQ(0u, CQmDelayedCalls::s_count);
    EXPECT_TRUE(InOrder({"inventory.clear", "dialog.reset", "event new_game", "event location_load loc01"}));

    // The mini-game mode sets its variable and the menu's mask.
    m_processor->SwitchMiniGameMode("arcade_room");
    EXPECT_EQ(1, CQmGameVars::GetValue("MiniGameMode"));
    EXPECT_EQ(0x10u, m_menu.disabled);
}

TEST_F(GameProcessorTest, GlobalCommands)
{
    m_processor->GlobalCommand(":show_inventory");
    EXPECT_TRUE(m_inventory.open);
    m_processor->GlobalCommand(":blink_inventory");
    EXPECT_FALSE(Journal("inventory.blink"));
    m_processor->GlobalCommand(":hide_inventory");
    EXPECT_FALSE(m_inventory.open);
    EXPECT_TRUE(Journal("inventory.release"));
    m_processor->GlobalCommand(":blink_inventory");
    m_processor->GlobalCommand(":unknown");
    EXPECT_TRUE(Journal("inventory.blink"));
}
