// The demo's scripted scenery and the tests' tour of it, through the
// game-play harness: loc01_init switches the sky on above the painted wall,
// adds the harbour water (which moves from frame to frame) with the buoy
// floating on it, waves the flag and loads the notice; the shipped demo
// stays on its first camera. With the test's variable "demo_tour" set, the
// tour marker walks into the second camera's zone, the game goes to "loc02"
// and comes back, in that order. The same checks run headless here and on
// Xvfb in a real window (Xvfb/CMakeLists.txt).
#include "Engine/Core/Gm/GmCamera.h"
#include "Source/GameClasses/QmGameVars.h"
#include "Source/GameClasses/QmScriptProcessor.h"
#include "Source/GameClasses/QmSkySphere.h"
#include "Source/GameClasses/QmWater.h"
#include "tests/Source/Qasimar/GamePlayHarness.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

int ChannelDistance(uint32_t a, uint32_t b)
{
    int sum = 0;
    for (int shift = 0; shift < 24; shift += 8)
        sum += std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF));
    return sum / 3;
}

class DemoTour : public ::testing::Test {
protected:
    void SetUp() override { Start(""); }

    // A new game on the demo. The demo's tile puzzle would open over the yard
    // a while after the arrival: it counts as solved here.
    void Start(const std::string& onNewGame)
    {
        CGamePlayHarness::Options options;
        options.pack = QM_DEMO_PACK;
        options.width = kWidth;
        options.height = kHeight;
        options.onNewGame = "QuestPass('three_tiles', 'voyage')\n" + onNewGame;
        ASSERT_TRUE(game.Start(options));
    }

    // The frame's pixel under a world point seen through the active camera.
    uint32_t At(const std::vector<uint32_t>& frame, const Vec3& point) const
    {
        const Vec4 p = game.Location()->ActiveCamera()->ProjectPoint(point);
        const int x = int(p.x), y = int(p.y);
        EXPECT_TRUE(x >= 0 && y >= 0 && x < int(kWidth) && y < int(kHeight)) << x << ", " << y;
        if (x < 0 || y < 0 || x >= int(kWidth) || y >= int(kHeight))
            return 0;
        return frame[size_t(y) * kWidth + size_t(x)];
    }

    static constexpr uint32_t kWidth = 320;
    static constexpr uint32_t kHeight = 256;
    CGamePlayHarness game;
};

// The tour's variable is set before loc01_init reads it.
class DemoTourMarker : public DemoTour {
protected:
    void SetUp() override { Start("VarSet('demo_tour', 1)"); }
};

} // namespace

TEST_F(DemoTour, Loc01HasItsSkyWaterBuoyFlagAndNotice)
{
    // The pointer over the yard: at the top edge it would bring the
    // inventory's strip down over the sky.
    game.MoveMouse(640.0f, 600.0f);
    game.StepSeconds(3.0);
    CQmLocation* location = game.Location();
    ASSERT_NE(nullptr, location);
    ASSERT_STREQ("loc01", location->name.c_str());
    ASSERT_NE(nullptr, location->skySphere);
    EXPECT_EQ(1, location->skySphere->active);
    CQmEntity* water = game.Entity("harbour_water");
    ASSERT_NE(nullptr, water);
    auto* visuals = water->Prop<CQmPropVisualObject>(QM_PROP_VISUAL_OBJECT);
    ASSERT_NE(nullptr, visuals);
    auto* surface = dynamic_cast<CQmWater*>(visuals->visuals[0]);
    ASSERT_NE(nullptr, surface);
    auto* buoy = dynamic_cast<CQmStone*>(game.Entity("buoy"));
    ASSERT_NE(nullptr, buoy);
    EXPECT_EQ(surface, buoy->water);
    // The buoy rides the wave (as the water stood in the frame before).
    EXPECT_NEAR(surface->WaveHeight(buoy->frame.position.x, buoy->frame.position.z), buoy->frame.position.y, 0.5f);
    auto* flag = location->linkedObjects.Find(CGeString("flag"));
    ASSERT_NE(nullptr, flag);
    auto* wave = flag->value.animations.Find(CGeString("wave"));
    ASSERT_NE(nullptr, wave);
    ASSERT_NE(nullptr, wave->value[0].sprite->activePlayer);
    EXPECT_EQ(1, wave->value[0].sprite->activePlayer->playing);
    EXPECT_NE(nullptr, location->documents.Find(CGeString("notice")));
    EXPECT_EQ(nullptr, g_gameProcessor->document) << "the notice waits to be shown";

    const std::vector<uint32_t> first = game.CaptureFrame();
    game.Step(5);
    const std::vector<uint32_t> second = game.CaptureFrame();
    // The sky shows above the painted wall, where the frame was clear.
    const uint32_t sky = first[size_t(4) * kWidth + kWidth / 2];
    EXPECT_GT(ChannelDistance(sky, 0x646464), 30) << std::hex << sky;
    EXPECT_GT(int(sky & 0xFF), int(sky >> 16 & 0xFF)) << "bluish: " << std::hex << sky;
    // The water is blue and moves between the two frames.
    const uint32_t pool = At(first, {-180.0f, 3.0f, -40.0f});
    EXPECT_GT(int(pool & 0xFF), int(pool >> 16 & 0xFF) + 40) << std::hex << pool;
    const Vec4 corner = location->ActiveCamera()->ProjectPoint({-250.0f, 3.0f, -60.0f});
    int moved = 0;
    for (int y = int(corner.y) - 6; y <= int(corner.y) + 6; ++y)
        for (int x = int(corner.x) - 6; x <= int(corner.x) + 6; ++x)
            if (x >= 0 && y >= 0 && x < int(kWidth) && y < int(kHeight))
                moved += first[size_t(y) * kWidth + size_t(x)] != second[size_t(y) * kWidth + size_t(x)];
    EXPECT_GT(moved, 10);
    // The buoy's orange shows on the water.
    const Vec3 top = {buoy->frame.position.x, buoy->frame.position.y + 15.0f, buoy->frame.position.z};
    EXPECT_LT(ChannelDistance(At(second, top), 0xE0801F), 40) << std::hex << At(second, top);

    // The shipped demo stays where it is, on its first camera.
    game.StepSeconds(4.0);
    EXPECT_EQ(location, game.Location());
    EXPECT_EQ(0u, location->activeCameraGroup);
}

TEST_F(DemoTourMarker, TheTestsTourSwitchesTheCameraAndGoesToLoc02AndBack)
{
    ASSERT_NE(nullptr, game.Location());
    std::vector<std::string> events;
    std::string where = game.Location()->name.c_str(), pending;
    uint32_t camera = game.Location()->activeCameraGroup;
    // Until a while after the way back (tour_back is set by loc01_init).
    int after = 0;
    for (int frame = 0; frame < 500 && after < 10; ++frame) {
        after += CQmGameVars::GetValue("tour_back") != 0;
        game.Step();
        CQmLocation* location = game.Location();
        const std::string name = location ? location->name.c_str() : "";
        if (g_gameProcessor->nextLocation.c_str() != pending) {
            pending = g_gameProcessor->nextLocation.c_str();
            if (!pending.empty())
                events.push_back("request " + pending);
        }
        if (name != where) {
            where = name;
            events.push_back("enter " + name);
            camera = location ? location->activeCameraGroup : 0;
        }
        if (location && location->activeCameraGroup != camera) {
            camera = location->activeCameraGroup;
            events.push_back("camera " + std::to_string(camera));
        }
    }
    ASSERT_NE(nullptr, game.Location());
    const std::vector<std::string> expected = {"camera 1", "request loc02", "enter loc02", "request loc01",
                                               "enter loc01"};
    EXPECT_EQ(expected, events);
    EXPECT_EQ(0u, game.Location()->activeCameraGroup) << "back on the first camera";
    EXPECT_EQ(1, CQmGameVars::GetValue("loc02_entered"));
    EXPECT_EQ(1, CQmGameVars::GetValue("loading_loc02"));
    EXPECT_NE(nullptr, game.Entity("harbour_water")) << "kept from the first visit";
}
