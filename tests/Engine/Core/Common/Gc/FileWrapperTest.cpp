#include "Engine/Core/Common/Gc/FileWrapper.h"

#include "tests/Support/ErrorBoxRecorder.h"
#include "tests/Support/TestTempDir.h"

#include <cerrno>
#include <gtest/gtest.h>

TEST(FileWrapper, ReadsSeeksAndSizesAnOpenFile)
{
    CTestTempDir dir;
    dir.Write("Pack.FPK", "0123456789");
    CFileWrapper file;
    uint32_t error = 99;
    ASSERT_TRUE(file.Open(CGeString((dir / "pack.fpk").c_str()), GENERIC_READ, OPEN_EXISTING, &error));
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(file.GetSize(), 10u);
    EXPECT_EQ(file.Seek(-4, FILE_END), 6);
    char buffer[8] = {};
    EXPECT_EQ(file.Read(buffer, 8), 4u); // only four are left
    EXPECT_STREQ(buffer, "6789");
    EXPECT_EQ(file.Seek(2, FILE_BEGIN), 2);
    EXPECT_EQ(file.Read(buffer, 3), 3u);
    EXPECT_EQ(std::string(buffer, 3), "234");
    file.Close();
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.path, "");
}

TEST(FileWrapper, AFailedOpenKeepsTheSystemError)
{
    CTestTempDir dir;
    CFileWrapper file;
    uint32_t error = 0;
    EXPECT_FALSE(file.Open(CGeString((dir / "none.fpk").c_str()), GENERIC_READ, OPEN_EXISTING, &error));
    EXPECT_EQ(error, static_cast<uint32_t>(ENOENT));
    EXPECT_EQ(file.lastError, static_cast<uint32_t>(ENOENT));
    EXPECT_FALSE(file.IsOpen());

    ASSERT_TRUE(file.Open(CGeString((dir / "new.bin").c_str()), GENERIC_WRITE, CREATE_ALWAYS, &error));
    EXPECT_EQ(file.lastError, 0u);
}

TEST(FileWrapper, UseOfAClosedWrapperShowsTheErrorBox)
{
    CErrorBoxRecorder boxes;
    CFileWrapper file;
    EXPECT_EQ(file.GetSize(), 0xFFFFFFFFu);
    ASSERT_EQ(boxes.Messages().size(), 1u);
    EXPECT_EQ(boxes.Messages()[0], "File  is invalid");

    char buffer[4];
    EXPECT_EQ(file.Read(buffer, 4), 0u); // the read is still issued, and fails
    ASSERT_EQ(boxes.Messages().size(), 3u);
    EXPECT_EQ(boxes.Messages()[2], "File : error " + std::to_string(EBADF) + " while reading data");
    EXPECT_EQ(file.Seek(0, FILE_BEGIN), -1);
}
