// Script functions: the log hook, delayed calls and timers, the answer back
// to the engine, the start location, the current location's name, quests and
// script variables.
#include "Source/GameClasses/QmScriptApi.h"

#include "Engine/Core/Common/GeLog.h"
#include "Source/GameClasses/QmDelayedCalls.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmGameVars.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmQuests.h"
#include "Source/GameClasses/QmScriptSystem.h"
#include "Source/GameClasses/QmScriptTimers.h"

int Lua_SysLog(lua_State* L)
{
    if (ScriptCheckArgs(L, "SysLog", "t"))
        GeTrace("%s", ScriptArgText(L, 1));
    return 0;
}

int Lua_SysDelayedCall(lua_State* L)
{
    if (!ScriptCheckArgCount(L, "SysDelayedCall", 2, 9))
        return 0;
    if (!ScriptIsText(L, 1))
        return ScriptRefuseCall("SysDelayedCall", "wrong type of argument", 1), 0;
    if (!ScriptIsNumber(L, 2))
        return ScriptRefuseCall("SysDelayedCall", "wrong type of argument", 2), 0;
    const CGeString name = ScriptArgString(L, 1);
    const float delay = ScriptArgFloat(L, 2);
    CGeValue args[CQmDelayedCalls::kMaxArgs];
    uint32_t count = 0;
    const int top = lua_gettop(L);
    for (int index = 3; index <= top; ++index) {
        CGeValue& value = args[count];
        if (ScriptIsNumber(L, index)) {
            value.kind = GE_VALUE_FLOAT;
            value.scalar.f32 = ScriptArgFloat(L, index);
        } else if (ScriptIsBoolean(L, index)) {
            value.kind = GE_VALUE_BOOL;
            value.scalar.b = ScriptArgBool(L, index) ? 1 : 0;
        } else if (lua_type(L, index) == LUA_TSTRING) {
            value.kind = GE_VALUE_STRING;
            value.str = ScriptArgText(L, index);
        } else {
            continue; // nil, tables and functions take no place
        }
        ++count;
    }
    CQmDelayedCalls::Add(name.c_str(), delay, count, args);
    return 0;
}

int Lua_SysSetTimer(lua_State* L)
{
    if (ScriptCheckArgs(L, "SysSetTimer", "tn"))
        ScriptSetTimer(ScriptArgText(L, 1), ScriptArgFloat(L, 2));
    return 0;
}

int Lua_SysReturn(lua_State* L)
{
    if (ScriptCheckArgs(L, "SysReturn", "t"))
        ScriptSetReturnValue(ScriptArgText(L, 1));
    return 0;
}

int Lua_GetQuestValue(lua_State* L)
{
    if (!ScriptCheckArgs(L, "GetQuestValue", "t|t"))
        return ScriptPushNumber(L, 0);
    const CGeString quest = ScriptArgString(L, 1);
    const CGeString group = lua_gettop(L) >= 2 ? ScriptArgString(L, 2) : CGeString();
    return ScriptPushNumber(L, CQmQuests::GetValue(quest.c_str(), group.c_str()) ? 1 : 0);
}

int Lua_QuestIsPassed(lua_State* L)
{
    if (!ScriptCheckArgs(L, "QuestIsPassed", "t|t"))
        return ScriptPushBool(L, false);
    const CGeString quest = ScriptArgString(L, 1);
    const CGeString group = lua_gettop(L) >= 2 ? ScriptArgString(L, 2) : CGeString();
    return ScriptPushBool(L, CQmQuests::GetValue(quest.c_str(), group.c_str()));
}

int Lua_QuestPass(lua_State* L)
{
    if (!ScriptCheckArgs(L, "QuestPass", "t|tn"))
        return 0;
    const CGeString quest = ScriptArgString(L, 1);
    const CGeString group = lua_gettop(L) >= 2 ? ScriptArgString(L, 2) : CGeString();
    const int32_t value = lua_gettop(L) >= 3 ? ScriptArgInt(L, 3) : 0;
    CQmQuests::Pass(quest.c_str(), group.c_str(), value);
    return 0;
}

int Lua_QuestFail(lua_State* L)
{
    if (!ScriptCheckArgs(L, "QuestFail", "t|t"))
        return 0;
    const CGeString quest = ScriptArgString(L, 1);
    const CGeString group = lua_gettop(L) >= 2 ? ScriptArgString(L, 2) : CGeString();
    CQmQuests::Fail(quest.c_str(), group.c_str());
    return 0;
}

int Lua_VarSet(lua_State* L)
{
    if (ScriptCheckArgs(L, "VarSet", "tn")) {
        const int32_t value = ScriptArgInt(L, 2);
        CQmGameVars::Set(ScriptArgText(L, 1), value);
    }
    return 0;
}

int Lua_VarGet(lua_State* L)
{
    if (!ScriptCheckArgs(L, "VarGet", "t"))
        return ScriptPushNumber(L, 0);
    return ScriptPushNumber(L, CQmGameVars::GetValue(ScriptArgText(L, 1)));
}

int Lua_VarsDump(lua_State* L)
{
    if (ScriptCheckArgs(L, "VarsDump", ""))
        CQmGameVars::Dump();
    return 0;
}

int Lua_SetStartLocation(lua_State* L)
{
    if (ScriptCheckArgs(L, "SetStartLocation", "t") && g_gameProcessor)
        g_gameProcessor->startLocation = ScriptArgText(L, 1);
    return 0;
}

int Lua_GetLocationName(lua_State* L)
{
    if (!ScriptCheckArgs(L, "GetLocationName", ""))
        return ScriptPushText(L, "");
    const CQmLocation* location = g_locationManager ? g_locationManager->current : nullptr;
    return ScriptPushText(L, location ? location->name.c_str() : "");
}
