// Runs the imgconv tool as a user would: good files of each kind give a
// 32-bit top-first TGA, bad files a one-line error and a non-zero exit.
#include "tests/Engine/Core/Gm/ImageFixtures.h"
#include "tests/Engine/Core/Gm/JpegTestSupport.h"
#include "tests/Support/TestTempDir.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

using namespace imagefixture;

namespace {

struct ToolRun {
    int exitCode;
    std::string err;
};

class ImgConv : public ::testing::Test {
protected:
    ToolRun Run(const std::string& arguments)
    {
        // A tool that blocks fails the test instead of hanging it.
        const std::string command = "timeout 30 " + std::string(IMGCONV_EXECUTABLE) + " " + arguments + " 2>'" + (dir / "stderr") + "'";
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

TEST_F(ImgConv, GoodFilesBecomeThirtyTwoBitTgaFiles)
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

// The bytes of a JPEG up to its first scan: headers and tables, no pixels.
Bytes UpToTheScan(const Bytes& jpeg)
{
    const uint8_t sos[2] = {0xFF, 0xDA};
    return Bytes(jpeg.begin(), std::search(jpeg.begin(), jpeg.end(), sos, sos + 2));
}

TEST_F(ImgConv, BadFilesGiveOneLineSayingWhyAndAFailingExit)
{
    TgaSpec cut;
    cut.width = 4;
    cut.height = 4;
    cut.pixels.assign(64, 1);
    Bytes truncated = MakeTga(cut);
    truncated.resize(40);
    TgaSpec typeTen = cut;
    typeTen.imageType = 10;
    // A plane pitch of 1 byte for rows of four 4-byte pixels.
    GepSpec shortPitch;
    shortPitch.width = 4;
    shortPitch.height = 2;
    shortPitch.pixelCode = 0x002;
    shortPitch.pitchMode = 2;
    shortPitch.payload = MakePlane(Bytes(32, 7), 1);
    DdsSpec dx10;
    dx10.width = dx10.height = 4;
    dx10.fourCc = "DX10";
    dx10.levelData.assign(16, 0);
    DdsSpec cutDds = dx10;
    cutDds.fourCc = "DXT5";
    cutDds.levelData.assign(8, 0);
    DdsSpec noSize = dx10;
    noSize.fourCc = "DXT1";
    noSize.width = 0;
    const struct {
        const char* name;
        Bytes bytes;
        const char* says;
    } cases[] = {
        {"cut.tga", truncated, "truncated TGA"},
        {"type-10.tga", MakeTga(typeTen), "unsupported TGA kind"},
        {"short-pitch.gep", MakeGep(shortPitch), "damaged GEP header"},
        {"noise.jpg", Bytes(300, 0x5A), "JPEG decode error -217"},
        {"no-scan.jpg", UpToTheScan(EncodeJpeg(MakeTestImage(16, 16, 3), EncodeOptions())), "JPEG decode error -216"},
        {"dx10.dds", MakeDds(dx10), "unsupported DDS format"},
        {"cut.dds", MakeDds(cutDds), "truncated DDS"},
        {"no-size.dds", MakeDds(noSize), "damaged DDS header"},
        {"unknown.bin", Bytes(64, 0), "not an image the engine reads"},
    };
    for (const auto& c : cases) {
        const ToolRun run = Run(Put(c.name, c.bytes) + " " + OutPath());
        EXPECT_NE(run.exitCode, 0) << c.name;
        EXPECT_EQ(LineCount(run.err), 1u) << c.name << ": " << run.err;
        EXPECT_NE(run.err.find(c.name), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    }
    const ToolRun missing = Run("'" + (dir / "missing.tga") + "' " + OutPath());
    EXPECT_NE(missing.exitCode, 0);
    EXPECT_EQ(LineCount(missing.err), 1u);
    ASSERT_EQ(mkfifo((dir / "pipe.tga").c_str(), 0644), 0);
    const ToolRun pipe = Run("'" + (dir / "pipe.tga") + "' " + OutPath());
    EXPECT_EQ(pipe.exitCode, 1);
    EXPECT_NE(pipe.err.find("not a regular file"), std::string::npos) << pipe.err;
    const ToolRun usage = Run("");
    EXPECT_NE(usage.exitCode, 0);
    EXPECT_EQ(LineCount(usage.err), 1u);
    EXPECT_FALSE(std::filesystem::exists(dir / "out.tga"));
}

namespace {

// DXT blocks and the texels they stand for, worked out by hand from the S3TC
// rules: 5-6-5 end points widened by repeating their top bits, the two middle
// colours at thirds (or a half and transparent black when a DXT1 block's
// first colour is not above its second), DXT3 alpha nibbles times 17 and
// DXT5 alpha at sevenths between its two end points.
struct DxtCase {
    const char* fourCc;
    uint32_t width, height;
    Bytes blocks;                  // the top level
    std::vector<uint32_t> texels;  // A8R8G8B8, row-major
};

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b)
{
    return a << 24 | r << 16 | g << 8 | b;
}

DxtCase Dxt1Case()
{
    // Block A: red over green, four colours; texel codes 0 1 2 3 in the top
    // row, 0 elsewhere. Block B: blue not above red, three colours and
    // transparent black; codes 0 1 2 3 in the top row, 3 elsewhere.
    DxtCase c{"DXT1", 8, 4, {0x00, 0xF8, 0xE0, 0x07, 0xE4, 0x00, 0x00, 0x00,
                            0x1F, 0x00, 0x00, 0xF8, 0xE4, 0xFF, 0xFF, 0xFF}, {}};
    const uint32_t red = Argb(255, 255, 0, 0), green = Argb(255, 0, 255, 0), blue = Argb(255, 0, 0, 255);
    const uint32_t a[4] = {red, green, Argb(255, 170, 85, 0), Argb(255, 85, 170, 0)};
    const uint32_t b[4] = {blue, red, Argb(255, 127, 0, 127), 0};
    c.texels.resize(32);
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 4; ++x) {
            c.texels[y * 8 + x] = y == 0 ? a[x] : a[0];
            c.texels[y * 8 + 4 + x] = y == 0 ? b[x] : b[3];
        }
    return c;
}

DxtCase Dxt3Case()
{
    // Alpha nibble i for texel i; colour white over black, every code 1
    // (black) but texel 0 (white).
    DxtCase c{"DXT3", 4, 4, {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE,
                            0xFF, 0xFF, 0x00, 0x00, 0x54, 0x55, 0x55, 0x55}, {}};
    for (uint32_t i = 0; i < 16; ++i)
        c.texels.push_back(Argb(i * 17, i == 0 ? 255 : 0, i == 0 ? 255 : 0, i == 0 ? 255 : 0));
    return c;
}

DxtCase Dxt5Case()
{
    // Alpha 210 over 0 with code i % 8 for texel i; colour blue below red,
    // which DXT5 still reads as four colours: every code 2, (2 blue + red) / 3.
    DxtCase c{"DXT5", 4, 4, {210, 0, 0, 0, 0, 0, 0, 0, 0x1F, 0x00, 0x00, 0xF8, 0xAA, 0xAA, 0xAA, 0xAA}, {}};
    uint64_t codes = 0;
    for (uint64_t i = 0; i < 16; ++i)
        codes |= (i % 8) << (3 * i);
    for (int i = 0; i < 6; ++i)
        c.blocks[2 + i] = static_cast<uint8_t>(codes >> (8 * i));
    const uint32_t alpha[8] = {210, 0, 180, 150, 120, 90, 60, 30};  // 210 * (7 - k) / 7 for codes 2 to 7
    for (uint32_t i = 0; i < 16; ++i)
        c.texels.push_back(Argb(alpha[i % 8], 85, 0, 170));
    return c;
}

// A DDS file as common tools write it: the linear-size and mip-count flags,
// the caps words, and a full mip chain after the top level.
Bytes DdsAsToolsWriteIt(const DxtCase& c)
{
    DdsSpec spec;
    spec.width = c.width;
    spec.height = c.height;
    spec.fourCc = c.fourCc;
    spec.mipCountFlag = true;
    spec.mipCount = 3;
    spec.levelData = c.blocks;
    const size_t blockBytes = std::string(c.fourCc) == "DXT1" ? 8 : 16;
    spec.levelData.insert(spec.levelData.end(), 2 * blockBytes, 0xEE);  // the smaller levels
    Bytes file = MakeDds(spec);
    const uint32_t flags = 0x1007 | 0x20000 | 0x80000;  // caps, height, width, pixel format, mips, linear size
    const uint32_t linearSize = static_cast<uint32_t>(c.blocks.size());
    const uint32_t caps = 0x1000 | 0x8 | 0x400000;      // texture, complex, mipmap
    for (int i = 0; i < 4; ++i) {
        file[8 + i] = static_cast<uint8_t>(flags >> (8 * i));
        file[20 + i] = static_cast<uint8_t>(linearSize >> (8 * i));
        file[108 + i] = static_cast<uint8_t>(caps >> (8 * i));
    }
    return file;
}

}  // namespace

TEST_F(ImgConv, DdsFilesGiveTheirTopLevel)
{
    for (const DxtCase& c : {Dxt1Case(), Dxt3Case(), Dxt5Case()}) {
        const ToolRun run = Run(Put(std::string("in-") + c.fourCc + ".dds", DdsAsToolsWriteIt(c)) + " " + OutPath());
        ASSERT_EQ(run.exitCode, 0) << c.fourCc << ": " << run.err;
        const Bytes out = Output();
        ASSERT_EQ(out.size(), 18u + c.texels.size() * 4) << c.fourCc;
        EXPECT_EQ(out[12] | out[13] << 8, static_cast<int>(c.width));
        EXPECT_EQ(out[14] | out[15] << 8, static_cast<int>(c.height));
        const std::vector<uint32_t> texels = Words(out.data() + 18, c.texels.size());
        for (size_t i = 0; i < texels.size(); ++i) {
            // The decoder may round a middle value either way.
            for (int shift = 0; shift < 32; shift += 8) {
                const int got = texels[i] >> shift & 0xFF, want = c.texels[i] >> shift & 0xFF;
                EXPECT_LE(std::abs(got - want), 1) << c.fourCc << " texel " << i << " bits " << shift << ": "
                                                   << std::hex << texels[i] << " for " << c.texels[i];
            }
        }
    }
}

// What the game shows of a JPEG cut inside its scan is written, and the tool
// says the file is cut.
TEST_F(ImgConv, AJpegCutInItsScanIsWrittenAndSaidToBeCut)
{
    const Bytes whole = EncodeJpeg(MakeTestImage(64, 64, 3), EncodeOptions());
    ASSERT_EQ(Run(Put("whole.jpg", whole) + " " + OutPath()).exitCode, 0);
    const Bytes complete = Output();

    const Bytes cut(whole.begin(), whole.begin() + whole.size() * 3 / 4);
    const ToolRun run = Run(Put("cut.jpg", cut) + " " + OutPath());
    EXPECT_NE(run.exitCode, 0);
    EXPECT_EQ(LineCount(run.err), 1u) << run.err;
    EXPECT_NE(run.err.find("truncated JPEG"), std::string::npos) << run.err;
    const Bytes shown = Output();
    ASSERT_EQ(shown.size(), complete.size());
    // The first rows come from data that is there.
    const size_t rowBytes = 64 * 4;
    EXPECT_TRUE(std::equal(shown.begin(), shown.begin() + 18 + 16 * rowBytes, complete.begin()));
    EXPECT_FALSE(std::equal(shown.begin(), shown.end(), complete.begin()));
}

// A gigabyte file whose header cannot be right is refused without being read.
TEST_F(ImgConv, AHugeFileIsRefusedFromItsHeader)
{
    TgaSpec claim;
    claim.width = claim.height = 65535;
    const Bytes header = MakeTga(claim);
    const std::string path = dir.Write("huge.tga", std::string(header.begin(), header.end()));
    std::filesystem::resize_file(path, uint64_t(1) << 30);  // sparse: no disk space taken

    const ToolRun run = Run("'" + path + "' " + OutPath());
    EXPECT_NE(run.exitCode, 0);
    EXPECT_EQ(LineCount(run.err), 1u) << run.err;
    EXPECT_NE(run.err.find("too large"), std::string::npos) << run.err;
    struct rusage usage;
    ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &usage), 0);
    EXPECT_LT(usage.ru_maxrss, 512 * 1024) << "kilobytes at the peak of the tool's run";
}

// OUT is replaced by a whole picture or left alone; a pipe given as OUT is
// refused, and a folder name with a '\\' is a folder like any other.
TEST_F(ImgConv, OutIsReplacedOnlyByACompletePicture)
{
    TgaSpec tga;
    tga.width = tga.height = 1;
    tga.bitsPerPixel = 24;
    tga.pixels = {1, 2, 3};
    const std::string in = Put("in.tga", MakeTga(tga));

    dir.Write("back\\slash/out.tga", "an older picture");
    ToolRun run = Run(in + " '" + (dir / "back\\slash/out.tga") + "'");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(CTestTempDir::Read(dir / "back\\slash/out.tga").size(), 18u + 4u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "back\\slash"),
                            std::filesystem::directory_iterator()), 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "back"));

    ASSERT_EQ(mkfifo((dir / "pipe.tga").c_str(), 0644), 0);
    run = Run(in + " '" + (dir / "pipe.tga") + "'");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(LineCount(run.err), 1u) << run.err;
    EXPECT_TRUE(std::filesystem::is_fifo(dir / "pipe.tga"));

    dir.Write("kept.tga", "kept");
    run = Run(Put("bad.jpg", Bytes(300, 0x5A)) + " '" + (dir / "kept.tga") + "'");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(CTestTempDir::Read(dir / "kept.tga"), "kept");
}
