// The demo's guidance through the game-play harness, headless: the hint and
// the arrow that the taper brings out, from the demo's own hint file, font,
// picture and arrow mesh, the panel on screen; then the lantern's clip with
// its music and subtitles, which plays over the yard and ends by itself,
// firing "loc01_video_end".
#include "Engine/Core/Gm/GmScenicMesh.h"
#include "Engine/Core/Gm/GmText.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmGameVars.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmQuests.h"
#include "Source/GameClasses/QmScriptProcessor.h"
#include "Source/GameClasses/QmVideoPlayer.h"
#include "tests/Source/Qasimar/GamePlayHarness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace {

class DemoGuide : public ::testing::Test {
protected:
    void SetUp() override
    {
        CGamePlayHarness::Options options;
        options.pack = QM_DEMO_PACK;
        options.onNewGame = "QuestPass('three_tiles', 'voyage')";
        ASSERT_TRUE(game.Start(options));
        game.StepSeconds(1.0);
        ASSERT_NE(nullptr, game.Location());
    }

    void Run(const char* text)
    {
        CGeString error;
        EXPECT_TRUE(ScriptRunString(text, error)) << error.c_str();
    }

    CGamePlayHarness game;
};

} // namespace

TEST_F(DemoGuide, TheTaperBringsAHintAndTheArrowAndTheLanternItsClip)
{
    Run("loc01_guide_to_lantern()");
    CQmHints& hints = g_gameProcessor->hints;
    EXPECT_STREQ("hint_taper", hints.CurrentHint());
    EXPECT_TRUE(hints.PictureShown());
    EXPECT_NE(nullptr, hints.text->font) << "HINT_DIALOG";
    EXPECT_GT(hints.text->glyphCount, 10u);
    EXPECT_GT(hints.picture->size[0], 0.0f) << "gui/pic/hint.tga";
    CQm3dArrow& arrow = g_gameProcessor->arrow;
    EXPECT_TRUE(arrow.Shown());
    EXPECT_NE(nullptr, arrow.mesh->mesh) << "gui/meshes/3darrow";
    EXPECT_NEAR(-1.0f, arrow.direction.y, 1e-5f) << "pointing down at the lantern";
    // The panel over the yard: a sprite keeps its pixel size, so on the
    // 320 x 256 window its board runs right from (115, 160), edged in copper,
    // night-blue inside.
    const std::vector<uint32_t> pixels = game.CaptureFrame();
    EXPECT_TRUE(PixelNear(pixels[size_t(172) * 320 + 140], 0x182440, 32));
    game.StepSeconds(7.5);
    EXPECT_FALSE(hints.PictureShown());
    EXPECT_EQ(nullptr, hints.CurrentHint());
    EXPECT_TRUE(arrow.Shown()) << "until the taper is used";

    Run("loc01_lantern_used()");
    EXPECT_FALSE(arrow.Shown());
    CQmVideoPlayer* video = game.Location()->video;
    ASSERT_NE(nullptr, video);
    EXPECT_EQ(50, video->frameCount);
    EXPECT_EQ(2u, video->subtitleCount);
    EXPECT_NE(nullptr, video->subtitleText) << "SRT_FONT";
    game.StepSeconds(0.5);
    ASSERT_NE(nullptr, game.Location()->video);
    EXPECT_TRUE(game.Location()->video->IsPlaying());
    // The frames follow the music, which the sound device plays in real
    // time: the clip's two seconds pass on the clock.
    for (int wait = 0; wait < 100 && game.Location()->video; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        game.Step();
    }
    EXPECT_EQ(nullptr, game.Location()->video);
    EXPECT_NE(nullptr, CQmGameVars::Get("voyage_seen"));
}
