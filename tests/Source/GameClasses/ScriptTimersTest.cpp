#include "tests/Source/GameClasses/ScriptTestFixture.h"

#include <string>

// Each handler appends the frame number to its own record: "5 9 13 ".
class QmScriptTimers : public ScriptTest {
protected:
    void SetUp() override
    {
        ScriptTest::SetUp();
        Run("frame = 0 function record(name) _G[name .. '_fired'] = (_G[name .. '_fired'] or '') .. frame .. ' ' end "
            "function a() record('a') end function b() record('b') end");
    }

    void Frames(int count, double seconds)
    {
        for (int i = 0; i < count; ++i) {
            Run("frame = frame + 1");
            Frame(seconds);
        }
    }
};

TEST_F(QmScriptTimers, FireWhenTheGatheredTimeIsStrictlyGreaterAtMostOncePerFrame)
{
    ScriptSetTimer("a", 1.0f);
    Frames(13, 0.25);
    // Elapsed reaches exactly 1.0 at the 4th frame: no call until the 5th.
    EXPECT_EQ("5 9 13 ", Global("a_fired"));

    // A period shorter than the frame still fires once per frame; the rest
    // carries over.
    ScriptSetTimer("b", 0.1f);
    Frames(3, 0.5);
    EXPECT_EQ("14 15 16 ", Global("b_fired"));
    EXPECT_FLOAT_EQ(1.2f, g_scriptTimers.tail->value.elapsed);
}

TEST_F(QmScriptTimers, PeriodZeroFiresEveryFrameThatHasADelta)
{
    ScriptSetTimer("a", 0.0f);
    Frames(2, 0.0);
    EXPECT_EQ("nil", Global("a_fired"));
    Frames(3, 0.25);
    EXPECT_EQ("3 4 5 ", Global("a_fired"));
}

TEST_F(QmScriptTimers, RetuningKeepsTheGatheredTime)
{
    ScriptSetTimer("a", 1.0f);
    Frames(3, 0.25);
    ScriptSetTimer("a", 0.5f);
    EXPECT_EQ(1u, g_scriptTimers.count);
    Frames(1, 0.25);
    EXPECT_EQ("4 ", Global("a_fired"));
    EXPECT_FLOAT_EQ(0.5f, g_scriptTimers.head->value.elapsed);
}

TEST_F(QmScriptTimers, HandlersAddTimersThatRunInTheSamePass)
{
    Run("function c() record('c') TestSetTimer('b', 0) TestSetTimer('c', 10) end");
    ScriptSetTimer("c", 0.0f);
    Frames(2, 0.25);
    EXPECT_EQ("1 ", Global("c_fired"));
    EXPECT_EQ("1 2 ", Global("b_fired"));
    ASSERT_EQ(2u, g_scriptTimers.count);
    EXPECT_STREQ("c", g_scriptTimers.head->value.name);
    EXPECT_EQ(10.0f, g_scriptTimers.head->value.period);
}

TEST_F(QmScriptTimers, MissingFunctionsKeepFiringWithoutHarm)
{
    ScriptSetTimer("missing", 0.0f);
    ScriptSetTimer("a", 0.0f);
    Frames(3, 0.25);
    EXPECT_EQ("1 2 3 ", Global("a_fired"));
    EXPECT_EQ(2u, g_scriptTimers.count);
}

TEST_F(QmScriptTimers, RemovalEmptiesTheListAlsoDuringAPass)
{
    ScriptSetTimer("a", 0.0f);
    ScriptRemoveAllTimers();
    EXPECT_EQ(0u, g_scriptTimers.count);
    Frames(1, 0.25);
    EXPECT_EQ("nil", Global("a_fired"));

    // A handler that reaches the removal stops the timers after it; a timer
    // set after the removal stays.
    Run("function remover() TestRemoveTimers() TestSetTimer('b', 0) end");
    ScriptSetTimer("remover", 0.0f);
    ScriptSetTimer("a", 0.0f);
    Frames(2, 0.25);
    EXPECT_EQ("nil", Global("a_fired"));
    EXPECT_EQ("2 3 ", Global("b_fired"));
    ASSERT_EQ(1u, g_scriptTimers.count);
    EXPECT_STREQ("b", g_scriptTimers.head->value.name);

    ScriptShutdown();
    EXPECT_EQ(0u, g_scriptTimers.count);
}

TEST_F(QmScriptTimers, NamesOf32CharactersAreRefused)
{
    const std::string longest(31, 'a');
    ScriptSetTimer(std::string(32, 'a').c_str(), 1.0f);
    EXPECT_EQ(0u, g_scriptTimers.count);
    ScriptSetTimer(longest.c_str(), 1.0f);
    ScriptSetTimer(nullptr, 1.0f);
    ASSERT_EQ(1u, g_scriptTimers.count);
    EXPECT_EQ(longest, g_scriptTimers.head->value.name);
}
