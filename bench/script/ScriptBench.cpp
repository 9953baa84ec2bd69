// A script that calls a registered script function 1,000,000 times, started as
// an event through ScriptCallFunction; the function follows the conventions
// (count and type checked, the number truncated, the result pushed). The
// reference runs the same loop on a bare Lua state whose C function only does
// lua_tonumber and pushes the result. Prints the ratio.
#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmScriptApi.h"
#include "Source/GameClasses/QmScriptProcessor.h"
#include "bench/Support/BenchRatio.h"

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

const char* const kLoop =
    "function loop() local s = 0 for i = 1, 1000000 do s = s + Truncate(i + 0.5) end result = s end";

int Lua_Truncate(lua_State* L)
{
    if (!ScriptCheckArgs(L, "Truncate", "n"))
        return ScriptPushNumber(L, 0);
    return ScriptPushNumber(L, ScriptArgInt(L, 1));
}

int PlainTruncate(lua_State* L)
{
    lua_pushnumber(L, lua_tonumber(L, 1));
    return 1;
}

const QmScriptFunctionEntry kBenchFunctions[] = {
    {"Truncate", ScriptEntryPoint<Lua_Truncate>},
    {nullptr, nullptr},
};

double ReadResult(lua_State* L)
{
    lua_getfield(L, LUA_GLOBALSINDEX, "result");
    const double result = lua_tonumber(L, -1);
    lua_pop(L, 1);
    return result;
}

void BM_ScriptProcessor(benchmark::State& state)
{
    CQmGameProcessor processor;
    g_gameProcessor = &processor;
    SetExtraScriptFunctionList(kBenchFunctions);
    ScriptInit();
    CGeString error;
    if (!ScriptRunString(kLoop, error))
        state.SkipWithError(error.c_str());
    for (auto _ : state) {
        if (!ScriptCallFunction("loop", nullptr, 0, false))
            state.SkipWithError("the loop failed");
    }
    benchmark::DoNotOptimize(ReadResult(g_luaState));
    ScriptShutdown();
    SetExtraScriptFunctionList();
    g_gameProcessor = nullptr;
}
BENCHMARK(BM_ScriptProcessor)->Unit(benchmark::kMillisecond);

void BM_BareLua(benchmark::State& state)
{
    lua_State* L = luaL_newstate();
    lua_pushcfunction(L, luaopen_base);
    lua_pushstring(L, "");
    lua_call(L, 1, 0);
    lua_register(L, "Truncate", PlainTruncate);
    if (luaL_dostring(L, kLoop) != 0)
        state.SkipWithError(lua_tostring(L, -1));
    for (auto _ : state) {
        lua_getfield(L, LUA_GLOBALSINDEX, "loop");
        if (lua_pcall(L, 0, 0, 0) != 0)
            state.SkipWithError("the loop failed");
    }
    benchmark::DoNotOptimize(ReadResult(L));
    lua_close(L);
}
BENCHMARK(BM_BareLua)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    // As at start-up: the kernel object before the game processor's sprites.
    GeCpuProbeCreate();
    GeSimdCreate();
    CBenchRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    CBenchRatioReporter::PrintRatios("Script function calls against bare Lua calls");
    reporter.PrintRatio("calls through the script processor", "BM_ScriptProcessor", "BM_BareLua");
    benchmark::Shutdown();
    return 0;
}
