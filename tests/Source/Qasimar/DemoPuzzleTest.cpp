// Puzzles on the demo game through the game-play harness, headless: the
// puzzle screen drawn over the location by pixels (three sprites after a
// move and a rotate task, in the order BringToFront leaves them), and the
// demo's puzzle of the three tiles played by clicks posted to the window:
// opened by loc01 a while after the arrival, the tiles turned, the cursor the
// tiles show kept by the game's cursor step, the quest passed and the puzzle
// closed when all three stand upright.
#include "Engine/Gui/GeCursorSet.h"
#include "Engine/Gui/GuiControl.h"
#include "Engine/Gui/GuiResources.h"
#include "Source/GameClasses/QmPuzzleManager.h"
#include "Source/GameClasses/QmQuests.h"
#include "Source/GameClasses/QmScriptProcessor.h"
#include "tests/Source/GameClasses/ScriptEventRecorder.h"
#include "tests/Source/Qasimar/GamePlayHarness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>

namespace {

// The demo's puzzle pictures (demopictures).
constexpr uint32_t kRed = 0xC83228, kGreen = 0x28A050, kBlue = 0x2850C8, kMark = 0xF8F0D8, kBoard = 0x6A4424;


class DemoPuzzle : public ::testing::Test {
protected:
    void Start(bool puzzleSolvedBefore)
    {
        CGamePlayHarness::Options options;
        options.pack = QM_DEMO_PACK;
        options.width = kWidth;
        options.height = kHeight;
        options.frameMilliseconds = 80; // the reference size draws slowly in software
        if (puzzleSolvedBefore)
            options.onNewGame = "QuestPass('three_tiles', 'voyage')";
        ASSERT_TRUE(game.Start(options));
        game.StepSeconds(1.0);
        ASSERT_NE(nullptr, game.Location());
        ASSERT_NE(nullptr, g_puzzleManager);
        events = std::make_unique<CScriptEventRecorder>();
    }

    void Run(const char* text)
    {
        CGeString error;
        EXPECT_TRUE(ScriptRunString(text, error)) << error.c_str();
    }

    // The captured frame's pixel at a reference point (1280 x 1024).
    uint32_t At(float x, float y) const
    {
        return frame[size_t(y * kHeight / 1024.0f) * kWidth + size_t(x * kWidth / 1280.0f)];
    }

    // The reference point of a tile's mark: 39 above the middle of the tile
    // standing upright, turned with the tile about its middle (cx, cy).
    static void MarkOf(float cx, float cy, float degrees, float& x, float& y)
    {
        const float a = degrees * 3.14159265f / 180.0f;
        x = cx + 39.0f * std::sin(a);
        y = cy - 39.0f * std::cos(a);
    }

    // The mouse goes there, then clicks; half a second passes.
    void ClickAt(float x, float y)
    {
        game.MoveMouse(x, y);
        game.Step();
        game.Click(x, y);
        game.StepSeconds(0.5);
    }

    float Degrees(const char* control) const
    {
        return g_puzzleManager->FindControl(control)->placement.angles.z * 57.2957795f;
    }

    static constexpr uint32_t kWidth = 1280;
    static constexpr uint32_t kHeight = 1024;
    CGamePlayHarness game;
    std::unique_ptr<CScriptEventRecorder> events;
    std::vector<uint32_t> frame;
};

} // namespace

// Three tiles added in the order a, b, c: c moved over a and b, b turned
// half round about its middle, then a brought to the front. Drawn back to
// front b, c, a: where all three overlap a shows, where only b and c overlap
// c shows, and b's mark stands at its bottom.
TEST_F(DemoPuzzle, SpritesAfterAMoveAndARotateTaskInBringToFrontOrder)
{
    Start(true);
    Run("PuzzleAddControl('a', 380, 280, 128, 128) PuzzleAssignSprite('a', 'Textures/puzzle_tile1.tga', 1, 1, 0, 0) "
        "PuzzleAddControl('b', 500, 400, 128, 128) PuzzleAssignSprite('b', 'Textures/puzzle_tile2.tga', 1, 1, 0, 0) "
        "PuzzleSetPivot('b', 64, 64) "
        "PuzzleAddControl('c', 800, 300, 128, 128) PuzzleAssignSprite('c', 'Textures/puzzle_tile3.tga', 1, 1, 0, 0) "
        "PuzzleAddTask('c', 1, 0.5, 460, 300) PuzzleAddTask('b', 2, 0.5, 180) PuzzleBringToFront('a')");
    game.StepSeconds(1.0);
    float x = 0.0f, y = 0.0f;
    ASSERT_TRUE(g_puzzleManager->GetPos("c", &x, &y));
    EXPECT_EQ(460.0f, x);
    EXPECT_EQ(300.0f, y);
    EXPECT_NEAR(180.0f, Degrees("b"), 1e-3f);
    EXPECT_EQ(0u, g_puzzleManager->taskCount);
    frame = game.CaptureFrame();

    // a spans 380..508 x 280..408, its mark 424..464 x 290..320; b 436..564
    // x 336..464, its mark turned to 480..520 x 424..454; c 460..588 x
    // 300..428, its mark 504..544 x 310..340.
    struct Probe {
        float x, y;
        uint32_t rgb;
        const char* what;
    } probes[] = {
        {400.0f, 300.0f, kRed, "a alone"},
        {444.0f, 305.0f, kMark, "a's mark"},
        {484.0f, 380.0f, kRed, "a over c over b"},
        {448.0f, 380.0f, kRed, "a over b"},
        {540.0f, 400.0f, kBlue, "c over b"},
        {570.0f, 350.0f, kBlue, "c alone"},
        {524.0f, 325.0f, kMark, "c's mark"},
        {450.0f, 450.0f, kGreen, "b alone"},
        {500.0f, 445.0f, kMark, "b's mark, turned to its bottom"},
    };
    for (const Probe& p : probes)
        EXPECT_TRUE(PixelNear(At(p.x, p.y), p.rgb)) << p.what;
    for (uint32_t rgb : {kRed, kGreen, kBlue})
        EXPECT_FALSE(PixelNear(At(700.0f, 600.0f), rgb)) << "nothing of the puzzle out there";
}

// The demo's puzzle: loc01 opens it three seconds after the arrival; each
// click turns a tile a quarter; the tiles show the "Finger" cursor, which the
// game's cursor step keeps; upright, the tiles fade, the quest passes and the
// puzzle closes, leaving the location's own control set current.
TEST_F(DemoPuzzle, TheThreeTilesOpenTurnByClicksAndCloseWhenSolved)
{
    Start(false);
    EXPECT_TRUE(CGuiResources::HasSpriteSchema(CGeString("PuzzleTile1"))) << "Gui/puzzles.xml was loaded";
    EXPECT_FALSE(g_puzzleManager->HasPuzzle());
    events->Record({"loc01_puzzle_btn1_click"});
    game.StepSeconds(3.0);
    ASSERT_TRUE(g_puzzleManager->HasPuzzle());
    EXPECT_EQ(g_puzzleManager->puzzleSet, game.ControlSet());
    const float start[3] = {90.0f, 180.0f, 270.0f};
    const char* const names[3] = {"tile_1", "tile_2", "tile_3"};
    const float middles[3] = {480.0f, 640.0f, 800.0f};
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(start[i], Degrees(names[i]), 1e-3f) << names[i];

    // Over a tile the GUI shows the tile's cursor, and the game's cursor step
    // leaves it; over the board the board's default.
    game.MoveMouse(480.0f, 512.0f);
    game.Step(2);
    EXPECT_EQ(8u, g_cursors->shownCursor);
    EXPECT_EQ(0, g_gameProcessor->cursorRefreshPending);
    game.MoveMouse(560.0f, 600.0f);
    game.Step(2);
    EXPECT_EQ(1u, g_cursors->shownCursor);

    // Every tile but the first upright; the first turned three quarters.
    const int clicks[3] = {2, 2, 1};
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < clicks[i]; ++k)
            ClickAt(middles[i], 512.0f);
    EXPECT_EQ("loc01_puzzle_btn1_click(tile_1) loc01_puzzle_btn1_click(tile_1) loc01_puzzle_btn1_click(tile_2) "
              "loc01_puzzle_btn1_click(tile_2) loc01_puzzle_btn1_click(tile_3)",
              events->Joined());
    EXPECT_NEAR(270.0f, Degrees("tile_1"), 1e-3f);
    EXPECT_NEAR(360.0f, Degrees("tile_2"), 1e-3f);
    EXPECT_NEAR(360.0f, Degrees("tile_3"), 1e-3f);
    frame = game.CaptureFrame();
    EXPECT_TRUE(PixelNear(At(400.0f, 430.0f), kBoard)) << "the board";
    const uint32_t colours[3] = {kRed, kGreen, kBlue};
    const float angles[3] = {270.0f, 360.0f, 360.0f};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_TRUE(PixelNear(At(middles[i] + 25.0f, 530.0f), colours[i])); // beside the cursor
        float x = 0.0f, y = 0.0f;
        MarkOf(middles[i], 512.0f, angles[i], x, y);
        EXPECT_TRUE(PixelNear(At(x, y), kMark));
        // Upright: nothing of the mark at the bottom.
        MarkOf(middles[i], 512.0f, angles[i] + 180.0f, x, y);
        EXPECT_TRUE(PixelNear(At(x, y), colours[i]));
    }
    EXPECT_FALSE(CQmQuests::GetValue("three_tiles", "voyage"));

    // The last quarter: the tiles fade, then the quest passes and the puzzle
    // is reset.
    ClickAt(middles[0], 512.0f);
    EXPECT_TRUE(g_puzzleManager->HasPuzzle());
    EXPECT_FALSE(CQmQuests::GetValue("three_tiles", "voyage"));
    game.StepSeconds(1.0);
    EXPECT_FALSE(g_puzzleManager->HasPuzzle());
    EXPECT_TRUE(CQmQuests::GetValue("three_tiles", "voyage"));
    EXPECT_EQ(g_mainControlSet, game.ControlSet());
    frame = game.CaptureFrame();
    EXPECT_FALSE(PixelNear(At(middles[0], 512.0f), kRed)) << "the puzzle is gone";
}
