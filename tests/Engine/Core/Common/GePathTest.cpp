#include "Engine/Core/Common/GePath.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

TEST(GePathBaseName, DropsDirectoryAndExtension)
{
    const struct {
        const char* path;
        const char* base;
    } cases[] = {
        { "Gui/gui_res.xml", "gui_res" },
        { "C:\\Games\\Qasimar\\resource.fpk", "resource" },
        { "a/b\\c.d.e", "c.d" },
        { "noext", "noext" },
        { "dir.v2/file", "file" },     // the last '.' lies before the separator
        { "file.tga", "file" },
        { "/root.xml", "/root" },      // a separator at index 0 is not seen
        { ".hidden", ".hidden" },      // nor a '.' at index 0
        { "dir/", "" },
        { "", "" },
    };
    for (const auto& c : cases)
        EXPECT_STREQ(GetPathBaseName(c.path).c_str(), c.base) << c.path;
}

TEST(GePathExtension, TakesTheTextAfterTheLastDot)
{
    EXPECT_STREQ(GetPathExtension("Meshes/kettle.gemesh").c_str(), "gemesh");
    EXPECT_STREQ(GetPathExtension("a.b.c").c_str(), "c");
    EXPECT_STREQ(GetPathExtension("noext").c_str(), "");
    EXPECT_STREQ(GetPathExtension("dot.").c_str(), "");
    EXPECT_STREQ(GetPathExtension("").c_str(), "");
}

TEST(GePathDirectory, KeepsTheDirectoryWithForwardSlashes)
{
    EXPECT_STREQ(GetPathDirectory("C:\\Games\\x.fpk").c_str(), "C:/Games");
    EXPECT_STREQ(GetPathDirectory("a/b\\c/d.txt").c_str(), "a/b/c");
    EXPECT_STREQ(GetPathDirectory("x.fpk").c_str(), ".");
    EXPECT_STREQ(GetPathDirectory("").c_str(), ".");
}

class GePathDataRoot : public ::testing::Test {
protected:
    void TearDown() override { DataRootPrefix = ""; }
};

TEST_F(GePathDataRoot, EmptyPrefixHoldsEveryPath)
{
    EXPECT_TRUE(IsPathUnderBase("Gui\\gui_res.xml"));
    EXPECT_TRUE(IsPathUnderBase(""));
    EXPECT_STREQ(GetPathRelativeToBase("Gui\\Fonts\\a.xml").c_str(), "Gui/Fonts/a.xml");
}

TEST_F(GePathDataRoot, PrefixIsMatchedIgnoringCaseAndSeparators)
{
    DataRootPrefix = "Data/";
    EXPECT_TRUE(IsPathUnderBase("data\\Gui\\x.xml"));
    EXPECT_STREQ(GetPathRelativeToBase("DATA\\Gui\\x.xml").c_str(), "Gui/x.xml");
    EXPECT_FALSE(IsPathUnderBase("Dat"));
    EXPECT_FALSE(IsPathUnderBase("Other/Gui/x.xml"));
    EXPECT_STREQ(GetPathRelativeToBase("Other/Gui/x.xml").c_str(), "");
}

// Runs in a fresh temporary directory and returns to where it was.
class GePathResolveDirectory : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(getcwd(original, sizeof(original)), nullptr);
        char pattern[] = "/tmp/qm_resolve_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        ASSERT_EQ(mkdir((root + "/Sub").c_str(), 0700), 0);
        ASSERT_EQ(chdir(root.c_str()), 0);
        ASSERT_NE(realpath(root.c_str(), resolvedRoot), nullptr);
    }
    void TearDown() override
    {
        EXPECT_EQ(chdir(original), 0);
        rmdir((root + "/Sub").c_str());
        rmdir(root.c_str());
    }
    std::string Current()
    {
        char now[2048];
        return getcwd(now, sizeof(now)) ? now : "";
    }

    char original[2048];
    char resolvedRoot[2048];
    std::string root;
};

TEST_F(GePathResolveDirectory, AbsoluteFormsAreKeptAsTheyAre)
{
    EXPECT_STREQ(ResolveDirectoryPath("C:\\data").c_str(), "C:\\data");
    EXPECT_STREQ(ResolveDirectoryPath("//server/share").c_str(), "//server/share");
    EXPECT_STREQ(ResolveDirectoryPath("\\\\server\\share").c_str(), "\\\\server\\share");
}

TEST_F(GePathResolveDirectory, ResolvesAgainstTheCurrentDirectoryAndReturnsToIt)
{
    const std::string base = std::string(resolvedRoot) + "/";
    EXPECT_EQ(ResolveDirectoryPath("").c_str(), base);
    EXPECT_EQ(ResolveDirectoryPath("Sub").c_str(), base + "Sub/");
    EXPECT_EQ(ResolveDirectoryPath("sub\\").c_str(), base + "Sub/");   // any case, either separator
    EXPECT_EQ(ResolveDirectoryPath(resolvedRoot).c_str(), base);
    EXPECT_EQ(ResolveDirectoryPath("/").c_str(), std::string("/"));
    // A directory that cannot be entered leaves the current one.
    EXPECT_EQ(ResolveDirectoryPath("missing").c_str(), base);
    EXPECT_EQ(Current(), root);
}

} // namespace
