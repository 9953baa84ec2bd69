// The basket pushed on the walk grid, under the game processor: a location
// with a camera looking along +z, a walk grid of 50-unit cells with a wall,
// the hero behind the basket and the basket's place. A test player that reads
// the arrows' states and the entities' places drags the basket home; the
// decision between pushes and pulls is checked as a table of cases, and the
// end, the slide, Escape, the tutorial and the saved block beside.
#include "Engine/Core/Gm/GmCamera.h"
#include "Source/GameClasses/QmGameVars.h"
#include "Source/GameClasses/QmPropAimapLockController.h"
#include "Source/Qasimar/QmArcadeDragging.h"
#include "tests/Source/Qasimar/PlacingArcadeFixture.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

using Dragging = CQmArcade_Dragging;
const char* const kArrows[4] = {"left", "right", "up", "down"};
const Vec3 kDirections[4] = {{-1, 0, 0}, {1, 0, 0}, {0, 0, 1}, {0, 0, -1}};

class DraggingTest : public PlacingArcadeTest {
protected:
    void SetUp() override
    {
        setenv("XDG_DATA_HOME", m_home.Path().c_str(), 1);
        PlacingArcadeTest::SetUp();
        m_data.Write("gui/arcades/draggin.xml",
                     "<GUI><CONTROLSET>"
                     "<C Name='background' Type='EGCT_CONTROL'><Property Name='EP_X'>1030</Property></C>"
                     "<C Name='close' Type='EGCT_BUTTON'/><C Name='left' Type='EGCT_BUTTON'/>"
                     "<C Name='right' Type='EGCT_BUTTON'/><C Name='up' Type='EGCT_BUTTON'/>"
                     "<C Name='down' Type='EGCT_BUTTON'/></CONTROLSET></GUI>");
        // 20 x 20 cells of 50 from (-500, -500); a wall right of the basket
    // (x 50 to 200, z -100 to 150).
        std::vector<std::string> rows(20, std::string(20, '.'));
        for (int row = 8; row <= 12; ++row)
            rows[size_t(row)].replace(11, 3, "###");
        WalkGridOptions options;
        options.cellSize = 50.0f;
        options.originX = -500.0f;
        options.originZ = -500.0f;
        grid = Grid(rows, options);
        auto* camera = new CGmPerspectiveCamera();
        camera->eye = Vec3{0.0f, 600.0f, -800.0f};
        camera->target = Vec3{0.0f, 0.0f, 0.0f};
        camera->UpdateView();
        QmCameraGroup group;
        group.camera = camera;
        location->cameraGroups.Add(group);
        hero = Figure("qasimar", Vec3{0.0f, 0.0f, -100.0f},
                      {{"qasimar_idle_01", 10, 0.0f},
                       {"qasimar_start_shifts_basket", 10, 0.0f},
                       {"qasimar_shifts_basket_forward", 10, 0.0f},
                       {"qasimar_cycle_shifts_basket", 10, 0.0f}},
                      400.0f);
        Face(hero, Vec3{0.0f, 0.0f, 1.0f});
        basket = Thing("basket", Vec3{0.0f, 0.0f, 0.0f});
        auto* lock = new CQmPropAimapLockController(basket);
        basket->SetProp(QM_PROP_AIMAP_LOCK, lock);
        lock->SetEnabled(true);
        place = Thing("basket_place", Vec3{-104.0f, 0.0f, -104.0f});
        game = new Dragging();
        tutorial = new CQasimarArcade_DraggingTutorial();
        m_processor->AddArcade(game);
        m_processor->AddArcade(tutorial);
        NoteEvents({"dragging_arcade_end", "dragging_arcade_tutor_firstshift"});
        g_journal.clear();
    }
    void TearDown() override
    {
        PlacingArcadeTest::TearDown();
        CQmGameVars::Clear();
        unsetenv("XDG_DATA_HOME");
    }

    static void Face(CQmEntity* entity, const Vec3& direction)
    {
        entity->frame.SetAngles(Vec3{0.0f, QmHeadingAngle(direction), 0.0f});
        entity->frame.UpdateWorldMatrix();
    }
    void Start(const char* arcade = "arcade: dragging", const char* basketName = "basket")
    {
        m_processor->StartArcadeByName(arcade, basketName);
    }
    bool Enabled(const char* arrow) const { return Control(arrow) && Control(arrow)->enabledState; }
    // Frames until the game waits for a button again and the arrows show
    // it (a frame later), or ends.
    bool WaitForButtons(Dragging* which, int frames = 400)
    {
        for (int f = 0; f < frames && which->started; ++f) {
            Frame();
            if (which->state == Dragging::kWaiting) {
                Frame();
                return true;
            }
        }
        return false;
    }
    float PlaceDistance() const
    {
        const float dx = basket->frame.position.x - place->frame.position.x;
        const float dz = basket->frame.position.z - place->frame.position.z;
        return std::sqrt(dx * dx + dz * dz);
    }
    // Events of the game, in order.
    std::vector<std::string> Events() const
    {
        std::vector<std::string> events;
        for (const std::string& entry : g_journal)
            if (entry.rfind("dragging", 0) == 0)
                events.push_back(entry);
        return events;
    }
    void Escape()
    {
        m_keyboard.lastPressedKey = QM_VK_ESCAPE;
        m_processor->HandleMessage(&m_keyboard, QM_MSG_KEY_DOWN);
        m_dispatcher->PostMessage(m_dispatcher->PendingQueue(), &m_keyboard, QM_MSG_KEY_DOWN);
        m_dispatcher->RunPass();
    }

    CTestTempDir m_home;
    CQmAiMap* grid = nullptr;
    CQmEntity* hero = nullptr;
    CQmEntity* basket = nullptr;
    CQmEntity* place = nullptr;
    Dragging* game = nullptr;
    CQasimarArcade_DraggingTutorial* tutorial = nullptr;
};

TEST_F(DraggingTest, TheTestPlayerDragsTheBasketHome)
{
    Start();
    ASSERT_TRUE(game->started);
    Frame();
    // The wall: no way to push or pull the basket to the right.
    EXPECT_FALSE(Enabled("right"));
    EXPECT_TRUE(Enabled("left"));
    // Order of preference when two arrows help as much.
    const int preference[4] = {3, 0, 2, 1};
    int shifts = 0;
    std::vector<int32_t> moves;
    while (game->started && shifts < 20) {
        const Vec3 to = {place->frame.position.x - basket->frame.position.x, 0.0f,
                         place->frame.position.z - basket->frame.position.z};
        int best = -1;
        float gain = 1.0f;
        for (int i : preference) {
            const float along = to.x * kDirections[i].x + to.z * kDirections[i].z;
            if (Enabled(kArrows[i]) && along > gain) {
                best = i;
                gain = along;
            }
        }
        ASSERT_GE(best, 0) << "no arrow helps at shift " << shifts;
        Click(kArrows[best]);
        // Shifting now, or walking first to push or pull (by its action).
        moves.push_back(game->state == Dragging::kBeforeWalk ? 10 + game->action : game->state);
        ++shifts;
        Frame();
        for (const char* arrow : kArrows)
            EXPECT_FALSE(Enabled(arrow)) << "arrows while shifting";
        WaitForButtons(game);
    }
    EXPECT_FALSE(game->started);
    EXPECT_EQ(4, shifts);
    // Down: the hero stands behind the basket facing up and pulls at once.
    // Left: the push point lies in the wall, so he walks round to pull.
    // Down: he faces left, walks behind the basket and pushes. Left: he
    // faces down; the push point beside the wall's corner is out of reach,
    // so he walks round to pull again.
    EXPECT_EQ((std::vector<int32_t>{Dragging::kPulling, 10 + Dragging::kPull, 10 + Dragging::kPush,
                                    10 + Dragging::kPull}),
              moves);
    // On its place, and the hero keeps his.
    EXPECT_FLOAT_EQ(place->frame.position.x, basket->frame.position.x);
    EXPECT_FLOAT_EQ(place->frame.position.z, basket->frame.position.z);
    EXPECT_EQ(1, basket->GetProp(QM_PROP_AIMAP_LOCK)->enabled);
    // The end event waits for the background to slide out.
    EXPECT_EQ(game, m_processor->currentArcade);
    EXPECT_TRUE(Events().empty());
    for (int f = 0; f < 100 && m_processor->currentArcade; ++f)
        Frame();
    EXPECT_EQ(nullptr, m_processor->currentArcade);
    EXPECT_EQ(std::vector<std::string>{"dragging_arcade_end(yard,basket)"}, Events());
    EXPECT_EQ(g_mainControlSet, m_gui.currentSet);
}

TEST_F(DraggingTest, PushOrPullDecidedByFacingBlockedCellsAndReach)
{
    // The wall stands elsewhere in these cases.
    for (int32_t i = 0; i < grid->count; ++i)
        grid->cells[i].flags = 0;
    Start();
    ASSERT_TRUE(game->started);
    struct Case {
        const char* what;
        Vec3 facing;            // the hero's, the shift is along +x
        std::vector<float> blockedX; // cells blocked on the z = 0 row, by x
        bool push, pull;
        int32_t state;          // after the request
        float walkX;            // walk target when walking first
    };
    // Along +x from the basket at 0: P -100, S1 50 (cell of 75), T 100, S2
    // 150 (cell of 175). A blocked point is unreachable.
    const Case cases[] = {
        {"along, free", {1, 0, 0}, {}, true, true, Dragging::kPushing, 0},
        {"along, S1 blocked", {1, 0, 0}, {75}, false, true, Dragging::kBeforeWalk, 100},
        {"along, S1 and S2 blocked", {1, 0, 0}, {75, 175}, false, false, Dragging::kWaiting, 0},
        {"against, free", {-1, 0, 0}, {}, true, true, Dragging::kPulling, 0},
        {"against, S2 blocked", {-1, 0, 0}, {175}, true, false, Dragging::kBeforeWalk, -100},
        {"against, P unreachable", {-1, 0, 0}, {-100}, false, true, Dragging::kPulling, 0},
        {"sideways, free", {0, 0, 1}, {}, true, true, Dragging::kBeforeWalk, -100},
        {"sideways, S1 blocked", {0, 0, 1}, {75}, false, true, Dragging::kBeforeWalk, 100},
        {"sideways, P and T unreachable", {0, 0, 1}, {-100, 100}, false, false, Dragging::kWaiting, 0},
        {"back diagonal, S1 blocked", {-0.8f, 0, 0.6f}, {75}, true, true, Dragging::kBeforeWalk, -100},
        {"back diagonal, P unreachable", {-0.8f, 0, 0.6f}, {-100}, false, true, Dragging::kBeforeWalk, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (float x : c.blockedX)
            grid->cells[grid->GetCellIndex(x, 0.0f)].flags |= 1;
        Face(hero, c.facing);
        game->state = Dragging::kWaiting;
        const Dragging::Possible can = game->Test(Vec3{1, 0, 0});
        EXPECT_EQ(c.push, can.push);
        EXPECT_EQ(c.pull, can.pull);
        Frame();
        EXPECT_EQ(c.push || c.pull, Enabled("right"));
        Click("right");
        EXPECT_EQ(c.state, game->state);
        if (c.state == Dragging::kBeforeWalk) {
            EXPECT_FLOAT_EQ(c.walkX, game->walkTarget.x);
        }
        for (float x : c.blockedX)
            grid->cells[grid->GetCellIndex(x, 0.0f)].flags &= uint8_t(~1u);
        // Back to the start for the next case.
        game->state = Dragging::kWaiting;
        hero->frame.SetPosition(Vec3{0.0f, 0.0f, -100.0f});
        basket->frame.SetPosition(Vec3{0.0f, 0.0f, 0.0f});
    }
}

TEST_F(DraggingTest, TheArrowsFollowTheCameraLaidFlat)
{
    struct Case {
        Vec3 eye;
        Vec3 right, forward;
    };
    const float h = std::sqrt(0.5f);
    const Case cases[] = {
        {{0, 600, -800}, {1, 0, 0}, {0, 0, 1}},
        {{-800, 600, -800}, {h, 0, -h}, {h, 0, h}},
        {{800, 300, 0}, {0, 0, 1}, {-1, 0, 0}},
    };
    CGmCamera* camera = location->ActiveCamera();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.eye.x);
        camera->eye = c.eye;
        camera->UpdateView();
        Start();
        ASSERT_TRUE(game->started);
        EXPECT_NEAR(c.right.x, Dragging::s_right.x, 1e-5f);
        EXPECT_NEAR(c.right.z, Dragging::s_right.z, 1e-5f);
        EXPECT_NEAR(c.forward.x, Dragging::s_forward.x, 1e-5f);
        EXPECT_NEAR(c.forward.z, Dragging::s_forward.z, 1e-5f);
        EXPECT_EQ(0.0f, Dragging::s_forward.y);
        game->Finish();
        Frames(100);
        ASSERT_EQ(nullptr, m_processor->currentArcade);
    }
}

TEST_F(DraggingTest, FreeCellsAtTheGridsEdgesAndOutside)
{
    // The test point is shifted 25 along x; the grid spans -500 to 500.
    grid->cells[grid->GetCellIndex(-225.0f, 125.0f)].flags = 2; // locked by an entity
    struct Case {
        Vec3 point;
        bool free;
    };
    const Case cases[] = {
        {{-525.0f, 0, 0}, false},   {{-524.0f, 0, 0}, true},  {{474.0f, 0, 0}, true},
        {{475.0f, 0, 0}, false},    {{0, 0, -500.0f}, false}, {{0, 0, -499.5f}, true},
        {{0, 0, 499.5f}, true},     {{0, 0, 500.0f}, false},  {{125.0f, 0, 0}, false}, // the wall
        {{-250.0f, 0, 125.0f}, false}, {{-250.0f, 0, 175.0f}, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.free, Dragging::Free(c.point)) << c.point.x << ", " << c.point.z;
}

TEST_F(DraggingTest, AShiftEndsTheGameOnlyAfterMoreThanASecond)
{
    // Within 30 of the place already: nothing happens until a shift ran.
    place->frame.SetPosition(Vec3{0.0f, 0.0f, 26.0f});
    Start();
    Frames(5);
    ASSERT_TRUE(game->started);
    Click("up");
    ASSERT_EQ(Dragging::kPushing, game->state);
    Frames(24);
    EXPECT_TRUE(game->started) << "0.96 s into the shift";
    EXPECT_NEAR(48.0f, basket->frame.position.z, 0.01f);
    // The second that ends the shift is the first check.
    int frames = 24;
    while (game->started && frames < 40) {
        Frame();
        ++frames;
    }
    EXPECT_GE(frames, 25);
    EXPECT_LE(frames, 26);
    EXPECT_FALSE(game->started);
    EXPECT_FLOAT_EQ(26.0f, basket->frame.position.z);
}

TEST_F(DraggingTest, EscapeEndsTheGameAndTheMenuNeverOpens)
{
    Start();
    Frames(3);
    // Paused (as under a menu opened by other means) the arrows do nothing.
    game->Pause();
    Click("up");
    EXPECT_EQ(Dragging::kWaiting, game->state);
    game->Resume();
    Escape();
    EXPECT_FALSE(Journal("menu.open 0"));
    EXPECT_FALSE(m_processor->menuOpen);
    EXPECT_FALSE(game->started);
    // A click while sliding out asks for nothing.
    Click("up");
    EXPECT_EQ(Dragging::kSlidingOut, game->state);
    Frames(100);
    EXPECT_EQ(std::vector<std::string>{"dragging_arcade_end(yard,basket)"}, Events());

    // The close button ends it too.
    Start();
    ASSERT_TRUE(game->started);
    Click("close");
    EXPECT_FALSE(game->started);
}

TEST_F(DraggingTest, TheTutorialKeepsCloseAndEscapeShutAndTellsTheFirstShift)
{
    for (int tutor : {1, 2}) {
        SCOPED_TRACE(tutor);
        CQmGameVars::Set("iTutor", tutor);
        g_journal.clear();
        hero->frame.SetPosition(Vec3{0.0f, 0.0f, -100.0f});
        basket->frame.SetPosition(Vec3{0.0f, 0.0f, 0.0f});
        Face(hero, Vec3{0.0f, 0.0f, 1.0f});
        Start("arcade: dragging_tutorial");
        ASSERT_TRUE(tutorial->started);
        Frame();
        EXPECT_EQ(0, Control("close")->enabledState);
        Escape();
        Click("close");
        EXPECT_TRUE(tutorial->started);
        Click("up");
        ASSERT_TRUE(WaitForButtons(tutorial));
        EXPECT_EQ(tutor == 2 ? std::vector<std::string>{"dragging_arcade_tutor_firstshift()"}
                             : std::vector<std::string>{},
                  Events());
        tutorial->Finish();
        Frames(100);
        EXPECT_EQ(nullptr, m_processor->currentArcade);
    }
}

TEST_F(DraggingTest, AStartWithoutBasketOrHeroIsRefused)
{
    struct Case {
        const char* basketName;
        bool withoutHero;
        const char* logged;
    };
    const Case cases[] = {{"crate", false, "crate"}, {nullptr, false, "basket"}, {"basket", true, "qasimar"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.logged);
        if (c.withoutHero)
            location->RemoveEntity("qasimar");
        game->basketName = "";
        GeLogClearLast();
        Start("arcade: dragging", c.basketName);
        EXPECT_FALSE(game->started);
        EXPECT_EQ(nullptr, m_processor->currentArcade);
        EXPECT_EQ(2, GeLogLastLevel());
        EXPECT_NE(std::string::npos, std::string(GeLogLastMessage().c_str()).find(c.logged));
        EXPECT_TRUE(Events().empty());
        EXPECT_EQ(g_mainControlSet, m_gui.currentSet);
        Frames(2);
    }
}

TEST_F(DraggingTest, TheSavedBlockHoldsTheBasketAndDamagedBlocksAreRefused)
{
    const std::string longName(63, 'b');
    CQmEntity* longBasket = Thing(longName.c_str(), Vec3{-2.5f, 0.0f, 1.25f});
    Start("arcade: dragging", longName.c_str());
    ASSERT_TRUE(game->started);
    m_processor->SaveGame(4);
    const std::string file = CTestTempDir::Read(m_home / "qasimar/save/slot_4.s");
    ASSERT_GE(file.size(), 280u);
    EXPECT_EQ(0, std::memcmp(file.data() + 72, "arcade: dragging\0", 17));
    uint32_t size;
    std::memcpy(&size, file.data() + 196, 4);
    EXPECT_EQ(80u, size);
    const std::string block = file.substr(200, 80);
    float position[3];
    std::memcpy(position, block.data(), sizeof(position));
    EXPECT_EQ(-2.5f, position[0]);
    EXPECT_EQ(1.25f, position[2]);
    EXPECT_EQ(std::string(4, '\0'), block.substr(12, 4));
    EXPECT_EQ(longName + '\0', block.substr(16, 64));

    // Read back: the basket goes to the saved place.
    longBasket->frame.SetPosition(Vec3{300.0f, 0.0f, 300.0f});
    game->LoadState(reinterpret_cast<const uint8_t*>(block.data()), 80);
    EXPECT_EQ(-2.5f, longBasket->frame.position.x);
    // Short blocks are refused; a name without its terminator is cut at 63.
    longBasket->frame.SetPosition(Vec3{300.0f, 0.0f, 300.0f});
    GeLogClearLast();
    game->LoadState(reinterpret_cast<const uint8_t*>(block.data()), 79);
    EXPECT_EQ(2, GeLogLastLevel());
    EXPECT_EQ(300.0f, longBasket->frame.position.x);
    std::string unterminated = block;
    unterminated.replace(16, 64, std::string(64, 'b'));
    game->LoadState(reinterpret_cast<const uint8_t*>(unterminated.data()), 80);
    EXPECT_EQ(-2.5f, longBasket->frame.position.x);
    EXPECT_EQ(longName, game->basketName.c_str());
}

} // namespace
