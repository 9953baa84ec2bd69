#include "Platform/System/PosixFiles.h"

#include "tests/Support/TestTempDir.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdexcept>
#include <unistd.h>

static std::string CurrentDirectory()
{
    char buffer[4096];
    return getcwd(buffer, sizeof(buffer)) ? buffer : "";
}

TEST(PosixFiles, ResolvesNamesWhateverTheirCaseOnDisk)
{
    CTestTempDir dir;
    dir.Write("Gui/Gui_Res.XML", "x");
    dir.Write("both/a.txt", "lower");
    dir.Write("both/A.txt", "upper");

    struct Case {
        std::string wanted;
        std::string expected; // empty: not found
    } cases[] = {
        {"Gui/Gui_Res.XML", "Gui/Gui_Res.XML"},
        {"gui/gui_res.xml", "Gui/Gui_Res.XML"},
        {"GUI\\GUI_RES.xml", "Gui/Gui_Res.XML"},
        {"both/a.txt", "both/a.txt"},  // an exact match wins
        {"both/A.TXT", "both/A.txt"},  // else the first variant in byte order
        {"gui/missing.xml", ""},
        {"nothere/gui_res.xml", ""},
    };
    for (const Case& c : cases) {
        std::string resolved;
        bool found = SysResolvePathNoCase((dir / c.wanted).c_str(), &resolved);
        EXPECT_EQ(found, !c.expected.empty()) << c.wanted;
        if (found) {
            EXPECT_EQ(resolved, dir / c.expected) << c.wanted;
        }
    }

    int fd = SysOpenForRead((dir / "gUI/gui_RES.xml").c_str());
    ASSERT_GE(fd, 0);
    close(fd);
    EXPECT_LT(SysOpenForRead((dir / "gui/none.xml").c_str()), 0);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_LT(SysOpenForRead((dir / "gui").c_str()), 0); // a directory is no file
    EXPECT_EQ(errno, EISDIR);
}

TEST(PosixFiles, ShortTransfersAreFailures)
{
    CTestTempDir dir;
    std::string path = dir.Write("ten", "0123456789");
    int fd = open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    char buffer[20];
    EXPECT_TRUE(SysReadFully(fd, buffer, 4));
    EXPECT_FALSE(SysReadFully(fd, buffer, 7)); // only 6 are left
    EXPECT_EQ(errno, EIO);
    close(fd);

    int full = open("/dev/full", O_WRONLY);
    if (full >= 0) {
        EXPECT_FALSE(SysWriteFully(full, buffer, sizeof(buffer)));
        close(full);
    }
}

TEST(PosixFiles, ListsDirectoriesSortedWithoutDotEntries)
{
    CTestTempDir dir;
    dir.Write("b.txt", "");
    dir.Write("A.txt", "");
    dir.Write("sub/x", "");
    std::vector<SysDirEntry> entries;
    ASSERT_TRUE(SysListDirectory(dir.Path().c_str(), &entries));
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, "A.txt");
    EXPECT_EQ(entries[1].name, "b.txt");
    EXPECT_EQ(entries[2].name, "sub");
    EXPECT_FALSE(entries[0].isDirectory);
    EXPECT_TRUE(entries[2].isDirectory);
    EXPECT_FALSE(SysListDirectory((dir / "nothere").c_str(), &entries));
}

TEST(PosixFiles, CurrentDirectoryComesBackOnEveryWayOut)
{
    CTestTempDir dir;
    dir.Write("Sub/file", "x");
    const std::string start = CurrentDirectory();

    {
        CSysCurrentDirectoryScope scope;
        ASSERT_TRUE(scope.Enter((dir / "sub").c_str()));
        EXPECT_NE(CurrentDirectory(), start);
    }
    EXPECT_EQ(CurrentDirectory(), start);

    try {
        CSysCurrentDirectoryScope scope;
        ASSERT_TRUE(scope.Enter(dir.Path().c_str()));
        throw std::runtime_error("leaving early");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(CurrentDirectory(), start);

    {
        CSysCurrentDirectoryScope scope;
        EXPECT_FALSE(scope.Enter((dir / "missing").c_str()));
        EXPECT_EQ(CurrentDirectory(), start);
    }
    EXPECT_EQ(CurrentDirectory(), start);
}
