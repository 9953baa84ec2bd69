// The system script functions (delayed calls, timers, the answer slot,
// quests, variables, the start location, the location's name) and the delayed
// calls they schedule, on a frame timer driven by hand.
#include "Engine/Core/Common/GeLog.h"
#include "Source/GameClasses/QmDelayedCalls.h"
#include "Source/GameClasses/QmGameVars.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmQuests.h"
#include "tests/Source/GameClasses/ScriptTestFixture.h"

namespace {

class ScriptSystemTest : public ScriptTest {
protected:
    void SetUp() override
    {
        ScriptTest::SetUp();
        CQmDelayedCalls::Clear();
        CQmQuests::Clear();
        CQmGameVars::Clear();
    }
    void TearDown() override
    {
        CQmDelayedCalls::Clear();
        CQmQuests::Clear();
        CQmGameVars::Clear();
        ScriptTest::TearDown();
    }

    // One frame of the given length for the delayed calls.
    void CallsFrame(double seconds)
    {
        m_clock.ticks += static_cast<int64_t>(seconds * 1000.0 + 0.5);
        m_timer.Update();
        CQmDelayedCalls::Update();
    }
};

} // namespace

TEST_F(ScriptSystemTest, DelayedCallsFireWhenDue)
{
    Run("n = 0 function f() n = n + 1 end SysDelayedCall('f', 1.0)");
    CallsFrame(0.4);
    CallsFrame(0.4);
    EXPECT_EQ("0", Global("n"));
    CallsFrame(0.4); // 1.0 - 1.2 <= 0
    EXPECT_EQ("1", Global("n"));
    CallsFrame(0.4);
    EXPECT_EQ("1", Global("n"));
    EXPECT_EQ(0u, CQmDelayedCalls::s_count);

    // A delay equal to the frame time is due; two due calls keep their order.
    Run("order = '' function a() order = order .. 'a' end function b() order = order .. 'b' end "
        "SysDelayedCall('a', 0.25) SysDelayedCall('b', 0.1)");
    CallsFrame(0.25);
    EXPECT_EQ("ab", Global("order"));
}

TEST_F(ScriptSystemTest, CallsAddedDuringTheUpdateWaitAFrame)
{
    // A call that schedules itself repeats with its period; a call added by a
    // due call stands ahead of the entries put back and is not counted down
    // in the frame that added it.
    Run("ticks = 0 function tick() ticks = ticks + 1 SysDelayedCall('tick', 0.5) end "
        "function other() end SysDelayedCall('tick', 0.5) SysDelayedCall('other', 5)");
    for (int i = 0; i < 4; ++i)
        CallsFrame(0.5);
    EXPECT_EQ("4", Global("ticks"));
    ASSERT_EQ(2u, CQmDelayedCalls::s_count);
    EXPECT_STREQ("tick", CQmDelayedCalls::s_calls[0].name);
    EXPECT_FLOAT_EQ(0.5f, CQmDelayedCalls::s_calls[0].delay);
    EXPECT_STREQ("other", CQmDelayedCalls::s_calls[1].name);
    EXPECT_FLOAT_EQ(3.0f, CQmDelayedCalls::s_calls[1].delay);
}

TEST_F(ScriptSystemTest, DelayedCallArgumentsKeepTheirKinds)
{
    Run("function f(...) n = select('#', ...) a, b, c, d, e = ... end "
        "SysDelayedCall('f', 0, 'txt', nil, 2, '12', true, 0.1)");
    CallsFrame(0.0);
    EXPECT_EQ("5", Global("n"));
    EXPECT_TRUE(Holds("a == 'txt' and b == 2 and c == 12 and type(c) == 'number' and d == true"));
    EXPECT_TRUE(Holds("e ~= 0.1 and math.abs(e - 0.1) < 1e-7"));

    // Seven extras travel; eight are refused as a whole, and so is a call
    // whose name is not text or whose delay is not a number.
    Run("function g(...) m = select('#', ...) end SysDelayedCall('g', 0, 1, 2, 3, 4, 5, 6, 7)");
    Run("SysDelayedCall('g', 0, 1, 2, 3, 4, 5, 6, 7, 8) SysDelayedCall({}, 0) SysDelayedCall('g', 'soon') "
        "SysDelayedCall('g')");
    EXPECT_EQ(1u, CQmDelayedCalls::s_count);
    CallsFrame(0.0);
    EXPECT_EQ("7", Global("m"));
}

TEST_F(ScriptSystemTest, DelayedCallsThatDoNotFitAreRefused)
{
    for (uint32_t i = 0; i < CQmDelayedCalls::kMaxCalls; ++i)
        ASSERT_TRUE(CQmDelayedCalls::Add("f", 1.0f, 0, nullptr));
    GeLogClearLast();
    EXPECT_FALSE(CQmDelayedCalls::Add("f", 1.0f, 0, nullptr));
    EXPECT_EQ(1, GeLogLastLevel());
    CQmDelayedCalls::Clear();

    const std::string longest(63, 'n');
    const std::string tooLong(64, 'n');
    EXPECT_TRUE(CQmDelayedCalls::Add(longest.c_str(), 1.0f, 0, nullptr));
    GeLogClearLast();
    EXPECT_FALSE(CQmDelayedCalls::Add(tooLong.c_str(), 1.0f, 0, nullptr));
    EXPECT_EQ(1, GeLogLastLevel());
    EXPECT_EQ(1u, CQmDelayedCalls::s_count);
    CQmDelayedCalls::Clear();

    // 64 waiting calls, the first of which schedules two new ones when due:
    // the new ones come first, and the last put-back entry is refused.
    Run("function burst() SysDelayedCall('x', 9) SysDelayedCall('x', 9) end");
    CQmDelayedCalls::Add("burst", 0.0f, 0, nullptr);
    for (uint32_t i = 1; i < CQmDelayedCalls::kMaxCalls; ++i)
        CQmDelayedCalls::Add("later", 5.0f, 0, nullptr);
    GeLogClearLast();
    CallsFrame(0.1);
    EXPECT_EQ(CQmDelayedCalls::kMaxCalls, CQmDelayedCalls::s_count);
    EXPECT_STREQ("x", CQmDelayedCalls::s_calls[0].name);
    EXPECT_STREQ("later", CQmDelayedCalls::s_calls[63].name);
    EXPECT_EQ(1, GeLogLastLevel());
}

TEST_F(ScriptSystemTest, VariablesFromScripts)
{
    Run("VarSet('a', 2.9) VarSet('b', -2.9) VarSet('c', '7') VarSet('d', '0x10') VarSet('e', 'abc') "
        "VarSet('f', 1e12) VarSet('g', 0/0) VarSet(5, 1) VarSet('h') VarSet('i', 1, 2)");
    EXPECT_EQ(2, CQmGameVars::GetValue("a"));
    EXPECT_EQ(-2, CQmGameVars::GetValue("b"));
    EXPECT_EQ(7, CQmGameVars::GetValue("c"));
    EXPECT_EQ(16, CQmGameVars::GetValue("d"));
    EXPECT_EQ(nullptr, CQmGameVars::Get("e"));
    EXPECT_EQ(2147483647, CQmGameVars::GetValue("f"));
    EXPECT_EQ(0, CQmGameVars::GetValue("g"));
    EXPECT_EQ(nullptr, CQmGameVars::Get("h"));
    EXPECT_EQ(nullptr, CQmGameVars::Get("i"));
    EXPECT_TRUE(Holds("VarGet(5) == 1 and VarGet('a') == 2 and VarGet('unknown') == 0 and VarGet() == 0"));
    Run("VarsDump() VarsDump(1)");
}

TEST_F(ScriptSystemTest, QuestsFromScripts)
{
    Run("QuestPass('door') QuestPass('key', 'tower', 3) QuestPass('map', 'tower') QuestPass('bad', 'g', 'x') "
        "QuestPass() QuestPass('a', 'b', 1, 2)");
    EXPECT_EQ(0, *CQmQuests::Find("door", ""));
    EXPECT_EQ(3, *CQmQuests::Find("key", "tower"));
    EXPECT_EQ(0, *CQmQuests::Find("map", "tower"));
    EXPECT_FALSE(CQmQuests::GetValue("bad", "g"));
    EXPECT_FALSE(CQmQuests::GetValue("a", "b"));
    EXPECT_TRUE(Holds("QuestIsPassed('door') and QuestIsPassed('key', 'tower') and not QuestIsPassed('key')"));
    EXPECT_TRUE(Holds("GetQuestValue('key', 'tower') == 1 and GetQuestValue('nothing') == 0"));
    EXPECT_TRUE(Holds("QuestIsPassed('door', {}) == false and GetQuestValue() == 0"));
    Run("QuestFail('door') QuestFail('key', 'tower') QuestFail() QuestFail('map', {})");
    EXPECT_FALSE(CQmQuests::GetValue("door", ""));
    EXPECT_FALSE(CQmQuests::GetValue("key", "tower"));
    EXPECT_TRUE(CQmQuests::GetValue("map", "tower"));
}

TEST_F(ScriptSystemTest, SystemFunctions)
{
    Run("SysReturn('false')");
    EXPECT_STREQ("false", ScriptTakeReturnValue());
    EXPECT_STREQ("", ScriptTakeReturnValue());
    Run("SysReturn('a_very_long_answer') SysReturn()");
    EXPECT_STREQ("a_very_", ScriptTakeReturnValue());

    Run("SysSetTimer(string.rep('a', 32), 1) SysSetTimer(string.rep('a', 31), 1) SysSetTimer('t') "
        "SysLog('hello') SysLog()");
    EXPECT_EQ(1u, g_scriptTimers.count);

    Run("SetStartLocation('loc07') SetStartLocation()");
    EXPECT_STREQ("loc07", m_processor.startLocation.c_str());

    EXPECT_TRUE(Holds("GetLocationName() == ''"));
    CQmLocationManager manager;
    g_locationManager = &manager;
    manager.Adopt(new CQmLocation("harbour"));
    manager.SetCurrentLocation("harbour");
    EXPECT_TRUE(Holds("GetLocationName() == 'harbour' and GetLocationName(1) == ''"));
    g_locationManager = nullptr;
}
