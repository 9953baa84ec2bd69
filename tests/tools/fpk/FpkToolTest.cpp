// Runs the fpk tool as a user would and checks its files, output and exit.
#include "tests/Support/TestTempDir.h"
#include "tools/fpk/FpkWriter.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

struct ToolRun {
    int exitCode;
    std::string out;
    std::string err;
};

class Fpk : public ::testing::Test {
protected:
    ToolRun Run(const std::string& arguments)
    {
        // A tool that blocks fails the test instead of hanging it.
        std::string command = "timeout 30 " + std::string(FPK_EXECUTABLE) + " " + arguments + " >" + (dir / "stdout") + " 2>" + (dir / "stderr");
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

// The names in a directory, to see that no temporary file stayed behind.
std::vector<std::string> Listing(const std::string& directory)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST_F(Fpk, CreateListVerifyAndExtractAgree)
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

TEST_F(Fpk, APackWrittenIntoItsOwnDirectoryLeavesItselfOut)
{
    dir.Write("src/a.txt", "a");
    for (int run = 0; run < 2; ++run)
        ASSERT_EQ(Run("create " + Quoted("src/resource.fpk") + " " + Quoted("src")).exitCode, 0);
    ToolRun list = Run("list " + Quoted("src/resource.fpk"));
    EXPECT_EQ(LineCount(list.out), 1u) << list.out;
}

TEST_F(Fpk, BadPacksGiveOneLineAndAFailingExit)
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

TEST_F(Fpk, RefusesNamesThatWouldCollideOrEscape)
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

TEST_F(Fpk, AFailedCreateLeavesWhatWasAtOutAlone)
{
    dir.Write("out/resource.fpk", "the user's own file");
    dir.Write("case/Same.txt", "1");
    dir.Write("case/same.TXT", "2");
    dir.Write("pipe/a.txt", "a");
    ASSERT_EQ(mkfifo((dir / "pipe/fifo").c_str(), 0644), 0);

    const struct {
        const char* tree;
        const char* says;
    } cases[] = {
        {"misspelt", "No such file"},
        {"case", "the same stored name"},
        {"pipe", "a named pipe"},
    };
    for (const auto& c : cases) {
        ToolRun create = Run("create " + Quoted("out/resource.fpk") + " " + Quoted(c.tree));
        EXPECT_EQ(create.exitCode, 1) << c.tree;
        EXPECT_EQ(LineCount(create.err), 1u) << c.tree << ": " << create.err;
        EXPECT_NE(create.err.find(c.says), std::string::npos) << create.err;
        EXPECT_EQ(CTestTempDir::Read(dir / "out/resource.fpk"), "the user's own file") << c.tree;
        EXPECT_EQ(Listing(dir / "out"), std::vector<std::string>{"resource.fpk"}) << c.tree;
    }

    // A pack that is written replaces the file whole and keeps its mode.
    chmod((dir / "out/resource.fpk").c_str(), 0640);
    std::filesystem::remove(dir / "case/same.TXT");
    ASSERT_EQ(Run("create " + Quoted("out/resource.fpk") + " " + Quoted("case")).exitCode, 0);
    EXPECT_EQ(Listing(dir / "out"), std::vector<std::string>{"resource.fpk"});
    EXPECT_EQ(LineCount(Run("list " + Quoted("out/resource.fpk")).out), 1u);
    struct stat info;
    ASSERT_EQ(stat((dir / "out/resource.fpk").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST_F(Fpk, AnOutThatIsNoRegularFileIsRefusedUntouched)
{
    dir.Write("src/a.txt", "a");
    dir.Write("folder.fpk/inside.txt", "kept");
    ASSERT_EQ(mkfifo((dir / "fifo.fpk").c_str(), 0644), 0);

    for (std::string out : {dir / "folder.fpk", dir / "fifo.fpk", std::string("/dev/null")}) {
        ToolRun create = Run("create '" + out + "' " + Quoted("src"));
        EXPECT_EQ(create.exitCode, 1) << out;
        EXPECT_EQ(LineCount(create.err), 1u) << out << ": " << create.err;
        EXPECT_NE(create.err.find("not a pack file"), std::string::npos) << create.err;
    }
    EXPECT_EQ(CTestTempDir::Read(dir / "folder.fpk/inside.txt"), "kept");
    EXPECT_TRUE(std::filesystem::is_fifo(dir / "fifo.fpk"));
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
    EXPECT_EQ(Listing(dir.Path()), (std::vector<std::string>{"fifo.fpk", "folder.fpk", "src", "stderr", "stdout"}));
}

TEST_F(Fpk, OneCauseGivesOneLine)
{
    for (int i = 0; i < 5; ++i)
        dir.Write("src/file" + std::to_string(i) + ".txt", std::string(1000, static_cast<char>('a' + i)));
    ASSERT_EQ(Run("create " + Quoted("good.fpk") + " " + Quoted("src")).exitCode, 0);
    const std::string good = CTestTempDir::Read(dir / "good.fpk");

    // Bytes put in front shift every block away from its offset.
    dir.Write("prefixed.fpk", std::string(64, 'x') + good);
    ToolRun verify = Run("verify " + Quoted("prefixed.fpk"));
    EXPECT_EQ(verify.exitCode, 1);
    EXPECT_EQ(LineCount(verify.err), 1u) << verify.err;
    EXPECT_NE(verify.err.find("offsets of its file table do not fit"), std::string::npos) << verify.err;

    // One damaged block among good ones is reported on its own.
    std::string oneBad = good;
    oneBad[20] ^= 0x40;
    dir.Write("one-bad.fpk", oneBad);
    verify = Run("verify " + Quoted("one-bad.fpk"));
    EXPECT_EQ(verify.exitCode, 1);
    EXPECT_EQ(LineCount(verify.err), 1u) << verify.err;
    EXPECT_NE(verify.err.find("file0.txt"), std::string::npos) << verify.err;

    dir.Write("a-file", "not a folder");
    ToolRun extract = Run("extract " + Quoted("good.fpk") + " " + Quoted("a-file"));
    EXPECT_EQ(extract.exitCode, 1);
    EXPECT_EQ(LineCount(extract.err), 1u) << extract.err;
    EXPECT_NE(extract.err.find("output folder cannot be made"), std::string::npos) << extract.err;
    EXPECT_EQ(CTestTempDir::Read(dir / "a-file"), "not a folder");
}

TEST_F(Fpk, APackPathMayHoldABackslash)
{
    dir.Write("src/Gui/Gui_Res.XML", "<gui/>");
    std::filesystem::create_directories(dir / "back\\slash");
    ASSERT_EQ(Run("create " + Quoted("back\\slash/resource.fpk") + " " + Quoted("src")).exitCode, 0);
    ASSERT_TRUE(std::filesystem::exists(dir / "back\\slash/resource.fpk"));
    ToolRun list = Run("list " + Quoted("back\\slash/resource.fpk"));
    EXPECT_EQ(list.exitCode, 0) << list.err;
    EXPECT_NE(list.out.find("gui/gui_res.xml"), std::string::npos);
    ToolRun verify = Run("verify " + Quoted("back\\slash/resource.fpk"));
    EXPECT_EQ(verify.exitCode, 0) << verify.err;
}

// Unpacked files land in the output directory and nowhere else: not through a
// link left there, and not elsewhere when the directory's name holds a '\\'.
TEST_F(Fpk, ExtractWritesOnlyInsideItsOutputDirectory)
{
    dir.Write("src/gui/a.txt", "a");
    dir.Write("src/b.txt", "b");
    ASSERT_EQ(Run("create " + Quoted("p.fpk") + " " + Quoted("src")).exitCode, 0);

    std::filesystem::create_directories(dir / "elsewhere");
    std::filesystem::create_directories(dir / "out");
    std::filesystem::create_directory_symlink(dir / "elsewhere", dir / "out/gui");
    ToolRun extract = Run("extract " + Quoted("p.fpk") + " " + Quoted("out"));
    EXPECT_EQ(extract.exitCode, 1);
    EXPECT_EQ(LineCount(extract.err), 1u) << extract.err;
    EXPECT_NE(extract.err.find("gui/a.txt"), std::string::npos) << extract.err;
    EXPECT_TRUE(std::filesystem::is_empty(dir / "elsewhere"));
    EXPECT_EQ(CTestTempDir::Read(dir / "out/b.txt"), "b");

    extract = Run("extract " + Quoted("p.fpk") + " " + Quoted("back\\slash"));
    EXPECT_EQ(extract.exitCode, 0) << extract.err;
    EXPECT_EQ(CTestTempDir::Read(dir / "back\\slash/gui/a.txt"), "a");
    EXPECT_FALSE(std::filesystem::exists(dir / "back"));
}
