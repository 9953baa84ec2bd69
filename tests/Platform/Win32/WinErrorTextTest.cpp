#include "Platform/Win32/WinErrorText.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const DWORD kSystem = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;

TEST(WinErrorTextFormatMessage, KnownCodesGiveTheSystemText)
{
    struct Case {
        DWORD code;
        const char* text;
    };
    const Case cases[] = {
        {0, "The operation completed successfully.\r\n"},
        {2, "The system cannot find the file specified.\r\n"},
        {3, "The system cannot find the path specified.\r\n"},
        {5, "Access is denied.\r\n"},
        {32, "The process cannot access the file because it is being used by another process.\r\n"},
        {183, "Cannot create a file when that file already exists.\r\n"},
    };
    for (const Case& c : cases) {
        char buffer[1024];
        DWORD length = FormatMessageA(kSystem, nullptr, c.code, 0, buffer, 1023, nullptr);
        EXPECT_STREQ(c.text, buffer) << c.code;
        EXPECT_EQ(strlen(c.text), length);
    }
}

TEST(WinErrorTextFormatMessage, FailureLeavesTheCallersDefaultText)
{
    char buffer[1024] = "undefined error: no description";
    EXPECT_EQ(0u, FormatMessageA(kSystem, nullptr, 0xDEAD, 0, buffer, 1023, nullptr));
    EXPECT_EQ(ERROR_MR_MID_NOT_FOUND, GetLastError());
    EXPECT_STREQ("undefined error: no description", buffer);

    char small[8] = "keep";
    EXPECT_EQ(0u, FormatMessageA(kSystem, nullptr, ERROR_FILE_NOT_FOUND, 0, small, sizeof(small), nullptr));
    EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, GetLastError());
    EXPECT_STREQ("keep", small);
}

TEST(WinErrorTextLastError, IsPerThreadAndSettable)
{
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(ERROR_SUCCESS, GetLastError());
}

} // namespace
