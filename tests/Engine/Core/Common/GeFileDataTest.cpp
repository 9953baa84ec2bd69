#include "Engine/Core/Common/GeFileData.h"

#include "tests/Support/TestTempDir.h"

#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace {

std::string Bytes(const CGeFileData& file)
{
    return file.data ? std::string(reinterpret_cast<const char*>(file.data), file.size) : std::string();
}

std::string CurrentDirectory()
{
    char buffer[4096];
    return getcwd(buffer, sizeof(buffer)) ? buffer : "";
}

class GeFileDataLooseFiles : public ::testing::Test {
protected:
    void SetUp() override { g_packPath = ""; }
    void TearDown() override { g_packPath = ""; }
    CTestTempDir dir;
};

} // namespace

TEST_F(GeFileDataLooseFiles, ReadsWholeFilesWhateverTheCaseOfTheirNameOnDisk)
{
    dir.Write("Gui/Gui_Res.XML", "<gui/>");
    for (std::string name : {"Gui/Gui_Res.XML", "gui/gui_res.xml", "GUI\\gui_res.xml"}) {
        std::string path = dir / name;
        CGeFileData file = LoadFileData(path.c_str(), true);
        EXPECT_EQ(Bytes(file), "<gui/>") << name;
        EXPECT_EQ(file.size, 6u);
        EXPECT_EQ(file.path, path.c_str());
        FreeFileData(file);
        EXPECT_EQ(file.data, nullptr);
    }
}

TEST_F(GeFileDataLooseFiles, MissingAndEmptyFilesGiveNoData)
{
    dir.Write("empty.txt", "");
    for (const char* name : {"empty.txt", "missing.txt", "nodir/missing.txt"}) {
        std::string path = dir / name;
        CGeFileData file = ReadWholeFile(path.c_str(), true);
        EXPECT_EQ(file.data, nullptr) << name;
        EXPECT_EQ(file.size, 0u) << name;
        EXPECT_EQ(file.path, path.c_str()) << name;
    }
}

TEST_F(GeFileDataLooseFiles, SizeQueryOfLooseFiles)
{
    dir.Write("Five.bin", "12345");
    dir.Write("zero.bin", "");
    bool found = false;
    EXPECT_EQ(QueryFileSize((dir / "five.BIN").c_str(), found), 5u);
    EXPECT_TRUE(found);
    EXPECT_EQ(QueryFileSize((dir / "zero.bin").c_str(), found), 0u);
    EXPECT_TRUE(found);
    EXPECT_EQ(QueryFileSize((dir / "none.bin").c_str(), found), 0u);
    EXPECT_FALSE(found);
    EXPECT_EQ(QueryFileSize(dir.Path().c_str(), found), 0u); // a directory
    EXPECT_FALSE(found);
}

TEST_F(GeFileDataLooseFiles, WritesWholeFilesAndReportsFailedWrites)
{
    dir.Write("Save/old.s", "a much longer old content");
    uint8_t bytes[] = {1, 2, 3, 0, 5};
    CGeFileData record;
    record.data = bytes;
    record.size = sizeof(bytes);

    record.path = (dir / "save\\old.s").c_str(); // an existing directory in another case
    EXPECT_TRUE(WriteWholeFile(record));
    EXPECT_EQ(CTestTempDir::Read(dir / "Save/old.s"), std::string("\1\2\3\0\5", 5));

    record.path = (dir / "missing/dir/x.s").c_str();
    EXPECT_FALSE(WriteWholeFile(record));
    if (access("/dev/full", W_OK) == 0) {
        record.path = "/dev/full"; // every write fails for want of space
        EXPECT_FALSE(WriteWholeFile(record));
    }
    record.path.Release(); // the caller keeps the bytes
}

TEST_F(GeFileDataLooseFiles, ListsADataDirectory)
{
    dir.Write("Dialogs/Topic_A.xml", "a");
    dir.Write("Dialogs/sub/Deep.XML", "d");
    dir.Write("Dialogs/empty.xml", "");
    dir.Write("Dialogs/_svn/entries", "s");
    dir.Write("Dialogs/.svn/entries", "s");
    dir.Write("Dialogs2/other.xml", "o");
    const std::string start = CurrentDirectory();

    CGeArray<CGeString> names;
    names.Add(CGeString("stale"));
    CollectFileList(CGeString((dir / "dialogs").c_str()), names);
    ASSERT_EQ(names.count, 2u);
    // In listing order, which sorts the names as they are on disk.
    EXPECT_STREQ(names[0].c_str(), "topic_a.xml");
    EXPECT_STREQ(names[1].c_str(), "sub/deep.xml");
    EXPECT_EQ(CurrentDirectory(), start);

    CollectFileList(CGeString((dir / "nothere").c_str()), names);
    EXPECT_EQ(names.count, 0u);
    CollectFileList(CGeString(""), names);
    EXPECT_EQ(names.count, 0u);
}

TEST_F(GeFileDataLooseFiles, WithAPackPathSetLooseFilesAreNotConsulted)
{
    dir.Write("loose.txt", "loose");
    g_packPath = (dir / "resource.fpk").c_str();
    // No pack reader is installed (none is mounted): nothing is found.
    CGeFileData file = LoadFileData("loose.txt", true);
    EXPECT_EQ(file.data, nullptr);
    std::string path = dir / "loose.txt";
    file = LoadFileData(path.c_str(), true);
    EXPECT_EQ(file.data, nullptr);
}
