#include "Platform/Win32/WinClipboard.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Platform/Win32/WinSdl.h"

namespace {

class WinClipboard : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(WinEnsureSdlVideo()); }

    void Copy(const std::u16string& text)
    {
        ASSERT_TRUE(OpenClipboard(nullptr));
        EmptyClipboard();
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * 2);
        memcpy(GlobalLock(block), text.c_str(), (text.size() + 1) * 2);
        GlobalUnlock(block);
        EXPECT_NE(nullptr, SetClipboardData(CF_UNICODETEXT, block));
        CloseClipboard();
    }

    std::u16string Paste()
    {
        EXPECT_TRUE(OpenClipboard(nullptr));
        std::u16string text;
        if (HANDLE block = GetClipboardData(CF_UNICODETEXT)) {
            text = (const char16_t*)GlobalLock(block);
            GlobalUnlock(block);
        }
        CloseClipboard();
        return text;
    }
};

TEST_F(WinClipboard, UnicodeTextRoundTripsThroughUtf8)
{
    Copy(u"\u0416a\n");
    char* utf8 = SDL_GetClipboardText();
    EXPECT_STREQ("\xD0\x96" "a\n", utf8); // line ends pass unchanged
    SDL_free(utf8);

    SDL_SetClipboardText("x\r\ny \xF0\x9F\x98\x80");
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
    EXPECT_EQ(u"x\r\ny \U0001F600", Paste());
}

TEST_F(WinClipboard, UnpairedSurrogateBecomesReplacementCharacter)
{
    Copy(std::u16string(u"a") + (char16_t)0xD800 + u"b");
    EXPECT_EQ(u"a\uFFFDb", Paste());
}

TEST_F(WinClipboard, EmptyClipboardHasNoText)
{
    SDL_SetClipboardText("");
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_UNICODETEXT));
    EXPECT_EQ(u"", Paste());
}

TEST_F(WinClipboard, OpenCloseAndFormatRules)
{
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_FALSE(OpenClipboard(nullptr));
    EXPECT_EQ(nullptr, GetClipboardData(CF_TEXT));
    HGLOBAL block = GlobalAlloc(GHND, 4);
    EXPECT_EQ(nullptr, SetClipboardData(CF_TEXT, block));
    EXPECT_EQ(nullptr, GlobalFree(block));
    EXPECT_TRUE(CloseClipboard());
    EXPECT_FALSE(CloseClipboard());
    EXPECT_EQ(nullptr, GetClipboardData(CF_UNICODETEXT)); // not open
}

TEST(WinClipboardGlobalMemory, BlocksAreZeroedAndFreedOnce)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 8);
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(8u, GlobalSize(block));
    const unsigned char* bytes = (const unsigned char*)GlobalLock(block);
    for (int i = 0; i < 8; i++)
        EXPECT_EQ(0, bytes[i]);
    GlobalUnlock(block);
    EXPECT_EQ(nullptr, GlobalFree(block));
    EXPECT_EQ(block, GlobalFree(block));
    EXPECT_EQ(nullptr, GlobalLock(block));
}

} // namespace
