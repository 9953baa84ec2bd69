// A started script processor with test probes registered beside the script
// functions, a game processor so that events can be fired, and a frame timer
// driven by a hand-moved clock. Every test ends with the script stack at the
// height it started from.
#pragma once

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmScriptApi.h"
#include "Source/GameClasses/QmScriptProcessor.h"
#include "Source/GameClasses/QmScriptTimers.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace ScriptProbes {

// TestFire(name): fires the event name with the one argument "nested".
inline int TestFire(lua_State* L)
{
    const CGeString name = ScriptArgString(L, 1);
    CGeValue nested("nested");
    return ScriptPushBool(L, ScriptCallFunction(lua_isnil(L, 1) ? nullptr : name.c_str(), &nested, 1, false));
}

inline int TestSetTimer(lua_State* L)
{
    ScriptSetTimer(ScriptArgText(L, 1), ScriptArgFloat(L, 2));
    return 0;
}

inline int TestRemoveTimers(lua_State*)
{
    ScriptRemoveAllTimers();
    return 0;
}

// The probes below read their argument through the shared routines and answer
// "refused" when the checks refuse the call.
inline int ProbeText(lua_State* L)
{
    if (!ScriptCheckArgs(L, "ProbeText", "t"))
        return ScriptPushText(L, "refused");
    return ScriptPushText(L, ScriptArgString(L, 1));
}

inline int ProbeInt(lua_State* L)
{
    if (!ScriptCheckArgs(L, "ProbeInt", "n"))
        return ScriptPushText(L, "refused");
    return ScriptPushNumber(L, ScriptArgInt(L, 1));
}

inline int ProbeFloat(lua_State* L)
{
    if (!ScriptCheckArgs(L, "ProbeFloat", "n"))
        return ScriptPushText(L, "refused");
    return ScriptPushNumber(L, ScriptArgFloat(L, 1));
}

inline int ProbeBool(lua_State* L)
{
    if (!ScriptCheckArgs(L, "ProbeBool", "b"))
        return ScriptPushText(L, "refused");
    return ScriptPushBool(L, ScriptArgBool(L, 1));
}

inline int ProbeFlag(lua_State* L)
{
    if (!ScriptCheckArgs(L, "ProbeFlag", "f"))
        return ScriptPushText(L, "refused");
    return ScriptPushBool(L, ScriptArgBool(L, 1));
}

// ProbePosition(name, x [, y]): the argument count on success, the default
// position 0, 0, 0 when refused.
inline int ProbePosition(lua_State* L)
{
    if (!ScriptCheckArgs(L, "ProbePosition", "tn|n"))
        return ScriptPushVector(L, 0.0f, 0.0f, 0.0f);
    return ScriptPushNumber(L, lua_gettop(L));
}

inline int ProbeLookup(lua_State* L)
{
    if (!ScriptCheckArgs(L, "ProbeLookup", "t"))
        return 0;
    ScriptLogLookupFailed("Lua_ProbeLookup: Entity '%s' not found in location!\n", ScriptArgText(L, 1));
    return 0;
}

inline int ProbeThrow(lua_State* L)
{
    lua_pushnumber(L, 1);
    throw std::runtime_error("probe failure");
}

const QmScriptFunctionEntry kProbes[] = {
    {"TestFire", ScriptEntryPoint<TestFire>},
    {"TestSetTimer", ScriptEntryPoint<TestSetTimer>},
    {"TestRemoveTimers", ScriptEntryPoint<TestRemoveTimers>},
    {"ProbeText", ScriptEntryPoint<ProbeText>},
    {"ProbeInt", ScriptEntryPoint<ProbeInt>},
    {"ProbeFloat", ScriptEntryPoint<ProbeFloat>},
    {"ProbeBool", ScriptEntryPoint<ProbeBool>},
    {"ProbeFlag", ScriptEntryPoint<ProbeFlag>},
    {"ProbePosition", ScriptEntryPoint<ProbePosition>},
    {"ProbeLookup", ScriptEntryPoint<ProbeLookup>},
    {"ProbeThrow", ScriptEntryPoint<ProbeThrow>},
    {"ProbeSkipped", nullptr}, // a null function is skipped
    {nullptr, nullptr},
};

} // namespace ScriptProbes

// A counter that the test moves by hand, at 1000 ticks per second.
class ScriptTestClock : public CGeClock {
public:
    int64_t Counter() override { return ticks; }
    int64_t Frequency() override { return 1000; }
    int64_t ticks = 0;
};

class ScriptTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetExtraScriptFunctionList(ScriptProbes::kProbes);
        ScriptInit();
        ASSERT_NE(nullptr, g_luaState);
        g_gameProcessor = &m_processor;
        g_geTimer = &m_timer;
        m_top = lua_gettop(g_luaState);
    }

    void TearDown() override
    {
        ExpectStackBalanced();
        ScriptShutdown();
        g_gameProcessor = nullptr;
        g_geTimer = nullptr;
        SetExtraScriptFunctionList();
    }

    void ExpectStackBalanced()
    {
        if (g_luaState) {
            EXPECT_EQ(m_top, lua_gettop(g_luaState));
        }
    }

    // Runs a text that must succeed.
    void Run(const std::string& text)
    {
        CGeString error;
        EXPECT_TRUE(ScriptRunString(text.c_str(), error)) << text << ": " << error.c_str();
    }

    // The value of a condition that must evaluate without error.
    bool Holds(const std::string& expression)
    {
        CGeString error;
        const bool result = ScriptEvalCondition(expression.c_str(), error);
        EXPECT_TRUE(error.IsEmpty()) << expression << ": " << error.c_str();
        return result;
    }

    // A global read back as text ("nil" when it is not text).
    std::string Global(const char* name)
    {
        lua_State* L = g_luaState;
        lua_getfield(L, LUA_GLOBALSINDEX, name);
        const char* text = lua_tostring(L, -1);
        std::string value = text ? text : "nil";
        lua_pop(L, 1);
        return value;
    }

    // One frame of the given length: the frame timer ticks, then the timers run.
    void Frame(double seconds)
    {
        m_clock.ticks += static_cast<int64_t>(seconds * 1000.0 + 0.5);
        m_timer.Update();
        ScriptUpdateTimers();
    }

    CQmGameProcessor m_processor;
    ScriptTestClock m_clock;
    CGeTimer m_timer{25.0f, &m_clock};
    int m_top = 0;
};
