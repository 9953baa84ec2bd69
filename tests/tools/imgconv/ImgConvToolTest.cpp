// Runs the imgconv tool as a user would: good files of each kind give a
// 32-bit top-first TGA, bad files a one-line error and a non-zero exit.
#include "tests/Engine/Core/Gm/ImageFixtures.h"
#include "tests/Support/TestTempDir.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstring>

using namespace imagefixture;

namespace {

struct ToolRun {
    int exitCode;
    std::string err;
};

class ImgConvToolTest : public ::testing::Test {
protected:
    ToolRun Run(const std::string& arguments)
    {
        const std::string command = std::string(IMGCONV_EXECUTABLE) + " " + arguments + " 2>'" + (dir / "stderr") + "'";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, CTestTempDir::Read(dir / "stderr")};
    }

    std::string Put(const std::string& name, const Bytes& bytes)
    {
        return "'" + dir.Write(name, std::string(bytes.begin(), bytes.end())) + "'";
    }

    Bytes Output()
    {
        const std::string text = CTestTempDir::Read(dir / "out.tga");
        return Bytes(text.begin(), text.end());
    }

    std::string OutPath() { return "'" + (dir / "out.tga") + "'"; }

    CTestTempDir dir;
};

size_t LineCount(const std::string& text)
{
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

}  // namespace

TEST_F(ImgConvToolTest, GoodFilesBecomeThirtyTwoBitTgaFiles)
{
    // A 2 by 2 bottom-up 24-bit TGA: its rows come out top first with alpha 255.
    TgaSpec tga;
    tga.width = 2;
    tga.height = 2;
    tga.bitsPerPixel = 24;
    tga.pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    ToolRun run = Run(Put("in.tga", MakeTga(tga)) + " " + OutPath());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    Bytes out = Output();
    ASSERT_EQ(out.size(), 18u + 16u);
    EXPECT_EQ(out[2], 2);
    EXPECT_EQ(out[12], 2);
    EXPECT_EQ(out[14], 2);
    EXPECT_EQ(out[16], 32);
    EXPECT_EQ(out[17], 0x20);
    const Bytes pixels = {1, 2, 3, 255, 4, 5, 6, 255, 7, 8, 9, 255, 10, 11, 12, 255};
    EXPECT_EQ(Bytes(out.begin() + 18, out.end()), pixels);

    // A run-length GEP with a run-length alpha plane.
    GepSpec gep;
    gep.width = 3;
    gep.height = 1;
    gep.pixelCode = 0x1102;
    gep.payload = MakePlane(EncodeRunLength(Bytes{9, 8, 7, 9, 8, 7, 9, 8, 7}, 3));
    const Bytes alpha = MakePlane(EncodeRunLength(Bytes{1, 2, 3}, 1));
    gep.payload.insert(gep.payload.end(), alpha.begin(), alpha.end());
    run = Run(Put("in.gep", MakeGep(gep)) + " " + OutPath());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    out = Output();
    ASSERT_EQ(out.size(), 18u + 12u);
    EXPECT_EQ(Bytes(out.begin() + 18, out.end()), (Bytes{9, 8, 7, 1, 9, 8, 7, 2, 9, 8, 7, 3}));
}

TEST_F(ImgConvToolTest, BadFilesGiveOneLineAndAFailingExit)
{
    TgaSpec cut;
    cut.width = 4;
    cut.height = 4;
    cut.pixels.assign(64, 1);
    Bytes truncated = MakeTga(cut);
    truncated.resize(40);
    DdsSpec dds;
    dds.width = dds.height = 4;
    dds.levelData.assign(8, 0);
    // A plane pitch of 1 byte for rows of four 4-byte pixels.
    GepSpec shortPitch;
    shortPitch.width = 4;
    shortPitch.height = 2;
    shortPitch.pixelCode = 0x002;
    shortPitch.pitchMode = 2;
    shortPitch.payload = MakePlane(Bytes(32, 7), 1);
    const struct {
        const char* name;
        Bytes bytes;
    } cases[] = {
        {"cut.tga", truncated},
        {"short-pitch.gep", MakeGep(shortPitch)},
        {"noise.jpg", Bytes(300, 0x5A)},
        {"texture.dds", MakeDds(dds)},
        {"unknown.bin", Bytes(64, 0)},
    };
    for (const auto& c : cases) {
        const ToolRun run = Run(Put(c.name, c.bytes) + " " + OutPath());
        EXPECT_NE(run.exitCode, 0) << c.name;
        EXPECT_EQ(LineCount(run.err), 1u) << c.name << ": " << run.err;
        EXPECT_NE(run.err.find(c.name), std::string::npos) << run.err;
    }
    const ToolRun missing = Run("'" + (dir / "missing.tga") + "' " + OutPath());
    EXPECT_NE(missing.exitCode, 0);
    EXPECT_EQ(LineCount(missing.err), 1u);
    const ToolRun usage = Run("");
    EXPECT_NE(usage.exitCode, 0);
    EXPECT_EQ(LineCount(usage.err), 1u);
    EXPECT_FALSE(std::filesystem::exists(dir / "out.tga"));
}
