// Runs the fpk tool as a user would and checks its files, output and exit.
#include "tests/Support/TestTempDir.h"
#include "tools/fpk/FpkWriter.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace {

struct ToolRun {
    int exitCode;
    std::string out;
    std::string err;
};

class FpkToolTest : public ::testing::Test {
protected:
    ToolRun Run(const std::string& arguments)
    {
        std::string command = std::string(FPK_EXECUTABLE) + " " + arguments + " >" + (dir / "stdout") + " 2>" + (dir / "stderr");
        int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, CTestTempDir::Read(dir / "stdout"), CTestTempDir::Read(dir / "stderr")};
    }

    std::string Quoted(const std::string& relative) { return "'" + (dir / relative) + "'"; }

    CTestTempDir dir;
};

size_t LineCount(const std::string& text)
{
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

} // namespace

TEST_F(FpkToolTest, CreateListVerifyAndExtractAgree)
{
    dir.Write("src/Gui/Gui_Res.XML", "<gui/>");
    dir.Write("src/Data/Mesh.gemesh", std::string(100000, 'm'));
    dir.Write("src/empty.txt", "");

    ToolRun create = Run("create " + Quoted("out.fpk") + " " + Quoted("src"));
    ASSERT_EQ(create.exitCode, 0) << create.err;

    ToolRun list = Run("list " + Quoted("out.fpk"));
    EXPECT_EQ(list.exitCode, 0);
    EXPECT_EQ(LineCount(list.out), 3u);
    EXPECT_NE(list.out.find("data/mesh.gemesh"), std::string::npos);
    EXPECT_NE(list.out.find("gui/gui_res.xml"), std::string::npos);

    ToolRun verify = Run("verify " + Quoted("out.fpk"));
    EXPECT_EQ(verify.exitCode, 0) << verify.err;
    EXPECT_NE(verify.out.find("3 files OK"), std::string::npos);

    ToolRun extract = Run("extract " + Quoted("out.fpk") + " " + Quoted("back"));
    ASSERT_EQ(extract.exitCode, 0) << extract.err;
    EXPECT_EQ(CTestTempDir::Read(dir / "back/gui/gui_res.xml"), "<gui/>");
    EXPECT_EQ(CTestTempDir::Read(dir / "back/data/mesh.gemesh"), std::string(100000, 'm'));
    EXPECT_TRUE(std::filesystem::exists(dir / "back/empty.txt"));
}

TEST_F(FpkToolTest, APackWrittenIntoItsOwnDirectoryLeavesItselfOut)
{
    dir.Write("src/a.txt", "a");
    for (int run = 0; run < 2; ++run)
        ASSERT_EQ(Run("create " + Quoted("src/resource.fpk") + " " + Quoted("src")).exitCode, 0);
    ToolRun list = Run("list " + Quoted("src/resource.fpk"));
    EXPECT_EQ(LineCount(list.out), 1u) << list.out;
}

TEST_F(FpkToolTest, BadPacksGiveOneLineAndAFailingExit)
{
    dir.Write("src/a.txt", std::string(5000, 'a'));
    ASSERT_EQ(Run("create " + Quoted("good.fpk") + " " + Quoted("src")).exitCode, 0);
    std::string good = CTestTempDir::Read(dir / "good.fpk");

    std::string flipped = good;
    flipped[10] ^= 0x10; // inside the only file block
    dir.Write("crc.fpk", flipped);
    dir.Write("truncated.fpk", good.substr(0, good.size() - 7));
    dir.Write("junk.fpk", std::string(300, '\x5a'));
    dir.Write("empty.fpk", "");

    for (const char* pack : {"crc.fpk", "truncated.fpk", "junk.fpk", "empty.fpk", "absent.fpk"}) {
        ToolRun verify = Run("verify " + Quoted(pack));
        EXPECT_EQ(verify.exitCode, 1) << pack;
        EXPECT_EQ(LineCount(verify.err), 1u) << pack << ": " << verify.err;
    }
    EXPECT_NE(Run("verify " + Quoted("crc.fpk")).err.find("CRC32 not equal!"), std::string::npos);
    EXPECT_NE(Run("verify " + Quoted("absent.fpk")).err.find("no such pack"), std::string::npos);
    std::filesystem::create_directories(dir / "folder.fpk");
    ToolRun folder = Run("list " + Quoted("folder.fpk"));
    EXPECT_EQ(folder.exitCode, 1);
    EXPECT_NE(folder.err.find("not a pack file"), std::string::npos) << folder.err;
}

TEST_F(FpkToolTest, RefusesNamesThatWouldCollideOrEscape)
{
    dir.Write("src/Same.txt", "1");
    dir.Write("src/same.TXT", "2");
    ToolRun create = Run("create " + Quoted("twice.fpk") + " " + Quoted("src"));
    EXPECT_EQ(create.exitCode, 1);
    EXPECT_EQ(LineCount(create.err), 1u);
    EXPECT_FALSE(std::filesystem::exists(dir / "twice.fpk"));

    // A backslash in a file name is a separator to the reader.
    dir.Write("slashes/a\\b.txt", "1");
    dir.Write("slashes/A/b.txt", "2");
    ToolRun slashes = Run("create " + Quoted("slashes.fpk") + " " + Quoted("slashes"));
    EXPECT_EQ(slashes.exitCode, 1);
    EXPECT_NE(slashes.err.find("the same stored name"), std::string::npos) << slashes.err;

    CFpkWriter writer;
    std::string error;
    const uint8_t byte = 'x';
    ASSERT_TRUE(writer.Open((dir / "escape.fpk").c_str(), &error));
    ASSERT_TRUE(writer.AddFile("../escaped.txt", &byte, 1, &error));
    ASSERT_TRUE(writer.AddFile("inside.txt", &byte, 1, &error));
    ASSERT_TRUE(writer.Finish(&error));
    ToolRun extract = Run("extract " + Quoted("escape.fpk") + " " + Quoted("out"));
    EXPECT_EQ(extract.exitCode, 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "escaped.txt"));
    EXPECT_TRUE(std::filesystem::exists(dir / "out/inside.txt"));

    EXPECT_EQ(Run("").exitCode, 2);
}
