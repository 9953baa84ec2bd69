// The sceneview scene drawn headless and checked by pixels: the stencil
// shadow darkens lit floor and nothing else (against the same frame without
// shadows), the fade reaches its colour, the sprite sits at its pixels and
// the skinned bar sways by its looping track (against the rest pose) and the
// spark fountain runs where it stands and nowhere else.
// The tool itself writes its last frame as a TGA file.
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmShadow.h"
#include "Engine/Core/Pack/Harvester.h"
#include "tests/Support/TestTempDir.h"
#include "tools/sceneview/SceneViewScene.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>

using namespace sceneview;

namespace {

struct Rgb {
    int r, g, b;
};

Rgb Split(uint32_t argb)
{
    return {int(argb >> 16 & 0xFF), int(argb >> 8 & 0xFF), int(argb & 0xFF)};
}

class SceneView : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(WriteScenePack((dir / "resource.fpk").c_str(), &error)) << error;
        GeCoreInit();
        g_packPath = (dir / "resource.fpk").c_str();
        ASSERT_TRUE(CHarvester::MountSinglePack(g_packPath));
        GeDeviceConfig& settings = *g_videoSettings;
        settings.windowed = 1;
        settings.width = kWidth;
        settings.height = kHeight;
        settings.refreshRate = 1;
        CGeHub::Init(settings);
    }

    void TearDown() override
    {
        scene.reset();
        CGeHub::Shutdown();
        GeCoreShutdown();
        g_packPath = "";
        g_shadowMode = 0;
        g_shadowLightPosition[0] = g_shadowLightPosition[2] = 0.0f;
        g_shadowLightPosition[1] = 1000.0f;
    }

    // Builds the scene and draws `frames` frames, the last one captured.
    void Run(const SceneOptions& options, int frames)
    {
        scene.reset(new CSceneView());
        ASSERT_TRUE(scene->Build(options));
        for (int i = 1; i < frames; ++i)
            scene->Frame(false);
        pixels = scene->CaptureFrame();
        ASSERT_EQ(size_t(kWidth) * kHeight, pixels.size());

    }

    Rgb At(uint32_t x, uint32_t y) const { return Split(pixels[size_t(y) * kWidth + x]); }

    CTestTempDir dir;
    std::unique_ptr<CSceneView> scene;
    std::vector<uint32_t> pixels;
};

// The floor's grey through the fade's end colour.
const int kLitFloor = kFloorGrey * int(kFadeTo & 0xFF) / 255;

void ExpectGrey(const Rgb& c, int level, const char* where)
{
    EXPECT_NEAR(level, c.r, 4) << where;
    EXPECT_NEAR(level, c.g, 4) << where;
    EXPECT_NEAR(level, c.b, 4) << where;
}

} // namespace

TEST_F(SceneView, TheShadowDarkensTheFloorOnlyAndByTheShadowColour)
{
    // The same frame with and without stencil shadows: every pixel that
    // differs is lit floor, darkened by the shadow's alpha, and there is a
    // shadow at all.
    Run(SceneOptions{1, false, true}, 20);
    const std::vector<uint32_t> without = pixels;
    scene.reset();
    Run(SceneOptions(), 20);
    const int shadowed = int(float(kLitFloor) * (1.0f - kShadowAlpha));
    uint32_t darkened = 0;
    for (size_t i = 0; i < pixels.size(); ++i) {
        if (pixels[i] == without[i])
            continue;
        ++darkened;
        const Rgb before = Split(without[i]), after = Split(pixels[i]);
        ASSERT_NEAR(kLitFloor, before.r, 4) << "pixel " << i % kWidth << ", " << i / kWidth;
        ASSERT_NEAR(kLitFloor, before.b, 4) << "pixel " << i % kWidth << ", " << i / kWidth;
        ASSERT_NEAR(shadowed, after.r, 4) << "pixel " << i % kWidth << ", " << i / kWidth;
        ASSERT_NEAR(shadowed, after.g, 4) << "pixel " << i % kWidth << ", " << i / kWidth;
    }
    EXPECT_GT(darkened, 200u);
    // Ten casters throw more shadow than one.
    scene.reset();
    Run(SceneOptions{10, true, true}, 20);
    uint32_t more = 0;
    for (uint32_t pixel : pixels)
        more += std::abs(Split(pixel).r - shadowed) <= 4 && Split(pixel).g == Split(pixel).r ? 1 : 0;
    EXPECT_GT(more, darkened);
}

TEST_F(SceneView, TheFadeReachesItsColourAndTheSpriteSitsAtItsPixels)
{
    Run(SceneOptions(), 3);
    // The floor's nearest row, below everything else in the scene.
    const uint32_t fx = kWidth / 2, fy = kHeight - 4;
    EXPECT_GT(At(fx, fy).r, kLitFloor + 10);
    for (int i = 0; i < 20; ++i)
        scene->Frame(false);
    pixels = scene->CaptureFrame();
    EXPECT_EQ(kFadeTo, scene->fader->GetColorArgb());
    EXPECT_EQ(1u, scene->fader->eventCount);
    ExpectGrey(At(fx, fy), kLitFloor, "faded floor");

    // The sprite's yellow (through the fade) covers its 16 by 16 pixels.
    const int x0 = int(kSpriteX), y0 = int(kSpriteY), size = int(kSpriteSize);
    for (int y = y0; y < y0 + size; y += 5) {
        for (int x = x0; x < x0 + size; x += 5) {
            const Rgb c = At(uint32_t(x), uint32_t(y));
            EXPECT_NEAR(0xE0, c.r, 3) << x << ", " << y;
            EXPECT_NEAR(0, c.b, 3) << x << ", " << y;
        }
    }
    const int sky = Split(kSky).r * int(kFadeTo & 0xFF) / 255;
    EXPECT_NEAR(sky, At(uint32_t(x0 + size + 1), uint32_t(y0)).r, 2);
    EXPECT_NEAR(sky, At(uint32_t(x0 - 2), uint32_t(y0 + 4)).r, 2);
    EXPECT_NEAR(sky, At(uint32_t(x0 + 4), uint32_t(y0 + size + 1)).r, 2);
}

namespace {

// The bar's skeleton at its bind pose: joint 1 unturned at the bar's middle.
class RestPose : public IGmJointPoseSource {
public:
    void GetJointKey(GmJointKey& key, uint32_t joint) const override
    {
        key = GmJointKey();
        if (joint == 1)
            key.position = {0.0f, 10.0f, 0.0f};
    }
};

} // namespace

TEST_F(SceneView, TheSkinnedBarSwaysByItsLoopingTrack)
{
    // The bar's blue, frame by frame: 0.4 s into the track joint 1 is turned
    // furthest, at 0.8 s the loop ends at rest, at 1.2 s it is turned again.
    // Turned and at-rest pictures differ in the upper half only.
    auto blue = [](uint32_t pixel) {
        const Rgb c = Split(pixel);
        return c.b > c.r + 20 && c.r < 20;
    };
    struct Compare {
        uint32_t onlyFirst = 0, onlySecond = 0, both = 0;
    };
    auto compare = [&](const std::vector<uint32_t>& first, const std::vector<uint32_t>& second) {
        Compare c;
        for (size_t i = 0; i < first.size(); ++i) {
            c.onlyFirst += blue(first[i]) && !blue(second[i]);
            c.onlySecond += !blue(first[i]) && blue(second[i]);
            c.both += blue(first[i]) && blue(second[i]);
        }
        return c;
    };
    auto advance = [&](int frames) {
        for (int i = 1; i < frames; ++i)
            scene->Frame(false);
        pixels = scene->CaptureFrame();
    };
    const int halfLoop = int(std::lround(float(kBarTrackFrames - 1) / kBarTrackRate / 2.0f / kFrameSeconds));
    Run(SceneOptions(), halfLoop);
    const std::vector<uint32_t> turned = pixels;
    advance(halfLoop);
    const std::vector<uint32_t> loopEnd = pixels;
    advance(halfLoop);
    const std::vector<uint32_t> turnedAgain = pixels;
    RestPose rest;
    scene->bar->SetPoseSource(&rest);
    advance(1);
    const std::vector<uint32_t> atRest = pixels;

    const Compare moved = compare(turned, atRest);
    EXPECT_GT(moved.onlyFirst, 20u);
    EXPECT_GT(moved.onlySecond, 20u);
    EXPECT_GT(moved.both, 20u); // the lower half does not move
    const Compare end = compare(loopEnd, atRest);
    EXPECT_LE(end.onlyFirst + end.onlySecond, 2u);
    const Compare again = compare(turnedAgain, turned);
    EXPECT_LE(again.onlyFirst + again.onlySecond, 2u);
    EXPECT_TRUE(scene->barAnimation->ChannelPlayer(0)->playing);
}

TEST_F(SceneView, TheSparksRunRightOfTheCastersAndNowhereElse)
{
    // Two frames with and without the spark fountain: the pixels that differ
    // lie in the right part of the picture (the effect stands right of and in
    // front of everything else), and they change from frame to frame.
    SceneOptions noSparks;
    noSparks.particles = false;
    Run(noSparks, 15);
    const std::vector<uint32_t> without15 = pixels;
    scene->Frame(false);
    pixels = scene->CaptureFrame();
    const std::vector<uint32_t> without17 = pixels;
    scene.reset();
    Run(SceneOptions(), 15);
    ASSERT_TRUE(scene->sparks);
    const std::vector<uint32_t> with15 = pixels;
    scene->Frame(false);
    pixels = scene->CaptureFrame();
    const std::vector<uint32_t> with17 = pixels;

    auto sparkPixels = [](const std::vector<uint32_t>& with, const std::vector<uint32_t>& without) {
        std::vector<size_t> at;
        for (size_t i = 0; i < with.size(); ++i)
            if (with[i] != without[i])
                at.push_back(i);
        return at;
    };
    const std::vector<size_t> first = sparkPixels(with15, without15);
    const std::vector<size_t> second = sparkPixels(with17, without17);
    EXPECT_GT(first.size(), 30u);
    EXPECT_GT(second.size(), 30u);
    for (size_t i : first)
        ASSERT_GT(i % kWidth, kWidth / 2) << "spark pixel at " << i % kWidth << ", " << i / kWidth;
    EXPECT_NE(first, second); // the sparks move
    // The sparks add light: where they are, nothing is darker than without.
    for (size_t i : first)
        EXPECT_GE(Split(with15[i]).r, Split(without15[i]).r) << i % kWidth << ", " << i / kWidth;
}

TEST_F(SceneView, TheToolWritesItsLastFrameAsATgaFile)
{
    TearDown(); // the tool runs its own engine
    const std::string shot = dir / "shot.tga";
    const std::string command = std::string(SCENEVIEW_EXECUTABLE) + " --frames 4 --casters 3 --screenshot " + shot;
    ASSERT_EQ(0, std::system(command.c_str()));
    std::ifstream in(shot, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(18u + kWidth * kHeight * 4, bytes.size());
    EXPECT_EQ(kWidth, uint32_t(uint8_t(bytes[12]) | uint8_t(bytes[13]) << 8));
    EXPECT_EQ(kHeight, uint32_t(uint8_t(bytes[14]) | uint8_t(bytes[15]) << 8));
    // The sprite's top-left pixel: yellow, blue byte first.
    const size_t at = 18 + (size_t(kSpriteY + 2) * kWidth + size_t(kSpriteX + 2)) * 4;
    EXPECT_LT(uint8_t(bytes[at]), 10);
    EXPECT_GT(uint8_t(bytes[at + 2]), 200);

    EXPECT_NE(0, std::system((std::string(SCENEVIEW_EXECUTABLE) + " --frames 0 2>/dev/null").c_str()));
    SetUp();
}
