// The mini-game base under the game processor: the dispatcher registration
// for the game's life, the messages a game takes (active, current, not
// paused), the start guard, a refused start, the finish back to the location,
// and the game's own control set.
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Gui/GuiControlSet.h"
#include "tests/Source/GameClasses/GameProcessorFakes.h"
#include "tests/Support/TestTempDir.h"

namespace {

// Notes every message that reaches the game, and what it is asked to do.
class ProbeArcade : public FakeArcade {
public:
    explicit ProbeArcade(const char* arcadeName) : FakeArcade(arcadeName) {}
    void OnMessage(CCiMessageClient*, uint32_t code) override { seen.push_back(code); }
    void StartGame() override
    {
        ++starts;
        if (refuse)
            RefuseStart("entity 'golem'");
        else
            FakeArcade::StartGame();
    }
    void Finish() override
    {
        Note(std::string(name.c_str()) + ".finish");
        FakeArcade::Finish();
    }
    void Update() override
    {
        FakeArcade::Update();
        if (stopInUpdate)
            active = 0;
    }
    void RenderDebug() override { Note("arcade.debug"); }
    std::vector<uint32_t> seen;
    int starts = 0;
    bool refuse = false;
    bool stopInUpdate = false;
};

class BaseArcadeTest : public GameProcessorTest {
protected:
    void SetUp() override
    {
        GameProcessorTest::SetUp();
        m_dispatcher->deliveryEnabled = 1;
        g_dataRoot = (m_data.Path() + "/").c_str();
        g_mainControlSet = m_gui.CreateControlSet(CGeString("mainCtrlSet"));
        m_gui.currentSet = g_mainControlSet;
        GeLogClearLast();
    }
    void TearDown() override
    {
        m_processor->currentArcade = nullptr;
        g_mainControlSet = nullptr;
        g_dataRoot = "";
        GameProcessorTest::TearDown();
    }

    ProbeArcade* Add(const char* arcadeName)
    {
        auto* arcade = new ProbeArcade(arcadeName);
        m_processor->arcades[CGeString(arcadeName)] = arcade;
        return arcade;
    }

    // Posts a message as the given sender and runs one dispatch pass.
    void Deliver(CCiMessageClient* sender, uint32_t code)
    {
        m_dispatcher->PostMessage(m_dispatcher->PendingQueue(), sender, code);
        m_dispatcher->RunPass();
    }

    CTestTempDir m_data;
};

} // namespace

TEST_F(BaseArcadeTest, RegisteredForItsLifeAndPurgedAtTheEnd)
{
    auto* arcade = new ProbeArcade("arcade: keys");
    EXPECT_TRUE(m_dispatcher->HoldsRow(arcade));
    EXPECT_EQ(CGeTypedObject::kUntyped, arcade->GetTypeId());
    EXPECT_STREQ("arcade: keys", arcade->name.c_str());
    EXPECT_EQ(0, arcade->active | arcade->paused);
    EXPECT_EQ(nullptr, arcade->controlSet);
    // A message it posted is purged with it: the pass delivers nothing of it.
    arcade->PostMessage(77);
    delete arcade;
    EXPECT_FALSE(m_dispatcher->HoldsRow(arcade));
    uint32_t codes[CCiDispatcher::kMaxCollected];
    EXPECT_EQ(0u, m_dispatcher->CollectFor(arcade, codes));
}

TEST_F(BaseArcadeTest, TakesMessagesOnlyWhileActiveCurrentAndNotPaused)
{
    ProbeArcade* game = Add("arcade: sail");
    ProbeArcade* other = Add("arcade: door");
    struct Case {
        const char* state;
        bool active, current, paused, takes;
    } cases[] = {
        {"running", true, true, false, true},   {"paused under the menu", true, true, true, false},
        {"not started", false, true, false, false}, {"active, another current", true, false, false, false},
        {"finished", false, false, false, false},
    };
    for (const Case& c : cases) {
        game->seen.clear();
        game->active = c.active ? 1 : 0;
        game->paused = c.paused ? 1 : 0;
        m_processor->currentArcade = c.current ? game : other;
        Deliver(&m_mouse, QM_MSG_LEFT_PRESS);
        Deliver(&m_keyboard, QM_MSG_KEY_DOWN);
        EXPECT_EQ(c.takes ? 2u : 0u, game->seen.size()) << c.state;
    }
}

TEST_F(BaseArcadeTest, MenuButtonsReachNoGameBeneathTheMenu)
{
    // Two games started in a row (the first stays active) and one idle game;
    // Escape opens the menu over the current one, which is paused.
    ProbeArcade* first = Add("arcade: keys");
    ProbeArcade* second = Add("arcade: fighting");
    ProbeArcade* idle = Add("arcade: sail");
    EnterLocation("harbour");
    m_processor->StartArcadeByName("arcade: keys", nullptr);
    m_processor->StartArcadeByName("arcade: fighting", nullptr);
    EXPECT_EQ(1, first->active & second->active);
    Key(QM_VK_ESCAPE);
    ASSERT_EQ(1, m_processor->menuOpen);
    ASSERT_EQ(1, second->paused);
    // The menu's button: the mouse press and release, then the button's click.
    CGuiControl button(100.0f, 40.0f);
    m_dispatcher->RunPass(); // the pass after opening drops what was pending
    Deliver(&m_mouse, QM_MSG_LEFT_PRESS);
    Deliver(&m_mouse, QM_MSG_LEFT_RELEASE);
    Deliver(&button, QM_MSG_LEFT_CLICK);
    for (ProbeArcade* game : {first, second, idle})
        EXPECT_TRUE(game->seen.empty()) << game->name.c_str();
    // Closed again, the current game plays on.
    m_processor->CloseMenu();
    m_dispatcher->RunPass();
    Deliver(&m_mouse, QM_MSG_LEFT_PRESS);
    EXPECT_EQ(std::vector<uint32_t>{QM_MSG_LEFT_PRESS}, second->seen);
    EXPECT_TRUE(first->seen.empty());
}

TEST_F(BaseArcadeTest, StartWhileActiveDoesNothingAndFinishReturnsToTheLocation)
{
    ProbeArcade* game = Add("arcade: throwing");
    m_processor->StartArcadeByName("arcade: throwing", nullptr);
    m_processor->StartArcadeByName("arcade: throwing", "again");
    EXPECT_EQ(1, game->starts);
    EXPECT_EQ(game, m_processor->currentArcade);

    game->Finish();
    EXPECT_EQ(0, game->active);
    EXPECT_EQ(nullptr, m_processor->currentArcade);
    EXPECT_TRUE(m_inventory.input);
    EXPECT_TRUE(m_inventory.active);
    EXPECT_EQ(0, GeLogLastLevel());
    // Finished, it starts again.
    m_processor->StartArcadeByName("arcade: throwing", nullptr);
    EXPECT_EQ(2, game->starts);
    EXPECT_EQ(1, game->active);
}

TEST_F(BaseArcadeTest, RefusedStartLeavesNoGameCurrentAndTheInventoryShown)
{
    ProbeArcade* running = Add("arcade: door");
    ProbeArcade* game = Add("arcade: building");
    game->refuse = true;
    m_processor->StartArcadeByName("arcade: door", nullptr);
    m_processor->StartArcadeByName("arcade: building", nullptr);
    EXPECT_EQ(nullptr, m_processor->currentArcade);
    EXPECT_EQ(0, game->active);
    EXPECT_TRUE(Journal("arcade: building.finish"));
    EXPECT_TRUE(m_inventory.input);
    EXPECT_TRUE(m_inventory.active);
    EXPECT_STREQ("arcade: building: entity 'golem' is missing, the game does not start\n", GeLogLastMessage().c_str());
    EXPECT_EQ(2, GeLogLastLevel());
    EXPECT_EQ(1, running->active); // the game before is not finished by it
}

TEST_F(BaseArcadeTest, OwnControlSetIsCreatedLoadedAndReleased)
{
    m_data.Write("gui/arcades/door.xml",
                 "<GUI><CONTROLSET><C Name='wheel' Type='EGCT_CONTROL'/><C Name='exit' Type='EGCT_CONTROL'/>"
                 "</CONTROLSET></GUI>");
    ProbeArcade* game = Add("arcade: door");
    CGuiControlSet* set = game->CreateControlSet("gui/arcades/door.xml");
    ASSERT_NE(nullptr, set);
    EXPECT_STREQ("_ctrlset_arcade: door", set->name.c_str());
    EXPECT_EQ(set, m_gui.currentSet);
    EXPECT_EQ(g_mainControlSet, game->previousControlSet);
    EXPECT_NE(nullptr, set->FindControl(CGeString("wheel")));
    EXPECT_EQ(2u, set->controls.count);
    // A second call loads the file again into the same set.
    EXPECT_EQ(set, game->CreateControlSet("gui/arcades/door.xml"));
    EXPECT_EQ(4u, set->controls.count);
    EXPECT_EQ(g_mainControlSet, game->previousControlSet);

    game->ReleaseControlSet();
    EXPECT_EQ(nullptr, game->controlSet);
    EXPECT_EQ(nullptr, m_gui.FindControlSet(CGeString("_ctrlset_arcade: door")));
    EXPECT_EQ(g_mainControlSet, m_gui.currentSet);
    game->ReleaseControlSet(); // none: nothing happens
    EXPECT_EQ(g_mainControlSet, m_gui.currentSet);

    // The set current at the start is deleted meanwhile (a puzzle set after a
    // location change): the main set becomes current instead.
    CGuiControlSet* puzzle = m_gui.CreateControlSet(CGeString("puzzle"));
    m_gui.currentSet = puzzle;
    game->CreateControlSet("gui/arcades/door.xml");
    EXPECT_EQ(puzzle, game->previousControlSet);
    m_gui.RemoveControlSet(puzzle);
    delete puzzle;
    game->ReleaseControlSet();
    EXPECT_EQ(g_mainControlSet, m_gui.currentSet);
    // Still held, the set before comes back.
    CGuiControlSet* dialog = m_gui.CreateControlSet(CGeString("dialog"));
    m_gui.currentSet = dialog;
    game->CreateControlSet("gui/arcades/door.xml");
    game->ReleaseControlSet();
    EXPECT_EQ(dialog, m_gui.currentSet);
}

TEST_F(BaseArcadeTest, FrameStepsRunTheGameAndTheLocationsClicksOnceItIsInactive)
{
    EnterLocation("harbour");
    ProbeArcade* game = Add("arcade: platforms");
    m_processor->StartArcadeByName("arcade: platforms", nullptr);
    // Active: the game's update, no click handling.
    m_processor->clickPending = 1;
    UpdateFor(0.04);
    EXPECT_TRUE(Journal("arcade.update"));
    EXPECT_EQ(1, m_processor->clickPending);
    // A game that clears active in its update without finishing stays
    // current, and the location's clicks run in the same frame.
    game->stopInUpdate = true;
    g_journal.clear();
    UpdateFor(0.04);
    EXPECT_EQ(game, m_processor->currentArcade);
    EXPECT_EQ(0, m_processor->clickPending);
    EXPECT_TRUE(InOrder({"location.update", "arcade.update"}));

    // Drawn after the location, its debug drawing only under the switch.
    for (uint8_t debug : {0, 1}) {
        g_showAuxGeom = debug;
        g_journal.clear();
        m_processor->Render(false);
        EXPECT_TRUE(InOrder({"location.render 119", "arcade.render"}));
        EXPECT_EQ(debug == 1, InOrder({"arcade.render", "arcade.debug", "inventory.render"}));
    }
    g_showAuxGeom = 0;
}

TEST_F(BaseArcadeTest, EscapeMenuNewGameAndModeSwitchFinishTheGameAsTheyShould)
{
    EnterLocation("harbour");
    ProbeArcade* game = Add("arcade: fighting");
    ProbeArcade* idle = Add("arcade: empty");

    // A game that never sets active: Escape opens the menu as in the
    // location and does not pause it.
    m_processor->StartArcadeByName("arcade: empty", nullptr);
    idle->active = 0;
    Key(QM_VK_ESCAPE);
    EXPECT_EQ(1, m_processor->menuOpen);
    EXPECT_EQ(0, idle->paused);
    m_processor->CloseMenu();
    EXPECT_FALSE(Journal("arcade.resume"));

    // In the mini-game mode Escape ends the game and leaves to the menu, even
    // when the game forbids the menu.
    m_processor->StartArcadeByName("arcade: fighting", nullptr);
    game->allowMenu = false;
    CQmGameVars::Set("MiniGameMode", 1);
    Key(QM_VK_ESCAPE);
    EXPECT_TRUE(Journal("arcade: fighting.finish"));
    EXPECT_EQ(nullptr, m_processor->currentArcade);
    EXPECT_EQ(1, m_processor->menuOpen);
    EXPECT_EQ(nullptr, m_locations.current);
    CQmGameVars::Clear();
    m_processor->CloseMenu();

    // A new game finishes the current game, active or not; the mode switch
    // only an active one.
    struct Case {
        const char* step;
        bool active;
        bool finished;
    } cases[] = {{"new game", true, true}, {"new game", false, true}, {"mode switch", true, true},
                 {"mode switch", false, false}};
    int round = 0;
    for (const Case& c : cases) {
        EnterLocation(("yard" + std::to_string(++round)).c_str());
        m_processor->StartArcadeByName("arcade: fighting", nullptr);
        game->active = c.active ? 1 : 0;
        g_journal.clear();
        if (std::string(c.step) == "new game")
            m_processor->StartNewGame();
        else
            m_processor->SwitchMiniGameMode("arena");
        EXPECT_EQ(c.finished, Journal("arcade: fighting.finish")) << c.step << " " << c.active;
        game->active = 0;
        m_processor->currentArcade = nullptr;
        CQmGameVars::Clear();
    }
}
