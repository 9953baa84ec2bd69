#include "Source/GameClasses/QmScriptApi.h"

#include "Engine/Core/Common/GeLog.h"
#include "Source/GameClasses/QmLocationManager.h"

#include <cstdarg>

void ScriptReportException(const char* what)
{
    GeLog(2, "Lua script function: %s\n", what ? what : "unknown exception");
}

bool ScriptRefuseCall(const char* function, const char* reason, int argument)
{
    GeTrace("Lua_%s: %s (%d)\n", function, reason, argument);
    return false;
}

bool ScriptCheckArgCount(lua_State* L, const char* function, int low, int high)
{
    const int count = lua_gettop(L);
    return (count >= low && count <= high) || ScriptRefuseCall(function, "wrong number of arguments", count);
}

const char* ScriptArgText(lua_State* L, int index)
{
    const char* text = lua_tostring(L, index);
    return text ? text : "";
}

CGeString ScriptArgString(lua_State* L, int index)
{
    return CGeString(ScriptArgText(L, index));
}

int ScriptPushText(lua_State* L, const char* text)
{
    lua_pushstring(L, text ? text : "");
    return 1;
}

int ScriptPushText(lua_State* L, const CGeString& text)
{
    lua_pushlstring(L, text.c_str(), text.Length());
    return 1;
}

int ScriptPushVector(lua_State* L, float x, float y, float z)
{
    lua_pushnumber(L, x);
    lua_pushnumber(L, y);
    lua_pushnumber(L, z);
    return 3;
}

void ScriptLogLookupFailed(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    GeLogV(2, format, args);
    va_end(args);
}

CQmLocation* ScriptCurrentLocation()
{
    return g_locationManager ? g_locationManager->current : nullptr;
}

CQmEntity* ScriptFindEntity(const char* name)
{
    if (!name || !g_locationManager || !g_locationManager->current)
        return nullptr;
    return g_locationManager->current->FindEntity(name);
}
