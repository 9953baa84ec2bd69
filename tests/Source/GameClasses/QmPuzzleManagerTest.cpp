// The puzzle manager headless: the real GUI manager, keyboard and mouse on
// the recording device, the real script processor with the script-event
// recorder, a current location "room", a data root in a scratch directory
// (a control-set file and a 4 by 2 frame TGA written by the tests), and a
// frame timer whose delta the test drives. Input goes in as window messages;
// a frame is the GUI manager's update and two dispatch passes.
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Gui/GeCursorSet.h"
#include "Engine/Gui/GuiCustom.h"
#include "Engine/Gui/GuiPropertyIds.h"
#include "Engine/Gui/GuiTextControl.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmPuzzleManager.h"
#include "Source/GameClasses/QmScriptProcessor.h"
#include "tests/Engine/Core/Gm/ImageFixtures.h"
#include "tests/Engine/Gui/GuiTestFixture.h"
#include "tests/Source/GameClasses/ScriptEventRecorder.h"
#include "tests/Support/TestTempDir.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>

namespace {

const char kControlSetFile[] = "<GUI><CONTROLSET Name='board'>"
                               "<Control Name='loaded' Type='EGCT_CUSTOM'>"
                               "<Property Name='EP_W'>50</Property><Property Name='EP_H'>50</Property></Control>"
                               "<Control Name='label' Type='EGCT_TEXTCONTROL'>"
                               "<Property Name='EP_W'>200</Property><Property Name='EP_H'>30</Property></Control>"
                               "</CONTROLSET></GUI>";

} // namespace

class PuzzleTest : public GuiTest {
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        g_guiManager = manager.get();
        g_mouse = mouse.get();
        g_keyboard = keyboard.get();
        g_dataRoot = (dir.Path() + "/").c_str();
        g_gameProcessor = &processor; // scripts events fire only with a game processor
        ScriptInit();
        ASSERT_NE(nullptr, g_luaState);
        events = std::make_unique<CScriptEventRecorder>();
        locations.current = &room;
        g_locationManager = &locations;
        puzzles = std::make_unique<CQmPuzzleManager>();
        g_puzzleManager = puzzles.get();
        WriteTga("tiles.tga", 4, 2);
        dir.Write("board.xml", kControlSetFile);
    }

    void TearDown() override
    {
        g_puzzleManager = nullptr;
        puzzles.reset();
        locations.current = nullptr;
        g_locationManager = nullptr;
        events.reset();
        ScriptShutdown();
        g_gameProcessor = nullptr;
        g_dataRoot = "";
        g_guiManager = nullptr;
        g_mouse = nullptr;
        g_keyboard = nullptr;
        GuiTest::TearDown();
    }

    // A 32-bit TGA of columns x rows frames of 8 by 8 pixels, each frame one
    // colour.
    void WriteTga(const std::string& name, uint32_t columns, uint32_t rows)
    {
        imagefixture::TgaSpec spec;
        spec.width = columns * 8;
        spec.height = rows * 8;
        spec.topFirst = true;
        for (uint32_t y = 0; y < spec.height; ++y)
            for (uint32_t x = 0; x < spec.width; ++x) {
                const uint8_t frame = static_cast<uint8_t>((y / 8) * columns + x / 8);
                spec.pixels.insert(spec.pixels.end(), {uint8_t(frame * 30), 0, uint8_t(255 - frame * 30), 255});
            }
        const imagefixture::Bytes bytes = imagefixture::MakeTga(spec);
        dir.Write(name, std::string(bytes.begin(), bytes.end()));
    }

    // One game frame of input: the GUI manager's update, then two dispatch
    // passes (the controls' events reach the puzzle manager in the second).
    void InputFrame()
    {
        timer.delta = 0.01f;
        manager->Update();
        dispatcher.RunPass();
        dispatcher.RunPass();
    }

    // One frame of the tasks.
    void TaskFrame(float delta)
    {
        timer.delta = delta;
        puzzles->Update();
    }

    CGuiCustom* Custom(const char* name) { return static_cast<CGuiCustom*>(puzzles->FindControl(name)); }
    CGmVisual2D* Sprite(const char* name) { return dynamic_cast<CGmVisual2D*>(Custom(name)->attached); }

    float Rotation(const char* name)
    {
        return static_cast<float>(puzzles->FindControl(name)->placement.angles.z * 57.295780181884766);
    }

    void RunScript(const std::string& text)
    {
        CGeString error;
        EXPECT_TRUE(ScriptRunString(text.c_str(), error)) << text << ": " << error.c_str();
    }

    std::string Global(const char* name)
    {
        lua_getfield(g_luaState, LUA_GLOBALSINDEX, name);
        const char* text = lua_tostring(g_luaState, -1);
        std::string value = text ? text : "nil";
        lua_pop(g_luaState, 1);
        return value;
    }

    CTestTempDir dir;
    CQmGameProcessor processor;
    CQmLocation room{"room"};
    CQmLocationManager locations;
    std::unique_ptr<CScriptEventRecorder> events;
    std::unique_ptr<CQmPuzzleManager> puzzles;
};

// Controls -------------------------------------------------------------------

TEST_F(PuzzleTest, AddControlRefusesBadNamesTakenNamesAndTheHundredTwentyEighth)
{
    const std::string longest(31, 'n');
    const std::string tooLong(32, 'n');
    struct Case {
        const char* name;
        bool accepted;
    } cases[] = {
        {nullptr, false}, {longest.c_str(), true}, {tooLong.c_str(), false}, {"a", true}, {"a", false},
    };
    for (const Case& c : cases) {
        const uint32_t before = puzzles->controlCount;
        EXPECT_EQ(c.accepted, puzzles->AddControl(c.name, 5.0f, 6.0f, 10.0f, 20.0f)) << (c.name ? c.name : "null");
        EXPECT_EQ(before + (c.accepted ? 1u : 0u), puzzles->controlCount);
    }
    // Placed directly: no moved event, and the size given.
    CGuiControl* a = puzzles->FindControl("a");
    ASSERT_NE(nullptr, a);
    EXPECT_EQ(5.0f, a->X());
    EXPECT_EQ(6.0f, a->Y());
    EXPECT_EQ(10.0f, a->width);
    EXPECT_EQ(20.0f, a->height);
    EXPECT_EQ(1, a->cursorType);
    EXPECT_EQ(1, static_cast<CGuiCustom*>(a)->clipInner);
    dispatcher.RunPass();
    EXPECT_TRUE(Events("a").empty());

    for (uint32_t i = puzzles->controlCount; i < 127; ++i)
        ASSERT_TRUE(puzzles->AddControl(("c" + std::to_string(i)).c_str(), 0, 0, 1, 1)) << i;
    EXPECT_EQ(127u, puzzles->controlCount);
    EXPECT_FALSE(puzzles->AddControl("one_too_many", 0, 0, 1, 1));
    EXPECT_EQ(nullptr, puzzles->FindControl("one_too_many"));
    // A freed place can be taken again.
    EXPECT_TRUE(puzzles->RemoveControl("a"));
    EXPECT_TRUE(puzzles->AddControl("one_too_many", 0, 0, 1, 1));
}

TEST_F(PuzzleTest, LoadedControlsAreReachedByPositionAndTextButNotByFlagsOrRemoval)
{
    puzzles->LoadControls("board.xml");
    ASSERT_TRUE(puzzles->HasPuzzle());
    EXPECT_EQ(puzzles->puzzleSet, manager->currentSet);
    CGuiControl* loaded = puzzles->FindControl("loaded");
    ASSERT_NE(nullptr, loaded);

    puzzles->SetPos("loaded", 30.0f, 40.0f);
    float x = 0.0f, y = 0.0f;
    EXPECT_TRUE(puzzles->GetPos("loaded", &x, &y));
    EXPECT_EQ(30.0f, x);
    EXPECT_EQ(40.0f, y);
    puzzles->SetText("label", "caf\xe9 \xc0");
    EXPECT_TRUE(static_cast<CGuiTextControl*>(puzzles->FindControl("label"))->text == CGeWString(u"caf\u0439 \u0410"));
    // Text goes to text controls only.
    puzzles->SetText("loaded", "x");

    puzzles->SetFlags("loaded", 3);
    EXPECT_EQ(0, loaded->manuallyMovable);
    puzzles->SetPivot("loaded", 4.0f, 4.0f);
    EXPECT_EQ(0.0f, loaded->pivot[0]);
    EXPECT_FALSE(puzzles->AssignSprite("loaded", "tiles.tga", 8, 4, 10, 17));
    EXPECT_FALSE(puzzles->RemoveControl("loaded"));
    EXPECT_EQ(loaded, puzzles->FindControl("loaded"));
    EXPECT_FALSE(puzzles->GetPos("nobody", &x, &y));
    EXPECT_EQ(0.0f, x);
}

TEST_F(PuzzleTest, ResetMakesTheRememberedSetCurrentAndDeletesLoadedControlsToo)
{
    CGuiControlSet* before = manager->currentSet;
    puzzles->AddControl("a", 0, 0, 10, 10);
    puzzles->LoadControls("board.xml");
    puzzles->AddTask("a", QM_PUZZLE_TASK_MOVE, 1.0f, 2, std::array<float, 2>{1, 1}.data());
    EXPECT_EQ(puzzles->puzzleSet, manager->currentSet);
    puzzles->Reset();
    EXPECT_EQ(before, manager->currentSet);
    EXPECT_FALSE(puzzles->HasPuzzle());
    EXPECT_EQ(nullptr, manager->FindControlSet("_puzzle_"));
    EXPECT_EQ(0u, puzzles->controlCount);
    EXPECT_EQ(0u, puzzles->taskCount);
    // A new puzzle starts from nothing.
    EXPECT_TRUE(puzzles->AddControl("loaded", 0, 0, 10, 10));
}

TEST_F(PuzzleTest, ValuesVisibilityAndFlags)
{
    puzzles->AddControl("a", 0, 0, 10, 10);
    puzzles->SetFlags("a", 1 | 4);
    EXPECT_EQ(1, puzzles->FindControl("a")->manuallyMovable);
    EXPECT_EQ(0, puzzles->FindControl("a")->manuallySizeable);
    puzzles->SetFlags("a", 2);
    EXPECT_EQ(0, puzzles->FindControl("a")->manuallyMovable);
    EXPECT_EQ(1, puzzles->FindControl("a")->manuallySizeable);
    puzzles->SetCtrlVisibility("a", false);
    EXPECT_EQ(0, puzzles->FindControl("a")->visible);
    GeLogClearLast();
    puzzles->SetCtrlValue("nobody", 3.0f);
    EXPECT_EQ(2, GeLogLastLevel());
    EXPECT_STREQ("Puzzle: No control found: nobody", GeLogLastMessage().c_str());
}

// Sprites --------------------------------------------------------------------

TEST_F(PuzzleTest, AssignSpriteStartsLoopingModesAtTheirEndAndLeavesOthersStopped)
{
    puzzles->AddControl("a", 0, 0, 32, 16);
    struct Case {
        int32_t mode;
        uint32_t frame;
        bool playing;
        float speedSign;
    } cases[] = {
        {1, 0, false, 1.0f},  {16, 0, false, 1.0f}, {17, 0, true, 1.0f},
        {18, 7, true, -1.0f}, {19, 0, true, 1.0f},  {20, 7, true, -1.0f},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(puzzles->AssignSprite("a", "tiles.tga", 8, 4, 10, c.mode)) << c.mode;
        CGmVisual2D* sprite = Sprite("a");
        ASSERT_NE(nullptr, sprite);
        EXPECT_EQ(5u, sprite->blendMode);
        EXPECT_EQ(8u, sprite->imageSet.frameCount);
        EXPECT_EQ(2u, sprite->imageSet.lineCount);
        EXPECT_EQ(c.frame, sprite->activePlayer->GetFrame()) << c.mode;
        EXPECT_EQ(c.playing, sprite->activePlayer->playing != 0) << c.mode;
        // 10 frames a second over the timer's scale of 25.
        EXPECT_FLOAT_EQ(c.speedSign * 0.4f, sprite->activePlayer->speed) << c.mode;
    }

    ASSERT_TRUE(puzzles->AssignSprite("a", "tiles.tga", 1, 1, 10, 17));
    EXPECT_EQ(0, Sprite("a")->activePlayer->playing);
    EXPECT_EQ(1u, Sprite("a")->imageSet.frameCount);

    // A missing picture and a grid without columns change nothing.
    CGmVisualObject* kept = Custom("a")->attached;
    EXPECT_FALSE(puzzles->AssignSprite("a", "missing.tga", 8, 4, 10, 17));
    EXPECT_FALSE(puzzles->AssignSprite("a", "tiles.tga", 8, 0, 10, 17));
    EXPECT_FALSE(puzzles->AssignSprite("nobody", "tiles.tga", 8, 4, 10, 17));
    EXPECT_EQ(kept, Custom("a")->attached);
}

// Tasks ----------------------------------------------------------------------

TEST_F(PuzzleTest, TasksBlendFromStartToTargetAndEndOnTheStepThatReachesIt)
{
    // 0.5 s at 0.2 s frames: f = 0.6, 0.2, then 0.
    struct Case {
        int32_t kind;
        float start;
        float target;
    } cases[] = {{QM_PUZZLE_TASK_MOVE, 0.0f, 100.0f}, {QM_PUZZLE_TASK_ROTATE, 0.0f, 90.0f},
                 {QM_PUZZLE_TASK_ZOOM, 1.0f, 3.0f}, {QM_PUZZLE_TASK_FADE, 255.0f, 5.0f}};
    puzzles->AddControl("a", 0, 0, 32, 16);
    ASSERT_TRUE(puzzles->AssignSprite("a", "tiles.tga", 8, 4, 10, 1));
    for (const Case& c : cases) {
        const float values[2] = {c.target, c.target};
        puzzles->AddTask("a", c.kind, 0.5f, 2, values);
        ASSERT_EQ(1u, puzzles->taskCount);
        auto read = [&] {
            CGuiControl* a = puzzles->FindControl("a");
            switch (c.kind) {
            case QM_PUZZLE_TASK_MOVE: EXPECT_EQ(a->X(), a->Y()); return a->X();
            case QM_PUZZLE_TASK_ROTATE: return Rotation("a");
            case QM_PUZZLE_TASK_ZOOM: EXPECT_EQ(a->placement.scale.x, a->placement.scale.y); return a->placement.scale.x;
            default: return static_cast<float>(Sprite("a")->alpha);
            }
        };
        for (float f : {0.6f, 0.2f, 0.0f}) {
            TaskFrame(0.2f);
            const float expected = c.target * (1.0f - f) + c.start * f;
            EXPECT_NEAR(c.kind == QM_PUZZLE_TASK_FADE ? std::trunc(expected) : expected, read(), 1e-3f)
                << "kind " << c.kind << " f " << f;
        }
        EXPECT_EQ(0u, puzzles->taskCount) << c.kind;
        TaskFrame(0.2f);
        EXPECT_NEAR(c.target, read(), 1e-3f);
    }
}

TEST_F(PuzzleTest, ZeroDurationAppliesAtOnceAndMakesNoTask)
{
    puzzles->AddControl("a", 0, 0, 32, 16);
    ASSERT_TRUE(puzzles->AssignSprite("a", "tiles.tga", 8, 4, 10, 1));
    const float values[2] = {300.7f, 44.0f};
    puzzles->AddTask("a", QM_PUZZLE_TASK_MOVE, 0.0f, 2, values);
    puzzles->AddTask("a", QM_PUZZLE_TASK_ROTATE, 0.0f, 1, values + 1);
    puzzles->AddTask("a", QM_PUZZLE_TASK_ZOOM, 0.0f, 1, values + 1);
    puzzles->AddTask("a", QM_PUZZLE_TASK_FADE, 0.0f, 1, values);
    puzzles->AddTask("a", 7, 0.0f, 1, values);
    puzzles->AddTask("a", 7, 1.0f, 1, values); // an unknown kind makes no task either
    EXPECT_EQ(0u, puzzles->taskCount);
    CGuiControl* a = puzzles->FindControl("a");
    EXPECT_FLOAT_EQ(300.7f, a->X());
    EXPECT_FLOAT_EQ(44.0f, a->Y());
    EXPECT_NEAR(44.0f, Rotation("a"), 1e-3f);
    EXPECT_FLOAT_EQ(44.0f, a->placement.scale.x);
    EXPECT_FLOAT_EQ(44.0f, a->placement.scale.y);
    EXPECT_EQ(300 & 0xFF, Sprite("a")->alpha);
    dispatcher.RunPass();
    EXPECT_TRUE(Events("a").empty()); // placed, not moved
}

TEST_F(PuzzleTest, ASecondMoveRestartsFromWhereTheControlIs)
{
    puzzles->AddControl("a", 0, 0, 10, 10);
    const float far[2] = {100.0f, 0.0f};
    const float home[2] = {0.0f, 0.0f};
    puzzles->AddTask("a", QM_PUZZLE_TASK_MOVE, 1.0f, 2, far);
    TaskFrame(0.5f);
    EXPECT_FLOAT_EQ(50.0f, puzzles->FindControl("a")->X());
    puzzles->AddTask("a", QM_PUZZLE_TASK_MOVE, 1.0f, 2, home);
    EXPECT_EQ(1u, puzzles->taskCount);
    TaskFrame(0.5f);
    EXPECT_FLOAT_EQ(25.0f, puzzles->FindControl("a")->X());
}

TEST_F(PuzzleTest, SixteenTasksAtMostAndRemovalByKindOverAllControls)
{
    const float target[2] = {10.0f, 10.0f};
    for (int i = 0; i < 9; ++i) {
        const std::string name = "c" + std::to_string(i);
        puzzles->AddControl(name.c_str(), 0, 0, 10, 10);
        puzzles->AddTask(name.c_str(), QM_PUZZLE_TASK_MOVE, 1.0f, 2, target);
        puzzles->AddTask(name.c_str(), QM_PUZZLE_TASK_ROTATE, 1.0f, 1, target);
    }
    EXPECT_EQ(16u, puzzles->taskCount); // the 17th and 18th were dropped
    bool c8Rotates = false;
    for (uint32_t i = 0; i < puzzles->taskCount; ++i)
        c8Rotates = c8Rotates || (std::string("c8") == puzzles->tasks[i]->controlName &&
                                  puzzles->tasks[i]->kind == QM_PUZZLE_TASK_ROTATE);
    EXPECT_FALSE(c8Rotates);
    // With the list full a task of a running (control, kind) still replaces.
    const float other[1] = {45.0f};
    puzzles->AddTask("c0", QM_PUZZLE_TASK_ROTATE, 1.0f, 1, other);
    EXPECT_EQ(16u, puzzles->taskCount);

    puzzles->RemoveTask(QM_PUZZLE_TASK_ROTATE);
    EXPECT_EQ(8u, puzzles->taskCount);
    for (uint32_t i = 0; i < puzzles->taskCount; ++i)
        EXPECT_EQ(uint32_t(QM_PUZZLE_TASK_MOVE), puzzles->tasks[i]->kind);
    puzzles->RemoveTask(-1);
    EXPECT_EQ(0u, puzzles->taskCount);
}

TEST_F(PuzzleTest, ATaskThatEndsLetsTheLastTaskStepInItsPlaceTheSameFrame)
{
    for (const char* name : {"a", "b", "c"})
        puzzles->AddControl(name, 0, 0, 10, 10);
    const float target[2] = {100.0f, 0.0f};
    puzzles->AddTask("a", QM_PUZZLE_TASK_MOVE, 0.1f, 2, target);
    puzzles->AddTask("b", QM_PUZZLE_TASK_MOVE, 1.0f, 2, target);
    puzzles->AddTask("c", QM_PUZZLE_TASK_MOVE, 1.0f, 2, target);
    TaskFrame(0.5f);
    EXPECT_FLOAT_EQ(100.0f, puzzles->FindControl("a")->X());
    EXPECT_FLOAT_EQ(50.0f, puzzles->FindControl("b")->X());
    EXPECT_FLOAT_EQ(50.0f, puzzles->FindControl("c")->X()); // moved into a's place, still stepped
    ASSERT_EQ(2u, puzzles->taskCount);
    EXPECT_STREQ("c", puzzles->tasks[0]->controlName);
}

TEST_F(PuzzleTest, AFadeFindsItsControlByNameAtEveryStep)
{
    // A control without a hosted sprite is never touched, its start is 0.
    puzzles->LoadControls("board.xml");
    const float half[1] = {128.0f};
    puzzles->AddTask("label", QM_PUZZLE_TASK_FADE, 1.0f, 1, half);
    TaskFrame(0.5f);
    puzzles->RemoveTask(-1);

    // Removed mid-fade, then made again under the same name: the fade goes
    // on with the new control, never the freed one.
    puzzles->AddControl("a", 0, 0, 32, 16);
    ASSERT_TRUE(puzzles->AssignSprite("a", "tiles.tga", 8, 4, 10, 1));
    const float out[1] = {0.0f};
    puzzles->AddTask("a", QM_PUZZLE_TASK_FADE, 1.0f, 1, out);
    TaskFrame(0.25f);
    EXPECT_EQ(191, Sprite("a")->alpha);
    EXPECT_TRUE(puzzles->RemoveControl("a"));
    TaskFrame(0.25f); // nothing to fade
    puzzles->AddControl("a", 0, 0, 32, 16);
    ASSERT_TRUE(puzzles->AssignSprite("a", "tiles.tga", 8, 4, 10, 1));
    TaskFrame(0.25f);
    EXPECT_EQ(63, Sprite("a")->alpha);

    // Through a whole reset the task goes with the controls.
    puzzles->Reset();
    TaskFrame(0.25f);
    EXPECT_EQ(0u, puzzles->taskCount);
}

// Input and script events ----------------------------------------------------

TEST_F(PuzzleTest, KeysGoToTheLocationsFunctionThenTheGlobalOneWithTheSameKey)
{
    events->Record({"room_puzzle_keydown", "global_puzzle_keydown", "room_puzzle_keyup", "global_puzzle_keyup"});
    Send(WM_KEYDOWN, 'A', 0);
    InputFrame();
    EXPECT_EQ("", events->Joined()); // no puzzle yet

    puzzles->AddControl("a", 0, 0, 10, 10);
    Send(WM_KEYDOWN, 'B', 0);
    InputFrame();
    Send(WM_KEYUP, 'B', 0);
    InputFrame();
    EXPECT_EQ("room_puzzle_keydown(66) global_puzzle_keydown(66) room_puzzle_keyup(66) global_puzzle_keyup(66)",
              events->Joined());
}

TEST_F(PuzzleTest, ControlCodesBecomeNamedEventsWithTheControlsName)
{
    const char* names[] = {"btn1_press", "btn1_unpress", "btn1_click", "btn1_dblclick", "btn2_press",
                           "btn2_unpress", "btn2_click", "btn2_dblclick", "mouse_move"};
    for (const char* name : names)
        events->Record({("room_puzzle_" + std::string(name)).c_str(), ("global_puzzle_" + std::string(name)).c_str()});
    puzzles->AddControl("tile", 0, 0, 10, 10);
    CGuiControl* tile = puzzles->FindControl("tile");
    const uint32_t codes[] = {1, 2, 3, 4, 5, 6, 7, 8, 23};
    for (size_t i = 0; i < 9; ++i) {
        events->Clear();
        puzzles->HandleMessage(tile, codes[i]);
        EXPECT_EQ(std::string("room_puzzle_") + names[i] + "(tile) global_puzzle_" + names[i] + "(tile)",
                  events->Joined());
    }
    events->Clear();
    puzzles->HandleMessage(tile, GUI_EV_ENTER);
    EXPECT_EQ("", events->Joined());

    // A click through the window reaches the scripts the same way.
    events->Clear();
    Click(5, 5);
    dispatcher.RunPass();
    EXPECT_NE(std::string::npos, events->Joined().find("room_puzzle_btn1_click(tile) global_puzzle_btn1_click(tile)"));

    // Any length of location name forms the whole name.
    const std::string longName(300, 'r');
    room.name = longName.c_str();
    events->Record({(longName + "_puzzle_btn1_click").c_str()});
    events->Clear();
    puzzles->HandleMessage(tile, 3);
    EXPECT_EQ(longName + "_puzzle_btn1_click(tile) global_puzzle_btn1_click(tile)", events->Joined());

    // No current location: only the global function.
    locations.current = nullptr;
    events->Clear();
    puzzles->HandleMessage(tile, 3);
    EXPECT_EQ("global_puzzle_btn1_click(tile)", events->Joined());
}

TEST_F(PuzzleTest, RemovingTheDraggedControlLeavesNoCapture)
{
    puzzles->AddControl("drag", 100, 100, 50, 50);
    puzzles->SetFlags("drag", 1);
    MoveTo(120, 120);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(120, 120));
    InputFrame();
    MoveTo(130, 130);
    ASSERT_EQ(puzzles->FindControl("drag"), puzzles->puzzleSet->capture);
    EXPECT_TRUE(puzzles->RemoveControl("drag"));
    EXPECT_EQ(nullptr, puzzles->puzzleSet->capture);
    MoveTo(140, 140);
    Release(140, 140);
    EXPECT_EQ(nullptr, puzzles->FindControl("drag"));
}

// Script functions -----------------------------------------------------------

class ScriptPuzzlesTest : public PuzzleTest {
protected:
    // The value of a Lua expression as text.
    std::string Eval(const std::string& expression)
    {
        RunScript("__probe = tostring(" + expression + ")");
        return Global("__probe");
    }
};

TEST_F(ScriptPuzzlesTest, FunctionsThatNeedAPuzzleReturnNothingBeforeOne)
{
    EXPECT_EQ("0", Eval("select('#', PuzzleGetPos('a'))"));
    RunScript("PuzzleSetPos('a', 1, 2) PuzzleSetCtrlValue('a', 1) PuzzleAddTask('a', 1, 1, 5, 5)"
              " SetPuzzleControlCursorType('a', 1, 2) SetPuzzleControlTranpForManipulator('a', true)");
    EXPECT_FALSE(puzzles->HasPuzzle());
    EXPECT_EQ(0u, puzzles->taskCount);

    RunScript("PuzzleAddControl('a', 10, 20, 30, 40)");
    EXPECT_EQ("2", Eval("select('#', PuzzleGetPos('a'))"));
    RunScript("x, y = PuzzleGetPos('a')");
    EXPECT_EQ("10 20", Global("x") + " " + Global("y"));
    RunScript("x, y = PuzzleGetPos('nobody')");
    EXPECT_EQ("0 0", Global("x") + " " + Global("y"));
    RunScript("x, y = PuzzleGetPos()"); // refused: the defaults
    EXPECT_EQ("0 0", Global("x") + " " + Global("y"));
    RunScript("PuzzleSetPos('a', 7, 8)");
    EXPECT_EQ(7.0f, puzzles->FindControl("a")->X());
    RunScript("SetPuzzleControlCursorType('a', 4, 2) SetPuzzleControlTranpForManipulator('a', true)");
    EXPECT_EQ(4, puzzles->FindControl("a")->cursorType);
    EXPECT_EQ(1, puzzles->FindControl("a")->transparentForManipulator);
    RunScript("SetPuzzleControlTranpForManipulator('a', 1)"); // no boolean: refused
    EXPECT_EQ(1, puzzles->FindControl("a")->transparentForManipulator);

    RunScript("PuzzleReset()");
    EXPECT_EQ("0", Eval("select('#', PuzzleGetPos('a'))"));
    RunScript("PuzzleLoadControls('board.xml')");
    EXPECT_EQ("2", Eval("select('#', PuzzleGetPos('loaded'))"));
}

TEST_F(ScriptPuzzlesTest, AddTaskChecksEveryArgumentBeforeReadingAny)
{
    RunScript("PuzzleAddControl('a', 0, 0, 10, 10)");
    struct Case {
        const char* call;
        bool accepted;
    } cases[] = {
        {"PuzzleAddTask('a', 1, 1)", false},
        {"PuzzleAddTask('a', 1, 1, 5, 'x')", false},
        {"PuzzleAddTask('a', 1, 1, 5, '6')", true}, // a numeric text is a number
        {"local t = {7, 8} for i = 3, 1023 do t[i] = 0 end PuzzleAddTask('a', 1, 1, unpack(t))", true},
        {"local t = {7, 8} for i = 3, 1024 do t[i] = 0 end PuzzleAddTask('a', 1, 1, unpack(t))", false},
    };
    for (const Case& c : cases) {
        puzzles->RemoveTask(-1);
        RunScript(c.call);
        EXPECT_EQ(c.accepted ? 1u : 0u, puzzles->taskCount) << c.call;
    }
    // The longest call's first two values are the target.
    RunScript("local t = {7, 8} for i = 3, 1023 do t[i] = 0 end PuzzleAddTask('a', 1, 0, unpack(t))");
    EXPECT_EQ(7.0f, puzzles->FindControl("a")->X());
    EXPECT_EQ(8.0f, puzzles->FindControl("a")->Y());
}

TEST_F(ScriptPuzzlesTest, RemoveTaskTruncatesItsKindAndDefaultsToEveryTask)
{
    RunScript("PuzzleAddControl('a', 0, 0, 10, 10) PuzzleAddControl('b', 0, 0, 10, 10)"
              " PuzzleAddTask('a', 2, 1, 90) PuzzleAddTask('b', 2, 1, 90) PuzzleAddTask('a', 1, 1, 5, 5)");
    ASSERT_EQ(3u, puzzles->taskCount);
    RunScript("PuzzleRemoveTask('a', 2.7)");
    ASSERT_EQ(1u, puzzles->taskCount);
    EXPECT_EQ(uint32_t(QM_PUZZLE_TASK_MOVE), puzzles->tasks[0]->kind);
    RunScript("PuzzleRemoveTask(5, 3)"); // a number reads as a control name; no zoom runs
    EXPECT_EQ(1u, puzzles->taskCount);
    RunScript("PuzzleRemoveTask({}, 1)"); // refused: a table is no control name
    EXPECT_EQ(1u, puzzles->taskCount);
    RunScript("PuzzleRemoveTask('a')");
    EXPECT_EQ(0u, puzzles->taskCount);
}

TEST_F(ScriptPuzzlesTest, ArgumentChecksOfTheOtherFunctions)
{
    RunScript("PuzzleAddControl('a', 0, 0, 32, 16)");
    RunScript("PuzzleSetCtrlVisibility('a', 1)");
    EXPECT_EQ(1, puzzles->FindControl("a")->visible);
    RunScript("PuzzleSetCtrlVisibility('a', false)");
    EXPECT_EQ(0, puzzles->FindControl("a")->visible);

    RunScript("PuzzleAssignSprite('a', 'tiles.tga', 8)");
    EXPECT_EQ(nullptr, Custom("a")->attached);
    RunScript("PuzzleAssignSprite('a', 'tiles.tga')"); // one frame, looping forward
    ASSERT_NE(nullptr, Sprite("a"));
    EXPECT_EQ(1u, Sprite("a")->imageSet.frameCount);
    RunScript("PuzzleAssignSprite('a', 'tiles.tga', 8.9, 4.2, 10, 18)");
    EXPECT_EQ(8u, Sprite("a")->imageSet.frameCount);
    EXPECT_EQ(7u, Sprite("a")->activePlayer->GetFrame());

    RunScript("PuzzleSetFlags('a', 1.9) PuzzleSetPivot('a', 3, 4)");
    EXPECT_EQ(1, puzzles->FindControl("a")->manuallyMovable);
    EXPECT_EQ(3.0f, puzzles->FindControl("a")->pivot[0]);
    EXPECT_EQ(4.0f, puzzles->FindControl("a")->pivot[1]);
    RunScript("PuzzleAddControl('b', 0, 0, 10)");
    EXPECT_EQ(nullptr, puzzles->FindControl("b"));
    RunScript("PuzzleBringToFront('a') PuzzleRemoveControl('a')");
    EXPECT_EQ(nullptr, puzzles->FindControl("a"));
}

TEST_F(ScriptPuzzlesTest, IsMouseOverAndManipulatorPosition)
{
    RunScript("PuzzleAddControl('a', 100, 100, 50, 50)");
    MoveTo(120, 130);
    EXPECT_EQ("true", Eval("PuzzleIsMouseOver('a')"));
    EXPECT_EQ("false", Eval("PuzzleIsMouseOver('nobody')"));
    EXPECT_EQ("false", Eval("PuzzleIsMouseOver()"));
    MoveTo(160, 130);
    EXPECT_EQ("false", Eval("PuzzleIsMouseOver('a')"));
    // Turned by half a circle about its corner the control covers the
    // other side.
    RunScript("PuzzleAddTask('a', 2, 0, 180)");
    MoveTo(60, 70);
    EXPECT_EQ("true", Eval("PuzzleIsMouseOver('a')"));

    float* scale = g_gm2dScale[CGeHub::s_currentSlot];
    const float saved[2] = {scale[0], scale[1]};
    scale[0] = 2.0f;
    scale[1] = 0.5f;
    RunScript("mx, my = GetManipulatorPos()");
    EXPECT_EQ("30 140", Global("mx") + " " + Global("my"));
    RunScript("mx, my = GetManipulatorPos(1)");
    EXPECT_EQ("0 0", Global("mx") + " " + Global("my"));
    scale[0] = saved[0];
    scale[1] = saved[1];
}

TEST_F(ScriptPuzzlesTest, CursorTypeChangesTheCursorItselfAndThenTheControl)
{
    const GeCursorDescriptor first{nullptr, 0.0f, 0.0f};
    const GeCursorDescriptor second{nullptr, 0.0f, 0.0f};
    const GeCursorDescriptor* list[] = {&first, &second, nullptr};
    CGeCursorSet cursors(list);
    g_cursors = &cursors;
    const uint32_t blend = cursors.GetCursorSprite(2)->blendMode;
    RunScript("SetPuzzleControlCursorType('a', 2, 7)"); // no puzzle: nothing at all
    EXPECT_EQ(blend, cursors.GetCursorSprite(2)->blendMode);

    RunScript("PuzzleAddControl('a', 0, 0, 10, 10) SetPuzzleControlCursorType('a', 2, 7)");
    EXPECT_EQ(7u, cursors.GetCursorSprite(2)->blendMode);
    EXPECT_EQ(2, puzzles->FindControl("a")->cursorType);
    // The cursor changes even for an unknown control; a number beyond the
    // cursors still reaches the control.
    RunScript("SetPuzzleControlCursorType('nobody', 1, 3) SetPuzzleControlCursorType('a', 9, 3)");
    EXPECT_EQ(3u, cursors.GetCursorSprite(1)->blendMode);
    EXPECT_EQ(9, puzzles->FindControl("a")->cursorType);
    g_cursors = nullptr;
}
