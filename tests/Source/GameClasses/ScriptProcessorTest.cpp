#include "tests/Source/GameClasses/ScriptTestFixture.h"

#include "Engine/Core/Pack/Harvester.h"
#include "tests/Engine/Core/Pack/PackFixture.h"
#include "tests/Support/TestTempDir.h"

#include <cstring>
#include <set>
#include <vector>

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

class QmScriptProcessor : public ScriptTest {};

TEST_F(QmScriptProcessor, OpensItsLibrariesAndRegistersExactlyTheScriptFunctions)
{
    EXPECT_TRUE(Holds("coroutine and io and os and string and math and not table and not debug and not package "
                      "and not require and not loadlib and not io.popen and _VERSION == 'Lua 5.1'"));

    // The table: 140 unique names, none null, closed by the null entry.
    std::set<std::string> expected;
    for (uint32_t i = 0; i < kScriptFunctionCount; ++i) {
        ASSERT_NE(nullptr, g_scriptFunctions[i].name) << i;
        ASSERT_NE(nullptr, g_scriptFunctions[i].function) << i;
        expected.insert(g_scriptFunctions[i].name);
    }
    EXPECT_EQ(kScriptFunctionCount, expected.size());
    EXPECT_EQ(nullptr, g_scriptFunctions[kScriptFunctionCount].name);
    EXPECT_EQ(nullptr, g_scriptFunctions[kScriptFunctionCount].function);
    EXPECT_STREQ("SysLog", g_scriptFunctions[0].name);
    EXPECT_STREQ("PuzzleSetCtrlValue", g_scriptFunctions[25].name);
    EXPECT_STREQ("GlobalCommand", g_scriptFunctions[41].name);
    EXPECT_STREQ("SetCurveSpeedMult", g_scriptFunctions[133].name);
    EXPECT_STREQ("Hide3dArrow", g_scriptFunctions[139].name);

    // Every global is a function of the table, a probe, or what base, io, os,
    // string and math bring; the probe with a null function is skipped.
    for (const QmScriptFunctionEntry* probe = ScriptProbes::kProbes; probe->name; ++probe) {
        if (probe->function)
            expected.insert(probe->name);
    }
    for (const char* name :
         {"_G", "_VERSION", "assert", "collectgarbage", "coroutine", "dofile", "error", "gcinfo", "getfenv",
          "getmetatable", "io", "ipairs", "load", "loadfile", "loadstring", "math", "newproxy", "next", "os", "pairs",
          "pcall", "print", "rawequal", "rawget", "rawset", "select", "setfenv", "setmetatable", "string", "tonumber",
          "tostring", "type", "unpack", "xpcall"})
        expected.insert(name);
    lua_State* L = g_luaState;
    std::set<std::string> found;
    lua_pushnil(L);
    while (lua_next(L, LUA_GLOBALSINDEX)) {
        const std::string name = lua_tostring(L, -2);
        found.insert(name);
        if (expected.count(name) && !lua_istable(L, -1) && name != "_VERSION") {
            EXPECT_TRUE(lua_isfunction(L, -1)) << name;
        }
        lua_pop(L, 1);
    }
    EXPECT_EQ(expected, found);

    // A function not built yet changes nothing and answers nothing.
    EXPECT_TRUE(Holds("select('#', SysLog('x')) == 0 and select('#', Hide3dArrow()) == 0"));
}

TEST_F(QmScriptProcessor, FilesReportErrorsWithTheirLineAndNeverKeepResults)
{
    CTestTempDir dir;
    struct Case {
        const char* name;
        const char* setup;   // run before the file
        std::string bytes;
        bool ok;
        const char* stderrText;
        const char* after;   // a condition that holds afterwards
    };
    const Case cases[] = {
        {"syntax error", "", "x = 1 +", false, "[string \"?\"]:1: unexpected symbol near '<eof>'\n", "x == nil"},
        {"run error on line 2", "", "a = 1\nerror('boom')", false, "[string \"?\"]:2: boom\n", "a == 1"},
        {"_ALERT receives the message", "function _ALERT(m) last = m end", "error('boom')", false, "",
         "last == '[string \"?\"]:1: boom'"},
        {"_ALERT that raises", "function _ALERT(m) error('again', 0) end", "error('boom')", false,
         "[string \"?\"]:1: boom\nagain\n", "true"},
        {"_ALERT that is not a function", "_ALERT = 'text'", "error('boom')", false, "[string \"?\"]:1: boom\n",
         "true"},
        {"error value that is not text", "", "error({})", false, "(error object is a table value)\n", "true"},
        {"error value that is a number", "", "error(42)", false, "[string \"?\"]:1: 42\n", "true"},
        {"precompiled chunk", "", std::string("\x1bLua\x51") + std::string(20, '\0'), false,
         "[string \"?\"]: precompiled chunks are not accepted\n", "true"},
        {"byte order mark", "", "\xEF\xBB\xBFx = 1", true, "", "x == 1"},
        {"CRLF line ends", "", "y = 1\r\nerror('crlf')\r\n", false, "[string \"?\"]:2: crlf\n", "y == 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Run(std::string("_ALERT = nil x = nil ") + c.setup);
        const std::string path = dir.Write(std::string(c.name) + ".lua", c.bytes);
        CaptureStderr();
        const bool ok = ScriptRunFile(path.c_str());
        const std::string errors = GetCapturedStderr();
        EXPECT_EQ(c.ok, ok);
        EXPECT_EQ(c.stderrText, errors);
        EXPECT_TRUE(Holds(c.after));
        ExpectStackBalanced();
    }

    // Returned values are dropped: a thousand runs leave the stack where it was.
    const std::string returns = dir.Write("returns.lua", "return 1, 2, 3");
    for (int i = 0; i < 1000; ++i)
        ASSERT_TRUE(ScriptRunFile(returns.c_str()));

    CaptureStderr();
    EXPECT_FALSE(ScriptRunFile((dir / "missing.lua").c_str()));
    EXPECT_FALSE(ScriptRunFile(dir.Write("empty.lua", "").c_str()));
    EXPECT_FALSE(ScriptRunFile(nullptr));
    EXPECT_EQ("", GetCapturedStderr());
}

TEST_F(QmScriptProcessor, FilesComeFromThePacksWhenThePackPathIsSet)
{
    CTestTempDir dir;
    ASSERT_EQ("", WriteFixturePack(dir / "resource.fpk",
                                   {{"scripts/global.lua", "packed = 7"}, {"scripts/broken.lua", "packed = = 1"}}));
    ASSERT_EQ(2u, MountFixtureDirectory(dir));
    EXPECT_TRUE(ScriptRunFile("Scripts/global.lua"));
    CaptureStderr();
    EXPECT_FALSE(ScriptRunFile("Scripts/broken.lua"));
    EXPECT_EQ("[string \"?\"]:1: unexpected symbol near '='\n", GetCapturedStderr());
    EXPECT_FALSE(ScriptRunFile("Scripts/missing.lua"));
    CHarvester::Unmount();
    g_packPath = "";
    EXPECT_TRUE(Holds("packed == 7"));
}

TEST_F(QmScriptProcessor, StringsRunAndReportTheirErrors)
{
    struct Case {
        const char* text;
        bool ok;
        const char* error; // what the error string holds afterwards; it starts as "keep"
    };
    const Case cases[] = {
        {"on_dialog_end('a','b','c')", false, "[string \"\"]:1: attempt to call global 'on_dialog_end' (a nil value)"},
        {"v = = 1", false, "[string \"\"]:1: unexpected symbol near '='"},
        {"v = 1", true, "keep"},
        {"error(nil)", false, ""},
        {"error({})", false, ""},
        {"error('x', 0)", false, "x"},
        {"error(12)", false, "[string \"\"]:1: 12"},
        {"return 1, 2, 3", true, "keep"},
    };
    for (const Case& c : cases) {
        CGeString error("keep");
        EXPECT_EQ(c.ok, ScriptRunString(c.text, error)) << c.text;
        EXPECT_STREQ(c.error, error.c_str()) << c.text;
        ExpectStackBalanced();
    }
    CGeString error("keep");
    EXPECT_FALSE(ScriptRunString(nullptr, error));
    EXPECT_TRUE(Holds("v == 1"));
}

TEST_F(QmScriptProcessor, ConditionsAcceptOnlyBooleanResults)
{
    Run("x = 1");
    struct Case {
        const char* expression;
        bool result;
        const char* error;
    };
    const Case cases[] = {
        {"1 == 1", true, "keep"},
        {"x == 1 and 'a' < 'b'", true, "keep"},
        {"1 == 2", false, "keep"},
        {"1", false, "NOT BOOLEAN RESULT!"},
        {"nil", false, "NOT BOOLEAN RESULT!"},
        {"'true'", false, "NOT BOOLEAN RESULT!"},
        {"unknown_var", false, "NOT BOOLEAN RESULT!"},
        {"not nil", true, "keep"},
        {"unknown_var == nil", true, "keep"},
        {"x == )", false, "[string \"\"]:1: unexpected symbol near ')'"},
        {"true -- c", false, "[string \"\"]:1: ')' expected near '<eof>'"},
        {"1 == 1, 5", false, "[string \"\"]:1: ')' expected near ','"},
        {"undefined_fn()", false, "[string \"\"]:1: attempt to call global 'undefined_fn' (a nil value)"},
        {"IsWalkerActive('nobody')", false, "NOT BOOLEAN RESULT!"},
    };
    for (const Case& c : cases) {
        CGeString error("keep");
        EXPECT_EQ(c.result, ScriptEvalCondition(c.expression, error)) << c.expression;
        EXPECT_STREQ(c.error, error.c_str()) << c.expression;
        ExpectStackBalanced();
    }

    // "return ( " + expression + " );" and the terminator fill the buffer at
    // 8179 characters; one more is refused without touching the buffer's end.
    std::string longest = "true" + std::string(kScriptConditionBufferSize - 13 - 4, ' ');
    ASSERT_EQ(8179u, longest.size());
    EXPECT_TRUE(Holds(longest));
    CGeString error;
    EXPECT_FALSE(ScriptEvalCondition((longest + " ").c_str(), error));
    EXPECT_STREQ(kScriptConditionTooLong, error.c_str());
}

TEST_F(QmScriptProcessor, EventArgumentsArriveByKind)
{
    Run("function kinds(...) n = select('#', ...); a, b, c, d, e, f, g, h, i = ... end");
    CGeValue args[9];
    args[0].kind = GE_VALUE_UINT32;
    args[0].scalar.u32 = 0xFFFFFFFFu;
    args[1].kind = GE_VALUE_INT32;
    args[1].scalar.u32 = 0xFFFFFFFFu;
    args[2].kind = GE_VALUE_FLOAT;
    args[2].scalar.f32 = 0.1f;
    args[3].kind = GE_VALUE_DOUBLE;
    args[3].scalar.f64 = 0.1;
    args[4] = CGeValue(CGeWString(u"wide"));
    args[5] = CGeValue("");
    args[6].kind = GE_VALUE_BOOL;
    args[6].scalar.b = 2;
    args[7].kind = GE_VALUE_EMPTY;
    args[8].kind = GE_VALUE_INT16;
    args[8].scalar.i16 = -5; // the low 32 bits are 0x0000FFFB: 65531
    ASSERT_TRUE(ScriptCallFunction("kinds", args, 9, true));
    EXPECT_TRUE(Holds("n == 9 and a == 4294967295 and b == -1 and tostring(c) == '0.10000000149012' and d == 0.1 "
                      "and e == nil and f == '' and g == true and h == nil and i == 65531"));
    EXPECT_TRUE(ScriptCallFunction("kinds", nullptr, 0, false));
    EXPECT_TRUE(Holds("n == 0"));
    EXPECT_FALSE(ScriptCallFunction("kinds", nullptr, 2, false));

    // The stack grows for long argument lists, far past its guaranteed room;
    // beyond what Lua allows at all, the call is refused.
    std::vector<CGeValue> many(7000);
    EXPECT_TRUE(ScriptCallFunction("kinds", many.data(), 7000, false));
    EXPECT_TRUE(Holds("n == 7000"));
    many.resize(9000);
    EXPECT_FALSE(ScriptCallFunction("kinds", many.data(), 9000, false));
}

TEST_F(QmScriptProcessor, FailedCallsLeaveTheStateAsItWas)
{
    for (int i = 0; i < 1000; ++i)
        ASSERT_FALSE(ScriptCallFunction("no_such_event", nullptr, 0, true));
    EXPECT_FALSE(ScriptCallFunction(nullptr, nullptr, 0, false));
    Run("number_global = 5");
    EXPECT_FALSE(ScriptCallFunction("number_global", nullptr, 0, false));

    // A handler that fails; an event defined by a text runs afterwards.
    Run("function loc01_use_object(t) error('bad ' .. t) end function loc01_init() ok = true end");
    CGeValue door("door");
    EXPECT_FALSE(ScriptCallFunction("loc01_use_object", &door, 1, true));
    EXPECT_TRUE(ScriptCallFunction("loc01_init", nullptr, 0, true));
    EXPECT_TRUE(Holds("ok == true"));

    // A strict metatable on the globals cannot end the program: events and
    // the "_ALERT" look-up read the globals raw.
    Run("setmetatable(_G, {__index = function(t, k) error('strict ' .. k) end})");
    EXPECT_FALSE(ScriptCallFunction("missing_event", nullptr, 0, false));
    CTestTempDir dir;
    CaptureStderr();
    EXPECT_FALSE(ScriptRunFile(dir.Write("bad.lua", "error('boom')").c_str()));
    EXPECT_EQ("[string \"?\"]:1: boom\n", GetCapturedStderr());
}

TEST_F(QmScriptProcessor, EventsRefusedWithoutGameProcessorOrState)
{
    Run("function event() fired = true end");
    g_gameProcessor = nullptr;
    EXPECT_FALSE(ScriptCallFunction("event", nullptr, 0, false));
    g_gameProcessor = &m_processor;
    EXPECT_TRUE(Holds("fired == nil"));

    ScriptShutdown();
    EXPECT_EQ(nullptr, g_luaState);
    CGeString error;
    EXPECT_FALSE(ScriptCallFunction("event", nullptr, 0, false));
    EXPECT_FALSE(ScriptRunString("x = 1", error));
    EXPECT_FALSE(ScriptEvalCondition("true", error));
    EXPECT_FALSE(ScriptRunFile("Scripts/global.lua"));
    ScriptSetTimer("event", 1.0f);
    EXPECT_EQ(0u, g_scriptTimers.count);
}

TEST_F(QmScriptProcessor, EventsFiredInsideScriptFunctionsNest)
{
    // The inner handler runs at once; its error is caught inside and the outer
    // script goes on.
    Run("function inner(s) seen = s end r1 = TestFire('inner') after = seen");
    EXPECT_TRUE(Holds("r1 == true and after == 'nested'"));
    Run("function bad(s) error('x') end r2 = TestFire('bad') cont = true");
    EXPECT_TRUE(Holds("r2 == false and cont == true"));
    Run("r3 = TestFire(nil)");
    EXPECT_TRUE(Holds("r3 == false"));

    // Recursion through the engine stops at Lua's C-call limit: the deepest
    // call fails, every outer level completes.
    Run("depth = 0 completed = 0 function rec() depth = depth + 1 TestFire('rec') completed = completed + 1 end");
    EXPECT_TRUE(ScriptCallFunction("rec", nullptr, 0, false));
    EXPECT_TRUE(Holds("depth > 50 and depth < 250 and completed == depth"));
}

TEST_F(QmScriptProcessor, CoroutinesStepThroughTimersAndHandlersCannotYield)
{
    // A handler fired from inside a coroutine runs on the main state and may
    // not yield: its call fails and the coroutine stays suspended at its own
    // yield.
    Run("function h() coroutine.yield() end "
        "co = coroutine.create(function() r = TestFire('h') coroutine.yield() end) coroutine.resume(co)");
    EXPECT_TRUE(Holds("r == false and coroutine.status(co) == 'suspended'"));

    // A coroutine resumed by a timer steps on: with 0.3 s frames and a 0.5 s
    // period the timer fires in the 2nd and the 4th frame.
    Run("step = 0 walker = coroutine.create(function() step = 1 coroutine.yield() step = 2 end) "
        "function tick() if coroutine.status(walker) == 'suspended' then coroutine.resume(walker) end end "
        "TestSetTimer('tick', 0.5)");
    const char* expected[] = {"0", "1", "1", "2"};
    for (const char* step : expected) {
        Frame(0.3);
        EXPECT_EQ(step, Global("step"));
    }
}

TEST_F(QmScriptProcessor, ReturnSlotHoldsAShortAnswerUntilTaken)
{
    ScriptSetReturnValue("false");
    EXPECT_STREQ("false", ScriptTakeReturnValue());
    EXPECT_STREQ("", ScriptTakeReturnValue());
    ScriptSetReturnValue("a_very_long_answer");
    EXPECT_STREQ("a_very_", ScriptTakeReturnValue());
    ScriptSetReturnValue(nullptr);
    EXPECT_STREQ("", ScriptTakeReturnValue());
}

TEST(QmScriptProcessorInit, StartsOnceAndTheExtraListIsEmptyByDefault)
{
    ScriptInit();
    ASSERT_NE(nullptr, g_luaState);
    lua_State* first = g_luaState;
    EXPECT_EQ(0, lua_gettop(first));
    ScriptInit();
    EXPECT_EQ(first, g_luaState);
    lua_getfield(g_luaState, LUA_GLOBALSINDEX, "TestFire");
    EXPECT_TRUE(lua_isnil(g_luaState, -1));
    lua_pop(g_luaState, 1);
    ScriptShutdown();
    EXPECT_EQ(nullptr, g_luaState);
    ScriptShutdown();
}

TEST(QmScriptProcessorDeathTest, AnUnprotectedErrorIsLoggedBeforeTheProcessEnds)
{
    EXPECT_EXIT(
        {
            ScriptInit();
            lua_pushstring(g_luaState, "out of luck");
            lua_error(g_luaState);
        },
        testing::ExitedWithCode(1), "Lua panic: out of luck");
}
