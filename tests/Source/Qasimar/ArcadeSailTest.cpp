// The sail game through the game-play harness, headless, over the demo's
// first location, with its layout and pictures from a pack of the test's
// own. A small solver plays it as a player does: it reads the sail's
// uncovered triangles and the tray's pieces as drawn, knows the pieces'
// shapes from the design tables (the data files beside this test, copied
// from the design), picks, turns and drops with the mouse, and restarts when
// nothing fits. Around it: the tables themselves, the grid's rounding, the
// fit test at the sail's edges, the tray's fall and refill, the input rules,
// the restart's fades, the ways out, and a covered cell's flash on screen.
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeRandom.h"
#include "Engine/Core/Gm/GmColorFader.h"
#include "Engine/Core/Gm/GmVisual2D.h"
#include "Engine/Gui/GeMouse.h"
#include "Engine/Gui/GuiControl.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiCustom.h"
#include "Source/GameClasses/QmInputCodes.h"
#include "Source/Qasimar/QasimarArcadeSail.h"
#include "tests/Source/GameClasses/ScriptEventRecorder.h"
#include "tests/Source/Qasimar/GamePlayHarness.h"
#include "tools/fpk/FpkWriter.h"
#include "tools/locpictures/LocationPainter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Game = CQasimarArcade_Sail;
using Field = CSail_PlayField;
using Tray = CSail_Stakan;

// ---------------------------------------------------------------------------
// The design tables, read from the data files.

std::vector<std::string> DataLines(const char* file)
{
    std::ifstream in(std::string(QM_QASIMAR_TEST_DATA) + "/" + file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#')
            lines.push_back(line);
    return lines;
}

struct DesignTables {
    int cells[kSailRows][kSailColumns] = {};
    int shapes[6][6][2][4] = {};
    int offsets[6][6][2] = {};
    bool complete = false;

    DesignTables()
    {
        const auto cellLines = DataLines("sail_cells.txt");
        const auto shapeLines = DataLines("sail_shapes.txt");
        const auto offsetLines = DataLines("sail_offsets.txt");
        if (cellLines.size() != kSailRows || shapeLines.size() != 6 || offsetLines.size() != 6)
            return;
        for (int r = 0; r < kSailRows; ++r) {
            std::istringstream row(cellLines[r]);
            for (int c = 0; c < kSailColumns; ++c)
                row >> cells[r][c];
        }
        for (int s = 0; s < 6; ++s) {
            std::istringstream row(shapeLines[s]);
            for (int o = 0; o < 6; ++o) {
                std::string entry; // "0600/4530"
                row >> entry;
                if (entry.size() != 9)
                    return;
                for (int c = 0; c < 4; ++c) {
                    shapes[s][o][0][c] = entry[c] - '0';
                    shapes[s][o][1][c] = entry[5 + c] - '0';
                }
            }
            const char* at = offsetLines[s].c_str();
            for (int o = 0; o < 6; ++o) {
                int consumed = 0;
                if (std::sscanf(at, " (%d, %d),%n", &offsets[s][o][0], &offsets[s][o][1], &consumed) < 2)
                    return;
                at += consumed ? consumed : std::strlen(at);
            }
        }
        complete = true;
    }
};

const DesignTables& Design()
{
    static const DesignTables tables;
    return tables;
}

TEST(SailTables, TheCodeCarriesTheDesignTables)
{
    const DesignTables& design = Design();
    ASSERT_TRUE(design.complete) << "the data files beside the test are incomplete";
    for (int r = 0; r < kSailRows; ++r)
        for (int c = 0; c < kSailColumns; ++c)
            EXPECT_EQ(design.cells[r][c], kSailInitialCells[r][c]) << "cell " << c << ", " << r;
    for (int s = 0; s < 6; ++s)
        for (int o = 0; o < 6; ++o) {
            for (int r = 0; r < 2; ++r)
                for (int c = 0; c < 4; ++c)
                    EXPECT_EQ(design.shapes[s][o][r][c], kSailShapes[s][o][r][c])
                        << "shape " << s << " orientation " << o << " cell " << c << ", " << r;
            EXPECT_EQ(design.offsets[s][o][0], kSailOffsets[s][o][0]) << "shape " << s << " orientation " << o;
            EXPECT_EQ(design.offsets[s][o][1], kSailOffsets[s][o][1]) << "shape " << s << " orientation " << o;
        }
}

TEST(SailTables, GridCellsRoundHalvesAwayFromZeroAndKeepTheOddParity)
{
    struct Case {
        float x, y;
        int col, row;
    };
    const Case cases[] = {
        {440.0f, 120.0f, 1, 0},          // column 0 moves to 1: 0 + 0 is even
        {452.5f, 120.0f, 1, 0},          // half a step right rounds up to column 1
        {427.5f, 120.0f, -1, 0},         // half a step left rounds away from zero to -1
        {440.0f, 141.5f, 0, 1},          // half a row down rounds to row 1
        {440.0f, 98.5f, 0, -1},          // half a row up rounds to row -1
        {490.0f, 206.0f, 3, 2},          // (2, 2) moves to (3, 2)
        {515.0f, 120.0f, 3, 0},          // (3, 0) is already odd
        {365.0f, 120.0f, -3, 0},         // (-3, 0) is already odd
        {365.0f, 163.0f, -4, 1},         // (-3, 1) moves down to -4
    };
    for (const Case& c : cases) {
        const SailCell cell = SailGridCell(c.x, c.y);
        EXPECT_EQ(c.col, cell.col) << c.x << ", " << c.y;
        EXPECT_EQ(c.row, cell.row) << c.x << ", " << c.y;
        EXPECT_NE(0, (cell.col + cell.row) % 2) << c.x << ", " << c.y;
    }
    // Just under both halves: (0, 0), whose even parity moves it to column 1.
    const SailCell under = SailGridCell(452.4f, 141.4f);
    EXPECT_EQ(1, under.col);
    EXPECT_EQ(0, under.row);
}

// ---------------------------------------------------------------------------
// The test's pack: the layout and the three pictures.

const char kLayout[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<GUI>
  <CONTROLSET>
%s
  </CONTROLSET>
</GUI>
)";

const char* const kControls[] = {
    R"(    <Control Name="sail_bg" Type="EGCT_CUSTOM">
      <Property Name="EP_X">0</Property><Property Name="EP_Y">0</Property>
      <Property Name="EP_W">1280</Property><Property Name="EP_H">1024</Property>
      <Property Name="EP_TransparentForManipulator">True</Property>
    </Control>)",
    R"(    <Control Name="stakan_bg" Type="EGCT_CUSTOM">
      <Property Name="EP_X">0</Property><Property Name="EP_Y">0</Property>
      <Property Name="EP_W">1280</Property><Property Name="EP_H">1024</Property>
      <Property Name="EP_TransparentForManipulator">True</Property>
    </Control>)",
    R"(    <Control Name="sail_cursor_bg" Type="EGCT_CUSTOM">
      <Property Name="EP_X">0</Property><Property Name="EP_Y">0</Property>
      <Property Name="EP_W">1280</Property><Property Name="EP_H">1024</Property>
      <Property Name="EP_TransparentForManipulator">True</Property>
    </Control>)",
    R"(    <Control Name="banner" Type="EGCT_CONTROL">
      <Property Name="EP_X">340</Property><Property Name="EP_Y">880</Property>
      <Property Name="EP_W">600</Property><Property Name="EP_H">100</Property>
      <Property Name="EP_TransparentForManipulator">True</Property>
    </Control>)",
    R"(    <Control Name="restart" Type="EGCT_BUTTON">
      <Property Name="EP_X">1080</Property><Property Name="EP_Y">840</Property>
      <Property Name="EP_W">120</Property><Property Name="EP_H">60</Property>
    </Control>)",
};

constexpr uint32_t kFreeColour = 0x2040E0;    // free triangles
constexpr uint32_t kPreviewColour = 0x20E040; // under a held piece

// Frames of 50 x 43 side by side: even frames point up, odd ones down;
// outside the triangle fully transparent.
std::vector<uint8_t> TrianglePicture(uint32_t frames, uint32_t (*colourOf)(uint32_t frame))
{
    const uint32_t w = 50, h = 43;
    std::vector<uint32_t> pixels(size_t(w) * frames * h, 0);
    for (uint32_t f = 0; f < frames; ++f)
        for (uint32_t y = 0; y < h; ++y) {
            const float depth = (f % 2 == 0 ? float(y) + 0.5f : float(h) - float(y) - 0.5f) / float(h);
            for (uint32_t x = 0; x < w; ++x)
                if (std::fabs(float(x) + 0.5f - 25.0f) <= 25.0f * depth)
                    pixels[size_t(y) * w * frames + f * w + x] = 0xFF000000 | colourOf(f);
        }
    return ColourTga(w * frames, h, pixels);
}

uint32_t BackColour(uint32_t frame)
{
    return frame < 2 ? kFreeColour : kPreviewColour;
}
uint32_t StrokeColour(uint32_t)
{
    return 0x101010;
}
uint32_t PieceColour(uint32_t frame)
{
    return 0xC00000 | ((frame / 2) * 0x1000);
}

// ---------------------------------------------------------------------------
// The test player's view.

constexpr float kSnap = 4.0f; // reference pixels of one back-buffer pixel at 320 x 256

// The reference point that a click at (x, y) reaches the game as.
float Snapped(float v)
{
    return kSnap * std::floor(v / kSnap);
}

// The player's own idea of the grid: which cell a piece's corner point is
// in, with the parity that lines pieces up.
SailCell ModelGridCell(float x, float y)
{
    auto roundAway = [](float v) { return int(v < 0.0f ? -std::floor(-v + 0.5f) : std::floor(v + 0.5f)); };
    int col = roundAway((x - 440.0f) / 25.0f);
    const int row = roundAway((y - 120.0f) / 43.0f);
    col = col - std::abs(col) % 2 + ((std::abs(row) % 2) ^ 1);
    return {col, row};
}

float ModelHeight(int shape, int orientation)
{
    float height = 0.0f;
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 4; ++c)
            if (Design().shapes[shape][orientation][r][c]) {
                height += 43.0f;
                break;
            }
    return height;
}

class SailGame : public ::testing::Test {
protected:
    // The pack with the layout (all controls but those skipped) and the
    // pictures, then the game started over the demo's first location.
    void Launch(std::initializer_list<const char*> skip = {})
    {
        std::string controls;
        for (const char* control : kControls) {
            bool skipped = false;
            for (const char* name : skip)
                skipped = skipped || std::strstr(control, (std::string("\"") + name + "\"").c_str());
            if (!skipped)
                controls += std::string(control) + "\n";
        }
        char layout[8192];
        std::snprintf(layout, sizeof(layout), kLayout, controls.c_str());

        const std::string pack = m_packs / "sail.fpk";
        CFpkWriter writer;
        std::string error;
        ASSERT_TRUE(writer.Open(pack.c_str(), &error)) << error;
        auto add = [&](const char* name, const std::vector<uint8_t>& bytes) {
            ASSERT_TRUE(writer.AddFile(name, bytes.data(), bytes.size(), &error)) << error;
        };
        add("gui/arcades/sail.xml", std::vector<uint8_t>(layout, layout + std::strlen(layout)));
        add("gui/arcades/pic/tri_back.tga", TrianglePicture(4, BackColour));
        add("gui/arcades/pic/tri_back_stroke.tga", TrianglePicture(2, StrokeColour));
        add("gui/arcades/pic/tri.tga", TrianglePicture(14, PieceColour));
        ASSERT_TRUE(writer.Finish(&error)) << error;

        CGamePlayHarness::Options options;
        options.pack = QM_DEMO_PACK;
        options.extraPacks = {pack};
        options.seed = 7;
        // The location's puzzle counts as solved: it stays shut (its control
        // set would take the GUI from the game).
        options.onNewGame = "QuestPass('three_tiles', 'voyage')";
        ASSERT_TRUE(harness.Start(options));
        harness.StepSeconds(1.0);
        ASSERT_NE(nullptr, harness.Location());
        // The location's arrival holds the input and fades the screen in for
        // a while.
        auto settling = [] {
            return g_gameProcessor->IsTimerRunning() || g_gameProcessor->effectFader->state != 0 ||
                   g_gameProcessor->loadingFader->state != 0;
        };
        for (int i = 0; i < 500 && settling(); ++i)
            harness.Step();
        ASSERT_FALSE(g_gameProcessor->IsTimerRunning());
        events = std::make_unique<CScriptEventRecorder>();
        events->Record({"loc11_arcade_end", "loc11_arcade_restart", "loc11_arcade_attachfigure",
                        "loc11_arcade_detachfigure", "loc11_arcade_dropfigure", "loc11_arcade_rotatefigure"});
        auto* found = g_gameProcessor->arcades.Find(CGeString("arcade: sail"));
        ASSERT_NE(nullptr, found) << "start-up registers the sail";
        game = static_cast<Game*>(found->value);
    }

    void StartGame() { g_gameProcessor->StartArcadeByName("arcade: sail", nullptr); }
    // Starts the game and hides the banner.
    void Begin()
    {
        StartGame();
        ASSERT_TRUE(game->active);
        Click(640, 500);
        ASSERT_EQ(1u, game->started);
    }

    // The pointer goes there a frame before the click, as a player's does:
    // a control counts a click only once the pointer is over it.
    void Click(float x, float y)
    {
        harness.MoveMouse(x, y);
        harness.Step();
        harness.Click(x, y);
        harness.Step(3);
    }
    void RightClick(float x, float y)
    {
        harness.RightClick(x, y);
        harness.Step(3);
    }
    void WaitForTurn()
    {
        for (int i = 0; i < 20 && game->held && game->held->Turning(); ++i)
            harness.Step();
    }
    // One turn of the held piece with the right button, watched to its end.
    void TurnHeld(float x, float y)
    {
        ASSERT_NE(nullptr, game->held);
        const uint32_t before = game->held->orientation;
        harness.RightClick(x, y);
        for (int i = 0; i < 10 && game->held->orientation == before; ++i)
            harness.Step();
        ASSERT_NE(before, game->held->orientation);
        WaitForTurn();
    }

    int Count(const char* event) const
    {
        int n = 0;
        for (const std::string& line : events->Lines())
            n += line.rfind(event, 0) == 0;
        return n;
    }

    // A height in the tray at which a click takes entry i, by the rule the
    // player learns: the first piece whose band (centre plus or minus half
    // its height) holds the pointer; -1 for none.
    float PickY(uint32_t i) const
    {
        std::vector<float> hits;
        for (float y = 236.0f; y < 757.0f; y += kSnap) {
            for (uint32_t e = 0; e < game->tray.count; ++e) {
                const CSail_Figure& piece = *game->tray.entries[e].figure;
                const float half = ModelHeight(int(piece.shape), int(piece.orientation)) / 2.0f;
                if (y >= piece.frame.position.y - half && y <= piece.frame.position.y + half) {
                    if (e == i)
                        hits.push_back(y);
                    break;
                }
            }
        }
        return hits.empty() ? -1.0f : hits[hits.size() / 2];
    }

    // The tray's pieces where they are now.
    std::vector<float> TrayHeights() const
    {
        std::vector<float> heights;
        for (uint32_t e = 0; e < game->tray.count; ++e)
            heights.push_back(game->tray.entries[e].figure->frame.position.y);
        return heights;
    }
    // One frame; which pieces did not move in it (a player takes a piece
    // that stands still).
    std::vector<bool> StillPieces()
    {
        const std::vector<float> before = TrayHeights();
        harness.Step();
        const std::vector<float> after = TrayHeights();
        std::vector<bool> still(after.size(), false);
        for (size_t e = 0; e < after.size() && e < before.size(); ++e)
            still[e] = before[e] == after[e];
        return still;
    }
    void WaitForTheTray()
    {
        for (int i = 0; i < 300; ++i) {
            const std::vector<bool> still = StillPieces();
            if (std::all_of(still.begin(), still.end(), [](bool b) { return b; }) && StillPieces() == still &&
                TrayHeights().size() == still.size())
                return;
        }
    }

    // A triangle still to cover, as the player sees it: one that flashes
    // out has just been covered.
    bool FreeOnSail(int c, int r) const
    {
        if (c < 0 || c >= kSailColumns || r < 0 || r >= kSailRows)
            return false;
        const uint8_t cell = game->field.cells[r][c];
        return cell == Field::kFree || cell == Field::kPreview;
    }

    // The pointer position that puts the piece's cell (0, 0) on (col, row).
    static void Aim(int shape, int orientation, int col, int row, float& x, float& y)
    {
        x = 440.0f + 25.0f * float(col) - float(Design().offsets[shape][orientation][0]);
        y = 120.0f + 43.0f * float(row) - float(Design().offsets[shape][orientation][1]);
        x = Snapped(x + kSnap / 2.0f);
        y = Snapped(y + kSnap / 2.0f);
    }

    struct Move {
        uint32_t entry = 0;
        int orientation = 0;
        float x = 0.0f, y = 0.0f;
        int score = -1000000;
    };

    // The best drop the player sees: big pieces first, on triangles with
    // few free neighbours, with few turns.
    bool FindMove(Move& best, const std::vector<bool>& still) const
    {
        bool found = false;
        for (uint32_t e = 0; e < game->tray.count && e < still.size(); ++e) {
            if (!still[e] || PickY(e) < 0.0f)
                continue;
            const CSail_Figure& piece = *game->tray.entries[e].figure;
            const int shape = int(piece.shape);
            for (int o = 0; o < 6; ++o)
                for (int row = -2; row <= kSailRows; ++row)
                    for (int col = -4; col <= kSailColumns; ++col) {
                        float x, y;
                        Aim(shape, o, col, row, x, y);
                        const SailCell at = ModelGridCell(x + float(Design().offsets[shape][o][0]),
                                                          y + float(Design().offsets[shape][o][1]));
                        if (at.col != col || at.row != row)
                            continue;
                        int size = 0, neighbours = 0;
                        bool fits = true;
                        for (int r = 0; r < 2 && fits; ++r)
                            for (int c = 0; c < 4 && fits; ++c) {
                                if (!Design().shapes[shape][o][r][c])
                                    continue;
                                const int fc = col + c, fr = row + r;
                                fits = FreeOnSail(fc, fr);
                                ++size;
                                const int vertical = (fc + fr) % 2 == 0 ? fr + 1 : fr - 1;
                                neighbours += FreeOnSail(fc - 1, fr) + FreeOnSail(fc + 1, fr) +
                                              FreeOnSail(fc, vertical);
                            }
                        if (!fits)
                            continue;
                        const int turns = (o - int(piece.orientation) + 6) % 6;
                        const int score = 100 * size - 10 * neighbours - turns;
                        if (score > best.score) {
                            best = {e, o, x, y, score};
                            found = true;
                        }
                    }
        }
        return found;
    }

    // Takes the entry, turns it and drops it; what went wrong, or empty.
    std::string Play(const Move& move)
    {
        const int dropsBefore = Count("loc11_arcade_dropfigure");
        const float pickY = PickY(move.entry);
        Click(Tray::kLeft + 68.0f, pickY);
        if (!game->held)
            return "nothing taken at " + std::to_string(pickY);
        const int turns = (move.orientation - int(game->held->orientation) + 6) % 6;
        for (int t = 0; t < turns; ++t)
            TurnHeld(move.x, move.y);
        harness.MoveMouse(move.x, move.y);
        harness.Step(3);
        if (game->held->orientation != uint32_t(move.orientation))
            return "orientation " + std::to_string(game->held->orientation);
        Click(move.x, move.y);
        if (game->held || Count("loc11_arcade_dropfigure") != dropsBefore + 1) {
            const SailCell cell = game->held ? game->held->GridCell() : SailCell{0, 0};
            return "no drop at " + std::to_string(move.x) + ", " + std::to_string(move.y) + " on " +
                   std::to_string(cell.col) + ", " + std::to_string(cell.row) + " shape " +
                   std::to_string(game->held ? game->held->shape : 9) + "/" + std::to_string(move.orientation) +
                   " turning " + std::to_string(game->held ? game->held->turnAngle : 0.0f) + " fits " +
                   std::to_string(game->held ? game->field.Fits(*game->held) : 0) + " mouse " +
                   std::to_string(g_mouse->x) + ", " + std::to_string(g_mouse->y);
        }
        return "";
    }

    void Restart()
    {
        Click(1140, 870);
        for (int i = 0; i < 100 && game->restarting; ++i)
            harness.Step();
        Click(640, 500); // the banner
    }

    // An odd cell (col + row odd) of the sail that is free, for a single
    // triangle turned to orientation 1 ("6000": its own cell).
    static int SailCellFree(const Field& field, int& col, int& row)
    {
        for (row = 0; row < kSailRows; ++row)
            for (col = 0; col < kSailColumns; ++col)
                if ((col + row) % 2 == 1 && field.cells[row][col] == Field::kFree)
                    return 1;
        return 0;
    }

    CTestTempDir m_packs;
    CGamePlayHarness harness;
    std::unique_ptr<CScriptEventRecorder> events;
    Game* game = nullptr;
};

TEST_F(SailGame, TheTestPlayerCoversTheSail)
{
    Launch();
    Begin();
    int restarts = 0, stalls = 0, moves = 0;
    for (int round = 0; round < 2000 && game->active; ++round) {
        Move move;
        if (FindMove(move, StillPieces())) {
            stalls = 0;
            ASSERT_EQ("", Play(move)) << "move " << moves;
            ++moves;
            continue;
        }
        // The tray may still be filling: wait for it before giving up.
        if (++stalls < 2) {
            WaitForTheTray();
            continue;
        }
        Restart();
        ++restarts;
        stalls = 0;
    }
    // The last flash ends the game.
    harness.StepSeconds(1.0);
    EXPECT_FALSE(game->active);
    EXPECT_EQ(nullptr, g_gameProcessor->currentArcade);
    EXPECT_EQ(1, Count("loc11_arcade_end"));
    const std::vector<std::string> lines = events->Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("loc11_arcade_end(true)", lines.back());
    EXPECT_EQ(restarts, Count("loc11_arcade_restart"));
    EXPECT_EQ(Count("loc11_arcade_attachfigure"), Count("loc11_arcade_dropfigure"));
    EXPECT_GT(moves, 20);
    EXPECT_EQ(nullptr, game->controlSet);
}

TEST_F(SailGame, TheFitTestAtTheEdgesAndAcrossTheFlash)
{
    Launch();
    Begin();
    Field& field = game->field;
    // Pieces placed so that their cell (0, 0) is on (col, row).
    auto piece = [](uint32_t shape, uint32_t orientation, int col, int row) {
        auto figure = std::make_unique<CSail_Figure>(shape, orientation);
        figure->SetPosition(440.0f + 25.0f * float(col) - figure->OffsetX(),
                            120.0f + 43.0f * float(row) - figure->OffsetY());
        return figure;
    };
    struct Case {
        uint32_t shape, orientation;
        int col, row;
        bool fits;
        const char* why;
    };
    const Case cases[] = {
        {2, 0, -1, 4, true, "its one triangle on (0, 4), its corner cell off the sail"},
        {2, 1, -1, 4, false, "on (-1, 4), left of the sail"},
        {2, 0, 14, 3, false, "on (15, 3), a column with no sail"},
        {2, 1, 6, 9, true, "on (6, 9) in the bottom row"},
        {1, 1, 7, 8, true, "on (8, 8) and (8, 9)"},
        {1, 1, 8, 9, false, "half below the bottom row"},
        {2, 0, 7, 0, true, "on (8, 0) in the top row"},
        {2, 1, 8, -1, false, "above the top row"},
        {0, 0, 14, 1, false, "its right triangle on (16, 2), right of the sail"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.fits, field.Fits(*piece(c.shape, c.orientation, c.col, c.row))) << c.why;

    // Covered triangles still count as free while they flash, not after.
    auto single = piece(2, 1, 6, 9);
    field.Cover(*single);
    EXPECT_EQ(Field::kFlashing, field.cells[9][6]);
    EXPECT_TRUE(field.Fits(*single));
    harness.StepSeconds(0.6);
    EXPECT_EQ(Field::kCovered, field.cells[9][6]);
    EXPECT_FALSE(field.Fits(*single));

    // A held piece over a flashing triangle leaves it flashing, and taking
    // the preview away does not make it free again.
    auto fresh = piece(2, 1, 8, 7);
    field.Cover(*fresh);
    field.MarkPreview(*fresh);
    EXPECT_EQ(Field::kFlashing, field.cells[7][8]);
    field.ClearPreview();
    EXPECT_EQ(Field::kFlashing, field.cells[7][8]);

    // A turning piece never fits.
    auto turning = piece(2, 5, 7, 0);
    turning->Turn();
    ASSERT_EQ(0u, turning->orientation);
    turning->SetPosition(440.0f + 25.0f * 7.0f - turning->OffsetX(), 120.0f - turning->OffsetY());
    EXPECT_FALSE(field.Fits(*turning));
    turning->turnAngle = 0.0f;
    EXPECT_TRUE(field.Fits(*turning)) << "on (8, 0) once the swing is over";
}

TEST_F(SailGame, TheTrayFallsStacksAndRefills)
{
    Launch();
    StartGame();
    Tray& tray = game->tray;
    // The plain model of a full tray: each piece resting on the one below,
    // 14 pixels apart, until the stack reaches the top.
    auto expectStacked = [&tray](const char* when) {
        float limit = Tray::kBottom;
        for (uint32_t i = 0; i < tray.count; ++i) {
            ASSERT_GT(limit, Tray::kTop) << when << ": piece " << i << " above a full stack";
            const CSail_Figure& piece = *tray.entries[i].figure;
            EXPECT_FLOAT_EQ(limit - float(Design().offsets[piece.shape][piece.orientation][1]),
                            piece.frame.position.y)
                << when << ": piece " << i;
            EXPECT_FLOAT_EQ(Tray::kLeft + 68.0f, piece.frame.position.x) << when;
            limit -= ModelHeight(int(piece.shape), int(piece.orientation)) + 14.0f;
        }
        EXPECT_LE(limit, Tray::kTop) << when << ": room left at the top";
    };
    ASSERT_GT(tray.count, 3u);
    EXPECT_EQ(2u, tray.entries[0].figure->shape) << "an empty tray first gets a single triangle";
    expectStacked("after the start");

    // The refill puts pieces straight on the stack: no time has to pass.
    g_geTimer->delta = 0.0f;
    game->Reset();
    expectStacked("refilled with a delta of 0");

    // Without the bottom piece the rest fall at 100 pixels a second, and a
    // new piece comes in only once nothing moves.
    const uint32_t before = tray.count;
    const float secondY = tray.entries[1].figure->frame.position.y;
    tray.Remove(0);
    ASSERT_EQ(before - 1, tray.count);
    tray.Step(0.1f);
    EXPECT_FLOAT_EQ(secondY + 10.0f, tray.entries[0].figure->frame.position.y);
    EXPECT_EQ(before - 1, tray.count) << "no new piece while the stack falls";
    for (int i = 0; i < 200 && tray.count == before - 1; ++i)
        tray.Step(0.1f);
    ASSERT_GE(tray.count, before);
    EXPECT_FLOAT_EQ(Tray::kTop, tray.entries[tray.count - 1].figure->frame.position.y)
        << "a new piece comes in at the top";
    for (int i = 0; i < 200; ++i)
        tray.Step(0.1f);
    expectStacked("settled again");

    // The new-piece rule: a single triangle whenever the first ten pieces
    // hold none, else shape and orientation from the generator.
    tray.Clear();
    for (int i = 0; i < 10; ++i) {
        GeSrand(3);
        tray.AddPiece();
        tray.entries[tray.count - 1].figure->shape = 0;
    }
    GeSrand(3);
    tray.AddPiece();
    EXPECT_EQ(2u, tray.entries[10].figure->shape);
    GeSrand(3);
    const uint32_t expectOrientation = uint32_t(GeRand() % 6);
    EXPECT_EQ(expectOrientation, tray.entries[10].figure->orientation);
    tray.entries[9].figure->shape = 2; // a single among the first ten again
    GeSrand(11);
    tray.AddPiece();
    GeSrand(11);
    const uint32_t shape = uint32_t(GeRand() % 6), orientation = uint32_t(GeRand() % 6);
    EXPECT_EQ(shape, tray.entries[11].figure->shape);
    EXPECT_EQ(orientation, tray.entries[11].figure->orientation);
    while (tray.count < Tray::kMaxEntries)
        tray.AddPiece();
    tray.AddPiece();
    EXPECT_EQ(Tray::kMaxEntries, tray.count) << "32 entries at most";
}

TEST_F(SailGame, PicksTurnsPutsBackAndDrops)
{
    Launch();
    StartGame();
    Tray& tray = game->tray;
    // The first click only hides the banner, even on a piece.
    const CGuiControl* banner = harness.ControlSet()->FindControl(CGeString("banner"));
    ASSERT_NE(nullptr, banner);
    EXPECT_EQ(1, banner->visible);
    Click(Tray::kLeft + 68.0f, PickY(1));
    EXPECT_EQ(0, banner->visible);
    EXPECT_EQ(nullptr, game->held);
    EXPECT_TRUE(events->Lines().empty());

    // A right click without a piece does nothing.
    RightClick(640, 500);
    EXPECT_TRUE(events->Lines().empty());

    // Taken, the tray's piece hides behind the held copy; clicking on the
    // tray puts it back.
    Click(Tray::kLeft + 68.0f, PickY(1));
    ASSERT_NE(nullptr, game->held);
    EXPECT_EQ(game->held, tray.entries[1].held);
    EXPECT_EQ(tray.entries[1].figure->shape, game->held->shape);
    Click(Tray::kLeft + 20.0f, 300.0f);
    EXPECT_EQ(nullptr, game->held);
    EXPECT_EQ(nullptr, tray.entries[1].held);
    EXPECT_EQ("loc11_arcade_attachfigure() loc11_arcade_detachfigure()", events->Joined());

    // The bottom piece hangs under the tray: the band 30 pixels below it
    // reaches it where the piece's own band allows.
    const CSail_Figure& bottom = *tray.entries[0].figure;
    const float bandTop = bottom.frame.position.y - bottom.Height() / 2.0f;
    if (bandTop < Tray::kBottom + Tray::kClickBand - kSnap) {
        const float y = Snapped(std::max(bandTop, Tray::kBottom) + kSnap);
        Click(Tray::kLeft + 68.0f, y);
        ASSERT_NE(nullptr, game->held) << "a click at " << y << " under the tray";
        EXPECT_EQ(game->held, tray.entries[0].held);
        Click(Tray::kLeft + 68.0f, y);
        EXPECT_EQ(nullptr, game->held);
    }
    // Below the band a click is on the field, and without a piece does
    // nothing.
    events->Clear();
    Click(Tray::kLeft + 68.0f, Tray::kBottom + Tray::kClickBand + 8.0f);
    EXPECT_EQ(nullptr, game->held);
    EXPECT_TRUE(events->Lines().empty());

    // A single triangle: taken, turned to point down, dropped on a free
    // down triangle. A second turn blocks the drop until its swing is over.
    int singleEntry = -1;
    for (uint32_t e = 0; e < tray.count && singleEntry < 0; ++e)
        if (tray.entries[e].figure->shape == 2 && PickY(e) >= 0.0f)
            singleEntry = int(e);
    ASSERT_GE(singleEntry, 0) << "no single triangle to take";
    const uint32_t countBefore = tray.count;
    Click(Tray::kLeft + 68.0f, PickY(uint32_t(singleEntry)));
    ASSERT_NE(nullptr, game->held);
    int col = 0, row = 0;
    ASSERT_TRUE(SailCellFree(game->field, col, row));
    const uint32_t turns = (7u - game->held->orientation) % 6u; // to orientation 1
    for (uint32_t t = 0; t < turns; ++t)
        TurnHeld(640, 500);
    ASSERT_EQ(1u, game->held->orientation);
    float x, y;
    Aim(2, 1, col, row, x, y);
    harness.MoveMouse(x, y);
    harness.Step(3);
    EXPECT_EQ(Field::kPreview, game->field.cells[row][col]) << "the preview shows where it lands";
    // A turn, a second turn and a drop in one frame: the second turn waits
    // for the first swing, and no piece drops while it shows.
    harness.RightClick(x, y);
    harness.RightClick(x, y);
    harness.Click(x, y);
    harness.Step(3);
    ASSERT_NE(nullptr, game->held) << "no drop while the turn shows";
    EXPECT_TRUE(game->held->Turning());
    EXPECT_EQ(2u, game->held->orientation);
    EXPECT_EQ(Field::kFree, game->field.cells[row][col]) << "no preview while turning";
    WaitForTurn();
    for (int t = 0; t < 5; ++t)
        TurnHeld(x, y);
    ASSERT_EQ(1u, game->held->orientation);
    Click(x, y);
    EXPECT_EQ(nullptr, game->held);
    EXPECT_EQ(Field::kFlashing, game->field.cells[row][col]);
    EXPECT_EQ(countBefore - 1, tray.count) << "a dropped piece leaves the tray for good";
    EXPECT_EQ(1, Count("loc11_arcade_dropfigure"));
    EXPECT_EQ(int(turns) + 6, Count("loc11_arcade_rotatefigure"));
}

TEST_F(SailGame, RestartFadesOutSetsUpAgainAndFadesIn)
{
    Launch();
    Begin();
    int col = 0, row = 0;
    ASSERT_TRUE(SailCellFree(game->field, col, row));
    game->field.cells[row][col] = Field::kCovered;
    Click(Tray::kLeft + 68.0f, PickY(1));
    ASSERT_NE(nullptr, game->held);
    events->Clear();

    harness.MoveMouse(1140, 870);
    harness.Step();
    harness.Click(1140, 870);
    harness.Step(3);
    ASSERT_TRUE(game->restarting);
    EXPECT_EQ(uint32_t(Game::kFadingOut), game->restartPhase);
    CGmColorFader* fader = g_gameProcessor->effectFader;
    EXPECT_EQ(1u, fader->state);
    // Input is ignored during the fades.
    RightClick(640, 500);
    Click(Tray::kLeft + 20.0f, 300.0f);
    EXPECT_NE(nullptr, game->held);
    EXPECT_TRUE(events->Lines().empty());

    for (int i = 0; i < 30 && game->restartPhase == Game::kFadingOut; ++i)
        harness.Step();
    ASSERT_EQ(uint32_t(Game::kFadingIn), game->restartPhase);
    EXPECT_EQ("loc11_arcade_restart()", events->Joined());
    EXPECT_EQ(nullptr, game->held);
    EXPECT_EQ(Field::kFree, game->field.cells[row][col]) << "the sail is set up again";
    EXPECT_EQ(0u, game->started);
    EXPECT_EQ(1u, fader->state);
    EXPECT_LT(fader->GetColorArgb() & 0xFF, 0x60u) << "fading in from black";
    for (int i = 0; i < 30 && game->restarting; ++i)
        harness.Step();
    EXPECT_FALSE(game->restarting);
    EXPECT_EQ(uint32_t(Game::kNoRestart), game->restartPhase);
    EXPECT_EQ(0u, fader->state);
    Click(640, 500);
    EXPECT_EQ(1u, game->started) << "the banner again";
    EXPECT_EQ("loc11_arcade_restart()", events->Joined());
}

TEST_F(SailGame, ASecondStartChangesNothingAndFinishDeletesAHeldPiece)
{
    Launch();
    Begin();
    Click(Tray::kLeft + 68.0f, PickY(1));
    ASSERT_NE(nullptr, game->held);
    const int32_t visuals = CGmVisual2D::s_liveCount;
    const CSail_Figure* firstPiece = game->tray.entries[0].figure;
    StartGame();
    harness.Step(3);
    EXPECT_EQ(visuals, CGmVisual2D::s_liveCount);
    EXPECT_EQ(firstPiece, game->tray.entries[0].figure);
    EXPECT_NE(nullptr, game->held);
    EXPECT_EQ(1u, game->started);

    // Finished from outside with a piece in hand: the piece goes, the sail
    // is not complete.
    game->Finish();
    EXPECT_EQ(nullptr, game->held);
    EXPECT_EQ(visuals - 1, CGmVisual2D::s_liveCount);
    EXPECT_EQ(nullptr, g_gameProcessor->currentArcade);
    EXPECT_EQ(nullptr, game->controlSet);
    EXPECT_EQ("loc11_arcade_attachfigure() loc11_arcade_end(false)", events->Joined());
    // And it starts again afresh.
    StartGame();
    EXPECT_TRUE(game->active);
    EXPECT_EQ(0u, game->started);

    // Left during the restart's fade: the fade stops with the game, and the
    // next start plays at once.
    Click(640, 500);
    Click(1140, 870);
    ASSERT_TRUE(game->restarting);
    game->Finish();
    EXPECT_FALSE(game->restarting);
    EXPECT_EQ(0u, g_gameProcessor->effectFader->state);
    harness.StepSeconds(1.0);
    StartGame();
    Click(640, 500);
    EXPECT_EQ(1u, game->started);
    EXPECT_FALSE(game->restarting);
    Click(Tray::kLeft + 68.0f, PickY(1));
    EXPECT_NE(nullptr, game->held);
}

TEST_F(SailGame, TheMenuTakesTheInputAndLeavingReportsFalse)
{
    Launch();
    Begin();
    harness.Key(QM_VK_ESCAPE);
    harness.Step(3);
    ASSERT_TRUE(g_gameProcessor->menuOpen);
    EXPECT_TRUE(game->paused);
    harness.Click(Tray::kLeft + 68.0f, PickY(1));
    harness.Step(3);
    harness.RightClick(640, 500);
    harness.Step(3);
    EXPECT_EQ(nullptr, game->held);
    EXPECT_TRUE(events->Lines().empty());

    // A new game from the menu ends the sail unsolved.
    g_gameProcessor->StartNewGame();
    harness.Step(3);
    EXPECT_FALSE(game->active);
    EXPECT_EQ(1, Count("loc11_arcade_end(false)"));
}

TEST_F(SailGame, MissingControlsRefuseTheStart)
{
    Launch({"sail_cursor_bg", "restart"});
    GeLogClearLast();
    StartGame();
    EXPECT_FALSE(game->active);
    EXPECT_EQ(nullptr, g_gameProcessor->currentArcade);
    EXPECT_EQ(nullptr, game->controlSet);
    EXPECT_EQ(2, GeLogLastLevel());
    const std::string line = GeLogLastMessage().c_str();
    EXPECT_NE(std::string::npos, line.find("sail_cursor_bg")) << line;
    EXPECT_NE(std::string::npos, line.find("restart")) << line;
    EXPECT_EQ(std::string::npos, line.find("stakan_bg")) << line;
    harness.Step(3);
    EXPECT_TRUE(events->Lines().empty());
}

TEST_F(SailGame, ACoveredTriangleFlashesOut)
{
    Launch();
    Begin();
    int col = 0, row = 0;
    ASSERT_TRUE(SailCellFree(game->field, col, row));
    // The triangle's centre, in back-buffer pixels (a down triangle: its
    // centre a third down).
    const int px = int((440.0f + 25.0f * float(col) + 25.0f) / 4.0f);
    const int py = int((120.0f + 43.0f * float(row) + 43.0f / 3.0f) / 4.0f);
    auto at = [px, py](const std::vector<uint32_t>& frame) { return frame[size_t(py) * 320 + size_t(px)]; };
    // The device draws the picture's colour a little darker; what counts is
    // the blend between the free triangle and what lies behind it.
    const uint32_t free = at(harness.CaptureFrame());
    EXPECT_TRUE(PixelNear(free, kFreeColour, 40));

    // Covered as a drop covers it: the triangle fades from half strength.
    auto single = std::make_unique<CSail_Figure>(2, 1);
    single->SetPosition(440.0f + 25.0f * float(col) - single->OffsetX(),
                        120.0f + 43.0f * float(row) - single->OffsetY());
    game->field.Cover(*single);
    const std::vector<uint32_t> flashing = harness.CaptureFrame();
    const float alpha = float(std::lround(game->field.flashTime * 255.0f)) / 255.0f;
    ASSERT_GT(alpha, 0.2f);
    harness.StepSeconds(0.6);
    EXPECT_EQ(Field::kCovered, game->field.cells[row][col]);
    const uint32_t behind = at(harness.CaptureFrame());
    EXPECT_FALSE(PixelNear(behind, free, 40)) << "the covered triangle is gone";
    uint32_t expect = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const float mixed = alpha * float(free >> shift & 0xFF) + (1.0f - alpha) * float(behind >> shift & 0xFF);
        expect |= uint32_t(std::lround(mixed)) << shift;
    }
    EXPECT_TRUE(PixelNear(at(flashing), expect, 20));
}

} // namespace
