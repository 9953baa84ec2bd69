// The keys game through the game-play harness on the demo game, headless,
// with its layout and pictures from a pack of the test's own: 48 by 48 keys,
// each kind in its own colour, whose left 12 columns are transparent, and a
// glow frame that is opaque all over. A test player that knows only the key
// positions and what the screen shows finds the pairs by colour and plays to
// the win with mismatches, a red-flash reselect and an unselect on the way;
// the colour clock, the sparks, the point test at two back-buffer sizes, the
// refused starts, the second start and the ways out are checked beside.
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Gui/GeCursorSet.h"
#include "Engine/Gui/GuiControl.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiManager.h"
#include "Source/GameClasses/QmGameVars.h"
#include "Source/GameClasses/QmDelayedCalls.h"
#include "Source/GameClasses/QmScriptProcessor.h"
#include "Source/Qasimar/QasimarArcadeKeys.h"
#include "tests/Source/GameClasses/ScriptEventRecorder.h"
#include "tests/Source/Qasimar/GamePlayHarness.h"
#include "tools/fpk/FpkWriter.h"
#include "tools/locpictures/LocationPainter.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

namespace {

using Game = CQasimarArcade_Keys;
using Key = CKeys_Key;

constexpr uint32_t kSide = 48;        // a key frame's pixels
constexpr uint32_t kClearColumns = 12; // transparent at the key's left
constexpr float kOpaqueAt[2] = {30.0f, 24.0f};
constexpr float kClearAt[2] = {4.0f, 24.0f};
constexpr float kCornerAt[2] = {44.0f, 4.0f};

uint32_t KindColour(int kind)
{
    return 0xFF000000u | uint32_t(40 + 15 * kind) << 16 | 0x3C00u | uint32_t(220 - 15 * kind);
}

std::vector<uint8_t> KeyPicture(int kind)
{
    std::vector<uint32_t> pixels(size_t(2 * kSide) * kSide);
    for (uint32_t y = 0; y < kSide; ++y)
        for (uint32_t x = 0; x < 2 * kSide; ++x)
            pixels[size_t(y) * 2 * kSide + x] = x >= kSide ? 0xFFFFFFFFu : x < kClearColumns ? 0u : KindColour(kind);
    return ColourTga(2 * kSide, kSide, pixels);
}

const char kLayout[] = R"(<GUI><CONTROLSET>
  <Control Name="banner" Type="EGCT_CONTROL">
    <Property Name="EP_X">440</Property><Property Name="EP_Y">860</Property>
    <Property Name="EP_W">400</Property><Property Name="EP_H">80</Property>
  </Control>
  <Control Name="key07" Type="EGCT_CUSTOM"/>
</CONTROLSET></GUI>)";

struct Pack {
    const char* layout = kLayout;
    const char* missingPicture = nullptr; // a key picture left out
};

class ArcadeKeys : public ::testing::Test {
protected:
    void Play(const Pack& content = Pack(), uint32_t width = 1280, uint32_t height = 1024)
    {
        harness = std::make_unique<CGamePlayHarness>();
        const std::string pack = m_packs / "keys.fpk";
        CFpkWriter writer;
        std::string error;
        ASSERT_TRUE(writer.Open(pack.c_str(), &error)) << error;
        auto add = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
            ASSERT_TRUE(writer.AddFile(name, bytes.data(), bytes.size(), &error)) << error;
        };
        add("gui/arcades/keys.xml", std::vector<uint8_t>(content.layout, content.layout + std::strlen(content.layout)));
        for (int i = 0; i < Game::kKeys; ++i) {
            char name[64];
            std::snprintf(name, sizeof(name), "backgrounds/loc17/key_%02d_%d.tga", i / 2, i % 2);
            // A missing picture is an empty file: it hides the demo's own.
            if (!content.missingPicture || !std::strstr(name, content.missingPicture))
                add(name, KeyPicture(i / 2));
            else
                add(name, {});
        }
        add("psystextures/boom_p0.tga", ColourTga(8, 8, std::vector<uint32_t>(64, 0xFFFFFF00)));
        ASSERT_TRUE(writer.Finish(&error)) << error;

        CGamePlayHarness::Options options;
        options.pack = QM_DEMO_PACK;
        options.extraPacks = {pack};
        options.width = width;
        options.height = height;
        ASSERT_TRUE(harness->Start(options));
        harness->StepSeconds(1.0);
        // The location is in; the tiles puzzle it asked for a few seconds
        // after the arrival stays shut (it would take the screen).
        CQmDelayedCalls::Clear();
        events = std::make_unique<CScriptEventRecorder>();
        events->Record({"keys_arcade_select", "keys_arcade_match", "keys_arcade_mismatch", "keys_arcade_unselect",
                        "keys_arcade_end"});
        auto* found = g_gameProcessor->arcades.Find(CGeString("arcade: keys"));
        ASSERT_NE(nullptr, found) << "start-up registers the keys game";
        game = static_cast<Game*>(found->value);
    }

    void TearDown() override
    {
        if (harness)
            harness->Stop();
    }

    void Run(const char* text)
    {
        CGeString error;
        EXPECT_TRUE(ScriptRunString(text, error)) << error.c_str();
    }
    void StartGame() { Run("StartArcadeGame('arcade: keys')"); }

    // The player's eyes: where key i lies (the level's table) plus a point
    // of the key picture in reference pixels at the reference size.
    static float At(int i, int axis, const float* offset) { return Places()[i][axis] + offset[axis]; }
    // The table as the level designer wrote it down.
    static const std::vector<std::array<float, 2>>& Places()
    {
        static std::vector<std::array<float, 2>> places = [] {
            std::vector<std::array<float, 2>> rows;
            std::ifstream in(QM_QASIMAR_TEST_DATA "/keys_positions.txt");
            std::string line;
            while (std::getline(in, line)) {
                if (line.empty() || line[0] == '#')
                    continue;
                std::istringstream fields(line);
                int index = 0;
                float x = 0.0f, y = 0.0f;
                fields >> index >> x >> y;
                rows.push_back({x, y});
            }
            return rows;
        }();
        return places;
    }

    // The mouse goes there, then presses: the game reads where the cursor
    // is. The press reaches the game three frames after the window message
    // (window, mouse device, dispatcher).
    void ClickAt(float x, float y)
    {
        harness->MoveMouse(x, y);
        harness->Step();
        harness->Click(x, y);
        harness->Step(3);
    }
    void ClickKey(int i) { ClickAt(At(i, 0, kOpaqueAt), At(i, 1, kOpaqueAt)); }

    // A pixel of a frame captured at the reference size.
    static uint32_t PixelAt(const std::vector<uint32_t>& frame, float x, float y)
    {
        return frame[size_t(y) * 1280 + size_t(x)] & 0xFFFFFF;
    }

    CTestTempDir m_packs;
    std::unique_ptr<CGamePlayHarness> harness;
    std::unique_ptr<CScriptEventRecorder> events;
    Game* game = nullptr;
};

TEST_F(ArcadeKeys, KeyPlacesAreTheLevelsTable)
{
    ASSERT_EQ(size_t(Game::kKeys), Places().size());
    for (int i = 0; i < Game::kKeys; ++i) {
        EXPECT_EQ(Places()[i][0], Game::kPlaces[i].x) << "key " << i;
        EXPECT_EQ(Places()[i][1], Game::kPlaces[i].y) << "key " << i;
    }
}

// The player sees the keys' colours, pairs them, and plays: a mismatch whose
// red key is picked again at once and let go, the odd key tried early, a
// transparent pixel and a removed key that take no click, every pair, and
// the odd key last.
TEST_F(ArcadeKeys, ThePlayerFindsEveryPairAndEndsOnTheOddKey)
{
    Play();
    StartGame();
    harness->Step();
    ASSERT_EQ(game, g_gameProcessor->currentArcade);
    CGuiControl* banner = harness->ControlSet()->FindControl(CGeString("banner"));
    ASSERT_NE(nullptr, banner);
    EXPECT_TRUE(banner->visible);

    // The first click, right on a key, only hides the banner.
    ClickKey(0);
    harness->Step();
    EXPECT_FALSE(banner->visible);
    EXPECT_EQ("", events->Joined());
    EXPECT_EQ(Key::kHovered, game->keys[0]->state) << "the cursor rests on it";

    // What the player sees: each key's colour.
    harness->MoveMouse(5, 5);
    harness->StepSeconds(0.5);
    const std::vector<uint32_t> screen = harness->CaptureFrame();
    std::map<uint32_t, std::vector<int>> byColour;
    for (int i = 0; i < Game::kKeys; ++i)
        byColour[PixelAt(screen, At(i, 0, kOpaqueAt), At(i, 1, kOpaqueAt))].push_back(i);
    std::vector<std::pair<int, int>> pairs;
    int odd = -1;
    for (const auto& [colour, keys] : byColour) {
        if (keys.size() == 2)
            pairs.emplace_back(keys[0], keys[1]);
        else if (keys.size() == 1)
            odd = keys[0];
    }
    ASSERT_EQ(12u, pairs.size()) << "twelve pairs show";
    ASSERT_EQ(24, odd);

    std::string expected;
    auto expect = [&](const char* event) { expected += std::string(expected.empty() ? "" : " ") + event + "()"; };

    // A mismatch; the red key can be picked again at once, then let go.
    ClickKey(pairs[0].first);
    ClickKey(pairs[1].first);
    expect("keys_arcade_select");
    expect("keys_arcade_mismatch");
    EXPECT_EQ(Key::kMismatch, game->keys[pairs[1].first]->state);
    ClickKey(pairs[1].first);
    ClickKey(pairs[1].first);
    expect("keys_arcade_select");
    expect("keys_arcade_unselect");
    EXPECT_EQ(nullptr, game->selected);

    // The odd key tried early only mismatches.
    ClickKey(odd);
    ClickKey(pairs[2].second);
    expect("keys_arcade_select");
    expect("keys_arcade_mismatch");
    harness->StepSeconds(0.6);

    // A transparent pixel takes no click.
    ClickAt(At(pairs[3].first, 0, kClearAt), At(pairs[3].first, 1, kClearAt));
    EXPECT_EQ(nullptr, game->selected);

    for (size_t p = 0; p < pairs.size(); ++p) {
        ClickKey(pairs[p].first);
        ClickKey(pairs[p].second);
        expect("keys_arcade_select");
        expect("keys_arcade_match");
        if (p == 0) {
            // A removed key takes no click.
            ClickKey(pairs[0].first);
            EXPECT_EQ(nullptr, game->selected);
        }
    }
    EXPECT_EQ(expected, events->Joined());
    EXPECT_EQ(1, game->RemainingKeys());
    EXPECT_EQ(game, g_gameProcessor->currentArcade);

    ClickKey(odd);
    harness->Step();
    expect("keys_arcade_select");
    expect("keys_arcade_end");
    EXPECT_EQ(expected, events->Joined());
    EXPECT_EQ(nullptr, g_gameProcessor->currentArcade);
    EXPECT_FALSE(game->active);
    EXPECT_EQ(nullptr, g_guiManager->FindControlSet(CGeString("_ctrlset_arcade: keys")));
    EXPECT_EQ(nullptr, game->keys[0]);
    harness->Step(5);
    EXPECT_EQ(expected, events->Joined()) << "the end is reported once";
}

// The colour blends in a third of a second from where it is; the red flash
// ends half a second after its blend.
TEST_F(ArcadeKeys, ColoursBlendInAThirdOfASecondAndTheRedFlashEnds)
{
    Play(Pack(), 320, 256);
    Key key(3, 1);
    EXPECT_EQ(0x0000FF00u, key.color);
    key.SetState(Key::kSelected);
    const struct {
        float delta;
        uint32_t color;
    } toSelected[] = {{0.0f, 0x0000FF00}, {1.0f / 6.0f, 0x7F00FF00}, {1.0f / 6.0f, 0xFF00FF00}, {0.5f, 0xFF00FF00}};
    for (const auto& row : toSelected) {
        key.Step(row.delta);
        EXPECT_EQ(row.color, key.color) << std::hex << "at phase " << key.phase;
    }
    key.SetState(Key::kMismatch);
    EXPECT_EQ(0xFF00FF00u, key.fromColor);
    key.Step(1.0f / 3.0f);
    EXPECT_EQ(0xFFFF0000u, key.color);
    key.Step(1.0f / 6.0f);
    EXPECT_EQ(Key::kMismatch, key.state) << "phase 1.5: still red";
    key.Step(0.01f);
    EXPECT_EQ(Key::kIdle, key.state);
    EXPECT_EQ(0.0f, key.phase);
    key.Step(1.0f / 3.0f);
    EXPECT_EQ(0x0000FF00u, key.color);
    // A state set again changes nothing.
    const float phase = key.phase;
    key.SetState(Key::kIdle);
    EXPECT_EQ(0xFFFF0000u, key.fromColor);
    EXPECT_EQ(phase, key.phase);
}

// A removed key's sparks: staggered timers, a life of 0.4 s with the alpha
// falling from full to none, a rest of 0.05 s, a new opaque place each time,
// turning as they live, and no new spark after 1.5 s.
TEST_F(ArcadeKeys, SparksLiveRestAndReappearOnTheKey)
{
    Play(Pack(), 320, 256);
    Key key(0, 0);
    key.SetState(Key::kRemoved);
    for (int j = 0; j < Key::kSparks; ++j) {
        EXPECT_FLOAT_EQ(0.4f - 0.4f * float(j) / 64.0f, key.sparkTime[j]) << j;
        EXPECT_FALSE(key.sparks[j]->visible);
    }
    key.Step(0.01f);
    EXPECT_FLOAT_EQ(-0.05f, key.sparkTime[0]);
    const struct {
        int spark;
        int alpha;
    } alphas[] = {{63, 255}, {40, 255}, {24, 245}, {10, 91}, {2, 4}};
    for (const auto& row : alphas)
        EXPECT_NEAR(row.alpha, key.sparks[row.spark]->alpha, 1) << "spark " << row.spark;
    EXPECT_FLOAT_EQ(0.01f, key.sparks[24]->frame.angles.z);

    key.Step(0.05f);
    CGmSprite* spark = key.sparks[0];
    ASSERT_TRUE(spark->visible) << "rested and back";
    EXPECT_EQ(255, spark->alpha);
    const Vec3 at = spark->frame.position;
    EXPECT_TRUE(key.PointTest(at.x, at.y)) << "on an opaque pixel: " << at.x << ", " << at.y;
    EXPECT_GE(at.x, 1006.0f + float(kClearColumns) * 4.0f);

    for (int f = 0; f < 100; ++f)
        key.Step(0.02f);
    EXPECT_GE(key.removedTime, 1.5f);
    for (int j = 0; j < Key::kSparks; ++j)
        EXPECT_FALSE(key.sparks[j]->visible) << j;
}

// Only opaque pixels of the key's current frame hit, at the reference size
// and where the back buffer is smaller and every texel covers more screen.
TEST_F(ArcadeKeys, PointTestHitsOpaqueTexelsOfTheCurrentFrame)
{
    for (const uint32_t width : {1280u, 640u}) {
        SCOPED_TRACE(width);
        Play(Pack(), width, width * 4 / 5);
        const float s = 1280.0f / float(width);
        {
        Key key(0, 0);
        const float x0 = 1006.0f, y0 = 280.0f;
        EXPECT_FLOAT_EQ(48.0f * s, key.sprite->size[0]);
        const struct {
            float x, y;
            bool frame0, frame1;
        } points[] = {
            {30, 24, true, true},   {4, 24, false, true},   {12.5f, 1, true, true}, {47.5f, 47.5f, true, true},
            {11.5f, 1, false, true}, {48.5f, 24, false, false}, {30, -0.5f, false, false}, {30, 48.5f, false, false},
        };
        for (const auto& p : points) {
            EXPECT_EQ(p.frame0, key.PointTest(x0 + p.x * s, y0 + p.y * s)) << p.x << ", " << p.y;
            key.sprite->SetFrame(1);
            EXPECT_EQ(p.frame1, key.PointTest(x0 + p.x * s, y0 + p.y * s)) << p.x << ", " << p.y << " glow";
            key.sprite->SetFrame(0);
        }
        }
        harness->Stop();
        harness.reset();
    }
}

// What the game needs and cannot find refuses the start, named in the log;
// nothing of the layout stays and no event fires.
TEST_F(ArcadeKeys, MissingPiecesRefuseTheStart)
{
    const char wrongType[] = R"(<GUI><CONTROLSET><Control Name="key03" Type="EGCT_CONTROL"/></CONTROLSET></GUI>)";
    const struct {
        Pack pack;
        const char* named;
    } cases[] = {
        {{kLayout, "key_05_1"}, "key_05_1.tga"},
        {{kLayout, "key_12_0"}, "key_12_0.tga"},
        {{wrongType, nullptr}, "'key03'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.named);
        Play(c.pack, 320, 256);
        CGuiControlSet* before = harness->ControlSet();
        GeLogClearLast();
        StartGame();
        harness->Step();
        EXPECT_EQ(2, GeLogLastLevel());
        EXPECT_NE(nullptr, std::strstr(GeLogLastMessage().c_str(), c.named)) << GeLogLastMessage().c_str();
        EXPECT_FALSE(game->active);
        EXPECT_EQ(nullptr, g_gameProcessor->currentArcade);
        EXPECT_EQ(before, harness->ControlSet());
        EXPECT_EQ(nullptr, g_guiManager->FindControlSet(CGeString("_ctrlset_arcade: keys")));
        for (const Key* key : game->keys)
            EXPECT_EQ(nullptr, key);
        EXPECT_EQ("", events->Joined());
        harness->Stop();
        harness.reset();
    }
}

// A second start while playing keeps the keys and the layout as they are;
// the menu over the game takes its clicks; leaving through the menu, or from
// a script, reports no end.
TEST_F(ArcadeKeys, ASecondStartChangesNothingAndLeavingReportsNoEnd)
{
    Play();
    StartGame();
    harness->Step();
    ClickKey(0); // the banner
    ClickKey(4);
    ASSERT_EQ(game->keys[4], game->selected);
    Key* keys[Game::kKeys];
    std::copy(std::begin(game->keys), std::end(game->keys), keys);
    CGuiControlSet* set = game->controlSet;
    const int32_t visuals = CGmVisual2D::s_liveCount;
    StartGame();
    harness->Step();
    EXPECT_TRUE(std::equal(std::begin(keys), std::end(keys), std::begin(game->keys)));
    EXPECT_EQ(set, game->controlSet);
    EXPECT_EQ(visuals, CGmVisual2D::s_liveCount);
    EXPECT_EQ(game->keys[4], game->selected);

    // The menu: paused, deaf to clicks on the keys beneath.
    // (after the short input lock of the clicks)
    harness->StepSeconds(0.5);
    harness->Key(0x1B);
    harness->Step(4);
    ASSERT_EQ(1, g_gameProcessor->menuOpen);
    EXPECT_EQ(1, game->paused);
    ClickKey(4);
    EXPECT_EQ(game->keys[4], game->selected);
    harness->Key(0x1B); // closes the menu
    harness->StepSeconds(0.5);
    ASSERT_EQ(0, g_gameProcessor->menuOpen);
    EXPECT_EQ(0, game->paused);

    // Escape in the mini-game mode leaves for the main menu.
    CQmGameVars::Set("MiniGameMode", 1);
    harness->Key(0x1B);
    harness->Step(4);
    EXPECT_EQ(nullptr, g_gameProcessor->currentArcade);
    EXPECT_FALSE(game->active);
    EXPECT_EQ(nullptr, game->keys[4]);
    CQmGameVars::Set("MiniGameMode", 0);

    // A script's finish after a match: no end either.
    if (g_gameProcessor->menuOpen)
        g_gameProcessor->CloseMenu();
    StartGame();
    harness->Step();
    ASSERT_EQ(game, g_gameProcessor->currentArcade);
    EXPECT_EQ(Game::kKeys, game->RemainingKeys()) << "a new start has every key";
    game->Finish();
    EXPECT_EQ("keys_arcade_select()", events->Joined());
}

// On screen: the hovered key glows green where its body is transparent; a
// removed key's body fades out tinted green within a third of a second.
TEST_F(ArcadeKeys, AGlowingKeyAndARemovedKeyFading)
{
    Play();
    harness->StepSeconds(2.0); // the location's fade-in is over
    const float bandX = At(0, 0, kClearAt), bandY = At(0, 1, kClearAt);
    const float bodyX = At(0, 0, kOpaqueAt), bodyY = At(0, 1, kOpaqueAt);
    harness->MoveMouse(5, 5);
    const std::vector<uint32_t> location = harness->CaptureFrame();
    StartGame();
    harness->Step();
    ClickAt(5, 5); // the banner
    EXPECT_TRUE(PixelNear(PixelAt(harness->CaptureFrame(), bandX, bandY), PixelAt(location, bandX, bandY), 20))
        << "an idle key shows nothing around its body";

    harness->MoveMouse(bodyX, bodyY);
    harness->StepSeconds(0.5);
    std::vector<uint32_t> frame = harness->CaptureFrame();
    EXPECT_TRUE(PixelNear(PixelAt(frame, bandX, bandY), 0x00FF00)) << "the glow around the body";
    // Away from the cursor, which rests on the body.
    const float cornerX = At(0, 0, kCornerAt), cornerY = At(0, 1, kCornerAt);
    EXPECT_TRUE(PixelNear(PixelAt(frame, cornerX, cornerY), KindColour(0) & 0xFFFFFF)) << "the body over the glow";

    // Key 0 and its partner 1.
    ClickKey(0);
    ClickKey(1);
    ASSERT_EQ(Key::kRemoved, game->keys[0]->state);
    frame = harness->CaptureFrame();
    // Fading, tinted with the glow: green, the body's blue gone.
    const uint32_t fading = PixelAt(frame, bodyX, bodyY);
    EXPECT_FALSE(PixelNear(fading, KindColour(0) & 0xFFFFFF, 40)) << std::hex << fading;
    EXPECT_GT(int(fading >> 8 & 0xFF), int(fading & 0xFF) + 50) << std::hex << fading;
    harness->StepSeconds(2.0);
    frame = harness->CaptureFrame();
    EXPECT_TRUE(PixelNear(PixelAt(frame, bodyX, bodyY), PixelAt(location, bodyX, bodyY), 20))
        << "gone: the location shows";
    EXPECT_TRUE(PixelNear(PixelAt(frame, bandX, bandY), PixelAt(location, bandX, bandY), 20));
}

} // namespace
