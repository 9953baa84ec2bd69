#include "Engine/Core/Common/GeError.h"
#include "Engine/Core/Common/GeErrorNames.h"
#include "Engine/Core/Common/GeLog.h"
#include "Platform/Win32/WinMessageBox.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The scripted answer of the error box, and what the box was asked to show.
int g_answer;
std::string g_shownText;
std::string g_shownCaption;
int g_shownCount;

int ScriptedBox(const char* text, const char* caption)
{
    g_shownText = text;
    g_shownCaption = caption;
    g_shownCount++;
    return g_answer;
}

class GeErrorBox : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_shownText.clear();
        g_shownCaption.clear();
        g_shownCount = 0;
        previous = GeSetErrorBoxFunction(ScriptedBox);
    }
    void TearDown() override { GeSetErrorBoxFunction(previous); }

    GeErrorBoxFunction previous = nullptr;
};

const char kBody[] = "An error has occurred.\r\n\r\nError: X \r\nFile: a.cpp\r\n  Line: 7\r\n \r\n";
const char kQuestion[] = "Press ABORT to end the program, RETRY to debug, IGNORE to throw the error.";

TEST(GeErrorText, LaysOutMessageFileLineAndReason)
{
    CGeError error(CGeString("a.cpp"), 7, CGeString("X"));
    EXPECT_STREQ(GeErrorText(error).c_str(), kBody);

    error.reason = "disk full";
    EXPECT_STREQ(GeErrorText(error).c_str(),
                 "An error has occurred.\r\n\r\nError: X \r\nFile: a.cpp\r\n  Line: 7\r\n Reason: disk full\r\n");

    CGeError empty;
    EXPECT_STREQ(GeErrorText(empty).c_str(), "An error has occurred.\r\n\r\nError:  \r\nFile: \r\n  Line: 0\r\n \r\n");
}

TEST(GeErrorFormat, TextThatDoesNotFitIn511CharactersBecomesEmpty)
{
    const struct {
        size_t length;
        bool kept;
    } cases[] = { { 0, true }, { 100, true }, { 511, true }, { 512, false }, { 600, false } };
    for (const auto& c : cases) {
        std::string text(c.length, 'e');
        CGeString formatted = CGeError::Format("%s", text.c_str());
        EXPECT_EQ(formatted.Length(), c.kept ? c.length : 0u) << "length " << c.length;
        if (c.kept) {
            EXPECT_STREQ(formatted.c_str(), text.c_str());
        }
    }
    EXPECT_STREQ(CGeError::Format("%s:%d", "pack", 3).c_str(), "pack:3");
}

TEST_F(GeErrorBox, ShowsTitledBoxAndRetryReturnsFalse)
{
    g_answer = IDRETRY;
    EXPECT_FALSE(GeErrorReport(CGeString("X"), CGeString("a.cpp"), 7));
    EXPECT_EQ(g_shownCaption, "GE Error Handling");
    EXPECT_EQ(g_shownText, std::string(kBody) + kQuestion);
}

TEST_F(GeErrorBox, BoxThatCannotBeShownLetsTheCallerGoOn)
{
    for (int answer : { 0, IDOK, IDCANCEL, 99 }) {
        g_answer = answer;
        EXPECT_TRUE(GeErrorReport(CGeString("X"), CGeString("a.cpp"), 7)) << answer;
    }
}

TEST_F(GeErrorBox, IgnoreThrowsTheError)
{
    g_answer = IDIGNORE;
    try {
        GeErrorReport(CGeString("bad block"), CGeString("pack.cpp"), 42);
        FAIL() << "Ignore must throw";
    } catch (const CGeError& error) {
        EXPECT_STREQ(error.message.c_str(), "bad block");
        EXPECT_STREQ(error.file.c_str(), "pack.cpp");
        EXPECT_EQ(error.line, 42);
        EXPECT_TRUE(error.reason.IsEmpty());
    }
}

TEST_F(GeErrorBox, AbortEndsTheProcessWithMinusOne)
{
    g_answer = IDABORT;
    EXPECT_EXIT(GeErrorReport(CGeString("X"), CGeString("a.cpp"), 7), ::testing::ExitedWithCode(255), "");
}

TEST_F(GeErrorBox, RaiserOnRetryContinuesWithoutADebugger)
{
    // Runs under ctest without a tracer; with one, the break is the point.
    if (GeIsDebuggerAttached())
        GTEST_SKIP() << "a debugger is attached";
    g_answer = IDRETRY;
    GE_ERROR_REPORT("Can't read %s", "resource.fpk");
    EXPECT_EQ(g_shownCount, 1);
    EXPECT_NE(g_shownText.find("Error: Can't read resource.fpk \r\n"), std::string::npos);
    EXPECT_NE(g_shownText.find("GeErrorTest.cpp"), std::string::npos);
}

TEST(GeErrorReport, HeadlessSystemBoxCannotBeShown)
{
    // The tests run with SDL's offscreen driver: no box, the caller goes on.
    EXPECT_TRUE(GeErrorReport(CGeString("X"), CGeString("a.cpp"), 7));
}

TEST(GeErrorNamesD3d, NamesEveryTableRowAndFallsBackOtherwise)
{
    const struct {
        uint32_t code;
        const char* name;
    } cases[] = {
        { 0x00000000, "D3D_OK" },
        { 0x88760818, "D3DERR_WRONGTEXTUREFORMAT" },
        { 0x88760819, "D3DERR_UNSUPPORTEDCOLOROPERATION" },
        { 0x8876081A, "D3DERR_UNSUPPORTEDCOLORARG" },
        { 0x8876081B, "D3DERR_UNSUPPORTEDALPHAOPERATION" },
        { 0x8876081C, "D3DERR_UNSUPPORTEDALPHAARG" },
        { 0x8876081D, "D3DERR_TOOMANYOPERATIONS" },
        { 0x8876081E, "D3DERR_CONFLICTINGTEXTUREFILTER" },
        { 0x8876081F, "D3DERR_UNSUPPORTEDFACTORVALUE" },
        { 0x88760821, "D3DERR_CONFLICTINGRENDERSTATE" },
        { 0x88760822, "D3DERR_UNSUPPORTEDTEXTUREFILTER" },
        { 0x88760826, "D3DERR_CONFLICTINGTEXTUREPALETTE" },
        { 0x88760827, "D3DERR_DRIVERINTERNALERROR" },
        { 0x88760866, "D3DERR_NOTFOUND" },
        { 0x88760867, "D3DERR_MOREDATA" },
        { 0x88760868, "D3DERR_DEVICELOST" },
        { 0x88760869, "D3DERR_DEVICENOTRESET" },
        { 0x8876086A, "D3DERR_NOTAVAILABLE" },
        { 0x8876017C, "D3DERR_OUTOFVIDEOMEMORY" },
        { 0x8876086B, "D3DERR_INVALIDDEVICE" },
        { 0x8876086C, "D3DERR_INVALIDCALL" },
        { 0x8876086D, "D3DERR_DRIVERINVALIDCALL" },
        { 0x12345678, "Unspecified D3D error" },
        { 0x88760820, "Unspecified D3D error" },
        { 0x80004005, "Unspecified D3D error" },
        { 0x00000001, "Unspecified D3D error" },
    };
    for (const auto& c : cases)
        EXPECT_STREQ(GetD3dErrorName((int32_t)c.code), c.name) << std::hex << c.code;
}

TEST(GeErrorWin32Text, SharedBufferHoldsTheLatestText)
{
    const char* unknown = GetWin32ErrorText(0x7FFFABCD);
    EXPECT_STREQ(unknown, "undefined error: no description");

    const char* known = GetWin32ErrorText(2);   // ERROR_FILE_NOT_FOUND
    EXPECT_EQ(known, unknown);
    EXPECT_STRNE(known, "undefined error: no description");
    EXPECT_NE(std::string(known).find("file"), std::string::npos);

    EXPECT_STREQ(GetWin32ErrorText(0x7FFFABCD), "undefined error: no description");
}

TEST(GeLog, KeepsTheLastLevelAndMessageCutAt4095)
{
    GeLog(1, "Lua_AddToInventory: no item %s found! Ignored\n", "kettle");
    EXPECT_EQ(GeLogLastLevel(), 1);
    EXPECT_STREQ(GeLogLastMessage().c_str(), "Lua_AddToInventory: no item kettle found! Ignored\n");

    std::string longText(5000, 'x');
    longText[4094] = 'y';
    GeLog(2, "%s", longText.c_str());
    EXPECT_EQ(GeLogLastLevel(), 2);
    EXPECT_EQ(GeLogLastMessage().Length(), 4095u);
    EXPECT_EQ(GeLogLastMessage().c_str()[4094], 'y');
}

TEST(GeLog, TracesLeaveTheLastMessageAndClearingForgetsIt)
{
    GeLog(1, "Script '%s' not found\n", "intro.lua");
    GeTrace("%s: too short for a TGA header", "f.tga");
    EXPECT_EQ(GeLogLastLevel(), 1);
    EXPECT_STREQ(GeLogLastMessage().c_str(), "Script 'intro.lua' not found\n");

    GeLogClearLast();
    EXPECT_EQ(GeLogLastLevel(), 0);
    EXPECT_STREQ(GeLogLastMessage().c_str(), "");
}

} // namespace
