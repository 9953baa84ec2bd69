// The save slot's preview picture through the game-play harness on the demo
// pack: SaveGame writes "slot_3.s.tga" beside "slot_3.s", a 512 x 512
// picture of the location alone that matches the frame scaled down, while
// the frame itself shows an overlay document that the picture leaves out.
#include "Source/GameClasses/QmScriptProcessor.h"
#include "Source/GameClasses/QmUserFolder.h"
#include "tests/Source/Qasimar/GamePlayHarness.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {

constexpr uint32_t kWidth = 320;
constexpr uint32_t kHeight = 256;

// An uncompressed 32-bit TGA as 0xAARRGGBB pixels, top row first; empty when
// the file is not one.
std::vector<uint32_t> ReadTga(const std::string& path, uint32_t& width, uint32_t& height)
{
    std::ifstream file(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    width = height = 0;
    if (bytes.size() < 18 || bytes[2] != 2 || uint8_t(bytes[16]) != 32)
        return {};
    const auto byte = [&](size_t i) { return uint32_t(uint8_t(bytes[i])); };
    width = byte(12) | byte(13) << 8;
    height = byte(14) | byte(15) << 8;
    const size_t start = 18 + byte(0);
    if (bytes.size() < start + size_t(width) * height * 4)
        return {};
    const bool topFirst = (byte(17) & 0x20) != 0;
    std::vector<uint32_t> pixels(size_t(width) * height);
    for (uint32_t y = 0; y < height; ++y) {
        const uint32_t row = topFirst ? y : height - 1 - y;
        for (uint32_t x = 0; x < width; ++x) {
            const size_t at = start + (size_t(row) * width + x) * 4;
            pixels[size_t(y) * width + x] = byte(at) | byte(at + 1) << 8 | byte(at + 2) << 16 | byte(at + 3) << 24;
        }
    }
    return pixels;
}

int ChannelDistance(uint32_t a, uint32_t b)
{
    int sum = 0;
    for (int shift = 0; shift < 24; shift += 8)
        sum += std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF));
    return sum / 3;
}

} // namespace

TEST(SavePreview, TheSlotsPictureIsTheLocationAloneScaledTo512)
{
    CGamePlayHarness game;
    CGamePlayHarness::Options options;
    options.pack = QM_DEMO_PACK;
    options.width = kWidth;
    options.height = kHeight;
    // The demo's tile puzzle would open over the yard a while after the
    // arrival: it counts as solved here.
    options.onNewGame = "QuestPass('three_tiles', 'voyage')";
    ASSERT_TRUE(game.Start(options));
    CGeString error;
    game.StepSeconds(3.0);
    ASSERT_NE(nullptr, game.Location());
    // The pointer over the yard, where the inventory's strip, which the
    // slot's picture leaves out, has gone up.
    game.MoveMouse(640.0f, 600.0f);
    game.StepSeconds(3.5);
    const std::vector<uint32_t> frame = game.CaptureFrame();

    // The notice on screen: the frame shows it around the centre.
    ASSERT_TRUE(ScriptRunString("ShowDocument('notice')", error)) << error.c_str();
    const std::vector<uint32_t> withNotice = game.CaptureFrame();
    const uint32_t centre = size_t(kHeight / 2) * kWidth + kWidth / 2;
    EXPECT_LT(ChannelDistance(withNotice[centre], 0xF0D020), 20) << std::hex << withNotice[centre];

    g_gameProcessor->SaveGame(3);
    const std::string slot = std::string(GetUserDataFolder()) + "/save/slot_3.s";
    EXPECT_TRUE(std::filesystem::exists(slot));
    uint32_t width = 0, height = 0;
    const std::vector<uint32_t> preview = ReadTga(slot + ".tga", width, height);
    ASSERT_EQ(512u, width);
    ASSERT_EQ(512u, height);

    // Pixel by pixel against the frame without the notice, scaled: a small
    // mean difference (the water, the flag, the sky and the sparks move).
    double total = 0.0;
    for (uint32_t y = 0; y < 512; ++y)
        for (uint32_t x = 0; x < 512; ++x)
            total += ChannelDistance(preview[size_t(y) * 512 + x],
                                     frame[size_t(y * kHeight / 512) * kWidth + x * kWidth / 512]);
    EXPECT_LT(total / (512.0 * 512.0), 6.0);
    EXPECT_GT(ChannelDistance(preview[256 * 512 + 256], 0xF0D020), 40) << "no notice in the picture";

    // The next frame is drawn at the frame's size again, the notice on it.
    const std::vector<uint32_t> after = game.CaptureFrame();
    double back = 0.0;
    for (size_t i = 0; i < after.size(); ++i)
        back += ChannelDistance(after[i], withNotice[i]);
    EXPECT_LT(back / double(after.size()), 6.0);
}
