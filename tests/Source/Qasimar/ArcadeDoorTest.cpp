// The door game through the game-play harness on the demo game, headless,
// with its layout, wheel pictures and GUI pictures from a pack of the test's
// own. A test player that reads only the pictures set on the three samples
// plays to the open door with a wrong pick in the first and in the seventh
// group; the reshuffles are compared with a plain model of the engine's
// generator. The wheel's frames, refused starts, the missing wheel list and
// the ways out are checked beside.
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeRandom.h"
#include "Engine/Core/Gm/GmColorFader.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Gui/GuiButton.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiCustom.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiResources.h"
#include "Source/GameClasses/QmGameVars.h"
#include "Source/GameClasses/QmDelayedCalls.h"
#include "Source/GameClasses/QmScriptProcessor.h"
#include "Source/Qasimar/QasimarArcadeDoor.h"
#include "tests/Source/GameClasses/ScriptEventRecorder.h"
#include "tests/Source/Qasimar/GamePlayHarness.h"
#include "tools/fpk/FpkWriter.h"
#include "tools/locpictures/LocationPainter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

using Door = CQasimarArcade_Door;

// The engine's generator, written out plainly.
class GeneratorModel {
public:
    explicit GeneratorModel(uint32_t seed) : m_state(seed) {}
    int Next()
    {
        m_state = m_state * 214013u + 2531011u;
        return int(m_state >> 16 & 0x7FFF);
    }

private:
    uint32_t m_state;
};

// The shuffles: swaps of two positions drawn from progress to the end.
void ModelShuffle(uint8_t* order, int progress, int swaps, GeneratorModel& random)
{
    const int left = Door::kSigns - progress;
    for (int n = 0; n < swaps; ++n) {
        const int a = progress + random.Next() % left, b = progress + random.Next() % left;
        if (a != b)
            std::swap(order[a], order[b]);
    }
}

struct Box {
    float x, y, w, h;
};
Box SignBox(int i)
{
    return {100.0f + 140.0f * float(i % 6), 250.0f + 140.0f * float(i / 6), 120.0f, 120.0f};
}

std::string Control(const char* name, const char* type, const Box& box)
{
    char text[400];
    std::snprintf(text, sizeof(text),
                  "<Control Name=\"%s\" Type=\"%s\"><Property Name=\"EP_X\">%g</Property>"
                  "<Property Name=\"EP_Y\">%g</Property><Property Name=\"EP_W\">%g</Property>"
                  "<Property Name=\"EP_H\">%g</Property></Control>\n",
                  name, type, box.x, box.y, box.w, box.h);
    return text;
}

// The door's layout; skip leaves one control out, wheelType replaces the
// wheel's type.
std::string Layout(const char* skip = "", const char* wheelType = "EGCT_CUSTOM")
{
    std::string xml = "<GUI><CONTROLSET>\n";
    auto add = [&](const char* name, const char* type, const Box& box) {
        if (std::strcmp(name, skip) != 0)
            xml += Control(name, type, box);
    };
    for (int i = 0; i < Door::kSigns; ++i) {
        char name[16];
        std::snprintf(name, sizeof(name), "sign_%02i", i);
        add(name, "EGCT_BUTTON", SignBox(i));
    }
    for (int k = 1; k <= 3; ++k) {
        char name[16];
        std::snprintf(name, sizeof(name), "sample_%i", k);
        add(name, "EGCT_BUTTON", {300.0f + 140.0f * float(k - 1), 60.0f, 120.0f, 120.0f});
    }
    add("door", "EGCT_CONTROL", {950, 700, 100, 100});
    add("wheel", wheelType, {1000, 300, 200, 200});
    add("txt_lbl", "EGCT_CONTROL", {400, 900, 400, 60});
    return xml + "</CONTROLSET></GUI>\n";
}

// The GUI pictures the game names, all cut from one small picture.
std::string Pictures()
{
    std::string xml = "<GUI_RESOURCES><PICS><IMAGE Name=\"door_pics\" FileName=\"gui/door/pics.tga\"/></PICS>"
                      "<SPRITE_SCHEMAS>\n<SPRITE_SCHEMA Name=\"bld_empty\" Image=\"door_pics\" Rect=\"0 0 8 8\"/>\n";
    for (int i = 0; i < Door::kSigns; ++i) {
        char line[200];
        std::snprintf(line, sizeof(line),
                      "<SPRITE_SCHEMA Name=\"door_sign_%02i\" Image=\"door_pics\" Rect=\"8 0 8 8\"/>\n"
                      "<SPRITE_SCHEMA Name=\"door_sample_%02i\" Image=\"door_pics\" Rect=\"16 0 8 8\"/>\n",
                      i, i);
        xml += line;
    }
    return xml + "</SPRITE_SCHEMAS></GUI_RESOURCES>\n";
}

struct Content {
    std::string layout = Layout();
    bool wheelList = true;
};

class ArcadeDoor : public ::testing::Test {
protected:
    void Play(const Content& content = Content())
    {
        harness = std::make_unique<CGamePlayHarness>();
        const std::string pack = m_packs / "door.fpk";
        CFpkWriter writer;
        std::string error;
        ASSERT_TRUE(writer.Open(pack.c_str(), &error)) << error;
        auto add = [&](const std::string& name, const std::string& text) {
            ASSERT_TRUE(writer.AddFile(name, reinterpret_cast<const uint8_t*>(text.data()), text.size(), &error))
                << error;
        };
        auto addBytes = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
            ASSERT_TRUE(writer.AddFile(name, bytes.data(), bytes.size(), &error)) << error;
        };
        add("gui/arcades/door.xml", content.layout);
        add("gui/door/pictures.xml", Pictures());
        addBytes("gui/door/pics.tga", ColourTga(24, 8, std::vector<uint32_t>(24 * 8, 0xFF808080)));
        if (content.wheelList) {
            std::string list = "<imagelist>";
            for (int f = 0; f < Door::kWheelFrames; ++f) {
                char name[64];
                std::snprintf(name, sizeof(name), "locations/loc23/wheel_%02d.tga", f);
                addBytes(name, ColourTga(4, 4, std::vector<uint32_t>(16, 0xFF000000u | uint32_t(f) * 6u)));
                list += std::string("<image filename=\"") + name + "\"/>";
            }
            add("locations/loc23/wheel.xml", list + "</imagelist>");
        }
        ASSERT_TRUE(writer.Finish(&error)) << error;

        CGamePlayHarness::Options options;
        options.pack = QM_DEMO_PACK;
        options.extraPacks = {pack};
        options.width = 640;
        options.height = 512;
        ASSERT_TRUE(harness->Start(options));
        harness->StepSeconds(1.0);
        // The location is in; the tiles puzzle it asked for a few seconds
        // after the arrival stays shut (it would take the screen).
        CQmDelayedCalls::Clear();
        CGuiResources::Load(g_dataRoot + "gui/door/pictures.xml", 1);
        events = std::make_unique<CScriptEventRecorder>();
        events->Record({"door_arcade_select", "door_arcade_wheel", "door_arcade_opening", "door_arcade_end"});
        auto* found = g_gameProcessor->arcades.Find(CGeString("arcade: door"));
        ASSERT_NE(nullptr, found) << "start-up registers the door game";
        game = static_cast<Door*>(found->value);
    }

    void TearDown() override
    {
        if (harness)
            harness->Stop();
    }

    void StartGame() { g_gameProcessor->StartArcadeByName("arcade: door", nullptr); }

    void ClickAt(float x, float y)
    {
        harness->MoveMouse(x, y);
        harness->Step();
        harness->Click(x, y);
        harness->Step(3);
    }
    void ClickSign(int i)
    {
        const Box box = SignBox(i);
        ClickAt(box.x + box.w / 2, box.y + box.h / 2);
    }

    // What the player reads off sample k: the sign its picture shows.
    int SampleSign(int k) const
    {
        char name[24];
        std::snprintf(name, sizeof(name), "sample_%i", k + 1);
        auto* sample = static_cast<CGuiButton*>(harness->ControlSet()->FindControl(CGeString(name)));
        int sign = -1;
        if (std::sscanf(sample->pictureNames[GUI_PIECE_CENTRE][GUI_BUTTON_NORMAL].c_str(), "door_sample_%d", &sign) != 1)
            return -1;
        return sign;
    }
    size_t Count(const std::string& line) const
    {
        const std::vector<std::string> lines = events->Lines();
        return size_t(std::count(lines.begin(), lines.end(), line));
    }
    // The player waits for the wheel to show a group and to stop rolling.
    void WaitForTheWheel(size_t shown)
    {
        for (int f = 0; f < 200 && Count("door_arcade_wheel()") < shown; ++f)
            harness->Step();
        ASSERT_EQ(shown, Count("door_arcade_wheel()"));
        harness->StepSeconds(5.2);
    }
    // A wrong pick, then the reshuffle it brings, against the model: only
    // the unsolved part moves.
    void PickWrongAndCheckTheReshuffle(int group)
    {
        int wrong = 0;
        while (wrong == SampleSign(0) || wrong == SampleSign(1) || wrong == SampleSign(2) ||
               game->signs[wrong]->state == Door::Sign::kFound)
            ++wrong;
        ClickSign(wrong);
        EXPECT_EQ("door_arcade_select(false)", events->Lines().back());
        ASSERT_EQ(Door::kWrongPick, game->state);
        EXPECT_EQ(Door::Sign::kWrong, game->signs[wrong]->state);
        while (game->timer < 1.9f)
            harness->Step();
        uint8_t expected[Door::kSigns];
        std::copy(std::begin(game->order), std::end(game->order), expected);
        GeSrand(4242);
        GeneratorModel model(4242);
        ModelShuffle(expected, 3 * group, 100, model);
        harness->StepSeconds(0.2);
        EXPECT_TRUE(std::equal(std::begin(expected), std::end(expected), std::begin(game->order)))
            << "group " << group;
        EXPECT_EQ(Door::Sign::kNotFound, game->signs[wrong]->state);
    }

    CTestTempDir m_packs;
    std::unique_ptr<CGamePlayHarness> harness;
    std::unique_ptr<CScriptEventRecorder> events;
    Door* game = nullptr;
};

TEST(ArcadeDoorWheel, FramesFollowTheRoll)
{
    const struct {
        float t;
        uint32_t frame;
    } rows[] = {
        {0.0f, 0}, {0.5f, 15}, {0.99f, 30}, {1.0f, 30}, {1.25f, 34}, {1.49f, 38},
        {1.5f, 38}, {3.0f, 38}, {4.5f, 38}, {4.75f, 34}, {5.0f, 30}, {6.0f, 14},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.frame, Door::WheelFrame(row.t)) << row.t;
}

// The player opens the door: the introduction goes at a click, clicks while
// the wheel rolls are ignored, a wrong pick in the first and in the
// seventh group reshuffles the unsolved part only (in the last group every
// sign not found yet is a sample: no pick can be wrong), a found sign clicked again does
// nothing, the groups are picked in any order, and the door opens with the
// input locked, the screen fades, and the end is reported as won.
TEST_F(ArcadeDoor, ThePlayerOpensTheDoorDespiteTwoWrongPicks)
{
    Play();
    GeSrand(77);
    StartGame();
    ASSERT_EQ(game, g_gameProcessor->currentArcade);
    uint8_t expected[Door::kSigns];
    for (int i = 0; i < Door::kSigns; ++i)
        expected[i] = uint8_t(i);
    GeneratorModel model(77);
    ModelShuffle(expected, 0, 250, model);
    EXPECT_TRUE(std::equal(std::begin(expected), std::end(expected), std::begin(game->order)));
    CGuiControl* intro = harness->ControlSet()->FindControl(CGeString("txt_lbl"));
    ASSERT_NE(nullptr, intro);
    EXPECT_TRUE(intro->visible);
    ASSERT_NE(nullptr, game->wheelSprite);
    EXPECT_EQ(game->wheelSprite, game->wheel->attached);

    ClickAt(640, 980);
    EXPECT_FALSE(intro->visible);
    for (int f = 0; f < 40 && Count("door_arcade_wheel()") == 0; ++f)
        harness->Step();
    ASSERT_EQ(1u, Count("door_arcade_wheel()"));
    // The wheel rolls: picks wait.
    harness->StepSeconds(0.5);
    EXPECT_NE(0u, game->wheelSprite->imageSet.currentFrame);
    ClickSign(SampleSign(0));
    EXPECT_EQ(0u, Count("door_arcade_select(true)"));
    EXPECT_EQ(Door::Sign::kNotFound, game->signs[SampleSign(0)]->state);
    harness->StepSeconds(5.0);
    EXPECT_EQ(0u, game->wheelSprite->imageSet.currentFrame) << "the wheel rests while the player picks";

    size_t wheels = 1;
    for (int group = 0; group < 8; ++group) {
        SCOPED_TRACE(group);
        if (group == 0 || group == 6) {
            PickWrongAndCheckTheReshuffle(group);
            WaitForTheWheel(++wheels);
        }
        const int signs[3] = {SampleSign(2), SampleSign(0), SampleSign(1)}; // any order
        for (int k = 0; k < 3; ++k) {
            ClickSign(signs[k]);
            EXPECT_EQ(Door::Sign::kFound, game->signs[signs[k]]->state);
            if (k == 0) {
                const size_t before = events->Lines().size();
                ClickSign(signs[0]);
                EXPECT_EQ(before, events->Lines().size()) << "a found sign";
            }
        }
        if (group < 7)
            WaitForTheWheel(++wheels);
    }
    EXPECT_EQ(24u, Count("door_arcade_select(true)"));
    EXPECT_EQ(2u, Count("door_arcade_select(false)"));
    EXPECT_EQ("door_arcade_opening()", events->Lines().back());
    EXPECT_EQ(Door::kOpening, game->state);
    EXPECT_NEAR(5.0f, g_gameProcessor->inputLockTime, 0.15f);

    harness->StepSeconds(3.0);
    EXPECT_EQ(Door::kFadeOut, game->state);
    ASSERT_NE(nullptr, g_gameProcessor->effectFader);
    EXPECT_GT(g_gameProcessor->effectFader->Progress(), 0.0f);
    harness->StepSeconds(0.6);
    EXPECT_EQ("door_arcade_end(true)", events->Lines().back());
    EXPECT_EQ(1u, Count("door_arcade_end(true)"));
    EXPECT_EQ(nullptr, g_gameProcessor->currentArcade);
    EXPECT_EQ(nullptr, g_guiManager->FindControlSet(CGeString("_ctrlset_arcade: door")));
}

// What the game needs and cannot find refuses the start, named in the log,
// and ends it at once as not won.
TEST_F(ArcadeDoor, MissingControlsRefuseTheStart)
{
    const struct {
        std::string layout;
        const char* named;
    } cases[] = {
        {Layout("sign_05"), "'sign_05'"},
        {Layout("sample_2"), "'sample_2'"},
        {Layout("", "EGCT_CONTROL"), "'wheel'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.named);
        Content content;
        content.layout = c.layout;
        Play(content);
        GeLogClearLast();
        StartGame();
        EXPECT_EQ(2, GeLogLastLevel());
        EXPECT_NE(nullptr, std::strstr(GeLogLastMessage().c_str(), c.named)) << GeLogLastMessage().c_str();
        EXPECT_EQ(nullptr, g_gameProcessor->currentArcade);
        EXPECT_FALSE(game->active);
        EXPECT_FALSE(game->started);
        EXPECT_EQ(nullptr, g_guiManager->FindControlSet(CGeString("_ctrlset_arcade: door")));
        EXPECT_EQ("door_arcade_end(false)", events->Joined());
        harness->Stop();
        harness.reset();
    }
}

// Without its picture list the wheel stays empty and the door still plays.
TEST_F(ArcadeDoor, AMissingWheelListLeavesTheWheelEmpty)
{
    Content content;
    content.wheelList = false;
    Play(content);
    GeLogClearLast();
    StartGame();
    EXPECT_NE(nullptr, std::strstr(GeLogLastMessage().c_str(), "wheel.xml")) << GeLogLastMessage().c_str();
    ASSERT_EQ(game, g_gameProcessor->currentArcade);
    EXPECT_EQ(nullptr, game->wheelSprite);
    EXPECT_EQ(nullptr, game->wheel->attached);
    ClickAt(640, 980);
    for (int f = 0; f < 40 && Count("door_arcade_wheel()") == 0; ++f)
        harness->Step();
    harness->StepSeconds(5.2);
    ClickSign(SampleSign(0));
    EXPECT_EQ("door_arcade_select(true)", events->Lines().back());
}

// A second start changes nothing; the menu stops the clock and the clicks;
// leaving through the menu reports the door as not opened; the wheel sprite
// is kept for the next play.
TEST_F(ArcadeDoor, LeavingBeforeTheEndReportsFalseAndTheWheelIsKept)
{
    Play();
    StartGame();
    ClickAt(640, 980);
    for (int f = 0; f < 40 && Count("door_arcade_wheel()") == 0; ++f)
        harness->Step();
    harness->StepSeconds(5.2);
    ASSERT_EQ(Door::kPicking, game->state);
    uint8_t order[Door::kSigns];
    std::copy(std::begin(game->order), std::end(game->order), order);
    CGmSprite* sprite = game->wheelSprite;
    StartGame();
    EXPECT_TRUE(std::equal(std::begin(order), std::end(order), std::begin(game->order)));
    EXPECT_EQ(Door::kPicking, game->state);

    const int sample = SampleSign(0);
    harness->StepSeconds(0.5); // the clicks' short input lock
    harness->Key(0x1B);
    harness->Step(4);
    ASSERT_EQ(1, g_gameProcessor->menuOpen);
    EXPECT_EQ(1, game->paused);
    const float timer = game->timer;
    ClickSign(sample);
    EXPECT_EQ(timer, game->timer) << "the menu stops the clock";
    EXPECT_EQ(0u, Count("door_arcade_select(true)"));
    harness->Key(0x1B); // closes the menu
    harness->StepSeconds(0.5);
    ASSERT_EQ(0, g_gameProcessor->menuOpen);

    // Escape in the mini-game mode leaves for the main menu.
    CQmGameVars::Set("MiniGameMode", 1);
    harness->Key(0x1B);
    harness->Step(4);
    CQmGameVars::Set("MiniGameMode", 0);
    EXPECT_EQ(nullptr, g_gameProcessor->currentArcade);
    EXPECT_EQ("door_arcade_end(false)", events->Lines().back());
    if (g_gameProcessor->menuOpen)
        g_gameProcessor->CloseMenu();

    StartGame();
    EXPECT_EQ(sprite, game->wheelSprite);
    EXPECT_EQ(sprite, game->wheel->attached);
    game->Finish();
}

} // namespace
